// Reading the previous version's exchange files (records .zxf, systematic tree .zxs, locality
// tree .zxl). They are 8-bit text in the system's ANSI code page written by another program:
// lines end in CR, LF or CR LF, the end of the file ends the last line, and every byte (0xFF
// too) is text. The reader hands out one line at a time with its number; the three sources
// parse them (exchangerecords.cpp, exchangesystem.cpp, exchangelocality.cpp).
#pragma once
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

class ImportRun;

// Lines longer than this are not read: their rest is passed over and the line is logged.
const size_t kExchangeMaxLine = 64 * 1024;
// Names and texts of the files are kept to this many characters.
const size_t kExchangeTextMax = 63;

class ExchangeReader {
public:
    ExchangeReader() = default;
    ~ExchangeReader() { Close(); }
    ExchangeReader(const ExchangeReader&) = delete;
    ExchangeReader& operator=(const ExchangeReader&) = delete;

    // Whether the file's first bytes are the magic (compared as bytes).
    static bool HasMagic(const wchar_t* path, const char* magic);

    bool Open(const wchar_t* path);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }
    // Back to the first byte; the line counter starts again at 0.
    void Rewind();
    // The next line into Text (without its end) and counts it; false at the end of the file.
    bool ReadLine();
    // Bytes read so far and the file's size.
    long long Position() const { return consumed_; }
    long long Size() const { return size_; }

    int Line = 0;            // number of the last line read, 1-based
    std::string Text;        // its bytes (at most kExchangeMaxLine)
    bool Overlong = false;   // the line was longer than kExchangeMaxLine (Text holds its start)
    bool Garbled = false;    // Text holds bytes no text of the files holds (control characters but TAB)

private:
    int NextByte();
    int PeekByte();

    FILE* file_ = nullptr;
    long long size_ = 0;
    long long consumed_ = 0;
    std::vector<unsigned char> buffer_;
    size_t at_ = 0;
    size_t filled_ = 0;
};

// A field of the file in UTF-16 (ANSI code page, precomposed), cut to kExchangeTextMax
// characters; *cut tells whether it was longer.
std::wstring ExchangeText(const char* bytes, size_t count, bool* cut = nullptr);
inline std::wstring ExchangeText(const std::string& bytes, bool* cut = nullptr)
{
    return ExchangeText(bytes.data(), bytes.size(), cut);
}

// Lines of a damaged file that could not be read, in stretches: each stretch is logged once, with
// its first and last line, when a line that is read ends it (or the file does).
class UnreadStretches {
public:
    void Reset() { *this = UnreadStretches(); }
    void Add(int line);
    // Logs the stretch that stands open; nothing when none does.
    void End(ImportRun& run);
    int Lines() const { return lines_; }
    int Count() const { return count_; }

private:
    int first_ = 0, last_ = 0;
    int lines_ = 0, count_ = 0;
};

// Splits a line at TAB characters: all its fields, also those beyond the expected count.
std::vector<std::string> SplitTabFields(const std::string& line);

// A decimal integer as the files write it ("%d" in the C locale): optional blanks, a sign and
// digits, nothing after them but blanks, within 32 bits. False for anything else (an empty
// text too); *value is untouched then.
bool ParseExchangeInt(const std::string& text, int* value);

// A line's TAB fields checked for the count a line of its file holds (the last field may be
// followed by one empty field, a closing TAB). Logs a line with too few fields (false: it is
// not imported) and a line with more (true: the extra fields are not read). Converts the first
// count fields, logging each text that had to be cut.
bool ReadTabLine(ImportRun& run, const std::string& line, size_t count, std::vector<std::wstring>* fields);

// Logs a text that had to be cut to kExchangeTextMax characters.
void LogCutText(ImportRun& run, const std::wstring& text);
// Logs a number that could not be read, with the text as the file gives it.
void LogBadNumber(ImportRun& run, const std::string& text);
