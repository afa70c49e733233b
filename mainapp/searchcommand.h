// The search command (306, "Vyhledávání"): the search dialog, then the search list filled with
// the records that match what the user chose.
#pragma once
#include <windows.h>

class MainForm;

// Strings of the search command.
enum SearchCommandStringId
{
    IDS_SEARCH_WARNING_CAPTION = 600,  // "Varování"
    IDS_SEARCH_NO_CRITERIA = 601,      // "Nebyla vložena žádná kritéria pro výběr. Vybere se vše."
};

// Runs SEARCHDLG; after OK builds the condition over the records view's columns and lists the
// matching records in the search list (all of them, after a warning, when nothing was chosen).
// Returns FALSE, as the command handlers do.
INT_PTR RunSearchCommand(MainForm* form, HWND mainWnd);
