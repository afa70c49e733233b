// Coordinates and point geometry: six-digit DDMMSS text, grid squares inside and outside the
// grid, WKB points written and read back in every stored form, including cut-off values.
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/geopoint.h"
#include "core/treewalk.h"

namespace {

VARIANT Real(double v)
{
    VARIANT r;
    VariantInit(&r);
    r.vt = VT_R8;
    r.dblVal = v;
    return r;
}


// A byte array VARIANT of the bytes (the caller clears it).
VARIANT Bytes(const std::vector<unsigned char>& bytes)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ARRAY | VT_UI1;
    v.parray = SafeArrayCreateVector(VT_UI1, 0, (ULONG)bytes.size());
    void* data = nullptr;
    SafeArrayAccessData(v.parray, &data);
    if (!bytes.empty())
        std::memcpy(data, bytes.data(), bytes.size());
    SafeArrayUnaccessData(v.parray);
    return v;
}

void PutDouble(std::vector<unsigned char>& b, size_t at, double v, bool big)
{
    unsigned char raw[8];
    std::memcpy(raw, &v, 8);
    for (int i = 0; i < 8; ++i)
        b[at + i] = raw[big ? 7 - i : i];
}

// A WKB point put together byte by byte, independently of the code under test.
std::vector<unsigned char> Wkb(unsigned type, double x, double y, bool big, size_t size)
{
    std::vector<unsigned char> b(size < 21 ? 21 : size, 0);
    b[0] = big ? 0 : 1;
    for (int i = 0; i < 4; ++i)
        b[big ? 4 - i : 1 + i] = (unsigned char)(type >> (8 * i));
    PutDouble(b, 5, x, big);
    PutDouble(b, 13, y, big);
    b.resize(size);
    return b;
}

}  // namespace

TEST(GeoPoint, SixDigitTextIsReadOnlyWhenEveryPairIsAValidNumber)
{
    struct Case {
        const wchar_t* text;
        bool readable;
        double degrees;  // < 0: null
    } cases[] = {
        {L"491530", true, 49 + 15 / 60.0 + 30 / 3600.0},
        {L"000000", true, 0.0},
        {L"145959", true, 14 + 59 / 60.0 + 59 / 3600.0},
        {L"", true, -1},           // never given: nothing to log
        {L"4915", false, -1},
        {L"4915300", false, -1},
        {L"49153a", false, -1},    // no digit is read as one
        {L"49 530", false, -1},
        {L"4-1530", false, -1},
        {L"496030", false, -1},    // minutes out of range
        {L"491560", false, -1},    // seconds out of range
    };
    for (const Case& c : cases) {
        VARIANT v = Real(99);
        EXPECT_EQ(c.readable, DmsTextToDegrees(c.text, &v)) << ::testing::PrintToString(std::wstring(c.text));
        if (c.degrees < 0) {
            EXPECT_EQ(VT_NULL, v.vt);
        } else {
            ASSERT_EQ(VT_R8, v.vt);
            EXPECT_NEAR(c.degrees, v.dblVal, 1e-12);
        }
    }
}

TEST(GeoPoint, GridSquaresInsideTheGridAndNoneOutside)
{
    struct Case {
        double lon, lat;
        bool inside;
        int row, column, quadrant, subsquare;
        const wchar_t* text;
    } cases[] = {
        {14.0, 50.0, true, 60, 50, 1, 1, L"6050A"},
        {14.1, 49.95, true, 60, 50, 4, 2, L"6050D"},
        {14.42, 50.08, true, 59, 52, 2, 11, L"5952B"},
        {5.0 + 40.0 / 60.0, 56.0, true, 0, 0, 1, 1, L"0000A"},
        {14.0 + 1 / 30.0 - 1e-9, 50.0 - 1 / 40.0, true, 60, 50, 1, 13, L"6050A"},  // middle subsquare
        {23.0, 49.0, true, 70, 4, 1, 1, L"7004A"},  // column 104 reduced by 100
        {14.0, 56.05, false, 0, 0, 0, 0, L""},      // north of 56 N
        {5.5, 50.0, false, 0, 0, 0, 0, L""},        // west of 5 40' E
        {-14.0, -50.0, false, 0, 0, 0, 0, L""},
        {NAN, 50.0, false, 0, 0, 0, 0, L""},
    };
    for (const Case& c : cases) {
        int row = -9, column = -9, quadrant = -9, sub = -9;
        EXPECT_EQ(c.inside, ComputeGridSquare(c.lon, c.lat, &row, &column, &quadrant, &sub, true)) << c.lon;
        if (c.inside) {
            EXPECT_EQ(c.row, row) << c.lon << " " << c.lat;
            EXPECT_EQ(c.column, column) << c.lon << " " << c.lat;
            EXPECT_EQ(c.quadrant, quadrant) << c.lon << " " << c.lat;
            EXPECT_EQ(c.subsquare, sub) << c.lon << " " << c.lat;
        }
        EXPECT_EQ(std::wstring(c.text), GridSquareText(c.lon, c.lat)) << c.lon << " " << c.lat;
    }
}

TEST(GeoPoint, PointsAreWrittenAsWkbWithZOnlyWhenGiven)
{
    VARIANT out;
    ASSERT_TRUE(MakeWkbPoint(Real(14.5), Real(50.25), treewalk::NullValue(), &out));
    ASSERT_EQ(VT_ARRAY | VT_UI1, out.vt);
    EXPECT_EQ(1u, SafeArrayGetDim(out.parray));
    LONG lower = -1;
    SafeArrayGetLBound(out.parray, 1, &lower);
    EXPECT_EQ(0, lower);
    std::vector<unsigned char> expected = Wkb(1, 14.5, 50.25, false, 21);
    EXPECT_EQ(0, std::memcmp(out.parray->pvData, expected.data(), 21));
    EXPECT_EQ(21u, out.parray->rgsabound[0].cElements);
    VariantClear(&out);

    ASSERT_TRUE(MakeWkbPoint(Real(14.5), Real(50.25), Real(321.0), &out));
    expected = Wkb(1001, 14.5, 50.25, false, 29);
    PutDouble(expected, 21, 321.0, false);
    ASSERT_EQ(29u, out.parray->rgsabound[0].cElements);
    EXPECT_EQ(0, std::memcmp(out.parray->pvData, expected.data(), 29));
    VariantClear(&out);
    EXPECT_EQ(expected, MakeWkbPointBytes(14.5, 50.25, true, 321.0));
}

TEST(GeoPoint, StoredGeometryMatchesCoordinatesInEveryFormAndNeverReadsPastItsEnd)
{
    std::vector<unsigned char> legacy(25, 0);
    legacy[0] = 7;
    PutDouble(legacy, 1, 14.5, false);
    PutDouble(legacy, 9, 50.25, false);
    std::vector<unsigned char> threeD = Wkb(1001, 14.5, 50.25, false, 29);
    struct Case {
        const char* name;
        std::vector<unsigned char> stored;  // empty: no stored geometry
        bool hasCoordinates;
        double x, y;
        int expected;
    } cases[] = {
        {"little-endian point, same place", Wkb(1, 14.5, 50.25, false, 21), true, 14.5, 50.25, GEOMETRY_MATCH},
        {"within 0.0002 degrees", Wkb(1, 14.5, 50.25, false, 21), true, 14.5002, 50.2501, GEOMETRY_MATCH},
        {"0.001 degrees away", Wkb(1, 14.5, 50.25, false, 21), true, 14.501, 50.25, GEOMETRY_NO_MATCH},
        {"big-endian point", Wkb(1, 14.5, 50.25, true, 21), true, 14.5, 50.25, GEOMETRY_MATCH},
        {"big-endian point with z", Wkb(1001, 14.5, 50.25, true, 29), true, 14.5, 50.25, GEOMETRY_MATCH},
        {"point with z", threeD, true, 14.5, 50.25, GEOMETRY_MATCH},
        {"older 25-byte form", legacy, true, 14.5, 50.25, GEOMETRY_MATCH},
        {"a line is no point", Wkb(2, 14.5, 50.25, false, 21), true, 14.5, 50.25, GEOMETRY_NO_MATCH},
        {"cut to 20 bytes", Wkb(1, 14.5, 50.25, false, 20), true, 14.5, 50.25, GEOMETRY_NO_MATCH},
        {"cut to 5 bytes", Wkb(1, 14.5, 50.25, false, 5), true, 14.5, 50.25, GEOMETRY_NO_MATCH},
        {"empty array", std::vector<unsigned char>{}, true, 14.5, 50.25, GEOMETRY_NO_MATCH},
        {"point, no coordinates", Wkb(1, 14.5, 50.25, false, 21), false, 0, 0, GEOMETRY_NO_MATCH},
    };
    for (const Case& c : cases) {
        VARIANT stored = Bytes(c.stored);
        VARIANT x = c.hasCoordinates ? Real(c.x) : treewalk::NullValue(), y = c.hasCoordinates ? Real(c.y) : treewalk::NullValue();
        EXPECT_EQ(c.expected, CompareGeometry(stored, x, y)) << c.name;
        VariantClear(&stored);
    }
    // Without a stored point: exact without coordinates, by name only with them.
    VARIANT none = treewalk::NullValue(), empty;
    VariantInit(&empty);
    EXPECT_EQ(GEOMETRY_MATCH, CompareGeometry(none, treewalk::NullValue(), empty));
    EXPECT_EQ(GEOMETRY_NAME_ONLY, CompareGeometry(none, Real(14.5), Real(50.25)));
    EXPECT_EQ(GEOMETRY_NAME_ONLY, CompareGeometry(empty, Real(14.5), treewalk::NullValue()));
    // A two-dimensional array is no point.
    SAFEARRAYBOUND bounds[2] = {{21, 0}, {2, 0}};
    VARIANT square;
    VariantInit(&square);
    square.vt = VT_ARRAY | VT_UI1;
    square.parray = SafeArrayCreate(VT_UI1, 2, bounds);
    EXPECT_EQ(GEOMETRY_NO_MATCH, CompareGeometry(square, Real(0), Real(0)));
    VariantClear(&square);
}
