// The attribute page: the user-defined attributes of one data table (one of six tabs), and the
// type, tab name, size, empty value, minimum and maximum of the selected one. The user adds,
// renames and deletes attributes and edits their details (the type only of an attribute made
// since the last save, the size only of a new text or list attribute); on the records page
// (ZORNACOLLS) each item's check box is the attribute's key flag. Each edit marks its AttrEntry
// and tells the main form (ZM_PAGE_CHANGED); nothing reaches the database before it saves.
//
// Each list item holds the address of its AttrEntry. Entries loaded from the database belong to
// the model's attribute list; an entry made on the page belongs to the page until Collect
// appends it to the list.
#pragma once
#include <windows.h>
#include <oleauto.h>

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
    // Before a save: the selected attribute's tab name, and the attributes made on the page
    // appended to the list once each, in the page's order.
    void Collect(ItemList* attrs);

    HINSTANCE hInstance;
    HWND Page;
    CSchemaDb* SchemaDb;    // given by Fill, valid while the database is open
    wchar_t TableName[32];
    bool IsRecords;
    bool Busy;              // set while the page changes its own controls
    ItemList* Attrs;        // the model's list the page was filled from
    AttrEntry* Shown;       // the attribute whose details the controls show, null for none
};

INT_PTR CALLBACK AttrPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);

// The entry of a list item (its parameter); null for none.
AttrEntry* AttrEntryOf(HWND list, int item);

// Numbers typed into the page. Each answers 0 for an empty text (blanks only), 1 when the whole
// text is a number that fits (*out set), -1 otherwise (*out untouched): "abc", "12x", a number
// beyond 32 bits, "1e999". Reals take the user's decimal and thousands separators.
int ReadTypedInt(const wchar_t* text, int* out);
int ReadTypedReal(const wchar_t* text, double* out);
