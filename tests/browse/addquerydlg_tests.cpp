// The criterion dialog ADDQUERYDLG of the map's query layers, run modally on a stand-in main
// window that answers its private messages as the program's does (lookup values as list box
// rows with malloc'd abbreviations as item data), driven by clicks and checked by what it
// leaves in the QueryCriterion.
#include <gtest/gtest.h>

#include <windows.h>
#include <malloc.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "browse/addquerydlg.h"
#include "core/attrdef.h"
#include "core/containers.h"
#include "core/fields.h"
#include "core/textutil.h"
#include "shellcontract/configdata.h"
#include "shellcontract/zm_protocol.h"
#include "resources/zorna/search.h"
#include "tests/support/dialogscript.h"
#include "tests/support/wintest.h"

namespace {

// The stand-in main window's answers.
struct Owner
{
    int LookupIndex = 0;  // ZM_GET_LOOKUP_VALUES; 0xFFFF: no lookup table
    std::vector<std::wstring> Values = {L"sklepní past", L"Zemní past", L"individuální sběr", L"Smyk"};
    std::vector<std::wstring> Asked;  // columns of ZM_GET_LOOKUP_VALUES
    int Fills = 0;
} g_owner;

INT_PTR CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        return TRUE;
    case ZM_GET_ATTR_DEF: {
        const CDispField* d = reinterpret_cast<const CDispField*>(lParam);
        bool lookup = wParam == 1 && d && d->Field && d->Field->Kind == FIELD_DATABASE
                      && wcscmp(d->Field->Field, L"METODA") == 0;
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, lookup ? 1 : 0);
        return TRUE;
    }
    case ZM_FIND_NAME_ENTRY: {
        // The records' attributes of a date and a number.
        static CustomAttrDef date = {ATTR_DATE, 0, 0, 0, 0, L"DATUM"}, count = {ATTR_INTEGER, 0, 0, 0, 0, L"POCET"};
        const wchar_t* column = reinterpret_cast<const wchar_t*>(lParam);
        const CustomAttrDef* def = nullptr;
        if (wParam == ZM_ATTRS_ZORNACOLLS && column)
            def = _wcsicmp(column, L"DATUM") == 0 ? &date : _wcsicmp(column, L"POCET") == 0 ? &count : nullptr;
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(def));
        return FALSE;
    }
    case ZM_GET_LOOKUP_VALUES:
        g_owner.Asked.push_back(wParam == 3 ? reinterpret_cast<const wchar_t*>(lParam) : L"?");
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, g_owner.LookupIndex);
        return FALSE;
    case ZM_FILL_LOOKUP_CONTROL: {
        HWND list = reinterpret_cast<HWND>(lParam);
        ++g_owner.Fills;
        if (LOWORD(wParam) != g_owner.LookupIndex || HIWORD(wParam) != ZM_LOOKUP_LISTBOX)
            return FALSE;
        SendMessageW(list, LB_RESETCONTENT, 0, 0);
        for (const std::wstring& v : g_owner.Values) {
            LRESULT row = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(v.c_str()));
            SendMessageW(list, LB_SETITEMDATA, row, reinterpret_cast<LPARAM>(WideDup((v + L" (zkr.)").c_str())));
        }
        return FALSE;
    }
    }
    return FALSE;
}

HWND MakeOwner()
{
    std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD) + 3, 0);
    DLGTEMPLATE* dt = reinterpret_cast<DLGTEMPLATE*>(t.data());
    dt->style = WS_POPUP | WS_VISIBLE;
    dt->cx = 50;
    dt->cy = 20;
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), dt, nullptr, OwnerProc, 0);
}

void Click(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    RECT r = {};
    GetClientRect(button, &r);
    wintest::ClickAt(button, {r.right / 2, r.bottom / 2});
}

void Choose(HWND dialog, int combo, int row)
{
    SendDlgItemMessageW(dialog, combo, CB_SETCURSEL, row, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(combo, CBN_SELCHANGE), (LPARAM)GetDlgItem(dialog, combo));
}

void SelectItem(HWND list, const wchar_t* text)
{
    int row = (int)SendMessageW(list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)text);
    RECT r = {};
    SendMessageW(list, LB_GETITEMRECT, row, (LPARAM)&r);
    // A control-click adds to an extended selection.
    LPARAM at = MAKELPARAM(r.left + 4, (r.top + r.bottom) / 2);
    PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, at);
    PostMessageW(list, WM_LBUTTONUP, MK_CONTROL, at);
    wintest::PumpMessages(30);
}

bool Shown(HWND dialog, int id)
{
    return (GetWindowLongPtrW(GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

// Bytes the C runtime's heap has handed out and not taken back.
size_t HeapInUse()
{
    _HEAPINFO info = {};
    size_t used = 0;
    while (_heapwalk(&info) == _HEAPOK) {
        if (info._useflag == _USEDENTRY)
            used += info._size;
    }
    return used;
}

class AddQueryDlgTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_owner = Owner();
        owner_ = MakeOwner();
        Add(new CFieldInfo(L"POCET", L"ZORNACOLLS"), L"Počet exemplářů");
        Add(new CFieldInfo(L"LONGITUDE", L"FEATURES"), L"Východní délka");  // not a record column
        Add(new CFieldInfo(L"METODA", L"zornacolls"), L"Metoda sběru");
        AddComposed(L"Sběr", 1);
        AddComposed(L"Skrytý", 0);  // not for searching
        AddComposed(L"Určení", 1);
        c_ = {};
        c_.Values = new CPtrArray(PTRARRAY_OWNS_ITEMS, 16, 4);
    }
    void TearDown() override
    {
        delete c_.Values;
        DestroyWindow(owner_);
    }
    void Add(CFieldInfo* field, const wchar_t* name)
    {
        CopyWideBounded(name, field->Name, 64);
        config_.SysFields->Add(new CDispField(field));
    }
    void AddComposed(const wchar_t* name, int search)
    {
        CCustFld* field = new CCustFld(name);
        field->UseForSearch = search;
        config_.CustomFields->Add(field);
        config_.SysFields->Add(new CDispField(field));
    }
    int Run(const std::function<void(HWND)>& act)
    {
        wintest::DialogScript script;
        script.Then(L"Kritéria výběru", act);
        int result = -1;
        EXPECT_TRUE(script.Run([&] { result = dlg_.Show(owner_, &config_, &c_); }));
        return result;
    }

    HWND owner_ = nullptr;
    ConfigData config_{GetModuleHandleW(nullptr)};
    CAddQueryDlg dlg_{GetModuleHandleW(nullptr)};
    QueryCriterion c_;
};

}  // namespace

TEST_F(AddQueryDlgTest, OffersRecordColumnsAndEditsARange)
{
    wcscpy(c_.Name, L"Dotaz 1");
    c_.FieldType = FIELD_DATABASE;
    wcscpy(c_.FieldName, L"pocet");
    c_.Operator = QUERY_OP_GREATER;
    wcscpy(c_.MinValue, L"10");
    int result = Run([](HWND dialog) {
        HWND fields = GetDlgItem(dialog, IDC_QUERY_FIELD);
        EXPECT_EQ(4, (int)SendMessageW(fields, CB_GETCOUNT, 0, 0));
        EXPECT_EQ(0, (int)SendMessageW(fields, CB_GETCURSEL, 0, 0));
        EXPECT_EQ(2, (int)SendDlgItemMessageW(dialog, IDC_QUERY_OPERATOR, CB_GETCURSEL, 0, 0));
        EXPECT_TRUE(Shown(dialog, IDC_QUERY_VALUE1));
        EXPECT_FALSE(Shown(dialog, IDC_QUERY_VALUE2));
        EXPECT_FALSE(Shown(dialog, IDC_QUERY_CHOSEN));
        // "V rozmezí" shows both values with "a" between them.
        Choose(dialog, IDC_QUERY_OPERATOR, QUERY_OP_BETWEEN);
        EXPECT_TRUE(Shown(dialog, IDC_QUERY_AND));
        EXPECT_TRUE(Shown(dialog, IDC_QUERY_VALUE2));
        SetDlgItemTextW(dialog, IDC_QUERY_NAME, std::wstring(80, L'n').c_str());
        SetDlgItemTextW(dialog, IDC_QUERY_VALUE2, L"20");
        wintest::SaveScreenshot(dialog, L"addquerydlg_range");
        Click(dialog, IDOK);
    });
    EXPECT_EQ(1, result);
    EXPECT_EQ(std::wstring(64, L'n').substr(0, 63), c_.Name);
    EXPECT_EQ(FIELD_DATABASE, c_.FieldType);
    EXPECT_STREQ(L"POCET", c_.FieldName);
    EXPECT_EQ(QUERY_OP_BETWEEN, c_.Operator);
    EXPECT_STREQ(L"10", c_.MinValue);
    EXPECT_STREQ(L"20", c_.MaxValue);
    EXPECT_EQ(0, c_.Values->GetCount());
}

// "V rozmezí" with its values the wrong way round holds no record: OK says so over the dialog,
// which stays open with the lower value selected; in order (or equal) the range is taken.
TEST_F(AddQueryDlgTest, AReversedRangeIsRefused)
{
    Add(new CFieldInfo(L"DATUM", L"ZORNACOLLS"), L"Datum nálezu");
    struct Range {
        const wchar_t* field;
        const wchar_t *low, *high;
        bool refused;
    } ranges[] = {
        {L"Datum nálezu", L"1.1.2000", L"1.1.1990", true},
        {L"Počet exemplářů", L"20", L"3", true},
        {L"Počet exemplářů", L"3", L"3", false},
        {L"Datum nálezu", L"1.1.1990", L"1.1.2000", false},
    };
    wintest::MsgBoxRecorder boxes;
    std::vector<bool> stayed;
    int result = Run([&](HWND dialog) {
        for (const Range& r : ranges) {
            HWND fields = GetDlgItem(dialog, IDC_QUERY_FIELD);
            Choose(dialog, IDC_QUERY_FIELD, (int)SendMessageW(fields, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)r.field));
            Choose(dialog, IDC_QUERY_OPERATOR, QUERY_OP_BETWEEN);
            SetDlgItemTextW(dialog, IDC_QUERY_VALUE1, r.low);
            SetDlgItemTextW(dialog, IDC_QUERY_VALUE2, r.high);
            if (r.refused && r.field == ranges[0].field)
                wintest::SaveScreenshot(dialog, L"addquerydlg_reversed");
            Click(dialog, IDOK);
            stayed.push_back(IsWindow(dialog) && IsWindowVisible(dialog));
            if (!stayed.back())
                return;
            EXPECT_EQ(GetDlgItem(dialog, IDC_QUERY_VALUE1), GetFocus()) << r.low;
        }
    });
    EXPECT_EQ(1, result);
    EXPECT_EQ((std::vector<bool>{true, true, false}), stayed);
    ASSERT_EQ(2u, boxes.Boxes().size());
    EXPECT_EQ(L"Rozmezí sloupečku Datum nálezu je obrácené: od 1.1.2000 do 1.1.1990 nezahrne žádný záznam. "
              L"Zadejte jako první menší hodnotu.",
              boxes.Boxes()[0].text);
    EXPECT_EQ((UINT)MB_ICONWARNING, boxes.Boxes()[0].type & MB_ICONMASK);
    EXPECT_STREQ(L"POCET", c_.FieldName);
    EXPECT_STREQ(L"3", c_.MinValue);
    EXPECT_STREQ(L"3", c_.MaxValue);
}

TEST_F(AddQueryDlgTest, ALookupColumnGivesAnyOfItsSortedValues)
{
    wcscpy(c_.MinValue, L"keep");
    c_.Operator = QUERY_OP_LESS;
    int result = Run([](HWND dialog) {
        Choose(dialog, IDC_QUERY_FIELD, 1);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_QUERY_OPERATOR)));
        EXPECT_TRUE(Shown(dialog, IDC_QUERY_CHOSEN));
        EXPECT_TRUE(Shown(dialog, IDC_QUERY_AVAILABLE));
        EXPECT_FALSE(Shown(dialog, IDC_QUERY_VALUE1));
        HWND available = GetDlgItem(dialog, IDC_QUERY_AVAILABLE);
        HWND chosen = GetDlgItem(dialog, IDC_QUERY_CHOSEN);
        SelectItem(available, L"Zemní past");
        SelectItem(available, L"individuální sběr");
        SelectItem(available, L"Smyk");
        Click(dialog, IDC_QUERY_ADD);
        EXPECT_EQ(1u, wintest::ListBoxItems(available).size());
        // Moved values carry their abbreviations along.
        int row = (int)SendMessageW(chosen, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)L"Smyk");
        const wchar_t* abbrev = (const wchar_t*)SendMessageW(chosen, LB_GETITEMDATA, row, 0);
        EXPECT_STREQ(L"Smyk (zkr.)", abbrev);
        SelectItem(chosen, L"Smyk");
        Click(dialog, IDC_QUERY_REMOVE);
        EXPECT_EQ(2u, wintest::ListBoxItems(available).size());
        wintest::SaveScreenshot(dialog, L"addquerydlg_lookup");
        Click(dialog, IDOK);
    });
    EXPECT_EQ(1, result);
    EXPECT_STREQ(L"METODA", c_.FieldName);
    EXPECT_EQ(QUERY_OP_ANY_OF, c_.Operator);
    ASSERT_EQ(2, c_.Values->GetCount());
    // In the list box's order: sorted.
    EXPECT_STREQ(L"individuální sběr", (wchar_t*)c_.Values->GetItems()[0]);
    EXPECT_STREQ(L"Zemní past", (wchar_t*)c_.Values->GetItems()[1]);
    EXPECT_STREQ(L"keep", c_.MinValue);
    ASSERT_FALSE(g_owner.Asked.empty());
    EXPECT_EQ(L"METODA", g_owner.Asked.back());

    // Reopened, the chosen values come back chosen and the rest stays available.
    Run([](HWND dialog) {
        EXPECT_EQ(1, (int)SendDlgItemMessageW(dialog, IDC_QUERY_FIELD, CB_GETCURSEL, 0, 0));
        EXPECT_EQ((std::vector<std::wstring>{L"individuální sběr", L"Zemní past"}),
                  wintest::ListBoxItems(GetDlgItem(dialog, IDC_QUERY_CHOSEN)));
        EXPECT_EQ(2u, wintest::ListBoxItems(GetDlgItem(dialog, IDC_QUERY_AVAILABLE)).size());
        Click(dialog, IDCANCEL);
    });
}

TEST_F(AddQueryDlgTest, NoLookupTableGivesEmptyListsAndAnyOfNothing)
{
    g_owner.LookupIndex = 0xFFFF;
    int result = Run([](HWND dialog) {
        Choose(dialog, IDC_QUERY_FIELD, 1);
        EXPECT_TRUE(wintest::ListBoxItems(GetDlgItem(dialog, IDC_QUERY_AVAILABLE)).empty());
        EXPECT_TRUE(wintest::ListBoxItems(GetDlgItem(dialog, IDC_QUERY_CHOSEN)).empty());
        Click(dialog, IDOK);
    });
    EXPECT_EQ(1, result);
    EXPECT_EQ(0, g_owner.Fills);
    EXPECT_EQ(QUERY_OP_ANY_OF, c_.Operator);
    EXPECT_EQ(0, c_.Values->GetCount());
}

TEST_F(AddQueryDlgTest, StaleCriteriaOpenOnWhatIsThere)
{
    // A field no longer offered opens on the first one; OK then stores it.
    c_.FieldType = FIELD_DATABASE;
    wcscpy(c_.FieldName, L"ZTRACENY");
    c_.Operator = QUERY_OP_ANY_OF;  // a lookup column's criterion whose table is gone
    Run([](HWND dialog) {
        EXPECT_EQ(0, (int)SendDlgItemMessageW(dialog, IDC_QUERY_FIELD, CB_GETCURSEL, 0, 0));
        EXPECT_EQ(QUERY_OP_EQUAL, (int)SendDlgItemMessageW(dialog, IDC_QUERY_OPERATOR, CB_GETCURSEL, 0, 0));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_QUERY_OPERATOR)));
        Click(dialog, IDOK);
    });
    EXPECT_STREQ(L"POCET", c_.FieldName);
    EXPECT_EQ(QUERY_OP_EQUAL, c_.Operator);

    // Composed columns all carry "CUSTOM": the last one offered is chosen.
    c_.FieldType = FIELD_COMPOSED;
    wcscpy(c_.FieldName, L"custom");
    Run([](HWND dialog) {
        EXPECT_EQ(3, (int)SendDlgItemMessageW(dialog, IDC_QUERY_FIELD, CB_GETCURSEL, 0, 0));
        Click(dialog, IDCANCEL);
    });
    EXPECT_STREQ(L"custom", c_.FieldName);  // Storno changes nothing
}

TEST_F(AddQueryDlgTest, AbbreviationsOfBothListsAreFreed)
{
    g_owner.Values.clear();
    for (int i = 0; i < 60; ++i)
        g_owner.Values.push_back(L"Hodnota " + std::to_wstring(i) + std::wstring(100, L'x'));
    auto once = [&] {
        Run([](HWND dialog) {
            Choose(dialog, IDC_QUERY_FIELD, 1);
            HWND available = GetDlgItem(dialog, IDC_QUERY_AVAILABLE);
            SendMessageW(available, LB_SELITEMRANGEEX, 0, 29);
            Click(dialog, IDC_QUERY_ADD);
            Choose(dialog, IDC_QUERY_FIELD, 1);  // a refill drops what both lists held
            SendMessageW(available, LB_SELITEMRANGEEX, 0, 19);
            Click(dialog, IDC_QUERY_ADD);
            Click(dialog, IDCANCEL);
        });
    };
    once();
    size_t before = HeapInUse();
    for (int k = 0; k < 20; ++k)
        once();
    // 20 runs of 110 abbreviations of over 200 bytes each would be 440 KB.
    EXPECT_LT((long long)HeapInUse() - (long long)before, 40000LL);
}
