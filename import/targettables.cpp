#include "import/targettables.h"

#include "core/textutil.h"
#include "utilities/structmodel.h"

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
