// Row import of the flat sources (text files, Access tables, Excel sheets). Such a source
// delivers one row at a time, one value per SourceColumn of its field mapping; the row import
// turns the row into target rows: the taxon (units down to the species, with its species row),
// the locality (units down to the locality, with its feature row, coordinates and square), the
// publication, and the occurrence record linking them. Both sources run the same steps on the
// same per-run tables, kept in one RowImport object that each source owns.
//
// Use, in the source's run hooks (importrun.h):
//   OpenTargets: IImpSource::OpenTargets, then rows.Begin(run, columns)  (false stops the run)
//   ImportRow:   ImportTxtRow(run, rows, fields) or ImportMdbRow(run, rows, values, count)
//   CloseData:   rows.End()
// run.Line is the source line (text) or row number (table) the log entries name; the source
// sets it before each row.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "core/containers.h"
#include "import/recordwriter.h"

class ImportRun;
struct ItemList;
struct SourceColumn;

// Parts of a row: bit (TargetGroup - 1) is set when a column of that group has a target column.
enum RowPart {
    ROWPART_SYSUNITS = 1,
    ROWPART_LOCUNITS = 2,
    ROWPART_SPECIES = 4,
    ROWPART_LOCALITY = 8,
    ROWPART_RECORD = 16,
    ROWPART_LITERATURE = 32,
};

// The per-run state of the row import. Begin builds it before the first row; End frees it (also
// after a failed run; the destructor calls it).
class RowImport {
public:
    RowImport();
    ~RowImport();
    RowImport(const RowImport&) = delete;
    RowImport& operator=(const RowImport&) = delete;

    // Before the first row, after the target tables are open: the job's columns (kind 11 list),
    // the part flags, the lookup tables of value-list and geometry columns, the per-level tables
    // and the ancestors of a fixed target taxon or locality. False stops the run.
    bool Begin(ImportRun& run, CPtrArray* columns);
    void End();

    // The values of the current row, one per column (VT_EMPTY: not imported).
    std::vector<VARIANT> Values;
    CPtrArray* Columns;  // not owned
    int Parts;           // RowPart flags

    // Per tree: the column of each level's unit name (-1 none) and the id found for each level in
    // the current row (-1 none); index 0 is the tree's first level.
    std::vector<int> SysNameColumn, LocNameColumn;
    std::vector<int> SysIds, LocIds;
    const ItemList* SysLevels;  // the model's level lists (not owned)
    const ItemList* LocLevels;
    std::vector<int> SysLevelIds, LocLevelIds;   // LEVELID of each level
    std::vector<bool> SysDataLevel, LocDataLevel;  // the level's items carry records
    // Name words of the species text, one 64-character buffer per systematic data level.
    std::vector<std::wstring> WordBuffers;
    std::vector<wchar_t*> Words;
    // The job's fallback taxon or locality (-1 none) and its ancestors per level: a row that names
    // none of its own goes to it, and so does one whose name is not found (with a fallback the
    // row's names are only looked up, nothing is made from them).
    int FixedSysId, FixedLocId;
    std::vector<int> FixedSysIds, FixedLocIds;
    // Ordinals in ZORNACOLLS of SYS_LEVEL_<id> and LOC_LEVEL_<id> per level, -1 none.
    std::vector<int> RecordSysLevelField, RecordLocLevelField;
    // The next free ids of both trees (counted up from the highest when the tables opened).
    int NextSysId, NextLocId;
    // Ids per level of the items whose paths were read in this run.
    std::unordered_map<int, std::vector<int>> SysPaths, LocPaths;
    // Names the rows look up, read once from the target tables and kept up to date with what the
    // run creates (a filter on a name reads every row): species name -> SYSID, and per tree
    // level and name -> the first item's ID, each with the number of rows of that name (a row
    // matched among several is logged with the one it took). Keys are folded as names match
    // (case ignored).
    struct NameMatch {
        int id;
        int count;
    };
    std::unordered_map<std::wstring, NameMatch> SpeciesByName, SysByLevelName, LocByLevelName;
    // What the log says of a match after its name (" pod „parent“"), by tree (bit 0: localities)
    // and ID, and the note's two texts (a species, an item of a level): a row matched among
    // several costs a look-up, not a walk of the tree (most rows of a large file may be such).
    std::unordered_map<long long, std::wstring> MatchUnder;
    std::wstring NoteTexts[2];
    bool SpeciesIndexed, SysIndexed, LocIndexed;
    // The records' statement.
    RecordWriter Records;
    // The lookup table of each value-list or geometry column once looked for (null: none), and
    // whether the column needs one.
    std::unordered_map<const SourceColumn*, std::pair<zdata::Recordset*, bool>> LookupTables;
    // Rows imported and rows that made a record, for the log and the tests.
    int RowCount, RecordCount;
};

// The text source's row: the line's fields as cut at the separator (fields beyond the columns
// are dropped, columns without a field get an empty value). Each field is converted by its
// column's target type (ConvertTextField) and the row imported. An empty line imports nothing.
// Returns an ImportRowResult.
int ImportTxtRow(ImportRun& run, RowImport& rows, const std::vector<std::wstring>& fields);

// The table source's row: the row's field values in the table's field order, taken as the
// provider delivers them (no conversion by target type). Returns an ImportRowResult.
int ImportMdbRow(ImportRun& run, RowImport& rows, const VARIANT* values, int count);

// The steps of one row over rows.Values (both entry points end here).
int ImportRowValues(ImportRun& run, RowImport& rows);

// The steps; each returns the id of the taxon, locality or publication, -1 none.
int ImportRowSystem(ImportRun& run, RowImport& rows);
int ImportRowLocality(ImportRun& run, RowImport& rows);
int ImportRowLiterature(ImportRun& run, RowImport& rows);
// False (logged) when the record is refused: the row is then undone whole.
bool ImportRowRecord(ImportRun& run, RowImport& rows, int sysId, int locId, int litId);

// Offers a value to its column's lookup table; false when the table is not open.
bool AddRowLookupValue(ImportRun& run, RowImport& rows, const SourceColumn* column, const wchar_t* prefix,
                       const VARIANT* value);
