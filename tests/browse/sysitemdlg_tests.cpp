// The tree item dialog on the program's own main form, opened by the tree card's commands: the
// checks of what the user typed, the fields and attributes a level shows, the keys of the author
// field and the note, and the icons and pictures read from files through an injected chooser.
// What the dialog gives the card is checked where it ends up: in the file.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "browse/sysitemdlg.h"
#include "common/filechooser.h"
#include "controls/plexa.h"
#include "core/blob.h"
#include "core/ctlfill.h"
#include "core/itemrecords.h"
#include "core/longpath.h"
#include "resources/zorna/resource.h"
#include "tests/browse/formhost.h"
#include "tools/testkit/wic_encode.h"

using namespace formtest;
using Bytes = std::vector<BYTE>;

namespace {

// ---- the chooser seam ----

std::wstring g_nextFile;
std::wstring g_defaultExtension;
int g_chosen = 0;

BOOL WINAPI ChooseNext(OPENFILENAMEW* ofn)
{
    g_chosen++;
    g_defaultExtension = ofn->lpstrDefExt ? ofn->lpstrDefExt : L"";
    if (g_nextFile.empty())
        return FALSE;
    lstrcpynW(ofn->lpstrFile, g_nextFile.c_str(), (int)ofn->nMaxFile);
    return TRUE;
}

void WriteBytes(const std::wstring& path, const Bytes& bytes)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (!bytes.empty())
        WriteFile(f, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    CloseHandle(f);
}

std::wstring Hex(const Bytes& bytes)
{
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring hex;
    for (BYTE b : bytes) {
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

Bytes FileBytes(const std::wstring& path)
{
    std::string s = wintest::ReadFileBytes(path);
    return Bytes(s.begin(), s.end());
}

Bytes Png(int w, int h, COLORREF colour)
{
    imgtest::Pixels px(w, h, colour);
    px.FillRect(0, 0, w / 2, h / 2, RGB(255, 255, 255));
    return imgtest::EncodePng(px);
}

CEditSysItemDlg* Dlg(HWND dialog)
{
    return reinterpret_cast<CEditSysItemDlg*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

// Presses a button of a page as a click does.
void Click(HWND page, int id)
{
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(page, id));
}

// The property box items a user can reach: those its selection walks over (the current item
// comes back packed as the item messages take it, the item in the high word).
int ReachableItems(HWND box)
{
    SendMessageW(box, PBXM_SELECTITEM, PBX_ITEM(0), 0);
    int count = 1, current = 0;
    for (;;) {
        SendMessageW(box, PBXM_SELECTNEXT, MAKEWPARAM(0, 0), 0);
        int packed = -1;
        SendMessageW(box, PBXM_GETCURITEM, 0, (LPARAM)&packed);
        int next = HIWORD(packed);
        if (packed == -1 || next == current)
            return count;
        current = next;
        count++;
    }
}

class ItemDialogTest : public ::testing::Test {
protected:
    void Open(const std::vector<std::wstring>& prepare = {})
    {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string n = std::string("itemdlg_") + info->name();
        ASSERT_TRUE(host_.Open(std::wstring(n.begin(), n.end()).c_str(), prepare));
        previousOpen_ = SetOpenFileChooser(ChooseNext);
        previousSave_ = SetSaveFileChooser(ChooseNext);
        g_nextFile.clear();
        g_chosen = 0;
    }
    void TearDown() override
    {
        SetOpenFileChooser(previousOpen_);
        SetSaveFileChooser(previousSave_);
        host_.Close();
    }
    // Runs the properties command on the item of the card in front with the action inside
    // the dialog; true when the dialog closed by itself (not by the watchdog).
    bool Properties(int tab, int id, std::function<void(HWND)> action)
    {
        if (tab != TAB_SYSTEM)
            host_.ShowTab(tab);
        host_.Select(tab, id);
        OnDialog on(host_.Wnd, std::move(action));
        SendMessageW(host_.Wnd, WM_COMMAND, MAKEWPARAM(IDM_ITEMPROPERTIES, 0), 0);
        wintest::PumpMessages(30);
        return on.Ran() && !on.TimedOut();
    }

    FormHost host_;
    FileDialogFn previousOpen_ = nullptr;
    FileDialogFn previousSave_ = nullptr;
};

// ---- checks of the typed values ----

const wchar_t kYearRule[] = L"Rok musí být kladné celé číslo nejvýše o čtyřech číslicích: Rok";

TEST_F(ItemDialogTest, ABadValueIsRefusedWithTheFocusOnItsFieldAndAnEmptyYearIsStoredAsNull)
{
    ASSERT_NO_FATAL_FAILURE(Open({L"UPDATE CUSTOMATTRIBUTES SET KEYFLAG = -1 WHERE FIELDNAME = 'DELKA'",
                                  L"UPDATE SPECIES SET IYEAR = 1758 WHERE SYSID = 9101"}));
    wintest::MsgBoxRecorder boxes;
    struct Step
    {
        const wchar_t* name;
        const wchar_t* year;
        const wchar_t* message;  // null: accepted
        int focus;               // control of the attributes page
    } steps[] = {
        {L"", L"1758", L"Vložená hodnota je neplatná: Název", IDC_ATTR_NAME},
        {L" \t ", L"1758", L"Vložená hodnota je neplatná: Název", IDC_ATTR_NAME},
        {L"alfa O'Neil", L"19x8", L"Vložená hodnota je neplatná: Rok", IDC_SYS_YEAR},
        {L"alfa O'Neil", L"0", kYearRule, IDC_SYS_YEAR},
        {L"alfa O'Neil", L"99999", kYearRule, IDC_SYS_YEAR},
        {L"alfa O'Neil", L"-5", kYearRule, IDC_SYS_YEAR},
        // Asked, and the box's Ne keeps the dialog.
        {L"alfa O'Neil", L"2030", L"„Rok“: Rok 2030 je pozdější než letošní rok. Chcete hodnotu přesto uložit?",
         IDC_SYS_YEAR},
        {L"alfa O'Neil", L"1700",
         L"„Rok“: Rok 1700 je dřívější než rok 1758, počátek zoologické nomenklatury. Chcete hodnotu přesto uložit?",
         IDC_SYS_YEAR},
        {L"alfa O'Neil", L"", L"Hodnota je povinná: Délka těla (mm)", IDC_SYS_ATTRS},  // the last attribute
        {L"alfa O'Neil", L"", nullptr, 0},
    };
    std::vector<std::wstring> seen;
    bool closed = Properties(TAB_SYSTEM, 9101, [&](HWND dlg) {
        CEditSysItemDlg* d = Dlg(dlg);
        HWND page = d->AttrPage;
        EXPECT_EQ(L"1758", wintest::WindowText(GetDlgItem(page, IDC_SYS_YEAR)));
        wintest::SaveScreenshot(dlg, L"itemdlg_taxon_attributes");
        HWND box = GetDlgItem(page, IDC_SYS_ATTRS);
        for (const Step& s : steps) {
            if (!s.message) {
                VARIANT length;
                VariantInit(&length);
                length.vt = VT_R8;
                length.dblVal = 12.5;
                int last = (int)SendMessageW(box, PBXM_GETCOUNT, (WPARAM)-1, 1) - 1;
                SendMessageW(box, PBXM_SETVALUE, PBX_ITEM(last), (LPARAM)&length);
            }
            d->ShowTab(ITEMTAB_PICTURES);  // the refusal brings the attributes back
            SetDlgItemTextW(page, IDC_ATTR_NAME, s.name);
            SetDlgItemTextW(page, IDC_SYS_YEAR, s.year);
            size_t before = boxes.Boxes().size();
            SendMessageW(dlg, WM_COMMAND, IDOK, 0);
            if (!s.message)
                return;
            ASSERT_EQ(before + 1, boxes.Boxes().size()) << s.year;
            EXPECT_EQ(s.message, boxes.Boxes().back().text);
            EXPECT_EQ(s.message[0] == L'\u201E' ? L"Dotaz" : L"Chyba", boxes.Boxes().back().caption);
            EXPECT_TRUE(IsWindow(dlg));
            EXPECT_TRUE(IsWindowVisible(page));
            HWND focus = GetFocus();
            EXPECT_TRUE(focus == GetDlgItem(page, s.focus) || GetParent(focus) == GetDlgItem(page, s.focus))
                << s.year;
        }
    });
    EXPECT_TRUE(closed);
    EXPECT_EQ(L"alfa O'Neil", host_.Text(L"SELECT NAME FROM SYSTREE WHERE ID = 9101"));
    EXPECT_EQ(L"<NULL>", host_.Text(L"SELECT IYEAR FROM SPECIES WHERE SYSID = 9101"));
    EXPECT_EQ(L"12.5", host_.Text(L"SELECT DELKA FROM SPECIES WHERE SYSID = 9101"));
    EXPECT_EQ(L"D'Orbignya alfa O'Neil", host_.Text(L"SELECT NAME FROM SPECIES WHERE SYSID = 9101"));
}

TEST_F(ItemDialogTest, CoordinatesAndAltitudeAreReadWholeOrRefused)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    wintest::MsgBoxRecorder boxes;
    const wchar_t nbspAltitude[] = {L'1', 0x00A0, L'2', L'3', L'4', L',', L'5', 0};
    struct Step
    {
        const wchar_t* lon[3];
        const wchar_t* lat[3];
        const wchar_t* altitude;
        int focus;  // 0: accepted
        const wchar_t* field;  // the name the warning gives
    } steps[] = {
        {{L"200", L"", L""}, {L"", L"", L""}, L"", IDC_LOC_LONDEG, L"Východní délka"},
        {{L"16", L"75", L""}, {L"", L"", L""}, L"", IDC_LOC_LONDEG + 1, L"Východní délka"},
        {{L"16", L"", L"60,5"}, {L"", L"", L""}, L"", IDC_LOC_LONDEG + 2, L"Východní délka"},
        {{L"-0", L"30", L"0"}, {L"91", L"", L""}, L"", IDC_LOC_LATDEG, L"Severní šířka"},
        {{L"-0", L"30", L"0"}, {L"49", L"30", L"45"}, L"312 m", IDC_LOC_ALTITUDE, L"Nadm. výška"},
        {{L"-0", L"30", L"0"}, {L"49", L"30", L"45"}, nbspAltitude, 0, nullptr},
    };
    bool closed = Properties(TAB_LOCALITIES, 8011, [&](HWND dlg) {
        HWND page = Dlg(dlg)->AttrPage;
        for (const Step& s : steps) {
            for (int i = 0; i < 3; ++i) {
                SetDlgItemTextW(page, IDC_LOC_LONDEG + i, s.lon[i]);
                SetDlgItemTextW(page, IDC_LOC_LATDEG + i, s.lat[i]);
            }
            SetDlgItemTextW(page, IDC_LOC_ALTITUDE, s.altitude);
            size_t before = boxes.Boxes().size();
            SendMessageW(dlg, WM_COMMAND, IDOK, 0);
            if (!s.focus)
                return;
            ASSERT_EQ(before + 1, boxes.Boxes().size());
            EXPECT_EQ(std::wstring(L"Vložená hodnota je neplatná: ") + s.field, boxes.Boxes().back().text);
            EXPECT_EQ(GetDlgItem(page, s.focus), GetFocus()) << s.focus;
        }
    });
    EXPECT_TRUE(closed);
    dbtest::Rows row = host_.Query(L"SELECT LONGITUDE, LATITUDE, ALTITUDE FROM FEATURES WHERE LOCID = 8011");
    ASSERT_EQ(1u, row.size());
    EXPECT_EQ(-0.5, _wtof(row[0][0].c_str()));
    EXPECT_NEAR(49.5125, _wtof(row[0][1].c_str()), 1e-9);
    EXPECT_EQ(1234.5, _wtof(row[0][2].c_str()));

    // Shown again: the sign of a value between -1 and 0 is kept.
    Properties(TAB_LOCALITIES, 8011, [&](HWND dlg) {
        HWND page = Dlg(dlg)->AttrPage;
        EXPECT_EQ(L"-0", wintest::WindowText(GetDlgItem(page, IDC_LOC_LONDEG)));
        EXPECT_EQ(L"30", wintest::WindowText(GetDlgItem(page, IDC_LOC_LONDEG + 1)));
        EndDialog(dlg, 0);
    });
}

TEST_F(ItemDialogTest, AnAltitudeOutsideMinus500To9000MetresIsRefusedWithTheFieldNamed)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    wintest::MsgBoxRecorder boxes;
    const struct {
        const wchar_t* altitude;
        bool refused;
    } rows[] = {{L"-50000", true}, {L"9001", true}, {L"-500,5", true}, {L"9000", false}};
    double stored = _wtof(host_.Text(L"SELECT IFNULL(ALTITUDE, 0) FROM FEATURES WHERE LOCID = 8011").c_str());
    bool closed = Properties(TAB_LOCALITIES, 8011, [&](HWND dlg) {
        HWND page = Dlg(dlg)->AttrPage;
        for (const auto& row : rows) {
            SetDlgItemTextW(page, IDC_LOC_ALTITUDE, row.altitude);
            size_t before = boxes.Boxes().size();
            SendMessageW(dlg, WM_COMMAND, IDOK, 0);
            if (!row.refused)
                return;
            ASSERT_EQ(before + 1, boxes.Boxes().size()) << dbtest::Narrow(row.altitude);
            EXPECT_EQ(L"Hodnota musí ležet v rozmezí -500 až 9000 m: Nadm. výška", boxes.Boxes().back().text);
            EXPECT_EQ(GetDlgItem(page, IDC_LOC_ALTITUDE), GetFocus());
            EXPECT_EQ(stored, _wtof(host_.Text(L"SELECT IFNULL(ALTITUDE, 0) FROM FEATURES WHERE LOCID = 8011").c_str()));
        }
    });
    EXPECT_TRUE(closed);
    EXPECT_EQ(9000.0, _wtof(host_.Text(L"SELECT ALTITUDE FROM FEATURES WHERE LOCID = 8011").c_str()));
}

// ---- levels ----

TEST_F(ItemDialogTest, ALevelWithoutRecordsHidesTheRecordFieldsAndTheLocalitysAttributes)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    bool closed = Properties(TAB_LOCALITIES, 8010, [&](HWND dlg) {
        CEditSysItemDlg* d = Dlg(dlg);
        HWND page = d->AttrPage;
        HWND box = GetDlgItem(page, IDC_LOC_ATTRS);
        HWND levels = GetDlgItem(page, IDC_ATTR_LEVEL);
        int all = (int)SendMessageW(box, PBXM_GETCOUNT, (WPARAM)-1, 1);
        ASSERT_GT(all, d->TreeAttrCount);
        EXPECT_EQ(3, (int)SendMessageW(levels, CB_GETITEMDATA, SendMessageW(levels, CB_GETCURSEL, 0, 0), 0));
        const wchar_t* names[] = {L"itemdlg_locality_attributes", L"itemdlg_icons", L"itemdlg_pictures",
                                  L"itemdlg_locality_note"};
        for (int tab = ITEMTAB_ATTRIBUTES; tab <= ITEMTAB_NOTE; ++tab) {
            d->ShowTab(tab);
            wintest::SaveScreenshot(dlg, names[tab]);
        }
        d->ShowTab(ITEMTAB_ATTRIBUTES);
        for (int level : {2, 3}) {
            SendMessageW(levels, CB_SETCURSEL, FindComboItemByDataOrAbove(levels, level, 0), 0);
            SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_ATTR_LEVEL, CBN_SELCHANGE), (LPARAM)levels);
            bool records = level == 3;
            for (int id : {IDC_LOC_SQUARE, IDC_LOC_LONDEG, IDC_LOC_LATDEG + 2, IDC_LOC_ALTITUDE})
                EXPECT_EQ(records, IsWindowVisible(GetDlgItem(page, id)) != FALSE) << id;
            EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, IDC_LOC_ABBREV)));
            EXPECT_EQ(records ? all : d->TreeAttrCount, ReachableItems(box));
        }
        EndDialog(dlg, 0);
    });
    EXPECT_TRUE(closed);

    // A new taxon under a genus (level 3) is offered the levels below it, the species first.
    host_.ShowTab(TAB_SYSTEM);
    host_.Select(TAB_SYSTEM, 9010);
    OnDialog on(host_.Wnd, [&](HWND dlg) {
        HWND page = Dlg(dlg)->AttrPage;
        HWND levels = GetDlgItem(page, IDC_ATTR_LEVEL);
        EXPECT_EQ(L"Nová položka systému", wintest::WindowText(dlg));
        EXPECT_EQ(L"Nová položka", wintest::WindowText(GetDlgItem(page, IDC_ATTR_NAME)));
        EXPECT_EQ(4, (int)SendMessageW(levels, CB_GETITEMDATA, SendMessageW(levels, CB_GETCURSEL, 0, 0), 0));
        EXPECT_EQ(-1, FindComboItemByDataOrAbove(levels, 3, 0));
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, IDC_SYS_AUTHOR)));
        EndDialog(dlg, 0);
    });
    SendMessageW(host_.Wnd, WM_COMMAND, MAKEWPARAM(IDM_NEWITEM, 0), 0);
    EXPECT_TRUE(on.Ran());
}

// ---- keys ----

TEST_F(ItemDialogTest, EnterInTheAuthorFieldConfirmsAndTheNoteTakesEnterAndEscapeAsTheDialogs)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    bool closed = Properties(TAB_SYSTEM, 9101, [&](HWND dlg) {
        HWND author = GetDlgItem(Dlg(dlg)->AttrPage, IDC_SYS_AUTHOR);
        SetWindowTextW(author, L"Linné");
        HWND edit = FindWindowExW(author, nullptr, nullptr, nullptr);
        SetFocus(edit ? edit : author);
        SendKey(VK_RETURN);
    });
    EXPECT_TRUE(closed);
    EXPECT_EQ(L"Linné", host_.Text(L"SELECT AUTHOR FROM SPECIES WHERE SYSID = 9101"));

    // The locality's note: Escape cancels the dialog (its pages stay whole), Enter confirms it.
    struct Case
    {
        WORD key;
        const wchar_t* stored;
    } cases[] = {{VK_ESCAPE, L"<NULL>"}, {VK_RETURN, L"Lom u silnice"}};
    for (const Case& c : cases) {
        closed = Properties(TAB_LOCALITIES, 8010, [&](HWND dlg) {
            CEditSysItemDlg* d = Dlg(dlg);
            d->ShowTab(ITEMTAB_NOTE);
            EXPECT_EQ(dlg, GetParent(d->NoteEdit));
            SetWindowTextW(d->NoteEdit, L"Lom u silnice");
            SetFocus(d->NoteEdit);
            SendKey(c.key);
        });
        EXPECT_TRUE(closed) << c.key;
        EXPECT_EQ(c.stored, host_.Text(L"SELECT LOCNOTE FROM FEATURES WHERE LOCID = 8010")) << c.key;
    }
}

// ---- icons and pictures ----

TEST_F(ItemDialogTest, IconsAndPicturesKeepTheirFilesBytesAndStornoKeepsTheFile)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    wintest::MsgBoxRecorder boxes;
    std::wstring folder = host_.Folder + L"\\ěščř obrázky";
    CreateDirectoryW(folder.c_str(), nullptr);
    Bytes png = Png(16, 16, RGB(200, 30, 30));
    Bytes pictures[3] = {Png(40, 30, RGB(0, 120, 0)), Png(300, 200, RGB(0, 0, 160)), Png(8, 8, RGB(90, 90, 0))};
    Bytes truncated(png.begin(), png.begin() + 24);
    struct File
    {
        const wchar_t* name;
        Bytes bytes;
    } files[] = {
        {L"ikona.png", png},
        {L"foto.jpg", imgtest::EncodeJpeg(imgtest::Pixels(16, 16, RGB(10, 10, 10)))},
        {L"useknutá.png", truncated},
        {L"prázdná.ico", {}},
        {L"text.ico", Bytes{'n', 'e', 'n', 'i', ' ', 'i', 'k', 'o', 'n', 'a'}},
        {L"obr1.png", pictures[0]},
        {L"obr2.png", pictures[1]},
        {L"obr3.png", pictures[2]},
    };
    for (const File& f : files)
        WriteBytes(folder + L"\\" + f.name, f.bytes);
    auto path = [&](const wchar_t* name) { return folder + L"\\" + name; };

    bool closed = Properties(TAB_SYSTEM, 9101, [&](HWND dlg) {
        CEditSysItemDlg* d = Dlg(dlg);
        HWND icons = d->IconsPage;
        HWND preview = GetDlgItem(icons, IDC_ICON_PREVIEW + IDC_ICON_STEP);  // the small icon
        // Files that give no picture change nothing; the PNG is taken as it is.
        for (const wchar_t* bad : {L"foto.jpg", L"useknutá.png", L"prázdná.ico", L"text.ico", L"chybí.png"}) {
            g_nextFile = path(bad);
            Click(icons, IDC_ICON_LOAD + IDC_ICON_STEP);
            EXPECT_FALSE(IsBlob(&d->Record->IconSmall)) << std::wstring(bad).size();
            EXPECT_TRUE(SendMessageW(preview, STM_GETIMAGE, IMAGE_BITMAP, 0) == 0);
        }
        g_nextFile = path(L"foto.jpg");
        Click(icons, IDC_ICON_LOAD);  // a JPEG is no icon
        EXPECT_FALSE(IsBlob(&d->Record->IconLarge));
        g_nextFile = path(L"ikona.png");
        Click(icons, IDC_ICON_LOAD + IDC_ICON_STEP);
        BlobBytes small(&d->Record->IconSmall);
        ASSERT_TRUE(small.ok());
        EXPECT_EQ(png, Bytes(small.data(), small.data() + small.size()));
        BITMAP shown = {};
        GetObjectW((HBITMAP)SendMessageW(preview, STM_GETIMAGE, IMAGE_BITMAP, 0), sizeof(shown), &shown);
        EXPECT_EQ(16, shown.bmWidth);
        EXPECT_EQ(16, shown.bmHeight);
        g_nextFile = path(L"uložená");
        Click(icons, IDC_ICON_SAVE + IDC_ICON_STEP);
        EXPECT_EQ(L"png", g_defaultExtension);
        EXPECT_EQ(png, FileBytes(path(L"uložená")));
        // A save the disk cuts short is said, naming the file, and the old file stays.
        const Bytes old = {'s', 't', 'a', 'r', 'a'};
        WriteBytes(path(L"stará.png"), old);
        g_nextFile = path(L"stará.png");
        long long room = SetWriteLimitForTests(8);
        Click(icons, IDC_ICON_SAVE + IDC_ICON_STEP);
        SetWriteLimitForTests(room);
        ASSERT_EQ(1u, boxes.Boxes().size());
        EXPECT_NE(std::wstring::npos, boxes.Boxes()[0].text.find(L"„" + path(L"stará.png") + L"“: Disk je plný."))
            << dbtest::Narrow(boxes.Boxes()[0].text);
        EXPECT_EQ(old, FileBytes(path(L"stará.png")));
        d->ShowTab(ITEMTAB_ICONS);
        wintest::SaveScreenshot(dlg, L"itemdlg_icons_loaded");

        // Three pictures with a note each.
        HWND page = d->PicturesPage;
        HWND note = GetDlgItem(page, IDC_PIC_NOTE);
        const wchar_t* notes[] = {L"první", L"druhá", L"třetí"};
        g_nextFile = path(L"chybí.png");
        Click(page, IDC_PIC_LOAD);
        EXPECT_EQ(0, d->Record->Pictures->GetCount());
        for (int i = 0; i < 3; ++i) {
            g_nextFile = path(i == 0 ? L"obr1.png" : i == 1 ? L"obr2.png" : L"obr3.png");
            Click(page, IDC_PIC_LOAD);
            SetWindowTextW(note, notes[i]);
        }
        ASSERT_EQ(3, d->Record->Pictures->GetCount());
        d->ShowTab(ITEMTAB_PICTURES);
        wintest::SaveScreenshot(dlg, L"itemdlg_pictures_loaded");
        HWND toolbar = GetDlgItem(page, IDC_PIC_TOOLBAR);
        Click(page, IDC_PIC_FIRST);
        EXPECT_EQ(L"první", wintest::WindowText(note));
        Click(page, IDC_PIC_NEXT);
        EXPECT_EQ(L"druhá", wintest::WindowText(note));
        // The second becomes the default: first in the list.
        Click(page, IDC_PIC_DEFAULT);
        EXPECT_EQ(L"Položka 1 z 3", wintest::WindowText(GetDlgItem(page, IDC_PIC_COUNTER)));
        EXPECT_EQ(L"druhá", wintest::WindowText(note));
        EXPECT_EQ(0, (int)(SendMessageW(toolbar, TB_GETSTATE, IDC_PIC_FIRST, 0) & TBSTATE_ENABLED));
        EXPECT_EQ(0, (int)(SendMessageW(toolbar, TB_GETSTATE, IDC_PIC_PREVIOUS, 0) & TBSTATE_ENABLED));
        EXPECT_NE(0, (int)(SendMessageW(toolbar, TB_GETSTATE, IDC_PIC_LAST, 0) & TBSTATE_ENABLED));
        // The last one goes; the others keep their notes.
        Click(page, IDC_PIC_LAST);
        Click(page, IDC_PIC_DELETE);
        EXPECT_EQ(L"Položka 2 z 2", wintest::WindowText(GetDlgItem(page, IDC_PIC_COUNTER)));
        EXPECT_EQ(L"první", wintest::WindowText(note));
        SendMessageW(dlg, WM_COMMAND, IDOK, 0);
    });
    EXPECT_TRUE(closed);
    EXPECT_EQ(Hex(png), host_.Text(L"SELECT hex(ICONSMALL) FROM SYSTREE WHERE ID = 9101"));
    EXPECT_EQ(L"<NULL>", host_.Text(L"SELECT ICONLARGE FROM SYSTREE WHERE ID = 9101"));
    dbtest::Rows stored = host_.Query(L"SELECT SYSLEVEL, IMGNOTE, hex(PICTURE) FROM SYSIMAGES WHERE SYSID = 9101 ORDER BY SYSLEVEL");
    ASSERT_EQ(2u, stored.size());
    EXPECT_EQ((std::vector<std::wstring>{L"1", L"druhá", Hex(pictures[1])}), stored[0]);
    EXPECT_EQ((std::vector<std::wstring>{L"2", L"první", Hex(pictures[0])}), stored[1]);

    // Storno after changes leaves the file as it was; deleting every picture shows no position.
    dbtest::Rows before = host_.Query(L"SELECT ID, NAME, hex(ICONSMALL) FROM SYSTREE WHERE ID = 9101");
    dbtest::Rows picturesBefore = host_.Query(L"SELECT SYSLEVEL, IMGNOTE, hex(PICTURE) FROM SYSIMAGES ORDER BY SYSID, SYSLEVEL");
    closed = Properties(TAB_SYSTEM, 9101, [&](HWND dlg) {
        CEditSysItemDlg* d = Dlg(dlg);
        HWND page = d->PicturesPage;
        EXPECT_EQ(L"druhá", wintest::WindowText(GetDlgItem(page, IDC_PIC_NOTE)));
        SetDlgItemTextW(d->AttrPage, IDC_ATTR_NAME, L"jiné jméno");
        Click(d->IconsPage, IDC_ICON_DELETE + IDC_ICON_STEP);
        EXPECT_FALSE(IsBlob(&d->Record->IconSmall));
        Click(page, IDC_PIC_DELETE);
        Click(page, IDC_PIC_DELETE);
        EXPECT_EQ(0, d->Record->Pictures->GetCount());
        EXPECT_EQ(L"Položka 0 z 0", wintest::WindowText(GetDlgItem(page, IDC_PIC_COUNTER)));
        EXPECT_EQ(L"", wintest::WindowText(GetDlgItem(page, IDC_PIC_NOTE)));
        for (int id : {IDC_PIC_NOTE, IDC_PIC_SAVE, IDC_PIC_DEFAULT, IDC_PIC_DELETE})
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, id))) << id;
        EXPECT_TRUE(SendMessageW(GetDlgItem(page, IDC_PIC_PICTURE), STM_GETIMAGE, IMAGE_BITMAP, 0) == 0);
        Click(page, IDC_PIC_DELETE);  // nothing left to delete
        d->ShowTab(ITEMTAB_PICTURES);
        wintest::SaveScreenshot(dlg, L"itemdlg_pictures_none");
        SendMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_TRUE(closed);
    EXPECT_EQ(before, host_.Query(L"SELECT ID, NAME, hex(ICONSMALL) FROM SYSTREE WHERE ID = 9101"));
    EXPECT_EQ(picturesBefore, host_.Query(L"SELECT SYSLEVEL, IMGNOTE, hex(PICTURE) FROM SYSIMAGES ORDER BY SYSID, SYSLEVEL"));
}

// A picture file that does not decode is refused with its name, and nothing is stored.
TEST_F(ItemDialogTest, APictureThatDoesNotDecodeIsRefusedByItsNameAndNothingIsStored)
{
    ASSERT_NO_FATAL_FAILURE(Open());
    wintest::MsgBoxRecorder boxes;
    std::wstring folder = host_.Folder + L"\\špatné obrázky";
    CreateDirectoryW(folder.c_str(), nullptr);
    Bytes noise(5000);
    unsigned seed = 12345;
    for (BYTE& b : noise) {
        seed = seed * 1103515245u + 12345u;
        b = (BYTE)(seed >> 16);
    }
    const struct {
        const wchar_t* name;
        Bytes bytes;
    } bad[] = {{L"šum.jpg", noise}, {L"prázdný.png", {}}};
    dbtest::Rows before = host_.Query(L"SELECT SYSID, SYSLEVEL, hex(PICTURE) FROM SYSIMAGES ORDER BY SYSID, SYSLEVEL");
    bool closed = Properties(TAB_SYSTEM, 9101, [&](HWND dlg) {
        CEditSysItemDlg* d = Dlg(dlg);
        HWND page = d->PicturesPage;
        int pictures = d->Record->Pictures->GetCount();
        for (const auto& f : bad) {
            std::wstring path = folder + L"\\" + f.name;
            WriteBytes(path, f.bytes);
            g_nextFile = path;
            size_t shown = boxes.Boxes().size();
            Click(page, IDC_PIC_LOAD);
            EXPECT_EQ(pictures, d->Record->Pictures->GetCount()) << f.bytes.size();
            ASSERT_EQ(shown + 1, boxes.Boxes().size()) << f.bytes.size();
            EXPECT_NE(std::wstring::npos, boxes.Boxes().back().text.find(path)) << f.bytes.size();
            EXPECT_NE(std::wstring::npos, boxes.Boxes().back().text.find(L"nelze načíst jako obrázek"));
        }
        SendMessageW(dlg, WM_COMMAND, IDOK, 0);
    });
    EXPECT_TRUE(closed);
    EXPECT_EQ(before, host_.Query(L"SELECT SYSID, SYSLEVEL, hex(PICTURE) FROM SYSIMAGES ORDER BY SYSID, SYSLEVEL"));
}

}  // namespace
