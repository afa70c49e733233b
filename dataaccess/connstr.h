// The connection strings the program writes for Jet ("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=
// <path>;") parsed and mapped onto the ODBC driver that reads the file: the SQLite3 driver for the
// program's own database files, MDBTools (read-only) for genuine Access files. Under Wine the host
// drivers need host paths.
#pragma once

#include <string>
#include <vector>

namespace zdata {

// One "key=value" pair of an OLE DB connection string, key as written (trimmed), value unquoted.
struct ConnStrPair
{
    std::wstring key;
    std::wstring value;
};

// Splits an OLE DB connection string: pairs separated by ';', values optionally quoted with " or '
// (a doubled quote inside stands for one), blanks around keys and values ignored, empty parts skipped.
// Returns false for a malformed string (an unterminated quote, a part without '=').
bool SplitConnectionString(const std::wstring& text, std::vector<ConnStrPair>* pairs, std::wstring* error = nullptr);

// The value of a key, ignoring case ("Data Source", "data source"); empty when absent.
std::wstring ConnStrValue(const std::vector<ConnStrPair>& pairs, const wchar_t* key, bool* found = nullptr);

// What the Jet connection string asks for.
struct JetConnectionInfo
{
    std::wstring provider;            // "Microsoft.Jet.OLEDB.4.0" (any Jet/ACE provider is accepted)
    std::wstring dataSource;          // the path as written
    std::wstring extendedProperties;  // "Excel 8.0" selects the workbook reader, not ODBC
    std::wstring userId;
    std::wstring password;
    long mode = 0;                    // ConnectModeEnum from "Mode=" (names or number), 0 when absent
};

// Parses a Jet connection string. Fails for a malformed string, a provider that is not Jet/ACE (when
// one is given), a missing Data Source, or an unknown Mode.
bool ParseJetConnectionString(const std::wstring& text, JetConnectionInfo* info, std::wstring* error = nullptr);

// Parses the value of "Mode=": "Read", "Write", "ReadWrite", "Share Deny None", "Share Deny Read",
// "Share Deny Write", "Share Exclusive", combined with '|', or a number. Returns -1 when unknown.
long ParseConnectMode(const std::wstring& text);

// The file's kind, from its first bytes.
enum class DbFileKind
{
    Missing,   // cannot be opened (missing, or no access)
    SQLite,    // "SQLite format 3"
    Jet,       // "Standard Jet DB" / "Standard ACE DB"
    Other,     // anything else (also an empty file): not a database this program can read
    Unreadable // exists but cannot be read now (another program holds it): let the driver report it
};
DbFileKind DetectDbFileKind(const std::wstring& windowsPath);

// True when the file exists and cannot be written: its read-only attribute, or no right to write it.
bool FileIsReadOnly(const std::wstring& windowsPath);

// Checks a Jet file before a driver reads it: Access 2000 or later (a Jet 3 file's text is in a
// code page the driver cannot tell), not encrypted, whole pages, and pages that each start as a
// page of the format does. False with a message for the user otherwise.
bool CheckJetFile(const std::wstring& windowsPath, std::wstring* problem);

// The host path for a Windows path: under Wine, kernel32's wine_get_unix_file_name (found with
// GetProcAddress) after making the path absolute; on Windows the path unchanged. Returns false when
// Wine cannot map the path.
bool HostPathOf(const std::wstring& windowsPath, std::wstring* hostPath);

// The host path as it must stand in a driver connection string. Under Wine the bridge to the
// host's ODBC manager narrows each character of the connection string to one byte, so a path with
// Czech letters goes as its UTF-8 bytes, one byte per character; on Windows it is unchanged.
std::wstring DriverPathText(const std::wstring& hostPath);

// True when running under Wine (kernel32 exports wine_get_unix_file_name).
bool RunningUnderWine();

enum class OdbcDriverKind
{
    SQLite,     // DRIVER={SQLite3}
    MdbTools,   // DRIVER={MDBTools}, read-only
    Workbook    // Extended Properties=Excel 8.0: the project's own workbook reader, no ODBC
};

// What the layer needs to connect.
struct OdbcConnectTarget
{
    OdbcDriverKind driver = OdbcDriverKind::SQLite;
    std::wstring odbcString;   // for SQLDriverConnectW; empty for Workbook
    std::wstring windowsPath;  // Data Source as written
    std::wstring hostPath;     // the path handed to the driver
    bool readOnly = false;
    bool exclusive = false;
    int lockTimeoutMs = 0;  // SQLite: how long a statement waits for the file's lock (Timeout=)
    // Statements to run right after connecting, in order (read-only and exclusive modes).
    std::vector<std::wstring> initStatements;
    // A query that fails when the file is not a database (the driver "connects" to any file).
    std::wstring checkQuery;
    // SQLite: the Czech collation extension looked for beside the programs (Windows path), and
    // whether the driver was asked to load it (LoadExt=, only when the file is there).
    std::wstring collationExtension;
    bool loadsCollationExtension = false;
    DbFileKind fileKind = DbFileKind::Missing;
    // SQLite: the file cannot be written (FileIsReadOnly); it is then read only (query_only).
    bool fileReadOnly = false;
};

// Default busy timeout: a locked file fails within a few seconds instead of hanging.
const int kDefaultLockTimeoutMs = 3000;

// Builds the ODBC target for a parsed Jet string. `mode` is the Connection's Mode property
// (ConnectModeEnum; 0 = unknown) and wins over a Mode given in the string. SQLite:
//   DRIVER={SQLite3};Database=<host path>;NoCreat=1;FKSupport=1;Timeout=<ms>;LongNames=0;BigInt=0
// followed by LoadExt=<the Czech collation extension> when its file is beside the programs
// (dataaccess/collationext.h).
// adModeRead, and a file that cannot be written, add "PRAGMA query_only=1"; adModeShareExclusive
// takes the file's lock at once.
// A genuine Access file goes to MDBTools, read-only: DRIVER={MDBTools};DBQ=<host path>.
// A missing file still gives a target (NoCreat=1 makes the connect fail, never an empty new file);
// a file that is no database (DbFileKind::Other) is refused here with a clear error.
bool BuildOdbcTarget(const JetConnectionInfo& info, long mode, int lockTimeoutMs, OdbcConnectTarget* target,
                     std::wstring* error = nullptr);

// Both steps for a connection string as the program writes it.
bool MapJetConnectionString(const std::wstring& jetString, long mode, OdbcConnectTarget* target,
                            std::wstring* error = nullptr);

// The Database value of the SQLite driver for a driver path: the path itself, or, when it holds
// ';', braces or outer blanks (which the driver cannot take), a "file:" URI with those
// characters and '%', '?', '#' and blanks percent-encoded.
std::wstring SqliteDatabaseValue(const std::wstring& driverPath);

// Writes one ODBC attribute value, braced when it holds ';', braces or outer blanks.
std::wstring OdbcAttributeValue(const std::wstring& value);

}  // namespace zdata
