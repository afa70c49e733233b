#include "import/targettables.h"

#include <strsafe.h>

#include "core/containers.h"
#include "core/textutil.h"
#include "core/treewalk.h"
#include "import/impsource.h"
#include "import/targetlocality.h"
#include "import/targetsystem.h"
#include "structure/structmodel.h"

namespace {

const wchar_t* const kSlotSql[TARGET_FIXED_SLOTS] = {
    L"SELECT * FROM SYSTREE WHERE ID > 0 ORDER BY PARENT, SYSPOS",
    L"SELECT * FROM SPECIES",
    L"SELECT * FROM SYSAUTHORS",
    L"SELECT * FROM LOCTREE WHERE ID > 0 ORDER BY PARENT, NAME",
    L"SELECT * FROM FEATURES",
    L"SELECT * FROM ZORNACOLLS WHERE 0 = 1",  // appended to only
    L"SELECT * FROM LITERATURE",
    L"SELECT * FROM LITAUTHORS",
    L"SELECT * FROM EDITORS",
    L"SELECT * FROM JOURNALS",
    L"SELECT * FROM KEYWORDS",
    L"SELECT * FROM BOOKAUTHORS",
    L"SELECT * FROM LITKEYWORDSREFS",
    L"SELECT * FROM LITSYSREFS",
    L"SELECT * FROM LITLOCREFS",
};

bool OpenSlots(zdata::Connection* connection, TargetTables* tables, int first, int last)
{
    bool all = true;
    for (int slot = first; slot <= last; ++slot)
        all = OpenTargetSlot(connection, tables, slot, kSlotSql[slot]) && all;
    return all;
}

}  // namespace

TargetTables::~TargetTables()
{
    for (zdata::Recordset* rs : Slots)
        if (rs) {
            rs->Close();
            rs->Release();
        }
}

const wchar_t* TargetSlotSql(int slot)
{
    return slot >= 0 && slot < TARGET_FIXED_SLOTS ? kSlotSql[slot] : L"";
}

bool OpenTargetSlot(zdata::Connection* connection, TargetTables* tables, int slot, const std::wstring& sql)
{
    if ((int)tables->Slots.size() <= slot)
        tables->Slots.resize((size_t)slot + 1, nullptr);
    zdata::Recordset*& rs = tables->Slots[(size_t)slot];
    if (!rs)
        rs = zdata::Recordset::Create();
    else
        rs->Close();
    rs->put_CursorLocation(adUseClient);
    return SUCCEEDED(rs->Open(sql.c_str(), connection, adOpenKeyset, adLockOptimistic,
                              adCmdText));
}

int QueryMaxTreeId(zdata::Connection* connection, const wchar_t* table)
{
    zdata::Recordset* rs = nullptr;
    std::wstring sql = std::wstring(L"SELECT MAX(ID) FROM ") + table;
    if (FAILED(connection->Execute(sql.c_str(), nullptr, adCmdText, &rs)) || !rs)
        return -1;
    int result = -1;
    zdata::Fields* fields = nullptr;
    zdata::Field* field = nullptr;
    VARIANT value;
    VariantInit(&value);
    if (!rs->IsEOF() && SUCCEEDED(rs->get_Fields(&fields)) && SUCCEEDED(fields->Item(0L, &field)) &&
        SUCCEEDED(field->get_Value(&value)))
        result = (value.vt == VT_NULL || value.vt == VT_EMPTY) ? 0 : VariantToInt(&value);
    VariantClear(&value);
    if (field)
        field->Release();
    if (fields)
        fields->Release();
    rs->Close();
    rs->Release();
    return result;
}

bool OpenTargetTables(zdata::Connection* connection, TargetTables* tables, int* maxSysId, int* maxLocId)
{
    *maxSysId = QueryMaxTreeId(connection, L"SYSTREE");
    *maxLocId = QueryMaxTreeId(connection, L"LOCTREE");
    return OpenSlots(connection, tables, TARGET_SYSTREE, TARGET_LITAUTHORS) && *maxSysId >= 0 && *maxLocId >= 0;
}

bool OpenTargetLitTables(zdata::Connection* connection, TargetTables* tables)
{
    return OpenSlots(connection, tables, TARGET_EDITORS, TARGET_LITLOCREFS);
}

void CloseTargetTables(TargetTables* tables)
{
    for (zdata::Recordset* rs : tables->Slots)
        if (rs)
            rs->Close();
    tables->Index.Reset(nullptr);
}

std::wstring FilterQuote(const wchar_t* text)
{
    std::wstring quoted;
    for (const wchar_t* p = text ? text : L""; *p; ++p) {
        quoted += *p;
        if (*p == L'\'')
            quoted += L'\'';
    }
    return quoted;
}

int FindLevelEntryById(int levelId, const ItemList* levels)
{
    for (int i = 0; i < levels->Count; ++i)
        if (LevelAt(levels, i)->OrigLevelId == levelId)
            return i;
    return -1;
}

void OpenTargetAttrTables(zdata::Connection* connection, const CPtrArray* entries, TargetTables* tables,
                          int firstSlot, const wchar_t* sqlFormat)
{
    for (int i = 0; i < entries->GetCount(); ++i) {
        const AttrImportEntry* entry = static_cast<const AttrImportEntry*>(entries->GetItems()[i]);
        if (entry->State == CHOICE_SKIP || (entry->TargetType != 5 && entry->TargetType != 7))
            continue;
        wchar_t sql[128];
        StringCchPrintfW(sql, 128, sqlFormat, entry->TargetColumn);
        OpenTargetSlot(connection, tables, firstSlot + i, sql);
    }
}

const wchar_t* LookupPrefixOfGroup(int group)
{
    static const wchar_t* const kPrefixes[] = {L"SYS_", L"LOC_", L"SPE_", L"FEA_", L"ZOR_", L"LIT_"};
    return group >= COLGROUP_SYSTREE && group <= COLGROUP_LITERATURE ? kPrefixes[group - 1] : nullptr;
}

int OpenMappedColumnTables(zdata::Connection* connection, const CPtrArray* columns, TargetTables* tables)
{
    int slot = TARGET_FIXED_SLOTS;
    for (int i = 0; i < columns->GetCount(); ++i) {
        const SourceColumn* column = static_cast<const SourceColumn*>(columns->GetItems()[i]);
        const wchar_t* prefix = LookupPrefixOfGroup(column->TargetGroup);
        // A column without a target group has no lookup table to name.
        if (!column->TargetColumn[0] || !prefix || (column->TargetType != 5 && column->TargetType != 7))
            continue;
        OpenTargetSlot(connection, tables, slot++, std::wstring(L"SELECT * FROM ") + prefix + column->TargetColumn);
    }
    return slot;
}

void FillAncestorPath(int nodeId, const ItemList* levels, zdata::Recordset* tree, int* out)
{
    for (int i = 0; i < levels->Count; ++i)
        out[i] = -1;
    // A damaged tree whose parents run in a circle must not hold the import for ever.
    const int kMaxDepth = 256;
    for (int id = nodeId, depth = 0; id > 0 && depth < kMaxDepth; ++depth) {
        if (FAILED(treewalk::FilterEquals(tree, L"ID", id)) || tree->IsEOF())
            return;
        int level = treewalk::RowInt(tree, 2);
        for (int i = 0; i < levels->Count; ++i)
            if (LevelAt(levels, i)->OrigLevelId >= level) {
                out[i] = id;
                break;
            }
        id = treewalk::RowInt(tree, 1);
    }
}

int FindOrCreateNameRow(zdata::Recordset* source, zdata::Recordset* target, int sourceId, int idColumn,
                        int nameColumn, int endColumn)
{
    if (FAILED(treewalk::FilterEquals(source, L"ID", sourceId)) || source->IsEOF())
        return -1;
    VARIANT name;
    treewalk::RowValue(source, nameColumn, &name);
    if (name.vt != VT_BSTR) {
        VariantClear(&name);
        return -1;
    }
    std::wstring filter = L"NAME = '" + FilterQuote(name.bstrVal) + L"'";
    VariantClear(&name);
    if (FAILED(target->put_Filter(filter.c_str())))
        return -1;
    if (target->IsEOF()) {
        // A name table of an older layout may have fewer columns than ours, or more.
        long end = std::min<long>(endColumn, std::min(treewalk::ColumnCount(source), treewalk::ColumnCount(target)));
        if (FAILED(target->AddNew()))
            return -1;
        for (long column = nameColumn; column < end; ++column) {
            VARIANT value;
            treewalk::RowValue(source, column, &value);
            treewalk::PutValue(target, column, value);
            VariantClear(&value);
        }
        if (FAILED(target->Update())) {
            target->CancelUpdate();
            return -1;
        }
    }
    return treewalk::RowInt(target, idColumn);
}

bool CreateIndexedSysItem(TargetTables* tables, int id, int parent, int level, const wchar_t* name)
{
    zdata::Recordset* tree = tables->Slots[TARGET_SYSTREE];
    int position = tables->Index.NextSysPosition(tree, parent);
    if (!CreateSysItemAt(tree, id, parent, level, name, position))
        return false;
    tables->Index.SysItemAdded(id, parent, level, name, position);
    return true;
}

bool CreateIndexedSpecies(TargetTables* tables, int itemId, const wchar_t* name, const wchar_t* author,
                          bool parentheses, int year)
{
    VARIANT authorValue = targetrows::TextOrNull(author);
    if (authorValue.vt == VT_BSTR)
        tables->Index.OfferListValue(tables->Slots[TARGET_SYSAUTHORS], authorValue);
    VariantClear(&authorValue);
    if (!CreateSpeciesRow(tables->Slots[TARGET_SPECIES], nullptr, itemId, name, author, parentheses, year))
        return false;
    tables->Index.SpeciesAdded(name, itemId);
    return true;
}

bool CreateIndexedLocItem(TargetTables* tables, int id, int parent, int level, const wchar_t* name,
                          const wchar_t* abbreviation, const VARIANT& longitude, const VARIANT& latitude,
                          const VARIANT& altitude)
{
    if (!CreateLocItem(tables->Slots[TARGET_LOCTREE], id, parent, level, name, abbreviation, longitude, latitude,
                       altitude))
        return false;
    tables->Index.LocItemAdded(id, parent, level, name, longitude, latitude);
    return true;
}

int FindUnitEntryBySourceLevel(int sourceLevel, const CPtrArray* units)
{
    for (int i = 0; i < units->GetCount(); ++i)
        if (static_cast<const UnitEntry*>(units->GetItems()[i])->SourceLevel == sourceLevel)
            return i;
    return -1;
}

int FindMappedColumn(int levelIndex, const CPtrArray* columns, int group, int fieldCode)
{
    for (int i = 0; i < columns->GetCount(); ++i) {
        const SourceColumn* column = static_cast<const SourceColumn*>(columns->GetItems()[i]);
        if (column->TargetColumn[0] && column->TargetGroup == group && column->LevelIndex == levelIndex &&
            column->TargetOrdinal == fieldCode)
            return i;
    }
    return -1;
}
