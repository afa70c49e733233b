#include "import/typedtarget.h"

#include <strsafe.h>

#include "core/composednames.h"
#include "core/treewalk.h"
#include "import/importrun.h"
#include "import/impsource.h"
#include "import/targettables.h"
#include "resources/tarnix/resource.h"
#include "structure/dbcheck.h"

using treewalk::IntValue;
using treewalk::NullValue;

namespace {

VARIANT TextValue(const std::wstring& text)
{
    if (text.empty())
        return NullValue();
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocStringLen(text.data(), (UINT)text.size());
    return v;
}

VARIANT RealValue(double value)
{
    VARIANT v;
    v.vt = VT_R8;
    v.dblVal = value;
    return v;
}

bool Execute(zdata::Connection* connection, const wchar_t* sql, std::vector<VARIANT> values)
{
    HRESULT hr = treewalk::ExecuteBound(connection, sql, values);
    for (VARIANT& v : values)
        VariantClear(&v);
    return SUCCEEDED(hr);
}

// The typed nodes, each under the row above it (a level left empty is passed over, as the tree
// allows; a species goes after its last sibling); the last row's node, -1 when one was refused.
int MakeNodes(zdata::Connection* connection, bool species, const TypedTarget& typed)
{
    int parent = 0;
    for (const TypedTarget::Row& row : typed.Rows) {
        if (row.Node > 0) {
            parent = row.Node;
            continue;
        }
        int id = QueryMaxTreeId(connection, species ? L"SYSTREE" : L"LOCTREE") + 1;
        if (id < 1)
            return -1;
        bool made;
        if (species) {
            wchar_t last[128];
            StringCchPrintfW(last, 128, L"SELECT MAX(SYSPOS) FROM SYSTREE WHERE PARENT = %d AND SYSLEVEL = %d", parent,
                             row.Level);
            made = Execute(connection, L"INSERT INTO SYSTREE (ID, PARENT, SYSLEVEL, SYSPOS, NAME) VALUES (?, ?, ?, ?, ?)",
                           {IntValue(id), IntValue(parent), IntValue(row.Level), IntValue(CountRows(connection, last) + 1),
                            TextValue(row.Name)});
        } else {
            made = Execute(connection, L"INSERT INTO LOCTREE (ID, PARENT, LOCLEVEL, NAME) VALUES (?, ?, ?, ?)",
                           {IntValue(id), IntValue(parent), IntValue(row.Level), TextValue(row.Name)});
        }
        if (!made)
            return -1;
        parent = id;
    }
    return parent;
}

// The item's own row: a species with its composed name, a locality with its label.
bool MakeItemRow(zdata::Connection* connection, bool species, const TypedTarget& typed, int id)
{
    if (species) {
        RsHolder tree(treewalk::OpenRecordset(connection, L"SELECT * FROM SYSTREE", true, adLockReadOnly));
        wchar_t name[64] = L"";
        if (!tree.IsOpen())
            return false;
        ComposeTaxonName(id, tree.get(), typed.NameLevels.data(), (int)typed.NameLevels.size(), name);
        VARIANT parentheses;
        parentheses.vt = VT_BOOL;
        parentheses.boolVal = typed.Parentheses ? VARIANT_TRUE : VARIANT_FALSE;
        return Execute(connection, L"INSERT INTO SPECIES (NAME, SYSID, AUTHOR, PARENTHES, IYEAR) VALUES (?, ?, ?, ?, ?)",
                       {TextValue(name), IntValue(id), TextValue(typed.Author), parentheses,
                        typed.Year ? IntValue(typed.Year) : NullValue()});
    }
    if (!Execute(connection, L"INSERT INTO FEATURES (LOCID, LONGITUDE, LATITUDE) VALUES (?, ?, ?)",
                 {IntValue(id), RealValue(typed.Longitude), RealValue(typed.Latitude)}))
        return false;
    RsHolder tree(treewalk::OpenRecordset(connection, L"SELECT * FROM LOCTREE", true, adLockReadOnly));
    RsHolder item(treewalk::OpenRecordset(connection, (L"SELECT * FROM FEATURES WHERE LOCID = " + std::to_wstring(id)).c_str(),
                                          true, adLockReadOnly));
    if (!tree.IsOpen() || !item.IsOpen())
        return false;
    wchar_t label[64] = L"";
    FormatLocalityLabel(id, tree.get(), item.get(), label);
    return Execute(connection, L"UPDATE FEATURES SET NAME = ? WHERE LOCID = ?", {TextValue(label), IntValue(id)});
}

}  // namespace

bool MakeTypedTargets(ImportRun& run)
{
    ImportJob* job = run.Job;
    const struct {
        TypedTarget* typed;
        int* target;
        UINT refused;
    } kinds[] = {{&job->NewSpecies, &job->TargetSysId, IDS_I_TARGET_SPECIES_REFUSED},
                 {&job->NewLocality, &job->TargetLocId, IDS_I_TARGET_LOCALITY_REFUSED}};
    for (const auto& k : kinds) {
        if (k.typed->Rows.empty())
            continue;
        bool species = k.typed == &job->NewSpecies;
        int id = MakeNodes(run.Connection, species, *k.typed);
        if (id < 1 || !MakeItemRow(run.Connection, species, *k.typed, id)) {
            wchar_t text[512];
            StringCchPrintfW(text, 512, run.String(k.refused).c_str(), k.typed->Rows.back().Name.c_str());
            run.LogError(text);
            run.LogDbErrors();
            return false;
        }
        *k.target = id;
    }
    return true;
}
