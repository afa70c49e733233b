#include "utilities/maintapp.h"

#include <commctrl.h>
#include <strsafe.h>

#include "common/aboutbox.h"
#include "common/helpfile.h"
#include "core/msgbox.h"
#include "core/schemacheck.h"
#include "core/xmlaccess.h"
#include "dataaccess/refusals.h"
#include "import/importrun.h"
#include "import/impwizard.h"
#include "kavlink/kavlink.h"
#include "resources/tarnix/resource.h"
#include "utilities/attrpage.h"
#include "structure/dbcheck.h"
#include "utilities/levelpage.h"
#include "utilities/checklog.h"
#include "utilities/logviewer.h"
#include "structure/progressdlg.h"
#include "structure/schemadb.h"
#include "structure/structsave.h"
#include "utilities/tarnix_protocol.h"

namespace {

const wchar_t kSettingsComment[] = L"Zorna DB Utilities Workspace Settings";
const wchar_t kHelpFile[] = L"TRX2011-Help.chm";
const int kDefaultLeft = 100;
const int kDefaultTop = 100;
const int kPageCount = 8;

// The six attribute pages: their tables, in the model's order; the records page edits key flags.
const wchar_t* const kAttrTables[6] = {L"SYSTREE",  L"LOCTREE",    L"SPECIES",
                                       L"FEATURES", L"ZORNACOLLS", L"LITERATURE"};

MaintApp* AppOf(HWND form)
{
    return reinterpret_cast<MaintApp*>(GetWindowLongPtrW(form, GWLP_USERDATA));
}

HWND PageWindow(MaintApp* app, int tab)
{
    return tab < 2 ? app->LevelPages[tab]->GetWindow() : app->AttrPages[tab - 2]->GetWindow();
}

void ShowError(MaintApp* app, HWND form, UINT textId)
{
    ZorMessageBoxRes(form, app->hInstance, textId, IDS_T_ERROR_CAPTION, MB_ICONERROR);
}

void ShowErrorText(MaintApp* app, HWND form, const std::wstring& text)
{
    wchar_t caption[64] = L"";
    LoadStringW(app->hInstance, IDS_T_ERROR_CAPTION, caption, 64);
    ZorMessageBox(MessageOwner(form), text.c_str(), caption, MB_ICONERROR);
}

// Why the open database cannot be worked on, empty when it can: a read-only file (the utilities
// exist to write), a file that is no whole Zorna database, a structure that cannot be read.
std::wstring RefusalOfOpenFile(MaintApp* app)
{
    zdata::Connection* connection = app->SchemaDb->GetConnection();
    const std::wstring path = app->Connection.DBName;
    if (connection->IsReadOnly())
        return zdata::OpenRefusalText(zdata::RefusalKind::ReadOnly, path);
    SchemaProblem problem = CheckZornaSchema(connection);
    if (problem.What != SchemaProblem::None)
        return SchemaProblemText(app->hInstance, problem, path);
    if (app->SchemaDb->Load(&app->Model))
        return std::wstring();
    ClearStructureModel(&app->Model);
    // A read the engine refused says why; anything else is a structure the utilities cannot read.
    std::wstring why = FileRefusalText(connection->LastRefusalKind(), path);
    if (!why.empty())
        return why;
    wchar_t text[256] = L"";
    LoadStringW(app->hInstance, IDS_T_NOT_ZORNA_DB, text, 256);
    return text;
}

void EnableCommand(HWND form, UINT id, bool enable)
{
    EnableMenuItem(GetMenu(form), id, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
    DrawMenuBar(form);
}

// The commands that need a loaded structure.
void EnableDatabaseCommands(HWND form, bool enable)
{
    EnableCommand(form, IDM_T_IMPORT, enable);
    EnableCommand(form, IDM_T_VALIDATE, enable);
}

HWND TabsOf(HWND form)
{
    return GetDlgItem(form, IDC_MAIN_TABS);
}

void ShowPageOfTab(MaintApp* app, int tab, bool show)
{
    if (tab >= 0 && tab < kPageCount)
        ShowWindow(PageWindow(app, tab), show ? SW_SHOW : SW_HIDE);
}

// The eight pages in the tab control, everything sized to the pages.
void BuildPages(MaintApp* app, HWND form)
{
    HWND tabs = TabsOf(form);
    SendMessageW(tabs, CCM_SETUNICODEFORMAT, TRUE, 0);
    for (int i = 0; i < kPageCount; ++i) {
        wchar_t caption[257] = L"";
        LoadStringW(app->hInstance, IDS_T_TAB_SYSLEVELS + i, caption, 257);
        HWND page;
        if (i < 2) {
            app->LevelPages[i] = new CLevelPage(app->hInstance, tabs);
            page = app->LevelPages[i]->GetWindow();
        } else {
            app->AttrPages[i - 2] = new CAttrPage(app->hInstance, tabs, kAttrTables[i - 2], i == 6);
            page = app->AttrPages[i - 2]->GetWindow();
        }
        TCITEMW item = {};
        item.mask = TCIF_TEXT | TCIF_PARAM;
        item.pszText = caption;
        item.lParam = reinterpret_cast<LPARAM>(page);
        SendMessageW(tabs, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    // The tab control takes the pages' size plus its own frame; the pages sit in its display area.
    RECT r;
    GetClientRect(PageWindow(app, kPageCount - 1), &r);
    SendMessageW(tabs, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&r));
    SetWindowPos(tabs, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (int i = 0; i < kPageCount; ++i)
        SetWindowPos(PageWindow(app, i), nullptr, -r.left, -r.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

    HWND status = GetDlgItem(form, IDC_MAIN_STATUS);
    RECT sr;
    GetWindowRect(status, &sr);
    const int statusHeight = sr.bottom - sr.top;
    RECT tr;
    GetWindowRect(tabs, &tr);
    MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&tr), 2);
    RECT client = {0, 0, tr.right, tr.bottom + statusHeight};
    AdjustWindowRectEx(&client, GetWindowLongW(form, GWL_STYLE), TRUE, GetWindowLongW(form, GWL_EXSTYLE));
    SetWindowPos(form, nullptr, 0, 0, client.right - client.left, client.bottom - client.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT inside;
    GetClientRect(form, &inside);
    SetWindowPos(status, nullptr, 0, tr.bottom, inside.right, statusHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    int parts[1] = {-1};
    SendMessageW(status, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(parts));
    wchar_t none[128] = L"";
    LoadStringW(app->hInstance, IDS_T_NO_DATABASE, none, 128);
    SetStatusText(app, form, none);
    ShowPageOfTab(app, 0, true);
}

void OnInitDialog(HWND form, MaintApp* app)
{
    SetWindowLongPtrW(form, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(app));
    app->MainForm = form;
    app->ConnForm = GetOpenConnForm(app->hInstance, form);
    BuildPages(app, form);
    HICON big = (HICON)LoadImageW(app->hInstance, L"MAINICON", IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                  GetSystemMetrics(SM_CYICON), 0);
    HICON small = (HICON)LoadImageW(app->hInstance, L"MAINICON", IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                    GetSystemMetrics(SM_CYSMICON), 0);
    SendMessageW(form, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    SendMessageW(form, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    LoadMainFormSettings(app, form);
}

// Closing the form: unsaved structure saved or let go (or the form stays), settings written,
// database closed, pages and connection form freed.
void OnClose(HWND form, MaintApp* app)
{
    if (!AskSaveChanges(app, form))
        return;
    SaveMainFormSettings(app, form);
    CloseStructDatabase(app, form);
    FreeOpenConnForm();
    app->ConnForm = nullptr;
    for (CLevelPage*& page : app->LevelPages) {
        delete page;
        page = nullptr;
    }
    for (CAttrPage*& page : app->AttrPages) {
        delete page;
        page = nullptr;
    }
    DestroyWindow(form);
}

void OnCommand(HWND form, MaintApp* app, WORD id)
{
    switch (id) {
    case IDM_T_OPEN:
        OpenDatabaseCommand(app, form);
        break;
    case IDM_T_CLOSE:
        CloseStructDatabase(app, form);
        break;
    case IDM_T_SAVE:
        SaveConfiguration(app, form);
        break;
    case IDM_T_SAVEIFMODIFIED:
        if (app->Modified)
            SaveConfiguration(app, form);
        break;
    case IDM_T_EXIT:
        SendMessageW(form, WM_CLOSE, 0, 0);
        break;
    case IDM_T_IMPORT:
        RunImport(app, form);
        break;
    case IDM_T_VALIDATE:
        RunValidation(app, form);
        break;
    case IDM_T_HELP:
        ShowHelp(app, form);
        break;
    case IDM_T_ABOUT:
        ShowAboutBox(form, app->hInstance, IDS_T_CREDITS);
        break;
    }
}

// A place off every screen (a monitor removed since) is brought onto the nearest one.
POINT OnScreen(HWND form, int left, int top)
{
    RECT w;
    GetWindowRect(form, &w);
    RECT placed = {left, top, left + (w.right - w.left), top + (w.bottom - w.top)};
    if (MonitorFromRect(&placed, MONITOR_DEFAULTTONULL))
        return {left, top};
    MONITORINFO mi = {sizeof(mi)};
    GetMonitorInfoW(MonitorFromRect(&placed, MONITOR_DEFAULTTONEAREST), &mi);
    const RECT& area = mi.rcWork;
    POINT p = {left, top};
    if (p.x + (w.right - w.left) > area.right)
        p.x = area.right - (w.right - w.left);
    if (p.y + (w.bottom - w.top) > area.bottom)
        p.y = area.bottom - (w.bottom - w.top);
    if (p.x < area.left)
        p.x = area.left;
    if (p.y < area.top)
        p.y = area.top;
    return p;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

MaintApp::MaintApp(HINSTANCE instance)
    : hInstance(instance), CommandLine(GetCommandLineW()), ConnForm(nullptr), Connection(),
      LevelPages(), AttrPages(), SchemaDb(new CSchemaDb(instance)), Modified(false),
      WizardState(nullptr), ImportErrorCount(0), Viewer(nullptr), MainForm(nullptr)
{
    SettingsPath[0] = 0;
    ProgramDir[0] = 0;
    InitStructureModel(&Model);
    // The progress dialog runs the import with the import's own worker.
    SetProgressStarter(PROGRESS_IMPORT, StartImportJob);
    wchar_t module[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    BuildSettingsPath(this, module);
}

MaintApp::~MaintApp()
{
    delete Viewer;
    delete WizardState;
    if (SchemaDb) {
        SchemaDb->Close();
        delete SchemaDb;
    }
    ClearStructureModel(&Model);
    FreeStructureModel(&Model);
    free(Connection.UserName);
    free(Connection.DBName);
}

void BuildSettingsPath(MaintApp* app, const wchar_t* modulePath)
{
    StringCchCopyW(app->SettingsPath, MAX_PATH, modulePath ? modulePath : L"");
    wchar_t* slash = wcsrchr(app->SettingsPath, L'\\');
    StringCchCopyW(app->ProgramDir, MAX_PATH, app->SettingsPath);
    if (slash)
        app->ProgramDir[slash - app->SettingsPath + 1] = 0;
    else
        app->ProgramDir[0] = 0;
    // The extension of the program's name becomes "xml" (a dot in a folder name is no extension).
    wchar_t* dot = wcsrchr(app->SettingsPath, L'.');
    if (dot && (!slash || dot > slash))
        StringCchCopyW(dot + 1, MAX_PATH - (dot + 1 - app->SettingsPath), L"xml");
    else
        StringCchCatW(app->SettingsPath, MAX_PATH, L".xml");
}

HWND CreateMainForm(MaintApp* app)
{
    return CreateDialogParamW(app->hInstance, L"MAINFORM", nullptr, MainFormProc,
                              reinterpret_cast<LPARAM>(app));
}

INT_PTR CALLBACK MainFormProc(HWND form, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        OnInitDialog(form, reinterpret_cast<MaintApp*>(lParam));
        return FALSE;
    }
    MaintApp* app = AppOf(form);
    if (!app)
        return FALSE;
    switch (msg) {
    case WM_COMMAND:
        OnCommand(form, app, LOWORD(wParam));
        return TRUE;
    case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(lParam);
        if (hdr->idFrom != IDC_MAIN_TABS)
            return FALSE;
        int tab = (int)SendMessageW(hdr->hwndFrom, TCM_GETCURSEL, 0, 0);
        if (hdr->code == TCN_SELCHANGING)
            ShowPageOfTab(app, tab, false);
        else if (hdr->code == TCN_SELCHANGE)
            ShowPageOfTab(app, tab, true);
        return FALSE;
    }
    case WM_CLOSE:
        OnClose(form, app);
        return TRUE;
    case WM_DESTROY:
        app->MainForm = nullptr;
        PostQuitMessage(0);
        return FALSE;
    case ZM_IMPORT_ERRORS:
        app->ImportErrorCount = (int)wParam;
        return TRUE;
    case ZM_PAGE_CHANGED:
        app->Modified = true;
        EnableCommand(form, IDM_T_SAVE, true);
        return TRUE;
    }
    return FALSE;
}

void OpenDatabaseCommand(MaintApp* app, HWND form)
{
    if (!app->ConnForm || !app->ConnForm->RunDialog(&app->Connection))
        return;
    if (!CloseStructDatabase(app, form))
        return;
    OpenStructDatabase(app, form);
}

bool OpenStructDatabase(MaintApp* app, HWND form)
{
    if (app->Connection.ConnType != 1) {
        ShowError(app, form, IDS_T_BAD_CONNECTION);
        return false;
    }
    if (!app->SchemaDb->Open(&app->Connection)) {
        // The data layer's reason names the file and the cause.
        std::wstring why = app->SchemaDb->GetConnection()->LastErrorText();
        if (why.empty())
            ShowError(app, form, IDS_T_BAD_CONNECTION);
        else
            ShowErrorText(app, form, why);
        return false;
    }
    std::wstring refusal = RefusalOfOpenFile(app);
    if (!refusal.empty()) {
        // Let it go at once rather than hold the file locked for nothing.
        app->SchemaDb->Close();
        ShowErrorText(app, form, refusal);
        return false;
    }
    FillPages(app, form);
    SetStatusText(app, form, app->Connection.DBName);
    return true;
}

bool CloseStructDatabase(MaintApp* app, HWND form)
{
    if (!AskSaveChanges(app, form))
        return false;
    if (!app->SchemaDb->Close())
        return false;
    // The pages first: they free the entries made on them, which the model does not hold.
    ClearPages(app, form);
    ClearStructureModel(&app->Model);
    app->Modified = false;
    EnableCommand(form, IDM_T_SAVE, false);
    wchar_t none[128] = L"";
    LoadStringW(app->hInstance, IDS_T_NO_DATABASE, none, 128);
    SetStatusText(app, form, none);
    return true;
}

void FillPages(MaintApp* app, HWND form)
{
    for (int i = 0; i < 2; ++i)
        if (app->LevelPages[i])
            app->LevelPages[i]->Fill(&app->Model.Lists[MODEL_SYS_LEVELS + i]);
    for (int i = 0; i < 6; ++i)
        if (app->AttrPages[i])
            app->AttrPages[i]->Fill(&app->Model.Lists[MODEL_SYSTREE_ATTRS + i], app->SchemaDb);
    EnableDatabaseCommands(form, true);
}

void ClearPages(MaintApp* app, HWND form)
{
    for (CLevelPage* page : app->LevelPages)
        if (page)
            page->Clear();
    for (CAttrPage* page : app->AttrPages)
        if (page)
            page->Clear();
    EnableDatabaseCommands(form, false);
}

bool AskSaveChanges(MaintApp* app, HWND form)
{
    if (!app->Modified)
        return true;
    switch (ZorMessageBoxRes(form, app->hInstance, IDS_T_ASK_SAVE, IDS_T_CONFIRM_CAPTION,
                             MB_YESNOCANCEL | MB_ICONINFORMATION)) {
    case IDYES:
        return SaveConfiguration(app, form);
    case IDNO:
        app->Modified = false;
        return true;
    }
    return false;
}

bool SaveConfiguration(MaintApp* app, HWND form)
{
    if (!app->SchemaDb->IsOpen())
        return false;
    for (int i = 0; i < 2; ++i)
        app->LevelPages[i]->Collect(&app->Model.Lists[MODEL_SYS_LEVELS + i]);
    for (int i = 0; i < 6; ++i)
        app->AttrPages[i]->Collect(&app->Model.Lists[MODEL_SYSTREE_ATTRS + i]);
    ProgressParams params;
    params.hInstance = app->hInstance;
    params.Mode = PROGRESS_SAVE;
    params.Argument = app->SchemaDb;
    params.Model = &app->Model;
    params.Callback = ProgressCallback;
    if (RunProgressDialog(form, &params) < 1)
        return false;  // the edits not saved stay pending
    app->Modified = false;
    EnableCommand(form, IDM_T_SAVE, false);
    // The pages show the saved structure: levels in their new order, new attributes as saved.
    ClearPages(app, form);
    FillPages(app, form);
    return true;
}

void RunValidation(MaintApp* app, HWND form)
{
    if (!app->SchemaDb->IsOpen())
        return;
    // The check works from the structure as saved: unsaved edits are saved first, or it does
    // not run.
    if (app->Modified && !SaveConfiguration(app, form))
        return;
    int flags = DBCHECK_ALL;
    if (!ShowValidateDialog(app->hInstance, form, &flags))
        return;
    DbCheck* check = new DbCheck(app->SchemaDb->GetConnection(), flags);
    ProgressParams params;
    params.hInstance = app->hInstance;
    params.Mode = PROGRESS_VALIDATION;
    params.Argument = check;
    params.Model = &app->Model;
    params.Callback = ProgressCallback;
    RunProgressDialog(form, &params);  // returns once the worker has ended
    // What the check found, repaired or not, for the user to read.
    if (!check->Log.Lines.empty())
        ShowCheckLog(app->hInstance, form, &check->Log);
    delete check;
}

void RunImport(MaintApp* app, HWND form)
{
    if (!app->SchemaDb->IsOpen())
        return;
    // The import builds on the structure as saved: unsaved edits are saved first, or it does not
    // run.
    if (app->Modified && !SaveConfiguration(app, form))
        return;
    if (!app->WizardState)
        app->WizardState = new ImportWizardState(app->hInstance);
    ImportJob job;
    InitImportJob(&job, app->SchemaDb, &app->Model);
    app->ImportErrorCount = 0;
    if (app->WizardState->Run(form, &job) && job.Source) {
        ProgressParams params;
        params.hInstance = app->hInstance;
        params.Mode = PROGRESS_IMPORT;
        params.Argument = &job;
        params.Model = &app->Model;
        params.Callback = ProgressCallback;
        RunProgressDialog(form, &params);  // returns once the worker has ended
        if (job.ModelStale) {
            // The run rolled back: the pages let go of the model's entries before it is read
            // again, and show it as the file has it while the log is read.
            ClearPages(app, form);
            ReloadModelAfterImport(&job);
            FillPages(app, form);
        }
        // The source's own count, should the posted one not have arrived.
        if (LogEntryCount(job.Source) > app->ImportErrorCount)
            app->ImportErrorCount = LogEntryCount(job.Source);
    }
    if (app->ImportErrorCount && job.Source) {
        if (!app->Viewer)
            app->Viewer = new LogViewer(app->hInstance);
        ShowImportLog(app->Viewer, form, job.Source);
    }
    FreeImportJob(&job);
    ClearPages(app, form);
    FillPages(app, form);
}

void ShowHelp(MaintApp* app, HWND form)
{
    wchar_t path[MAX_PATH * 2] = L"";
    StringCchCopyW(path, ARRAYSIZE(path), app->ProgramDir);
    size_t n = wcslen(path);
    if (n && path[n - 1] != L'\\')
        StringCchCatW(path, ARRAYSIZE(path), L"\\");
    StringCchCatW(path, ARRAYSIZE(path), kHelpFile);
    if (ShowHelpFile(path))
        return;
    wchar_t format[128] = L"";
    wchar_t caption[64] = L"";
    wchar_t text[MAX_PATH * 2 + 128] = L"";
    LoadStringW(app->hInstance, IDS_T_NO_HELP_FILE, format, 128);
    LoadStringW(app->hInstance, IDS_T_ERROR_CAPTION, caption, 64);
    StringCchPrintfW(text, ARRAYSIZE(text), format, path);
    ZorMessageBox(form, text, caption, MB_ICONERROR);
}

void LoadMainFormSettings(MaintApp* app, HWND form)
{
    CXmlReader reader(app->SettingsPath);
    ShowXmlRefusal(form, app->hInstance, IDS_T_ERROR_CAPTION, app->SettingsPath, reader.Result);
    int left = kDefaultLeft, top = kDefaultTop;
    if (IXMLDOMElement* element = reader.SelectElement(L"MainForm")) {
        reader.GetShortAttr(element, L"Left", &left);
        reader.GetShortAttr(element, L"Top", &top);
        element->Release();
    }
    POINT p = OnScreen(form, left, top);
    SetWindowPos(form, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (app->ConnForm)
        app->ConnForm->LoadSettings(&reader);
}

void SaveMainFormSettings(MaintApp* app, HWND form)
{
    CXmlWriter writer(app->SettingsPath);
    writer.AddComment(kSettingsComment);
    writer.CreateRoot(L"Settings");
    WINDOWPLACEMENT wp = {sizeof(wp)};
    GetWindowPlacement(form, &wp);
    if (IXMLDOMElement* element = writer.AddElement(L"MainForm")) {
        writer.SetShortAttr(element, L"Left", wp.rcNormalPosition.left);
        writer.SetShortAttr(element, L"Top", wp.rcNormalPosition.top);
        element->Release();
    }
    if (app->ConnForm)
        app->ConnForm->SaveSettings(&writer);
    writer.Save();
}

void SetStatusText(MaintApp* app, HWND form, const wchar_t* text)
{
    wchar_t status[64] = L"";
    LoadStringW(app->hInstance, IDS_T_STATUS, status, 64);
    std::wstring line = std::wstring(status) + (text ? text : L"");
    SendDlgItemMessageW(form, IDC_MAIN_STATUS, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(line.c_str()));
}
