// The text-file import on a copy of a generated records database, beside a baseline of the same
// run: a cp1250 file of species citations (mostly of existing species), locality names with
// coordinates in degrees, minutes and seconds, a date and three record attributes (a number, a
// text and a value list) imported through the import frame; the row phase (from the first row to
// the commit) as records per second, and the whole run. Baseline: the same ZORNACOLLS rows
// written by one raw prepared INSERT in one transaction.
//
//   textimport_bench.exe <database path> [-n <records>] [--rows <count>] [--profile 1]
//
// --profile 1 traces the data layer's work in the row phase and prints what one row cost (the
// figures of that run then include the trace's own cost).
//
// A missing database is made first with ZorSampleDb.exe from the same folder (1,000,000
// records by default). The copies and the text file it makes are deleted at the end.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/benchtarnix.h"
#include "bench/benchutil.h"
#include "tools/testkit/rawodbc.h"
#include "import/impsource.h"
#include "import/importrun.h"
#include "import/structtransfer.h"
#include "import/textsource.h"
#include "resources/tarnix/resource.h"
#include "structure/schemadb.h"

using zor::RawOdbc;
using zor::RawStatement;

namespace {

const char kUsage[] = "usage: textimport_bench.exe <database path> [-n <records>] [--rows <count>] [--profile 1]\n";

struct Row {
    std::wstring species, locality;
    double lon, lat;
    int sysId, locId;
    int day, count;
    std::wstring leg, method;
};

std::wstring Dms(double value)
{
    int d = (int)value, m = (int)((value - d) * 60), s = (int)((value - d - m / 60.0) * 3600);
    wchar_t text[32];
    _snwprintf(text, 32, L"%d°%d'%d\"", d, m, s);
    return text;
}

std::wstring DateText(int serial)
{
    SYSTEMTIME st = {};
    VariantTimeToSystemTime((double)serial, &st);
    wchar_t text[16];
    _snwprintf(text, 16, L"%d.%d.%d", st.wDay, st.wMonth, st.wYear);
    return text;
}

// The rows of the file: species and localities of the database (every 50th species new),
// dates running on so that no two records of one species and locality share one.
std::vector<Row> MakeRows(RawOdbc& db, int count)
{
    std::vector<std::vector<std::wstring>> species, localities, methods;
    db.Query(L"SELECT NAME, SYSID, ifnull(AUTHOR, '') FROM SPECIES WHERE NAME LIKE '% %' ORDER BY SYSID", species);
    db.Query(L"SELECT L.NAME, L.ID, F.LONGITUDE, F.LATITUDE FROM LOCTREE L JOIN FEATURES F ON F.LOCID = L.ID "
             L"WHERE F.LONGITUDE IS NOT NULL ORDER BY L.ID",
             localities);
    db.Query(L"SELECT NAME FROM ZOR_METODA", methods);
    std::vector<Row> rows;
    if (species.empty() || localities.empty())
        return rows;
    for (int i = 0; i < count; ++i) {
        Row r;
        const auto& s = species[(size_t)i % species.size()];
        const auto& l = localities[(size_t)(i * 7) % localities.size()];
        r.species = i % 50 == 49 ? L"Benchus novus" + std::to_wstring(i / 50) : s[0] + (s[2].empty() ? L"" : L" " + s[2] + L", 1900");
        r.sysId = _wtoi(s[1].c_str());
        r.locality = l[0];
        r.locId = _wtoi(l[1].c_str());
        r.lon = _wtof(l[2].c_str());
        r.lat = _wtof(l[3].c_str());
        r.day = 20000 + i;
        r.count = 1 + i % 40;
        r.leg = L"J. Sběratel " + std::to_wstring(i % 100);
        r.method = methods.empty() ? L"" : methods[(size_t)i % methods.size()][0];
        rows.push_back(r);
    }
    return rows;
}

bool WriteFile(const std::wstring& path, const std::vector<Row>& rows)
{
    std::wstring text = L"Druh\tLokalita\tDélka\tŠířka\tDatum\tPočet\tSběratel\tMetoda\r\n";
    for (const Row& r : rows)
        text += r.species + L"\t" + r.locality + L"\t" + Dms(r.lon) + L"\t" + Dms(r.lat) + L"\t" + DateText(r.day) +
                L"\t" + std::to_wstring(r.count) + L"\t" + r.leg + L"\t" + r.method + L"\r\n";
    int n = WideCharToMultiByte(1250, 0, text.c_str(), (int)text.size(), nullptr, 0, nullptr, nullptr);
    std::string bytes((size_t)n, '\0');
    WideCharToMultiByte(1250, 0, text.c_str(), (int)text.size(), &bytes[0], n, nullptr, nullptr);
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f)
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    fclose(f);
    return ok;
}

// The times of the run's phases.
class TimingSink : public ImportSink {
public:
    double rowsStart = 0, end = 0;
    UINT finish = 0;
    int errors = 0;
    std::vector<zdata::WorkFigure> trace;  // of the row phase, when traced
    void Status(UINT id) override
    {
        if (id == IDS_I_IMPORTING_RECORDS) {
            zdata::TakeWorkTrace();
            rowsStart = NowSeconds();
        }
    }
    bool Progress(int) override { return false; }
    HWND Owner() override { return nullptr; }
    void ErrorsLogged(int count) override { errors = count; }
    void Finish(UINT id) override
    {
        end = NowSeconds();
        finish = id;
        trace = zdata::TakeWorkTrace();
    }
};

struct Map {
    int group;
    const wchar_t* column;
    int type;
};

bool ImportFile(const std::wstring& db, const std::wstring& file, TimingSink* sink, double* total)
{
    TarnixDb tarnix(db);
    bool ok = tarnix.ok();
    if (ok) {
        ImportJob job;
        InitImportJob(&job, &tarnix.Db(), &tarnix.Model());
        CImpTXTSrc* source = new CImpTXTSrc(GetModuleHandleW(nullptr));
        job.Source = source;
        job.SourceType = IMPSRC_TEXT;
        ok = OpenImportSource(&job, file.c_str());
        job.GroupKinds[0] = source->FillGroup(1, job.GroupItems[0], nullptr);
        TextImportOptions* options = static_cast<TextImportOptions*>(job.GroupItems[0]->GetItems()[0]);
        options->FirstRowHeader = 1;
        job.GroupKinds[1] = source->FillGroup(2, job.GroupItems[1], options);
        const Map maps[] = {{COLGROUP_SPECIES, L"NAME", 4},       {COLGROUP_FEATURES, L"NAME", 4},
                            {COLGROUP_FEATURES, L"LONGITUDE", 2}, {COLGROUP_FEATURES, L"LATITUDE", 2},
                            {COLGROUP_RECORDS, L"DATUM", 3},      {COLGROUP_RECORDS, L"POCET", 1},
                            {COLGROUP_RECORDS, L"LEG", 4},        {COLGROUP_RECORDS, L"METODA", 5}};
        for (int i = 0; i < job.GroupItems[1]->GetCount() && i < 8; ++i) {
            SourceColumn* c = static_cast<SourceColumn*>(job.GroupItems[1]->GetItems()[i]);
            c->TargetGroup = maps[i].group;
            wcscpy(c->TargetColumn, maps[i].column);
            c->TargetType = maps[i].type;
            c->TargetSize = 41;
        }
        double start = NowSeconds();
        ok = ok && RunImportFrame(&job, sink) == IMPORT_COMMITTED;
        *total = NowSeconds() - start;
        FreeImportJob(&job);
    }
    return ok;
}

double RawInsert(const std::wstring& db, const std::vector<Row>& rows, bool* ok)
{
    RawOdbc raw;
    *ok = raw.Open(db, false);
    if (!*ok)
        return 0;
    RawStatement insert;
    double start = NowSeconds();
    *ok = raw.Begin() && insert.Prepare(raw, L"INSERT INTO ZORNACOLLS (SYSID, FTRID, LITID, DATUM, POCET, LEG, METODA) "
                                             L"VALUES (?, ?, -1, ?, ?, ?, ?)");
    for (size_t i = 0; *ok && i < rows.size(); ++i) {
        const Row& r = rows[i];
        insert.SetInt(1, r.sysId);
        insert.SetInt(2, r.locId);
        insert.SetDouble(3, r.day);
        insert.SetInt(4, r.count);
        insert.SetText(5, r.leg);
        insert.SetText(6, r.method);
        *ok = insert.Execute();
    }
    insert.Close();
    *ok = *ok && raw.Commit();
    double seconds = NowSeconds() - start;
    raw.Close();
    return seconds;
}

}  // namespace

int main()
{
    int count = 200000, profile = 0;
    std::wstring path;
    int rc = ReadBenchArgs({{L"--rows", &count, 10}, {L"--profile", &profile, 0}}, PathWords::FirstOnly, stderr, kUsage,
                           &path);
    if (rc)
        return rc;
    std::wstring folder = path.substr(0, path.find_last_of(L"\\/"));
    std::wstring copy = folder + L"\\textimport_bench_copy.mdb";
    std::wstring rawCopy = folder + L"\\textimport_bench_raw.mdb";
    std::wstring file = folder + L"\\textimport_bench.txt";

    std::vector<Row> rows;
    {
        RawOdbc db;
        if (db.Open(path, false))
            rows = MakeRows(db, count);
    }
    if (rows.empty() || !WriteFile(file, rows) || !CopyDatabase(path, copy) || !CopyDatabase(path, rawCopy)) {
        fprintf(stderr, "cannot prepare the rows, the text file or the copies\n");
        return 1;
    }
    bool rawOk = false;
    double raw = RawInsert(rawCopy, rows, &rawOk);
    TimingSink sink;
    double total = 0;
    zdata::TraceWork(profile != 0);
    bool ok = ImportFile(copy, file, &sink, &total);
    zdata::TraceWork(false);
    double rowPhase = sink.end - sink.rowsStart;
    if (profile)
        PrintWorkProfile("text row", count, rowPhase, sink.trace);
    RawOdbc check;
    long long imported = 0;
    if (check.Open(copy, false)) {
        std::vector<std::vector<std::wstring>> result;
        check.Query(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE LEG LIKE 'J. Sběratel %'", result);
        imported = result.empty() ? 0 : _wtoi64(result[0][0].c_str());
        check.Close();
    }
    printf("%d rows, %lld records imported, %d log entries%s%s\n", count, imported, sink.errors,
           ok ? "" : ", the import FAILED", rawOk ? "" : ", the raw insert FAILED");
    printf("%-40s %14s %14s %8s  %s\n", "figure", "import", "raw INSERT", "ratio", "target");
    double rate = rowPhase > 0 ? imported / rowPhase : 0, rawRate = raw > 0 ? rows.size() / raw : 0;
    double ratio = rawRate > 0 ? rate / rawRate : 0;
    printf("%-40s %12.0f/s %12.0f/s %7.2fx  %s\n", "row phase (records per second)", rate, rawRate, ratio,
           ratio >= 0.6 ? ">= 0.6x raw: met" : ">= 0.6x raw: NOT MET");
    printf("%-40s %12.2f s %12.2f s %7.2fx  %s\n", "whole run (structure, targets, rows)", total, raw,
           raw > 0 ? total / raw : 0, "-");
    double peak = PeakMemoryMb();
    printf("%-40s %12.0f MB %33s  %s\n", "peak memory", peak, "", peak < 600 ? "< 600 MB: met" : "< 600 MB: NOT MET");
    DeleteFileW(copy.c_str());
    DeleteFileW(rawCopy.c_str());
    DeleteFileW(file.c_str());
    return ok && rawOk ? 0 : 1;
}
