// Literature rows: one publication with its first author, periodical and publisher (by name, found
// or added in their name lists), its ordered authors, keywords, and the taxa and localities it
// concerns; loaded into the literature dialog's record and saved back. Also the four cached
// name lists handed to the dialogs.
//
// A save runs in one transaction with its link rewrites, so a refused write leaves the file as
// it was. Names are looked up whole, ignoring case, with their apostrophes doubled in the Filter
// literal: a name like O'Brien or "A*" finds its own row and no other.
#include "core/literature.h"

#include <strsafe.h>

#include <string>

#include "core/database.h"
#include "core/itemsave_rows.h"
#include "core/rsutil.h"
#include "core/textutil.h"
#include "core/treemove.h"
#include "dataaccess/filterexpr.h"

using zdata::Field;
using zdata::Fields;
using zdata::Recordset;
using namespace itemsave;

namespace {

// Name-list columns: 0 ID, 1 NAME; JOURNALS 3 the publisher's EDITORS.ID.
const long kNameId = 0;
const long kNameText = 1;
const long kJournalPublisher = 3;

// LITERATURE (and the leading columns of LITVIEW).
const long kLitId = 0;
const long kLitName = 1;
const long kLitEditor = 3;
const long kLitJournal = 4;
const long kLitFirstAuthor = 5;
const long kLitAbstract = 10;

// Link tables: 0 LITID, 1 the linked id, 2 the position from 1.
const long kLinkLitId = 0;
const long kLinkTarget = 1;
const long kLinkPos = 2;

std::wstring Sql(const wchar_t* format, const wchar_t* table, int id, const wchar_t* order = nullptr)
{
    wchar_t sql[160];
    if (order)
        StringCchPrintfW(sql, 160, format, table, id, order);
    else
        StringCchPrintfW(sql, 160, format, table, id);
    return sql;
}

HRESULT PutIdOrNull(Fields* fields, long ordinal, int id)
{
    return id < 0 ? PutNull(fields, ordinal) : PutInt(fields, ordinal, id);
}

// The row of the name, or none: the list is filtered to it.
bool FilterToName(Recordset* list, const wchar_t* name)
{
    std::wstring filter = L"NAME = " + zdata::FilterQuote(name);
    return SUCCEEDED(list->put_Filter(filter.c_str()));
}

int FindOrAdd(Recordset* list, const wchar_t* name, int* publisher)
{
    if (!IsRecordsetOpen(list) || !name || !FilterToName(list, name))
        return kNameAddFailed;
    if (!HasRow(list)) {
        if (FAILED(list->AddNew()))
            return kNameAddFailed;
        FieldsRef fields(list);
        HRESULT hr = PutText(fields.get(), kNameText, name, false);
        if (SUCCEEDED(hr) && publisher)
            hr = PutIdOrNull(fields.get(), kJournalPublisher, *publisher);
        if (SUCCEEDED(hr))
            hr = list->Update();
        if (FAILED(hr)) {
            list->CancelUpdate();
            return kNameAddFailed;
        }
    }
    // The row found, or the new row, which stays current.
    FieldsRef fields(list);
    if (publisher)
        *publisher = GetInt(fields.get(), kJournalPublisher);
    return GetInt(fields.get(), kNameId);
}

// Replaces the link rows of a publication by the linked ids, numbered 1..n in order; nextId(i,
// &id) gives the i-th id, or false to leave the entry out. A row the table refuses is left out
// too and the following rows close the gap. False when the old rows could not be removed or the
// table not opened.
template <typename NextId>
bool RewriteLinks(CDatabase* db, const wchar_t* table, int litId, int count, NextId nextId)
{
    std::wstring del = Sql(L"DELETE FROM %s WHERE LITID = %d", table, litId);
    if (FAILED(db->AdoConnection->Execute(del.c_str(), nullptr, adExecuteNoRecords)))
        return false;
    if (count == 0)
        return true;
    RsHolder rs(OpenForWrite(db, Sql(L"SELECT * FROM %s WHERE LITID = %d", table, litId).c_str()));
    if (!IsRecordsetOpen(rs.get()))
        return false;
    FieldsRef fields(rs.get());
    int position = 1;
    for (int i = 0; i < count; i++) {
        int id = -1;
        if (!nextId(i, &id))
            continue;
        HRESULT hr = rs->AddNew();
        if (SUCCEEDED(hr))
            hr = PutInt(fields.get(), kLinkLitId, litId);
        if (SUCCEEDED(hr))
            hr = PutInt(fields.get(), kLinkTarget, id);
        if (SUCCEEDED(hr))
            hr = PutInt(fields.get(), kLinkPos, position);
        if (SUCCEEDED(hr))
            hr = rs->Update();
        if (FAILED(hr))
            rs->CancelUpdate();
        else
            position++;
    }
    return true;
}

bool WriteLinkIds(CDatabase* db, const wchar_t* table, int litId, const CIntArray* ids)
{
    return RewriteLinks(db, table, litId, ids ? ids->GetCount() : 0, [ids](int i, int* id) {
        *id = ids->GetItems()[i];
        return true;
    });
}

// The same for names: each is found in (or added to) the name list and its id linked. Blank
// names never reach the list; a name the list refuses is left out.
bool WriteLinkNames(CDatabase* db, const wchar_t* table, Recordset* list, int litId,
                    const CPtrArray* names)
{
    return RewriteLinks(db, table, litId, names ? names->GetCount() : 0,
                        [names, list](int i, int* id) {
                            const wchar_t* name = (const wchar_t*)names->GetItems()[i];
                            if (!name || !*name)
                                return false;
                            *id = FindOrAdd(list, name, nullptr);
                            return *id >= 0;
                        });
}

void ReadLinkIds(CDatabase* db, const wchar_t* table, int litId, CIntArray* ids)
{
    if (!ids)
        return;
    RsHolder rs(OpenForRead(db, Sql(L"SELECT * FROM %s WHERE LITID = %d ORDER BY REFPOS", table, litId).c_str()));
    if (!HasRow(rs.get()))
        return;
    FieldsRef fields(rs.get());
    for (; !rs->IsEOF(); rs->MoveNext())
        ids->Add(GetInt(fields.get(), kLinkTarget));
}

void ReadLinkNames(CDatabase* db, const wchar_t* table, Recordset* list, int litId,
                   const wchar_t* orderColumn, CPtrArray* names)
{
    if (!names || !IsRecordsetOpen(list))
        return;
    RsHolder rs(OpenForRead(db, Sql(L"SELECT * FROM %s WHERE LITID = %d ORDER BY %s", table, litId,
                              orderColumn).c_str()));
    if (!HasRow(rs.get()))
        return;
    FieldsRef links(rs.get());
    FieldsRef listFields(list);
    Field* listId = nullptr;
    if (!listFields || FAILED(listFields.get()->Item(kNameId, &listId)) || !listId)
        return;
    for (; !rs->IsEOF(); rs->MoveNext()) {
        if (!LocateRecordById(GetInt(links.get(), kLinkTarget), listId, list))
            continue;
        VARIANT name;
        GetValue(listFields.get(), kNameText, &name);
        if (name.vt == VT_BSTR)
            names->Add(WideDup(name.bstrVal ? name.bstrVal : L""));
        VariantClear(&name);
    }
    listId->Release();
}

// After a rollback the name lists may hold rows added inside it.
void RequeryNameLists(CDatabase* db)
{
    RequeryIfOpen({db->LitAuthorsRs, db->JournalsRs, db->EditorsRs, db->KeywordsRs});
}

}  // namespace

int FindOrAddName(Recordset* list, const wchar_t* name)
{
    return FindOrAdd(list, name, nullptr);
}

int FindOrAddJournal(Recordset* list, const wchar_t* name, int* publisher)
{
    int none = -1;
    return FindOrAdd(list, name, publisher ? publisher : &none);
}

void GetNameById(Recordset* list, int id, wchar_t* buffer, int size)
{
    if (!buffer || size <= 0)
        return;
    buffer[0] = L'\0';
    if (!IsRecordsetOpen(list))
        return;
    FieldsRef fields(list);
    Field* idField = nullptr;
    if (!fields || FAILED(fields.get()->Item(kNameId, &idField)) || !idField)
        return;
    if (LocateRecordById(id, idField, list))
        GetText(fields.get(), kNameText, buffer, size);
    idField->Release();
}

void GetEditorName(CDatabase* db, int id, wchar_t* buffer, int size)
{
    GetNameById(db->GetEditorsRs(), id, buffer, size);
}

void GetJournalName(CDatabase* db, int id, wchar_t* buffer, int size)
{
    GetNameById(db->GetJournalsRs(), id, buffer, size);
}

void GetLitAuthorName(CDatabase* db, int id, wchar_t* buffer, int size)
{
    GetNameById(db->GetLitAuthorsRs(), id, buffer, size);
}

void GetKeywordName(CDatabase* db, int id, wchar_t* buffer, int size)
{
    GetNameById(db->GetKeywordsRs(), id, buffer, size);
}

// ---- deleting from the name lists ----

namespace {

// Counts the rows that refer to an id of a name list ("%d" the id, in every sub-query).
const wchar_t* ReferenceCountSql(int kind)
{
    switch (kind) {
    case TABLE_RS_EDITORS:
        return L"SELECT (SELECT COUNT(*) FROM JOURNALS WHERE EDITORID = %d) + "
               L"(SELECT COUNT(*) FROM LITERATURE WHERE EDITOR = %d)";
    case TABLE_RS_JOURNALS:
        return L"SELECT COUNT(*) FROM LITERATURE WHERE JOURNALID = %d";
    case TABLE_RS_LITAUTHORS:
        return L"SELECT (SELECT COUNT(*) FROM LITERATURE WHERE FIRSTAUTHOR = %d) + "
               L"(SELECT COUNT(*) FROM BOOKAUTHORS WHERE AUTHORID = %d)";
    case TABLE_RS_KEYWORDS:
        return L"SELECT COUNT(*) FROM LITKEYWORDSREFS WHERE KEYWORDID = %d";
    default:
        return nullptr;
    }
}

// The count of a reference query; -1 when it cannot be read.
int CountReferences(zdata::Connection* connection, const wchar_t* format, int id)
{
    wchar_t sql[256];
    StringCchPrintfW(sql, 256, format, id, id);
    Recordset* rs = nullptr;
    if (FAILED(connection->Execute(sql, nullptr, adCmdText, &rs)) || !rs)
        return -1;
    int count = -1;
    if (HasRow(rs)) {
        FieldsRef fields(rs);
        count = GetInt(fields.get(), 0);
    }
    CloseAndRelease(rs);
    return count;
}

}  // namespace

int DeleteNameListRow(Recordset* list, int kind, int id)
{
    const wchar_t* countSql = ReferenceCountSql(kind);
    zdata::Connection* connection = list ? list->ActiveConnection() : nullptr;
    if (!countSql || !connection || !IsRecordsetOpen(list))
        return NAME_ROW_FAILED;
    if (FAILED(connection->BeginTrans()))
        return NAME_ROW_FAILED;
    int users = CountReferences(connection, countSql, id);
    if (users != 0) {
        connection->RollbackTrans();
        return users > 0 ? NAME_ROW_IN_USE : NAME_ROW_FAILED;
    }
    FieldsRef fields(list);
    Field* idField = nullptr;
    bool found = fields && SUCCEEDED(fields.get()->Item(kNameId, &idField)) && idField &&
                 LocateRecordById(id, idField, list);
    if (idField)
        idField->Release();
    if (!found) {
        connection->RollbackTrans();
        return NAME_ROW_MISSING;
    }
    bool deleted = SUCCEEDED(list->Delete(adAffectCurrent));
    if (!deleted || FAILED(connection->CommitTrans())) {
        connection->RollbackTrans();
        if (deleted)
            list->Requery();  // the row left the rowset but stays in the file
        return NAME_ROW_FAILED;
    }
    return NAME_ROW_DELETED;
}

// ---- the name lists ----

namespace {

Recordset* NameList(CDatabase* db, CachedRecordset kind)
{
    if (!db->IsOpen())
        return nullptr;
    Recordset* rs = db->GetCachedRecordset(kind);
    if (!IsRecordsetOpen(rs))
        return nullptr;
    // Users filter the lists by name; each hand-out starts from the whole list.
    VARIANT none;
    none.vt = VT_I4;
    none.lVal = adFilterNone;
    rs->put_Filter(none);
    return rs;
}

}  // namespace

Recordset* CDatabase::GetLitAuthorsRs()
{
    return NameList(this, RS_LITAUTHORS);
}

Recordset* CDatabase::GetJournalsRs()
{
    return NameList(this, RS_JOURNALS);
}

Recordset* CDatabase::GetEditorsRs()
{
    return NameList(this, RS_EDITORS);
}

Recordset* CDatabase::GetKeywordsRs()
{
    return NameList(this, RS_KEYWORDS);
}

Recordset* CDatabase::GetTableRecordset(int kind)
{
    if (!IsOpen())
        return nullptr;
    switch (kind) {
    case TABLE_RS_SYSTREE: return SysTreeRs;
    case TABLE_RS_LOCTREE: return LocTreeRs;
    case TABLE_RS_LITAUTHORS: return GetLitAuthorsRs();
    case TABLE_RS_JOURNALS: return GetJournalsRs();
    case TABLE_RS_EDITORS: return GetEditorsRs();
    case TABLE_RS_KEYWORDS: return GetKeywordsRs();
    default: return nullptr;
    }
}

// ---- loading and saving ----

int CDatabase::LoadLiterature(LiteratureRecord* r)
{
    if (!r)
        return 0;
    r->Title[0] = r->FirstAuthor[0] = r->Journal[0] = r->Publisher[0] = L'\0';
    VariantClear(&r->Abstract);
    Recordset* list = LiteratureListRs;
    bool found = false;
    FieldsRef fields(IsRecordsetOpen(list) ? list : nullptr);
    if (fields) {
        Field* idField = nullptr;
        if (SUCCEEDED(fields.get()->Item(kLitId, &idField)) && idField) {
            found = LocateRecordById(r->Id, idField, list);
            idField->Release();
        }
    }
    if (!found) {
        ReadCustomValues(nullptr, r->Values, LiteratureAttrs);
        return 1;
    }
    GetText(fields.get(), kLitName, r->Title, 256);
    int publisher = GetInt(fields.get(), kLitEditor);
    int journal = GetInt(fields.get(), kLitJournal);
    int firstAuthor = GetInt(fields.get(), kLitFirstAuthor);
    ReadCustomValues(fields.get(), r->Values, LiteratureAttrs);
    GetValue(fields.get(), kLitAbstract, &r->Abstract);
    // The name lookups move other recordsets only; the list row has been read.
    if (publisher >= 0)
        GetEditorName(this, publisher, r->Publisher, 128);
    if (journal >= 0)
        GetJournalName(this, journal, r->Journal, 128);
    if (firstAuthor >= 0)
        GetLitAuthorName(this, firstAuthor, r->FirstAuthor, 64);

    ReadLinkNames(this, L"BOOKAUTHORS", GetLitAuthorsRs(), r->Id, L"AUTHPOS", r->Authors);
    ReadLinkIds(this, L"LITSYSREFS", r->Id, r->SpeciesIds);
    ReadLinkIds(this, L"LITLOCREFS", r->Id, r->LocalityIds);
    ReadLinkNames(this, L"LITKEYWORDSREFS", GetKeywordsRs(), r->Id, L"REFPOS", r->Keywords);
    return 1;
}

int CDatabase::SaveLiterature(LiteratureRecord* r)
{
    if (!r || !IsOpen())
        return 0;
    WriteTransaction transaction(this);
    if (!transaction.Begin())
        return 0;

    // Everything up to the LITERATURE row's Update: a refusal shows the errors and undoes all.
    RsHolder rs(nullptr);
    if (r->Id >= 0) {
        wchar_t sql[64];
        StringCchPrintfW(sql, 64, L"SELECT * FROM LITERATURE WHERE ID = %d", r->Id);
        rs.Reset(OpenForWrite(this, sql));
    } else {
        // Only to add a row: no need to read the publications.
        rs.Reset(OpenForWrite(this, L"SELECT * FROM LITERATURE WHERE 0 = 1"));
    }
    bool ok = IsRecordsetOpen(rs.get());
    // A reference whose row is gone is stored as a new one.
    if (ok && !HasRow(rs.get()))
        ok = SUCCEEDED(rs->AddNew());
    FieldsRef fields(ok ? rs.get() : nullptr);
    ok = ok && fields;
    if (ok) {
        // An empty first author is stored as none and never added to the list; one the list
        // refuses is stored as none too.
        int author = -1;
        if (r->FirstAuthor[0])
            author = FindOrAddName(GetLitAuthorsRs(), r->FirstAuthor);
        ok = SUCCEEDED(PutIdOrNull(fields.get(), kLitFirstAuthor, author));
    }
    int publisher = -1;
    if (ok && r->Publisher[0]) {
        publisher = FindOrAddName(GetEditorsRs(), r->Publisher);
        ok = publisher != kNameAddFailed;
    }
    if (ok) {
        int journal = -1;
        // A periodical already stored brings its own publisher.
        if (r->Journal[0]) {
            journal = FindOrAddJournal(GetJournalsRs(), r->Journal, &publisher);
            ok = journal != kNameAddFailed;
        }
        ok = ok && SUCCEEDED(PutIdOrNull(fields.get(), kLitJournal, journal));
    }
    ok = ok && SUCCEEDED(PutIdOrNull(fields.get(), kLitEditor, publisher));
    ok = ok && SUCCEEDED(PutText(fields.get(), kLitName, r->Title, false));
    if (ok) {
        // A value its column refuses fails the save like any other refused write.
        HRESULT valueFailure = S_OK;
        WriteValues(this, 0, LOOKUP_LITERATURE, fields.get(), r->Values, LiteratureAttrs,
                    &valueFailure);
        ok = SUCCEEDED(valueFailure);
    }
    ok = ok && SUCCEEDED(PutValue(fields.get(), kLitAbstract, r->Abstract));
    ok = ok && SUCCEEDED(rs->Update());
    int litId = ok ? GetInt(fields.get(), kLitId) : -1;
    ok = ok && litId >= 0;

    // The links are rewritten as a whole; a single refused link row is only left out.
    ok = ok && WriteLinkNames(this, L"BOOKAUTHORS", GetLitAuthorsRs(), litId, r->Authors);
    ok = ok && WriteLinkIds(this, L"LITSYSREFS", litId, r->SpeciesIds);
    ok = ok && WriteLinkIds(this, L"LITLOCREFS", litId, r->LocalityIds);
    ok = ok && WriteLinkNames(this, L"LITKEYWORDSREFS", GetKeywordsRs(), litId, r->Keywords);

    if (!ok) {
        ReportAdoErrors();
        if (IsRecordsetOpen(rs.get()))
            rs->CancelUpdate();
        transaction.Rollback();
        RequeryNameLists(this);
        return 0;
    }
    if (!transaction.Commit()) {
        RequeryNameLists(this);
        return 0;
    }
    r->Id = litId;
    RequeryIfOpen(LiteratureListRs);
    LiteratureNamesStale = 1;
    return 1;
}
