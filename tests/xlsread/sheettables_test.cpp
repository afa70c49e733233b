// The workbook reader on hand-made records (each cell record, strings split across CONTINUE,
// formulas, both date systems), on a workbook written by python3-xlwt, on one written by the
// export's sheet writer, and on every kind of file it must refuse, directly and through the data
// layer's workbook connections.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <fstream>

#include "dataaccess/ado.h"
#include "tests/support/wintest.h"
#include "tests/xlsread/craftedbook.h"
#include "workbook/biff.h"
#include "workbook/sheetwriter.h"
#include "xlsread/sheettables.h"

using namespace xlsread;
using xls::BookStatus;
using xls::ByteWriter;
using namespace craftedbook;

namespace {

// ---- building workbook streams record by record ----

void Latin(ByteWriter* d, const char* s) { d->Raw(s, strlen(s)); }
void Wide(ByteWriter* d, const wchar_t* s)
{
    for (; *s; ++s)
        d->U16((uint16_t)*s);
}

// A label cell with its text stored inline (LABEL).
void Label(ByteWriter* out, uint16_t row, uint16_t col, const char* s)
{
    ByteWriter d = CellHead(row, col, 0);
    d.U16((uint16_t)strlen(s));
    d.U8(0);
    Latin(&d, s);
    Rec(out, xls::kRecLabel, d);
}

void BoolErr(ByteWriter* out, uint16_t row, uint16_t col, uint8_t value, uint8_t isError)
{
    ByteWriter d = CellHead(row, col, 0);
    d.U8(value);
    d.U8(isError);
    Rec(out, xls::kRecBoolErr, d);
}

// A formula with a cached result: 8 result bytes, then options, chain and an empty expression.
void Formula(ByteWriter* out, uint16_t row, uint16_t col, const uint8_t result[8])
{
    ByteWriter d = CellHead(row, col, 0);
    d.Raw(result, 8);
    d.U16(0);
    d.U32(0);
    d.U16(0);
    Rec(out, xls::kRecFormula, d);
}

// The globals: XF 0 general, XF 1 a custom date format, XF 2 the built-in date format 14; the
// shared strings given as ready records (SST and CONTINUE); one worksheet.
struct Book {
    ByteWriter stream;
    size_t sheetOffsetAt = 0;

    void Globals(const std::vector<ByteWriter>& sstRecords, bool date1904 = false, bool filePass = false)
    {
        Bof(&stream, xls::kBofGlobals);
        if (filePass) {
            ByteWriter d;
            d.U16(1);
            d.U32(0);
            Rec(&stream, xls::kRecFilePass, d);
        }
        if (date1904) {
            ByteWriter d;
            d.U16(1);
            Rec(&stream, xls::kRecDateMode, d);
        }
        ByteWriter f;
        f.U16(164);
        f.U16(11);
        f.U8(0);
        Latin(&f, "\"d\"\\ [Red]dd");  // a quoted d and a colour do not count; "dd" does
        Rec(&stream, 0x041E, f);
        for (uint16_t fmt : {0, 164, 14}) {
            ByteWriter x;
            x.U16(0);
            x.U16(fmt);
            for (int i = 0; i < 16; ++i)
                x.U8(0);
            Rec(&stream, xls::kRecXf, x);
        }
        for (size_t i = 0; i < sstRecords.size(); ++i)
            Rec(&stream, i == 0 ? xls::kRecSst : xls::kRecContinue, sstRecords[i]);
        BoundSheet(&stream, "N\xE1lezy", &sheetOffsetAt);  // compressed: Latin-1 bytes
        Rec(&stream, xls::kRecEof, ByteWriter());
        xls::Put32(stream.Bytes().data() + sheetOffsetAt, (uint32_t)stream.Size());
        Bof(&stream, xls::kBofWorksheet);
    }
    void End() { Rec(&stream, xls::kRecEof, ByteWriter()); }
};

// SST: "Druh", "Počet" and "Čáp bílý" split after three wide characters (the continuation wide
// again), then "Carabus auratus" split after "Car" (the continuation stored compressed).
std::vector<ByteWriter> SplitStrings()
{
    std::vector<ByteWriter> r(3);
    r[0].U32(4);
    r[0].U32(4);
    r[0].U16(4);
    r[0].U8(0);
    Latin(&r[0], "Druh");
    r[0].U16(5);
    r[0].U8(1);
    Wide(&r[0], L"Počet");
    r[0].U16(8);
    r[0].U8(1);
    Wide(&r[0], L"Čáp");
    r[1].U8(1);
    Wide(&r[1], L" bílý");
    r[1].U16(15);
    r[1].U8(1);
    Wide(&r[1], L"Car");
    r[2].U8(0);
    Latin(&r[2], "abus auratus");
    return r;
}

std::wstring WriteRaw(const std::wstring& path, const std::string& bytes)
{
    std::ofstream out(path.c_str(), std::ios::binary);
    out.write(bytes.data(), (std::streamsize)bytes.size());
    return path;
}

// The main byte fixture: header row, two data rows, a third with a number in the text column.
Book CellBook()
{
    Book b;
    b.Globals(SplitStrings());
    ByteWriter& s = b.stream;
    LabelSst(&s, 0, 0, 0);   // Druh
    Label(&s, 0, 1, "Datum");
    LabelSst(&s, 0, 2, 1);   // Počet
    Label(&s, 0, 4, "Vzorec");  // column 3 has no header
    LabelSst(&s, 1, 0, 2);
    Number(&s, 1, 1, 1, 38124.0);  // custom date format
    {
        ByteWriter d;  // MULRK: 7 (an integer RK) and 12.5 (1250 with the x100 flag)
        d.U16(1);
        d.U16(2);
        d.U16(0);
        d.U32((7u << 2) | 2);
        d.U16(0);
        d.U32((1250u << 2) | 3);
        d.U16(3);
        Rec(&s, xls::kRecMulRk, d);
    }
    const uint8_t text[8] = {0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    Formula(&s, 1, 4, text);
    {
        ByteWriter d;
        d.U16(3);
        d.U8(0);
        Latin(&d, "abc");
        Rec(&s, 0x0207, d);
    }
    LabelSst(&s, 2, 0, 3);
    Rk(&s, 2, 1, 2, (1u << 2) | 2);  // built-in date format: serial 1
    double three = 3;
    uint8_t num[8];
    memcpy(num, &three, 8);
    Formula(&s, 2, 2, num);
    BoolErr(&s, 2, 3, 0x07, 1);  // #DIV/0!
    Label(&s, 2, 4, "def");
    BoolErr(&s, 1, 3, 1, 0);
    Rk(&s, 3, 4, 0, (5u << 2) | 2);
    b.End();
    return b;
}

std::wstring XlwtFixture()
{
    return std::wstring(ZOR_XLSREAD_DATA) + L"\\xlwt_records.xls";
}

double OleDate(int y, int m, int d)
{
    SYSTEMTIME st = {};
    st.wYear = (WORD)y;
    st.wMonth = (WORD)m;
    st.wDay = (WORD)d;
    double v = 0;
    SystemTimeToVariantTime(&st, &v);
    return v;
}

}  // namespace

TEST(SheetTables, ReadsEveryCellRecordWithSplitStringsFormulasAndDates)
{
    wintest::ScopedTempFolder folder(L"SheetTables_cells");
    std::wstring path = WriteCompound(folder.File(L"cells.xls"), L"Workbook", CellBook().stream);
    std::vector<SheetTable> tables;
    ASSERT_EQ(BookStatus::Ok, ReadSheetTables(path.c_str(), &tables));
    ASSERT_EQ(1u, tables.size());
    const SheetTable& t = tables[0];
    EXPECT_EQ(L"Nálezy", t.name);
    struct Col {
        const wchar_t* name;
        ColumnKind kind;
    } cols[] = {{L"Druh", ColumnKind::Text},  {L"Datum", ColumnKind::Date}, {L"Počet", ColumnKind::Number},
                {L"F4", ColumnKind::Bool},   {L"Vzorec", ColumnKind::Text}};
    ASSERT_EQ(5u, t.columns.size());
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(cols[i].name, t.columns[i].name) << i;
        EXPECT_EQ(cols[i].kind, t.columns[i].kind) << i;
    }
    ASSERT_EQ(3u, t.rows.size());
    EXPECT_EQ(L"Čáp bílý", t.rows[0][0].text);
    EXPECT_EQ(L"Carabus auratus", t.rows[1][0].text);
    EXPECT_EQ(CellKind::Date, t.rows[0][1].kind);
    EXPECT_DOUBLE_EQ(38124.0, t.rows[0][1].number);
    EXPECT_DOUBLE_EQ(OleDate(1900, 1, 1), t.rows[1][1].number);  // serial 1 of the 1900 calendar
    EXPECT_DOUBLE_EQ(7, t.rows[0][2].number);
    EXPECT_DOUBLE_EQ(3, t.rows[1][2].number);   // a formula's cached number
    EXPECT_EQ(CellKind::Bool, t.rows[0][3].kind);
    EXPECT_EQ(1, t.rows[0][3].number);
    EXPECT_EQ(CellKind::Empty, t.rows[1][3].kind);  // an error value reads as nothing
    EXPECT_EQ(L"abc", t.rows[0][4].text);            // a formula's cached text
    EXPECT_EQ(L"def", t.rows[1][4].text);
    EXPECT_EQ(L"5", t.rows[2][4].text);              // a number in a text column is its text
    EXPECT_EQ(CellKind::Empty, t.rows[2][0].kind);
    // The MULRK's second value (12.5) sits in column 3, a boolean column: not a boolean, so nothing.
    EXPECT_EQ(CellKind::Bool, t.rows[0][3].kind);
}

TEST(SheetTables, The1904DateSystemShiftsDates)
{
    wintest::ScopedTempFolder folder(L"SheetTables_1904");
    Book b;
    b.Globals(SplitStrings(), true);
    LabelSst(&b.stream, 0, 0, 0);
    Number(&b.stream, 1, 0, 2, 0.0);
    b.End();
    std::vector<SheetTable> tables;
    ASSERT_EQ(BookStatus::Ok,
              ReadSheetTables(WriteCompound(folder.File(L"d1904.xls"), L"Workbook", b.stream).c_str(), &tables));
    ASSERT_EQ(1u, tables[0].rows.size());
    EXPECT_DOUBLE_EQ(OleDate(1904, 1, 1), tables[0].rows[0][0].number);
}

TEST(SheetTables, ColumnTypesComeFromTheFirstEightRowsAndLongTextFromAnyRow)
{
    SheetGrid grid;
    auto text = [](const wchar_t* s) { Cell c; c.kind = CellKind::Text; c.text = s; return c; };
    auto num = [](double v) { Cell c; c.kind = CellKind::Number; c.number = v; return c; };
    auto row = [&](uint16_t r, const std::vector<Cell>& cells) {
        for (size_t c = 0; c < cells.size(); ++c)
            grid.Put(r, (uint16_t)c, cells[c]);
    };
    row(0, {text(L"A"), text(L"B"), text(L"")});
    for (int r = 1; r <= 8; ++r)
        row((uint16_t)r, {num(r), text(L"t"), text(L"short")});
    row(9, {text(L"late text"), num(9), text(std::wstring(300, L'x').c_str())});
    row(11, {Cell()});
    SheetTable t = TableOfGrid(L"S", &grid);
    ASSERT_EQ(3u, t.columns.size());
    EXPECT_EQ(ColumnKind::Number, t.columns[0].kind);   // the ninth row does not count
    EXPECT_EQ(ColumnKind::Text, t.columns[1].kind);
    EXPECT_EQ(ColumnKind::LongText, t.columns[2].kind) << "a long value after the eighth row";
    EXPECT_EQ(L"F3", t.columns[2].name);
    EXPECT_EQ(CellKind::Empty, t.rows[8][0].kind);      // text in a number column: nothing
    EXPECT_EQ(L"9", t.rows[8][1].text);
    EXPECT_EQ(9u, t.rows.size()) << "trailing empty rows are outside the used range";
}

TEST(SheetTables, AWorkbookOfXlwtReadsAsXlrdReadsIt)
{
    std::vector<SheetTable> tables;
    ASSERT_EQ(BookStatus::Ok, ReadSheetTables(XlwtFixture().c_str(), &tables));
    ASSERT_EQ(2u, tables.size());
    const SheetTable& t = tables[0];
    EXPECT_EQ(L"Nálezy", t.name);
    ASSERT_EQ(6u, t.columns.size());
    EXPECT_EQ(L"Počet", t.columns[3].name);
    EXPECT_EQ(L"F6", t.columns[5].name);
    EXPECT_EQ(ColumnKind::Date, t.columns[2].kind);
    EXPECT_EQ(ColumnKind::Number, t.columns[3].kind);
    EXPECT_EQ(ColumnKind::Bool, t.columns[4].kind);
    EXPECT_EQ(ColumnKind::LongText, t.columns[5].kind);
    ASSERT_EQ(3u, t.rows.size());
    EXPECT_EQ(L"Čáp bílý", t.rows[1][0].text);
    EXPECT_EQ(L"Žďár nad Sázavou", t.rows[1][1].text);
    EXPECT_DOUBLE_EQ(OleDate(2004, 5, 17), t.rows[0][2].number);
    EXPECT_DOUBLE_EQ(12.5, t.rows[1][3].number);
    EXPECT_EQ(CellKind::Empty, t.rows[2][2].kind);
    EXPECT_EQ(300u, t.rows[1][5].text.size());
}

TEST(SheetTables, AWorkbookOfTheExportReadsBack)
{
    wintest::ScopedTempFolder folder(L"SheetTables_export");
    std::wstring path = folder.File(L"export.xls");
    xls::SheetWriter w;
    ASSERT_EQ(BookStatus::Ok, w.Begin(path.c_str(), L"Data", false));
    w.Text(0, 0, L"Druh", 4);
    w.Text(0, 1, L"Datum", 5);
    for (int r = 1; r <= 200; ++r) {
        std::wstring name = L"Druh " + std::to_wstring(r);
        w.Text(r, 0, name.c_str(), name.size());
        w.Number(r, 1, 40000 + r, xls::CellStyle::Date);
    }
    ASSERT_EQ(BookStatus::Ok, w.Commit());
    std::vector<SheetTable> tables;
    ASSERT_EQ(BookStatus::Ok, ReadSheetTables(path.c_str(), &tables));
    ASSERT_EQ(1u, tables.size());
    ASSERT_EQ(200u, tables[0].rows.size());
    EXPECT_EQ(ColumnKind::Date, tables[0].columns[1].kind);
    EXPECT_EQ(L"Druh 200", tables[0].rows[199][0].text);
    EXPECT_DOUBLE_EQ(40200, tables[0].rows[199][1].number);
}

TEST(SheetTables, RefusesEveryFileItCannotRead)
{
    wintest::ScopedTempFolder folder(L"SheetTables_bad");
    ByteWriter good = CellBook().stream;
    auto cut = [&](size_t n) {
        ByteWriter b;
        b.Raw(good.Data(), n);
        return b;
    };
    Book encrypted;
    encrypted.Globals(SplitStrings(), false, true);
    encrypted.End();
    Book badIndex;
    badIndex.Globals(SplitStrings());
    LabelSst(&badIndex.stream, 0, 0, 99);
    badIndex.End();
    Book shortRecord;
    shortRecord.Globals(SplitStrings());
    {
        ByteWriter d = CellHead(0, 0, 0);
        d.U16(0);
        Rec(&shortRecord.stream, xls::kRecNumber, d);
    }
    shortRecord.End();
    ByteWriter biff5;
    Bof(&biff5, xls::kBofGlobals, 0x0500);
    Rec(&biff5, xls::kRecEof, ByteWriter());
    std::string goodFile;
    {
        std::wstring p = WriteCompound(folder.File(L"whole.xls"), L"Workbook", good);
        std::ifstream in(p.c_str(), std::ios::binary);
        goodFile.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    struct Case {
        const wchar_t* name;
        std::wstring path;
        BookStatus status;
    } cases[] = {
        {L"missing", folder.File(L"missing.xls"), BookStatus::NotFound},
        {L"text", WriteRaw(folder.File(L"text.xls"), "Druh;Lokalita\r\nCarabus;Praha\r\n"), BookStatus::NotWorkbook},
        {L"xlsx", WriteRaw(folder.File(L"renamed.xls"), std::string("PK\x03\x04\x14\0\0\0", 8) + std::string(600, 'z')),
         BookStatus::NotWorkbook},
        {L"no stream", WriteCompound(folder.File(L"nostream.xls"), nullptr, good), BookStatus::NotWorkbook},
        {L"Book stream", WriteCompound(folder.File(L"book.xls"), L"Book", biff5), BookStatus::OldFormat},
        {L"BIFF5 BOF", WriteCompound(folder.File(L"biff5.xls"), L"Workbook", biff5), BookStatus::OldFormat},
        {L"BIFF4 file", WriteRaw(folder.File(L"biff4.xls"), std::string("\x09\x04\x06\0\0\0\x10\0\0\0", 10)),
         BookStatus::OldFormat},
        {L"BIFF2 file", WriteRaw(folder.File(L"biff2.xls"), std::string("\x09\0\x04\0\x02\0\x10\0", 8)),
         BookStatus::OldFormat},
        {L"FILEPASS", WriteCompound(folder.File(L"pass.xls"), L"Workbook", encrypted.stream), BookStatus::Encrypted},
        {L"cut record", WriteCompound(folder.File(L"cut.xls"), L"Workbook", cut(good.Size() - 3)), BookStatus::Damaged},
        {L"no sheet EOF", WriteCompound(folder.File(L"noeof.xls"), L"Workbook", cut(good.Size() - 4)), BookStatus::Damaged},
        {L"SST index", WriteCompound(folder.File(L"index.xls"), L"Workbook", badIndex.stream), BookStatus::Damaged},
        {L"record length", WriteCompound(folder.File(L"len.xls"), L"Workbook", shortRecord.stream), BookStatus::Damaged},
    };
    for (const Case& k : cases) {
        std::vector<SheetTable> tables;
        EXPECT_EQ(k.status, ReadSheetTables(k.path.c_str(), &tables)) << std::string(k.name, k.name + wcslen(k.name));
        EXPECT_TRUE(tables.empty());
    }
    // A compound file cut short fails in some way and never crashes or hangs.
    std::wstring truncated = WriteRaw(folder.File(L"truncated.xls"), goodFile.substr(0, goodFile.size() / 2));
    std::vector<SheetTable> tables;
    EXPECT_NE(BookStatus::Ok, ReadSheetTables(truncated.c_str(), &tables));
}

TEST(SheetTables, AWorkbookConnectionListsSheetsAndDeliversTypedFields)
{
    wintest::ScopedTempFolder folder(L"SheetTables_connection");
    std::wstring path = WriteCompound(folder.File(L"cells.xls"), L"Workbook", CellBook().stream);
    zdata::Connection* c = zdata::Connection::Create();
    c->put_Mode(adModeRead);
    std::wstring cs = L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + L";Extended Properties=Excel 8.0;";
    ASSERT_EQ(S_OK, c->Open(cs.c_str()));
    zdata::Recordset* schema = nullptr;
    ASSERT_EQ(S_OK, c->OpenSchema(adSchemaTables, &schema));
    zdata::Fields* sf = nullptr;
    schema->get_Fields(&sf);
    zdata::Field* name = nullptr;
    sf->Item(L"TABLE_NAME", &name);
    VARIANT v;
    VariantInit(&v);
    name->get_Value(&v);
    EXPECT_EQ(std::wstring(L"Nálezy$"), v.bstrVal);
    VariantClear(&v);
    name->Release();
    sf->Release();
    schema->Release();

    zdata::Recordset* rs = zdata::Recordset::Create();
    rs->put_CursorLocation(adUseClient);
    ASSERT_EQ(S_OK, rs->Open(L"Nálezy", c, adOpenKeyset, adLockReadOnly, adCmdTable));
    long count = 0;
    rs->get_RecordCount(&count);
    EXPECT_EQ(3, count);
    zdata::Fields* fields = nullptr;
    rs->get_Fields(&fields);
    struct Expect {
        long ordinal;
        DataTypeEnum type;
        long size;
        VARTYPE vt;
    } expected[] = {{0, adVarWChar, 255, VT_BSTR}, {1, adDate, 8, VT_DATE}, {2, adDouble, 8, VT_R8},
                    {3, adBoolean, 2, VT_BOOL}, {4, adVarWChar, 255, VT_BSTR}};
    for (const Expect& e : expected) {
        zdata::Field* f = nullptr;
        ASSERT_EQ(S_OK, fields->Item(e.ordinal, &f));
        DataTypeEnum type;
        long size = 0;
        f->get_Type(&type);
        f->get_DefinedSize(&size);
        EXPECT_EQ(e.type, type) << e.ordinal;
        EXPECT_EQ(e.size, size) << e.ordinal;
        f->get_Value(&v);
        EXPECT_EQ(e.vt, v.vt) << e.ordinal;
        if (v.vt == VT_BOOL) {
            EXPECT_EQ(VARIANT_TRUE, v.boolVal);
        }
        VariantClear(&v);
        f->Release();
    }
    fields->Release();
    rs->Release();
    // A second open on another file replaces the first.
    c->Close();
    std::wstring bad = WriteRaw(folder.File(L"bad.xls"), "not a workbook");
    cs = L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + bad + L";Extended Properties=Excel 8.0;";
    EXPECT_TRUE(FAILED(c->Open(cs.c_str())));
    EXPECT_EQ(adStateClosed, c->State());
    c->Release();
}

namespace {

// The bytes as a stream in memory.
IStream* MemoryStream(const ByteWriter& bytes)
{
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    ULONG written = 0;
    stream->Write(bytes.Data(), (ULONG)bytes.Size(), &written);
    return stream;
}

size_t KeptCells(const SheetTable& t)
{
    size_t n = 0;
    for (size_t r = 0; r < t.rows.size(); ++r)
        n += t.rows[r].end() - t.rows[r].begin();
    return n;
}

}  // namespace

TEST(SheetTables, CraftedSheetsTakeWhatTheFileHoldsNotWhatItClaims)
{
    // One string of 65,535 characters shown by 3,000 cells: 196 million characters of text.
    std::vector<ByteWriter> longString = OneStringSst(65535, 3000);
    struct Case {
        const char* name;
        std::function<ByteWriter()> bytes;
        BookStatus status;
        std::function<void(const std::vector<SheetTable>&)> check;
    } cases[] = {
        {"cells at A1 and IV65536, the sheet listed ten times", CornerCellsBook, BookStatus::Ok,
         [](const std::vector<SheetTable>& tables) {
             ASSERT_EQ(1u, tables.size());
             const SheetTable& t = tables[0];
             EXPECT_EQ(256u, t.columns.size());
             EXPECT_EQ(L"F256", t.columns[255].name);
             ASSERT_EQ(65535u, t.rows.size());
             EXPECT_EQ(1u, KeptCells(t)) << "only the cells the file holds are kept";
             EXPECT_EQ(2.0, t.rows[65534][255].number);
             EXPECT_EQ(CellKind::Empty, t.rows[100][100].kind);
         }},
        {"a long shared string shown by 3,000 cells", [&] { return SharedStringColumn(3000, longString); },
         BookStatus::TooLarge, nullptr},
        {"the same string shown by 1,000 cells", [&] { return SharedStringColumn(1000, longString); },
         BookStatus::Ok,
         [](const std::vector<SheetTable>& tables) {
             ASSERT_EQ(1u, tables.size());
             ASSERT_EQ(999u, tables[0].rows.size());
             EXPECT_EQ(65535u, tables[0].rows[998][0].text.size());
             EXPECT_EQ(ColumnKind::LongText, tables[0].columns[0].kind);
         }},
        {"more cells than a sheet may bring",
         [] {
             return SparseBook(1, [](ByteWriter* s) {
                 // Rows of 256 cells, each row one MULRK record of 6 bytes a cell.
                 const size_t perRecord = xls::kMaxColumns, records = kMaxBookCells / perRecord + 1;
                 for (size_t i = 0; i < records; ++i) {
                     ByteWriter d;
                     d.U16((uint16_t)(i % 65536));
                     d.U16(0);
                     for (size_t k = 0; k < perRecord; ++k) {
                         d.U16(0);
                         d.U32((1u << 2) | 2);
                     }
                     d.U16((uint16_t)(perRecord - 1));
                     Rec(s, xls::kRecMulRk, d);
                 }
             });
         },
         BookStatus::TooLarge, nullptr},
        {"a sheet starting inside another", NestedSheetsBook, BookStatus::Damaged, nullptr},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        IStream* stream = MemoryStream(k.bytes());
        std::vector<SheetTable> tables;
        std::wstring large;
        EXPECT_EQ(k.status, ReadSheetTablesFromStream(stream, &tables, &large));
        stream->Release();
        EXPECT_EQ(k.status == BookStatus::TooLarge ? L"List" : L"", large);
        if (k.check)
            k.check(tables);
        else
            EXPECT_TRUE(tables.empty());
    }
}

namespace {

// The first error of a workbook connection to the file that does not open (empty when it opens).
std::wstring RefusalOf(const std::wstring& path)
{
    zdata::Connection* c = zdata::Connection::Create();
    c->put_Mode(adModeRead);
    std::wstring cs = L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + L";Extended Properties=Excel 8.0;";
    std::wstring text;
    if (FAILED(c->Open(cs.c_str()))) {
        zdata::Errors* errors = nullptr;
        if (SUCCEEDED(c->get_Errors(&errors)) && errors) {
            std::vector<std::wstring> texts = errors->Descriptions();
            errors->Release();
            text = texts.empty() ? L"(no error)" : texts[0];
        }
    }
    c->Release();
    return text;
}

}  // namespace

TEST(SheetTables, TheConnectionNamesTheSheetThatIsTooLarge)
{
    wintest::ScopedTempFolder folder(L"SheetTables_large");
    std::vector<ByteWriter> sst(1);
    sst[0].U32(1);
    sst[0].U32(1);
    sst[0].U16(4000);
    sst[0].U8(0);
    sst[0].Raw(std::string(4000, 'y').data(), 4000);
    // 40,000 cells of 4,000 characters: 160 million characters.
    std::wstring path = WriteCompound(folder.File(L"large.xls"), L"Workbook", SharedStringColumn(40000, sst));
    std::wstring text = RefusalOf(path);
    EXPECT_EQ(0u, text.find(L"List „List“ obsahuje víc dat, než lze načíst")) << std::string(text.begin(), text.end());
}

TEST(SheetTables, AFullSheetOfRealDataReadsWhole)
{
    wintest::ScopedTempFolder folder(L"SheetTables_full");
    std::wstring path = folder.File(L"full.xls");
    xls::SheetWriter w;
    ASSERT_EQ(BookStatus::Ok, w.Begin(path.c_str(), L"Nálezy", false));
    const wchar_t* header[] = {L"Druh", L"Lokalita", L"Datum", L"Počet", L"Poznámka", L"Sběratel"};
    for (int c = 0; c < 6; ++c)
        w.Text(0, c, header[c], wcslen(header[c]));
    for (int r = 1; r < xls::kMaxRows; ++r) {
        std::wstring species = L"Carabus " + std::to_wstring(r % 700);
        std::wstring place = L"Lokalita " + std::to_wstring(r);
        w.Text(r, 0, species.c_str(), species.size());
        w.Text(r, 1, place.c_str(), place.size());
        w.Number(r, 2, 30000 + r % 9000, xls::CellStyle::Date);
        w.Number(r, 3, r % 17, xls::CellStyle::General);
        w.Text(r, 4, L"pod kamenem", 11);
        w.Text(r, 5, L"J. Novák", 8);
    }
    ASSERT_EQ(BookStatus::Ok, w.Commit());
    std::vector<SheetTable> tables;
    ASSERT_EQ(BookStatus::Ok, ReadSheetTables(path.c_str(), &tables));
    ASSERT_EQ(1u, tables.size());
    const SheetTable& t = tables[0];
    ASSERT_EQ(6u, t.columns.size());
    ASSERT_EQ(65535u, t.rows.size());
    EXPECT_EQ(6u * 65535, KeptCells(t));
    EXPECT_EQ(L"Lokalita 65535", t.rows[65534][1].text);
    EXPECT_EQ(ColumnKind::Date, t.columns[2].kind);
    EXPECT_DOUBLE_EQ(30000 + 65535 % 9000, t.rows[65534][2].number);
    EXPECT_DOUBLE_EQ(65535 % 17, t.rows[65534][3].number);
}

TEST(SheetTables, ATimeOfDayStaysATime)
{
    wintest::ScopedTempFolder folder(L"SheetTables_time");
    Book b;
    b.Globals(SplitStrings());
    LabelSst(&b.stream, 0, 0, 0);
    Number(&b.stream, 1, 0, 2, 0.2736);   // 6:34 formatted as a date
    Number(&b.stream, 2, 0, 2, 1.25);     // 1 January 1900, 6:00
    b.End();
    std::vector<SheetTable> tables;
    ASSERT_EQ(BookStatus::Ok,
              ReadSheetTables(WriteCompound(folder.File(L"time.xls"), L"Workbook", b.stream).c_str(), &tables));
    ASSERT_EQ(2u, tables[0].rows.size());
    EXPECT_EQ(CellKind::Date, tables[0].rows[0][0].kind);
    EXPECT_DOUBLE_EQ(0.2736, tables[0].rows[0][0].number) << "30 December 1899 in OLE terms: a time";
    EXPECT_DOUBLE_EQ(OleDate(1900, 1, 1) + 0.25, tables[0].rows[1][0].number);
}

// The bounds hold for the workbook, not for each sheet: sheets each within them that bring more
// together are refused, naming the sheet where the total went over.
TEST(SheetTables, TheBoundsHoldForTheWholeWorkbook)
{
    const size_t chars = 32767;
    const uint16_t perSheet = (uint16_t)(kMaxBookTextChars / chars / 2 + 100);  // each sheet half and a bit
    std::vector<ByteWriter> sst = OneStringSst(chars, 2u * perSheet);
    ByteWriter two = SheetsBook({"Druhy", "Lokality"}, [&](ByteWriter* s, size_t) {
        for (uint16_t r = 0; r < perSheet; ++r)
            LabelSst(s, r, 0, 0);
    }, sst);
    ByteWriter one = SheetsBook({"Druhy"}, [&](ByteWriter* s, size_t) {
        for (uint16_t r = 0; r < perSheet; ++r)
            LabelSst(s, r, 0, 0);
    }, sst);
    struct Case {
        const char* name;
        const ByteWriter& bytes;
        BookStatus status;
        const wchar_t* large;
    } cases[] = {{"one such sheet", one, BookStatus::Ok, L""},
                 {"two such sheets", two, BookStatus::TooLarge, L"Lokality"}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        IStream* stream = MemoryStream(k.bytes);
        std::vector<SheetTable> tables;
        std::wstring large;
        EXPECT_EQ(k.status, ReadSheetTablesFromStream(stream, &tables, &large));
        stream->Release();
        EXPECT_EQ(k.large, large);
    }
}

// A damaged compound file is called damaged, not unreadable; a BIFF8 workbook whose stream is
// named "BOOK" (as some writers name it) is read as the same book under "Workbook".
TEST(SheetTables, TheStreamsNameAndTheFilesStructureDecideAsTheContentDoes)
{
    wintest::ScopedTempFolder folder(L"SheetTables_streams");
    std::wstring path = WriteCompound(folder.File(L"book.xls"), L"BOOK", CellBook().stream);
    std::vector<SheetTable> tables, expected;
    ASSERT_EQ(BookStatus::Ok, ReadSheetTables(path.c_str(), &tables));
    std::wstring standard = WriteCompound(folder.File(L"workbook.xls"), L"Workbook", CellBook().stream);
    ASSERT_EQ(BookStatus::Ok, ReadSheetTables(standard.c_str(), &expected));
    ASSERT_EQ(1u, tables.size());
    ASSERT_EQ(expected[0].rows.size(), tables[0].rows.size());
    for (size_t r = 0; r < tables[0].rows.size(); ++r)
        for (size_t c = 0; c < tables[0].columns.size(); ++c) {
            EXPECT_EQ(expected[0].rows[r][c].text, tables[0].rows[r][c].text);
            EXPECT_EQ(expected[0].rows[r][c].number, tables[0].rows[r][c].number);
        }
    // The export adds its sheet to it and writes the book as "Workbook", the old stream gone.
    xls::SheetWriter w;
    ASSERT_EQ(BookStatus::Ok, w.Begin(path.c_str(), L"Nový", true));
    w.Text(0, 0, L"Druh", 4);
    ASSERT_EQ(BookStatus::Ok, w.Commit());
    std::vector<xls::SheetInfo> sheets;
    HRESULT hr;
    ASSERT_EQ(BookStatus::Ok, xls::ReadWorkbookSheets(path.c_str(), &sheets, &hr));
    EXPECT_EQ(2u, sheets.size());
    xls::BookStream book;
    ASSERT_EQ(BookStatus::Ok, book.Open(path.c_str()));
    EXPECT_EQ(L"Workbook", book.Name());
    IStream* old = nullptr;
    EXPECT_TRUE(FAILED(book.Storage()->OpenStream(L"BOOK", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &old)));
    book.Close();

    // A chain that names a sector beyond the file: the connection says the workbook is damaged.
    compoundimage::Image f{wintest::ReadFileBytes(standard)};
    f.Put(f.FatAt(f.StreamChain(f.EntryAt(L"")).front()), 4000);
    std::wstring damaged = folder.File(L"poskozeny.xls");
    std::ofstream(damaged.c_str(), std::ios::binary) << f.bytes;
    EXPECT_EQ(L"Sešit je poškozený.", RefusalOf(damaged));
}

// Through a workbook connection, cells that show one shared string each deliver the whole
// string, and a row 256 columns wide that holds few values delivers them in their columns and
// NULL in all the others.
TEST(SheetTables, AConnectionDeliversSharedStringsAndSparseRowsAsTheSheetHoldsThem)
{
    wintest::ScopedTempFolder folder(L"SheetTables_sparse");
    ByteWriter book = SparseBook(1, [](ByteWriter* s) {
        Label(s, 0, 0, "Druh");
        Label(s, 0, 255, "Poznamka");
        for (uint16_t r = 1; r <= 3; ++r)
            LabelSst(s, r, 0, 0);
        Number(s, 2, 100, 0, 7);
        Label(s, 3, 255, "konec");
    }, OneStringSst(5000, 3));
    std::wstring path = WriteCompound(folder.File(L"sparse.xls"), L"Workbook", book);
    zdata::Connection* c = zdata::Connection::Create();
    c->put_Mode(adModeRead);
    ASSERT_EQ(S_OK, c->Open((L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + L";Extended Properties=Excel 8.0;").c_str()));
    zdata::Recordset* rs = zdata::Recordset::Create();
    rs->put_CursorLocation(adUseClient);
    ASSERT_EQ(S_OK, rs->Open(L"List", c, adOpenKeyset, adLockReadOnly, adCmdTable));
    zdata::Fields* fields = nullptr;
    rs->get_Fields(&fields);
    // Per row: the text of columns 0, 100 and 255 ("x": the long string; "": NULL).
    const std::vector<std::vector<std::wstring>> expected = {{L"x", L"", L""}, {L"x", L"7", L""}, {L"x", L"", L"konec"}};
    for (const auto& row : expected) {
        ASSERT_FALSE(rs->IsEOF());
        const long columns[] = {0, 1, 99, 100, 101, 254, 255};
        for (long f : columns) {
            zdata::Field* field = nullptr;
            ASSERT_EQ(S_OK, fields->Item(f, &field));
            VARIANT v;
            VariantInit(&v);
            ASSERT_EQ(S_OK, field->get_Value(&v));
            field->Release();
            std::wstring want = f == 0 ? row[0] : f == 100 ? row[1] : f == 255 ? row[2] : L"";
            std::wstring got = v.vt == VT_NULL ? L"" : v.vt == VT_R8 ? std::to_wstring((int)v.dblVal) : v.bstrVal;
            EXPECT_TRUE((want == L"x" ? std::wstring(5000, L'x') : want) == got) << "field " << f;
            VariantClear(&v);
        }
        rs->MoveNext();
    }
    EXPECT_TRUE(rs->IsEOF());
    fields->Release();
    rs->Release();
    c->Release();
}
