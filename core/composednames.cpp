#include "core/composednames.h"

#include <strsafe.h>
#include <cstdlib>
#include <string>
#include "core/textutil.h"
#include "core/treewalk.h"

using zdata::Fields;
using zdata::Recordset;
using namespace treewalk;

bool FindById(int id, Recordset* tree)
{
    if (!tree || FAILED(FilterEquals(tree, L"ID", id)))
        return false;
    if (IsEmptyRowset(tree))
        return false;
    tree->MoveFirst();
    return !tree->IsEOF();
}

int* GetNameLevelIds(Recordset* levels, int* count)
{
    *count = 0;
    if (!levels || IsEmptyRowset(levels))
        return nullptr;
    int capacity = 8;
    int* ids = (int*)malloc(sizeof(int) * capacity);
    if (!ids)
        return nullptr;
    levels->MoveFirst();
    for (; !levels->IsEOF(); levels->MoveNext()) {
        if (RowInt(levels, 2, 0) == 0)
            continue;
        if (*count == capacity) {
            int* grown = (int*)realloc(ids, sizeof(int) * (capacity += 8));
            if (!grown)
                break;
            ids = grown;
        }
        ids[(*count)++] = RowInt(levels, 0, 0);
    }
    if (*count == 0) {
        free(ids);
        return nullptr;
    }
    return ids;
}

bool IntArrayContains(int value, const int* values, int count)
{
    for (int i = 0; i < count; ++i)
        if (values[i] == value)
            return true;
    return false;
}

static int StoreOut(const std::wstring& text, wchar_t* out, int max)
{
    int n = (int)text.size() < max ? (int)text.size() : max;
    wmemcpy(out, text.c_str(), n);
    out[n] = 0;
    return n;
}

int ComposeTaxonName(int id, Recordset* sysTree, const int* nameLevels, int count, wchar_t out[64])
{
    out[0] = 0;
    if (!FindById(id, sysTree))
        return 0;
    int parent = RowInt(sysTree, 1);
    int level = RowInt(sysTree, 2);
    std::wstring name = RowText(sysTree, 4);
    if ((int)name.size() > kComposedNameMax)
        name.resize(kComposedNameMax);
    while (IntArrayContains(level, nameLevels, count) && parent >= 1) {
        if (!FindById(parent, sysTree))
            break;
        name = RowText(sysTree, 4) + L" " + name;
        if ((int)name.size() > kComposedNameMax)
            name.resize(kComposedNameMax);
        parent = RowInt(sysTree, 1);
        level = RowInt(sysTree, 2);
    }
    return StoreOut(name, out, kComposedNameMax);
}

int FormatLocalityLabel(int id, Recordset* locTree, Recordset* features, wchar_t out[64])
{
    out[0] = 0;
    if (!FindById(id, locTree))
        return 0;
    int parent = RowInt(locTree, 1);
    std::wstring label = RowText(locTree, 3);
    if ((int)label.size() > kComposedNameMax)
        label.resize(kComposedNameMax);
    if (label.size() >= 61)
        return StoreOut(label, out, kComposedNameMax);

    bool cut = false;
    auto append = [&](const std::wstring& text) {
        if (cut)
            return;
        label += text;
        if ((int)label.size() > kLocalityLabelMax) {
            label.resize(kLocalityLabelMax);
            cut = true;
        }
    };
    auto dms = [](const VARIANT* v, std::wstring* text) {
        int d, m, s;
        if (!VariantToDms(v, &d, &m, &s))
            return false;
        wchar_t buffer[48];
        StringCchPrintfW(buffer, 48, L"%d\u00B0 %d' %d\"", d, m, s);
        *text = buffer;
        return true;
    };

    append(L" (");
    bool inside = false;
    if (features && SUCCEEDED(FilterEquals(features, L"LOCID", id)) && !IsEmptyRowset(features)) {
        features->MoveFirst();
        VARIANT latitude, longitude;
        RowValue(features, 4, &latitude);
        RowValue(features, 3, &longitude);
        std::wstring text;
        if (dms(&latitude, &text)) {
            append(text);
            inside = true;
            if (dms(&longitude, &text)) {
                append(L", ");
                append(text);
            }
        }
        VariantClear(&latitude);
        VariantClear(&longitude);
    }
    for (int k = 0; k < 2 && !cut && parent >= 1; ++k) {
        if ((int)label.size() >= kLocalityLabelMax || !FindById(parent, locTree))
            break;
        if (inside)
            append(L", ");
        append(RowText(locTree, 3));
        inside = true;
        parent = RowInt(locTree, 1);
    }
    if (!cut)
        label += L")";
    else
        label = label.substr(0, 59) + L"...)";
    return StoreOut(label, out, kComposedNameMax);
}

bool GetLevelPath(Recordset* tree, int id, int* path, int maxLevel)
{
    for (int k = 0; k <= maxLevel; ++k)
        path[k] = 0;
    if (!FindById(id, tree))
        return false;
    int level = RowInt(tree, 2);
    int current = id;
    // A damaged tree could hold a cycle; no path is longer than the number of levels allows.
    for (int guard = 0; level >= 1 && current >= 0 && guard < 1000; ++guard) {
        if (level <= maxLevel)
            path[level] = current;
        current = RowInt(tree, 1);
        if (current < 0 || !FindById(current, tree))
            break;
        level = RowInt(tree, 2);
    }
    return true;
}

void SetLevelColumns(Fields* fields, Recordset* tree, int id, const wchar_t* format)
{
    if (!fields || !format)
        return;
    // Every column of the format starts out NULL, so levels off the new path keep nothing of
    // an old one.
    std::vector<LevelField> columns = LevelFieldsOf(fields, format);
    int maxLevel = 0;
    for (const LevelField& c : columns)
        if (c.Level > maxLevel)
            maxLevel = c.Level;
    std::vector<int> path((size_t)maxLevel + 1, 0);
    if (maxLevel > 0)
        GetLevelPath(tree, id, path.data(), maxLevel);
    for (auto& c : columns) {
        int value = path[(size_t)c.Level];
        c.Field->put_Value(value > 0 ? IntValue(value) : NullValue());
        c.Field->Release();
    }
}
