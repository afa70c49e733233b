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
#include "mainapp/zm_protocol.h"
#include "core/sampledb.h"
#include "tests/core/dbfixture.h"
#include "tests/core/sampletemplate.h"
#include "tests/mainapp/workspacefile.h"
#include "tests/support/dialogscript.h"
#include "tests/support/wintest.h"

namespace formhost {

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

}  // namespace formhost
