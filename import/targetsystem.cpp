#include "import/targetsystem.h"

#include <strsafe.h>

#include <string>

#include "core/treewalk.h"
#include "import/targettables.h"

using treewalk::PutInt;
using treewalk::PutValue;
using treewalk::RowInt;

namespace targetrows {

bool SetFilter(zdata::Recordset* rs, const wchar_t* criteria)
{
    return rs && SUCCEEDED(rs->put_Filter(criteria));
}

bool UpdateOrCancel(zdata::Recordset* rs)
{
    if (SUCCEEDED(rs->Update()))
        return true;
    rs->CancelUpdate();
    return false;
}

bool StoreIfWritten(zdata::Recordset* rs, bool written)
{
    if (written)
        return UpdateOrCancel(rs);
    rs->CancelUpdate();
    return false;
}

void OfferListValue(zdata::Recordset* list, const VARIANT& value)
{
    StoreListValue(list, value);
}

bool StoreListValue(zdata::Recordset* list, const VARIANT& value)
{
    if (FAILED(list->AddNew()))
        return false;
    return StoreIfWritten(list, SUCCEEDED(PutValue(list, 0, value)));
}

VARIANT TextValue(const wchar_t* text)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text ? text : L"");
    return v;
}

VARIANT TextOrNull(const wchar_t* text)
{
    if (text && *text)
        return TextValue(text);
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_NULL;
    return v;
}

}  // namespace targetrows

using namespace targetrows;

namespace {

// The first row under the filter: its integer at the ordinal, or -1 when there is none.
int FirstRowInt(zdata::Recordset* rs, const std::wstring& filter, long ordinal)
{
    if (!SetFilter(rs, filter.c_str()))
        return -1;
    rs->MoveFirst();
    return rs->IsEOF() ? -1 : RowInt(rs, ordinal, -1);
}

// Appends up to room characters of text; how many were appended.
size_t AppendCut(std::wstring& to, const wchar_t* text, size_t room)
{
    size_t n = wcsnlen(text, kImportNameChars - 1);
    n = n < room ? n : room;
    to.append(text, n);
    return n;
}

}  // namespace

void ComposeSpeciesName(wchar_t* destination, const wchar_t* parts, bool withThird)
{
    const size_t most = kImportNameChars - 1;
    std::wstring name;
    AppendCut(name, parts, most);
    if (name.size() < most) {
        name += L' ';
        AppendCut(name, parts + kImportNameChars, most - name.size());
        if (withThird && name.size() < most - 1) {
            name += L' ';
            AppendCut(name, parts + 2 * kImportNameChars, most - name.size());
        }
    }
    StringCchCopyW(destination, kImportNameChars, name.c_str());
}

int FindSpeciesByName(const wchar_t* name, zdata::Recordset* species)
{
    return FirstRowInt(species, L"NAME = '" + FilterQuote(name) + L"'", SPECIES_SYSID);
}

int FindSysItem(zdata::Recordset* sysTree, int parentId, int levelId, const wchar_t* name)
{
    wchar_t head[80];
    StringCchPrintfW(head, 80, L"PARENT = %d AND SYSLEVEL = %d AND NAME = '", parentId, levelId);
    return FirstRowInt(sysTree, head + FilterQuote(name) + L"'", SYSTREE_ID);
}

bool CreateSysItem(zdata::Recordset* sysTree, int newId, int parentId, int levelId, const wchar_t* name)
{
    wchar_t filter[40];
    StringCchPrintfW(filter, 40, L"PARENT = %d", parentId);
    if (!SetFilter(sysTree, filter))
        return false;
    sysTree->MoveFirst();
    int position = 1;
    if (!sysTree->IsEOF()) {
        // Ordered by PARENT, SYSPOS: the last child has the highest position.
        sysTree->MoveLast();
        position = RowInt(sysTree, SYSTREE_POS, 0) + 1;
    }
    return CreateSysItemAt(sysTree, newId, parentId, levelId, name, position);
}

bool CreateSysItemAt(zdata::Recordset* sysTree, int newId, int parentId, int levelId, const wchar_t* name,
                     int position)
{
    if (FAILED(sysTree->AddNew()))
        return false;
    VARIANT text = TextValue(name);
    bool written = SUCCEEDED(PutInt(sysTree, SYSTREE_ID, newId)) &&
                   SUCCEEDED(PutInt(sysTree, SYSTREE_PARENT, parentId)) &&
                   SUCCEEDED(PutInt(sysTree, SYSTREE_LEVEL, levelId)) &&
                   SUCCEEDED(PutInt(sysTree, SYSTREE_POS, position)) &&
                   SUCCEEDED(PutValue(sysTree, SYSTREE_NAME, text));
    VariantClear(&text);
    return StoreIfWritten(sysTree, written);
}

bool CreateSpeciesRow(zdata::Recordset* species, zdata::Recordset* sysAuthors, int itemId,
                      const wchar_t* name, const wchar_t* author, bool parentheses, int year)
{
    VARIANT authorValue = TextOrNull(author);
    if (authorValue.vt == VT_BSTR && sysAuthors)
        OfferListValue(sysAuthors, authorValue);
    if (FAILED(species->AddNew())) {
        VariantClear(&authorValue);
        return false;
    }
    VARIANT text = TextValue(name);
    VARIANT position;
    VariantInit(&position);
    position.vt = VT_R8;
    position.dblVal = 0.0;
    VARIANT flag;
    VariantInit(&flag);
    flag.vt = VT_BOOL;
    flag.boolVal = parentheses ? VARIANT_TRUE : VARIANT_FALSE;
    bool written = SUCCEEDED(PutValue(species, SPECIES_AUTHOR, authorValue)) &&
                   SUCCEEDED(PutValue(species, SPECIES_NAME, text)) &&
                   SUCCEEDED(PutInt(species, SPECIES_SYSID, itemId)) &&
                   SUCCEEDED(PutValue(species, SPECIES_ABSOLUTEPOS, position)) &&
                   SUCCEEDED(PutValue(species, SPECIES_PARENTHES, flag)) &&
                   SUCCEEDED(PutInt(species, SPECIES_IYEAR, year));
    VariantClear(&text);
    VariantClear(&authorValue);
    return StoreIfWritten(species, written);
}
