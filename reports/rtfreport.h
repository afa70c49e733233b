// The report as 8-bit RTF, handed out in pieces of whatever size the reader asks for: the
// document's header, one RTF line per line of the report (reports/reportlines.h) and the
// closing. Only the current line is held, in a line buffer that grows to the longest line.
#pragma once
#include <string>

#include "reports/reportlines.h"

struct RtfReportFormat
{
    std::wstring FaceName;  // the report font
    int CharSet = 0;
    int BodySize = 20;      // half points
    int TitleSize = 28;
};

class RtfReport
{
public:
    // The line buffer (*lineBuffer with *lineCapacity bytes, malloc'd) is the caller's; it is
    // grown with realloc when a line needs more.
    RtfReport(ReportLines* lines, const RtfReportFormat& format, char** lineBuffer, int* lineCapacity);

    // Fills the buffer with the next bytes of the document and returns their count; 0 once the
    // document has been handed out whole (or when no byte fits).
    int GenerateReport(char* buffer, int size);

    bool Finished() const { return part_ == PART_DONE; }

private:
    enum Part { PART_HEADER, PART_LINES, PART_CLOSING, PART_DONE };
    // Makes the next RTF line into the line buffer; false when there is none.
    bool MakeLine();
    // Copies as much of the current line as fits from its position; true when the rest of the
    // line fitted (the line is then done), false when the reader must ask again.
    bool EmitLine(char* buffer, int room, int* written);
    void SetLine(const std::string& text);

    ReportLines* lines_;
    RtfReportFormat format_;
    char** lineBuffer_;
    int* lineCapacity_;
    int lineLength_;
    int linePos_;
    bool lineReady_;
    Part part_;
    ReportLine line_;
    std::string scratch_;
};

// The report's RTF header: font table (report font as \f2 and \f3), colour table, body size.
std::string RtfReportHeader(const RtfReportFormat& format);
// RTF of one line of the report, as RtfReport writes it.
void AppendRtfReportLine(const ReportLine& line, const RtfReportFormat& format, std::string* out);
// The document's end.
extern const char kRtfReportClosing[];
