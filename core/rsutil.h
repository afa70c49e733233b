// Small recordset helpers shared by the database object's files: whether a recordset is open,
// reads again of cached recordsets, closing, and a holder for one-shot recordsets.
#pragma once
#include <windows.h>

#include <initializer_list>
#include <string>

#include "dataaccess/ado.h"

// True when the recordset is there and open.
bool IsRecordsetOpen(zdata::Recordset* rs);

// Requery / Resync of a cached recordset only when it is open.
void RequeryIfOpen(zdata::Recordset* rs);
void RequeryIfOpen(std::initializer_list<zdata::Recordset*> list);
void ResyncAllIfOpen(zdata::Recordset* rs);

// Closes and releases the recordset and clears the pointer; a null pointer is left alone.
void CloseAndRelease(zdata::Recordset*& rs);

// The named field of the current row (the caller releases it), or null.
zdata::Field* FieldByName(zdata::Recordset* rs, const wchar_t* name);

// Moves a name list (a recordset with a NAME column) to the first row whose NAME equals the name
// ignoring case only, as names are matched everywhere ("ČERNÝ" finds "Černý", not "Cerny").
// Returns the row's 1-based position in the list's current view and puts the stored spelling into
// *stored (when given); 0 when no row has the name.
long FindName(zdata::Recordset* rs, const wchar_t* name, std::wstring* stored = nullptr);

// Letters, digits and underscores only: a table or column name that may go into statement text
// without changing the statement.
bool IsPlainIdentifier(const wchar_t* name);

// Statements that name many rows by id ("... WHERE ID IN (...)") take at most this many ids
// each, well inside the file's statement length; a longer list goes in several statements of
// one transaction.
const int kIdsPerStatement = 20000;
// The ids from first up to (not including) last, as "a, b, c".
std::wstring IdListText(const int* ids, int first, int last);

// A one-shot recordset, closed and released on every way out.
class RsHolder
{
public:
    explicit RsHolder(zdata::Recordset* rs = nullptr) : rs_(rs) {}
    ~RsHolder() { CloseAndRelease(rs_); }
    RsHolder(const RsHolder&) = delete;
    RsHolder& operator=(const RsHolder&) = delete;
    zdata::Recordset* get() const { return rs_; }
    zdata::Recordset* operator->() const { return rs_; }
    bool IsOpen() const { return IsRecordsetOpen(rs_); }
    // Closes and releases the current recordset and takes another.
    void Reset(zdata::Recordset* rs)
    {
        CloseAndRelease(rs_);
        rs_ = rs;
    }

private:
    zdata::Recordset* rs_;
};
