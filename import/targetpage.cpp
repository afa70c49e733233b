// The target item page: when a flat source's records bring no species or no complete locality of
// their own, the user picks (level by level) or types the species, then the locality, that those
// records are attached to. A chosen node becomes the job's fallback id; typed names stay in the
// job (TypedTarget) until the run makes them inside the import's transaction.
#include <strsafe.h>

#include <cmath>
#include <string>
#include <unordered_map>
#include <vector>

#include "controls/plexa.h"
#include "core/ctlfill.h"
#include "core/itemsave_rows.h"
#include "core/msgbox.h"
#include "core/rsutil.h"
#include "import/impwizard.h"
#include "import/targettables.h"
#include "resources/tarnix/resource.h"
#include "structure/dbcheck.h"
#include "structure/schemadb.h"
#include "structure/structmodel.h"

using namespace itemsave;

namespace {

const int kSpeciesControls[] = {IDC_IMP_AUTHOR_LABEL, IDC_IMP_AUTHOR, IDC_IMP_YEAR_LABEL, IDC_IMP_YEAR, IDC_IMP_PARENTHESES};
const int kLocalityControls[] = {IDC_IMP_LON_LABEL, IDC_IMP_LON_DEG, IDC_IMP_LON_MIN, IDC_IMP_LON_SEC,
                                 IDC_IMP_LAT_LABEL, IDC_IMP_LAT_DEG, IDC_IMP_LAT_MIN, IDC_IMP_LAT_SEC};

// The node ids offered in each row, in list order (the page is shown by one wizard at a time).
std::vector<std::vector<int>> g_rowIds;
std::vector<std::vector<std::wstring>> g_rowNames;
// The parent of every node of the tree shown, read when the page shows.
std::unordered_map<int, int> g_parentOf;

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
    g_parentOf.clear();
    zdata::Fields* fields = nullptr;
    if (!state->TreeRs->IsEOF() && SUCCEEDED(state->TreeRs->get_Fields(&fields))) {
        for (state->TreeRs->MoveFirst(); !state->TreeRs->IsEOF(); state->TreeRs->MoveNext())
            g_parentOf[GetInt(fields, 0)] = GetInt(fields, 1);
        fields->Release();
    }
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

// The node a row's items hang under: the node of the nearest row above that holds a value (rows
// left empty are skipped), 0 (the top) when there is none, -1 when that row names a new node.
int ParentOfRow(HWND page, int row)
{
    for (int above = row - 1; above >= 0; --above) {
        std::wstring text;
        int node = RowNode(page, above, &text);
        if (node >= 0 || !text.empty())
            return node;
    }
    return 0;
}

// Whether the node hangs, at any depth, under the ancestor (0: the top, under which all hang).
bool HangsUnder(int node, int ancestor)
{
    const int kMaxDepth = 256;  // a damaged tree whose parents run in a circle ends too
    for (int depth = 0; node > 0 && depth < kMaxDepth; ++depth) {
        auto parent = g_parentOf.find(node);
        node = parent == g_parentOf.end() ? 0 : parent->second;
        if (node == ancestor)
            return true;
    }
    return ancestor == 0;
}

// The nodes of a row's level under its parent, at any depth (the levels between may have been
// passed over); none under a new node.
void ReadRowChoices(ImportWizardState* state, int row, int parentId, std::vector<std::wstring>& names,
                    std::vector<int>& ids)
{
    if (parentId < 0)
        return;
    wchar_t filter[64];
    StringCchPrintfW(filter, 64, Species(state) ? L"SYSLEVEL = %d" : L"LOCLEVEL = %d",
                     LevelAt(Levels(state), row)->OrigLevelId);
    state->TreeRs->put_Filter(filter);
    zdata::Fields* fields = nullptr;
    if (state->TreeRs->IsEOF() || FAILED(state->TreeRs->get_Fields(&fields)))
        return;
    long nameColumn = Species(state) ? 4 : 3;
    for (state->TreeRs->MoveFirst(); !state->TreeRs->IsEOF(); state->TreeRs->MoveNext()) {
        int id = GetInt(fields, 0);
        if (!HangsUnder(id, parentId))
            continue;
        wchar_t name[64] = L"";
        GetText(fields, nameColumn, name, 64);
        names.push_back(name);
        ids.push_back(id);
    }
    fields->Release();
}

// The rows from `from` down get the choices under their new parents. What was entered in them
// stays while it still fits: a typed name always (it is made under whatever parent is above), a
// node chosen before only when the new parent has one of that name.
void RefreshRows(ImportWizardState* state, HWND page, int from)
{
    for (int row = from; row < RowCount(page); ++row) {
        std::wstring text;
        bool chosen = RowNode(page, row, &text) >= 0;
        std::vector<std::wstring> names;
        std::vector<int> ids;
        ReadRowChoices(state, row, ParentOfRow(page, row), names, ids);
        SetRowChoices(page, row, names, ids);
        if (chosen && RowNode(page, row, nullptr) < 0) {
            VARIANT empty;
            VariantInit(&empty);
            SendMessageW(Box(page), PBXM_SETVALUE, PBX_ITEM((WORD)row), (LPARAM)&empty);
        }
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
    RefreshRows(state, page, 0);
    // A second visit shows the node chosen before, with its ancestors, or the rows typed before.
    int chosen = Species(state) ? state->Job->TargetSysId : state->Job->TargetLocId;
    const TypedTarget& typed = Species(state) ? state->Job->NewSpecies : state->Job->NewLocality;
    std::vector<int> path((size_t)levels->Count, -1);
    std::vector<std::wstring> names((size_t)levels->Count);
    if (chosen > 0)
        FillAncestorPath(chosen, levels, state->TreeRs, path.data());
    for (const TypedTarget::Row& r : typed.Rows) {
        int row = LevelIndex(levels, r.Level);
        if (row >= 0) {
            path[(size_t)row] = r.Node;
            names[(size_t)row] = r.Name;
        }
    }
    if (chosen > 0 || !typed.Rows.empty()) {
        for (int row = 0; row < levels->Count; ++row) {
            const std::vector<int>& ids = g_rowIds[(size_t)row];
            for (size_t k = 0; k < ids.size() && path[(size_t)row] > 0; ++k)
                if (ids[k] == path[(size_t)row])
                    SendMessageW(box, PBXM_SETLISTINDEX, PBX_ITEM((WORD)row), (LPARAM)k);
            if (path[(size_t)row] <= 0 && !names[(size_t)row].empty()) {
                VARIANT name;
                name.vt = VT_BSTR;
                name.bstrVal = SysAllocString(names[(size_t)row].c_str());
                SendMessageW(box, PBXM_SETVALUE, PBX_ITEM((WORD)row), (LPARAM)&name);
                VariantClear(&name);
            }
            RefreshRows(state, page, row + 1);
        }
    }
    UpdateTargetFields(state, page);
}

// A string of the program with its one "%s" filled in.
std::wstring PageText(ImportWizardState* state, UINT id, const wchar_t* value)
{
    wchar_t format[512] = L"", text[1024] = L"";
    LoadStringW(state->hInstance, id, format, 512);
    StringCchPrintfW(text, 1024, format, value);
    return text;
}

void ShowPageError(ImportWizardState* state, HWND page, const std::wstring& text)
{
    wchar_t caption[64] = L"";
    LoadStringW(state->hInstance, IDS_T_ERROR_CAPTION, caption, 64);
    ZorMessageBox(page, text.c_str(), caption, MB_ICONERROR);
}

// The names of the levels whose items carry records, for the message that asks for one.
std::wstring DataLevelNames(ImportWizardState* state)
{
    std::wstring names;
    const ItemList* levels = Levels(state);
    for (int i = 0; i < levels->Count; ++i)
        if (LevelAt(levels, i)->DataLevel)
            names += (names.empty() ? L"" : L", ") + std::wstring(LevelAt(levels, i)->Name);
    return names;
}

bool ApplySysTarget(ImportWizardState* state, HWND page, bool finishing)
{
    int node = -1;
    std::wstring text;
    int row = DecidingRow(state, page, &node, &text);
    if (row < 0) {
        if (finishing) {
            UINT id = Species(state) ? IDS_I_TARGET_SPECIES_MISSING : IDS_I_TARGET_LOCALITY_MISSING;
            ShowPageError(state, page, PageText(state, id, DataLevelNames(state).c_str()));
        }
        return !finishing;
    }
    int* target = Species(state) ? &state->Job->TargetSysId : &state->Job->TargetLocId;
    TypedTarget* typed = Species(state) ? &state->Job->NewSpecies : &state->Job->NewLocality;
    if (node >= 0) {
        *target = node;
        *typed = TypedTarget();
        return true;
    }
    TypedTarget made;
    if (!Species(state) && (!GetDmsEdits(page, IDC_IMP_LON_DEG, &made.Longitude) ||
                            !GetDmsEdits(page, IDC_IMP_LAT_DEG, &made.Latitude))) {
        ZorMessageBoxRes(page, state->hInstance, IDS_I_NO_COORDINATES, IDS_T_ERROR_CAPTION, MB_ICONERROR);
        return false;
    }
    // The rows down to the deciding one that hold a value (a level left empty is passed over).
    const ItemList* levels = Levels(state);
    for (int r = 0; r <= row; ++r) {
        std::wstring name;
        int id = RowNode(page, r, &name);
        if (id >= 0 || !name.empty())
            made.Rows.push_back({LevelAt(levels, r)->OrigLevelId, id, name});
    }
    if (Species(state)) {
        for (int i = 0; i < levels->Count; ++i)
            if (LevelAt(levels, i)->DataLevel)
                made.NameLevels.push_back(LevelAt(levels, i)->OrigLevelId);
        wchar_t author[65] = L"";
        GetDlgItemTextW(page, IDC_IMP_AUTHOR, author, 65);
        made.Author = author;
        made.Parentheses = IsDlgButtonChecked(page, IDC_IMP_PARENTHESES) == BST_CHECKED;
        int year = 0;
        if (GetWindowInt(GetDlgItem(page, IDC_IMP_YEAR), 16, &year))
            made.Year = year;
    }
    *target = -1;
    *typed = std::move(made);
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
        if (row >= 0 && row < RowCount(page))
            RefreshRows(state, page, row + 1);
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
