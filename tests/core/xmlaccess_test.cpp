// Settings files: what the writer puts on disk, what the reader makes of it, and how files of the
// wrong kind, broken files and missing values leave the callers' defaults alone.
#include <gtest/gtest.h>
#include <windows.h>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include "core/xmlaccess.h"
#include "tests/support/wintest.h"

namespace {

std::string ReadBytes(const std::wstring& path)
{
    std::string bytes;
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f)
        return bytes;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof(chunk), f)) > 0)
        bytes.append(chunk, n);
    fclose(f);
    return bytes;
}

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    FILE* f = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(nullptr, f);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

// The file's lines without their line ends (the DOM may save CR LF as LF).
std::vector<std::string> Lines(const std::string& bytes)
{
    std::vector<std::string> lines;
    std::string line;
    for (char c : bytes) {
        if (c == '\r')
            continue;
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

std::string Utf8(const wchar_t* text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
    out.resize(n - 1);
    return out;
}

// The attribute text of the element named tag, as the file holds it (empty when absent).
std::string RawAttr(const std::string& bytes, const std::string& tag, const std::string& name)
{
    size_t start = bytes.find("<" + tag);
    if (start == std::string::npos)
        return "";
    size_t end = bytes.find('>', start);
    std::string element = bytes.substr(start, end - start);
    size_t at = element.find(" " + name + "=\"");
    if (at == std::string::npos)
        return "";
    at += name.size() + 3;
    return element.substr(at, element.find('"', at) - at);
}

const wchar_t kCzech[] = L"Příliš žluťoučký kůň úpěl ďábelské ódy";

class XmlAccess : public ::testing::Test {
protected:
    void SetUp() override { folder_ = wintest::MakeTempFolder(L"xmlaccess"); }
    std::wstring File(const wchar_t* name) const { return folder_ + L"\\" + name; }

    // A reader over a file written from raw text.
    std::wstring Raw(const wchar_t* name, const std::string& text)
    {
        std::wstring path = File(name);
        WriteBytes(path, text);
        return path;
    }

    // The settings file of the layout example, with a few typed values.
    std::wstring WriteSample()
    {
        std::wstring path = File(L"sample.xml");
        CXmlWriter writer(path.c_str());
        writer.AddComment(L"Zorna Workspace Settings");
        writer.CreateRoot(L"Settings");
        IXMLDOMElement* mainForm = writer.AddElement(L"MainForm");
        EXPECT_NE(nullptr, mainForm);
        writer.SetIntAttr(mainForm, L"Left", -120);
        writer.SetShortAttr(mainForm, L"Width", 640);
        writer.SetByteAttr(mainForm, L"Maximized", 1);
        writer.SetRealAttr(mainForm, L"Scale", 0.5);
        writer.SetRealAttr(mainForm, L"Lat", -12.3456789);
        writer.SetStringAttr(mainForm, L"Title", kCzech);
        IXMLDOMElement* system = writer.AddElement(L"System");
        EXPECT_NE(nullptr, system);
        IXMLDOMElement* connection = writer.AddChildElement(system, L"Connection");
        EXPECT_NE(nullptr, connection);
        writer.SetStringAttr(connection, L"DBName", L"C:\\Data\\Sběr.zdb");
        if (connection)
            connection->Release();
        if (system)
            system->Release();
        if (mainForm)
            mainForm->Release();
        writer.Save();
        return path;
    }

    std::wstring folder_;
};

TEST_F(XmlAccess, WriterIndentsChildrenByDepth)
{
    std::vector<std::string> lines = Lines(ReadBytes(WriteSample()));
    // Declaration and comment may share a line or not; the root starts after the comment.
    size_t root = 0;
    while (root < lines.size() && lines[root].find("<Settings>") == std::string::npos)
        ++root;
    ASSERT_LT(root + 5, lines.size());
    EXPECT_EQ(0u, lines[0].find("<?xml version=\"1.0\"?>"));
    EXPECT_NE(std::string::npos, lines[root].find("<Settings>"));
    EXPECT_EQ(0u, lines[root + 1].find("\t<MainForm "));
    EXPECT_EQ("\t<System>", lines[root + 2]);
    EXPECT_EQ(0u, lines[root + 3].find("\t\t<Connection "));
    EXPECT_EQ("\t</System>", lines[root + 4]);
    EXPECT_EQ("</Settings>", lines[root + 5]);
}

TEST_F(XmlAccess, WriterKeepsTheDeclarationAndTheCommentBeforeTheRoot)
{
    std::string bytes = ReadBytes(WriteSample());
    ASSERT_EQ(0u, bytes.find("<?xml version=\"1.0\"?>"));
    size_t comment = bytes.find("<!--Zorna Workspace Settings-->");
    ASSERT_NE(std::string::npos, comment);
    EXPECT_LT(comment, bytes.find("<Settings>"));
    EXPECT_EQ(std::string::npos, bytes.find("encoding"));
}

TEST_F(XmlAccess, WriterStoresRealsWholeAndCzechTextAsUtf8)
{
    std::string bytes = ReadBytes(WriteSample());
    EXPECT_EQ("0.5000", RawAttr(bytes, "MainForm", "Scale"));
    EXPECT_EQ("-12.3456789", RawAttr(bytes, "MainForm", "Lat"));
    EXPECT_EQ("-120", RawAttr(bytes, "MainForm", "Left"));
    EXPECT_EQ("640", RawAttr(bytes, "MainForm", "Width"));
    EXPECT_EQ("1", RawAttr(bytes, "MainForm", "Maximized"));
    EXPECT_EQ(Utf8(kCzech), RawAttr(bytes, "MainForm", "Title"));
}

TEST_F(XmlAccess, ReaderGivesBackWhatTheWriterStored)
{
    // Reals must read with '.' although the user's decimal separator is ','.
    wchar_t decimal[8] = L"";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimal, 8);
    ASSERT_STREQ(L",", decimal) << "tests run under the Czech user locale";

    std::wstring path = WriteSample();
    CXmlReader reader(path.c_str());
    EXPECT_EQ(-1, reader.Loaded);
    ASSERT_NE(nullptr, reader.Root);
    IXMLDOMElement* mainForm = reader.SelectElement(L"MainForm");
    ASSERT_NE(nullptr, mainForm);

    int left = 0, width = 0;
    BYTE maximized = 0;
    double scale = 0, lat = 0;
    EXPECT_EQ(1, reader.GetIntAttr(mainForm, L"Left", &left));
    EXPECT_EQ(-120, left);
    EXPECT_EQ(1, reader.GetShortAttr(mainForm, L"Width", &width));
    EXPECT_EQ(640, width);
    EXPECT_EQ(1, reader.GetByteAttr(mainForm, L"Maximized", &maximized));
    EXPECT_EQ(1, maximized);
    EXPECT_EQ(1, reader.GetRealAttr(mainForm, L"Scale", &scale));
    EXPECT_DOUBLE_EQ(0.5, scale);
    EXPECT_EQ(1, reader.GetRealAttr(mainForm, L"Lat", &lat));
    EXPECT_EQ(-12.3456789, lat);

    wchar_t* title = nullptr;
    EXPECT_EQ(1, reader.GetStringAttr(mainForm, L"Title", &title));
    ASSERT_NE(nullptr, title);
    EXPECT_STREQ(kCzech, title);
    free(title);
    mainForm->Release();

    IXMLDOMElement* system = reader.SelectElement(L"System");
    ASSERT_NE(nullptr, system);
    IXMLDOMElement* connection = reader.SelectChildElement(system, L"Connection");
    ASSERT_NE(nullptr, connection);
    wchar_t name[64];
    EXPECT_EQ(1, reader.GetStringAttrBuf(connection, L"DBName", name, 64));
    EXPECT_STREQ(L"C:\\Data\\Sběr.zdb", name);
    connection->Release();
    system->Release();

    // A plain name finds children of the root only.
    EXPECT_EQ(nullptr, reader.SelectElement(L"Connection"));
    EXPECT_EQ(nullptr, reader.SelectElement(L"Nothing"));
}

TEST_F(XmlAccess, ChildWalkYieldsElementsInOrderWithTheirTagNames)
{
    CXmlReader reader(WriteSample().c_str());
    std::vector<std::wstring> names;
    wchar_t* tag = nullptr;
    for (IXMLDOMElement* e = reader.FirstChildElement(nullptr, &tag); e;
         e = reader.NextSiblingElement(e, &tag)) {
        ASSERT_NE(nullptr, tag);
        names.push_back(tag);
        free(tag);
    }
    EXPECT_EQ(nullptr, tag);
    EXPECT_EQ((std::vector<std::wstring>{ L"MainForm", L"System" }), names);

    IXMLDOMElement* system = reader.SelectElement(L"System");
    ASSERT_NE(nullptr, system);
    IXMLDOMElement* child = reader.FirstChildElement(system, &tag);
    ASSERT_NE(nullptr, child);
    EXPECT_STREQ(L"Connection", tag);
    free(tag);
    EXPECT_EQ(nullptr, reader.NextSiblingElement(child, &tag));
    EXPECT_EQ(nullptr, tag);
    system->Release();
}

TEST_F(XmlAccess, ChildWalkStopsAtACommentAndReleasesWhatItWasGiven)
{
    std::wstring path = Raw(L"comment.xml",
                            "<?xml version=\"1.0\"?>\r\n<Root><First/><!--note--><Second/></Root>\r\n");
    CXmlReader reader(path.c_str());
    ASSERT_EQ(-1, reader.Loaded);
    wchar_t* tag = nullptr;
    IXMLDOMElement* first = reader.FirstChildElement(nullptr, &tag);
    ASSERT_NE(nullptr, first);
    EXPECT_STREQ(L"First", tag);
    free(tag);

    // Count the references the walk leaves on the element it is given.
    first->AddRef();
    ULONG before = first->Release();
    first->AddRef();  // one for the walk to release
    IXMLDOMElement* next = reader.NextSiblingElement(first, &tag);
    EXPECT_EQ(nullptr, next);
    EXPECT_EQ(nullptr, tag);
    first->AddRef();
    EXPECT_EQ(before, first->Release());
    first->Release();
}

TEST_F(XmlAccess, ChildWalkThatStartsAtACommentGivesNothing)
{
    CXmlReader reader(Raw(L"lead.xml", "<?xml version=\"1.0\"?><Root><!--note--><First/></Root>").c_str());
    ASSERT_EQ(-1, reader.Loaded);
    wchar_t* tag = reinterpret_cast<wchar_t*>(1);
    EXPECT_EQ(nullptr, reader.FirstChildElement(nullptr, &tag));
    EXPECT_EQ(nullptr, tag);
    // The element is still there for a lookup by name.
    IXMLDOMElement* first = reader.SelectElement(L"First");
    EXPECT_NE(nullptr, first);
    if (first)
        first->Release();
}

TEST_F(XmlAccess, ChildWalkOfAnEmptyRootGivesNothing)
{
    CXmlReader reader(Raw(L"empty.xml", "<?xml version=\"1.0\"?><Root/>").c_str());
    wchar_t* tag = reinterpret_cast<wchar_t*>(1);
    EXPECT_EQ(nullptr, reader.FirstChildElement(nullptr, &tag));
    EXPECT_EQ(nullptr, tag);
}

TEST_F(XmlAccess, AbsentAttributeLeavesEveryDefault)
{
    CXmlReader reader(WriteSample().c_str());
    IXMLDOMElement* e = reader.SelectElement(L"MainForm");
    ASSERT_NE(nullptr, e);
    BYTE b = 7;
    int s = 8, i = 9;
    double r = 1.25;
    wchar_t* text = reinterpret_cast<wchar_t*>(1);
    wchar_t buffer[8] = L"old";
    EXPECT_EQ(0, reader.GetByteAttr(e, L"Missing", &b));
    EXPECT_EQ(0, reader.GetShortAttr(e, L"Missing", &s));
    EXPECT_EQ(0, reader.GetIntAttr(e, L"Missing", &i));
    EXPECT_EQ(0, reader.GetRealAttr(e, L"Missing", &r));
    EXPECT_EQ(0, reader.GetStringAttr(e, L"Missing", &text));
    EXPECT_EQ(0, reader.GetStringAttrBuf(e, L"Missing", buffer, 8));
    EXPECT_EQ(7, b);
    EXPECT_EQ(8, s);
    EXPECT_EQ(9, i);
    EXPECT_EQ(1.25, r);
    EXPECT_EQ(nullptr, text);
    EXPECT_STREQ(L"", buffer);
    e->Release();
}

TEST_F(XmlAccess, TextThatDoesNotConvertIsPresentButKeepsTheDefault)
{
    CXmlReader reader(Raw(L"bad.xml", "<?xml version=\"1.0\"?><Root><MainForm Width=\"abc\" "
                                      "Scale=\"x1\" Flag=\"300\" Short=\"40000\"/></Root>")
                          .c_str());
    IXMLDOMElement* e = reader.SelectElement(L"MainForm");
    ASSERT_NE(nullptr, e);
    int width = 640, shortValue = 5;
    double scale = 2.5;
    BYTE flag = 1;
    EXPECT_EQ(1, reader.GetIntAttr(e, L"Width", &width));
    EXPECT_EQ(640, width);
    EXPECT_EQ(1, reader.GetRealAttr(e, L"Scale", &scale));
    EXPECT_EQ(2.5, scale);
    EXPECT_EQ(1, reader.GetByteAttr(e, L"Flag", &flag));  // out of range for a byte
    EXPECT_EQ(1, flag);
    EXPECT_EQ(1, reader.GetShortAttr(e, L"Short", &shortValue));
    EXPECT_EQ(5, shortValue);
    e->Release();
}

TEST_F(XmlAccess, ShortValuesKeepTheLowSixteenBitsAndReadSignExtended)
{
    std::wstring path = File(L"short.xml");
    {
        CXmlWriter writer(path.c_str());
        writer.AddComment(L"Zorna Workspace Settings");
        writer.CreateRoot(L"Settings");
        IXMLDOMElement* e = writer.AddElement(L"Values");
        ASSERT_NE(nullptr, e);
        writer.SetShortAttr(e, L"Big", 70000);
        writer.SetShortAttr(e, L"Minus", -2);
        writer.SetShortAttr(e, L"Wrap", 0xFFFF);
        writer.SetByteAttr(e, L"Byte", 255);
        e->Release();
        writer.Save();
    }
    std::string bytes = ReadBytes(path);
    EXPECT_EQ("4464", RawAttr(bytes, "Values", "Big"));
    EXPECT_EQ("-2", RawAttr(bytes, "Values", "Minus"));
    EXPECT_EQ("-1", RawAttr(bytes, "Values", "Wrap"));
    EXPECT_EQ("255", RawAttr(bytes, "Values", "Byte"));

    CXmlReader reader(path.c_str());
    IXMLDOMElement* e = reader.SelectElement(L"Values");
    ASSERT_NE(nullptr, e);
    int value = 0;
    EXPECT_EQ(1, reader.GetShortAttr(e, L"Minus", &value));
    EXPECT_EQ(-2, value);
    EXPECT_EQ(1, reader.GetShortAttr(e, L"Big", &value));
    EXPECT_EQ(4464, value);
    BYTE b = 0;
    EXPECT_EQ(1, reader.GetByteAttr(e, L"Byte", &b));
    EXPECT_EQ(255, b);
    e->Release();
}

TEST_F(XmlAccess, SettingANameAgainReplacesItsValueInPlace)
{
    std::wstring path = File(L"order.xml");
    {
        CXmlWriter writer(path.c_str());
        writer.CreateRoot(L"Settings");
        IXMLDOMElement* e = writer.AddElement(L"Pane");
        ASSERT_NE(nullptr, e);
        writer.SetIntAttr(e, L"A", 1);
        writer.SetIntAttr(e, L"B", 2);
        writer.SetIntAttr(e, L"A", 3);
        writer.SetStringAttr(e, L"C", L"x");
        e->Release();
        writer.Save();
    }
    std::string bytes = ReadBytes(path);
    EXPECT_NE(std::string::npos, bytes.find("<Pane A=\"3\" B=\"2\" C=\"x\"/>")) << bytes;
}

TEST_F(XmlAccess, RealsIgnoreAProcessNumberLocale)
{
    // Even when something in the process switches the C runtime to a comma locale, the file
    // keeps '.' as the decimal point.
    const char* previous = setlocale(LC_NUMERIC, nullptr);
    std::string saved = previous ? previous : "C";
    if (!setlocale(LC_NUMERIC, "Czech_Czechia.1250") && !setlocale(LC_NUMERIC, "Czech"))
        GTEST_SKIP() << "no Czech C runtime locale";
    char probe[16];
    snprintf(probe, sizeof(probe), "%.1f", 1.5);
    if (std::string(probe) != "1,5") {
        setlocale(LC_NUMERIC, saved.c_str());
        GTEST_SKIP() << "the C runtime ignores the numeric locale";
    }
    std::wstring path = File(L"reals.xml");
    {
        CXmlWriter writer(path.c_str());
        writer.CreateRoot(L"Settings");
        IXMLDOMElement* e = writer.AddElement(L"Map");
        writer.SetRealAttr(e, L"Scale", 1234.56789);
        if (e)
            e->Release();
        writer.Save();
    }
    setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ("1234.56789", RawAttr(ReadBytes(path), "Map", "Scale"));
}

// A real read back is the double that was written, with four decimals where they are exact (as
// files have always held them); texts of files written before read as they always have.
TEST_F(XmlAccess, RealsReadBackAsWrittenAndOlderTextsAsBefore)
{
    struct Written {
        double value;
        const char* text;  // null: only the value is checked
    } written[] = {
        {1.0 / 6, "0.16666666666666666"},
        {1.0 / 12, nullptr},
        {0.1, "0.1000"},
        {48.5, "48.5000"},
        {-0.5, "-0.5000"},
        {6662600.25, "6662600.2500"},
        {1234.56789, "1234.56789"},
        {1.0 / 3600, nullptr},
        {1e-7, nullptr},
        {1e300, nullptr},
        {-2.2250738585072014e-308, nullptr},
        {0.0, "0.0000"},
    };
    std::wstring path = File(L"exact.xml");
    {
        CXmlWriter writer(path.c_str());
        writer.CreateRoot(L"Settings");
        IXMLDOMElement* e = writer.AddElement(L"Grid");
        for (size_t i = 0; i < sizeof written / sizeof written[0]; ++i)
            writer.SetRealAttr(e, (L"V" + std::to_wstring(i)).c_str(), written[i].value);
        if (e)
            e->Release();
        writer.Save();
    }
    const std::string bytes = ReadBytes(path);
    CXmlReader reader(path.c_str());
    IXMLDOMElement* e = reader.SelectElement(L"Grid");
    ASSERT_NE(nullptr, e);
    for (size_t i = 0; i < sizeof written / sizeof written[0]; ++i) {
        const std::string name = "V" + std::to_string(i);
        SCOPED_TRACE(name + " = " + RawAttr(bytes, "Grid", name));
        if (written[i].text) {
            EXPECT_EQ(written[i].text, RawAttr(bytes, "Grid", name));
        }
        double back = -1;
        EXPECT_EQ(1, reader.GetRealAttr(e, std::wstring(name.begin(), name.end()).c_str(), &back));
        EXPECT_EQ(written[i].value, back);
    }
    e->Release();

    struct Older {
        const char* text;
        double value;
    } older[] = {
        {"0.1667", 0.1667}, {"0.0833", 0.0833}, {"48.5000", 48.5}, {"-12.3457", -12.3457}, {" 12.5 ", 12.5},
        {"1e-07", 1e-7},    {"7", 7.0},
    };
    std::string xml = "<?xml version=\"1.0\"?><Root><Grid";
    for (size_t i = 0; i < sizeof older / sizeof older[0]; ++i)
        xml += " V" + std::to_string(i) + "=\"" + older[i].text + "\"";
    CXmlReader old(Raw(L"older.xml", xml + "/></Root>").c_str());
    IXMLDOMElement* g = old.SelectElement(L"Grid");
    ASSERT_NE(nullptr, g);
    for (size_t i = 0; i < sizeof older / sizeof older[0]; ++i) {
        double back = -1;
        EXPECT_EQ(1, old.GetRealAttr(g, (L"V" + std::to_wstring(i)).c_str(), &back)) << older[i].text;
        EXPECT_EQ(older[i].value, back) << older[i].text;
    }
    g->Release();
}

TEST_F(XmlAccess, StringBufferTakesAtMostSizeMinusOneCharacters)
{
    CXmlReader reader(Raw(L"buf.xml", "<?xml version=\"1.0\"?><Root><E T=\"abcdef\"/></Root>").c_str());
    IXMLDOMElement* e = reader.SelectElement(L"E");
    ASSERT_NE(nullptr, e);
    wchar_t buffer[8] = L"zzzzzzz";
    EXPECT_EQ(1, reader.GetStringAttrBuf(e, L"T", buffer, 4));
    EXPECT_STREQ(L"abc", buffer);
    EXPECT_EQ(L'z', buffer[4]);
    e->Release();
}

TEST_F(XmlAccess, MissingFileLeavesEverythingAtItsDefault)
{
    std::wstring path = File(L"none.xml");
    CXmlReader reader(path.c_str());
    EXPECT_EQ(0, reader.Loaded);
    EXPECT_EQ(nullptr, reader.Root);
    EXPECT_STREQ(path.c_str(), reader.Path);
    EXPECT_EQ(nullptr, reader.SelectElement(L"MainForm"));
    wchar_t* tag = reinterpret_cast<wchar_t*>(1);
    EXPECT_EQ(nullptr, reader.FirstChildElement(nullptr, &tag));
    EXPECT_EQ(nullptr, tag);
    EXPECT_EQ(0, GetXmlFileKind(path.c_str()));
}

TEST_F(XmlAccess, UnreadableFileLeavesEverythingAtItsDefault)
{
    std::wstring path = Raw(L"broken.xml", "<?xml version=\"1.0\"?><Settings><MainForm Left=\"3\"");
    CXmlReader reader(path.c_str());
    EXPECT_EQ(0, reader.Loaded);
    EXPECT_EQ(nullptr, reader.SelectElement(L"MainForm"));
    EXPECT_EQ(0, GetXmlFileKind(path.c_str()));

    // A folder is no file either.
    CXmlReader folder(folder_.c_str());
    EXPECT_EQ(0, folder.Loaded);
    EXPECT_EQ(nullptr, folder.SelectElement(L"MainForm"));
}

TEST_F(XmlAccess, LoadedReaderStillFindsNothingBelowAnUnloadedOne)
{
    // SelectChildElement refuses to work for a reader whose own file did not load, even when
    // handed an element of another document.
    CXmlReader good(WriteSample().c_str());
    IXMLDOMElement* system = good.SelectElement(L"System");
    ASSERT_NE(nullptr, system);
    CXmlReader missing(File(L"none.xml").c_str());
    EXPECT_EQ(nullptr, missing.SelectChildElement(system, L"Connection"));
    system->Release();
}

// ---- File kinds ----

class XmlFileKindTest : public XmlAccess {
protected:
    std::wstring Written(const wchar_t* name, const wchar_t* comment)
    {
        std::wstring path = File(name);
        CXmlWriter writer(path.c_str());
        if (comment)
            writer.AddComment(comment);
        writer.CreateRoot(L"Settings");
        IXMLDOMElement* e = writer.AddElement(L"MainForm");
        if (e)
            e->Release();
        writer.Save();
        return path;
    }
};

TEST_F(XmlFileKindTest, TheThreeCommentsGiveTheirKinds)
{
    EXPECT_EQ(1, GetXmlFileKind(Written(L"w.xml", L"Zorna Workspace Settings").c_str()));
    EXPECT_EQ(2, GetXmlFileKind(Written(L"g.xml", L"Zorna Grid Definition").c_str()));
    EXPECT_EQ(3, GetXmlFileKind(Written(L"u.xml", L"Zorna DB Utilities Workspace Settings").c_str()));
}

TEST_F(XmlFileKindTest, AnyOtherCommentGivesZero)
{
    EXPECT_EQ(0, GetXmlFileKind(Written(L"o.xml", L"Zorna Settings").c_str()));
    EXPECT_EQ(0, GetXmlFileKind(Written(L"c.xml", L"zorna workspace settings").c_str()));
    EXPECT_EQ(0, GetXmlFileKind(Written(L"s.xml", L" Zorna Workspace Settings ").c_str()));
    EXPECT_EQ(0, GetXmlFileKind(Written(L"n.xml", nullptr).c_str()));
}

TEST_F(XmlFileKindTest, TheCommentMustFollowTheDeclaration)
{
    EXPECT_EQ(0, GetXmlFileKind(Raw(L"nodecl.xml", "<!--Zorna Workspace Settings-->\r\n<Settings/>\r\n").c_str()));
    EXPECT_EQ(0, GetXmlFileKind(Raw(L"second.xml", "<?xml version=\"1.0\"?>\r\n<!--Other-->\r\n"
                                                   "<!--Zorna Workspace Settings-->\r\n<Settings/>\r\n")
                                    .c_str()));
    EXPECT_EQ(2, GetXmlFileKind(Raw(L"hand.xml", "<?xml version=\"1.0\"?>\r\n<!--Zorna Grid Definition-->\r\n"
                                                 "<Grid/>\r\n")
                                    .c_str()));
}

TEST_F(XmlFileKindTest, MissingOrEmptyFileGivesZero)
{
    EXPECT_EQ(0, GetXmlFileKind(File(L"absent.xml").c_str()));
    EXPECT_EQ(0, GetXmlFileKind(Raw(L"empty.xml", "").c_str()));
    EXPECT_EQ(0, GetXmlFileKind(Raw(L"declonly.xml", "<?xml version=\"1.0\"?><Settings/>").c_str()));
}

}  // namespace
