// The main program's resources: menus, accelerators, strings, dialog templates, pictures.
#include <windows.h>
#include <commctrl.h>
#include <wincodec.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/zorna/resource.h"
#include "tests/support/dialogtextfit.h"
#include "tests/support/wintest.h"

namespace {

HINSTANCE Inst() { return GetModuleHandleW(nullptr); }

std::wstring Str(UINT id)
{
    const wchar_t* p = nullptr;
    int n = LoadStringW(Inst(), id, reinterpret_cast<LPWSTR>(&p), 0);
    return n > 0 ? std::wstring(p, n) : std::wstring();
}

std::wstring ItemText(HMENU menu, UINT pos)
{
    wchar_t buf[128] = L"";
    GetMenuStringW(menu, pos, buf, 128, MF_BYPOSITION);
    return buf;
}

struct Item {
    UINT id;            // 0: separator
    const wchar_t* text;
};

void ExpectPopup(HMENU popup, const std::vector<Item>& items)
{
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(GetMenuItemCount(popup), static_cast<int>(items.size()));
    for (UINT i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(i);
        if (items[i].id == 0) {
            EXPECT_TRUE(GetMenuState(popup, i, MF_BYPOSITION) & MF_SEPARATOR);
            continue;
        }
        EXPECT_EQ(GetMenuItemID(popup, i), items[i].id);
        EXPECT_EQ(ItemText(popup, i), items[i].text);
    }
}

std::wstring WindowText(HWND w)
{
    wchar_t buf[512] = L"";
    GetWindowTextW(w, buf, 512);
    return buf;
}

std::wstring ClassOf(HWND w)
{
    wchar_t buf[64] = L"";
    GetClassNameW(w, buf, 64);
    return buf;
}

INT_PTR CALLBACK PlainDlgProc(HWND, UINT msg, WPARAM, LPARAM)
{
    return msg == WM_INITDIALOG;
}

// ---------------------------------------------------------------- menus
TEST(ZornaMenus, MainMenuHasTheSixPopupsWithTheirItems)
{
    HMENU menu = LoadMenuW(Inst(), L"MAINMENU");
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 6);
    const wchar_t* titles[] = { L"&Soubor", L"&Databáze", L"&Editace", L"&Literatura", L"&Mapa",
                                L"&Nápověda" };
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(ItemText(menu, i), titles[i]);

    ExpectPopup(GetSubMenu(menu, 0), { { 101, L"&Otevřít šablonu...\tCtrl+O" },
                                       { 102, L"&Uložit šablonu\tCtrl+S" },
                                       { 103, L"Uložit šablonu &jako..." },
                                       { 104, L"&Nová šablona\tCtrl+N" },
                                       { 0, nullptr },
                                       { 105, L"Na&stavení tisku..." },
                                       { 106, L"&Tisk" },
                                       { 0, nullptr },
                                       { 107, L"Kon&figurace..." },
                                       { 108, L"U&končení\tAlt+F4" } });
    ExpectPopup(GetSubMenu(menu, 1), { { 201, L"&Otevřít..." }, { 203, L"&Zavřít" } });
    ExpectPopup(GetSubMenu(menu, 2), { { 301, L"&Nová položka" },
                                       { 302, L"&Přejmenovat" },
                                       { 303, L"&Smazat" },
                                       { 0, nullptr },
                                       { 304, L"&Vlastnosti" },
                                       { 305, L"Po&ložky" },
                                       { 306, L"Vy&hledávání" } });
    ExpectPopup(GetSubMenu(menu, 3), { { 501, L"Editace &položek..." } });
    ExpectPopup(GetSubMenu(menu, 4), { { 601, L"&Nová" },
                                       { 602, L"&Zavřít\tCtrl+F4" },
                                       { 603, L"&Přejmenovat..." },
                                       { 604, L"Načíst &grafiku..." },
                                       { 0, nullptr },
                                       { 606, L"&Sítě..." },
                                       { 607, L"Přidat &dotaz..." } });
    ExpectPopup(GetSubMenu(menu, 5), { { 902, L"&Obsah" },
                                       { 901, L"&Domovská stránka" },
                                       { 0, nullptr },
                                       { 906, L"O &aplikaci" } });
    DestroyMenu(menu);
}

static BOOL CALLBACK CollectMenuName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR names)
{
    reinterpret_cast<std::vector<std::wstring>*>(names)->push_back(
        IS_INTRESOURCE(name) ? std::to_wstring((UINT_PTR)name) : std::wstring(name));
    return TRUE;
}

// Each access key opens one item of its level, in every menu of the program and in the menu bar
// with the popup a card adds to it.
TEST(ZornaMenus, AccessKeysAreUniqueOnEveryLevel)
{
    std::vector<std::wstring> names;
    EnumResourceNamesW(Inst(), MAKEINTRESOURCEW(4) /* RT_MENU */, CollectMenuName, (LONG_PTR)&names);
    EXPECT_GE(names.size(), 6u);
    for (const std::wstring& name : names) {
        HMENU menu = LoadMenuW(Inst(), name.c_str());
        ASSERT_NE(menu, nullptr) << name;
        EXPECT_EQ(wintest::RepeatedAccessKeys(menu), L"") << name;
        DestroyMenu(menu);
    }
    for (const wchar_t* added : { L"VIEWMENU", L"MAPMENU", L"SRCHMENU" }) {
        HMENU bar = LoadMenuW(Inst(), L"MAINMENU");
        HMENU popup = LoadMenuW(Inst(), added);
        wchar_t title[64] = L"";
        GetMenuStringW(popup, 0, title, 64, MF_BYPOSITION);
        InsertMenuW(bar, 5, MF_BYPOSITION | MF_POPUP, (UINT_PTR)GetSubMenu(popup, 0), title);
        EXPECT_EQ(wintest::RepeatedAccessKeys(bar), L"") << added;
        RemoveMenu(bar, 5, MF_BYPOSITION);
        DestroyMenu(popup);
        DestroyMenu(bar);
    }
}

TEST(ZornaMenus, ConfigurationStartsGrayedAndHelpIsRightAligned)
{
    HMENU menu = LoadMenuW(Inst(), L"MAINMENU");
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(GetMenuState(menu, IDM_CONFIGURATION, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_FALSE(GetMenuState(menu, IDM_PRINT, MF_BYCOMMAND) & MF_GRAYED);
    MENUITEMINFOW mii = { sizeof(mii) };
    mii.fMask = MIIM_FTYPE;
    ASSERT_TRUE(GetMenuItemInfoW(menu, 5, TRUE, &mii));
    EXPECT_TRUE(mii.fType & MFT_RIGHTJUSTIFY);
    ASSERT_TRUE(GetMenuItemInfoW(menu, 4, TRUE, &mii));
    EXPECT_FALSE(mii.fType & MFT_RIGHTJUSTIFY);
    // Command 605 is reached only from other windows, never from the menu bar.
    EXPECT_EQ(GetMenuState(menu, IDM_COORDSYSTEMS, MF_BYCOMMAND), static_cast<UINT>(-1));
    DestroyMenu(menu);
}

TEST(ZornaMenus, ViewMapAndSearchMenus)
{
    HMENU view = LoadMenuW(Inst(), L"VIEWMENU");
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(GetMenuItemCount(view), 1);
    EXPECT_EQ(ItemText(view, 0), Str(IDS_VIEW_MENU));
    ExpectPopup(GetSubMenu(view, 0), { { 401, L"&Velké ikony" },
                                       { 402, L"&Malé ikony" },
                                       { 403, L"&Seznam" },
                                       { 404, L"&Podrobnosti" } });
    HMENU map = LoadMenuW(Inst(), L"MAPMENU");
    ASSERT_NE(map, nullptr);
    ASSERT_EQ(GetMenuItemCount(map), 1);
    EXPECT_EQ(ItemText(map, 0), L"&Zobrazení");
    ExpectPopup(GetSubMenu(map, 0), { { 405, L"&Zvětšit" },
                                      { 406, L"Z&menšit" },
                                      { 407, L"&Přesunout" },
                                      { 0, nullptr },
                                      { 408, L"Zobrazit &vše" } });
    HMENU search = LoadMenuW(Inst(), L"SRCHMENU");
    ASSERT_NE(search, nullptr);
    ASSERT_EQ(GetMenuItemCount(search), 1);
    EXPECT_EQ(ItemText(search, 0), L"&Přejít na kartu");
    ExpectPopup(GetSubMenu(search, 0), { { 308, L"Přejít na kartu &systému" },
                                         { 309, L"Přejít na kartu &lokality" } });
    DestroyMenu(view);
    DestroyMenu(map);
    DestroyMenu(search);
}

// ---------------------------------------------------------------- accelerators
TEST(ZornaAccelerators, TableOneHoldsExactlyTheFourControlKeys)
{
    HACCEL accel = LoadAcceleratorsW(Inst(), MAKEINTRESOURCEW(IDR_ACCELERATORS));
    ASSERT_NE(accel, nullptr);
    ACCEL entries[8] = {};
    ASSERT_EQ(CopyAcceleratorTableW(accel, nullptr, 0), 4);
    ASSERT_EQ(CopyAcceleratorTableW(accel, entries, 8), 4);
    const struct { WORD key; WORD cmd; } want[] = { { 'O', 101 }, { 'S', 102 }, { 'N', 104 },
                                                    { VK_F4, 602 } };
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(entries[i].fVirt, FVIRTKEY | FCONTROL);
        EXPECT_EQ(entries[i].key, want[i].key);
        EXPECT_EQ(entries[i].cmd, want[i].cmd);
    }
    DestroyAcceleratorTable(accel);
}

// ---------------------------------------------------------------- strings
TEST(ZornaStrings, MessagesAndCaptionsAreExact)
{
    EXPECT_EQ(Str(500), L"Chyba");
    EXPECT_EQ(Str(501), L"Databáze nemohla být otevřena");
    EXPECT_EQ(Str(513), L"Zorna nebo DB Nástroje jsou spuštěny");
    EXPECT_EQ(Str(517), L"Tento soubor patrně není konfigurační soubor Zorny.");
    EXPECT_EQ(Str(519), L"Definice atributů databáze se nepodařilo přečíst.");
    EXPECT_EQ(Str(600), L"Varování");
    EXPECT_EQ(Str(601), L"Nebyla vložena žádná kritéria pro výběr. Vybere se vše.");
    EXPECT_EQ(Str(700), L"Potvrzení");
    EXPECT_EQ(Str(701), L"Opravdu chcete smazat uživatelský sloupec '%s'?");
    EXPECT_EQ(Str(706), L"Opravdu chcete smazat 1 záznam?");
    EXPECT_EQ(Str(707), L"Opravdu chcete smazat %d záznamy?");
    EXPECT_EQ(Str(708), L"Opravdu chcete smazat %d záznamů?");
    EXPECT_EQ(Str(709), L"Opravdu chcete zrušit export?");
    EXPECT_EQ(Str(503), L"Jméno sloupečku nesmí být prázdné");
    EXPECT_EQ(Str(504), L"Neplatný název sloupečku. Název smí obsahovat jen písmena, číslice, podtržítko (_), tečku a pomlčku, bez mezer; musí začínat písmenem nebo podtržítkem a mít nejvýše 63 znaků.");
    EXPECT_EQ(Str(505), L"Sloupeček s tímto názvem již existuje");
    EXPECT_EQ(Str(506), L"Jeden nebo více sloupečků neexistuje");
    EXPECT_EQ(Str(507), L"Jeden nebo více parametrů masky jsou nesprávné");
    EXPECT_EQ(Str(508), L"Neplatná maska (nesmí být prázdná)");
    EXPECT_EQ(Str(836), L"Otevírám databázi ...");
    EXPECT_EQ(Str(301), L"Konfigurace");
    EXPECT_EQ(Str(305), L"NovýSloupec");
    EXPECT_EQ(Str(314), L"Výběr");
    EXPECT_EQ(Str(341), L"Nová mapa");
    EXPECT_EQ(Str(343), L"Sítě");
    EXPECT_EQ(Str(346), L"&Zobrazení");
    EXPECT_EQ(Str(802), L"%d zápisů vyexportováno");
    EXPECT_EQ(Str(831), L"Nálezy druhů: ");
    EXPECT_EQ(Str(337), L" k dispozici");
}

TEST(ZornaStrings, TabTextsAndTooltipsFollowTheButtonIndices)
{
    EXPECT_EQ(Str(102), L"Systém");
    EXPECT_EQ(Str(103), L"Lokality");
    EXPECT_EQ(Str(104), L"Vyhledávání");
    EXPECT_EQ(Str(113), L"Literatura");
    const wchar_t* main[20] = { L"Otevřít šablonu", L"Uložit šablonu", L"Nová šablona", nullptr,
                                L"Nová položka v systému", L"Smazat systémovou položku", nullptr,
                                L"Velké ikony", L"Malé ikony", L"Seznam", L"Podrobnosti",
                                L"Zvětšit", L"Zmenšit", L"Posunout", L"Zobrazit vše", nullptr,
                                L"Přidat dotaz", nullptr, L"Nápověda", L"Ukončit" };
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Str(IDS_TOOLTIP_MAIN + i), main[i] ? main[i] : L"");
    }
    const wchar_t* record[7] = { L"Nový zápis", L"Editace zápisu", L"Smazání zápisu", nullptr,
                                 L"Export zápisů", L"Tisk zápisů", L"Ukázat nápovědu" };
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Str(IDS_TOOLTIP_RECORD + i), record[i] ? record[i] : L"");
    }
}

TEST(ZornaStrings, FilterStringsUseCodeOneSeparators)
{
    EXPECT_EQ(Str(800), std::wstring(L"Soubory XML (*.xml)\001*.xml\001Všechny soubory\001*.*\001"));
    EXPECT_EQ(Str(801), std::wstring(L"Textový dokument (*.txt)\001*.txt\001MS Excel (*.xls)\001*.xls\001"));
    EXPECT_EQ(Str(813), std::wstring(L"Bitmapa Windows (*.bmp)\001*.bmp\001Rozšířený metasoubor (EMF) (*.emf)"
                                     L"\001*.emf\001Encapsulated PostScript (*.eps)\001*.eps\001"));
    // Turning the separators into NULs gives a list that ends in two NULs.
    std::wstring f = Str(801);
    for (auto& ch : f)
        if (ch == 1)
            ch = 0;
    std::vector<std::wstring> parts;
    for (const wchar_t* p = f.c_str(); *p; p += wcslen(p) + 1)
        parts.push_back(p);
    EXPECT_EQ(parts, (std::vector<std::wstring>{ L"Textový dokument (*.txt)", L"*.txt",
                                                 L"MS Excel (*.xls)", L"*.xls" }));
}

TEST(ZornaStrings, RecordToolbarTextsAndCredits)
{
    EXPECT_EQ(Str(105), L"\\&Zápis\\&Editace\\&Výmaz\\E&xport\\&Tisk\\&Nápověda\\\\");
    std::wstring credits = Str(1103);
    EXPECT_EQ(credits, L"Tato aplikace používá části otevřeného kódu následujících projektů:\r\n\r\n"
                       L"libjpeg\r\nJasPer\r\nzlib\r\nlibpng\r\nshapelib\r\nPlexaControls");
    EXPECT_LT(credits.size(), 256u);  // the box reads at most 256 characters
}

TEST(ZornaStrings, OperatorAndTableNames)
{
    const wchar_t* ops[] = { L"Menší", L"Menší nebo rovno", L"Větší", L"Větší nebo rovno",
                             L"V rozmezí", L"Rovno" };
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(Str(360 + i), ops[i]);
    const wchar_t* tables[] = { L"Strom druhů", L"Druhy", L"Strom lokalit", L"Lokality", L"Sbírka",
                                L"Literatura" };
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(Str(807 + i), tables[i]);
    const wchar_t* litCaptions[] = { L"Rok", L"Číslo", L"Oddíl", L"Strany" };
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Str(330 + i), litCaptions[i]);
    EXPECT_EQ(Str(306), L"Atributy");
    EXPECT_EQ(Str(338), L"Vydavatelé");
    EXPECT_EQ(Str(339), L"Periodika");
    EXPECT_EQ(Str(335), L"Autoři");
    const wchar_t* styles[] = { L"Čára", L"Plocha", L"Symbol" };
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Str(921 + i), styles[i]);
}

TEST(ZornaStrings, RecordToolbarGetsSixTextsFromString105)
{
    HWND tb = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"", WS_POPUP | TBSTYLE_LIST, 0, 0, 300, 40,
                              nullptr, nullptr, Inst(), nullptr);
    ASSERT_NE(tb, nullptr);
    SendMessageW(tb, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    LRESULT first = SendMessageW(tb, TB_ADDSTRINGW, reinterpret_cast<WPARAM>(Inst()), IDS_RECORD_TB_TEXTS);
    EXPECT_EQ(first, 0);
    const wchar_t* want[] = { L"&Zápis", L"&Editace", L"&Výmaz", L"E&xport", L"&Tisk", L"&Nápověda" };
    for (int i = 0; i < 6; ++i) {
        wchar_t buf[64] = L"";
        EXPECT_GT(SendMessageW(tb, TB_GETSTRINGW, MAKEWPARAM(64, i), reinterpret_cast<LPARAM>(buf)), 0);
        EXPECT_STREQ(buf, want[i]);
    }
    wchar_t buf[64] = L"";
    EXPECT_EQ(SendMessageW(tb, TB_GETSTRINGW, MAKEWPARAM(64, 6), reinterpret_cast<LPARAM>(buf)), -1);
    DestroyWindow(tb);
}

// ---------------------------------------------------------------- dialog templates
TEST(ZornaDialogs, EveryTemplateIsPresent)
{
    for (const wchar_t* name : { L"MAINFORM", L"SPLASHDLG", L"ABOUTBOX", L"RENAMEMAPDLG",
                                 L"CONFGENPAGE", L"CONFCUSTFLDSPAGE", L"CONFSYSTPAGE", L"CONFLOCPAGE",
                                 L"CONFSAERCHPAGE", L"CONFLITPAGE" }) {
        SCOPED_TRACE(name);
        EXPECT_NE(FindResourceW(Inst(), name, MAKEINTRESOURCEW(5) /*RT_DIALOG*/), nullptr);
    }
}

// Every label, button and group caption of the program's dialogs holds its Czech text whole at
// the screen's resolution (a text too long for its control is drawn cut off). The splash screen
// takes the size of its picture when it starts.
TEST(ZornaDialogs, TemplateTextsFitTheirControls)
{
    for (const std::wstring& misfit : wintest::CutOffDialogTexts(Inst(), { L"SPLASHDLG" }))
        ADD_FAILURE() << misfit;
}

class ZornaWindowTemplates : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSEXW wc = { sizeof(wc) };
        wc.style = CS_DBLCLKS | CS_SAVEBITS;
        wc.lpfnWndProc = DefDlgProcW;
        wc.cbWndExtra = DLGWINDOWEXTRA;
        wc.hInstance = Inst();
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hIcon = LoadIconW(Inst(), L"MAINICON");
        wc.lpszClassName = L"ZORNAWND";
        RegisterClassExW(&wc);
    }
    void TearDown() override { UnregisterClassW(L"ZORNAWND", Inst()); }
};

TEST_F(ZornaWindowTemplates, MainFormTemplateMakesItsFourControlsAndMenu)
{
    HWND form = CreateDialogParamW(Inst(), L"MAINFORM", nullptr, PlainDlgProc, 0);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(ClassOf(form), L"ZORNAWND");
    EXPECT_EQ(WindowText(form), L"Zorna 2011");
    EXPECT_TRUE(IsWindowVisible(form));
    LONG style = GetWindowLongW(form, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
              WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
    EXPECT_TRUE(GetWindowLongW(form, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    HMENU bar = GetMenu(form);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(GetMenuItemCount(bar), 6);

    struct { int id; const wchar_t* cls; LONG bits; } controls[] = {
        { 1000, L"ToolbarWindow32", TBSTYLE_TOOLTIPS | TBSTYLE_FLAT },
        { 1001, L"msctls_statusbar32", 0 },
        { 1002, L"SysTabControl32", 0 },
        { 1003, L"ToolbarWindow32", TBSTYLE_TOOLTIPS | TBSTYLE_FLAT | TBSTYLE_LIST },
    };
    for (auto& c : controls) {
        SCOPED_TRACE(c.id);
        HWND w = GetDlgItem(form, c.id);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(ClassOf(w), c.cls);
        LONG s = GetWindowLongW(w, GWL_STYLE);
        EXPECT_EQ(s & (c.bits | WS_CLIPSIBLINGS), c.bits | WS_CLIPSIBLINGS);
    }
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(form, 1002), GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
    EXPECT_FALSE(GetWindowLongW(GetDlgItem(form, 1000), GWL_STYLE) & TBSTYLE_LIST);

    // A first look at the bare window: the toolbars get the project's strips, the tabs their texts.
    HWND tb = GetDlgItem(form, 1000);
    SendMessageW(tb, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    HIMAGELIST il = ImageList_LoadImageW(Inst(), MAKEINTRESOURCEW(IDB_STRIP1), 26, 4, RGB(255, 0, 255),
                                         IMAGE_BITMAP, LR_CREATEDIBSECTION);
    ASSERT_NE(il, nullptr);
    SendMessageW(tb, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(il));
    TBBUTTON buttons[4] = {};
    for (int i = 0; i < 4; ++i) {
        buttons[i].iBitmap = i;
        buttons[i].idCommand = 101 + i;
        buttons[i].fsState = TBSTATE_ENABLED;
    }
    SendMessageW(tb, TB_ADDBUTTONSW, 4, reinterpret_cast<LPARAM>(buttons));
    HWND tabs = GetDlgItem(form, 1002);
    for (int i = 0; i < 4; ++i) {
        std::wstring text = Str(i < 3 ? 102 + i : 113);
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = &text[0];
        SendMessageW(tabs, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    SetWindowPos(form, nullptr, 20, 20, 640, 420, SWP_NOZORDER);
    RECT rc;
    GetClientRect(form, &rc);
    SendMessageW(tb, TB_AUTOSIZE, 0, 0);
    SendMessageW(GetDlgItem(form, 1001), WM_SIZE, 0, 0);
    RECT tbr;
    GetWindowRect(tb, &tbr);
    MoveWindow(tabs, 0, tbr.bottom - tbr.top, rc.right, rc.bottom - (tbr.bottom - tbr.top) - 24, TRUE);
    wintest::PumpMessages(100);
    EXPECT_FALSE(wintest::SaveScreenshot(form, L"mainapp_mainform_template").empty());

    // And with "Soubor" dropped down, as Wine draws the Czech items.
    static HWND shown;
    static std::wstring menuShot;
    shown = form;
    menuShot.clear();
    RECT item = {};
    ASSERT_TRUE(GetMenuItemRect(form, bar, 0, &item));
    SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        menuShot = wintest::SaveScreenshot(shown, L"mainapp_mainform_menu");
        EndMenu();
    });
    TrackPopupMenu(GetSubMenu(bar, 0), TPM_RETURNCMD | TPM_NONOTIFY, item.left, item.bottom, 0, form,
                   nullptr);
    EXPECT_FALSE(menuShot.empty());
    DestroyWindow(form);
    ImageList_Destroy(il);
}

TEST_F(ZornaWindowTemplates, SplashTemplateWithItsPicture)
{
    HWND splash = CreateDialogParamW(Inst(), L"SPLASHDLG", nullptr, PlainDlgProc, 0);
    ASSERT_NE(splash, nullptr);
    EXPECT_EQ(WindowText(splash), L"");
    EXPECT_FALSE(GetWindowLongW(splash, GWL_STYLE) & WS_CAPTION);
    EXPECT_TRUE(GetWindowLongW(splash, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    HWND pic = GetDlgItem(splash, 101);
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(GetWindowLongW(pic, GWL_STYLE) & SS_TYPEMASK, SS_BITMAP);
    // The dialog manager turns a control's WS_BORDER into a sunken edge in 3-D dialogs.
    EXPECT_TRUE((GetWindowLongW(pic, GWL_STYLE) & WS_BORDER) ||
                (GetWindowLongW(pic, GWL_EXSTYLE) & WS_EX_CLIENTEDGE));
    EXPECT_EQ(WindowText(GetDlgItem(splash, 102)), L"Spouštím Zornu ...");
    EXPECT_EQ(ClassOf(GetDlgItem(splash, 103)), L"msctls_progress32");

    // The picture is a PNG of 450 x 250, which is the box the splash fits it into.
    HRSRC res = FindResourceW(Inst(), L"PNG_SPLASH", MAKEINTRESOURCEW(10) /*RT_RCDATA*/);
    ASSERT_NE(res, nullptr);
    auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(Inst(), res)));
    DWORD size = SizeofResource(Inst(), res);
    ASSERT_GT(size, 33u);
    EXPECT_EQ(memcmp(bytes, "\x89PNG\r\n\x1a\n", 8), 0);
    auto be32 = [&](int at) { return (bytes[at] << 24) | (bytes[at + 1] << 16) | (bytes[at + 2] << 8) | bytes[at + 3]; };
    EXPECT_EQ(be32(16), 450);
    EXPECT_EQ(be32(20), 250);

    // Decode it as the splash does and lay the window out around it for a look.
    IWICImagingFactory* wic = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(&wic)), S_OK);
    IWICStream* stream = nullptr;
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICFormatConverter* conv = nullptr;
    ASSERT_EQ(wic->CreateStream(&stream), S_OK);
    stream->InitializeFromMemory(const_cast<BYTE*>(bytes), size);
    ASSERT_EQ(wic->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnLoad, &decoder), S_OK);
    decoder->GetFrame(0, &frame);
    wic->CreateFormatConverter(&conv);
    conv->Initialize(frame, GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0,
                     WICBitmapPaletteTypeCustom);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = 450;
    bi.bmiHeader.biHeight = -250;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    EXPECT_EQ(conv->CopyPixels(nullptr, 450 * 4, 450 * 250 * 4, static_cast<BYTE*>(bits)), S_OK);
    conv->Release();
    frame->Release();
    decoder->Release();
    stream->Release();
    wic->Release();

    SendMessageW(pic, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bmp));
    RECT p;
    GetWindowRect(pic, &p);
    MapWindowPoints(nullptr, splash, reinterpret_cast<POINT*>(&p), 2);
    HWND text = GetDlgItem(splash, 102), bar = GetDlgItem(splash, 103);
    RECT t, b;
    GetWindowRect(text, &t);
    GetWindowRect(bar, &b);
    MoveWindow(text, p.left, p.bottom + p.top, p.right - p.left, t.bottom - t.top, TRUE);
    MoveWindow(bar, p.left, p.bottom + p.top + (t.bottom - t.top) + 4, p.right - p.left, b.bottom - b.top, TRUE);
    SendMessageW(bar, PBM_SETPOS, 40, 0);
    RECT c = { 0, 0, p.right + p.left, p.top + p.bottom + p.top + (t.bottom - t.top) + 4 + (b.bottom - b.top) };
    AdjustWindowRectEx(&c, GetWindowLongW(splash, GWL_STYLE), FALSE, GetWindowLongW(splash, GWL_EXSTYLE));
    SetWindowPos(splash, nullptr, 30, 30, c.right - c.left, c.bottom - c.top, SWP_NOZORDER);
    ShowWindow(splash, SW_SHOW);
    EXPECT_GE(p.right - p.left, 450);  // the static takes the picture's size
    EXPECT_FALSE(wintest::SaveScreenshot(splash, L"mainapp_splash_template").empty());
    DestroyWindow(splash);
    DeleteObject(bmp);
}

TEST_F(ZornaWindowTemplates, RenameMapDialog)
{
    HWND dlg = CreateDialogParamW(Inst(), L"RENAMEMAPDLG", nullptr, PlainDlgProc, 0);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(WindowText(dlg), L"Přejmenování mapy");
    EXPECT_EQ(WindowText(GetDlgItem(dlg, 101)), L"Nový název:");
    EXPECT_EQ(ClassOf(GetDlgItem(dlg, 102)), L"Edit");
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(dlg, 102), GWL_STYLE) & WS_TABSTOP);
    EXPECT_EQ(WindowText(GetDlgItem(dlg, IDOK)), L"&OK");
    EXPECT_EQ(WindowText(GetDlgItem(dlg, IDCANCEL)), L"&Storno");
    EXPECT_EQ(LOWORD(SendMessageW(dlg, DM_GETDEFID, 0, 0)), IDOK);
    DestroyWindow(dlg);
}

TEST_F(ZornaWindowTemplates, ConfigurationPagesCarryTheirTitlesAndControls)
{
    HWND host = CreateWindowExW(0, L"ZORNAWND", L"host", WS_POPUP, 0, 0, 600, 500, nullptr, nullptr,
                                Inst(), nullptr);
    ASSERT_NE(host, nullptr);
    struct Page { const wchar_t* name; const wchar_t* title; std::vector<int> ids; };
    Page pages[] = {
        { L"CONFGENPAGE", L"Obecné", { 101, 102, 103, 104, 105 } },
        { L"CONFCUSTFLDSPAGE", L"Uživatelské sloupce",
          { 100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115, 116, 117 } },
        { L"CONFSYSTPAGE", L"Systém", { 101, 102, 103, 104 } },
        { L"CONFLOCPAGE", L"Lokality", { 101, 102, 103, 104 } },
        { L"CONFSAERCHPAGE", L"Vyhledávání", { 101, 102 } },
        { L"CONFLITPAGE", L"Literatura", { 101, 102 } },
    };
    for (auto& page : pages) {
        SCOPED_TRACE(page.name);
        HWND w = CreateDialogParamW(Inst(), page.name, host, PlainDlgProc, 0);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(WindowText(w), page.title);
        EXPECT_TRUE(GetWindowLongW(w, GWL_STYLE) & WS_CHILD);
        for (int id : page.ids)
            EXPECT_NE(GetDlgItem(w, id), nullptr) << id;
        DestroyWindow(w);
    }

    HWND gen = CreateDialogParamW(Inst(), L"CONFGENPAGE", host, PlainDlgProc, 0);
    EXPECT_EQ(WindowText(GetDlgItem(gen, 101)), L"Font v hlavičce karty");
    EXPECT_EQ(WindowText(GetDlgItem(gen, 102)), L"Blabla");
    EXPECT_EQ(WindowText(GetDlgItem(gen, 103)), L"Změna fontu ...");
    EXPECT_EQ(WindowText(GetDlgItem(gen, 104)), L"Titulek aplikace");
    DestroyWindow(gen);

    HWND cust = CreateDialogParamW(Inst(), L"CONFCUSTFLDSPAGE", host, PlainDlgProc, 0);
    LONG lb = GetWindowLongW(GetDlgItem(cust, 100), GWL_STYLE);
    EXPECT_EQ(lb & (LBS_WANTKEYBOARDINPUT | LBS_NOTIFY), LBS_WANTKEYBOARDINPUT | LBS_NOTIFY);
    const struct { int id; const wchar_t* text; } texts[] = {
        { 101, L"Název" }, { 103, L"Sloupce" }, { 105, L"Vybrat sloupce ..." }, { 106, L"Maska" },
        { 108, L"Použít k hledání" }, { 109, L"Použít k editaci" }, { 110, L"Přidat nový" },
        { 111, L"Editovat" }, { 112, L"Použít" }, { 113, L"Storno" }, { 114, L"Zarovnání" },
        { 115, L"Vlevo" }, { 116, L"Centrovat" }, { 117, L"Vpravo" } };
    for (auto& t : texts)
        EXPECT_EQ(WindowText(GetDlgItem(cust, t.id)), t.text) << t.id;
    // The page opens in view mode: only "Přidat nový" among the buttons is usable.
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(cust, 110)));
    for (int id : { 105, 108, 109, 111, 112, 113, 115, 116, 117 })
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(cust, id))) << id;
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(cust, 102), GWL_STYLE) & ES_READONLY);
    DestroyWindow(cust);

    HWND sys = CreateDialogParamW(Inst(), L"CONFSYSTPAGE", host, PlainDlgProc, 0);
    EXPECT_EQ(WindowText(GetDlgItem(sys, 101)), L"Hlavička");
    EXPECT_EQ(WindowText(GetDlgItem(sys, 103)), L"Data");
    for (int id : { 102, 104 }) {
        HWND lv = GetDlgItem(sys, id);
        EXPECT_EQ(ClassOf(lv), L"SysListView32");
        LONG s = GetWindowLongW(lv, GWL_STYLE);
        EXPECT_EQ(s & LVS_TYPEMASK, LVS_REPORT);
        EXPECT_EQ(s & (LVS_EDITLABELS | LVS_NOSORTHEADER), LVS_EDITLABELS | LVS_NOSORTHEADER);
    }
    DestroyWindow(sys);
    HWND lit = CreateDialogParamW(Inst(), L"CONFLITPAGE", host, PlainDlgProc, 0);
    EXPECT_EQ(WindowText(GetDlgItem(lit, 101)), L"Data");
    EXPECT_EQ(ClassOf(GetDlgItem(lit, 102)), L"SysListView32");
    DestroyWindow(lit);
    DestroyWindow(host);
}

// ---------------------------------------------------------------- pictures
SIZE IconSize(HICON icon)
{
    SIZE s = { 0, 0 };
    ICONINFO ii = {};
    if (!GetIconInfo(icon, &ii))
        return s;
    BITMAP bm = {};
    GetObjectW(ii.hbmColor ? ii.hbmColor : ii.hbmMask, sizeof(bm), &bm);
    s.cx = bm.bmWidth;
    s.cy = ii.hbmColor ? bm.bmHeight : bm.bmHeight / 2;
    if (ii.hbmColor)
        DeleteObject(ii.hbmColor);
    DeleteObject(ii.hbmMask);
    return s;
}

TEST(ZornaPictures, IconsHaveTheSizesTheToolbarsUse)
{
    // Icon 1 is loaded at its own size into the 16 x 16 main toolbar; 2-7 at their own size
    // into the 32 x 32 record toolbar; 14-18 are asked for at 16 x 16.
    struct { int id; int size; } icons[] = { { 1, 16 }, { 2, 32 }, { 3, 32 }, { 4, 32 }, { 5, 32 },
                                             { 6, 32 }, { 7, 32 } };
    for (auto& i : icons) {
        SCOPED_TRACE(i.id);
        HICON icon = static_cast<HICON>(LoadImageW(Inst(), MAKEINTRESOURCEW(i.id), IMAGE_ICON, 0, 0, 0));
        ASSERT_NE(icon, nullptr);
        SIZE s = IconSize(icon);
        EXPECT_EQ(s.cx, i.size);
        EXPECT_EQ(s.cy, i.size);
        DestroyIcon(icon);
    }
    for (int id = 14; id <= 18; ++id) {
        SCOPED_TRACE(id);
        HICON icon = static_cast<HICON>(LoadImageW(Inst(), MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0));
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(IconSize(icon).cx, 16);
        DestroyIcon(icon);
    }
    for (int size : { 16, 32, 48 }) {
        HICON icon = static_cast<HICON>(LoadImageW(Inst(), L"MAINICON", IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr);
        EXPECT_EQ(IconSize(icon).cx, size);
        DestroyIcon(icon);
    }
    // Nothing else is numbered as an icon between the two groups.
    EXPECT_EQ(FindResourceW(Inst(), MAKEINTRESOURCEW(8), MAKEINTRESOURCEW(14) /*RT_GROUP_ICON*/), nullptr);
}

TEST(ZornaPictures, CursorsLoadWithTheirHotSpots)
{
    struct { const wchar_t* name; DWORD x, y; } cursors[] = {
        { L"CUR_ZOOMIN", 7, 7 }, { L"CUR_ZOOMOUT", 7, 7 }, { L"CUR_PAN", 11, 10 }, { L"CUR_DRAG", 0, 0 } };
    for (auto& c : cursors) {
        SCOPED_TRACE(c.name);
        HCURSOR cur = LoadCursorW(Inst(), c.name);
        ASSERT_NE(cur, nullptr);
        ICONINFO ii = {};
        ASSERT_TRUE(GetIconInfo(cur, &ii));
        EXPECT_FALSE(ii.fIcon);
        EXPECT_EQ(ii.xHotspot, c.x);
        EXPECT_EQ(ii.yHotspot, c.y);
        if (ii.hbmColor)
            DeleteObject(ii.hbmColor);
        DeleteObject(ii.hbmMask);
    }
}

COLORREF PixelOf(HBITMAP bmp, int x, int y)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bmp);
    COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    return c;
}

TEST(ZornaPictures, ToolbarStripsAre26PixelsHighWithAMagentaMask)
{
    int total = 0;
    for (int id : { IDB_STRIP1, IDB_STRIP2 }) {
        SCOPED_TRACE(id);
        HBITMAP bmp = static_cast<HBITMAP>(LoadImageW(Inst(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0,
                                                      LR_CREATEDIBSECTION));
        ASSERT_NE(bmp, nullptr);
        BITMAP bm = {};
        GetObjectW(bmp, sizeof(bm), &bm);
        EXPECT_EQ(bm.bmHeight, 26);
        EXPECT_EQ(bm.bmWidth % 26, 0);
        EXPECT_EQ(PixelOf(bmp, 0, 0), RGB(255, 0, 255));  // corners are background
        EXPECT_EQ(PixelOf(bmp, bm.bmWidth - 1, 25), RGB(255, 0, 255));
        EXPECT_NE(PixelOf(bmp, 13, 13), RGB(255, 0, 255));  // the glyph fills the middle
        total += bm.bmWidth / 26;
        DeleteObject(bmp);
    }
    // The shell's shared list: 26 x 26, 8-bit colour, masked, bitmap 1 then bitmap 2.
    HIMAGELIST list = ImageList_Create(26, 26, ILC_COLOR8 | ILC_MASK, 4, 4);
    for (int id : { IDB_STRIP1, IDB_STRIP2 }) {
        HBITMAP bmp = static_cast<HBITMAP>(LoadImageW(Inst(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0));
        EXPECT_GE(ImageList_AddMasked(list, bmp, RGB(255, 0, 255)), 0);
        DeleteObject(bmp);
    }
    EXPECT_EQ(ImageList_GetImageCount(list), total);
    EXPECT_EQ(total, 9);
    ImageList_Destroy(list);
}

TEST(ZornaPictures, AboutPictureLoads)
{
    HBITMAP bmp = static_cast<HBITMAP>(LoadImageW(Inst(), L"BMP_ABOUT", IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    ASSERT_NE(bmp, nullptr);
    BITMAP bm = {};
    GetObjectW(bmp, sizeof(bm), &bm);
    EXPECT_EQ(bm.bmWidth, 150);
    EXPECT_EQ(bm.bmHeight, 220);
    DeleteObject(bmp);
}

// Every picture drawn into one window, on the toolbar face and on white, for a look.
TEST(ZornaPictures, SheetOfAllPictures)
{
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = 560;
    bi.bmiHeader.biHeight = -300;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP sheet = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(sheet, nullptr);
    HGDIOBJ oldBmp = SelectObject(dc, sheet);
    RECT all = { 0, 0, 560, 300 };
    FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
    RECT white = { 0, 150, 560, 300 };
    FillRect(dc, &white, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    for (int band = 0; band < 2; ++band) {
        int y = 8 + band * 150;
        int x = 8;
        for (int size : { 48, 32, 16 }) {
            HICON icon = static_cast<HICON>(LoadImageW(Inst(), L"MAINICON", IMAGE_ICON, size, size, 0));
            DrawIconEx(dc, x, y, icon, size, size, 0, nullptr, DI_NORMAL);
            DestroyIcon(icon);
            x += size + 8;
        }
        for (int id = 1; id <= 7; ++id) {
            HICON icon = static_cast<HICON>(LoadImageW(Inst(), MAKEINTRESOURCEW(id), IMAGE_ICON, 0, 0, 0));
            DrawIconEx(dc, x, y, icon, 0, 0, 0, nullptr, DI_NORMAL);
            x += IconSize(icon).cx + 8;
            DestroyIcon(icon);
        }
        x = 8;
        y += 56;
        for (int id = 14; id <= 18; ++id) {
            HICON icon = static_cast<HICON>(LoadImageW(Inst(), MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0));
            DrawIconEx(dc, x, y, icon, 16, 16, 0, nullptr, DI_NORMAL);
            x += 24;
            DestroyIcon(icon);
        }
        for (const wchar_t* name : { L"CUR_ZOOMIN", L"CUR_ZOOMOUT", L"CUR_PAN", L"CUR_DRAG" }) {
            HCURSOR cur = LoadCursorW(Inst(), name);
            EXPECT_TRUE(DrawIconEx(dc, x, y, cur, 0, 0, 0, nullptr, DI_NORMAL)) << GetLastError();
            x += 40;
        }
        x = 8;
        y += 40;
        HIMAGELIST list = ImageList_Create(26, 26, ILC_COLOR8 | ILC_MASK, 4, 4);
        for (int id : { IDB_STRIP1, IDB_STRIP2 }) {
            HBITMAP bmp = static_cast<HBITMAP>(LoadImageW(Inst(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0));
            ImageList_AddMasked(list, bmp, RGB(255, 0, 255));
            DeleteObject(bmp);
        }
        for (int i = 0; i < ImageList_GetImageCount(list); ++i)
            ImageList_Draw(list, i, dc, x + i * 32, y, ILD_TRANSPARENT);
        ImageList_Destroy(list);
    }
    GdiFlush();
    // Plain GDI drawing leaves alpha at 0, which the picture control would show as transparent.
    for (int i = 0; i < 560 * 300; ++i)
        static_cast<BYTE*>(bits)[i * 4 + 3] = 255;
    SelectObject(dc, oldBmp);
    DeleteDC(dc);
    HWND w = CreateWindowExW(0, L"Static", L"", WS_POPUP | WS_VISIBLE | SS_BITMAP, 10, 10, 560, 300,
                             nullptr, nullptr, Inst(), nullptr);
    ASSERT_NE(w, nullptr);
    SendMessageW(w, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(sheet));
    wintest::PumpMessages(50);
    EXPECT_FALSE(wintest::SaveScreenshot(w, L"mainapp_pictures").empty());
    DestroyWindow(w);
    DeleteObject(sheet);
}

}  // namespace
