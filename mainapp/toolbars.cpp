// The main toolbar with its name combo, the record toolbar and the status bar parts.
#include "mainapp/toolbars.h"

#include <commctrl.h>

#include <algorithm>

#include "shellcontract/zm_protocol.h"

namespace {

const int kMainButtonCount = 20;
const int kRecordButtonCount = 7;
const int kSeparatorWidth = 4;
const int kMapSeparatorCommand = 1;  // lets the separator before 607 be hidden by command
const int kRecordTextsString = 105;

// Icons of the program's resources used by the toolbars.
const int kIconExit = 1;
const int kIconZoomIn = 14, kIconZoomOut = 15, kIconShowAll = 16, kIconPan = 17, kIconAddQuery = 18;

// Commands of the main toolbar's groups.
const int kViewCommands[] = {401, 402, 403, 404};
const int kMapCommands[] = {405, 406, 407, 408, kMapSeparatorCommand, 607};

TBBUTTON Button(int image, int command, BYTE style)
{
    TBBUTTON b = {};
    b.iBitmap = image;
    b.idCommand = command;
    b.fsState = TBSTATE_ENABLED;
    b.fsStyle = style;
    b.iString = -1;
    return b;
}

TBBUTTON Separator(int width, int command)
{
    return Button(width, command, BTNS_SEP);
}

// Adds an icon of the program to an image list; -1 when the icon is missing.
int AddIcon(HIMAGELIST images, HINSTANCE instance, int iconId, int size)
{
    HICON icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(iconId), IMAGE_ICON, size,
                                               size, size ? 0 : LR_DEFAULTSIZE));
    if (!icon)
        return -1;
    int index = ImageList_ReplaceIcon(images, -1, icon);
    DestroyIcon(icon);
    return index;
}

// One image drawn over a background colour into a 32-bit top-down bitmap's pixels.
void DrawImageOver(HIMAGELIST images, int index, HDC dc, DWORD* pixels, int cx, int cy, DWORD background)
{
    for (int i = 0; i < cx * cy; ++i)
        pixels[i] = background;
    GdiFlush();
    ImageList_Draw(images, index, dc, 0, 0, ILD_NORMAL);
    GdiFlush();
}

// The images as a disabled button shows them: gray, light and half transparent. The toolbar's
// own disabled look only takes the colour out, which leaves the dark map tools and the waste bin
// looking as if they could be pressed.
HIMAGELIST MakeDisabledImages(HIMAGELIST images)
{
    int cx = 0, cy = 0;
    if (!images || !ImageList_GetIconSize(images, &cx, &cy) || cx <= 0 || cy <= 0)
        return nullptr;
    const int count = ImageList_GetImageCount(images);
    HIMAGELIST faded = ImageList_Create(cx, cy, ILC_COLOR32, count, 0);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = cx;
    info.bmiHeader.biHeight = -cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC dc = CreateCompatibleDC(nullptr);
    void* onBlackBits = nullptr;
    void* onWhiteBits = nullptr;
    void* outBits = nullptr;
    HBITMAP onBlack = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &onBlackBits, nullptr, 0);
    HBITMAP onWhite = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &onWhiteBits, nullptr, 0);
    HBITMAP out = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &outBits, nullptr, 0);
    if (faded && !(dc && onBlack && onWhite && out)) {
        ImageList_Destroy(faded);
        faded = nullptr;
    }
    for (int i = 0; faded && i < count; ++i) {
        HGDIOBJ old = SelectObject(dc, onBlack);
        DrawImageOver(images, i, dc, (DWORD*)onBlackBits, cx, cy, 0x000000);
        SelectObject(dc, onWhite);
        DrawImageOver(images, i, dc, (DWORD*)onWhiteBits, cx, cy, 0xFFFFFF);
        SelectObject(dc, old);
        const BYTE* b = (const BYTE*)onBlackBits;
        const BYTE* w = (const BYTE*)onWhiteBits;
        DWORD* o = (DWORD*)outBits;
        for (int p = 0; p < cx * cy; ++p, b += 4, w += 4) {
            // Drawn over black and over white, a pixel tells its coverage and its colour.
            const int alpha = 255 - std::min(255, std::max(0, (int)w[1] - (int)b[1]));
            const int lumaOnBlack = (b[2] * 299 + b[1] * 587 + b[0] * 114) / 1000;
            const int luma = alpha ? std::min(255, lumaOnBlack * 255 / alpha) : 0;
            const int gray = 128 + luma / 2;
            const int a = alpha * 3 / 5;
            const DWORD g = (DWORD)(gray * a / 255);
            o[p] = ((DWORD)a << 24) | (g << 16) | (g << 8) | g;
        }
        ImageList_Add(faded, out, nullptr);
    }
    if (onBlack)
        DeleteObject(onBlack);
    if (onWhite)
        DeleteObject(onWhite);
    if (out)
        DeleteObject(out);
    if (dc)
        DeleteDC(dc);
    return faded;
}

void DropDisabledImages(HWND toolbar, HIMAGELIST images)
{
    if (IsWindow(toolbar))
        SendMessageW(toolbar, TB_SETDISABLEDIMAGELIST, 0, 0);
    if (images)
        ImageList_Destroy(images);
}

RECT ItemRect(HWND toolbar, int index)
{
    RECT r = {};
    SendMessageW(toolbar, TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
    return r;
}

// Replaces the separator at index by one of the given width, so that the toolbar leaves that
// much room for the window laid over it.
void ResizePlaceholder(HWND toolbar, int index, int width)
{
    SendMessageW(toolbar, TB_DELETEBUTTON, index, 0);
    TBBUTTON sep = Separator(width, 0);
    SendMessageW(toolbar, TB_INSERTBUTTONW, index, reinterpret_cast<LPARAM>(&sep));
}

SIZE WindowSize(HWND wnd)
{
    RECT r = {};
    GetWindowRect(wnd, &r);
    SIZE s = {r.right - r.left, r.bottom - r.top};
    return s;
}

void SetStates(HWND toolbar, const int* commands, int count, BYTE state)
{
    for (int i = 0; i < count; ++i)
        SendMessageW(toolbar, TB_SETSTATE, commands[i], MAKELONG(state, 0));
}

LRESULT CallPrevious(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    WNDPROC previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!previous)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    return CallWindowProcW(previous, hwnd, msg, wParam, lParam);
}

void Subclass(HWND hwnd, WNDPROC proc)
{
    LONG_PTR previous = SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, previous);
}

// The combo's host button: the combo's notifications arrive here, and every change of the typed
// text filters the current card's name list.
LRESULT CALLBACK ComboHostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_COMMAND && HIWORD(wParam) == CBN_EDITCHANGE) {
        SendMessageW(GetAncestor(hwnd, GA_ROOT), ZM_FILTER_NAMES_BY_COMBO, 0, lParam);
        return 0;
    }
    return CallPrevious(hwnd, msg, wParam, lParam);
}

// The combo's edit field: Enter jumps to the chosen name's tree item. IsDialogMessage asks the
// dialog code for the key press and again for its character; only the key press counts, so one
// Enter jumps once.
LRESULT CALLBACK ComboEditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_GETDLGCODE && wParam == VK_RETURN && lParam
        && reinterpret_cast<const MSG*>(lParam)->message == WM_KEYDOWN) {
        HWND combo = GetParent(hwnd);
        SendMessageW(GetAncestor(hwnd, GA_ROOT), ZM_COMBO_GOTO_ITEM, 0, reinterpret_cast<LPARAM>(combo));
    }
    return CallPrevious(hwnd, msg, wParam, lParam);
}

}  // namespace

void SetStatusBarParts(HWND statusBar)
{
    int edges[2] = {146, -1};
    SendMessageW(statusBar, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(edges));
}

// ---------------------------------------------------------------- main toolbar

MainToolbar::MainToolbar(HWND toolbar, HINSTANCE instance)
    : Toolbar(toolbar), Host(nullptr), Combo(nullptr), PlaceholderIndex(kComboPlaceholder), DisabledImages(nullptr)
{
    SendMessageW(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(toolbar, TB_SETBITMAPSIZE, 0, MAKELONG(16, 16));
    // The standard strip comes first, at index 0; the view strip follows it.
    SendMessageW(toolbar, TB_LOADIMAGES, IDB_STD_SMALL_COLOR, reinterpret_cast<LPARAM>(HINST_COMMCTRL));
    const int stdBase = 0;
    int viewBase = static_cast<int>(SendMessageW(toolbar, TB_LOADIMAGES, IDB_VIEW_SMALL_COLOR,
                                             reinterpret_cast<LPARAM>(HINST_COMMCTRL)));
    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessageW(toolbar, TB_GETIMAGELIST, 0, 0));
    int zoomIn = AddIcon(images, instance, kIconZoomIn, 16);
    int zoomOut = AddIcon(images, instance, kIconZoomOut, 16);
    int pan = AddIcon(images, instance, kIconPan, 16);
    int showAll = AddIcon(images, instance, kIconShowAll, 16);
    int addQuery = AddIcon(images, instance, kIconAddQuery, 16);
    // The exit icon keeps its own size; the image list scales it to its cells.
    int exitImage = -1;
    if (HICON icon = static_cast<HICON>(
            LoadImageW(instance, MAKEINTRESOURCEW(kIconExit), IMAGE_ICON, 0, 0, 0))) {
        exitImage = ImageList_ReplaceIcon(images, -1, icon);
        DestroyIcon(icon);
    }

    DisabledImages = MakeDisabledImages(images);
    SendMessageW(toolbar, TB_SETDISABLEDIMAGELIST, 0, reinterpret_cast<LPARAM>(DisabledImages));

    TBBUTTON buttons[kMainButtonCount] = {
        Button(stdBase + STD_FILEOPEN, 101, BTNS_BUTTON),
        Button(stdBase + STD_FILESAVE, 102, BTNS_BUTTON),
        Button(stdBase + STD_FILENEW, 104, BTNS_BUTTON),
        Separator(kSeparatorWidth, 0),
        Button(viewBase + VIEW_NEWFOLDER, 301, BTNS_BUTTON),
        Button(stdBase + STD_DELETE, 303, BTNS_BUTTON),
        Separator(kSeparatorWidth, 0),
        Button(viewBase + VIEW_LARGEICONS, 401, BTNS_CHECKGROUP),
        Button(viewBase + VIEW_SMALLICONS, 402, BTNS_CHECKGROUP),
        Button(viewBase + VIEW_LIST, 403, BTNS_CHECKGROUP),
        Button(viewBase + VIEW_DETAILS, 404, BTNS_CHECKGROUP),
        Button(zoomIn, 405, BTNS_CHECKGROUP),
        Button(zoomOut, 406, BTNS_CHECKGROUP),
        Button(pan, 407, BTNS_CHECKGROUP),
        Button(showAll, 408, BTNS_BUTTON),
        Separator(kSeparatorWidth, kMapSeparatorCommand),
        Button(addQuery, 607, BTNS_BUTTON),
        Separator(kComboWidth, 0),
        Button(stdBase + STD_HELP, 902, BTNS_BUTTON),
        Button(exitImage, 108, BTNS_BUTTON),
    };
    SendMessageW(toolbar, TB_ADDBUTTONSW, kMainButtonCount, reinterpret_cast<LPARAM>(buttons));

    Host = CreateWindowExW(0, L"Button", L"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 0, 0, kComboWidth, 16,
                           toolbar, nullptr, instance, nullptr);
    Subclass(Host, ComboHostProc);
    Combo = CreateWindowExW(0, L"ComboBox", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWN, 1, 1,
                            kComboWidth - 2, 14, Host, nullptr, instance, nullptr);
    SendMessageW(Combo, WM_SETFONT, SendMessageW(toolbar, WM_GETFONT, 0, 0), FALSE);
    if (HWND edit = GetWindow(Combo, GW_CHILD))
        Subclass(edit, ComboEditProc);
}

MainToolbar::~MainToolbar()
{
    DropDisabledImages(Toolbar, DisabledImages);
}

SIZE MainToolbar::Layout(int group)
{
    SendMessageW(Toolbar, WM_SIZE, 0, 0);
    RECT client = {};
    GetClientRect(Toolbar, &client);
    // The group value counts the buttons hidden between the last visible one and the combo.
    int k = PlaceholderIndex - group;
    int gap = 0;
    if (group > 7) {
        RECT sep = ItemRect(Toolbar, k);  // the separator after 303 stays in front of the combo
        gap = sep.right - sep.left;
    }
    RECT last = ItemRect(Toolbar, k - 1);
    int buttonWidth = last.right - last.left;
    // Room for help and exit after the combo.
    int width = client.right - (last.right + 2 * buttonWidth + gap);
    if (width < 0)
        width = 0;
    ResizePlaceholder(Toolbar, PlaceholderIndex, width);
    int height = last.bottom - last.top;
    SetWindowPos(Host, nullptr, last.right, last.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(Combo, nullptr, 4, 1, width - 8, height + 80, SWP_NOZORDER | SWP_NOACTIVATE);
    return WindowSize(Toolbar);
}

int MainToolbar::Regroup(BOOL enable, LPARAM bits)
{
    for (int command : kViewCommands)
        SendMessageW(Toolbar, TB_HIDEBUTTON, command, MAKELONG(TRUE, 0));
    for (int command : kMapCommands)
        SendMessageW(Toolbar, TB_HIDEBUTTON, command, MAKELONG(TRUE, 0));
    // A grayed group is still shown: it tells what the page would offer with a database.
    BYTE state = enable ? TBSTATE_ENABLED : TBSTATE_INDETERMINATE;
    int group = TBGROUP_OTHER;
    if (bits & TBREGROUP_LIST_VIEW) {
        SetStates(Toolbar, kViewCommands, 4, state);
        group = TBGROUP_TREE_CARDS;
    }
    if (bits & TBREGROUP_MAP) {
        SetStates(Toolbar, kMapCommands, 6, state);
        group = TBGROUP_MAPS;
    }
    Layout(group);
    return group;
}

void MainToolbar::EnableItemButtons(bool enable)
{
    for (int command : {301, 303})
        SendMessageW(Toolbar, TB_ENABLEBUTTON, command, MAKELONG(enable ? TRUE : FALSE, 0));
}

void MainToolbar::CheckViewMode(int command)
{
    SetStates(Toolbar, kViewCommands, 4, TBSTATE_ENABLED);
    SendMessageW(Toolbar, TB_SETSTATE, command, MAKELONG(TBSTATE_ENABLED | TBSTATE_CHECKED, 0));
}

void MainToolbar::CheckMapTool(int command)
{
    SetStates(Toolbar, kMapCommands, 3, TBSTATE_ENABLED);
    SendMessageW(Toolbar, TB_SETSTATE, command, MAKELONG(TBSTATE_ENABLED | TBSTATE_CHECKED, 0));
}

void MainToolbar::ShowCombo(BOOL show)
{
    ShowWindow(Combo, show ? SW_SHOW : SW_HIDE);
}

void MainToolbar::ResetCombo()
{
    SendMessageW(Combo, CB_RESETCONTENT, 0, 0);
}

// ---------------------------------------------------------------- record toolbar

ViewToolbar::ViewToolbar(HWND toolbar, HINSTANCE instance)
    : Toolbar(toolbar), Host(nullptr), Images(nullptr), PlaceholderIndex(kSpacerPlaceholder), DisabledImages(nullptr)
{
    SendMessageW(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(toolbar, TB_SETBITMAPSIZE, 0, MAKELONG(32, 32));
    Images = ImageList_Create(32, 32, ILC_COLOR32 | ILC_MASK, 6, 2);
    // String 105 starts with its separator, so the six texts come in at consecutive indexes.
    int firstText = static_cast<int>(
        SendMessageW(toolbar, TB_ADDSTRINGW, reinterpret_cast<WPARAM>(instance), kRecordTextsString));

    static const int kIcons[6] = {2, 3, 4, 5, 6, 7};
    static const int kCommands[6] = {2001, 2002, 2003, 2004, 2005, 2006};
    TBBUTTON buttons[kRecordButtonCount] = {};
    for (int i = 0, slot = 0; i < 6; ++i, ++slot) {
        if (slot == kSpacerPlaceholder)
            buttons[slot++] = Separator(120, 0);
        buttons[slot] = Button(AddIcon(Images, instance, kIcons[i], 0), kCommands[i], BTNS_BUTTON);
        buttons[slot].iString = firstText + i;
    }
    SendMessageW(toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(Images));
    DisabledImages = MakeDisabledImages(Images);
    SendMessageW(toolbar, TB_SETDISABLEDIMAGELIST, 0, reinterpret_cast<LPARAM>(DisabledImages));
    SendMessageW(toolbar, TB_ADDBUTTONSW, kRecordButtonCount, reinterpret_cast<LPARAM>(buttons));

    Host = CreateWindowExW(0, L"Button", L"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 0, 0, 120, 32, toolbar,
                           nullptr, instance, nullptr);
}

ViewToolbar::~ViewToolbar()
{
    // The toolbar does not own an image list it was given.
    if (IsWindow(Toolbar))
        SendMessageW(Toolbar, TB_SETIMAGELIST, 0, 0);
    DropDisabledImages(Toolbar, DisabledImages);
    if (Images)
        ImageList_Destroy(Images);
}

SIZE ViewToolbar::Layout()
{
    SendMessageW(Toolbar, WM_SIZE, 0, 0);
    RECT client = {};
    GetClientRect(Toolbar, &client);
    int width;
    RECT before = {};
    if (PlaceholderIndex > 0) {
        before = ItemRect(Toolbar, PlaceholderIndex - 1);
        // Export, Print and Help end at the right edge.
        width = client.right - before.right - 3 * (before.right - before.left);
    } else {
        RECT first = ItemRect(Toolbar, 1);
        width = (client.right - client.left) - 3 * (first.right - first.left);
    }
    if (width < 0)
        width = 0;
    ResizePlaceholder(Toolbar, PlaceholderIndex, width);
    SetWindowPos(Host, nullptr, before.right, before.top, width, before.bottom - before.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(Host, SW_SHOW);
    return WindowSize(Toolbar);
}

int ViewToolbar::Update(BOOL listShown, int selectedCount, int tab)
{
    const BYTE on = TBSTATE_ENABLED, off = TBSTATE_INDETERMINATE;
    if (!listShown) {
        static const int kRecordCommands[] = {2001, 2002, 2003, 2004, 2005};
        SetStates(Toolbar, kRecordCommands, 5, off);
        return 0;
    }
    auto set = [this](int command, BYTE state) {
        SendMessageW(Toolbar, TB_SETSTATE, command, MAKELONG(state, 0));
    };
    set(2001, tab < 4 ? on : off);  // no new record from a map
    set(2004, on);
    set(2005, tab == 3 ? off : on);  // the literature list has no printed form
    if (selectedCount <= 0) {
        set(2002, off);
        set(2003, off);
    } else {
        set(2003, on);
        set(2002, selectedCount == 1 ? on : off);
    }
    return tab != 3;
}
