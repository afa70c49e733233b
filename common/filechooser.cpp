#include "common/filechooser.h"

#include <shlobj.h>

namespace {

FileDialogFn g_open = nullptr;
FileDialogFn g_save = nullptr;
FolderDialogFn g_folder = nullptr;

// Starts the folder browser in the caller's folder.
int CALLBACK BrowseCallback(HWND wnd, UINT msg, LPARAM, LPARAM data)
{
    if (msg == BFFM_INITIALIZED && data)
        SendMessageW(wnd, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

bool BrowseForFolder(HWND owner, const wchar_t* title, std::wstring* folder)
{
    BROWSEINFOW bi = {};
    bi.hwndOwner = owner;
    bi.lpszTitle = title;
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    bi.lpfn = BrowseCallback;
    bi.lParam = (folder && !folder->empty()) ? (LPARAM)folder->c_str() : 0;
    PIDLIST_ABSOLUTE pidl = SHBrowseForFolderW(&bi);
    if (!pidl)
        return false;
    // Folder paths may be longer than MAX_PATH: ask with a buffer that grows.
    std::wstring path(MAX_PATH, L'\0');
    bool ok = false;
    for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
        path.assign(size, L'\0');
        if (SHGetPathFromIDListEx(pidl, &path[0], size, GPFIDL_DEFAULT)) {
            path.resize(wcslen(path.c_str()));
            ok = !path.empty();
            break;
        }
    }
    CoTaskMemFree(pidl);
    if (ok && folder)
        *folder = path;
    return ok;
}

}  // namespace

std::wstring LoadFileFilter(HINSTANCE instance, UINT id)
{
    const wchar_t* text = nullptr;
    int length = LoadStringW(instance, id, reinterpret_cast<wchar_t*>(&text), 0);
    std::wstring filter = length > 0 && text ? std::wstring(text, (size_t)length) : std::wstring();
    for (wchar_t& c : filter) {
        if (c == L'\x01')
            c = L'\0';
    }
    // Two nulls end the list: the string's own and the one c_str() adds.
    if (filter.empty() || filter.back() != L'\0')
        filter += L'\0';
    return filter;
}

BOOL ChooseFileToOpen(OPENFILENAMEW* ofn)
{
    return g_open ? g_open(ofn) : GetOpenFileNameW(ofn);
}

BOOL ChooseFileToSave(OPENFILENAMEW* ofn)
{
    return g_save ? g_save(ofn) : GetSaveFileNameW(ofn);
}

bool ChooseFolder(HWND owner, const wchar_t* title, std::wstring* folder)
{
    return g_folder ? g_folder(owner, title, folder) : BrowseForFolder(owner, title, folder);
}

FileDialogFn SetOpenFileChooser(FileDialogFn chooser)
{
    FileDialogFn previous = g_open;
    g_open = chooser;
    return previous;
}

FileDialogFn SetSaveFileChooser(FileDialogFn chooser)
{
    FileDialogFn previous = g_save;
    g_save = chooser;
    return previous;
}

FolderDialogFn SetFolderChooser(FolderDialogFn chooser)
{
    FolderDialogFn previous = g_folder;
    g_folder = chooser;
    return previous;
}
