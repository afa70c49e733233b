// The print form's report view (see printform_view.h): the window, its drawing and scrolling.
// Only the lines from the top line down to the window's bottom are read from the text and
// drawn; the scroll bars count lines vertically and pixels horizontally.
#include "reports/printform_view.h"

#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "reports/paginator.h"
#include "reports/printform_text.h"
#include "reports/printform_viewstate.h"

namespace reportview {

const int kLongestCounted = 100000;  // characters that count for the width estimate
const DWORD kQuietRefreshMs = 250;    // new lines out of view are taken in this often

ViewState* StateOf(HWND view)
{
    return view ? reinterpret_cast<ViewState*>(GetWindowLongPtrW(view, 0)) : nullptr;
}

int Height(const ViewState* s, bool title) { return title ? s->TitleHeight : s->BodyHeight; }
HFONT FontOf(const ViewState* s, bool title) { return title ? s->Title : s->Body; }

SIZE ClientSize(const ViewState* s)
{
    RECT r = {};
    GetClientRect(s->Window, &r);
    return SIZE{r.right, r.bottom};
}

int ClientHeight(const ViewState* s) { return (int)ClientSize(s).cy; }
int ClientWidth(const ViewState* s) { return (int)ClientSize(s).cx; }

// As many lines as can show at once, from first on.
void ScreenLines(const ViewState* s, int first, std::vector<ShownLine>* lines)
{
    lines->clear();
    if (!s->Text || first >= s->Known)
        return;
    int most = ClientHeight(s) / std::max(1, std::min(s->BodyHeight, s->TitleHeight)) + 2;
    s->Text->Get(first, std::min(most, s->Known - first), lines);
}

// Lines that fit whole into the window, counted in body lines.
int PageLines(const ViewState* s)
{
    return std::max(1, ClientHeight(s) / std::max(1, s->BodyHeight));
}

ShownLine LineAt(const ViewState* s, int line)
{
    std::vector<ShownLine> one;
    if (s->Text && line >= 0 && line < s->Known)
        s->Text->Get(line, 1, &one);
    return one.empty() ? ShownLine() : one[0];
}

int LineLength(const ViewState* s, int line) { return (int)LineAt(s, line).Text.size(); }

// The lowest top line: the one from which the last line shows at the bottom.
int MaxTop(const ViewState* s)
{
    if (!s->Text || s->Known == 0)
        return 0;
    int height = ClientHeight(s);
    int most = height / std::max(1, std::min(s->BodyHeight, s->TitleHeight)) + 2;
    int first = std::max(0, s->Known - most);
    std::vector<ShownLine> lines;
    s->Text->Get(first, s->Known - first, &lines);
    int y = 0;
    for (int k = (int)lines.size() - 1; k >= 0; k--) {
        y += Height(s, lines[(size_t)k].Title);
        if (y > height)
            return first + k + 1;
    }
    return first;
}

// The widest line as its characters make it likely, until the line is drawn and measured.
void EstimateWidth(ViewState* s)
{
    if (s->Text)
        s->Width = std::max(s->Width, (int)std::min<size_t>(s->Text->Longest(), kLongestCounted) * s->AveChar);
}

int MaxLeft(const ViewState* s) { return std::max(0, s->Width + 2 * kMargin - ClientWidth(s)); }

// Sets a scroll bar unless it shows these values already. It is drawn with the next painting
// of the window's frame, not at once: drawing one is not cheap here, and one change of the view
// often changes both.
void SetBar(ViewState* s, int bar, int max, int page, int pos)
{
    int (&shown)[3] = s->Bars[bar == SB_VERT ? 0 : 1];
    if (shown[0] == max && shown[1] == page && shown[2] == pos)
        return;
    shown[0] = max;
    shown[1] = page;
    shown[2] = pos;
    SCROLLINFO si = {};
    si.cbSize = sizeof(si);
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
    si.nMax = max;
    si.nPage = (UINT)page;
    si.nPos = pos;
    SetScrollInfo(s->Window, bar, &si, FALSE);
    RedrawWindow(s->Window, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_NOCHILDREN);
}

void UpdateScrollBars(ViewState* s)
{
    int maxTop = MaxTop(s);
    s->Top = std::max(0, std::min(s->Top, maxTop));
    s->Left = std::max(0, std::min(s->Left, MaxLeft(s)));
    SetBar(s, SB_VERT, std::max(0, s->Known - 1), std::max(1, s->Known - maxTop), s->Top);
    SetBar(s, SB_HORZ, std::max(0, s->Width + 2 * kMargin - 1), std::max(1, ClientWidth(s)), s->Left);
}

// Pixels from a line's start to the character col, in the line's font.
int ExtentTo(const ViewState* s, const ShownLine& line, int col)
{
    if (col <= 0)
        return 0;
    std::wstring drawn = ReportDrawnText(line.Text);
    HDC dc = GetDC(s->Window);
    HGDIOBJ old = SelectObject(dc, FontOf(s, line.Title));
    SIZE size = {};
    GetTextExtentPoint32W(dc, drawn.c_str(), std::min(col, (int)drawn.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(s->Window, dc);
    return size.cx;
}

void Redraw(ViewState* s)
{
    InvalidateRect(s->Window, nullptr, FALSE);
    PlaceCaret(s);
}

void ScrollTo(ViewState* s, int top, int left)
{
    top = std::max(0, std::min(top, MaxTop(s)));
    left = std::max(0, std::min(left, MaxLeft(s)));
    if (top == s->Top && left == s->Left)
        return;
    s->Top = top;
    s->Left = left;
    UpdateScrollBars(s);
    Redraw(s);
}

void OnVScroll(ViewState* s, int code)
{
    int top = s->Top;
    switch (code) {
    case SB_LINEUP: top--; break;
    case SB_LINEDOWN: top++; break;
    case SB_PAGEUP: top -= PageLines(s); break;
    case SB_PAGEDOWN: top += PageLines(s); break;
    case SB_TOP: top = 0; break;
    case SB_BOTTOM: top = INT_MAX; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        // The 32-bit position: the message carries 16 bits only.
        SCROLLINFO si = {sizeof(si), SIF_TRACKPOS};
        GetScrollInfo(s->Window, SB_VERT, &si);
        top = si.nTrackPos;
        break;
    }
    default: return;
    }
    ScrollTo(s, top, s->Left);
}

void OnHScroll(ViewState* s, int code)
{
    int left = s->Left, page = std::max(1, (int)ClientWidth(s) - 2 * kMargin);
    switch (code) {
    case SB_LINELEFT: left -= 3 * s->AveChar; break;
    case SB_LINERIGHT: left += 3 * s->AveChar; break;
    case SB_PAGELEFT: left -= page; break;
    case SB_PAGERIGHT: left += page; break;
    case SB_LEFT: left = 0; break;
    case SB_RIGHT: left = INT_MAX; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        SCROLLINFO si = {sizeof(si), SIF_TRACKPOS};
        GetScrollInfo(s->Window, SB_HORZ, &si);
        left = si.nTrackPos;
        break;
    }
    default: return;
    }
    ScrollTo(s, s->Top, left);
}

void OnWheel(ViewState* s, int delta)
{
    UINT step = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &step, 0);
    delta += s->WheelRest;
    int notches = delta / WHEEL_DELTA;
    s->WheelRest = delta % WHEEL_DELTA;
    int lines = step == WHEEL_PAGESCROLL ? PageLines(s) : (int)step;
    ScrollTo(s, s->Top - notches * lines, s->Left);
}

void DrawLine(HDC dc, ViewState* s, int index, const ShownLine& line, int y, int right)
{
    std::wstring drawn = ReportDrawnText(line.Text);
    int n = (int)drawn.size();
    int x = kMargin - s->Left, h = Height(s, line.Title);
    HGDIOBJ old = SelectObject(dc, FontOf(s, line.Title));
    SIZE size = {};
    GetTextExtentPoint32W(dc, drawn.c_str(), n, &size);
    s->Width = std::max(s->Width, (int)size.cx);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    ExtTextOutW(dc, x, y, 0, nullptr, drawn.c_str(), (UINT)n, nullptr);

    TextPos a = std::min(s->Anchor, s->Caret), b = std::max(s->Anchor, s->Caret);
    if (!(a == b) && index >= a.Line && index <= b.Line) {
        int from = index == a.Line ? std::min(a.Col, n) : 0;
        int to = index == b.Line ? std::min(b.Col, n) : n;
        SIZE start = {}, end = {};
        GetTextExtentPoint32W(dc, drawn.c_str(), from, &start);
        GetTextExtentPoint32W(dc, drawn.c_str(), to, &end);
        // A selection that goes on past the line's end shows its line break as a blank.
        int tail = index < b.Line ? s->AveChar / 2 + 1 : 0;
        RECT mark = {x + start.cx, y, std::min(right, (int)(x + end.cx + tail)), y + h};
        if (mark.right > mark.left) {
            FillRect(dc, &mark, GetSysColorBrush(s->Focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
            SetTextColor(dc, GetSysColor(s->Focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
            ExtTextOutW(dc, x, y, ETO_CLIPPED, &mark, drawn.c_str(), (UINT)n, nullptr);
        }
    }
    SelectObject(dc, old);
}

void OnPaint(ViewState* s)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(s->Window, &ps);
    SIZE client = ClientSize(s);
    if (client.cx > 0 && client.cy > 0) {
        // Drawn off screen first: no flicker while lines arrive.
        HDC memory = CreateCompatibleDC(dc);
        HBITMAP bitmap = CreateCompatibleBitmap(dc, client.cx, client.cy);
        HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
        RECT all = {0, 0, client.cx, client.cy};
        FillRect(memory, &all, GetSysColorBrush(COLOR_WINDOW));
        SetBkMode(memory, TRANSPARENT);
        SetTextAlign(memory, TA_LEFT | TA_TOP | TA_NOUPDATECP);
        std::vector<ShownLine> lines;
        ScreenLines(s, s->Top, &lines);
        int width = s->Width, y = 0;
        size_t k = 0;
        for (; k < lines.size() && y < client.cy; k++) {
            DrawLine(memory, s, s->Top + (int)k, lines[k], y, client.cx);
            y += Height(s, lines[k].Title);
        }
        if (y >= client.cy || (s->KnownComplete && s->Top + (int)k >= s->Known))
            s->ScreenPainted = true;
        BitBlt(dc, 0, 0, client.cx, client.cy, memory, 0, 0, SRCCOPY);
        SelectObject(memory, oldBitmap);
        DeleteObject(bitmap);
        DeleteDC(memory);
        if (s->Width != width)
            UpdateScrollBars(s);
    }
    EndPaint(s->Window, &ps);
}

void SetFocusState(ViewState* s, bool focused)
{
    s->Focused = focused;
    if (focused) {
        CreateCaret(s->Window, nullptr, 1, s->BodyHeight);
        PlaceCaret(s);
        ShowCaret(s->Window);
    } else {
        DestroyCaret();
    }
    InvalidateRect(s->Window, nullptr, FALSE);
}

LRESULT CALLBACK ReportViewProc(HWND view, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE) {
        ViewState* s = new ViewState();
        s->Window = view;
        SetWindowLongPtrW(view, 0, reinterpret_cast<LONG_PTR>(s));
        return DefWindowProcW(view, msg, wParam, lParam);
    }
    ViewState* s = StateOf(view);
    if (!s)
        return DefWindowProcW(view, msg, wParam, lParam);
    switch (msg) {
    case WM_CREATE:
        ReportViewSetFont(view, L"Arial", 20, 28);
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrW(view, 0, 0);
        DeleteObject(s->Body);
        DeleteObject(s->Title);
        delete s;
        return 0;
    case WM_PAINT: OnPaint(s); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SIZE:
        UpdateScrollBars(s);
        Redraw(s);
        return 0;
    case WM_VSCROLL: OnVScroll(s, LOWORD(wParam)); return 0;
    case WM_HSCROLL: OnHScroll(s, LOWORD(wParam)); return 0;
    case WM_MOUSEWHEEL: OnWheel(s, GET_WHEEL_DELTA_WPARAM(wParam)); return 0;
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK: return OnMouse(s, msg, wParam, lParam);
    case WM_CAPTURECHANGED:
        s->Dragging = false;
        KillTimer(view, kDragTimer);
        return 0;
    case WM_TIMER:
        if (wParam == kDragTimer && s->Dragging)
            OnDragTimer(s);
        return 0;
    case WM_KEYDOWN:
        if (OnKey(s, wParam))
            return 0;
        break;
    case WM_CHAR: return 0;  // read-only: typed letters do nothing (and press no button)
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS: SetFocusState(s, true); return 0;
    case WM_KILLFOCUS: SetFocusState(s, false); return 0;
    case WM_SETFONT: return 0;  // the report's own fonts
    case WM_GETTEXTLENGTH:
    case WM_GETTEXT:
    case EM_GETLINECOUNT:
    case EM_GETFIRSTVISIBLELINE:
    case EM_GETLINE:
    case EM_LINESCROLL:
    case WM_COPY: return OnTextMessage(s, msg, wParam, lParam);
    }
    return DefWindowProcW(view, msg, wParam, lParam);
}

}  // namespace reportview

using namespace reportview;

bool RegisterReportView(HINSTANCE instance)
{
    WNDCLASSEXW existing = {sizeof(existing)};
    if (GetClassInfoExW(instance, REPORTVIEW_CLASS, &existing))
        return true;
    WNDCLASSEXW wc = {sizeof(wc)};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = ReportViewProc;
    wc.cbWndExtra = sizeof(LONG_PTR);
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_IBEAM);
    wc.lpszClassName = REPORTVIEW_CLASS;
    return RegisterClassExW(&wc) != 0;
}

void ReportViewSetText(HWND view, std::shared_ptr<const ReportText> text)
{
    ViewState* s = StateOf(view);
    if (!s)
        return;
    s->Text = std::move(text);
    s->Known = 0;
    s->KnownComplete = false;
    s->Top = s->Left = s->Width = 0;
    s->Anchor = s->Caret = TextPos();
    s->ScreenPainted = false;
    UpdateScrollBars(s);
    ReportViewRefresh(view);
    Redraw(s);
}

void ReportViewSetFont(HWND view, const wchar_t* face, int bodySize, int titleSize)
{
    ViewState* s = StateOf(view);
    if (!s)
        return;
    std::wstring name = face ? face : L"";
    if (s->Body && name == s->FaceName && bodySize == s->BodySize && titleSize == s->TitleSize)
        return;
    s->FaceName = name;
    s->BodySize = bodySize;
    s->TitleSize = titleSize;
    HDC dc = GetDC(view);
    HFONT body = MakeReportFont(dc, name, bodySize, false);
    HFONT title = MakeReportFont(dc, name, titleSize, true);
    if (body && title) {
        DeleteObject(s->Body);
        DeleteObject(s->Title);
        s->Body = body;
        s->Title = title;
        s->BodyHeight = ReportLineHeight(dc, body);
        s->TitleHeight = ReportLineHeight(dc, title);
        HGDIOBJ old = SelectObject(dc, body);
        TEXTMETRICW tm = {};
        GetTextMetricsW(dc, &tm);
        SelectObject(dc, old);
        s->AveChar = std::max(1, (int)tm.tmAveCharWidth);
    } else {
        DeleteObject(body);
        DeleteObject(title);
    }
    ReleaseDC(view, dc);
    s->Width = 0;
    EstimateWidth(s);
    UpdateScrollBars(s);
    if (s->Focused)
        SetFocusState(s, true);
    Redraw(s);
}

void ReportViewRefresh(HWND view)
{
    ViewState* s = StateOf(view);
    if (!s || !s->Text)
        return;
    // Complete first: once it is set, the count read after it is the last one.
    bool complete = s->Text->Complete();
    int count = s->Text->Count();
    if (count == s->Known && complete == s->KnownComplete)
        return;
    // Lines below the window only move the scroll bar, which is not worth drawing often.
    bool inView = s->Known < s->Top + ClientHeight(s) / std::max(1, std::min(s->BodyHeight, s->TitleHeight)) + 1;
    DWORD now = GetTickCount();
    if (!inView && !complete && now - s->TakenAt < kQuietRefreshMs)
        return;
    s->TakenAt = now;
    s->Known = count;
    s->KnownComplete = complete;
    EstimateWidth(s);
    UpdateScrollBars(s);
    if (inView || complete)
        Redraw(s);
}

bool ReportViewScreenPainted(HWND view)
{
    ViewState* s = StateOf(view);
    return s && s->ScreenPainted;
}
