// The tab workspace: the search result list and the commands that act on the page in front.
#include "browse/workspace.h"

#include <strsafe.h>

#include "browse/litcard.h"
#include "browse/recordlist.h"
#include "browse/treecard.h"
#include "core/containers.h"
#include "core/database.h"
#include "core/fields.h"
#include "core/msgbox.h"
#include "mainapp/zm_protocol.h"
#include "map/mapwnd.h"
#include "reports/printform.h"

// ---- search list ----

void Workspace::RunSearch(HWND owner, const wchar_t* where, int reset)
{
    SearchWhere = where;
    if (reset)
        SendMessageW(SearchList, LVM_DELETEALLITEMS, 0, 0);
    int length = 90;
    if (where)
        length += lstrlenW(where);

    // Sort keys: the sorted column's field, or the fields a composed column is made of.
    CFieldBase* single = nullptr;
    CFieldBase** keys = nullptr;
    int keyCount = 0;
    if (SearchSortCol != 0) {
        HWND header = (HWND)SendMessageW(SearchList, LVM_GETHEADER, 0, 0);
        HDITEMW item = {};
        item.mask = HDI_LPARAM;
        int column = SearchSortCol < 0 ? -SearchSortCol : SearchSortCol;
        CDispField* field = nullptr;
        if (header && SendMessageW(header, HDM_GETITEMW, column, (LPARAM)&item))
            field = reinterpret_cast<CDispField*>(item.lParam);
        if (field && field->Field) {
            if (field->Field->Kind == FIELD_COMPOSED) {
                CObjArray* refs = static_cast<CCustFld*>(field->Field)->FieldRefs;
                if (refs && refs->GetCount() > 0) {
                    keys = reinterpret_cast<CFieldBase**>(refs->GetItems());
                    keyCount = refs->GetCount();
                }
            } else {
                single = field->Field;
                keys = &single;
                keyCount = 1;
            }
        }
        if (keyCount > 1)
            length += 40 * (keyCount - 1);
        length += SearchSortCol < 0 ? 38 : 32;
    }

    ListQuery query = {};
    query.Kind = ZM_LIST_SEARCH_RECORDS;
    query.Id = 0;
    query.SortKeys = keyCount ? keys : nullptr;
    query.SortKeyCount = keyCount;
    query.Descending = SearchSortCol < 0 ? 1 : 0;
    query.RowCount = 0;
    query.Where = where;
    SendMessageW(owner, ZM_QUERY_RECORD_LIST, length, (LPARAM)&query);
    int rows = query.RowCount > 0 ? query.RowCount : 0;

    // A requery may change the number of rows (records added or deleted meanwhile): the list
    // then takes the new count, so it never asks for rows past the end.
    if (reset || SendMessageW(SearchList, LVM_GETITEMCOUNT, 0, 0) != rows)
        SendMessageW(SearchList, LVM_SETITEMCOUNT, rows, reset ? 0 : LVSICF_NOSCROLL);
    else if (rows > 0)
        SendMessageW(SearchList, LVM_REDRAWITEMS, 0, rows - 1);
    SearchShown = 1;
}

void Workspace::ClearListColumns()
{
    // The print form's columns point at the same entries.
    if (ReportForm)
        ReportForm->ForgetList();
    for (int list = WS_SYS_RECORDS; list <= WS_LIT_LIST; list++) {
        HWND view = GetListWindow(list);
        if (view) {
            SendMessageW(view, LVM_SETITEMCOUNT, 0, 0);
            SetupListColumns(view, nullptr);
        }
    }
    SearchShown = 0;
}

void Workspace::SortSearchList(HWND owner, int column)
{
    SearchSortCol = SetSortArrow(SearchList, SearchSortCol, column);
    RunSearch(owner, SearchWhere, 0);
}

int Workspace::GetSearchRowId(int row)
{
    if (row < 0)
        row = (int)SendMessageW(SearchList, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED);
    return row < 0 ? -1 : ListRowId(MainWindow, SearchList, ZM_LIST_SEARCH_RECORDS, row);
}

// ---- commands on the page in front ----

void Workspace::SetListStyle(HWND owner, int style)
{
    CTreeCard* card = CardOfTab(GetCurrentTab(owner));
    if (card)
        card->SetListStyle(style);
}

void Workspace::NewItem(HWND owner, HTREEITEM item, int fromMenu)
{
    if (CTreeCard* card = CardOfTab(GetCurrentTab(owner)))
        card->NewItem(owner, item, fromMenu);
}

void Workspace::RenameItem(HWND owner)
{
    if (CTreeCard* card = CardOfTab(GetCurrentTab(owner)))
        card->RenameItem(owner);
}

void Workspace::DeleteItem(HWND owner, HTREEITEM item)
{
    if (CTreeCard* card = CardOfTab(GetCurrentTab(owner)))
        card->DeleteItem(owner, item);
}

void Workspace::EditItem(HWND owner, HTREEITEM item)
{
    if (CTreeCard* card = CardOfTab(GetCurrentTab(owner)))
        card->EditItem(owner, item);
}

void Workspace::CollectRecordIds(int tab, CIntArray* ids)
{
    if (tab == TAB_LITERATURE) {
        if (LitCard)
            LitCard->GetSelectedIds(ids);
        return;
    }
    CTreeCard* card = CardOfTab(tab);
    if (card) {
        card->GetSelectedRecordIds(ids);
        return;
    }
    if (tab == TAB_SEARCH) {
        // Delete works on the search list as on the cards' record lists, so the record toolbar's
        // delete button does what it shows there too.
        int row = -1;
        while ((row = (int)SendMessageW(SearchList, LVM_GETNEXTITEM, (WPARAM)row,
                                        LVNI_SELECTED)) >= 0) {
            int id = GetSearchRowId(row);
            if (id >= 0)
                ids->Add(id);
        }
    }
}

void Workspace::DeleteRecords(HWND owner)
{
    int tab = GetCurrentTab(owner);
    if (tab >= kFirstMapTab)
        return;
    CIntArray ids(32, 8);
    CollectRecordIds(tab, &ids);
    int count = ids.GetCount();
    if (count == 0)
        return;
    wchar_t format[128] = L"";
    wchar_t caption[64] = L"";
    UINT textId = count == 1 ? IDS_WS_DELETE_ONE
                             : (count <= 4 ? IDS_WS_DELETE_FEW : IDS_WS_DELETE_MANY);
    LoadStringW(Instance, textId, format, 128);
    LoadStringW(Instance, IDS_WS_CONFIRM_CAPTION, caption, 64);
    wchar_t text[160] = L"";
    StringCchPrintfW(text, 160, format, count);
    if (ZorMessageBox(owner, text, caption, MB_ICONQUESTION | MB_OKCANCEL) != IDOK)
        return;
    bool literature = tab == TAB_LITERATURE;
    if (!SendMessageW(MainWindow, ZM_DELETE_RECORDS,
                      literature ? ZM_DELETE_LITERATURE_ROWS : ZM_DELETE_RECORD_ROWS, (LPARAM)&ids))
        return;
    if (literature)
        LitCard->Refresh(1);
    else
        RefreshAll(owner);
}

void Workspace::RefreshAll(HWND owner)
{
    SysCard->RequeryRecords(1);
    LocCard->RequeryRecords(1);
    if (SearchShown)
        RunSearch(owner, SearchWhere, 1);
    if (LitCard)
        LitCard->Refresh(1);
    RefreshMaps();
}

int Workspace::RefreshMaps()
{
    // The record lists changed: every map's record and query layers are rebuilt at its next
    // paint (a hidden map paints when it is shown).
    for (int i = 0; i < GetMapCount(); ++i) {
        CZMapWnd* map = static_cast<CZMapWnd*>(MapCards->GetItems()[i]);
        map->InvalidateLayers(1);
        if (map->View)
            InvalidateRect(map->View, nullptr, FALSE);
    }
    return 1;
}

void Workspace::RequeryLiterature(HWND owner)
{
    if (LitCard)
        LitCard->Requery(owner, LitCard->GetFilter(), 1);
}

void Workspace::FillAuthorCombo(HWND owner)
{
    if (LitCard)
        LitCard->FillAuthorCombo(owner);
}

// ---- printing ----

void Workspace::PrintPage(HWND owner, CObjArray* fields, int tab)
{
    if (fields) {
        if (ReportForm && tab >= TAB_SYSTEM && tab <= TAB_SEARCH)
            ReportForm->CreateWnd(owner, fields, tab);
        return;
    }
    // Only a map tab prints without a field list; the literature tab (3) has no map behind it.
    CZMapWnd* map = GetMapCard(tab);
    if (map && ReportForm)
        map->Print(owner, ReportForm->GetPageSetup());
}

void Workspace::ExportMapPicture(HWND owner, const wchar_t* path, int tab, int type, const wchar_t* title)
{
    if (CZMapWnd* map = GetMapCard(tab))
        map->ExportPicture(owner, path, type, title);
}

// ---- map tabs ----

int Workspace::GetMapCount() const
{
    return MapCards ? MapCards->GetCount() : 0;
}

void Workspace::RemoveMapTab(int tab)
{
    int index = MapIndexOfTab(tab);
    if (index < 0)
        return;
    SendMessageW(TabControl, TCM_DELETEITEM, tab, 0);
    MapCards->RemoveAt(index, 1);
}

void Workspace::CloseAllMaps(HWND owner)
{
    int tab = GetCurrentTab(owner);
    if (tab >= kFirstMapTab) {
        HidePage(owner);
        SendMessageW(TabControl, TCM_SETCURSEL, TAB_LITERATURE, 0);
        ShowPage(owner);
    }
    for (int i = GetMapCount() - 1; i >= 0; i--)
        RemoveMapTab(kFirstMapTab + i);
}

// ---- search menu ----

static void GotoCardOfRecord(Workspace* ws, int row, int locality)
{
    int recordId = ws->GetSearchRowId(row);
    if (recordId < 0)
        return;
    LRESULT itemId = SendMessageW(ws->MainWindow, ZM_GET_RECORD_VALUE, MAKELONG(2, locality),
                                  recordId);
    if ((int)itemId < 0)
        return;
    SendMessageW(ws->MainWindow, ZM_GOTO_TREE_ITEM, locality, itemId);
    ws->HidePage(ws->MainWindow);
    SendMessageW(ws->TabControl, TCM_SETCURSEL, locality ? TAB_LOCALITIES : TAB_SYSTEM, 0);
    ws->ShowPage(ws->MainWindow);
}

void Workspace::GotoSysCard(int row)
{
    GotoCardOfRecord(this, row, 0);
}

void Workspace::GotoLocCard(int row)
{
    GotoCardOfRecord(this, row, 1);
}
