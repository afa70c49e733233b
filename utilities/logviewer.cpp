#include "utilities/logviewer.h"

#include <algorithm>

#include "import/importlog.h"
#include "resources/tarnix/resource.h"

namespace {

const int kTextMargin = 2;  // pixels left of each line

LogViewer* ViewerOf(HWND dlg)
{
    return reinterpret_cast<LogViewer*>(GetWindowLongPtrW(dlg, GWLP_USERDATA));
}

// The whole file as 8-bit text; empty when it cannot be opened or read. NUL bytes become blanks.
std::string ReadLogBytes(const wchar_t* path)
{
    std::string bytes;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < 0x40000000) {
        bytes.resize((size_t)size.QuadPart);
        DWORD read = 0;
        if (!ReadFile(file, &bytes[0], (DWORD)bytes.size(), &read, nullptr))
            read = 0;
        bytes.resize(read);
    }
    CloseHandle(file);
    std::replace(bytes.begin(), bytes.end(), '\0', ' ');
    return bytes;
}

// Line starts: after each CR LF, lone LF or lone CR. The text's size closes the last line.
std::vector<uint32_t> SplitLines(const std::string& text)
{
    std::vector<uint32_t> starts;
    if (text.empty())
        return starts;
    starts.push_back(0);
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        char c = text[i];
        if (c != '\r' && c != '\n')
            continue;
        if (c == '\r' && i + 1 < n && text[i + 1] == '\n')
            ++i;
        if (i + 1 < n)
            starts.push_back((uint32_t)(i + 1));
    }
    starts.push_back((uint32_t)n);
    return starts;
}

int LineCount(const LogViewer* viewer)
{
    return viewer->Lines.empty() ? 0 : (int)viewer->Lines.size() - 1;
}

RECT ChildRect(HWND dlg, int id)
{
    RECT r = {};
    GetWindowRect(GetDlgItem(dlg, id), &r);
    MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The list of lines: its font, line height, count and width.
void FillLines(HWND list, LogViewer* viewer)
{
    SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(viewer->Font), FALSE);
    HDC dc = GetDC(list);
    HGDIOBJ old = SelectObject(dc, viewer->Font);
    TEXTMETRICW tm = {};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(list, dc);
    SendMessageW(list, LB_SETITEMHEIGHT, 0, tm.tmHeight);
    size_t longest = 0;
    for (size_t i = 0; i + 1 < viewer->Lines.size(); ++i)
        longest = std::max<size_t>(longest, viewer->Lines[i + 1] - viewer->Lines[i]);
    SendMessageW(list, LB_SETHORIZONTALEXTENT, (WPARAM)(longest * tm.tmAveCharWidth + 2 * kTextMargin), 0);
    SendMessageW(list, LB_SETCOUNT, (WPARAM)LineCount(viewer), 0);
}

void DrawLine(const LogViewer* viewer, const DRAWITEMSTRUCT* item)
{
    bool selected = (item->itemState & ODS_SELECTED) != 0;
    HDC dc = item->hDC;
    FillRect(dc, &item->rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if ((int)item->itemID >= 0 && (int)item->itemID < LineCount(viewer)) {
        std::wstring text = LogLineText(viewer, (int)item->itemID);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        HGDIOBJ old = SelectObject(dc, viewer->Font);
        RECT r = item->rcItem;
        r.left += kTextMargin;
        DrawTextW(dc, text.c_str(), (int)text.size(), &r,
                  DT_SINGLELINE | DT_NOPREFIX | DT_EXPANDTABS | DT_VCENTER);
        SelectObject(dc, old);
    }
    if (item->itemState & ODS_FOCUS)
        DrawFocusRect(dc, &item->rcItem);
}

// Ctrl+C copies the selected lines, Ctrl+A selects all; -1: the list's own handling.
int OnListKey(HWND dlg, LogViewer* viewer, WORD key)
{
    if (GetKeyState(VK_CONTROL) >= 0)
        return -1;
    HWND list = GetDlgItem(dlg, IDC_LOG_TEXT);
    if (key == 'A') {
        SendMessageW(list, LB_SELITEMRANGEEX, 0, LineCount(viewer) - 1);
        return -2;
    }
    if (key != 'C' && key != VK_INSERT)
        return -1;
    int count = (int)SendMessageW(list, LB_GETSELCOUNT, 0, 0);
    if (count <= 0)
        return -2;
    std::vector<int> items((size_t)count);
    SendMessageW(list, LB_GETSELITEMS, count, reinterpret_cast<LPARAM>(items.data()));
    std::sort(items.begin(), items.end());
    std::wstring text;
    for (size_t i = 0; i < items.size(); ++i)
        text += (i ? L"\r\n" : L"") + LogLineText(viewer, items[i]);
    if (OpenClipboard(dlg)) {
        EmptyClipboard();
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
        if (block) {
            memcpy(GlobalLock(block), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
            GlobalUnlock(block);
            if (!SetClipboardData(CF_UNICODETEXT, block))
                GlobalFree(block);
        }
        CloseClipboard();
    }
    return -2;
}

void OnInit(HWND dlg, LogViewer* viewer)
{
    SetWindowLongPtrW(dlg, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(viewer));
    const wchar_t* path = viewer->Source ? GetImportLogPath(viewer->Source) : L"";
    SetDlgItemTextW(dlg, IDC_LOG_PATH, path);
    viewer->Text = ReadLogBytes(path);
    viewer->Lines = SplitLines(viewer->Text);
    FillLines(GetDlgItem(dlg, IDC_LOG_TEXT), viewer);

    RECT client;
    GetClientRect(dlg, &client);
    RECT e = ChildRect(dlg, IDC_LOG_TEXT);
    viewer->EditMarginX = client.right - (e.right - e.left);
    viewer->EditMarginY = client.bottom - (e.bottom - e.top);
    RECT del = ChildRect(dlg, IDC_LOG_DELETE);
    RECT close = ChildRect(dlg, IDCANCEL);
    viewer->DeleteButtonX = del.left;
    viewer->ButtonOffsetY = client.bottom - del.top;
    viewer->CloseButtonX = close.left;
}

void OnSize(HWND dlg, LogViewer* viewer, int width, int height)
{
    SetWindowPos(GetDlgItem(dlg, IDC_LOG_TEXT), nullptr, 0, 0, width - viewer->EditMarginX,
                 height - viewer->EditMarginY, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(GetDlgItem(dlg, IDC_LOG_DELETE), nullptr, viewer->DeleteButtonX,
                 height - viewer->ButtonOffsetY, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(GetDlgItem(dlg, IDCANCEL), nullptr, viewer->CloseButtonX,
                 height - viewer->ButtonOffsetY, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(dlg, nullptr, TRUE);
}

}  // namespace

LogViewer::LogViewer(HINSTANCE instance)
    : hInstance(instance), Source(nullptr), EditMarginX(0), EditMarginY(0), DeleteButtonX(0),
      ButtonOffsetY(0), CloseButtonX(0), Font(nullptr)
{
    LOGFONTW lf = {};
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    Font = CreateFontIndirectW(&lf);
}

LogViewer::~LogViewer()
{
    if (Font)
        DeleteObject(Font);
}

std::wstring LogLineText(const LogViewer* viewer, int line)
{
    if (line < 0 || line >= LineCount(viewer))
        return std::wstring();
    size_t start = viewer->Lines[(size_t)line];
    size_t end = viewer->Lines[(size_t)line + 1];
    while (end > start && (viewer->Text[end - 1] == '\n' || viewer->Text[end - 1] == '\r'))
        --end;
    int n = (int)(end - start);
    std::wstring text;
    if (n <= 0)
        return text;
    // The log is 8-bit text in the system's code page.
    text.resize((size_t)MultiByteToWideChar(CP_ACP, 0, viewer->Text.data() + start, n, nullptr, 0));
    MultiByteToWideChar(CP_ACP, 0, viewer->Text.data() + start, n, &text[0], (int)text.size());
    return text;
}

std::wstring LogLinesText(const LogViewer* viewer, int first, int last)
{
    std::wstring text;
    for (int i = std::max(first, 0); i <= last && i < LineCount(viewer); ++i)
        text += (i > first ? L"\r\n" : L"") + LogLineText(viewer, i);
    return text;
}

bool ShowImportLog(LogViewer* viewer, HWND owner, ImportLog* source)
{
    viewer->Source = source;
    INT_PTR result = DialogBoxParamW(viewer->hInstance, L"VIEWLOGDLG", owner, ViewLogDlgProc,
                                     reinterpret_cast<LPARAM>(viewer));
    // The source goes with its import job once the viewer has closed.
    viewer->Source = nullptr;
    viewer->Text.clear();
    viewer->Text.shrink_to_fit();
    viewer->Lines.clear();
    viewer->Lines.shrink_to_fit();
    return result > 0;
}

INT_PTR CALLBACK ViewLogDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        OnInit(dlg, reinterpret_cast<LogViewer*>(lParam));
        return TRUE;
    }
    LogViewer* viewer = ViewerOf(dlg);
    if (!viewer)
        return FALSE;
    switch (msg) {
    case WM_SIZE:
        OnSize(dlg, viewer, LOWORD(lParam), HIWORD(lParam));
        return TRUE;
    case WM_DRAWITEM:
        if (wParam != IDC_LOG_TEXT)
            return FALSE;
        DrawLine(viewer, reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_VKEYTOITEM:
        if (reinterpret_cast<HWND>(lParam) != GetDlgItem(dlg, IDC_LOG_TEXT))
            return FALSE;
        return OnListKey(dlg, viewer, LOWORD(wParam));  // answered directly, as its kind is
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDCANCEL:
            EndDialog(dlg, 0);
            return TRUE;
        case IDC_LOG_DELETE:
            if (viewer->Source)
                DeleteImportLog(viewer->Source);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}
