// Taking apart the species and locality texts of flat sources: a whole species citation in one
// column ("genus species subspecies author, year", the author possibly in brackets) and a
// locality name followed by a remark in brackets. Pure functions: no database, no allocation,
// no reports. Every output buffer holds 64 characters; at most 63 are copied and a terminator is
// always written. Only U+0020 counts as a space.
#pragma once
#include <windows.h>

// Flags of SplitSpeciesText.
enum SpeciesTextPart {
    SPLIT_GENUS = 1,
    SPLIT_WORDS = 2,
    SPLIT_AUTHOR = 4,
    SPLIT_YEAR = 8,
};

const int kSplitBufferSize = 64;

// Genus, up to maxWords further name words (words[i] are caller-owned 64-character buffers),
// author, year and whether the author stands in brackets. wordCount is set to 0 on entry; genus,
// words, author, inBrackets and year are written only when found, so the caller presets them.
// Returns the SpeciesTextPart flags found, 0 for an empty text.
int SplitSpeciesText(const wchar_t* text, wchar_t* genus, wchar_t* const* words, int maxWords, wchar_t* author,
                     BYTE* inBrackets, int* year, int* wordCount);

// The locality name before a bracketed remark; 1 when a name was stored, else 0.
int SplitLocalityText(const wchar_t* text, wchar_t* name);
