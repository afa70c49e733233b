// The query layers of a map card: their names, their conditions and the legend's commands on them.
#include <windows.h>
#include <commctrl.h>
#include <strsafe.h>

#include "search/querycriterion.h"
#include "core/containers.h"
#include "core/fields.h"
#include "core/textutil.h"
#include "shellcontract/configdata.h"
#include "shellcontract/zm_protocol.h"
#include "map/legend.h"
#include "map/mapwnd.h"
#include "map/querylayer.h"
#include "resources/zorna/resource.h"

bool CZMapWnd::MakeQueryLayerName(HWND card, wchar_t* name)
{
    wchar_t base[kQueryTextSize] = L"";
    LoadStringW((HINSTANCE)GetWindowLongPtrW(card, GWLP_HINSTANCE), IDS_QUERY, base, kQueryTextSize);
    HWND legend = GetDlgItem(card, IDC_MAPCARD_LEGEND);
    const int count = legend ? (int)SendMessageW(legend, LVM_GETITEMCOUNT, 0, 0) : 0;
    for (int n = 1; n <= 99; ++n) {
        StringCchPrintfW(name, kQueryTextSize, L"%s %d", base, n);
        bool taken = false;
        for (int i = 0; i < count && !taken; ++i) {
            wchar_t text[kQueryTextSize] = L"";
            LVITEMW lv = {};
            lv.iSubItem = 0;
            lv.pszText = text;
            lv.cchTextMax = kQueryTextSize;
            SendMessageW(legend, LVM_GETITEMTEXTW, i, (LPARAM)&lv);
            taken = SameTextNoCase(text, name);
        }
        if (!taken)
            return false;
    }
    return true;  // "Dotaz 99" all the same
}

void CZMapWnd::InitQueryCriterion(QueryCriterion* criterion)
{
    if (!criterion)
        return;
    ZeroMemory(criterion, sizeof *criterion);
    MakeQueryLayerName(Card, criterion->Name);
    criterion->Values = new CPtrArray(PTRARRAY_OWNS_ITEMS, 16, 4);
}

void CZMapWnd::AddQueryLayer(QueryCriterion* criterion)
{
    if (!criterion || !Card)
        return;
    HDC dc = GetDC(Card);
    LegendItem* item = NewInfoLegendItem(criterion->Name, Images, INFO_RECORDS, 16, 16, dc);
    ReleaseDC(Card, dc);
    if (!item)
        return;
    item->Query = MoveQueryCriterion(criterion);
    item->Condition = BuildLayerQuery(item->Query);
    if (InsertLegendRow(item, 0, true) < 0) {
        FreeQueryCriterion(item->Query);
        item->Query = nullptr;
        FreeLegendItem(item);
        return;
    }
    RenumberLegend();
    InvalidateRect(View, nullptr, FALSE);
}

wchar_t* CZMapWnd::BuildLayerQuery(const QueryCriterion* criterion)
{
    if (!criterion)
        return nullptr;
    const QueryConditionContext context = RecordQueryContext(MainWindow(), Config);
    std::wstring condition = BuildQueryCondition(*criterion, context);
    return condition.empty() ? nullptr : WideDup(condition.c_str());
}

void CZMapWnd::BuildMissingConditions()
{
    HWND legend = LegendList();
    const int count = (int)SendMessageW(legend, LVM_GETITEMCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
        LegendItem* item = LegendItemAt(legend, i);
        if (!item || !item->Query || item->Condition)
            continue;
        item->Condition = BuildLayerQuery(item->Query);
        if (item->Condition)
            item->Rebuild = true;  // its records come with the condition
    }
}

void CZMapWnd::EditQueryLayer(int index)
{
    HWND legend = LegendList();
    LegendItem* item = LegendItemAt(legend, index);
    if (!item || !item->Query || !EditCriterion)
        return;
    if (!EditCriterion(MainWindow(), Config, item->Query))
        return;
    if (item->Query->Name[0]) {
        CopyWideBounded(item->Query->Name, item->Title, LEGEND_TEXT_SIZE);
        LVITEMW lv = {};
        lv.pszText = item->Title;
        SendMessageW(legend, LVM_SETITEMTEXTW, index, (LPARAM)&lv);
    }
    InvalidateLayers(0);
    free(item->Condition);
    item->Condition = BuildLayerQuery(item->Query);
    InvalidateRect(View, nullptr, FALSE);
}

void CZMapWnd::DeleteQueryLayer(int index)
{
    HWND legend = LegendList();
    LegendItem* item = LegendItemAt(legend, index);
    if (!item || !item->Query)
        return;
    DeleteLayerLists(item);
    FreeQueryCriterion(item->Query);
    item->Query = nullptr;
    SendMessageW(legend, LVM_DELETEITEM, index, 0);
    FreeLegendItem(item);
    RenumberLegend();
    InvalidateLayers(0);
    InvalidateRect(View, nullptr, FALSE);
}
