// Genuine Access 2000 files read through the MDBTools driver, read-only: the list of tables,
// the values of each column type, and the files that must be refused before the driver reads
// them. The files are real ones written by Access (%ZOR_ACCESS_FIXTURES%, by default the
// shared fixture folder); without them the tests are skipped.
#include <fstream>
#include <iterator>
#include "tests/dataaccess/adotest.h"
#include "tests/support/accessfixtures.h"

using namespace zdata;
using adotest::Ref;

namespace {

std::wstring Fixture(const wchar_t* name)
{
    return accessfixtures::Path(name);
}

Connection* OpenReadOnly(const std::wstring& path, HRESULT* hr)
{
    Connection* c = Connection::Create();
    c->put_Mode(adModeRead);
    *hr = c->Open(adotest::ConnectionStringFor(path).c_str());
    return c;
}

// The rows of a table of the file as a client snapshot, over a read-only connection.
void OpenTable(const std::wstring& path, const wchar_t* table, Ref<Connection>* c, Ref<Recordset>* rs)
{
    HRESULT hr;
    c->reset(OpenReadOnly(path, &hr));
    ASSERT_EQ(S_OK, hr) << adotest::FirstErrorOf(c->get());
    rs->reset(Recordset::Create());
    (*rs)->put_CursorLocation(adUseClient);
    ASSERT_EQ(S_OK, (*rs)->Open(table, c->get(), adOpenKeyset, adLockReadOnly, adCmdTable))
        << adotest::FirstErrorOf(c->get());
}

std::vector<std::pair<std::wstring, std::wstring>> TablesOf(Connection* c)
{
    std::vector<std::pair<std::wstring, std::wstring>> out;
    Ref<Recordset> rs;
    if (FAILED(c->OpenSchema(adSchemaTables, rs.out())))
        return out;
    Ref<Fields> fields;
    rs->get_Fields(fields.out());
    for (; !rs->IsEOF(); rs->MoveNext()) {
        Ref<Field> name, type;
        fields->Item(L"TABLE_NAME", name.out());
        fields->Item(L"TABLE_TYPE", type.out());
        VARIANT n, t;
        VariantInit(&n);
        VariantInit(&t);
        name->get_Value(&n);
        type->get_Value(&t);
        out.push_back({n.bstrVal, t.bstrVal});
        VariantClear(&n);
        VariantClear(&t);
    }
    return out;
}

// Copies a file into the folder, changed by the edit.
std::wstring CopyWith(const std::wstring& from, const wintest::ScopedTempFolder& folder, const wchar_t* name,
                      void (*edit)(std::string*))
{
    std::ifstream in(from.c_str(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    edit(&bytes);
    std::wstring to = folder.File(name);
    std::ofstream out(to.c_str(), std::ios::binary);
    out.write(bytes.data(), (std::streamsize)bytes.size());
    return to;
}

}  // namespace

TEST(AccessRoute, ListsTablesAndReadableSavedQueriesButNoSystemTables)
{
    std::wstring path = Fixture(L"queryTestV2000.mdb");
    if (path.empty())
        GTEST_SKIP() << "no Access fixtures";
    HRESULT hr;
    Ref<Connection> c(OpenReadOnly(path, &hr));
    ASSERT_EQ(S_OK, hr) << adotest::FirstErrorOf(c.get());
    auto tables = TablesOf(c.get());
    std::vector<std::wstring> plain;
    for (auto& t : tables) {
        if (t.first.compare(0, 4, L"MSys") == 0)
            EXPECT_EQ(L"SYSTEM TABLE", t.second);
        else if (t.second == L"TABLE")
            plain.push_back(t.first);
        else
            ADD_FAILURE() << "a saved query the driver cannot run is listed";
    }
    EXPECT_EQ((std::vector<std::wstring>{L"Table1", L"Table2", L"Table3"}), plain);
}

TEST(AccessRoute, DeliversEachColumnTypeTypedWithNulls)
{
    std::wstring path = Fixture(L"testV2000.mdb");
    if (path.empty())
        GTEST_SKIP() << "no Access fixtures";
    Ref<Connection> c;
    Ref<Recordset> rs;
    ASSERT_NO_FATAL_FAILURE(OpenTable(path, L"Table1", &c, &rs));
    long count = 0;
    rs->get_RecordCount(&count);
    EXPECT_EQ(2, count);
    struct Expect {
        const wchar_t* column;
        DataTypeEnum type;
        VARTYPE vt;
        const wchar_t* first;  // the first row's value as text in the user's (Czech) locale
    } expected[] = {
        {L"A", adVarWChar, VT_BSTR, L"abcdefg"},      {L"B", adVarWChar, VT_BSTR, L"hijklmnop"},
        {L"C", adUnsignedTinyInt, VT_UI1, L"2"},      {L"D", adSmallInt, VT_I2, L"222"},
        {L"E", adInteger, VT_I4, L"333333333"},       {L"F", adDouble, VT_R8, L"444,555"},
        {L"G", adDate, VT_DATE, L"21.09.1974"},       {L"H", adNumeric, VT_DECIMAL, L"3,5"},
        {L"I", adBoolean, VT_BOOL, L"-1"},
    };
    Ref<Fields> fields;
    rs->get_Fields(fields.out());
    for (const Expect& e : expected) {
        SCOPED_TRACE(testing::Message() << "column " << std::string(e.column, e.column + wcslen(e.column)));
        Ref<Field> f;
        ASSERT_EQ(S_OK, fields->Item(e.column, f.out()));
        DataTypeEnum type;
        f->get_Type(&type);
        EXPECT_EQ(e.type, type);
        VARIANT v;
        VariantInit(&v);
        ASSERT_EQ(S_OK, f->get_Value(&v));
        if (e.vt == VT_DATE) {
            ASSERT_EQ(VT_DATE, v.vt);
            SYSTEMTIME st;
            VariantTimeToSystemTime(v.date, &st);
            EXPECT_EQ(1974, st.wYear);
            EXPECT_EQ(9, st.wMonth);
            EXPECT_EQ(21, st.wDay);
        } else if (e.vt == VT_BOOL) {
            ASSERT_EQ(VT_BOOL, v.vt);
            EXPECT_EQ(VARIANT_TRUE, v.boolVal);
        } else {
            VARIANT text;
            VariantInit(&text);
            ASSERT_EQ(S_OK, VariantChangeType(&text, &v, 0, VT_BSTR)) << v.vt;
            EXPECT_EQ(std::wstring(e.first), text.bstrVal);
            VariantClear(&text);
        }
        VariantClear(&v);
    }
}

TEST(AccessRoute, DecimalColumnsComeAsNumbers)
{
    std::wstring path = Fixture(L"fixedNumericTestV2000.mdb");
    if (path.empty())
        GTEST_SKIP() << "no Access fixtures";
    Ref<Connection> c;
    Ref<Recordset> rs;
    ASSERT_NO_FATAL_FAILURE(OpenTable(path, L"test", &c, &rs));
    Ref<Fields> fields;
    rs->get_Fields(fields.out());
    // A memo stays long text; the Decimal columns hold numbers.
    struct Expect {
        const wchar_t* column;
        DataTypeEnum type;
        double value;
    } expected[] = {{L"col1", adLongVarWChar, 0}, {L"col2", adNumeric, 1}, {L"col3", adNumeric, 0},
                    {L"col4", adNumeric, 0},      {L"col5", adNumeric, 4}, {L"col6", adNumeric, -1},
                    {L"col7", adNumeric, 1}};
    for (const Expect& e : expected) {
        SCOPED_TRACE(testing::Message() << "column " << std::string(e.column, e.column + wcslen(e.column)));
        Ref<Field> f;
        ASSERT_EQ(S_OK, fields->Item(e.column, f.out()));
        DataTypeEnum type;
        f->get_Type(&type);
        EXPECT_EQ(e.type, type);
        VARIANT v, number;
        VariantInit(&v);
        VariantInit(&number);
        ASSERT_EQ(S_OK, f->get_Value(&v));
        if (e.type == adNumeric) {
            EXPECT_NE(VT_BSTR, v.vt);
            ASSERT_EQ(S_OK, VariantChangeType(&number, &v, 0, VT_R8));
            EXPECT_EQ(e.value, number.dblVal);
        } else {
            EXPECT_EQ(VT_BSTR, v.vt);
        }
        VariantClear(&v);
    }
}

TEST(AccessRoute, DeletedColumnsAndOverflowRowsReadAsAccessShowsThem)
{
    struct Case {
        const wchar_t* file;
        const wchar_t* table;
        long rows;
        long columns;
    } cases[] = {
        {L"delColTestV2000.mdb", L"Table1", -1, 4},
        {L"overflowTestV2000.mdb", L"Table1", -1, 9},
        {L"fixedTextTestV2000.mdb", L"users", -1, 10},
    };
    for (const Case& k : cases) {
        std::wstring path = Fixture(k.file);
        if (path.empty())
            GTEST_SKIP() << "no Access fixtures";
        HRESULT hr;
        Ref<Connection> c(OpenReadOnly(path, &hr));
        ASSERT_EQ(S_OK, hr);
        Ref<Recordset> rs(Recordset::Create());
        rs->put_CursorLocation(adUseClient);
        ASSERT_EQ(S_OK, rs->Open((std::wstring(L"SELECT * FROM [") + k.table + L"]").c_str(), c.get(),
                                 adOpenKeyset, adLockReadOnly, adCmdText));
        Ref<Fields> fields;
        rs->get_Fields(fields.out());
        long n = 0, rows = 0;
        fields->get_Count(&n);
        rs->get_RecordCount(&rows);
        EXPECT_EQ(k.columns, n);
        EXPECT_GT(rows, 0);
        // Every value reads without error, NULLs as VT_NULL.
        for (; !rs->IsEOF(); rs->MoveNext())
            for (long i = 0; i < n; ++i) {
                Ref<Field> f;
                fields->Item(i, f.out());
                VARIANT v;
                VariantInit(&v);
                EXPECT_EQ(S_OK, f->get_Value(&v));
                VariantClear(&v);
            }
    }
}

TEST(AccessRoute, RefusesFilesTheDriverMustNotSee)
{
    std::wstring good = Fixture(L"testV2000.mdb");
    if (good.empty())
        GTEST_SKIP() << "no Access fixtures";
    wintest::ScopedTempFolder folder(L"AccessRoute_bad");
    struct Case {
        const wchar_t* name;
        void (*edit)(std::string*);
        const wchar_t* message;  // part of the refusal
    } cases[] = {
        {L"truncated.mdb", [](std::string* b) { b->resize(b->size() - 1000); }, L"zkrácený"},
        {L"short.mdb", [](std::string* b) { b->resize(100); }, L"zkrácený"},
        {L"jet3.mdb", [](std::string* b) { (*b)[0x14] = 0; }, L"Jet 3"},
        {L"damaged.mdb", [](std::string* b) { memset(&(*b)[4096 * 2], 0xEE, 64); }, L"je poškozený"},
        {L"notaccess.mdb", [](std::string* b) { memcpy(&(*b)[4], "Standard Xyz DB", 15); }, L"není databáze"},
        {L"encrypted.mdb", [](std::string* b) { (*b)[0x3F] ^= 0x5A; }, L"zašifrovaný"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << std::string(k.name, k.name + wcslen(k.name)));
        std::wstring path = CopyWith(good, folder, k.name, k.edit);
        HRESULT hr;
        Ref<Connection> c(OpenReadOnly(path, &hr));
        EXPECT_TRUE(FAILED(hr));
        EXPECT_NE(std::wstring::npos, adotest::FirstErrorOf(c.get()).find(k.message)) << adotest::FirstErrorOf(c.get()).c_str();
        EXPECT_EQ(adStateClosed, c->State());
    }
}
