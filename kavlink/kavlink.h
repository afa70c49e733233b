// Kavlink: the connection dialog both programs open their database through. The programs hold
// one connection-form object and call its operations in this slot order: 0 runs the modal
// dialog on a ConnSettings (filled in place when the user accepts), 1 is not called, 2 reads the
// dialog's own settings from a settings file, 3 writes them. For these programs a connection is
// a database file, so the dialog is the system's file choice.
#pragma once
#include <windows.h>
#include <commdlg.h>

#include "core/connsettings.h"

class CXmlReader;
class CXmlWriter;

struct IOpenConnForm
{
    // Slot 0: runs the dialog on the settings; nonzero when the user accepted (ConnType is then 1
    // and DBName the chosen file), 0 with the settings untouched otherwise.
    virtual int RunDialog(ConnSettings* settings) = 0;
    // Slot 1: kept so that the later slots stay in place; the programs never call it.
    virtual int Reserved() = 0;
    // Slot 2: reads the dialog's own element (KAVLINK_SETTINGS_ELEMENT) when present.
    virtual void LoadSettings(CXmlReader* reader) = 0;
    // Slot 3: adds the dialog's own element under the root.
    virtual void SaveSettings(CXmlWriter* writer) = 0;

protected:
    ~IOpenConnForm() = default;  // freed by FreeOpenConnForm only
};

// The dialog's own element in the programs' settings files.
#define KAVLINK_SETTINGS_ELEMENT L"ConnectDlg"

// The connection-form object of the process (made on the first call; later calls hand out the
// same object with the new owner).
IOpenConnForm* GetOpenConnForm(HINSTANCE instance, HWND owner);
// Frees the object; the next GetOpenConnForm makes a new one.
void FreeOpenConnForm();

// The file choice the dialog runs; GetOpenFileNameW unless a test installs its own.
// Returns the previous chooser; null restores GetOpenFileNameW.
typedef BOOL(WINAPI* ConnFileChooser)(OPENFILENAMEW* ofn);
ConnFileChooser SetConnFileChooser(ConnFileChooser chooser);
