#include "import/tablereader.h"

#include <unordered_set>

#include "core/ctlfill.h"
#include "dataaccess/connstr.h"
#include "import/impsource.h"
#include "workbook/bookfile.h"

namespace {

bool SameNoCase(const std::wstring& a, const wchar_t* b)
{
    return CompareStringOrdinal(a.c_str(), (int)a.size(), b, -1, TRUE) == CSTR_EQUAL;
}

std::wstring TextOf(zdata::Fields* fields, const wchar_t* name)
{
    zdata::Field* field = nullptr;
    if (FAILED(fields->Item(name, &field)))
        return std::wstring();
    VARIANT v;
    VariantInit(&v);
    std::wstring text;
    if (SUCCEEDED(field->get_Value(&v)) && v.vt == VT_BSTR && v.bstrVal)
        text = v.bstrVal;
    VariantClear(&v);
    field->Release();
    return text;
}

// The description of the connection's first error.
std::wstring FirstError(zdata::Connection* connection)
{
    zdata::Errors* errors = nullptr;
    if (FAILED(connection->get_Errors(&errors)) || !errors)
        return std::wstring();
    std::vector<std::wstring> texts = errors->Descriptions();
    errors->Release();
    return texts.empty() ? std::wstring() : texts[0];
}

// A compound file (what an Excel 97-2003 workbook is) starts with its signature in a header of
// 512 bytes: a file that has the signature but not the header is a workbook cut short.
bool CutShortCompoundFile(const wchar_t* path)
{
    static const unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    unsigned char head[512];
    DWORD got = 0;
    bool read = ReadFile(file, head, sizeof head, &got, nullptr) != FALSE;
    CloseHandle(file);
    return read && got >= sizeof kSignature && got < sizeof head && memcmp(head, kSignature, sizeof kSignature) == 0;
}

}  // namespace

TableReader::TableReader(bool workbook) : workbook_(workbook) {}

TableReader::~TableReader()
{
    Close();
}

bool TableReader::Open(const wchar_t* path)
{
    Close();
    problem_.clear();
    tooShort_ = false;
    if (!path || !*path)
        return false;
    std::wstring cs = L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + std::wstring(path) + L";";
    if (workbook_)
        cs += L"Extended Properties=Excel 8.0;";
    connection_ = zdata::Connection::Create();
    connection_->put_ConnectionString(cs.c_str());
    connection_->put_Mode(adModeRead);
    connection_->Open(nullptr, nullptr, nullptr, adConnectUnspecified);
    if (IsOpen())
        return true;
    if (workbook_) {
        // A file that is there says why it is no workbook to read: not one at all, cut short, an
        // older Excel format, damaged, a sheet too large ...
        xls::BookStream book;
        xls::BookStatus status = book.Open(path);
        if (status != xls::BookStatus::NotFound)
            problem_ = FirstError(connection_);
        tooShort_ = status == xls::BookStatus::Damaged && CutShortCompoundFile(path);
        return false;
    }
    zdata::DbFileKind kind = zdata::DetectDbFileKind(path);
    if (kind == zdata::DbFileKind::Jet) {
        // So does an Access file the layer refuses before the driver sees it (Access 97,
        // encrypted, damaged); what the driver itself says stays behind the generic text.
        std::wstring why;
        if (!zdata::CheckJetFile(path, &why))
            problem_ = why;
    } else if (kind == zdata::DbFileKind::Other) {
        // A file that is no database at all (a workbook or a text under an .mdb name): the
        // layer's refusal says so.
        problem_ = FirstError(connection_);
    }
    return false;
}

void TableReader::ReleaseColumns()
{
    if (columns_) {
        columns_->Close();
        columns_->Release();
        columns_ = nullptr;
    }
    columnsTable_.clear();
}

void TableReader::Close()
{
    CloseRows();
    ReleaseColumns();
    if (connection_) {
        connection_->Close();
        connection_->Release();
        connection_ = nullptr;
    }
}

bool TableReader::IsOpen() const
{
    return connection_ && connection_->State() == adStateOpen;
}

void TableReader::FillTables(CPtrArray* items)
{
    if (!IsOpen() || items->GetCount() > 0)
        return;
    zdata::Recordset* schema = nullptr;
    if (FAILED(connection_->OpenSchema(adSchemaTables, &schema)))
        return;
    zdata::Fields* fields = nullptr;
    schema->get_Fields(&fields);
    std::unordered_set<std::wstring> listed;  // a workbook's sheets, each once
    for (; fields && !schema->IsEOF(); schema->MoveNext()) {
        std::wstring type = TextOf(fields, L"TABLE_TYPE");
        std::wstring name = TextOf(fields, L"TABLE_NAME");
        if (name.empty() || !(SameNoCase(type, L"TABLE") || SameNoCase(type, L"VIEW")))
            continue;
        if (workbook_) {
            if (name.back() == L'$')
                name.pop_back();
            if (name.empty() || !listed.insert(name).second)
                continue;
        }
        items->Add(_wcsdup(name.c_str()));
    }
    if (fields)
        fields->Release();
    schema->Release();
}

void TableReader::FillColumns(const wchar_t* table, CPtrArray* items)
{
    if (!table || !*table)
        return;
    if (columns_ && columnsTable_ == table && items->GetCount() > 0)
        return;
    for (int i = 0; i < items->GetCount(); ++i)
        FreeGroupEntry(GROUP_COLUMNS, items->GetItems()[i]);
    items->RemoveAll(0);
    ReleaseColumns();
    columnsTable_ = table;
    if (!IsOpen())
        return;
    columns_ = zdata::Recordset::Create();
    if (FAILED(columns_->Open(table, connection_, adOpenKeyset, adLockReadOnly, adCmdTable))) {
        columns_->Release();
        columns_ = nullptr;
        return;
    }
    zdata::Fields* fields = nullptr;
    columns_->get_Fields(&fields);
    long count = 0;
    if (fields)
        fields->get_Count(&count);
    for (long i = 0; i < count; ++i) {
        zdata::Field* field = nullptr;
        if (FAILED(fields->Item(i, &field)))
            continue;
        BSTR name = nullptr;
        DataTypeEnum type = adEmpty;
        long size = 0;
        field->get_Name(&name);
        field->get_Type(&type);
        field->get_DefinedSize(&size);
        int kind = FieldKindOfAdoType(type, size);
        items->Add(NewSourceColumn(name, kind, kind == 4 || kind == 6 ? size : 0));
        SysFreeString(name);
        field->Release();
    }
    if (fields)
        fields->Release();
}

bool TableReader::OpenRows(const wchar_t* table)
{
    CloseRows();
    if (!IsOpen() || !table || !*table)
        return false;
    rows_ = zdata::Recordset::Create();
    rows_->put_CursorLocation(adUseClient);
    if (FAILED(rows_->Open(table, connection_, adOpenKeyset, adLockOptimistic, adCmdTable))) {
        rows_->Release();
        rows_ = nullptr;
        return false;
    }
    rows_->get_RecordCount(&rowCount_);
    if (rowCount_ < 0)
        rowCount_ = 0;
    rows_->get_Fields(&fields_);
    if (fields_)
        fields_->get_Count(&fieldCount_);
    if (rowCount_ > 0)
        rows_->MoveFirst();
    return true;
}

bool TableReader::NextRow(std::vector<VARIANT>* values)
{
    values->clear();
    if (!rows_ || !fields_ || rows_->IsEOF())
        return false;
    unreadable_.clear();
    values->resize((size_t)fieldCount_);
    for (long i = 0; i < fieldCount_; ++i) {
        VARIANT& v = (*values)[(size_t)i];
        VariantInit(&v);
        zdata::Field* field = nullptr;
        if (SUCCEEDED(fields_->Item(i, &field))) {
            if (FAILED(field->get_Value(&v))) {
                v.vt = VT_NULL;
                unreadable_.push_back(i);
            }
            field->Release();
        }
    }
    rows_->MoveNext();
    ++rowsRead_;
    return true;
}

int TableReader::Percent() const
{
    if (rowsRead_ <= 0 || rowCount_ <= 0)
        return 0;
    long long p = ((long long)rowsRead_ + 1) * 100 / rowCount_;
    return p > 100 ? 100 : (int)p;
}

void TableReader::CloseRows()
{
    if (fields_) {
        fields_->Release();
        fields_ = nullptr;
    }
    if (rows_) {
        rows_->Close();
        rows_->Release();
        rows_ = nullptr;
    }
    fieldCount_ = 0;
    rowCount_ = 0;
    rowsRead_ = 0;
    unreadable_.clear();
}
