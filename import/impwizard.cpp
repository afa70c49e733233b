#include "import/impwizard.h"

#include <commctrl.h>
#include <strsafe.h>

#include "common/filechooser.h"
#include "core/msgboxtext.h"
#include "resources/tarnix/resource.h"

namespace {

const wchar_t* const kTemplates[IMPWIZ_PAGE_COUNT] = {L"IMPWIZWELCOMPAGE", L"IMPWIZMAPFLDS", L"IMPWIZTBLLIST",
                                                      L"IMPWIZTXTSET", L"IMPWIZGENATTRS", L"IMPWIZSYSTARGET"};
const DLGPROC kProcs[IMPWIZ_PAGE_COUNT] = {WelcomePageProc, MappingPageProc, TableListPageProc,
                                           TextSettingsPageProc, ColumnsPageProc, TargetPageProc};

// Posted: the sheet changes pages only once the page's notification has been answered.
void ShowPage(HWND page, int index)
{
    if (index >= 0)
        PostMessageW(GetParent(page), PSM_SETCURSEL, (WPARAM)index, 0);
}

// ---- the welcome page ----

void SetStatus(HWND page, UINT id)
{
    wchar_t text[256] = L"";
    ImportWizardState* state = WizardStateOf(page);
    LoadStringW(state->hInstance, id, text, 256);
    SetDlgItemTextW(page, IDC_IMP_STATUS, text);
}

std::wstring PathText(HWND page)
{
    wchar_t path[MAX_PATH + 1] = L"";
    GetDlgItemTextW(page, IDC_IMP_PATH, path, MAX_PATH + 1);
    return path;
}

// Next is offered while a source is chosen and a path stands; the path itself is checked when
// the user leaves the field, browses, changes the type or presses Next.
void UpdateWelcomeButtons(HWND page)
{
    ImportWizardState* state = WizardStateOf(page);
    bool ready = state->Job->Source && !PathText(page).empty();
    SetWizardButtons(page, ready ? PSWIZB_NEXT : 0);
}

bool CheckImportSource(HWND page)
{
    ImportWizardState* state = WizardStateOf(page);
    std::wstring path = PathText(page);
    bool ok = state->Job->Source && OpenImportSource(state->Job, path.c_str());
    std::wstring problem = ok || !state->Job->Source ? std::wstring() : state->Job->Source->OpenProblem();
    std::wstring note = ok ? state->Job->Source->OpenNote() : std::wstring();
    if (!problem.empty() && !path.empty())
        SetDlgItemTextW(page, IDC_IMP_STATUS, problem.c_str());
    else if (!note.empty())
        SetDlgItemTextW(page, IDC_IMP_STATUS, (ResourceText(state->hInstance, IDS_I_SOURCE_OK, {}) + L". " + note).c_str());
    else if (state->Job->Source && !path.empty())
        SetStatus(page, ok ? IDS_I_SOURCE_OK : IDS_I_SOURCE_BAD);
    else
        SetDlgItemTextW(page, IDC_IMP_STATUS, L"");
    UpdateWelcomeButtons(page);
    return ok;
}

void OnSourceTypeChange(HWND page)
{
    ImportWizardState* state = WizardStateOf(page);
    HWND list = GetDlgItem(page, IDC_IMP_SOURCE_TYPES);
    LRESULT sel = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (sel < 0)
        return;
    int type = (int)SendMessageW(list, LB_GETITEMDATA, (WPARAM)sel, 0);
    if (type == state->SourceType && state->Job->Source)
        return;
    state->SourceType = type;
    SelectImportSourceType(state->Job, state->hInstance, type);
    int labelId = state->Job->Source ? state->Job->Source->GetPathLabelId() : IDS_I_PATH_LABEL;
    bool enable = labelId >= 0;
    wchar_t label[64] = L"";
    if (enable)
        LoadStringW(state->hInstance, (UINT)labelId, label, 64);
    SetDlgItemTextW(page, IDC_IMP_PATH_LABEL, label);
    EnableWindow(GetDlgItem(page, IDC_IMP_PATH), enable);
    EnableWindow(GetDlgItem(page, IDC_IMP_BROWSE), enable);
    if (enable)
        CheckImportSource(page);
    else
        UpdateWelcomeButtons(page);
}

void BrowseImportSource(HWND page)
{
    ImportWizardState* state = WizardStateOf(page);
    wchar_t path[MAX_PATH] = L"";
    StringCchCopyW(path, MAX_PATH, PathText(page).c_str());
    wchar_t filter[256] = L"";
    int n = LoadStringW(state->hInstance, IDS_I_FILTER_FIRST + (UINT)(state->SourceType < 0 ? 0 : state->SourceType), filter, 255);
    for (int i = 0; i < n; ++i)
        if (filter[i] == L'\x01')
            filter[i] = 0;
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = page;
    ofn.lpstrFilter = filter;
    ofn.lpstrFile = path;
    ofn.nMaxFile = MAX_PATH;
    ofn.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_NONETWORKBUTTON | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    if (!ChooseFileToOpen(&ofn))
        return;
    SetDlgItemTextW(page, IDC_IMP_PATH, path);
    CheckImportSource(page);
}

void InitWelcomePage(HWND page)
{
    ImportWizardState* state = WizardStateOf(page);
    HWND list = GetDlgItem(page, IDC_IMP_SOURCE_TYPES);
    for (int type = 0; type < IMPSRC_TYPE_COUNT; ++type) {
        wchar_t text[64] = L"";
        LoadStringW(state->hInstance, IDS_I_SOURCE_TYPE_FIRST + (UINT)type, text, 64);
        LRESULT at = SendMessageW(list, LB_ADDSTRING, 0, (LPARAM)text);
        SendMessageW(list, LB_SETITEMDATA, (WPARAM)at, type);
    }
    SendDlgItemMessageW(page, IDC_IMP_PATH, EM_LIMITTEXT, MAX_PATH - 1, 0);
}

}  // namespace

// ---------------------------------------------------------------------------------------------

ImportWizardState::ImportWizardState(HINSTANCE instance)
    : hInstance(instance), SourceType(-1), GroupIndex(0), Job(nullptr), GroupContext(nullptr), TargetNeeds(0),
      TreeRs(nullptr), ItemRs(nullptr), LastTargetPage(false), TargetKind(0), Finished(false)
{
    ItemFilter[0] = 0;
}

ImportWizardState::~ImportWizardState()
{
    if (ItemRs)
        ItemRs->Release();
    if (TreeRs)
        TreeRs->Release();
}

bool ImportWizardState::Run(HWND owner, ImportJob* job)
{
    SourceType = -1;
    job->TargetSysId = job->TargetLocId = -1;
    job->NewSpecies = job->NewLocality = TypedTarget();
    Job = job;
    TargetKind = 0;
    GroupIndex = 0;
    TargetNeeds = 0;
    LastTargetPage = false;
    GroupContext = nullptr;
    Finished = false;
    PROPSHEETPAGEW pages[IMPWIZ_PAGE_COUNT] = {};
    for (int i = 0; i < IMPWIZ_PAGE_COUNT; ++i) {
        // The sheet walks the array by each record's size: the records' own size, not V1's.
        pages[i].dwSize = sizeof(PROPSHEETPAGEW);
        pages[i].hInstance = hInstance;
        pages[i].pszTemplate = kTemplates[i];
        pages[i].pfnDlgProc = kProcs[i];
        pages[i].lParam = reinterpret_cast<LPARAM>(this);
    }
    PROPSHEETHEADERW header = {};
    header.dwSize = PROPSHEETHEADERW_V1_SIZE;
    header.dwFlags = PSH_WIZARD | PSH_PROPSHEETPAGE;
    header.hwndParent = owner;
    header.hInstance = hInstance;
    header.nPages = IMPWIZ_PAGE_COUNT;
    header.ppsp = pages;
    INT_PTR result = PropertySheetW(&header);
    return result > 0 || Finished;
}

int WizardPageOfKind(int kind)
{
    if (IsMappingKind(kind))
        return IMPWIZ_MAPPING;
    switch (kind) {
    case GROUP_TABLE_LIST: return IMPWIZ_TABLES;
    case GROUP_TEXT_SETTINGS: return IMPWIZ_TEXT;
    case GROUP_COLUMNS: return IMPWIZ_COLUMNS;
    }
    return -1;
}

BOOL WizardNext(ImportWizardState* state, HWND page)
{
    IImpSource* source = state->Job->Source;
    if (!source)
        return FALSE;
    int n = source->GetGroupCount();
    int g = state->GroupIndex;
    if (g > n) {
        state->GroupIndex = g + 1;
        ShowPage(page, IMPWIZ_TARGET);
        return AnswerPage(page, -1);
    }
    int kind = source->GetGroupKind(g);
    if (IsMappingKind(kind))
        StoreMappingChoices(state, page);
    if (kind == GROUP_COLUMNS) {
        state->GroupIndex = g + 1;
        ShowPage(page, IMPWIZ_TARGET);
        return AnswerPage(page, -1);
    }
    int next = WizardPageOfKind(source->GetGroupKind(g + 1));
    if (next < 0)
        return AnswerPage(page, -1);
    state->GroupIndex = g + 1;
    SetWizardButtons(page, state->GroupIndex < n ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK | PSWIZB_FINISH);
    ShowPage(page, next);
    return AnswerPage(page, -1);
}

BOOL WizardBack(ImportWizardState* state, HWND page)
{
    IImpSource* source = state->Job->Source;
    if (!source)
        return FALSE;
    int n = source->GetGroupCount();
    int g = state->GroupIndex;
    if (g > n) {
        state->GroupIndex = g - 1;
        ShowPage(page, state->GroupIndex > n ? IMPWIZ_TARGET : IMPWIZ_COLUMNS);
        return AnswerPage(page, -1);
    }
    if (IsMappingKind(source->GetGroupKind(g)))
        StoreMappingChoices(state, page);
    int kind = source->GetGroupKind(g - 1);
    int previous = g - 1 < 1 ? IMPWIZ_WELCOME : WizardPageOfKind(kind);
    if (previous < 0)
        return AnswerPage(page, -1);
    state->GroupIndex = g - 1;
    SetWizardButtons(page, state->GroupIndex < 1 ? PSWIZB_NEXT : PSWIZB_BACK | PSWIZB_NEXT);
    ShowPage(page, previous);
    return AnswerPage(page, -1);
}

BOOL AnswerPage(HWND page, LONG_PTR result)
{
    SetWindowLongPtrW(page, DWLP_MSGRESULT, result);
    return TRUE;
}

ImportWizardState* WizardStateOf(HWND page)
{
    return reinterpret_cast<ImportWizardState*>(GetWindowLongPtrW(page, DWLP_USER));
}

ImportWizardState* InitWizardPage(HWND page, LPARAM lParam)
{
    const PROPSHEETPAGEW* record = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
    ImportWizardState* state = reinterpret_cast<ImportWizardState*>(record->lParam);
    SetWindowLongPtrW(page, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    return state;
}

void SetWizardButtons(HWND page, DWORD flags)
{
    PropSheet_SetWizButtons(GetParent(page), flags);
}

INT_PTR CALLBACK WelcomePageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        InitWizardPage(page, lParam);
        InitWelcomePage(page);
        return TRUE;
    case WM_COMMAND:
        if (!WizardStateOf(page))
            return FALSE;
        switch (LOWORD(wParam)) {
        case IDC_IMP_SOURCE_TYPES:
            if (HIWORD(wParam) == LBN_SELCHANGE)
                OnSourceTypeChange(page);
            return TRUE;
        case IDC_IMP_PATH:
            if (HIWORD(wParam) == EN_CHANGE)
                UpdateWelcomeButtons(page);
            else if (HIWORD(wParam) == EN_KILLFOCUS)
                CheckImportSource(page);
            return TRUE;
        case IDC_IMP_BROWSE:
            BrowseImportSource(page);
            return TRUE;
        }
        return FALSE;
    case WM_NOTIFY: {
        NMHDR* hdr = reinterpret_cast<NMHDR*>(lParam);
        ImportWizardState* state = WizardStateOf(page);
        if (!state || hdr->hwndFrom != GetParent(page))
            return FALSE;
        switch (hdr->code) {
        case PSN_SETACTIVE:
            state->GroupIndex = 0;
            UpdateWelcomeButtons(page);
            return AnswerPage(page, 0);
        case PSN_WIZNEXT:
            // The path is checked once more: a file changed or removed since is refused here.
            if (!CheckImportSource(page))
                return AnswerPage(page, -1);
            return WizardNext(state, page);
        }
        return FALSE;
    }
    }
    return FALSE;
}
