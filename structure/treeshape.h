// The shape of a tree as its rows hold it: which items the walk from the top reaches, and why the
// others lie off the tree. An item whose PARENT names no item, and items that are each other's
// ancestors (a PARENT cycle), cut themselves and everything below them off the top; no walk from
// the top reaches them, and no walk upwards from them ends.
#pragma once

#include <unordered_map>
#include <unordered_set>
#include <vector>

struct TreeShape {
    struct Detached {
        std::vector<int> roots;  // the item whose parent is missing, or the items of one cycle
        bool cycle = false;
        int missingParent = 0;   // the PARENT that names no item (not for a cycle)
        int size = 0;            // the items cut off with it, roots included
    };
    std::unordered_set<int> offTree;  // every item the walk from the top does not reach
    std::vector<Detached> parts;      // in the order of the items' ids
};

// The shape of the items (id -> PARENT); parent 0 is the top. Iterative: a cycle of any length
// ends every walk.
TreeShape ShapeOfTree(const std::unordered_map<int, int>& parentOf);
