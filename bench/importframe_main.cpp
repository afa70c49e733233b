// Figures of the import frame on a generated records database, each beside a baseline of the same
// run:
//   - the target tables opened as an import opens them (time, memory), beside a raw ODBC read
//     of the same tables;
//   - find-or-create lookups of names in a target table (Filter "NAME = '...'", AddNew when
//     missing), beside a hash map doing the same;
//   - a level and three attributes added by an import's structure step, beside the same DDL run
//     raw (the columns, their indexes and their definitions);
//   - rows imported through the frame (each row in a savepoint of the run's one transaction),
//     beside the same INSERTs in one raw transaction, with the parts of a row's cost in between.
//
//   importframe_bench.exe <database path> [-n <records>] [--rows <count>] [--lookups <count>]
//
// A missing database is made first with ZorSampleDb.exe from the same folder (1,000,000 records
// by default). The two copies it works on are deleted at the end.
#include <windows.h>

#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/benchtarnix.h"
#include "bench/benchutil.h"
#include "core/msgbox.h"
#include "tools/testkit/rawodbc.h"
#include "dataaccess/ado.h"
#include "import/impsource.h"
#include "import/importrun.h"
#include "import/targettables.h"
#include "resources/tarnix/resource.h"
#include "structure/schemadb.h"
#include "structure/structmodel.h"

namespace {

const char kUsage[] =
    "usage: importframe_bench.exe <database path> [-n <records>] [--rows <count>] [--lookups <count>]\n";

void Header(const char* what)
{
    printf("\n%-46s %12s %15s %8s  %s\n", what, "import", "baseline", "ratio", "target");
}

void Row(const char* name, double value, double baseline, const char* unit, const char* target)
{
    char ratio[16] = "-";
    if (baseline > 0)
        snprintf(ratio, sizeof ratio, "%.2fx", value / baseline);
    printf("%-46s %9.3f %-2s %12.3f %-2s %8s  %s\n", name, value, unit, baseline, unit, ratio, target);
    fflush(stdout);
}

// The working set now, in MB.
double WorkingSetMb()
{
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof(pmc);
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
    return pmc.WorkingSetSize / 1048576.0;
}

// Reads every row of a query through raw ODBC, as the baseline of the opened target tables.
long long ReadAllRaw(zor::RawOdbc& raw, const wchar_t* sql)
{
    std::vector<std::vector<std::wstring>> rows;
    raw.Query(sql, rows);
    return (long long)rows.size();
}

// A source of generated records: each row one record of the first species and locality, the
// frame's own way (a statement of the row through ImportRun). Its structure groups are given.
class BenchSource : public IImpSource {
public:
    explicit BenchSource(HINSTANCE instance) : IImpSource(instance) {}
    int rows = 0;
    std::vector<std::pair<int, std::vector<std::wstring>>> groups;  // kind, names

    bool Open(const wchar_t*) override { return true; }
    int GetGroupCount() override { return (int)groups.size(); }
    int GetGroupKind(int group) override
    {
        return group >= 1 && group <= (int)groups.size() ? groups[(size_t)group - 1].first : 0;
    }
    int FillGroup(int group, CPtrArray* items, void*) override
    {
        int kind = GetGroupKind(group);
        for (const std::wstring& name : groups[(size_t)group - 1].second)
            if (IsUnitKind(kind))
                items->Add(NewUnitEntry(name.c_str(), items->GetCount() + 1, false));
            else
                items->Add(NewAttrImportEntry(name.c_str(), 4, 40));
        return kind;
    }
    bool OpenData(ImportRun&) override
    {
        row_ = 0;
        return true;
    }
    int ImportRow(ImportRun& run) override
    {
        if (row_ >= rows)
            return ROW_END;
        run.Line = ++row_;
        if (run.Execute(RecordInsert(row_)))
            return ROW_IMPORTED;
        run.LogDbErrors();
        return ROW_FAILED;
    }
    int Percent() override { return rows ? (int)((long long)row_ * 100 / rows) : 100; }
    void CloseData(ImportRun&) override { CloseTargetTables(&Targets); }

    static std::wstring RecordInsert(int n)
    {
        return L"INSERT INTO ZORNACOLLS (SYSID, FTRID, LITID, RECNOTE) VALUES (" + std::to_wstring(sysId) + L", " +
               std::to_wstring(locId) + L", -1, 'bench " + std::to_wstring(n) + L"')";
    }
    static int sysId, locId;

private:
    int row_ = 0;
};
int BenchSource::sysId = 0;
int BenchSource::locId = 0;

class QuietSink : public ImportSink {
public:
    void Status(UINT) override {}
    bool Progress(int) override { return false; }
    HWND Owner() override { return nullptr; }
    void ErrorsLogged(int count) override { printf("  %d rows logged as failed\n", count); }
    void Finish(UINT) override {}
};

// Tarnix's open database on the working copy, with one import job of the bench source.
// Tarnix on the working copy, importing a bench source.
class TarnixCopy : public TarnixDb {
public:
    using TarnixDb::TarnixDb;

    // One whole import of the source: seconds, -1 when it did not commit.
    double Import(BenchSource* source, int state)
    {
        ImportJob job;
        InitImportJob(&job, &Db(), &Model());
        job.Source = source;
        for (int g = 1; g <= source->GetGroupCount(); ++g) {
            job.GroupKinds[g - 1] = source->FillGroup(g, job.GroupItems[g - 1], nullptr);
            for (int i = 0; i < job.GroupItems[g - 1]->GetCount(); ++i) {
                void* item = job.GroupItems[g - 1]->GetItems()[i];
                bool last = i == job.GroupItems[g - 1]->GetCount() - 1;
                if (IsUnitKind(job.GroupKinds[g - 1])) {
                    UnitEntry* unit = static_cast<UnitEntry*>(item);
                    // The units are the target's levels, the last one a new level.
                    unit->State = last ? CHOICE_CREATE : CHOICE_MAP;
                    wcscpy(unit->TargetName, unit->SourceName);
                } else {
                    static_cast<AttrImportEntry*>(item)->State = state;
                }
            }
        }
        QuietSink sink;
        double start = NowSeconds();
        ImportOutcome outcome = RunImportFrame(&job, &sink);
        double seconds = NowSeconds() - start;
        job.Source = nullptr;  // the caller's
        FreeImportJob(&job);
        return outcome == IMPORT_COMMITTED ? seconds : -1;
    }

};

// ---- the target tables ----

void BenchTargetTables(TarnixCopy& tarnix, zor::RawOdbc& raw)
{
    Header("opening the target tables");
    zdata::Connection* connection = tarnix.Connection();
    TargetTables tables;
    int maxSys = 0, maxLoc = 0;
    double before = WorkingSetMb();
    connection->BeginTrans();
    double start = NowSeconds();
    bool opened = OpenTargetTables(connection, &tables, &maxSys, &maxLoc);
    double seconds = NowSeconds() - start;
    double grown = PeakMemoryMb() - before;
    CloseTargetTables(&tables);
    connection->RollbackTrans();
    start = NowSeconds();
    long long rows = 0;
    for (int slot = TARGET_SYSTREE; slot <= TARGET_LITAUTHORS; ++slot)
        if (slot != TARGET_RECORDS)
            rows += ReadAllRaw(raw, TargetSlotSql(slot));
    double baseline = NowSeconds() - start;
    Row("slots 0-7 and the highest ids", seconds, baseline, "s", "< 1 s");
    printf("  %s; %lld rows besides the records; highest ids %d, %d\n", opened ? "all opened" : "NOT ALL OPENED", rows,
           maxSys, maxLoc);
    printf("  memory: %.1f MB more at the peak than before the opening, %.1f MB peak working set (target < 300 MB)\n",
           grown, PeakMemoryMb());
}

// ---- find-or-create lookups ----

// Filters the name table for the name and adds it when it is missing: true when it was added.
bool FindOrAddName(zdata::Recordset* rs, const std::wstring& name)
{
    rs->put_Filter((L"NAME = '" + FilterQuote(name.c_str()) + L"'").c_str());
    if (!rs->IsEOF())
        return false;
    zdata::Fields* fields = nullptr;
    zdata::Field* field = nullptr;
    rs->AddNew();
    if (SUCCEEDED(rs->get_Fields(&fields)) && SUCCEEDED(fields->Item(L"NAME", &field))) {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(name.c_str());
        field->put_Value(v);
        VariantClear(&v);
    }
    if (FAILED(rs->Update()))
        rs->CancelUpdate();
    if (field)
        field->Release();
    if (fields)
        fields->Release();
    return true;
}

void BenchLookups(TarnixCopy& tarnix, int lookups)
{
    Header("find-or-create lookups of names");
    // 5,000 names, one in 50 with an apostrophe, asked for in a scattered order: the first time
    // a name comes it is added, afterwards it is found.
    const int distinct = 5000;
    std::vector<std::wstring> names;
    for (int i = 0; i < distinct; ++i)
        names.push_back((i % 50 ? L"Autor " : L"d'Autor ") + std::to_wstring(i));
    std::vector<int> order;
    unsigned seed = 12345;
    for (int i = 0; i < lookups; ++i) {
        seed = seed * 1103515245u + 12345u;
        order.push_back((int)((seed >> 8) % distinct));
    }
    zdata::Connection* connection = tarnix.Connection();
    connection->BeginTrans();
    TargetTables tables;
    int maxSys = 0, maxLoc = 0;
    OpenTargetTables(connection, &tables, &maxSys, &maxLoc);
    zdata::Recordset* rs = tables.Slots[TARGET_SYSAUTHORS];
    int added = 0;
    double start = NowSeconds();
    for (int k : order)
        added += FindOrAddName(rs, names[(size_t)k]) ? 1 : 0;
    double seconds = NowSeconds() - start;
    CloseTargetTables(&tables);
    connection->RollbackTrans();

    std::unordered_map<std::wstring, int> map;
    int mapAdded = 0;
    start = NowSeconds();
    for (int k : order)
        if (map.emplace(names[(size_t)k], (int)map.size()).second)
            ++mapAdded;
    double baseline = NowSeconds() - start;
    Row("one lookup (Filter, AddNew when missing)", seconds * 1e6 / lookups, baseline * 1e6 / lookups, "us",
        "< 3 us");
    printf("  %d lookups, %d names added (hash map: %d)\n", lookups, added, mapAdded);
}

// ---- structure ----

void BenchStructure(TarnixCopy& tarnix, zor::RawOdbc& raw)
{
    Header("structure of an import");
    BenchSource source(GetModuleHandleW(nullptr));
    source.groups = {{GROUP_SYS_UNITS, {L"Řád", L"Čeleď", L"Rod", L"Druh", L"Poddruh", L"Forma"}},
                     {GROUP_RECORD_ATTRS, {L"LOKALNAZEV", L"BIOTOP", L"POZNAMKA2"}}};
    double seconds = tarnix.Import(&source, CHOICE_CREATE);
    const std::wstring posid = L"(SELECT MAX(POSID) + 1 FROM CUSTOMATTRIBUTES)";
    std::vector<std::wstring> ddl = {L"INSERT INTO SYSDEF (LEVELID, NAME, DATALEVEL) VALUES (6, 'Forma', 0)",
                                     L"ALTER TABLE ZORNACOLLS ADD SYS_LEVEL_6 INTEGER"};
    for (const wchar_t* name : {L"LOKALNAZEV", L"BIOTOP", L"POZNAMKA2"}) {
        ddl.push_back(std::wstring(L"ALTER TABLE ZORNACOLLS ADD ") + name + L" VARCHAR(40)");
        // Every records attribute has an index of its own, as the structure editor makes it.
        ddl.push_back(std::wstring(L"CREATE INDEX BENCH_") + name + L"_IDX ON ZORNACOLLS(" + name + L")");
        ddl.push_back(L"INSERT INTO CUSTOMATTRIBUTES (TABLENAME, FIELDNAME, POSID, ATTRTYPE, ATTRSIZE, KEYFLAG, CAPTION) "
                      L"VALUES ('ZORNACOLLS', '" + std::wstring(name) + L"', " + posid + L", 4, 40, 0, '" + name + L"')");
    }
    double start = NowSeconds();
    raw.Begin();
    for (const std::wstring& sql : ddl)
        if (!raw.Exec(sql))
            printf("  baseline statement failed: %ls\n  %ls\n", sql.c_str(), raw.LastError().c_str());
    raw.Commit();
    double baseline = NowSeconds() - start;
    Row("a level and three attributes added", seconds, baseline, "s", "< 1.5x");
    if (seconds < 0)
        printf("  the import did not commit\n");
}

// ---- rows ----

// One INSERT per row in one transaction through the layer, each row in a savepoint or not.
double LayerRows(zdata::Connection* connection, int rows, bool savepoints, int first)
{
    double start = NowSeconds();
    connection->BeginTrans();
    for (int n = 0; n < rows; ++n) {
        if (savepoints)
            connection->BeginTrans();
        connection->Execute(BenchSource::RecordInsert(first + n).c_str());
        if (savepoints)
            connection->CommitTrans();
    }
    connection->RollbackTrans();
    return NowSeconds() - start;
}

// The same through raw ODBC; savepoints as plain statements.
double RawRows(zor::RawOdbc& raw, int rows, bool savepoints, bool commit, int first)
{
    double start = NowSeconds();
    raw.Begin();
    for (int n = 0; n < rows; ++n) {
        if (savepoints)
            raw.Exec(L"SAVEPOINT ZOR_BENCH");
        raw.Exec(BenchSource::RecordInsert(first + n));
        if (savepoints)
            raw.Exec(L"RELEASE ZOR_BENCH");
    }
    if (commit)
        raw.Commit();
    else
        raw.Rollback();
    return NowSeconds() - start;
}

void BenchRows(TarnixCopy& tarnix, zor::RawOdbc& raw, int rows)
{
    char title[80];
    snprintf(title, sizeof title, "%d rows imported (per row)", rows);
    Header(title);
    BenchSource source(GetModuleHandleW(nullptr));
    source.rows = rows;
    double frame = tarnix.Import(&source, CHOICE_SKIP);
    double rawPlain = RawRows(raw, rows, false, true, 0);
    double rawSavepoints = RawRows(raw, rows, true, false, rows);
    double layerPlain = LayerRows(tarnix.Connection(), rows, false, 2 * rows);
    double layerSavepoints = LayerRows(tarnix.Connection(), rows, true, 3 * rows);
    double us = 1e6 / rows;
    Row("the frame: each row in a savepoint", frame * us, rawPlain * us, "us", "(baseline: raw, one transaction)");
    Row("  the layer's INSERTs, one savepoint each", layerSavepoints * us, rawSavepoints * us, "us",
        "(baseline: raw with savepoints)");
    Row("  the layer's INSERTs without savepoints", layerPlain * us, rawPlain * us, "us", "(baseline: raw)");
    Row("  the savepoints alone (layer against raw)", (layerSavepoints - layerPlain) * us,
        (rawSavepoints - rawPlain) * us, "us", "");
    if (frame < 0)
        printf("  the import did not commit\n");
}

int FirstId(zor::RawOdbc& raw, const wchar_t* sql)
{
    return (int)raw.QueryInt(sql, 0);
}

}  // namespace

int main()
{
    std::wstring path;
    int rows = 100000, lookups = 200000;
    int code = ReadBenchArgs({{L"--rows", &rows, 100}, {L"--lookups", &lookups, 1000}}, PathWords::Strict, stderr,
                             kUsage, &path);
    if (code)
        return code;
    SetMsgBoxHook(PrintMessageBox);
    std::wstring folder = path.substr(0, path.find_last_of(L"\\/") + 1);
    std::wstring tarnixPath = folder + L"importframe_tarnix.mdb", rawPath = folder + L"importframe_raw.mdb";
    if (!CopyDatabase(path, tarnixPath) || !CopyDatabase(path, rawPath))
        return 1;
    {
        TarnixCopy tarnix(tarnixPath);
        zor::RawOdbc raw;
        if (!tarnix.ok() || !raw.Open(rawPath, false)) {
            printf("cannot open the copies\n");
            return 1;
        }
        BenchSource::sysId = FirstId(raw, L"SELECT SYSID FROM SPECIES ORDER BY SYSID LIMIT 1");
        BenchSource::locId = FirstId(raw, L"SELECT LOCID FROM FEATURES ORDER BY LOCID LIMIT 1");
        printf("%lld records\n", raw.QueryInt(L"SELECT COUNT(*) FROM ZORNACOLLS", 0));
        BenchTargetTables(tarnix, raw);
        BenchLookups(tarnix, lookups);
        BenchStructure(tarnix, raw);
        BenchRows(tarnix, raw, rows);
        printf("\npeak working set of the run: %.1f MB\n", PeakMemoryMb());
    }
    DeleteFileW(tarnixPath.c_str());
    DeleteFileW(rawPath.c_str());
    return 0;
}
