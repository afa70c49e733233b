// Escaping of report text into RTF and the plain text of escaped lines (see rtftext.h).
#include "reports/rtftext.h"

#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <vector>

namespace {

// The ANSI code page's byte for every UTF-16 unit, 0 where it has none. Built once; a
// double-byte code page keeps only ASCII (its readers take the \u form).
class AnsiBytes
{
public:
    AnsiBytes() : bytes_(65536, 0)
    {
        for (int c = 0; c < 0x80; c++)
            bytes_[(size_t)c] = (char)c;
        CPINFO info = {};
        if (!GetCPInfo(CP_ACP, &info) || info.MaxCharSize != 1)
            return;
        std::vector<wchar_t> units;
        units.reserve(65536 - 0x80);
        for (int c = 0x80; c < 0x10000; c++)
            units.push_back((c >= 0xD800 && c <= 0xDFFF) ? L'?' : (wchar_t)c);
        std::vector<char> out(units.size(), 0);
        // Without best fit: a character the code page lacks becomes '?' rather than a look-alike.
        int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, units.data(), (int)units.size(),
                                    out.data(), (int)out.size(), "?", nullptr);
        if (n != (int)units.size())
            return;
        for (size_t i = 0; i < units.size(); i++) {
            unsigned char b = (unsigned char)out[i];
            bytes_[0x80 + i] = (b >= 0x80) ? (char)b : 0;
        }
    }
    unsigned char Byte(wchar_t c) const { return (unsigned char)bytes_[(size_t)c]; }

private:
    std::vector<char> bytes_;
};

const AnsiBytes& Ansi()
{
    static const AnsiBytes table;
    return table;
}

const char kHex[] = "0123456789abcdef";

void AppendWide(std::string* out, wchar_t c, const AnsiBytes& ansi)
{
    char number[16];
    int n = snprintf(number, sizeof(number), "\\u%d", (int)(short)c);
    out->append(number, (size_t)n);
    unsigned char b = ansi.Byte(c);
    if (b) {
        out->append("\\'", 2);
        out->push_back(kHex[b >> 4]);
        out->push_back(kHex[b & 15]);
    } else {
        out->push_back('?');
    }
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

void AppendRtfChars(std::string* out, const wchar_t* text, size_t length, int maxBytes)
{
    if (!text)
        return;
    const AnsiBytes& ansi = Ansi();
    int taken = 0;
    for (size_t i = 0; i < length; i++) {
        if (maxBytes >= 0 && taken++ >= maxBytes)
            return;
        wchar_t c = text[i];
        switch (c) {
        case L'\\': out->append("\\\\", 2); break;
        case L'{': out->append("\\{", 2); break;
        case L'}': out->append("\\}", 2); break;
        case L'\r':
            if (i + 1 < length && text[i + 1] == L'\n')
                i++;
            out->append("\\line ", 6);
            break;
        case L'\n': out->append("\\line ", 6); break;
        case L'\t': out->append("\\tab ", 5); break;
        case 0: break;  // a NUL inside a value shows nothing
        default:
            if (c < 0x20 || c == 0x7F)
                out->push_back(' ');
            else if (c < 0x80)
                out->push_back((char)c);
            else
                AppendWide(out, c, ansi);
            break;
        }
    }
}

void AppendRtfText(std::string* out, const wchar_t* text, int maxBytes)
{
    if (text)
        AppendRtfChars(out, text, wcslen(text), maxBytes);
}

void AppendRtfAnsiText(std::string* out, const char* text)
{
    if (!text || !*text)
        return;
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 1)
        return;
    std::wstring wide((size_t)n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], n);
    AppendRtfChars(out, wide.data(), (size_t)n - 1);
}

void AppendRtfLineEnd(std::string* out)
{
    *out += "\\par\r\n";
}

char* MallocCopy(const std::string& text)
{
    if (text.empty())
        return nullptr;
    char* copy = static_cast<char*>(malloc(text.size() + 1));
    if (copy)
        memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

std::wstring RtfLineText(const char* rtf, size_t length)
{
    std::wstring text;
    if (!rtf)
        return text;
    size_t i = 0;
    int skip = 0;  // fallback characters still to skip after \uN
    while (i < length) {
        char c = rtf[i];
        if (c == '{' || c == '}') {
            i++;
            continue;
        }
        if (c == '\r' || c == '\n') {
            i++;
            continue;
        }
        if (c != '\\') {
            if (skip > 0)
                skip--;
            else
                text.push_back((wchar_t)(unsigned char)c);  // ASCII outside escapes
            i++;
            continue;
        }
        if (i + 1 >= length)
            break;
        char next = rtf[i + 1];
        if (next == '\\' || next == '{' || next == '}') {
            if (skip > 0)
                skip--;
            else
                text.push_back((wchar_t)next);
            i += 2;
            continue;
        }
        if (next == '\'') {
            int hi = i + 2 < length ? HexValue(rtf[i + 2]) : -1;
            int lo = i + 3 < length ? HexValue(rtf[i + 3]) : -1;
            i += 4;
            if (hi < 0 || lo < 0)
                continue;
            if (skip > 0) {
                skip--;
                continue;
            }
            char byte = (char)(hi * 16 + lo);
            wchar_t wide = L'?';
            MultiByteToWideChar(CP_ACP, 0, &byte, 1, &wide, 1);
            text.push_back(wide);
            continue;
        }
        // A control word: letters, an optional signed number, an optional space delimiter.
        size_t start = i + 1, j = start;
        while (j < length && ((rtf[j] >= 'a' && rtf[j] <= 'z') || (rtf[j] >= 'A' && rtf[j] <= 'Z')))
            j++;
        std::string word(rtf + start, j - start);
        size_t numberStart = j;
        if (j < length && rtf[j] == '-')
            j++;
        while (j < length && rtf[j] >= '0' && rtf[j] <= '9')
            j++;
        std::string number(rtf + numberStart, j - numberStart);
        if (j < length && rtf[j] == ' ')
            j++;
        i = j;
        if (word.empty()) {
            i = start + 1;  // another control symbol (\~, \-, ...): nothing
            continue;
        }
        if (word == "par" || word == "line") {
            text.append(L"\r\n");
        } else if (word == "tab") {
            text.push_back(L'\t');
        } else if (word == "u" && !number.empty()) {
            text.push_back((wchar_t)(unsigned short)(short)atoi(number.c_str()));
            skip = 1;
        }
    }
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, L"\r\n") == 0)
        text.resize(text.size() - 2);
    return text;
}
