#include "core/database.h"
#include <strsafe.h>
#include <functional>
#include <string>
#include "core/msgbox.h"
#include "core/rsutil.h"
#include "core/textutil.h"
#include "core/treewalk.h"
#include "core/valuecheck.h"
#include "core/zm_messages.h"

using zdata::Connection;
using zdata::Recordset;

namespace {

const wchar_t kLitViewSql[] =
    L"CREATE VIEW LITVIEW AS SELECT T1.*, T2.NAME, T3.NAME, T4.NAME FROM EDITORS AS T2 RIGHT "
    L"JOIN (JOURNALS AS T3 RIGHT JOIN (LITAUTHORS AS T4 RIGHT JOIN LITERATURE AS T1 ON "
    L"T4.ID=T1.FIRSTAUTHOR) ON T3.ID=T1.JOURNALID) ON T2.ID=T1.EDITOR;";

const CachedRecordsetSpec kSpecs[RS_COUNT] = {
    { L"SELECT * FROM SYSTREE WHERE ID > 0 ORDER BY PARENT, SYSPOS", adUseClient, adOpenKeyset, adLockOptimistic },
    { L"SELECT * FROM LOCTREE WHERE ID > 0 ORDER BY PARENT, NAME", adUseClient, adOpenKeyset, adLockOptimistic },
    { nullptr, adUseServer, adOpenKeyset, adLockReadOnly },
    { nullptr, adUseServer, adOpenKeyset, adLockReadOnly },
    { nullptr, adUseServer, adOpenKeyset, adLockReadOnly },
    { nullptr, adUseServer, adOpenKeyset, adLockReadOnly },
    { L"SELECT NAME, SYSID FROM SPECIES ORDER BY NAME", adUseClient, adOpenKeyset, adLockReadOnly },
    { L"SELECT NAME, LOCID FROM FEATURES ORDER BY NAME", adUseClient, adOpenKeyset, adLockReadOnly },
    { L"SELECT NAME, ID FROM LITERATURE ORDER BY NAME", adUseClient, adOpenKeyset, adLockReadOnly },
    { L"SELECT * FROM SYSAUTHORS ORDER BY NAME", adUseClient, adOpenKeyset, adLockOptimistic },
    { L"SELECT * FROM LITAUTHORS ORDER BY NAME", adUseClient, adOpenKeyset, adLockOptimistic },
    { L"SELECT * FROM JOURNALS ORDER BY NAME", adUseClient, adOpenKeyset, adLockOptimistic },
    { L"SELECT * FROM EDITORS ORDER BY NAME", adUseClient, adOpenKeyset, adLockOptimistic },
    { L"SELECT * FROM KEYWORDS ORDER BY NAME", adUseClient, adOpenKeyset, adLockOptimistic },
};

HRESULT OpenOn(Recordset* rs, const wchar_t* sql, Connection* connection, long location,
               long cursorType, long lockType)
{
    rs->put_CursorLocation(location);
    VARIANT source;
    source.vt = VT_BSTR;
    source.bstrVal = SysAllocString(sql);
    HRESULT hr = rs->Open(source, connection, cursorType, lockType, adCmdText);
    VariantClear(&source);
    return hr;
}

CPtrArray* NewAttrArray()
{
    return new CPtrArray(PTRARRAY_OWNS_ITEMS, 16, 4);
}

}  // namespace

const CachedRecordsetSpec& CachedRecordsetSpecOf(CachedRecordset kind)
{
    if (kind < 0 || kind >= RS_COUNT)
        kind = RS_TAXON_RECORDS;
    return kSpecs[kind];
}

// ---- the events sink ----

CConnEvents::CConnEvents(HWND mainWindow)
    : MainWindow(mainWindow), ProgressWindow(nullptr), RefCount(1), awaiting_(0)
{
}

CConnEvents::~CConnEvents() = default;

HRESULT STDMETHODCALLTYPE CConnEvents::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, zdata::IID_ConnectionEvents)) {
        *out = static_cast<zdata::ConnectionEventsVt*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CConnEvents::AddRef()
{
    return (ULONG)InterlockedIncrement(&RefCount);
}

ULONG STDMETHODCALLTYPE CConnEvents::Release()
{
    LONG n = InterlockedDecrement(&RefCount);
    if (n <= 0) {
        delete this;
        return 0;
    }
    return (ULONG)n;
}

HRESULT STDMETHODCALLTYPE CConnEvents::InfoMessage(zdata::Error*, EventStatusEnum*, zdata::Connection*)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CConnEvents::BeginTransComplete(long, zdata::Error*, EventStatusEnum*,
                                                          zdata::Connection*)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CConnEvents::CommitTransComplete(zdata::Error*, EventStatusEnum*,
                                                           zdata::Connection*)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CConnEvents::RollbackTransComplete(zdata::Error*, EventStatusEnum*,
                                                             zdata::Connection*)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CConnEvents::WillExecute(BSTR*, CursorTypeEnum*, LockTypeEnum*, long*,
                                                   EventStatusEnum*, zdata::Command*,
                                                   zdata::Recordset*, zdata::Connection*)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CConnEvents::ExecuteComplete(long, zdata::Error*, EventStatusEnum*,
                                                       zdata::Command*, zdata::Recordset*,
                                                       zdata::Connection*)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CConnEvents::WillConnect(BSTR*, BSTR*, BSTR*, long*, EventStatusEnum*,
                                                   zdata::Connection*)
{
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CConnEvents::ConnectComplete(zdata::Error*, EventStatusEnum*,
                                                       zdata::Connection*)
{
    // Whatever the status: the main window asks IsOpen itself.
    NotifyCompletion();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CConnEvents::Disconnect(EventStatusEnum*, zdata::Connection*)
{
    return S_OK;
}

void CConnEvents::ExpectCompletion()
{
    InterlockedExchange(&awaiting_, 1);
}

void CConnEvents::NotifyCompletion()
{
    if (InterlockedExchange(&awaiting_, 0))
        PostMessageW(MainWindow, ZM_DB_OPENED, 0, (LPARAM)ProgressWindow);
}

// ---- errors ----

void ShowAdoErrors(HWND owner, zdata::Connection* connection)
{
    if (!connection)
        return;
    zdata::Errors* errors = nullptr;
    if (FAILED(connection->get_Errors(&errors)) || !errors)
        return;
    long count = 0;
    if (FAILED(errors->get_Count(&count)))
        count = 0;
    for (long i = 0; i < count; i++) {
        zdata::Error* error = nullptr;
        if (FAILED(errors->Item(i, &error)) || !error)
            continue;
        BSTR description = nullptr;
        BSTR source = nullptr;
        error->get_Description(&description);
        error->get_Source(&source);
        ZorMessageBox(MessageOwner(owner), description ? description : L"", source ? source : L"", MB_ICONERROR);
        SysFreeString(description);
        SysFreeString(source);
        error->Release();
    }
    errors->Release();
}

// ---- the database object ----

CDatabase::CDatabase(HWND mainWindow, HINSTANCE instance)
    : MainWindow(mainWindow), Instance(instance), AdoConnection(Connection::Create()),
      Events(new CConnEvents(mainWindow)), AdviseCookie(0), ConnectionPoint(nullptr),
      SysTreeRs(nullptr), LocTreeRs(nullptr), TaxonRecordsRs(nullptr), LocalityRecordsRs(nullptr),
      SearchRecordsRs(nullptr), LiteratureListRs(nullptr), SpeciesNamesRs(nullptr),
      FeatureNamesRs(nullptr), LiteratureNamesRs(nullptr), SysAuthorsRs(nullptr),
      LitAuthorsRs(nullptr), JournalsRs(nullptr), EditorsRs(nullptr), KeywordsRs(nullptr),
      SysTreeAttrs(NewAttrArray()), LocTreeAttrs(NewAttrArray()), SpeciesAttrs(NewAttrArray()),
      FeatureAttrs(NewAttrArray()), RecordAttrs(NewAttrArray()), LiteratureAttrs(NewAttrArray()),
      RecordViewFields(NewAttrArray()), LitViewFields(NewAttrArray()), LookupCache(NewAttrArray()),
      RecordColumnCount(0), FirstFeatureColumn(0), FeatureBlockEnd(0), LiteratureColumnCount(0),
      CachedTextLength(0)
{
    VariantInit(&CachedValue);
    IConnectionPointContainer* container = nullptr;
    if (SUCCEEDED(AdoConnection->QueryInterface(IID_IConnectionPointContainer, (void**)&container))
        && container) {
        if (FAILED(container->FindConnectionPoint(zdata::IID_ConnectionEvents, &ConnectionPoint)))
            ConnectionPoint = nullptr;
        container->Release();
    }
    if (ConnectionPoint && FAILED(ConnectionPoint->Advise(Events, &AdviseCookie)))
        AdviseCookie = 0;
}

CDatabase::~CDatabase()
{
    // The main window closes the database first; a database still open (or still opening)
    // is closed here so that nothing outlives the object.
    if (IsOpen())
        Close();
    else if (AdoConnection->State() != adStateClosed)
        AdoConnection->Close();
    delete SysTreeAttrs;
    delete LocTreeAttrs;
    delete SpeciesAttrs;
    delete FeatureAttrs;
    delete RecordAttrs;
    delete LiteratureAttrs;
    delete RecordViewFields;
    delete LitViewFields;
    delete LookupCache;
    VariantClear(&CachedValue);
    if (ConnectionPoint) {
        if (AdviseCookie)
            ConnectionPoint->Unadvise(AdviseCookie);
        ConnectionPoint->Release();
        ConnectionPoint = nullptr;
    }
    Events->Release();
    Events = nullptr;
    AdoConnection->Release();
    AdoConnection = nullptr;
}

int CDatabase::IsOpen()
{
    long state = adStateClosed;
    if (FAILED(AdoConnection->get_State(&state)))
        return 0;
    return (state & adStateOpen) ? 1 : 0;
}

std::wstring CDatabase::MissingCollationExtension()
{
    return AdoConnection->MissingCollationExtension();
}

HRESULT CDatabase::Open(HWND progressWindow, const ConnSettings* settings)
{
    if (progressWindow) {
        wchar_t text[64] = L"";
        LoadStringW(Instance, IDS_DB_OPENING, text, 64);
        SetDlgItemTextW(progressWindow, kProgressStatusControl, text);
    }
    Events->ProgressWindow = progressWindow;
    std::wstring connection = L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=";
    if (settings && settings->DBName)
        connection += settings->DBName;
    connection += L";";
    AdoConnection->put_ConnectionString(connection.c_str());
    Events->ExpectCompletion();
    HRESULT hr = AdoConnection->Open(L"", L"", L"", adAsyncConnect);
    // An Open refused before the attempt started raises no ConnectComplete; the main window
    // must hear of it all the same.
    if (FAILED(hr))
        Events->NotifyCompletion();
    return hr;
}

void CDatabase::CloseRecordset(Recordset*& rs)
{
    CloseAndRelease(rs);
}

int CDatabase::Close()
{
    if (!IsOpen())
        return 0;
    CloseRecordset(LiteratureNamesRs);
    CloseRecordset(FeatureNamesRs);
    CloseRecordset(SpeciesNamesRs);
    CloseRecordset(SysTreeRs);
    CloseRecordset(LocTreeRs);
    CloseRecordset(LiteratureListRs);
    CloseRecordset(TaxonRecordsRs);
    CloseRecordset(LocalityRecordsRs);
    CloseRecordset(SearchRecordsRs);
    for (int i = 0; i < LookupCache->GetCount(); i++) {
        LookupCacheEntry* entry = (LookupCacheEntry*)LookupCache->GetItems()[i];
        if (entry && entry->Recordset != SysAuthorsRs)
            CloseRecordset(entry->Recordset);
        else if (entry)
            entry->Recordset = nullptr;  // shared with SysAuthorsRs, closed below once
    }
    CloseRecordset(SysAuthorsRs);
    CloseRecordset(LitAuthorsRs);
    CloseRecordset(JournalsRs);
    CloseRecordset(EditorsRs);
    CloseRecordset(KeywordsRs);
    AdoConnection->Close();
    EmptyArrays();
    return 1;
}

void CDatabase::EmptyArrays()
{
    SysTreeAttrs->RemoveAll(1);
    LocTreeAttrs->RemoveAll(1);
    SpeciesAttrs->RemoveAll(1);
    FeatureAttrs->RemoveAll(1);
    RecordAttrs->RemoveAll(1);
    LiteratureAttrs->RemoveAll(1);
    RecordViewFields->RemoveAll(1);
    LitViewFields->RemoveAll(1);
    LookupCache->RemoveAll(1);
}

namespace {

// The definitions of the tables whose columns the structure read names: another program's new or
// dropped column changes them, a trigger or an index does not.
bool ReadTableShapes(CDatabase* db, size_t* shapes)
{
    RsHolder rs(db->OpenQuery(L"SELECT group_concat(name || ' ' || sql, ';') FROM (SELECT name, sql FROM sqlite_master "
                              L"WHERE type = 'table' AND name IN ('SYSTREE', 'LOCTREE', 'SPECIES', 'FEATURES', "
                              L"'ZORNACOLLS', 'LITERATURE') ORDER BY name)",
                              adUseServer, adOpenKeyset, adLockReadOnly));
    if (!rs.IsOpen() || treewalk::IsEmptyRowset(rs.get()))
        return false;
    *shapes = std::hash<std::wstring>()(treewalk::RowText(rs.get(), 0));
    return true;
}

}  // namespace

void CDatabase::ReportAdoErrors()
{
    ShowAdoErrors(MainWindow, AdoConnection);
}

bool CDatabase::StructureChangedElsewhere()
{
    size_t now = 0;
    // A structure that cannot be read now leaves the write to say why it fails.
    return TableShapesKnown && ReadTableShapes(this, &now) && now != TableShapes;
}

void CDatabase::ReportStructureChanged()
{
    wchar_t text[512] = L"", caption[64] = L"";
    LoadStringW(Instance, IDS_DB_STRUCTURE_CHANGED, text, 512);
    LoadStringW(Instance, IDS_DB_ERROR_CAPTION, caption, 64);
    ZorMessageBox(MessageOwner(MainWindow), text, caption, MB_ICONERROR);
}

Recordset* CDatabase::OpenQuery(const wchar_t* sql, long cursorLocation, long cursorType,
                                long lockType)
{
    Recordset* rs = Recordset::Create();
    if (rs)
        OpenOn(rs, sql, AdoConnection, cursorLocation, cursorType, lockType);
    return rs;
}

int CDatabase::SelectMax(const wchar_t* column, const wchar_t* table)
{
    wchar_t sql[160];
    StringCchPrintfW(sql, 160, L"SELECT MAX(%s) FROM %s", column, table);
    RsHolder rs(OpenQuery(sql, adUseServer, adOpenKeyset, adLockReadOnly));
    VARIANT value;
    VariantInit(&value);
    zdata::Fields* fields = nullptr;
    if (rs.IsOpen() && SUCCEEDED(rs.get()->MoveFirst())
        && SUCCEEDED(rs.get()->get_Fields(&fields)) && fields) {
        zdata::Field* field = nullptr;
        if (SUCCEEDED(fields->Item(0L, &field)) && field) {
            field->get_Value(&value);
            field->Release();
        }
        fields->Release();
    }
    int result = VariantToInt(&value) + 1;
    VariantClear(&value);
    return result;
}

Recordset* CDatabase::OpenSysDefs()
{
    return OpenQuery(L"SELECT * FROM SYSDEF ORDER BY LEVELID", adUseServer, adOpenKeyset, adLockReadOnly);
}

Recordset* CDatabase::OpenLocDefs()
{
    return OpenQuery(L"SELECT * FROM LOCDEF ORDER BY LEVELID", adUseServer, adOpenKeyset, adLockReadOnly);
}

void CDatabase::LoadLevels(const wchar_t* sql, HWND tree, HWND list, HIMAGELIST largeImages,
                           HIMAGELIST smallImages, CPtrArray* levelCache)
{
    RsHolder rs(OpenQuery(sql, adUseServer, adOpenKeyset, adLockReadOnly));
    LoadLevelDefs(levelCache, largeImages, smallImages, tree, list, rs.get());
}

void CDatabase::LoadSysLevelDefs(HWND tree, HWND list, HIMAGELIST largeImages,
                                 HIMAGELIST smallImages, CPtrArray* levelCache)
{
    LoadLevels(L"SELECT * FROM SYSDEF ORDER BY LEVELID", tree, list, largeImages, smallImages,
               levelCache);
}

void CDatabase::LoadLocLevelDefs(HWND tree, HWND list, HIMAGELIST largeImages,
                                 HIMAGELIST smallImages, CPtrArray* levelCache)
{
    LoadLevels(L"SELECT * FROM LOCDEF ORDER BY LEVELID", tree, list, largeImages, smallImages,
               levelCache);
}

Recordset*& CDatabase::RecordsetSlot(CachedRecordset kind)
{
    switch (kind) {
    case RS_SYSTREE: return SysTreeRs;
    case RS_LOCTREE: return LocTreeRs;
    case RS_TAXON_RECORDS: return TaxonRecordsRs;
    case RS_LOCALITY_RECORDS: return LocalityRecordsRs;
    case RS_SEARCH_RECORDS: return SearchRecordsRs;
    case RS_LITERATURE_LIST: return LiteratureListRs;
    case RS_SPECIES_NAMES: return SpeciesNamesRs;
    case RS_FEATURE_NAMES: return FeatureNamesRs;
    case RS_LITERATURE_NAMES: return LiteratureNamesRs;
    case RS_SYSAUTHORS: return SysAuthorsRs;
    case RS_LITAUTHORS: return LitAuthorsRs;
    case RS_JOURNALS: return JournalsRs;
    case RS_EDITORS: return EditorsRs;
    default: return KeywordsRs;
    }
}

Recordset* CDatabase::GetCachedRecordset(CachedRecordset kind)
{
    if (kind < 0 || kind >= RS_COUNT)
        return nullptr;
    const CachedRecordsetSpec& spec = kSpecs[kind];
    if (!spec.Sql)
        return nullptr;
    Recordset*& slot = RecordsetSlot(kind);
    if (IsRecordsetOpen(slot)) {
        if (kind == RS_LITERATURE_NAMES)
            RefreshLiteratureNames();
        return slot;
    }
    if (!slot)
        slot = Recordset::Create();
    else
        slot->Close();
    if (slot)
        OpenOn(slot, spec.Sql, AdoConnection, spec.CursorLocation, spec.CursorType, spec.LockType);
    if (kind == RS_LITERATURE_NAMES)
        LiteratureNamesStale = 0;
    return slot;
}

void CDatabase::RefreshLiteratureNames()
{
    if (LiteratureNamesStale)
        RequeryIfOpen(LiteratureNamesRs);
    LiteratureNamesStale = 0;
}

HRESULT CDatabase::ReopenListRecordset(CachedRecordset kind, const wchar_t* sql)
{
    if (kind < RS_TAXON_RECORDS || kind > RS_LITERATURE_LIST || !sql)
        return E_INVALIDARG;
    const CachedRecordsetSpec& spec = kSpecs[kind];
    Recordset*& slot = RecordsetSlot(kind);
    if (!slot)
        slot = Recordset::Create();
    else
        slot->Close();
    if (!slot)
        return E_OUTOFMEMORY;
    return OpenOn(slot, sql, AdoConnection, spec.CursorLocation, spec.CursorType, spec.LockType);
}

Recordset* CDatabase::GetSysTreeRs()
{
    return GetCachedRecordset(RS_SYSTREE);
}

Recordset* CDatabase::GetLocTreeRs()
{
    return GetCachedRecordset(RS_LOCTREE);
}

Recordset* CDatabase::GetListRecordset(int kind)
{
    switch (kind) {
    case 0: return TaxonRecordsRs;
    case 1: return LocalityRecordsRs;
    case 2: return SearchRecordsRs;
    case 3: return LiteratureListRs;
    default: return nullptr;
    }
}

void CDatabase::AddLiteratureFields()
{
    static const struct {
        const wchar_t* field;
        int type, size, position, ordinal;
        UINT caption;
    } builtIn[4] = {
        { L"IYEAR", ATTR_INTEGER, 0, 6, 6, IDS_DB_LIT_YEAR },
        { L"INUMBER", ATTR_INTEGER, 0, 7, 7, IDS_DB_LIT_NUMBER },
        { L"IVOLUME", ATTR_TEXT, 16, 8, 8, IDS_DB_LIT_VOLUME },
        { L"IPAGES", ATTR_TEXT, 16, 8, 9, IDS_DB_LIT_PAGES },
    };
    LiteratureAttrs->RemoveAll(1);
    for (const auto& b : builtIn) {
        CustomAttrDef* def = (CustomAttrDef*)calloc(1, sizeof(CustomAttrDef));
        if (!def)
            return;
        def->Type = b.type;
        def->Size = b.size;
        def->Position = b.position;
        def->ColumnOrdinal = b.ordinal;
        def->KeyFlag = 0;
        def->Years = b.caption == IDS_DB_LIT_YEAR ? YEARS_PUBLICATION : YEARS_ANY;
        CopyWideBounded(b.field, def->FieldName, 32);
        LoadStringW(Instance, b.caption, def->Caption, 64);
        LiteratureAttrs->Add(def);
    }
}

CustomAttrDef* CDatabase::FindAttrDef(int table, const wchar_t* fieldName)
{
    CPtrArray* list = table == 1 ? SpeciesAttrs : table == 2 ? FeatureAttrs : table == 3 ? RecordAttrs : nullptr;
    for (int i = 0; list && fieldName && i < list->GetCount(); ++i) {
        CustomAttrDef* def = static_cast<CustomAttrDef*>(list->GetItems()[i]);
        if (def && wcscmp(def->FieldName, fieldName) == 0)
            return def;
    }
    return nullptr;
}

int CDatabase::DiscoverSchema()
{
    // Offsets and view columns of an earlier database never survive a failed discovery.
    RecordColumnCount = FirstFeatureColumn = FeatureBlockEnd = LiteratureColumnCount = 0;
    RecordViewFields->RemoveAll(1);
    LitViewFields->RemoveAll(1);
    TableShapesKnown = false;

    RsHolder rs(OpenQuery(L"SELECT * FROM CUSTOMATTRIBUTES ORDER BY POSID", adUseServer,
                          adOpenKeyset, adLockReadOnly));
    if (!rs.IsOpen())
        return 0;
    static const struct {
        const wchar_t* filter;
        CPtrArray* CDatabase::*list;
    } tables[5] = {
        { L"TABLENAME = 'SYSTREE'", &CDatabase::SysTreeAttrs },
        { L"TABLENAME = 'LOCTREE'", &CDatabase::LocTreeAttrs },
        { L"TABLENAME = 'SPECIES'", &CDatabase::SpeciesAttrs },
        { L"TABLENAME = 'FEATURES'", &CDatabase::FeatureAttrs },
        { L"TABLENAME = 'ZORNACOLLS'", &CDatabase::RecordAttrs },
    };
    for (const auto& t : tables) {
        CPtrArray* list = this->*t.list;
        if (FAILED(rs.get()->put_Filter(t.filter))) {
            list->RemoveAll(1);
            continue;
        }
        ReadCustomAttrDefs(list, rs.get(), 1);
    }
    AddLiteratureFields();
    if (SUCCEEDED(rs.get()->put_Filter(L"TABLENAME = 'LITERATURE'")))
        ReadCustomAttrDefs(LiteratureAttrs, rs.get(), 0);

    auto probe = [&](const wchar_t* table) {
        wchar_t sql[96];
        StringCchPrintfW(sql, 96, L"SELECT * FROM %s WHERE 0 = 1", table);
        rs.Reset(OpenQuery(sql, adUseServer, adOpenKeyset, adLockReadOnly));
        return rs.IsOpen();
    };

    // A discovery that stops half-way leaves no half-computed offsets behind; the attribute
    // lists read so far stay filled.
    auto Failed = [this]() {
        RecordColumnCount = FirstFeatureColumn = FeatureBlockEnd = LiteratureColumnCount = 0;
        RecordViewFields->RemoveAll(1);
        return 0;
    };
    if (!probe(L"ZORNACOLLS"))
        return Failed();
    RecordColumnCount = MatchColumnOrdinals(RecordAttrs, rs.get());
    if (SysTreeAttrs->GetCount() > 0) {
        if (!probe(L"SYSTREE"))
            return Failed();
        MatchColumnOrdinals(SysTreeAttrs, rs.get());
    }
    if (LocTreeAttrs->GetCount() > 0) {
        if (!probe(L"LOCTREE"))
            return Failed();
        MatchColumnOrdinals(LocTreeAttrs, rs.get());
    }
    if (!probe(L"SPECIES"))
        return Failed();
    FirstFeatureColumn = RecordColumnCount + MatchColumnOrdinals(SpeciesAttrs, rs.get());
    if (!probe(L"FEATURES"))
        return Failed();
    FeatureBlockEnd = FirstFeatureColumn + MatchColumnOrdinals(FeatureAttrs, rs.get());
    if (!probe(L"LITERATURE"))
        return Failed();
    LiteratureColumnCount = MatchColumnOrdinals(LiteratureAttrs, rs.get());
    if (!probe(L"COLLECTVIEW"))
        return Failed();
    ReadColumnNames(RecordViewFields, rs.get());
    if (!probe(L"LITVIEW")) {
        AdoConnection->Execute(kLitViewSql, nullptr, adExecuteNoRecords);
        if (!probe(L"LITVIEW"))
            return Failed();
    }
    ReadColumnNames(LitViewFields, rs.get());
    LabelColumns();
    TableShapesKnown = ReadTableShapes(this, &TableShapes);
    return 1;
}
