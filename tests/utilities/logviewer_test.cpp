// The import log: where it lies and its deletion; and the viewer that shows it, opened for real
// on logs written in the system's code page (1250 under the tests' Czech locale).
#include <windows.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "import/importlog.h"
#include "resources/tarnix/resource.h"
#include "tests/support/wintest.h"
#include "tests/structure/tarnixtest.h"
#include "utilities/logviewer.h"

namespace {

using tarnixtest::Inst;
using wintest::RectIn;
using wintest::WindowText;

SYSTEMTIME At(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s)
{
    SYSTEMTIME t = {};
    t.wYear = y;
    t.wMonth = mo;
    t.wDay = d;
    t.wHour = h;
    t.wMinute = mi;
    t.wSecond = s;
    return t;
}

TEST(ImportLogPath, OneBackslashBeforeTheDatedName)
{
    const SYSTEMTIME t = At(2011, 3, 15, 9, 30, 5);
    struct Case {
        std::wstring folder;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"C:\\data", L"C:\\data\\Imp20110315_093005.log"},
        {L"C:\\data\\", L"C:\\data\\Imp20110315_093005.log"},
        {L"D:\\Zorna data\\logy", L"D:\\Zorna data\\logy\\Imp20110315_093005.log"},
    };
    for (const Case& c : cases) {
        wchar_t path[260];
        EXPECT_TRUE(FormatImportLogPath(c.folder, t, path, 260));
        EXPECT_EQ(std::wstring(path), c.expected);
    }
    // A folder too long for the path: the default folder instead, never a cut path.
    wchar_t path[260];
    EXPECT_TRUE(FormatImportLogPath(L"C:\\" + std::wstring(250, L'x'), t, path, 260));
    std::wstring made = path;
    EXPECT_NE(made.find(L"\\Kelvane\\Zorna2011\\Imp20110315_093005.log"), std::wstring::npos);
    EXPECT_FALSE(FormatImportLogPath(L"C:\\data", t, path, 20));
    EXPECT_STREQ(path, L"");
}

TEST(ImportLogPath, TheDataFolderComesFromTheRegistryElseTheCommonFolder)
{
    const wchar_t key[] = L"Software\\Kelvane\\Z211";
    HKEY k = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, &disposition),
              ERROR_SUCCESS);
    RegDeleteValueW(k, L"Z211 Data");
    std::wstring fallback = ImportDataFolder();
    EXPECT_GE(fallback.size(), 19u);
    EXPECT_EQ(fallback.substr(fallback.size() - 19), L"\\Kelvane\\Zorna2011\\");
    const wchar_t folder[] = L"C:\\Zorna\\Logy";
    RegSetValueExW(k, L"Z211 Data", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder), sizeof(folder));
    EXPECT_EQ(ImportDataFolder(), L"C:\\Zorna\\Logy\\");
    ImportLog log = {};
    BuildImportLogPath(&log);
    std::wstring path = GetImportLogPath(&log);
    EXPECT_EQ(path.substr(0, 17), L"C:\\Zorna\\Logy\\Imp");
    EXPECT_EQ(path.size(), 17u + 19u);  // yyyymmdd_hhmmss.log
    EXPECT_EQ(path[25], L'_');
    RegDeleteValueW(k, L"Z211 Data");
    RegCloseKey(k);
    if (disposition == REG_CREATED_NEW_KEY)
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, key);
}

TEST(ImportLogPath, DeletingTheLogTwiceReportsTheSecondFailure)
{
    std::wstring folder = wintest::MakeTempFolder(L"tarnix_log_delete");
    ImportLog log = {};
    wcscpy(log.LogPath, (folder + L"\\Imp20110315_093005.log").c_str());
    ASSERT_TRUE(wintest::WriteUtf8File(log.LogPath, L"x"));
    EXPECT_TRUE(DeleteImportLog(&log));
    EXPECT_FALSE(wintest::FileExists(log.LogPath));
    EXPECT_FALSE(DeleteImportLog(&log));
    RemoveDirectoryW(folder.c_str());
}

// ---- the viewer ----

std::string InCodePage(const std::wstring& text, UINT codePage)
{
    int n = WideCharToMultiByte(codePage, 0, text.c_str(), (int)text.size(), nullptr, 0, nullptr, nullptr);
    std::string bytes((size_t)n, '\0');
    WideCharToMultiByte(codePage, 0, text.c_str(), (int)text.size(), &bytes[0], n, nullptr, nullptr);
    return bytes;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(f, bytes.data(), (DWORD)bytes.size(), &written, nullptr) && written == bytes.size();
    CloseHandle(f);
    return ok;
}

// Shows the log of a file; `inspect` looks at the open dialog, which is then closed with Esc.
void ShowLog(const std::wstring& path, const std::function<void(HWND)>& inspect)
{
    static std::function<void(HWND)> s_inspect;
    s_inspect = inspect;
    LogViewer viewer(Inst());
    ImportLog log = {};
    wcscpy(log.LogPath, path.c_str());
    SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR id, DWORD) {
        HWND dlg = FindWindowW(L"#32770", L"Výsledek importu");
        if (!dlg || !IsWindowVisible(dlg))
            return;
        KillTimer(nullptr, id);
        s_inspect(dlg);
        PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_FALSE(ShowImportLog(&viewer, nullptr, &log));
    // The viewer outlives the import whose log it showed: it keeps no pointer to its source.
    EXPECT_EQ(nullptr, viewer.Source);
}

LogViewer* ViewerOf(HWND dlg)
{
    return reinterpret_cast<LogViewer*>(GetWindowLongPtrW(dlg, GWLP_USERDATA));
}

// The text the dialog shows: its lines joined by CR LF.
std::wstring ShownText(HWND dlg)
{
    int lines = (int)SendDlgItemMessageW(dlg, IDC_LOG_TEXT, LB_GETCOUNT, 0, 0);
    return LogLinesText(ViewerOf(dlg), 0, lines - 1);
}

// A key pressed in the text box with Ctrl held.
void CtrlKey(HWND list, WORD key)
{
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    SendMessageW(list, WM_KEYDOWN, key, 1);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
}

std::wstring ClipboardText()
{
    std::wstring text;
    if (!OpenClipboard(nullptr))
        return L"<no clipboard>";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const wchar_t*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

TEST(LogViewer, AnAnsiLogShowsItsCzechTextInAFixedPitchFont)
{
    ASSERT_EQ(GetACP(), 1250u) << "the tests run under a Czech locale";
    std::wstring folder = wintest::MakeTempFolder(L"tarnix_log_viewer");
    std::wstring path = folder + L"\\Imp20110315_093005.log";
    const std::wstring text = L"Chyba na řádku: 12\r\nDruh nebyl nalezen: Příliš žluťoučký kůň úpěl ďábelské ódy\r\n"
                              L"Chyba na řádku: 40\r\n  Zdroj: Zorna Data Access\r\n  Popis: Hodnota se nevejde.\r\n";
    ASSERT_TRUE(WriteBytes(path, InCodePage(text, 1250)));
    std::wstring shown, pathShown, copied, copiedLine;
    bool fixedPitch = false;
    int narrow = 0, wide = 0;
    RECT edit0 = {}, edit1 = {}, del0 = {}, del1 = {}, close0 = {}, close1 = {}, client0 = {}, client1 = {};
    bool openAfterDelete = false, fileGone = false;
    ShowLog(path, [&](HWND dlg) {
        shown = ShownText(dlg);
        pathShown = WindowText(GetDlgItem(dlg, IDC_LOG_PATH));
        HWND edit = GetDlgItem(dlg, IDC_LOG_TEXT);
        // Ctrl+A and Ctrl+C copy every line; one line selected copies that line.
        CtrlKey(edit, 'A');
        CtrlKey(edit, 'C');
        copied = ClipboardText();
        SendMessageW(edit, LB_SETSEL, FALSE, -1);
        SendMessageW(edit, LB_SETSEL, TRUE, 1);
        CtrlKey(edit, 'C');
        copiedLine = ClipboardText();
        HDC dc = GetDC(edit);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(edit, WM_GETFONT, 0, 0)));
        SIZE a, b;
        GetTextExtentPoint32W(dc, L"iiiiiiiiii", 10, &a);
        GetTextExtentPoint32W(dc, L"MMMMMMMMMM", 10, &b);
        narrow = a.cx;
        wide = b.cx;
        TEXTMETRICW tm;
        GetTextMetricsW(dc, &tm);
        fixedPitch = (tm.tmPitchAndFamily & TMPF_FIXED_PITCH) == 0;  // the bit means "variable"
        SelectObject(dc, old);
        ReleaseDC(edit, dc);
        wintest::SaveScreenshot(dlg, L"utilities_log_viewer");
        // Enlarged, the text box grows with the dialog; the buttons keep their distance from the bottom.
        GetClientRect(dlg, &client0);
        edit0 = RectIn(edit, dlg);
        del0 = RectIn(GetDlgItem(dlg, IDC_LOG_DELETE), dlg);
        close0 = RectIn(GetDlgItem(dlg, IDCANCEL), dlg);
        RECT w;
        GetWindowRect(dlg, &w);
        SetWindowPos(dlg, nullptr, 0, 0, w.right - w.left + 160, w.bottom - w.top + 90, SWP_NOMOVE | SWP_NOZORDER);
        wintest::PumpMessages(30);
        GetClientRect(dlg, &client1);
        edit1 = RectIn(edit, dlg);
        del1 = RectIn(GetDlgItem(dlg, IDC_LOG_DELETE), dlg);
        close1 = RectIn(GetDlgItem(dlg, IDCANCEL), dlg);
        wintest::SaveScreenshot(dlg, L"utilities_log_viewer_enlarged");
        // Deleting the file twice: the dialog stays, the second deletion finds nothing.
        SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDC_LOG_DELETE, BN_CLICKED), 0);
        fileGone = !wintest::FileExists(path);
        SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDC_LOG_DELETE, BN_CLICKED), 0);
        openAfterDelete = IsWindowVisible(dlg) != FALSE && ShownText(dlg) == shown;
    });
    const std::wstring lines = text.substr(0, text.size() - 2);  // no break after the last line
    EXPECT_EQ(shown, lines);
    EXPECT_EQ(copied, lines);
    EXPECT_EQ(copiedLine, L"Druh nebyl nalezen: Příliš žluťoučký kůň úpěl ďábelské ódy");
    EXPECT_EQ(pathShown, path);
    EXPECT_TRUE(fixedPitch);
    EXPECT_EQ(narrow, wide);
    const int dw = client1.right - client0.right, dh = client1.bottom - client0.bottom;
    EXPECT_GT(dw, 100);
    EXPECT_EQ(edit1.right - edit1.left, edit0.right - edit0.left + dw);
    EXPECT_EQ(edit1.bottom - edit1.top, edit0.bottom - edit0.top + dh);
    EXPECT_EQ(client1.bottom - del1.top, client0.bottom - del0.top);
    EXPECT_EQ(del1.left, del0.left);
    EXPECT_EQ(close1.left, close0.left);
    EXPECT_EQ(client1.bottom - close1.top, client0.bottom - close0.top);
    EXPECT_TRUE(fileGone);
    EXPECT_TRUE(openAfterDelete);
    RemoveDirectoryW(folder.c_str());
}

TEST(LogViewer, MissingEmptyHugeAndNulBearingLogsAllShow)
{
    std::wstring folder = wintest::MakeTempFolder(L"tarnix_log_odd");
    std::string huge;
    for (int i = 0; huge.size() < 3 * 1024 * 1024; ++i)
        huge += "Chyba na \xF8\xE1" "dku: " + std::to_string(i) + "\r\n  Popis: Hodnota nen\xED platn\xE1.\r\n";
    struct Case {
        const wchar_t* name;
        bool write;
        std::string bytes;
        std::wstring expected;
        size_t length;  // when not 0: only the length is checked
    };
    const Case cases[] = {
        {L"missing.log", false, "", L"", 0},
        {L"empty.log", true, "", L"", 0},
        {L"zero-byte.log", true, std::string("p\xF8" "ed\0za\nkonec\r\r\nx", 17), L"před za\r\nkonec\r\n\r\nx", 0},
        {L"huge.log", true, huge, L"", huge.size() - 2},
    };
    for (const Case& c : cases) {
        std::wstring path = folder + L"\\" + c.name;
        if (c.write) {
            ASSERT_TRUE(WriteBytes(path, c.bytes));
        }
        std::wstring shown = L"?";
        ShowLog(path, [&](HWND dlg) { shown = ShownText(dlg); });
        if (c.length) {
            EXPECT_EQ(shown.size(), c.length) << dbtest::Narrow(c.name);
        } else {
            EXPECT_EQ(shown, c.expected) << dbtest::Narrow(c.name);
        }
        DeleteFileW(path.c_str());
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace
