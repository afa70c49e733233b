// The report tests' list, main-form stand-in and stream helpers (see reportfixture.h).
#include "tests/reports/reportfixture.h"

#include <richedit.h>
#include <stdlib.h>
#include <string.h>

namespace reporttest {

namespace {

FakeOwner* g_owner = nullptr;

std::string Ansi(const std::wstring& text)
{
    int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), (int)text.size(), nullptr, 0, nullptr, nullptr);
    std::string out((size_t)(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), (int)text.size(), &out[0], n, nullptr, nullptr);
    return out;
}

void AnswerPath(FakeOwner* owner, int card, ZmItemPathRequest* request)
{
    owner->PathIds[card].push_back(request->ItemId);
    std::wstring text = owner->PathPrefix[card] + std::to_wstring(request->ItemId);
    if (card == ZM_CARD_LOC) {
        for (const FakeOwner::Level& level : owner->Levels) {
            const LocPathAbbrevs* hooks = request->Abbrevs;
            bool abbreviated = hooks && hooks->UsesAbbrev && hooks->UsesAbbrev(hooks->Context, level.Name.c_str());
            if (abbreviated) {
                VARIANT name, abbrev;
                name.vt = VT_BSTR;
                name.bstrVal = SysAllocString(level.Item.c_str());
                abbrev.vt = VT_BSTR;
                abbrev.bstrVal = SysAllocString(level.Abbrev.c_str());
                if (hooks->Add)
                    hooks->Add(hooks->Context, &name, &abbrev);
                VariantClear(&name);
                VariantClear(&abbrev);
            }
            text += L" / " + (abbreviated ? level.Abbrev : level.Item);
        }
    }
    std::string bytes = Ansi(text);
    if (!request->Text || request->Capacity <= 0)
        return;
    size_t n = bytes.size() < (size_t)request->Capacity - 1 ? bytes.size() : (size_t)request->Capacity - 1;
    memcpy(request->Text, bytes.data(), n);
    request->Text[n] = '\0';
    request->Length = (int)n;
}

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    FakeOwner* owner = g_owner;
    if (!owner)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case ZM_GET_CURRENT_ITEM_NAME: {
        char* buffer = reinterpret_cast<char*>(lParam);
        if (buffer && wParam <= 1)
            lstrcpynA(buffer, owner->ItemName[wParam].c_str(), kZmItemNameBytes);
        return TRUE;
    }
    case ZM_GET_CRITERIA_TEXT: {
        char** out = reinterpret_cast<char**>(lParam);
        owner->CriteriaAsked++;
        if (out)
            *out = owner->Criteria.empty() ? nullptr : _strdup(owner->Criteria.c_str());
        return TRUE;
    }
    case ZM_LOOKUP_FIELD_VALUE: {
        ZmLookupValueRequest* request = reinterpret_cast<ZmLookupValueRequest*>(lParam);
        owner->LookupsAsked++;
        if (request && request->Value.vt == VT_BSTR) {
            auto found = owner->Abbrevs.find(request->Value.bstrVal);
            if (found != owner->Abbrevs.end()) {
                request->Result.vt = VT_BSTR;
                request->Result.bstrVal = SysAllocString(found->second.c_str());
            }
        }
        return TRUE;
    }
    case ZM_GET_LEVEL_SPAN:
        if (int* out = reinterpret_cast<int*>(lParam))
            *out = owner->LevelSpan;
        return TRUE;
    case ZM_GET_ITEM_PATH:
        if (wParam <= 1 && lParam)
            AnswerPath(owner, (int)wParam, reinterpret_cast<ZmItemPathRequest*>(lParam));
        return TRUE;
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

FakeOwner::FakeOwner()
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = OwnerProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ZorReportOwner";
        RegisterClassW(&wc);
        registered = true;
    }
    g_owner = this;
    Window = CreateWindowExW(0, L"ZorReportOwner", L"", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
}

FakeOwner::~FakeOwner()
{
    DestroyWindow(Window);
    if (g_owner == this)
        g_owner = nullptr;
}

std::string StreamReport(const ReportOptions& options, zdata::Recordset* rows, AbbrevPairList* pairs,
                         const RtfReportFormat& format, int pieceSize)
{
    ReportLines lines(options, rows, pairs);
    int capacity = 256;
    char* buffer = static_cast<char*>(malloc((size_t)capacity));
    RtfReport rtf(&lines, format, &buffer, &capacity);
    std::string document;
    std::vector<char> piece((size_t)pieceSize);
    for (;;) {
        int n = rtf.GenerateReport(piece.data(), pieceSize);
        EXPECT_LE(n, pieceSize);
        if (n <= 0)
            break;
        document.append(piece.data(), (size_t)n);
    }
    EXPECT_TRUE(rtf.Finished());
    free(buffer);
    return document;
}

std::vector<ReportLine> ReportLinesOf(const ReportOptions& options, zdata::Recordset* rows,
                                      AbbrevPairList* pairs)
{
    ReportLines lines(options, rows, pairs);
    std::vector<ReportLine> all;
    ReportLine line;
    while (lines.Next(&line))
        all.push_back(line);
    return all;
}

namespace {

struct Source
{
    const std::string* bytes;
    size_t pos;
};

DWORD CALLBACK ReadSource(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* done)
{
    Source* source = reinterpret_cast<Source*>(cookie);
    size_t rest = source->bytes->size() - source->pos;
    size_t n = rest < (size_t)size ? rest : (size_t)size;
    memcpy(buffer, source->bytes->data() + source->pos, n);
    source->pos += n;
    *done = (LONG)n;
    return 0;
}

}  // namespace

std::wstring TextThroughRichEdit(const std::string& rtf)
{
    static HMODULE library = LoadLibraryW(L"RICHED20.DLL");
    (void)library;
    HWND control = CreateWindowExW(0, L"RichEdit20W", L"", WS_POPUP | ES_MULTILINE, 0, 0, 400, 300,
                                   nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    EXPECT_TRUE(control != nullptr);
    if (!control)
        return L"";
    SendMessageW(control, EM_EXLIMITTEXT, 0, 0x7FFFFFFF);
    SendMessageW(control, EM_SETTARGETDEVICE, 0, 1);  // as the print form's control: no wrapping
    Source source = {&rtf, 0};
    EDITSTREAM es = {};
    es.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
    es.pfnCallback = ReadSource;
    SendMessageW(control, EM_STREAMIN, SF_RTF, (LPARAM)&es);
    std::wstring text = RichEditText(control);
    DestroyWindow(control);
    return text;
}

std::wstring RichEditText(HWND control)
{
    GETTEXTLENGTHEX length = {GTL_DEFAULT | GTL_NUMCHARS, 1200};
    LRESULT count = SendMessageW(control, EM_GETTEXTLENGTHEX, (WPARAM)&length, 0);
    std::wstring text((size_t)count + 1, L'\0');
    GETTEXTEX get = {};
    get.cb = (DWORD)((count + 1) * sizeof(wchar_t));
    get.flags = GT_DEFAULT;
    get.codepage = 1200;
    LRESULT got = SendMessageW(control, EM_GETTEXTEX, (WPARAM)&get, (LPARAM)&text[0]);
    text.resize((size_t)(got > 0 ? got : 0));
    return text;
}

}  // namespace reporttest
