// The workspace settings file and the registry values of the main program.
#include "mainapp/wssettings.h"

#include <commctrl.h>
#include <strsafe.h>
#include <vector>

#include "browse/searchpage.h"
#include "browse/workspace.h"
#include "core/containers.h"
#include "core/database.h"
#include "core/longpath.h"
#include "core/textutil.h"
#include "core/xmlaccess.h"
#include "kavlink/kavlink.h"
#include "shellcontract/configdata.h"
#include "mainapp/mainform.h"
#include "map/griddef.h"
#include "reports/excelexport.h"
#include "reports/settingsxml.h"
#include "reports/textexport.h"

namespace {

const int kTabControlId = 1002;
// The normal rectangle of a window whose file gives no size: 100, 100, 558, 471.
const int kDefaultLeft = 100, kDefaultTop = 100, kDefaultWidth = 458, kDefaultHeight = 371;

// A REG_SZ value of any length, terminated whatever the registry holds; empty when missing.
std::wstring ReadRegString(HKEY key, const wchar_t* value)
{
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD bytes = (DWORD)(buffer.size() * sizeof(wchar_t));
        LONG r = RegGetValueW(key, nullptr, value, RRF_RT_REG_SZ, nullptr, buffer.data(), &bytes);
        if (r == ERROR_SUCCESS)
            return std::wstring(buffer.data());
        if (r != ERROR_MORE_DATA)
            break;
        buffer.resize(bytes / sizeof(wchar_t) + 1);
    }
    return std::wstring();
}

std::wstring ReadRegString(HKEY root, const wchar_t* subkey, const wchar_t* value, REGSAM view)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subkey, 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return std::wstring();
    std::wstring text = ReadRegString(key, value);
    RegCloseKey(key);
    return text;
}

// The folder of the running program, with its trailing backslash.
std::wstring ProgramFolder()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buffer.data(), (DWORD)buffer.size());
        if (!n)
            return std::wstring();
        if (n < buffer.size())
            break;
        buffer.resize(buffer.size() * 2);
    }
    std::wstring path(buffer.data());
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

void ReplaceText(wchar_t** text, const wchar_t* value)
{
    free(*text);
    *text = value ? WideDup(value) : nullptr;
}

WorkspaceFileParts PartsOf(MainForm* form, HWND mainWnd)
{
    WorkspaceFileParts parts = {};
    parts.MainWnd = mainWnd;
    parts.Space = form->Workspace_;
    parts.ConnForm = form->ConnForm;
    parts.Config = form->Config;
    parts.TextExport = form->TextExport;
    parts.ExcelExport = form->ExcelExport;
    parts.SearchPage = form->SearchPage;
    parts.Database = form->Database;
    parts.GridList = form->GridList;
    parts.Conn = &form->Conn;
    parts.LastExpType = &form->LastExpType;
    parts.LastExpImgType = &form->LastExpImgType;
    return parts;
}

void ReadRegistryInto(ConnSettings* conn, std::wstring* configPath, std::wstring* appPath,
                      size_t configCapacity)
{
    conn->ConnType = 0;
    *configPath = ReadRegString(HKEY_CURRENT_USER, ZORNA_USER_KEY, ZORNA_LAST_CONFIG_VALUE, 0);
    // A path longer than the place that keeps it is as good as none: never open a cut path.
    if (configCapacity && configPath->size() >= configCapacity)
        configPath->clear();

    // An installer of 32-bit programs writes its key into the 32-bit view.
    *appPath = ReadRegString(HKEY_LOCAL_MACHINE, ZORNA_MACHINE_KEY, ZORNA_APP_PATH_VALUE, 0);
    if (appPath->empty())
        *appPath = ReadRegString(HKEY_LOCAL_MACHINE, ZORNA_MACHINE_KEY, ZORNA_APP_PATH_VALUE,
                                 KEY_WOW64_32KEY);
    // Without an installation's key the help file is looked for beside the program.
    if (appPath->empty())
        *appPath = ProgramFolder();

    if (!configPath->empty())
        return;  // the connection then comes only from the workspace file
    ReplaceText(&conn->DBName, DefaultDatabasePath().c_str());
    *configPath = DefaultWorkspacePath();
    conn->ConnType = 1;
    if (!conn->UserName)
        conn->UserName = WideDup(L"");
}

}  // namespace

// ---- paths ----

std::wstring DefaultWorkspacePath()
{
    return CommonAppDataFolder() + L"Kelvane\\Zorna2011\\Zorna.xml";
}

bool EnsureFolderOfFile(const wchar_t* path)
{
    if (!path || !*path)
        return false;
    std::wstring folder = path;
    size_t slash = folder.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return true;  // a file in the current directory
    folder.resize(slash);
    if (folder.empty() || (folder.size() == 2 && folder[1] == L':'))
        return true;  // the root of a drive
    // Made full first, then created a level at a time (paths of any length).
    DWORD n = GetFullPathNameW(folder.c_str(), 0, nullptr, nullptr);
    if (!n)
        return false;
    std::vector<wchar_t> full(n + 1);
    if (!GetFullPathNameW(folder.c_str(), (DWORD)full.size(), full.data(), nullptr))
        return false;
    folder = full.data();
    auto isFolder = [](const std::wstring& p) {
        DWORD attributes = GetFileAttributesW(FileSystemPath(p.c_str()).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    };
    if (isFolder(folder))
        return true;
    // The first level that may be made: after "C:\" or after "\\server\share\".
    size_t start = 3;
    if (folder.compare(0, 2, L"\\\\") == 0) {
        size_t share = folder.find(L'\\', 2);
        start = share == std::wstring::npos ? folder.size() : folder.find(L'\\', share + 1);
        if (start == std::wstring::npos)
            start = folder.size();
    }
    for (size_t at = folder.find(L'\\', start); ; at = folder.find(L'\\', at + 1)) {
        std::wstring level = folder.substr(0, at);
        if (!isFolder(level))
            CreateDirectoryW(FileSystemPath(level.c_str()).c_str(), nullptr);
        if (at == std::wstring::npos)
            break;
    }
    return isFolder(folder);
}

// ---- registry ----

void ReadRegistryPaths(ConnSettings* conn, std::wstring* configPath, std::wstring* appPath,
                       size_t configCapacity)
{
    ReadRegistryInto(conn, configPath, appPath, configCapacity);
}

bool WriteLastConfigPath(const wchar_t* path)
{
    HKEY software = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_ALL_ACCESS, &software) !=
        ERROR_SUCCESS)
        return false;
    bool written = false;
    HKEY key = nullptr;
    if (RegCreateKeyExW(software, ZORNA_USER_SUBKEY, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        const wchar_t* text = path ? path : L"";
        DWORD bytes = (DWORD)((wcslen(text) + 1) * sizeof(wchar_t));  // with the terminator
        written = RegSetValueExW(key, ZORNA_LAST_CONFIG_VALUE, 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(text), bytes) == ERROR_SUCCESS;
        RegCloseKey(key);
    }
    RegCloseKey(software);
    return written;
}

void ReadRegistrySettings(MainForm* form)
{
    if (!form)
        return;
    // Paths of any length are kept whole: a long LastConfigFile is used, never replaced by the
    // default (which the exit would then write back over the user's value).
    ReadRegistryInto(&form->Conn, &form->ConfigPath, &form->AppPath, 0);
}

void WriteLastConfigFile(MainForm* form)
{
    if (form)
        WriteLastConfigPath(form->ConfigPath.c_str());
}

// ---- the workspace file ----

bool SaveWorkspaceFile(const wchar_t* path, const WorkspaceFileParts& parts)
{
    if (!path || !*path)
        return false;
    // The widths and order the user dragged go into the field lists before they are written.
    if (parts.Space)
        parts.Space->CollectColumnLayout();
    // A fresh installation has no folder yet; without it every exit would lose the workspace.
    EnsureFolderOfFile(path);

    CXmlWriter writer(path);
    writer.AddComment(WORKSPACE_FILE_COMMENT);
    writer.CreateRoot(L"Settings");

    if (IXMLDOMElement* main = writer.AddElement(L"MainForm")) {
        WINDOWPLACEMENT placement = {};
        placement.length = sizeof(placement);
        if (parts.MainWnd && GetWindowPlacement(parts.MainWnd, &placement)) {
            WritePlacementAttrs(&writer, main, placement);
            HWND tab = GetDlgItem(parts.MainWnd, kTabControlId);
            writer.SetIntAttr(main, L"ActiveTab", tab ? (int)SendMessageW(tab, TCM_GETCURSEL, 0, 0) : 0);
        }
        writer.SetIntAttr(main, L"LastExpType", parts.LastExpType ? *parts.LastExpType : 0);
        writer.SetIntAttr(main, L"LastExpImgType", parts.LastExpImgType ? *parts.LastExpImgType : 0);
        if (parts.Space)
            parts.Space->SaveWorkspaceSettings(&writer, main);
        main->Release();
    }

    if (parts.ConnForm)
        parts.ConnForm->SaveSettings(&writer);
    if (parts.Config)
        parts.Config->WriteConfigSection(&writer);
    if (parts.SearchPage)
        parts.SearchPage->SaveSettings(&writer);
    if (parts.TextExport)
        parts.TextExport->SaveSettings(&writer);
    if (parts.ExcelExport)
        parts.ExcelExport->SaveSettings(&writer);

    if (IXMLDOMElement* system = writer.AddElement(L"System")) {
        if (parts.Database && parts.Conn && parts.Database->IsOpen()) {
            if (IXMLDOMElement* connection = writer.AddChildElement(system, L"Connection")) {
                writer.SetIntAttr(connection, L"ConnType", parts.Conn->ConnType);
                if (parts.Conn->DBName)
                    writer.SetStringAttr(connection, L"DBName", parts.Conn->DBName);
                if (parts.Conn->UserName)
                    writer.SetStringAttr(connection, L"UserName", parts.Conn->UserName);
                connection->Release();
            }
        }
        system->Release();
    }

    if (IXMLDOMElement* grids = writer.AddElement(L"Grids")) {
        int count = parts.GridList ? parts.GridList->GetCount() : 0;
        for (int i = 0; i < count; ++i) {
            const GridDef* grid = static_cast<const GridDef*>(parts.GridList->GetItems()[i]);
            if (grid)
                WriteGridElement(&writer, grids, grid, i + 1);
        }
        grids->Release();
    }
    return SUCCEEDED(writer.Save());
}

int LoadWorkspaceFile(const wchar_t* path, const WorkspaceFileParts& parts)
{
    CXmlReader reader(path ? path : L"");

    // Grids come first: the map cards that MainForm recreates choose from them. The list is
    // replaced, so reopening a template does not pile up its grids.
    if (parts.GridList) {
        parts.GridList->RemoveAll(1);
        if (IXMLDOMElement* grids = reader.SelectElement(L"Grids")) {
            for (IXMLDOMElement* child = reader.FirstChildElement(grids, nullptr); child;
                 child = reader.NextSiblingElement(child, nullptr)) {
                GridDef* grid = static_cast<GridDef*>(calloc(1, sizeof(GridDef)));
                if (!grid)
                    continue;
                ReadGridElement(&reader, child, grid);
                parts.GridList->Add(grid);
            }
            grids->Release();
        }
    }

    if (IXMLDOMElement* main = reader.SelectElement(L"MainForm")) {
        if (parts.Space)
            parts.Space->LoadWorkspaceSettings(&reader, main, parts.GridList);
        WINDOWPLACEMENT placement = {};
        placement.length = sizeof(placement);
        placement.flags = 0;
        placement.showCmd = SW_SHOWNA;
        placement.rcNormalPosition = { kDefaultLeft, kDefaultTop, kDefaultLeft + kDefaultWidth,
                                       kDefaultTop + kDefaultHeight };
        RECT& r = placement.rcNormalPosition;
        int state = (int)placement.showCmd, left = r.left, top = r.top, width = 0, height = 0;
        if (reader.GetIntAttr(main, L"WindowState", &state))
            placement.showCmd = (UINT)state;
        // A program left minimised would otherwise start as a button on the task bar only.
        if (placement.showCmd == SW_SHOWMINIMIZED || placement.showCmd == SW_MINIMIZE ||
            placement.showCmd == SW_SHOWMINNOACTIVE || placement.showCmd == SW_FORCEMINIMIZE)
            placement.showCmd = SW_SHOWNORMAL;
        reader.GetIntAttr(main, L"Left", &left);
        reader.GetIntAttr(main, L"Top", &top);
        r.left = left;
        r.top = top;
        // A size of nothing or less (a hand-edited file) gives the default size.
        if (reader.GetIntAttr(main, L"Width", &width))
            r.right = left + (width > 0 ? width : kDefaultWidth);
        if (reader.GetIntAttr(main, L"Height", &height))
            r.bottom = top + (height > 0 ? height : kDefaultHeight);
        int activeTab = 0;
        if (reader.GetIntAttr(main, L"ActiveTab", &activeTab) && parts.MainWnd) {
            HWND tab = GetDlgItem(parts.MainWnd, kTabControlId);
            // A tab the strip does not have would leave no tab selected: the current one stays.
            int tabs = tab ? (int)SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0) : 0;
            if (activeTab >= 0 && activeTab < tabs)
                SendMessageW(tab, TCM_SETCURSEL, (WPARAM)activeTab, 0);
        }
        if (parts.LastExpType)
            reader.GetIntAttr(main, L"LastExpType", parts.LastExpType);
        if (parts.LastExpImgType)
            reader.GetIntAttr(main, L"LastExpImgType", parts.LastExpImgType);
        if (parts.MainWnd)
            SetWindowPlacement(parts.MainWnd, &placement);
        main->Release();
    } else if (parts.MainWnd) {
        SetWindowPos(parts.MainWnd, nullptr, 100, 100, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    if (parts.ConnForm)
        parts.ConnForm->LoadSettings(&reader);
    if (parts.Config)
        parts.Config->ReadConfigSection(&reader);
    if (parts.SearchPage)
        parts.SearchPage->LoadSettings(&reader);
    if (parts.TextExport)
        parts.TextExport->LoadSettings(&reader);
    if (parts.ExcelExport)
        parts.ExcelExport->LoadSettings(&reader);

    if (parts.Conn) {
        if (IXMLDOMElement* system = reader.SelectElement(L"System")) {
            if (IXMLDOMElement* connection = reader.SelectChildElement(system, L"Connection")) {
                reader.GetIntAttr(connection, L"ConnType", &parts.Conn->ConnType);
                wchar_t* text = nullptr;
                reader.GetStringAttr(connection, L"DBName", &text);  // null when missing
                free(parts.Conn->DBName);
                parts.Conn->DBName = text;
                text = nullptr;
                reader.GetStringAttr(connection, L"UserName", &text);
                free(parts.Conn->UserName);
                parts.Conn->UserName = text;
                connection->Release();
            }
            system->Release();
        }
    }
    return reader.Result;
}

bool SaveWorkspace(MainForm* form, HWND mainWnd)
{
    return form && SaveWorkspaceFile(form->ConfigPath.c_str(), PartsOf(form, mainWnd));
}

int LoadWorkspace(MainForm* form, HWND mainWnd)
{
    return form ? LoadWorkspaceFile(form->ConfigPath.c_str(), PartsOf(form, mainWnd)) : XmlReadMissing;
}
