// Cell texts of the four record and literature lists as the virtual list views ask for them:
// pages of 50 rows by 10 columns at random places through GetListItemText, each list reopened by
// its list query first. Printed beside the bare cost of positioning the same rows and reading
// the same fields without any text formatting, measured in the same run.
//   listcells_bench.exe <database path> [-n <records>] [--pages <count>]
// A missing database is made with "ZorSampleDb -o <path> -n <records>" (1,000,000 by default).
// It makes a (hidden) list view, so run it with a display (xvfb-run).
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "bench/benchdb.h"
#include "core/database.h"
#include "core/fields.h"
#include "core/zm_messages.h"

namespace {

const int kRows = 50;
const int kColumns = 10;
const double kTargetMs = 20.0;

struct ListCase
{
    const char* name;
    int kind;
};

}  // namespace

int main()
{
    int pages = 200;
    std::wstring path;
    if (int code = ReadBenchArgs({ { L"--pages", &pages, 1 } }, PathWords::Last, stdout,
                                 "Usage: listcells_bench <database path> [-n <records>] [--pages <count>]\n",
                                 &path))
        return code;

    InitCommonControls();
    HWND main = CreateDbWindow(L"ZorListCellsBench", WS_OVERLAPPEDWINDOW, 200, 100);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT | LVS_OWNERDATA, 0, 0, 800, 600,
                                main, nullptr, instance, nullptr);

    CDatabase db(main, instance);
    ConnSettings settings = {};
    if (!OpenDatabase(db, &settings, path)) {
        printf("the database could not be opened\n");
        return 1;
    }

    const ListCase cases[] = { { "taxon records", 1 }, { "locality records", 2 }, { "all records", 3 },
                               { "literature", 4 } };
    std::mt19937 random(2011);
    bool allPass = true;
    for (const ListCase& c : cases) {
        CObjArray catalogue(16, 4);
        ListQuery q = {};
        q.Kind = c.kind;
        switch (c.kind) {
        case 1:
            db.BuildSysListColumns(&catalogue);
            q.Id = FirstInt(db, L"SELECT SYSID FROM ZORNACOLLS GROUP BY SYSID ORDER BY COUNT(*) DESC LIMIT 1");
            break;
        case 2:
            db.BuildLocListColumns(&catalogue);
            q.Id = FirstInt(db, L"SELECT FTRID FROM ZORNACOLLS GROUP BY FTRID ORDER BY COUNT(*) DESC LIMIT 1");
            break;
        case 3:
            db.BuildSearchListColumns(&catalogue);
            break;
        case 4:
            db.BuildLitListColumns(&catalogue);
            q.Id = -1;
            break;
        }
        // Ten columns, composed of the catalogue's first entries.
        for (int i = 0; i < catalogue.GetCount(); ++i)
            static_cast<CDispField*>(catalogue.GetItems()[i])->Visible = i < kColumns;
        CFieldBase* key = static_cast<CDispField*>(catalogue.GetItems()[0])->Field;
        q.SortKeys = &key;
        q.SortKeyCount = 1;
        SetupListColumns(list, &catalogue);
        double t0 = NowMs();
        switch (c.kind) {
        case 1: db.QueryTaxonRecords(400, &q); break;
        case 2: db.QueryLocalityRecords(400, &q); break;
        case 3: db.QueryAllRecords(400, &q); break;
        case 4: db.QueryLiterature(400, &q); break;
        }
        double queryMs = NowMs() - t0;
        zdata::Recordset* rs = db.GetListRecordset(c.kind - 1);
        int columns = std::min(kColumns, catalogue.GetCount());
        std::vector<double> cellPages, barePages;
        wchar_t text[260];
        for (int p = 0; p < pages && q.RowCount > 0; ++p) {
            int start = q.RowCount > kRows ? (int)(random() % (unsigned)(q.RowCount - kRows)) : 0;
            int rows = std::min(kRows, q.RowCount);
            double a = NowMs();
            for (int r = 0; r < rows; ++r)
                for (int col = 1; col <= columns; ++col) {
                    LVITEMW item = {};
                    item.mask = LVIF_TEXT;
                    item.iItem = start + r;
                    item.iSubItem = col;
                    item.pszText = text;
                    item.cchTextMax = 260;
                    GetListItemText(instance, &item, rs, list);
                }
            double b = NowMs();
            // The same positions and fields without headers, formatters or texts.
            for (int r = 0; r < rows; ++r)
                for (int col = 1; col <= columns; ++col) {
                    CFieldInfo* f = static_cast<CFieldInfo*>(
                        static_cast<CDispField*>(catalogue.GetItems()[col - 1])->Field);
                    rs->put_AbsolutePosition(start + r + 1);
                    zdata::Fields* fields = nullptr;
                    rs->get_Fields(&fields);
                    zdata::Field* field = nullptr;
                    fields->Item((long)f->ColumnOrdinal, &field);
                    VARIANT v;
                    VariantInit(&v);
                    field->get_Value(&v);
                    VariantClear(&v);
                    field->Release();
                    fields->Release();
                }
            double e = NowMs();
            cellPages.push_back(b - a);
            barePages.push_back(e - b);
        }
        double median = Median(cellPages);
        double worst = cellPages.empty() ? 0 : *std::max_element(cellPages.begin(), cellPages.end());
        bool pass = median < kTargetMs;
        allPass = allPass && pass;
        printf("%-17s %8d rows, query %8.1f ms; page %dx%d: median %6.2f ms, max %6.2f ms (bare reads %6.2f ms)"
               "  target < %.0f ms: %s\n",
               c.name, q.RowCount, queryMs, kRows, columns, median, worst, Median(barePages), kTargetMs,
               pass ? "pass" : "FAIL");
        fflush(stdout);
        catalogue.RemoveAll(1);
    }
    db.Close();
    free(settings.DBName);
    return allPass ? 0 : 3;
}
