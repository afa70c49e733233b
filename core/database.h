// The main program's gateway to the database file: the connection with its asynchronous open
// and events sink, the recordsets that stay open while the database is open, the attribute
// definitions of the six data tables, the column names of the two list views and the column
// offsets inside the records view.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include "core/attrdef.h"
#include "core/connsettings.h"
#include "core/containers.h"
#include "core/leveldefs.h"
#include "dataaccess/ado.h"

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

    CPtrArray* GetSpeciesAttrs() { return SpeciesAttrs; }
    CPtrArray* GetFeatureAttrs() { return FeatureAttrs; }
    CPtrArray* GetRecordAttrs() { return RecordAttrs; }
    wchar_t** GetRecordViewFields() { return (wchar_t**)RecordViewFields->GetItems(); }
    wchar_t** GetLitViewFields() { return (wchar_t**)LitViewFields->GetItems(); }
    // 0 taxon, 1 locality, 2 search, 3 literature list; null for other kinds. Borrowed.
    zdata::Recordset* GetListRecordset(int kind);

    // A new recordset opened with the given cursor; returned also when the open failed (its
    // State then says so). The caller releases it.
    zdata::Recordset* OpenQuery(const wchar_t* sql, long cursorLocation, long cursorType,
                                long lockType);

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

    int CachedTextLength;
    VARIANT CachedValue;

private:
    void AddLiteratureFields();
    void EmptyArrays();
    void LoadLevels(const wchar_t* sql, HWND tree, HWND list, HIMAGELIST largeImages,
                    HIMAGELIST smallImages, CPtrArray* levelCache);
};

// String-table entries the database object loads from the program's module.
enum DatabaseStringId
{
    IDS_DB_LIT_YEAR = 330,
    IDS_DB_LIT_NUMBER = 331,
    IDS_DB_LIT_VOLUME = 332,
    IDS_DB_LIT_PAGES = 333,
    IDS_DB_OPENING = 836,
};
// Control of the progress window that shows the status text.
const int kProgressStatusControl = 102;
