// Figures of the data layer on a generated records database, each beside the raw ODBC work that
// fetches the same rows or keys in the same run:
//   open plus schema discovery; the whole records list ("SELECT * FROM COLLECTVIEW ORDER BY NAME",
//   NAME being the species name) opened and counted; pages of 50 rows x 10 columns read by
//   AbsolutePosition at random places; Filters on a 20,000-row client recordset; the memory the
//   list's keyset takes.
//
//   dataaccess_bench.exe <database path> [-n <records>] [--pages <count>] [--runs <count>]
//
// A missing database is made first with ZorSampleDb.exe from the same folder
// ("ZorSampleDb -o <path> -n <records>", 1,000,000 records by default, about 20 s).
#include <windows.h>
#include <psapi.h>
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "bench/benchutil.h"
#include "dataaccess/ado.h"
#include "dataaccess/connstr.h"

using namespace zdata;

namespace {

struct Memory {
    double privateMb = 0;
    double workingMb = 0;
    double peakWorkingMb = 0;
};

Memory ReadMemory()
{
    PROCESS_MEMORY_COUNTERS_EX pmc = {};
    pmc.cb = sizeof(pmc);
    GetProcessMemoryInfo(GetCurrentProcess(), (PROCESS_MEMORY_COUNTERS*)&pmc, sizeof(pmc));
    Memory m;
    // Wine leaves PrivateUsage 0; PagefileUsage is the same figure (committed private bytes).
    m.privateMb = (pmc.PrivateUsage ? pmc.PrivateUsage : pmc.PagefileUsage) / 1048576.0;
    m.workingMb = pmc.WorkingSetSize / 1048576.0;
    m.peakWorkingMb = pmc.PeakWorkingSetSize / 1048576.0;
    return m;
}

// ---- the table ----------------------------------------------------------------------------

struct Figure {
    std::string name;
    double layer = 0;
    double raw = -1;       // < 0: no baseline
    std::string unit;      // "s", "ms", "MB"
    double limit = -1;     // absolute target, < 0 when none
    double ratioLimit = -1;  // layer / raw target, < 0 when none
};

std::vector<Figure> g_figures;

void Add(const std::string& name, double layer, double raw, const std::string& unit, double limit,
         double ratioLimit)
{
    g_figures.push_back({name, layer, raw, unit, limit, ratioLimit});
}

bool PrintTable()
{
    printf("\n%-52s %12s %12s %7s  %-22s %s\n", "figure", "layer", "raw ODBC", "ratio", "target",
           "result");
    printf("%s\n", std::string(120, '-').c_str());
    bool all = true;
    for (const Figure& f : g_figures) {
        char layer[32], raw[32], ratio[16], target[64];
        const char* fmt = f.unit == "ms" ? "%.2f %s" : f.unit == "MB" ? "%.1f %s" : "%.3f %s";
        snprintf(layer, sizeof layer, fmt, f.layer, f.unit.c_str());
        if (f.raw >= 0)
            snprintf(raw, sizeof raw, fmt, f.raw, f.unit.c_str());
        else
            snprintf(raw, sizeof raw, "-");
        double r = f.raw > 0 ? f.layer / f.raw : -1;
        if (r >= 0)
            snprintf(ratio, sizeof ratio, "%.2fx", r);
        else
            snprintf(ratio, sizeof ratio, "-");
        std::string t;
        if (f.limit >= 0) {
            char b[32];
            snprintf(b, sizeof b, f.unit == "s" ? "< %.1f %s" : "< %.0f %s", f.limit, f.unit.c_str());
            t = b;
        }
        if (f.ratioLimit >= 0) {
            char b[32];
            snprintf(b, sizeof b, "%s<= %.1fx raw", t.empty() ? "" : ", ", f.ratioLimit);
            t += b;
        }
        snprintf(target, sizeof target, "%s", t.empty() ? "(for reference)" : t.c_str());
        bool pass = true;
        if (f.limit >= 0 && f.layer >= f.limit)
            pass = false;
        if (f.ratioLimit >= 0 && r >= 0 && r > f.ratioLimit)
            pass = false;
        bool judged = f.limit >= 0 || f.ratioLimit >= 0;
        all = all && pass;
        printf("%-52s %12s %12s %7s  %-22s %s\n", f.name.c_str(), layer, raw, ratio, target,
               judged ? (pass ? "pass" : "FAIL") : "");
    }
    return all;
}

// ---- raw ODBC -----------------------------------------------------------------------------

class Raw {
public:
    bool Connect(const std::wstring& odbcString)
    {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
        SQLRETURN rc = SQLDriverConnectW(dbc_, nullptr, (SQLWCHAR*)odbcString.c_str(), SQL_NTS,
                                         nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
        return SQL_SUCCEEDED(rc);
    }
    ~Raw()
    {
        if (dbc_) {
            SQLDisconnect(dbc_);
            SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        }
        if (env_)
            SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }

    // Runs a statement (with integer parameters) and reads the given columns of every row, each
    // with the C type that suits its SQL type, as a hand-written reader would. Returns the rows.
    long Fetch(const std::wstring& sql, const std::vector<int>& columns,
               const std::vector<long long>* params = nullptr, std::vector<long long>* firstColumn = nullptr)
    {
        SQLHSTMT st;
        SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &st);
        std::vector<SQLLEN> ind(params ? params->size() : 0, 0);
        for (size_t i = 0; params && i < params->size(); ++i)
            SQLBindParameter(st, (SQLUSMALLINT)(i + 1), SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0,
                             0, (SQLPOINTER) & (*params)[i], 0, &ind[i]);
        SQLRETURN rc = SQLExecDirectW(st, (SQLWCHAR*)sql.c_str(), SQL_NTS);
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
            Report(st, sql);
            SQLFreeHandle(SQL_HANDLE_STMT, st);
            return -1;
        }
        std::vector<SQLSMALLINT> ctype(columns.size());
        for (size_t i = 0; i < columns.size(); ++i) {
            SQLSMALLINT type = 0, digits = 0, nullable = 0, nameLen = 0;
            SQLULEN size = 0;
            SQLWCHAR name[128];
            SQLDescribeColW(st, (SQLUSMALLINT)columns[i], name, 128, &nameLen, &type, &size, &digits,
                            &nullable);
            switch (type) {
            case SQL_INTEGER: case SQL_SMALLINT: case SQL_TINYINT: case SQL_BIGINT: case SQL_BIT:
                ctype[i] = SQL_C_SBIGINT;
                break;
            case SQL_DOUBLE: case SQL_FLOAT: case SQL_REAL: case SQL_NUMERIC: case SQL_DECIMAL:
            case SQL_TYPE_TIMESTAMP: case SQL_TYPE_DATE:
                ctype[i] = SQL_C_DOUBLE;
                break;
            default:
                ctype[i] = SQL_C_WCHAR;
            }
        }
        long rows = 0;
        wchar_t text[1024];
        while (SQL_SUCCEEDED(SQLFetch(st))) {
            for (size_t i = 0; i < columns.size(); ++i) {
                SQLLEN len = 0;
                if (ctype[i] == SQL_C_SBIGINT) {
                    long long v = 0;
                    SQLGetData(st, (SQLUSMALLINT)columns[i], SQL_C_SBIGINT, &v, sizeof v, &len);
                    if (i == 0 && firstColumn)
                        firstColumn->push_back(v);
                } else if (ctype[i] == SQL_C_DOUBLE) {
                    double v = 0;
                    SQLGetData(st, (SQLUSMALLINT)columns[i], SQL_C_DOUBLE, &v, sizeof v, &len);
                } else {
                    SQLGetData(st, (SQLUSMALLINT)columns[i], SQL_C_WCHAR, text, sizeof text, &len);
                }
            }
            ++rows;
        }
        SQLFreeHandle(SQL_HANDLE_STMT, st);
        return rows;
    }

    // Column names of a query, as the schema probes read them.
    int Describe(const std::wstring& sql, std::vector<std::wstring>* names)
    {
        SQLHSTMT st;
        SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &st);
        SQLRETURN rc = SQLExecDirectW(st, (SQLWCHAR*)sql.c_str(), SQL_NTS);
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
            Report(st, sql);
            SQLFreeHandle(SQL_HANDLE_STMT, st);
            return -1;
        }
        SQLSMALLINT n = 0;
        SQLNumResultCols(st, &n);
        names->clear();
        for (SQLSMALLINT c = 1; c <= n; ++c) {
            SQLSMALLINT type = 0, digits = 0, nullable = 0, nameLen = 0;
            SQLULEN size = 0;
            SQLWCHAR name[128];
            SQLDescribeColW(st, (SQLUSMALLINT)c, name, 128, &nameLen, &type, &size, &digits, &nullable);
            names->push_back((wchar_t*)name);
        }
        SQLFreeHandle(SQL_HANDLE_STMT, st);
        return n;
    }

private:
    void Report(SQLHSTMT st, const std::wstring& sql)
    {
        SQLWCHAR state[8], msg[512];
        SQLINTEGER native = 0;
        SQLSMALLINT len = 0;
        SQLGetDiagRecW(SQL_HANDLE_STMT, st, 1, state, &native, msg, 512, &len);
        fwprintf(stderr, L"raw ODBC: %ls: %ls\n", sql.c_str(), (wchar_t*)msg);
    }

    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
};

// ---- the layer ----------------------------------------------------------------------------

void ReportLayer(Connection* c, const char* what)
{
    Errors* e = nullptr;
    c->get_Errors(&e);
    long n = 0;
    if (e)
        e->get_Count(&n);
    for (long i = 0; i < n; ++i) {
        Error* err = nullptr;
        e->Item(i, &err);
        BSTR d = nullptr;
        if (err) {
            err->get_Description(&d);
            err->Release();
        }
        fprintf(stderr, "layer: %s: %ls\n", what, d ? d : L"");
        SysFreeString(d);
    }
    if (e)
        e->Release();
}

void ReadValue(Field* f)
{
    VARIANT v;
    VariantInit(&v);
    f->get_Value(&v);
    VariantClear(&v);
}

const wchar_t* const kDataTables[] = {L"SYSTREE", L"LOCTREE", L"SPECIES", L"FEATURES", L"ZORNACOLLS",
                                      L"LITERATURE"};
const wchar_t* const kProbes[] = {L"ZORNACOLLS", L"SYSTREE", L"LOCTREE", L"SPECIES", L"FEATURES",
                                  L"LITERATURE", L"COLLECTVIEW", L"LITVIEW"};

struct SchemaCounts {
    long records = 0;   // columns of ZORNACOLLS
    long species = 0;   // columns of SPECIES
    long viewColumns = 0;
};

// The attribute definitions read by table through Filter, then a "WHERE 0 = 1" probe of each
// table and view whose column names are read, as the database object does after opening.
bool LayerDiscover(Connection* c, SchemaCounts* counts)
{
    Recordset* attrs = Recordset::Create();
    if (FAILED(attrs->Open(L"SELECT * FROM CUSTOMATTRIBUTES ORDER BY POSID", c, adOpenKeyset,
                           adLockReadOnly))) {
        ReportLayer(c, "CUSTOMATTRIBUTES");
        attrs->Release();
        return false;
    }
    Fields* fields = nullptr;
    attrs->get_Fields(&fields);
    long n = 0;
    fields->get_Count(&n);
    for (const wchar_t* table : kDataTables) {
        wchar_t filter[64];
        _snwprintf(filter, 64, L"TABLENAME = '%ls'", table);
        attrs->put_Filter(filter);
        for (; !attrs->IsEOF(); attrs->MoveNext())
            for (long i = 0; i < n; ++i) {
                Field* f = nullptr;
                fields->Item(i, &f);
                ReadValue(f);
                f->Release();
            }
    }
    fields->Release();
    attrs->Close();
    attrs->Release();
    for (const wchar_t* table : kProbes) {
        wchar_t sql[96];
        _snwprintf(sql, 96, L"SELECT * FROM %ls WHERE 0 = 1", table);
        Recordset* rs = Recordset::Create();
        if (FAILED(rs->Open(sql, c, adOpenKeyset, adLockReadOnly))) {
            ReportLayer(c, "probe");
            rs->Release();
            return false;
        }
        Fields* fs = nullptr;
        rs->get_Fields(&fs);
        long cols = 0;
        fs->get_Count(&cols);
        for (long i = 0; i < cols; ++i) {
            Field* f = nullptr;
            fs->Item(i, &f);
            BSTR name = nullptr;
            f->get_Name(&name);
            SysFreeString(name);
            f->Release();
        }
        fs->Release();
        if (!wcscmp(table, L"ZORNACOLLS"))
            counts->records = cols;
        else if (!wcscmp(table, L"SPECIES"))
            counts->species = cols;
        else if (!wcscmp(table, L"COLLECTVIEW"))
            counts->viewColumns = cols;
        rs->Close();
        rs->Release();
    }
    return true;
}

bool RawDiscover(Raw& raw)
{
    std::vector<int> all;
    std::vector<std::wstring> names;
    int n = raw.Describe(L"SELECT * FROM CUSTOMATTRIBUTES WHERE 0 = 1", &names);
    for (int i = 1; i <= n; ++i)
        all.push_back(i);
    if (raw.Fetch(L"SELECT * FROM CUSTOMATTRIBUTES ORDER BY POSID", all) < 0)
        return false;
    for (const wchar_t* table : kProbes) {
        wchar_t sql[96];
        _snwprintf(sql, 96, L"SELECT * FROM %ls WHERE 0 = 1", table);
        if (raw.Describe(sql, &names) < 0)
            return false;
    }
    return true;
}


}  // namespace

int main()
{
    int pages = 200;
    int runs = 3;
    std::wstring path;
    if (int code = ReadBenchArgs({ { L"--pages", &pages, 1 }, { L"--runs", &runs, 1 } }, PathWords::Strict, stderr,
                                 "Usage: dataaccess_bench <database path> [-n <records>] [--pages <count>] [--runs <count>]\n"
                                 "  A missing database is made with \"ZorSampleDb -o <path> -n <records>\" (default 1000000).\n",
                                 &path))
        return code;

    const std::wstring jet = L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + L";";
    OdbcConnectTarget target;
    std::wstring error;
    if (!MapJetConnectionString(jet, 0, &target, &error)) {
        fprintf(stderr, "%ls\n", error.c_str());
        return 1;
    }

    // Warm the file cache, so that neither side pays for the first reads from disk.
    long total = 0;
    {
        Raw warm;
        if (!warm.Connect(target.odbcString)) {
            fprintf(stderr, "raw ODBC: cannot connect to %ls\n", target.odbcString.c_str());
            return 1;
        }
        std::vector<long long> n;
        warm.Fetch(L"SELECT COUNT(*) FROM COLLECTVIEW", {1}, nullptr, &n);
        warm.Fetch(L"SELECT COUNT(*) FROM (SELECT * FROM COLLECTVIEW ORDER BY NAME)", {1});
        total = n.empty() ? 0 : (long)n[0];
    }
    printf("database %ls: %ld records\n", path.c_str(), total);

    // ---- open plus schema discovery ----
    std::vector<double> tOpen, tOpenRaw;
    SchemaCounts counts;
    for (int r = 0; r < runs; ++r) {
        double t0 = NowSeconds();
        Connection* c = Connection::Create();
        bool ok = SUCCEEDED(c->Open(jet.c_str())) && LayerDiscover(c, &counts);
        tOpen.push_back(NowSeconds() - t0);
        c->Close();
        c->Release();
        if (!ok) {
            fprintf(stderr, "layer: the database could not be opened and discovered\n");
            return 1;
        }
        t0 = NowSeconds();
        {
            Raw raw;
            if (!raw.Connect(target.odbcString) || !RawDiscover(raw))
                return 1;
        }
        tOpenRaw.push_back(NowSeconds() - t0);
    }
    Add("open + schema discovery", Median(tOpen) * 1000, Median(tOpenRaw) * 1000, "ms", -1, 1.5);

    Connection* c = Connection::Create();
    if (FAILED(c->Open(jet.c_str()))) {
        ReportLayer(c, "open");
        return 1;
    }
    Raw raw;
    raw.Connect(target.odbcString);

    // ---- the whole list, opened and counted ----
    const wchar_t* list = L"SELECT * FROM COLLECTVIEW ORDER BY NAME";
    Recordset* rs = Recordset::Create();
    rs->put_CursorLocation(adUseServer);
    Memory before = ReadMemory();
    std::vector<double> tList, tListRaw;
    long count = 0;
    Memory after;
    std::vector<long long> rawKeys;
    for (int r = 0; r < runs; ++r) {
        // The program reopens the same recordset object for every new list.
        double t0 = NowSeconds();
        rs->Close();
        if (FAILED(rs->Open(list, c, adOpenKeyset, adLockReadOnly))) {
            ReportLayer(c, "list");
            return 1;
        }
        rs->MoveLast();
        rs->get_RecordCount(&count);
        tList.push_back(NowSeconds() - t0);
        if (r == 0)
            after = ReadMemory();
        rawKeys.clear();
        rawKeys.reserve(total);
        t0 = NowSeconds();
        raw.Fetch(L"SELECT ID FROM COLLECTVIEW ORDER BY NAME", {1}, nullptr, &rawKeys);
        tListRaw.push_back(NowSeconds() - t0);
    }
    char label[96];
    snprintf(label, sizeof label, "list of %ld rows: Open + MoveLast + RecordCount", count);
    Add(label, Median(tList), Median(tListRaw), "s", 1.5, 1.5);
    // Growth of the whole process, the driver's own memory included (under Wine the counters
    // come from the host's view of the process); the keys alone take 8 bytes a row.
    Add("  memory of the list (private bytes, first open)", after.privateMb - before.privateMb, -1,
        "MB", 64, -1);
    Add("  memory of the list (peak working set growth)", after.peakWorkingMb - before.workingMb, -1,
        "MB", 64, -1);
    if (count != (long)rawKeys.size())
        fprintf(stderr, "warning: the layer counts %ld rows, raw ODBC %zu\n", count, rawKeys.size());

    // ---- pages of 50 rows x 10 columns at random places ----
    // The columns a records list shows: the record's own first five, the species name and
    // author, the locality name and its coordinates.
    long R = counts.records, F = counts.records + counts.species;
    long ordinals[10] = {0, 1, 2, 3, 4, R, R + 3, F + 1, F + 3, F + 4};
    Fields* fields = nullptr;
    rs->get_Fields(&fields);
    Field* cols[10];
    for (int i = 0; i < 10; ++i)
        fields->Item(ordinals[i], &cols[i]);
    std::vector<int> rawCols;
    for (long o : ordinals)
        rawCols.push_back((int)o + 1);
    std::wstring rawPageSql = L"SELECT * FROM COLLECTVIEW WHERE ID IN (?";
    for (int i = 1; i < 50; ++i)
        rawPageSql += L",?";
    rawPageSql += L")";
    std::vector<int> allCols;
    for (long i = 1; i <= counts.viewColumns; ++i)
        allCols.push_back((int)i);
    std::mt19937 rng(2011);
    std::vector<double> tPage, tPageRaw;
    long pageRows = 0;
    for (int p = 0; p < pages && count > 50; ++p) {
        long first = 1 + (long)(rng() % (unsigned)(count - 50));
        double t0 = NowSeconds();
        for (long r = 0; r < 50; ++r) {
            rs->put_AbsolutePosition(first + r);
            for (Field* f : cols)
                ReadValue(f);
        }
        tPage.push_back(NowSeconds() - t0);
        std::vector<long long> keys(rawKeys.begin() + (first - 1), rawKeys.begin() + (first - 1) + 50);
        t0 = NowSeconds();
        pageRows += raw.Fetch(rawPageSql, rawCols, &keys);
        tPageRaw.push_back(NowSeconds() - t0);
    }
    if (pageRows != 50L * (long)tPageRaw.size())
        fprintf(stderr, "warning: the raw pages read %ld rows\n", pageRows);
    // The layer reads whole rows (any column may be read next): the raw fetch of the same 50
    // rows with every column, for reference.
    std::vector<double> tPageAll;
    for (int p = 0; p < pages && count > 50; ++p) {
        long first = 1 + (long)(rng() % (unsigned)(count - 50));
        std::vector<long long> keys(rawKeys.begin() + (first - 1), rawKeys.begin() + (first - 1) + 50);
        double t0 = NowSeconds();
        raw.Fetch(rawPageSql, allCols, &keys);
        tPageAll.push_back(NowSeconds() - t0);
    }
    double meanPage = 0, meanPageRaw = 0;
    for (double t : tPage)
        meanPage += t;
    for (double t : tPageRaw)
        meanPageRaw += t;
    meanPage /= std::max<size_t>(1, tPage.size());
    meanPageRaw /= std::max<size_t>(1, tPageRaw.size());
    snprintf(label, sizeof label, "page of 50 rows x 10 columns, mean of %d", pages);
    Add(label, meanPage * 1000, meanPageRaw * 1000, "ms", 20, 1.5);
    double meanAll = 0;
    for (double t : tPageAll)
        meanAll += t;
    meanAll /= std::max<size_t>(1, tPageAll.size());
    snprintf(label, sizeof label, "  raw: the same 50 rows with all %ld columns", counts.viewColumns);
    Add(label, meanPage * 1000, meanAll * 1000, "ms", -1, -1);
    Add("  slowest page", *std::max_element(tPage.begin(), tPage.end()) * 1000,
        *std::max_element(tPageRaw.begin(), tPageRaw.end()) * 1000, "ms", 20, -1);

    for (Field* f : cols)
        f->Release();
    fields->Release();

    // ---- Filter on a 20,000-row client recordset ----
    const wchar_t* clientSql = L"SELECT * FROM COLLECTVIEW WHERE ID <= 20000";
    Recordset* client = Recordset::Create();
    client->put_CursorLocation(adUseClient);
    // Each side in turn, raw first in every other run, so neither gains from the other's reads.
    std::vector<double> tLoads, tLoadsRaw;
    for (int r = 0; r < runs; ++r) {
        for (int side = 0; side < 2; ++side) {
            double t0 = NowSeconds();
            if ((side == 0) == (r % 2 == 0)) {
                client->Close();
                if (FAILED(client->Open(clientSql, c, adOpenKeyset, adLockReadOnly))) {
                    ReportLayer(c, "client");
                    return 1;
                }
                tLoads.push_back(NowSeconds() - t0);
            } else {
                raw.Fetch(clientSql, allCols);
                tLoadsRaw.push_back(NowSeconds() - t0);
            }
        }
    }
    double tLoad = Median(tLoads), tLoadRaw = Median(tLoadsRaw);
    long clientRows = 0;
    client->get_RecordCount(&clientRows);
    snprintf(label, sizeof label, "client recordset of %ld rows x %ld columns: Open", clientRows,
             counts.viewColumns);
    Add(label, tLoad * 1000, tLoadRaw * 1000, "ms", -1, 1.5);

    // A name prefix as the type-ahead filter writes it: the species names of the first rows.
    struct FilterCase {
        std::wstring criteria;
        std::wstring rawSql;
        const char* label;
    };
    std::wstring prefix;
    long ftrid = 0;
    {
        Field* name = nullptr;
        Fields* fs = nullptr;
        client->get_Fields(&fs);
        fs->Item(R, &name);
        client->put_AbsolutePosition(clientRows / 2);
        VARIANT v;
        VariantInit(&v);
        name->get_Value(&v);
        if (v.vt == VT_BSTR)
            prefix.assign(v.bstrVal, std::min<size_t>(3, SysStringLen(v.bstrVal)));
        VariantClear(&v);
        name->Release();
        Field* loc = nullptr;
        fs->Item(2L, &loc);
        loc->get_Value(&v);
        if (v.vt == VT_I4)
            ftrid = v.lVal;
        VariantClear(&v);
        loc->Release();
        fs->Release();
    }
    std::vector<FilterCase> cases = {
        {L"NAME LIKE '" + prefix + L"*'", std::wstring(clientSql) + L" AND NAME LIKE '" + prefix + L"%'",
         "Filter NAME LIKE 'prefix*'"},
        {L"FTRID = " + std::to_wstring(ftrid), std::wstring(clientSql) + L" AND FTRID = " + std::to_wstring(ftrid),
         "Filter FTRID = n"},
        {L"(ALTITUDE > 500) OR ((LONGITUDE < 15) AND (LATITUDE > 49.5))",
         std::wstring(clientSql) + L" AND ((ALTITUDE > 500) OR ((LONGITUDE < 15) AND (LATITUDE > 49.5)))",
         "Filter (a) OR ((b) AND (c)) from the map"},
    };
    for (const FilterCase& fc : cases) {
        std::vector<double> tl, tr;
        long layerRows = 0, rawRows = 0;
        for (int r = 0; r < runs; ++r) {
            VARIANT none;
            VariantInit(&none);
            none.vt = VT_I4;
            none.lVal = adFilterNone;
            client->put_Filter(none);
            double t0 = NowSeconds();
            if (FAILED(client->put_Filter(fc.criteria.c_str()))) {
                ReportLayer(c, "Filter");
                break;
            }
            client->get_RecordCount(&layerRows);
            // Reading the matching rows is part of what a filter costs the program.
            Fields* fs = nullptr;
            client->get_Fields(&fs);
            Field* f = nullptr;
            fs->Item(0L, &f);
            for (client->MoveFirst(); !client->IsEOF(); client->MoveNext())
                ReadValue(f);
            f->Release();
            fs->Release();
            tl.push_back(NowSeconds() - t0);
            t0 = NowSeconds();
            rawRows = raw.Fetch(fc.rawSql, {1});
            tr.push_back(NowSeconds() - t0);
        }
        if (layerRows != rawRows)
            fprintf(stderr, "warning: %ls: the layer keeps %ld rows, raw ODBC %ld\n", fc.criteria.c_str(),
                    layerRows, rawRows);
        snprintf(label, sizeof label, "  %s (%ld rows)", fc.label, layerRows);
        Add(label, Median(tl) * 1000, Median(tr) * 1000, "ms", -1, 1.5);
    }
    client->Release();
    rs->Release();
    c->Close();
    c->Release();

    bool pass = PrintTable();
    printf("\n%s\n", pass ? "all targets met" : "some targets missed");
    return pass ? 0 : 3;
}
