// The literature lists editor: tabs, pages, showing and editing one row, saving it into the
// cached recordset, new, delete and cancel.
#include "browse/litlistsdlg.h"

#include <string>

#include "browse/littext.h"
#include "browse/tabpages.h"
#include "core/ctlfill.h"
#include "core/database.h"
#include "core/itemsave_rows.h"
#include "core/literature.h"
#include "core/msgbox.h"
#include "core/textutil.h"
#include "core/treemove.h"
#include "shellcontract/zm_protocol.h"
#include "resources/zorna/resource.h"

using namespace itemsave;

namespace {

const wchar_t kRecordsetProp[] = L"Recordset";

struct PageKind
{
    const wchar_t* Template;
    UINT TabText;
    int RecordsetKind;
    int MaxText;          // what the page reads of a field at most
    int FieldOfColumn[3]; // the control of columns 1, 2 and 3
};

const PageKind kPages[kLitListsPageCount] = {
    {L"ELJEDITPAGE", IDS_TAB_PUBLISHERS, ZM_RS_EDITORS, 127,
     {IDC_LITLISTS_NAME, IDC_LITLISTS_FIELD106, IDC_LITLISTS_FIELD108}},
    {L"ELJJOURNPAGE", IDS_TAB_PERIODICALS, ZM_RS_JOURNALS, 127,
     {IDC_LITLISTS_NAME, IDC_LITLISTS_FIELD106, IDC_LITLISTS_FIELD108}},
    // Authors: the full name is column 2 and the abbreviation column 3.
    {L"ELJAUTHORPAGE", IDS_AUTHORS, ZM_RS_LITAUTHORS, 63,
     {IDC_LITLISTS_NAME, IDC_LITLISTS_FIELD108, IDC_LITLISTS_FIELD106}},
};

zdata::Recordset* ListRecordset(HWND page)
{
    return (zdata::Recordset*)GetPropW(GetDlgItem(page, IDC_LITLISTS_ROWS), kRecordsetProp);
}

zdata::Recordset* PublisherRecordset(HWND periodicalsPage)
{
    return (zdata::Recordset*)GetPropW(GetDlgItem(periodicalsPage, IDC_LITLISTS_FIELD108),
                                       kRecordsetProp);
}

bool LocateId(zdata::Recordset* rs, int id)
{
    zdata::Field* idField = rs && id >= 0 ? FieldByName(rs, L"ID") : nullptr;
    if (!idField)
        return false;
    bool found = LocateRecordById(id, idField, rs);
    idField->Release();
    return found;
}

// The longest text a column takes: its declared size, never more than the page reads.
int ColumnLimit(zdata::Fields* fields, long ordinal, int pageMax)
{
    zdata::Field* field = nullptr;
    long size = 0;
    if (fields && SUCCEEDED(fields->Item(ordinal, &field)) && field) {
        field->get_DefinedSize(&size);
        field->Release();
    }
    return size > 0 && size < pageMax ? (int)size : pageMax;
}

// A field's text for a column: a string, or (empty) NULL / VT_EMPTY.
VARIANT TextValue(const std::wstring& text, VARTYPE emptyType)
{
    VARIANT v;
    VariantInit(&v);
    if (text.empty()) {
        v.vt = emptyType;
    } else {
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(text.c_str());
    }
    return v;
}

int AddListEntry(HWND list, UINT addMessage, UINT dataMessage, const wchar_t* text, int id)
{
    int index = (int)SendMessageW(list, addMessage, 0, (LPARAM)text);
    if (index >= 0)
        SendMessageW(list, dataMessage, (WPARAM)index, (LPARAM)id);
    return index;
}

}  // namespace

CEditLitJournalsDlg::CEditLitJournalsDlg(HINSTANCE instance)
    : Owner(nullptr), Dialog(nullptr), Pages(), StartTab(0), States(), CurrentIds(), Loading(0),
      Instance(instance), PageData()
{
}

int CEditLitJournalsDlg::Show(HWND owner, int startTab)
{
    Loading = 0;
    StartTab = startTab >= 0 && startTab < kLitListsPageCount ? startTab : 0;
    Owner = owner;
    return (int)DialogBoxParamW(Instance, L"EDITLITJOURNALS", owner, DialogProc, (LPARAM)this);
}

void CEditLitJournalsDlg::OnInitDialog(HWND hwnd)
{
    Dialog = hwnd;
    HWND tabs = GetDlgItem(hwnd, IDC_LITLISTS_TABS);
    SendMessageW(tabs, CCM_SETUNICODEFORMAT, TRUE, 0);
    for (int i = 0; i < kLitListsPageCount; i++) {
        States[i] = LITLISTS_UNCHANGED;
        CurrentIds[i] = -1;
        wchar_t text[64] = L"";
        LoadStringW(Instance, kPages[i].TabText, text, 64);
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        SendMessageW(tabs, TCM_INSERTITEMW, i, (LPARAM)&item);
    }
    RECT area = TabDisplayArea(tabs);
    for (int i = 0; i < kLitListsPageCount; i++) {
        PageData[i].Owner = this;
        PageData[i].Page = i;
        CreateTabPage(Instance, kPages[i].Template, tabs, area, PageProc, (LPARAM)&PageData[i]);
    }
    SendMessageW(tabs, TCM_SETCURSEL, (WPARAM)StartTab, 0);
    if (Pages[StartTab])
        ShowWindow(Pages[StartTab], SW_SHOW);
}

void CEditLitJournalsDlg::InitPage(HWND page, int index)
{
    Pages[index] = page;
    const PageKind& kind = kPages[index];
    if (index == LITLISTS_PERIODICALS) {
        HWND combo = GetDlgItem(page, IDC_LITLISTS_FIELD108);
        zdata::Recordset* publishers = (zdata::Recordset*)SendZm(
            Owner, ZM_GET_RECORDSET, ZM_RS_EDITORS, 0);
        FillComboFromRecordset(combo, publishers);
        SetPropW(combo, kRecordsetProp, (HANDLE)publishers);
        FieldsRef fields(publishers);
        SendMessageW(combo, CB_LIMITTEXT, (WPARAM)ColumnLimit(fields.get(), 1, kind.MaxText), 0);
    }
    zdata::Recordset* rs = (zdata::Recordset*)SendZm(Owner, ZM_GET_RECORDSET,
                                                              kind.RecordsetKind, 0);
    HWND list = GetDlgItem(page, IDC_LITLISTS_ROWS);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    FillListBoxFromRecordset(list, rs);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    SetPropW(list, kRecordsetProp, (HANDLE)rs);
    FieldsRef fields(rs);
    for (int column = 1; column <= 3; column++) {
        if (index == LITLISTS_PERIODICALS && column == 3)
            continue;  // the publisher's combo takes a publisher's name
        SendDlgItemMessageW(page, kind.FieldOfColumn[column - 1], EM_SETLIMITTEXT,
                            (WPARAM)ColumnLimit(fields.get(), column, kind.MaxText), 0);
    }
    if (SendMessageW(list, LB_GETCOUNT, 0, 0) > 0)
        SendMessageW(list, LB_SETCURSEL, 0, 0);
    ShowSelectedRow(index);
}

void CEditLitJournalsDlg::ShowSelectedRow(int index)
{
    HWND page = Pages[index];
    const PageKind& kind = kPages[index];
    HWND list = GetDlgItem(page, IDC_LITLISTS_ROWS);
    zdata::Recordset* rs = ListRecordset(page);
    Loading = 1;
    int selected = (int)SendMessageW(list, LB_GETCURSEL, 0, 0);
    bool found = false;
    if (selected < 0) {
        CurrentIds[index] = -1;
    } else {
        CurrentIds[index] = (int)(LONG)SendMessageW(list, LB_GETITEMDATA, (WPARAM)selected, 0);
        found = LocateId(rs, CurrentIds[index]);
    }
    FieldsRef fields(found ? rs : nullptr);
    for (int column = 1; column <= 3; column++) {
        HWND field = GetDlgItem(page, kind.FieldOfColumn[column - 1]);
        if (index == LITLISTS_PERIODICALS && column == 3) {
            int publisher = fields ? GetInt(fields.get(), column) : -1;
            int entry = publisher >= 0 ? FindComboItemByData(field, publisher) : -1;
            SendMessageW(field, CB_SETCURSEL, (WPARAM)entry, 0);
            if (entry < 0)
                SetWindowTextW(field, L"");
            continue;
        }
        wchar_t text[256] = L"";
        if (fields)
            GetText(fields.get(), column, text, 256);
        SetWindowTextW(field, text);
    }
    Loading = 0;
    UpdateButtons(index);
}

void CEditLitJournalsDlg::UpdateButtons(int index)
{
    HWND page = Pages[index];
    // Without a database the page has nothing to edit.
    bool open = ListRecordset(page) != nullptr;
    EnableWindow(GetDlgItem(page, IDC_LITLISTS_NEW), open && States[index] < LITLISTS_NEW);
    EnableWindow(GetDlgItem(page, IDC_LITLISTS_DELETE), open && CurrentIds[index] >= 0);
    EnableWindow(GetDlgItem(page, IDC_LITLISTS_APPLY), open && States[index] > LITLISTS_UNCHANGED);
    EnableWindow(GetDlgItem(page, IDC_LITLISTS_CANCEL), open && States[index] > LITLISTS_UNCHANGED);
}

void CEditLitJournalsDlg::RefillPublisherCombo()
{
    HWND page = Pages[LITLISTS_PERIODICALS];
    if (!page)
        return;
    HWND combo = GetDlgItem(page, IDC_LITLISTS_FIELD108);
    int selected = GetComboSelData(combo);
    std::wstring typed = GetWindowString(combo);
    Loading = 1;
    FillComboFromRecordset(combo, PublisherRecordset(page));
    int entry = selected >= 0 ? FindComboItemByData(combo, selected) : -1;
    SendMessageW(combo, CB_SETCURSEL, (WPARAM)entry, 0);
    if (entry < 0)
        SetWindowTextW(combo, typed.c_str());
    Loading = 0;
}

// ---- saving ----

bool CEditLitJournalsDlg::Save(int index)
{
    if (States[index] == LITLISTS_UNCHANGED)
        return true;
    HWND page = Pages[index];
    const PageKind& kind = kPages[index];
    zdata::Recordset* rs = ListRecordset(page);
    zdata::Connection* connection = rs ? rs->ActiveConnection() : nullptr;
    if (!rs || !connection)
        return false;
    // The name is what the lists show: an empty one is refused before anything is written.
    HWND nameEdit = GetDlgItem(page, IDC_LITLISTS_NAME);
    if (CleanLineText(GetWindowString(nameEdit)).empty()) {
        ShowWarningRes(Instance, Dialog, IDS_ERROR_CAPTION, IDS_VALUE_REQUIRED);
        SetFocus(nameEdit);
        return false;
    }

    // The periodical's publisher first: a name the combo does not list becomes a new publisher.
    VARIANT publisher;
    VariantInit(&publisher);
    if (index == LITLISTS_PERIODICALS) {
        HWND combo = GetDlgItem(page, IDC_LITLISTS_FIELD108);
        std::wstring name = CleanLineText(GetWindowString(combo));
        int entry = name.empty() ? -1
                                 : (int)SendMessageW(combo, CB_FINDSTRINGEXACT, (WPARAM)-1,
                                                     (LPARAM)name.c_str());
        if (name.empty()) {
            publisher.vt = VT_NULL;  // no publisher, and no nameless publisher row either
        } else if (entry >= 0) {
            publisher.vt = VT_I4;
            publisher.lVal = (LONG)SendMessageW(combo, CB_GETITEMDATA, (WPARAM)entry, 0);
        } else {
            zdata::Recordset* publishers = PublisherRecordset(page);
            FieldsRef pubFields(publishers);
            HRESULT hr = publishers && pubFields ? publishers->AddNew() : E_FAIL;
            if (SUCCEEDED(hr))
                hr = PutText(pubFields.get(), 1, name.c_str(), false);
            if (SUCCEEDED(hr))
                hr = publishers->Update();
            if (FAILED(hr)) {
                if (publishers && publishers->ActiveConnection())
                    ShowAdoErrors(Dialog, publishers->ActiveConnection());
                if (publishers)
                    publishers->CancelUpdate();
            } else {
                int id = GetInt(pubFields.get(), 0);
                publisher.vt = VT_I4;
                publisher.lVal = id;
                Loading = 1;
                if (Pages[LITLISTS_PUBLISHERS])
                    AddListEntry(GetDlgItem(Pages[LITLISTS_PUBLISHERS], IDC_LITLISTS_ROWS),
                                 LB_ADDSTRING, LB_SETITEMDATA, name.c_str(), id);
                int added = AddListEntry(combo, CB_ADDSTRING, CB_SETITEMDATA, name.c_str(), id);
                SendMessageW(combo, CB_SETCURSEL, (WPARAM)added, 0);
                Loading = 0;
            }
        }
    }

    bool adding = States[index] == LITLISTS_NEW || !LocateId(rs, CurrentIds[index]);
    FieldsRef fields(rs);
    HRESULT hr = fields ? (adding ? rs->AddNew() : S_OK) : E_FAIL;
    // Publishers and periodicals keep an empty text as NULL, authors as nothing at all.
    VARTYPE emptyType = index == LITLISTS_AUTHORS ? VT_EMPTY : VT_NULL;
    for (int column = 1; column <= 3 && SUCCEEDED(hr); column++) {
        HWND field = GetDlgItem(page, kind.FieldOfColumn[column - 1]);
        VARIANT value;
        VariantInit(&value);
        if (index == LITLISTS_PERIODICALS && column == 3)
            VariantCopy(&value, &publisher);
        else if (index == LITLISTS_PUBLISHERS && column == 3)
            GetWindowTextVariant(field, &value);  // the address keeps its lines
        else
            value = TextValue(CleanLineText(GetWindowString(field)), emptyType);
        hr = PutValue(fields.get(), column, value);
        VariantClear(&value);
    }
    VariantClear(&publisher);
    if (SUCCEEDED(hr))
        hr = rs->Update();
    if (FAILED(hr)) {
        ShowAdoErrors(Dialog, connection);
        rs->CancelUpdate();
        return false;
    }
    CurrentIds[index] = GetInt(fields.get(), 0);
    States[index] = LITLISTS_UNCHANGED;
    if (index == LITLISTS_PUBLISHERS)
        rs->Resync(adAffectAll, adResyncAllValues);
    HWND list = GetDlgItem(page, IDC_LITLISTS_ROWS);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    FillListBoxFromRecordset(list, rs);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    SendMessageW(list, LB_SETCURSEL, (WPARAM)FindListBoxItemByData(list, CurrentIds[index]), 0);
    if (index == LITLISTS_PUBLISHERS)
        RefillPublisherCombo();
    UpdateButtons(index);
    return true;
}

// ---- commands ----

void CEditLitJournalsDlg::OnSelectionChange(int index)
{
    if (Save(index)) {
        ShowSelectedRow(index);
        return;
    }
    // The row with the refused edit stays the selected one.
    HWND list = GetDlgItem(Pages[index], IDC_LITLISTS_ROWS);
    int back = States[index] == LITLISTS_NEW ? -1 : FindListBoxItemByData(list, CurrentIds[index]);
    SendMessageW(list, LB_SETCURSEL, (WPARAM)back, 0);
}

void CEditLitJournalsDlg::NewRow(int index)
{
    if (!Save(index))
        return;
    HWND page = Pages[index];
    SendDlgItemMessageW(page, IDC_LITLISTS_ROWS, LB_SETCURSEL, (WPARAM)-1, 0);
    Loading = 1;
    for (int id : kPages[index].FieldOfColumn) {
        HWND field = GetDlgItem(page, id);
        if (index == LITLISTS_PERIODICALS && id == IDC_LITLISTS_FIELD108)
            SendMessageW(field, CB_SETCURSEL, (WPARAM)-1, 0);
        SetWindowTextW(field, L"");
    }
    Loading = 0;
    States[index] = LITLISTS_NEW;
    UpdateButtons(index);
    SetFocus(GetDlgItem(page, IDC_LITLISTS_NAME));
}

void CEditLitJournalsDlg::DeleteRow(int index)
{
    HWND page = Pages[index];
    HWND list = GetDlgItem(page, IDC_LITLISTS_ROWS);
    int selected = (int)SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (selected < 0)
        return;
    CurrentIds[index] = (int)(LONG)SendMessageW(list, LB_GETITEMDATA, (WPARAM)selected, 0);
    zdata::Recordset* rs = ListRecordset(page);
    switch (DeleteNameListRow(rs, kPages[index].RecordsetKind, CurrentIds[index])) {
    case NAME_ROW_DELETED:
        break;
    case NAME_ROW_IN_USE:
        // Nothing in the file would stop it: the catalogue would point at a row that is gone.
        ZorMessageBoxRes(Dialog, Instance, IDS_LIT_NAME_IN_USE, IDS_ERROR_CAPTION, MB_ICONERROR);
        return;
    case NAME_ROW_FAILED:
        if (rs && rs->ActiveConnection())
            ShowAdoErrors(Dialog, rs->ActiveConnection());
        return;
    default:
        return;
    }
    // The page's pending edit goes with the row.
    States[index] = LITLISTS_UNCHANGED;
    SendMessageW(list, LB_DELETESTRING, (WPARAM)selected, 0);
    ShowSelectedRow(index);
    if (index == LITLISTS_PUBLISHERS) {
        RefillPublisherCombo();
        if (States[LITLISTS_PERIODICALS] == LITLISTS_UNCHANGED && Pages[LITLISTS_PERIODICALS])
            ShowSelectedRow(LITLISTS_PERIODICALS);
    }
}

void CEditLitJournalsDlg::CancelEdit(int index)
{
    States[index] = LITLISTS_UNCHANGED;
    HWND list = GetDlgItem(Pages[index], IDC_LITLISTS_ROWS);
    SendMessageW(list, LB_SETCURSEL, (WPARAM)FindListBoxItemByData(list, CurrentIds[index]), 0);
    ShowSelectedRow(index);
}

void CEditLitJournalsDlg::OnPageCommand(int index, WORD id, WORD code)
{
    switch (id) {
    case IDC_LITLISTS_ROWS:
        if (code == LBN_SELCHANGE)
            OnSelectionChange(index);
        return;
    case IDC_LITLISTS_NAME:
    case IDC_LITLISTS_FIELD106:
    case IDC_LITLISTS_FIELD108: {
        bool combo = index == LITLISTS_PERIODICALS && id == IDC_LITLISTS_FIELD108;
        bool change = combo ? (code == CBN_SELCHANGE || code == CBN_EDITCHANGE) : code == EN_CHANGE;
        if (!change || Loading || States[index] != LITLISTS_UNCHANGED)
            return;
        States[index] = CurrentIds[index] < 0 ? LITLISTS_NEW : LITLISTS_EDITED;
        UpdateButtons(index);
        return;
    }
    case IDC_LITLISTS_NEW:
        NewRow(index);
        return;
    case IDC_LITLISTS_DELETE:
        DeleteRow(index);
        return;
    case IDC_LITLISTS_APPLY:
        if (Save(index))
            UpdateButtons(index);
        return;
    case IDC_LITLISTS_CANCEL:
        CancelEdit(index);
        return;
    }
}

// ---- window procedures ----

INT_PTR CALLBACK CEditLitJournalsDlg::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CEditLitJournalsDlg* dlg = (CEditLitJournalsDlg*)GetWindowLongPtrW(hwnd, DWLP_USER);
    switch (msg) {
    case WM_INITDIALOG:
        dlg = (CEditLitJournalsDlg*)lParam;
        SetWindowLongPtrW(hwnd, DWLP_USER, (LONG_PTR)dlg);
        dlg->OnInitDialog(hwnd);
        return TRUE;
    case WM_COMMAND:
        // "Zavřít": pending edits of every page are dropped.
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(hwnd, 0);
            return TRUE;
        }
        return FALSE;
    case WM_NOTIFY: {
        NMHDR* header = (NMHDR*)lParam;
        if (!dlg || header->idFrom != IDC_LITLISTS_TABS)
            return FALSE;
        return SwitchTabPage(hwnd, header, [dlg](int tab) {
            return tab >= 0 && tab < kLitListsPageCount ? dlg->Pages[tab] : nullptr;
        });
    }
    case WM_DESTROY:
        if (dlg) {
            dlg->Dialog = nullptr;
            for (HWND& page : dlg->Pages)
                page = nullptr;
        }
        return FALSE;
    }
    return FALSE;
}

INT_PTR CALLBACK CEditLitJournalsDlg::PageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    LitListsPageRef* ref = (LitListsPageRef*)GetWindowLongPtrW(hwnd, DWLP_USER);
    switch (msg) {
    case WM_INITDIALOG:
        ref = (LitListsPageRef*)lParam;
        SetWindowLongPtrW(hwnd, DWLP_USER, (LONG_PTR)ref);
        ref->Owner->InitPage(hwnd, ref->Page);
        return FALSE;
    case WM_COMMAND:
        if (!ref)
            return FALSE;
        if (LOWORD(wParam) == IDCANCEL) {
            // Escape in the address edit closes the page's way: it means "Zavřít".
            PostMessageW(ref->Owner->Dialog, WM_COMMAND, IDCANCEL, 0);
            return TRUE;
        }
        ref->Owner->OnPageCommand(ref->Page, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_DESTROY: {
        RemovePropW(GetDlgItem(hwnd, IDC_LITLISTS_ROWS), kRecordsetProp);
        RemovePropW(GetDlgItem(hwnd, IDC_LITLISTS_FIELD108), kRecordsetProp);
        return FALSE;
    }
    }
    return FALSE;
}
