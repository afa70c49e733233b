// The rules the configuration sheet checks before it takes a custom column or a new order of a
// list, kept apart from the windows so that they can be checked on their own.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Longest custom column name: the column keeps at most this many characters.
const int kMaxCustomColumnName = 63;

// A custom column's name: 0 when it can be taken, else the string of the refusal: 503 empty,
// 504 a name the workspace file cannot store as an element name (a space at either end or
// inside, a digit or punctuation first, a character XML does not allow, or a name longer than
// the column keeps).
int CheckCustomColumnName(const wchar_t* name);

// Whether the text is an element name of XML 1.0 without a namespace prefix.
bool IsXmlElementName(const wchar_t* name);

// A custom column's mask with fieldCount referenced fields: 0 when it can be taken, 508 when it
// is empty, IDS_MASK_NO_NUMBER when a '#' is followed by no digit (part: the place of that '#',
// counted from 1), IDS_MASK_BEYOND_FIELDS (IDS_MASK_NO_FIELDS when none is chosen) when a
// reference names a number outside 1..fieldCount (part: the reference as typed). "##" stands
// for a '#' itself; a reference has at most 32 digits and never wraps round.
int CheckCustomMask(const wchar_t* mask, int fieldCount, std::wstring* part = nullptr);

// Two names of columns or labels are one name when they differ only in letter case, Czech
// letters included.
bool SameColumnName(const wchar_t* a, const wchar_t* b);

// The new Order of every row of a list after the selected rows were dropped before the row
// dropIndex (the row count: after the last row). orders holds each row's Order in row order;
// the selected rows, in row order, get the Order of the drop row (the last row's + 1 at the
// end) and the following numbers, then the rows that were not selected from dropIndex on get
// the numbers after them. Rows before dropIndex keep theirs.
void OrderForDrop(std::vector<int>& orders, const std::vector<bool>& selected, int dropIndex);
