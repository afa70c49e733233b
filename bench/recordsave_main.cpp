// Saving one occurrence record on a large records database, as the record dialog's OK does:
// the record's row with its level path columns and attribute values in one transaction, and
// the open taxon record list read again. Beside it, in the same run, the bare work the save
// cannot do without: one single-row UPDATE of the same record through the layer and through
// raw ODBC (each committed on its own).
//
//   recordsave_bench.exe <database path> [-n <records>] [--saves <count>]
//
// The database is changed (the saved record's count toggles). A missing database is made first
// with ZorSampleDb.exe from the same folder (1,000,000 records by default, about 20 s).
#include <windows.h>
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/benchdb.h"
#include "core/database.h"
#include "core/itemrecords.h"
#include "core/zm_messages.h"
#include "dataaccess/connstr.h"

namespace {

std::vector<int> g_dataLevels[2];

// The main window also answers which levels are data levels, as the program's does.
LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == ZM_FIND_LEVEL) {
        const auto& levels = g_dataLevels[wParam == 1 ? 0 : 1];
        return std::find(levels.begin(), levels.end(), (int)lParam) != levels.end();
    }
    return DbWindowProc(hwnd, msg, wParam, lParam);
}

class RawUpdate
{
public:
    bool Connect(const std::wstring& odbcString)
    {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
        return SQL_SUCCEEDED(SQLDriverConnectW(dbc_, nullptr, (SQLWCHAR*)odbcString.c_str(), SQL_NTS,
                                               nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT));
    }
    ~RawUpdate()
    {
        if (dbc_) {
            SQLDisconnect(dbc_);
            SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        }
        if (env_)
            SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }
    bool Run(const std::wstring& sql)
    {
        SQLHSTMT st;
        SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &st);
        SQLRETURN rc = SQLExecDirectW(st, (SQLWCHAR*)sql.c_str(), SQL_NTS);
        SQLFreeHandle(SQL_HANDLE_STMT, st);
        return SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA;
    }

private:
    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
};

}  // namespace

int main()
{
    int saves = 50;
    std::wstring path;
    if (int code = ReadBenchArgs({ { L"--saves", &saves, 1 } }, PathWords::FirstOnly, stderr,
                                 "Usage: recordsave_bench <database path> [-n <records>] [--saves <count>]\n",
                                 &path))
        return code;

    HWND main = CreateDbWindow(L"ZorRecordSaveBench", 0, 0, 0, HWND_MESSAGE, MainProc);
    CDatabase db(main, GetModuleHandleW(nullptr));
    ConnSettings settings = {};
    if (!OpenDatabase(db, &settings, path)) {
        fprintf(stderr, "the database could not be opened: %ls\n", path.c_str());
        return 1;
    }
    // What the main window holds while the record dialog is used: both trees, the level
    // caches (here the data levels) and the taxon record list of the record's species.
    double t0 = NowSeconds();
    db.GetSysTreeRs();
    db.GetLocTreeRs();
    for (int k = 0; k < 2; ++k) {
        zdata::Recordset* levels = k == 0 ? db.OpenSysDefs() : db.OpenLocDefs();
        zdata::Fields* fields = nullptr;
        if (SUCCEEDED(levels->MoveFirst()) && SUCCEEDED(levels->get_Fields(&fields))) {
            for (; !levels->IsEOF(); levels->MoveNext()) {
                VARIANT id, flag;
                ColumnValue(fields, 0, &id);
                ColumnValue(fields, 2, &flag);
                if (flag.vt == VT_I4 && flag.lVal)
                    g_dataLevels[k].push_back(id.lVal);
                VariantClear(&id);
                VariantClear(&flag);
            }
            fields->Release();
        }
        CDatabase::CloseRecordset(levels);
    }
    int total = FirstInt(db, L"SELECT COUNT(*) FROM ZORNACOLLS");
    int recordId = FirstInt(db, L"SELECT MIN(ID) + (MAX(ID) - MIN(ID)) / 2 FROM ZORNACOLLS");
    wchar_t sql[160];
    _snwprintf(sql, 160, L"SELECT SYSID FROM ZORNACOLLS WHERE ID = %d", recordId);
    int sysId = FirstInt(db, sql);
    ListQuery query = {};
    query.Kind = 1;
    query.Id = sysId;
    db.QueryTaxonRecords(0, &query);
    printf("database %ls: %d records; record %d of taxon %d, whose list holds %d records "
           "(trees and list opened in %.2f s)\n",
           path.c_str(), total, recordId, sysId, query.RowCount, NowSeconds() - t0);

    OccurrenceRecord record = {};
    record.Mode = RECORD_MODE_EDIT;
    record.Id = recordId;
    record.Values = new CPtrArray(PTRARRAY_OWNS_ITEMS, 16, 4);
    if (!db.LoadRecord(0, &record) || record.SysId != sysId) {
        fprintf(stderr, "the record could not be loaded\n");
        return 1;
    }
    int countIndex = -1;
    for (int i = 0; i < db.RecordAttrs->GetCount(); ++i)
        if (!wcscmp(((CustomAttrDef*)db.RecordAttrs->GetItems()[i])->FieldName, L"POCET"))
            countIndex = i;
    if (countIndex < 0) {
        fprintf(stderr, "the records have no POCET attribute\n");
        return 1;
    }
    VARIANT* count = (VARIANT*)record.Values->GetItems()[countIndex];

    // ---- the save, against one bare UPDATE of the same row ----
    std::vector<double> tSave, tLayer, tRaw;
    zdata::OdbcConnectTarget target;
    zdata::MapJetConnectionString(L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + L";", 0,
                                  &target);
    RawUpdate raw;
    if (!raw.Connect(target.odbcString)) {
        fprintf(stderr, "raw ODBC: cannot connect\n");
        return 1;
    }
    int failures = 0;
    for (int i = 0; i < saves; ++i) {
        VariantClear(count);
        count->vt = VT_I4;
        count->lVal = 1 + (i % 2);
        double t = NowSeconds();
        failures += db.SaveRecord(&record) ? 0 : 1;
        tSave.push_back(NowSeconds() - t);

        _snwprintf(sql, 160, L"UPDATE ZORNACOLLS SET POCET = %d WHERE ID = %d", 3 + (i % 2), recordId);
        t = NowSeconds();
        failures += SUCCEEDED(db.AdoConnection->Execute(sql, nullptr, adExecuteNoRecords)) ? 0 : 1;
        tLayer.push_back(NowSeconds() - t);

        _snwprintf(sql, 160, L"UPDATE ZORNACOLLS SET POCET = %d WHERE ID = %d", 5 + (i % 2), recordId);
        t = NowSeconds();
        failures += raw.Run(sql) ? 0 : 1;
        tRaw.push_back(NowSeconds() - t);
    }
    // ---- a taxon saved by its properties dialog, against one UPDATE of its tree row ----
    std::vector<double> tItem, tItemRaw;
    TreeItemRecord item = {};
    item.Flags = TREEITEM_EDIT_TAXON;
    item.Id = sysId;
    _snwprintf(sql, 160, L"SELECT SYSLEVEL FROM SYSTREE WHERE ID = %d", sysId);
    item.LevelId = FirstInt(db, sql);
    item.Values = new CPtrArray(PTRARRAY_OWNS_ITEMS, 16, 4);
    item.Pictures = new CPtrArray(PTRARRAY_OWNS_ITEMS, 8, 4);
    db.LoadSysItem(&item);
    const int itemSaves = std::max(5, saves / 5);
    for (int i = 0; i < itemSaves; ++i) {
        item.AuthorInParentheses = i % 2;
        double t = NowSeconds();
        failures += db.SaveSysItem(-1, &item) ? 0 : 1;
        tItem.push_back(NowSeconds() - t);
        _snwprintf(sql, 160, L"UPDATE SYSTREE SET SYSPOS = SYSPOS WHERE ID = %d", sysId);
        t = NowSeconds();
        failures += raw.Run(sql) ? 0 : 1;
        tItemRaw.push_back(NowSeconds() - t);
    }
    for (int i = 0; i < item.Values->GetCount(); ++i)
        VariantClear((VARIANT*)item.Values->GetItems()[i]);
    for (int i = 0; i < item.Pictures->GetCount(); ++i) {
        ItemPicture* p = (ItemPicture*)item.Pictures->GetItems()[i];
        VariantClear(&p->Picture);
        VariantClear(&p->Note);
    }
    delete item.Values;
    delete item.Pictures;
    VariantClear(&item.Year);
    VariantClear(&item.IconLarge);
    VariantClear(&item.IconSmall);
    VariantClear(&item.IconOpen);

    const double target20 = 20.0;
    double save = Median(tSave) * 1000, layer = Median(tLayer) * 1000, bare = Median(tRaw) * 1000;
    printf("\n%-58s %10s\n", "figure (median of each)", "time");
    printf("%s\n", std::string(70, '-').c_str());
    printf("%-58s %7.2f ms   target < %.0f ms: %s\n", "SaveRecord (row, level paths, values, list requery)",
           save, target20, save < target20 ? "pass" : "FAIL");
    printf("%-58s %7.2f ms\n", "baseline: one UPDATE through the layer (autocommit)", layer);
    printf("%-58s %7.2f ms\n", "baseline: one UPDATE through raw ODBC (autocommit)", bare);
    printf("%-58s %7.2fx\n", "SaveRecord / raw UPDATE", bare > 0 ? save / bare : 0.0);
    printf("%-58s %7.2f ms   (for reference)\n", "SaveSysItem of the record's species (no change)",
           Median(tItem) * 1000);
    printf("%-58s %7.2f ms\n", "baseline: one UPDATE of its tree row through raw ODBC",
           Median(tItemRaw) * 1000);
    printf("record saves: %d, taxon saves: %d, failed statements: %d\n", saves, itemSaves, failures);

    for (int i = 0; i < record.Values->GetCount(); ++i)
        VariantClear((VARIANT*)record.Values->GetItems()[i]);
    delete record.Values;
    VariantClear(&record.Note);
    db.Close();
    free(settings.DBName);
    return failures == 0 && save < target20 ? 0 : 1;
}
