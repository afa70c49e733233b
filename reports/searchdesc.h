// The current search in words, for the criteria section of the rich-text report: the checked
// items of a search tree by level, and the attribute criteria of the search page, each line
// ending with "\par" and CR LF. Texts are 8-bit in the ANSI code page and escaped once for RTF
// (names and values may hold braces and backslashes); numbers are written in the C locale's form
// whatever the runtime's locale. Results are malloc'd; the receiver frees them with free().
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "search/searchvalues.h"

class CPtrArray;
struct SearchFieldEntry;
struct CustomAttrDef;

// The checked items of a search tree (items carry the raw level id), one line per level that
// has any, in level order: the level's name from the level cache and ": " (left out for a level
// the cache lacks), then the items joined by ", ". With plain 0 or less an item of a data level
// is written with its ancestors in front for as long as they are of data levels too ("Parus
// major"); otherwise by its own text. Null when nothing is checked.
char* DescribeTreeSelection(HWND tree, const CPtrArray* levelCache, int plain);

// The attribute criteria of the search page's field list (item data SearchFieldEntry), one line
// per criterion that gives a condition: its caption, then its values and bounds as the WHERE
// builder reads them. The definitions of the columns composed fields refer to come from the
// main window (ZM_FIND_NAME_ENTRY). Null when no criterion says anything.
char* DescribeCriteria(HWND mainWnd, HWND fieldList);

// One criterion's line (without a caption limit check) for the caption given; empty when the
// entry gives no condition. findAttr answers for the columns composed fields refer to.
std::string DescribeCriterion(const SearchFieldEntry& entry, const wchar_t* caption,
                              const NumberSeparators& seps,
                              const std::function<const CustomAttrDef*(int, const wchar_t*)>& findAttr);
