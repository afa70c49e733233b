// Lazy tree filling speed: one level of 10,000 children inserted below an expanded item from the
// filtered SYSTREE recordset, with level icons, as the tree card does on expansion. Printed beside
// the same run's bare costs: the Filter plus a walk over the rows, and inserting 10,000 plain
// text items into the same tree.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/benchutil.h"
#include "core/database.h"
#include "tools/testkit/rawodbc.h"
#include "tools/sampledb/sampledb.h"
#include "core/treefill.h"

namespace {

const int kChildren = 10000;
const int kRuns = 5;
const double kTargetMs = 100.0;

// A sample database whose first genus holds kChildren more species items (no icons of their
// own); childCount receives all of its children.
bool MakeTreeDatabase(const std::wstring& path, int* parentId, int* childCount)
{
    zor::SampleDbOptions options;
    options.records = 300;
    std::wstring error;
    if (!zor::CreateSampleDatabase(path, options, &error)) {
        wprintf(L"cannot make the database: %ls\n", error.c_str());
        return false;
    }
    zor::RawOdbc db;
    if (!db.Open(path, false))
        return false;
    std::vector<std::vector<std::wstring>> rows;
    if (!db.Query(L"SELECT MIN(ID), (SELECT MAX(ID) FROM SYSTREE) FROM SYSTREE WHERE SYSLEVEL = 3", rows) ||
        rows.empty())
        return false;
    *parentId = _wtoi(rows[0][0].c_str());
    int nextId = _wtoi(rows[0][1].c_str()) + 1;
    zor::RawStatement item;
    if (!db.Exec(L"BEGIN") ||
        !item.Prepare(db, L"INSERT INTO SYSTREE (ID, PARENT, SYSLEVEL, SYSPOS, NAME) VALUES (?, ?, 4, ?, ?)"))
        return false;
    for (int k = 0; k < kChildren; k++) {
        item.SetInt(1, nextId + k);
        item.SetInt(2, *parentId);
        item.SetInt(3, 1000 + k);
        item.SetText(4, L"species" + std::to_wstring(k));
        if (!item.Execute())
            return false;
    }
    item.Close();
    if (!db.Exec(L"COMMIT"))
        return false;
    rows.clear();
    if (!db.Query(L"SELECT COUNT(*) FROM SYSTREE WHERE PARENT = " + std::to_wstring(*parentId), rows) ||
        rows.empty())
        return false;
    *childCount = _wtoi(rows[0][0].c_str());
    return true;
}

}  // namespace

int main()
{
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"zor_treefill_bench";
    zor::MakeFolders(folder);
    std::wstring path = folder + L"\\ZorBase.mdb";
    int parentId = 0, childCount = 0;
    wprintf(L"making a sample database with %d children under one item ...\n", kChildren);
    if (!MakeTreeDatabase(path, &parentId, &childCount))
        return 1;

    HWND host = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 400, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    HWND tree = CreateWindowExW(0, WC_TREEVIEWW, L"", WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS,
                                0, 0, 400, 400, host, nullptr, GetModuleHandleW(nullptr), nullptr);
    HIMAGELIST large = ImageList_Create(32, 32, ILC_COLOR32 | ILC_MASK, 8, 8);
    HIMAGELIST small = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 8, 8);
    CPtrArray cache(PTRARRAY_OWNS_ITEMS, 8, 8);

    CDatabase db(host, GetModuleHandleW(nullptr));
    if (FAILED(db.AdoConnection->Open(
            (L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + L";").c_str()))) {
        wprintf(L"cannot open the database\n");
        return 1;
    }
    db.LoadSysLevelDefs(tree, nullptr, large, small, &cache);
    double t0 = NowMs();
    zdata::Recordset* rs = db.GetSysTreeRs();
    double openMs = NowMs() - t0;
    if (!rs)
        return 1;
    wchar_t filter[40];
    _snwprintf(filter, 40, L"PARENT = %d", parentId);
    filter[39] = 0;

    std::vector<double> walk, plain, fill;
    for (int run = 0; run < kRuns; run++) {
        // Baseline 1: the Filter and a walk reading the id of every row.
        rs->put_Filter(L"");
        t0 = NowMs();
        rs->put_Filter(filter);
        zdata::Fields* fields = nullptr;
        rs->get_Fields(&fields);
        long sum = 0;
        for (HRESULT hr = rs->MoveFirst(); SUCCEEDED(hr) && !rs->IsEOF(); hr = rs->MoveNext()) {
            zdata::Field* field = nullptr;
            fields->Item(0L, &field);
            VARIANT v;
            VariantInit(&v);
            field->get_Value(&v);
            sum += v.vt == VT_I4 ? v.lVal : 1;
            VariantClear(&v);
            field->Release();
        }
        fields->Release();
        walk.push_back(NowMs() - t0);

        // Baseline 2: 10,000 plain text items below a collapsed item of the same tree (an item
        // is filled while its expansion is being asked for, so it is still collapsed).
        TVINSERTSTRUCTW ins = {};
        ins.hParent = TVI_ROOT;
        ins.hInsertAfter = TVI_LAST;
        ins.item.mask = TVIF_TEXT;
        ins.item.pszText = (wchar_t*)L"genus";
        ins.hParent = (HTREEITEM)SendMessageW(tree, TVM_INSERTITEMW, 0, (LPARAM)&ins);
        ins.item.pszText = (wchar_t*)L"species";
        t0 = NowMs();
        for (int k = 0; k < kChildren; k++)
            SendMessageW(tree, TVM_INSERTITEMW, 0, (LPARAM)&ins);
        plain.push_back(NowMs() - t0);
        SendMessageW(tree, TVM_DELETEITEM, 0, (LPARAM)TVI_ROOT);
        ins.hParent = TVI_ROOT;

        // The measured case: an expanded parent item filled lazily.
        TreeItemData* parentData = (TreeItemData*)calloc(1, sizeof(TreeItemData));
        parentData->Id = parentId;
        ins.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN;
        ins.item.pszText = (wchar_t*)L"genus";
        ins.item.cChildren = 1;
        ins.item.lParam = (LPARAM)parentData;
        HTREEITEM parent = (HTREEITEM)SendMessageW(tree, TVM_INSERTITEMW, 0, (LPARAM)&ins);
        rs->put_Filter(L"");
        t0 = NowMs();
        rs->put_Filter(filter);
        FillTreeChildren(tree, parent, parentData, large, small, &cache, rs, 4, 5);
        fill.push_back(NowMs() - t0);
        if (parentData->ChildCount != childCount || !parentData->ChildrenLoaded) {
            wprintf(L"wrong fill: %d children\n", parentData->ChildCount);
            return 1;
        }
        ClearTree(tree);
        (void)sum;
    }

    wprintf(L"SYSTREE recordset opened (once per database): %.1f ms\n", openMs);
    wprintf(L"Filter + walk of %d rows (baseline):        %.1f ms\n", childCount, Median(walk));
    wprintf(L"%d plain tree items inserted (baseline):     %.1f ms\n", kChildren, Median(plain));
    double figure = Median(fill);
    wprintf(L"lazy fill of %d children with icons:         %.1f ms (target under %.0f ms): %ls\n",
            childCount, figure, kTargetMs, figure < kTargetMs ? L"pass" : L"FAIL");
    ImageList_Destroy(large);
    ImageList_Destroy(small);
    DestroyWindow(host);
    return 0;
}
