// The import log viewer (VIEWLOGDLG): after an import that logged errors, where the log was
// saved, its whole text in a fixed-pitch font, and a button that deletes the file. The dialog
// is resizable; the text box grows with it.
//
// The text box lists the log's lines and draws only those in view, so that a log of any size
// shows at once (an edit control lays out its whole text first: seconds per megabyte under
// Wine). Lines can be selected with the mouse and keyboard; Ctrl+C copies them, Ctrl+A
// selects them all.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct ImportLog;

class LogViewer {
public:
    explicit LogViewer(HINSTANCE instance);  // makes the font
    ~LogViewer();                            // deletes it
    LogViewer(const LogViewer&) = delete;
    LogViewer& operator=(const LogViewer&) = delete;

    HINSTANCE hInstance;
    ImportLog* Source;   // whose log is shown, while it is shown
    int EditMarginX;     // client width minus the text box's width
    int EditMarginY;     // client height minus the text box's height
    int DeleteButtonX;
    int ButtonOffsetY;   // client height minus the buttons' top
    int CloseButtonX;
    HFONT Font;          // fixed pitch
    std::string Text;              // the log's bytes (system code page) while it is shown
    std::vector<uint32_t> Lines;   // where each line starts in Text, and Text's size last
};

// Shows the log of the source modally over owner; true when the dialog returned nonzero (it
// always returns 0).
bool ShowImportLog(LogViewer* viewer, HWND owner, ImportLog* source);

INT_PTR CALLBACK ViewLogDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);

// Line i of the shown log as text, without its line break.
std::wstring LogLineText(const LogViewer* viewer, int line);
// The lines first..last (inclusive) joined by CR LF, as Ctrl+C copies them.
std::wstring LogLinesText(const LogViewer* viewer, int first, int last);
