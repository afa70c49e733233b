// The structure model: its lists and the names it makes unique.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "structure/structmodel.h"

namespace {

void AddLevel(ItemList* list, const wchar_t* name)
{
    LevelEntry* e = NewLevelEntry();
    wcscpy(e->Name, name);
    ItemListAdd(e, list);
}

void AddField(ItemList* list, const wchar_t* name)
{
    AttrEntry* e = NewAttrEntry();
    wcscpy(e->FieldName, name);
    ItemListAdd(e, list);
}

class ModelTest : public ::testing::Test {
protected:
    void SetUp() override { InitStructureModel(&model_); }
    void TearDown() override
    {
        ClearStructureModel(&model_);
        FreeStructureModel(&model_);
    }
    StructureModel model_;
};

TEST_F(ModelTest, ListsGrowBySixteenAndKeepTheirOrderWhenEntriesGo)
{
    ItemList* list = &model_.Lists[MODEL_RECORD_ATTRS];
    for (int k = 0; k < 33; ++k) {
        AttrEntry* e = NewAttrEntry();
        e->Position = k;
        // An entry that owns values: freeing it must release them.
        e->MinVal.vt = VT_BSTR;
        e->MinVal.bstrVal = SysAllocString(L"value");
        EXPECT_EQ(ItemListAdd(e, list), k + 1);
        if (k == 16) {
            EXPECT_EQ(list->Capacity, 32);
        }
    }
    EXPECT_EQ(list->Capacity, 48);
    ItemListRemoveAt(list, 32);  // the last: only the count goes down
    ItemListRemoveAt(list, 0);   // the first: every later entry moves down
    ASSERT_EQ(list->Count, 31);
    for (int i = 0; i < list->Count; ++i)
        EXPECT_EQ(AttrAt(list, i)->Position, i + 1);
    ItemListClear(list);
    EXPECT_EQ(list->Count, 0);
    EXPECT_EQ(list->Capacity, 48);
}

TEST_F(ModelTest, ListsKnowTheirTablesInTheModelsOrder)
{
    const wchar_t* expected[] = {L"SYSTREE", L"LOCTREE", L"SPECIES", L"FEATURES", L"ZORNACOLLS", L"LITERATURE"};
    for (int k = 0; k < 6; ++k)
        EXPECT_STREQ(AttrListTable(MODEL_SYSTREE_ATTRS + k), expected[k]);
    EXPECT_EQ(AttrListTable(MODEL_SYS_LEVELS), nullptr);
    EXPECT_EQ(model_.Lists[MODEL_LOC_LEVELS].Kind, ITEMLIST_LEVELS);
    EXPECT_EQ(model_.Lists[MODEL_SYSTREE_ATTRS].Kind, ITEMLIST_ATTRS);
}

TEST_F(ModelTest, EditsMarkEntriesChangedButNewOnesStayNew)
{
    const int cases[][2] = {{ENTRY_UNCHANGED, ENTRY_CHANGED}, {ENTRY_CHANGED, ENTRY_CHANGED},
                            {ENTRY_NEW, ENTRY_NEW}, {ENTRY_DELETED, ENTRY_DELETED}};
    for (const auto& c : cases) {
        int state = c[0];
        MarkEntryChanged(&state);
        EXPECT_EQ(state, c[1]) << c[0];
    }
}

TEST_F(ModelTest, LevelNamesAreMadeUniqueWithoutRegardToCase)
{
    ItemList* levels = &model_.Lists[MODEL_SYS_LEVELS];
    AddLevel(levels, L"ROD");
    AddLevel(levels, L"rod1");
    AddLevel(levels, L"ČELEĎ");
    std::wstring at61(58, L'x');
    AddLevel(levels, (at61 + L"Rod").c_str());
    struct Case {
        std::wstring name;
        bool ok;
        std::wstring result;
    };
    const std::wstring long62(62, L'y'), long63(63, L'z');
    // Entries whose names take every suffix a length allows.
    for (int k = 1; k <= 8; ++k)
        AddLevel(levels, (long62 + std::to_wstring(k)).c_str());
    AddLevel(levels, long62.c_str());
    AddLevel(levels, long63.c_str());
    const Case cases[] = {
        {L"Rod", true, L"Rod2"},
        {L"Druh", true, L"Druh"},            // free: unchanged
        {L"Čeleď", true, L"Čeleď1"},         // Czech letters fold too
        {at61 + L"Rod", true, at61 + L"Rod1"},  // 61 characters: suffix 1 fits
        {long62, false, long62},             // 62 characters: suffixes 1-8 all taken
        {long63, false, long63},             // 63 characters: no room for any suffix
    };
    for (const Case& c : cases) {
        wchar_t name[64];
        wcscpy(name, c.name.c_str());
        EXPECT_EQ(MakeUniqueLevelName(levels, name), c.ok) << std::string(c.name.begin(), c.name.end());
        EXPECT_EQ(std::wstring(name), c.result);
        EXPECT_LE(wcslen(name), 63u);
    }
}

TEST_F(ModelTest, FieldNamesGetTwoDigitSuffixesAfterTheirBase)
{
    ItemList* attrs = &model_.Lists[MODEL_SPECIES_ATTRS];
    AddField(attrs, L"nazev");
    AddField(attrs, L"NAZEV01");
    AddField(attrs, L"POCET");
    struct Case {
        const wchar_t* name;
        int n;
        const wchar_t* result;
    };
    const Case cases[] = {
        {L"NAZEV", 0, L"NAZEV02"},    // nazev and NAZEV01 taken
        {L"NAZEV01", 1, L"NAZEV02"},  // base NAZEV, counting on from 2
        {L"DELKA", 0, L"DELKA"},      // free
        {L"POCET", 0, L"POCET01"},
    };
    for (const Case& c : cases) {
        wchar_t name[32];
        wcscpy(name, c.name);
        EXPECT_TRUE(MakeUniqueFieldName(attrs, name, c.n));
        EXPECT_STREQ(name, c.result);
    }
}

}  // namespace
