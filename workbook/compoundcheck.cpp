#include "workbook/compoundcheck.h"

#include <windows.h>

#include <string.h>

#include <vector>

#include "workbook/biff.h"

namespace xls {

namespace {

const uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
const size_t kHeaderBytes = 512;
const size_t kEntryBytes = 128;
const size_t kHeaderDifat = 109;
const uint32_t kMiniSectorBytes = 64;
const uint32_t kMiniStreamCutoff = 4096;
const uint32_t kMaxRegular = 0xFFFFFFFA;  // indexes above are marks
const uint32_t kEndOfChain = 0xFFFFFFFE;
const uint32_t kFree = 0xFFFFFFFF;
const uint32_t kNoEntry = 0xFFFFFFFF;

enum EntryType : uint8_t { kUnused = 0, kStorage = 1, kStream = 2, kRoot = 5 };

uint64_t SectorsFor(uint64_t bytes, uint32_t sectorBytes) { return (bytes + sectorBytes - 1) / sectorBytes; }

class Checker
{
public:
    Checker(const CompoundReader& read, uint64_t size) : read_(read), size_(size) {}

    CompoundCheck Run()
    {
        uint8_t header[kHeaderBytes];
        if (size_ < sizeof kSignature)
            return CompoundCheck::NotCompound;
        if (!read_(0, header, sizeof kSignature))
            return CompoundCheck::Unreadable;
        if (memcmp(header, kSignature, sizeof kSignature) != 0)
            return CompoundCheck::NotCompound;
        if (size_ < kHeaderBytes || !read_(0, header, sizeof header))
            return CompoundCheck::Damaged;
        if (!ReadHeader(header) || !ReadFat(header) || !ReadDirectory(Get32(header + 0x30)) ||
            !ReadMiniFat(Get32(header + 0x3C), Get32(header + 0x40)) || !WalkTree())
            return CompoundCheck::Damaged;
        return CompoundCheck::Sound;
    }

private:
    bool ReadHeader(const uint8_t* h)
    {
        uint16_t major = Get16(h + 0x1A), shift = Get16(h + 0x1E);
        if (Get16(h + 0x1C) != 0xFFFE || Get16(h + 0x20) != 6 || Get32(h + 0x38) != kMiniStreamCutoff)
            return false;
        if (!((major == 3 && shift == 9) || (major == 4 && shift == 12)))
            return false;
        wideSizes_ = major == 4;
        sectorBytes_ = 1u << shift;
        // The header takes the first sector; a last sector cut short still counts as there.
        fileSectors_ = size_ > sectorBytes_ ? SectorsFor(size_ - sectorBytes_, sectorBytes_) : 0;
        return fileSectors_ < kMaxRegular;
    }

    bool ReadSector(uint32_t index, uint8_t* out) const
    {
        uint64_t at = ((uint64_t)index + 1) * sectorBytes_;
        return at + sectorBytes_ <= size_ && read_(at, out, sectorBytes_);
    }

    // The FAT sectors: the first 109 listed in the header, the rest in the DIFAT's own chain.
    bool ReadFat(const uint8_t* h)
    {
        uint32_t fatSectors = Get32(h + 0x2C), difatSector = Get32(h + 0x44), difatSectors = Get32(h + 0x48);
        if (fatSectors == 0 || fatSectors > fileSectors_ || difatSectors > fileSectors_)
            return false;
        std::vector<uint32_t> where;
        for (size_t i = 0; i < kHeaderDifat && where.size() < fatSectors; ++i)
            where.push_back(Get32(h + 0x4C + 4 * i));
        std::vector<uint8_t> sector(sectorBytes_);
        std::vector<bool> seen((size_t)fileSectors_);
        const size_t perSector = sectorBytes_ / 4 - 1;  // the last entry names the next DIFAT sector
        for (uint32_t k = 0; k < difatSectors && where.size() < fatSectors; ++k) {
            if (difatSector >= fileSectors_ || seen[difatSector] || !ReadSector(difatSector, sector.data()))
                return false;
            seen[difatSector] = true;
            for (size_t i = 0; i < perSector && where.size() < fatSectors; ++i)
                where.push_back(Get32(sector.data() + 4 * i));
            difatSector = Get32(sector.data() + 4 * perSector);
        }
        if (where.size() < fatSectors)
            return false;
        fat_.resize((size_t)fatSectors * (sectorBytes_ / 4));
        for (size_t k = 0; k < where.size(); ++k) {
            uint32_t at = where[k];
            if (at >= fileSectors_ || seen[at] || !ReadSector(at, sector.data()))
                return false;
            seen[at] = true;
            for (size_t i = 0; i < sectorBytes_ / 4; ++i)
                fat_[k * (sectorBytes_ / 4) + i] = Get32(sector.data() + 4 * i);
        }
        sectors_ = fileSectors_ < fat_.size() ? (uint32_t)fileSectors_ : (uint32_t)fat_.size();
        return true;
    }

    // Follows a chain of the table (FAT or mini FAT) over units sectors: false when it leaves
    // them, meets a sector again, ends on anything but the end mark or outgrows most.
    static bool Walk(const std::vector<uint32_t>& table, uint32_t units, uint32_t start, uint64_t most,
                     std::vector<uint32_t>* stamps, uint32_t stamp, std::vector<uint32_t>* chain)
    {
        chain->clear();
        for (uint32_t at = start; at != kEndOfChain; at = table[at]) {
            if (at >= units || (*stamps)[at] == stamp || chain->size() >= most)
                return false;
            (*stamps)[at] = stamp;
            chain->push_back(at);
        }
        return true;
    }

    bool WalkFat(uint32_t start, uint64_t most, std::vector<uint32_t>* chain)
    {
        if (fatStamps_.empty())
            fatStamps_.assign(sectors_, 0);
        return Walk(fat_, sectors_, start, most, &fatStamps_, ++fatStamp_, chain);
    }

    bool ReadDirectory(uint32_t start)
    {
        std::vector<uint32_t> chain;
        if (!WalkFat(start, sectors_, &chain) || chain.empty())
            return false;
        directory_.resize(chain.size() * sectorBytes_);
        for (size_t k = 0; k < chain.size(); ++k)
            if (!ReadSector(chain[k], directory_.data() + k * sectorBytes_))
                return false;
        entries_ = directory_.size() / kEntryBytes;
        const uint8_t* root = Entry(0);
        if (root[66] != kRoot)
            return false;
        // The mini stream: the root's chain in the FAT, as long as its size.
        miniStreamBytes_ = StreamSize(root);
        if (!WalkFat(Get32(root + 116), SectorsFor(miniStreamBytes_, sectorBytes_), &chain) ||
            chain.size() != SectorsFor(miniStreamBytes_, sectorBytes_))
            return false;
        return true;
    }

    bool ReadMiniFat(uint32_t start, uint32_t count)
    {
        if (count == 0)
            return true;
        std::vector<uint32_t> chain;
        if (!WalkFat(start, count, &chain) || chain.size() != count)
            return false;
        std::vector<uint8_t> sector(sectorBytes_);
        miniFat_.reserve((size_t)count * (sectorBytes_ / 4));
        for (uint32_t at : chain) {
            if (!ReadSector(at, sector.data()))
                return false;
            for (size_t i = 0; i < sectorBytes_ / 4; ++i)
                miniFat_.push_back(Get32(sector.data() + 4 * i));
        }
        return true;
    }

    const uint8_t* Entry(size_t id) const { return directory_.data() + id * kEntryBytes; }

    uint64_t StreamSize(const uint8_t* entry) const
    {
        uint64_t low = Get32(entry + 120), high = Get32(entry + 124);
        // Older writers of 512-byte files left the high half unset; readers ignore it there.
        return wideSizes_ ? (high << 32) | low : low;
    }

    // A stream's chain: in the mini stream below the cutoff, else in the FAT.
    bool StreamChain(const uint8_t* entry)
    {
        uint64_t size = StreamSize(entry);
        uint32_t start = Get32(entry + 116);
        std::vector<uint32_t> chain;
        if (size == 0)
            return start == kEndOfChain || start == kFree || start < kMaxRegular;
        if (size >= kMiniStreamCutoff)
            return WalkFat(start, SectorsFor(size, sectorBytes_), &chain) &&
                   chain.size() == SectorsFor(size, sectorBytes_);
        uint64_t miniSectors = SectorsFor(miniStreamBytes_, kMiniSectorBytes);
        uint32_t units = (uint32_t)(miniSectors < miniFat_.size() ? miniSectors : miniFat_.size());
        if (miniStamps_.empty())
            miniStamps_.assign(units, 0);
        return Walk(miniFat_, units, start, SectorsFor(size, kMiniSectorBytes), &miniStamps_, ++miniStamp_, &chain) &&
               chain.size() == SectorsFor(size, kMiniSectorBytes);
    }

    // Every entry the root's tree reaches (siblings and children), each once; each stream's chain.
    bool WalkTree()
    {
        std::vector<bool> seen(entries_);
        std::vector<uint32_t> pending{Get32(Entry(0) + 76)};
        seen[0] = true;
        while (!pending.empty()) {
            uint32_t id = pending.back();
            pending.pop_back();
            if (id == kNoEntry)
                continue;
            if (id >= entries_ || seen[id])
                return false;
            seen[id] = true;
            const uint8_t* e = Entry(id);
            if (e[66] != kStorage && e[66] != kStream)
                return false;
            if (e[66] == kStream && !StreamChain(e))
                return false;
            pending.push_back(Get32(e + 68));
            pending.push_back(Get32(e + 72));
            if (e[66] == kStorage)
                pending.push_back(Get32(e + 76));
        }
        return true;
    }

    const CompoundReader& read_;
    uint64_t size_;
    uint32_t sectorBytes_ = 512;
    bool wideSizes_ = false;
    uint64_t fileSectors_ = 0;
    uint32_t sectors_ = 0;  // sectors both inside the file and in the FAT
    std::vector<uint32_t> fat_, miniFat_;
    std::vector<uint32_t> fatStamps_, miniStamps_;
    uint32_t fatStamp_ = 0, miniStamp_ = 0;
    std::vector<uint8_t> directory_;
    size_t entries_ = 0;
    uint64_t miniStreamBytes_ = 0;
};

}  // namespace

CompoundCheck CheckCompound(const CompoundReader& read, uint64_t size)
{
    return Checker(read, size).Run();
}

CompoundCheck CheckCompoundFile(const wchar_t* path)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return CompoundCheck::Unreadable;
    LARGE_INTEGER size = {};
    CompoundCheck result = CompoundCheck::Unreadable;
    if (GetFileSizeEx(file, &size)) {
        CompoundReader read = [file](uint64_t offset, void* out, size_t count) {
            OVERLAPPED at = {};
            at.Offset = (DWORD)offset;
            at.OffsetHigh = (DWORD)(offset >> 32);
            DWORD got = 0;
            return count <= MAXDWORD && ReadFile(file, out, (DWORD)count, &got, &at) && got == count;
        };
        result = CheckCompound(read, (uint64_t)size.QuadPart);
    }
    CloseHandle(file);
    return result;
}

}  // namespace xls
