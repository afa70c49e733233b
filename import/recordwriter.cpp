#include "import/recordwriter.h"

#include "core/ctlfill.h"
#include "core/valuecheck.h"
#include "dataaccess/enclose.h"
#include "dataaccess/varconv.h"

bool ValueFitsColumn(DataTypeEnum type, long size, VARIANT* value, std::wstring* rule)
{
    if (value->vt == VT_NULL || value->vt == VT_EMPTY)
        return true;
    const FieldRule kind = {FieldKindOfAdoType(type, size), zdata::IsTextType(type) ? (int)size : 0, YEARS_ANY};
    ValueCheck check = CheckFieldValue(kind, value, TodayDate());
    if (check.Verdict == VALUE_REFUSED) {
        *rule = check.Rule;
        return false;
    }
    if (value->vt == VT_BSTR && zdata::IsTextType(type))
        return true;
    zdata::BindValue probe;
    return SUCCEEDED(zdata::VariantToBindValue(type, *value, &probe));
}

bool RecordWriter::Open(zdata::Connection* connection, const wchar_t* table, zdata::Recordset* columns)
{
    Close();
    zdata::Fields* fields = nullptr;
    long count = 0;
    if (!columns || FAILED(columns->get_Fields(&fields)) || !fields || FAILED(fields->get_Count(&count))) {
        if (fields)
            fields->Release();
        return false;
    }
    for (long i = 0; i < count; ++i) {
        zdata::Field* field = nullptr;
        BSTR name = nullptr;
        DataTypeEnum type = adEmpty;
        long size = 0;
        if (SUCCEEDED(fields->Item(i, &field)) && field) {
            field->get_Name(&name);
            field->get_Type(&type);
            field->get_DefinedSize(&size);
            field->Release();
        }
        names_.push_back(name ? name : L"");
        types_.push_back(type);
        sizes_.push_back(size);
        SysFreeString(name);
    }
    fields->Release();
    connection_ = connection;
    table_ = table;
    values_.resize(names_.size());
    for (VARIANT& v : values_)
        VariantInit(&v);
    given_.assign(names_.size(), false);
    return true;
}

void RecordWriter::Close()
{
    for (auto& entry : commands_)
        entry.second->Release();
    commands_.clear();
    for (VARIANT& v : values_)
        VariantClear(&v);
    values_.clear();
    given_.clear();
    names_.clear();
    types_.clear();
    sizes_.clear();
    connection_ = nullptr;
}

void RecordWriter::Clear()
{
    for (size_t i = 0; i < values_.size(); ++i)
        if (given_[i]) {
            VariantClear(&values_[i]);
            given_[i] = false;
        }
}

void RecordWriter::Set(long ordinal, const VARIANT& value)
{
    if (ordinal < 0 || ordinal >= (long)values_.size())
        return;
    VariantCopy(&values_[(size_t)ordinal], const_cast<VARIANT*>(&value));
    given_[(size_t)ordinal] = true;
}

void RecordWriter::SetInt(long ordinal, int value)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    Set(ordinal, v);
}

void RecordWriter::SetPathId(long ordinal, int id)
{
    if (id > 0) {
        SetInt(ordinal, id);
        return;
    }
    VARIANT none;
    VariantInit(&none);
    none.vt = VT_NULL;
    Set(ordinal, none);
}

void RecordWriter::SetText(long ordinal, const wchar_t* text)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text ? text : L"");
    Set(ordinal, v);
    VariantClear(&v);
}

bool RecordWriter::Fits(long ordinal, VARIANT* value, std::wstring* rule) const
{
    return ordinal >= 0 && ordinal < (long)types_.size() &&
           ValueFitsColumn(types_[(size_t)ordinal], sizes_[(size_t)ordinal], value, rule);
}

// The INSERT of the given columns, each marker a parameter of its column's type (the command
// converts the values as a recordset's Update does).
zdata::Command* RecordWriter::CommandFor(const std::vector<bool>& given)
{
    auto found = commands_.find(given);
    if (found != commands_.end())
        return found->second;
    std::wstring names, marks;
    for (size_t i = 0; i < given.size(); ++i) {
        if (!given[i])
            continue;
        names += (names.empty() ? L"" : L", ") + zdata::QuoteIdentifier(names_[i]);
        marks += marks.empty() ? L"?" : L", ?";
    }
    // The SQLite driver compiles an INSERT anew at every run (of a record with all its columns and
    // indexes, a third of the record's cost) and keeps compiled only a text that reads as a query.
    // Led by a WITH clause the INSERT reads as one to it: compiled once, run for every record.
    std::wstring sql = L"WITH ZOR_ONCE AS (SELECT 1) INSERT INTO " + zdata::QuoteIdentifier(table_) +
                       (names.empty() ? L" DEFAULT VALUES" : L" (" + names + L") VALUES (" + marks + L")");
    zdata::Command* command = zdata::Command::Create();
    command->put_ActiveConnection(connection_);
    command->put_CommandText(sql.c_str());
    zdata::Parameters* parameters = nullptr;
    command->get_Parameters(&parameters);
    VARIANT none;
    VariantInit(&none);
    for (size_t i = 0; i < given.size(); ++i) {
        if (!given[i])
            continue;
        zdata::Parameter* parameter = nullptr;
        command->CreateParameter(names_[i].c_str(), types_[i], adParamInput, 0, none, &parameter);
        parameters->Append(parameter);
        parameter->Release();
    }
    parameters->Release();
    commands_.emplace(given, command);
    return command;
}

HRESULT RecordWriter::Write()
{
    if (!connection_)
        return E_FAIL;
    zdata::Command* command = CommandFor(given_);
    zdata::Parameters* parameters = nullptr;
    command->get_Parameters(&parameters);
    long k = 0;
    for (size_t i = 0; i < given_.size(); ++i) {
        if (!given_[i])
            continue;
        zdata::Parameter* parameter = nullptr;
        if (SUCCEEDED(parameters->Item(k++, &parameter)) && parameter) {
            parameter->put_Value(values_[i]);
            parameter->Release();
        }
    }
    parameters->Release();
    return command->Execute(nullptr, nullptr, adExecuteNoRecords, nullptr);
}
