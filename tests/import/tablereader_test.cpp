// The reading half of the Access and Excel table source: table lists (Access files through
// MDBTools, files of the program's own format, workbooks), the columns for the field mapping,
// the values of a row by position, the progress, and a new Open that closes what the last one
// opened.
#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <new>

#include "dataaccess/clienttables.h"
#include "import/impsource.h"
#include "import/tablereader.h"
#include "tests/support/accessfixtures.h"
#include "tests/support/wintest.h"
#include "tests/xlsread/craftedbook.h"
#include "workbook/sheetwriter.h"

namespace {

struct List {
    CPtrArray items{0, 8, 8};
    int kind;
    explicit List(int kind) : kind(kind) {}
    ~List()
    {
        for (int i = 0; i < items.GetCount(); ++i)
            FreeGroupEntry(kind, items.GetItems()[i]);
        items.RemoveAll(0);
    }
    std::vector<std::wstring> Names() const
    {
        std::vector<std::wstring> out;
        for (int i = 0; i < items.GetCount(); ++i)
            out.push_back(kind == GROUP_COLUMNS ? static_cast<SourceColumn*>(items.GetItems()[i])->SourceName
                                                : static_cast<const wchar_t*>(items.GetItems()[i]));
        return out;
    }
    SourceColumn* Column(int i) const { return static_cast<SourceColumn*>(items.GetItems()[i]); }
};

// A workbook with a sheet "Data" of `rows` rows (Druh, Počet), and a second sheet.
std::wstring MakeBook(const std::wstring& path, int rows)
{
    {
        xls::SheetWriter w;
        EXPECT_EQ(xls::BookStatus::Ok, w.Begin(path.c_str(), L"Data", false));
        w.Text(0, 0, L"Druh", 4);
        w.Text(0, 1, L"Počet", 5);
        for (int r = 1; r <= rows; ++r) {
            std::wstring name = L"Carabus " + std::to_wstring(r);
            w.Text(r, 0, name.c_str(), name.size());
            w.Number(r, 1, r, xls::CellStyle::General);
        }
        EXPECT_EQ(xls::BookStatus::Ok, w.Commit());
    }
    xls::SheetWriter second;
    EXPECT_EQ(xls::BookStatus::Ok, second.Begin(path.c_str(), L"Lokality", true));
    second.Text(0, 0, L"Název", 5);
    second.Text(1, 0, L"Praha", 5);
    EXPECT_EQ(xls::BookStatus::Ok, second.Commit());
    return path;
}

}  // namespace

TEST(TableReader, AnAccessFileListsItsTablesAndOffersTypedColumns)
{
    std::wstring queries = accessfixtures::Path(L"queryTestV2000.mdb");
    std::wstring types = accessfixtures::Path(L"testV2000.mdb");
    if (queries.empty() || types.empty())
        GTEST_SKIP() << "no Access fixtures";
    TableReader reader(false);
    ASSERT_TRUE(reader.Open(queries.c_str()));
    List tables(GROUP_TABLE_LIST);
    reader.FillTables(&tables.items);
    EXPECT_EQ((std::vector<std::wstring>{L"Table1", L"Table2", L"Table3"}), tables.Names());

    ASSERT_TRUE(reader.Open(types.c_str()));  // the next file replaces the first
    List columns(GROUP_COLUMNS);
    reader.FillColumns(L"Table1", &columns.items);
    struct Expect {
        const wchar_t* name;
        int kind;
        int size;
    } expected[] = {{L"A", 4, 50}, {L"B", 4, 100},  // characters, not the bytes the file counts
                    {L"C", 1, 0},   {L"D", 1, 0},   {L"E", 1, 0},
                    {L"F", 2, 0},   {L"G", 3, 0},   {L"H", 2, 0}, {L"I", 0, 0}};
    ASSERT_EQ(9, columns.items.GetCount());
    for (int i = 0; i < 9; ++i) {
        SourceColumn* c = columns.Column(i);
        EXPECT_STREQ(expected[i].name, c->SourceName);
        EXPECT_STREQ(expected[i].name, c->TargetName);
        EXPECT_EQ(expected[i].kind, c->SourceType) << i;
        EXPECT_EQ(expected[i].kind, c->TargetType) << i;
        EXPECT_EQ(expected[i].size, c->SourceSize) << i;
        EXPECT_EQ(-1, c->LevelIndex);
        EXPECT_EQ(0, c->TargetGroup);
        EXPECT_STREQ(L";", c->ListSeparator);
    }
    // The same table again keeps its entries; another replaces them; one that does not open
    // leaves the list empty.
    void* first = columns.items.GetItems()[0];
    reader.FillColumns(L"Table1", &columns.items);
    EXPECT_EQ(first, columns.items.GetItems()[0]);
    EXPECT_EQ(9, columns.items.GetCount());
    reader.FillColumns(L"Table3", &columns.items);
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"b"}), columns.Names());
    reader.FillColumns(L"Není tabulka", &columns.items);
    EXPECT_EQ(0, columns.items.GetCount());

    // The rows by position, as the driver delivers them.
    ASSERT_TRUE(reader.OpenRows(L"Table1"));
    EXPECT_EQ(2, reader.RowCount());
    std::vector<VARIANT> values;
    ASSERT_TRUE(reader.NextRow(&values));
    ASSERT_EQ(9u, values.size());
    EXPECT_EQ(VT_BSTR, values[0].vt);
    EXPECT_STREQ(L"abcdefg", values[0].bstrVal);
    EXPECT_EQ(VT_I4, values[4].vt);
    EXPECT_EQ(333333333, values[4].lVal);
    EXPECT_EQ(VT_DATE, values[6].vt);
    EXPECT_EQ(VT_BOOL, values[8].vt);
    for (VARIANT& v : values)
        VariantClear(&v);
    ASSERT_TRUE(reader.NextRow(&values));
    EXPECT_EQ(VARIANT_FALSE, values[8].boolVal);
    for (VARIANT& v : values)
        VariantClear(&v);
    EXPECT_FALSE(reader.NextRow(&values));
}

TEST(TableReader, BadFilesDoNotOpenAndLeaveNothingOpen)
{
    wintest::ScopedTempFolder folder(L"TableReader_bad");
    std::wstring book = MakeBook(folder.File(L"book.xls"), 3);
    std::wstring text = folder.File(L"text.mdb");
    std::ofstream(text.c_str()) << "Druh;Lokalita\n";
    std::wstring excel4 = folder.File(L"excel4.xls");
    std::ofstream(excel4.c_str(), std::ios::binary) << std::string("\x09\x04\x06\0\0\0\x10\0\0\0", 10);
    // The data layer's refusal of a file that is no database, naming it.
    auto notADatabase = [](const std::wstring& file) { return L"Soubor není databáze: \u201E" + file + L"\u201C."; };
    struct Case {
        bool workbook;
        std::wstring path;
        std::wstring problem;  // what the wizard shows
    } cases[] = {
        {false, text, notADatabase(text)},  // not an Access file
        {false, book, notADatabase(book)},  // a workbook given as an Access file
        {true, text, L"Soubor není sešit aplikace Excel 97-2003."},
        {false, folder.File(L"missing.mdb"), L""},  // no file: never created
        {true, folder.File(L"missing.xls"), L""},
        {true, excel4, L"Sešit je ve starším formátu aplikace Excel (Excel 95 nebo starší); uložte ho ve formátu "
                       L"Excel 97-2003."},
    };
    for (const Case& k : cases) {
        TableReader reader(k.workbook);
        ASSERT_TRUE(reader.Open(book.c_str()) || !k.workbook);
        EXPECT_FALSE(reader.Open(k.path.c_str()));
        EXPECT_FALSE(reader.IsOpen());
        EXPECT_EQ(k.problem, reader.Problem());
        List tables(GROUP_TABLE_LIST);
        reader.FillTables(&tables.items);
        EXPECT_EQ(0, tables.items.GetCount());
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(folder.File(L"missing.mdb").c_str()));
}

TEST(TableReader, AWorkbookListsEachSheetOnceAndReportsProgressByRow)
{
    wintest::ScopedTempFolder folder(L"TableReader_book");
    std::wstring book = MakeBook(folder.File(L"rows.xls"), 200);
    TableReader reader(true);
    ASSERT_TRUE(reader.Open(book.c_str()));
    List tables(GROUP_TABLE_LIST);
    reader.FillTables(&tables.items);
    EXPECT_EQ((std::vector<std::wstring>{L"Data", L"Lokality"}), tables.Names());
    List columns(GROUP_COLUMNS);
    reader.FillColumns(L"Data", &columns.items);
    ASSERT_EQ(2, columns.items.GetCount());
    EXPECT_EQ(4, columns.Column(0)->SourceType);
    EXPECT_EQ(255, columns.Column(0)->SourceSize);
    EXPECT_EQ(2, columns.Column(1)->SourceType);

    ASSERT_TRUE(reader.OpenRows(L"Data"));
    EXPECT_EQ(200, reader.RowCount());
    EXPECT_EQ(0, reader.Percent());
    std::vector<VARIANT> values;
    std::vector<int> percents;
    while (reader.NextRow(&values)) {
        percents.push_back(reader.Percent());
        if (reader.RowsRead() == 37) {
            EXPECT_STREQ(L"Carabus 37", values[0].bstrVal);
            EXPECT_EQ(VT_R8, values[1].vt);
            EXPECT_EQ(37.0, values[1].dblVal);
        }
        for (VARIANT& v : values)
            VariantClear(&v);
    }
    ASSERT_EQ(200u, percents.size());
    EXPECT_EQ(1, percents[0]);
    EXPECT_EQ(100, percents[198]);
    EXPECT_EQ(100, percents[199]);
}

TEST(TableReader, AFileOfTheProgramsOwnFormatListsTablesAndViewsButNotTheEnginesOwn)
{
    wintest::ScopedTempFolder folder(L"TableReader_own");
    std::wstring path = folder.File(L"own.mdb");
    ASSERT_EQ(S_OK, zdata::CreateDatabaseFile(path.c_str()));
    {
        zdata::Connection* c = zdata::Connection::Create();
        ASSERT_EQ(S_OK, c->Open((L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + L";").c_str()));
        ASSERT_EQ(S_OK, c->Execute(L"CREATE TABLE Nalezy (ID INTEGER PRIMARY KEY AUTOINCREMENT, Druh VARCHAR(40), "
                                   L"Poznamka TEXT, Datum DATETIME)"));
        ASSERT_EQ(S_OK, c->Execute(L"INSERT INTO Nalezy (Druh) VALUES ('Carabus')"));
        ASSERT_EQ(S_OK, c->Execute(L"CREATE VIEW Druhy AS SELECT Druh FROM Nalezy"));
        ASSERT_EQ(S_OK, c->Execute(L"CREATE TABLE \"Sber]1\" (Kdo VARCHAR(20), Kdy DATETIME)"));
        c->Close();
        c->Release();
    }
    TableReader reader(false);
    ASSERT_TRUE(reader.Open(path.c_str()));
    List tables(GROUP_TABLE_LIST);
    reader.FillTables(&tables.items);
    EXPECT_EQ((std::vector<std::wstring>{L"Druhy", L"Nalezy", L"Sber]1"}), tables.Names());
    {
        List quoted(GROUP_COLUMNS);
        reader.FillColumns(L"Sber]1", &quoted.items);
        EXPECT_EQ((std::vector<std::wstring>{L"Kdo", L"Kdy"}), quoted.Names()) << "a name holding ] is quoted";
        EXPECT_TRUE(reader.OpenRows(L"Sber]1"));
        reader.CloseRows();
    }
    List columns(GROUP_COLUMNS);
    reader.FillColumns(L"Nalezy", &columns.items);
    ASSERT_EQ(4, columns.items.GetCount());
    EXPECT_EQ(4, columns.Column(1)->SourceType);
    EXPECT_EQ(40, columns.Column(1)->SourceSize);
    EXPECT_EQ(6, columns.Column(2)->SourceType) << "long text";
    EXPECT_EQ(3, columns.Column(3)->SourceType);
}

// Blocks larger than this cannot be had (set in a child that runs short of memory).
static size_t g_largestBlock = SIZE_MAX;

void* operator new(size_t n)
{
    void* p = n <= g_largestBlock ? std::malloc(n ? n : 1) : nullptr;
    if (!p)
        throw std::bad_alloc();
    return p;
}

void operator delete(void* p) noexcept { std::free(p); }

namespace {

const wchar_t kChildBook[] = L"ZOR_TABLEREADER_CHILD_BOOK";
const wchar_t kChildLargestBlock[] = L"ZOR_TABLEREADER_CHILD_LARGEST_BLOCK";
const DWORD kRefusedForMemory = 2;  // the child's exit code when the reader said memory ran out

// A run of the child test below on the workbook; a child that takes more than 1 GB or a minute
// is ended (reported as stopped).
wintest::ChildRun OpenInChild(const std::wstring& book)
{
    return wintest::RunTestInChild(L"TableReaderChild.DISABLED_OpensTheBook", kChildBook, book, 1024, 60000);
}

// The peak working set in KB of a process of this program that opens the workbook with the
// table reader (the child test below); 0 when the book did not open.
DWORD PeakOpening(const std::wstring& book)
{
    wintest::ChildRun run = OpenInChild(book);
    return run.stopped ? 0 : run.exitCode;
}

}  // namespace

// Run by the test below in a process of its own: opens the workbook named in the environment as
// the import does (the table list, the first table's columns and rows) and ends with the
// process's peak working set in KB as its exit code (kRefusedForMemory: refused for want of it).
TEST(TableReaderChild, DISABLED_OpensTheBook)
{
    wchar_t path[MAX_PATH] = L"", largest[32] = L"";
    GetEnvironmentVariableW(kChildBook, path, MAX_PATH);
    TableReader reader(true);
    if (GetEnvironmentVariableW(kChildLargestBlock, largest, 32))
        g_largestBlock = wcstoul(largest, nullptr, 10);
    bool opened = reader.Open(path);
    g_largestBlock = SIZE_MAX;
    if (!opened && reader.Problem() == zdata::kNoMemoryForBook)
        ExitProcess(kRefusedForMemory);
    if (opened) {
        List tables(GROUP_TABLE_LIST);
        reader.FillTables(&tables.items);
        if (tables.items.GetCount() > 0) {
            const wchar_t* first = static_cast<const wchar_t*>(tables.items.GetItems()[0]);
            List columns(GROUP_COLUMNS);
            reader.FillColumns(first, &columns.items);
            opened = reader.OpenRows(first);
        }
    }
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
    ExitProcess(opened ? (UINT)(pmc.PeakWorkingSetSize / 1024) : 0);
}

// A workbook of a few KB with cells only at A1 and IV65536 whose sheet is listed ten times opens
// with about the memory an empty workbook takes.
TEST(TableReader, ACraftedSparseWorkbookTakesAboutWhatAnEmptyOneTakes)
{
    wintest::ScopedTempFolder folder(L"TableReader_peak");
    std::wstring empty = craftedbook::WriteCompound(folder.File(L"empty.xls"), L"Workbook",
                                                    craftedbook::SparseBook(1, [](xls::ByteWriter*) {}));
    std::wstring corners =
        craftedbook::WriteCompound(folder.File(L"corners.xls"), L"Workbook", craftedbook::CornerCellsBook());
    WIN32_FILE_ATTRIBUTE_DATA size = {};
    GetFileAttributesExW(corners.c_str(), GetFileExInfoStandard, &size);
    DWORD emptyKb = PeakOpening(empty);
    DWORD cornersKb = PeakOpening(corners);
    std::printf("peak working set opening: an empty workbook %lu KB, the crafted one (%lu bytes) %lu KB\n",
                emptyKb, size.nFileSizeLow, cornersKb);
    ASSERT_NE(0u, emptyKb) << "the empty workbook did not open";
    ASSERT_NE(0u, cornersKb) << "the crafted workbook did not open";
    EXPECT_LT(cornersKb, emptyKb + 64 * 1024);
}

// Workbooks of the kinds that cost gigabytes in the import's route, each opened as the import
// opens it with about the memory an empty workbook takes: cells that share one long string,
// rows of one number under a header 256 columns wide, many sheets of rows that hold nothing, and
// a file whose chain loops (refused); a workbook read when memory runs out is refused in words.
TEST(TableReader, CraftedWorkbooksOfTheImportsRouteTakeAboutWhatAnEmptyOneTakes)
{
    wintest::ScopedTempFolder folder(L"TableReader_crafted");
    std::wstring empty = craftedbook::WriteCompound(folder.File(L"empty.xls"), L"Workbook",
                                                    craftedbook::SparseBook(1, [](xls::ByteWriter*) {}));
    DWORD emptyKb = PeakOpening(empty);
    ASSERT_NE(0u, emptyKb) << "the empty workbook did not open";
    struct Case {
        const char* name;
        std::wstring path;
        bool opens;
        const wchar_t* largestBlock;  // no block above this many bytes to be had
    } cases[] = {
        {"3,900 cells showing one string of 32,767 characters",
         craftedbook::WriteCompound(folder.File(L"shared.xls"), L"Workbook",
                                    craftedbook::SharedStringColumn(3900, craftedbook::OneStringSst(32767, 3900))),
         true},
        {"a number in column A of 30,000 rows under a header in column IV",
         craftedbook::WriteCompound(folder.File(L"wide.xls"), L"Workbook", craftedbook::WideSparseBook(30000)), true},
        {"a workbook stream whose chain loops back", craftedbook::WriteLoopedBook(folder.File(L"loop.xls")), false},
        {"255 sheets that each hold only A1 and A65536",
         craftedbook::WriteCompound(folder.File(L"tall.xls"), L"Workbook", craftedbook::TallSheetsBook(255)), true},
        {"65,536 such sheets",
         craftedbook::WriteCompound(folder.File(L"tall65536.xls"), L"Workbook", craftedbook::TallSheetsBook(65536)),
         true},
        {"the 30,000 rows when no block above 256 KB can be had", folder.File(L"wide.xls"), false, L"262144"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        WIN32_FILE_ATTRIBUTE_DATA size = {};
        GetFileAttributesExW(k.path.c_str(), GetFileExInfoStandard, &size);
        ULONGLONG start = GetTickCount64();
        SetEnvironmentVariableW(kChildLargestBlock, k.largestBlock);
        wintest::ChildRun run = OpenInChild(k.path);
        SetEnvironmentVariableW(kChildLargestBlock, nullptr);
        std::printf("%s (%lu bytes): %llu ms, peak working set %zu KB (an empty workbook %lu KB)\n", k.name,
                    size.nFileSizeLow, GetTickCount64() - start, (size_t)run.peakKb, emptyKb);
        ASSERT_TRUE(run.started);
        EXPECT_FALSE(run.stopped) << "ended after " << run.peakKb << " KB";
        if (k.largestBlock)
            EXPECT_EQ(kRefusedForMemory, run.exitCode);
        else
            EXPECT_EQ(k.opens, run.exitCode != 0);
        EXPECT_LT(std::max<SIZE_T>(run.exitCode, run.peakKb), emptyKb + 64 * 1024);
    }
}

namespace {

// A copy of the file at `to`, changed by the edit.
std::wstring ChangedCopy(const std::wstring& from, const std::wstring& to,
                         const std::function<void(std::string*)>& edit)
{
    std::string bytes = wintest::ReadFileBytes(from);
    edit(&bytes);
    std::ofstream(to.c_str(), std::ios::binary) << bytes;
    return to;
}

}  // namespace

// An Access file the layer refuses says why, as the wizard shows it: an Access 97 file in
// Czech, with what to do.
TEST(TableReader, AnAccess97FileSaysWhatToDo)
{
    std::wstring good = accessfixtures::Path(L"testV2000.mdb");
    if (good.empty())
        GTEST_SKIP() << "no Access fixtures";
    wintest::ScopedTempFolder folder(L"TableReader_jet3");
    std::wstring old = ChangedCopy(good, folder.File(L"access97.mdb"), [](std::string* bytes) {
        (*bytes)[0x14] = 0;  // the version of Jet 3
    });
    TableReader reader(false);
    EXPECT_FALSE(reader.Open(old.c_str()));
    EXPECT_EQ(L"Databázi aplikace Access 97 (Jet 3) nelze přečíst; uložte ji v Accessu ve formátu Access 2000 nebo "
              L"novějším: " + old,
              reader.Problem());
    EXPECT_TRUE(reader.Open(good.c_str()));
    EXPECT_EQ(L"", reader.Problem());
}

// Dates the Access driver cannot convert (before 1900, far ahead) come as empty values with
// their field listed; one it converts (31 December 1899) comes as it is.
TEST(TableReader, DatesTheDriverCannotGiveAreListedAsUnreadable)
{
    std::wstring good = accessfixtures::Path(L"testV2000.mdb");
    if (good.empty())
        GTEST_SKIP() << "no Access fixtures";
    wintest::ScopedTempFolder folder(L"TableReader_dates");
    std::wstring copy = ChangedCopy(good, folder.File(L"data.mdb"), [](std::string* bytes) {
        // Table1's dates (its column G), as Access stores them: OLE dates of 1974-09-21 and
        // 1981-12-12, become 1898-01-01 and 1899-12-31.
        const double dates[][2] = {{27293, -728}, {29932, 1}};
        for (const auto& d : dates) {
            size_t at = bytes->find(std::string((const char*)&d[0], 8));
            ASSERT_NE(std::string::npos, at);
            bytes->replace(at, 8, std::string((const char*)&d[1], 8));
        }
    });
    TableReader reader(false);
    ASSERT_TRUE(reader.Open(copy.c_str()));
    ASSERT_TRUE(reader.OpenRows(L"Table1"));
    std::vector<VARIANT> values;
    ASSERT_TRUE(reader.NextRow(&values));
    EXPECT_EQ(VT_NULL, values[6].vt);
    EXPECT_EQ(std::vector<long>{6}, reader.Unreadable());
    EXPECT_STREQ(L"abcdefg", values[0].bstrVal) << "the row's other values come";
    for (VARIANT& v : values)
        VariantClear(&v);
    ASSERT_TRUE(reader.NextRow(&values));
    EXPECT_EQ(VT_DATE, values[6].vt);
    EXPECT_EQ(1.0, values[6].date);
    EXPECT_TRUE(reader.Unreadable().empty());
    for (VARIANT& v : values)
        VariantClear(&v);
}
