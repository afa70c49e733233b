// Programs of the host system (under Wine): Ghostscript, ImageMagick, Poppler, which tests use to
// read back what the programs wrote.
#pragma once
#include <string>

namespace wintest {

// The host's path of a Windows path; empty where there is no host (not under Wine).
std::string HostPath(const std::wstring& path);
// Whether the host has a file at that path (e.g. "/usr/bin/gs").
bool HostHas(const char* unixPath);
// Runs a command through the host's shell and waits up to two minutes for it: its exit status,
// or -1 when it could not be run or did not end. (A Unix process's handle does not tell its end
// under Wine: the command leaves its status in a file.)
int RunHostShell(const std::string& command);

// A small disk of its own (a tmpfs mounted on a fresh folder, where the host lets the test mount
// one), filled up on demand: a real full disk, which also refuses the engine's journal. Unmounted
// and removed at the end.
class SmallDisk {
public:
    SmallDisk();
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool Mounted() const { return mounted_; }
    std::wstring File(const wchar_t* name) const { return folder_ + L"\\" + name; }
    // Takes every free byte, or gives them back.
    void Fill();
    void Free();

private:
    std::wstring folder_;
    std::string host_;
    bool mounted_ = false;
};

}  // namespace wintest
