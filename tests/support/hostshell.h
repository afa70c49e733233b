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

}  // namespace wintest
