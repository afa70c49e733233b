// The frame of the tree item dialog: its tabs and pages, the locality's note, and reading the
// attributes page when the user confirms.
#include "browse/sysitemdlg.h"

#include <string>

#include "browse/attrcheck.h"
#include "browse/itemfields.h"
#include "controls/plexa.h"
#include "core/attrdef.h"
#include "core/ctlfill.h"
#include "core/itemrecords.h"
#include "core/textutil.h"
#include "core/valuecheck.h"
#include "shellcontract/zm_protocol.h"
#include "resources/zorna/resource.h"

namespace {

// A page's rectangle: the tab control's display area in its own client coordinates.
RECT PageArea(HWND tabs)
{
    RECT area;
    GetClientRect(tabs, &area);
    SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, (LPARAM)&area);
    return area;
}

HWND CreatePage(CEditSysItemDlg* dlg, HWND tabs, const wchar_t* name, DLGPROC proc,
                const RECT& area, bool show)
{
    HWND page = CreateDialogParamW(dlg->Instance, name, tabs, proc, (LPARAM)dlg);
    if (page)
        SetWindowPos(page, HWND_TOP, area.left, area.top, area.right - area.left,
                     area.bottom - area.top, show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW);
    return page;
}

// A name as one line: pasted line breaks and tabs become blanks. True when anything but blanks
// is left.
bool ReadNameText(HWND edit, wchar_t* name, int size)
{
    GetWindowTextW(edit, name, size);
    bool any = false;
    for (wchar_t* c = name; *c; ++c) {
        if (*c < L' ')
            *c = L' ';
        if (*c != L' ' && *c != 0x00A0)
            any = true;
    }
    return any;
}

// Whether the control itself is shown, whatever tab is in front (IsWindowVisible is false for
// every control of a page behind another tab).
bool IsShown(HWND control)
{
    return (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

std::wstring EditText(HWND edit)
{
    int length = GetWindowTextLengthW(edit);
    std::wstring text((size_t)(length > 0 ? length : 0) + 1, L'\0');
    GetWindowTextW(edit, &text[0], length + 1);
    text.resize(wcslen(text.c_str()));
    return text;
}

void SetInt(VARIANT* v, int value)
{
    VariantClear(v);
    v->vt = VT_I4;
    v->lVal = value;
}

void SetReal(VARIANT* v, double value)
{
    VariantClear(v);
    v->vt = VT_R8;
    v->dblVal = value;
}

void SetNull(VARIANT* v)
{
    VariantClear(v);
    v->vt = VT_NULL;
}

}  // namespace

CEditSysItemDlg::CEditSysItemDlg(HINSTANCE instance)
    : Owner(nullptr), Dialog(nullptr), TreeAttrCount(0), CurrentPicture(0), Instance(instance),
      Record(nullptr), AttrPage(nullptr), IconsPage(nullptr), PicturesPage(nullptr),
      NoteEdit(nullptr), ToolbarImages(nullptr)
{
    InitialFolder[0] = L'\0';
}

CEditSysItemDlg::~CEditSysItemDlg()
{
    if (ToolbarImages)
        ImageList_Destroy(ToolbarImages);
}

int CEditSysItemDlg::Show(HWND owner, TreeItemRecord* record)
{
    if (!record)
        return 0;
    Owner = owner;
    Record = record;
    CurrentPicture = 0;
    TreeAttrCount = 0;
    AttrPage = IconsPage = PicturesPage = NoteEdit = nullptr;
    INT_PTR result = DialogBoxParamW(Instance, L"EDITSYSITEM", owner, EditSysItemDlgProc,
                                     (LPARAM)this);
    Dialog = nullptr;
    AttrPage = IconsPage = PicturesPage = NoteEdit = nullptr;
    return result == 1 ? 1 : 0;
}

CEditSysItemDlg* CEditSysItemDlg::OfPage(HWND page)
{
    return reinterpret_cast<CEditSysItemDlg*>(GetWindowLongPtrW(page, DWLP_USER));
}

CEditSysItemDlg* CEditSysItemDlg::AttachPage(HWND page, LPARAM object, HWND CEditSysItemDlg::*slot)
{
    CEditSysItemDlg* dlg = reinterpret_cast<CEditSysItemDlg*>(object);
    SetWindowLongPtrW(page, DWLP_USER, (LONG_PTR)dlg);
    dlg->*slot = page;
    return dlg;
}

bool CEditSysItemDlg::PassDialogCommand(WPARAM wParam)
{
    WORD id = LOWORD(wParam);
    if (id != IDOK && id != IDCANCEL)
        return false;
    SendMessageW(Dialog, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    return true;
}

bool CEditSysItemDlg::IsTaxon() const
{
    return Record && (Record->Flags & 1);
}

HWND CEditSysItemDlg::PageOfTab(int tab) const
{
    switch (tab) {
    case ITEMTAB_ATTRIBUTES: return AttrPage;
    case ITEMTAB_ICONS: return IconsPage;
    case ITEMTAB_PICTURES: return PicturesPage;
    case ITEMTAB_NOTE: return NoteEdit;
    }
    return nullptr;
}

void CEditSysItemDlg::ShowTab(int tab)
{
    HWND tabs = GetDlgItem(Dialog, IDC_ITEM_TABS);
    int current = (int)SendMessageW(tabs, TCM_GETCURSEL, 0, 0);
    if (current != tab) {
        ShowWindow(PageOfTab(current), SW_HIDE);
        SendMessageW(tabs, TCM_SETCURSEL, tab, 0);
    }
    ShowWindow(PageOfTab(tab), SW_SHOW);
}

void CEditSysItemDlg::Refuse(UINT textId, HWND control, HWND labelled)
{
    ShowTab(ITEMTAB_ATTRIBUTES);
    if (!labelled)
        labelled = control;
    ShowFieldWarning(Instance, Dialog, IDS_ERROR_CAPTION, textId,
                     labelled ? ControlLabel(labelled) : std::wstring(), control);
}

void CEditSysItemDlg::Refuse(const std::wstring& text, HWND control)
{
    ShowTab(ITEMTAB_ATTRIBUTES);
    ShowFieldWarningText(Instance, Dialog, IDS_ERROR_CAPTION, text, ControlLabel(control), control);
}

INT_PTR CALLBACK CEditSysItemDlg::EditSysItemDlgProc(HWND hwnd, UINT msg, WPARAM wParam,
                                                     LPARAM lParam)
{
    CEditSysItemDlg* dlg = reinterpret_cast<CEditSysItemDlg*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG: {
        dlg = reinterpret_cast<CEditSysItemDlg*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, (LONG_PTR)dlg);
        dlg->Dialog = hwnd;
        int mode = dlg->Record->Flags;
        wchar_t caption[64] = L"";
        if (mode >= TREEITEM_NEW_TAXON && mode <= TREEITEM_EDIT_LOCALITY)
            LoadStringW(dlg->Instance, IDS_NEW_SYS_ITEM + mode - 1, caption, 64);
        SetWindowTextW(hwnd, caption);

        HWND tabs = GetDlgItem(hwnd, IDC_ITEM_TABS);
        SendMessageW(tabs, CCM_SETUNICODEFORMAT, TRUE, 0);
        InsertTabFromString(tabs, dlg->Instance, ITEMTAB_ATTRIBUTES, IDS_PROPERTIES);
        InsertTabFromString(tabs, dlg->Instance, ITEMTAB_ICONS, IDS_TAB_ICONS);
        InsertTabFromString(tabs, dlg->Instance, ITEMTAB_PICTURES, IDS_TAB_PICTURES);
        RECT area = PageArea(tabs);
        // The attributes page loads the record, so it comes before the pages that show it.
        if (dlg->IsTaxon()) {
            dlg->AttrPage = CreatePage(dlg, tabs, L"EDITSYSATTRS", SysAttrsDlgProc, area, true);
        } else {
            dlg->AttrPage = CreatePage(dlg, tabs, L"EDITLOCATTRS", LocAttrsDlgProc, area, true);
            InsertTabFromString(tabs, dlg->Instance, ITEMTAB_NOTE, IDS_TAB_NOTE);
            // The note belongs to the dialog, not to the tab control: a multi-line edit on a tab
            // control closes the tab control on Escape, pages and all. Here Escape cancels and
            // Enter confirms, as everywhere in the dialog.
            RECT r = area;
            MapWindowPoints(tabs, hwnd, (POINT*)&r, 2);
            dlg->NoteEdit = CreateWindowExW(
                WS_EX_CLIENTEDGE, L"EDIT", L"",
                WS_CHILD | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL, r.left, r.top,
                r.right - r.left, r.bottom - r.top, hwnd, (HMENU)(INT_PTR)IDC_ITEM_NOTE,
                dlg->Instance, nullptr);
            SendMessageW(dlg->NoteEdit, WM_SETFONT, SendMessageW(hwnd, WM_GETFONT, 0, 0), FALSE);
            SetWindowPos(dlg->NoteEdit, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            SetWindowTextVariant(&dlg->Record->Note, dlg->NoteEdit);
        }
        dlg->IconsPage = CreatePage(dlg, tabs, L"EDITICONSDLG", IconsDlgProc, area, false);
        dlg->PicturesPage = CreatePage(dlg, tabs, L"EDITIMGSDLG", PicturesDlgProc, area, false);
        if (HWND name = GetDlgItem(dlg->AttrPage, IDC_ATTR_NAME)) {
            SetFocus(name);
            SendMessageW(name, EM_SETSEL, 0, -1);
            return FALSE;
        }
        return TRUE;
    }
    case WM_NOTIFY: {
        NMHDR* hdr = reinterpret_cast<NMHDR*>(lParam);
        if (!dlg || hdr->idFrom != IDC_ITEM_TABS)
            return FALSE;
        int tab = (int)SendMessageW(hdr->hwndFrom, TCM_GETCURSEL, 0, 0);
        if (hdr->code == TCN_SELCHANGING)
            ShowWindow(dlg->PageOfTab(tab), SW_HIDE);
        else if (hdr->code == TCN_SELCHANGE)
            ShowWindow(dlg->PageOfTab(tab), SW_SHOW);
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, 0);
        return TRUE;
    }
    case WM_COMMAND:
        if (!dlg)
            return FALSE;
        switch (LOWORD(wParam)) {
        case IDOK:
            if (dlg->ReadFields()) {
                dlg->KeepPictureNote();
                EndDialog(hwnd, 1);
            }
            return TRUE;
        case IDCANCEL:
            EndDialog(hwnd, 0);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

// ---- reading the fields ----

bool CEditSysItemDlg::ReadFields()
{
    if (!Record || !AttrPage)
        return false;
    // Name and level first, both kinds alike; the record takes them only when all is read.
    HWND page = AttrPage;
    wchar_t name[64];
    if (!ReadNameText(GetDlgItem(page, IDC_ATTR_NAME), name, 64)) {
        Refuse(IDS_INVALID_VALUE, GetDlgItem(page, IDC_ATTR_NAME));
        return false;
    }
    int level = GetComboSelData(GetDlgItem(page, IDC_ATTR_LEVEL));
    if (level < 0) {
        Refuse(IDS_INVALID_VALUE, GetDlgItem(page, IDC_ATTR_LEVEL));
        return false;
    }
    if (!(IsTaxon() ? ReadTaxonFields() : ReadLocalityFields()))
        return false;
    lstrcpynW(Record->Name, name, 64);
    Record->LevelId = level;
    return true;
}

bool CEditSysItemDlg::ReadAttributeValues(HWND box)
{
    int missing = GetPropertyBoxValues(box, Record->Values, 0);
    if (missing < 0)
        return AcceptGridValues(Instance, Dialog, box, Record->Values, [this]() { ShowTab(ITEMTAB_ATTRIBUTES); });
    ShowTab(ITEMTAB_ATTRIBUTES);
    ShowFieldWarning(Instance, Dialog, IDS_ERROR_CAPTION, IDS_VALUE_REQUIRED, PropertyItemName(box, missing), box);
    SendMessageW(box, PBXM_SELECTITEM, PBX_ITEM(missing), 0);
    return false;
}

bool CEditSysItemDlg::ReadTaxonFields()
{
    HWND page = AttrPage;
    HWND yearEdit = GetDlgItem(page, IDC_SYS_YEAR);
    bool readYear = IsShown(yearEdit);
    int year = 0;
    int yearRead = ITEMFIELD_EMPTY;
    if (readYear) {
        yearRead = ReadWholeNumberText(EditText(yearEdit).c_str(), &year);
        if (yearRead == ITEMFIELD_INVALID) {
            Refuse(IDS_INVALID_VALUE, yearEdit);
            return false;
        }
        // 0 or five digits cannot be a year; one before 1758 or after this year is asked about.
        VARIANT typed;
        InitVariant(&typed, VT_I4, year);
        const FieldRule years = {ATTR_INTEGER, 0, YEARS_TAXON};
        ValueCheck check = yearRead == ITEMFIELD_READ ? CheckFieldValue(years, &typed, TodayDate()) : ValueCheck{};
        if (check.Verdict == VALUE_REFUSED) {
            Refuse(check.Rule, yearEdit);
            return false;
        }
        if (check.Verdict == VALUE_UNLIKELY) {
            ShowTab(ITEMTAB_ATTRIBUTES);
            if (!ConfirmFieldValue(Instance, Dialog, IDS_QUERY, check.Rule, ControlLabel(yearEdit), yearEdit))
                return false;
        }
    }
    if (!ReadAttributeValues(GetDlgItem(page, IDC_SYS_ATTRS)))
        return false;
    GetWindowTextW(GetDlgItem(page, IDC_SYS_AUTHOR), Record->Author, 64);
    Record->AuthorInParentheses =
        SendMessageW(GetDlgItem(page, IDC_SYS_PARENTHESES), BM_GETCHECK, 0, 0) == BST_CHECKED;
    // A hidden year (a level without records) is left as the load gave it.
    if (readYear) {
        if (yearRead == ITEMFIELD_EMPTY)
            SetNull(&Record->Year);
        else
            SetInt(&Record->Year, year);
    }
    return true;
}

bool CEditSysItemDlg::ReadLocalityFields()
{
    HWND page = AttrPage;
    wchar_t thousands, decimal;
    GetUserNumberSeparators(&thousands, &decimal);
    // The coordinates and the altitude are read only when shown (a level with records).
    struct Coordinate
    {
        int firstId;
        double limit;
        int read;
        double value;
    } coordinates[2] = {{IDC_LOC_LONDEG, 180.0, ITEMFIELD_EMPTY, 0}, {IDC_LOC_LATDEG, 90.0, ITEMFIELD_EMPTY, 0}};
    bool shown = IsShown(GetDlgItem(page, IDC_LOC_LONDEG));
    for (Coordinate& c : coordinates) {
        if (!shown)
            break;
        int bad = DMS_DEGREES;
        c.read = ReadDmsTexts(EditText(GetDlgItem(page, c.firstId)).c_str(),
                              EditText(GetDlgItem(page, c.firstId + 1)).c_str(),
                              EditText(GetDlgItem(page, c.firstId + 2)).c_str(), c.limit,
                              thousands, decimal, &c.value, &bad);
        if (c.read == ITEMFIELD_INVALID) {
            Refuse(IDS_INVALID_VALUE, GetDlgItem(page, c.firstId + bad), GetDlgItem(page, c.firstId));
            return false;
        }
    }
    HWND altitudeEdit = GetDlgItem(page, IDC_LOC_ALTITUDE);
    double altitude = 0;
    int altitudeRead = ITEMFIELD_EMPTY;
    if (shown) {
        altitudeRead = ReadRealText(EditText(altitudeEdit).c_str(), thousands, decimal, &altitude);
        if (altitudeRead == ITEMFIELD_INVALID) {
            Refuse(IDS_INVALID_VALUE, altitudeEdit);
            return false;
        }
        // From below the Dead Sea shore to above the highest summit.
        const NumberBounds altitudes = {true, true, -500.0, 9000.0};
        std::wstring why = altitudeRead == ITEMFIELD_READ
                               ? BoundsRefusal(Instance, altitudes, altitude, IDS_ALTITUDE_RANGE)
                               : std::wstring();
        if (!why.empty()) {
            Refuse(why, altitudeEdit);
            return false;
        }
    }
    if (!ReadAttributeValues(GetDlgItem(page, IDC_LOC_ATTRS)))
        return false;
    GetWindowTextW(GetDlgItem(page, IDC_LOC_ABBREV), Record->Abbrev, 8);
    GetWindowTextW(GetDlgItem(page, IDC_LOC_SQUARE), Record->Square, 8);
    if (shown) {
        VARIANT* targets[2] = {&Record->Longitude, &Record->Latitude};
        for (int i = 0; i < 2; ++i) {
            if (coordinates[i].read == ITEMFIELD_READ)
                SetReal(targets[i], coordinates[i].value);
            else
                SetNull(targets[i]);
        }
        if (altitudeRead == ITEMFIELD_READ)
            SetReal(&Record->Altitude, altitude);
        else
            SetNull(&Record->Altitude);
    }
    GetWindowTextVariant(NoteEdit, &Record->Note);
    return true;
}
