#include "import/targetlocality.h"

#include <strsafe.h>

#include <string>

#include "core/geopoint.h"
#include "core/textutil.h"
#include "core/treewalk.h"
#include "import/targetsystem.h"
#include "import/targettables.h"

using treewalk::PutInt;
using treewalk::PutValue;
using treewalk::RowInt;
using treewalk::RowValue;
using namespace targetrows;

namespace {

const size_t kLabelMost = 62;

// Whole degrees, minutes and seconds "%d° %d' %d\""; empty when the value holds no number.
std::wstring DmsText(const VARIANT& value)
{
    int d = 0, m = 0, s = 0;
    if (!VariantToDms(&value, &d, &m, &s))
        return std::wstring();
    wchar_t text[40];
    StringCchPrintfW(text, 40, L"%d\u00B0 %d' %d\"", d, m, s);
    return text;
}

// Writes each value at its ordinal into the pending row; false at the first refusal.
bool PutAll(zdata::Recordset* rs, std::initializer_list<std::pair<long, const VARIANT*>> values)
{
    for (const auto& v : values)
        if (FAILED(PutValue(rs, v.first, *v.second)))
            return false;
    return true;
}

}  // namespace

int FindLocItem(zdata::Recordset* locTree, int parentId, int levelId, const wchar_t* name,
                const VARIANT& x, const VARIANT& y)
{
    wchar_t head[80];
    StringCchPrintfW(head, 80, L"PARENT = %d AND LOCLEVEL = %d AND NAME = '", parentId, levelId);
    if (!SetFilter(locTree, (head + FilterQuote(name) + L"'").c_str()))
        return -1;
    int found = -1;
    for (locTree->MoveFirst(); !locTree->IsEOF(); locTree->MoveNext()) {
        VARIANT geometry;
        RowValue(locTree, LOCTREE_GEOMETRY, &geometry);
        int match = CompareGeometry(geometry, x, y);
        VariantClear(&geometry);
        if (match > GEOMETRY_NO_MATCH)
            found = RowInt(locTree, LOCTREE_ID, -1);
        if (match == GEOMETRY_MATCH)
            break;
    }
    return found;
}

bool CreateLocItem(zdata::Recordset* locTree, int newId, int parentId, int levelId, const wchar_t* name,
                   const wchar_t* abbreviation, const VARIANT& x, const VARIANT& y, const VARIANT& z)
{
    if (FAILED(locTree->AddNew()))
        return false;
    VARIANT text = TextValue(name);
    VARIANT abbrev = TextOrNull(abbreviation);
    VARIANT geometry;
    VariantInit(&geometry);
    bool written = SUCCEEDED(PutInt(locTree, LOCTREE_ID, newId)) &&
                   SUCCEEDED(PutInt(locTree, LOCTREE_PARENT, parentId)) &&
                   SUCCEEDED(PutInt(locTree, LOCTREE_LEVEL, levelId)) &&
                   PutAll(locTree, {{LOCTREE_NAME, &text}, {LOCTREE_ABBREV, &abbrev}});
    if (written && !IsNoValue(x) && !IsNoValue(y))
        written = MakeWkbPoint(x, y, z, &geometry) && SUCCEEDED(PutValue(locTree, LOCTREE_GEOMETRY, geometry));
    VariantClear(&text);
    VariantClear(&abbrev);
    VariantClear(&geometry);
    return StoreIfWritten(locTree, written);
}

bool CreateFeatureRow(zdata::Recordset* features, zdata::Recordset* lookup, int locId,
                      const wchar_t* label, const wchar_t* second, const VARIANT& longitude,
                      const VARIANT& latitude, const VARIANT& altitude, const wchar_t* attrText,
                      const wchar_t* square, int attrOrdinal)
{
    VARIANT attr = TextOrNull(attrText);
    if (lookup && attr.vt == VT_BSTR)
        OfferListValue(lookup, attr);
    if (FAILED(features->AddNew())) {
        VariantClear(&attr);
        return false;
    }
    VARIANT text = TextValue(label);
    VARIANT secondText = TextOrNull(second);
    VARIANT squareText = TextOrNull(square);
    bool written = SUCCEEDED(PutInt(features, FEATURE_LOCID, locId)) &&
                   PutAll(features, {{FEATURE_NAME, &text},
                                     {FEATURE_SECOND, &secondText},
                                     {FEATURE_LONGITUDE, &longitude},
                                     {FEATURE_LATITUDE, &latitude},
                                     {FEATURE_ALTITUDE, &altitude},
                                     {FEATURE_SQUARE, &squareText}});
    if (written && attrOrdinal >= 0)
        written = SUCCEEDED(PutValue(features, attrOrdinal, attr));
    VariantClear(&attr);
    VariantClear(&text);
    VariantClear(&secondText);
    VariantClear(&squareText);
    return StoreIfWritten(features, written);
}

int FormatLocLabel(wchar_t* destination, const wchar_t* name, const wchar_t* text1, const wchar_t* text2,
                   const wchar_t* text3, const VARIANT& longitude, const VARIANT& latitude)
{
    (void)text3;  // the callers pass the first level's name too; the label leaves it out
    std::wstring label(name ? name : L"", wcsnlen(name ? name : L"", 63));
    if (label.size() <= 60) {
        bool cut = false;
        auto append = [&](const std::wstring& piece) {
            if (cut)
                return;
            if (label.size() + piece.size() > kLabelMost) {
                label = (label + piece).substr(0, 59) + L"...)";
                cut = true;
            } else {
                label += piece;
            }
        };
        append(L" (");
        size_t open = label.size();
        std::wstring lat = DmsText(latitude);
        if (!lat.empty()) {
            append(lat);
            std::wstring lon = DmsText(longitude);
            if (!lon.empty())
                append(L", " + lon);
        }
        for (const wchar_t* text : {text1, text2})
            append((label.size() > open ? L", " : L"") + std::wstring(text ? text : L""));
        append(L")");
    }
    StringCchCopyW(destination, kImportNameChars, label.c_str());
    return (int)wcslen(destination);
}
