#include "import/textsource.h"

#include <strsafe.h>

#include "core/msgboxtext.h"
#include "core/textutil.h"
#include "core/valuecheck.h"
#include "import/importrun.h"
#include "import/structtransfer.h"
#include "resources/tarnix/resource.h"

namespace {

const size_t kChunk = 1 << 16;

// Bytes in the code page as UTF-16; false when some did not convert (U+FFFD in their place).
bool BytesToWide(const std::string& bytes, UINT codePage, std::wstring& out)
{
    out.clear();
    if (bytes.empty())
        return true;
    DWORD strict = MB_ERR_INVALID_CHARS | (codePage == CP_UTF8 ? 0 : MB_PRECOMPOSED);
    int n = MultiByteToWideChar(codePage, strict, bytes.data(), (int)bytes.size(), nullptr, 0);
    bool valid = n > 0;
    DWORD flags = valid ? strict : (codePage == CP_UTF8 ? 0 : MB_PRECOMPOSED);
    if (!valid)
        n = MultiByteToWideChar(codePage, flags, bytes.data(), (int)bytes.size(), nullptr, 0);
    out.resize((size_t)n);
    if (n > 0)
        MultiByteToWideChar(codePage, flags, bytes.data(), (int)bytes.size(), &out[0], n);
    return valid;
}

std::wstring BadValueMessage(ImportRun& run, const std::wstring& field, const wchar_t* column)
{
    wchar_t text[512];
    std::wstring value = field.size() > 200 ? field.substr(0, 200) : field;
    StringCchPrintfW(text, 512, run.String(IDS_I_ROW_BAD_VALUE).c_str(), value.c_str(), column);
    return text;
}

}  // namespace

// ---- UTF-8 ----

bool ValidUtf8Chunk(const unsigned char* bytes, size_t count, int* state, bool* nonAscii, size_t* invalidAt)
{
    auto invalid = [&](size_t at) {
        if (invalidAt)
            *invalidAt = at;
        return false;
    };
    // state: continuation bytes still expected (low byte) and the allowed range of the next one
    // (bits 8-15: its lowest value, 16-23: its highest).
    for (size_t i = 0; i < count; ++i) {
        unsigned c = bytes[i];
        int need = *state & 0xFF;
        if (need) {
            unsigned low = (unsigned)(*state >> 8) & 0xFF, high = (unsigned)(*state >> 16) & 0xFF;
            if (c < low || c > high)
                return invalid(i);
            *state = need - 1 == 0 ? 0 : ((need - 1) | (0x80 << 8) | (0xBF << 16));
            continue;
        }
        if (c < 0x80)
            continue;
        *nonAscii = true;
        unsigned low = 0x80, high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF)
            need = 1;
        else if (c >= 0xE0 && c <= 0xEF) {
            need = 2;
            if (c == 0xE0)
                low = 0xA0;
            if (c == 0xED)
                high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            need = 3;
            if (c == 0xF0)
                low = 0x90;
            if (c == 0xF4)
                high = 0x8F;
        } else
            return invalid(i);
        *state = need | (int)(low << 8) | (int)(high << 16);
    }
    return true;
}

// ---- lines ----

bool TextLineReader::Open(const wchar_t* path)
{
    Close();
    file_ = _wfopen(path, L"rb");
    if (!file_)
        return false;
    _fseeki64(file_, 0, SEEK_END);
    size_ = _ftelli64(file_);
    _fseeki64(file_, 0, SEEK_SET);
    unsigned char head[3] = {};
    size_t n = fread(head, 1, 3, file_);
    encoding_ = TEXTENC_ANSI;
    reason_ = TEXTWHY_MARK;
    badUtf8Line_ = 0;
    dataStart_ = 0;
    if (n >= 2 && head[0] == 0xFF && head[1] == 0xFE) {
        encoding_ = TEXTENC_UTF16;
        dataStart_ = 2;
    } else if (n == 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
        encoding_ = TEXTENC_UTF8;
        dataStart_ = 3;
    } else {
        // Without a mark, a file is UTF-8 when all its bytes are valid UTF-8 and some are not ASCII;
        // the line of the first byte that is not tells why it is not.
        _fseeki64(file_, 0, SEEK_SET);
        std::vector<unsigned char> chunk(kChunk);
        int state = 0, lineEnds = 0;
        bool nonAscii = false, valid = true, afterCr = false;
        size_t got;
        while (valid && (got = fread(chunk.data(), 1, chunk.size(), file_)) > 0) {
            size_t read = got;
            valid = ValidUtf8Chunk(chunk.data(), got, &state, &nonAscii, &read);
            for (size_t i = 0; i < read; ++i) {
                if (chunk[i] == '\r' || (chunk[i] == '\n' && !afterCr))
                    ++lineEnds;
                afterCr = chunk[i] == '\r';
            }
        }
        valid = valid && state == 0;
        encoding_ = valid && nonAscii ? TEXTENC_UTF8 : TEXTENC_ANSI;
        reason_ = valid ? (nonAscii ? TEXTWHY_ALL_UTF8 : TEXTWHY_ASCII) : TEXTWHY_NOT_UTF8;
        badUtf8Line_ = valid ? 0 : lineEnds + 1;
    }
    return Rewind();
}

void TextLineReader::Close()
{
    if (file_)
        fclose(file_);
    file_ = nullptr;
    buffer_.clear();
    pos_ = end_ = 0;
    lines_ = 0;
}

bool TextLineReader::Rewind()
{
    if (!file_ || _fseeki64(file_, dataStart_, SEEK_SET) != 0)
        return false;
    filePos_ = dataStart_;
    buffer_.resize(kChunk);
    pos_ = end_ = 0;
    pendingUnit_ = -1;
    lines_ = 0;
    return true;
}

int TextLineReader::NextByte()
{
    if (pos_ == end_) {
        end_ = fread(buffer_.data(), 1, buffer_.size(), file_);
        pos_ = 0;
        filePos_ += (long long)end_;
        if (end_ == 0)
            return -1;
    }
    return buffer_[pos_++];
}

int TextLineReader::PeekByte()
{
    int c = NextByte();
    if (c >= 0)
        --pos_;
    return c;
}

bool TextLineReader::ReadBytes(std::string& bytes)
{
    bytes.clear();
    int c = NextByte();
    if (c < 0)
        return false;
    // The bound counts characters as the line becomes UTF-16: an ANSI byte is one, a UTF-8
    // sequence one whatever its length (a four-byte one two). The bytes are bounded too, for a
    // damaged UTF-8 line of continuation bytes only.
    size_t characters = 0;
    const bool utf8 = encoding_ == TEXTENC_UTF8;
    while (c >= 0 && c != '\r' && c != '\n') {
        size_t count = 1;
        if (utf8 && (c & 0xC0) == 0x80)
            count = 0;  // continues the character before
        else if (utf8 && c >= 0xF0)
            count = 2;  // a UTF-16 pair
        if (!overlong_ && characters + count <= kTextMaxLine && bytes.size() < 4 * kTextMaxLine) {
            bytes.push_back((char)c);
            characters += count;
        } else {
            overlong_ = true;
        }
        c = NextByte();
    }
    if (c == '\r' && PeekByte() == '\n')
        NextByte();
    return true;
}

int TextLineReader::NextUnit()
{
    if (pendingUnit_ != -1) {
        int unit = pendingUnit_;
        pendingUnit_ = -1;
        return unit;
    }
    int lo = NextByte();
    if (lo < 0)
        return -1;
    int hi = NextByte();
    return hi < 0 ? -2 : lo | (hi << 8);
}

bool TextLineReader::ReadUnits(std::wstring& line, bool* invalid)
{
    line.clear();
    int unit = NextUnit();
    if (unit == -1)
        return false;
    for (;; unit = NextUnit()) {
        if (unit == -1 || unit == L'\n')
            return true;
        if (unit == -2) {  // an odd last byte is no character
            *invalid = true;
            return true;
        }
        if (unit == L'\r') {
            int next = NextUnit();
            if (next != L'\n' && next != -1)
                pendingUnit_ = next;
            return true;
        }
        wchar_t units[2] = {(wchar_t)unit, 0};
        size_t count = 1;
        if (unit >= 0xD800 && unit <= 0xDFFF) {
            // A surrogate is a character only with its other half: a high one, then a low one.
            int next = unit <= 0xDBFF ? NextUnit() : -1;
            if (next >= 0xDC00 && next <= 0xDFFF) {
                units[1] = (wchar_t)next;
                count = 2;
            } else {
                if (next != -1)
                    pendingUnit_ = next;
                units[0] = 0xFFFD;
                *invalid = true;
            }
        }
        PushUnits(line, units, count);
    }
}

void TextLineReader::PushUnits(std::wstring& line, const wchar_t* units, size_t count)
{
    if (overlong_ || line.size() + count > kTextMaxLine)
        overlong_ = true;
    else
        line.append(units, count);
}

bool TextLineReader::ReadLine(std::wstring& line, bool* invalid)
{
    *invalid = false;
    overlong_ = false;
    if (!file_)
        return false;
    bool got;
    if (encoding_ == TEXTENC_UTF16) {
        got = ReadUnits(line, invalid);
    } else {
        got = ReadBytes(bytes_);
        if (got && !overlong_)
            *invalid = !BytesToWide(bytes_, encoding_ == TEXTENC_UTF8 ? CP_UTF8 : CP_ACP, line);
    }
    if (overlong_) {
        *invalid = false;
        std::wstring().swap(line);  // what the long line took goes back
        std::string().swap(bytes_);
    }
    if (got)
        ++lines_;
    return got;
}

void CutTextLine(const std::wstring& line, const wchar_t* separator, std::vector<std::wstring>* fields)
{
    fields->clear();
    size_t length = separator ? wcslen(separator) : 0;
    if (length == 0) {
        fields->push_back(line);
        return;
    }
    size_t start = 0;
    for (;;) {
        size_t at = line.find(separator, start, length);
        if (at == std::wstring::npos) {
            fields->push_back(line.substr(start));
            return;
        }
        fields->push_back(line.substr(start, at - start));
        start = at + length;
    }
}

// ---- text fields ----

namespace {

bool IsSpace(wchar_t c) { return c == L' ' || c == 0x00A0 || c == 0x202F; }

// The text without spaces (no-break spaces of digit groups included).
std::wstring WithoutSpaces(const wchar_t* text, size_t length)
{
    std::wstring out;
    for (size_t i = 0; i < length; ++i)
        if (!IsSpace(text[i]))
            out.push_back(text[i]);
    return out;
}

void SetText(VARIANT* out, const wchar_t* text, size_t length)
{
    out->vt = VT_BSTR;
    out->bstrVal = SysAllocStringLen(text, (UINT)length);
}

}  // namespace

void ConvertTextField(const SourceColumn* column, const wchar_t* text, size_t length, VARIANT* out, bool* bad)
{
    VariantInit(out);
    if (bad)
        *bad = false;
    if (column->TargetGroup == COLGROUP_NONE)
        return;
    if (length == 0) {
        out->vt = VT_NULL;
        return;
    }
    bool failed = false;
    switch (column->TargetType) {
    case 0: {
        wchar_t c = text[0];
        out->vt = VT_BOOL;
        out->boolVal = wcschr(L"TtYyAa", c) && c ? VARIANT_TRUE : VARIANT_FALSE;
        break;
    }
    case 1: {
        // A unit may follow the number ("42 ks"); a date or a fraction is no whole number.
        LONG value = 0;
        if (ReadWholeNumber(std::wstring(text, length).c_str(), true, &value)) {
            out->vt = VT_I4;
            out->lVal = value;
        } else {
            failed = true;
        }
        break;
    }
    case 2: {
        if (column->TargetGroup == COLGROUP_FEATURES && (column->TargetOrdinal == 3 || column->TargetOrdinal == 4)) {
            SetText(out, text, length);  // a coordinate, read by the locality step
            break;
        }
        std::wstring number = WithoutSpaces(text, length < 31 ? length : 31);
        for (wchar_t& c : number)
            if (c == L',')
                c = L'.';
        float value = 0;
        if (ReadCReal(number.c_str(), &value)) {
            out->vt = VT_R8;
            out->dblVal = value;
        } else {
            failed = true;
        }
        break;
    }
    case 3: {
        std::wstring date(text, length);
        DATE value = 0;
        // A day that does not exist is never read as a nearby one (2020-13-01 as 13 January).
        if (ReadTypedDate(date.c_str(), &value) == TYPEDDATE_DATE) {
            out->vt = VT_DATE;
            out->date = value;
        } else {
            failed = true;
        }
        break;
    }
    case 6:
        SetText(out, text, length);
        break;
    default: {
        size_t limit = column->TargetSize >= 1 ? (size_t)column->TargetSize - 1 : length;
        SetText(out, text, length < limit ? length : limit);
        break;
    }
    }
    if (failed) {
        out->vt = VT_NULL;
        if (bad)
            *bad = true;
    }
}

int ImportTxtRow(ImportRun& run, RowImport& rows, const std::vector<std::wstring>& fields)
{
    if (!rows.Columns)
        return ROW_FATAL;
    for (size_t i = 0; i < rows.Values.size(); ++i) {
        VARIANT& value = rows.Values[i];
        VariantClear(&value);
        const SourceColumn* c = static_cast<const SourceColumn*>(rows.Columns->GetItems()[i]);
        if (i >= fields.size())
            continue;  // no field: empty
        bool bad = false;
        ConvertTextField(c, fields[i].c_str(), fields[i].size(), &value, &bad);
        if (bad)
            run.LogError(BadValueMessage(run, fields[i], c->SourceName).c_str());
    }
    return ImportRowValues(run, rows);
}

// ---- the source ----

CImpTXTSrc::CImpTXTSrc(HINSTANCE instance) : IImpSource(instance) {}

CImpTXTSrc::~CImpTXTSrc() = default;

namespace {

enum TextFileContent { TEXTFILE_LINES, TEXTFILE_BLANK, TEXTFILE_BINARY };

// What the file holds: a blank file has nothing but a byte-order mark, spaces and line ends,
// however long it is; a NUL byte is no character of an 8-bit or UTF-8 text (looked for in the
// first chunk, and as far as the file is blank).
TextFileContent LookAtTextFile(const wchar_t* path, TextEncoding encoding)
{
    FILE* file = _wfopen(path, L"rb");
    if (!file)
        return TEXTFILE_LINES;  // the reader opened it: let the reading tell
    std::vector<unsigned char> chunk(kChunk);
    bool blank = true, first = true;
    size_t got;
    while ((first || blank) && (got = fread(chunk.data(), 1, chunk.size(), file)) > 0) {
        size_t start = !first                     ? 0
                       : encoding == TEXTENC_UTF16 ? 2
                       : encoding == TEXTENC_UTF8 && got >= 3 && chunk[0] == 0xEF ? 3
                                                                                   : 0;
        first = false;
        for (size_t i = start; i < got; ++i) {
            unsigned char c = chunk[i];
            if (c == 0 && encoding != TEXTENC_UTF16) {
                fclose(file);
                return TEXTFILE_BINARY;
            }
            if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != 0)
                blank = false;
        }
    }
    fclose(file);
    return blank ? TEXTFILE_BLANK : TEXTFILE_LINES;
}

// The welcome page's words on how the file is read: its encoding and why, and a first line too
// long to be read.
std::wstring ReadingNote(HINSTANCE instance, TextLineReader& reader)
{
    std::wstring note;
    switch (reader.EncodingReason()) {
    case TEXTWHY_MARK:
        note = ResourceText(instance, IDS_I_TXT_ENC_MARK, {reader.Encoding() == TEXTENC_UTF16 ? L"UTF-16" : L"UTF-8"});
        break;
    case TEXTWHY_ALL_UTF8:
        note = ResourceText(instance, IDS_I_TXT_ENC_UTF8, {});
        break;
    case TEXTWHY_ASCII:
    case TEXTWHY_NOT_UTF8: {
        std::wstring codePage = L"Windows-" + std::to_wstring(GetACP());
        std::wstring line = std::to_wstring(reader.BadUtf8Line());
        note = reader.EncodingReason() == TEXTWHY_ASCII
                   ? ResourceText(instance, IDS_I_TXT_ENC_ASCII, {codePage.c_str()})
                   : ResourceText(instance, IDS_I_TXT_ENC_NOT_UTF8, {codePage.c_str(), line.c_str()});
        break;
    }
    }
    std::wstring first;
    bool invalid = false;
    if (reader.Rewind() && reader.ReadLine(first, &invalid) && reader.Overlong())
        note += L" " + ResourceText(instance, IDS_I_TXT_FIRST_LINE_LONG, {});
    return note;
}

}  // namespace

bool CImpTXTSrc::Open(const wchar_t* path)
{
    Path = path ? path : L"";
    problem_.clear();
    note_.clear();
    if (!path || !reader_.Open(path))
        return false;
    TextFileContent content = LookAtTextFile(path, reader_.Encoding());
    if (content == TEXTFILE_LINES) {
        note_ = ReadingNote(hInstance, reader_);
        return true;
    }
    reader_.Close();
    wchar_t text[256] = L"";
    LoadStringW(hInstance, content == TEXTFILE_BLANK ? IDS_I_TXT_EMPTY_FILE : IDS_I_TXT_NOT_TEXT, text, 256);
    problem_ = text;
    return false;
}

int CImpTXTSrc::GetGroupKind(int group)
{
    return group == 1 ? GROUP_TEXT_SETTINGS : group == 2 ? GROUP_COLUMNS : GROUP_NONE;
}

int CImpTXTSrc::FillGroup(int group, CPtrArray* items, void* extra)
{
    if (group == 1) {
        if (items->GetCount() == 0) {
            TextImportOptions* options = static_cast<TextImportOptions*>(calloc(1, sizeof(TextImportOptions)));
            options->Separator[0] = L'\t';
            items->Add(options);
        }
        return GROUP_TEXT_SETTINGS;
    }
    if (group != 2)
        return GROUP_NONE;
    const TextImportOptions* options = static_cast<const TextImportOptions*>(extra);
    if (items->GetCount() > 0 || !options || !reader_.Rewind())
        return GROUP_COLUMNS;
    // The captions: the line after the skipped ones, cut as a data line is.
    std::wstring line;
    bool invalid = false;
    bool got = reader_.ReadLine(line, &invalid);
    for (int i = 0; got && i < options->SkipRows; ++i)
        got = reader_.ReadLine(line, &invalid);
    // A line too long to be read names no columns (the welcome page told of a first one).
    if (!got || reader_.Overlong())
        return GROUP_COLUMNS;
    CutTextLine(line, options->Separator, &fields_);
    for (const std::wstring& field : fields_) {
        wchar_t name[64];
        StringCchCopyW(name, 64, field.empty() ? L"???" : field.c_str());
        SourceColumn* column = NewSourceColumn(name, 4, 255);
        column->TargetType = 4;
        column->TargetSize = 255;
        items->Add(column);
    }
    return GROUP_COLUMNS;
}

CPtrArray* CImpTXTSrc::Columns(ImportRun& run) const
{
    return run.Job->GroupItems[1];
}

const TextImportOptions* CImpTXTSrc::Options(ImportRun& run) const
{
    CPtrArray* list = run.Job->GroupItems[0];
    return list && list->GetCount() > 0 ? static_cast<const TextImportOptions*>(list->GetItems()[0]) : nullptr;
}

bool CImpTXTSrc::ChangeStructure(ImportRun& run)
{
    return !Columns(run) || TransferColumns(run, Columns(run));
}

bool CImpTXTSrc::OpenData(ImportRun& run)
{
    const TextImportOptions* options = Options(run);
    if (!reader_.IsOpen() && !reader_.Open(Path.c_str()))
        return false;
    if (!reader_.Rewind())
        return false;
    separator_ = options ? options->Separator : L"\t";
    // The header and the skipped lines count in the log's line numbers.
    std::wstring line;
    bool invalid;
    int skip = options ? (options->FirstRowHeader ? 1 : 0) + (options->SkipRows > 0 ? options->SkipRows : 0) : 0;
    for (int i = 0; i < skip && reader_.ReadLine(line, &invalid); ++i) {
    }
    return true;
}

bool CImpTXTSrc::OpenTargets(ImportRun& run)
{
    return IImpSource::OpenTargets(run) && Rows.Begin(run, Columns(run));
}

int CImpTXTSrc::ImportRow(ImportRun& run)
{
    std::wstring line;
    bool invalid = false;
    if (!reader_.ReadLine(line, &invalid))
        return ROW_END;
    run.Line = reader_.LinesRead();
    if (reader_.Overlong()) {
        run.LogError(run.String(IDS_I_TXT_LINE_TOO_LONG).c_str());
        return ROW_FAILED;
    }
    if (invalid)
        run.LogError(run.String(IDS_I_TXT_BAD_BYTES).c_str());
    CutTextLine(line, separator_.c_str(), &fields_);
    int columns = Rows.Columns ? Rows.Columns->GetCount() : 0;
    if (!line.empty() && (int)fields_.size() != columns) {
        wchar_t message[256];
        StringCchPrintfW(message, 256, run.String(IDS_I_TXT_FIELD_COUNT).c_str(), (int)fields_.size(), columns);
        run.LogError(message);
    }
    return ImportTxtRow(run, Rows, fields_);
}

int CImpTXTSrc::Percent()
{
    long long size = reader_.Size();
    return size > 0 ? (int)(reader_.Position() * 100 / size) : 100;
}

void CImpTXTSrc::CloseData(ImportRun&)
{
    Rows.End();
    CloseTargetTables(&Targets);
}

IImpSource* CreateTextSource(HINSTANCE instance, int)
{
    return new CImpTXTSrc(instance);
}
