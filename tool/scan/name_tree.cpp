// The name-list tree, built in one pass over the Catalogue. Levels may be any
// 32-bit values in a damaged file, so nesting can be as deep as the lists are
// long: the build climbs parent links instead of keeping a stack.
#include "scan/name_tree.h"

#include <algorithm>

#include "scan/filing.h"

namespace quarnel {

void build_name_tree(const Catalogue& catalogue, std::size_t first, TreeNode* nodes) {
  // Only these nodes are ever linked; nodes made later are set as they are.
  constexpr TreeNode kLoose{kNoNode, kNoNode, kNoNode, kNoNode};
  std::fill(nodes + first, nodes + catalogue.count, kLoose);
  nodes[kTreeRoot] = kLoose;
  TreeIndex head = kNoNode;
  TreeIndex last = kNoNode;  // the list's latest entry, or its head
  for (std::size_t i = first; i < catalogue.count; ++i) {
    const CatalogueEntry& e = catalogue[i];
    const auto node = static_cast<TreeIndex>(i);
    if (is_list_head(e)) {
      append_child(nodes, kTreeRoot, node);
      head = last = node;
      continue;
    }
    if (head == kNoNode || !is_name_entry(e)) continue;
    // The head counts as lower than every level, whatever the entries say.
    TreeIndex above = last;
    while (above != head && !files_under(catalogue[above].name_kind, e.name_kind)) {
      above = nodes[above].parent;
    }
    append_child(nodes, above, node);
    last = node;
  }
}

void append_child(TreeNode* nodes, TreeIndex parent, TreeIndex child) {
  TreeNode& p = nodes[parent];
  nodes[child].parent = parent;
  nodes[child].next_sibling = kNoNode;
  if (p.last_child == kNoNode) {
    p.first_child = child;
  } else {
    nodes[p.last_child].next_sibling = child;
  }
  p.last_child = child;
}

void insert_child(TreeNode* nodes, TreeIndex parent, TreeIndex after, TreeIndex child) {
  TreeNode& p = nodes[parent];
  if (after == p.last_child) {
    append_child(nodes, parent, child);
    return;
  }
  nodes[child].parent = parent;
  if (after == kNoNode) {
    nodes[child].next_sibling = p.first_child;
    p.first_child = child;
  } else {
    nodes[child].next_sibling = nodes[after].next_sibling;
    nodes[after].next_sibling = child;
  }
}

int node_depth(const TreeNode* nodes, TreeIndex node, int cap) {
  int depth = 0;
  for (TreeIndex above = nodes[node].parent; above != kTreeRoot && above != kNoNode;
       above = nodes[above].parent) {
    if (++depth > cap) break;
  }
  return depth;
}

TreeIndex find_child(const Catalogue& catalogue, const TreeNode* nodes, TreeIndex parent,
                     int32_t level, std::string_view name) {
  for (TreeIndex c = nodes[parent].first_child; c != kNoNode; c = nodes[c].next_sibling) {
    const CatalogueEntry& e = catalogue[c];
    if (e.name_kind == level && e.name != nullptr && name == e.name) return c;
  }
  return kNoNode;
}

TreeIndex next_in_order(const TreeNode* nodes, TreeIndex node, TreeIndex top) {
  if (nodes[node].first_child != kNoNode) return nodes[node].first_child;
  for (TreeIndex n = node; n != top; n = nodes[n].parent) {
    if (nodes[n].next_sibling != kNoNode) return nodes[n].next_sibling;
  }
  return kNoNode;
}

}  // namespace quarnel
