// Workspace files written for the start-up tests and benchmark: the settings root with its
// comment, the connection element that names the database the program opens, and the
// registry value that points the program at the file.
#pragma once
#include <windows.h>

#include <string>

#include "core/xmlaccess.h"
#include "mainapp/wssettings.h"

namespace wstest {

// <System><Connection ConnType="1" DBName="..."/></System> under the root.
inline void AddConnection(CXmlWriter& writer, const wchar_t* dbName)
{
    IXMLDOMElement* system = writer.AddElement(L"System");
    IXMLDOMElement* connection = writer.AddChildElement(system, L"Connection");
    writer.SetIntAttr(connection, L"ConnType", 1);
    writer.SetStringAttr(connection, L"DBName", dbName);
    connection->Release();
    system->Release();
}

// A workspace file at path whose only content is the connection (none when dbName is null).
inline void WriteConnectionOnly(const std::wstring& path, const wchar_t* dbName)
{
    CXmlWriter writer(path.c_str());
    writer.AddComment(WORKSPACE_FILE_COMMENT);
    writer.CreateRoot(L"Settings");
    if (dbName)
        AddConnection(writer, dbName);
    writer.Save();
}

// A workspace file at path: the main window of 1000 x 750 at (40, 40) with a tab in front (the
// systematic one unless said), the cards on the given items (a card whose id is below 0 is left
// out) and the connection to the database.
inline void WriteCardsWorkspace(const std::wstring& path, const wchar_t* dbName, int taxonId,
                                int localityId, int activeTab = 0)
{
    CXmlWriter writer(path.c_str());
    writer.AddComment(WORKSPACE_FILE_COMMENT);
    writer.CreateRoot(L"Settings");
    IXMLDOMElement* main = writer.AddElement(L"MainForm");
    writer.SetIntAttr(main, L"Left", 40);
    writer.SetIntAttr(main, L"Top", 40);
    writer.SetIntAttr(main, L"Width", 1000);
    writer.SetIntAttr(main, L"Height", 750);
    writer.SetIntAttr(main, L"ActiveTab", activeTab);
    const wchar_t* tabs[2] = {L"SysTab", L"LocTab"};
    const int ids[2] = {taxonId, localityId};
    for (int k = 0; k < 2; k++) {
        if (ids[k] < 0)
            continue;
        IXMLDOMElement* tab = writer.AddChildElement(main, tabs[k]);
        writer.SetIntAttr(tab, L"CurId", ids[k]);
        tab->Release();
    }
    main->Release();
    AddConnection(writer, dbName);
    writer.Save();
}

// Sets the workspace file the main form starts with and restores the user's value afterwards.
class LastConfigFile {
public:
    explicit LastConfigFile(const std::wstring& path)
    {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, ZORNA_USER_KEY, 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr) != ERROR_SUCCESS)
            return;
        wchar_t old[MAX_PATH + 1] = L"";
        DWORD size = sizeof(old) - sizeof(wchar_t);
        DWORD type = 0;
        had_ = RegQueryValueExW(key, ZORNA_LAST_CONFIG_VALUE, nullptr, &type, (BYTE*)old, &size)
               == ERROR_SUCCESS;
        old_ = old;
        RegSetValueExW(key, ZORNA_LAST_CONFIG_VALUE, 0, REG_SZ, (const BYTE*)path.c_str(),
                       (DWORD)((path.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    ~LastConfigFile()
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, ZORNA_USER_KEY, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            return;
        if (had_)
            RegSetValueExW(key, ZORNA_LAST_CONFIG_VALUE, 0, REG_SZ, (const BYTE*)old_.c_str(),
                           (DWORD)((old_.size() + 1) * sizeof(wchar_t)));
        else
            RegDeleteValueW(key, ZORNA_LAST_CONFIG_VALUE);
        RegCloseKey(key);
    }

private:
    bool had_ = false;
    std::wstring old_;
};

}  // namespace wstest
