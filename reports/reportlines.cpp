// The report's lines, stage by stage (see reportlines.h).
#include "reports/reportlines.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <algorithm>

#include "core/containers.h"
#include "core/fields.h"
#include "core/itempath.h"
#include "core/textutil.h"
#include "mainapp/zm_protocol.h"
#include "reports/exportcells.h"
#include "reports/rtftext.h"

namespace {

// Stages of a report, in order.
enum ReportStage
{
    STAGE_HEADER = 0,     // the document's own start (written by the RTF stream only)
    STAGE_HEADING = 1,    // "Zadání"
    STAGE_SPECIES = 2,    // "Nálezy druhů: " and the systematic item
    STAGE_LOCALITY = 3,   // "Nálezy z lokalit: " and the locality item
    STAGE_CRITERIA = 4,   // "Kritéria výběru:" and the search description
    STAGE_ROWS = 5,       // one line per row
    STAGE_ABBREVS = 6,    // the abbreviations used
    STAGE_END = 7,
};

enum ReportStringId
{
    IDS_REPORT_HEADING_TEXT = 830,
    IDS_REPORT_SPECIES_TEXT = 831,
    IDS_REPORT_LOCALITY_TEXT = 832,
    IDS_REPORT_CRITERIA_TEXT = 833,
};

// Columns of the records view that name a record's taxon and locality.
const long kSysIdOrdinal = 1;
const long kFtrIdOrdinal = 2;

void AppendResourceString(HINSTANCE instance, UINT id, std::wstring* out)
{
    const wchar_t* text = nullptr;
    int length = LoadStringW(instance, id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length > 0 && text)
        out->append(text, (size_t)length);
}

void AppendAnsi(const char* text, std::wstring* out)
{
    if (!text || !*text)
        return;
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 1)
        return;
    size_t at = out->size();
    out->resize(at + (size_t)n);
    MultiByteToWideChar(CP_ACP, 0, text, -1, &(*out)[at], n);
    out->resize(at + (size_t)n - 1);
}

bool IsColumn(const CFieldBase* base, const wchar_t* table, const wchar_t* field)
{
    const CFieldInfo* info = static_cast<const CFieldInfo*>(base);
    return _wcsicmp(info->Field, field) == 0 && _wcsicmp(info->TableName, table) == 0;
}

void ReadValue(zdata::Fields* fields, long ordinal, VARIANT* value)
{
    VariantInit(value);
    zdata::Field* field = nullptr;
    if (!fields || ordinal < 0 || FAILED(fields->Item(ordinal, &field)) || !field)
        return;
    if (FAILED(field->get_Value(value))) {
        VariantClear(value);
        VariantInit(value);
    }
    field->Release();
}

// Cuts a text to at most max characters, never inside a surrogate pair.
std::wstring Cut(const std::wstring& text, size_t max)
{
    if (text.size() <= max)
        return text;
    size_t n = max;
    if (n > 0 && IS_HIGH_SURROGATE(text[n - 1]))
        n--;
    return text.substr(0, n);
}

// A value's text as the exports write it: the user's short date, "Ano"/"Ne", numbers in the
// user's format, texts whole; through the column's formatter when it has one.
void AppendCellText(CellTexts* cells, CDispField* disp, const VARIANT& value, std::wstring* out)
{
    ExportColumn column = {};
    column.Disp = disp;
    std::wstring piece;
    cells->Text(column, value, &piece);
    out->append(piece);
}

std::wstring VariantText(const VARIANT* value)
{
    std::wstring text;
    if (value) {
        CellTexts cells(nullptr);
        AppendCellText(&cells, nullptr, *value, &text);
    }
    return text;
}

// The ANSI bytes of a text cut to size - 1 bytes.
void ToAnsi(const std::wstring& text, char* out, int size)
{
    WideToAnsi(text.c_str(), out, size);
}

int ComparePairs(const AbbrevPair& a, const AbbrevPair& b)
{
    int c = strcmp(a.Abbrev, b.Abbrev);
    if (!c)
        c = strcmp(a.Name, b.Name);
    if (!c)
        c = wcscmp(a.WideAbbrev, b.WideAbbrev);
    if (!c)
        c = wcscmp(a.WideName, b.WideName);
    return c;
}

// The locality path's hooks: which levels show abbreviations, and where used pairs go.
struct PathHooks
{
    const CPtrArray* fields;
    AbbrevPairList* pairs;
};

bool HookUsesAbbrev(void* context, const wchar_t* levelName)
{
    return LevelUsesAbbrev(static_cast<PathHooks*>(context)->fields, levelName);
}

void HookAdd(void* context, const VARIANT* name, const VARIANT* abbrev)
{
    AddAbbreviation(static_cast<PathHooks*>(context)->pairs, name, abbrev);
}

}  // namespace

// ---- print fields and abbreviation pairs ----

BYTE GetPrintFieldAbbrev(const CPtrArray* fields, const wchar_t* name)
{
    if (!fields || !name)
        return 0;
    for (int i = 0; i < fields->GetCount(); i++) {
        const PrintField* field = static_cast<const PrintField*>(fields->GetItems()[i]);
        if (field && wcscmp(field->FieldName, name) == 0)
            return field->Abbrev;
    }
    return 0;
}

bool LevelUsesAbbrev(const CPtrArray* fields, const wchar_t* levelName)
{
    return GetPrintFieldAbbrev(fields, levelName) != 0;
}

bool AddAbbreviation(AbbrevPairList* list, const VARIANT* name, const VARIANT* abbrev)
{
    if (!list)
        return false;
    AbbrevPair pair = {};
    std::wstring wideAbbrev = Cut(VariantText(abbrev), 31);
    std::wstring wideName = Cut(VariantText(name), 63);
    wcscpy(pair.WideAbbrev, wideAbbrev.c_str());
    wcscpy(pair.WideName, wideName.c_str());
    ToAnsi(wideAbbrev, pair.Abbrev, (int)sizeof(pair.Abbrev));
    ToAnsi(wideName, pair.Name, (int)sizeof(pair.Name));

    AbbrevPair* end = list->Pairs + list->Count;
    AbbrevPair* at = std::lower_bound(list->Pairs, end, pair, [](const AbbrevPair& a, const AbbrevPair& b) {
        return ComparePairs(a, b) < 0;
    });
    if (at != end && ComparePairs(*at, pair) == 0)
        return false;
    size_t index = (size_t)(at - list->Pairs);
    if (list->Count == list->Capacity) {
        int capacity = list->Capacity + 32;
        AbbrevPair* grown = static_cast<AbbrevPair*>(realloc(list->Pairs, sizeof(AbbrevPair) * (size_t)capacity));
        if (!grown)
            return false;
        list->Pairs = grown;
        list->Capacity = capacity;
    }
    memmove(list->Pairs + index + 1, list->Pairs + index, sizeof(AbbrevPair) * ((size_t)list->Count - index));
    list->Pairs[index] = pair;
    list->Count++;
    return true;
}

void ClearAbbreviations(AbbrevPairList* list)
{
    if (list)
        list->Count = 0;
}

void FreeAbbreviations(AbbrevPairList* list)
{
    if (!list)
        return;
    free(list->Pairs);
    *list = AbbrevPairList();
}

// ---- the walk ----

ReportLines::ReportLines(const ReportOptions& options, zdata::Recordset* rows, AbbrevPairList* pairs)
    : options_(options), rows_(nullptr), pairs_(pairs), stage_(STAGE_HEADER), lineNumber_(0),
      rowsDone_(0), rowCount_(0), criteria_(nullptr), criteriaPos_(0), cells_(options.Instance),
      repeatHeading_(false), headingPos_(0)
{
    // A cursor of our own: the list's cursor moves with every cell the list view draws. A list
    // that was closed gives none, and the report has no rows.
    if (rows && SUCCEEDED(rows->Clone(&rows_)) && rows_) {
        rows_->MoveFirst();
        long count = 0;
        if (SUCCEEDED(rows_->get_RecordCount(&count)))
            rowCount_ = count;
    }
    // Room for an item's name and path in the ANSI code page, whatever the hierarchy's depth.
    int span = 0;
    for (int card = ZM_CARD_SYS; card <= ZM_CARD_LOC; card++) {
        int s = 0;
        if (options_.Owner)
            SendMessageW(options_.Owner, ZM_GET_LEVEL_SPAN, (WPARAM)card, (LPARAM)&s);
        span = std::max(span, s);
    }
    pathBuffer_.assign((size_t)std::max(512, 2 * (span + 136)), '\0');
}

ReportLines::~ReportLines()
{
    free(criteria_);
    if (rows_)
        rows_->Release();
}

void ReportLines::Advance()
{
    stage_++;
    lineNumber_ = 0;
}

bool ReportLines::InHeading() const
{
    return stage_ > STAGE_HEADER && stage_ < STAGE_ROWS;
}

void ReportLines::RepeatHeading(const std::vector<ReportLine>& heading)
{
    heading_ = heading;
    repeatHeading_ = true;
    headingPos_ = 0;
}

bool ReportLines::Next(ReportLine* line)
{
    line->Kind = REPORT_BODY;
    line->Text.clear();
    line->Rtf.clear();
    if (repeatHeading_ && stage_ < STAGE_ROWS) {
        if (headingPos_ < heading_.size()) {
            *line = heading_[headingPos_++];
            stage_ = STAGE_HEADING;
            return true;
        }
        stage_ = STAGE_ROWS;
        lineNumber_ = 0;
    }
    for (;;) {
        bool header = options_.Header == 1;
        bool made = false;
        switch (stage_) {
        case STAGE_HEADER: break;
        case STAGE_HEADING: made = header && HeadingLine(line); break;
        case STAGE_SPECIES:
            made = header && options_.ListKind == REPORT_SPECIES_RECORDS &&
                   ItemLine(ZM_CARD_SYS, IDS_REPORT_SPECIES_TEXT, line);
            break;
        case STAGE_LOCALITY:
            made = header && options_.ListKind == REPORT_LOCALITY_RECORDS &&
                   ItemLine(ZM_CARD_LOC, IDS_REPORT_LOCALITY_TEXT, line);
            break;
        case STAGE_CRITERIA:
            made = header && options_.ListKind == REPORT_SEARCH_RESULTS && CriteriaLine(line);
            break;
        case STAGE_ROWS: made = rows_ && RowLine(line); break;
        case STAGE_ABBREVS: made = options_.AbbrevList == 1 && pairs_ && AbbrevLine(line); break;
        default: return false;
        }
        if (made) {
            lineNumber_++;
            return true;
        }
        Advance();
    }
}

bool ReportLines::HeadingLine(ReportLine* line)
{
    if (lineNumber_ > 0)
        return false;
    line->Kind = REPORT_TITLE;
    AppendResourceString(options_.Instance, IDS_REPORT_HEADING_TEXT, &line->Text);
    return true;
}

bool ReportLines::ItemLine(int card, UINT prefixId, ReportLine* line)
{
    if (lineNumber_ > 1)
        return false;
    if (lineNumber_ == 0) {
        AppendResourceString(options_.Instance, prefixId, &line->Text);
        char name[kZmItemNameBytes] = "";
        if (options_.Owner)
            SendMessageW(options_.Owner, ZM_GET_CURRENT_ITEM_NAME, (WPARAM)card, (LPARAM)name);
        name[kZmItemNameBytes - 1] = '\0';
        AppendAnsi(name, &line->Text);
    }
    // The second line is empty: a blank line before the rows.
    return true;
}

bool ReportLines::CriteriaLine(ReportLine* line)
{
    if (lineNumber_ == 0) {
        AppendResourceString(options_.Instance, IDS_REPORT_CRITERIA_TEXT, &line->Text);
        free(criteria_);
        criteria_ = nullptr;
        criteriaPos_ = 0;
        if (options_.Owner)
            SendMessageW(options_.Owner, ZM_GET_CRITERIA_TEXT, 0, (LPARAM)&criteria_);
        return true;
    }
    // The description is RTF already: each of its lines goes out as it is.
    if (!criteria_ || !criteria_[criteriaPos_]) {
        free(criteria_);
        criteria_ = nullptr;
        return false;
    }
    const char* start = criteria_ + criteriaPos_;
    const char* end = strstr(start, "\r\n");
    size_t length = end ? (size_t)(end - start) + 2 : strlen(start);
    criteriaPos_ += length;
    line->Kind = REPORT_RTF;
    line->Rtf.assign(start, length);
    line->Text = RtfLineText(start, length);
    return true;
}

bool ReportLines::RowLine(ReportLine* line)
{
    if (rows_->IsEOF())
        return false;
    zdata::Fields* fields = nullptr;
    if (FAILED(rows_->get_Fields(&fields)) || !fields)
        return false;
    size_t count = options_.Columns.size();
    for (size_t i = 0; i < count; i++) {
        AppendColumn(options_.Columns[i], fields, &line->Text);
        if (i + 1 < count)
            line->Text += options_.Separator;
    }
    fields->Release();
    rows_->MoveNext();
    rowsDone_++;
    return true;
}

void ReportLines::AppendColumn(const ReportColumn& column, zdata::Fields* fields, std::wstring* text)
{
    CDispField* disp = column.Field;
    CFieldBase* base = disp ? disp->Field : nullptr;
    if (!base)
        return;
    if (base->Kind == FIELD_COMPOSED) {
        if (disp->ValueFormatter)
            AppendCellText(&cells_, disp, RowFieldsVariant(fields), text);
        return;
    }
    if (base->Kind != FIELD_DATABASE)
        return;
    if (!column.Abbrev && options_.System == 1 && IsColumn(base, L"SPECIES", L"NAME")) {
        AppendItemPath(ZM_CARD_SYS, kSysIdOrdinal, fields, text);
        return;
    }
    if (!column.Abbrev && options_.Location == 1 && IsColumn(base, L"FEATURES", L"NAME")) {
        AppendItemPath(ZM_CARD_LOC, kFtrIdOrdinal, fields, text);
        return;
    }
    VARIANT value;
    ReadValue(fields, static_cast<CFieldInfo*>(base)->ColumnOrdinal, &value);
    if (column.Abbrev) {
        ZmLookupValueRequest request;
        request.Field = disp;
        request.Value = value;  // borrowed for the request
        VariantInit(&request.Result);
        if (options_.Owner)
            SendMessageW(options_.Owner, ZM_LOOKUP_FIELD_VALUE, 0, (LPARAM)&request);
        if (V_VT(&request.Result) == VT_BSTR) {
            AppendCellText(&cells_, nullptr, request.Result, text);
            AddAbbreviation(pairs_, &value, &request.Result);
            VariantClear(&request.Result);
            VariantClear(&value);
            return;
        }
        VariantClear(&request.Result);
    }
    AppendCellText(&cells_, disp, value, text);
    VariantClear(&value);
}

void ReportLines::AppendItemPath(int card, long idOrdinal, zdata::Fields* fields, std::wstring* text)
{
    VARIANT id;
    ReadValue(fields, idOrdinal, &id);
    PathHooks hooks = {options_.PrintFields, pairs_};
    LocPathAbbrevs abbrevs = {HookUsesAbbrev, HookAdd, &hooks};
    ZmItemPathRequest request = {VariantToInt(&id), pathBuffer_.data(), (int)pathBuffer_.size(),
                                 card == ZM_CARD_LOC ? &abbrevs : nullptr, 0};
    VariantClear(&id);
    pathBuffer_[0] = '\0';
    if (options_.Owner)
        SendMessageW(options_.Owner, ZM_GET_ITEM_PATH, (WPARAM)card, (LPARAM)&request);
    pathBuffer_.back() = '\0';
    AppendAnsi(pathBuffer_.data(), text);
}

bool ReportLines::AbbrevLine(ReportLine* line)
{
    if (pairs_->Count == 0 || lineNumber_ > pairs_->Count)
        return false;
    // A blank line first, then one line per pair.
    if (lineNumber_ > 0) {
        const AbbrevPair& pair = pairs_->Pairs[lineNumber_ - 1];
        line->Text = pair.WideAbbrev;
        line->Text += L' ';
        line->Text += pair.WideName;
    }
    return true;
}
