// Tables the layer holds in memory for a connection that has no driver behind it: the sheets of
// a workbook ("Extended Properties=Excel 8.0"). Recordsets opened on them are read-only client
// snapshots; the schema of tables lists them.
#pragma once
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dataaccess/odbccore.h"

namespace zdata {

struct ClientTable {
    std::wstring name;  // as listed: a sheet's name followed by '$'
    std::vector<ColumnMeta> columns;
    size_t rowCount = 0;                            // those without a value among them
    std::vector<std::pair<size_t, RowPtr>> filled;  // the rows with a value, by index, ascending
    // Every row in order, for a recordset opened on the table: the others share one of NULLs.
    std::vector<RowPtr> Rows() const;
};

struct ClientTables {
    std::vector<ClientTable> tables;
    // The table a statement names: "SELECT * FROM [name]" or the bare name, with or without
    // the trailing '$' of a sheet; null when there is none.
    const ClientTable* Find(const std::wstring& statement) const;
};

// Why a workbook or one of its sheets did not load when memory ran out.
extern const wchar_t kNoMemoryForBook[];

// Reads the sheets of the workbook at a Windows path; false with the reason otherwise.
bool LoadWorkbookTables(const std::wstring& path, std::shared_ptr<ClientTables>* out, std::wstring* error);

}  // namespace zdata
