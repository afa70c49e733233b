#include "utilities/levelpage.h"

#include "core/blob.h"
#include "resources/tarnix/resource.h"
#include "utilities/structmodel.h"
#include "utilities/tarnix_protocol.h"

namespace {

// The icon slots: their statics and the size of each picture.
struct IconSlot {
    int staticId;
    int size;
    VARIANT LevelEntry::*icon;
};
const IconSlot kSlots[3] = {
    {IDC_LEVEL_LARGEICON, 32, &LevelEntry::IconLarge},
    {IDC_LEVEL_SMALLICON, 16, &LevelEntry::IconSmall},
    {IDC_LEVEL_OPENICON, 16, &LevelEntry::IconOpen},
};

const int kEditButtons[] = {IDC_LEVEL_NEW,       IDC_LEVEL_RENAME,    IDC_LEVEL_DELETE,
                            IDC_LEVEL_LARGELOAD, IDC_LEVEL_LARGESAVE, IDC_LEVEL_LARGECLEAR,
                            IDC_LEVEL_SMALLLOAD, IDC_LEVEL_SMALLSAVE, IDC_LEVEL_SMALLCLEAR,
                            IDC_LEVEL_OPENLOAD,  IDC_LEVEL_OPENSAVE,  IDC_LEVEL_OPENCLEAR};

CLevelPage* PageOf(HWND page)
{
    return reinterpret_cast<CLevelPage*>(GetWindowLongPtrW(page, GWLP_USERDATA));
}

HWND TreeOf(HWND page)
{
    return GetDlgItem(page, IDC_LEVEL_TREE);
}

// State image of a check box: 1 unchecked, 2 checked.
UINT CheckState(bool checked)
{
    return INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
}

void SetItemCheck(HWND tree, HTREEITEM item, bool checked)
{
    TVITEMW tvi = {};
    tvi.mask = TVIF_STATE;
    tvi.hItem = item;
    tvi.stateMask = TVIS_STATEIMAGEMASK;
    tvi.state = CheckState(checked);
    SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tvi));
}

// Puts a bitmap into an icon static and deletes the one it replaces.
void SetSlotBitmap(HWND page, int staticId, HBITMAP bitmap)
{
    HBITMAP old = reinterpret_cast<HBITMAP>(SendDlgItemMessageW(
        page, staticId, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    if (old && old != bitmap)
        DeleteObject(old);
}

// The three icons of an entry, each fitted into its square; none for a null entry.
void ShowIcons(HWND page, const LevelEntry* entry)
{
    for (const IconSlot& slot : kSlots) {
        HBITMAP bitmap = nullptr;
        if (entry && IsBlob(&(entry->*slot.icon))) {
            int w = slot.size, h = slot.size;
            bitmap = BlobToBitmap(&(entry->*slot.icon), &w, &h, nullptr, FALSE, FALSE, 0);
        }
        SetSlotBitmap(page, slot.staticId, bitmap);
    }
}

void OnInit(HWND page, CLevelPage* self)
{
    SetWindowLongPtrW(page, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    HWND tree = TreeOf(page);
    SendMessageW(tree, TVM_SETUNICODEFORMAT, TRUE, 0);
    SetWindowLongW(tree, GWL_STYLE, GetWindowLongW(tree, GWL_STYLE) | TVS_CHECKBOXES);
    // Each picture static gets a client area of exactly its icon's size.
    for (const IconSlot& slot : kSlots) {
        HWND s = GetDlgItem(page, slot.staticId);
        RECT r = {0, 0, slot.size, slot.size};
        AdjustWindowRectEx(&r, GetWindowLongW(s, GWL_STYLE), FALSE, GetWindowLongW(s, GWL_EXSTYLE));
        SetWindowPos(s, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

LRESULT OnNotify(HWND page, CLevelPage* self, NMHDR* hdr)
{
    if (hdr->idFrom != IDC_LEVEL_TREE)
        return 0;
    switch (hdr->code) {
    case TVN_SELCHANGEDW:
        if (!self->Busy) {
            auto* nm = reinterpret_cast<NMTREEVIEWW*>(hdr);
            ShowIcons(page, nm->itemNew.hItem ? reinterpret_cast<LevelEntry*>(nm->itemNew.lParam)
                                              : nullptr);
        }
        return 0;
    case NM_CLICK: {
        // A click on a check box toggles it after this notification: look once it has.
        TVHITTESTINFO hit = {};
        DWORD pos = GetMessagePos();
        hit.pt = {(short)LOWORD(pos), (short)HIWORD(pos)};
        ScreenToClient(hdr->hwndFrom, &hit.pt);
        HTREEITEM item = TreeView_HitTest(hdr->hwndFrom, &hit);
        if (item && (hit.flags & TVHT_ONITEMSTATEICON))
            PostMessageW(page, ZM_LEVEL_CHECK_CLICKED, reinterpret_cast<WPARAM>(hdr->hwndFrom),
                         reinterpret_cast<LPARAM>(item));
        return 0;
    }
    case TVN_KEYDOWN:
        if (reinterpret_cast<NMTVKEYDOWN*>(hdr)->wVKey == VK_SPACE) {
            HTREEITEM item = TreeView_GetSelection(hdr->hwndFrom);
            if (item)
                PostMessageW(page, ZM_LEVEL_CHECK_CLICKED, reinterpret_cast<WPARAM>(hdr->hwndFrom),
                             reinterpret_cast<LPARAM>(item));
        }
        return 0;
    }
    return 0;
}

// A toggled check box: the flags are not edited here yet, so the box shows the entry's flag.
void OnCheckClicked(HWND tree, HTREEITEM item)
{
    LevelEntry* entry = LevelEntryOf(tree, item);
    if (entry)
        SetItemCheck(tree, item, entry->DataLevel != 0);
}

}  // namespace

LevelEntry* LevelEntryOf(HWND tree, HTREEITEM item)
{
    if (!item)
        return nullptr;
    TVITEMW tvi = {};
    tvi.mask = TVIF_PARAM;
    tvi.hItem = item;
    if (!SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tvi)))
        return nullptr;
    return reinterpret_cast<LevelEntry*>(tvi.lParam);
}

CLevelPage::CLevelPage(HINSTANCE instance, HWND tabControl)
    : hInstance(instance), Page(nullptr), Busy(0), DragImages(nullptr), Dragging(0), DropPos(-1),
      Dragged(nullptr)
{
    Page = CreateDialogParamW(instance, L"EDITSYSDLG", tabControl, LevelPageProc,
                              reinterpret_cast<LPARAM>(this));
}

CLevelPage::~CLevelPage()
{
    if (Page) {
        ShowIcons(Page, nullptr);  // the statics' bitmaps are the page's
        DestroyWindow(Page);
    }
}

void CLevelPage::Fill(ItemList* levels)
{
    HWND tree = TreeOf(Page);
    for (int i = 0; i < levels->Count; ++i) {
        LevelEntry* e = LevelAt(levels, i);
        TVINSERTSTRUCTW ins = {};
        ins.hParent = TVI_ROOT;
        ins.hInsertAfter = TVI_LAST;
        ins.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_STATE;
        ins.item.pszText = e->Name;
        ins.item.lParam = reinterpret_cast<LPARAM>(e);
        ins.item.stateMask = TVIS_STATEIMAGEMASK;
        ins.item.state = CheckState(e->DataLevel != 0);
        HTREEITEM item = reinterpret_cast<HTREEITEM>(
            SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
        // The state given at insertion is not always kept before the tree is shown.
        if (item)
            SetItemCheck(tree, item, e->DataLevel != 0);
    }
}

void CLevelPage::Clear()
{
    Busy = 1;
    TreeView_DeleteAllItems(TreeOf(Page));
    Busy = 0;
    ShowIcons(Page, nullptr);
    for (int id : kEditButtons)
        EnableWindow(GetDlgItem(Page, id), FALSE);
}

INT_PTR CALLBACK LevelPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        OnInit(page, reinterpret_cast<CLevelPage*>(lParam));
        return FALSE;
    }
    CLevelPage* self = PageOf(page);
    if (!self)
        return FALSE;
    switch (msg) {
    case WM_NOTIFY:
        SetWindowLongPtrW(page, DWLP_MSGRESULT, OnNotify(page, self, reinterpret_cast<NMHDR*>(lParam)));
        return TRUE;
    case ZM_LEVEL_CHECK_CLICKED:
        OnCheckClicked(reinterpret_cast<HWND>(wParam), reinterpret_cast<HTREEITEM>(lParam));
        return TRUE;
    }
    return FALSE;
}
