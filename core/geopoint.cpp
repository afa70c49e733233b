#include "core/geopoint.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/blob.h"
#include "core/textutil.h"

namespace {

const double kGridEpsilon = 0.000001;
const double kMatchDistance2 = 0.0000001;

double Floor(double v) { return std::floor(v + kGridEpsilon); }

// Two decimal digits at text; -1 when either is no digit.
int TwoDigits(const wchar_t* text)
{
    if (text[0] < L'0' || text[0] > L'9' || text[1] < L'0' || text[1] > L'9')
        return -1;
    return (text[0] - L'0') * 10 + (text[1] - L'0');
}

unsigned ReadU32(const BYTE* p, bool little)
{
    BYTE b[4];
    std::memcpy(b, p, 4);
    if (!little)
        std::reverse(b, b + 4);
    return (unsigned)b[0] | (unsigned)b[1] << 8 | (unsigned)b[2] << 16 | (unsigned)b[3] << 24;
}

double ReadDouble(const BYTE* p, bool little)
{
    BYTE b[8];
    std::memcpy(b, p, 8);
    if (!little)
        std::reverse(b, b + 8);
    double v;
    std::memcpy(&v, b, 8);
    return v;
}

}  // namespace

bool DmsTextToDegrees(const wchar_t* text, VARIANT* out)
{
    VariantInit(out);
    out->vt = VT_NULL;
    if (!text || !*text)
        return true;
    if (wcslen(text) != 6)
        return false;
    int d = TwoDigits(text), m = TwoDigits(text + 2), s = TwoDigits(text + 4);
    if (d < 0 || m < 0 || s < 0 || m >= 60 || s >= 60)
        return false;
    out->vt = VT_R8;
    out->dblVal = d + m / 60.0 + s / 3600.0;
    return true;
}

bool ComputeGridSquare(double longitude, double latitude, int* row, int* column, int* quadrant,
                       int* subsquare, bool fine)
{
    *row = *column = *quadrant = *subsquare = 0;
    double r = 560 - 10 * latitude;
    double c = 6 * longitude - 34;
    // North of 56 N or west of 5 40' E the row or column would be negative.
    if (!std::isfinite(r) || !std::isfinite(c) || Floor(r) < 0 || Floor(c) < 0 || Floor(r) > 1e6 ||
        Floor(c) > 1e6)
        return false;
    *row = (int)Floor(r);
    *column = (int)Floor(c);
    double rh = 2 * (r - *row), ch = 2 * (c - *column);
    *quadrant = 1 + 2 * (int)Floor(rh) + (int)Floor(ch);
    int n = fine ? 5 : 2;
    *subsquare = n * (int)Floor(n * (rh - Floor(rh))) + 1 + (int)Floor(n * (ch - Floor(ch)));
    if (*column > 99)
        *column -= 100;
    return true;
}

std::wstring GridSquareText(double longitude, double latitude)
{
    int row, column, quadrant, subsquare;
    if (!ComputeGridSquare(longitude, latitude, &row, &column, &quadrant, &subsquare, true))
        return std::wstring();
    wchar_t text[32];
    _snwprintf(text, 32, L"%.2d%.2d%c", row, column, (wchar_t)(quadrant + 64));
    text[31] = 0;
    return text;
}

std::vector<unsigned char> MakeWkbPointBytes(double x, double y, bool hasZ, double z)
{
    std::vector<unsigned char> b(hasZ ? 29 : 21, 0);
    b[0] = 1;
    unsigned type = hasZ ? 1001u : 1u;
    for (int i = 0; i < 4; ++i)
        b[1 + i] = (unsigned char)(type >> (8 * i));
    std::memcpy(&b[5], &x, 8);
    std::memcpy(&b[13], &y, 8);
    if (hasZ)
        std::memcpy(&b[21], &z, 8);
    return b;
}

bool MakeWkbPoint(const VARIANT& x, const VARIANT& y, const VARIANT& z, VARIANT* out)
{
    VariantInit(out);
    bool hasZ = !IsNoValue(z);
    std::vector<unsigned char> bytes =
        MakeWkbPointBytes(VariantToReal(&x), VariantToReal(&y), hasZ, hasZ ? VariantToReal(&z) : 0.0);
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, (ULONG)bytes.size());
    if (!array)
        return false;
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) {
        SafeArrayDestroy(array);
        return false;
    }
    std::memcpy(data, bytes.data(), bytes.size());
    SafeArrayUnaccessData(array);
    out->vt = VT_ARRAY | VT_UI1;
    out->parray = array;
    return true;
}

StoredPoint ReadStoredPoint(const VARIANT& stored)
{
    StoredPoint point = {STORED_NONE, 0, 0};
    if (stored.vt != (VT_ARRAY | VT_UI1) || !stored.parray)
        return point;
    point.Kind = STORED_UNREADABLE;
    if (SafeArrayGetDim(stored.parray) != 1)
        return point;
    BlobBytes bytes(&stored);
    if (!bytes.ok())
        return point;
    const BYTE* p = bytes.data();
    if (bytes.size() == 25) {
        point.X = ReadDouble(p + 1, true);
        point.Y = ReadDouble(p + 9, true);
    } else {
        if (bytes.size() < 21)
            return point;
        bool little = p[0] != 0;
        if (ReadU32(p + 1, little) % 1000 != 1)
            return point;
        point.X = ReadDouble(p + 5, little);
        point.Y = ReadDouble(p + 13, little);
    }
    point.Kind = STORED_POINT;
    return point;
}

int ComparePoint(const StoredPoint& stored, const VARIANT& x, const VARIANT& y)
{
    if (stored.Kind == STORED_NONE)
        return IsNoValue(x) && IsNoValue(y) ? GEOMETRY_MATCH : GEOMETRY_NAME_ONLY;
    if (IsNoValue(x) || IsNoValue(y) || stored.Kind != STORED_POINT)
        return GEOMETRY_NO_MATCH;
    double dx = VariantToReal(&x) - stored.X, dy = VariantToReal(&y) - stored.Y;
    return dx * dx + dy * dy < kMatchDistance2 ? GEOMETRY_MATCH : GEOMETRY_NO_MATCH;
}

int CompareGeometry(const VARIANT& stored, const VARIANT& x, const VARIANT& y)
{
    return ComparePoint(ReadStoredPoint(stored), x, y);
}
