// Report pages laid out with the printer's own metrics (see paginator.h).
#include "reports/paginator.h"

namespace {

bool IsBreak(wchar_t c) { return c == L'\r' || c == L'\n'; }

}  // namespace

HFONT MakeReportFont(HDC dc, const std::wstring& face, int halfPoints, bool title)
{
    LOGFONTW lf = {};
    lf.lfHeight = -MulDiv(halfPoints, GetDeviceCaps(dc, LOGPIXELSY), 144);
    lf.lfWeight = title ? FW_BOLD : FW_NORMAL;
    lf.lfUnderline = title ? TRUE : FALSE;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
    lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
    return CreateFontIndirectW(&lf);
}

int ReportLineHeight(HDC dc, HFONT font)
{
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm = {};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    int height = tm.tmHeight + tm.tmExternalLeading;
    return height > 0 ? height : 1;
}

std::wstring ReportDrawnText(const std::wstring& text)
{
    std::wstring drawn = text;
    for (wchar_t& c : drawn) {
        if (c == L'\t' || c == 0)
            c = L' ';
    }
    return drawn;
}

RECT PageTextArea(HDC dc, const PAGESETUPDLGW& setup)
{
    int dpiX = GetDeviceCaps(dc, LOGPIXELSX), dpiY = GetDeviceCaps(dc, LOGPIXELSY);
    int printableW = GetDeviceCaps(dc, HORZRES), printableH = GetDeviceCaps(dc, VERTRES);
    int offsetX = GetDeviceCaps(dc, PHYSICALOFFSETX), offsetY = GetDeviceCaps(dc, PHYSICALOFFSETY);
    int paperW = GetDeviceCaps(dc, PHYSICALWIDTH), paperH = GetDeviceCaps(dc, PHYSICALHEIGHT);
    // The set-up's numbers are thousandths of an inch unless it says otherwise.
    int perInch = (setup.Flags & PSD_INHUNDREDTHSOFMILLIMETERS) ? 2540 : 1000;
    if (setup.ptPaperSize.x > 0 && setup.ptPaperSize.y > 0) {
        paperW = MulDiv(setup.ptPaperSize.x, dpiX, perInch);
        paperH = MulDiv(setup.ptPaperSize.y, dpiY, perInch);
    }
    if (paperW <= 0 || paperH <= 0) {
        paperW = printableW + 2 * offsetX;
        paperH = printableH + 2 * offsetY;
    }
    RECT area;
    area.left = MulDiv(setup.rtMargin.left, dpiX, perInch) - offsetX;
    area.top = MulDiv(setup.rtMargin.top, dpiY, perInch) - offsetY;
    area.right = paperW - MulDiv(setup.rtMargin.right, dpiX, perInch) - offsetX;
    area.bottom = paperH - MulDiv(setup.rtMargin.bottom, dpiY, perInch) - offsetY;
    if (area.left < 0)
        area.left = 0;
    if (area.top < 0)
        area.top = 0;
    if (area.right > printableW)
        area.right = printableW;
    if (area.bottom > printableH)
        area.bottom = printableH;
    // Margins that leave no room give the whole printable area rather than nothing.
    if (area.right <= area.left || area.bottom <= area.top)
        area = RECT{0, 0, printableW, printableH};
    return area;
}

ReportPaginator::ReportPaginator(HDC dc, const RECT& area, const ReportPrintFont& font)
    : dc_(dc), area_(area), body_(MakeReportFont(dc, font.FaceName, font.BodySize, false)),
      title_(MakeReportFont(dc, font.FaceName, font.TitleSize, true)),
      bodyHeight_(ReportLineHeight(dc, body_)),
      titleHeight_(ReportLineHeight(dc, title_)), draw_(false), failed_(false), pageOpen_(false),
      pages_(0), y_(area.top)
{
}

ReportPaginator::~ReportPaginator()
{
    DeleteObject(body_);
    DeleteObject(title_);
}

bool ReportPaginator::NewPage()
{
    if (draw_ && ::StartPage(dc_) <= 0) {
        failed_ = true;
        return false;
    }
    pages_++;
    pageOpen_ = true;
    y_ = area_.top;
    return true;
}

bool ReportPaginator::EndPage()
{
    pageOpen_ = false;
    if (draw_ && ::EndPage(dc_) <= 0) {
        failed_ = true;
        return false;
    }
    return true;
}

bool ReportPaginator::PlaceLine(const wchar_t* text, int length, HFONT font, int lineHeight)
{
    if (!pageOpen_) {
        if (!NewPage())
            return false;
    } else if (y_ + lineHeight > area_.bottom && y_ > area_.top) {
        if (!EndPage() || !NewPage())
            return false;
    }
    if (draw_ && length > 0) {
        HGDIOBJ old = SelectObject(dc_, font);
        SetBkMode(dc_, TRANSPARENT);
        SetTextAlign(dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
        ExtTextOutW(dc_, area_.left, y_, 0, nullptr, text, (UINT)length, nullptr);
        SelectObject(dc_, old);
    }
    y_ += lineHeight;
    return true;
}

void ReportPaginator::LayOut(const ReportLine& line)
{
    bool title = line.Kind == REPORT_TITLE;
    HFONT font = title ? title_ : body_;
    int height = title ? titleHeight_ : bodyHeight_;
    int width = area_.right - area_.left;
    std::wstring text = ReportDrawnText(line.Text);
    HGDIOBJ old = SelectObject(dc_, font);
    size_t pos = 0, end = text.size();
    do {
        // One segment: up to the next line break inside the line.
        size_t stop = pos;
        while (stop < end && !IsBreak(text[stop]))
            stop++;
        const wchar_t* p = text.c_str() + pos;
        int n = (int)(stop - pos);
        if (n == 0 && !PlaceLine(p, 0, font, height))
            break;
        while (n > 0 && !failed_) {
            int fit = 0;
            SIZE size = {};
            if (!GetTextExtentExPointW(dc_, p, n, width, &fit, nullptr, &size))
                fit = n;
            int take = n;
            int skip = 0;
            if (fit < n) {
                // Break after the last blank that fits; a word longer than the line is cut.
                int blank = fit;
                while (blank > 0 && p[blank] != L' ')
                    blank--;
                if (blank > 0) {
                    take = blank;
                    while (take + skip < n && p[take + skip] == L' ')
                        skip++;
                } else {
                    take = fit > 0 ? fit : 1;
                    if (take < n && IS_LOW_SURROGATE(p[take]) && take > 1)
                        take--;
                }
            }
            if (!PlaceLine(p, take, font, height))
                break;
            p += take + skip;
            n -= take + skip;
        }
        // Past the break: CR LF counts once.
        pos = stop;
        if (pos < end && text[pos] == L'\r' && pos + 1 < end && text[pos + 1] == L'\n')
            pos += 2;
        else if (pos < end)
            pos++;
        else
            break;
    } while (!failed_);
    SelectObject(dc_, old);
}

int ReportPaginator::Run(ReportLines* lines, bool draw)
{
    draw_ = draw;
    failed_ = false;
    pageOpen_ = false;
    pages_ = 0;
    y_ = area_.top;
    ReportLine line;
    while (!failed_ && lines && lines->Next(&line))
        LayOut(line);
    // An empty report is one empty page.
    if (!failed_ && pages_ == 0)
        NewPage();
    if (!failed_ && pageOpen_)
        EndPage();
    return failed_ ? -1 : pages_;
}
