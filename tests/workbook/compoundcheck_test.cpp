// The compound file check that runs before the system's storage reads a workbook: every kind of
// damage to the header, the FAT, the directory and the chains is found (a loop among them,
// which the storage would follow for ever), a file as the storage writes it passes, and the
// workbook's readers and the export's append refuse a damaged file as damaged.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <fstream>
#include <functional>
#include <string>

#include "tests/support/wintest.h"
#include "tests/workbook/compoundimage.h"
#include "workbook/bookfile.h"
#include "workbook/compoundcheck.h"
#include "workbook/sheetwriter.h"

using namespace xls;
using compoundimage::Image;

namespace {

const size_t kBookBytes = 9000;  // in the FAT: 18 sectors
const size_t kSmallBytes = 300;  // in the mini stream: 5 mini sectors

// A compound file as the system writes it: the workbook stream of a one-sheet book padded to
// kBookBytes, a small stream, and a storage holding another small stream; wide: the same copied
// into a file of 4096-byte sectors.
std::string SoundFile(const wintest::ScopedTempFolder& folder, bool wide)
{
    std::wstring path = folder.File(L"vzor.xls");
    SheetWriter w;
    w.Begin(path.c_str(), L"List", false);
    w.Text(0, 0, L"Druh", 4);
    w.Text(1, 0, L"Carabus", 7);
    w.Commit();
    IStorage* root = nullptr;
    const DWORD mode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
    if (FAILED(StgOpenStorage(path.c_str(), nullptr, mode, nullptr, 0, &root)))
        return std::string();
    auto write = [&](IStorage* where, const wchar_t* name, size_t bytes) {
        IStream* s = nullptr;
        if (SUCCEEDED(where->CreateStream(name, mode | STGM_CREATE, 0, 0, &s))) {
            std::string data(bytes, 'x');
            s->Write(data.data(), (ULONG)data.size(), nullptr);
            s->Release();
        }
    };
    IStream* book = nullptr;
    if (SUCCEEDED(root->OpenStream(L"Workbook", nullptr, mode, 0, &book))) {
        ULARGE_INTEGER size;
        size.QuadPart = kBookBytes;
        book->SetSize(size);
        book->Release();
    }
    write(root, L"\005SummaryInformation", kSmallBytes);
    IStorage* sub = nullptr;
    if (SUCCEEDED(root->CreateStorage(L"_VBA_PROJECT_CUR", mode | STGM_CREATE, 0, 0, &sub))) {
        write(sub, L"PROJECT", 200);
        sub->Release();
    }
    root->Commit(STGC_DEFAULT);
    STGOPTIONS options = {1, 0, 4096};
    IStorage* copy = nullptr;
    if (wide && SUCCEEDED(StgCreateStorageEx(folder.File(L"vzor4.xls").c_str(), mode | STGM_CREATE, STGFMT_DOCFILE, 0,
                                             &options, nullptr, IID_IStorage, (void**)&copy))) {
        root->CopyTo(0, nullptr, nullptr, copy);
        copy->Release();
    }
    root->Release();
    return wintest::ReadFileBytes(wide ? folder.File(L"vzor4.xls") : path);
}

CompoundCheck Check(const std::string& bytes)
{
    return CheckCompound(
        [&](uint64_t offset, void* out, size_t count) {
            if (offset > bytes.size() || count > bytes.size() - offset)
                return false;
            memcpy(out, bytes.data() + offset, count);
            return true;
        },
        bytes.size());
}

struct Damage {
    const char* name;
    std::function<void(Image*)> edit;
    bool loops = false;  // the storage would read it for ever
    bool sound = false;  // no damage: a layout that real files have, read as the storage reads it
    bool wide = false;   // made on the file of 4096-byte sectors
};

// Each a way the file's structure can lie, none found by the storage before it reads.
const Damage kDamages[] = {
    {"the workbook's chain loops back to its start",
     [](Image* f) { f->LoopBack(L"Workbook"); },
     true},
    {"the workbook's chain loops inside",
     [](Image* f) {
         auto chain = f->StreamChain(f->EntryAt(L"Workbook"));
         f->Put(f->FatAt(chain[6]), chain[2]);
     },
     true},
    {"a sector of the chain lies beyond the file",
     [](Image* f) { f->Put(f->FatAt(f->StreamChain(f->EntryAt(L"Workbook"))[3]), 5000); }},
    {"the stream is longer than its chain",
     [](Image* f) { f->Put(f->EntryAt(L"Workbook") + 120, (uint32_t)kBookBytes + 1024); }},
    {"the chain runs on past its stream into a loop",
     [](Image* f) {
         f->LoopBack(L"Workbook");
         f->Put(f->EntryAt(L"Workbook") + 120, (uint32_t)kBookBytes - 1024);
     },
     true},
    {"two streams share one chain",
     [](Image* f) { f->Point(f->EntryAt(L"PROJECT"), f->Start(f->EntryAt(L"Workbook")), kBookBytes); }},
    {"a stream claims more than 2^64 - 4096 bytes",
     [](Image* f) {
         f->Point(f->EntryAt(L"\005SummaryInformation"), compoundimage::kEnd, 0xFFFFFFFF);
         f->Put(f->EntryAt(L"\005SummaryInformation") + 124, 0xFFFFFFFF);
     },
     false, false, true},
    {"no mini stream: the root's size 0 and its start a free sector",
     [](Image* f) {
         for (const wchar_t* name : {L"\005SummaryInformation", L"PROJECT"})
             f->Point(f->EntryAt(name), compoundimage::kEnd, 0);
         f->Point(f->EntryAt(L""), 0xFFFFFFFF, 0);
     },
     false, true},
    {"the root's chain runs on past its size into the workbook's chain",
     [](Image* f) {
         f->Put(f->FatAt(f->Chain(f->Start(f->EntryAt(L"")), false).back()), f->Start(f->EntryAt(L"Workbook")));
     },
     false, true},
    {"a small stream's chain loops in the mini FAT",
     [](Image* f) { f->LoopBack(L"\005SummaryInformation"); },
     true},
    {"a stream in a storage has a chain that loops",
     [](Image* f) { f->LoopBack(L"PROJECT"); },
     true},
    {"the mini stream's chain is cut short",
     [](Image* f) { f->Put(f->EntryAt(L"") + 120, f->Size(f->EntryAt(L"")) + 2048); }},
    {"the directory's chain loops",
     [](Image* f) {
         auto chain = f->Chain(f->U32(0x30), false);
         f->Put(f->FatAt(chain.back()), chain.front());
     },
     true},
    {"an entry of the directory's tree points back at the root's child",
     [](Image* f) {
         size_t book = f->EntryAt(L"Workbook");
         uint32_t child = f->U32(f->EntryAt(L"") + 76);
         f->Put(book + 68, child);
         f->Put(book + 72, child);
     },
     true},
    {"an entry of the tree lies beyond the directory",
     [](Image* f) { f->Put(f->EntryAt(L"Workbook") + 68, 4000); }},
    {"the FAT's sector lies beyond the file", [](Image* f) { f->Put(0x4C, 9999); }},
    {"a sector size of neither version", [](Image* f) { f->bytes[0x1E] = 10; }},
    {"cut in half", [](Image* f) { f->bytes.resize(f->bytes.size() / 2); }},
    {"only the signature", [](Image* f) { f->bytes.resize(8); }},
};

}  // namespace

// Each damage is found; where the storage itself would not loop on it, the workbook's readers
// and the export's append say "damaged" and leave the file as it was. The layouts that are no
// damage read and open for the append.
TEST(CompoundCheck, EveryDamageOfTheStructureIsFoundAndTheStoragesOwnFilePasses)
{
    wintest::ScopedTempFolder folder(L"compoundcheck");
    const std::string sound = SoundFile(folder, false), wide = SoundFile(folder, true);
    ASSERT_GT(sound.size(), kBookBytes);
    EXPECT_EQ(CompoundCheck::Sound, Check(sound));
    EXPECT_EQ(CompoundCheck::Sound, Check(wide));
    EXPECT_EQ(CompoundCheck::NotCompound, Check("Druh;Lokalita\r\nCarabus;Brno\r\n"));
    EXPECT_EQ(CompoundCheck::NotCompound, Check(std::string("PK\x03\x04", 4) + std::string(600, 'z')));
    const std::wstring path = folder.File(L"poskozeny.xls");
    for (const Damage& d : kDamages) {
        Image f{d.wide ? wide : sound};
        d.edit(&f);
        EXPECT_NE(d.wide ? wide : sound, f.bytes) << d.name;
        EXPECT_EQ(d.sound ? CompoundCheck::Sound : CompoundCheck::Damaged, Check(f.bytes)) << d.name;
        if (d.loops)
            continue;  // the table reader's tests open those in a process of their own
        std::ofstream(path.c_str(), std::ios::binary) << f.bytes;
        const BookStatus expected = d.sound ? BookStatus::Ok : BookStatus::Damaged;
        std::vector<SheetInfo> sheets;
        HRESULT hr = S_OK;
        EXPECT_EQ(expected, ReadWorkbookSheets(path.c_str(), &sheets, &hr)) << d.name;
        SheetWriter w;
        EXPECT_EQ(expected, w.Begin(path.c_str(), L"Nový", true)) << d.name;
        EXPECT_TRUE(wintest::ReadFileBytes(path) == f.bytes) << d.name;
    }
}
