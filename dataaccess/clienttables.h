// Tables the layer holds in memory for a connection that has no driver behind it: the sheets of
// a workbook ("Extended Properties=Excel 8.0"). Recordsets opened on them are read-only client
// snapshots; the schema of tables lists them.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "dataaccess/odbccore.h"

namespace zdata {

struct ClientTable {
    std::wstring name;  // as listed: a sheet's name followed by '$'
    std::vector<ColumnMeta> columns;
    std::vector<RowPtr> rows;
};

struct ClientTables {
    std::vector<ClientTable> tables;
    // The table a statement names: "SELECT * FROM [name]" or the bare name, with or without
    // the trailing '$' of a sheet; null when there is none.
    const ClientTable* Find(const std::wstring& statement) const;
};

// Reads the sheets of the workbook at a Windows path; false with the reason otherwise.
bool LoadWorkbookTables(const std::wstring& path, std::shared_ptr<ClientTables>* out, std::wstring* error);

}  // namespace zdata
