// The main window's private messages about occurrence records, literature, and what the map
// cards and the print form ask for: record filters and points, names and paths of items, the
// list recordsets and the report's level span.
#include "mainapp/mainform_messages.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "browse/searchpage.h"
#include "browse/treecard.h"
#include "browse/workspace.h"
#include "core/containers.h"
#include "core/database.h"
#include "core/itempath.h"
#include "core/itemrecords.h"
#include "core/literature.h"
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
    CDatabase* db = call.Db();
    OccurrenceRecord* record = reinterpret_cast<OccurrenceRecord*>(call.lParam);
    // The record dialog edits a row of the list in front: tabs 0-2 are lists 0-2.
    if (db && record)
        db->LoadRecord(ZmCurrentTab(call), record);
    return TRUE;
}

BOOL ZmSaveRecord(ZmCall& call)
{
    CDatabase* db = call.Db();
    OccurrenceRecord* record = reinterpret_cast<OccurrenceRecord*>(call.lParam);
    if (db && record)
        call.Result = db->SaveRecord(record) ? 1 : 0;
    return TRUE;
}

BOOL ZmGetRowById(ZmCall& call)
{
    CDatabase* db = call.Db();
    if (!db)
        return TRUE;
    int id = (int)call.lParam;
    wchar_t* name = nullptr;
    switch ((int)call.wParam) {
    case ZM_NAMES_SPECIES: name = db->GetSpeciesRowName(id); break;
    case ZM_NAMES_FEATURES: name = db->GetFeatureRowName(id); break;
    case ZM_NAMES_LITERATURE: name = db->GetLiteratureRowName(id); break;
    default: break;
    }
    // The sender frees it.
    call.Result = reinterpret_cast<LONG_PTR>(name);
    return TRUE;
}

BOOL ZmDeleteRecords(ZmCall& call)
{
    CDatabase* db = call.Db();
    const CIntArray* ids = reinterpret_cast<const CIntArray*>(call.lParam);
    if (!db || !ids)
        return TRUE;
    if (call.wParam == ZM_DELETE_RECORD_ROWS)
        call.Result = db->DeleteRecords(ids);
    else if (call.wParam == ZM_DELETE_LITERATURE_ROWS)
        call.Result = db->DeleteLiterature(ids);
    return TRUE;
}

BOOL ZmGetRecordset(ZmCall& call)
{
    CDatabase* db = call.Db();
    if (db && db->IsOpen())
        call.Result = reinterpret_cast<LONG_PTR>(db->GetTableRecordset((int)call.wParam));
    return TRUE;
}

BOOL ZmLoadLiterature(ZmCall& call)
{
    CDatabase* db = call.Db();
    LiteratureRecord* record = reinterpret_cast<LiteratureRecord*>(call.lParam);
    if (db && record)
        db->LoadLiterature(record);
    return TRUE;
}

BOOL ZmSaveLiterature(ZmCall& call)
{
    CDatabase* db = call.Db();
    LiteratureRecord* record = reinterpret_cast<LiteratureRecord*>(call.lParam);
    if (db && record)
        call.Result = db->SaveLiterature(record) ? 1 : 0;
    return TRUE;
}

BOOL ZmSetRecordFilter(ZmCall& call)
{
    CDatabase* db = call.Db();
    // 1 when the list took the filter; a refused one (0) leaves the list's filter as it was.
    if (db)
        call.Result = db->SetRecordListFilter(LOWORD(call.wParam), reinterpret_cast<const wchar_t*>(call.lParam)) ? 1 : 0;
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
    CDatabase* db = call.Db();
    CTreeCard* card = ZmCard(call, (int)call.wParam);
    if (!db || !card)
        return TRUE;
    int id = card->GetCurrentId();
    wchar_t* name = call.wParam == ZM_CARD_SYS ? db->GetSpeciesRowName(id) : db->GetFeatureRowName(id);
    call.Result = ZmNameToAnsi(name, buffer, kZmItemNameBytes);
    free(name);
    return TRUE;
}

BOOL ZmGetCriteriaText(ZmCall& call)
{
    char** out = reinterpret_cast<char**>(call.lParam);
    if (!out)
        return TRUE;
    *out = nullptr;
    if (call.Form && call.Form->SearchPage)
        *out = call.Form->SearchPage->DescribeSearch(ZmLevelCache(call, ZM_CARD_SYS),
                                                     ZmLevelCache(call, ZM_CARD_LOC));
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
