// The print form's report view: a window that draws only the lines in view from the report's
// text (reports/printform_text.h), in the report's fonts, scrolled by line and page, with a
// selection made by mouse or keyboard and copied as text (Ctrl+C, Ctrl+A selects all). Its cost
// follows what is on screen, not the length of the report, and it shows a report while the
// report is still being made. It answers the edit control's questions about its text
// (WM_GETTEXT, EM_GETLINECOUNT, EM_GETLINE, EM_GETFIRSTVISIBLELINE) and scrolls by EM_LINESCROLL.
#pragma once
#include <windows.h>

#include <memory>

class ReportText;

#define REPORTVIEW_CLASS L"ZornaReportView"

// Registers the window class with the program (once; later calls do nothing).
bool RegisterReportView(HINSTANCE instance);

// Shows these lines from the top, nothing selected; null shows nothing.
void ReportViewSetText(HWND view, std::shared_ptr<const ReportText> text);
// The fonts: the report font's face at the body and title sizes (half points); the title is
// bold and underlined.
void ReportViewSetFont(HWND view, const wchar_t* face, int bodySize, int titleSize);
// Takes in the lines added since the last look: the scroll bars follow, and the view is drawn
// again when the new lines are in view.
void ReportViewRefresh(HWND view);
// Whether the view has drawn a screen full of its current lines, or all of them when the text
// is complete and shorter.
bool ReportViewScreenPainted(HWND view);
