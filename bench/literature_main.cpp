// The literature catalogue on a large database, in the program's own main form (its workspace
// file puts the literature tab in front), each figure beside raw ODBC running the same statements
// in the same run:
//   1. the literature card's first page, after a requery with reset, until painted;
//   2. sorting by every column of the list (the slowest one reported);
//   3. the author filter switched on for the author with the most publications;
//   4. the publication dialog opened on a publication with 10 authors, 20 taxon links and 20
//      locality links, until it is shown; and OK on it until it has stored the publication;
//   5. the lists editor opened on its authors page, and one author renamed with "Použít".
// Once on a copy of the database as it is, then on a copy to which 100,000 publications are
// added; the copies take the writes and go at the end. The dialogs' figures are the medians of
// their runs (the first opening also loads the controls' classes and themes).
//   literature_bench.exe <database path> [-n <records>] [--runs <count>]
// A missing database is made with "ZorSampleDb -o <path> -n <records>" (1,000,000 by default).
// It shows windows, so run it with a display (xvfb-run).
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench/benchdb.h"
#include "bench/benchui.h"
#include "browse/litcard.h"
#include "browse/litlistsdlg.h"
#include "browse/litrecorddlg.h"
#include "browse/littext.h"
#include "browse/workspace.h"
#include "controls/plexa.h"
#include "core/fields.h"
#include "core/msgbox.h"
#include "tools/testkit/rawodbc.h"
#include "core/xmlaccess.h"
#include "mainapp/mainform.h"
#include "mainapp/wssettings.h"
#include "tools/testkit/workspacefile.h"

namespace {

const int kAddedPublications = 100000;
const double kFirstPageMs = 50.0, kFirstPageLargeMs = 300.0, kSortLargeMs = 500.0;
const double kFilterMs = 50.0, kDialogOpenMs = 200.0, kDialogOkMs = 100.0;
const double kListsOpenMs = 100.0, kRenameMs = 100.0;

using Rows = std::vector<std::vector<std::wstring>>;

int g_boxes = 0;
int CountBox(HWND, LPCWSTR text, LPCWSTR, UINT)
{
    printf("message box: %ls\n", text);
    g_boxes++;
    return IDOK;
}

bool g_allMet = true;

// A figure beside its baseline; a target of 0 is none (the figure is only shown).
void Report(const char* what, double ms, double baseMs, double targetMs)
{
    bool met = ms >= 0 && (targetMs <= 0 || ms < targetMs);
    g_allMet = g_allMet && met;
    if (targetMs > 0)
        printf("  %-58s %8.1f ms   raw ODBC %8.1f ms   target %6.0f ms  %s\n", what, ms, baseMs,
               targetMs, met ? "ok" : "MISSED");
    else
        printf("  %-58s %8.1f ms   raw ODBC %8.1f ms%s\n", what, ms, baseMs, met ? "" : "   FAILED");
    fflush(stdout);
}

// ---- raw ODBC baselines ----

double RawRead(zor::RawOdbc& raw, const std::wstring& sql)
{
    Rows rows;
    double t0 = NowMs();
    if (!raw.Query(sql, rows))
        return -1;
    return NowMs() - t0;
}

// ---- the copy with many more publications ----

// A copy with one publication of 10 authors, 20 taxon and 20 locality links (its id comes back),
// and with the many added publications when asked.
int PrepareCopy(const std::wstring& from, const std::wstring& copy, bool addMany)
{
    printf("copying the database%s...\n", addMany ? " and adding 100,000 publications" : "");
    fflush(stdout);
    if (!CopyDatabase(from, copy))
        return -1;
    zor::RawOdbc raw;
    if (!raw.Open(copy, false) || !raw.Begin())
        return -1;
    wchar_t sql[1024];
    // The name lists' ids run from 1 without gaps in a generated database.
    _snwprintf(sql, 1024,
               L"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %d) "
               L"INSERT INTO LITERATURE (NAME, EDITOR, JOURNALID, FIRSTAUTHOR, IYEAR, IPAGES) "
               L"SELECT 'Doplněná publikace č. ' || i, 1 + i %% (SELECT COUNT(*) FROM EDITORS), "
               L"1 + i %% (SELECT COUNT(*) FROM JOURNALS), 1 + i %% (SELECT COUNT(*) FROM LITAUTHORS), "
               L"1900 + i %% 120, (i %% 300) || '-' || (i %% 300 + 12) FROM n",
               kAddedPublications);
    sql[1023] = 0;
    if (addMany && !raw.Exec(sql)) {
        printf("could not add publications: %ls\n", raw.LastError().c_str());
        return -1;
    }
    if (!raw.Exec(L"INSERT INTO LITERATURE (NAME, FIRSTAUTHOR, IYEAR) VALUES ('Publikace s mnoha "
                  L"odkazy', (SELECT MIN(ID) FROM LITAUTHORS), 2001)"))
        return -1;
    int id = (int)raw.QueryInt(L"SELECT MAX(ID) FROM LITERATURE");
    std::wstring lit = std::to_wstring(id);
    bool ok = raw.Exec(L"INSERT INTO BOOKAUTHORS (LITID, AUTHORID, AUTHPOS) SELECT " + lit +
                       L", ID, ROW_NUMBER() OVER (ORDER BY ID) FROM (SELECT ID FROM LITAUTHORS ORDER BY ID LIMIT 10)") &&
              raw.Exec(L"INSERT INTO LITSYSREFS (LITID, SYSID, REFPOS) SELECT " + lit +
                       L", SYSID, ROW_NUMBER() OVER (ORDER BY SYSID) FROM (SELECT SYSID FROM SPECIES ORDER BY SYSID LIMIT 20)") &&
              raw.Exec(L"INSERT INTO LITLOCREFS (LITID, LOCID, REFPOS) SELECT " + lit +
                       L", LOCID, ROW_NUMBER() OVER (ORDER BY LOCID) FROM (SELECT LOCID FROM FEATURES ORDER BY LOCID LIMIT 20)");
    if (!ok || !raw.Commit()) {
        printf("could not add the links: %ls\n", raw.LastError().c_str());
        return -1;
    }
    return id;
}

// ---- the main form ----

struct Form {
    HWND wnd = nullptr;
    MainForm* form = nullptr;
    Workspace* ws = nullptr;
    CLitCard* card = nullptr;
    std::wstring file;

    bool Start(const std::wstring& dbPath)
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        file = std::wstring(temp) + L"zorna_literature_bench.xml";
        wstest::WriteCardsWorkspace(file, dbPath.c_str(), -1, -1, TAB_LITERATURE);
        wstest::LastConfigFile lastConfig(file);
        HACCEL accel = nullptr;
        form = new MainForm(GetModuleHandleW(nullptr), MainFormDlgProc, &wnd, &accel);
        if (!wnd || !form->Database || !form->Database->IsOpen())
            return false;
        ws = form->Workspace_;
        card = ws->LitCard;
        Pump();
        return card != nullptr;
    }
    void Stop()
    {
        if (wnd)
            DestroyWindow(wnd);
        delete form;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            ;
        DeleteFileW(file.c_str());
    }
    void Paint() { RedrawWindow(card->GetList(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }
};

// Runs `show` (which shows a modal dialog with the caption); the time from the call until the
// dialog is activated comes back in *openMs, then `script` runs on it inside its own loop.
struct ModalTiming {
    static ModalTiming* current;
    const wchar_t* caption;
    double start = 0, activated = -1;
    HWND dialog = nullptr;
    std::function<void(HWND)> script;
    HHOOK hook = nullptr;

    static LRESULT CALLBACK Cbt(int code, WPARAM wParam, LPARAM lParam)
    {
        ModalTiming* t = current;
        if (t && code == HCBT_ACTIVATE && t->activated < 0) {
            wchar_t text[128] = L"";
            GetWindowTextW((HWND)wParam, text, 128);
            if (wcscmp(text, t->caption) == 0) {
                t->activated = NowMs() - t->start;
                t->dialog = (HWND)wParam;
                SetTimer(nullptr, 0, 1, Tick);
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD)
    {
        KillTimer(nullptr, id);
        ModalTiming* t = current;
        if (t && t->dialog && t->script) {
            auto script = t->script;
            t->script = nullptr;
            script(t->dialog);
        }
    }
    double Run(const std::function<void()>& show)
    {
        current = this;
        hook = SetWindowsHookExW(WH_CBT, Cbt, nullptr, GetCurrentThreadId());
        start = NowMs();
        show();
        UnhookWindowsHookEx(hook);
        current = nullptr;
        return activated;
    }
};
ModalTiming* ModalTiming::current = nullptr;

// ---- the figures ----

struct CardFigures {
    double firstPage = -1, firstPageRaw = -1;
    double slowestSort = -1, slowestSortRaw = -1;
    int slowestColumn = 0;
    double filter = -1, filterRaw = -1;
};

CardFigures MeasureCard(Form& f, zor::RawOdbc& raw)
{
    CardFigures c;
    HWND list = f.card->GetList();
    double t0 = NowMs();
    f.card->Requery(f.wnd, nullptr, 1);
    f.Paint();
    c.firstPage = NowMs() - t0;
    c.firstPageRaw = RawRead(raw, L"SELECT * FROM LITVIEW");
    int rows = (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);

    HWND header = (HWND)SendMessageW(list, LVM_GETHEADER, 0, 0);
    int columns = (int)SendMessageW(header, HDM_GETITEMCOUNT, 0, 0);
    for (int column = 1; column < columns; column++) {
        NMLISTVIEW nm = {};
        nm.hdr.hwndFrom = list;
        nm.hdr.idFrom = IDC_LITCARD_LIST;
        nm.hdr.code = LVN_COLUMNCLICK;
        nm.iSubItem = column;
        t0 = NowMs();
        SendMessageW(f.card->GetWindow(), WM_NOTIFY, IDC_LITCARD_LIST, (LPARAM)&nm);
        f.Paint();
        double ms = NowMs() - t0;
        if ((int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) != rows)
            ms = -1;  // a sort that lost rows fails the figure
        if (ms > c.slowestSort || ms < 0) {
            c.slowestSort = ms;
            c.slowestColumn = column;
        }
        if (ms < 0)
            break;
    }
    // Raw ODBC of the slowest column's statement.
    HDITEMW item = {};
    item.mask = HDI_LPARAM;
    SendMessageW(header, HDM_GETITEMW, c.slowestColumn, (LPARAM)&item);
    CDispField* field = (CDispField*)item.lParam;
    if (field && field->Field && field->Field->Kind == FIELD_DATABASE) {
        int ordinal = static_cast<CFieldInfo*>(field->Field)->ColumnOrdinal;
        const wchar_t* name = (const wchar_t*)f.form->Database->LitViewFields->GetItems()[ordinal];
        c.slowestSortRaw = RawRead(raw, std::wstring(L"SELECT * FROM LITVIEW ORDER BY \"") + name + L"\"");
    }

    int author = (int)raw.QueryInt(L"SELECT FIRSTAUTHOR FROM LITERATURE WHERE FIRSTAUTHOR IS NOT NULL "
                                   L"GROUP BY FIRSTAUTHOR ORDER BY COUNT(*) DESC LIMIT 1");
    f.card->CurAuthor = author;
    f.ws->FillAuthorCombo(f.wnd);
    t0 = NowMs();
    SendDlgItemMessageW(f.card->GetWindow(), IDC_LITCARD_BYAUTHOR, BM_CLICK, 0, 0);
    f.Paint();
    c.filter = NowMs() - t0;
    c.filterRaw = RawRead(raw, L"SELECT * FROM LITVIEW WHERE FIRSTAUTHOR = " + std::to_wstring(author));
    SendDlgItemMessageW(f.card->GetWindow(), IDC_LITCARD_BYAUTHOR, BM_CLICK, 0, 0);
    return c;
}

// Selects the card's row of a publication (the list unsorted and unfiltered: LITVIEW's order).
bool SelectPublication(Form& f, zor::RawOdbc& raw, int id)
{
    f.card->SortCol = 0;
    f.card->Requery(f.wnd, nullptr, 1);
    int row = (int)raw.QueryInt(L"SELECT COUNT(*) FROM LITVIEW WHERE ID < " + std::to_wstring(id));
    HWND list = f.card->GetList();
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
    ListView_SetItemState(list, row, LVIS_SELECTED, LVIS_SELECTED);
    return f.card->GetSelectedId() == id;
}

double RawLoadOfPublication(zor::RawOdbc& raw, int id)
{
    std::wstring lit = std::to_wstring(id);
    double total = 0;
    for (const wchar_t* sql : {L"SELECT * FROM LITERATURE WHERE ID = ",
                               L"SELECT * FROM BOOKAUTHORS WHERE LITID = ",
                               L"SELECT * FROM LITSYSREFS WHERE LITID = ",
                               L"SELECT * FROM LITLOCREFS WHERE LITID = ",
                               L"SELECT * FROM LITKEYWORDSREFS WHERE LITID = "})
        total += RawRead(raw, sql + lit);
    return total;
}

// The statements of a save: the row, then every link rewritten, in one transaction.
double RawSaveOfPublication(zor::RawOdbc& raw, int id)
{
    std::wstring lit = std::to_wstring(id);
    Rows authors, taxa, places;
    raw.Query(L"SELECT AUTHORID FROM BOOKAUTHORS WHERE LITID = " + lit + L" ORDER BY AUTHPOS", authors);
    raw.Query(L"SELECT SYSID FROM LITSYSREFS WHERE LITID = " + lit + L" ORDER BY REFPOS", taxa);
    raw.Query(L"SELECT LOCID FROM LITLOCREFS WHERE LITID = " + lit + L" ORDER BY REFPOS", places);
    double t0 = NowMs();
    raw.Begin();
    raw.Exec(L"UPDATE LITERATURE SET NAME = NAME WHERE ID = " + lit);
    struct Links {
        const wchar_t* table;
        const wchar_t* columns;
        Rows* ids;
    } links[] = {{L"BOOKAUTHORS", L"(LITID, AUTHORID, AUTHPOS)", &authors},
                 {L"LITSYSREFS", L"(LITID, SYSID, REFPOS)", &taxa},
                 {L"LITLOCREFS", L"(LITID, LOCID, REFPOS)", &places}};
    for (const Links& l : links) {
        raw.Exec(std::wstring(L"DELETE FROM ") + l.table + L" WHERE LITID = " + lit);
        zor::RawStatement insert;
        insert.Prepare(raw, std::wstring(L"INSERT INTO ") + l.table + l.columns + L" VALUES (?, ?, ?)");
        for (size_t i = 0; i < l.ids->size(); i++) {
            insert.SetInt(1, id);
            insert.SetInt(2, _wtoi((*l.ids)[i][0].c_str()));
            insert.SetInt(3, (long long)i + 1);
            insert.Execute();
        }
    }
    raw.Commit();
    return NowMs() - t0;
}

// A run's figure, or -1 when the run failed; the median of the good runs, -1 when one failed.
double MedianOf(const std::vector<double>& runs)
{
    for (double ms : runs)
        if (ms < 0)
            return -1;
    return Median(runs);
}

void MeasureDialog(Form& f, zor::RawOdbc& raw, int id, int runs)
{
    std::vector<double> opens, oks;
    for (int r = 0; r < runs; r++) {
        if (!SelectPublication(f, raw, id)) {
            printf("  the publication with many links is not in the list\n");
            opens.push_back(-1);
            break;
        }
        double okMs = -1;
        int authors = 0, taxa = 0, places = 0;
        ModalTiming timing;
        timing.caption = L"Editace zápisu";
        timing.script = [&](HWND dialog) {
            CEditLitRecordDlg* dlg = f.ws->LitRecordDlg;
            // The tree pages are made as their tabs are first shown (not timed here).
            dlg->SelectTab(LITTAB_SPECIES);
            dlg->SelectTab(LITTAB_LOCALITIES);
            dlg->SelectTab(LITTAB_MAIN);
            authors = (int)SplitNameLines(GetWindowString(GetDlgItem(dlg->Pages[LITTAB_AUTHORS],
                                                                    IDC_LITREC_CHOSEN))).size();
            taxa = (int)SendDlgItemMessageW(dlg->Pages[LITTAB_SPECIES], IDC_LITREC_REFERENCED, LB_GETCOUNT, 0, 0);
            places = (int)SendDlgItemMessageW(dlg->Pages[LITTAB_LOCALITIES], IDC_LITREC_REFERENCED, LB_GETCOUNT, 0, 0);
            double t0 = NowMs();
            SendMessageW(dialog, WM_COMMAND, IDOK, 0);
            okMs = IsWindow(dialog) && IsWindowVisible(dialog) ? -1 : NowMs() - t0;
        };
        double openMs = timing.Run([&] { f.ws->EditRecord(f.wnd); });
        printf("  run %d: the dialog showed %d authors, %d taxa, %d localities; opened %.1f ms, OK %.1f ms\n",
               r + 1, authors, taxa, places, openMs, okMs);
        opens.push_back(authors == 10 && taxa == 20 && places == 20 ? openMs : -1);
        oks.push_back(okMs);
    }
    Report("publication dialog opened (10 authors, 20 + 20 links)", MedianOf(opens),
           RawLoadOfPublication(raw, id), kDialogOpenMs);
    Report("publication dialog OK (stored)", MedianOf(oks), RawSaveOfPublication(raw, id), kDialogOkMs);
}

void MeasureLists(Form& f, zor::RawOdbc& raw, int runs)
{
    int authors = (int)raw.QueryInt(L"SELECT COUNT(*) FROM LITAUTHORS");
    std::vector<double> opens, renames;
    for (int r = 0; r < runs; r++) {
        double renameMs = -1;
        ModalTiming timing;
        timing.caption = L"Editace položek literatury";
        timing.script = [&](HWND dialog) {
            HWND page = f.form->LitListsEditor->Pages[LITLISTS_AUTHORS];
            HWND list = GetDlgItem(page, IDC_LITLISTS_ROWS);
            if ((int)SendMessageW(list, LB_GETCOUNT, 0, 0) == authors) {
                SetDlgItemTextW(page, IDC_LITLISTS_NAME, r % 2 ? L"Přejmenovaný Autor" : L"Jinak Přejmenovaný");
                double t0 = NowMs();
                SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_LITLISTS_APPLY, BN_CLICKED),
                             (LPARAM)GetDlgItem(page, IDC_LITLISTS_APPLY));
                renameMs = NowMs() - t0;
                if (f.form->LitListsEditor->States[LITLISTS_AUTHORS] != LITLISTS_UNCHANGED)
                    renameMs = -1;
            }
            SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        };
        opens.push_back(timing.Run([&] { OnMainCommand(f.form, f.wnd, 503, 0); }));
        renames.push_back(renameMs);
    }
    char what[80];
    snprintf(what, 80, "lists editor opened on %d authors", authors);
    Report(what, MedianOf(opens), RawRead(raw, L"SELECT * FROM LITAUTHORS ORDER BY NAME"), kListsOpenMs);
    double t0 = NowMs();
    raw.Exec(L"UPDATE LITAUTHORS SET NAME = NAME WHERE ID = (SELECT MIN(ID) FROM LITAUTHORS)");
    Report("one author renamed (Použít)", MedianOf(renames), NowMs() - t0, kRenameMs);
}

}  // namespace

int main()
{
    int runs = 3;
    std::wstring path;
    if (int code = ReadBenchArgs({{L"--runs", &runs, 1}}, PathWords::Last, stdout,
                                 "Usage: literature_bench <database path> [-n <records>] [--runs <count>]\n",
                                 &path))
        return code;
    zor::StartZornaUi(CountBox, PLEXA_INPLACECOMBOBOX | PLEXA_PROPERTYBOX | PLEXA_IMGBUTTON);

    std::wstring stem = path;
    size_t dot = stem.find_last_of(L'.');
    stem = dot == std::wstring::npos ? stem : stem.substr(0, dot);
    for (int pass = 0; pass < 2; pass++) {
        std::wstring db = stem + (pass ? L"_literature_more.mdb" : L"_literature.mdb");
        int manyLinks = PrepareCopy(path, db, pass == 1);
        if (manyLinks < 0) {
            printf("the working copy could not be prepared\n");
            return 1;
        }
        zor::RawOdbc raw;
        Form f;
        if (!raw.Open(db, false) || !f.Start(db)) {
            printf("the database %ls could not be opened\n", db.c_str());
            return 1;
        }
        long long publications = raw.QueryInt(L"SELECT COUNT(*) FROM LITERATURE");
        printf("%ls: %lld publications\n", db.c_str(), publications);
        for (int r = 0; r < runs; r++) {
            CardFigures c = MeasureCard(f, raw);
            Report("literature card, first page painted", c.firstPage, c.firstPageRaw,
                   pass ? kFirstPageLargeMs : kFirstPageMs);
            char what[80];
            snprintf(what, 80, "slowest column sort (column %d) painted", c.slowestColumn);
            Report(what, c.slowestSort, c.slowestSortRaw, pass ? kSortLargeMs : 0);
            Report("author filter (the most published author) painted", c.filter, c.filterRaw, kFilterMs);
        }
        MeasureDialog(f, raw, manyLinks, runs);
        MeasureLists(f, raw, runs);
        f.Stop();
        raw.Close();
        DeleteFileW(db.c_str());
    }
    printf("%s\n", g_allMet && g_boxes == 0 ? "all targets met" : "SOME TARGETS MISSED");
    CoUninitialize();
    return g_allMet && g_boxes == 0 ? 0 : 1;
}
