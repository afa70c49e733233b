// The condition of a search of the records view COLLECTVIEW: the checked items of the two trees
// by level, and the criteria the user entered for the columns of the records, taxa and
// localities. A pure function of its inputs, without windows, so that every form it writes can
// be tested on its own. User values never become SQL: texts are quoted, numbers are this
// builder's own rendering of a parsed finite value, columns come only from the view's names and
// are quoted, tree ids are integers.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "search/searchvalues.h"

struct SearchFieldEntry;   // core/fields.h
struct CustomAttrDef;
class CCustFld;

// The ids of the checked items of one tree by level: entry n - 1 holds those of level id n.
using LevelIdLists = std::vector<std::vector<int>>;

// Adds an id under its level; level ids below 1 are left out.
void AddLevelId(LevelIdLists* lists, int levelId, int id);

// "SYS_LEVEL_2 = 14 OR SYS_LEVEL_3 IN (40, 41)" for the prefix "SYS_LEVEL_"; empty when no
// level has an id.
std::wstring BuildTreeCondition(const wchar_t* prefix, const LevelIdLists& lists);

// What a criterion needs besides its entry.
struct WhereContext
{
    const wchar_t* const* Columns;  // COLLECTVIEW's column names by ordinal
    int ColumnCount;
    NumberSeparators Separators;
    // The definition of a column a composed field refers to (table kind 1-3); null for none.
    std::function<const CustomAttrDef*(int tableKind, const wchar_t* column)> FindAttr;
};

// The quoted view column at an ordinal; empty when the ordinal is not a column of the view.
std::wstring ViewColumnName(const WhereContext& context, int ordinal);

// The condition of one entry of the search page (its values, minimum and maximum); empty when
// nothing it holds reads as a value of the column.
std::wstring BuildCriterionCondition(const SearchFieldEntry& entry, const WhereContext& context);

// Whether a text cut by a composed field's mask gives a value for at least one of its columns.
// Without column names in the context (describing a search) the fields' own names stand in.
bool ComposedTextReads(const CCustFld* field, const wchar_t* text, const WhereContext& context);

// "(c1) AND (c2) ..." over the entries that give a condition; empty when none does.
std::wstring BuildCriteriaText(const SearchFieldEntry* const* entries, int count,
                               const WhereContext& context);

// "(S) AND (L) AND K" with the missing parts left out; empty when all three are.
std::wstring CombineWhere(const std::wstring& sysTree, const std::wstring& locTree,
                          const std::wstring& criteria);
