// Helpers that the dialogs of both programs share: combo boxes and list boxes filled from level
// caches and ID/NAME recordsets, integers, reals and degrees-minutes-seconds coordinates in edit
// controls in the user's number format, VARIANTs between window texts and property boxes, the
// warning box and the field kind of a column type.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>

#include "core/containers.h"
#include "dataaccess/ado.h"

// A control filled item by item draws itself again after every item under Wine (tens of
// milliseconds each: minutes for a genus of ten thousand species). A fill keeps it from drawing
// until it is complete; the control is then drawn once.
class DrawingPaused
{
public:
    explicit DrawingPaused(HWND control) : control_(control)
    {
        if (control_)
            SendMessageW(control_, WM_SETREDRAW, FALSE, 0);
    }
    ~DrawingPaused()
    {
        if (!control_)
            return;
        SendMessageW(control_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(control_, nullptr, TRUE);
    }
    DrawingPaused(const DrawingPaused&) = delete;
    DrawingPaused& operator=(const DrawingPaused&) = delete;

private:
    HWND control_;
};

// ---- combo boxes and list boxes (item data: a level id or a row ID) ----

// Adds every level of the cache, in cache order, whose LevelId is greater than levelId.
void FillLevelCombo(HWND combo, const CPtrArray* levelCache, int levelId);
// Index of the first item whose data equals the value or, with orAbove set, is greater; -1 when none.
int FindComboItemByDataOrAbove(HWND combo, int value, int orAbove);
// The item data of the selected item, -1 when nothing is selected. Never a pointer.
int GetComboSelData(HWND combo);
int FindComboItemByData(HWND combo, int value);
int FindListBoxItemByData(HWND listBox, int value);
// Empties the control and adds the NAME of every row from the first, with the ID as item data.
void FillComboFromRecordset(HWND combo, zdata::Recordset* rs);
void FillListBoxFromRecordset(HWND listBox, zdata::Recordset* rs);

// The whole text of a window; the text of a combo box's list entry (empty for no such entry).
std::wstring GetWindowString(HWND window);
std::wstring GetComboEntryString(HWND combo, int index);
std::wstring GetListBoxEntryString(HWND listBox, int index);

// For an edit that has just got the focus (EN_SETFOCUS) with a text that is there to be typed
// over: selects the whole text, entered by Tab or by a click. Posted, so that the click placing
// the caret comes first.
void SelectTextOnEntry(HWND edit);

// Inserts a tab at the index with a string-table entry (at most 63 characters) as its text.
void InsertTabFromString(HWND tabControl, HINSTANCE instance, int index, UINT stringId);

// ---- numbers in edit controls ----
// Readers answer 0 for an empty text, 1 when a number was read into *out, -1 otherwise (out
// untouched). A maximum length of 0 or less reads the whole text.

void SetWindowInt(HWND window, int value);
int GetWindowInt(HWND window, int maxLength, int* out);
// In the user's number format (separators and fractional digits of the user's locale).
void SetWindowReal(HWND window, double value);
int GetWindowReal(HWND window, int maxLength, double* out);

// Degrees (firstId), minutes (firstId + 1) and seconds (firstId + 2) of a coordinate. A value
// between -1 and 0 shows its sign as "-0" degrees, and such a text reads back as negative.
void SetDmsEdits(HWND dialog, int firstId, double degrees, int empty);
int GetDmsEdits(HWND dialog, int firstId, double* out);

// ---- VARIANTs and windows ----

// VT_BSTR of the window text, VT_EMPTY for an empty text; out is cleared first.
void GetWindowTextVariant(HWND window, VARIANT* out);
// A VT_BSTR sets the text; any other type sets an empty text.
void SetWindowTextVariant(const VARIANT* value, HWND window);
// VariantClear on every VARIANT of the list; the VARIANTs stay allocated.
void ClearVariantArray(CPtrArray* list);
// A property box's yes and no in the program's language (string-table entries 370 and 371 of
// the module); sent before the box gets its items, whose value texts are made as they come.
void SetPropertyBoxYesNo(HWND propertyBox, HINSTANCE module);
// The i-th VARIANT of the list into the i-th top-level item of a property box (a date as its
// text in the user's format); a value past the box's last item goes nowhere.
void SetPropertyBoxValues(HWND propertyBox, CPtrArray* list);
// Reads the items in order into the list's VARIANTs; stops at the first empty item whose
// attribute (the item data, a CustomAttrDef) is required, unless skipRequired is set, and returns
// its index; -1 when every item was read. A value past the box's last item is left empty.
int GetPropertyBoxValues(HWND propertyBox, CPtrArray* list, int skipRequired);

// ---- messages ----

// A warning box (through ZorMessageBox) with a text of any length from the string table and a
// caption of at most 31 characters; the box's answer.
int ShowWarningRes(HINSTANCE module, HWND owner, UINT captionId, UINT textId);
// The same warning about one field of a dialog: the text is followed by the field's name
// ("Hodnota je povinná: Autor") when it has one, and the field gets the focus once the box is
// closed.
void ShowFieldWarning(HINSTANCE module, HWND owner, UINT captionId, UINT textId, const std::wstring& name,
                      HWND field);
// The same with a text made by the caller.
void ShowFieldWarningText(HINSTANCE module, HWND owner, UINT captionId, const std::wstring& text,
                          const std::wstring& name, HWND field);
// A question about a value that is very unlikely ("„Rok“: Rok 1600 je dřívější než … Chcete
// hodnotu přesto uložit?"), Ano/Ne; true for Ano. After Ne the field gets the focus.
bool ConfirmFieldValue(HINSTANCE module, HWND owner, UINT captionId, const std::wstring& text,
                       const std::wstring& name, HWND field);
// The name a dialog shows for a control: the text of the label just before it in the dialog's
// order, without its access-key mark and closing colon; empty when the control has no label.
std::wstring ControlLabel(HWND control);
// The name of a property box's top-level item.
std::wstring PropertyItemName(HWND propertyBox, int item);

// ---- column types ----

// The field kind (an AttrType: 0 boolean, 1 integer, 2 real, 3 date, 4 text, 6 long text) of an
// ADO column type; text types without a defined size are long text.
int FieldKindOfAdoType(int adoType, long definedSize);
