// The column chooser as a real modal dialog under Xvfb: its lists from the state, moving
// fields both ways, reordering by drag-list messages, OK and Cancel.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/choosefields.h"
#include "core/fields.h"
#include "tests/support/wintest.h"

namespace {

std::function<void(HWND)> g_script;
UINT_PTR g_timer = 0;

void CALLBACK RunScript(HWND, UINT, UINT_PTR, DWORD)
{
    HWND dialog = FindWindowW(nullptr, L"Výběr sloupců");
    if (!dialog)
        return;
    KillTimer(nullptr, g_timer);
    g_timer = 0;
    auto script = std::move(g_script);
    g_script = nullptr;
    if (script)
        script(dialog);
}

class ChooseFieldsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const wchar_t* names[] = { L"Lokalita", L"Východní délka", L"Severní šířka", L"Nadmořská výška", L"Čtverec" };
        for (int i = 0; i < 5; ++i) {
            fields_.emplace_back(new CFieldInfo(L"X", L"FEATURES"));
            wcscpy(fields_.back()->Name, names[i]);
            catalogue_.Add(new CDispField(fields_.back().get()));
        }
        // A composed field is never offered.
        cust_.reset(new CCustFld(L"Složený"));
        catalogue_.Add(new CDispField(cust_.get()));
    }
    void TearDown() override { catalogue_.RemoveAll(1); }

    int Run(ChooseFieldsState& state, std::function<void(HWND)> script)
    {
        g_script = std::move(script);
        g_timer = SetTimer(nullptr, 0, 100, RunScript);
        return ShowChooseFields(&state, nullptr);
    }
    static std::vector<std::wstring> Items(HWND dialog, int id)
    {
        return wintest::ListBoxItems(GetDlgItem(dialog, id));
    }
    // Sends a drag-list notification for the point at the vertical middle of an item (or below
    // the last item for -1).
    static void Drag(HWND dialog, UINT notification, int item)
    {
        HWND list = GetDlgItem(dialog, IDC_CHOOSE_CHOSEN);
        RECT rc;
        int count = (int)SendMessageW(list, LB_GETCOUNT, 0, 0);
        SendMessageW(list, LB_GETITEMRECT, item >= 0 ? item : count - 1, (LPARAM)&rc);
        POINT pt = { rc.left + 5, item >= 0 ? (rc.top + rc.bottom) / 2 : rc.bottom + 3 };
        RECT client;
        GetClientRect(list, &client);
        ASSERT_LT(pt.y, client.bottom) << "the point must lie inside the list";
        ClientToScreen(list, &pt);
        DRAGLISTINFO info = { notification, list, pt };
        SendMessageW(dialog, RegisterWindowMessageW(DRAGLISTMSGSTRING), (WPARAM)GetDlgCtrlID(list), (LPARAM)&info);
    }
    static void Click(HWND dialog, int id)
    {
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
    }

    std::vector<std::unique_ptr<CFieldInfo>> fields_;
    std::unique_ptr<CCustFld> cust_;
    CObjArray catalogue_{ 16, 4 };
};

TEST_F(ChooseFieldsTest, OneCurrentStateAtATime)
{
    EXPECT_EQ(nullptr, CurrentChooseFieldsState());
    {
        ChooseFieldsState state(GetModuleHandleW(nullptr), nullptr);
        EXPECT_EQ(&state, CurrentChooseFieldsState());
        EXPECT_EQ(6, SetAvailableFields(&state, &catalogue_));
        EXPECT_EQ(5, state.Available->GetCount());
    }
    EXPECT_EQ(nullptr, CurrentChooseFieldsState());
}

TEST_F(ChooseFieldsTest, ListsMovesAndOk)
{
    ChooseFieldsState state(GetModuleHandleW(nullptr), nullptr);
    SetAvailableFields(&state, &catalogue_);
    CObjArray chosen(16, 4);
    chosen.Add(fields_[3].get());
    chosen.Add(fields_[0].get());
    SetChosenFields(&state, &chosen);
    chosen.RemoveAll(0);

    int result = Run(state, [&](HWND dialog) {
        EXPECT_EQ((std::vector<std::wstring>{ L"Nadmořská výška", L"Lokalita" }), Items(dialog, IDC_CHOOSE_CHOSEN));
        EXPECT_EQ((std::vector<std::wstring>{ L"Východní délka", L"Severní šířka", L"Čtverec" }),
                  Items(dialog, IDC_CHOOSE_AVAILABLE));
        HWND available = GetDlgItem(dialog, IDC_CHOOSE_AVAILABLE);
        SendMessageW(available, LB_SETSEL, TRUE, 0);
        SendMessageW(available, LB_SETSEL, TRUE, 2);
        Click(dialog, IDC_CHOOSE_ADD);
        EXPECT_EQ((std::vector<std::wstring>{ L"Severní šířka" }), Items(dialog, IDC_CHOOSE_AVAILABLE));
        EXPECT_EQ((std::vector<std::wstring>{ L"Nadmořská výška", L"Lokalita", L"Východní délka", L"Čtverec" }),
                  Items(dialog, IDC_CHOOSE_CHOSEN));
        HWND chosenList = GetDlgItem(dialog, IDC_CHOOSE_CHOSEN);
        SendMessageW(chosenList, LB_SETCURSEL, 0, 0);
        Click(dialog, IDC_CHOOSE_REMOVE);
        EXPECT_EQ((std::vector<std::wstring>{ L"Severní šířka", L"Nadmořská výška" }), Items(dialog, IDC_CHOOSE_AVAILABLE));
        wintest::PumpMessages(50);
        wintest::SaveScreenshot(dialog, L"fields_choosefields");
        Click(dialog, IDOK);
    });
    EXPECT_EQ(1, result);
    ASSERT_EQ(3, state.Chosen->GetCount());
    EXPECT_EQ(fields_[0].get(), state.Chosen->GetItems()[0]);
    EXPECT_EQ(fields_[1].get(), state.Chosen->GetItems()[1]);
    EXPECT_EQ(fields_[4].get(), state.Chosen->GetItems()[2]);
    wchar_t* text = GetChosenText(&state);
    EXPECT_STREQ(L"Lokalita;Východní délka;Čtverec", text);
    free(text);
}

TEST_F(ChooseFieldsTest, DraggingReordersAndDropsNearItselfChangeNothing)
{
    ChooseFieldsState state(GetModuleHandleW(nullptr), nullptr);
    SetAvailableFields(&state, &catalogue_);
    CObjArray chosen(16, 4);
    for (int i = 0; i < 4; ++i)
        chosen.Add(fields_[i].get());
    SetChosenFields(&state, &chosen);
    chosen.RemoveAll(0);
    const std::wstring a = L"Lokalita", b = L"Východní délka", c = L"Severní šířka", d = L"Nadmořská výška";

    int result = Run(state, [&](HWND dialog) {
        using V = std::vector<std::wstring>;
        Drag(dialog, DL_BEGINDRAG, 1);
        Drag(dialog, DL_DROPPED, 1);  // on itself
        EXPECT_EQ((V{ a, b, c, d }), Items(dialog, IDC_CHOOSE_CHOSEN));
        Drag(dialog, DL_BEGINDRAG, 1);
        Drag(dialog, DL_DROPPED, 2);  // just below itself
        EXPECT_EQ((V{ a, b, c, d }), Items(dialog, IDC_CHOOSE_CHOSEN));
        Drag(dialog, DL_BEGINDRAG, 3);
        Drag(dialog, DL_DROPPED, 0);  // before the first
        EXPECT_EQ((V{ d, a, b, c }), Items(dialog, IDC_CHOOSE_CHOSEN));
        Drag(dialog, DL_BEGINDRAG, 0);
        Drag(dialog, DL_DROPPED, 2);  // before the third
        EXPECT_EQ((V{ a, d, b, c }), Items(dialog, IDC_CHOOSE_CHOSEN));
        Drag(dialog, DL_BEGINDRAG, 1);
        Drag(dialog, DL_DROPPED, -1);  // below the last
        EXPECT_EQ((V{ a, b, c, d }), Items(dialog, IDC_CHOOSE_CHOSEN));
        Drag(dialog, DL_BEGINDRAG, 0);
        Drag(dialog, DL_CANCELDRAG, 2);
        EXPECT_EQ((V{ a, b, c, d }), Items(dialog, IDC_CHOOSE_CHOSEN));
        Drag(dialog, DL_BEGINDRAG, 2);
        Drag(dialog, DL_DROPPED, 1);
        Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(0, result);
    // Cancel keeps the chosen fields as they were.
    ASSERT_EQ(4, state.Chosen->GetCount());
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(fields_[i].get(), state.Chosen->GetItems()[i]);
}

}  // namespace
