// The publication dialog's name pages (authors, keywords) and tree pages (taxa, localities).
#include "browse/litrecorddlg.h"

#include <stdlib.h>
#include <strsafe.h>

#include "browse/littext.h"
#include "core/containers.h"
#include "core/ctlfill.h"
#include "core/literature.h"
#include "core/textutil.h"
#include "core/treefill.h"
#include "mainapp/zm_protocol.h"
#include "resources/zorna/resource.h"

namespace {

// Window properties of a tree page's tree.
const wchar_t kRecordsetProp[] = L"Recordset";
const wchar_t kIndicesProp[] = L"Indices";      // low word name column, high word first icon
const wchar_t kDefListProp[] = L"DefList";      // the level list of the hierarchy
const wchar_t kPurposeProp[] = L"Purpose";      // 1 taxa, 2 localities

const int kFirstIconColumn = 5;
const UINT_PTR kTickSubclass = 1;

// Purpose of a tree page: 1 over SYSTREE (names in column 4), 2 over LOCTREE (column 3).
int PurposeOfTab(int tab)
{
    return tab == LITTAB_SPECIES ? 1 : 2;
}

zdata::Recordset* TreeRecordset(HWND tree)
{
    return (zdata::Recordset*)GetPropW(tree, kRecordsetProp);
}

void SetFilter(zdata::Recordset* rs, const wchar_t* format, int id)
{
    wchar_t filter[48];
    StringCchPrintfW(filter, 48, format, id);
    rs->put_Filter(filter);
}

std::wstring ItemText(HWND tree, HTREEITEM item)
{
    wchar_t text[128] = L"";
    TVITEMW tvi = {};
    tvi.mask = TVIF_TEXT | TVIF_HANDLE;
    tvi.hItem = item;
    tvi.pszText = text;
    tvi.cchTextMax = 128;
    SendMessageW(tree, TVM_GETITEMW, 0, (LPARAM)&tvi);
    return text;
}

bool IsTicked(HWND tree, HTREEITEM item)
{
    UINT state = (UINT)SendMessageW(tree, TVM_GETITEMSTATE, (WPARAM)item, TVIS_STATEIMAGEMASK);
    return ((state & TVIS_STATEIMAGEMASK) >> 12) == 2;
}

void SetTick(HWND tree, HTREEITEM item, bool ticked)
{
    TVITEMW tvi = {};
    tvi.mask = TVIF_STATE | TVIF_HANDLE;
    tvi.hItem = item;
    tvi.stateMask = TVIS_STATEIMAGEMASK;
    tvi.state = INDEXTOSTATEIMAGEMASK(ticked ? 2 : 1);
    SendMessageW(tree, TVM_SETITEMW, 0, (LPARAM)&tvi);
}

// The tree's own clicks, double-clicks and Space change a tick without (or before) telling the
// page, so after each of them the page is asked to look at the item's real tick.
LRESULT CALLBACK TickWatchProc(HWND tree, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR refData)
{
    HWND page = (HWND)refData;
    HTREEITEM item = nullptr;
    if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK) {
        TVHITTESTINFO hit = {};
        hit.pt.x = (short)LOWORD(lParam);
        hit.pt.y = (short)HIWORD(lParam);
        SendMessageW(tree, TVM_HITTEST, 0, (LPARAM)&hit);
        if (hit.flags & TVHT_ONITEMSTATEICON)
            item = hit.hItem;
    } else if (msg == WM_KEYDOWN && wParam == VK_SPACE) {
        item = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    } else if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(tree, TickWatchProc, kTickSubclass);
    }
    LRESULT result = DefSubclassProc(tree, msg, wParam, lParam);
    if (item)
        PostMessageW(page, kLitSyncTickMessage, 0, (LPARAM)item);
    return result;
}

}  // namespace

// ---- authors and keywords ----

void CEditLitRecordDlg::InitNamesPage(HWND page, int tab)
{
    bool authors = tab == LITTAB_AUTHORS;
    wchar_t name[64] = L"";
    LoadStringW(Instance, authors ? IDS_AUTHORS : IDS_KEYWORDS, name, 64);
    SetDlgItemTextW(page, IDC_LITREC_CHOSENLABEL, (std::wstring(name) + L":").c_str());
    // "Autoři k dispozici:": the list's name comes first, as Czech puts it.
    wchar_t available[64] = L"";
    LoadStringW(Instance, IDS_AVAILABLE, available, 64);
    SetDlgItemTextW(page, IDC_LITREC_AVAILABLELABEL, (std::wstring(name) + available + L":").c_str());

    HWND list = GetDlgItem(page, IDC_LITREC_AVAILABLE);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    FillListBoxFromRecordset(list, (zdata::Recordset*)SendOwner(
                                       ZM_GET_RECORDSET, authors ? ZM_RS_LITAUTHORS : ZM_RS_KEYWORDS, 0));
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);

    std::wstring text;
    CPtrArray* names = Record ? (authors ? Record->Authors : Record->Keywords) : nullptr;
    for (int i = 0; names && i < names->GetCount(); i++) {
        const wchar_t* entry = (const wchar_t*)names->GetItems()[i];
        text += entry ? entry : L"";
        text += L"\r\n";
    }
    SetDlgItemTextW(page, IDC_LITREC_CHOSEN, text.c_str());
}

void CEditLitRecordDlg::OnNamesCommand(HWND page, WORD id)
{
    HWND edit = GetDlgItem(page, IDC_LITREC_CHOSEN);
    if (id == IDC_LITREC_TAKE) {
        HWND list = GetDlgItem(page, IDC_LITREC_AVAILABLE);
        int selected = (int)SendMessageW(list, LB_GETCURSEL, 0, 0);
        if (selected < 0)
            return;
        int length = (int)SendMessageW(list, LB_GETTEXTLEN, (WPARAM)selected, 0);
        if (length < 0)
            return;
        std::wstring name((size_t)length + 1, L'\0');
        SendMessageW(list, LB_GETTEXT, (WPARAM)selected, (LPARAM)&name[0]);
        name.resize((size_t)length);
        // At the caret, whatever was selected in the edit staying as it was.
        DWORD end = 0;
        SendMessageW(edit, EM_GETSEL, 0, (LPARAM)&end);
        SendMessageW(edit, EM_SETSEL, end, end);
        SendMessageW(edit, EM_REPLACESEL, TRUE, (LPARAM)(name + L"\r\n").c_str());
    } else if (id == IDC_LITREC_REMOVE) {
        int line = (int)SendMessageW(edit, EM_LINEFROMCHAR, (WPARAM)-1, 0);
        int start = (int)SendMessageW(edit, EM_LINEINDEX, (WPARAM)line, 0);
        int next = (int)SendMessageW(edit, EM_LINEINDEX, (WPARAM)(line + 1), 0);
        if (start < 0)
            return;
        if (next < 0)
            next = GetWindowTextLengthW(edit);
        SendMessageW(edit, EM_SETSEL, (WPARAM)start, (LPARAM)next);
        SendMessageW(edit, EM_REPLACESEL, TRUE, (LPARAM)L"");
    }
}

// ---- taxa and localities ----

void CEditLitRecordDlg::InitTreePage(HWND page, int tab)
{
    int purpose = PurposeOfTab(tab);
    int nameColumn = purpose == 1 ? 4 : 3;
    HWND tree = GetDlgItem(page, IDC_LITREC_TREE);
    SetWindowLongW(tree, GWL_STYLE, GetWindowLongW(tree, GWL_STYLE) | TVS_CHECKBOXES);
    SendMessageW(tree, TVM_SETUNICODEFORMAT, TRUE, 0);
    SetWindowSubclass(tree, TickWatchProc, kTickSubclass, (DWORD_PTR)page);
    zdata::Recordset* rs = (zdata::Recordset*)SendOwner(
        ZM_GET_RECORDSET, purpose == 1 ? ZM_RS_SYSTREE : ZM_RS_LOCTREE, 0);
    if (!rs)
        return;
    SetPropW(tree, kRecordsetProp, (HANDLE)rs);
    SetPropW(tree, kIndicesProp,
             (HANDLE)(UINT_PTR)MAKELONG((WORD)nameColumn, (WORD)kFirstIconColumn));
    SetPropW(tree, kDefListProp, (HANDLE)SendOwner(ZM_GET_LEVEL_DEFS, (WPARAM)purpose, 0));
    SetPropW(tree, kPurposeProp, (HANDLE)(UINT_PTR)purpose);

    HWND list = GetDlgItem(page, IDC_LITREC_REFERENCED);
    CIntArray* ids = Record ? (purpose == 1 ? Record->SpeciesIds : Record->LocalityIds) : nullptr;
    zdata::Fields* fields = nullptr;
    if (ids && SUCCEEDED(rs->get_Fields(&fields)) && fields) {
        for (int i = 0; i < ids->GetCount(); i++) {
            int id = ids->GetItems()[i];
            SetFilter(rs, L"ID = %d", id);
            // A link to an item that is gone is left out, so the next save drops it.
            if (rs->IsEOF())
                continue;
            VARIANT value;
            ColumnValue(fields, 2, &value);
            int level = VariantToInt(&value);
            VariantClear(&value);
            ColumnValue(fields, nameColumn, &value);
            std::wstring treeName = value.vt == VT_BSTR && value.bstrVal ? value.bstrVal : L"";
            VariantClear(&value);
            bool dataLevel = SendOwner(ZM_FIND_LEVEL, (WPARAM)purpose, level) != 0;
            std::wstring text = dataLevel ? ReferencedName(purpose, id, treeName) : treeName;
            LRESULT row = SendMessageW(list, LB_ADDSTRING, 0, (LPARAM)text.c_str());
            if (row >= 0)
                SendMessageW(list, LB_SETITEMDATA, (WPARAM)row, (LPARAM)id);
        }
        fields->Release();
    }
    LoadTreeChildren(page, nullptr);
}

std::wstring CEditLitRecordDlg::ReferencedName(int purpose, int id, const std::wstring& treeName)
{
    // The species' or locality's own name; the tree's name when the row has none.
    wchar_t* name = (wchar_t*)SendOwner(ZM_GET_ROW_BY_ID, (WPARAM)(purpose - 1), id);
    std::wstring text = name && *name ? name : treeName;
    free(name);
    return text;
}

void CEditLitRecordDlg::LoadTreeChildren(HWND page, HTREEITEM item)
{
    if (Purging)
        return;
    HWND tree = GetDlgItem(page, IDC_LITREC_TREE);
    zdata::Recordset* rs = TreeRecordset(tree);
    if (!rs)
        return;
    TreeItemData* data = item ? GetTreeItemData(tree, item) : nullptr;
    if (item && (!data || data->ChildrenLoaded))
        return;
    SetFilter(rs, L"PARENT = %d", data ? data->Id : 0);
    DWORD indices = (DWORD)(UINT_PTR)GetPropW(tree, kIndicesProp);
    FillTreeChildren(tree, item ? item : TVI_ROOT, data, nullptr, nullptr,
                     (const CPtrArray*)GetPropW(tree, kDefListProp), rs, LOWORD(indices),
                     HIWORD(indices));
    // The children just loaded show the ticks of the referenced items.
    HWND list = GetDlgItem(page, IDC_LITREC_REFERENCED);
    HTREEITEM child = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM,
                                              item ? TVGN_CHILD : TVGN_ROOT, (LPARAM)item);
    for (; child; child = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)child)) {
        TreeItemData* childData = GetTreeItemData(tree, child);
        if (childData)
            SetTick(tree, child, FindListBoxItemByData(list, childData->Id) >= 0);
    }
}

LRESULT CEditLitRecordDlg::OnTreePageNotify(HWND page, NMHDR* header)
{
    if (header->idFrom == IDC_LITREC_TREE && header->code == TVN_ITEMEXPANDINGW) {
        NMTREEVIEWW* nm = (NMTREEVIEWW*)header;
        if (nm->action & TVE_EXPAND)
            LoadTreeChildren(page, nm->itemNew.hItem);
    }
    return 0;
}

void CEditLitRecordDlg::SyncTick(HWND page, HTREEITEM item)
{
    HWND tree = GetDlgItem(page, IDC_LITREC_TREE);
    TreeItemData* data = GetTreeItemData(tree, item);
    if (!data)
        return;
    HWND list = GetDlgItem(page, IDC_LITREC_REFERENCED);
    int row = FindListBoxItemByData(list, data->Id);
    bool ticked = IsTicked(tree, item);
    if (ticked && row < 0) {
        std::wstring text = ItemText(tree, item);
        if (data->Level.Def && data->Level.Def->DataLevel) {
            int purpose = (int)(UINT_PTR)GetPropW(tree, kPurposeProp);
            text = ReferencedName(purpose, data->Id, text);
        }
        LRESULT added = SendMessageW(list, LB_ADDSTRING, 0, (LPARAM)text.c_str());
        if (added >= 0)
            SendMessageW(list, LB_SETITEMDATA, (WPARAM)added, (LPARAM)data->Id);
    } else if (!ticked && row >= 0) {
        SendMessageW(list, LB_DELETESTRING, (WPARAM)row, 0);
    }
}

void CEditLitRecordDlg::DestroyTreePage(HWND page)
{
    HWND tree = GetDlgItem(page, IDC_LITREC_TREE);
    Purging = 1;
    ClearTree(tree);
    Purging = 0;
    RemovePropW(tree, kRecordsetProp);
    RemovePropW(tree, kIndicesProp);
    RemovePropW(tree, kDefListProp);
    RemovePropW(tree, kPurposeProp);
}
