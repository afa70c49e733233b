// The print form's report: the runs of the report thread that stream it into the control, and
// what is done with the report shown (saved, printed, made in another font).
//
// Every restart starts a run with a number of its own. Its thread waits for the previous run's
// thread and then sends EM_STREAMIN; the control calls the stream callback on the window's
// thread, where a stream whose run is no longer the current one hands out nothing. So a quick
// series of restarts ends with exactly one complete report, the streams never overlap, and the
// window's thread never waits for a report thread.
#include "reports/printform.h"

#include <commctrl.h>
#include <richedit.h>
#include <stdlib.h>

#include <algorithm>
#include <string>

#include "common/filechooser.h"
#include "common/printing.h"
#include "core/containers.h"
#include "core/msgbox.h"
#include "core/textutil.h"
#include "dataaccess/ado.h"
#include "reports/paginator.h"
#include "reports/rtfreport.h"
#include "resources/zorna/resource.h"

// The state of one run of the report.
struct ReportRun
{
    int Id = 0;
    ReportOptions Options;
    RtfReportFormat Format;
    zdata::Recordset* Snapshot = nullptr;  // the list as the run found it; null without one
    ReportLines* Lines = nullptr;
    RtfReport* Rtf = nullptr;
    // The document exactly as the control received it: saving writes these bytes, since the
    // control's own RTF writes a letter outside the code page as a look-alike.
    HANDLE Copy = INVALID_HANDLE_VALUE;
    bool CopyFailed = false;
    bool Complete = false;  // the document's end has been handed out
    int InUse = 0;          // a stream callback of this run is running
    int Percent = -1;
    ReportRun* Next = nullptr;  // retired runs waiting to be freed
};

void DeleteReportRun(ReportRun* run)
{
    while (run) {
        ReportRun* next = run->Next;
        delete run->Rtf;
        delete run->Lines;
        if (run->Snapshot)
            run->Snapshot->Release();
        if (run->Copy != INVALID_HANDLE_VALUE)
            CloseHandle(run->Copy);
        delete run;
        run = next;
    }
}

// Frees the runs of a chain that no stream callback is using; those still in use (a callback
// below us on the stack) are kept on the keeper's chain, to be freed later.
static void RetireRuns(ReportRun* keeper, ReportRun* chain)
{
    while (chain) {
        ReportRun* next = chain->Next;
        chain->Next = nullptr;
        if (chain->InUse) {
            chain->Next = keeper->Next;
            keeper->Next = chain;
        } else {
            DeleteReportRun(chain);
        }
        chain = next;
    }
}

namespace {

const wchar_t kDocumentName[] = L"ZornaPrint";
const UINT kErrorCaption = IDS_ERROR_CAPTION;

// What a report thread needs; freed by the thread.
struct StreamCookie
{
    CPrintForm* Form;
    int Run;
    HWND Control;
    HANDLE Previous;  // the previous run's thread, waited for and closed by this one
};

// A temporary file that the system deletes when its handle is closed.
HANDLE CreateScratchFile()
{
    wchar_t folder[MAX_PATH + 1], path[MAX_PATH + 1];
    if (!GetTempPathW(MAX_PATH + 1, folder) || !GetTempFileNameW(folder, L"zrp", 0, path))
        return INVALID_HANDLE_VALUE;
    return CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

bool WriteAll(HANDLE file, const void* data, DWORD size)
{
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

DWORD CALLBACK ReportStreamCallback(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* done)
{
    StreamCookie* stream = reinterpret_cast<StreamCookie*>(cookie);
    CPrintForm* form = stream->Form;
    ReportRun* run = form->CurrentRun();
    *done = 0;
    // A stream of an earlier run hands out nothing: the new run's stream follows it.
    if (!run || run->Id != stream->Run || form->ReportRunId.load() != stream->Run || size <= 0)
        return 0;
    run->InUse++;
    int n = run->Rtf->GenerateReport(reinterpret_cast<char*>(buffer), (int)size);
    if (n > 0 && run->Copy != INVALID_HANDLE_VALUE && !run->CopyFailed)
        run->CopyFailed = !WriteAll(run->Copy, buffer, (DWORD)n);
    if (run->Rtf->Finished())
        run->Complete = true;
    // The bar shows the rows done; it is drawn at once, since this thread is busy until the end.
    long count = run->Lines->RowCount();
    int percent = count > 0 ? (int)std::min<long long>(100, run->Lines->RowsDone() * 100LL / count) : 0;
    if (percent != run->Percent) {
        run->Percent = percent;
        HWND bar = form->Control(IDC_PRINT_PROGRESS);
        SendMessageW(bar, PBM_SETPOS, (WPARAM)percent, 0);
        UpdateWindow(bar);
    }
    run->InUse--;
    *done = n;
    return 0;
}

DWORD WINAPI ReportThreadProc(void* parameter)
{
    StreamCookie* stream = static_cast<StreamCookie*>(parameter);
    if (stream->Previous) {
        WaitForSingleObject(stream->Previous, INFINITE);
        CloseHandle(stream->Previous);
    }
    CPrintForm* form = stream->Form;
    if (form->ReportRunId.load() == stream->Run) {
        EDITSTREAM es = {};
        es.dwCookie = reinterpret_cast<DWORD_PTR>(stream);
        es.pfnCallback = ReportStreamCallback;
        SendMessageW(stream->Control, EM_STREAMIN, SF_RTF, (LPARAM)&es);
        SendMessageW(form->Window, ZM_REPORT_READY, (WPARAM)stream->Run, 0);
    }
    delete stream;
    return 0;
}

// The system's text for an error code, without its line end.
std::wstring SystemErrorText(DWORD error)
{
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::wstring result = text ? text : L"";
    if (text)
        LocalFree(text);
    while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r' || result.back() == L' '))
        result.pop_back();
    if (result.empty())
        result = L"(" + std::to_wstring(error) + L")";
    return result;
}

// An error box: the string's format with the name and the system's reason.
void ShowError(HWND owner, HINSTANCE instance, UINT formatId, const wchar_t* name, DWORD error)
{
    wchar_t* format = LoadStringAlloc(instance, formatId);
    wchar_t* caption = LoadStringAlloc(instance, kErrorCaption);
    std::wstring reason = SystemErrorText(error);
    std::wstring text(4096, L'\0');
    _snwprintf(&text[0], text.size() - 1, format ? format : L"%s\r\n\r\n%s", name ? name : L"", reason.c_str());
    text.resize(wcslen(text.c_str()));
    ZorMessageBox(owner, text.c_str(), caption ? caption : L"", MB_OK | MB_ICONERROR);
    free(format);
    free(caption);
}

void ShowNoPrinter(HWND owner, HINSTANCE instance)
{
    ZorMessageBoxRes(owner, instance, IDS_PRINT_NO_PRINTER, kErrorCaption, MB_OK | MB_ICONERROR);
}

// The save dialog's filter of string 814, whose \001 marks stand for the separating NULs.
std::wstring FilterOf(HINSTANCE instance, UINT id)
{
    wchar_t* text = LoadStringAlloc(instance, id);
    std::wstring filter = text ? text : L"";
    free(text);
    std::replace(filter.begin(), filter.end(), L'\001', L'\0');
    filter.push_back(L'\0');
    return filter;
}

// Copies the run's document into the file; false with the system's error code on failure.
bool CopyDocument(ReportRun* run, HANDLE out, DWORD* error)
{
    LARGE_INTEGER zero = {};
    if (!SetFilePointerEx(run->Copy, zero, nullptr, FILE_BEGIN)) {
        *error = GetLastError();
        return false;
    }
    std::string buffer(1 << 16, '\0');
    bool ok = true;
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(run->Copy, &buffer[0], (DWORD)buffer.size(), &read, nullptr)) {
            *error = GetLastError();
            ok = false;
            break;
        }
        if (read == 0)
            break;
        if (!WriteAll(out, buffer.data(), read)) {
            *error = GetLastError();
            ok = false;
            break;
        }
    }
    SetFilePointerEx(run->Copy, zero, nullptr, FILE_END);
    return ok;
}

// Without a copy: what the control writes of itself.
DWORD CALLBACK WriteOutCallback(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* done)
{
    HANDLE file = reinterpret_cast<HANDLE>(cookie);
    *done = 0;
    if (!WriteAll(file, buffer, (DWORD)size))
        return GetLastError() ? GetLastError() : 1;
    *done = size;
    return 0;
}

}  // namespace

void CPrintForm::ReportSizes(const LOGFONTW& font, int* bodySize, int* titleSize)
{
    const int kDefaultHeight = 10;
    const int kLargestSize = 3276;  // the control's largest size, 1638 points
    long long height = font.lfHeight != 0 ? font.lfHeight : kDefaultHeight;
    long long body = (long long)(height * 1.5385);
    if (body < 0)
        body = -body;
    if (body < 2)
        body = (long long)(kDefaultHeight * 1.5385);
    if (body > kLargestSize)
        body = kLargestSize;
    long long title = (long long)(body * 1.4142);
    *bodySize = (int)body;
    *titleSize = (int)std::min<long long>(title, kLargestSize);
}

ReportOptions CPrintForm::MakeReportOptions()
{
    ReportOptions options;
    options.Owner = Owner;
    options.Instance = Instance;
    options.Header = Header;
    options.System = System;
    options.Location = Location;
    options.AbbrevList = AbbrevList;
    options.ListKind = ListKind;
    options.PrintFields = Fields;
    if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLIST, ListSeparator, 4))
        lstrcpynW(ListSeparator, L";", 4);
    options.Separator = std::wstring(ListSeparator) + L" ";
    HWND list = Control(IDC_PRINT_COLUMNS);
    int rows = list ? (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) : 0;
    LastVisibleColumn = -1;
    for (int row = 0; row < rows; row++) {
        LVITEMW item = {};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        SendMessageW(list, LVM_GETITEMW, 0, (LPARAM)&item);
        const PrintField* entry = reinterpret_cast<const PrintField*>(item.lParam);
        if (entry && entry->Visible && entry->DispField) {
            options.Columns.push_back(ReportColumn{entry->DispField, entry->Abbrev != 0});
            LastVisibleColumn = row;
        }
    }
    return options;
}

void CPrintForm::RestartReport()
{
    if (!Window)
        return;
    HWND control = GetDlgItem(Window, IDC_PRINT_TEXT);
    // From here on, the stream of any earlier run hands out nothing.
    int id = ++RunCounter;
    ReportRunId = id;

    ReportSizes(ReportFont, &BodySize, &TitleSize);
    ClearAbbreviations(&AbbrevPairs);
    ReportRun* run = new ReportRun();
    run->Id = id;
    run->Options = MakeReportOptions();
    run->Format.FaceName = ReportFont.lfFaceName;
    run->Format.CharSet = ReportFont.lfCharSet;
    run->Format.BodySize = BodySize;
    run->Format.TitleSize = TitleSize;
    if (Recordset && FAILED(Recordset->Clone(&run->Snapshot)))
        run->Snapshot = nullptr;
    run->Lines = new ReportLines(run->Options, run->Snapshot, &AbbrevPairs);
    run->Rtf = new RtfReport(run->Lines, run->Format, &LineBuffer, &LineCapacity);
    run->Copy = CreateScratchFile();

    // The previous run goes now, unless one of its callbacks is still running below us.
    ReportRun* previous = Run;
    Run = run;
    RetireRuns(run, previous);

    HWND bar = Control(IDC_PRINT_PROGRESS);
    SendMessageW(bar, PBM_SETPOS, 0, 0);
    ShowWindow(GetDlgItem(Window, IDC_PRINT_PROGRESSGROUP), SW_SHOW);

    StreamCookie* stream = new StreamCookie{this, id, control, ReportThread};
    HANDLE thread = CreateThread(nullptr, 0, ReportThreadProc, stream, 0, nullptr);
    if (thread) {
        ReportThread = thread;
        return;
    }
    // No thread to be had: the stream runs here, after the previous thread.
    ReportThread = nullptr;
    ReportThreadProc(stream);
}

void CPrintForm::ReportReady(int run)
{
    if (run != ReportRunId.load() || !Window)
        return;
    ShowWindow(GetDlgItem(Window, IDC_PRINT_PROGRESSGROUP), SW_HIDE);
    if (ReportThread) {
        CloseHandle(ReportThread);
        ReportThread = nullptr;
    }
    if (Run && Run->Next) {
        ReportRun* retired = Run->Next;
        Run->Next = nullptr;
        RetireRuns(Run, retired);
    }
    HWND control = GetDlgItem(Window, IDC_PRINT_TEXT);
    SendMessageW(control, EM_SETSEL, 0, 0);
    SendMessageW(control, EM_SCROLLCARET, 0, 0);
}

void CPrintForm::SaveReport()
{
    if (!Window)
        return;
    wchar_t path[MAX_PATH] = L"";
    std::wstring filter = FilterOf(Instance, IDS_FILTER_RTF);
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = Window;
    ofn.hInstance = Instance;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = path;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrDefExt = L"rtf";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NONETWORKBUTTON | OFN_EXPLORER |
                OFN_ENABLESIZING;
    if (!ChooseFileToSave(&ofn))
        return;
    HANDLE out = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        ShowError(Window, Instance, IDS_PRINT_SAVE_FAILED, path, GetLastError());
        return;
    }
    DWORD error = 0;
    bool ok;
    if (Run && Run->Copy != INVALID_HANDLE_VALUE && !Run->CopyFailed) {
        ok = CopyDocument(Run, out, &error);
    } else {
        EDITSTREAM es = {};
        es.dwCookie = reinterpret_cast<DWORD_PTR>(out);
        es.pfnCallback = WriteOutCallback;
        SendDlgItemMessageW(Window, IDC_PRINT_TEXT, EM_STREAMOUT, SF_RTF, (LPARAM)&es);
        ok = es.dwError == 0;
        error = es.dwError;
    }
    CloseHandle(out);
    if (!ok) {
        DeleteFileW(path);
        ShowError(Window, Instance, IDS_PRINT_SAVE_FAILED, path, error);
    }
}

int CPrintForm::PaginateReport(HDC dc, bool draw)
{
    if (!Run)
        return -1;
    AbbrevPairList pairs = {};
    int pages;
    {
        // A walk of its own over the run's snapshot: the rows the control shows.
        ReportLines lines(Run->Options, Run->Snapshot, &pairs);
        ReportPrintFont font;
        font.FaceName = Run->Format.FaceName;
        font.BodySize = Run->Format.BodySize;
        font.TitleSize = Run->Format.TitleSize;
        ReportPaginator paginator(dc, PageTextArea(dc, PageSetup), font);
        pages = paginator.Run(&lines, draw);
    }
    FreeAbbreviations(&pairs);
    return pages;
}

void CPrintForm::PrintReport()
{
    if (!Window || !Run)
        return;
    if (!IsPrinterInstalled() || !PreparePageSetup(&PageSetup)) {
        ShowNoPrinter(Window, Instance);
        return;
    }
    wchar_t printer[256];
    PrinterNameOf(PageSetup.hDevNames, printer, 256);
    HDC measure = CreatePageSetupDC(&PageSetup);
    if (!measure) {
        ShowError(Window, Instance, IDS_PRINT_FAILED, printer, GetLastError());
        return;
    }
    int pages = PaginateReport(measure, false);
    DeleteDC(measure);

    PRINTDLGW pd = {};
    pd.lStructSize = sizeof(pd);
    pd.hwndOwner = Window;
    pd.hDevMode = PageSetup.hDevMode;
    pd.hDevNames = PageSetup.hDevNames;
    pd.Flags = PD_RETURNDC | PD_NOSELECTION;
    pd.nMinPage = 1;
    pd.nMaxPage = (WORD)std::max(1, std::min(pages, 0xFFFF));
    pd.nFromPage = 1;
    pd.nToPage = pd.nMaxPage;
    pd.nCopies = 1;
    BOOL accepted = ShowPrintDialog(&pd);
    KeepPrintDialogSettings(&PageSetup, &pd);
    if (!accepted || !pd.hDC) {
        if (pd.hDC)
            DeleteDC(pd.hDC);
        return;
    }
    PrinterNameOf(PageSetup.hDevNames, printer, 256);
    // Every page is printed, laid out again for the printer the dialog chose.
    if (StartPrintDocument(pd.hDC, kDocumentName) <= 0) {
        ShowError(Window, Instance, IDS_PRINT_FAILED, printer, GetLastError());
    } else if (PaginateReport(pd.hDC, true) < 0) {
        DWORD error = GetLastError();
        AbortDoc(pd.hDC);
        ShowError(Window, Instance, IDS_PRINT_FAILED, printer, error);
    } else {
        EndDoc(pd.hDC);
    }
    DeleteDC(pd.hDC);
}

void CPrintForm::ChooseReportFont()
{
    LOGFONTW font = ReportFont;
    CHOOSEFONTW cf = {};
    cf.lStructSize = sizeof(cf);
    cf.hwndOwner = Window;
    cf.lpLogFont = &font;
    cf.iPointSize = 100;
    cf.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT;
    if (!ChooseFontW(&cf))
        return;
    ReportFont = font;
    RestartReport();
}

int CPrintForm::ShowPageSetupDlg(HWND owner)
{
    if (!IsPrinterInstalled() || !PreparePageSetup(&PageSetup)) {
        ShowNoPrinter(owner, Instance);
        return 0;
    }
    // A declined dialog changes nothing: it works on a copy that is kept only when accepted.
    PAGESETUPDLGW dialog = PageSetup;
    dialog.hwndOwner = owner;
    if (!ShowPageSetupDialog(&dialog))
        return 0;
    PageSetup = dialog;
    return 1;
}
