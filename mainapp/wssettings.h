// The workspace settings file (the whole working state of the main program in one XML file,
// which the user can also keep under other names as templates) and the two registry values:
// the workspace file last used and the program folder.
#pragma once
#include <windows.h>
#include <string>

#include "common/datapaths.h"
#include "core/connsettings.h"

class MainForm;
class Workspace;
class ConfigData;
class CTextExport;
class CExcelExport;
class CSearchPage;
class CDatabase;
class CPtrArray;
struct IOpenConnForm;

// Registry places.
#define ZORNA_USER_KEY L"Software\\Kelvane\\Z2011\\Zorna"   // HKCU, value LastConfigFile
#define ZORNA_USER_SUBKEY L"Kelvane\\Z2011\\Zorna"          // below HKCU\Software
#define ZORNA_MACHINE_KEY L"Software\\Kelvane\\Z211"        // HKLM, value AppPath
#define ZORNA_LAST_CONFIG_VALUE L"LastConfigFile"
#define ZORNA_APP_PATH_VALUE L"AppPath"

// Comment that marks a workspace file (GetXmlFileKind kind 1).
#define WORKSPACE_FILE_COMMENT L"Zorna Workspace Settings"

// Run by the main form's constructor before anything reads a path: ConfigPath from
// LastConfigFile, AppPath from the machine key (else the program's folder), and when no
// workspace file was used yet the default workspace file and database below the common
// application-data folder with ConnType 1.
void ReadRegistrySettings(MainForm* form);
// Run by the main form's destructor: stores ConfigPath as LastConfigFile.
void WriteLastConfigFile(MainForm* form);

// Writes the whole workspace file to ConfigPath; its folder is created when missing. Returns
// whether the file was written; the caller decides whether to tell the user (closing does not).
bool SaveWorkspace(MainForm* form, HWND mainWnd);
// Reads the workspace file at ConfigPath; whatever is missing keeps its default. The grid list
// is emptied first, so reopening a template does not duplicate its grids. Returns how the file
// read (XmlReadResult, core/xmlrefusal.h).
int LoadWorkspace(MainForm* form, HWND mainWnd);

// The defaults used when no workspace file was used yet: this file, and the database of
// DefaultDatabasePath (common/datapaths.h).
std::wstring DefaultWorkspacePath();  // ...\Kelvane\Zorna2011\Zorna.xml
// Creates the folder that holds the file (and its parents); true when it exists afterwards.
bool EnsureFolderOfFile(const wchar_t* path);

// ---- the same steps on the parts themselves (the main form hands in its own) ----

// What takes part in the workspace file. Null parts are skipped.
struct WorkspaceFileParts
{
    HWND MainWnd;                // placement and the tab control 1002
    Workspace* Space;            // writes and reads its settings inside MainForm
    IOpenConnForm* ConnForm;     // the connection dialog's own element
    ConfigData* Config;
    CTextExport* TextExport;
    CExcelExport* ExcelExport;
    CSearchPage* SearchPage;     // SearchDlg
    CDatabase* Database;         // the connection is stored only while it is open
    CPtrArray* GridList;         // GridDef records (owned by the list)
    ConnSettings* Conn;
    int* LastExpType;
    int* LastExpImgType;
};

// Reads the registry into the three places (see ReadRegistrySettings). A stored workspace path
// of configCapacity characters or more (when not 0) cannot be kept whole by its holder and counts
// as none.
void ReadRegistryPaths(ConnSettings* conn, std::wstring* configPath, std::wstring* appPath,
                       size_t configCapacity = 0);
// Stores the path as LastConfigFile; false when the registry refused it.
bool WriteLastConfigPath(const wchar_t* path);
bool SaveWorkspaceFile(const wchar_t* path, const WorkspaceFileParts& parts);
int LoadWorkspaceFile(const wchar_t* path, const WorkspaceFileParts& parts);
