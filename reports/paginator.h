// The project's own layout of the report on printed pages: RichEdit 2.0 cannot format for a
// printer here, so the report's lines (reports/reportlines.h) are wrapped to the text area with
// the printer's own font metrics and drawn page by page. The same pass counts the pages without
// drawing, so the print dialog can offer the exact range.
#pragma once
#include <windows.h>
#include <commdlg.h>

#include <string>

#include "reports/reportlines.h"

// The text area of a page in the DC's device units: the paper less the page set-up's margins
// (thousandths of an inch), moved by the printable area's offset and kept inside the printable
// area (a printer may report zero margins although it cannot print to the paper's edge).
RECT PageTextArea(HDC dc, const PAGESETUPDLGW& setup);

// The fonts a report is printed in: the report font's face at the RTF sizes (half points).
struct ReportPrintFont
{
    std::wstring FaceName;
    int BodySize = 20;
    int TitleSize = 28;
};

// A font of the report on a DC: the face at a size in half points, bold and underlined for a title.
HFONT MakeReportFont(HDC dc, const std::wstring& face, int halfPoints, bool title);
// The height of a line in that font on the DC (never below 1).
int ReportLineHeight(HDC dc, HFONT font);
// A line's text as it is drawn: tabs and NULs have no glyph and show as blanks.
std::wstring ReportDrawnText(const std::wstring& text);

class ReportPaginator
{
public:
    ReportPaginator(HDC dc, const RECT& area, const ReportPrintFont& font);
    ~ReportPaginator();
    ReportPaginator(const ReportPaginator&) = delete;
    ReportPaginator& operator=(const ReportPaginator&) = delete;

    // Lays every line out; when draw is set, each page is drawn between StartPage and EndPage of
    // the DC (inside a document the caller started). Returns the number of pages (1 for an empty
    // report), or -1 when the printer refused a page.
    int Run(ReportLines* lines, bool draw);

private:
    bool PlaceLine(const wchar_t* text, int length, HFONT font, int lineHeight);
    bool NewPage();
    bool EndPage();
    void LayOut(const ReportLine& line);

    HDC dc_;
    RECT area_;
    HFONT body_;
    HFONT title_;
    int bodyHeight_;
    int titleHeight_;
    bool draw_;
    bool failed_;
    bool pageOpen_;
    int pages_;
    int y_;
};
