// The custom columns page of the configuration sheet: columns composed from other columns by a
// mask, added, edited and deleted on the page and written into the configuration when it is
// applied.
#include <windows.h>
#include <prsht.h>

#include <string>
#include <vector>

#include "core/choosefields.h"
#include "core/ctlfill.h"
#include "core/fieldmask.h"
#include "core/fields.h"
#include "core/msgbox.h"
#include "core/textutil.h"
#include "shellcontract/configdata.h"
#include "mainapp/configrules.h"
#include "mainapp/configsheet.h"
#include "mainapp/configsheet_pages.h"
#include "resources/zorna/resource.h"

namespace {

const wchar_t kStateProp[] = L"ZornaCustomColumns";

// What the page keeps beside the configuration's CurCustom.
struct CustomPageState
{
    // Every row the page made, deleted ones too (they leave the list box but their committed
    // column still has to leave the configuration when the page is applied).
    std::vector<CustomFieldEdit*> Rows;
    bool Editing = false;
};

// Controls that only the edit mode offers.
const int kEditModeControls[] = {IDC_CUST_CHOOSEFIELDS, IDC_CUST_FORSEARCH, IDC_CUST_FOREDIT,
                                 IDC_CUST_APPLY,        IDC_CUST_CANCEL,    IDC_CUST_ALIGNGROUP,
                                 IDC_CUST_ALIGNLEFT,    IDC_CUST_ALIGNCENTER, IDC_CUST_ALIGNRIGHT};
const int kEdits[] = {IDC_CUST_NAME, IDC_CUST_FIELDS, IDC_CUST_MASK};

CustomPageState* StateOf(HWND page)
{
    return static_cast<CustomPageState*>(GetPropW(page, kStateProp));
}

HWND ListBox(HWND page)
{
    return GetDlgItem(page, IDC_CUST_LIST);
}

bool InCustomFields(const ConfigData* config, const CCustFld* column)
{
    return column && config->CustomFields->IndexOf(column) >= 0;
}

CustomFieldEdit* RowAt(HWND page, int index)
{
    if (index < 0)
        return nullptr;
    LRESULT data = SendMessageW(ListBox(page), LB_GETITEMDATA, index, 0);
    return data == LB_ERR ? nullptr : reinterpret_cast<CustomFieldEdit*>(data);
}

int SelectedIndex(HWND page)
{
    return (int)SendMessageW(ListBox(page), LB_GETCURSEL, 0, 0);
}

int IndexOfRow(HWND page, const CustomFieldEdit* row)
{
    int count = (int)SendMessageW(ListBox(page), LB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; i++) {
        if (RowAt(page, i) == row)
            return i;
    }
    return -1;
}

std::wstring ItemText(HWND page, int id)
{
    HWND edit = GetDlgItem(page, id);
    int length = GetWindowTextLengthW(edit);
    std::wstring text((size_t)length + 1, L'\0');
    length = GetWindowTextW(edit, &text[0], length + 1);
    text.resize((size_t)(length > 0 ? length : 0));
    return text;
}

// The check boxes are offered for a mask that can be used (edit mode only).
void FollowMask(HWND page)
{
    std::wstring mask = ItemText(page, IDC_CUST_MASK);
    BOOL usable = !mask.empty() && CheckMaskSeparators(mask.c_str());
    EnableWindow(GetDlgItem(page, IDC_CUST_FORSEARCH), usable);
    EnableWindow(GetDlgItem(page, IDC_CUST_FOREDIT), usable);
}

void SetEditMode(HWND page, bool editing)
{
    StateOf(page)->Editing = editing;
    for (int id : kEdits)
        SendDlgItemMessageW(page, id, EM_SETREADONLY, editing ? FALSE : TRUE, 0);
    EnableWindow(ListBox(page), editing ? FALSE : TRUE);
    for (int id : kEditModeControls)
        EnableWindow(GetDlgItem(page, id), editing ? TRUE : FALSE);
    EnableWindow(GetDlgItem(page, IDC_CUST_ADD), editing ? FALSE : TRUE);
    if (editing) {
        EnableWindow(GetDlgItem(page, IDC_CUST_EDIT), FALSE);
        FollowMask(page);
    }
}

void ShowRow(HWND page, const CustomFieldEdit* row)
{
    const CCustFld* column = row ? row->Edited : nullptr;
    if (!column) {
        for (int id : kEdits)
            SetDlgItemTextW(page, id, L"");
        CheckDlgButton(page, IDC_CUST_FORSEARCH, BST_UNCHECKED);
        CheckDlgButton(page, IDC_CUST_FOREDIT, BST_UNCHECKED);
        EnableWindow(GetDlgItem(page, IDC_CUST_EDIT), FALSE);
        return;
    }
    SetDlgItemTextW(page, IDC_CUST_NAME, column->Name);
    wchar_t* fields = JoinFieldNames(column->FieldRefs);
    SetDlgItemTextW(page, IDC_CUST_FIELDS, fields ? fields : L"");
    free(fields);
    SetDlgItemTextW(page, IDC_CUST_MASK, column->Mask ? column->Mask : L"");
    CheckDlgButton(page, IDC_CUST_FORSEARCH, column->UseForSearch ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(page, IDC_CUST_FOREDIT, column->UseForEdit ? BST_CHECKED : BST_UNCHECKED);
    int alignment = column->Alignment >= FIELD_ALIGN_LEFT && column->Alignment <= FIELD_ALIGN_RIGHT
                        ? column->Alignment
                        : FIELD_ALIGN_LEFT;
    CheckRadioButton(page, IDC_CUST_ALIGNLEFT, IDC_CUST_ALIGNRIGHT, IDC_CUST_ALIGNLEFT + alignment);
    EnableWindow(GetDlgItem(page, IDC_CUST_EDIT), TRUE);
}

void FocusEdit(HWND page, int id)
{
    HWND edit = GetDlgItem(page, id);
    SendMessageW(GetParent(page), WM_NEXTDLGCTL, (WPARAM)edit, TRUE);
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 0, -1);
}

// The name a new column starts with is there to be typed over; a name the user typed is not.
void SelectDefaultName(HWND page, ConfigData* config)
{
    wchar_t name[64] = L"";
    LoadStringW(config->Instance, IDS_NEW_COLUMN_NAME, name, ARRAYSIZE(name));
    if (StateOf(page)->Editing && ItemText(page, IDC_CUST_NAME) == name)
        SelectTextOnEntry(GetDlgItem(page, IDC_CUST_NAME));
}

// Tells the list pages that the rows showing `shown` now show `now` (null: are gone).
void AnnounceChange(ConfigData* config, CCustFld* shown, CCustFld* now)
{
    CustomColumnChange change = {shown, now};
    if (config->Sheet)
        PropSheet_QuerySiblings(config->Sheet, CONFIG_QUERY_CUSTOM_CHANGED, (LPARAM)&change);
}

// ---- buttons ----

void StartNewColumn(HWND page, ConfigData* config)
{
    SetEditMode(page, true);
    CheckDlgButton(page, IDC_CUST_FORSEARCH, BST_UNCHECKED);
    CheckDlgButton(page, IDC_CUST_FOREDIT, BST_UNCHECKED);
    CheckRadioButton(page, IDC_CUST_ALIGNLEFT, IDC_CUST_ALIGNRIGHT, IDC_CUST_ALIGNLEFT);
    wchar_t name[64] = L"";
    LoadStringW(config->Instance, IDS_NEW_COLUMN_NAME, name, ARRAYSIZE(name));
    SetDlgItemTextW(page, IDC_CUST_NAME, name);
    SetDlgItemTextW(page, IDC_CUST_FIELDS, L"");
    SetDlgItemTextW(page, IDC_CUST_MASK, L"");
    FocusEdit(page, IDC_CUST_NAME);
    config->CurCustom = nullptr;
}

void StartEditingRow(HWND page, ConfigData* config)
{
    CustomFieldEdit* row = RowAt(page, SelectedIndex(page));
    if (!row || !row->Edited)
        return;
    config->CurCustom = row;
    SetEditMode(page, true);
    FocusEdit(page, IDC_CUST_NAME);
}

void LeaveEditing(HWND page, ConfigData* config)
{
    SetEditMode(page, false);
    config->CurCustom = RowAt(page, SelectedIndex(page));
    ShowRow(page, config->CurCustom);
}

void ChooseFields(HWND page, ConfigData* config)
{
    if (!config->FieldChooser)
        config->FieldChooser = new ChooseFieldsState(config->Instance, page);
    ChooseFieldsState* chooser = config->FieldChooser;
    chooser->Available->RemoveAll(0);
    SetAvailableFields(chooser, config->SearchFields);
    CObjArray chosen(16, 4);
    SplitFieldNames(ItemText(page, IDC_CUST_FIELDS).c_str(), config->SearchFields, &chosen);
    SetChosenFields(chooser, &chosen);
    chosen.RemoveAll(0);
    if (!ShowChooseFields(chooser, page))
        return;
    wchar_t* text = GetChosenText(chooser);
    SetDlgItemTextW(page, IDC_CUST_FIELDS, text ? text : L"");
    free(text);
}

// Whether the name is taken by another column or label (the row's own columns aside).
bool NameIsTaken(HWND page, ConfigData* config, const CustomFieldEdit* row, const wchar_t* name)
{
    // A column may always take its committed name again.
    bool ownName = row && row->Committed && SameColumnName(name, row->Committed->Name);
    if (!ownName) {
        for (int i = 0; i < config->SearchFields->GetCount(); i++) {
            const CDispField* entry = static_cast<const CDispField*>(config->SearchFields->GetItems()[i]);
            if (entry && entry->Field && SameColumnName(entry->Field->Name, name))
                return true;
        }
    }
    // Columns made or renamed on the page are not in the lists yet.
    int count = (int)SendMessageW(ListBox(page), LB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; i++) {
        const CustomFieldEdit* other = RowAt(page, i);
        if (other && other != row && other->Edited && SameColumnName(other->Edited->Name, name))
            return true;
    }
    // The workspace file keeps one entry per label: a column named like another column's label
    // would vanish when the file is read again.
    LabelQuery query = {name, {row ? row->Committed : nullptr, row ? row->Edited : nullptr}};
    return IsLabelUsed(config, query);
}

// The checks of "Použít", in order; the first failure is shown and its edit focused.
bool ValidateColumn(HWND page, ConfigData* config, const CustomFieldEdit* row, CObjArray* refs)
{
    std::wstring name = ItemText(page, IDC_CUST_NAME);
    int refusal = CheckCustomColumnName(name.c_str());
    if (!refusal && NameIsTaken(page, config, row, name.c_str()))
        refusal = IDS_COLUMN_EXISTS;
    if (refusal) {
        ConfigWarning(config, refusal);
        FocusEdit(page, IDC_CUST_NAME);
        return false;
    }
    std::wstring fields = ItemText(page, IDC_CUST_FIELDS);
    if (!fields.empty() && !SplitFieldNames(fields.c_str(), config->SearchFields, refs)) {
        ConfigWarning(config, IDS_UNKNOWN_FIELDS);
        FocusEdit(page, IDC_CUST_FIELDS);
        return false;
    }
    std::wstring part;
    refusal = CheckCustomMask(ItemText(page, IDC_CUST_MASK).c_str(), refs->GetCount(), &part);
    if (refusal) {
        ConfigWarning(config, refusal, part.c_str(), refs->GetCount());
        FocusEdit(page, IDC_CUST_MASK);
        return false;
    }
    return true;
}

void PutRowInList(HWND page, CustomFieldEdit* row, int index)
{
    HWND list = ListBox(page);
    if (index >= 0)
        SendMessageW(list, LB_DELETESTRING, index, 0);
    else
        index = (int)SendMessageW(list, LB_GETCOUNT, 0, 0);
    index = (int)SendMessageW(list, LB_INSERTSTRING, index, (LPARAM)row->Edited->Name);
    SendMessageW(list, LB_SETITEMDATA, index, (LPARAM)row);
    SendMessageW(list, LB_SETCURSEL, index, 0);
}

void ApplyColumn(HWND page, ConfigData* config)
{
    CustomPageState* state = StateOf(page);
    CustomFieldEdit* row = config->CurCustom;
    CObjArray refs(16, 4);
    if (!ValidateColumn(page, config, row, &refs)) {
        refs.RemoveAll(0);
        return;
    }
    std::wstring name = ItemText(page, IDC_CUST_NAME);
    // A column made while the sheet is open is changed in place; a committed one stays as it is
    // until the page is applied, so a new object stands for its change.
    CCustFld* column;
    if (row && row->Edited && !InCustomFields(config, row->Edited)) {
        column = row->Edited;
        CopyWideBounded(name.c_str(), column->Name, ARRAYSIZE(column->Name));
        column->FieldRefs->RemoveAll(0);
    } else {
        column = new CCustFld(name.c_str());
    }
    int index = row ? IndexOfRow(page, row) : -1;
    if (!row) {
        row = new CustomFieldEdit{nullptr, nullptr};
        state->Rows.push_back(row);
        config->CurCustom = row;
    }
    for (int i = 0; i < refs.GetCount(); i++)
        column->FieldRefs->Add(refs.GetItems()[i]);
    refs.RemoveAll(0);
    free(column->Mask);
    column->Mask = WideDup(ItemText(page, IDC_CUST_MASK).c_str());
    free(column->Fields);
    column->Fields = WideDup(ItemText(page, IDC_CUST_FIELDS).c_str());
    column->UseForSearch = IsDlgButtonChecked(page, IDC_CUST_FORSEARCH) == BST_CHECKED;
    column->UseForEdit = IsDlgButtonChecked(page, IDC_CUST_FOREDIT) == BST_CHECKED;
    column->Alignment = IsDlgButtonChecked(page, IDC_CUST_ALIGNCENTER) == BST_CHECKED  ? FIELD_ALIGN_CENTER
                        : IsDlgButtonChecked(page, IDC_CUST_ALIGNRIGHT) == BST_CHECKED ? FIELD_ALIGN_RIGHT
                                                                                       : FIELD_ALIGN_LEFT;
    CCustFld* shown = row->Edited ? row->Edited : row->Committed;
    row->Edited = column;
    AnnounceChange(config, shown, column);
    PutRowInList(page, row, index);
    SetEditMode(page, false);
    ShowRow(page, row);
    MarkPageChanged(config, page, CONFIG_PAGE_CUSTOM);
}

void DeleteSelectedRow(HWND page, ConfigData* config)
{
    int index = SelectedIndex(page);
    CustomFieldEdit* row = RowAt(page, index);
    if (!row || !row->Edited)
        return;
    wchar_t format[256] = L"";
    wchar_t caption[64] = L"";
    LoadStringW(config->Instance, IDS_DELETE_CUSTOM_COL, format, ARRAYSIZE(format));
    LoadStringW(config->Instance, IDS_CONFIRM_CAPTION, caption, ARRAYSIZE(caption));
    std::wstring text = format;
    size_t at = text.find(L"%s");
    if (at != std::wstring::npos)
        text.replace(at, 2, row->Edited->Name);
    if (ZorMessageBox(config->Owner, text.c_str(), caption, MB_ICONQUESTION | MB_OKCANCEL) != IDOK)
        return;
    CCustFld* shown = row->Edited;
    row->Edited = nullptr;
    AnnounceChange(config, shown, nullptr);
    // A column made while the sheet is open is nobody's any more.
    if (shown != row->Committed && !InCustomFields(config, shown))
        delete shown;
    SendMessageW(ListBox(page), LB_DELETESTRING, index, 0);
    config->CurCustom = nullptr;
    ShowRow(page, nullptr);
    MarkPageChanged(config, page, CONFIG_PAGE_CUSTOM);
}

// ---- apply ----

// One display list follows a row's change: its entry of the committed column (or of the edited
// one) takes the edited column or, for a deleted column, goes; a list without an entry gets one
// when `append` says so.
void FollowChange(CObjArray* list, CCustFld* committed, CCustFld* edited, bool append)
{
    for (int i = 0; i < list->GetCount(); i++) {
        CDispField* entry = static_cast<CDispField*>(list->GetItems()[i]);
        if (!entry || !entry->Field || (entry->Field != committed && entry->Field != edited))
            continue;
        if (edited)
            entry->Field = edited;
        else
            list->RemoveAt(i, 1);
        return;
    }
    if (!edited || !append)
        return;
    CDispField* entry = new CDispField(edited);
    entry->DispName = WideDup(edited->Name);
    entry->Visible = 1;
    entry->Width = DefaultColumnWidth(edited->Name);
    entry->Order = list->GetCount() + 1;
    list->Add(entry);
}

// Entries of composed columns that are no longer custom columns go (from the end of the list).
void DropStaleEntries(ConfigData* config, CObjArray* list)
{
    for (int i = list->GetCount() - 1; i >= 0; i--) {
        CDispField* entry = static_cast<CDispField*>(list->GetItems()[i]);
        if (entry && entry->Field && entry->Field->Kind == FIELD_COMPOSED
            && !InCustomFields(config, static_cast<CCustFld*>(entry->Field)))
            list->RemoveAt(i, 1);
    }
}

void ApplyCustomPage(HWND page, ConfigData* config)
{
    // New and changed columns appear in these lists; the others only follow a change.
    CObjArray* columnLists[] = {config->SysFields, config->LocFields, config->SearchFields};
    CObjArray* otherLists[] = {config->SysHeaderFields, config->LocHeaderFields, config->LitFields};
    std::vector<CCustFld*> replaced;
    auto commit = [&](CustomFieldEdit* row) {
        if (row->Committed == row->Edited)
            return;
        for (CObjArray* list : columnLists)
            FollowChange(list, row->Committed, row->Edited, true);
        for (CObjArray* list : otherLists)
            FollowChange(list, row->Committed, row->Edited, false);
        if (row->Committed)
            replaced.push_back(row->Committed);
        row->Committed = row->Edited;
    };
    std::vector<CCustFld*> columns;
    int count = (int)SendMessageW(ListBox(page), LB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; i++) {
        CustomFieldEdit* row = RowAt(page, i);
        if (!row)
            continue;
        commit(row);
        if (row->Edited)
            columns.push_back(row->Edited);
    }
    for (CustomFieldEdit* row : StateOf(page)->Rows)
        commit(row);  // the deleted rows
    config->CustomFields->RemoveAll(0);
    for (CCustFld* column : columns)
        config->CustomFields->Add(column);
    for (CObjArray* list : columnLists)
        DropStaleEntries(config, list);
    for (CObjArray* list : otherLists)
        DropStaleEntries(config, list);
    for (CCustFld* column : replaced) {
        if (!InCustomFields(config, column))
            delete column;
    }
}

void OnInitPage(HWND page, ConfigData* config)
{
    CustomPageState* state = new CustomPageState();
    SetPropW(page, kStateProp, state);
    config->CustomPage = page;
    config->CurCustom = nullptr;
    SendDlgItemMessageW(page, IDC_CUST_NAME, EM_LIMITTEXT, 64, 0);
    HWND list = ListBox(page);
    for (int i = 0; i < config->CustomFields->GetCount(); i++) {
        CCustFld* column = static_cast<CCustFld*>(config->CustomFields->GetItems()[i]);
        if (!column)
            continue;
        CustomFieldEdit* row = new CustomFieldEdit{column, column};
        state->Rows.push_back(row);
        int index = (int)SendMessageW(list, LB_ADDSTRING, 0, (LPARAM)column->Name);
        SendMessageW(list, LB_SETITEMDATA, index, (LPARAM)row);
    }
    config->PageStates[CONFIG_PAGE_CUSTOM] = CONFIG_PAGE_UNCHANGED;
    SetEditMode(page, false);
    ShowRow(page, nullptr);
}

void OnDestroyPage(HWND page, ConfigData* config)
{
    CustomPageState* state = static_cast<CustomPageState*>(RemovePropW(page, kStateProp));
    if (!state)
        return;
    // Columns that did not become part of the configuration go with their rows.
    for (CustomFieldEdit* row : state->Rows) {
        if (row->Edited && row->Edited != row->Committed && !InCustomFields(config, row->Edited))
            delete row->Edited;
        if (row->Committed && !InCustomFields(config, row->Committed))
            delete row->Committed;
        delete row;
    }
    delete state;
    if (config->CustomPage == page)
        config->CustomPage = nullptr;
    config->CurCustom = nullptr;
}

// Request 16: a list page that has just been filled shows the page's changes not yet applied.
void ShowChangesIn(HWND page, HWND listView)
{
    CustomPageState* state = StateOf(page);
    if (!state || !listView)
        return;
    for (const CustomFieldEdit* row : state->Rows) {
        if (row->Committed != row->Edited)
            ShowCustomChange(listView, CustomColumnChange{row->Committed, row->Edited});
    }
}

BOOL OnCommand(HWND page, ConfigData* config, int id, int code)
{
    switch (id) {
    case IDC_CUST_LIST:
        if (code == LBN_SELCHANGE) {
            config->CurCustom = RowAt(page, SelectedIndex(page));
            ShowRow(page, config->CurCustom);
        }
        return TRUE;
    case IDC_CUST_MASK:
        if (code == EN_CHANGE && StateOf(page)->Editing)
            FollowMask(page);
        return TRUE;
    case IDC_CUST_NAME:
        if (code == EN_SETFOCUS)
            SelectDefaultName(page, config);
        return TRUE;
    }
    if (code != BN_CLICKED)
        return TRUE;
    switch (id) {
    case IDC_CUST_ADD: StartNewColumn(page, config); break;
    case IDC_CUST_EDIT: StartEditingRow(page, config); break;
    case IDC_CUST_CANCEL: LeaveEditing(page, config); break;
    case IDC_CUST_APPLY: ApplyColumn(page, config); break;
    case IDC_CUST_CHOOSEFIELDS: ChooseFields(page, config); break;
    }
    return TRUE;
}

// Applies the page when it has changes; its state is then unchanged.
void ApplyIfChanged(HWND page, ConfigData* config)
{
    if (config->PageStates[CONFIG_PAGE_CUSTOM] != CONFIG_PAGE_CHANGED)
        return;
    ApplyCustomPage(page, config);
    config->PageStates[CONFIG_PAGE_CUSTOM] = CONFIG_PAGE_UNCHANGED;
}

}  // namespace

INT_PTR CALLBACK ConfigCustomPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    ConfigData* config = PageConfig(page, msg, lParam);
    if (!config)
        return FALSE;
    switch (msg) {
    case WM_INITDIALOG:
        OnInitPage(page, config);
        return TRUE;
    case WM_DESTROY:
        OnDestroyPage(page, config);
        return FALSE;
    case WM_COMMAND:
        return OnCommand(page, config, LOWORD(wParam), HIWORD(wParam));
    case WM_VKEYTOITEM:
        // The Delete key on the list box; every other key is the list box's own.
        if ((HWND)lParam == ListBox(page) && LOWORD(wParam) == VK_DELETE) {
            DeleteSelectedRow(page, config);
            return -2;
        }
        return -1;
    case PSM_QUERYSIBLINGS:
        if (wParam == CONFIG_QUERY_NEW_COLUMNS)
            ShowChangesIn(page, (HWND)lParam);
        return FALSE;  // the other pages are asked as well
    case WM_CONFIG_APPLY_CUSTOM:
        ApplyIfChanged(page, config);
        return TRUE;
    case WM_NOTIFY:
        if (reinterpret_cast<NMHDR*>(lParam)->code == PSN_APPLY) {
            ApplyIfChanged(page, config);
            return FinishPageApply(config, page);
        }
        return FALSE;
    }
    return FALSE;
}
