// The four record and literature lists as real virtual list views under Xvfb: columns from the
// catalogues, rows from the list queries, cells asked through LVN_GETDISPINFOW and answered by
// the database object, as the main form passes them on.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "core/database.h"
#include "core/fields.h"
#include "tools/testkit/rawodbc.h"
#include "tests/core/fields_fixture.h"
#include "tests/support/wintest.h"

namespace {

CDatabase* g_listDb = nullptr;
int g_listKind = 0;
int g_cellRequests = 0;

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NOTIFY && g_listDb) {
        NMHDR* hdr = (NMHDR*)lParam;
        if (hdr->code == LVN_GETDISPINFOW) {
            LVITEMW* item = &((NMLVDISPINFOW*)lParam)->item;
            ++g_cellRequests;
            switch (g_listKind) {
            case 1: g_listDb->GetTaxonListCell(item, hdr->hwndFrom); break;
            case 2: g_listDb->GetLocalityListCell(item, hdr->hwndFrom); break;
            case 3: g_listDb->GetSearchListCell(item, hdr->hwndFrom); break;
            case 4: g_listDb->GetLiteratureListCell(item, hdr->hwndFrom); break;
            }
            return 0;
        }
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

class VirtualListTest : public FieldsDbFixture {
protected:
    void SetUp() override
    {
        FieldsDbFixture::SetUp();
        if (HasFatalFailure())
            return;
        static bool registered = false;
        if (!registered) {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = HostProc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
            wc.lpszClassName = L"ZorFieldsListHost";
            RegisterClassW(&wc);
            registered = true;
        }
        host_ = CreateWindowExW(0, L"ZorFieldsListHost", L"Seznam", WS_POPUP | WS_VISIBLE, 0, 0, 900, 400,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        list_ = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA,
                                0, 0, 900, 400, host_, (HMENU)1, GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(list_ != nullptr);
        g_listDb = Db();
        g_cellRequests = 0;
    }
    void TearDown() override
    {
        g_listDb = nullptr;
        if (host_)
            DestroyWindow(host_);
        catalogue_.RemoveAll(1);
        FieldsDbFixture::TearDown();
    }
    std::wstring Cell(int row, int column) { return wintest::ListCellText(list_, row, column); }
    int ColumnOf(const wchar_t* table, const wchar_t* field)
    {
        // Columns follow the visible catalogue entries after column 0.
        for (int i = 0; i < catalogue_.GetCount(); ++i) {
            CDispField* d = static_cast<CDispField*>(catalogue_.GetItems()[i]);
            if (!_wcsicmp(static_cast<CFieldInfo*>(d->Field)->TableName, table) && !_wcsicmp(d->Field->Field, field))
                return i + 1;
        }
        return -1;
    }
    void Show(int kind, ListQuery* q, const wchar_t* shot)
    {
        g_listKind = kind;
        SetupListColumns(list_, &catalogue_);
        switch (kind) {
        case 1: Db()->QueryTaxonRecords(200, q); Db()->SetTaxonListCount(list_); break;
        case 2: Db()->QueryLocalityRecords(200, q); Db()->SetLocalityListCount(list_); break;
        case 3: Db()->QueryAllRecords(200, q); Db()->SetSearchListCount(list_); break;
        case 4: Db()->QueryLiterature(200, q); Db()->SetLiteratureListCount(list_); break;
        }
        InvalidateRect(list_, nullptr, TRUE);
        wintest::PumpMessages(150);
        wintest::SaveScreenshot(host_, shot);
    }
    zor::RawOdbc& Raw()
    {
        if (!rawOpen_) {
            EXPECT_TRUE(raw_.Open(Path(), false));
            rawOpen_ = true;
        }
        return raw_;
    }
    std::vector<std::vector<std::wstring>> Query(const std::wstring& sql)
    {
        std::vector<std::vector<std::wstring>> rows;
        EXPECT_TRUE(Raw().Query(sql, rows));
        return rows;
    }

    HWND host_ = nullptr;
    HWND list_ = nullptr;
    CObjArray catalogue_{ 16, 4 };
    zor::RawOdbc raw_;
    bool rawOpen_ = false;
};

TEST_F(VirtualListTest, TaxonListShowsTheLocalitiesOfItsRecords)
{
    auto top = Query(L"SELECT SYSID FROM ZORNACOLLS GROUP BY SYSID ORDER BY COUNT(*) DESC LIMIT 1");
    Db()->BuildSysListColumns(&catalogue_);
    CFieldBase* keys[1] = { static_cast<CDispField*>(catalogue_.GetItems()[0])->Field };
    ListQuery q = {};
    q.Kind = 1;
    q.Id = _wtoi(top[0][0].c_str());
    q.SortKeys = keys;
    q.SortKeyCount = 1;
    Show(1, &q, L"fields_list_taxon");
    EXPECT_EQ(q.RowCount, (int)SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0));
    EXPECT_GT(g_cellRequests, 0);  // the window drew its cells through the database object
    auto names = dbtest::InCzechOrder(Query(L"SELECT FEATURES.NAME FROM ZORNACOLLS LEFT JOIN FEATURES ON FEATURES.LOCID = "
                                    L"ZORNACOLLS.FTRID WHERE ZORNACOLLS.SYSID = " + top[0][0]));
    ASSERT_EQ((size_t)q.RowCount, names.size());
    EXPECT_EQ(names.front()[0], Cell(0, 1));
    EXPECT_EQ(names.back()[0], Cell(q.RowCount - 1, 1));
    // A longitude cell is written in degrees, minutes and seconds.
    std::wstring lon = Cell(0, ColumnOf(L"FEATURES", L"LONGITUDE"));
    if (!lon.empty()) {
        EXPECT_NE(std::wstring::npos, lon.find(L"\u00B0 "));
    }
}

TEST_F(VirtualListTest, LocalityAndSearchListsShowTheSpecies)
{
    auto top = Query(L"SELECT FTRID FROM ZORNACOLLS GROUP BY FTRID ORDER BY COUNT(*) DESC LIMIT 1");
    Db()->BuildLocListColumns(&catalogue_);
    CFieldBase* keys[1] = { static_cast<CDispField*>(catalogue_.GetItems()[0])->Field };
    ListQuery q = {};
    q.Kind = 2;
    q.Id = _wtoi(top[0][0].c_str());
    q.SortKeys = keys;
    q.SortKeyCount = 1;
    q.Descending = 1;
    Show(2, &q, L"fields_list_locality");
    auto names = dbtest::InCzechOrder(Query(L"SELECT SPECIES.NAME FROM ZORNACOLLS LEFT JOIN SPECIES ON SPECIES.SYSID = "
                                    L"ZORNACOLLS.SYSID WHERE ZORNACOLLS.FTRID = " + top[0][0]),
                              true);
    ASSERT_EQ((size_t)q.RowCount, names.size());
    ASSERT_GT(q.RowCount, 0);
    EXPECT_EQ(names.front()[0], Cell(0, 1));

    catalogue_.RemoveAll(1);
    Db()->BuildSearchListColumns(&catalogue_);
    ListQuery all = {};
    all.Kind = 3;
    all.Where = L"ALTITUDE > 300";
    Show(3, &all, L"fields_list_search");
    auto count = Query(L"SELECT COUNT(*) FROM ZORNACOLLS LEFT JOIN FEATURES ON FEATURES.LOCID = ZORNACOLLS.FTRID "
                       L"WHERE FEATURES.ALTITUDE > 300");
    EXPECT_EQ(_wtoi(count[0][0].c_str()), all.RowCount);
    EXPECT_EQ(all.RowCount, (int)SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0));
    // A row past the end shows nothing.
    EXPECT_EQ(L"", Cell(all.RowCount + 5, 1));
}

TEST_F(VirtualListTest, LiteratureListOfAllAuthors)
{
    Db()->BuildLitListColumns(&catalogue_);
    CFieldBase* keys[1] = { static_cast<CDispField*>(catalogue_.GetItems()[0])->Field };
    ListQuery q = {};
    q.Kind = 4;
    q.Id = -1;
    q.SortKeys = keys;
    q.SortKeyCount = 1;
    Show(4, &q, L"fields_list_literature");
    auto titles = dbtest::InCzechOrder(Query(L"SELECT NAME FROM LITERATURE"));
    ASSERT_EQ((size_t)q.RowCount, titles.size());
    EXPECT_EQ(titles.front()[0], Cell(0, 1));
    EXPECT_EQ(titles.back()[0], Cell(q.RowCount - 1, 1));
    auto author = dbtest::InCzechOrder(Query(L"SELECT LITERATURE.NAME, LITAUTHORS.NAME FROM LITERATURE LEFT JOIN "
                                     L"LITAUTHORS ON LITAUTHORS.ID = LITERATURE.FIRSTAUTHOR"));
    EXPECT_EQ(author[0][1], Cell(0, ColumnOf(L"LITAUTHORS", L"NAME")));
}

}  // namespace
