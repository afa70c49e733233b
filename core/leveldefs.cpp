#include "core/leveldefs.h"
#include <string.h>
#include "core/blob.h"
#include "core/textutil.h"

void ColumnValue(zdata::Fields* fields, long ordinal, VARIANT* out)
{
    VariantInit(out);
    zdata::Field* field = nullptr;
    if (!fields || FAILED(fields->Item(ordinal, &field)) || !field)
        return;
    if (FAILED(field->get_Value(out))) {
        VariantClear(out);
        VariantInit(out);
    }
    field->Release();
}

namespace {

zdata::Fields* FieldsOf(zdata::Recordset* rs)
{
    zdata::Fields* fields = nullptr;
    if (!rs || FAILED(rs->get_Fields(&fields)))
        return nullptr;
    return fields;
}

// Appends the stored icon of a column to an image list; -1 when the column holds none.
int AddColumnIcon(zdata::Fields* fields, long ordinal, HIMAGELIST images, int size)
{
    if (!images)
        return -1;
    VARIANT v;
    ColumnValue(fields, ordinal, &v);
    int index = -1;
    HICON icon = BlobToIcon(&v, size, size);
    if (icon) {
        index = ImageList_ReplaceIcon(images, -1, icon);
        DestroyIcon(icon);
    }
    VariantClear(&v);
    return index;
}

void TextOfColumn(zdata::Fields* fields, long ordinal, wchar_t* buffer, int size)
{
    buffer[0] = 0;
    VARIANT v;
    ColumnValue(fields, ordinal, &v);
    if (!VariantToText(&v, buffer, size))
        buffer[0] = 0;
    VariantClear(&v);
}

// The column of that name; null when there is none. Looked up among the names, so that a missing
// column leaves no error behind on the connection.
zdata::Field* FieldIfPresent(zdata::Fields* fields, const wchar_t* name)
{
    long count = 0;
    if (FAILED(fields->get_Count(&count)))
        return nullptr;
    for (long i = 0; i < count; i++) {
        zdata::Field* field = nullptr;
        if (FAILED(fields->Item(i, &field)) || !field)
            continue;
        BSTR fieldName = nullptr;
        bool same = SUCCEEDED(field->get_Name(&fieldName)) && fieldName && _wcsicmp(fieldName, name) == 0;
        SysFreeString(fieldName);
        if (same)
            return field;
        field->Release();
    }
    return nullptr;
}

// A bound column of the current row: false (the value untouched) when the column is missing or
// holds no number.
bool BoundOfField(zdata::Field* field, double* value)
{
    if (!field)
        return false;
    VARIANT v;
    VariantInit(&v);
    VARIANT number;
    VariantInit(&number);
    bool read = SUCCEEDED(field->get_Value(&v)) && v.vt != VT_NULL && v.vt != VT_EMPTY
                && SUCCEEDED(VariantChangeType(&number, &v, 0, VT_R8));
    if (read)
        *value = number.dblVal;
    VariantClear(&v);
    return read;
}

int IntOfColumn(zdata::Fields* fields, long ordinal, bool zeroWhenEmpty)
{
    VARIANT v;
    ColumnValue(fields, ordinal, &v);
    int n = zeroWhenEmpty ? VariantToIntOrZero(&v) : VariantToInt(&v);
    VariantClear(&v);
    return n;
}

}  // namespace

void LoadLevelDefs(CPtrArray* cache, HIMAGELIST largeImages, HIMAGELIST smallImages, HWND tree,
                   HWND list, zdata::Recordset* levels)
{
    cache->RemoveAll(1);
    if (largeImages)
        ImageList_RemoveAll(largeImages);
    if (smallImages)
        ImageList_RemoveAll(smallImages);
    if (tree)
        SendMessageW(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, (LPARAM)smallImages);
    if (list) {
        SendMessageW(list, LVM_SETIMAGELIST, LVSIL_NORMAL, (LPARAM)largeImages);
        SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)smallImages);
    }
    zdata::Fields* fields = FieldsOf(levels);
    if (!fields)
        return;
    for (HRESULT hr = levels->MoveFirst(); SUCCEEDED(hr) && !levels->IsEOF(); hr = levels->MoveNext()) {
        LevelDef* def = (LevelDef*)calloc(1, sizeof(LevelDef));
        if (!def)
            break;
        def->LevelId = IntOfColumn(fields, 0, false);
        TextOfColumn(fields, 1, def->Name, 64);
        def->DataLevel = IntOfColumn(fields, 2, true);
        def->Icon32 = AddColumnIcon(fields, 3, largeImages, 32);
        def->Icon16 = AddColumnIcon(fields, 4, smallImages, 16);
        int selected = AddColumnIcon(fields, 5, smallImages, 16);
        def->Icon16Selected = selected >= 0 ? selected : def->Icon16;
        cache->Add(def);
    }
    fields->Release();
}

static LevelDef* FindLevelFrom(const CPtrArray* cache, int first, int levelId)
{
    if (!cache)
        return nullptr;
    for (int i = first; i < cache->GetCount(); i++) {
        LevelDef* def = (LevelDef*)cache->GetItems()[i];
        if (def && def->LevelId == levelId)
            return def;
    }
    return nullptr;
}

LevelDef* FindLevelDef(const CPtrArray* cache, int levelId)
{
    return FindLevelFrom(cache, 0, levelId);
}

LevelDef* FindLevelDefSkipFirst(const CPtrArray* cache, int levelId)
{
    return FindLevelFrom(cache, 1, levelId);
}

void ReadCustomAttrDefs(CPtrArray* list, zdata::Recordset* rs, int emptyFirst)
{
    if (emptyFirst)
        list->RemoveAll(1);
    zdata::Fields* fields = FieldsOf(rs);
    if (!fields)
        return;
    // Read by name: the older layout has no bound columns.
    zdata::Field* minField = FieldIfPresent(fields, L"MINVAL");
    zdata::Field* maxField = FieldIfPresent(fields, L"MAXVAL");
    for (HRESULT hr = rs->MoveFirst(); SUCCEEDED(hr) && !rs->IsEOF(); hr = rs->MoveNext()) {
        CustomAttrDef* def = (CustomAttrDef*)calloc(1, sizeof(CustomAttrDef));
        if (!def)
            break;
        TextOfColumn(fields, 1, def->FieldName, 32);
        def->Position = IntOfColumn(fields, 2, false);
        def->Type = IntOfColumn(fields, 3, false);
        def->Size = IntOfColumn(fields, 4, false);
        def->KeyFlag = IntOfColumn(fields, 5, true);
        TextOfColumn(fields, 6, def->TabName, 32);
        TextOfColumn(fields, 7, def->Caption, 64);
        def->HasMin = BoundOfField(minField, &def->MinVal) ? 1 : 0;
        def->HasMax = BoundOfField(maxField, &def->MaxVal) ? 1 : 0;
        // Until schema discovery finds the column, the attribute has none: never column 0.
        def->ColumnOrdinal = kNoColumn;
        list->Add(def);
    }
    if (minField)
        minField->Release();
    if (maxField)
        maxField->Release();
    fields->Release();
}

// The name of one field as a BSTR (null when it cannot be read).
static BSTR FieldName(zdata::Fields* fields, long ordinal)
{
    zdata::Field* field = nullptr;
    if (FAILED(fields->Item(ordinal, &field)) || !field)
        return nullptr;
    BSTR name = nullptr;
    if (FAILED(field->get_Name(&name)))
        name = nullptr;
    field->Release();
    return name;
}

int MatchColumnOrdinals(CPtrArray* list, zdata::Recordset* rs)
{
    zdata::Fields* fields = FieldsOf(rs);
    if (!fields)
        return 0;
    long count = 0;
    if (FAILED(fields->get_Count(&count)))
        count = 0;
    // Names read once, compared for every attribute.
    BSTR* names = count > 0 ? (BSTR*)calloc((size_t)count, sizeof(BSTR)) : nullptr;
    for (long i = 0; names && i < count; i++)
        names[i] = FieldName(fields, i);
    for (int k = 0; k < list->GetCount(); k++) {
        CustomAttrDef* def = (CustomAttrDef*)list->GetItems()[k];
        if (!def)
            continue;
        int ordinal = kNoColumn;
        for (long i = 0; names && i < count; i++) {
            if (names[i] && wcscmp(names[i], def->FieldName) == 0) {
                ordinal = (int)i;
                break;
            }
        }
        def->ColumnOrdinal = ordinal;
    }
    for (long i = 0; names && i < count; i++)
        SysFreeString(names[i]);
    free(names);
    fields->Release();
    return (int)count;
}

void ReadColumnNames(CPtrArray* list, zdata::Recordset* rs)
{
    list->RemoveAll(1);
    zdata::Fields* fields = FieldsOf(rs);
    if (!fields)
        return;
    long count = 0;
    if (FAILED(fields->get_Count(&count)))
        count = 0;
    for (long i = 0; i < count; i++) {
        BSTR name = FieldName(fields, i);
        wchar_t* copy = WideDup(name ? name : L"");
        SysFreeString(name);
        if (copy)
            list->Add(copy);
    }
    fields->Release();
}

HRESULT GetAttrValue(zdata::Fields* fields, const CustomAttrDef* def, VARIANT* out)
{
    VariantClear(out);
    VariantInit(out);
    if (!def || def->ColumnOrdinal < 0 || !fields)
        return S_FALSE;
    zdata::Field* field = nullptr;
    HRESULT hr = fields->Item((long)def->ColumnOrdinal, &field);
    if (FAILED(hr) || !field)
        return FAILED(hr) ? hr : E_FAIL;
    hr = field->get_Value(out);
    field->Release();
    return hr;
}

HRESULT PutAttrValue(zdata::Fields* fields, const CustomAttrDef* def, const VARIANT& value)
{
    if (!def || def->ColumnOrdinal < 0 || !fields)
        return S_FALSE;
    zdata::Field* field = nullptr;
    HRESULT hr = fields->Item((long)def->ColumnOrdinal, &field);
    if (FAILED(hr) || !field)
        return FAILED(hr) ? hr : E_FAIL;
    hr = field->put_Value(value);
    field->Release();
    return hr;
}
