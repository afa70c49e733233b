// Tarnix as the user meets it: the application object MaintApp and the main form MAINFORM, a
// modeless dialog with a tab control of eight pages (the levels of both trees and the
// attributes of the six data tables) and a status bar. The main form opens a database through
// the connection form (Kavlink), loads its structure into the model and the pages, runs the
// validation under the progress dialog, shows the About box and the help, and keeps its place
// in the settings file beside the program.
// The pages edit the model; Modified tells that there are edits to save (command 104, the save
// question when the database closes, the form closes or validation starts).
#pragma once
#include <windows.h>

#include "core/connsettings.h"
#include "structure/structmodel.h"

struct IOpenConnForm;
class CLevelPage;
class CAttrPage;
class CSchemaDb;
class LogViewer;
struct ImportWizardState;

// The one application object: made by the entry, deleted after the message loop.
class MaintApp {
public:
    explicit MaintApp(HINSTANCE instance);
    ~MaintApp();
    MaintApp(const MaintApp&) = delete;
    MaintApp& operator=(const MaintApp&) = delete;

    HINSTANCE hInstance;            // first: the About box's parameter starts with it
    const wchar_t* CommandLine;
    wchar_t SettingsPath[MAX_PATH]; // the settings file beside the program
    wchar_t ProgramDir[MAX_PATH];   // the program's folder, with its backslash
    IOpenConnForm* ConnForm;        // made when the main form initialises
    ConnSettings Connection;        // filled by the connection form
    CLevelPage* LevelPages[2];      // systematic, locality
    CAttrPage* AttrPages[6];        // SYSTREE, LOCTREE, SPECIES, FEATURES, ZORNACOLLS, LITERATURE
    CSchemaDb* SchemaDb;
    StructureModel Model;           // lists in ModelList order; AttrPages[i] edits list 2 + i
    bool Modified;                  // unsaved structure edits (set by the structure editor)
    ImportWizardState* WizardState; // made at the first import and kept
    int ImportErrorCount;           // entries (errors, notes) of the last import's log, as posted
    LogViewer* Viewer;              // made at the first import with errors
    HWND MainForm;                  // the main form while it exists
};

// The settings file and the program folder from the program's own path (not from the command
// line, which may carry arguments): "<folder>\<name>.xml" and "<folder>\".
void BuildSettingsPath(MaintApp* app, const wchar_t* modulePath);

// Creates MAINFORM (visible, modeless, no owner); its initialisation runs inside the call.
// Null when the dialog cannot be made.
HWND CreateMainForm(MaintApp* app);

INT_PTR CALLBACK MainFormProc(HWND form, UINT msg, WPARAM wParam, LPARAM lParam);

// ---- operations of the shell (user-interface thread) ----

// Runs the connection form, then closes the open database and opens the chosen one.
void OpenDatabaseCommand(MaintApp* app, HWND form);
// Opens the database of app->Connection and loads its structure into the pages. Otherwise one
// message says why: string 202 (a connection that names no file), the data layer's reason of a
// failed open or of a refused read (naming the file), a read-only file (refused: the utilities
// write), the table or column a Zorna database lacks (core/schemacheck.h), or 203 for a structure
// that cannot be read; the file is then closed again.
bool OpenStructDatabase(MaintApp* app, HWND form);
// Asks whether to save unsaved structure edits, then closes the database and empties the model
// and the pages; false when the user cancelled, the save failed or the close failed.
bool CloseStructDatabase(MaintApp* app, HWND form);
// The save question (string 301): Yes saves, No lets the edits go; false when the caller must not
// go on (Cancel, or a save that did not go through).
bool AskSaveChanges(MaintApp* app, HWND form);
// Collects the pages' edits into the model and saves it under the progress dialog; true when
// every step went through (the pages then show the saved structure). A failed or cancelled save
// leaves the edits pending and Modified set.
bool SaveConfiguration(MaintApp* app, HWND form);
// The model's lists into the eight pages, commands enabled / the pages emptied, commands grayed.
void FillPages(MaintApp* app, HWND form);
void ClearPages(MaintApp* app, HWND form);
// Command 203: unsaved edits saved first (the check does not run when that fails), VALIDATEDLG,
// then the check under the progress dialog.
void RunValidation(MaintApp* app, HWND form);
// Command 201: unsaved edits saved first (no import when that fails), the import wizard, then
// the import under the progress dialog (the model read again here after a run that rolled back);
// the log viewer after a run that logged errors, and the pages refilled from the model as the
// import left it.
void RunImport(MaintApp* app, HWND form);
// Command 901: the help file beside the program, or a message that it is missing.
void ShowHelp(MaintApp* app, HWND form);
// The main form's place in the settings file (and the connection form's own element).
void LoadMainFormSettings(MaintApp* app, HWND form);
void SaveMainFormSettings(MaintApp* app, HWND form);
// The status bar: "Status: " and the text.
void SetStatusText(MaintApp* app, HWND form, const wchar_t* text);
