// Texts of the literature dialogs' fields.
#include "browse/littext.h"

std::wstring CleanLineText(const std::wstring& text)
{
    // A pasted line break (CR LF, or either alone) or tab is one space.
    std::wstring line;
    line.reserve(text.size());
    for (size_t i = 0; i < text.size(); i++) {
        wchar_t c = text[i];
        if (c == L'\r' || c == L'\n' || c == L'\t') {
            while (i + 1 < text.size() && (text[i + 1] == L'\r' || text[i + 1] == L'\n' || text[i + 1] == L'\t'))
                i++;
            c = L' ';
        }
        line += c;
    }
    size_t first = line.find_first_not_of(L' ');
    if (first == std::wstring::npos)
        return std::wstring();
    size_t last = line.find_last_not_of(L' ');
    return line.substr(first, last - first + 1);
}

std::vector<std::wstring> SplitNameLines(const std::wstring& text)
{
    std::vector<std::wstring> names;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(L"\r\n", start);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring name = CleanLineText(text.substr(start, end - start));
        if ((int)name.size() > kLitNameLineMax)
            name.resize(kLitNameLineMax);
        if (!name.empty())
            names.push_back(name);
        start = end + 1;
    }
    return names;
}
