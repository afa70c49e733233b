// The shape of a tree from its rows: which items the walk from the top reaches, and the parts cut
// off by a missing parent or a PARENT cycle.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <unordered_map>
#include <vector>

#include "structure/treeshape.h"

namespace {

struct Part {
    std::vector<int> roots;
    bool cycle;
    int missingParent;
    int size;
    bool operator==(const Part& o) const
    {
        return roots == o.roots && cycle == o.cycle && missingParent == o.missingParent && size == o.size;
    }
};

void PrintTo(const Part& p, std::ostream* os)
{
    *os << (p.cycle ? "cycle" : "orphan") << " of " << p.missingParent << " size " << p.size << " roots";
    for (int r : p.roots)
        *os << " " << r;
}

TEST(TreeShape, ItemsCutOffTheTopAreFoundWithWhatCutsThemOff)
{
    struct Case {
        const char* what;
        std::unordered_map<int, int> parentOf;
        std::set<int> offTree;
        std::vector<Part> parts;
    } cases[] = {
        {"a sound tree", {{1, 0}, {2, 1}, {3, 1}, {4, 3}, {5, 0}}, {}, {}},
        {"a missing parent cuts off its child's subtree",
         {{1, 0}, {2, 99}, {3, 2}, {4, 3}, {5, 1}},
         {2, 3, 4},
         {{{2}, false, 99, 3}}},
        {"two items each other's parent, with a child",
         {{1, 0}, {7, 8}, {8, 7}, {9, 8}, {2, 1}},
         {7, 8, 9},
         {{{7, 8}, true, 0, 3}}},
        {"an item its own parent", {{1, 0}, {4, 4}}, {4}, {{{4}, true, 0, 1}}},
        {"a cycle of three below which hangs a branch, and a second orphan",
         {{1, 0}, {10, 12}, {11, 10}, {12, 11}, {13, 11}, {14, 13}, {20, -5}},
         {10, 11, 12, 13, 14, 20},
         {{{10, 11, 12}, true, 0, 5}, {{20}, false, -5, 1}}},
        {"nothing but a cycle", {{1, 2}, {2, 1}}, {1, 2}, {{{1, 2}, true, 0, 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TreeShape shape = ShapeOfTree(c.parentOf);
        EXPECT_EQ(std::set<int>(shape.offTree.begin(), shape.offTree.end()), c.offTree);
        std::vector<Part> parts;
        for (const TreeShape::Detached& d : shape.parts)
            parts.push_back({d.roots, d.cycle, d.missingParent, d.size});
        EXPECT_EQ(parts, c.parts);
    }
}

TEST(TreeShape, ALongChainOffTheTopEndsWithoutDeepRecursion)
{
    // 100,000 items hanging from a missing parent, and the same chain closed into a cycle.
    std::unordered_map<int, int> chain;
    for (int id = 1; id <= 100000; ++id)
        chain[id] = id - 1;
    chain[1] = 999999;
    TreeShape orphan = ShapeOfTree(chain);
    ASSERT_EQ(orphan.parts.size(), 1u);
    EXPECT_EQ(orphan.parts[0].size, 100000);
    EXPECT_EQ(orphan.parts[0].missingParent, 999999);
    chain[1] = 100000;
    TreeShape cycle = ShapeOfTree(chain);
    ASSERT_EQ(cycle.parts.size(), 1u);
    EXPECT_TRUE(cycle.parts[0].cycle);
    EXPECT_EQ(cycle.parts[0].roots.size(), 100000u);
}

}  // namespace
