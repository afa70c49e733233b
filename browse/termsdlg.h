// EDITTERMSDLG ("Editace výrazů"): the value list of one lookup attribute, or the taxa's author
// list, maintained once for every row that uses it: a value renamed or merged into another,
// deleted, or given an abbreviation. Every change goes to the main window as ZM_EDIT_LOOKUP_TABLE.
#pragma once
#include <windows.h>

#include <string>

struct CustomAttrDef;
struct LookupEdit;

class CEditTermsDlg
{
public:
    explicit CEditTermsDlg(HINSTANCE instance);
    ~CEditTermsDlg();
    CEditTermsDlg(const CEditTermsDlg&) = delete;
    CEditTermsDlg& operator=(const CEditTermsDlg&) = delete;

    // Runs EDITTERMSDLG modally over parent; mainWindow receives the private messages. Always 0.
    int Show(HWND mainWindow, HWND parent);

    HWND MainWindow;
    HWND Dialog;
    HINSTANCE Instance;

private:
    static INT_PTR CALLBACK EditTermsDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void OnCommand(int id, int code);
    LONG_PTR Ask(UINT msg, WPARAM wParam, LPARAM lParam);

    void LoadAttributes();
    // Reads the chosen attribute's values into both lists; then selects the value with the
    // given text in the list of values, when there is one.
    void LoadValues(const wchar_t* select = nullptr);
    void EmptyValueList();
    void ShowAbbrev();
    void Replace();
    void AssignAbbrev();
    void DeleteValue();

    // The lookup table kind of the chosen table (-1 when none is).
    int Kind() const;
    // Whether an attribute is chosen; *def is its definition, null for the author list.
    bool ChosenAttribute(const CustomAttrDef** def) const;
    const wchar_t* FieldNameOf(const CustomAttrDef* def) const;
    // The selected value of the list of values (-1 when none) and its text.
    int SelectedValue(std::wstring* text) const;
    // The abbreviation the selected value has in the table; empty when none.
    const wchar_t* StoredAbbrev() const;
    // A request for the selected value of the chosen attribute (its text in *shown, which the
    // request points at), or false when no value is selected.
    bool MakeRequest(LookupEdit* edit, std::wstring* shown);
    // The longest value the chosen attribute's column takes.
    int ValueLimit() const;
};
