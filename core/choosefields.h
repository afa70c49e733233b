// The column chooser (CHOOSEFIELDS): the user moves fields between the available columns and
// the chosen ones, and orders the chosen ones by dragging.
#pragma once
#include <windows.h>

#include "core/containers.h"

enum ChooseFieldsControl
{
    IDC_CHOOSE_CHOSEN = 102,     // drag list of the chosen fields
    IDC_CHOOSE_AVAILABLE = 104,  // the other fields, extended selection
    IDC_CHOOSE_ADD = 105,        // "<<"
    IDC_CHOOSE_REMOVE = 106,     // ">>"
};

// The state of the dialog; only one exists at a time (the dialog finds it as the current one).
struct ChooseFieldsState
{
    ChooseFieldsState(HINSTANCE instance, HWND parent);
    ~ChooseFieldsState();
    ChooseFieldsState(const ChooseFieldsState&) = delete;
    ChooseFieldsState& operator=(const ChooseFieldsState&) = delete;

    HINSTANCE Instance;
    HWND Parent;
    CObjArray* Available;  // CFieldBase objects, borrowed
    CObjArray* Chosen;     // CFieldBase objects, borrowed
};

ChooseFieldsState* CurrentChooseFieldsState();

// 1 after OK, 0 after Cancel.
int ShowChooseFields(ChooseFieldsState* state, HWND parent);
// The database fields of a CDispField list become the available ones; returns the list's count.
int SetAvailableFields(ChooseFieldsState* state, CObjArray* dispFields);
// Replaces the chosen fields (none for null).
void SetChosenFields(ChooseFieldsState* state, CObjArray* fields);
// The chosen fields' names joined by the list separator; a new heap string (free).
wchar_t* GetChosenText(ChooseFieldsState* state);

// Moves a list box item (text and item data) so that it stands before the item `before`
// (at the end for -1 or a position past the last item); nothing when that leaves it in place.
void MoveListBoxItem(HWND listBox, int from, int before);
