// Shared by the benchmark programs that work through CDatabase: the hidden main window the
// database reports to, the open as the program does it, and single-value queries.
#pragma once
#include <windows.h>

#include <string>

#include "bench/benchutil.h"
#include "core/database.h"
#include "core/zm_messages.h"

// Set when the main window hears ZM_DB_OPENED; OpenDatabase clears it before each open.
inline bool g_dbOpened = false;

// The main window's procedure: notes the end of the opening. A bench whose main window answers
// more messages passes the others on to it.
inline LRESULT CALLBACK DbWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == ZM_DB_OPENED) {
        g_dbOpened = true;
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// A hidden main window of its own class; with parent HWND_MESSAGE a message-only one.
inline HWND CreateDbWindow(const wchar_t* className, DWORD style, int width, int height,
                           HWND parent = nullptr, WNDPROC proc = DbWindowProc)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    RegisterClassW(&wc);  // fails harmlessly for a second window of the class
    return CreateWindowExW(0, className, L"", style, 0, 0, width, height, parent, nullptr, wc.hInstance,
                           nullptr);
}

// Opens the database file as the program does: Open (asynchronous, reporting to the window db
// was made for), messages dispatched until ZM_DB_OPENED, then DiscoverSchema. settings gets the
// connection type and a copy of the path, which the caller frees after Close.
inline bool OpenDatabase(CDatabase& db, ConnSettings* settings, const std::wstring& path)
{
    settings->ConnType = 1;
    settings->DBName = _wcsdup(path.c_str());
    g_dbOpened = false;
    // ZM_DB_OPENED comes whether or not the open succeeds, a refused one included.
    HRESULT hr = db.Open(nullptr, settings);
    MSG msg;
    while (!g_dbOpened && GetMessageW(&msg, nullptr, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return SUCCEEDED(hr) && db.IsOpen() && db.DiscoverSchema();
}

// The first column of the query's first row as an integer; -1 when there is none.
inline int FirstInt(CDatabase& db, const wchar_t* sql)
{
    zdata::Recordset* rs = db.OpenQuery(sql, adUseServer, adOpenForwardOnly, adLockReadOnly);
    int value = -1;
    zdata::Fields* fields = nullptr;
    if (rs && !rs->IsEOF() && SUCCEEDED(rs->get_Fields(&fields)) && fields) {
        zdata::Field* f = nullptr;
        if (SUCCEEDED(fields->Item(0L, &f)) && f) {
            VARIANT v;
            VariantInit(&v);
            f->get_Value(&v);
            VARIANT i;
            VariantInit(&i);
            if (SUCCEEDED(VariantChangeType(&i, &v, 0, VT_I4)))
                value = i.lVal;
            VariantClear(&v);
            f->Release();
        }
        fields->Release();
    }
    if (rs) {
        rs->Close();
        rs->Release();
    }
    return value;
}
