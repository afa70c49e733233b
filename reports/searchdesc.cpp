#include "reports/searchdesc.h"

#include <commctrl.h>

#include <map>
#include <vector>

#include "search/checkedtree.h"
#include "search/searchwhere.h"
#include "core/containers.h"
#include "core/ctlfill.h"
#include "core/fields.h"
#include "core/leveldefs.h"
#include "core/treefill.h"
#include "shellcontract/zm_protocol.h"
#include "reports/rtftext.h"

namespace {

const int kCaptionBytes = 64;
const int kTextValueBytes = 256;

int LevelIdOf(const TreeItemData* data)
{
    return data ? static_cast<int>(data->Level.Id) : 0;
}

bool IsDataLevel(const CPtrArray* levels, int levelId)
{
    const LevelDef* def = levels ? FindLevelDef(levels, levelId) : nullptr;
    return def && def->DataLevel;
}

// The item's own text with, while the current item is of a data level, its parent's text and a
// blank in front.
std::wstring FullName(HWND tree, HTREEITEM item, const CPtrArray* levels)
{
    std::wstring name = GetTreeItemString(tree, item);
    HTREEITEM current = item;
    while (IsDataLevel(levels, LevelIdOf(GetTreeItemData(tree, current)))) {
        HTREEITEM parent = reinterpret_cast<HTREEITEM>(
            SendMessageW(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(current)));
        if (!parent)
            break;
        name = GetTreeItemString(tree, parent) + L" " + name;
        current = parent;
    }
    return name;
}

void AppendJoined(std::string* out, const std::vector<std::string>& parts)
{
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i)
            *out += ", ";
        *out += parts[i];
    }
}

std::string Escaped(const wchar_t* text, int maxBytes = -1)
{
    std::string out;
    AppendRtfText(&out, text, maxBytes);
    return out;
}

// The readable value of a number or date kind in its written form; empty when it does not read.
std::string NumberText(int kind, const wchar_t* text, const NumberSeparators& seps)
{
    switch (kind) {
    case SEARCH_VALUE_INTEGER: {
        long n = 0;
        return ReadWholeNumber(text, seps, &n) ? std::to_string(n) : std::string();
    }
    case SEARCH_VALUE_REAL: {
        double x = 0;
        return ReadRealNumber(text, seps, &x) ? RealToFixedText(x) : std::string();
    }
    case SEARCH_VALUE_DATE: {
        double x = 0;
        return ReadDateValue(text, seps, &x, nullptr) ? DateToText(x) : std::string();
    }
    }
    return std::string();
}

const wchar_t* ValueAt(const SearchFieldEntry& entry, int i)
{
    return static_cast<const wchar_t*>(entry.Values->GetItems()[i]);
}

int ValueCount(const SearchFieldEntry& entry)
{
    return entry.Values ? entry.Values->GetCount() : 0;
}

std::string DescribeNumbers(const SearchFieldEntry& entry, int kind, const NumberSeparators& seps)
{
    std::vector<std::string> values;
    for (int i = 0; i < ValueCount(entry); ++i) {
        std::string text = NumberText(kind, ValueAt(entry, i), seps);
        if (!text.empty())
            values.push_back(text);
    }
    std::string out;
    if (!values.empty()) {
        out = " = ";
        AppendJoined(&out, values);
    }
    std::string low = entry.MinText ? NumberText(kind, entry.MinText, seps) : std::string();
    std::string high = entry.MaxText ? NumberText(kind, entry.MaxText, seps) : std::string();
    if (!low.empty())
        out += ", >= " + low;
    if (!high.empty())
        out += ", <= " + high;
    return out;
}

std::string DescribeTexts(const SearchFieldEntry& entry)
{
    std::vector<std::string> values;
    for (int i = 0; i < ValueCount(entry); ++i)
        values.push_back(Escaped(ValueAt(entry, i), kTextValueBytes));
    if (values.empty())
        return std::string();
    std::string out = " = ";
    AppendJoined(&out, values);
    return out;
}

std::string DescribeComposed(const SearchFieldEntry& entry, const CCustFld* field,
                             const WhereContext& context)
{
    std::vector<std::string> values;
    for (int i = 0; i < ValueCount(entry); ++i) {
        if (ComposedTextReads(field, ValueAt(entry, i), context))
            values.push_back(Escaped(ValueAt(entry, i), kTextValueBytes));
    }
    bool low = entry.MinText && ComposedTextReads(field, entry.MinText, context);
    bool high = entry.MaxText && ComposedTextReads(field, entry.MaxText, context);
    std::string out;
    if (!values.empty()) {
        out = " ";
        AppendJoined(&out, values);
        if (low || high)
            out += ",";
    }
    if (low)
        out += " >= " + Escaped(entry.MinText, kTextValueBytes);
    if (high)
        out += " <= " + Escaped(entry.MaxText, kTextValueBytes);
    return out;
}

}  // namespace

char* DescribeTreeSelection(HWND tree, const CPtrArray* levelCache, int plain)
{
    if (!tree)
        return nullptr;
    std::map<int, std::vector<std::wstring>> byLevel;
    ForEachCheckedTreeItem(tree, [&](HTREEITEM item, TreeItemData* data) {
        int level = LevelIdOf(data);
        if (level < 1)
            return;
        byLevel[level].push_back(plain > 0 ? GetTreeItemString(tree, item)
                                           : FullName(tree, item, levelCache));
    });
    std::string out;
    for (const auto& level : byLevel) {
        if (const LevelDef* def = levelCache ? FindLevelDef(levelCache, level.first) : nullptr) {
            AppendRtfText(&out, def->Name);
            out += ": ";
        }
        std::vector<std::string> texts;
        for (const std::wstring& text : level.second)
            texts.push_back(Escaped(text.c_str()));
        AppendJoined(&out, texts);
        AppendRtfLineEnd(&out);
    }
    return MallocCopy(out);
}

std::string DescribeCriterion(const SearchFieldEntry& entry, const wchar_t* caption,
                              const NumberSeparators& seps,
                              const std::function<const CustomAttrDef*(int, const wchar_t*)>& findAttr)
{
    const CFieldBase* field = entry.Field ? entry.Field->Field : nullptr;
    if (!field)
        return std::string();
    std::string body;
    if (field->Kind == FIELD_COMPOSED) {
        WhereContext context = {nullptr, 0, seps, findAttr};
        body = DescribeComposed(entry, static_cast<const CCustFld*>(field), context);
    } else if (field->Kind == FIELD_DATABASE) {
        int kind = FieldValueKind(entry.TableKind, field->Field, entry.AttrDef);
        if (kind == SEARCH_VALUE_TEXT)
            body = DescribeTexts(entry);
        else if (kind != SEARCH_VALUE_NONE)
            body = DescribeNumbers(entry, kind, seps);
    }
    if (body.empty())
        return std::string();
    std::string line = Escaped(caption, kCaptionBytes);
    line += body;
    AppendRtfLineEnd(&line);
    return line;
}

char* DescribeCriteria(HWND mainWnd, HWND fieldList)
{
    if (!fieldList)
        return nullptr;
    NumberSeparators seps = UserNumberSeparators();
    auto findAttr = [mainWnd](int table, const wchar_t* column) -> const CustomAttrDef* {
        if (!mainWnd)
            return nullptr;
        SendMessageW(mainWnd, ZM_FIND_NAME_ENTRY, static_cast<WPARAM>(table),
                     reinterpret_cast<LPARAM>(column));
        return reinterpret_cast<const CustomAttrDef*>(GetWindowLongPtrW(mainWnd, DWLP_MSGRESULT));
    };
    std::string out;
    int count = static_cast<int>(SendMessageW(fieldList, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        LRESULT data = SendMessageW(fieldList, LB_GETITEMDATA, static_cast<WPARAM>(i), 0);
        const SearchFieldEntry* entry = reinterpret_cast<const SearchFieldEntry*>(data);
        if (data == LB_ERR || !entry || entry->TextLength <= 0)
            continue;
        out += DescribeCriterion(*entry, GetListBoxEntryString(fieldList, i).c_str(), seps, findAttr);
    }
    return MallocCopy(out);
}
