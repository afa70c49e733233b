// Property box behaviour in real windows: metrics, mouse and keys, in-place editors, dialogs.
#include "tests/controls/ctltest_host.h"
#include <gmock/gmock.h>
#include <oleauto.h>
#include <memory>
#include "tests/support/wintest.h"

using namespace ctltest;

namespace {

int Add(HWND box, int parent, UINT type, const wchar_t* name)
{
    return static_cast<int>(
        SendMessageW(box, PBXM_ADDITEM, MAKEWPARAM(parent & 0xFFFF, type), reinterpret_cast<LPARAM>(name)));
}

void SetValue(HWND box, int item, VARTYPE vt, double number, const wchar_t* text = nullptr)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = vt;
    if (vt == VT_I4)
        v.lVal = static_cast<LONG>(number);
    else if (vt == VT_R8)
        v.dblVal = number;
    else if (vt == VT_BSTR)
        v.bstrVal = SysAllocString(text);
    SendMessageW(box, PBXM_SETVALUE, PBX_ITEM(item), reinterpret_cast<LPARAM>(&v));
    VariantClear(&v);
}

VARIANT Value(HWND box, int item)
{
    VARIANT v;
    VariantInit(&v);
    SendMessageW(box, PBXM_GETVALUE, PBX_ITEM(item), reinterpret_cast<LPARAM>(&v));
    return v;
}

int Current(HWND box)
{
    int out = -1;
    SendMessageW(box, PBXM_GETCURITEM, 0, reinterpret_cast<LPARAM>(&out));
    return out < 0 ? -1 : (out >> 16) & 0xFFFF;
}

int TextHeight(HFONT font)
{
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    RECT rc = {0, 0, 0, 0};
    DrawTextW(dc, L"X\0\0", 3, &rc, DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return rc.bottom - rc.top;
}

HWND VisibleEditor(HWND box)
{
    for (int id = 1; id <= 6; ++id) {
        HWND ed = GetDlgItem(box, id);
        if (ed && IsWindowVisible(ed))
            return ed;
    }
    return nullptr;
}

// Holds a modifier key and its left-hand key down in this thread's key state while it lives
// (posted keys carry no key state).
class KeyHeld {
public:
    KeyHeld(int vk, int leftVk)
    {
        GetKeyboardState(keys_);
        BYTE held[256];
        memcpy(held, keys_, sizeof(held));
        held[vk] = held[leftVk] = 0x80;
        SetKeyboardState(held);
    }
    ~KeyHeld() { SetKeyboardState(keys_); }

private:
    BYTE keys_[256];
};

struct CtrlDown : KeyHeld {
    CtrlDown() : KeyHeld(VK_CONTROL, VK_LCONTROL) {}
};

struct ShiftDown : KeyHeld {
    ShiftDown() : KeyHeld(VK_SHIFT, VK_LSHIFT) {}
};

class PropBoxUi : public SharedHostTest<PropBoxUi, 420, 260> {
protected:
    void SetUp() override
    {
        SharedHostTest::SetUp();
        host_->entries.clear();
        box_ = CreateBox(host_->hwnd(), 10, 10, 300, 200);
        ASSERT_NE(box_, nullptr);
        pitch_ = TextHeight(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT))) + 3;
    }
    void TearDown() override { DestroyWindow(box_); }
    int Split() { return static_cast<int>(SendMessageW(box_, PBXM_GETITEMWORD, 0, 0)); }
    // Client point in the middle of a row's value cell (rows counted from the top of the window).
    POINT ValueCell(int row) { return {Split() + 30, row * pitch_ + pitch_ / 2}; }
    POINT NameCell(int row) { return {20, row * pitch_ + pitch_ / 2}; }

    HWND box_ = nullptr;
    int pitch_ = 0;
};

TEST_F(PropBoxUi, RowPitchAndScrollPageFollowTheFont)
{
    LOGFONTW lf = {};
    lf.lfHeight = 13;
    lstrcpyW(lf.lfFaceName, L"Tahoma");
    HFONT font = CreateFontIndirectW(&lf);
    int h = TextHeight(font);
    HWND box = CreateWindowExW(0, WC_PROPERTYBOXW, L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL, 0, 0, 200, 100,
                               host_->hwnd(), reinterpret_cast<HMENU>(7), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
    for (int i = 0; i < 10; ++i)
        Add(box, -1, PBT_TEXT, L"row");
    RECT rc;
    GetClientRect(box, &rc);
    ASSERT_EQ(rc.bottom, 100);
    SCROLLINFO si = {sizeof(si), SIF_ALL};
    GetScrollInfo(box, SB_VERT, &si);
    int page = (100 + h + 2) / (h + 3);
    EXPECT_EQ(si.nMax, 10);
    EXPECT_EQ(static_cast<int>(si.nPage), page);
    if (h == 13) {
        EXPECT_EQ(page, 7);
    }
    SendMessageW(box, WM_VSCROLL, SB_BOTTOM, 0);
    GetScrollInfo(box, SB_VERT, &si);
    EXPECT_EQ(si.nPos, 10 - page + 1);
    DestroyWindow(box);
    DeleteObject(font);
}

TEST_F(PropBoxUi, FirstSizeSplitsInTheMiddleAndTheDividerDragIsClamped)
{
    RECT rc;
    GetClientRect(box_, &rc);
    EXPECT_EQ(Split(), rc.right / 2);
    for (int i = 0; i < 3; ++i)
        Add(box_, -1, PBT_TEXT, L"row");
    int split = Split();
    PostMessageW(box_, WM_MOUSEMOVE, 0, MAKELPARAM(split, pitch_ / 2));
    PostMessageW(box_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(split, pitch_ / 2));
    PostMessageW(box_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(2, pitch_ / 2));
    wintest::PumpMessages(20);
    EXPECT_EQ(Split(), 6);
    PostMessageW(box_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(rc.right, pitch_ / 2));
    PostMessageW(box_, WM_LBUTTONUP, 0, MAKELPARAM(rc.right, pitch_ / 2));
    wintest::PumpMessages(20);
    EXPECT_EQ(Split(), rc.right - 6);
    EXPECT_NE(GetCapture(), box_);
}

TEST_F(PropBoxUi, ClickOpensTheNumberEditTypingAndTabStoreAndMoveOn)
{
    int n = Add(box_, -1, PBT_INTEGER, L"count");
    int t = Add(box_, -1, PBT_TEXT, L"name");
    SetValue(box_, n, VT_I4, 345);
    SetValue(box_, t, VT_BSTR, 0, L"abc");
    POINT p = ValueCell(0);
    Click(box_, p.x, p.y);
    HWND number = GetDlgItem(box_, 2);
    ASSERT_TRUE(IsWindowVisible(number));
    EXPECT_EQ(GetFocus(), number);
    EXPECT_TRUE(GetWindowLongPtrW(number, GWL_STYLE) & ES_RIGHT);
    WCHAR text[32] = L"";
    GetWindowTextW(number, text, 32);
    EXPECT_STREQ(text, L"345");
    DWORD start = 0, end = 0;
    SendMessageW(number, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 3u);

    Type(number, L"12");
    Key(number, VK_TAB);
    VARIANT v = Value(box_, n);
    EXPECT_EQ(v.vt, VT_I4);
    EXPECT_EQ(v.lVal, 12);
    EXPECT_EQ(Current(box_), t);
    HWND textEdit = GetDlgItem(box_, 1);
    EXPECT_TRUE(IsWindowVisible(textEdit));
    EXPECT_FALSE(IsWindowVisible(number));
    EXPECT_EQ(GetFocus(), textEdit);
    GetWindowTextW(textEdit, text, 32);
    EXPECT_STREQ(text, L"abc");
    wintest::SaveScreenshot(host_->hwnd(), L"propbox_editing_classic");
}

TEST_F(PropBoxUi, UpAndDownInAnEditCommitAndMoveWithoutWrapping)
{
    int a = Add(box_, -1, PBT_TEXT, L"a");
    int b = Add(box_, -1, PBT_LIST, L"b");
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(a), 1);
    HWND edit = GetDlgItem(box_, 1);
    Type(edit, L"new");
    Key(edit, VK_UP);  // first row: the selection stays, the text is stored
    VARIANT v = Value(box_, a);
    ASSERT_EQ(v.vt, VT_BSTR);
    EXPECT_STREQ(v.bstrVal, L"new");
    VariantClear(&v);
    EXPECT_EQ(Current(box_), a);
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(a), 1);
    Key(GetDlgItem(box_, 1), VK_DOWN);
    EXPECT_EQ(Current(box_), b);
    EXPECT_EQ(VisibleEditor(box_), nullptr);  // a list row is not opened by moving onto it
}

// An editor opened and closed without typing writes nothing back: a real keeps all its digits.
TEST_F(PropBoxUi, RealOpenedAndLeftUntouchedKeepsItsPrecision)
{
    int r = Add(box_, -1, PBT_REAL, L"real");
    Add(box_, -1, PBT_TEXT, L"other");
    SetValue(box_, r, VT_R8, 0.123456);
    POINT p = ValueCell(0);
    Click(box_, p.x, p.y);
    ASSERT_TRUE(IsWindowVisible(GetDlgItem(box_, 2)));
    VARIANT v = Value(box_, r);  // read while the editor is open
    EXPECT_EQ(v.vt, VT_R8);
    EXPECT_EQ(v.dblVal, 0.123456);
    p = ValueCell(1);
    Click(box_, p.x, p.y);
    v = Value(box_, r);
    EXPECT_EQ(v.vt, VT_R8);
    EXPECT_EQ(v.dblVal, 0.123456);

    // A real change is stored at double precision.
    p = ValueCell(0);
    Click(box_, p.x, p.y);
    HWND number = GetDlgItem(box_, 2);
    WCHAR dec[8] = L".";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, dec, 8);
    std::wstring typed = std::wstring(L"123456") + dec + L"789";
    SetWindowTextW(number, typed.c_str());
    SendMessageW(number, EM_SETMODIFY, TRUE, 0);
    Key(number, VK_RETURN);
    v = Value(box_, r);
    EXPECT_EQ(v.vt, VT_R8);
    EXPECT_EQ(v.dblVal, 123456.789);
    EXPECT_EQ(GetFocus(), box_);
}

TEST_F(PropBoxUi, EscapeInTheEditKeepsTheValueAndThenGoesToTheParent)
{
    int t = Add(box_, -1, PBT_TEXT, L"name");
    SetValue(box_, t, VT_BSTR, 0, L"kept");
    POINT p = ValueCell(0);
    Click(box_, p.x, p.y);
    HWND edit = GetDlgItem(box_, 1);
    Type(edit, L"lost");
    Key(edit, VK_ESCAPE);
    EXPECT_FALSE(IsWindowVisible(edit));
    EXPECT_EQ(GetFocus(), box_);
    VARIANT v = Value(box_, t);
    ASSERT_EQ(v.vt, VT_BSTR);
    EXPECT_STREQ(v.bstrVal, L"kept");
    VariantClear(&v);
    host_->Clear();
    Key(box_, VK_ESCAPE);
    EXPECT_EQ(host_->EventsOf(WM_KEYDOWN, VK_ESCAPE).size(), 1u);
}

// A dialog that holds a property box and closes with the code of the button that ended it.
struct DialogScript {
    HWND box = nullptr;
    bool valueKept = false;
};

INT_PTR CALLBACK GridDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    DialogScript* script = reinterpret_cast<DialogScript*>(GetWindowLongPtrW(dlg, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG: {
        script = reinterpret_cast<DialogScript*>(lParam);
        SetWindowLongPtrW(dlg, DWLP_USER, lParam);
        HWND box = GetDlgItem(dlg, 100);
        script->box = box;
        Add(box, -1, PBT_TEXT, L"name");
        SetValue(box, 0, VT_BSTR, 0, L"kept");
        SendMessageW(box, PBXM_SELECTITEM, PBX_ITEM(0), 1);
        HWND edit = GetDlgItem(box, 1);
        PostMessageW(edit, WM_CHAR, L'x', 1);
        PostMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 1);
        PostMessageW(dlg, WM_APP, 0, 0);
        SetTimer(dlg, 1, 5000, nullptr);  // a dialog that ignores Escape must not hang the test
        return FALSE;
    }
    case WM_APP: {
        VARIANT v;
        VariantInit(&v);
        SendMessageW(script->box, PBXM_GETVALUE, PBX_ITEM(0), reinterpret_cast<LPARAM>(&v));
        script->valueKept = v.vt == VT_BSTR && lstrcmpW(v.bstrVal, L"kept") == 0 &&
                            !IsWindowVisible(GetDlgItem(script->box, 1)) && GetFocus() == script->box;
        VariantClear(&v);
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1);
        return TRUE;
    }
    case WM_TIMER:
        EndDialog(dlg, 99);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dlg, LOWORD(wParam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

// Escape in the box closes an open editor first, and the dialog only when nothing is edited.
TEST_F(PropBoxUi, EscapeClosesTheDialogOnceNothingIsEdited)
{
    // A property box (id 100) and an OK button.
    std::vector<DWORD> aligned =
        DialogTemplate(L"grid", 200, 120,
                       {{L"PROPERTYBOX", L"", WS_VSCROLL | WS_TABSTOP | WS_BORDER, 5, 5, 190, 80, 100},
                        {L"BUTTON", L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 140, 95, 50, 14, IDOK}});
    DialogScript script;
    INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                                             reinterpret_cast<LPCDLGTEMPLATEW>(aligned.data()), host_->hwnd(),
                                             GridDialogProc, reinterpret_cast<LPARAM>(&script));
    EXPECT_TRUE(script.valueKept);
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(PropBoxUi, EnterTwiceOnABinaryRowPressesItsButton)
{
    Add(box_, -1, PBT_TEXT, L"first");
    int bin = Add(box_, -1, PBT_BINARY, L"picture");
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(bin), 0);
    SetFocus(box_);
    wintest::PumpMessages();
    host_->Clear();
    Key(box_, VK_RETURN);
    EXPECT_TRUE(host_->EventsOf(WM_NOTIFY, PBXN_BUTTONCLICK).empty());
    wintest::SaveScreenshot(host_->hwnd(), L"propbox_ellipsis_classic");
    Key(box_, VK_RETURN);
    auto clicks = host_->EventsOf(WM_NOTIFY, PBXN_BUTTONCLICK);
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0].item, bin);
    EXPECT_EQ(clicks[0].text, L"picture");
    EXPECT_EQ(clicks[0].from, box_);
    EXPECT_EQ(GetFocus(), box_);
}

TEST_F(PropBoxUi, MouseOnTheEllipsisButtonClicksIt)
{
    int obj = Add(box_, -1, PBT_OBJECT, L"object");
    POINT p = ValueCell(0);
    Click(box_, p.x, p.y);  // selects and shows the button
    EXPECT_TRUE(host_->EventsOf(WM_NOTIFY, PBXN_BUTTONCLICK).empty());
    Click(box_, p.x, p.y);  // presses and releases it
    auto clicks = host_->EventsOf(WM_NOTIFY, PBXN_BUTTONCLICK);
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0].item, obj);
}

TEST_F(PropBoxUi, SelectingAnotherRowDropsWhatWasTyped)
{
    int a = Add(box_, -1, PBT_TEXT, L"a");
    int b = Add(box_, -1, PBT_TEXT, L"b");
    SetValue(box_, a, VT_BSTR, 0, L"before");
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(a), 1);
    Type(GetDlgItem(box_, 1), L"typed");
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(b), 0);
    VARIANT v = Value(box_, a);
    ASSERT_EQ(v.vt, VT_BSTR);
    EXPECT_STREQ(v.bstrVal, L"before");
    VariantClear(&v);
    EXPECT_EQ(Current(box_), b);
    EXPECT_EQ(VisibleEditor(box_), nullptr);
}

TEST_F(PropBoxUi, ClickBelowTheLastRowLeavesNoCurrentItem)
{
    int a = Add(box_, -1, PBT_TEXT, L"a");
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(a), 0);
    Click(box_, 20, 5 * pitch_);
    EXPECT_EQ(Current(box_), -1);
    // The first pixel line of a row hits nothing either.
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(a), 0);
    Click(box_, 20, pitch_);
    EXPECT_EQ(Current(box_), -1);
}

TEST_F(PropBoxUi, CtrlPageDownSelectsTheLastRowOfTheWindowAndOpensIt)
{
    for (int i = 0; i < 30; ++i)
        Add(box_, -1, PBT_TEXT, L"row");
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(0), 0);
    SendMessageW(box_, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 5), 0);
    SetFocus(box_);
    {
        CtrlDown ctrl;
        Key(box_, VK_NEXT);
    }
    RECT rc;
    GetClientRect(box_, &rc);
    int whole = rc.bottom / pitch_;
    EXPECT_EQ(Current(box_), 5 + whole - 1);
    HWND edit = GetDlgItem(box_, 1);
    ASSERT_TRUE(IsWindowVisible(edit));
    RECT er;
    GetWindowRect(edit, &er);
    MapWindowPoints(nullptr, box_, reinterpret_cast<POINT*>(&er), 2);
    EXPECT_EQ(er.top, (whole - 1) * pitch_ + 2);

    SendMessageW(box_, PBXM_ENDEDIT, 0, 1);
    {
        CtrlDown ctrl;
        Key(box_, VK_PRIOR);
    }
    EXPECT_EQ(Current(box_), 5);
}

TEST_F(PropBoxUi, ArrowsMoveTheSelectionAndScrollItIntoView)
{
    for (int i = 0; i < 30; ++i)
        Add(box_, -1, PBT_LIST, L"row");
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(0), 0);
    SetFocus(box_);
    for (int i = 0; i < 20; ++i)
        Key(box_, VK_DOWN);
    EXPECT_EQ(Current(box_), 20);
    SCROLLINFO si = {sizeof(si), SIF_POS};
    GetScrollInfo(box_, SB_VERT, &si);
    RECT rc;
    GetClientRect(box_, &rc);
    EXPECT_EQ(si.nPos, 20 - rc.bottom / pitch_ + 1);
    SendMessageW(box_, PBXM_SELECTNEXT, MAKEWPARAM(0, 1), 0);
    EXPECT_EQ(Current(box_), 21);
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(29), 0);
    SendMessageW(box_, PBXM_SELECTNEXT, MAKEWPARAM(0, 0), 0);
    EXPECT_EQ(Current(box_), 29);
    SendMessageW(box_, PBXM_SELECTNEXT, MAKEWPARAM(0, 1), 0);  // wraps
    EXPECT_EQ(Current(box_), 0);
    GetScrollInfo(box_, SB_VERT, &si);
    EXPECT_EQ(si.nPos, 0);
}

TEST_F(PropBoxUi, RightAndLeftExpandAndCollapse)
{
    int f = Add(box_, -1, PBT_FLAGS, L"flags");
    SendMessageW(box_, PBXM_SETFLAGNAMES, PBX_ITEM(f), reinterpret_cast<LPARAM>(L"a\0b\0"));
    int last = Add(box_, -1, PBT_TEXT, L"last");
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(last), 0);
    int out;
    EXPECT_EQ(SendMessageW(box_, PBXM_GETCURITEM, 0, reinterpret_cast<LPARAM>(&out)), 1);
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(f), 0);
    Key(box_, VK_RIGHT);
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(last), 0);
    EXPECT_EQ(SendMessageW(box_, PBXM_GETCURITEM, 0, reinterpret_cast<LPARAM>(&out)), 3);
    SCROLLINFO si = {sizeof(si), SIF_RANGE};
    GetScrollInfo(box_, SB_VERT, &si);
    EXPECT_EQ(si.nMax, 4);
    // Hidden items take no row.
    SendMessageW(box_, PBXM_SETITEMFLAG, PBX_ITEM(1), 0);
    EXPECT_EQ(SendMessageW(box_, PBXM_GETCURITEM, 0, reinterpret_cast<LPARAM>(&out)), 2);
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(f), 0);
    Key(box_, VK_LEFT);
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(last), 0);
    EXPECT_EQ(SendMessageW(box_, PBXM_GETCURITEM, 0, reinterpret_cast<LPARAM>(&out)), 1);
}

TEST_F(PropBoxUi, OnDemandListAsksTheParentForItsEntries)
{
    int l = Add(box_, -1, PBT_LIST | PBT_ONDEMAND, L"genus");
    host_->entries = {L"Bufo", L"Rana", L"Hyla"};
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(l), 1);
    auto asks = host_->EventsOf(WM_NOTIFY, PBXN_GETLISTCOUNT);
    ASSERT_EQ(asks.size(), 1u);
    EXPECT_EQ(asks[0].item, l);
    HWND list = GetDlgItem(box_, 6);
    ASSERT_TRUE(IsWindowVisible(list));
    EXPECT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 3);

    // Choosing an entry reports it and stores its text.
    host_->Clear();
    SendMessageW(list, CB_SETCURSEL, 1, 0);
    SendMessageW(list, ICBM_SETSELNOTIFY, 1, 0);
    auto changes = host_->EventsOf(WM_NOTIFY, PBXN_SELCHANGE);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].listPos, 1);
    EXPECT_EQ(changes[0].item, l);
    SendMessageW(box_, PBXM_ENDEDIT, 1, 0);
    VARIANT v = Value(box_, l);
    ASSERT_EQ(v.vt, VT_BSTR);
    EXPECT_STREQ(v.bstrVal, L"Rana");
    VariantClear(&v);
}

TEST_F(PropBoxUi, ComboEditorCommitsTypedText)
{
    int c = Add(box_, -1, PBT_COMBO, L"combo");
    SendMessageW(box_, PBXM_SETLIST, PBX_ITEM(c), reinterpret_cast<LPARAM>(L"alpha\0beta\0"));
    POINT p = ValueCell(0);
    Click(box_, p.x, p.y);
    HWND combo = GetDlgItem(box_, 3);
    ASSERT_TRUE(IsWindowVisible(combo));
    EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 2);
    SetWindowTextW(combo, L"beta");
    SendMessageW(box_, WM_COMMAND, MAKEWPARAM(3, CBN_EDITCHANGE), reinterpret_cast<LPARAM>(combo));
    auto edits = host_->EventsOf(WM_NOTIFY, PBXN_EDITCHANGE);
    ASSERT_EQ(edits.size(), 1u);
    EXPECT_EQ(edits[0].listPos, 1);
    SendMessageW(box_, WM_COMMAND, MAKEWPARAM(3, CBN_SELENDOK), reinterpret_cast<LPARAM>(combo));
    EXPECT_FALSE(IsWindowVisible(combo));
    VARIANT v = Value(box_, c);
    ASSERT_EQ(v.vt, VT_BSTR);
    EXPECT_STREQ(v.bstrVal, L"beta");
    VariantClear(&v);
}

// Fills a box with one row of every kind for the pictures.
void FillSample(HWND box)
{
    int t = Add(box, -1, PBT_TEXT, L"Name");
    SetValue(box, t, VT_BSTR, 0, L"Bufo bufo");
    int i = Add(box, -1, PBT_INTEGER, L"Count");
    SetValue(box, i, VT_I4, 42);
    int r = Add(box, -1, PBT_REAL, L"Length");
    SetValue(box, r, VT_R8, 12.5);
    int b = Add(box, -1, PBT_BOOL, L"Protected");
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = VARIANT_TRUE;
    SendMessageW(box, PBXM_SETVALUE, PBX_ITEM(b), reinterpret_cast<LPARAM>(&v));
    int f = Add(box, -1, PBT_FLAGS, L"Habitat");
    SendMessageW(box, PBXM_SETFLAGNAMES, PBX_ITEM(f), reinterpret_cast<LPARAM>(L"water\0forest\0field\0"));
    SetValue(box, f, VT_I4, 5);
    int bin = Add(box, -1, PBT_BINARY, L"Picture");
    SendMessageW(box, PBXM_SELECTITEM, PBX_ITEM(f), 0);
    SendMessageW(box, WM_KEYDOWN, VK_RIGHT, 0);
    SendMessageW(box, PBXM_SELECTITEM, PBX_ITEM(bin), 0);
    SendMessageW(box, WM_KEYDOWN, VK_RETURN, 0);  // shows the ellipsis button
}

TEST_F(PropBoxUi, PaintsClassicRows)
{
    FillSample(box_);
    wintest::PumpMessages(50);
    std::wstring shot = wintest::SaveScreenshot(host_->hwnd(), L"propbox_classic");
    EXPECT_FALSE(shot.empty());
    // The value cell is filled with the window colour, the name cell is a button face.
    POINT p = ValueCell(1);
    EXPECT_EQ(PixelAt(box_, Split() + 3, p.y), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(PixelAt(box_, 3, p.y), GetSysColor(COLOR_BTNFACE));
}

TEST_F(PropBoxUi, PaintsThemedRows)
{
    SetForcedThemed(true);
    HWND box = CreateBox(host_->hwnd(), 10, 10, 300, 200, 101);
    ShowWindow(box_, SW_HIDE);
    FillSample(box);
    wintest::PumpMessages(50);
    std::wstring shot = wintest::SaveScreenshot(host_->hwnd(), L"propbox_themed");
    SetForcedThemed(false);
    EXPECT_FALSE(shot.empty());
    EXPECT_EQ(PixelAt(box, Split() + 3, pitch_ + pitch_ / 2), GetSysColor(COLOR_WINDOW));
    DestroyWindow(box);
}

TEST_F(PropBoxUi, ShiftTabInAnEditGoesBack)
{
    int a = Add(box_, -1, PBT_REAL, L"a");
    int b = Add(box_, -1, PBT_TEXT, L"b");
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(b), 1);
    HWND edit = GetDlgItem(box_, 1);
    Type(edit, L"x");
    {
        ShiftDown shift;
        Key(edit, VK_TAB);
    }
    EXPECT_EQ(Current(box_), a);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(box_, 2)));
    VARIANT v = Value(box_, b);
    ASSERT_EQ(v.vt, VT_BSTR);
    EXPECT_STREQ(v.bstrVal, L"x");
    VariantClear(&v);
}

TEST_F(PropBoxUi, FocusWithoutACurrentItemSelectsTheTopRow)
{
    Add(box_, -1, PBT_TEXT, L"a");
    Add(box_, -1, PBT_TEXT, L"b");
    SetFocus(host_->hwnd());
    SetFocus(box_);
    EXPECT_EQ(Current(box_), 0);
    EXPECT_EQ(GetFocus(), GetDlgItem(box_, 1));
}

TEST_F(PropBoxUi, TabOnTheBoxMovesToTheNextControl)
{
    HWND next = CreateWindowExW(0, L"BUTTON", L"next", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 320, 10, 60, 20,
                                host_->hwnd(), reinterpret_cast<HMENU>(9), GetModuleHandleW(nullptr), nullptr);
    int a = Add(box_, -1, PBT_LIST, L"a");
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(a), 0);
    SetFocus(box_);
    Key(box_, VK_TAB);
    EXPECT_EQ(GetFocus(), next);
    DestroyWindow(next);
}

TEST_F(PropBoxUi, EditCommitsWhenTheFocusLeavesTheBox)
{
    HWND other = CreateWindowExW(0, L"BUTTON", L"other", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 320, 10, 60, 20,
                                 host_->hwnd(), reinterpret_cast<HMENU>(9), GetModuleHandleW(nullptr), nullptr);
    int a = Add(box_, -1, PBT_INTEGER, L"a");
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(a), 1);
    HWND number = GetDlgItem(box_, 2);
    Type(number, L"77");
    SetFocus(other);
    EXPECT_FALSE(IsWindowVisible(number));
    VARIANT v = Value(box_, a);
    EXPECT_EQ(v.vt, VT_I4);
    EXPECT_EQ(v.lVal, 77);
    DestroyWindow(other);
}

TEST_F(PropBoxUi, DoubleClickTogglesTheCurrentItem)
{
    int f = Add(box_, -1, PBT_FLAGS, L"flags");
    SendMessageW(box_, PBXM_SETFLAGNAMES, PBX_ITEM(f), reinterpret_cast<LPARAM>(L"a\0b\0"));
    SendMessageW(box_, PBXM_REDRAW, 0, 0);
    POINT p = NameCell(0);
    Click(box_, p.x, p.y);
    PostMessageW(box_, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    wintest::PumpMessages(20);
    SCROLLINFO si = {sizeof(si), SIF_RANGE};
    GetScrollInfo(box_, SB_VERT, &si);
    EXPECT_EQ(si.nMax, 3);
    PostMessageW(box_, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    wintest::PumpMessages(20);
    GetScrollInfo(box_, SB_VERT, &si);
    EXPECT_EQ(si.nMax, 1);
}

TEST_F(PropBoxUi, CursorShowsTheDividerAndTheTextCells)
{
    Add(box_, -1, PBT_TEXT, L"a");
    Add(box_, -1, PBT_LIST, L"b");
    auto cursorAt = [this](int x, int y) {
        SendMessageW(box_, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
        SendMessageW(box_, WM_SETCURSOR, reinterpret_cast<WPARAM>(box_), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return GetCursor();
    };
    // The common controls' divider cursor, or the system's west-east arrows where the loaded
    // common controls carry none (the version 6 copy under Wine).
    HCURSOR divider = LoadCursorW(GetModuleHandleW(L"comctl32.dll"), MAKEINTRESOURCEW(106));
    if (!divider)
        divider = LoadCursorW(nullptr, IDC_SIZEWE);
    EXPECT_EQ(cursorAt(Split(), pitch_ / 2), divider);
    EXPECT_EQ(cursorAt(Split() + 20, pitch_ / 2), LoadCursorW(nullptr, IDC_IBEAM));
    EXPECT_EQ(cursorAt(Split() + 20, pitch_ + pitch_ / 2), LoadCursorW(nullptr, IDC_ARROW));  // a list row
    EXPECT_EQ(cursorAt(Split(), 5 * pitch_), LoadCursorW(nullptr, IDC_ARROW));  // below the rows
    // Another window's cursor request gets no default processing here.
    EXPECT_EQ(SendMessageW(box_, WM_SETCURSOR, reinterpret_cast<WPARAM>(GetDlgItem(box_, 1)),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              0);
}

TEST_F(PropBoxUi, CtrlDownScrollsAndKeepsTheSelectionInView)
{
    for (int i = 0; i < 30; ++i)
        Add(box_, -1, PBT_LIST, L"row");
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(0), 0);
    SetFocus(box_);
    {
        CtrlDown ctrl;
        Key(box_, VK_DOWN);
    }
    SCROLLINFO si = {sizeof(si), SIF_POS};
    GetScrollInfo(box_, SB_VERT, &si);
    EXPECT_EQ(si.nPos, 1);
    EXPECT_EQ(Current(box_), 1);  // the old row left the window: the top row's item
    {
        CtrlDown ctrl;
        Key(box_, VK_UP);
    }
    GetScrollInfo(box_, SB_VERT, &si);
    EXPECT_EQ(si.nPos, 0);
    EXPECT_EQ(Current(box_), 1);
}

// A list editor opened and closed without a choice keeps the stored value, even one not listed.
TEST_F(PropBoxUi, ListEditorLeftUntouchedKeepsTheStoredValue)
{
    int b = Add(box_, -1, PBT_BOOL, L"bool");
    Add(box_, -1, PBT_TEXT, L"other");
    VARIANT t;
    VariantInit(&t);
    t.vt = VT_BOOL;
    t.boolVal = VARIANT_TRUE;
    SendMessageW(box_, PBXM_SETVALUE, PBX_ITEM(b), reinterpret_cast<LPARAM>(&t));
    POINT p = ValueCell(0);
    Click(box_, p.x, p.y);
    ASSERT_TRUE(IsWindowVisible(GetDlgItem(box_, 3)));
    p = ValueCell(1);
    Click(box_, p.x, p.y);
    VARIANT v = Value(box_, b);
    EXPECT_EQ(v.vt, VT_BOOL);
    EXPECT_EQ(v.boolVal, VARIANT_TRUE);  // not re-read from the text as 1
}

TEST_F(PropBoxUi, TypingInTheComboEditorReportsTheMatchingEntry)
{
    int c = Add(box_, -1, PBT_COMBO, L"combo");
    SendMessageW(box_, PBXM_SETLIST, PBX_ITEM(c), reinterpret_cast<LPARAM>(L"Bufo\0Rana\0"));
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(c), 1);
    HWND combo = GetDlgItem(box_, 3);
    HWND edit = reinterpret_cast<HWND>(GetWindowLongPtrW(combo, sizeof(HWND)));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(GetFocus(), edit);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    Type(edit, L"R");
    auto edits = host_->EventsOf(WM_NOTIFY, PBXN_EDITCHANGE);
    ASSERT_FALSE(edits.empty());
    EXPECT_EQ(edits.back().listPos, -1);  // "R" alone is no entry
    Type(edit, L"ana");
    edits = host_->EventsOf(WM_NOTIFY, PBXN_EDITCHANGE);
    EXPECT_EQ(edits.back().listPos, 1);
    EXPECT_EQ(edits.back().item, c);
    Key(edit, VK_RETURN);
    EXPECT_FALSE(IsWindowVisible(combo));
    EXPECT_EQ(GetFocus(), box_);
    VARIANT v = Value(box_, c);
    ASSERT_EQ(v.vt, VT_BSTR);
    EXPECT_STREQ(v.bstrVal, L"Rana");
    VariantClear(&v);
}

TEST_F(PropBoxUi, ListEditorClosesAndCommitsWhenTheBoxTakesTheKeyboard)
{
    int c = Add(box_, -1, PBT_COMBO, L"combo");
    SendMessageW(box_, PBXM_SETLIST, PBX_ITEM(c), reinterpret_cast<LPARAM>(L"a\0b\0"));
    POINT p = ValueCell(0);
    Click(box_, p.x, p.y);
    HWND combo = GetDlgItem(box_, 3);
    ASSERT_TRUE(IsWindowVisible(combo));
    SetWindowTextW(combo, L"b");
    p = NameCell(0);
    Click(box_, p.x, p.y);  // the same row's name cell
    EXPECT_EQ(GetFocus(), box_);
    EXPECT_FALSE(IsWindowVisible(combo));
    EXPECT_EQ(Current(box_), c);
    VARIANT v = Value(box_, c);
    ASSERT_EQ(v.vt, VT_BSTR);
    EXPECT_STREQ(v.bstrVal, L"b");
    VariantClear(&v);
}

TEST_F(PropBoxUi, TextEditStaysOpenWhenTheBoxTakesTheKeyboard)
{
    int t = Add(box_, -1, PBT_TEXT, L"text");
    POINT p = ValueCell(0);
    Click(box_, p.x, p.y);
    HWND edit = GetDlgItem(box_, 1);
    ASSERT_TRUE(IsWindowVisible(edit));
    p = NameCell(0);
    Click(box_, p.x, p.y);
    EXPECT_EQ(GetFocus(), box_);
    EXPECT_TRUE(IsWindowVisible(edit));
    EXPECT_EQ(Current(box_), t);
    SetFocus(edit);
    EXPECT_TRUE(IsWindowVisible(edit));
}

TEST_F(PropBoxUi, ButtonClickHandlerMayTakeTheFocusWithoutEndingTheRow)
{
    HWND other = CreateWindowExW(0, L"BUTTON", L"other", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 320, 10, 60, 20,
                                 host_->hwnd(), reinterpret_cast<HMENU>(9), GetModuleHandleW(nullptr), nullptr);
    int bin = Add(box_, -1, PBT_BINARY, L"blob");
    // The owner opens its editor (here: takes the keyboard) and gives it back, as a dialog would.
    host_->onEvent = [this, other](const Event& e) {
        if (e.code == PBXN_BUTTONCLICK) {
            SetFocus(other);
            SetFocus(box_);
        }
    };
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(bin), 0);
    SetFocus(box_);
    Key(box_, VK_RETURN);  // shows the button
    Key(box_, VK_RETURN);  // presses and releases it
    Key(box_, VK_RETURN);  // still shown: presses it again
    host_->onEvent = nullptr;
    EXPECT_EQ(host_->EventsOf(WM_NOTIFY, PBXN_BUTTONCLICK).size(), 2u);
    DestroyWindow(other);
}

TEST_F(PropBoxUi, OpenEditorScrollsWithItsRow)
{
    for (int i = 0; i < 30; ++i)
        Add(box_, -1, PBT_TEXT, L"row");
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(3), 1);
    HWND edit = GetDlgItem(box_, 1);
    RECT before, after;
    GetWindowRect(edit, &before);
    SendMessageW(box_, WM_VSCROLL, SB_LINEDOWN, 0);
    GetWindowRect(edit, &after);
    EXPECT_EQ(after.top, before.top - pitch_);
    SendMessageW(box_, WM_VSCROLL, SB_PAGEDOWN, 0);
    SCROLLINFO si = {sizeof(si), SIF_ALL};
    GetScrollInfo(box_, SB_VERT, &si);
    EXPECT_EQ(si.nPos, 1 + static_cast<int>(si.nPage));
    SendMessageW(box_, WM_VSCROLL, SB_BOTTOM, 0);
    GetScrollInfo(box_, SB_VERT, &si);
    EXPECT_EQ(si.nPos, si.nMax - static_cast<int>(si.nPage) + 1);
    SendMessageW(box_, WM_VSCROLL, SB_TOP, 0);
    GetScrollInfo(box_, SB_VERT, &si);
    EXPECT_EQ(si.nPos, 0);
}

TEST_F(PropBoxUi, DeletingTheEditedItemClosesItsEditor)
{
    Add(box_, -1, PBT_TEXT, L"a");
    int b = Add(box_, -1, PBT_TEXT, L"b");
    Add(box_, -1, PBT_TEXT, L"c");
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(b), 1);
    Type(GetDlgItem(box_, 1), L"typed");
    SendMessageW(box_, PBXM_DELETEITEM, PBX_ITEM(b), 0);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(box_, 1)));
    EXPECT_EQ(Current(box_), -1);
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(1), 0);
    EXPECT_EQ(Current(box_), 1);
    SendMessageW(box_, PBXM_DELETEITEM, PBX_ITEM(0), 0);  // the current item moves down one index
    EXPECT_EQ(Current(box_), 0);
}

TEST_F(PropBoxUi, TabInAListEditorIsReportedToTheOwnerAndOpensTheNextRow)
{
    int l = Add(box_, -1, PBT_LIST, L"list");
    Add(box_, -1, PBT_TEXT, L"next");
    SendMessageW(box_, PBXM_SETLIST, PBX_ITEM(l), reinterpret_cast<LPARAM>(L"a\0b\0"));
    POINT p = ValueCell(0);
    Click(box_, p.x, p.y);
    HWND list = GetDlgItem(box_, 4);
    ASSERT_TRUE(IsWindowVisible(list));
    ASSERT_EQ(GetFocus(), list);
    host_->Clear();
    Key(list, VK_TAB);
    auto keys = host_->EventsOf(WM_NOTIFY, static_cast<UINT>(NM_KEYDOWN));
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].from, box_);
    EXPECT_EQ(keys[0].listPos, VK_TAB);
    EXPECT_EQ(Current(box_), l + 1);
    EXPECT_FALSE(IsWindowVisible(list));
    EXPECT_EQ(GetFocus(), GetDlgItem(box_, 1));
}

}  // namespace
