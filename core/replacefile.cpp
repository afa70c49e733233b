#include "core/replacefile.h"

std::wstring CreateTempFileBeside(const wchar_t* target, DWORD* error)
{
    DWORD dummy = 0;
    if (!error)
        error = &dummy;
    *error = 0;
    if (!target || !*target) {
        *error = ERROR_INVALID_NAME;
        return std::wstring();
    }
    std::wstring folder(target);
    const size_t slash = folder.find_last_of(L"\\/");
    folder = slash == std::wstring::npos ? std::wstring(L".") : folder.substr(0, slash + 1);
    if (folder.size() == 3 && folder[1] == L':')
        ;  // a drive's root keeps its backslash
    else if (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    wchar_t temp[MAX_PATH + 16] = {};
    if (folder.size() >= MAX_PATH - 14 || !GetTempFileNameW(folder.c_str(), L"zor", 0, temp)) {
        *error = folder.size() >= MAX_PATH - 14 ? ERROR_FILENAME_EXCED_RANGE : GetLastError();
        if (*error == 0)
            *error = ERROR_PATH_NOT_FOUND;
        return std::wstring();
    }
    return temp;
}

DWORD ReplaceWithTempFile(const std::wstring& temp, const wchar_t* target, DWORD error)
{
    if (temp.empty())
        return error ? error : ERROR_INVALID_PARAMETER;
    if (!error) {
        // A read-only target stays: replacing it would drop the protection the user gave it.
        const DWORD attributes = GetFileAttributesW(target);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            error = ERROR_ACCESS_DENIED;
        else if (!MoveFileExW(temp.c_str(), target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            error = GetLastError() ? GetLastError() : ERROR_ACCESS_DENIED;
    }
    if (error)
        DeleteFileW(temp.c_str());
    return error;
}
