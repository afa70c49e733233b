// Text inside the report's RTF: what each kind of character becomes, and reading it back.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "reports/rtftext.h"
#include "tests/reports/reportfixture.h"

namespace {

TEST(RtfText, EscapesEachCharacterOnceInTheFormEveryReaderKnows)
{
    ASSERT_EQ(1250u, GetACP());  // the bytes after \u are the Czech code page's
    struct Case
    {
        std::wstring text;
        std::string rtf;
    } cases[] = {
        {L"plain text 123", "plain text 123"},
        {L"a\\b{c}d", "a\\\\b\\{c\\}d"},
        {L"\\par", "\\\\par"},
        {L"Čáp ř", "\\u268\\'c8\\u225\\'e1p \\u345\\'f8"},
        {L"Ørsted α", "\\u216?rsted \\u945?"},           // no such letters in the code page
        {L"a\r\nb\rc\nd", "a\\line b\\line c\\line d"},  // every line break once
        {L"a\tb", "a\\tab b"},
        {std::wstring(L"a\0b", 3), "ab"},                  // a NUL shows nothing
        {L"\xF0B7\xFFFD", "\\u-3913?\\u-3?"},              // above 32767: negative, as RTF counts
        {L"", ""},
    };
    for (const Case& c : cases) {
        std::string out = "x";
        AppendRtfText(&out, c.text);
        EXPECT_EQ("x" + c.rtf, out) << reporttest::Utf8(c.text);
    }
    std::string ansi;
    AppendRtfAnsiText(&ansi, "\xC8\xE1p {x}");  // "Čáp {x}" in the code page
    EXPECT_EQ("\\u268\\'c8\\u225\\'e1p \\{x\\}", ansi);
}

TEST(RtfText, ReadsBackWhatItWrote)
{
    const wchar_t* texts[] = {
        L"a\\b{c}d", L"Čáp ř Ørsted α", L"řádek 1\r\nřádek 2", L"tab\there", L"\xF0B7 end", L"",
    };
    for (const wchar_t* text : texts) {
        std::string rtf;
        AppendRtfText(&rtf, text);
        rtf += "\\par\r\n";
        EXPECT_EQ(std::wstring(text), RtfLineText(rtf.data(), rtf.size())) << rtf;
    }
    // The search description's own forms: control words it does not know show nothing.
    std::string description = "{\\b Rod}: Carabus, \\'c8\\'e1p\\~x\\par\r\n";
    EXPECT_EQ(L"Rod: Carabus, Čápx", RtfLineText(description.data(), description.size()));
}

}  // namespace
