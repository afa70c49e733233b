// Text files as the text source reads them: encodings and line ends giving the same lines, bad
// bytes replaced and flagged, the column list from the caption line, and each field converted by
// its column's target type.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "import/impsource.h"
#include "import/textsource.h"
#include "tests/support/wintest.h"
#include "tests/structure/tarnixtest.h"

namespace {

std::string Bytes(const std::wstring& text, UINT codePage)
{
    int n = WideCharToMultiByte(codePage, 0, text.c_str(), (int)text.size(), nullptr, 0, nullptr, nullptr);
    std::string out((size_t)n, '\0');
    WideCharToMultiByte(codePage, 0, text.c_str(), (int)text.size(), &out[0], n, nullptr, nullptr);
    return out;
}

std::string Utf16(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

void WriteFile(const std::wstring& path, const std::string& bytes)
{
    FILE* f = _wfopen(path.c_str(), L"wb");
    ASSERT_TRUE(f);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

struct ReadResult {
    TextEncoding encoding;
    std::vector<std::wstring> lines;
    std::vector<bool> invalid;
};

ReadResult ReadAll(const std::wstring& path)
{
    ReadResult r{};
    TextLineReader reader;
    EXPECT_TRUE(reader.Open(path.c_str()));
    r.encoding = reader.Encoding();
    std::wstring line;
    bool invalid = false;
    while (reader.ReadLine(line, &invalid)) {
        r.lines.push_back(line);
        r.invalid.push_back(invalid);
    }
    EXPECT_EQ((int)r.lines.size(), reader.LinesRead());
    return r;
}

const std::wstring kCzech = L"Žluťoučký kůň;Čáslav;1 234,5";

TEST(TextSource, EveryEncodingAndLineEndGivesTheSameLines)
{
    wintest::ScopedTempFolder folder(L"textsource_enc");
    const std::vector<std::wstring> expected = {kCzech, L"", L"˙ last"};
    const std::wstring lf = kCzech + L"\n\n" + L"˙ last";
    const std::wstring crlf = kCzech + L"\r\n\r\n" + L"˙ last\r\n";
    const std::wstring cr = kCzech + L"\r\r" + L"˙ last";
    const struct {
        const wchar_t* name;
        std::string bytes;
        TextEncoding encoding;
    } files[] = {
        {L"ansi_lf.txt", Bytes(lf, 1250), TEXTENC_ANSI},
        {L"ansi_cr.txt", Bytes(cr, 1250), TEXTENC_ANSI},
        {L"utf16_crlf.txt", "\xFF\xFE" + Utf16(crlf), TEXTENC_UTF16},
        {L"utf16_cr.txt", "\xFF\xFE" + Utf16(cr), TEXTENC_UTF16},
        {L"utf8_mark.txt", "\xEF\xBB\xBF" + Bytes(crlf, CP_UTF8), TEXTENC_UTF8},
        {L"utf8_plain.txt", Bytes(lf, CP_UTF8), TEXTENC_UTF8},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        WriteFile(folder.File(f.name), f.bytes);
        ReadResult r = ReadAll(folder.File(f.name));
        EXPECT_EQ(f.encoding, r.encoding);
        EXPECT_EQ(expected, r.lines);
        for (bool bad : r.invalid)
            EXPECT_FALSE(bad);
    }
}

TEST(TextSource, BadBytesAreReplacedAndFlagged)
{
    wintest::ScopedTempFolder folder(L"textsource_bad");
    // A marked UTF-8 file with a stray byte, and a UTF-16 file ending in an odd byte.
    WriteFile(folder.File(L"utf8.txt"), "\xEF\xBB\xBF" "ok\n" "a\xC3(b\n");
    ReadResult r = ReadAll(folder.File(L"utf8.txt"));
    ASSERT_EQ(2u, r.lines.size());
    EXPECT_FALSE(r.invalid[0]);
    EXPECT_TRUE(r.invalid[1]);
    EXPECT_NE(std::wstring::npos, r.lines[1].find(L'\xFFFD'));
    EXPECT_EQ(L'(', r.lines[1][r.lines[1].size() - 2]);

    WriteFile(folder.File(L"utf16.txt"), "\xFF\xFE" + Utf16(L"ab\r\ncd") + "\x41");
    r = ReadAll(folder.File(L"utf16.txt"));
    ASSERT_EQ(2u, r.lines.size());
    EXPECT_EQ(L"cd", r.lines[1]);
    EXPECT_TRUE(r.invalid[1]);

    // A UTF-16 surrogate without its other half is no character.
    WriteFile(folder.File(L"surrogates.txt"), "\xFF\xFE" + Utf16(L"a\xD800" L"b\r\n\xDC00\r\nc\xD800\r\n\xD83D\xDC1E"));
    r = ReadAll(folder.File(L"surrogates.txt"));
    EXPECT_EQ((std::vector<std::wstring>{L"a\xFFFD" L"b", L"\xFFFD", L"c\xFFFD", L"\xD83D\xDC1E"}), r.lines);
    EXPECT_EQ((std::vector<bool>{true, true, true, false}), r.invalid);

    // Without a mark, one byte that is no UTF-8 makes the whole file 8-bit text.
    WriteFile(folder.File(L"mixed.txt"), Bytes(L"Čáslav\n", CP_UTF8) + Bytes(L"Žďár\n", 1250));
    r = ReadAll(folder.File(L"mixed.txt"));
    EXPECT_EQ(TEXTENC_ANSI, r.encoding);
    ASSERT_EQ(2u, r.lines.size());
    EXPECT_EQ(L"Žďár", r.lines[1]);

    // A line far longer than any buffer.
    std::string huge(300000, 'x');
    WriteFile(folder.File(L"huge.txt"), huge + "\r\nend");
    r = ReadAll(folder.File(L"huge.txt"));
    ASSERT_EQ(2u, r.lines.size());
    EXPECT_EQ(300000u, r.lines[0].size());
    EXPECT_EQ(L"end", r.lines[1]);
}

TEST(TextSource, LinesBeyondTheBoundArePassedOverInEveryEncoding)
{
    wintest::ScopedTempFolder folder(L"textsource_bound");
    // The bound counts characters, whatever bytes they take: two in UTF-8 for "č" (the longest
    // line is 2 MB there), a UTF-16 pair for a character beyond the BMP.
    const std::wstring longest(kTextMaxLine, L'č'), over(kTextMaxLine + 1, L'ž');
    const std::wstring text = L"před\r\n" + over + L"\r\n" + longest + L"\npo";
    std::wstring beetles;
    for (size_t i = 0; i < kTextMaxLine / 2; ++i)
        beetles += L"\U0001F41E";
    const std::wstring wide = L"před\r\n" + beetles + L"\U0001F41E\r\n" + beetles + L"\npo";
    const struct {
        const wchar_t* name;
        std::string bytes;
    } files[] = {
        {L"ansi.txt", Bytes(text, 1250)},
        {L"utf8.txt", "\xEF\xBB\xBF" + Bytes(text, CP_UTF8)},
        {L"utf8_plain.txt", Bytes(text, CP_UTF8)},
        {L"utf16.txt", "\xFF\xFE" + Utf16(text)},
        {L"utf8_wide.txt", Bytes(wide, CP_UTF8)},
        {L"utf16_wide.txt", "\xFF\xFE" + Utf16(wide)},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        WriteFile(folder.File(f.name), f.bytes);
        TextLineReader reader;
        ASSERT_TRUE(reader.Open(folder.File(f.name).c_str()));
        std::wstring line;
        bool invalid = false;
        std::vector<bool> overlong;
        std::vector<size_t> sizes;
        while (reader.ReadLine(line, &invalid)) {
            overlong.push_back(reader.Overlong());
            sizes.push_back(line.size());
        }
        EXPECT_EQ((std::vector<bool>{false, true, false, false}), overlong);
        EXPECT_EQ((std::vector<size_t>{4, 0, kTextMaxLine, 2}), sizes) << "the longest line allowed is read whole";
        EXPECT_EQ(4, reader.LinesRead());
    }
}

// Column names offered for a caption line, with the options of the text page.
std::vector<std::wstring> Captions(const std::wstring& path, const wchar_t* separator, int skip)
{
    CImpTXTSrc source(tarnixtest::Inst());
    EXPECT_TRUE(source.Open(path.c_str()));
    CPtrArray options(0, 4, 4), columns(0, 8, 8);
    EXPECT_EQ(GROUP_TEXT_SETTINGS, source.FillGroup(1, &options, nullptr));
    TextImportOptions* o = static_cast<TextImportOptions*>(options.GetItems()[0]);
    EXPECT_STREQ(L"\t", o->Separator);
    wcscpy(o->Separator, separator);
    o->SkipRows = skip;
    EXPECT_EQ(GROUP_COLUMNS, source.FillGroup(2, &columns, o));
    std::vector<std::wstring> names;
    for (int i = 0; i < columns.GetCount(); ++i) {
        SourceColumn* c = static_cast<SourceColumn*>(columns.GetItems()[i]);
        EXPECT_EQ(4, c->TargetType);
        EXPECT_EQ(255, c->TargetSize);
        EXPECT_EQ(0, c->TargetGroup);
        names.push_back(c->SourceName);
        FreeGroupEntry(GROUP_COLUMNS, c);
    }
    free(o);
    return names;
}

TEST(TextSource, CaptionLineGivesTheColumns)
{
    wintest::ScopedTempFolder folder(L"textsource_cols");
    WriteFile(folder.File(L"a.txt"), "A;B;C;\r\n1;2;3;4\r\n");
    EXPECT_EQ((std::vector<std::wstring>{L"A", L"B", L"C", L"???"}), Captions(folder.File(L"a.txt"), L";", 0));
    WriteFile(folder.File(L"b.txt"), "x\ny\nDruh<>Lokalita<> Datum \n1<>2<>3\n");
    EXPECT_EQ((std::vector<std::wstring>{L"Druh", L"Lokalita", L" Datum "}), Captions(folder.File(L"b.txt"), L"<>", 2));
    // No line left after the skipped ones: no columns.
    WriteFile(folder.File(L"c.txt"), "x\r\n");
    EXPECT_TRUE(Captions(folder.File(L"c.txt"), L";", 3).empty());
    // A caption line too long to be read names no columns.
    WriteFile(folder.File(L"e.txt"), std::string(kTextMaxLine + 1, 'x') + "\r\nA;B\r\n");
    EXPECT_TRUE(Captions(folder.File(L"e.txt"), L";", 0).empty());
    // An empty file is no source at all (the welcome page says why), nor is a missing one.
    CImpTXTSrc source(tarnixtest::Inst());
    WriteFile(folder.File(L"d.txt"), "");
    EXPECT_FALSE(source.Open(folder.File(L"d.txt").c_str()));
    EXPECT_FALSE(source.Open(folder.File(L"missing.txt").c_str()));

    std::vector<std::wstring> fields;
    CutTextLine(L"1;;3;", L";", &fields);
    EXPECT_EQ((std::vector<std::wstring>{L"1", L"", L"3", L""}), fields);
    CutTextLine(L"", L";", &fields);
    EXPECT_EQ(std::vector<std::wstring>{L""}, fields);
}

TEST(TextSource, FieldsConvertByTheirTargetType)
{
    const std::wstring long300(300, L'x');
    const struct {
        int group, type, ordinal, size;
        std::wstring text;
        VARTYPE vt;
        double number;      // VT_BOOL, VT_I4, VT_R8, VT_DATE
        std::wstring out;   // VT_BSTR
        bool bad;
    } cases[] = {
        {0, 1, -1, 255, L"12", VT_EMPTY, 0, L"", false},       // not imported
        {5, 4, 6, 255, L"", VT_NULL, 0, L"", false},           // empty field
        {5, 0, 6, 0, L"Ano", VT_BOOL, -1, L"", false},
        {5, 0, 6, 0, L"yes", VT_BOOL, -1, L"", false},
        {5, 0, 6, 0, L"ne", VT_BOOL, 0, L"", false},
        {5, 1, 6, 0, L"42 ks", VT_I4, 42, L"", false},
        {5, 1, 6, 0, L"-1\u00A0234", VT_I4, -1234, L"", false},
        {5, 1, 6, 0, L"12\u202F345", VT_I4, 12345, L"", false},
        {5, 1, 6, 0, L"x12", VT_NULL, 0, L"", true},
        {5, 1, 6, 0, L"99999999999", VT_NULL, 0, L"", true},
        {5, 1, 6, 0, L"1.5.2001", VT_NULL, 0, L"", true},  // a date is no count
        {5, 1, 6, 0, L"3,7", VT_NULL, 0, L"", true},
        {5, 2, 6, 0, L"1 234,5", VT_R8, 1234.5, L"", false},
        {5, 2, 6, 0, L"1\u00A0234,5", VT_R8, 1234.5, L"", false},
        {5, 2, 6, 0, L"12,5 m", VT_R8, 12.5, L"", false},
        {5, 2, 6, 0, L"abc", VT_NULL, 0, L"", true},
        {4, 2, 3, 0, L"49°30'15\"", VT_BSTR, 0, L"49°30'15\"", false},  // a coordinate stays text
        {5, 3, 6, 0, L"15.3.2010", VT_DATE, 40252, L"", false},
        {5, 3, 6, 0, L"nikdy", VT_NULL, 0, L"", true},
        {5, 3, 6, 0, L"2020-13-01", VT_NULL, 0, L"", true},  // never 13 January
        {5, 3, 6, 0, L"31.2.2010", VT_NULL, 0, L"", true},
        {5, 4, 6, 255, long300, VT_BSTR, 0, std::wstring(254, L'x'), false},
        {5, 4, 6, 10, L"abcdefghijkl", VT_BSTR, 0, L"abcdefghi", false},
        {5, 6, 6, 255, long300, VT_BSTR, 0, long300, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " '" << dbtest::Narrow(c.text) << "'");
        SourceColumn* column = NewSourceColumn(L"A", 4, 255);
        column->TargetGroup = c.group;
        column->TargetType = c.type;
        column->TargetOrdinal = c.ordinal;
        column->TargetSize = c.size;
        VARIANT v;
        bool bad = false;
        ConvertTextField(column, c.text.c_str(), c.text.size(), &v, &bad);
        EXPECT_EQ(c.vt, v.vt);
        EXPECT_EQ(c.bad, bad);
        if (v.vt == VT_BOOL) {
            EXPECT_EQ((int)c.number, (int)v.boolVal);
        }
        if (v.vt == VT_I4) {
            EXPECT_EQ((int)c.number, (int)v.lVal);
        }
        if (v.vt == VT_R8) {
            EXPECT_DOUBLE_EQ(c.number, v.dblVal);
        }
        if (v.vt == VT_DATE) {
            EXPECT_DOUBLE_EQ(c.number, v.date);
        }
        if (v.vt == VT_BSTR) {
            EXPECT_EQ(c.out, std::wstring(v.bstrVal));
        }
        VariantClear(&v);
        FreeGroupEntry(GROUP_COLUMNS, column);
    }
}

}  // namespace
