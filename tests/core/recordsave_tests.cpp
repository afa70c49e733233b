// Occurrence records through the database object on a generated database: loading a record from
// a record list, saving new and edited records with their attribute values, lookup values and
// level path columns in one transaction, the record dialog's property box, deleting records and
// publications, and the names of rows by id.
#include "tests/core/itemsave_fixture.h"

#include "controls/plexa.h"

using namespace itemtest;

namespace {

class RecordSaveTest : public ItemDbTest
{
protected:
    int Attr(const wchar_t* field) { return AttrIndex(db_->RecordAttrs, field); }
    // Opens the taxon record list on a species.
    void ListTaxonRecords(int sysId)
    {
        ListQuery query = {};
        query.Kind = 1;
        query.Id = sysId;
        db_->QueryTaxonRecords(0, &query);
        ASSERT_GT(query.RowCount, 0);
    }
    // A record loaded from the taxon list of its species.
    void LoadListed(int recordId, RecordBlock& block)
    {
        int sysId = (int)Int(L"SELECT SYSID FROM ZORNACOLLS WHERE ID = " + Id(recordId));
        ListTaxonRecords(sysId);
        ASSERT_EQ(1, db_->LoadRecord(0, &block.r));
        ASSERT_EQ(sysId, block.r.SysId);
    }
};

// ---- loading ----

TEST_F(RecordSaveTest, LoadRecordReadsTheListedRowAndItsAttributes)
{
    int id = (int)Int(L"SELECT ID FROM ZORNACOLLS WHERE LEG IS NOT NULL ORDER BY ID LIMIT 1 OFFSET 5");
    ASSERT_TRUE(Exec(L"UPDATE ZORNACOLLS SET LITID = NULL, RECNOTE = 'pod kamenem' WHERE ID = " + Id(id)));
    RecordBlock block(id);
    LoadListed(id, block);
    EXPECT_EQ(First(L"SELECT FTRID FROM ZORNACOLLS WHERE ID = " + Id(id)), Id(block.r.FtrId));
    EXPECT_EQ(-1, block.r.LitId);  // NULL is no publication
    EXPECT_EQ(L"pod kamenem", TextOf(&block.r.Note));
    ASSERT_EQ(db_->RecordAttrs->GetCount(), block.r.Values->GetCount());
    EXPECT_EQ(First(L"SELECT LEG FROM ZORNACOLLS WHERE ID = " + Id(id)), TextOf(block.Value(Attr(L"LEG"))));
    EXPECT_EQ(VT_DATE, block.Value(Attr(L"DATUM"))->vt);
    // The definition without a column reads as empty, not as the record's id.
    EXPECT_EQ(VT_EMPTY, block.Value(Attr(L"ZTRACENY"))->vt);
}

TEST_F(RecordSaveTest, LoadRecordOutsideTheRecordListsReadsNothing)
{
    RecordBlock other(5);
    EXPECT_EQ(0, db_->LoadRecord(3, &other.r));
    EXPECT_EQ(0, other.r.Values->GetCount());
    RecordBlock fresh(-1);
    ListTaxonRecords((int)Int(L"SELECT SYSID FROM ZORNACOLLS ORDER BY ID LIMIT 1"));
    EXPECT_EQ(1, db_->LoadRecord(0, &fresh.r));
    ASSERT_EQ(db_->RecordAttrs->GetCount(), fresh.r.Values->GetCount());
    for (int i = 0; i < fresh.r.Values->GetCount(); i++)
        EXPECT_EQ(VT_EMPTY, fresh.Value(i)->vt);
    EXPECT_EQ(0, fresh.r.SysId);
}

// ---- saving ----

TEST_F(RecordSaveTest, NewRecordGetsANewIdItsValuesAndBothLevelPaths)
{
    int species = (int)Int(L"SELECT ID FROM SYSTREE WHERE SYSLEVEL = 4 ORDER BY ID LIMIT 1");
    int genus = (int)Int(L"SELECT PARENT FROM SYSTREE WHERE ID = " + Id(species));
    int family = (int)Int(L"SELECT PARENT FROM SYSTREE WHERE ID = " + Id(genus));
    int locality = (int)Int(L"SELECT ID FROM LOCTREE WHERE LOCLEVEL = 3 ORDER BY ID LIMIT 1");
    int district = (int)Int(L"SELECT PARENT FROM LOCTREE WHERE ID = " + Id(locality));
    long long maxId = Int(L"SELECT MAX(ID) FROM ZORNACOLLS");
    long long count = Int(L"SELECT COUNT(*) FROM ZORNACOLLS");
    ListTaxonRecords((int)Int(L"SELECT SYSID FROM ZORNACOLLS ORDER BY ID LIMIT 1"));

    RecordBlock block(-1);
    block.r.SysId = species;
    block.r.FtrId = locality;
    SetText(&block.r.Note, L"'; DELETE FROM ZORNACOLLS; --");
    for (int i = 0; i < db_->RecordAttrs->GetCount(); i++)
        block.r.Values->Add(NewValue());
    VARIANT* date = block.Value(Attr(L"DATUM"));
    date->vt = VT_DATE;
    date->date = 40001.0;
    SetInt(block.Value(Attr(L"POCET")), 3);
    SetText(block.Value(Attr(L"METODA")), L"sklepávání O'Neill");
    SetText(block.Value(Attr(L"LEG")), L"O'Brien");
    SetText(block.Value(Attr(L"ZTRACENY")), L"nikam");
    EXPECT_EQ(1, db_->SaveRecord(&block.r));
    EXPECT_EQ(count + 1, Int(L"SELECT COUNT(*) FROM ZORNACOLLS"));
    std::wstring where = L" FROM ZORNACOLLS WHERE ID = " + Id((int)maxId + 1);
    Rows row = Query(L"SELECT SYSID, FTRID, LITID, RECNOTE, POCET, METODA, LEG, DATUM" + where);
    ASSERT_EQ(1u, row.size());
    EXPECT_EQ((std::vector<std::wstring>{Id(species), Id(locality), L"-1",
                                         L"'; DELETE FROM ZORNACOLLS; --", L"3",
                                         L"sklepávání O'Neill", L"O'Brien"}),
              std::vector<std::wstring>(row[0].begin(), row[0].begin() + 7));
    EXPECT_EQ(40001.0, _wtof(row[0][7].c_str()));
    EXPECT_EQ(Id(species), First(L"SELECT SYS_LEVEL_4" + where));
    EXPECT_EQ(Id(genus), First(L"SELECT SYS_LEVEL_3" + where));
    EXPECT_EQ(Id(family), First(L"SELECT SYS_LEVEL_2" + where));
    EXPECT_EQ(L"NULL", First(L"SELECT quote(SYS_LEVEL_5)" + where));
    EXPECT_EQ(Id(locality), First(L"SELECT LOC_LEVEL_3" + where));
    EXPECT_EQ(Id(district), First(L"SELECT LOC_LEVEL_2" + where));
    EXPECT_EQ(1, Int(L"SELECT COUNT(*) FROM ZOR_METODA WHERE NAME = 'sklepávání O''Neill'"));
}

TEST_F(RecordSaveTest, ALookupValueTypedInCapitalsTakesTheStoredValue)
{
    long long methods = Int(L"SELECT COUNT(*) FROM ZOR_METODA");
    long long maxId = Int(L"SELECT MAX(ID) FROM ZORNACOLLS");
    ListTaxonRecords((int)Int(L"SELECT SYSID FROM ZORNACOLLS ORDER BY ID LIMIT 1"));
    RecordBlock block(-1);
    block.r.SysId = (int)Int(L"SELECT ID FROM SYSTREE WHERE SYSLEVEL = 4 ORDER BY ID LIMIT 1");
    block.r.FtrId = (int)Int(L"SELECT ID FROM LOCTREE WHERE LOCLEVEL = 3 ORDER BY ID LIMIT 1");
    for (int i = 0; i < db_->RecordAttrs->GetCount(); i++)
        block.r.Values->Add(NewValue());
    SetText(block.Value(Attr(L"METODA")), L"SVĚTELNÝ LAPAČ");
    ASSERT_EQ(1, db_->SaveRecord(&block.r));
    EXPECT_EQ(L"světelný lapač", First(L"SELECT METODA FROM ZORNACOLLS WHERE ID = " + Id((int)maxId + 1)));
    EXPECT_EQ(methods, Int(L"SELECT COUNT(*) FROM ZOR_METODA"));
}

TEST_F(RecordSaveTest, ARecordMovedToAShorterPathLosesTheDroppedLevel)
{
    int id = (int)Int(L"SELECT ID FROM ZORNACOLLS WHERE SYS_LEVEL_4 IS NOT NULL AND SYSID = "
                      L"SYS_LEVEL_4 ORDER BY ID LIMIT 1");
    ASSERT_GT(id, 0);
    RecordBlock block(id);
    LoadListed(id, block);
    int genus = (int)Int(L"SELECT PARENT FROM SYSTREE WHERE ID = " + Id(block.r.SysId));
    block.r.SysId = genus;
    EXPECT_EQ(1, db_->SaveRecord(&block.r));
    std::wstring where = L" FROM ZORNACOLLS WHERE ID = " + Id(id);
    EXPECT_EQ(Id(genus), First(L"SELECT SYSID" + where));
    EXPECT_EQ(Id(genus), First(L"SELECT SYS_LEVEL_3" + where));
    EXPECT_EQ(L"NULL", First(L"SELECT quote(SYS_LEVEL_4)" + where));
    // Everything else stays as it was.
    EXPECT_EQ(Id(block.r.FtrId), First(L"SELECT FTRID" + where));
    EXPECT_EQ(TextOf(block.Value(Attr(L"LEG"))), First(L"SELECT IFNULL(LEG, '')" + where));
}

TEST_F(RecordSaveTest, ARecordWhoseIdMatchesNoRowIsInsertedAsANewOne)
{
    int id = (int)Int(L"SELECT ID FROM ZORNACOLLS WHERE DATUM IS NOT NULL ORDER BY ID LIMIT 1");
    RecordBlock block(id);
    LoadListed(id, block);
    long long maxId = Int(L"SELECT MAX(ID) FROM ZORNACOLLS");
    block.r.Id = 99999999;
    block.Value(Attr(L"DATUM"))->date += 1;
    EXPECT_EQ(1, db_->SaveRecord(&block.r));
    EXPECT_EQ(1, Int(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE ID = " + Id((int)maxId + 1)));
    EXPECT_EQ(0, Int(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE ID = 99999999"));
}

TEST_F(RecordSaveTest, ADuplicateRecordShowsTheErrorsAndLeavesTheFileUnchanged)
{
    int id = (int)Int(L"SELECT ID FROM ZORNACOLLS WHERE DATUM IS NOT NULL ORDER BY ID LIMIT 1");
    RecordBlock block(id);
    LoadListed(id, block);
    long listed = 0;
    db_->TaxonRecordsRs->get_RecordCount(&listed);
    // The same species, locality and date as a stored record: COLL_INDEX refuses it.
    block.r.Id = -1;
    SetText(block.Value(Attr(L"METODA")), L"metoda, která nebude uložena");
    Rows before = Snapshot();
    wintest::MsgBoxRecorder boxes;
    EXPECT_EQ(0, db_->SaveRecord(&block.r));
    ASSERT_GE(boxes.Boxes().size(), 1u);
    EXPECT_FALSE(boxes.Boxes()[0].text.empty());
    EXPECT_FALSE(boxes.Boxes()[0].caption.empty());
    ExpectUnchanged(before);
    long after = 0;
    db_->TaxonRecordsRs->get_RecordCount(&after);
    EXPECT_EQ(listed, after);
    int row = -1;
    int index = db_->LoadLookupValues(LOOKUP_ZORNACOLLS, L"METODA");
    EXPECT_LT(db_->FindLookupPrefix(index, L"metoda, která nebude uložena", &row), 28);
}

TEST_F(RecordSaveTest, ASavedRecordShowsInTheRequeriedList)
{
    int id = (int)Int(L"SELECT ID FROM ZORNACOLLS WHERE DATUM IS NOT NULL ORDER BY ID LIMIT 1");
    RecordBlock block(id);
    LoadListed(id, block);
    long listed = 0;
    db_->TaxonRecordsRs->get_RecordCount(&listed);
    block.r.Id = -1;
    block.Value(Attr(L"DATUM"))->date += 3;
    EXPECT_EQ(1, db_->SaveRecord(&block.r));
    long after = 0;
    db_->TaxonRecordsRs->get_RecordCount(&after);
    EXPECT_EQ(listed + 1, after);
}

// ---- the record dialog's property box ----

struct BoxCall
{
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<BoxCall> g_box;

LRESULT CALLBACK BoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == PBXM_ADDITEM || msg == PBXM_SETITEMDATA) {
        int items = 0;
        for (const auto& c : g_box)
            items += c.msg == PBXM_ADDITEM;
        g_box.push_back({msg, wParam, lParam});
        return msg == PBXM_ADDITEM ? items : 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// A definition at an address above 4 GB, so that a pointer cut to 32 bits cannot pass.
CustomAttrDef* HighDefinition()
{
    for (ULONG_PTR base = 0x7F0000000000ULL; base >= 0x100000000ULL; base -= 0x10000000000ULL) {
        void* p = VirtualAlloc((void*)base, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        if (p)
            return (CustomAttrDef*)p;
    }
    return nullptr;
}

TEST_F(RecordSaveTest, PropertyBoxItemsCarryTheirWholeDefinitionPointers)
{
    HWND box = dbtest::MakeStandIn(L"ZorRecordBoxStandIn", BoxProc);
    CustomAttrDef* high = HighDefinition();
    ASSERT_TRUE(high != nullptr);
    ASSERT_GT((ULONG_PTR)high, 0xFFFFFFFFULL);
    high->Type = ATTR_LOOKUP;
    wcscpy(high->Caption, L"Vysoko");
    db_->RecordAttrs->Add(high);
    g_box.clear();
    db_->FillRecordPropertyBox(box);
    db_->RecordAttrs->RemoveAt(db_->RecordAttrs->GetCount() - 1);
    int n = db_->RecordAttrs->GetCount() + 1;
    ASSERT_EQ((size_t)(2 * n), g_box.size());
    for (int i = 0; i < n; i++) {
        const CustomAttrDef* def = i < n - 1 ? (CustomAttrDef*)db_->RecordAttrs->GetItems()[i] : high;
        EXPECT_EQ((UINT)PBXM_ADDITEM, g_box[2 * i].msg);
        EXPECT_EQ(0xFFFFu, LOWORD(g_box[2 * i].wParam));
        EXPECT_EQ((WORD)PropBoxTypeOfAttr(def->Type), HIWORD(g_box[2 * i].wParam));
        EXPECT_STREQ(def->Caption, (const wchar_t*)g_box[2 * i].lParam);
        EXPECT_EQ((UINT)PBXM_SETITEMDATA, g_box[2 * i + 1].msg);
        EXPECT_EQ(0xFFFFu, LOWORD(g_box[2 * i + 1].wParam));
        EXPECT_EQ((WORD)i, HIWORD(g_box[2 * i + 1].wParam));
        EXPECT_EQ((LPARAM)def, g_box[2 * i + 1].lParam);
    }
    VirtualFree(high, 0, MEM_RELEASE);
    DestroyWindow(box);
}

// ---- deleting ----

TEST_F(RecordSaveTest, DeleteRecordsTakesOneOrSeveralIds)
{
    Rows ids = Query(L"SELECT ID FROM ZORNACOLLS ORDER BY ID LIMIT 4");
    ASSERT_EQ(4u, ids.size());
    long long count = Int(L"SELECT COUNT(*) FROM ZORNACOLLS");
    CIntArray one(4, 4);
    one.Add(_wtoi(ids[0][0].c_str()));
    EXPECT_EQ(1, db_->DeleteRecords(&one));
    EXPECT_EQ(count - 1, Int(L"SELECT COUNT(*) FROM ZORNACOLLS"));
    CIntArray three(4, 4);
    for (int i = 1; i < 4; i++)
        three.Add(_wtoi(ids[i][0].c_str()));
    EXPECT_EQ(1, db_->DeleteRecords(&three));
    EXPECT_EQ(count - 4, Int(L"SELECT COUNT(*) FROM ZORNACOLLS"));
    EXPECT_EQ(0, Int(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE ID <= " + ids[3][0]));
    CIntArray none(4, 4);
    EXPECT_EQ(0, db_->DeleteRecords(&none));
}

TEST_F(RecordSaveTest, DeletedRecordsLeaveTheRequeriedList)
{
    int sysId = (int)Int(L"SELECT SYSID FROM ZORNACOLLS GROUP BY SYSID HAVING COUNT(*) >= 2 "
                         L"ORDER BY SYSID LIMIT 1");
    ListTaxonRecords(sysId);
    long listed = 0;
    db_->TaxonRecordsRs->get_RecordCount(&listed);
    CIntArray ids(4, 4);
    ids.Add((int)Int(L"SELECT ID FROM ZORNACOLLS WHERE SYSID = " + Id(sysId) + L" LIMIT 1"));
    EXPECT_EQ(1, db_->DeleteRecords(&ids));
    long after = 0;
    db_->TaxonRecordsRs->get_RecordCount(&after);
    EXPECT_EQ(listed - 1, after);
}

TEST_F(RecordSaveTest, ARefusedRecordDeleteShowsTheErrors)
{
    ASSERT_TRUE(Exec(L"CREATE TRIGGER KEEP_RECORDS BEFORE DELETE ON ZORNACOLLS BEGIN "
                     L"SELECT RAISE(ABORT, 'records kept'); END"));
    Rows ids = Query(L"SELECT ID FROM ZORNACOLLS ORDER BY ID LIMIT 2");
    CIntArray list(4, 4);
    list.Add(_wtoi(ids[0][0].c_str()));
    list.Add(_wtoi(ids[1][0].c_str()));
    long long count = Int(L"SELECT COUNT(*) FROM ZORNACOLLS");
    wintest::MsgBoxRecorder boxes;
    EXPECT_EQ(0, db_->DeleteRecords(&list));
    ASSERT_GE(boxes.Boxes().size(), 1u);
    EXPECT_NE(std::wstring::npos, boxes.Boxes()[0].text.find(L"records kept"));
    EXPECT_EQ(count, Int(L"SELECT COUNT(*) FROM ZORNACOLLS"));
}

TEST_F(RecordSaveTest, AHundredAndFiftyThousandSelectedRecordsGoInOneTransaction)
{
    // More ids than one statement can name: several statements, all or nothing.
    const int n = 150000;
    long long first = Int(L"SELECT MAX(ID) FROM ZORNACOLLS") + 1;
    long long count = Int(L"SELECT COUNT(*) FROM ZORNACOLLS");
    ASSERT_TRUE(Exec(L"WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < "
                     + Id(n) + L") INSERT INTO ZORNACOLLS (SYSID, FTRID, LITID) SELECT "
                     L"(SELECT MIN(SYSID) FROM ZORNACOLLS), (SELECT MIN(FTRID) FROM ZORNACOLLS), -1 FROM k"));
    ASSERT_EQ(count + n, Int(L"SELECT COUNT(*) FROM ZORNACOLLS"));
    ASSERT_EQ(first + n - 1, Int(L"SELECT MAX(ID) FROM ZORNACOLLS"));
    CIntArray ids(n, 1024);
    for (int i = 0; i < n; i++)
        ids.Add((int)first + i);
    // The last id, in the last statement, is refused: the earlier statements are taken back.
    ASSERT_TRUE(Exec(L"CREATE TRIGGER KEEP_LAST BEFORE DELETE ON ZORNACOLLS WHEN OLD.ID = "
                     + Id((int)first + n - 1) + L" BEGIN SELECT RAISE(ABORT, 'last kept'); END"));
    {
        wintest::MsgBoxRecorder boxes;
        EXPECT_EQ(0, db_->DeleteRecords(&ids));
        ASSERT_GE(boxes.Boxes().size(), 1u);
        EXPECT_NE(std::wstring::npos, boxes.Boxes()[0].text.find(L"last kept"));
    }
    EXPECT_EQ(count + n, Int(L"SELECT COUNT(*) FROM ZORNACOLLS"));
    ASSERT_TRUE(Exec(L"DROP TRIGGER KEEP_LAST"));
    wintest::MsgBoxRecorder boxes;
    EXPECT_EQ(1, db_->DeleteRecords(&ids));
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(count, Int(L"SELECT COUNT(*) FROM ZORNACOLLS"));
    EXPECT_EQ(0, Int(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE ID >= " + Id((int)first)));
}

TEST_F(RecordSaveTest, DeletingAPublicationTakesItsLinkRows)
{
    // One that no record cites: a cited publication is not deleted.
    int lit = (int)Int(L"SELECT LITID FROM BOOKAUTHORS WHERE LITID NOT IN (SELECT LITID FROM "
                       L"ZORNACOLLS) ORDER BY LITID LIMIT 1");
    ASSERT_GT(lit, 0);
    int sys = (int)Int(L"SELECT ID FROM SYSTREE WHERE ID > 0 LIMIT 1");
    int loc = (int)Int(L"SELECT ID FROM LOCTREE WHERE ID > 0 LIMIT 1");
    int keyword = (int)Int(L"SELECT ID FROM KEYWORDS LIMIT 1");
    ASSERT_TRUE(Exec(L"INSERT INTO LITSYSREFS VALUES (" + Id(lit) + L", " + Id(sys) + L", 50)"));
    ASSERT_TRUE(Exec(L"INSERT INTO LITLOCREFS VALUES (" + Id(lit) + L", " + Id(loc) + L", 50)"));
    ASSERT_TRUE(Exec(L"INSERT INTO LITKEYWORDSREFS VALUES (" + Id(lit) + L", " + Id(keyword) + L", 50)"));
    zdata::Recordset* names = db_->GetCachedRecordset(RS_LITERATURE_NAMES);
    long before = 0;
    names->get_RecordCount(&before);
    CIntArray ids(4, 4);
    ids.Add(lit);
    EXPECT_EQ(1, db_->DeleteLiterature(&ids));
    for (const wchar_t* t : {L"LITERATURE WHERE ID", L"BOOKAUTHORS WHERE LITID",
                             L"LITSYSREFS WHERE LITID", L"LITLOCREFS WHERE LITID",
                             L"LITKEYWORDSREFS WHERE LITID"})
        EXPECT_EQ(0, Int(std::wstring(L"SELECT COUNT(*) FROM ") + t + L" = " + Id(lit))) << Narrow(t);
    EXPECT_EQ(1, Int(L"SELECT COUNT(*) FROM SYSTREE WHERE ID = " + Id(sys)));
    long after = 0;
    names->get_RecordCount(&after);
    EXPECT_EQ(before - 1, after);
}

// ---- names by id ----

TEST_F(RecordSaveTest, RowNamesByIdAreCopiesOrEmptyTexts)
{
    int sys = (int)Int(L"SELECT SYSID FROM SPECIES ORDER BY SYSID LIMIT 1");
    int loc = (int)Int(L"SELECT LOCID FROM FEATURES ORDER BY LOCID LIMIT 1");
    int lit = (int)Int(L"SELECT ID FROM LITERATURE ORDER BY ID LIMIT 1");
    struct Case {
        wchar_t* got;
        std::wstring want;
    } cases[] = {
        {db_->GetSpeciesRowName(sys), First(L"SELECT NAME FROM SPECIES WHERE SYSID = " + Id(sys))},
        {db_->GetFeatureRowName(loc), First(L"SELECT NAME FROM FEATURES WHERE LOCID = " + Id(loc))},
        {db_->GetLiteratureRowName(lit), First(L"SELECT NAME FROM LITERATURE WHERE ID = " + Id(lit))},
        {db_->GetSpeciesRowName(-7), L""},
        {db_->GetFeatureRowName(987654), L""},
        {db_->GetLiteratureRowName(987654), L""},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(c.got != nullptr);
        EXPECT_EQ(c.want, std::wstring(c.got));
        free(c.got);
    }
}

}  // namespace
