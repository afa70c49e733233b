// Tarnix's main form built for real in-process, for the window tests: a new application object
// whose settings file and program folder are the test's own folder, commands sent as the menus
// send them, databases opened through the connection form with a chosen file, and readers of
// the tabs, pages, levels and attributes.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>
#include <prsht.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "controls/plexa.h"
#include "kavlink/kavlink.h"
#include "resources/tarnix/resource.h"
#include "tests/support/wintest.h"
#include "tests/structure/tarnixtest.h"
#include "utilities/maintapp.h"

namespace tarnixtest {

// The file the connection form is given when a test opens a database.
inline std::wstring& ChosenFile()
{
    static std::wstring path;
    return path;
}

inline BOOL WINAPI ChooseTestFile(OPENFILENAMEW* ofn)
{
    const std::wstring& chosen = ChosenFile();
    if (chosen.empty() || chosen.size() >= ofn->nMaxFile)
        return FALSE;
    wcscpy(ofn->lpstrFile, chosen.c_str());
    return TRUE;
}

class TarnixForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = wintest::MakeTempFolder(dbtest::TestFolderName("tarnix_form_").c_str());
        previousChooser_ = SetConnFileChooser(ChooseTestFile);
    }
    void TearDown() override
    {
        CloseForm();
        SetConnFileChooser(previousChooser_);
        ChosenFile().clear();
    }

    // A new application object whose settings file and program folder are the test's folder.
    void StartForm()
    {
        app_ = new MaintApp(Inst());
        BuildSettingsPath(app_, (folder_ + L"\\Tarnix.exe").c_str());
        form_ = CreateMainForm(app_);
        ASSERT_NE(form_, nullptr);
        wintest::PumpMessages(30);
    }
    void CloseForm()
    {
        if (app_)
            app_->Modified = false;  // a test's unsaved edits go without the save question
        if (form_ && IsWindow(form_))
            SendMessageW(form_, WM_CLOSE, 0, 0);
        form_ = nullptr;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        delete app_;
        app_ = nullptr;
    }
    void Command(WORD id) { SendMessageW(form_, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    void OpenFile(const std::wstring& path)
    {
        ChosenFile() = path;
        Command(IDM_T_OPEN);
        wintest::PumpMessages(20);
    }

    HWND Tabs() { return GetDlgItem(form_, IDC_MAIN_TABS); }
    HWND Page(int tab)
    {
        TCITEMW item = {};
        item.mask = TCIF_PARAM;
        SendMessageW(Tabs(), TCM_GETITEMW, tab, reinterpret_cast<LPARAM>(&item));
        return reinterpret_cast<HWND>(item.lParam);
    }
    void ShowTab(int tab)
    {
        SendMessageW(Tabs(), TCM_SETCURFOCUS, tab, 0);
        wintest::PumpMessages(20);
    }
    std::wstring Status() { return wintest::WindowText(GetDlgItem(form_, IDC_MAIN_STATUS)); }
    UINT MenuState(UINT id) { return GetMenuState(GetMenu(form_), id, MF_BYCOMMAND); }
    POINT Position()
    {
        RECT r;
        GetWindowRect(form_, &r);
        return {r.left, r.top};
    }

    // Level names of a level page with their check boxes.
    std::vector<std::pair<std::wstring, bool>> Levels(int tab)
    {
        std::vector<std::pair<std::wstring, bool>> levels;
        HWND tree = GetDlgItem(Page(tab), IDC_LEVEL_TREE);
        for (HTREEITEM i = TreeView_GetRoot(tree); i; i = TreeView_GetNextSibling(tree, i))
            levels.push_back({wintest::TreeItemText(tree, i), TreeView_GetCheckState(tree, i) == 1});
        return levels;
    }
    // Captions of an attribute page with their check boxes.
    std::vector<std::pair<std::wstring, bool>> Attributes(int tab)
    {
        std::vector<std::pair<std::wstring, bool>> attrs;
        HWND list = GetDlgItem(Page(tab), IDC_ATTR_LIST);
        for (int i = 0; i < ListView_GetItemCount(list); ++i)
            attrs.push_back({wintest::ListCellText(list, i, 0), ListView_GetCheckState(list, i) == 1});
        return attrs;
    }

    std::wstring folder_;
    MaintApp* app_ = nullptr;
    HWND form_ = nullptr;
    ConnFileChooser previousChooser_ = nullptr;
};

// Steps run one per timer tick while the modal windows run; a step answers false to be tried
// again on the next tick.
inline std::vector<std::function<bool()>> g_steps;
inline size_t g_next = 0;
inline bool g_running = false;

inline void CALLBACK NextStep(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_running || g_next >= g_steps.size())
        return;
    g_running = true;
    if (g_steps[g_next]())
        ++g_next;
    g_running = false;
}

// The visible "Import dat" window of this thread: the wizard (it has pages) or the progress dialog.
inline HWND ImportWindow(bool sheet)
{
    struct Search {
        bool sheet;
        HWND found;
    } search = {sheet, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM lParam) -> BOOL {
            Search* s = reinterpret_cast<Search*>(lParam);
            if (IsWindowVisible(hwnd) && wintest::WindowText(hwnd) == L"Import dat" &&
                (PropSheet_GetCurrentPageHwnd(hwnd) != nullptr) == s->sheet) {
                s->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The step that waits for the progress dialog's end ("&OK" on its button), expects success,
// saves its screenshot and closes it.
inline std::function<bool()> ImportDoneStep(const std::wstring& shot)
{
    return [shot] {
        HWND progress = ImportWindow(false);
        if (!progress || wintest::WindowText(GetDlgItem(progress, IDCANCEL)) != L"&OK")
            return false;
        EXPECT_EQ(ResString(IDS_I_IMPORT_DONE), wintest::WindowText(GetDlgItem(progress, IDC_PROGRESS_STATUS)));
        wintest::SaveScreenshot(progress, shot.c_str());
        SendMessageW(progress, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), (LPARAM)GetDlgItem(progress, IDCANCEL));
        return true;
    };
}

// Runs g_steps on a timer while start runs its modal windows; the milliseconds it took.
inline DWORD RunSteps(const std::function<void()>& start)
{
    g_next = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 50, NextStep);
    DWORD began = GetTickCount();
    start();
    KillTimer(nullptr, timer);
    DWORD took = GetTickCount() - began;
    EXPECT_EQ(g_steps.size(), g_next) << "steps left undone after " << took << " ms";
    g_steps.clear();
    return took;
}

// A row of a box changed as the user would: its choice or typed text, then the box's notice.
inline void ChooseRow(HWND page, int boxId, int row, int choice, const wchar_t* typed = nullptr)
{
    HWND box = GetDlgItem(page, boxId);
    if (typed) {
        VARIANT v;
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(typed);
        SendMessageW(box, PBXM_SETVALUE, PBX_ITEM((WORD)row), (LPARAM)&v);
        VariantClear(&v);
    } else {
        SendMessageW(box, PBXM_SETLISTINDEX, PBX_ITEM((WORD)row), choice);
    }
    PropBoxNotify notify = {};
    notify.hdr.hwndFrom = box;
    notify.hdr.idFrom = (UINT_PTR)boxId;
    notify.hdr.code = typed ? PBXN_EDITCHANGE : PBXN_SELCHANGE;
    notify.listPos = typed ? -1 : choice;
    notify.item = row;
    SendMessageW(page, WM_NOTIFY, (WPARAM)boxId, (LPARAM)&notify);
}

// The typed locality's point on the import wizard's target page: 15° E, 49° N.
inline void TypeCoordinates(HWND page)
{
    for (int id : {IDC_IMP_LON_DEG, IDC_IMP_LON_MIN, IDC_IMP_LON_SEC, IDC_IMP_LAT_DEG, IDC_IMP_LAT_MIN, IDC_IMP_LAT_SEC})
        SetDlgItemTextW(page, id, id == IDC_IMP_LON_DEG ? L"15" : id == IDC_IMP_LAT_DEG ? L"49" : L"0");
}

}  // namespace tarnixtest
