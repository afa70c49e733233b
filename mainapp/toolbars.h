// The main window's two toolbars: the main toolbar (control 1000) with the file, item, list
// view, map and help buttons and a name combo for quick navigation in the tree cards, and the
// record toolbar (control 1003) with large labelled buttons for the records of the list in
// front. Both send their commands as ordinary WM_COMMAND to the main window.
#pragma once
#include <windows.h>
#include <commctrl.h>

// Layout groups of the main toolbar: which buttons stand before the name combo.
enum MainToolbarGroup
{
    TBGROUP_MAPS = 0,        // 405-408, the map separator and 607 shown
    TBGROUP_TREE_CARDS = 6,  // 401-404 shown
    TBGROUP_OTHER = 11,      // none of them
};

// Bits of the re-group request (lParam of ZM_ENABLE_VIEW_COMMANDS).
enum MainToolbarRegroupBits
{
    TBREGROUP_LIST_VIEW = 1,  // 401-404
    TBREGROUP_MAP = 2,        // 405-408, the separator with command 1, 607
};

// Status bar: two parts, the first ending 146 pixels from the left, the second at the edge.
void SetStatusBarParts(HWND statusBar);

class MainToolbar
{
public:
    static const int kComboPlaceholder = 17;  // index of the separator the combo sits over
    static const int kComboWidth = 120;

    // Fills the toolbar window with its 20 buttons and creates the combo.
    MainToolbar(HWND toolbar, HINSTANCE instance);
    ~MainToolbar();  // the windows die with the main window
    MainToolbar(const MainToolbar&) = delete;
    MainToolbar& operator=(const MainToolbar&) = delete;

    // Lays the toolbar out for a group (MainToolbarGroup): the combo takes the room between
    // the last visible button of the group and the buttons after it. Returns the toolbar's
    // window size.
    SIZE Layout(int group);
    // ZM_ENABLE_VIEW_COMMANDS: hides the list view and map buttons, shows and enables (enable
    // nonzero) or shows grayed the groups named by bits (MainToolbarRegroupBits) and lays the
    // toolbar out for the group that results. Returns that group.
    int Regroup(BOOL enable, LPARAM bits);
    // Enables or grays the item buttons (301 new item, 303 delete).
    void EnableItemButtons(bool enable);
    // Checks one of the list view modes 401-404 and unchecks the others.
    void CheckViewMode(int command);
    // Checks one of the map tools 405-407 and unchecks the others.
    void CheckMapTool(int command);
    void ShowCombo(BOOL show);
    void ResetCombo();

    HWND Toolbar;
    HWND Host;   // owner-drawn "Button" carrying the combo
    HWND Combo;
    int PlaceholderIndex;
    HIMAGELIST DisabledImages;  // faded copies of the images, for grayed buttons
};

class ViewToolbar
{
public:
    static const int kSpacerPlaceholder = 3;  // index of the separator before Export

    // Fills the toolbar window with its 7 labelled buttons and the spacer.
    ViewToolbar(HWND toolbar, HINSTANCE instance);
    ~ViewToolbar();
    ViewToolbar(const ViewToolbar&) = delete;
    ViewToolbar& operator=(const ViewToolbar&) = delete;

    // Stretches the spacer so that Export, Print and Help end at the right edge. Returns the
    // toolbar's window size.
    SIZE Layout();
    // ZM_UPDATE_RECORD_TOOLBAR: the button states for a record list shown or not, the count of
    // selected rows and the current tab. Returns nonzero when printing is possible (the main
    // window enables menu item 106 with it).
    int Update(BOOL listShown, int selectedCount, int tab);

    HWND Toolbar;
    HWND Host;  // owner-drawn spacer "Button"
    HIMAGELIST Images;
    int PlaceholderIndex;
    HIMAGELIST DisabledImages;  // faded copies of the images, for grayed buttons
};
