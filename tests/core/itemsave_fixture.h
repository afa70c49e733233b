// A fresh copy of a generated sample database opened by a database object for each test, with a
// main window that answers the level question the saves ask, a message-box recorder, and plain
// SQL to look at the file before and after.
#pragma once
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "core/database.h"
#include "core/itemrecords.h"
#include "tools/testkit/rawodbc.h"
#include "tools/sampledb/sampledb.h"
#include "tests/core/dbfixture.h"
#include "tests/core/sampletemplate.h"
#include "tests/support/wintest.h"

namespace itemtest {

using dbtest::Rows;

// Data-level flags by level id: [0] systematic, [1] localities.
inline std::map<int, int> g_dataLevels[2];
inline std::vector<std::pair<WPARAM, LPARAM>> g_findLevelAsked;

// The main window answers the level question the saves ask.
inline bool AnswerFindLevel(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (msg != ZM_FIND_LEVEL)
        return false;
    g_findLevelAsked.push_back({wParam, lParam});
    const auto& levels = g_dataLevels[wParam == 1 ? 0 : 1];
    auto it = levels.find((int)lParam);
    *result = it == levels.end() ? 0 : it->second;
    return true;
}

// The sample database shared by the tests: records with attributes, an attribute definition
// without a column (ZORNACOLLS.ZTRACENY) and a species attribute of the lookup kind whose lookup
// table does not exist (SPECIES.BEZSEZNAMU).
inline std::wstring Template()
{
    zor::SampleDbOptions options;
    options.records = 300;
    options.orphanAttribute = true;
    std::vector<std::wstring> statements = {
        L"ALTER TABLE SPECIES ADD BEZSEZNAMU VARCHAR(20)",
        L"INSERT INTO CUSTOMATTRIBUTES (TABLENAME, FIELDNAME, POSID, ATTRTYPE, ATTRSIZE, KEYFLAG, "
        L"TABNAME, CAPTION) VALUES ('SPECIES', 'BEZSEZNAMU', 90, 5, 20, 0, 'Obecné', 'Bez seznamu')",
    };
    // Two species and a locality without records or children, free to be deleted.
    for (const wchar_t* name : {L"solitarius", L"eremita"}) {
        statements.push_back(std::wstring(L"INSERT INTO SYSTREE (ID, PARENT, SYSLEVEL, SYSPOS, NAME) "
                                          L"SELECT (SELECT MAX(ID) + 1 FROM SYSTREE), G.PARENT, 4, "
                                          L"100, '") + name + L"' FROM (SELECT PARENT FROM SYSTREE "
                                          L"WHERE SYSLEVEL = 4 GROUP BY PARENT HAVING COUNT(*) >= 3 "
                                          L"ORDER BY PARENT DESC LIMIT 1) AS G");
        statements.push_back(std::wstring(L"INSERT INTO SPECIES (NAME, SYSID) SELECT '") + name +
                             L"', MAX(ID) FROM SYSTREE");
    }
    statements.push_back(L"INSERT INTO LOCTREE (ID, PARENT, LOCLEVEL, NAME) SELECT MAX(ID) + 1, "
                         L"(SELECT MIN(ID) FROM LOCTREE WHERE LOCLEVEL = 2), 3, 'Samota' FROM LOCTREE");
    statements.push_back(L"INSERT INTO FEATURES (LOCID, NAME) SELECT MAX(ID), 'Samota' FROM LOCTREE");
    return SharedSampleTemplate(L"itemsavetemplate", options, statements);
}

inline VARIANT* NewValue()
{
    VARIANT* v = (VARIANT*)malloc(sizeof(VARIANT));
    VariantInit(v);
    return v;
}

inline void SetText(VARIANT* v, const wchar_t* text)
{
    VariantClear(v);
    v->vt = VT_BSTR;
    v->bstrVal = SysAllocString(text);
}

inline void SetInt(VARIANT* v, int value)
{
    VariantClear(v);
    v->vt = VT_I4;
    v->lVal = value;
}

inline void SetReal(VARIANT* v, double value)
{
    VariantClear(v);
    v->vt = VT_R8;
    v->dblVal = value;
}

inline void SetBlob(VARIANT* v, const std::vector<unsigned char>& bytes)
{
    VariantClear(v);
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, (ULONG)bytes.size());
    void* data = nullptr;
    SafeArrayAccessData(array, &data);
    memcpy(data, bytes.data(), bytes.size());
    SafeArrayUnaccessData(array);
    v->vt = VT_ARRAY | VT_UI1;
    v->parray = array;
}

inline std::wstring TextOf(const VARIANT* v)
{
    return v && v->vt == VT_BSTR && v->bstrVal ? v->bstrVal : L"";
}

inline CPtrArray* NewList()
{
    return new CPtrArray(PTRARRAY_OWNS_ITEMS, 8, 4);
}

inline void FreeValues(CPtrArray* values)
{
    if (!values)
        return;
    for (int i = 0; i < values->GetCount(); i++)
        VariantClear((VARIANT*)values->GetItems()[i]);
    delete values;
}

inline void FreePictures(CPtrArray* pictures)
{
    if (!pictures)
        return;
    for (int i = 0; i < pictures->GetCount(); i++) {
        ItemPicture* p = (ItemPicture*)pictures->GetItems()[i];
        VariantClear(&p->Picture);
        VariantClear(&p->Note);
        if (p->Bitmap)
            DeleteObject(p->Bitmap);
    }
    delete pictures;
}

// A zeroed tree item record with its two lists, freed with its contents.
struct ItemRecord
{
    explicit ItemRecord(int flags, int id = -1)
    {
        memset(&r, 0, sizeof r);
        r.Flags = flags;
        r.Id = id;
        r.Pictures = NewList();
        r.Values = NewList();
    }
    ~ItemRecord()
    {
        if (r.Flags & 1) {
            VariantClear(&r.Year);
        } else {
            VariantClear(&r.Longitude);
            VariantClear(&r.Latitude);
            VariantClear(&r.Altitude);
            VariantClear(&r.Note);
        }
        VariantClear(&r.IconLarge);
        VariantClear(&r.IconSmall);
        VariantClear(&r.IconOpen);
        FreeValues(r.Values);
        FreePictures(r.Pictures);
    }
    // Empty values for every attribute of the tree table and of the data table.
    void AddEmptyValues(int count)
    {
        for (int i = 0; i < count; i++)
            r.Values->Add(NewValue());
    }
    VARIANT* Value(int i) { return (VARIANT*)r.Values->GetItems()[i]; }
    void AddPicture(const std::vector<unsigned char>& bytes, const wchar_t* note)
    {
        ItemPicture* p = (ItemPicture*)calloc(1, sizeof(ItemPicture));
        SetBlob(&p->Picture, bytes);
        if (note)
            SetText(&p->Note, note);
        r.Pictures->Add(p);
    }
    TreeItemRecord r;
};

struct RecordBlock
{
    RecordBlock(int id)
    {
        memset(&r, 0, sizeof r);
        r.Mode = id < 0 ? RECORD_MODE_NEW : RECORD_MODE_EDIT;
        r.Id = id;
        r.LitId = -1;
        r.Values = NewList();
    }
    ~RecordBlock()
    {
        VariantClear(&r.Note);
        FreeValues(r.Values);
    }
    VARIANT* Value(int i) { return (VARIANT*)r.Values->GetItems()[i]; }
    OccurrenceRecord r;
};

class ItemDbTest : public dbtest::DbTest
{
protected:
    void SetUp() override
    {
        g_findLevelAsked.clear();
        main_ = dbtest::MakeMainWindow(AnswerFindLevel, 400, 300);
        ASSERT_TRUE(main_ != nullptr);
        ASSERT_NO_FATAL_FAILURE(CopyTemplate(Template(), L"itemsave_db"));
        for (int k = 0; k < 2; k++) {
            g_dataLevels[k].clear();
            Rows rows = Query(k == 0 ? L"SELECT LEVELID, DATALEVEL FROM SYSDEF"
                                     : L"SELECT LEVELID, DATALEVEL FROM LOCDEF");
            for (const auto& row : rows)
                g_dataLevels[k][_wtoi(row[0].c_str())] = _wtoi(row[1].c_str());
        }
        ASSERT_NO_FATAL_FAILURE(OpenDb(true, true));
    }

    Rows Query(const std::wstring& sql) { return dbtest::Query(path_, sql); }
    std::wstring First(const std::wstring& sql) { return dbtest::First(path_, sql); }
    long long Int(const std::wstring& sql, long long fallback = -999)
    {
        return dbtest::QueryInt(path_, sql, fallback);
    }
    bool Exec(const std::wstring& sql) { return dbtest::Exec(path_, sql); }
    // Every row of the tables a save or delete may touch, for before/after comparisons.
    Rows Snapshot()
    {
        Rows all;
        for (const wchar_t* t : {L"SYSTREE", L"SPECIES", L"SYSIMAGES", L"SYSAUTHORS", L"LOCTREE",
                                 L"FEATURES", L"LOCIMAGES", L"ZORNACOLLS", L"LITSYSREFS",
                                 L"LITLOCREFS", L"SPE_OCHRANA", L"ZOR_METODA", L"FEA_BIOTOP"}) {
            Rows rows = Query(std::wstring(L"SELECT * FROM ") + t + L" ORDER BY rowid");
            all.push_back({t});
            all.insert(all.end(), rows.begin(), rows.end());
        }
        return all;
    }
    // Compares a snapshot with the file now, naming the tables that differ.
    void ExpectUnchanged(const Rows& before)
    {
        Rows after = Snapshot();
        std::string changed;
        std::wstring table;
        for (size_t i = 0; i < std::max(before.size(), after.size()); i++) {
            const auto* a = i < before.size() ? &before[i] : nullptr;
            const auto* b = i < after.size() ? &after[i] : nullptr;
            if (a && a->size() == 1)
                table = (*a)[0];
            if (!a || !b || *a != *b) {
                changed = Narrow(table);
                break;
            }
        }
        EXPECT_TRUE(changed.empty()) << "changed from table " << changed;
    }
    static std::string Narrow(const std::wstring& w)
    {
        std::string s;
        for (wchar_t c : w)
            s += c < 128 ? (char)c : '?';
        return s;
    }
    static std::wstring Id(int id) { return std::to_wstring(id); }
    int AttrCount(CPtrArray* a, CPtrArray* b = nullptr)
    {
        return a->GetCount() + (b ? b->GetCount() : 0);
    }
    static int AttrIndex(CPtrArray* defs, const wchar_t* field)
    {
        for (int i = 0; i < defs->GetCount(); i++)
            if (wcscmp(((CustomAttrDef*)defs->GetItems()[i])->FieldName, field) == 0)
                return i;
        return -1;
    }
};

}  // namespace itemtest
