#include "import/structtransfer.h"

#include <strsafe.h>

#include <string>
#include <vector>

#include "core/textutil.h"
#include "czechcollation/czechtext.h"
#include "import/impsource.h"
#include "import/importrun.h"
#include "resources/tarnix/resource.h"
#include "utilities/attrsave.h"
#include "utilities/colnames.h"
#include "utilities/levelsave.h"
#include "utilities/schemadb.h"

namespace {

const wchar_t* const kCodeTables[] = {L"", L"SYSTREE", L"SPECIES", L"LOCTREE", L"FEATURES", L"ZORNACOLLS", L"LITERATURE"};
const int kCodeLists[] = {-1, MODEL_SYSTREE_ATTRS, MODEL_SPECIES_ATTRS, MODEL_LOCTREE_ATTRS,
                          MODEL_FEATURES_ATTRS, MODEL_RECORD_ATTRS, MODEL_LITERATURE_ATTRS};
const wchar_t* const kGroupTables[] = {nullptr, L"SYSTREE", L"LOCTREE", L"SPECIES", L"FEATURES", L"ZORNACOLLS", L"LITERATURE"};
const int kGroupLists[] = {-1, MODEL_SYSTREE_ATTRS, MODEL_LOCTREE_ATTRS, MODEL_SPECIES_ATTRS,
                           MODEL_FEATURES_ATTRS, MODEL_RECORD_ATTRS, MODEL_LITERATURE_ATTRS};

// The table code of an attribute group kind.
int CodeOfKind(int kind)
{
    switch (kind) {
    case GROUP_SYSTREE_ATTRS: return TABLECODE_SYSTREE;
    case GROUP_SPECIES_ATTRS: return TABLECODE_SPECIES;
    case GROUP_LOCTREE_ATTRS: return TABLECODE_LOCTREE;
    case GROUP_FEATURES_ATTRS: return TABLECODE_FEATURES;
    case GROUP_RECORD_ATTRS: return TABLECODE_RECORDS;
    case GROUP_LITERATURE_ATTRS: return TABLECODE_LITERATURE;
    }
    return 0;
}

VARIANT CopyOf(const VARIANT* value)
{
    VARIANT copy;
    VariantInit(&copy);
    VariantCopy(&copy, const_cast<VARIANT*>(value));
    return copy;
}

// A one-row look at a table, for its columns' ordinals (null when it does not open).
zdata::Recordset* OpenTableColumns(CSchemaDb* db, const wchar_t* table)
{
    zdata::Recordset* rs = zdata::Recordset::Create();
    std::wstring sql = std::wstring(L"SELECT * FROM [") + table + L"] WHERE 0 = 1";
    if (FAILED(rs->Open(sql.c_str(), db->GetConnection(), adOpenKeyset, adLockReadOnly))) {
        rs->Release();
        return nullptr;
    }
    return rs;
}

int OrdinalIn(zdata::Recordset* rs, const wchar_t* column)
{
    zdata::Fields* fields = nullptr;
    if (!rs || FAILED(rs->get_Fields(&fields)))
        return -1;
    int ordinal = FindFieldOrdinal(fields, column);
    fields->Release();
    return ordinal;
}

void CloseTable(zdata::Recordset* rs)
{
    if (rs) {
        rs->Close();
        rs->Release();
    }
}

}  // namespace

const wchar_t* TableOfCode(int code)
{
    return code >= 1 && code <= 6 ? kCodeTables[code] : L"";
}

const wchar_t* TableOfColumnGroup(int group)
{
    return group >= 1 && group <= 6 ? kGroupTables[group] : nullptr;
}

int ModelListOfColumnGroup(int group)
{
    return group >= 1 && group <= 6 ? kGroupLists[group] : -1;
}

// ---------------------------------------------------------------------------------------------

int CollectNewUnits(CPtrArray* units, ItemList* levels)
{
    // A new level goes right below the level of the unit before it in the source (the top when
    // none), so that the source's order of levels holds in the target.
    int above = 0;
    for (int i = 0; i < units->GetCount(); ++i) {
        UnitEntry* unit = static_cast<UnitEntry*>(units->GetItems()[i]);
        if (unit->State == CHOICE_SKIP)
            continue;
        if (unit->State == CHOICE_CREATE && !unit->TargetName[0])
            StringCchCopyW(unit->TargetName, 64, unit->SourceName);
        if (unit->State == CHOICE_CREATE && !MakeUniqueLevelName(levels, unit->TargetName))
            unit->State = CHOICE_MAP;  // the level of that name takes it
        if (unit->State != CHOICE_CREATE) {
            for (int k = 0; k < levels->Count; ++k)
                if (CzechEqualNoCase(LevelAt(levels, k)->Name, unit->TargetName))
                    above = LevelAt(levels, k)->NewLevelId;
            continue;
        }
        int position = above + 1;
        LevelEntry* level = NewLevelEntry();
        level->State = ENTRY_NEW;
        level->OrigLevelId = level->NewLevelId = position;
        StringCchCopyW(level->Name, 64, unit->TargetName);
        level->DataLevel = unit->Optional ? 1 : 0;
        level->IconLarge.vt = level->IconSmall.vt = level->IconOpen.vt = VT_NULL;
        for (int k = 0; k < levels->Count; ++k)
            if (LevelAt(levels, k)->NewLevelId >= position)
                ++LevelAt(levels, k)->NewLevelId;
        ItemListAdd(level, levels);
        above = position;
    }
    return units->GetCount();
}

int StoreNewUnitIds(CPtrArray* units, ItemList* levels, bool saved)
{
    int skipped = 0;
    for (int i = 0; i < units->GetCount(); ++i) {
        UnitEntry* unit = static_cast<UnitEntry*>(units->GetItems()[i]);
        if (unit->State == CHOICE_SKIP)
            continue;
        unit->TargetLevel = FindLevelIdByName(levels, unit->TargetName);
        if (saved || unit->TargetLevel < 0)
            continue;
        for (int k = 0; k < levels->Count; ++k) {
            LevelEntry* level = LevelAt(levels, k);
            if (level->State == ENTRY_NEW && CzechEqualNoCase(level->Name, unit->TargetName)) {
                unit->TargetLevel = -1;  // the database does not have that level
                ++skipped;
                break;
            }
        }
    }
    return skipped;
}

int SkipUnitsOutOfOrder(CPtrArray* units, std::vector<std::wstring>* skipped)
{
    int deepest = 0, count = 0;
    for (int i = 0; i < units->GetCount(); ++i) {
        UnitEntry* unit = static_cast<UnitEntry*>(units->GetItems()[i]);
        if (unit->State == CHOICE_SKIP || unit->TargetLevel < 0)
            continue;
        if (unit->TargetLevel > deepest) {
            deepest = unit->TargetLevel;
            continue;
        }
        if (skipped)
            skipped->push_back(unit->SourceName);
        unit->TargetLevel = -1;
        ++count;
    }
    return count;
}

int FindLevelIdByName(const ItemList* levels, const wchar_t* name)
{
    for (int i = 0; i < levels->Count; ++i)
        if (CzechEqualNoCase(LevelAt(levels, i)->Name, name))
            return LevelAt(levels, i)->OrigLevelId;
    return -1;
}

int CollectNewAttrs(CSchemaDb* db, CPtrArray* entries, ItemList* attrs, int tableCode)
{
    const wchar_t* table = TableOfCode(tableCode);
    for (int i = 0; i < entries->GetCount(); ++i) {
        AttrImportEntry* entry = static_cast<AttrImportEntry*>(entries->GetItems()[i]);
        if (entry->State != CHOICE_CREATE)
            continue;
        if (!entry->TargetName[0])
            StringCchCopyW(entry->TargetName, 64, entry->SourceName);
        int n = MakeUniqueColumnName(db, table, entry->TargetName, entry->TargetColumn);
        if (n < 0) {
            entry->State = CHOICE_SKIP;
            continue;
        }
        MakeUniqueFieldName(attrs, entry->TargetColumn, n);
        AttrEntry* attr = NewAttrEntry();
        attr->State = ENTRY_NEW;
        attr->Type = entry->TargetType = entry->Type;
        attr->Size = entry->Size;
        attr->Position = attrs->Count;
        attr->KeyFlag = entry->KeyFlag;
        StringCchCopyW(attr->FieldName, 32, entry->TargetColumn);
        StringCchCopyW(attr->TabName, 32, entry->TabName);
        StringCchCopyW(attr->Caption, 64, entry->TargetName);
        attr->MinVal = CopyOf(&entry->MinVal);
        attr->MaxVal = CopyOf(&entry->MaxVal);
        attr->NullVal = CopyOf(&entry->NullVal);
        ItemListAdd(attr, attrs);
    }
    return entries->GetCount();
}

void StoreNewAttrIds(CSchemaDb* db, CPtrArray* entries, ItemList* attrs, int tableCode)
{
    zdata::Recordset* rs = OpenTableColumns(db, TableOfCode(tableCode));
    if (!rs)
        return;
    for (int i = 0; i < entries->GetCount(); ++i) {
        AttrImportEntry* entry = static_cast<AttrImportEntry*>(entries->GetItems()[i]);
        if (entry->State == CHOICE_MAP) {
            AttrEntry* attr = FindAttrByCaption(attrs, entry->TargetName);
            if (attr) {
                StringCchCopyW(entry->TargetColumn, 32, attr->FieldName);
                entry->TargetType = attr->Type;
            } else {
                entry->TargetColumn[0] = 0;
            }
        }
        entry->TargetOrdinal = entry->State == CHOICE_SKIP ? -1 : OrdinalIn(rs, entry->TargetColumn);
    }
    CloseTable(rs);
}

AttrEntry* FindAttrByCaption(const ItemList* attrs, const wchar_t* name)
{
    for (int i = 0; i < attrs->Count; ++i)
        if (CzechEqualNoCase(AttrAt(attrs, i)->Caption, name))
            return AttrAt(attrs, i);
    return nullptr;
}

int FindFieldOrdinal(zdata::Fields* fields, const wchar_t* name)
{
    long count = 0;
    if (!fields || !name || !*name || FAILED(fields->get_Count(&count)))
        return -1;
    for (long i = 0; i < count; ++i) {
        zdata::Field* field = nullptr;
        if (FAILED(fields->Item(i, &field)))
            continue;
        BSTR fieldName = nullptr;
        field->get_Name(&fieldName);
        bool same = fieldName && CzechEqualNoCase(fieldName, name);
        SysFreeString(fieldName);
        field->Release();
        if (same)
            return (int)i;
    }
    return -1;
}

bool TransferStructure(ImportRun& run)
{
    ImportJob* job = run.Job;
    IImpSource* source = run.Source;
    CSchemaDb* db = job->Db;
    HWND owner = run.Sink->Owner();
    int count = source->GetGroupCount();
    // The units of both trees first, then the attribute groups in the source's order.
    for (int pass = 0; pass < 2; ++pass) {
        for (int g = 1; g <= count && g <= 8; ++g) {
            int kind = source->GetGroupKind(g);
            CPtrArray* items = job->GroupItems[g - 1];
            if (!IsMappingKind(kind) || IsUnitKind(kind) != (pass == 0))
                continue;
            ItemList* list = &job->Model->Lists[ModelListOfKind(kind)];
            if (pass == 0) {
                bool systematic = kind == GROUP_SYS_UNITS;
                CollectNewUnits(items, list);
                bool saved = SaveLevels(db, owner, systematic ? L"SYSDEF" : L"LOCDEF", list,
                                        systematic ? HIERARCHY_SYSTEMATIC : HIERARCHY_LOCALITY);
                if (!saved && !run.TransactionStands())
                    return false;
                if (StoreNewUnitIds(items, list, saved) > 0)
                    run.LogError(run.String(IDS_I_UNITS_NOT_SAVED).c_str());
                std::vector<std::wstring> crossing;
                SkipUnitsOutOfOrder(items, &crossing);
                for (const std::wstring& name : crossing) {
                    wchar_t text[256];
                    StringCchPrintfW(text, 256, run.String(IDS_I_UNIT_OUT_OF_ORDER).c_str(), name.c_str());
                    run.LogError(text);
                }
            } else {
                int code = CodeOfKind(kind);
                CollectNewAttrs(db, items, list, code);
                bool saved = SaveAttributes(db, owner, TableOfCode(code), list,
                                            code == TABLECODE_RECORDS ? ATTR_INDEX_RECORDS : ATTR_INDEX_NONE);
                if (!saved && !run.TransactionStands())
                    return false;
                StoreNewAttrIds(db, items, list, code);
            }
            if (run.Sink->Progress(0))
                return true;  // the frame sees the cancel
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------------

int CollectNewColumns(CSchemaDb* db, CPtrArray* columns, StructureModel* model)
{
    int mask = 0;
    for (int i = 0; i < columns->GetCount(); ++i) {
        SourceColumn* column = static_cast<SourceColumn*>(columns->GetItems()[i]);
        const wchar_t* table = TableOfColumnGroup(column->TargetGroup);
        if (!table) {
            column->TargetColumn[0] = 0;
            continue;
        }
        mask |= 1 << (column->TargetGroup - 1);
        if (column->TargetColumn[0])
            continue;  // an existing column
        ItemList* attrs = &model->Lists[ModelListOfColumnGroup(column->TargetGroup)];
        int n = MakeUniqueColumnName(db, table, column->TargetName, column->TargetColumn);
        if (n < 0) {
            column->TargetColumn[0] = 0;
            continue;
        }
        MakeUniqueFieldName(attrs, column->TargetColumn, n);
        AttrEntry* attr = NewAttrEntry();
        attr->State = ENTRY_NEW;
        attr->Type = column->TargetType;
        attr->Size = column->TargetSize;
        attr->KeyFlag = column->KeyFlag;
        attr->Position = attrs->Count;
        StringCchCopyW(attr->FieldName, 32, column->TargetColumn);
        StringCchCopyW(attr->Caption, 64, column->TargetName);
        attr->MinVal = CopyOf(&column->MinValue);
        attr->MaxVal = CopyOf(&column->MaxValue);
        attr->NullVal = CopyOf(&column->EmptyValue);
        ItemListAdd(attr, attrs);
    }
    return mask;
}

bool SaveNewColumns(HWND owner, CSchemaDb* db, StructureModel* model, int mask)
{
    bool all = true;
    for (int group = COLGROUP_SYSTREE; group <= COLGROUP_LITERATURE; ++group) {
        if (!(mask & (1 << (group - 1))))
            continue;
        all = SaveAttributes(db, owner, TableOfColumnGroup(group), &model->Lists[ModelListOfColumnGroup(group)],
                             group == COLGROUP_RECORDS ? ATTR_INDEX_RECORDS : ATTR_INDEX_NONE) && all;
    }
    return all;
}

void StoreColumnOrdinals(CSchemaDb* db, CPtrArray* columns, const wchar_t* table, int code)
{
    zdata::Recordset* rs = OpenTableColumns(db, table);
    if (!rs)
        return;
    for (int i = 0; i < columns->GetCount(); ++i) {
        SourceColumn* column = static_cast<SourceColumn*>(columns->GetItems()[i]);
        if (column->TargetGroup == code)
            column->TargetOrdinal = column->TargetColumn[0] ? OrdinalIn(rs, column->TargetColumn) : -1;
    }
    CloseTable(rs);
}

void StoreAllColumnOrdinals(CSchemaDb* db, CPtrArray* columns, StructureModel*, int mask)
{
    for (int group = COLGROUP_SYSTREE; group <= COLGROUP_LITERATURE; ++group)
        if (mask & (1 << (group - 1)))
            StoreColumnOrdinals(db, columns, TableOfColumnGroup(group), group);
}

int CountListColumns(CPtrArray* columns)
{
    int count = 0;
    for (int i = 0; i < columns->GetCount(); ++i) {
        SourceColumn* column = static_cast<SourceColumn*>(columns->GetItems()[i]);
        if (column->TargetColumn[0] && (column->TargetType == 5 || column->TargetType == 7))
            ++count;
    }
    return count;
}

int TablesWithColumns(CPtrArray* columns)
{
    int mask = 0;
    for (int i = 0; i < columns->GetCount(); ++i) {
        SourceColumn* column = static_cast<SourceColumn*>(columns->GetItems()[i]);
        if (column->TargetColumn[0] && TableOfColumnGroup(column->TargetGroup))
            mask |= 1 << (column->TargetGroup - 1);
    }
    return mask;
}

bool TransferColumns(ImportRun& run, CPtrArray* columns)
{
    ImportJob* job = run.Job;
    int mask = CollectNewColumns(job->Db, columns, job->Model);
    if (!SaveNewColumns(run.Sink->Owner(), job->Db, job->Model, mask))
        return false;
    StoreAllColumnOrdinals(job->Db, columns, job->Model, mask);
    return true;
}
