#include "import/importlog.h"

#include <shlobj.h>
#include <strsafe.h>

#include "core/longpath.h"
#include "core/msgboxtext.h"
#include "resources/tarnix/resource.h"

namespace {

const wchar_t kDataKey[] = L"Software\\Kelvane\\Z211";
const wchar_t kDataValue[] = L"Z211 Data";
const wchar_t kDefaultSubfolder[] = L"Kelvane\\Zorna2011\\";

DWORD LastErrorOr(DWORD fallback)
{
    DWORD error = GetLastError();
    return error ? error : fallback;
}

std::wstring WithBackslash(std::wstring folder)
{
    if (folder.empty() || folder.back() != L'\\')
        folder += L'\\';
    return folder;
}

std::wstring DefaultDataFolder()
{
    wchar_t common[MAX_PATH] = L"";
    SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, common);
    return WithBackslash(common) + kDefaultSubfolder;
}

std::wstring RegistryDataFolder()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDataKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::wstring();
    wchar_t value[1024] = L"";
    DWORD type = 0;
    DWORD bytes = sizeof(value) - sizeof(wchar_t);
    LONG rc = RegQueryValueExW(key, kDataValue, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_SZ)
        return std::wstring();
    value[bytes / sizeof(wchar_t)] = 0;
    return value;
}

bool FormatInto(const std::wstring& folder, const SYSTEMTIME& t, wchar_t* path, int size)
{
    wchar_t name[64];
    StringCchPrintfW(name, 64, L"Imp%d%.2d%.2d_%.2d%.2d%.2d.log", t.wYear, t.wMonth, t.wDay,
                     t.wHour, t.wMinute, t.wSecond);
    std::wstring full = WithBackslash(folder) + name;
    if ((int)full.size() >= size)
        return false;
    StringCchCopyW(path, size, full.c_str());
    return true;
}

}  // namespace

std::wstring ImportDataFolder()
{
    std::wstring folder = RegistryDataFolder();
    return folder.empty() ? DefaultDataFolder() : WithBackslash(folder);
}

bool FormatImportLogPath(const std::wstring& folder, const SYSTEMTIME& time, wchar_t* path, int size)
{
    if (size <= 0)
        return false;
    path[0] = 0;
    return FormatInto(folder, time, path, size) || FormatInto(DefaultDataFolder(), time, path, size);
}

void BuildImportLogPath(ImportLog* log)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    FormatImportLogPath(ImportDataFolder(), now, log->LogPath, ARRAYSIZE(log->LogPath));
}

const wchar_t* GetImportLogPath(const ImportLog* log)
{
    return log->LogPath;
}

BOOL DeleteImportLog(const ImportLog* log)
{
    return DeleteFileW(log->LogPath);
}

bool OpenImportLog(ImportLog* log, zdata::Connection* connection)
{
    log->ErrorCount = 0;
    log->NoteCount = 0;
    log->Connection = connection;
    log->LogFile = nullptr;
    log->LostError = 0;
    log->Pending.clear();
    BuildImportLogPath(log);
    if (!log->LogPath[0]) {
        log->LostError = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    std::wstring folder = log->LogPath;
    folder.erase(folder.find_last_of(L'\\'));
    SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    HANDLE file = CreateFileW(log->LogPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        log->LostError = LastErrorOr(ERROR_CANNOT_MAKE);
        return false;
    }
    log->LogFile = file;
    return true;
}

namespace {

// The log's text is written in pieces of about this size, as a buffered stream would.
const size_t kLogChunk = 64 * 1024;

void WritePending(ImportLog* log)
{
    if (log->Pending.empty())
        return;
    if (!log->LostError) {
        if (!log->LogFile)
            log->LostError = ERROR_INVALID_HANDLE;
        else if (!WriteAll(log->LogFile, log->Pending.data(), log->Pending.size()))
            log->LostError = LastErrorOr(ERROR_WRITE_FAULT);
    }
    log->Pending.clear();
}

}  // namespace

void WriteLogText(ImportLog* log, const wchar_t* text)
{
    if (!text || !*text)
        return;
    // One conversion into room for the most any code page needs (three bytes for a UTF-16 unit):
    // a large file may log most of its rows, and asking for the size first doubled the cost.
    size_t length = wcslen(text);
    std::string& pending = log->Pending;
    size_t at = pending.size();
    pending.resize(at + length * 3 + 1);
    // Decomposed letters (a combining mark after its base) are composed for the code page; the
    // check is asked for only when there is one, as the system's composing check is slow.
    bool combining = false;
    for (size_t i = 0; i < length && !combining; ++i)
        combining = text[i] >= 0x0300 && text[i] <= 0x036F;
    int bytes = WideCharToMultiByte(CP_ACP, combining ? WC_COMPOSITECHECK : 0, text, (int)length, &pending[at],
                                    (int)(pending.size() - at), nullptr, nullptr);
    pending.resize(at + (bytes > 0 ? (size_t)bytes : 0));
    if (pending.size() >= kLogChunk)
        WritePending(log);
}

namespace {

void WriteLogLine(ImportLog* log, const std::wstring& text)
{
    WriteLogText(log, (text + L"\r\n").c_str());
}

void WriteEntryHead(ImportLog* log, int line)
{
    ++log->ErrorCount;
    WriteLogLine(log, std::wstring(log->LinePrefix) + std::to_wstring(line));
}

void WriteConnectionErrors(ImportLog* log)
{
    zdata::Errors* errors = nullptr;
    if (!log->Connection || FAILED(log->Connection->get_Errors(&errors)) || !errors)
        return;
    for (zdata::Error* error : errors->Items()) {
        BSTR source = nullptr;
        BSTR description = nullptr;
        error->get_Source(&source);
        error->get_Description(&description);
        WriteLogLine(log, std::wstring(log->SourcePrefix) + (source ? source : L""));
        WriteLogLine(log, std::wstring(log->DescPrefix) + (description ? description : L""));
        SysFreeString(source);
        SysFreeString(description);
        error->Release();
    }
    errors->Release();
}

}  // namespace

void LogImportError(ImportLog* log, int line, const wchar_t* message)
{
    WriteEntryHead(log, line);
    WriteLogLine(log, message ? message : L"");
}

void LogImportNote(ImportLog* log, int line, const wchar_t* message)
{
    ++log->NoteCount;
    WriteLogLine(log, std::wstring(log->NotePrefix) + std::to_wstring(line) + L"\r\n" + (message ? message : L""));
}

void LogImportLine(ImportLog* log, const wchar_t* text)
{
    WriteLogLine(log, text ? text : L"");
}

void LogAdoErrors(ImportLog* log, int line)
{
    WriteEntryHead(log, line);
    WriteConnectionErrors(log);
}

void LoadImportLogPrefixes(ImportLog* log, HINSTANCE instance)
{
    LoadStringW(instance, IDS_I_LOG_LINE, log->LinePrefix, 64);
    LoadStringW(instance, IDS_I_LOG_NOTE_LINE, log->NotePrefix, 64);
    LoadStringW(instance, IDS_I_LOG_SOURCE, log->SourcePrefix, 32);
    LoadStringW(instance, IDS_I_LOG_DESCRIPTION, log->DescPrefix, 32);
}

int CloseImportLog(ImportLog* log)
{
    WritePending(log);
    if (log->LogFile) {
        if (!CloseHandle(log->LogFile) && !log->LostError)
            log->LostError = LastErrorOr(ERROR_WRITE_FAULT);
        log->LogFile = nullptr;
    }
    return log->ErrorCount;
}

std::wstring ImportLogLostText(HINSTANCE instance, const ImportLog* log)
{
    if (!log->LostError || LogEntryCount(log) == 0)
        return std::wstring();
    return ResourceText(instance, IDS_I_LOG_INCOMPLETE, {log->LogPath, SystemErrorText(log->LostError).c_str()});
}
