// The columns' page of the flat sources (text file, Access or Excel table): each source column is
// sent into a target group (a tree, species, localities, records, literature, or nowhere), onto a
// tree level, onto a built-in field or an existing attribute, or becomes a new attribute with its
// type, length, limits and empty value. The page also works out whether records need a target
// species or locality (the target item page then follows).
#include <strsafe.h>

#include <string>
#include <vector>

#include "core/ctlfill.h"
#include "core/textutil.h"
#include "czechcollation/czechtext.h"
#include "import/impwizard.h"
#include "import/structtransfer.h"
#include "resources/tarnix/resource.h"
#include "structure/structmodel.h"

namespace {

struct BuiltIn {
    UINT label;
    const wchar_t* field;
    int type;
    const wchar_t* size;
    const wchar_t* minimum;
    const wchar_t* empty;
};

// Built-in fields of each group, in their list order, with the definitions shown for them.
const std::vector<BuiltIn>& BuiltIns(int group)
{
    static const std::vector<BuiltIn> none;
    static const std::vector<BuiltIn> tree = {{120, L"NAME", 4, L"64", L"", L""}};
    static const std::vector<BuiltIn> locTree = {{120, L"NAME", 4, L"64", L"", L""}, {123, L"ABBREV", 4, L"8", L"", L""}};
    static const std::vector<BuiltIn> species = {{120, L"NAME", 4, L"64", L"", L""},
                                                 {121, L"AUTHOR", 4, L"64", L"", L""},
                                                 {72, L"IYEAR", 1, L"", L"1500", L"-1"},
                                                 {122, L"PARENTHES", 0, L"", L"", L""}};
    static const std::vector<BuiltIn> features = {{120, L"NAME", 4, L"64", L"", L""},  {123, L"ABBREV", 4, L"8", L"", L""},
                                                  {124, L"LONGITUDE", 2, L"", L"", L""}, {125, L"LATITUDE", 2, L"", L"", L""},
                                                  {126, L"ALTITUDE", 2, L"", L"", L""},  {127, L"SQUARE", 4, L"8", L"", L""}};
    static const std::vector<BuiltIn> literature = {
        {134, L"NAME", 4, L"64", L"", L""},    {123, L"ABBREV", 4, L"8", L"", L""}, {121, L"FIRSTAUTHOR", 4, L"64", L"", L""},
        {128, L"JOURNALID", 4, L"64", L"", L""}, {129, L"EDITOR", 4, L"64", L"", L""}, {130, L"IYEAR", 1, L"", L"", L""},
        {131, L"INUMBER", 1, L"", L"", L""},   {132, L"IVOLUME", 1, L"", L"", L""}, {133, L"IPAGES", 4, L"64", L"", L""}};
    switch (group) {
    case COLGROUP_SYSTREE: return tree;
    case COLGROUP_LOCTREE: return locTree;
    case COLGROUP_SPECIES: return species;
    case COLGROUP_FEATURES: return features;
    case COLGROUP_LITERATURE: return literature;
    }
    return none;
}

std::wstring LoadText(HINSTANCE instance, UINT id)
{
    wchar_t text[128] = L"";
    LoadStringW(instance, id, text, 128);
    return text;
}

CPtrArray* Columns(ImportWizardState* state)
{
    int g = state->GroupIndex;
    return g >= 1 && g <= 8 ? state->Job->GroupItems[g - 1] : nullptr;
}

const ItemList* LevelsOf(ImportWizardState* state, int group)
{
    if (group == COLGROUP_SYSTREE)
        return &state->Job->Model->Lists[MODEL_SYS_LEVELS];
    if (group == COLGROUP_LOCTREE)
        return &state->Job->Model->Lists[MODEL_LOC_LEVELS];
    return nullptr;
}

const ItemList* AttrsOf(ImportWizardState* state, int group)
{
    int list = ModelListOfColumnGroup(group);
    return list >= 0 ? &state->Job->Model->Lists[list] : nullptr;
}

SourceColumn* Selected(HWND page)
{
    HWND list = GetDlgItem(page, IDC_IMP_COLUMNS);
    LRESULT sel = SendMessageW(list, LB_GETCURSEL, 0, 0);
    return sel < 0 ? nullptr : reinterpret_cast<SourceColumn*>(SendMessageW(list, LB_GETITEMDATA, (WPARAM)sel, 0));
}

}  // namespace

// Resolves a label in a group: a tree level's index (field NAME), -1 a field found (written into
// column), -2 none.
int ResolveTargetField(ImportWizardState* state, int group, const wchar_t* label, wchar_t* column)
{
    if (const ItemList* levels = LevelsOf(state, group))
        for (int i = 0; i < levels->Count; ++i)
            if (CzechEqualNoCase(LevelAt(levels, i)->Name, label)) {
                StringCchCopyW(column, 32, L"NAME");
                return i;
            }
    for (const BuiltIn& b : BuiltIns(group))
        if (CzechEqualNoCase(LoadText(state->hInstance, b.label).c_str(), label)) {
            StringCchCopyW(column, 32, b.field);
            return -1;
        }
    if (const ItemList* attrs = AttrsOf(state, group))
        for (int i = 0; i < attrs->Count; ++i)
            if (CzechEqualNoCase(AttrAt(attrs, i)->Caption, label)) {
                StringCchCopyW(column, 32, AttrAt(attrs, i)->FieldName);
                return -1;
            }
    return -2;
}

// Bits of TargetNeeds and the buttons, from the columns' mapping.
int ComputeTargetNeeds(ImportWizardState* state, HWND page)
{
    CPtrArray* columns = Columns(state);
    bool any = false, records = false, speciesName = false, locName = false, lon = false, lat = false;
    bool onDataLevel = false, aboveDataLevel = false;
    const ItemList* sysLevels = &state->Job->Model->Lists[MODEL_SYS_LEVELS];
    for (int i = 0; columns && i < columns->GetCount(); ++i) {
        SourceColumn* c = static_cast<SourceColumn*>(columns->GetItems()[i]);
        if (c->TargetGroup < COLGROUP_SYSTREE || c->TargetGroup > COLGROUP_LITERATURE)
            continue;
        any = true;
        records |= c->TargetGroup == COLGROUP_RECORDS;
        if (c->TargetGroup == COLGROUP_SPECIES && wcscmp(c->TargetColumn, L"NAME") == 0)
            speciesName = true;
        if (c->TargetGroup == COLGROUP_FEATURES) {
            locName |= wcscmp(c->TargetColumn, L"NAME") == 0;
            lon |= wcscmp(c->TargetColumn, L"LONGITUDE") == 0;
            lat |= wcscmp(c->TargetColumn, L"LATITUDE") == 0;
        }
        if (c->TargetGroup == COLGROUP_SYSTREE && c->LevelIndex >= 0 && c->LevelIndex < sysLevels->Count) {
            bool data = LevelAt(sysLevels, c->LevelIndex)->DataLevel != 0;
            bool last = c->LevelIndex == sysLevels->Count - 1;
            onDataLevel |= data;
            if (!data && (last || LevelAt(sysLevels, c->LevelIndex + 1)->DataLevel))
                aboveDataLevel = true;
        }
    }
    bool species = speciesName || (onDataLevel && aboveDataLevel);
    bool locality = locName && lon && lat;
    state->TargetNeeds = 0;
    if (records) {
        state->TargetNeeds = (species ? 0 : TARGET_NEEDS_SPECIES) | (locality ? 0 : TARGET_NEEDS_LOCALITY);
    }
    DWORD buttons = PSWIZB_BACK;
    if (any)
        buttons |= records && state->TargetNeeds ? PSWIZB_NEXT : PSWIZB_FINISH;
    SetWizardButtons(page, buttons);
    return state->TargetNeeds;
}

namespace {

void FillAttrCombo(ImportWizardState* state, HWND page, int group)
{
    HWND combo = GetDlgItem(page, IDC_IMP_COL_ATTR);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const BuiltIn& b : BuiltIns(group)) {
        LRESULT at = SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)LoadText(state->hInstance, b.label).c_str());
        SendMessageW(combo, CB_SETITEMDATA, (WPARAM)at, 0);
    }
    if (const ItemList* attrs = AttrsOf(state, group))
        for (int i = 0; i < attrs->Count; ++i) {
            LRESULT at = SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)AttrAt(attrs, i)->Caption);
            SendMessageW(combo, CB_SETITEMDATA, (WPARAM)at, (LPARAM)AttrAt(attrs, i));
        }
    HWND levels = GetDlgItem(page, IDC_IMP_COL_LEVEL);
    SendMessageW(levels, CB_RESETCONTENT, 0, 0);
    if (const ItemList* list = LevelsOf(state, group))
        for (int i = 0; i < list->Count; ++i)
            SendMessageW(levels, CB_ADDSTRING, 0, (LPARAM)LevelAt(list, i)->Name);
}

void SetText(HWND page, int id, const wchar_t* text) { SetDlgItemTextW(page, id, text ? text : L""); }

void SetVariantText(VARIANT* v, const std::wstring& text)
{
    VariantClear(v);
    if (text.empty())
        return;
    v->vt = VT_BSTR;
    v->bstrVal = SysAllocString(text.c_str());
}

// The column's limits and empty value in their fields: an existing attribute's as stored, else
// the column's own (a new attribute's as typed, a built-in field's as proposed).
void ShowBounds(HWND page, const SourceColumn* c, const AttrEntry* existing)
{
    bool authorList = c->TargetGroup == COLGROUP_LITERATURE && wcscmp(c->TargetColumn, L"FIRSTAUTHOR") == 0;
    const struct {
        int id;
        const VARIANT* own;
        const VARIANT* stored;
    } fields[] = {{IDC_IMP_COL_MIN, &c->MinValue, existing ? &existing->MinVal : nullptr},
                  {IDC_IMP_COL_MAX, &c->MaxValue, existing ? &existing->MaxVal : nullptr},
                  {IDC_IMP_COL_EMPTY, &c->EmptyValue, existing ? &existing->NullVal : nullptr}};
    for (const auto& f : fields) {
        wchar_t text[64] = L"";
        if (f.id == IDC_IMP_COL_MIN && authorList)
            StringCchCopyW(text, 64, c->ListSeparator);
        else
            VariantToText(f.stored ? f.stored : f.own, text, 64);
        SetText(page, f.id, text);
    }
}

// Shows which fields the column's type uses and enables the definition only for a new name.
void ShowDefinitionFields(ImportWizardState* state, HWND page, SourceColumn* c, bool isNew)
{
    int t = c->TargetType;
    bool limits = t >= 1 && t <= 3;
    bool authorList = c->TargetGroup == COLGROUP_LITERATURE && wcscmp(c->TargetColumn, L"FIRSTAUTHOR") == 0;
    for (int id : {IDC_IMP_COL_MIN_LABEL, IDC_IMP_COL_MIN})
        ShowWindow(GetDlgItem(page, id), limits || authorList ? SW_SHOW : SW_HIDE);
    for (int id : {IDC_IMP_COL_MAX_LABEL, IDC_IMP_COL_MAX, IDC_IMP_COL_EMPTY_LABEL, IDC_IMP_COL_EMPTY})
        ShowWindow(GetDlgItem(page, id), limits ? SW_SHOW : SW_HIDE);
    for (int id : {IDC_IMP_COL_SIZE_LABEL, IDC_IMP_COL_SIZE})
        ShowWindow(GetDlgItem(page, id), t == 4 || t == 7 ? SW_SHOW : SW_HIDE);
    ShowWindow(GetDlgItem(page, IDC_IMP_COL_KEY), c->TargetGroup == COLGROUP_RECORDS && t >= 1 && t <= 4 ? SW_SHOW : SW_HIDE);
    SetText(page, IDC_IMP_COL_MIN_LABEL, LoadText(state->hInstance, authorList ? 176 : 175).c_str());
    for (int id : {IDC_IMP_COL_TYPE, IDC_IMP_COL_SIZE, IDC_IMP_COL_KEY, IDC_IMP_COL_MIN, IDC_IMP_COL_MAX, IDC_IMP_COL_EMPTY})
        EnableWindow(GetDlgItem(page, id), isNew && c->TargetGroup > 0);
    if (authorList)
        EnableWindow(GetDlgItem(page, IDC_IMP_COL_MIN), TRUE);
}

// The attribute text of the selected column resolved again: built-in or existing field, or a
// new name; the status line and the definition shown follow.
void ResolveAttrText(ImportWizardState* state, HWND page, SourceColumn* c, bool preset)
{
    wchar_t text[64] = L"";
    GetDlgItemTextW(page, IDC_IMP_COL_ATTR, text, 64);
    StringCchCopyW(c->TargetName, 64, text);
    UINT status = 170;
    bool isNew = false;
    const AttrEntry* existing = nullptr;
    c->TargetColumn[0] = 0;
    if (c->TargetGroup > 0 && text[0]) {
        wchar_t column[32] = L"";
        int found = -2;
        const std::vector<BuiltIn>& builtIns = BuiltIns(c->TargetGroup);
        for (size_t i = 0; i < builtIns.size() && found == -2; ++i)
            if (CzechEqualNoCase(LoadText(state->hInstance, builtIns[i].label).c_str(), text)) {
                StringCchCopyW(column, 32, builtIns[i].field);
                found = (int)i;
                if (preset) {
                    c->TargetType = builtIns[i].type;
                    if (builtIns[i].size[0])
                        c->TargetSize = _wtoi(builtIns[i].size);
                    SetVariantText(&c->MinValue, builtIns[i].minimum);
                    SetVariantText(&c->EmptyValue, builtIns[i].empty);
                }
            }
        if (found == -2)
            if (const ItemList* attrs = AttrsOf(state, c->TargetGroup))
                for (int i = 0; i < attrs->Count && !existing; ++i)
                    if (CzechEqualNoCase(AttrAt(attrs, i)->Caption, text))
                        existing = AttrAt(attrs, i);
        if (existing) {
            StringCchCopyW(column, 32, existing->FieldName);
            c->TargetType = existing->Type;
            c->TargetSize = existing->Size;
            c->KeyFlag = existing->KeyFlag ? 1 : 0;
        }
        StringCchCopyW(c->TargetColumn, 32, column);
        isNew = !column[0];
        status = isNew ? 172 : 171;
    }
    SetText(page, IDC_IMP_COL_STATUS, LoadText(state->hInstance, status).c_str());
    ShowBounds(page, c, existing);
    SendDlgItemMessageW(page, IDC_IMP_COL_TYPE, CB_SETCURSEL, (WPARAM)c->TargetType, 0);
    SetDlgItemInt(page, IDC_IMP_COL_SIZE, (UINT)c->TargetSize, TRUE);
    CheckDlgButton(page, IDC_IMP_COL_KEY, c->KeyFlag ? BST_CHECKED : BST_UNCHECKED);
    ShowDefinitionFields(state, page, c, isNew);
}

void ShowColumn(ImportWizardState* state, HWND page, SourceColumn* c)
{
    if (!c)
        return;
    SendDlgItemMessageW(page, IDC_IMP_COL_GROUP, CB_SETCURSEL, (WPARAM)c->TargetGroup, 0);
    FillAttrCombo(state, page, c->TargetGroup);
    EnableWindow(GetDlgItem(page, IDC_IMP_COL_GROUP), TRUE);
    EnableWindow(GetDlgItem(page, IDC_IMP_COL_ATTR), c->TargetGroup > 0);
    bool tree = c->TargetGroup == COLGROUP_SYSTREE || c->TargetGroup == COLGROUP_LOCTREE;
    EnableWindow(GetDlgItem(page, IDC_IMP_COL_LEVEL), tree);
    SendDlgItemMessageW(page, IDC_IMP_COL_LEVEL, CB_SETCURSEL, tree ? (WPARAM)c->LevelIndex : (WPARAM)-1, 0);
    SetText(page, IDC_IMP_COL_ATTR, c->TargetName);
    ResolveAttrText(state, page, c, false);
}

void ClearColumnFields(HWND page)
{
    // The fields only: their labels stay as they are, or "Délka:" would show grey beside a length
    // that can be typed.
    for (int id : {IDC_IMP_COL_GROUP, IDC_IMP_COL_LEVEL, IDC_IMP_COL_ATTR, IDC_IMP_COL_TYPE, IDC_IMP_COL_KEY,
                   IDC_IMP_COL_SIZE, IDC_IMP_COL_MIN, IDC_IMP_COL_MAX, IDC_IMP_COL_EMPTY})
        EnableWindow(GetDlgItem(page, id), FALSE);
    SendDlgItemMessageW(page, IDC_IMP_COL_GROUP, CB_SETCURSEL, (WPARAM)-1, 0);
    SendDlgItemMessageW(page, IDC_IMP_COL_TYPE, CB_SETCURSEL, (WPARAM)-1, 0);
    SendDlgItemMessageW(page, IDC_IMP_COL_ATTR, CB_RESETCONTENT, 0, 0);
    SendDlgItemMessageW(page, IDC_IMP_COL_LEVEL, CB_RESETCONTENT, 0, 0);
    for (int id : {IDC_IMP_COL_ATTR, IDC_IMP_COL_SIZE, IDC_IMP_COL_MIN, IDC_IMP_COL_MAX, IDC_IMP_COL_EMPTY, IDC_IMP_COL_STATUS})
        SetText(page, id, L"");
}

// Each showing detects again: a column whose name matches a target item gets that mapping.
void DetectColumn(ImportWizardState* state, SourceColumn* c)
{
    static const int order[] = {COLGROUP_RECORDS, COLGROUP_LITERATURE, COLGROUP_FEATURES, COLGROUP_SPECIES,
                                COLGROUP_LOCTREE, COLGROUP_SYSTREE};
    for (int group : order) {
        wchar_t column[32] = L"";
        int result = ResolveTargetField(state, group, c->SourceName, column);
        if (result == -2)
            continue;
        c->TargetGroup = group;
        StringCchCopyW(c->TargetColumn, 32, column);
        if (group == COLGROUP_SYSTREE || group == COLGROUP_LOCTREE) {
            c->LevelIndex = result;
            StringCchCopyW(c->TargetName, 64, LoadText(state->hInstance, 120).c_str());
        }
        for (const BuiltIn& b : BuiltIns(group))
            if (wcscmp(b.field, column) == 0)
                c->TargetType = b.type;
        return;
    }
}

void ShowColumnsPage(ImportWizardState* state, HWND page)
{
    int g = state->GroupIndex;
    CPtrArray* columns = Columns(state);
    if (!columns || !state->Job->Source)
        return;
    state->Job->GroupKinds[g - 1] = state->Job->Source->FillGroup(g, columns, state->GroupContext);
    HWND list = GetDlgItem(page, IDC_IMP_COLUMNS);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < columns->GetCount(); ++i) {
        SourceColumn* c = static_cast<SourceColumn*>(columns->GetItems()[i]);
        DetectColumn(state, c);
        LRESULT at = SendMessageW(list, LB_ADDSTRING, 0, (LPARAM)c->SourceName);
        SendMessageW(list, LB_SETITEMDATA, (WPARAM)at, (LPARAM)c);
    }
    ClearColumnFields(page);
    ComputeTargetNeeds(state, page);
}

void InitColumnsPage(ImportWizardState* state, HWND page)
{
    HWND group = GetDlgItem(page, IDC_IMP_COL_GROUP);
    SendMessageW(group, CB_ADDSTRING, 0, (LPARAM)LoadText(state->hInstance, IDS_I_SKIP_CHOICE).c_str());
    for (UINT id = 3; id <= 8; ++id)
        SendMessageW(group, CB_ADDSTRING, 0, (LPARAM)LoadText(state->hInstance, id).c_str());
    HWND type = GetDlgItem(page, IDC_IMP_COL_TYPE);
    for (UINT id = 10; id <= 17; ++id)
        SendMessageW(type, CB_ADDSTRING, 0, (LPARAM)LoadText(state->hInstance, id).c_str());
    SendDlgItemMessageW(page, IDC_IMP_COL_ATTR, CB_LIMITTEXT, 64, 0);
    SetText(page, IDC_IMP_COL_STATUS, L"");
}

void OnColumnsCommand(ImportWizardState* state, HWND page, WORD id, WORD code)
{
    if (id == IDC_IMP_COLUMNS) {
        if (code == LBN_SELCHANGE)
            ShowColumn(state, page, Selected(page));
        return;
    }
    SourceColumn* c = Selected(page);
    if (!c)
        return;
    switch (id) {
    case IDC_IMP_COL_GROUP:
        if (code != CBN_SELCHANGE)
            return;
        c->TargetGroup = (int)SendDlgItemMessageW(page, IDC_IMP_COL_GROUP, CB_GETCURSEL, 0, 0);
        ShowColumn(state, page, c);
        break;
    case IDC_IMP_COL_LEVEL:
        if (code == CBN_SELCHANGE)
            c->LevelIndex = (int)SendDlgItemMessageW(page, IDC_IMP_COL_LEVEL, CB_GETCURSEL, 0, 0);
        break;
    case IDC_IMP_COL_ATTR:
        if (code == CBN_SELCHANGE) {
            HWND combo = GetDlgItem(page, IDC_IMP_COL_ATTR);
            LRESULT sel = SendMessageW(combo, CB_GETCURSEL, 0, 0);
            wchar_t text[64] = L"";
            if (sel >= 0 && SendMessageW(combo, CB_GETLBTEXTLEN, (WPARAM)sel, 0) < 64)
                SendMessageW(combo, CB_GETLBTEXT, (WPARAM)sel, (LPARAM)text);
            SetWindowTextW(combo, text);
            ResolveAttrText(state, page, c, true);
        } else if (code == CBN_EDITCHANGE) {
            ResolveAttrText(state, page, c, true);
        }
        break;
    case IDC_IMP_COL_TYPE:
        if (code == CBN_SELCHANGE) {
            c->TargetType = (int)SendDlgItemMessageW(page, IDC_IMP_COL_TYPE, CB_GETCURSEL, 0, 0);
            ShowDefinitionFields(state, page, c, c->TargetColumn[0] == 0);
        }
        break;
    case IDC_IMP_COL_KEY:
        c->KeyFlag = IsDlgButtonChecked(page, IDC_IMP_COL_KEY) == BST_CHECKED ? 1 : 0;
        break;
    case IDC_IMP_COL_SIZE: {
        int size = 0;
        // A length below 1 would reach the column's definition and the text cut: refused.
        if (code == EN_CHANGE && GetWindowInt(GetDlgItem(page, IDC_IMP_COL_SIZE), 16, &size) && size > 0)
            c->TargetSize = size;
        break;
    }
    case IDC_IMP_COL_MIN:
    case IDC_IMP_COL_MAX:
    case IDC_IMP_COL_EMPTY: {
        if (code != EN_CHANGE)
            return;
        wchar_t text[64] = L"";
        GetDlgItemTextW(page, id, text, 64);
        if (id == IDC_IMP_COL_MIN && c->TargetGroup == COLGROUP_LITERATURE && wcscmp(c->TargetColumn, L"FIRSTAUTHOR") == 0)
            StringCchCopyW(c->ListSeparator, 4, text);
        else if (!c->TargetColumn[0])  // typed for a new attribute; any other's are only shown
            SetVariantText(id == IDC_IMP_COL_MIN ? &c->MinValue : id == IDC_IMP_COL_MAX ? &c->MaxValue : &c->EmptyValue, text);
        break;
    }
    default:
        return;
    }
    ComputeTargetNeeds(state, page);
}

}  // namespace

INT_PTR CALLBACK ColumnsPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        InitColumnsPage(InitWizardPage(page, lParam), page);
        return TRUE;
    }
    ImportWizardState* state = WizardStateOf(page);
    if (!state)
        return FALSE;
    if (msg == WM_COMMAND) {
        OnColumnsCommand(state, page, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    }
    if (msg != WM_NOTIFY || reinterpret_cast<NMHDR*>(lParam)->hwndFrom != GetParent(page))
        return FALSE;
    switch (reinterpret_cast<NMHDR*>(lParam)->code) {
    case PSN_SETACTIVE:
        ShowColumnsPage(state, page);
        return AnswerPage(page, 0);
    case PSN_WIZNEXT:
        return WizardNext(state, page);
    case PSN_WIZBACK:
        return WizardBack(state, page);
    case PSN_WIZFINISH:
        state->Finished = true;
        return AnswerPage(page, FALSE);
    }
    return FALSE;
}
