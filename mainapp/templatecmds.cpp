// The template commands: the workspace file opened, saved, saved under another name, or a new
// one started. A template is a workspace settings file the user keeps under a name of his own.
#include <windows.h>
#include <commdlg.h>

#include <string>
#include <vector>

#include "browse/workspace.h"
#include "common/filechooser.h"
#include "core/msgbox.h"
#include "core/xmlaccess.h"
#include "mainapp/commands.h"
#include "shellcontract/configdata.h"
#include "mainapp/dbopen.h"
#include "mainapp/mainform.h"
#include "mainapp/wssettings.h"
#include "resources/zorna/resource.h"

namespace {

const DWORD kOpenFlags =
    OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NONETWORKBUTTON | OFN_EXPLORER | OFN_ENABLESIZING;
const DWORD kSaveFlags = kOpenFlags | OFN_OVERWRITEPROMPT;
// Room for the longest path the system allows: a chosen path is never cut short.
const DWORD kPathCapacity = 32768;

// The workspace file the user picks; false when he cancelled.
bool ChooseTemplate(MainForm* form, HWND mainWnd, bool forSaving, std::wstring* path)
{
    std::wstring filter = LoadFileFilter(form->hInstance, IDS_FILTER_XML);
    std::vector<wchar_t> file(kPathCapacity, L'\0');
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = mainWnd;
    ofn.hInstance = form->hInstance;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = kPathCapacity;
    ofn.lpstrInitialDir = L"";
    ofn.Flags = forSaving ? kSaveFlags : kOpenFlags;
    if (forSaving)
        ofn.lpstrDefExt = L"xml";
    BOOL chosen = forSaving ? ChooseFileToSave(&ofn) : ChooseFileToOpen(&ofn);
    if (!chosen)
        return false;
    file.back() = L'\0';
    *path = file.data();
    return !path->empty();
}

// What the open and new-template commands do before they leave the current workspace file: it
// is saved, the database closed and every map closed.
void LeaveCurrentWorkspace(MainForm* form, HWND mainWnd)
{
    SaveWorkspaceAndReport(form, mainWnd);
    OnCloseDatabase(form, mainWnd);
    if (form->Workspace_)
        form->Workspace_->CloseAllMaps(mainWnd);
}

}  // namespace

bool SaveWorkspaceAndReport(MainForm* form, HWND mainWnd)
{
    if (SaveWorkspace(form, mainWnd))
        return true;
    ReportFileError(form, mainWnd, IDS_CMD_SAVE_FAILED, form->ConfigPath.c_str());
    return false;
}

INT_PTR OnOpenTemplate(MainForm* form, HWND mainWnd, WPARAM, LPARAM)
{
    std::wstring path;
    if (!ChooseTemplate(form, mainWnd, false, &path))
        return TRUE;
    // Only a workspace file is taken: a grid file, other XML or anything else changes nothing.
    int refusal = XmlReadOk;
    if (GetXmlFileKind(path.c_str(), &refusal) != XmlFileWorkspace) {
        if (!ShowXmlRefusal(mainWnd, form->hInstance, IDS_ERROR_CAPTION, path.c_str(), refusal))
            ZorMessageBoxRes(mainWnd, form->hInstance, IDS_NOT_WORKSPACE_FILE, IDS_ERROR_CAPTION,
                             MB_ICONERROR);
        return FALSE;
    }
    LeaveCurrentWorkspace(form, mainWnd);
    Workspace* ws = form->Workspace_;
    // The file may select another tab: the page in front goes first and the file's own comes
    // after, so that the strip, the page, the toolbars and the menus agree.
    if (ws)
        ws->HidePage(mainWnd);
    form->ConfigPath = path;
    LoadWorkspace(form, mainWnd);
    if (ws && form->Config)
        ws->ApplyCardFont(form->Config->CardFont, form->Config->CardColor, form->Config->CardPointSize / 5);
    if (ws)
        ws->ShowPage(mainWnd);
    OnOpenDatabase(form, nullptr);
    return TRUE;
}

INT_PTR OnSaveTemplate(MainForm* form, HWND mainWnd, WPARAM, LPARAM)
{
    SaveWorkspaceAndReport(form, mainWnd);
    return TRUE;
}

INT_PTR OnSaveTemplateAs(MainForm* form, HWND mainWnd, WPARAM, LPARAM)
{
    std::wstring path;
    if (!ChooseTemplate(form, mainWnd, true, &path))
        return TRUE;
    // The chosen file is the workspace from now on, even when this first write fails: the old
    // file is never written in its place.
    form->ConfigPath = path;
    SaveWorkspaceAndReport(form, mainWnd);
    return TRUE;
}

INT_PTR OnNewTemplate(MainForm* form, HWND mainWnd, WPARAM, LPARAM)
{
    std::wstring path;
    if (!ChooseTemplate(form, mainWnd, true, &path))
        return TRUE;
    LeaveCurrentWorkspace(form, mainWnd);
    // The new file is written at the next save or when the program closes.
    form->ConfigPath = path;
    return TRUE;
}
