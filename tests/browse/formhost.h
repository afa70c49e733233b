// The program's own main form on a copy of a sample database with a known part of each tree
// (tests/core/treetemplate.h), for the tests of tree editing: what the cards and dialogs send
// reaches the real handlers and the database object, and the tests check the file with SQL.
// Also: real mouse and keyboard input, modal dialogs driven from a timer in their own loop,
// and the logging of the main window's private messages.
#pragma once
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "browse/treecard.h"
#include "browse/workspace.h"
#include "controls/plexa.h"
#include "core/database.h"
#include "core/treefill.h"
#include "mainapp/mainform.h"
#include "shellcontract/zm_protocol.h"
#include "tests/core/treetemplate.h"
#include "tools/testkit/workspacefile.h"
#include "tests/support/wintest.h"

namespace formtest {

struct Sent
{
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
};

// What the main window was sent: its private messages and the commands components send.
inline std::vector<Sent>& SentLog()
{
    static std::vector<Sent> log;
    return log;
}

inline LRESULT CALLBACK LogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                DWORD_PTR)
{
    // The item commands a card sends itself (code 2), not its view announcements.
    if ((msg >= ZM_FIRST && msg <= ZM_LAST && msg != ZM_GET_LIST_CELL_TEXT)
        || (msg == WM_COMMAND && HIWORD(wParam) == 2 && LOWORD(wParam) >= 301 && LOWORD(wParam) <= 304))
        SentLog().push_back({msg, wParam, lParam});
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

// The first message of the kind in the log; null when none.
inline const Sent* FirstSent(UINT msg)
{
    for (const Sent& s : SentLog())
        if (s.Msg == msg)
            return &s;
    return nullptr;
}

inline int CountSent(UINT msg)
{
    int n = 0;
    for (const Sent& s : SentLog())
        n += s.Msg == msg;
    return n;
}

// The template: a small sample with the known trees added, made once per test program.
inline std::wstring EditTemplate()
{
    zor::SampleDbOptions options;
    options.records = 300;
    return SharedSampleTemplate(L"treeedittemplate", options,
                                std::vector<std::wstring>(std::begin(treetest::kTreeRows),
                                                          std::end(treetest::kTreeRows)));
}

// Removes a folder and everything in it.
inline void RemoveFolder(const std::wstring& folder)
{
    std::wstring from = folder + L'\0';
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationW(&op);
}

class FormHost
{
public:
    // Starts the main form on a fresh copy of the template in a folder of its own, after the
    // statements given have changed the copy.
    bool Open(const wchar_t* folderName, const std::vector<std::wstring>& prepare = {})
    {
        std::wstring from = EditTemplate();
        if (from.empty())
            return false;
        Folder = wintest::MakeTempFolder(folderName);
        Db = Folder + L"\\ZorBase.mdb";
        if (!CopyFileW(from.c_str(), Db.c_str(), FALSE))
            return false;
        for (const std::wstring& sql : prepare)
            if (!dbtest::Exec(Db, sql))
                return false;
        std::wstring settings = Folder + L"\\Pracovni.xml";
        wstest::WriteConnectionOnly(settings, Db.c_str());
        registry_.reset(new wstest::LastConfigFile(settings));
        SetEnvironmentVariableW(L"ZORNA_SPLASH_MS", L"30");
        RegisterPlexaW(PLEXA_INPLACECOMBOBOX | PLEXA_PROPERTYBOX | PLEXA_IMGBUTTON);
        wintest::MsgBoxRecorder boxes;
        Form = new MainForm(GetModuleHandleW(nullptr), MainFormDlgProc, &Wnd, &accel_);
        if (!Wnd)
            return false;
        SetWindowPos(Wnd, HWND_TOP, 0, 0, 960, 640, SWP_SHOWWINDOW);
        SetForegroundWindow(Wnd);
        wintest::PumpMessages(50);
        SetWindowSubclass(Wnd, LogProc, 1, 0);
        SentLog().clear();
        return Form->Database && Form->Database->IsOpen() == 1;
    }

    void Close()
    {
        if (Wnd && IsWindow(Wnd)) {
            RemoveWindowSubclass(Wnd, LogProc, 1);
            DestroyWindow(Wnd);
        }
        wintest::PumpMessages();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
            ;
        delete Form;
        Form = nullptr;
        Wnd = nullptr;
        registry_.reset();
        SetEnvironmentVariableW(L"ZORNA_SPLASH_MS", nullptr);
        if (!Folder.empty())
            RemoveFolder(Folder);
    }

    CDatabase* Db_() const { return Form->Database; }
    Workspace* Ws() const { return Form->Workspace_; }
    CTreeCard* Card(int tab) const { return tab == TAB_SYSTEM ? Ws()->SysCard : Ws()->LocCard; }

    // Brings a tab to the front as a click on it does.
    void ShowTab(int tab)
    {
        HWND tabs = GetDlgItem(Wnd, kWorkspaceTabControlId);
        Ws()->HidePage(Wnd);
        SendMessageW(tabs, TCM_SETCURSEL, tab, 0);
        Ws()->ShowPage(Wnd);
        wintest::PumpMessages(30);
    }

    // Selects an item of the card in front through its id path.
    HTREEITEM Select(int tab, int id)
    {
        CIntArray path(16, 4);
        if (tab == TAB_SYSTEM)
            Db_()->GetSysIdPath(&path, id, 0);
        else
            Db_()->GetLocIdPath(&path, id, 0);
        HWND tree = Card(tab)->GetTreeView();
        SelectTreePath(tree, &path);
        wintest::PumpMessages(30);
        return Item(tab, id);
    }

    HTREEITEM Item(int tab, int id) const
    {
        return id == 0 ? (HTREEITEM)SendMessageW(Card(tab)->GetTreeView(), TVM_GETNEXTITEM, TVGN_ROOT, 0)
                       : FindTreeItemById(id, Card(tab)->GetTreeView(), nullptr);
    }

    // Plain SQL on the file.
    dbtest::Rows Query(const std::wstring& sql) const { return dbtest::Query(Db, sql); }
    std::wstring Text(const std::wstring& sql) const { return dbtest::First(Db, sql); }
    std::vector<std::wstring> Column(const std::wstring& sql) const
    {
        std::vector<std::wstring> values;
        for (const auto& row : Query(sql))
            values.push_back(row[0]);
        return values;
    }

    HWND Wnd = nullptr;
    MainForm* Form = nullptr;
    std::wstring Folder;
    std::wstring Db;

private:
    HACCEL accel_ = nullptr;
    std::unique_ptr<wstest::LastConfigFile> registry_;
};

// ---- real input ----

inline void SendMouse(POINT screen, DWORD flags)
{
    INPUT in = {};
    in.type = INPUT_MOUSE;
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    in.mi.dx = (LONG)(((long long)screen.x * 65536 + w / 2) / w);
    in.mi.dy = (LONG)(((long long)screen.y * 65536 + h / 2) / h);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
    SendInput(1, &in, sizeof(in));
}

inline void SendKey(WORD key)
{
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = key;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
}

inline POINT ScreenPoint(HWND window, POINT client)
{
    ClientToScreen(window, &client);
    return client;
}

// The middle of a tree item's label, its top edge + dy when dy is given (>= 0).
inline POINT LabelPoint(HWND tree, HTREEITEM item, int dy = -1)
{
    RECT r;
    TreeItemLabelRect(tree, item, &r);
    POINT p = {(r.left + r.right) / 2, dy >= 0 ? r.top + dy : (r.top + r.bottom) / 2};
    return ScreenPoint(tree, p);
}

inline POINT RowPoint(HWND list, int row)
{
    RECT r = {LVIR_LABEL};
    SendMessageW(list, LVM_GETITEMRECT, row, (LPARAM)&r);
    return ScreenPoint(list, POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

// Presses the left button at a point and moves it past the drag threshold, until the card has
// taken the drag (false when it never does).
inline bool StartDrag(CTreeCard* card, POINT from)
{
    SendMouse(from, 0);
    // A press soon after the last one at the same place would be a double click.
    wintest::PumpMessages(GetDoubleClickTime() + 20);
    SendMouse(from, MOUSEEVENTF_LEFTDOWN);
    SendMouse(POINT{from.x + 3, from.y + 14}, 0);
    return wintest::PumpUntil([card] { return card->DragMode != 0; }, 2000);
}

// Moves the held button to a point and lets the card see it.
inline void DragTo(POINT to)
{
    SendMouse(POINT{to.x + 1, to.y}, 0);
    wintest::PumpMessages(20);
    SendMouse(to, 0);
    wintest::PumpMessages(30);
}

inline void Release(POINT at)
{
    SendMouse(at, MOUSEEVENTF_LEFTUP);
    wintest::PumpMessages(60);
}

// ---- modal dialogs ----

// Runs the action on the first dialog the main window owns once it shows, from a timer inside
// the dialog's own loop; a dialog still open five seconds later is cancelled (and counted).
class OnDialog
{
public:
    OnDialog(HWND owner, std::function<void(HWND)> action) : owner_(owner), action_(std::move(action))
    {
        current_ = this;
        timer_ = SetTimer(nullptr, 0, 25, Tick);
    }
    ~OnDialog()
    {
        KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    bool Ran() const { return ran_; }
    bool TimedOut() const { return timedOut_; }

private:
    static BOOL CALLBACK Find(HWND hwnd, LPARAM lParam)
    {
        OnDialog* self = reinterpret_cast<OnDialog*>(lParam);
        wchar_t cls[16] = L"";
        GetClassNameW(hwnd, cls, 16);
        if (wcscmp(cls, L"#32770") == 0 && IsWindowVisible(hwnd) && GetWindow(hwnd, GW_OWNER) == self->owner_) {
            self->dialog_ = hwnd;
            return FALSE;
        }
        return TRUE;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        OnDialog* self = current_;
        if (!self)
            return;
        if (!self->ran_) {
            self->dialog_ = nullptr;
            EnumThreadWindows(GetCurrentThreadId(), Find, (LPARAM)self);
            if (!self->dialog_)
                return;
            self->ran_ = true;
            self->started_ = GetTickCount();
            self->action_(self->dialog_);
            return;
        }
        if (IsWindow(self->dialog_) && GetTickCount() - self->started_ > 5000) {
            self->timedOut_ = true;
            EndDialog(self->dialog_, 0);
        }
    }
    static OnDialog* current_;
    HWND owner_;
    std::function<void(HWND)> action_;
    UINT_PTR timer_ = 0;
    HWND dialog_ = nullptr;
    bool ran_ = false;
    bool timedOut_ = false;
    DWORD started_ = 0;
};
inline OnDialog* OnDialog::current_ = nullptr;

}  // namespace formtest
