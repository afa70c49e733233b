// The print form's report view: the caret, the selection by mouse and keys, and the text
// handed out (copied, or asked for by the edit control's messages).
#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "reports/paginator.h"
#include "reports/printform_viewstate.h"

namespace reportview {

namespace {

const int kCopyBatch = 2048;  // lines read at a time when the text is copied

// The character boundary nearest to x pixels from the line's start, never inside a pair.
int ColumnAt(const ViewState* s, const ShownLine& line, int x)
{
    int n = (int)line.Text.size();
    if (n == 0 || x <= 0)
        return 0;
    std::wstring drawn = ReportDrawnText(line.Text);
    std::vector<int> ends((size_t)n);
    SIZE size = {};
    HDC dc = GetDC(s->Window);
    HGDIOBJ old = SelectObject(dc, FontOf(s, line.Title));
    GetTextExtentExPointW(dc, drawn.c_str(), n, 0, nullptr, ends.data(), &size);
    SelectObject(dc, old);
    ReleaseDC(s->Window, dc);
    int i = (int)(std::upper_bound(ends.begin(), ends.end(), x) - ends.begin());
    int col = n;
    if (i < n) {
        int start = i > 0 ? ends[(size_t)i - 1] : 0;
        col = (x - start) * 2 < ends[(size_t)i] - start ? i : i + 1;
    }
    if (col > 0 && col < n && IS_LOW_SURROGATE(line.Text[(size_t)col]))
        col++;
    return col;
}

// The position under a point of the window; above or below the lines in view, the first or
// last of them.
TextPos PosAt(const ViewState* s, int x, int y)
{
    TextPos pos;
    if (!s->Text || s->Known == 0)
        return pos;
    std::vector<ShownLine> lines;
    ScreenLines(s, s->Top, &lines);
    if (lines.empty())
        return pos;
    int height = ClientHeight(s), top = 0, below = std::max(y, 0);
    size_t k = 0;
    // Down while the point is below the line and the next line starts inside the window.
    for (; k + 1 < lines.size(); k++) {
        int h = Height(s, lines[k].Title);
        if (below < top + h || top + h >= height)
            break;
        top += h;
    }
    pos.Line = s->Top + (int)k;
    pos.Col = ColumnAt(s, lines[k], x - kMargin + s->Left);
    return pos;
}

// Where the line starts in the window (y), and the line; false when it is not in view.
bool LinePlace(const ViewState* s, int line, int* y, ShownLine* shown)
{
    if (line < s->Top)
        return false;
    std::vector<ShownLine> lines;
    ScreenLines(s, s->Top, &lines);
    int top = 0, height = ClientHeight(s);
    for (size_t k = 0; k < lines.size() && top < height; k++) {
        if (s->Top + (int)k == line) {
            *y = top;
            *shown = lines[k];
            return true;
        }
        top += Height(s, lines[k].Title);
    }
    return false;
}

// Scrolls so that the position shows.
void ShowPos(ViewState* s, const TextPos& pos)
{
    int top = s->Top, page = PageLines(s);
    if (pos.Line < top)
        top = pos.Line;
    else if (pos.Line >= top + page)
        top = pos.Line - page + 1;
    int x = ExtentTo(s, LineAt(s, pos.Line), pos.Col);
    if (x > s->Width) {
        s->Width = x;
        UpdateScrollBars(s);
    }
    int left = s->Left, room = ClientWidth(s) - 2 * kMargin;
    if (x < left)
        left = std::max(0, x - room / 3);
    else if (x > left + room)
        left = x - room * 2 / 3;
    ScrollTo(s, top, left);
}

void MoveCaret(ViewState* s, const TextPos& pos, bool extend)
{
    s->Caret = pos;
    if (!extend)
        s->Anchor = pos;
    ShowPos(s, pos);
    Redraw(s);
}

// The text from a to b, lines joined by CR LF, written to out (at most limit characters) when
// out is given; returns the characters the whole text has, or those written.
size_t RangeText(const ViewState* s, TextPos a, TextPos b, wchar_t* out, size_t limit)
{
    size_t n = 0;
    auto put = [&](const wchar_t* p, size_t k) {
        if (out) {
            k = std::min(k, limit - n);
            memcpy(out + n, p, k * sizeof(wchar_t));
        }
        n += k;
    };
    std::vector<ShownLine> lines;
    for (int first = a.Line; first <= b.Line && (!out || n < limit); first += kCopyBatch) {
        s->Text->Get(first, std::min(kCopyBatch, b.Line - first + 1), &lines);
        for (size_t k = 0; k < lines.size(); k++) {
            int line = first + (int)k;
            const std::wstring& text = lines[k].Text;
            size_t from = line == a.Line ? std::min((size_t)a.Col, text.size()) : 0;
            size_t to = line == b.Line ? std::min((size_t)b.Col, text.size()) : text.size();
            if (line > a.Line)
                put(L"\r\n", 2);
            if (to > from)
                put(text.data() + from, to - from);
        }
        if (lines.empty())
            break;
    }
    return n;
}

void Copy(ViewState* s)
{
    TextPos a = std::min(s->Anchor, s->Caret), b = std::max(s->Anchor, s->Caret);
    if (!s->Text || a == b)
        return;
    size_t n = RangeText(s, a, b, nullptr, 0);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (n + 1) * sizeof(wchar_t));
    if (!block) {
        MessageBeep(MB_ICONEXCLAMATION);
        return;
    }
    wchar_t* text = static_cast<wchar_t*>(GlobalLock(block));
    n = RangeText(s, a, b, text, n);
    text[n] = L'\0';
    std::replace(text, text + n, L'\0', L' ');  // a NUL would end the clipboard's text
    GlobalUnlock(block);
    if (OpenClipboard(s->Window)) {
        EmptyClipboard();
        if (SetClipboardData(CF_UNICODETEXT, block))
            block = nullptr;
        CloseClipboard();
    }
    if (block)
        GlobalFree(block);
}

bool IsWordChar(wchar_t c) { return c == L'_' || IsCharAlphaNumericW(c); }

void SelectWord(ViewState* s, const TextPos& at)
{
    std::wstring text = LineAt(s, at.Line).Text;
    int from = std::min(at.Col, (int)text.size()), to = from;
    while (from > 0 && IsWordChar(text[(size_t)from - 1]))
        from--;
    while (to < (int)text.size() && IsWordChar(text[(size_t)to]))
        to++;
    s->Anchor = TextPos{at.Line, from};
    MoveCaret(s, TextPos{at.Line, to}, true);
}

// One step of the caret by a key; false for a key the view does not move by.
bool StepCaret(const ViewState* s, WPARAM key, bool ctrl, TextPos* pos)
{
    int last = s->Known - 1;
    std::wstring text = LineAt(s, pos->Line).Text;
    int length = (int)text.size();
    switch (key) {
    case VK_LEFT:
        if (pos->Col > 0) {
            pos->Col--;
            if (pos->Col > 0 && IS_LOW_SURROGATE(text[(size_t)pos->Col]))
                pos->Col--;
        } else if (pos->Line > 0) {
            pos->Line--;
            pos->Col = INT_MAX;
        }
        break;
    case VK_RIGHT:
        if (pos->Col < length) {
            pos->Col++;
            if (pos->Col < length && IS_LOW_SURROGATE(text[(size_t)pos->Col]))
                pos->Col++;
        } else if (pos->Line < last) {
            pos->Line++;
            pos->Col = 0;
        }
        break;
    case VK_UP: pos->Line = std::max(0, pos->Line - 1); break;
    case VK_DOWN: pos->Line = std::min(last, pos->Line + 1); break;
    case VK_PRIOR: pos->Line = std::max(0, pos->Line - PageLines(s)); break;
    case VK_NEXT: pos->Line = std::min(last, pos->Line + PageLines(s)); break;
    case VK_HOME: *pos = ctrl ? TextPos() : TextPos{pos->Line, 0}; break;
    case VK_END: *pos = ctrl ? EndPos(s) : TextPos{pos->Line, length}; break;
    default: return false;
    }
    pos->Col = std::min(pos->Col, LineLength(s, pos->Line));
    return true;
}

}  // namespace

TextPos EndPos(const ViewState* s)
{
    if (s->Known == 0)
        return TextPos();
    return TextPos{s->Known - 1, LineLength(s, s->Known - 1)};
}

void PlaceCaret(ViewState* s)
{
    if (!s->Focused)
        return;
    int y = 0;
    ShownLine line;
    if (!LinePlace(s, s->Caret.Line, &y, &line)) {
        SetCaretPos(-100, -100);
        return;
    }
    SetCaretPos(kMargin - s->Left + ExtentTo(s, line, s->Caret.Col), y);
}

bool OnKey(ViewState* s, WPARAM key)
{
    bool ctrl = GetKeyState(VK_CONTROL) < 0, shift = GetKeyState(VK_SHIFT) < 0;
    if (ctrl && key == 'A') {
        // Everything, the view staying where it is.
        s->Anchor = TextPos();
        s->Caret = EndPos(s);
        Redraw(s);
        return true;
    }
    if (ctrl && (key == 'C' || key == VK_INSERT)) {
        Copy(s);
        return true;
    }
    TextPos pos = s->Caret;
    if (s->Known == 0 || !StepCaret(s, key, ctrl, &pos))
        return false;
    MoveCaret(s, pos, shift);
    return true;
}

LRESULT OnMouse(ViewState* s, UINT msg, WPARAM wParam, LPARAM lParam)
{
    int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    switch (msg) {
    case WM_LBUTTONDOWN: {
        SetFocus(s->Window);
        TextPos pos = PosAt(s, x, y);
        s->Caret = pos;
        if (!(wParam & MK_SHIFT))
            s->Anchor = pos;
        s->Dragging = true;
        SetCapture(s->Window);
        SetTimer(s->Window, kDragTimer, kDragMs, nullptr);
        Redraw(s);
        break;
    }
    case WM_MOUSEMOVE:
        if (s->Dragging) {
            TextPos pos = PosAt(s, x, y);
            if (!(pos == s->Caret)) {
                s->Caret = pos;
                Redraw(s);
            }
        }
        break;
    case WM_LBUTTONUP:
        if (s->Dragging)
            ReleaseCapture();
        break;
    case WM_LBUTTONDBLCLK: SelectWord(s, PosAt(s, x, y)); break;
    }
    return 0;
}

// While a selection is dragged outside the window, the view scrolls toward the pointer.
void OnDragTimer(ViewState* s)
{
    POINT pt;
    GetCursorPos(&pt);
    ScreenToClient(s->Window, &pt);
    SIZE client = ClientSize(s);
    int top = s->Top + (pt.y < 0 ? -1 : pt.y >= client.cy ? 1 : 0);
    int left = s->Left + (pt.x < 0 ? -3 : pt.x >= client.cx ? 3 : 0) * s->AveChar;
    ScrollTo(s, top, left);
    TextPos pos = PosAt(s, pt.x, pt.y);
    if (!(pos == s->Caret)) {
        s->Caret = pos;
        Redraw(s);
    }
}

LRESULT OnTextMessage(ViewState* s, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_GETTEXTLENGTH:
        return s->Text ? (LRESULT)RangeText(s, TextPos(), EndPos(s), nullptr, 0) : 0;
    case WM_GETTEXT: {
        wchar_t* out = reinterpret_cast<wchar_t*>(lParam);
        if (!out || wParam == 0)
            return 0;
        size_t n = s->Text ? RangeText(s, TextPos(), EndPos(s), out, (size_t)wParam - 1) : 0;
        out[n] = L'\0';
        return (LRESULT)n;
    }
    case EM_GETLINECOUNT: return s->Known;
    case EM_GETFIRSTVISIBLELINE: return s->Top;
    case EM_GETLINE: {
        // The buffer's first word gives its size; the line is copied without a terminator.
        wchar_t* out = reinterpret_cast<wchar_t*>(lParam);
        if (!out)
            return 0;
        size_t room = *reinterpret_cast<WORD*>(out);
        std::wstring text = LineAt(s, (int)wParam).Text;
        size_t n = std::min(room, text.size());
        memcpy(out, text.data(), n * sizeof(wchar_t));
        return (LRESULT)n;
    }
    case EM_LINESCROLL:
        ScrollTo(s, s->Top + (int)lParam, s->Left + (int)wParam * s->AveChar);
        return TRUE;
    case WM_COPY: Copy(s); return 0;
    }
    return 0;
}

}  // namespace reportview
