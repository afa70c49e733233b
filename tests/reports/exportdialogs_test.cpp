// The exports through their real dialogs: EXPTOTXT, EXPTOXLS and PROGRESSDLG driven with
// messages while Run waits in them, message boxes answered by the hook, and a screenshot of each.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <string>
#include <vector>

#include "reports/excelexport.h"
#include "reports/exportprogress.h"
#include "reports/textexport.h"
#include "tests/reports/exportlist.h"
#include "tests/support/dialogscript.h"
#include "tests/workbook/bookcheck.h"

using exporttest::ExportList;
using wintest::DialogScript;

namespace {

const wchar_t kTextOptions[] = L"Export do textového souboru";
const wchar_t kExcelOptions[] = L"Export do MS Excel";
const wchar_t kProgress[] = L"Průběh";

std::string Narrow(const std::wstring& w)
{
    return std::string(w.begin(), w.end());
}

int Lines(const std::string& bytes)
{
    return (int)std::count(bytes.begin(), bytes.end(), '\n');
}

std::wstring ItemText(HWND dlg, int id)
{
    return wintest::WindowText(GetDlgItem(dlg, id));
}

void Click(HWND dlg, int id)
{
    DialogScript::Click(dlg, id);
}

// The progress dialog's end: once the worker has ended (the button reads "OK") its text is
// kept, a screenshot taken, and the button (or Enter, as the default button) closes it.
void CloseWhenDone(HWND dlg, const wchar_t* screenshot, std::wstring* endText, bool byEnter = false)
{
    EXPECT_TRUE(wintest::PumpUntil([&] { return ItemText(dlg, 105) == L"OK"; }, 60000));
    *endText = ItemText(dlg, 103);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dlg, 104)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dlg, 101)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dlg, 102)));
    if (screenshot)
        wintest::SaveScreenshot(dlg, screenshot);
    if (byEnter) {
        // Enter closes it wherever the focus is: here on the dialog itself, off the button.
        SetFocus(dlg);
        wintest::PressKey(dlg, VK_RETURN);
        // The dialog ends (and hides) at once; its loop destroys it when this step returns.
        EXPECT_TRUE(wintest::PumpUntil([&] { return !IsWindowVisible(dlg); }, 5000)) << "Enter leaves the ended export open";
        if (!IsWindowVisible(dlg))
            return;
    }
    Click(dlg, 105);
}

DialogScript::Action ClosingWhenDone(const wchar_t* screenshot, std::wstring* endText, bool byEnter = false)
{
    return [screenshot, endText, byEnter](HWND dlg) { CloseWhenDone(dlg, screenshot, endText, byEnter); };
}

void PressOk(HWND dlg)
{
    Click(dlg, IDOK);
}

// Presses OK and expects the dialog to stay with a message box of the text.
void ExpectRefused(HWND dlg, wintest::MsgBoxRecorder& boxes, const std::wstring& text)
{
    size_t before = boxes.Boxes().size();
    Click(dlg, IDOK);
    ASSERT_EQ(before + 1, boxes.Boxes().size());
    EXPECT_TRUE(boxes.Boxes().back().text == text) << Narrow(boxes.Boxes().back().text);
    EXPECT_TRUE(boxes.Boxes().back().caption == L"Chyba");
    EXPECT_EQ((UINT)MB_ICONERROR, boxes.Boxes().back().type & MB_ICONMASK);
    EXPECT_TRUE(IsWindowVisible(dlg));
}

class ExportDialogs : public ::testing::Test {
protected:
    ExportDialogs() : list_(L"exportdialogs") {}
    ExportList list_;
};

TEST_F(ExportDialogs, TextOptionsAreKeptAndTheProgressEndsTheRun)
{
    list_.AddRows(1, 300);
    CTextExport e(GetModuleHandleW(nullptr), nullptr);
    std::wstring file = list_.Folder().File(L"export.txt"), endText;
    {
        DialogScript script;
        script.Then(kTextOptions, [&](HWND dlg) {
                                  HWND delimiter = GetDlgItem(dlg, 102);
                                  EXPECT_EQ(4, SendMessageW(delimiter, CB_GETCOUNT, 0, 0));
                                  EXPECT_TRUE(ItemText(dlg, 102) == L"Tabulátor");
                                  EXPECT_TRUE(ItemText(dlg, 104) == L"ANSI");
                                  wintest::SaveScreenshot(dlg, L"exptotxt");
                                  SetWindowTextW(delimiter, L"|");
                                  SendDlgItemMessageW(dlg, 104, CB_SETCURSEL, 1, 0);
                                  SetWindowPos(dlg, nullptr, 140, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
                                  Click(dlg, IDOK);
                              }).Then(kProgress, ClosingWhenDone(L"progressdlg_done", &endText, true));
        EXPECT_TRUE(script.Run([&] { e.Run(list_.Open(), file.c_str(), list_.Fields()); }));
    }
    EXPECT_TRUE(endText == L"Export dokončen");
    EXPECT_STREQ(L"|", e.Delimiter);
    EXPECT_EQ(TEXTEXPORT_UNICODE, e.Encoding);
    EXPECT_EQ(140, e.Left);
    EXPECT_EQ(90, e.Top);
    EXPECT_EQ(nullptr, e.Worker);
    EXPECT_EQ(nullptr, e.ProgressDlg);
    std::string bytes = wintest::ReadFileBytes(file);
    ASSERT_GT(bytes.size(), 2u);
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
    EXPECT_EQ(0u, text.find(L"Druh|Poznámka|Počet|"));
    EXPECT_EQ(301, (int)std::count(text.begin(), text.end(), L'\n'));

    // The next run starts where the dialog was left, with the options chosen; cancelling it
    // writes nothing.
    DeleteFileW(file.c_str());
    DialogScript again;
    again.Then(kTextOptions, [&](HWND dlg) {
                             RECT rc;
                             GetWindowRect(dlg, &rc);
                             EXPECT_EQ(140, rc.left);
                             EXPECT_EQ(90, rc.top);
                             EXPECT_TRUE(ItemText(dlg, 102) == L"|");
                             EXPECT_TRUE(ItemText(dlg, 104) == L"Unicode");
                             Click(dlg, IDCANCEL);
                         });
    EXPECT_TRUE(again.Run([&] { e.Run(list_.Open(), file.c_str(), list_.Fields()); }));
    EXPECT_FALSE(wintest::FileExists(file));
}

TEST_F(ExportDialogs, DelimitersNoLineCouldCarryAreRefused)
{
    list_.AddRows(1, 3);
    CTextExport e(GetModuleHandleW(nullptr), nullptr);
    std::wstring file = list_.Folder().File(L"export.txt");
    wintest::MsgBoxRecorder boxes;
    DialogScript script;
    script.Then(kTextOptions, [&](HWND dlg) {
        for (const wchar_t* bad : {L"", L"\"", L"a\"b"}) {
            SetDlgItemTextW(dlg, 102, bad);
            ExpectRefused(dlg, boxes, L"Vložená hodnota je neplatná");
        }
        Click(dlg, IDCANCEL);
    });
    EXPECT_TRUE(script.Run([&] { e.Run(list_.Open(), file.c_str(), list_.Fields()); }));
    EXPECT_STREQ(L"\t", e.Delimiter);
    EXPECT_FALSE(wintest::FileExists(file));
}

TEST_F(ExportDialogs, ASecondQuickPressWaitsForTheWorkersEnd)
{
    list_.AddRows(1, 200000);
    CTextExport e(GetModuleHandleW(nullptr), nullptr);
    std::wstring file = list_.Folder().File(L"zruseno.txt"), endText;
    HANDLE worker = nullptr;
    DialogScript script;
    script.Then(kTextOptions, PressOk).Then(kProgress, [&](HWND dlg) {
        DuplicateHandle(GetCurrentProcess(), e.Worker, GetCurrentProcess(), &worker, 0, FALSE, DUPLICATE_SAME_ACCESS);
        wintest::SaveScreenshot(dlg, L"progressdlg_running");
        Click(dlg, 105);
        Click(dlg, IDCANCEL);  // Esc and the close box act as the button
        EXPECT_TRUE(IsWindow(dlg));
        CloseWhenDone(dlg, nullptr, &endText);
    });
    EXPECT_TRUE(script.Run([&] { e.Run(list_.Open(), file.c_str(), list_.Fields()); }));
    ASSERT_TRUE(worker != nullptr);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker, 0));  // ended before Run returned
    CloseHandle(worker);
    EXPECT_TRUE(endText == L"Export dokončen");
    int lines = Lines(wintest::ReadFileBytes(file));
    EXPECT_GE(lines, 1);
    EXPECT_LT(lines, 200001);
}

// A worker whose list does not know its count: progress comes, no bar is drawn or divided by.
DWORD WINAPI CountlessWorker(LPVOID p)
{
    ExportRun* run = static_cast<ExportRun*>(p);
    ExportReporter report(run);
    for (int rows = 0; rows <= 60 && !report.Cancelled(); rows += 20) {
        SendMessageW(*run->DialogSlot, ZM_EXPORT_PROGRESS, 0, rows);
        Sleep(20);
    }
    report.Finish(ExportOutcome());
    return 0;
}

TEST_F(ExportDialogs, AListWithoutACountGetsNoBar)
{
    std::atomic<int> cancel{0};
    HWND dialog = nullptr;
    ExportRun run;
    run.Instance = GetModuleHandleW(nullptr);
    run.ProgressFormat = L"%d zápisů vyexportováno";
    run.RowCount = 0;
    run.Cancel = &cancel;
    run.DialogSlot = &dialog;
    HANDLE worker = nullptr;
    std::wstring endText;
    DialogScript script;
    script.Then(kProgress, [&](HWND dlg) {
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(dlg, 104)));
        CloseWhenDone(dlg, nullptr, &endText);
    });
    EXPECT_TRUE(script.Run([&] { RunExportWorker(nullptr, &run, &worker, CountlessWorker, &run); }));
    EXPECT_TRUE(endText == L"Export dokončen");
    EXPECT_EQ(nullptr, worker);
    EXPECT_EQ(nullptr, dialog);
}

// Both exports into a folder that is missing and into one that cannot be written (sysfs takes no
// new file, even from root): one box names the file and the system's reason, in Czech; the
// dialog's end only says that the export failed.
TEST_F(ExportDialogs, AnUnwritableFileIsReportedInsteadOfTheEnd)
{
    list_.AddRows(1, 3);
    const struct {
        bool excel;
        std::wstring file;
        DWORD reason;
    } cases[] = {
        {false, list_.Folder().File(L"chybi\\export.txt"), ERROR_PATH_NOT_FOUND},
        {true, list_.Folder().File(L"chybi\\export.xls"), ERROR_DIRECTORY},
        {false, L"Z:\\sys\\export.txt", ERROR_ACCESS_DENIED},
        {true, L"Z:\\sys\\export.xls", ERROR_ACCESS_DENIED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.file));
        wchar_t reason[256] = L"";
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, c.reason, 0, reason, 256, nullptr);
        std::wstring expected = L"Soubor „" + c.file + L"“ nelze zapsat.\r\n" + reason;
        expected.erase(expected.find_last_not_of(L"\r\n ") + 1);
        CTextExport text(GetModuleHandleW(nullptr), nullptr);
        CExcelExport excel(GetModuleHandleW(nullptr), nullptr);
        std::wstring endText;
        wintest::MsgBoxRecorder boxes;
        DialogScript script;
        script.Then(c.excel ? kExcelOptions : kTextOptions, PressOk)
            .Then(kProgress, ClosingWhenDone(c.excel ? L"progressdlg_error_xls" : L"progressdlg_error", &endText));
        EXPECT_TRUE(script.Run([&] {
            if (c.excel)
                excel.Run(list_.Open(), c.file.c_str(), list_.Fields(), L"List");
            else
                text.Run(list_.Open(), c.file.c_str(), list_.Fields());
        }));
        EXPECT_TRUE(endText == L"Export se nezdařil.") << Narrow(endText);
        ASSERT_EQ(1u, boxes.Boxes().size());
        EXPECT_TRUE(boxes.Boxes()[0].text == expected) << Narrow(boxes.Boxes()[0].text);
        EXPECT_TRUE(boxes.Boxes()[0].caption == L"Chyba");
    }
}

TEST_F(ExportDialogs, SheetNamesAreCheckedBeforeANewWorkbookIsWritten)
{
    list_.AddRows(1, 20);
    CExcelExport e(GetModuleHandleW(nullptr), nullptr);
    std::wstring file = list_.Folder().File(L"nový.xls"), endText;
    wintest::MsgBoxRecorder boxes;
    DialogScript script;
    script.Then(kExcelOptions, [&](HWND dlg) {
                              EXPECT_TRUE(ItemText(dlg, 102) == L"Carabus_auratus");
                              for (int id = 103; id <= 105; ++id)
                                  EXPECT_FALSE(IsWindowVisible(GetDlgItem(dlg, id))) << id;
                              wintest::SaveScreenshot(dlg, L"exptoxls_new");
                              const std::wstring rule = L"Název listu musí mít 1 až 31 znaků, nesmí obsahovat "
                                                        L"žádný ze znaků : \\ / ? * [ ] a nesmí začínat ani "
                                                        L"končit apostrofem (').";
                              for (const wchar_t* name : {L"Brno: Hády", L"abcdefghijklmnopqrstuvwxyz123456",
                                                          L"Výběr čtverců 6370 a okolních 12 polí.", L"'Výběr",
                                                          L"a[1]", L"a/b", L"a*b", L"a?b", L""}) {
                                  SetDlgItemTextW(dlg, 102, name);
                                  ExpectRefused(dlg, boxes, rule);
                              }
                              wintest::SaveScreenshot(dlg, L"exptoxls_bad_name");
                              SetDlgItemTextW(dlg, 102, L"Výběr 1");
                              Click(dlg, IDOK);
                          }).Then(kProgress, ClosingWhenDone(L"progressdlg_xls_done", &endText));
    EXPECT_TRUE(script.Run([&] { e.Run(list_.Open(), file.c_str(), list_.Fields(), L"Carabus_auratus"); }));
    EXPECT_TRUE(endText == L"Export dokončen");
    EXPECT_STREQ(L"Výběr 1", e.SheetName);
    bookcheck::Book book;
    std::string why;
    ASSERT_TRUE(bookcheck::Load(file, &book, &why)) << why;
    ASSERT_EQ(1u, book.sheets.size());
    EXPECT_TRUE(book.sheets[0].name == L"Výběr 1");
    EXPECT_EQ(21, book.sheets[0].rows);
}

TEST_F(ExportDialogs, AnExistingWorkbookTakesASheetOrIsReplaced)
{
    list_.AddRows(1, 20);
    CExcelExport e(GetModuleHandleW(nullptr), nullptr);
    std::wstring file = list_.Folder().File(L"sešit.xls"), endText;
    auto accept = [](const wchar_t* name, bool append) {
        return [name, append](HWND dlg) {
            SetDlgItemTextW(dlg, 102, name);
            CheckRadioButton(dlg, 104, 105, append ? 104 : 105);
            Click(dlg, IDOK);
        };
    };
    auto run = [&] { e.Run(list_.Open(), file.c_str(), list_.Fields(), L"Výběr"); };
    {
        DialogScript first;
        first.Then(kExcelOptions, accept(L"Výběr", false)).Then(kProgress, ClosingWhenDone(nullptr, &endText));
        EXPECT_TRUE(first.Run(run));
    }
    wintest::MsgBoxRecorder boxes;
    {
        DialogScript second;
        second.Then(kExcelOptions, [&](HWND dlg) {
                                  for (int id = 103; id <= 105; ++id)
                                      EXPECT_TRUE(IsWindowVisible(GetDlgItem(dlg, id))) << id;
                                  EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(dlg, 104));
                                  HWND combo = GetDlgItem(dlg, 102);
                                  EXPECT_EQ(1, SendMessageW(combo, CB_GETCOUNT, 0, 0));
                                  wintest::SaveScreenshot(dlg, L"exptoxls_existing");
                                  SetDlgItemTextW(dlg, 102, L"VÝBĚR");  // the same name in capitals
                                  ExpectRefused(dlg, boxes,
                                                L"V daném excelovském souboru již existuje list stejného názvu. "
                                                L"Zvolte prosím jiný název.");
                                  SetDlgItemTextW(dlg, 102, L"Další");
                                  Click(dlg, IDOK);
                              }).Then(kProgress, ClosingWhenDone(nullptr, &endText));
        EXPECT_TRUE(second.Run(run));
    }
    EXPECT_EQ(1, e.Append);
    bookcheck::Book book;
    std::string why;
    ASSERT_TRUE(bookcheck::Load(file, &book, &why)) << why;
    ASSERT_EQ(2u, book.sheets.size());
    EXPECT_TRUE(book.sheets[1].name == L"Další");
    {
        DialogScript third;
        third.Then(kExcelOptions, accept(L"VÝBĚR", false)).Then(kProgress, ClosingWhenDone(nullptr, &endText));
        EXPECT_TRUE(third.Run(run));
    }
    EXPECT_EQ(0, e.Append);
    ASSERT_TRUE(bookcheck::Load(file, &book, &why)) << why;
    ASSERT_EQ(1u, book.sheets.size());
    EXPECT_TRUE(book.sheets[0].name == L"VÝBĚR");
}

TEST_F(ExportDialogs, AFileThatTakesNoSheetIsRefusedForAddingOnly)
{
    list_.AddRows(1, 5);
    CExcelExport e(GetModuleHandleW(nullptr), nullptr);
    std::wstring file = list_.Folder().File(L"tabulka.xls"), endText;
    ASSERT_TRUE(wintest::WriteUtf8File(file, L"Druh;Počet\r\nCarabus;3\r\n"));
    wintest::MsgBoxRecorder boxes;
    DialogScript script;
    script.Then(kExcelOptions, [&](HWND dlg) {
                              EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(dlg, 104));
                              ExpectRefused(dlg, boxes,
                                            L"Soubor „" + file +
                                                L"“ není sešit MS Excel 97–2003, do kterého lze přidat list. "
                                                L"Zvolte Přepsat nebo jiný soubor.");
                              CheckRadioButton(dlg, 104, 105, 105);
                              Click(dlg, IDOK);
                          }).Then(kProgress, ClosingWhenDone(nullptr, &endText));
    EXPECT_TRUE(script.Run([&] { e.Run(list_.Open(), file.c_str(), list_.Fields(), L"Výběr"); }));
    EXPECT_TRUE(endText == L"Export dokončen");
    bookcheck::Book book;
    std::string why;
    EXPECT_TRUE(bookcheck::Load(file, &book, &why)) << why;
}

TEST_F(ExportDialogs, AListLongerThanASheetIsRefusedBeforeTheDialog)
{
    list_.AddRows(1, 65536);
    CExcelExport e(GetModuleHandleW(nullptr), nullptr);
    std::wstring file = list_.Folder().File(L"velky.xls");
    wintest::MsgBoxRecorder boxes;
    DialogScript script;
    script.Then(kExcelOptions, [](HWND dlg) { Click(dlg, IDCANCEL); });
    EXPECT_FALSE(script.Run([&] { e.Run(list_.Open(), file.c_str(), list_.Fields(), L"Výběr"); }));
    EXPECT_EQ(0u, script.StepsDone());  // no options dialog
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_TRUE(boxes.Boxes()[0].text ==
                L"List sešitu MS Excel pojme nejvýše 65535 zápisů, seznam jich obsahuje 65536. Zužte výběr nebo "
                L"zápisy exportujte do textového souboru.")
        << Narrow(boxes.Boxes()[0].text);
    EXPECT_FALSE(wintest::FileExists(file));
}

}  // namespace
