// Image button and in-place button in real windows: notifications, parent subclassing, state images.
#include "tests/controls/ctltest_host.h"
#include <gmock/gmock.h>
#include <memory>
#include "tests/support/wintest.h"

using namespace ctltest;

namespace {

// ---- INPLACEBUTTON ----

class InplaceButton : public SharedHostTest<InplaceButton, 300, 120> {
protected:
    void SetUp() override
    {
        SharedHostTest::SetUp();
        button_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_INPLACEBUTTONW, L"Linnaeus, 1758", WS_CHILD | WS_VISIBLE, 10,
                                  10, 200, 24, host_->hwnd(), reinterpret_cast<HMENU>(55), GetModuleHandleW(nullptr),
                                  nullptr);
        ASSERT_NE(button_, nullptr);
        SendMessageW(button_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 1);
        SetFocus(button_);
        wintest::PumpMessages();
        host_->Clear();
    }
    void TearDown() override { DestroyWindow(button_); }
    std::vector<UINT> Codes()
    {
        std::vector<UINT> codes;
        for (const Event& e : host_->Events())
            codes.push_back(e.code);
        return codes;
    }

    HWND button_ = nullptr;
};

TEST_F(InplaceButton, SpaceReleaseClicksWithTheText)
{
    Key(button_, VK_SPACE);
    auto clicks = host_->EventsOf(WM_NOTIFY, IPBN_CLICKED);
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0].text, L"Linnaeus, 1758");
    EXPECT_EQ(clicks[0].from, button_);
    EXPECT_EQ(clicks[0].id, 55u);
    EXPECT_EQ(clicks[0].item, 0);
    EXPECT_EQ(host_->Events().size(), 1u);
}

TEST_F(InplaceButton, EnterAndEscapeReportTheComboCodes)
{
    Key(button_, VK_RETURN);
    Key(button_, VK_ESCAPE);
    EXPECT_THAT(Codes(), ::testing::ElementsAre(static_cast<UINT>(CBN_SELENDOK), static_cast<UINT>(CBN_SELENDCANCEL)));
    EXPECT_TRUE(host_->EventsOf(WM_NOTIFY, IPBN_CLICKED).empty());
}

TEST_F(InplaceButton, MouseReleaseClicksWhereverItHappens)
{
    SetFocus(host_->hwnd());
    wintest::PumpMessages();
    host_->Clear();
    PostMessageW(button_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(190, 10));
    PostMessageW(button_, WM_LBUTTONUP, 0, MAKELPARAM(400, 80));  // released outside
    wintest::PumpMessages(20);
    EXPECT_THAT(Codes(), ::testing::ElementsAre(static_cast<UINT>(CBN_SETFOCUS), IPBN_CLICKED));
    EXPECT_EQ(GetFocus(), button_);
    EXPECT_NE(GetCapture(), button_);
}

TEST_F(InplaceButton, TabWithoutTabStopIsReportedAsAKey)
{
    Key(button_, VK_TAB);
    auto keys = host_->EventsOf(WM_NOTIFY, static_cast<UINT>(NM_KEYDOWN));
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].listPos, VK_TAB);
    EXPECT_EQ(GetFocus(), button_);
}

TEST_F(InplaceButton, FocusChangesAreReported)
{
    SetFocus(host_->hwnd());
    SetFocus(button_);
    EXPECT_THAT(Codes(), ::testing::ElementsAre(static_cast<UINT>(CBN_KILLFOCUS), static_cast<UINT>(CBN_SETFOCUS)));
    EXPECT_EQ(SendMessageW(button_, WM_GETDLGCODE, 0, 0), DLGC_HASSETSEL);
}

TEST_F(InplaceButton, ShowsTextAndEllipsisButton)
{
    wintest::PumpMessages(30);
    EXPECT_FALSE(wintest::SaveScreenshot(host_->hwnd(), L"inplacebutton_classic").empty());
    RECT rc;
    GetClientRect(button_, &rc);
    // Focused: the text area is highlighted; the button face is not.
    EXPECT_EQ(PixelAt(button_, 4, rc.bottom / 2), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(PixelAt(button_, rc.right - 4, 3), GetSysColor(COLOR_BTNFACE));
    SetFocus(host_->hwnd());
    EXPECT_EQ(PixelAt(button_, 4, rc.bottom / 2), GetSysColor(COLOR_WINDOW));
}

TEST_F(InplaceButton, ThemedFieldLosesItsClientEdge)
{
    SetForcedThemed(true);
    HWND themed = CreateWindowExW(WS_EX_CLIENTEDGE, WC_INPLACEBUTTONW, L"themed", WS_CHILD | WS_VISIBLE, 10, 50, 200,
                                  24, host_->hwnd(), reinterpret_cast<HMENU>(56), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(themed, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 1);
    wintest::PumpMessages(30);
    EXPECT_FALSE(wintest::SaveScreenshot(host_->hwnd(), L"inplacebutton_themed").empty());
    SetForcedThemed(false);
    EXPECT_FALSE(GetWindowLongPtrW(themed, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_TRUE(GetWindowLongPtrW(button_, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    DestroyWindow(themed);
}

TEST_F(InplaceButton, TabWithTabStopMovesToTheNextControl)
{
    HWND first = CreateWindowExW(0, WC_INPLACEBUTTONW, L"a", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10, 40, 100, 20,
                                 host_->hwnd(), reinterpret_cast<HMENU>(60), GetModuleHandleW(nullptr), nullptr);
    HWND second = CreateWindowExW(0, L"BUTTON", L"b", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 120, 40, 60, 20,
                                  host_->hwnd(), reinterpret_cast<HMENU>(61), GetModuleHandleW(nullptr), nullptr);
    SetFocus(first);
    host_->Clear();
    Key(first, VK_TAB);
    EXPECT_EQ(GetFocus(), second);
    EXPECT_TRUE(host_->EventsOf(WM_NOTIFY, static_cast<UINT>(NM_KEYDOWN)).empty());
    DestroyWindow(second);
    DestroyWindow(first);
}

TEST_F(InplaceButton, ClassicPressFollowsTheMouseOverTheButtonArea)
{
    RECT rc;
    GetClientRect(button_, &rc);
    int inside = rc.right - 5, outside = 20;
    PostMessageW(button_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(inside, 5));
    PostMessageW(button_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(outside, 5));
    wintest::PumpMessages(20);
    EXPECT_EQ(reinterpret_cast<INT_PTR>(GetPropW(button_, L"CurState")), 1);
    PostMessageW(button_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(inside, 5));
    wintest::PumpMessages(20);
    EXPECT_EQ(reinterpret_cast<INT_PTR>(GetPropW(button_, L"CurState")), 3);
    PostMessageW(button_, WM_LBUTTONUP, 0, MAKELPARAM(inside, 5));
    wintest::PumpMessages(20);
    EXPECT_EQ(reinterpret_cast<INT_PTR>(GetPropW(button_, L"CurState")), 1);
    EXPECT_EQ(host_->EventsOf(WM_NOTIFY, IPBN_CLICKED).size(), 1u);
}

TEST_F(InplaceButton, ThemedFieldTurnsHotUnderTheMouse)
{
    SetForcedThemed(true);
    PostMessageW(button_, WM_MOUSEMOVE, 0, MAKELPARAM(20, 5));
    wintest::PumpMessages(20);
    INT_PTR hot = reinterpret_cast<INT_PTR>(GetPropW(button_, L"CurState"));
    SendMessageW(button_, WM_MOUSELEAVE, 0, 0);
    INT_PTR left = reinterpret_cast<INT_PTR>(GetPropW(button_, L"CurState"));
    SetForcedThemed(false);
    EXPECT_EQ(hot, 2);
    EXPECT_EQ(left, 1);
}

// The button area of the field painted into a bitmap, and the same area drawn with a given ellipsis.
std::vector<DWORD> PaintButtonArea(HWND field, HFONT font, const wchar_t* ellipsis)
{
    RECT client;
    GetClientRect(field, &client);
    int w = client.right, h = client.bottom;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bm = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bm);
    RECT all = {0, 0, w, h};
    FillRect(dc, &all, GetSysColorBrush(COLOR_WINDOW));
    RECT button = {w - GetSystemMetrics(SM_CXVSCROLL), 0, w, h};
    if (ellipsis) {
        HGDIOBJ oldFont = SelectObject(dc, font);
        DrawFrameControl(dc, &button, DFC_BUTTON, DFCS_BUTTONPUSH);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        DrawTextW(dc, ellipsis, -1, &button, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        SelectObject(dc, oldFont);
    } else {
        SendMessageW(field, WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    }
    GdiFlush();
    std::vector<DWORD> out;
    const DWORD* px = static_cast<const DWORD*>(bits);
    for (int y = 0; y < h; ++y)
        for (int x = button.left; x < w; ++x)
            out.push_back(px[y * w + x] & 0xFFFFFF);
    SelectObject(dc, old);
    DeleteObject(bm);
    DeleteDC(dc);
    return out;
}

TEST_F(InplaceButton, EllipsisIsOneCharacterWhenTheFontReportsLanguageInformation)
{
    SetFocus(host_->hwnd());
    std::vector<HFONT> fonts = {static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)),
                                static_cast<HFONT>(GetStockObject(SYSTEM_FONT)),
                                static_cast<HFONT>(GetStockObject(OEM_FIXED_FONT)),
                                static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT))};
    int checked = 0;
    for (HFONT font : fonts) {
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, font);
        DWORD info = GetFontLanguageInfo(dc);
        SelectObject(dc, old);
        DeleteDC(dc);
        SendMessageW(button_, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
        std::vector<DWORD> painted = PaintButtonArea(button_, font, nullptr);
        std::vector<DWORD> one = PaintButtonArea(button_, font, L"\x2026");
        std::vector<DWORD> three = PaintButtonArea(button_, font, L"...");
        if (one == three)
            continue;  // the font draws both alike: nothing to tell apart
        ++checked;
        if (info)
            EXPECT_EQ(painted, one) << "font " << checked;
        else
            EXPECT_EQ(painted, three) << "font " << checked;
    }
    EXPECT_GT(checked, 0);
}

// ---- IMGBUTTON ----

HIMAGELIST SolidImages(std::initializer_list<COLORREF> colours)
{
    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR24, 4, 0);
    HDC screen = GetDC(nullptr);
    for (COLORREF c : colours) {
        HBITMAP bm = CreateCompatibleBitmap(screen, 16, 16);
        HDC mem = CreateCompatibleDC(screen);
        HGDIOBJ old = SelectObject(mem, bm);
        RECT rc = {0, 0, 16, 16};
        HBRUSH brush = CreateSolidBrush(c);
        FillRect(mem, &rc, brush);
        DeleteObject(brush);
        SelectObject(mem, old);
        DeleteDC(mem);
        ImageList_Add(list, bm, nullptr);
        DeleteObject(bm);
    }
    ReleaseDC(nullptr, screen);
    return list;
}

const COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0), kBlue = RGB(0, 0, 255), kYellow = RGB(255, 255, 0);

class ImgButton : public SharedHostTest<ImgButton, 300, 160> {
protected:
    HWND Create(const wchar_t* text, int id, int y, HIMAGELIST images)
    {
        HWND b = CreateWindowExW(0, WC_IMGBUTTONW, text, WS_CHILD, 10, y, 120, 30, host_->hwnd(),
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
        if (b) {
            SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
            SendMessageW(b, IBM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
            InvalidateRect(b, nullptr, TRUE);
        }
        return b;
    }
    // The centre of the icon of a button, in its client coordinates.
    COLORREF Icon(HWND b) { return PixelAt(b, 12, 15); }

};

TEST_F(ImgButton, ClassicButtonIsOwnerDrawnVisibleAndATabStop)
{
    HWND b = Create(L"Open", 10, 10, nullptr);
    ASSERT_NE(b, nullptr);
    LONG_PTR style = GetWindowLongPtrW(b, GWL_STYLE);
    EXPECT_EQ(style & BS_TYPEMASK, BS_OWNERDRAW);
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_TRUE(style & WS_TABSTOP);
    DestroyWindow(b);
}

TEST_F(ImgButton, ParentIsSubclassedWhileButtonsLive)
{
    LONG_PTR own = GetWindowLongPtrW(host_->hwnd(), GWLP_WNDPROC);
    HWND a = Create(L"A", 10, 10, nullptr);
    HWND b = Create(L"B", 11, 50, nullptr);
    EXPECT_NE(GetWindowLongPtrW(host_->hwnd(), GWLP_WNDPROC), own);
    DestroyWindow(a);
    EXPECT_NE(GetWindowLongPtrW(host_->hwnd(), GWLP_WNDPROC), own);
    DestroyWindow(b);
    EXPECT_EQ(GetWindowLongPtrW(host_->hwnd(), GWLP_WNDPROC), own);
}

// The image buttons' subclass answers only for its own buttons: the parent still measures the
// other owner-drawn controls.
TEST_F(ImgButton, OtherOwnerDrawnControlsAreStillMeasuredByTheParent)
{
    HWND b = Create(L"A", 10, 10, nullptr);
    HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS, 150,
                                10, 100, 100, host_->hwnd(), reinterpret_cast<HMENU>(77), GetModuleHandleW(nullptr),
                                nullptr);
    ASSERT_NE(list, nullptr);
    bool measured = false;
    for (const Event& e : host_->Events())
        if (e.msg == WM_MEASUREITEM && e.id == 77)
            measured = true;
    EXPECT_TRUE(measured);
    EXPECT_EQ(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0), 23);
    // The image button itself is answered without the parent.
    MEASUREITEMSTRUCT mi = {};
    EXPECT_EQ(SendMessageW(host_->hwnd(), WM_MEASUREITEM, 10, reinterpret_cast<LPARAM>(&mi)), TRUE);
    EXPECT_EQ(mi.CtlType, static_cast<UINT>(ODT_BUTTON));
    EXPECT_EQ(mi.CtlID, 10u);
    DestroyWindow(list);
    DestroyWindow(b);
}

TEST_F(ImgButton, OneImageServesEveryState)
{
    HIMAGELIST images = SolidImages({kRed});
    HWND b = Create(L"One", 10, 10, images);
    wintest::PumpMessages(20);
    EXPECT_EQ(Icon(b), kRed);
    SendMessageW(b, BM_SETSTATE, TRUE, 0);
    EXPECT_EQ(Icon(b), kRed);
    SendMessageW(b, BM_SETSTATE, FALSE, 0);
    EnableWindow(b, FALSE);
    EXPECT_EQ(Icon(b), kRed);
    DestroyWindow(b);
    ImageList_Destroy(images);
}

TEST_F(ImgButton, FourImagesFollowTheState)
{
    HIMAGELIST images = SolidImages({kRed, kGreen, kBlue, kYellow});
    HWND b = Create(L"Four", 10, 10, images);
    HWND other = Create(L"Other", 11, 60, images);
    wintest::PumpMessages(20);
    EXPECT_EQ(Icon(b), kRed);
    SendMessageW(b, BM_SETSTATE, TRUE, 0);
    EXPECT_EQ(Icon(b), kGreen);
    wintest::SaveScreenshot(host_->hwnd(), L"imgbutton_pressed_classic");
    SendMessageW(b, BM_SETSTATE, FALSE, 0);
    EnableWindow(b, FALSE);
    EXPECT_EQ(Icon(b), kYellow);
    EnableWindow(b, TRUE);
    SetFocus(other);
    wintest::PumpMessages(20);
    EXPECT_FALSE(wintest::SaveScreenshot(host_->hwnd(), L"imgbutton_classic").empty());
    EXPECT_EQ(Icon(other), kRed);

    // Themed drawing of the same owner-drawn buttons, once the theme is on.
    SetForcedThemed(true);
    InvalidateRect(b, nullptr, TRUE);
    InvalidateRect(other, nullptr, TRUE);
    wintest::PumpMessages(20);
    EXPECT_FALSE(wintest::SaveScreenshot(host_->hwnd(), L"imgbutton_themed").empty());
    COLORREF themedIcon = Icon(b);
    SetForcedThemed(false);
    EXPECT_EQ(themedIcon, kRed);
    DestroyWindow(b);
    DestroyWindow(other);
    ImageList_Destroy(images);
}

// Draws the button through its parent's custom-draw path into a bitmap and reads the icon's colour.
COLORREF CustomDrawnIcon(HWND parent, HWND button, UINT itemState, LRESULT* result, POINT at)
{
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = 120;
    bi.bmiHeader.biHeight = -30;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    HBITMAP bm = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bm);
    NMCUSTOMDRAW cd = {};
    cd.hdr.hwndFrom = button;
    cd.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(button));
    cd.hdr.code = static_cast<UINT>(NM_CUSTOMDRAW);
    cd.dwDrawStage = CDDS_PREPAINT;
    cd.hdc = dc;
    cd.rc = {0, 0, 120, 30};
    cd.uItemState = itemState;
    *result = SendMessageW(parent, WM_NOTIFY, cd.hdr.idFrom, reinterpret_cast<LPARAM>(&cd));
    COLORREF c = GetPixel(dc, at.x, at.y);
    SelectObject(dc, old);
    DeleteObject(bm);
    DeleteDC(dc);
    return c;
}

TEST_F(ImgButton, CustomDrawShowsTheImageOfEachState)
{
    HIMAGELIST images = SolidImages({kRed, kGreen, kBlue, kYellow});
    HWND b = Create(L"Custom", 10, 10, images);
    LRESULT r = 0;
    // Without themed drawing the content starts 2 pixels in, the icon one more.
    POINT at = {10, 10};
    EXPECT_EQ(CustomDrawnIcon(host_->hwnd(), b, 0, &r, at), kRed);
    EXPECT_EQ(r, CDRF_SKIPDEFAULT);
    EXPECT_EQ(CustomDrawnIcon(host_->hwnd(), b, CDIS_HOT, &r, at), kBlue);
    EXPECT_EQ(CustomDrawnIcon(host_->hwnd(), b, CDIS_SELECTED | CDIS_HOT, &r, at), kGreen);
    EXPECT_EQ(CustomDrawnIcon(host_->hwnd(), b, CDIS_DISABLED, &r, at), kYellow);

    SetForcedThemed(true);
    POINT themedAt = {12, 15};  // content margins, then one pixel, vertically centred
    COLORREF normal = CustomDrawnIcon(host_->hwnd(), b, 0, &r, themedAt);
    COLORREF hot = CustomDrawnIcon(host_->hwnd(), b, CDIS_HOT, &r, themedAt);
    COLORREF defaultHot = CustomDrawnIcon(host_->hwnd(), b, CDIS_HOT | CDIS_DEFAULT, &r, themedAt);
    COLORREF pressed = CustomDrawnIcon(host_->hwnd(), b, CDIS_SELECTED, &r, themedAt);
    COLORREF disabled = CustomDrawnIcon(host_->hwnd(), b, CDIS_DISABLED, &r, themedAt);
    SetForcedThemed(false);
    EXPECT_EQ(normal, kRed);
    EXPECT_EQ(hot, kBlue);
    EXPECT_EQ(defaultHot, kRed);
    EXPECT_EQ(pressed, kGreen);
    EXPECT_EQ(disabled, kYellow);

    // Other stages and other senders are left to the parent.
    NMCUSTOMDRAW cd = {};
    cd.hdr = {b, 10, static_cast<UINT>(NM_CUSTOMDRAW)};
    cd.dwDrawStage = CDDS_POSTPAINT;
    EXPECT_EQ(SendMessageW(host_->hwnd(), WM_NOTIFY, 10, reinterpret_cast<LPARAM>(&cd)), 0);
    DestroyWindow(b);
    ImageList_Destroy(images);
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }

TEST_F(ImgButton, FocusedButtonBecomesTheDialogDefault)
{
    std::vector<DWORD> tmpl = DialogTemplate(L"buttons", 160, 60,
                                             {{L"BUTTON", L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 10, 10, 50, 14, IDOK},
                                              {L"IMGBUTTON", L"Image", WS_TABSTOP, 70, 10, 60, 14, 10}});
    HWND dlg = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(tmpl.data()),
                                          host_->hwnd(), PlainDialogProc, 0);
    ASSERT_NE(dlg, nullptr);
    HWND ok = GetDlgItem(dlg, IDOK);
    HWND image = GetDlgItem(dlg, 10);
    SetFocus(ok);
    wintest::PumpMessages(20);
    EXPECT_EQ(LOWORD(SendMessageW(dlg, DM_GETDEFID, 0, 0)), IDOK);
    SetFocus(image);
    wintest::PumpMessages(20);
    EXPECT_EQ(LOWORD(SendMessageW(dlg, DM_GETDEFID, 0, 0)), 10);
    EXPECT_EQ(GetWindowLongPtrW(ok, GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
    wintest::SaveScreenshot(dlg, L"imgbutton_dialog_classic");
    DestroyWindow(dlg);
}

}  // namespace
