#include "dataaccess/filterexpr.h"
#include "dataaccess/enclose.h"

#include <algorithm>
#include <climits>
#include <cwchar>
#include <cwctype>

#include "dataaccess/varconv.h"

namespace zdata {

namespace {

enum class Op { Eq, Ne, Lt, Le, Gt, Ge, Like };

enum class Tok { End, LParen, RParen, Op, Word, Column, String, Number, Date, Error };

struct Token
{
    Tok kind = Tok::End;
    Op op = Op::Eq;
    std::wstring text;   // word, column name (brackets removed), string contents, number text, date text
    size_t pos = 0;      // 1-based position in the criterion, for messages
};

bool IsIdentStart(wchar_t c) { return c == L'_' || iswalpha(c) || c >= 0x80; }
bool IsIdentChar(wchar_t c) { return c == L'_' || iswalnum(c) || c >= 0x80; }

std::wstring Upper(const std::wstring& s)
{
    std::wstring r(s);
    for (wchar_t& c : r)
        if (c >= L'a' && c <= L'z')
            c = wchar_t(c - 32);
    return r;
}

class Lexer
{
public:
    explicit Lexer(const wchar_t* text) : s_(text ? text : L"") {}

    Token Next()
    {
        while (s_[i_] == L' ' || s_[i_] == L'\t' || s_[i_] == L'\r' || s_[i_] == L'\n')
            ++i_;
        Token t;
        t.pos = i_ + 1;
        wchar_t c = s_[i_];
        if (c == 0) {
            t.kind = Tok::End;
            return t;
        }
        if (c == L'(') { ++i_; t.kind = Tok::LParen; return t; }
        if (c == L')') { ++i_; t.kind = Tok::RParen; return t; }
        if (c == L'=') { ++i_; t.kind = Tok::Op; t.op = Op::Eq; return t; }
        if (c == L'<') {
            ++i_;
            t.kind = Tok::Op;
            if (s_[i_] == L'>') { ++i_; t.op = Op::Ne; }
            else if (s_[i_] == L'=') { ++i_; t.op = Op::Le; }
            else t.op = Op::Lt;
            return t;
        }
        if (c == L'>') {
            ++i_;
            t.kind = Tok::Op;
            if (s_[i_] == L'=') { ++i_; t.op = Op::Ge; }
            else t.op = Op::Gt;
            return t;
        }
        if (c == L'\'') {
            ++i_;
            for (;;) {
                if (s_[i_] == 0)
                    return Fail(t, L"text není uzavřen apostrofem");
                if (s_[i_] == L'\'') {
                    if (s_[i_ + 1] == L'\'') {  // '' stands for one apostrophe
                        t.text += L'\'';
                        i_ += 2;
                        continue;
                    }
                    ++i_;
                    break;
                }
                t.text += s_[i_++];
            }
            t.kind = Tok::String;
            return t;
        }
        if (c == L'#') {
            ++i_;
            while (s_[i_] && s_[i_] != L'#')
                t.text += s_[i_++];
            if (s_[i_] != L'#')
                return Fail(t, L"datum není uzavřeno znakem „#“");
            ++i_;
            t.kind = Tok::Date;
            return t;
        }
        if (c == L'[') {
            ++i_;
            while (s_[i_] && s_[i_] != L']')
                t.text += s_[i_++];
            if (s_[i_] != L']')
                return Fail(t, L"název sloupce není uzavřen znakem „]“");
            ++i_;
            if (t.text.empty())
                return Fail(t, L"prázdný název sloupce");
            t.kind = Tok::Column;
            return t;
        }
        if ((c >= L'0' && c <= L'9') || c == L'.' || ((c == L'-' || c == L'+') &&
            ((s_[i_ + 1] >= L'0' && s_[i_ + 1] <= L'9') || s_[i_ + 1] == L'.'))) {
            size_t start = i_;
            if (c == L'-' || c == L'+')
                ++i_;
            bool digits = false;
            while (s_[i_] >= L'0' && s_[i_] <= L'9') { ++i_; digits = true; }
            if (s_[i_] == L'.') {
                ++i_;
                while (s_[i_] >= L'0' && s_[i_] <= L'9') { ++i_; digits = true; }
            }
            if (digits && (s_[i_] == L'e' || s_[i_] == L'E')) {
                size_t save = i_++;
                if (s_[i_] == L'+' || s_[i_] == L'-')
                    ++i_;
                if (s_[i_] >= L'0' && s_[i_] <= L'9') {
                    while (s_[i_] >= L'0' && s_[i_] <= L'9')
                        ++i_;
                } else {
                    i_ = save;
                }
            }
            if (!digits || IsIdentChar(s_[i_]))
                return Fail(t, L"číslo není zapsáno správně");
            t.text.assign(s_ + start, i_ - start);
            t.kind = Tok::Number;
            return t;
        }
        if (IsIdentStart(c)) {
            size_t start = i_;
            while (IsIdentChar(s_[i_]))
                ++i_;
            // A view's duplicate column: NAME:1
            if (s_[i_] == L':' && s_[i_ + 1] >= L'0' && s_[i_ + 1] <= L'9') {
                ++i_;
                while (s_[i_] >= L'0' && s_[i_] <= L'9')
                    ++i_;
            }
            t.text.assign(s_ + start, i_ - start);
            t.kind = Tok::Word;
            return t;
        }
        return Fail(t, L"nečekaný znak");
    }

    const std::wstring& Error() const { return error_; }

private:
    Token Fail(Token t, const wchar_t* what)
    {
        t.kind = Tok::Error;
        error_ = what;
        return t;
    }

    const wchar_t* s_;
    size_t i_ = 0;
    std::wstring error_;
};

void SetVariantText(VARIANT* v, const std::wstring& s)
{
    VariantClear(v);
    v->vt = VT_BSTR;
    v->bstrVal = SysAllocStringLen(s.data(), UINT(s.size()));
}

// #date# literal: ISO "yyyy-mm-dd[ hh:mm[:ss]]" or the invariant (US) "m/d/yyyy [h:mm[:ss] [AM|PM]]".
bool ParseDateLiteral(const std::wstring& text, DATE* out)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    int n = swscanf(text.c_str(), L"%4d-%2d-%2d %2d:%2d:%2d", &y, &mo, &d, &h, &mi, &s);
    if (n == 3 || n >= 5) {
        SYSTEMTIME st = {};
        st.wYear = WORD(y);
        st.wMonth = WORD(mo);
        st.wDay = WORD(d);
        st.wHour = WORD(h);
        st.wMinute = WORD(mi);
        st.wSecond = WORD(s);
        double dt = 0;
        if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59)
            return false;
        if (!SystemTimeToVariantTime(&st, &dt))
            return false;
        // Refuse days the month does not have (#2021-02-30#) instead of rolling over.
        SYSTEMTIME back = {};
        if (!VariantTimeToSystemTime(dt, &back) || back.wYear != st.wYear || back.wMonth != st.wMonth ||
            back.wDay != st.wDay)
            return false;
        *out = dt;
        return true;
    }
    return SUCCEEDED(VarDateFromStr(const_cast<wchar_t*>(text.c_str()), LOCALE_INVARIANT, 0, out));
}

}  // namespace

struct FilterNode
{
    enum class Kind { And, Or, Compare } kind = Kind::Compare;
    std::vector<std::unique_ptr<FilterNode>> children;

    // Compare
    std::wstring column;
    Op op = Op::Eq;
    bool nullLiteral = false;
    VARIANT literal;   // as written
    VARIANT bound;     // converted to the column's type
    int index = -1;
    DataTypeEnum type = adEmpty;

    FilterNode() { VariantInit(&literal); VariantInit(&bound); }
    ~FilterNode() { VariantClear(&literal); VariantClear(&bound); }
};

namespace {

class Parser
{
public:
    Parser(const wchar_t* text, std::wstring* error) : lex_(text), error_(error) { Advance(); }

    std::unique_ptr<FilterNode> ParseAll()
    {
        if (cur_.kind == Tok::End)
            return Fail(L"podmínka je prázdná");
        auto e = ParseOr();
        if (!e)
            return nullptr;
        if (cur_.kind != Tok::End)
            return Fail(cur_.kind == Tok::RParen ? L"')' without '('" : L"AND or OR expected");
        return e;
    }

private:
    using NodePtr = std::unique_ptr<FilterNode>;

    void Advance() { cur_ = lex_.Next(); }

    bool IsKeyword(const wchar_t* kw) const { return cur_.kind == Tok::Word && Upper(cur_.text) == kw; }

    NodePtr Fail(const std::wstring& what)
    {
        if (error_ && error_->empty()) {
            wchar_t pos[32];
            _snwprintf(pos, 32, L"%u", unsigned(cur_.pos));
            pos[31] = 0;
            const std::wstring& lexError = lex_.Error();
            *error_ = L"Podmínka filtru je neplatná na pozici " + std::wstring(pos) + L": " +
                      (cur_.kind == Tok::Error && !lexError.empty() ? lexError : what) + L".";
        }
        return nullptr;
    }

    NodePtr Combine(FilterNode::Kind kind, NodePtr left, NodePtr right)
    {
        if (left->kind == kind) {
            left->children.push_back(std::move(right));
            return left;
        }
        auto n = std::make_unique<FilterNode>();
        n->kind = kind;
        n->children.push_back(std::move(left));
        n->children.push_back(std::move(right));
        return n;
    }

    NodePtr ParseOr()
    {
        NodePtr left = ParseAnd();
        if (!left)
            return nullptr;
        while (IsKeyword(L"OR")) {
            Advance();
            NodePtr right = ParseAnd();
            if (!right)
                return nullptr;
            left = Combine(FilterNode::Kind::Or, std::move(left), std::move(right));
        }
        return left;
    }

    NodePtr ParseAnd()
    {
        NodePtr left = ParseTerm();
        if (!left)
            return nullptr;
        while (IsKeyword(L"AND")) {
            Advance();
            NodePtr right = ParseTerm();
            if (!right)
                return nullptr;
            left = Combine(FilterNode::Kind::And, std::move(left), std::move(right));
        }
        return left;
    }

    NodePtr ParseTerm()
    {
        if (cur_.kind == Tok::LParen) {
            Advance();
            NodePtr inner = ParseOr();
            if (!inner)
                return nullptr;
            if (cur_.kind != Tok::RParen)
                return Fail(L"očekává se „)“");
            Advance();
            return inner;
        }
        auto n = std::make_unique<FilterNode>();
        if (cur_.kind == Tok::Column) {
            n->column = cur_.text;
        } else if (cur_.kind == Tok::Word) {
            std::wstring u = Upper(cur_.text);
            if (u == L"AND" || u == L"OR" || u == L"LIKE" || u == L"NULL" || u == L"NOT")
                return Fail(L"očekává se název sloupce");
            n->column = cur_.text;
        } else {
            return Fail(L"očekává se název sloupce");
        }
        Advance();
        if (cur_.kind == Tok::Op) {
            n->op = cur_.op;
        } else if (IsKeyword(L"LIKE")) {
            n->op = Op::Like;
        } else {
            return Fail(L"očekává se porovnávací operátor");
        }
        Advance();
        switch (cur_.kind) {
        case Tok::String:
            SetVariantText(&n->literal, cur_.text);
            break;
        case Tok::Number: {
            const std::wstring& t = cur_.text;
            bool integral = t.find_first_of(L".eE") == std::wstring::npos;
            wchar_t* end = nullptr;
            if (integral) {
                long long v = wcstoll(t.c_str(), &end, 10);
                if (v >= INT_MIN && v <= INT_MAX) {
                    n->literal.vt = VT_I4;
                    n->literal.lVal = LONG(v);
                } else {
                    n->literal.vt = VT_R8;
                    n->literal.dblVal = wcstod(t.c_str(), &end);
                }
            } else {
                n->literal.vt = VT_R8;
                n->literal.dblVal = wcstod(t.c_str(), &end);
            }
            break;
        }
        case Tok::Date: {
            DATE d = 0;
            if (!ParseDateLiteral(cur_.text, &d))
                return Fail(L"datum mezi znaky „#“ je neplatné");
            n->literal.vt = VT_DATE;
            n->literal.date = d;
            break;
        }
        case Tok::Word:
            if (Upper(cur_.text) == L"NULL") {
                if (n->op != Op::Eq && n->op != Op::Ne)
                    return Fail(L"NULL lze porovnávat jen pomocí = nebo <>");
                n->nullLiteral = true;
                n->literal.vt = VT_NULL;
                break;
            }
            return Fail(L"očekává se hodnota (číslo, 'text', #datum# nebo NULL)");
        default:
            return Fail(L"očekává se hodnota (číslo, 'text', #datum# nebo NULL)");
        }
        if (n->op == Op::Like && n->literal.vt != VT_BSTR)
            return Fail(L"LIKE vyžaduje textový vzor v apostrofech");
        Advance();
        return n;
    }

    Lexer lex_;
    std::wstring* error_;
    Token cur_;
};

bool BindNode(FilterNode* n, const FilterExpr::ColumnResolver& resolve, std::wstring* error)
{
    if (n->kind != FilterNode::Kind::Compare) {
        for (auto& c : n->children)
            if (!BindNode(c.get(), resolve, error))
                return false;
        return true;
    }
    int index = -1;
    DataTypeEnum type = adEmpty;
    if (!resolve || !resolve(n->column, &index, &type)) {
        if (error)
            *error = L"Filtr uvádí sloupec, který sada záznamů nemá: " + n->column + L".";
        return false;
    }
    n->index = index;
    n->type = type;
    VariantClear(&n->bound);
    if (n->nullLiteral || n->op == Op::Like || type == adEmpty || type == adVariant) {
        VariantCopy(&n->bound, &n->literal);
        return true;
    }
    // A number stays a number against a numeric column (ID = 2.5 matches nothing, rather than 2);
    // otherwise the literal takes the column's type, and a literal the type cannot take is refused.
    bool numericLiteral = n->literal.vt == VT_I4 || n->literal.vt == VT_R8 || n->literal.vt == VT_DATE;
    if (numericLiteral && (IsNumericType(type) || type == adDate || type == adDBDate ||
                           type == adDBTimeStamp || type == adDBTime)) {
        VariantCopy(&n->bound, &n->literal);
        return true;
    }
    HRESULT hr = CoerceVariant(type, n->literal, &n->bound);
    if (FAILED(hr)) {
        if (error)
            *error = L"Filtr porovnává sloupec " + n->column +
                     L" s hodnotou jiného typu, kterou nelze převést.";
        return false;
    }
    return true;
}

bool EvalCompare(const FilterNode& n, const FilterExpr::ValueGetter& get)
{
    VARIANT v;
    VariantInit(&v);
    if (FAILED(get(n.index, n.column, &v))) {
        VariantClear(&v);
        return false;
    }
    const VARIANT* pv = &v;
    if (pv->vt == (VT_BYREF | VT_VARIANT) && pv->pvarVal)
        pv = pv->pvarVal;
    bool isNull = pv->vt == VT_NULL || pv->vt == VT_EMPTY;
    bool result = false;
    if (n.nullLiteral) {
        result = (n.op == Op::Eq) ? isNull : !isNull;
    } else if (isNull) {
        result = false;
    } else if (n.op == Op::Like) {
        const wchar_t* pat = n.bound.bstrVal ? n.bound.bstrVal : L"";
        size_t patLen = n.bound.bstrVal ? SysStringLen(n.bound.bstrVal) : 0;
        if (pv->vt == VT_BSTR) {
            result = LikeMatch(pv->bstrVal ? pv->bstrVal : L"", pv->bstrVal ? SysStringLen(pv->bstrVal) : 0,
                               pat, patLen);
        } else {
            VARIANT t;
            VariantInit(&t);
            if (SUCCEEDED(VariantChangeTypeEx(&t, const_cast<VARIANT*>(pv), LOCALE_USER_DEFAULT, 0, VT_BSTR)))
                result = LikeMatch(t.bstrVal ? t.bstrVal : L"", t.bstrVal ? SysStringLen(t.bstrVal) : 0, pat,
                                   patLen);
            VariantClear(&t);
        }
    } else {
        CompareResult c = CompareVariants(*pv, n.bound);
        switch (c) {
        case CompareResult::Less: result = n.op == Op::Lt || n.op == Op::Le || n.op == Op::Ne; break;
        case CompareResult::Equal: result = n.op == Op::Eq || n.op == Op::Le || n.op == Op::Ge; break;
        case CompareResult::Greater: result = n.op == Op::Gt || n.op == Op::Ge || n.op == Op::Ne; break;
        default: result = false; break;
        }
    }
    VariantClear(&v);
    return result;
}

bool EvalNode(const FilterNode& n, const FilterExpr::ValueGetter& get)
{
    switch (n.kind) {
    case FilterNode::Kind::And:
        for (const auto& c : n.children)
            if (!EvalNode(*c, get))
                return false;
        return true;
    case FilterNode::Kind::Or:
        for (const auto& c : n.children)
            if (EvalNode(*c, get))
                return true;
        return false;
    case FilterNode::Kind::Compare:
        return EvalCompare(n, get);
    }
    return false;
}

void CollectColumns(const FilterNode& n, std::vector<std::wstring>* names)
{
    if (n.kind == FilterNode::Kind::Compare) {
        for (const auto& s : *names)
            if (s == n.column)
                return;
        names->push_back(n.column);
        return;
    }
    for (const auto& c : n.children)
        CollectColumns(*c, names);
}

}  // namespace

FilterExpr::FilterExpr() = default;
FilterExpr::~FilterExpr() = default;
FilterExpr::FilterExpr(FilterExpr&&) noexcept = default;
FilterExpr& FilterExpr::operator=(FilterExpr&&) noexcept = default;

bool FilterExpr::Parse(const wchar_t* text, std::wstring* error)
{
    root_.reset();
    bound_ = false;
    std::wstring message;
    Parser p(text, &message);
    root_ = p.ParseAll();
    if (!root_) {
        if (error)
            *error = message.empty() ? std::wstring(L"Podmínka filtru je neplatná.") : message;
        return false;
    }
    return true;
}

bool FilterExpr::Bind(const ColumnResolver& resolve, std::wstring* error)
{
    bound_ = false;
    if (!root_) {
        if (error)
            *error = L"Není zadána žádná podmínka filtru.";
        return false;
    }
    if (!BindNode(root_.get(), resolve, error))
        return false;
    bound_ = true;
    return true;
}

bool FilterExpr::Matches(const ValueGetter& getValue) const
{
    if (!root_ || !bound_ || !getValue)
        return false;
    return EvalNode(*root_, getValue);
}

bool FilterExpr::IsEmpty() const { return !root_; }
bool FilterExpr::IsBound() const { return bound_; }

bool FilterExpr::IsSingleComparison() const { return root_ && root_->kind == FilterNode::Kind::Compare; }

bool FilterExpr::GetSimpleEquality(int* index, VARIANT* literal) const
{
    if (!IsSingleComparison() || !bound_ || root_->op != Op::Eq || root_->nullLiteral)
        return false;
    if (index)
        *index = root_->index;
    if (literal) {
        VariantClear(literal);
        VariantCopy(literal, &root_->bound);
    }
    return true;
}

void FilterExpr::GetEqualityTerms(std::vector<int>* indexes, std::vector<VARIANT>* literals) const
{
    if (!root_ || !bound_)
        return;
    auto take = [&](const FilterNode& n) {
        if (n.kind != FilterNode::Kind::Compare || n.op != Op::Eq || n.nullLiteral)
            return;
        indexes->push_back(n.index);
        VARIANT v;
        VariantInit(&v);
        VariantCopy(&v, const_cast<VARIANT*>(&n.bound));
        literals->push_back(v);
    };
    if (root_->kind == FilterNode::Kind::And) {
        for (const auto& child : root_->children)
            take(*child);
    } else {
        take(*root_);
    }
}

std::vector<std::wstring> FilterExpr::ColumnNames() const
{
    std::vector<std::wstring> names;
    if (root_)
        CollectColumns(*root_, &names);
    return names;
}

std::unique_ptr<FilterExpr> ParseFilter(const wchar_t* text, const FilterExpr::ColumnResolver& resolve,
                                        std::wstring* error)
{
    auto f = std::make_unique<FilterExpr>();
    if (!f->Parse(text, error) || !f->Bind(resolve, error))
        return nullptr;
    return f;
}

std::wstring FilterQuote(const std::wstring& text)
{
    return Enclose(text, L'\'', L'\'');
}

std::wstring FilterLikeEscape(const std::wstring& text)
{
    std::wstring r;
    for (wchar_t c : text) {
        if (c == L'*' || c == L'%' || c == L'[') {
            r += L'[';
            r += c;
            r += L']';
        } else if (c == L'\'') {
            r += L"''";
        } else {
            r += c;
        }
    }
    return r;
}

}  // namespace zdata
