// The main program's gateway to the database file: the connection with its asynchronous open
// and events sink, the recordsets that stay open while the database is open, the attribute
// definitions of the six data tables, the column names of the two list views and the column
// offsets inside the records view.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "core/attrdef.h"
#include "core/connsettings.h"
#include "core/containers.h"
#include "core/leveldefs.h"
#include "dataaccess/ado.h"

struct LocPathAbbrevs;  // core/itempath.h
struct InfoPanelRequest;  // below, with the information panels
struct LookupEdit;        // core/lookupedit.h
struct LiteratureRecord;  // core/literature.h
struct TreeItemRecord;    // core/itemrecords.h
struct OccurrenceRecord;  // core/itemrecords.h

// ---- column catalogues and list queries ----
class CDispField;
class CFieldBase;
// The query of a record or literature list, built by the list's owner.
struct ListQuery
{
    int Kind;               // 1 taxon, 2 locality, 3 search or all records, 4 literature
    int Id;                 // SYSTREE.ID, LOCTREE.ID or LITAUTHORS.ID (negative: all authors)
    CFieldBase** SortKeys;  // CFieldInfo entries of the list's catalogue, or null
    int SortKeyCount;
    int Descending;         // " DESC" after every key
    int RowCount;           // out
    const wchar_t* Where;   // condition of a search (kinds 3 and 4), or null
};
// ---- end of column catalogues and list queries ----

// Connection events sink: tells the main window that an open attempt has finished.
class CConnEvents : public zdata::ConnectionEventsVt
{
public:
    explicit CConnEvents(HWND mainWindow);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE InfoMessage(zdata::Error* error, EventStatusEnum* status,
                                          zdata::Connection* connection) override;
    HRESULT STDMETHODCALLTYPE BeginTransComplete(long transactionLevel, zdata::Error* error,
                                                 EventStatusEnum* status,
                                                 zdata::Connection* connection) override;
    HRESULT STDMETHODCALLTYPE CommitTransComplete(zdata::Error* error, EventStatusEnum* status,
                                                  zdata::Connection* connection) override;
    HRESULT STDMETHODCALLTYPE RollbackTransComplete(zdata::Error* error, EventStatusEnum* status,
                                                    zdata::Connection* connection) override;
    HRESULT STDMETHODCALLTYPE WillExecute(BSTR* source, CursorTypeEnum* cursorType,
                                          LockTypeEnum* lockType, long* options,
                                          EventStatusEnum* status, zdata::Command* command,
                                          zdata::Recordset* recordset,
                                          zdata::Connection* connection) override;
    HRESULT STDMETHODCALLTYPE ExecuteComplete(long recordsAffected, zdata::Error* error,
                                              EventStatusEnum* status, zdata::Command* command,
                                              zdata::Recordset* recordset,
                                              zdata::Connection* connection) override;
    HRESULT STDMETHODCALLTYPE WillConnect(BSTR* connectionString, BSTR* userId, BSTR* password,
                                          long* options, EventStatusEnum* status,
                                          zdata::Connection* connection) override;
    HRESULT STDMETHODCALLTYPE ConnectComplete(zdata::Error* error, EventStatusEnum* status,
                                              zdata::Connection* connection) override;
    HRESULT STDMETHODCALLTYPE Disconnect(EventStatusEnum* status,
                                         zdata::Connection* connection) override;

    // Called by the database object: an Open is about to start, so the next completion posts.
    void ExpectCompletion();
    // Posts ZM_DB_OPENED when an Open is still waiting for it; the message goes out once per
    // Open whichever way the attempt ends.
    void NotifyCompletion();

    HWND MainWindow;
    HWND ProgressWindow;
    volatile LONG RefCount;

protected:
    virtual ~CConnEvents();

private:
    volatile LONG awaiting_;
};

// One open lookup table (or the author list) of the lookup cache.
struct LookupCacheEntry
{
    wchar_t TableName[32];
    zdata::Recordset* Recordset;  // SysAuthorsRs for the author list (not owned then)
};

// The recordsets that stay open while the database is open.
enum CachedRecordset
{
    RS_SYSTREE = 0,
    RS_LOCTREE,
    RS_TAXON_RECORDS,
    RS_LOCALITY_RECORDS,
    RS_SEARCH_RECORDS,
    RS_LITERATURE_LIST,
    RS_SPECIES_NAMES,
    RS_FEATURE_NAMES,
    RS_LITERATURE_NAMES,
    RS_SYSAUTHORS,
    RS_LITAUTHORS,
    RS_JOURNALS,
    RS_EDITORS,
    RS_KEYWORDS,
    RS_COUNT
};

// How each cached recordset is opened: its fixed query (null for the four lists, whose query
// is built per request), cursor location, cursor type and lock type.
struct CachedRecordsetSpec
{
    const wchar_t* Sql;
    long CursorLocation;
    long CursorType;
    long LockType;
};
const CachedRecordsetSpec& CachedRecordsetSpecOf(CachedRecordset kind);

// One message box (MB_ICONERROR, through ZorMessageBox) per error of the connection's Errors
// collection, in order: the description as text, the source as caption. The collection is not
// cleared.
void ShowAdoErrors(HWND owner, zdata::Connection* connection);

class CDatabase
{
public:
    CDatabase(HWND mainWindow, HINSTANCE instance);
    ~CDatabase();
    CDatabase(const CDatabase&) = delete;
    CDatabase& operator=(const CDatabase&) = delete;

    int IsOpen();
    // The Czech collation extension that an open database lacks (its path), so that lists sort
    // in the schema's own order; empty when the database has the Czech order or is not open.
    std::wstring MissingCollationExtension();
    // Starts the asynchronous open; the outcome arrives as ZM_DB_OPENED.
    HRESULT Open(HWND progressWindow, const ConnSettings* settings);
    // 1 when the database was open and is now closed, 0 when it was not open.
    int Close();
    void ReportAdoErrors();
    // The next free id of a table: its largest value in the column + 1 (0 for an empty table).
    int SelectMax(const wchar_t* column, const wchar_t* table);
    static void CloseRecordset(zdata::Recordset*& rs);

    // New level recordsets; the caller closes and releases them.
    zdata::Recordset* OpenSysDefs();
    zdata::Recordset* OpenLocDefs();
    void LoadSysLevelDefs(HWND tree, HWND list, HIMAGELIST largeImages, HIMAGELIST smallImages,
                          CPtrArray* levelCache);
    void LoadLocLevelDefs(HWND tree, HWND list, HIMAGELIST largeImages, HIMAGELIST smallImages,
                          CPtrArray* levelCache);

    zdata::Recordset* GetSysTreeRs();
    zdata::Recordset* GetLocTreeRs();
    // A cached recordset with a fixed query, opened on first use (and again when an earlier
    // attempt failed); later calls return the same object, borrowed. Null for the four lists.
    zdata::Recordset* GetCachedRecordset(CachedRecordset kind);
    // Closes one of the four list recordsets and opens it again, on the same object, with new
    // SQL; the result of the open.
    HRESULT ReopenListRecordset(CachedRecordset kind, const wchar_t* sql);
    zdata::Recordset*& RecordsetSlot(CachedRecordset kind);

    // 1 when the whole schema was read, 0 otherwise.
    int DiscoverSchema();
    // Tells the connection the captions of the columns the user edits (the built-in ones and
    // every attribute), so that a refused write names the field as the dialogs show it.
    void LabelColumns();

    CPtrArray* GetSpeciesAttrs() { return SpeciesAttrs; }
    CPtrArray* GetFeatureAttrs() { return FeatureAttrs; }
    CPtrArray* GetRecordAttrs() { return RecordAttrs; }
    // The first definition of SPECIES (1), FEATURES (2) or ZORNACOLLS (3) whose field name is
    // the name exactly (case-sensitive); null for none and for any other table.
    CustomAttrDef* FindAttrDef(int table, const wchar_t* fieldName);
    wchar_t** GetRecordViewFields() { return (wchar_t**)RecordViewFields->GetItems(); }
    wchar_t** GetLitViewFields() { return (wchar_t**)LitViewFields->GetItems(); }
    // 0 taxon, 1 locality, 2 search, 3 literature list; null for other kinds. Borrowed.
    zdata::Recordset* GetListRecordset(int kind);

    // A new recordset opened with the given cursor; returned also when the open failed (its
    // State then says so). The caller releases it.
    zdata::Recordset* OpenQuery(const wchar_t* sql, long cursorLocation, long cursorType,
                                long lockType);

    // ---- lookup values and authors: the reading side (database_lookup.cpp) ----
    // Cache index of an attribute's lookup table (kind 1-6, see LookupTableName), opened and
    // cached on first use; kLookupNotAvailable when the table cannot be opened.
    int LoadLookupValues(int kind, const wchar_t* fieldName);
    // Opens SysAuthorsRs on first use; its row count.
    int OpenSysAuthors();
    // Rows are 0-based. The length of the row's NAME, kept in CachedValue; 0 past the end.
    int GetSysAuthorTextLen(int row);
    void GetSysAuthorText(int row, wchar_t* buffer);
    // Length of the longest prefix of text that starts a NAME at or after *row (from the first
    // row when negative); *row becomes that row, or -1 and 0 when nothing matches.
    int FindSysAuthorPrefix(const wchar_t* text, int* row);
    // The same for a cached lookup table; an index outside the cache gives 0 and changes nothing.
    int GetLookupCount(int index);
    int GetLookupTextLen(int index, int row);
    int FindLookupPrefix(int index, const wchar_t* text, int* row);
    // The cached recordset of an index; null for an index outside the cache (and for 65535).
    zdata::Recordset* GetLookupRecordset(int index);
    // Fills a list box (kind 1, ABBREV copies as malloc'd item data), combo box (2) or list
    // view (3) with the NAMEs of a cached lookup table; 0 when the index or kind is not valid.
    int FillLookupControl(int index, int controlKind, HWND control);
    // Frees the ABBREV copies that FillLookupControl left as list box item data and empties it.
    static void ResetLookupListBox(HWND listBox);
    // The attributes of types 5 and 7 of table 0-5 (SYSTREE, SPECIES, LOCTREE, FEATURES,
    // ZORNACOLLS, LITERATURE) with their CustomAttrDef as item data; other tables only empty it.
    void FillLookupFieldCombo(int table, HWND combo);
    // The ABBREV of a lookup value of a table's field into *out; out stays as it was when the
    // value is not a text or is not in the lookup table.
    void GetLookupAbbrev(const wchar_t* tableName, const wchar_t* fieldName, const VARIANT* value,
                         VARIANT* out);
    // The user-defined attributes into a property box: SYSTREE then SPECIES, LOCTREE then
    // FEATURES, LITERATURE; the count of the first table's attributes.
    int FillSysPropertyBox(HWND propertyBox);
    int FillLocPropertyBox(HWND propertyBox);
    int FillLitPropertyBox(HWND propertyBox);
    // ---- end of lookup values and authors ----

    // ---- record-list services and item path texts (itempath.cpp) ----
    // Sets the Filter of the taxon (0) or search (1) record list; null clears it. Other lists
    // and a list that is not open are left alone. False when the list refused the filter (it
    // keeps the one it had) or there is no such open list.
    bool SetRecordListFilter(int list, const wchar_t* text);
    // Longitude and latitude of the listed records with a publication (sourced) or without one:
    // two malloc'ed arrays in points[0] (x) and points[1] (y), freed by the caller; null when no
    // record is listed. Returns the number of points written.
    int GetRecordCoordinates(int list, int sourced, double* points[2]);
    // The report text of a taxon: its species name, then its ancestors below the root from the
    // top down in parentheses, as 8-bit text never longer than bufferSize - 1 bytes (name and
    // path are cut to fit). Returns the length written.
    int GetSysItemPath(int id, char* buffer, int bufferSize);
    // The same for a locality, with its own name; an ancestor whose level (found by id in the
    // level cache) shows abbreviations gives its abbreviation, and the pair is reported.
    int GetLocItemPath(int id, char* buffer, int bufferSize, const CPtrArray* levelCache,
                       const LocPathAbbrevs* abbrevs);
    // SYSID (locality 0) or FTRID of the record with the id in the list (0 taxon, 1 locality,
    // 2 search); -1 when the list is not open or does not hold it.
    int GetRecordItemId(int list, int locality, int recordId);
    // Whether a table's field offers a value list: the species' AUTHOR, and attributes of the
    // lookup type (5), in mode 1 also of the geographic lookup type (7).
    bool IsLookupAttribute(int mode, const wchar_t* tableName, const wchar_t* fieldName);
    // The same question for a list entry: only database fields can have a value list.
    bool IsLookupField(int mode, CDispField* entry);
    // ---- end of itempath.cpp ----

    // ---- column catalogues and list queries (database_lists.cpp) ----
    // Finds or appends the catalogue entry of a table's column and refreshes its caption,
    // ordinal and alignment (from the attribute type); the user's width, visibility and order
    // of an existing entry stay.
    static CDispField* AddDispField(CObjArray* catalogue, const wchar_t* fieldName,
                                    const wchar_t* tableName, const wchar_t* caption, int ordinal,
                                    int attrType);
    void BuildSysHeaderColumns(CObjArray* catalogue);
    void BuildSysListColumns(CObjArray* catalogue);
    void BuildLocHeaderColumns(CObjArray* catalogue);
    void BuildLocListColumns(CObjArray* catalogue);
    void BuildSearchListColumns(CObjArray* catalogue);
    void BuildLitListColumns(CObjArray* catalogue);
    // Opens the species, locality and literature name recordsets.
    void LoadNameLists();
    void GetTaxonListCell(LVITEMW* item, HWND list);
    void GetLocalityListCell(LVITEMW* item, HWND list);
    void GetSearchListCell(LVITEMW* item, HWND list);
    void GetLiteratureListCell(LVITEMW* item, HWND list);
    // Reopen one list recordset for the query; query->RowCount gets its row count (0 when it
    // could not be opened). The statement is built to the length it needs, whatever sqlLength
    // the caller estimated.
    void QueryTaxonRecords(int sqlLength, ListQuery* query);
    void QueryLocalityRecords(int sqlLength, ListQuery* query);
    void QueryAllRecords(int sqlLength, ListQuery* query);
    void QueryLiterature(int sqlLength, ListQuery* query);
    // The statement a query reopens its list with; empty for a kind outside 1-4.
    std::wstring BuildListQuerySql(const ListQuery* query);
    void SetTaxonListCount(HWND list);
    void SetLocalityListCount(HWND list);
    void SetSearchListCount(HWND list);
    void SetLiteratureListCount(HWND list);
    // Type-ahead of a name combo box (kind 0 species, 1 localities, 2 literature).
    void FilterListByName(int kind, int dropDown, HWND combo, const wchar_t* text);
    void FilterListByComboText(int kind, HWND combo);
    // Every name of a list in the combo's list when they fit it (at most 127, as for the
    // type-ahead): a combo with nothing chosen still offers the names before anything is typed.
    void ListAllNames(int kind, HWND combo);
    // The ids from a taxon or locality up to its top-level ancestor, then 0. The flag is
    // accepted for the callers' sake and changes nothing.
    void GetSysIdPath(CIntArray* path, int itemId, int flag);
    void GetLocIdPath(CIntArray* path, int itemId, int flag);
    // New heap strings (free); empty when the row is missing or its name is not a text.
    wchar_t* GetSpeciesName(int taxonId);
    wchar_t* GetLocalityName(int localityId);
    // ---- end of column catalogues and list queries ----

    // ---- information panels (database_info.cpp) ----
    // Name, information lines and first picture of a taxon or a locality; the stored thumbnail
    // is used when its height is the panel's, else rebuilt from the picture and stored. 0 when
    // the file refused the reading (the panel is left as it was), else 1.
    int ShowSpeciesInfo(InfoPanelRequest* request);
    int ShowFeatureInfo(InfoPanelRequest* request);
    // ---- end of information panels ----

    // ---- lookup value edits and literature rows (lookupedit.cpp, literature.cpp) ----
    // Carries out a request of the lookup values editor; 1 when something was changed, 0 when
    // nothing was (a refused value edit changes nothing and shows the database's errors).
    int EditLookupTable(const LookupEdit* edit);
    // Offers a taxon's describing author to the author list (SysAuthorsRs); 1 when it was
    // added, 0 when it is empty, already there or refused (silently).
    int AddSysAuthor(const wchar_t* author);
    // Reads a publication of the literature list with its names and links into the record.
    int LoadLiterature(LiteratureRecord* record);
    // Writes the record and rewrites its links in one transaction; 1 saved, 0 failed (the
    // database's errors shown, the file left as it was).
    int SaveLiterature(LiteratureRecord* record);
    // 1 SysTreeRs, 2 LocTreeRs (as they are), 3-6 the literature name lists; null otherwise.
    zdata::Recordset* GetTableRecordset(int kind);
    // The cached name lists, opened on first use, handed out with no Filter.
    zdata::Recordset* GetLitAuthorsRs();
    zdata::Recordset* GetJournalsRs();
    zdata::Recordset* GetEditorsRs();
    zdata::Recordset* GetKeywordsRs();
    // ---- end of lookup value edits and literature rows ----

    // ---- tree moves and ordering (treemove.cpp) ----
    // The walks and writers behind them (LocateRecordById, UpdateSpeciesNames,
    // GetSpeciesAbsolutePos, ...) are in core/treemove.h; composed names, locality labels and
    // SetLevelColumns in core/composednames.h.
    // Each runs in one transaction: a refused write shows the database's errors, rolls back
    // and leaves the file as it was. Records below moved or renamed items keep their level
    // path columns and composed names current.
    // Puts a taxon at the wanted position among its siblings (1..n, n last); answers 1.
    int ReorderSysItem(int id, int position);
    // Moves taxa under a new parent after its last child, in the given order; 1 when at least
    // one was moved, 0 when none was (or the move was refused).
    int MoveSysItems(int parentId, int count, const int* ids);
    // Moves localities under a new parent; 1, or 0 when nothing was moved or the move was
    // refused. Both moves refuse, with a message, a parent that lies inside a moved branch.
    int MoveLocItems(int parentId, int count, const int* ids);
    // Gives records another species (kind 1) or locality (any other kind); 1 done, 0 failed.
    int MoveRecords(int targetId, int kind, int count, const int* recordIds);
    // New name of a taxon or locality; 1 stored, 0 not.
    int RenameSysItem(int id, const wchar_t* text);
    int RenameLocItem(int id, const wchar_t* text);
    // ---- end of tree moves and ordering ----

    // ---- tree items and records: loading, saving, deleting (itemsave.cpp, recordsave.cpp,
    // itemdelete.cpp; the edit records are in core/itemrecords.h) ----
    // Every save and delete runs in one transaction: a refused write shows the database's
    // errors (ReportAdoErrors), rolls back and leaves the file and the cached lists as they were.
    // Fill an item record whose Id is set (its lists empty); 1.
    int LoadSysItem(TreeItemRecord* item);
    int LoadLocItem(TreeItemRecord* item);
    // Stores an item with its data row, attributes, lookup values and pictures. parent: the new
    // item's parent (it goes after the last child), -1 for an existing item. 1 saved, 0 not.
    int SaveSysItem(int parent, TreeItemRecord* item);
    int SaveLocItem(int parent, TreeItemRecord* item);
    // Items typed into a tree label are refused: always 0.
    int AddSysItemByLabel(NMTVDISPINFOW* info);
    int AddLocItemByLabel(NMTVDISPINFOW* info);
    // Deletes an item with its data row, pictures and literature links; an item with children
    // or records is refused with a message. 1 deleted, 0 not. checkOnly: nothing is written, 1
    // when the item may go, else 0 with that message (asked before the user is asked to confirm).
    int DeleteSysItem(int id, bool checkOnly = false);
    int DeleteLocItem(int id, bool checkOnly = false);
    // Fills a record from the row of record list 0 (taxon), 1 (locality) or 2 (search); only
    // empty attribute values when the list does not hold it. 0 for another list (nothing read).
    int LoadRecord(int listKind, OccurrenceRecord* record);
    // One property box item per record attribute, its CustomAttrDef as item data.
    void FillRecordPropertyBox(HWND propertyBox);
    // Stores a record (a new one when its id matches no row) with its level path columns.
    int SaveRecord(OccurrenceRecord* record);
    // Delete records / publications (with their links) by id; 1 done, 0 refused.
    int DeleteRecords(const CIntArray* ids);
    int DeleteLiterature(const CIntArray* ids);
    // NAME of the SPECIES / FEATURES / LITERATURE row of an id as a malloc'd copy (free); empty
    // when there is no row or no text.
    wchar_t* GetSpeciesRowName(int id);
    wchar_t* GetFeatureRowName(int id);
    wchar_t* GetLiteratureRowName(int id);
    // ---- end of tree items and records ----

    HWND MainWindow;
    HINSTANCE Instance;
    zdata::Connection* AdoConnection;
    CConnEvents* Events;
    DWORD AdviseCookie;
    IConnectionPoint* ConnectionPoint;

    zdata::Recordset* SysTreeRs;
    zdata::Recordset* LocTreeRs;
    zdata::Recordset* TaxonRecordsRs;
    zdata::Recordset* LocalityRecordsRs;
    zdata::Recordset* SearchRecordsRs;
    zdata::Recordset* LiteratureListRs;
    zdata::Recordset* SpeciesNamesRs;
    zdata::Recordset* FeatureNamesRs;
    zdata::Recordset* LiteratureNamesRs;
    zdata::Recordset* SysAuthorsRs;
    zdata::Recordset* LitAuthorsRs;
    zdata::Recordset* JournalsRs;
    zdata::Recordset* EditorsRs;
    zdata::Recordset* KeywordsRs;

    CPtrArray* SysTreeAttrs;
    CPtrArray* LocTreeAttrs;
    CPtrArray* SpeciesAttrs;
    CPtrArray* FeatureAttrs;
    CPtrArray* RecordAttrs;
    CPtrArray* LiteratureAttrs;
    CPtrArray* RecordViewFields;
    CPtrArray* LitViewFields;
    CPtrArray* LookupCache;

    int RecordColumnCount;
    int FirstFeatureColumn;
    int FeatureBlockEnd;
    int LiteratureColumnCount;
    // A saved publication leaves the publication names to be read again when next used: with
    // many publications that read costs far more than the save itself.
    int LiteratureNamesStale = 0;
    // Reads the publication names again when a save left them stale.
    void RefreshLiteratureNames();

    int CachedTextLength;
    VARIANT CachedValue;
    // Before a write: true when another program has changed the data tables' columns since the
    // structure was read, which left the attribute lists and column offsets stale; nothing may
    // then be written.
    bool StructureChangedElsewhere();
    // Tells the user that another program changed the structure: reopen the database.
    void ReportStructureChanged();
    // What the data tables' definitions hashed to when the structure was read.
    bool TableShapesKnown = false;
    size_t TableShapes = 0;

private:
    // The name recordset of a name list kind (0 species, 1 localities, 2 literature, read
    // again when stale); null for other kinds.
    zdata::Recordset* NameListRecordset(int kind);
    // Per name list kind, the combo its recordset's filter last filled: another combo's entries
    // (a dialog's own item, an earlier dialog's list) never came from that filter.
    HWND NameListFilled[3] = {};
    void AddLiteratureFields();
    void EmptyArrays();
    void LoadLevels(const wchar_t* sql, HWND tree, HWND list, HIMAGELIST largeImages,
                    HIMAGELIST smallImages, CPtrArray* levelCache);
};

// ---- lookup values and authors ----
// LoadLookupValues's answer for a lookup table that cannot be opened (a 16-bit "none").
const int kLookupNotAvailable = 0xFFFF;
// Lookup table kinds: the owning table of an attribute whose values come from a lookup table.
enum LookupKind
{
    LOOKUP_SPECIES = 1,
    LOOKUP_FEATURES = 2,
    LOOKUP_ZORNACOLLS = 3,
    LOOKUP_SYSTREE = 4,
    LOOKUP_LOCTREE = 5,
    LOOKUP_LITERATURE = 6,
};
// The lookup table of a field (at most 31 characters): "SPE_" + field for kind 1 ("SYSAUTHORS"
// for AUTHOR), "FEA_", "ZOR_", "SYS_", "LOC_", "LIT_" for kinds 2-6, the field itself otherwise.
void LookupTableName(int kind, const wchar_t* fieldName, wchar_t name[32]);
// Index of the first cache entry named exactly so (and the entry); -1 when none.
int FindLookupEntry(const wchar_t* tableName, const CPtrArray* cache, LookupCacheEntry** entry);
// The property box value type of an attribute type.
int PropBoxTypeOfAttr(int attrType);
// ---- end of lookup values and authors ----

// ---- tree items and records: helpers of the saves and loads ----
// Writes values[start + i] into the attribute columns of the open row, adding a value of a
// lookup attribute to its lookup table first (an existing one is left alone). Attributes
// without a column are skipped. Returns start + the number of definitions.
int WriteCustomValues(CDatabase* db, int start, int kind, zdata::Fields* fields,
                      CPtrArray* values, CPtrArray* defs);
// Appends one new VARIANT per definition: its column of the row, or empty without fields.
void ReadCustomValues(zdata::Fields* fields, CPtrArray* values, CPtrArray* defs);
// Replaces an item's picture rows by the list, numbered 1..n in list order. The first refused
// row stops it; its result is then the failure.
HRESULT WriteImageRows(int itemId, zdata::Recordset* rs, CPtrArray* pictures);
// Appends one ItemPicture per row (Bitmap 0, Note column 2, Picture column 3).
void ReadImageRows(zdata::Recordset* rs, CPtrArray* pictures);
// Messages of a refused delete (caption IDS_DB_ERROR_CAPTION).
enum ItemDeleteStringId
{
    IDS_DB_ERROR_CAPTION = 500,
    IDS_DB_ITEM_HAS_CHILDREN = 520,
    IDS_DB_ITEM_HAS_RECORDS = 521,
    IDS_DB_LOOKUP_VALUE_IN_USE = 522,  // a lookup value that rows still use
    IDS_DB_MOVE_INTO_OWN_BRANCH = 523,  // a move under an item of the moved branch itself
    IDS_DB_LIT_CITED_BY_RECORDS = 1600,  // resources/zorna/literature.h
};
// ---- end of tree items and records helpers ----

// String-table entries the database object loads from the program's module.
enum DatabaseStringId
{
    IDS_DB_LIT_YEAR = 330,
    IDS_DB_LIT_NUMBER = 331,
    IDS_DB_LIT_VOLUME = 332,
    IDS_DB_LIT_PAGES = 333,
    IDS_DB_OPENING = 836,
    IDS_DB_STRUCTURE_CHANGED = 524,  // the schema changed under the open database
};
// Control of the progress window that shows the status text.
const int kProgressStatusControl = 102;

// ---- information panels (database_info.cpp) ----
// What the tree card hands over with ZM_SHOW_ITEM_INFO: the item and the statics of its panel.
struct InfoPanelRequest
{
    int ItemId;          // SYSTREE.ID or LOCTREE.ID
    HWND NameControl;    // static showing the item's name
    HWND PictureControl; // bitmap static showing the item's first picture
    int PictureWidth;    // out: width of the picture shown, 0 when none
    int PictureHeight;   // in: height of the picture box
    int InfoLineCount;
    HWND* InfoLines;     // statics, each holding its CDispField* in GWLP_USERDATA
    int Refused;         // out: 1 when the file refused the reading (the panel is as it was)
};
// The panel is filled by CDatabase::ShowSpeciesInfo and CDatabase::ShowFeatureInfo.
// Sets each static's text to "<display name>: <value of its field in the row>", at most 127
// characters; a static whose field the row lacks keeps its text.
void FillInfoStatics(int count, HWND* statics, zdata::Fields* fields);
// Largest text of one information line, without the terminator.
const int kInfoLineMax = 127;
// Height of the name area repainted above the picture of a taxon.
const int kSpeciesNameAreaHeight = 90;
// ---- end of information panels ----
