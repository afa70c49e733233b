// Command 2004: on the record lists the current tab's list exported to a text file or a sheet of
// an Excel workbook; on a map tab the map written as a bitmap, a metafile or PostScript.
#include <windows.h>
#include <commdlg.h>

#include <stdlib.h>
#include <wchar.h>

#include "browse/workspace.h"
#include "common/filechooser.h"
#include "core/database.h"
#include "shellcontract/configdata.h"
#include "mainapp/mainform.h"
#include "reports/excelexport.h"
#include "reports/textexport.h"

namespace {

const UINT kIdsExportFilter = 801;  // "Textový dokument (*.txt)\001*.txt\001MS Excel (*.xls)\001*.xls\001"
const UINT kIdsMapExportFilter = 813;  // bitmap, enhanced metafile and Encapsulated PostScript
const UINT kIdsSelection = 314;     // "Výběr"
const UINT kIdsLiterature = 113;    // "Literatura"
const UINT kIdsTabSystem = 102;     // "Systém"
const UINT kIdsTabLocalities = 103; // "Lokality"
const int kFilterChars = 160;
const int kFileChars = 512;

enum ExportType
{
    EXPORT_TEXT = 1,
    EXPORT_EXCEL = 2,
};

wchar_t* LoadAlloc(HINSTANCE instance, UINT id)
{
    wchar_t text[128] = L"";
    LoadStringW(instance, id, text, 128);
    return _wcsdup(text);
}

// The list's title, which names the sheet: the current species or locality, or the page's own.
// A card with no current item has no name to give: its tab's caption stands in.
wchar_t* OrTabCaption(wchar_t* name, HINSTANCE instance, UINT caption)
{
    if (name && *name)
        return name;
    free(name);
    return LoadAlloc(instance, caption);
}

wchar_t* ListTitle(MainForm* form, int tab)
{
    CDatabase* db = form->Database;
    switch (tab) {
    case TAB_SYSTEM:
        return OrTabCaption(db->GetSpeciesName(form->Workspace_->GetCurrentId(WS_SYS_CARD)), form->hInstance,
                            kIdsTabSystem);
    case TAB_LOCALITIES:
        return OrTabCaption(db->GetLocalityName(form->Workspace_->GetCurrentId(WS_LOC_CARD)), form->hInstance,
                            kIdsTabLocalities);
    case TAB_SEARCH:
        return LoadAlloc(form->hInstance, kIdsSelection);
    default:
        return LoadAlloc(form->hInstance, kIdsLiterature);
    }
}

CObjArray* ListFields(ConfigData* config, int tab)
{
    if (!config)
        return nullptr;
    switch (tab) {
    case TAB_SYSTEM: return config->SysFields;
    case TAB_LOCALITIES: return config->LocFields;
    case TAB_SEARCH: return config->SearchFields;
    default: return config->LitFields;
    }
}

// The pattern ("*.ext") of the filter's type of that index (from 1); null past the last type.
const wchar_t* FilterPattern(const wchar_t* filter, int type)
{
    for (int index = 1; *filter; ++index) {
        const wchar_t* pattern = filter + wcslen(filter) + 1;
        if (!*pattern)
            return nullptr;
        if (index == type)
            return pattern;
        filter = pattern + wcslen(pattern) + 1;
    }
    return nullptr;
}

// The type of the filter whose pattern is the file name's extension; 0 when none is.
int TypeOfExtension(const wchar_t* filter, const wchar_t* file)
{
    const wchar_t* name = wcsrchr(file, L'\\');
    const wchar_t* dot = wcsrchr(name ? name : file, L'.');
    if (!dot)
        return 0;
    for (int type = 1; const wchar_t* pattern = FilterPattern(filter, type); ++type)
        if (pattern[0] == L'*' && !_wcsicmp(pattern + 1, dot))
            return type;
    return 0;
}

// The save dialog over the filter string; the chosen type is kept in *lastType, which also
// proposes it. A name typed with the extension of an offered type is written in that type;
// any other name gets the chosen type's extension. False when the user cancelled.
bool ChooseExportFile(MainForm* form, HWND mainWnd, UINT filterId, int* lastType, wchar_t (&file)[kFileChars])
{
    wchar_t filter[kFilterChars + 2] = L"";
    int n = LoadStringW(form->hInstance, filterId, filter, kFilterChars);
    for (int i = 0; i < n; ++i)
        if (filter[i] == L'\001')
            filter[i] = 0;
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = mainWnd;
    ofn.hInstance = form->hInstance;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = (DWORD)*lastType;
    ofn.lpstrFile = file;
    ofn.nMaxFile = kFileChars;
    ofn.lpstrInitialDir = L"";
    ofn.lpstrDefExt = L"";  // the chosen filter's extension is added
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NONETWORKBUTTON | OFN_EXPLORER | OFN_ENABLESIZING;
    if (!ChooseFileToSave(&ofn))
        return false;
    int typed = TypeOfExtension(filter, file);
    if (typed) {
        *lastType = typed;
    } else {
        *lastType = (int)ofn.nFilterIndex;
        const wchar_t* pattern = FilterPattern(filter, *lastType);
        if (pattern && pattern[0] == L'*' && wcslen(file) + wcslen(pattern + 1) < kFileChars)
            wcscat(file, pattern + 1);
    }
    return true;
}

// The map tab's picture, titled "Výběr" when the map shows the selection, else with the
// species of the systematic card.
void ExportMapTab(MainForm* form, HWND mainWnd, int tab)
{
    wchar_t file[kFileChars] = L"";
    if (!ChooseExportFile(form, mainWnd, kIdsMapExportFilter, &form->LastExpImgType, file))
        return;
    Workspace* ws = form->Workspace_;
    wchar_t* title = ws->GetMapDisplay(tab) ? LoadAlloc(form->hInstance, kIdsSelection)
                                            : form->Database->GetSpeciesName(ws->GetCurrentId(WS_SYS_CARD));
    ws->ExportMapPicture(mainWnd, file, tab, form->LastExpImgType, title ? title : L"");
    free(title);
}

}  // namespace

INT_PTR ExportCurrentTab(MainForm* form, HWND mainWnd)
{
    if (!form->Workspace_ || !form->Database)
        return TRUE;
    int tab = form->Workspace_->GetCurrentTab(mainWnd);
    if (tab >= kFirstMapTab) {
        ExportMapTab(form, mainWnd, tab);
        return TRUE;
    }
    if (tab < TAB_SYSTEM)
        return TRUE;
    wchar_t file[kFileChars] = L"";
    if (!ChooseExportFile(form, mainWnd, kIdsExportFilter, &form->LastExpType, file))
        return TRUE;
    zdata::Recordset* rows = form->Database->GetListRecordset(tab);
    CObjArray* fields = ListFields(form->Config, tab);
    if (!rows || !fields)
        return TRUE;
    wchar_t* title = ListTitle(form, tab);
    if (form->LastExpType == EXPORT_TEXT && form->TextExport)
        form->TextExport->Run(rows, file, fields);
    else if (form->LastExpType == EXPORT_EXCEL && form->ExcelExport)
        form->ExcelExport->Run(rows, file, fields, title ? title : L"");
    free(title);
    return TRUE;
}
