// Date texts as the data layer reads them, in one table: the reading itself, a date column's
// text from the Access driver (a text that is no date gives an unreadable cell, never a date),
// and a date kept as text in the database file.
#include <gtest/gtest.h>

#include <string>

#include "dataaccess/datetext.h"
#include "dataaccess/odbccore.h"
#include "dataaccess/textfetch.h"
#include "dataaccess/varconv.h"

using namespace zdata;

namespace {

struct DateCase {
    const wchar_t* text;
    DateText form;
    double date;  // of a Date: days since 30 December 1899 and the part of the day
};

const DateCase kDates[] = {
    {L"1974-09-21 00:00:00", DateText::Date, 27293},
    {L"2006-02-03 22:11:05", DateText::Date, 38751 + (22 * 3600 + 11 * 60 + 5) / 86400.0},
    {L"1898-01-01 00:00:00", DateText::Date, -728},
    {L"1899-12-30 00:00:00", DateText::Date, 0},
    {L"1899-12-31 12:00:00", DateText::Date, 1.5},
    {L"0632-05-01 00:00:00", DateText::Date, -463005},
    {L"9999-12-31 23:59:59", DateText::Date, 2958465 + 86399 / 86400.0},
    {L"2020-02-29", DateText::Date, 43890},
    {L"2020-1-5 7:05", DateText::Date, 43835 + (7 * 60 + 5) / 1440.0},
    // What the Access driver writes for every date it cannot convert (before 1900, far ahead).
    {L"1900-01-00 00:00:00", DateText::Impossible, 0},
    {L"1900-00-01 00:00:00", DateText::Impossible, 0},
    {L"2021-02-29 00:00:00", DateText::Impossible, 0},
    {L"1900-02-29", DateText::Impossible, 0},
    {L"2020-13-01", DateText::Impossible, 0},
    {L"2020-04-31", DateText::Impossible, 0},
    {L"2020-01-01 24:00:00", DateText::Impossible, 0},
    {L"2020-01-01 23:60", DateText::Impossible, 0},
    {L"0099-01-01", DateText::Impossible, 0},
    {L"", DateText::Other, 0},
    {L"21.9.1974", DateText::Other, 0},
    {L"9/21/1974", DateText::Other, 0},
    {L"1974-09-21T00:00:00", DateText::Other, 0},
    {L"1974-09-21 00", DateText::Other, 0},
    {L"1974-09-21 00:00:00 ", DateText::Other, 0},
    {L"12345-01-01", DateText::Other, 0},
    {L"1974-09-21x", DateText::Other, 0},
};

ColumnType DateColumn()
{
    ColumnType t;
    t.adoType = adDate;
    t.definedSize = 8;
    t.fetch = FetchKind::Double;
    return t;
}

}  // namespace

TEST(DateTexts, EachTextReadsAsADateOrNeverAsOne)
{
    for (const DateCase& c : kDates) {
        SCOPED_TRACE(testing::Message() << std::string(c.text, c.text + wcslen(c.text)));
        DATE read = -99999;
        EXPECT_EQ(c.form, ReadDateText(c.text, wcslen(c.text), &read));
        if (c.form == DateText::Date) {
            EXPECT_DOUBLE_EQ(c.date, read);
        }

        // From the Access driver: the date, or a cell that reads as nothing and says so.
        RowBuffer row(1);
        AddTextAsColumnValue(&row, DateColumn(), c.text, wcslen(c.text));
        DriverValue v = row.Get(0);
        EXPECT_EQ(c.form == DateText::Date, !v.isNull);
        EXPECT_EQ(c.form != DateText::Date, v.unreadable);
        if (c.form == DateText::Date) {
            EXPECT_DOUBLE_EQ(c.date, v.d);
        }

        // Kept as text by another program: a date, and never one for a text naming no day.
        VARIANT out;
        VariantInit(&out);
        ASSERT_EQ(S_OK, DriverValueToVariant(adDate, DriverValue::Text(c.text, wcslen(c.text)), &out));
        if (c.form == DateText::Date) {
            EXPECT_EQ(VT_DATE, out.vt);
            EXPECT_DOUBLE_EQ(c.date, out.date);
        } else if (c.form == DateText::Impossible) {
            EXPECT_EQ(VT_BSTR, out.vt);
        }
        VariantClear(&out);
    }
}
