// The sample database: a realistic, deterministic Czech faunistic database of any size, made
// through the schema script and plain ODBC. Used for the demo database the run command creates,
// for the benchmark database, and by tests of every layer above the file.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "core/geopoint.h"

namespace zor {

struct SampleDbOptions {
    int records = 5000;          // occurrence records; the trees and the literature grow with it
    unsigned long long seed = 2011;
    bool empty = false;          // only the schema and its root rows
    // Test variants: an attribute definition whose column does not exist, and picture tables
    // of the older four-column form (no thumbnail column).
    bool orphanAttribute = false;
    bool fourColumnPictures = false;
    // A file of the older layout: the attribute definitions without their value columns
    // (MINVAL, MAXVAL, NULLVAL), as the utilities find them before upgrading.
    bool olderAttributeTable = false;
};

struct SampleDbStats {
    int taxa = 0;          // SYSTREE items without the root
    int species = 0;       // SPECIES rows
    int localities = 0;    // FEATURES rows
    int publications = 0;
    int records = 0;
    double seconds = 0;
};

// The demo size of the database the run command creates when the default one is missing.
const int kSampleDemoRecords = 5000;

// Creates the database at a Windows path, making missing folders. An existing file that is not
// an SQLite database is never touched (the call fails and says so); an existing SQLite file is
// replaced only when the new one is complete. Returns false with a message in error.
bool CreateSampleDatabase(const std::wstring& path, const SampleDbOptions& options,
                          std::wstring* error, SampleDbStats* stats = nullptr);

// Makes every folder of the path that is missing (the path names a folder).
bool MakeFolders(const std::wstring& folder);

// The mapping-grid square of a point: rows of 6' counted southwards from 56 N, columns of 10'
// eastwards from 5 40' E, quadrants A (north-west) to D (south-east): "%.2d%.2d%s"; empty for a
// point north or west of the grid (GridSquareText).
std::wstring GridSquareOf(double longitude, double latitude);

// Whether a point lies inside the Czech Republic (a polygon of its border, good to a few km).
bool InsideCzechRepublic(double longitude, double latitude);
// That polygon's points (longitude, latitude), clockwise from the western tip; every sample
// locality lies inside it.
std::vector<std::pair<double, double>> CzechBorderOutline();

// OLE automation date (days since 30 Dec 1899) of a calendar day.
double OleDateOf(int year, int month, int day);

// The locality label the programs store in FEATURES.NAME: the name, then in parentheses the
// latitude and longitude in whole degrees, minutes and seconds and the parent's and
// grandparent's names, within 62 characters ("...)" when cut).
std::wstring ComposeLocalityLabel(const std::wstring& name, bool hasCoordinates, double longitude,
                                  double latitude, const std::wstring* parent,
                                  const std::wstring* grandparent);

// A point as well-known binary (core/geopoint.h).
using ::MakeWkbPointBytes;

// Small pictures as stored images: a 24-bit BMP file and a PNG file of a generated pattern.
std::vector<unsigned char> MakeSampleBmp(int width, int height, unsigned seed);
std::vector<unsigned char> MakeSamplePng(int width, int height, unsigned seed);

}  // namespace zor
