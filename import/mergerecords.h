// Merging another database's records and literature into the open one. Every row of the
// source's records view becomes one new ZORNACOLLS row whose species, locality, publication and
// level path columns point at target rows, found or created (mergetrees.h); every row of the
// literature view makes sure its publication is in the target. Publications are matched by title,
// first author and year (PublicationKey); a new one is copied with its first author, periodical,
// publisher, book authors, keywords and references to tree items and localities, each numbered
// 1, 2, 3 ... in the source's order.
// Records are never matched: merging a file twice adds its records twice.
#pragma once
#include <string>

#include "import/mergetrees.h"
#include "import/recordwriter.h"

// Where the records view keeps what a record needs: its first columns are the source's
// ZORNACOLLS columns, whatever its levels and attributes (a level added after an attribute puts
// its path column behind it).
struct RecordViewColumns {
    int sysId = 1, locId = 2, litId = 3, note = 4;
    std::vector<int> attrs;  // by ZORNACOLLS attribute entry: the view's column, -1 none
};

// The view's columns of the record attributes, found by their source field names among the
// view's first recordColumns columns.
RecordViewColumns FindRecordViewColumns(const MergeTable& view, long recordColumns,
                                        const StructureModel* sourceModel);

// One record of the view's current row. False when it was not written (logged).
bool ImportCollectViewRow(MergeRun& m, MergeTable& view, const RecordViewColumns& columns, RecordWriter& writer);
// One publication of the literature view's current row.
void ImportLitViewRow(MergeRun& m, MergeTable& view);

// The target LITERATURE id of a source publication, copying it when the target has no
// publication of its title, first author and year; -1 for none (or one that cannot be copied,
// logged).
int MapLiterature(MergeRun& m, int sourceId);
// The target JOURNALS id of a source periodical (-1 none) and, in *editor, its publisher's.
int MapJournal(MergeRun& m, int sourceJournalId, int* editor);
// The target id of a source name row (author, publisher, periodical, keyword), found by name or
// added with the columns from NAME up to endColumn (bounded by both tables); -1 none.
int MapNameRow(MergeRun& m, MergeTable& source, MergeTable& target, int sourceId, int endColumn);
