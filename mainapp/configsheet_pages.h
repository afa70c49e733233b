// What the pages of the configuration sheet share: the requests they send each other through
// PSM_QUERYSIBLINGS, the page procedures and the steps of an apply pass.
#pragma once
#include <windows.h>
#include <commctrl.h>

class ConfigData;
class CCustFld;
class CObjArray;

// wParam of PSM_QUERYSIBLINGS between the pages. A page answers 0 to go on to the next page.
enum ConfigSiblingQuery
{
    // lParam: a CustomColumnChange; every list page shows it in its data list.
    CONFIG_QUERY_CUSTOM_CHANGED = 1,
    // lParam: a list view that has just been filled; the custom columns page shows its changes
    // not yet applied there.
    CONFIG_QUERY_NEW_COLUMNS = 16,
    // lParam: a LabelQuery; a list page answers 1 when one of its data rows carries the label.
    CONFIG_QUERY_LABEL_USED = 0x100,
};

// A custom column that changed on the custom columns page: the rows of the list pages that
// show Shown (the column as they knew it) show Now instead; Now null removes them, Shown null
// (a column made on the page) appends a row for Now unless one shows it already.
struct CustomColumnChange
{
    CCustFld* Shown;
    CCustFld* Now;
};

struct LabelQuery
{
    const wchar_t* Label;
    const CCustFld* Own[2];  // rows that show these columns do not count
};

// A private message of the custom columns page: apply its changes now when it has any (the list
// pages need the custom columns in the lists before they write their own rows).
const UINT WM_CONFIG_APPLY_CUSTOM = WM_APP + 1;

INT_PTR CALLBACK ConfigGeneralPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ConfigCustomPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ConfigSystemPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ConfigLocalityPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ConfigSearchPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ConfigLiteraturePageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);

// The configuration a page keeps in DWLP_USER; on WM_INITDIALOG it is taken from the page's
// PROPSHEETPAGE and the sheet window is noted.
ConfigData* PageConfig(HWND page, UINT msg, LPARAM lParam);

// Marks page k changed: the configuration's flag, the page's state and the sheet's Apply button.
void MarkPageChanged(ConfigData* config, HWND page, int k);
// The end of one page's PSN_APPLY: when something changed and no page waits to be applied any
// more, the main window re-applies the configuration (ZM_CONFIG_CHANGED) and a card font that
// the general page replaced is deleted. The page's answer to PSN_APPLY is set.
INT_PTR FinishPageApply(ConfigData* config, HWND page);

// A warning of the sheet (string id, caption 500 "Chyba") over the configuration's owner; a
// string that names the part at fault takes it for its "%s" and a number for the "%d" after it.
void ConfigWarning(ConfigData* config, UINT textId, const wchar_t* part = nullptr, int number = 0);

// Whether a label is carried by a data row of the systematic, locality or search list other
// than those that show the query's own columns: the rows of the pages that are open, the
// configuration's lists for the others.
bool IsLabelUsed(ConfigData* config, const LabelQuery& query);

// Shows a custom column change in one list view of a list page.
void ShowCustomChange(HWND list, const CustomColumnChange& change);
