// Headless imports of generated exchange files into a copy of the sample database: the file and
// the copy in a folder of the test, the import logs in another (the data folder's registry
// value), both removed at the end; the groups mapped as a user would (units onto the sample's
// levels of the same name or a named one, everything else created).
#pragma once
#include <windows.h>
#include <gtest/gtest.h>

#include <strsafe.h>

#include <map>
#include <string>
#include <vector>

#include "core/msgbox.h"
#include "core/textutil.h"
#include "tools/exchangegen/exchangegen.h"
#include "import/impsource.h"
#include "import/importrun.h"
#include "import/importsources.h"
#include "import/impwizard.h"
#include "resources/tarnix/resource.h"
#include "tests/support/wintest.h"
#include "tests/structure/tarnixtest.h"
#include "tests/import/testimpsource.h"

namespace exchangetest {

using namespace tarnixtest;

inline int AnswerOk(HWND, LPCWSTR, LPCWSTR, UINT) { return IDOK; }

class ExchangeImport {
public:
    ExchangeImport() : folder_(dbtest::TestFolderName("tarnix_exchange_").c_str())
    {
        // The logs go into a folder of the test that the first log makes.
        RegisterImportSources();
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Kelvane\\Z211", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                        nullptr);
        std::wstring logs = folder_.Path() + L"\\logs";
        RegSetValueExW(key_, L"Z211 Data", 0, REG_SZ, reinterpret_cast<const BYTE*>(logs.c_str()),
                       (DWORD)((logs.size() + 1) * sizeof(wchar_t)));
        previousHook_ = SetMsgBoxHook(AnswerOk);
    }
    ~ExchangeImport()
    {
        RegDeleteValueW(key_, L"Z211 Data");
        RegCloseKey(key_);
        SetMsgBoxHook(previousHook_);
    }
    const std::wstring& Db() const { return copy_.Path(); }
    std::wstring File(const wchar_t* name) const { return folder_.File(name); }

    // Every group left as the wizard's mapping page proposes it (unitTargets and skipped unused).
    bool proposed = false;
    // Source units mapped onto a target level of another name ("Země" onto "Kraj").
    std::map<std::wstring, std::wstring> unitTargets = {{L"Země", L"Kraj"}};
    // Source entries not imported.
    std::vector<std::wstring> skipped;
    int cancelAtPercent = -1;
    int errors = 0;       // log entries of the last run
    UINT finish = 0;      // the text it ended with
    std::wstring log;     // its text
    bool opened = false;  // whether the source took the file
    std::map<std::wstring, std::wstring> columns;  // attribute name -> column made for it

    // Writes bytes as the file and imports it with a source of the type.
    ImportOutcome Run(int type, const std::string& bytes, const wchar_t* name = L"data.zx")
    {
        std::wstring path = folder_.File(name);
        EXPECT_TRUE(exgen::WriteBytes(path, bytes));
        return RunFile(type, path);
    }
    // Imports the file with a source of the type.
    ImportOutcome RunFile(int type, const std::wstring& path)
    {
        LoadedStructure s(Db());
        EXPECT_NO_FATAL_FAILURE(s.Open());
        ImportJob job;
        InitImportJob(&job, &s.Db(), &s.Model());
        SelectImportSourceType(&job, Inst(), type);
        IImpSource* source = job.Source;
        LoadStringW(Inst(), IDS_I_LOG_LINE, source->LinePrefix, 64);
        LoadStringW(Inst(), IDS_I_LOG_SOURCE, source->SourcePrefix, 32);
        LoadStringW(Inst(), IDS_I_LOG_DESCRIPTION, source->DescPrefix, 32);
        opened = OpenImportSource(&job, path.c_str());
        ImportOutcome outcome = IMPORT_FAILED;
        if (opened) {
            Map(&job);
            importtest::RecordingSink sink;
            sink.cancelAtPercent = cancelAtPercent;
            outcome = RunImportFrame(&job, &sink);
            for (int g = 0; g < 8; ++g)
                if (IsMappingKind(job.GroupKinds[g]) && !IsUnitKind(job.GroupKinds[g]))
                    for (int i = 0; i < job.GroupItems[g]->GetCount(); ++i) {
                        AttrImportEntry* attr = static_cast<AttrImportEntry*>(job.GroupItems[g]->GetItems()[i]);
                        columns[attr->SourceName] = attr->TargetColumn;
                    }
            errors = sink.errorsLogged;
            finish = sink.finish;
            log = errors ? ReadLog(source->LogPath) : std::wstring();
            if (errors)
                DeleteImportLog(source);
        }
        FreeImportJob(&job);
        s.Db().Close();
        return outcome;
    }

    // The number of log entries that hold text.
    int Count(const std::wstring& text) const
    {
        int n = 0;
        for (size_t at = log.find(text); at != std::wstring::npos; at = log.find(text, at + 1))
            ++n;
        return n;
    }
    // Whether an import left a log file in the logs' folder.
    bool LogsLeft() const
    {
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((folder_.Path() + L"\\logs\\Imp*.log").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE)
            return false;
        FindClose(find);
        return true;
    }
    // Whether an entry for the line holds text.
    bool Logged(int line, const std::wstring& text) const
    {
        std::wstring head = ResString(IDS_I_LOG_LINE) + std::to_wstring(line) + L"\r\n" + text;
        return log.find(head) != std::wstring::npos;
    }

private:
    void Map(ImportJob* job)
    {
        for (int g = 1; g <= job->Source->GetGroupCount(); ++g) {
            int kind = job->Source->FillGroup(g, job->GroupItems[g - 1], nullptr);
            job->GroupKinds[g - 1] = kind;
            CPtrArray* items = job->GroupItems[g - 1];
            for (int i = 0; i < items->GetCount(); ++i) {
                void* item = items->GetItems()[i];
                if (proposed) {
                    Propose(job, kind, item);
                } else if (IsUnitKind(kind)) {
                    UnitEntry* unit = static_cast<UnitEntry*>(item);
                    std::wstring target = unitTargets.count(unit->SourceName) ? unitTargets[unit->SourceName]
                                                                              : unit->SourceName;
                    StringCchCopyW(unit->TargetName, 64, target.c_str());
                    unit->State = Skipped(unit->SourceName) ? CHOICE_SKIP
                                  : HasLevel(job, kind, target) ? CHOICE_MAP
                                                                : CHOICE_CREATE;
                } else {
                    AttrImportEntry* attr = static_cast<AttrImportEntry*>(item);
                    StringCchCopyW(attr->TargetName, 64, attr->SourceName);
                    attr->State = Skipped(attr->SourceName) ? CHOICE_SKIP
                                  : HasAttr(job, kind, attr->SourceName) ? CHOICE_MAP
                                                                         : CHOICE_CREATE;
                }
            }
        }
    }
    // As the mapping page stores a proposal it leaves alone: the item of its place in the list
    // (after " .. Zavést" and " .. Nezavádět"), else created under the source's name.
    static void Propose(ImportJob* job, int kind, void* item)
    {
        int choice = ProposeTargetItem(job->Model, kind, item);
        ItemList* list = &job->Model->Lists[ModelListOfKind(kind)];
        const wchar_t* target = nullptr;
        if (choice >= 2)
            target = IsUnitKind(kind) ? LevelAt(list, choice - 2)->Name : AttrAt(list, choice - 2)->Caption;
        if (IsUnitKind(kind)) {
            UnitEntry* unit = static_cast<UnitEntry*>(item);
            StringCchCopyW(unit->TargetName, 64, target ? target : unit->SourceName);
            unit->State = target ? CHOICE_MAP : CHOICE_CREATE;
        } else {
            AttrImportEntry* attr = static_cast<AttrImportEntry*>(item);
            StringCchCopyW(attr->TargetName, 64, target ? target : attr->SourceName);
            attr->State = target ? CHOICE_MAP : CHOICE_CREATE;
        }
    }
    bool Skipped(const wchar_t* name) const
    {
        for (const std::wstring& s : skipped)
            if (s == name)
                return true;
        return false;
    }
    static bool HasLevel(ImportJob* job, int kind, const std::wstring& name)
    {
        ItemList* levels = &job->Model->Lists[ModelListOfKind(kind)];
        for (int i = 0; i < levels->Count; ++i)
            if (SameTextNoCase(LevelAt(levels, i)->Name, name.c_str()))
                return true;
        return false;
    }
    static bool HasAttr(ImportJob* job, int kind, const std::wstring& caption)
    {
        ItemList* attrs = &job->Model->Lists[ModelListOfKind(kind)];
        for (int i = 0; i < attrs->Count; ++i)
            if (SameTextNoCase(AttrAt(attrs, i)->Caption, caption.c_str()))
                return true;
        return false;
    }
    static std::wstring ReadLog(const wchar_t* path)
    {
        std::string bytes = wintest::ReadFileBytes(path);
        int n = MultiByteToWideChar(1250, 0, bytes.data(), (int)bytes.size(), nullptr, 0);
        std::wstring text((size_t)n, L'\0');
        if (n > 0)
            MultiByteToWideChar(1250, 0, bytes.data(), (int)bytes.size(), &text[0], n);
        return text;
    }

    wintest::ScopedTempFolder folder_;
    SampleCopy copy_;
    HKEY key_ = nullptr;
    MsgBoxHook previousHook_ = nullptr;
};

// The first line in which two dumps differ, for the failure message.
inline std::string FirstDifference(const std::wstring& a, const std::wstring& b)
{
    size_t at = 0;
    while (at < a.size() && at < b.size() && a[at] == b[at])
        ++at;
    size_t start = a.rfind(L'\n', at);
    start = start == std::wstring::npos ? 0 : start + 1;
    return dbtest::Narrow(a.substr(start, 200)) + "\n<>\n" + dbtest::Narrow(b.substr(start, 200));
}

// Hexadecimal of a little-endian point as the test computes it, with z when given.
inline std::wstring WkbHex(double x, double y, const double* z)
{
    std::vector<unsigned char> bytes = {1};
    auto append = [&](const void* value, size_t size) {
        const unsigned char* p = static_cast<const unsigned char*>(value);
        bytes.insert(bytes.end(), p, p + size);
    };
    unsigned type = z ? 1001 : 1;
    append(&type, 4);
    append(&x, 8);
    append(&y, 8);
    if (z)
        append(z, 8);
    std::wstring hex;
    wchar_t two[3];
    for (unsigned char b : bytes) {
        swprintf(two, 3, L"%02X", b);
        hex += two;
    }
    return hex;
}

// A value of the copy as text ("" for none).
inline std::wstring Value(const std::wstring& db, const std::wstring& sql)
{
    return dbtest::First(db, sql);
}

}  // namespace exchangetest
