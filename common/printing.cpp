// Printing dialogs, the shared page set-up and printed documents (see printing.h).
#include "common/printing.h"

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

BOOL ShowPageSetupDialog(PAGESETUPDLGW* psd)
{
    return g_pageSetup ? g_pageSetup(psd) : PageSetupDlgW(psd);
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
    psd->rtMargin = fetch.rtMargin;
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
