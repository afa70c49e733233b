// Export of record lists to text files and Excel workbooks, and the progress dialog.
// Resource identifiers of the main program: see export.rc.
#pragma once

// Dialogs EXPTOTXT, EXPTOXLS and PROGRESSDLG are loaded by name; their controls:
#define IDC_EXP_DELIMITER        102   // EXPTOTXT: delimiter combo (editable, 15 characters)
#define IDC_EXP_ENCODING         104   // EXPTOTXT: encoding combo
#define IDC_EXP_SHEET            102   // EXPTOXLS: sheet name combo
#define IDC_EXP_EXISTING         103   // EXPTOXLS: group "Existující soubor"
#define IDC_EXP_APPEND           104   // EXPTOXLS: radio "Přidat"
#define IDC_EXP_OVERWRITE        105   // EXPTOXLS: radio "Přepsat"
// PROGRESSDLG: 101 static, 102 bar (hidden for the exports), 103 static, 104 bar, 105 button.

// Messages of the exports beyond the Czech texts they share with the rest of the program.
#define IDS_EXP_WRITE_FAILED     1810  // "%s" the file, then the system's text
#define IDS_EXP_CUT_TEXTS        1811  // end message with the count of shortened texts
#define IDS_EXP_TOO_MANY_ROWS    1812  // the sheet's row limit and the list's count
#define IDS_EXP_TOO_MANY_COLUMNS 1813  // the sheet's column limit and the list's count
#define IDS_EXP_NOT_WORKBOOK     1814  // append targets that cannot take a sheet: the file
#define IDS_EXP_OLD_WORKBOOK     1815
#define IDS_EXP_ENCRYPTED        1816
#define IDS_EXP_DAMAGED          1817
#define IDS_EXP_LOCKED           1818
#define IDS_EXP_NOT_FOUND        1819
#define IDS_EXP_READ_FAILED      1820  // "%s" the file, then the system's text
#define IDS_EXP_LIST_FAILED      1821  // the rows could not be read: the file, the system's text
#define IDS_EXP_BAD_SHEET_NAME   1822  // Excel's rule for a sheet name, with its longest length
#define IDS_EXP_FAILED           1830  // the progress dialog's end when the message box says why
