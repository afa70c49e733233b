// Lookup values and authors, the reading side: the lookup cache, row texts, prefix searches from
// a start row, abbreviations and the controls filled from lookup tables and ID/NAME recordsets.
// Runs on a generated sample database in a temporary folder, checked against plain SQL.
#include <gtest/gtest.h>
#include "tests/core/sampletemplate.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "controls/plexa.h"
#include "core/ctlfill.h"
#include "core/database.h"
#include "tools/testkit/rawodbc.h"
#include "tools/sampledb/sampledb.h"
#include "core/textutil.h"
#include "core/zm_messages.h"
#include "czechcollation/czechtext.h"
#include "tests/core/dbfixture.h"
#include "tests/support/wintest.h"

using zdata::Recordset;
using zor::RawOdbc;
using Rows = std::vector<std::vector<std::wstring>>;

namespace {

// The sample database with a few values added that a user could type: an apostrophe, a
// wildcard character and a name whose letters fold only the Unicode way.
std::wstring SampleTemplate()
{
    zor::SampleDbOptions options;
    options.records = 200;
    return SharedSampleTemplate(L"lookuptemplate", options,
                                {L"INSERT INTO ZOR_METODA (NAME, ABBREV) VALUES ('O''Brienova past', 'OB')",
                                 L"INSERT INTO ZOR_METODA (NAME, ABBREV) VALUES ('Obrácená síť', 'OS')",
                                 L"INSERT INTO ZOR_METODA (NAME, ABBREV) VALUES ('síť 50%', NULL)",
                                 L"INSERT INTO ZOR_METODA (NAME, ABBREV) VALUES ('síťový lapač', 'SL2')",
                                 L"INSERT INTO SYSAUTHORS (NAME) VALUES ('O''Neill')"});
}

// The values of a lookup table in the lists' order: the Czech alphabet.
std::vector<std::wstring> Names(const std::wstring& path, const wchar_t* table)
{
    std::vector<std::wstring> names;
    for (const auto& r : dbtest::Query(path, std::wstring(L"SELECT NAME FROM ") + table))
        names.push_back(r[0]);
    std::sort(names.begin(), names.end(), CzechLess());
    return names;
}

int RowOf(const std::vector<std::wstring>& names, const std::wstring& name)
{
    for (size_t i = 0; i < names.size(); i++)
        if (names[i] == name)
            return (int)i;
    return -2;
}

class LookupTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        main_ = dbtest::MakeMainWindow(nullptr, 420, 320);
        ASSERT_TRUE(main_ != nullptr);
        std::wstring from = SampleTemplate();
        ASSERT_FALSE(from.empty());
        path_ = dbtest::CopyOfTemplate(from, L"lookup_db");
        ASSERT_FALSE(path_.empty());
        ASSERT_NO_FATAL_FAILURE(dbtest::OpenDatabase(main_, path_, &db_, &settings_));
    }
    static void TearDownTestSuite() { dbtest::CloseDatabase(&main_, &db_, &settings_); }

    static HWND main_;
    static std::wstring path_;
    static CDatabase* db_;
    static ConnSettings settings_;
};

HWND LookupTest::main_ = nullptr;
std::wstring LookupTest::path_;
CDatabase* LookupTest::db_ = nullptr;
ConnSettings LookupTest::settings_ = {};

std::wstring CachedText(CDatabase* db)
{
    wchar_t buffer[256];
    if (!VariantToText(&db->CachedValue, buffer, 256))
        return L"";
    return buffer;
}

// ---- table names and the cache ----

TEST(LookupNames, TableNamesFollowTheKindAndTheAuthorField)
{
    wchar_t name[32];
    const struct { int kind; const wchar_t* field; const wchar_t* table; } cases[] = {
        { 1, L"OCHRANA", L"SPE_OCHRANA" }, { 1, L"AUTHOR", L"SYSAUTHORS" },
        { 1, L"author", L"SPE_author" },   { 2, L"BIOTOP", L"FEA_BIOTOP" },
        { 3, L"METODA", L"ZOR_METODA" },  { 4, L"X", L"SYS_X" },
        { 5, L"X", L"LOC_X" },            { 6, L"JAZYK", L"LIT_JAZYK" },
        { 0, L"SPE_OCHRANA", L"SPE_OCHRANA" }, { 7, L"AUTHOR", L"AUTHOR" },
        { 2, L"AUTHOR", L"FEA_AUTHOR" },
    };
    for (const auto& c : cases) {
        LookupTableName(c.kind, c.field, name);
        EXPECT_STREQ(c.table, name) << c.kind;
    }
    // At most 31 characters.
    LookupTableName(3, L"ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGH", name);
    EXPECT_EQ(31u, wcslen(name));
    EXPECT_EQ(0, wcsncmp(L"ZOR_ABCDEFGHIJ", name, 14));
}

TEST(LookupNames, PropertyBoxTypeOfEachAttributeType)
{
    EXPECT_EQ(PBT_BOOL, PropBoxTypeOfAttr(ATTR_BOOLEAN));
    EXPECT_EQ(PBT_INTEGER, PropBoxTypeOfAttr(ATTR_INTEGER));
    EXPECT_EQ(PBT_REAL, PropBoxTypeOfAttr(ATTR_REAL));
    EXPECT_EQ(PBT_TEXT, PropBoxTypeOfAttr(ATTR_DATE));
    EXPECT_EQ(PBT_TEXT, PropBoxTypeOfAttr(ATTR_TEXT));
    EXPECT_EQ(261, PropBoxTypeOfAttr(ATTR_LOOKUP));
    EXPECT_EQ(261, PropBoxTypeOfAttr(ATTR_GEO_LOOKUP));
    EXPECT_EQ(PBT_BINARY, PropBoxTypeOfAttr(ATTR_LONG_TEXT));
    EXPECT_EQ(PBT_TEXT, PropBoxTypeOfAttr(42));
}

TEST_F(LookupTest, SameTableTwiceGivesTheSameIndexAndOneEntry)
{
    int a = db_->LoadLookupValues(2, L"BIOTOP");
    ASSERT_GE(a, 0);
    ASSERT_NE(kLookupNotAvailable, a);
    int count = db_->LookupCache->GetCount();
    Recordset* rs = db_->GetLookupRecordset(a);
    ASSERT_TRUE(rs != nullptr);
    EXPECT_EQ(a, db_->LoadLookupValues(2, L"BIOTOP"));
    EXPECT_EQ(count, db_->LookupCache->GetCount());
    EXPECT_EQ(rs, db_->GetLookupRecordset(a));

    int b = db_->LoadLookupValues(3, L"METODA");
    EXPECT_NE(a, b);
    LookupCacheEntry* entry = nullptr;
    EXPECT_EQ(b, FindLookupEntry(L"ZOR_METODA", db_->LookupCache, &entry));
    ASSERT_TRUE(entry != nullptr);
    EXPECT_STREQ(L"ZOR_METODA", entry->TableName);
    // Names compare case-sensitively.
    EXPECT_EQ(-1, FindLookupEntry(L"zor_metoda", db_->LookupCache, &entry));
    EXPECT_EQ(nullptr, entry);

    long location = 0, type = 0, lock = 0;
    rs->get_CursorLocation(&location);
    rs->get_CursorType(&type);
    rs->get_LockType(&lock);
    EXPECT_EQ(adUseClient, location);
    // The layer reports the static snapshot it makes of a keyset request.
    EXPECT_TRUE(type == adOpenKeyset || type == adOpenStatic) << type;
    EXPECT_EQ(adLockOptimistic, lock);
}

TEST_F(LookupTest, MissingTableGivesTheNotAvailableIndexWhichEveryReaderRefuses)
{
    int before = db_->LookupCache->GetCount();
    int index = db_->LoadLookupValues(2, L"NEEXISTUJE");
    EXPECT_EQ(65535, index);
    EXPECT_EQ(before, db_->LookupCache->GetCount());
    EXPECT_EQ(-1, FindLookupEntry(L"FEA_NEEXISTUJE", db_->LookupCache, nullptr));

    // With at least one real entry cached, 65535 must still not reach past the cache.
    ASSERT_GE(db_->LoadLookupValues(2, L"BIOTOP"), 0);
    EXPECT_EQ(nullptr, db_->GetLookupRecordset(index));
    EXPECT_EQ(0, db_->GetLookupCount(index));
    db_->CachedTextLength = 7;
    EXPECT_EQ(0, db_->GetLookupTextLen(index, 0));
    EXPECT_EQ(0, db_->CachedTextLength);
    int row = 3;
    EXPECT_EQ(0, db_->FindLookupPrefix(index, L"lo", &row));
    EXPECT_EQ(3, row);
    EXPECT_EQ(0, db_->FindLookupPrefix(-1, L"lo", &row));
    EXPECT_EQ(3, row);
    EXPECT_EQ(0, db_->GetLookupCount(db_->LookupCache->GetCount()));
    EXPECT_EQ(0, db_->GetLookupCount(-5));

    HWND combo = CreateWindowExW(0, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_CHILD, 0, 0, 100, 200,
                                 main_, nullptr, nullptr, nullptr);
    SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)L"kept");
    EXPECT_EQ(0, db_->FillLookupControl(index, 2, combo));
    EXPECT_EQ(1, SendMessageW(combo, CB_GETCOUNT, 0, 0));
    DestroyWindow(combo);
}

TEST_F(LookupTest, NamesThatAreNotPlainIdentifiersAreNeverQueried)
{
    int before = db_->LookupCache->GetCount();
    EXPECT_EQ(kLookupNotAvailable, db_->LoadLookupValues(2, L"BIOTOP; DROP TABLE FEA_BIOTOP"));
    EXPECT_EQ(kLookupNotAvailable, db_->LoadLookupValues(0, L"[FEA_BIOTOP]"));
    EXPECT_EQ(before, db_->LookupCache->GetCount());
    EXPECT_EQ(Names(path_, L"FEA_BIOTOP").size(), 16u);
}

TEST_F(LookupTest, CountAndRowTextsFollowTheTableInNameOrder)
{
    std::vector<std::wstring> names = Names(path_, L"FEA_BIOTOP");
    ASSERT_EQ(16u, names.size());
    int index = db_->LoadLookupValues(2, L"BIOTOP");
    ASSERT_EQ(16, db_->GetLookupCount(index));
    // Backwards, so every row is a real move.
    for (int row = (int)names.size() - 1; row >= 0; row--) {
        int length = db_->GetLookupTextLen(index, row);
        EXPECT_EQ((int)names[row].size(), length) << row;
        EXPECT_EQ(length, db_->CachedTextLength);
        EXPECT_EQ(names[row], CachedText(db_)) << row;
    }
    VariantClear(&db_->CachedValue);
    EXPECT_EQ(0, db_->GetLookupTextLen(index, 16));
    EXPECT_EQ(0, db_->CachedTextLength);
    EXPECT_EQ(0, db_->GetLookupTextLen(index, -1));
}

// ---- prefix searches ----

TEST_F(LookupTest, PrefixSearchFindsTheFirstMatchAtOrAfterTheStartRow)
{
    std::vector<std::wstring> names = Names(path_, L"FEA_BIOTOP");
    int index = db_->LoadLookupValues(2, L"BIOTOP");
    int lom = RowOf(names, L"lom"), louka = RowOf(names, L"louka"), luzni = RowOf(names, L"lužní les");
    ASSERT_GE(lom, 0);
    ASSERT_EQ(lom + 1, louka);
    ASSERT_EQ(louka + 1, luzni);

    int row = -1;
    EXPECT_EQ(2, db_->FindLookupPrefix(index, L"lo", &row));
    EXPECT_EQ(lom, row);
    // The start row itself is searched.
    row = louka;
    EXPECT_EQ(2, db_->FindLookupPrefix(index, L"lo", &row));
    EXPECT_EQ(louka, row);
    // Past the last "lo" value only "l" still matches, at "lužní les".
    row = louka + 1;
    EXPECT_EQ(1, db_->FindLookupPrefix(index, L"lo", &row));
    EXPECT_EQ(luzni, row);
    // Only the first three characters match any value.
    row = -1;
    EXPECT_EQ(3, db_->FindLookupPrefix(index, L"pasXYZ", &row));
    EXPECT_EQ(RowOf(names, L"pastvina"), row);
    // Nothing matches at all.
    row = 4;
    EXPECT_EQ(0, db_->FindLookupPrefix(index, L"qqq", &row));
    EXPECT_EQ(-1, row);
    // A start row beyond the end finds nothing.
    row = 16;
    EXPECT_EQ(0, db_->FindLookupPrefix(index, L"l", &row));
    EXPECT_EQ(-1, row);
}

TEST_F(LookupTest, PrefixSearchTakesCzechLettersAndIgnoresTheirCase)
{
    std::vector<std::wstring> names = Names(path_, L"FEA_BIOTOP");
    int index = db_->LoadLookupValues(2, L"BIOTOP");
    int row = -1;
    EXPECT_EQ(4, db_->FindLookupPrefix(index, L"smíš", &row));
    EXPECT_EQ(RowOf(names, L"smíšený les"), row);
    row = -1;
    EXPECT_EQ(4, db_->FindLookupPrefix(index, L"SMÍŠ", &row));
    EXPECT_EQ(RowOf(names, L"smíšený les"), row);
    // "rašeliništ" + a wrong last letter still finds the peat bog by its first ten letters.
    row = -1;
    EXPECT_EQ(10, db_->FindLookupPrefix(index, L"RAŠELINIŠTx", &row));
    EXPECT_EQ(RowOf(names, L"rašeliniště"), row);
}

TEST_F(LookupTest, PrefixSearchTakesApostrophesAndWildcardsAsTypedCharacters)
{
    std::vector<std::wstring> names = Names(path_, L"ZOR_METODA");
    int index = db_->LoadLookupValues(3, L"METODA");
    int row = -1;
    EXPECT_EQ(4, db_->FindLookupPrefix(index, L"O'Br", &row));
    EXPECT_EQ(RowOf(names, L"O'Brienova past"), row);
    // The apostrophe itself decides: "O'" matches only the value with one.
    row = -1;
    EXPECT_EQ(2, db_->FindLookupPrefix(index, L"o'", &row));
    EXPECT_EQ(RowOf(names, L"O'Brienova past"), row);
    // A typed '*' is not a wildcard: "síť*" matches "síť" only (three letters).
    row = -1;
    EXPECT_EQ(3, db_->FindLookupPrefix(index, L"síť*", &row));
    EXPECT_EQ(RowOf(names, L"síť 50%"), row);
    // '%' is a character of the value, not a wildcard either.
    row = -1;
    EXPECT_EQ(7, db_->FindLookupPrefix(index, L"síť 50%", &row));
    EXPECT_EQ(RowOf(names, L"síť 50%"), row);
    row = -1;
    EXPECT_EQ(5, db_->FindLookupPrefix(index, L"síť 5%", &row));
    EXPECT_EQ(RowOf(names, L"síť 50%"), row);
}

// ---- the author list ----

TEST_F(LookupTest, AuthorsAreServedRowByRowWithTheirFilterCleared)
{
    std::vector<std::wstring> names = Names(path_, L"SYSAUTHORS");
    ASSERT_GT(names.size(), 3u);
    EXPECT_EQ((int)names.size(), db_->OpenSysAuthors());
    ASSERT_TRUE(db_->SysAuthorsRs != nullptr);
    // A filter some other user left on the shared list does not hide rows here.
    ASSERT_EQ(S_OK, db_->SysAuthorsRs->put_Filter(L"NAME = 'O''Neill'"));
    int last = (int)names.size() - 1;
    EXPECT_EQ((int)names[last].size(), db_->GetSysAuthorTextLen(last));
    wchar_t buffer[128];
    db_->GetSysAuthorText(last, buffer);
    EXPECT_EQ(names[last], buffer);
    EXPECT_EQ(VT_EMPTY, db_->CachedValue.vt);

    EXPECT_EQ((int)names[1].size(), db_->GetSysAuthorTextLen(1));
    db_->GetSysAuthorText(1, buffer);
    EXPECT_EQ(names[1], buffer);

    // At or beyond the count: 0 and an empty buffer.
    EXPECT_EQ(0, db_->GetSysAuthorTextLen((int)names.size()));
    wcscpy(buffer, L"old");
    db_->GetSysAuthorText((int)names.size(), buffer);
    EXPECT_STREQ(L"", buffer);
}

TEST_F(LookupTest, AuthorPrefixSearchAndTheSharedAuthorEntry)
{
    std::vector<std::wstring> names = Names(path_, L"SYSAUTHORS");
    int row = -1;
    EXPECT_EQ(3, db_->FindSysAuthorPrefix(L"o'n", &row));
    EXPECT_EQ(RowOf(names, L"O'Neill"), row);
    row = RowOf(names, L"O'Neill") + 1;
    int n = db_->FindSysAuthorPrefix(L"O'N", &row);
    EXPECT_LT(n, 3);

    int index = db_->LoadLookupValues(1, L"AUTHOR");
    ASSERT_NE(kLookupNotAvailable, index);
    EXPECT_EQ(db_->SysAuthorsRs, db_->GetLookupRecordset(index));
    EXPECT_EQ((int)names.size(), db_->GetLookupCount(index));
    EXPECT_EQ(index, db_->LoadLookupValues(1, L"AUTHOR"));

    // The author list has no abbreviations: its list box rows carry no data.
    HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD, 0, 0, 150, 200, main_, nullptr,
                                nullptr, nullptr);
    ASSERT_EQ((int)names.size(), db_->FillLookupControl(index, 1, list));
    for (int i = 0; i < (int)names.size(); i++)
        EXPECT_EQ(0, SendMessageW(list, LB_GETITEMDATA, i, 0)) << i;
    CDatabase::ResetLookupListBox(list);
    DestroyWindow(list);
}

// ---- filling controls ----

TEST_F(LookupTest, LookupValuesFillAListBoxWithAbbreviationsAComboAndAListView)
{
    std::vector<std::wstring> names = Names(path_, L"ZOR_METODA");
    int index = db_->LoadLookupValues(3, L"METODA");
    ShowWindow(main_, SW_SHOW);
    HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL,
                                5, 5, 190, 140, main_, nullptr, nullptr, nullptr);
    HWND combo = CreateWindowExW(0, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_CHILD | WS_VISIBLE | WS_VSCROLL,
                                 205, 5, 190, 260, main_, nullptr, nullptr, nullptr);
    HWND view = CreateWindowExW(0, WC_LISTVIEWW, L"", LVS_LIST | WS_CHILD | WS_VISIBLE | WS_BORDER,
                                5, 150, 190, 120, main_, nullptr, nullptr, nullptr);
    HFONT font = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    SendMessageW(list, WM_SETFONT, (WPARAM)font, 0);
    SendMessageW(combo, WM_SETFONT, (WPARAM)font, 0);
    SendMessageW(list, LB_ADDSTRING, 0, (LPARAM)L"stará položka");

    ASSERT_EQ((int)names.size(), db_->FillLookupControl(index, 1, list));
    ASSERT_EQ((int)names.size(), db_->FillLookupControl(index, 2, combo));
    ASSERT_EQ((int)names.size(), db_->FillLookupControl(index, 3, view));
    ASSERT_EQ((LRESULT)names.size(), SendMessageW(list, LB_GETCOUNT, 0, 0));
    ASSERT_EQ((LRESULT)names.size(), SendMessageW(combo, CB_GETCOUNT, 0, 0));
    ASSERT_EQ((LRESULT)names.size(), SendMessageW(view, LVM_GETITEMCOUNT, 0, 0));
    for (size_t i = 0; i < names.size(); i++) {
        wchar_t text[128];
        SendMessageW(combo, CB_GETLBTEXT, i, (LPARAM)text);
        EXPECT_EQ(names[i], text);
        SendMessageW(list, LB_GETTEXT, i, (LPARAM)text);
        EXPECT_EQ(names[i], text);
        LVITEMW item = {};
        item.iSubItem = 0;
        item.pszText = text;
        item.cchTextMax = 128;
        SendMessageW(view, LVM_GETITEMTEXTW, i, (LPARAM)&item);
        EXPECT_EQ(names[i], text);
    }
    // The list box carries copies of the abbreviations; a NULL abbreviation gives no data.
    const wchar_t* ob = (const wchar_t*)SendMessageW(list, LB_GETITEMDATA, RowOf(names, L"O'Brienova past"), 0);
    ASSERT_TRUE(ob != nullptr);
    EXPECT_STREQ(L"OB", ob);
    EXPECT_EQ(0, SendMessageW(list, LB_GETITEMDATA, RowOf(names, L"síť 50%"), 0));

    SendMessageW(combo, CB_SETCURSEL, 0, 0);
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    UpdateWindow(main_);
    wintest::PumpMessages(300);
    EXPECT_FALSE(wintest::SaveScreenshot(main_, L"lookup_filled_controls").empty());
    SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);

    CDatabase::ResetLookupListBox(list);
    EXPECT_EQ(0, SendMessageW(list, LB_GETCOUNT, 0, 0));
    EXPECT_EQ(0, db_->FillLookupControl(index, 4, list));
    DestroyWindow(list);
    DestroyWindow(combo);
    DestroyWindow(view);
    ShowWindow(main_, SW_HIDE);
}

TEST_F(LookupTest, LookupFieldComboListsOnlyLookupAttributesWithTheirDefinitions)
{
    HWND combo = CreateWindowExW(0, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_CHILD, 0, 0, 150, 200,
                                 main_, nullptr, nullptr, nullptr);
    db_->FillLookupFieldCombo(3, combo);
    ASSERT_EQ(2, SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < 2; i++) {
        const CustomAttrDef* def = (const CustomAttrDef*)SendMessageW(combo, CB_GETITEMDATA, i, 0);
        ASSERT_TRUE(db_->FeatureAttrs->IndexOf(def) >= 0) << i;
        wchar_t text[64];
        SendMessageW(combo, CB_GETLBTEXT, i, (LPARAM)text);
        EXPECT_STREQ(def->Caption, text);
        EXPECT_TRUE(def->Type == ATTR_LOOKUP || def->Type == ATTR_GEO_LOOKUP);
    }
    db_->FillLookupFieldCombo(4, combo);
    ASSERT_EQ(1, SendMessageW(combo, CB_GETCOUNT, 0, 0));
    EXPECT_STREQ(L"METODA", ((const CustomAttrDef*)SendMessageW(combo, CB_GETITEMDATA, 0, 0))->FieldName);
    db_->FillLookupFieldCombo(0, combo);
    EXPECT_EQ(0, SendMessageW(combo, CB_GETCOUNT, 0, 0));
    db_->FillLookupFieldCombo(5, combo);
    ASSERT_EQ(1, SendMessageW(combo, CB_GETCOUNT, 0, 0));
    db_->FillLookupFieldCombo(6, combo);
    EXPECT_EQ(0, SendMessageW(combo, CB_GETCOUNT, 0, 0));
    DestroyWindow(combo);
}

// ---- abbreviations ----

TEST_F(LookupTest, AbbreviationOfAValueOrTheOutputLeftAlone)
{
    VARIANT value, out;
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(L"louka");
    VariantInit(&out);
    db_->GetLookupAbbrev(L"features", L"BIOTOP", &value, &out);
    ASSERT_EQ(VT_BSTR, out.vt);
    EXPECT_STREQ(L"LO", out.bstrVal);
    VariantClear(&out);

    // Exact comparison: another case is another value.
    SysFreeString(value.bstrVal);
    value.bstrVal = SysAllocString(L"Louka");
    out.vt = VT_I4;
    out.lVal = 77;
    db_->GetLookupAbbrev(L"FEATURES", L"BIOTOP", &value, &out);
    EXPECT_EQ(VT_I4, out.vt);
    EXPECT_EQ(77, out.lVal);
    VariantClear(&value);

    value.vt = VT_I4;
    value.lVal = 1;
    db_->GetLookupAbbrev(L"FEATURES", L"BIOTOP", &value, &out);
    EXPECT_EQ(77, out.lVal);

    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(L"O'Brienova past");
    db_->GetLookupAbbrev(L"ZORNACOLLS", L"METODA", &value, &out);
    ASSERT_EQ(VT_BSTR, out.vt);
    EXPECT_STREQ(L"OB", out.bstrVal);
    VariantClear(&out);
    VariantClear(&value);
}

// ---- property boxes (a recording stand-in for the grid) ----

struct PbxCall { UINT msg; WPARAM wParam; LPARAM lParam; };
std::vector<PbxCall> g_pbx;

LRESULT CALLBACK RecordingBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == PBXM_ADDITEM) {
        int count = 0;
        for (const auto& c : g_pbx)
            count += c.msg == PBXM_ADDITEM;
        g_pbx.push_back({ msg, wParam, lParam });
        return count;
    }
    if (msg == PBXM_SETITEMDATA) {
        g_pbx.push_back({ msg, wParam, lParam });
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND MakeRecordingBox()
{
    g_pbx.clear();
    return dbtest::MakeStandIn(L"ZorRecordingBox", RecordingBoxProc);
}

void ExpectItemsOf(const std::vector<const CPtrArray*>& lists)
{
    size_t k = 0;
    int index = 0;
    for (const CPtrArray* list : lists) {
        for (int i = 0; i < list->GetCount(); i++, index++) {
            const CustomAttrDef* def = (const CustomAttrDef*)list->GetItems()[i];
            ASSERT_LT(k + 1, g_pbx.size() + 0) << index;
            EXPECT_EQ((UINT)PBXM_ADDITEM, g_pbx[k].msg);
            EXPECT_EQ(0xFFFFu, LOWORD(g_pbx[k].wParam));
            EXPECT_EQ((WORD)PropBoxTypeOfAttr(def->Type), HIWORD(g_pbx[k].wParam));
            EXPECT_STREQ(def->Caption, (const wchar_t*)g_pbx[k].lParam);
            EXPECT_EQ((UINT)PBXM_SETITEMDATA, g_pbx[k + 1].msg);
            EXPECT_EQ(0xFFFFu, LOWORD(g_pbx[k + 1].wParam));
            EXPECT_EQ((WORD)index, HIWORD(g_pbx[k + 1].wParam));
            // The whole pointer arrives, not its low 32 bits.
            EXPECT_EQ((LPARAM)def, g_pbx[k + 1].lParam);
            k += 2;
        }
    }
    EXPECT_EQ(k, g_pbx.size());
}

TEST_F(LookupTest, PropertyBoxesGetTheAttributesOfBothTablesInOrder)
{
    HWND box = MakeRecordingBox();
    EXPECT_EQ(db_->SysTreeAttrs->GetCount(), db_->FillSysPropertyBox(box));
    ExpectItemsOf({ db_->SysTreeAttrs, db_->SpeciesAttrs });
    g_pbx.clear();
    EXPECT_EQ(db_->LocTreeAttrs->GetCount(), db_->FillLocPropertyBox(box));
    ExpectItemsOf({ db_->LocTreeAttrs, db_->FeatureAttrs });
    g_pbx.clear();
    EXPECT_EQ(6, db_->FillLitPropertyBox(box));
    ExpectItemsOf({ db_->LiteratureAttrs });
    DestroyWindow(box);
}

// ---- combos and list boxes from ID/NAME recordsets ----

TEST_F(LookupTest, RecordsetFillersTakeNameAsTextAndIdAsData)
{
    RawOdbc raw;
    ASSERT_TRUE(raw.Open(path_, false));
    Rows rows;
    ASSERT_TRUE(raw.Query(L"SELECT ID, NAME FROM JOURNALS ORDER BY NAME", rows));
    ASSERT_GT(rows.size(), 2u);
    raw.Close();

    HWND combo = CreateWindowExW(0, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_CHILD, 0, 0, 150, 200,
                                 main_, nullptr, nullptr, nullptr);
    HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD, 0, 0, 150, 200, main_, nullptr,
                                nullptr, nullptr);
    Recordset* rs = db_->OpenQuery(L"SELECT ID, NAME FROM JOURNALS ORDER BY NAME", adUseClient,
                                   adOpenKeyset, adLockReadOnly);
    rs->MoveLast();  // the fillers start from the first row wherever the cursor is
    FillComboFromRecordset(combo, rs);
    FillListBoxFromRecordset(list, rs);
    ASSERT_EQ((LRESULT)rows.size(), SendMessageW(combo, CB_GETCOUNT, 0, 0));
    ASSERT_EQ((LRESULT)rows.size(), SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (size_t i = 0; i < rows.size(); i++) {
        int id = _wtoi(rows[i][0].c_str());
        int at = FindComboItemByData(combo, id);
        ASSERT_GE(at, 0) << i;
        wchar_t text[128];
        SendMessageW(combo, CB_GETLBTEXT, at, (LPARAM)text);
        EXPECT_EQ(rows[i][1], text);
        at = FindListBoxItemByData(list, id);
        ASSERT_GE(at, 0) << i;
        SendMessageW(list, LB_GETTEXT, at, (LPARAM)text);
        EXPECT_EQ(rows[i][1], text);
    }
    CDatabase::CloseRecordset(rs);

    // An empty recordset leaves both controls empty.
    rs = db_->OpenQuery(L"SELECT ID, NAME FROM JOURNALS WHERE 0 = 1", adUseClient, adOpenKeyset,
                        adLockReadOnly);
    FillComboFromRecordset(combo, rs);
    FillListBoxFromRecordset(list, rs);
    EXPECT_EQ(0, SendMessageW(combo, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(0, SendMessageW(list, LB_GETCOUNT, 0, 0));
    CDatabase::CloseRecordset(rs);
    DestroyWindow(combo);
    DestroyWindow(list);
}

// Closing with the author list cached as a lookup entry closes the shared recordset once.
TEST_F(LookupTest, ZzCloseWithTheSharedAuthorEntryLeavesNothingOpen)
{
    ASSERT_NE(kLookupNotAvailable, db_->LoadLookupValues(1, L"AUTHOR"));
    ASSERT_GE(db_->LoadLookupValues(2, L"BIOTOP"), 0);
    EXPECT_EQ(1, db_->Close());
    EXPECT_EQ(0, db_->LookupCache->GetCount());
    EXPECT_EQ(nullptr, db_->SysAuthorsRs);
    EXPECT_EQ(kLookupNotAvailable, db_->LoadLookupValues(2, L"BIOTOP"));
    EXPECT_EQ(0, db_->GetLookupCount(0));
}

}  // namespace
