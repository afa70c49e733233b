// The main window's private messages about attribute definitions, lookup tables, the author
// list of the taxa and the property boxes of the edit dialogs.
#include "mainapp/mainform_messages.h"

#include <string.h>
#include <wchar.h>

#include <vector>

#include "core/attrdef.h"
#include "core/containers.h"
#include "core/database.h"
#include "core/fields.h"
#include "core/lookupedit.h"
#include "core/textutil.h"
#include "mainapp/mainform.h"

namespace {

// Copies a text into the sender's buffer, never beyond its capacity.
void CopyBounded(ZmTextRequest* request, const wchar_t* text)
{
    request->Length = 0;
    if (!request->Text || request->Capacity <= 0)
        return;
    lstrcpynW(request->Text, text ? text : L"", request->Capacity);
    request->Length = (int)wcslen(request->Text);
}

void WriteOutInt(LPARAM lParam, int value)
{
    if (int* out = reinterpret_cast<int*>(lParam))
        *out = value;
}

}  // namespace

BOOL ZmFindNameEntry(ZmCall& call)
{
    CDatabase* db = call.Db();
    const wchar_t* name = reinterpret_cast<const wchar_t*>(call.lParam);
    if (!db || !name)
        return FALSE;
    CPtrArray* attrs = nullptr;
    switch ((int)call.wParam) {
    case ZM_ATTRS_SPECIES: attrs = db->GetSpeciesAttrs(); break;
    case ZM_ATTRS_FEATURES: attrs = db->GetFeatureAttrs(); break;
    case ZM_ATTRS_ZORNACOLLS: attrs = db->GetRecordAttrs(); break;
    default: break;
    }
    if (!attrs)
        return FALSE;
    for (int i = 0; i < attrs->GetCount(); i++) {
        CustomAttrDef* def = static_cast<CustomAttrDef*>(attrs->GetItems()[i]);
        if (def && wcscmp(def->FieldName, name) == 0) {
            call.Result = reinterpret_cast<LONG_PTR>(def);
            break;
        }
    }
    return FALSE;
}

BOOL ZmGetLookupValues(ZmCall& call)
{
    CDatabase* db = call.Db();
    const wchar_t* name = reinterpret_cast<const wchar_t*>(call.lParam);
    // 0 is a real cache index, so "none" is the 16-bit kLookupNotAvailable.
    int index = kLookupNotAvailable;
    if (db && name)
        index = db->LoadLookupValues((int)call.wParam, name);
    call.Result = index & 0xFFFF;
    return FALSE;
}

BOOL ZmFillLookupControl(ZmCall& call)
{
    CDatabase* db = call.Db();
    HWND control = reinterpret_cast<HWND>(call.lParam);
    if (!db || !control)
        return FALSE;
    int index = LOWORD(call.wParam);
    int controlKind = HIWORD(call.wParam);
    // A list box filled before carries malloc'd ABBREV copies as item data: they go first, so
    // that a refill does not leak them.
    if (controlKind == ZM_LOOKUP_LISTBOX && db->GetLookupRecordset(index))
        CDatabase::ResetLookupListBox(control);
    db->FillLookupControl(index, controlKind, control);
    return FALSE;
}

BOOL ZmGetAuthorList(ZmCall& call)
{
    CDatabase* db = call.Db();
    int count = db ? db->OpenSysAuthors() : 0;
    WriteOutInt(call.lParam, count);
    call.Result = count;
    return TRUE;
}

BOOL ZmGetAuthorEntry(ZmCall& call)
{
    CDatabase* db = call.Db();
    int length = db ? db->GetSysAuthorTextLen((int)call.wParam) : 0;
    WriteOutInt(call.lParam, length);
    call.Result = length;
    return TRUE;
}

BOOL ZmGetAuthorText(ZmCall& call)
{
    CDatabase* db = call.Db();
    ZmTextRequest* request = reinterpret_cast<ZmTextRequest*>(call.lParam);
    if (!request)
        return TRUE;
    if (!db) {
        CopyBounded(request, L"");
        return TRUE;
    }
    // The text is taken for the asked row, whatever row was asked for last, and copied only as
    // far as the sender's buffer reaches.
    int row = (int)call.wParam;
    int length = db->GetSysAuthorTextLen(row);
    std::vector<wchar_t> text((size_t)length + 1, L'\0');
    db->GetSysAuthorText(row, text.data());
    CopyBounded(request, text.data());
    call.Result = request->Length;
    return TRUE;
}

BOOL ZmFindAuthor(ZmCall& call)
{
    CDatabase* db = call.Db();
    ZmFindRequest* request = reinterpret_cast<ZmFindRequest*>(call.lParam);
    if (!request)
        return TRUE;
    if (!db || !request->Text) {
        request->Row = -1;
        request->MatchLength = 0;
        return TRUE;
    }
    request->MatchLength = db->FindSysAuthorPrefix(request->Text, &request->Row);
    call.Result = request->MatchLength;
    return TRUE;
}

BOOL ZmFillSysAttrs(ZmCall& call)
{
    CDatabase* db = call.Db();
    HWND box = reinterpret_cast<HWND>(call.lParam);
    if (db && box)
        call.Result = db->FillSysPropertyBox(box);
    return TRUE;
}

BOOL ZmFillLocAttrs(ZmCall& call)
{
    CDatabase* db = call.Db();
    HWND box = reinterpret_cast<HWND>(call.lParam);
    if (db && box)
        call.Result = db->FillLocPropertyBox(box);
    return TRUE;
}

BOOL ZmGetLookupCount(ZmCall& call)
{
    CDatabase* db = call.Db();
    if (db)
        call.Result = db->GetLookupCount((int)call.wParam);
    return TRUE;
}

BOOL ZmGetLookupEntry(ZmCall& call)
{
    CDatabase* db = call.Db();
    int length = db ? db->GetLookupTextLen(LOWORD(call.wParam), HIWORD(call.wParam)) : 0;
    WriteOutInt(call.lParam, length);
    call.Result = length;
    return TRUE;
}

BOOL ZmGetLookupText(ZmCall& call)
{
    CDatabase* db = call.Db();
    ZmTextRequest* request = reinterpret_cast<ZmTextRequest*>(call.lParam);
    if (!request)
        return TRUE;
    if (!db) {
        CopyBounded(request, L"");
        return TRUE;
    }
    // Cached again for this (index, row), so the text is the asked row's, then cut to the
    // sender's capacity; the cached value is cleared afterwards as before.
    int length = db->GetLookupTextLen(LOWORD(call.wParam), HIWORD(call.wParam));
    std::vector<wchar_t> text((size_t)length + 1, L'\0');
    GetVariantText(&db->CachedValue, text.data(), length + 1);
    VariantClear(&db->CachedValue);
    db->CachedTextLength = 0;
    CopyBounded(request, text.data());
    call.Result = request->Length;
    return TRUE;
}

BOOL ZmFindLookupEntry(ZmCall& call)
{
    CDatabase* db = call.Db();
    ZmFindRequest* request = reinterpret_cast<ZmFindRequest*>(call.lParam);
    if (!request)
        return TRUE;
    if (!db || !request->Text) {
        request->Row = -1;
        request->MatchLength = 0;
        return TRUE;
    }
    request->MatchLength = db->FindLookupPrefix((int)call.wParam, request->Text, &request->Row);
    call.Result = request->MatchLength;
    return TRUE;
}

BOOL ZmFillRecordAttrs(ZmCall& call)
{
    CDatabase* db = call.Db();
    HWND box = reinterpret_cast<HWND>(call.lParam);
    if (db && box)
        db->FillRecordPropertyBox(box);
    return TRUE;
}

BOOL ZmFillTermCombo(ZmCall& call)
{
    CDatabase* db = call.Db();
    HWND combo = reinterpret_cast<HWND>(call.lParam);
    if (db && combo)
        db->FillLookupFieldCombo((int)call.wParam, combo);
    return TRUE;
}

BOOL ZmEditLookupTable(ZmCall& call)
{
    CDatabase* db = call.Db();
    const LookupEdit* edit = reinterpret_cast<const LookupEdit*>(call.lParam);
    if (db && edit)
        call.Result = db->EditLookupTable(edit);
    return TRUE;
}

BOOL ZmFillLitAttrs(ZmCall& call)
{
    CDatabase* db = call.Db();
    HWND box = reinterpret_cast<HWND>(call.lParam);
    if (db && box)
        db->FillLitPropertyBox(box);
    return TRUE;
}

BOOL ZmGetAttrDef(ZmCall& call)
{
    CDatabase* db = call.Db();
    CDispField* field = reinterpret_cast<CDispField*>(call.lParam);
    if (db && field)
        call.Result = db->IsLookupField((int)call.wParam, field) ? 1 : 0;
    return TRUE;
}

BOOL ZmLookupFieldValue(ZmCall& call)
{
    CDatabase* db = call.Db();
    ZmLookupValueRequest* request = reinterpret_cast<ZmLookupValueRequest*>(call.lParam);
    if (!db || !request || !request->Field || !request->Field->Field)
        return TRUE;
    // Only a column of a table has a lookup table behind it.
    CFieldBase* base = request->Field->Field;
    if (base->Kind != FIELD_DATABASE)
        return TRUE;
    CFieldInfo* info = static_cast<CFieldInfo*>(base);
    db->GetLookupAbbrev(info->TableName, info->Field, &request->Value, &request->Result);
    return TRUE;
}
