// The line reader of the previous version's exchange files: line ends of every kind, byte 0xFF
// as text, over-long lines, numbers as the files write them and texts in the ANSI code page.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/exchangegen/exchangegen.h"
#include "import/exchangereader.h"
#include "tests/support/wintest.h"

namespace {

TEST(ExchangeReader, LinesEndAnyWayAndEveryByteIsText)
{
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"CR LF", "a\r\nb\r\n", {"a", "b"}},
        {"LF and no end on the last line", "a\nb", {"a", "b"}},
        {"CR only, an empty line", "a\r\rb\r", {"a", "", "b"}},
        {"mixed", "a\rb\nc\r\nd", {"a", "b", "c", "d"}},
        {"byte 0xFF", "x\xFFy\n\xFF", {"x\xFFy", "\xFF"}},
        {"empty file", "", {}},
    };
    wintest::ScopedTempFolder folder(L"tarnix_exchange_reader");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring path = folder.File(L"lines.zx");
        ASSERT_TRUE(exgen::WriteBytes(path, c.bytes));
        ExchangeReader reader;
        ASSERT_TRUE(reader.Open(path.c_str()));
        std::vector<std::string> lines;
        while (reader.ReadLine()) {
            lines.push_back(reader.Text);
            EXPECT_EQ((int)lines.size(), reader.Line);
        }
        EXPECT_EQ(c.lines, lines);
        EXPECT_EQ((long long)c.bytes.size(), reader.Position());
    }
    // A line over 64 KB: its start is kept and flagged, the next line is read whole.
    std::wstring path = folder.File(L"long.zx");
    ASSERT_TRUE(exgen::WriteBytes(path, std::string(70000, 'x') + "\nnext"));
    ExchangeReader reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    ASSERT_TRUE(reader.ReadLine());
    EXPECT_TRUE(reader.Overlong);
    EXPECT_EQ(kExchangeMaxLine, reader.Text.size());
    ASSERT_TRUE(reader.ReadLine());
    EXPECT_FALSE(reader.Overlong);
    EXPECT_EQ("next", reader.Text);

    struct Number {
        const char* text;
        bool readable;
        int value;
    };
    const Number numbers[] = {{"1758", true, 1758}, {" -12 ", true, -12}, {"+7", true, 7}, {"", false, 0},
                              {"12a", false, 0},    {"x", false, 0},      {"-", false, 0}, {"99999999999", false, 0},
                              {"2147483647", true, 2147483647}};
    for (const Number& n : numbers) {
        int value = 0;
        EXPECT_EQ(n.readable, ParseExchangeInt(n.text, &value)) << n.text;
        if (n.readable) {
            EXPECT_EQ(n.value, value) << n.text;
        }
    }
    // Texts are read in the ANSI code page (cp1250 under the tests' locale) and kept to 63.
    bool cut = false;
    EXPECT_EQ(L"Čeleď", ExchangeText(exgen::Cp1250(L"Čeleď"), &cut));
    EXPECT_FALSE(cut);
    EXPECT_EQ(63u, ExchangeText(std::string(70, 'a'), &cut).size());
    EXPECT_TRUE(cut);
}

}  // namespace
