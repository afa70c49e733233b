// The dialog ADDQUERYDLG ("Kritéria výběru") that edits a named condition on one column of the
// occurrence records (search/querycriterion.h). One CAddQueryDlg, kept in the workspace's slot,
// serves the workspace (a new query layer) and every map card (changing a layer's criterion,
// through the editor the workspace hands the card).
#pragma once
#include <windows.h>

#include "search/querycriterion.h"

class CDispField;
class ConfigData;  // shellcontract/configdata.h

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
    // False (the user told, the lower value focused) when "V rozmezí" was given its values the
    // wrong way round.
    bool RangeInOrder();
};

INT_PTR CALLBACK AddQueryDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
