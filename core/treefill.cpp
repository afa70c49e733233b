#include "core/treefill.h"
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <map>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/blob.h"
#include "core/ctlfill.h"
#include "core/textutil.h"
#include "czechcollation/czechtext.h"

const wchar_t kNoExpandProp[] = L"NoExpand";

namespace {

int ColumnInt(zdata::Fields* fields, long ordinal, bool zeroWhenEmpty)
{
    VARIANT v;
    ColumnValue(fields, ordinal, &v);
    int n = zeroWhenEmpty ? VariantToIntOrZero(&v) : VariantToInt(&v);
    VariantClear(&v);
    return n;
}

// The stored icon of a column appended to the image list; -1 when the column holds none.
int AppendColumnIcon(zdata::Fields* fields, long ordinal, HIMAGELIST images, int size)
{
    VARIANT v;
    ColumnValue(fields, ordinal, &v);
    int index = -1;
    HICON icon = BlobToIcon(&v, size, size);
    if (icon) {
        index = ImageList_ReplaceIcon(images, -1, icon);
        DestroyIcon(icon);
    }
    VariantClear(&v);
    return index;
}

HTREEITEM NextItem(HWND tree, HTREEITEM item, UINT how)
{
    return (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, how, (LPARAM)item);
}

// The label of a tree item (at most capacity - 1 characters) and its data (0 when none).
LPARAM ItemLabel(HWND tree, HTREEITEM item, wchar_t* text, int capacity)
{
    TVITEMW tvi = {};
    tvi.mask = TVIF_TEXT | TVIF_PARAM | TVIF_HANDLE;
    tvi.hItem = item;
    tvi.pszText = text;
    tvi.cchTextMax = capacity;
    return SendMessageW(tree, TVM_GETITEMW, 0, (LPARAM)&tvi) ? tvi.lParam : 0;
}

// The text of a string value; empty for anything else.
const wchar_t* BstrOf(const VARIANT& v)
{
    return v.vt == VT_BSTR && v.bstrVal ? v.bstrVal : L"";
}

// The ids that are the parent of some row of a tree recordset (ID, PARENT, ...): one walk over
// all its rows, after which the recordset has its filter again.
std::unordered_set<int> ParentIds(zdata::Recordset* rs)
{
    std::unordered_set<int> parents;
    VARIANT filter;
    VariantInit(&filter);
    if (FAILED(rs->get_Filter(&filter)))
        return parents;
    VARIANT none;
    VariantInit(&none);
    none.vt = VT_I4;
    none.lVal = adFilterNone;
    zdata::Fields* fields = nullptr;
    zdata::Field* parent = nullptr;
    if (SUCCEEDED(rs->put_Filter(none)) && SUCCEEDED(rs->get_Fields(&fields)) && fields
        && SUCCEEDED(fields->Item(1L, &parent)) && parent) {
        for (HRESULT hr = rs->MoveFirst(); SUCCEEDED(hr) && !rs->IsEOF(); hr = rs->MoveNext()) {
            VARIANT v;
            VariantInit(&v);
            parent->get_Value(&v);
            if (v.vt == VT_I4 || v.vt == VT_I2 || v.vt == VT_R8 || v.vt == VT_I8)
                parents.insert(VariantToInt(&v));
            VariantClear(&v);
        }
    }
    if (parent)
        parent->Release();
    if (fields)
        fields->Release();
    rs->put_Filter(filter);
    VariantClear(&filter);
    return parents;
}

}  // namespace

TreeItemData* GetTreeItemData(HWND tree, HTREEITEM item)
{
    if (!item)
        return nullptr;
    TVITEMW tvi = {};
    tvi.mask = TVIF_PARAM | TVIF_HANDLE;
    tvi.hItem = item;
    if (!SendMessageW(tree, TVM_GETITEMW, 0, (LPARAM)&tvi))
        return nullptr;
    return (TreeItemData*)tvi.lParam;
}

std::wstring GetTreeItemString(HWND tree, HTREEITEM item)
{
    wchar_t text[128] = L"";
    TVITEMW tvi = {};
    tvi.mask = TVIF_TEXT | TVIF_HANDLE;
    tvi.hItem = item;
    tvi.pszText = text;
    tvi.cchTextMax = 128;
    SendMessageW(tree, TVM_GETITEMW, 0, (LPARAM)&tvi);
    text[127] = 0;
    return text;
}

HTREEITEM InsertTreeItemFromRecord(HWND tree, HTREEITEM parent, HTREEITEM insertAfter,
                                   TreeItemData* parentData, HIMAGELIST largeImages,
                                   HIMAGELIST smallImages, const CPtrArray* levelCache,
                                   zdata::Fields* fields, int nameColumn, int firstIconColumn)
{
    (void)parentData;
    TreeItemData* data = (TreeItemData*)calloc(1, sizeof(TreeItemData));
    if (!data)
        return nullptr;
    data->Id = ColumnInt(fields, 0, false);
    int levelId = ColumnInt(fields, 2, false);
    LevelDef* level = nullptr;
    if (levelCache) {
        level = FindLevelDef(levelCache, levelId);
        data->Level.Def = level;
    } else {
        data->Level.Id = levelId;
    }
    data->Position = nameColumn > 3 ? ColumnInt(fields, 3, false) : 0;
    data->Icon32 = data->Icon16 = data->Icon16Selected = -1;
    if (largeImages) {
        int own = AppendColumnIcon(fields, firstIconColumn, largeImages, 32);
        data->Icon32 = own >= 0 ? own : level ? level->Icon32 : -1;
    }
    if (smallImages) {
        int own = AppendColumnIcon(fields, firstIconColumn + 1, smallImages, 16);
        data->Icon16 = own >= 0 ? own : level ? level->Icon16 : -1;
        own = AppendColumnIcon(fields, firstIconColumn + 2, smallImages, 16);
        data->Icon16Selected = own >= 0 ? own : level ? level->Icon16Selected : -1;
    }

    wchar_t name[128];
    VARIANT v;
    ColumnValue(fields, nameColumn, &v);
    if (!VariantToText(&v, name, 128))
        name[0] = 0;
    VariantClear(&v);

    TVINSERTSTRUCTW ins = {};
    ins.hParent = parent;
    ins.hInsertAfter = insertAfter;
    ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN;
    ins.item.pszText = name;
    ins.item.iImage = data->Icon16;
    ins.item.iSelectedImage = data->Icon16Selected;
    ins.item.cChildren = 1;
    ins.item.lParam = (LPARAM)data;
    HTREEITEM item = (HTREEITEM)SendMessageW(tree, TVM_INSERTITEMW, 0, (LPARAM)&ins);
    if (!item)
        free(data);
    return item;
}

void FillTreeChildren(HWND tree, HTREEITEM parent, TreeItemData* parentData,
                      HIMAGELIST largeImages, HIMAGELIST smallImages, const CPtrArray* levelCache,
                      zdata::Recordset* rs, int nameColumn, int firstIconColumn)
{
    if (GetPropW(tree, kNoExpandProp))
        return;
    zdata::Fields* fields = nullptr;
    if (!rs || FAILED(rs->get_Fields(&fields)) || !fields)
        return;
    std::vector<std::pair<HTREEITEM, int>> inserted;
    for (HRESULT hr = rs->MoveFirst(); SUCCEEDED(hr) && !rs->IsEOF(); hr = rs->MoveNext()) {
        HTREEITEM item = InsertTreeItemFromRecord(tree, parent, TVI_LAST, parentData, largeImages,
                                                  smallImages, levelCache, fields, nameColumn,
                                                  firstIconColumn);
        if (item)
            inserted.push_back({item, GetTreeItemData(tree, item)->Id});
    }
    fields->Release();
    // An item without children of its own shows no button that would open nothing.
    if (!inserted.empty()) {
        std::unordered_set<int> parents = ParentIds(rs);
        for (const auto& child : inserted) {
            if (parents.count(child.second))
                continue;
            TVITEMW tvi = {};
            tvi.mask = TVIF_CHILDREN | TVIF_HANDLE;
            tvi.hItem = child.first;
            tvi.cChildren = 0;
            SendMessageW(tree, TVM_SETITEMW, 0, (LPARAM)&tvi);
        }
    }
    if (!parentData)
        return;
    long count = 0;
    if (FAILED(rs->get_RecordCount(&count)) || count < 0)
        count = 0;
    parentData->ChildCount = (int)count;
    parentData->ChildrenLoaded = 1;
    if (count == 0 && parent && parent != TVI_ROOT) {
        TVITEMW tvi = {};
        tvi.mask = TVIF_CHILDREN | TVIF_HANDLE;
        tvi.hItem = parent;
        tvi.cChildren = 0;
        SendMessageW(tree, TVM_SETITEMW, 0, (LPARAM)&tvi);
    }
}

void FreeTreeItemData(HWND tree, HTREEITEM item)
{
    if (!item)
        return;
    TreeItemData* data = GetTreeItemData(tree, item);
    if (data) {
        // Cleared first so that nothing reads the block once it is gone.
        TVITEMW tvi = {};
        tvi.mask = TVIF_PARAM | TVIF_HANDLE;
        tvi.hItem = item;
        tvi.lParam = 0;
        SendMessageW(tree, TVM_SETITEMW, 0, (LPARAM)&tvi);
        free(data);
    }
    DeleteTreeChildren(tree, item, 0);
}

void DeleteTreeChildren(HWND tree, HTREEITEM item, int deleteItems)
{
    HTREEITEM last = nullptr;
    for (HTREEITEM child = NextItem(tree, item, TVGN_CHILD); child;
         child = NextItem(tree, child, TVGN_NEXT)) {
        FreeTreeItemData(tree, child);
        last = child;
    }
    if (!deleteItems)
        return;
    while (last) {
        HTREEITEM previous = NextItem(tree, last, TVGN_PREVIOUS);
        SendMessageW(tree, TVM_DELETEITEM, 0, (LPARAM)last);
        last = previous;
    }
}

void ClearTree(HWND tree)
{
    SetPropW(tree, kNoExpandProp, (HANDLE)1);
    for (HTREEITEM item = NextItem(tree, nullptr, TVGN_ROOT); item;
         item = NextItem(tree, item, TVGN_NEXT))
        FreeTreeItemData(tree, item);
    SendMessageW(tree, TVM_DELETEITEM, 0, (LPARAM)TVI_ROOT);
    SetPropW(tree, kNoExpandProp, (HANDLE)0);
}

void TreeChildrenToList(HWND tree, HWND list, HTREEITEM item)
{
    DrawingPaused paused(list);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    bool iconView = (GetWindowLongW(list, GWL_STYLE) & LVS_TYPEMASK) == LVS_ICON;
    int index = 0;
    for (HTREEITEM child = NextItem(tree, item, TVGN_CHILD); child;
         child = NextItem(tree, child, TVGN_NEXT)) {
        wchar_t text[64] = L"";
        TreeItemData* data = (TreeItemData*)ItemLabel(tree, child, text, 64);
        LVITEMW lvi = {};
        lvi.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        lvi.iItem = index++;
        lvi.pszText = text;
        lvi.iImage = data ? (iconView ? data->Icon32 : data->Icon16) : -1;
        lvi.lParam = (LPARAM)data;
        SendMessageW(list, LVM_INSERTITEMW, 0, (LPARAM)&lvi);
    }
}

static void FilterById(zdata::Recordset* rs, int id)
{
    wchar_t filter[32];
    _snwprintf(filter, 32, L"ID = %d", id);
    filter[31] = 0;
    rs->put_Filter(filter);
}

void BuildIdPath(CIntArray* path, int startId, zdata::Recordset* treeRs)
{
    if (treeRs) {
        FilterById(treeRs, startId);
        zdata::Fields* fields = nullptr;
        if (SUCCEEDED(treeRs->get_Fields(&fields)) && fields) {
            int id = startId;
            // A cycle in damaged PARENT values must not loop for ever: a path never holds more
            // ids than the table has rows.
            int guard = 0;
            while (!(treeRs->IsBOF() && treeRs->IsEOF()) && id > 0 && guard++ < 1000000) {
                path->Add(id);
                treeRs->MoveFirst();
                id = ColumnInt(fields, 1, false);
                FilterById(treeRs, id);
            }
            fields->Release();
        }
    }
    path->Add(0);
}

HTREEITEM FindTreeChildById(int id, HWND tree, HTREEITEM parent, TreeItemData** data)
{
    for (HTREEITEM child = NextItem(tree, parent ? parent : TVI_ROOT, TVGN_CHILD); child;
         child = NextItem(tree, child, TVGN_NEXT)) {
        TreeItemData* d = GetTreeItemData(tree, child);
        if (d && d->Id == id) {
            if (data)
                *data = d;
            return child;
        }
    }
    if (data)
        *data = nullptr;
    return nullptr;
}

void SelectTreePath(HWND tree, const CIntArray* path)
{
    int n = path ? path->GetCount() : 0;
    if (n < 1)
        return;
    HTREEITEM current = nullptr;  // the root
    for (int k = n - 1; k >= 1; k--) {
        HTREEITEM child = FindTreeChildById(path->GetItems()[k], tree, current, nullptr);
        if (!child)
            continue;
        current = child;
        SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, (LPARAM)current);
    }
    HTREEITEM target = FindTreeChildById(path->GetItems()[0], tree, current, nullptr);
    if (target)
        SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)target);
}

static HTREEITEM FindInSubtree(int id, HWND tree, HTREEITEM item)
{
    TreeItemData* data = GetTreeItemData(tree, item);
    if (data && data->Id == id)
        return item;
    for (HTREEITEM child = NextItem(tree, item, TVGN_CHILD); child;
         child = NextItem(tree, child, TVGN_NEXT)) {
        HTREEITEM found = FindInSubtree(id, tree, child);
        if (found)
            return found;
    }
    return nullptr;
}

HTREEITEM FindTreeItemById(int id, HWND tree, HTREEITEM start)
{
    if (start)
        return FindInSubtree(id, tree, start);
    for (HTREEITEM item = NextItem(tree, nullptr, TVGN_ROOT); item;
         item = NextItem(tree, item, TVGN_NEXT)) {
        HTREEITEM found = FindInSubtree(id, tree, item);
        if (found)
            return found;
    }
    return nullptr;
}

int CALLBACK CompareTreeItemPos(LPARAM data1, LPARAM data2, LPARAM)
{
    const TreeItemData* a = (const TreeItemData*)data1;
    const TreeItemData* b = (const TreeItemData*)data2;
    if (a && b) {
        // Compared, not subtracted: positions far apart would overflow the difference.
        return a->Position < b->Position ? -1 : a->Position > b->Position ? 1 : 0;
    }
    if (a)
        return 1;
    if (b)
        return -1;
    return 0;
}

void SortTreeChildrenByPosition(HWND tree, zdata::Recordset* rs, int parentId)
{
    HTREEITEM parent = FindTreeItemById(parentId, tree, nullptr);
    if (!parent || !rs)
        return;
    zdata::Fields* fields = nullptr;
    if (FAILED(rs->get_Fields(&fields)) || !fields)
        return;
    for (HRESULT hr = rs->MoveFirst(); SUCCEEDED(hr) && !rs->IsEOF(); hr = rs->MoveNext()) {
        TreeItemData* data = nullptr;
        if (FindTreeChildById(ColumnInt(fields, 0, false), tree, parent, &data) && data)
            data->Position = ColumnInt(fields, 3, false);
    }
    fields->Release();
    TVSORTCB sort = {};
    sort.hParent = parent;
    sort.lpfnCompare = CompareTreeItemPos;
    sort.lParam = 0;
    SendMessageW(tree, TVM_SORTCHILDRENCB, 0, (LPARAM)&sort);
}

namespace {

// The labels of the children being sorted, by their item data.
using LabelsByData = std::map<LPARAM, std::wstring>;

int CALLBACK CompareTreeItemLabels(LPARAM data1, LPARAM data2, LPARAM labels)
{
    if (!data1 || !data2)
        return data1 ? -1 : (data2 ? 1 : 0);
    const LabelsByData& names = *(const LabelsByData*)labels;
    auto a = names.find(data1);
    auto b = names.find(data2);
    if (a == names.end() || b == names.end())
        return 0;
    return CzechCompare(a->second, b->second);
}

}  // namespace

void SortTreeChildrenByName(HWND tree, HTREEITEM parent)
{
    LabelsByData labels;
    for (HTREEITEM child = NextItem(tree, parent ? parent : TVI_ROOT, TVGN_CHILD); child;
         child = NextItem(tree, child, TVGN_NEXT)) {
        wchar_t text[260] = L"";
        if (LPARAM data = ItemLabel(tree, child, text, 260))
            labels[data] = text;
    }
    TVSORTCB sort = {};
    sort.hParent = parent ? parent : TVI_ROOT;
    sort.lpfnCompare = CompareTreeItemLabels;
    sort.lParam = (LPARAM)&labels;
    SendMessageW(tree, TVM_SORTCHILDRENCB, 0, (LPARAM)&sort);
}

int SetTreeItemTextById(HWND tree, HTREEITEM start, int id, const wchar_t* text)
{
    HTREEITEM item = FindTreeItemById(id, tree, start);
    if (!item)
        return 0;
    TVITEMW tvi = {};
    tvi.mask = TVIF_TEXT | TVIF_HANDLE;
    tvi.hItem = item;
    tvi.pszText = (wchar_t*)text;
    SendMessageW(tree, TVM_SETITEMW, 0, (LPARAM)&tvi);
    return 1;
}

wchar_t* FormatTaxonName(zdata::Fields* speciesRow)
{
    VARIANT nameValue, authorValue;
    ColumnValue(speciesRow, 0, &nameValue);
    ColumnValue(speciesRow, 3, &authorValue);
    const wchar_t* name = BstrOf(nameValue);
    const wchar_t* author = BstrOf(authorValue);
    wchar_t* result = nullptr;
    if (name[0] || author[0]) {
        int parentheses = ColumnInt(speciesRow, 4, true);
        int year = ColumnInt(speciesRow, 5, false);
        bool showYear = year > 1000 && year <= 9998;
        // Name, author, a space, two parentheses, ", " and four digits, and the terminator.
        size_t size = wcslen(name) + wcslen(author) + 1 + 2 + 6 + 1;
        result = (wchar_t*)malloc(size * sizeof(wchar_t));
        if (result) {
            if (parentheses && showYear)
                _snwprintf(result, size, L"%s (%s, %d)", name, author, year);
            else if (showYear)
                _snwprintf(result, size, L"%s %s, %d", name, author, year);
            else if (parentheses)
                _snwprintf(result, size, L"%s (%s)", name, author);
            else
                _snwprintf(result, size, L"%s %s", name, author);
            result[size - 1] = 0;
        }
    }
    VariantClear(&nameValue);
    VariantClear(&authorValue);
    return result;
}
