// Recordset Sort: "column [ASC|DESC] {, column [ASC|DESC]}" ordering the rows of a client
// recordset's view, as ADO's Sort property does. NULLs come first in ascending order, numbers
// before texts, texts in the user's order without regard to case (the comparison Filter uses),
// blobs bytewise; rows that tie keep their order.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dataaccess/rowset.h"

namespace zdata {

struct SortKey {
    size_t column;  // index into the rowset's columns (hidden columns included)
    bool descending;
};

// Parses the criteria; resolve maps a column name (brackets removed) to its rowset column.
// An empty or blank text gives no keys. False with *error for an unknown column or bad syntax.
bool ParseSortCriteria(const std::wstring& text,
                       const std::function<bool(const std::wstring& name, size_t* column)>& resolve,
                       std::vector<SortKey>* keys, std::wstring* error);

// Orders the view (base row indexes) by the keys; a stable sort.
void SortView(const RowsetData& data, const std::vector<SortKey>& keys, std::vector<uint32_t>* view);

}  // namespace zdata
