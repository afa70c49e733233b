// Opening and closing the database: the splash screen, the load sequence after ZM_DB_OPENED
// and the closing that empties the cards.
#include "mainapp/dbopen.h"

#include <commctrl.h>
#include <cstdlib>
#include <strsafe.h>

#include "browse/searchpage.h"
#include "browse/workspace.h"
#include "core/database.h"
#include "core/msgbox.h"
#include "core/msgboxtext.h"
#include "core/schemacheck.h"
#include "core/storedimage.h"
#include "kavlink/kavlink.h"
#include "shellcontract/configdata.h"
#include "mainapp/mainform.h"
#include "mainapp/wssettings.h"
#include "mainapp/wsunread.h"
#include "shellcontract/zm_protocol.h"
#include "resources/zorna/czechorder.h"

namespace {

const UINT kConfigurationCommand = 107;  // IDM_CONFIGURATION
const wchar_t kOpenStartedProp[] = L"ZornaOpenStarted";

// The main window. During start-up MainWnd is still null (the whole start-up runs inside the
// first WM_SHOWWINDOW), so the window the database object and the workspace were made for
// stands in for it.
HWND FormWindow(MainForm* form)
{
    if (form->MainWnd)
        return form->MainWnd;
    if (form->Database && form->Database->MainWindow)
        return form->Database->MainWindow;
    if (form->Workspace_)
        return form->Workspace_->MainWindow;
    return nullptr;
}

// A message of the opening goes over the window the user works in: the splash during start-up.
HWND BoxOwner(MainForm* form)
{
    return MessageOwner(FormWindow(form));
}

void SetProgress(HWND progressWindow, int position)
{
    if (progressWindow)
        SendDlgItemMessageW(progressWindow, IDC_SPLASH_PROGRESS, PBM_SETPOS, position, 0);
}

// The end of an opening, whatever its outcome: the splash closes when its timer has already
// fired, otherwise the next tick closes it.
void EndOpening(MainForm* form, HWND progressWindow)
{
    if (form->SplashTimerFired) {
        if (progressWindow)
            SendMessageW(progressWindow, WM_CLOSE, 0, 0);
    } else {
        form->OpenFinished = 1;
    }
}

// The failure's own text, then the reason below it (the data layer's, naming the file) when
// there is one.
BOOL FailOpening(MainForm* form, HWND progressWindow, UINT textId, const std::wstring& reason)
{
    wchar_t heading[256] = L"";
    wchar_t caption[64] = L"";
    LoadStringW(form->hInstance, textId, heading, 256);
    LoadStringW(form->hInstance, IDS_DBOPEN_ERROR_CAPTION, caption, 64);
    std::wstring text = heading;
    if (!reason.empty())
        text += L"\n\n" + reason;
    ZorMessageBox(BoxOwner(form), text.c_str(), caption, MB_ICONERROR);
    EndOpening(form, progressWindow);
    return FALSE;
}

// The file being opened: the one chosen to replace the database in use while it opens.
const wchar_t* DatabasePath(MainForm* form)
{
    const wchar_t* path = form->Opening ? form->OpeningConn.DBName : form->Conn.DBName;
    return path ? path : L"";
}

wchar_t* CopyText(const wchar_t* text)
{
    return text ? _wcsdup(text) : nullptr;
}

void FreeSettings(ConnSettings* settings)
{
    free(settings->UserName);
    free(settings->DBName);
    *settings = ConnSettings();
}

// Whether an opened file is one to work on; otherwise why not (the reason may be empty).
bool OpenedAsZornaDatabase(MainForm* form, CDatabase* db, std::wstring* reason)
{
    if (!db || !db->IsOpen()) {
        *reason = db ? db->AdoConnection->LastErrorText() : std::wstring();
        return false;
    }
    SchemaProblem problem = CheckZornaSchema(db->AdoConnection);
    if (problem.What == SchemaProblem::None)
        return true;
    *reason = SchemaProblemText(form->hInstance, problem, DatabasePath(form));
    return false;
}

// A file that opened but is no whole Zorna database, or whose pages do not hold together, is let
// go at once: nothing half-loaded stays on the cards.
BOOL RefuseOpenedFile(MainForm* form, HWND progressWindow, const std::wstring& reason)
{
    OnCloseDatabase(form, FormWindow(form));
    return FailOpening(form, progressWindow, IDS_DBOPEN_FAILED, reason);
}

// A read of the load that met a damaged page: the load goes no further.
bool ReadFoundDamage(CDatabase* db)
{
    return db->AdoConnection->FoundDamage();
}

std::wstring DamagedText(MainForm* form)
{
    return zdata::OpenRefusalText(zdata::RefusalKind::Damaged, DatabasePath(form));
}

void SetMenuCommand(HWND mainWnd, UINT command, bool enabled)
{
    HMENU menu = mainWnd ? GetMenu(mainWnd) : nullptr;
    if (menu)
        EnableMenuItem(menu, command, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

// The record page in front states its commands again: with a database they are offered, without
// one grayed (the main form decides, the page only tells what it shows). Maps do not depend on it.
void AnnouncePageInFront(MainForm* form, HWND mainWnd)
{
    Workspace* ws = form->Workspace_;
    if (!ws || !mainWnd || ws->GetCurrentTab(mainWnd) >= kFirstMapTab)
        return;
    ws->HidePage(mainWnd);
    ws->ShowPage(mainWnd);
}

void CALLBACK SplashTimerProc(HWND hwnd, UINT, UINT_PTR, DWORD)
{
    MainForm* form = reinterpret_cast<MainForm*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!form)
        return;
    if (form->OpenFinished)
        SendMessageW(hwnd, WM_CLOSE, 0, 0);
    else
        form->SplashTimerFired = 1;
}

// The picture, fitted into 450 x 250; the controls below it and the window around them.
void LayOutSplash(HWND hwnd, MainForm* form)
{
    HWND picture = GetDlgItem(hwnd, IDC_SPLASH_PICTURE);
    HRSRC found = FindResourceW(form->hInstance, L"PNG_SPLASH", MAKEINTRESOURCEW(10));
    HGLOBAL loaded = found ? LoadResource(form->hInstance, found) : nullptr;
    const BYTE* bytes = loaded ? (const BYTE*)LockResource(loaded) : nullptr;
    if (bytes) {
        int width = kSplashPictureWidth;
        int height = kSplashPictureHeight;
        HBITMAP bitmap = PngToBitmap(hwnd, bytes, SizeofResource(form->hInstance, found), &width,
                                     &height, FALSE, TRUE, IMAGE_ALIGN_CENTRE);
        if (bitmap) {
            HBITMAP old = (HBITMAP)SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP,
                                                (LPARAM)bitmap);
            if (old)
                DeleteObject(old);
            SetPropW(hwnd, L"ZornaSplashBitmap", bitmap);
        }
    }

    RECT p;
    GetWindowRect(picture, &p);
    MapWindowPoints(nullptr, hwnd, (POINT*)&p, 2);
    HWND status = GetDlgItem(hwnd, IDC_SPLASH_STATUS);
    HWND progress = GetDlgItem(hwnd, IDC_SPLASH_PROGRESS);
    RECT s;
    GetWindowRect(status, &s);
    int statusTop = p.bottom + p.top;
    int statusHeight = s.bottom - s.top;
    SetWindowPos(status, nullptr, p.left, statusTop, p.right - p.left, statusHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    RECT b;
    GetWindowRect(progress, &b);
    int progressTop = statusTop + statusHeight + 4;
    int progressHeight = b.bottom - b.top;
    SetWindowPos(progress, nullptr, p.left, progressTop, p.right - p.left, progressHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);

    RECT client = {0, 0, p.right + p.left, p.top + progressTop + progressHeight};
    AdjustWindowRectEx(&client, (DWORD)GetWindowLongPtrW(hwnd, GWL_STYLE), FALSE,
                       (DWORD)GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
    int width = client.right - client.left;
    int height = client.bottom - client.top;
    HDC screen = GetDC(nullptr);
    int x = (GetDeviceCaps(screen, HORZRES) - width) / 2;
    int y = (GetDeviceCaps(screen, VERTRES) - height) / 2;
    ReleaseDC(nullptr, screen);
    SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void FreeSplashBitmap(HWND hwnd)
{
    HBITMAP ours = (HBITMAP)RemovePropW(hwnd, L"ZornaSplashBitmap");
    HBITMAP shown = (HBITMAP)SendDlgItemMessageW(hwnd, IDC_SPLASH_PICTURE, STM_SETIMAGE,
                                                  IMAGE_BITMAP, 0);
    // A static may keep its own copy of a bitmap with alpha; both are ours to free.
    if (shown && shown != ours)
        DeleteObject(shown);
    if (ours)
        DeleteObject(ours);
}

}  // namespace

UINT SplashTimerPeriod()
{
    wchar_t value[16] = L"";
    DWORD length = GetEnvironmentVariableW(L"ZORNA_SPLASH_MS", value, 16);
    if (length > 0 && length < 16) {
        long ms = wcstol(value, nullptr, 10);
        if (ms >= 1 && ms <= 60000)
            return (UINT)ms;
    }
    return kSplashTimerMs;
}

INT_PTR CALLBACK SplashDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG: {
        MainForm* form = reinterpret_cast<MainForm*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, (LONG_PTR)form);
        SetTimer(hwnd, kSplashTimerId, SplashTimerPeriod(), SplashTimerProc);
        SendDlgItemMessageW(hwnd, IDC_SPLASH_PROGRESS, PBM_SETRANGE32, 0, 100);
        LayOutSplash(hwnd, form);
        return FALSE;
    }
    case WM_SHOWWINDOW:
        // The splash can be shown more than once (its owner being shown again); the database is
        // opened at the first showing only.
        if (wParam && !GetPropW(hwnd, kOpenStartedProp)) {
            SetPropW(hwnd, kOpenStartedProp, (HANDLE)1);
            MainForm* form = reinterpret_cast<MainForm*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
            if (form)
                OnOpenDatabase(form, hwnd);
        }
        return FALSE;
    case WM_CLOSE:
        EndDialog(hwnd, 0);
        return TRUE;
    case WM_DESTROY:
        KillTimer(hwnd, kSplashTimerId);
        RemovePropW(hwnd, kOpenStartedProp);
        FreeSplashBitmap(hwnd);
        return FALSE;
    }
    return FALSE;
}

INT_PTR RunSplash(MainForm* form, HWND owner)
{
    return DialogBoxParamW(form->hInstance, L"SPLASHDLG", owner, SplashDlgProc, (LPARAM)form);
}

void RunStartupSequence(MainForm* form)
{
    HWND mainWnd = FormWindow(form);
    // A file that did not read is put aside before anything can write the defaults over it.
    KeepUnreadWorkspace(form->ConfigPath, LoadWorkspace(form, mainWnd), mainWnd, form->hInstance);
    if (form->Workspace_ && form->Config)
        form->Workspace_->ApplyCardFont(form->Config->CardFont, form->Config->CardColor,
                                        form->Config->CardPointSize / 5);
    form->SplashTimerFired = 0;
    form->OpenFinished = 0;
    RunSplash(form, mainWnd);
}

void OnOpenDatabase(MainForm* form, HWND progressWnd)
{
    // Only a database file opens anything; settings without a file name are no database.
    bool opens = form->Conn.ConnType == 1 && form->Conn.DBName && form->Conn.DBName[0]
                 && form->Database;
    if (!opens) {
        form->OpenFinished = 1;
        return;
    }
    // Whatever Open answers, ZM_DB_OPENED follows once, so the opening ends there.
    form->Database->Open(progressWnd, &form->Conn);
}

// A database whose Czech collation extension did not load opens all the same, with lists in
// the schema's own order; the user is told once, at the open, what is missing.
static void WarnOfMissingCzechOrder(MainForm* form, CDatabase* db)
{
    std::wstring missing = db->MissingCollationExtension();
    if (missing.empty())
        return;
    wchar_t format[512] = L"";
    wchar_t text[1024] = L"";
    wchar_t caption[64] = L"";
    LoadStringW(form->hInstance, IDS_CZECH_ORDER_MISSING, format, 512);
    LoadStringW(form->hInstance, IDS_DBOPEN_WARNING_CAPTION, caption, 64);
    StringCchPrintfW(text, 1024, format, missing.c_str());
    ZorMessageBox(BoxOwner(form), text, caption, MB_ICONWARNING);
}

// A read-only file opens for reading: the user hears it now, not at the first edit.
static void WarnOfReadOnlyFile(MainForm* form, CDatabase* db)
{
    if (!db->AdoConnection->IsReadOnly())
        return;
    std::wstring text = ResourceText(form->hInstance, IDS_DBOPEN_READ_ONLY, {DatabasePath(form)});
    wchar_t caption[64] = L"";
    LoadStringW(form->hInstance, IDS_DBOPEN_WARNING_CAPTION, caption, 64);
    ZorMessageBox(BoxOwner(form), text.c_str(), caption, MB_ICONWARNING);
}

void ReportDamageFound(MainForm* form)
{
    CDatabase* db = form ? form->Database : nullptr;
    if (!db || form->DamageReported || !db->IsOpen() || !ReadFoundDamage(db))
        return;
    form->DamageReported = 1;  // before the box, whose message loop may read more
    wchar_t caption[64] = L"";
    LoadStringW(form->hInstance, IDS_DBOPEN_ERROR_CAPTION, caption, 64);
    ZorMessageBox(BoxOwner(form), DamagedText(form).c_str(), caption, MB_ICONERROR);
}

void ReportFileInUse(MainForm* form)
{
    CDatabase* db = form ? form->Database : nullptr;
    if (!db || form->InUseReportPending || db->AdoConnection->LastRefusalKind() != zdata::RefusalKind::Locked)
        return;
    // The box comes once the action has ended: what it left on the cards is what the box is over.
    form->InUseReportPending = 1;
    PostMessageW(FormWindow(form), kFileInUseMessage, 0, 0);
}

void ShowFileInUse(MainForm* form)
{
    form->InUseReportPending = 0;
    wchar_t caption[64] = L"";
    LoadStringW(form->hInstance, IDS_DBOPEN_WARNING_CAPTION, caption, 64);
    std::wstring text = zdata::OpenRefusalText(zdata::RefusalKind::Locked, DatabasePath(form));
    ZorMessageBox(BoxOwner(form), text.c_str(), caption, MB_ICONWARNING);
}

void OpenChosenDatabase(MainForm* form, HWND mainWnd)
{
    if (!form->ConnForm || form->Opening)
        return;
    // The connection dialog fills the settings only when the user accepts.
    ConnSettings chosen = {form->Conn.ConnType, CopyText(form->Conn.UserName), nullptr, CopyText(form->Conn.DBName)};
    if (!form->ConnForm->RunDialog(&chosen)) {
        FreeSettings(&chosen);
        return;
    }
    if (!form->Database || !form->Database->IsOpen()) {
        FreeSettings(&form->Conn);
        form->Conn = chosen;
        OnCloseDatabase(form, mainWnd);
        OnOpenDatabase(form, nullptr);
        return;
    }
    form->Opening = new CDatabase(mainWnd, form->hInstance);
    form->OpeningConn = chosen;
    form->Opening->Open(nullptr, &form->OpeningConn);
}

void DropOpeningDatabase(MainForm* form)
{
    delete form->Opening;
    form->Opening = nullptr;
    FreeSettings(&form->OpeningConn);
}

BOOL OnDatabaseOpened(MainForm* form, HWND progressWindow)
{
    SetProgress(progressWindow, 0);
    std::wstring reason;
    if (!OpenedAsZornaDatabase(form, form->Opening ? form->Opening : form->Database, &reason)) {
        // A file chosen to replace the open database goes; the database in use stays as it was.
        if (form->Opening)
            DropOpeningDatabase(form);
        else if (form->Database && form->Database->IsOpen())
            OnCloseDatabase(form, FormWindow(form));
        return FailOpening(form, progressWindow, IDS_DBOPEN_FAILED, reason);
    }
    HWND mainWnd = FormWindow(form);
    if (form->Opening) {
        OnCloseDatabase(form, mainWnd);
        delete form->Database;
        form->Database = form->Opening;
        form->Opening = nullptr;
        FreeSettings(&form->Conn);
        form->Conn = form->OpeningConn;
        form->OpeningConn = ConnSettings();
    }
    form->DamageReported = 0;
    CDatabase* db = form->Database;
    Workspace* ws = form->Workspace_;
    ConfigData* config = form->Config;
    WarnOfMissingCzechOrder(form, db);
    WarnOfReadOnlyFile(form, db);

    SetProgress(progressWindow, 4);
    SetMenuCommand(mainWnd, kConfigurationCommand, true);
    SetProgress(progressWindow, 9);
    form->UpdateMainTitle();
    SetProgress(progressWindow, 13);
    if (ws) {
        db->LoadSysLevelDefs(ws->GetTreeView(WS_SYS_CARD), ws->GetChildList(WS_SYS_CARD),
                             ws->GetLargeImages(WS_SYS_CARD), ws->GetSmallImages(WS_SYS_CARD),
                             ws->GetLevelCache(WS_SYS_CARD));
        SetProgress(progressWindow, 18);
        db->LoadLocLevelDefs(ws->GetTreeView(WS_LOC_CARD), ws->GetChildList(WS_LOC_CARD),
                             ws->GetLargeImages(WS_LOC_CARD), ws->GetSmallImages(WS_LOC_CARD),
                             ws->GetLevelCache(WS_LOC_CARD));
        SetProgress(progressWindow, 22);
        ws->SetTreeSource(WS_SYS_CARD, db->GetSysTreeRs());
        SetProgress(progressWindow, 27);
        ws->SetTreeSource(WS_LOC_CARD, db->GetLocTreeRs());
        SetProgress(progressWindow, 31);
    }
    if (ReadFoundDamage(db))
        return RefuseOpenedFile(form, progressWindow, DamagedText(form));
    // The trees stay loaded when the schema fails otherwise: the program runs with what it has.
    if (!db->DiscoverSchema()) {
        if (ReadFoundDamage(db))
            return RefuseOpenedFile(form, progressWindow, DamagedText(form));
        return FailOpening(form, progressWindow, IDS_DBOPEN_SCHEMA_FAILED, db->AdoConnection->LastErrorText());
    }

    SetProgress(progressWindow, 36);
    if (config) {
        db->BuildSysHeaderColumns(config->SysHeaderFields);
        db->BuildSysListColumns(config->SysFields);
        db->BuildLocHeaderColumns(config->LocHeaderFields);
        db->BuildLocListColumns(config->LocFields);
        db->BuildSearchListColumns(config->SearchFields);
        db->BuildLitListColumns(config->LitFields);
        config->ResolveCustomFieldRefs();
    }
    SetProgress(progressWindow, 40);
    if (ws && config) {
        ws->ApplyHeaderFields(WS_SYS_CARD, config->SysHeaderFields);
        SetProgress(progressWindow, 45);
        ws->ApplyHeaderFields(WS_LOC_CARD, config->LocHeaderFields);
        SetProgress(progressWindow, 50);
        ws->ApplyListFields(WS_SYS_RECORDS, config->SysFields);
        SetProgress(progressWindow, 54);
        ws->ApplyListFields(WS_LOC_RECORDS, config->LocFields);
        SetProgress(progressWindow, 59);
        ws->ApplyListFields(WS_SEARCH_LIST, config->SearchFields);
        SetProgress(progressWindow, 63);
        ws->ApplyListFields(WS_LIT_LIST, config->LitFields);
    }
    SetProgress(progressWindow, 68);
    db->LoadNameLists();
    SetProgress(progressWindow, 72);
    if (ws && ws->GetCurrentId(WS_SYS_CARD) > 0)
        SendMessageW(mainWnd, ZM_GOTO_TREE_ITEM, ZM_CARD_SYS, ws->GetCurrentId(WS_SYS_CARD));
    SetProgress(progressWindow, 77);
    if (ws && ws->GetCurrentId(WS_LOC_CARD) > 0)
        SendMessageW(mainWnd, ZM_GOTO_TREE_ITEM, ZM_CARD_LOC, ws->GetCurrentId(WS_LOC_CARD));
    SetProgress(progressWindow, 81);
    if (form->SearchPage)
        form->SearchPage->SetTrees(db->GetSysTreeRs(), db->GetLocTreeRs());
    SetProgress(progressWindow, 86);
    if (form->SearchPage && config)
        form->SearchPage->SetSearchFields(config->SearchFields);
    SetProgress(progressWindow, 90);
    if (ws)
        ws->FillAuthorCombo(mainWnd);
    SetProgress(progressWindow, 95);
    if (ws)
        ws->RequeryLiterature(mainWnd);
    if (ReadFoundDamage(db))
        return RefuseOpenedFile(form, progressWindow, DamagedText(form));
    // The maps' record and query layers still hold what they fetched without this database.
    if (ws)
        ws->RefreshMaps();
    AnnouncePageInFront(form, mainWnd);
    EndOpening(form, progressWindow);
    return TRUE;
}

void OnCloseDatabase(MainForm* form, HWND mainWnd)
{
    if (form->Database && form->Database->Close()) {
        SendMessageW(mainWnd, ZM_RESET_TOOLBAR_COMBO, 0, 0);
        if (form->Workspace_) {
            form->Workspace_->SetTreeSource(WS_SYS_CARD, nullptr);
            form->Workspace_->SetTreeSource(WS_LOC_CARD, nullptr);
            // The lists' columns carry the configuration's entries, which go next.
            form->Workspace_->ClearListColumns();
            form->Workspace_->ForgetRecordTemplate();
        }
        SetMenuCommand(mainWnd, kConfigurationCommand, false);
        // The search page lets go of the trees and of the configuration's entries, and the
        // condition built for this database is not run on the next one.
        if (form->SearchPage) {
            form->SearchPage->SetTrees(nullptr, nullptr);
            form->SearchPage->SetSearchFields(nullptr);
            form->SearchPage->ClearWhere();
        }
        if (form->Workspace_)
            form->Workspace_->SearchWhere = nullptr;
        if (form->Config)
            form->Config->ClearLists();
        if (form->Workspace_) {
            form->Workspace_->FillAuthorCombo(mainWnd);
            // The maps' record and query layers showed this database's records: they are
            // fetched again (finding none) when drawn next; the shapefile layers stay.
            form->Workspace_->RefreshMaps();
        }
        AnnouncePageInFront(form, mainWnd);
    }
    form->UpdateMainTitle();
}
