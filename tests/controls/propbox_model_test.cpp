// Property box item model: indices, values and their texts, lists, and forwarding of editor requests.
#include "tests/controls/ctltest_host.h"
#include <gmock/gmock.h>
#include <oleauto.h>
#include <memory>
#include "tests/support/wintest.h"

using namespace ctltest;

namespace {

class PropBoxModel : public SharedHostTest<PropBoxModel, 300, 200> {
protected:
    void SetUp() override
    {
        SharedHostTest::SetUp();
        host_->entries.clear();
        box_ = CreateBox(host_->hwnd(), 0, 0, 300, 200);
        ASSERT_NE(box_, nullptr);
    }
    void TearDown() override { DestroyWindow(box_); }

    int Add(int parent, UINT type, const wchar_t* name)
    {
        return static_cast<int>(SendMessageW(box_, PBXM_ADDITEM, MAKEWPARAM(parent & 0xFFFF, type),
                                             reinterpret_cast<LPARAM>(name)));
    }
    std::wstring Name(int item)
    {
        LRESULT len = SendMessageW(box_, PBXM_GETITEMTEXTLEN, PBX_ITEM(item), 0);
        if (len < 0)
            return L"<none>";
        std::wstring text(static_cast<size_t>(len) + 1, L'\0');
        SendMessageW(box_, PBXM_GETITEMTEXT, PBX_ITEM(item), reinterpret_cast<LPARAM>(&text[0]));
        text.resize(static_cast<size_t>(len));
        return text;
    }
    void SetI4(int item, LONG value)
    {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_I4;
        v.lVal = value;
        SendMessageW(box_, PBXM_SETVALUE, PBX_ITEM(item), reinterpret_cast<LPARAM>(&v));
    }
    void SetBool(int item, bool on)
    {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_BOOL;
        v.boolVal = on ? VARIANT_TRUE : VARIANT_FALSE;
        SendMessageW(box_, PBXM_SETVALUE, PBX_ITEM(item), reinterpret_cast<LPARAM>(&v));
    }
    void SetText(int item, const wchar_t* text)
    {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(text);
        SendMessageW(box_, PBXM_SETVALUE, PBX_ITEM(item), reinterpret_cast<LPARAM>(&v));
        VariantClear(&v);
    }
    VARIANT Value(int item)
    {
        VARIANT v;
        VariantInit(&v);
        SendMessageW(box_, PBXM_GETVALUE, PBX_ITEM(item), reinterpret_cast<LPARAM>(&v));
        return v;
    }
    // The display text as the editor opened on the item shows it.
    std::wstring Shown(int item)
    {
        SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(item), 1);
        wintest::PumpMessages();
        std::wstring text;
        for (int id = 1; id <= 6; ++id) {
            HWND ed = GetDlgItem(box_, id);
            if (ed && IsWindowVisible(ed)) {
                WCHAR buf[256] = L"";
                if (id == 4 || id == 6) {
                    LRESULT sel = SendMessageW(ed, CB_GETCURSEL, 0, 0);
                    if (sel >= 0)
                        SendMessageW(ed, CB_GETLBTEXT, sel, reinterpret_cast<LPARAM>(buf));
                } else {
                    GetWindowTextW(ed, buf, 256);
                }
                text = buf;
            }
        }
        SendMessageW(box_, PBXM_ENDEDIT, 0, 0);
        return text;
    }

    HWND box_ = nullptr;
};

std::wstring ListSep()
{
    WCHAR sep[16] = L"";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLIST, sep, 16);
    return sep;
}

TEST_F(PropBoxModel, IndicesFollowCreationOrderWhateverTheParent)
{
    EXPECT_EQ(Add(-1, PBT_TEXT, L"a"), 0);
    EXPECT_EQ(Add(0, PBT_TEXT, L"a.child"), 1);
    EXPECT_EQ(Add(-1, PBT_INTEGER, L"b"), 2);
    EXPECT_EQ(SendMessageW(box_, PBXM_GETCOUNT, static_cast<WPARAM>(-1), 0), 2);  // top level
    EXPECT_EQ(SendMessageW(box_, PBXM_GETCOUNT, static_cast<WPARAM>(-1), 1), 3);  // all
    EXPECT_EQ(SendMessageW(box_, PBXM_GETCOUNT, 0, 0), 1);
}

TEST_F(PropBoxModel, AddUnderMissingParentFailsAndAddsNothing)
{
    Add(-1, PBT_TEXT, L"a");
    EXPECT_EQ(Add(1, PBT_TEXT, L"x"), -1);
    EXPECT_EQ(Add(7, PBT_TEXT, L"x"), -1);
    EXPECT_EQ(SendMessageW(box_, PBXM_GETCOUNT, static_cast<WPARAM>(-1), 1), 1);
}

TEST_F(PropBoxModel, DeletingClosesTheGapInTheIndex)
{
    for (const wchar_t* n : {L"i0", L"i1", L"i2", L"i3", L"i4"})
        Add(-1, PBT_TEXT, n);
    EXPECT_EQ(SendMessageW(box_, PBXM_DELETEITEM, PBX_ITEM(2), 0), 0);
    EXPECT_EQ(Name(2), L"i3");
    EXPECT_EQ(Name(3), L"i4");
    EXPECT_EQ(SendMessageW(box_, PBXM_GETITEMTEXTLEN, PBX_ITEM(4), 0), -1);
}

TEST_F(PropBoxModel, DeletingASubtreeRemovesEveryDescendant)
{
    int a = Add(-1, PBT_OBJECT, L"a");
    int b = Add(a, PBT_OBJECT, L"b");
    Add(b, PBT_TEXT, L"c");
    Add(a, PBT_TEXT, L"d");
    Add(-1, PBT_TEXT, L"e");
    EXPECT_EQ(SendMessageW(box_, PBXM_GETCOUNT, a, 1), 3);
    SendMessageW(box_, PBXM_DELETEITEM, PBX_ITEM(a), 0);
    EXPECT_EQ(SendMessageW(box_, PBXM_GETCOUNT, static_cast<WPARAM>(-1), 1), 1);
    EXPECT_EQ(Name(0), L"e");
}

TEST_F(PropBoxModel, DeleteUnderTheWrongParentRemovesNothing)
{
    int a = Add(-1, PBT_OBJECT, L"a");
    Add(a, PBT_TEXT, L"child");
    EXPECT_EQ(SendMessageW(box_, PBXM_DELETEITEM, PBX_ITEM(1), 0), 0);  // not a top-level item
    EXPECT_EQ(SendMessageW(box_, PBXM_GETCOUNT, static_cast<WPARAM>(-1), 1), 2);
    EXPECT_EQ(SendMessageW(box_, PBXM_DELETEITEM, PBX_PARENT_ITEM(a, 1), 0), 0);
    EXPECT_EQ(SendMessageW(box_, PBXM_GETCOUNT, static_cast<WPARAM>(-1), 1), 1);
    EXPECT_EQ(SendMessageW(box_, PBXM_DELETEITEM, PBX_ITEM(9), 0), 0);
}

TEST_F(PropBoxModel, ItemMessagesRejectIndicesPastTheCount)
{
    Add(-1, PBT_TEXT, L"a");
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(SendMessageW(box_, PBXM_SETVALUE, PBX_ITEM(1), reinterpret_cast<LPARAM>(&v)), -1);
    EXPECT_EQ(SendMessageW(box_, PBXM_GETITEMDATA, PBX_ITEM(1), 0), -1);
    EXPECT_EQ(SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(3), 0), -1);
    EXPECT_EQ(SendMessageW(box_, PBXM_GETLISTCOUNT, PBX_ITEM(1), 0), -1);
    EXPECT_EQ(SendMessageW(box_, PBXM_GETCOUNT, 1, 0), -1);
}

// A row's item data is a whole pointer, not its lower 32 bits.
TEST_F(PropBoxModel, ItemDataKeepsAFullPointer)
{
    Add(-1, PBT_TEXT, L"a");
    LPARAM big = static_cast<LPARAM>(0x123456789ABCLL);
    SendMessageW(box_, PBXM_SETITEMDATA, PBX_ITEM(0), big);
    EXPECT_EQ(SendMessageW(box_, PBXM_GETITEMDATA, PBX_ITEM(0), 0), big);
}

TEST_F(PropBoxModel, FlagsShowTheSetNamesAndFeedTheirChildren)
{
    int f = Add(-1, PBT_FLAGS, L"flags");
    SendMessageW(box_, PBXM_SETFLAGNAMES, PBX_ITEM(f), reinterpret_cast<LPARAM>(L"a\0b\0c\0"));
    EXPECT_EQ(SendMessageW(box_, PBXM_GETCOUNT, f, 0), 3);
    SetI4(f, 5);
    EXPECT_EQ(Shown(f), L"(a" + ListSep() + L"c)");
    for (int child = 1; child <= 3; ++child) {
        VARIANT v = Value(child);
        EXPECT_EQ(v.vt, VT_BOOL);
        EXPECT_EQ(v.boolVal != 0, child != 2) << child;
    }
    // The children get rows once the bit set is expanded.
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(f), 0);
    SendMessageW(box_, WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(Shown(1), L"yes");
    EXPECT_EQ(Shown(2), L"no");
    EXPECT_EQ(Shown(3), L"yes");

    SetBool(2, true);
    VARIANT parent = Value(f);
    EXPECT_EQ(parent.vt, VT_I4);
    EXPECT_EQ(parent.lVal, 7);
    EXPECT_EQ(Shown(f), L"(a" + ListSep() + L"b" + ListSep() + L"c)");
}

TEST_F(PropBoxModel, FlagsWithNothingSetReadBackAsZero)
{
    int f = Add(-1, PBT_FLAGS, L"flags");
    SendMessageW(box_, PBXM_SETFLAGNAMES, PBX_ITEM(f), reinterpret_cast<LPARAM>(L"alpha\0beta\0"));
    SetI4(f, 0);
    EXPECT_EQ(Shown(f), L"()");

    // Typed text is parsed back into a mask, by name prefix and case-insensitively.
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(f), 1);
    HWND edit = GetDlgItem(box_, 1);
    SetWindowTextW(edit, (L"(BE" + ListSep() + L"al)").c_str());
    SendMessageW(edit, EM_SETMODIFY, TRUE, 0);
    VARIANT v = Value(f);
    EXPECT_EQ(v.vt, VT_I4);
    EXPECT_EQ(v.lVal, 3);
    SetWindowTextW(edit, L"()");
    SendMessageW(edit, EM_SETMODIFY, TRUE, 0);
    v = Value(f);
    EXPECT_EQ(v.vt, VT_I4);
    EXPECT_EQ(v.lVal, 0);
    SetWindowTextW(edit, L"alpha");
    SendMessageW(edit, EM_SETMODIFY, TRUE, 0);
    v = Value(f);
    EXPECT_EQ(v.vt, VT_EMPTY);  // no opening parenthesis
    SendMessageW(box_, PBXM_ENDEDIT, 0, 0);
}

TEST_F(PropBoxModel, AStringValueSetsEveryFlag)
{
    int f = Add(-1, PBT_FLAGS, L"flags");
    SendMessageW(box_, PBXM_SETFLAGNAMES, PBX_ITEM(f), reinterpret_cast<LPARAM>(L"a\0b\0"));
    SetText(f, L"whatever");
    EXPECT_NE(Value(1).boolVal, 0);
    EXPECT_NE(Value(2).boolVal, 0);
    // An empty value empties every flag.
    VARIANT e;
    VariantInit(&e);
    SendMessageW(box_, PBXM_SETVALUE, PBX_ITEM(f), reinterpret_cast<LPARAM>(&e));
    EXPECT_EQ(Value(1).vt, VT_NULL);
}

TEST_F(PropBoxModel, YesTextNeedsRoomForItsTerminator)
{
    WCHAR buf[8] = L"zz";
    EXPECT_EQ(SendMessageW(box_, PBXM_GETYESTEXT, 3, reinterpret_cast<LPARAM>(buf)), 4);
    EXPECT_STREQ(buf, L"zz");
    EXPECT_EQ(SendMessageW(box_, PBXM_GETYESTEXT, 4, reinterpret_cast<LPARAM>(buf)), 0);
    EXPECT_STREQ(buf, L"yes");
    EXPECT_EQ(SendMessageW(box_, PBXM_GETNOTEXT, 3, reinterpret_cast<LPARAM>(buf)), 0);
    EXPECT_STREQ(buf, L"no");
}

TEST_F(PropBoxModel, NewYesTextChangesTheListsButNotTheShownValues)
{
    int b = Add(-1, PBT_BOOL, L"b");
    SetBool(b, true);
    SendMessageW(box_, PBXM_SETYESTEXT, 0, reinterpret_cast<LPARAM>(L"ano"));
    SendMessageW(box_, PBXM_SETNOTEXT, 0, reinterpret_cast<LPARAM>(L"ne"));
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(b), 1);
    HWND combo = GetDlgItem(box_, 3);
    ASSERT_TRUE(IsWindowVisible(combo));
    WCHAR text[32] = L"";
    GetWindowTextW(combo, text, 32);
    EXPECT_STREQ(text, L"yes");  // the display text built before stays
    ASSERT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 2);
    SendMessageW(combo, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, L"ano");
    SendMessageW(combo, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, L"ne");
    SendMessageW(box_, PBXM_ENDEDIT, 0, 0);
}

TEST_F(PropBoxModel, BoolEditorTextMatchesYesInAnyCase)
{
    int b = Add(-1, PBT_BOOL, L"b");
    SetBool(b, false);
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(b), 1);
    SetWindowTextW(GetDlgItem(box_, 3), L"YES");
    VARIANT v = Value(b);
    EXPECT_EQ(v.vt, VT_BOOL);
    EXPECT_EQ(v.boolVal, 1);  // 1, not VARIANT_TRUE
    SendMessageW(box_, PBXM_ENDEDIT, 1, 0);
    v = Value(b);
    EXPECT_EQ(v.boolVal, 1);
}

TEST_F(PropBoxModel, ListIndexPastTheEndGivesAnEmptyString)
{
    int l = Add(-1, PBT_LIST, L"list");
    SendMessageW(box_, PBXM_SETLIST, PBX_ITEM(l), reinterpret_cast<LPARAM>(L"one\0two\0"));
    EXPECT_EQ(SendMessageW(box_, PBXM_GETLISTCOUNT, PBX_ITEM(l), 0), 2);
    SendMessageW(box_, PBXM_SETLISTINDEX, PBX_ITEM(l), 1);
    EXPECT_EQ(SendMessageW(box_, PBXM_GETLISTINDEX, PBX_ITEM(l), 0), 1);
    VARIANT v = Value(l);
    ASSERT_EQ(v.vt, VT_BSTR);
    EXPECT_STREQ(v.bstrVal, L"two");
    VariantClear(&v);

    SendMessageW(box_, PBXM_SETLISTINDEX, PBX_ITEM(l), 5);
    v = Value(l);
    ASSERT_EQ(v.vt, VT_BSTR);
    EXPECT_STREQ(v.bstrVal, L"");
    VariantClear(&v);
    EXPECT_EQ(SendMessageW(box_, PBXM_GETLISTINDEX, PBX_ITEM(l), 0), -1);

    SendMessageW(box_, PBXM_SETLISTINDEX, PBX_ITEM(l), static_cast<LPARAM>(-1));
    EXPECT_EQ(Value(l).vt, VT_NULL);
}

TEST_F(PropBoxModel, ListValuesFollowTheDisplayedEntry)
{
    int l = Add(-1, PBT_LIST, L"list");
    SendMessageW(box_, PBXM_SETLIST, PBX_ITEM(l), reinterpret_cast<LPARAM>(L"one\0two\0three\0"));
    const int values[] = {10, 20, 30};
    SendMessageW(box_, PBXM_SETLISTVALUES, PBX_ITEM(l), reinterpret_cast<LPARAM>(values));
    EXPECT_EQ(SendMessageW(box_, PBXM_GETLISTVALUE, PBX_ITEM(l), 2), 30);
    EXPECT_EQ(SendMessageW(box_, PBXM_GETLISTVALUE, PBX_ITEM(l), static_cast<LPARAM>(-1)), 0);  // no text yet
    SendMessageW(box_, PBXM_SETLISTINDEX, PBX_ITEM(l), 1);
    EXPECT_EQ(SendMessageW(box_, PBXM_GETLISTVALUE, PBX_ITEM(l), static_cast<LPARAM>(-1)), 20);

    SetText(l, L"four");
    EXPECT_EQ(SendMessageW(box_, PBXM_GETLISTVALUE, PBX_ITEM(l), static_cast<LPARAM>(-1)), 0);
    EXPECT_EQ(SendMessageW(box_, PBXM_GETLISTINDEX, PBX_ITEM(l), 0), -1);
    // A new list drops the values.
    SendMessageW(box_, PBXM_SETLIST, PBX_ITEM(l), reinterpret_cast<LPARAM>(L"x\0"));
    EXPECT_EQ(SendMessageW(box_, PBXM_GETLISTVALUE, PBX_ITEM(l), 0), 0);
}

TEST_F(PropBoxModel, CurrentItemReportsRowParentAndIndex)
{
    int out = 0;
    EXPECT_EQ(SendMessageW(box_, PBXM_GETCURITEM, 0, reinterpret_cast<LPARAM>(&out)), -1);
    EXPECT_EQ(out, -1);
    int a = Add(-1, PBT_OBJECT, L"a");
    int c = Add(a, PBT_TEXT, L"c");
    Add(-1, PBT_TEXT, L"b");
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(2), 0);
    EXPECT_EQ(SendMessageW(box_, PBXM_GETCURITEM, 0, reinterpret_cast<LPARAM>(&out)), 1);
    EXPECT_EQ(out, static_cast<int>(0xFFFF | (2u << 16)));
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(c), 0);
    EXPECT_EQ(SendMessageW(box_, PBXM_GETCURITEM, 0, reinterpret_cast<LPARAM>(&out)), -1);  // collapsed: no row
    EXPECT_EQ(out, static_cast<int>(a | (c << 16)));
}

TEST_F(PropBoxModel, ValuesAreShownInTheirFormAndKept)
{
    int i = Add(-1, PBT_INTEGER, L"int");
    int r = Add(-1, PBT_REAL, L"real");
    SetI4(i, -42);
    EXPECT_EQ(Shown(i), L"-42");
    VARIANT d;
    VariantInit(&d);
    d.vt = VT_R8;
    d.dblVal = 1234567.891;
    SendMessageW(box_, PBXM_SETVALUE, PBX_ITEM(r), reinterpret_cast<LPARAM>(&d));
    WCHAR expected[64];
    GetNumberFormatW(LOCALE_USER_DEFAULT, 0, L"1234567.8910", nullptr, expected, 64);
    EXPECT_EQ(Shown(r), expected);
    VARIANT back = Value(r);
    EXPECT_EQ(back.vt, VT_R8);
    EXPECT_EQ(back.dblVal, 1234567.891);
}

// An editor's request reaches the parent with the current row's index, and a shorter key
// notification is never written past its end.
TEST_F(PropBoxModel, EditorRequestsReachTheParentWithTheItemIndex)
{
    Add(-1, PBT_TEXT, L"a");
    Add(-1, PBT_COMBO | PBT_ONDEMAND, L"b");
    HWND combo = GetDlgItem(box_, 5);
    ASSERT_NE(combo, nullptr);

    // No current item: dropped.
    ComboItemRequest req = {};
    req.hdr = {combo, 5, ICBN_GETTEXTLENGTH};
    req.item = 1;
    host_->entries = {L"first", L"second"};
    EXPECT_EQ(SendMessageW(box_, WM_NOTIFY, 5, reinterpret_cast<LPARAM>(&req)), 0);
    EXPECT_TRUE(host_->EventsOf(WM_NOTIFY, ICBN_GETTEXTLENGTH).empty());

    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(1), 0);
    SendMessageW(box_, WM_NOTIFY, 5, reinterpret_cast<LPARAM>(&req));
    auto got = host_->EventsOf(WM_NOTIFY, ICBN_GETTEXTLENGTH);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].from, box_);
    EXPECT_EQ(got[0].id, 100u);
    EXPECT_EQ(got[0].item, 1);
    EXPECT_EQ(req.count, 6);  // the answer comes back to the sender's record
    EXPECT_EQ(req.hdr.hwndFrom, combo);

    // A key notification is shorter than the request record: nothing behind it may be written.
    struct {
        NMKEY key;
        unsigned char canary[64];
    } keyed;
    memset(&keyed, 0xA5, sizeof(keyed));
    keyed.key.hdr = {combo, 5, static_cast<UINT>(NM_KEYDOWN)};
    keyed.key.nVKey = VK_TAB;
    keyed.key.uFlags = 0;
    SendMessageW(box_, WM_NOTIFY, 5, reinterpret_cast<LPARAM>(&keyed.key));
    for (unsigned char c : keyed.canary)
        ASSERT_EQ(c, 0xA5);
    EXPECT_EQ(keyed.key.hdr.hwndFrom, combo);
    auto keys = host_->EventsOf(WM_NOTIFY, static_cast<UINT>(NM_KEYDOWN));
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].from, box_);
    EXPECT_EQ(keys[0].listPos, VK_TAB);
}

TEST_F(PropBoxModel, AnsiBoxTakesAndGivesAnsiText)
{
    HWND abox = CreateWindowExA(0, "PROPERTYBOX", "", WS_CHILD | WS_VSCROLL, 0, 0, 200, 100, host_->hwnd(),
                                reinterpret_cast<HMENU>(101), GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(abox, nullptr);
    // The classes are registered wide here; setting the same procedure through the ANSI function makes
    // the box an ANSI window, as RegisterPlexaA's classes give.
    SetWindowLongPtrA(abox, GWLP_WNDPROC, GetWindowLongPtrW(abox, GWLP_WNDPROC));
    EXPECT_FALSE(IsWindowUnicode(abox));
    EXPECT_EQ(SendMessageA(abox, PBXM_ADDITEM, MAKEWPARAM(0xFFFF, PBT_TEXT), reinterpret_cast<LPARAM>("name")), 0);
    EXPECT_EQ(SendMessageA(abox, PBXM_GETITEMTEXTLEN, PBX_ITEM(0), 0), 4);
    char buf[16] = "";
    SendMessageA(abox, PBXM_GETITEMTEXT, PBX_ITEM(0), reinterpret_cast<LPARAM>(buf));
    EXPECT_STREQ(buf, "name");
    EXPECT_EQ(SendMessageA(abox, PBXM_GETYESTEXT, sizeof(buf), reinterpret_cast<LPARAM>(buf)), 0);
    EXPECT_STREQ(buf, "yes");
    DestroyWindow(abox);
}

TEST_F(PropBoxModel, ResetContentEmptiesTheBox)
{
    Add(-1, PBT_TEXT, L"a");
    Add(-1, PBT_TEXT, L"b");
    SendMessageW(box_, PBXM_SELECTITEM, PBX_ITEM(1), 1);
    EXPECT_EQ(SendMessageW(box_, PBXM_RESETCONTENT, 0, 0), 0);
    EXPECT_EQ(SendMessageW(box_, PBXM_GETCOUNT, static_cast<WPARAM>(-1), 1), 0);
    int out = 0;
    EXPECT_EQ(SendMessageW(box_, PBXM_GETCURITEM, 0, reinterpret_cast<LPARAM>(&out)), -1);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(box_, 1)));
    EXPECT_EQ(Add(-1, PBT_TEXT, L"c"), 0);
}

}  // namespace
