#include "map/editgriddlg.h"

#include <commdlg.h>
#include <strsafe.h>

#include <cmath>
#include <string>

#include "common/filechooser.h"
#include "core/ctlfill.h"
#include "core/msgbox.h"
#include "core/textutil.h"
#include "core/xmlrefusal.h"
#include "map/mappicture.h"
#include "resources/zorna/resource.h"

namespace {

const int kGridValueCount = 8;

double* GridValue(GridDef* grid, int k)
{
    double* values[kGridValueCount] = {&grid->LatMin, &grid->LatMax, &grid->LatCoarseStep, &grid->LatFineStep,
                                       &grid->LonMin, &grid->LonMax, &grid->LonCoarseStep, &grid->LonFineStep};
    return values[k];
}

int FirstIdOf(int k) { return IDC_GRID_FIRST_VALUE + 3 * k; }

bool IsFineStep(int k) { return k == 3 || k == 7; }

void ShowGrid(CEditGridDlg* e)
{
    int was = e->Initialising;
    e->Initialising = 1;
    SetDlgItemTextW(e->Dialog, IDC_GRID_NAME, e->Work.Name);
    for (int k = 0; k < kGridValueCount; ++k)
        SetDmsEdits(e->Dialog, FirstIdOf(k), GridValueShown(*GridValue(&e->Work, k)), 0);
    e->Initialising = was;
}

// A file dialog filter from the string table, where the character 1 stands for each NUL.
std::wstring FilterString(HINSTANCE instance, UINT id)
{
    wchar_t* text = LoadStringAlloc(instance, id);
    std::wstring filter = text ? text : L"";
    free(text);
    for (wchar_t& c : filter)
        if (c == L'\x01')
            c = 0;
    filter.push_back(0);
    return filter;
}

void PrepareFileDialog(CEditGridDlg* e, OPENFILENAMEW* ofn, wchar_t* file, const std::wstring& filter)
{
    ZeroMemory(ofn, sizeof *ofn);
    ofn->lStructSize = sizeof *ofn;
    ofn->hwndOwner = e->Dialog;
    ofn->hInstance = e->Instance;
    ofn->lpstrFilter = filter.c_str();
    ofn->lpstrFile = file;
    ofn->nMaxFile = MAX_PATH;
    ofn->lpstrDefExt = L"xml";
    ofn->Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_NONETWORKBUTTON | OFN_PATHMUSTEXIST;
}

void OnSave(CEditGridDlg* e)
{
    if (!ValidateEditGrid(e))
        return;
    // The grid's name proposes the file name; characters no file name may hold become '_'.
    wchar_t file[MAX_PATH] = L"";
    StringCchPrintfW(file, MAX_PATH, L"%s.xml", e->Work.Name);
    for (wchar_t* c = file; *c; ++c)
        if (wcschr(L"\\/:*?\"<>|", *c))
            *c = L'_';
    std::wstring filter = FilterString(e->Instance, IDS_FILTER_XML);
    OPENFILENAMEW ofn;
    PrepareFileDialog(e, &ofn, file, filter);
    if (ChooseFileToSave(&ofn))
        SaveGridDefFile(e, e->Dialog, file);
}

void OnLoad(CEditGridDlg* e)
{
    wchar_t file[MAX_PATH] = L"";
    std::wstring filter = FilterString(e->Instance, IDS_FILTER_XML);
    OPENFILENAMEW ofn;
    PrepareFileDialog(e, &ofn, file, filter);
    ofn.Flags |= OFN_FILEMUSTEXIST;
    if (ChooseFileToOpen(&ofn))
        LoadGridDefFile(e, e->Dialog, file);
}

void OnOk(CEditGridDlg* e)
{
    if (!e->Changed) {
        EndDialog(e->Dialog, 0);
        return;
    }
    if (!ValidateEditGrid(e))
        return;
    if (e->Target)
        *e->Target = e->Work;
    EndDialog(e->Dialog, 1);
}

void OnCommand(CEditGridDlg* e, int id, int code)
{
    if (code == EN_CHANGE) {
        if (!e->Initialising)
            e->Changed = 1;
        return;
    }
    switch (id) {
    case IDOK: OnOk(e); break;
    case IDCANCEL: EndDialog(e->Dialog, 0); break;
    case IDC_GRID_SAVE: OnSave(e); break;
    case IDC_GRID_LOAD: OnLoad(e); break;
    default: break;
    }
}

INT_PTR CALLBACK EditGridDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CEditGridDlg* e = (CEditGridDlg*)GetWindowLongPtrW(dialog, DWLP_USER);
    switch (msg) {
    case WM_INITDIALOG: {
        e = (CEditGridDlg*)lParam;
        SetWindowLongPtrW(dialog, DWLP_USER, (LONG_PTR)e);
        e->Dialog = dialog;
        wchar_t* caption = LoadStringAlloc(e->Instance, e->IsNew ? IDS_NEW_GRID : IDS_EDIT_GRID);
        if (caption)
            SetWindowTextW(dialog, caption);
        free(caption);
        SendDlgItemMessageW(dialog, IDC_GRID_NAME, EM_LIMITTEXT, GRIDDEF_NAME_SIZE, 0);
        if (!e->IsNew)
            ShowGrid(e);
        e->Changed = 0;  // filling the controls is not a change
        return TRUE;
    }
    case WM_COMMAND:
        if (e)
            OnCommand(e, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

CEditGridDlg::CEditGridDlg(HINSTANCE instance)
    : Dialog(nullptr), IsNew(1), Target(nullptr), Work(), Changed(0), Instance(instance), Initialising(0)
{
}

int ShowEditGridDlg(CEditGridDlg* editor, HWND owner, int isNew, GridDef* grid)
{
    if (!editor)
        return 0;
    editor->IsNew = isNew ? 1 : 0;
    editor->Target = grid;
    if (isNew || !grid)
        ZeroMemory(&editor->Work, sizeof editor->Work);
    else
        editor->Work = *grid;
    editor->Changed = 0;
    editor->Initialising = 0;
    INT_PTR result = DialogBoxParamW(editor->Instance, L"EDITGRIDDLG", owner, EditGridDlgProc, (LPARAM)editor);
    editor->Dialog = nullptr;
    return result == 1 ? 1 : 0;
}

bool ValidateEditGrid(CEditGridDlg* e)
{
    wchar_t name[GRIDDEF_NAME_SIZE] = L"";
    GetDlgItemTextW(e->Dialog, IDC_GRID_NAME, name, GRIDDEF_NAME_SIZE);
    if (!name[0]) {
        ShowWarningRes(e->Instance, e->Dialog, IDS_ERROR_CAPTION, IDS_INVALID_VALUE);
        SetFocus(GetDlgItem(e->Dialog, IDC_GRID_NAME));
        return false;
    }
    StringCchCopyW(e->Work.Name, GRIDDEF_NAME_SIZE, name);
    for (int k = 0; k < kGridValueCount; ++k) {
        double value = 0;
        int read = GetDmsEdits(e->Dialog, FirstIdOf(k), &value);
        bool ok = (read == 1 && std::isfinite(value)) || (read == 0 && IsFineStep(k));
        if (!ok) {
            ShowWarningRes(e->Instance, e->Dialog, IDS_ERROR_CAPTION, IDS_INVALID_VALUE);
            SetFocus(GetDlgItem(e->Dialog, FirstIdOf(k)));
            return false;
        }
        *GridValue(&e->Work, k) = read == 1 ? value : 0;
    }
    return true;
}

int SaveGridDefFile(CEditGridDlg* editor, HWND owner, const wchar_t* path)
{
    DWORD error = 0;
    if (WriteGridDefFile(path, &editor->Work, &error))
        return 1;
    ShowFileError(owner, editor->Instance, IDS_GRID_NOT_SAVED, path, error);
    return 0;
}

int LoadGridDefFile(CEditGridDlg* editor, HWND owner, const wchar_t* path)
{
    GridDef read;
    int refusal = XmlReadOk;
    int result = ReadGridDefFile(path, &read, &refusal);
    if (result == 0) {
        if (!ShowXmlRefusal(owner, editor->Instance, IDS_ERROR_CAPTION, path, refusal))
            ZorMessageBoxRes(owner, editor->Instance, IDS_NOT_GRID_FILE, IDS_ERROR_CAPTION, MB_OK | MB_ICONERROR);
        return 0;
    }
    if (result < 0)
        return 0;  // a grid file without a grid changes nothing
    editor->Work = read;
    if (editor->Dialog)
        ShowGrid(editor);
    editor->Changed = 1;
    return 1;
}
