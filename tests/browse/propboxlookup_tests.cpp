// Value lists of a property box's lookup attributes answered through the main window's lookup
// messages, with a stand-in main window that answers from a small table and stores its results
// where the protocol keeps them.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "browse/propboxlookup.h"
#include "controls/plexa.h"
#include "core/attrdef.h"
#include "core/database.h"
#include "shellcontract/zm_protocol.h"

namespace {

// The box's count answer lands in PropBoxNotify.data, where ComboItemRequest keeps its data.
static_assert(offsetof(PropBoxNotify, data) == offsetof(ComboItemRequest, data),
              "the two request records share their layout");

struct LookupHost {
    int index = 3;                   // what ZM_GET_LOOKUP_VALUES answers (16 bits)
    std::vector<std::wstring> rows = {L"čeština", L"angličtina", L"němčina"};
    std::vector<UINT> sent;
    std::wstring askedField;
    WPARAM askedKind = 0;
};
LookupHost* g_host = nullptr;

INT_PTR CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!g_host || msg < ZM_FIRST || msg > ZM_LAST)
        return FALSE;
    g_host->sent.push_back(msg);
    LONG_PTR result = 0;
    switch (msg) {
    case ZM_GET_LOOKUP_VALUES:
        g_host->askedKind = wParam;
        g_host->askedField = (const wchar_t*)lParam;
        result = g_host->index;
        break;
    case ZM_GET_LOOKUP_COUNT:
        result = (int)wParam == g_host->index ? (LONG_PTR)g_host->rows.size() : 0;
        break;
    case ZM_GET_LOOKUP_ENTRY: {
        int row = HIWORD(wParam);
        *(int*)lParam = (int)g_host->rows[row].size();
        result = *(int*)lParam;
        break;
    }
    case ZM_GET_LOOKUP_TEXT: {
        ZmTextRequest* r = (ZmTextRequest*)lParam;
        lstrcpynW(r->Text, g_host->rows[HIWORD(wParam)].c_str(), r->Capacity);
        r->Length = lstrlenW(r->Text);
        break;
    }
    case ZM_FIND_LOOKUP_ENTRY: {
        ZmFindRequest* r = (ZmFindRequest*)lParam;
        r->Row = -1;
        for (size_t i = 0; i < g_host->rows.size(); i++)
            if (g_host->rows[i].compare(0, 2, r->Text, 2) == 0) {
                r->Row = (int)i;
                r->MatchLength = 2;
                break;
            }
        break;
    }
    }
    // A result that SendMessageW does not return: only the slot has it.
    SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
    return FALSE;
}

class PropBoxLookupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterPlexaW(PLEXA_INPLACECOMBOBOX | PLEXA_PROPERTYBOX);
        struct {
            DLGTEMPLATE t;
            WORD menu, cls, title;
        } dlg = {};
        dlg.t.style = WS_POPUP;
        main_ = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &dlg.t, nullptr, HostProc, 0);
        ASSERT_TRUE(main_);
        box_ = CreateWindowExW(0, WC_PROPERTYBOXW, L"", WS_CHILD, 0, 0, 200, 100, main_,
                               (HMENU)110, GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(box_);
        def_ = CustomAttrDef();
        def_.Type = ATTR_LOOKUP;
        lstrcpyW(def_.FieldName, L"JAZYK");
        SendMessageW(box_, PBXM_ADDITEM, MAKEWPARAM(0xFFFF, PBT_COMBO | PBT_ONDEMAND), (LPARAM)L"Jazyk");
        SendMessageW(box_, PBXM_SETITEMDATA, PBX_ITEM(0), (LPARAM)&def_);
        g_host = &host_;
    }
    void TearDown() override
    {
        g_host = nullptr;
        DestroyWindow(main_);
    }
    ComboItemRequest Request(UINT code, int row)
    {
        ComboItemRequest r = {};
        r.hdr.hwndFrom = box_;
        r.hdr.idFrom = 110;
        r.hdr.code = code;
        r.item = row;
        r.reserved = 0;  // the box's item
        return r;
    }

    LookupHost host_;
    HWND main_ = nullptr;
    HWND box_ = nullptr;
    CustomAttrDef def_;
};

TEST_F(PropBoxLookupTest, EveryRequestIsAnsweredFromTheAttributesLookupTable)
{
    LRESULT result = -1;
    ComboItemRequest count = Request(PBXN_GETLISTCOUNT, -1);
    ASSERT_TRUE(AnswerLookupRequest(main_, &count.hdr, LOOKUP_LITERATURE, &result));
    EXPECT_EQ(3, count.data);
    EXPECT_EQ((WPARAM)LOOKUP_LITERATURE, host_.askedKind);
    EXPECT_EQ(L"JAZYK", host_.askedField);

    ComboItemRequest length = Request(ICBN_GETTEXTLENGTH, 1);
    ASSERT_TRUE(AnswerLookupRequest(main_, &length.hdr, LOOKUP_LITERATURE, &result));
    EXPECT_EQ(10, length.count);

    wchar_t text[6];
    ComboItemRequest get = Request(ICBN_GETTEXT, 0);
    get.text = text;
    get.count = 6;  // shorter than the row: cut, never overrun
    ASSERT_TRUE(AnswerLookupRequest(main_, &get.hdr, LOOKUP_LITERATURE, &result));
    EXPECT_STREQ(L"češti", text);

    ComboItemRequest find = Request(ICBN_FINDSTRING, -1);
    find.text = const_cast<wchar_t*>(L"němec");
    ASSERT_TRUE(AnswerLookupRequest(main_, &find.hdr, LOOKUP_LITERATURE, &result));
    EXPECT_EQ(2, find.item);
    EXPECT_EQ(2, find.count);

    // Other notices are not these requests.
    ComboItemRequest other = Request(PBXN_SELCHANGE, 0);
    EXPECT_FALSE(AnswerLookupRequest(main_, &other.hdr, LOOKUP_LITERATURE, &result));
}

TEST_F(PropBoxLookupTest, ATableThatCannotBeOpenedListsNothing)
{
    host_.index = 0xFFFF;
    LRESULT result = -1;
    struct Case {
        UINT code;
        int row;
    } cases[] = {{PBXN_GETLISTCOUNT, -1}, {ICBN_GETTEXTLENGTH, 0}, {ICBN_GETTEXT, 0}, {ICBN_FINDSTRING, -1}};
    for (const Case& c : cases) {
        host_.sent.clear();
        wchar_t text[16] = L"xyz";
        ComboItemRequest r = Request(c.code, c.row);
        r.text = c.code == ICBN_FINDSTRING ? const_cast<wchar_t*>(L"če") : text;
        r.count = c.code == ICBN_GETTEXT ? 16 : 5;
        r.data = 77;
        ASSERT_TRUE(AnswerLookupRequest(main_, &r.hdr, LOOKUP_LITERATURE, &result)) << c.code;
        // Only the table was asked for; no row of the cache was read with index 65535.
        EXPECT_EQ(std::vector<UINT>{ZM_GET_LOOKUP_VALUES}, host_.sent) << c.code;
        if (c.code == PBXN_GETLISTCOUNT) {
            EXPECT_EQ(0, r.data);
        }
        if (c.code == ICBN_GETTEXTLENGTH) {
            EXPECT_EQ(0, r.count);
        }
        if (c.code == ICBN_GETTEXT) {
            EXPECT_STREQ(L"", text);
        }
        if (c.code == ICBN_FINDSTRING) {
            EXPECT_EQ(-1, r.item);
        }
    }
}

}  // namespace
