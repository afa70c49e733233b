// Shared by the benchmark programs that work through CDatabase: the hidden main window the
// database reports to, the open as the program does it, and single-value queries.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "bench/benchutil.h"
#include "core/database.h"
#include "tools/testkit/rawodbc.h"
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

// Hands the first column's value of each row of a query, up to limit rows, to take(VARIANT&).
template <class Take>
inline void EachFirstValue(CDatabase& db, const wchar_t* sql, long limit, Take take)
{
    zdata::Recordset* rs = db.OpenQuery(sql, adUseServer, adOpenForwardOnly, adLockReadOnly);
    zdata::Fields* fields = nullptr;
    if (rs && SUCCEEDED(rs->get_Fields(&fields)) && fields) {
        for (long n = 0; n < limit && !rs->IsEOF(); ++n, rs->MoveNext()) {
            zdata::Field* f = nullptr;
            if (SUCCEEDED(fields->Item(0L, &f)) && f) {
                VARIANT v;
                VariantInit(&v);
                f->get_Value(&v);
                take(v);
                VariantClear(&v);
                f->Release();
            }
        }
        fields->Release();
    }
    if (rs) {
        rs->Close();
        rs->Release();
    }
}

// Asks for the cells of rows [first, end) and columns [firstColumn, endColumn) one by one, as a
// virtual list view asks for the cells it draws; cell answers each request.
template <class Cell>
void ReadListCells(int first, int end, int firstColumn, int endColumn, Cell cell)
{
    wchar_t text[260];
    for (int row = first; row < end; ++row)
        for (int col = firstColumn; col < endColumn; ++col) {
            LVITEMW item = {};
            item.mask = LVIF_TEXT;
            item.iItem = row;
            item.iSubItem = col;
            item.pszText = text;
            item.cchTextMax = 260;
            cell(&item);
        }
}

// The first column of the query's first row as an integer; -1 when there is none.
inline int FirstInt(CDatabase& db, const wchar_t* sql)
{
    int value = -1;
    EachFirstValue(db, sql, 1, [&value](VARIANT& v) {
        VARIANT i;
        VariantInit(&i);
        if (SUCCEEDED(VariantChangeType(&i, &v, 0, VT_I4)))
            value = i.lVal;
    });
    return value;
}

// The working copy of a benchmark database in which one species has a given number of records
// (the generated databases spread records far thinner): beside the database, "<name>_taxon.mdb".
inline std::wstring TaxonCopyPath(const std::wstring& path)
{
    size_t dot = path.find_last_of(L'.');
    return (dot == std::wstring::npos ? path : path.substr(0, dot)) + L"_taxon.mdb";
}

// Makes the working copy when it is missing and gives the species with the most records that many
// records, taken from other species; returns its id, or -1.
inline int PrepareTaxonCopy(const std::wstring& from, const std::wstring& copy, int wanted)
{
    zor::RawOdbc raw;
    if (GetFileAttributesW(copy.c_str()) == INVALID_FILE_ATTRIBUTES) {
        printf("copying the database and giving one species %d records...\n", wanted);
        fflush(stdout);
        if (!CopyDatabase(from, copy))
            return -1;
    }
    if (!raw.Open(copy, false))
        return -1;
    int taxon = (int)raw.QueryInt(
        L"SELECT SYSID FROM ZORNACOLLS GROUP BY SYSID ORDER BY COUNT(*) DESC, SYSID LIMIT 1");
    long long have = raw.QueryInt(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE SYSID = " + std::to_wstring(taxon));
    // A record that would duplicate one of the species' (same locality and day) stays where it
    // is; the next rows by id are taken instead.
    long long after = 0;
    const std::wstring id = std::to_wstring(taxon);
    while (have < wanted) {
        std::wstring rows = L"SELECT ID FROM ZORNACOLLS WHERE SYSID <> " + id + L" AND ID > " +
                            std::to_wstring(after) + L" ORDER BY ID LIMIT " + std::to_wstring(wanted - have);
        long long last = raw.QueryInt(L"SELECT MAX(ID) FROM (" + rows + L")", -1);
        if (last < 0)
            break;
        if (!raw.Exec(L"UPDATE OR IGNORE ZORNACOLLS SET SYSID = " + id + L" WHERE ID IN (" + rows + L")")) {
            printf("could not move records: %ls\n", raw.LastError().c_str());
            return -1;
        }
        after = last;
        have = raw.QueryInt(L"SELECT COUNT(*) FROM ZORNACOLLS WHERE SYSID = " + id);
    }
    return taxon;
}
