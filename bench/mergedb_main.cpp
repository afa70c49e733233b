// Figures of merging an older database into the open one: a generated source of the older layout
// (200,000 records by default, every second genus, district and publication renamed, so that its
// trees half overlap the target's) merged twice into a copy of the benchmark database, headless,
// as Tarnix's import runs it. Baseline of the same run: the same number of ZORNACOLLS rows
// written by one prepared INSERT in one transaction through raw ODBC, on a second copy.
//
//   mergedb_bench.exe <database path> [-n <records>] [--source <records>] [--profile 1]
//
// --profile 1 traces the data layer's work in the first merge and prints what one record cost
// (the figures of that run then include the trace's own cost).
//
// A missing database is made first with ZorSampleDb.exe from the same folder (1,000,000 records
// by default). The source and both copies are deleted at the end.
#include <windows.h>

#include <cstdio>
#include <string>

#include "bench/benchtarnix.h"
#include "bench/benchutil.h"
#include "core/msgbox.h"
#include "tools/testkit/rawodbc.h"
#include "import/importrun.h"
#include "import/importsources.h"
#include "import/mergesource.h"
#include "resources/tarnix/resource.h"
#include "structure/schemadb.h"

namespace {

const char kUsage[] = "usage: mergedb_bench.exe <database path> [-n <records>] [--source <records>] [--profile 1]\n";

void Row(const char* name, double value, double baseline, const char* unit, const char* target)
{
    char ratio[16] = "-";
    if (baseline > 0)
        snprintf(ratio, sizeof ratio, "%.2fx", value / baseline);
    printf("%-36s %12.1f %-9s %12.1f %-9s %7s  %s\n", name, value, unit, baseline, unit, ratio, target);
    fflush(stdout);
}

// The run reports nothing and is never cancelled.
class SilentSink : public ImportSink {
public:
    void Status(UINT) override {}
    bool Progress(int) override { return false; }
    HWND Owner() override { return nullptr; }
    void ErrorsLogged(int count) override { errors = count; }
    void Finish(UINT id) override { status = id; }
    int errors = 0;
    UINT status = 0;
};

struct MergeFigures {
    double seconds = 0;
    int errors = 0;
    bool committed = false;
};

MergeFigures RunMerge(const std::wstring& target, const std::wstring& source)
{
    MergeFigures figures;
    TarnixDb db(target);
    if (db.ok()) {
        ImportJob job;
        InitImportJob(&job, &db.Db(), &db.Model());
        SelectImportSourceType(&job, GetModuleHandleW(nullptr), IMPSRC_DATABASE_2010);
        double start = NowSeconds();
        if (OpenImportSource(&job, source.c_str())) {
            MapGroupsAutomatically(&job);
            SilentSink sink;
            figures.committed = RunImportFrame(&job, &sink) == IMPORT_COMMITTED;
            figures.errors = sink.errors;
        }
        figures.seconds = NowSeconds() - start;
        FreeImportJob(&job);
    } else {
        fprintf(stderr, "the database copy does not open\n");
    }
    return figures;
}

// The baseline: the source's records written to the copy by one prepared INSERT, in one
// transaction, spread over the target's species and localities (a row the key index refuses is
// passed over).
double RawInsert(const std::wstring& target, const std::wstring& source, long* rows)
{
    zor::RawOdbc from;
    std::vector<std::vector<std::wstring>> records;
    if (!from.Open(source, false) ||
        !from.Query(L"SELECT LITID, RECNOTE, DATUM, POCET, LEG, DET, PRESNOST FROM ZORNACOLLS ORDER BY ID", records))
        return 0;
    from.Close();
    zor::RawOdbc db;
    std::vector<std::vector<std::wstring>> species, localities;
    if (!db.Open(target, false) || !db.Query(L"SELECT SYSID FROM SPECIES", species) ||
        !db.Query(L"SELECT LOCID FROM FEATURES", localities) || species.empty() || localities.empty())
        return 0;
    zor::RawStatement insert;
    double start = NowSeconds();
    if (!db.Begin() || !insert.Prepare(db, L"INSERT OR IGNORE INTO ZORNACOLLS (SYSID, FTRID, LITID, RECNOTE, DATUM, POCET, "
                                           L"LEG, DET, PRESNOST) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"))
        return 0;
    auto text = [](const std::wstring& value) { return value == L"<NULL>" ? nullptr : value.c_str(); };
    for (size_t i = 0; i < records.size(); ++i) {
        const auto& r = records[i];
        insert.SetInt(1, _wtoi(species[i % species.size()][0].c_str()));
        insert.SetInt(2, _wtoi(localities[(i * 7) % localities.size()][0].c_str()));
        insert.SetInt(3, _wtoi(r[0].c_str()));
        insert.SetTextOrNull(4, text(r[1]));
        if (text(r[2]))
            insert.SetDouble(5, _wtof(r[2].c_str()));
        else
            insert.SetNull(5);
        insert.SetInt(6, _wtoi(r[3].c_str()));
        insert.SetTextOrNull(7, text(r[4]));
        insert.SetTextOrNull(8, text(r[5]));
        insert.SetDouble(9, _wtof(r[6].c_str()));
        if (!insert.Execute())
            return 0;
    }
    insert.Close();
    db.Commit();
    *rows = (long)records.size();
    return NowSeconds() - start;
}

bool MakeOlderSource(const std::wstring& path, int records)
{
    return RunSiblingProgram(L"ZorOlderDb.exe", L"-o \"" + path + L"\" -n " + std::to_wstring(records) + L" -s 2011 --renamed-half");
}

}  // namespace

int main()
{
    int sourceRecords = 200000, profile = 0;
    std::wstring path;
    int code = ReadBenchArgs({{L"--source", &sourceRecords, 1}, {L"--profile", &profile, 0}}, PathWords::FirstOnly,
                             stderr, kUsage, &path);
    if (code)
        return code;
    SetMsgBoxHook(PrintMessageBox);
    RegisterImportSources();
    std::wstring folder = path.substr(0, path.find_last_of(L"\\/") + 1);
    std::wstring source = folder + L"mergedb_source.mdb";
    std::wstring copy = folder + L"mergedb_target.mdb";
    std::wstring baselineCopy = folder + L"mergedb_baseline.mdb";

    // Made by its own program, so that the memory figure is the merge's alone. Seed 2011 is the
    // benchmark database's.
    double made = NowSeconds();
    if (!MakeOlderSource(source, sourceRecords)) {
        fprintf(stderr, "the source cannot be made\n");
        return 1;
    }
    printf("source of %d records made in %.1f s\n", sourceRecords, NowSeconds() - made);
    if (!CopyDatabase(path, copy) || !CopyDatabase(path, baselineCopy))
        return 1;

    zdata::TraceWork(profile != 0);
    MergeFigures first = RunMerge(copy, source);
    zdata::TraceWork(false);
    if (profile)
        PrintWorkProfile("merged record", sourceRecords, first.seconds, zdata::TakeWorkTrace());
    double peak = PeakMemoryMb();
    MergeFigures second = RunMerge(copy, source);
    long rows = 0;
    double raw = RawInsert(baselineCopy, source, &rows);
    DeleteFileW(copy.c_str());
    DeleteFileW(baselineCopy.c_str());
    DeleteFileW(source.c_str());

    printf("\n%-36s %12s %-9s %12s %-9s %7s  %s\n", "figure", "merge", "", "baseline", "", "ratio", "target");
    double rawRate = raw > 0 ? rows / raw : 0;
    // Each merge: at least 0.6x the raw rate and 20,000 records a second.
    auto target = [&](double rate) {
        return rate >= 20000 && rate >= 0.6 * rawRate ? ">= 0.6x raw, >= 20000/s: met" : ">= 0.6x raw, >= 20000/s: NOT MET";
    };
    double firstRate = first.seconds > 0 ? sourceRecords / first.seconds : 0;
    double secondRate = second.seconds > 0 ? sourceRecords / second.seconds : 0;
    Row("first merge", firstRate, rawRate, "records/s", target(firstRate));
    Row("second merge (trees all known)", secondRate, rawRate, "records/s", target(secondRate));
    Row("first merge time", first.seconds, raw, "s", "-");
    Row("peak memory", peak, 0, "MB", peak < 600 ? "< 600 MB: met" : "< 600 MB: NOT MET");
    printf("first merge %s, %d log entries; second merge %s, %d log entries\n", first.committed ? "committed" : "FAILED",
           first.errors, second.committed ? "committed" : "FAILED", second.errors);
    return first.committed && second.committed ? 0 : 1;
}
