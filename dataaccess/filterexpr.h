// Recordset Filter strings and Find criteria, parsed and evaluated by the layer (not by SQL), so that
// text comparison folds case the Unicode way and a bad criterion can be refused before it replaces
// the current one.
//
//   expr    := and { OR and }                 AND binds tighter than OR
//   and     := term { AND term }
//   term    := '(' expr ')' | column op literal
//   op      := = | <> | < | <= | > | >= | LIKE
//   column  := identifier | identifier ':' digits | '[' any ']'
//   literal := integer | real ('.' decimal point) | 'text' ('' = one apostrophe) | #date# | NULL
//
// Keywords ignore case. "col = NULL" matches NULL values and "col <> NULL" the others; any other
// comparison involving NULL is false.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dataaccess/adodefs.h"

namespace zdata {

struct FilterNode;  // the parsed tree (internal)

class FilterExpr
{
public:
    FilterExpr();
    ~FilterExpr();
    FilterExpr(FilterExpr&&) noexcept;
    FilterExpr& operator=(FilterExpr&&) noexcept;
    FilterExpr(const FilterExpr&) = delete;
    FilterExpr& operator=(const FilterExpr&) = delete;

    // Parses a Filter string or Find criterion. On failure returns false, leaves the expression
    // empty and describes the fault in *error (when given). An empty or blank text is an error here:
    // the caller treats "" as "no filter" before parsing.
    bool Parse(const wchar_t* text, std::wstring* error = nullptr);

    // Resolves a column name (as written, brackets removed) to the caller's column index and type.
    // Returns false for an unknown column.
    using ColumnResolver = std::function<bool(const std::wstring& name, int* index, DataTypeEnum* type)>;

    // Resolves every column and converts each literal to its column's type. Fails (with *error) for
    // an unknown column or a literal that the column's type cannot take ('abc' for an integer
    // column), so the caller can refuse the filter and keep the old one.
    bool Bind(const ColumnResolver& resolve, std::wstring* error = nullptr);

    // Fills *value with the value of the column at `index` (the resolver's index; `name` as written
    // in the criterion) for the row being tested. *value arrives as VT_EMPTY and is cleared afterwards.
    using ValueGetter = std::function<HRESULT(int index, const std::wstring& name, VARIANT* value)>;

    // True when the row satisfies the bound expression. A getter failure makes that comparison false.
    bool Matches(const ValueGetter& getValue) const;

    bool IsEmpty() const;
    bool IsBound() const;
    // True when the whole expression is a single "column op literal" (what Find accepts).
    bool IsSingleComparison() const;

    // When the whole expression is "column = literal" (no AND/OR), gives the column index (after Bind)
    // and the converted literal, so the caller can answer it from an index on that column.
    bool GetSimpleEquality(int* index, VARIANT* literal) const;

    // The "column = literal" comparisons every matching row satisfies: the whole expression, or the
    // comparisons joined by its top AND (after Bind). Column indexes and converted literals, which
    // the caller clears; NULL literals are left out.
    void GetEqualityTerms(std::vector<int>* indexes, std::vector<VARIANT>* literals) const;

    // The column names the expression uses, as written (brackets removed), each once.
    std::vector<std::wstring> ColumnNames() const;

private:
    std::unique_ptr<FilterNode> root_;
    bool bound_ = false;
};

// Parses and binds in one step; returns nullptr and *error on failure.
std::unique_ptr<FilterExpr> ParseFilter(const wchar_t* text, const FilterExpr::ColumnResolver& resolve,
                                        std::wstring* error = nullptr);

// Writes text as a criterion literal: 'O''Brien'.
std::wstring FilterQuote(const std::wstring& text);

// Writes typed or stored text as an SQL text literal, the same form: the one way a value's text
// enters a statement, so that nothing in it can change the statement's meaning.
inline std::wstring QuoteText(const std::wstring& text)
{
    return FilterQuote(text);
}

// Writes text for use inside a LIKE pattern literal, with its wildcards taken literally and its
// apostrophes doubled: "a*b'c" -> "a[*]b''c". The caller adds the quotes and any trailing '*'.
std::wstring FilterLikeEscape(const std::wstring& text);

}  // namespace zdata
