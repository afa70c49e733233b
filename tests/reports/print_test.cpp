// Printing the report: the page range the print dialog is offered, the pages the default
// printer (the CUPS queue "PDF") makes of it, the same document written to a PostScript file and
// counted by Ghostscript, and declined dialogs. Without a printer these tests say so and skip.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "common/printing.h"
#include "reports/printform.h"
#include "tests/reports/printhost.h"

using namespace printhost;

namespace {

// What the report asked of the print dialog, and what the test's dialog answers.
struct Offer
{
    WORD minPage = 0, maxPage = 0, fromPage = 0, toPage = 0;
    DWORD flags = 0;
    int shown = 0;
};
Offer g_offer;

void Record(const PRINTDLGW* pd)
{
    g_offer.minPage = pd->nMinPage;
    g_offer.maxPage = pd->nMaxPage;
    g_offer.fromPage = pd->nFromPage;
    g_offer.toPage = pd->nToPage;
    g_offer.flags = pd->Flags;
    g_offer.shown++;
}

BOOL WINAPI Decline(PRINTDLGW* pd)
{
    Record(pd);
    return FALSE;
}

// Accepts the page set-up's printer without a dialog, as OK in the dialog does.
BOOL WINAPI Accept(PRINTDLGW* pd)
{
    Record(pd);
    PAGESETUPDLGW setup = {};
    setup.hDevMode = pd->hDevMode;
    setup.hDevNames = pd->hDevNames;
    pd->hDC = CreatePageSetupDC(&setup);
    return pd->hDC != nullptr;
}

// The real print dialog, which the test's script answers.
BOOL WINAPI RecordAndShow(PRINTDLGW* pd)
{
    Record(pd);
    return PrintDlgW(pd);
}

// A text without its blanks and line breaks.
std::wstring Squeezed(const std::wstring& text)
{
    std::wstring out;
    for (wchar_t c : text)
        if (!iswspace(c))
            out.push_back(c);
    return out;
}

// Occurrences of a text in bytes.
int CountOf(const std::string& bytes, const std::string& text)
{
    int n = 0;
    for (size_t at = bytes.find(text); at != std::string::npos; at = bytes.find(text, at + 1))
        n++;
    return n;
}

class Printing : public PrintFormWindow {
protected:
    void SetUp() override
    {
        if (!IsPrinterInstalled())
            GTEST_SKIP() << "no printer installed: printing is not tested (scripts/test.sh adds the CUPS "
                            "queue PDF where it can)";
        PrintFormWindow::SetUp();
        g_offer = Offer();
    }

    // Opens the search list's report with as many records as make three pages on the default
    // printer, asking the print dialog (which declines) how many pages it was offered.
    void ThreePages()
    {
        SetPrintDialog(Decline);
        static std::wstring where;
        int rows = 150;
        for (int attempt = 0; attempt < 8; attempt++) {
            where = L"T1.ID IN (SELECT ID FROM ZORNACOLLS ORDER BY ID LIMIT " + std::to_wstring(rows) + L")";
            ws_->RunSearch(wnd_, where.c_str(), 1);
            ASSERT_NO_FATAL_FAILURE(OpenReport(TAB_SEARCH));
            Click(IDC_PRINT_PRINT);
            ASSERT_GT(g_offer.maxPage, 0);
            if (g_offer.maxPage == 3)
                break;
            // Rows per page from what this count gave, aimed at the middle of the third page.
            double perPage = (double)rows / g_offer.maxPage;
            rows = (int)(perPage * 2.5);
        }
        ASSERT_EQ(3, g_offer.maxPage);
        SetPrintDialog(nullptr);
    }
};

TEST_F(Printing, AThreePageReportIsOfferedPagesOneToThreeAndTheQueuePrintsThemAll)
{
    wchar_t folder[MAX_PATH] = L"";
    if (!GetEnvironmentVariableW(L"ZOR_PDF_FOLDER", folder, MAX_PATH))
        GTEST_SKIP() << "ZOR_PDF_FOLDER does not name the folder the PDF queue writes to";
    std::wstring pdfFolder = std::wstring(L"Z:") + folder;
    for (wchar_t& c : pdfFolder)
        if (c == L'/')
            c = L'\\';
    ASSERT_NO_FATAL_FAILURE(ThreePages());
    FILETIME started;
    GetSystemTimeAsFileTime(&started);

    SetPrintDialog(RecordAndShow);
    wintest::DialogScript script;
    std::wstring offered;
    script.Then(L"Tisk", [&](HWND d) {
        wintest::SaveScreenshot(d, L"print_dialog");
        wintest::DialogScript::PostClick(d, IDOK);
    });
    ASSERT_TRUE(script.Run([&] { Click(IDC_PRINT_PRINT); }));
    EXPECT_EQ(1, g_offer.minPage);
    EXPECT_EQ(3, g_offer.maxPage);
    EXPECT_EQ(1, g_offer.fromPage);
    EXPECT_EQ(3, g_offer.toPage);
    EXPECT_TRUE(g_offer.flags & PD_RETURNDC);
    EXPECT_TRUE(Boxes().empty());

    // cups-pdf writes the job as a PDF named after the document.
    std::wstring pdf;
    wintest::PumpUntil([&] {
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW((pdfFolder + L"\\ZornaPrint*.pdf").c_str(), &found);
        if (find == INVALID_HANDLE_VALUE)
            return false;
        do {
            if (CompareFileTime(&found.ftLastWriteTime, &started) >= 0)
                pdf = pdfFolder + L"\\" + found.cFileName;
        } while (FindNextFileW(find, &found));
        FindClose(find);
        return !pdf.empty();
    }, 90000);
    ASSERT_FALSE(pdf.empty()) << "no new PDF in " << Utf8(pdfFolder);
    wintest::PumpMessages(1000);  // the queue may still be writing it
    std::string bytes = wintest::ReadFileBytes(pdf);
    EXPECT_EQ(3, CountOf(bytes, "/Type /Page\n") + CountOf(bytes, "/Type/Page/") + CountOf(bytes, "/Type /Page ") +
                     CountOf(bytes, "/Type/Page\n") + CountOf(bytes, "/Type/Page>>"))
        << "pages of " << Utf8(pdf);
    // On paper the letters are the report's own: the text the PDF holds, blanks aside (the paper
    // wraps lines where the screen does not).
    if (HostHas(L"/usr/bin/pdftotext")) {
        std::wstring txt = folder_ + L"\\printed.txt";
        RunHostShell("pdftotext -enc UTF-8 " + HostPath(pdf) + " " + HostPath(txt));
        std::wstring printed = Squeezed(wintest::ReadUtf8File(txt));
        for (const wchar_t* text : {L"Zadání", L"Kritéria výběru:", kOddLeg})
            EXPECT_NE(std::wstring::npos, printed.find(Squeezed(text))) << Utf8(text);
    }
    // The pages as pictures beside the screenshots, for a look.
    wchar_t shots[MAX_PATH] = L"";
    if (GetEnvironmentVariableW(L"ZOR_SCREENSHOTS", shots, MAX_PATH) && HostHas(L"/usr/bin/pdftoppm")) {
        RunHostShell("pdftoppm -r 70 -png " + HostPath(pdf) + " " + HostPath(shots) + "/print_pdf");
        EXPECT_TRUE(wintest::FileExists(std::wstring(shots) + L"\\print_pdf-1.png"));
        EXPECT_TRUE(wintest::FileExists(std::wstring(shots) + L"\\print_pdf-3.png"));
    }
    DeleteFileW(pdf.c_str());
}

TEST_F(Printing, ThroughAnOutputFileGhostscriptCountsTheSameThreePages)
{
    ASSERT_NO_FATAL_FAILURE(ThreePages());
    std::wstring ps = folder_ + L"\\report.ps";
    SetPrintOutputFile(ps.c_str());
    SetPrintDialog(Accept);
    Click(IDC_PRINT_PRINT);
    EXPECT_EQ(3, g_offer.maxPage);
    EXPECT_TRUE(Boxes().empty());
    std::string bytes = wintest::ReadFileBytes(ps);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(3, CountOf(bytes, "%%Page: "));
    if (!HostHas(L"/usr/bin/gs"))
        return;
    std::string out = HostPath(folder_);
    RunHostShell("gs -q -dBATCH -dNOPAUSE -dNOSAFER -sDEVICE=bbox " + HostPath(ps) + " 2> " + out + "/bbox.txt");
    EXPECT_EQ(3, CountOf(wintest::ReadFileBytes(folder_ + L"\\bbox.txt"), "%%BoundingBox"));
    wchar_t shots[MAX_PATH] = L"";
    if (GetEnvironmentVariableW(L"ZOR_SCREENSHOTS", shots, MAX_PATH))
        RunHostShell("gs -q -dBATCH -dNOPAUSE -dNOSAFER -r60 -sDEVICE=png16m -sOutputFile=" + HostPath(shots) +
                     "/print_ps-%d.png " + HostPath(ps));
}

TEST_F(Printing, DeclinedDialogsPrintNothingAndChangeNothing)
{
    ASSERT_NO_FATAL_FAILURE(OpenReport(TAB_SYSTEM));
    std::wstring ps = folder_ + L"\\declined.ps";
    SetPrintOutputFile(ps.c_str());
    SetPrintDialog(Decline);
    Click(IDC_PRINT_PRINT);
    EXPECT_EQ(1, g_offer.shown);
    EXPECT_EQ(1, g_offer.minPage);
    EXPECT_GE(g_offer.maxPage, 1);
    EXPECT_FALSE(wintest::FileExists(ps));
    EXPECT_TRUE(Boxes().empty());
    // The shared page set-up has one unit from its first use on.
    PAGESETUPDLGW* setup = Form()->GetPageSetup();
    EXPECT_EQ((DWORD)sizeof(PAGESETUPDLGW), setup->lStructSize);
    EXPECT_EQ((DWORD)(PSD_MARGINS | PSD_INTHOUSANDTHSOFINCHES), setup->Flags);
    EXPECT_TRUE(setup->hDevNames != nullptr);
    RECT margins = setup->rtMargin;
    SetPageSetupDialog([](PAGESETUPDLGW* psd) -> BOOL {
        psd->rtMargin = {1, 2, 3, 4};  // what a declined dialog must not leave behind
        return FALSE;
    });
    // Command 105 of the main window runs it.
    SendMessageW(wnd_, WM_COMMAND, MAKEWPARAM(IDM_PAGESETUP, 0), 0);
    EXPECT_EQ(0, Form()->ShowPageSetupDlg(wnd_));
    EXPECT_EQ(margins.left, setup->rtMargin.left);
    EXPECT_EQ(margins.bottom, setup->rtMargin.bottom);
    EXPECT_EQ((DWORD)(PSD_MARGINS | PSD_INTHOUSANDTHSOFINCHES), setup->Flags);
}

// A DEVNAMES block naming a printer the system does not know.
HGLOBAL DevNamesOf(const wchar_t* printer)
{
    const wchar_t* driver = L"winspool";
    const wchar_t* port = L"";
    size_t chars = wcslen(driver) + wcslen(printer) + wcslen(port) + 3;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DEVNAMES) + chars * sizeof(wchar_t));
    DEVNAMES* names = static_cast<DEVNAMES*>(GlobalLock(block));
    wchar_t* base = reinterpret_cast<wchar_t*>(names);
    WORD at = sizeof(DEVNAMES) / sizeof(wchar_t);
    for (const wchar_t* text : {driver, printer, port}) {
        if (text == driver)
            names->wDriverOffset = at;
        else if (text == printer)
            names->wDeviceOffset = at;
        else
            names->wOutputOffset = at;
        lstrcpyW(base + at, text);
        at = (WORD)(at + wcslen(text) + 1);
    }
    GlobalUnlock(block);
    return block;
}

TEST_F(Printing, APrinterThatCannotBeReachedIsReportedInCzechAndNothingPrints)
{
    ASSERT_NO_FATAL_FAILURE(OpenReport(TAB_SYSTEM));
    PAGESETUPDLGW* setup = Form()->GetPageSetup();
    ASSERT_TRUE(PreparePageSetup(setup));
    // The printer chosen earlier has gone since.
    if (setup->hDevNames)
        GlobalFree(setup->hDevNames);
    if (setup->hDevMode)
        GlobalFree(setup->hDevMode);
    setup->hDevMode = nullptr;
    setup->hDevNames = DevNamesOf(L"Zmizelá tiskárna");
    std::wstring ps = folder_ + L"\\gone.ps";
    SetPrintOutputFile(ps.c_str());
    SetPrintDialog(Accept);
    Click(IDC_PRINT_PRINT);
    SetPrintDialog(nullptr);
    EXPECT_EQ(0, g_offer.shown);
    EXPECT_FALSE(wintest::FileExists(ps));
    ASSERT_EQ(1u, Boxes().size());
    EXPECT_EQ(L"Chyba", Boxes()[0].caption);
    EXPECT_EQ(0u, Boxes()[0].text.find(L"Sestavu nelze vytisknout na tiskárně Zmizelá tiskárna.\r\n\r\n"));
}

}  // namespace
