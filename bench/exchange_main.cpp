// Figures of importing the previous version's exchange files into a generated records database:
// a records file (.zxf), a systematic file (.zxs) and a locality file (.zxl), generated so that
// most rows name species and localities the database has, each imported headless the way Tarnix
// imports it (one run of the import frame, one transaction) into a working copy. Beside each, a
// baseline of the same run: as many rows of the table the import fills (ZORNACOLLS, SYSTREE,
// LOCTREE) written by one prepared INSERT in one transaction on a second copy. For the records
// file also the records the import wrote, taken out and written again raw with all their columns
// into the imported structure: the database's own cost of exactly these rows.
//
//   exchange_bench.exe <database path> [-n <records>] [--zxf <records>] [--lines <zxs/zxl lines>]
//                      [--profile <records>]
//
// --profile first imports a records file of that many records with the data layer's trace on and
// prints what one record costs: the statements run per record by kind, with their time, the
// filters applied to rows in memory, and the rest (the program's own work).
//
// A missing database is made first with ZorSampleDb.exe from the same folder (1,000,000 records
// by default). The copies and the generated files are deleted at the end.
#include <windows.h>

#include <strsafe.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/benchtarnix.h"
#include "bench/benchutil.h"
#include "core/msgbox.h"
#include "tools/testkit/rawodbc.h"
#include "core/textutil.h"
#include "tools/exchangegen/exchangegen.h"
#include "import/impsource.h"
#include "import/importrun.h"
#include "import/importsources.h"
#include "resources/tarnix/resource.h"
#include "structure/schemadb.h"
#include "structure/structmodel.h"

namespace {

const char kUsage[] =
    "usage: exchange_bench.exe <database path> [-n <records>] [--zxf <records>] [--lines <zxs/zxl lines>]\n"
    "                          [--profile <records>]\n";

int Quiet(HWND, LPCWSTR text, LPCWSTR, UINT)
{
    printf("  message: %ls\n", text);
    return IDOK;
}

// Notes when the rows start and how the run ends; with a trace, keeps the layer's figures of the
// rows (from the first row to the commit) only.
class TimingSink : public ImportSink {
public:
    double rowsStart = 0;
    UINT finish = 0;
    int errors = 0;
    std::vector<zdata::WorkFigure> trace;
    void Status(UINT id) override
    {
        if (id == IDS_I_IMPORTING_RECORDS || id == IDS_I_IMPORTING_SYSTEM || id == IDS_I_IMPORTING_LOCALITIES) {
            zdata::TakeWorkTrace();
            rowsStart = NowSeconds();
        }
    }
    bool Progress(int) override { return false; }
    HWND Owner() override { return nullptr; }
    void ErrorsLogged(int count) override { errors = count; }
    void Finish(UINT id) override
    {
        finish = id;
        trace = zdata::TakeWorkTrace();
    }
};

struct Figures {
    double total = -1;  // seconds of the whole run
    double rows = -1;   // seconds of its rows
    int errors = 0;
    std::vector<zdata::WorkFigure> trace;  // of the rows, when traced
};

// Imports file into the copy as Tarnix does: units onto the levels of the same name ("Země" onto
// the top locality level, "Obec" not imported), the territorial unit and four record attributes
// created, the other attributes not imported.
Figures Import(const std::wstring& db, int type, const std::wstring& file)
{
    Figures f;
    TarnixDb tarnix(db);
    StructureModel& model = tarnix.Model();
    if (tarnix.ok()) {
        ImportJob job;
        InitImportJob(&job, &tarnix.Db(), &model);
        SelectImportSourceType(&job, GetModuleHandleW(nullptr), type);
        if (job.Source && OpenImportSource(&job, file.c_str())) {
            for (int g = 1; g <= job.Source->GetGroupCount(); ++g) {
                int kind = job.Source->FillGroup(g, job.GroupItems[g - 1], nullptr);
                job.GroupKinds[g - 1] = kind;
                CPtrArray* items = job.GroupItems[g - 1];
                ItemList* levels = IsUnitKind(kind) ? &model.Lists[ModelListOfKind(kind)] : nullptr;
                for (int i = 0; i < items->GetCount(); ++i) {
                    if (IsUnitKind(kind)) {
                        UnitEntry* unit = static_cast<UnitEntry*>(items->GetItems()[i]);
                        bool top = kind == GROUP_LOC_UNITS && i == 0;
                        if (top && levels->Count > 0)
                            StringCchCopyW(unit->TargetName, 64, LevelAt(levels, 0)->Name);
                        else
                            StringCchCopyW(unit->TargetName, 64, unit->SourceName);
                        unit->State = CHOICE_SKIP;
                        for (int l = 0; l < levels->Count; ++l)
                            if (SameTextNoCase(LevelAt(levels, l)->Name, unit->TargetName))
                                unit->State = CHOICE_MAP;
                    } else {
                        AttrImportEntry* attr = static_cast<AttrImportEntry*>(items->GetItems()[i]);
                        StringCchCopyW(attr->TargetName, 64, attr->SourceName);
                        attr->State = kind == GROUP_FEATURES_ATTRS || i <= 2 || i == 11 ? CHOICE_CREATE : CHOICE_SKIP;
                    }
                }
            }
            TimingSink sink;
            double start = NowSeconds();
            ImportOutcome outcome = RunImportFrame(&job, &sink);
            double end = NowSeconds();
            if (outcome == IMPORT_COMMITTED) {
                f.total = end - start;
                f.rows = end - sink.rowsStart;
                f.errors = sink.errors;
                f.trace = sink.trace;
            } else {
                printf("  the import did not commit (%u)\n", sink.finish);
            }
            if (sink.errors)
                DeleteImportLog(job.Source);
        }
        FreeImportJob(&job);
    }
    return f;
}

// Seconds of count rows written by one prepared INSERT in one transaction.
double Baseline(const std::wstring& db, const wchar_t* table, int count)
{
    zor::RawOdbc raw;
    if (!raw.Open(db, false)) {
        printf("  baseline: %ls\n", raw.LastError().c_str());
        return -1;
    }
    long long sysId = raw.QueryInt(L"SELECT MIN(SYSID) FROM SPECIES");
    long long locId = raw.QueryInt(L"SELECT MIN(LOCID) FROM FEATURES");
    long long sysLevel = raw.QueryInt(L"SELECT MAX(LEVELID) FROM SYSDEF");
    long long locLevel = raw.QueryInt(L"SELECT MAX(LEVELID) FROM LOCDEF");
    long long next = raw.QueryInt(std::wstring(L"SELECT MAX(ID) FROM ") + table) + 1;
    std::wstring t = table;
    std::wstring sql = t == L"ZORNACOLLS" ? L"INSERT INTO ZORNACOLLS (SYSID, FTRID, LITID) VALUES (?, ?, -1)"
                       : t == L"SYSTREE"  ? L"INSERT INTO SYSTREE (ID, PARENT, SYSLEVEL, SYSPOS, NAME) VALUES (?, ?, ?, ?, ?)"
                                          : L"INSERT INTO LOCTREE (ID, PARENT, LOCLEVEL, NAME) VALUES (?, ?, ?, ?)";
    double start = NowSeconds();
    raw.Begin();
    zor::RawStatement insert;
    if (!insert.Prepare(raw, sql)) {
        printf("  baseline: %ls\n", raw.LastError().c_str());
        return -1;
    }
    for (int i = 0; i < count; ++i) {
        // Parameters are numbered from 1.
        if (t == L"ZORNACOLLS") {
            insert.SetInt(1, sysId);
            insert.SetInt(2, locId);
        } else {
            insert.SetInt(1, next + i);
            insert.SetInt(2, t == L"SYSTREE" ? sysId : locId);
            insert.SetInt(3, t == L"SYSTREE" ? sysLevel : locLevel);
            if (t == L"SYSTREE") {
                insert.SetInt(4, 1000 + i);
                insert.SetText(5, L"bench" + std::to_wstring(i));
            } else {
                insert.SetText(4, L"bench" + std::to_wstring(i));
            }
        }
        if (!insert.Execute()) {
            printf("  baseline: %ls\n", raw.LastError().c_str());
            return -1;
        }
    }
    insert.Close();
    raw.Commit();
    return NowSeconds() - start;
}

// Seconds of the records the import wrote into the copy written again by one prepared INSERT of
// all their columns in one transaction, into the same table with the same columns and indexes
// (the records taken out first; the connection's page cache as large as the data layer's):
// what the database itself needs for exactly these rows. -1 when it cannot be measured.
double SameRowsBaseline(const std::wstring& db, long long firstId)
{
    zor::RawOdbc raw;
    std::vector<std::vector<std::wstring>> columns, rows;
    std::vector<std::wstring> names;
    if (!raw.Open(db, false) || !raw.Exec(L"PRAGMA cache_size=-65536") ||
        !raw.Query(L"SELECT name, upper(type) FROM pragma_table_info('ZORNACOLLS') WHERE pk = 0", columns) ||
        !raw.Query(L"SELECT * FROM ZORNACOLLS WHERE ID >= " + std::to_wstring(firstId) + L" ORDER BY ID", rows, &names) ||
        !raw.Exec(L"DELETE FROM ZORNACOLLS WHERE ID >= " + std::to_wstring(firstId))) {
        printf("  same rows: %ls\n", raw.LastError().c_str());
        return -1;
    }
    std::wstring list, marks;
    std::vector<size_t> at;  // the rows' column of each marker
    std::vector<wchar_t> kind;
    for (const auto& c : columns) {
        list += (list.empty() ? L"\"" : L", \"") + c[0] + L"\"";
        marks += marks.empty() ? L"?" : L", ?";
        for (size_t i = 0; i < names.size(); ++i)
            if (_wcsicmp(names[i].c_str(), c[0].c_str()) == 0)
                at.push_back(i);
        const std::wstring& type = c[1];
        kind.push_back(type.find(L"INT") != std::wstring::npos || type == L"BOOLEAN" ? L'i'
                       : type.find(L"CHAR") != std::wstring::npos || type.find(L"TEXT") != std::wstring::npos ? L't'
                                                                                                              : L'd');
    }
    if (at.size() != columns.size())
        return -1;
    zor::RawStatement insert;
    double start = NowSeconds();
    if (!raw.Begin() || !insert.Prepare(raw, L"INSERT INTO ZORNACOLLS (" + list + L") VALUES (" + marks + L")"))
        return -1;
    for (const auto& row : rows) {
        for (size_t k = 0; k < at.size(); ++k) {
            const std::wstring& value = row[at[k]];
            int number = (int)k + 1;
            if (value == L"<NULL>")
                insert.SetNull(number);
            else if (kind[k] == L'i')
                insert.SetInt(number, _wtoi64(value.c_str()));
            else if (kind[k] == L'd')
                insert.SetDouble(number, _wtof(value.c_str()));
            else
                insert.SetText(number, value);
        }
        if (!insert.Execute()) {
            printf("  same rows: %ls\n", raw.LastError().c_str());
            return -1;
        }
    }
    insert.Close();
    raw.Commit();
    return NowSeconds() - start;
}

// Names of the database the generated rows draw from.
void ReadNames(const std::wstring& db, std::vector<exgen::TaxonPath>* taxa, std::vector<exgen::PlacePath>* places)
{
    zor::RawOdbc raw;
    if (!raw.Open(db, false))
        return;
    std::vector<std::vector<std::wstring>> rows;
    // The species of the order with most species: the records file names one order.
    raw.Query(L"SELECT o.NAME, f.NAME, g.NAME, s.NAME FROM SYSTREE s JOIN SYSTREE g ON g.ID = s.PARENT "
              L"JOIN SYSTREE f ON f.ID = g.PARENT JOIN SYSTREE o ON o.ID = f.PARENT "
              L"WHERE s.SYSLEVEL = 4 AND o.ID = (SELECT o2.ID FROM SYSTREE s2 JOIN SYSTREE g2 ON g2.ID = s2.PARENT "
              L"JOIN SYSTREE f2 ON f2.ID = g2.PARENT JOIN SYSTREE o2 ON o2.ID = f2.PARENT WHERE s2.SYSLEVEL = 4 "
              L"GROUP BY o2.ID ORDER BY COUNT(*) DESC LIMIT 1) LIMIT 5000",
              rows);
    for (const auto& r : rows)
        if (r.size() == 4)
            taxa->push_back({r[0], r[1], r[2], r[3]});
    rows.clear();
    raw.Query(L"SELECT k.NAME, d.NAME, l.NAME, F.LONGITUDE, F.LATITUDE FROM LOCTREE l JOIN LOCTREE d ON d.ID = l.PARENT "
              L"JOIN LOCTREE k ON k.ID = d.PARENT JOIN FEATURES F ON F.LOCID = l.ID WHERE F.LONGITUDE IS NOT NULL LIMIT 5000",
              rows);
    for (const auto& r : rows)
        if (r.size() == 5)
            places->push_back({r[0], r[1], L"Obec", r[2], _wtof(r[3].c_str()), _wtof(r[4].c_str())});
}

void Row(const char* name, int count, const Figures& f, double baseline, double target, double ratio)
{
    double rate = f.rows > 0 ? count / f.rows : 0;
    double baseRate = baseline > 0 ? count / baseline : 0;
    bool met = rate >= target && rate >= ratio * baseRate;
    printf("%-34s %8d rows %8.2f s (%8.2f s in all) %10.0f rows/s   baseline %10.0f rows/s (%.2fx)   target >= %.0f rows/s",
           name, count, f.rows, f.total, rate, baseRate, baseRate > 0 ? rate / baseRate : 0, target);
    if (ratio > 0)
        printf(" and >= %.1fx", ratio);
    printf(" %s\n", met ? "met" : "NOT MET");
    printf("  peak working set of the program so far: %.0f MB\n", PeakMemoryMb());
    if (f.errors)
        printf("  %d log entries\n", f.errors);
    fflush(stdout);
}

}  // namespace

int main()
{
    int records = 200000, lines = 50000, profile = 0;
    std::wstring path;
    int rc = ReadBenchArgs({{L"--zxf", &records, 1}, {L"--lines", &lines, 1}, {L"--profile", &profile, 0}},
                           PathWords::Strict, stderr, kUsage, &path);
    if (rc)
        return rc;
    SetMsgBoxHook(Quiet);
    RegisterImportSources();
    std::wstring work = path + L".exchange.mdb", base = path + L".exchange_base.mdb";
    std::vector<exgen::TaxonPath> taxa;
    std::vector<exgen::PlacePath> places;
    ReadNames(path, &taxa, &places);
    printf("names drawn from the database: %zu species, %zu localities\n", taxa.size(), places.size());
    if (profile > 0) {
        exgen::BulkOptions options;
        options.count = profile;
        options.taxa = taxa;
        options.places = places;
        std::wstring file = path + L".profile.zxf";
        if (!exgen::WriteBytes(file, exgen::BulkRecordsFile(options)) || !CopyDatabase(path, work)) {
            printf("cannot prepare the copy\n");
            return 1;
        }
        zdata::TraceWork(true);
        Figures f = Import(work, IMPSRC_RECORDS_2002, file);
        zdata::TraceWork(false);
        if (f.rows > 0)
            PrintWorkProfile(".zxf record", profile, f.rows, f.trace);
        DeleteFileW(file.c_str());
        DeleteFileW(work.c_str());
    }

    struct Kind {
        const char* name;
        int type;
        const wchar_t* table;
        const wchar_t* extension;
        int count;
        double target;
        double ratio;  // of the baseline, 0 none
    };
    // The records file last: its raw baseline of the same records holds them all in memory, which
    // the peak working set printed after each import would otherwise carry.
    const Kind kinds[] = {
        {"systematic file (.zxs)", IMPSRC_SYSTEM_2002, L"SYSTREE", L".zxs", lines, 50000, 0},
        {"locality file (.zxl)", IMPSRC_LOCALITY_2002, L"LOCTREE", L".zxl", lines, 50000, 0},
        {"records file (.zxf)", IMPSRC_RECORDS_2002, L"ZORNACOLLS", L".zxf", records, 25000, 0.2},
    };
    for (const Kind& k : kinds) {
        exgen::BulkOptions options;
        options.count = k.count;
        options.taxa = taxa;
        options.places = places;
        std::string bytes = k.type == IMPSRC_RECORDS_2002 ? exgen::BulkRecordsFile(options)
                            : k.type == IMPSRC_SYSTEM_2002 ? exgen::BulkSystemFile(options)
                                                           : exgen::BulkLocalityFile(options);
        std::wstring file = path + L".bench" + k.extension;
        if (!exgen::WriteBytes(file, bytes) || !CopyDatabase(path, work) || !CopyDatabase(path, base)) {
            printf("cannot prepare the copies\n");
            return 1;
        }
        long long firstId = 0;
        {
            zor::RawOdbc raw;
            if (raw.Open(work, false))
                firstId = raw.QueryInt(L"SELECT MAX(ID) + 1 FROM ZORNACOLLS");
        }
        Figures f = Import(work, k.type, file);
        double baseline = Baseline(base, k.table, k.count);
        Row(k.name, k.count, f, baseline, k.target, k.ratio);
        if (k.type == IMPSRC_RECORDS_2002 && f.rows > 0) {
            double same = SameRowsBaseline(work, firstId);
            if (same > 0)
                printf("  the same records written raw (all their columns, the same indexes): %.0f rows/s, the import "
                       "%.2fx of it\n",
                       k.count / same, same / f.rows);
            fflush(stdout);
        }
        DeleteFileW(file.c_str());
        DeleteFileW(work.c_str());
        DeleteFileW(base.c_str());
    }
    return 0;
}
