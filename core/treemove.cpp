#include "core/treemove.h"

#include <strsafe.h>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>
#include "core/composednames.h"
#include "core/database.h"
#include "core/rsutil.h"
#include "core/textutil.h"
#include "core/treewalk.h"

using zdata::Connection;
using zdata::Field;
using zdata::Fields;
using zdata::Recordset;
using namespace treewalk;

// ---- id lists ----

void InitIdList(IdList* list)
{
    list->Items = nullptr;
    list->Count = 0;
    list->Capacity = 0;
}

void AddToIdList(IdList* list, int id)
{
    if (list->Count == list->Capacity) {
        int capacity = list->Capacity + 32;
        int* grown = (int*)realloc(list->Items, sizeof(int) * capacity);
        if (!grown)
            return;
        list->Items = grown;
        list->Capacity = capacity;
    }
    list->Items[list->Count++] = id;
}

void FreeIdList(IdList* list)
{
    free(list->Items);
    InitIdList(list);
}

// ---- finding rows ----

static bool FieldEquals(Field* field, int id)
{
    VARIANT v;
    VariantInit(&v);
    if (FAILED(field->get_Value(&v))) {
        VariantClear(&v);
        return false;
    }
    bool equal = v.vt != VT_EMPTY && v.vt != VT_NULL && VariantToInt(&v) == id;
    // VariantToInt answers -1 for values without an integer; only a real -1 matches -1.
    if (equal && id == -1)
        equal = (v.vt == VT_I4 && v.lVal == -1) || (v.vt == VT_I2 && v.iVal == -1);
    VariantClear(&v);
    return equal;
}

static int FieldInt(Field* field)
{
    VARIANT v;
    VariantInit(&v);
    field->get_Value(&v);
    int n = VariantToInt(&v);
    VariantClear(&v);
    return n;
}

bool LocateRecordById(int id, Field* idField, Recordset* rs)
{
    if (!rs || !idField || (rs->IsBOF() && rs->IsEOF()))
        return false;
    bool mayWrap = true;
    if (rs->IsEOF() || rs->IsBOF()) {
        rs->MoveFirst();
        mayWrap = false;
    }
    int startId = FieldInt(idField);
    while (!rs->IsEOF() && !FieldEquals(idField, id))
        rs->MoveNext();
    if (rs->IsEOF() && mayWrap) {
        rs->MoveFirst();
        while (!rs->IsEOF() && !FieldEquals(idField, id)) {
            rs->MoveNext();
            if (!rs->IsEOF() && FieldInt(idField) == startId)
                break;
        }
    }
    return !rs->IsEOF() && FieldEquals(idField, id);
}

// LocateRecordById on ordinal 0 of the recordset.
static bool LocateById(int id, Recordset* rs)
{
    Fields* fields = nullptr;
    if (FAILED(rs->get_Fields(&fields)) || !fields)
        return false;
    Field* field = nullptr;
    bool found = false;
    if (SUCCEEDED(fields->Item(0L, &field)) && field) {
        found = LocateRecordById(id, field, rs);
        field->Release();
    }
    fields->Release();
    return found;
}

int IndexOfInt(int value, int count, const int* values)
{
    for (int i = 0; i < count; ++i)
        if (values[i] == value)
            return i;
    return -1;
}

bool SetParentFilter(int parentId, Recordset* tree)
{
    if (!tree || FAILED(FilterEquals(tree, L"PARENT", parentId)) || IsEmptyRowset(tree))
        return false;
    tree->MoveFirst();
    return true;
}

int FilterToSiblings(int id, Recordset* tree, int* position)
{
    if (!FindById(id, tree))
        return -1;
    int parent = RowInt(tree, 1);
    if (position)
        *position = RowInt(tree, 3);
    if (FAILED(FilterEquals(tree, L"PARENT", parent)))
        return -1;
    return parent;
}

// ---- sibling order ----

int ReorderSiblings(int id, int position, Recordset* sysTree)
{
    if (FilterToSiblings(id, sysTree) < 0)
        return 0;
    long k = 0;
    sysTree->get_RecordCount(&k);
    if (k <= 0)
        return 0;
    struct Sibling { int id; int pos; };
    std::vector<Sibling> rows;
    rows.reserve((size_t)k);
    sysTree->MoveFirst();
    for (long i = 0; i < k && !sysTree->IsEOF(); ++i, sysTree->MoveNext())
        rows.push_back({RowInt(sysTree, 0), RowInt(sysTree, 3)});
    // Rows written since the last Requery are not re-sorted in the rowset: take the order (and
    // the highest number) from the positions themselves.
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Sibling& a, const Sibling& b) { return a.pos < b.pos; });
    int count = (int)rows.size();
    int d = -1, c = count, m = count;
    for (int i = 0; i < count; ++i) {
        if (rows[i].id == id && d < 0)
            d = i;
        if (rows[i].pos >= position && c == count)
            c = i;
        m = std::max(m, rows[i].pos);
    }
    if (d < 0)
        return 0;
    Sibling moved = rows[(size_t)d];
    if (c < d) {
        rows.erase(rows.begin() + d);
        rows.insert(rows.begin() + c, moved);
    } else if (d < c) {
        rows.insert(rows.begin() + c, moved);
        rows.erase(rows.begin() + d);
    }
    // Renumber 1..n in two passes: a number still held by another sibling is parked above every
    // number in use and given in the second pass.
    std::vector<int> held((size_t)count);
    for (int i = 0; i < count; ++i)
        held[(size_t)i] = rows[(size_t)i].pos;
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < count; ++i) {
            int wanted = i + 1;
            if (held[(size_t)i] == wanted)
                continue;
            if (!LocateById(rows[(size_t)i].id, sysTree))
                continue;
            int value = IndexOfInt(wanted, count, held.data()) < 0 ? wanted : ++m;
            if (FAILED(PutInt(sysTree, 3, value)) || FAILED(sysTree->Update())) {
                sysTree->CancelUpdate();
                return -1;
            }
            held[(size_t)i] = value;
        }
    }
    sysTree->Requery();
    return 1;
}

// ---- walks ----

static int SiblingStep(int id, Recordset* tree, bool forward)
{
    int parent = FilterToSiblings(id, tree);
    if (parent < 0 || !LocateById(id, tree))
        return -1;
    if (forward)
        tree->MoveNext();
    else
        tree->MovePrevious();
    if (forward ? tree->IsEOF() : tree->IsBOF())
        return parent > 0 ? SiblingStep(parent, tree, forward) : -1;
    return RowInt(tree, 0);
}

int PrevNodeId(int id, Recordset* tree)
{
    return SiblingStep(id, tree, false);
}

int NextNodeId(int id, Recordset* tree)
{
    return SiblingStep(id, tree, true);
}

int IsDataItem(int id, Recordset* tree, Recordset* levels)
{
    if (!FindById(id, tree) || !levels)
        return 0;
    int level = RowInt(tree, 2);
    if (!LocateById(level, levels))
        return 0;
    return RowInt(levels, 2, 0);
}

int GetChildIds(int id, Recordset* tree, int** ids)
{
    *ids = nullptr;
    if (!SetParentFilter(id, tree))
        return 0;
    tree->MoveLast();
    long r = 0;
    tree->get_RecordCount(&r);
    if (r <= 0)
        return 0;
    int* list = (int*)malloc(sizeof(int) * (size_t)r);
    if (!list)
        return 0;
    int n = 0;
    tree->MoveFirst();
    for (; n < r && !tree->IsEOF(); tree->MoveNext())
        list[n++] = RowInt(tree, 0);
    *ids = list;
    return n;
}

int FirstDataItemInSubtree(int id, Recordset* tree, Recordset* levels)
{
    if (IsDataItem(id, tree, levels))
        return id;
    int* children = nullptr;
    int n = GetChildIds(id, tree, &children);
    int found = -1;
    for (int i = 0; i < n && found < 0; ++i)
        found = FirstDataItemInSubtree(children[i], tree, levels);
    free(children);
    return found;
}

int LastDataItemInSubtree(int id, Recordset* tree, Recordset* levels)
{
    // The last in tree order: a data item's own children come after it.
    int* children = nullptr;
    int n = GetChildIds(id, tree, &children);
    int found = -1;
    for (int i = n - 1; i >= 0 && found < 0; --i)
        found = LastDataItemInSubtree(children[i], tree, levels);
    free(children);
    if (found < 0 && IsDataItem(id, tree, levels))
        found = id;
    return found;
}

int PrecedingDataItemId(int id, Recordset* tree, Recordset* levels)
{
    // Back through the earlier siblings' subtrees, then the parent itself when it is a data
    // item (it precedes its children), then the parent's earlier siblings, and so on up.
    int current = id;
    for (int guard = 0; guard < 100000; ++guard) {
        int parent = FilterToSiblings(current, tree);
        if (parent < 0 || !LocateById(current, tree))
            return -1;
        tree->MovePrevious();
        if (!tree->IsBOF()) {
            int sibling = RowInt(tree, 0);
            int found = LastDataItemInSubtree(sibling, tree, levels);
            if (found >= 0)
                return found;
            current = sibling;
            continue;
        }
        if (parent <= 0)
            return -1;
        if (IsDataItem(parent, tree, levels))
            return parent;
        current = parent;
    }
    return -1;
}

int FollowingDataItemId(int id, Recordset* tree, Recordset* levels)
{
    int a = NextNodeId(id, tree);
    int r = a > 0 ? FirstDataItemInSubtree(a, tree, levels) : -1;
    while (a > 0 && r < 0) {
        a = NextNodeId(a, tree);
        r = a > 0 ? FirstDataItemInSubtree(a, tree, levels) : -1;
    }
    return r;
}

void CollectDataItems(int id, Recordset* tree, Recordset* levels, IdList* list)
{
    if (IsDataItem(id, tree, levels))
        AddToIdList(list, id);
    int* children = nullptr;
    int n = GetChildIds(id, tree, &children);
    for (int i = 0; i < n; ++i)
        CollectDataItems(children[i], tree, levels, list);
    free(children);
}

void CollectDataSubtree(int id, Recordset* tree, Recordset* levels, IdList* list)
{
    if (IsDataItem(id, tree, levels))
        AddToIdList(list, id);
    int* children = nullptr;
    int n = GetChildIds(id, tree, &children);
    for (int i = 0; i < n; ++i)
        if (IsDataItem(children[i], tree, levels))
            CollectDataItems(children[i], tree, levels, list);
    free(children);
}

// ---- species order ----

double GetSpeciesAbsolutePos(int sysId, Connection* connection)
{
    wchar_t sql[96];
    StringCchPrintfW(sql, 96, L"SELECT ABSOLUTEPOS FROM SPECIES WHERE SYSID = %d", sysId);
    RsHolder rs(OpenRecordset(connection, sql, false, adLockReadOnly));
    if (!rs.IsOpen() || IsEmptyRowset(rs.get()))
        return 0;
    rs.get()->MoveFirst();
    VARIANT v;
    RowValue(rs.get(), 0, &v);
    double value = VariantToReal(&v);
    VariantClear(&v);
    return value;
}

HRESULT SetSpeciesAbsolutePos(int sysId, double value, Connection* connection)
{
    // Bound as a double: six printed decimals would merge close positions.
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_R8;
    v.dblVal = value;
    return ExecuteBound(connection, L"UPDATE SPECIES SET ABSOLUTEPOS = ? WHERE SYSID = ?",
                        {v, IntValue(sysId)});
}

HRESULT SpreadAbsolutePositions(int id, Recordset* sysTree, Recordset* levels, Connection* connection)
{
    int a = PrecedingDataItemId(id, sysTree, levels);
    int b = FollowingDataItemId(id, sysTree, levels);
    IdList list;
    InitIdList(&list);
    CollectDataItems(id, sysTree, levels, &list);
    int k = list.Count;
    HRESULT hr = S_OK;
    if (k > 0) {
        double c = a >= 0 ? GetSpeciesAbsolutePos(a, connection) : 0;
        double d = b >= 0 ? GetSpeciesAbsolutePos(b, connection) : c + k + 1;
        // A following species without a position (a new one) or out of order would make the
        // step negative and turn the subtree's order round.
        if (d <= c)
            d = c + k + 1;
        double e = (d - c) / (k + 1);
        for (int i = 0; i < k && SUCCEEDED(hr); ++i)
            hr = SetSpeciesAbsolutePos(list.Items[i], c + (i + 1) * e, connection);
    }
    FreeIdList(&list);
    return hr;
}

// ---- names and labels ----

int SetNodeFieldById(int id, const wchar_t* text, long ordinal, Recordset* tree)
{
    if (!FindById(id, tree))
        return 0;
    if (FAILED(PutText(tree, ordinal, text)) || FAILED(tree->Update())) {
        tree->CancelUpdate();
        return -1;
    }
    return 1;
}

// Runs a bound name write; 1 when a row took it, 0 when none, -1 (errors shown) when refused.
static int WriteName(Connection* connection, const wchar_t* sql, const wchar_t* name, int length, int id)
{
    VARIANT text;
    VariantInit(&text);
    if (length > 0) {
        text.vt = VT_BSTR;
        text.bstrVal = SysAllocStringLen(name, (UINT)length);
    } else {
        text.vt = VT_NULL;
    }
    VARIANT affected;
    VariantInit(&affected);
    HRESULT hr = ExecuteBound(connection, sql, {text, IntValue(id)}, &affected);
    VariantClear(&text);
    if (FAILED(hr)) {
        ShowAdoErrors(nullptr, connection);
        return -1;
    }
    int rows = affected.vt == VT_I4 ? affected.lVal : 1;
    VariantClear(&affected);
    return rows > 0 ? 1 : 0;
}

int UpdateSpeciesName(int sysId, Recordset* sysTree, const int* nameLevels, int count,
                      Connection* connection)
{
    wchar_t name[64];
    int length = ComposeTaxonName(sysId, sysTree, nameLevels, count, name);
    return WriteName(connection, L"UPDATE SPECIES SET NAME = ? WHERE SYSID = ?", name, length, sysId);
}

int UpdateSpeciesNames(int id, Recordset* sysTree, Recordset* sysDefs, Connection* connection)
{
    IdList list;
    InitIdList(&list);
    CollectDataSubtree(id, sysTree, sysDefs, &list);
    if (list.Count == 0) {
        FreeIdList(&list);
        return 0;
    }
    int count = 0;
    int* levels = GetNameLevelIds(sysDefs, &count);
    int result = 1;
    for (int i = 0; i < list.Count && result > 0; ++i)
        if (UpdateSpeciesName(list.Items[i], sysTree, levels, count, connection) < 0)
            result = -1;
    free(levels);
    FreeIdList(&list);
    return result;
}

int UpdateLocalityLabel(int locId, Recordset* locTree, Recordset* features, Connection* connection)
{
    wchar_t label[64];
    if (!FindById(locId, locTree))
        return 0;
    int length = FormatLocalityLabel(locId, locTree, features, label);
    return WriteName(connection, L"UPDATE FEATURES SET NAME = ? WHERE LOCID = ?", label, length, locId);
}

int UpdateLocalityLabels(int id, Recordset* locTree, Recordset* locDefs, Connection* connection)
{
    IdList list;
    InitIdList(&list);
    CollectDataSubtree(id, locTree, locDefs, &list);
    // A label names the parent and the grandparent as well, so the data items among the
    // children and grandchildren depend on the item too.
    int* children = nullptr;
    int n = GetChildIds(id, locTree, &children);
    for (int i = 0; i < n; ++i) {
        if (IndexOfInt(children[i], list.Count, list.Items) < 0
            && IsDataItem(children[i], locTree, locDefs))
            AddToIdList(&list, children[i]);
        int* grandchildren = nullptr;
        int g = GetChildIds(children[i], locTree, &grandchildren);
        for (int j = 0; j < g; ++j)
            if (IndexOfInt(grandchildren[j], list.Count, list.Items) < 0
                && IsDataItem(grandchildren[j], locTree, locDefs))
                AddToIdList(&list, grandchildren[j]);
        free(grandchildren);
    }
    free(children);
    if (list.Count == 0) {
        FreeIdList(&list);
        return 0;
    }
    // Only the coordinates of these localities are read.
    std::wstring sql = L"SELECT * FROM FEATURES WHERE LOCID IN (";
    for (int i = 0; i < list.Count; ++i) {
        wchar_t number[16];
        StringCchPrintfW(number, 16, i ? L", %d" : L"%d", list.Items[i]);
        sql += number;
    }
    sql += L")";
    RsHolder features(OpenRecordset(connection, sql.c_str(), true, adLockReadOnly));
    int result = 1;
    for (int i = 0; i < list.Count && result > 0; ++i)
        if (UpdateLocalityLabel(list.Items[i], locTree, features.get(), connection) < 0)
            result = -1;
    FreeIdList(&list);
    return result;
}

// ---- moves ----

bool IsBelowAnyOf(int id, int count, const int* ids, Recordset* tree)
{
    std::vector<int> seen;
    for (int current = id;;) {
        if (!FindById(current, tree))
            return false;
        int parent = RowInt(tree, 1);
        if (parent < 0 || parent == current
            || std::find(seen.begin(), seen.end(), parent) != seen.end())
            return false;
        if (IndexOfInt(parent, count, ids) >= 0)
            return true;
        if (parent == 0)
            return false;
        seen.push_back(parent);
        current = parent;
    }
}

int MoveSysItemsToParent(int parentId, int count, const int* ids, Recordset* sysTree)
{
    // The highest position among the new parent's children, whatever order the rowset is in.
    int m = 0;
    if (SetParentFilter(parentId, sysTree))
        for (; !sysTree->IsEOF(); sysTree->MoveNext())
            m = std::max(m, RowInt(sysTree, 3, 0));
    int moved = 0;
    for (int i = 0; i < count; ++i) {
        if (ids[i] == parentId || !FindById(ids[i], sysTree))
            continue;
        ++m;
        if (FAILED(PutInt(sysTree, 1, parentId)) || FAILED(PutInt(sysTree, 3, m))
            || FAILED(sysTree->Update())) {
            sysTree->CancelUpdate();
            return -1;
        }
        ++moved;
    }
    return moved;
}

int MoveLocItemsToParent(int parentId, int count, const int* ids, Recordset* locTree)
{
    int moved = 0;
    for (int i = 0; i < count; ++i) {
        if (ids[i] == parentId || !FindById(ids[i], locTree))
            continue;
        if (FAILED(PutInt(locTree, 1, parentId)) || FAILED(locTree->Update())) {
            locTree->CancelUpdate();
            return -1;
        }
        ++moved;
    }
    return moved;
}

// ---- level path columns ----

namespace {

struct LevelColumns
{
    std::vector<std::pair<int, std::wstring>> columns;
    int maxLevel = 0;
    std::wstring setList;  // "C1 = ?, C2 = ?, ..."

    LevelColumns(Connection* connection, const wchar_t* format)
        : columns(LevelColumnsOf(connection, format))
    {
        for (auto& c : columns) {
            maxLevel = std::max(maxLevel, c.first);
            if (!setList.empty())
                setList += L", ";
            setList += L"\"" + c.second + L"\" = ?";
        }
    }
    // The values for setList from a path indexed by level.
    void AppendValues(const std::vector<int>& path, std::vector<VARIANT>* values) const
    {
        for (auto& c : columns) {
            int id = c.first < (int)path.size() ? path[(size_t)c.first] : 0;
            values->push_back(id > 0 ? IntValue(id) : NullValue());
        }
    }
};

bool IsSystematic(const wchar_t* format)
{
    return _wcsnicmp(format, L"SYS", 3) == 0;
}

HRESULT RewriteBelow(int id, const std::vector<int>& path, Recordset* tree, const LevelColumns& levels,
                     const std::wstring& sql, Connection* connection)
{
    std::vector<VARIANT> values;
    levels.AppendValues(path, &values);
    values.push_back(IntValue(id));
    HRESULT hr = ExecuteBound(connection, sql.c_str(), values);
    if (FAILED(hr))
        return hr;
    int* children = nullptr;
    int n = GetChildIds(id, tree, &children);
    for (int i = 0; i < n && SUCCEEDED(hr); ++i) {
        std::vector<int> childPath = path;
        if (FindById(children[i], tree)) {
            int level = RowInt(tree, 2);
            if (level >= 1 && level <= levels.maxLevel)
                childPath[(size_t)level] = children[i];
        }
        hr = RewriteBelow(children[i], childPath, tree, levels, sql, connection);
    }
    free(children);
    return hr;
}

}  // namespace

HRESULT RewriteSubtreeLevelColumns(int id, Recordset* tree, const wchar_t* format, Connection* connection)
{
    LevelColumns levels(connection, format);
    if (levels.columns.empty())
        return S_OK;
    std::vector<int> path((size_t)levels.maxLevel + 1, 0);
    if (!GetLevelPath(tree, id, path.data(), levels.maxLevel))
        return S_OK;
    std::wstring sql = L"UPDATE ZORNACOLLS SET " + levels.setList +
                       (IsSystematic(format) ? L" WHERE SYSID = ?" : L" WHERE FTRID = ?");
    return RewriteBelow(id, path, tree, levels, sql, connection);
}

HRESULT ReassignRecords(int targetId, int count, const int* recordIds, int kind, Recordset* tree,
                        Connection* connection)
{
    if (count <= 0)
        return S_OK;
    const wchar_t* format = kind == 1 ? L"SYS_LEVEL_%d" : L"LOC_LEVEL_%d";
    LevelColumns levels(connection, format);
    std::vector<int> path((size_t)levels.maxLevel + 1, 0);
    if (tree && levels.maxLevel > 0)
        GetLevelPath(tree, targetId, path.data(), levels.maxLevel);
    std::vector<VARIANT> values;
    levels.AppendValues(path, &values);

    wchar_t head[96];
    StringCchPrintfW(head, 96, kind == 1 ? L"UPDATE ZORNACOLLS SET SYSID = %d" : L"UPDATE ZORNACOLLS SET FTRID = %d",
                     targetId);
    // The statement text grows with the list; long lists go in several statements of the same
    // transaction.
    HRESULT hr = S_OK;
    for (int first = 0; first < count && SUCCEEDED(hr); first += kIdsPerStatement) {
        int last = std::min(count, first + kIdsPerStatement);
        std::wstring sql = head;
        if (!levels.setList.empty())
            sql += L", " + levels.setList;
        sql += L" WHERE ID IN (" + IdListText(recordIds, first, last) + L")";
        hr = ExecuteBound(connection, sql.c_str(), values);
    }
    return hr;
}
