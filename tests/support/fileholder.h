// Another program holding a database file: a raw connection of its own, on a thread of its own,
// in a transaction until let go or for holdMs at the longest. An exclusive one by default (every
// other connection's reads and writes wait for it); a reading one ("BEGIN", then a query) lets
// others read and begin writing, but keeps their commits waiting.
#pragma once
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace wintest {

class FileHolder {
public:
    // Returns once the file is held (or could not be: Holding() is then false).
    FileHolder(const std::wstring& path, DWORD holdMs,
               std::vector<std::wstring> statements = {L"BEGIN EXCLUSIVE"});
    ~FileHolder();
    FileHolder(const FileHolder&) = delete;
    FileHolder& operator=(const FileHolder&) = delete;

    bool Holding() const { return holding_; }
    // Ends the transaction and waits until the connection is closed.
    void LetGo();

private:
    HANDLE letGo_;
    HANDLE held_;
    std::atomic<bool> holding_{false};
    std::thread thread_;
};

// A message sent to a window from a thread of its own after a delay; whether the window answered
// it within the timeout, and whether the file was still held then.
class WindowProbe {
public:
    WindowProbe(HWND window, DWORD delayMs, DWORD timeoutMs, const FileHolder& holder)
        : thread_([=, &holder] {
              Sleep(delayMs);
              DWORD_PTR result = 0;
              answered_ = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
              whileHeld_ = answered_ && holder.Holding();
              done_ = true;
          })
    {
    }
    ~WindowProbe() { thread_.join(); }
    bool Done() const { return done_; }
    bool AnsweredWhileHeld() const { return whileHeld_; }

private:
    std::atomic<bool> done_{false}, answered_{false}, whileHeld_{false};
    std::thread thread_;
};

}  // namespace wintest
