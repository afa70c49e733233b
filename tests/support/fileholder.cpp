#include "tests/support/fileholder.h"

#include "tools/testkit/rawodbc.h"

namespace wintest {

FileHolder::FileHolder(const std::wstring& path, DWORD holdMs, std::vector<std::wstring> statements)
    : letGo_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), held_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    thread_ = std::thread([this, path, holdMs, statements] {
        zor::RawOdbc raw;
        bool held = raw.Open(path, false);
        for (const std::wstring& sql : statements)
            held = held && raw.Exec(sql);
        holding_ = held;
        SetEvent(held_);
        if (!held)
            return;
        WaitForSingleObject(letGo_, holdMs);
        holding_ = false;
        raw.Exec(L"ROLLBACK");
    });
    WaitForSingleObject(held_, 30000);
}

FileHolder::~FileHolder()
{
    LetGo();
    CloseHandle(letGo_);
    CloseHandle(held_);
}

void FileHolder::LetGo()
{
    SetEvent(letGo_);
    if (thread_.joinable())
        thread_.join();
}

}  // namespace wintest
