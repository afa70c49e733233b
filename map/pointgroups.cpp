#include "map/pointgroups.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

uint64_t Bits(double d)
{
    uint64_t u;
    memcpy(&u, &d, sizeof u);
    return u;
}

uint64_t Mix(uint64_t a, uint64_t b)
{
    uint64_t h = a * 0x9E3779B97F4A7C15ull ^ (b + 0x632BE59BD9B4E019ull + (a << 6) + (a >> 2));
    h ^= h >> 31;
    h *= 0xBF58476D1CE4E5B9ull;
    return h ^ (h >> 29);
}

const double kMaxCellArray = 16e6;

// Groups by the cell's column and row, counted in an array over the cells the points touch;
// false (nothing done) when those cells are too many for one.
bool GroupByCell(PointGroups* g, const CPtrArray* runs, const CIntArray* counts, int runCount, size_t total)
{
    double sx = 0, sy = 0;
    GridCellSize(&g->Grid, g->Fine, &sx, &sy);
    std::vector<double> cells(total * 2);
    double c0 = 0, c1 = -1, r0 = 0, r1 = -1;
    size_t at = 0;
    for (int r = 0; r < runCount; ++r) {
        const double* run = (const double*)runs->GetItems()[r];
        for (int i = 0; run && i < counts->GetItems()[r]; ++i, ++at) {
            GridCellOf(&g->Grid, sx, sy, g->CentreLat, g->YFactor, run[2 * i], run[2 * i + 1], &cells[2 * at],
                       &cells[2 * at + 1]);
            const double c = cells[2 * at], row = cells[2 * at + 1];
            if (at == 0 || c < c0) c0 = c;
            if (at == 0 || c > c1) c1 = c;
            if (at == 0 || row < r0) r0 = row;
            if (at == 0 || row > r1) r1 = row;
        }
    }
    const double width = c1 - c0 + 1, height = r1 - r0 + 1;
    if (!(width >= 1) || !(height >= 1) || width * height > kMaxCellArray)
        return false;
    std::vector<int> slot((size_t)(width * height), -1);
    for (size_t p = 0; p < at; ++p) {
        const double c = cells[2 * p], row = cells[2 * p + 1];
        int& s = slot[(size_t)((c - c0) * height + (row - r0))];
        if (s >= 0) {
            if (++g->K[s] > g->MaxK)
                g->MaxK = g->K[s];
            continue;
        }
        s = g->Count++;
        GridCellPlace(&g->Grid, sx, sy, g->CentreLat, g->YFactor, c, row, &g->X[s], &g->Y[s], g->Cell + 4 * (size_t)s);
        g->K[s] = 1;
        if (g->MaxK < 1)
            g->MaxK = 1;
    }
    return true;
}

}  // namespace

PointGroups* GroupPoints(const CPtrArray* runs, const CIntArray* counts, const GridDef* grid, int fine,
                         double centreLat, double yFactor)
{
    PointGroups* g = (PointGroups*)calloc(1, sizeof(PointGroups));
    if (!g)
        return nullptr;
    g->GridPtr = grid;
    if (grid)
        g->Grid = *grid;
    g->Fine = fine;
    g->CentreLat = centreLat;
    g->YFactor = yFactor;
    if (grid) {
        double x = 0, y = 0;
        g->CellSize = SnapToGridCell(grid, centreLat, yFactor, &x, &y, fine, nullptr);
        g->HasGrid = g->CellSize > 0;
    }
    size_t total = 0;
    const int runCount = runs && counts ? std::min(runs->GetCount(), counts->GetCount()) : 0;
    for (int r = 0; r < runCount; ++r)
        total += counts->GetItems()[r] > 0 ? (size_t)counts->GetItems()[r] : 0;
    if (total == 0)
        return g;
    g->X = (double*)malloc(total * sizeof(double));
    g->Y = (double*)malloc(total * sizeof(double));
    g->K = (int*)malloc(total * sizeof(int));
    g->Cell = g->HasGrid ? (double*)malloc(total * 4 * sizeof(double)) : nullptr;
    size_t capacity = 16;
    while (capacity < total * 2)
        capacity <<= 1;
    std::vector<int> slots;
    if (!g->X || !g->Y || !g->K || (g->HasGrid && !g->Cell)) {
        FreePointGroups(g);
        return nullptr;
    }
    // On a grid of a sensible size the cells are counted in an array by column and row.
    if (g->HasGrid && GroupByCell(g, runs, counts, runCount, total))
        return g;
    slots.assign(capacity, -1);
    const size_t mask = capacity - 1;
    for (int r = 0; r < runCount; ++r) {
        const double* run = (const double*)runs->GetItems()[r];
        const int n = counts->GetItems()[r];
        for (int i = 0; run && i < n; ++i) {
            double x = run[2 * i], y = run[2 * i + 1];
            double cell[4];
            if (g->HasGrid)
                SnapToGridCell(grid, centreLat, yFactor, &x, &y, fine, cell);
            const uint64_t bx = Bits(x), by = Bits(y);
            size_t s = Mix(bx, by) & mask;
            while (slots[s] >= 0 && (Bits(g->X[slots[s]]) != bx || Bits(g->Y[slots[s]]) != by))
                s = (s + 1) & mask;
            if (slots[s] >= 0) {
                int k = ++g->K[slots[s]];
                if (k > g->MaxK)
                    g->MaxK = k;
                continue;
            }
            const int index = g->Count++;
            slots[s] = index;
            g->X[index] = x;
            g->Y[index] = y;
            g->K[index] = 1;
            if (g->MaxK < 1)
                g->MaxK = 1;
            if (g->HasGrid)
                memcpy(g->Cell + 4 * (size_t)index, cell, sizeof cell);
        }
    }
    return g;
}

bool PointGroupsMatch(const PointGroups* groups, const GridDef* grid, int fine, double centreLat, double yFactor)
{
    if (!groups || groups->GridPtr != grid || groups->CentreLat != centreLat || groups->YFactor != yFactor)
        return false;
    if (!grid)
        return true;
    // The grid list may have been edited in place: compare the values, not only the pointer.
    return groups->Fine == fine && memcmp(&groups->Grid, grid, sizeof(GridDef)) == 0;
}

void FreePointGroups(PointGroups* groups)
{
    if (!groups)
        return;
    free(groups->X);
    free(groups->Y);
    free(groups->K);
    free(groups->Cell);
    free(groups);
}

double BlendedOpacity(double alpha, int k)
{
    if (k <= 1)
        return alpha;
    if (alpha >= 1)
        return 1;
    if (alpha <= 0)
        return 0;
    return 1 - std::pow(1 - alpha, k);
}
