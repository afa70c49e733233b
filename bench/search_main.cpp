// The search on a large database: the first page of the search list (the list query through the
// data layer, then 50 rows of 10 cells as the list view asks for them) for typical selections,
// each printed beside the same condition counted through raw ODBC and beside the unfiltered list
// of the same run; the building of a condition of 1,000 typed lines beside reading them out of
// the editor; and the opening of SEARCHDLG beside an empty modal dialog.
//   search_bench.exe <database path> [-n <records>] [--runs <count>]
// A missing database is made with "ZorSampleDb -o <path> -n <records>" (1,000,000 by default).
// It shows dialogs, so run it with a display (xvfb-run).
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/benchdb.h"
#include "browse/searchpage.h"
#include "search/searchwhere.h"
#include "core/database.h"
#include "core/fields.h"
#include "tools/testkit/rawodbc.h"
#include <sql.h>
#include <sqlext.h>
#include "tools/sampledb/sampledb.h"
#include "core/textutil.h"
#include "shellcontract/zm_protocol.h"
#include "resources/zorna/search.h"

namespace {

const int kPageRows = 50, kPageColumns = 10;

CDatabase* g_db = nullptr;

// The main window's answer the search page needs: the attribute definitions.
LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == ZM_FIND_NAME_ENTRY) {
        CustomAttrDef* def = g_db ? g_db->FindAttrDef((int)wParam, (const wchar_t*)lParam) : nullptr;
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, (LONG_PTR)def);
        return 0;
    }
    return DbWindowProc(hwnd, msg, wParam, lParam);
}

HWND MakeMainWindow()
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = MainProc;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZorSearchBench";
    RegisterClassW(&wc);
    return CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr, nullptr,
                           wc.hInstance, nullptr);
}

// A criterion of the search catalogue's column.
struct Criterion
{
    SearchFieldEntry Entry = {};
    Criterion(CObjArray* catalogue, const wchar_t* table, const wchar_t* column)
    {
        CDispField* field = nullptr;
        for (int i = 0; i < catalogue->GetCount() && !field; ++i) {
            CDispField* d = static_cast<CDispField*>(catalogue->GetItems()[i]);
            CFieldInfo* info = static_cast<CFieldInfo*>(d->Field);
            if (d->Field->Kind == FIELD_DATABASE && _wcsicmp(info->TableName, table) == 0
                && _wcsicmp(info->Field, column) == 0)
                field = d;
        }
        InitSearchFieldEntry(&Entry, field);
        Entry.TableKind = SearchTableKindOf(table);
        Entry.AttrDef = g_db->FindAttrDef(Entry.TableKind, column);
        Entry.TextLength = 1;
    }
    ~Criterion()
    {
        for (int i = 0; i < Entry.Values->GetCount(); ++i)
            free(Entry.Values->GetItems()[i]);
        FreeSearchFieldEntry(&Entry);
    }
};

struct FirstPage
{
    double ms;
    int rows;
};

// The search list's query and its first page of cells.
FirstPage ListFirstPage(CDatabase& db, HWND list, const std::wstring& where)
{
    double t0 = NowMs();
    ListQuery q = {};
    q.Kind = 3;
    q.Where = where.empty() ? nullptr : where.c_str();
    db.QueryAllRecords(100, &q);
    ReadListCells(0, std::min(kPageRows, q.RowCount), 1, kPageColumns + 1,
                  [&](LVITEMW* item) { GetListItemText(GetModuleHandleW(nullptr), item, db.SearchRecordsRs, list); });
    return {NowMs() - t0, q.RowCount};
}

double RawCountMs(zor::RawOdbc& raw, const std::wstring& where, long long* count)
{
    double t0 = NowMs();
    *count = raw.QueryInt(L"SELECT COUNT(*) FROM COLLECTVIEW" + (where.empty() ? L"" : L" WHERE " + where));
    return NowMs() - t0;
}

// The same condition counted by fetching the id of every row, as the list's keyset needs them.
double RawKeysMs(zor::RawOdbc& raw, const std::wstring& where, long long* count)
{
    double t0 = NowMs();
    *count = 0;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    std::wstring sql = L"SELECT ID FROM COLLECTVIEW" + (where.empty() ? L"" : L" WHERE " + where);
    if (SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, raw.Handle(), &stmt))) {
        if (SQL_SUCCEEDED(SQLExecDirectW(stmt, (SQLWCHAR*)sql.c_str(), SQL_NTS))) {
            SQLINTEGER id = 0;
            SQLLEN indicator = 0;
            SQLBindCol(stmt, 1, SQL_C_SLONG, &id, 0, &indicator);
            while (SQL_SUCCEEDED(SQLFetch(stmt)))
                ++*count;
        }
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    }
    return NowMs() - t0;
}

// Ends the dialog of the thread that is up; its timer goes with it.
BOOL CALLBACK CancelDialog(HWND wnd, LPARAM ended)
{
    wchar_t name[16] = L"";
    GetClassNameW(wnd, name, 16);
    if (wcscmp(name, L"#32770") != 0 || !IsWindowVisible(wnd))
        return TRUE;
    PostMessageW(wnd, WM_COMMAND, IDCANCEL, 0);
    *reinterpret_cast<bool*>(ended) = true;
    return FALSE;
}

// A modal dialog shows itself when its loop first finds the queue empty, which may come after a
// timer's first tick: the tick waits for it.
void CALLBACK EndOnceShown(HWND, UINT, UINT_PTR id, DWORD)
{
    bool ended = false;
    EnumThreadWindows(GetCurrentThreadId(), CancelDialog, reinterpret_cast<LPARAM>(&ended));
    if (ended)
        KillTimer(nullptr, id);
}

INT_PTR CALLBACK EmptyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM)
{
    if (msg == WM_COMMAND && LOWORD(wParam) == IDCANCEL)
        EndDialog(hwnd, 0);
    return msg == WM_INITDIALOG ? TRUE : FALSE;
}

// From the call until the dialog has been shown and painted (a timer fires only then).
double OpenDialogMs(const std::function<void()>& show)
{
    double t0 = NowMs();
    SetTimer(nullptr, 0, 1, EndOnceShown);
    show();
    return NowMs() - t0;
}

}  // namespace

int main()
{
    int runs = 3;
    std::wstring path;
    if (int code = ReadBenchArgs({{L"--runs", &runs, 1}}, PathWords::Last, stdout,
                                 "Usage: search_bench <database path> [-n <records>] [--runs <count>]\n", &path))
        return code;
    INITCOMMONCONTROLSEX icc = {sizeof(icc), 0x500D};
    InitCommonControlsEx(&icc);
    HWND main = MakeMainWindow();
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT | LVS_OWNERDATA, 0, 0, 800, 600, main,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    CDatabase db(main, GetModuleHandleW(nullptr));
    g_db = &db;
    ConnSettings settings = {};
    if (!OpenDatabase(db, &settings, path)) {
        printf("the database could not be opened\n");
        return 1;
    }
    zor::RawOdbc raw;
    if (!raw.Open(path, false)) {
        printf("the database could not be opened through raw ODBC\n");
        return 1;
    }
    CObjArray catalogue(16, 4);
    db.BuildSearchListColumns(&catalogue);
    for (int i = 0; i < catalogue.GetCount(); ++i)
        static_cast<CDispField*>(catalogue.GetItems()[i])->Visible = i < kPageColumns;
    SetupListColumns(list, &catalogue);
    WhereContext context = {db.GetRecordViewFields(), db.RecordViewFields->GetCount(), UserNumberSeparators(),
                            [](int t, const wchar_t* c) -> const CustomAttrDef* { return g_db->FindAttrDef(t, c); }};

    // The selections: a family of about 20,000 records, a region with POCET >= 10, a month of
    // DATUM with three collecting methods.
    long long records = raw.QueryInt(L"SELECT COUNT(*) FROM ZORNACOLLS");
    int family = (int)raw.QueryInt(L"SELECT SYS_LEVEL_2 FROM ZORNACOLLS GROUP BY SYS_LEVEL_2 ORDER BY "
                                   L"ABS(COUNT(*) - " + std::to_wstring(records / 50) + L") LIMIT 1");
    int region = (int)raw.QueryInt(L"SELECT LOC_LEVEL_1 FROM ZORNACOLLS GROUP BY LOC_LEVEL_1 ORDER BY "
                                   L"ABS(COUNT(*) - " + std::to_wstring(records / 14) + L") LIMIT 1");
    std::wstring month = raw.QueryText(L"SELECT strftime('%m.%Y', DATUM - 25569 + 2440587.5) AS M FROM ZORNACOLLS "
                                       L"GROUP BY M ORDER BY COUNT(*) DESC LIMIT 1");
    std::vector<std::vector<std::wstring>> methods;
    raw.Query(L"SELECT NAME FROM ZOR_METODA ORDER BY NAME LIMIT 3", methods);

    struct Case
    {
        const char* name;
        std::wstring where;
        double targetMs;
    };
    std::vector<Case> cases;
    cases.push_back({"no criteria", L"", 1500});
    {
        LevelIdLists sys;
        AddLevelId(&sys, 2, family);
        cases.push_back({"one family", CombineWhere(BuildTreeCondition(L"SYS_LEVEL_", sys), L"", L""), 500});
    }
    {
        LevelIdLists loc;
        AddLevelId(&loc, 1, region);
        Criterion count(&catalogue, L"ZORNACOLLS", L"POCET");
        count.Entry.MinText = WideDup(L"10");
        const SearchFieldEntry* entries[] = {&count.Entry};
        cases.push_back({"region, POCET>=10",
                         CombineWhere(L"", BuildTreeCondition(L"LOC_LEVEL_", loc), BuildCriteriaText(entries, 1, context)),
                         700});
    }
    {
        Criterion date(&catalogue, L"ZORNACOLLS", L"DATUM");
        std::wstring mm = month.substr(0, 2), yyyy = month.substr(3);
        SYSTEMTIME last = {};
        int m = _wtoi(mm.c_str()), y = _wtoi(yyyy.c_str());
        VariantTimeToSystemTime((m == 12 ? zor::OleDateOf(y + 1, 1, 1) : zor::OleDateOf(y, m + 1, 1)) - 1, &last);
        date.Entry.MinText = WideDup((L"1." + std::to_wstring(m) + L"." + yyyy).c_str());
        date.Entry.MaxText = WideDup((std::to_wstring(last.wDay) + L"." + std::to_wstring(m) + L"." + yyyy).c_str());
        Criterion method(&catalogue, L"ZORNACOLLS", L"METODA");
        for (auto& row : methods)
            method.Entry.Values->Add(WideDup(row[0].c_str()));
        const SearchFieldEntry* entries[] = {&date.Entry, &method.Entry};
        cases.push_back({"month, 3 methods", BuildCriteriaText(entries, 2, context), 1000});
    }

    bool pass = true;
    double unfiltered = 0;
    printf("%lld records; first page = list query + %d rows x %d cells; median of %d runs\n", records, kPageRows,
           kPageColumns, runs);
    for (const Case& c : cases) {
        std::vector<double> layer, rawCount, rawKeys;
        FirstPage page = {};
        long long count = 0, keys = 0;
        for (int r = 0; r < runs; ++r) {
            page = ListFirstPage(db, list, c.where);
            layer.push_back(page.ms);
            rawCount.push_back(RawCountMs(raw, c.where, &count));
            rawKeys.push_back(RawKeysMs(raw, c.where, &keys));
        }
        double l = Median(layer), k = Median(rawKeys);
        if (c.where.empty())
            unfiltered = l;
        bool ok = l < c.targetMs && l <= 1.5 * k && count == page.rows && keys == page.rows;
        pass = pass && ok;
        printf("%-18s %8d rows: first page %7.1f ms | raw ODBC: COUNT(*) %7.1f ms, ids fetched %7.1f ms (x%.2f) |"
               " unfiltered list %7.1f ms  target < %.0f ms, <= 1.5x raw ids: %s\n",
               c.name, page.rows, l, Median(rawCount), k, k > 0 ? l / k : 0, unfiltered, c.targetMs,
               ok ? "pass" : "FAIL");
        fflush(stdout);
    }

    // A condition of 1,000 typed lines, built by the page from its editors.
    {
        CSearchPage searchPage(GetModuleHandleW(nullptr), main);
        searchPage.SetSearchFields(&catalogue);
        HWND fields = searchPage.FieldList();
        int row = (int)SendMessageW(fields, LB_FINDSTRINGEXACT, (WPARAM)-1,
                                    (LPARAM)static_cast<CDispField*>(catalogue.GetItems()[0])->DispName);
        for (int i = 0; i < (int)SendMessageW(fields, LB_GETCOUNT, 0, 0); ++i) {
            SearchFieldEntry* e = searchPage.EntryAt(i);
            if (e->AttrDef && wcscmp(e->AttrDef->FieldName, L"LEG") == 0)
                row = i;
        }
        SendMessageW(fields, LB_SETCURSEL, row, 0);
        searchPage.OnFieldSelChange();
        std::wstring lines;
        for (int k = 0; k < 1000; ++k)
            lines += L"Sběratel d'Arc č. " + std::to_wstring(k) + L"\r\n";
        HWND edit = GetDlgItem(searchPage.Page, IDC_SEARCH_VALUES);
        SetWindowTextW(edit, lines.c_str());
        std::vector<double> build, read;
        size_t length = 0;
        for (int r = 0; r < 5; ++r) {
            double t0 = NowMs();
            const wchar_t* where = searchPage.BuildWhere(db.GetRecordViewFields(), db.RecordViewFields->GetCount());
            build.push_back(NowMs() - t0);
            length = where ? wcslen(where) : 0;
            t0 = NowMs();
            CPtrArray copy(PTRARRAY_OWNS_ITEMS, 1024, 1024);
            std::vector<wchar_t> text(GetWindowTextLengthW(edit) + 1);
            GetWindowTextW(edit, text.data(), (int)text.size());
            SplitValueLines(text.data(), &copy);
            read.push_back(NowMs() - t0);
        }
        bool ok = Median(build) < 10 && length > 0;
        pass = pass && ok;
        printf("WHERE of 1000 lines (%zu characters): built in %.2f ms | reading the editor alone %.2f ms"
               "  target < 10 ms: %s\n",
               length, Median(build), Median(read), ok ? "pass" : "FAIL");

        // Opening SEARCHDLG with the trees and fields loaded.
        searchPage.SetTrees(db.GetSysTreeRs(), db.GetLocTreeRs());
        std::vector<double> open, empty;
        std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD) + 3, 0);
        DLGTEMPLATE* dt = reinterpret_cast<DLGTEMPLATE*>(t.data());
        dt->style = WS_POPUP | WS_CAPTION | WS_VISIBLE;
        dt->cx = 320;
        dt->cy = 246;
        for (int r = 0; r < 5; ++r) {
            open.push_back(OpenDialogMs([&] { searchPage.ShowSearchDlg(main); }));
            empty.push_back(OpenDialogMs([&] { DialogBoxIndirectW(GetModuleHandleW(nullptr), dt, main, EmptyProc); }));
        }
        ok = Median(open) < 200;
        pass = pass && ok;
        printf("SEARCHDLG opens in %.1f ms | an empty modal dialog %.1f ms  target < 200 ms: %s\n", Median(open),
               Median(empty), ok ? "pass" : "FAIL");
        searchPage.SetSearchFields(nullptr);
        searchPage.SetTrees(nullptr, nullptr);
    }
    catalogue.RemoveAll(1);
    raw.Close();
    db.Close();
    free(settings.DBName);
    return pass ? 0 : 3;
}
