// The table list page (the table or sheet of an Access or Excel source) and the text settings
// page (separator, header row, rows to skip of a text file). What they store becomes the
// wizard's GroupContext, with which the columns' page asks the source for its columns.
#include <strsafe.h>

#include "core/ctlfill.h"
#include "import/impwizard.h"
#include "resources/tarnix/resource.h"

namespace {

CPtrArray* GroupList(ImportWizardState* state, int g)
{
    return g >= 1 && g <= 8 ? state->Job->GroupItems[g - 1] : nullptr;
}

int FillCurrentGroup(ImportWizardState* state)
{
    int g = state->GroupIndex;
    CPtrArray* list = GroupList(state, g);
    if (!list || !state->Job->Source)
        return 0;
    int kind = state->Job->Source->FillGroup(g, list, nullptr);
    state->Job->GroupKinds[g - 1] = kind;
    return kind;
}

// Empties the columns of the group after the current one (they were listed for other settings).
void ForgetNextColumns(ImportWizardState* state)
{
    int g = state->GroupIndex + 1;
    CPtrArray* list = GroupList(state, g);
    if (!list)
        return;
    for (int i = 0; i < list->GetCount(); ++i)
        FreeGroupEntry(state->Job->GroupKinds[g - 1], list->GetItems()[i]);
    list->RemoveAll(0);
}

// ---- table list ----

void ShowTables(ImportWizardState* state, HWND page)
{
    FillCurrentGroup(state);
    HWND list = GetDlgItem(page, IDC_IMP_TABLES);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    CPtrArray* tables = GroupList(state, state->GroupIndex);
    for (int i = 0; tables && i < tables->GetCount(); ++i)
        SendMessageW(list, LB_ADDSTRING, 0, (LPARAM)tables->GetItems()[i]);
    LRESULT found = state->Job->TableName
                        ? SendMessageW(list, LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)state->Job->TableName)
                        : LB_ERR;
    if (found == LB_ERR) {
        SetWizardButtons(page, PSWIZB_BACK);
        return;
    }
    SendMessageW(list, LB_SETCURSEL, (WPARAM)found, 0);
    SetWizardButtons(page, PSWIZB_BACK | PSWIZB_NEXT);
}

void StoreTableChoice(ImportWizardState* state, HWND page)
{
    free(state->Job->TableName);
    state->Job->TableName = nullptr;
    HWND list = GetDlgItem(page, IDC_IMP_TABLES);
    LRESULT sel = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (sel < 0) {
        state->GroupContext = nullptr;
        return;
    }
    LRESULT length = SendMessageW(list, LB_GETTEXTLEN, (WPARAM)sel, 0);
    wchar_t* name = static_cast<wchar_t*>(calloc((size_t)length + 1, sizeof(wchar_t)));
    SendMessageW(list, LB_GETTEXT, (WPARAM)sel, (LPARAM)name);
    state->Job->TableName = name;
    state->GroupContext = name;
}

// ---- text settings ----

TextImportOptions* Settings(ImportWizardState* state)
{
    CPtrArray* list = GroupList(state, state->GroupIndex);
    return list && list->GetCount() > 0 ? static_cast<TextImportOptions*>(list->GetItems()[0]) : nullptr;
}

void InitTextSettings(ImportWizardState* state, HWND page)
{
    HWND combo = GetDlgItem(page, IDC_IMP_SEPARATOR);
    SendMessageW(combo, CB_LIMITTEXT, 4, 0);
    for (UINT id : {177u, 178u}) {
        wchar_t text[32] = L"";
        LoadStringW(state->hInstance, id, text, 32);
        SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)text);
    }
    SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)L";");
    SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)L",");
}

void ShowTextSettings(ImportWizardState* state, HWND page)
{
    FillCurrentGroup(state);
    TextImportOptions* options = Settings(state);
    if (!options)
        return;
    HWND combo = GetDlgItem(page, IDC_IMP_SEPARATOR);
    if (wcscmp(options->Separator, L"\t") == 0)
        SendMessageW(combo, CB_SETCURSEL, 0, 0);
    else if (wcscmp(options->Separator, L" ") == 0)
        SendMessageW(combo, CB_SETCURSEL, 1, 0);
    else {
        SendMessageW(combo, CB_SETCURSEL, (WPARAM)-1, 0);
        SetWindowTextW(combo, options->Separator);
    }
    SetDlgItemInt(page, IDC_IMP_SKIP, (UINT)options->SkipRows, TRUE);
    CheckDlgButton(page, IDC_IMP_HEADER, options->FirstRowHeader ? BST_CHECKED : BST_UNCHECKED);
    SetWizardButtons(page, PSWIZB_BACK | PSWIZB_NEXT);
}

void StoreTextSettings(ImportWizardState* state, HWND page)
{
    TextImportOptions* options = Settings(state);
    if (!options)
        return;
    TextImportOptions before = *options;
    HWND combo = GetDlgItem(page, IDC_IMP_SEPARATOR);
    LRESULT sel = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (sel == 0)
        StringCchCopyW(options->Separator, 4, L"\t");
    else if (sel == 1)
        StringCchCopyW(options->Separator, 4, L" ");
    else
        GetWindowTextW(combo, options->Separator, 4);
    wchar_t skip[16] = L"";
    GetDlgItemTextW(page, IDC_IMP_SKIP, skip, 16);
    int rows = 0;
    if (!skip[0])
        options->SkipRows = 0;
    else if (GetWindowInt(GetDlgItem(page, IDC_IMP_SKIP), 16, &rows))
        options->SkipRows = rows;
    options->FirstRowHeader = IsDlgButtonChecked(page, IDC_IMP_HEADER) == BST_CHECKED ? 1 : 0;
    state->GroupContext = options;
    // Other settings give other columns: the mapping made for the old ones is dropped.
    if (wcscmp(before.Separator, options->Separator) != 0 || before.SkipRows != options->SkipRows ||
        before.FirstRowHeader != options->FirstRowHeader)
        ForgetNextColumns(state);
}

INT_PTR PageNotify(ImportWizardState* state, HWND page, NMHDR* hdr, void (*show)(ImportWizardState*, HWND),
                   void (*store)(ImportWizardState*, HWND))
{
    switch (hdr->code) {
    case PSN_SETACTIVE:
        show(state, page);
        return AnswerPage(page, 0);
    case PSN_KILLACTIVE:
        store(state, page);
        return AnswerPage(page, FALSE);
    case PSN_WIZNEXT:
        store(state, page);
        return WizardNext(state, page);
    case PSN_WIZBACK:
        store(state, page);
        return WizardBack(state, page);
    }
    return FALSE;
}

}  // namespace

INT_PTR CALLBACK TableListPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        InitWizardPage(page, lParam);
        return TRUE;
    }
    ImportWizardState* state = WizardStateOf(page);
    if (!state)
        return FALSE;
    if (msg == WM_COMMAND && LOWORD(wParam) == IDC_IMP_TABLES && HIWORD(wParam) == LBN_SELCHANGE) {
        ForgetNextColumns(state);
        SetWizardButtons(page, PSWIZB_BACK | PSWIZB_NEXT);
        return TRUE;
    }
    if (msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->hwndFrom == GetParent(page))
        return PageNotify(state, page, reinterpret_cast<NMHDR*>(lParam), ShowTables, StoreTableChoice);
    return FALSE;
}

INT_PTR CALLBACK TextSettingsPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        InitTextSettings(InitWizardPage(page, lParam), page);
        return TRUE;
    }
    ImportWizardState* state = WizardStateOf(page);
    if (state && msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(lParam)->hwndFrom == GetParent(page))
        return PageNotify(state, page, reinterpret_cast<NMHDR*>(lParam), ShowTextSettings, StoreTextSettings);
    return FALSE;
}
