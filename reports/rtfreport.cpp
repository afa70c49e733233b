// The report's RTF, streamed line by line (see rtfreport.h).
#include "reports/rtfreport.h"

#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "reports/rtftext.h"

const char kRtfReportClosing[] = "\r\n\\par}";

namespace {

// A face name for the font table: ASCII as it is, the table's own delimiters and anything else
// as \'hh of its ANSI byte, at most 32 bytes of name.
std::string FontTableName(const std::wstring& face)
{
    std::string out;
    int bytes = 0;
    for (wchar_t c : face) {
        if (bytes >= 32 || c == 0)
            break;
        if (c >= 0x20 && c < 0x80 && c != L'\\' && c != L'{' && c != L'}' && c != L';') {
            out.push_back((char)c);
        } else {
            char b = '?';
            BOOL lost = FALSE;
            if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &c, 1, &b, 1, "?", &lost) != 1)
                b = '?';
            char hex[8];
            snprintf(hex, sizeof(hex), "\\'%02x", (unsigned char)b);
            out += hex;
        }
        bytes++;
    }
    return out;
}

}  // namespace

std::string RtfReportHeader(const RtfReportFormat& format)
{
    std::string face = FontTableName(format.FaceName);
    std::string header = "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl{\\f0\\fnil MS Sans Serif;}"
                         "{\\f1\\froman\\fcharset2 Symbol;}{\\f2\\fswiss\\fcharset1 ";
    header += face;
    char part[64];
    snprintf(part, sizeof(part), ";}{\\f3\\fswiss\\fcharset%d ", format.CharSet);
    header += part;
    header += face;
    header += ";}}\r\n{\\colortbl\\red0\\green0\\blue0;}\r\n\\deflang1033\\pard";
    snprintf(part, sizeof(part), "\\plain\\f2\\fs%d ", format.BodySize);
    header += part;
    return header;
}

void AppendRtfReportLine(const ReportLine& line, const RtfReportFormat& format, std::string* out)
{
    char control[64];
    switch (line.Kind) {
    case REPORT_TITLE:
        snprintf(control, sizeof(control), "\\plain\\f2\\fs%d\\b\\ul ", format.TitleSize);
        *out += control;
        AppendRtfText(out, line.Text);
        snprintf(control, sizeof(control), "\r\n\\par\\plain\\f2\\fs%d ", format.BodySize);
        *out += control;
        break;
    case REPORT_RTF:
        *out += line.Rtf;
        break;
    default:
        AppendRtfText(out, line.Text);
        out->append("\\par\r\n", 6);
        break;
    }
}

RtfReport::RtfReport(ReportLines* lines, const RtfReportFormat& format, char** lineBuffer,
                     int* lineCapacity)
    : lines_(lines), format_(format), lineBuffer_(lineBuffer), lineCapacity_(lineCapacity),
      lineLength_(0), linePos_(0), lineReady_(false), part_(PART_HEADER)
{
}

void RtfReport::SetLine(const std::string& text)
{
    int need = (int)text.size() + 1;
    if (!*lineBuffer_ || *lineCapacity_ < need) {
        int capacity = *lineCapacity_ > 0 ? *lineCapacity_ : 256;
        while (capacity < need)
            capacity *= 2;
        char* grown = static_cast<char*>(realloc(*lineBuffer_, (size_t)capacity));
        if (!grown) {
            lineLength_ = 0;
            return;
        }
        *lineBuffer_ = grown;
        *lineCapacity_ = capacity;
    }
    memcpy(*lineBuffer_, text.data(), text.size());
    (*lineBuffer_)[text.size()] = '\0';
    lineLength_ = (int)text.size();
}

bool RtfReport::MakeLine()
{
    scratch_.clear();
    switch (part_) {
    case PART_HEADER:
        scratch_ = RtfReportHeader(format_);
        part_ = PART_LINES;
        break;
    case PART_LINES:
        if (lines_ && lines_->Next(&line_)) {
            AppendRtfReportLine(line_, format_, &scratch_);
            break;
        }
        scratch_ = kRtfReportClosing;
        part_ = PART_CLOSING;
        break;
    case PART_CLOSING:
        part_ = PART_DONE;
        return false;
    case PART_DONE:
        return false;
    }
    SetLine(scratch_);
    linePos_ = 0;
    return true;
}

bool RtfReport::EmitLine(char* buffer, int room, int* written)
{
    int rest = lineLength_ - linePos_;
    int n = rest <= room ? rest : room;
    if (n > 0)
        memcpy(buffer, *lineBuffer_ + linePos_, (size_t)n);
    *written = n;
    linePos_ += n;
    return linePos_ >= lineLength_;
}

int RtfReport::GenerateReport(char* buffer, int size)
{
    int total = 0;
    while (total < size) {
        if (!lineReady_) {
            if (!MakeLine())
                break;
            lineReady_ = true;
        }
        int written = 0;
        bool complete = EmitLine(buffer + total, size - total, &written);
        total += written;
        if (!complete)
            break;
        lineReady_ = false;
    }
    return total;
}
