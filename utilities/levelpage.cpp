#include "utilities/levelpage.h"

#include <strsafe.h>
#include <windowsx.h>

#include <string>

#include "common/filechooser.h"
#include "core/blob.h"
#include "core/msgbox.h"
#include "core/msgboxtext.h"
#include "czechcollation/czechtext.h"
#include "resources/imagefile_ids.h"
#include "resources/tarnix/resource.h"
#include "utilities/levelicons.h"
#include "utilities/namedlg.h"
#include "utilities/pageentries.h"
#include "structure/structmodel.h"
#include "utilities/tarnix_protocol.h"

namespace {

// The icon slots: their statics, buttons and the size of each picture.
struct IconSlot {
    int staticId;
    int loadId, saveId, clearId;
    int size;
    VARIANT LevelEntry::*icon;
};
const IconSlot kSlots[3] = {
    {IDC_LEVEL_LARGEICON, IDC_LEVEL_LARGELOAD, IDC_LEVEL_LARGESAVE, IDC_LEVEL_LARGECLEAR, 32, &LevelEntry::IconLarge},
    {IDC_LEVEL_SMALLICON, IDC_LEVEL_SMALLLOAD, IDC_LEVEL_SMALLSAVE, IDC_LEVEL_SMALLCLEAR, 16, &LevelEntry::IconSmall},
    {IDC_LEVEL_OPENICON, IDC_LEVEL_OPENLOAD, IDC_LEVEL_OPENSAVE, IDC_LEVEL_OPENCLEAR, 16, &LevelEntry::IconOpen},
};

// The buttons that act on the selected level.
const int kItemButtons[] = {IDC_LEVEL_RENAME,    IDC_LEVEL_DELETE,    IDC_LEVEL_LARGELOAD, IDC_LEVEL_LARGESAVE,
                            IDC_LEVEL_LARGECLEAR, IDC_LEVEL_SMALLLOAD, IDC_LEVEL_SMALLSAVE, IDC_LEVEL_SMALLCLEAR,
                            IDC_LEVEL_OPENLOAD,  IDC_LEVEL_OPENSAVE,  IDC_LEVEL_OPENCLEAR};

const int kIconPathLength = 512;

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

bool ItemChecked(HWND tree, HTREEITEM item)
{
    return ((UINT)SendMessageW(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_STATEIMAGEMASK) >> 12) == 2;
}

std::vector<HTREEITEM> RootItems(HWND tree)
{
    std::vector<HTREEITEM> items;
    for (HTREEITEM i = TreeView_GetRoot(tree); i; i = TreeView_GetNextSibling(tree, i))
        items.push_back(i);
    return items;
}

// Puts a bitmap into an icon static and deletes the one it replaces.
void SetSlotBitmap(HWND page, int staticId, HBITMAP bitmap)
{
    HBITMAP old = reinterpret_cast<HBITMAP>(SendDlgItemMessageW(
        page, staticId, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    if (old && old != bitmap)
        DeleteObject(old);
}

void ShowIcon(HWND page, const IconSlot& slot, const LevelEntry* entry)
{
    HBITMAP bitmap = nullptr;
    if (entry && IsBlob(&(entry->*slot.icon))) {
        int w = slot.size, h = slot.size;
        bitmap = BlobToBitmap(&(entry->*slot.icon), &w, &h, nullptr, FALSE, FALSE, 0);
    }
    SetSlotBitmap(page, slot.staticId, bitmap);
}

// The three icons of an entry, each fitted into its square; none for a null entry.
void ShowIcons(HWND page, const LevelEntry* entry)
{
    for (const IconSlot& slot : kSlots)
        ShowIcon(page, slot, entry);
}

LevelEntry* SelectedEntry(HWND page)
{
    HWND tree = TreeOf(page);
    return LevelEntryOf(tree, TreeView_GetSelection(tree));
}

HTREEITEM InsertLevel(HWND tree, LevelEntry* e)
{
    TVINSERTSTRUCTW ins = {};
    ins.hParent = TVI_ROOT;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_STATE;
    ins.item.pszText = e->Name;
    ins.item.lParam = reinterpret_cast<LPARAM>(e);
    ins.item.stateMask = TVIS_STATEIMAGEMASK;
    ins.item.state = CheckState(e->DataLevel != 0);
    HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
    // The state given at insertion is not always kept before the tree is shown.
    if (item)
        SetItemCheck(tree, item, e->DataLevel != 0);
    return item;
}

void SetItemText(HWND tree, HTREEITEM item, wchar_t* text)
{
    TVITEMW tvi = {};
    tvi.mask = TVIF_TEXT;
    tvi.hItem = item;
    tvi.pszText = text;
    SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tvi));
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
        SetWindowPos(s, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void OnSelectionChanged(HWND page, const LevelEntry* entry)
{
    for (int id : kItemButtons)
        EnableWindow(GetDlgItem(page, id), entry != nullptr);
    ShowIcons(page, entry);
}

// ---- commands ----

void OnNew(HWND page, CLevelPage* self)
{
    wchar_t name[kNameBufferLength] = L"";
    LoadStringW(self->hInstance, IDS_T_NEW_LEVEL, name, kNameBufferLength);
    if (!AskName(self->hInstance, page, name))
        return;
    HWND tree = TreeOf(page);
    std::vector<HTREEITEM> items = RootItems(tree);
    const LevelEntry* lastEntry = items.empty() ? nullptr : LevelEntryOf(tree, items.back());
    LevelEntry* e = NewLevelEntry();
    e->State = ENTRY_NEW;
    e->OrigLevelId = e->NewLevelId = lastEntry ? lastEntry->NewLevelId + 1 : 1;
    StringCchCopyW(e->Name, kNameBufferLength, name);
    HTREEITEM item = InsertLevel(tree, e);
    if (!item) {
        FreeLevelEntry(e);
        return;
    }
    TreeView_SelectItem(tree, item);
    PageChanged(page);
}

void OnRename(HWND page, CLevelPage* self)
{
    HWND tree = TreeOf(page);
    HTREEITEM item = TreeView_GetSelection(tree);
    LevelEntry* e = LevelEntryOf(tree, item);
    if (!e)
        return;
    wchar_t name[kNameBufferLength];
    StringCchCopyW(name, kNameBufferLength, e->Name);
    if (!AskRename(self->hInstance, page, name))
        return;
    StringCchCopyW(e->Name, kNameBufferLength, name);
    SetItemText(tree, item, e->Name);
    MarkEntryChanged(&e->State);
    PageChanged(page);
}

// A level that tree items use is not deleted. A level made since the last save is simply
// forgotten; any other is marked for the save.
void OnDelete(HWND page, CLevelPage* self)
{
    HWND tree = TreeOf(page);
    HTREEITEM item = TreeView_GetSelection(tree);
    LevelEntry* e = LevelEntryOf(tree, item);
    if (!e)
        return;
    if (e->UseCount > 0) {
        wchar_t format[256] = L"", caption[64] = L"", text[512];
        LoadStringW(self->hInstance, IDS_T_LEVEL_IN_USE, format, 256);
        LoadStringW(self->hInstance, IDS_T_ERROR_CAPTION, caption, 64);
        StringCchPrintfW(text, 512, format, e->Name);
        ZorMessageBox(page, text, caption, MB_ICONERROR);
        return;
    }
    TreeView_DeleteItem(tree, item);
    ForgetOrMarkDeleted(self->Levels, e, FreeLevelEntry);
    OnSelectionChanged(page, SelectedEntry(page));
    PageChanged(page);
}

// A check box toggled by a click or the space bar: looked at once the box has toggled.
void OnCheckClicked(HWND page, HWND tree, HTREEITEM item)
{
    LevelEntry* e = LevelEntryOf(tree, item);
    if (!e)
        return;
    bool checked = ItemChecked(tree, item);
    if (checked == (e->DataLevel != 0))
        return;
    e->DataLevel = checked ? 1 : 0;
    MarkEntryChanged(&e->State);
    PageChanged(page);
}

// The filter of the icon files: the string's U+0001 separators become the NULs of the list.
std::wstring IconFilter(HINSTANCE instance)
{
    wchar_t filter[256] = L"";
    int n = LoadStringW(instance, IDS_T_ICON_FILTER, filter, 254);
    std::wstring text(filter, (size_t)n);
    for (wchar_t& c : text)
        if (c == 1)
            c = 0;
    text.push_back(0);
    return text;
}

void OnLoadIcon(HWND page, CLevelPage* self, const IconSlot& slot)
{
    LevelEntry* e = SelectedEntry(page);
    if (!e)
        return;
    std::wstring filter = IconFilter(self->hInstance);
    wchar_t path[kIconPathLength] = L"";
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = page;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = path;
    ofn.nMaxFile = kIconPathLength;
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_EXPLORER | OFN_ENABLESIZING | OFN_NONETWORKBUTTON;
    if (!ChooseFileToOpen(&ofn))
        return;
    if (!LoadIconFile(path, slot.size, &(e->*slot.icon)))
        return;  // unreadable or no picture: the icon stays
    ShowIcon(page, slot, e);
    MarkEntryChanged(&e->State);
    PageChanged(page);
}

void OnSaveIcon(HWND page, CLevelPage* self, const IconSlot& slot)
{
    LevelEntry* e = SelectedEntry(page);
    if (!e || !IsBlob(&(e->*slot.icon)))
        return;
    std::wstring filter = IconFilter(self->hInstance);
    wchar_t path[kIconPathLength] = L"";
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = page;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = path;
    ofn.nMaxFile = kIconPathLength;
    ofn.lpstrDefExt = IconFileExtension(&(e->*slot.icon));
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_EXPLORER | OFN_ENABLESIZING | OFN_NONETWORKBUTTON;
    if (!ChooseFileToSave(&ofn))
        return;
    // One that cannot be written whole is said, and the old file stays.
    if (DWORD error = SaveIconFile(&(e->*slot.icon), path))
        ZorMessageBoxResText(page, self->hInstance, IDS_IMAGE_NOT_SAVED, IDS_T_ERROR_CAPTION, MB_ICONWARNING,
                             {path, SystemErrorText(error).c_str()});
}

void OnClearIcon(HWND page, const IconSlot& slot)
{
    LevelEntry* e = SelectedEntry(page);
    if (!e)
        return;
    SetSlotBitmap(page, slot.staticId, nullptr);
    VariantClear(&(e->*slot.icon));
    MarkEntryChanged(&e->State);
    PageChanged(page);
}

void OnCommand(HWND page, CLevelPage* self, int id)
{
    switch (id) {
    case IDC_LEVEL_NEW:
        OnNew(page, self);
        return;
    case IDC_LEVEL_RENAME:
        OnRename(page, self);
        return;
    case IDC_LEVEL_DELETE:
        OnDelete(page, self);
        return;
    }
    for (const IconSlot& slot : kSlots) {
        if (id == slot.loadId)
            OnLoadIcon(page, self, slot);
        else if (id == slot.saveId)
            OnSaveIcon(page, self, slot);
        else if (id == slot.clearId)
            OnClearIcon(page, slot);
    }
}

// The name may be used when it is not empty and no other level has it, Czech letters compared
// without regard to case; a rename does not compare the level with itself.
bool NameAvailable(HWND page, int mode, const wchar_t* name)
{
    if (!name || !*name)
        return false;
    HWND tree = TreeOf(page);
    HTREEITEM selected = TreeView_GetSelection(tree);
    for (HTREEITEM item : RootItems(tree)) {
        if (mode == NAME_RENAME && item == selected)
            continue;
        const LevelEntry* e = LevelEntryOf(tree, item);
        if (e && CzechEqualNoCase(e->Name, name))
            return false;
    }
    return true;
}

// ---- dragging ----

// The root item under a point of the page's client area (x taken at the tree's items), and
// whether the point lies in its lower half.
HTREEITEM HitLevel(HWND page, POINT pagePoint, bool* lowerHalf)
{
    HWND tree = TreeOf(page);
    POINT p = pagePoint;
    MapWindowPoints(page, tree, &p, 1);
    TVHITTESTINFO hit = {};
    hit.pt = {16, p.y};
    HTREEITEM item = TreeView_HitTest(tree, &hit);
    if (!item)
        return nullptr;
    RECT text;
    TreeView_GetItemRect(tree, item, &text, TRUE);
    *lowerHalf = p.y >= text.top + (text.bottom - text.top) / 2;
    return item;
}

int IndexOf(const std::vector<HTREEITEM>& items, HTREEITEM item)
{
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i] == item)
            return (int)i;
    return -1;
}

void OnBeginDrag(HWND page, CLevelPage* self, NMTREEVIEWW* nm)
{
    LevelEntry* e = reinterpret_cast<LevelEntry*>(nm->itemNew.lParam);
    if (!e || e->UseCount > 0)
        return;  // a level with items in the database keeps its place
    HWND tree = nm->hdr.hwndFrom;
    self->Dragged = e;
    self->Dragging = 1;
    self->DropPos = -1;
    self->DragImages = TreeView_CreateDragImage(tree, nm->itemNew.hItem);
    if (self->DragImages) {
        RECT text;
        TreeView_GetItemRect(tree, nm->itemNew.hItem, &text, TRUE);
        ImageList_BeginDrag(self->DragImages, 0, nm->ptDrag.x - text.left + 16, nm->ptDrag.y - text.top);
        ImageList_DragEnter(tree, nm->ptDrag.x, nm->ptDrag.y);
    }
    SetCapture(page);
}

// Takes the insert mark away. Wine's tree refuses the null item that does it and keeps drawing
// the mark; it forgets the mark with the item that has it, so a child of a collapsed level, made
// and deleted while the tree does not draw, takes the mark away with it.
void ClearInsertMark(HWND tree)
{
    if (TreeView_SetInsertMark(tree, nullptr, FALSE))
        return;
    HTREEITEM level = TreeView_GetRoot(tree);
    if (!level)
        return;  // no item, no mark
    SendMessageW(tree, WM_SETREDRAW, FALSE, 0);
    TVINSERTSTRUCTW insert = {};
    insert.hParent = level;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_PARAM;
    HTREEITEM holder = TreeView_InsertItem(tree, &insert);
    if (holder) {
        TreeView_SetInsertMark(tree, holder, FALSE);
        TreeView_DeleteItem(tree, holder);
    }
    SendMessageW(tree, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(tree, nullptr, TRUE);
}

void OnDragMove(HWND page, CLevelPage* self, POINT pagePoint)
{
    HWND tree = TreeOf(page);
    POINT p = pagePoint;
    MapWindowPoints(page, tree, &p, 1);
    if (self->DragImages)
        ImageList_DragMove(p.x, p.y);
    bool after = false;
    HTREEITEM hit = HitLevel(page, pagePoint, &after);
    std::vector<HTREEITEM> items = RootItems(tree);
    int dragged = -1;
    for (size_t i = 0; i < items.size(); ++i)
        if (LevelEntryOf(tree, items[i]) == self->Dragged)
            dragged = (int)i;
    int place = hit && dragged >= 0 ? DropPlace((int)items.size(), dragged, IndexOf(items, hit), after) : -1;
    if (place < 0) {
        if (self->DropPos >= 0) {
            if (self->DragImages)
                ImageList_DragShowNolock(FALSE);
            ClearInsertMark(tree);
            UpdateWindow(tree);
            if (self->DragImages)
                ImageList_DragShowNolock(TRUE);
        }
        self->DropPos = -1;
        SetCursor(LoadCursorW(nullptr, IDC_NO));
        return;
    }
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    if (place == self->DropPos)
        return;
    self->DropPos = place;
    if (self->DragImages)
        ImageList_DragShowNolock(FALSE);
    TreeView_SetInsertMark(tree, hit, after);
    RECT r;
    TreeView_GetItemRect(tree, hit, &r, FALSE);
    InflateRect(&r, 12, 32);
    RedrawWindow(tree, &r, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    if (self->DragImages)
        ImageList_DragShowNolock(TRUE);
}

int CALLBACK ByNewLevelId(LPARAM a, LPARAM b, LPARAM)
{
    return reinterpret_cast<LevelEntry*>(a)->NewLevelId - reinterpret_cast<LevelEntry*>(b)->NewLevelId;
}

// Ends a drag: dropped, the dragged level takes its place; cancelled, the order stays. Either
// way the mark, the drag image and the capture go.
void EndDrag(HWND page, CLevelPage* self, bool drop)
{
    HWND tree = TreeOf(page);
    if (drop && self->DropPos >= 0) {
        std::vector<LevelEntry*> order;
        int dragged = -1;
        for (HTREEITEM item : RootItems(tree)) {
            if (LevelEntryOf(tree, item) == self->Dragged)
                dragged = (int)order.size();
            order.push_back(LevelEntryOf(tree, item));
        }
        if (dragged >= 0) {
            order = ReorderLevels(order, dragged, self->DropPos);
            for (size_t i = 0; i < order.size(); ++i)
                order[i]->NewLevelId = (int)i + 1;
            TVSORTCB sort = {TVI_ROOT, ByNewLevelId, 0};
            SendMessageW(tree, TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&sort));
            PageChanged(page);
        }
    }
    // Not dragging any more before the capture goes: its release comes back as WM_CAPTURECHANGED.
    self->Dragging = 0;
    self->DropPos = -1;
    self->Dragged = nullptr;
    if (GetCapture() == page)
        ReleaseCapture();
    if (self->DragImages) {
        ImageList_DragLeave(tree);
        ImageList_EndDrag();
        ImageList_Destroy(self->DragImages);
        self->DragImages = nullptr;
    }
    ClearInsertMark(tree);
    InvalidateRect(tree, nullptr, TRUE);
}

LRESULT OnNotify(HWND page, CLevelPage* self, NMHDR* hdr)
{
    if (hdr->idFrom != IDC_LEVEL_TREE)
        return 0;
    switch (hdr->code) {
    case TVN_SELCHANGEDW:
        if (!self->Busy) {
            auto* nm = reinterpret_cast<NMTREEVIEWW*>(hdr);
            OnSelectionChanged(page, nm->itemNew.hItem ? reinterpret_cast<LevelEntry*>(nm->itemNew.lParam) : nullptr);
        }
        return 0;
    case TVN_BEGINDRAGW:
        OnBeginDrag(page, self, reinterpret_cast<NMTREEVIEWW*>(hdr));
        return 0;
    case NM_CLICK: {
        // A click on a check box toggles it after this notification: look once it has.
        TVHITTESTINFO hit = {};
        DWORD pos = GetMessagePos();
        hit.pt = {(short)LOWORD(pos), (short)HIWORD(pos)};
        ScreenToClient(hdr->hwndFrom, &hit.pt);
        HTREEITEM item = TreeView_HitTest(hdr->hwndFrom, &hit);
        if (item && (hit.flags & TVHT_ONITEMSTATEICON))
            PostMessageW(page, ZM_LEVEL_CHECK_CLICKED, reinterpret_cast<WPARAM>(hdr->hwndFrom), reinterpret_cast<LPARAM>(item));
        return 0;
    }
    case TVN_KEYDOWN:
        // The space bar toggles the selected level's box the same way.
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

int DropPlace(int count, int dragged, int hit, bool after)
{
    if (dragged < 0 || dragged >= count || hit < 0 || hit >= count || hit == dragged)
        return -1;
    if ((after && hit + 1 == dragged) || (!after && hit - 1 == dragged))
        return -1;  // just beside itself: nothing would move
    int target = after ? hit + 1 : hit;  // the index it is put before, in the order as it stands
    if (target > dragged)
        --target;
    return target + 1;
}

std::vector<LevelEntry*> ReorderLevels(std::vector<LevelEntry*> order, int dragged, int place)
{
    LevelEntry* moved = order[(size_t)dragged];
    order.erase(order.begin() + dragged);
    order.insert(order.begin() + (place - 1), moved);
    return order;
}

CLevelPage::CLevelPage(HINSTANCE instance, HWND tabControl)
    : hInstance(instance), Page(nullptr), Busy(0), DragImages(nullptr), Dragging(0), DropPos(-1),
      Dragged(nullptr), Levels(nullptr)
{
    Page = CreateDialogParamW(instance, L"EDITSYSDLG", tabControl, LevelPageProc, reinterpret_cast<LPARAM>(this));
}

CLevelPage::~CLevelPage()
{
    if (Page) {
        Clear();  // frees the levels made on the page and the statics' bitmaps
        DestroyWindow(Page);
    }
}

void CLevelPage::Fill(ItemList* levels)
{
    Levels = levels;
    HWND tree = TreeOf(Page);
    for (int i = 0; i < levels->Count; ++i)
        InsertLevel(tree, LevelAt(levels, i));
    EnableWindow(GetDlgItem(Page, IDC_LEVEL_NEW), TRUE);
}

void CLevelPage::Clear()
{
    HWND tree = TreeOf(Page);
    std::vector<LevelEntry*> own;
    for (HTREEITEM item : RootItems(tree)) {
        LevelEntry* e = LevelEntryOf(tree, item);
        if (e && OwnedByPage(Levels, e))
            own.push_back(e);
    }
    Busy = 1;
    TreeView_DeleteAllItems(tree);
    Busy = 0;
    for (LevelEntry* e : own)
        FreeLevelEntry(e);
    ShowIcons(Page, nullptr);
    for (int id : kItemButtons)
        EnableWindow(GetDlgItem(Page, id), FALSE);
    EnableWindow(GetDlgItem(Page, IDC_LEVEL_NEW), FALSE);
    Levels = nullptr;
}

void CLevelPage::Collect(ItemList* levels)
{
    std::vector<LevelEntry*> detached = DetachTrailingNew<LevelEntry>(levels);
    HWND tree = TreeOf(Page);
    int place = 0;
    for (HTREEITEM item : RootItems(tree)) {
        LevelEntry* e = LevelEntryOf(tree, item);
        if (!e)
            continue;
        e->NewLevelId = ++place;
        // A box toggled in a way no notification told is still recorded.
        bool checked = ItemChecked(tree, item);
        if (checked != (e->DataLevel != 0)) {
            e->DataLevel = checked ? 1 : 0;
            MarkEntryChanged(&e->State);
        }
        if (e->State == ENTRY_NEW)
            ItemListAdd(e, levels);
    }
    FreeOwnedEntries(levels, detached, FreeLevelEntry);
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
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED)
            OnCommand(page, self, LOWORD(wParam));
        return TRUE;
    case WM_MOUSEMOVE:
        if (self->Dragging)
            OnDragMove(page, self, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return TRUE;
    case WM_LBUTTONUP:
        if (self->Dragging)
            EndDrag(page, self, true);
        return TRUE;
    case WM_CAPTURECHANGED:
        // The mouse taken away (another window, a switch of programs): the drag is cancelled.
        if (self->Dragging)
            EndDrag(page, self, false);
        return TRUE;
    case ZM_CHECK_NAME:
        SetWindowLongPtrW(page, DWLP_MSGRESULT, NameAvailable(page, (int)wParam, reinterpret_cast<const wchar_t*>(lParam)));
        return TRUE;
    case ZM_LEVEL_CHECK_CLICKED:
        OnCheckClicked(page, reinterpret_cast<HWND>(wParam), reinterpret_cast<HTREEITEM>(lParam));
        return TRUE;
    }
    return FALSE;
}
