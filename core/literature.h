// The edit record of the literature dialog and the name-list helpers behind loading and saving
// a publication (CDatabase::LoadLiterature / SaveLiterature).
#pragma once
#include <windows.h>
#include <oleauto.h>

#include "core/containers.h"
#include "dataaccess/ado.h"

class CDatabase;

// One publication with everything that hangs on it. The caller owns the record and its lists.
struct LiteratureRecord
{
    int Mode;                 // 1 new reference, 2 edit (set by the workspace)
    int Id;                   // LITERATURE.ID; below 0 for a reference not stored yet
    wchar_t Title[256];
    wchar_t FirstAuthor[64];  // a LITAUTHORS name
    wchar_t Journal[128];     // a JOURNALS name (the periodical)
    wchar_t Publisher[128];   // an EDITORS name
    CPtrArray* Values;        // VARIANT*, one per CustomAttrDef of LITERATURE
    CPtrArray* Authors;       // malloc'd names, in order
    CPtrArray* Keywords;      // malloc'd names
    CIntArray* SpeciesIds;    // SYSTREE ids
    CIntArray* LocalityIds;   // LOCTREE ids
    VARIANT Abstract;         // initialised by the caller (VT_EMPTY at least); a load replaces it
};

// Kinds of CDatabase::GetTableRecordset (ZM_GET_RECORDSET).
enum TableRecordsetKind
{
    TABLE_RS_SYSTREE = 1,
    TABLE_RS_LOCTREE = 2,
    TABLE_RS_LITAUTHORS = 3,
    TABLE_RS_JOURNALS = 4,
    TABLE_RS_EDITORS = 5,
    TABLE_RS_KEYWORDS = 6,
};

// Answer of FindOrAddName and FindOrAddJournal when the name had to be added and the list
// refused it.
const int kNameAddFailed = -2;

// The id (ordinal 0) of a name in a name list (ID, NAME, ...), adding the name when the list
// does not hold it. Names match whole and ignoring case; apostrophes and wildcard characters
// are just characters. -1 when the id is not an integer, kNameAddFailed when the add was refused.
// The list keeps a Filter on that name.
int FindOrAddName(zdata::Recordset* list, const wchar_t* name);
// The same for the periodicals: a new one gets *publisher (NULL when negative); afterwards
// *publisher is the stored publisher of the periodical found or added (-1 when none).
int FindOrAddJournal(zdata::Recordset* list, const wchar_t* name, int* publisher);

// The name of an id in a name list into the buffer (at most size - 1 characters); empty when the
// list does not hold the id.
void GetNameById(zdata::Recordset* list, int id, wchar_t* buffer, int size);
void GetEditorName(CDatabase* db, int id, wchar_t* buffer, int size);
void GetJournalName(CDatabase* db, int id, wchar_t* buffer, int size);
void GetLitAuthorName(CDatabase* db, int id, wchar_t* buffer, int size);
void GetKeywordName(CDatabase* db, int id, wchar_t* buffer, int size);

// Outcome of DeleteNameListRow.
enum NameRowDelete
{
    NAME_ROW_MISSING = -2,  // the list does not hold the id
    NAME_ROW_FAILED = -1,   // the database refused it (its errors are on the connection)
    NAME_ROW_IN_USE = 0,    // a publication, periodical or link still refers to it
    NAME_ROW_DELETED = 1,
};
// Deletes the row of an id from one of the four cached name lists (kinds of TableRecordsetKind:
// LITAUTHORS, JOURNALS, EDITORS, KEYWORDS) unless a row of the catalogue still refers to it,
// checked and deleted in one transaction on the list's connection. Nothing in the file keeps
// these references by itself.
int DeleteNameListRow(zdata::Recordset* list, int kind, int id);
