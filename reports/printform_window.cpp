// The print form's window: its lists of columns and abbreviations, the options, the layout and
// the commands of its buttons.
#include "reports/printform.h"

#include <commctrl.h>
#include <stdlib.h>
#include <wchar.h>

#include "core/containers.h"
#include "core/fields.h"
#include "core/leveldefs.h"
#include "dataaccess/ado.h"
#include "shellcontract/zm_protocol.h"
#include "reports/printform_view.h"
#include "resources/zorna/resource.h"

namespace {

const int kGroupIds[4] = {IDC_PRINT_COLUMNGROUP, IDC_PRINT_ABBREVGROUP, IDC_PRINT_OPTIONGROUP,
                          IDC_PRINT_PROGRESSGROUP};
const int kButtonIds[4] = {IDC_PRINT_SAVE, IDC_PRINT_FONT, IDC_PRINT_PRINT, IDCANCEL};
const int kOptionIds[4] = {IDC_PRINT_HEADER, IDC_PRINT_SYSTEM, IDC_PRINT_LOCATION,
                           IDC_PRINT_ABBREVLIST};

// The controls that live inside a group box, and their group.
struct InnerControl
{
    int Id;
    int Group;
};
const InnerControl kInner[] = {
    {IDC_PRINT_COLUMNS, IDC_PRINT_COLUMNGROUP},   {IDC_PRINT_ABBREVS, IDC_PRINT_ABBREVGROUP},
    {IDC_PRINT_EDITTERMS, IDC_PRINT_ABBREVGROUP}, {IDC_PRINT_HEADER, IDC_PRINT_OPTIONGROUP},
    {IDC_PRINT_SYSTEM, IDC_PRINT_OPTIONGROUP},    {IDC_PRINT_LOCATION, IDC_PRINT_OPTIONGROUP},
    {IDC_PRINT_ABBREVLIST, IDC_PRINT_OPTIONGROUP}, {IDC_PRINT_PROGRESS, IDC_PRINT_PROGRESSGROUP},
};

// The previous procedures of the subclassed groups are kept by group: 102, 104, 107.
int GroupIndex(int id)
{
    switch (id) {
    case IDC_PRINT_COLUMNGROUP: return 0;
    case IDC_PRINT_ABBREVGROUP: return 1;
    case IDC_PRINT_OPTIONGROUP: return 2;
    default: return -1;
    }
}

CPrintForm* FormOf(HWND window)
{
    return reinterpret_cast<CPrintForm*>(GetWindowLongPtrW(window, DWLP_USER));
}

// A group box that holds controls passes their commands and notifications to the form.
LRESULT CALLBACK GroupProc(HWND group, UINT msg, WPARAM wParam, LPARAM lParam)
{
    HWND form = GetParent(group);
    CPrintForm* self = FormOf(form);
    int index = GroupIndex(GetDlgCtrlID(group));
    WNDPROC previous = (self && index >= 0) ? self->GroupProcs[index] : nullptr;
    if (msg == WM_COMMAND || msg == WM_NOTIFY)
        return SendMessageW(form, msg, wParam, lParam);
    if (msg == WM_ERASEBKGND) {
        // The form clips its children, so the group's inside is the group's to paint: in the
        // form's own background.
        HDC dc = reinterpret_cast<HDC>(wParam);
        HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageW(form, WM_CTLCOLORDLG, wParam, (LPARAM)form));
        RECT client;
        GetClientRect(group, &client);
        FillRect(dc, &client, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    return previous ? CallWindowProcW(previous, group, msg, wParam, lParam)
                    : DefWindowProcW(group, msg, wParam, lParam);
}

RECT RectInClient(HWND control, HWND parent)
{
    RECT r = {};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Moves a control without drawing and without taking its pixels along: whatever it covered
// before may be stale by now (another control may have moved over it). The whole form is drawn
// once every control has its place.
void Place(HWND control, int left, int top, int width, int height)
{
    if (control)
        SetWindowPos(control, nullptr, left, top, width > 0 ? width : 0, height > 0 ? height : 0,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS | SWP_NOREDRAW);
}

void PlaceShifted(HWND control, const RECT& r, int dx, int dy)
{
    Place(control, r.left + dx, r.top + dy, r.right - r.left, r.bottom - r.top);
}

int Height(const RECT& r) { return r.bottom - r.top; }
int Width(const RECT& r) { return r.right - r.left; }

void PrepareCheckList(HWND list)
{
    SendMessageW(list, CCM_SETUNICODEFORMAT, TRUE, 0);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
                 LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<wchar_t*>(L"Col1");
    column.cx = 80;
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, (LPARAM)&column);
}

void AddCheckRow(HWND list, const wchar_t* text, PrintField* entry, bool checked)
{
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
    item.pszText = const_cast<wchar_t*>(text);
    item.lParam = (LPARAM)entry;
    int row = (int)SendMessageW(list, LVM_INSERTITEMW, 0, (LPARAM)&item);
    if (row < 0)
        return;
    LVITEMW state = {};
    state.stateMask = LVIS_STATEIMAGEMASK;
    state.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageW(list, LVM_SETITEMSTATE, row, (LPARAM)&state);
}

PrintField* RowEntry(HWND list, int row)
{
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageW(list, LVM_GETITEMW, 0, (LPARAM)&item))
        return nullptr;
    return reinterpret_cast<PrintField*>(item.lParam);
}

const wchar_t* DisplayNameOf(CDispField* field)
{
    if (field->DispName)
        return field->DispName;
    return field->Field ? field->Field->Name : L"";
}

void MeasureLayout(CPrintForm* form)
{
    HWND w = form->Window;
    PrintFormLayout& l = form->Layout;
    RECT client = {};
    GetClientRect(w, &client);
    l.Client = SIZE{client.right, client.bottom};
    l.Text = RectInClient(GetDlgItem(w, IDC_PRINT_TEXT), w);
    for (int i = 0; i < 4; i++) {
        l.Groups[i] = RectInClient(GetDlgItem(w, kGroupIds[i]), w);
        l.Buttons[i] = RectInClient(GetDlgItem(w, kButtonIds[i]), w);
    }
    RECT window = {};
    GetWindowRect(w, &window);
    l.MinTrack = SIZE{window.right - window.left, window.bottom - window.top};
}

// Moves every inner control into its group box, keeping its place on the screen.
void ParentIntoGroups(CPrintForm* form)
{
    HWND w = form->Window;
    PrintFormLayout& l = form->Layout;
    for (const InnerControl& inner : kInner) {
        HWND control = GetDlgItem(w, inner.Id);
        HWND group = GetDlgItem(w, inner.Group);
        if (!control || !group)
            continue;
        RECT r = RectInClient(control, group);
        if (inner.Id == IDC_PRINT_COLUMNS)
            l.ColumnList = r;
        else if (inner.Id == IDC_PRINT_ABBREVS)
            l.AbbrevList = r;
        else if (inner.Id == IDC_PRINT_EDITTERMS)
            l.EditTerms = r;
        SetParent(control, group);
        Place(control, r.left, r.top, Width(r), Height(r));
    }
    for (int id : kGroupIds) {
        HWND group = GetDlgItem(w, id);
        // The group box draws its frame around its controls, never over them.
        SetWindowLongPtrW(group, GWL_STYLE, GetWindowLongPtrW(group, GWL_STYLE) | WS_CLIPCHILDREN);
        SetWindowLongPtrW(group, GWL_EXSTYLE, GetWindowLongPtrW(group, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
        int index = GroupIndex(id);
        if (index >= 0)
            form->GroupProcs[index] = (WNDPROC)SetWindowLongPtrW(group, GWLP_WNDPROC, (LONG_PTR)GroupProc);
    }
}

void ApplyLayout(CPrintForm* form, int cx, int cy)
{
    const PrintFormLayout& l = form->Layout;
    HWND w = form->Window;
    if (l.Client.cx <= 0)
        return;
    int dx = cx - l.Client.cx, dy = cy - l.Client.cy;
    Place(GetDlgItem(w, IDC_PRINT_TEXT), l.Text.left, l.Text.top, Width(l.Text) + dx, Height(l.Text) + dy);
    for (int i = 0; i < 4; i++)
        PlaceShifted(GetDlgItem(w, kButtonIds[i]), l.Buttons[i], dx, dy);
    PlaceShifted(GetDlgItem(w, IDC_PRINT_OPTIONGROUP), l.Groups[2], dx, dy);
    PlaceShifted(GetDlgItem(w, IDC_PRINT_PROGRESSGROUP), l.Groups[3], dx, dy);

    // The columns' group takes its first share of the height the two lists have; the
    // abbreviations' group the rest.
    const RECT& columns = l.Groups[0];
    const RECT& abbrevs = l.Groups[1];
    int between = abbrevs.top - columns.bottom;
    int below = l.Groups[2].top - abbrevs.bottom;
    int room = (l.Groups[2].top + dy - below) - columns.top - between;
    int first = Height(columns) + Height(abbrevs);
    int columnsHeight = first > 0 ? MulDiv(room, Height(columns), first) : room / 2;
    int abbrevsHeight = room - columnsHeight;
    int left = columns.left + dx;
    Place(GetDlgItem(w, IDC_PRINT_COLUMNGROUP), left, columns.top, Width(columns), columnsHeight);
    Place(GetDlgItem(w, IDC_PRINT_ABBREVGROUP), left, columns.top + columnsHeight + between,
          Width(abbrevs), abbrevsHeight);
    // Inside: the lists keep their margins, the button its distance to the group's bottom.
    Place(form->Control(IDC_PRINT_COLUMNS), l.ColumnList.left, l.ColumnList.top, Width(l.ColumnList),
          Height(l.ColumnList) + columnsHeight - Height(columns));
    int grow = abbrevsHeight - Height(abbrevs);
    Place(form->Control(IDC_PRINT_ABBREVS), l.AbbrevList.left, l.AbbrevList.top, Width(l.AbbrevList),
          Height(l.AbbrevList) + grow);
    PlaceShifted(form->Control(IDC_PRINT_EDITTERMS), l.EditTerms, 0, grow);
    RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void SizeColumn(HWND list)
{
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE_USEHEADER);
}

// A check box of a list changed: the entry follows it.
void OnListCheck(CPrintForm* form, const NMLISTVIEW* change)
{
    if (form->Filling || !(change->uChanged & LVIF_STATE))
        return;
    if (!((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK))
        return;
    if (!(change->uOldState & LVIS_STATEIMAGEMASK))
        return;  // a row just inserted gets its first box: not the user's change
    PrintField* entry = RowEntry(change->hdr.hwndFrom, change->iItem);
    if (!entry)
        return;
    BYTE checked = ((change->uNewState & LVIS_STATEIMAGEMASK) >> 12) == 2 ? 1 : 0;
    if (change->hdr.idFrom == IDC_PRINT_COLUMNS) {
        if (entry->Visible == checked)
            return;
        entry->Visible = checked;
        form->FillAbbrevList();
    } else if (change->hdr.idFrom == IDC_PRINT_ABBREVS) {
        if (entry->Abbrev == checked)
            return;
        entry->Abbrev = checked;
        form->RestartReport();
    }
}

// The first opening of a form never placed: most of the width of the screen, so that a line of
// a report of the usual columns shows whole, three quarters of its height, in the middle. A
// normal position is counted from the work area's corner.
RECT FirstOpeningRect()
{
    RECT work = {0, 0, 1024, 768};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int width = Width(work) * 15 / 16, height = Height(work) * 3 / 4;
    int left = (Width(work) - width) / 2, top = (Height(work) - height) / 2;
    return RECT{left, top, left + width, top + height};
}

void CloseForm(CPrintForm* form)
{
    form->StopReport();
    // The display fields belong to the configuration, which may change before the next opening.
    for (int i = 0; i < form->Fields->GetCount(); i++) {
        if (PrintField* entry = static_cast<PrintField*>(form->Fields->GetItems()[i]))
            entry->DispField = nullptr;
    }
    ShowWindow(form->Window, SW_HIDE);
}

// The one command function of the form.
void OnPrintFormCommand(CPrintForm* form, int id, int code)
{
    switch (id) {
    case IDC_PRINT_HEADER:
    case IDC_PRINT_SYSTEM:
    case IDC_PRINT_LOCATION:
    case IDC_PRINT_ABBREVLIST:
        if (code == BN_CLICKED) {
            form->ReadOptions();
            form->FillAbbrevList();
        }
        break;
    case IDC_PRINT_EDITTERMS:
        // The lookup values editor of the main window, over this window.
        SendMessageW(form->Owner, WM_COMMAND, MAKEWPARAM(IDM_TERMS, 2), (LPARAM)form->Window);
        form->RestartReport();
        break;
    case IDC_PRINT_SAVE: form->SaveReport(); break;
    case IDC_PRINT_FONT: form->ChooseReportFont(); break;
    case IDC_PRINT_PRINT: form->PrintReport(); break;
    case IDCANCEL: CloseForm(form); break;
    default: break;
    }
}

INT_PTR InitForm(HWND hwnd, CPrintForm* form)
{
    SetWindowLongPtrW(hwnd, DWLP_USER, (LONG_PTR)form);
    form->Window = hwnd;
    MeasureLayout(form);
    ParentIntoGroups(form);
    PrepareCheckList(form->Control(IDC_PRINT_COLUMNS));
    PrepareCheckList(form->Control(IDC_PRINT_ABBREVS));
    const int options[4] = {form->Header, form->System, form->Location, form->AbbrevList};
    for (int i = 0; i < 4; i++)
        SendMessageW(form->Control(kOptionIds[i]), BM_SETCHECK, options[i] == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageW(form->Control(IDC_PRINT_PROGRESS), PBM_SETRANGE32, 0, 100);
    ShowWindow(GetDlgItem(hwnd, IDC_PRINT_PROGRESSGROUP), SW_HIDE);
    form->FillColumnList();
    return TRUE;
}

}  // namespace

HWND CPrintForm::Control(int id) const
{
    if (!Window)
        return nullptr;
    if (HWND control = GetDlgItem(Window, id))
        return control;
    for (int group : kGroupIds) {
        HWND box = GetDlgItem(Window, group);
        HWND control = box ? GetDlgItem(box, id) : nullptr;
        if (control)
            return control;
    }
    return nullptr;
}

void CPrintForm::ReadOptions()
{
    int* options[4] = {&Header, &System, &Location, &AbbrevList};
    for (int i = 0; i < 4; i++) {
        HWND box = Control(kOptionIds[i]);
        if (box)
            *options[i] = SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    }
}

PrintField* CPrintForm::FindOrAddPrintField(const wchar_t* name, CDispField* field)
{
    if (!name)
        name = L"";
    for (int i = 0; i < Fields->GetCount(); i++) {
        PrintField* entry = static_cast<PrintField*>(Fields->GetItems()[i]);
        if (!entry || wcscmp(entry->FieldName, name) != 0)
            continue;
        if (field && !entry->DispField) {
            entry->DispField = field;
            entry->HasLookup = Owner && SendZm(Owner, ZM_GET_ATTR_DEF, 1, (LPARAM)field) != 0;
        }
        return entry;
    }
    PrintField* entry = static_cast<PrintField*>(calloc(1, sizeof(PrintField)));
    if (!entry)
        return nullptr;
    wcsncpy(entry->FieldName, name, 64);
    entry->FieldName[64] = L'\0';
    entry->Abbrev = 0;
    entry->Visible = field ? (field->Visible ? 1 : 0) : 1;
    entry->DispField = field;
    entry->HasLookup = field && Owner && SendZm(Owner, ZM_GET_ATTR_DEF, 1, (LPARAM)field) != 0;
    Fields->Add(entry);
    return entry;
}

void CPrintForm::FillColumnList()
{
    HWND list = Control(IDC_PRINT_COLUMNS);
    if (!list)
        return;
    Filling++;
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    // Entries stand for the fields of this list only.
    for (int i = 0; i < Fields->GetCount(); i++) {
        if (PrintField* entry = static_cast<PrintField*>(Fields->GetItems()[i]))
            entry->DispField = nullptr;
    }
    for (int i = 0; DispFields && i < DispFields->GetCount(); i++) {
        CDispField* field = static_cast<CDispField*>(DispFields->GetItems()[i]);
        if (!field || !field->Field)
            continue;
        const wchar_t* name = DisplayNameOf(field);
        PrintField* entry = FindOrAddPrintField(name, field);
        if (entry)
            AddCheckRow(list, name, entry, entry->Visible != 0);
    }
    SizeColumn(list);
    Filling--;
    FillAbbrevList();
}

void CPrintForm::FillAbbrevList()
{
    HWND columns = Control(IDC_PRINT_COLUMNS);
    HWND list = Control(IDC_PRINT_ABBREVS);
    if (!columns || !list)
        return;
    Filling++;
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    int rows = (int)SendMessageW(columns, LVM_GETITEMCOUNT, 0, 0);
    for (int row = 0; row < rows; row++) {
        PrintField* entry = RowEntry(columns, row);
        CDispField* field = entry ? entry->DispField : nullptr;
        if (field && field->Field && field->Field->Kind == FIELD_DATABASE && entry->HasLookup && entry->Visible)
            AddCheckRow(list, entry->FieldName, entry, entry->Abbrev != 0);
    }
    if (Location == 1 && Owner) {
        // The levels of the locality tree from the second on.
        CPtrArray* levels = reinterpret_cast<CPtrArray*>(SendZm(Owner, ZM_GET_LEVEL_DEFS, 2, 0));
        for (int i = 1; levels && i < levels->GetCount(); i++) {
            const LevelDef* level = static_cast<const LevelDef*>(levels->GetItems()[i]);
            PrintField* entry = level ? FindOrAddPrintField(level->Name, nullptr) : nullptr;
            if (entry)
                AddCheckRow(list, level->Name, entry, entry->Abbrev != 0);
        }
    }
    SizeColumn(list);
    Filling--;
    RestartReport();
}

int CPrintForm::CreateWnd(HWND owner, CObjArray* dispFields, int listKind)
{
    Owner = owner;
    DispFields = dispFields;
    ListKind = listKind;
    if (Recordset) {
        Recordset->Release();
        Recordset = nullptr;
    }
    if (owner)
        SendMessageW(owner, ZM_GET_LIST_OBJECT, (WPARAM)listKind, (LPARAM)&Recordset);
    if (Window) {
        FillColumnList();
        ShowWindow(Window, IsIconic(Window) ? SW_RESTORE : SW_SHOW);
        SetWindowPos(Window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        return 1;
    }
    RegisterReportView(Instance);
    CreateDialogParamW(Instance, L"PRINTFORM", owner, PrintFormDlgProc, (LPARAM)this);
    if (Window) {
        WINDOWPLACEMENT placement = Placement;
        placement.length = sizeof(WINDOWPLACEMENT);
        if (placement.showCmd == SW_SHOW && EqualRect(&placement.rcNormalPosition, &kPrintFormUnplaced))
            placement.rcNormalPosition = FirstOpeningRect();
        if (placement.showCmd != SW_SHOWMAXIMIZED && placement.showCmd != SW_MAXIMIZE)
            placement.showCmd = SW_SHOWNORMAL;
        SetWindowPlacement(Window, &placement);
    }
    return 1;
}

void CPrintForm::ForgetList()
{
    // The report's worker reads the display fields that go now.
    StopReport();
    for (int i = 0; i < Fields->GetCount(); i++) {
        if (PrintField* entry = static_cast<PrintField*>(Fields->GetItems()[i]))
            entry->DispField = nullptr;
    }
    DispFields = nullptr;
    if (Recordset) {
        Recordset->Release();
        Recordset = nullptr;
    }
    if (Window) {
        Filling++;
        SendMessageW(Control(IDC_PRINT_COLUMNS), LVM_DELETEALLITEMS, 0, 0);
        Filling--;
        FillAbbrevList();
    }
}

INT_PTR CALLBACK PrintFormDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG)
        return InitForm(hwnd, reinterpret_cast<CPrintForm*>(lParam));
    CPrintForm* form = FormOf(hwnd);
    if (!form)
        return FALSE;
    switch (msg) {
    case WM_COMMAND:
        OnPrintFormCommand(form, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_NOTIFY: {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header && header->code == LVN_ITEMCHANGED)
            OnListCheck(form, reinterpret_cast<const NMLISTVIEW*>(lParam));
        return FALSE;
    }
    case ZM_REPORT_READY:
        form->ReportReady((int)wParam);
        return TRUE;
    case WM_TIMER:
        if (wParam == PRINTFORM_PROGRESS_TIMER)
            form->ReportProgress();
        return TRUE;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED)
            ApplyLayout(form, LOWORD(lParam), HIWORD(lParam));
        return FALSE;
    case WM_GETMINMAXINFO: {
        MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(lParam);
        if (form->Layout.MinTrack.cx > 0) {
            info->ptMinTrackSize.x = form->Layout.MinTrack.cx * 3 / 4;
            info->ptMinTrackSize.y = form->Layout.MinTrack.cy * 3 / 4;
        }
        return TRUE;
    }
    case WM_CLOSE:
        CloseForm(form);
        return TRUE;
    default:
        return FALSE;
    }
}
