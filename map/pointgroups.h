// Records that fall on one spot of the map (one locality, or one grid cell when a grid is shown)
// are drawn once, with the look of all of them together: a translucent fill as dark as k blends.
// A group keeps the spot, the number of records k and, on a grid, the cell.
#pragma once
#include "core/containers.h"
#include "map/griddef.h"

struct PointGroups
{
    // What the groups were made for: the grid (a copy and the combo's pointer), the cell size
    // and the y scaling. They are made again when any of it changes.
    const GridDef* GridPtr;
    GridDef Grid;
    int HasGrid;
    int Fine;
    double CentreLat;
    double YFactor;
    double CellSize;  // SnapToGridCell's result, 0 without a grid

    int Count;
    double* X;     // spot of each group (the cell's centre on a grid)
    double* Y;
    int* K;        // records in the group
    double* Cell;  // x0, y0, x1, y1 of each group's cell; null without a grid
    int MaxK;
};

// Groups the vertices of the runs (view coordinates), snapped to the grid's cells when a grid
// is given, in the order of each group's first vertex. Null when memory runs out.
PointGroups* GroupPoints(const CPtrArray* runs, const CIntArray* counts, const GridDef* grid, int fine,
                         double centreLat, double yFactor);
// Whether the groups were made for this grid, level and scaling.
bool PointGroupsMatch(const PointGroups* groups, const GridDef* grid, int fine, double centreLat, double yFactor);
void FreePointGroups(PointGroups* groups);

// The opacity of k blends of a fill of opacity alpha: 1 - (1 - alpha)^k.
double BlendedOpacity(double alpha, int k);
