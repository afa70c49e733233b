// The four list pages of the configuration sheet (systematic, localities, search, literature):
// which columns each display list shows, under which label and in which order. Rows are ticked,
// relabelled in place and dragged into a new order; the page writes them into its lists when it
// is applied.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/fields.h"
#include "core/textutil.h"
#include "shellcontract/configdata.h"
#include "mainapp/configrules.h"
#include "mainapp/configsheet.h"
#include "mainapp/configsheet_pages.h"
#include "resources/zorna/resource.h"

namespace {

const wchar_t kQuietProp[] = L"ZornaQuiet";
const int kColumnWidth = 150;

// One row of a list view of a page: the display entry it edits (null for a custom column the
// custom columns page has made but not applied yet), the field it shows and its place.
struct FieldRow
{
    CDispField* Entry;
    CFieldBase* Field;
    int Order;
    int SortKey;
};

struct ListPage
{
    int Page;                           // index into PageStates
    CObjArray* ConfigData::*Header;     // null: the page has one list
    CObjArray* ConfigData::*Data;
    int HeaderId;
    int DataId;
    bool TakesCustomColumns;
};

const ListPage kListPages[] = {
    {CONFIG_PAGE_SYSTEM, &ConfigData::SysHeaderFields, &ConfigData::SysFields, IDC_LIST_HEADER,
     IDC_LIST_DATA, true},
    {CONFIG_PAGE_LOCALITY, &ConfigData::LocHeaderFields, &ConfigData::LocFields, IDC_LIST_HEADER,
     IDC_LIST_DATA, true},
    {CONFIG_PAGE_SEARCH, nullptr, &ConfigData::SearchFields, 0, IDC_LIST_ONLY, true},
    {CONFIG_PAGE_LITERATURE, nullptr, &ConfigData::LitFields, 0, IDC_LIST_ONLY, false},
};

const ListPage& PageInfo(int page)
{
    for (const ListPage& info : kListPages) {
        if (info.Page == page)
            return info;
    }
    return kListPages[0];
}

// ---- rows ----

int RowCount(HWND list)
{
    return (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
}

FieldRow* RowAt(HWND list, int index)
{
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (!SendMessageW(list, LVM_GETITEMW, 0, (LPARAM)&item))
        return nullptr;
    return reinterpret_cast<FieldRow*>(item.lParam);
}

std::wstring RowText(HWND list, int index)
{
    std::vector<wchar_t> text(256, L'\0');
    LVITEMW item = {};
    item.iSubItem = 0;
    item.pszText = text.data();
    item.cchTextMax = (int)text.size();
    SendMessageW(list, LVM_GETITEMTEXTW, index, (LPARAM)&item);
    return text.data();
}

bool IsChecked(HWND list, int index)
{
    UINT state = (UINT)SendMessageW(list, LVM_GETITEMSTATE, index, LVIS_STATEIMAGEMASK);
    return (state >> 12) == 2;
}

bool IsSelected(HWND list, int index)
{
    return SendMessageW(list, LVM_GETITEMSTATE, index, LVIS_SELECTED) != 0;
}

void SetSubText(HWND list, int index, const wchar_t* text)
{
    LVITEMW item = {};
    item.iSubItem = 1;
    item.pszText = const_cast<wchar_t*>(text);
    SendMessageW(list, LVM_SETITEMTEXTW, index, (LPARAM)&item);
}

// Changes the page makes itself are no user's changes (a count, as they nest).
struct Quiet
{
    explicit Quiet(HWND list) : page(GetParent(list)) { Add(1); }
    ~Quiet() { Add(-1); }
    void Add(INT_PTR n)
    {
        INT_PTR count = (INT_PTR)GetPropW(page, kQuietProp) + n;
        if (count > 0)
            SetPropW(page, kQuietProp, (HANDLE)count);
        else
            RemovePropW(page, kQuietProp);
    }
    HWND page;
};

void InsertRow(HWND list, int index, const wchar_t* label, FieldRow* row, bool checked)
{
    Quiet quiet(list);
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(label ? label : L"");
    item.lParam = reinterpret_cast<LPARAM>(row);
    index = (int)SendMessageW(list, LVM_INSERTITEMW, 0, (LPARAM)&item);
    if (index < 0) {
        delete row;
        return;
    }
    SetSubText(list, index, row->Field ? row->Field->Name : L"");
    LVITEMW state = {};
    state.stateMask = LVIS_STATEIMAGEMASK;
    state.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageW(list, LVM_SETITEMSTATE, index, (LPARAM)&state);
}

int FindRowOfField(HWND list, const CFieldBase* field)
{
    int count = RowCount(list);
    for (int i = 0; i < count; i++) {
        FieldRow* row = RowAt(list, i);
        if (row && row->Field == field)
            return i;
    }
    return -1;
}

void FillList(HWND list, CObjArray* fields, HINSTANCE instance)
{
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
    SendMessageW(list, CCM_SETUNICODEFORMAT, TRUE, 0);
    const UINT captions[] = {IDS_COL_LABEL, IDS_COL_ORIGINALNAME};
    for (int i = 0; i < 2; i++) {
        wchar_t text[64] = L"";
        LoadStringW(instance, captions[i], text, ARRAYSIZE(text));
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.cx = kColumnWidth;
        column.pszText = text;
        column.iSubItem = i;
        SendMessageW(list, LVM_INSERTCOLUMNW, i, (LPARAM)&column);
    }
    for (int i = 0; fields && i < fields->GetCount(); i++) {
        CDispField* entry = static_cast<CDispField*>(fields->GetItems()[i]);
        if (!entry || !entry->Field)
            continue;
        FieldRow* row = new FieldRow{entry, entry->Field, RowCount(list) + 1, 0};
        InsertRow(list, RowCount(list), entry->DispName, row, entry->Visible != 0);
    }
}

// ---- label edits ----

bool LabelElsewhere(HWND list, int except, const wchar_t* label)
{
    int count = RowCount(list);
    for (int i = 0; i < count; i++) {
        if (i != except && SameColumnName(RowText(list, i).c_str(), label))
            return true;
    }
    return false;
}

// A cancelled edit changes nothing; an empty label and one that another row of the list carries
// are refused (the workspace file keeps one entry per label). Returns whether the text is taken.
BOOL EndLabelEdit(HWND page, ConfigData* config, int k, const NMLVDISPINFOW* info)
{
    const wchar_t* text = info->item.pszText;
    if (!text)
        return FALSE;
    if (!*text) {
        ConfigWarning(config, IDS_EMPTY_LABEL);
        return FALSE;
    }
    if (LabelElsewhere(info->hdr.hwndFrom, info->item.iItem, text)) {
        ConfigWarning(config, IDS_COLUMN_EXISTS);
        return FALSE;
    }
    MarkPageChanged(config, page, k);
    return TRUE;
}

// ---- dragging rows ----

void BeginDrag(HWND page, ConfigData* config, const NMLISTVIEW* nm)
{
    HWND list = nm->hdr.hwndFrom;
    POINT origin = {0, 0};
    MapWindowPoints(list, page, &origin, 1);
    POINT top = {};
    HIMAGELIST image = (HIMAGELIST)SendMessageW(list, LVM_CREATEDRAGIMAGE, nm->iItem, (LPARAM)&top);
    if (!image)
        return;
    // The other selected rows join the image at their distance from the dragged one.
    int imageTop = top.y;
    int row = -1;
    while ((row = (int)SendMessageW(list, LVM_GETNEXTITEM, row, LVNI_SELECTED)) >= 0) {
        if (row == nm->iItem)
            continue;
        POINT at = {};
        HIMAGELIST other = (HIMAGELIST)SendMessageW(list, LVM_CREATEDRAGIMAGE, row, (LPARAM)&at);
        if (!other)
            continue;
        HIMAGELIST merged = ImageList_Merge(image, 0, other, 0, at.x - top.x, at.y - imageTop);
        ImageList_Destroy(other);
        if (!merged)
            continue;
        ImageList_Destroy(image);
        image = merged;
        imageTop = std::min(imageTop, (int)at.y);
    }
    config->DragList = list;
    config->DragOrigin = origin;
    config->DragImages = image;
    config->DropIndex = -1;
    ImageList_BeginDrag(image, 0, nm->ptAction.x - top.x, nm->ptAction.y - imageTop);
    ImageList_DragEnter(page, nm->ptAction.x + origin.x, nm->ptAction.y + origin.y);
    SetCapture(page);
}

// The row before which the rows would go for a point of the page, -1 for none. Just below the
// last row counts as after it.
int DropIndexAt(ConfigData* config, POINT inPage)
{
    HWND list = config->DragList;
    LVHITTESTINFO hit = {};
    hit.pt.x = inPage.x - config->DragOrigin.x;
    hit.pt.y = inPage.y - config->DragOrigin.y;
    int index = (int)SendMessageW(list, LVM_HITTEST, 0, (LPARAM)&hit);
    if (index >= 0 && (hit.flags & LVHT_ONITEM))
        return index;
    int count = RowCount(list);
    if (count <= 0)
        return -1;
    RECT last = {LVIR_BOUNDS};
    if (!SendMessageW(list, LVM_GETITEMRECT, count - 1, (LPARAM)&last))
        return -1;
    int height = last.bottom - last.top;
    if (hit.pt.y < last.bottom || hit.pt.y >= last.bottom + height)
        return -1;
    LVHITTESTINFO middle = {};
    middle.pt.x = hit.pt.x;
    middle.pt.y = (last.top + last.bottom) / 2;
    int onLast = (int)SendMessageW(list, LVM_HITTEST, 0, (LPARAM)&middle);
    return onLast >= 0 && (middle.flags & LVHT_ONITEM) ? count : -1;
}

void DragMove(ConfigData* config, POINT inPage)
{
    ImageList_DragMove(inPage.x, inPage.y);
    config->DropIndex = DropIndexAt(config, inPage);
    SetCursor(LoadCursorW(nullptr, config->DropIndex < 0 ? IDC_NO : IDC_ARROW));
}

int CALLBACK CompareRows(LPARAM a, LPARAM b, LPARAM)
{
    return reinterpret_cast<FieldRow*>(a)->SortKey - reinterpret_cast<FieldRow*>(b)->SortKey;
}

// The selected rows go before the drop row; ticked rows first, then by their new order.
void DropRows(HWND page, ConfigData* config, int k)
{
    HWND list = config->DragList;
    int count = RowCount(list);
    std::vector<FieldRow*> rows(count);
    std::vector<int> orders(count);
    std::vector<bool> selected(count), checked(count);
    for (int i = 0; i < count; i++) {
        rows[i] = RowAt(list, i);
        orders[i] = rows[i] ? rows[i]->Order : i + 1;
        selected[i] = IsSelected(list, i);
        checked[i] = IsChecked(list, i);
    }
    OrderForDrop(orders, selected, config->DropIndex);
    std::vector<int> sorted(count);
    for (int i = 0; i < count; i++)
        sorted[i] = i;
    std::stable_sort(sorted.begin(), sorted.end(), [&](int a, int b) {
        if (checked[a] != checked[b])
            return (bool)checked[a];
        return orders[a] < orders[b];
    });
    for (int position = 0; position < count; position++) {
        FieldRow* row = rows[sorted[position]];
        if (row) {
            row->Order = orders[sorted[position]];
            row->SortKey = position;
        }
    }
    SendMessageW(list, LVM_SORTITEMS, 0, (LPARAM)CompareRows);
    MarkPageChanged(config, page, k);
}

// Ends a running drag; with drop, the rows move where the mouse is.
void EndDrag(HWND page, ConfigData* config, int k, bool drop)
{
    if (!config->DragImages)
        return;
    ImageList_DragLeave(page);
    ImageList_EndDrag();
    ImageList_Destroy(config->DragImages);
    config->DragImages = nullptr;
    if (GetCapture() == page)
        ReleaseCapture();
    if (drop && config->DropIndex >= 0)
        DropRows(page, config, k);
    config->DragList = nullptr;
    config->DropIndex = -1;
}

// ---- apply ----

CDispField* EntryOfField(CObjArray* fields, const CFieldBase* field)
{
    for (int i = 0; i < fields->GetCount(); i++) {
        CDispField* entry = static_cast<CDispField*>(fields->GetItems()[i]);
        if (entry && entry->Field == field)
            return entry;
    }
    return nullptr;
}

void ApplyList(HWND list, CObjArray* fields)
{
    int count = RowCount(list);
    std::vector<bool> reached(fields->GetCount(), false);
    for (int i = 0; i < count; i++) {
        FieldRow* row = RowAt(list, i);
        if (!row)
            continue;
        // A row of a column the custom columns page has just applied finds its new entry.
        CDispField* entry = fields->IndexOf(row->Entry) >= 0 ? row->Entry : EntryOfField(fields, row->Field);
        if (!entry)
            continue;
        reached[fields->IndexOf(entry)] = true;
        row->Entry = entry;
        entry->Order = i + 1;
        entry->Visible = IsChecked(list, i) ? 1 : 0;
        free(entry->DispName);
        entry->DispName = WideDup(RowText(list, i).c_str());
    }
    // An entry no row shows keeps its place after the rows.
    for (int i = 0, next = count + 1; i < (int)reached.size(); i++) {
        if (!reached[i])
            static_cast<CDispField*>(fields->GetItems()[i])->Order = next++;
    }
}

// ---- the page ----

HWND HeaderList(HWND page, const ListPage& info)
{
    return info.Header ? GetDlgItem(page, info.HeaderId) : nullptr;
}

HWND DataList(HWND page, const ListPage& info)
{
    return GetDlgItem(page, info.DataId);
}

bool DataLabelUsed(HWND page, const ListPage& info, const LabelQuery* query)
{
    HWND list = DataList(page, info);
    int count = RowCount(list);
    for (int i = 0; i < count; i++) {
        FieldRow* row = RowAt(list, i);
        if (row && (row->Field == query->Own[0] || row->Field == query->Own[1]))
            continue;
        if (SameColumnName(RowText(list, i).c_str(), query->Label))
            return true;
    }
    return false;
}

BOOL OnNotify(HWND page, ConfigData* config, const ListPage& info, NMHDR* nm)
{
    int k = info.Page;
    switch (nm->code) {
    case LVN_ITEMCHANGED: {
        const NMLISTVIEW* change = reinterpret_cast<NMLISTVIEW*>(nm);
        bool stateImage = (change->uChanged & LVIF_STATE)
                          && ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK);
        bool other = (change->uChanged & ~(UINT)LVIF_STATE) != 0;
        if ((stateImage || other) && config->PageStates[k] != CONFIG_PAGE_NOT_OPENED
            && !GetPropW(page, kQuietProp))
            MarkPageChanged(config, page, k);
        return FALSE;
    }
    case LVN_DELETEITEM:
        delete reinterpret_cast<FieldRow*>(reinterpret_cast<NMLISTVIEW*>(nm)->lParam);
        return FALSE;
    case LVN_ENDLABELEDITW:
        SetWindowLongPtrW(page, DWLP_MSGRESULT,
                          EndLabelEdit(page, config, k, reinterpret_cast<NMLVDISPINFOW*>(nm)));
        return TRUE;
    case LVN_BEGINDRAG:
        BeginDrag(page, config, reinterpret_cast<NMLISTVIEW*>(nm));
        return FALSE;
    case PSN_QUERYCANCEL:
        // The rows keep their places to themselves: the lists were never touched.
        SetWindowLongPtrW(page, DWLP_MSGRESULT, FALSE);
        return TRUE;
    case PSN_APPLY:
        if (config->PageStates[k] == CONFIG_PAGE_CHANGED) {
            // New and changed custom columns get their entries before the rows look for them.
            if (info.TakesCustomColumns && config->CustomPage)
                SendMessageW(config->CustomPage, WM_CONFIG_APPLY_CUSTOM, 0, 0);
            if (HWND header = HeaderList(page, info))
                ApplyList(header, config->*info.Header);
            ApplyList(DataList(page, info), config->*info.Data);
            config->SortLists();
            config->PageStates[k] = CONFIG_PAGE_UNCHANGED;
        }
        return FinishPageApply(config, page);
    }
    return FALSE;
}

INT_PTR ConfigListPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam, int k)
{
    ConfigData* config = PageConfig(page, msg, lParam);
    if (!config)
        return FALSE;
    const ListPage& info = PageInfo(k);
    switch (msg) {
    case WM_INITDIALOG:
        if (HWND header = HeaderList(page, info))
            FillList(header, config->*info.Header, config->Instance);
        FillList(DataList(page, info), config->*info.Data, config->Instance);
        if (info.TakesCustomColumns) {
            Quiet quiet(DataList(page, info));
            PropSheet_QuerySiblings(GetParent(page), CONFIG_QUERY_NEW_COLUMNS, (LPARAM)DataList(page, info));
        }
        config->PageStates[k] = CONFIG_PAGE_UNCHANGED;
        return TRUE;
    case WM_NOTIFY:
        return OnNotify(page, config, info, reinterpret_cast<NMHDR*>(lParam));
    case WM_MOUSEMOVE:
        if (config->DragImages && GetCapture() == page)
            DragMove(config, POINT{(short)LOWORD(lParam), (short)HIWORD(lParam)});
        return FALSE;
    case WM_LBUTTONUP:
        EndDrag(page, config, k, true);
        return FALSE;
    case WM_CAPTURECHANGED:
        // A drag that loses the mouse ends without a drop.
        if ((HWND)lParam != page)
            EndDrag(page, config, k, false);
        return FALSE;
    case PSM_QUERYSIBLINGS:
        if (!info.TakesCustomColumns)
            return FALSE;
        if (wParam == CONFIG_QUERY_CUSTOM_CHANGED) {
            ShowCustomChange(DataList(page, info), *reinterpret_cast<CustomColumnChange*>(lParam));
        } else if (wParam == CONFIG_QUERY_LABEL_USED
                   && DataLabelUsed(page, info, reinterpret_cast<LabelQuery*>(lParam))) {
            SetWindowLongPtrW(page, DWLP_MSGRESULT, 1);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

}  // namespace

void ShowCustomChange(HWND list, const CustomColumnChange& change)
{
    Quiet quiet(list);
    int at = change.Shown ? FindRowOfField(list, change.Shown) : -1;
    if (at < 0 && change.Now)
        at = FindRowOfField(list, change.Now);
    if (at >= 0) {
        if (!change.Now) {
            SendMessageW(list, LVM_DELETEITEM, at, 0);
            return;
        }
        RowAt(list, at)->Field = change.Now;
        SetSubText(list, at, change.Now->Name);
        return;
    }
    if (!change.Now)
        return;
    int count = RowCount(list);
    InsertRow(list, count, change.Now->Name, new FieldRow{nullptr, change.Now, count + 1, 0}, true);
}

bool IsLabelUsed(ConfigData* config, const LabelQuery& query)
{
    // The pages that are open answer for their rows.
    if (config->Sheet && PropSheet_QuerySiblings(config->Sheet, CONFIG_QUERY_LABEL_USED, (LPARAM)&query))
        return true;
    for (const ListPage& info : kListPages) {
        if (!info.TakesCustomColumns || config->PageStates[info.Page] != CONFIG_PAGE_NOT_OPENED)
            continue;
        CObjArray* fields = config->*info.Data;
        for (int i = 0; i < fields->GetCount(); i++) {
            const CDispField* entry = static_cast<const CDispField*>(fields->GetItems()[i]);
            if (!entry || entry->Field == query.Own[0] || entry->Field == query.Own[1])
                continue;
            if (entry->DispName && SameColumnName(entry->DispName, query.Label))
                return true;
        }
    }
    return false;
}

INT_PTR CALLBACK ConfigSystemPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return ConfigListPageProc(page, msg, wParam, lParam, CONFIG_PAGE_SYSTEM);
}

INT_PTR CALLBACK ConfigLocalityPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return ConfigListPageProc(page, msg, wParam, lParam, CONFIG_PAGE_LOCALITY);
}

INT_PTR CALLBACK ConfigSearchPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return ConfigListPageProc(page, msg, wParam, lParam, CONFIG_PAGE_SEARCH);
}

INT_PTR CALLBACK ConfigLiteraturePageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return ConfigListPageProc(page, msg, wParam, lParam, CONFIG_PAGE_LITERATURE);
}
