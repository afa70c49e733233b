// CSchemaDb: Tarnix's database object. It holds the one connection to the open database file,
// opened synchronously and exclusively (no other program or connection can open the file while
// Tarnix has it), lends that connection to the long operations (structure save, validation,
// imports), reads the structure into a StructureModel and shows the connection's errors.
//
// An attribute table of the older layout (eight columns, without MINVAL, MAXVAL and NULLVAL)
// is upgraded on its first load, all three columns or none.
#pragma once
#include <windows.h>

#include "core/connsettings.h"
#include "dataaccess/ado.h"
#include "structure/structmodel.h"

class CSchemaDb {
public:
    explicit CSchemaDb(HINSTANCE instance);
    ~CSchemaDb();  // the owner closes the database first
    CSchemaDb(const CSchemaDb&) = delete;
    CSchemaDb& operator=(const CSchemaDb&) = delete;

    // Opens the database file of settings->DBName exclusively. False (no message) when the
    // file is missing, is no database, or another program or connection holds it.
    bool Open(const ConnSettings* settings);
    // Closes the connection (when open); true once it is closed, the level ids then 0.
    bool Close();
    bool IsOpen() const;
    // The connection itself, without a reference added; valid while the database is open.
    zdata::Connection* GetConnection() const { return Connection; }
    // Appends the structure of the open database to the model, upgrading an older attribute
    // table. False when the structure tables cannot be read (not a Zorna database).
    bool Load(StructureModel* model);
    // Tells the connection the captions of the model's attributes and of the records' species
    // and locality, so that a refused write names the field as the user knows it.
    void LabelColumns(const StructureModel* model);
    // One message box per error of the connection (Description under Source), or string 206
    // with the HRESULT when the connection holds none.
    void ShowErrors(HWND owner, HRESULT hr);

    HINSTANCE hInstance;
    zdata::Connection* Connection;
    DWORD SaveThreadId;   // of the structure save worker while it runs
    int LastSysLevelId;   // highest LEVELID of SYSDEF as loaded (kept current by the save)
    int LastLocLevelId;   // the same of LOCDEF
};

// The Jet connection string of a database file, the path quoted so that ';' and apostrophes
// in it stay part of the path.
std::wstring SchemaConnectionString(const wchar_t* path);

// Reads the levels of both trees and the attributes of the six data tables through the
// connection and appends them to the model's lists. The last level ids receive the highest
// LEVELID loaded of each tree (0 for none). With upgradeAllowed an attribute table of the older
// layout gains its three value columns first; without it, the table is left as it is and the
// attributes load with empty bounds. False when a level table, the usage count or the attribute
// table cannot be read, or the upgrade fails.
bool LoadStructure(StructureModel* model, zdata::Connection* connection, int* lastSysLevelId,
                   int* lastLocLevelId, bool upgradeAllowed);

// Adds MINVAL, MAXVAL and NULLVAL (DOUBLE) to CUSTOMATTRIBUTES in one transaction: all three
// or, when one statement fails, none. No message.
bool UpgradeAttrTable(zdata::Connection* connection);
