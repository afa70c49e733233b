// The level page: the levels of one tree of the open database (tab "Systém druhů" or "Systém
// lokalit"), in their order, each with its data-level check box, and the three icons of the
// selected level. Each tree item holds the address of its LevelEntry of the model.
//
// The page shows the levels; adding, renaming, deleting, reordering, the check boxes and the
// icon buttons edit them once the structure editor is in place. Until then the check boxes
// keep showing the stored flags and the buttons stay disabled.
#pragma once
#include <windows.h>
#include <commctrl.h>

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
    // One root item per entry of the level list, in list order.
    void Fill(ItemList* levels);
    // Empties the tree and the icons and disables the buttons.
    void Clear();

    HINSTANCE hInstance;
    HWND Page;
    int Busy;                // set while the tree is emptied: selection changes are ignored
    HIMAGELIST DragImages;   // drag image while a level is dragged
    int Dragging;
    int DropPos;
    LevelEntry* Dragged;
};

INT_PTR CALLBACK LevelPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);

// The entry of a tree item (its parameter); null for none.
LevelEntry* LevelEntryOf(HWND tree, HTREEITEM item);
