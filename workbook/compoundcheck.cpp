#include "workbook/compoundcheck.h"

#include <windows.h>

#include <string.h>

#include <memory>
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

// Rounded up without the sum that wraps for a size near 2^64.
uint64_t SectorsFor(uint64_t bytes, uint32_t sectorBytes) { return bytes / sectorBytes + (bytes % sectorBytes != 0); }

const uint64_t kWholeChain = UINT64_MAX;

// The chains of one table (the FAT or the mini FAT) as the check walks them. A sector belongs
// to one chain at most; the part of a chain past its stream's size is read by nobody, but the
// storage follows it still, so it has to end. What is known to end is kept, so that each sector
// is walked about once whatever the chains claim.
class Chains
{
public:
    Chains(const std::vector<uint32_t>& table, uint32_t units) : table_(table), units_(units), state_(units) {}

    // Claims the first `need` sectors of the chain from start (kWholeChain: all up to its end
    // mark; chain, when given, gets them), then follows the rest to its end mark when rest
    // allows one. False when the chain leaves the table, meets a sector claimed before, ends
    // before its need or loops.
    bool Walk(uint32_t start, uint64_t need, bool rest, std::vector<uint32_t>* chain = nullptr)
    {
        if (need == 0 && start == kFree)
            return true;  // an empty stream may name no chain at all
        if (stamp_ == kStampMask)
            return false;  // more chains than a file of this size can hold
        const uint32_t stamp = ++stamp_;
        uint32_t at = start;
        for (uint64_t count = 0; count < need && !(need == kWholeChain && at == kEndOfChain); ++count) {
            if (at >= units_ || (state_[at] & kClaimed))
                return false;
            state_[at] = (state_[at] & ~kStampMask) | kClaimed | stamp;
            if (chain)
                chain->push_back(at);
            at = table_[at];
        }
        if (!rest && at != kEndOfChain)
            return false;
        for (; at != kEndOfChain && !(at < units_ && (state_[at] & kEnds)); at = table_[at]) {
            if (at >= units_ || (state_[at] & kStampMask) == stamp)
                return false;
            state_[at] = (state_[at] & ~kStampMask) | stamp;
        }
        for (at = start; at != kEndOfChain && !(state_[at] & kEnds); at = table_[at])
            state_[at] |= kEnds;
        return true;
    }

private:
    static const uint32_t kClaimed = 0x80000000u, kEnds = 0x40000000u, kStampMask = 0x3FFFFFFFu;
    const std::vector<uint32_t>& table_;
    uint32_t units_;
    std::vector<uint32_t> state_;  // claimed, known to end, the stamp of the walk that last met it
    uint32_t stamp_ = 0;
};

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

    Chains& Fat()
    {
        if (!fatChains_)
            fatChains_.reset(new Chains(fat_, sectors_));
        return *fatChains_;
    }

    bool ReadDirectory(uint32_t start)
    {
        std::vector<uint32_t> chain;
        if (!Fat().Walk(start, kWholeChain, false, &chain) || chain.empty())
            return false;
        directory_.resize(chain.size() * sectorBytes_);
        for (size_t k = 0; k < chain.size(); ++k)
            if (!ReadSector(chain[k], directory_.data() + k * sectorBytes_))
                return false;
        entries_ = directory_.size() / kEntryBytes;
        const uint8_t* root = Entry(0);
        if (root[66] != kRoot)
            return false;
        // The mini stream: the root's chain in the FAT, as far as its size reaches.
        miniStreamBytes_ = StreamSize(root);
        return Fat().Walk(Get32(root + 116), SectorsFor(miniStreamBytes_, sectorBytes_), true);
    }

    bool ReadMiniFat(uint32_t start, uint32_t count)
    {
        if (count == 0)
            return true;
        std::vector<uint32_t> chain;
        if (!Fat().Walk(start, count, false, &chain))
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
        if (size == 0)
            return start == kEndOfChain || start == kFree || start < kMaxRegular;
        if (size >= kMiniStreamCutoff)
            return Fat().Walk(start, SectorsFor(size, sectorBytes_), true);
        if (!miniChains_) {
            uint64_t miniSectors = SectorsFor(miniStreamBytes_, kMiniSectorBytes);
            uint32_t units = (uint32_t)(miniSectors < miniFat_.size() ? miniSectors : miniFat_.size());
            miniChains_.reset(new Chains(miniFat_, units));
        }
        return miniChains_->Walk(start, SectorsFor(size, kMiniSectorBytes), true);
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
    std::unique_ptr<Chains> fatChains_, miniChains_;
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
