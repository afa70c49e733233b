#include "reports/rtftext.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void AppendHexByte(std::string* out, unsigned char byte)
{
    char text[8];
    snprintf(text, sizeof(text), "\\'%02x", byte);
    *out += text;
}

void AppendUnicodeEscape(std::string* out, wchar_t unit)
{
    char text[16];
    snprintf(text, sizeof(text), "\\u%d?", static_cast<int>(static_cast<short>(unit)));
    *out += text;
}

}  // namespace

void AppendRtfText(std::string* out, const wchar_t* text, int maxBytes)
{
    if (!text)
        return;
    int taken = 0;
    for (const wchar_t* p = text; *p; ++p) {
        wchar_t c = *p;
        if (c < 0x80) {
            if (maxBytes >= 0 && taken + 1 > maxBytes)
                return;
            ++taken;
            if (c == L'\\' || c == L'{' || c == L'}') {
                *out += '\\';
                *out += static_cast<char>(c);
            } else if (c < 0x20 || c == 0x7F) {
                *out += ' ';
            } else {
                *out += static_cast<char>(c);
            }
            continue;
        }
        // A surrogate pair is one character of the code page, or two \u escapes.
        int units = (c >= 0xD800 && c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) ? 2 : 1;
        char bytes[8];
        BOOL usedDefault = FALSE;
        int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, p, units, bytes, sizeof(bytes),
                                    nullptr, &usedDefault);
        bool fits = n > 0 && !usedDefault;
        int cost = fits ? n : 1;
        if (maxBytes >= 0 && taken + cost > maxBytes)
            return;
        taken += cost;
        if (fits) {
            for (int i = 0; i < n; ++i)
                AppendHexByte(out, static_cast<unsigned char>(bytes[i]));
        } else {
            for (int i = 0; i < units; ++i)
                AppendUnicodeEscape(out, p[i]);
        }
        p += units - 1;
    }
}

void AppendRtfLineEnd(std::string* out)
{
    *out += "\\par\r\n";
}

char* MallocCopy(const std::string& text)
{
    if (text.empty())
        return nullptr;
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy)
        std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}
