// A named condition on one column of the occurrence records, and the dialog ADDQUERYDLG
// ("Kritéria výběru") that edits it. The map cards draw a query layer for each criterion and keep
// it in their settings; this layout and the operator codes are the contract between the dialog
// and the map's query layers. One CAddQueryDlg, kept in the workspace's slot, serves the
// workspace (a new query layer) and every map card (changing a layer's criterion).
#pragma once
#include <windows.h>

class CPtrArray;
class CDispField;
class ConfigData;  // shellcontract/configdata.h

// QueryCriterion::Operator.
enum QueryOperator
{
    QUERY_OP_LESS = 0,           // "Menší": MinValue
    QUERY_OP_LESS_EQUAL = 1,     // "Menší nebo rovno"
    QUERY_OP_GREATER = 2,        // "Větší"
    QUERY_OP_GREATER_EQUAL = 3,  // "Větší nebo rovno"
    QUERY_OP_BETWEEN = 4,        // "V rozmezí": MinValue to MaxValue
    QUERY_OP_EQUAL = 5,          // "Rovno": MinValue
    QUERY_OP_ANY_OF = 6,         // any of Values; set by the dialog for columns with a lookup table
};

// Characters of each text field, with its terminator.
const int kQueryTextSize = 64;

// Allocated by its owner, which also creates Values (CPtrArray, ownership mode 2) and frees it.
struct QueryCriterion
{
    wchar_t Name[kQueryTextSize];       // the layer's name
    int FieldType;                      // CFieldBase kind: 1 database column, 2 composed column
    wchar_t FieldName[kQueryTextSize];  // the column's name; "CUSTOM" for every composed column
    int Operator;                       // QueryOperator
    wchar_t MinValue[kQueryTextSize];   // the value of operators 0-3 and 5, the lower bound of 4
    wchar_t MaxValue[kQueryTextSize];   // the upper bound of operator 4
    CPtrArray* Values;                  // malloc'd wide strings of operator 6
};

// String-table entries of the operator combo (360-365 in operator order).
const UINT kQueryOperatorFirstString = 360;

class CAddQueryDlg
{
public:
    explicit CAddQueryDlg(HINSTANCE instance);
    ~CAddQueryDlg();
    CAddQueryDlg(const CAddQueryDlg&) = delete;
    CAddQueryDlg& operator=(const CAddQueryDlg&) = delete;

    // Runs ADDQUERYDLG modally on the criterion with the owner (the main window, which answers
    // the private messages) as parent. The fields offered are the configuration's SysFields that
    // are columns of ZORNACOLLS or composed columns offered for searching. 1 when the user
    // pressed OK (the criterion holds the new values), 0 for Storno (unchanged).
    int Show(HWND owner, ConfigData* config, QueryCriterion* criterion);

    // ---- the dialog's own work (its procedure calls these) ----
    void OnInit(HWND dialog);
    void OnFieldChange();
    void OnOperatorChange();
    // Moves the selected values between the lists, their item data with them.
    void MoveSelected(int fromList, int toList);
    void OnOk();
    void OnDestroy();

    // Fields in order.
    HWND Owner;
    HWND Dialog;
    ConfigData* Config;
    QueryCriterion* Criterion;
    CDispField* CurrentField;
    int ListMode;        // 1 when the chosen column has a lookup table
    int OperatorIndex;   // selection of the operator combo; -1 none
    HINSTANCE Instance;

private:
    int AskListMode(CDispField* field);
    void ShowEditors();
    void FillValueLists(bool withCriterionValues);
};

INT_PTR CALLBACK AddQueryDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
