// Printing dialogs, the shared page set-up and printed documents (see printing.h).
#include "common/printing.h"

#include <algorithm>
#include <string>

namespace {

PrintDialogFn g_print = nullptr;
PageSetupDialogFn g_pageSetup = nullptr;
std::wstring g_output;

}  // namespace

BOOL ShowPrintDialog(PRINTDLGW* pd)
{
    return g_print ? g_print(pd) : PrintDlgW(pd);
}

namespace {

// Thousandths of an inch in a 20 mm margin.
const LONG kDefaultMargin = 787;

bool UsesMetricUnits()
{
    wchar_t measure[4] = L"";
    return GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IMEASURE, measure, ARRAYSIZE(measure)) > 0
           && measure[0] == L'0';
}

// The set-up's lengths from thousandths of an inch to hundredths of a millimetre; the margins,
// which the user reads and types, to whole tenths of a millimetre (20 mm rather than 19.99).
void ToMetric(PAGESETUPDLGW* psd)
{
    for (LONG* length : {&psd->ptPaperSize.x, &psd->ptPaperSize.y, &psd->rtMinMargin.left,
                         &psd->rtMinMargin.top, &psd->rtMinMargin.right, &psd->rtMinMargin.bottom})
        *length = MulDiv(*length, 254, 100);
    for (LONG* margin : {&psd->rtMargin.left, &psd->rtMargin.top, &psd->rtMargin.right, &psd->rtMargin.bottom})
        *margin = MulDiv(*margin, 254, 1000) * 10;
    psd->Flags = (psd->Flags & ~PSD_INTHOUSANDTHSOFINCHES) | PSD_INHUNDREDTHSOFMILLIMETERS;
}

void FromMetric(PAGESETUPDLGW* psd)
{
    for (LONG* length : {&psd->ptPaperSize.x, &psd->ptPaperSize.y, &psd->rtMinMargin.left,
                         &psd->rtMinMargin.top, &psd->rtMinMargin.right, &psd->rtMinMargin.bottom,
                         &psd->rtMargin.left, &psd->rtMargin.top, &psd->rtMargin.right, &psd->rtMargin.bottom})
        *length = MulDiv(*length, 100, 254);
    psd->Flags = (psd->Flags & ~PSD_INHUNDREDTHSOFMILLIMETERS) | PSD_INTHOUSANDTHSOFINCHES;
}

BOOL RunPageSetupDialog(PAGESETUPDLGW* psd)
{
    return g_pageSetup ? g_pageSetup(psd) : PageSetupDlgW(psd);
}

}  // namespace

// The set-up keeps thousandths of an inch; a user of a metric locale sets it in millimetres.
BOOL ShowPageSetupDialog(PAGESETUPDLGW* psd)
{
    if (!(psd->Flags & PSD_INTHOUSANDTHSOFINCHES) || !UsesMetricUnits())
        return RunPageSetupDialog(psd);
    PAGESETUPDLGW metric = *psd;
    ToMetric(&metric);
    BOOL accepted = RunPageSetupDialog(&metric);
    // The dialog may have replaced the printer handles even when it was cancelled.
    psd->hDevMode = metric.hDevMode;
    psd->hDevNames = metric.hDevNames;
    if (!accepted)
        return FALSE;
    FromMetric(&metric);
    *psd = metric;
    return TRUE;
}

PrintDialogFn SetPrintDialog(PrintDialogFn dialog)
{
    PrintDialogFn old = g_print;
    g_print = dialog;
    return old;
}

PageSetupDialogFn SetPageSetupDialog(PageSetupDialogFn dialog)
{
    PageSetupDialogFn old = g_pageSetup;
    g_pageSetup = dialog;
    return old;
}

void SetPrintOutputFile(const wchar_t* path)
{
    g_output = path ? path : L"";
}

int StartPrintDocument(HDC dc, const wchar_t* name)
{
    DOCINFOW info = {};
    info.cbSize = sizeof(info);
    info.lpszDocName = name;
    info.lpszOutput = g_output.empty() ? nullptr : g_output.c_str();
    return StartDocW(dc, &info);
}

bool IsPrinterInstalled()
{
    DWORD needed = 0, count = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, nullptr, 0, &needed, &count);
    if (needed == 0)
        return false;
    std::string buffer(needed, '\0');
    if (!EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4,
                       reinterpret_cast<LPBYTE>(&buffer[0]), needed, &needed, &count))
        return false;
    return count > 0;
}

static void ReplacePrinterSettings(PAGESETUPDLGW* psd, HGLOBAL devMode, HGLOBAL devNames);

bool PreparePageSetup(PAGESETUPDLGW* psd)
{
    if (!psd)
        return false;
    if (!(psd->Flags & PSD_RETURNDEFAULT))
        return true;
    PAGESETUPDLGW fetch = *psd;
    fetch.lStructSize = sizeof(PAGESETUPDLGW);
    fetch.hDevMode = nullptr;  // PSD_RETURNDEFAULT wants none
    fetch.hDevNames = nullptr;
    fetch.Flags = PSD_RETURNDEFAULT | PSD_INTHOUSANDTHSOFINCHES;
    if (!PageSetupDlgW(&fetch))
        return false;
    ReplacePrinterSettings(psd, fetch.hDevMode, fetch.hDevNames);
    psd->ptPaperSize = fetch.ptPaperSize;
    psd->rtMinMargin = fetch.rtMinMargin;
    // The printer's defaults may put the text at the paper's edge: 20 mm on every side, or
    // the least the printer can print.
    psd->rtMargin = {std::max(kDefaultMargin, fetch.rtMinMargin.left),
                     std::max(kDefaultMargin, fetch.rtMinMargin.top),
                     std::max(kDefaultMargin, fetch.rtMinMargin.right),
                     std::max(kDefaultMargin, fetch.rtMinMargin.bottom)};
    psd->Flags = PSD_MARGINS | PSD_INTHOUSANDTHSOFINCHES;
    return true;
}

void KeepPrintDialogSettings(PAGESETUPDLGW* psd, const PRINTDLGW* pd)
{
    if (!psd || !pd)
        return;
    psd->hDevMode = pd->hDevMode;
    psd->hDevNames = pd->hDevNames;
}

// Replaces the set-up's printer handles with new ones of our own, freeing the old.
static void ReplacePrinterSettings(PAGESETUPDLGW* psd, HGLOBAL devMode, HGLOBAL devNames)
{
    if (devMode != psd->hDevMode) {
        if (psd->hDevMode)
            GlobalFree(psd->hDevMode);
        psd->hDevMode = devMode;
    }
    if (devNames != psd->hDevNames) {
        if (psd->hDevNames)
            GlobalFree(psd->hDevNames);
        psd->hDevNames = devNames;
    }
}

HDC CreatePageSetupDC(const PAGESETUPDLGW* psd)
{
    if (!psd || !psd->hDevNames)
        return nullptr;
    DEVNAMES* names = static_cast<DEVNAMES*>(GlobalLock(psd->hDevNames));
    if (!names)
        return nullptr;
    const wchar_t* base = reinterpret_cast<const wchar_t*>(names);
    DEVMODEW* mode = psd->hDevMode ? static_cast<DEVMODEW*>(GlobalLock(psd->hDevMode)) : nullptr;
    HDC dc = CreateDCW(base + names->wDriverOffset, base + names->wDeviceOffset,
                       base + names->wOutputOffset, mode);
    if (mode)
        GlobalUnlock(psd->hDevMode);
    GlobalUnlock(psd->hDevNames);
    return dc;
}

void PrinterNameOf(HGLOBAL devNames, wchar_t* name, int size)
{
    if (size <= 0)
        return;
    name[0] = L'\0';
    DEVNAMES* names = devNames ? static_cast<DEVNAMES*>(GlobalLock(devNames)) : nullptr;
    if (!names)
        return;
    lstrcpynW(name, reinterpret_cast<const wchar_t*>(names) + names->wDeviceOffset, size);
    GlobalUnlock(devNames);
}
