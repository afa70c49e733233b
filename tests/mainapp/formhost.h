// The program's own main form opened on a fresh copy of a generated sample database, for window
// tests of the dialogs the main window runs: the workspace file names the copy, the form loads
// it as the program does, and the tests send it commands and check the file with plain SQL.
#pragma once
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "browse/workspace.h"
#include "controls/plexa.h"
#include "core/database.h"
#include "mainapp/mainform.h"
#include "shellcontract/zm_protocol.h"
#include "tools/testkit/rawodbc.h"
#include "tools/sampledb/sampledb.h"
#include "mainapp/wssettings.h"
#include "tests/core/dbfixture.h"
#include "tests/core/sampletemplate.h"
#include "tools/testkit/workspacefile.h"
#include "tests/support/dialogscript.h"
#include "tests/support/wintest.h"

namespace formhost {

using Rows = std::vector<std::vector<std::wstring>>;

// A generated sample of that many records with the statements run on it, made once per test
// program for each folder name and deleted with its folder when the program ends.
inline std::wstring SampleWith(const wchar_t* folder, int records,
                               const std::vector<std::wstring>& statements)
{
    struct Folders {
        std::vector<std::wstring> made;
        ~Folders()
        {
            for (const std::wstring& path : made)
                wintest::RemoveFolder(path.substr(0, path.find_last_of(L'\\')));
        }
    };
    static Folders folders;
    zor::SampleDbOptions options;
    options.records = records;
    std::wstring path = SharedSampleTemplate(folder, options, statements);
    if (!path.empty() && std::find(folders.made.begin(), folders.made.end(), path) == folders.made.end())
        folders.made.push_back(path);
    return path;
}

class FormOnDatabase : public ::testing::Test {
protected:
    // The sample database this suite copies for each test.
    virtual std::wstring TemplatePath() = 0;
    // Runs on the copy before the form opens it.
    virtual void Prepare() {}

    void SetUp() override
    {
        RegisterPlexaW(PLEXA_ALLCLASSES);
        folder_ = wintest::MakeTempFolder(dbtest::TestFolderName("form_").c_str());
        std::wstring from = TemplatePath();
        ASSERT_FALSE(from.empty());
        path_ = folder_ + L"\\ZorBase.mdb";
        ASSERT_TRUE(CopyFileW(from.c_str(), path_.c_str(), FALSE));
        Prepare();
        std::wstring settings = folder_ + L"\\Pracovni.xml";
        wstest::WriteConnectionOnly(settings, path_.c_str());
        last_.reset(new wstest::LastConfigFile(settings));
        boxes_.reset(new wintest::MsgBoxRecorder());
        SetEnvironmentVariableW(L"ZORNA_SPLASH_MS", L"30");
        ASSERT_NO_FATAL_FAILURE(OpenForm());
    }

    void TearDown() override
    {
        CloseForm(false);
        boxes_.reset();
        last_.reset();
        SetEnvironmentVariableW(L"ZORNA_SPLASH_MS", nullptr);
        wintest::RemoveFolder(folder_);
    }

    // The program's start on the workspace file, up to the loaded database.
    void OpenForm()
    {
        form_ = new MainForm(GetModuleHandleW(nullptr), MainFormDlgProc, &wnd_, &accel_);
        ASSERT_TRUE(wnd_ != nullptr);
        SetWindowPos(wnd_, nullptr, 0, 0, 960, 640, SWP_NOZORDER | SWP_NOMOVE);
        wintest::PumpMessages();
        ASSERT_TRUE(form_->Database && form_->Database->IsOpen() == 1);
        ws_ = form_->Workspace_;
    }

    // The program's end; with save as the user closes it, writing the workspace file.
    void CloseForm(bool save)
    {
        if (wnd_ && IsWindow(wnd_)) {
            if (save)
                SendMessageW(wnd_, WM_CLOSE, 0, 0);
            else
                DestroyWindow(wnd_);
        }
        wintest::PumpMessages();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
            ;
        delete form_;
        form_ = nullptr;
        wnd_ = nullptr;
        ws_ = nullptr;
    }

    // The page of a tab made current, as a click on the tab does.
    void ShowTab(int tab)
    {
        ws_->HidePage(wnd_);
        SendMessageW(GetDlgItem(wnd_, kWorkspaceTabControlId), TCM_SETCURSEL, tab, 0);
        ws_->ShowPage(wnd_);
        wintest::PumpMessages();
    }

    // Selects an item in the systematic (0) or locality (1) card.
    void GotoItem(int card, int id)
    {
        SendMessageW(wnd_, ZM_GOTO_TREE_ITEM, (WPARAM)card, (LPARAM)id);
        wintest::PumpMessages();
    }

    // Sends a command to the main window while the script drives the dialogs it opens.
    bool Command(int id, wintest::DialogScript& script, LPARAM lParam = 0, WORD code = 0)
    {
        return script.Run([&] { SendMessageW(wnd_, WM_COMMAND, MAKEWPARAM(id, code), lParam); });
    }

    long long Int(const std::wstring& sql) { return dbtest::QueryInt(path_, sql); }
    std::wstring Text(const std::wstring& sql) { return dbtest::First(path_, sql); }
    const std::vector<wintest::MsgBoxRecorder::Box>& Boxes() const { return boxes_->Boxes(); }

    std::wstring folder_, path_;
    MainForm* form_ = nullptr;
    Workspace* ws_ = nullptr;
    HWND wnd_ = nullptr;
    HACCEL accel_ = nullptr;
    std::unique_ptr<wstest::LastConfigFile> last_;
    std::unique_ptr<wintest::MsgBoxRecorder> boxes_;
};

// ---- one main form that a whole suite shares ----
inline void WriteUtf8(const std::wstring& path, const std::wstring& text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), nullptr, 0, nullptr,
                                nullptr);
    std::string bytes((size_t)n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), &bytes[0], n, nullptr, nullptr);
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    CloseHandle(f);
}

// The program's own main form, built as the program builds it: its first showing reads the
// workspace file, which names a copy of the sample database, and runs the splash, in whose loop
// the connection's ZM_DB_OPENED reaches MainFormDlgProc and through it DispatchZmMessage.
struct Host
{
    HWND Wnd = nullptr;
    HWND Tab = nullptr;
    MainForm* Form = nullptr;
    HACCEL Accel = nullptr;
    std::wstring Path;

    // A workspace file that names the database (none: the settings name no database file).
    bool Start(const std::wstring& database)
    {
        Path = database;
        wintest::MsgBoxRecorder boxes;
        SetEnvironmentVariableW(L"ZORNA_SPLASH_MS", L"30");
        std::wstring settings = wintest::MakeTempFolder(L"protocol_form") + L"\\Pracovni.xml";
        WriteUtf8(settings, L"<?xml version=\"1.0\"?>\r\n<Settings>\r\n<System>\r\n"
                            L"<Connection ConnType=\"1\" DBName=\"" + database +
                                L"\"/>\r\n</System>\r\n</Settings>\r\n");
        WriteLastConfigPath(settings.c_str());
        Form = new MainForm(GetModuleHandleW(nullptr), MainFormDlgProc, &Wnd, &Accel);
        if (!Wnd)
            return false;
        Tab = GetDlgItem(Wnd, kWorkspaceTabControlId);
        SetWindowPos(Wnd, nullptr, 0, 0, 960, 640, SWP_NOZORDER | SWP_NOMOVE);
        wintest::PumpMessages();
        return true;
    }

    bool Open(const std::wstring& database)
    {
        return Start(database) && Form->Database && Form->Database->IsOpen() == 1;
    }

    void Close()
    {
        if (Wnd && IsWindow(Wnd))
            DestroyWindow(Wnd);
        wintest::PumpMessages();  // the quit message the window posted
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
            ;
        delete Form;
        Form = nullptr;
        Wnd = nullptr;
        SetEnvironmentVariableW(L"ZORNA_SPLASH_MS", nullptr);
    }

    CDatabase* Db() const { return Form->Database; }
    Workspace* Ws() const { return Form->Workspace_; }
};

inline std::wstring SampleTemplate()
{
    static std::wstring made;
    if (!made.empty())
        return made;
    zor::SampleDbOptions options;
    options.records = 400;
    made = MakeSampleTemplate(L"protocoltemplate", options);
    return made;
}

inline std::wstring CopyOfSample(const wchar_t* folderName)
{
    std::wstring from = SampleTemplate();
    if (from.empty())
        return L"";
    std::wstring path = wintest::MakeTempFolder(folderName) + L"\\ZorBase.mdb";
    return CopyFileW(from.c_str(), path.c_str(), FALSE) ? path : L"";
}

inline Rows Query(const std::wstring& path, const std::wstring& sql)
{
    zor::RawOdbc raw;
    Rows rows;
    EXPECT_TRUE(raw.Open(path, false));
    EXPECT_TRUE(raw.Query(sql, rows)) << std::string(sql.begin(), sql.end());
    return rows;
}

inline int QueryInt(const std::wstring& path, const std::wstring& sql)
{
    Rows rows = Query(path, sql);
    return rows.empty() || rows[0].empty() ? -1 : _wtoi(rows[0][0].c_str());
}

inline std::wstring TextOf(const std::wstring& path, const std::wstring& sql)
{
    Rows rows = Query(path, sql);
    return rows.empty() || rows[0].empty() ? L"" : rows[0][0];
}

}  // namespace formhost
