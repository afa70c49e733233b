#include "tests/support/registrysnapshot.h"

#include <algorithm>

namespace wintest {

namespace {

std::unique_ptr<RegistrySnapshot::Key> ReadKey(HKEY key, const std::wstring& name)
{
    std::unique_ptr<RegistrySnapshot::Key> out(new RegistrySnapshot::Key());
    out->name = name;
    DWORD subkeys = 0, values = 0, longestSubkey = 0, longestName = 0, longestData = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values,
                         &longestName, &longestData, nullptr, nullptr) != ERROR_SUCCESS)
        return out;
    std::vector<wchar_t> text(std::max(longestName, longestSubkey) + 2);
    for (DWORD i = 0; i < values; ++i) {
        RegistrySnapshot::Value value;
        DWORD chars = (DWORD)text.size();
        DWORD bytes = longestData;
        value.data.resize(longestData + 2);
        if (RegEnumValueW(key, i, text.data(), &chars, nullptr, &value.type, value.data.data(), &bytes)
            != ERROR_SUCCESS)
            continue;
        value.name.assign(text.data(), chars);
        value.data.resize(bytes);
        out->values.push_back(std::move(value));
    }
    for (DWORD i = 0; i < subkeys; ++i) {
        DWORD chars = (DWORD)text.size();
        if (RegEnumKeyExW(key, i, text.data(), &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            continue;
        std::wstring child(text.data(), chars);
        HKEY sub = nullptr;
        if (RegOpenKeyExW(key, child.c_str(), 0, KEY_READ, &sub) != ERROR_SUCCESS)
            continue;
        out->subkeys.push_back(ReadKey(sub, child));
        RegCloseKey(sub);
    }
    return out;
}

void WriteKey(HKEY parent, const RegistrySnapshot::Key& saved)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(parent, saved.name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return;
    for (const RegistrySnapshot::Value& v : saved.values)
        RegSetValueExW(key, v.name.c_str(), 0, v.type, v.data.data(), (DWORD)v.data.size());
    for (const auto& sub : saved.subkeys)
        WriteKey(key, *sub);
    RegCloseKey(key);
}

bool SameKey(const RegistrySnapshot::Key& a, const RegistrySnapshot::Key& b)
{
    if (_wcsicmp(a.name.c_str(), b.name.c_str()) != 0 || a.values.size() != b.values.size() ||
        a.subkeys.size() != b.subkeys.size())
        return false;
    for (size_t i = 0; i < a.values.size(); ++i) {
        const RegistrySnapshot::Value& x = a.values[i];
        const RegistrySnapshot::Value& y = b.values[i];
        if (_wcsicmp(x.name.c_str(), y.name.c_str()) != 0 || x.type != y.type || x.data != y.data)
            return false;
    }
    for (size_t i = 0; i < a.subkeys.size(); ++i)
        if (!SameKey(*a.subkeys[i], *b.subkeys[i]))
            return false;
    return true;
}

std::unique_ptr<RegistrySnapshot::Key> ReadPath(HKEY root, const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return nullptr;
    std::unique_ptr<RegistrySnapshot::Key> read = ReadKey(key, path);
    RegCloseKey(key);
    return read;
}

}  // namespace

RegistrySnapshot::RegistrySnapshot(HKEY root, const std::wstring& path)
    : root_(root), path_(path), saved_(ReadPath(root, path))
{
}

RegistrySnapshot::~RegistrySnapshot() = default;

void RegistrySnapshot::Restore() const
{
    RegDeleteTreeW(root_, path_.c_str());
    RegDeleteKeyW(root_, path_.c_str());
    if (saved_)
        WriteKey(root_, *saved_);
}

bool RegistrySnapshot::Unchanged() const
{
    std::unique_ptr<Key> now = ReadPath(root_, path_);
    return !now || !saved_ ? !now == !saved_ : SameKey(*now, *saved_);
}

ProgramKeys::ProgramKeys()
    : user_(HKEY_CURRENT_USER, L"Software\\Kelvane"), machine_(HKEY_LOCAL_MACHINE, L"Software\\Kelvane")
{
}

void ProgramKeys::Restore() const
{
    user_.Restore();
    machine_.Restore();
}

bool ProgramKeys::Unchanged() const
{
    return user_.Unchanged() && machine_.Unchanged();
}

}  // namespace wintest
