// The occurrence records an import writes: an INSERT of the columns a record was given, prepared
// once for each set of columns (a run writes the same columns record after record) and run with
// the record's values, which are converted to their columns' types as a recordset converts them.
// Columns not given are left out, as a recordset leaves them. Records are only appended, never
// searched by an import, so they are neither read back nor kept in memory.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <map>
#include <string>
#include <vector>

#include "dataaccess/ado.h"

class RecordWriter {
public:
    RecordWriter() = default;
    ~RecordWriter() { Close(); }
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    // Takes the columns (names and types) of the table from a recordset open on it; false when
    // it is not open.
    bool Open(zdata::Connection* connection, const wchar_t* table, zdata::Recordset* columns);
    void Close();
    long ColumnCount() const { return (long)names_.size(); }

    // A new record: no column given.
    void Clear();
    // The value of the column at ordinal (passed over when the table has no such column).
    void Set(long ordinal, const VARIANT& value);
    void SetInt(long ordinal, int value);
    void SetText(long ordinal, const wchar_t* text);
    // A level path column: the item's id, NULL where the path has no item (id 0 or below), as
    // the data check and the structure save write it.
    void SetPathId(long ordinal, int id);
    // Whether the column can hold the value (ValueFitsColumn; a text into a number or a date
    // column may not); the value may be replaced by what it names.
    bool Fits(long ordinal, VARIANT* value, std::wstring* rule) const;
    // Stores the record; the connection's errors tell why it was refused.
    HRESULT Write();

private:
    zdata::Command* CommandFor(const std::vector<bool>& given);

    zdata::Connection* connection_ = nullptr;
    std::wstring table_;
    std::vector<std::wstring> names_;
    std::vector<DataTypeEnum> types_;
    std::vector<long> sizes_;
    std::vector<VARIANT> values_;
    std::vector<bool> given_;
    std::map<std::vector<bool>, zdata::Command*> commands_;
};

// Whether a column of the type and declared size can hold the value, as the data layer converts
// it on writing and as a typed value is judged (core/valuecheck.h): a date or a fraction into a
// whole number, or a text longer than the column, is refused with the rule in *rule (what is only
// unlikely is taken). A text that names a date or a whole number becomes that value. NULL and
// empty always fit.
bool ValueFitsColumn(DataTypeEnum type, long size, VARIANT* value, std::wstring* rule);
