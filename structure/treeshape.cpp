#include "structure/treeshape.h"

#include <algorithm>

TreeShape ShapeOfTree(const std::unordered_map<int, int>& parentOf)
{
    TreeShape shape;
    std::unordered_map<int, std::vector<int>> children;
    for (const auto& item : parentOf)
        children[item.second].push_back(item.first);

    // Down from the top: what it reaches is on the tree.
    std::unordered_set<int> reached;
    std::vector<int> pending = {0};
    while (!pending.empty()) {
        int id = pending.back();
        pending.pop_back();
        auto found = children.find(id);
        if (found == children.end())
            continue;
        for (int child : found->second)
            if (reached.insert(child).second)
                pending.push_back(child);
    }
    std::vector<int> off;
    for (const auto& item : parentOf)
        if (!reached.count(item.first))
            off.push_back(item.first);
    std::sort(off.begin(), off.end());
    shape.offTree.insert(off.begin(), off.end());

    // Up from each item off the tree until a missing parent or an item seen on this way (a
    // cycle); an item met on an earlier way belongs to that way's part.
    std::unordered_map<int, size_t> partOf;
    for (int start : off) {
        if (partOf.count(start))
            continue;
        std::vector<int> way;
        std::unordered_map<int, size_t> onWay;
        int id = start;
        size_t part = 0;
        for (;;) {
            auto earlier = partOf.find(id);
            if (earlier != partOf.end()) {
                part = earlier->second;
                break;
            }
            auto seen = onWay.find(id);
            if (seen != onWay.end()) {
                TreeShape::Detached cycle;
                cycle.cycle = true;
                cycle.roots.assign(way.begin() + (long)seen->second, way.end());
                std::sort(cycle.roots.begin(), cycle.roots.end());
                part = shape.parts.size();
                shape.parts.push_back(cycle);
                break;
            }
            onWay.emplace(id, way.size());
            way.push_back(id);
            int parent = parentOf.at(id);
            if (!parentOf.count(parent)) {
                TreeShape::Detached orphan;
                orphan.roots = {id};
                orphan.missingParent = parent;
                part = shape.parts.size();
                shape.parts.push_back(orphan);
                break;
            }
            id = parent;
        }
        for (int member : way)
            partOf.emplace(member, part);
    }
    for (const auto& member : partOf)
        ++shape.parts[member.second].size;
    std::sort(shape.parts.begin(), shape.parts.end(),
              [](const TreeShape::Detached& a, const TreeShape::Detached& b) { return a.roots[0] < b.roots[0]; });
    return shape;
}
