// EDITRECORD: entering a new occurrence record or editing one. The species, locality and
// publication are chosen from lists that fill as the user types, the record's attributes sit in
// a property grid and its note in an edit. "Jako šablona" keeps the dialog's values as the
// template that later new records start from; "Další" saves and stays open for the next record.
// The dialog never touches the database: it asks the main window through its private messages
// and reads every answer from the main window's message result.
#pragma once
#include <windows.h>

#include "core/itemrecords.h"

class CEditRecordDlg
{
public:
    explicit CEditRecordDlg(HINSTANCE instance);
    ~CEditRecordDlg();
    CEditRecordDlg(const CEditRecordDlg&) = delete;
    CEditRecordDlg& operator=(const CEditRecordDlg&) = delete;

    // Runs EDITRECORD modally over owner (the main window) on a record the caller owns. 1 when
    // the dialog was closed by a successful OK, 0 otherwise (also after saves with "Další").
    int Show(HWND owner, OccurrenceRecord* record);

    // The template names attributes by their position, so it means nothing in another database
    // (or after the attributes changed): the main window drops it when the database closes.
    void ForgetTemplate();

    // Fields, in the order the workspace and the tests read them.
    HWND Owner;
    HWND Dialog;
    OccurrenceRecord Template;
    int HasTemplate;
    HINSTANCE Instance;
    OccurrenceRecord* Record;

private:
    static INT_PTR CALLBACK EditRecordDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
    BOOL OnInitDialog();
    void OnCommand(int id, int code);
    LRESULT OnPropertyNotify(NMHDR* header);

    // Sends a private message to the owner and reads its result slot.
    LONG_PTR Ask(UINT msg, WPARAM wParam, LPARAM lParam);
    // Shows a record in the dialog: grid values, the three name combos and the note.
    void ShowRecord(OccurrenceRecord* source, bool withNote);
    void FillNameCombos(OccurrenceRecord* source);
    void FillNameCombo(int comboId, int kind, int id);
    // Reads the dialog into the record: 1 done, 0 refused (the user has been told why).
    int ReadFields();
    // Copies the dialog into the template without any warning.
    void KeepAsTemplate();
    // The id of the item chosen in a name combo, -1 when none is (see the source).
    int ChosenId(int comboId);
    int SaveAndNext();
    // The lookup list index of a grid item's attribute; -1 when it has none.
    int LookupIndexOfItem(int item);
    HWND PropertyBox() const;
};
