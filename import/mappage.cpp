// The field mapping page: one row per unit or attribute of the group shown, each with the choice
// " .. Zavést" (create), " .. Nezavádět" (skip) or one of the target's levels or attributes of
// that kind, or a new name typed in. Shown once per mapping group of the source.
#include <strsafe.h>

#include <string>

#include "controls/plexa.h"
#include "core/attrdef.h"
#include "core/ctlfill.h"
#include "core/textutil.h"
#include "czechcollation/czechtext.h"
#include "import/impwizard.h"
#include "resources/tarnix/resource.h"
#include "utilities/structmodel.h"

namespace {

// The names of the target items of a mapping kind, in model order.
std::vector<std::wstring> TargetNames(const StructureModel* model, int kind)
{
    std::vector<std::wstring> names;
    int list = ModelListOfKind(kind);
    if (list < 0)
        return names;
    const ItemList* items = &model->Lists[list];
    for (int i = 0; i < items->Count; ++i)
        names.push_back(IsUnitKind(kind) ? LevelAt(items, i)->Name : AttrAt(items, i)->Caption);
    return names;
}

std::wstring LoadText(HINSTANCE instance, UINT id)
{
    wchar_t text[128] = L"";
    LoadStringW(instance, id, text, 128);
    return text;
}

// The choices as one block of NUL-ended texts ended by an empty one.
std::wstring ChoiceList(ImportWizardState* state, int kind)
{
    std::wstring block = LoadText(state->hInstance, IDS_I_CREATE_CHOICE) + L'\0' +
                         LoadText(state->hInstance, IDS_I_SKIP_CHOICE) + L'\0';
    for (const std::wstring& name : TargetNames(state->Job->Model, kind))
        block += name + L'\0';
    block += L'\0';
    return block;
}

void EntryOf(int kind, void* item, const wchar_t** sourceName, int** stateField, wchar_t** targetName)
{
    if (IsUnitKind(kind)) {
        UnitEntry* unit = static_cast<UnitEntry*>(item);
        *sourceName = unit->SourceName;
        *stateField = &unit->State;
        *targetName = unit->TargetName;
    } else {
        AttrImportEntry* attr = static_cast<AttrImportEntry*>(item);
        *sourceName = attr->SourceName;
        *stateField = &attr->State;
        *targetName = attr->TargetName;
    }
}

void FillMappingBox(ImportWizardState* state, HWND page, int kind)
{
    HWND box = GetDlgItem(page, IDC_IMP_MAPPING);
    SendMessageW(box, PBXM_RESETCONTENT, 0, 0);
    if (kind <= 0)
        return;
    int g = state->GroupIndex;
    CPtrArray* items = state->Job->GroupItems[g - 1];
    std::wstring choices = ChoiceList(state, kind);
    for (int i = 0; i < items->GetCount(); ++i) {
        const wchar_t* sourceName;
        int* entryState;
        wchar_t* targetName;
        EntryOf(kind, items->GetItems()[i], &sourceName, &entryState, &targetName);
        LRESULT row = SendMessageW(box, PBXM_ADDITEM, MAKEWPARAM(0xFFFF, PBT_COMBO), (LPARAM)sourceName);
        if (row < 0)
            break;
        WPARAM at = PBX_ITEM((WORD)row);
        SendMessageW(box, PBXM_SETLIST, at, (LPARAM)choices.c_str());
        SendMessageW(box, PBXM_SETITEMDATA, at, (LPARAM)items->GetItems()[i]);
        if (!state->Job->GroupFlags[g - 1]) {
            SendMessageW(box, PBXM_SETLISTINDEX, at, ProposeTargetItem(state->Job->Model, kind, items->GetItems()[i]));
        } else if (*entryState == CHOICE_SKIP) {
            SendMessageW(box, PBXM_SETLISTINDEX, at, 1);
        } else if (*entryState == CHOICE_CREATE && !targetName[0]) {
            SendMessageW(box, PBXM_SETLISTINDEX, at, 0);
        } else {
            VARIANT value;
            value.vt = VT_BSTR;
            value.bstrVal = SysAllocString(targetName);
            SendMessageW(box, PBXM_SETVALUE, at, (LPARAM)&value);
            VariantClear(&value);
        }
    }
}

void ShowMappingGroup(ImportWizardState* state, HWND page)
{
    IImpSource* source = state->Job->Source;
    int g = state->GroupIndex;
    if (!source || g < 1 || g > 8)
        return;
    int id = source->GetGroupCaptionId(g);
    if (id < 0)
        return;
    wchar_t caption[64] = L"";
    LoadStringW(state->hInstance, (UINT)id, caption, 64);
    SetDlgItemTextW(page, IDC_IMP_GROUP_CAPTION, caption);
    int kind = source->FillGroup(g, state->Job->GroupItems[g - 1], nullptr);
    state->Job->GroupKinds[g - 1] = kind;
    FillMappingBox(state, page, kind);
}

}  // namespace

int MatchTargetItem(const StructureModel* model, int kind, const wchar_t* sourceName)
{
    std::vector<std::wstring> names = TargetNames(model, kind);
    for (size_t i = 0; i < names.size(); ++i)
        if (CzechEqualNoCase(names[i].c_str(), sourceName))
            return (int)i + 2;
    return 0;
}

int ProposeTargetItem(const StructureModel* model, int kind, const void* entry)
{
    if (IsUnitKind(kind))
        return MatchTargetItem(model, kind, static_cast<const UnitEntry*>(entry)->SourceName);
    const AttrImportEntry* attr = static_cast<const AttrImportEntry*>(entry);
    int match = MatchTargetItem(model, kind, attr->SourceName);
    int list = ModelListOfKind(kind);
    if (match > 0 || !attr->DatePart || list < 0)
        return match;
    // A day, month or year goes into the target's date, where the parts make one value again.
    const ItemList* attrs = &model->Lists[list];
    for (int i = 0; i < attrs->Count; ++i)
        if (AttrAt(attrs, i)->Type == ATTR_DATE)
            return i + 2;
    return 0;
}

void StoreMappingChoices(ImportWizardState* state, HWND page)
{
    int g = state->GroupIndex;
    if (g < 1 || g > 8)
        return;
    int kind = state->Job->GroupKinds[g - 1];
    CPtrArray* items = state->Job->GroupItems[g - 1];
    HWND box = GetDlgItem(page, IDC_IMP_MAPPING);
    for (int i = 0; i < items->GetCount(); ++i) {
        WPARAM at = PBX_ITEM((WORD)i);
        void* item = reinterpret_cast<void*>(SendMessageW(box, PBXM_GETITEMDATA, at, 0));
        if (!item)
            continue;
        const wchar_t* sourceName;
        int* entryState;
        wchar_t* targetName;
        EntryOf(kind, item, &sourceName, &entryState, &targetName);
        int choice = (int)SendMessageW(box, PBXM_GETLISTINDEX, at, 0);
        VARIANT value;
        VariantInit(&value);
        SendMessageW(box, PBXM_GETVALUE, at, (LPARAM)&value);
        std::wstring text = value.vt == VT_BSTR && value.bstrVal ? value.bstrVal : L"";
        VariantClear(&value);
        if (choice == 0) {
            *entryState = CHOICE_CREATE;
            StringCchCopyW(targetName, 64, sourceName);
        } else if (choice == 1) {
            *entryState = CHOICE_SKIP;
            targetName[0] = 0;
        } else {
            // -1: a name typed that is in no list item, created under it; else an existing item.
            *entryState = choice == -1 ? CHOICE_CREATE : CHOICE_MAP;
            StringCchCopyW(targetName, 64, text.c_str());
        }
    }
    state->Job->GroupFlags[g - 1] = 1;
}

INT_PTR CALLBACK MappingPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        ImportWizardState* state = InitWizardPage(page, lParam);
        SetPropertyBoxYesNo(GetDlgItem(page, IDC_IMP_MAPPING), state->hInstance);
        return TRUE;
    }
    if (msg != WM_NOTIFY)
        return FALSE;
    NMHDR* hdr = reinterpret_cast<NMHDR*>(lParam);
    ImportWizardState* state = WizardStateOf(page);
    if (!state || hdr->hwndFrom != GetParent(page))
        return FALSE;
    switch (hdr->code) {
    case PSN_SETACTIVE:
        ShowMappingGroup(state, page);
        return AnswerPage(page, 0);
    case PSN_WIZNEXT:
        return WizardNext(state, page);
    case PSN_WIZBACK:
        return WizardBack(state, page);
    case PSN_WIZFINISH:
        StoreMappingChoices(state, page);
        state->Finished = true;
        return AnswerPage(page, FALSE);
    }
    return FALSE;
}
