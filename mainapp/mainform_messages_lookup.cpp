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

// Answers a count or a length both in the sender's int and as the message's result.
BOOL AnswerInt(ZmCall& call, int value)
{
    if (int* out = reinterpret_cast<int*>(call.lParam))
        *out = value;
    call.Result = value;
    return TRUE;
}

// Answers a text request: readText gives the whole text of the asked row, which is then copied
// only as far as the sender's buffer reaches. Without a database the text is empty.
template <typename ReadText>
BOOL AnswerText(ZmCall& call, ReadText readText)
{
    CDatabase* db = call.Db();
    ZmTextRequest* request = reinterpret_cast<ZmTextRequest*>(call.lParam);
    if (!request)
        return TRUE;
    if (!db) {
        CopyBounded(request, L"");
        return TRUE;
    }
    std::vector<wchar_t> text = readText(db);
    CopyBounded(request, text.data());
    call.Result = request->Length;
    return TRUE;
}

// Answers a prefix search: find gives the match length and sets the row. Without a database or
// a text nothing is found.
template <typename Find>
BOOL AnswerFind(ZmCall& call, Find find)
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
    request->MatchLength = find(db, request);
    call.Result = request->MatchLength;
    return TRUE;
}

}  // namespace

BOOL ZmFindNameEntry(ZmCall& call)
{
    CDatabase* db = call.Db();
    const wchar_t* name = reinterpret_cast<const wchar_t*>(call.lParam);
    if (db && name)
        call.Result = reinterpret_cast<LONG_PTR>(db->FindAttrDef((int)call.wParam, name));
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
    return AnswerInt(call, db ? db->OpenSysAuthors() : 0);
}

BOOL ZmGetAuthorEntry(ZmCall& call)
{
    CDatabase* db = call.Db();
    return AnswerInt(call, db ? db->GetSysAuthorTextLen((int)call.wParam) : 0);
}

BOOL ZmGetAuthorText(ZmCall& call)
{
    // The text is taken for the asked row, whatever row was asked for last.
    int row = (int)call.wParam;
    return AnswerText(call, [row](CDatabase* db) {
        int length = db->GetSysAuthorTextLen(row);
        std::vector<wchar_t> text((size_t)length + 1, L'\0');
        db->GetSysAuthorText(row, text.data());
        return text;
    });
}

BOOL ZmFindAuthor(ZmCall& call)
{
    return AnswerFind(call, [](CDatabase* db, ZmFindRequest* request) {
        return db->FindSysAuthorPrefix(request->Text, &request->Row);
    });
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
    return AnswerInt(call, db ? db->GetLookupTextLen(LOWORD(call.wParam), HIWORD(call.wParam)) : 0);
}

BOOL ZmGetLookupText(ZmCall& call)
{
    // Cached again for this (index, row), so the text is the asked row's; the cached value is
    // cleared afterwards as before.
    int index = LOWORD(call.wParam), row = HIWORD(call.wParam);
    return AnswerText(call, [index, row](CDatabase* db) {
        int length = db->GetLookupTextLen(index, row);
        std::vector<wchar_t> text((size_t)length + 1, L'\0');
        GetVariantText(&db->CachedValue, text.data(), length + 1);
        VariantClear(&db->CachedValue);
        db->CachedTextLength = 0;
        return text;
    });
}

BOOL ZmFindLookupEntry(ZmCall& call)
{
    int index = (int)call.wParam;
    return AnswerFind(call, [index](CDatabase* db, ZmFindRequest* request) {
        return db->FindLookupPrefix(index, request->Text, &request->Row);
    });
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
