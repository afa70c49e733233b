// SEARCHDLG: the modal dialog of the search command. The search page's tab control is moved into
// it while it runs and given back to the main window when it closes; the dialog only places it,
// switches its pages and loads the trees' children as they are expanded.
#include "browse/searchpage.h"

#include "browse/searchtree.h"
#include "resources/zorna/search.h"

namespace {

CSearchPage* PageOf(HWND hwnd)
{
    return reinterpret_cast<CSearchPage*>(GetWindowLongPtrW(hwnd, DWLP_USER));
}

// A position stored by another screen may lie off this one: the whole dialog is brought onto
// the work area of the monitor nearest to it.
void KeepOnScreen(HWND hwnd)
{
    RECT r = {};
    GetWindowRect(hwnd, &r);
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &info))
        return;
    const RECT& area = info.rcWork;
    int x = r.left, y = r.top;
    if (r.right > area.right)
        x -= r.right - area.right;
    if (r.bottom > area.bottom)
        y -= r.bottom - area.bottom;
    if (x < area.left)
        x = area.left;
    if (y < area.top)
        y = area.top;
    if (x != r.left || y != r.top)
        SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int CurrentTab(HWND tab)
{
    return static_cast<int>(SendMessageW(tab, TCM_GETCURSEL, 0, 0));
}

}  // namespace

int CSearchPage::ShowSearchDlg(HWND owner)
{
    if (!TabControl)
        return 0;
    INT_PTR result = DialogBoxParamW(Instance, L"SEARCHDLG", owner, SearchDlgProc,
                                     reinterpret_cast<LPARAM>(this));
    return result == 1 ? 1 : 0;
}

void CSearchPage::OnInitSearchDlg(HWND dialog)
{
    if (Left != kSearchDlgUnplaced && Top != kSearchDlgUnplaced) {
        SetWindowPos(dialog, nullptr, Left, Top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        KeepOnScreen(dialog);
    }
    SetParent(TabControl, dialog);
    // Windows moved in keep the font they were made with; they take the dialog's.
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    for (HWND wnd : {TabControl, SysTree, LocTree})
        SendMessageW(wnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

    RECT client = {}, reset = {};
    GetClientRect(dialog, &client);
    GetWindowRect(GetDlgItem(dialog, IDC_SEARCH_RESET), &reset);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&reset), 2);
    int margin = client.bottom - reset.bottom;
    // First in the tab order, before the dialog's buttons.
    SetWindowPos(TabControl, HWND_TOP, 0, 0, client.right, reset.top - margin, SWP_NOACTIVATE);

    RECT display = {};
    GetClientRect(TabControl, &display);
    SendMessageW(TabControl, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    int current = CurrentTab(TabControl);
    for (int tab = SEARCH_TAB_SYSTEM; tab <= SEARCH_TAB_ATTRIBUTES; ++tab) {
        HWND page = PageOfTab(tab);
        SetWindowPos(page, nullptr, display.left, display.top, display.right - display.left,
                     display.bottom - display.top, SWP_NOZORDER | SWP_NOACTIVATE);
        ShowWindow(page, tab == current ? SW_SHOW : SW_HIDE);
    }
    ShowWindow(TabControl, SW_SHOW);
}

void CSearchPage::OnDestroySearchDlg(HWND dialog)
{
    RECT r = {};
    if (GetWindowRect(dialog, &r)) {
        Left = r.left;
        Top = r.top;
    }
    ShowWindow(TabControl, SW_HIDE);
    SetParent(TabControl, Owner);
}

bool CSearchPage::OnNotify(const NMHDR* notice)
{
    if (!notice || !TabControl)
        return false;
    HWND from = notice->hwndFrom;
    if (from == TabControl) {
        if (notice->code == TCN_SELCHANGING) {
            ShowWindow(PageOfTab(CurrentTab(TabControl)), SW_HIDE);
            return true;
        }
        if (notice->code == TCN_SELCHANGE) {
            ShowWindow(PageOfTab(CurrentTab(TabControl)), SW_SHOW);
            return true;
        }
        return false;
    }
    if (from != SysTree && from != LocTree)
        return false;
    if (notice->code == TVN_ITEMEXPANDINGW) {
        const NMTREEVIEWW* tv = reinterpret_cast<const NMTREEVIEWW*>(notice);
        if (!Purging && (tv->action & TVE_EXPAND))
            LoadSearchTreeChildren(from, tv->itemNew.hItem);
        return true;
    }
    return false;
}

INT_PTR CALLBACK SearchDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        CSearchPage* page = reinterpret_cast<CSearchPage*>(lParam);
        if (page)
            page->OnInitSearchDlg(hwnd);
        return TRUE;
    }
    CSearchPage* page = PageOf(hwnd);
    if (!page)
        return FALSE;
    switch (msg) {
    case WM_NOTIFY:
        if (!page->OnNotify(reinterpret_cast<const NMHDR*>(lParam)))
            return FALSE;
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, 0);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            EndDialog(hwnd, 1);
            return TRUE;
        case IDCANCEL:
            EndDialog(hwnd, 0);
            return TRUE;
        case IDC_SEARCH_RESET:
            page->Reset();
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        page->OnDestroySearchDlg(hwnd);
        return FALSE;
    }
    return FALSE;
}

INT_PTR CALLBACK SearchPageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        return FALSE;
    }
    CSearchPage* page = PageOf(hwnd);
    if (!page || msg != WM_COMMAND)
        return FALSE;
    int id = LOWORD(wParam);
    if (id == IDC_SEARCH_FIELDS && HIWORD(wParam) == LBN_SELCHANGE) {
        page->OnFieldSelChange();
        return TRUE;
    }
    if (id == IDCANCEL) {
        // Escape in the values edit closes the page, which DefDlgProc turns into IDCANCEL: it
        // ends the search dialog as Storno does.
        HWND dialog = GetParent(page->TabControl);
        if (dialog && dialog != page->Owner)
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return TRUE;
    }
    return FALSE;
}
