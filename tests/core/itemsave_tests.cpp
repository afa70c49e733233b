// Tree items through the database object on a generated database: loading a taxon or a
// locality into its edit record, saving new and edited items with their data rows, attribute
// values, lookup values and pictures in one transaction, and deleting items. The file is
// checked with plain SQL afterwards.
#include "tests/core/itemsave_fixture.h"

#include "core/blob.h"
#include "core/textutil.h"

using namespace itemtest;

namespace {

class ItemSaveTest : public ItemDbTest
{
protected:
    // A genus with at least three species below it.
    int GenusWithChildren()
    {
        return (int)Int(L"SELECT PARENT FROM SYSTREE WHERE SYSLEVEL = 4 GROUP BY PARENT "
                        L"HAVING COUNT(*) >= 3 ORDER BY PARENT LIMIT 1");
    }
    // A species without subspecies and without records.
    int FreeSpecies(int skip = 0)
    {
        return (int)Int(L"SELECT ID FROM SYSTREE T WHERE SYSLEVEL = 4 AND NOT EXISTS (SELECT 1 "
                        L"FROM SYSTREE C WHERE C.PARENT = T.ID) AND NOT EXISTS (SELECT 1 FROM "
                        L"ZORNACOLLS Z WHERE Z.SYSID = T.ID) ORDER BY ID LIMIT 1 OFFSET " + Id(skip),
                        -1);
    }
    // Loads an item for its properties dialog; the tree card gives the record the item's level.
    int LoadForEdit(ItemRecord& item)
    {
        bool taxon = (item.r.Flags & 1) != 0;
        item.r.LevelId = (int)Int((taxon ? L"SELECT SYSLEVEL FROM SYSTREE WHERE ID = "
                                         : L"SELECT LOCLEVEL FROM LOCTREE WHERE ID = ") + Id(item.r.Id));
        return taxon ? db_->LoadSysItem(&item.r) : db_->LoadLocItem(&item.r);
    }
    int SysValueCount() { return AttrCount(db_->SysTreeAttrs, db_->SpeciesAttrs); }
    int LocValueCount() { return AttrCount(db_->LocTreeAttrs, db_->FeatureAttrs); }
    // A new taxon record below a parent of the given level, with empty values.
    void PrepareNewTaxon(ItemRecord& item, int level, const wchar_t* name)
    {
        item.r.LevelId = level;
        wcscpy(item.r.Name, name);
        item.AddEmptyValues(SysValueCount());
    }
};

// ---- loading ----

TEST_F(ItemSaveTest, LoadSysItemReadsTheTreeRowTheSpeciesRowAndThePictures)
{
    int id = (int)Int(L"SELECT SYSID FROM SYSIMAGES WHERE SYSID IN (SELECT SYSID FROM SPECIES) "
                      L"ORDER BY SYSID LIMIT 1");
    ASSERT_GT(id, 0);
    ASSERT_TRUE(Exec(L"UPDATE SPECIES SET AUTHOR = 'O''Brien', PARENTHES = -1, IYEAR = 1851 "
                     L"WHERE SYSID = " + Id(id)));
    ItemRecord item(TREEITEM_EDIT_TAXON, id);
    EXPECT_EQ(1, db_->LoadSysItem(&item.r));
    EXPECT_EQ(First(L"SELECT NAME FROM SYSTREE WHERE ID = " + Id(id)), std::wstring(item.r.Name));
    EXPECT_STREQ(L"O'Brien", item.r.Author);
    EXPECT_NE(0, item.r.AuthorInParentheses);
    EXPECT_EQ(1851, VariantToInt(&item.r.Year));
    EXPECT_TRUE(IsBlob(&item.r.IconLarge) || item.r.IconLarge.vt == VT_NULL);
    ASSERT_EQ(SysValueCount(), item.r.Values->GetCount());
    int czech = AttrIndex(db_->SpeciesAttrs, L"CESKYNAZEV");
    ASSERT_GE(czech, 0);
    EXPECT_EQ(First(L"SELECT IFNULL(CESKYNAZEV, '') FROM SPECIES WHERE SYSID = " + Id(id)),
              TextOf(item.Value(db_->SysTreeAttrs->GetCount() + czech)));
    long long pictures = Int(L"SELECT COUNT(*) FROM SYSIMAGES WHERE SYSID = " + Id(id));
    ASSERT_EQ(pictures, item.r.Pictures->GetCount());
    ItemPicture* first = (ItemPicture*)item.r.Pictures->GetItems()[0];
    EXPECT_EQ(nullptr, first->Bitmap);
    EXPECT_TRUE(IsBlob(&first->Picture));
}

TEST_F(ItemSaveTest, LoadingAMissingItemGivesOnlyEmptyValues)
{
    ItemRecord taxon(TREEITEM_EDIT_TAXON, 987654);
    wcscpy(taxon.r.Name, L"beze změny");
    EXPECT_EQ(1, db_->LoadSysItem(&taxon.r));
    EXPECT_STREQ(L"beze změny", taxon.r.Name);
    EXPECT_STREQ(L"", taxon.r.Author);
    ASSERT_EQ(SysValueCount(), taxon.r.Values->GetCount());
    for (int i = 0; i < taxon.r.Values->GetCount(); i++)
        EXPECT_EQ(VT_EMPTY, taxon.Value(i)->vt);
    EXPECT_EQ(0, taxon.r.Pictures->GetCount());

    ItemRecord locality(TREEITEM_EDIT_LOCALITY, 987654);
    EXPECT_EQ(1, db_->LoadLocItem(&locality.r));
    EXPECT_STREQ(L"", locality.r.Abbrev);
    EXPECT_STREQ(L"", locality.r.Square);
    EXPECT_EQ(LocValueCount(), locality.r.Values->GetCount());
}

TEST_F(ItemSaveTest, LoadLocItemReadsTheFeaturesRow)
{
    int id = (int)Int(L"SELECT LOCID FROM FEATURES WHERE LATITUDE IS NOT NULL AND SQUARE IS NOT "
                      L"NULL ORDER BY LOCID LIMIT 1");
    ASSERT_GT(id, 0);
    ASSERT_TRUE(Exec(L"UPDATE FEATURES SET LOCNOTE = 'pod mostem' WHERE LOCID = " + Id(id)));
    ItemRecord item(TREEITEM_EDIT_LOCALITY, id);
    EXPECT_EQ(1, db_->LoadLocItem(&item.r));
    EXPECT_EQ(First(L"SELECT NAME FROM LOCTREE WHERE ID = " + Id(id)), std::wstring(item.r.Name));
    EXPECT_EQ(First(L"SELECT SQUARE FROM FEATURES WHERE LOCID = " + Id(id)),
              std::wstring(item.r.Square));
    EXPECT_EQ(VT_R8, item.r.Latitude.vt);
    EXPECT_EQ(L"pod mostem", TextOf(&item.r.Note));
    EXPECT_EQ(LocValueCount(), item.r.Values->GetCount());
}

// ---- saving taxa ----

TEST_F(ItemSaveTest, NewTaxonGoesAfterTheHighestSiblingWithTheNextId)
{
    int genus = GenusWithChildren();
    ASSERT_GT(genus, 0);
    // Positions with gaps: the new one goes after 7, not into a free lower number.
    Rows children = Query(L"SELECT ID FROM SYSTREE WHERE PARENT = " + Id(genus) + L" ORDER BY SYSPOS");
    ASSERT_GE(children.size(), 3u);
    const int positions[3] = {1, 3, 7};
    for (size_t i = 0; i < children.size(); i++)
        ASSERT_TRUE(Exec(L"UPDATE SYSTREE SET SYSPOS = " + Id(i < 3 ? positions[i] : 2) +
                         L" WHERE ID = " + children[i][0]));
    db_->SysTreeRs->Requery();
    long long maxId = Int(L"SELECT MAX(ID) FROM SYSTREE");

    ItemRecord item(TREEITEM_NEW_TAXON);
    PrepareNewTaxon(item, 4, L"novus");
    EXPECT_EQ(1, db_->SaveSysItem(genus, &item.r));
    EXPECT_EQ(maxId + 1, item.r.Id);
    Rows row = Query(L"SELECT PARENT, SYSLEVEL, SYSPOS, NAME FROM SYSTREE WHERE ID = " + Id(item.r.Id));
    ASSERT_EQ(1u, row.size());
    EXPECT_EQ(Id(genus), row[0][0]);
    EXPECT_EQ(L"4", row[0][1]);
    EXPECT_EQ(L"8", row[0][2]);
    EXPECT_EQ(L"novus", row[0][3]);

    // Under an item without children the position is 1.
    ItemRecord sub(TREEITEM_NEW_TAXON);
    PrepareNewTaxon(sub, 5, L"minor");
    EXPECT_EQ(1, db_->SaveSysItem(item.r.Id, &sub.r));
    EXPECT_EQ(maxId + 2, sub.r.Id);
    EXPECT_EQ(L"1", First(L"SELECT SYSPOS FROM SYSTREE WHERE ID = " + Id(sub.r.Id)));
}

TEST_F(ItemSaveTest, NewTaxonPositionIsTheHighestReadNotTheLastRowOfTheCachedList)
{
    int genus = GenusWithChildren();
    ASSERT_GT(genus, 0);
    long long count = Int(L"SELECT COUNT(*) FROM SYSTREE WHERE PARENT = " + Id(genus));
    // A sibling renumbered through the cached list (as a reorder does) stays where it was in
    // the rowset until the next Requery: the highest position is no longer on the last row.
    zdata::Recordset* tree = db_->SysTreeRs;
    ASSERT_TRUE(SUCCEEDED(tree->put_Filter((L"PARENT = " + Id(genus)).c_str())));
    ASSERT_TRUE(SUCCEEDED(tree->MoveFirst()));
    zdata::Fields* fields = nullptr;
    ASSERT_TRUE(SUCCEEDED(tree->get_Fields(&fields)));
    zdata::Field* pos = nullptr;
    ASSERT_TRUE(SUCCEEDED(fields->Item(3L, &pos)));
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = (LONG)count + 20;
    ASSERT_TRUE(SUCCEEDED(pos->put_Value(v)));
    ASSERT_TRUE(SUCCEEDED(tree->Update()));
    pos->Release();
    fields->Release();

    ItemRecord item(TREEITEM_NEW_TAXON);
    PrepareNewTaxon(item, 4, L"posledni");
    EXPECT_EQ(1, db_->SaveSysItem(genus, &item.r));
    EXPECT_EQ(Id((int)count + 21), First(L"SELECT SYSPOS FROM SYSTREE WHERE ID = " + Id(item.r.Id)));
    EXPECT_EQ(0, Int(L"SELECT COUNT(*) FROM (SELECT SYSPOS FROM SYSTREE WHERE PARENT = " + Id(genus) +
                     L" GROUP BY SYSPOS HAVING COUNT(*) > 1)"));
}

TEST_F(ItemSaveTest, NewSpeciesGetsItsRowWithAuthorYearAndValuesButNoAbsolutePosition)
{
    int genus = GenusWithChildren();
    ItemRecord item(TREEITEM_NEW_TAXON);
    PrepareNewTaxon(item, 4, L"d'orbignyi");
    wcscpy(item.r.Author, L"d'Orbigny & Nováková");
    item.r.AuthorInParentheses = 1;
    SetInt(&item.r.Year, 1902);
    int czech = db_->SysTreeAttrs->GetCount() + AttrIndex(db_->SpeciesAttrs, L"CESKYNAZEV");
    int category = db_->SysTreeAttrs->GetCount() + AttrIndex(db_->SpeciesAttrs, L"OCHRANA");
    SetText(item.Value(czech), L"střevlík ' OR 1=1 --");
    SetText(item.Value(category), L"zcela nová kategorie");
    ASSERT_EQ(0, Int(L"SELECT COUNT(*) FROM SYSAUTHORS WHERE NAME = 'd''Orbigny & Nováková'"));
    EXPECT_EQ(1, db_->SaveSysItem(genus, &item.r));
    Rows row = Query(L"SELECT AUTHOR, PARENTHES, IYEAR, CESKYNAZEV, OCHRANA, "
                     L"IFNULL(ABSOLUTEPOS, 'unset') FROM SPECIES WHERE SYSID = " + Id(item.r.Id));
    ASSERT_EQ(1u, row.size());
    EXPECT_EQ(L"d'Orbigny & Nováková", row[0][0]);
    EXPECT_EQ(L"-1", row[0][1]);
    EXPECT_EQ(L"1902", row[0][2]);
    EXPECT_EQ(L"střevlík ' OR 1=1 --", row[0][3]);
    EXPECT_EQ(L"zcela nová kategorie", row[0][4]);
    EXPECT_EQ(L"unset", row[0][5]);
    EXPECT_EQ(1, Int(L"SELECT COUNT(*) FROM SYSAUTHORS WHERE NAME = 'd''Orbigny & Nováková'"));
    EXPECT_EQ(1, Int(L"SELECT COUNT(*) FROM SPE_OCHRANA WHERE NAME = 'zcela nová kategorie'"));
    // The stored name is the composed one: the genus's name and the species's.
    std::wstring genusName = First(L"SELECT NAME FROM SYSTREE WHERE ID = " + Id(genus));
    EXPECT_EQ(genusName + L" d'orbignyi", First(L"SELECT NAME FROM SPECIES WHERE SYSID = " + Id(item.r.Id)));

    // Saved again with an author and a category that are already listed: still one of each.
    ItemRecord again(TREEITEM_EDIT_TAXON, item.r.Id);
    ASSERT_EQ(1, LoadForEdit(again));
    wcscpy(again.r.Name, L"orbignyi");
    EXPECT_EQ(1, db_->SaveSysItem(-1, &again.r));
    EXPECT_EQ(1, Int(L"SELECT COUNT(*) FROM SYSAUTHORS WHERE NAME = 'd''Orbigny & Nováková'"));
    EXPECT_EQ(genusName + L" orbignyi", First(L"SELECT NAME FROM SPECIES WHERE SYSID = " + Id(item.r.Id)));
    EXPECT_EQ(Id(genus), First(L"SELECT PARENT FROM SYSTREE WHERE ID = " + Id(item.r.Id)));
}

TEST_F(ItemSaveTest, AnAuthorAndACategoryTypedInCapitalsTakeTheStoredNames)
{
    ASSERT_TRUE(Exec(L"INSERT INTO SYSAUTHORS (NAME) VALUES ('Černý, 1925')"));
    long long authors = Int(L"SELECT COUNT(*) FROM SYSAUTHORS");
    long long categories = Int(L"SELECT COUNT(*) FROM SPE_OCHRANA");
    ItemRecord item(TREEITEM_NEW_TAXON);
    PrepareNewTaxon(item, 4, L"cernyi");
    wcscpy(item.r.Author, L"ČERNÝ, 1925");
    SetText(item.Value(db_->SysTreeAttrs->GetCount() + AttrIndex(db_->SpeciesAttrs, L"OCHRANA")),
            L"SILNĚ OHROŽENÝ");
    ASSERT_EQ(1, db_->SaveSysItem(GenusWithChildren(), &item.r));
    Rows row = Query(L"SELECT AUTHOR, OCHRANA FROM SPECIES WHERE SYSID = " + Id(item.r.Id));
    ASSERT_EQ(1u, row.size());
    EXPECT_EQ((std::vector<std::wstring>{ L"Černý, 1925", L"silně ohrožený" }), row[0]);
    EXPECT_EQ(authors, Int(L"SELECT COUNT(*) FROM SYSAUTHORS"));
    EXPECT_EQ(categories, Int(L"SELECT COUNT(*) FROM SPE_OCHRANA"));
}

TEST_F(ItemSaveTest, EmptyAuthorIsStoredAsNullAndEmptyNameAsEmptyText)
{
    int genus = GenusWithChildren();
    long long authors = Int(L"SELECT COUNT(*) FROM SYSAUTHORS");
    ItemRecord item(TREEITEM_NEW_TAXON);
    PrepareNewTaxon(item, 4, L"");
    EXPECT_EQ(1, db_->SaveSysItem(genus, &item.r));
    EXPECT_EQ(L"''", First(L"SELECT quote(NAME) FROM SYSTREE WHERE ID = " + Id(item.r.Id)));
    EXPECT_EQ(L"NULL", First(L"SELECT quote(AUTHOR) FROM SPECIES WHERE SYSID = " + Id(item.r.Id)));
    EXPECT_EQ(L"0", First(L"SELECT PARENTHES FROM SPECIES WHERE SYSID = " + Id(item.r.Id)));
    EXPECT_EQ(authors, Int(L"SELECT COUNT(*) FROM SYSAUTHORS"));
}

TEST_F(ItemSaveTest, LeavingTheDataLevelsDeletesTheSpeciesRowAndComingBackMakesANewOne)
{
    int id = FreeSpecies();
    ASSERT_GT(id, 0);
    zdata::Recordset* names = db_->GetCachedRecordset(RS_SPECIES_NAMES);
    ASSERT_TRUE(names != nullptr);
    long before = 0;
    names->get_RecordCount(&before);
    ASSERT_TRUE(Exec(L"UPDATE SPECIES SET ABSOLUTEPOS = 12.5 WHERE SYSID = " + Id(id)));

    ItemRecord item(TREEITEM_EDIT_TAXON, id);
    ASSERT_EQ(1, LoadForEdit(item));
    item.r.LevelId = 3;  // genus: not a data level
    EXPECT_EQ(1, db_->SaveSysItem(-1, &item.r));
    EXPECT_EQ(0, Int(L"SELECT COUNT(*) FROM SPECIES WHERE SYSID = " + Id(id)));
    EXPECT_EQ(L"3", First(L"SELECT SYSLEVEL FROM SYSTREE WHERE ID = " + Id(id)));
    // The name list no longer offers it.
    long after = 0;
    names->get_RecordCount(&after);
    EXPECT_EQ(before - 1, after);

    item.r.LevelId = 4;
    EXPECT_EQ(1, db_->SaveSysItem(-1, &item.r));
    EXPECT_EQ(L"NULL", First(L"SELECT quote(ABSOLUTEPOS) FROM SPECIES WHERE SYSID = " + Id(id)));
    names->get_RecordCount(&after);
    EXPECT_EQ(before, after);
    ASSERT_TRUE(SUCCEEDED(names->put_Filter((L"SYSID = " + Id(id)).c_str())));
    long listed = 0;
    names->get_RecordCount(&listed);
    EXPECT_EQ(1, listed);
}

TEST_F(ItemSaveTest, PicturesAreRenumberedInListOrder)
{
    int id = FreeSpecies();
    ASSERT_TRUE(Exec(L"DELETE FROM SYSIMAGES WHERE SYSID = " + Id(id)));
    ASSERT_TRUE(Exec(L"INSERT INTO SYSIMAGES (SYSID, SYSLEVEL, IMGNOTE) VALUES (" + Id(id) +
                     L", 4, 'a'), (" + Id(id) + L", 9, 'b'), (" + Id(id) + L", 12, 'c')"));
    ItemRecord item(TREEITEM_EDIT_TAXON, id);
    ASSERT_EQ(1, LoadForEdit(item));
    ASSERT_EQ(3, item.r.Pictures->GetCount());
    // Drop the first, move the last to the front, add a new one at the end.
    ItemPicture* a = (ItemPicture*)item.r.Pictures->RemoveAt(0);
    VariantClear(&a->Note);
    VariantClear(&a->Picture);
    free(a);
    item.r.Pictures->Move(1, 0);
    item.AddPicture(zor::MakeSampleBmp(8, 8, 5), L"nový");
    EXPECT_EQ(1, db_->SaveSysItem(-1, &item.r));
    Rows rows = Query(L"SELECT SYSLEVEL, IMGNOTE, PICTURE IS NOT NULL FROM SYSIMAGES WHERE SYSID = " +
                      Id(id) + L" ORDER BY SYSLEVEL");
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ((std::vector<std::wstring>{L"1", L"c", L"0"}), rows[0]);
    EXPECT_EQ((std::vector<std::wstring>{L"2", L"b", L"0"}), rows[1]);
    EXPECT_EQ((std::vector<std::wstring>{L"3", L"nový", L"1"}), rows[2]);
}

TEST_F(ItemSaveTest, ARefusedPictureUndoesTheWholeSaveAndShowsTheErrors)
{
    int id = FreeSpecies();
    ASSERT_TRUE(Exec(L"CREATE TRIGGER NO_BAD_PICTURES BEFORE INSERT ON SYSIMAGES WHEN "
                     L"NEW.IMGNOTE = 'zakázáno' BEGIN SELECT RAISE(ABORT, 'picture refused'); END"));
    ItemRecord item(TREEITEM_EDIT_TAXON, id);
    ASSERT_EQ(1, LoadForEdit(item));
    Rows before = Snapshot();
    wcscpy(item.r.Name, L"přejmenován");
    wcscpy(item.r.Author, L"Úplně Nový Autor");
    SetText(item.Value(db_->SysTreeAttrs->GetCount() + AttrIndex(db_->SpeciesAttrs, L"OCHRANA")),
            L"kategorie navíc");
    item.AddPicture(zor::MakeSampleBmp(8, 8, 1), L"v pořádku");
    item.AddPicture(zor::MakeSampleBmp(8, 8, 2), L"zakázáno");
    wintest::MsgBoxRecorder boxes;
    EXPECT_EQ(0, db_->SaveSysItem(-1, &item.r));
    ASSERT_GE(boxes.Boxes().size(), 1u);
    EXPECT_NE(std::wstring::npos, boxes.Boxes()[0].text.find(L"picture refused"));
    ExpectUnchanged(before);
    // The cached lists show the file as it is, not the undone edits.
    ItemRecord reread(TREEITEM_EDIT_TAXON, id);
    ASSERT_EQ(1, db_->LoadSysItem(&reread.r));
    EXPECT_EQ(First(L"SELECT NAME FROM SYSTREE WHERE ID = " + Id(id)), std::wstring(reread.r.Name));
    int row = -1;
    EXPECT_LT(db_->FindSysAuthorPrefix(L"Úplně Nový Autor", &row), 16);
}

TEST_F(ItemSaveTest, ARefusedTreeRowWritesNothingAndKeepsTheRecordNew)
{
    int genus = GenusWithChildren();
    ASSERT_TRUE(Exec(L"CREATE TRIGGER NO_BAD_NAMES BEFORE INSERT ON SYSTREE WHEN NEW.NAME = "
                     L"'zakázané' BEGIN SELECT RAISE(ABORT, 'name refused'); END"));
    Rows before = Snapshot();
    long rowsBefore = 0;
    db_->SysTreeRs->put_Filter(L"");
    db_->SysTreeRs->get_RecordCount(&rowsBefore);
    ItemRecord item(TREEITEM_NEW_TAXON);
    PrepareNewTaxon(item, 4, L"zakázané");
    wcscpy(item.r.Author, L"Nikdo Nezapsaný");
    wintest::MsgBoxRecorder boxes;
    EXPECT_EQ(0, db_->SaveSysItem(genus, &item.r));
    ASSERT_GE(boxes.Boxes().size(), 1u);
    EXPECT_NE(std::wstring::npos, boxes.Boxes()[0].text.find(L"name refused"));
    EXPECT_EQ(-1, item.r.Id);
    ExpectUnchanged(before);
    long rowsAfter = 0;
    db_->SysTreeRs->put_Filter(L"");
    db_->SysTreeRs->get_RecordCount(&rowsAfter);
    EXPECT_EQ(rowsBefore, rowsAfter);
}

TEST_F(ItemSaveTest, ARefusedSpeciesRowUndoesTheTreeRowAndTheListAdditions)
{
    int genus = GenusWithChildren();
    ASSERT_TRUE(Exec(L"CREATE TRIGGER NO_BAD_SPECIES BEFORE INSERT ON SPECIES WHEN NEW.NAME = "
                     L"'odmítnutý' BEGIN SELECT RAISE(ABORT, 'species refused'); END"));
    Rows before = Snapshot();
    ItemRecord item(TREEITEM_NEW_TAXON);
    PrepareNewTaxon(item, 4, L"odmítnutý");
    wcscpy(item.r.Author, L"Nikdo Nezapsaný");
    SetText(item.Value(db_->SysTreeAttrs->GetCount() + AttrIndex(db_->SpeciesAttrs, L"OCHRANA")),
            L"kategorie navíc");
    wintest::MsgBoxRecorder boxes;
    EXPECT_EQ(0, db_->SaveSysItem(genus, &item.r));
    ASSERT_GE(boxes.Boxes().size(), 1u);
    EXPECT_NE(std::wstring::npos, boxes.Boxes()[0].text.find(L"species refused"));
    ExpectUnchanged(before);
    // The author list and the lookup cache no longer hold the undone additions.
    int row = -1;
    EXPECT_LT(db_->FindSysAuthorPrefix(L"Nikdo Nezapsaný", &row), 15);
    int index = db_->LoadLookupValues(LOOKUP_SPECIES, L"OCHRANA");
    row = -1;
    EXPECT_LT(db_->FindLookupPrefix(index, L"kategorie navíc", &row), 15);
}

TEST_F(ItemSaveTest, ALookupAttributeWithoutItsTableIsWrittenWithoutAListAddition)
{
    int id = FreeSpecies();
    int attr = AttrIndex(db_->SpeciesAttrs, L"BEZSEZNAMU");
    ASSERT_GE(attr, 0);
    ASSERT_EQ(kLookupNotAvailable, db_->LoadLookupValues(LOOKUP_SPECIES, L"BEZSEZNAMU"));
    ItemRecord item(TREEITEM_EDIT_TAXON, id);
    ASSERT_EQ(1, LoadForEdit(item));
    SetText(item.Value(db_->SysTreeAttrs->GetCount() + attr), L"hodnota");
    EXPECT_EQ(1, db_->SaveSysItem(-1, &item.r));
    EXPECT_EQ(L"hodnota", First(L"SELECT BEZSEZNAMU FROM SPECIES WHERE SYSID = " + Id(id)));
}

TEST_F(ItemSaveTest, IconsAndTreeAttributesAreStoredAsHeld)
{
    int id = FreeSpecies();
    ItemRecord item(TREEITEM_EDIT_TAXON, id);
    ASSERT_EQ(1, LoadForEdit(item));
    std::vector<unsigned char> icon = zor::MakeSampleBmp(16, 16, 9);
    SetBlob(&item.r.IconSmall, icon);
    VariantClear(&item.r.IconLarge);
    item.r.IconLarge.vt = VT_NULL;
    int group = AttrIndex(db_->SysTreeAttrs, L"SKUPINACZ");
    ASSERT_GE(group, 0);
    SetText(item.Value(group), L"brouci");
    EXPECT_EQ(1, db_->SaveSysItem(-1, &item.r));
    EXPECT_EQ(Id((int)icon.size()), First(L"SELECT length(ICONSMALL) FROM SYSTREE WHERE ID = " + Id(id)));
    EXPECT_EQ(L"NULL", First(L"SELECT quote(ICONLARGE) FROM SYSTREE WHERE ID = " + Id(id)));
    EXPECT_EQ(L"brouci", First(L"SELECT SKUPINACZ FROM SYSTREE WHERE ID = " + Id(id)));
}

TEST_F(ItemSaveTest, NewAndEditIdsMustAgree)
{
    int genus = GenusWithChildren();
    int id = FreeSpecies();
    Rows before = Snapshot();
    ItemRecord stored(TREEITEM_EDIT_TAXON, id);
    ASSERT_EQ(1, LoadForEdit(stored));
    EXPECT_EQ(0, db_->SaveSysItem(genus, &stored.r));  // an existing item with a parent
    ItemRecord fresh(TREEITEM_NEW_TAXON);
    PrepareNewTaxon(fresh, 4, L"bez rodiče");
    EXPECT_EQ(0, db_->SaveSysItem(-1, &fresh.r));       // a new item without one
    ExpectUnchanged(before);
}

TEST_F(ItemSaveTest, LabelEditsNeverMakeItems)
{
    NMTVDISPINFOW info = {};
    EXPECT_EQ(0, db_->AddSysItemByLabel(&info));
    EXPECT_EQ(0, db_->AddLocItemByLabel(&info));
}

// ---- saving localities ----

TEST_F(ItemSaveTest, NewLocalityGetsItsFeaturesRowWithEmptyTextsAsNull)
{
    int district = (int)Int(L"SELECT ID FROM LOCTREE WHERE LOCLEVEL = 2 ORDER BY ID LIMIT 1");
    ASSERT_GT(district, 0);
    long long maxId = Int(L"SELECT MAX(ID) FROM LOCTREE");
    zdata::Recordset* names = db_->GetCachedRecordset(RS_FEATURE_NAMES);
    long before = 0;
    names->get_RecordCount(&before);
    ItemRecord item(TREEITEM_NEW_LOCALITY);
    item.r.LevelId = 3;
    wcscpy(item.r.Name, L"Pod Hradem");
    SetReal(&item.r.Longitude, 14.5);
    SetReal(&item.r.Latitude, 50.25);
    SetText(&item.r.Note, L"vlhká louka");
    item.AddEmptyValues(LocValueCount());
    int biotope = db_->LocTreeAttrs->GetCount() + AttrIndex(db_->FeatureAttrs, L"BIOTOP");
    SetText(item.Value(biotope), L"mokřad s olšemi");
    EXPECT_EQ(1, db_->SaveLocItem(district, &item.r));
    EXPECT_EQ(maxId + 1, item.r.Id);
    EXPECT_EQ(Id(district), First(L"SELECT PARENT FROM LOCTREE WHERE ID = " + Id(item.r.Id)));
    EXPECT_EQ(L"NULL", First(L"SELECT quote(ABBREV) FROM LOCTREE WHERE ID = " + Id(item.r.Id)));
    Rows row = Query(L"SELECT quote(ABBREV), quote(SQUARE), LONGITUDE, LATITUDE, LOCNOTE, BIOTOP, "
                     L"NAME FROM FEATURES WHERE LOCID = " + Id(item.r.Id));
    ASSERT_EQ(1u, row.size());
    EXPECT_EQ(L"NULL", row[0][0]);
    EXPECT_EQ(L"NULL", row[0][1]);
    EXPECT_EQ(14.5, _wtof(row[0][2].c_str()));
    EXPECT_EQ(50.25, _wtof(row[0][3].c_str()));
    EXPECT_EQ(L"vlhká louka", row[0][4]);
    EXPECT_EQ(L"mokřad s olšemi", row[0][5]);
    // The label with coordinates and the enclosing localities replaces the bare name.
    EXPECT_EQ(0u, row[0][6].find(L"Pod Hradem ("));
    EXPECT_EQ(1, Int(L"SELECT COUNT(*) FROM FEA_BIOTOP WHERE NAME = 'mokřad s olšemi'"));
    long after = 0;
    names->get_RecordCount(&after);
    EXPECT_EQ(before + 1, after);

    // Abbreviation and square given: stored as texts.
    ItemRecord edit(TREEITEM_EDIT_LOCALITY, item.r.Id);
    ASSERT_EQ(1, LoadForEdit(edit));
    wcscpy(edit.r.Abbrev, L"PH");
    wcscpy(edit.r.Square, L"5952a");
    EXPECT_EQ(1, db_->SaveLocItem(-1, &edit.r));
    EXPECT_EQ(L"PH", First(L"SELECT ABBREV FROM LOCTREE WHERE ID = " + Id(item.r.Id)));
    EXPECT_EQ(L"5952a", First(L"SELECT SQUARE FROM FEATURES WHERE LOCID = " + Id(item.r.Id)));
    EXPECT_EQ(L"PH", First(L"SELECT ABBREV FROM FEATURES WHERE LOCID = " + Id(item.r.Id)));
}

TEST_F(ItemSaveTest, LocalityAboveTheDataLevelHasNoFeaturesRow)
{
    int region = (int)Int(L"SELECT ID FROM LOCTREE WHERE LOCLEVEL = 1 ORDER BY ID LIMIT 1");
    ItemRecord item(TREEITEM_NEW_LOCALITY);
    item.r.LevelId = 2;
    wcscpy(item.r.Name, L"Nový okres");
    item.AddEmptyValues(LocValueCount());
    EXPECT_EQ(1, db_->SaveLocItem(region, &item.r));
    EXPECT_EQ(0, Int(L"SELECT COUNT(*) FROM FEATURES WHERE LOCID = " + Id(item.r.Id)));
    ASSERT_FALSE(g_findLevelAsked.empty());
    EXPECT_EQ(2u, g_findLevelAsked.back().first);
    EXPECT_EQ(2, g_findLevelAsked.back().second);
}

// ---- deleting items ----

TEST_F(ItemSaveTest, DeletingALeafTakesItsSpeciesRowPicturesAndLinks)
{
    int id = FreeSpecies();
    int lit = (int)Int(L"SELECT ID FROM LITERATURE ORDER BY ID LIMIT 1");
    ASSERT_TRUE(Exec(L"INSERT INTO SYSIMAGES (SYSID, SYSLEVEL, IMGNOTE) VALUES (" + Id(id) + L", 1, 'x')"));
    ASSERT_TRUE(Exec(L"INSERT INTO LITSYSREFS (LITID, SYSID, REFPOS) VALUES (" + Id(lit) + L", " +
                     Id(id) + L", 99)"));
    zdata::Recordset* names = db_->GetCachedRecordset(RS_SPECIES_NAMES);
    long before = 0;
    names->get_RecordCount(&before);
    wintest::MsgBoxRecorder boxes;
    EXPECT_EQ(1, db_->DeleteSysItem(id));
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(0, Int(L"SELECT COUNT(*) FROM SYSTREE WHERE ID = " + Id(id)));
    EXPECT_EQ(0, Int(L"SELECT COUNT(*) FROM SPECIES WHERE SYSID = " + Id(id)));
    EXPECT_EQ(0, Int(L"SELECT COUNT(*) FROM SYSIMAGES WHERE SYSID = " + Id(id)));
    EXPECT_EQ(0, Int(L"SELECT COUNT(*) FROM LITSYSREFS WHERE SYSID = " + Id(id)));
    EXPECT_EQ(1, Int(L"SELECT COUNT(*) FROM LITERATURE WHERE ID = " + Id(lit)));
    long after = 0;
    names->get_RecordCount(&after);
    EXPECT_EQ(before - 1, after);
    ASSERT_TRUE(SUCCEEDED(db_->SysTreeRs->put_Filter((L"ID = " + Id(id)).c_str())));
    EXPECT_TRUE(db_->SysTreeRs->IsEOF());
}

TEST_F(ItemSaveTest, AnItemWithRecordsOrChildrenIsNotDeleted)
{
    int withRecords = (int)Int(L"SELECT T.ID FROM SYSTREE T WHERE EXISTS (SELECT 1 FROM ZORNACOLLS "
                               L"Z WHERE Z.SYSID = T.ID) AND NOT EXISTS (SELECT 1 FROM SYSTREE C "
                               L"WHERE C.PARENT = T.ID) ORDER BY T.ID LIMIT 1");
    int genus = GenusWithChildren();
    ASSERT_GT(withRecords, 0);
    int locality = (int)Int(L"SELECT FTRID FROM ZORNACOLLS ORDER BY ID LIMIT 1");
    auto name = [&](const wchar_t* table, int id) {
        return First(std::wstring(L"SELECT NAME FROM ") + table + L" WHERE ID = " + Id(id));
    };
    Rows before = Snapshot();
    // The delete and the check asked before the question say the same.
    for (bool checkOnly : {false, true}) {
        SCOPED_TRACE(checkOnly ? "check only" : "delete");
        wintest::MsgBoxRecorder boxes;
        EXPECT_EQ(0, db_->DeleteSysItem(withRecords, checkOnly));
        EXPECT_EQ(0, db_->DeleteSysItem(genus, checkOnly));
        EXPECT_EQ(0, db_->DeleteLocItem(locality, checkOnly));
        ASSERT_EQ(3u, boxes.Boxes().size());
        EXPECT_EQ(L"Položku „" + name(L"SYSTREE", withRecords) + L"“ nelze smazat, protože k ní patří zápisy.",
                  boxes.Boxes()[0].text);
        EXPECT_EQ(L"Chyba", boxes.Boxes()[0].caption);
        EXPECT_EQ(L"Položku „" + name(L"SYSTREE", genus) + L"“ nelze smazat, protože obsahuje podřízené položky.",
                  boxes.Boxes()[1].text);
        EXPECT_EQ(L"Položku „" + name(L"LOCTREE", locality) + L"“ nelze smazat, protože k ní patří zápisy.",
                  boxes.Boxes()[2].text);
    }
    EXPECT_EQ(1, db_->DeleteSysItem(FreeSpecies(), true)) << "an item that may go";
    ExpectUnchanged(before);
}

TEST_F(ItemSaveTest, ARefusedDeleteShowsTheDatabaseErrorsAndChangesNothing)
{
    int id = FreeSpecies();
    ASSERT_TRUE(Exec(L"CREATE TRIGGER KEEP_SPECIES BEFORE DELETE ON SPECIES BEGIN "
                     L"SELECT RAISE(ABORT, 'species kept'); END"));
    Rows before = Snapshot();
    wintest::MsgBoxRecorder boxes;
    EXPECT_EQ(0, db_->DeleteSysItem(id));
    ASSERT_GE(boxes.Boxes().size(), 1u);
    EXPECT_NE(std::wstring::npos, boxes.Boxes()[0].text.find(L"species kept"));
    ExpectUnchanged(before);
}

TEST_F(ItemSaveTest, DeletingAnEmptyLocalityTakesItsFeaturesRow)
{
    int id = (int)Int(L"SELECT T.ID FROM LOCTREE T WHERE LOCLEVEL = 3 AND NOT EXISTS (SELECT 1 "
                      L"FROM ZORNACOLLS Z WHERE Z.FTRID = T.ID) ORDER BY T.ID LIMIT 1");
    ASSERT_GT(id, 0);
    EXPECT_EQ(1, db_->DeleteLocItem(id));
    EXPECT_EQ(0, Int(L"SELECT COUNT(*) FROM LOCTREE WHERE ID = " + Id(id)));
    EXPECT_EQ(0, Int(L"SELECT COUNT(*) FROM FEATURES WHERE LOCID = " + Id(id)));
}

}  // namespace
