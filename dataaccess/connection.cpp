#include <cwctype>
#include <thread>
#include <olectl.h>
#include "dataaccess/ado.h"
#include "dataaccess/collationext.h"
#include "dataaccess/comout.h"
#include "dataaccess/connstr.h"
#include "dataaccess/clienttables.h"
#include "dataaccess/odbccore.h"
#include "dataaccess/outertxn.h"
#include "dataaccess/refusals.h"
#include "dataaccess/rowset.h"
#include "dataaccess/sqltranslate.h"

namespace zdata {

// {6F1C3A52-9B7E-4D1A-A8C4-2E5D7B903F11}
const IID IID_ConnectionEvents = {
    0x6f1c3a52, 0x9b7e, 0x4d1a, {0xa8, 0xc4, 0x2e, 0x5d, 0x7b, 0x90, 0x3f, 0x11}};

const wchar_t kErrorSource[] = L"Databáze";

namespace {

std::atomic<int> g_extraPages{-1};

const UINT kConnectDoneMessage = WM_APP + 0x2A1;
const wchar_t kNotifyClass[] = L"ZorDataConnectNotify";

}  // namespace

// ---------------------------------------------------------------------------------------------
// Error, Errors

Error::Error(long number, std::wstring description, std::wstring sqlState, long nativeError,
             RefusalKind refusal)
    : number_(number), description_(std::move(description)), sqlState_(std::move(sqlState)),
      nativeError_(nativeError), refusal_(refusal)
{
}

HRESULT Error::get_Description(BSTR* out) const { return ToBstr(description_, out); }
HRESULT Error::get_Source(BSTR* out) const { return ToBstr(kErrorSource, out); }
HRESULT Error::get_SQLState(BSTR* out) const { return ToBstr(sqlState_, out); }

HRESULT Error::get_Number(long* out) const
{
    return GiveOut(out, number_);
}

HRESULT Error::get_NativeError(long* out) const
{
    return GiveOut(out, nativeError_);
}

Errors::~Errors()
{
    for (Error* e : items_)
        e->Release();
}

long Errors::Count() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return (long)items_.size();
}

HRESULT Errors::get_Count(long* out) const
{
    return GiveOut(out, Count());
}

HRESULT Errors::Item(long index, Error** out) const
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    std::lock_guard<std::mutex> hold(lock_);
    if (index < 0 || index >= (long)items_.size())
        return AdoError(adErrItemNotFound);
    *out = items_[index];
    (*out)->AddRef();
    return S_OK;
}

HRESULT Errors::get_Item(VARIANT index, Error** out) const
{
    VARIANT v;
    VariantInit(&v);
    if (FAILED(VariantChangeType(&v, &index, 0, VT_I4))) {
        if (out)
            *out = nullptr;
        return AdoError(adErrItemNotFound);
    }
    return Item(v.lVal, out);
}

HRESULT Errors::Clear()
{
    Replace({});
    return S_OK;
}

std::vector<std::wstring> Errors::Descriptions() const
{
    std::lock_guard<std::mutex> hold(lock_);
    std::vector<std::wstring> out;
    for (Error* e : items_)
        out.push_back(e->Description());
    return out;
}

std::vector<Error*> Errors::Items() const
{
    std::lock_guard<std::mutex> hold(lock_);
    for (Error* e : items_)
        e->AddRef();
    return items_;
}

void Errors::Replace(std::vector<Error*> items)
{
    std::vector<Error*> old;
    {
        std::lock_guard<std::mutex> hold(lock_);
        old.swap(items_);
        items_ = std::move(items);
    }
    for (Error* e : old)
        e->Release();
}

// ---------------------------------------------------------------------------------------------
// The connection point of the connection events.

class ConnectionPointImpl : public IConnectionPoint {
public:
    explicit ConnectionPointImpl(Connection* owner) : owner_(owner) {}
    ~ConnectionPointImpl()
    {
        for (auto& s : sinks_)
            s.second->Release();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint)) {
            *out = static_cast<IConnectionPoint*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // The point lives as long as its connection.
    ULONG STDMETHODCALLTYPE AddRef() override { return owner_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return owner_->Release(); }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override
    {
        if (!iid)
            return E_POINTER;
        *iid = IID_ConnectionEvents;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override
    {
        if (!out)
            return E_POINTER;
        *out = owner_;
        owner_->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override
    {
        if (!sink || !cookie)
            return E_POINTER;
        *cookie = 0;
        ConnectionEventsVt* events = nullptr;
        if (FAILED(sink->QueryInterface(IID_ConnectionEvents, (void**)&events)) || !events)
            return CONNECT_E_CANNOTCONNECT;
        std::lock_guard<std::mutex> hold(lock_);
        DWORD id = ++lastCookie_;
        sinks_.emplace_back(id, events);
        *cookie = id;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override
    {
        ConnectionEventsVt* found = nullptr;
        {
            std::lock_guard<std::mutex> hold(lock_);
            for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
                if (it->first == cookie) {
                    found = it->second;
                    sinks_.erase(it);
                    break;
                }
            }
        }
        if (!found)
            return CONNECT_E_NOCONNECTION;
        found->Release();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override
    {
        if (out)
            *out = nullptr;
        return E_NOTIMPL;
    }

    // The advised sinks, each AddRef'd, for raising an event outside the lock.
    std::vector<ConnectionEventsVt*> Sinks()
    {
        std::lock_guard<std::mutex> hold(lock_);
        std::vector<ConnectionEventsVt*> out;
        for (auto& s : sinks_) {
            s.second->AddRef();
            out.push_back(s.second);
        }
        return out;
    }

private:
    Connection* owner_;
    std::mutex lock_;
    DWORD lastCookie_ = 0;
    std::vector<std::pair<DWORD, ConnectionEventsVt*>> sinks_;
};

// ---------------------------------------------------------------------------------------------

class Connection::Impl {
public:
    explicit Impl(Connection* owner) : point(owner) {}
    ConnectionPointImpl point;
    std::wstring connectionString;
    long mode = adModeUnknown;

    // Asynchronous open: the connecting thread and the window that brings its completion back
    // to the thread that called Open.
    std::thread worker;
    HWND notify = nullptr;
    bool completionPending = false;
    bool connectOk = false;
    std::vector<Error*> connectErrors;  // of the running connect, published on completion
};


// Why an open failed, naming the file: the refusal the driver's first diagnostic names (the kind
// `otherwise` when it names none the layer knows), then the driver's own text.
static std::vector<Error*> OpenFailure(SQLSMALLINT handleType, SQLHANDLE handle, const std::wstring& path,
                                       RefusalKind otherwise)
{
    std::vector<DriverDiagnostic> diagnostics = ReadDiagnostics(handleType, handle);
    if (diagnostics.empty())
        return {};
    const DriverDiagnostic& first = diagnostics.front();
    RefusalKind kind = ReadEngineRefusal(first.text, first.native).kind;
    if (kind != RefusalKind::Locked && kind != RefusalKind::ReadOnly && kind != RefusalKind::Damaged &&
        kind != RefusalKind::NotADatabase && kind != RefusalKind::CannotOpen)
        kind = otherwise;
    return {new Error((long)E_FAIL, OpenRefusalText(kind, path) + L"\n" + first.text, first.state, first.native,
                      kind)};
}

// Connects core to the target: run on the calling thread or on the open worker. Fills errors on
// failure (not yet published).
static bool ConnectCore(ConnectionCore& core, const std::wstring& connectionString, long mode,
                        std::vector<Error*>* errors)
{
    std::lock_guard<std::recursive_mutex> hold(core.lock);
    auto fail = [&](const std::wstring& text, RefusalKind kind = RefusalKind::None) {
        if (errors->empty())
            errors->push_back(new Error((long)E_FAIL, text, L"", 0, kind));
        core.Disconnect();
        return false;
    };
    OdbcConnectTarget target;
    std::wstring why;
    if (!MapJetConnectionString(connectionString, mode, &target, &why)) {
        // A file that is no database (an empty one among them) is told as the driver's refusals are.
        if (target.fileKind == DbFileKind::Other)
            return fail(OpenRefusalText(RefusalKind::NotADatabase, target.windowsPath), RefusalKind::NotADatabase);
        return fail(why.empty() ? L"Připojovací řetězec je neplatný." : why);
    }
    if (target.driver == OdbcDriverKind::Workbook) {
        std::wstring reason;
        if (!LoadWorkbookTables(target.windowsPath, &core.clientTables, &reason))
            return fail(reason);
        core.passThrough = true;
        core.state = adStateOpen;
        return true;
    }
    if (target.driver == OdbcDriverKind::SQLite) {
        // The driver would accept any file and fail only at the first statement, and a
        // missing file must not become a new one: tell both apart before connecting (by the
        // look the target's mapping took at the file a moment ago: each look opens it).
        DbFileKind kind = target.fileKind;
        if (kind == DbFileKind::Missing)
            return fail(OpenRefusalText(RefusalKind::CannotOpen, target.windowsPath), RefusalKind::CannotOpen);
        if (kind == DbFileKind::Other)
            return fail(OpenRefusalText(RefusalKind::NotADatabase, target.windowsPath), RefusalKind::NotADatabase);
    }
    if (target.driver == OdbcDriverKind::MdbTools) {
        std::wstring problem;
        if (!CheckJetFile(target.windowsPath, &problem))
            return fail(problem);
    }
    if (!OdbcOk(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &core.env)))
        return fail(L"Prostředí ODBC nelze vytvořit.");
    SQLSetEnvAttr(core.env, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
    if (!OdbcOk(SQLAllocHandle(SQL_HANDLE_DBC, core.env, &core.dbc))) {
        core.dbc = SQL_NULL_HDBC;
        return fail(L"Připojení ODBC nelze vytvořit.");
    }
    SQLWCHAR out[1024];
    SQLSMALLINT outLen = 0;
    SQLRETURN rc = SQLDriverConnectW(core.dbc, nullptr, (SQLWCHAR*)target.odbcString.c_str(),
                                     SQL_NTS, out, 1024, &outLen, SQL_DRIVER_NOPROMPT);
    if (!OdbcOk(rc)) {
        *errors = OpenFailure(SQL_HANDLE_DBC, core.dbc, target.windowsPath, RefusalKind::None);
        SQLFreeHandle(SQL_HANDLE_DBC, core.dbc);
        core.dbc = SQL_NULL_HDBC;
        return fail(OpenRefusalText(RefusalKind::None, target.windowsPath));
    }
    // A statement of the open; a refusal gives the reason of the open's failure, the kind
    // `otherwise` when the driver's text names none the layer knows.
    auto run = [&](const std::wstring& sql, std::vector<Error*>* failure, RefusalKind otherwise) {
        Stmt st;
        if (!st.Alloc(core))
            return false;
        SQLRETURN r = SQLExecDirectW(st.h, (SQLWCHAR*)sql.c_str(), SQL_NTS);
        if (!OdbcOk(r) && r != SQL_NO_DATA) {
            *failure = OpenFailure(SQL_HANDLE_STMT, st.h, target.windowsPath, otherwise);
            return false;
        }
        while (OdbcOk(SQLFetch(st.h))) {
        }
        return true;
    };
    if (!target.checkQuery.empty() && !run(target.checkQuery, errors, RefusalKind::NotADatabase))
        return fail(OpenRefusalText(RefusalKind::NotADatabase, target.windowsPath), RefusalKind::NotADatabase);
    for (const std::wstring& sql : target.initStatements)
        if (!run(sql, errors, RefusalKind::None))
            return fail(OpenRefusalText(RefusalKind::None, target.windowsPath));
    // A pragma's number, 0 when there is none.
    auto number = [&](const wchar_t* pragma) {
        Stmt st;
        SQLINTEGER value = 0;
        SQLLEN got = 0;
        if (!st.Alloc(core) || !OdbcOk(SQLExecDirectW(st.h, (SQLWCHAR*)pragma, SQL_NTS)) || !OdbcOk(SQLFetch(st.h)) ||
            !OdbcOk(SQLGetData(st.h, 1, SQL_C_SLONG, &value, 0, &got)) || got == SQL_NULL_DATA)
            return (SQLINTEGER)0;
        return value;
    };
    if (target.driver == OdbcDriverKind::SQLite) {
        // The page cache a transaction's larger one gives way to when it ends.
        SQLINTEGER pages = number(L"PRAGMA cache_size");
        if (pages != 0)
            core.idleCacheSize = std::to_wstring(pages);
        // The driver opens the file also when the extension does not load; a query that names
        // the collations tells whether it did. Its failure is no failure of the open.
        std::vector<Error*> probeErrors;
        core.czechOrder = target.loadsCollationExtension && run(kCzechOrderProbeSql, &probeErrors, RefusalKind::None);
        for (Error* e : probeErrors)
            e->Release();
        if (!core.czechOrder)
            core.missingCollationExtension = target.collationExtension;
    }
    int extraPages = g_extraPages.load();
    if (target.driver == OdbcDriverKind::SQLite && !target.readOnly && extraPages >= 0) {
        std::wstring limit = L"PRAGMA max_page_count = " + std::to_wstring(number(L"PRAGMA page_count") + extraPages);
        number(limit.c_str());
    }
    if (target.driver == OdbcDriverKind::SQLite) {
        core.lockTimeoutMs = target.lockTimeoutMs;
        core.beginStatement = target.readOnly ? L"BEGIN" : L"BEGIN IMMEDIATE";
        UseNoEngineBusyHandler(core);
    }
    core.passThrough = target.driver == OdbcDriverKind::MdbTools;
    core.readOnly = target.fileReadOnly;
    core.state = adStateOpen;
    return true;
}

int SetPageLimitForTests(int extraPages)
{
    return g_extraPages.exchange(extraPages < 0 ? -1 : extraPages);
}

Connection::Connection() : impl_(new Impl(this)), core_(std::make_shared<ConnectionCore>()) {}

Connection::~Connection()
{
    Close();
}

Connection* Connection::Create() { return new Connection(); }

HRESULT STDMETHODCALLTYPE Connection::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPointContainer)) {
        *out = static_cast<IConnectionPointContainer*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE Connection::AddRef() { return (ULONG)++refs_; }

ULONG STDMETHODCALLTYPE Connection::Release()
{
    long n = --refs_;
    if (n == 0)
        delete this;
    return (ULONG)(n < 0 ? 0 : n);
}

HRESULT STDMETHODCALLTYPE Connection::EnumConnectionPoints(IEnumConnectionPoints** out)
{
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE Connection::FindConnectionPoint(REFIID iid, IConnectionPoint** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_ConnectionEvents))
        return CONNECT_E_NOCONNECTION;
    *out = &impl_->point;
    (*out)->AddRef();
    return S_OK;
}

HRESULT Connection::put_ConnectionString(const wchar_t* text)
{
    if (State() != adStateClosed)
        return core_->Fail(AdoError(adErrObjectOpen),
                           L"Připojovací řetězec nelze měnit, dokud je připojení otevřené.");
    impl_->connectionString = text ? text : L"";
    return S_OK;
}

HRESULT Connection::get_ConnectionString(BSTR* out) const
{
    return ToBstr(impl_->connectionString, out);
}

HRESULT Connection::put_Mode(long mode)
{
    if (State() != adStateClosed)
        return core_->Fail(AdoError(adErrObjectOpen),
                           L"Režim připojení nelze měnit, dokud je připojení otevřené.");
    impl_->mode = mode;
    return S_OK;
}

HRESULT Connection::get_Mode(long* out) const
{
    return GiveOut(out, impl_->mode);
}

long Connection::State() const { return core_->state.load(); }

HRESULT Connection::get_State(long* out) const
{
    return GiveOut(out, State());
}

// Raises ConnectComplete once, on the calling thread, with the outcome of the last Open.
static void RaiseConnectComplete(Connection* self, ConnectionPointImpl& point, Errors* errors,
                                 bool ok)
{
    Error* first = nullptr;
    if (!ok)
        errors->Item(0, &first);
    for (ConnectionEventsVt* sink : point.Sinks()) {
        EventStatusEnum status = ok ? adStatusOK : adStatusErrorsOccurred;
        sink->ConnectComplete(first, &status, self);
        sink->Release();
    }
    if (first)
        first->Release();
}

namespace {
struct NotifyClassRegistrar {
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
    {
        if (msg == kConnectDoneMessage) {
            auto* done = (void (*)(Connection*))wp;
            done((Connection*)lp);
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    NotifyClassRegistrar()
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kNotifyClass;
        RegisterClassW(&wc);
    }
};
}  // namespace

// Finishes an asynchronous open on the opening thread: joins the worker, publishes the outcome
// and raises the event. Runs once per asynchronous Open (from the message, or from Close).
static void CompleteAsyncOpen(Connection* self);

struct ConnectionFriend {
    using ImplType = Connection::Impl;
    static ImplType& Impl(Connection* c) { return *c->impl_; }
};

HRESULT Connection::Open(const wchar_t* connectionString, const wchar_t* userId,
                         const wchar_t* password, long options)
{
    (void)userId;
    (void)password;
    if (impl_->completionPending || State() != adStateClosed)
        return core_->Fail(AdoError(adErrObjectOpen), L"Připojení je již otevřené.");
    if (connectionString && *connectionString)
        impl_->connectionString = connectionString;
    std::wstring text = impl_->connectionString;
    long mode = impl_->mode;
    if (options != adConnectUnspecified && (options & adAsyncConnect)) {
        static NotifyClassRegistrar registrar;
        impl_->notify = CreateWindowExW(0, kNotifyClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        GetModuleHandleW(nullptr), nullptr);
        if (!impl_->notify)
            return core_->Fail(E_FAIL, L"Otevírání připojení nelze zahájit.");
        impl_->completionPending = true;
        core_->state = adStateConnecting;
        AddRef();  // held until the completion has been raised
        HWND notify = impl_->notify;
        std::shared_ptr<ConnectionCore> core = core_;
        Impl* impl = impl_.get();
        impl_->worker = std::thread([core, impl, text, mode, notify, this]() {
            std::vector<Error*> errors;
            bool ok = ConnectCore(*core, text, mode, &errors);
            impl->connectErrors = std::move(errors);
            impl->connectOk = ok;
            if (!ok)
                core->state = adStateClosed;
            PostMessageW(notify, kConnectDoneMessage, (WPARAM)&CompleteAsyncOpen, (LPARAM)this);
        });
        return S_OK;
    }
    std::vector<Error*> errors;
    bool ok = ConnectCore(*core_, text, mode, &errors);
    if (!ok)
        core_->errors->Replace(std::move(errors));
    RaiseConnectComplete(this, impl_->point, core_->errors, ok);
    return ok ? S_OK : E_FAIL;
}

static void CompleteAsyncOpen(Connection* self)
{
    ConnectionFriend::ImplType& impl = ConnectionFriend::Impl(self);
    if (!impl.completionPending)
        return;
    impl.completionPending = false;
    if (impl.worker.joinable())
        impl.worker.join();
    if (impl.notify) {
        DestroyWindow(impl.notify);
        impl.notify = nullptr;
    }
    bool ok = impl.connectOk;
    if (!ok)
        self->Core()->errors->Replace(std::move(impl.connectErrors));
    impl.connectErrors.clear();
    RaiseConnectComplete(self, impl.point, self->Core()->errors, ok);
    self->Release();
}

HRESULT Connection::Close()
{
    // A connect still running is finished first, and its completion still raised once.
    if (impl_->completionPending) {
        AddRef();
        CompleteAsyncOpen(this);
        Release();
    }
    bool wasOpen;
    {
        std::lock_guard<std::recursive_mutex> hold(core_->lock);
        wasOpen = core_->dbc != SQL_NULL_HDBC;
        core_->Disconnect();
        core_->state = adStateClosed;
    }
    if (wasOpen) {
        for (ConnectionEventsVt* sink : impl_->point.Sinks()) {
            EventStatusEnum status = adStatusOK;
            sink->Disconnect(&status, this);
            sink->Release();
        }
    }
    return S_OK;
}

HRESULT Connection::get_Errors(Errors** out)
{
    if (!out)
        return E_POINTER;
    *out = core_->errors;
    (*out)->AddRef();
    return S_OK;
}

HRESULT Connection::Execute(const wchar_t* sql, VARIANT* recordsAffected, long options,
                            Recordset** recordset)
{
    ResetExecuteResults(recordsAffected, recordset);
    if (!sql)
        return core_->Fail(E_INVALIDARG, L"Nebyl zadán text příkazu.");
    bool noRecords = options != adOptionUnspecified && (options & adExecuteNoRecords);
    if (!noRecords && recordset) {
        Recordset* rs = Recordset::Create();
        HRESULT hr = rs->Open(sql, this, adOpenForwardOnly, adLockReadOnly, adCmdText);
        if (FAILED(hr)) {
            rs->Release();
            return hr;
        }
        *recordset = rs;
        return S_OK;
    }
    std::lock_guard<std::recursive_mutex> hold(core_->lock);
    if (!core_->IsOpen())
        return core_->NotOpen();
    HRESULT refused = AdmitStatement(*core_, sql);
    if (FAILED(refused))
        return refused;
    std::wstring text = TranslateSql(sql, core_.get());
    if (text.empty())
        return S_OK;
    bool schema = MayChangeSchema(text);
    // Its values are written into the text, so a text seldom comes again: it is not kept.
    CachedStmt st;
    if (!st.Take(*core_, text, false))
        return st.Fail(L"Příkaz databáze se nepodařilo provést.");
    SQLRETURN rc = st.Execute();
    if (!OdbcOk(rc) && rc != SQL_NO_DATA)
        return st.Fail(L"Příkaz databáze se nepodařilo provést.");
    StoreRowsAffected(st.h, recordsAffected);
    st.Release();
    // Schema changes may turn a view into a table or back, and add or drop columns.
    if (schema)
        core_->SchemaChanged();
    return S_OK;
}

HRESULT Connection::OpenSchema(long schema, Recordset** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (schema == adSchemaTables)
        return OpenTablesSchema(out);
    if (schema != adSchemaForeignKeys)
        return core_->Fail(AdoError(adErrFeatureNotAvailable),
                           L"Schéma " + std::to_wstring(schema) + L" není k dispozici.");
    // Each table's keys from the file's own list of them; a key that names no parent column
    // refers to the parent's primary key.
    static const wchar_t kForeignKeys[] =
        L"SELECT NULL AS PK_TABLE_CATALOG, NULL AS PK_TABLE_SCHEMA, f.\"table\" AS PK_TABLE_NAME, "
        L"COALESCE(f.\"to\", (SELECT p.name FROM pragma_table_info(f.\"table\") AS p WHERE p.pk = 1)) "
        L"AS PK_COLUMN_NAME, NULL AS PK_COLUMN_GUID, NULL AS PK_COLUMN_PROPID, "
        L"NULL AS FK_TABLE_CATALOG, NULL AS FK_TABLE_SCHEMA, m.name AS FK_TABLE_NAME, "
        L"f.\"from\" AS FK_COLUMN_NAME, NULL AS FK_COLUMN_GUID, NULL AS FK_COLUMN_PROPID, "
        L"f.seq + 1 AS ORDINAL, f.on_update AS UPDATE_RULE, f.on_delete AS DELETE_RULE, "
        L"NULL AS PK_NAME, NULL AS FK_NAME, 3 AS DEFERRABILITY "
        L"FROM sqlite_master AS m JOIN pragma_foreign_key_list(m.name) AS f "
        L"WHERE m.type = 'table' ORDER BY m.name, f.id, f.seq";
    Recordset* rs = Recordset::Create();
    rs->put_CursorLocation(adUseClient);
    HRESULT hr = rs->Open(kForeignKeys, this, adOpenStatic, adLockReadOnly, adCmdText);
    if (FAILED(hr)) {
        rs->Release();
        return hr;
    }
    *out = rs;
    return S_OK;
}

namespace {

ColumnMeta SchemaTextColumn(const wchar_t* name)
{
    ColumnMeta meta;
    meta.name = meta.baseName = name;
    meta.type.adoType = adVarWChar;
    meta.type.definedSize = 255;
    meta.type.fetch = FetchKind::Text;
    return meta;
}

void AddSchemaTableRow(RowsetData* rows, const std::wstring& name, const std::wstring& type)
{
    auto row = std::make_shared<RowBuffer>(4);
    row->AddNull();
    row->AddNull();
    row->AddText(name.c_str(), name.size());
    row->AddText(type.c_str(), type.size());
    rows->rows.push_back(row);
}

// The names and types of the file's tables: from the driver's catalog (SQLTablesW, query null)
// or from a query giving the two as its first columns.
HRESULT ReadTableList(ConnectionCore& core, RowsetData* rows, const wchar_t* query)
{
    Stmt st;
    if (!st.Alloc(core))
        return core.NoStatement();
    SQLRETURN rc = query ? SQLExecDirectW(st.h, (SQLWCHAR*)query, SQL_NTS)
                         : SQLTablesW(st.h, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0);
    if (!OdbcOk(rc))
        return core.FailOdbc(SQL_HANDLE_STMT, st.h, L"Seznam tabulek nelze přečíst.", true);
    const SQLUSMALLINT first = query ? 1 : 3;  // the catalog's TABLE_NAME and TABLE_TYPE
    while (OdbcOk(SQLFetch(st.h))) {
        std::wstring values[2];
        for (int c = 0; c < 2; ++c) {
            SQLWCHAR text[512] = {};
            SQLLEN ind = 0;
            if (OdbcOk(SQLGetData(st.h, (SQLUSMALLINT)(first + c), SQL_C_WCHAR, text, sizeof(text), &ind)) &&
                ind != SQL_NULL_DATA)
                values[c] = (const wchar_t*)text;
        }
        if (values[0].empty())
            continue;
        // Saved queries the driver cannot run (most of them) are left out of the list.
        if (!query && CompareStringOrdinal(values[1].c_str(), -1, L"VIEW", -1, TRUE) == CSTR_EQUAL) {
            Stmt probe;
            std::wstring sql = L"SELECT * FROM [" + values[0] + L"]";
            if (!probe.Alloc(core) || !OdbcOk(SQLExecDirectW(probe.h, (SQLWCHAR*)sql.c_str(), SQL_NTS)))
                continue;
        }
        AddSchemaTableRow(rows, values[0], values[1]);
    }
    return S_OK;
}

}  // namespace

HRESULT Connection::OpenTablesSchema(Recordset** out)
{
    std::lock_guard<std::recursive_mutex> hold(core_->lock);
    if (!core_->IsOpen())
        return core_->NotOpen();
    auto rows = std::make_shared<RowsetData>();
    for (const wchar_t* name : {L"TABLE_CATALOG", L"TABLE_SCHEMA", L"TABLE_NAME", L"TABLE_TYPE"})
        rows->columns.push_back(SchemaTextColumn(name));
    if (core_->clientTables) {
        for (const ClientTable& t : core_->clientTables->tables)
            AddSchemaTableRow(rows.get(), t.name, L"TABLE");
    } else {
        // The file's own tables and views; the engine's bookkeeping tables are system tables.
        static const wchar_t kTables[] =
            L"SELECT name, CASE WHEN name LIKE 'sqlite\\_%' ESCAPE '\\' THEN 'SYSTEM TABLE' "
            L"WHEN type = 'view' THEN 'VIEW' ELSE 'TABLE' END FROM sqlite_master "
            L"WHERE type IN ('table', 'view') ORDER BY name";
        HRESULT hr = ReadTableList(*core_, rows.get(), core_->passThrough ? nullptr : kTables);
        if (FAILED(hr))
            return hr;
    }
    Recordset* rs = Recordset::Create();
    HRESULT hr = rs->OpenRows(this, rows, L"");
    if (FAILED(hr)) {
        rs->Release();
        return hr;
    }
    *out = rs;
    return S_OK;
}

bool Connection::HasCzechOrder() const
{
    std::lock_guard<std::recursive_mutex> hold(core_->lock);
    return core_->IsOpen() && core_->czechOrder;
}

std::wstring Connection::MissingCollationExtension() const
{
    std::lock_guard<std::recursive_mutex> hold(core_->lock);
    return core_->IsOpen() ? core_->missingCollationExtension : std::wstring();
}

bool Connection::IsReadOnly() const
{
    std::lock_guard<std::recursive_mutex> hold(core_->lock);
    return core_->IsOpen() && core_->readOnly;
}

bool Connection::FoundDamage() const
{
    std::lock_guard<std::recursive_mutex> hold(core_->lock);
    return core_->IsOpen() && core_->damageFound;
}

std::wstring Connection::LastErrorText() const
{
    std::vector<Error*> items = core_->errors->Items();
    std::wstring text = items.empty() ? std::wstring() : items.front()->Description();
    for (Error* e : items)
        e->Release();
    return text;
}

RefusalKind Connection::LastRefusalKind() const
{
    std::vector<Error*> items = core_->errors->Items();
    RefusalKind kind = items.empty() ? RefusalKind::None : items.front()->Refusal();
    for (Error* e : items)
        e->Release();
    return kind;
}

namespace {

// The savepoint that stands for a nested transaction of the given depth (2 and deeper).
std::wstring SavepointOf(long level)
{
    return L"ZOR_NESTED_" + std::to_wstring(level);
}

}  // namespace

HRESULT Connection::BeginTrans(long* level)
{
    std::lock_guard<std::recursive_mutex> hold(core_->lock);
    if (!core_->IsOpen())
        return core_->NotOpen();
    if (core_->transactionLevel > 0) {
        HRESULT hr = RefuseInLostTransaction(*core_);
        if (SUCCEEDED(hr))
            hr = RunOwnStatement(*core_, L"SAVEPOINT " + SavepointOf(core_->transactionLevel + 1),
                                 L"Vnořenou transakci nelze zahájit.");
        if (FAILED(hr))
            return hr;
        ++core_->transactionLevel;
        core_->savepoints.push_back({++core_->lastSavepointSerial, core_->schemaChanges});
        if (level)
            *level = core_->transactionLevel;
        return S_OK;
    }
    core_->TransactionSettings(true);
    HRESULT hr = BeginOutermost(*core_);
    if (FAILED(hr)) {
        core_->TransactionSettings(false);
        return hr;
    }
    core_->transactionLevel = 1;
    if (level)
        *level = 1;
    return S_OK;
}

long Connection::TransactionLevel() const
{
    std::lock_guard<std::recursive_mutex> hold(core_->lock);
    return core_->IsOpen() ? core_->transactionLevel : 0;
}

static HRESULT EndTransaction(ConnectionCore& core, SQLSMALLINT how)
{
    std::lock_guard<std::recursive_mutex> hold(core.lock);
    if (!core.IsOpen())
        return core.NotOpen();
    if (core.transactionLevel == 0)
        return core.Fail(AdoError(adErrIllegalOperation), L"Žádná transakce neprobíhá.");
    // A rollback may undo schema changes: what the layer knows of the tables is read again. A
    // savepoint in which the schema did not change (an import's row) leaves it as it is.
    if (core.transactionLevel > 1) {
        std::wstring savepoint = SavepointOf(core.transactionLevel);
        HRESULT hr = RefuseInLostTransaction(core);
        if (FAILED(hr)) {
            // The savepoint went with the whole transaction: its rollback ends this level (with
            // the refusal, so that the caller goes no further), its commit is refused.
            if (how == SQL_ROLLBACK) {
                core.SavepointRolledBack(core.CurrentSavepoint());
                --core.transactionLevel;
                if (!core.savepoints.empty())
                    core.savepoints.pop_back();
            }
            return hr;
        }
        if (how == SQL_ROLLBACK) {
            if (core.savepoints.empty() || core.savepoints.back().schemaChanges != core.schemaChanges)
                core.SchemaChanged();
            hr = RunOwnStatement(core, L"ROLLBACK TO " + savepoint,
                                 L"Vnořenou transakci nelze vrátit zpět.");
            if (SUCCEEDED(hr))
                core.SavepointRolledBack(core.CurrentSavepoint());
        }
        if (SUCCEEDED(hr))
            hr = RunOwnStatement(core, L"RELEASE " + savepoint,
                                 how == SQL_COMMIT ? L"Vnořenou transakci nelze potvrdit."
                                                   : L"Vnořenou transakci nelze vrátit zpět.");
        // A nested transaction that could not end stays open for the caller's rollback.
        if (SUCCEEDED(hr)) {
            --core.transactionLevel;
            if (!core.savepoints.empty())
                core.savepoints.pop_back();
        }
        return hr;
    }
    if (how == SQL_ROLLBACK)
        core.SchemaChanged();
    HRESULT hr = how == SQL_COMMIT ? CommitOutermost(core) : RollBackOutermost(core);
    // A failed commit leaves the transaction open for a rollback.
    if (FAILED(hr) && how == SQL_COMMIT)
        return hr;
    core.transactionLevel = 0;
    core.TransactionEnded();
    core.TransactionSettings(false);
    return hr;
}

HRESULT Connection::CommitTrans() { return EndTransaction(*core_, SQL_COMMIT); }
HRESULT Connection::RollbackTrans() { return EndTransaction(*core_, SQL_ROLLBACK); }

// ---------------------------------------------------------------------------------------------

HRESULT CreateDatabaseFile(const wchar_t* path)
{
    if (!path || !*path)
        return E_INVALIDARG;
    if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES)
        return HRESULT_FROM_WIN32(ERROR_FILE_EXISTS);
    std::wstring host;
    if (!HostPathOf(path, &host))
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    HRESULT hr = E_FAIL;
    if (OdbcOk(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) {
        SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
        if (OdbcOk(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) {
            std::wstring text =
                L"DRIVER={SQLite3};Database=" + OdbcAttributeValue(DriverPathText(host)) + L";NoCreat=0";
            SQLWCHAR out[1024];
            SQLSMALLINT outLen = 0;
            if (OdbcOk(SQLDriverConnectW(dbc, nullptr, (SQLWCHAR*)text.c_str(), SQL_NTS, out,
                                         1024, &outLen, SQL_DRIVER_NOPROMPT))) {
                // A first write makes the file header, so the new file is recognisably a
                // database from its first bytes on (the driver leaves it empty otherwise).
                SQLHSTMT st = SQL_NULL_HSTMT;
                if (OdbcOk(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st))) {
                    SQLRETURN rc = SQLExecDirectW(
                        st, (SQLWCHAR*)L"CREATE TABLE ZOR_NEW_FILE(X INTEGER)", SQL_NTS);
                    if (OdbcOk(rc) || rc == SQL_NO_DATA) {
                        rc = SQLExecDirectW(st, (SQLWCHAR*)L"DROP TABLE ZOR_NEW_FILE", SQL_NTS);
                        if (OdbcOk(rc) || rc == SQL_NO_DATA)
                            hr = S_OK;
                    }
                    SQLFreeHandle(SQL_HANDLE_STMT, st);
                }
                SQLDisconnect(dbc);
            }
            SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        }
        SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
    return hr;
}

}  // namespace zdata
