#include "map/mnglistdlg.h"

#include <cstdlib>

#include "core/containers.h"
#include "core/textutil.h"
#include "map/editgriddlg.h"
#include "map/griddef.h"
#include "resources/zorna/resource.h"

namespace {

GridDef* CopyGrid(const GridDef* grid)
{
    GridDef* copy = (GridDef*)malloc(sizeof(GridDef));
    if (copy)
        *copy = *grid;
    return copy;
}

// Every grid of the list copied into the target, which is emptied first.
void CopyGrids(const CPtrArray* from, CPtrArray* to)
{
    to->RemoveAll(1);
    for (int i = 0; from && i < from->GetCount(); ++i)
        if (const GridDef* grid = (const GridDef*)from->GetItems()[i])
            if (GridDef* copy = CopyGrid(grid))
                to->Add(copy);
}

int AddEntry(HWND list, const GridDef* grid)
{
    const int row = (int)SendMessageW(list, LB_ADDSTRING, 0, (LPARAM)grid->Name);
    if (row >= 0)
        SendMessageW(list, LB_SETITEMDATA, row, (LPARAM)grid);
    return row;
}

}  // namespace

CMngListDlg::CMngListDlg(HINSTANCE instance)
    : Owner(nullptr), Dialog(nullptr), Mode(MNGLIST_COORD_SYSTEMS), Source(nullptr),
      Working(new CPtrArray(PTRARRAY_OWNS_ITEMS, 16, 4)), Changed(0), GridEditor(nullptr), Instance(instance)
{
}

CMngListDlg::~CMngListDlg()
{
    delete Working;  // with its grids
    delete GridEditor;
}

int CMngListDlg::Show(HWND owner, int mode, CPtrArray* source)
{
    Owner = owner;
    Mode = mode;
    Source = source;
    Changed = 0;
    INT_PTR result = DialogBoxParamW(Instance, L"MNGLISTDLG", owner, MngListDlgProc, (LPARAM)this);
    Dialog = nullptr;
    return result == 1 ? 1 : 0;
}

void CMngListDlg::OnInit(HWND dialog)
{
    Dialog = dialog;
    wchar_t* caption = LoadStringAlloc(Instance, Mode == MNGLIST_GRIDS ? IDS_GRIDS : IDS_COORD_SYSTEMS);
    if (caption)
        SetWindowTextW(dialog, caption);
    free(caption);
    if (Mode == MNGLIST_GRIDS) {
        CopyGrids(Source, Working);
        HWND list = GetDlgItem(dialog, IDC_MNGLIST_LIST);
        for (int i = 0; i < Working->GetCount(); ++i)
            AddEntry(list, (const GridDef*)Working->GetItems()[i]);
    }
    EnableButtons();
    SetFocus(GetDlgItem(dialog, IDCANCEL));
}

void CMngListDlg::EnableButtons()
{
    const bool selected = SendDlgItemMessageW(Dialog, IDC_MNGLIST_LIST, LB_GETCURSEL, 0, 0) >= 0;
    EnableWindow(GetDlgItem(Dialog, IDC_MNGLIST_EDIT), selected);
    EnableWindow(GetDlgItem(Dialog, IDC_MNGLIST_DELETE), selected);
}

void CMngListDlg::NewGrid()
{
    if (Mode != MNGLIST_GRIDS)
        return;
    if (!GridEditor)
        GridEditor = new CEditGridDlg(Instance);
    GridDef* grid = (GridDef*)calloc(1, sizeof(GridDef));
    if (!grid)
        return;
    if (!ShowEditGridDlg(GridEditor, Dialog, 1, grid)) {
        free(grid);
        return;
    }
    Working->Add(grid);
    AddEntry(GetDlgItem(Dialog, IDC_MNGLIST_LIST), grid);
    Changed = 1;
}

void CMngListDlg::EditGrid()
{
    HWND list = GetDlgItem(Dialog, IDC_MNGLIST_LIST);
    const int row = (int)SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (Mode != MNGLIST_GRIDS || row < 0)
        return;
    GridDef* grid = (GridDef*)SendMessageW(list, LB_GETITEMDATA, row, 0);
    if (!grid || Working->IndexOf(grid) < 0)
        return;
    if (!GridEditor)
        GridEditor = new CEditGridDlg(Instance);
    if (!ShowEditGridDlg(GridEditor, Dialog, 0, grid))
        return;
    // The entry moves to the end with its new name; the grid keeps its place in the list.
    SendMessageW(list, LB_DELETESTRING, row, 0);
    AddEntry(list, grid);
    Changed = 1;
    EnableButtons();
}

void CMngListDlg::DeleteGrid()
{
    HWND list = GetDlgItem(Dialog, IDC_MNGLIST_LIST);
    const int row = (int)SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (row < 0)
        return;
    // The entries and the list's order part after an edit: the grid is found by its pointer.
    GridDef* grid = (GridDef*)SendMessageW(list, LB_GETITEMDATA, row, 0);
    SendMessageW(list, LB_DELETESTRING, row, 0);
    const int index = Working->IndexOf(grid);
    if (index >= 0)
        free(Working->RemoveAt(index));
    Changed = 1;
    EnableButtons();
}

void CMngListDlg::Accept()
{
    if (!Changed) {
        EndDialog(Dialog, 0);
        return;
    }
    if (Mode == MNGLIST_GRIDS && Source)
        CopyGrids(Working, Source);
    EndDialog(Dialog, Mode == MNGLIST_GRIDS ? 1 : 0);
}

void CMngListDlg::OnCommand(int id, int code)
{
    switch (id) {
    case IDC_MNGLIST_LIST:
        if (code == LBN_SELCHANGE)
            EnableButtons();
        break;
    case IDC_MNGLIST_NEW: NewGrid(); break;
    case IDC_MNGLIST_EDIT: EditGrid(); break;
    case IDC_MNGLIST_DELETE: DeleteGrid(); break;
    case IDOK: Accept(); break;
    case IDCANCEL: EndDialog(Dialog, 0); break;
    default: break;
    }
}

INT_PTR CALLBACK MngListDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        ((CMngListDlg*)lParam)->OnInit(hwnd);
        return FALSE;  // the focus is on Storno
    }
    CMngListDlg* dlg = (CMngListDlg*)GetWindowLongPtrW(hwnd, DWLP_USER);
    if (!dlg || msg != WM_COMMAND)
        return FALSE;
    dlg->OnCommand(LOWORD(wParam), HIWORD(wParam));
    return TRUE;
}
