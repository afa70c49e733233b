// The record dialog: opening on a record (or the template), the name combos, reading and saving,
// the template and "Další", and the property grid's requests for lookup values.
#include "browse/recorddlg.h"

#include <stdlib.h>

#include <string>

#include "browse/attrcheck.h"
#include "browse/memodlg.h"
#include "controls/plexa.h"
#include "core/attrdef.h"
#include "core/containers.h"
#include "core/ctlfill.h"
#include "shellcontract/zm_protocol.h"
#include "resources/zorna/resource.h"

namespace {

// The name combos in the order they are filled and read, with the name list each shows.
struct NameCombo
{
    int id;
    int kind;  // ZmNameList
};
const NameCombo kNameCombos[3] = {
    {IDC_REC_SPECIES, ZM_NAMES_SPECIES},
    {IDC_REC_LOCALITY, ZM_NAMES_FEATURES},
    {IDC_REC_LITERATURE, ZM_NAMES_LITERATURE},
};

// ZM_GET_LOOKUP_VALUES kind of the record's attributes.
const int kRecordLookupKind = 3;
// A name's first characters that pick the entries a combo starts with.
const int kPrefixLength = 5;

// Tab out of a name list dropped by typing takes the name it highlights, as Enter does, rather
// than the letters typed so far.
void TakeHighlightedName(HWND combo)
{
    int highlighted = (int)SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (highlighted >= 0)
        SendMessageW(combo, CB_SETCURSEL, (WPARAM)highlighted, 0);
}

WPARAM GridItem(int item)
{
    return ((WPARAM)(item & 0xFFFF) << 16) | 0xFFFF;
}

}  // namespace

CEditRecordDlg::CEditRecordDlg(HINSTANCE instance)
    : Owner(nullptr), Dialog(nullptr), Template(), HasTemplate(0), Instance(instance),
      Record(nullptr)
{
    Template.Mode = RECORD_MODE_NEW;
    Template.Id = -1;
    Template.SysId = -1;
    Template.FtrId = -1;
    Template.LitId = -1;
    VariantInit(&Template.Note);
    Template.Values = new CPtrArray(PTRARRAY_OWNS_ITEMS, 8, 4);
}

CEditRecordDlg::~CEditRecordDlg()
{
    ClearVariantArray(Template.Values);
    delete Template.Values;
    VariantClear(&Template.Note);
}

void CEditRecordDlg::ForgetTemplate()
{
    HasTemplate = 0;
    ClearVariantArray(Template.Values);
    Template.Values->RemoveAll(1);
    VariantClear(&Template.Note);
    Template.SysId = Template.FtrId = Template.LitId = -1;
}

int CEditRecordDlg::Show(HWND owner, OccurrenceRecord* record)
{
    if (!record || !record->Values)
        return 0;
    Owner = owner;
    Record = record;
    INT_PTR result = DialogBoxParamW(Instance, L"EDITRECORD", owner, EditRecordDlgProc,
                                     (LPARAM)this);
    Dialog = nullptr;
    return result == 1 ? 1 : 0;
}

INT_PTR CALLBACK CEditRecordDlg::EditRecordDlgProc(HWND dialog, UINT msg, WPARAM wParam,
                                                   LPARAM lParam)
{
    CEditRecordDlg* self = (CEditRecordDlg*)GetWindowLongPtrW(dialog, DWLP_USER);
    switch (msg) {
    case WM_INITDIALOG:
        self = (CEditRecordDlg*)lParam;
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        self->Dialog = dialog;
        return self->OnInitDialog();
    case WM_COMMAND:
        if (self)
            self->OnCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_NOTIFY:
        if (self && wParam == IDC_REC_ATTRS) {
            SetWindowLongPtrW(dialog, DWLP_MSGRESULT, self->OnPropertyNotify((NMHDR*)lParam));
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

LONG_PTR CEditRecordDlg::Ask(UINT msg, WPARAM wParam, LPARAM lParam)
{
    return SendZm(Owner, msg, wParam, lParam);
}

HWND CEditRecordDlg::PropertyBox() const
{
    return GetDlgItem(Dialog, IDC_REC_ATTRS);
}

// ---- opening ----

BOOL CEditRecordDlg::OnInitDialog()
{
    bool isNew = Record->Mode == RECORD_MODE_NEW;
    wchar_t caption[64] = L"";
    LoadStringW(Instance, isNew ? IDS_NEW_RECORD : IDS_EDIT_RECORD, caption, 64);
    SetWindowTextW(Dialog, caption);
    if (!isNew)
        ShowWindow(GetDlgItem(Dialog, IDC_REC_NEXT), SW_HIDE);
    // A note may be longer than an edit takes by default.
    SendDlgItemMessageW(Dialog, IDC_REC_NOTE, EM_SETLIMITTEXT, 0, 0);
    SetPropertyBoxYesNo(PropertyBox(), Instance);

    Ask(ZM_LOAD_RECORD, 0, (LPARAM)Record);
    if (!HasTemplate) {
        ClearVariantArray(Template.Values);
        Template.Values->RemoveAll(1);
        Template.Id = -1;
        Ask(ZM_LOAD_RECORD, 0, (LPARAM)&Template);
    }
    Ask(ZM_FILL_RECORD_ATTRS, 0, (LPARAM)PropertyBox());

    // A template holds one value per attribute, by position: one of another length belongs to
    // other attributes and is not used.
    bool fromTemplate = HasTemplate && Record->Id < 0
                        && Template.Values->GetCount() == Record->Values->GetCount();
    ShowRecord(fromTemplate ? &Template : Record, true);
    return TRUE;
}

void CEditRecordDlg::ShowRecord(OccurrenceRecord* source, bool withNote)
{
    SetPropertyBoxValues(PropertyBox(), source->Values);
    FillNameCombos(source);
    if (withNote)
        SetWindowTextVariant(&source->Note, GetDlgItem(Dialog, IDC_REC_NOTE));
}

void CEditRecordDlg::FillNameCombos(OccurrenceRecord* source)
{
    const int ids[3] = {source->SysId, source->FtrId, source->LitId};
    for (int i = 0; i < 3; i++)
        FillNameCombo(kNameCombos[i].id, kNameCombos[i].kind, ids[i]);
}

void CEditRecordDlg::FillNameCombo(int comboId, int kind, int id)
{
    HWND combo = GetDlgItem(Dialog, comboId);
    // An id below 1 names nothing: the combo is left without a choice. A record without a
    // publication still offers the publications, as the other combos offer the names near
    // their own.
    if (id < 1) {
        if (kind == ZM_NAMES_LITERATURE) {
            ZmNamePrefixRequest request = {combo, L""};
            Ask(ZM_FILTER_NAMES_BY_PREFIX, (WPARAM)kind, (LPARAM)&request);
        }
        SendMessageW(combo, CB_SETCURSEL, (WPARAM)-1, 0);
        SetWindowTextW(combo, L"");
        return;
    }
    wchar_t* name = (wchar_t*)Ask(ZM_GET_ROW_BY_ID, (WPARAM)kind, (LPARAM)id);
    std::wstring text = name ? name : L"";
    free(name);
    if (!text.empty()) {
        std::wstring prefix = text.substr(0, kPrefixLength);
        ZmNamePrefixRequest request = {combo, prefix.c_str()};
        Ask(ZM_FILTER_NAMES_BY_PREFIX, (WPARAM)kind, (LPARAM)&request);
    }
    // A publication whose row is gone is no publication; a species or locality item without a
    // name row is still the record's item and shows as an empty entry.
    LPARAM data = (text.empty() && kind == ZM_NAMES_LITERATURE) ? -1 : (LPARAM)id;
    // Names may repeat (two localities with the same label): the entry must carry this id.
    int found = -1;
    int count = (int)SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < count && found < 0; i++) {
        if (SendMessageW(combo, CB_GETITEMDATA, (WPARAM)i, 0) == data
            && GetComboEntryString(combo, i) == text)
            found = i;
    }
    if (found < 0) {
        found = (int)SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)text.c_str());
        if (found >= 0)
            SendMessageW(combo, CB_SETITEMDATA, (WPARAM)found, data);
    }
    SendMessageW(combo, CB_SETCURSEL, (WPARAM)found, 0);
}

// ---- reading ----

int CEditRecordDlg::ChosenId(int comboId)
{
    // Only an entry chosen from the list counts, and only while the text still shows it: the
    // list keeps its selection when the user types something else over it.
    HWND combo = GetDlgItem(Dialog, comboId);
    int selected = (int)SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (selected < 0 || GetComboEntryString(combo, selected) != GetWindowString(combo))
        return -1;
    int id = (int)SendMessageW(combo, CB_GETITEMDATA, (WPARAM)selected, 0);
    return id < 1 ? -1 : id;
}

int CEditRecordDlg::ReadFields()
{
    // An editor still open in the grid gives its text first.
    SendMessageW(PropertyBox(), PBXM_ENDEDIT, 1, 0);
    const int required[2] = {IDC_REC_SPECIES, IDC_REC_LOCALITY};
    int ids[2] = {-1, -1};
    for (int i = 0; i < 2; i++) {
        ids[i] = ChosenId(required[i]);
        if (ids[i] < 1) {
            // Nothing typed is a value missing; a name typed but not chosen from the list is one
            // that does not exist.
            HWND combo = GetDlgItem(Dialog, required[i]);
            UINT text = GetWindowString(combo).empty() ? IDS_VALUE_REQUIRED : IDS_INVALID_VALUE;
            ShowFieldWarning(Instance, Dialog, IDS_ERROR_CAPTION, text, ControlLabel(combo), combo);
            return 0;
        }
    }
    int litId = ChosenId(IDC_REC_LITERATURE);
    HWND box = PropertyBox();
    int missing = GetPropertyBoxValues(box, Record->Values, litId >= 0 ? 1 : 0);
    if (missing >= 0) {
        ShowFieldWarning(Instance, Dialog, IDS_ERROR_CAPTION, IDS_VALUE_REQUIRED, PropertyItemName(box, missing), box);
        SendMessageW(box, PBXM_SELECTITEM, GridItem(missing), 1);
        return 0;
    }
    // A date that does not exist, a number the grid could not read, a text longer than its
    // field or a value outside its attribute's bounds is refused here with the item shown, not
    // later by the file; a date after today is asked about.
    if (!AcceptGridValues(Instance, Dialog, box, Record->Values))
        return 0;
    Record->SysId = ids[0];
    Record->FtrId = ids[1];
    Record->LitId = litId;
    GetWindowTextVariant(GetDlgItem(Dialog, IDC_REC_NOTE), &Record->Note);
    return 1;
}

void CEditRecordDlg::KeepAsTemplate()
{
    SendMessageW(PropertyBox(), PBXM_ENDEDIT, 1, 0);
    Template.SysId = ChosenId(IDC_REC_SPECIES);
    Template.FtrId = ChosenId(IDC_REC_LOCALITY);
    Template.LitId = ChosenId(IDC_REC_LITERATURE);
    // Every value is copied: an empty required one does not end the copy.
    GetPropertyBoxValues(PropertyBox(), Template.Values, 1);
    GetWindowTextVariant(GetDlgItem(Dialog, IDC_REC_NOTE), &Template.Note);
    HasTemplate = 1;
}

int CEditRecordDlg::SaveAndNext()
{
    if (Record->Mode != RECORD_MODE_NEW || !ReadFields())
        return 0;
    if (!Ask(ZM_SAVE_RECORD, 0, (LPARAM)Record))
        return 0;  // refused: the database layer has shown why, the input stays
    Ask(ZM_REFRESH_LISTS, 0, 0);
    // The next record starts from the template; without one it keeps what was just saved.
    if (HasTemplate && Template.Values->GetCount() == Record->Values->GetCount())
        ShowRecord(&Template, false);
    return 1;
}

void CEditRecordDlg::OnCommand(int id, int code)
{
    switch (id) {
    case IDOK:
        if (ReadFields() && Ask(ZM_SAVE_RECORD, 0, (LPARAM)Record))
            EndDialog(Dialog, 1);
        break;
    case IDCANCEL:
        EndDialog(Dialog, 0);
        break;
    case IDC_REC_TEMPLATE:
        KeepAsTemplate();
        break;
    case IDC_REC_NEXT:
        SaveAndNext();
        break;
    case IDC_REC_SPECIES:
    case IDC_REC_LOCALITY:
    case IDC_REC_LITERATURE:
        if (code == CBN_EDITCHANGE) {
            // Lists 1-3 stand for the name lists 0-2.
            int list = id == IDC_REC_SPECIES ? 1 : (id == IDC_REC_LOCALITY ? 2 : 3);
            Ask(ZM_FILTER_NAMES_BY_COMBO, (WPARAM)list, (LPARAM)GetDlgItem(Dialog, id));
        } else if (code == CBN_SELENDCANCEL && GetKeyState(VK_TAB) < 0) {
            TakeHighlightedName(GetDlgItem(Dialog, id));
        }
        break;
    }
}

// ---- the grid's requests ----

int CEditRecordDlg::LookupIndexOfItem(int item)
{
    LRESULT data = SendMessageW(PropertyBox(), PBXM_GETITEMDATA, GridItem(item), 0);
    const CustomAttrDef* def = data == -1 ? nullptr : (const CustomAttrDef*)data;
    // Only lookup attributes have a value list; asking for another would try to open a table
    // that does not exist.
    if (!def || (def->Type != ATTR_LOOKUP && def->Type != ATTR_GEO_LOOKUP))
        return -1;
    // The answer is 16 bits wide, with 65535 for "none".
    return (short)(Ask(ZM_GET_LOOKUP_VALUES, kRecordLookupKind, (LPARAM)def->FieldName) & 0xFFFF);
}

LRESULT CEditRecordDlg::OnPropertyNotify(NMHDR* header)
{
    PropBoxNotify* notify = (PropBoxNotify*)header;
    int item = (int)notify->item;
    if (header->code == PBXN_BUTTONCLICK) {
        EditMemoText(Instance, Dialog, PropertyBox(), item);
        return 0;
    }
    UINT code = header->code;
    if (code != PBXN_GETLISTCOUNT && code != ICBN_GETTEXTLENGTH && code != ICBN_GETTEXT
        && code != ICBN_FINDSTRING)
        return 0;
    int k = LookupIndexOfItem(item);
    if (k < 0)
        return 0;
    ComboItemRequest* request = (ComboItemRequest*)header;
    if (code == PBXN_GETLISTCOUNT) {
        notify->data = (LPARAM)Ask(ZM_GET_LOOKUP_COUNT, (WPARAM)k, 0);
    } else if (code == ICBN_GETTEXTLENGTH) {
        Ask(ZM_GET_LOOKUP_ENTRY, MAKEWPARAM(k, request->item), (LPARAM)&request->count);
    } else if (code == ICBN_GETTEXT) {
        ZmTextRequest text = {request->text, request->count, 0};
        Ask(ZM_GET_LOOKUP_TEXT, MAKEWPARAM(k, request->item), (LPARAM)&text);
    } else {
        ZmFindRequest find = {request->text, request->item, 0};
        Ask(ZM_FIND_LOOKUP_ENTRY, (WPARAM)k, (LPARAM)&find);
        request->item = find.Row;
        request->count = find.MatchLength;
    }
    return 0;
}
