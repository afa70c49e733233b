// The sheet writer: new workbooks and sheets added to existing ones, read back record by record;
// what it refuses; and that a failure at any point leaves the target as it was.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/wintest.h"
#include "tests/workbook/bookcheck.h"
#include "tests/xlsread/craftedbook.h"
#include "workbook/biff.h"
#include "workbook/bookfile.h"
#include "workbook/sheetwriter.h"

using namespace xls;
using bookcheck::Book;
using bookcheck::Cell;

namespace {

std::string Narrow(const std::wstring& w)
{
    return std::string(w.begin(), w.end());
}

std::vector<std::wstring> FilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (wcscmp(fd.cFileName, L".") && wcscmp(fd.cFileName, L".."))
            names.push_back(fd.cFileName);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return names;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD done = 0;
    bool ok = WriteFile(f, bytes.data(), (DWORD)bytes.size(), &done, nullptr) && done == bytes.size();
    CloseHandle(f);
    return ok;
}

using Streams = std::vector<std::pair<std::wstring, std::string>>;

// Writes the streams into the storage; a name ending in "/" makes a storage with one stream "x".
void PutStreams(IStorage* root, const Streams& streams)
{
    const DWORD mode = STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
    for (const auto& s : streams) {
        IStorage* sub = nullptr;
        IStorage* where = root;
        std::wstring name = s.first;
        if (name.back() == L'/') {
            ASSERT_HRESULT_SUCCEEDED(root->CreateStorage(name.substr(0, name.size() - 1).c_str(), mode, 0, 0, &sub));
            where = sub;
            name = L"x";
        }
        IStream* st = nullptr;
        ASSERT_HRESULT_SUCCEEDED(where->CreateStream(name.c_str(), mode, 0, 0, &st));
        st->Write(s.second.data(), (ULONG)s.second.size(), nullptr);
        st->Release();
        if (sub)
            sub->Release();
    }
    root->Commit(STGC_DEFAULT);
}

// A compound file with the given streams.
bool MakeCompoundFile(const std::wstring& path, const Streams& streams)
{
    IStorage* root = nullptr;
    if (FAILED(StgCreateDocfile(path.c_str(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &root)))
        return false;
    PutStreams(root, streams);
    root->Release();
    return true;
}

// Adds streams to an existing compound file.
void AddStreams(const std::wstring& path, const Streams& streams)
{
    IStorage* root = nullptr;
    ASSERT_HRESULT_SUCCEEDED(
        StgOpenStorage(path.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0, &root));
    PutStreams(root, streams);
    root->Release();
}

std::wstring Repeat(const wchar_t* piece, size_t length)
{
    std::wstring s;
    while (s.size() < length)
        s += piece;
    s.resize(length);
    return s;
}

// Writes one sheet; the cells of each row are text, number (general), date, boolean.
BookStatus WriteSheet(const std::wstring& path, const wchar_t* name, bool append,
                      const std::vector<std::wstring>& texts, int* truncated = nullptr)
{
    SheetWriter w;
    BookStatus st = w.Begin(path.c_str(), name, append);
    if (st != BookStatus::Ok)
        return st;
    for (size_t i = 0; i < texts.size(); ++i) {
        int row = (int)i;
        w.Text(row, 0, texts[i].c_str(), texts[i].size());
        w.Number(row, 1, row + 0.5, CellStyle::General);
        w.Number(row, 2, 40000 + row, CellStyle::Date);
        w.Boolean(row, 3, row % 2 == 1);
    }
    st = w.Commit();
    if (truncated)
        *truncated = w.TruncatedCells();
    return st;
}

void ExpectSheetRows(const bookcheck::Sheet& s, const std::vector<std::wstring>& texts)
{
    ASSERT_EQ((int)texts.size(), s.rows);
    for (size_t i = 0; i < texts.size(); ++i) {
        int row = (int)i;
        const Cell* t = s.At(row, 0);
        ASSERT_TRUE(t && t->kind == Cell::Text) << row;
        std::wstring want = texts[i].substr(0, kMaxCellChars);
        EXPECT_TRUE(t->text == want) << "row " << row << ": " << t->text.size() << " characters";
        const Cell* n = s.At(row, 1);
        ASSERT_TRUE(n && n->kind == Cell::Number);
        EXPECT_EQ(row + 0.5, n->number);
        EXPECT_EQ(0, n->format);
        const Cell* d = s.At(row, 2);
        ASSERT_TRUE(d && d->kind == Cell::Number);
        EXPECT_EQ(40000 + row, d->number);
        EXPECT_EQ(14, d->format);
        const Cell* b = s.At(row, 3);
        ASSERT_TRUE(b && b->kind == Cell::Bool);
        EXPECT_EQ(row % 2 == 1, b->flag);
    }
}

// Each bucket of the EXTSST index points at the string it stands for.
void ExpectIndexMatchesTable(const Book& book)
{
    const uint8_t* p = reinterpret_cast<const uint8_t*>(book.stream.data());
    std::vector<StringMark> marks;
    size_t at = 0;
    bool found = false, inTable = false;
    SstScanner scan(nullptr);
    while (at + 4 <= book.stream.size()) {
        RecordView r;
        r.id = Get16(p + at);
        r.size = Get16(p + at + 2);
        r.position = at;
        r.data = p + at + 4;
        if (r.id == kRecSst)
            inTable = true;
        else if (r.id != kRecContinue)
            inTable = false;
        if (inTable) {
            ASSERT_TRUE(scan.Feed(r));
        }
        if (r.id == kRecExtSst) {
            found = true;
            uint16_t perBucket = Get16(r.data);
            ASSERT_EQ(0, perBucket % kMarkStep);
            size_t buckets = (r.size - 2) / 8;
            ASSERT_EQ((scan.Count() + perBucket - 1) / perBucket, buckets);
            for (size_t b = 0; b < buckets; ++b) {
                const StringMark& m = scan.Marks()[b * perBucket / kMarkStep];
                EXPECT_EQ(m.record + m.offset, Get32(r.data + 2 + 8 * b)) << "bucket " << b;
                EXPECT_EQ(m.offset, Get16(r.data + 6 + 8 * b)) << "bucket " << b;
            }
        }
        if (r.id == kRecEof)
            break;
        at += 4 + r.size;
    }
    EXPECT_TRUE(found);
}

// No record of the stream exceeds the format's limit.
void ExpectRecordsWithinLimit(const Book& book, uint64_t end)
{
    const uint8_t* p = reinterpret_cast<const uint8_t*>(book.stream.data());
    for (size_t at = 0; at + 4 <= end;) {
        uint16_t size = Get16(p + at + 2);
        ASSERT_LE(size, kMaxRecordData);
        at += 4 + size;
    }
}

class SheetWriterTest : public ::testing::Test {
protected:
    SheetWriterTest() : folder_(L"sheetwriter") {}
    void TearDown() override { SetWorkbookWriteFault(-1); }
    std::wstring Path(const wchar_t* name = L"kniha.xls") const { return folder_.File(name); }
    Book Load(const std::wstring& path)
    {
        Book book;
        std::string why;
        EXPECT_TRUE(bookcheck::Load(path, &book, &why)) << why;
        return book;
    }
    wintest::ScopedTempFolder folder_;
};

// Strings of every kind: Latin-1 letters stay one byte, Czech ones take two; long ones are split
// over CONTINUE records at every kind of place and come back whole.
std::vector<std::wstring> MixedTexts()
{
    std::vector<std::wstring> t = {
        L"Čáp černý", L"Müller & Söhne", L"", L"50° 6' 12\"", L"a;b\r\nc \"quoted\"", L"Ωμέγα 漢字",
        Repeat(L"Čáp bílý ", 10000), Repeat(L"abcdefghij", 10000), Repeat(L"x", 8219), Repeat(L"ž", 4109),
        Repeat(L"ř", 40000),
    };
    for (int n = 4090; n < 4120; n += 3)
        t.push_back(Repeat(n % 2 ? L"č" : L"c", n));
    t.push_back(L"Čáp černý");  // repeated: shares its string
    return t;
}

TEST_F(SheetWriterTest, NewWorkbookReadsBackWithEveryKindOfCell)
{
    std::vector<std::wstring> texts = MixedTexts();
    int truncated = -1;
    ASSERT_EQ(BookStatus::Ok, WriteSheet(Path(), L"Výběr_čápů", false, texts, &truncated));
    EXPECT_EQ(1, truncated);  // the 40,000-character text
    Book book = Load(Path());
    ASSERT_EQ(1u, book.sheets.size());
    EXPECT_TRUE(book.sheets[0].name == L"Výběr_čápů");
    ExpectSheetRows(book.sheets[0], texts);
    EXPECT_EQ(texts.size() - 1, book.strings.size());
    ExpectIndexMatchesTable(book);
    ExpectRecordsWithinLimit(book, book.sheets[0].offset);
    EXPECT_GE(book.stream.size(), 4096u);  // out of the mini stream

    std::vector<SheetInfo> sheets;
    HRESULT hr;
    ASSERT_EQ(BookStatus::Ok, ReadWorkbookSheets(Path().c_str(), &sheets, &hr));
    ASSERT_EQ(1u, sheets.size());
    EXPECT_TRUE(sheets[0].name == L"Výběr_čápů");
    EXPECT_EQ(std::vector<std::wstring>{L"kniha.xls"}, FilesIn(folder_.Path()));
}

TEST_F(SheetWriterTest, CellStylesNameTheirNumberFormats)
{
    SheetWriter w;
    ASSERT_EQ(BookStatus::Ok, w.Begin(Path().c_str(), L"List", false));
    const CellStyle styles[] = {CellStyle::General, CellStyle::Date, CellStyle::DateTime, CellStyle::Currency};
    const uint16_t formats[] = {0, 14, 22, 7};
    for (int i = 0; i < 4; ++i)
        w.Number(0, i, 61.25 + i, styles[i]);
    ASSERT_EQ(BookStatus::Ok, w.Commit());
    Book book = Load(Path());
    for (int i = 0; i < 4; ++i) {
        const Cell* c = book.sheets[0].At(0, i);
        ASSERT_TRUE(c != nullptr);
        EXPECT_EQ(formats[i], c->format) << i;
        EXPECT_EQ(61.25 + i, c->number);
    }
}

TEST_F(SheetWriterTest, AppendKeepsTheOtherSheetsAndStreams)
{
    std::vector<std::wstring> first = MixedTexts(), second = {L"ČÁP", L"druhý list", L"Čáp černý"};
    ASSERT_EQ(BookStatus::Ok, WriteSheet(Path(), L"Čáp", false, first));
    AddStreams(Path(), {{L"\005SummaryInformation", std::string(300, '\x11')}, {L"Makra/", "obsah"}});
    Book before = Load(Path());
    auto otherBefore = bookcheck::OtherStreams(Path());
    ASSERT_EQ(3u, otherBefore.size());

    ASSERT_EQ(BookStatus::Ok, WriteSheet(Path(), L"Druhý", true, second));
    Book after = Load(Path());
    ASSERT_EQ(2u, after.sheets.size());
    EXPECT_TRUE(after.sheets[0].bytes == before.sheets[0].bytes);
    EXPECT_TRUE(after.sheets[1].name == L"Druhý");
    ExpectSheetRows(after.sheets[1], second);
    EXPECT_TRUE(std::equal(before.strings.begin(), before.strings.end(), after.strings.begin()));
    EXPECT_EQ(before.formats.size() + 4, after.formats.size());
    ExpectIndexMatchesTable(after);
    EXPECT_TRUE(bookcheck::OtherStreams(Path()) == otherBefore);

    // A third sheet; names are compared without regard to case, Czech letters included.
    std::string bytes = wintest::ReadFileBytes(Path());
    EXPECT_EQ(BookStatus::NameTaken, WriteSheet(Path(), L"ČÁP", true, second));
    EXPECT_EQ(BookStatus::NameTaken, WriteSheet(Path(), L"druhý", true, second));
    EXPECT_TRUE(wintest::ReadFileBytes(Path()) == bytes);
    ASSERT_EQ(BookStatus::Ok, WriteSheet(Path(), L"Třetí", true, first));
    after = Load(Path());
    ASSERT_EQ(3u, after.sheets.size());
    EXPECT_TRUE(after.sheets[0].bytes == before.sheets[0].bytes);
    ExpectSheetRows(after.sheets[1], second);
    ExpectSheetRows(after.sheets[2], first);
    ExpectIndexMatchesTable(after);
    EXPECT_EQ(1u, FilesIn(folder_.Path()).size());
}

TEST_F(SheetWriterTest, OverwriteLeavesOnlyTheNewSheet)
{
    ASSERT_EQ(BookStatus::Ok, WriteSheet(Path(), L"Starý", false, {L"a", L"b"}));
    AddStreams(Path(), {{L"Jiný", "x"}});
    ASSERT_EQ(BookStatus::Ok, WriteSheet(Path(), L"Nový", false, {L"c"}));
    Book book = Load(Path());
    ASSERT_EQ(1u, book.sheets.size());
    EXPECT_TRUE(book.sheets[0].name == L"Nový");
    EXPECT_TRUE(bookcheck::OtherStreams(Path()).empty());
}

// A workbook of another writer: no string table, and an INDEX record whose stream positions
// must follow the sheet when the globals grow.
std::string HandMadeBook()
{
    ByteWriter g, s, d;
    auto rec = [](ByteWriter* out, uint16_t id, const ByteWriter& data) { out->Record(id, data); };
    d.U16(kBiff8Version); d.U16(kBofGlobals); d.U32(0); d.U32(0); d.U32(6);
    rec(&g, kRecBof, d);
    d.Clear(); d.U16(200); d.U16(0); d.U16(0x7FFF); d.U16(400); d.U16(0); d.U32(0);
    AppendShortString(&d, L"Arial", 5);
    rec(&g, kRecFont, d);
    for (int i = 0; i < 16; ++i) {
        d.Clear(); d.U16(0); d.U16(0); d.U16(i < 15 ? 0xFFF5 : 1); d.U16(0x20); d.U32(0); d.U32(0); d.U32(0);
        rec(&g, kRecXf, d);
    }
    d.Clear(); d.U16(1);
    rec(&g, kRecTabId, d);
    size_t bound = g.Size();
    d.Clear(); d.U32(0); d.U16(0); AppendShortString(&d, L"Čísla", 5);
    rec(&g, kRecBoundSheet, d);
    rec(&g, kRecEof, ByteWriter());
    uint32_t sheetAt = (uint32_t)g.Size();
    Put32(g.Bytes().data() + bound + 4, sheetAt);
    // Sheet: BOF, INDEX -> DBCELL, DIMENSIONS, NUMBER, DBCELL, WINDOW2, EOF.
    d.Clear(); d.U16(kBiff8Version); d.U16(kBofWorksheet); d.U32(0); d.U32(0); d.U32(6);
    rec(&s, kRecBof, d);
    size_t index = s.Size();
    d.Clear(); d.U32(0); d.U32(0); d.U32(1); d.U32(0); d.U32(0);
    rec(&s, kRecIndex, d);
    d.Clear(); d.U32(0); d.U32(1); d.U16(0); d.U16(1); d.U16(0);
    rec(&s, kRecDimensions, d);
    d.Clear(); d.U16(0); d.U16(0); d.U16(15); d.F64(42.5);
    rec(&s, kRecNumber, d);
    uint32_t dbcell = sheetAt + (uint32_t)s.Size();
    d.Clear(); d.U32(14); d.U16(0);
    rec(&s, 0x00D7, d);
    d.Clear(); d.U16(0x06B6); d.U16(0); d.U16(0); d.U32(64); d.U16(0); d.U16(0); d.U32(0);
    rec(&s, kRecWindow2, d);
    rec(&s, kRecEof, ByteWriter());
    Put32(s.Bytes().data() + index + 4 + 16, dbcell);
    std::string out(reinterpret_cast<const char*>(g.Data()), g.Size());
    out.append(reinterpret_cast<const char*>(s.Data()), s.Size());
    out.append(5000 - out.size() % 4096, '\0');  // padding after the last sheet
    return out;
}

TEST_F(SheetWriterTest, AppendGivesABookWithoutStringsATableAndMovesItsIndex)
{
    ASSERT_TRUE(MakeCompoundFile(Path(), {{L"Workbook", HandMadeBook()}}));
    ASSERT_EQ(BookStatus::Ok, WriteSheet(Path(), L"Text", true, {L"první", L"druhý"}));
    Book book = Load(Path());
    ASSERT_EQ(2u, book.sheets.size());
    const Cell* n = book.sheets[0].At(0, 0);
    ASSERT_TRUE(n && n->kind == Cell::Number);
    EXPECT_EQ(42.5, n->number);
    ExpectSheetRows(book.sheets[1], {L"první", L"druhý"});
    ExpectIndexMatchesTable(book);
    // The INDEX of the old sheet names its DBCELL at the new place.
    const uint8_t* p = reinterpret_cast<const uint8_t*>(book.stream.data());
    uint32_t sheet = book.sheets[0].offset;
    ASSERT_EQ(kRecIndex, Get16(p + sheet + 20));
    uint32_t dbcell = Get32(p + sheet + 24 + 16);
    EXPECT_EQ(0x00D7, Get16(p + dbcell));
    // TABID lists one id per sheet.
    int tabIds = 0;
    for (size_t at = 0; at + 4 <= sheet; at += 4 + Get16(p + at + 2)) {
        if (Get16(p + at) == kRecTabId) {
            EXPECT_EQ(4, Get16(p + at + 2));
            EXPECT_EQ(2, Get16(p + at + 6));
            ++tabIds;
        }
    }
    EXPECT_EQ(1, tabIds);
}

TEST_F(SheetWriterTest, SheetNamesTheTabsCannotCarryAreRefused)
{
    const wchar_t* bad[] = {L"", L"abcdefghijklmnopqrstuvwxyz123456", L"Brno:_Hády", L"a\\b", L"a/b", L"a?b",
                            L"a*b", L"a[b", L"a]b", L"'ab", L"ab'"};
    for (const wchar_t* name : bad) {
        EXPECT_FALSE(IsValidSheetName(name)) << Narrow(name);
        SheetWriter w;
        EXPECT_EQ(BookStatus::BadName, w.Begin(Path().c_str(), name, false)) << Narrow(name);
        EXPECT_EQ(BookStatus::BadName, w.Commit());
    }
    const wchar_t* good[] = {L"Čáp", L"a'b", L"abcdefghijklmnopqrstuvwxyz12345", L"Výběr (2)"};
    for (const wchar_t* name : good)
        EXPECT_TRUE(IsValidSheetName(name)) << Narrow(name);
    EXPECT_TRUE(FilesIn(folder_.Path()).empty());
}

TEST_F(SheetWriterTest, AppendTargetsThatAreNoBiff8WorkbookAreRefusedUntouched)
{
    ASSERT_EQ(BookStatus::Ok, WriteSheet(Path(L"vzor.xls"), L"List", false, {L"a"}));
    std::string biff8 = Load(Path(L"vzor.xls")).stream;
    // The encrypted book: a FILEPASS after the BOF.
    std::string encrypted = biff8.substr(0, 20) + std::string("\x2F\x00\x02\x00\x00\x00", 6) + biff8.substr(20);
    std::string biff5 = biff8;
    biff5[4] = 0x00;
    biff5[5] = 0x05;  // BOF version 0x0500
    struct Case {
        const wchar_t* name;
        BookStatus status;
    };
    const Case cases[] = {
        {L"text.xls", BookStatus::NotWorkbook},   {L"zip.xls", BookStatus::NotWorkbook},
        {L"book.xls", BookStatus::OldFormat},     {L"biff5.xls", BookStatus::OldFormat},
        {L"heslo.xls", BookStatus::Encrypted},    {L"cut.xls", BookStatus::Damaged},
        {L"nostream.xls", BookStatus::NotWorkbook}, {L"chybi.xls", BookStatus::NotFound},
        {L"excel4.xls", BookStatus::OldFormat},
    };
    // Excel 4.0 kept a workbook as bare records, no compound file: a BOF of id 0x0409.
    ASSERT_TRUE(WriteBytes(Path(L"excel4.xls"), std::string("\x09\x04\x06\0\0\0\x10\0\0\0\x0A\0\0\0", 14)));
    ASSERT_TRUE(WriteBytes(Path(L"text.xls"), "Druh;Lokalita\r\nCarabus;Brno\r\n"));
    ASSERT_TRUE(WriteBytes(Path(L"zip.xls"), std::string("PK\x03\x04", 4) + std::string(600, 'z')));
    // Excel 5.0 and 95 name the stream "Book" (a BIFF8 book under that name is read as any other).
    ASSERT_TRUE(MakeCompoundFile(Path(L"book.xls"), {{L"Book", biff5}}));
    ASSERT_TRUE(MakeCompoundFile(Path(L"biff5.xls"), {{L"Workbook", biff5}}));
    ASSERT_TRUE(MakeCompoundFile(Path(L"heslo.xls"), {{L"Workbook", encrypted}}));
    uint32_t sheet = Load(Path(L"vzor.xls")).sheets[0].offset;
    ASSERT_TRUE(MakeCompoundFile(Path(L"cut.xls"), {{L"Workbook", biff8.substr(0, sheet + 30)}}));
    ASSERT_TRUE(MakeCompoundFile(Path(L"nostream.xls"), {{L"Data", "x"}}));
    DeleteFileW(Path(L"vzor.xls").c_str());
    for (const Case& c : cases) {
        std::string bytes = wintest::ReadFileBytes(Path(c.name));
        std::vector<SheetInfo> sheets;
        HRESULT hr;
        EXPECT_EQ(c.status, ReadWorkbookSheets(Path(c.name).c_str(), &sheets, &hr)) << Narrow(c.name);
        EXPECT_EQ(c.status, WriteSheet(Path(c.name), L"Nový", true, {L"x"})) << Narrow(c.name);
        EXPECT_TRUE(wintest::ReadFileBytes(Path(c.name)) == bytes) << Narrow(c.name);
    }
    EXPECT_EQ(8u, FilesIn(folder_.Path()).size());  // nothing left beside them
    // Overwriting works on each of them.
    for (const Case& c : cases) {
        ASSERT_EQ(BookStatus::Ok, WriteSheet(Path(c.name), L"Nový", false, {L"x"})) << Narrow(c.name);
        EXPECT_EQ(1u, Load(Path(c.name)).sheets.size());
    }
}

TEST_F(SheetWriterTest, AppendWalksEachSheetOnceHoweverManyEntriesNameIt)
{
    // One sheet of 2,000 cells listed 300 times: the records after its BOF (the cells and the
    // EOF) are walked once, not 300 times.
    std::wstring repeated = Path(L"opakovany.xls");
    xls::ByteWriter bytes = craftedbook::SparseBook(300, [](xls::ByteWriter* s) {
        for (uint16_t r = 0; r < 2000; ++r)
            craftedbook::Number(s, r, 0, 0, r);
    });
    ASSERT_TRUE(MakeCompoundFile(repeated, {{L"Workbook", std::string((const char*)bytes.Data(), bytes.Size())}}));
    {
        BookStream book;
        ASSERT_EQ(BookStatus::Ok, book.Open(repeated.c_str()));
        RecordReader reader(book.Stream());
        GlobalsScan scan;
        ASSERT_EQ(BookStatus::Ok, ScanGlobals(&reader, &scan));
        EXPECT_EQ(300u, scan.sheets.size());
        EXPECT_EQ(2001u, scan.sheetRecords);
    }
    ASSERT_EQ(BookStatus::Ok, WriteSheet(repeated, L"Nový", true, {L"x"}));
    std::vector<SheetInfo> sheets;
    HRESULT hr;
    ASSERT_EQ(BookStatus::Ok, ReadWorkbookSheets(repeated.c_str(), &sheets, &hr));
    ASSERT_EQ(301u, sheets.size());
    EXPECT_EQ(L"Nový", sheets.back().name);
    // A sheet that starts inside another one: refused, the file as it was.
    std::wstring nested = Path(L"vnoreny.xls");
    bytes = craftedbook::NestedSheetsBook();
    ASSERT_TRUE(MakeCompoundFile(nested, {{L"Workbook", std::string((const char*)bytes.Data(), bytes.Size())}}));
    std::string before = wintest::ReadFileBytes(nested);
    EXPECT_EQ(BookStatus::Damaged, ReadWorkbookSheets(nested.c_str(), &sheets, &hr));
    EXPECT_EQ(BookStatus::Damaged, WriteSheet(nested, L"Nový", true, {L"x"}));
    EXPECT_TRUE(wintest::ReadFileBytes(nested) == before);
}

TEST_F(SheetWriterTest, AFailureMidwayLeavesTheTargetAsItWas)
{
    std::vector<std::wstring> texts = MixedTexts();
    ASSERT_EQ(BookStatus::Ok, WriteSheet(Path(), L"Původní", false, texts));
    AddStreams(Path(), {{L"\005DocumentSummaryInformation", std::string(5000, 'd')}});
    std::string bytes = wintest::ReadFileBytes(Path());
    for (bool append : {true, false}) {
        for (long long at : {0LL, 4096LL, 100000LL}) {
            SetWorkbookWriteFault(at);
            SheetWriter w;
            ASSERT_EQ(BookStatus::Ok, w.Begin(Path().c_str(), L"Další", append));
            for (int r = 0; r < 2000; ++r)
                w.Text(r, 0, texts[r % texts.size()].c_str(), texts[r % texts.size()].size());
            EXPECT_EQ(BookStatus::IoError, w.Commit()) << append << " " << at;
            EXPECT_EQ(STG_E_MEDIUMFULL, w.Error());
            SetWorkbookWriteFault(-1);
            EXPECT_TRUE(wintest::ReadFileBytes(Path()) == bytes) << append << " " << at;
            EXPECT_EQ(std::vector<std::wstring>{L"kniha.xls"}, FilesIn(folder_.Path()));
        }
    }
}

TEST_F(SheetWriterTest, RowsAndColumnsPastTheSheetsLimitsAreRefused)
{
    struct Case {
        int row, column;
    };
    for (Case c : {Case{65536, 0}, Case{0, 256}, Case{-1, 0}}) {
        SheetWriter w;
        ASSERT_EQ(BookStatus::Ok, w.Begin(Path().c_str(), L"List", false));
        EXPECT_TRUE(w.Number(65535, 255, 1, CellStyle::General));
        EXPECT_FALSE(w.Text(c.row, c.column, L"x", 1));
        EXPECT_EQ(BookStatus::TooLarge, w.Status());
        EXPECT_FALSE(w.Number(0, 0, 1, CellStyle::General));  // nothing more after a refusal
        EXPECT_EQ(BookStatus::TooLarge, w.Commit());
    }
    EXPECT_TRUE(FilesIn(folder_.Path()).empty());
}

TEST_F(SheetWriterTest, ReadOnlyAndLockedTargetsStayAsTheyWere)
{
    ASSERT_EQ(BookStatus::Ok, WriteSheet(Path(), L"List", false, {L"a"}));
    std::string bytes = wintest::ReadFileBytes(Path());
    SetFileAttributesW(Path().c_str(), FILE_ATTRIBUTE_READONLY);
    {
        SheetWriter w;
        ASSERT_EQ(BookStatus::Ok, w.Begin(Path().c_str(), L"Nový", false));
        w.Text(0, 0, L"b", 1);
        EXPECT_EQ(BookStatus::IoError, w.Commit());
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), w.Error());
    }
    EXPECT_EQ(BookStatus::IoError, WriteSheet(Path(), L"Nový", true, {L"b"}));
    SetFileAttributesW(Path().c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(wintest::ReadFileBytes(Path()) == bytes);

    HANDLE lock = CreateFileW(Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    EXPECT_EQ(BookStatus::Locked, WriteSheet(Path(), L"Nový", true, {L"b"}));
    EXPECT_EQ(BookStatus::Locked, WriteSheet(Path(), L"Nový", false, {L"b"}));
    CloseHandle(lock);
    EXPECT_TRUE(wintest::ReadFileBytes(Path()) == bytes);
    EXPECT_EQ(1u, FilesIn(folder_.Path()).size());
}

}  // namespace
