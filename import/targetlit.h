// Lookup values and literature in the target of an import: a value for the lookup table of a
// list attribute, named rows (authors, periodicals, publishers, keywords) found or created, a
// publication found by its title or created with its first author, periodical and publisher,
// and the reference rows of a publication. Nothing is reported here: duplicates are no errors,
// and the caller logs the connection's errors when a creation fails.
#pragma once
#include <windows.h>

#include "dataaccess/ado.h"

struct SourceColumn;

enum LiteratureColumn { LITERATURE_NAME = 1, LITERATURE_EDITOR = 3, LITERATURE_JOURNAL = 4, LITERATURE_FIRSTAUTHOR = 5 };
const long kJournalPublisherColumn = 3;
const int kRefNameChars = 31;  // names of a list of references are cut to this many characters

// Offers the value to the lookup table of the column's attribute, found among the open
// recordsets from the first lookup slot on by its SQL text "SELECT * FROM <prefix><column>"
// (without regard to case). Columns of other types have no table: true. False when the
// attribute's table is not among them.
bool AddLookupValue(const SourceColumn* column, const wchar_t* prefix, const VARIANT& value,
                    zdata::Recordset* const* recordsets, int count);
// The lookup table AddLookupValue offers to: null when the column's type has none or it is not
// open (*needed tells which).
zdata::Recordset* FindLookupTable(const SourceColumn* column, const wchar_t* prefix,
                                  zdata::Recordset* const* recordsets, int count, bool* needed);

// The id (at idOrdinal) of the row with that name (at nameOrdinal), created when there is none;
// -1 for an empty name or a refused creation. The list's current row is that row afterwards.
int FindOrCreateNamed(zdata::Recordset* list, const wchar_t* name, long nameOrdinal, long idOrdinal);

// Makes the publication of that title current: an existing one is reused as it stands;
// otherwise a new row with the first author, the publisher and the periodical (texts in
// VT_BSTR, anything else none), stored with store and otherwise left pending for the caller.
// A periodical found or made with a publisher gets that publisher. False for an empty title or
// a refused row.
bool FindOrCreateLiterature(zdata::Recordset* literature, zdata::Recordset* journals,
                            zdata::Recordset* editors, zdata::Recordset* authors, const wchar_t* title,
                            const VARIANT& periodical, const VARIANT& publisher,
                            const wchar_t* firstAuthor, bool store);

// One reference row (publication, referenced id, position from 1); false when refused.
bool AddRefRow(zdata::Recordset* refs, int litId, int refId, int position);

// The names of the text, split at each separator (a whole string; none: the text is one name),
// each trimmed and cut to 31 characters, found or created in the name list and referenced from
// the publication at positions 1, 2, ... A publication that has references already keeps them.
void AddLiteratureRefs(int litId, zdata::Recordset* names, zdata::Recordset* refs, const wchar_t* text,
                       const wchar_t* separator);
