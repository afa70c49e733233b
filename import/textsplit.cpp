#include "import/textsplit.h"

namespace {

// Copies text[0, length) cut to 63 characters and terminates.
void CopyCut(const wchar_t* text, size_t length, wchar_t* out)
{
    size_t n = length < (size_t)kSplitBufferSize - 1 ? length : (size_t)kSplitBufferSize - 1;
    for (size_t i = 0; i < n; ++i)
        out[i] = text[i];
    out[n] = 0;
}

const wchar_t* SkipSpaces(const wchar_t* p)
{
    while (*p == L' ')
        ++p;
    return p;
}

// Length of text[0, length) without trailing spaces.
size_t TrimEnd(const wchar_t* text, size_t length)
{
    while (length > 0 && text[length - 1] == L' ')
        --length;
    return length;
}

// Last position of c in text[0, length), or length when absent.
size_t FindLast(const wchar_t* text, size_t length, wchar_t c)
{
    for (size_t i = length; i > 0; --i)
        if (text[i - 1] == c)
            return i - 1;
    return length;
}

// The year after the comma: up to four digits; sets year and inBrackets when found.
bool ReadYear(const wchar_t* p, BYTE* inBrackets, int* year)
{
    p = SkipSpaces(p);
    int value = 0, digits = 0;
    while (digits < 4 && *p >= L'0' && *p <= L'9') {
        value = value * 10 + (*p - L'0');
        ++p;
        ++digits;
    }
    if (digits == 0)
        return false;
    *year = value;
    p = SkipSpaces(p);
    *inBrackets = *p == L')' ? 1 : 0;
    return true;
}

}  // namespace

int SplitSpeciesText(const wchar_t* text, wchar_t* genus, wchar_t* const* words, int maxWords, wchar_t* author,
                     BYTE* inBrackets, int* year, int* wordCount)
{
    *wordCount = 0;
    if (!text || !*text)
        return 0;
    const wchar_t* p = SkipSpaces(text);
    if (!*p)
        return 0;
    int flags = SPLIT_GENUS;
    const wchar_t* space = p;
    while (*space && *space != L' ')
        ++space;
    CopyCut(p, (size_t)(space - p), genus);
    if (!*space)
        return flags;
    const wchar_t* tail = SkipSpaces(space);
    if (!*tail)
        return flags;

    size_t tailLength = 0;
    while (tail[tailLength])
        ++tailLength;
    size_t comma = 0;
    while (comma < tailLength && tail[comma] != L',')
        ++comma;
    size_t wordsLength;
    if (comma == tailLength) {
        wordsLength = TrimEnd(tail, tailLength);
    } else {
        if (ReadYear(tail + comma + 1, inBrackets, year))
            flags |= SPLIT_YEAR;
        size_t part = TrimEnd(tail, comma);
        size_t lastSpace = FindLast(tail, part, L' ');
        size_t lastBracket = FindLast(tail, part, L'(');
        if (lastSpace == part) {
            wordsLength = part;  // no space: no author
        } else {
            size_t mark = lastSpace;
            if (lastBracket != part && lastBracket > lastSpace)
                mark = lastBracket;
            size_t authorLength = part - mark - 1;
            if (authorLength > 1) {
                CopyCut(tail + mark + 1, authorLength, author);
                flags |= SPLIT_AUTHOR;
            }
            wordsLength = TrimEnd(tail, mark);
        }
    }
    while (wordsLength > 0 && tail[wordsLength - 1] == L'(')
        --wordsLength;
    wordsLength = TrimEnd(tail, wordsLength);
    if (wordsLength == 0)
        return flags;

    size_t i = 0;
    while (i < wordsLength && *wordCount < maxWords) {
        while (i < wordsLength && tail[i] == L' ')
            ++i;
        if (i == wordsLength)
            break;
        size_t start = i;
        while (i < wordsLength && tail[i] != L' ')
            ++i;
        CopyCut(tail + start, i - start, words[*wordCount]);
        ++*wordCount;
    }
    if (*wordCount > 0)
        flags |= SPLIT_WORDS;
    return flags;
}

int SplitLocalityText(const wchar_t* text, wchar_t* name)
{
    if (!text)
        return 0;
    const wchar_t* p = SkipSpaces(text);
    size_t end = 0;
    while (p[end] && p[end] != L'(')
        ++end;
    end = TrimEnd(p, end);
    if (end == 0)
        return 0;
    CopyCut(p, end, name);
    return 1;
}
