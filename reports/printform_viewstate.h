// What the two halves of the print form's report view share (printform_view.cpp draws and
// scrolls, printform_viewselect.cpp places the caret and the selection and hands out the text):
// the view's state and the helpers both use. Not for use outside the view.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "reports/printform_text.h"

namespace reportview {

const int kMargin = 4;          // pixels left of each line
const UINT_PTR kDragTimer = 1;  // scrolls while a selection is dragged outside the window
const UINT kDragMs = 50;

// A place in the text: a line and a character index in it.
struct TextPos
{
    int Line = 0;
    int Col = 0;
};

inline bool operator<(const TextPos& a, const TextPos& b)
{
    return a.Line < b.Line || (a.Line == b.Line && a.Col < b.Col);
}
inline bool operator==(const TextPos& a, const TextPos& b) { return a.Line == b.Line && a.Col == b.Col; }

struct ViewState
{
    HWND Window = nullptr;
    std::shared_ptr<const ReportText> Text;
    std::wstring FaceName;    // the fonts' face and sizes (half points)
    int BodySize = 0;
    int TitleSize = 0;
    HFONT Body = nullptr;
    HFONT Title = nullptr;
    int BodyHeight = 16;
    int TitleHeight = 20;
    int AveChar = 7;
    int Top = 0;              // the first line in view
    int Left = 0;             // pixels scrolled to the right
    int Known = 0;            // lines the view has taken in
    bool KnownComplete = false;
    int Width = 0;            // the widest line in pixels: estimated, grown by the lines drawn
    TextPos Anchor, Caret;    // the selection runs from the anchor to the caret
    bool Dragging = false;
    bool Focused = false;
    bool ScreenPainted = false;
    int WheelRest = 0;
    int Bars[2][3] = {{-1, -1, -1}, {-1, -1, -1}};  // range, page and position the bars show
    DWORD TakenAt = 0;        // when lines were last taken in
};

// ---- printform_view.cpp ----
int Height(const ViewState* s, bool title);
HFONT FontOf(const ViewState* s, bool title);
SIZE ClientSize(const ViewState* s);
int ClientHeight(const ViewState* s);
int ClientWidth(const ViewState* s);
// As many lines as can show at once, from first on.
void ScreenLines(const ViewState* s, int first, std::vector<ShownLine>* lines);
// Lines that fit whole into the window, counted in body lines.
int PageLines(const ViewState* s);
ShownLine LineAt(const ViewState* s, int line);
int LineLength(const ViewState* s, int line);
void UpdateScrollBars(ViewState* s);
// Pixels from a line's start to the character col, in the line's font.
int ExtentTo(const ViewState* s, const ShownLine& line, int col);
// Draws the view again and puts the caret in its place.
void Redraw(ViewState* s);
void ScrollTo(ViewState* s, int top, int left);

// ---- printform_viewselect.cpp ----
TextPos EndPos(const ViewState* s);
void PlaceCaret(ViewState* s);
// Keys that move the caret or copy; false for a key the view leaves alone.
bool OnKey(ViewState* s, WPARAM key);
LRESULT OnMouse(ViewState* s, UINT msg, WPARAM wParam, LPARAM lParam);
void OnDragTimer(ViewState* s);
// The edit control's questions about the text, EM_LINESCROLL and WM_COPY.
LRESULT OnTextMessage(ViewState* s, UINT msg, WPARAM wParam, LPARAM lParam);

}  // namespace reportview
