// Filing a new name entry in the name-list tree of a file: the list and the
// place it goes under, matched by the places it is filed under, and the spot
// among that place's entries where the level rule (each entry filed under the
// nearest earlier entry of a smaller level) files it there. Nothing here
// changes the tree; whoever makes the entries links them in where these say.
#pragma once

#include <cstdint>

#include "scan/catalogue.h"
#include "scan/name_tree.h"

namespace quarnel {

// One of the places an entry is filed under: the level and name of a region,
// country, state or city entry above it. `name` never matches when null.
struct Place {
  int32_t level;
  const char* name;
};

// How far a run of places, top first, is found in the tree's lists.
struct PlaceMatch {
  TreeIndex node = kNoNode;  // the entry of the last place found; kNoNode: not even the top one
  int matched = 0;
};

// Follows `places` down every list from its head, trying each child of the
// next place's level and name in turn, and returns the deepest match; of
// equally deep ones the first in the lists' order.
PlaceMatch match_places(const Catalogue& catalogue, const TreeNode* tree, const Place* places,
                        int count);

// Where a new entry goes: filed under `parent`, right behind its child
// `after`, or first when `after` is kNoNode.
struct Spot {
  TreeIndex parent = kNoNode;
  TreeIndex after = kNoNode;
};

// Where a new entry of `level` goes under the entry `place`: a spot in the
// file where the level rule files it under `place` itself or under one of its
// facility entries (never under a deeper place), and takes none of the
// entries behind it from their parents. Of those spots the last whose depth
// the extract follows (kMaxDepth) is taken; when none is, the last that files
// it straight under `place`, as shallow as the places above it allow.
Spot spot_under(const Catalogue& catalogue, const TreeNode* tree, TreeIndex place, int32_t level);

// Where an entry of `level` filed under `places` goes. The first entry made
// (the first place not found, or the entry itself) goes at `spot`, under the
// deepest match or one of its facility entries; every later one is the only
// child of the one made before it. A spot without a parent means that no
// list holds the top place, or that there are no places: the entries go in a
// new list, at the end.
struct Insertion {
  Spot spot;
  TreeIndex place = kNoNode;  // the deepest match
  int matched = 0;
};
Insertion find_insertion(const Catalogue& catalogue, const TreeNode* tree, const Place* places,
                         int count, int32_t level);

}  // namespace quarnel
