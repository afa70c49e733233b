#include "import/mergerecords.h"

#include "import/importrun.h"
#include "import/impsource.h"
#include "import/targettables.h"
#include "resources/tarnix/resource.h"
#include "structure/structmodel.h"

namespace {

// Source LITERATURE columns: 3 EDITOR, 4 JOURNALID, 5 FIRSTAUTHOR; JOURNALS column 3 its publisher.
const int kLitEditor = 3;
const int kLitJournal = 4;
const int kLitFirstAuthor = 5;
const int kJournalEditor = 3;

void PutIdOrNull(MergeTable& table, long ordinal, int id)
{
    if (id >= 0)
        table.PutInt(ordinal, id);
    else
        table.PutNull(ordinal);
}

// The source's reference rows of a publication (column 1 the referenced row), each mapped by
// mapRow and written to the target's reference table as (new id, mapped id, position); rows that
// do not map are left out without a gap in the numbering.
template <class MapRow>
void CopyRefs(MergeRun& m, int sourceLitId, int newLitId, MergeTable& source, MergeTable& target, MapRow mapRow)
{
    if (!source.FindInt(L"LITID", sourceLitId))
        return;
    // Taken first, in the source's order, so that no mapping below moves the cursor of this loop.
    std::vector<int> referenced;
    for (zdata::Recordset* rs = source.Rs(); !rs->IsEOF(); rs->MoveNext())
        referenced.push_back(source.Int(1));
    int position = 1;
    for (int id : referenced) {
        int t = mapRow(id);
        if (t < 0)
            continue;
        target.Rs()->AddNew();
        target.PutInt(0, newLitId);
        target.PutInt(1, t);
        target.PutInt(2, position);
        if (SUCCEEDED(target.Rs()->Update()))
            ++position;
        else
            target.Rs()->CancelUpdate();
    }
}

}  // namespace

RecordViewColumns FindRecordViewColumns(const MergeTable& view, long recordColumns, const StructureModel* sourceModel)
{
    RecordViewColumns columns;
    const ItemList* attrs = &sourceModel->Lists[MODEL_RECORD_ATTRS];
    for (int j = 0; j < attrs->Count; ++j)
        columns.attrs.push_back(view.Ordinal(AttrAt(attrs, j)->FieldName, recordColumns));
    return columns;
}

int MapNameRow(MergeRun&, MergeTable& source, MergeTable& target, int sourceId, int endColumn)
{
    if (sourceId < 0 || !source.IsOpen() || !target.IsOpen())
        return -1;
    return FindOrCreateNameRow(source.Rs(), target.Rs(), sourceId, 0, 1, endColumn);
}

int MapJournal(MergeRun& m, int sourceJournalId, int* editor)
{
    *editor = -1;
    int journal = MapNameRow(m, m.srcJournals, m.tgtJournals, sourceJournalId, 3);
    if (journal < 0) {
        if (sourceJournalId >= 0 && !m.srcJournals.FindInt(L"ID", sourceJournalId))
            LogMergeError(m, IDS_I_MERGE_NO_JOURNAL, std::to_wstring(sourceJournalId));
        return journal;
    }
    *editor = MapNameRow(m, m.srcEditors, m.tgtEditors, m.srcJournals.Int(kJournalEditor), 4);
    // The periodical's publisher follows the source, also on a periodical the target had.
    if (m.tgtJournals.Rs()->IsEOF() || m.tgtJournals.Int(0) != journal)
        m.tgtJournals.FindInt(L"ID", journal);
    if (!m.tgtJournals.Rs()->IsEOF()) {
        PutIdOrNull(m.tgtJournals, kJournalEditor, *editor);
        if (FAILED(m.tgtJournals.Rs()->Update()))
            m.tgtJournals.Rs()->CancelUpdate();
    }
    return journal;
}

static int CopyLiterature(MergeRun& m, int sourceId);

int MapLiterature(MergeRun& m, int sourceId)
{
    if (sourceId < 0)
        return -1;
    auto known = m.litMapped.find(sourceId);
    if (known != m.litMapped.end())
        return known->second;
    int errors = m.run->Source->ErrorCount;
    int id = CopyLiterature(m, sourceId);
    if (m.run->Source->ErrorCount == errors)
        m.litMapped.emplace(sourceId, id);
    return id;
}

// The target publication of a source one, found by its title, first author and year, or copied.
static int CopyLiterature(MergeRun& m, int sourceId)
{
    std::wstring name;
    if (!m.srcLit.FindInt(L"ID", sourceId) || !m.srcLit.Text(1, &name) || name.empty()) {
        LogMergeError(m, IDS_I_MERGE_NO_PUBLICATION, std::to_wstring(sourceId));
        return -1;
    }
    std::wstring firstAuthor;
    int sourceAuthor = m.srcLit.Int(kLitFirstAuthor);
    if (sourceAuthor >= 0 && m.srcAuthors.FindInt(L"ID", sourceAuthor))
        m.srcAuthors.Text(1, &firstAuthor);
    VARIANT year = m.srcLit.Get(m.srcLit.Ordinal(L"IYEAR"));
    std::wstring key = PublicationKey(name, firstAuthor, year);
    VariantClear(&year);
    auto known = m.litByKey.find(key);
    if (known != m.litByKey.end())
        return known->second;  // the target's own publication stays as it is
    int author = MapNameRow(m, m.srcAuthors, m.tgtAuthors, sourceAuthor, 4);
    int editor = -1;
    int journal = MapJournal(m, m.srcLit.Int(kLitJournal), &editor);
    if (journal < 0)
        editor = MapNameRow(m, m.srcEditors, m.tgtEditors, m.srcLit.Int(kLitEditor), 4);
    zdata::Recordset* rs = m.tgtLit.Rs();
    rs->AddNew();
    CopyColumns(m.litCopy, m.srcLit, m.tgtLit);
    PutIdOrNull(m.tgtLit, kLitEditor, editor);
    PutIdOrNull(m.tgtLit, kLitJournal, journal);
    PutIdOrNull(m.tgtLit, kLitFirstAuthor, author);
    CopyAttributes(m, MERGE_LITERATURE, m.srcLit, m.tgtLit);
    if (FAILED(rs->Update())) {
        rs->CancelUpdate();
        m.run->LogDbErrors();
        return -1;
    }
    int id = m.tgtLit.Int(0);
    m.litByKey.emplace(key, id);
    CopyRefs(m, sourceId, id, m.srcBookAuthors, m.tgtBookAuthors,
             [&m](int author) { return MapNameRow(m, m.srcAuthors, m.tgtAuthors, author, 4); });
    CopyRefs(m, sourceId, id, m.srcKeywordRefs, m.tgtKeywordRefs,
             [&m](int keyword) { return MapNameRow(m, m.srcKeywords, m.tgtKeywords, keyword, 2); });
    CopyRefs(m, sourceId, id, m.srcSysRefs, m.tgtSysRefs, [&m](int item) {
        int t = MapSysItem(m, item);
        return t > 0 ? t : -1;
    });
    CopyRefs(m, sourceId, id, m.srcLocRefs, m.tgtLocRefs, [&m](int item) {
        int t = MapLocItem(m, item);
        return t > 0 ? t : -1;
    });
    return id;
}

bool ImportCollectViewRow(MergeRun& m, MergeTable& view, const RecordViewColumns& columns, RecordWriter& writer)
{
    int sourceSys = view.Int(columns.sysId);
    int sys = MapSysItem(m, sourceSys);
    if (sys <= 0) {
        LogMergeError(m, IDS_I_MERGE_NO_TAXON, std::to_wstring(sourceSys));
        return false;
    }
    std::vector<int> sysPath = m.sysUnitPath;
    int sourceLoc = view.Int(columns.locId);
    int loc = MapLocItem(m, sourceLoc);
    if (loc <= 0) {
        LogMergeError(m, IDS_I_MERGE_NO_LOCALITY, std::to_wstring(sourceLoc));
        return false;
    }
    // The paths are taken before the publication, whose references may map other items.
    std::vector<int> locPath = m.locUnitPath;
    int lit = MapLiterature(m, view.Int(columns.litId));

    writer.Clear();
    writer.SetInt(1, sys);
    writer.SetInt(2, loc);
    writer.SetInt(3, lit);
    VARIANT note = view.Get(columns.note);
    writer.Set(4, note);
    VariantClear(&note);
    for (size_t k = 0; k < m.sysPathColumns.size(); ++k)
        writer.SetPathId(m.sysPathColumns[k], sysPath[k]);
    for (size_t k = 0; k < m.locPathColumns.size(); ++k)
        writer.SetPathId(m.locPathColumns[k], locPath[k]);
    MergeAttrGroup& g = m.groups[MERGE_RECORDS];
    for (int j = 0; g.entries && j < g.entries->GetCount(); ++j) {
        AttrImportEntry* attr = static_cast<AttrImportEntry*>(g.entries->GetItems()[j]);
        int from = j < (int)columns.attrs.size() ? columns.attrs[(size_t)j] : -1;
        if (attr->State == CHOICE_SKIP || attr->TargetOrdinal < 0 || from < 0)
            continue;
        VARIANT value = view.Get(from);
        if (CopyLookupValue(m, MERGE_RECORDS, j, value))
            writer.Set(attr->TargetOrdinal, value);
        VariantClear(&value);
    }
    if (FAILED(writer.Write())) {
        m.run->LogDbErrors();
        return false;
    }
    return true;
}

void ImportLitViewRow(MergeRun& m, MergeTable& view)
{
    MapLiterature(m, view.Int(0));
}
