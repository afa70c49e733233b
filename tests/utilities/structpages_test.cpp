// The structure editor in Tarnix's real main form, driven with the messages its controls send:
// the level page (new, rename, names refused, deleting, check boxes by click and space bar,
// dragging, icons), the name dialog, the attribute page (new attributes and their column names,
// type and size rules, values typed, key flags) and the saves started from the form (command
// 104, the save question, Storno during a step, validation after a failed save).
#include <windows.h>
#include <commctrl.h>
#include <wincodec.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/filechooser.h"
#include "core/longpath.h"
#include "tools/sampledb/sampledb.h"
#include "dataaccess/ado.h"
#include "tests/support/wintest.h"
#include "tests/utilities/formfixture.h"
#include "tests/structure/tarnixtest.h"
#include "utilities/attrpage.h"
#include "utilities/levelpage.h"
#include "utilities/namedlg.h"
#include "structure/structmodel.h"

namespace {

using namespace tarnixtest;
using wintest::WindowText;

// ---- driving the pages ----

void Click(HWND page, int id)
{
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(page, id)));
}

// Answers the next name dialog: each text is typed and OK pressed in turn (a refused one keeps
// the dialog open); when every text was refused, Storno. The dialog's title and the text it
// offered first come back.
struct NameAnswer {
    std::wstring title, offered;
};
void AnswerNames(const std::wstring& title, std::vector<std::wstring> texts, NameAnswer* seen,
                 const wchar_t* screenshot = nullptr)
{
    OnDialog(title, [texts, seen, screenshot](HWND dlg) {
        seen->title = WindowText(dlg);
        seen->offered = WindowText(GetDlgItem(dlg, IDC_NAME_EDIT));
        for (const std::wstring& text : texts) {
            SetDlgItemTextW(dlg, IDC_NAME_EDIT, text.c_str());
            if (screenshot)
                wintest::SaveScreenshot(dlg, screenshot);
            SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
        PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
}

HTREEITEM FindItem(HWND tree, const wchar_t* name)
{
    for (HTREEITEM i = TreeView_GetRoot(tree); i; i = TreeView_GetNextSibling(tree, i))
        if (wintest::TreeItemText(tree, i) == name)
            return i;
    return nullptr;
}

std::vector<std::wstring> ItemNames(HWND tree)
{
    std::vector<std::wstring> names;
    for (HTREEITEM i = TreeView_GetRoot(tree); i; i = TreeView_GetNextSibling(tree, i))
        names.push_back(wintest::TreeItemText(tree, i));
    return names;
}

int FindRow(HWND list, const wchar_t* caption)
{
    for (int i = 0; i < ListView_GetItemCount(list); ++i)
        if (wintest::ListCellText(list, i, 0) == caption)
            return i;
    return -1;
}

void SelectRow(HWND list, int row)
{
    ListView_SetItemState(list, row, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
}

// Types into an edit as the user does: the text, then the edit's EN_CHANGE reaches the page.
void Type(HWND page, int id, const wchar_t* text)
{
    SetDlgItemTextW(page, id, text);
}

// A click of the left button at a point of a window, as the mouse makes it (the position of
// the posted messages is the cursor's).
void ClickAt(HWND window, POINT client)
{
    POINT screen = client;
    ClientToScreen(window, &screen);
    SetCursorPos(screen.x, screen.y);
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(client.x, client.y));
    PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(client.x, client.y));
    wintest::PumpMessages(60);
}

// A point on an item's check box.
POINT CheckBoxOf(HWND tree, HTREEITEM item)
{
    RECT text;
    TreeView_GetItemRect(tree, item, &text, TRUE);
    for (int x = text.left - 1; x >= 0; --x) {
        TVHITTESTINFO hit = {};
        hit.pt = {x, (text.top + text.bottom) / 2};
        if (TreeView_HitTest(tree, &hit) == item && (hit.flags & TVHT_ONITEMSTATEICON))
            return hit.pt;
    }
    ADD_FAILURE() << "no check box found";
    return {0, 0};
}

// Pixels of one colour in a window as the screen shows it, once it has painted and the painting
// has reached the screen (the message loop takes it there).
int PixelsOfColour(HWND window, COLORREF colour)
{
    UpdateWindow(window);
    wintest::PumpMessages(50);
    RECT r;
    GetWindowRect(window, &r);
    const DWORD want = (DWORD)GetRValue(colour) << 16 | (DWORD)GetGValue(colour) << 8 | GetBValue(colour);
    int count = 0;
    for (DWORD pixel : wintest::ScreenPixels(r))
        count += pixel == want;
    return count;
}

// ---- files for the icon buttons ----

std::wstring g_openPath, g_savePath, g_saveExtension;

BOOL WINAPI OpenTestFile(OPENFILENAMEW* ofn)
{
    wcscpy(ofn->lpstrFile, g_openPath.c_str());
    return TRUE;
}

BOOL WINAPI SaveTestFile(OPENFILENAMEW* ofn)
{
    g_saveExtension = ofn->lpstrDefExt ? ofn->lpstrDefExt : L"";
    wcscpy(ofn->lpstrFile, g_savePath.c_str());
    return TRUE;
}

bool WriteBytes(const std::wstring& path, const std::vector<unsigned char>& bytes)
{
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f)
        return false;
    fwrite(bytes.data(), 1, bytes.size(), f);
    return fclose(f) == 0;
}

std::vector<unsigned char> BlobOf(const VARIANT* v)
{
    std::vector<unsigned char> bytes;
    if (v->vt != (VT_ARRAY | VT_UI1))
        return bytes;
    void* data = nullptr;
    SafeArrayAccessData(v->parray, &data);
    bytes.assign(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + v->parray->rgsabound[0].cElements);
    SafeArrayUnaccessData(v->parray);
    return bytes;
}

void SetBlob(VARIANT* v, const std::vector<unsigned char>& bytes)
{
    VariantClear(v);
    v->vt = VT_ARRAY | VT_UI1;
    v->parray = SafeArrayCreateVector(VT_UI1, 0, (ULONG)bytes.size());
    void* data = nullptr;
    SafeArrayAccessData(v->parray, &data);
    memcpy(data, bytes.data(), bytes.size());
    SafeArrayUnaccessData(v->parray);
}

// A 4 x 3 picture of 24 bits in the typed form: tag 1, the bits' offset from byte 1, the header,
// the bits.
std::vector<unsigned char> TypedDib()
{
    BITMAPINFOHEADER h = {};
    h.biSize = sizeof(h);
    h.biWidth = 4;
    h.biHeight = 3;
    h.biPlanes = 1;
    h.biBitCount = 24;
    std::vector<unsigned char> bytes = {1, 0, 0};
    const unsigned short offset = (unsigned short)(2 + sizeof(h));
    bytes[1] = (unsigned char)(offset & 0xFF);
    bytes[2] = (unsigned char)(offset >> 8);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(&h);
    bytes.insert(bytes.end(), p, p + sizeof(h));
    for (int i = 0; i < 3 * 12; ++i)
        bytes.push_back((unsigned char)(i * 7));
    return bytes;
}

// The size of a picture file as WIC decodes it; 0 x 0 when it does not.
SIZE DecodedSize(const std::wstring& path)
{
    SIZE size = {0, 0};
    IWICImagingFactory* factory = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))))
        return size;
    IWICBitmapDecoder* decoder = nullptr;
    if (SUCCEEDED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                     WICDecodeMetadataCacheOnDemand, &decoder))) {
        IWICBitmapFrameDecode* frame = nullptr;
        if (SUCCEEDED(decoder->GetFrame(0, &frame))) {
            UINT w = 0, h = 0;
            frame->GetSize(&w, &h);
            size = {(LONG)w, (LONG)h};
            frame->Release();
        }
        decoder->Release();
    }
    factory->Release();
    return size;
}

class StructurePages : public TarnixForm {
protected:
    void OpenSample()
    {
        path_ = dbtest::CopyOfTemplate(SampleTemplate(), dbtest::TestFolderName("tarnix_pages_").c_str());
        ASSERT_NO_FATAL_FAILURE(StartForm());
        OpenFile(path_);
        ASSERT_EQ(Levels(0).size(), 5u);
    }
    HWND Tree(int tab) { return GetDlgItem(Page(tab), IDC_LEVEL_TREE); }
    HWND List(int tab) { return GetDlgItem(Page(tab), IDC_ATTR_LIST); }
    LevelEntry* Level(int tab, const wchar_t* name) { return LevelEntryOf(Tree(tab), FindItem(Tree(tab), name)); }
    // New levels made through the name dialog, each accepted at once.
    void NewLevels(int tab, std::vector<std::wstring> names)
    {
        for (const std::wstring& name : names) {
            NameAnswer seen;
            AnswerNames(L"Nový název", {name}, &seen);
            Click(Page(tab), IDC_LEVEL_NEW);
        }
    }
    // A drag of a level of the first tab begins, as the tree reports it.
    void BeginDrag(const wchar_t* name)
    {
        HWND tree = Tree(0);
        NMTREEVIEWW nm = {};
        nm.hdr.hwndFrom = tree;
        nm.hdr.idFrom = IDC_LEVEL_TREE;
        nm.hdr.code = TVN_BEGINDRAGW;
        nm.itemNew.hItem = FindItem(tree, name);
        nm.itemNew.lParam = reinterpret_cast<LPARAM>(LevelEntryOf(tree, nm.itemNew.hItem));
        RECT r;
        TreeView_GetItemRect(tree, nm.itemNew.hItem, &r, TRUE);
        nm.ptDrag = {r.left + 2, (r.top + r.bottom) / 2};
        SendMessageW(Page(0), WM_NOTIFY, IDC_LEVEL_TREE, reinterpret_cast<LPARAM>(&nm));
    }
    // The mouse over the upper (before) or lower (after) half of a level, in the page's
    // coordinates, as the captured mouse reports it; the drop place it gives.
    int MoveOver(const wchar_t* name, bool after)
    {
        HWND tree = Tree(0);
        RECT r;
        TreeView_GetItemRect(tree, FindItem(tree, name), &r, TRUE);
        POINT p = {r.left + 2, after ? r.bottom - 2 : r.top + 1};
        MapWindowPoints(tree, Page(0), &p, 1);
        SendMessageW(Page(0), WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
        return app_->LevelPages[0]->DropPos;
    }
    std::wstring path_;
};

TEST_F(StructurePages, TheLevelPageAddsRenamesAndRefusesNames)
{
    ASSERT_NO_FATAL_FAILURE(OpenSample());
    HWND page = Page(0), tree = Tree(0);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_LEVEL_NEW)));
    EXPECT_FALSE(app_->Modified);
    {
        // Blanks, a name longer than the stored one, another level's name in other letter case
        // (Czech letters too), then a name with blanks around it.
        wintest::MsgBoxRecorder boxes;
        NameAnswer seen;
        AnswerNames(L"Nový název", {L"   ", std::wstring(500, L'x'), L"čeleď", L"ŘÁD", L"  Forma  "}, &seen,
                    L"utilities_namedlg");
        Click(page, IDC_LEVEL_NEW);
        EXPECT_EQ(seen.title, L"Nový název");
        EXPECT_EQ(seen.offered, L"Nová položka systému");
        ASSERT_EQ(boxes.Boxes().size(), 4u);
        for (const auto& box : boxes.Boxes()) {
            EXPECT_EQ(box.text, &box == &boxes.Boxes()[1] ? L"Název má 500 znaků, uložit lze nejvýše 63. Zkraťte ho."
                                                          : L"Název nesmí být prázdný a nesmí už existovat v seznamu");
            EXPECT_EQ(box.caption, L"Chyba");
        }
    }
    EXPECT_EQ(ItemNames(tree), (std::vector<std::wstring>{L"Řád", L"Čeleď", L"Rod", L"Druh", L"Poddruh", L"Forma"}));
    LevelEntry* forma = Level(0, L"Forma");
    ASSERT_NE(forma, nullptr);
    EXPECT_EQ(forma->State, ENTRY_NEW);
    EXPECT_EQ(forma->NewLevelId, 6);
    EXPECT_EQ(forma->DataLevel, 0);
    EXPECT_EQ(forma->UseCount, 0);
    EXPECT_FALSE(TreeView_GetCheckState(tree, FindItem(tree, L"Forma")));
    EXPECT_TRUE(app_->Modified);
    EXPECT_FALSE(MenuState(IDM_T_SAVE) & MF_GRAYED);

    // A rename offers the name; the level's own name in other case is fine; a new level stays new.
    TreeView_SelectItem(tree, FindItem(tree, L"Rod"));
    NameAnswer seen;
    AnswerNames(L"Přejmenování", {L"ROD"}, &seen);
    Click(page, IDC_LEVEL_RENAME);
    EXPECT_EQ(seen.offered, L"Rod");
    EXPECT_EQ(Level(0, L"ROD")->State, ENTRY_CHANGED);
    TreeView_SelectItem(tree, FindItem(tree, L"Forma"));
    AnswerNames(L"Přejmenování", {L"Forma (f.)"}, &seen);
    Click(page, IDC_LEVEL_RENAME);
    EXPECT_EQ(Level(0, L"Forma (f.)")->State, ENTRY_NEW);
    // Storno leaves the name.
    AnswerNames(L"Přejmenování", {}, &seen);
    Click(page, IDC_LEVEL_RENAME);
    EXPECT_NE(FindItem(tree, L"Forma (f.)"), nullptr);
    wintest::SaveScreenshot(form_, L"utilities_levelpage_edited");

    // A level with items is not deleted; a new one is simply forgotten.
    TreeView_SelectItem(tree, FindItem(tree, L"Čeleď"));
    {
        wintest::MsgBoxRecorder boxes;
        Click(page, IDC_LEVEL_DELETE);
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, L"Úroveň „Čeleď“ nelze smazat, protože do ní patří položky stromu.");
    }
    EXPECT_EQ(Level(0, L"Čeleď")->State, ENTRY_UNCHANGED);
    TreeView_SelectItem(tree, FindItem(tree, L"Forma (f.)"));
    Click(page, IDC_LEVEL_DELETE);
    EXPECT_EQ(FindItem(tree, L"Forma (f.)"), nullptr);
    app_->LevelPages[0]->Collect(&app_->Model.Lists[MODEL_SYS_LEVELS]);
    EXPECT_EQ(app_->Model.Lists[MODEL_SYS_LEVELS].Count, 5) << "nothing to add, nothing to delete";
}

TEST_F(StructurePages, AClickAndTheSpaceBarBothSetTheDataLevelFlag)
{
    ASSERT_NO_FATAL_FAILURE(OpenSample());
    HWND tree = Tree(1);
    ShowTab(1);
    HTREEITEM okres = FindItem(tree, L"Okres"), lokalita = FindItem(tree, L"Lokalita");
    ClickAt(tree, CheckBoxOf(tree, okres));
    EXPECT_TRUE(TreeView_GetCheckState(tree, okres));
    EXPECT_NE(Level(1, L"Okres")->DataLevel, 0);
    EXPECT_EQ(Level(1, L"Okres")->State, ENTRY_CHANGED);
    TreeView_SelectItem(tree, lokalita);
    SetFocus(tree);
    SendMessageW(tree, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(tree, WM_CHAR, L' ', 0);
    SendMessageW(tree, WM_KEYUP, VK_SPACE, 0xC0000001);
    wintest::PumpMessages(30);
    EXPECT_FALSE(TreeView_GetCheckState(tree, lokalita));
    EXPECT_EQ(Level(1, L"Lokalita")->DataLevel, 0);
    wintest::SaveScreenshot(form_, L"utilities_levelpage_checks");
    // Saved and loaded again, as set.
    Command(IDM_T_SAVE);
    EXPECT_FALSE(app_->Modified);
    Command(IDM_T_CLOSE);
    EXPECT_EQ(dbtest::Query(path_, L"SELECT NAME, DATALEVEL <> 0 FROM LOCDEF WHERE LEVELID > 0 ORDER BY LEVELID"),
              (dbtest::Rows{{L"Kraj", L"0"}, {L"Okres", L"1"}, {L"Lokalita", L"0"}}));
}

TEST_F(StructurePages, LevelsAreDraggedIntoPlaceAcrossNumberGaps)
{
    ASSERT_NO_FATAL_FAILURE(OpenSample());
    HWND page = Page(0), tree = Tree(0);
    CLevelPage* levels = app_->LevelPages[0];
    NewLevels(0, {L"A", L"B", L"C"});
    // A level with items keeps its place.
    BeginDrag(L"Rod");
    EXPECT_EQ(levels->Dragging, 0);
    // Beside itself there is no drop place.
    BeginDrag(L"C");
    ASSERT_EQ(levels->Dragging, 1);
    EXPECT_EQ(MoveOver(L"B", true), -1);
    EXPECT_EQ(MoveOver(L"C", false), -1);
    EXPECT_EQ(MoveOver(L"A", false), 6);
    wintest::SaveScreenshot(form_, L"utilities_levelpage_drag");
    SendMessageW(page, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(levels->Dragging, 0);
    EXPECT_EQ(ItemNames(tree), (std::vector<std::wstring>{L"Řád", L"Čeleď", L"Rod", L"Druh", L"Poddruh", L"C", L"A", L"B"}));
    EXPECT_EQ(Level(0, L"C")->NewLevelId, 6);
    EXPECT_EQ(Level(0, L"B")->NewLevelId, 8);
    // A gap in the numbers (A deleted), then B dropped before C.
    TreeView_SelectItem(tree, FindItem(tree, L"A"));
    Click(page, IDC_LEVEL_DELETE);
    BeginDrag(L"B");
    EXPECT_EQ(MoveOver(L"C", false), 6);
    SendMessageW(page, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(ItemNames(tree), (std::vector<std::wstring>{L"Řád", L"Čeleď", L"Rod", L"Druh", L"Poddruh", L"B", L"C"}));
    EXPECT_EQ(Level(0, L"B")->NewLevelId, 6);
    EXPECT_EQ(Level(0, L"C")->NewLevelId, 7);
    // Off every level: no drop place, and a release changes nothing.
    BeginDrag(L"C");
    SendMessageW(page, WM_MOUSEMOVE, 0, MAKELPARAM(5, 2000));
    EXPECT_EQ(levels->DropPos, -1);
    SendMessageW(page, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(Level(0, L"C")->NewLevelId, 7);
    // Saved in that order.
    Command(IDM_T_SAVE);
    Command(IDM_T_CLOSE);
    EXPECT_EQ(dbtest::Query(path_, L"SELECT NAME FROM SYSDEF WHERE LEVELID > 5 ORDER BY LEVELID"),
              (dbtest::Rows{{L"B"}, {L"C"}}));
    EXPECT_EQ(dbtest::QueryInt(path_, L"SELECT COUNT(*) FROM pragma_table_info('ZORNACOLLS') WHERE name LIKE 'SYS_LEVEL_%'"), 7);

    // The drop places of the rule itself: (levels, dragged, hit, after) -> place.
    struct Case {
        int count, dragged, hit;
        bool after;
        int place;
    };
    const Case cases[] = {{5, 4, 0, false, 1}, {5, 0, 4, true, 5}, {5, 2, 3, false, -1}, {5, 2, 1, true, -1},
                          {5, 2, 2, true, -1}, {5, 1, 3, true, 4},  {5, 3, 1, false, 2}, {1, 0, 0, false, -1}};
    for (const Case& c : cases)
        EXPECT_EQ(DropPlace(c.count, c.dragged, c.hit, c.after), c.place) << c.dragged << "->" << c.hit;
}

// However a drag ends, its insert mark goes: dropped, moved off every level, or cancelled when
// another window takes the mouse.
TEST_F(StructurePages, TheInsertMarkGoesWithTheDragDroppedOrCancelled)
{
    ASSERT_NO_FATAL_FAILURE(OpenSample());
    HWND page = Page(0), tree = Tree(0);
    CLevelPage* levels = app_->LevelPages[0];
    NewLevels(0, {L"A", L"B", L"C"});
    // A colour nothing else on the page has, so that the mark's pixels can be counted.
    const COLORREF mark = RGB(255, 0, 255);
    TreeView_SetInsertMarkColor(tree, mark);
    // The first drag moves C before A; the others end without a drop and change nothing.
    const std::vector<std::wstring> order = {L"Řád", L"Čeleď", L"Rod", L"Druh", L"Poddruh", L"C", L"A", L"B"};
    struct Case {
        const char* name;
        const wchar_t *dragged, *over;
        std::function<void()> end;
    };
    const Case cases[] = {
        {"dropped", L"C", L"A", [&] { SendMessageW(page, WM_LBUTTONUP, 0, 0); }},
        {"moved off every level", L"B", L"C", [&] { SendMessageW(page, WM_MOUSEMOVE, 0, MAKELPARAM(5, 2000)); }},
        {"the mouse taken by another window", L"B", L"C",
         [&] {
             SetCapture(form_);
             ReleaseCapture();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BeginDrag(c.dragged);
        ASSERT_EQ(levels->Dragging, 1);
        ASSERT_GT(MoveOver(c.over, false), 0);
        EXPECT_LT(0, PixelsOfColour(tree, mark)) << "the mark is shown during the drag";
        c.end();
        wintest::PumpMessages(30);
        EXPECT_EQ(0, PixelsOfColour(tree, mark));
        if (levels->Dragging) {
            SendMessageW(page, WM_LBUTTONUP, 0, 0);
            EXPECT_EQ(0, PixelsOfColour(tree, mark)) << "released";
        }
        EXPECT_EQ(levels->Dragging, 0);
        EXPECT_EQ(ItemNames(tree), order);
    }
    wintest::SaveScreenshot(form_, L"utilities_levelpage_dragended");
}

TEST_F(StructurePages, IconsLoadSaveAndClearAndATypedBitmapSavesAsABmpFile)
{
    ASSERT_NO_FATAL_FAILURE(OpenSample());
    FileDialogFn previousOpen = SetOpenFileChooser(OpenTestFile);
    FileDialogFn previousSave = SetSaveFileChooser(SaveTestFile);
    HWND page = Page(0), tree = Tree(0);
    TreeView_SelectItem(tree, FindItem(tree, L"Druh"));
    LevelEntry* druh = Level(0, L"Druh");
    // A PNG loads into the small icon; a file that is no picture leaves the large one.
    std::vector<unsigned char> png = zor::MakeSamplePng(16, 16, 7);
    g_openPath = folder_ + L"\\ikona.png";
    ASSERT_TRUE(WriteBytes(g_openPath, png));
    Click(page, IDC_LEVEL_SMALLLOAD);
    EXPECT_EQ(BlobOf(&druh->IconSmall), png);
    EXPECT_EQ(druh->State, ENTRY_CHANGED);
    std::vector<unsigned char> large = BlobOf(&druh->IconLarge);
    g_openPath = folder_ + L"\\není obrázek.ico";
    ASSERT_TRUE(WriteBytes(g_openPath, {'t', 'e', 'x', 't'}));
    Click(page, IDC_LEVEL_LARGELOAD);
    EXPECT_EQ(BlobOf(&druh->IconLarge), large);
    g_openPath = folder_ + L"\\chybí.ico";
    Click(page, IDC_LEVEL_LARGELOAD);
    EXPECT_EQ(BlobOf(&druh->IconLarge), large);
    // Saved as it is stored, with the extension of its kind.
    g_savePath = folder_ + L"\\velká.bmp";
    Click(page, IDC_LEVEL_LARGESAVE);
    EXPECT_EQ(g_saveExtension, L"bmp");
    std::string saved = wintest::ReadFileBytes(g_savePath);
    EXPECT_EQ(std::vector<unsigned char>(saved.begin(), saved.end()), large);
    // A save the disk cuts short is said, naming the file, and the old file stays.
    ASSERT_TRUE(WriteBytes(g_savePath, {'s', 't', 'a', 'r', 'a'}));
    {
        wintest::MsgBoxRecorder boxes;
        long long room = SetWriteLimitForTests(8);
        Click(page, IDC_LEVEL_LARGESAVE);
        SetWriteLimitForTests(room);
        ASSERT_EQ(1u, boxes.Boxes().size());
        EXPECT_NE(std::wstring::npos, boxes.Boxes()[0].text.find(L"„" + g_savePath + L"“: Disk je plný."));
    }
    EXPECT_EQ("stara", wintest::ReadFileBytes(g_savePath));
    // A typed bitmap becomes a whole .bmp file.
    SetBlob(&druh->IconOpen, TypedDib());
    g_savePath = folder_ + L"\\otevřená.bmp";
    Click(page, IDC_LEVEL_OPENSAVE);
    SIZE size = DecodedSize(g_savePath);
    EXPECT_EQ(size.cx, 4);
    EXPECT_EQ(size.cy, 3);
    // Cleared: no picture, no bytes.
    Click(page, IDC_LEVEL_OPENCLEAR);
    EXPECT_EQ(druh->IconOpen.vt, VT_EMPTY);
    EXPECT_EQ(SendDlgItemMessageW(page, IDC_LEVEL_OPENICON, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
    EXPECT_NE(SendDlgItemMessageW(page, IDC_LEVEL_SMALLICON, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
    wintest::SaveScreenshot(form_, L"utilities_levelpage_icons");
    SetOpenFileChooser(previousOpen);
    SetSaveFileChooser(previousSave);
    // Saved: the new icon in the file, the cleared one NULL.
    Command(IDM_T_SAVE);
    Command(IDM_T_CLOSE);
    EXPECT_EQ(dbtest::Query(path_, L"SELECT length(ICONSMALL), ICONSELECTED IS NULL FROM SYSDEF WHERE NAME = 'Druh'"),
              (dbtest::Rows{{std::to_wstring(png.size()), L"1"}}));
}

TEST_F(StructurePages, TheAttributePageMakesColumnNamesAndKeepsTypesSizesAndValuesInTheirRules)
{
    ASSERT_NO_FATAL_FAILURE(OpenSample());
    ShowTab(4);
    HWND page = Page(4), list = List(4);
    EXPECT_FALSE(ListView_GetExtendedListViewStyle(list) & LVS_EX_CHECKBOXES) << "key flags on the records page only";
    EXPECT_TRUE(ListView_GetExtendedListViewStyle(List(6)) & LVS_EX_CHECKBOXES);
    // Two captions that make the same column name.
    NameAnswer seen;
    for (const wchar_t* caption : {L"Název", L"Název?"}) {
        AnswerNames(L"Nový název", {caption}, &seen);
        Click(page, IDC_ATTR_NEW);
        EXPECT_EQ(seen.offered, L"Nový atribut");
    }
    {
        wintest::MsgBoxRecorder boxes;
        AnswerNames(L"Nový název", {L"NÁZEV"}, &seen);
        Click(page, IDC_ATTR_NEW);
        EXPECT_EQ(boxes.Boxes().size(), 1u) << "a caption in other case is refused";
    }
    AttrEntry* first = AttrEntryOf(list, FindRow(list, L"Název"));
    AttrEntry* second = AttrEntryOf(list, FindRow(list, L"Název?"));
    ASSERT_TRUE(first && second);
    EXPECT_STREQ(first->FieldName, L"NAZEV");
    EXPECT_STREQ(second->FieldName, L"NAZEV01");
    EXPECT_EQ(second->Type, 4);
    EXPECT_EQ(second->Size, 32);
    EXPECT_EQ(second->State, ENTRY_NEW);
    EXPECT_STREQ(second->TabName, L"");
    // The new one is shown: its type and size may change, its values are for numbers only.
    EXPECT_EQ(FindRow(list, L"Název?"), ListView_GetNextItem(list, -1, LVNI_FOCUSED));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_ATTR_TYPE)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_ATTR_SIZE)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_ATTR_MINVAL)));
    for (const wchar_t* refused : {L"0", L"-5", L"99999999999", L"12x", L"abc"}) {
        Type(page, IDC_ATTR_SIZE, refused);
        EXPECT_EQ(second->Size, 32) << dbtest::Narrow(refused);
    }
    Type(page, IDC_ATTR_SIZE, L"40");
    EXPECT_EQ(second->Size, 40);
    SendDlgItemMessageW(page, IDC_ATTR_TYPE, CB_SETCURSEL, 2, 0);
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_ATTR_TYPE, CBN_SELCHANGE), reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_ATTR_TYPE)));
    EXPECT_EQ(second->Type, 2);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_ATTR_SIZE)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_ATTR_MINVAL)));
    // A real in the user's format; texts that are no number (or none that fits) leave it.
    Type(page, IDC_ATTR_MINVAL, L"1,5");
    EXPECT_EQ(second->MinVal.vt, VT_R8);
    EXPECT_DOUBLE_EQ(second->MinVal.dblVal, 1.5);
    for (const wchar_t* refused : {L"abc", L"1e999", L"1,5,5"}) {
        Type(page, IDC_ATTR_MINVAL, refused);
        EXPECT_EQ(second->MinVal.vt, VT_R8) << dbtest::Narrow(refused);
        EXPECT_DOUBLE_EQ(second->MinVal.dblVal, 1.5);
    }
    Type(page, IDC_ATTR_MINVAL, L"");
    EXPECT_EQ(second->MinVal.vt, VT_NULL);
    // The tab name typed is kept when another attribute is chosen.
    Type(page, IDC_ATTR_TAB, L"Morfologie");
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_ATTR_TAB, CBN_EDITCHANGE), reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_ATTR_TAB)));
    wintest::SaveScreenshot(form_, L"utilities_attrpage_new");
    SelectRow(list, FindRow(list, L"Český název"));
    EXPECT_STREQ(second->TabName, L"Morfologie");
    // A saved attribute's type and size stay.
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_ATTR_TYPE)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_ATTR_SIZE)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_ATTR_TAB)));

    // Integer values on the records page; the key check box sets the flag.
    ShowTab(6);
    HWND records = Page(6), keys = List(6);
    int count = FindRow(keys, L"Počet exemplářů");
    SelectRow(keys, count);
    AttrEntry* pocet = AttrEntryOf(keys, count);
    Type(records, IDC_ATTR_MINVAL, L"7");
    EXPECT_EQ(pocet->MinVal.vt, VT_I4);
    EXPECT_EQ(pocet->MinVal.lVal, 7);
    Type(records, IDC_ATTR_MAXVAL, L"2,5");
    EXPECT_EQ(pocet->MaxVal.vt, VT_R8) << "the stored maximum stays as loaded";
    Type(records, IDC_ATTR_MAXVAL, L"");
    EXPECT_EQ(pocet->MaxVal.vt, VT_NULL);
    int leg = FindRow(keys, L"Sběratel (leg.)");
    ListView_SetCheckState(keys, leg, TRUE);
    EXPECT_NE(AttrEntryOf(keys, leg)->KeyFlag, 0);
    EXPECT_EQ(AttrEntryOf(keys, leg)->State, ENTRY_CHANGED);
    wintest::SaveScreenshot(form_, L"utilities_attrpage_records");

    // Deleting: a new attribute is forgotten, a saved one is marked.
    ShowTab(4);
    SelectRow(list, FindRow(list, L"Název"));
    Click(page, IDC_ATTR_DELETE);
    EXPECT_EQ(FindRow(list, L"Název"), -1);
    SelectRow(list, FindRow(list, L"Délka těla (mm)"));
    AttrEntry* length = AttrEntryOf(list, FindRow(list, L"Délka těla (mm)"));
    int holders = (int)dbtest::QueryInt(SampleTemplate(), L"SELECT COUNT(*) FROM SPECIES WHERE DELKA IS NOT NULL");
    ASSERT_GT(holders, 0);
    {
        // One with values asks first, naming how many: Ne keeps it, Ano marks it.
        wintest::MsgBoxRecorder boxes({IDNO, IDYES});
        Click(page, IDC_ATTR_DELETE);
        EXPECT_NE(length->State, ENTRY_DELETED);
        Click(page, IDC_ATTR_DELETE);
        ASSERT_EQ(boxes.Boxes().size(), 2u);
        EXPECT_NE(boxes.Boxes()[0].text.find(L"„Délka těla (mm)“ má vyplněnou hodnotu. Počet záznamů s hodnotou: " +
                                             std::to_wstring(holders) + L"."), std::wstring::npos);
    }
    EXPECT_EQ(length->State, ENTRY_DELETED);

    // Saved: the file has what the pages showed.
    Command(IDM_T_SAVE);
    EXPECT_FALSE(app_->Modified);
    Command(IDM_T_CLOSE);
    EXPECT_EQ(dbtest::Query(path_, L"SELECT FIELDNAME, ATTRTYPE, TABNAME, typeof(MINVAL) FROM CUSTOMATTRIBUTES WHERE CAPTION = 'Název?'"),
              (dbtest::Rows{{L"NAZEV01", L"2", L"Morfologie", L"null"}}));
    EXPECT_EQ(dbtest::QueryInt(path_, L"SELECT COUNT(*) FROM pragma_table_info('SPECIES') WHERE name IN ('NAZEV', 'DELKA')"), 0);
    EXPECT_EQ(dbtest::Query(path_, L"SELECT name FROM pragma_index_info('COLL_INDEX') ORDER BY seqno"),
              (dbtest::Rows{{L"SYSID"}, {L"FTRID"}, {L"DATUM"}, {L"LEG"}}));
    EXPECT_EQ(dbtest::Query(path_, L"SELECT MINVAL, MAXVAL FROM CUSTOMATTRIBUTES WHERE FIELDNAME = 'POCET'"),
              (dbtest::Rows{{L"7.0", L"<NULL>"}}));
}

// ---- saves started from the form ----

TEST_F(StructurePages, TheSaveQuestionAndStornoDuringAStepKeepTheEditsPending)
{
    ASSERT_NO_FATAL_FAILURE(OpenSample());
    // Command 202 saves only what is modified: now nothing, not a statement.
    int statements = 0;
    zdata::SetStatementHook([&](const std::wstring&, std::wstring*) {
        ++statements;
        return S_OK;
    });
    Command(IDM_T_SAVEIFMODIFIED);
    zdata::SetStatementHook(nullptr);
    EXPECT_EQ(statements, 0);
    NewLevels(1, {L"Mikrolokalita"});
    TreeView_SelectItem(Tree(0), FindItem(Tree(0), L"Rod"));
    NameAnswer seen;
    AnswerNames(L"Přejmenování", {L"Genus"}, &seen);
    Click(Page(0), IDC_LEVEL_RENAME);
    // Cancel: the database stays open with its edits.
    {
        wintest::MsgBoxRecorder boxes({IDCANCEL});
        Command(IDM_T_CLOSE);
        EXPECT_EQ(boxes.Boxes().size(), 1u);
    }
    EXPECT_EQ(Status(), L"Status: " + path_);
    EXPECT_NE(FindItem(Tree(1), L"Mikrolokalita"), nullptr);
    // Closing the form with Cancel keeps it too.
    {
        wintest::MsgBoxRecorder boxes({IDCANCEL});
        SendMessageW(form_, WM_CLOSE, 0, 0);
        EXPECT_TRUE(IsWindow(form_));
    }
    // Storno while the locality levels are saved: the whole save rolls back, 205 shows, the
    // dialog ends with 0 and everything stays pending.
    HWND progress = nullptr;
    bool pressed = false;
    zdata::SetStatementHook([&](const std::wstring& sql, std::wstring*) {
        if (!progress)
            progress = FindWindowW(L"#32770", L"Ukládání změn");
        // One press of Storno (a second one would close the dialog once the worker has ended).
        if (sql.find(L"LOCDEF") != std::wstring::npos && !pressed) {
            pressed = true;
            Sleep(500);  // the dialog is looked at meanwhile
            SendMessageW(progress, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
        return S_OK;
    });
    OnDialog(L"Ukládání změn", [](HWND dlg) { wintest::SaveScreenshot(dlg, L"utilities_save_progress"); });
    {
        wintest::MsgBoxRecorder boxes;
        EXPECT_FALSE(SaveConfiguration(app_, form_));
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, L"Ukládání bylo přerušeno uživatelem. V databázi se nic nezměnilo.");
    }
    zdata::SetStatementHook(nullptr);
    EXPECT_NE(progress, nullptr);
    EXPECT_TRUE(app_->Modified);
    EXPECT_FALSE(MenuState(IDM_T_SAVE) & MF_GRAYED);
    EXPECT_EQ(Level(1, L"Mikrolokalita")->State, ENTRY_NEW);
    EXPECT_EQ(Level(0, L"Genus")->State, ENTRY_CHANGED);
    // A save that fails keeps validation from running.
    zdata::SetStatementHook([](const std::wstring& sql, std::wstring* description) {
        *description = L"Odmítnuto";
        return sql.find(L"LOCDEF") != std::wstring::npos ? E_FAIL : S_OK;
    });
    bool asked = false;
    OnDialog(L"Kontrola databáze", [&](HWND dlg) {
        asked = true;
        PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
    });
    {
        wintest::MsgBoxRecorder boxes;
        Command(IDM_T_VALIDATE);
        EXPECT_GE(boxes.Boxes().size(), 1u);
    }
    zdata::SetStatementHook(nullptr);
    wintest::PumpMessages(100);
    EXPECT_FALSE(asked) << "the check works from the saved structure only";
    DialogWaits().clear();
    // Yes at the close saves what is pending.
    {
        wintest::MsgBoxRecorder boxes({IDYES});
        Command(IDM_T_CLOSE);
        EXPECT_EQ(boxes.Boxes().size(), 1u);
    }
    EXPECT_EQ(Status(), L"Status: Není otevřená žádná databáze");
    EXPECT_EQ(dbtest::Query(path_, L"SELECT NAME FROM LOCDEF WHERE LEVELID = 4"), (dbtest::Rows{{L"Mikrolokalita"}}));
    EXPECT_EQ(dbtest::Query(path_, L"SELECT NAME FROM SYSDEF WHERE LEVELID = 3"), (dbtest::Rows{{L"Genus"}}));
}

}  // namespace
