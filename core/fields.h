// The columns that lists, information panels, searches and reports can show: database columns
// of a table or view and composed columns built from other columns by a mask, each wrapped for
// one particular list with its caption, visibility, width, order and value formatter. Also the
// field-name lists in the user's list separator, list-view columns from a field list, the cell
// text of a virtual list and the sort marks in list headers.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <oleauto.h>

#include <vector>

#include "core/containers.h"
#include "core/zorobj.h"
#include "dataaccess/ado.h"

enum FieldKind
{
    FIELD_BASE = 0,
    FIELD_DATABASE = 1,   // CFieldInfo
    FIELD_COMPOSED = 2,   // CCustFld
};

enum FieldAlignment
{
    FIELD_ALIGN_LEFT = 0,
    FIELD_ALIGN_CENTER = 1,
    FIELD_ALIGN_RIGHT = 2,
};

class CFieldBase : public CZorObj
{
public:
    explicit CFieldBase(const wchar_t* field);
    ~CFieldBase() override = default;

    wchar_t Field[32];   // column name in its table or view; "CUSTOM" for a composed field
    wchar_t Name[64];    // caption shown to the user and kept in the settings
    BYTE Kind;           // FieldKind
    int Alignment;       // FieldAlignment
};

class CFieldInfo : public CFieldBase
{
public:
    CFieldInfo(const wchar_t* field, const wchar_t* table);
    ~CFieldInfo() override = default;

    wchar_t TableName[32];
    int ColumnOrdinal;   // ordinal in the recordset the field is read from
};

class CCustFld : public CFieldBase
{
public:
    explicit CCustFld(const wchar_t* name);
    ~CCustFld() override;
    CCustFld(const CCustFld&) = delete;
    CCustFld& operator=(const CCustFld&) = delete;

    wchar_t* Mask;        // "#n" = n-th referenced field, "##" = '#'
    wchar_t* Fields;      // names of the referenced fields, joined by the list separator
    CObjArray* FieldRefs; // the referenced CFieldBase objects, borrowed
    int UseForSearch;
    int UseForEdit;
};

// Writes a value's text: with a null buffer or a size of 0 returns the characters it needs
// (without the terminator); otherwise writes the text and returns 0.
typedef int (*ValueFormatterFn)(VARIANT value, wchar_t* buffer, int size, CFieldBase* field);

class CDispField : public CZorObj
{
public:
    explicit CDispField(CFieldBase* field);
    ~CDispField() override;
    CDispField(const CDispField&) = delete;
    CDispField& operator=(const CDispField&) = delete;

    CFieldBase* Field;    // owned by the catalogue or the configuration
    wchar_t* DispName;    // column header text, or null
    int Visible;
    int Width;
    int Order;
    ValueFormatterFn ValueFormatter;
};

// A composed field is formatted from the whole row, not from one value: the VARIANT handed to
// its formatter carries the row's Fields collection as VT_BYREF (the layer's Fields is not an
// automation object, so it cannot travel as VT_DISPATCH).
VARIANT RowFieldsVariant(zdata::Fields* fields);
zdata::Fields* RowFieldsOf(const VARIANT& value);

// The formatter of composed fields; -1 for a field that is not composed.
int CustomFieldValue(VARIANT value, wchar_t* buffer, int size, CFieldBase* field);

// Characters that a field's value can need, by its data type.
int FieldTextLength(zdata::Field* field);

// The user's list separator (at most 3 characters).
void GetListSeparator(wchar_t separator[4]);
// The fields' Names joined by the list separator; a new heap string (free).
wchar_t* JoinFieldNames(CObjArray* fields);
// Resolves each name of the text against the database and base fields of the CDispField list;
// false when a name was not found (the others are still resolved).
bool SplitFieldNames(const wchar_t* text, CObjArray* dispFields, CObjArray* out);

// Rebuilds a list view's columns: a narrow empty column 0, then one column per visible entry,
// whose header item carries the CDispField as lParam.
void SetupListColumns(HWND list, CObjArray* fields);

// String-table entries of boolean cells.
enum FieldStringId
{
    IDS_FIELD_YES = 370,
    IDS_FIELD_NO = 371,
};

// Answers a virtual list view's request for one item from the row at iItem + 1. A row that
// cannot be reached gives an empty text and lParam -1.
void GetListItemText(HINSTANCE instance, LVITEMW* item, zdata::Recordset* rs, HWND list);

// Moves the sort mark of a list's header; returns the new sort value (a column index, negative
// for one direction and positive for the other, 0 for none).
int SetSortArrow(HWND list, int current, int clicked);
// The sort keys of a list's sorted column (the header item |sortCol|, as SetSortArrow keeps it):
// the column's own field for a database column, the fields a composed column is made of; none
// for 0 or a column without an entry.
std::vector<CFieldBase*> SortKeysOfColumn(HWND list, int sortCol);
// Header marks drawn by the header's own sort flags (version 6 controls) or by its image list.
// -1 (the default) decides by the loaded common controls; 0 or 1 forces a style.
void SetSortMarkStyle(int themed);

// The formatter of coordinate columns: "49° 30' 15\"" for a real value, an empty text for
// anything else; a length request gives 16.
int FormatDegMinSec(VARIANT value, wchar_t* buffer, int size, CFieldBase* field);
// The formatter of whole-number columns kept as reals (the altitude in metres): "1 023" for a
// number, an empty text for anything else; a length request gives 32.
int FormatWholeNumber(VARIANT value, wchar_t* buffer, int size, CFieldBase* field);

// ---- search-field entries ----
// The item data of each row of the search page's field list.
struct CustomAttrDef;
struct SearchFieldEntry
{
    CDispField* Field;       // of the configuration's search list, borrowed
    int TableKind;           // 1 SPECIES, 2 FEATURES, 3 ZORNACOLLS, else 0
    CustomAttrDef* AttrDef;  // null for a column without a definition and for composed fields
    CPtrArray* Values;       // wide strings; the search page frees them before clearing
    wchar_t* MinText;
    wchar_t* MaxText;
    int TextLength;          // upper bound of the condition's length; 0: no condition
};
void InitSearchFieldEntry(SearchFieldEntry* entry, CDispField* field);
// Empties Values (freeing nothing), frees both texts and sets TextLength to 0.
void ClearSearchFieldEntry(SearchFieldEntry* entry);
// Clears the entry and deletes its Values.
void FreeSearchFieldEntry(SearchFieldEntry* entry);
