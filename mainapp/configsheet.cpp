// The configuration sheet itself, its apply pass and the general page (card font and caption).
#include "mainapp/configsheet.h"

#include <prsht.h>
#include <strsafe.h>

#include <string>

#include "common/fontchooser.h"
#include "core/msgbox.h"
#include "core/textutil.h"
#include "shellcontract/configdata.h"
#include "mainapp/configsheet_pages.h"
#include "shellcontract/zm_protocol.h"
#include "resources/zorna/resource.h"

namespace {

struct PageTemplate
{
    const wchar_t* name;
    DLGPROC proc;
};

// In sheet order: the index of each page is its index into PageStates.
const PageTemplate kPages[CONFIG_PAGE_COUNT] = {
    {L"CONFGENPAGE", ConfigGeneralPageProc},      {L"CONFCUSTFLDSPAGE", ConfigCustomPageProc},
    {L"CONFSYSTPAGE", ConfigSystemPageProc},      {L"CONFLOCPAGE", ConfigLocalityPageProc},
    {L"CONFSAERCHPAGE", ConfigSearchPageProc},    {L"CONFLITPAGE", ConfigLiteraturePageProc},
};

bool IsStockFont(HFONT font)
{
    return font == (HFONT)GetStockObject(SYSTEM_FONT);
}

// ---- general page ----

// The sample shows the working font in its colour and size: "<face>, <n> pt", as tall as the
// size asks.
void ShowFontSample(HWND page, ConfigData* config)
{
    HWND sample = GetDlgItem(page, IDC_GEN_FONTSAMPLE);
    wchar_t text[LF_FACESIZE + 32] = L"";
    StringCchPrintfW(text, ARRAYSIZE(text), L"%s, %d pt", config->WorkLogFont.lfFaceName,
                     config->WorkPointSize / 10);
    SendMessageW(sample, WM_SETFONT, (WPARAM)config->WorkFont, FALSE);
    SetWindowTextW(sample, text);
    ShowWindow(sample, SW_HIDE);
    RECT old = {};
    GetWindowRect(sample, &old);
    MapWindowPoints(nullptr, page, (POINT*)&old, 2);
    InvalidateRect(page, &old, TRUE);
    UpdateWindow(page);
    SetWindowPos(sample, nullptr, 0, 0, old.right - old.left, config->WorkPointSize / 5,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(sample, SW_SHOW);
}

// A new working font; the one it replaces is deleted unless the configuration uses it since an
// earlier apply.
void SetWorkFont(ConfigData* config, HFONT font)
{
    if (config->WorkFont && config->WorkFont != config->CardFont)
        DeleteObject(config->WorkFont);
    config->WorkFont = font;
}

void ChooseCardFont(HWND page, ConfigData* config)
{
    LOGFONTW chosen = config->WorkLogFont;
    CHOOSEFONTW cf = {};
    cf.lStructSize = sizeof(cf);
    cf.hwndOwner = GetParent(page);
    cf.lpLogFont = &chosen;
    cf.iPointSize = config->WorkPointSize;
    cf.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS;
    cf.rgbColors = config->WorkColor;
    if (!ChooseFontDialog(&cf))
        return;
    HFONT font = CreateFontIndirectW(&chosen);
    if (!font)
        return;
    config->WorkLogFont = chosen;
    config->WorkColor = cf.rgbColors;
    config->WorkPointSize = cf.iPointSize;
    SetWorkFont(config, font);
    ShowFontSample(page, config);
    MarkPageChanged(config, page, CONFIG_PAGE_GENERAL);
}

std::wstring WindowString(HWND wnd)
{
    int length = GetWindowTextLengthW(wnd);
    std::wstring text((size_t)length + 1, L'\0');
    length = GetWindowTextW(wnd, &text[0], length + 1);
    text.resize((size_t)(length > 0 ? length : 0));
    return text;
}

void ApplyGeneralPage(HWND page, ConfigData* config)
{
    // The windows keep drawing with the old font until the pass announces the new one.
    HFONT previous = config->CardFont;
    config->CardFont = config->WorkFont;
    if (previous && previous != config->CardFont && !IsStockFont(previous)) {
        if (config->RetiredCardFont)
            DeleteObject(config->RetiredCardFont);
        config->RetiredCardFont = previous;
    }
    config->CardLogFont = config->WorkLogFont;
    config->CardColor = config->WorkColor;
    config->CardPointSize = config->WorkPointSize;
    std::wstring caption = WindowString(GetDlgItem(page, IDC_GEN_CAPTION));
    free(config->AppCaption);
    config->AppCaption = WideDup(caption.c_str());
}

}  // namespace

// ---- shared by the pages ----

ConfigData* PageConfig(HWND page, UINT msg, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        const PROPSHEETPAGEW* psp = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
        ConfigData* config = psp ? reinterpret_cast<ConfigData*>(psp->lParam) : nullptr;
        SetWindowLongPtrW(page, DWLP_USER, reinterpret_cast<LONG_PTR>(config));
        if (config)
            config->Sheet = GetParent(page);
        return config;
    }
    return reinterpret_cast<ConfigData*>(GetWindowLongPtrW(page, DWLP_USER));
}

void MarkPageChanged(ConfigData* config, HWND page, int k)
{
    config->Changed = 1;
    config->PageStates[k] = CONFIG_PAGE_CHANGED;
    PropSheet_Changed(GetParent(page), page);
}

INT_PTR FinishPageApply(ConfigData* config, HWND page)
{
    bool waiting = false;
    for (BYTE state : config->PageStates)
        waiting = waiting || state == CONFIG_PAGE_CHANGED;
    if (config->Changed && !waiting) {
        SendMessageW(config->Owner, ZM_CONFIG_CHANGED, 0, 0);
        config->Changed = 0;
        // The windows use the new card font now.
        if (config->RetiredCardFont)
            DeleteObject(config->RetiredCardFont);
        config->RetiredCardFont = nullptr;
    }
    SetWindowLongPtrW(page, DWLP_MSGRESULT, PSNRET_NOERROR);
    return TRUE;
}

void ConfigWarning(ConfigData* config, UINT textId, const wchar_t* part, int number)
{
    wchar_t format[512] = L"", text[640] = L"", caption[64] = L"";
    LoadStringW(config->Instance, textId, format, ARRAYSIZE(format));
    LoadStringW(config->Instance, IDS_ERROR_CAPTION, caption, ARRAYSIZE(caption));
    StringCchPrintfW(text, ARRAYSIZE(text), format, part ? part : L"", number);
    ZorMessageBox(MessageOwner(config->Owner), text, caption, MB_ICONWARNING);
}

INT_PTR CALLBACK ConfigGeneralPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    ConfigData* config = PageConfig(page, msg, lParam);
    if (!config)
        return FALSE;
    switch (msg) {
    case WM_INITDIALOG:
        ShowFontSample(page, config);
        SetDlgItemTextW(page, IDC_GEN_CAPTION, config->AppCaption ? config->AppCaption : L"");
        config->PageStates[CONFIG_PAGE_GENERAL] = CONFIG_PAGE_UNCHANGED;
        return TRUE;
    case WM_CTLCOLORSTATIC:
        if (GetDlgCtrlID((HWND)lParam) != IDC_GEN_FONTSAMPLE)
            return FALSE;
        SetTextColor((HDC)wParam, config->WorkColor);
        SetBkMode((HDC)wParam, TRANSPARENT);
        return (INT_PTR)GetStockObject(HOLLOW_BRUSH);
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_GEN_CHANGEFONT && HIWORD(wParam) == BN_CLICKED)
            ChooseCardFont(page, config);
        else if (LOWORD(wParam) == IDC_GEN_CAPTION && HIWORD(wParam) == EN_CHANGE
                 && config->PageStates[CONFIG_PAGE_GENERAL] != CONFIG_PAGE_NOT_OPENED)
            MarkPageChanged(config, page, CONFIG_PAGE_GENERAL);
        return TRUE;
    case WM_NOTIFY:
        if (reinterpret_cast<NMHDR*>(lParam)->code == PSN_APPLY) {
            if (config->PageStates[CONFIG_PAGE_GENERAL] == CONFIG_PAGE_CHANGED) {
                ApplyGeneralPage(page, config);
                config->PageStates[CONFIG_PAGE_GENERAL] = CONFIG_PAGE_UNCHANGED;
            }
            return FinishPageApply(config, page);
        }
        return FALSE;
    }
    return FALSE;
}

// ---- the sheet ----

int ShowConfigDialog(ConfigData* config, HWND owner)
{
    if (!config)
        return 0;
    config->Owner = owner;
    for (BYTE& state : config->PageStates)
        state = CONFIG_PAGE_NOT_OPENED;
    config->Changed = 0;
    config->CurCustom = nullptr;
    config->CustomPage = nullptr;
    config->Sheet = nullptr;
    config->RetiredCardFont = nullptr;
    config->SortLists();
    config->WorkLogFont = config->CardLogFont;
    config->WorkFont = CreateFontIndirectW(&config->WorkLogFont);
    config->WorkColor = config->CardColor;
    config->WorkPointSize = config->CardPointSize;

    PROPSHEETPAGEW pages[CONFIG_PAGE_COUNT] = {};
    for (int i = 0; i < CONFIG_PAGE_COUNT; i++) {
        pages[i].dwSize = sizeof(PROPSHEETPAGEW);
        pages[i].dwFlags = PSP_DEFAULT;
        pages[i].hInstance = config->Instance;
        pages[i].pszTemplate = kPages[i].name;
        pages[i].pfnDlgProc = kPages[i].proc;
        pages[i].lParam = reinterpret_cast<LPARAM>(config);
    }
    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE;
    header.hwndParent = owner;
    header.hInstance = config->Instance;
    header.pszCaption = MAKEINTRESOURCEW(IDS_CONFIG_CAPTION);
    header.nPages = CONFIG_PAGE_COUNT;
    header.nStartPage = 0;
    header.ppsp = pages;
    INT_PTR result = PropertySheetW(&header);

    // The working font goes unless an apply made it the card font (Apply then Cancel returns 0
    // and still leaves it in use).
    if (config->WorkFont && config->WorkFont != config->CardFont)
        DeleteObject(config->WorkFont);
    config->WorkFont = nullptr;
    if (config->RetiredCardFont) {
        // Never deleted while a window may still draw with it.
        SendMessageW(owner, ZM_CONFIG_CHANGED, 0, 0);
        DeleteObject(config->RetiredCardFont);
        config->RetiredCardFont = nullptr;
    }
    config->Sheet = nullptr;
    config->CustomPage = nullptr;
    config->CurCustom = nullptr;
    return result > 0 ? 1 : 0;
}
