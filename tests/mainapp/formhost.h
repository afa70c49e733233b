// The program's own main form on a copy of a generated sample database, for the tests that
// drive real windows through the main window's private messages, with plain SQL on the file for
// checking what they wrote.
#pragma once
#include <windows.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "browse/workspace.h"
#include "core/database.h"
#include "core/rawodbc.h"
#include "core/sampledb.h"
#include "mainapp/mainform.h"
#include "mainapp/wssettings.h"
#include "tests/core/sampletemplate.h"
#include "tests/support/wintest.h"

namespace formhost {

using Rows = std::vector<std::vector<std::wstring>>;

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
