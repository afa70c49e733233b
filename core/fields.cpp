// Field classes, the composed-field formatter, field-name lists, list-view columns, virtual-list
// cell text and header sort marks.
#include "core/fields.h"

#include <shlwapi.h>
#include <strsafe.h>
#include <wchar.h>

#include <string>

#include "core/textutil.h"

using zdata::Field;
using zdata::Fields;

// ---- field classes ----

CFieldBase::CFieldBase(const wchar_t* field) : Kind(FIELD_BASE), Alignment(FIELD_ALIGN_LEFT)
{
    Field[0] = 0;
    Name[0] = 0;
    CopyWideBounded(field, Field, 32);
}

CFieldInfo::CFieldInfo(const wchar_t* field, const wchar_t* table)
    : CFieldBase(field), ColumnOrdinal(0)
{
    TableName[0] = 0;
    CopyWideBounded(table, TableName, 32);
    Kind = FIELD_DATABASE;
}

CCustFld::CCustFld(const wchar_t* name)
    : CFieldBase(L"CUSTOM"), Mask(nullptr), Fields(nullptr), FieldRefs(new CObjArray(16, 4)),
      UseForSearch(0), UseForEdit(0)
{
    CopyWideBounded(name, Name, 64);
    Kind = FIELD_COMPOSED;
}

CCustFld::~CCustFld()
{
    // The referenced fields belong to their catalogues.
    FieldRefs->RemoveAll(0);
    delete FieldRefs;
    free(Fields);
    free(Mask);
}

CDispField::CDispField(CFieldBase* field)
    : Field(field), DispName(nullptr), Visible(1), Width(0), Order(0),
      ValueFormatter(field && field->Kind == FIELD_COMPOSED ? CustomFieldValue : nullptr)
{
}

CDispField::~CDispField()
{
    free(DispName);
}

// ---- composed fields ----

VARIANT RowFieldsVariant(Fields* fields)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BYREF;
    v.byref = fields;
    return v;
}

Fields* RowFieldsOf(const VARIANT& value)
{
    return value.vt == VT_BYREF ? static_cast<Fields*>(value.byref) : nullptr;
}

namespace {

// The row's field behind reference n (1-based) of a composed field; null when out of range.
Field* ReferencedField(Fields* row, CCustFld* cust, int n)
{
    if (!row || n < 1 || n > cust->FieldRefs->GetCount())
        return nullptr;
    CFieldBase* ref = static_cast<CFieldBase*>(cust->FieldRefs->GetItems()[n - 1]);
    if (!ref || ref->Kind != FIELD_DATABASE)
        return nullptr;
    Field* field = nullptr;
    if (FAILED(row->Item((long)static_cast<CFieldInfo*>(ref)->ColumnOrdinal, &field)))
        return nullptr;
    return field;
}

// Reads "#" + digits at p (p points at '#', not "##"); returns the reference number or 0 when no
// digit follows, and sets *next past what was read.
int ReadReference(const wchar_t* p, const wchar_t** next)
{
    const wchar_t* q = p + 1;
    int digits = 0;
    long long n = 0;
    while (*q >= L'0' && *q <= L'9' && digits < 32) {
        if (n < 100000000)
            n = n * 10 + (*q - L'0');
        ++q;
        ++digits;
    }
    *next = q;
    return digits ? (int)n : 0;
}

}  // namespace

int CustomFieldValue(VARIANT value, wchar_t* buffer, int size, CFieldBase* field)
{
    if (!field || field->Kind != FIELD_COMPOSED)
        return -1;
    CCustFld* cust = static_cast<CCustFld*>(field);
    Fields* row = RowFieldsOf(value);
    const wchar_t* mask = cust->Mask ? cust->Mask : L"";

    if (!buffer || size <= 0) {
        int total = (int)wcslen(mask);
        for (const wchar_t* p = mask; *p;) {
            if (*p != L'#') {
                ++p;
                continue;
            }
            if (p[1] == L'#') {
                p += 2;
                continue;
            }
            const wchar_t* next;
            int n = ReadReference(p, &next);
            p = next;
            if (Field* f = ReferencedField(row, cust, n)) {
                total += FieldTextLength(f);
                f->Release();
            }
        }
        return total;
    }

    std::wstring out;
    for (const wchar_t* p = mask; *p;) {
        if (*p != L'#') {
            out += *p++;
            continue;
        }
        if (p[1] == L'#') {
            out += L'#';
            p += 2;
            continue;
        }
        const wchar_t* next;
        int n = ReadReference(p, &next);
        p = next;
        if (Field* f = ReferencedField(row, cust, n)) {
            VARIANT v;
            VariantInit(&v);
            if (SUCCEEDED(f->get_Value(&v)) && v.vt != VT_NULL && v.vt != VT_EMPTY) {
                int need = VariantTextLength(&v);
                if (need < 64)
                    need = 64;
                std::wstring text(need + 1, L'\0');
                if (VariantToText(&v, &text[0], need + 1))
                    out += text.c_str();
            }
            VariantClear(&v);
            f->Release();
        }
    }
    CopyWideBounded(out.c_str(), buffer, size);
    return 0;
}

int FieldTextLength(Field* field)
{
    if (!field)
        return 0;
    DataTypeEnum type = adEmpty;
    field->get_Type(&type);
    switch ((int)type) {
    case 72:  // adGUID
        return 64;
    case 2: case 3: case 4: case 5: case 14:
    case 16: case 17: case 18: case 19: case 20: case 21:
    case 131: case 133: case 134: case 135:
        return 32;
    case 0: case 9: case 10: case 12: case 13: case 128: case 132: case 201:
    case 203: case 204: case 205:
        return 0;
    default: {
        long actual = 0;
        field->get_ActualSize(&actual);
        if (actual > 0)
            return (int)actual;
        long defined = 0;
        field->get_DefinedSize(&defined);
        return (int)defined;
    }
    }
}

// ---- field-name lists ----

void GetListSeparator(wchar_t separator[4])
{
    separator[0] = 0;
    if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLIST, separator, 4))
        separator[0] = 0;
    separator[3] = 0;
}

wchar_t* JoinFieldNames(CObjArray* fields)
{
    wchar_t sep[4];
    GetListSeparator(sep);
    std::wstring text;
    int count = fields ? fields->GetCount() : 0;
    for (int i = 0; i < count; ++i) {
        CFieldBase* f = static_cast<CFieldBase*>(fields->GetItems()[i]);
        if (i > 0)
            text += sep;
        if (f)
            text += f->Name;
    }
    return WideDup(text.c_str());
}

bool SplitFieldNames(const wchar_t* text, CObjArray* dispFields, CObjArray* out)
{
    out->RemoveAll(0);
    wchar_t sep[4];
    GetListSeparator(sep);
    size_t sepLen = wcslen(sep);
    std::wstring all = text ? text : L"";
    bool allFound = true;
    size_t start = 0;
    for (;;) {
        size_t end = sepLen ? all.find(sep, start) : std::wstring::npos;
        std::wstring piece = all.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        CFieldBase* match = nullptr;
        int count = dispFields ? dispFields->GetCount() : 0;
        for (int i = 0; i < count && !match; ++i) {
            CDispField* d = static_cast<CDispField*>(dispFields->GetItems()[i]);
            if (d && d->Field && d->Field->Kind <= FIELD_DATABASE
                && CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, d->Field->Name, -1,
                                  piece.c_str(), -1) == CSTR_EQUAL)
                match = d->Field;
        }
        if (match)
            out->Add(match);
        else
            allFound = false;
        if (end == std::wstring::npos)
            break;
        start = end + sepLen;
    }
    return allFound;
}

// ---- list-view columns ----

namespace {

CDispField* ColumnField(HWND list, int column)
{
    HWND header = (HWND)SendMessageW(list, LVM_GETHEADER, 0, 0);
    if (!header)
        return nullptr;
    HDITEMW hd = {};
    hd.mask = HDI_LPARAM;
    if (!SendMessageW(header, HDM_GETITEMW, column, (LPARAM)&hd))
        return nullptr;
    return reinterpret_cast<CDispField*>(hd.lParam);
}

void SetColumnField(HWND list, int column, CDispField* field)
{
    HWND header = (HWND)SendMessageW(list, LVM_GETHEADER, 0, 0);
    HDITEMW hd = {};
    hd.mask = HDI_LPARAM;
    hd.lParam = (LPARAM)field;
    SendMessageW(header, HDM_SETITEMW, column, (LPARAM)&hd);
}

int AlignmentFormat(const CFieldBase* field)
{
    if (field && field->Alignment == FIELD_ALIGN_CENTER)
        return LVCFMT_CENTER;
    if (field && field->Alignment == FIELD_ALIGN_RIGHT)
        return LVCFMT_RIGHT;
    return LVCFMT_LEFT;
}

}  // namespace

void SetupListColumns(HWND list, CObjArray* fields)
{
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    while (SendMessageW(list, LVM_DELETECOLUMN, 0, 0))
        ;
    wchar_t empty[1] = L"";
    LVCOLUMNW col = {};
    col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM | LVCF_ORDER;
    col.fmt = LVCFMT_LEFT;
    col.cx = 10;
    col.pszText = empty;
    col.iSubItem = 0;
    col.iOrder = 0;
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, (LPARAM)&col);
    SetColumnField(list, 0, nullptr);

    int c = 1;
    int count = fields ? fields->GetCount() : 0;
    for (int i = 0; i < count; ++i) {
        CDispField* d = static_cast<CDispField*>(fields->GetItems()[i]);
        if (!d || !d->Visible)
            continue;
        // The header lays its text out to the text's advance and clips there: a last letter
        // that reaches past it ("Vydavatel", "Číslo") would lose its right edge. A no-break
        // space after the caption keeps it whole.
        std::wstring caption = d->DispName && d->DispName[0] ? std::wstring(d->DispName) + L"\u00A0" : L"";
        LVCOLUMNW lc = {};
        lc.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM | LVCF_ORDER;
        lc.fmt = AlignmentFormat(d->Field);
        lc.cx = d->Width;
        lc.pszText = caption.empty() ? empty : &caption[0];
        lc.cchTextMax = 64;
        lc.iSubItem = c;
        lc.iOrder = c;
        int at = (int)SendMessageW(list, LVM_INSERTCOLUMNW, c, (LPARAM)&lc);
        if (at >= 0)
            SetColumnField(list, at, d);
        ++c;
    }
}

// ---- virtual list cells ----

void GetListItemText(HINSTANCE instance, LVITEMW* item, zdata::Recordset* rs, HWND list)
{
    if (!item)
        return;
    CDispField* disp = ColumnField(list, item->iSubItem);
    int ordinal = -1;
    if (disp && disp->Field && disp->Field->Kind == FIELD_DATABASE)
        ordinal = static_cast<CFieldInfo*>(disp->Field)->ColumnOrdinal;
    if (!rs)
        return;

    bool wantsText = disp && (item->mask & LVIF_TEXT);
    if (wantsText && item->pszText && item->cchTextMax > 0)
        item->pszText[0] = 0;

    // A position outside the rows (the list's count is older than a Filter or a Requery) must
    // show nothing, not the row that happens to be current.
    Fields* fields = nullptr;
    if (item->iItem < 0 || FAILED(rs->put_AbsolutePosition(item->iItem + 1))
        || FAILED(rs->get_Fields(&fields)) || !fields) {
        if (!wantsText && (item->mask & LVIF_PARAM))
            item->lParam = -1;
        return;
    }

    if (wantsText) {
        std::wstring text;
        VARIANT value;
        VariantInit(&value);
        bool owned = false;
        if (ordinal >= 0) {
            Field* f = nullptr;
            if (SUCCEEDED(fields->Item((long)ordinal, &f)) && f) {
                f->get_Value(&value);
                f->Release();
                owned = true;
            }
        } else if (ordinal == -1) {
            value = RowFieldsVariant(fields);
        }
        if (!disp->ValueFormatter) {
            if (value.vt == VT_BOOL) {
                wchar_t yesNo[64] = L"";
                LoadStringW(instance, value.boolVal ? IDS_FIELD_YES : IDS_FIELD_NO, yesNo, 64);
                text = yesNo;
            } else if (value.vt != VT_BYREF) {
                int need = VariantTextLength(&value);
                if (need < 64)
                    need = 64;
                std::wstring buf(need + 1, L'\0');
                if (VariantToText(&value, &buf[0], need + 1))
                    text = buf.c_str();
            }
        } else {
            int need = disp->ValueFormatter(value, nullptr, 0, disp->Field);
            if (need >= 1) {
                std::wstring buf(need + 1, L'\0');
                disp->ValueFormatter(value, &buf[0], need + 1, disp->Field);
                text = buf.c_str();
            }
        }
        if (owned)
            VariantClear(&value);
        if (item->pszText && item->cchTextMax > 0)
            CopyWideBounded(text.c_str(), item->pszText, item->cchTextMax);
    } else if (item->mask & LVIF_PARAM) {
        Field* f = nullptr;
        VARIANT id;
        VariantInit(&id);
        if (SUCCEEDED(fields->Item(0L, &f)) && f) {
            f->get_Value(&id);
            f->Release();
        }
        item->lParam = VariantToInt(&id);
        VariantClear(&id);
    }
    fields->Release();
}

// ---- sort marks ----

namespace {

int g_sortMarkStyle = -1;

bool ThemedMarks()
{
    if (g_sortMarkStyle >= 0)
        return g_sortMarkStyle != 0;
    static int loaded = -1;
    if (loaded < 0) {
        loaded = 0;
        HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
        typedef HRESULT(CALLBACK * DllGetVersionFn)(DLLVERSIONINFO*);
        DllGetVersionFn getVersion =
            comctl ? (DllGetVersionFn)(void*)GetProcAddress(comctl, "DllGetVersion") : nullptr;
        DLLVERSIONINFO info = {};
        info.cbSize = sizeof(info);
        if (getVersion && SUCCEEDED(getVersion(&info)) && info.dwMajorVersion >= 6)
            loaded = 1;
    }
    return loaded != 0;
}

// sign < 0 shows HDF_SORTUP (image 1), sign > 0 HDF_SORTDOWN (image 0), 0 no mark. Without
// themes the image is shown for a column with a field, or for any column when anyColumn is set
// (the sorted column clicked again).
void SetColumnMark(HWND list, int column, int sign, bool themed, bool anyColumn = false)
{
    CDispField* disp = ColumnField(list, column);
    CFieldBase* field = disp ? disp->Field : nullptr;
    LVCOLUMNW col = {};
    col.mask = LVCF_FMT;
    col.fmt = AlignmentFormat(field);
    if (!themed) {
        col.mask |= LVCF_IMAGE;
        if (!field || col.fmt == LVCFMT_LEFT)
            col.fmt |= LVCFMT_BITMAP_ON_RIGHT;
        col.iImage = -1;
        if (sign != 0 && (field || anyColumn)) {
            col.fmt |= LVCFMT_IMAGE | LVCFMT_BITMAP_ON_RIGHT;
            col.iImage = sign < 0 ? 1 : 0;
        }
    }
    SendMessageW(list, LVM_SETCOLUMNW, column, (LPARAM)&col);
    if (!themed) {
        // Some list views keep LVCFMT_IMAGE for the column without passing it to the header
        // (Wine does), so the header is told to draw the image itself.
        HWND header = (HWND)SendMessageW(list, LVM_GETHEADER, 0, 0);
        HDITEMW hd = {};
        hd.mask = HDI_FORMAT;
        if (SendMessageW(header, HDM_GETITEMW, column, (LPARAM)&hd)) {
            if (col.fmt & LVCFMT_IMAGE)
                hd.fmt |= HDF_IMAGE;
            else
                hd.fmt &= ~HDF_IMAGE;
            SendMessageW(header, HDM_SETITEMW, column, (LPARAM)&hd);
        }
    }
    if (themed) {
        HWND header = (HWND)SendMessageW(list, LVM_GETHEADER, 0, 0);
        HDITEMW hd = {};
        hd.mask = HDI_FORMAT;
        if (SendMessageW(header, HDM_GETITEMW, column, (LPARAM)&hd)) {
            hd.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
            if (sign < 0)
                hd.fmt |= HDF_SORTUP;
            else if (sign > 0)
                hd.fmt |= HDF_SORTDOWN;
            SendMessageW(header, HDM_SETITEMW, column, (LPARAM)&hd);
        }
    }
}

}  // namespace

void SetSortMarkStyle(int themed)
{
    g_sortMarkStyle = themed;
}

int SetSortArrow(HWND list, int current, int clicked)
{
    bool themed = ThemedMarks();
    int col = current < 0 ? -current : current;
    if (clicked == col) {
        int next = -current;
        SetColumnMark(list, col, next, themed, true);
        return next;
    }
    SetColumnMark(list, col, 0, themed);
    SetColumnMark(list, clicked < 0 ? -clicked : clicked, clicked, themed);
    return clicked;
}

std::vector<CFieldBase*> SortKeysOfColumn(HWND list, int sortCol)
{
    std::vector<CFieldBase*> keys;
    HWND header = sortCol ? (HWND)SendMessageW(list, LVM_GETHEADER, 0, 0) : nullptr;
    if (!header)
        return keys;
    HDITEMW item = {};
    item.mask = HDI_LPARAM;
    if (!SendMessageW(header, HDM_GETITEMW, sortCol < 0 ? -sortCol : sortCol, (LPARAM)&item))
        return keys;
    CDispField* column = reinterpret_cast<CDispField*>(item.lParam);
    CFieldBase* field = column ? column->Field : nullptr;
    if (field && field->Kind == FIELD_DATABASE) {
        keys.push_back(field);
    } else if (field && field->Kind == FIELD_COMPOSED) {
        CObjArray* refs = static_cast<CCustFld*>(field)->FieldRefs;
        for (int i = 0; refs && i < refs->GetCount(); ++i)
            if (refs->GetItems()[i])
                keys.push_back(static_cast<CFieldBase*>(refs->GetItems()[i]));
    }
    return keys;
}

// ---- search-field entries ----

void InitSearchFieldEntry(SearchFieldEntry* entry, CDispField* field)
{
    *entry = SearchFieldEntry();
    entry->Field = field;
    entry->Values = new CPtrArray(PTRARRAY_BORROWS, 16, 4);
}

void ClearSearchFieldEntry(SearchFieldEntry* entry)
{
    if (entry->Values)
        entry->Values->RemoveAll(0);
    FreeWide(&entry->MinText);
    FreeWide(&entry->MaxText);
    entry->TextLength = 0;
}

void FreeSearchFieldEntry(SearchFieldEntry* entry)
{
    ClearSearchFieldEntry(entry);
    delete entry->Values;
    entry->Values = nullptr;
}
