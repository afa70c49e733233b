// The level page: the levels of one tree of the open database (tab "Systém druhů" or "Systém
// lokalit"), in their order, each with its data-level check box, and the three icons of the
// selected level. The user adds, renames, deletes and reorders levels (by dragging), sets the
// check boxes and loads, saves and clears icons; each edit marks its LevelEntry and tells the
// main form (ZM_PAGE_CHANGED). Nothing reaches the database before the main form saves.
//
// Each tree item holds the address of its LevelEntry. Entries loaded from the database belong to
// the model's level list; an entry made on the page belongs to the page until Collect appends it
// to the list (and is freed by the page when it is deleted or the page is emptied before that).
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <vector>

struct ItemList;
struct LevelEntry;

class CLevelPage {
public:
    // Creates the page (EDITSYSDLG) as a hidden child of the tab control.
    CLevelPage(HINSTANCE instance, HWND tabControl);
    ~CLevelPage();
    CLevelPage(const CLevelPage&) = delete;
    CLevelPage& operator=(const CLevelPage&) = delete;

    HWND GetWindow() const { return Page; }
    // One root item per entry of the level list, in list order; enables "Nový...".
    void Fill(ItemList* levels);
    // Empties the tree and the icons and disables the buttons.
    void Clear();
    // Before a save: the tree's order into the entries' NewLevelId (1, 2, 3 ...), and the
    // entries made on the page appended to the list once each.
    void Collect(ItemList* levels);

    HINSTANCE hInstance;
    HWND Page;
    int Busy;                // set while the tree is emptied: selection changes are ignored
    HIMAGELIST DragImages;   // drag image while a level is dragged
    int Dragging;
    int DropPos;             // the place (1-based) the dragged level takes, -1 for none
    LevelEntry* Dragged;
    ItemList* Levels;        // the model's list the page was filled from
};

INT_PTR CALLBACK LevelPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);

// The entry of a tree item (its parameter); null for none.
LevelEntry* LevelEntryOf(HWND tree, HTREEITEM item);

// Where a dragged level goes: the levels in the tree's order, the dragged one's index, and the
// item under the mouse with whether the drop is after it. The 1-based place the dragged level
// takes in the new order, or -1 when it would stay where it is.
int DropPlace(int count, int dragged, int hit, bool after);
// The order after the dragged level is taken out and put at the place.
std::vector<LevelEntry*> ReorderLevels(std::vector<LevelEntry*> order, int dragged, int place);
