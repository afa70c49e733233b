// A thin, direct ODBC connection to an SQLite database file, for the tools that build database
// files (schema script, sample generator) and for tests that inspect them with plain SQL.
// It deliberately does not use the recordset layer: it must work on a file before the
// programs' own data access can open it.
#pragma once
#include <windows.h>
#include <sql.h>
#include <sqlext.h>
#include <string>
#include <vector>

namespace zor {

// Turns a Windows path into the path the host ODBC driver needs in its connection string. Under
// Wine that is the host (Unix) path, found with kernel32's wine_get_unix_file_name, with its
// UTF-8 bytes one per wide character (the bridge narrows each character to a byte); on Windows
// the path is kept.
std::wstring HostPathForDriver(const std::wstring& windowsPath);

// True when the file starts with the SQLite header or is empty (SQLite takes a 0-byte file as an
// empty database). A missing file gives false.
bool IsSqliteFileOrEmpty(const std::wstring& path);

class RawOdbc;

// One prepared statement with positional parameters (1-based), set before each Execute.
class RawStatement {
public:
    RawStatement() = default;
    ~RawStatement();
    RawStatement(const RawStatement&) = delete;
    RawStatement& operator=(const RawStatement&) = delete;

    bool Prepare(RawOdbc& db, const std::wstring& sql);
    void Close();

    void SetNull(int index);
    void SetInt(int index, long long value);
    void SetDouble(int index, double value);
    void SetText(int index, const std::wstring& value);   // an empty text is stored as NULL
    void SetTextOrNull(int index, const wchar_t* value);   // null pointer or "" -> NULL
    void SetBlob(int index, const std::vector<unsigned char>& value);
    bool Execute();

private:
    struct Param {
        int kind = 0;   // 0 null, 1 int, 2 double, 3 text, 4 blob
        long long i = 0;
        double d = 0;
        std::wstring text;
        std::vector<unsigned char> blob;
        SQLLEN indicator = SQL_NULL_DATA;
        int boundKind = -1;
        SQLULEN boundSize = 0;
    };
    Param& At(int index);
    bool BindAll();

    RawOdbc* db_ = nullptr;
    SQLHSTMT stmt_ = SQL_NULL_HSTMT;
    std::vector<Param> params_;
};

class RawOdbc {
public:
    RawOdbc() = default;
    ~RawOdbc();
    RawOdbc(const RawOdbc&) = delete;
    RawOdbc& operator=(const RawOdbc&) = delete;

    // Opens the SQLite file at a Windows path with foreign keys enforced. With create set a
    // missing file becomes a new database; without it the open fails for a missing file.
    bool Open(const std::wstring& windowsPath, bool create);
    void Close();
    bool IsOpen() const { return dbc_ != SQL_NULL_HDBC; }
    SQLHDBC Handle() const { return dbc_; }

    // Runs one statement without results. On failure LastError() tells why.
    bool Exec(const std::wstring& sql);
    // Runs a query and returns every row as texts (NULL as the given marker).
    bool Query(const std::wstring& sql, std::vector<std::vector<std::wstring>>& rows,
               std::vector<std::wstring>* columnNames = nullptr,
               const wchar_t* nullMarker = L"<NULL>");
    // The columns a query reports: names, ODBC SQL types and sizes, without reading rows.
    bool Describe(const std::wstring& sql, std::vector<std::wstring>& names, std::vector<int>& types,
                  std::vector<long long>& sizes);
    // First column of the first row as a number; fallback when there is no row or no number.
    long long QueryInt(const std::wstring& sql, long long fallback = -1);
    // First column of the first row as text; empty when there is none.
    std::wstring QueryText(const std::wstring& sql);

    bool Begin();
    bool Commit();
    bool Rollback();

    const std::wstring& LastError() const { return lastError_; }
    void SetError(SQLSMALLINT type, SQLHANDLE handle, const wchar_t* what);

private:
    SQLHSTMT ExecDirect(const std::wstring& sql);

    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
    bool inTransaction_ = false;
    std::wstring lastError_;
};

}  // namespace zor
