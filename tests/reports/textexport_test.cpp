// The text export's worker: what the file holds in either encoding and with any delimiter, what
// it tells the progress dialog, cancelling, unwritable targets, a list whose cursor another
// thread moves meanwhile, and the options kept in the workspace file.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "core/longpath.h"
#include "core/xmlaccess.h"
#include "reports/textexport.h"
#include "tests/reports/exportlist.h"

using exporttest::ExportList;
using exporttest::ProgressRecorder;

namespace {

std::string Narrow(const std::wstring& w)
{
    return std::string(w.begin(), w.end());
}

std::wstring ShortDate(int y, int m, int d, int h = 0, int min = 0)
{
    SYSTEMTIME st = {};
    st.wYear = (WORD)y;
    st.wMonth = (WORD)m;
    st.wDay = (WORD)d;
    st.wHour = (WORD)h;
    st.wMinute = (WORD)min;
    wchar_t date[64], time[64];
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, 64);
    if (!h && !min)
        return date;
    GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &st, nullptr, time, 64);
    return std::wstring(date) + L" " + time;
}

// Where two texts part, with a little of each around it.
std::string FirstDifference(const std::wstring& a, const std::wstring& b)
{
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    if (i == a.size() && i == b.size())
        return "equal";
    auto around = [i](const std::wstring& s) {
        std::string out;
        for (size_t k = i > 20 ? i - 20 : 0; k < s.size() && k < i + 20; ++k)
            out += s[k] < 128 && s[k] >= 32 ? std::string(1, (char)s[k]) : "\\u" + std::to_string((int)s[k]);
        return out;
    };
    return "at " + std::to_string(i) + ": [" + around(a) + "] against [" + around(b) + "]";
}

std::wstring Utf16Of(const std::string& bytes)
{
    if (bytes.size() < 2 || bytes.size() % 2)
        return L"<odd>";
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
}

class TextExportTest : public ::testing::Test {
protected:
    TextExportTest() : list_(L"textexport"), export_(GetModuleHandleW(nullptr), nullptr) {}

    // The four rows of every kind of value, and the lines the list shows for them (tab
    // delimited), quoting where a value would otherwise break its line.
    void AddSpecialRows()
    {
        list_.Exec(L"INSERT INTO ZAZNAMY VALUES (1, 'Čáp černý', 'a;b' || char(13, 10) || 'c \"q\"', 12, 12.5, "
                   L"40000, 1, 50.1034)");
        list_.Exec(L"INSERT INTO ZAZNAMY VALUES (2, '\"Quoted', NULL, NULL, NULL, 40000.75, 0, NULL)");
        list_.Exec(L"INSERT INTO ZAZNAMY VALUES (3, 'Ωmega 漢 ř', '', -3, 1234.25, NULL, NULL, 0)");
        list_.Exec(L"INSERT INTO ZAZNAMY VALUES (4, '50° 6'' 12\" | x', 'e' || char(769) || ' tab' || char(9) || "
                   L"'end', 0, -0.5, 1, 1, -49.5)");
    }
    std::vector<std::vector<std::wstring>> SpecialCells()
    {
        return {
            {L"Druh", L"Poznámka", L"Počet", L"Délka těla", L"Datum nálezu", L"Doklad", L"S. š."},
            {L"Čáp černý", L"a;b\r\nc \"q\"", L"12", L"12,50", ShortDate(2009, 7, 6), L"Ano", L"50° 6' 12\""},
            {L"\"Quoted", L"", L"", L"", ShortDate(2009, 7, 6, 18, 0), L"Ne", L""},
            {L"Ωmega 漢 ř", L"", L"-3", L"1\u00A0234,25", L"", L"", L"0° 0' 0\""},
            {L"50° 6' 12\" | x", L"e\u0301 tab\tend", L"0", L"-0,50", ShortDate(1899, 12, 31), L"Ano", L"-49° 30' 0\""},
        };
    }
    // The file's text as the export should write it with a delimiter: a value holding the
    // delimiter or a line break, or starting with a quote, quoted with its quotes doubled.
    static std::wstring Expected(const std::vector<std::vector<std::wstring>>& cells, const std::wstring& delimiter)
    {
        std::wstring out;
        for (const auto& row : cells) {
            for (size_t i = 0; i < row.size(); ++i) {
                const std::wstring& v = row[i];
                bool quote = (!v.empty() && v[0] == L'"') || v.find_first_of(L"\r\n") != std::wstring::npos ||
                             v.find(delimiter) != std::wstring::npos;
                if (i)
                    out += delimiter;
                if (!quote) {
                    out += v;
                    continue;
                }
                out += L'"';
                for (wchar_t c : v)
                    out += c == L'"' ? std::wstring(L"\"\"") : std::wstring(1, c);
                out += L'"';
            }
            out += L"\r\n";
        }
        return out;
    }
    std::string Run(const wchar_t* delimiter, int encoding, ProgressRecorder* progress = nullptr)
    {
        ProgressRecorder own;
        if (!progress)
            progress = &own;
        wcscpy(export_.Delimiter, delimiter);
        export_.Encoding = encoding;
        std::wstring file = list_.Folder().File(L"export.txt");
        exporttest::WriteRows(&export_, &list_, file, progress);
        EXPECT_EQ(1, progress->done);
        EXPECT_EQ(0, progress->failedFlag) << Narrow(progress->outcome.Message);
        std::string bytes = wintest::ReadFileBytes(file);
        DeleteFileW(file.c_str());
        return bytes;
    }

    ExportList list_;
    CTextExport export_;
};

TEST_F(TextExportTest, UnicodeFilesHoldWhatTheListShows)
{
    AddSpecialRows();
    for (const wchar_t* delimiter : {L"\t", L";", L" ", L"|", L"ab", L","}) {
        std::string bytes = Run(delimiter, TEXTEXPORT_UNICODE);
        ASSERT_GE(bytes.size(), 2u);
        EXPECT_EQ('\xFF', bytes[0]);
        EXPECT_EQ('\xFE', bytes[1]);
        std::wstring got = Utf16Of(bytes), want = Expected(SpecialCells(), delimiter);
        EXPECT_TRUE(got == want) << Narrow(delimiter) << " " << FirstDifference(got, want);
    }
}

TEST_F(TextExportTest, AnsiFilesUseTheSystemCodePage)
{
    AddSpecialRows();
    std::string bytes = Run(L";", TEXTEXPORT_ANSI);
    std::wstring expected = Expected(SpecialCells(), L";");
    // Czech letters are cp1250 bytes; characters outside it become '?'; e + U+0301 composes.
    size_t at = bytes.find("\xC8\xE1p \xE8" "ern\xFD");
    EXPECT_NE(std::string::npos, at) << "Čáp černý in cp1250";
    EXPECT_NE(std::string::npos, bytes.find("\n?mega ? \xF8;"));
    EXPECT_NE(std::string::npos, bytes.find(";\xE9 tab\tend;"));
    EXPECT_NE(std::string::npos, bytes.find(";1\xA0" "234,25;"));
    EXPECT_EQ(std::string::npos, bytes.find('\0'));
    // Line by line the same as the Unicode file once the unrepresentable characters are '?'.
    int n = WideCharToMultiByte(1250, WC_COMPOSITECHECK, expected.c_str(), (int)expected.size(), nullptr, 0, nullptr,
                                nullptr);
    std::string converted((size_t)n, '\0');
    WideCharToMultiByte(1250, WC_COMPOSITECHECK, expected.c_str(), (int)expected.size(), &converted[0], n, nullptr,
                        nullptr);
    EXPECT_EQ(converted, bytes);
}

TEST_F(TextExportTest, EmptyListsAndListsWithoutVisibleColumns)
{
    EXPECT_EQ(std::string("Druh\tPozn\xE1mka\tPo\xE8" "et\tD\xE9lka t\xECla\tDatum n\xE1lezu\tDoklad\tS. \x9A.\r\n"),
              Run(L"\t", TEXTEXPORT_ANSI));
    list_.AddRows(1, 3);
    for (int i = 0; i < exporttest::kColumnCount; ++i)
        list_.Field(i)->Visible = 0;
    EXPECT_EQ(std::string(), Run(L"\t", TEXTEXPORT_ANSI));
    EXPECT_EQ(std::string("\xFF\xFE"), Run(L"\t", TEXTEXPORT_UNICODE));
}

TEST_F(TextExportTest, LongTextsAreWrittenWhole)
{
    list_.Exec(L"INSERT INTO ZAZNAMY (ID, NAZEV, POZNAMKA) VALUES (1, 'x', "
               L"replace(hex(zeroblob(20000)), '00', 'ab'))");
    for (int i = 2; i < exporttest::kColumnCount; ++i)
        list_.Field(i)->Visible = 0;
    std::wstring text = Utf16Of(Run(L"\t", TEXTEXPORT_UNICODE));
    std::wstring memo(40000, L'a');
    for (size_t i = 1; i < memo.size(); i += 2)
        memo[i] = L'b';
    EXPECT_TRUE(text == L"Druh\tPoznámka\r\nx\t" + memo + L"\r\n") << text.size();
}

TEST_F(TextExportTest, ProgressComesEveryTwentyRowsAndTheEndOnce)
{
    list_.AddRows(1, 6000);
    ProgressRecorder progress;
    std::string bytes = Run(L"\t", TEXTEXPORT_ANSI, &progress);
    EXPECT_EQ(6001, std::count(bytes.begin(), bytes.end(), '\n'));
    ASSERT_FALSE(progress.rows.empty());
    EXPECT_EQ(0, progress.rows[0]);
    for (size_t i = 0; i < progress.rows.size(); ++i) {
        EXPECT_EQ(0, progress.rows[i] % 20) << progress.rows[i];
        EXPECT_LT(progress.rows[i], 6000);
        if (i) {
            EXPECT_GT(progress.rows[i], progress.rows[i - 1]);
        }
    }
}

TEST_F(TextExportTest, ACancelledExportKeepsTheHeaderAndReportsItsEnd)
{
    list_.AddRows(1, 100);
    export_.StopFlag = 1;
    ProgressRecorder progress;
    export_.DispFields = list_.Fields();
    ASSERT_HRESULT_SUCCEEDED(list_.Open()->Clone(&export_.Rows));
    std::wstring file = list_.Folder().File(L"zrus.txt");
    export_.FileName = file.c_str();
    progress.run.Cancel = &export_.StopFlag;
    export_.Progress = &progress.run;
    export_.WriteRows();
    export_.Rows->Release();
    export_.Rows = nullptr;
    EXPECT_EQ(1, progress.done);
    EXPECT_EQ(0, progress.failedFlag);
    std::string bytes = wintest::ReadFileBytes(file);
    EXPECT_EQ(1, std::count(bytes.begin(), bytes.end(), '\n'));
}

TEST_F(TextExportTest, UnwritableTargetsAreReportedNotDone)
{
    list_.AddRows(1, 5);
    std::wstring readOnly = list_.Folder().File(L"jen_cteni.txt");
    ASSERT_TRUE(wintest::WriteUtf8File(readOnly, L"původní"));
    SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE lockedFile = CreateFileW(list_.Folder().File(L"zamceno.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, 0, nullptr);
    // A full disk: only the first bytes fit.
    std::wstring full = list_.Folder().File(L"plny.txt");
    ASSERT_TRUE(wintest::WriteUtf8File(full, L"původní"));
    const std::wstring targets[] = {list_.Folder().File(L"chybi\\export.txt"), readOnly,
                                    list_.Folder().File(L"zamceno.txt"), list_.Folder().Path(), full};
    for (const std::wstring& target : targets) {
        ProgressRecorder progress;
        long long previous = SetWriteLimitForTests(target == full ? 20 : -1);
        exporttest::WriteRows(&export_, &list_, target, &progress);
        SetWriteLimitForTests(previous);
        EXPECT_EQ(1, progress.done);
        EXPECT_EQ(1, progress.failedFlag) << Narrow(target);
        EXPECT_TRUE(progress.outcome.Failed);
        EXPECT_EQ(0u, progress.outcome.Message.find(L"Soubor „" + target + L"“ nelze zapsat.\r\n"))
            << Narrow(progress.outcome.Message);
        EXPECT_GT(progress.outcome.Message.size(), target.size() + 30);  // the system's text follows
    }
    CloseHandle(lockedFile);
    EXPECT_TRUE(wintest::ReadUtf8File(readOnly) == L"původní");
    EXPECT_TRUE(wintest::ReadUtf8File(full) == L"původní");
    WIN32_FIND_DATAW found;
    HANDLE left = FindFirstFileW(list_.Folder().File(L"*.tmp").c_str(), &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, left) << "a temporary file was left behind";
    if (left != INVALID_HANDLE_VALUE)
        FindClose(left);
    SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_FALSE(wintest::FileExists(list_.Folder().File(L"chybi")));
}

// The list view moves the list's own cursor to every cell it paints; the export walks a cursor
// of its own and writes each row once.
TEST_F(TextExportTest, RowsAreWrittenOnceWhileTheListsCursorMoves)
{
    const int kRows = 30000;
    list_.AddRows(1, kRows);
    zdata::Recordset* list = list_.Open();
    std::atomic<bool> stop{false};
    std::atomic<long> moves{0};
    HANDLE painter = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            auto* args = static_cast<std::pair<zdata::Recordset*, std::pair<std::atomic<bool>*, std::atomic<long>*>>*>(p);
            zdata::Fields* fields = nullptr;
            args->first->get_Fields(&fields);
            unsigned seed = 7;
            while (!args->second.first->load()) {
                seed = seed * 1103515245u + 12345u;
                args->first->put_AbsolutePosition(1 + (long)(seed % 30000));
                zdata::Field* f = nullptr;
                fields->Item(1L, &f);
                VARIANT v;
                VariantInit(&v);
                f->get_Value(&v);
                VariantClear(&v);
                f->Release();
                ++*args->second.second;
            }
            fields->Release();
            return 0;
        },
        new std::pair<zdata::Recordset*, std::pair<std::atomic<bool>*, std::atomic<long>*>>(list, {&stop, &moves}),
        0, nullptr);
    while (moves < 100)
        Sleep(1);
    for (int i = 1; i < exporttest::kColumnCount; ++i)
        list_.Field(i)->Visible = 0;
    ProgressRecorder progress;
    std::wstring file = list_.Folder().File(L"soubezne.txt");
    exporttest::WriteRows(&export_, &list_, file, &progress, list);
    stop = true;
    WaitForSingleObject(painter, INFINITE);
    CloseHandle(painter);
    std::string bytes = wintest::ReadFileBytes(file);
    std::string expected = "Druh\r\n";
    for (int i = 1; i <= kRows; ++i)
        expected += "Carabus " + std::to_string(i) + "\r\n";
    EXPECT_TRUE(bytes == expected) << bytes.size() << " bytes against " << expected.size();
    EXPECT_GT(moves.load(), 100);
}

TEST(TextExportSettings, UnusableStoredOptionsLeaveTheDefaults)
{
    wintest::ScopedTempFolder folder(L"textexport_settings");
    std::wstring path = folder.File(L"w.xml");
    const wchar_t* cases[] = {L"<ExpToTXTDlg Delimiter=\"\" Encoding=\"7\"/>",
                              L"<ExpToTXTDlg Delimiter=\"a&quot;b\" Encoding=\"-1\"/>",
                              L"<ExpToTXTDlg Delimiter=\"a&#13;&#10;b\" Encoding=\"x\"/>"};
    for (const wchar_t* element : cases) {
        ASSERT_TRUE(wintest::WriteUtf8File(path, std::wstring(L"<?xml version=\"1.0\"?>\r\n<!--Zorna Workspace Settings-->"
                                                              L"\r\n<Settings>") + element + L"</Settings>\r\n"));
        CTextExport e(GetModuleHandleW(nullptr), nullptr);
        CXmlReader reader(path.c_str());
        e.LoadSettings(&reader);
        EXPECT_STREQ(L"\t", e.Delimiter) << Narrow(element);
        EXPECT_EQ(TEXTEXPORT_ANSI, e.Encoding) << Narrow(element);
    }
}

}  // namespace
