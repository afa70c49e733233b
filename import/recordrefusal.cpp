#include "import/recordrefusal.h"

#include <strsafe.h>

#include <string>
#include <vector>

#include "dataaccess/refusals.h"
#include "import/impsource.h"
#include "import/importrun.h"
#include "resources/tarnix/resource.h"
#include "structure/structmodel.h"

namespace {

// Whether the engine refused the record as one the records already hold (their unique index of
// species, locality and the key attributes); keys gets the index's columns.
bool RefusedAsDuplicate(zdata::Connection* connection, std::vector<std::wstring>* keys)
{
    zdata::Errors* errors = nullptr;
    if (FAILED(connection->get_Errors(&errors)) || !errors)
        return false;
    bool duplicate = false;
    for (zdata::Error* e : errors->Items()) {
        long native = 0;
        e->get_NativeError(&native);
        // The layer's sentence comes first, the engine's own text on the line after it.
        const std::wstring& text = e->Description();
        size_t engine = text.find(L'\n');
        zdata::EngineRefusal refusal =
            zdata::ReadEngineRefusal(engine == std::wstring::npos ? text : text.substr(engine + 1), native);
        if (!duplicate && refusal.kind == zdata::RefusalKind::Duplicate &&
            (refusal.table.empty() || _wcsicmp(refusal.table.c_str(), L"ZORNACOLLS") == 0)) {
            duplicate = true;
            *keys = refusal.columns;
        }
        e->Release();
    }
    errors->Release();
    return duplicate;
}

// The log's sentence of a duplicate record, naming the key attributes beside species and locality
// by their captions.
std::wstring DuplicateRecordMessage(ImportRun& run, const std::vector<std::wstring>& keys)
{
    const ItemList* attrs = &run.Job->Model->Lists[MODEL_RECORD_ATTRS];
    std::wstring names;
    for (const std::wstring& key : keys) {
        if (_wcsicmp(key.c_str(), L"SYSID") == 0 || _wcsicmp(key.c_str(), L"FTRID") == 0)
            continue;
        std::wstring caption = key;
        for (int i = 0; i < attrs->Count; ++i)
            if (_wcsicmp(AttrAt(attrs, i)->FieldName, key.c_str()) == 0 && AttrAt(attrs, i)->Caption[0])
                caption = AttrAt(attrs, i)->Caption;
        names += (names.empty() ? L"" : L", ") + (L"\u201E" + caption + L"\u201C");
    }
    if (names.empty())
        return run.String(IDS_I_ROW_DUPLICATE_RECORD);
    wchar_t text[512];
    StringCchPrintfW(text, 512, run.String(IDS_I_ROW_DUPLICATE_KEYS).c_str(), names.c_str());
    return text;
}

}  // namespace

void LogRecordRefusal(ImportRun& run)
{
    std::vector<std::wstring> keys;
    if (RefusedAsDuplicate(run.Connection, &keys))
        run.LogError(DuplicateRecordMessage(run, keys).c_str());
    else
        run.LogDbErrors();
}
