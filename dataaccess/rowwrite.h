// What a recordset's write stores in its table, told without reading the row back. A table
// without triggers keeps the values an INSERT or UPDATE binds wherever the column's affinity
// leaves them as they are, and gives the columns an INSERT leaves out their literal defaults.
// Anything else (a trigger, a default that is an expression, a text bound into a numeric column,
// a column the table does not list) is read back from the table after the write.
#pragma once
#include <string>
#include <vector>

#include "dataaccess/odbccore.h"

namespace zdata {

class TableWrites {
public:
    // Reads the table's column types, defaults, key and triggers, and finds the recordset's
    // columns (the hidden rowid first when hidden is 1) among them.
    void Read(ConnectionCore& core, const std::wstring& table, const std::vector<ColumnMeta>& columns, int hidden);
    // The recordset's column (counted without the hidden rowid) that is the table's INTEGER
    // PRIMARY KEY (the rowid under another name); -1 when it has none.
    int RowidColumn() const { return rowidColumn_; }
    // The row as the recordset's columns would read it back after the write: the hidden rowid
    // (columns[0] when hidden is 1), the bound values of the changed columns (values in column
    // order), the current row's cells of the others (current null: an INSERT, the defaults).
    // Null when the table's row cannot be told so.
    RowPtr StoredRow(const std::vector<ColumnMeta>& columns, int hidden, long long rowid,
                     const std::vector<bool>& changed, const std::vector<BindValue>& values,
                     const RowPtr& current) const;

private:
    enum class Affinity { Integer, Text, Blob, Real, Numeric };
    struct Column {
        std::wstring name;
        Affinity affinity = Affinity::Blob;
        bool defaultKnown = false;  // a NULL or literal default (or none at all)
        BindValue defaultValue;
        bool rowid = false;         // the INTEGER PRIMARY KEY
    };
    static Affinity AffinityOf(const std::wstring& declared);
    static bool ReadDefault(const std::wstring& text, BindValue* out);
    static bool KeepsAsBound(Affinity affinity, FetchKind fetch, const BindValue& value);

    bool known_ = false;  // read, and no trigger on the table
    std::vector<Column> columns_;
    std::vector<int> columnOf_;  // by the recordset's column: its index in columns_, -1 none
    int rowidColumn_ = -1;
};

}  // namespace zdata
