// The Catalogue's name lists as one tree. Each node is a Catalogue index: a
// root stands above the list heads, each head above the entries filed directly
// under it, and every entry above those filed under it. Walked depth first,
// the tree gives back each list's entries in their file order, since an entry
// is filed under the nearest earlier entry of its list with a smaller level.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "format/afd_format.h"
#include "scan/catalogue.h"

namespace quarnel {

using TreeIndex = uint16_t;
constexpr TreeIndex kNoNode = 0xFFFF;
// The node above every list head; it stands for no Catalogue entry.
constexpr TreeIndex kTreeRoot = static_cast<TreeIndex>(kCatalogueCapacity);
constexpr std::size_t kTreeNodes = kCatalogueCapacity + 1;
static_assert(kCatalogueCapacity < kNoNode, "every Catalogue index and the root fit a node");

struct TreeNode {
  TreeIndex parent;
  TreeIndex first_child;
  TreeIndex last_child;
  TreeIndex next_sibling;
};

// Makes `nodes` (kTreeNodes of them) the tree of the Catalogue's name lists,
// which begin at entry `first`; nodes before it are left as they are. Records that stand in a list
// but are no name entry (a facility record, say) are no nodes: they file nothing.
void build_name_tree(const Catalogue& catalogue, std::size_t first, TreeNode* nodes);

// Files `child`, a node not yet in the tree, as the last child of `parent`.
void append_child(TreeNode* nodes, TreeIndex parent, TreeIndex child);

// Files `child`, a node not yet in the tree, under `parent` right behind its
// child `after`, or as its first child when `after` is kNoNode.
void insert_child(TreeNode* nodes, TreeIndex parent, TreeIndex after, TreeIndex child);

// How deep `node` stands below its list head (the head 0, an entry filed
// straight under it 1), counted up to `cap`: a deeper node gives cap + 1.
int node_depth(const TreeNode* nodes, TreeIndex node, int cap);

// The first child of `parent` whose entry has `level` and `name`, byte for
// byte, or kNoNode. An entry without a name (the pool was full) never matches.
TreeIndex find_child(const Catalogue& catalogue, const TreeNode* nodes, TreeIndex parent,
                     int32_t level, std::string_view name);

// The node that follows `node` depth first, staying inside the subtree of
// `top`; kNoNode at its end.
TreeIndex next_in_order(const TreeNode* nodes, TreeIndex node, TreeIndex top);

}  // namespace quarnel
