// The legend of a map card as plain rules, apart from its windows: the order of the rows after a
// row is dragged, the shapefiles of a map folder, and which grid the grid combo selects after it
// is refilled.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// The Order of each row (by its current index) when the row at from is dropped on the row at
// to: the rows between them shift by one and the dragged row takes the target's place; empty
// when nothing moves (the same row, or an index outside 0 .. count - 1).
std::vector<int> LegendOrdersAfterMove(int count, int from, int to);

// LVM_SORTITEMS comparison of two legend items by their Order.
int CALLBACK CompareLegendOrder(LPARAM a, LPARAM b, LPARAM);

// The names of the shapefiles in a folder, in the order the file search gives them: files whose
// extension is exactly ".shp" (in any case; "a.shpx" is none).
std::vector<std::wstring> ShapeFilesIn(const std::wstring& folder);

// The grid combo's selection after a refill: the index where the previous selection's text was
// found (-1 when not), whether there was a selection before, the number of grids now listed and
// the card's current Grid.
int GridAfterRefill(int found, bool hadSelection, int gridCount, int current);
