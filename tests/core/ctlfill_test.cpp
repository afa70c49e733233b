// The shared dialog helpers on real controls: combos and list boxes found by their data, level
// combos, integers, reals and degrees-minutes-seconds in the user's (Czech) number format,
// VARIANTs and window texts, property-box values through the box's messages, the warning box and
// the field kinds of column types.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "controls/plexa.h"
#include "core/attrdef.h"
#include "core/ctlfill.h"
#include "core/leveldefs.h"
#include "tests/core/dbfixture.h"
#include "tests/support/wintest.h"

namespace {

const wchar_t kNbsp = 0x00A0;

class CtlFillTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr,
                                nullptr, nullptr);
        ASSERT_TRUE(host_ != nullptr);
        for (int i = 0; i < 3; i++)
            CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, i * 25, 100, 22, host_,
                            (HMENU)(INT_PTR)(kFirst + i), nullptr, nullptr);
        edit_ = GetDlgItem(host_, kFirst);
    }
    void TearDown() override { DestroyWindow(host_); }
    std::wstring Text(int id)
    {
        wchar_t text[128] = L"";
        GetDlgItemTextW(host_, id, text, 128);
        return text;
    }
    HWND MakeCombo()
    {
        return CreateWindowExW(0, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_CHILD, 120, 0, 150, 200,
                               host_, nullptr, nullptr, nullptr);
    }

    static const int kFirst = 201;
    HWND host_ = nullptr;
    HWND edit_ = nullptr;
};

bool CzechUser()
{
    wchar_t sep[8] = L"";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, sep, 8);
    return sep[0] == L',';
}

// ---- integers ----

TEST_F(CtlFillTest, WholeNumbersReadAsPercentD)
{
    int out = 99;
    SetWindowTextW(edit_, L"12abc");
    EXPECT_EQ(1, GetWindowInt(edit_, 16, &out));
    EXPECT_EQ(12, out);
    out = 99;
    SetWindowTextW(edit_, L"abc");
    EXPECT_EQ(-1, GetWindowInt(edit_, 16, &out));
    EXPECT_EQ(99, out);
    SetWindowTextW(edit_, L"");
    EXPECT_EQ(0, GetWindowInt(edit_, 16, &out));
    EXPECT_EQ(99, out);
    SetWindowTextW(edit_, L"  -42");
    EXPECT_EQ(1, GetWindowInt(edit_, 0, &out));
    EXPECT_EQ(-42, out);
    // Only the first characters are read when a length is given.
    SetWindowTextW(edit_, L"12345");
    EXPECT_EQ(1, GetWindowInt(edit_, 2, &out));
    EXPECT_EQ(12, out);
    EXPECT_EQ(1, GetWindowInt(edit_, -1, &out));
    EXPECT_EQ(12345, out);

    SetWindowInt(edit_, -2147483647 - 1);
    EXPECT_EQ(L"-2147483648", Text(kFirst));
    SetWindowInt(edit_, 7);
    EXPECT_EQ(L"7", Text(kFirst));
}

// ---- reals in the user's format ----

TEST_F(CtlFillTest, RealsWithCzechSeparatorsReadWithEitherSpace)
{
    ASSERT_TRUE(CzechUser()) << "the tests run with a Czech user locale";
    double out = -1;
    SetWindowTextW(edit_, L"1\u00A0234,5");
    EXPECT_EQ(1, GetWindowReal(edit_, 0, &out));
    EXPECT_DOUBLE_EQ(1234.5, out);
    out = -1;
    SetWindowTextW(edit_, L"1 234,5");
    EXPECT_EQ(1, GetWindowReal(edit_, 0, &out));
    EXPECT_DOUBLE_EQ(1234.5, out);
    SetWindowTextW(edit_, L"-0,25 m");
    EXPECT_EQ(1, GetWindowReal(edit_, 0, &out));
    EXPECT_DOUBLE_EQ(-0.25, out);
    // A point typed out of habit still reads as a decimal point.
    SetWindowTextW(edit_, L"3.75");
    EXPECT_EQ(1, GetWindowReal(edit_, 0, &out));
    EXPECT_DOUBLE_EQ(3.75, out);

    out = 5;
    SetWindowTextW(edit_, L"");
    EXPECT_EQ(0, GetWindowReal(edit_, 0, &out));
    SetWindowTextW(edit_, L"abc");
    EXPECT_EQ(-1, GetWindowReal(edit_, 0, &out));
    EXPECT_EQ(5, out);
    // The length limit applies before the separators are removed.
    SetWindowTextW(edit_, L"12,75");
    EXPECT_EQ(1, GetWindowReal(edit_, 2, &out));
    EXPECT_DOUBLE_EQ(12.0, out);
}

TEST_F(CtlFillTest, RealsAreShownInTheUserFormat)
{
    ASSERT_TRUE(CzechUser());
    SetWindowReal(edit_, 1234.5);
    EXPECT_EQ(std::wstring(L"1") + kNbsp + L"234,50", Text(kFirst));
    SetWindowReal(edit_, -0.125);
    EXPECT_EQ(L"-0,13", Text(kFirst));
    double out = 0;
    SetWindowReal(edit_, 98765.25);
    EXPECT_EQ(1, GetWindowReal(edit_, 0, &out));
    EXPECT_DOUBLE_EQ(98765.25, out);
}

// ---- degrees, minutes, seconds ----

TEST_F(CtlFillTest, DmsEditsShowAndReadCoordinates)
{
    ASSERT_TRUE(CzechUser());
    SetDmsEdits(host_, kFirst, 49.5125, 0);
    EXPECT_EQ(L"49", Text(kFirst));
    EXPECT_EQ(L"30", Text(kFirst + 1));
    EXPECT_EQ(L"45,00", Text(kFirst + 2));
    double out = 0;
    EXPECT_EQ(1, GetDmsEdits(host_, kFirst, &out));
    EXPECT_NEAR(49.5125, out, 1e-9);

    SetDlgItemTextW(host_, kFirst, L"-14");
    SetDlgItemTextW(host_, kFirst + 1, L"15");
    SetDlgItemTextW(host_, kFirst + 2, L"0");
    EXPECT_EQ(1, GetDmsEdits(host_, kFirst, &out));
    EXPECT_DOUBLE_EQ(-14.25, out);

    // Minutes and seconds that are not read add nothing; they are not limited to a range.
    SetDlgItemTextW(host_, kFirst + 1, L"");
    SetDlgItemTextW(host_, kFirst + 2, L"7200");
    EXPECT_EQ(1, GetDmsEdits(host_, kFirst, &out));
    EXPECT_DOUBLE_EQ(-16.0, out);

    out = 3.5;
    SetDlgItemTextW(host_, kFirst, L"");
    EXPECT_EQ(0, GetDmsEdits(host_, kFirst, &out));
    EXPECT_EQ(3.5, out);
    SetDlgItemTextW(host_, kFirst, L"x");
    EXPECT_EQ(-1, GetDmsEdits(host_, kFirst, &out));
    EXPECT_EQ(3.5, out);

    SetDmsEdits(host_, kFirst, 12.0, 1);
    EXPECT_EQ(L"", Text(kFirst));
    EXPECT_EQ(L"", Text(kFirst + 1));
    EXPECT_EQ(L"", Text(kFirst + 2));
}

TEST_F(CtlFillTest, CoordinatesBelowOneDegreeKeepTheirSign)
{
    SetDmsEdits(host_, kFirst, -0.5, 0);
    EXPECT_EQ(L"-0", Text(kFirst));
    EXPECT_EQ(L"30", Text(kFirst + 1));
    double out = 0;
    EXPECT_EQ(1, GetDmsEdits(host_, kFirst, &out));
    EXPECT_DOUBLE_EQ(-0.5, out);
    SetDmsEdits(host_, kFirst, 0.5, 0);
    EXPECT_EQ(L"0", Text(kFirst));
    EXPECT_EQ(1, GetDmsEdits(host_, kFirst, &out));
    EXPECT_DOUBLE_EQ(0.5, out);
}

// Seconds are rounded to the digits shown before the value is split, with the carry going into
// the minutes and degrees.
TEST_F(CtlFillTest, DmsEditsRoundBeforeSplitting)
{
    ASSERT_TRUE(CzechUser());
    struct Case {
        double degrees;
        const wchar_t *d, *m, *s;
    } cases[] = {
        {49.3, L"49", L"18", L"0,00"},
        {14.9999999999, L"15", L"0", L"0,00"},
        {-16.99999999, L"-17", L"0", L"0,00"},
        {0.1667, L"0", L"10", L"0,12"},
        {-0.5, L"-0", L"30", L"0,00"},
        {359.9999999999, L"0", L"0", L"0,00"},
    };
    for (const Case& c : cases) {
        SetDmsEdits(host_, kFirst, c.degrees, 0);
        EXPECT_EQ(c.d, Text(kFirst)) << c.degrees;
        EXPECT_EQ(c.m, Text(kFirst + 1)) << c.degrees;
        EXPECT_EQ(c.s, Text(kFirst + 2)) << c.degrees;
    }
}

// ---- combos and list boxes by item data ----

TEST_F(CtlFillTest, LevelComboTakesLevelsAboveTheGivenId)
{
    CPtrArray cache(PTRARRAY_OWNS_ITEMS, 4, 4);
    const wchar_t* names[] = { L"Kořen", L"Řád", L"Čeleď", L"Druh" };
    for (int i = 0; i < 4; i++) {
        LevelDef* def = (LevelDef*)calloc(1, sizeof(LevelDef));
        def->LevelId = i;
        wcscpy(def->Name, names[i]);
        cache.Add(def);
    }
    HWND combo = MakeCombo();
    FillLevelCombo(combo, &cache, 0);
    ASSERT_EQ(3, SendMessageW(combo, CB_GETCOUNT, 0, 0));
    wchar_t text[64];
    SendMessageW(combo, CB_GETLBTEXT, 0, (LPARAM)text);
    EXPECT_STREQ(L"Řád", text);
    EXPECT_EQ(2, FindComboItemByData(combo, 3));
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    FillLevelCombo(combo, &cache, 3);
    EXPECT_EQ(0, SendMessageW(combo, CB_GETCOUNT, 0, 0));
    DestroyWindow(combo);
}

TEST_F(CtlFillTest, ItemsAreFoundByTheirData)
{
    HWND combo = MakeCombo();
    EXPECT_EQ(-1, FindComboItemByDataOrAbove(combo, 1, 1));
    EXPECT_EQ(-1, GetComboSelData(combo));
    const int data[] = { 10, 30, 20, -4 };
    for (int i = 0; i < 4; i++) {
        SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)L"x");
        SendMessageW(combo, CB_SETITEMDATA, i, data[i]);
    }
    EXPECT_EQ(1, FindComboItemByData(combo, 30));
    EXPECT_EQ(-1, FindComboItemByData(combo, 25));
    EXPECT_EQ(3, FindComboItemByData(combo, -4));
    EXPECT_EQ(-1, FindComboItemByDataOrAbove(combo, 25, 0));
    EXPECT_EQ(1, FindComboItemByDataOrAbove(combo, 25, 1));
    EXPECT_EQ(-1, FindComboItemByDataOrAbove(combo, 31, 1));
    EXPECT_EQ(-1, GetComboSelData(combo));
    SendMessageW(combo, CB_SETCURSEL, 3, 0);
    EXPECT_EQ(-4, GetComboSelData(combo));
    SendMessageW(combo, CB_SETCURSEL, 2, 0);
    EXPECT_EQ(20, GetComboSelData(combo));
    DestroyWindow(combo);

    HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD, 0, 0, 100, 100, host_, nullptr,
                                nullptr, nullptr);
    for (int i = 0; i < 4; i++) {
        SendMessageW(list, LB_ADDSTRING, 0, (LPARAM)L"y");
        SendMessageW(list, LB_SETITEMDATA, i, data[i]);
    }
    EXPECT_EQ(2, FindListBoxItemByData(list, 20));
    EXPECT_EQ(-1, FindListBoxItemByData(list, 21));
    DestroyWindow(list);
}

// ---- VARIANTs and window texts ----

TEST_F(CtlFillTest, WindowTextsAndVariants)
{
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = 5;
    SetWindowTextW(edit_, L"Čížek");
    GetWindowTextVariant(edit_, &v);
    ASSERT_EQ(VT_BSTR, v.vt);
    EXPECT_STREQ(L"Čížek", v.bstrVal);
    SetWindowTextW(edit_, L"");
    GetWindowTextVariant(edit_, &v);  // clears the old string
    EXPECT_EQ(VT_EMPTY, v.vt);

    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(L"Žluva");
    SetWindowTextVariant(&v, edit_);
    EXPECT_EQ(L"Žluva", Text(kFirst));
    VariantClear(&v);
    v.vt = VT_I4;
    v.lVal = 12;
    SetWindowTextVariant(&v, edit_);
    EXPECT_EQ(L"", Text(kFirst));
}

// ---- property-box values (a recording stand-in for the grid) ----

struct FakeItem { VARIANT value; CustomAttrDef* def; };
std::vector<FakeItem> g_items;
std::vector<std::pair<UINT, int>> g_calls;

LRESULT CALLBACK FakeBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    int index = HIWORD(wParam);
    switch (msg) {
    case PBXM_SETVALUE:
        g_calls.push_back({ msg, index });
        if (LOWORD(wParam) == 0xFFFF && index < (int)g_items.size())
            VariantCopy(&g_items[index].value, (VARIANT*)lParam);
        return 1;
    case PBXM_GETVALUE:
        g_calls.push_back({ msg, index });
        if (LOWORD(wParam) == 0xFFFF && index < (int)g_items.size())
            VariantCopy((VARIANT*)lParam, &g_items[index].value);
        return 1;
    case PBXM_GETITEMDATA:
        g_calls.push_back({ msg, index });
        return index < (int)g_items.size() ? (LRESULT)g_items[index].def : 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND MakeFakeBox()
{
    g_calls.clear();
    return dbtest::MakeStandIn(L"ZorFakePropertyBox", FakeBoxProc);
}

TEST(PropertyBoxValues, SetAndGetStopAtTheFirstEmptyRequiredItem)
{
    CustomAttrDef defs[3] = {};
    defs[1].KeyFlag = 1;
    g_items.assign(3, FakeItem());
    for (int i = 0; i < 3; i++) {
        VariantInit(&g_items[i].value);
        g_items[i].def = &defs[i];
    }
    VARIANT values[3];
    CPtrArray list(PTRARRAY_BORROWS, 3, 1);
    for (int i = 0; i < 3; i++) {
        VariantInit(&values[i]);
        list.Add(&values[i]);
    }
    values[0].vt = VT_I4;
    values[0].lVal = 7;
    values[2].vt = VT_BSTR;
    values[2].bstrVal = SysAllocString(L"text");
    HWND box = MakeFakeBox();
    SetPropertyBoxValues(box, &list);
    ASSERT_EQ(3u, g_calls.size());
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(i, g_calls[i].second);
    EXPECT_EQ(7, g_items[0].value.lVal);
    EXPECT_EQ(VT_EMPTY, g_items[1].value.vt);
    EXPECT_STREQ(L"text", g_items[2].value.bstrVal);

    ClearVariantArray(&list);
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(VT_EMPTY, values[i].vt);

    // Item 1 is empty and required: reading stops there and item 2 is not read.
    g_calls.clear();
    EXPECT_EQ(1, GetPropertyBoxValues(box, &list, 0));
    EXPECT_EQ(7, values[0].lVal);
    EXPECT_EQ(VT_EMPTY, values[2].vt);
    for (const auto& c : g_calls)
        EXPECT_LT(c.second, 2);
    // The skip flag reads every item.
    EXPECT_EQ(-1, GetPropertyBoxValues(box, &list, 1));
    EXPECT_STREQ(L"text", values[2].bstrVal);
    // A required item that has a value does not stop it; NULL counts as empty.
    g_items[1].value.vt = VT_NULL;
    EXPECT_EQ(1, GetPropertyBoxValues(box, &list, 0));
    g_items[1].value.vt = VT_R8;
    g_items[1].value.dblVal = 2.5;
    EXPECT_EQ(-1, GetPropertyBoxValues(box, &list, 0));
    EXPECT_EQ(2.5, values[1].dblVal);

    ClearVariantArray(&list);
    for (auto& item : g_items)
        VariantClear(&item.value);
    DestroyWindow(box);
}

// ---- the warning box ----

TEST(WarningBox, LongTextWholeAndCaptionCutToThirtyOneCharacters)
{
    wintest::MsgBoxRecorder boxes({ IDOK });
    HINSTANCE module = GetModuleHandleW(nullptr);
    EXPECT_EQ(IDOK, ShowWarningRes(module, nullptr, 40, 32));
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ(L"Chyba", boxes.Boxes()[0].caption);
    EXPECT_GT(boxes.Boxes()[0].text.size(), 5000u);
    EXPECT_EQ(0, boxes.Boxes()[0].text.compare(0, 17, L"Dlouhý text 0000."));
    EXPECT_EQ((UINT)MB_ICONWARNING, boxes.Boxes()[0].type);

    ShowWarningRes(module, nullptr, 32, 17);
    ASSERT_EQ(2u, boxes.Boxes().size());
    EXPECT_EQ(31u, boxes.Boxes()[1].caption.size());
    EXPECT_EQ(L"Potvrzení", boxes.Boxes()[1].text);
}

// ---- column types ----

TEST(FieldKinds, EveryColumnTypeHasItsKind)
{
    const struct { int type; long size; int kind; } cases[] = {
        { adBoolean, 2, ATTR_BOOLEAN },
        { adSmallInt, 2, ATTR_INTEGER }, { adInteger, 4, ATTR_INTEGER },
        { 16, 1, ATTR_INTEGER }, { 17, 1, ATTR_INTEGER }, { 20, 8, ATTR_INTEGER },
        { 21, 8, ATTR_INTEGER },
        { adSingle, 4, ATTR_REAL }, { adDouble, 8, ATTR_REAL }, { adCurrency, 8, ATTR_REAL },
        { adDecimal, 16, ATTR_REAL }, { adNumeric, 16, ATTR_REAL },
        { adDate, 8, ATTR_DATE }, { 64, 8, ATTR_DATE }, { adDBDate, 8, ATTR_DATE },
        { adDBTime, 8, ATTR_DATE }, { adDBTimeStamp, 8, ATTR_DATE },
        { 202, 50, ATTR_TEXT }, { 202, 0, ATTR_LONG_TEXT }, { 203, 0, ATTR_LONG_TEXT },
        { 203, 1073741823, ATTR_TEXT }, { 200, 10, ATTR_TEXT }, { 201, 0, ATTR_LONG_TEXT },
        { adBSTR, 0, ATTR_LONG_TEXT }, { adChar, 5, ATTR_TEXT }, { adWChar, 0, ATTR_LONG_TEXT },
        { adGUID, 16, ATTR_TEXT }, { adGUID, 0, ATTR_TEXT }, { 204, 0, ATTR_TEXT },
        { 205, 0, ATTR_TEXT }, { 0, 0, ATTR_TEXT }, { 15, 0, ATTR_TEXT }, { 22, 0, ATTR_TEXT },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.kind, FieldKindOfAdoType(c.type, c.size)) << c.type << " size " << c.size;
}

}  // namespace
