// The attribute table's check: a sound table of the writers' kind, and each kind of damage a
// table cut short or written wrongly shows.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "shapefile/dbfcheck.h"

namespace {

// A dBASE III table of two text fields (5 and 10 bytes wide) and three records.
std::vector<unsigned char> Table()
{
    std::vector<unsigned char> t(32 + 2 * 32 + 1, 0);
    t[0] = 0x03;
    t[4] = 3;                    // records
    t[8] = (unsigned char)t.size();  // header length 97
    t[10] = 1 + 5 + 10;          // record length
    const char* names[] = {"NAZEV", "KOD"};
    const unsigned char widths[] = {5, 10};
    for (int f = 0; f < 2; ++f) {
        unsigned char* d = &t[32 + 32 * f];
        memcpy(d, names[f], strlen(names[f]));
        d[11] = 'C';
        d[16] = widths[f];
    }
    t.back() = 0x0D;
    for (int r = 0; r < 3; ++r) {
        t.push_back(' ');
        for (int i = 0; i < 15; ++i)
            t.push_back((unsigned char)('a' + r));
    }
    t.push_back(0x1A);
    return t;
}

int StateOf(const std::vector<unsigned char>& t, long long expected = -1)
{
    return DbfBytesState(t.data(), t.size(), (long long)t.size(), expected);
}

}  // namespace

TEST(DbfCheck, ASoundTableAndEveryDamage)
{
    EXPECT_EQ(DBF_SOUND, StateOf(Table()));
    EXPECT_EQ(DBF_SOUND, StateOf(Table(), 3));
    struct Damage {
        const char* what;
        std::function<void(std::vector<unsigned char>&)> harm;
        long long expected;
    } damages[] = {
        {"cut in its last record", [](std::vector<unsigned char>& t) { t.resize(t.size() - 6); }, -1},
        {"cut in its header", [](std::vector<unsigned char>& t) { t.resize(60); }, -1},
        {"no version", [](std::vector<unsigned char>& t) { t[0] = 0; }, -1},
        {"a text file", [](std::vector<unsigned char>& t) { memcpy(t.data(), "NAZEV;KOD\r\nBrno;1\r\n", 19); }, -1},
        {"a record length the fields do not give", [](std::vector<unsigned char>& t) { t[10] = 20; }, -1},
        {"a header without its terminator", [](std::vector<unsigned char>& t) { t[96] = 'X'; }, -1},
        {"a header length beyond the file", [](std::vector<unsigned char>& t) { t[9] = 0x40; }, -1},
        {"more records counted than held", [](std::vector<unsigned char>& t) { t[4] = 200; }, -1},
        {"fewer records than the layer's shapes", [](std::vector<unsigned char>&) {}, 4},
        {"no fields", [](std::vector<unsigned char>& t) { t[32] = 0x0D; t[8] = 33; t[10] = 1; }, -1},
    };
    for (const Damage& d : damages) {
        std::vector<unsigned char> t = Table();
        d.harm(t);
        EXPECT_EQ(DBF_DAMAGED, StateOf(t, d.expected)) << d.what;
    }
    EXPECT_EQ(DBF_DAMAGED, DbfBytesState(nullptr, 0, 0, -1));
    EXPECT_EQ(DBF_MISSING, CheckDbfFile(L"C:\\nikde\\zadna_vrstva.shp", -1));
}
