// What both list exports read of each row: the visible columns of the list in list order, the
// value of each for the current row, and its text as the list shows it (a value formatter's
// text, "Ano"/"Ne" for booleans, the user's short date, numbers in the user's format).
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "dataaccess/ado.h"

class CDispField;
class CObjArray;

struct ExportColumn
{
    CDispField* Disp;
    long Ordinal;           // column of the recordset; -1: the whole row (composed fields)
    zdata::Field* Field;    // the recordset's column, or null
    DataTypeEnum Type;      // its ADO type; adEmpty without a column
    std::wstring Caption;   // the display name
};

class ExportColumns
{
public:
    ExportColumns() = default;
    ~ExportColumns() { Clear(); }
    ExportColumns(const ExportColumns&) = delete;
    ExportColumns& operator=(const ExportColumns&) = delete;

    // The visible entries of the field list over the recordset's columns.
    void Open(zdata::Recordset* rows, CObjArray* dispFields);
    void Clear();
    size_t Count() const { return items_.size(); }
    const ExportColumn& operator[](size_t i) const { return items_[i]; }
    // The value of column i in the current row (a composed field gets the row's Fields as
    // VT_BYREF); VT_EMPTY and the error when it cannot be read. Clear it with VariantClear.
    HRESULT Value(size_t i, VARIANT* out) const;

private:
    std::vector<ExportColumn> items_;
    zdata::Fields* fields_ = nullptr;
};

// Visible columns of a field list.
int CountVisibleFields(CObjArray* dispFields);

class CellTexts
{
public:
    explicit CellTexts(HINSTANCE instance);
    // The text of a value as the list shows it; an empty text for NULL.
    void Text(const ExportColumn& column, const VARIANT& value, std::wstring* out);

private:
    std::wstring yes_, no_;
    std::vector<wchar_t> buffer_;
};

// Whether a value must be quoted to stay one field of a delimited line: it holds the delimiter
// or a line break, or starts with a quote.
bool NeedsQuotes(const std::wstring& text, const wchar_t* delimiter);
// Appends the value, quoted with inner quotes doubled when it needs that.
void AppendField(std::wstring* line, const std::wstring& text, const wchar_t* delimiter);
