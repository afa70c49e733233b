// The delimited text file source (source type 4): the text options and the flat field mapping
// as its two wizard groups; each data line cut at the separator (a whole text of up to three
// characters, no quoting) into fields, converted by their columns' target types and imported by
// the row import (rowimport.h).
//
// Encodings: FF FE starts a UTF-16 little-endian file; EF BB BF, or a file whose bytes are all
// valid UTF-8 with at least one beyond ASCII, is read as UTF-8; anything else is 8-bit text in
// the ANSI code page (the welcome page says which, and why). Bytes that do not convert, and
// UTF-16 surrogates without their other half, become U+FFFD and the line is logged.
#pragma once
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "import/impsource.h"
#include "import/rowimport.h"

enum TextEncoding {
    TEXTENC_ANSI = 0,
    TEXTENC_UTF16 = 1,
    TEXTENC_UTF8 = 2,
};

// Lines longer than this many characters (UTF-16 units, in whichever encoding the file is) are
// not read: their rest is passed over and the line is logged and skipped.
const size_t kTextMaxLine = 1024 * 1024;

// Why a file is read in its encoding.
enum TextEncodingReason {
    TEXTWHY_MARK = 0,       // it starts with the encoding's byte-order mark
    TEXTWHY_ALL_UTF8 = 1,   // every byte is valid UTF-8, some are not ASCII
    TEXTWHY_ASCII = 2,      // every byte is ASCII: the same text in any encoding
    TEXTWHY_NOT_UTF8 = 3,   // bytes beyond ASCII that are no UTF-8 (BadUtf8Line tells where)
};

// Lines of a text file: they end at CR, LF or CR LF; the last needs no line end.
class TextLineReader {
public:
    TextLineReader() = default;
    ~TextLineReader() { Close(); }
    TextLineReader(const TextLineReader&) = delete;
    TextLineReader& operator=(const TextLineReader&) = delete;

    // Opens the file and finds its encoding; false when it cannot be opened for reading.
    bool Open(const wchar_t* path);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }
    // Back to the first line (after a byte-order mark); the line count starts again at 0.
    bool Rewind();
    // The next line; false at the end. *invalid: bytes of the line did not convert (U+FFFD in
    // their place), or a UTF-16 file ended with an odd byte.
    bool ReadLine(std::wstring& line, bool* invalid);
    // The last line read was longer than kTextMaxLine (line holds nothing of it).
    bool Overlong() const { return overlong_; }

    TextEncoding Encoding() const { return encoding_; }
    TextEncodingReason EncodingReason() const { return reason_; }
    // The line of the first byte that is no UTF-8, for TEXTWHY_NOT_UTF8.
    int BadUtf8Line() const { return badUtf8Line_; }
    long long Size() const { return size_; }
    long long Position() const { return filePos_ - (long long)(end_ - pos_); }
    int LinesRead() const { return lines_; }

private:
    int NextByte();   // -1 at the end
    int PeekByte();
    int NextUnit();   // a UTF-16 unit; -1 at the end, -2 for an odd last byte
    void PushUnits(std::wstring& line, const wchar_t* units, size_t count);  // within the bound
    bool ReadBytes(std::string& bytes);   // an 8-bit or UTF-8 line
    bool ReadUnits(std::wstring& line, bool* invalid);  // a UTF-16 line

    FILE* file_ = nullptr;
    TextEncoding encoding_ = TEXTENC_ANSI;
    TextEncodingReason reason_ = TEXTWHY_ASCII;
    int badUtf8Line_ = 0;
    long long dataStart_ = 0;
    long long size_ = 0;
    long long filePos_ = 0;   // file offset after the buffered bytes
    std::vector<unsigned char> buffer_;
    size_t pos_ = 0, end_ = 0;
    int pendingUnit_ = -1;  // read ahead and given back (-2 too); -1 none
    int lines_ = 0;
    bool overlong_ = false;
    std::string bytes_;
};

// True when the bytes are valid UTF-8 (a sequence may be cut at the end of the chunk: state
// carries it to the next call; start with 0, and a final state other than 0 is invalid). When
// false, *invalidAt (if given) is the index of the byte that is no UTF-8.
bool ValidUtf8Chunk(const unsigned char* bytes, size_t count, int* state, bool* nonAscii,
                    size_t* invalidAt = nullptr);

// Cuts a line at each occurrence of the separator (a whole text); the text after the last
// separator is the last field.
void CutTextLine(const std::wstring& line, const wchar_t* separator, std::vector<std::wstring>* fields);

// A field of a text line as the value of its column: empty for a column not imported, null for
// an empty field or one that does not convert, else by the column's TargetType. *bad is set when
// a non-empty field did not convert (the caller logs it).
void ConvertTextField(const SourceColumn* column, const wchar_t* text, size_t length, VARIANT* out,
                      bool* bad = nullptr);

class CImpTXTSrc : public IImpSource {
public:
    explicit CImpTXTSrc(HINSTANCE instance);
    ~CImpTXTSrc() override;

    // Refuses, besides a file that does not open, one without a line to import (empty, or
    // blank) and one that holds no text (NUL bytes outside UTF-16: a program, a picture, a
    // database under a text file's name).
    bool Open(const wchar_t* path) override;
    std::wstring OpenProblem() const override { return problem_; }
    // Which encoding the file is read in and why; that its first line is too long to be read.
    std::wstring OpenNote() const override { return note_; }
    int GetGroupCount() override { return 2; }
    int GetGroupCaptionId(int) override { return -1; }
    int GetGroupKind(int group) override;
    int FillGroup(int group, CPtrArray* items, void* extra) override;

    bool ChangeStructure(ImportRun& run) override;
    bool OpenData(ImportRun& run) override;
    bool OpenTargets(ImportRun& run) override;
    int ImportRow(ImportRun& run) override;
    int Percent() override;
    void CloseData(ImportRun& run) override;

    TextEncoding Encoding() const { return reader_.Encoding(); }
    RowImport Rows;

private:
    CPtrArray* Columns(ImportRun& run) const;
    const TextImportOptions* Options(ImportRun& run) const;

    TextLineReader reader_;
    std::wstring problem_;
    std::wstring note_;
    std::wstring separator_;
    std::vector<std::wstring> fields_;
};

IImpSource* CreateTextSource(HINSTANCE instance, int type);
