// The main program's application object: owner of the main window MAINFORM (class ZORNAWND)
// and of every long-lived component. Child windows reach the database through the main
// window's private messages (shellcontract/zm_protocol.h), which MainFormDlgProc hands to the
// handlers of this object.
#pragma once
#include <windows.h>

#include <string>

#include "core/connsettings.h"

class CPtrArray;
class CDatabase;
class MainToolbar;         // mainapp/toolbars.h
class ViewToolbar;         // mainapp/toolbars.h
class Workspace;           // browse/workspace.h
class ConfigData;          // shellcontract/configdata.h
class CSearchPage;         // browse/searchpage.h
class CTextExport;         // reports/textexport.h
class CExcelExport;        // reports/excelexport.h
class CEditTermsDlg;       // browse/termsdlg.h: the lookup-values editor
class CEditLitJournalsDlg; // browse/litlistsdlg.h: the literature lists editor
class CMngListDlg;         // map/mnglistdlg.h: the coordinate systems and grids editor
struct IOpenConnForm;      // kavlink/kavlink.h

class MainForm
{
public:
    MainForm(HINSTANCE instance, DLGPROC dialogProc, HWND* mainWindow, HACCEL* accel);
    ~MainForm();

    // Caption: AppCaption, " - " and the database file's name when one is open.
    void UpdateMainTitle();

    // The record toolbar's buttons for a record list shown or not and its selected rows on the
    // current tab (ZM_UPDATE_RECORD_TOOLBAR); menu item 106 is enabled exactly when printing is
    // possible there. Returns the toolbar's answer (nonzero: printing possible).
    int UpdateRecordToolbar(HWND mainWnd, BOOL listShown, int selectedCount);

    // Registers the window class ZORNAWND of the MAINFORM template.
    static ATOM RegisterWindowClass(HINSTANCE instance);

    HINSTANCE hInstance;
    std::wstring ConfigPath;           // workspace settings file, of any length
    std::wstring AppPath;              // program folder
    HWND MainWnd;                      // null until CreateDialogParamW returns
    HACCEL Accel;
    HMENU ViewMenu;                    // VIEWMENU, inserted into the menu bar by the tree cards
    HMENU MapMenu;                     // MAPMENU, inserted by the map cards
    MainToolbar* Toolbar;              // control 1000
    ViewToolbar* RecordToolbar;        // control 1003
    Workspace* Workspace_;             // tab control 1002
    CDatabase* Database;
    // The database chosen to replace the open one while it opens, with its settings (dbopen.h);
    // null when none is opening.
    CDatabase* Opening;
    ConnSettings OpeningConn;
    IOpenConnForm* ConnForm;
    ConfigData* Config;
    CSearchPage* SearchPage;
    CTextExport* TextExport;
    CExcelExport* ExcelExport;
    CEditTermsDlg* TermsEditor;        // created on first use
    CEditLitJournalsDlg* LitListsEditor;
    CMngListDlg* GridListDlg;
    CPtrArray* GridList;               // GridDef records, shared with the map cards
    int HintFrom, HintTo;              // last cache hint of the search result list
    ConnSettings Conn;
    int LastExpType;                   // 1 text, 2 Excel, 0 not chosen yet
    int LastExpImgType;                // 1 BMP, 2 EMF, 3 EPS, 0 not chosen yet
    BYTE FirstShowPending;
    BYTE SplashTimerFired;
    BYTE OpenFinished;
    BYTE DamageReported;               // the open file was called damaged once (dbopen.h)
    BYTE InUseReportPending;           // the file in use is to be told (ReportFileInUse)
};

// The main window's dialog procedure: WM_INITDIALOG receives the MainForm in lParam and keeps
// it in DWLP_USER; every other message finds it there.
INT_PTR CALLBACK MainFormDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// The main window's WM_COMMAND (menus, accelerators, toolbars, cards); the dialog procedure's
// result.
INT_PTR OnMainCommand(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM lParam);

// Command 2004: the current tab's list, or the map of a map tab, exported to the file the user
// chooses (mainapp/exportcommand.cpp).
INT_PTR ExportCurrentTab(MainForm* form, HWND mainWnd);

// The program's message loop, until WM_QUIT: accelerators of the main window first (they work
// whichever control has the focus), then the dialog keys of the window the message is for (the
// main window or a modeless dialog such as the print form), then ordinary dispatch.
void RunMainMessageLoop(HWND mainWnd, HACCEL accel);

// The main toolbar's layout group for a tab of the workspace: the tree cards show the list view
// buttons, the maps the map tools, the other pages neither.
int MainToolbarGroupOfTab(int tab);

// The MainForm of a main window (DWLP_USER), or null.
inline MainForm* MainFormOf(HWND mainWindow)
{
    return reinterpret_cast<MainForm*>(GetWindowLongPtrW(mainWindow, DWLP_USER));
}
