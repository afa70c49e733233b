// The print form on the search list of a hundred thousand records: the view shows the report
// while it is made and the form answers all the while, a restart mid-way stops the earlier run
// and ends in the new report only, and the view reaches the first and the last line.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "reports/printform.h"
#include "reports/printform_run.h"
#include "tests/mainapp/formhost.h"
#include "tests/reports/printhost.h"

using namespace printhost;

namespace {

const int kLongRecords = 100000;

class LongPrintForm : public PrintFormWindow {
protected:
    std::wstring TemplatePath() override { return formhost::SampleWith(L"print_long_template", kLongRecords, {}); }

    // The record the search list shows in a row, as the main window gives it to the list.
    int SearchRowId(int row)
    {
        HWND list = ws_->GetSearchList();
        NMLVDISPINFOW info = {};
        info.hdr.hwndFrom = list;
        info.hdr.idFrom = (UINT_PTR)GetDlgCtrlID(list);
        info.item.mask = LVIF_PARAM;
        info.item.iItem = row;
        SendMessageW(wnd_, ZM_GET_LIST_CELL_TEXT, ZM_LIST_SEARCH_RECORDS, (LPARAM)&info);
        return (int)info.item.lParam;
    }
    // Dispatches messages until done() holds (false after the time is out), checking each
    // round; notes the longest round, in which the form answered nothing else.
    template <class Done, class Check>
    bool PumpWatching(Done done, Check check, DWORD timeoutMs)
    {
        DWORD start = GetTickCount();
        while (!done()) {
            if (GetTickCount() - start > timeoutMs)
                return false;
            DWORD round = GetTickCount();
            wintest::PumpMessages(0);
            check();
            longestRound_ = std::max(longestRound_, GetTickCount() - round);
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
        return true;
    }
    DWORD longestRound_ = 0;
};

TEST_F(LongPrintForm, AHundredThousandRowsShowWhileMadeARestartMidwayShowsOnlyTheNewReportAndTheEndIsReached)
{
    ws_->RunSearch(wnd_, nullptr, 1);
    ShowTab(TAB_SEARCH);
    int rows = (int)SendMessageW(ws_->GetSearchList(), LVM_GETITEMCOUNT, 0, 0);
    ASSERT_EQ(kLongRecords, rows);
    SendMessageW(wnd_, WM_COMMAND, MAKEWPARAM(IDM_PRINT, 0), 0);
    ASSERT_TRUE(Form()->Window != nullptr);
    // The opening's report is restarted by the choice of columns: its worker stops where it
    // was (a line more at most) instead of making the rest before the next run may start.
    std::shared_ptr<ReportRun> opening = Form()->Run;
    ShowOnly({{L"ZORNACOLLS", L"LEG"}, {L"ZORNACOLLS", L"POCET"}});
    ASSERT_NE(opening, Form()->Run);
    const long openingDone = opening->RowsDone;

    // Mid-way: the first lines are shown and the bar moves while the rest is made.
    int progress = 0;
    ASSERT_TRUE(PumpWatching([&] { return LineCount() > 200 || !Form()->ReportThread || opening->RowsDone > openingDone + 1000; },
                             [&] { progress = (int)SendMessageW(Form()->Control(IDC_PRINT_PROGRESS), PBM_GETPOS, 0, 0); },
                             60000));
    ASSERT_LE(opening->RowsDone.load(), openingDone + 1) << "the run before the restart went on";
    ASSERT_TRUE(Form()->ReportThread != nullptr) << "the report was complete before it could be restarted";
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(Form()->Window, IDC_PRINT_PROGRESSGROUP)));
    EXPECT_LT(progress, 100);
    EXPECT_EQ(L"Zadání", Line(0));
    EXPECT_LT(LineCount(), rows);
    wintest::SaveScreenshot(Form()->Window, L"printform_long_midway");

    // The heading goes: from the restart on, no line of the earlier report shows, and the
    // earlier run's worker stops where it was (a line more at most) instead of making the rest.
    int runs = Form()->RunCounter;
    std::shared_ptr<ReportRun> earlier = Form()->Run;
    Click(IDC_PRINT_HEADER);
    EXPECT_EQ(runs + 1, Form()->RunCounter);
    const long earlierDone = earlier->RowsDone;
    int stale = 0, moved = 0, lastProgress = -1;
    ASSERT_TRUE(PumpWatching([&] { return !Form()->ReportThread; },
                             [&] {
                                 if (LineCount() > 0 && Line(0) == L"Zadání")
                                     stale++;
                                 int p = (int)SendMessageW(Form()->Control(IDC_PRINT_PROGRESS), PBM_GETPOS, 0, 0);
                                 moved += p != lastProgress ? 1 : 0;
                                 lastProgress = p;
                             },
                             300000));
    EXPECT_EQ(0, stale);
    EXPECT_LE(earlier->RowsDone.load(), earlierDone + 1) << "the earlier run went on after the restart";
    EXPECT_LT(earlier->RowsDone.load(), (long)rows);
    EXPECT_GT(moved, 2) << "the bar moved too seldom";
    EXPECT_LT(longestRound_, 2000u) << "the form stopped answering while the report was made";

    // The report complete: one line per row, the first and the last as the file holds them.
    ASSERT_EQ(rows, LineCount());
    EXPECT_EQ(RowFromFile(SearchRowId(0)), Line(0));
    EXPECT_EQ(RowFromFile(SearchRowId(rows - 1)), Line(rows - 1));
    EXPECT_EQ(0, SendMessageW(View(), EM_GETFIRSTVISIBLELINE, 0, 0));
    wintest::SaveScreenshot(Form()->Window, L"printform_long_top");
    // Ctrl+End: the last line at the bottom of the view.
    Keys({VK_END}, true, false);
    int top = (int)SendMessageW(View(), EM_GETFIRSTVISIBLELINE, 0, 0);
    EXPECT_GT(top, rows - 100);
    EXPECT_LT(top, rows - 5);
    wintest::SaveScreenshot(Form()->Window, L"printform_long_end");
    ShowWindow(Form()->Window, SW_MAXIMIZE);
    wintest::SaveScreenshot(Form()->Window, L"printform_long_maximized");
    ShowWindow(Form()->Window, SW_RESTORE);
    // Shift+Home selects the last line; Ctrl+C copies it.
    Keys({VK_HOME}, false, true);
    Keys({'C'}, true, false);
    EXPECT_EQ(Line(rows - 1), Clipboard());
}

}  // namespace

