// File paths of any length: a path the file functions would refuse for its length (MAX_PATH
// characters and more) is handed to them as an extended-length path ("\\?\C:\..."), and whole
// files are read and written through such paths.
#pragma once
#include <windows.h>

#include <string>

// The path as the file functions take it: as it is when short, else made full and given the
// extended-length prefix.
std::wstring FileSystemPath(const wchar_t* path);

// Reads at most limit bytes of the file (all of it for 0); false when it cannot be read.
bool ReadFileHead(const wchar_t* path, size_t limit, std::string* bytes);
// Writes the bytes in place of the file, whole or not at all: false when it cannot be written
// whole, the old file (or none) being left as it was.
bool WriteWholeFile(const wchar_t* path, const void* bytes, size_t size);
// Writes all the bytes to an open file; false when any of them could not be written.
bool WriteAll(HANDLE file, const void* bytes, size_t size);
// Tests: from now on the writes above put only this many bytes more on the disk, then fail as
// on a full disk; -1 lifts the limit. Returns the previous limit.
long long SetWriteLimitForTests(long long bytes);
