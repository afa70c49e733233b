// A registry key with everything below it, kept as it was and put back so: the test programs and
// the benchmarks change the programs' own keys of the Wine prefix (the last workspace file, the
// program folder, the import logs' folder), and the prefix must be left to the user as it was
// found.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace wintest {

class RegistrySnapshot {
public:
    // Reads the key (a missing key is remembered as missing).
    RegistrySnapshot(HKEY root, const std::wstring& path);
    ~RegistrySnapshot();
    // Makes the key what it was when read: every value and subkey added since is removed,
    // every one changed or removed is written back; a key that was missing is deleted.
    void Restore() const;
    // Whether the key is now as it was when read (every value and subkey, or missing as it was).
    bool Unchanged() const;

    struct Value {
        std::wstring name;
        DWORD type;
        std::vector<BYTE> data;
    };
    struct Key {
        std::wstring name;
        std::vector<Value> values;
        std::vector<std::unique_ptr<Key>> subkeys;
    };

private:
    HKEY root_;
    std::wstring path_;
    std::unique_ptr<Key> saved_;  // null: the key did not exist
};

// The programs' keys of the prefix, HKCU and HKLM "Software\Kelvane" (the last workspace file,
// the program folder, the import logs' folder), as they were when read.
class ProgramKeys {
public:
    ProgramKeys();
    void Restore() const;
    bool Unchanged() const;

private:
    RegistrySnapshot user_, machine_;
};

}  // namespace wintest
