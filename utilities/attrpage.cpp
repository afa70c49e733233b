#include "utilities/attrpage.h"

#include <commctrl.h>
#include <strsafe.h>

#include "core/textutil.h"
#include "resources/tarnix/resource.h"
#include "utilities/structmodel.h"

namespace {

const int kTypeCount = 8;
const int kValueEdits[] = {IDC_ATTR_SIZE, IDC_ATTR_NULLVAL, IDC_ATTR_MINVAL, IDC_ATTR_MAXVAL};
const int kDetailControls[] = {IDC_ATTR_TYPE,    IDC_ATTR_TAB,    IDC_ATTR_SIZE,   IDC_ATTR_NULLVAL,
                               IDC_ATTR_MINVAL,  IDC_ATTR_MAXVAL, IDC_ATTR_NEW,    IDC_ATTR_RENAME,
                               IDC_ATTR_DELETE};

CAttrPage* PageOf(HWND page)
{
    return reinterpret_cast<CAttrPage*>(GetWindowLongPtrW(page, GWLP_USERDATA));
}

HWND ListOf(HWND page)
{
    return GetDlgItem(page, IDC_ATTR_LIST);
}

// Adds a tab name to the tab combo unless it is empty or there already (ignoring case).
void AddTabName(HWND combo, const wchar_t* name)
{
    if (!name || !*name)
        return;
    int count = (int)SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
        wchar_t text[64] = L"";
        if (SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) < 64)
            SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        if (SameTextNoCase(text, name))
            return;
    }
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
}

// Empties and disables the detail controls (no attribute shown).
void ResetDetails(HWND page, CAttrPage* self)
{
    self->Busy = true;
    SendDlgItemMessageW(page, IDC_ATTR_TYPE, CB_SETCURSEL, (WPARAM)-1, 0);
    SetDlgItemTextW(page, IDC_ATTR_TAB, L"");
    for (int id : kValueEdits)
        SetDlgItemTextW(page, id, L"");
    for (int id : kDetailControls)
        EnableWindow(GetDlgItem(page, id), FALSE);
    self->Busy = false;
}

void ShowValue(HWND page, int id, const VARIANT* value)
{
    wchar_t text[64] = L"";
    GetVariantText(value, text, 64);
    SetDlgItemTextW(page, id, text);
}

// The selected attribute in the detail controls (read-only).
void ShowAttribute(HWND page, CAttrPage* self, const AttrEntry* e)
{
    self->Busy = true;
    SendDlgItemMessageW(page, IDC_ATTR_TYPE, CB_SETCURSEL,
                        (e->Type >= 0 && e->Type < kTypeCount) ? (WPARAM)e->Type : (WPARAM)-1, 0);
    SetDlgItemTextW(page, IDC_ATTR_TAB, e->TabName);
    wchar_t size[16];
    StringCchPrintfW(size, 16, L"%d", e->Size);
    SetDlgItemTextW(page, IDC_ATTR_SIZE, size);
    ShowValue(page, IDC_ATTR_NULLVAL, &e->NullVal);
    ShowValue(page, IDC_ATTR_MINVAL, &e->MinVal);
    ShowValue(page, IDC_ATTR_MAXVAL, &e->MaxVal);
    self->Busy = false;
}

void OnInit(HWND page, CAttrPage* self)
{
    SetWindowLongPtrW(page, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    HWND type = GetDlgItem(page, IDC_ATTR_TYPE);
    for (int k = 0; k < kTypeCount; ++k) {
        wchar_t text[64] = L"";
        LoadStringW(self->hInstance, IDS_T_ATTRTYPE_FIRST + k, text, 64);
        SendMessageW(type, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    HWND list = ListOf(page);
    SendMessageW(list, LVM_SETUNICODEFORMAT, TRUE, 0);
    DWORD ex = LVS_EX_FULLROWSELECT | (self->IsRecords ? LVS_EX_CHECKBOXES : 0);
    ListView_SetExtendedListViewStyleEx(list, ex, ex);
    RECT client;
    GetClientRect(list, &client);
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    column.cx = client.right;
    column.pszText = const_cast<wchar_t*>(L"");
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    SendDlgItemMessageW(page, IDC_ATTR_TAB, CB_LIMITTEXT, 63, 0);
    for (int id : kValueEdits)
        SendDlgItemMessageW(page, id, EM_LIMITTEXT, 15, 0);
}

LRESULT OnNotify(HWND page, CAttrPage* self, NMHDR* hdr)
{
    if (hdr->idFrom != IDC_ATTR_LIST)
        return 0;
    auto* nm = reinterpret_cast<NMLISTVIEW*>(hdr);
    switch (hdr->code) {
    case LVN_ITEMCHANGING:
        // The key flags are not edited here yet: the check boxes keep the stored flags.
        if (!self->Busy && (nm->uChanged & LVIF_STATE) &&
            ((nm->uNewState ^ nm->uOldState) & LVIS_STATEIMAGEMASK))
            return TRUE;
        return FALSE;
    case LVN_ITEMCHANGED:
        if (self->Busy || !(nm->uChanged & LVIF_STATE))
            return 0;
        if ((nm->uNewState & LVIS_FOCUSED) && !(nm->uOldState & LVIS_FOCUSED)) {
            if (const AttrEntry* e = AttrEntryOf(hdr->hwndFrom, nm->iItem))
                ShowAttribute(page, self, e);
        } else if ((nm->uOldState & LVIS_FOCUSED) && !(nm->uNewState & LVIS_FOCUSED)) {
            ResetDetails(page, self);
        }
        return 0;
    case LVN_DELETEALLITEMS:
        ResetDetails(page, self);
        return TRUE;  // no LVN_DELETEITEM per item
    }
    return 0;
}

}  // namespace

AttrEntry* AttrEntryOf(HWND list, int item)
{
    if (item < 0)
        return nullptr;
    LVITEMW lvi = {};
    lvi.mask = LVIF_PARAM;
    lvi.iItem = item;
    if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&lvi)))
        return nullptr;
    return reinterpret_cast<AttrEntry*>(lvi.lParam);
}

CAttrPage::CAttrPage(HINSTANCE instance, HWND tabControl, const wchar_t* tableName, bool isRecords)
    : hInstance(instance), Page(nullptr), SchemaDb(nullptr), IsRecords(isRecords), Busy(false)
{
    StringCchCopyW(TableName, 32, tableName);
    Page = CreateDialogParamW(instance, L"EDITKEYDLG", tabControl, AttrPageProc,
                              reinterpret_cast<LPARAM>(this));
}

CAttrPage::~CAttrPage()
{
    if (Page)
        DestroyWindow(Page);
}

void CAttrPage::Fill(ItemList* attrs, CSchemaDb* schemaDb)
{
    SchemaDb = schemaDb;
    HWND list = ListOf(Page);
    HWND tabs = GetDlgItem(Page, IDC_ATTR_TAB);
    Busy = true;
    for (int i = 0; i < attrs->Count; ++i) {
        AttrEntry* e = AttrAt(attrs, i);
        LVITEMW lvi = {};
        lvi.mask = LVIF_TEXT | LVIF_PARAM;
        lvi.iItem = i;
        lvi.pszText = e->Caption;
        lvi.lParam = reinterpret_cast<LPARAM>(e);
        int item = (int)SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&lvi));
        if (IsRecords && item >= 0)
            ListView_SetItemState(list, item, INDEXTOSTATEIMAGEMASK(e->KeyFlag ? 2 : 1),
                                  LVIS_STATEIMAGEMASK);
        AddTabName(tabs, e->TabName);
    }
    Busy = false;
    // As wide as the longest caption, and never narrower than the list.
    ListView_SetColumnWidth(list, 0, LVSCW_AUTOSIZE);
    RECT client;
    GetClientRect(list, &client);
    if (ListView_GetColumnWidth(list, 0) < client.right)
        ListView_SetColumnWidth(list, 0, client.right);
}

void CAttrPage::Clear()
{
    Busy = true;
    SendDlgItemMessageW(Page, IDC_ATTR_TAB, CB_RESETCONTENT, 0, 0);
    ListView_DeleteAllItems(ListOf(Page));
    Busy = false;
    ResetDetails(Page, this);
    SchemaDb = nullptr;
}

INT_PTR CALLBACK AttrPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    (void)wParam;
    if (msg == WM_INITDIALOG) {
        OnInit(page, reinterpret_cast<CAttrPage*>(lParam));
        return FALSE;
    }
    CAttrPage* self = PageOf(page);
    if (!self)
        return FALSE;
    if (msg == WM_NOTIFY) {
        SetWindowLongPtrW(page, DWLP_MSGRESULT, OnNotify(page, self, reinterpret_cast<NMHDR*>(lParam)));
        return TRUE;
    }
    return FALSE;
}
