// The list manager MNGLISTDLG ("Úprava seznamů"): the program's list of grid definitions edited
// on a working copy through the grid editor, and written back on OK. Opened for the coordinate
// systems it shows only its caption and an empty list.
#pragma once
#include <windows.h>

#include "core/zorobj.h"

class CPtrArray;
class CEditGridDlg;

enum MngListMode
{
    MNGLIST_COORD_SYSTEMS = 0,
    MNGLIST_GRIDS = 1,
};

class CMngListDlg : public CZorObj
{
public:
    explicit CMngListDlg(HINSTANCE instance);
    // Frees the working copies and the grid editor.
    ~CMngListDlg() override;

    // Runs the dialog; 1 when the list was changed and accepted (the source then holds copies
    // of the edited grids; the caller refreshes the maps' grid combos), else 0.
    int Show(HWND owner, int mode, CPtrArray* source);

    // ---- the dialog's own work (its procedure calls these)
    void OnInit(HWND dialog);
    void OnCommand(int id, int code);
    // Edit and delete are offered only while an entry is selected.
    void EnableButtons();

    HWND Owner;
    HWND Dialog;
    int Mode;
    CPtrArray* Source;   // the caller's GridDef list
    CPtrArray* Working;  // copies being edited (ownership mode 2)
    int Changed;
    CEditGridDlg* GridEditor;  // made on first use
    HINSTANCE Instance;

private:
    void NewGrid();
    void EditGrid();
    void DeleteGrid();
    void Accept();
};

INT_PTR CALLBACK MngListDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
