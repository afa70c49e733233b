// The About box, opened for real as the "O aplikaci" command opens it.
#include <windows.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "common/aboutbox.h"
#include "resources/zorna/resource.h"
#include "tests/support/wintest.h"

namespace {

HINSTANCE Inst() { return GetModuleHandleW(nullptr); }

using wintest::WindowText;

RECT ClientRectOf(HWND dlg, int id)
{
    return wintest::RectIn(GetDlgItem(dlg, id), dlg);
}

// What the box showed while it was open.
struct Seen {
    bool found = false;
    std::wstring caption, product, version, line, creditsLabel, credits, ok;
    RECT client{}, picture{}, productRc{}, versionRc{}, lineRc{}, ruleRc{}, labelRc{}, creditsRc{}, okRc{};
    LOGFONTW productFont{}, dialogFont{};
    HFONT productFontHandle = nullptr;
    BOOL visible = FALSE;
};

// Runs the box modally; once it is up, `inspect` looks at it and `close` ends it.
struct AboutRun {
    static AboutRun* current;
    std::function<void(HWND)> inspect;
    std::function<void(HWND)> close;
    HWND dlg = nullptr;
    int ticks = 0;

    static HWND FindBox()
    {
        HWND w = FindWindowW(L"#32770", L"O aplikaci Zorna 2011");
        return (w && GetWindowThreadProcessId(w, nullptr) == GetCurrentThreadId()) ? w : nullptr;
    }

    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD)
    {
        AboutRun* run = current;
        if (!run)
            return;
        if (++run->ticks > 300) {  // never leave a test hanging on a box that did not show up
            KillTimer(nullptr, id);
            if (HWND w = FindBox())
                EndDialog(w, 99);
            return;
        }
        HWND w = FindBox();
        if (!w || !IsWindowVisible(w))
            return;
        KillTimer(nullptr, id);
        run->dlg = w;
        if (run->inspect)
            run->inspect(w);
        run->close(w);
    }

    INT_PTR Run(UINT creditsId = IDS_CREDITS)
    {
        current = this;
        SetTimer(nullptr, 0, 20, Tick);
        INT_PTR result = ShowAboutBox(nullptr, Inst(), creditsId);
        current = nullptr;
        return result;
    }
};
AboutRun* AboutRun::current = nullptr;

void PostKey(HWND dlg, WPARAM key)
{
    HWND target = GetFocus();
    if (!target || (target != dlg && !IsChild(dlg, target)))
        target = dlg;
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

Seen Look(HWND dlg)
{
    Seen s;
    s.found = true;
    s.visible = IsWindowVisible(dlg);
    s.caption = WindowText(dlg);
    s.product = WindowText(GetDlgItem(dlg, 102));
    s.version = WindowText(GetDlgItem(dlg, 103));
    s.line = WindowText(GetDlgItem(dlg, 104));
    s.creditsLabel = WindowText(GetDlgItem(dlg, 106));
    s.credits = WindowText(GetDlgItem(dlg, 107));
    s.ok = WindowText(GetDlgItem(dlg, IDCANCEL));
    GetClientRect(dlg, &s.client);
    s.picture = ClientRectOf(dlg, 101);
    s.productRc = ClientRectOf(dlg, 102);
    s.versionRc = ClientRectOf(dlg, 103);
    s.lineRc = ClientRectOf(dlg, 104);
    s.ruleRc = ClientRectOf(dlg, 105);
    s.labelRc = ClientRectOf(dlg, 106);
    s.creditsRc = ClientRectOf(dlg, 107);
    s.okRc = ClientRectOf(dlg, IDCANCEL);
    s.productFontHandle = reinterpret_cast<HFONT>(SendDlgItemMessageW(dlg, 102, WM_GETFONT, 0, 0));
    GetObjectW(s.productFontHandle, sizeof(s.productFont), &s.productFont);
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dlg, WM_GETFONT, 0, 0)), sizeof(s.dialogFont), &s.dialogFont);
    return s;
}

TEST(AboutBox, VersionResourceOfTheProgramIsRead)
{
    WORD v[4] = {};
    ASSERT_TRUE(ReadModuleFileVersion(Inst(), v));
    EXPECT_EQ(v[0], 2);
    EXPECT_EQ(v[1], 1);
    EXPECT_EQ(v[2], 0);
    EXPECT_EQ(v[3], 7);
}

TEST(AboutBox, ShowsProductVersionAndCredits)
{
    Seen seen;
    AboutRun run;
    run.inspect = [&](HWND dlg) {
        seen = Look(dlg);
        wintest::SaveScreenshot(dlg, L"mainapp_aboutbox");
    };
    run.close = [](HWND dlg) { PostKey(dlg, VK_ESCAPE); };
    EXPECT_EQ(run.Run(), 0);
    ASSERT_TRUE(seen.found);
    EXPECT_TRUE(seen.visible);
    EXPECT_EQ(seen.caption, L"O aplikaci Zorna 2011");
    EXPECT_EQ(seen.product, L"Zorna 2011");
    EXPECT_EQ(seen.version, L"Verze: 2.1.0.7");
    EXPECT_EQ(seen.creditsLabel, L"Poděkování");
    EXPECT_EQ(seen.ok, L"&OK");
    EXPECT_EQ(seen.credits, L"Tato aplikace používá části otevřeného kódu následujících projektů:\r\n\r\n"
                            L"libjpeg\r\nJasPer\r\nzlib\r\nlibpng\r\nshapelib\r\nPlexaControls");
    EXPECT_FALSE(seen.line.empty());
    // The product name is bold and 1.6 times the dialog's font.
    EXPECT_EQ(seen.productFont.lfWeight, FW_BOLD);
    EXPECT_EQ(seen.productFont.lfHeight, static_cast<LONG>(seen.dialogFont.lfHeight * 1.6));
    // Once closed, the box has given its font back.
    EXPECT_EQ(GetObjectType(seen.productFontHandle), 0u);
    EXPECT_EQ(AboutRun::FindBox(), nullptr);
}

TEST(AboutBox, LaysItselfOutAroundThePicture)
{
    Seen s;
    AboutRun run;
    run.inspect = [&](HWND dlg) { s = Look(dlg); };
    run.close = [](HWND dlg) { PostKey(dlg, VK_ESCAPE); };
    run.Run();
    ASSERT_TRUE(s.found);
    const RECT& p = s.picture;
    EXPECT_EQ(p.right - p.left, 150);  // the static took the picture's size
    EXPECT_EQ(p.bottom - p.top, 220);
    EXPECT_EQ(s.client.bottom, p.bottom + p.top);  // bottom margin = top margin
    const int x = p.right + p.left;
    const int w = s.client.right - x - p.left;
    for (const RECT* r : { &s.productRc, &s.versionRc, &s.lineRc, &s.ruleRc, &s.labelRc, &s.creditsRc }) {
        EXPECT_EQ(r->left, x);
        EXPECT_EQ(r->right - r->left, w);
    }
    EXPECT_EQ(s.okRc.bottom, p.bottom);  // OK lines up with the picture's bottom
    EXPECT_EQ(s.creditsRc.bottom, s.okRc.top - p.top);  // one top margin above OK
    EXPECT_LT(s.labelRc.bottom, s.creditsRc.top + 1);
}

TEST(AboutBox, OkButtonCloses)
{
    AboutRun run;
    bool clicked = false;
    run.close = [&](HWND dlg) {
        clicked = true;
        PostMessageW(GetDlgItem(dlg, IDCANCEL), BM_CLICK, 0, 0);
    };
    EXPECT_EQ(run.Run(), 0);
    EXPECT_TRUE(clicked);
    EXPECT_EQ(AboutRun::FindBox(), nullptr);
}

TEST(AboutBox, EnterClosesThroughTheDefaultButton)
{
    AboutRun run;
    run.close = [](HWND dlg) { PostKey(dlg, VK_RETURN); };
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(AboutRun::FindBox(), nullptr);
}

TEST(AboutBox, OtherCommandsLeaveItOpen)
{
    AboutRun run;
    bool stillOpen = false;
    run.close = [&](HWND dlg) {
        SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(107, EN_SETFOCUS), 0);
        stillOpen = IsWindow(dlg) && IsWindowVisible(dlg);
        PostKey(dlg, VK_ESCAPE);
    };
    EXPECT_EQ(run.Run(), 0);
    EXPECT_TRUE(stillOpen);
}

TEST(AboutBox, CreditsComeFromTheGivenString)
{
    // The utilities program passes its own credits string; any id of the module works alike.
    std::wstring credits;
    AboutRun run;
    run.inspect = [&](HWND dlg) { credits = WindowText(GetDlgItem(dlg, 107)); };
    run.close = [](HWND dlg) { PostKey(dlg, VK_ESCAPE); };
    run.Run(IDS_ALREADY_RUNNING);
    EXPECT_EQ(credits, L"Zorna nebo DB Nástroje jsou spuštěny");
}

TEST(AboutBox, RepeatedOpeningsEachFreeTheirFont)
{
    for (int i = 0; i < 3; ++i) {
        HFONT font = nullptr;
        AboutRun run;
        run.inspect = [&](HWND dlg) {
            font = reinterpret_cast<HFONT>(SendDlgItemMessageW(dlg, 102, WM_GETFONT, 0, 0));
            EXPECT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
        };
        run.close = [](HWND dlg) { PostKey(dlg, VK_ESCAPE); };
        run.Run();
        ASSERT_NE(font, nullptr);
        EXPECT_EQ(GetObjectType(font), 0u) << i;
    }
}

}  // namespace
