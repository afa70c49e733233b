// The systematic tree card on a large database, in a visible window whose main window answers
// the card's messages through DispatchZmMessage as the program's does:
//   1. selecting a species with about 100,000 records until the first page of its record list is
//      painted (and until the window has settled), beside the bare list query and the reads of
//      that page's cells without any window;
//   2. scrolling the record list by a page until painted, beside the bare reads of a page's cells;
//   3. sorting the record list by a column (clicked, then clicked again for the reverse order),
//      beside the bare sorted list query.
//   treecard_bench.exe <database path> [-n <records>] [--rounds <count>]
// A missing database is made with "ZorSampleDb -o <path> -n <records>" (1,000,000 by default).
// The benchmark works on a copy beside it in which one species is given 100,000 records (taken
// from other species), since the generated databases spread records far thinner.
// It shows a window, so run it with a display (xvfb-run).
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/benchdb.h"
#include "browse/treecard.h"
#include "core/database.h"
#include "core/fields.h"
#include "core/treefill.h"
#include "mainapp/mainform.h"
#include "shellcontract/zm_protocol.h"

namespace {

const int kWantedRecords = 100000;
const double kSelectTargetMs = 500.0;
const double kScrollTargetMs = 20.0;

int g_cells = 0;

INT_PTR CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        return TRUE;
    }
    if (msg == ZM_DB_OPENED) {
        g_dbOpened = true;
        return TRUE;
    }
    if (msg == ZM_GET_LIST_CELL_TEXT)
        ++g_cells;
    INT_PTR result = FALSE;
    if (DispatchZmMessage(MainFormOf(hwnd), hwnd, msg, wParam, lParam, &result))
        return result;
    return FALSE;
}

// Header items whose left edge lies inside the list's client area: the columns a paint asks for.
int ColumnsOnScreen(HWND list)
{
    HWND header = (HWND)SendMessageW(list, LVM_GETHEADER, 0, 0);
    RECT client;
    GetClientRect(list, &client);
    int count = (int)SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), shown = 0;
    for (int i = 0; i < count; ++i) {
        RECT r = {};
        SendMessageW(header, HDM_GETITEMRECT, i, (LPARAM)&r);
        if (r.left < client.right)
            ++shown;
    }
    return shown;
}

// The cells of rows first to end - 1 that a paint asks for, read without any window.
void ReadPageCells(CDatabase* db, HWND list, int first, int end, int columns)
{
    ReadListCells(first, end, 0, columns, [&](LVITEMW* item) { db->GetTaxonListCell(item, list); });
}

struct Host
{
    HWND Wnd = nullptr;
    HWND Tab = nullptr;
    alignas(MainForm) unsigned char Storage[sizeof(MainForm)];
    MainForm* Form = nullptr;
};

}  // namespace

int main()
{
    int rounds = 5;
    std::wstring path;
    if (int code = ReadBenchArgs({ { L"--rounds", &rounds, 1 } }, PathWords::Last, stdout,
                                 "Usage: treecard_bench <database path> [-n <records>] [--rounds <count>]\n",
                                 &path))
        return code;
    std::wstring copy = TaxonCopyPath(path);
    int taxon = PrepareTaxonCopy(path, copy, kWantedRecords);
    if (taxon < 0) {
        printf("the working copy could not be prepared\n");
        return 1;
    }

    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    static Host host;
    memset(host.Storage, 0, sizeof(host.Storage));
    host.Form = reinterpret_cast<MainForm*>(host.Storage);
    host.Form->hInstance = instance;
    std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD) + 3, 0);
    DLGTEMPLATE* dt = reinterpret_cast<DLGTEMPLATE*>(t.data());
    dt->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    dt->cx = 500;
    dt->cy = 330;
    host.Wnd = CreateDialogIndirectParamW(instance, dt, nullptr, HostProc, (LPARAM)host.Form);
    SetWindowPos(host.Wnd, nullptr, 0, 0, 1000, 720, SWP_NOZORDER);
    host.Form->MainWnd = host.Wnd;
    host.Tab = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 980,
                               680, host.Wnd, (HMENU)(INT_PTR)1002, instance, nullptr);
    ShowWindow(host.Wnd, SW_SHOW);

    CDatabase* db = new CDatabase(host.Wnd, instance);
    host.Form->Database = db;
    if (!OpenDatabase(*db, &host.Form->Conn, copy)) {
        printf("the database could not be opened\n");
        return 1;
    }

    // The card as the load sequence sets it up.
    CTreeCard* card = new CTreeCard(host.Tab, instance, LoadCursorW(nullptr, IDC_SIZEWE),
                                    LoadCursorW(nullptr, IDC_SIZEWE), LoadCursorW(nullptr, IDC_SIZENS),
                                    nullptr, TREECARD_SYSTEMATIC);
    RECT area = {2, 24, 976, 676};
    card->Move(&area);
    db->LoadSysLevelDefs(card->GetTreeView(), card->GetChildList(), card->GetLargeImages(),
                         card->GetSmallImages(), card->GetLevelCache());
    CObjArray columns(16, 4), header(16, 4);
    db->BuildSysListColumns(&columns);
    db->BuildSysHeaderColumns(&header);
    db->LoadNameLists();
    SetupListColumns(card->GetRecordList(), &columns);
    card->SetInfoFields(&header);
    card->SetTreeSource(db->GetSysTreeRs(), 4, 5);
    ShowWindow(card->GetPage(), SW_SHOW);
    Pump();

    // Expand down to the species' parent (not measured) and find the species' item.
    CIntArray idPath(16, 4);
    BuildIdPath(&idPath, taxon, db->GetSysTreeRs());
    HWND tree = card->GetTreeView();
    int parentId = idPath.GetCount() > 1 ? idPath.GetItems()[1] : 0;
    CIntArray parentPath(16, 4);
    BuildIdPath(&parentPath, parentId, db->GetSysTreeRs());
    SelectTreePath(tree, &parentPath);
    Pump();
    HTREEITEM parentItem = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, (LPARAM)parentItem);
    HTREEITEM speciesItem = FindTreeChildById(taxon, tree, parentItem, nullptr);
    if (!speciesItem) {
        printf("the species %d is not in the tree\n", taxon);
        return 1;
    }
    HWND list = card->GetRecordList();

    // ---- 1. selecting the species ----
    std::vector<double> firstPaint, settled, bareQuery, bareCells;
    int rows = 0, pageRows = 0, cellsFirst = 0;
    for (int r = 0; r < rounds; ++r) {
        SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)parentItem);
        Pump();
        g_cells = 0;
        double a = NowMs();
        SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)speciesItem);
        UpdateWindow(host.Wnd);
        double b = NowMs();
        cellsFirst = g_cells;
        Pump();
        double c = NowMs();
        firstPaint.push_back(b - a);
        settled.push_back(c - a);
        rows = (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
        pageRows = (int)SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0);

        // Baseline: the same list query and the same page of cells, without any window.
        ListQuery q = {};
        q.Kind = 1;
        q.Id = taxon;
        double d = NowMs();
        db->QueryTaxonRecords(90, &q);
        double e = NowMs();
        ReadPageCells(db, list, 0, std::min(pageRows + 1, q.RowCount), ColumnsOnScreen(list));
        double f = NowMs();
        bareQuery.push_back(e - d);
        bareCells.push_back(f - e);
    }
    // Where the selection's time goes, the card's steps one by one: the information panel (name,
    // lines, picture), the record list's query and count, the first paint of the page.
    std::vector<double> stepInfo, stepQuery, stepPaint;
    for (int r = 0; r < rounds; ++r) {
        double a = NowMs();
        card->ShowItemInfo(taxon);
        double b = NowMs();
        card->RequestRecordList(taxon, 1);
        double c = NowMs();
        UpdateWindow(host.Wnd);
        double d = NowMs();
        Pump();
        stepInfo.push_back(b - a);
        stepQuery.push_back(c - b);
        stepPaint.push_back(d - c);
    }
    double selectMedian = Median(firstPaint);
    bool selectPass = selectMedian < kSelectTargetMs;
    printf("select species %d (%d records, %d rows a page, %d cells asked for the first paint):\n", taxon,
           rows, pageRows, cellsFirst);
    printf("  first page painted: median %7.1f ms (first %7.1f ms); settled %7.1f ms"
           "  | bare query %7.1f ms + bare page cells %5.1f ms   target < %.0f ms: %s\n",
           selectMedian, firstPaint.front(), Median(settled), Median(bareQuery), Median(bareCells),
           kSelectTargetMs, selectPass ? "pass" : "FAIL");
    printf("  steps: information panel %6.1f ms, record query and count %6.1f ms, first paint %6.1f ms\n",
           Median(stepInfo), Median(stepQuery), Median(stepPaint));
    fflush(stdout);

    // ---- 2. scrolling by a page ----
    // The bare query above left the list's recordset as the card's query did.
    std::vector<double> scroll, bareScroll;
    std::mt19937 random(2011);
    int visibleColumns = ColumnsOnScreen(list);
    std::vector<double> scrollCells;
    for (int s = 0; s < 60; ++s) {
        if (s % 10 == 0) {
            // Jump to a random place first (not measured).
            int at = (int)(random() % (unsigned)std::max(1, rows - pageRows));
            SendMessageW(list, LVM_ENSUREVISIBLE, rows - 1, FALSE);
            SendMessageW(list, LVM_ENSUREVISIBLE, at, FALSE);
            UpdateWindow(list);
            Pump();
        }
        int top = (int)SendMessageW(list, LVM_GETTOPINDEX, 0, 0);
        g_cells = 0;
        double a = NowMs();
        SendMessageW(list, WM_VSCROLL, SB_PAGEDOWN, 0);
        UpdateWindow(list);
        double b = NowMs();
        scrollCells.push_back(g_cells);
        Pump();
        scroll.push_back(b - a);
        int from = top + pageRows;
        double c = NowMs();
        ReadPageCells(db, list, from, std::min(from + pageRows + 1, rows), visibleColumns);
        bareScroll.push_back(NowMs() - c);
    }
    double scrollMedian = Median(scroll);
    bool scrollPass = scrollMedian < kScrollTargetMs;
    printf("scroll a page (%d columns on screen, %.0f cells asked): median %6.2f ms, max %6.2f ms"
           "  | bare page cells %6.2f ms   target < %.0f ms: %s\n",
           visibleColumns, Median(scrollCells), scrollMedian, *std::max_element(scroll.begin(), scroll.end()), Median(bareScroll), kScrollTargetMs,
           scrollPass ? "pass" : "FAIL");
    fflush(stdout);

    // ---- 3. sorting by a column ----
    HWND headerWnd = (HWND)SendMessageW(list, LVM_GETHEADER, 0, 0);
    auto click = [&](int column) {
        NMLISTVIEW nm = {};
        nm.hdr.hwndFrom = list;
        nm.hdr.idFrom = IDC_CARD_RECORDLIST;
        nm.hdr.code = LVN_COLUMNCLICK;
        nm.iItem = -1;
        nm.iSubItem = column;
        double a = NowMs();
        SendMessageW(card->GetRecordPage(), WM_NOTIFY, IDC_CARD_RECORDLIST, (LPARAM)&nm);
        UpdateWindow(list);
        double b = NowMs();
        Pump();
        return b - a;
    };
    const int sortColumns[] = {1, 4};  // the locality's name (text) and the altitude (number)
    for (int column : sortColumns) {
        if (column >= (int)SendMessageW(headerWnd, HDM_GETITEMCOUNT, 0, 0))
            continue;
        HDITEMW hdi = {};
        hdi.mask = HDI_LPARAM;
        SendMessageW(headerWnd, HDM_GETITEMW, column, (LPARAM)&hdi);
        CDispField* disp = (CDispField*)hdi.lParam;
        std::vector<double> asc, desc, bareAsc, bareDesc;
        for (int r = 0; r < rounds; ++r) {
            // From unsorted each round: a click on column 0 clears the sort.
            click(0);
            asc.push_back(click(column));
            desc.push_back(click(column));
            CFieldBase* key = disp->Field;
            ListQuery q = {};
            q.Kind = 1;
            q.Id = taxon;
            q.SortKeys = &key;
            q.SortKeyCount = 1;
            double a = NowMs();
            db->QueryTaxonRecords(122, &q);
            double b = NowMs();
            q.Descending = 1;
            db->QueryTaxonRecords(128, &q);
            double c = NowMs();
            bareAsc.push_back(b - a);
            bareDesc.push_back(c - b);
        }
        printf("sort by \"%ls\": ascending median %7.1f ms, descending %7.1f ms (painted)"
               "  | bare sorted query %7.1f / %7.1f ms\n",
               disp->DispName ? disp->DispName : L"", Median(asc), Median(desc), Median(bareAsc),
               Median(bareDesc));
        fflush(stdout);
    }

    delete card;
    columns.RemoveAll(1);
    header.RemoveAll(1);
    delete db;
    DestroyWindow(host.Wnd);
    return selectPass && scrollPass ? 0 : 3;
}
