// The grid editor EDITGRIDDLG: a grid's name and its eight values as degrees, minutes and
// seconds, with saving to and loading from a grid definition file. One editor object per list
// manager, kept between uses.
#pragma once
#include <windows.h>

#include "core/zorobj.h"
#include "map/griddef.h"

class CEditGridDlg : public CZorObj
{
public:
    explicit CEditGridDlg(HINSTANCE instance);

    HWND Dialog;
    int IsNew;         // 1 a new grid, 0 an existing one
    GridDef* Target;   // where OK writes
    GridDef Work;      // the copy being edited
    int Changed;
    HINSTANCE Instance;
    int Initialising;  // the controls are being filled: their changes are not the user's
};

// Runs the dialog for a new grid (all zeros) or a copy of an existing one; 1 when the grid was
// changed and accepted (written to grid), else 0.
int ShowEditGridDlg(CEditGridDlg* editor, HWND owner, int isNew, GridDef* grid);

// Validates the controls into Work; false (with the warning shown and the focus on the bad
// edit) when a value is missing or not a number.
bool ValidateEditGrid(CEditGridDlg* editor);
// Writes Work as a grid definition file; a file that cannot be written is reported with the
// system's reason. 1 when written.
int SaveGridDefFile(CEditGridDlg* editor, HWND owner, const wchar_t* path);
// Reads a grid definition file into Work and the controls; a file of another kind is refused
// with an error. 1 when read.
int LoadGridDefFile(CEditGridDlg* editor, HWND owner, const wchar_t* path);
