// Printing for both programs: the print and page set-up dialogs, the shared page set-up's first
// use and the start of a printed document all go through here, so that tests can answer the
// dialogs and send a document to a file instead of the printer.
#pragma once
#include <windows.h>
#include <commdlg.h>

// PrintDlgW and PageSetupDlgW, or the replacements a test installed. A set-up in thousandths
// of an inch is shown in hundredths of a millimetre when the user's locale measures in metric
// units, and comes back in thousandths of an inch.
BOOL ShowPrintDialog(PRINTDLGW* pd);
BOOL ShowPageSetupDialog(PAGESETUPDLGW* psd);

// Test seams: each setter installs a replacement (null restores the real dialog) and returns
// the one it replaced.
typedef BOOL(WINAPI* PrintDialogFn)(PRINTDLGW* pd);
typedef BOOL(WINAPI* PageSetupDialogFn)(PAGESETUPDLGW* psd);
PrintDialogFn SetPrintDialog(PrintDialogFn dialog);
PageSetupDialogFn SetPageSetupDialog(PageSetupDialogFn dialog);

// A file that printed documents are written to in place of the printer (DOCINFO.lpszOutput);
// null or empty: the printer itself.
void SetPrintOutputFile(const wchar_t* path);

// StartDocW for a document of that name, to the output file when one is set; StartDoc's result
// (a job id above 0, or 0 or below on failure).
int StartPrintDocument(HDC dc, const wchar_t* name);

// Whether the system knows any printer.
bool IsPrinterInstalled();

// The page set-up that the print form and map printing share keeps one unit, thousandths of an
// inch. On its first use (Flags still PSD_RETURNDEFAULT) the default printer's settings are
// fetched without a dialog, the margins become 20 mm (or the printer's least, when larger) and
// the flags PSD_MARGINS | PSD_INTHOUSANDTHSOFINCHES.
// Returns false when there is no default printer (the set-up is then left for a later try).
bool PreparePageSetup(PAGESETUPDLGW* psd);

// Keeps the printer and settings a print dialog returned in the page set-up. The dialog owned
// the set-up's handles while it ran (it may have freed or replaced them): its handles are taken
// as they are.
void KeepPrintDialogSettings(PAGESETUPDLGW* psd, const PRINTDLGW* pd);

// A printer DC for the page set-up's printer and settings; null when it cannot be made.
HDC CreatePageSetupDC(const PAGESETUPDLGW* psd);

// The printer named in a DEVNAMES block (empty for none); at most size - 1 characters.
void PrinterNameOf(HGLOBAL devNames, wchar_t* name, int size);
