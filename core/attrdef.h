// One user-defined attribute of a data table: a row of CUSTOMATTRIBUTES. The database object
// keeps one list of these (heap records in an owning CPtrArray) per table; masks, property
// boxes and the search read the kind of a column from here.
#pragma once

enum AttrType
{
    ATTR_BOOLEAN = 0,
    ATTR_INTEGER = 1,
    ATTR_REAL = 2,
    ATTR_DATE = 3,
    ATTR_TEXT = 4,
    ATTR_LOOKUP = 5,       // value from a lookup table
    ATTR_LONG_TEXT = 6,
    ATTR_GEO_LOOKUP = 7,   // value from a lookup table that also has a geometry column
};

struct CustomAttrDef
{
    int Type;            // AttrType
    int Size;            // text size
    int Position;        // POSID: order of the attributes
    int ColumnOrdinal;   // ordinal of the column in its own table, found by name
    int KeyFlag;         // a value is required
    wchar_t FieldName[32];
    wchar_t TabName[32]; // tab of the edit dialogs that shows the attribute
    wchar_t Caption[64];
    // The bounds of a number set in the utilities program (MINVAL, MAXVAL); a file of the older
    // layout, or an attribute without them, has none.
    int HasMin;
    int HasMax;
    double MinVal;
    double MaxVal;
    // The years a whole number holds (FieldYears of core/valuecheck.h), for the built-in year
    // of a publication; not stored.
    int Years;
};
