// Resource identifiers of the main program: see records.rc.
#pragma once

// ---- controls of EDITRECORD (the record dialog)
#define IDC_REC_SPECIESLABEL   101
#define IDC_REC_SPECIES        102
#define IDC_REC_LOCALITYLABEL  103
#define IDC_REC_LOCALITY       104
#define IDC_REC_LITLABEL       105
#define IDC_REC_LITERATURE     106
#define IDC_REC_ATTRSLABEL     107
#define IDC_REC_ATTRS          108
#define IDC_REC_NOTELABEL      109
#define IDC_REC_NOTE           110
#define IDC_REC_TEMPLATE       111
#define IDC_REC_NEXT           112

// ---- controls of EDITMEMODLG
#define IDC_MEMO_TEXT          101

// ---- controls of EDITTERMSDLG (the lookup values editor)
#define IDC_TERMS_TABLEGROUP   101
#define IDC_TERMS_TABLE        102
#define IDC_TERMS_COLUMNGROUP  103
#define IDC_TERMS_COLUMN       104
#define IDC_TERMS_NEWGROUP     105
#define IDC_TERMS_NEWVALUE     106
#define IDC_TERMS_KEEPOLD      107
#define IDC_TERMS_REPLACE      108
#define IDC_TERMS_OLDGROUP     109
#define IDC_TERMS_VALUES       110
#define IDC_TERMS_ABBREVGROUP  111
#define IDC_TERMS_ABBREV       112
#define IDC_TERMS_ASSIGN       113
#define IDC_TERMS_DELETE       114

// ---- strings
#define IDS_LOOKUP_VALUE_IN_USE 522
