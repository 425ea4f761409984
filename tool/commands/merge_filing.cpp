#include "commands/merge_filing.h"

#include <cstring>

#include "commands/extract_name_list.h"
#include "format/afd_format.h"

namespace quarnel {

namespace {

bool names_place(const CatalogueEntry& e, const Place& place) {
  return e.name_kind == place.level && e.name != nullptr && place.name != nullptr &&
         std::strcmp(e.name, place.name) == 0;
}

// The depth-first search of match_places below `node`, which matches the
// first `depth` places. Recursion goes no deeper than the places.
void follow(const Catalogue& catalogue, const TreeNode* tree, const Place* places, int count,
            TreeIndex node, int depth, PlaceMatch* best) {
  if (depth > best->matched) *best = PlaceMatch{node, depth};
  if (depth == count) return;
  for (TreeIndex c = tree[node].first_child; c != kNoNode && best->matched < count;
       c = tree[c].next_sibling) {
    if (names_place(catalogue[c], places[depth])) {
      follow(catalogue, tree, places, count, c, depth + 1, best);
    }
  }
}

}  // namespace

PlaceMatch match_places(const Catalogue& catalogue, const TreeNode* tree, const Place* places,
                        int count) {
  PlaceMatch best;
  for (TreeIndex head = tree[kTreeRoot].first_child; head != kNoNode && best.matched < count;
       head = tree[head].next_sibling) {
    follow(catalogue, tree, places, count, head, 0, &best);
  }
  return best;
}

namespace {

// Entries between a place and a spot that spot_under looks at; a facility
// entry nested deeper is taken as a whole.
constexpr int kLongestPath = 32;

// A place's children stand in levels that never rise: a child of a higher
// level than the one before it would be filed under that one. So its facility
// entries come before its deeper places. A new place goes behind the children
// of its level or above and before the lower ones: behind a lower place it
// would be filed under it, and before a higher child it would take that one
// from its parent.
Spot spot_for_place(const Catalogue& catalogue, const TreeNode* tree, TreeIndex place,
                    int32_t level) {
  Spot spot{place, kNoNode};
  for (TreeIndex c = tree[place].first_child; c != kNoNode && catalogue[c].name_kind >= level;
       c = tree[c].next_sibling) {
    spot.after = c;
  }
  return spot;
}

}  // namespace

// A new facility entry may go behind any entry of the place's leading
// facility entries, nested or not. There the level rule files it under the
// deepest entry of the path down to that one whose level is below its own,
// and the entry behind it keeps its parent if its level is not above the new
// one's.
Spot spot_under(const Catalogue& catalogue, const TreeNode* tree, TreeIndex place, int32_t level) {
  if (is_place_level(level)) return spot_for_place(catalogue, tree, place, level);
  const int place_depth = node_depth(tree, place, kMaxDepth);
  Spot fit;
  bool fits = false;
  Spot straight{place, kNoNode};  // behind the place itself there is always one
  TreeIndex path[kLongestPath];
  int length = 0;
  // The spot behind the last entry of the path, before `next`.
  const auto consider = [&](TreeIndex next) {
    if (next != kNoNode && catalogue[next].name_kind > level) return;
    int under = 0;  // path[under - 1] is the parent; 0: the place
    while (under < length && catalogue[path[under]].name_kind < level) ++under;
    const Spot spot{under == 0 ? place : path[under - 1], under < length ? path[under] : kNoNode};
    if (under == 0) straight = spot;
    if (place_depth + under + 1 <= kMaxDepth) {
      fit = spot;
      fits = true;
    }
  };
  TreeIndex e = tree[place].first_child;
  consider(e);
  while (e != kNoNode && !is_place_level(catalogue[e].name_kind)) {
    while (length > 0 && tree[e].parent != path[length - 1]) --length;
    const bool enter = length + 1 < kLongestPath;
    path[length++] = e;
    TreeIndex next = enter ? tree[e].first_child : kNoNode;
    if (next == kNoNode) {
      for (TreeIndex n = e; n != place && next == kNoNode; n = tree[n].parent) {
        next = tree[n].next_sibling;
      }
    }
    // Inside a subtree taken as a whole the spot's parent is unknown.
    if (enter || catalogue[e].name_kind >= level) consider(next);
    e = next;
  }
  return fits ? fit : straight;
}

Insertion find_insertion(const Catalogue& catalogue, const TreeNode* tree, const Place* places,
                         int count, int32_t level) {
  const PlaceMatch match = match_places(catalogue, tree, places, count);
  Insertion at;
  if (match.matched == 0) return at;
  at.matched = match.matched;
  at.place = match.node;
  at.spot = spot_under(catalogue, tree, match.node,
                       match.matched < count ? places[match.matched].level : level);
  return at;
}

}  // namespace quarnel
