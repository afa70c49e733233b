// The print form's report: the runs whose workers make its lines for the view, and what is done
// with the report shown (saved, printed, made in another font).
//
// Every restart starts a run with a number of its own and stops the run before it. A run's
// worker first waits for the worker before it, so that one walk reads the list at a time, then
// makes the report's lines into the run's text, which the view shows while they come. A worker
// whose run is no longer the current one stops at its next line, and its lines are never shown.
// Workers ask the main form for names, paths and abbreviations by SendMessage, so the window's
// thread only ever waits for a worker while answering those.
#include "reports/printform.h"

#include <commctrl.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/filechooser.h"
#include "common/printing.h"
#include "core/containers.h"
#include "core/longpath.h"
#include "core/msgbox.h"
#include "core/msgboxtext.h"
#include "core/textutil.h"
#include "dataaccess/ado.h"
#include "reports/paginator.h"
#include "reports/printform_text.h"
#include "reports/printform_run.h"
#include "reports/printform_view.h"
#include "reports/rtfreport.h"
#include "resources/zorna/resource.h"

namespace {

const wchar_t kDocumentName[] = L"ZornaPrint";
const UINT kErrorCaption = IDS_ERROR_CAPTION;
const UINT kProgressMs = 40;        // the view takes in new lines this often
const int kSavePiece = 1 << 16;     // bytes written to the file at a time
const DWORD kSaveProgressMs = 200;  // the bar follows a saving this often

// What a worker needs; freed by the worker.
struct WorkerStart
{
    std::shared_ptr<ReportRun> Run;
    HANDLE Previous;  // the previous run's worker, waited for and closed by this one
    HWND Window;      // told when the lines are made
};

// Waits for an object while still answering messages sent to this thread, so that a worker
// that is sending to our windows can go on.
void WaitAnswering(HANDLE object)
{
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &object, FALSE, INFINITE, QS_SENDMESSAGE);
        if (r != WAIT_OBJECT_0 + 1)
            return;
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void MakeLines(ReportRun* run)
{
    ReportLines walk(run->Options, run->Snapshot, &run->Pairs);
    run->RowCount = walk.RowCount();
    ReportLine line;
    bool heading = true;
    while (!run->Stopped && walk.Next(&line)) {
        if (heading && walk.InHeading()) {
            run->Heading.push_back(line);
        } else if (heading) {
            heading = false;
            SetEvent(run->HeadingMade);
        }
        run->Text->Add(line);
        run->RowsDone = walk.RowsDone();
    }
}

DWORD WINAPI ReportWorker(void* parameter)
{
    std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(parameter));
    if (start->Previous) {
        WaitForSingleObject(start->Previous, INFINITE);
        CloseHandle(start->Previous);
    }
    ReportRun* run = start->Run.get();
    if (!run->Stopped)
        MakeLines(run);
    run->Text->Finish();
    SetEvent(run->HeadingMade);
    if (!run->Stopped)
        PostMessageW(start->Window, ZM_REPORT_READY, (WPARAM)run->Id, 0);
    return 0;
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
    // From here on, the worker of any earlier run stops at its next line.
    int id = ++RunCounter;
    ReportRunId = id;
    if (Run)
        Run->Stopped = true;

    ReportSizes(ReportFont, &BodySize, &TitleSize);
    std::shared_ptr<ReportRun> run = std::make_shared<ReportRun>();
    run->Id = id;
    run->Options = MakeReportOptions();
    run->Format.FaceName = ReportFont.lfFaceName;
    run->Format.CharSet = ReportFont.lfCharSet;
    run->Format.BodySize = BodySize;
    run->Format.TitleSize = TitleSize;
    if (Recordset && FAILED(Recordset->Clone(&run->Snapshot)))
        run->Snapshot = nullptr;
    Run = run;

    HWND view = GetDlgItem(Window, IDC_PRINT_TEXT);
    ReportViewSetFont(view, ShownFace().c_str(), BodySize, TitleSize);
    ReportViewSetText(view, run->Text);
    SendMessageW(Control(IDC_PRINT_PROGRESS), PBM_SETPOS, 0, 0);
    ShowWindow(GetDlgItem(Window, IDC_PRINT_PROGRESSGROUP), SW_SHOW);
    SetTimer(Window, PRINTFORM_PROGRESS_TIMER, kProgressMs, nullptr);

    WorkerStart* start = new WorkerStart{run, ReportThread, Window};
    HANDLE thread = CreateThread(nullptr, 0, ReportWorker, start, 0, nullptr);
    if (thread) {
        ReportThread = thread;
        return;
    }
    // No thread to be had: the lines are made here, after the previous worker.
    start->Previous = nullptr;
    if (ReportThread) {
        WaitAnswering(ReportThread);
        CloseHandle(ReportThread);
        ReportThread = nullptr;
    }
    ReportWorker(start);
}

void CPrintForm::StopReport()
{
    if (Run)
        Run->Stopped = true;
    if (ReportThread) {
        // Each worker waits for the one before it: the latest ends last.
        WaitAnswering(ReportThread);
        CloseHandle(ReportThread);
        ReportThread = nullptr;
    }
    if (Window) {
        KillTimer(Window, PRINTFORM_PROGRESS_TIMER);
        ShowWindow(GetDlgItem(Window, IDC_PRINT_PROGRESSGROUP), SW_HIDE);
    }
}

void CPrintForm::ReportProgress()
{
    if (!Window || !Run)
        return;
    ReportViewRefresh(GetDlgItem(Window, IDC_PRINT_TEXT));
    long count = Run->RowCount, done = Run->RowsDone;
    int percent = count > 0 ? (int)std::min<long long>(100, done * 100LL / count) : 0;
    SendMessageW(Control(IDC_PRINT_PROGRESS), PBM_SETPOS, (WPARAM)percent, 0);
}

void CPrintForm::ReportReady(int run)
{
    if (run != ReportRunId.load() || !Window)
        return;
    KillTimer(Window, PRINTFORM_PROGRESS_TIMER);
    ReportViewRefresh(GetDlgItem(Window, IDC_PRINT_TEXT));
    SendMessageW(Control(IDC_PRINT_PROGRESS), PBM_SETPOS, 100, 0);
    ShowWindow(GetDlgItem(Window, IDC_PRINT_PROGRESSGROUP), SW_HIDE);
    if (ReportThread) {
        CloseHandle(ReportThread);
        ReportThread = nullptr;
    }
}

bool CPrintForm::WriteReport(HANDLE file, DWORD* error)
{
    *error = 0;
    if (!Run)
        return true;
    std::shared_ptr<ReportRun> run = Run;
    WaitAnswering(run->HeadingMade);
    HWND group = Window ? GetDlgItem(Window, IDC_PRINT_PROGRESSGROUP) : nullptr;
    HWND bar = Control(IDC_PRINT_PROGRESS);
    bool making = group && IsWindowVisible(group);
    if (group)
        ShowWindow(group, SW_SHOW);
    HCURSOR cursor = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    AbbrevPairList pairs = {};
    bool ok = true;
    {
        // The same walk over the same rows, from the generator straight into the file.
        ReportLines lines(run->Options, run->Snapshot, &pairs);
        lines.RepeatHeading(run->Heading);
        RtfReport rtf(&lines, run->Format, &LineBuffer, &LineCapacity);
        std::vector<char> piece(kSavePiece);
        DWORD shown = GetTickCount();
        for (int n; (n = rtf.GenerateReport(piece.data(), kSavePiece)) > 0;) {
            if (!WriteAll(file, piece.data(), (DWORD)n)) {
                *error = GetLastError();
                ok = false;
                break;
            }
            // The bar is drawn at once, as this thread draws nothing else until the end; a few
            // times a second is enough.
            if (bar && GetTickCount() - shown >= kSaveProgressMs) {
                shown = GetTickCount();
                long count = lines.RowCount();
                int percent = count > 0 ? (int)std::min<long long>(100, lines.RowsDone() * 100LL / count) : 0;
                SendMessageW(bar, PBM_SETPOS, (WPARAM)percent, 0);
                UpdateWindow(bar);
            }
        }
    }
    FreeAbbreviations(&pairs);
    SetCursor(cursor);
    if (making)
        ReportProgress();  // the bar goes back to the report being made
    else if (group)
        ShowWindow(group, SW_HIDE);
    return ok;
}

void CPrintForm::SaveReport()
{
    if (!Window || !Run)
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
    bool ok = WriteReport(out, &error);
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
    std::shared_ptr<ReportRun> run = Run;
    WaitAnswering(run->HeadingMade);
    AbbrevPairList pairs = {};
    int pages;
    {
        // A walk of its own over the run's snapshot, under the heading the view shows.
        ReportLines lines(run->Options, run->Snapshot, &pairs);
        lines.RepeatHeading(run->Heading);
        ReportPrintFont font;
        font.FaceName = run->Format.FaceName;
        font.BodySize = run->Format.BodySize;
        font.TitleSize = run->Format.TitleSize;
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
