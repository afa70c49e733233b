// The import wizard: a six-page property sheet that collects everything an import needs into the
// ImportJob. The pages are fixed; the source decides through its group kinds which are shown and
// in which order: the welcome page (source type and path), then one page per group (field
// mapping for kinds 1-8, shown once per group and refilled each time; table list, 9; text
// settings, 10; the columns' mapping, 11), then the target item page when records lack a
// species or a locality. Next and Back move by group, not by the sheet's own order.
#pragma once
#include <windows.h>
#include <prsht.h>

#include "dataaccess/ado.h"
#include "import/impsource.h"

enum ImportWizardPage {
    IMPWIZ_WELCOME = 0,
    IMPWIZ_MAPPING = 1,
    IMPWIZ_TABLES = 2,
    IMPWIZ_TEXT = 3,
    IMPWIZ_COLUMNS = 4,
    IMPWIZ_TARGET = 5,
    IMPWIZ_PAGE_COUNT = 6,
};

// Bits of TargetNeeds: the records need a target species, a target locality.
enum { TARGET_NEEDS_SPECIES = 1, TARGET_NEEDS_LOCALITY = 2 };

struct ImportWizardState {
    explicit ImportWizardState(HINSTANCE instance);
    ~ImportWizardState();
    ImportWizardState(const ImportWizardState&) = delete;
    ImportWizardState& operator=(const ImportWizardState&) = delete;

    // Runs the sheet over owner; true when the user finished it.
    bool Run(HWND owner, ImportJob* job);

    HINSTANCE hInstance;
    int SourceType;           // -1 none chosen
    int GroupIndex;           // 0 welcome, 1..count the groups, beyond: the target item page
    ImportJob* Job;
    void* GroupContext;       // the table name or the text settings, for the columns' page
    int TargetNeeds;
    zdata::Recordset* TreeRs;  // the target page's tree and items
    zdata::Recordset* ItemRs;
    wchar_t ItemFilter[128];
    bool LastTargetPage;
    int TargetKind;            // 0 none, 1 species, 2 locality
    bool Finished;             // Finish was pressed (recorded by the pages)
};

// The page that shows a group kind; -1 for none.
int WizardPageOfKind(int kind);

// Shared handlers of PSN_WIZNEXT and PSN_WIZBACK: move by group, answer -1 so the sheet does not
// move by itself. Without a source they leave the sheet to its own order (return FALSE).
BOOL WizardNext(ImportWizardState* state, HWND page);
BOOL WizardBack(ImportWizardState* state, HWND page);

// The pages' state from WM_INITDIALOG's page record, kept in DWLP_USER.
ImportWizardState* WizardStateOf(HWND page);
ImportWizardState* InitWizardPage(HWND page, LPARAM lParam);
// A page's answer to a notification (DWLP_MSGRESULT); TRUE for the dialog procedure.
BOOL AnswerPage(HWND page, LONG_PTR result);
// Back/Next/Finish of the sheet (posted: applied after the notification being handled).
void SetWizardButtons(HWND page, DWORD flags);

INT_PTR CALLBACK WelcomePageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK MappingPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK TableListPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK TextSettingsPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ColumnsPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK TargetPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);

// The mapping page's choices written back into the group's entries (also used on Finish).
void StoreMappingChoices(ImportWizardState* state, HWND page);
// The automatic match of a source name among a mapping kind's target items: 2 + the position of
// the first equal name (Czech letters folded), 0 (create) when none.
int MatchTargetItem(const StructureModel* model, int kind, const wchar_t* sourceName);
// What the page proposes for a unit or attribute entry of the kind: the item of the same name, or
// for a part of a date (day, month, year) the target's first date attribute; else 0 (create).
int ProposeTargetItem(const StructureModel* model, int kind, const void* entry);
