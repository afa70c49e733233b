// What the three exchange-file sources share: their wizard groups (system units, locality units,
// the territorial unit) and the finding or making of tree items, species rows and localities in
// the target, with the log entries of what fails.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>

#include "core/containers.h"
#include "dataaccess/ado.h"
#include "import/exchangereader.h"
#include "import/impsource.h"

class ImportRun;

// ---- wizard groups ----
// The five system units "Řád" ... "Poddruh" (the last two carry records); false when the list
// already had entries (they stay).
bool FillSystemUnits(HINSTANCE instance, CPtrArray* items);
// The four locality units "Země" ... "Lokalita" (the last carries records).
bool FillLocalityUnits(HINSTANCE instance, CPtrArray* items);
// The territorial unit, a list attribute of the localities.
bool FillTerritorialUnit(HINSTANCE instance, CPtrArray* items);

// The entry of a unit or attribute group, null outside the list.
UnitEntry* UnitAt(CPtrArray* items, int index);
AttrImportEntry* AttrAt(CPtrArray* items, int index);
// A unit the user chose not to import, or whose level could not be made.
bool UnitSkipped(const UnitEntry* unit);
// An attribute imported into a list or geometry attribute (types 5 and 7), whose values go into
// a lookup table of their own (opened by OpenTargetAttrTables).
bool AttrHasLookup(const AttrImportEntry* attr);

// ---- values ----
void SetNull(VARIANT* v);
// Writes a value into the current row's column at ordinal; false when the column is refused.
bool PutOrdinal(zdata::Recordset* rs, long ordinal, const VARIANT& value);
bool PutOrdinalInt(zdata::Recordset* rs, long ordinal, int value);
bool PutOrdinalText(zdata::Recordset* rs, long ordinal, const wchar_t* text);
// The ordinal of a column of the recordset by name, -1 when it has none.
int ColumnOrdinal(zdata::Recordset* rs, const wchar_t* name);

// Offers a non-empty text to a lookup table (null: none) through the run's index: a value the
// table holds already is not offered again.
void OfferLookupText(ImportRun& run, zdata::Recordset* table, const std::wstring& value);

// ---- tree items ----
// The species row a new item of a data level gets.
struct NewSpecies {
    const wchar_t* Name;    // the composed name
    const wchar_t* Author;
    bool Parentheses;
    int Year;
};

// How a find-or-create ended.
struct ItemResult {
    int Id;             // the item's id; the parent when the creation failed
    bool Created;
    bool Failed;        // the item or its species row was refused (logged)
};

// Finds the item named name of the level under parent in SYSTREE, or makes it with the next id
// (*maxSysId counted up; taken back when refused). A new item gets its species row when species
// is given.
ItemResult FindOrCreateSysItem(ImportRun& run, int* maxSysId, int parent, int level, const wchar_t* name,
                               const NewSpecies* species);

// Finds the locality item (parent, level, name, coordinates) in LOCTREE or makes it with the next
// id, the abbreviation and the point.
ItemResult FindOrCreateLocItem(ImportRun& run, int* maxLocId, int parent, int level, const wchar_t* name,
                               const wchar_t* abbreviation, const VARIANT& longitude, const VARIANT& latitude,
                               const VARIANT& altitude);

// The FEATURES row of a new locality: its label from the names above it, the coordinates, the
// grid square (none outside the grid or without coordinates) and the territorial unit (into the
// lookup table when one is open and the column at unitOrdinal when it is 0 or more). False when
// the row was refused (logged).
bool WriteNewLocality(ImportRun& run, int id, const wchar_t* name, const wchar_t* municipality,
                      const wchar_t* district, const wchar_t* country, const VARIANT& longitude,
                      const VARIANT& latitude, const VARIANT& altitude, zdata::Recordset* unitLookup,
                      const wchar_t* unit, int unitOrdinal);

// ---- the files ----
// Why the file at path is no exchange file of the kind whose magic is given, in words for the user
// (empty, cut in its first line, another encoding, another kind of exchange file, no exchange file
// at all); empty for a file that cannot be opened.
std::wstring ExchangeFileProblem(HINSTANCE instance, const wchar_t* path, const char* magic);
// A source's Open: whether the file starts with the magic; *problem gets why not.
bool OpenExchangeFile(HINSTANCE instance, const wchar_t* path, const char* magic, std::wstring* problem);

// ---- the two tree files ----
// What the systematic and the locality file share: the magic, the two lines before the rows
// (a file that ends before them imports nothing and fails), one TAB-separated line per row, and
// the percentage of the file read.
class ExchangeTreeSource : public IImpSource {
public:
    ExchangeTreeSource(HINSTANCE instance, const char* magic, size_t fieldCount, int sizeExtra)
        : IImpSource(instance), magic_(magic), fieldCount_(fieldCount), sizeExtra_(sizeExtra)
    {
    }
    bool Open(const wchar_t* path) override { return OpenExchangeFile(hInstance, path, magic_, &problem_); }
    std::wstring OpenProblem() const override { return problem_; }
    bool OpenData(ImportRun& run) override;
    bool ChangeStructure(ImportRun& run) override;
    int Percent() override { return (int)(reader_.Position() * 100 / (reader_.Size() + sizeExtra_)); }
    void CloseData(ImportRun& run) override;

protected:
    // Empties the cache of the previous line's path when a run starts.
    virtual void ResetCache() = 0;
    // Reads the next line into fields (false: answer *result, the end or a line logged and left).
    bool ReadRow(ImportRun& run, std::vector<std::wstring>* fields, int* result);
    ExchangeReader reader_;

private:
    const char* magic_;
    size_t fieldCount_;
    int sizeExtra_;
    std::wstring problem_;
    bool headerComplete_ = false;
};
