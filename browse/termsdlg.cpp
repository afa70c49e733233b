// The lookup values editor: the table and attribute choice, the two value lists, and the
// replace, abbreviation and delete requests.
#include "browse/termsdlg.h"

#include <stdlib.h>

#include "core/attrdef.h"
#include "core/ctlfill.h"
#include "core/lookupedit.h"
#include "core/textutil.h"
#include "shellcontract/zm_protocol.h"
#include "resources/zorna/resource.h"

namespace {

// Table item of the combo -> lookup table kind: 0 SYSTREE (4), 1 SPECIES (1), 2 LOCTREE (5),
// 3 FEATURES (2), 4 ZORNACOLLS (3), 5 LITERATURE (6).
const int kKindOfTable[6] = {4, 1, 5, 2, 3, 6};
const int kTableCount = 6;
const int kFirstOpenTable = 4;  // "Sbírka"
const int kSpeciesTable = 1;    // "Druhy", where the author list comes first
// ABBREV columns hold 15 characters; an author's name at most 63.
const int kAbbrevLimit = 15;
const int kAuthorLimit = 63;
const int kDefaultValueLimit = 255;

// The entry of the combo's list that is exactly the text (letter case included); -1 when none.
int ExactComboEntry(HWND combo, const std::wstring& text)
{
    int selected = (int)SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (selected >= 0 && GetComboEntryString(combo, selected) == text)
        return selected;
    int count = (int)SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; i++) {
        if (GetComboEntryString(combo, i) == text)
            return i;
    }
    return -1;
}

}  // namespace

CEditTermsDlg::CEditTermsDlg(HINSTANCE instance)
    : MainWindow(nullptr), Dialog(nullptr), Instance(instance)
{
}

CEditTermsDlg::~CEditTermsDlg() {}

int CEditTermsDlg::Show(HWND mainWindow, HWND parent)
{
    MainWindow = mainWindow;
    DialogBoxParamW(Instance, L"EDITTERMSDLG", parent, EditTermsDlgProc, (LPARAM)this);
    Dialog = nullptr;
    return 0;
}

INT_PTR CALLBACK CEditTermsDlg::EditTermsDlgProc(HWND dialog, UINT msg, WPARAM wParam,
                                                 LPARAM lParam)
{
    CEditTermsDlg* self = (CEditTermsDlg*)GetWindowLongPtrW(dialog, DWLP_USER);
    switch (msg) {
    case WM_INITDIALOG:
        self = (CEditTermsDlg*)lParam;
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        self->Dialog = dialog;
        self->OnInitDialog();
        return TRUE;
    case WM_COMMAND:
        if (self)
            self->OnCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_DESTROY:
        // However the dialog ends, the abbreviation copies go with it.
        if (self)
            self->EmptyValueList();
        return FALSE;
    }
    return FALSE;
}

LONG_PTR CEditTermsDlg::Ask(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return SendZm(MainWindow, msg, wParam, lParam);
}

void CEditTermsDlg::OnInitDialog()
{
    SendDlgItemMessageW(Dialog, IDC_TERMS_ABBREV, EM_SETLIMITTEXT, kAbbrevLimit, 0);
    CheckDlgButton(Dialog, IDC_TERMS_KEEPOLD, BST_CHECKED);
    HWND tables = GetDlgItem(Dialog, IDC_TERMS_TABLE);
    for (int i = 0; i < kTableCount; i++) {
        wchar_t name[64] = L"";
        LoadStringW(Instance, IDS_TERMS_TABLE_FIRST + i, name, 64);
        SendMessageW(tables, CB_ADDSTRING, 0, (LPARAM)name);
    }
    SendMessageW(tables, CB_SETCURSEL, kFirstOpenTable, 0);
    LoadAttributes();
}

int CEditTermsDlg::Kind() const
{
    int table = (int)SendDlgItemMessageW(Dialog, IDC_TERMS_TABLE, CB_GETCURSEL, 0, 0);
    return table >= 0 && table < kTableCount ? kKindOfTable[table] : -1;
}

bool CEditTermsDlg::ChosenAttribute(const CustomAttrDef** def) const
{
    HWND columns = GetDlgItem(Dialog, IDC_TERMS_COLUMN);
    int selected = (int)SendMessageW(columns, CB_GETCURSEL, 0, 0);
    *def = nullptr;
    if (selected < 0 || Kind() < 0)
        return false;
    LRESULT data = SendMessageW(columns, CB_GETITEMDATA, (WPARAM)selected, 0);
    *def = data == CB_ERR ? nullptr : (const CustomAttrDef*)data;
    return true;
}

const wchar_t* CEditTermsDlg::FieldNameOf(const CustomAttrDef* def) const
{
    return def ? def->FieldName : L"AUTHOR";
}

int CEditTermsDlg::ValueLimit() const
{
    const CustomAttrDef* def = nullptr;
    if (!ChosenAttribute(&def))
        return kDefaultValueLimit;
    if (!def)
        return kAuthorLimit;
    return def->Size > 0 ? def->Size : kDefaultValueLimit;
}

void CEditTermsDlg::LoadAttributes()
{
    HWND columns = GetDlgItem(Dialog, IDC_TERMS_COLUMN);
    int table = (int)SendDlgItemMessageW(Dialog, IDC_TERMS_TABLE, CB_GETCURSEL, 0, 0);
    if (table < 0) {
        SendMessageW(columns, CB_RESETCONTENT, 0, 0);
    } else {
        Ask(ZM_FILL_TERM_COMBO, (WPARAM)table, (LPARAM)columns);
        if (table == kSpeciesTable) {
            wchar_t author[64] = L"";
            LoadStringW(Instance, IDS_AUTHOR, author, 64);
            LRESULT at = SendMessageW(columns, CB_INSERTSTRING, 0, (LPARAM)author);
            if (at >= 0)
                SendMessageW(columns, CB_SETITEMDATA, (WPARAM)at, 0);
        }
        if (SendMessageW(columns, CB_GETCOUNT, 0, 0) > 0)
            SendMessageW(columns, CB_SETCURSEL, 0, 0);
    }
    LoadValues();
}

void CEditTermsDlg::EmptyValueList()
{
    HWND values = GetDlgItem(Dialog, IDC_TERMS_VALUES);
    int count = (int)SendMessageW(values, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; i++) {
        LRESULT data = SendMessageW(values, LB_GETITEMDATA, (WPARAM)i, 0);
        if (data != LB_ERR && data != 0)
            free((void*)data);
        SendMessageW(values, LB_SETITEMDATA, (WPARAM)i, 0);
    }
    SendMessageW(values, LB_RESETCONTENT, 0, 0);
}

void CEditTermsDlg::LoadValues(const wchar_t* select)
{
    EmptyValueList();
    HWND newValue = GetDlgItem(Dialog, IDC_TERMS_NEWVALUE);
    const CustomAttrDef* def = nullptr;
    bool chosen = ChosenAttribute(&def);
    // The author list has no abbreviations.
    bool abbrevs = chosen && def;
    EnableWindow(GetDlgItem(Dialog, IDC_TERMS_ABBREV), abbrevs);
    EnableWindow(GetDlgItem(Dialog, IDC_TERMS_ASSIGN), abbrevs);
    SetDlgItemTextW(Dialog, IDC_TERMS_ABBREV, L"");
    SendMessageW(newValue, CB_RESETCONTENT, 0, 0);
    if (!chosen)
        return;
    SendMessageW(newValue, CB_LIMITTEXT, (WPARAM)ValueLimit(), 0);
    // The index is 16 bits wide, with 65535 for a table that cannot be opened.
    int index = (short)(Ask(ZM_GET_LOOKUP_VALUES, (WPARAM)Kind(), (LPARAM)FieldNameOf(def)) & 0xFFFF);
    if (index < 0)
        return;
    Ask(ZM_FILL_LOOKUP_CONTROL, MAKEWPARAM(index, ZM_LOOKUP_LISTBOX),
        (LPARAM)GetDlgItem(Dialog, IDC_TERMS_VALUES));
    Ask(ZM_FILL_LOOKUP_CONTROL, MAKEWPARAM(index, ZM_LOOKUP_COMBOBOX), (LPARAM)newValue);
    if (select) {
        HWND values = GetDlgItem(Dialog, IDC_TERMS_VALUES);
        int count = (int)SendMessageW(values, LB_GETCOUNT, 0, 0);
        for (int i = 0; i < count; i++) {
            if (GetListBoxEntryString(values, i) == select) {
                SendMessageW(values, LB_SETCURSEL, (WPARAM)i, 0);
                ShowAbbrev();
                break;
            }
        }
    }
}

int CEditTermsDlg::SelectedValue(std::wstring* text) const
{
    HWND values = GetDlgItem(Dialog, IDC_TERMS_VALUES);
    int selected = (int)SendMessageW(values, LB_GETCURSEL, 0, 0);
    if (selected >= 0 && text)
        *text = GetListBoxEntryString(values, selected);
    return selected;
}

const wchar_t* CEditTermsDlg::StoredAbbrev() const
{
    HWND values = GetDlgItem(Dialog, IDC_TERMS_VALUES);
    int selected = (int)SendMessageW(values, LB_GETCURSEL, 0, 0);
    LRESULT data = selected >= 0 ? SendMessageW(values, LB_GETITEMDATA, (WPARAM)selected, 0) : 0;
    return data != LB_ERR && data ? (const wchar_t*)data : L"";
}

void CEditTermsDlg::ShowAbbrev()
{
    SetDlgItemTextW(Dialog, IDC_TERMS_ABBREV, StoredAbbrev());
}

bool CEditTermsDlg::MakeRequest(LookupEdit* edit, std::wstring* shown)
{
    const CustomAttrDef* def = nullptr;
    if (!ChosenAttribute(&def))
        return false;
    int selected = SelectedValue(shown);
    if (selected < 0)
        return false;
    *edit = LookupEdit();
    edit->Kind = Kind();
    edit->Row = selected + 1;
    edit->FieldName = FieldNameOf(def);
    edit->ExistingIndex = -1;
    edit->ShownName = shown->c_str();
    return true;
}

void CEditTermsDlg::Replace()
{
    LookupEdit edit;
    std::wstring old;
    if (!MakeRequest(&edit, &old))
        return;
    HWND combo = GetDlgItem(Dialog, IDC_TERMS_NEWVALUE);
    std::wstring value = GetWindowString(combo);
    // A value taken from the list is that value whole, whatever the edit shows of it.
    int existing = ExactComboEntry(combo, value);
    if (existing >= 0)
        value = GetComboEntryString(combo, existing);
    if (value == old)
        return;
    if (value.empty() || (existing < 0 && (int)value.size() > ValueLimit())) {
        ShowWarningRes(Instance, Dialog, IDS_ERROR_CAPTION,
                       value.empty() ? IDS_VALUE_REQUIRED : IDS_INVALID_VALUE);
        SetFocus(combo);
        return;
    }
    edit.ValueOps = LOOKUP_REPLACE_VALUE;
    if (IsDlgButtonChecked(Dialog, IDC_TERMS_KEEPOLD) != BST_CHECKED)
        edit.ValueOps |= LOOKUP_DELETE_VALUE;
    edit.ColumnFlags = LOOKUP_WRITE_NAME;
    edit.NewName = value.c_str();
    edit.ExistingIndex = existing;
    // The lists are read again either way: after a refusal the table may hold what it held
    // before the list was filled, and rows are positions.
    bool done = Ask(ZM_EDIT_LOOKUP_TABLE, 0, (LPARAM)&edit) != 0;
    LoadValues(done ? value.c_str() : old.c_str());
}

void CEditTermsDlg::AssignAbbrev()
{
    LookupEdit edit;
    std::wstring old;
    const CustomAttrDef* def = nullptr;
    if (!ChosenAttribute(&def) || !def || !MakeRequest(&edit, &old))
        return;
    HWND values = GetDlgItem(Dialog, IDC_TERMS_VALUES);
    wchar_t abbrev[kAbbrevLimit + 1] = L"";
    GetDlgItemTextW(Dialog, IDC_TERMS_ABBREV, abbrev, kAbbrevLimit + 1);
    edit.ValueOps = 0;
    edit.ColumnFlags = LOOKUP_WRITE_ABBREV;
    edit.NewAbbrev = abbrev[0] ? abbrev : nullptr;
    int row = edit.Row - 1;
    LRESULT data = SendMessageW(values, LB_GETITEMDATA, (WPARAM)row, 0);
    const wchar_t* previous = data != LB_ERR && data ? (const wchar_t*)data : nullptr;
    if (Ask(ZM_EDIT_LOOKUP_TABLE, 0, (LPARAM)&edit)) {
        SendMessageW(values, LB_SETITEMDATA, (WPARAM)row, (LPARAM)WideDup(edit.NewAbbrev));
        free((void*)previous);
    } else {
        SetDlgItemTextW(Dialog, IDC_TERMS_ABBREV, previous ? previous : L"");
    }
}

void CEditTermsDlg::DeleteValue()
{
    LookupEdit edit;
    std::wstring old;
    if (!MakeRequest(&edit, &old))
        return;
    edit.ValueOps = LOOKUP_DELETE_VALUE;
    edit.ColumnFlags = 0;
    bool done = Ask(ZM_EDIT_LOOKUP_TABLE, 0, (LPARAM)&edit) != 0;
    LoadValues(done ? nullptr : old.c_str());
}

void CEditTermsDlg::OnCommand(int id, int code)
{
    switch (id) {
    case IDC_TERMS_TABLE:
        if (code == CBN_SELCHANGE)
            LoadAttributes();
        break;
    case IDC_TERMS_COLUMN:
        if (code == CBN_SELCHANGE)
            LoadValues();
        break;
    case IDC_TERMS_VALUES:
        if (code == LBN_SELCHANGE)
            ShowAbbrev();
        break;
    case IDC_TERMS_ABBREV:
        // The value's abbreviation is there to be typed over; what the user typed is not.
        if (code == EN_SETFOCUS && GetWindowString(GetDlgItem(Dialog, IDC_TERMS_ABBREV)) == StoredAbbrev())
            SelectTextOnEntry(GetDlgItem(Dialog, IDC_TERMS_ABBREV));
        break;
    case IDC_TERMS_REPLACE:
        Replace();
        break;
    case IDC_TERMS_ASSIGN:
        AssignAbbrev();
        break;
    case IDC_TERMS_DELETE:
        DeleteValue();
        break;
    case IDCANCEL:
        EmptyValueList();
        EndDialog(Dialog, 0);
        break;
    }
}
