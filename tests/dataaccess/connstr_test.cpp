// Jet connection strings parsed and mapped onto the ODBC drivers, with host paths under Wine.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "dataaccess/adodefs.h"
#include "dataaccess/collationext.h"
#include "dataaccess/connstr.h"

using namespace zdata;

namespace {

// A file in a fresh temporary folder, removed with the folder afterwards.
class TempFiles
{
public:
    TempFiles()
    {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        wchar_t name[64];
        _snwprintf(name, 64, L"zdata_connstr_%lu_%lu", GetCurrentProcessId(), GetTickCount());
        name[63] = 0;
        dir_ = std::wstring(base) + name;
        CreateDirectoryW(dir_.c_str(), nullptr);
    }
    ~TempFiles()
    {
        for (const auto& f : files_)
            DeleteFileW(f.c_str());
        RemoveDirectoryW(dir_.c_str());
    }

    std::wstring Write(const wchar_t* name, const void* data, DWORD size)
    {
        std::wstring path = dir_ + L"\\" + name;
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, h);
        DWORD written = 0;
        if (size)
            WriteFile(h, data, size, &written, nullptr);
        CloseHandle(h);
        files_.push_back(path);
        return path;
    }

    std::wstring SqliteFile(const wchar_t* name)
    {
        char head[100] = "SQLite format 3";  // the terminating zero is part of the header
        return Write(name, head, sizeof(head));
    }

    std::wstring JetFile(const wchar_t* name)
    {
        char head[64] = {};
        memcpy(head + 4, "Standard Jet DB", 15);
        return Write(name, head, sizeof(head));
    }

    std::wstring Path(const wchar_t* name) const { return dir_ + L"\\" + name; }

private:
    std::wstring dir_;
    std::vector<std::wstring> files_;
};

bool EndsWith(const std::wstring& s, const std::wstring& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

// ---- Splitting -----------------------------------------------------------------------------------

TEST(ConnStrSplit, PairsQuotesAndBlanks)
{
    std::vector<ConnStrPair> p;
    ASSERT_TRUE(SplitConnectionString(
        L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\Data\\ZorBase.mdb;", &p));
    ASSERT_EQ(2u, p.size());
    EXPECT_EQ(L"Provider", p[0].key);
    EXPECT_EQ(L"Microsoft.Jet.OLEDB.4.0", p[0].value);
    EXPECT_EQ(L"Data Source", p[1].key);
    EXPECT_EQ(L"C:\\Data\\ZorBase.mdb", p[1].value);

    ASSERT_TRUE(SplitConnectionString(
        L"  Data Source = \"C:\\a;b\\O\"\"Brien.mdb\" ; Extended Properties='Excel 8.0;HDR=Yes';;Mode=Read", &p));
    ASSERT_EQ(3u, p.size());
    EXPECT_EQ(L"Data Source", p[0].key);
    EXPECT_EQ(L"C:\\a;b\\O\"Brien.mdb", p[0].value);
    EXPECT_EQ(L"Excel 8.0;HDR=Yes", p[1].value);
    EXPECT_EQ(L"Mode", p[2].key);
    EXPECT_EQ(L"Read", p[2].value);

    ASSERT_TRUE(SplitConnectionString(L"", &p));
    EXPECT_TRUE(p.empty());
}

TEST(ConnStrSplit, MalformedStringsAreRefused)
{
    std::vector<ConnStrPair> p;
    std::wstring error;
    EXPECT_FALSE(SplitConnectionString(L"Data Source=\"C:\\x.mdb", &p, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(SplitConnectionString(L"Provider=Microsoft.Jet.OLEDB.4.0;garbage;", &p));
    EXPECT_FALSE(SplitConnectionString(L"=value", &p));
    EXPECT_FALSE(SplitConnectionString(L"Data Source='a' b", &p));
}

TEST(ConnStrSplit, ValueLookupIgnoresCaseAndBlanks)
{
    std::vector<ConnStrPair> p;
    ASSERT_TRUE(SplitConnectionString(L"data  source=x.db;DATA SOURCE=y.db", &p));
    bool found = false;
    EXPECT_EQ(L"y.db", ConnStrValue(p, L"Data Source", &found)) << "the last one wins";
    EXPECT_TRUE(found);
    EXPECT_EQ(L"", ConnStrValue(p, L"Provider", &found));
    EXPECT_FALSE(found);
}

// ---- Jet strings and modes ----------------------------------------------------------------------

TEST(ConnStrJet, TheProgramsOwnString)
{
    JetConnectionInfo info;
    ASSERT_TRUE(ParseJetConnectionString(
        L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\ProgramData\\Kelvane\\Zorna2011\\Data\\ZorBase.mdb;", &info));
    EXPECT_EQ(L"Microsoft.Jet.OLEDB.4.0", info.provider);
    EXPECT_EQ(L"C:\\ProgramData\\Kelvane\\Zorna2011\\Data\\ZorBase.mdb", info.dataSource);
    EXPECT_EQ(0, info.mode);
    EXPECT_TRUE(info.extendedProperties.empty());
}

TEST(ConnStrJet, VariantsAndRefusals)
{
    JetConnectionInfo info;
    std::wstring error;
    ASSERT_TRUE(ParseJetConnectionString(L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=a.xls;"
                                         L"Extended Properties=\"Excel 8.0\";User ID=Admin;Password=;Mode=Share Exclusive",
                                         &info, &error)) << error;
    EXPECT_EQ(L"Excel 8.0", info.extendedProperties);
    EXPECT_EQ(L"Admin", info.userId);
    EXPECT_EQ(adModeShareExclusive, info.mode);
    ASSERT_TRUE(ParseJetConnectionString(L"Data Source=x.db", &info)) << "no provider: accepted";
    EXPECT_FALSE(ParseJetConnectionString(L"Provider=SQLOLEDB;Data Source=srv", &info, &error));
    EXPECT_NE(std::wstring::npos, error.find(L"SQLOLEDB"));
    EXPECT_FALSE(ParseJetConnectionString(L"Provider=Microsoft.Jet.OLEDB.4.0;", &info, &error));
    EXPECT_FALSE(ParseJetConnectionString(L"Data Source=x.db;Mode=Sometimes", &info, &error));
}

TEST(ConnStrJet, ModeNamesAndNumbers)
{
    EXPECT_EQ(adModeRead, ParseConnectMode(L"Read"));
    EXPECT_EQ(adModeReadWrite, ParseConnectMode(L"ReadWrite"));
    EXPECT_EQ(adModeReadWrite, ParseConnectMode(L"Read|Write"));
    EXPECT_EQ(adModeRead | adModeShareDenyNone, ParseConnectMode(L"Read | Share Deny None"));
    EXPECT_EQ(adModeShareDenyWrite, ParseConnectMode(L"share  deny write"));
    EXPECT_EQ(adModeShareExclusive, ParseConnectMode(L"Share Exclusive"));
    EXPECT_EQ(12, ParseConnectMode(L"12"));
    EXPECT_EQ(-1, ParseConnectMode(L""));
    EXPECT_EQ(-1, ParseConnectMode(L"Read|Nope"));
    EXPECT_EQ(-1, ParseConnectMode(L"12x"));
}

// ---- Files and paths --------------------------------------------------------------------------------

TEST(ConnStrFiles, KindFromTheFilesHeader)
{
    TempFiles t;
    EXPECT_EQ(DbFileKind::SQLite, DetectDbFileKind(t.SqliteFile(L"a.db")));
    EXPECT_EQ(DbFileKind::Jet, DetectDbFileKind(t.JetFile(L"b.mdb")));
    EXPECT_EQ(DbFileKind::Other, DetectDbFileKind(t.Write(L"c.txt", "hello, world, not a database", 28)));
    EXPECT_EQ(DbFileKind::Other, DetectDbFileKind(t.Write(L"empty.db", "", 0)));
    EXPECT_EQ(DbFileKind::Missing, DetectDbFileKind(t.Path(L"missing.db")));
    EXPECT_EQ(DbFileKind::Missing, DetectDbFileKind(t.Path(L"no\\such\\folder\\x.db")));
}

TEST(ConnStrFiles, HostPathsUnderWine)
{
    std::wstring host;
    if (!RunningUnderWine()) {
        ASSERT_TRUE(HostPathOf(L"C:\\Data\\x.db", &host));
        EXPECT_EQ(L"C:\\Data\\x.db", host) << "Windows: the path as it is";
        return;
    }
    ASSERT_TRUE(HostPathOf(L"Z:\\zdata-nonexistent.db", &host));
    EXPECT_EQ(L"/zdata-nonexistent.db", host);

    TempFiles t;
    std::wstring czech = t.SqliteFile(L"Žába čáp.db");
    ASSERT_TRUE(HostPathOf(czech, &host));
    EXPECT_EQ(L'/', host[0]);
    EXPECT_TRUE(EndsWith(host, L"/Žába čáp.db")) << host;
    EXPECT_EQ(std::wstring::npos, host.find(L'\\'));
    // The host path names the same file: it opens through Z:.
    std::wstring back = L"Z:" + host;
    for (auto& c : back)
        if (c == L'/')
            c = L'\\';
    EXPECT_EQ(DbFileKind::SQLite, DetectDbFileKind(back));
}

TEST(ConnStrFiles, RelativePathsAreMadeAbsolute)
{
    if (!RunningUnderWine())
        GTEST_SKIP() << "host paths exist only under Wine";
    std::wstring host;
    ASSERT_TRUE(HostPathOf(L"ZorBase.mdb", &host));
    EXPECT_EQ(L'/', host[0]);
    EXPECT_TRUE(EndsWith(host, L"/ZorBase.mdb")) << host;
}

TEST(ConnStrFiles, AttributeValuesWithSeparatorsAreBraced)
{
    EXPECT_EQ(L"/data/x.db", OdbcAttributeValue(L"/data/x.db"));
    EXPECT_EQ(L"{/data/a;b.db}", OdbcAttributeValue(L"/data/a;b.db"));
    EXPECT_EQ(L"{/data/a}}b.db}", OdbcAttributeValue(L"/data/a}b.db"));
    EXPECT_EQ(L"{ x}", OdbcAttributeValue(L" x"));
}

TEST(ConnStrFiles, SqlitePathsTheDriverCannotTakeGoAsFileUris)
{
    EXPECT_EQ(L"/data/x y.db", SqliteDatabaseValue(L"/data/x y.db"));
    EXPECT_EQ(L"/data/O'Brien.db", SqliteDatabaseValue(L"/data/O'Brien.db"));
    EXPECT_EQ(L"file:/data/a%3Bb%20c.db", SqliteDatabaseValue(L"/data/a;b c.db"));
    EXPECT_EQ(L"file:/data/%7Bx%7D/100%25%3F%23.db", SqliteDatabaseValue(L"/data/{x}/100%?#.db"));
}

// ---- ODBC targets -------------------------------------------------------------------------------

TEST(ConnStrTarget, SqliteFileGetsTheSafeDriverOptions)
{
    TempFiles t;
    std::wstring path = t.SqliteFile(L"ZorBase.mdb");
    OdbcConnectTarget target;
    std::wstring error;
    ASSERT_TRUE(MapJetConnectionString(L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + L";", 0, &target, &error))
        << error;
    std::wstring host;
    ASSERT_TRUE(HostPathOf(path, &host));
    EXPECT_EQ(int(OdbcDriverKind::SQLite), int(target.driver));
    EXPECT_EQ(int(DbFileKind::SQLite), int(target.fileKind));
    // The Czech collation extension is built beside the test program, and the driver loads it.
    std::wstring extension;
    ASSERT_TRUE(HostPathOf(CollationExtensionPath(), &extension));
    EXPECT_EQ(L"DRIVER={SQLite3};Database=" + host + L";NoCreat=1;FKSupport=1;Timeout=3000;LongNames=0;BigInt=0;"
              L"LoadExt=" + extension + L";",
              target.odbcString);
    EXPECT_TRUE(target.loadsCollationExtension);
    EXPECT_EQ(path, target.windowsPath);
    EXPECT_EQ(host, target.hostPath);
    EXPECT_FALSE(target.readOnly);
    EXPECT_FALSE(target.exclusive);
    EXPECT_TRUE(target.initStatements.empty());
    EXPECT_EQ(L"SELECT count(*) FROM sqlite_master", target.checkQuery);
}

TEST(ConnStrTarget, NoLoadExtWithoutTheExtensionFile)
{
    TempFiles t;
    std::wstring path = t.SqliteFile(L"ZorBase.mdb");
    std::wstring folder = t.Path(L"");
    SetCollationExtensionFolder(folder.c_str());
    OdbcConnectTarget target;
    bool mapped = MapJetConnectionString(L"Data Source=" + path, 0, &target);
    SetCollationExtensionFolder(nullptr);
    ASSERT_TRUE(mapped);
    EXPECT_EQ(std::wstring::npos, target.odbcString.find(L"LoadExt"));
    EXPECT_FALSE(target.loadsCollationExtension);
    EXPECT_NE(std::wstring::npos, target.collationExtension.find(CollationExtensionFileName()));
}

TEST(ConnStrTarget, MissingFileIsNeverCreated)
{
    TempFiles t;
    OdbcConnectTarget target;
    std::wstring path = t.Path(L"missing.mdb");
    ASSERT_TRUE(MapJetConnectionString(L"Data Source=" + path, 0, &target));
    EXPECT_EQ(int(DbFileKind::Missing), int(target.fileKind));
    EXPECT_NE(std::wstring::npos, target.odbcString.find(L";NoCreat=1;"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str()));
}

TEST(ConnStrTarget, FileThatIsNoDatabaseIsRefused)
{
    TempFiles t;
    OdbcConnectTarget target;
    std::wstring error;
    std::wstring path = t.Write(L"notes.mdb", "just some text here", 19);
    EXPECT_FALSE(MapJetConnectionString(L"Data Source=" + path, 0, &target, &error));
    EXPECT_FALSE(error.empty());
}

TEST(ConnStrTarget, ReadOnlyAndExclusiveModes)
{
    TempFiles t;
    std::wstring path = t.SqliteFile(L"m.db");
    OdbcConnectTarget target;
    ASSERT_TRUE(MapJetConnectionString(L"Data Source=" + path, adModeRead, &target));
    EXPECT_TRUE(target.readOnly);
    ASSERT_EQ(1u, target.initStatements.size());
    EXPECT_EQ(L"PRAGMA query_only=1", target.initStatements[0]);

    ASSERT_TRUE(MapJetConnectionString(L"Data Source=" + path + L";Mode=Read", 0, &target));
    EXPECT_TRUE(target.readOnly) << "Mode in the string applies when the property is not set";

    ASSERT_TRUE(MapJetConnectionString(L"Data Source=" + path + L";Mode=Read", adModeReadWrite, &target));
    EXPECT_FALSE(target.readOnly) << "the Mode property wins over the string";

    ASSERT_TRUE(MapJetConnectionString(L"Data Source=" + path, adModeShareExclusive, &target));
    EXPECT_TRUE(target.exclusive);
    EXPECT_FALSE(target.readOnly);
    ASSERT_EQ(3u, target.initStatements.size());
    EXPECT_EQ(L"PRAGMA locking_mode=EXCLUSIVE", target.initStatements[0]);
    EXPECT_EQ(L"BEGIN EXCLUSIVE", target.initStatements[1]);
    EXPECT_EQ(L"COMMIT", target.initStatements[2]);

    JetConnectionInfo info;
    ASSERT_TRUE(ParseJetConnectionString(L"Data Source=" + path, &info));
    ASSERT_TRUE(BuildOdbcTarget(info, 0, 750, &target));
    EXPECT_NE(std::wstring::npos, target.odbcString.find(L";Timeout=750;"));
}

TEST(ConnStrTarget, AccessFilesGoToMdbToolsReadOnly)
{
    TempFiles t;
    std::wstring path = t.JetFile(L"old.mdb");
    OdbcConnectTarget target;
    ASSERT_TRUE(MapJetConnectionString(L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path, adModeReadWrite, &target));
    std::wstring host;
    ASSERT_TRUE(HostPathOf(path, &host));
    EXPECT_EQ(int(OdbcDriverKind::MdbTools), int(target.driver));
    EXPECT_EQ(L"DRIVER={MDBTools};DBQ=" + host + L";", target.odbcString);
    EXPECT_TRUE(target.readOnly);
    EXPECT_TRUE(target.initStatements.empty());
}

TEST(ConnStrTarget, ExcelWorkbooksGoToTheWorkbookReader)
{
    OdbcConnectTarget target;
    ASSERT_TRUE(MapJetConnectionString(
        L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\x\\sheet.xls;Extended Properties=\"Excel 8.0\"", 0, &target));
    EXPECT_EQ(int(OdbcDriverKind::Workbook), int(target.driver));
    EXPECT_TRUE(target.odbcString.empty());
    EXPECT_TRUE(target.readOnly);
    EXPECT_EQ(L"C:\\x\\sheet.xls", target.windowsPath);
}
