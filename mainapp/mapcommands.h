// The main window's map commands: the tools and "Zobrazit vše" of the map in front (405-408),
// new, close, rename and the folder of a map (601-604), the grid list (605, 606) and a query
// layer (607). Each takes what a command handler of the main window takes.
#pragma once
#include <windows.h>

class MainForm;

// 405-407: the menu and the toolbar show the tool; from a menu or button (code 0), or a
// component that names a window, the map in front takes it. A map card announcing its own tool
// (code 2, lParam 0) only moves the check marks.
INT_PTR OnMapToolCommand(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM lParam);
INT_PTR OnShowAllMapCommand(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM lParam);
INT_PTR OnNewMapCommand(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM lParam);
INT_PTR OnCloseMapCommand(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM lParam);
INT_PTR OnRenameMapCommand(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM lParam);
INT_PTR OnLoadGraphicsCommand(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM lParam);
// 605 the coordinate systems, 606 the grids: the list manager, made on first use and kept;
// after the grids changed every map's grid combo is refilled before anything else runs.
INT_PTR OnListManagerCommand(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM lParam);
// Returns FALSE, as the command always has.
INT_PTR OnAddQueryCommand(MainForm* form, HWND mainWnd, WPARAM wParam, LPARAM lParam);
