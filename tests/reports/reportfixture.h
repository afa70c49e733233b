// What the report tests work on: a record list in a fresh database file with a column of each
// kind a report meets, opened as the program opens its lists (a read-only keyset), its display
// fields, and a stand-in for the main form that answers the report's private messages with
// known texts and records what it was asked.
#pragma once
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "core/containers.h"
#include "core/fields.h"
#include "core/itempath.h"
#include "dataaccess/ado.h"
#include "shellcontract/zm_protocol.h"
#include "reports/reportlines.h"
#include "reports/rtfreport.h"
#include "tests/support/wintest.h"

namespace reporttest {

// UTF-8 of a wide text, for messages.
inline std::string Utf8(const std::wstring& text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), nullptr, 0, nullptr, nullptr);
    std::string out((size_t)(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), &out[0], n, nullptr, nullptr);
    return out;
}

// The list's columns in their order: ID, SYSID, FTRID, then these (ordinals 3 on).
struct ColumnSpec
{
    const wchar_t* caption;
    const wchar_t* column;
    const wchar_t* table;  // the table a report looks at for paths
    const wchar_t* decl;
};
const ColumnSpec kColumns[] = {
    {L"Druh", L"NAME", L"SPECIES", L"VARCHAR(63)"},
    {L"Lokalita", L"NAME", L"FEATURES", L"VARCHAR(62)"},
    {L"Metoda", L"METODA", L"ZORNACOLLS", L"VARCHAR(40)"},
    {L"Počet", L"POCET", L"ZORNACOLLS", L"INTEGER"},
    {L"Datum", L"DATUM", L"ZORNACOLLS", L"DATETIME"},
    {L"Doklad", L"DOKLAD", L"ZORNACOLLS", L"BOOLEAN"},
    {L"Poznámka", L"RECNOTE", L"ZORNACOLLS", L"TEXT"},
};
const int kColumnCount = 7;
const long kFirstColumn = 3;

// One record: taxon id, locality id and the values of the columns (null for NULL).
struct Row
{
    int sysId;
    int ftrId;
    std::vector<const wchar_t*> values;  // as SQL literals, e.g. L"'Čáp'", L"12", L"NULL"
};

class ReportList
{
public:
    explicit ReportList(const wchar_t* folderName)
        : fields_(16, 4), infos_(16, 4)
    {
        folder_ = wintest::MakeTempFolder(folderName);
        path_ = folder_ + L"\\lists.db";
        EXPECT_EQ(S_OK, zdata::CreateDatabaseFile(path_.c_str()));
        conn_ = zdata::Connection::Create();
        std::wstring connect = L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path_ + L";";
        EXPECT_EQ(S_OK, conn_->Open(connect.c_str(), L"", L"", adConnectUnspecified));
        std::wstring create = L"CREATE TABLE LISTA (ID INTEGER PRIMARY KEY, SYSID INTEGER, FTRID INTEGER";
        for (int i = 0; i < kColumnCount; i++)
            create += L", C" + std::to_wstring(i) + L" " + kColumns[i].decl;
        create += L")";
        Exec(create);
        for (int i = 0; i < kColumnCount; i++) {
            CFieldInfo* info = new CFieldInfo(kColumns[i].column, kColumns[i].table);
            lstrcpynW(info->Name, kColumns[i].caption, 64);
            info->ColumnOrdinal = kFirstColumn + i;
            infos_.Add(info);
            CDispField* disp = new CDispField(info);
            disp->Visible = 1;
            fields_.Add(disp);
        }
    }
    ~ReportList()
    {
        fields_.RemoveAll(1);
        infos_.RemoveAll(1);
        if (conn_) {
            conn_->Close();
            conn_->Release();
        }
        wintest::RemoveFolder(folder_);
    }
    ReportList(const ReportList&) = delete;
    ReportList& operator=(const ReportList&) = delete;

    void Exec(const std::wstring& sql)
    {
        EXPECT_EQ(S_OK, conn_->Execute(sql.c_str(), nullptr, adExecuteNoRecords, nullptr)) << Utf8(sql);
    }
    void Add(const Row& row)
    {
        std::wstring sql = L"INSERT INTO LISTA (SYSID, FTRID";
        for (size_t i = 0; i < row.values.size(); i++)
            sql += L", C" + std::to_wstring(i);
        sql += L") VALUES (" + std::to_wstring(row.sysId) + L", " + std::to_wstring(row.ftrId);
        for (const wchar_t* v : row.values)
            sql += std::wstring(L", ") + (v ? v : L"NULL");
        sql += L")";
        Exec(sql);
    }
    // The list as the program opens it, in the order of its ids; the caller releases it.
    zdata::Recordset* Open()
    {
        zdata::Recordset* rs = zdata::Recordset::Create();
        rs->put_CursorLocation(adUseServer);
        EXPECT_EQ(S_OK, rs->Open(L"SELECT * FROM LISTA ORDER BY ID", conn_, adOpenKeyset, adLockReadOnly));
        return rs;
    }
    CObjArray* Fields() { return &fields_; }
    CDispField* Field(int i) { return static_cast<CDispField*>(fields_.GetItems()[i]); }
    // The report's columns: those named by index, with abbreviations where asked.
    std::vector<ReportColumn> Columns(std::vector<int> indexes, std::vector<int> abbreviated = {})
    {
        std::vector<ReportColumn> columns;
        for (int i : indexes) {
            bool abbrev = false;
            for (int a : abbreviated)
                abbrev = abbrev || a == i;
            columns.push_back(ReportColumn{Field(i), abbrev});
        }
        return columns;
    }
    const std::wstring& Folder() const { return folder_; }

private:
    std::wstring folder_, path_;
    zdata::Connection* conn_ = nullptr;
    CObjArray fields_;
    CObjArray infos_;
};

// The main form as the report sees it: known answers, and a record of what it was asked.
struct FakeOwner
{
    std::string ItemName[2];                     // ZM_GET_CURRENT_ITEM_NAME, 8-bit
    std::string Criteria;                        // ZM_GET_CRITERIA_TEXT; empty: null
    std::map<std::wstring, std::wstring> Abbrevs;  // ZM_LOOKUP_FIELD_VALUE: value -> abbreviation
    std::wstring PathPrefix[2] = {L"cesta ", L"místo "};  // ZM_GET_ITEM_PATH: prefix + id
    // ZM_GET_ITEM_PATH of a locality: each level consulted through the hooks, abbreviated ones
    // by their abbreviation (level name, item name, abbreviation).
    struct Level
    {
        std::wstring Name, Item, Abbrev;
    };
    std::vector<Level> Levels;
    int LevelSpan = 200;
    std::vector<int> PathIds[2];
    int CriteriaAsked = 0;
    int LookupsAsked = 0;
    HWND Window = nullptr;

    FakeOwner();
    ~FakeOwner();
    FakeOwner(const FakeOwner&) = delete;
    FakeOwner& operator=(const FakeOwner&) = delete;
};

// The options of a report of the list: every column shown, no heading, the search list.
inline ReportOptions OptionsFor(const FakeOwner& owner, std::vector<ReportColumn> columns)
{
    ReportOptions options;
    options.Owner = owner.Window;
    options.Instance = GetModuleHandleW(nullptr);
    options.Header = 0;
    options.ListKind = REPORT_SEARCH_RESULTS;
    options.Columns = std::move(columns);
    options.Separator = L"; ";
    return options;
}

inline RtfReportFormat FormatOf(const wchar_t* face = L"Arial", int body = 20, int title = 28)
{
    RtfReportFormat format;
    format.FaceName = face;
    format.BodySize = body;
    format.TitleSize = title;
    return format;
}

// The whole document, read in pieces of the given size.
std::string StreamReport(const ReportOptions& options, zdata::Recordset* rows, AbbrevPairList* pairs,
                         const RtfReportFormat& format, int pieceSize);

// The lines of a report as its paginator gets them.
std::vector<ReportLine> ReportLinesOf(const ReportOptions& options, zdata::Recordset* rows,
                                      AbbrevPairList* pairs);

// The text of a RichEdit control (EM_GETTEXTEX: paragraphs end in CR).
std::wstring RichEditText(HWND control);

// A document streamed into a real RichEdit 2.0 control, and the control's text back.
std::wstring TextThroughRichEdit(const std::string& rtf);

}  // namespace reporttest
