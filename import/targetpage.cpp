// The target item page: when a flat source's records bring no species or no complete locality of
// their own, the user picks (level by level) or types the species, then the locality, that those
// records are attached to. Typed names are created in the target at once, when the page is left;
// nodes made so stay also when the wizard is cancelled afterwards.
#include <strsafe.h>

#include <cmath>
#include <string>
#include <vector>

#include "controls/plexa.h"
#include "core/composednames.h"
#include "core/ctlfill.h"
#include "core/itemsave_rows.h"
#include "core/msgbox.h"
#include "core/rsutil.h"
#include "import/impwizard.h"
#include "import/targettables.h"
#include "resources/tarnix/resource.h"
#include "utilities/schemadb.h"
#include "utilities/structmodel.h"

using namespace itemsave;

namespace {

const int kSpeciesControls[] = {IDC_IMP_AUTHOR_LABEL, IDC_IMP_AUTHOR, IDC_IMP_YEAR_LABEL, IDC_IMP_YEAR, IDC_IMP_PARENTHESES};
const int kLocalityControls[] = {IDC_IMP_LON_LABEL, IDC_IMP_LON_DEG, IDC_IMP_LON_MIN, IDC_IMP_LON_SEC,
                                 IDC_IMP_LAT_LABEL, IDC_IMP_LAT_DEG, IDC_IMP_LAT_MIN, IDC_IMP_LAT_SEC};

// The node ids offered in each row, in list order (the page is shown by one wizard at a time).
std::vector<std::vector<int>> g_rowIds;
std::vector<std::vector<std::wstring>> g_rowNames;

bool Species(ImportWizardState* state) { return state->TargetKind == 1; }

const ItemList* Levels(ImportWizardState* state)
{
    return &state->Job->Model->Lists[Species(state) ? MODEL_SYS_LEVELS : MODEL_LOC_LEVELS];
}

HWND Box(HWND page) { return GetDlgItem(page, IDC_IMP_TARGET_TREE); }

zdata::Recordset* OpenRs(zdata::Connection* connection, const wchar_t* sql)
{
    zdata::Recordset* rs = zdata::Recordset::Create();
    rs->put_CursorLocation(adUseClient);
    rs->Open(sql, connection, adOpenDynamic, adLockOptimistic, adCmdText);
    return rs;
}

void OpenTargetRecordsets(ImportWizardState* state)
{
    zdata::Connection* connection = state->Job->Db->GetConnection();
    CloseAndRelease(state->TreeRs);
    CloseAndRelease(state->ItemRs);
    bool species = Species(state);
    state->TreeRs = OpenRs(connection, species ? L"SELECT ID, PARENT, SYSLEVEL, SYSPOS, NAME FROM SYSTREE ORDER BY PARENT, SYSPOS"
                                               : L"SELECT ID, PARENT, LOCLEVEL, NAME FROM LOCTREE ORDER BY PARENT, NAME");
    state->ItemRs = OpenRs(connection, species ? L"SELECT * FROM SPECIES" : L"SELECT * FROM FEATURES");
    StringCchCopyW(state->TreeFilter, 64, species ? L"PARENT = %d AND SYSLEVEL = %d" : L"PARENT = %d AND LOCLEVEL = %d");
    StringCchCopyW(state->ItemFilter, 128, species ? L"SYSID = %d" : L"LOCID = %d");
}

int RowCount(HWND page) { return (int)g_rowIds.size(); }

// The chosen node of a row (-1 none or typed text) and its text.
int RowNode(HWND page, int row, std::wstring* text)
{
    WPARAM at = PBX_ITEM((WORD)row);
    VARIANT value;
    VariantInit(&value);
    SendMessageW(Box(page), PBXM_GETVALUE, at, (LPARAM)&value);
    if (text)
        *text = value.vt == VT_BSTR && value.bstrVal ? value.bstrVal : L"";
    VariantClear(&value);
    int index = (int)SendMessageW(Box(page), PBXM_GETLISTINDEX, at, 0);
    return index >= 0 && index < (int)g_rowIds[(size_t)row].size() ? g_rowIds[(size_t)row][(size_t)index] : -1;
}

void SetRowChoices(HWND page, int row, const std::vector<std::wstring>& names, std::vector<int> ids)
{
    std::wstring block;
    for (const std::wstring& n : names)
        block += n + L'\0';
    block += L'\0';
    WPARAM at = PBX_ITEM((WORD)row);
    SendMessageW(Box(page), PBXM_SETLIST, at, (LPARAM)block.c_str());
    g_rowIds[(size_t)row] = std::move(ids);
    g_rowNames[(size_t)row] = names;
}

// A node made from a row's typed text becomes one of its choices, chosen: leaving the page again
// does not make it twice.
void ChooseCreated(HWND page, int row, const std::wstring& name, int id)
{
    std::vector<std::wstring> names = g_rowNames[(size_t)row];
    std::vector<int> ids = g_rowIds[(size_t)row];
    names.push_back(name);
    ids.push_back(id);
    SetRowChoices(page, row, names, ids);
    SendMessageW(Box(page), PBXM_SETLISTINDEX, PBX_ITEM((WORD)row), (LPARAM)(ids.size() - 1));
}

// The row below a node: the nodes under it on the next level (none when no node is chosen).
void FillTargetRow(ImportWizardState* state, HWND page, int row, int parentId)
{
    if (row >= RowCount(page))
        return;
    std::vector<std::wstring> names;
    std::vector<int> ids;
    if (parentId >= 0) {
        wchar_t filter[96];
        StringCchPrintfW(filter, 96, state->TreeFilter, parentId, LevelAt(Levels(state), row)->OrigLevelId);
        state->TreeRs->put_Filter(filter);
        zdata::Fields* fields = nullptr;
        if (!state->TreeRs->IsEOF() && SUCCEEDED(state->TreeRs->get_Fields(&fields))) {
            long nameColumn = Species(state) ? 4 : 3;
            for (state->TreeRs->MoveFirst(); !state->TreeRs->IsEOF(); state->TreeRs->MoveNext()) {
                wchar_t name[64] = L"";
                GetText(fields, nameColumn, name, 64);
                names.push_back(name);
                ids.push_back(GetInt(fields, 0));
            }
            fields->Release();
        }
    }
    SetRowChoices(page, row, names, ids);
    VARIANT empty;
    VariantInit(&empty);
    SendMessageW(Box(page), PBXM_SETVALUE, PBX_ITEM((WORD)row), (LPARAM)&empty);
    for (int below = row + 1; below < RowCount(page); ++below) {
        SetRowChoices(page, below, {}, {});
        SendMessageW(Box(page), PBXM_SETVALUE, PBX_ITEM((WORD)below), (LPARAM)&empty);
    }
}

// The row that decides: from the last up, the first data-level row with a value.
int DecidingRow(ImportWizardState* state, HWND page, int* node, std::wstring* text)
{
    const ItemList* levels = Levels(state);
    for (int row = RowCount(page) - 1; row >= 0; --row) {
        if (!LevelAt(levels, row)->DataLevel)
            continue;
        int id = RowNode(page, row, text);
        if (id >= 0 || !text->empty()) {
            *node = id;
            return row;
        }
    }
    return -1;
}

void EnableItemFields(ImportWizardState* state, HWND page, bool enable)
{
    for (int id : kSpeciesControls)
        EnableWindow(GetDlgItem(page, id), enable && Species(state));
    for (int id : kLocalityControls)
        EnableWindow(GetDlgItem(page, id), enable && !Species(state));
}

void UpdateTargetFields(ImportWizardState* state, HWND page)
{
    int node = -1;
    std::wstring text;
    int row = DecidingRow(state, page, &node, &text);
    DWORD buttons = PSWIZB_BACK;
    if (row >= 0)
        buttons |= state->LastTargetPage ? PSWIZB_FINISH : PSWIZB_NEXT;
    SetWizardButtons(page, buttons);
    EnableItemFields(state, page, row >= 0 && node < 0);
    if (node < 0)
        return;
    wchar_t filter[64];
    StringCchPrintfW(filter, 64, state->ItemFilter, node);
    state->ItemRs->put_Filter(filter);
    zdata::Fields* fields = nullptr;
    if (state->ItemRs->IsEOF() || FAILED(state->ItemRs->get_Fields(&fields)))
        return;
    if (Species(state)) {
        wchar_t author[64] = L"";
        GetText(fields, 3, author, 64);
        SetDlgItemTextW(page, IDC_IMP_AUTHOR, author);
        CheckDlgButton(page, IDC_IMP_PARENTHESES, GetInt(fields, 4) ? BST_CHECKED : BST_UNCHECKED);
        int year = GetInt(fields, 5);
        SetDlgItemTextW(page, IDC_IMP_YEAR, year > 0 ? std::to_wstring(year).c_str() : L"");
    } else {
        VARIANT lon, lat;
        GetValue(fields, 3, &lon);
        GetValue(fields, 4, &lat);
        VariantChangeType(&lon, &lon, 0, VT_R8);
        VariantChangeType(&lat, &lat, 0, VT_R8);
        SetDmsEdits(page, IDC_IMP_LON_DEG, lon.vt == VT_R8 ? lon.dblVal : 0, lon.vt != VT_R8);
        SetDmsEdits(page, IDC_IMP_LAT_DEG, lat.vt == VT_R8 ? lat.dblVal : 0, lat.vt != VT_R8);
        VariantClear(&lon);
        VariantClear(&lat);
    }
    fields->Release();
}

void ShowTargetPage(ImportWizardState* state, HWND page)
{
    int n = state->Job->Source ? state->Job->Source->GetGroupCount() : 0;
    bool secondVisit = state->GroupIndex > n + 1;
    if (secondVisit || !(state->TargetNeeds & TARGET_NEEDS_SPECIES)) {
        state->TargetKind = 2;
        state->LastTargetPage = true;
    } else {
        state->TargetKind = 1;
        state->LastTargetPage = !(state->TargetNeeds & TARGET_NEEDS_LOCALITY);
    }
    for (int id : kSpeciesControls)
        ShowWindow(GetDlgItem(page, id), Species(state) ? SW_SHOW : SW_HIDE);
    for (int id : kLocalityControls)
        ShowWindow(GetDlgItem(page, id), Species(state) ? SW_HIDE : SW_SHOW);
    wchar_t text[256] = L"";
    LoadStringW(state->hInstance, Species(state) ? 180 : 181, text, 256);
    SetDlgItemTextW(page, IDC_IMP_TARGET_TEXT, text);
    OpenTargetRecordsets(state);
    HWND box = Box(page);
    SendMessageW(box, PBXM_RESETCONTENT, 0, 0);
    const ItemList* levels = Levels(state);
    g_rowIds.assign((size_t)levels->Count, {});
    g_rowNames.assign((size_t)levels->Count, {});
    for (int i = 0; i < levels->Count; ++i) {
        LRESULT row = SendMessageW(box, PBXM_ADDITEM, MAKEWPARAM(0xFFFF, PBT_COMBO), (LPARAM)LevelAt(levels, i)->Name);
        SendMessageW(box, PBXM_SETITEMDATA, PBX_ITEM((WORD)row), (LPARAM)LevelAt(levels, i));
    }
    FillTargetRow(state, page, 0, 0);
    // A second visit shows the node chosen before, with its ancestors.
    int chosen = Species(state) ? state->Job->TargetSysId : state->Job->TargetLocId;
    if (chosen > 0) {
        std::vector<int> path((size_t)levels->Count, -1);
        FillAncestorPath(chosen, levels, state->TreeRs, path.data());
        for (int row = 0; row < levels->Count && path[(size_t)row] > 0; ++row) {
            const std::vector<int>& ids = g_rowIds[(size_t)row];
            for (size_t k = 0; k < ids.size(); ++k)
                if (ids[k] == path[(size_t)row])
                    SendMessageW(box, PBXM_SETLISTINDEX, PBX_ITEM((WORD)row), (LPARAM)k);
            FillTargetRow(state, page, row + 1, path[(size_t)row]);
        }
    }
    UpdateTargetFields(state, page);
}

// Creates a typed node under parent at the row's level; its id, -1 when refused.
int CreateTreeNode(ImportWizardState* state, HWND page, int row, int parent, const std::wstring& name)
{
    const wchar_t* table = Species(state) ? L"SYSTREE" : L"LOCTREE";
    int id = QueryMaxTreeId(state->Job->Db->GetConnection(), table) + 1;
    int level = LevelAt(Levels(state), row)->OrigLevelId;
    int position = 1;
    wchar_t filter[96];
    StringCchPrintfW(filter, 96, state->TreeFilter, parent, level);
    state->TreeRs->put_Filter(filter);
    zdata::Fields* fields = nullptr;
    if (Species(state) && !state->TreeRs->IsEOF()) {
        state->TreeRs->MoveLast();
        if (SUCCEEDED(state->TreeRs->get_Fields(&fields))) {
            position = GetInt(fields, 3) + 1;
            fields->Release();
            fields = nullptr;
        }
    }
    if (id < 1 || FAILED(state->TreeRs->AddNew()) || FAILED(state->TreeRs->get_Fields(&fields)))
        return -1;
    PutInt(fields, 0, id);
    PutInt(fields, 1, parent);
    PutInt(fields, 2, level);
    if (Species(state)) {
        PutInt(fields, 3, position);
        PutText(fields, 4, name.c_str(), false);
    } else {
        PutText(fields, 3, name.c_str(), false);
    }
    fields->Release();
    if (FAILED(state->TreeRs->Update())) {
        state->TreeRs->CancelUpdate();
        state->Job->Db->ShowErrors(page, E_FAIL);
        return -1;
    }
    ChooseCreated(page, row, name, id);
    return id;
}

int CreateTargetItem(ImportWizardState* state, HWND page)
{
    int parent = 0;
    int rows = RowCount(page);
    for (int row = 0; row < rows; ++row) {
        std::wstring text;
        int node = RowNode(page, row, &text);
        if (node < 0 && text.empty())
            break;
        if (node < 0) {
            node = CreateTreeNode(state, page, row, parent, text);
            if (node < 0)
                return -1;
        }
        parent = node;
    }
    return parent;
}

bool ApplySysTarget(ImportWizardState* state, HWND page, bool finishing)
{
    int node = -1;
    std::wstring text;
    int row = DecidingRow(state, page, &node, &text);
    if (row < 0) {
        if (finishing)
            ZorMessageBoxRes(page, state->hInstance, IDS_I_UNKNOWN_ERROR, IDS_T_ERROR_CAPTION, MB_ICONERROR);
        return !finishing;
    }
    int* target = Species(state) ? &state->Job->TargetSysId : &state->Job->TargetLocId;
    if (node >= 0) {
        *target = node;
        return true;
    }
    double lon = 0, lat = 0;
    if (!Species(state) && (!GetDmsEdits(page, IDC_IMP_LON_DEG, &lon) || !GetDmsEdits(page, IDC_IMP_LAT_DEG, &lat))) {
        ZorMessageBoxRes(page, state->hInstance, IDS_I_NO_COORDINATES, IDS_T_ERROR_CAPTION, MB_ICONERROR);
        return false;
    }
    int created = CreateTargetItem(state, page);
    if (created <= 0)
        return !finishing;
    *target = created;
    // The item's own row (species or locality).
    zdata::Fields* fields = nullptr;
    if (FAILED(state->ItemRs->AddNew()) || FAILED(state->ItemRs->get_Fields(&fields)))
        return !finishing;
    bool ok;
    if (Species(state)) {
        wchar_t name[64] = L"";
        const ItemList* levels = Levels(state);
        std::vector<int> nameLevels;
        for (int i = 0; i < levels->Count; ++i)
            if (LevelAt(levels, i)->DataLevel)
                nameLevels.push_back(LevelAt(levels, i)->OrigLevelId);
        zdata::Recordset* tree = OpenRs(state->Job->Db->GetConnection(), L"SELECT * FROM SYSTREE");
        ComposeTaxonName(created, tree, nameLevels.data(), (int)nameLevels.size(), name);
        CloseAndRelease(tree);
        wchar_t author[65] = L"";
        GetDlgItemTextW(page, IDC_IMP_AUTHOR, author, 65);
        PutText(fields, 0, name, false);
        PutInt(fields, 1, created);
        PutText(fields, 3, author, true);
        PutBool(fields, 4, IsDlgButtonChecked(page, IDC_IMP_PARENTHESES) == BST_CHECKED);
        int year = 0;
        if (GetWindowInt(GetDlgItem(page, IDC_IMP_YEAR), 16, &year))
            PutInt(fields, 5, year);
        ok = SUCCEEDED(state->ItemRs->Update());
    } else {
        PutInt(fields, 0, created);
        VARIANT v;
        v.vt = VT_R8;
        v.dblVal = lon;
        PutValue(fields, 3, v);
        v.dblVal = lat;
        PutValue(fields, 4, v);
        ok = SUCCEEDED(state->ItemRs->Update());
        if (ok) {
            wchar_t label[64] = L"";
            zdata::Recordset* tree = OpenRs(state->Job->Db->GetConnection(), L"SELECT * FROM LOCTREE");
            FormatLocalityLabel(created, tree, state->ItemRs, label);
            CloseAndRelease(tree);
            zdata::Fields* item = nullptr;
            if (!state->ItemRs->IsEOF() && SUCCEEDED(state->ItemRs->get_Fields(&item))) {
                PutText(item, 1, label, false);
                ok = SUCCEEDED(state->ItemRs->Update());
                item->Release();
            }
        }
    }
    fields->Release();
    if (!ok) {
        state->ItemRs->CancelUpdate();
        state->Job->Db->ShowErrors(page, E_FAIL);
        return !finishing;
    }
    return true;
}

}  // namespace

INT_PTR CALLBACK TargetPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        ImportWizardState* state = InitWizardPage(page, lParam);
        SetPropertyBoxYesNo(Box(page), state->hInstance);
        zdata::Recordset* authors = OpenRs(state->Job->Db->GetConnection(), L"SELECT NAME FROM SYSAUTHORS ORDER BY NAME");
        zdata::Fields* fields = nullptr;
        if (!authors->IsEOF() && SUCCEEDED(authors->get_Fields(&fields))) {
            for (; !authors->IsEOF(); authors->MoveNext()) {
                wchar_t name[64] = L"";
                GetText(fields, 0, name, 64);
                SendDlgItemMessageW(page, IDC_IMP_AUTHOR, CB_ADDSTRING, 0, (LPARAM)name);
            }
            fields->Release();
        }
        CloseAndRelease(authors);
        return TRUE;
    }
    ImportWizardState* state = WizardStateOf(page);
    if (!state || msg != WM_NOTIFY)
        return FALSE;
    NMHDR* hdr = reinterpret_cast<NMHDR*>(lParam);
    if (hdr->idFrom == IDC_IMP_TARGET_TREE && (hdr->code == PBXN_SELCHANGE || hdr->code == PBXN_EDITCHANGE)) {
        int row = (int)reinterpret_cast<PropBoxNotify*>(lParam)->item;
        if (row >= 0 && row < RowCount(page)) {
            int node = RowNode(page, row, nullptr);
            FillTargetRow(state, page, row + 1, node);
        }
        UpdateTargetFields(state, page);
        return TRUE;
    }
    if (hdr->hwndFrom != GetParent(page))
        return FALSE;
    switch (hdr->code) {
    case PSN_SETACTIVE:
        ShowTargetPage(state, page);
        return AnswerPage(page, 0);
    case PSN_WIZFINISH:
        if (!ApplySysTarget(state, page, true))
            return AnswerPage(page, TRUE);
        state->Finished = true;
        return AnswerPage(page, FALSE);
    case PSN_WIZNEXT:
        // Leaving applies the choice (typed names are made once); missing coordinates hold.
        if (!ApplySysTarget(state, page, false))
            return AnswerPage(page, -1);
        return WizardNext(state, page);
    case PSN_WIZBACK:
        ApplySysTarget(state, page, false);
        return WizardBack(state, page);
    }
    return FALSE;
}
