// The search described for the report: the checked items of a real check-box tree view by
// level, the criteria lines, and the RTF escaping, checked by streaming the text into a real
// RichEdit 2.0 control and reading back what it shows.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "browse/searchtree.h"
#include "search/searchvalues.h"
#include "core/attrdef.h"
#include "core/containers.h"
#include "core/fields.h"
#include "core/leveldefs.h"
#include "core/textutil.h"
#include "core/treefill.h"
#include "reports/rtftext.h"
#include "reports/searchdesc.h"
#include "tests/search/searchentry.h"

namespace {

const NumberSeparators kCzech = {L',', L'\u00A0'};

std::string Take(char* text)
{
    std::string s = text ? text : "";
    free(text);
    return s;
}

// A check-box tree like the search page's: items carry TreeItemData with the raw level id.
class CheckTree
{
public:
    CheckTree()
    {
        Wnd = CreateWindowExW(0, WC_TREEVIEWW, L"", WS_POPUP | TVS_HASLINES | TVS_HASBUTTONS, 0, 0, 200, 200,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(Wnd, GWL_STYLE, GetWindowLongPtrW(Wnd, GWL_STYLE) | TVS_CHECKBOXES);
        Levels.Add(NewLevel(1, L"Čeleď", 0));
        Levels.Add(NewLevel(2, L"Rod", 0));
        Levels.Add(NewLevel(3, L"Druh", 1));
        Levels.Add(NewLevel(4, L"Poddruh", 1));
    }
    ~CheckTree()
    {
        ClearTree(Wnd);
        DestroyWindow(Wnd);
    }
    HTREEITEM Add(HTREEITEM parent, const wchar_t* text, int level, int id)
    {
        TreeItemData* data = static_cast<TreeItemData*>(calloc(1, sizeof(TreeItemData)));
        data->Id = id;
        data->Level.Id = level;
        TVINSERTSTRUCTW ins = {};
        ins.hParent = parent ? parent : TVI_ROOT;
        ins.hInsertAfter = TVI_LAST;
        ins.item.mask = TVIF_TEXT | TVIF_PARAM;
        ins.item.pszText = const_cast<wchar_t*>(text);
        ins.item.lParam = reinterpret_cast<LPARAM>(data);
        return reinterpret_cast<HTREEITEM>(SendMessageW(Wnd, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
    }
    static LevelDef* NewLevel(int id, const wchar_t* name, int data)
    {
        LevelDef* def = static_cast<LevelDef*>(calloc(1, sizeof(LevelDef)));
        def->LevelId = id;
        CopyWideBounded(name, def->Name, 64);
        def->DataLevel = data;
        return def;
    }
    HWND Wnd;
    CPtrArray Levels{PTRARRAY_OWNS_ITEMS, 16, 4};
};

// What a RichEdit 2.0 control shows for a report body holding the description.
std::wstring ShownByRichEdit(const std::string& body)
{
    static HMODULE library = LoadLibraryW(L"RICHED20.DLL");
    EXPECT_TRUE(library);
    HWND edit = CreateWindowExW(0, RICHEDIT_CLASSW, L"", WS_POPUP | ES_MULTILINE, 0, 0, 300, 300, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    std::string rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset1 Arial;}}\\plain\\f0 " + body + "}";
    struct Cookie {
        const std::string* text;
        size_t at;
    } cookie = {&rtf, 0};
    EDITSTREAM stream = {};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&cookie);
    stream.pfnCallback = [](DWORD_PTR c, LPBYTE buffer, LONG size, LONG* read) -> DWORD {
        Cookie* k = reinterpret_cast<Cookie*>(c);
        LONG n = static_cast<LONG>(std::min<size_t>(static_cast<size_t>(size), k->text->size() - k->at));
        memcpy(buffer, k->text->data() + k->at, static_cast<size_t>(n));
        k->at += static_cast<size_t>(n);
        *read = n;
        return 0;
    };
    SendMessageW(edit, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
    int length = GetWindowTextLengthW(edit);
    std::vector<wchar_t> text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(edit, text.data(), length + 1);
    DestroyWindow(edit);
    return text.data();
}

std::string Describe(SearchEntry& e, const CustomAttrDef* def, const wchar_t* caption = L"Počet")
{
    e.Def(def);
    return DescribeCriterion(e.Entry, caption, kCzech, nullptr);
}

}  // namespace

TEST(SearchDescription, TreeSelectionByLevelWithFullNames)
{
    CheckTree t;
    HTREEITEM family = t.Add(nullptr, L"Paridae", 1, 1);
    HTREEITEM parus = t.Add(family, L"Parus", 2, 2);
    HTREEITEM major = t.Add(parus, L"major", 3, 3);
    t.Add(parus, L"minor", 3, 4);
    HTREEITEM cyanistes = t.Add(family, L"Cyanistes", 2, 5);
    HTREEITEM caeruleus = t.Add(cyanistes, L"caeruleus", 3, 6);
    HTREEITEM ogliastrae = t.Add(caeruleus, L"ogliastrae", 4, 7);

    EXPECT_EQ(nullptr, DescribeTreeSelection(t.Wnd, &t.Levels, 0));

    // Only a genus: one line, its species not listed.
    SetTreeItemChecked(t.Wnd, parus, true);
    SetTreeItemChecked(t.Wnd, major, true);
    EXPECT_EQ("Rod: Parus\\par\r\n", Take(DescribeTreeSelection(t.Wnd, &t.Levels, 0)));

    // Species under an unchecked genus by their full names; a subspecies under its species.
    SetTreeItemChecked(t.Wnd, parus, false);
    SetTreeItemChecked(t.Wnd, ogliastrae, true);
    EXPECT_EQ("Druh: Parus major\\par\r\nPoddruh: Cyanistes caeruleus ogliastrae\\par\r\n",
              Take(DescribeTreeSelection(t.Wnd, &t.Levels, 0)));
    EXPECT_EQ("Druh: major\\par\r\nPoddruh: ogliastrae\\par\r\n", Take(DescribeTreeSelection(t.Wnd, &t.Levels, 1)));

    // A level the cache lacks has no name in front.
    CPtrArray none(PTRARRAY_OWNS_ITEMS, 4, 4);
    EXPECT_EQ("major\\par\r\nogliastrae\\par\r\n", Take(DescribeTreeSelection(t.Wnd, &none, 0)));
}

TEST(SearchDescription, CriteriaLinesByKind)
{
    CustomAttrDef integer = {}, real = {}, date = {}, text = {};
    integer.Type = ATTR_INTEGER;
    real.Type = ATTR_REAL;
    date.Type = ATTR_DATE;
    text.Type = ATTR_TEXT;
    struct Case {
        const CustomAttrDef* def;
        const wchar_t* table;
        std::vector<std::wstring> values;
        const wchar_t* low;
        const wchar_t* high;
        const char* expected;
    } cases[] = {
        {&integer, L"ZORNACOLLS", {L"1", L"x", L"3"}, nullptr, nullptr, "Po\\u269\\'e8et = 1, 3\\par\r\n"},
        {&integer, L"ZORNACOLLS", {}, L"5", nullptr, "Po\\u269\\'e8et, >= 5\\par\r\n"},
        {&integer, L"ZORNACOLLS", {L"2"}, L"x", L"9", "Po\\u269\\'e8et = 2, <= 9\\par\r\n"},
        {&real, L"ZORNACOLLS", {L"2,5"}, L"1\u00A0000", nullptr, "Po\\u269\\'e8et = 2.500000, >= 1000.000000\\par\r\n"},
        {&date, L"ZORNACOLLS", {L"1.5.2010"}, nullptr, L"31.5.2010", "Po\\u269\\'e8et = 1.5.2010, <= 31.5.2010\\par\r\n"},
        {&text, L"ZORNACOLLS", {L"{a}", L"b\\c"}, L"1", nullptr, "Po\\u269\\'e8et = \\{a\\}, b\\\\c\\par\r\n"},
        {nullptr, L"FEATURES", {L"49,5"}, nullptr, nullptr, "Po\\u269\\'e8et = 49.500000\\par\r\n"},
        {nullptr, L"ZORNACOLLS", {L"1"}, nullptr, nullptr, ""},  // no definition: no condition, no line
        {&integer, L"ZORNACOLLS", {L"x"}, L"y", nullptr, ""},
    };
    for (const Case& c : cases) {
        SearchEntry e(new CFieldInfo(c.def ? L"C" : L"LATITUDE", c.table));
        e.Values(c.values).Range(c.low, c.high);
        EXPECT_EQ(c.expected, Describe(e, c.def)) << c.expected;
    }
    // The caption takes at most 64 bytes.
    SearchEntry e(new CFieldInfo(L"C", L"ZORNACOLLS"));
    e.Values({L"1"});
    std::string line = Describe(e, &integer, std::wstring(100, L'x').c_str());
    EXPECT_EQ(std::string(64, 'x') + " = 1\\par\r\n", line);
}

TEST(SearchDescription, ComposedFieldValuesAndBounds)
{
    CFieldInfo genus(L"C1", L"SPECIES"), species(L"C2", L"SPECIES");
    ComposedField field(L"#1 #2", {&genus, &species});
    SearchEntry e(&field.Disp);
    e.Values({L"Parus major", L""}).Range(L"A b", nullptr);
    EXPECT_EQ("Druh Parus major, >= A b\\par\r\n", DescribeCriterion(e.Entry, L"Druh", kCzech, nullptr));
}

TEST(SearchDescription, EscapedOnceAsRichEditShowsIt)
{
    ASSERT_EQ(1250u, GetACP()) << "the tests run with LC_ALL=cs_CZ.UTF-8";
    std::string body;
    AppendRtfText(&body, L"Sýkora {koňadra} \\b1 \u0416\t|");
    AppendRtfLineEnd(&body);
    EXPECT_EQ("S\\u253\\'fdkora \\{ko\\u328\\'f2adra\\} \\\\b1 \\u1046?\\tab |\\par\r\n", body);
    AppendRtfText(&body, L"}{druhá");
    EXPECT_EQ(L"Sýkora {koňadra} \\b1 \u0416\t|\r\n}{druhá", ShownByRichEdit(body));

    // A cut never splits a character: 5 bytes of "žžžžžž" are five letters.
    std::string cut;
    AppendRtfText(&cut, L"žžžžžž", 5);
    EXPECT_EQ(std::string("\\u382\\'9e\\u382\\'9e\\u382\\'9e\\u382\\'9e\\u382\\'9e"), cut);
}
