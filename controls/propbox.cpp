// Property grid window: metrics, painting, scrolling, the six in-place editors, keyboard and mouse.
#include "plexa_internal.h"
#include "propbox_internal.h"
#include <algorithm>

namespace propbox {

namespace {

// Theme parts and states used here (vssym32 values).
enum { HP_HEADERITEM_ = 1, HIS_NORMAL_ = 1, HIS_HOT_ = 2, HIS_PRESSED_ = 3 };
enum { CP_DROPDOWNBUTTON_ = 1, CBXS_NORMAL_ = 1, CBXS_HOT_ = 2, CBXS_PRESSED_ = 3 };

HCURSOR g_dividerCursor;  // comctl32's column-divider cursor, shared by every box
int g_editorLosingFocus;  // set while an editor's focus loss ends the edit: the focus is moving already

const int kEditorIds[EDITOR_COUNT] = {1, 2, 3, 4, 5, 6};

LRESULT DefProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return IsWindowUnicode(hwnd) ? DefWindowProcW(hwnd, msg, wParam, lParam)
                                 : DefWindowProcA(hwnd, msg, wParam, lParam);
}

RECT ClientRect(const PropBoxData* d)
{
    RECT rc;
    GetClientRect(d->hwnd, &rc);
    return rc;
}

// Whole rows that fit in the window.
int WholeRows(const PropBoxData* d)
{
    RECT rc = ClientRect(d);
    int n = d->Pitch() > 0 ? (rc.bottom - rc.top) / d->Pitch() : 0;
    return n > 0 ? n : 1;
}

bool RowRect(const PropBoxData* d, int row, RECT* rc)
{
    if (row < 0)
        return false;
    *rc = ClientRect(d);
    rc->top = (row - d->top) * d->Pitch();
    rc->bottom = rc->top + d->Pitch();
    return true;
}

void InvalidateRow(PropBoxData* d, int row)
{
    RECT rc;
    if (RowRect(d, row, &rc)) {
        InflateRect(&rc, 0, 2);
        InvalidateRect(d->hwnd, &rc, TRUE);
    }
}

void Measure(PropBoxData* d, HFONT font)
{
    HDC dc = GetDC(d->hwnd);
    HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    RECT rc = {0, 0, 0, 0};
    // The sample is "X" passed with a count of three; its size sets the row height and the indent.
    DrawTextW(dc, L"X\0\0", 3, &rc, DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(d->hwnd, dc);
    d->textHeight = rc.bottom - rc.top;
    d->indent = rc.right - rc.left;
}

LRESULT SendNotify(PropBoxData* d, UINT code, PropBoxNotify* n)
{
    n->hdr.hwndFrom = d->hwnd;
    n->hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(d->hwnd));
    n->hdr.code = code;
    n->item = d->cur;
    return SendMessageW(GetParent(d->hwnd), WM_NOTIFY, n->hdr.idFrom, reinterpret_cast<LPARAM>(n));
}

void SendButtonClick(PropBoxData* d)
{
    if (d->cur < 0)
        return;
    PropItem* item = d->items[d->cur];
    PropBoxNotify n = {};
    std::wstring wname = item->name;
    std::string aname;
    if (d->Unicode()) {
        n.text = &wname[0];
    } else {
        aname = ToAnsi(item->name);
        n.text = reinterpret_cast<LPWSTR>(&aname[0]);
    }
    d->inNotify = 1;
    SendNotify(d, PBXN_BUTTONCLICK, &n);
    d->inNotify = 0;
}

bool IsEditType(UINT base) { return base == T_TEXT || base == T_INTEGER || base == T_REAL || base == T_FLAGS; }

bool RightAligned(UINT type) { return type == T_INTEGER || type == T_REAL || type == T_BOOL; }

// ---- Painting ----

void PaintRow(PropBoxData* d, HDC dc, const PropItem* item, int depth, int y, int right, HTHEME header,
              HTHEME combo)
{
    const int h = d->textHeight;
    RECT name = {0, y, d->split - 1, y + h + 4};
    if (header) {
        int state = (item->state & RS_SELECTED) ? HIS_PRESSED_ : (item->state & RS_HOT) ? HIS_HOT_ : HIS_NORMAL_;
        g_plexaTheme.DrawThemeBackground(header, dc, HP_HEADERITEM_, state, &name, nullptr);
    } else {
        UINT flags = DFCS_BUTTONPUSH;
        if (item->state & RS_SELECTED)
            flags |= DFCS_PUSHED;
        else if (item->state & RS_HOT)
            flags |= DFCS_HOT;
        else
            flags |= DFCS_FLAT;
        DrawFrameControl(dc, &name, DFC_BUTTON, flags);
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    RECT text = {d->indent * (depth + 1), y + 2, d->split - 3, y + h + 3};
    DrawTextW(dc, item->name.c_str(), static_cast<int>(item->name.size()), &text, DT_NOPREFIX);
    if (!item->children.empty()) {
        RECT sign = {d->indent * depth + 4, y + 2, d->indent * (depth + 1) + 2, y + h + 3};
        DrawTextW(dc, item->expanded ? L"-" : L"+", 1, &sign, DT_NOPREFIX);
    }

    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, GetSysColorBrush(COLOR_WINDOW));
    Rectangle(dc, d->split + 1, y + 1, right, y + h + 4);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    if (item->value.vt > VT_NULL && item->hasDisplay) {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        RECT value = {d->split + 5, y + 3, right - 4, y + h + 3};
        UINT fmt = DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP | (RightAligned(item->type) ? DT_RIGHT : DT_LEFT);
        // Clipped at the cell, not at the text's box: a right-aligned "Ano" keeps the edge of
        // its last letter that reaches past the letter's advance.
        int saved = SaveDC(dc);
        IntersectClipRect(dc, d->split + 1, y + 1, right - 1, y + h + 3);
        DrawTextW(dc, item->display.c_str(), static_cast<int>(item->display.size()), &value, fmt);
        RestoreDC(dc, saved);
    }

    if ((item->type == T_BINARY || item->type == T_OBJECT) && (item->state & RS_EDITING)) {
        RECT button = {right - GetSystemMetrics(SM_CXVSCROLL) - 1, y + 1, right - 1, y + h + 3};
        if (combo) {
            int state = (item->state & RS_PRESSED) ? CBXS_PRESSED_ : (item->state & RS_HOT) ? CBXS_HOT_ : CBXS_NORMAL_;
            g_plexaTheme.DrawThemeBackground(combo, dc, CP_DROPDOWNBUTTON_, state, &button, nullptr);
            // The theme draws an arrow; the ellipsis goes on a plain face.
            int width = button.right - button.left;
            if (width > 6 && h > 3)
                StretchBlt(dc, button.left + 3, button.top + 3, width - 6, h - 3, dc, button.left + 3,
                           button.top + 3, 1, h - 3, SRCCOPY);
        } else {
            UINT flags = DFCS_BUTTONPUSH;
            if (item->state & RS_HOT)
                flags |= DFCS_HOT;
            if (item->state & RS_PRESSED)
                flags |= DFCS_FLAT;
            DrawFrameControl(dc, &button, DFC_BUTTON, flags);
        }
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        DrawTextW(dc, L"\x2026", 1, &button, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
}

void Paint(PropBoxData* d, HDC dc)
{
    RECT client = ClientRect(d);
    HGDIOBJ oldFont = SelectObject(dc, d->font ? d->font : GetStockObject(DEFAULT_GUI_FONT));
    int oldMode = GetBkMode(dc);
    HTHEME header = PlexaOpenTheme(d->hwnd, L"HEADER");
    HTHEME combo = PlexaOpenTheme(d->hwnd, L"COMBOBOX");
    int y = -d->top * d->Pitch();
    for (const Row& row : BuildRows(d)) {
        if (y >= client.bottom)
            break;
        if (y + d->Pitch() > 0)
            PaintRow(d, dc, row.item, row.depth, y, client.right, header, combo);
        y += d->Pitch();
    }
    if (header)
        PlexaCloseTheme(header);
    if (combo)
        PlexaCloseTheme(combo);
    SetBkMode(dc, oldMode);
    SelectObject(dc, oldFont);
}

// ---- Hit testing and selection ----

// The row under y: strictly below its top line and strictly above the next row's top.
int HitRow(const PropBoxData* d, int y, int rowCount)
{
    int pitch = d->Pitch();
    if (pitch <= 0)
        return -1;
    int rel = y + d->top * pitch;
    if (rel < 0)
        return -1;
    int row = rel / pitch;
    if (rel % pitch == 0 || row >= rowCount)
        return -1;
    return row;
}

void Scroll(PropBoxData* d, int code, int thumb);

void EnsureRowVisible(PropBoxData* d, int row)
{
    int whole = WholeRows(d);
    if (row < d->top)
        Scroll(d, SB_THUMBTRACK, row);
    else if (row > d->top + whole - 1)
        Scroll(d, SB_THUMBTRACK, row - whole + 1);
}

void OpenEditor(PropBoxData* d, PropItem* item);

// Makes the item on the given row current, as the arrow keys do.
void MoveToRow(PropBoxData* d, const std::vector<Row>& rows, int row)
{
    if (row < 0 || row >= static_cast<int>(rows.size()))
        return;
    PropItem* next = rows[row].item;
    PropItem* old = d->cur >= 0 ? d->items[d->cur] : nullptr;
    if (next != old) {
        if (old) {
            EndEdit(d, false, false);
            old->state = 0;
            InvalidateItemRow(d, old);
        }
        next->state = RS_SELECTED;
        d->cur = IndexOf(d, next);
        InvalidateItemRow(d, next);
        EnsureRowVisible(d, row);
    }
    if (IsEditType(next->BaseType())) {
        next->state |= RS_EDITING;
        OpenEditor(d, next);
    }
}

int LastWindowRow(const PropBoxData* d, const std::vector<Row>& rows)
{
    int last = d->top + WholeRows(d) - 1;
    if (last < static_cast<int>(rows.size()))
        return last;
    // The rows end inside the window: the last top-level item that has a row.
    for (auto it = d->topLevel.rbegin(); it != d->topLevel.rend(); ++it)
        if ((*it)->visible)
            return RowOf(d, *it);
    return -1;
}

// ---- Scrolling ----

void Scroll(PropBoxData* d, int code, int thumb)
{
    SCROLLINFO si = {sizeof(si), SIF_ALL};
    GetScrollInfo(d->hwnd, SB_VERT, &si);
    int page = static_cast<int>(si.nPage);
    int pos = si.nPos;
    switch (code) {
    case SB_LINEUP: pos -= 1; break;
    case SB_LINEDOWN: pos += 1; break;
    case SB_PAGEUP: pos -= page; break;
    case SB_PAGEDOWN: pos += page; break;
    case SB_TOP: pos = 0; break;
    case SB_BOTTOM: pos = si.nMax; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: pos = thumb; break;
    default: break;
    }
    int maxPos = si.nMax - page + 1;
    if (pos > maxPos)
        pos = maxPos;
    if (pos < 0)
        pos = 0;
    int old = d->top;
    if (pos != old) {
        ScrollWindowEx(d->hwnd, 0, (old - pos) * d->Pitch(), nullptr, nullptr, nullptr, nullptr,
                       SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
        d->top = pos;
    }
    SetScrollPos(d->hwnd, SB_VERT, pos, TRUE);
}

void ToggleExpanded(PropBoxData* d, PropItem* item, int expanded)
{
    if (item->children.empty() || item->expanded == expanded)
        return;
    if (!expanded && d->cur >= 0) {
        // A child editor loses its row when the parent folds up.
        for (PropItem* p = d->items[d->cur]->parent; p; p = p->parent)
            if (p == item) {
                EndEdit(d, true, false);
                break;
            }
    }
    item->expanded = expanded;
    UpdateScrollRange(d, TRUE);
    InvalidateRect(d->hwnd, nullptr, TRUE);
}

void TabWalk(PropBoxData* d, bool previous);

// ---- Editors ----

WNDPROC PreviousProc(HWND hwnd) { return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

LRESULT CALLBACK EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    HWND box = GetParent(hwnd);
    WNDPROC prev = PreviousProc(hwnd);
    switch (msg) {
    case WM_GETDLGCODE:
        return DLGC_WANTALLKEYS;
    case WM_KILLFOCUS:
        if (reinterpret_cast<HWND>(wParam) != box) {
            ++g_editorLosingFocus;
            SendMessageW(box, PBXM_ENDEDIT, 1, 0);
            --g_editorLosingFocus;
        }
        break;
    case WM_KEYDOWN:
        switch (wParam) {
        case VK_TAB:
            if (PropBoxData* d = GetData(box))
                TabWalk(d, GetKeyState(VK_SHIFT) < 0);
            return 0;
        case VK_RETURN:
            SendMessageW(box, PBXM_ENDEDIT, 1, 1);
            return 0;
        case VK_ESCAPE:
            SendMessageW(box, PBXM_ENDEDIT, 0, 1);
            return 0;
        case VK_UP:
        case VK_DOWN:
            SendMessageW(box, PBXM_ENDEDIT, 1, 1);
            SendMessageW(box, PBXM_SELECTNEXT, wParam == VK_UP ? 0x8000 : 0, 0);
            return 0;
        }
        break;
    case WM_CHAR:
        // The keys above have ended the edit; their characters have nothing left to do.
        if (wParam == L'\t' || wParam == L'\r' || wParam == 0x1B)
            return 0;
        break;
    }
    return CallWindowProcW(prev, hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK ListProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_KILLFOCUS) {
        HWND to = reinterpret_cast<HWND>(wParam);
        HWND list = reinterpret_cast<HWND>(GetWindowLongPtrW(hwnd, 0));
        HWND edit = reinterpret_cast<HWND>(GetWindowLongPtrW(hwnd, sizeof(LONG_PTR)));
        if (to != list && to != edit) {
            ++g_editorLosingFocus;
            SendMessageW(GetParent(hwnd), PBXM_ENDEDIT, 1, 0);
            --g_editorLosingFocus;
        }
        return 0;
    }
    return CallWindowProcW(PreviousProc(hwnd), hwnd, msg, wParam, lParam);
}

void CreateEditors(PropBoxData* d)
{
    struct EditorKind {
        LPCWSTR cls;
        DWORD style;
    };
    const EditorKind kinds[EDITOR_COUNT] = {
        {L"EDIT", ES_AUTOHSCROLL},
        {L"EDIT", ES_AUTOHSCROLL | ES_RIGHT},
        {WC_INPLACECOMBOBOXW, WS_VSCROLL | CBS_DROPDOWN},
        {WC_INPLACECOMBOBOXW, WS_VSCROLL | CBS_DROPDOWNLIST},
        {WC_INPLACECOMBOBOXW, WS_VSCROLL | CBS_DROPDOWN | ICBS_NODATA},
        {WC_INPLACECOMBOBOXW, WS_VSCROLL | CBS_DROPDOWNLIST | ICBS_NODATA},
    };
    HINSTANCE inst = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(d->hwnd, GWLP_HINSTANCE));
    for (int i = 0; i < EDITOR_COUNT; ++i) {
        HWND ed = CreateWindowExW(0, kinds[i].cls, L"", WS_CHILD | kinds[i].style, 0, 0, 0, 0, d->hwnd,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditorIds[i])), inst, nullptr);
        d->editors[i] = ed;
        if (!ed)
            continue;
        if (i >= 2)
            SendMessageW(ed, ICBM_SETVISIBLECOUNT, 8, 0);
        LONG_PTR prev = SetWindowLongPtrW(ed, GWLP_WNDPROC,
                                          reinterpret_cast<LONG_PTR>(i < 2 ? EditProc : ListProc));
        SetWindowLongPtrW(ed, GWLP_USERDATA, prev);
    }
}

bool IsEditor(const PropBoxData* d, HWND hwnd)
{
    if (!hwnd)
        return false;
    for (HWND ed : d->editors)
        if (ed && ed == hwnd)
            return true;
    return false;
}

// An editor or one of its own windows (the list editors' edit field).
bool IsInEditor(const PropBoxData* d, HWND hwnd)
{
    if (!hwnd)
        return false;
    for (HWND ed : d->editors)
        if (ed && (ed == hwnd || IsChild(ed, hwnd)))
            return true;
    return false;
}

int EditorSlot(const PropItem* item)
{
    UINT type = item->type;
    bool onDemand = (type & T_ONDEMAND) != 0;
    switch (item->BaseType()) {
    case T_TEXT:
    case T_FLAGS: return 0;
    case T_INTEGER:
    case T_REAL: return 1;
    case T_LIST: return onDemand ? 5 : 3;
    case T_COMBO: return onDemand ? 4 : 2;
    case T_BOOL: return 2;
    default: return -1;
    }
}

std::wstring WindowText(HWND hwnd)
{
    int n = GetWindowTextLengthW(hwnd);
    std::wstring text(n > 0 ? n + 1 : 1, L'\0');
    GetWindowTextW(hwnd, &text[0], static_cast<int>(text.size()));
    text.resize(wcslen(text.c_str()));
    return text;
}

void OpenEditor(PropBoxData* d, PropItem* item)
{
    int row = RowOf(d, item);
    RECT rc;
    int slot = EditorSlot(item);
    if (!RowRect(d, row, &rc) || slot < 0 || !d->editors[slot]) {
        InvalidateItemRow(d, item);
        return;
    }
    HWND ed = d->editors[slot];
    std::wstring text = item->hasDisplay ? item->display : std::wstring();
    if (!item->wide)
        text = ToWide(ToAnsi(text).c_str());  // the editor sees what an ANSI owner gave
    d->openText = text;
    if (slot < 2) {
        // Sized before the text goes in, so that the edit does not scroll the text out of a zero width.
        SetWindowPos(ed, HWND_TOP, d->split + 4, rc.top + 2, rc.right - d->split - 6, rc.bottom - rc.top - 2, 0);
        // The editors serve every item: each opening sets its own item's limit.
        SendMessageW(ed, EM_LIMITTEXT, static_cast<WPARAM>(item->limit), 0);
        SetWindowTextW(ed, text.c_str());
        SendMessageW(ed, EM_SETMODIFY, FALSE, 0);
        SendMessageW(ed, EM_SETSEL, 0, -1);
        ShowWindow(ed, SW_SHOW);
    } else {
        bool onDemand = slot >= 4;
        bool editable = slot == 2 || slot == 4;
        SendMessageW(ed, CB_RESETCONTENT, 0, 0);
        int sel = -1;
        if (onDemand) {
            PropBoxNotify n = {};
            n.data = 0;
            SendNotify(d, PBXN_GETLISTCOUNT, &n);
            SendMessageW(ed, ICBM_SETCOUNT, static_cast<WPARAM>(n.data), 0);
            sel = ListPosition(item);
            if (sel < 0 && item->hasDisplay && !item->display.empty())
                sel = static_cast<int>(SendMessageW(ed, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                    reinterpret_cast<LPARAM>(text.c_str())));
        } else {
            if (item->hasList)
                for (const std::wstring& entry : item->list)
                    SendMessageW(ed, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
            sel = ListPosition(item);
        }
        if (editable) {
            SendMessageW(ed, CB_LIMITTEXT, static_cast<WPARAM>(item->limit), 0);
            SendMessageW(ed, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        }
        SendMessageW(ed, CB_SETCURSEL, static_cast<WPARAM>(sel < 0 ? -1 : sel), 0);
        if (!editable) {
            bool hasSel = false;
            d->openText = EditorText(d, item, &hasSel);
        }
        SetWindowPos(ed, HWND_TOP, d->split + 1, rc.top + 1, rc.right - d->split - 2, rc.bottom - rc.top - 1,
                     SWP_SHOWWINDOW);
    }
    SetFocus(ed);
    InvalidateItemRow(d, item);
}

void ForwardEditorNotify(PropBoxData* d, NMHDR* hdr, LRESULT* result)
{
    *result = 0;
    if (d->cur < 0)
        return;
    // The sender's record may be shorter than ComboItemRequest (NM_KEYDOWN sends an NMKEY), so the
    // item index is written into a full-size copy, never past the sender's record.
    size_t size = sizeof(NMHDR);
    UINT code = hdr->code;
    if (code == ICBN_GETTEXTLENGTH || code == ICBN_GETTEXT || code == ICBN_GETITEMDATA || code == ICBN_FINDSTRING)
        size = sizeof(ComboItemRequest);
    else if (code == static_cast<UINT>(NM_KEYDOWN))
        size = sizeof(NMKEY);
    ComboItemRequest copy = {};
    memcpy(&copy, hdr, size);
    copy.hdr.hwndFrom = d->hwnd;
    copy.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(d->hwnd));
    copy.reserved = d->cur;
    *result = SendMessageW(GetParent(d->hwnd), WM_NOTIFY, copy.hdr.idFrom, reinterpret_cast<LPARAM>(&copy));
    if (size == sizeof(ComboItemRequest)) {
        ComboItemRequest* original = reinterpret_cast<ComboItemRequest*>(hdr);
        original->mask = copy.mask;
        original->item = copy.item;
        original->count = copy.count;
        original->data = copy.data;
    }
}

LRESULT OnListCommand(PropBoxData* d, WPARAM wParam, HWND list)
{
    switch (HIWORD(wParam)) {
    case CBN_SELCHANGE: {
        PropBoxNotify n = {};
        n.listPos = static_cast<int>(SendMessageW(list, CB_GETCURSEL, 0, 0));
        return SendNotify(d, PBXN_SELCHANGE, &n);
    }
    case CBN_EDITCHANGE: {
        std::wstring text = WindowText(list);
        PropBoxNotify n = {};
        n.listPos = static_cast<int>(
            SendMessageW(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str())));
        if (n.listPos < 0)
            n.listPos = -1;
        return SendNotify(d, PBXN_EDITCHANGE, &n);
    }
    case CBN_SELENDOK:
        EndEdit(d, true, true);
        break;
    case CBN_SELENDCANCEL:
        EndEdit(d, false, true);
        break;
    }
    return 0;
}

// ---- Keyboard ----

// Makes the row current with its editor open, whatever its kind (a list, a yes/no row or a
// button row too), as Tab reaches it.
void TabToRow(PropBoxData* d, const std::vector<Row>& rows, int row)
{
    MoveToRow(d, rows, row);
    PropItem* item = rows[row].item;
    if (!(item->state & RS_EDITING)) {
        item->state |= RS_EDITING;
        OpenEditor(d, item);
    }
}

// Tab and Shift+Tab, in the box or in any of its editors: what was typed is kept, the next
// (previous) row is opened, and past the last (first) row the focus goes to the next (previous)
// control of the dialog, when the box is a tab stop.
void TabWalk(PropBoxData* d, bool previous)
{
    std::vector<Row> rows = BuildRows(d);
    int row = d->cur >= 0 ? RowOf(d, d->items[d->cur]) : -1;
    int next = row < 0 ? (previous ? static_cast<int>(rows.size()) - 1 : 0) : (previous ? row - 1 : row + 1);
    EndEdit(d, true, true);
    if (next >= 0 && next < static_cast<int>(rows.size())) {
        TabToRow(d, rows, next);
        return;
    }
    if (GetWindowLongPtrW(d->hwnd, GWL_STYLE) & WS_TABSTOP) {
        HWND control = GetNextDlgTabItem(GetParent(d->hwnd), d->hwnd, previous);
        if (control)
            SetFocus(control);
    }
}

// A character typed on a row whose editor is closed opens the editor and goes to it, so that
// typing on a list row picks from its list. A blank only opens the editor of a list row.
void OnChar(PropBoxData* d, WPARAM ch, LPARAM lParam)
{
    PropItem* cur = d->cur >= 0 ? d->items[d->cur] : nullptr;
    if (!cur || (cur->state & RS_EDITING) || ch < L' ' || !EditorFor(d, cur))
        return;
    cur->state |= RS_EDITING;
    OpenEditor(d, cur);
    if (ch == L' ' && EditorSlot(cur) >= 2)
        return;
    HWND target = GetFocus();  // the editor, or the edit field of a list editor
    if (!IsInEditor(d, target))
        return;
    if (d->Unicode())
        SendMessageW(target, WM_CHAR, ch, lParam);
    else
        SendMessageA(target, WM_CHAR, ch, lParam);
}

void OnKeyDown(PropBoxData* d, WPARAM key, LPARAM lParam)
{
    bool ctrl = GetKeyState(VK_CONTROL) < 0;
    PropItem* cur = d->cur >= 0 ? d->items[d->cur] : nullptr;
    switch (key) {
    case VK_TAB:
        TabWalk(d, GetKeyState(VK_SHIFT) < 0);
        break;
    case VK_RETURN:
        if (!cur)
            break;
        if (!(cur->state & RS_EDITING)) {
            cur->state |= RS_EDITING;
            OpenEditor(d, cur);
        } else if (cur->type == T_BINARY || cur->type == T_OBJECT) {
            cur->state |= RS_PRESSED;
        } else {
            OpenEditor(d, cur);  // the editor is open already: give it the keyboard again
        }
        InvalidateItemRow(d, cur);
        break;
    case VK_ESCAPE:
        if (!cur || !(cur->state & RS_EDITING)) {
            SendMessageW(GetParent(d->hwnd), WM_KEYDOWN, key, lParam);
        } else {
            EndEdit(d, false, false);
            cur->state = RS_SELECTED;
            InvalidateItemRow(d, cur);
        }
        break;
    case VK_UP:
    case VK_DOWN: {
        bool up = key == VK_UP;
        if (!ctrl) {
            SelectNext(d, up, false);
            break;
        }
        Scroll(d, up ? SB_LINEUP : SB_LINEDOWN, 0);
        if (!cur)
            break;
        std::vector<Row> rows = BuildRows(d);
        int row = RowOf(d, cur);
        if (up && row > d->top + WholeRows(d) - 1)
            MoveToRow(d, rows, LastWindowRow(d, rows));
        else if (!up && row >= 0 && row < d->top)
            MoveToRow(d, rows, d->top);
        break;
    }
    case VK_PRIOR:
    case VK_NEXT:
        if (ctrl) {
            if (!cur)
                break;
            std::vector<Row> rows = BuildRows(d);
            MoveToRow(d, rows, key == VK_PRIOR ? d->top : LastWindowRow(d, rows));
        } else {
            SelectNext(d, key == VK_PRIOR, false);
        }
        break;
    case VK_LEFT:
        if (cur && cur->expanded)
            ToggleExpanded(d, cur, 0);
        break;
    case VK_RIGHT:
        if (cur && !cur->expanded)
            ToggleExpanded(d, cur, 1);
        break;
    }
}

// ---- Mouse ----

void LoseHot(PropBoxData* d)
{
    if (d->hot < 0 || d->hot >= static_cast<int>(d->items.size())) {
        d->hot = -1;
        return;
    }
    PropItem* item = d->items[d->hot];
    if (item->state < RS_SELECTED)
        item->state = 0;
    else if (item->state & RS_EDITING)
        item->state &= ~RS_HOT;
    InvalidateItemRow(d, item);
    d->hot = -1;
}

void OnMouseMove(PropBoxData* d, int x, int y)
{
    RECT client = ClientRect(d);
    if (d->dragging) {
        int split = std::max(6, std::min(x, static_cast<int>(client.right) - 6));
        int from = std::min(split, d->split) - 4;
        d->split = split;
        RECT rc = client;
        rc.left = from;
        InvalidateRect(d->hwnd, &rc, TRUE);
        return;
    }
    if (!d->tracking) {
        TRACKMOUSEEVENT tme = {sizeof(tme), TME_LEAVE, d->hwnd, 0};
        d->tracking = TrackMouseEvent(&tme) ? 1 : 0;
    }
    std::vector<Row> rows = BuildRows(d);
    int rowsBottom = (static_cast<int>(rows.size()) - d->top) * d->Pitch();
    if (x >= d->split - 1 && x <= d->split + 1 && y < rowsBottom) {
        d->cursorMode = 2;
        LoseHot(d);
        return;
    }
    d->cursorMode = 0;
    int row = HitRow(d, y, static_cast<int>(rows.size()));
    PropItem* item = row >= 0 ? rows[row].item : nullptr;
    if (item && item->type != T_LIST && item->type != T_BINARY && item->type != T_OBJECT && x > d->split + 2)
        d->cursorMode = 1;
    int hit = item ? IndexOf(d, item) : -1;
    if (hit == d->hot)
        return;
    LoseHot(d);
    if (item) {
        if (item->state < RS_SELECTED)
            item->state = RS_HOT;
        else if (item->state & RS_EDITING)
            item->state |= RS_HOT;
        d->hot = hit;
        InvalidateItemRow(d, item);
    }
}

void OnLButtonDown(PropBoxData* d, int x, int y)
{
    SetFocus(d->hwnd);
    if (d->cursorMode == 2 && !d->dragging) {
        EndEdit(d, true, true);
        d->dragging = 1;
        SetCapture(d->hwnd);
        return;
    }
    std::vector<Row> rows = BuildRows(d);
    int row = HitRow(d, y, static_cast<int>(rows.size()));
    PropItem* item = row >= 0 ? rows[row].item : nullptr;
    int hit = item ? IndexOf(d, item) : -1;
    bool valueSide = x > d->split + 2;
    if (hit != d->cur)
        EndEdit(d, true, true);
    if (item) {
        if (hit != d->cur) {
            if (item->state <= 3)
                item->state = valueSide ? (RS_SELECTED | RS_EDITING | RS_HOT) : RS_SELECTED;
        } else if (valueSide) {
            item->state |= (item->state & RS_EDITING) ? RS_PRESSED : RS_EDITING;
        }
        InvalidateItemRow(d, item);
    }
    if (hit != d->cur) {
        if (d->cur >= 0) {
            d->items[d->cur]->state = 0;
            InvalidateItemRow(d, d->items[d->cur]);
        }
        d->cur = hit;
    }
    if (item && valueSide)
        OpenEditor(d, item);
}

void OnLButtonUp(PropBoxData* d)
{
    if (d->dragging) {
        d->dragging = 0;
        ReleaseCapture();
        return;
    }
    if (d->cur >= 0 && (d->items[d->cur]->state & RS_PRESSED)) {
        PropItem* item = d->items[d->cur];
        item->state = RS_SELECTED | RS_EDITING;
        InvalidateItemRow(d, item);
        SendButtonClick(d);
    }
}

void OnSize(PropBoxData* d, int width)
{
    if (d->split == -1)
        d->split = width / 2;
    UpdateScrollRange(d, TRUE);
    InvalidateRect(d->hwnd, nullptr, TRUE);
}

}  // namespace

// ---- Shared with the item model ----

void UpdateScrollRange(PropBoxData* d, BOOL redraw)
{
    if (!d->hwnd)
        return;
    RECT rc = ClientRect(d);
    int pitch = d->Pitch() > 0 ? d->Pitch() : 1;
    int height = rc.bottom - rc.top;
    SCROLLINFO si = {sizeof(si), SIF_RANGE | SIF_PAGE};
    si.nMin = 0;
    si.nMax = static_cast<int>(BuildRows(d).size());
    si.nPage = static_cast<UINT>((height + pitch - 1) / pitch);
    int pos = SetScrollInfo(d->hwnd, SB_VERT, &si, redraw);
    if (pos != d->top) {
        d->top = pos;
        InvalidateRect(d->hwnd, nullptr, TRUE);
    }
}

void InvalidateItemRow(PropBoxData* d, PropItem* item)
{
    if (d->hwnd)
        InvalidateRow(d, RowOf(d, item));
}

void InvalidateItemRows(PropBoxData* d, PropItem* item)
{
    if (!d->hwnd)
        return;
    int row = RowOf(d, item);
    if (row < 0)
        return;
    InvalidateRow(d, row);
    if (item->expanded)
        for (size_t i = 1; i <= item->children.size(); ++i)
            InvalidateRow(d, row + static_cast<int>(i));
}

HWND EditorFor(const PropBoxData* d, const PropItem* item)
{
    int slot = EditorSlot(item);
    return slot >= 0 ? d->editors[slot] : nullptr;
}

std::wstring EditorText(PropBoxData* d, const PropItem* item, bool* hasSelection)
{
    *hasSelection = true;
    int slot = EditorSlot(item);
    if (slot < 0 || !d->editors[slot])
        return std::wstring();
    HWND ed = d->editors[slot];
    if (slot == 3 || slot == 5) {
        int sel = static_cast<int>(SendMessageW(ed, CB_GETCURSEL, 0, 0));
        if (sel < 0) {
            *hasSelection = false;
            return std::wstring();
        }
        int len = static_cast<int>(SendMessageW(ed, CB_GETLBTEXTLEN, sel, 0));
        if (len <= 0)
            return std::wstring();
        std::wstring text(len + 1, L'\0');
        SendMessageW(ed, CB_GETLBTEXT, sel, reinterpret_cast<LPARAM>(&text[0]));
        text.resize(wcslen(text.c_str()));
        return text;
    }
    return WindowText(ed);
}

bool EditorChanged(PropBoxData* d, const PropItem* item)
{
    int slot = EditorSlot(item);
    if (slot < 0 || !d->editors[slot])
        return false;
    if (slot < 2)
        return SendMessageW(d->editors[slot], EM_GETMODIFY, 0, 0) != 0;
    bool hasSelection = true;
    return EditorText(d, item, &hasSelection) != d->openText;
}

void EndEdit(PropBoxData* d, bool commit, bool focus)
{
    if (d->ending)
        return;
    d->ending = 1;
    PropItem* cur = d->cur >= 0 && d->cur < static_cast<int>(d->items.size()) ? d->items[d->cur] : nullptr;
    if (commit && cur && cur->type != T_BINARY && cur->type != T_OBJECT) {
        HWND ed = EditorFor(d, cur);
        // Only a change the user made is stored: the editor shows the value rounded for display.
        if (ed && IsWindowVisible(ed) && EditorChanged(d, cur)) {
            VARIANT v;
            VariantInit(&v);
            ReadItemValue(d, cur, &v);
            SetItemValue(d, cur, &v);
            VariantClear(&v);
        }
    }
    // A hidden editor must not keep the keyboard: its later focus loss would end the next edit.
    if (!g_editorLosingFocus && IsInEditor(d, GetFocus()))
        SetFocus(d->hwnd);
    for (int i = 0; i < EDITOR_COUNT; ++i) {
        HWND ed = d->editors[i];
        if (!ed || !IsWindowVisible(ed))
            continue;
        // The dropped list is a desktop window; it must not stay behind the hidden editor.
        if (i >= 2 && SendMessageW(ed, CB_GETDROPPEDSTATE, 0, 0))
            SendMessageW(ed, CB_SHOWDROPDOWN, FALSE, 0);
        ShowWindow(ed, SW_HIDE);
    }
    if (cur && cur->state > 3) {
        cur->state = RS_SELECTED;
        InvalidateItemRow(d, cur);
    }
    d->ending = 0;
    if (focus)
        SetFocus(d->hwnd);
}

void SelectItem(PropBoxData* d, int index, bool open)
{
    PropItem* item = d->items[index];
    if (index == d->cur) {
        if (open) {
            item->state |= RS_EDITING;
            OpenEditor(d, item);
        }
        return;
    }
    if (d->cur >= 0) {
        EndEdit(d, false, false);
        d->items[d->cur]->state = 0;
        InvalidateItemRow(d, d->items[d->cur]);
    }
    item->state = open ? (RS_SELECTED | RS_EDITING) : RS_SELECTED;
    d->cur = index;
    int row = RowOf(d, item);
    if (row >= 0)
        EnsureRowVisible(d, row);
    InvalidateItemRow(d, item);
    if (open)
        OpenEditor(d, item);
}

void SelectNext(PropBoxData* d, bool previous, bool wrap)
{
    if (d->cur < 0)
        return;
    std::vector<Row> rows = BuildRows(d);
    int row = RowOf(d, d->items[d->cur]);
    if (row < 0 || rows.empty())
        return;
    int next = previous ? row - 1 : row + 1;
    if (next < 0)
        next = wrap ? static_cast<int>(rows.size()) - 1 : row;
    else if (next >= static_cast<int>(rows.size()))
        next = wrap ? 0 : row;
    if (next != row)
        MoveToRow(d, rows, next);
}

}  // namespace propbox

using namespace propbox;

LRESULT CALLBACK PropertyBoxWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    PropBoxData* d = GetData(hwnd);
    if (!d) {
        if (msg == WM_CREATE) {
            d = new PropBoxData;
            d->hwnd = hwnd;
            d->items.reserve(64);
            d->topLevel.reserve(64);
            SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(d));
            // A dialog sizes its controls before it sets their font: start from the GUI font's metrics.
            Measure(d, nullptr);
            if (!g_dividerCursor) {
                HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
                g_dividerCursor = LoadCursorW(comctl, MAKEINTRESOURCEW(106));
                if (!g_dividerCursor)
                    g_dividerCursor = LoadCursorW(nullptr, IDC_SIZEWE);
            }
            CreateEditors(d);
            SCROLLINFO si = {sizeof(si), SIF_RANGE | SIF_PAGE | SIF_POS};
            SetScrollInfo(hwnd, SB_VERT, &si, FALSE);
            return 0;
        }
        return DefProc(hwnd, msg, wParam, lParam);
    }

    switch (msg) {
    case WM_DESTROY:
        SetWindowLongPtrW(hwnd, 0, 0);
        FreeAllItems(d);
        delete d;
        return 0;
    case WM_SIZE:
        OnSize(d, LOWORD(lParam));
        return 0;
    case WM_SETFONT:
        d->font = reinterpret_cast<HFONT>(wParam);
        Measure(d, d->font);
        for (HWND ed : d->editors)
            if (ed)
                SendMessageW(ed, WM_SETFONT, wParam, lParam);
        UpdateScrollRange(d, FALSE);  // the page counts rows of the new pitch
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(d->font);
    case WM_PAINT:
        PlexaOnPaint(hwnd, wParam, [&](HDC dc) { Paint(d, dc); });
        return 0;
    case WM_SETFOCUS:
        if (!d->ending && GetKeyState(VK_TAB) < 0 && !IsInEditor(d, reinterpret_cast<HWND>(wParam))) {
            // Entered by Tab: the walk through the rows starts at the first (Shift: the last).
            std::vector<Row> rows = BuildRows(d);
            if (!rows.empty()) {
                TabToRow(d, rows, GetKeyState(VK_SHIFT) < 0 ? static_cast<int>(rows.size()) - 1 : 0);
                return 0;
            }
        }
        if (d->cur < 0 && !d->ending) {
            std::vector<Row> rows = BuildRows(d);
            MoveToRow(d, rows, std::min(d->top, static_cast<int>(rows.size()) - 1));
        }
        return 0;
    case WM_KILLFOCUS:
        if (!d->inNotify && !IsInEditor(d, reinterpret_cast<HWND>(wParam)))
            EndEdit(d, true, false);
        return 0;
    case WM_GETDLGCODE: {
        // Escape with nothing being edited belongs to the dialog (it cancels); every other key is ours.
        const MSG* m = reinterpret_cast<const MSG*>(lParam);
        if (m && m->message == WM_KEYDOWN && m->wParam == VK_ESCAPE &&
            (d->cur < 0 || !(d->items[d->cur]->state & RS_EDITING)))
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
        return DLGC_WANTALLKEYS;
    }
    case WM_KEYDOWN:
        OnKeyDown(d, wParam, lParam);
        return 0;
    case WM_CHAR:
        OnChar(d, wParam, lParam);
        return 0;
    case WM_KEYUP:
        if (wParam == VK_RETURN && d->cur >= 0 && (d->items[d->cur]->state & RS_PRESSED)) {
            propbox::PropItem* item = d->items[d->cur];
            item->state &= ~RS_PRESSED;
            InvalidateItemRow(d, item);
            SendButtonClick(d);
        }
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(d, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        return 0;
    case WM_MOUSELEAVE:
        d->tracking = 0;
        LoseHot(d);
        return 0;
    case WM_NCMOUSEMOVE:
        d->cursorMode = 0;
        break;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == hwnd && LOWORD(lParam) == HTCLIENT) {
            HCURSOR cursor = d->cursorMode == 2   ? g_dividerCursor
                             : d->cursorMode == 1 ? LoadCursorW(nullptr, IDC_IBEAM)
                                                  : LoadCursorW(nullptr, IDC_ARROW);
            SetCursor(cursor);
            return TRUE;
        }
        if (reinterpret_cast<HWND>(wParam) == hwnd)
            break;
        return 0;
    case WM_LBUTTONDOWN:
        OnLButtonDown(d, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp(d);
        return 0;
    case WM_LBUTTONDBLCLK:
        if (d->cur >= 0) {
            propbox::PropItem* item = d->items[d->cur];
            if (item->visible && !item->children.empty())
                ToggleExpanded(d, item, !item->expanded);
        }
        return 0;
    case WM_CAPTURECHANGED:
        d->dragging = 0;
        return 0;
    case WM_VSCROLL:
        Scroll(d, LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_COMMAND:
        if (lParam && IsEditor(d, reinterpret_cast<HWND>(lParam)) && LOWORD(wParam) >= 3)
            return OnListCommand(d, wParam, reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_NOTIFY: {
        NMHDR* hdr = reinterpret_cast<NMHDR*>(lParam);
        if (hdr && IsEditor(d, hdr->hwndFrom)) {
            LRESULT result = 0;
            ForwardEditorNotify(d, hdr, &result);
            // Tab in a list editor goes on through the rows, as in a text editor.
            if (hdr->code == static_cast<UINT>(NM_KEYDOWN) && reinterpret_cast<NMKEY*>(hdr)->nVKey == VK_TAB)
                TabWalk(d, GetKeyState(VK_SHIFT) < 0);
            return result;
        }
        return 0;
    }
    default:
        break;
    }
    if (msg >= WM_USER + 1 && msg <= PBXM_SETITEMLIMIT) {
        bool handled = false;
        LRESULT r = HandleItemMessage(d, msg, wParam, lParam, &handled);
        if (handled)
            return r;
    }
    return DefProc(hwnd, msg, wParam, lParam);
}
