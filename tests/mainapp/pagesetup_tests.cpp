// The page set-up of the main window (command 105): 20 mm margins on first use, and the dialog
// in millimetres under the Czech locale while the set-up keeps thousandths of an inch.
#include <gtest/gtest.h>

#include <windows.h>
#include <commdlg.h>

#include "common/printing.h"
#include "reports/printform.h"
#include "resources/zorna/resource.h"
#include "tests/mainapp/formhost.h"

namespace {

PAGESETUPDLGW g_seen;
int g_shown = 0;

BOOL WINAPI AcceptWith25mmLeft(PAGESETUPDLGW* psd)
{
    g_seen = *psd;
    ++g_shown;
    psd->rtMargin.left = 2500;
    return TRUE;
}

// The real dialog, seen and cancelled from a timer of its own modal loop.
HWND g_owner = nullptr;
void CALLBACK CancelTheDialog(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM) -> BOOL {
            wchar_t cls[16] = L"";
            GetClassNameW(w, cls, 16);
            if (wcscmp(cls, L"#32770") || !IsWindowVisible(w) || GetWindow(w, GW_OWNER) != g_owner)
                return TRUE;
            ++g_shown;
            wintest::SaveScreenshot(w, L"pagesetup_dialog");
            PostMessageW(w, WM_COMMAND, IDCANCEL, 0);
            return FALSE;
        },
        0);
}

class PageSetup : public formhost::FormOnDatabase {
protected:
    std::wstring TemplatePath() override { return formhost::SampleWith(L"pagesetup_template", 50, {}); }
};

TEST_F(PageSetup, FirstUseGivesMarginsOf20mmShownInMillimetres)
{
    if (!IsPrinterInstalled())
        GTEST_SKIP() << "no printer (the CUPS queue could not be started)";
    PAGESETUPDLGW* setup = ws_->ReportForm->GetPageSetup();
    PageSetupDialogFn previous = SetPageSetupDialog(AcceptWith25mmLeft);
    g_shown = 0;
    SendMessageW(wnd_, WM_COMMAND, MAKEWPARAM(IDM_PAGESETUP, 0), 0);
    SetPageSetupDialog(previous);
    ASSERT_EQ(1, g_shown);
    EXPECT_EQ((DWORD)PSD_INHUNDREDTHSOFMILLIMETERS, g_seen.Flags & (PSD_INHUNDREDTHSOFMILLIMETERS | PSD_INTHOUSANDTHSOFINCHES));
    EXPECT_EQ(2000, g_seen.rtMargin.left);
    EXPECT_EQ(2000, g_seen.rtMargin.top);
    EXPECT_EQ(2000, g_seen.rtMargin.right);
    EXPECT_EQ(2000, g_seen.rtMargin.bottom);
    EXPECT_NEAR(21000, g_seen.ptPaperSize.x, 20) << "A4 in hundredths of a millimetre";
    // The set-up keeps its own unit: 25 mm and 20 mm in thousandths of an inch.
    EXPECT_EQ((DWORD)(PSD_MARGINS | PSD_INTHOUSANDTHSOFINCHES), setup->Flags);
    EXPECT_EQ(984, setup->rtMargin.left);
    EXPECT_EQ(787, setup->rtMargin.top);
    EXPECT_NEAR(8268, setup->ptPaperSize.x, 8);

    // The real dialog, cancelled, changes nothing.
    g_owner = wnd_;
    g_shown = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 200, CancelTheDialog);
    SendMessageW(wnd_, WM_COMMAND, MAKEWPARAM(IDM_PAGESETUP, 0), 0);
    KillTimer(nullptr, timer);
    EXPECT_EQ(1, g_shown);
    EXPECT_EQ(984, setup->rtMargin.left);
    EXPECT_EQ(787, setup->rtMargin.bottom);
}

}  // namespace
