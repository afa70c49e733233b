// Date texts of the form the drivers and SQL write them, "yyyy-mm-dd[ hh:mm[:ss]]", read as OLE
// dates. A text of that form that names no moment (a day or month 0, 30 February, hour 24) is
// never taken for a nearby date: the MDBTools driver writes "1900-01-00 00:00:00" for every date
// it cannot convert (those before 1900 among them).
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <stddef.h>

namespace zdata {

enum class DateText
{
    Date,        // *out holds the OLE date
    Impossible,  // the form is right, but there is no such date or time
    Other,       // not of that form
};

DateText ReadDateText(const wchar_t* text, size_t length, DATE* out);

// The OLE date of a moment given by its parts; false when there is no such moment (a month 13,
// 31 February, hour 24) or it lies outside the years 100 to 9999.
bool DateOfParts(int year, int month, int day, int hour, int minute, int second, DATE* out);

}  // namespace zdata
