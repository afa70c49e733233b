// The information panel of the trees on a real window: name, information lines from the field
// list, the first picture fitted into the box, and the thumbnail kept in the picture table.
#include <gtest/gtest.h>
#include "tests/core/sampletemplate.h"

#include <windows.h>
#include <strsafe.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/database.h"
#include "core/fields.h"
#include "tools/testkit/rawodbc.h"
#include "tools/sampledb/sampledb.h"
#include "core/zm_messages.h"
#include "tests/core/dbfixture.h"
#include "tests/support/wintest.h"

using zor::RawOdbc;
using zor::RawStatement;
using Rows = std::vector<std::vector<std::wstring>>;

namespace {

std::wstring PanelTemplate(bool fourColumns)
{
    zor::SampleDbOptions options;
    options.records = 300;
    options.fourColumnPictures = fourColumns;
    return SharedSampleTemplate(fourColumns ? L"infopanel4" : L"infopanel5", options);
}

// The first value of a query ("" without rows).
std::wstring First(const std::wstring& path, const std::wstring& sql)
{
    return dbtest::First(path, sql, L"");
}

using dbtest::Exec;

bool SetThumbnail(const std::wstring& path, int sysId, const std::vector<unsigned char>& bytes)
{
    RawOdbc raw;
    if (!raw.Open(path, false))
        return false;
    RawStatement st;
    if (!st.Prepare(raw, L"UPDATE SYSIMAGES SET THUMBNAIL = ? WHERE SYSID = ? AND SYSLEVEL = 1"))
        return false;
    st.SetBlob(1, bytes);
    st.SetInt(2, sysId);
    return st.Execute();
}

std::wstring TextOf(HWND hwnd)
{
    wchar_t text[512] = L"";
    GetWindowTextW(hwnd, text, 512);
    return text;
}

class InfoPanelTest : public dbtest::DbTest {
protected:
    void Open(bool fourColumns)
    {
        main_ = dbtest::MakeMainWindow(nullptr, 520, 300, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
        ASSERT_TRUE(main_ != nullptr);
        HINSTANCE inst = GetModuleHandleW(nullptr);
        name_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 10, 10, 480, 20, main_,
                                nullptr, inst, nullptr);
        picture_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_BITMAP, 10, 36,
                                   240, 60, main_, nullptr, inst, nullptr);
        AddLine(L"NAME", L"SPECIES", L"Druh");
        AddLine(L"NOSUCHCOLUMN", L"SPECIES", L"Chybí");
        AddLine(L"AUTHOR", L"SPECIES", L"Autor");
        AddLine(L"IYEAR", L"SPECIES", L"Rok popisu");
        SetWindowTextW(lines_[1], L"beze změny");

        ASSERT_NO_FATAL_FAILURE(
            CopyTemplate(PanelTemplate(fourColumns), dbtest::TestFolderName("infopanel_").c_str()));
        ASSERT_NO_FATAL_FAILURE(OpenDb(false));
    }
    void AddLine(const wchar_t* column, const wchar_t* table, const wchar_t* caption)
    {
        auto* base = new CFieldInfo(column, table);
        StringCchCopyW(base->Name, 64, caption);
        bases_.emplace_back(base);
        auto* disp = new CDispField(base);
        disp->DispName = _wcsdup(caption);
        disps_.emplace_back(disp);
        int y = 104 + 22 * (int)lines_.size();
        HWND line = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 10, y, 480, 20, main_,
                                    nullptr, GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(line, GWLP_USERDATA, (LONG_PTR)disp);
        lines_.push_back(line);
    }
    void TearDown() override
    {
        if (picture_) {
            HBITMAP old = (HBITMAP)SendMessageW(picture_, STM_SETIMAGE, IMAGE_BITMAP, 0);
            if (old)
                DeleteObject(old);
        }
        DbTest::TearDown();
    }
    InfoPanelRequest Request(int id, int height)
    {
        InfoPanelRequest r = {};
        r.ItemId = id;
        r.NameControl = name_;
        r.PictureControl = picture_;
        r.PictureWidth = -1;
        r.PictureHeight = height;
        r.InfoLineCount = (int)lines_.size();
        r.InfoLines = lines_.data();
        return r;
    }
    // A taxon with a SPECIES row and pictures.
    int PicturedTaxon()
    {
        return _wtoi(First(path_, L"SELECT MIN(I.SYSID) FROM SYSIMAGES I JOIN SPECIES S ON S.SYSID = I.SYSID").c_str());
    }
    SIZE ShownBitmapSize()
    {
        SIZE size = { 0, 0 };
        HBITMAP bitmap = (HBITMAP)SendMessageW(picture_, STM_GETIMAGE, IMAGE_BITMAP, 0);
        BITMAP bm = {};
        if (bitmap && GetObjectW(bitmap, sizeof(bm), &bm)) {
            size.cx = bm.bmWidth;
            size.cy = bm.bmHeight;
        }
        return size;
    }
    std::wstring ThumbnailLength(int id)
    {
        return First(path_, L"SELECT ifnull(length(THUMBNAIL), 0) FROM SYSIMAGES WHERE SYSLEVEL = 1 AND SYSID = " +
                                std::to_wstring(id));
    }

    HWND name_ = nullptr, picture_ = nullptr;
    std::vector<HWND> lines_;
    std::vector<std::unique_ptr<CFieldInfo>> bases_;
    std::vector<std::unique_ptr<CDispField>> disps_;
};

// ---- the taxon panel ----

TEST_F(InfoPanelTest, TaxonShowsNameLinesAndFittedPicture)
{
    Open(false);
    int id = PicturedTaxon();
    ASSERT_GT(id, 0);
    std::wstring species = First(path_, L"SELECT NAME FROM SPECIES WHERE SYSID = " + std::to_wstring(id));
    std::wstring author = First(path_, L"SELECT AUTHOR FROM SPECIES WHERE SYSID = " + std::to_wstring(id));
    ASSERT_FALSE(species.empty());

    InfoPanelRequest r = Request(id, 60);
    db_->ShowSpeciesInfo(&r);
    wintest::PumpMessages(100);

    EXPECT_EQ(0u, TextOf(name_).find(species));  // the taxon name with its author after it
    EXPECT_EQ(L"Druh: " + species, TextOf(lines_[0]));
    EXPECT_EQ(L"beze změny", TextOf(lines_[1]));  // the row has no such column
    EXPECT_EQ(L"Autor: " + author, TextOf(lines_[2]));  // following lines are still filled
    EXPECT_EQ(0u, TextOf(lines_[3]).find(L"Rok popisu: "));
    // 120 x 90 into a box of 240 x 60 gives 80 x 60.
    EXPECT_EQ(80, r.PictureWidth);
    SIZE shown = ShownBitmapSize();
    EXPECT_EQ(80, shown.cx);
    EXPECT_EQ(60, shown.cy);
    std::wstring shot = wintest::SaveScreenshot(main_, L"infopanel_taxon");
    EXPECT_FALSE(shot.empty());
}

TEST_F(InfoPanelTest, TaxonWithoutPicturesClearsThePicture)
{
    Open(false);
    int pictured = PicturedTaxon();
    int bare = _wtoi(First(path_, L"SELECT MIN(SYSID) FROM SPECIES WHERE SYSID NOT IN (SELECT SYSID FROM SYSIMAGES)").c_str());
    ASSERT_GT(bare, 0);
    InfoPanelRequest r = Request(pictured, 60);
    db_->ShowSpeciesInfo(&r);
    ASSERT_EQ(80, ShownBitmapSize().cx);
    r = Request(bare, 60);
    db_->ShowSpeciesInfo(&r);
    EXPECT_EQ(0, r.PictureWidth);
    EXPECT_EQ(nullptr, (HBITMAP)SendMessageW(picture_, STM_GETIMAGE, IMAGE_BITMAP, 0));
}

TEST_F(InfoPanelTest, TaxonWithoutSpeciesRowShowsEmptyNameAndBareCaptions)
{
    Open(false);
    int higher = _wtoi(First(path_, L"SELECT MIN(ID) FROM SYSTREE WHERE ID > 0 AND ID NOT IN (SELECT SYSID FROM SPECIES)").c_str());
    ASSERT_GT(higher, 0);
    SetWindowTextW(name_, L"předchozí");
    InfoPanelRequest r = Request(higher, 60);
    db_->ShowSpeciesInfo(&r);
    EXPECT_EQ(L"", TextOf(name_));
    EXPECT_EQ(L"Druh: ", TextOf(lines_[0]));
    EXPECT_EQ(L"Autor: ", TextOf(lines_[2]));
}

// ---- thumbnails ----

TEST_F(InfoPanelTest, ThumbnailIsStoredOnceAndUsedOnTheNextShowing)
{
    Open(false);
    int id = PicturedTaxon();
    ASSERT_EQ(L"0", ThumbnailLength(id));  // the sample stores none
    InfoPanelRequest r = Request(id, 60);
    db_->ShowSpeciesInfo(&r);
    std::wstring stored = ThumbnailLength(id);
    ASSERT_GT(_wtoi(stored.c_str()), 0);

    // With the picture spoiled, the next showing can only come from the stored thumbnail.
    ASSERT_TRUE(Exec(path_, L"UPDATE SYSIMAGES SET PICTURE = x'00' WHERE SYSLEVEL = 1 AND SYSID = " + std::to_wstring(id)));
    r = Request(id, 60);
    db_->ShowSpeciesInfo(&r);
    EXPECT_EQ(80, r.PictureWidth);
    EXPECT_EQ(60, ShownBitmapSize().cy);
    EXPECT_EQ(stored, ThumbnailLength(id));
}

TEST_F(InfoPanelTest, ThumbnailOfAnotherHeightIsRebuiltAndOfTheSameHeightKept)
{
    Open(false);
    int id = PicturedTaxon();
    // A thumbnail of the box height is shown as it is, even when it differs from the picture.
    std::vector<unsigned char> wide = zor::MakeSampleBmp(100, 60, 7);
    ASSERT_TRUE(SetThumbnail(path_, id, wide));
    InfoPanelRequest r = Request(id, 60);
    db_->ShowSpeciesInfo(&r);
    EXPECT_EQ(100, r.PictureWidth);
    EXPECT_EQ(std::to_wstring(wide.size()), ThumbnailLength(id));

    // Another box height: the picture is decoded again and the thumbnail replaced.
    r = Request(id, 45);
    db_->ShowSpeciesInfo(&r);
    EXPECT_EQ(60, r.PictureWidth);  // 120 x 90 into 180 x 45
    std::wstring rebuilt = ThumbnailLength(id);
    EXPECT_NE(std::to_wstring(wide.size()), rebuilt);
    ASSERT_TRUE(Exec(path_, L"UPDATE SYSIMAGES SET PICTURE = x'00' WHERE SYSLEVEL = 1 AND SYSID = " + std::to_wstring(id)));
    r = Request(id, 45);
    db_->ShowSpeciesInfo(&r);
    EXPECT_EQ(60, r.PictureWidth);
    EXPECT_EQ(45, ShownBitmapSize().cy);
    EXPECT_EQ(rebuilt, ThumbnailLength(id));
}

TEST_F(InfoPanelTest, FourColumnPictureTableShowsThePictureAndWritesNothing)
{
    Open(true);
    int id = PicturedTaxon();
    ASSERT_GT(id, 0);
    const std::wstring dump = L"SELECT group_concat(SYSID || ':' || SYSLEVEL || ':' || length(PICTURE), ',') FROM SYSIMAGES";
    std::wstring before = First(path_, dump);
    for (int height : { 60, 45, 60 }) {
        InfoPanelRequest r = Request(id, height);
        db_->ShowSpeciesInfo(&r);
        EXPECT_EQ(height * 4 / 3, r.PictureWidth) << height;
        EXPECT_EQ(height, ShownBitmapSize().cy) << height;
    }
    EXPECT_EQ(before, First(path_, dump));
}

// ---- the locality panel ----

TEST_F(InfoPanelTest, LocalityShowsItsLabelAndPicture)
{
    Open(false);
    int id = _wtoi(First(path_, L"SELECT MIN(I.LOCID) FROM LOCIMAGES I JOIN FEATURES F ON F.LOCID = I.LOCID").c_str());
    ASSERT_GT(id, 0);
    std::wstring label = First(path_, L"SELECT NAME FROM FEATURES WHERE LOCID = " + std::to_wstring(id));
    InfoPanelRequest r = Request(id, 60);
    db_->ShowFeatureInfo(&r);
    EXPECT_EQ(label.substr(0, 63), TextOf(name_));
    EXPECT_EQ(80, r.PictureWidth);
    EXPECT_GT(_wtoi(First(path_, L"SELECT ifnull(length(THUMBNAIL), 0) FROM LOCIMAGES WHERE LOCID = " + std::to_wstring(id)).c_str()), 0);
}

// ---- line length ----

TEST_F(InfoPanelTest, LinesStayWithin127CharactersWithFormatterAndText)
{
    Open(false);
    std::wstring caption(120, L'x');
    free(disps_[0]->DispName);
    disps_[0]->DispName = _wcsdup(caption.c_str());
    // A coordinate formatter after a long caption gets only what is left of the line.
    auto* lat = new CFieldInfo(L"LATITUDE", L"FEATURES");
    bases_.emplace_back(lat);
    auto* disp = new CDispField(lat);
    disp->DispName = _wcsdup(caption.c_str());
    disp->ValueFormatter = FormatDegMinSec;
    disps_.emplace_back(disp);
    SetWindowLongPtrW(lines_[1], GWLP_USERDATA, (LONG_PTR)disp);
    int id = _wtoi(First(path_, L"SELECT MIN(LOCID) FROM FEATURES WHERE LATITUDE IS NOT NULL AND length(NAME) > 10").c_str());
    ASSERT_GT(id, 0);
    disps_[0]->Field = lat;  // the first line shows the same column without a formatter
    InfoPanelRequest r = Request(id, 60);
    r.InfoLineCount = 2;
    db_->ShowFeatureInfo(&r);
    std::wstring formatted = TextOf(lines_[1]);
    std::wstring plain = TextOf(lines_[0]);
    EXPECT_EQ(127u, formatted.size());
    ASSERT_EQ(127u, formatted.size());
    EXPECT_EQ(L'\u00B0', formatted[124]);  // "49°" of the degrees, cut after the sign
    EXPECT_EQ(0u, formatted.find(caption + L": "));
    EXPECT_LE(plain.size(), 127u);
    EXPECT_EQ(0u, plain.find(caption + L": "));
}

}  // namespace
