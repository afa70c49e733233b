// Figures of the data layer on a large records view: open and count, random pages, a client
// Filter, and memory, each beside the raw ODBC fetch of the same rows.
#include <windows.h>
#include <psapi.h>
#include <sql.h>
#include <sqlext.h>
#include <cstdio>
#include <random>
#include <string>
#include "dataaccess/ado.h"
#include "dataaccess/connstr.h"

using namespace zdata;

namespace {

double Now()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return (double)c.QuadPart / (double)f.QuadPart;
}

double PrivateMb()
{
    PROCESS_MEMORY_COUNTERS_EX pmc = {};
    pmc.cb = sizeof(pmc);
    K32GetProcessMemoryInfo(GetCurrentProcess(), (PROCESS_MEMORY_COUNTERS*)&pmc, sizeof(pmc));
    return pmc.WorkingSetSize / 1048576.0;
}

bool Exec(Connection* c, const wchar_t* sql)
{
    if (SUCCEEDED(c->Execute(sql)))
        return true;
    Errors* e = nullptr;
    c->get_Errors(&e);
    for (auto& d : e->Descriptions())
        fwprintf(stderr, L"error: %ls\n", d.c_str());
    e->Release();
    return false;
}

// Raw ODBC: run the statement and fetch every row's columns as the layer would.
double RawFetch(const std::wstring& path, const wchar_t* sql, int columns, long* rows)
{
    OdbcConnectTarget target;
    MapJetConnectionString(L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + L";", 0, &target);
    SQLHENV env;
    SQLHDBC dbc;
    SQLHSTMT st;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    SQLDriverConnectW(dbc, nullptr, (SQLWCHAR*)target.odbcString.c_str(), SQL_NTS, nullptr, 0,
                      nullptr, SQL_DRIVER_NOPROMPT);
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
    double t0 = Now();
    SQLExecDirectW(st, (SQLWCHAR*)sql, SQL_NTS);
    *rows = 0;
    wchar_t buf[512];
    while (SQL_SUCCEEDED(SQLFetch(st))) {
        for (int c = 1; c <= columns; ++c) {
            SQLLEN ind;
            SQLGetData(st, (SQLUSMALLINT)c, SQL_C_WCHAR, buf, sizeof(buf), &ind);
        }
        ++*rows;
    }
    double t = Now() - t0;
    SQLFreeHandle(SQL_HANDLE_STMT, st);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return t;
}

}  // namespace

int main(int argc, char** argv)
{
    long records = argc > 1 ? atol(argv[1]) : 1000000;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    wchar_t name[64];
    _snwprintf(name, 64, L"zor_bench_%ld.db", records);
    std::wstring path = std::wstring(temp) + name;
    Connection* c = Connection::Create();
    std::wstring cs = L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + L";";
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        printf("making %ld records...\n", records);
        double t0 = Now();
        CreateDatabaseFile(path.c_str());
        c->Open(cs.c_str());
        Exec(c, L"CREATE TABLE SPECIES (SYSID INTEGER PRIMARY KEY, NAME VARCHAR(80) COLLATE NOCASE, AUTHOR VARCHAR(60), YEAR INTEGER)");
        Exec(c, L"CREATE TABLE FEATURES (LOCID INTEGER PRIMARY KEY, NAME VARCHAR(80), X DOUBLE, Y DOUBLE, ALT INTEGER)");
        Exec(c, L"CREATE TABLE ZORNACOLLS (ID INTEGER PRIMARY KEY AUTOINCREMENT, SYSID INTEGER, FTRID INTEGER, LITID INTEGER, RECNOTE TEXT, COUNT INTEGER, SEEN DATETIME, LEG VARCHAR(40), DET VARCHAR(40))");
        Exec(c, L"CREATE VIEW COLLECTVIEW AS SELECT T1.*, SPECIES.*, FEATURES.* FROM (ZORNACOLLS AS T1 LEFT JOIN SPECIES ON SPECIES.SYSID = T1.SYSID) LEFT JOIN FEATURES ON FEATURES.LOCID = T1.FTRID");
        c->BeginTrans();
        Exec(c, L"WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 5000) INSERT INTO SPECIES SELECT x, 'Species ' || ((x * 7919) % 5000), 'Author', 1758 + x % 200 FROM n");
        Exec(c, L"WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 20000) INSERT INTO FEATURES SELECT x, 'Lokalita ' || x, 14.5 + x * 0.0001, 49.5 + x * 0.00005, 200 + x % 900 FROM n");
        wchar_t sql[512];
        _snwprintf(sql, 512, L"WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < %ld) INSERT INTO ZORNACOLLS (SYSID, FTRID, LITID, RECNOTE, COUNT, SEEN, LEG, DET) SELECT 1 + (x * 31) %% 5000, 1 + (x * 17) %% 20000, -1, CASE WHEN x %% 3 = 0 THEN 'poznámka ' || x END, x %% 50, 40000 + x %% 9000, 'Sběratel', 'Určovatel' FROM n", records);
        Exec(c, sql);
        c->CommitTrans();
        printf("made in %.2f s\n", Now() - t0);
        c->Close();
    }
    double mem0 = PrivateMb();
    double t0 = Now();
    if (FAILED(c->Open(cs.c_str())))
        return 1;
    const wchar_t* list = L"SELECT * FROM COLLECTVIEW ORDER BY \"NAME\" , \"ID\"";
    Recordset* rs = Recordset::Create();
    rs->put_CursorLocation(adUseServer);
    if (FAILED(rs->Open(list, c, adOpenKeyset, adLockReadOnly))) {
        Exec(c, list);
        return 1;
    }
    rs->MoveLast();
    long count = 0;
    rs->get_RecordCount(&count);
    double tOpen = Now() - t0;
    double mem1 = PrivateMb();
    printf("open + list of %ld rows (MoveLast, RecordCount): %.3f s, working set +%.1f MB\n", count, tOpen, mem1 - mem0);

    long rawRows = 0;
    double tRawKeys = RawFetch(path, L"SELECT ID FROM (SELECT * FROM COLLECTVIEW ORDER BY \"NAME\", \"ID\")", 1, &rawRows);
    printf("raw ODBC: keys of the same list: %.3f s (%ld rows)\n", tRawKeys, rawRows);

    // Pages of 50 rows x 10 columns at random places.
    Fields* fields = nullptr;
    rs->get_Fields(&fields);
    Field* cols[10];
    for (long i = 0; i < 10; ++i)
        fields->Item(i, &cols[i]);
    std::mt19937 rng(42);
    const int pages = 200;
    double tp = Now();
    for (int p = 0; p < pages; ++p) {
        long first = 1 + (long)(rng() % (unsigned)(count - 50));
        for (long r = 0; r < 50; ++r) {
            rs->put_AbsolutePosition(first + r);
            for (Field* f : cols) {
                VARIANT v;
                VariantInit(&v);
                f->get_Value(&v);
                VariantClear(&v);
            }
        }
    }
    double perPage = (Now() - tp) / pages * 1000.0;
    printf("random page of 50 rows x 10 columns: %.2f ms\n", perPage);
    double rawPage = 0;
    {
        long n = 0;
        double t = RawFetch(path, L"SELECT * FROM COLLECTVIEW WHERE ID BETWEEN 400000 AND 400049", 10, &n);
        rawPage = t * 1000.0;
        printf("raw ODBC: 50 rows by key range, 10 columns: %.2f ms\n", rawPage);
    }

    // Full walk of the list beside the raw fetch of every row.
    double tw = Now();
    long walked = 0;
    rs->MoveFirst();
    while (!rs->IsEOF() && walked < 200000) {
        VARIANT v;
        VariantInit(&v);
        cols[1]->get_Value(&v);
        VariantClear(&v);
        rs->MoveNext();
        ++walked;
    }
    double tWalk = Now() - tw;
    long rawWalked = 0;
    double tRawWalk = RawFetch(path, L"SELECT * FROM COLLECTVIEW ORDER BY \"NAME\", \"ID\" LIMIT 200000", 10, &rawWalked);
    printf("walk of %ld rows (one column read): %.3f s; raw ODBC fetch of the same rows, 10 columns: %.3f s\n", walked, tWalk, tRawWalk);

    // Filter on a 20,000-row client recordset.
    Recordset* client = Recordset::Create();
    client->put_CursorLocation(adUseClient);
    double tc = Now();
    client->Open(L"SELECT * FROM FEATURES", c, adOpenKeyset, adLockOptimistic);
    double tLoad = Now() - tc;
    double tf = Now();
    client->put_Filter(L"NAME LIKE 'lokalita 1*' AND ALT > 500");
    double tFilter = Now() - tf;
    long filtered = 0;
    client->get_RecordCount(&filtered);
    double te = Now();
    for (int i = 1; i <= 1000; ++i) {
        wchar_t f[64];
        _snwprintf(f, 64, L"LOCID = %d", i * 7);
        client->put_Filter(f);
    }
    double tEq = (Now() - te) / 1000 * 1000.0;
    printf("client recordset of 20000 rows: load %.3f s, LIKE filter %.1f ms (%ld rows), \"LOCID = n\" filter %.3f ms\n",
           tLoad, tFilter * 1000, filtered, tEq);

    for (Field* f : cols)
        f->Release();
    fields->Release();
    client->Release();
    rs->Release();
    c->Close();
    c->Release();
    return 0;
}
