// The writers on a full disk (the engine's page limit on every connection they open): each ends
// saying it did not finish, and the database file stays as it was.
#include <windows.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "dataaccess/ado.h"
#include "tests/import/exchangetest.h"
#include "tools/oldersample/olderdb.h"

namespace {

using namespace exchangetest;

// The disk fills up a few pages beyond the file's size when a writer opens it: the writer's
// first steps find room, a later one does not.
class FullDisk {
public:
    FullDisk() : previous_(zdata::SetPageLimitForTests(25)) {}
    ~FullDisk() { zdata::SetPageLimitForTests(previous_); }

private:
    int previous_;
};

std::string Bulk(std::string (*file)(const exgen::BulkOptions&))
{
    exgen::BulkOptions o;
    o.count = 2000;
    return file(o);
}

TEST(FullDisk, EachWriterSaysItDidNotFinishAndLeavesTheFileAsItWas)
{
    const std::wstring diskFull = L"Na disku s databází není dost místa, změna nebyla zapsána.";
    struct Writer {
        const char* name;
        std::function<void(ExchangeImport&)> write;
        UINT said;
    } writers[] = {
        {"records exchange file", [](ExchangeImport& i) { i.Run(IMPSRC_RECORDS_2002, Bulk(exgen::BulkRecordsFile)); },
         IDS_I_IMPORT_FAILED},
        {"taxa exchange file", [](ExchangeImport& i) { i.Run(IMPSRC_SYSTEM_2002, Bulk(exgen::BulkSystemFile)); },
         IDS_I_IMPORT_FAILED},
        {"localities exchange file",
         [](ExchangeImport& i) { i.Run(IMPSRC_LOCALITY_2002, Bulk(exgen::BulkLocalityFile)); }, IDS_I_IMPORT_FAILED},
        {"older database merged",
         [](ExchangeImport& i) {
             zor::OlderDbOptions o;
             o.sample.records = 2000;
             o.sample.seed = 7;
             o.olderLayout = true;
             std::wstring older = i.File(L"starší.mdb"), error;
             ASSERT_TRUE(zor::CreateOlderDatabase(older, o, &error)) << dbtest::Narrow(error);
             i.RunFile(IMPSRC_DATABASE_2010, older);
         },
         IDS_I_IMPORT_FAILED},
    };
    for (const Writer& w : writers) {
        SCOPED_TRACE(w.name);
        ExchangeImport import;
        std::wstring before = DumpDatabase(import.Db());
        {
            FullDisk full;
            w.write(import);
        }
        EXPECT_EQ(w.said, import.finish);
        EXPECT_NE(std::wstring::npos, import.log.find(diskFull)) << dbtest::Narrow(import.log);
        std::wstring after = DumpDatabase(import.Db());
        EXPECT_TRUE(before == after) << FirstDifference(before, after);
    }
}

}  // namespace
