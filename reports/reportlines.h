// The report's content as a sequence of lines: the heading section, one line per row of the
// printed list and the list of abbreviations. The same lines feed the print form's view
// (reports/printform_text.h), the rich text it saves (reports/rtfreport.h) and the paginator
// that prints them (reports/paginator.h), so what is shown, saved and printed is one text.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "reports/exportcells.h"

class CDispField;
class CPtrArray;
namespace zdata { class Recordset; class Fields; }

// One column of the report (or a locality level), kept for every display name ever shown.
struct PrintField
{
    wchar_t FieldName[65];  // at most 64 characters
    BYTE Visible;           // shown in the report
    BYTE Abbrev;            // shown as its abbreviation
    BYTE HasLookup;         // the main form knows lookup values for it
    CDispField* DispField;  // in the current list; null for a level and after closing
};

// The Abbrev byte of the entry of that exact name in a list of PrintField records; 0 when no
// entry has that name.
BYTE GetPrintFieldAbbrev(const CPtrArray* fields, const wchar_t* name);
// Whether the report shows the items of a locality level by their abbreviations.
bool LevelUsesAbbrev(const CPtrArray* fields, const wchar_t* levelName);

// An abbreviation and the text it stands for. The list is ordered by the ANSI bytes of the
// abbreviation, then of the text (and, where those are alike, by the texts themselves, so that
// letters the code page lacks keep their pairs apart).
struct AbbrevPair
{
    char Abbrev[32];
    char Name[64];
    wchar_t WideAbbrev[32];
    wchar_t WideName[64];
};

struct AbbrevPairList
{
    AbbrevPair* Pairs;
    int Count;
    int Capacity;  // grows by 32
};

// Inserts the pair (abbreviation cut to 31 characters, text to 63) in its place; a pair the list
// holds already is not added again. Returns whether it was added.
bool AddAbbreviation(AbbrevPairList* list, const VARIANT* name, const VARIANT* abbrev);
void ClearAbbreviations(AbbrevPairList* list);  // empties the list, keeping its block
void FreeAbbreviations(AbbrevPairList* list);

// What the report shows of its list, in which kind of line.
enum ReportLineKind
{
    REPORT_TITLE = 0,  // the heading: bold and underlined, in the title size
    REPORT_BODY = 1,   // a line in the report font; CR LF inside it breaks the line
    REPORT_RTF = 2,    // a line given as RTF (the search description); Text is its plain text
};

struct ReportLine
{
    int Kind;
    std::wstring Text;
    std::string Rtf;  // REPORT_RTF only
};

// The lists a print form prints (its list kind).
enum ReportListKind
{
    REPORT_SPECIES_RECORDS = 0,
    REPORT_LOCALITY_RECORDS = 1,
    REPORT_SEARCH_RESULTS = 2,
};

// One shown column of a report.
struct ReportColumn
{
    CDispField* Field;
    bool Abbrev;  // shown as the abbreviation of its lookup value
};

// What a run of the report is made from; taken from the print form when the run starts.
struct ReportOptions
{
    HWND Owner = nullptr;          // the main form, which answers the private messages
    HINSTANCE Instance = nullptr;  // strings 830-833, 370, 371
    int Header = 1;
    int System = 0;
    int Location = 0;
    int AbbrevList = 0;
    int ListKind = REPORT_SEARCH_RESULTS;
    std::vector<ReportColumn> Columns;  // the shown columns, in order
    std::wstring Separator;             // between two columns: the list separator and a blank
    const CPtrArray* PrintFields = nullptr;  // levels shown by their abbreviations
};

// Walks the report's stages and makes one line at a time; only the current row is held, so
// the memory it needs does not grow with the list.
class ReportLines
{
public:
    // rows may be null (no list: a report without rows); the walk reads a cursor of its own over
    // them. Pairs of abbreviations used are collected in pairs and listed at the end.
    ReportLines(const ReportOptions& options, zdata::Recordset* rows, AbbrevPairList* pairs);
    ~ReportLines();
    ReportLines(const ReportLines&) = delete;
    ReportLines& operator=(const ReportLines&) = delete;

    // The next line; false after the last one.
    bool Next(ReportLine* line);

    // Whether the line Next gave last belongs to the heading (the lines before the rows).
    bool InHeading() const;
    // The heading is made of the lines an earlier walk gave instead of asking the main form again,
    // so that a report saved or printed later carries the heading that was shown (the main form
    // may show another item or search by then).
    void RepeatHeading(const std::vector<ReportLine>& heading);

    // Progress through the rows: rows done and the list's count (0 or below when unknown).
    long RowsDone() const { return rowsDone_; }
    long RowCount() const { return rowCount_; }
    int Stage() const { return stage_; }

private:
    bool HeadingLine(ReportLine* line);
    bool ItemLine(int card, UINT prefixId, ReportLine* line);
    bool CriteriaLine(ReportLine* line);
    bool RowLine(ReportLine* line);
    bool AbbrevLine(ReportLine* line);
    void AppendColumn(const ReportColumn& column, zdata::Fields* fields, std::wstring* text);
    void AppendItemPath(int card, long idOrdinal, zdata::Fields* fields, std::wstring* text);
    void Advance();

    ReportOptions options_;
    zdata::Recordset* rows_;
    AbbrevPairList* pairs_;
    int stage_;
    int lineNumber_;
    long rowsDone_;
    long rowCount_;
    char* criteria_;  // the search description, malloc'd by the main form
    size_t criteriaPos_;
    std::vector<char> pathBuffer_;
    CellTexts cells_;
    std::vector<ReportLine> heading_;  // the heading repeated
    bool repeatHeading_;
    size_t headingPos_;
};
