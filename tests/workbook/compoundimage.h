// The bytes of a small compound file (one FAT sector) with the places the tests damage: a
// stream's directory entry found by name, its chain in the FAT or the mini FAT.
#pragma once
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

namespace compoundimage {

const uint32_t kEnd = 0xFFFFFFFE;

struct Image {
    std::string bytes;

    uint32_t U32(size_t at) const
    {
        uint32_t v = 0;
        memcpy(&v, bytes.data() + at, 4);
        return v;
    }
    void Put(size_t at, uint32_t v) { memcpy(&bytes[at], &v, 4); }
    size_t SectorBytes() const { return (size_t)1 << (uint8_t)bytes[0x1E]; }
    size_t SectorAt(uint32_t sector) const { return ((size_t)sector + 1) * SectorBytes(); }

    // Where the FAT entry of a sector is (the first FAT sector is all a small file has).
    size_t FatAt(uint32_t sector) const { return SectorAt(U32(0x4C)) + 4 * (size_t)sector; }
    // Where the mini FAT entry of a mini sector is (its first sector only).
    size_t MiniFatAt(uint32_t sector) const { return SectorAt(U32(0x3C)) + 4 * (size_t)sector; }

    std::vector<uint32_t> Chain(uint32_t start, bool mini) const
    {
        std::vector<uint32_t> chain;
        for (uint32_t at = start; at != kEnd && chain.size() < 10000; at = U32(mini ? MiniFatAt(at) : FatAt(at)))
            chain.push_back(at);
        return chain;
    }

    // The directory entry of the name (any depth), npos when there is none; 0 is the root's.
    size_t EntryAt(const std::wstring& name) const
    {
        for (uint32_t sector : Chain(U32(0x30), false))
            for (size_t at = SectorAt(sector); at < SectorAt(sector) + SectorBytes(); at += 128) {
                size_t length = (uint8_t)bytes[at + 64] | ((uint8_t)bytes[at + 65] << 8);
                std::wstring entry;
                for (size_t k = 0; k + 2 < length; k += 2)
                    entry += (wchar_t)((uint8_t)bytes[at + k] | ((uint8_t)bytes[at + k + 1] << 8));
                if (bytes[at + 66] != 0 && (entry == name || (name.empty() && bytes[at + 66] == 5)))
                    return at;
            }
        return std::string::npos;
    }
    uint32_t Start(size_t entry) const { return U32(entry + 116); }
    void Point(size_t entry, uint32_t start, uint32_t size) { Put(entry + 116, start), Put(entry + 120, size); }
    uint32_t Size(size_t entry) const { return U32(entry + 120); }
    // The stream's chain, in the mini FAT below 4096 bytes.
    std::vector<uint32_t> StreamChain(size_t entry) const { return Chain(Start(entry), Size(entry) < 4096); }
    // Makes the named stream's chain (of two sectors or more) loop back from its last sector to its first.
    void LoopBack(const std::wstring& name)
    {
        size_t entry = EntryAt(name);
        std::vector<uint32_t> chain = StreamChain(entry);
        Put(Size(entry) < 4096 ? MiniFatAt(chain.back()) : FatAt(chain.back()), chain.front());
    }
};

}  // namespace compoundimage
