// Record-list services of the map and print form, and the report texts of tree item paths.
#include "core/itempath.h"

#include <cmath>
#include <vector>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <string>
#include "core/database.h"
#include "core/fields.h"
#include "core/rsutil.h"
#include "core/textutil.h"

using zdata::Recordset;

namespace {

// A path never holds more ancestors than this; damaged PARENT values that form a cycle end here.
const int kMaxPathDepth = 4096;

// One recordset reused for every statement of a path: each Open closes the previous one.
class PathQuery
{
public:
    explicit PathQuery(zdata::Connection* connection)
        : connection_(connection), rs_(Recordset::Create()), fields_(nullptr) {}
    ~PathQuery()
    {
        if (fields_)
            fields_->Release();
        CDatabase::CloseRecordset(rs_);
    }
    PathQuery(const PathQuery&) = delete;
    PathQuery& operator=(const PathQuery&) = delete;

    // Opens the statement; true when it gave a row.
    bool Row(const wchar_t* format, int id)
    {
        if (!rs_ || !connection_)
            return false;
        if (fields_) {
            fields_->Release();
            fields_ = nullptr;
        }
        if (IsRecordsetOpen(rs_))
            rs_->Close();
        wchar_t sql[160];
        _snwprintf(sql, 160, format, id);
        sql[159] = 0;
        rs_->put_CursorLocation(adUseServer);
        if (FAILED(rs_->Open(sql, connection_, adOpenKeyset, adLockReadOnly)))
            return false;
        if (rs_->IsBOF() && rs_->IsEOF())
            return false;
        return SUCCEEDED(rs_->get_Fields(&fields_)) && fields_;
    }
    void Value(long ordinal, VARIANT* out)
    {
        VariantInit(out);
        zdata::Field* field = nullptr;
        if (!fields_ || FAILED(fields_->Item(ordinal, &field)) || !field)
            return;
        if (FAILED(field->get_Value(out))) {
            VariantClear(out);
            VariantInit(out);
        }
        field->Release();
    }
    int Int(long ordinal)
    {
        VARIANT v;
        Value(ordinal, &v);
        int n = VariantToInt(&v);
        VariantClear(&v);
        return n;
    }
    // Text of the column cut to maxChars characters; empty for anything but text.
    std::wstring Text(long ordinal, int maxChars)
    {
        VARIANT v;
        Value(ordinal, &v);
        std::wstring text;
        if (v.vt == VT_BSTR && v.bstrVal)
            text.assign(v.bstrVal, wcsnlen(v.bstrVal, (size_t)maxChars));
        VariantClear(&v);
        return text;
    }

private:
    zdata::Connection* connection_;
    Recordset* rs_;
    zdata::Fields* fields_;
};

// Writes name + " (" + path + ")" as 8-bit text into the buffer without passing its end: the
// name first, cut when it alone does not fit, then the parenthesised path cut to what is left
// (the closing parenthesis always kept when the opening one is written).
int WritePathText(const std::wstring& name, const std::wstring& path, char* buffer, int bufferSize)
{
    if (!buffer || bufferSize <= 0)
        return 0;
    buffer[0] = 0;
    int length = WideToAnsi(name.c_str(), buffer, bufferSize);
    length = (int)strlen(buffer);
    int room = bufferSize - 1 - length;  // bytes left before the terminator
    if (room < 3)
        return length;
    buffer[length++] = ' ';
    buffer[length++] = '(';
    buffer[length] = 0;
    // The path gets what is left but one byte for ")".
    int pathRoom = room - 3;
    if (pathRoom > 0 && !path.empty()) {
        WideToAnsi(path.c_str(), buffer + length, pathRoom + 1);
        length += (int)strlen(buffer + length);
    }
    buffer[length++] = ')';
    buffer[length] = 0;
    return length;
}

void Prepend(std::wstring& path, const std::wstring& part)
{
    path = path.empty() ? part : part + L" / " + path;
}

}  // namespace

bool CDatabase::SetRecordListFilter(int list, const wchar_t* text)
{
    Recordset* rs = list == POINT_LIST_TAXON ? TaxonRecordsRs
                  : list == POINT_LIST_SEARCH ? SearchRecordsRs : nullptr;
    if (!IsRecordsetOpen(rs))
        return false;
    return SUCCEEDED(rs->put_Filter(text ? text : L""));
}

int CDatabase::GetRecordCoordinates(int list, int sourced, double* points[2])
{
    points[0] = points[1] = nullptr;
    Recordset* rs = list == POINT_LIST_TAXON ? TaxonRecordsRs
                  : list == POINT_LIST_SEARCH ? SearchRecordsRs : nullptr;
    if (!IsRecordsetOpen(rs))
        return 0;
    long n = 0;
    if (FAILED(rs->get_RecordCount(&n)) || n <= 0)
        return 0;
    // The publication and the locality's longitude and latitude of every row of the list's
    // view, read in one pass (a list of a million rows is not walked row by row).
    // A long list reads only the rows of the wanted kind from the database (a fifth of a
    // million records cite a publication); the test below still decides, texts included.
    std::wstring narrowing;
    zdata::Fields* fields = nullptr;
    zdata::Field* field = nullptr;
    BSTR name = nullptr;
    if (SUCCEEDED(rs->get_Fields(&fields)) && fields && SUCCEEDED(fields->Item(3, &field)) && field &&
        SUCCEEDED(field->get_Name(&name)) && name) {
        const std::wstring c = L"\"" + std::wstring(name) + L"\"";
        narrowing = sourced ? L"NOT (IFNULL(" + c + L", 0) < 1 AND typeof(" + c + L") IN ('integer', 'real', 'null'))"
                            : L"NOT (IFNULL(" + c + L", 0) >= 1 AND typeof(" + c + L") IN ('integer', 'real'))";
    }
    SysFreeString(name);
    if (field)
        field->Release();
    if (fields)
        fields->Release();
    std::vector<double> values;
    if (FAILED(rs->ReadRealColumns({3L, (long)(FirstFeatureColumn + 3), (long)(FirstFeatureColumn + 4)}, &values,
                                   narrowing)))
        return 0;
    const size_t rows = values.size() / 3;
    double* xs = (double*)malloc((rows ? rows : 1) * sizeof(double));
    double* ys = (double*)malloc((rows ? rows : 1) * sizeof(double));
    if (!xs || !ys) {
        free(xs);
        free(ys);
        return 0;
    }
    points[0] = xs;
    points[1] = ys;
    int taken = 0;
    for (size_t r = 0; r < rows; ++r) {
        // A record without a publication holds NULL or a value below 1.
        const double literature = values[3 * r];
        const bool cited = !std::isnan(literature) && literature >= 1;
        if (cited != (sourced != 0))
            continue;
        xs[taken] = values[3 * r + 1];  // NaN when the locality has no coordinates
        ys[taken] = values[3 * r + 2];
        taken++;
    }
    return taken;
}

int CDatabase::GetSysItemPath(int id, char* buffer, int bufferSize)
{
    if (!buffer || bufferSize <= 0)
        return 0;
    buffer[0] = 0;
    PathQuery q(AdoConnection);
    std::wstring name;
    if (q.Row(L"SELECT NAME FROM SPECIES WHERE SYSID = %d", id))
        name = q.Text(0, 127);
    std::wstring path;
    if (q.Row(L"SELECT PARENT FROM SYSTREE WHERE ID = %d", id)) {
        int current = q.Int(0);
        for (int depth = 0; depth < kMaxPathDepth; depth++) {
            if (!q.Row(L"SELECT PARENT, SYSLEVEL, NAME FROM SYSTREE WHERE ID = %d", current))
                break;
            if (q.Int(1) < 1)
                break;  // the root is never part of the path
            Prepend(path, q.Text(2, 63));
            current = q.Int(0);
        }
    }
    return WritePathText(name, path, buffer, bufferSize);
}

int CDatabase::GetLocItemPath(int id, char* buffer, int bufferSize, const CPtrArray* levelCache,
                              const LocPathAbbrevs* abbrevs)
{
    if (!buffer || bufferSize <= 0)
        return 0;
    buffer[0] = 0;
    PathQuery q(AdoConnection);
    std::wstring name, path;
    if (q.Row(L"SELECT PARENT, NAME, ABBREV FROM LOCTREE WHERE ID = %d", id)) {
        name = q.Text(1, 127);
        int current = q.Int(0);
        for (int depth = 0; depth < kMaxPathDepth; depth++) {
            if (!q.Row(L"SELECT PARENT, LOCLEVEL, NAME, ABBREV FROM LOCTREE WHERE ID = %d", current))
                break;
            int level = q.Int(1);
            if (level < 1)
                break;
            // The level by its id: level ids need not equal positions in the cache.
            const LevelDef* def = FindLevelDef(levelCache, level);
            bool shortened = false;
            if (def && abbrevs && abbrevs->UsesAbbrev &&
                abbrevs->UsesAbbrev(abbrevs->Context, def->Name)) {
                VARIANT itemName, abbrev;
                q.Value(2, &itemName);
                q.Value(3, &abbrev);
                if (abbrev.vt == VT_BSTR && abbrev.bstrVal) {
                    Prepend(path, std::wstring(abbrev.bstrVal, wcsnlen(abbrev.bstrVal, 63)));
                    shortened = true;
                    if (abbrevs->Add)
                        abbrevs->Add(abbrevs->Context, &itemName, &abbrev);
                }
                VariantClear(&itemName);
                VariantClear(&abbrev);
            }
            if (!shortened)
                Prepend(path, q.Text(2, 63));
            current = q.Int(0);
        }
    }
    return WritePathText(name, path, buffer, bufferSize);
}

int CDatabase::GetRecordItemId(int list, int locality, int recordId)
{
    Recordset* rs = list == 0 ? TaxonRecordsRs
                  : list == 1 ? LocalityRecordsRs
                  : list == 2 ? SearchRecordsRs : nullptr;
    if (!IsRecordsetOpen(rs))
        return -1;
    zdata::Fields* fields = nullptr;
    if (FAILED(rs->get_Fields(&fields)) || !fields)
        return -1;
    auto valueOf = [&](long ordinal) {
        VARIANT v;
        VariantInit(&v);
        zdata::Field* field = nullptr;
        int n = -1;
        if (SUCCEEDED(fields->Item(ordinal, &field)) && field) {
            if (SUCCEEDED(field->get_Value(&v)))
                n = VariantToInt(&v);
            VariantClear(&v);
            field->Release();
        }
        return n;
    };
    // Forward from the current row to the end, then once more from the first row: lookups of
    // neighbouring records stay short.
    bool found = false;
    for (int pass = 0; pass < 2 && !found; pass++) {
        HRESULT hr = pass == 0 ? (rs->IsEOF() || rs->IsBOF() ? rs->MoveFirst() : S_OK)
                               : rs->MoveFirst();
        for (; SUCCEEDED(hr) && !rs->IsEOF(); hr = rs->MoveNext()) {
            if (valueOf(0) == recordId) {
                found = true;
                break;
            }
        }
    }
    int result = found ? valueOf(locality ? 2 : 1) : -1;
    fields->Release();
    return result;
}

// A name put between quotes in SQL text: quotes doubled, cut to the size of a column name.
static std::wstring QuotedName(const wchar_t* name)
{
    std::wstring text;
    for (const wchar_t* p = name ? name : L""; *p && text.size() < 64; p++) {
        text += *p;
        if (*p == L'\'')
            text += L'\'';
    }
    return text;
}

bool CDatabase::IsLookupAttribute(int mode, const wchar_t* tableName, const wchar_t* fieldName)
{
    if (!tableName || !fieldName)
        return false;
    if (wcscmp(tableName, L"SPECIES") == 0 && wcscmp(fieldName, L"AUTHOR") == 0)
        return true;
    std::wstring sql = L"SELECT * FROM CUSTOMATTRIBUTES WHERE TABLENAME = '" + QuotedName(tableName) +
                       L"' AND FIELDNAME = '" + QuotedName(fieldName) + L"'";
    Recordset* rs = OpenQuery(sql.c_str(), adUseServer, adOpenKeyset, adLockReadOnly);
    int type = -1;  // no row: no type
    if (IsRecordsetOpen(rs) && !(rs->IsBOF() && rs->IsEOF())) {
        zdata::Fields* fields = nullptr;
        zdata::Field* field = nullptr;
        if (SUCCEEDED(rs->get_Fields(&fields)) && fields) {
            if (SUCCEEDED(fields->Item(3L, &field)) && field) {
                VARIANT v;
                VariantInit(&v);
                if (SUCCEEDED(field->get_Value(&v)))
                    type = VariantToInt(&v);
                VariantClear(&v);
                field->Release();
            }
            fields->Release();
        }
    }
    CloseRecordset(rs);
    return type == 5 || (mode == 1 && type == 7);
}

bool CDatabase::IsLookupField(int mode, CDispField* entry)
{
    if (!entry || !entry->Field || entry->Field->Kind != FIELD_DATABASE)
        return false;
    CFieldInfo* info = static_cast<CFieldInfo*>(entry->Field);
    return IsLookupAttribute(mode, info->TableName, info->Field);
}
