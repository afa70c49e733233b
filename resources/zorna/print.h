// Resource identifiers of the main program: see print.rc.
#pragma once

// ---- controls of PRINTFORM (the print form)
#define IDC_PRINT_TEXT           101  // the report (the form's own view of its lines)
#define IDC_PRINT_COLUMNGROUP    102  // "Zobrazit "
#define IDC_PRINT_COLUMNS        103
#define IDC_PRINT_ABBREVGROUP    104  // "Zkratky "
#define IDC_PRINT_ABBREVS        105
#define IDC_PRINT_EDITTERMS      106
#define IDC_PRINT_OPTIONGROUP    107  // "Nastavení "
#define IDC_PRINT_HEADER         108  // "Tisk zadání"
#define IDC_PRINT_SYSTEM         109  // "Celá cesta u druhů"
#define IDC_PRINT_LOCATION       110  // "Celá cesta u lokalit"
#define IDC_PRINT_ABBREVLIST     111  // "Seznam zkratek"
#define IDC_PRINT_PROGRESSGROUP  112  // "Načítám data "
#define IDC_PRINT_PROGRESS       113
#define IDC_PRINT_SAVE           114
#define IDC_PRINT_FONT           115
#define IDC_PRINT_PRINT          116

// ---- strings of the print form
#define IDS_PRINT_SAVE_FAILED    1900  // "%s" the file, then the system's text
#define IDS_PRINT_NO_PRINTER     1901
#define IDS_PRINT_FAILED         1902  // "%s" the printer, then the system's text
