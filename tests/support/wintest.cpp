#include "tests/support/wintest.h"
#include "core/ctlfill.h"
#include "core/treefill.h"
#include <psapi.h>
#include <wincodec.h>
#include <shlobj.h>

#include <algorithm>
#include <map>

namespace wintest {

void PumpMessages(DWORD milliseconds)
{
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (milliseconds)
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (GetTickCount() - start < milliseconds);
}

void SendMouse(POINT screen, DWORD flags)
{
    INPUT in = {};
    in.type = INPUT_MOUSE;
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    in.mi.dx = (LONG)(((long long)screen.x * 65536 + w / 2) / w);
    in.mi.dy = (LONG)(((long long)screen.y * 65536 + h / 2) / h);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
    SendInput(1, &in, sizeof(in));
}

POINT ScreenPoint(HWND window, POINT client)
{
    ClientToScreen(window, &client);
    return client;
}

static std::wstring ScreenshotFolder()
{
    WCHAR folder[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"ZOR_SCREENSHOTS", folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        GetTempPathW(MAX_PATH, folder);
    std::wstring path = folder;
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/')
        path += L'\\';
    SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
    return path;
}

// Encodes a top-down 32-bit BGRA pixel block as PNG through WIC.
static bool WritePng(const std::wstring& path, int width, int height, const BYTE* pixels)
{
    IWICImagingFactory* factory = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&factory))))
        return false;
    bool ok = false;
    IWICStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    if (SUCCEEDED(factory->CreateStream(&stream)) &&
        SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
        SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
        SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
        SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
        SUCCEEDED(frame->SetSize(width, height))) {
        WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
        frame->SetPixelFormat(&format);
        ok = SUCCEEDED(frame->WritePixels(height, width * 4, width * height * 4, const_cast<BYTE*>(pixels))) &&
             SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
    }
    if (frame) frame->Release();
    if (encoder) encoder->Release();
    if (stream) stream->Release();
    factory->Release();
    return ok;
}

std::vector<DWORD> ScreenPixels(const RECT& area)
{
    const int width = area.right - area.left, height = area.bottom - area.top;
    std::vector<DWORD> pixels;
    if (width <= 0 || height <= 0)
        return pixels;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dib && bits) {
        HGDIOBJ old = SelectObject(memory, dib);
        BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
        GdiFlush();
        const DWORD* p = static_cast<const DWORD*>(bits);
        pixels.resize((size_t)width * height);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = p[i] & 0xFFFFFF;  // the screen has no alpha
        SelectObject(memory, old);
    }
    if (dib)
        DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

std::wstring SaveScreenshot(HWND hwnd, const wchar_t* name)
{
    RECT rc;
    if (!GetWindowRect(hwnd, &rc))
        return L"";
    // Only what is on the screen can be read: a maximized window's frame lies beyond its edges.
    RECT display = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    IntersectRect(&rc, &rc, &display);
    UpdateWindow(hwnd);
    PumpMessages(50);
    std::vector<DWORD> pixels = ScreenPixels(rc);
    if (pixels.empty())
        return L"";
    for (DWORD& pixel : pixels)
        pixel |= 0xFF000000;  // opaque
    std::wstring path = ScreenshotFolder() + name + L".png";
    bool ok = WritePng(path, rc.right - rc.left, rc.bottom - rc.top, reinterpret_cast<BYTE*>(pixels.data()));
    return ok ? path : L"";
}

// Deletes what the folder holds and the folder, by extended-length paths, so that paths of
// any length are reached. (The shell's own removal walks paths in fixed buffers: under Wine a
// path it cannot hold makes it delete in the current directory instead.)
static void RemoveTree(const std::wstring& extended)
{
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((extended + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring child = extended + L"\\" + name;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                RemoveTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(extended.c_str());
}

void RemoveFolder(const std::wstring& path)
{
    // Only a full path of a folder below a drive's root is removed: never the current
    // directory's contents, never a whole drive.
    if (path.size() < 4 || path[1] != L':' || path[2] != L'\\')
        return;
    DWORD attributes = GetFileAttributesW((L"\\\\?\\" + path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return;
    RemoveTree(L"\\\\?\\" + path);
}

std::wstring MakeTempFolder(const wchar_t* name)
{
    WCHAR temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    WCHAR unique[32];
    wsprintfW(unique, L"zt%lu_", GetCurrentProcessId());
    std::wstring path = std::wstring(temp) + unique + name;
    RemoveFolder(path);
    SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
    return path;
}

MsgBoxRecorder* MsgBoxRecorder::active_ = nullptr;

MsgBoxRecorder::MsgBoxRecorder(std::vector<int> answers) : answers_(std::move(answers))
{
    active_ = this;
    previous_ = SetMsgBoxHook(&MsgBoxRecorder::Hook);
}

MsgBoxRecorder::~MsgBoxRecorder()
{
    SetMsgBoxHook(previous_);
    active_ = nullptr;
}

int MsgBoxRecorder::Hook(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    MsgBoxRecorder* self = active_;
    if (!self)
        return IDOK;
    self->boxes_.push_back({ text ? text : L"", caption ? caption : L"", type, owner });
    size_t index = self->boxes_.size() - 1;
    return index < self->answers_.size() ? self->answers_[index] : IDOK;
}

std::wstring WindowText(HWND hwnd)
{
    wchar_t text[512] = L"";
    GetWindowTextW(hwnd, text, 512);
    return text;
}

std::wstring TreeItemText(HWND tree, HTREEITEM item)
{
    return GetTreeItemString(tree, item);
}

std::vector<std::wstring> ListBoxItems(HWND list)
{
    std::vector<std::wstring> items;
    int count = (int)SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i)
        items.push_back(GetListBoxEntryString(list, i));
    return items;
}

std::wstring ListCellText(HWND list, int row, int column)
{
    wchar_t text[260] = L"";
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 260;
    SendMessageW(list, LVM_GETITEMTEXTW, row, (LPARAM)&item);
    return text;
}

std::wstring HeaderCaption(HWND header, int index)
{
    wchar_t text[256] = L"";
    HDITEMW item = {};
    item.mask = HDI_TEXT;
    item.pszText = text;
    item.cchTextMax = 256;
    SendMessageW(header, HDM_GETITEMW, index, (LPARAM)&item);
    std::wstring caption = text;
    if (!caption.empty() && caption.back() == L'\u00A0')
        caption.pop_back();
    return caption;
}

void ClickListColumn(HWND list, int column)
{
    HWND header = (HWND)SendMessageW(list, LVM_GETHEADER, 0, 0);
    RECT r = {};
    if (!SendMessageW(header, HDM_GETITEMRECT, column, (LPARAM)&r))
        return;
    ClickAt(header, {(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

RECT RectIn(HWND window, HWND parent)
{
    RECT r = {};
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string ReadFileBytes(const std::wstring& path)
{
    std::string bytes;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(f, buffer, sizeof(buffer), &got, nullptr) && got)
        bytes.append(buffer, got);
    CloseHandle(f);
    return bytes;
}

std::wstring ReadUtf8File(const std::wstring& path)
{
    std::string bytes = ReadFileBytes(path);
    int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), (int)bytes.size(), nullptr, 0);
    std::wstring text(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), (int)bytes.size(), &text[0], n);
    return text;
}

bool WriteUtf8File(const std::wstring& path, const std::wstring& text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), nullptr, 0, nullptr,
                                nullptr);
    std::string bytes(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), &bytes[0], n, nullptr,
                        nullptr);
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(f, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    CloseHandle(f);
    return ok && written == bytes.size();
}

PROCESS_INFORMATION StartSiblingProgram(const wchar_t* exeName)
{
    wchar_t self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring exe = self;
    exe = exe.substr(0, exe.find_last_of(L"\\/") + 1) + exeName;
    std::wstring cmd = L"\"" + exe + L"\"";
    STARTUPINFOW si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return PROCESS_INFORMATION{};
    return pi;
}

ChildRun RunTestInChild(const wchar_t* test, const wchar_t* variable, const std::wstring& value, SIZE_T limitMb,
                        DWORD timeoutMs)
{
    ChildRun run;
    wchar_t self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring cmd = L"\"" + std::wstring(self) + L"\" --gtest_also_run_disabled_tests --gtest_filter=" + test;
    SetEnvironmentVariableW(variable, value.c_str());
    STARTUPINFOW si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    run.started = CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) != 0;
    SetEnvironmentVariableW(variable, nullptr);
    if (!run.started)
        return run;
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        bool ended = WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0;
        PROCESS_MEMORY_COUNTERS pmc = {};
        pmc.cb = sizeof pmc;
        if (GetProcessMemoryInfo(pi.hProcess, &pmc, sizeof pmc))
            run.peakKb = std::max(run.peakKb, std::max(pmc.PeakWorkingSetSize, pmc.WorkingSetSize) / 1024);
        if (ended)
            break;
        if (run.peakKb > limitMb * 1024 || GetTickCount64() - start > timeoutMs) {
            TerminateProcess(pi.hProcess, 0);
            WaitForSingleObject(pi.hProcess, INFINITE);
            run.stopped = true;
            break;
        }
    }
    if (!run.stopped)
        GetExitCodeProcess(pi.hProcess, &run.exitCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return run;
}

bool WaitForNamedMutex(const wchar_t* name)
{
    for (int i = 0; i < 300; ++i) {
        if (HANDLE seen = OpenMutexW(SYNCHRONIZE, FALSE, name)) {
            CloseHandle(seen);
            return true;
        }
        Sleep(50);
    }
    return false;
}

std::vector<HWND> TopWindowsOf(DWORD pid)
{
    struct Top {
        DWORD pid;
        std::vector<HWND> found;
    } t = {pid, {}};
    EnumWindows(
        [](HWND w, LPARAM l) -> BOOL {
            auto* t = reinterpret_cast<Top*>(l);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == t->pid)
                t->found.push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&t));
    return t.found;
}

HWND FindChildWithText(HWND parent, const std::wstring& text)
{
    struct Find {
        std::wstring text;
        HWND found;
    } f = {text, nullptr};
    EnumChildWindows(
        parent,
        [](HWND w, LPARAM l) -> BOOL {
            auto* f = reinterpret_cast<Find*>(l);
            if (WindowText(w) == f->text)
                f->found = w;
            return !f->found;
        },
        reinterpret_cast<LPARAM>(&f));
    return f.found;
}

bool HasChildWithText(HWND parent, const std::wstring& text)
{
    return FindChildWithText(parent, text) != nullptr;
}

HWND WaitForMessageBoxOf(DWORD pid, const std::wstring& caption, const std::wstring& text,
                         std::vector<HWND>* windows)
{
    for (int i = 0; i < 300; ++i) {
        Sleep(50);
        std::vector<HWND> seen = TopWindowsOf(pid);
        if (windows)
            *windows = seen;
        for (HWND w : seen) {
            wchar_t cls[32] = L"";
            GetClassNameW(w, cls, 32);
            if (!lstrcmpW(cls, L"#32770") && WindowText(w) == caption && IsWindowVisible(w) &&
                HasChildWithText(w, text))
                return w;
        }
    }
    return nullptr;
}

void ClickAt(HWND wnd, POINT point)
{
    LPARAM at = MAKELPARAM(point.x, point.y);
    PostMessageW(wnd, WM_MOUSEMOVE, 0, at);
    PostMessageW(wnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(wnd, WM_LBUTTONUP, 0, at);
    PumpMessages(30);
}

void PressKey(HWND wnd, UINT virtualKey)
{
    UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    PostMessageW(wnd, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    PostMessageW(wnd, WM_KEYUP, virtualKey, 1 | (scan << 16) | 0xC0000000);
    // As a dialog's own loop takes keys: its dialog keys first.
    HWND root = GetAncestor(wnd, GA_ROOT);
    wchar_t className[16] = L"";
    GetClassNameW(root, className, 16);
    bool dialog = wcscmp(className, L"#32770") == 0;
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (dialog && IsWindow(root) && IsDialogMessageW(root, &msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (GetTickCount() - start < 30);
}

void TypeText(HWND wnd, const std::wstring& text)
{
    for (wchar_t c : text)
        PostMessageW(wnd, WM_CHAR, c, 1);
    PumpMessages(30);
}

std::wstring RepeatedAccessKeys(HMENU menu)
{
    std::wstring clashes;
    std::map<wchar_t, std::vector<std::wstring>> byKey;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = L"";
        GetMenuStringW(menu, i, text, 256, MF_BYPOSITION);
        // "&&" is a plain ampersand; the first single one marks the key.
        for (const wchar_t* p = text; *p; ++p) {
            if (*p != L'&')
                continue;
            if (p[1] == L'&') {
                ++p;
                continue;
            }
            if (p[1]) {
                wchar_t key = p[1];
                CharUpperBuffW(&key, 1);
                byKey[key].push_back(text);
            }
            break;
        }
        if (HMENU sub = GetSubMenu(menu, i))
            clashes += RepeatedAccessKeys(sub);
    }
    for (const auto& entry : byKey) {
        if (entry.second.size() < 2)
            continue;
        clashes += std::wstring(1, entry.first) + L":";
        for (const std::wstring& item : entry.second)
            clashes += L" " + item;
        clashes += L"\n";
    }
    return clashes;
}

}  // namespace wintest
