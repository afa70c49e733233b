// Files that neither program can work on, made from a sample database in a folder of the test,
// each with the reason both programs give for it (the data layer's reason at open, or the schema
// check's): an empty file, a truncated one, a text renamed .mdb, another program's SQLite file, a
// Zorna database without a table or a key attribute's column, one with bytes flipped in a page
// every open reads, one another program holds locked, and a read-only one (which the main
// program opens for reading, and the utilities refuse).
#pragma once
#include <windows.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "core/msgboxtext.h"
#include "core/schemacheck.h"
#include "dataaccess/refusals.h"
#include "resources/schemacheck_ids.h"
#include "tests/core/dbfixture.h"
#include "tests/support/wintest.h"
#include "tools/testkit/rawodbc.h"

namespace badfiles {

struct BadFile {
    std::wstring what;    // for the failure messages
    std::wstring path;
    std::wstring reason;  // the text of the refusal starts with it
    bool readOnly = false;
};

// Flips count bytes of a file from offset on.
inline bool FlipBytes(const std::wstring& path, long long offset, int count)
{
    std::string bytes = wintest::ReadFileBytes(path);
    if (offset < 0 || offset + count > (long long)bytes.size())
        return false;
    for (int i = 0; i < count; ++i)
        bytes[(size_t)offset + i] = (char)(bytes[(size_t)offset + i] ^ 0xA5);
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(h, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    CloseHandle(h);
    return ok && written == bytes.size();
}

// The text of a schema entry as the program's string table gives it.
inline std::wstring SchemaText(UINT id, std::initializer_list<const wchar_t*> inserts)
{
    return ResourceText(GetModuleHandleW(nullptr), id, inserts);
}

// The engine's own verdict on a file (its integrity check's first line).
inline std::wstring IntegrityOf(const std::wstring& path)
{
    zor::RawOdbc raw;
    if (!raw.Open(path, false))
        return L"cannot open";
    std::vector<std::vector<std::wstring>> rows;
    if (!raw.Query(L"PRAGMA integrity_check", rows) || rows.empty() || rows[0].empty())
        return raw.LastError();
    return rows[0][0];
}

class BadFiles {
public:
    // From a copy of the sample database (a Zorna database whose ZORNACOLLS has the key
    // attribute DATUM), in the folder.
    BadFiles(const std::wstring& folder, const std::wstring& sample)
    {
        auto copy = [&](const wchar_t* name) {
            std::wstring path = folder + L"\\" + name;
            EXPECT_TRUE(CopyFileW(sample.c_str(), path.c_str(), FALSE)) << dbtest::Narrow(path);
            return path;
        };
        using zdata::OpenRefusalText;
        using zdata::RefusalKind;

        std::wstring empty = folder + L"\\prázdná.mdb";
        CloseHandle(CreateFileW(empty.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        files_.push_back({L"empty", empty, OpenRefusalText(RefusalKind::NotADatabase, empty)});

        std::wstring cut = copy(L"zkrácená.mdb");
        {
            HANDLE h = CreateFileW(cut.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            LARGE_INTEGER size = {}, half = {};
            GetFileSizeEx(h, &size);
            half.QuadPart = size.QuadPart / 2;
            SetFilePointerEx(h, half, nullptr, FILE_BEGIN);
            SetEndOfFile(h);
            CloseHandle(h);
        }
        files_.push_back({L"truncated", cut, OpenRefusalText(RefusalKind::Damaged, cut)});

        std::wstring text = folder + L"\\text.mdb";
        EXPECT_TRUE(wintest::WriteUtf8File(text, L"Toto je seznam druhů, ne databáze.\r\nCarabus auratus\r\n"));
        files_.push_back({L"text", text, OpenRefusalText(RefusalKind::NotADatabase, text)});

        std::wstring foreign = folder + L"\\cizí.mdb";
        {
            zor::RawOdbc raw;
            EXPECT_TRUE(raw.Open(foreign, true));
            EXPECT_TRUE(raw.Exec(L"CREATE TABLE ADRESAR (JMENO TEXT, TELEFON TEXT)"));
        }
        files_.push_back({L"foreign", foreign,
                          SchemaText(IDS_SCHEMA_MISSING_TABLE, {foreign.c_str(), L"SYSDEF"})});

        std::wstring noLevels = copy(L"bez_SYSDEF.mdb");
        EXPECT_TRUE(Exec(noLevels, {L"PRAGMA foreign_keys = OFF", L"DROP TABLE SYSDEF"}));
        files_.push_back({L"without SYSDEF", noLevels,
                          SchemaText(IDS_SCHEMA_MISSING_TABLE, {noLevels.c_str(), L"SYSDEF"})});

        std::wstring noLiterature = copy(L"bez_LITERATURE.mdb");
        EXPECT_TRUE(Exec(noLiterature, {L"PRAGMA foreign_keys = OFF", L"DROP VIEW LITVIEW", L"DROP TABLE LITERATURE"}));
        files_.push_back({L"without LITERATURE", noLiterature,
                          SchemaText(IDS_SCHEMA_MISSING_TABLE, {noLiterature.c_str(), L"LITERATURE"})});

        std::wstring noDate = copy(L"bez_DATUM.mdb");
        EXPECT_TRUE(Exec(noDate, {L"DROP INDEX COLL_INDEX", L"ALTER TABLE ZORNACOLLS DROP COLUMN DATUM"}));
        files_.push_back({L"without ZORNACOLLS.DATUM", noDate,
                          SchemaText(IDS_SCHEMA_MISSING_COLUMN, {noDate.c_str(), L"ZORNACOLLS", L"DATUM"})});

        // The head of the level table's first page: both programs read the levels at open.
        std::wstring flipped = copy(L"poškozená.mdb");
        long long pageSize = dbtest::QueryInt(flipped, L"PRAGMA page_size");
        long long root = dbtest::QueryInt(flipped, L"SELECT rootpage FROM sqlite_master WHERE name = 'SYSDEF'");
        EXPECT_GT(root, 1);
        EXPECT_TRUE(FlipBytes(flipped, (root - 1) * pageSize, 20));
        EXPECT_NE(IntegrityOf(flipped), L"ok");
        files_.push_back({L"flipped bytes", flipped, OpenRefusalText(RefusalKind::Damaged, flipped)});

        // Another program writing the file holds it for itself until it ends.
        std::wstring held = copy(L"zamčená.mdb");
        holder_.reset(new zor::RawOdbc);
        EXPECT_TRUE(holder_->Open(held, false));
        EXPECT_TRUE(holder_->Exec(L"BEGIN EXCLUSIVE"));
        files_.push_back({L"locked", held, OpenRefusalText(RefusalKind::Locked, held)});

        std::wstring readOnly = copy(L"jen_pro_čtení.mdb");
        EXPECT_TRUE(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
        files_.push_back({L"read-only", readOnly, OpenRefusalText(RefusalKind::ReadOnly, readOnly), true});
    }
    ~BadFiles()
    {
        Release();
        for (const BadFile& f : files_)
            if (f.readOnly)
                SetFileAttributesW(f.path.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    BadFiles(const BadFiles&) = delete;
    BadFiles& operator=(const BadFiles&) = delete;

    const std::vector<BadFile>& Files() const { return files_; }
    const BadFile& File(const std::wstring& what) const
    {
        for (const BadFile& f : files_)
            if (f.what == what)
                return f;
        ADD_FAILURE() << "no bad file " << dbtest::Narrow(what);
        return files_.front();
    }
    // The other program lets the locked file go.
    void Release()
    {
        if (holder_) {
            holder_->Exec(L"ROLLBACK");
            holder_->Close();
            holder_.reset();
        }
    }

private:
    static bool Exec(const std::wstring& path, const std::vector<std::wstring>& statements)
    {
        zor::RawOdbc raw;
        if (!raw.Open(path, false))
            return false;
        for (const std::wstring& sql : statements)
            if (!raw.Exec(sql)) {
                ADD_FAILURE() << dbtest::Narrow(sql) << ": " << dbtest::Narrow(raw.LastError());
                return false;
            }
        return true;
    }

    std::vector<BadFile> files_;
    std::unique_ptr<zor::RawOdbc> holder_;
};

}  // namespace badfiles
