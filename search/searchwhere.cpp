#include "search/searchwhere.h"

#include <oleauto.h>

#include "core/attrdef.h"
#include "core/fieldmask.h"
#include "core/fields.h"
#include "dataaccess/rowset.h"

namespace {

std::wstring Join(const std::vector<std::wstring>& parts, const wchar_t* separator)
{
    std::wstring text;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i)
            text += separator;
        text += parts[i];
    }
    return text;
}

const wchar_t* TextAt(const CPtrArray* values, int i)
{
    return static_cast<const wchar_t*>(values->GetItems()[i]);
}

// ---- criteria on one column ----

struct Bound
{
    bool Present = false;
    std::wstring Literal;
};

// The integer, real and date kinds: values as "C = v" or "C IN (v, w)", then the range, after
// " OR " when values were written. The integer kind opens a two-sided range with " (".
std::wstring NumericCondition(const std::wstring& column, int kind, const SearchFieldEntry& entry,
                              const NumberSeparators& seps)
{
    std::vector<std::wstring> values;
    for (int i = 0; entry.Values && i < entry.Values->GetCount(); ++i) {
        std::wstring literal;
        if (SqlLiteral(kind, TextAt(entry.Values, i), seps, &literal))
            values.push_back(literal);
    }
    Bound low, high;
    const wchar_t* highOperator = L" <= ";
    if (entry.MinText)
        low.Present = SqlLiteral(kind, entry.MinText, seps, &low.Literal);
    if (entry.MaxText) {
        if (kind == SEARCH_VALUE_DATE) {
            // A day typed without a time covers the whole day.
            double day = 0;
            bool hasTime = false;
            if (ReadDateValue(entry.MaxText, seps, &day, &hasTime)) {
                high.Present = true;
                if (hasTime) {
                    high.Literal = RealToSqlText(day);
                } else {
                    high.Literal = RealToSqlText(day + 1);
                    highOperator = L" < ";
                }
            }
        } else {
            high.Present = SqlLiteral(kind, entry.MaxText, seps, &high.Literal);
        }
    }

    std::wstring text;
    if (!values.empty()) {
        text = column;
        if (values.size() > 1)
            text += L" IN (" + Join(values, L", ") + L")";
        else
            text += L" = " + values[0];
    }
    if (!low.Present && !high.Present)
        return text;
    if (!text.empty())
        text += L" OR ";
    bool both = low.Present && high.Present;
    if (both)
        text += kind == SEARCH_VALUE_INTEGER ? L" (" : L"(";
    if (low.Present)
        text += column + L" >= " + low.Literal;
    if (both)
        text += L" AND ";
    if (high.Present)
        text += column + highOperator + high.Literal;
    if (both)
        text += L")";
    return text;
}

std::wstring TextCondition(const std::wstring& column, const SearchFieldEntry& entry)
{
    std::vector<std::wstring> values;
    for (int i = 0; entry.Values && i < entry.Values->GetCount(); ++i) {
        std::wstring literal;
        if (SqlLiteral(SEARCH_VALUE_TEXT, TextAt(entry.Values, i), NumberSeparators(), &literal))
            values.push_back(literal);
    }
    if (values.empty())
        return std::wstring();
    if (values.size() == 1)
        return column + L" = " + values[0];
    return column + L" IN (" + Join(values, L", ") + L")";
}

// ---- composed fields ----

// One column a composed field refers to.
struct RefColumn
{
    std::wstring Name;  // quoted; empty when the reference is no column of the view
    int Kind = SEARCH_VALUE_NONE;
    bool Boolean = false;
};

std::vector<RefColumn> ReferencedColumns(const CCustFld* field, const WhereContext& context)
{
    std::vector<RefColumn> columns;
    int count = field->FieldRefs ? field->FieldRefs->GetCount() : 0;
    for (int i = 0; i < count; ++i) {
        RefColumn column;
        const CFieldBase* ref = static_cast<const CFieldBase*>(field->FieldRefs->GetItems()[i]);
        if (ref && ref->Kind == FIELD_DATABASE) {
            const CFieldInfo* info = static_cast<const CFieldInfo*>(ref);
            column.Name = context.Columns ? ViewColumnName(context, info->ColumnOrdinal)
                                          : zdata::QuoteIdentifier(info->Field);
            int table = SearchTableKindOf(info->TableName);
            const CustomAttrDef* def = nullptr;
            if (table != SEARCH_TABLE_OTHER && context.FindAttr)
                def = context.FindAttr(table, info->Field);
            column.Kind = ReferenceValueKind(info->Field, def);
            column.Boolean = def && def->Type == ATTR_BOOLEAN;
        }
        columns.push_back(column);
    }
    return columns;
}

// A text cut by the mask into one literal per referenced column; columns whose part is missing,
// empty or unreadable keep an empty literal.
std::vector<std::wstring> SplitLiterals(const CCustFld* field, const std::vector<RefColumn>& columns,
                                        const wchar_t* text, const NumberSeparators& seps)
{
    int count = static_cast<int>(columns.size());
    std::vector<std::wstring> literals(columns.size());
    if (count == 0 || !text)
        return literals;
    std::vector<VARIANT> parts(columns.size());
    for (VARIANT& v : parts)
        VariantInit(&v);
    // Without definitions every part comes back as its text; it is read here by its column's kind.
    SplitByMask(field->Mask, text, nullptr, parts.data(), count);
    for (int i = 0; i < count; ++i) {
        const VARIANT& part = parts[i];
        const RefColumn& column = columns[i];
        if (column.Name.empty() || part.vt != VT_BSTR || !part.bstrVal || !*part.bstrVal)
            continue;
        if (column.Boolean) {
            long n = 0;
            if (ReadWholeNumber(part.bstrVal, seps, &n))
                literals[i] = n ? L"-1" : L"0";
        } else {
            SqlLiteral(column.Kind, part.bstrVal, seps, &literals[i]);
        }
    }
    for (VARIANT& v : parts)
        VariantClear(&v);
    return literals;
}

// The lexicographic bound over the columns with a value, from column k on: ">" (or "<") on the
// leading columns and ">=" (or "<=") on the last.
std::wstring LexicographicBound(const std::vector<std::pair<std::wstring, std::wstring>>& pairs,
                                size_t k, const wchar_t* strict)
{
    const std::wstring& name = pairs[k].first;
    const std::wstring& value = pairs[k].second;
    if (k + 1 == pairs.size())
        return L"(" + name + L" " + strict + L"= " + value + L")";
    return L"((" + name + L" " + strict + L" " + value + L") OR (" + name + L" = " + value +
           L" AND " + LexicographicBound(pairs, k + 1, strict) + L"))";
}

std::wstring CustomBound(const CCustFld* field, const std::vector<RefColumn>& columns,
                         const wchar_t* text, const wchar_t* strict, const NumberSeparators& seps)
{
    if (!text)
        return std::wstring();
    std::vector<std::wstring> literals = SplitLiterals(field, columns, text, seps);
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (!literals[i].empty())
            pairs.emplace_back(columns[i].Name, literals[i]);
    }
    return pairs.empty() ? std::wstring() : LexicographicBound(pairs, 0, strict);
}

std::wstring CustomCondition(const CCustFld* field, const SearchFieldEntry& entry,
                             const WhereContext& context)
{
    std::vector<RefColumn> columns = ReferencedColumns(field, context);
    const NumberSeparators& seps = context.Separators;
    std::vector<std::wstring> clauses;
    for (int i = 0; entry.Values && i < entry.Values->GetCount(); ++i) {
        std::vector<std::wstring> literals = SplitLiterals(field, columns, TextAt(entry.Values, i), seps);
        std::vector<std::wstring> terms;
        for (size_t k = 0; k < columns.size(); ++k) {
            if (!literals[k].empty())
                terms.push_back(columns[k].Name + L" = " + literals[k]);
        }
        if (!terms.empty())
            clauses.push_back(L"(" + Join(terms, L" AND ") + L")");
    }
    std::wstring low = CustomBound(field, columns, entry.MinText, L">", seps);
    std::wstring high = CustomBound(field, columns, entry.MaxText, L"<", seps);

    std::wstring text = Join(clauses, L" OR ");
    bool values = !text.empty();
    bool both = !low.empty() && !high.empty();
    if (values && (!low.empty() || !high.empty()))
        text += L" OR ";
    if (values && both)
        text += L"(";
    text += low;
    if (both)
        text += L" AND ";
    text += high;
    if (values && both)
        text += L")";
    return text;
}

}  // namespace

void AddLevelId(LevelIdLists* lists, int levelId, int id)
{
    if (levelId < 1)
        return;
    if (lists->size() < static_cast<size_t>(levelId))
        lists->resize(static_cast<size_t>(levelId));
    (*lists)[static_cast<size_t>(levelId) - 1].push_back(id);
}

std::wstring BuildTreeCondition(const wchar_t* prefix, const LevelIdLists& lists)
{
    std::wstring text;
    for (size_t n = 0; n < lists.size(); ++n) {
        const std::vector<int>& ids = lists[n];
        if (ids.empty())
            continue;
        if (!text.empty())
            text += L" OR ";
        text += prefix + std::to_wstring(n + 1) + L" ";
        if (ids.size() == 1) {
            text += L"= " + std::to_wstring(ids[0]);
            continue;
        }
        text += L"IN (";
        for (size_t i = 0; i < ids.size(); ++i) {
            if (i)
                text += L", ";
            text += std::to_wstring(ids[i]);
        }
        text += L")";
    }
    return text;
}

std::wstring ViewColumnName(const WhereContext& context, int ordinal)
{
    if (!context.Columns || ordinal < 0 || ordinal >= context.ColumnCount)
        return std::wstring();
    const wchar_t* name = context.Columns[ordinal];
    if (!name || !*name)
        return std::wstring();
    return zdata::QuoteIdentifier(name);
}

std::wstring BuildCriterionCondition(const SearchFieldEntry& entry, const WhereContext& context)
{
    const CFieldBase* field = entry.Field ? entry.Field->Field : nullptr;
    if (!field)
        return std::wstring();
    if (field->Kind == FIELD_COMPOSED)
        return CustomCondition(static_cast<const CCustFld*>(field), entry, context);
    if (field->Kind != FIELD_DATABASE)
        return std::wstring();
    const CFieldInfo* info = static_cast<const CFieldInfo*>(field);
    std::wstring column = ViewColumnName(context, info->ColumnOrdinal);
    if (column.empty())
        return std::wstring();
    int kind = FieldValueKind(entry.TableKind, info->Field, entry.AttrDef);
    switch (kind) {
    case SEARCH_VALUE_INTEGER:
    case SEARCH_VALUE_REAL:
    case SEARCH_VALUE_DATE:
        return NumericCondition(column, kind, entry, context.Separators);
    case SEARCH_VALUE_TEXT:
        return TextCondition(column, entry);
    }
    return std::wstring();
}

bool ComposedTextReads(const CCustFld* field, const wchar_t* text, const WhereContext& context)
{
    if (!field)
        return false;
    std::vector<RefColumn> columns = ReferencedColumns(field, context);
    for (const std::wstring& literal : SplitLiterals(field, columns, text, context.Separators)) {
        if (!literal.empty())
            return true;
    }
    return false;
}

std::wstring BuildCriteriaText(const SearchFieldEntry* const* entries, int count,
                               const WhereContext& context)
{
    std::wstring text;
    for (int i = 0; i < count; ++i) {
        if (!entries[i] || entries[i]->TextLength <= 0)
            continue;
        std::wstring condition = BuildCriterionCondition(*entries[i], context);
        if (condition.empty())
            continue;
        text += text.empty() ? L"(" : L" AND (";
        text += condition;
        text += L")";
    }
    return text;
}

std::wstring CombineWhere(const std::wstring& sysTree, const std::wstring& locTree,
                          const std::wstring& criteria)
{
    std::wstring text;
    if (!sysTree.empty())
        text = L"(" + sysTree + L")";
    if (!locTree.empty()) {
        if (!text.empty())
            text += L" AND ";
        text += L"(" + locTree + L")";
    }
    if (!criteria.empty()) {
        if (!text.empty())
            text += L" AND ";
        text += criteria;
    }
    return text;
}
