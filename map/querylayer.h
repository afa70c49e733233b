// Query layers of a map: the records of the displayed list that meet one criterion of the
// criterion dialog. The criterion becomes a condition text that the list's recordset takes as its
// Filter while the layer's points are fetched. Values never enter the text as typed: each is read
// as a value of its column's kind (numbers in the user's format, dates as d.m.yyyy) and written
// in the Filter's own form (text quoted with apostrophes doubled, numbers with '.', dates as
// #yyyy-mm-dd hh:mm:ss#); a value that does not read gives no condition, and a layer without a
// condition draws no records.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "search/searchvalues.h"

struct QueryCriterion;
class CCustFld;
struct CustomAttrDef;
class ConfigData;

// A zeroed criterion with an empty value list (ownership mode 2, capacity 16, growth 4).
QueryCriterion* NewQueryCriterion();
// Frees the value list with its values and the criterion; null is allowed.
void FreeQueryCriterion(QueryCriterion* criterion);
// A malloc'd copy that takes over the value list (the source is left without one).
QueryCriterion* MoveQueryCriterion(QueryCriterion* source);

// What a condition needs besides the criterion.
struct QueryConditionContext
{
    NumberSeparators Separators;
    // The searchable composed field of that name (FieldType 2), null when there is none.
    std::function<const CCustFld*(const wchar_t* fieldName)> FindCustomField;
    // The attribute definition of a column of a table (1 SPECIES, 2 FEATURES, 3 ZORNACOLLS),
    // null for the tables' own columns.
    std::function<const CustomAttrDef*(int tableKind, const wchar_t* column)> FindAttr;
};

// The condition of a criterion; empty when none can be built.
std::wstring BuildQueryCondition(const QueryCriterion& criterion, const QueryConditionContext& context);

// Whether a "V rozmezí" criterion's lower value lies above its upper one, read by the column's
// kind (numbers and dates; for a composed column part by part, the first part that differs
// deciding). Such a range holds no record. Values that do not read, and texts, are not judged.
bool QueryRangeReversed(const QueryCriterion& criterion, const QueryConditionContext& context);

// The context of the occurrence records' criteria: the user's number format, the configuration's
// searchable composed fields and the attribute definitions the main window finds.
QueryConditionContext RecordQueryContext(HWND mainWindow, ConfigData* config);

// The value kind (SearchValueKind) of a column of the records: by its attribute definition, else
// the records' keys are whole numbers and the rest built in.
int RecordColumnValueKind(const wchar_t* column, const CustomAttrDef* def);
// A typed value written for a Filter: false when the text does not read as a value of the kind.
bool FilterLiteral(int kind, const wchar_t* text, const NumberSeparators& separators, std::wstring* out);
// A column name as a Filter names it: plain when it is a plain name, else in brackets.
std::wstring FilterColumnName(const wchar_t* column);
