#include "browse/addquerydlg.h"

#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "core/containers.h"
#include "core/ctlfill.h"
#include "core/database.h"
#include "core/msgboxtext.h"
#include "core/fields.h"
#include "core/textutil.h"
#include "shellcontract/configdata.h"
#include "shellcontract/zm_protocol.h"
#include "map/querylayer.h"
#include "resources/zorna/resource.h"
#include "resources/zorna/search.h"

namespace {

const int kOperatorCount = 6;      // 360-365; operator 6 has no text
const int kRecordsLookupKind = 3;  // ZORNACOLLS
const int kAttrDefMode = 1;

CAddQueryDlg* DialogOf(HWND hwnd)
{
    return reinterpret_cast<CAddQueryDlg*>(GetWindowLongPtrW(hwnd, DWLP_USER));
}

bool IsOffered(const CDispField* d)
{
    if (!d || !d->Field)
        return false;
    if (d->Field->Kind == FIELD_DATABASE)
        return _wcsicmp(static_cast<const CFieldInfo*>(d->Field)->TableName, L"ZORNACOLLS") == 0;
    if (d->Field->Kind == FIELD_COMPOSED)
        return static_cast<const CCustFld*>(d->Field)->UseForSearch != 0;
    return false;
}

void GetText(HWND dialog, int id, wchar_t* buffer)
{
    buffer[0] = 0;
    GetDlgItemTextW(dialog, id, buffer, kQueryTextSize);
    buffer[kQueryTextSize - 1] = 0;
}

}  // namespace

CAddQueryDlg::CAddQueryDlg(HINSTANCE instance)
    : Owner(nullptr), Dialog(nullptr), Config(nullptr), Criterion(nullptr), CurrentField(nullptr), ListMode(0),
      OperatorIndex(-1), Instance(instance)
{
}

CAddQueryDlg::~CAddQueryDlg() = default;

int CAddQueryDlg::Show(HWND owner, ConfigData* config, QueryCriterion* criterion)
{
    if (!criterion)
        return 0;
    Owner = owner;
    Config = config;
    Criterion = criterion;
    INT_PTR result = DialogBoxParamW(Instance, L"ADDQUERYDLG", owner, AddQueryDlgProc,
                                     reinterpret_cast<LPARAM>(this));
    Dialog = nullptr;
    return result == 1 ? 1 : 0;
}

int CAddQueryDlg::AskListMode(CDispField* field)
{
    if (!Owner || !field)
        return 0;
    SendMessageW(Owner, ZM_GET_ATTR_DEF, kAttrDefMode, reinterpret_cast<LPARAM>(field));
    return GetWindowLongPtrW(Owner, DWLP_MSGRESULT) ? 1 : 0;
}

void CAddQueryDlg::OnInit(HWND dialog)
{
    Dialog = dialog;
    QueryCriterion* c = Criterion;
    SendDlgItemMessageW(dialog, IDC_QUERY_NAME, EM_LIMITTEXT, kQueryTextSize, 0);
    SetDlgItemTextW(dialog, IDC_QUERY_NAME, c->Name);

    HWND fields = GetDlgItem(dialog, IDC_QUERY_FIELD);
    CObjArray* list = Config ? Config->SysFields : nullptr;
    int chosen = -1;
    for (int i = 0; list && i < list->GetCount(); ++i) {
        CDispField* d = static_cast<CDispField*>(list->GetItems()[i]);
        if (!IsOffered(d))
            continue;
        LRESULT row = SendMessageW(fields, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(d->Field->Name));
        if (row < 0)
            continue;
        SendMessageW(fields, CB_SETITEMDATA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(d));
        if (d->Field->Kind == c->FieldType && _wcsicmp(d->Field->Field, c->FieldName) == 0)
            chosen = static_cast<int>(row);
    }
    if (chosen < 0 && SendMessageW(fields, CB_GETCOUNT, 0, 0) > 0)
        chosen = 0;
    SendMessageW(fields, CB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
    CurrentField = chosen >= 0
                       ? reinterpret_cast<CDispField*>(SendMessageW(fields, CB_GETITEMDATA, chosen, 0))
                       : nullptr;
    ListMode = AskListMode(CurrentField);

    HWND operators = GetDlgItem(dialog, IDC_QUERY_OPERATOR);
    for (int i = 0; i < kOperatorCount; ++i) {
        wchar_t text[64] = L"";
        LoadStringW(Instance, kQueryOperatorFirstString + i, text, 64);
        SendMessageW(operators, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    int op = c->Operator > QUERY_OP_EQUAL ? QUERY_OP_EQUAL : c->Operator;
    SendMessageW(operators, CB_SETCURSEL, static_cast<WPARAM>(op), 0);
    OperatorIndex = static_cast<int>(SendMessageW(operators, CB_GETCURSEL, 0, 0));
    EnableWindow(operators, !ListMode);

    SendDlgItemMessageW(dialog, IDC_QUERY_VALUE1, EM_LIMITTEXT, kQueryTextSize, 0);
    SendDlgItemMessageW(dialog, IDC_QUERY_VALUE2, EM_LIMITTEXT, kQueryTextSize, 0);
    SetDlgItemTextW(dialog, IDC_QUERY_VALUE1, c->MinValue);
    SetDlgItemTextW(dialog, IDC_QUERY_VALUE2, c->MaxValue);
    ShowEditors();
    if (ListMode)
        FillValueLists(true);
}

void CAddQueryDlg::ShowEditors()
{
    for (int id = IDC_QUERY_VALUE1; id <= IDC_QUERY_REMOVE; ++id)
        ShowWindow(GetDlgItem(Dialog, id), SW_HIDE);
    if (!CurrentField || !CurrentField->Field || OperatorIndex == -1)
        return;
    int kind = CurrentField->Field->Kind;
    if (kind == FIELD_DATABASE && ListMode) {
        for (int id = IDC_QUERY_CHOSENLABEL; id <= IDC_QUERY_REMOVE; ++id)
            ShowWindow(GetDlgItem(Dialog, id), SW_SHOW);
        return;
    }
    if (kind != FIELD_DATABASE && kind != FIELD_COMPOSED)
        return;
    ShowWindow(GetDlgItem(Dialog, IDC_QUERY_VALUE1), SW_SHOW);
    if (OperatorIndex == QUERY_OP_BETWEEN) {
        ShowWindow(GetDlgItem(Dialog, IDC_QUERY_AND), SW_SHOW);
        ShowWindow(GetDlgItem(Dialog, IDC_QUERY_VALUE2), SW_SHOW);
    }
}

void CAddQueryDlg::FillValueLists(bool withCriterionValues)
{
    HWND chosen = GetDlgItem(Dialog, IDC_QUERY_CHOSEN);
    HWND available = GetDlgItem(Dialog, IDC_QUERY_AVAILABLE);
    // Filled or moved item by item, the lists are drawn once, at the end.
    DrawingPaused pausedChosen(chosen), pausedAvailable(available);
    // Both lists may hold the ABBREV copies of an earlier fill as item data.
    CDatabase::ResetLookupListBox(chosen);
    CDatabase::ResetLookupListBox(available);
    if (!CurrentField || !CurrentField->Field || !Owner)
        return;
    SendMessageW(Owner, ZM_GET_LOOKUP_VALUES, kRecordsLookupKind,
                 reinterpret_cast<LPARAM>(CurrentField->Field->Field));
    // 65535 is the 16-bit "no lookup table": nothing to fill.
    int index = static_cast<short>(LOWORD(GetWindowLongPtrW(Owner, DWLP_MSGRESULT)));
    if (index < 0)
        return;
    SendMessageW(Owner, ZM_FILL_LOOKUP_CONTROL, MAKEWPARAM(index, ZM_LOOKUP_LISTBOX),
                 reinterpret_cast<LPARAM>(available));
    CPtrArray* values = Criterion ? Criterion->Values : nullptr;
    if (!withCriterionValues || !values)
        return;
    for (int i = 0; i < values->GetCount(); ++i) {
        const wchar_t* value = static_cast<const wchar_t*>(values->GetItems()[i]);
        if (!value)
            continue;
        int count = static_cast<int>(SendMessageW(available, LB_GETCOUNT, 0, 0));
        for (int row = 0; row < count; ++row) {
            if (GetListBoxEntryString(available, row) != value)
                continue;
            LRESULT data = SendMessageW(available, LB_GETITEMDATA, static_cast<WPARAM>(row), 0);
            LRESULT at = SendMessageW(chosen, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(value));
            if (at >= 0)
                SendMessageW(chosen, LB_SETITEMDATA, static_cast<WPARAM>(at), data);
            else
                std::free(reinterpret_cast<void*>(data));
            SendMessageW(available, LB_DELETESTRING, static_cast<WPARAM>(row), 0);
            break;
        }
    }
}

void CAddQueryDlg::OnFieldChange()
{
    ListMode = 0;
    HWND fields = GetDlgItem(Dialog, IDC_QUERY_FIELD);
    LRESULT row = SendMessageW(fields, CB_GETCURSEL, 0, 0);
    CurrentField = row >= 0 ? reinterpret_cast<CDispField*>(SendMessageW(fields, CB_GETITEMDATA, row, 0))
                            : nullptr;
    if (CurrentField)
        ListMode = AskListMode(CurrentField);
    EnableWindow(GetDlgItem(Dialog, IDC_QUERY_OPERATOR), !ListMode);
    ShowEditors();
    if (ListMode)
        FillValueLists(false);
}

void CAddQueryDlg::OnOperatorChange()
{
    OperatorIndex = static_cast<int>(SendDlgItemMessageW(Dialog, IDC_QUERY_OPERATOR, CB_GETCURSEL, 0, 0));
    ShowEditors();
}

void CAddQueryDlg::MoveSelected(int fromList, int toList)
{
    HWND from = GetDlgItem(Dialog, fromList);
    HWND to = GetDlgItem(Dialog, toList);
    int count = static_cast<int>(SendMessageW(from, LB_GETSELCOUNT, 0, 0));
    if (count <= 0)
        return;
    DrawingPaused pausedFrom(from), pausedTo(to);
    std::vector<int> rows(static_cast<size_t>(count));
    count = static_cast<int>(SendMessageW(from, LB_GETSELITEMS, static_cast<WPARAM>(count),
                                          reinterpret_cast<LPARAM>(rows.data())));
    for (int i = count - 1; i >= 0; --i) {
        int row = rows[static_cast<size_t>(i)];
        std::wstring text = GetListBoxEntryString(from, row);
        LRESULT data = SendMessageW(from, LB_GETITEMDATA, static_cast<WPARAM>(row), 0);
        LRESULT at = SendMessageW(to, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        if (at < 0)
            continue;  // the value stays where it was, with its data
        SendMessageW(to, LB_SETITEMDATA, static_cast<WPARAM>(at), data == LB_ERR ? 0 : data);
        SendMessageW(from, LB_DELETESTRING, static_cast<WPARAM>(row), 0);
    }
}

bool CAddQueryDlg::RangeInOrder()
{
    if (ListMode || OperatorIndex != QUERY_OP_BETWEEN || !CurrentField || !CurrentField->Field)
        return true;
    QueryCriterion range = {};
    range.FieldType = CurrentField->Field->Kind;
    CopyWideBounded(CurrentField->Field->Field, range.FieldName, kQueryTextSize);
    range.Operator = QUERY_OP_BETWEEN;
    GetText(Dialog, IDC_QUERY_VALUE1, range.MinValue);
    GetText(Dialog, IDC_QUERY_VALUE2, range.MaxValue);
    if (!QueryRangeReversed(range, RecordQueryContext(Owner, Config)))
        return true;
    // The range holds nothing: said over the dialog, which stays with the lower value selected.
    ZorMessageBoxResText(Dialog, Instance, IDS_QUERY_RANGE_REVERSED, IDS_ERROR_CAPTION, MB_OK | MB_ICONWARNING,
                         {CurrentField->Field->Name, range.MinValue, range.MaxValue});
    HWND low = GetDlgItem(Dialog, IDC_QUERY_VALUE1);
    SetFocus(low);
    SendMessageW(low, EM_SETSEL, 0, -1);
    return false;
}

void CAddQueryDlg::OnOk()
{
    if (!RangeInOrder())
        return;
    QueryCriterion* c = Criterion;
    GetText(Dialog, IDC_QUERY_NAME, c->Name);
    if (CurrentField && CurrentField->Field) {
        c->FieldType = CurrentField->Field->Kind;
        CopyWideBounded(CurrentField->Field->Field, c->FieldName, kQueryTextSize);
    }
    c->Operator = OperatorIndex;
    if (c->Values)
        c->Values->RemoveAll(1);
    if (ListMode) {
        c->Operator = QUERY_OP_ANY_OF;
        if (!c->Values)
            c->Values = new CPtrArray(PTRARRAY_OWNS_ITEMS, 16, 4);
        HWND chosen = GetDlgItem(Dialog, IDC_QUERY_CHOSEN);
        int count = static_cast<int>(SendMessageW(chosen, LB_GETCOUNT, 0, 0));
        for (int row = 0; row < count; ++row)
            c->Values->Add(WideDup(GetListBoxEntryString(chosen, row).c_str()));
    } else {
        GetText(Dialog, IDC_QUERY_VALUE1, c->MinValue);
        GetText(Dialog, IDC_QUERY_VALUE2, c->MaxValue);
    }
    EndDialog(Dialog, 1);
}

void CAddQueryDlg::OnDestroy()
{
    // The values carry malloc'd ABBREV copies wherever they were moved.
    CDatabase::ResetLookupListBox(GetDlgItem(Dialog, IDC_QUERY_CHOSEN));
    CDatabase::ResetLookupListBox(GetDlgItem(Dialog, IDC_QUERY_AVAILABLE));
}

INT_PTR CALLBACK AddQueryDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        if (CAddQueryDlg* dlg = reinterpret_cast<CAddQueryDlg*>(lParam))
            dlg->OnInit(hwnd);
        return TRUE;
    }
    CAddQueryDlg* dlg = DialogOf(hwnd);
    if (!dlg)
        return FALSE;
    switch (msg) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_QUERY_FIELD:
            if (HIWORD(wParam) == CBN_SELCHANGE)
                dlg->OnFieldChange();
            return TRUE;
        case IDC_QUERY_OPERATOR:
            if (HIWORD(wParam) == CBN_SELCHANGE)
                dlg->OnOperatorChange();
            return TRUE;
        case IDC_QUERY_ADD:
            dlg->MoveSelected(IDC_QUERY_AVAILABLE, IDC_QUERY_CHOSEN);
            return TRUE;
        case IDC_QUERY_REMOVE:
            dlg->MoveSelected(IDC_QUERY_CHOSEN, IDC_QUERY_AVAILABLE);
            return TRUE;
        case IDOK:
            dlg->OnOk();
            return TRUE;
        case IDCANCEL:
            EndDialog(hwnd, 0);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        dlg->OnDestroy();
        return FALSE;
    }
    return FALSE;
}
