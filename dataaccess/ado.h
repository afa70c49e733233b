// The ADO-shaped data layer: Connection, Recordset, Fields, Errors and Command over ODBC.
//
// The calling code is written against ADO's objects and semantics, so the objects here keep
// ADO's member names, HRESULT results, VARIANT values and enum numbers (adodefs.h). They are
// reference counted like COM objects (created with a count of 1, freed by the last Release), but
// are plain C++ classes made by their Create functions. The connection offers the standard
// IConnectionPointContainer so that an events sink is advised the way ADO's is.
#pragma once
#include <windows.h>
#include <ocidl.h>
#include <oleauto.h>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>
#include "dataaccess/adodefs.h"
#include "dataaccess/refusals.h"

namespace zdata {

class Connection;
class Recordset;
class Command;
struct RowsetData;
struct ConnectionCore;
struct BindValue;

// Interface id of the connection events (ConnectionEventsVt) for FindConnectionPoint.
extern const IID IID_ConnectionEvents;

// Source text of the layer's errors and of the driver's diagnostics.
extern const wchar_t kErrorSource[];

// A COM-style reference count shared by the layer's objects.
class RefCounted {
public:
    RefCounted() = default;
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;
    ULONG AddRef() { return (ULONG)++refs_; }
    ULONG Release()
    {
        long n = --refs_;
        if (n <= 0)
            delete this;
        return (ULONG)(n < 0 ? 0 : n);
    }

protected:
    virtual ~RefCounted() = default;

private:
    std::atomic<long> refs_{1};
};

// One error of the Errors collection.
class Error : public RefCounted {
public:
    Error(long number, std::wstring description, std::wstring sqlState, long nativeError,
          RefusalKind refusal = RefusalKind::None);
    HRESULT get_Description(BSTR* out) const;
    HRESULT get_Source(BSTR* out) const;
    HRESULT get_Number(long* out) const;
    HRESULT get_SQLState(BSTR* out) const;
    HRESULT get_NativeError(long* out) const;
    const std::wstring& Description() const { return description_; }
    const std::wstring& SQLState() const { return sqlState_; }
    // What the engine refused, as the layer reads it (not ADO).
    RefusalKind Refusal() const { return refusal_; }

private:
    long number_;
    std::wstring description_;
    std::wstring sqlState_;
    long nativeError_;
    RefusalKind refusal_;
};

// The errors of the last failed operation on a connection. It is replaced only when an
// operation fails; successful operations leave it as it is.
class Errors : public RefCounted {
public:
    HRESULT get_Count(long* out) const;
    HRESULT get_Item(VARIANT index, Error** out) const;
    HRESULT Item(long index, Error** out) const;
    HRESULT Clear();
    long Count() const;
    // Copy of the current entries (the collection may be replaced by another thread).
    std::vector<std::wstring> Descriptions() const;
    // The current entries, each AddRef'd.
    std::vector<Error*> Items() const;

    void Replace(std::vector<Error*> items);  // takes over the references

private:
    ~Errors() override;
    mutable std::mutex lock_;
    std::vector<Error*> items_;
};

// The connection events sink, in ADO's slot order. Status arguments are left as they are.
struct ConnectionEventsVt : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE InfoMessage(Error* error, EventStatusEnum* status,
                                                  Connection* connection) = 0;
    virtual HRESULT STDMETHODCALLTYPE BeginTransComplete(long transactionLevel, Error* error,
                                                         EventStatusEnum* status,
                                                         Connection* connection) = 0;
    virtual HRESULT STDMETHODCALLTYPE CommitTransComplete(Error* error, EventStatusEnum* status,
                                                          Connection* connection) = 0;
    virtual HRESULT STDMETHODCALLTYPE RollbackTransComplete(Error* error,
                                                            EventStatusEnum* status,
                                                            Connection* connection) = 0;
    virtual HRESULT STDMETHODCALLTYPE WillExecute(BSTR* source, CursorTypeEnum* cursorType,
                                                  LockTypeEnum* lockType, long* options,
                                                  EventStatusEnum* status, Command* command,
                                                  Recordset* recordset,
                                                  Connection* connection) = 0;
    virtual HRESULT STDMETHODCALLTYPE ExecuteComplete(long recordsAffected, Error* error,
                                                      EventStatusEnum* status, Command* command,
                                                      Recordset* recordset,
                                                      Connection* connection) = 0;
    virtual HRESULT STDMETHODCALLTYPE WillConnect(BSTR* connectionString, BSTR* userId,
                                                  BSTR* password, long* options,
                                                  EventStatusEnum* status,
                                                  Connection* connection) = 0;
    virtual HRESULT STDMETHODCALLTYPE ConnectComplete(Error* error, EventStatusEnum* status,
                                                      Connection* connection) = 0;
    virtual HRESULT STDMETHODCALLTYPE Disconnect(EventStatusEnum* status,
                                                 Connection* connection) = 0;
};

// The connection to one database file.
class Connection : public IConnectionPointContainer {
public:
    // A new closed connection with a reference count of 1.
    static Connection* Create();

    // IUnknown (answers IUnknown and IConnectionPointContainer).
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IConnectionPointContainer: only the connection events.
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

    HRESULT put_ConnectionString(const wchar_t* text);
    HRESULT get_ConnectionString(BSTR* out) const;
    // adModeRead opens the file read-only; anything else reads and writes.
    HRESULT put_Mode(long mode);
    HRESULT get_Mode(long* out) const;

    // Opens the connection (connection string, user and password may be empty or null: the
    // ConnectionString property is used then). With adAsyncConnect it returns at once; either
    // way, ConnectComplete reaches the advised sinks exactly once per Open, from the message
    // loop of the thread that called Open.
    HRESULT Open(const wchar_t* connectionString = nullptr, const wchar_t* userId = nullptr,
                 const wchar_t* password = nullptr, long options = adConnectUnspecified);
    // Closes the connection; waits for a connect that is still running.
    HRESULT Close();
    HRESULT get_State(long* out) const;
    long State() const;

    // Runs SQL text. With adExecuteNoRecords no recordset is made; otherwise *recordset (when
    // given) receives a read-only snapshot of the rows. RecordsAffected (when given) receives
    // the number of changed rows as VT_I4.
    HRESULT Execute(const wchar_t* sql, VARIANT* recordsAffected = nullptr,
                    long options = adExecuteNoRecords, Recordset** recordset = nullptr);

    // The errors of the last failed operation (AddRef'd).
    HRESULT get_Errors(Errors** out);
    // Not ADO: the first of those errors, its description (empty for none) and what the engine
    // refused (None when the layer knows no such refusal), so that a program passes the reason
    // on rather than a text of its own.
    std::wstring LastErrorText() const;
    RefusalKind LastRefusalKind() const;

    // Transactions nest as Jet's do: a BeginTrans inside a running transaction opens a nested one
    // (a savepoint of the file) and *level receives the new depth (1 for the outermost).
    // CommitTrans and RollbackTrans end the innermost one; rolling back a nested transaction
    // undoes only what was done since its BeginTrans, and the outer one goes on.
    HRESULT BeginTrans(long* level = nullptr);
    HRESULT CommitTrans();
    HRESULT RollbackTrans();
    // The depth of the running transactions, 0 for none (not ADO).
    long TransactionLevel() const;

    // A read-only recordset of schema information. adSchemaForeignKeys (no restrictions): one row
    // per column of each foreign key of the file's tables, with ADO's columns (PK_TABLE_NAME,
    // PK_COLUMN_NAME, FK_TABLE_NAME, FK_COLUMN_NAME, ORDINAL, UPDATE_RULE, DELETE_RULE, PK_NAME,
    // FK_NAME ...); the file's keys have no names, so PK_NAME and FK_NAME are NULL. Other
    // schemas are refused.
    // adSchemaTables: TABLE_CATALOG, TABLE_SCHEMA (both NULL), TABLE_NAME and TABLE_TYPE ("TABLE",
    // "VIEW", "SYSTEM TABLE", or what the driver calls it) of every table; a workbook lists its
    // sheets as "name$".
    HRESULT OpenSchema(long schema, Recordset** out);

    // The Czech order (not ADO; dataaccess/collationext.h). True when the open connection has the
    // Czech collations, so that its queries sort and match names the Czech way.
    bool HasCzechOrder() const;
    // For an open SQLite connection without them: the extension that was looked for (its Windows
    // path); empty otherwise.
    std::wstring MissingCollationExtension() const;
    // Not ADO: true when the open database file is read-only; it is then opened for reading
    // only (PRAGMA query_only), so that the first write is refused before it touches the file.
    bool IsReadOnly() const;
    // Not ADO: true when a statement has met a damaged page of the file since it was opened, even
    // when the errors of later operations have replaced that refusal.
    bool FoundDamage() const;

    // The layer's own connection state shared with recordsets and commands.
    std::shared_ptr<ConnectionCore> Core() const { return core_; }

private:
    HRESULT OpenTablesSchema(Recordset** out);
    friend class ConnectionPointImpl;
    friend struct ConnectionFriend;
    Connection();
    virtual ~Connection();
    class Impl;
    std::unique_ptr<Impl> impl_;
    std::shared_ptr<ConnectionCore> core_;
    std::atomic<long> refs_{1};
};

class Recordset;

// One column of a recordset; reads and writes the value of the recordset's current row.
class Field : public RefCounted {
public:
    HRESULT get_Name(BSTR* out) const;
    HRESULT get_Type(DataTypeEnum* out) const;
    HRESULT get_DefinedSize(long* out) const;
    // Length of the current value: characters for text, bytes for binary, the type's size
    // for numbers, 0 for NULL.
    HRESULT get_ActualSize(long* out) const;
    // VT_EMPTY and an error when there is no current row.
    HRESULT get_Value(VARIANT* out) const;
    // Sets the value in the pending edit (started by this call when none is pending).
    HRESULT put_Value(const VARIANT& value);
    long Ordinal() const { return ordinal_; }

private:
    friend class Fields;
    Field(Recordset* owner, long ordinal);
    ~Field() override;
    Recordset* owner_;
    long ordinal_;
};

// The columns of a recordset, also when it has no rows.
class Fields : public RefCounted {
public:
    HRESULT get_Count(long* out) const;
    // By VT_I4/VT_I2 ordinal or by VT_BSTR name (case-insensitive); an unknown item fails.
    HRESULT get_Item(const VARIANT& index, Field** out) const;
    HRESULT Item(long ordinal, Field** out) const;
    HRESULT Item(const wchar_t* name, Field** out) const;

private:
    friend class Recordset;
    explicit Fields(Recordset* owner);
    ~Fields() override;
    Recordset* owner_;
};

// A cursor over the rows of a query.
class Recordset : public RefCounted {
public:
    static Recordset* Create();

    HRESULT put_CursorLocation(long location);
    HRESULT get_CursorLocation(long* out) const;
    HRESULT put_CursorType(long type);
    HRESULT get_CursorType(long* out) const;
    HRESULT put_LockType(long type);
    HRESULT get_LockType(long* out) const;

    // Source is SQL text (VT_BSTR). Options adCmdText (or unspecified).
    HRESULT Open(const VARIANT& source, Connection* connection, long cursorType = adOpenUnspecified,
                 long lockType = adLockUnspecified, long options = adCmdText);
    HRESULT Open(const wchar_t* sql, Connection* connection, long cursorType = adOpenUnspecified,
                 long lockType = adLockUnspecified, long options = adCmdText);
    // Closes the recordset; a closed one answers every call with an error.
    HRESULT Close();
    HRESULT get_State(long* out) const;

    HRESULT get_BOF(VARIANT_BOOL* out) const;
    HRESULT get_EOF(VARIANT_BOOL* out) const;
    bool IsBOF() const;
    bool IsEOF() const;
    HRESULT MoveFirst();
    HRESULT MoveLast();
    HRESULT MoveNext();
    HRESULT MovePrevious();
    HRESULT Move(long numRecords);

    // 1-based position in the (filtered) view; adPosBOF/adPosEOF/adPosUnknown otherwise.
    HRESULT get_AbsolutePosition(long* out) const;
    HRESULT put_AbsolutePosition(long position);
    // Bookmarks are VT_R8 1-based row numbers of the unfiltered rowset.
    HRESULT get_Bookmark(VARIANT* out) const;
    HRESULT put_Bookmark(const VARIANT& bookmark);
    HRESULT get_RecordCount(long* out) const;

    // VT_BSTR criteria (empty = none) or VT_I4 adFilterNone. A refused criterion leaves the
    // old filter and adds an error.
    HRESULT put_Filter(const VARIANT& filter);
    HRESULT put_Filter(const wchar_t* criteria);
    HRESULT get_Filter(VARIANT* out) const;
    // The SQL text exactly as given to Open (kept after Close).
    HRESULT get_Source(BSTR* out) const;
    const std::wstring& Source() const;
    // Orders the view: "column [ASC|DESC] {, column [ASC|DESC]}" (empty: the rowset's own
    // order again), on the rows the filter lets through; the first row becomes current. Client
    // cursors only. A refused order leaves the old one and adds an error.
    HRESULT put_Sort(const wchar_t* criteria);
    HRESULT get_Sort(BSTR* out) const;
    // Searches the view for one "column op literal" criterion from Start (a bookmark;
    // VT_EMPTY/VT_ERROR = the current row), Start included. No match: EOF (BOF backwards).
    HRESULT Find(const wchar_t* criteria, long skipRecords = 0,
                 long direction = adSearchForward, const VARIANT* start = nullptr);

    // Runs the query again, applies the filter again and goes to the first row.
    HRESULT Requery(long options = -1);
    // Reads the values of the current row or of every row again; never adds rows and drops
    // rows that are gone.
    HRESULT Resync(long affect = adAffectAll, long resyncValues = adResyncAllValues);

    HRESULT AddNew();
    HRESULT Update();
    HRESULT CancelUpdate();
    HRESULT Delete(long affect = adAffectCurrent);
    HRESULT get_EditMode(long* out) const;

    HRESULT get_Fields(Fields** out);
    // A second cursor over the same rows, independent of this one (for worker threads).
    HRESULT Clone(Recordset** out, long lockType = adLockUnspecified);

    // How many rows of a long read-only result the cursor reads at a time and keeps for itself
    // (1, the default: rows are read by page as they are asked for and shared by every cursor
    // over them). A cursor that walks the whole list, such as an export's, reads in blocks.
    HRESULT put_CacheSize(long rows);
    HRESULT get_CacheSize(long* out) const;

    // The numbers of some columns for every row of the (filtered) view, in view order: one
    // double per column and row (NaN for NULL and for values that are no number). A long
    // keyset reads them in one pass over the rows, without paging; the cursor stays where it is.
    // A long keyset leaves out the rows failing `narrowing` (an SQL condition on the asked
    // columns, by name) where the database reads them; rows held in memory all come, so the
    // caller still tests the values it gets.
    HRESULT ReadRealColumns(const std::vector<long>& ordinals, std::vector<double>* values,
                            const std::wstring& narrowing = std::wstring());
    // The first column's integers (a list's record ids) at positions of the view (1-based, as
    // AbsolutePosition puts them), -1 where a position lies outside the view or the value is no
    // integer; the cursor stays where it is. A long keyset whose key is that column answers from
    // its keys without reading a row.
    HRESULT ReadFirstColumnIds(const std::vector<long>& positions, std::vector<long long>* ids);

    // The connection's errors collection owner (null when never opened).
    Connection* ActiveConnection() const;

private:
    friend class Field;
    friend class Fields;
    friend class Command;
    friend class Connection;
    // A read-only snapshot of a statement run with bound '?' values (commands).
    HRESULT OpenWithParameters(const wchar_t* sql, Connection* connection,
                               const std::vector<BindValue>& params);
    // A read-only client snapshot of rows the layer made itself (schemas, workbook sheets).
    HRESULT OpenRows(Connection* connection, std::shared_ptr<RowsetData> rows, const std::wstring& source);
    Recordset();
    ~Recordset() override;
    class Impl;
    std::unique_ptr<Impl> impl_;
};

// One parameter of a command.
class Parameter : public RefCounted {
public:
    Parameter(std::wstring name, long type, long direction, long size, const VARIANT& value);
    HRESULT get_Name(BSTR* out) const;
    HRESULT get_Value(VARIANT* out) const;
    HRESULT put_Value(const VARIANT& value);
    HRESULT get_Type(long* out) const;
    HRESULT put_Type(long type);
    HRESULT get_Direction(long* out) const;
    HRESULT get_Size(long* out) const;
    HRESULT put_Size(long size);
    const VARIANT& Value() const { return value_; }
    long Type() const { return type_; }

private:
    ~Parameter() override;
    std::wstring name_;
    long type_;
    long direction_;
    long size_;
    VARIANT value_;
};

class Parameters : public RefCounted {
public:
    HRESULT get_Count(long* out) const;
    HRESULT get_Item(const VARIANT& index, Parameter** out) const;
    HRESULT Item(long index, Parameter** out) const;
    HRESULT Append(Parameter* parameter);
    HRESULT Delete(const VARIANT& index);
    // Makes one adVariant input parameter per '?' of the command text (values kept for the
    // parameters already there).
    HRESULT Refresh();

private:
    friend class Command;
    explicit Parameters(Command* owner);
    ~Parameters() override;
    Command* owner_;
    std::vector<Parameter*> items_;
};

// SQL text with '?' placeholders, run with the values of its Parameters.
class Command : public RefCounted {
public:
    static Command* Create();
    HRESULT put_ActiveConnection(Connection* connection);
    HRESULT put_CommandText(const wchar_t* text);
    HRESULT get_CommandText(BSTR* out) const;
    HRESULT put_CommandType(long type);
    HRESULT get_Parameters(Parameters** out);
    HRESULT CreateParameter(const wchar_t* name, long type, long direction, long size,
                            const VARIANT& value, Parameter** out);
    // Runs the command. Values (a VARIANT array, or one value) replace the parameters' values
    // for this run. With adExecuteNoRecords no recordset is made; otherwise *recordset gets a
    // read-only snapshot.
    HRESULT Execute(VARIANT* recordsAffected = nullptr, const VARIANT* values = nullptr,
                    long options = adOptionUnspecified, Recordset** recordset = nullptr);

private:
    friend class Parameters;
    Command();
    ~Command() override;
    Connection* connection_ = nullptr;
    std::wstring text_;
    Parameters* parameters_;
    // The text as the connection's driver gets it and its markers, made once per state of the
    // schema (a command runs again and again).
    std::wstring translated_;
    long markers_ = 0;
    std::shared_ptr<ConnectionCore> translatedFor_;
    unsigned long long translatedAt_ = 0;
};

// Test seam: sees the text of each statement that a caller's call sends to a database
// (Connection::Execute, Recordset::Open and Requery, the rows written by Update and Delete,
// Command::Execute) before it is sent: the caller's own text, and for the writes the statement
// the layer makes. A failed result refuses the statement: the call fails with that result and
// with description as its error. Set it before the statements run; an empty hook removes it.
// Returns the hook it replaces.
using StatementHook = std::function<HRESULT(const std::wstring& sql, std::wstring* description)>;
StatementHook SetStatementHook(StatementHook hook);

// Test seam: a full disk. Each SQLite database opened for writing from now on may grow by no
// more than extraPages pages beyond its size at the open (the engine's page limit); a negative
// value lifts the limit for later opens. Returns the value it replaces (-1: none).
int SetPageLimitForTests(int extraPages);

// Makes a new, empty SQLite database file at a Windows path. Fails when the file exists.
HRESULT CreateDatabaseFile(const wchar_t* path);

}  // namespace zdata
