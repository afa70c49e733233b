// The structure of a compound file checked before the system's storage reads it. The storage
// follows the sector chains as the file gives them: a chain that loops back is read for ever,
// the process growing all the while, so a file from elsewhere is looked at here first.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <functional>

namespace xls {

enum class CompoundCheck
{
    Sound,        // the storage can read it
    NotCompound,  // no compound file signature (the storage tells what it is)
    Damaged,      // header, tables, directory or a chain that cannot be right
    Unreadable,   // the file could not be opened or read (the storage reports why)
};

// Reads count bytes at offset into out; false when they cannot all be read.
using CompoundReader = std::function<bool(uint64_t offset, void* out, size_t count)>;

// Checks a compound file of size bytes: the header; the FAT sectors the DIFAT lists; the chains
// of the directory, the mini FAT and the mini stream; the directory's tree from the root (every
// entry reached once); and the chain of every stream in it. A chain holds only sectors inside the
// file (or the mini stream) and ends; the sectors its stream's size needs are all there and
// belong to no other chain (what follows them is never read, as the storage reads it).
CompoundCheck CheckCompound(const CompoundReader& read, uint64_t size);

// The same for the file at path.
CompoundCheck CheckCompoundFile(const wchar_t* path);

}  // namespace xls
