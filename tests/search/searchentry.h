// A search page entry for the tests of the WHERE builder and of the description: its values,
// minimum and maximum, on a catalogue's display entry or on a field of its own; everything it
// holds goes with it.
#pragma once
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "search/searchvalues.h"
#include "core/attrdef.h"
#include "core/containers.h"
#include "core/fields.h"
#include "core/textutil.h"

class SearchEntry
{
public:
    // On a catalogue's display entry (borrowed).
    explicit SearchEntry(CDispField* field) { InitSearchFieldEntry(&Entry, field); }
    // On a field of its own, as a column of the table (TableKind from its name) when it is one.
    explicit SearchEntry(CFieldBase* field) : own_(field), disp_(new CDispField(field))
    {
        InitSearchFieldEntry(&Entry, disp_.get());
        if (field->Kind == FIELD_DATABASE)
            Entry.TableKind = SearchTableKindOf(static_cast<CFieldInfo*>(field)->TableName);
    }
    ~SearchEntry()
    {
        for (int i = 0; i < Entry.Values->GetCount(); ++i)
            free(Entry.Values->GetItems()[i]);
        FreeSearchFieldEntry(&Entry);
    }
    SearchEntry(const SearchEntry&) = delete;
    SearchEntry& operator=(const SearchEntry&) = delete;

    // Each of these counts as entered text (TextLength 1).
    SearchEntry& Values(const std::vector<std::wstring>& values)
    {
        for (const std::wstring& v : values)
            Entry.Values->Add(WideDup(v.c_str()));
        Entry.TextLength = 1;
        return *this;
    }
    SearchEntry& Range(const wchar_t* low, const wchar_t* high)
    {
        FreeWide(&Entry.MinText);
        FreeWide(&Entry.MaxText);
        Entry.MinText = low ? WideDup(low) : nullptr;
        Entry.MaxText = high ? WideDup(high) : nullptr;
        Entry.TextLength = 1;
        return *this;
    }
    SearchEntry& Def(const CustomAttrDef* def)
    {
        Entry.AttrDef = const_cast<CustomAttrDef*>(def);
        return *this;
    }

private:
    std::unique_ptr<CFieldBase> own_;
    std::unique_ptr<CDispField> disp_;

public:
    SearchFieldEntry Entry = {};
};

// A database column of a table at an ordinal of the view.
inline CFieldInfo* ViewColumn(const wchar_t* name, const wchar_t* table, int ordinal)
{
    CFieldInfo* info = new CFieldInfo(name, table);
    info->ColumnOrdinal = ordinal;
    return info;
}

// A composed field with its mask over referenced fields (borrowed); the references go before it.
class ComposedField
{
public:
    ComposedField(const wchar_t* mask, const std::vector<CFieldBase*>& refs) : Field(L"Složený")
    {
        Field.Mask = WideDup(mask);
        Field.UseForSearch = 1;
        for (CFieldBase* r : refs)
            Field.FieldRefs->Add(r);
    }
    ~ComposedField() { Field.FieldRefs->RemoveAll(0); }
    CCustFld Field;
    CDispField Disp{&Field};
};
