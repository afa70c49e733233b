// The column chooser dialog.
#include "core/choosefields.h"

#include <commctrl.h>

#include <vector>

#include "core/fields.h"

namespace {

ChooseFieldsState* g_current = nullptr;
UINT g_dragListMsg = 0;
int g_draggedItem = -1;

void AddField(HWND listBox, CFieldBase* field)
{
    LRESULT at = SendMessageW(listBox, LB_ADDSTRING, 0, (LPARAM)field->Name);
    if (at >= 0)
        SendMessageW(listBox, LB_SETITEMDATA, at, (LPARAM)field);
}

// Every selected item of one list box goes to the end of the other.
void MoveSelected(HWND from, HWND to)
{
    int count = (int)SendMessageW(from, LB_GETSELCOUNT, 0, 0);
    std::vector<int> selected;
    if (count == LB_ERR) {
        // The drag list allows one selected item only.
        int current = (int)SendMessageW(from, LB_GETCURSEL, 0, 0);
        if (current != LB_ERR)
            selected.push_back(current);
    } else if (count > 0) {
        selected.resize(count);
        selected.resize((int)SendMessageW(from, LB_GETSELITEMS, count, (LPARAM)selected.data()));
    }
    count = (int)selected.size();
    for (int i = 0; i < count; ++i) {
        CFieldBase* field = (CFieldBase*)SendMessageW(from, LB_GETITEMDATA, selected[i], 0);
        if (field)
            AddField(to, field);
    }
    for (int i = count - 1; i >= 0; --i)
        SendMessageW(from, LB_DELETESTRING, selected[i], 0);
}

// The item under a screen point, or the count when the point is below the last item.
int DropTarget(HWND listBox, POINT pt)
{
    int index = LBItemFromPt(listBox, pt, FALSE);
    if (index >= 0)
        return index;
    int count = (int)SendMessageW(listBox, LB_GETCOUNT, 0, 0);
    if (count <= 0)
        return -1;
    RECT last;
    SendMessageW(listBox, LB_GETITEMRECT, count - 1, (LPARAM)&last);
    POINT client = pt;
    ScreenToClient(listBox, &client);
    return client.y >= last.bottom ? count : -1;
}

LRESULT OnDragList(HWND dialog, DRAGLISTINFO* info)
{
    switch (info->uNotification) {
    case DL_BEGINDRAG:
        g_draggedItem = LBItemFromPt(info->hWnd, info->ptCursor, TRUE);
        return g_draggedItem >= 0;
    case DL_DRAGGING: {
        int index = LBItemFromPt(info->hWnd, info->ptCursor, TRUE);
        // No mark where the drop would leave the item where it is.
        DrawInsert(dialog, info->hWnd,
                   (index == g_draggedItem || index == g_draggedItem + 1) ? -1 : index);
        return DL_MOVECURSOR;
    }
    case DL_DROPPED: {
        DrawInsert(dialog, info->hWnd, -1);
        int target = DropTarget(info->hWnd, info->ptCursor);
        if (g_draggedItem >= 0 && target >= 0)
            MoveListBoxItem(info->hWnd, g_draggedItem, target);
        g_draggedItem = -1;
        return 0;
    }
    case DL_CANCELDRAG:
        DrawInsert(dialog, info->hWnd, -1);
        g_draggedItem = -1;
        return 0;
    }
    return 0;
}

INT_PTR CALLBACK ChooseFieldsProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    ChooseFieldsState* state = g_current;
    if (msg == WM_INITDIALOG) {
        HWND chosen = GetDlgItem(dialog, IDC_CHOOSE_CHOSEN);
        HWND available = GetDlgItem(dialog, IDC_CHOOSE_AVAILABLE);
        MakeDragList(chosen);
        g_dragListMsg = RegisterWindowMessageW(L"commctrl_DragListMsg");
        g_draggedItem = -1;
        if (state) {
            for (int i = 0; i < state->Available->GetCount(); ++i) {
                CZorObj* field = state->Available->GetItems()[i];
                if (state->Chosen->IndexOf(field) < 0)
                    AddField(available, static_cast<CFieldBase*>(field));
            }
            for (int i = 0; i < state->Chosen->GetCount(); ++i)
                AddField(chosen, static_cast<CFieldBase*>(state->Chosen->GetItems()[i]));
        }
        return TRUE;
    }
    if (g_dragListMsg && msg == g_dragListMsg) {
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, OnDragList(dialog, (DRAGLISTINFO*)lParam));
        return TRUE;
    }
    if (msg == WM_COMMAND) {
        switch (LOWORD(wParam)) {
        case IDC_CHOOSE_ADD:
            MoveSelected(GetDlgItem(dialog, IDC_CHOOSE_AVAILABLE), GetDlgItem(dialog, IDC_CHOOSE_CHOSEN));
            return TRUE;
        case IDC_CHOOSE_REMOVE:
            MoveSelected(GetDlgItem(dialog, IDC_CHOOSE_CHOSEN), GetDlgItem(dialog, IDC_CHOOSE_AVAILABLE));
            return TRUE;
        case IDOK: {
            if (state) {
                HWND chosen = GetDlgItem(dialog, IDC_CHOOSE_CHOSEN);
                state->Chosen->RemoveAll(0);
                int count = (int)SendMessageW(chosen, LB_GETCOUNT, 0, 0);
                for (int i = 0; i < count; ++i)
                    state->Chosen->Add((CZorObj*)SendMessageW(chosen, LB_GETITEMDATA, i, 0));
            }
            EndDialog(dialog, 1);
            return TRUE;
        }
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        }
    }
    return FALSE;
}

}  // namespace

ChooseFieldsState::ChooseFieldsState(HINSTANCE instance, HWND parent)
    : Instance(instance), Parent(parent), Available(new CObjArray(16, 4)), Chosen(new CObjArray(16, 4))
{
    g_current = this;
}

ChooseFieldsState::~ChooseFieldsState()
{
    Available->RemoveAll(0);
    Chosen->RemoveAll(0);
    delete Available;
    delete Chosen;
    if (g_current == this)
        g_current = nullptr;
}

ChooseFieldsState* CurrentChooseFieldsState()
{
    return g_current;
}

int ShowChooseFields(ChooseFieldsState* state, HWND parent)
{
    if (!state)
        return 0;
    return DialogBoxParamW(state->Instance, L"CHOOSEFIELDS", parent, ChooseFieldsProc, 0) == 1 ? 1 : 0;
}

int SetAvailableFields(ChooseFieldsState* state, CObjArray* dispFields)
{
    int count = dispFields ? dispFields->GetCount() : 0;
    for (int i = 0; i < count; ++i) {
        CDispField* d = static_cast<CDispField*>(dispFields->GetItems()[i]);
        if (d && d->Field && d->Field->Kind == FIELD_DATABASE)
            state->Available->Add(d->Field);
    }
    return count;
}

void SetChosenFields(ChooseFieldsState* state, CObjArray* fields)
{
    state->Chosen->RemoveAll(0);
    for (int i = 0; fields && i < fields->GetCount(); ++i)
        state->Chosen->Add(fields->GetItems()[i]);
}

wchar_t* GetChosenText(ChooseFieldsState* state)
{
    return JoinFieldNames(state->Chosen);
}

void MoveListBoxItem(HWND listBox, int from, int before)
{
    int count = (int)SendMessageW(listBox, LB_GETCOUNT, 0, 0);
    if (from < 0 || from >= count)
        return;
    if (before < 0 || before > count)
        before = count;
    if (before == from || before == from + 1)
        return;
    int len = (int)SendMessageW(listBox, LB_GETTEXTLEN, from, 0);
    std::vector<wchar_t> text(len > 0 ? len + 1 : 1, L'\0');
    SendMessageW(listBox, LB_GETTEXT, from, (LPARAM)text.data());
    LRESULT data = SendMessageW(listBox, LB_GETITEMDATA, from, 0);
    SendMessageW(listBox, LB_DELETESTRING, from, 0);
    int at = before > from ? before - 1 : before;
    if (at >= count - 1)
        at = -1;
    LRESULT pos = SendMessageW(listBox, LB_INSERTSTRING, at, (LPARAM)text.data());
    if (pos >= 0) {
        SendMessageW(listBox, LB_SETITEMDATA, pos, data);
        SendMessageW(listBox, LB_SETCURSEL, pos, 0);
    }
}
