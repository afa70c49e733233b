// The request of the lookup values editor: rename or merge a value in every row that uses it,
// delete a value, or change a value's name or abbreviation in place (CDatabase::EditLookupTable).
#pragma once

struct LookupEdit
{
    int Kind;               // lookup table kind 1-6 (LookupKind)
    int ValueOps;           // LOOKUP_REPLACE_VALUE | LOOKUP_DELETE_VALUE; 0 or less: in-place edit
    int ColumnFlags;        // in-place edit: LOOKUP_WRITE_NAME | LOOKUP_WRITE_ABBREV
    int Row;                // the value's row, 1-based, in the cached lookup recordset
    const wchar_t* FieldName;  // the attribute's column
    const wchar_t* NewName;    // the new value, or null
    const wchar_t* NewAbbrev;  // the new abbreviation, or null
    int ExistingIndex;      // the new value's index in the editor's list; -1 when typed
    // The value the editor shows at Row, or null. Rows are positions, so a list that no longer
    // matches the table would act on another value: given a text, nothing is done unless the
    // value at Row is that text.
    const wchar_t* ShownName;
};

enum LookupValueOp
{
    LOOKUP_REPLACE_VALUE = 1,
    LOOKUP_DELETE_VALUE = 2,
};

enum LookupColumnFlag
{
    LOOKUP_WRITE_NAME = 1,
    LOOKUP_WRITE_ABBREV = 2,
};
