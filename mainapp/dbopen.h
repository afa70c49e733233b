// Opening and closing the database of the main program: the splash screen shown at start while
// the database opens in the background, the load sequence that runs when the connection reports
// the end of an open (ZM_DB_OPENED), and the closing that empties every card.
#pragma once
#include <windows.h>

class MainForm;

// Controls of SPLASHDLG.
enum SplashControl
{
    IDC_SPLASH_PICTURE = 101,
    IDC_SPLASH_STATUS = 102,
    IDC_SPLASH_PROGRESS = 103,
};
// Timer of the splash: it closes at the first tick after the opening ended.
const UINT kSplashTimerId = 1;
const UINT kSplashTimerMs = 5000;
// Picture box of the splash: the picture is fitted into this many pixels.
const int kSplashPictureWidth = 450;
const int kSplashPictureHeight = 250;

// String-table entries of the opening.
enum DbOpenStringId
{
    IDS_DBOPEN_ERROR_CAPTION = 500,  // "Chyba"
    IDS_DBOPEN_FAILED = 501,         // the connection did not open
    IDS_DBOPEN_SCHEMA_FAILED = 519,  // the schema could not be read
    IDS_DBOPEN_WARNING_CAPTION = 600,  // "Varování"
    IDS_DBOPEN_READ_ONLY = 1262,       // the file is read-only ("%s": the file)
};

// The load sequence that follows ZM_DB_OPENED: level definitions, both trees, schema, column
// catalogues, name lists and the last selected items, advancing the progress bar of the
// progress window (the splash at start, null later). Shows 501 with the reason when the
// database did not open, is no whole Zorna database (core/schemacheck.h) or a read of the load
// found a damaged page (the file is then closed again), 519 with the reason when the attribute
// definitions could not be read, and a warning when it opened read-only or without the Czech
// collation extension (lists then sort in the schema's own order). Either way the opening ends:
// the splash closes when its timer has already fired, otherwise the flag OpenFinished is set.
// FALSE on failure.
BOOL OnDatabaseOpened(MainForm* form, HWND progressWindow);

// Once per open database: when a read has met a damaged page of the file, the user is told that
// the file is damaged and how to check it (over the window the user works in).
void ReportDamageFound(MainForm* form);

// A read the file refused because another program holds it: the user is told once, after the
// action that read has ended (a message posted to the main window, kFileInUseMessage), that the
// file is in use; other refusals are left alone.
void ReportFileInUse(MainForm* form);
const UINT kFileInUseMessage = WM_APP + 2;
// The message itself, over the window the user works in.
void ShowFileInUse(MainForm* form);

// Databáze -> Otevřít: the file the user chooses opens while the database in use stays open and
// shown; once it has opened as a Zorna database it takes the place of the one in use, and a
// file refused leaves that one as it was. Nothing when the user cancels or one is opening.
void OpenChosenDatabase(MainForm* form, HWND mainWnd);
// Lets go of a chosen database still opening (the form's end).
void DropOpeningDatabase(MainForm* form);

// Starts the opening of the form's connection settings. Settings that name no database file
// (another type, or no file name) open nothing and count as an opening finished at once.
void OnOpenDatabase(MainForm* form, HWND progressWnd);

// Closes the database; when one was open, empties the toolbar combo, both trees, the
// configuration's field lists and the search page, disables the configuration command, has the
// maps fetch their record and query layers again and the page in front state its (now grayed)
// commands. The main title is refreshed in every case.
void OnCloseDatabase(MainForm* form, HWND mainWnd);

// The start-up of the main window's first WM_SHOWWINDOW: reads the workspace settings file,
// applies the card font and runs the splash, which opens the database. A file that is there but
// did not read is kept aside and reported first (mainapp/wsunread.h).
void RunStartupSequence(MainForm* form);

// The splash's dialog procedure (SPLASHDLG, parameter: the MainForm).
INT_PTR CALLBACK SplashDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Runs SPLASHDLG modally over the owner with the form as parameter.
INT_PTR RunSplash(MainForm* form, HWND owner);

// The splash's timer period: 5000 ms, or the value of the environment variable
// ZORNA_SPLASH_MS (1-60000) so that tests need not wait five seconds.
UINT SplashTimerPeriod();
