#include "structure/progressdlg.h"

#include <commctrl.h>

#include "resources/tarnix/resource.h"
#include "structure/dbcheck.h"
#include "structure/structsave.h"

namespace {

// Posted by a worker that ends the dialog itself; wParam is the result.
const UINT ZM_PROGRESS_DONE = WM_APP + 1;

// The import, which stands on this library, adds its starter through SetProgressStarter.
ProgressStarter g_starters[4] = {nullptr, StartSave, StartDbCheck, nullptr};

// A final status longer than the status box (a file's path, the system's reason) makes the box
// taller; the bar, the button and the dialog's frame make room for it.
void FitStatus(HWND dlg, const wchar_t* text)
{
    HWND status = GetDlgItem(dlg, IDC_PROGRESS_STATUS);
    if (!status || !text)
        return;
    RECT box;
    GetWindowRect(status, &box);
    MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&box), 2);
    RECT need = {0, 0, box.right - box.left, 0};
    HDC dc = GetDC(status);
    HGDIOBJ font = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(status, WM_GETFONT, 0, 0)));
    DrawTextW(dc, text, -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_EXPANDTABS | DT_NOPREFIX);
    SelectObject(dc, font);
    ReleaseDC(status, dc);
    int grow = need.bottom - (box.bottom - box.top);
    if (grow <= 0)
        return;
    SetWindowPos(status, nullptr, 0, 0, box.right - box.left, need.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (int id : {IDC_PROGRESS_BAR, IDCANCEL}) {
        HWND item = GetDlgItem(dlg, id);
        RECT r;
        GetWindowRect(item, &r);
        MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
        SetWindowPos(item, nullptr, r.left, r.top + grow, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RECT frame;
    GetWindowRect(dlg, &frame);
    SetWindowPos(dlg, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top + grow,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

ProgressParams* ParamsOf(HWND dlg)
{
    return reinterpret_cast<ProgressParams*>(GetWindowLongPtrW(dlg, GWLP_USERDATA));
}

// Set while the dialog waits for its worker, so that presses meanwhile do not wait again.
const wchar_t kEndingProp[] = L"ZorProgressEnding";

// Ends the dialog with result once the worker has ended; messages keep flowing meanwhile, since
// the worker may be inside a message sent to this thread (status text, bar, a message box).
void EndAfterWorker(HWND dlg, ProgressParams* params, INT_PTR result)
{
    if (GetPropW(dlg, kEndingProp))
        return;
    SetPropW(dlg, kEndingProp, reinterpret_cast<HANDLE>(1));
    HANDLE worker = params->Worker;
    bool quit = false;
    WPARAM quitCode = 0;
    while (worker && MsgWaitForMultipleObjects(1, &worker, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                quitCode = msg.wParam;
                continue;
            }
            if (!IsDialogMessageW(dlg, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
    }
    if (worker) {
        CloseHandle(worker);
        params->Worker = nullptr;
    }
    RemovePropW(dlg, kEndingProp);
    if (quit)
        PostQuitMessage((int)quitCode);
    EndDialog(dlg, result);
}

void OnInit(HWND dlg, ProgressParams* params)
{
    SetWindowLongPtrW(dlg, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(params));
    params->Dialog = dlg;
    ProgressStarter start = params->Mode >= 1 && params->Mode <= 3 ? g_starters[params->Mode] : nullptr;
    if (start && !start(params->Argument, params))
        PostMessageW(dlg, ZM_PROGRESS_DONE, 0, 0);
}

void OnCancel(HWND dlg, ProgressParams* params)
{
    // The first press asks the worker to stop; the worker shows how the run ended.
    if (!params->Cancel.exchange(true))
        return;
    EndAfterWorker(dlg, params, 0);
}

}  // namespace

bool ProgressCallback(int position, ProgressParams* params)
{
    if (position != params->LastPosition) {
        params->LastPosition = position;
        SendDlgItemMessageW(params->Dialog, IDC_PROGRESS_BAR, PBM_SETPOS, (WPARAM)position, 0);
    }
    return params->Cancel.load();
}

INT_PTR RunProgressDialog(HWND owner, ProgressParams* params)
{
    return DialogBoxParamW(params->hInstance, L"SAVEPROGDLG", owner, ProgressDlgProc,
                           reinterpret_cast<LPARAM>(params));
}

INT_PTR CALLBACK ProgressDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        OnInit(dlg, reinterpret_cast<ProgressParams*>(lParam));
        return FALSE;
    }
    ProgressParams* params = ParamsOf(dlg);
    if (!params)
        return FALSE;
    switch (msg) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel(dlg, params);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:  // Alt+F4: the same as the button
        OnCancel(dlg, params);
        return TRUE;
    case ZM_PROGRESS_DONE:
        EndAfterWorker(dlg, params, (INT_PTR)wParam);
        return TRUE;
    }
    return FALSE;
}

ProgressStarter SetProgressStarter(int mode, ProgressStarter starter)
{
    if (mode < 1 || mode > 3)
        return nullptr;
    ProgressStarter previous = g_starters[mode];
    g_starters[mode] = starter;
    return previous;
}

bool StartProgressWorker(ProgressParams* params, LPTHREAD_START_ROUTINE worker, DWORD* threadId)
{
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, worker, params, 0, &id);
    if (!thread)
        return false;
    params->Worker = thread;
    if (threadId)
        *threadId = id;
    return true;
}

void ProgressSetTitle(ProgressParams* params, UINT stringId)
{
    wchar_t text[128] = L"";
    LoadStringW(params->hInstance, stringId, text, 128);
    SendMessageW(params->Dialog, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void ProgressSetStatus(ProgressParams* params, UINT stringId)
{
    wchar_t text[256] = L"";
    LoadStringW(params->hInstance, stringId, text, 256);
    SendDlgItemMessageW(params->Dialog, IDC_PROGRESS_STATUS, WM_SETTEXT, 0,
                        reinterpret_cast<LPARAM>(text));
}

void ProgressEndByUser(ProgressParams* params, UINT statusStringId)
{
    wchar_t text[256] = L"";
    LoadStringW(params->hInstance, statusStringId, text, 256);
    ProgressEndByUserText(params, text);
}

void ProgressEndByUserText(ProgressParams* params, const wchar_t* status)
{
    FitStatus(params->Dialog, status);
    SendDlgItemMessageW(params->Dialog, IDC_PROGRESS_STATUS, WM_SETTEXT, 0,
                        reinterpret_cast<LPARAM>(status));
    wchar_t ok[32] = L"";
    LoadStringW(params->hInstance, IDS_T_OK_BUTTON, ok, 32);
    SendDlgItemMessageW(params->Dialog, IDCANCEL, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(ok));
    params->Cancel = true;
}

void ProgressEndByWorker(ProgressParams* params, INT_PTR result)
{
    PostMessageW(params->Dialog, ZM_PROGRESS_DONE, (WPARAM)result, 0);
}
