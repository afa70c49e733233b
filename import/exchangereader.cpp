#include "import/exchangereader.h"

#include <climits>
#include <cstring>

#include "import/importrun.h"
#include "resources/tarnix/resource.h"

namespace {

const size_t kChunk = 64 * 1024;

}  // namespace

bool ExchangeReader::HasMagic(const wchar_t* path, const char* magic)
{
    FILE* f = path && *path ? _wfopen(path, L"rb") : nullptr;
    if (!f)
        return false;
    size_t length = strlen(magic);
    std::string head(length, '\0');
    size_t got = fread(&head[0], 1, length, f);
    fclose(f);
    return got == length && memcmp(head.data(), magic, length) == 0;
}

bool ExchangeReader::Open(const wchar_t* path)
{
    Close();
    file_ = path && *path ? _wfopen(path, L"rb") : nullptr;
    if (!file_)
        return false;
    size_ = _fseeki64(file_, 0, SEEK_END) == 0 ? _ftelli64(file_) : 0;
    if (size_ < 0)
        size_ = 0;
    Rewind();
    return true;
}

void ExchangeReader::Close()
{
    if (file_)
        fclose(file_);
    file_ = nullptr;
    size_ = consumed_ = 0;
    at_ = filled_ = 0;
    Line = 0;
    Text.clear();
    Overlong = Garbled = false;
}

void ExchangeReader::Rewind()
{
    if (file_)
        _fseeki64(file_, 0, SEEK_SET);
    consumed_ = 0;
    at_ = filled_ = 0;
    Line = 0;
    Text.clear();
    Overlong = Garbled = false;
}

int ExchangeReader::PeekByte()
{
    if (at_ == filled_) {
        if (!file_)
            return EOF;
        buffer_.resize(kChunk);
        filled_ = fread(buffer_.data(), 1, kChunk, file_);
        at_ = 0;
        if (filled_ == 0)
            return EOF;
    }
    return buffer_[at_];
}

int ExchangeReader::NextByte()
{
    int c = PeekByte();
    if (c != EOF) {
        ++at_;
        ++consumed_;
    }
    return c;
}

bool ExchangeReader::ReadLine()
{
    Text.clear();
    Overlong = Garbled = false;
    int c = NextByte();
    if (c == EOF)
        return false;
    ++Line;
    while (c != EOF && c != '\r' && c != '\n') {
        if (Text.size() < kExchangeMaxLine) {
            Text += (char)c;
            Garbled = Garbled || (c < 0x20 && c != '\t') || c == 0x7F;
        } else {
            Overlong = true;
        }
        c = NextByte();
    }
    if (c == '\r' && PeekByte() == '\n')
        NextByte();
    return true;
}

// ---------------------------------------------------------------------------------------------

std::wstring ExchangeText(const char* bytes, size_t count, bool* cut)
{
    std::wstring text;
    if (count > 0) {
        int n = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes, (int)count, nullptr, 0);
        text.resize((size_t)(n > 0 ? n : 0));
        if (n > 0)
            MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes, (int)count, &text[0], n);
    }
    bool longer = text.size() > kExchangeTextMax;
    if (longer)
        text.resize(kExchangeTextMax);
    if (cut)
        *cut = longer;
    return text;
}

std::vector<std::string> SplitTabFields(const std::string& line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        if (tab == std::string::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
}

bool ParseExchangeInt(const std::string& text, int* value)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    size_t digits = i;
    long long number = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        number = number * 10 + (text[i] - '0');
        if (number > (long long)INT_MAX + 1)
            return false;
        ++i;
    }
    if (i == digits)
        return false;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    if (i != text.size())
        return false;
    if (negative)
        number = -number;
    if (number > INT_MAX || number < INT_MIN)
        return false;
    *value = (int)number;
    return true;
}

void UnreadStretches::Add(int line)
{
    if (first_ == 0)
        first_ = line;
    last_ = line;
    ++lines_;
}

void UnreadStretches::End(ImportRun& run)
{
    if (first_ == 0)
        return;
    std::wstring lines = std::to_wstring(first_);
    if (last_ != first_)
        lines += L"\u2013" + std::to_wstring(last_);
    int current = run.Line;
    run.Line = first_;
    run.LogError((run.String(IDS_X_LOG_LINES_UNREAD) + lines).c_str());
    run.Line = current;
    first_ = last_ = 0;
    ++count_;
}

void LogCutText(ImportRun& run, const std::wstring& text)
{
    run.LogError((run.String(IDS_X_LOG_TEXT_CUT) + text).c_str());
}

void LogBadNumber(ImportRun& run, const std::string& text)
{
    run.LogError((run.String(IDS_X_LOG_BAD_NUMBER) + ExchangeText(text)).c_str());
}

bool ReadTabLine(ImportRun& run, const std::string& line, size_t count, std::vector<std::wstring>* fields)
{
    std::vector<std::string> parts = SplitTabFields(line);
    if (parts.size() < count) {
        run.LogError(run.String(IDS_X_LOG_FEW_FIELDS).c_str());
        return false;
    }
    bool closingTab = parts.size() == count + 1 && parts[count].empty();
    if (parts.size() > count && !closingTab)
        run.LogError(run.String(IDS_X_LOG_MANY_FIELDS).c_str());
    fields->clear();
    for (size_t i = 0; i < count; ++i) {
        bool cut = false;
        fields->push_back(ExchangeText(parts[i], &cut));
        if (cut)
            LogCutText(run, fields->back());
    }
    return true;
}
