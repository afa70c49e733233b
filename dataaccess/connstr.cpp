#include "dataaccess/connstr.h"
#include "dataaccess/enclose.h"

#include <windows.h>

#include <cwchar>
#include <cwctype>

#include "dataaccess/adodefs.h"
#include "dataaccess/collationext.h"
#include "dataaccess/trim.h"

namespace zdata {

namespace {

std::wstring Upper(const std::wstring& s)
{
    std::wstring r(s);
    for (wchar_t& c : r)
        c = wchar_t(towupper(c));
    return r;
}

// Collapses runs of blanks so that "Data  Source" and "Share  Deny None" are recognised.
std::wstring Normalised(const std::wstring& s)
{
    std::wstring r;
    bool space = false;
    for (wchar_t c : Trim(s)) {
        if (iswspace(c)) {
            space = true;
            continue;
        }
        if (space && !r.empty())
            r += L' ';
        space = false;
        r += wchar_t(towupper(c));
    }
    return r;
}

typedef char* (CDECL* WineGetUnixFileNameFn)(LPCWSTR);

WineGetUnixFileNameFn WineGetUnixFileName()
{
    HMODULE k32 = GetModuleHandleW(L"kernel32.dll");
    if (!k32)
        return nullptr;
    return reinterpret_cast<WineGetUnixFileNameFn>(
        reinterpret_cast<void*>(GetProcAddress(k32, "wine_get_unix_file_name")));
}

bool Fail(std::wstring* error, const std::wstring& text)
{
    if (error)
        *error = text;
    return false;
}

}  // namespace

bool SplitConnectionString(const std::wstring& text, std::vector<ConnStrPair>* pairs, std::wstring* error)
{
    pairs->clear();
    size_t i = 0, n = text.size();
    while (i < n) {
        // Key: up to '=' ("==" stands for a '=' inside the key).
        std::wstring key;
        while (i < n && text[i] != L';') {
            if (text[i] == L'=') {
                if (i + 1 < n && text[i + 1] == L'=') {
                    key += L'=';
                    i += 2;
                    continue;
                }
                break;
            }
            key += text[i++];
        }
        key = Trim(key);
        if (i >= n || text[i] == L';') {
            if (!key.empty())
                return Fail(error, L"V připojovacím řetězci je část bez „=“: " + key);
            ++i;  // an empty part
            continue;
        }
        ++i;  // '='
        while (i < n && iswspace(text[i]) && text[i] != L';')
            ++i;
        std::wstring value;
        if (i < n && (text[i] == L'"' || text[i] == L'\'')) {
            wchar_t q = text[i++];
            bool closed = false;
            while (i < n) {
                if (text[i] == q) {
                    if (i + 1 < n && text[i + 1] == q) {
                        value += q;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += text[i++];
            }
            if (!closed)
                return Fail(error, L"V připojovacím řetězci chybí uzavírací uvozovka hodnoty: " + key);
            while (i < n && iswspace(text[i]))
                ++i;
            if (i < n && text[i] != L';')
                return Fail(error, L"V připojovacím řetězci následuje za hodnotou v uvozovkách další text: " + key);
        } else {
            while (i < n && text[i] != L';')
                value += text[i++];
            value = Trim(value);
        }
        if (i < n)
            ++i;  // ';'
        if (key.empty())
            return Fail(error, L"V připojovacím řetězci je hodnota bez názvu.");
        pairs->push_back({ key, value });
    }
    return true;
}

std::wstring ConnStrValue(const std::vector<ConnStrPair>& pairs, const wchar_t* key, bool* found)
{
    std::wstring want = Normalised(key);
    // The last occurrence wins, as in OLE DB.
    for (size_t i = pairs.size(); i-- > 0;) {
        if (Normalised(pairs[i].key) == want) {
            if (found)
                *found = true;
            return pairs[i].value;
        }
    }
    if (found)
        *found = false;
    return std::wstring();
}

long ParseConnectMode(const std::wstring& text)
{
    std::wstring t = Trim(text);
    if (t.empty())
        return -1;
    if (iswdigit(t[0])) {
        wchar_t* end = nullptr;
        long v = wcstol(t.c_str(), &end, 10);
        if (end && *end == 0 && v >= 0 && v <= 0x3FFFFF)
            return v;
        return -1;
    }
    long mode = 0;
    size_t start = 0;
    while (start <= t.size()) {
        size_t bar = t.find(L'|', start);
        std::wstring part = Normalised(t.substr(start, bar == std::wstring::npos ? std::wstring::npos : bar - start));
        if (part == L"READ")
            mode |= adModeRead;
        else if (part == L"WRITE")
            mode |= adModeWrite;
        else if (part == L"READWRITE" || part == L"READ WRITE")
            mode |= adModeReadWrite;
        else if (part == L"SHARE DENY NONE")
            mode |= adModeShareDenyNone;
        else if (part == L"SHARE DENY READ")
            mode |= adModeShareDenyRead;
        else if (part == L"SHARE DENY WRITE")
            mode |= adModeShareDenyWrite;
        else if (part == L"SHARE EXCLUSIVE")
            mode |= adModeShareExclusive;
        else
            return -1;
        if (bar == std::wstring::npos)
            break;
        start = bar + 1;
    }
    return mode;
}

bool ParseJetConnectionString(const std::wstring& text, JetConnectionInfo* info, std::wstring* error)
{
    *info = JetConnectionInfo();
    std::vector<ConnStrPair> pairs;
    if (!SplitConnectionString(text, &pairs, error))
        return false;
    info->provider = ConnStrValue(pairs, L"Provider");
    if (!info->provider.empty()) {
        std::wstring p = Upper(info->provider);
        if (p.compare(0, 19, L"MICROSOFT.JET.OLEDB") != 0 && p.compare(0, 19, L"MICROSOFT.ACE.OLEDB") != 0)
            return Fail(error, L"Tento poskytovatel dat není podporován: " + info->provider);
    }
    info->dataSource = ConnStrValue(pairs, L"Data Source");
    if (info->dataSource.empty())
        return Fail(error, L"Připojovací řetězec neuvádí databázový soubor (Data Source).");
    info->extendedProperties = ConnStrValue(pairs, L"Extended Properties");
    info->userId = ConnStrValue(pairs, L"User ID");
    info->password = ConnStrValue(pairs, L"Password");
    bool hasMode = false;
    std::wstring mode = ConnStrValue(pairs, L"Mode", &hasMode);
    if (hasMode) {
        long m = ParseConnectMode(mode);
        if (m < 0)
            return Fail(error, L"Režim připojení je neplatný: " + mode);
        info->mode = m;
    }
    return true;
}

bool RunningUnderWine() { return WineGetUnixFileName() != nullptr; }

bool HostPathOf(const std::wstring& windowsPath, std::wstring* hostPath)
{
    WineGetUnixFileNameFn toUnix = WineGetUnixFileName();
    if (!toUnix) {
        *hostPath = windowsPath;  // Windows: the drivers take the path as it is
        return true;
    }
    DWORD need = GetFullPathNameW(windowsPath.c_str(), 0, nullptr, nullptr);
    if (need == 0)
        return false;
    std::wstring full(need, L'\0');
    DWORD got = GetFullPathNameW(windowsPath.c_str(), need, &full[0], nullptr);
    if (got == 0 || got >= need)
        return false;
    full.resize(got);
    char* unixName = toUnix(full.c_str());
    if (!unixName)
        return false;
    // Host file names are UTF-8.
    int len = MultiByteToWideChar(CP_UTF8, 0, unixName, -1, nullptr, 0);
    bool ok = len > 0;
    if (ok) {
        std::wstring w(size_t(len), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, unixName, -1, &w[0], len);
        w.resize(size_t(len - 1));
        *hostPath = w;
    }
    HeapFree(GetProcessHeap(), 0, unixName);
    return ok;
}

std::wstring DriverPathText(const std::wstring& hostPath)
{
    if (!RunningUnderWine())
        return hostPath;
    int len = WideCharToMultiByte(CP_UTF8, 0, hostPath.c_str(), (int)hostPath.size(), nullptr, 0, nullptr,
                                  nullptr);
    std::string utf8(size_t(len > 0 ? len : 0), '\0');
    if (len > 0)
        WideCharToMultiByte(CP_UTF8, 0, hostPath.c_str(), (int)hostPath.size(), &utf8[0], len, nullptr, nullptr);
    std::wstring out;
    out.reserve(utf8.size());
    for (unsigned char byte : utf8)
        out += (wchar_t)byte;
    return out;
}

DbFileKind DetectDbFileKind(const std::wstring& windowsPath)
{
    HANDLE h = CreateFileW(windowsPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND || e == ERROR_INVALID_NAME ||
            e == ERROR_BAD_NETPATH || e == ERROR_INVALID_DRIVE)
            return DbFileKind::Missing;
        return DbFileKind::Unreadable;
    }
    char head[32] = {};
    DWORD got = 0;
    BOOL ok = ReadFile(h, head, sizeof(head), &got, nullptr);
    CloseHandle(h);
    if (!ok)
        return DbFileKind::Unreadable;
    if (got >= 16 && memcmp(head, "SQLite format 3", 16) == 0)
        return DbFileKind::SQLite;
    if (got >= 19 && (memcmp(head + 4, "Standard Jet DB", 15) == 0 || memcmp(head + 4, "Standard ACE DB", 15) == 0))
        return DbFileKind::Jet;
    return DbFileKind::Other;
}

bool FileIsReadOnly(const std::wstring& windowsPath)
{
    DWORD attributes = GetFileAttributesW(windowsPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return true;
    HANDLE h = CreateFileW(windowsPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_ACCESS_DENIED;
    CloseHandle(h);
    return false;
}

bool CheckJetFile(const std::wstring& windowsPath, std::wstring* problem)
{
    HANDLE h = CreateFileW(windowsPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        *problem = L"Soubor aplikace Access nelze otevřít: " + windowsPath;
        return false;
    }
    LARGE_INTEGER size = {};
    GetFileSizeEx(h, &size);
    std::vector<unsigned char> buffer(1 << 20);
    DWORD got = 0;
    bool ok = ReadFile(h, buffer.data(), (DWORD)buffer.size(), &got, nullptr) && got >= 0x20;
    unsigned version = ok ? buffer[0x14] : 0;
    const long long page = version == 0 ? 2048 : 4096;
    if (ok && version == 0) {
        CloseHandle(h);
        *problem = L"Databázi aplikace Access 97 (Jet 3) nelze přečíst; uložte ji v Accessu ve formátu Access 2000 "
                   L"nebo novějším: " + windowsPath;
        return false;
    }
    if (!ok || size.QuadPart < 2 * page || size.QuadPart % page != 0) {
        CloseHandle(h);
        *problem = L"Soubor aplikace Access je zkrácený nebo poškozený: " + windowsPath;
        return false;
    }
    // An Access 2000 header keeps the key its pages are encrypted with at 0x3E, masked by a fixed
    // stream: these four bytes are what an unencrypted file's zero key reads as.
    static const unsigned char kNoPageKey[4] = {0xFB, 0x8A, 0xBC, 0x4E};
    if (version == 1 && memcmp(&buffer[0x3E], kNoPageKey, 4) != 0) {
        CloseHandle(h);
        *problem = L"Soubor aplikace Access je zašifrovaný a nelze ho přečíst; nejprve ho v aplikaci Access dešifrujte: " + windowsPath;
        return false;
    }
    // Each page starts with its type (header, data, table definition, index, usage map; a free
    // page is zeroed); a data or definition page carries a fixed mark after it. Pages that say
    // otherwise would lead the reader astray.
    long long offset = 0;
    bool damaged = false;
    for (;;) {
        for (DWORD at = 0; at + 1 < got && !damaged; at += (DWORD)page) {
            unsigned char type = buffer[at], mark = buffer[at + 1];
            if (offset + at == 0)
                continue;
            if (type > 0x0F || ((type == 0x01 || type == 0x02) && mark != 0x01))
                damaged = true;
        }
        offset += got;
        if (damaged || offset >= size.QuadPart)
            break;
        if (!ReadFile(h, buffer.data(), (DWORD)buffer.size(), &got, nullptr) || got == 0) {
            damaged = true;
            break;
        }
    }
    CloseHandle(h);
    if (damaged) {
        *problem = L"Soubor aplikace Access je poškozený: " + windowsPath;
        return false;
    }
    return true;
}

std::wstring OdbcAttributeValue(const std::wstring& value)
{
    bool brace = !value.empty() && (iswspace(value.front()) || iswspace(value.back()));
    for (wchar_t c : value)
        if (c == L';' || c == L'{' || c == L'}' || c == L'=')
            brace = true;
    if (!brace)
        return value;
    return Enclose(value, L'{', L'}');
}

std::wstring SqliteDatabaseValue(const std::wstring& driverPath)
{
    bool plain = !driverPath.empty() && !iswspace(driverPath.front()) && !iswspace(driverPath.back());
    for (wchar_t c : driverPath)
        if (c == L';' || c == L'{' || c == L'}')
            plain = false;
    if (plain)
        return driverPath;
    // The SQLite driver reads its Database value up to the next ';' and knows no braces; a file
    // URI carries such characters percent-encoded (and those that mean something in a URI).
    std::wstring uri = L"file:";
    for (wchar_t c : driverPath) {
        if (c == L';' || c == L'{' || c == L'}' || c == L'%' || c == L'?' || c == L'#' || c == L' ') {
            wchar_t hex[4];
            _snwprintf(hex, 4, L"%%%02X", (unsigned)c);
            uri.append(hex, 3);
        } else {
            uri += c;
        }
    }
    return uri;
}

bool BuildOdbcTarget(const JetConnectionInfo& info, long mode, int lockTimeoutMs, OdbcConnectTarget* target,
                     std::wstring* error)
{
    *target = OdbcConnectTarget();
    target->windowsPath = info.dataSource;
    if (mode <= 0)
        mode = info.mode;
    target->readOnly = (mode & adModeReadWrite) == adModeRead;
    target->exclusive = (mode & adModeShareExclusive) == adModeShareExclusive;

    if (Upper(info.extendedProperties).find(L"EXCEL") != std::wstring::npos) {
        target->driver = OdbcDriverKind::Workbook;
        target->readOnly = true;
        target->fileKind = DetectDbFileKind(info.dataSource);
        return true;
    }

    target->fileKind = DetectDbFileKind(info.dataSource);
    if (target->fileKind == DbFileKind::Other)
        return Fail(error, L"Soubor není databáze, kterou tento program umí přečíst: " + info.dataSource);

    if (!HostPathOf(info.dataSource, &target->hostPath))
        return Fail(error, L"Cestu k souboru nelze předat databázovému ovladači: " + info.dataSource);

    if (target->fileKind == DbFileKind::Jet) {
        // Genuine Access files are read through MDBTools, which cannot write them.
        target->driver = OdbcDriverKind::MdbTools;
        target->readOnly = true;
        target->exclusive = false;
        target->odbcString = L"DRIVER={MDBTools};DBQ=" + OdbcAttributeValue(DriverPathText(target->hostPath)) + L";";
        return true;
    }

    target->driver = OdbcDriverKind::SQLite;
    if (lockTimeoutMs <= 0)
        lockTimeoutMs = kDefaultLockTimeoutMs;
    target->lockTimeoutMs = lockTimeoutMs;
    wchar_t timeout[16];
    _snwprintf(timeout, 16, L"%d", lockTimeoutMs);
    timeout[15] = 0;
    // NoCreat: a missing file must fail, never become an empty database. FKSupport: the delete rules and
    // lookup renames rely on foreign keys. Timeout: a locked file fails within a few seconds.
    target->odbcString = L"DRIVER={SQLite3};Database=" + SqliteDatabaseValue(DriverPathText(target->hostPath)) +
                         L";NoCreat=1;FKSupport=1;Timeout=" + timeout + L";LongNames=0;BigInt=0;";
    // The Czech collations, from the extension built beside the programs.
    target->collationExtension = CollationExtensionPath();
    std::wstring extension = CollationLoadExtValue();
    if (!extension.empty()) {
        target->odbcString += L"LoadExt=" + OdbcAttributeValue(extension) + L";";
        target->loadsCollationExtension = true;
    }
    if (target->exclusive) {
        // Take the lock at once, so a second connection to the file fails.
        target->initStatements.push_back(L"PRAGMA locking_mode=EXCLUSIVE");
        target->initStatements.push_back(L"BEGIN EXCLUSIVE");
        target->initStatements.push_back(L"COMMIT");
    }
    // A read-only file: the engine would find out only at the first write, after the program
    // had let the user edit; read only, the connection says so at open.
    target->fileReadOnly = target->fileKind == DbFileKind::SQLite && FileIsReadOnly(info.dataSource);
    if (target->readOnly || target->fileReadOnly)
        target->initStatements.push_back(L"PRAGMA query_only=1");
    // The driver "connects" to any file; the first query tells whether it is a database.
    target->checkQuery = L"SELECT count(*) FROM sqlite_master";
    return true;
}

bool MapJetConnectionString(const std::wstring& jetString, long mode, OdbcConnectTarget* target, std::wstring* error)
{
    JetConnectionInfo info;
    if (!ParseJetConnectionString(jetString, &info, error))
        return false;
    return BuildOdbcTarget(info, mode, kDefaultLockTimeoutMs, target, error);
}

}  // namespace zdata
