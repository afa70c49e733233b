// The main program's application object and the standard messages of its window MAINFORM.
#include "mainapp/mainform.h"

#include <commctrl.h>
#include <windowsx.h>

#include <cstdlib>
#include <cwchar>
#include <strsafe.h>

#include "browse/litlistsdlg.h"
#include "browse/searchpage.h"
#include "browse/termsdlg.h"
#include "browse/treecard.h"
#include "browse/workspace.h"
#include "common/msgloop.h"
#include "core/containers.h"
#include "core/database.h"
#include "core/msgbox.h"
#include "kavlink/kavlink.h"
#include "mainapp/commands.h"
#include "shellcontract/configdata.h"
#include "mainapp/dbopen.h"
#include "mainapp/theme.h"
#include "mainapp/toolbars.h"
#include "mainapp/wssettings.h"
#include "shellcontract/zm_protocol.h"
#include "map/mnglistdlg.h"
#include "reports/excelexport.h"
#include "reports/textexport.h"

namespace {

const wchar_t kWindowClass[] = L"ZORNAWND";
const int kMainToolbarId = 1000, kStatusBarId = 1001, kTabsId = 1002, kRecordToolbarId = 1003;
const int kPrintCommand = 106;
const int kFirstMainTooltip = 200, kFirstRecordTooltip = 230;
const int kGotoSysCardCommand = 308, kGotoLocCardCommand = 309;
const int kMenuBarViewPosition = 3;

int WindowHeight(HWND wnd)
{
    RECT r = {};
    GetWindowRect(wnd, &r);
    return r.bottom - r.top;
}

int ClientHeight(HWND wnd)
{
    RECT r = {};
    GetClientRect(wnd, &r);
    return r.bottom - r.top;
}

// ---------------------------------------------------------------- WM_INITDIALOG

// Commands without a handler in the command table are grayed in every menu of the main window
// and indeterminate on both toolbars from the start.
void OfferAvailableCommands(HWND hwnd, MainForm* form)
{
    GrayUnavailableCommands(GetMenu(hwnd));
    GrayUnavailableCommands(form->ViewMenu);
    GrayUnavailableCommands(form->MapMenu);
    if (form->Workspace_) {
        for (int card = WS_SYS_CARD; card <= WS_LOC_CARD; card++) {
            if (CTreeCard* c = form->Workspace_->GetCard(card))
                GrayUnavailableCommands(c->ContextMenu);
        }
    }
    MarkUnavailableButtons(GetDlgItem(hwnd, kMainToolbarId));
    MarkUnavailableButtons(GetDlgItem(hwnd, kRecordToolbarId));
}

BOOL OnInitDialog(HWND hwnd, MainForm* form)
{
    SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(form));
    form->FirstShowPending = 1;
    HINSTANCE inst = form->hInstance;
    form->Toolbar = new MainToolbar(GetDlgItem(hwnd, kMainToolbarId), inst);
    form->RecordToolbar = new ViewToolbar(GetDlgItem(hwnd, kRecordToolbarId), inst);
    SetStatusBarParts(GetDlgItem(hwnd, kStatusBarId));
    form->Config = new ConfigData(inst);
    form->Workspace_ = new Workspace(GetDlgItem(hwnd, kTabsId), inst, form->Config);
    form->Database = new CDatabase(hwnd, inst);
    form->ConnForm = GetOpenConnForm(inst, hwnd);
    form->SearchPage = new CSearchPage(inst, hwnd);
    form->TextExport = new CTextExport(inst, hwnd);
    form->ExcelExport = new CExcelExport(inst, hwnd);
    form->HintFrom = form->HintTo = 0;
    OfferAvailableCommands(hwnd, form);
    return FALSE;  // no default focus
}

// ---------------------------------------------------------------- WM_SIZE

BOOL OnSize(HWND hwnd, MainForm* form, int clientWidth, int clientHeight)
{
    int tab = form->Workspace_ ? form->Workspace_->GetCurrentTab(hwnd) : 0;
    int mainHeight = 0;
    if (form->Toolbar)
        mainHeight = form->Toolbar->Layout(MainToolbarGroupOfTab(tab)).cy;
    HWND status = GetDlgItem(hwnd, kStatusBarId);
    SendMessageW(status, WM_SIZE, 0, 0);
    int statusHeight = WindowHeight(status);
    int recordHeight = 0;
    if (form->RecordToolbar) {
        recordHeight = form->RecordToolbar->Layout().cy;
        // The record toolbar sits on the status bar.
        SetWindowPos(form->RecordToolbar->Toolbar, nullptr, 0, clientHeight - statusHeight - recordHeight, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (form->Workspace_) {
        // The tab control overlaps the record toolbar by two pixels, hiding its top edge.
        int gap = clientHeight - statusHeight - recordHeight - mainHeight;
        form->Workspace_->Layout(GetDlgItem(hwnd, kTabsId), 0, mainHeight, clientWidth, gap + 2);
    }
    return TRUE;
}

// ---------------------------------------------------------------- WM_GETMINMAXINFO

BOOL OnGetMinMaxInfo(HWND hwnd, MINMAXINFO* info)
{
    HWND record = GetDlgItem(hwnd, kRecordToolbarId);
    if (!record)
        return FALSE;
    RECT button = {};
    if (!SendMessageW(record, TB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&button)))
        return FALSE;
    RECT display = {0, 0, 0, 20};  // the smallest page still worth showing
    SendMessageW(GetDlgItem(hwnd, kTabsId), TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&display));
    int height = ClientHeight(record) + ClientHeight(GetDlgItem(hwnd, kMainToolbarId))
                 + ClientHeight(GetDlgItem(hwnd, kStatusBarId)) + (display.bottom - display.top);
    int width = 6 * (button.right - button.left) + 4;
    RECT frame = {0, 0, width, height};
    AdjustWindowRectEx(&frame,
                       WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX
                           | WS_MAXIMIZEBOX,
                       TRUE, WS_EX_APPWINDOW);
    info->ptMinTrackSize.x = frame.right - frame.left;
    // The tracking height leaves 90 pixels of the sum out: the window may be dragged smaller than
    // the controls need, down to where the page itself disappears.
    info->ptMinTrackSize.y = frame.bottom - frame.top - 90;
    return TRUE;
}

// ---------------------------------------------------------------- WM_DESTROY

// A view or map menu still in the menu bar goes out before the bar is destroyed with the window:
// the bar would otherwise destroy the popup that VIEWMENU or MAPMENU still holds.
void TakeOutViewMenu(HWND hwnd, MainForm* form)
{
    HMENU bar = GetMenu(hwnd);
    if (!bar)
        return;
    HMENU inBar = GetSubMenu(bar, kMenuBarViewPosition);
    if (!inBar)
        return;
    if ((form->ViewMenu && inBar == GetSubMenu(form->ViewMenu, 0))
        || (form->MapMenu && inBar == GetSubMenu(form->MapMenu, 0)))
        RemoveMenu(bar, kMenuBarViewPosition, MF_BYPOSITION);
}

void OnDestroy(HWND hwnd, MainForm* form)
{
    // Everything that reads the configuration goes before it: the database, the workspace with
    // its map cards and print form, the search page and the editors.
    OnCloseDatabase(form, hwnd);
    // Then the search page, the connection form and the editors of the lookup values, the
    // literature lists and the grids.
    delete form->SearchPage;
    form->SearchPage = nullptr;
    FreeOpenConnForm();
    form->ConnForm = nullptr;
    delete form->TermsEditor;
    form->TermsEditor = nullptr;
    delete form->LitListsEditor;
    form->LitListsEditor = nullptr;
    delete form->GridListDlg;
    form->GridListDlg = nullptr;
    DropOpeningDatabase(form);
    delete form->Database;
    form->Database = nullptr;
    delete form->Workspace_;
    form->Workspace_ = nullptr;
    delete form->Config;
    form->Config = nullptr;
    delete form->RecordToolbar;
    form->RecordToolbar = nullptr;
    delete form->Toolbar;
    form->Toolbar = nullptr;
    TakeOutViewMenu(hwnd, form);
    PostQuitMessage(0);
}

// ---------------------------------------------------------------- WM_NOTIFY

// Tooltip of a toolbar button: the main toolbar's index n shows string 200 + n, the record
// toolbar's string 230 + n.
BOOL OnTooltipText(HWND hwnd, MainForm* form, NMTTDISPINFOW* info)
{
    int command = static_cast<int>(info->hdr.idFrom);
    int index = static_cast<int>(SendMessageW(GetDlgItem(hwnd, kMainToolbarId), TB_COMMANDTOINDEX, command, 0));
    int id;
    if (index >= 0) {
        id = kFirstMainTooltip + index;
    } else {
        index = static_cast<int>(SendMessageW(GetDlgItem(hwnd, kRecordToolbarId), TB_COMMANDTOINDEX, command, 0));
        if (index < 0)
            return FALSE;  // not a button of the toolbars
        id = kFirstRecordTooltip + index;
    }
    info->szText[0] = L'\0';
    LoadStringW(form->hInstance, id, info->szText, ARRAYSIZE(info->szText));
    info->lpszText = info->szText;
    info->hinst = nullptr;
    return TRUE;
}

// The search list asks for the rows it is about to draw; a range it asked for last time is
// already on screen.
BOOL OnCacheHint(MainForm* form, const NMLVCACHEHINT* hint)
{
    if (hint->iFrom == form->HintFrom && hint->iTo == form->HintTo)
        return TRUE;
    HWND list = hint->hdr.hwndFrom;
    if (std::abs(hint->iTo - hint->iFrom) <= 2) {
        RECT first = {LVIR_BOUNDS}, last = {LVIR_BOUNDS}, both = {};
        SendMessageW(list, LVM_GETITEMRECT, hint->iFrom, reinterpret_cast<LPARAM>(&first));
        SendMessageW(list, LVM_GETITEMRECT, hint->iTo, reinterpret_cast<LPARAM>(&last));
        UnionRect(&both, &first, &last);
        InvalidateRect(list, &both, FALSE);
    } else {
        InvalidateRect(list, nullptr, FALSE);
    }
    form->HintFrom = hint->iFrom;
    form->HintTo = hint->iTo;
    return TRUE;
}

INT_PTR HandleNotify(HWND hwnd, MainForm* form, NMHDR* nm)
{
    HWND tabs = GetDlgItem(hwnd, kTabsId);
    Workspace* ws = form->Workspace_;
    HWND searchList = ws ? ws->GetSearchList() : nullptr;
    // The search page's tab control and trees send their notices here wherever they are.
    if (form->SearchPage && form->SearchPage->OnNotify(nm))
        return TRUE;
    switch (nm->code) {
    case TCN_SELCHANGING:
        if (nm->hwndFrom != tabs || !ws)
            return FALSE;
        ws->HidePage(hwnd);
        return TRUE;
    case TCN_SELCHANGE:
        if (nm->hwndFrom != tabs || !ws)
            return FALSE;
        return ws->ShowPage(hwnd);
    case TTN_GETDISPINFOW:
        return OnTooltipText(hwnd, form, reinterpret_cast<NMTTDISPINFOW*>(nm));
    }
    if (!searchList || nm->hwndFrom != searchList)
        return FALSE;
    switch (nm->code) {
    case LVN_GETDISPINFOW:
        if (form->Database)
            form->Database->GetSearchListCell(&reinterpret_cast<NMLVDISPINFOW*>(nm)->item, searchList);
        return TRUE;
    case LVN_ODCACHEHINT:
        return OnCacheHint(form, reinterpret_cast<NMLVCACHEHINT*>(nm));
    case LVN_COLUMNCLICK:
        ws->SortSearchList(hwnd, reinterpret_cast<NMLISTVIEW*>(nm)->iSubItem);
        return TRUE;
    case LVN_ITEMCHANGED:
        form->UpdateRecordToolbar(hwnd, TRUE,
                                  static_cast<int>(SendMessageW(searchList, LVM_GETSELECTEDCOUNT, 0, 0)));
        return TRUE;
    }
    return FALSE;
}

// The notifications answer 0 whatever a private message left in the result slot before: a
// stale 1 would forbid the next tab change.
INT_PTR OnNotify(HWND hwnd, MainForm* form, NMHDR* nm)
{
    INT_PTR handled = HandleNotify(hwnd, form, nm);
    if (handled)
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, 0);
    return handled;
}

// ---------------------------------------------------------------- WM_CONTEXTMENU

// A right click in the search list (a child of the tab control) offers to go to the selected
// record's taxon or locality.
void OnContextMenu(HWND hwnd, MainForm* form, HWND from, LPARAM lParam)
{
    Workspace* ws = form->Workspace_;
    if (!ws || from != GetDlgItem(hwnd, kTabsId) || ws->GetCurrentTab(hwnd) != TAB_SEARCH)
        return;
    HWND list = ws->GetSearchList();
    if (!list)
        return;
    POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    POINT inList = at;
    ScreenToClient(list, &inList);
    RECT client = {};
    GetClientRect(list, &client);
    if (!PtInRect(&client, inList))
        return;
    int row = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (row < 0 || !ws->SearchMenu)
        return;
    int command = TrackPopupMenu(GetSubMenu(ws->SearchMenu, 0), TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, 0,
                                 hwnd, nullptr);
    if (command == kGotoSysCardCommand)
        ws->GotoSysCard(row);
    else if (command == kGotoLocCardCommand)
        ws->GotoLocCard(row);
}

}  // namespace

int MainToolbarGroupOfTab(int tab)
{
    if (tab < TAB_SEARCH)
        return TBGROUP_TREE_CARDS;
    if (tab < kFirstMapTab)
        return TBGROUP_OTHER;
    return TBGROUP_MAPS;
}

// ---------------------------------------------------------------- the object

ATOM MainForm::RegisterWindowClass(HINSTANCE instance)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS | CS_SAVEBITS;
    wc.lpfnWndProc = DefDlgProcW;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, L"MAINICON");
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(17));
    wc.lpszMenuName = L"MAINMENU";
    wc.lpszClassName = kWindowClass;
    return RegisterClassExW(&wc);
}

MainForm::MainForm(HINSTANCE instance, DLGPROC dialogProc, HWND* mainWindow, HACCEL* accel)
    : hInstance(instance), MainWnd(nullptr), Accel(nullptr), ViewMenu(nullptr), MapMenu(nullptr),
      Toolbar(nullptr), RecordToolbar(nullptr), Workspace_(nullptr), Database(nullptr), Opening(nullptr), OpeningConn(), ConnForm(nullptr),
      Config(nullptr), SearchPage(nullptr), TextExport(nullptr), ExcelExport(nullptr), TermsEditor(nullptr),
      LitListsEditor(nullptr), GridListDlg(nullptr), GridList(nullptr), HintFrom(0), HintTo(0), Conn(),
      LastExpType(0), LastExpImgType(0), FirstShowPending(0), SplashTimerFired(0), OpenFinished(0),
      DamageReported(0), InUseReportPending(0)
{
    GridList = new CPtrArray(PTRARRAY_OWNS_ITEMS, 16, 4);
    ReadRegistrySettings(this);
    InitTheme(instance);
    ViewMenu = LoadMenuW(instance, L"VIEWMENU");
    MapMenu = LoadMenuW(instance, L"MAPMENU");
    RegisterWindowClass(instance);
    // The template is visible: the start-up with the splash runs inside this call.
    HWND wnd = CreateDialogParamW(instance, L"MAINFORM", nullptr, dialogProc, reinterpret_cast<LPARAM>(this));
    MainWnd = wnd;
    if (mainWindow)
        *mainWindow = wnd;
    if (wnd) {
        RECT client = {};
        GetClientRect(wnd, &client);
        SendMessageW(wnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
        if (Workspace_)
            Workspace_->ShowPage(wnd);
    }
    Accel = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(1));
    if (accel)
        *accel = Accel;
    UpdateMainTitle();
}

MainForm::~MainForm()
{
    delete TextExport;
    TextExport = nullptr;
    delete ExcelExport;
    ExcelExport = nullptr;
    delete GridList;  // frees its GridDef records
    GridList = nullptr;
    WriteLastConfigFile(this);
    UnregisterClassW(kWindowClass, hInstance);
    if (MapMenu)
        DestroyMenu(MapMenu);
    if (ViewMenu)
        DestroyMenu(ViewMenu);
    FreeThemeImages();
    std::free(Conn.UserName);
    std::free(Conn.DBName);
    Conn.UserName = Conn.DBName = nullptr;
}

void MainForm::UpdateMainTitle()
{
    // During the start-up MainWnd is not set yet; the database object knows the window.
    HWND wnd = MainWnd ? MainWnd : (Database ? Database->MainWindow : nullptr);
    if (!wnd)
        return;
    const wchar_t* caption = Config ? Config->AppCaption : nullptr;
    bool open = Database && Database->IsOpen() && Conn.DBName;
    if (!open) {
        SetWindowTextW(wnd, caption ? caption : L"");
        return;
    }
    const wchar_t* slash = std::wcsrchr(Conn.DBName, L'\\');
    const wchar_t* fileName = slash ? slash + 1 : Conn.DBName;
    if (!caption) {
        SetWindowTextW(wnd, fileName);
        return;
    }
    size_t length = std::wcslen(caption) + 3 + std::wcslen(fileName) + 1;
    wchar_t* title = static_cast<wchar_t*>(std::malloc(length * sizeof(wchar_t)));
    if (!title)
        return;
    StringCchPrintfW(title, length, L"%s - %s", caption, fileName);
    SetWindowTextW(wnd, title);
    std::free(title);
}

int MainForm::UpdateRecordToolbar(HWND mainWnd, BOOL listShown, int selectedCount)
{
    if (!RecordToolbar)
        return 0;
    int tab = Workspace_ ? Workspace_->GetCurrentTab(mainWnd) : 0;
    // Without a database the record lists offer nothing to write, edit, export or print; a map
    // still draws its shapefiles and exports and prints them.
    if (tab < kFirstMapTab && !(Database && Database->IsOpen()))
        listShown = FALSE;
    int printable = RecordToolbar->Update(listShown, selectedCount, tab);
    MarkUnavailableButtons(RecordToolbar->Toolbar);
    EnableMenuItem(GetMenu(mainWnd), kPrintCommand, CommandMenuFlags(kPrintCommand, printable != 0));
    return printable;
}

// ---------------------------------------------------------------- the message loop

void RunMainMessageLoop(HWND mainWnd, HACCEL accel)
{
    RunDialogMessageLoop(mainWnd, accel);
}

// ---------------------------------------------------------------- the dialog procedure

INT_PTR CALLBACK MainFormDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG)
        return OnInitDialog(hwnd, reinterpret_cast<MainForm*>(lParam));
    MainForm* form = MainFormOf(hwnd);
    if (!form)
        return FALSE;  // messages before WM_INITDIALOG (WM_GETMINMAXINFO, WM_NCCREATE ...)
    if (msg >= ZM_FIRST && msg <= ZM_LAST) {
        INT_PTR result = FALSE;
        if (DispatchZmMessage(form, hwnd, msg, wParam, lParam, &result))
            return result;
        return FALSE;
    }
    switch (msg) {
    case WM_SHOWWINDOW:
        // The first showing runs the start-up: workspace file, card font, splash and opening.
        if (form->FirstShowPending) {
            form->FirstShowPending = 0;
            RunStartupSequence(form);
        }
        return FALSE;
    case WM_SIZE:
        return OnSize(hwnd, form, LOWORD(lParam), HIWORD(lParam));
    case WM_GETMINMAXINFO:
        return OnGetMinMaxInfo(hwnd, reinterpret_cast<MINMAXINFO*>(lParam));
    case WM_CLOSE:
        // No question: the whole working state goes to the workspace file; only a file that
        // could not be written is said.
        SaveWorkspaceAndReport(form, hwnd);
        DestroyWindow(hwnd);
        return FALSE;
    case WM_DESTROY:
        OnDestroy(hwnd, form);
        return FALSE;
    case WM_NOTIFY:
        return OnNotify(hwnd, form, reinterpret_cast<NMHDR*>(lParam));
    case WM_CONTEXTMENU:
        OnContextMenu(hwnd, form, reinterpret_cast<HWND>(wParam), lParam);
        return FALSE;
    case WM_COMMAND:
        return OnMainCommand(form, hwnd, wParam, lParam);
    case kFileInUseMessage:
        ShowFileInUse(form);
        return TRUE;
    }
    return FALSE;
}
