#include "import/targetlit.h"

#include <strsafe.h>

#include <string>

#include "core/attrdef.h"
#include "core/rsutil.h"
#include "core/textutil.h"
#include "core/treewalk.h"
#include "import/impsource.h"
#include "import/targetsystem.h"
#include "import/targettables.h"

using treewalk::PutInt;
using treewalk::PutValue;
using treewalk::RowInt;
using namespace targetrows;

namespace {

VARIANT IdOrNull(int id)
{
    VARIANT v;
    VariantInit(&v);
    if (id < 0) {
        v.vt = VT_NULL;
    } else {
        v.vt = VT_I4;
        v.lVal = id;
    }
    return v;
}

// The named row's id for a VT_BSTR value; -1 for anything else.
int NamedIdOf(zdata::Recordset* list, const VARIANT& value)
{
    return value.vt == VT_BSTR ? FindOrCreateNamed(list, value.bstrVal, 1, 0) : -1;
}

std::wstring TrimLeft(const std::wstring& text)
{
    size_t first = text.find_first_not_of(L' ');
    return first == std::wstring::npos ? std::wstring() : text.substr(first);
}

// Trailing spaces removed while more than keep characters remain.
std::wstring TrimRight(std::wstring text, size_t keep)
{
    while (text.size() > keep && text.back() == L' ')
        text.pop_back();
    return text;
}

// Finds or creates one name of a list and references it at *position, which moves on when the
// row was stored.
void AddOneRef(int litId, zdata::Recordset* names, zdata::Recordset* refs, const std::wstring& name,
               int* position)
{
    int id = FindOrCreateNamed(names, name.c_str(), 1, 0);
    if (id > 0 && AddRefRow(refs, litId, id, *position))
        ++*position;
}

}  // namespace

zdata::Recordset* FindLookupTable(const SourceColumn* column, const wchar_t* prefix,
                                  zdata::Recordset* const* recordsets, int count, bool* needed)
{
    *needed = column->TargetType == ATTR_LOOKUP || column->TargetType == ATTR_GEO_LOOKUP;
    if (!*needed)
        return nullptr;
    wchar_t sql[128];
    StringCchPrintfW(sql, 128, L"SELECT * FROM %s%s", prefix, column->TargetColumn);
    for (int i = TARGET_FIXED_SLOTS; i < count; ++i) {
        zdata::Recordset* rs = recordsets[i];
        if (IsRecordsetOpen(rs) && SameTextNoCase(rs->Source().c_str(), sql))
            return rs;
    }
    return nullptr;
}

bool AddLookupValue(const SourceColumn* column, const wchar_t* prefix, const VARIANT& value,
                    zdata::Recordset* const* recordsets, int count)
{
    bool needed = false;
    zdata::Recordset* rs = FindLookupTable(column, prefix, recordsets, count, &needed);
    if (rs)
        OfferListValue(rs, value);
    return rs || !needed;
}

int FindOrCreateNamed(zdata::Recordset* list, const wchar_t* name, long nameOrdinal, long idOrdinal)
{
    if (!name || !*name)
        return -1;
    if (!SetFilter(list, (L"NAME = '" + FilterQuote(name) + L"'").c_str()))
        return -1;
    if (list->IsBOF() && list->IsEOF()) {
        SetFilter(list, L"");
        if (FAILED(list->AddNew()))
            return -1;
        VARIANT text = TextValue(name);
        bool written = SUCCEEDED(PutValue(list, nameOrdinal, text));
        VariantClear(&text);
        if (!StoreIfWritten(list, written))
            return -1;
    } else {
        list->MoveFirst();
    }
    return RowInt(list, idOrdinal, -1);
}

bool FindOrCreateLiterature(zdata::Recordset* literature, zdata::Recordset* journals,
                            zdata::Recordset* editors, zdata::Recordset* authors, const wchar_t* title,
                            const VARIANT& periodical, const VARIANT& publisher,
                            const wchar_t* firstAuthor, bool store)
{
    int authorId = FindOrCreateNamed(authors, firstAuthor, 1, 0);
    int publisherId = NamedIdOf(editors, publisher);
    int journalId = NamedIdOf(journals, periodical);
    if (journalId > 0 && publisherId > 0) {
        VARIANT id = IdOrNull(publisherId);
        if (FAILED(PutValue(journals, kJournalPublisherColumn, id)))
            journals->CancelUpdate();
        else
            UpdateOrCancel(journals);
    }
    if (!title || !*title)
        return false;
    if (!SetFilter(literature, (L"NAME = '" + FilterQuote(title) + L"'").c_str()))
        return false;
    if (!(literature->IsBOF() && literature->IsEOF())) {
        literature->MoveFirst();
        return true;
    }
    SetFilter(literature, L"");
    if (FAILED(literature->AddNew()))
        return false;
    VARIANT text = TextValue(title);
    VARIANT editor = IdOrNull(publisherId);
    VARIANT journal = IdOrNull(journalId);
    VARIANT author = IdOrNull(authorId);
    bool written = SUCCEEDED(PutValue(literature, LITERATURE_NAME, text)) &&
                   SUCCEEDED(PutValue(literature, LITERATURE_EDITOR, editor)) &&
                   SUCCEEDED(PutValue(literature, LITERATURE_JOURNAL, journal)) &&
                   SUCCEEDED(PutValue(literature, LITERATURE_FIRSTAUTHOR, author));
    VariantClear(&text);
    if (!store && written)
        return true;  // left pending for the caller
    return StoreIfWritten(literature, written);
}

bool AddRefRow(zdata::Recordset* refs, int litId, int refId, int position)
{
    if (FAILED(refs->AddNew()))
        return false;
    return StoreIfWritten(refs, SUCCEEDED(PutInt(refs, 0, litId)) && SUCCEEDED(PutInt(refs, 1, refId)) &&
                                    SUCCEEDED(PutInt(refs, 2, position)));
}

void AddLiteratureRefs(int litId, zdata::Recordset* names, zdata::Recordset* refs, const wchar_t* text,
                       const wchar_t* separator)
{
    wchar_t filter[40];
    StringCchPrintfW(filter, 40, L"LITID = %d", litId);
    if (!SetFilter(refs, filter) || !(refs->IsBOF() && refs->IsEOF()))
        return;
    SetFilter(refs, L"");
    std::wstring rest = TrimLeft(text ? text : L"");
    int position = 1;
    size_t sepLength = separator ? wcslen(separator) : 0;
    if (sepLength > 0) {
        for (size_t at = rest.find(separator); at != std::wstring::npos; at = rest.find(separator)) {
            AddOneRef(litId, names, refs, TrimRight(rest.substr(0, at).substr(0, kRefNameChars), 1), &position);
            rest = TrimLeft(rest.substr(at + sepLength));
        }
    }
    // The whole text, or the rest after the last separator: trimmed, then cut.
    AddOneRef(litId, names, refs, TrimRight(rest, 0).substr(0, kRefNameChars), &position);
}
