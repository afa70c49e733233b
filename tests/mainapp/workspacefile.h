// Workspace files written for the start-up tests: the settings root with its comment and the
// connection element that names the database the program opens.
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

}  // namespace wstest
