// Databases as older installations of the program left them, made from the sample database:
// the sources that merging another database into the open one reads. The older layout has the
// attribute table without its value columns (MINVAL, MAXVAL, NULLVAL), FEATURES without the
// locality note (its attributes follow the square at once), and a records view that ends with
// the publication's name. Variants add what such files also hold: name tables of two columns,
// a level added after the record attributes (its path column then stands behind them),
// attributes of every type on all six tables, and names with apostrophes and Czech letters.
#pragma once
#include <string>

#include "tools/sampledb/sampledb.h"

namespace zor {

struct OlderDbOptions {
    SampleDbOptions sample;        // size and seed of the sample it starts from
    bool olderLayout = true;       // false: the current layout
    bool twoColumnNames = false;   // LITAUTHORS and EDITORS of ID and NAME only
    bool lateLevel = false;        // a systematic level "Forma" added after the record attributes
    bool everyAttributeType = false;  // further attributes, every type on every table
    // Every second genus, district, publication and author renamed with an apostrophe and Czech
    // letters, so that half of the trees and the literature are new to a database of the same
    // seed.
    bool renamedHalf = false;
};

// The systematic level that lateLevel adds.
const int kLateLevelId = 6;

// Makes the database at a Windows path (replacing an SQLite file there). False with a message
// in error.
bool CreateOlderDatabase(const std::wstring& path, const OlderDbOptions& options, std::wstring* error,
                         SampleDbStats* stats = nullptr);

}  // namespace zor
