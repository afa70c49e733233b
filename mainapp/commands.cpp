// The main window's commands: menus, accelerators and both toolbars send them as WM_COMMAND, and
// the cards send some of them themselves. One table says which handler each command has.
#include "mainapp/commands.h"

#include <commctrl.h>

#include <string>

#include "browse/litlistsdlg.h"
#include "browse/termsdlg.h"
#include "browse/workspace.h"
#include "common/aboutbox.h"
#include "common/helpfile.h"
#include "common/shellopen.h"
#include "core/database.h"
#include "core/msgbox.h"
#include "kavlink/kavlink.h"
#include "shellcontract/configdata.h"
#include "mainapp/configsheet.h"
#include "mainapp/dbopen.h"
#include "mainapp/mainform.h"
#include "mainapp/mapcommands.h"
#include "mainapp/searchcommand.h"
#include "mainapp/toolbars.h"
#include "reports/printform.h"
#include "resources/zorna/resource.h"

namespace {

const UINT kCreditsString = 1103;
const wchar_t kHelpFileName[] = L"Z2011-Help.chm";
const wchar_t kHomePage[] = L"http://www.kelvane.cz/zorna/";

// ---- file ----

INT_PTR OnConfiguration(MainForm* form, HWND mainWnd, WPARAM, LPARAM)
{
    // Offered only while a database is open: the lists the sheet edits come from it.
    if (!form->Config || !form->Database || !form->Database->IsOpen())
        return TRUE;
    // The widths and order the user dragged in the lists are what the sheet starts from.
    if (form->Workspace_)
        form->Workspace_->CollectColumnLayout();
    ShowConfigDialog(form->Config, mainWnd);
    return TRUE;
}

INT_PTR OnExit(MainForm*, HWND mainWnd, WPARAM, LPARAM)
{
    // Closing goes the one way the window's close box goes: settings saved, window destroyed.
    PostMessageW(mainWnd, WM_CLOSE, 0, 0);
    return TRUE;
}

// ---- database ----

INT_PTR OnOpenDatabaseCommand(MainForm* form, HWND mainWnd, WPARAM, LPARAM)
{
    OpenChosenDatabase(form, mainWnd);
    return TRUE;
}

INT_PTR OnCloseDatabaseCommand(MainForm* form, HWND mainWnd, WPARAM, LPARAM)
{
    OnCloseDatabase(form, mainWnd);
    return TRUE;
}

// ---- edit ----

INT_PTR OnTerms(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM lParam)
{
    if (!form->TermsEditor)
        form->TermsEditor = new CEditTermsDlg(form->hInstance);
    // The print form names the window the editor belongs to.
    bool fromComponent = HIWORD(wParam) == kCommandFromComponent;
    form->TermsEditor->Show(mainWnd, fromComponent && lParam ? (HWND)lParam : mainWnd);
    return TRUE;
}

INT_PTR OnSearch(MainForm* form, HWND mainWnd, WPARAM, LPARAM)
{
    return RunSearchCommand(form, mainWnd);
}

// ---- literature ----

// The literature lists editor (501-503: the publishers, periodicals or authors in front), made on
// first use and kept by the main form; the literature card's author filter is filled again
// afterwards, since authors may have changed.
INT_PTR OnLiteratureLists(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM)
{
    if (!form->LitListsEditor)
        form->LitListsEditor = new CEditLitJournalsDlg(form->hInstance);
    form->LitListsEditor->Show(mainWnd, LOWORD(wParam) - IDM_LITLISTS1);
    if (form->Workspace_)
        form->Workspace_->FillAuthorCombo(mainWnd);
    return TRUE;
}

// The configuration's field list of a record list's tab (0-2); null for the other tabs.
CObjArray* PrintFieldsOfTab(MainForm* form, int tab)
{
    ConfigData* config = form->Config;
    if (!config)
        return nullptr;
    switch (tab) {
    case TAB_SYSTEM: return config->SysFields;
    case TAB_LOCALITIES: return config->LocFields;
    case TAB_SEARCH: return config->SearchFields;
    default: return nullptr;
    }
}

// ---- printing ----

INT_PTR OnPageSetup(MainForm* form, HWND mainWnd, WPARAM, LPARAM)
{
    if (form->Workspace_ && form->Workspace_->ReportForm)
        form->Workspace_->ReportForm->ShowPageSetupDlg(mainWnd);
    return TRUE;
}

INT_PTR OnPrint(MainForm* form, HWND mainWnd, WPARAM, LPARAM)
{
    if (form->Workspace_) {
        int tab = form->Workspace_->GetCurrentTab(mainWnd);
        // The literature list has no printed form.
        if (tab != TAB_LITERATURE)
            form->Workspace_->PrintPage(mainWnd, PrintFieldsOfTab(form, tab), tab);
    }
    return TRUE;
}

// ---- tree editing ----

// The tree item a card's context menu sends with its command (code 2); none from menus and
// toolbars.
HTREEITEM MenuItemOf(WPARAM wParam, LPARAM lParam)
{
    return HIWORD(wParam) == kCommandFromComponent ? reinterpret_cast<HTREEITEM>(lParam) : nullptr;
}

INT_PTR OnNewItem(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM lParam)
{
    if (form->Workspace_)
        form->Workspace_->NewItem(mainWnd, MenuItemOf(wParam, lParam),
                                  HIWORD(wParam) != kCommandFromComponent);
    return TRUE;
}

INT_PTR OnRenameItem(MainForm* form, HWND mainWnd, WPARAM, LPARAM)
{
    if (form->Workspace_)
        form->Workspace_->RenameItem(mainWnd);
    return TRUE;
}

INT_PTR OnDeleteItem(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM lParam)
{
    if (form->Workspace_)
        form->Workspace_->DeleteItem(mainWnd, MenuItemOf(wParam, lParam));
    return TRUE;
}

INT_PTR OnItemProperties(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM lParam)
{
    if (form->Workspace_)
        form->Workspace_->EditItem(mainWnd, MenuItemOf(wParam, lParam));
    return TRUE;
}

// ---- view modes of the tree cards and tools of the map cards ----

const int kListStyles[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};

bool IsMapTool(int id)
{
    return id >= IDM_ZOOMIN && id <= IDM_PAN;
}

// Checks the chosen item of its group and unchecks the others.
void CheckGroupItem(HMENU menu, int first, int last, int chosen)
{
    if (!menu)
        return;
    for (int id = first; id <= last; id++)
        CheckMenuItem(menu, id, MF_BYCOMMAND | (id == chosen ? MF_CHECKED : MF_UNCHECKED));
}

void ApplyViewChoice(MainForm* form, HWND mainWnd, int id)
{
    if (!form->Workspace_)
        return;
    if (!IsMapTool(id))
        form->Workspace_->SetListStyle(mainWnd, kListStyles[id - IDM_LARGEICONS]);
    // The map tools apply through Workspace::SetMapTool, which comes with the map cards.
}

// Code 0 (menu or toolbar button): the toolbar shows the choice and the page takes it. A card
// announcing the mode it already has (or an accelerator) sends no lParam: only the toolbar
// follows. A component that sends lParam asks for the mode without touching the toolbar.
INT_PTR OnViewCommand(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM lParam)
{
    int id = LOWORD(wParam);
    WORD code = HIWORD(wParam);
    bool mapTool = IsMapTool(id);
    int first = mapTool ? IDM_ZOOMIN : IDM_LARGEICONS;
    int last = mapTool ? IDM_PAN : IDM_DETAILS;
    // The view menu is a popup of its own that is in the bar only while its card is shown; the
    // check mark is kept in the popup itself so that it is right whenever the popup comes in.
    CheckGroupItem(GetMenu(mainWnd), first, last, id);
    CheckGroupItem(mapTool ? form->MapMenu : form->ViewMenu, first, last, id);
    if ((code == 0 || lParam == 0) && form->Toolbar) {
        if (mapTool)
            form->Toolbar->CheckMapTool(id);
        else
            form->Toolbar->CheckViewMode(id);
    }
    if (code == 0 || lParam != 0)
        ApplyViewChoice(form, mainWnd, id);
    return TRUE;
}

// ---- records ----

INT_PTR OnNewRecord(MainForm* form, HWND mainWnd, WPARAM, LPARAM)
{
    if (form->Workspace_)
        form->Workspace_->NewRecord(mainWnd);
    return TRUE;
}

INT_PTR OnEditRecord(MainForm* form, HWND mainWnd, WPARAM, LPARAM)
{
    if (form->Workspace_)
        form->Workspace_->EditRecord(mainWnd);
    return TRUE;
}

INT_PTR OnDeleteRecords(MainForm* form, HWND mainWnd, WPARAM, LPARAM)
{
    if (form->Workspace_)
        form->Workspace_->DeleteRecords(mainWnd);
    return TRUE;
}

INT_PTR OnExportRecords(MainForm* form, HWND mainWnd, WPARAM, LPARAM)
{
    return ExportCurrentTab(form, mainWnd);
}

// ---- help ----

INT_PTR OnHomePage(MainForm*, HWND, WPARAM, LPARAM)
{
    OpenInShell(kHomePage);
    return TRUE;
}

INT_PTR OnHelp(MainForm* form, HWND mainWnd, WPARAM, LPARAM)
{
    std::wstring path = form->AppPath;
    if (path.empty() || path.back() != L'\\')
        path += L'\\';
    path += kHelpFileName;
    if (ShowHelpFile(path.c_str()))
        return TRUE;
    // HTML Help would show nothing for a missing file: the user is told where it was looked for.
    ReportFileError(form, mainWnd, IDS_CMD_NO_HELP_FILE, path.c_str());
    return TRUE;
}

INT_PTR OnAbout(MainForm* form, HWND mainWnd, WPARAM, LPARAM)
{
    ShowAboutBox(mainWnd, form->hInstance, kCreditsString);
    return TRUE;
}

// Every command of the menus, the accelerators and both toolbars. A null handler: the command
// is not offered (the reason beside it).
const MainCommandRow kCommands[] = {
    {IDM_OPENTEMPLATE, IDM_OPENTEMPLATE, OnOpenTemplate},
    {IDM_SAVETEMPLATE, IDM_SAVETEMPLATE, OnSaveTemplate},
    {IDM_SAVETEMPLATEAS, IDM_SAVETEMPLATEAS, OnSaveTemplateAs},
    {IDM_NEWTEMPLATE, IDM_NEWTEMPLATE, OnNewTemplate},
    {IDM_PAGESETUP, IDM_PAGESETUP, OnPageSetup},
    {IDM_PRINT, IDM_PRINT, OnPrint},
    {IDM_CONFIGURATION, IDM_CONFIGURATION, OnConfiguration},
    {IDM_EXIT, IDM_EXIT, OnExit},
    {IDM_OPENDB, IDM_OPENDB, OnOpenDatabaseCommand},
    {IDM_CLOSEDB, IDM_CLOSEDB, OnCloseDatabaseCommand},
    {IDM_NEWITEM, IDM_NEWITEM, OnNewItem},
    {IDM_RENAMEITEM, IDM_RENAMEITEM, OnRenameItem},
    {IDM_DELETEITEM, IDM_DELETEITEM, OnDeleteItem},
    {IDM_ITEMPROPERTIES, IDM_ITEMPROPERTIES, OnItemProperties},
    {IDM_TERMS, IDM_TERMS, OnTerms},
    {IDM_SEARCH, IDM_SEARCH, OnSearch},
    {IDM_LARGEICONS, IDM_DETAILS, OnViewCommand},
    {IDM_ZOOMIN, IDM_PAN, OnMapToolCommand},
    {IDM_SHOWALL, IDM_SHOWALL, OnShowAllMapCommand},
    {IDM_LITLISTS1, IDM_LITLISTS3, OnLiteratureLists},
    {IDM_LITLISTS3 + 1, IDM_LITLISTS3 + 1, nullptr},    // a literature command without a menu item
    {IDM_NEWMAP, IDM_NEWMAP, OnNewMapCommand},
    {IDM_CLOSEMAP, IDM_CLOSEMAP, OnCloseMapCommand},
    {IDM_RENAMEMAP, IDM_RENAMEMAP, OnRenameMapCommand},
    {IDM_LOADGRAPHICS, IDM_LOADGRAPHICS, OnLoadGraphicsCommand},
    {IDM_COORDSYSTEMS, IDM_GRIDS, OnListManagerCommand},
    {IDM_ADDQUERY, IDM_ADDQUERY, OnAddQueryCommand},
    {IDM_HOMEPAGE, IDM_HOMEPAGE, OnHomePage},
    {IDM_HELPCONTENTS, IDM_HELPCONTENTS, OnHelp},
    {IDM_ABOUT, IDM_ABOUT, OnAbout},
    {IDM_NEWRECORD, IDM_NEWRECORD, OnNewRecord},
    {IDM_EDITRECORD, IDM_EDITRECORD, OnEditRecord},
    {IDM_DELETERECORDS, IDM_DELETERECORDS, OnDeleteRecords},
    {IDM_EXPORTRECORDS, IDM_EXPORTRECORDS, OnExportRecords},
    {IDM_TBPRINT, IDM_TBPRINT, OnPrint},
    {IDM_TBHELP, IDM_TBHELP, OnHelp},
};

}  // namespace

void ReportFileError(MainForm* form, HWND mainWnd, UINT formatId, const wchar_t* path)
{
    wchar_t format[256] = L"";
    wchar_t caption[64] = L"";
    LoadStringW(form->hInstance, formatId, format, ARRAYSIZE(format));
    LoadStringW(form->hInstance, IDS_ERROR_CAPTION, caption, ARRAYSIZE(caption));
    std::wstring text = format;
    size_t at = text.find(L"%s");
    if (at != std::wstring::npos)
        text.replace(at, 2, path);
    ZorMessageBox(mainWnd, text.c_str(), caption, MB_ICONERROR);
}

const MainCommandRow* FindMainCommand(int id)
{
    for (const MainCommandRow& row : kCommands) {
        if (id >= row.First && id <= row.Last)
            return &row;
    }
    return nullptr;
}

bool IsCommandAvailable(int id)
{
    const MainCommandRow* row = FindMainCommand(id);
    return row && row->Handler;
}

UINT CommandMenuFlags(int id, bool enabled)
{
    return MF_BYCOMMAND | (enabled && IsCommandAvailable(id) ? MF_ENABLED : MF_GRAYED);
}

void GrayUnavailableCommands(HMENU menu)
{
    if (!menu)
        return;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; i++) {
        HMENU sub = GetSubMenu(menu, i);
        if (sub) {
            GrayUnavailableCommands(sub);
            continue;
        }
        UINT id = GetMenuItemID(menu, i);
        if (id != 0 && id != (UINT)-1 && FindMainCommand((int)id) && !IsCommandAvailable((int)id))
            EnableMenuItem(menu, i, MF_BYPOSITION | MF_GRAYED);
    }
}

void MarkUnavailableButtons(HWND toolbar)
{
    if (!toolbar)
        return;
    int count = (int)SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0);
    for (int i = 0; i < count; i++) {
        TBBUTTON button = {};
        if (!SendMessageW(toolbar, TB_GETBUTTON, i, (LPARAM)&button) || (button.fsStyle & BTNS_SEP))
            continue;
        if (!FindMainCommand(button.idCommand) || IsCommandAvailable(button.idCommand))
            continue;
        BYTE state = (BYTE)(TBSTATE_INDETERMINATE | (button.fsState & TBSTATE_HIDDEN));
        SendMessageW(toolbar, TB_SETSTATE, button.idCommand, MAKELONG(state, 0));
    }
}

INT_PTR OnMainCommand(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM lParam)
{
    const MainCommandRow* row = FindMainCommand(LOWORD(wParam));
    if (!row)
        return FALSE;
    // A command not offered that arrives anyway (a component's own command, a message sent
    // by another program) is taken and does nothing.
    if (!row->Handler)
        return TRUE;
    return row->Handler(form, mainWnd, wParam, lParam);
}
