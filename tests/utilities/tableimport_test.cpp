// A sheet of an Excel workbook imported row by row into copies of the sample database through
// the import frame: its rows become taxa, localities and records, and a cancel or a failure
// leaves the file exactly as it was.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/impsource.h"
#include "import/importrun.h"
#include "import/tablesource.h"
#include "tests/support/wintest.h"
#include "tests/utilities/tablebook.h"
#include "tests/utilities/tarnixtest.h"
#include "tests/utilities/testimpsource.h"

namespace {

using namespace tarnixtest;
using importtest::LogFolder;
using importtest::RecordingSink;

// A workbook whose sheet "Nálezy" has a header row and one row per entry (species, locality, note).
void MakeBook(const std::wstring& path, const std::vector<std::vector<std::wstring>>& rows)
{
    std::vector<std::vector<tabletest::Cell>> cells = {{L"Druh", L"Lokalita", L"Poznámka"}};
    for (const std::vector<std::wstring>& row : rows)
        cells.emplace_back(row.begin(), row.end());
    tabletest::WriteBook(path, L"Nálezy", cells);
}

ImportOutcome ImportSheet(const std::wstring& db, const std::wstring& book, int cancelAtPercent)
{
    LogFolder logs;
    LoadedStructure structure(db);
    EXPECT_NO_FATAL_FAILURE(structure.Open());
    ImportJob job = {};
    InitImportJob(&job, &structure.Db(), &structure.Model());
    IImpSource* source = CreateTableSource(Inst(), IMPSRC_EXCEL);
    job.Source = source;
    job.SourceType = IMPSRC_EXCEL;
    EXPECT_TRUE(OpenImportSource(&job, book.c_str()));
    job.GroupKinds[0] = source->FillGroup(1, job.GroupItems[0], nullptr);
    EXPECT_EQ(1, job.GroupItems[0]->GetCount());
    job.TableName = _wcsdup(L"Nálezy");
    job.GroupKinds[1] = source->FillGroup(2, job.GroupItems[1], job.TableName);
    const struct {
        int group;
        const wchar_t* column;
    } targets[] = {{COLGROUP_SPECIES, L"NAME"}, {COLGROUP_FEATURES, L"NAME"}, {COLGROUP_RECORDS, L"RECNOTE"}};
    EXPECT_EQ(3, job.GroupItems[1]->GetCount());
    for (int i = 0; i < 3 && i < job.GroupItems[1]->GetCount(); ++i) {
        SourceColumn* c = static_cast<SourceColumn*>(job.GroupItems[1]->GetItems()[i]);
        c->TargetGroup = targets[i].group;
        wcscpy(c->TargetColumn, targets[i].column);
        c->TargetType = i == 2 ? 6 : 4;
    }
    RecordingSink sink;
    sink.cancelAtPercent = cancelAtPercent;
    ImportOutcome outcome = RunImportFrame(&job, &sink);
    FreeImportJob(&job);
    return outcome;
}

TEST(TableImport, ASheetsRowsBecomeRecordsOrNothingAtAll)
{
    const std::vector<std::vector<std::wstring>> rows = {
        {L"Carabus novus Novák, 1901", L"Nové Místo", L"první"},
        {L"Carabus novus", L"Nové Místo", L"druhý"},
        {L"Carabus alter", L"Jiné Místo", L"třetí"},
        {L"Carabus tertius", L"Třetí Místo", L"čtvrtý"},
    };
    const struct {
        const char* name;
        const wchar_t* trigger;
        int cancelAt;
        ImportOutcome outcome;
    } cases[] = {
        {"committed", nullptr, -1, IMPORT_COMMITTED},
        {"cancel", nullptr, 40, IMPORT_CANCELLED},
        {"rollback", L"CREATE TRIGGER ZOR_TEST BEFORE INSERT ON LOCTREE WHEN NEW.NAME = 'Jiné Místo' "
                     L"BEGIN SELECT RAISE(ROLLBACK, 'zkouška'); END",
         -1, IMPORT_FAILED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SampleCopy copy;
        wintest::ScopedTempFolder folder(L"tableimport_book");
        std::wstring book = folder.File(L"nálezy.xls");
        ASSERT_NO_FATAL_FAILURE(MakeBook(book, rows));
        if (c.trigger) {
            ASSERT_TRUE(dbtest::Exec(copy.Path(), c.trigger));
        }
        long long records = dbtest::QueryInt(copy.Path(), L"SELECT COUNT(*) FROM ZORNACOLLS");
        std::wstring before = DumpDatabase(copy.Path());
        EXPECT_EQ(c.outcome, ImportSheet(copy.Path(), book, c.cancelAt));
        if (c.outcome != IMPORT_COMMITTED) {
            EXPECT_TRUE(before == DumpDatabase(copy.Path()));
            continue;
        }
        EXPECT_EQ(records + 4, dbtest::QueryInt(copy.Path(), L"SELECT COUNT(*) FROM ZORNACOLLS"));
        EXPECT_EQ(1, dbtest::QueryInt(copy.Path(), L"SELECT COUNT(*) FROM SPECIES WHERE NAME = 'Carabus novus' AND AUTHOR = 'Novák'"));
        EXPECT_EQ(1, dbtest::QueryInt(copy.Path(), L"SELECT COUNT(*) FROM LOCTREE WHERE NAME = 'Nové Místo'"));
        EXPECT_EQ(2, dbtest::QueryInt(copy.Path(), L"SELECT COUNT(*) FROM ZORNACOLLS Z JOIN LOCTREE L ON L.ID = Z.FTRID "
                                                   L"WHERE L.NAME = 'Nové Místo'"));
    }
}

}  // namespace
