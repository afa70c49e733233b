// The database object: asynchronous open with its completion message, schema discovery, the
// view it creates, the cached recordsets, error boxes and closing. Runs on generated sample
// databases in temporary folders, checked against plain SQL.
#include <gtest/gtest.h>
#include "tests/core/sampletemplate.h"

#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "core/database.h"
#include "tools/testkit/rawodbc.h"
#include "tools/sampledb/sampledb.h"
#include "core/zm_messages.h"
#include "tests/core/dbfixture.h"
#include "tests/support/wintest.h"

using zdata::Recordset;
using zor::RawOdbc;
using Rows = std::vector<std::vector<std::wstring>>;

namespace {

// ---- a hidden main window that records ZM_DB_OPENED ----

struct OpenedRecord {
    WPARAM wParam;
    LPARAM lParam;
    int isOpen;
};

std::vector<OpenedRecord> g_opened;
CDatabase* g_db = nullptr;

bool RecordOpened(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (msg != ZM_DB_OPENED)
        return false;
    g_opened.push_back({ wParam, lParam, g_db ? g_db->IsOpen() : -1 });
    *result = 0;
    return true;
}

HWND MakeMainWindow()
{
    return dbtest::MakeMainWindow(RecordOpened, 400, 300);
}

std::wstring Folder(const char* prefix)
{
    return wintest::MakeTempFolder(dbtest::TestFolderName(prefix).c_str());
}

// One sample database per variant, made once and copied for each test.
std::wstring SampleTemplate(bool orphan, bool empty)
{
    zor::SampleDbOptions options;
    options.records = 300;
    options.orphanAttribute = orphan;
    options.empty = empty;
    int key = (orphan ? 1 : 0) + (empty ? 2 : 0);
    return SharedSampleTemplate((L"dbtemplate" + std::to_wstring(key)).c_str(), options);
}

int CountOf(RawOdbc& db, const std::wstring& sql)
{
    Rows rows;
    EXPECT_TRUE(db.Query(sql, rows)) << std::string(sql.begin(), sql.end());
    return rows.empty() ? -1 : _wtoi(rows[0][0].c_str());
}

int ColumnsOf(RawOdbc& db, const wchar_t* table)
{
    return CountOf(db, std::wstring(L"SELECT COUNT(*) FROM pragma_table_info('") + table + L"')");
}

// Every row of a table in rowid order as one text.
std::wstring Dump(const std::wstring& path, const wchar_t* table, const wchar_t* columns = L"*")
{
    RawOdbc db;
    EXPECT_TRUE(db.Open(path, false));
    Rows rows;
    EXPECT_TRUE(db.Query(std::wstring(L"SELECT ") + columns + L" FROM " + table + L" ORDER BY rowid", rows));
    std::wstring text;
    for (const auto& r : rows) {
        for (const auto& v : r)
            text += v + L"|";
        text += L"\n";
    }
    return text;
}

class DatabaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_opened.clear();
        main_ = MakeMainWindow();
        ASSERT_TRUE(main_ != nullptr);
        folder_ = Folder("db_");
        path_ = folder_ + L"\\ZorBase.mdb";
    }
    void TearDown() override
    {
        delete db_;
        db_ = nullptr;
        g_db = nullptr;
        wintest::PumpMessages(0);
        DestroyWindow(main_);
        free(settings_.DBName);
    }
    void CopySample(bool orphan = false, bool empty = false)
    {
        std::wstring from = SampleTemplate(orphan, empty);
        ASSERT_FALSE(from.empty());
        ASSERT_TRUE(CopyFileW(from.c_str(), path_.c_str(), FALSE));
    }
    void Create()
    {
        db_ = new CDatabase(main_, GetModuleHandleW(nullptr));
        g_db = db_;
    }
    // Starts the open and waits for its message; then waits a little longer, so that a second
    // message would be seen too.
    void OpenAndWait(HWND progress = nullptr)
    {
        if (!db_)
            Create();
        free(settings_.DBName);
        settings_.ConnType = 1;
        settings_.DBName = _wcsdup(path_.c_str());
        size_t before = g_opened.size();
        db_->Open(progress, &settings_);
        EXPECT_TRUE(wintest::PumpUntil([&] { return g_opened.size() > before; }, 20000));
        wintest::PumpMessages(200);
    }

    HWND main_ = nullptr;
    std::wstring folder_, path_;
    CDatabase* db_ = nullptr;
    ConnSettings settings_ = {};
};

// ---- open and the completion message ----

TEST_F(DatabaseTest, AsyncOpenPostsDbOpenedOnceWithTheProgressWindow)
{
    CopySample();
    HWND splash = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    HWND status = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 200, 20, splash,
                                  (HMENU)(INT_PTR)kProgressStatusControl, GetModuleHandleW(nullptr), nullptr);
    Create();
    settings_.DBName = _wcsdup(path_.c_str());
    ASSERT_EQ(S_OK, db_->Open(splash, &settings_));
    EXPECT_TRUE(g_opened.empty());  // the outcome comes through the message loop
    wchar_t text[80] = L"";
    GetWindowTextW(status, text, 80);
    EXPECT_STREQ(L"Otevírám databázi ...", text);
    EXPECT_TRUE(wintest::PumpUntil([] { return !g_opened.empty(); }, 20000));
    wintest::PumpMessages(300);
    ASSERT_EQ(1u, g_opened.size());
    EXPECT_EQ(0u, g_opened[0].wParam);
    EXPECT_EQ((LPARAM)splash, g_opened[0].lParam);
    EXPECT_EQ(1, g_opened[0].isOpen);  // State is set before the message arrives
    EXPECT_EQ(1, db_->IsOpen());
    EXPECT_EQ(1, db_->Close());
    EXPECT_EQ(0, db_->IsOpen());
    DestroyWindow(splash);
}

TEST_F(DatabaseTest, MissingFilePostsOnceAndCreatesNothing)
{
    OpenAndWait();
    ASSERT_EQ(1u, g_opened.size());
    EXPECT_EQ(0, g_opened[0].isOpen);
    EXPECT_EQ(0, db_->IsOpen());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path_.c_str()));
    EXPECT_EQ(0, db_->Close());
}

TEST_F(DatabaseTest, FileThatIsNotADatabasePostsOnceAndStaysAsItWas)
{
    const std::string content = "Seznam lokalit, ne databáze.\r\n";
    {
        std::ofstream f(std::string(path_.begin(), path_.end()), std::ios::binary);
        f << content;
    }
    OpenAndWait();
    ASSERT_EQ(1u, g_opened.size());
    EXPECT_EQ(0, db_->IsOpen());
    std::ifstream f(std::string(path_.begin(), path_.end()), std::ios::binary);
    std::string back((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, back);
}

TEST_F(DatabaseTest, LockedFilePostsOnceAndTheLockHoldersChangeStaysItsOwn)
{
    CopySample();
    std::wstring before = Dump(path_, L"KEYWORDS", L"NAME");
    zdata::Connection* other = zdata::Connection::Create();
    ASSERT_EQ(S_OK, other->Open((L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path_ + L";").c_str()));
    ASSERT_EQ(S_OK, other->BeginTrans());
    ASSERT_EQ(S_OK, other->Execute(L"UPDATE KEYWORDS SET NAME = NAME || 'x'"));

    OpenAndWait();
    ASSERT_EQ(1u, g_opened.size());
    EXPECT_EQ(db_->IsOpen(), g_opened[0].isOpen);
    EXPECT_EQ(1, db_->IsOpen());  // readers are not locked out
    if (db_->IsOpen()) {
        // A reader sees the file as it was before the other connection's transaction.
        Recordset* rs = db_->OpenQuery(L"SELECT NAME FROM KEYWORDS ORDER BY rowid", adUseClient,
                                       adOpenKeyset, adLockReadOnly);
        std::wstring seen;
        for (HRESULT hr = rs->MoveFirst(); SUCCEEDED(hr) && !rs->IsEOF(); hr = rs->MoveNext()) {
            zdata::Fields* fields = nullptr;
            zdata::Field* field = nullptr;
            VARIANT v;
            VariantInit(&v);
            rs->get_Fields(&fields);
            fields->Item(0L, &field);
            field->get_Value(&v);
            seen += std::wstring(v.vt == VT_BSTR ? v.bstrVal : L"") + L"|\n";
            VariantClear(&v);
            field->Release();
            fields->Release();
        }
        CDatabase::CloseRecordset(rs);
        EXPECT_EQ(before, seen);
    }
    db_->Close();
    other->RollbackTrans();
    other->Close();
    other->Release();
    EXPECT_EQ(before, Dump(path_, L"KEYWORDS", L"NAME"));
}

TEST_F(DatabaseTest, OpenRefusedBeforeTheAttemptStillPostsOnce)
{
    CopySample();
    OpenAndWait();
    ASSERT_EQ(1u, g_opened.size());
    ASSERT_EQ(1, db_->IsOpen());
    // A second Open on an open connection is refused at once; the window still hears of it.
    EXPECT_TRUE(FAILED(db_->Open(nullptr, &settings_)));
    wintest::PumpMessages(300);
    EXPECT_EQ(2u, g_opened.size());
    EXPECT_EQ(1, db_->IsOpen());
}

TEST_F(DatabaseTest, ReopenAfterCloseWorksAndPostsOncePerOpen)
{
    CopySample();
    OpenAndWait();
    ASSERT_EQ(1, db_->IsOpen());
    EXPECT_EQ(1, db_->Close());
    OpenAndWait();
    EXPECT_EQ(2u, g_opened.size());
    EXPECT_EQ(1, db_->IsOpen());
    EXPECT_EQ(1, db_->DiscoverSchema());
}

// ---- the events sink ----

TEST(ConnEvents, ReferenceCountingAndInterfaces)
{
    CConnEvents* sink = new CConnEvents(nullptr);
    EXPECT_EQ(1, sink->RefCount);
    void* unknown = nullptr;
    ASSERT_EQ(S_OK, sink->QueryInterface(IID_IUnknown, &unknown));
    EXPECT_EQ(static_cast<zdata::ConnectionEventsVt*>(sink), unknown);
    EXPECT_EQ(2, sink->RefCount);
    void* events = nullptr;
    ASSERT_EQ(S_OK, sink->QueryInterface(zdata::IID_ConnectionEvents, &events));
    EXPECT_EQ(3, sink->RefCount);
    void* other = (void*)1;
    EXPECT_EQ(E_NOINTERFACE, sink->QueryInterface(IID_IConnectionPointContainer, &other));
    EXPECT_EQ(nullptr, other);
    EXPECT_EQ(3, sink->RefCount);
    EXPECT_EQ(2u, sink->Release());
    EXPECT_EQ(1u, sink->Release());
    EXPECT_EQ(0u, sink->Release());  // deleted
}

TEST(ConnEvents, ConnectCompletePostsOnlyWhenAnOpenWaitsAndLeavesTheStatus)
{
    g_opened.clear();
    HWND main = MakeMainWindow();
    HWND progress = (HWND)(INT_PTR)0x1234;
    CConnEvents* sink = new CConnEvents(main);
    sink->ProgressWindow = progress;
    EventStatusEnum status = adStatusErrorsOccurred;
    EXPECT_EQ(S_OK, sink->ConnectComplete(nullptr, &status, nullptr));
    wintest::PumpMessages(50);
    EXPECT_TRUE(g_opened.empty());  // no Open was waiting
    sink->ExpectCompletion();
    EXPECT_EQ(S_OK, sink->ConnectComplete(nullptr, &status, nullptr));
    EXPECT_EQ(S_OK, sink->ConnectComplete(nullptr, &status, nullptr));
    EXPECT_EQ(adStatusErrorsOccurred, status);
    EXPECT_EQ(S_OK, sink->Disconnect(&status, nullptr));
    wintest::PumpMessages(50);
    ASSERT_EQ(1u, g_opened.size());
    EXPECT_EQ((LPARAM)progress, g_opened[0].lParam);
    sink->Release();
    DestroyWindow(main);
}

TEST_F(DatabaseTest, ConstructionAdvisesTheSinkHoldingOneReference)
{
    Create();
    ASSERT_TRUE(db_->ConnectionPoint != nullptr);
    EXPECT_NE(0u, db_->AdviseCookie);
    EXPECT_EQ(2, db_->Events->RefCount);  // ours and the connection point's
    for (int k = 0; k < RS_COUNT; k++)
        EXPECT_EQ(nullptr, db_->RecordsetSlot((CachedRecordset)k));
    EXPECT_EQ(0, db_->SysTreeAttrs->GetCount());
    EXPECT_EQ(PTRARRAY_OWNS_ITEMS, db_->LookupCache->OwnMode);
    EXPECT_EQ(4, db_->LookupCache->GrowBy);
    EXPECT_EQ(0, db_->IsOpen());
    EXPECT_EQ(0, db_->Close());
}

TEST_F(DatabaseTest, DestructionUnadvisesAndReleasesTheSink)
{
    Create();
    CConnEvents* sink = db_->Events;
    sink->AddRef();  // keep it alive to look at it afterwards
    EXPECT_EQ(3, sink->RefCount);
    delete db_;
    db_ = nullptr;
    g_db = nullptr;
    EXPECT_EQ(1, sink->RefCount);  // the connection point's and the object's references are gone
    EXPECT_EQ(0u, sink->Release());
}

// ---- schema discovery ----

TEST_F(DatabaseTest, DiscoverSchemaGivesTheColumnCountsAndOrdinalsOfTheFile)
{
    CopySample();
    OpenAndWait();
    ASSERT_EQ(1, db_->IsOpen());
    ASSERT_EQ(1, db_->DiscoverSchema());

    RawOdbc raw;
    ASSERT_TRUE(raw.Open(path_, false));
    int r = ColumnsOf(raw, L"ZORNACOLLS");
    int s = ColumnsOf(raw, L"SPECIES");
    int f = ColumnsOf(raw, L"FEATURES");
    int l = ColumnsOf(raw, L"LITERATURE");
    EXPECT_EQ(r, db_->RecordColumnCount);
    EXPECT_EQ(r + s, db_->FirstFeatureColumn);
    EXPECT_EQ(r + s + f, db_->FeatureBlockEnd);
    EXPECT_EQ(l, db_->LiteratureColumnCount);
    ASSERT_EQ(r + s + f, db_->RecordViewFields->GetCount());
    EXPECT_STREQ(L"ID", db_->GetRecordViewFields()[0]);
    EXPECT_STREQ(L"NAME", db_->GetRecordViewFields()[r]);  // first SPECIES column
    EXPECT_STREQ(L"LOCID", db_->GetRecordViewFields()[r + s]);  // first FEATURES column
    ASSERT_EQ(l + 3, db_->LitViewFields->GetCount());
    EXPECT_STREQ(L"ID", db_->GetLitViewFields()[0]);
    // Duplicate names of the views come numbered, so that they can be sorted by.
    EXPECT_STREQ(L"SYSID:1", db_->GetRecordViewFields()[r + 1]);
    EXPECT_STREQ(L"NAME:1", db_->GetRecordViewFields()[r + s + 1]);
    EXPECT_STREQ(L"NAME:1", db_->GetLitViewFields()[l]);
    EXPECT_STREQ(L"NAME:2", db_->GetLitViewFields()[l + 1]);
    EXPECT_STREQ(L"NAME:3", db_->GetLitViewFields()[l + 2]);

    struct { const wchar_t* table; CPtrArray* list; } lists[] = {
        { L"SYSTREE", db_->SysTreeAttrs }, { L"LOCTREE", db_->LocTreeAttrs },
        { L"SPECIES", db_->SpeciesAttrs }, { L"FEATURES", db_->FeatureAttrs },
        { L"ZORNACOLLS", db_->RecordAttrs },
    };
    int total = 0;
    for (auto& t : lists) {
        std::wstring table = t.table;
        EXPECT_EQ(CountOf(raw, L"SELECT COUNT(*) FROM CUSTOMATTRIBUTES WHERE TABLENAME = '" + table + L"'"),
                  t.list->GetCount());
        for (int k = 0; k < t.list->GetCount(); k++) {
            CustomAttrDef* def = (CustomAttrDef*)t.list->GetItems()[k];
            int cid = CountOf(raw, L"SELECT cid FROM pragma_table_info('" + table + L"') WHERE name = '"
                                       + def->FieldName + L"'");
            EXPECT_EQ(cid, def->ColumnOrdinal) << std::string(table.begin(), table.end());
            EXPECT_GT(def->ColumnOrdinal, 0);
            Rows row;
            ASSERT_TRUE(raw.Query(L"SELECT POSID, ATTRTYPE, IFNULL(ATTRSIZE, -1), IFNULL(KEYFLAG, 0), "
                                  L"IFNULL(TABNAME, ''), IFNULL(CAPTION, '') FROM CUSTOMATTRIBUTES "
                                  L"WHERE TABLENAME = '" + table + L"' AND FIELDNAME = '" + def->FieldName + L"'",
                                  row));
            ASSERT_EQ(1u, row.size());
            EXPECT_EQ(_wtoi(row[0][0].c_str()), def->Position);
            EXPECT_EQ(_wtoi(row[0][1].c_str()), def->Type);
            EXPECT_EQ(_wtoi(row[0][2].c_str()), def->Size);
            EXPECT_EQ(_wtoi(row[0][3].c_str()) != 0, def->KeyFlag != 0);
            EXPECT_EQ(row[0][4], std::wstring(def->TabName));
            EXPECT_EQ(row[0][5].substr(0, 63), std::wstring(def->Caption));
            if (k > 0) {  // ORDER BY POSID
                EXPECT_LE(((CustomAttrDef*)t.list->GetItems()[k - 1])->Position, def->Position);
            }
        }
        total += t.list->GetCount();
    }
    EXPECT_GT(total, 0);  // the sample has attributes of every kind

    // The literature list starts with the four built-in attributes.
    ASSERT_GE(db_->LiteratureAttrs->GetCount(), 4);
    const wchar_t* names[4] = { L"IYEAR", L"INUMBER", L"IVOLUME", L"IPAGES" };
    const wchar_t* captions[4] = { L"Rok", L"Číslo", L"Oddíl", L"Strany" };
    for (int k = 0; k < 4; k++) {
        CustomAttrDef* def = (CustomAttrDef*)db_->LiteratureAttrs->GetItems()[k];
        EXPECT_STREQ(names[k], def->FieldName);
        EXPECT_STREQ(captions[k], def->Caption);
        EXPECT_EQ(6 + k, def->ColumnOrdinal);
        EXPECT_STREQ(L"", def->TabName);
    }
    EXPECT_EQ(CountOf(raw, L"SELECT COUNT(*) FROM CUSTOMATTRIBUTES WHERE TABLENAME = 'LITERATURE'") + 4,
              db_->LiteratureAttrs->GetCount());

    // A second discovery rebuilds the lists instead of appending to them.
    int species = db_->SpeciesAttrs->GetCount();
    int literature = db_->LiteratureAttrs->GetCount();
    ASSERT_EQ(1, db_->DiscoverSchema());
    EXPECT_EQ(species, db_->SpeciesAttrs->GetCount());
    EXPECT_EQ(literature, db_->LiteratureAttrs->GetCount());
}

TEST_F(DatabaseTest, AttributeWithoutAColumnNeverReadsOrWritesColumnZero)
{
    CopySample(true);
    OpenAndWait();
    ASSERT_EQ(1, db_->DiscoverSchema());
    CPtrArray* lists[] = { db_->SysTreeAttrs, db_->LocTreeAttrs, db_->SpeciesAttrs,
                           db_->FeatureAttrs, db_->RecordAttrs };
    CustomAttrDef* orphan = nullptr;
    CPtrArray* owner = nullptr;
    for (CPtrArray* list : lists)
        for (int k = 0; k < list->GetCount(); k++) {
            CustomAttrDef* def = (CustomAttrDef*)list->GetItems()[k];
            if (def->ColumnOrdinal == kNoColumn) {
                orphan = def;
                owner = list;
            }
        }
    ASSERT_TRUE(orphan != nullptr) << "the variant has an attribute without a column";

    const wchar_t* table = owner == db_->SysTreeAttrs ? L"SYSTREE"
                         : owner == db_->LocTreeAttrs ? L"LOCTREE"
                         : owner == db_->SpeciesAttrs ? L"SPECIES"
                         : owner == db_->FeatureAttrs ? L"FEATURES" : L"ZORNACOLLS";
    std::wstring before = Dump(path_, table);
    std::wstring sql = std::wstring(L"SELECT * FROM ") + table + L" ORDER BY rowid";
    Recordset* rs = db_->OpenQuery(sql.c_str(), adUseServer, adOpenKeyset, adLockOptimistic);
    ASSERT_EQ(S_OK, rs->MoveFirst());
    zdata::Fields* fields = nullptr;
    ASSERT_EQ(S_OK, rs->get_Fields(&fields));
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(S_FALSE, GetAttrValue(fields, orphan, &v));
    EXPECT_EQ(VT_EMPTY, v.vt);
    VARIANT value;
    value.vt = VT_I4;
    value.lVal = 987654;
    EXPECT_EQ(S_FALSE, PutAttrValue(fields, orphan, value));
    long editMode = -1;
    rs->get_EditMode(&editMode);
    EXPECT_EQ(0, editMode);  // nothing pending: column 0 was not touched
    rs->Update();
    fields->Release();
    CDatabase::CloseRecordset(rs);
    EXPECT_EQ(before, Dump(path_, table));
}

TEST_F(DatabaseTest, MatchColumnOrdinalsIsCaseSensitiveAndResetsUnmatched)
{
    CopySample();
    OpenAndWait();
    CPtrArray list(PTRARRAY_OWNS_ITEMS, 4, 4);
    const wchar_t* names[3] = { L"NAME", L"name", L"IYEAR" };
    for (const wchar_t* n : names) {
        CustomAttrDef* def = (CustomAttrDef*)calloc(1, sizeof(CustomAttrDef));
        wcscpy(def->FieldName, n);
        def->ColumnOrdinal = 5;  // stale value from somewhere else
        list.Add(def);
    }
    Recordset* rs = db_->OpenQuery(L"SELECT * FROM LITERATURE WHERE 0 = 1", adUseServer,
                                   adOpenKeyset, adLockReadOnly);
    RawOdbc raw;
    ASSERT_TRUE(raw.Open(path_, false));
    EXPECT_EQ(ColumnsOf(raw, L"LITERATURE"), MatchColumnOrdinals(&list, rs));
    EXPECT_EQ(1, ((CustomAttrDef*)list.GetItems()[0])->ColumnOrdinal);
    EXPECT_EQ(kNoColumn, ((CustomAttrDef*)list.GetItems()[1])->ColumnOrdinal);
    EXPECT_EQ(6, ((CustomAttrDef*)list.GetItems()[2])->ColumnOrdinal);
    CDatabase::CloseRecordset(rs);
}

TEST_F(DatabaseTest, LitViewIsCreatedOnTheFirstOpenAndNotAgainOnTheSecond)
{
    CopySample();
    {
        RawOdbc raw;
        ASSERT_TRUE(raw.Open(path_, false));
        ASSERT_TRUE(raw.Exec(L"DROP VIEW LITVIEW"));
        EXPECT_EQ(0, CountOf(raw, L"SELECT COUNT(*) FROM sqlite_master WHERE name = 'LITVIEW'"));
    }
    OpenAndWait();
    ASSERT_EQ(1, db_->DiscoverSchema());
    int l = db_->LiteratureColumnCount;
    ASSERT_EQ(l + 3, db_->LitViewFields->GetCount());
    EXPECT_STREQ(L"NAME:1", db_->GetLitViewFields()[l]);  // the publisher
    EXPECT_STREQ(L"NAME:3", db_->GetLitViewFields()[l + 2]);  // the first author
    // Every column of the view sorts, the duplicate names included.
    for (int k = 0; k < db_->LitViewFields->GetCount(); k++) {
        std::wstring sql = std::wstring(L"SELECT * FROM LITVIEW ORDER BY ") + db_->GetLitViewFields()[k];
        Recordset* rs = db_->OpenQuery(sql.c_str(), adUseServer, adOpenKeyset, adLockReadOnly);
        long state = 0;
        rs->get_State(&state);
        EXPECT_EQ(adStateOpen, state) << "ORDER BY column " << k;
        CDatabase::CloseRecordset(rs);
    }
    int publications = 0;
    {
        RawOdbc raw;
        ASSERT_TRUE(raw.Open(path_, false));
        EXPECT_EQ(1, CountOf(raw, L"SELECT COUNT(*) FROM sqlite_master WHERE type = 'view' AND name = 'LITVIEW'"));
        publications = CountOf(raw, L"SELECT COUNT(*) FROM LITERATURE");
        // Every publication once, also those without publisher, periodical or first author.
        EXPECT_EQ(publications, CountOf(raw, L"SELECT COUNT(*) FROM LITVIEW"));
    }
    ASSERT_EQ(1, db_->Close());

    // Mark the view, so that a second creation would show.
    {
        RawOdbc raw;
        ASSERT_TRUE(raw.Open(path_, false));
        Rows rows;
        ASSERT_TRUE(raw.Query(L"SELECT sql FROM sqlite_master WHERE name = 'LITVIEW'", rows));
        ASSERT_EQ(1u, rows.size());
        ASSERT_TRUE(raw.Exec(L"DROP VIEW LITVIEW"));
        ASSERT_TRUE(raw.Exec(rows[0][0] + L" /* marked */"));
    }
    OpenAndWait();
    ASSERT_EQ(1, db_->DiscoverSchema());
    EXPECT_EQ(l + 3, db_->LitViewFields->GetCount());
    RawOdbc raw;
    ASSERT_TRUE(raw.Open(path_, false));
    Rows rows;
    ASSERT_TRUE(raw.Query(L"SELECT sql FROM sqlite_master WHERE name = 'LITVIEW'", rows));
    ASSERT_EQ(1u, rows.size());
    EXPECT_NE(std::wstring::npos, rows[0][0].find(L"/* marked */"));
}

TEST_F(DatabaseTest, DiscoverSchemaFailsCleanlyWhenAProbedViewIsMissing)
{
    CopySample();
    {
        RawOdbc raw;
        ASSERT_TRUE(raw.Open(path_, false));
        ASSERT_TRUE(raw.Exec(L"DROP VIEW COLLECTVIEW"));
    }
    OpenAndWait();
    ASSERT_EQ(1, db_->IsOpen());
    EXPECT_EQ(0, db_->DiscoverSchema());
    EXPECT_EQ(0, db_->RecordColumnCount);
    EXPECT_EQ(0, db_->FeatureBlockEnd);
    EXPECT_EQ(0, db_->RecordViewFields->GetCount());
    EXPECT_EQ(0, db_->LitViewFields->GetCount());
    EXPECT_GE(db_->LiteratureAttrs->GetCount(), 4);  // read before the failing step
}

TEST_F(DatabaseTest, LitViewThatCannotBeCreatedInAReadOnlyFileGivesZero)
{
    CopySample();
    {
        RawOdbc raw;
        ASSERT_TRUE(raw.Open(path_, false));
        ASSERT_TRUE(raw.Exec(L"DROP VIEW LITVIEW"));
    }
    Create();
    ASSERT_EQ(S_OK, db_->AdoConnection->put_Mode(adModeRead));
    OpenAndWait();
    ASSERT_EQ(1, db_->IsOpen());
    EXPECT_EQ(0, db_->DiscoverSchema());
    EXPECT_EQ(0, db_->LitViewFields->GetCount());
    db_->Close();
    RawOdbc raw;
    ASSERT_TRUE(raw.Open(path_, false));
    EXPECT_EQ(0, CountOf(raw, L"SELECT COUNT(*) FROM sqlite_master WHERE name = 'LITVIEW'"));
}

TEST_F(DatabaseTest, LitViewCannotBeMadeWhileAnotherProgramHoldsTheFile)
{
    CopySample();
    {
        RawOdbc raw;
        ASSERT_TRUE(raw.Open(path_, false));
        ASSERT_TRUE(raw.Exec(L"DROP VIEW LITVIEW"));
    }
    zdata::Connection* other = zdata::Connection::Create();
    ASSERT_EQ(S_OK, other->Open((L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path_ + L";").c_str()));
    ASSERT_EQ(S_OK, other->BeginTrans());
    ASSERT_EQ(S_OK, other->Execute(L"UPDATE KEYWORDS SET NAME = NAME || 'x'"));
    OpenAndWait();
    ASSERT_EQ(1u, g_opened.size());
    ASSERT_EQ(1, db_->IsOpen());  // readers are not locked out
    // The main window then tells the user that another program has the database open.
    EXPECT_EQ(0, db_->DiscoverSchema());
    db_->Close();
    other->RollbackTrans();
    other->Close();
    other->Release();
    RawOdbc raw;
    ASSERT_TRUE(raw.Open(path_, false));
    EXPECT_EQ(0, CountOf(raw, L"SELECT COUNT(*) FROM sqlite_master WHERE name = 'LITVIEW'"));
}

TEST_F(DatabaseTest, DestroyedWhileOpeningStillTellsTheWindowOnce)
{
    CopySample();
    Create();
    settings_.DBName = _wcsdup(path_.c_str());
    ASSERT_EQ(S_OK, db_->Open(nullptr, &settings_));
    g_db = nullptr;
    delete db_;  // joins the running connect
    db_ = nullptr;
    wintest::PumpMessages(300);
    EXPECT_EQ(1u, g_opened.size());
}

TEST_F(DatabaseTest, DestroyedWhileOpenClosesEverything)
{
    CopySample();
    OpenAndWait();
    ASSERT_EQ(1, db_->DiscoverSchema());
    Recordset* held = db_->GetSysTreeRs();
    held->AddRef();
    g_db = nullptr;
    delete db_;
    db_ = nullptr;
    long state = -1;
    held->get_State(&state);
    EXPECT_EQ(adStateClosed, state);
    held->Release();
}

TEST_F(DatabaseTest, TreeTablesWithoutAttributesAreNotProbed)
{
    CopySample();
    {
        RawOdbc raw;
        ASSERT_TRUE(raw.Open(path_, false));
        ASSERT_TRUE(raw.Exec(L"DELETE FROM CUSTOMATTRIBUTES WHERE TABLENAME IN ('SYSTREE', 'LOCTREE')"));
        // Without their tables a probe would fail the whole discovery.
        ASSERT_TRUE(raw.Exec(L"PRAGMA foreign_keys = OFF"));
        ASSERT_TRUE(raw.Exec(L"ALTER TABLE SYSTREE RENAME TO SYSTREE_GONE")) << std::string("rename");
        ASSERT_TRUE(raw.Exec(L"ALTER TABLE LOCTREE RENAME TO LOCTREE_GONE"));
    }
    OpenAndWait();
    ASSERT_EQ(1, db_->IsOpen());
    EXPECT_EQ(1, db_->DiscoverSchema());
    EXPECT_EQ(0, db_->SysTreeAttrs->GetCount());
    EXPECT_EQ(0, db_->LocTreeAttrs->GetCount());
    EXPECT_GT(db_->FeatureBlockEnd, 0);
}

TEST_F(DatabaseTest, TreeTableWithAttributesIsProbed)
{
    CopySample();
    {
        RawOdbc raw;
        ASSERT_TRUE(raw.Open(path_, false));
        ASSERT_TRUE(raw.Exec(L"DELETE FROM CUSTOMATTRIBUTES WHERE TABLENAME = 'LOCTREE'"));
        ASSERT_TRUE(raw.Exec(L"INSERT INTO CUSTOMATTRIBUTES (TABLENAME, FIELDNAME, POSID, ATTRTYPE) "
                             L"VALUES ('LOCTREE', 'NAME', 999, 4)"));
        ASSERT_TRUE(raw.Exec(L"PRAGMA foreign_keys = OFF"));
        ASSERT_TRUE(raw.Exec(L"ALTER TABLE LOCTREE RENAME TO LOCTREE_GONE"));
    }
    OpenAndWait();
    ASSERT_EQ(1, db_->IsOpen());
    EXPECT_EQ(0, db_->DiscoverSchema());
    EXPECT_EQ(1, db_->LocTreeAttrs->GetCount());  // read before the failing probe
}

TEST_F(DatabaseTest, DiscoverSchemaOnAClosedDatabaseGivesZero)
{
    Create();
    EXPECT_EQ(0, db_->DiscoverSchema());
    EXPECT_EQ(0, db_->RecordColumnCount);
}

// ---- cached recordsets ----

TEST_F(DatabaseTest, CachedRecordsetsOpenOnFirstUseWithTheirCursors)
{
    CopySample();
    OpenAndWait();
    ASSERT_EQ(1, db_->IsOpen());
    for (int k = 0; k < RS_COUNT; k++) {
        CachedRecordset kind = (CachedRecordset)k;
        const CachedRecordsetSpec& spec = CachedRecordsetSpecOf(kind);
        Recordset* rs = db_->GetCachedRecordset(kind);
        if (!spec.Sql) {
            EXPECT_EQ(nullptr, rs);
            ASSERT_EQ(S_OK, db_->ReopenListRecordset(kind, L"SELECT * FROM COLLECTVIEW WHERE 0 = 1"));
            rs = db_->RecordsetSlot(kind);
        }
        ASSERT_TRUE(rs != nullptr) << k;
        long location = 0, type = 0, lock = 0, state = 0;
        rs->get_CursorLocation(&location);
        rs->get_CursorType(&type);
        rs->get_LockType(&lock);
        rs->get_State(&state);
        EXPECT_EQ(adStateOpen, state) << k;
        EXPECT_EQ(spec.CursorLocation, location) << k;
        // The layer reports the static snapshot it makes of a keyset request.
        EXPECT_TRUE(type == adOpenKeyset || type == adOpenStatic) << k << ": " << type;
        EXPECT_EQ(spec.LockType, lock) << k;
        if (spec.Sql) {
            EXPECT_EQ(rs, db_->GetCachedRecordset(kind)) << k;  // the same object later
        }
    }
    // The matrix: trees, authors and literature name lists are written; the lists and the three
    // name lists only read; the four lists use the provider's cursor.
    EXPECT_EQ(adLockOptimistic, CachedRecordsetSpecOf(RS_SYSTREE).LockType);
    EXPECT_EQ(adUseClient, CachedRecordsetSpecOf(RS_LOCTREE).CursorLocation);
    EXPECT_EQ(adLockReadOnly, CachedRecordsetSpecOf(RS_SPECIES_NAMES).LockType);
    EXPECT_EQ(adUseServer, CachedRecordsetSpecOf(RS_SEARCH_RECORDS).CursorLocation);
    EXPECT_EQ(adLockOptimistic, CachedRecordsetSpecOf(RS_KEYWORDS).LockType);
    EXPECT_EQ(adUseClient, CachedRecordsetSpecOf(RS_SYSAUTHORS).CursorLocation);

    EXPECT_EQ(db_->TaxonRecordsRs, db_->GetListRecordset(0));
    EXPECT_EQ(db_->LocalityRecordsRs, db_->GetListRecordset(1));
    EXPECT_EQ(db_->SearchRecordsRs, db_->GetListRecordset(2));
    EXPECT_EQ(db_->LiteratureListRs, db_->GetListRecordset(3));
    EXPECT_EQ(nullptr, db_->GetListRecordset(4));
    EXPECT_EQ(nullptr, db_->GetListRecordset(-1));
}

TEST_F(DatabaseTest, TreeRecordsetsListItemsAboveTheRootInOrder)
{
    CopySample();
    OpenAndWait();
    RawOdbc raw;
    ASSERT_TRUE(raw.Open(path_, false));
    Recordset* sys = db_->GetSysTreeRs();
    long count = -1;
    sys->get_RecordCount(&count);
    EXPECT_EQ(CountOf(raw, L"SELECT COUNT(*) FROM SYSTREE WHERE ID > 0"), count);
    Recordset* loc = db_->GetLocTreeRs();
    loc->get_RecordCount(&count);
    EXPECT_EQ(CountOf(raw, L"SELECT COUNT(*) FROM LOCTREE WHERE ID > 0"), count);
    // Bookmarks of the client-side recordsets are 1-based row numbers.
    ASSERT_EQ(S_OK, sys->MoveFirst());
    sys->MoveNext();
    VARIANT bookmark;
    VariantInit(&bookmark);
    ASSERT_EQ(S_OK, sys->get_Bookmark(&bookmark));
    EXPECT_EQ(VT_R8, bookmark.vt);
    EXPECT_EQ(2.0, bookmark.dblVal);
}

TEST_F(DatabaseTest, CloseReleasesEveryCachedRecordsetAndEmptiesTheArrays)
{
    CopySample();
    OpenAndWait();
    ASSERT_EQ(1, db_->DiscoverSchema());
    for (int k = 0; k < RS_COUNT; k++) {
        if (CachedRecordsetSpecOf((CachedRecordset)k).Sql)
            db_->GetCachedRecordset((CachedRecordset)k);
        else
            db_->ReopenListRecordset((CachedRecordset)k, L"SELECT * FROM COLLECTVIEW");
    }
    // A lookup entry of its own and the author entry that shares SysAuthorsRs.
    LookupCacheEntry* own = (LookupCacheEntry*)calloc(1, sizeof(LookupCacheEntry));
    wcscpy(own->TableName, L"KEYWORDS");
    own->Recordset = db_->OpenQuery(L"SELECT * FROM KEYWORDS ORDER BY NAME", adUseClient,
                                    adOpenKeyset, adLockOptimistic);
    db_->LookupCache->Add(own);
    LookupCacheEntry* authors = (LookupCacheEntry*)calloc(1, sizeof(LookupCacheEntry));
    wcscpy(authors->TableName, L"SYSAUTHORS");
    authors->Recordset = db_->SysAuthorsRs;
    db_->LookupCache->Add(authors);

    // A card that still holds a recordset after the close gets errors, never a crash.
    Recordset* held = db_->SysTreeRs;
    held->AddRef();
    Recordset* ownHeld = own->Recordset;
    ownHeld->AddRef();

    EXPECT_EQ(1, db_->Close());
    EXPECT_EQ(0, db_->IsOpen());
    for (int k = 0; k < RS_COUNT; k++)
        EXPECT_EQ(nullptr, db_->RecordsetSlot((CachedRecordset)k)) << k;
    CPtrArray* arrays[] = { db_->SysTreeAttrs, db_->LocTreeAttrs, db_->SpeciesAttrs,
                            db_->FeatureAttrs, db_->RecordAttrs, db_->LiteratureAttrs,
                            db_->RecordViewFields, db_->LitViewFields, db_->LookupCache };
    for (CPtrArray* a : arrays)
        EXPECT_EQ(0, a->GetCount());
    long state = -1;
    held->get_State(&state);
    EXPECT_EQ(adStateClosed, state);
    ownHeld->get_State(&state);
    EXPECT_EQ(adStateClosed, state);
    EXPECT_TRUE(FAILED(held->MoveFirst()));
    held->Release();
    ownHeld->Release();
    EXPECT_EQ(0, db_->Close());  // closing twice changes nothing
}

// ---- SelectMax ----

TEST_F(DatabaseTest, SelectMaxGivesZeroForAnEmptyTableAndTheLargestIdPlusOne)
{
    CopySample(false, true);
    {
        RawOdbc raw;
        ASSERT_TRUE(raw.Open(path_, false));
        ASSERT_TRUE(raw.Exec(L"DELETE FROM KEYWORDS"));
    }
    OpenAndWait();
    ASSERT_EQ(1, db_->IsOpen());
    EXPECT_EQ(0, db_->SelectMax(L"ID", L"KEYWORDS"));
    {
        RawOdbc raw;
        ASSERT_TRUE(raw.Open(path_, false));
        ASSERT_TRUE(raw.Exec(L"INSERT INTO KEYWORDS (ID, NAME) VALUES (41, 'Ornitologie')"));
        ASSERT_TRUE(raw.Exec(L"INSERT INTO KEYWORDS (ID, NAME) VALUES (7, 'Entomologie')"));
    }
    EXPECT_EQ(42, db_->SelectMax(L"ID", L"KEYWORDS"));
}

TEST_F(DatabaseTest, SelectMaxOfTheSampleTreeIsItsLargestIdPlusOne)
{
    CopySample();
    OpenAndWait();
    RawOdbc raw;
    ASSERT_TRUE(raw.Open(path_, false));
    EXPECT_EQ(CountOf(raw, L"SELECT MAX(ID) FROM SYSTREE") + 1, db_->SelectMax(L"ID", L"SYSTREE"));
}

// ---- errors ----

TEST_F(DatabaseTest, FailedUpdateShowsItsErrorsAndLeavesTheFileUnchanged)
{
    CopySample();
    OpenAndWait();
    ASSERT_EQ(1, db_->IsOpen());
    std::wstring authorsBefore = Dump(path_, L"SYSAUTHORS");
    std::wstring treeBefore = Dump(path_, L"SYSTREE");

    wintest::MsgBoxRecorder boxes;
    // A duplicate author is refused by the table.
    Recordset* authors = db_->GetCachedRecordset(RS_SYSAUTHORS);
    ASSERT_EQ(S_OK, authors->MoveFirst());
    zdata::Fields* fields = nullptr;
    ASSERT_EQ(S_OK, authors->get_Fields(&fields));
    zdata::Field* name = nullptr;
    ASSERT_EQ(S_OK, fields->Item(0L, &name));
    VARIANT existing;
    VariantInit(&existing);
    ASSERT_EQ(S_OK, name->get_Value(&existing));
    long authorCount = -1;
    authors->get_RecordCount(&authorCount);
    ASSERT_EQ(S_OK, authors->AddNew());
    ASSERT_EQ(S_OK, name->put_Value(existing));
    EXPECT_TRUE(FAILED(authors->Update()));
    db_->ReportAdoErrors();
    EXPECT_EQ(S_OK, authors->CancelUpdate());
    long countAfter = -1, position = -1;
    authors->get_RecordCount(&countAfter);
    authors->get_AbsolutePosition(&position);
    EXPECT_EQ(authorCount, countAfter);
    EXPECT_EQ(1, position);  // back on the row that was current before AddNew
    VARIANT current;
    VariantInit(&current);
    EXPECT_EQ(S_OK, name->get_Value(&current));
    EXPECT_EQ(VARCMP_EQ, VarCmp(&current, &existing, LOCALE_USER_DEFAULT, 0));
    VariantClear(&current);
    VariantClear(&existing);
    name->Release();
    fields->Release();

    ASSERT_GE(boxes.Boxes().size(), 1u);
    for (const auto& box : boxes.Boxes()) {
        EXPECT_FALSE(box.text.empty());
        EXPECT_EQ(std::wstring(zdata::kErrorSource), box.caption);
        EXPECT_EQ((UINT)MB_ICONERROR, box.type);
    }
    size_t shown = boxes.Boxes().size();

    // A taxon moved under a parent that does not exist is refused as well.
    Recordset* tree = db_->GetSysTreeRs();
    ASSERT_EQ(S_OK, tree->MoveFirst());
    ASSERT_EQ(S_OK, tree->get_Fields(&fields));
    zdata::Field* parent = nullptr;
    ASSERT_EQ(S_OK, fields->Item(1L, &parent));
    VARIANT bad;
    bad.vt = VT_I4;
    bad.lVal = 99999999;
    ASSERT_EQ(S_OK, parent->put_Value(bad));
    EXPECT_TRUE(FAILED(tree->Update()));
    db_->ReportAdoErrors();
    EXPECT_EQ(S_OK, tree->CancelUpdate());
    VARIANT kept;
    VariantInit(&kept);
    EXPECT_EQ(S_OK, parent->get_Value(&kept));
    EXPECT_EQ(VT_I4, kept.vt);
    EXPECT_NE(99999999, kept.lVal);  // the cached row keeps its stored parent
    parent->Release();
    fields->Release();
    EXPECT_GT(boxes.Boxes().size(), shown);

    // A successful call afterwards does not clear the collection.
    size_t now = boxes.Boxes().size();
    EXPECT_EQ(S_OK, tree->MoveFirst());
    db_->ReportAdoErrors();
    EXPECT_EQ(now + (now - shown), boxes.Boxes().size());

    db_->Close();
    EXPECT_EQ(authorsBefore, Dump(path_, L"SYSAUTHORS"));
    EXPECT_EQ(treeBefore, Dump(path_, L"SYSTREE"));
}

TEST_F(DatabaseTest, TwoErrorsGiveTwoBoxesInOrderOwnedByTheMainWindow)
{
    Create();
    zdata::Errors* errors = nullptr;
    ASSERT_EQ(S_OK, db_->AdoConnection->get_Errors(&errors));
    errors->Replace({ new zdata::Error(1, L"První chyba", L"23000", 19),
                      new zdata::Error(2, L"Druhá chyba", L"HY000", 1) });
    errors->Release();

    struct Seen { HWND owner; std::wstring text; };
    static std::vector<Seen> seen;
    seen.clear();
    MsgBoxHook previous = SetMsgBoxHook([](HWND owner, LPCWSTR text, LPCWSTR, UINT) {
        seen.push_back({ owner, text });
        return IDOK;
    });
    db_->ReportAdoErrors();
    ShowAdoErrors(nullptr, db_->AdoConnection);
    SetMsgBoxHook(previous);
    ASSERT_EQ(4u, seen.size());
    EXPECT_EQ(L"První chyba", seen[0].text);
    EXPECT_EQ(L"Druhá chyba", seen[1].text);
    EXPECT_EQ(main_, seen[0].owner);
    EXPECT_EQ(nullptr, seen[2].owner);
    EXPECT_EQ(L"První chyba", seen[2].text);  // the collection is not cleared
}

TEST_F(DatabaseTest, NoErrorsShowNoBox)
{
    Create();
    wintest::MsgBoxRecorder boxes;
    db_->ReportAdoErrors();
    EXPECT_TRUE(boxes.Boxes().empty());
}

// ---- level definitions ----

TEST_F(DatabaseTest, LevelDefinitionsFillTheCacheAndTheImageLists)
{
    CopySample();
    OpenAndWait();
    HWND tree = CreateWindowExW(0, WC_TREEVIEWW, L"", WS_CHILD, 0, 0, 100, 100, main_, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD, 0, 0, 100, 100, main_, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    HIMAGELIST large = ImageList_Create(32, 32, ILC_COLOR32 | ILC_MASK, 4, 4);
    HIMAGELIST small = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 4);
    CPtrArray cache(PTRARRAY_OWNS_ITEMS, 16, 4);
    db_->LoadSysLevelDefs(tree, list, large, small, &cache);

    RawOdbc raw;
    ASSERT_TRUE(raw.Open(path_, false));
    Rows rows;
    ASSERT_TRUE(raw.Query(L"SELECT LEVELID, NAME FROM SYSDEF ORDER BY LEVELID", rows));
    ASSERT_EQ((int)rows.size(), cache.GetCount());
    EXPECT_GT(cache.GetCount(), 2);  // the sample has several levels
    for (int k = 0; k < cache.GetCount(); k++) {
        LevelDef* def = (LevelDef*)cache.GetItems()[k];
        EXPECT_EQ(_wtoi(rows[k][0].c_str()), def->LevelId);
        EXPECT_EQ(rows[k][1], std::wstring(def->Name));
        EXPECT_LT(def->Icon16, ImageList_GetImageCount(small));
        EXPECT_LT(def->Icon32, ImageList_GetImageCount(large));
    }
    EXPECT_EQ(small, (HIMAGELIST)SendMessageW(tree, TVM_GETIMAGELIST, TVSIL_NORMAL, 0));
    EXPECT_EQ(large, (HIMAGELIST)SendMessageW(list, LVM_GETIMAGELIST, LVSIL_NORMAL, 0));
    if (cache.GetCount() > 1) {
        LevelDef* first = (LevelDef*)cache.GetItems()[0];
        EXPECT_EQ(first, FindLevelDef(&cache, first->LevelId));
        EXPECT_EQ(nullptr, FindLevelDefSkipFirst(&cache, first->LevelId));
    }
    // Loading again rebuilds rather than appends.
    int count = cache.GetCount();
    int images = ImageList_GetImageCount(small);
    db_->LoadLocLevelDefs(tree, list, large, small, &cache);
    db_->LoadSysLevelDefs(tree, list, large, small, &cache);
    EXPECT_EQ(count, cache.GetCount());
    EXPECT_EQ(images, ImageList_GetImageCount(small));
    DestroyWindow(tree);
    DestroyWindow(list);
    ImageList_Destroy(large);
    ImageList_Destroy(small);
}

}  // namespace
