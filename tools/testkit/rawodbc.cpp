#include "tools/testkit/rawodbc.h"
#include "dataaccess/connstr.h"

#include <cstring>
#include <cwchar>

namespace zor {

namespace {

// Wide text of the first diagnostic record of a handle.
std::wstring Diagnostic(SQLSMALLINT type, SQLHANDLE handle)
{
    std::wstring out;
    for (SQLSMALLINT rec = 1; rec <= 3; ++rec) {
        SQLWCHAR state[8] = {};
        SQLWCHAR message[1024] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT len = 0;
        SQLRETURN rc = SQLGetDiagRecW(type, handle, rec, state, &native, message,
                                      (SQLSMALLINT)(sizeof(message) / sizeof(message[0])), &len);
        if (!SQL_SUCCEEDED(rc))
            break;
        if (!out.empty())
            out += L"; ";
        out += reinterpret_cast<wchar_t*>(message);
        out += L" [";
        out += reinterpret_cast<wchar_t*>(state);
        out += L"]";
    }
    return out;
}

}  // namespace

std::wstring HostPathForDriver(const std::wstring& windowsPath)
{
    // The driver runs on the host and takes the path literally: the layer's mapping applies.
    std::wstring host;
    if (!zdata::HostPathOf(windowsPath, &host))
        return windowsPath;
    return zdata::DriverPathText(host);
}

bool IsSqliteFileOrEmpty(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char header[16] = {};
    DWORD read = 0;
    BOOL ok = ReadFile(file, header, sizeof(header), &read, nullptr);
    CloseHandle(file);
    if (!ok)
        return false;
    if (read == 0)
        return true;
    return read == sizeof(header) && std::memcmp(header, "SQLite format 3\0", 16) == 0;
}

// ---------------------------------------------------------------------------------------------
// RawOdbc

RawOdbc::~RawOdbc()
{
    Close();
}

void RawOdbc::SetError(SQLSMALLINT type, SQLHANDLE handle, const wchar_t* what)
{
    lastError_ = what;
    std::wstring diag = handle ? Diagnostic(type, handle) : std::wstring();
    if (!diag.empty()) {
        lastError_ += L": ";
        lastError_ += diag;
    }
}

bool RawOdbc::Open(const std::wstring& windowsPath, bool create)
{
    Close();
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_))) {
        lastError_ = L"ODBC environment not available";
        env_ = SQL_NULL_HENV;
        return false;
    }
    SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_))) {
        SetError(SQL_HANDLE_ENV, env_, L"ODBC connection not available");
        dbc_ = SQL_NULL_HDBC;
        Close();
        return false;
    }
    std::wstring conn = L"DRIVER=SQLite3;Database=" + HostPathForDriver(windowsPath) +
                        (create ? L";NoCreat=0" : L";NoCreat=1") +
                        L";FKSupport=1;Timeout=5000;LongNames=0;BigInt=0";
    SQLWCHAR out[1024];
    SQLSMALLINT outLen = 0;
    SQLRETURN rc = SQLDriverConnectW(dbc_, nullptr, (SQLWCHAR*)conn.c_str(), SQL_NTS, out,
                                     (SQLSMALLINT)(sizeof(out) / sizeof(out[0])), &outLen,
                                     SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        SetError(SQL_HANDLE_DBC, dbc_, L"cannot open the database");
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        dbc_ = SQL_NULL_HDBC;
        Close();
        return false;
    }
    return true;
}

void RawOdbc::Close()
{
    if (dbc_ != SQL_NULL_HDBC) {
        if (inTransaction_)
            Rollback();
        SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        dbc_ = SQL_NULL_HDBC;
    }
    if (env_ != SQL_NULL_HENV) {
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
        env_ = SQL_NULL_HENV;
    }
}

// The name (and, when asked, the SQL type and size) of one result column, 1-based.
static std::wstring DescribeColumn(SQLHSTMT stmt, SQLSMALLINT column, SQLSMALLINT* type,
                                   SQLULEN* size)
{
    SQLWCHAR name[256] = {};
    SQLSMALLINT len = 0, sqlType = 0, digits = 0, nullable = 0;
    SQLULEN columnSize = 0;
    SQLDescribeColW(stmt, column, name, 256, &len, &sqlType, &columnSize, &digits, &nullable);
    if (type)
        *type = sqlType;
    if (size)
        *size = columnSize;
    return reinterpret_cast<wchar_t*>(name);
}

// Runs the text on a new statement handle, which the caller frees; SQL_NULL_HSTMT (with
// LastError() set) when not open or when the statement fails. No rows is no failure.
SQLHSTMT RawOdbc::ExecDirect(const std::wstring& sql)
{
    if (!IsOpen()) {
        lastError_ = L"not open";
        return SQL_NULL_HSTMT;
    }
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt))) {
        SetError(SQL_HANDLE_DBC, dbc_, L"no statement handle");
        return SQL_NULL_HSTMT;
    }
    SQLRETURN rc = SQLExecDirectW(stmt, (SQLWCHAR*)sql.c_str(), SQL_NTS);
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
        SetError(SQL_HANDLE_STMT, stmt, sql.c_str());
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        return SQL_NULL_HSTMT;
    }
    return stmt;
}

bool RawOdbc::Exec(const std::wstring& sql)
{
    SQLHSTMT stmt = ExecDirect(sql);
    if (stmt == SQL_NULL_HSTMT)
        return false;
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return true;
}

bool RawOdbc::Query(const std::wstring& sql, std::vector<std::vector<std::wstring>>& rows,
                    std::vector<std::wstring>* columnNames, const wchar_t* nullMarker)
{
    rows.clear();
    if (columnNames)
        columnNames->clear();
    SQLHSTMT stmt = ExecDirect(sql);
    if (stmt == SQL_NULL_HSTMT)
        return false;
    SQLSMALLINT cols = 0;
    SQLNumResultCols(stmt, &cols);
    if (columnNames) {
        for (SQLSMALLINT c = 1; c <= cols; ++c)
            columnNames->push_back(DescribeColumn(stmt, c, nullptr, nullptr));
    }
    bool ok = true;
    SQLRETURN rc;
    while (true) {
        rc = SQLFetch(stmt);
        if (rc == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(rc)) {
            SetError(SQL_HANDLE_STMT, stmt, L"fetch failed");
            ok = false;
            break;
        }
        std::vector<std::wstring> row;
        for (SQLSMALLINT c = 1; c <= cols; ++c) {
            std::wstring value;
            bool isNull = false;
            wchar_t chunk[2048];
            while (true) {
                SQLLEN ind = 0;
                rc = SQLGetData(stmt, c, SQL_C_WCHAR, chunk, sizeof(chunk), &ind);
                if (rc == SQL_NO_DATA)
                    break;
                if (!SQL_SUCCEEDED(rc)) {
                    SetError(SQL_HANDLE_STMT, stmt, L"read failed");
                    ok = false;
                    break;
                }
                if (ind == SQL_NULL_DATA) {
                    isNull = true;
                    break;
                }
                value += chunk;
                if (rc == SQL_SUCCESS)
                    break;
            }
            row.push_back(isNull ? std::wstring(nullMarker) : value);
        }
        rows.push_back(std::move(row));
        if (!ok)
            break;
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return ok;
}

bool RawOdbc::Describe(const std::wstring& sql, std::vector<std::wstring>& names, std::vector<int>& types,
                       std::vector<long long>& sizes)
{
    names.clear();
    types.clear();
    sizes.clear();
    SQLHSTMT stmt = ExecDirect(sql);
    if (stmt == SQL_NULL_HSTMT)
        return false;
    SQLSMALLINT cols = 0;
    SQLNumResultCols(stmt, &cols);
    for (SQLSMALLINT c = 1; c <= cols; ++c) {
        SQLSMALLINT type = 0;
        SQLULEN size = 0;
        names.push_back(DescribeColumn(stmt, c, &type, &size));
        types.push_back(type);
        sizes.push_back((long long)size);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return true;
}

long long RawOdbc::QueryInt(const std::wstring& sql, long long fallback)
{
    std::vector<std::vector<std::wstring>> rows;
    if (!Query(sql, rows, nullptr, L"") || rows.empty() || rows[0].empty() || rows[0][0].empty())
        return fallback;
    wchar_t* end = nullptr;
    long long v = wcstoll(rows[0][0].c_str(), &end, 10);
    return (end && *end == 0) ? v : fallback;
}

std::wstring RawOdbc::QueryText(const std::wstring& sql)
{
    std::vector<std::vector<std::wstring>> rows;
    if (!Query(sql, rows, nullptr, L"") || rows.empty() || rows[0].empty())
        return std::wstring();
    return rows[0][0];
}

bool RawOdbc::Begin()
{
    if (!IsOpen())
        return false;
    SQLRETURN rc = SQLSetConnectAttrW(dbc_, SQL_ATTR_AUTOCOMMIT, (SQLPOINTER)SQL_AUTOCOMMIT_OFF, 0);
    if (!SQL_SUCCEEDED(rc)) {
        SetError(SQL_HANDLE_DBC, dbc_, L"cannot start a transaction");
        return false;
    }
    inTransaction_ = true;
    return true;
}

bool RawOdbc::Commit()
{
    if (!inTransaction_)
        return false;
    SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT);
    bool ok = SQL_SUCCEEDED(rc);
    if (!ok)
        SetError(SQL_HANDLE_DBC, dbc_, L"commit failed");
    SQLSetConnectAttrW(dbc_, SQL_ATTR_AUTOCOMMIT, (SQLPOINTER)SQL_AUTOCOMMIT_ON, 0);
    inTransaction_ = false;
    return ok;
}

bool RawOdbc::Rollback()
{
    if (!inTransaction_)
        return false;
    SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
    SQLSetConnectAttrW(dbc_, SQL_ATTR_AUTOCOMMIT, (SQLPOINTER)SQL_AUTOCOMMIT_ON, 0);
    inTransaction_ = false;
    return SQL_SUCCEEDED(rc);
}

// ---------------------------------------------------------------------------------------------
// RawStatement

RawStatement::~RawStatement()
{
    Close();
}

void RawStatement::Close()
{
    if (stmt_ != SQL_NULL_HSTMT) {
        SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
        stmt_ = SQL_NULL_HSTMT;
    }
    params_.clear();
    db_ = nullptr;
}

bool RawStatement::Prepare(RawOdbc& db, const std::wstring& sql)
{
    Close();
    db_ = &db;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, db.Handle(), &stmt_))) {
        db.SetError(SQL_HANDLE_DBC, db.Handle(), L"no statement handle");
        stmt_ = SQL_NULL_HSTMT;
        return false;
    }
    if (!SQL_SUCCEEDED(SQLPrepareW(stmt_, (SQLWCHAR*)sql.c_str(), SQL_NTS))) {
        db.SetError(SQL_HANDLE_STMT, stmt_, sql.c_str());
        SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
        stmt_ = SQL_NULL_HSTMT;
        return false;
    }
    // The parameters' buffers are bound once and must not move: size the list now. The
    // statements given here carry no '?' inside literals.
    size_t count = 0;
    for (wchar_t ch : sql)
        if (ch == L'?')
            ++count;
    params_.assign(count, Param());
    return true;
}

RawStatement::Param& RawStatement::At(int index)
{
    static Param spare;
    if (index < 1 || index > (int)params_.size())
        return spare;
    return params_[index - 1];
}

void RawStatement::SetNull(int index)
{
    At(index).kind = 0;
}

void RawStatement::SetInt(int index, long long value)
{
    Param& p = At(index);
    p.kind = 1;
    p.i = value;
}

void RawStatement::SetDouble(int index, double value)
{
    Param& p = At(index);
    p.kind = 2;
    p.d = value;
}

void RawStatement::SetText(int index, const std::wstring& value)
{
    if (value.empty()) {
        SetNull(index);
        return;
    }
    Param& p = At(index);
    p.kind = 3;
    size_t need = value.size() + 1;
    if (p.text.size() < need)
        p.text.resize(need < 64 ? 64 : need * 2, L'\0');  // rebinding only when it grows
    std::memcpy(&p.text[0], value.c_str(), need * sizeof(wchar_t));
    p.indicator = (SQLLEN)(value.size() * sizeof(wchar_t));
}

void RawStatement::SetTextOrNull(int index, const wchar_t* value)
{
    if (!value || !*value)
        SetNull(index);
    else
        SetText(index, value);
}

void RawStatement::SetBlob(int index, const std::vector<unsigned char>& value)
{
    Param& p = At(index);
    p.kind = 4;
    if (p.blob.size() < value.size() || p.blob.empty())
        p.blob.resize(value.size() < 64 ? 64 : value.size(), 0);
    if (!value.empty())
        std::memcpy(p.blob.data(), value.data(), value.size());
    p.indicator = (SQLLEN)value.size();
}

bool RawStatement::BindAll()
{
    for (size_t k = 0; k < params_.size(); ++k) {
        Param& p = params_[k];
        SQLUSMALLINT number = (SQLUSMALLINT)(k + 1);
        int kind = p.kind;
        SQLULEN size = 0;
        if (kind == 3)
            size = p.text.size();
        else if (kind == 4)
            size = p.blob.size();
        if (kind == 0) {
            p.indicator = SQL_NULL_DATA;
            if (p.boundKind >= 0)
                continue;  // any binding carries a NULL through its indicator
            kind = 1;
        } else if (kind == 1 || kind == 2) {
            p.indicator = 0;
        }
        if (p.boundKind == kind && p.boundSize == size)
            continue;
        SQLRETURN rc;
        switch (kind) {
        case 1:
            rc = SQLBindParameter(stmt_, number, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0,
                                  &p.i, 0, &p.indicator);
            break;
        case 2:
            rc = SQLBindParameter(stmt_, number, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0,
                                  &p.d, 0, &p.indicator);
            break;
        case 3:
            rc = SQLBindParameter(stmt_, number, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, size, 0,
                                  &p.text[0], (SQLLEN)(size * sizeof(wchar_t)), &p.indicator);
            break;
        default:
            rc = SQLBindParameter(stmt_, number, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_LONGVARBINARY,
                                  size, 0, p.blob.data(), (SQLLEN)size, &p.indicator);
            break;
        }
        if (!SQL_SUCCEEDED(rc)) {
            db_->SetError(SQL_HANDLE_STMT, stmt_, L"cannot bind a parameter");
            return false;
        }
        p.boundKind = kind;
        p.boundSize = size;
    }
    return true;
}

bool RawStatement::Execute()
{
    if (stmt_ == SQL_NULL_HSTMT || !db_)
        return false;
    if (!BindAll())
        return false;
    SQLRETURN rc = SQLExecute(stmt_);
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
        db_->SetError(SQL_HANDLE_STMT, stmt_, L"statement failed");
        SQLFreeStmt(stmt_, SQL_CLOSE);
        return false;
    }
    SQLFreeStmt(stmt_, SQL_CLOSE);
    return true;
}

}  // namespace zor
