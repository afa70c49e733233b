// Resource identifiers of the main program: see search.rc.
#pragma once

// ---- SEARCHDLG (the search command's dialog; its tabs and pages are moved in while it runs)
#define IDC_SEARCH_RESET        101   // "&Vše vynulovat"

// ---- SEARCHPAGE (the "Atributy" page)
#define IDC_SEARCH_FIELDSLABEL  101
#define IDC_SEARCH_FIELDS       102   // search fields (display names)
#define IDC_SEARCH_VALUESLABEL  103
#define IDC_SEARCH_LOOKUP       104   // values of a lookup column, with check boxes
#define IDC_SEARCH_VALUES       105   // typed values, one per line
#define IDC_SEARCH_MINLABEL     106
#define IDC_SEARCH_MIN          107
#define IDC_SEARCH_MAXLABEL     108
#define IDC_SEARCH_MAX          109

// ---- ADDQUERYDLG (a criterion of a map query layer)
#define IDC_QUERY_NAME          101
#define IDC_QUERY_FIELD         102
#define IDC_QUERY_OPERATOR      103
#define IDC_QUERY_VALUE1        104
#define IDC_QUERY_AND           105   // "a" between the two values of "V rozmezí"
#define IDC_QUERY_VALUE2        106
#define IDC_QUERY_CHOSENLABEL   107
#define IDC_QUERY_AVAILLABEL    108
#define IDC_QUERY_CHOSEN        109
#define IDC_QUERY_AVAILABLE     110
#define IDC_QUERY_ADD           111   // "<<": available to chosen
#define IDC_QUERY_REMOVE        112   // ">>": chosen back to available
