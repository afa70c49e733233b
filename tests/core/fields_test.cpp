// Field model: composed fields from masks, field-name lists in the list separator, list-view
// columns, virtual-list cells (booleans, truncation, rows that cannot be reached) and header
// sort marks. Rows come from a generated sample database opened through the database object.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "core/database.h"
#include "core/fields.h"
#include "tools/testkit/rawodbc.h"
#include "tools/sampledb/sampledb.h"
#include "core/zm_messages.h"
#include "tests/core/fields_fixture.h"
#include "tests/support/wintest.h"

using zdata::Recordset;

namespace {

// ---- composed fields ----

class ComposedFieldTest : public FieldsDbFixture {
protected:
    void SetUp() override
    {
        FieldsDbFixture::SetUp();
        ASSERT_TRUE(Db() != nullptr);
        rs_ = Db()->OpenQuery(L"SELECT 'Brno' AS A, 1998 AS B, NULL AS C", adUseClient,
                              adOpenKeyset, adLockReadOnly);
        ASSERT_TRUE(rs_ != nullptr);
        ASSERT_TRUE(SUCCEEDED(rs_->MoveFirst()));
        ASSERT_TRUE(SUCCEEDED(rs_->get_Fields(&row_)));
        for (int i = 0; i < 3; ++i) {
            refs_[i].reset(new CFieldInfo(i == 0 ? L"A" : i == 1 ? L"B" : L"C", L"SPECIES"));
            refs_[i]->ColumnOrdinal = i;
        }
    }
    void TearDown() override
    {
        if (row_)
            row_->Release();
        if (rs_) {
            rs_->Close();
            rs_->Release();
        }
        FieldsDbFixture::TearDown();
    }
    std::wstring Format(const wchar_t* mask, int refs = 2)
    {
        CCustFld cust(L"Složené");
        cust.Mask = _wcsdup(mask);
        for (int i = 0; i < refs; ++i)
            cust.FieldRefs->Add(refs_[i].get());
        VARIANT v = RowFieldsVariant(row_);
        int need = CustomFieldValue(v, nullptr, 0, &cust);
        EXPECT_GE(need, 0);
        std::wstring buf(need + 1, L'?');
        EXPECT_EQ(0, CustomFieldValue(v, &buf[0], need + 1, &cust));
        std::wstring text = buf.c_str();
        EXPECT_LE((int)text.size(), need) << "the length request must cover the text";
        return text;
    }

    Recordset* rs_ = nullptr;
    zdata::Fields* row_ = nullptr;
    std::unique_ptr<CFieldInfo> refs_[3];
};

TEST_F(ComposedFieldTest, ReferencesInParenthesesAndLiterals)
{
    EXPECT_EQ(L"Brno (1998)", Format(L"#1 (#2)"));
    EXPECT_EQ(L"#1", Format(L"##1"));
    EXPECT_EQ(L"a#bBrnoc", Format(L"a##b#1c"));
    EXPECT_EQ(L"Brno", Format(L"#1"));
}

TEST_F(ComposedFieldTest, OutOfRangeReferencesAndLettersAfterHash)
{
    EXPECT_EQ(L"[]", Format(L"[#9]"));
    EXPECT_EQ(L"[]", Format(L"[#0]"));
    EXPECT_EQ(L"x-", Format(L"#x-"));
    EXPECT_EQ(L"ab", Format(L"a#b"));
    EXPECT_EQ(L"Brno", Format(L"#1#"));
    EXPECT_EQ(L"", Format(L""));
}

TEST_F(ComposedFieldTest, NullValueGivesEmptyText)
{
    EXPECT_EQ(L"Brno, ", Format(L"#1, #3", 3));
}

TEST_F(ComposedFieldTest, LengthRequestCountsMaskAndFieldSizes)
{
    CCustFld cust(L"x");
    cust.Mask = _wcsdup(L"#1 (#2)");
    cust.FieldRefs->Add(refs_[0].get());
    cust.FieldRefs->Add(refs_[1].get());
    VARIANT v = RowFieldsVariant(row_);
    zdata::Field* b = nullptr;
    ASSERT_TRUE(SUCCEEDED(row_->Item(1L, &b)));
    zdata::Field* a = nullptr;
    ASSERT_TRUE(SUCCEEDED(row_->Item(0L, &a)));
    int expected = 7 + FieldTextLength(a) + FieldTextLength(b);
    EXPECT_EQ(32, FieldTextLength(b));  // an integer
    a->Release();
    b->Release();
    EXPECT_EQ(expected, CustomFieldValue(v, nullptr, 0, &cust));
    EXPECT_EQ(expected, CustomFieldValue(v, nullptr, 5, &cust));
    wchar_t one[1];
    EXPECT_EQ(expected, CustomFieldValue(v, one, 0, &cust));
}

TEST_F(ComposedFieldTest, FillNeverWritesBeyondTheBuffer)
{
    CCustFld cust(L"x");
    cust.Mask = _wcsdup(L"#1 (#2)");
    cust.FieldRefs->Add(refs_[0].get());
    cust.FieldRefs->Add(refs_[1].get());
    wchar_t buf[8];
    wmemset(buf, L'@', 8);
    EXPECT_EQ(0, CustomFieldValue(RowFieldsVariant(row_), buf, 6, &cust));
    EXPECT_STREQ(L"Brno ", buf);
    EXPECT_EQ(L'@', buf[6]);
}

TEST(FieldModel, FormatterRefusesFieldsThatAreNotComposed)
{
    CFieldInfo info(L"NAME", L"SPECIES");
    VARIANT v;
    VariantInit(&v);
    wchar_t buf[8] = L"";
    EXPECT_EQ(-1, CustomFieldValue(v, buf, 8, &info));
    EXPECT_EQ(-1, CustomFieldValue(v, buf, 8, nullptr));
}

TEST(FieldModel, ConstructorsSetKindsAndFormatter)
{
    CFieldInfo info(L"LONGITUDE_IS_A_VERY_LONG_COLUMN_NAME_INDEED", L"FEATURES");
    EXPECT_EQ(FIELD_DATABASE, info.Kind);
    EXPECT_EQ(31u, wcslen(info.Field));
    EXPECT_STREQ(L"FEATURES", info.TableName);
    CCustFld cust(L"Místo a rok");
    EXPECT_EQ(FIELD_COMPOSED, cust.Kind);
    EXPECT_STREQ(L"CUSTOM", cust.Field);
    EXPECT_STREQ(L"Místo a rok", cust.Name);
    EXPECT_EQ(0, cust.FieldRefs->GetCount());
    CDispField d1(&info), d2(&cust);
    EXPECT_EQ(nullptr, d1.ValueFormatter);
    EXPECT_EQ(&CustomFieldValue, d2.ValueFormatter);
    EXPECT_EQ(1, d2.Visible);
    EXPECT_EQ(0, d2.Width);
}

TEST(FieldModel, ComposedFieldDoesNotDeleteItsReferences)
{
    CFieldInfo* info = new CFieldInfo(L"NAME", L"SPECIES");
    {
        CCustFld cust(L"x");
        cust.FieldRefs->Add(info);
    }
    wcscpy(info->Name, L"still alive");  // the reference outlives the composed field
    EXPECT_STREQ(L"still alive", info->Name);
    delete info;
}

// ---- field-name lists ----

TEST(FieldNames, JoinAndSplitWithTheListSeparator)
{
    wchar_t sep[4];
    GetListSeparator(sep);
    ASSERT_STREQ(L";", sep);  // the Czech list separator the tests run under

    CObjArray catalogue(16, 4);
    CFieldInfo a(L"NAME", L"SPECIES"), b(L"ALTITUDE", L"FEATURES");
    CCustFld c(L"Čtverec");
    wcscpy(a.Name, L"Druh");
    wcscpy(b.Name, L"Nadmořská výška");
    CDispField da(&a), db(&b), dc(&c);
    catalogue.Add(&da);
    catalogue.Add(&db);
    catalogue.Add(&dc);

    CObjArray chosen(16, 4);
    chosen.Add(&b);
    chosen.Add(&a);
    wchar_t* text = JoinFieldNames(&chosen);
    EXPECT_STREQ(L"Nadmořská výška;Druh", text);

    CObjArray out(16, 4);
    out.Add(&c);
    EXPECT_TRUE(SplitFieldNames(L"NADMOŘSKÁ VÝŠKA;druh", &catalogue, &out));
    ASSERT_EQ(2, out.GetCount());
    EXPECT_EQ(&b, out.GetItems()[0]);
    EXPECT_EQ(&a, out.GetItems()[1]);

    // A composed field is never matched, and an unknown name only fails the result.
    EXPECT_FALSE(SplitFieldNames(L"Čtverec;Druh;Neznámý", &catalogue, &out));
    ASSERT_EQ(1, out.GetCount());
    EXPECT_EQ(&a, out.GetItems()[0]);
    free(text);
    catalogue.RemoveAll(0);
    chosen.RemoveAll(0);
    out.RemoveAll(0);

    CObjArray none(16, 4);
    wchar_t* empty = JoinFieldNames(&none);
    EXPECT_STREQ(L"", empty);
    free(empty);
    EXPECT_FALSE(SplitFieldNames(L"", &none, &out));
    EXPECT_EQ(0, out.GetCount());
}

// ---- list-view columns, cells and sort marks ----

class ListColumnsTest : public FieldsDbFixture {
protected:
    void SetUp() override
    {
        FieldsDbFixture::SetUp();
        list_ = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE | LVS_REPORT,
                                10, 10, 600, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(list_ != nullptr);
        name_.reset(new CFieldInfo(L"S", L"SPECIES"));
        flag_.reset(new CFieldInfo(L"B", L"SPECIES"));
        num_.reset(new CFieldInfo(L"ID", L"SPECIES"));
        wcscpy(name_->Name, L"Druh");
        name_->ColumnOrdinal = 2;
        flag_->ColumnOrdinal = 1;
        flag_->Alignment = FIELD_ALIGN_CENTER;
        num_->ColumnOrdinal = 0;
        num_->Alignment = FIELD_ALIGN_RIGHT;
        hidden_.reset(new CFieldInfo(L"ID", L"SPECIES"));
        AddEntry(num_.get(), L"Číslo", 1);
        AddEntry(hidden_.get(), L"Skryté", 0);
        AddEntry(flag_.get(), L"Příznak", 1);
        AddEntry(name_.get(), L"Druh", 1);
    }
    void TearDown() override
    {
        fields_.RemoveAll(1);
        if (list_)
            DestroyWindow(list_);
        if (rs_) {
            rs_->Close();
            rs_->Release();
        }
        FieldsDbFixture::TearDown();
    }
    void AddEntry(CFieldBase* f, const wchar_t* caption, int visible)
    {
        CDispField* d = new CDispField(f);
        d->DispName = _wcsdup(caption);
        d->Visible = visible;
        d->Width = 90;
        d->Order = fields_.GetCount();
        fields_.Add(d);
    }
    // A table of the columns and rows given, its rows opened in the order of their ID.
    void OpenTable(const std::wstring& table, const std::wstring& columns, const std::wstring& rows)
    {
        zor::RawOdbc raw;
        ASSERT_TRUE(raw.Open(Path(), false));
        ASSERT_TRUE(raw.Exec(L"CREATE TABLE " + table + L" (" + columns + L")"));
        ASSERT_TRUE(raw.Exec(L"INSERT INTO " + table + L" VALUES " + rows));
        raw.Close();
        rs_ = Db()->OpenQuery((L"SELECT * FROM " + table + L" ORDER BY ID").c_str(), adUseServer, adOpenKeyset,
                              adLockReadOnly);
        ASSERT_TRUE(rs_ != nullptr);
    }
    // Three rows with an id, a boolean and a text.
    void OpenRows()
    {
        OpenTable(L"CELLTEST", L"ID INTEGER, B BOOLEAN, S VARCHAR(200)",
                  L"(11, -1, 'Bombina bombina'), (12, 0, 'Rana arvalis wolterstorffi'), (13, 0, NULL)");
    }
    std::wstring Cell(int row, int column, int cchTextMax = 64)
    {
        wchar_t buf[128];
        wmemset(buf, L'#', 128);
        buf[127] = 0;
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.iSubItem = column;
        item.pszText = buf;
        item.cchTextMax = cchTextMax;
        GetListItemText(GetModuleHandleW(nullptr), &item, rs_, list_);
        return buf;
    }
    LPARAM ItemData(int row)
    {
        LVITEMW item = {};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        item.lParam = 12345;
        GetListItemText(GetModuleHandleW(nullptr), &item, rs_, list_);
        return item.lParam;
    }
    int HeaderCount()
    {
        return (int)SendMessageW((HWND)SendMessageW(list_, LVM_GETHEADER, 0, 0), HDM_GETITEMCOUNT, 0, 0);
    }
    HDITEMW Header(int column)
    {
        HDITEMW hd = {};
        hd.mask = HDI_FORMAT | HDI_LPARAM | HDI_IMAGE;
        SendMessageW((HWND)SendMessageW(list_, LVM_GETHEADER, 0, 0), HDM_GETITEMW, column, (LPARAM)&hd);
        return hd;
    }

    HWND list_ = nullptr;
    CObjArray fields_{ 16, 4 };
    std::unique_ptr<CFieldInfo> name_, flag_, num_, hidden_;
    Recordset* rs_ = nullptr;
};

TEST_F(ListColumnsTest, VisibleEntriesBecomeColumnsAfterANarrowEmptyOne)
{
    SetupListColumns(list_, &fields_);
    ASSERT_EQ(4, HeaderCount());
    EXPECT_EQ(0, Header(0).lParam);
    EXPECT_EQ((LPARAM)fields_.GetItems()[0], Header(1).lParam);
    EXPECT_EQ((LPARAM)fields_.GetItems()[2], Header(2).lParam);
    EXPECT_EQ((LPARAM)fields_.GetItems()[3], Header(3).lParam);
    EXPECT_EQ(10, (int)SendMessageW(list_, LVM_GETCOLUMNWIDTH, 0, 0));
    EXPECT_EQ(90, (int)SendMessageW(list_, LVM_GETCOLUMNWIDTH, 1, 0));
    EXPECT_EQ(HDF_RIGHT, Header(1).fmt & HDF_JUSTIFYMASK);
    EXPECT_EQ(HDF_CENTER, Header(2).fmt & HDF_JUSTIFYMASK);
    EXPECT_EQ(HDF_LEFT, Header(3).fmt & HDF_JUSTIFYMASK);
    wchar_t text[64] = L"";
    LVCOLUMNW col = {};
    col.mask = LVCF_TEXT;
    col.pszText = text;
    col.cchTextMax = 64;
    SendMessageW(list_, LVM_GETCOLUMNW, 2, (LPARAM)&col);
    // The caption, and a no-break space that keeps its last letter whole in the header.
    EXPECT_STREQ(L"Příznak\u00A0", text);

    // Rebuilding replaces every column; with nothing visible only column 0 is left.
    for (int i = 0; i < fields_.GetCount(); ++i)
        static_cast<CDispField*>(fields_.GetItems()[i])->Visible = 0;
    SetupListColumns(list_, &fields_);
    EXPECT_EQ(1, HeaderCount());
    EXPECT_EQ(0, Header(0).lParam);
}

TEST_F(ListColumnsTest, CellsShowTextsBooleansAndIds)
{
    OpenRows();
    SetupListColumns(list_, &fields_);
    EXPECT_EQ(L"11", Cell(0, 1));
    EXPECT_EQ(L"Ano", Cell(0, 2));
    EXPECT_EQ(L"Ne", Cell(1, 2));
    EXPECT_EQ(L"Bombina bombina", Cell(0, 3));
    EXPECT_EQ(L"", Cell(2, 3));  // NULL
    EXPECT_EQ(L"Rana arvalis wolterstorffi", Cell(1, 3));
    EXPECT_EQ(L"Rana arv", Cell(1, 3, 9));  // cut to cchTextMax - 1
    EXPECT_EQ(12, ItemData(1));
    EXPECT_EQ(13, ItemData(2));
}

// A date column shows the user's short date, with the time of day when the value has one.
TEST_F(ListColumnsTest, DateCellsShowTheUsersShortDate)
{
    // 17 September 1976; at 14:30; at 14:30:15; none.
    ASSERT_NO_FATAL_FAILURE(OpenTable(L"DATETEST", L"ID INTEGER, D DATETIME",
                                      L"(1, 28020.0), (2, 28020.6041666667), (3, 28020.6043402778), (4, NULL)"));
    CFieldInfo date(L"D", L"DATETEST");
    date.ColumnOrdinal = 1;
    fields_.RemoveAll(1);
    AddEntry(&date, L"Datum nálezu", 1);
    SetupListColumns(list_, &fields_);
    EXPECT_EQ(L"17. 9. 1976", Cell(0, 1));
    EXPECT_EQ(L"17. 9. 1976 14:30", Cell(1, 1));
    EXPECT_EQ(L"17. 9. 1976 14:30:15", Cell(2, 1));
    EXPECT_EQ(L"", Cell(3, 1));
    fields_.RemoveAll(1);
}

TEST_F(ListColumnsTest, CellOfAPositionBeyondTheRowsShowsNothing)
{
    OpenRows();
    SetupListColumns(list_, &fields_);
    EXPECT_EQ(L"Rana arvalis wolterstorffi", Cell(1, 3));  // row 2 is now current
    EXPECT_EQ(L"", Cell(3, 3));
    EXPECT_EQ(L"", Cell(50, 1));
    EXPECT_EQ(L"", Cell(-1, 1));
    EXPECT_EQ(-1, ItemData(3));
    EXPECT_EQ(L"11", Cell(0, 1));  // still answers for rows that exist
}

TEST_F(ListColumnsTest, ComposedColumnIsFormattedFromTheWholeRow)
{
    OpenRows();
    CCustFld cust(L"Druh a číslo");
    cust.Mask = _wcsdup(L"#1 (č. #2)");
    cust.FieldRefs->Add(name_.get());
    cust.FieldRefs->Add(num_.get());
    fields_.RemoveAll(1);
    AddEntry(&cust, L"Druh a číslo", 1);
    SetupListColumns(list_, &fields_);
    EXPECT_EQ(L"Bombina bombina (č. 11)", Cell(0, 1));
    EXPECT_EQ(L" (č. 13)", Cell(2, 1));
    fields_.RemoveAll(1);
}

TEST_F(ListColumnsTest, SortMarksWithHeaderFlags)
{
    SetupListColumns(list_, &fields_);
    SetSortMarkStyle(1);
    int sort = SetSortArrow(list_, 0, 2);
    EXPECT_EQ(2, sort);
    EXPECT_TRUE(Header(2).fmt & HDF_SORTDOWN);
    sort = SetSortArrow(list_, sort, 2);
    EXPECT_EQ(-2, sort);
    EXPECT_TRUE(Header(2).fmt & HDF_SORTUP);
    EXPECT_FALSE(Header(2).fmt & HDF_SORTDOWN);
    sort = SetSortArrow(list_, sort, 3);
    EXPECT_EQ(3, sort);
    EXPECT_EQ(0, Header(2).fmt & (HDF_SORTUP | HDF_SORTDOWN));
    EXPECT_EQ(HDF_CENTER, Header(2).fmt & HDF_JUSTIFYMASK);  // alignment kept
    EXPECT_TRUE(Header(3).fmt & HDF_SORTDOWN);
    wintest::SaveScreenshot(list_, L"fields_sortmarks");
    SetSortMarkStyle(-1);
}

TEST_F(ListColumnsTest, SortMarksWithHeaderImages)
{
    SetupListColumns(list_, &fields_);
    SetSortMarkStyle(0);
    auto column = [&](int c) {
        LVCOLUMNW col = {};
        col.mask = LVCF_FMT | LVCF_IMAGE;
        SendMessageW(list_, LVM_GETCOLUMNW, c, (LPARAM)&col);
        return col;
    };
    int sort = SetSortArrow(list_, 0, 1);
    EXPECT_EQ(1, sort);
    EXPECT_TRUE(column(1).fmt & LVCFMT_IMAGE);
    EXPECT_EQ(0, column(1).iImage);
    EXPECT_EQ(LVCFMT_RIGHT, column(1).fmt & LVCFMT_JUSTIFYMASK);
    sort = SetSortArrow(list_, sort, 1);
    EXPECT_EQ(-1, sort);
    EXPECT_EQ(1, column(1).iImage);
    sort = SetSortArrow(list_, sort, 3);
    EXPECT_EQ(3, sort);
    EXPECT_FALSE(column(1).fmt & LVCFMT_IMAGE);
    EXPECT_TRUE(column(3).fmt & LVCFMT_IMAGE);
    EXPECT_TRUE(column(3).fmt & LVCFMT_BITMAP_ON_RIGHT);
    EXPECT_EQ(0, column(3).iImage);
    SetSortMarkStyle(-1);
}

}  // namespace

namespace {

TEST(SearchFieldEntries, InitClearAndFree)
{
    CFieldInfo info(L"NAME", L"SPECIES");
    CDispField disp(&info);
    SearchFieldEntry entry;
    memset(&entry, 0x5A, sizeof(entry));
    InitSearchFieldEntry(&entry, &disp);
    EXPECT_EQ(&disp, entry.Field);
    EXPECT_EQ(0, entry.TableKind);
    EXPECT_EQ(nullptr, entry.AttrDef);
    EXPECT_EQ(nullptr, entry.MinText);
    EXPECT_EQ(nullptr, entry.MaxText);
    EXPECT_EQ(0, entry.TextLength);
    ASSERT_TRUE(entry.Values != nullptr);
    EXPECT_EQ(0, entry.Values->GetCount());
    EXPECT_EQ(PTRARRAY_BORROWS, entry.Values->OwnMode);

    wchar_t value[] = L"Bombina";
    entry.Values->Add(value);  // borrowed: clearing must not free it
    entry.MinText = _wcsdup(L"10");
    entry.MaxText = _wcsdup(L"20");
    entry.TextLength = 40;
    ClearSearchFieldEntry(&entry);
    EXPECT_EQ(0, entry.Values->GetCount());
    EXPECT_EQ(nullptr, entry.MinText);
    EXPECT_EQ(nullptr, entry.MaxText);
    EXPECT_EQ(0, entry.TextLength);
    EXPECT_STREQ(L"Bombina", value);
    EXPECT_EQ(&disp, entry.Field);

    entry.MinText = _wcsdup(L"1");
    FreeSearchFieldEntry(&entry);
    EXPECT_EQ(nullptr, entry.Values);
    EXPECT_EQ(nullptr, entry.MinText);
}

}  // namespace
