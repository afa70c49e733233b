// The commands of the main window in one table: every menu item, toolbar button and accelerator
// has a row that names its handler. A row without a handler stands for a command the program
// does not offer (a literature command without a menu item): it is grayed in the menus and
// indeterminate on the toolbars, and when it arrives anyway it does nothing. Giving such a row
// its handler is all it takes to offer the command.
#pragma once
#include <windows.h>

class MainForm;

// Handler of one command (or of a range of them); the result is the dialog procedure's.
typedef INT_PTR (*MainCommandHandler)(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM lParam);

struct MainCommandRow
{
    int First;                   // the command, or the first of a range
    int Last;                    // the last of the range (First for a single command)
    MainCommandHandler Handler;  // null: not offered
};

// The row of a command; null for an id the main window does not handle.
const MainCommandRow* FindMainCommand(int id);
// Whether the command is offered (its row has a handler).
bool IsCommandAvailable(int id);
// Grays every item of the menu and its submenus whose command is not offered.
void GrayUnavailableCommands(HMENU menu);
// Makes every button of the toolbar whose command is not offered indeterminate (hidden buttons
// stay hidden).
void MarkUnavailableButtons(HWND toolbar);
// The EnableMenuItem flags for a command its caller wants enabled or grayed: grayed whenever
// the command is not offered.
UINT CommandMenuFlags(int id, bool enabled);

// Code of the notification word of a command that a component sends itself (lParam then
// carries its argument); 0 comes from a menu or a toolbar button, 1 from an accelerator.
const WORD kCommandFromComponent = 2;

// Shows the error box of a command about one file: the string `formatId` with its %s replaced
// by the path.
void ReportFileError(MainForm* form, HWND mainWnd, UINT formatId, const wchar_t* path);

// Saves the workspace to ConfigPath; a file that cannot be written (read-only, its folder
// cannot be made, a full disk) is reported in Czech and left as it was. False when not written.
bool SaveWorkspaceAndReport(MainForm* form, HWND mainWnd);

// ---- handlers that live in files of their own ----

// 101-104: open, save, save as and new workspace file (mainapp/templatecmds.cpp).
INT_PTR OnOpenTemplate(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM lParam);
INT_PTR OnSaveTemplate(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM lParam);
INT_PTR OnSaveTemplateAs(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM lParam);
INT_PTR OnNewTemplate(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM lParam);
