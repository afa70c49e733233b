// Property grid (PROPERTYBOX): shared state of the item model and the window behaviour.
#pragma once
#include <windows.h>
#include <oleauto.h>
#include <string>
#include <vector>

namespace propbox {

// Row state bits of an item.
enum : int {
    RS_HOT = 1,
    RS_SELECTED = 2,
    RS_EDITING = 4,
    RS_PRESSED = 8,
};

// The low part of the type word; the on-demand bit sits above it.
enum : UINT {
    T_TEXT = 1, T_INTEGER, T_REAL, T_LIST, T_COMBO, T_BOOL, T_FLAGS, T_BINARY, T_OBJECT,
    T_ONDEMAND = 0x100,
};

struct PropItem {
    int childCap = 0;
    UINT type = 0;
    std::wstring name;
    bool hasDisplay = false;  // the display text may be missing, which differs from empty
    std::wstring display;
    VARIANT value;
    int visible = 1;
    int wide = 1;
    int expanded = 0;
    int propagate = 1;
    int state = 0;
    bool hasList = false;
    std::vector<std::wstring> list;
    PropItem* parent = nullptr;
    std::vector<PropItem*> children;
    LPARAM data = 0;  // owners keep pointers here, so it is pointer-sized
    int limit = 0;    // characters the editor takes; 0 any
    bool hasListValues = false;
    std::vector<int> listValues;

    PropItem() { VariantInit(&value); }
    ~PropItem() { VariantClear(&value); }
    UINT BaseType() const { return type & ~T_ONDEMAND; }
};

enum { EDITOR_COUNT = 6 };

struct PropBoxData {
    HWND hwnd = nullptr;
    HFONT font = nullptr;
    int textHeight = 0;
    int indent = 0;
    int split = -1;
    int cur = -1;
    int hot = -1;
    int top = 0;
    int tracking = 0;
    int dragging = 0;
    BYTE cursorMode = 0;
    std::vector<PropItem*> items;     // creation order: position = index
    std::vector<PropItem*> topLevel;  // display order
    std::wstring yes = L"yes";
    std::wstring no = L"no";
    HWND editors[EDITOR_COUNT] = {};
    int inNotify = 0;
    int ending = 0;  // guards against the editor's focus loss re-entering the end of an edit
    std::wstring openText;  // editor text when it was opened, to tell a real change apart

    int Pitch() const { return textHeight + 3; }
    bool Unicode() const { return IsWindowUnicode(hwnd) != FALSE; }
};

struct Row {
    PropItem* item;
    int depth;
};

PropBoxData* GetData(HWND hwnd);
int IndexOf(const PropBoxData* d, const PropItem* item);
std::vector<Row> BuildRows(const PropBoxData* d);
int RowOf(const PropBoxData* d, const PropItem* item);

// Model (propbox_items.cpp)
LRESULT HandleItemMessage(PropBoxData* d, UINT msg, WPARAM wParam, LPARAM lParam, bool* handled);
void FreeAllItems(PropBoxData* d);
void SetItemValue(PropBoxData* d, PropItem* item, const VARIANT* value);
void ReadItemValue(PropBoxData* d, PropItem* item, VARIANT* out);
std::wstring ListSeparator();
// The position of the item's shown text in its value list; -1 without a list or a value, or when
// the text is not in the list.
int ListPosition(const PropItem* item);

// Window (propbox.cpp)
void UpdateScrollRange(PropBoxData* d, BOOL redraw);
void InvalidateItemRow(PropBoxData* d, PropItem* item);
void InvalidateItemRows(PropBoxData* d, PropItem* item);  // row plus the rows of expanded children
void EndEdit(PropBoxData* d, bool commit, bool focus);
void SelectItem(PropBoxData* d, int index, bool open);
void SelectNext(PropBoxData* d, bool previous, bool wrap);
HWND EditorFor(const PropBoxData* d, const PropItem* item);
bool EditorChanged(PropBoxData* d, const PropItem* item);
std::wstring EditorText(PropBoxData* d, const PropItem* item, bool* hasSelection);

std::wstring ToWide(LPCSTR text);
std::string ToAnsi(const std::wstring& text);

}  // namespace propbox
