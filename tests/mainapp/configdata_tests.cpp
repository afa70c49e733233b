// The configuration: its defaults, its lists and their order, and the ConfigDialog element.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/fields.h"
#include "core/xmlaccess.h"
#include "shellcontract/configdata.h"
#include "tests/support/wintest.h"

namespace {

HINSTANCE Inst() { return GetModuleHandleW(nullptr); }

using wintest::ReadUtf8File;

void WriteText(const std::wstring& path, const std::wstring& text)
{
    ASSERT_TRUE(wintest::WriteUtf8File(path, text));
}

CDispField* Entry(CObjArray* list, int i) { return static_cast<CDispField*>(list->GetItems()[i]); }

CDispField* AddDbEntry(CObjArray* list, const wchar_t* table, const wchar_t* column,
                       const wchar_t* dispName, int order, int visible = 1, int width = 80)
{
    CFieldInfo* info = new CFieldInfo(column, table);
    wcscpy(info->Name, dispName);
    CDispField* d = new CDispField(info);
    d->DispName = _wcsdup(dispName);
    d->Order = order;
    d->Visible = visible;
    d->Width = width;
    list->Add(d);
    return d;
}

class ConfigDataTest : public testing::Test
{
protected:
    void SetUp() override
    {
        folder_ = wintest::MakeTempFolder(L"configdata");
        path_ = folder_ + L"\\ws.xml";
    }

    void Save(ConfigData& config)
    {
        CXmlWriter w(path_.c_str());
        w.AddComment(L"Zorna Workspace Settings");
        w.CreateRoot(L"Settings");
        config.WriteConfigSection(&w);
        w.Save();
    }
    void Load(ConfigData& config)
    {
        CXmlReader r(path_.c_str());
        config.ReadConfigSection(&r);
    }
    void WriteConfig(const std::wstring& inner)
    {
        WriteText(path_, L"<?xml version=\"1.0\"?>\r\n<!--Zorna Workspace Settings-->\r\n"
                         L"<Settings>\r\n<ConfigDialog AppCaption=\"Z\">\r\n" +
                             inner + L"</ConfigDialog>\r\n</Settings>\r\n");
    }

    std::wstring folder_, path_;
};

TEST_F(ConfigDataTest, ANewConfigurationHoldsNothingYet)
{
    ConfigData c(Inst());
    EXPECT_EQ(Inst(), c.Instance);
    EXPECT_EQ(nullptr, c.Owner);
    EXPECT_EQ(nullptr, c.CardFont);
    EXPECT_EQ(nullptr, c.AppCaption);
    EXPECT_EQ(nullptr, c.Sheet);
    EXPECT_EQ(nullptr, c.DragList);
    EXPECT_EQ(nullptr, c.DragImages);
    EXPECT_EQ(nullptr, c.FieldChooser);
    EXPECT_EQ(nullptr, c.CurCustom);
    EXPECT_EQ(0u, c.CardColor);
    EXPECT_EQ(120, c.CardPointSize);
    CObjArray* lists[] = { c.SysFields, c.LocFields, c.SearchFields, c.LitFields,
                           c.SysHeaderFields, c.LocHeaderFields, c.CustomFields };
    for (CObjArray* list : lists) {
        ASSERT_NE(nullptr, list);
        EXPECT_EQ(0, list->GetCount());
        EXPECT_EQ(16, list->Capacity);
        EXPECT_EQ(4, list->GrowBy);
    }
}

TEST_F(ConfigDataTest, WithoutTheElementTheSystemFontBlackAndZorna)
{
    WriteText(path_, L"<?xml version=\"1.0\"?>\r\n<Settings>\r\n<MainForm/>\r\n</Settings>\r\n");
    ConfigData c(Inst());
    c.CardColor = RGB(9, 9, 9);
    c.CardPointSize = 99;
    Load(c);
    EXPECT_EQ((HFONT)GetStockObject(SYSTEM_FONT), c.CardFont);
    LOGFONTW system = {};
    GetObjectW(GetStockObject(SYSTEM_FONT), sizeof(system), &system);
    EXPECT_STREQ(system.lfFaceName, c.CardLogFont.lfFaceName);
    EXPECT_EQ(system.lfHeight, c.CardLogFont.lfHeight);
    EXPECT_EQ(0u, c.CardColor);
    EXPECT_EQ(120, c.CardPointSize);
    ASSERT_NE(nullptr, c.AppCaption);
    EXPECT_STREQ(L"Zorna", c.AppCaption);
}

TEST_F(ConfigDataTest, CardFontAndCaptionRoundTrip)
{
    {
        ConfigData c(Inst());
        c.CardLogFont.lfHeight = -19;
        c.CardLogFont.lfWeight = 700;
        c.CardLogFont.lfItalic = 1;
        c.CardLogFont.lfCharSet = EASTEUROPE_CHARSET;
        c.CardLogFont.lfPitchAndFamily = FF_ROMAN;
        wcscpy(c.CardLogFont.lfFaceName, L"Times New Roman");
        c.CardColor = RGB(10, 20, 30);
        c.CardPointSize = 140;
        c.AppCaption = _wcsdup(L"Sbírka Šumava");
        Save(c);
    }
    std::wstring text = ReadUtf8File(path_);
    EXPECT_NE(std::wstring::npos, text.find(L"<ConfigDialog AppCaption=\"Sbírka Šumava\">"));
    EXPECT_NE(std::wstring::npos, text.find(L"<CardFont Color=\"1971210\" PointSize=\"140\" "
                                            L"Height=\"-19\" Width=\"0\""));
    ConfigData r(Inst());
    Load(r);
    EXPECT_STREQ(L"Sbírka Šumava", r.AppCaption);
    EXPECT_EQ(RGB(10, 20, 30), r.CardColor);
    EXPECT_EQ(140, r.CardPointSize);
    EXPECT_EQ(-19, r.CardLogFont.lfHeight);
    EXPECT_EQ(700, r.CardLogFont.lfWeight);
    EXPECT_EQ(1, r.CardLogFont.lfItalic);
    EXPECT_EQ(EASTEUROPE_CHARSET, r.CardLogFont.lfCharSet);
    EXPECT_EQ(FF_ROMAN, r.CardLogFont.lfPitchAndFamily);
    EXPECT_STREQ(L"Times New Roman", r.CardLogFont.lfFaceName);
    ASSERT_NE(nullptr, r.CardFont);
    EXPECT_NE((HFONT)GetStockObject(SYSTEM_FONT), r.CardFont);
    LOGFONTW made = {};
    ASSERT_EQ((int)sizeof(made), GetObjectW(r.CardFont, sizeof(made), &made));
    EXPECT_EQ(-19, made.lfHeight);
}

TEST_F(ConfigDataTest, ReadingAgainReplacesEverythingAndFreesTheOldFont)
{
    WriteConfig(L"<CardFont Height=\"-12\" FaceName=\"Arial\"/>\r\n"
                L"<CustomFields>\r\n<Plný Mask=\"#1 #2\" Fields=\"A;B\"/>\r\n</CustomFields>\r\n"
                L"<SysFields>\r\n<SPECIES.NAME DispName=\"Název\" FieldType=\"1\"/>\r\n"
                L"<Plný DispName=\"Plný název\" FieldType=\"2\"/>\r\n</SysFields>\r\n");
    ConfigData c(Inst());
    Load(c);
    HFONT first = c.CardFont;
    ASSERT_NE(nullptr, first);
    Load(c);  // a template opened with no database open
    EXPECT_EQ(1, c.CustomFields->GetCount());
    ASSERT_EQ(2, c.SysFields->GetCount());
    // The composed entry is bound to the one column that exists now.
    EXPECT_EQ(c.CustomFields->GetItems()[0], Entry(c.SysFields, 1)->Field);
    LOGFONTW lf;
    EXPECT_EQ(0, GetObjectW(first, sizeof(lf), &lf));  // the previous font was deleted
    EXPECT_EQ((int)sizeof(lf), GetObjectW(c.CardFont, sizeof(lf), &lf));
}

TEST_F(ConfigDataTest, EntriesThatCannotBeResolvedAreSkipped)
{
    WriteConfig(L"<SysFields>\r\n"
                L"<NAME DispName=\"Bez tabulky\" FieldType=\"1\"/>\r\n"
                L"<Neznámý DispName=\"Chybí\" FieldType=\"2\"/>\r\n"
                L"<SPECIES.A DispName=\"Bez typu\"/>\r\n"
                L"<SPECIES.B DispName=\"Jiný typ\" FieldType=\"3\"/>\r\n"
                L"<SPECIES.C FieldType=\"1\"/>\r\n"
                L"<SPECIES.D DispName=\"Druh\" FieldType=\"1\" Visible=\"0\" Width=\"90\"/>\r\n"
                L"<LOCALITY.E DispName=\"Druh\" FieldType=\"1\"/>\r\n"
                L"<SPECIES.AUTHOR.X DispName=\"Autor\" FieldType=\"1\"/>\r\n"
                L"</SysFields>\r\n");
    ConfigData c(Inst());
    Load(c);
    ASSERT_EQ(2, c.SysFields->GetCount());
    CDispField* d = Entry(c.SysFields, 0);
    EXPECT_STREQ(L"Druh", d->DispName);
    EXPECT_EQ(0, d->Visible);
    EXPECT_EQ(90, d->Width);
    EXPECT_EQ(0, d->Order);
    ASSERT_EQ(FIELD_DATABASE, d->Field->Kind);
    EXPECT_STREQ(L"SPECIES", static_cast<CFieldInfo*>(d->Field)->TableName);
    EXPECT_STREQ(L"D", d->Field->Field);
    // The tag is cut at the first full stop.
    CDispField* a = Entry(c.SysFields, 1);
    EXPECT_STREQ(L"SPECIES", static_cast<CFieldInfo*>(a->Field)->TableName);
    EXPECT_STREQ(L"AUTHOR.X", a->Field->Field);
    EXPECT_EQ(1, a->Order);
}

TEST_F(ConfigDataTest, VisibleEntriesAreWrittenFirstAndReadBackInThatOrder)
{
    {
        ConfigData c(Inst());
        AddDbEntry(c.LocFields, L"FEATURES", L"X", L"Třetí", 3);
        AddDbEntry(c.LocFields, L"FEATURES", L"Y", L"Skrytý", 1, 0);
        AddDbEntry(c.LocFields, L"FEATURES", L"Z", L"Druhý", 2);
        Save(c);
    }
    std::wstring text = ReadUtf8File(path_);
    size_t second = text.find(L"<FEATURES.Z "), third = text.find(L"<FEATURES.X "),
           hidden = text.find(L"<FEATURES.Y ");
    ASSERT_NE(std::wstring::npos, second);
    EXPECT_LT(second, third);
    EXPECT_LT(third, hidden);
    EXPECT_NE(std::wstring::npos, text.find(L"<FEATURES.Y DispName=\"Skrytý\" FieldType=\"1\" "
                                            L"Visible=\"0\" Width=\"80\"/>"));
    EXPECT_EQ(std::wstring::npos, text.find(L"Order="));

    ConfigData r(Inst());
    Load(r);
    ASSERT_EQ(3, r.LocFields->GetCount());
    EXPECT_STREQ(L"Druhý", Entry(r.LocFields, 0)->DispName);
    EXPECT_STREQ(L"Třetí", Entry(r.LocFields, 1)->DispName);
    EXPECT_STREQ(L"Skrytý", Entry(r.LocFields, 2)->DispName);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(i, Entry(r.LocFields, i)->Order);
}

TEST_F(ConfigDataTest, SortKeepsEqualOrdersInTheirPlace)
{
    ConfigData c(Inst());
    AddDbEntry(c.SearchFields, L"T", L"A", L"a", 1);
    AddDbEntry(c.SearchFields, L"T", L"B", L"b", 0, 0);
    AddDbEntry(c.SearchFields, L"T", L"C", L"c", 1);
    AddDbEntry(c.SearchFields, L"T", L"D", L"d", 0);
    AddDbEntry(c.SearchFields, L"T", L"E", L"e", -1, 0);
    c.SortLists();
    const wchar_t* expected[] = { L"d", L"a", L"c", L"e", L"b" };
    for (int i = 0; i < 5; ++i)
        EXPECT_STREQ(expected[i], Entry(c.SearchFields, i)->DispName) << i;
    EXPECT_EQ(1, Entry(c.SearchFields, 1)->Order);  // orders are not renumbered
}

TEST_F(ConfigDataTest, CustomColumnsRoundTripAndBindTheirEntries)
{
    {
        ConfigData c(Inst());
        CCustFld* custom = new CCustFld(L"CeléJméno");
        custom->Mask = _wcsdup(L"#1 (#2) ##");
        custom->Fields = _wcsdup(L"Rod;Druh");
        custom->UseForSearch = 1;
        custom->UseForEdit = 0;
        custom->Alignment = FIELD_ALIGN_RIGHT;
        c.CustomFields->Add(custom);
        CDispField* d = new CDispField(custom);
        d->DispName = _wcsdup(L"Celé jméno");
        d->Width = 150;
        c.SearchFields->Add(d);
        CDispField* lit = AddDbEntry(c.LitFields, L"LITERATURE", L"TITLE", L"Název", 0);
        free(lit->DispName);
        lit->DispName = nullptr;  // an entry without a caption is written without one
        Save(c);
    }
    std::wstring text = ReadUtf8File(path_);
    EXPECT_NE(std::wstring::npos,
              text.find(L"<CeléJméno Mask=\"#1 (#2) ##\" Fields=\"Rod;Druh\" UseForSearch=\"1\" "
                        L"UseForEdit=\"0\" Alignment=\"2\"/>"));
    EXPECT_NE(std::wstring::npos, text.find(L"<CeléJméno DispName=\"Celé jméno\" FieldType=\"2\""));
    EXPECT_NE(std::wstring::npos, text.find(L"<LITERATURE.TITLE FieldType=\"1\""));

    ConfigData r(Inst());
    Load(r);
    ASSERT_EQ(1, r.CustomFields->GetCount());
    CCustFld* custom = static_cast<CCustFld*>(r.CustomFields->GetItems()[0]);
    EXPECT_STREQ(L"CeléJméno", custom->Name);
    EXPECT_STREQ(L"#1 (#2) ##", custom->Mask);
    EXPECT_STREQ(L"Rod;Druh", custom->Fields);
    EXPECT_EQ(1, custom->UseForSearch);
    EXPECT_EQ(0, custom->UseForEdit);
    EXPECT_EQ(FIELD_ALIGN_RIGHT, custom->Alignment);
    ASSERT_EQ(1, r.SearchFields->GetCount());
    EXPECT_EQ(custom, Entry(r.SearchFields, 0)->Field);
    EXPECT_EQ(150, Entry(r.SearchFields, 0)->Width);
    EXPECT_EQ(0, r.LitFields->GetCount());  // dropped: no caption
}

TEST_F(ConfigDataTest, CustomFieldReferencesResolveAgainstTheSearchList)
{
    ConfigData c(Inst());
    AddDbEntry(c.SearchFields, L"SYSTREE", L"GENUS", L"Rod", 0);
    AddDbEntry(c.SearchFields, L"SPECIES", L"SPECIES", L"Druh", 1);
    CCustFld* custom = new CCustFld(L"Jméno");
    wchar_t separator[4];
    GetListSeparator(separator);
    std::wstring fields = std::wstring(L"rod") + separator + L"Druh" + separator + L"Chybí";
    custom->Fields = _wcsdup(fields.c_str());
    c.CustomFields->Add(custom);
    c.ResolveCustomFieldRefs();
    ASSERT_EQ(2, custom->FieldRefs->GetCount());
    EXPECT_EQ(Entry(c.SearchFields, 0)->Field, (CFieldBase*)custom->FieldRefs->GetItems()[0]);
    EXPECT_EQ(Entry(c.SearchFields, 1)->Field, (CFieldBase*)custom->FieldRefs->GetItems()[1]);
}

TEST_F(ConfigDataTest, ClearListsEmptiesAllSeven)
{
    ConfigData c(Inst());
    CObjArray* lists[] = { c.SysFields, c.LocFields, c.SearchFields, c.LitFields,
                           c.SysHeaderFields, c.LocHeaderFields };
    for (CObjArray* list : lists)
        AddDbEntry(list, L"T", L"C", L"x", 0);
    c.CustomFields->Add(new CCustFld(L"K"));
    c.ClearLists();
    for (CObjArray* list : lists)
        EXPECT_EQ(0, list->GetCount());
    EXPECT_EQ(0, c.CustomFields->GetCount());
}

TEST_F(ConfigDataTest, DefaultColumnWidthCountsCharacters)
{
    EXPECT_EQ(28, DefaultColumnWidth(L"ID"));
    EXPECT_EQ(58, DefaultColumnWidth(L"Čeleď"));
    EXPECT_EQ(8, DefaultColumnWidth(L""));
}

}  // namespace
