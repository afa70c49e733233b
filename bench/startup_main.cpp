// Start-up speed of the main program on a large database: from the main form's creation (the
// workspace file read, the splash, the asynchronous open and the whole load sequence) to the
// first painted page of the systematic tree card showing the records of the species with the
// most records. Printed beside the same run's bare open: CDatabase::Open until the connection
// reports the end of the opening, then DiscoverSchema.
//   startup_bench.exe <database path> [-n <records>] [--runs <count>]
// A missing database is made with "ZorSampleDb -o <path> -n <records>" (1,000,000 by default).
// On a bare X server without a window manager, run it in a prefix where Wine manages its windows
// itself (as the scripts set up on their own virtual display): otherwise Wine waits up to two
// seconds for the closed splash to be withdrawn by a manager that is not there.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/benchdb.h"
#include "bench/benchui.h"
#include "browse/treecard.h"
#include "browse/workspace.h"
#include "core/database.h"
#include "core/msgbox.h"
#include "tools/testkit/rawodbc.h"
#include "core/xmlaccess.h"
#include "core/zm_messages.h"
#include "mainapp/dbopen.h"
#include "mainapp/mainform.h"
#include "mainapp/wssettings.h"
#include "tools/testkit/workspacefile.h"

namespace {

const double kTargetMs = 3000.0;

// ---- baseline: the bare open ----

// Open until ZM_DB_OPENED, then DiscoverSchema; -1 when the database did not open.
double BareOpen(const std::wstring& path)
{
    HINSTANCE inst = GetModuleHandleW(nullptr);
    HWND wnd = CreateDbWindow(L"ZorStartupBenchBase", WS_OVERLAPPED, 100, 100);
    double result = -1;
    {
        ConnSettings settings = {};
        double t0 = NowMs();
        CDatabase db(wnd, inst);
        if (OpenDatabase(db, &settings, path))
            result = NowMs() - t0;
        db.Close();
        free(settings.DBName);
    }
    DestroyWindow(wnd);
    return result;
}

// ---- the main program's start-up ----

// The taxon with the most records: the card opens on it, so the first page shows a full list.
int BusiestTaxon(const std::wstring& path, int* records)
{
    zor::RawOdbc db;
    if (!db.Open(path, false))
        return -1;
    std::vector<std::vector<std::wstring>> rows;
    if (!db.Query(L"SELECT SYSID, COUNT(*) FROM ZORNACOLLS GROUP BY SYSID ORDER BY COUNT(*) DESC "
                  L"LIMIT 1",
                  rows)
        || rows.empty())
        return -1;
    *records = _wtoi(rows[0][1].c_str());
    return _wtoi(rows[0][0].c_str());
}

// A workspace file: the systematic tab in front, its card on the taxon, the database to open.
std::wstring WriteWorkspaceFile(const std::wstring& dbPath, int taxonId)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring path = std::wstring(temp) + L"zorna_startup_bench.xml";
    wstest::WriteCardsWorkspace(path, dbPath.c_str(), taxonId, -1);
    return path;
}

int g_boxes = 0;
int CountBox(HWND, LPCWSTR text, LPCWSTR, UINT)
{
    printf("message box: %ls\n", text);
    g_boxes++;
    return IDOK;
}

struct StartupFigures {
    double loadedMs = -1;   // main form created, splash closed after the load sequence
    double paintedMs = -1;  // first page of the systematic card painted
    int rows = 0;           // rows of the record list
    int shownRows = 0;      // rows on the painted page
    bool ok = false;
};

StartupFigures StartMainForm()
{
    StartupFigures f;
    HINSTANCE inst = GetModuleHandleW(nullptr);
    HWND wnd = nullptr;
    HACCEL accel = nullptr;
    double t0 = NowMs();
    MainForm* form = new MainForm(inst, MainFormDlgProc, &wnd, &accel);
    f.loadedMs = NowMs() - t0;
    if (wnd && form->Workspace_ && form->Database && form->Database->IsOpen()) {
        RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        f.paintedMs = NowMs() - t0;
        CTreeCard* card = form->Workspace_->GetCard(WS_SYS_CARD);
        HWND list = card->GetRecordList();
        f.rows = (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
        f.shownRows = (int)SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0);
        f.ok = IsWindowVisible(card->GetPage()) && IsWindowVisible(list) && f.rows > 0;
    }
    if (wnd)
        DestroyWindow(wnd);
    delete form;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        ;
    return f;
}

}  // namespace

int main()
{
    int runs = 3;
    std::wstring path;
    if (int code = ReadBenchArgs({ { L"--runs", &runs, 1 } }, PathWords::Last, stdout,
                                 "Usage: startup_bench <database path> [-n <records>] [--runs <count>]\n",
                                 &path))
        return code;

    zor::StartZornaUi(CountBox);

    int taxonRecords = 0;
    int taxon = BusiestTaxon(path, &taxonRecords);
    if (taxon < 0) {
        printf("the database could not be read\n");
        return 1;
    }
    std::wstring workspace = WriteWorkspaceFile(path, taxon);
    wstest::LastConfigFile lastConfig(workspace);
    printf("database %ls, systematic card on taxon %d with %d records\n", path.c_str(), taxon,
           taxonRecords);

    std::vector<double> bare, loaded, painted;
    bool allOk = true;
    for (int r = 0; r < runs; ++r) {
        double b = BareOpen(path);
        StartupFigures f = StartMainForm();
        printf("run %d: bare open + schema %.0f ms; start-up loaded %.0f ms, first page painted "
               "%.0f ms (%d rows, %d on the page)%s\n",
               r + 1, b, f.loadedMs, f.paintedMs, f.rows, f.shownRows, f.ok ? "" : "  FAILED");
        allOk = allOk && f.ok && b >= 0;
        bare.push_back(b);
        loaded.push_back(f.loadedMs);
        painted.push_back(f.paintedMs);
    }
    double m = Median(painted);
    printf("median: bare open + schema %.0f ms; start-up to loaded %.0f ms; to the first painted "
           "page %.0f ms (target %.0f ms): %s\n",
           Median(bare), Median(loaded), m, kTargetMs,
           allOk && g_boxes == 0 && m < kTargetMs ? "PASS" : "FAIL");
    DeleteFileW(workspace.c_str());
    CoUninitialize();
    return allOk && g_boxes == 0 && m < kTargetMs ? 0 : 1;
}
