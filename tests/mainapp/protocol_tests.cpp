// The main window's private messages, sent to a window whose dialog procedure hands them to
// DispatchZmMessage, with a real database object opened on a generated sample database (the
// ZM_DB_OPENED load runs as in the program) and a real tab workspace. Each test reads the
// result where it lives: the message result slot (GetWindowLongPtrW DWLP_MSGRESULT), the value
// SendMessageW returns, or the sender's own block; and checks it against plain SQL.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <stdlib.h>
#include <string.h>

#include <new>
#include <string>
#include <vector>

#include "browse/treecard.h"
#include "controls/plexa.h"
#include "browse/workspace.h"
#include "core/attrdef.h"
#include "core/containers.h"
#include "core/ctlfill.h"
#include "core/database.h"
#include "core/fields.h"
#include "core/itemrecords.h"
#include "core/literature.h"
#include "core/lookupedit.h"
#include "core/leveldefs.h"
#include "tools/testkit/rawodbc.h"
#include "tools/sampledb/sampledb.h"
#include "core/treefill.h"
#include "core/zm_messages.h"
#include "mainapp/commands.h"
#include "shellcontract/configdata.h"
#include "mainapp/dbopen.h"
#include "mainapp/mainform.h"
#include "mainapp/mainform_messages.h"
#include "mainapp/toolbars.h"
#include "mainapp/wssettings.h"
#include "shellcontract/zm_protocol.h"
#include "tests/core/sampletemplate.h"
#include "tests/mainapp/formhost.h"
#include "tests/support/wintest.h"

namespace {

using namespace formhost;

// ---- hosts ----

// A bare dialog whose procedure hands everything to the dispatcher, for messages that arrive
// before a window has its main form.
INT_PTR CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        return TRUE;
    }
    INT_PTR result = FALSE;
    if (DispatchZmMessage(MainFormOf(hwnd), hwnd, msg, wParam, lParam, &result))
        return result;
    return FALSE;
}

// A dialog template without controls: style, extended style, no items, size; no menu, class
// or caption (the menu bar is set afterwards, as the program's own template names it).
std::vector<WORD> HostTemplate()
{
    std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD) + 3, 0);
    DLGTEMPLATE* dt = reinterpret_cast<DLGTEMPLATE*>(t.data());
    dt->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    dt->cdit = 0;
    dt->cx = 400;
    dt->cy = 280;
    return t;
}

// What a sender sees: the value SendMessageW returns and the result slot right after it.
struct Answer
{
    LRESULT Sent;
    LONG_PTR Slot;
};

Answer Send(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    SetWindowLongPtrW(wnd, DWLP_MSGRESULT, (LONG_PTR)0x5A5A5A5A);
    LRESULT sent = SendMessageW(wnd, msg, wParam, lParam);
    return {sent, GetWindowLongPtrW(wnd, DWLP_MSGRESULT)};
}

// The same message handed to the dispatcher directly, after a previous result was left in the
// slot: what the handler itself stores (the dialog manager's own clearing left out).
struct Direct
{
    bool Handled;
    INT_PTR Proc;
    LONG_PTR Slot;
};

Direct Dispatch(const Host& host, UINT msg, WPARAM wParam, LPARAM lParam, LONG_PTR previous)
{
    SetWindowLongPtrW(host.Wnd, DWLP_MSGRESULT, previous);
    INT_PTR proc = -7;
    bool handled = DispatchZmMessage(host.Form, host.Wnd, msg, wParam, lParam, &proc);
    return {handled, proc, GetWindowLongPtrW(host.Wnd, DWLP_MSGRESULT)};
}

std::wstring MenuText(HMENU menu, int position)
{
    wchar_t text[128] = L"";
    GetMenuStringW(menu, (UINT)position, text, 128, MF_BYPOSITION);
    return text;
}

int CountMenusNamed(HMENU menu, const wchar_t* text)
{
    int n = 0;
    for (int i = 0; i < GetMenuItemCount(menu); i++)
        if (MenuText(menu, i) == text)
            n++;
    return n;
}

int SelectedTreeId(HWND tree)
{
    HTREEITEM item = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    TreeItemData* data = item ? GetTreeItemData(tree, item) : nullptr;
    return data ? data->Id : -1;
}

// Clears the VARIANTs a load filled into a record's value array, then frees the array.
void FreeValues(CPtrArray* values)
{
    for (int i = 0; i < values->GetCount(); i++)
        VariantClear(static_cast<VARIANT*>(values->GetItems()[i]));
    delete values;
}

// ---- fixtures ----

// One opened host for the tests that only read.
class ProtocolRead : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        host_ = new Host();
        std::wstring path = CopyOfSample(L"protocol_read");
        ASSERT_FALSE(path.empty());
        ASSERT_TRUE(host_->Open(path));
    }
    static void TearDownTestSuite()
    {
        host_->Close();
        delete host_;
        host_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(host_ && host_->Form && host_->Db()->IsOpen()); }

    static Host* host_;
    HWND Wnd() const { return host_->Wnd; }
    const std::wstring& Path() const { return host_->Path; }
};
Host* ProtocolRead::host_ = nullptr;

// A fresh copy for each test that writes.
class ProtocolWrite : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::wstring path = CopyOfSample(L"protocol_write");
        ASSERT_FALSE(path.empty());
        ASSERT_TRUE(host_.Open(path));
        ASSERT_EQ(1, host_.Db()->IsOpen());
    }
    void TearDown() override { host_.Close(); }

    Host host_;
    HWND Wnd() const { return host_.Wnd; }
    const std::wstring& Path() const { return host_.Path; }
};

// ---- dispatching ----

TEST(ProtocolDispatch, MessagesOutsideTheRangeAndMessage5035AreNotHandled)
{
    INT_PTR proc = 77;
    EXPECT_FALSE(DispatchZmMessage(nullptr, nullptr, ZM_FIRST - 1, 0, 0, &proc));
    EXPECT_FALSE(DispatchZmMessage(nullptr, nullptr, ZM_LAST + 1, 0, 0, &proc));
    EXPECT_FALSE(DispatchZmMessage(nullptr, nullptr, WM_USER + 4011, 0, 0, &proc));
    EXPECT_FALSE(DispatchZmMessage(nullptr, nullptr, WM_COMMAND, 0, 0, &proc));
    EXPECT_EQ(77, proc);
}

TEST(ProtocolDispatch, IdsAreTheTableNumbers)
{
    EXPECT_EQ(5025, ZM_DB_OPENED);
    EXPECT_EQ(5026, ZM_CONFIG_CHANGED);
    EXPECT_EQ(5034, ZM_ENABLE_VIEW_COMMANDS);
    EXPECT_EQ(5036, ZM_RESET_TOOLBAR_COMBO);
    EXPECT_EQ(5037, ZM_FIND_NAME_ENTRY);
    EXPECT_EQ(5050, ZM_FIND_LEVEL);
    EXPECT_EQ(5062, ZM_SAVE_TREE_ITEM);
    EXPECT_EQ(5070, ZM_EDIT_LOOKUP_TABLE);
    EXPECT_EQ(5078, ZM_SHOW_VIEW_MENU);
    EXPECT_EQ(5085, ZM_GET_LEVEL_SPAN);
    EXPECT_EQ(5088, ZM_GOTO_TREE_ITEM);
}

// Without a main form (a message that arrives before the window has its object) and without
// blocks, every handler answers without touching anything, and stores a value of its own.
TEST(ProtocolDispatch, EveryHandlerAnswersWithoutAFormOrBlocks)
{
    std::vector<WORD> t = HostTemplate();
    HWND wnd = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<DLGTEMPLATE*>(t.data()),
                                     nullptr, HostProc, 0);
    ASSERT_TRUE(wnd != nullptr);
    for (UINT msg = ZM_FIRST; msg <= ZM_LAST; msg++) {
        if (msg == (UINT)(WM_USER + 4011))
            continue;
        SetWindowLongPtrW(wnd, DWLP_MSGRESULT, 0x1234);
        INT_PTR proc = -7;
        EXPECT_TRUE(DispatchZmMessage(nullptr, wnd, msg, 1, 0, &proc)) << msg;
        EXPECT_TRUE(proc == TRUE || proc == FALSE) << msg;
        LONG_PTR slot = GetWindowLongPtrW(wnd, DWLP_MSGRESULT);
        if (msg == ZM_GET_LOOKUP_VALUES)
            EXPECT_EQ(kLookupNotAvailable, slot);
        else if (msg == ZM_GET_RECORD_VALUE)
            EXPECT_EQ(-1, slot);
        else
            EXPECT_EQ(0, slot) << msg;
    }
    DestroyWindow(wnd);
}

// The procedure's answer: FALSE for the messages the table marks so, TRUE otherwise.
TEST_F(ProtocolRead, ProcedureAnswersFalseExactlyWhereTheTableSaysSo)
{
    const UINT falseOnes[] = {ZM_SHOW_ITEM_INFO,   ZM_QUERY_RECORD_LIST,   ZM_GET_LIST_CELL_TEXT,
                              ZM_ENABLE_VIEW_COMMANDS, ZM_RESET_TOOLBAR_COMBO, ZM_FIND_NAME_ENTRY,
                              ZM_GET_LOOKUP_VALUES, ZM_FILL_LOOKUP_CONTROL};
    const UINT trueOnes[] = {ZM_CONFIG_CHANGED, ZM_FILTER_NAMES_BY_COMBO, ZM_SHOW_TOOLBAR_COMBO,
                             ZM_UPDATE_RECORD_TOOLBAR, ZM_REFRESH_LISTS, ZM_GET_LEVEL_DEFS,
                             ZM_FIND_LEVEL, ZM_GET_RECORD_VALUE};
    for (UINT msg : falseOnes) {
        Direct d = Dispatch(*host_, msg, 0, 0, 0);
        EXPECT_TRUE(d.Handled);
        EXPECT_EQ(FALSE, d.Proc) << msg;
    }
    for (UINT msg : trueOnes) {
        Direct d = Dispatch(*host_, msg, 0, 0, 0);
        EXPECT_TRUE(d.Handled);
        EXPECT_EQ(TRUE, d.Proc) << msg;
    }
}

TEST_F(ProtocolRead, Message5035FallsThroughTheProcedure)
{
    Answer a = Send(Wnd(), WM_USER + 4011, 1, 1);
    EXPECT_EQ(0, a.Sent);
    Direct d = Dispatch(*host_, WM_USER + 4011, 1, 1, 0x4321);
    EXPECT_FALSE(d.Handled);
    EXPECT_EQ(-7, d.Proc);
    EXPECT_EQ(0x4321, d.Slot);  // untouched
}

// ---- the load and the level caches ----

TEST_F(ProtocolRead, DatabaseOpenedRanTheLoadAtStartUp)
{
    EXPECT_EQ(1, host_->Db()->IsOpen());
    // The load filled the trees' first level.
    HWND tree = host_->Ws()->SysCard->GetTreeView();
    EXPECT_GT(SendMessageW(tree, TVM_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(QueryInt(Path(), L"SELECT COUNT(*) FROM SYSDEF"),
              host_->Ws()->SysCard->GetLevelCache()->GetCount());
    EXPECT_EQ(QueryInt(Path(), L"SELECT COUNT(*) FROM LOCDEF"),
              host_->Ws()->LocCard->GetLevelCache()->GetCount());
}

TEST_F(ProtocolRead, LevelSpanIsLevelsTimes66Less62)
{
    int locLevels = QueryInt(Path(), L"SELECT COUNT(*) FROM LOCDEF");
    int sysLevels = QueryInt(Path(), L"SELECT COUNT(*) FROM SYSDEF");
    ASSERT_GT(locLevels, 3);
    int span = -1;
    Answer a = Send(Wnd(), ZM_GET_LEVEL_SPAN, ZM_CARD_LOC, (LPARAM)&span);
    EXPECT_EQ(locLevels * 66 - 62, span);
    EXPECT_EQ(span, a.Sent);
    span = -1;
    Send(Wnd(), ZM_GET_LEVEL_SPAN, ZM_CARD_SYS, (LPARAM)&span);
    EXPECT_EQ(sysLevels * 66 - 62, span);
    span = -1;
    Send(Wnd(), ZM_GET_LEVEL_SPAN, 2, (LPARAM)&span);
    EXPECT_EQ(-1, span);  // another kind writes nothing

    // A hierarchy of three levels: the locality card's cache without its last entries.
    CPtrArray* cache = host_->Ws()->LocCard->GetLevelCache();
    std::vector<void*> taken;
    while (cache->GetCount() > 3)
        taken.push_back(cache->RemoveAt(cache->GetCount() - 1));
    span = -1;
    Send(Wnd(), ZM_GET_LEVEL_SPAN, ZM_CARD_LOC, (LPARAM)&span);
    for (auto it = taken.rbegin(); it != taken.rend(); ++it)
        cache->Add(*it);
    EXPECT_EQ(136, span);
    EXPECT_EQ(locLevels, cache->GetCount());
}

TEST_F(ProtocolRead, LevelDefsAreTheCardsCachesAsFullPointers)
{
    Answer sys = Send(Wnd(), ZM_GET_LEVEL_DEFS, ZM_TREE_SYS, 0);
    Answer loc = Send(Wnd(), ZM_GET_LEVEL_DEFS, 7, 0);  // anything but 1 is the locality
    EXPECT_EQ((LONG_PTR)host_->Ws()->SysCard->GetLevelCache(), sys.Slot);
    EXPECT_EQ((LONG_PTR)host_->Ws()->SysCard->GetLevelCache(), (LONG_PTR)sys.Sent);
    EXPECT_EQ((LONG_PTR)host_->Ws()->LocCard->GetLevelCache(), loc.Slot);
}

TEST_F(ProtocolRead, FindLevelSkipsTheFirstLevelAndGivesTheDataFlag)
{
    // Systematic levels 1-3 are not data levels, 4 and 5 are; level 1 is the first entry.
    EXPECT_EQ(0, Send(Wnd(), ZM_FIND_LEVEL, ZM_TREE_SYS, 1).Slot);
    EXPECT_EQ(0, Send(Wnd(), ZM_FIND_LEVEL, ZM_TREE_SYS, 2).Slot);
    EXPECT_EQ(1, Send(Wnd(), ZM_FIND_LEVEL, ZM_TREE_SYS, 4).Slot);
    EXPECT_EQ(1, Send(Wnd(), ZM_FIND_LEVEL, ZM_TREE_SYS, 5).Slot);
    EXPECT_EQ(0, Send(Wnd(), ZM_FIND_LEVEL, ZM_TREE_SYS, 99).Slot);
    EXPECT_EQ(1, Send(Wnd(), ZM_FIND_LEVEL, 2, 3).Slot);
    EXPECT_EQ(0, Send(Wnd(), ZM_FIND_LEVEL, 2, 2).Slot);
}

TEST_F(ProtocolRead, FillLevelControlFillsOnlyComboKindFromTheCache)
{
    HWND combo = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 100, 200,
                                 Wnd(), nullptr, GetModuleHandleW(nullptr), nullptr);
    HWND expected = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 100,
                                    200, Wnd(), nullptr, GetModuleHandleW(nullptr), nullptr);
    FillLevelCombo(expected, host_->Ws()->SysCard->GetLevelCache(), 2);
    Send(Wnd(), ZM_FILL_LEVEL_CONTROL, ZmLevelControlParam(ZM_TREE_SYS, 1, 2), (LPARAM)combo);
    EXPECT_EQ(0, SendMessageW(combo, CB_GETCOUNT, 0, 0));  // a list box kind is not filled
    Send(Wnd(), ZM_FILL_LEVEL_CONTROL, ZmLevelControlParam(ZM_TREE_SYS, 2, 2), (LPARAM)combo);
    LRESULT count = SendMessageW(expected, CB_GETCOUNT, 0, 0);
    ASSERT_GT(count, 0);
    ASSERT_EQ(count, SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < (int)count; i++) {
        EXPECT_EQ(SendMessageW(expected, CB_GETITEMDATA, i, 0), SendMessageW(combo, CB_GETITEMDATA, i, 0));
    }
    DestroyWindow(combo);
    DestroyWindow(expected);
}

// ---- attributes and lookups ----

TEST_F(ProtocolRead, FindNameEntryIsReadFromTheSlotOnly)
{
    Answer a = Send(Wnd(), ZM_FIND_NAME_ENTRY, ZM_ATTRS_SPECIES, (LPARAM)L"OCHRANA");
    EXPECT_EQ(0, a.Sent);  // the procedure answers FALSE
    ASSERT_NE(0, a.Slot);
    CustomAttrDef* def = reinterpret_cast<CustomAttrDef*>(a.Slot);
    EXPECT_STREQ(L"OCHRANA", def->FieldName);
    EXPECT_EQ(ATTR_LOOKUP, def->Type);
    // The pointer is the list's own, whole (not cut to 32 bits).
    CPtrArray* attrs = host_->Db()->GetSpeciesAttrs();
    EXPECT_NE(-1, attrs->IndexOf(def));

    a = Send(Wnd(), ZM_FIND_NAME_ENTRY, ZM_ATTRS_FEATURES, (LPARAM)L"BIOTOP");
    ASSERT_NE(0, a.Slot);
    EXPECT_NE(-1, host_->Db()->GetFeatureAttrs()->IndexOf((void*)a.Slot));
    a = Send(Wnd(), ZM_FIND_NAME_ENTRY, ZM_ATTRS_ZORNACOLLS, (LPARAM)L"METODA");
    ASSERT_NE(0, a.Slot);
    EXPECT_STREQ(L"METODA", reinterpret_cast<CustomAttrDef*>(a.Slot)->FieldName);
}

TEST_F(ProtocolRead, FindNameEntryIsExactAndPerTable)
{
    EXPECT_EQ(0, Send(Wnd(), ZM_FIND_NAME_ENTRY, ZM_ATTRS_SPECIES, (LPARAM)L"ochrana").Slot);
    EXPECT_EQ(0, Send(Wnd(), ZM_FIND_NAME_ENTRY, ZM_ATTRS_SPECIES, (LPARAM)L"OCHRAN").Slot);
    EXPECT_EQ(0, Send(Wnd(), ZM_FIND_NAME_ENTRY, ZM_ATTRS_FEATURES, (LPARAM)L"OCHRANA").Slot);
    EXPECT_EQ(0, Send(Wnd(), ZM_FIND_NAME_ENTRY, 4, (LPARAM)L"OCHRANA").Slot);
    EXPECT_EQ(0, Send(Wnd(), ZM_FIND_NAME_ENTRY, 0, (LPARAM)L"OCHRANA").Slot);
}

TEST_F(ProtocolRead, LookupValuesCountEntriesAndTextsIntoGuardedBuffers)
{
    Answer a = Send(Wnd(), ZM_GET_LOOKUP_VALUES, LOOKUP_ZORNACOLLS, (LPARAM)L"METODA");
    EXPECT_EQ(0, a.Sent);  // only the slot gives it
    int index = (int)a.Slot;
    ASSERT_NE(kLookupNotAvailable, index);
    ASSERT_GE(index, 0);
    // Asked again, the same cache entry.
    EXPECT_EQ(index, (int)Send(Wnd(), ZM_GET_LOOKUP_VALUES, LOOKUP_ZORNACOLLS, (LPARAM)L"METODA").Slot);

    int rows = QueryInt(Path(), L"SELECT COUNT(*) FROM ZOR_METODA");
    ASSERT_GT(rows, 1);
    Answer count = Send(Wnd(), ZM_GET_LOOKUP_COUNT, index, 0);
    EXPECT_EQ(rows, count.Slot);
    EXPECT_EQ(rows, count.Sent);

    zdata::Recordset* rs = host_->Db()->GetLookupRecordset(index);
    ASSERT_TRUE(rs != nullptr);
    for (int row = 0; row < 2; row++) {
        // The row's NAME as the recordset holds it.
        rs->put_AbsolutePosition(row + 1);
        zdata::Fields* fields = nullptr;
        rs->get_Fields(&fields);
        VARIANT v;
        VariantInit(&v);
        ColumnValue(fields, 0, &v);
        fields->Release();
        ASSERT_EQ(VT_BSTR, v.vt);
        std::wstring name = v.bstrVal;
        VariantClear(&v);

        int length = -1;
        Send(Wnd(), ZM_GET_LOOKUP_ENTRY, MAKEWPARAM(index, row), (LPARAM)&length);
        EXPECT_EQ((int)name.size(), length);

        wchar_t buffer[80];
        wmemset(buffer, L'#', 80);
        ZmTextRequest request = {buffer, length + 1, -1};
        Send(Wnd(), ZM_GET_LOOKUP_TEXT, MAKEWPARAM(index, row), (LPARAM)&request);
        EXPECT_EQ(name, std::wstring(buffer));
        EXPECT_EQ(length, request.Length);
        EXPECT_EQ(L'#', buffer[length + 1]);
    }
}

// A text request that comes without a length request first (a virtual combo's CB_GETLBTEXT),
// or with a smaller buffer, still gets the asked row's text and never more than its capacity.
TEST_F(ProtocolRead, LookupTextKeepsToTheRowAndTheCapacity)
{
    int index = (int)Send(Wnd(), ZM_GET_LOOKUP_VALUES, LOOKUP_ZORNACOLLS, (LPARAM)L"METODA").Slot;
    ASSERT_NE(kLookupNotAvailable, index);
    int len0 = -1, len1 = -1;
    Send(Wnd(), ZM_GET_LOOKUP_ENTRY, MAKEWPARAM(index, 0), (LPARAM)&len0);
    wchar_t row0[80] = L"";
    ZmTextRequest r0 = {row0, 80, 0};
    Send(Wnd(), ZM_GET_LOOKUP_TEXT, MAKEWPARAM(index, 0), (LPARAM)&r0);
    Send(Wnd(), ZM_GET_LOOKUP_ENTRY, MAKEWPARAM(index, 1), (LPARAM)&len1);
    wchar_t row1[80] = L"";
    ZmTextRequest r1 = {row1, 80, 0};
    Send(Wnd(), ZM_GET_LOOKUP_TEXT, MAKEWPARAM(index, 1), (LPARAM)&r1);
    ASSERT_GT(len0, 3);
    ASSERT_NE(std::wstring(row0), std::wstring(row1));

    // Row 1 was cached last; row 0 is asked without a length request.
    wchar_t again[80] = L"";
    ZmTextRequest r = {again, 80, 0};
    Send(Wnd(), ZM_GET_LOOKUP_TEXT, MAKEWPARAM(index, 0), (LPARAM)&r);
    EXPECT_STREQ(row0, again);

    // A buffer of 4 characters takes 3 and the terminator; the guard after it stays.
    wchar_t small[8];
    wmemset(small, L'#', 8);
    ZmTextRequest s = {small, 4, 0};
    Send(Wnd(), ZM_GET_LOOKUP_TEXT, MAKEWPARAM(index, 0), (LPARAM)&s);
    EXPECT_EQ(std::wstring(row0).substr(0, 3), std::wstring(small));
    EXPECT_EQ(3, s.Length);
    EXPECT_EQ(L'#', small[4]);
}

TEST_F(ProtocolRead, FindLookupEntryFindsThePrefixFromTheStartRow)
{
    int index = (int)Send(Wnd(), ZM_GET_LOOKUP_VALUES, LOOKUP_ZORNACOLLS, (LPARAM)L"METODA").Slot;
    wchar_t first[80] = L"";
    ZmTextRequest r = {first, 80, 0};
    Send(Wnd(), ZM_GET_LOOKUP_TEXT, MAKEWPARAM(index, 0), (LPARAM)&r);
    ASSERT_GT(r.Length, 2);
    std::wstring prefix(first, 2);
    ZmFindRequest find = {prefix.c_str(), -1, -1};
    Answer a = Send(Wnd(), ZM_FIND_LOOKUP_ENTRY, index, (LPARAM)&find);
    EXPECT_EQ(0, find.Row);
    EXPECT_EQ(2, find.MatchLength);
    EXPECT_EQ(2, a.Slot);
}

TEST_F(ProtocolRead, FillLookupControlFillsListBoxComboAndListView)
{
    int index = (int)Send(Wnd(), ZM_GET_LOOKUP_VALUES, LOOKUP_ZORNACOLLS, (LPARAM)L"METODA").Slot;
    int rows = QueryInt(Path(), L"SELECT COUNT(*) FROM ZOR_METODA");
    HINSTANCE inst = GetModuleHandleW(nullptr);
    HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD, 0, 0, 100, 100, Wnd(), nullptr, inst, nullptr);
    HWND combo = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 100, 100, Wnd(), nullptr, inst, nullptr);
    HWND view = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, 0, 100, 100, Wnd(), nullptr, inst, nullptr);
    LVCOLUMNW col = {};
    col.mask = LVCF_WIDTH;
    col.cx = 80;
    SendMessageW(view, LVM_INSERTCOLUMNW, 0, (LPARAM)&col);

    Answer a = Send(Wnd(), ZM_FILL_LOOKUP_CONTROL, MAKEWPARAM(index, ZM_LOOKUP_LISTBOX), (LPARAM)list);
    EXPECT_EQ(0, a.Sent);
    EXPECT_EQ(rows, SendMessageW(list, LB_GETCOUNT, 0, 0));
    // ABBREV copies ride as item data: at least one row of the sample has one.
    bool anyAbbrev = false;
    for (int i = 0; i < rows; i++)
        anyAbbrev = anyAbbrev || SendMessageW(list, LB_GETITEMDATA, i, 0) != 0;
    EXPECT_TRUE(anyAbbrev);
    Send(Wnd(), ZM_FILL_LOOKUP_CONTROL, MAKEWPARAM(index, ZM_LOOKUP_COMBOBOX), (LPARAM)combo);
    EXPECT_EQ(rows, SendMessageW(combo, CB_GETCOUNT, 0, 0));
    Send(Wnd(), ZM_FILL_LOOKUP_CONTROL, MAKEWPARAM(index, ZM_LOOKUP_LISTVIEW), (LPARAM)view);
    EXPECT_EQ(rows, SendMessageW(view, LVM_GETITEMCOUNT, 0, 0));

    // A refill gives the same rows again (the earlier ABBREV copies are freed first).
    Send(Wnd(), ZM_FILL_LOOKUP_CONTROL, MAKEWPARAM(index, ZM_LOOKUP_LISTBOX), (LPARAM)list);
    EXPECT_EQ(rows, SendMessageW(list, LB_GETCOUNT, 0, 0));
    CDatabase::ResetLookupListBox(list);
    DestroyWindow(list);
    DestroyWindow(combo);
    DestroyWindow(view);
}

TEST_F(ProtocolRead, TermComboListsTheLookupAttributesOfATable)
{
    HWND combo = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | CBS_DROPDOWNLIST, 0, 0, 100, 100,
                                 Wnd(), nullptr, GetModuleHandleW(nullptr), nullptr);
    // FEATURES (3): BIOTOP (lookup) and CHRUZEMI (geographic lookup).
    Send(Wnd(), ZM_FILL_TERM_COMBO, ZM_TERMS_FEATURES, (LPARAM)combo);
    EXPECT_EQ(2, SendMessageW(combo, CB_GETCOUNT, 0, 0));
    Send(Wnd(), ZM_FILL_TERM_COMBO, ZM_TERMS_ZORNACOLLS, (LPARAM)combo);
    EXPECT_EQ(1, SendMessageW(combo, CB_GETCOUNT, 0, 0));
    DestroyWindow(combo);
}

TEST_F(ProtocolRead, AuthorsListEntriesTextsAndPrefix)
{
    int rows = QueryInt(Path(), L"SELECT COUNT(*) FROM SYSAUTHORS");
    ASSERT_GT(rows, 2);
    int count = -1;
    Answer a = Send(Wnd(), ZM_GET_AUTHOR_LIST, 0, (LPARAM)&count);
    EXPECT_EQ(rows, count);
    EXPECT_EQ(rows, a.Slot);

    int length = -1;
    Send(Wnd(), ZM_GET_AUTHOR_ENTRY, 1, (LPARAM)&length);
    ASSERT_GT(length, 2);
    wchar_t text[128];
    wmemset(text, L'#', 128);
    ZmTextRequest request = {text, length + 1, 0};
    Send(Wnd(), ZM_GET_AUTHOR_TEXT, 1, (LPARAM)&request);
    EXPECT_EQ(length, (int)wcslen(text));
    EXPECT_EQ(L'#', text[length + 1]);
    // The text is in the table.
    std::wstring name = text;
    EXPECT_EQ(1, QueryInt(Path(), L"SELECT COUNT(*) FROM SYSAUTHORS WHERE NAME = '" + name + L"'"));

    // Cut to a small buffer, the guard stays.
    wchar_t small[6];
    wmemset(small, L'#', 6);
    ZmTextRequest s = {small, 3, 0};
    Send(Wnd(), ZM_GET_AUTHOR_TEXT, 1, (LPARAM)&s);
    EXPECT_EQ(name.substr(0, 2), std::wstring(small));
    EXPECT_EQ(L'#', small[3]);

    ZmFindRequest find = {name.c_str(), -1, 0};
    Send(Wnd(), ZM_FIND_AUTHOR, 0, (LPARAM)&find);
    EXPECT_EQ((int)name.size(), find.MatchLength);
    EXPECT_GE(find.Row, 0);
    EXPECT_LE(find.Row, 1);
}

TEST_F(ProtocolRead, PropertyBoxFillersAnswerTheFirstTablesAttributeCount)
{
    RegisterPlexaW(PLEXA_ALLCLASSES);
    HWND box = CreateWindowExW(0, L"PROPERTYBOX", L"", WS_CHILD, 0, 0, 200, 200, Wnd(), nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(box != nullptr);
    EXPECT_EQ(QueryInt(Path(), L"SELECT COUNT(*) FROM CUSTOMATTRIBUTES WHERE TABLENAME = 'SYSTREE'"),
              Send(Wnd(), ZM_FILL_SYS_ATTRS, 0, (LPARAM)box).Slot);
    EXPECT_EQ(QueryInt(Path(), L"SELECT COUNT(*) FROM CUSTOMATTRIBUTES WHERE TABLENAME = 'LOCTREE'"),
              Send(Wnd(), ZM_FILL_LOC_ATTRS, 0, (LPARAM)box).Slot);
    DestroyWindow(box);
}

TEST_F(ProtocolRead, AttrDefTellsLookupFieldsOfAListEntry)
{
    CFieldInfo lookup(L"METODA", L"ZORNACOLLS");
    lookup.Kind = FIELD_DATABASE;
    CDispField lookupEntry(&lookup);
    CFieldInfo plain(L"LEG", L"ZORNACOLLS");
    plain.Kind = FIELD_DATABASE;
    CDispField plainEntry(&plain);
    EXPECT_EQ(1, Send(Wnd(), ZM_GET_ATTR_DEF, 0, (LPARAM)&lookupEntry).Slot);
    EXPECT_EQ(0, Send(Wnd(), ZM_GET_ATTR_DEF, 0, (LPARAM)&plainEntry).Slot);
    lookupEntry.Field = nullptr;
    plainEntry.Field = nullptr;
}

TEST_F(ProtocolRead, LookupFieldValueGivesTheAbbreviation)
{
    Rows rows = Query(Path(), L"SELECT NAME, ABBREV FROM ZOR_METODA WHERE ABBREV IS NOT NULL AND ABBREV <> '' LIMIT 1");
    ASSERT_EQ(1u, rows.size());
    CFieldInfo field(L"METODA", L"ZORNACOLLS");
    field.Kind = FIELD_DATABASE;
    CDispField entry(&field);
    ZmLookupValueRequest request;
    request.Field = &entry;
    VariantInit(&request.Value);
    VariantInit(&request.Result);
    request.Value.vt = VT_BSTR;
    request.Value.bstrVal = SysAllocString(rows[0][0].c_str());
    Send(Wnd(), ZM_LOOKUP_FIELD_VALUE, 0, (LPARAM)&request);
    ASSERT_EQ(VT_BSTR, request.Result.vt);
    EXPECT_EQ(rows[0][1], std::wstring(request.Result.bstrVal));
    VariantClear(&request.Value);
    VariantClear(&request.Result);
    entry.Field = nullptr;
}

// ---- lists ----

TEST_F(ProtocolRead, QueryRecordListWritesTheRowCountAndAnswersFalse)
{
    int taxon = QueryInt(Path(), L"SELECT SYSID FROM ZORNACOLLS GROUP BY SYSID ORDER BY COUNT(*) DESC LIMIT 1");
    int expected = QueryInt(Path(), L"SELECT COUNT(*) FROM ZORNACOLLS WHERE SYSID = " + std::to_wstring(taxon));
    ListQuery query = {ZM_LIST_TAXON_RECORDS, taxon, nullptr, 0, 0, -1, nullptr};
    Answer a = Send(Wnd(), ZM_QUERY_RECORD_LIST, 90, (LPARAM)&query);
    EXPECT_EQ(0, a.Sent);
    EXPECT_EQ(expected, query.RowCount);
    EXPECT_EQ(expected, a.Slot);

    ListQuery all = {ZM_LIST_SEARCH_RECORDS, 0, nullptr, 0, 0, -1, nullptr};
    Send(Wnd(), ZM_QUERY_RECORD_LIST, 90, (LPARAM)&all);
    EXPECT_EQ(QueryInt(Path(), L"SELECT COUNT(*) FROM ZORNACOLLS"), all.RowCount);

    // The sender's length is only a hint: a long condition with a far too small estimate still
    // gives the right count.
    std::wstring where = L"ID > 0";
    for (int i = 0; i < 60; i++)
        where += L" AND SYSID > 0";
    ListQuery searched = {ZM_LIST_SEARCH_RECORDS, 0, nullptr, 0, 0, -1, where.c_str()};
    Send(Wnd(), ZM_QUERY_RECORD_LIST, 1, (LPARAM)&searched);
    EXPECT_EQ(QueryInt(Path(), L"SELECT COUNT(*) FROM ZORNACOLLS"), searched.RowCount);

    ListQuery other = {9, 0, nullptr, 0, 0, -1, nullptr};
    Send(Wnd(), ZM_QUERY_RECORD_LIST, 90, (LPARAM)&other);
    EXPECT_EQ(-1, other.RowCount);  // another kind does nothing
}

TEST_F(ProtocolRead, ListCellTextGivesTheRecordIdOfARow)
{
    int taxon = QueryInt(Path(), L"SELECT SYSID FROM ZORNACOLLS GROUP BY SYSID ORDER BY COUNT(*) DESC LIMIT 1");
    ListQuery query = {ZM_LIST_TAXON_RECORDS, taxon, nullptr, 0, 0, 0, nullptr};
    Send(Wnd(), ZM_QUERY_RECORD_LIST, 90, (LPARAM)&query);
    ASSERT_GT(query.RowCount, 0);
    NMLVDISPINFOW info = {};
    info.hdr.hwndFrom = host_->Ws()->GetRecordList(WS_SYS_CARD);
    info.hdr.code = LVN_GETDISPINFOW;
    info.item.mask = LVIF_PARAM;
    info.item.iItem = 0;
    info.item.lParam = -5;
    Answer a = Send(Wnd(), ZM_GET_LIST_CELL_TEXT, ZM_LIST_TAXON_RECORDS, (LPARAM)&info);
    EXPECT_EQ(0, a.Sent);
    int id = (int)info.item.lParam;
    EXPECT_EQ(taxon, QueryInt(Path(), L"SELECT SYSID FROM ZORNACOLLS WHERE ID = " + std::to_wstring(id)));
}

TEST_F(ProtocolRead, RecordValueGivesTheRecordsItemOrMinusOne)
{
    ListQuery all = {ZM_LIST_SEARCH_RECORDS, 0, nullptr, 0, 0, 0, nullptr};
    Send(Wnd(), ZM_QUERY_RECORD_LIST, 90, (LPARAM)&all);
    Rows rows = Query(Path(), L"SELECT ID, SYSID, FTRID FROM ZORNACOLLS ORDER BY ID LIMIT 1");
    ASSERT_EQ(1u, rows.size());
    int id = _wtoi(rows[0][0].c_str());
    Answer sys = Send(Wnd(), ZM_GET_RECORD_VALUE, MAKEWPARAM(2, 0), id);
    EXPECT_EQ(_wtoi(rows[0][1].c_str()), sys.Slot);
    EXPECT_EQ(sys.Slot, (LONG_PTR)sys.Sent);
    EXPECT_EQ(_wtoi(rows[0][2].c_str()), Send(Wnd(), ZM_GET_RECORD_VALUE, MAKEWPARAM(2, 1), id).Slot);
    EXPECT_EQ(-1, Send(Wnd(), ZM_GET_RECORD_VALUE, MAKEWPARAM(2, 0), 99999999).Slot);
}

TEST_F(ProtocolRead, ListObjectIsHandedOverWithAReference)
{
    ListQuery all = {ZM_LIST_SEARCH_RECORDS, 0, nullptr, 0, 0, 0, nullptr};
    Send(Wnd(), ZM_QUERY_RECORD_LIST, 90, (LPARAM)&all);
    zdata::Recordset* own = host_->Db()->GetListRecordset(ZM_LISTOBJ_SEARCH);
    ASSERT_TRUE(own != nullptr);
    ULONG before = own->AddRef() - 1;
    own->Release();
    zdata::Recordset* got = reinterpret_cast<zdata::Recordset*>(1);
    Send(Wnd(), ZM_GET_LIST_OBJECT, ZM_LISTOBJ_SEARCH, (LPARAM)&got);
    ASSERT_EQ(own, got);
    EXPECT_EQ(before + 1, got->AddRef() - 1);
    got->Release();
    got->Release();  // the sender's reference
    got = reinterpret_cast<zdata::Recordset*>(1);
    Send(Wnd(), ZM_GET_LIST_OBJECT, 9, (LPARAM)&got);
    EXPECT_EQ(nullptr, got);
}

TEST_F(ProtocolRead, RecordFilterAndPointsOfTheSearchList)
{
    ListQuery all = {ZM_LIST_SEARCH_RECORDS, 0, nullptr, 0, 0, 0, nullptr};
    Send(Wnd(), ZM_QUERY_RECORD_LIST, 90, (LPARAM)&all);
    ZmPointBlock points = {reinterpret_cast<double*>(1), reinterpret_cast<double*>(1)};
    Answer a = Send(Wnd(), ZM_GET_RECORD_POINTS, MAKEWPARAM(ZM_POINTS_SEARCH, 0), (LPARAM)&points);
    int unsourced = (int)a.Slot;
    EXPECT_EQ(unsourced, (int)a.Sent);
    if (unsourced > 0) {
        ASSERT_TRUE(points.X && points.Y);
        EXPECT_GT(points.X[0], 5.0);   // Czech longitudes
        EXPECT_GT(points.Y[0], 48.0);  // and latitudes
    }
    free(points.X);
    free(points.Y);

    // A filter that keeps no record leaves no points.
    Send(Wnd(), ZM_SET_RECORD_FILTER, MAKEWPARAM(ZM_POINTS_SEARCH, 0), (LPARAM)L"ID = -1");
    ZmPointBlock none = {nullptr, nullptr};
    EXPECT_EQ(0, Send(Wnd(), ZM_GET_RECORD_POINTS, MAKEWPARAM(ZM_POINTS_SEARCH, 0), (LPARAM)&none).Slot);
    free(none.X);
    free(none.Y);
    Send(Wnd(), ZM_SET_RECORD_FILTER, MAKEWPARAM(ZM_POINTS_SEARCH, 0), 0);
}

// ---- cards and menus ----

TEST_F(ProtocolRead, GotoTreeItemSelectsTheItemInTheCard)
{
    int taxon = QueryInt(Path(), L"SELECT ID FROM SYSTREE WHERE SYSLEVEL = 4 ORDER BY ID DESC LIMIT 1");
    Send(Wnd(), ZM_GOTO_TREE_ITEM, 0, taxon);
    EXPECT_EQ(taxon, SelectedTreeId(host_->Ws()->SysCard->GetTreeView()));
    EXPECT_EQ(taxon, host_->Ws()->SysCard->GetCurrentId());
    int locality = QueryInt(Path(), L"SELECT ID FROM LOCTREE WHERE LOCLEVEL = 3 ORDER BY ID DESC LIMIT 1");
    Send(Wnd(), ZM_GOTO_TREE_ITEM, 1, locality);
    EXPECT_EQ(locality, SelectedTreeId(host_->Ws()->LocCard->GetTreeView()));
}

int CALLBACK ReversedById(LPARAM a, LPARAM b, LPARAM)
{
    return reinterpret_cast<TreeItemData*>(b)->Id - reinterpret_cast<TreeItemData*>(a)->Id;
}

std::vector<int> ChildIds(HWND tree, HTREEITEM parent)
{
    std::vector<int> ids;
    for (HTREEITEM c = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)parent); c;
         c = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)c))
        ids.push_back(GetTreeItemData(tree, c)->Id);
    return ids;
}

TEST_F(ProtocolRead, ReselectSortsTheParentsChildrenByPositionAndKeepsTheSelection)
{
    int parent = QueryInt(Path(), L"SELECT PARENT FROM SYSTREE WHERE PARENT <> 0 GROUP BY PARENT "
                                  L"HAVING COUNT(*) >= 3 ORDER BY PARENT LIMIT 1");
    Rows kids = Query(Path(), L"SELECT ID FROM SYSTREE WHERE PARENT = " + std::to_wstring(parent) +
                                  L" ORDER BY SYSPOS");
    std::vector<int> byPosition;
    for (const auto& r : kids)
        byPosition.push_back(_wtoi(r[0].c_str()));
    HWND tree = host_->Ws()->SysCard->GetTreeView();
    Send(Wnd(), ZM_GOTO_TREE_ITEM, 0, byPosition[1]);
    ASSERT_EQ(byPosition[1], SelectedTreeId(tree));
    HTREEITEM parentItem = FindTreeItemById(parent, tree, nullptr);
    ASSERT_TRUE(parentItem != nullptr);
    TVSORTCB sort = {parentItem, ReversedById, 0};
    SendMessageW(tree, TVM_SORTCHILDRENCB, 0, (LPARAM)&sort);
    ASSERT_NE(byPosition, ChildIds(tree, parentItem));

    Answer a = Send(Wnd(), ZM_RESELECT_SYS_ITEM, 0, byPosition[1]);
    EXPECT_EQ(0, a.Slot);
    EXPECT_EQ(byPosition, ChildIds(tree, parentItem));
    EXPECT_EQ(byPosition[1], SelectedTreeId(tree));
}

TEST_F(ProtocolRead, ComboGotoItemGoesToTheSelectedNamesItemAndNothingWithoutSelection)
{
    HWND tree = host_->Ws()->SysCard->GetTreeView();
    int first = QueryInt(Path(), L"SELECT ID FROM SYSTREE WHERE SYSLEVEL = 4 ORDER BY ID LIMIT 1");
    int second = QueryInt(Path(), L"SELECT ID FROM SYSTREE WHERE SYSLEVEL = 4 ORDER BY ID LIMIT 1 OFFSET 1");
    Send(Wnd(), ZM_GOTO_TREE_ITEM, 0, first);
    ASSERT_EQ(first, SelectedTreeId(tree));
    ASSERT_EQ(TAB_SYSTEM, host_->Ws()->GetCurrentTab(Wnd()));

    HWND combo = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | CBS_DROPDOWN, 0, 0, 100, 100,
                                 Wnd(), nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)L"druhý");
    SendMessageW(combo, CB_SETITEMDATA, 0, second);
    Send(Wnd(), ZM_COMBO_GOTO_ITEM, 0, (LPARAM)combo);
    EXPECT_EQ(first, SelectedTreeId(tree));  // nothing selected in the combo
    SendMessageW(combo, CB_SETCURSEL, 0, 0);
    Send(Wnd(), ZM_COMBO_GOTO_ITEM, 0, (LPARAM)combo);
    EXPECT_EQ(second, SelectedTreeId(tree));
    DestroyWindow(combo);
}

TEST_F(ProtocolRead, FilterNamesByComboTypesAheadInTheCurrentTabsList)
{
    ASSERT_EQ(TAB_SYSTEM, host_->Ws()->GetCurrentTab(Wnd()));
    std::wstring name = TextOf(Path(), L"SELECT NAME FROM SPECIES ORDER BY NAME LIMIT 1");
    ASSERT_GT(name.size(), 3u);
    HWND combo = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | CBS_DROPDOWN, 0, 0, 100, 100,
                                 Wnd(), nullptr, GetModuleHandleW(nullptr), nullptr);
    std::wstring prefix = name.substr(0, 3);
    SetWindowTextW(combo, prefix.c_str());
    Send(Wnd(), ZM_FILTER_NAMES_BY_COMBO, 0, (LPARAM)combo);
    int expected = QueryInt(Path(), L"SELECT COUNT(*) FROM SPECIES WHERE NAME LIKE '" + prefix + L"%'");
    EXPECT_EQ(expected, SendMessageW(combo, CB_GETCOUNT, 0, 0));
    // The item data of an entry is the taxon's tree id.
    int id = (int)SendMessageW(combo, CB_GETITEMDATA, 0, 0);
    EXPECT_EQ(1, QueryInt(Path(), L"SELECT COUNT(*) FROM SPECIES WHERE SYSID = " + std::to_wstring(id) +
                                      L" AND NAME LIKE '" + prefix + L"%'"));

    // wParam n > 0 names list n - 1 whatever the tab: here the localities.
    std::wstring loc = TextOf(Path(), L"SELECT NAME FROM FEATURES ORDER BY NAME LIMIT 1");
    std::wstring locPrefix = loc.substr(0, 3);
    SetWindowTextW(combo, locPrefix.c_str());
    Send(Wnd(), ZM_FILTER_NAMES_BY_COMBO, ZM_NAMES_FEATURES + 1, (LPARAM)combo);
    EXPECT_EQ(QueryInt(Path(), L"SELECT COUNT(*) FROM FEATURES WHERE NAME LIKE '" + locPrefix + L"%'"),
              SendMessageW(combo, CB_GETCOUNT, 0, 0));
    DestroyWindow(combo);
}

TEST_F(ProtocolRead, ViewMenuInsertReplacesAndRemoveTakesOnlyItsOwnPopup)
{
    HMENU bar = GetMenu(Wnd());
    ASSERT_TRUE(bar != nullptr);
    // Whatever the cards inserted while they were shown is taken out first.
    RemoveInsertedViewMenu(host_->Form, Wnd());
    int items = GetMenuItemCount(bar);
    ASSERT_EQ(L"&Literatura", MenuText(bar, 3));

    // A remove without an insert leaves the bar's own menu.
    Send(Wnd(), ZM_SHOW_VIEW_MENU, ZM_MENU_VIEW, 0);
    EXPECT_EQ(L"&Literatura", MenuText(bar, 3));
    EXPECT_EQ(items, GetMenuItemCount(bar));

    Send(Wnd(), ZM_SHOW_VIEW_MENU, ZM_MENU_VIEW, 1);
    EXPECT_EQ(L"&Zobrazení", MenuText(bar, 3));
    EXPECT_EQ(GetSubMenu(host_->Form->ViewMenu, 0), GetSubMenu(bar, 3));
    EXPECT_EQ(L"&Literatura", MenuText(bar, 4));
    // Two inserts leave one.
    Send(Wnd(), ZM_SHOW_VIEW_MENU, ZM_MENU_VIEW, 1);
    EXPECT_EQ(1, CountMenusNamed(bar, L"&Zobrazení"));
    EXPECT_EQ(items + 1, GetMenuItemCount(bar));
    RedrawWindow(Wnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    wintest::PumpMessages(50);
    EXPECT_FALSE(wintest::SaveScreenshot(Wnd(), L"protocol_viewmenu").empty());
    // The map menu replaces the view menu; removing the view menu then leaves the map menu.
    Send(Wnd(), ZM_SHOW_VIEW_MENU, ZM_MENU_MAP, 1);
    EXPECT_EQ(GetSubMenu(host_->Form->MapMenu, 0), GetSubMenu(bar, 3));
    EXPECT_EQ(1, CountMenusNamed(bar, L"&Zobrazení"));
    Send(Wnd(), ZM_SHOW_VIEW_MENU, ZM_MENU_VIEW, 0);
    EXPECT_EQ(GetSubMenu(host_->Form->MapMenu, 0), GetSubMenu(bar, 3));
    Send(Wnd(), ZM_SHOW_VIEW_MENU, ZM_MENU_MAP, 0);
    EXPECT_EQ(L"&Literatura", MenuText(bar, 3));
    EXPECT_EQ(items, GetMenuItemCount(bar));
    // Other wParam values do nothing.
    Send(Wnd(), ZM_SHOW_VIEW_MENU, 3, 1);
    EXPECT_EQ(items, GetMenuItemCount(bar));
    // The popups still belong to their menus.
    EXPECT_TRUE(IsMenu(GetSubMenu(host_->Form->ViewMenu, 0)));
}

TEST_F(ProtocolRead, EnableViewCommandsGraysAndEnablesTheMenuItems)
{
    HMENU bar = GetMenu(Wnd());
    Answer a = Send(Wnd(), ZM_ENABLE_VIEW_COMMANDS, 0, ZM_VIEW_MAP_COMMANDS);
    EXPECT_EQ(0, a.Sent);
    for (UINT id : {602u, 603u, 604u, 607u})
        EXPECT_TRUE(GetMenuState(bar, id, MF_BYCOMMAND) & MF_GRAYED) << id;
    // Commands without a handler stay grayed whatever the page asks.
    auto grayed = [&](UINT id) { return (GetMenuState(bar, id, MF_BYCOMMAND) & MF_GRAYED) != 0; };
    EXPECT_EQ(!IsCommandAvailable(601), grayed(601));
    Send(Wnd(), ZM_ENABLE_VIEW_COMMANDS, 1, ZM_VIEW_MAP_COMMANDS);
    for (UINT id : {602u, 603u, 604u, 607u})
        EXPECT_EQ(!IsCommandAvailable(id), grayed(id)) << id;

    HMENU view = host_->Form->ViewMenu;
    Send(Wnd(), ZM_ENABLE_VIEW_COMMANDS, 0, ZM_VIEW_LIST_COMMANDS);
    for (UINT id : {401u, 402u, 403u, 404u})
        EXPECT_TRUE(GetMenuState(view, id, MF_BYCOMMAND) & MF_GRAYED) << id;
    Send(Wnd(), ZM_ENABLE_VIEW_COMMANDS, 1, ZM_VIEW_LIST_COMMANDS | ZM_VIEW_MAP_COMMANDS);
    for (UINT id : {401u, 402u, 403u, 404u})
        EXPECT_FALSE(GetMenuState(view, id, MF_BYCOMMAND) & MF_GRAYED) << id;
}

TEST_F(ProtocolRead, ToolbarComboIsShownHiddenAndEmptied)
{
    HWND combo = host_->Form->Toolbar->Combo;
    ASSERT_TRUE(combo != nullptr);
    Send(Wnd(), ZM_SHOW_TOOLBAR_COMBO, 0, 0);
    EXPECT_FALSE(GetWindowLongPtrW(combo, GWL_STYLE) & WS_VISIBLE);
    Send(Wnd(), ZM_SHOW_TOOLBAR_COMBO, 1, 0);
    EXPECT_TRUE(GetWindowLongPtrW(combo, GWL_STYLE) & WS_VISIBLE);
    SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)L"Carabus");
    ASSERT_EQ(1, SendMessageW(combo, CB_GETCOUNT, 0, 0));
    Answer a = Send(Wnd(), ZM_RESET_TOOLBAR_COMBO, 0, 0);
    EXPECT_EQ(0, a.Sent);
    EXPECT_EQ(0, SendMessageW(combo, CB_GETCOUNT, 0, 0));

    // A rename reported by the database object empties it too.
    SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)L"Carabus");
    Send(Wnd(), ZM_REFRESH_TREE_CARD, ZM_TREE_SYS, host_->Ws()->SysCard->GetCurrentId());
    EXPECT_EQ(0, SendMessageW(combo, CB_GETCOUNT, 0, 0));
}

TEST_F(ProtocolRead, EnableViewCommandsRegroupsTheMainToolbar)
{
    HWND toolbar = host_->Form->Toolbar->Toolbar;
    Send(Wnd(), ZM_ENABLE_VIEW_COMMANDS, 1, ZM_VIEW_LIST_COMMANDS);
    EXPECT_FALSE(SendMessageW(toolbar, TB_ISBUTTONHIDDEN, 401, 0));
    EXPECT_TRUE(SendMessageW(toolbar, TB_ISBUTTONHIDDEN, 405, 0));
    EXPECT_TRUE(SendMessageW(toolbar, TB_ISBUTTONHIDDEN, 607, 0));
    EXPECT_TRUE(SendMessageW(toolbar, TB_GETSTATE, 404, 0) & TBSTATE_ENABLED);

    Send(Wnd(), ZM_ENABLE_VIEW_COMMANDS, 0, ZM_VIEW_MAP_COMMANDS);
    EXPECT_TRUE(SendMessageW(toolbar, TB_ISBUTTONHIDDEN, 401, 0));
    EXPECT_FALSE(SendMessageW(toolbar, TB_ISBUTTONHIDDEN, 405, 0));
    EXPECT_FALSE(SendMessageW(toolbar, TB_ISBUTTONHIDDEN, 607, 0));
    EXPECT_TRUE(SendMessageW(toolbar, TB_GETSTATE, 405, 0) & TBSTATE_INDETERMINATE);

    // Back to the tree card's grouping the other tests expect.
    Send(Wnd(), ZM_ENABLE_VIEW_COMMANDS, 1, ZM_VIEW_LIST_COMMANDS);
}

TEST_F(ProtocolRead, UpdateRecordToolbarFollowsSelectionAndTabAndMenu106)
{
    HWND records = host_->Form->RecordToolbar->Toolbar;
    HMENU bar = GetMenu(Wnd());
    ASSERT_EQ(TAB_SYSTEM, host_->Ws()->GetCurrentTab(Wnd()));
    Answer a = Send(Wnd(), ZM_UPDATE_RECORD_TOOLBAR, 1, 2);
    EXPECT_EQ(0, a.Slot);
    EXPECT_TRUE(SendMessageW(records, TB_GETSTATE, 2002, 0) & TBSTATE_INDETERMINATE);
    EXPECT_TRUE(SendMessageW(records, TB_GETSTATE, 2003, 0) & TBSTATE_ENABLED);
    // Printing is offered here once the print form offers it at all.
    auto printGrayed = [&] { return (GetMenuState(bar, 106, MF_BYCOMMAND) & MF_GRAYED) != 0; };
    EXPECT_EQ(!IsCommandAvailable(106), printGrayed());

    Send(Wnd(), ZM_UPDATE_RECORD_TOOLBAR, 0, 0);
    EXPECT_TRUE(SendMessageW(records, TB_GETSTATE, 2001, 0) & TBSTATE_INDETERMINATE);
    EXPECT_TRUE(GetMenuState(bar, 106, MF_BYCOMMAND) & MF_GRAYED);

    // The literature tab prints nothing.
    SendMessageW(host_->Tab, TCM_SETCURSEL, TAB_LITERATURE, 0);
    Send(Wnd(), ZM_UPDATE_RECORD_TOOLBAR, 1, 1);
    EXPECT_TRUE(SendMessageW(records, TB_GETSTATE, 2005, 0) & TBSTATE_INDETERMINATE);
    EXPECT_TRUE(GetMenuState(bar, 106, MF_BYCOMMAND) & MF_GRAYED);
    SendMessageW(host_->Tab, TCM_SETCURSEL, TAB_SYSTEM, 0);
    Send(Wnd(), ZM_UPDATE_RECORD_TOOLBAR, 1, 1);
    EXPECT_EQ(!IsCommandAvailable(106), printGrayed());
}

TEST_F(ProtocolRead, RefreshMapsAnswersTheWorkspacesResult)
{
    Answer a = Send(Wnd(), ZM_REFRESH_MAPS, 0, 0);
    EXPECT_EQ(1, a.Slot);
    EXPECT_EQ(1, a.Sent);
}

TEST_F(ProtocolRead, CriteriaTextIsNullWithoutASearchPage)
{
    char* text = reinterpret_cast<char*>(1);
    Send(Wnd(), ZM_GET_CRITERIA_TEXT, 0, (LPARAM)&text);
    EXPECT_EQ(nullptr, text);
}

TEST_F(ProtocolRead, ItemPathKeepsToTheSendersCapacity)
{
    int taxon = QueryInt(Path(), L"SELECT ID FROM SYSTREE WHERE SYSLEVEL = 5 ORDER BY ID LIMIT 1");
    char line[300];
    memset(line, '#', sizeof(line));
    ZmItemPathRequest request = {taxon, line, 200, nullptr, -1};
    Send(Wnd(), ZM_GET_ITEM_PATH, ZM_CARD_SYS, (LPARAM)&request);
    ASSERT_GT(request.Length, 0);
    EXPECT_EQ(request.Length, (int)strlen(line));
    std::string full(line);
    // The species name comes first.
    std::wstring wname = TextOf(Path(), L"SELECT NAME FROM SPECIES WHERE SYSID = " + std::to_wstring(taxon));
    char name[128];
    ZmNameToAnsi(wname.c_str(), name, 128);
    EXPECT_EQ(0u, full.find(name));

    // A line with 12 bytes left gets 11 and the terminator; nothing beyond.
    memset(line, '#', sizeof(line));
    ZmItemPathRequest tight = {taxon, line, 12, nullptr, -1};
    Send(Wnd(), ZM_GET_ITEM_PATH, ZM_CARD_SYS, (LPARAM)&tight);
    EXPECT_LE(tight.Length, 11);
    EXPECT_EQ(full.substr(0, (size_t)tight.Length), std::string(line));
    EXPECT_EQ('#', line[12]);

    int locality = QueryInt(Path(), L"SELECT ID FROM LOCTREE WHERE LOCLEVEL = 3 ORDER BY ID LIMIT 1");
    memset(line, '#', sizeof(line));
    ZmItemPathRequest loc = {locality, line, 136, nullptr, -1};
    Send(Wnd(), ZM_GET_ITEM_PATH, ZM_CARD_LOC, (LPARAM)&loc);
    EXPECT_GT(loc.Length, 0);
    EXPECT_LT(loc.Length, 136);
    EXPECT_EQ('#', line[136]);
}

TEST_F(ProtocolRead, RowByIdGivesAMallocdNameOrZero)
{
    Rows sp = Query(Path(), L"SELECT SYSID, NAME FROM SPECIES ORDER BY SYSID LIMIT 1");
    Answer a = Send(Wnd(), ZM_GET_ROW_BY_ID, ZM_NAMES_SPECIES, _wtoi(sp[0][0].c_str()));
    ASSERT_NE(0, a.Slot);
    EXPECT_EQ((LONG_PTR)a.Sent, a.Slot);  // the whole pointer both ways
    EXPECT_EQ(sp[0][1], std::wstring(reinterpret_cast<wchar_t*>(a.Slot)));
    free(reinterpret_cast<wchar_t*>(a.Slot));

    Rows ft = Query(Path(), L"SELECT LOCID, NAME FROM FEATURES ORDER BY LOCID LIMIT 1");
    a = Send(Wnd(), ZM_GET_ROW_BY_ID, ZM_NAMES_FEATURES, _wtoi(ft[0][0].c_str()));
    ASSERT_NE(0, a.Slot);
    EXPECT_EQ(ft[0][1], std::wstring(reinterpret_cast<wchar_t*>(a.Slot)));
    free(reinterpret_cast<wchar_t*>(a.Slot));

    Rows lit = Query(Path(), L"SELECT ID, NAME FROM LITERATURE ORDER BY ID LIMIT 1");
    a = Send(Wnd(), ZM_GET_ROW_BY_ID, ZM_NAMES_LITERATURE, _wtoi(lit[0][0].c_str()));
    ASSERT_NE(0, a.Slot);
    EXPECT_EQ(lit[0][1], std::wstring(reinterpret_cast<wchar_t*>(a.Slot)));
    free(reinterpret_cast<wchar_t*>(a.Slot));

    EXPECT_EQ(0, Dispatch(*host_, ZM_GET_ROW_BY_ID, 3, 1, 1).Slot);
}

TEST_F(ProtocolRead, CurrentItemNameIsTheCardsItemIn8Bits)
{
    Rows sp = Query(Path(), L"SELECT SYSID, NAME FROM SPECIES ORDER BY SYSID DESC LIMIT 1");
    int taxon = _wtoi(sp[0][0].c_str());
    Send(Wnd(), ZM_GOTO_TREE_ITEM, 0, taxon);
    ASSERT_EQ(taxon, host_->Ws()->SysCard->GetCurrentId());
    char buffer[kZmItemNameBytes + 8];
    memset(buffer, '#', sizeof(buffer));
    Send(Wnd(), ZM_GET_CURRENT_ITEM_NAME, ZM_CARD_SYS, (LPARAM)buffer);
    char expected[kZmItemNameBytes];
    WideCharToMultiByte(CP_ACP, 0, sp[0][1].c_str(), -1, expected, kZmItemNameBytes, nullptr, nullptr);
    EXPECT_STREQ(expected, buffer);
    EXPECT_EQ('#', buffer[kZmItemNameBytes]);

    Rows ft = Query(Path(), L"SELECT LOCID, NAME FROM FEATURES ORDER BY LOCID DESC LIMIT 1");
    Send(Wnd(), ZM_GOTO_TREE_ITEM, 1, _wtoi(ft[0][0].c_str()));
    Send(Wnd(), ZM_GET_CURRENT_ITEM_NAME, ZM_CARD_LOC, (LPARAM)buffer);
    WideCharToMultiByte(CP_ACP, 0, ft[0][1].c_str(), -1, expected, kZmItemNameBytes, nullptr, nullptr);
    EXPECT_STREQ(expected, buffer);

    // Another kind leaves the buffer alone.
    strcpy(buffer, "beze změny");
    Send(Wnd(), ZM_GET_CURRENT_ITEM_NAME, 2, (LPARAM)buffer);
    EXPECT_STREQ("beze změny", buffer);
}

TEST_F(ProtocolRead, RecordsetsOfTheTablesAreBorrowedOrZero)
{
    Answer sys = Send(Wnd(), ZM_GET_RECORDSET, ZM_RS_SYSTREE, 0);
    EXPECT_EQ((LONG_PTR)host_->Db()->GetSysTreeRs(), sys.Slot);
    EXPECT_EQ((LONG_PTR)host_->Db()->GetLocTreeRs(), Send(Wnd(), ZM_GET_RECORDSET, ZM_RS_LOCTREE, 0).Slot);
    for (int kind = ZM_RS_LITAUTHORS; kind <= ZM_RS_KEYWORDS; kind++) {
        Answer a = Send(Wnd(), ZM_GET_RECORDSET, kind, 0);
        EXPECT_NE(0, a.Slot) << kind;
        EXPECT_EQ(a.Slot, Send(Wnd(), ZM_GET_RECORDSET, kind, 0).Slot) << kind;  // the same one
    }
    EXPECT_EQ(0, Dispatch(*host_, ZM_GET_RECORDSET, 7, 0, 1).Slot);
}

TEST_F(ProtocolRead, RecordAndLiteratureAttributesFillThePropertyBox)
{
    RegisterPlexaW(PLEXA_ALLCLASSES);
    HWND box = CreateWindowExW(0, L"PROPERTYBOX", L"", WS_CHILD, 0, 0, 200, 200, Wnd(), nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(box != nullptr);
    Send(Wnd(), ZM_FILL_RECORD_ATTRS, 0, (LPARAM)box);
    EXPECT_EQ(host_->Db()->GetRecordAttrs()->GetCount(),
              (int)SendMessageW(box, PBXM_GETCOUNT, (WPARAM)-1, 0));
    SendMessageW(box, PBXM_RESETCONTENT, 0, 0);
    Send(Wnd(), ZM_FILL_LIT_ATTRS, 0, (LPARAM)box);
    // The literature's own columns (year, number, volume, pages) come with its attributes.
    EXPECT_EQ(host_->Db()->LiteratureAttrs->GetCount(),
              (int)SendMessageW(box, PBXM_GETCOUNT, (WPARAM)-1, 0));
    EXPECT_GT(host_->Db()->LiteratureAttrs->GetCount(),
              QueryInt(Path(), L"SELECT COUNT(*) FROM CUSTOMATTRIBUTES WHERE TABLENAME = 'LITERATURE'"));
    DestroyWindow(box);
}

TEST_F(ProtocolRead, FilterNamesByPrefixFillsTheDialogsCombo)
{
    std::wstring name = TextOf(Path(), L"SELECT NAME FROM SPECIES ORDER BY NAME DESC LIMIT 1");
    std::wstring prefix = name.substr(0, 2);
    HWND combo = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | CBS_DROPDOWN, 0, 0, 100, 100,
                                 Wnd(), nullptr, GetModuleHandleW(nullptr), nullptr);
    ZmNamePrefixRequest request = {combo, prefix.c_str()};
    Send(Wnd(), ZM_FILTER_NAMES_BY_PREFIX, ZM_NAMES_SPECIES, (LPARAM)&request);
    EXPECT_EQ(QueryInt(Path(), L"SELECT COUNT(*) FROM SPECIES WHERE NAME LIKE '" + prefix + L"%'"),
              SendMessageW(combo, CB_GETCOUNT, 0, 0));
    // Another list number fills nothing.
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    Send(Wnd(), ZM_FILTER_NAMES_BY_PREFIX, 3, (LPARAM)&request);
    EXPECT_EQ(0, SendMessageW(combo, CB_GETCOUNT, 0, 0));
    // An empty prefix (a record without a publication) lists every publication that fits.
    long long publications = QueryInt(Path(), L"SELECT COUNT(*) FROM LITERATURE");
    ASSERT_GT(publications, 1);
    ASSERT_LE(publications, 127);
    ZmNamePrefixRequest none = {combo, L""};
    Send(Wnd(), ZM_FILTER_NAMES_BY_PREFIX, ZM_NAMES_LITERATURE, (LPARAM)&none);
    EXPECT_EQ(publications, SendMessageW(combo, CB_GETCOUNT, 0, 0));
    DestroyWindow(combo);
}

TEST_F(ProtocolRead, ShowItemInfoFillsTheCardsPanelAndAnswersFalse)
{
    Rows sp = Query(Path(), L"SELECT SYSID, NAME FROM SPECIES ORDER BY SYSID LIMIT 1");
    HINSTANCE inst = GetModuleHandleW(nullptr);
    HWND title = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 300, 20, Wnd(), nullptr, inst, nullptr);
    HWND picture = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | SS_BITMAP, 0, 0, 90, 90, Wnd(), nullptr, inst, nullptr);
    InfoPanelRequest request = {};
    request.ItemId = _wtoi(sp[0][0].c_str());
    request.NameControl = title;
    request.PictureControl = picture;
    request.PictureHeight = 90;
    request.InfoLineCount = 0;
    request.InfoLines = nullptr;
    Answer a = Send(Wnd(), ZM_SHOW_ITEM_INFO, ZM_TREE_SYS, (LPARAM)&request);
    EXPECT_EQ(0, a.Sent);
    wchar_t text[256] = L"";
    GetWindowTextW(title, text, 256);
    EXPECT_EQ(0u, std::wstring(text).find(sp[0][1])) << text;

    Rows ft = Query(Path(), L"SELECT LOCID, NAME FROM FEATURES ORDER BY LOCID LIMIT 1");
    request.ItemId = _wtoi(ft[0][0].c_str());
    Send(Wnd(), ZM_SHOW_ITEM_INFO, 2, (LPARAM)&request);
    GetWindowTextW(title, text, 256);
    EXPECT_EQ(0u, std::wstring(text).find(ft[0][1])) << text;
    DestroyWindow(title);
    DestroyWindow(picture);
}

TEST(ProtocolText, NamesAreCutToTheBufferAndTerminated)
{
    char buffer[128];
    memset(buffer, '#', sizeof(buffer));
    std::wstring longName(200, L'a');
    EXPECT_EQ(127, ZmNameToAnsi(longName.c_str(), buffer, 128));
    EXPECT_EQ('\0', buffer[127]);
    EXPECT_EQ(std::string(127, 'a'), std::string(buffer));
    EXPECT_EQ(5, ZmNameToAnsi(L"Druh ", buffer, 128));
    EXPECT_STREQ("Druh ", buffer);
    EXPECT_EQ(0, ZmNameToAnsi(nullptr, buffer, 128));
    EXPECT_STREQ("", buffer);
}

// ---- writes ----

TEST_F(ProtocolWrite, RenameAnswersOneThenARefusedRenameAnswersZero)
{
    int taxon = QueryInt(Path(), L"SELECT ID FROM SYSTREE WHERE SYSLEVEL = 2 ORDER BY ID LIMIT 1");
    TreeItemData data = {};
    data.Id = taxon;
    wchar_t name[] = L"Nová čeleď";
    NMTVDISPINFOW info = {};
    info.item.mask = TVIF_TEXT | TVIF_PARAM;
    info.item.pszText = name;
    info.item.lParam = (LPARAM)&data;
    Answer ok = Send(Wnd(), ZM_RENAME_TREE_ITEM, ZM_TREE_SYS, (LPARAM)&info);
    EXPECT_EQ(1, ok.Slot);
    EXPECT_EQ(1, ok.Sent);
    EXPECT_EQ(L"Nová čeleď", TextOf(Path(), L"SELECT NAME FROM SYSTREE WHERE ID = " + std::to_wstring(taxon)));

    // A cancelled edit (no text), another kind, and an item that is not stored: each reads 0
    // right after the success above, also straight from the handler with 1 left in the slot.
    NMTVDISPINFOW cancelled = info;
    cancelled.item.pszText = nullptr;
    EXPECT_EQ(0, Send(Wnd(), ZM_RENAME_TREE_ITEM, ZM_TREE_SYS, (LPARAM)&cancelled).Slot);
    EXPECT_EQ(0, Dispatch(host_, ZM_RENAME_TREE_ITEM, ZM_TREE_SYS, (LPARAM)&cancelled, 1).Slot);
    EXPECT_EQ(0, Dispatch(host_, ZM_RENAME_TREE_ITEM, 3, (LPARAM)&info, 1).Slot);
    TreeItemData missing = {};
    missing.Id = 987654;
    NMTVDISPINFOW refused = info;
    refused.item.lParam = (LPARAM)&missing;
    EXPECT_EQ(0, Dispatch(host_, ZM_RENAME_TREE_ITEM, ZM_TREE_SYS, (LPARAM)&refused, 1).Slot);
}

TEST_F(ProtocolWrite, RenameFindsTheItemDataThroughTheTreeWhenTheBlockLacksIt)
{
    int locality = QueryInt(Path(), L"SELECT ID FROM LOCTREE WHERE LOCLEVEL = 2 ORDER BY ID LIMIT 1");
    HWND tree = host_.Ws()->LocCard->GetTreeView();
    Send(Wnd(), ZM_GOTO_TREE_ITEM, 1, locality);
    ASSERT_EQ(locality, SelectedTreeId(tree));
    wchar_t name[] = L"Okres Nový";
    NMTVDISPINFOW info = {};
    info.hdr.hwndFrom = tree;
    info.hdr.code = TVN_ENDLABELEDITW;
    info.item.mask = TVIF_TEXT;
    info.item.hItem = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    info.item.pszText = name;
    EXPECT_EQ(1, Send(Wnd(), ZM_RENAME_TREE_ITEM, ZM_TREE_LOC, (LPARAM)&info).Slot);
    EXPECT_EQ(L"Okres Nový", TextOf(Path(), L"SELECT NAME FROM LOCTREE WHERE ID = " + std::to_wstring(locality)));
}

TEST_F(ProtocolWrite, MoveTreeItemsAnswersOneOrZero)
{
    Rows two = Query(Path(), L"SELECT ID, PARENT FROM SYSTREE WHERE SYSLEVEL = 4 ORDER BY ID LIMIT 1");
    ASSERT_EQ(1u, two.size());
    int item = _wtoi(two[0][0].c_str());
    int oldParent = _wtoi(two[0][1].c_str());
    int target = QueryInt(Path(), L"SELECT ID FROM SYSTREE WHERE SYSLEVEL = 3 AND ID <> " +
                                      std::to_wstring(oldParent) + L" ORDER BY ID LIMIT 1");
    std::vector<unsigned char> storage(ZmIdBlockSize(1));
    ZmIdBlock* block = reinterpret_cast<ZmIdBlock*>(storage.data());
    block->Count = 1;
    block->TargetId = target;
    block->Ids[0] = item;
    HWND combo = host_.Form->Toolbar->Combo;
    SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)L"Carabus");
    Answer a = Send(Wnd(), ZM_MOVE_TREE_ITEMS, ZM_TREE_SYS, (LPARAM)block);
    EXPECT_EQ(1, a.Slot);
    EXPECT_EQ(0, SendMessageW(combo, CB_GETCOUNT, 0, 0));  // its names may have moved
    EXPECT_EQ(target, QueryInt(Path(), L"SELECT PARENT FROM SYSTREE WHERE ID = " + std::to_wstring(item)));
    // Another kind does nothing and reads 0 after the success.
    EXPECT_EQ(0, Dispatch(host_, ZM_MOVE_TREE_ITEMS, 5, (LPARAM)block, 1).Slot);
    block->Count = 0;
    EXPECT_EQ(0, Dispatch(host_, ZM_MOVE_TREE_ITEMS, ZM_TREE_SYS, (LPARAM)block, 1).Slot);
}

TEST_F(ProtocolWrite, ReassignRecordsMovesThemAndRefreshes)
{
    Rows rec = Query(Path(), L"SELECT ID, SYSID FROM ZORNACOLLS ORDER BY ID LIMIT 1");
    int record = _wtoi(rec[0][0].c_str());
    int oldTaxon = _wtoi(rec[0][1].c_str());
    int target = QueryInt(Path(), L"SELECT SYSID FROM SPECIES WHERE SYSID <> " + std::to_wstring(oldTaxon) +
                                      L" ORDER BY SYSID LIMIT 1");
    std::vector<unsigned char> storage(ZmIdBlockSize(1));
    ZmIdBlock* block = reinterpret_cast<ZmIdBlock*>(storage.data());
    block->Count = 1;
    block->TargetId = target;
    block->Ids[0] = record;
    Answer a = Send(Wnd(), ZM_REASSIGN_RECORDS, ZM_TREE_SYS, (LPARAM)block);
    EXPECT_EQ(0, a.Slot);  // no result
    EXPECT_EQ(target, QueryInt(Path(), L"SELECT SYSID FROM ZORNACOLLS WHERE ID = " + std::to_wstring(record)));
}

TEST_F(ProtocolWrite, ReorderPutsTheTaxonAtItsPlaceAndTheTreeFollows)
{
    // A parent with at least three children, shown in the tree.
    int parent = QueryInt(Path(), L"SELECT PARENT FROM SYSTREE WHERE PARENT <> 0 GROUP BY PARENT "
                                  L"HAVING COUNT(*) >= 3 ORDER BY PARENT LIMIT 1");
    ASSERT_GT(parent, 0);
    Rows kids = Query(Path(), L"SELECT ID FROM SYSTREE WHERE PARENT = " + std::to_wstring(parent) +
                                  L" ORDER BY SYSPOS");
    int last = _wtoi(kids.back()[0].c_str());
    HWND tree = host_.Ws()->SysCard->GetTreeView();
    Send(Wnd(), ZM_GOTO_TREE_ITEM, 0, last);
    ASSERT_EQ(last, SelectedTreeId(tree));

    Answer a = Send(Wnd(), ZM_REORDER_SYS_ITEM, 1, last);
    EXPECT_EQ(0, a.Slot);
    // Stored first, and the tree's children of that parent follow the stored order (the
    // database object's ZM_RESELECT_SYS_ITEM re-sorted them).
    Rows now = Query(Path(), L"SELECT ID FROM SYSTREE WHERE PARENT = " + std::to_wstring(parent) +
                                 L" ORDER BY SYSPOS");
    EXPECT_EQ(last, _wtoi(now[0][0].c_str()));
    HTREEITEM parentItem = FindTreeItemById(parent, tree, nullptr);
    ASSERT_TRUE(parentItem != nullptr);
    HTREEITEM child = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)parentItem);
    for (size_t i = 0; i < now.size() && child; i++) {
        EXPECT_EQ(_wtoi(now[i][0].c_str()), GetTreeItemData(tree, child)->Id) << i;
        child = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)child);
    }
    EXPECT_EQ(last, SelectedTreeId(tree));
}

TEST_F(ProtocolWrite, CreateTreeItemAlwaysAnswersZero)
{
    NMTVDISPINFOW info = {};
    wchar_t name[] = L"Nový";
    info.item.pszText = name;
    EXPECT_EQ(0, Dispatch(host_, ZM_CREATE_TREE_ITEM, ZM_TREE_SYS, (LPARAM)&info, 1).Slot);
    EXPECT_EQ(0, Dispatch(host_, ZM_CREATE_TREE_ITEM, ZM_TREE_LOC, (LPARAM)&info, 1).Slot);
    EXPECT_EQ(0, Dispatch(host_, ZM_CREATE_TREE_ITEM, 7, (LPARAM)&info, 1).Slot);
    EXPECT_EQ(0, Send(Wnd(), ZM_CREATE_TREE_ITEM, ZM_TREE_SYS, (LPARAM)&info).Sent);
}

TEST_F(ProtocolWrite, DeleteTreeItemAnswersOneOrZeroAfterItsMessage)
{
    // A new genus (no children, no records, no data row) made through ZM_SAVE_TREE_ITEM goes;
    // an item with children is refused with a message.
    int family = QueryInt(Path(), L"SELECT ID FROM SYSTREE WHERE SYSLEVEL = 2 ORDER BY ID LIMIT 1");
    TreeItemRecord item;
    memset(&item, 0, sizeof(item));
    item.Flags = TREEITEM_NEW_TAXON;
    item.Id = -1;
    item.LevelId = 3;
    lstrcpynW(item.Name, L"Novorod", 64);
    item.Pictures = new CPtrArray(PTRARRAY_OWNS_ITEMS, 4, 4);
    item.Values = new CPtrArray(PTRARRAY_OWNS_ITEMS, 16, 8);
    EXPECT_EQ(1, Send(Wnd(), ZM_SAVE_TREE_ITEM, (WPARAM)family, (LPARAM)&item).Slot);
    int leaf = item.Id;
    delete item.Pictures;
    delete item.Values;
    ASSERT_GT(leaf, 0);
    ASSERT_EQ(family, QueryInt(Path(), L"SELECT PARENT FROM SYSTREE WHERE ID = " + std::to_wstring(leaf)));
    Answer a = Send(Wnd(), ZM_DELETE_TREE_ITEM, ZM_TREE_SYS, leaf);
    EXPECT_EQ(1, a.Slot);
    EXPECT_EQ(1, a.Sent);
    EXPECT_EQ(0, QueryInt(Path(), L"SELECT COUNT(*) FROM SYSTREE WHERE ID = " + std::to_wstring(leaf)));

    int parent = QueryInt(Path(), L"SELECT PARENT FROM SYSTREE WHERE PARENT <> 0 ORDER BY ID LIMIT 1");
    wintest::MsgBoxRecorder boxes;
    Direct refused = Dispatch(host_, ZM_DELETE_TREE_ITEM, ZM_TREE_SYS, parent, 1);
    EXPECT_EQ(0, refused.Slot);
    EXPECT_FALSE(boxes.Boxes().empty());
    EXPECT_EQ(1, QueryInt(Path(), L"SELECT COUNT(*) FROM SYSTREE WHERE ID = " + std::to_wstring(parent)));
    EXPECT_EQ(0, Dispatch(host_, ZM_DELETE_TREE_ITEM, 0, leaf, 1).Slot);
}

TEST_F(ProtocolWrite, TreeItemLoadsAndSavesThroughTheMessages)
{
    int taxon = QueryInt(Path(), L"SELECT SYSID FROM SPECIES ORDER BY SYSID LIMIT 1");
    TreeItemRecord item;
    memset(&item, 0, sizeof(item));
    item.Flags = TREEITEM_EDIT_TAXON;
    item.Id = taxon;
    item.Pictures = new CPtrArray(PTRARRAY_OWNS_ITEMS, 4, 4);
    item.Values = new CPtrArray(PTRARRAY_OWNS_ITEMS, 16, 8);
    Send(Wnd(), ZM_LOAD_TREE_ITEM, ZM_TREE_SYS, (LPARAM)&item);
    EXPECT_EQ(TextOf(Path(), L"SELECT NAME FROM SYSTREE WHERE ID = " + std::to_wstring(taxon)),
              std::wstring(item.Name));
    // The item dialog knows the item's level; the save asks ZM_FIND_LEVEL whether it is a data
    // level, which keeps the SPECIES row.
    item.LevelId = QueryInt(Path(), L"SELECT SYSLEVEL FROM SYSTREE WHERE ID = " + std::to_wstring(taxon));
    lstrcpynW(item.Author, L"Novák", 64);
    Answer saved = Send(Wnd(), ZM_SAVE_TREE_ITEM, (WPARAM)-1, (LPARAM)&item);
    EXPECT_EQ(1, saved.Slot);
    EXPECT_EQ(L"Novák", TextOf(Path(), L"SELECT AUTHOR FROM SPECIES WHERE SYSID = " + std::to_wstring(taxon)));
    FreeValues(item.Values);
    for (int i = 0; i < item.Pictures->GetCount(); i++) {
        ItemPicture* picture = static_cast<ItemPicture*>(item.Pictures->GetItems()[i]);
        VariantClear(&picture->Picture);
        VariantClear(&picture->Note);
        if (picture->Bitmap)
            DeleteObject(picture->Bitmap);
    }
    delete item.Pictures;
    VariantClear(&item.Year);
    VariantClear(&item.IconLarge);
    VariantClear(&item.IconSmall);
    VariantClear(&item.IconOpen);
}

TEST_F(ProtocolWrite, RecordLoadsFromTheListInFrontAndSaves)
{
    ASSERT_EQ(TAB_SYSTEM, host_.Ws()->GetCurrentTab(Wnd()));
    int taxon = QueryInt(Path(), L"SELECT SYSID FROM ZORNACOLLS GROUP BY SYSID ORDER BY COUNT(*) DESC LIMIT 1");
    ListQuery query = {ZM_LIST_TAXON_RECORDS, taxon, nullptr, 0, 0, 0, nullptr};
    Send(Wnd(), ZM_QUERY_RECORD_LIST, 90, (LPARAM)&query);
    ASSERT_GT(query.RowCount, 0);
    Rows rec = Query(Path(), L"SELECT ID, FTRID FROM ZORNACOLLS WHERE SYSID = " + std::to_wstring(taxon) +
                                 L" ORDER BY ID LIMIT 1");
    int id = _wtoi(rec[0][0].c_str());
    OccurrenceRecord record;
    memset(&record, 0, sizeof(record));
    record.Mode = RECORD_MODE_EDIT;
    record.Id = id;
    record.LitId = -1;
    VariantInit(&record.Note);
    record.Values = new CPtrArray(PTRARRAY_OWNS_ITEMS, 32, 8);
    Send(Wnd(), ZM_LOAD_RECORD, 0, (LPARAM)&record);
    EXPECT_EQ(taxon, record.SysId);
    EXPECT_EQ(_wtoi(rec[0][1].c_str()), record.FtrId);
    VariantClear(&record.Note);
    record.Note.vt = VT_BSTR;
    record.Note.bstrVal = SysAllocString(L"Ověřeno v terénu");
    Answer saved = Send(Wnd(), ZM_SAVE_RECORD, 0, (LPARAM)&record);
    EXPECT_EQ(1, saved.Slot);
    EXPECT_EQ(L"Ověřeno v terénu", TextOf(Path(), L"SELECT RECNOTE FROM ZORNACOLLS WHERE ID = " + std::to_wstring(id)));
    FreeValues(record.Values);
    VariantClear(&record.Note);
}

TEST_F(ProtocolWrite, DeleteRecordsTakesAnIdArrayAndAnswersItsStatus)
{
    Rows two = Query(Path(), L"SELECT ID FROM ZORNACOLLS ORDER BY ID LIMIT 2");
    CIntArray ids(32, 8);
    ids.Add(_wtoi(two[0][0].c_str()));
    ids.Add(_wtoi(two[1][0].c_str()));
    int before = QueryInt(Path(), L"SELECT COUNT(*) FROM ZORNACOLLS");
    EXPECT_EQ(0, Dispatch(host_, ZM_DELETE_RECORDS, 2, (LPARAM)&ids, 1).Slot);
    EXPECT_EQ(before, QueryInt(Path(), L"SELECT COUNT(*) FROM ZORNACOLLS"));
    Answer a = Send(Wnd(), ZM_DELETE_RECORDS, ZM_DELETE_RECORD_ROWS, (LPARAM)&ids);
    EXPECT_EQ(1, a.Slot);
    EXPECT_EQ(before - 2, QueryInt(Path(), L"SELECT COUNT(*) FROM ZORNACOLLS"));

    // One that no record cites: a cited publication is refused.
    zor::RawOdbc raw;
    ASSERT_TRUE(raw.Open(Path(), false));
    ASSERT_TRUE(raw.Exec(L"INSERT INTO LITERATURE (NAME) VALUES ('Nikým necitovaná')"));
    int lit = (int)raw.QueryInt(L"SELECT MAX(ID) FROM LITERATURE");
    raw.Close();
    CIntArray litIds(32, 8);
    litIds.Add(lit);
    EXPECT_EQ(1, Send(Wnd(), ZM_DELETE_RECORDS, ZM_DELETE_LITERATURE_ROWS, (LPARAM)&litIds).Slot);
    EXPECT_EQ(0, QueryInt(Path(), L"SELECT COUNT(*) FROM LITERATURE WHERE ID = " + std::to_wstring(lit)));
}

TEST_F(ProtocolWrite, LiteratureLoadsAndSavesThroughTheMessages)
{
    ListQuery query = {ZM_LIST_LITERATURE, -1, nullptr, 0, 0, 0, nullptr};
    Send(Wnd(), ZM_QUERY_RECORD_LIST, 90, (LPARAM)&query);
    ASSERT_GT(query.RowCount, 0);
    Rows lit = Query(Path(), L"SELECT ID, NAME FROM LITERATURE ORDER BY ID LIMIT 1");
    LiteratureRecord record;
    memset(&record, 0, sizeof(record));
    record.Mode = 2;
    record.Id = _wtoi(lit[0][0].c_str());
    record.Values = new CPtrArray(PTRARRAY_OWNS_ITEMS, 32, 8);
    record.Authors = new CPtrArray(PTRARRAY_OWNS_ITEMS, 32, 8);
    record.Keywords = new CPtrArray(PTRARRAY_OWNS_ITEMS, 32, 8);
    record.SpeciesIds = new CIntArray(32, 8);
    record.LocalityIds = new CIntArray(32, 8);
    VariantInit(&record.Abstract);
    Send(Wnd(), ZM_LOAD_LITERATURE, 0, (LPARAM)&record);
    EXPECT_EQ(lit[0][1], std::wstring(record.Title));
    lstrcpynW(record.Title, L"Nový název práce", 256);
    Answer saved = Send(Wnd(), ZM_SAVE_LITERATURE, 0, (LPARAM)&record);
    EXPECT_EQ(1, saved.Slot);
    EXPECT_EQ(L"Nový název práce", TextOf(Path(), L"SELECT NAME FROM LITERATURE WHERE ID = " + lit[0][0]));
    FreeValues(record.Values);
    delete record.Authors;
    delete record.Keywords;
    delete record.SpeciesIds;
    delete record.LocalityIds;
    VariantClear(&record.Abstract);
}

TEST_F(ProtocolWrite, EditLookupTableRenamesAValueInPlace)
{
    int index = (int)Send(Wnd(), ZM_GET_LOOKUP_VALUES, LOOKUP_ZORNACOLLS, (LPARAM)L"METODA").Slot;
    ASSERT_NE(kLookupNotAvailable, index);
    wchar_t first[80] = L"";
    ZmTextRequest r = {first, 80, 0};
    Send(Wnd(), ZM_GET_LOOKUP_TEXT, MAKEWPARAM(index, 0), (LPARAM)&r);
    LookupEdit edit = {};
    edit.Kind = LOOKUP_ZORNACOLLS;
    edit.ValueOps = 0;
    edit.ColumnFlags = LOOKUP_WRITE_NAME;
    edit.Row = 1;
    edit.FieldName = L"METODA";
    edit.NewName = L"Světelný lapač 2026";
    edit.ExistingIndex = -1;
    Answer a = Send(Wnd(), ZM_EDIT_LOOKUP_TABLE, 0, (LPARAM)&edit);
    EXPECT_EQ(1, a.Slot);
    EXPECT_EQ(1, QueryInt(Path(), L"SELECT COUNT(*) FROM ZOR_METODA WHERE NAME = 'Světelný lapač 2026'"));
    EXPECT_EQ(0, QueryInt(Path(), L"SELECT COUNT(*) FROM ZOR_METODA WHERE NAME = '" + std::wstring(first) + L"'"));
}

TEST_F(ProtocolWrite, DatabaseOpenedAnswersTrueAfterAFullLoad)
{
    Direct d = Dispatch(host_, ZM_DB_OPENED, 0, 0, 1);
    EXPECT_TRUE(d.Handled);
    EXPECT_EQ(TRUE, d.Proc);
    EXPECT_EQ(0, d.Slot);
    EXPECT_EQ(host_.Db()->GetSysTreeRs() != nullptr, true);
}

TEST(ProtocolOpening, DatabaseOpenedAnswersFalseWhenNothingOpened)
{
    Host host;
    std::wstring missing = wintest::MakeTempFolder(L"protocol_missing") + L"\\Neni.mdb";
    ASSERT_TRUE(host.Start(missing));
    ASSERT_FALSE(host.Db()->IsOpen());
    wintest::MsgBoxRecorder boxes;
    Direct d = Dispatch(host, ZM_DB_OPENED, 0, 0, 1);
    EXPECT_TRUE(d.Handled);
    EXPECT_EQ(FALSE, d.Proc);
    EXPECT_EQ(0, d.Slot);
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ(L"Databáze nemohla být otevřena\n\n" + zdata::OpenRefusalText(zdata::RefusalKind::CannotOpen, missing),
              boxes.Boxes()[0].text);
    host.Close();
}

TEST_F(ProtocolWrite, RefreshListsRequeriesTheCardsRecordList)
{
    int taxon = QueryInt(Path(), L"SELECT SYSID FROM ZORNACOLLS GROUP BY SYSID ORDER BY COUNT(*) DESC LIMIT 1");
    Send(Wnd(), ZM_GOTO_TREE_ITEM, 0, taxon);
    HWND list = host_.Ws()->GetRecordList(WS_SYS_CARD);
    int shown = (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
    ASSERT_EQ(QueryInt(Path(), L"SELECT COUNT(*) FROM ZORNACOLLS WHERE SYSID = " + std::to_wstring(taxon)), shown);
    CIntArray ids(32, 8);
    ids.Add(QueryInt(Path(), L"SELECT ID FROM ZORNACOLLS WHERE SYSID = " + std::to_wstring(taxon) + L" LIMIT 1"));
    ASSERT_EQ(1, Send(Wnd(), ZM_DELETE_RECORDS, ZM_DELETE_RECORD_ROWS, (LPARAM)&ids).Slot);
    Answer a = Send(Wnd(), ZM_REFRESH_LISTS, 0, 0);
    EXPECT_EQ(0, a.Slot);
    EXPECT_EQ(shown - 1, (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

TEST_F(ProtocolWrite, ConfigChangedReappliesFieldsAndCounts)
{
    HWND list = host_.Ws()->GetRecordList(WS_SYS_CARD);
    HWND header = (HWND)SendMessageW(list, LVM_GETHEADER, 0, 0);
    CObjArray* fields = host_.Form->Config->SysFields;
    int visible = 0;
    CDispField* firstShown = nullptr;
    for (int i = 0; i < fields->GetCount(); i++) {
        CDispField* d = static_cast<CDispField*>(fields->GetItems()[i]);
        if (d->Visible) {
            visible++;
            if (!firstShown)
                firstShown = d;
        }
    }
    ASSERT_TRUE(firstShown != nullptr);
    // Column 0 is the list's own narrow column; each shown field adds one.
    ASSERT_EQ(visible + 1, (int)SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    // One field fewer shown: the list loses a column on the next configuration change.
    firstShown->Visible = 0;
    Answer a = Send(Wnd(), ZM_CONFIG_CHANGED, 0, 0);
    EXPECT_EQ(0, a.Sent);  // no result: the slot holds 0, not a previous message's value
    EXPECT_EQ(0, a.Slot);
    EXPECT_EQ(visible, (int)SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
}

}  // namespace
