// The main window's private messages about occurrence records, literature, and what the map
// cards and the print form ask for: record filters and points, names and paths of items, the
// list recordsets and the report's level span.
#include "mainapp/mainform_messages.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "browse/treecard.h"
#include "browse/workspace.h"
#include "core/containers.h"
#include "core/database.h"
#include "core/itempath.h"
#include "mainapp/mainform.h"

int ZmNameToAnsi(const wchar_t* name, char* buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    buffer[0] = '\0';
    if (!name || !*name)
        return 0;
    // Shorten the text until it fits, so that the bytes are never a cut character.
    int count = (int)wcslen(name);
    while (count > 0) {
        int need = WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, name, count, nullptr, 0, nullptr,
                                       nullptr);
        if (need > 0 && need <= size - 1)
            break;
        count--;
        // Never split a surrogate pair.
        if (count > 0 && IS_HIGH_SURROGATE(name[count - 1]))
            count--;
    }
    if (count <= 0)
        return 0;
    int written = WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, name, count, buffer, size - 1,
                                      nullptr, nullptr);
    if (written < 0)
        written = 0;
    buffer[written] = '\0';
    return written;
}

BOOL ZmLoadRecord(ZmCall& call)
{
    // TODO(save): CDatabase::LoadRecord (current tab as list 0-2, record block).
    (void)call;
    return TRUE;
}

BOOL ZmSaveRecord(ZmCall& call)
{
    // TODO(save): CDatabase::SaveRecord (nonzero when saved).
    (void)call;
    return TRUE;
}

BOOL ZmGetRowById(ZmCall& call)
{
    // TODO(save): CDatabase::GetSpeciesRowName / GetFeatureRowName / GetLiteratureRowName
    // (malloc'd name for the sender, 0 for another wParam).
    (void)call;
    return TRUE;
}

BOOL ZmDeleteRecords(ZmCall& call)
{
    // TODO(save, lit): CDatabase::DeleteRecords / DeleteLiterature with the CIntArray of ids.
    (void)call;
    return TRUE;
}

BOOL ZmGetRecordset(ZmCall& call)
{
    // TODO(lit): CDatabase::GetTableRecordset (kind 1-6; 0 when no database is open).
    (void)call;
    return TRUE;
}

BOOL ZmLoadLiterature(ZmCall& call)
{
    // TODO(lit): CDatabase::LoadLiterature.
    (void)call;
    return TRUE;
}

BOOL ZmSaveLiterature(ZmCall& call)
{
    // TODO(lit): CDatabase::SaveLiterature (nonzero when saved).
    (void)call;
    return TRUE;
}

BOOL ZmSetRecordFilter(ZmCall& call)
{
    CDatabase* db = call.Db();
    if (db)
        db->SetRecordListFilter(LOWORD(call.wParam), reinterpret_cast<const wchar_t*>(call.lParam));
    return TRUE;
}

BOOL ZmGetRecordPoints(ZmCall& call)
{
    CDatabase* db = call.Db();
    ZmPointBlock* block = reinterpret_cast<ZmPointBlock*>(call.lParam);
    if (!block)
        return TRUE;
    block->X = nullptr;
    block->Y = nullptr;
    if (!db)
        return TRUE;
    double* points[2] = {nullptr, nullptr};
    int count = db->GetRecordCoordinates(LOWORD(call.wParam), HIWORD(call.wParam), points);
    block->X = points[0];
    block->Y = points[1];
    call.Result = count;
    return TRUE;
}

BOOL ZmGetCurrentItemName(ZmCall& call)
{
    char* buffer = reinterpret_cast<char*>(call.lParam);
    if (!buffer || (call.wParam != ZM_CARD_SYS && call.wParam != ZM_CARD_LOC))
        return TRUE;
    buffer[0] = '\0';
    // TODO(save): the name of the card's current item through CDatabase::GetSpeciesRowName /
    // GetFeatureRowName, converted with ZmNameToAnsi into the 128 bytes.
    return TRUE;
}

BOOL ZmGetCriteriaText(ZmCall& call)
{
    char** out = reinterpret_cast<char**>(call.lParam);
    if (!out)
        return TRUE;
    *out = nullptr;
    if (call.Form && call.Form->SearchPage) {
        // TODO(search page): CSearchPage::DescribeSearch (systematic level cache, locality level
        // cache) gives the malloc'd text once the search page exists; until then SearchPage is
        // null and the report gets no criteria.
    }
    return TRUE;
}

BOOL ZmGetListObject(ZmCall& call)
{
    CDatabase* db = call.Db();
    zdata::Recordset** out = reinterpret_cast<zdata::Recordset**>(call.lParam);
    if (!out)
        return TRUE;
    zdata::Recordset* rs = db ? db->GetListRecordset((int)call.wParam) : nullptr;
    // The sender releases it.
    if (rs)
        rs->AddRef();
    *out = rs;
    return TRUE;
}

BOOL ZmGetLevelSpan(ZmCall& call)
{
    int* out = reinterpret_cast<int*>(call.lParam);
    if (!out || (call.wParam != ZM_CARD_SYS && call.wParam != ZM_CARD_LOC))
        return TRUE;
    int levels = ZmLevelCount(call, (int)call.wParam);
    *out = levels > 0 ? levels * 66 - 62 : 0;
    call.Result = *out;
    return TRUE;
}

BOOL ZmGetItemPath(ZmCall& call)
{
    CDatabase* db = call.Db();
    ZmItemPathRequest* request = reinterpret_cast<ZmItemPathRequest*>(call.lParam);
    if (!request)
        return TRUE;
    request->Length = 0;
    if (!request->Text || request->Capacity <= 0)
        return TRUE;
    request->Text[0] = '\0';
    if (!db)
        return TRUE;
    // Bounded by the room the sender has left in its line, whatever the hierarchy's depth.
    if (call.wParam == ZM_CARD_SYS) {
        request->Length = db->GetSysItemPath(request->ItemId, request->Text, request->Capacity);
    } else if (call.wParam == ZM_CARD_LOC) {
        request->Length = db->GetLocItemPath(request->ItemId, request->Text, request->Capacity,
                                             ZmLevelCache(call, ZM_CARD_LOC), request->Abbrevs);
    }
    call.Result = request->Length;
    return TRUE;
}

BOOL ZmGetRecordValue(ZmCall& call)
{
    CDatabase* db = call.Db();
    call.Result = -1;
    if (db) {
        call.Result = db->GetRecordItemId(LOWORD(call.wParam), HIWORD(call.wParam) ? 1 : 0,
                                          (int)call.lParam);
    }
    return TRUE;
}
