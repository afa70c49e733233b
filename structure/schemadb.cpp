#include "structure/schemadb.h"

#include <strsafe.h>
#include <string>

#include "core/database.h"
#include "core/msgbox.h"
#include "core/textutil.h"
#include "core/treewalk.h"
#include "dataaccess/refusals.h"
#include "resources/tarnix/resource.h"

using zdata::Command;
using zdata::Connection;
using zdata::Recordset;
using namespace treewalk;

namespace {

const wchar_t kAttrQuery[] = L"SELECT * FROM CUSTOMATTRIBUTES ORDER BY POSID";
// Fewer columns than this: the older layout without the three value columns.
const long kAttrColumnsWithValues = 9;

// A text column into a fixed buffer, cut to fit; NULL and non-text values give "".
void CopyText(Recordset* rs, long ordinal, wchar_t* out, int size)
{
    CopyWideBounded(RowText(rs, ordinal).c_str(), out, size);
}

// An integer or boolean flag (a true boolean gives -1); 0 for NULL and anything else.
int ReadFlag(Recordset* rs, long ordinal)
{
    VARIANT v;
    RowValue(rs, ordinal, &v);
    int flag = VariantToIntOrZero(&v);
    VariantClear(&v);
    return flag;
}

// The usage count of one level: the prepared count command run with the level's id.
int CountLevelUse(Command* count, int levelId)
{
    VARIANT id = IntValue(levelId);
    Recordset* rs = nullptr;
    HRESULT hr = count->Execute(nullptr, &id, adCmdText, &rs);
    int n = 0;
    if (SUCCEEDED(hr) && rs) {
        n = RowInt(rs, 0, 0);
        rs->Close();
    }
    if (rs)
        rs->Release();
    return n;
}

bool LoadLevels(ItemList* list, const wchar_t* defTable, const wchar_t* treeTable,
                const wchar_t* levelColumn, int* lastId, Connection* connection)
{
    *lastId = 0;
    wchar_t sql[128];
    StringCchPrintfW(sql, 128, L"SELECT * FROM %s WHERE LEVELID > 0 ORDER BY LEVELID", defTable);
    RsHolder rs(OpenRecordset(connection, sql, false, adLockReadOnly));
    if (!rs.IsOpen())
        return false;
    Command* count = Command::Create();
    StringCchPrintfW(sql, 128, L"SELECT COUNT(*) FROM %s WHERE %s = ?", treeTable, levelColumn);
    count->put_ActiveConnection(connection);
    count->put_CommandText(sql);
    count->put_CommandType(adCmdText);
    zdata::Parameters* params = nullptr;
    HRESULT hr = count->get_Parameters(&params);
    if (SUCCEEDED(hr) && params) {
        hr = params->Refresh();
        params->Release();
    }
    if (FAILED(hr)) {
        count->Release();
        return false;
    }
    for (; !rs->IsEOF(); rs->MoveNext()) {
        // A LEVELID that holds no whole number names no level the trees could refer to.
        int id = RowInt(rs.get(), 0, -1);
        if (id <= 0)
            continue;
        LevelEntry* e = NewLevelEntry();
        e->State = ENTRY_UNCHANGED;
        e->OrigLevelId = e->NewLevelId = id;
        e->UseCount = CountLevelUse(count, id);
        CopyText(rs.get(), 1, e->Name, 64);
        e->DataLevel = ReadFlag(rs.get(), 2);
        RowValue(rs.get(), 3, &e->IconLarge);
        RowValue(rs.get(), 4, &e->IconSmall);
        RowValue(rs.get(), 5, &e->IconOpen);
        int before = list->Count;
        if (ItemListAdd(e, list) == before) {
            FreeLevelEntry(e);
            continue;
        }
        if (id > *lastId)
            *lastId = id;
    }
    count->Release();
    return true;
}

void LoadAttributes(ItemList* list, Recordset* rs, bool withValues)
{
    if (rs->IsBOF() && rs->IsEOF())
        return;
    for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) {
        AttrEntry* e = NewAttrEntry();
        e->State = ENTRY_UNCHANGED;
        e->Type = RowInt(rs, 3, -1);
        e->Size = RowInt(rs, 4, -1);
        e->Position = RowInt(rs, 2, -1);
        e->KeyFlag = ReadFlag(rs, 5);
        CopyText(rs, 1, e->FieldName, 32);
        CopyText(rs, 6, e->TabName, 32);
        CopyText(rs, 7, e->Caption, 64);
        if (withValues) {
            RowValue(rs, 8, &e->MinVal);
            RowValue(rs, 9, &e->MaxVal);
            RowValue(rs, 10, &e->NullVal);
        }
        int before = list->Count;
        if (ItemListAdd(e, list) == before)
            FreeAttrEntry(e);
    }
}

}  // namespace

std::wstring SchemaConnectionString(const wchar_t* path)
{
    // Windows paths hold no double quote, so quoting keeps every other character in the path.
    return std::wstring(L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"") + (path ? path : L"") +
           L"\";";
}

bool LoadStructure(StructureModel* model, Connection* connection, int* lastSysLevelId,
                   int* lastLocLevelId, bool upgradeAllowed)
{
    if (!LoadLevels(&model->Lists[MODEL_SYS_LEVELS], L"SYSDEF", L"SYSTREE", L"SYSLEVEL",
                    lastSysLevelId, connection))
        return false;
    if (!LoadLevels(&model->Lists[MODEL_LOC_LEVELS], L"LOCDEF", L"LOCTREE", L"LOCLEVEL",
                    lastLocLevelId, connection))
        return false;
    RsHolder rs(OpenRecordset(connection, kAttrQuery, false, adLockReadOnly));
    if (!rs.IsOpen())
        return false;
    if (ColumnCount(rs.get()) < kAttrColumnsWithValues && upgradeAllowed) {
        rs.Reset(nullptr);
        if (!UpgradeAttrTable(connection))
            return false;
        rs.Reset(OpenRecordset(connection, kAttrQuery, false, adLockReadOnly));
        if (!rs.IsOpen())
            return false;
    }
    bool withValues = ColumnCount(rs.get()) > 8;
    for (int list = MODEL_SYSTREE_ATTRS; list <= MODEL_LITERATURE_ATTRS; ++list) {
        wchar_t filter[64];
        StringCchPrintfW(filter, 64, L"TABLENAME = '%s'", AttrListTable(list));
        if (FAILED(rs->put_Filter(filter)))
            return false;
        LoadAttributes(&model->Lists[list], rs.get(), withValues);
    }
    return true;
}

bool UpgradeAttrTable(Connection* connection)
{
    static const wchar_t* const kStatements[] = {
        L"ALTER TABLE CUSTOMATTRIBUTES ADD MINVAL DOUBLE",
        L"ALTER TABLE CUSTOMATTRIBUTES ADD MAXVAL DOUBLE",
        L"ALTER TABLE CUSTOMATTRIBUTES ADD NULLVAL DOUBLE",
    };
    // One transaction: a table left with nine or ten columns would never be completed and
    // would be read as the newer layout.
    if (FAILED(connection->BeginTrans()))
        return false;
    for (const wchar_t* sql : kStatements) {
        if (FAILED(connection->Execute(sql, nullptr, adExecuteNoRecords))) {
            connection->RollbackTrans();
            return false;
        }
    }
    if (FAILED(connection->CommitTrans())) {
        connection->RollbackTrans();
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------

CSchemaDb::CSchemaDb(HINSTANCE instance)
    : hInstance(instance), Connection(Connection::Create()), SaveThreadId(0), LastSysLevelId(0),
      LastLocLevelId(0)
{
}

CSchemaDb::~CSchemaDb()
{
    if (Connection)
        Connection->Release();
}

bool CSchemaDb::Open(const ConnSettings* settings)
{
    if (!Connection || !settings || !settings->DBName || !*settings->DBName)
        return false;
    Connection->put_ConnectionString(SchemaConnectionString(settings->DBName).c_str());
    Connection->put_Mode(adModeShareExclusive);
    Connection->Open(L"", L"", L"", adConnectUnspecified);
    return Connection->State() == adStateOpen;
}

bool CSchemaDb::Close()
{
    if (!Connection)
        return false;
    if (Connection->State() != adStateClosed)
        Connection->Close();
    if (Connection->State() != adStateClosed)
        return false;
    LastSysLevelId = 0;
    LastLocLevelId = 0;
    return true;
}

bool CSchemaDb::IsOpen() const
{
    return Connection && Connection->State() == adStateOpen;
}

bool CSchemaDb::Load(StructureModel* model)
{
    if (!LoadStructure(model, Connection, &LastSysLevelId, &LastLocLevelId, true))
        return false;
    LabelColumns(model);
    return true;
}

void CSchemaDb::LabelColumns(const StructureModel* model)
{
    const struct {
        const wchar_t* column;
        UINT caption;
    } records[] = {{L"SYSID", IDS_T_FIELD_SPECIES}, {L"FTRID", IDS_T_FIELD_LOCALITY}};
    for (const auto& r : records) {
        wchar_t caption[64] = L"";
        LoadStringW(hInstance, r.caption, caption, 64);
        zdata::SetColumnLabel(Connection, L"ZORNACOLLS", r.column, caption);
    }
    for (int list = MODEL_SYSTREE_ATTRS; list <= MODEL_LITERATURE_ATTRS; ++list) {
        const ItemList* attrs = &model->Lists[list];
        for (int i = 0; i < attrs->Count; ++i) {
            const AttrEntry* e = AttrAt(attrs, i);
            zdata::SetColumnLabel(Connection, AttrListTable(list), e->FieldName, e->Caption);
        }
    }
}

void CSchemaDb::ShowErrors(HWND owner, HRESULT hr)
{
    zdata::Errors* errors = nullptr;
    if (!Connection || FAILED(Connection->get_Errors(&errors)) || !errors)
        return;
    long count = errors->Count();
    errors->Release();
    if (count > 0) {
        ShowAdoErrors(owner, Connection);
        return;
    }
    wchar_t caption[64] = L"";
    wchar_t format[64] = L"";
    wchar_t text[128] = L"";
    LoadStringW(hInstance, IDS_T_ERROR_CAPTION, caption, 64);
    LoadStringW(hInstance, IDS_T_UNKNOWN_DB_ERROR, format, 64);
    StringCchPrintfW(text, 128, format, (unsigned)hr);
    ZorMessageBox(owner, text, caption, MB_ICONERROR);
}
