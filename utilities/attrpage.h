// The attribute page: the user-defined attributes of one data table (one of six tabs), and the
// type, tab name, size, empty value, minimum and maximum of the selected one. Each list item
// holds the address of its AttrEntry of the model; on the records page (ZORNACOLLS) the item's
// check box shows the attribute's key flag.
//
// The page shows the attributes; creating, renaming, deleting and changing them come with the
// structure editor. Until then the detail controls show the selected attribute, disabled, and
// the records page's check boxes keep showing the stored flags.
#pragma once
#include <windows.h>

struct ItemList;
struct AttrEntry;
class CSchemaDb;

class CAttrPage {
public:
    // Creates the page (EDITKEYDLG) as a hidden child of the tab control.
    CAttrPage(HINSTANCE instance, HWND tabControl, const wchar_t* tableName, bool isRecords);
    ~CAttrPage();
    CAttrPage(const CAttrPage&) = delete;
    CAttrPage& operator=(const CAttrPage&) = delete;

    HWND GetWindow() const { return Page; }
    // One item per entry of the attribute list, in list order; the tab names into the tab combo.
    void Fill(ItemList* attrs, CSchemaDb* schemaDb);
    // Empties the list, the tab combo and the detail controls.
    void Clear();

    HINSTANCE hInstance;
    HWND Page;
    CSchemaDb* SchemaDb;    // given by Fill, valid while the database is open
    wchar_t TableName[32];
    bool IsRecords;
    bool Busy;              // set while the page changes its own controls
};

INT_PTR CALLBACK AttrPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);

// The entry of a list item (its parameter); null for none.
AttrEntry* AttrEntryOf(HWND list, int item);
