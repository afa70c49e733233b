#include "core/msgboxtext.h"

#include <strsafe.h>

#include <cstdlib>

#include "core/msgbox.h"
#include "core/textutil.h"

std::wstring ResourceText(HINSTANCE module, UINT textId, std::initializer_list<const wchar_t*> inserts)
{
    wchar_t* format = LoadStringAlloc(module, textId);
    std::wstring text;
    const wchar_t* const* next = inserts.begin();
    if (!format) {
        for (; next != inserts.end(); ++next)
            text += std::wstring(text.empty() ? L"" : L" ") + (*next ? *next : L"");
        return text;
    }
    for (const wchar_t* c = format; *c; ++c) {
        if (c[0] == L'%' && c[1] == L's') {
            if (next != inserts.end()) {
                if (*next)
                    text += *next;
                ++next;
            }
            ++c;
        } else if (c[0] == L'%' && c[1] == L'%') {
            text += L'%';
            ++c;
        } else {
            text += *c;
        }
    }
    free(format);
    return text;
}

std::wstring SystemErrorText(DWORD error)
{
    wchar_t* reason = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   error, 0, reinterpret_cast<LPWSTR>(&reason), 0, nullptr);
    std::wstring why = reason ? reason : L"";
    if (reason)
        LocalFree(reason);
    while (!why.empty() && (why.back() == L'\n' || why.back() == L'\r' || why.back() == L' '))
        why.pop_back();
    if (why.empty()) {
        wchar_t code[32];
        StringCchPrintfW(code, 32, L"0x%08lX", (unsigned long)error);
        why = code;
    }
    return why;
}

int ZorMessageBoxResText(HWND owner, HINSTANCE module, UINT textId, UINT captionId, UINT type,
                         std::initializer_list<const wchar_t*> inserts)
{
    const std::wstring text = ResourceText(module, textId, inserts);
    const std::wstring caption = ResourceText(module, captionId, {});
    return ZorMessageBox(owner, text.c_str(), caption.c_str(), type);
}
