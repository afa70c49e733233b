// The attributes pages of the tree item dialog: EDITSYSATTRS (name, level, author, year and the
// parentheses of a taxon) and EDITLOCATTRS (name, level, abbreviation, square, coordinates and
// altitude of a locality), each with a property box of the item's own attributes.
#include "browse/sysitemdlg.h"

#include <cmath>

#include "browse/attrbox.h"
#include "controls/plexa.h"
#include "core/ctlfill.h"
#include "core/database.h"
#include "core/itemrecords.h"
#include "core/textutil.h"
#include "mainapp/zm_protocol.h"
#include "resources/zorna/resource.h"

namespace {

const int kNameLimit = 63;
const int kAuthorLimit = 63;
const int kYearLimit = 6;
const int kShortTextLimit = 7;  // abbreviation and square
const int kAuthorRowsShown = 8;

// Both pages start alike: the item is loaded into the record, then the name and the level list
// show it.
void StartAttributesPage(CEditSysItemDlg* dlg, HWND page, int tree)
{
    TreeItemRecord* r = dlg->Record;
    SendMessageW(dlg->Owner, ZM_LOAD_TREE_ITEM, (WPARAM)tree, (LPARAM)r);
    HWND name = GetDlgItem(page, IDC_ATTR_NAME);
    SendMessageW(name, EM_LIMITTEXT, kNameLimit, 0);
    SetWindowTextW(name, r->Name);
    HWND levels = GetDlgItem(page, IDC_ATTR_LEVEL);
    SendMessageW(dlg->Owner, ZM_FILL_LEVEL_CONTROL,
                 ZmLevelControlParam(tree, kZmLevelControlCombo, r->ParentLevelId), (LPARAM)levels);
    bool existing = r->Flags > TREEITEM_NEW_LOCALITY;
    int index = existing ? FindComboItemByDataOrAbove(levels, r->LevelId, 0)
                         : FindComboItemByDataOrAbove(levels, r->ParentLevelId, 1);
    SendMessageW(levels, CB_SETCURSEL, index, 0);
}

void SetVariantText(HWND window, const VARIANT* value)
{
    wchar_t text[64] = L"";
    GetVariantText(value, text, 64);
    SetWindowTextW(window, text);
}

// The altitude in whole metres as the locality stores it ("469", never "469,00"); a value with
// a fraction keeps it.
void SetAltitudeText(HWND edit, const VARIANT* value)
{
    const bool real = value->vt == VT_R8 || value->vt == VT_R4;
    const double metres = VariantToReal(value);
    wchar_t text[64] = L"";
    if (!(real && metres == std::floor(metres) && WholeNumberToText(metres, text, 64)))
        GetVariantText(value, text, 64);
    SetWindowTextW(edit, text);
}

// The property box's attributes and their values; the number that belong to the tree table.
int FillAttributes(CEditSysItemDlg* dlg, HWND box, UINT fillMessage)
{
    SetPropertyBoxYesNo(box, dlg->Instance);
    int treeCount = (int)SendZmResult(dlg->Owner, fillMessage, (WPARAM)dlg->Record->Id, (LPARAM)box);
    SetPropertyBoxValues(box, dlg->Record->Values);
    return treeCount;
}

// The commands both pages share: a level chosen, and the dialog's own buttons, which reach a
// page when its controls send them.
bool OnPageCommand(CEditSysItemDlg* dlg, WPARAM wParam)
{
    if (LOWORD(wParam) == IDC_ATTR_LEVEL && HIWORD(wParam) == CBN_SELCHANGE) {
        dlg->ApplyLevel();
        return true;
    }
    return dlg->PassDialogCommand(wParam);
}

// The author field is a virtual combo: its rows come from the main window's author list.
bool AnswerAuthorRequest(CEditSysItemDlg* dlg, NMHDR* header)
{
    ComboItemRequest* request = reinterpret_cast<ComboItemRequest*>(header);
    switch (header->code) {
    case ICBN_GETTEXTLENGTH:
        SendMessageW(dlg->Owner, ZM_GET_AUTHOR_ENTRY, (WPARAM)request->item, (LPARAM)&request->count);
        return true;
    case ICBN_GETTEXT: {
        ZmTextRequest text = {request->text, request->count, 0};
        SendMessageW(dlg->Owner, ZM_GET_AUTHOR_TEXT, (WPARAM)request->item, (LPARAM)&text);
        return true;
    }
    case ICBN_FINDSTRING: {
        ZmFindRequest find = {request->text, request->item, 0};
        SendMessageW(dlg->Owner, ZM_FIND_AUTHOR, 0, (LPARAM)&find);
        request->item = find.Row;
        request->count = find.MatchLength;
        return true;
    }
    }
    return false;
}

INT_PTR Answer(HWND page, bool handled)
{
    if (handled)
        SetWindowLongPtrW(page, DWLP_MSGRESULT, TRUE);
    return handled ? TRUE : FALSE;
}

}  // namespace

void CEditSysItemDlg::ApplyLevel()
{
    HWND page = AttrPage;
    int level = GetComboSelData(GetDlgItem(page, IDC_ATTR_LEVEL));
    bool taxon = IsTaxon();
    bool withRecords = SendZmResult(Owner, ZM_FIND_LEVEL, taxon ? ZM_TREE_SYS : ZM_TREE_LOC,
                                    (LPARAM)level) != 0;
    int show = withRecords ? SW_SHOW : SW_HIDE;
    int first = taxon ? IDC_SYS_AUTHORLABEL : IDC_LOC_SQUARELABEL;
    int last = taxon ? IDC_SYS_PARENTHESES : IDC_LOC_ALTITUDE;
    for (int id = first; id <= last; ++id)
        ShowWindow(GetDlgItem(page, id), show);
    if (taxon)
        return;
    // The locality's FEATURES attributes go with the other fields of a level with records.
    HWND box = GetDlgItem(page, IDC_LOC_ATTRS);
    int count = (int)SendMessageW(box, PBXM_GETCOUNT, (WPARAM)-1, 1);
    for (int i = TreeAttrCount; i < count; ++i)
        SendMessageW(box, PBXM_SETITEMFLAG, PBX_ITEM(i), withRecords ? 1 : 0);
    SendMessageW(box, PBXM_REDRAW, 0, 0);
}

INT_PTR CALLBACK CEditSysItemDlg::SysAttrsDlgProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CEditSysItemDlg* dlg = OfPage(page);
    switch (msg) {
    case WM_INITDIALOG: {
        dlg = AttachPage(page, lParam, &CEditSysItemDlg::AttrPage);
        TreeItemRecord* r = dlg->Record;
        StartAttributesPage(dlg, page, ZM_TREE_SYS);
        dlg->ApplyLevel();
        HWND author = GetDlgItem(page, IDC_SYS_AUTHOR);
        int authors = 0;
        SendMessageW(dlg->Owner, ZM_GET_AUTHOR_LIST, 0, (LPARAM)&authors);
        SendMessageW(author, ICBM_SETVISIBLECOUNT, kAuthorRowsShown, 0);
        SendMessageW(author, ICBM_SETCOUNT, authors, 0);
        SendMessageW(author, CB_LIMITTEXT, kAuthorLimit, 0);
        SendDlgItemMessageW(page, IDC_SYS_YEAR, EM_LIMITTEXT, kYearLimit, 0);
        if (r->Flags > TREEITEM_NEW_LOCALITY) {
            SetWindowTextW(author, r->Author);
            SetVariantText(GetDlgItem(page, IDC_SYS_YEAR), &r->Year);
            CheckDlgButton(page, IDC_SYS_PARENTHESES, r->AuthorInParentheses ? BST_CHECKED : BST_UNCHECKED);
        }
        dlg->TreeAttrCount = FillAttributes(dlg, GetDlgItem(page, IDC_SYS_ATTRS), ZM_FILL_SYS_ATTRS);
        return FALSE;
    }
    case WM_COMMAND:
        if (!dlg)
            return FALSE;
        // Enter and Escape in the author field confirm or cancel the whole dialog.
        if (LOWORD(wParam) == IDC_SYS_AUTHOR && HIWORD(wParam) == CBN_SELENDOK) {
            SendMessageW(dlg->Dialog, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
            return TRUE;
        }
        if (LOWORD(wParam) == IDC_SYS_AUTHOR && HIWORD(wParam) == CBN_SELENDCANCEL) {
            SendMessageW(dlg->Dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
            return TRUE;
        }
        return OnPageCommand(dlg, wParam) ? TRUE : FALSE;
    case WM_NOTIFY: {
        if (!dlg)
            return FALSE;
        NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->idFrom == IDC_SYS_AUTHOR)
            return Answer(page, AnswerAuthorRequest(dlg, header));
        if (header->idFrom == IDC_SYS_ATTRS) {
            int kind = AttrBoxNotifyItem(header) < dlg->TreeAttrCount ? LOOKUP_SYSTREE : LOOKUP_SPECIES;
            return Answer(page, AnswerAttrBoxNotify(dlg->Owner, dlg->Instance, dlg->Dialog, header, kind));
        }
        return FALSE;
    }
    }
    return FALSE;
}

INT_PTR CALLBACK CEditSysItemDlg::LocAttrsDlgProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CEditSysItemDlg* dlg = OfPage(page);
    switch (msg) {
    case WM_INITDIALOG: {
        dlg = AttachPage(page, lParam, &CEditSysItemDlg::AttrPage);
        TreeItemRecord* r = dlg->Record;
        StartAttributesPage(dlg, page, ZM_TREE_LOC);
        SendDlgItemMessageW(page, IDC_LOC_ABBREV, EM_LIMITTEXT, kShortTextLimit, 0);
        SendDlgItemMessageW(page, IDC_LOC_SQUARE, EM_LIMITTEXT, kShortTextLimit, 0);
        if (r->Flags > TREEITEM_NEW_LOCALITY) {
            SetDlgItemTextW(page, IDC_LOC_ABBREV, r->Abbrev);
            SetDlgItemTextW(page, IDC_LOC_SQUARE, r->Square);
            const VARIANT* coordinates[2] = {&r->Longitude, &r->Latitude};
            const int firstIds[2] = {IDC_LOC_LONDEG, IDC_LOC_LATDEG};
            for (int i = 0; i < 2; ++i) {
                bool none = coordinates[i]->vt == VT_EMPTY || coordinates[i]->vt == VT_NULL;
                SetDmsEdits(page, firstIds[i], none ? 0.0 : VariantToReal(coordinates[i]), none);
            }
            SetAltitudeText(GetDlgItem(page, IDC_LOC_ALTITUDE), &r->Altitude);
        }
        dlg->TreeAttrCount = FillAttributes(dlg, GetDlgItem(page, IDC_LOC_ATTRS), ZM_FILL_LOC_ATTRS);
        dlg->ApplyLevel();
        return FALSE;
    }
    case WM_COMMAND:
        return dlg && OnPageCommand(dlg, wParam) ? TRUE : FALSE;
    case WM_NOTIFY: {
        if (!dlg)
            return FALSE;
        NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->idFrom == IDC_LOC_ATTRS) {
            int kind = AttrBoxNotifyItem(header) < dlg->TreeAttrCount ? LOOKUP_LOCTREE : LOOKUP_FEATURES;
            return Answer(page, AnswerAttrBoxNotify(dlg->Owner, dlg->Instance, dlg->Dialog, header, kind));
        }
        return FALSE;
    }
    }
    return FALSE;
}
