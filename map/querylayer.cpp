#include "map/querylayer.h"

#include <oleauto.h>
#include <strsafe.h>

#include <cwctype>
#include <vector>

#include "search/querycriterion.h"
#include "core/attrdef.h"
#include "core/containers.h"
#include "core/fieldmask.h"
#include "core/fields.h"
#include "core/textutil.h"
#include "shellcontract/configdata.h"
#include "shellcontract/zm_protocol.h"

// ---- criteria

QueryCriterion* NewQueryCriterion()
{
    QueryCriterion* c = (QueryCriterion*)calloc(1, sizeof(QueryCriterion));
    if (c)
        c->Values = new CPtrArray(PTRARRAY_OWNS_ITEMS, 16, 4);
    return c;
}

void FreeQueryCriterion(QueryCriterion* criterion)
{
    if (!criterion)
        return;
    delete criterion->Values;  // with its values
    free(criterion);
}

QueryCriterion* MoveQueryCriterion(QueryCriterion* source)
{
    if (!source)
        return nullptr;
    QueryCriterion* copy = (QueryCriterion*)malloc(sizeof(QueryCriterion));
    if (!copy)
        return nullptr;
    *copy = *source;
    source->Values = nullptr;
    return copy;
}

// ---- values and names

int RecordColumnValueKind(const wchar_t* column, const CustomAttrDef* def)
{
    if (def)
        return AttrValueKind(def);
    static const wchar_t* const kKeys[] = {L"ID", L"SYSID", L"FTRID", L"LITID"};
    for (const wchar_t* key : kKeys)
        if (column && _wcsicmp(column, key) == 0)
            return SEARCH_VALUE_INTEGER;
    return BuiltInValueKind(column ? column : L"");
}

bool FilterLiteral(int kind, const wchar_t* text, const NumberSeparators& separators, std::wstring* out)
{
    if (kind != SEARCH_VALUE_DATE)
        return SqlLiteral(kind, text ? text : L"", separators, out);
    double date = 0;
    bool hasTime = false;
    SYSTEMTIME t = {};
    if (!text || !ReadDateValue(text, separators, &date, &hasTime) || !VariantTimeToSystemTime(date, &t))
        return false;
    wchar_t buffer[40];
    if (hasTime)
        StringCchPrintfW(buffer, 40, L"#%04u-%02u-%02u %02u:%02u:%02u#", t.wYear, t.wMonth, t.wDay, t.wHour,
                         t.wMinute, t.wSecond);
    else
        StringCchPrintfW(buffer, 40, L"#%04u-%02u-%02u#", t.wYear, t.wMonth, t.wDay);
    *out = buffer;
    return true;
}

std::wstring FilterColumnName(const wchar_t* column)
{
    std::wstring name = column ? column : L"";
    bool plain = !name.empty() && (iswalpha(name[0]) || name[0] == L'_');
    size_t colon = name.find(L':');
    for (size_t i = 0; plain && i < name.size(); ++i) {
        const wchar_t c = name[i];
        if (i == colon)
            plain = i + 1 < name.size();
        else if (colon != std::wstring::npos && i > colon)
            plain = iswdigit(c) != 0;
        else
            plain = c < 128 && (iswalnum(c) || c == L'_');
    }
    static const wchar_t* const kWords[] = {L"AND", L"OR", L"NOT", L"LIKE", L"NULL"};
    for (const wchar_t* word : kWords)
        if (_wcsicmp(name.c_str(), word) == 0)
            plain = false;
    return plain ? name : L"[" + name + L"]";
}

namespace {

const wchar_t* ValueAt(const CPtrArray* values, int i)
{
    return values ? (const wchar_t*)values->GetItems()[i] : nullptr;
}

// One value of a column for a criterion: its literal, or why there is none.
struct ColumnValue
{
    std::wstring Literal;  // empty: no value for this column
    bool Unreadable = false;
};

ColumnValue ReadColumnValue(int kind, bool boolean, const wchar_t* text, const NumberSeparators& seps)
{
    ColumnValue value;
    if (boolean) {
        long n = 0;
        if (ReadWholeNumber(text, seps, &n))
            value.Literal = n ? L"-1" : L"0";
        else
            value.Unreadable = true;
    } else if (!FilterLiteral(kind, text, seps, &value.Literal)) {
        value.Unreadable = true;
    }
    return value;
}

// ---- a column of the records (FieldType 1)

std::wstring ColumnCondition(const QueryCriterion& c, const QueryConditionContext& context)
{
    const CustomAttrDef* def = context.FindAttr ? context.FindAttr(3, c.FieldName) : nullptr;
    const int kind = RecordColumnValueKind(c.FieldName, def);
    const bool boolean = def && def->Type == ATTR_BOOLEAN;
    const std::wstring column = FilterColumnName(c.FieldName);
    auto literal = [&](const wchar_t* text, std::wstring* out) {
        ColumnValue v = ReadColumnValue(kind, boolean, text, context.Separators);
        *out = v.Literal;
        return !v.Unreadable;
    };
    static const wchar_t* const kOperators[] = {L" < ", L" <= ", L" > ", L" >= ", nullptr, L" = "};
    std::wstring low, high;
    switch (c.Operator) {
    case QUERY_OP_LESS:
    case QUERY_OP_LESS_EQUAL:
    case QUERY_OP_GREATER:
    case QUERY_OP_GREATER_EQUAL:
    case QUERY_OP_EQUAL:
        if (!literal(c.MinValue, &low))
            return std::wstring();
        return column + kOperators[c.Operator] + low;
    case QUERY_OP_BETWEEN:
        if (!literal(c.MinValue, &low) || !literal(c.MaxValue, &high))
            return std::wstring();
        return column + L" >= " + low + L" AND " + column + L" <= " + high;
    case QUERY_OP_ANY_OF: {
        // No values chosen: no condition, so the layer draws nothing.
        std::wstring text;
        const int count = c.Values ? c.Values->GetCount() : 0;
        for (int i = 0; i < count; ++i) {
            std::wstring value;
            if (!literal(ValueAt(c.Values, i), &value))
                return std::wstring();
            text += (text.empty() ? L"" : L" OR ") + column + L" = " + value;
        }
        return text;
    }
    default:
        return std::wstring();
    }
}

// ---- a composed field (FieldType 2)

struct RefColumn
{
    std::wstring Name;
    int Kind = SEARCH_VALUE_TEXT;
    bool Boolean = false;
};

std::vector<RefColumn> ReferencedColumns(const CCustFld* field, const QueryConditionContext& context)
{
    std::vector<RefColumn> columns;
    const int count = field->FieldRefs ? field->FieldRefs->GetCount() : 0;
    for (int i = 0; i < count; ++i) {
        const CFieldBase* ref = (const CFieldBase*)field->FieldRefs->GetItems()[i];
        RefColumn column;
        if (ref) {
            column.Name = FilterColumnName(ref->Field);
            const CustomAttrDef* def = nullptr;
            if (ref->Kind == FIELD_DATABASE && context.FindAttr) {
                const int table = SearchTableKindOf(static_cast<const CFieldInfo*>(ref)->TableName);
                if (table != SEARCH_TABLE_OTHER)
                    def = context.FindAttr(table, ref->Field);
            }
            column.Kind = ReferenceValueKind(ref->Field, def);
            column.Boolean = def && def->Type == ATTR_BOOLEAN;
        }
        columns.push_back(column);
    }
    return columns;
}

// The text cut by the mask into one value per column; false when a part does not read.
bool SplitValues(const CCustFld* field, const std::vector<RefColumn>& columns, const wchar_t* text,
                 const NumberSeparators& seps, std::vector<std::wstring>* literals)
{
    const int count = (int)columns.size();
    literals->assign(columns.size(), std::wstring());
    std::vector<VARIANT> parts(columns.size());
    for (VARIANT& v : parts)
        VariantInit(&v);
    // Without definitions every part comes back as its text, read here by its column's kind.
    SplitByMask(field->Mask, text ? text : L"", nullptr, parts.data(), count);
    bool ok = true;
    for (int i = 0; i < count && ok; ++i) {
        const VARIANT& part = parts[i];
        if (part.vt != VT_BSTR || !part.bstrVal || !*part.bstrVal || columns[i].Name.empty())
            continue;  // no value: that comparison is left out
        ColumnValue value = ReadColumnValue(columns[i].Kind, columns[i].Boolean, part.bstrVal, seps);
        ok = !value.Unreadable;
        (*literals)[i] = value.Literal;
    }
    for (VARIANT& v : parts)
        VariantClear(&v);
    return ok;
}

std::wstring Comparison(const RefColumn& column, const wchar_t* op, const std::wstring& literal)
{
    return literal.empty() ? std::wstring() : L"(" + column.Name + op + literal + L")";
}

// Joins the comparisons that are there; a term of more than one goes into parentheses when asked.
std::wstring Term(const std::vector<std::wstring>& comparisons, bool parenthesised)
{
    std::wstring text;
    int joined = 0;
    for (const std::wstring& part : comparisons) {
        if (part.empty())
            continue;
        text += (joined++ ? L" AND " : L"") + part;
    }
    return parenthesised && joined > 1 ? L"(" + text + L")" : text;
}

// The lexicographic comparison L(op1, op2): for each column i the equalities of the columns
// before it and the comparison of column i (op1, the last op2), the terms joined by OR.
std::wstring Lexicographic(const std::vector<RefColumn>& columns, const std::vector<std::wstring>& values,
                           const wchar_t* op1, const wchar_t* op2)
{
    const size_t n = columns.size();
    std::wstring text;
    for (size_t i = 0; i < n; ++i) {
        std::vector<std::wstring> comparisons;
        for (size_t k = 0; k < i; ++k)
            comparisons.push_back(Comparison(columns[k], L" = ", values[k]));
        comparisons.push_back(Comparison(columns[i], i + 1 < n ? op1 : op2, values[i]));
        std::wstring term = Term(comparisons, i > 0);
        if (!term.empty())
            text += (text.empty() ? L"" : L" OR ") + term;
    }
    return text;
}

std::wstring CustomCondition(const QueryCriterion& c, const QueryConditionContext& context)
{
    const CCustFld* field = context.FindCustomField ? context.FindCustomField(c.FieldName) : nullptr;
    if (!field || !field->FieldRefs || field->FieldRefs->GetCount() < 1)
        return std::wstring();
    std::vector<RefColumn> columns = ReferencedColumns(field, context);
    std::vector<std::wstring> low, high;
    if (!SplitValues(field, columns, c.MinValue, context.Separators, &low))
        return std::wstring();
    switch (c.Operator) {
    case QUERY_OP_LESS: return Lexicographic(columns, low, L" < ", L" < ");
    case QUERY_OP_LESS_EQUAL: return Lexicographic(columns, low, L" < ", L" <= ");
    case QUERY_OP_GREATER: return Lexicographic(columns, low, L" > ", L" > ");
    case QUERY_OP_GREATER_EQUAL: return Lexicographic(columns, low, L" > ", L" >= ");
    case QUERY_OP_BETWEEN: {
        if (!SplitValues(field, columns, c.MaxValue, context.Separators, &high))
            return std::wstring();
        std::wstring from = Lexicographic(columns, low, L" > ", L" >= ");
        std::wstring to = Lexicographic(columns, high, L" < ", L" <= ");
        if (from.empty() || to.empty())
            return from.empty() ? to : from;
        return L"(" + from + L") AND (" + to + L")";
    }
    case QUERY_OP_EQUAL: {
        std::vector<std::wstring> comparisons;
        for (size_t i = 0; i < columns.size(); ++i)
            comparisons.push_back(Comparison(columns[i], L" = ", low[i]));
        return Term(comparisons, false);
    }
    default:
        return std::wstring();
    }
}

// A value of the kind as a number to compare; false for texts and for what does not read.
bool ComparableValue(int kind, const wchar_t* text, const NumberSeparators& seps, double* out)
{
    if (!text || !*text)
        return false;
    if (kind == SEARCH_VALUE_DATE)
        return ReadDateValue(text, seps, out, nullptr);
    if (kind == SEARCH_VALUE_INTEGER || kind == SEARCH_VALUE_REAL)
        return ReadRealNumber(text, seps, out);
    return false;
}

// -1 when the low value lies below the high one, 1 above, 0 equal or not to be judged.
int CompareValues(int kind, const wchar_t* low, const wchar_t* high, const NumberSeparators& seps)
{
    double a = 0, b = 0;
    if (!ComparableValue(kind, low, seps, &a) || !ComparableValue(kind, high, seps, &b))
        return 0;
    return a < b ? -1 : a > b ? 1 : 0;
}

bool CustomRangeReversed(const QueryCriterion& c, const QueryConditionContext& context)
{
    const CCustFld* field = context.FindCustomField ? context.FindCustomField(c.FieldName) : nullptr;
    if (!field || !field->FieldRefs || field->FieldRefs->GetCount() < 1)
        return false;
    const std::vector<RefColumn> columns = ReferencedColumns(field, context);
    const int count = (int)columns.size();
    std::vector<VARIANT> low(columns.size()), high(columns.size());
    for (int i = 0; i < count; ++i) {
        VariantInit(&low[i]);
        VariantInit(&high[i]);
    }
    SplitByMask(field->Mask, c.MinValue, nullptr, low.data(), count);
    SplitByMask(field->Mask, c.MaxValue, nullptr, high.data(), count);
    int order = 0;
    for (int i = 0; i < count && order == 0; ++i) {
        const bool both = low[i].vt == VT_BSTR && high[i].vt == VT_BSTR && !columns[i].Boolean;
        if (!both)
            break;  // a part missing on either side: the order cannot be told
        order = CompareValues(columns[i].Kind, low[i].bstrVal, high[i].bstrVal, context.Separators);
        if (order == 0 && (!low[i].bstrVal || !high[i].bstrVal || wcscmp(low[i].bstrVal, high[i].bstrVal) != 0))
            break;  // parts that differ but cannot be compared
    }
    for (int i = 0; i < count; ++i) {
        VariantClear(&low[i]);
        VariantClear(&high[i]);
    }
    return order > 0;
}

}  // namespace

bool QueryRangeReversed(const QueryCriterion& c, const QueryConditionContext& context)
{
    if (c.Operator != QUERY_OP_BETWEEN)
        return false;
    if (c.FieldType == FIELD_COMPOSED)
        return CustomRangeReversed(c, context);
    if (c.FieldType != FIELD_DATABASE)
        return false;
    const CustomAttrDef* def = context.FindAttr ? context.FindAttr(3, c.FieldName) : nullptr;
    if (def && def->Type == ATTR_BOOLEAN)
        return false;
    return CompareValues(RecordColumnValueKind(c.FieldName, def), c.MinValue, c.MaxValue, context.Separators) > 0;
}

QueryConditionContext RecordQueryContext(HWND mainWindow, ConfigData* config)
{
    QueryConditionContext context;
    context.Separators = UserNumberSeparators();
    context.FindCustomField = [config](const wchar_t* name) -> const CCustFld* {
        CObjArray* fields = config ? config->CustomFields : nullptr;
        for (int i = 0; fields && i < fields->GetCount(); ++i) {
            const CCustFld* field = (const CCustFld*)fields->GetItems()[i];
            if (field && field->Kind == FIELD_COMPOSED && field->UseForSearch && _wcsicmp(field->Field, name) == 0)
                return field;
        }
        return nullptr;
    };
    context.FindAttr = [mainWindow](int table, const wchar_t* column) -> const CustomAttrDef* {
        return mainWindow ? (const CustomAttrDef*)SendZm(mainWindow, ZM_FIND_NAME_ENTRY, table, (LPARAM)column)
                          : nullptr;
    };
    return context;
}

std::wstring BuildQueryCondition(const QueryCriterion& criterion, const QueryConditionContext& context)
{
    if (criterion.FieldType == FIELD_DATABASE)
        return ColumnCondition(criterion, context);
    if (criterion.FieldType == FIELD_COMPOSED)
        return CustomCondition(criterion, context);
    return std::wstring();
}
