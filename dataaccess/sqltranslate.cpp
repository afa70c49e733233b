#include "dataaccess/sqltranslate.h"

#include <cwctype>
#include <vector>

namespace zdata {

const wchar_t* const kLitViewSql =
    L"CREATE VIEW LITVIEW AS SELECT T1.*, T2.NAME, T3.NAME, T4.NAME FROM LITERATURE AS T1 "
    L"LEFT JOIN LITAUTHORS AS T4 ON T4.ID = T1.FIRSTAUTHOR "
    L"LEFT JOIN JOURNALS AS T3 ON T3.ID = T1.JOURNALID "
    L"LEFT JOIN EDITORS AS T2 ON T2.ID = T1.EDITOR";

namespace {

// The program's own LITVIEW text, as Jet took it.
const wchar_t* const kJetLitViewSql =
    L"CREATE VIEW LITVIEW AS SELECT T1.*, T2.NAME, T3.NAME, T4.NAME FROM EDITORS AS T2 RIGHT JOIN "
    L"(JOURNALS AS T3 RIGHT JOIN (LITAUTHORS AS T4 RIGHT JOIN LITERATURE AS T1 ON T4.ID=T1.FIRSTAUTHOR) "
    L"ON T3.ID=T1.JOURNALID) ON T2.ID=T1.EDITOR;";

enum class T { Space, Comment, Word, Number, String, QuotedName, Punct };

struct Token
{
    T kind;
    std::wstring text;
};

bool IsWordStart(wchar_t c) { return c == L'_' || iswalpha(c) || c >= 0x80; }
bool IsWordChar(wchar_t c) { return c == L'_' || c == L'$' || iswalnum(c) || c >= 0x80; }

std::vector<Token> Lex(const std::wstring& s)
{
    std::vector<Token> out;
    size_t i = 0, n = s.size();
    while (i < n) {
        size_t start = i;
        wchar_t c = s[i];
        T kind;
        if (iswspace(c)) {
            while (i < n && iswspace(s[i]))
                ++i;
            kind = T::Space;
        } else if (c == L'-' && i + 1 < n && s[i + 1] == L'-') {
            while (i < n && s[i] != L'\n')
                ++i;
            kind = T::Comment;
        } else if (c == L'/' && i + 1 < n && s[i + 1] == L'*') {
            size_t e = s.find(L"*/", i + 2);
            i = (e == std::wstring::npos) ? n : e + 2;
            kind = T::Comment;
        } else if (c == L'\'' || c == L'"' || c == L'`') {
            // Quoted text or name; a doubled quote stands for one.
            ++i;
            while (i < n) {
                if (s[i] == c) {
                    if (i + 1 < n && s[i + 1] == c) {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            kind = (c == L'\'') ? T::String : T::QuotedName;
        } else if (c == L'[') {
            size_t e = s.find(L']', i + 1);
            i = (e == std::wstring::npos) ? n : e + 1;
            kind = T::QuotedName;
        } else if (c >= L'0' && c <= L'9') {
            while (i < n && (iswalnum(s[i]) || s[i] == L'.'))
                ++i;
            kind = T::Number;
        } else if (IsWordStart(c)) {
            while (i < n && IsWordChar(s[i]))
                ++i;
            kind = T::Word;
        } else {
            ++i;
            kind = T::Punct;
        }
        out.push_back({ kind, s.substr(start, i - start) });
    }
    return out;
}

std::wstring Upper(const std::wstring& s)
{
    std::wstring r(s);
    for (wchar_t& c : r)
        c = wchar_t(towupper(c));
    return r;
}

std::wstring Join(const std::vector<Token>& toks)
{
    std::wstring r;
    for (const auto& t : toks)
        r += t.text;
    return r;
}

bool Significant(const Token& t) { return t.kind != T::Space && t.kind != T::Comment; }

// The statement's significant tokens, words in upper case, without a trailing ';' (for recognising
// fixed statements whatever their spacing).
std::vector<std::wstring> Shape(const std::vector<Token>& toks)
{
    std::vector<std::wstring> r;
    for (const auto& t : toks)
        if (Significant(t))
            r.push_back(t.kind == T::Word ? Upper(t.text) : t.text);
    while (!r.empty() && r.back() == L";")
        r.pop_back();
    return r;
}

// Indexes of the significant tokens.
std::vector<size_t> SigIndex(const std::vector<Token>& toks)
{
    std::vector<size_t> r;
    for (size_t i = 0; i < toks.size(); ++i)
        if (Significant(toks[i]))
            r.push_back(i);
    return r;
}

bool IsWord(const Token& t, const wchar_t* upper) { return t.kind == T::Word && Upper(t.text) == upper; }

// name:digits -> "name:digits" (SQLite reads ':1' as a parameter). Works on the significant
// sequence word ':' number, with nothing between them.
void QuoteColonNames(std::vector<Token>& toks)
{
    for (size_t i = 0; i + 2 < toks.size(); ++i) {
        if (toks[i].kind != T::Word || toks[i + 1].kind != T::Punct || toks[i + 1].text != L":" ||
            toks[i + 2].kind != T::Number)
            continue;
        const std::wstring& digits = toks[i + 2].text;
        bool allDigits = !digits.empty();
        for (wchar_t c : digits)
            if (c < L'0' || c > L'9')
                allDigits = false;
        if (!allDigits)
            continue;
        // ":1" after a keyword-free identifier only; a bare parameter (": 1", "?1") is left alone.
        toks[i].text = L"\"" + toks[i].text + L":" + digits + L"\"";
        toks[i].kind = T::QuotedName;
        toks.erase(toks.begin() + long(i) + 1, toks.begin() + long(i) + 3);
    }
}

// "... FROM COLLECTVIEW WHERE T1.SYSID = 5": the view's rows are addressed as T1, which only Jet
// knew from the view's own text. Add "AS T1" to the first FROM source that has no alias.
void AliasT1(std::vector<Token>& toks)
{
    std::vector<size_t> sig = SigIndex(toks);
    bool usesT1 = false;
    for (size_t k = 0; k + 1 < sig.size(); ++k) {
        const Token& t = toks[sig[k]];
        const Token& next = toks[sig[k + 1]];
        if (IsWord(t, L"T1")) {
            if (next.kind == T::Punct && next.text == L"." && sig[k + 1] == sig[k] + 1)
                usesT1 = true;
            else
                return;  // T1 is already defined as an alias somewhere
        }
    }
    if (!sig.empty() && IsWord(toks[sig.back()], L"T1"))
        return;
    if (!usesT1)
        return;
    static const wchar_t* const kFollowers[] = { L"WHERE", L"ORDER", L"GROUP", L"HAVING", L"LEFT", L"RIGHT",
                                                 L"INNER", L"JOIN", L"UNION", L"LIMIT", L"ON", L"CROSS",
                                                 L"NATURAL", L"FULL", L"OUTER", L"EXCEPT", L"INTERSECT" };
    for (size_t k = 0; k + 1 < sig.size(); ++k) {
        if (!IsWord(toks[sig[k]], L"FROM"))
            continue;
        const Token& name = toks[sig[k + 1]];
        if (name.kind != T::Word && name.kind != T::QuotedName)
            return;
        size_t nameIdx = sig[k + 1];
        if (k + 2 < sig.size()) {
            const Token& after = toks[sig[k + 2]];
            bool follower = after.kind == T::Punct && (after.text == L";" || after.text == L")");
            if (after.kind == T::Word) {
                std::wstring u = Upper(after.text);
                for (const wchar_t* f : kFollowers)
                    if (u == f)
                        follower = true;
            }
            if (!follower)
                return;  // AS x, a bare alias, a dotted schema name or a comma join: leave it
        }
        toks.insert(toks.begin() + long(nameIdx) + 1, Token{ T::Word, L" AS T1" });
        return;
    }
}

// Jet type names of a column definition, in SQLite's terms. Returns nullptr when the word is no Jet type.
const wchar_t* SqliteTypeFor(const std::wstring& upper, bool hasSize)
{
    struct Pair { const wchar_t* jet; const wchar_t* sqlite; };
    static const Pair kTypes[] = {
        { L"LOGICAL", L"BOOLEAN" }, { L"LOGICAL1", L"BOOLEAN" }, { L"YESNO", L"BOOLEAN" }, { L"BIT", L"BOOLEAN" },
        { L"MEMO", L"TEXT" }, { L"LONGTEXT", L"TEXT" }, { L"LONGCHAR", L"TEXT" }, { L"NOTE", L"TEXT" },
        { L"DATE", L"DATETIME" }, { L"TIME", L"DATETIME" }, { L"TIMESTAMP", L"DATETIME" },
        { L"LONG", L"INTEGER" }, { L"INTEGER4", L"INTEGER" }, { L"SHORT", L"SMALLINT" },
        { L"INTEGER2", L"SMALLINT" }, { L"BYTE", L"TINYINT" }, { L"INTEGER1", L"TINYINT" },
        { L"SINGLE", L"REAL" }, { L"FLOAT4", L"REAL" }, { L"IEEESINGLE", L"REAL" },
        { L"NUMBER", L"DOUBLE" }, { L"FLOAT8", L"DOUBLE" }, { L"IEEEDOUBLE", L"DOUBLE" },
        { L"CURRENCY", L"NUMERIC" }, { L"MONEY", L"NUMERIC" },
        { L"LONGBINARY", L"BLOB" }, { L"OLEOBJECT", L"BLOB" }, { L"GENERAL", L"BLOB" }, { L"IMAGE", L"BLOB" },
        { L"STRING", L"VARCHAR" }, { L"ALPHANUMERIC", L"VARCHAR" },
    };
    if (hasSize && (upper == L"TEXT" || upper == L"CHAR"))
        return L"VARCHAR";
    for (const Pair& p : kTypes)
        if (upper == p.jet)
            return p.sqlite;
    return nullptr;
}

// Rewrites the type of one column definition held in toks[begin, end).
void TranslateColumnDef(std::vector<Token>& toks, size_t begin, size_t end)
{
    std::vector<size_t> sig;
    for (size_t i = begin; i < end; ++i)
        if (Significant(toks[i]))
            sig.push_back(i);
    if (sig.size() < 2)
        return;
    const Token& first = toks[sig[0]];
    if (first.kind == T::Word) {
        std::wstring u = Upper(first.text);
        if (u == L"CONSTRAINT" || u == L"PRIMARY" || u == L"FOREIGN" || u == L"UNIQUE" || u == L"CHECK")
            return;  // a table constraint, no column
    }
    Token& type = toks[sig[1]];
    if (type.kind != T::Word)
        return;
    std::wstring u = Upper(type.text);
    bool hasSize = sig.size() > 2 && toks[sig[2]].kind == T::Punct && toks[sig[2]].text == L"(";
    if (u == L"COUNTER" || u == L"AUTOINCREMENT") {
        // Drop a (seed, step) argument list.
        if (hasSize) {
            size_t close = sig[2];
            while (close < end && !(toks[close].kind == T::Punct && toks[close].text == L")"))
                ++close;
            for (size_t i = sig[2]; i <= close && i < end; ++i)
                toks[i].text.clear();
        }
        bool hasPrimary = false;
        for (size_t k = 2; k < sig.size(); ++k) {
            if (IsWord(toks[sig[k]], L"PRIMARY") && k + 1 < sig.size() && IsWord(toks[sig[k + 1]], L"KEY")) {
                hasPrimary = true;
                toks[sig[k + 1]].text += L" AUTOINCREMENT";
                break;
            }
        }
        type.text = hasPrimary ? L"INTEGER" : L"INTEGER PRIMARY KEY AUTOINCREMENT";
        return;
    }
    if (const wchar_t* repl = SqliteTypeFor(u, hasSize))
        type.text = repl;
}

// CREATE TABLE name ( def, def, ... )
void TranslateCreateTable(std::vector<Token>& toks)
{
    size_t i = 0;
    while (i < toks.size() && !(toks[i].kind == T::Punct && toks[i].text == L"("))
        ++i;
    if (i == toks.size())
        return;
    int depth = 0;
    size_t defStart = i + 1;
    for (size_t j = i; j < toks.size(); ++j) {
        if (toks[j].kind != T::Punct)
            continue;
        if (toks[j].text == L"(") {
            ++depth;
        } else if (toks[j].text == L")") {
            if (--depth == 0) {
                TranslateColumnDef(toks, defStart, j);
                return;
            }
        } else if (toks[j].text == L"," && depth == 1) {
            TranslateColumnDef(toks, defStart, j);
            defStart = j + 1;
        }
    }
}

// ---- the Czech collations in queries ----

bool IsPunct(const Token& t, const wchar_t* text) { return t.kind == T::Punct && t.text == text; }

// An identifier as the database knows it: quotes and brackets removed.
std::wstring Unquoted(const Token& t)
{
    if (t.kind != T::QuotedName || t.text.size() < 2)
        return t.text;
    wchar_t open = t.text.front();
    std::wstring inner = t.text.substr(1, t.text.size() - 2);
    if (open == L'[')
        return inner;
    std::wstring r;
    for (size_t i = 0; i < inner.size(); ++i) {
        r += inner[i];
        if (inner[i] == open && i + 1 < inner.size() && inner[i + 1] == open)
            ++i;
    }
    return r;
}

bool IsReserved(const std::wstring& upper)
{
    static const wchar_t* const kWords[] = {
        L"SELECT", L"FROM", L"WHERE", L"AND", L"OR", L"NOT", L"NULL", L"IN", L"IS", L"LIKE", L"GLOB",
        L"BETWEEN", L"CASE", L"WHEN", L"THEN", L"ELSE", L"END", L"ORDER", L"BY", L"GROUP", L"HAVING",
        L"LIMIT", L"OFFSET", L"ASC", L"DESC", L"COLLATE", L"EXISTS", L"DISTINCT", L"ALL", L"AS", L"ON",
        L"USING", L"JOIN", L"LEFT", L"RIGHT", L"INNER", L"OUTER", L"FULL", L"CROSS", L"NATURAL", L"UNION",
        L"EXCEPT", L"INTERSECT", L"WINDOW", L"VALUES", L"WITH", L"NULLS", L"FIRST", L"LAST", L"ESCAPE",
        L"CAST", L"OVER", L"PARTITION", L"ROWS", L"RANGE", L"GROUPS",
    };
    for (const wchar_t* w : kWords)
        if (upper == w)
            return true;
    return false;
}

class CzechCollations
{
public:
    CzechCollations(std::vector<Token>& toks, SqlCatalog& catalog)
        : toks_(toks), catalog_(catalog), sig_(SigIndex(toks))
    {
    }

    void Apply()
    {
        if (!IsQuery())
            return;
        CollectSources();
        for (size_t k = 0; k + 1 < sig_.size(); ++k)
            if (IsWord(At(k), L"ORDER") && IsWord(At(k + 1), L"BY"))
                SortTerms(k + 2);
        for (size_t k = 0; k < sig_.size(); ++k)
            MatchColumn(k);
    }

private:
    // A SELECT, or a WITH whose statement is one (not WITH ... INSERT, UPDATE or DELETE).
    bool IsQuery() const
    {
        if (sig_.empty() || IsWord(At(0), L"SELECT"))
            return !sig_.empty();
        if (!IsWord(At(0), L"WITH"))
            return false;
        int depth = 0;
        for (size_t k = 0; k < Count(); ++k) {
            const Token& t = At(k);
            if (IsPunct(t, L"("))
                ++depth;
            else if (IsPunct(t, L")"))
                --depth;
            else if (depth == 0 && (IsWord(t, L"INSERT") || IsWord(t, L"UPDATE") || IsWord(t, L"DELETE") ||
                                    IsWord(t, L"REPLACE")))
                return false;
        }
        return true;
    }

    struct Source
    {
        std::wstring table;  // upper case
        std::wstring alias;  // upper case, empty when none
    };

    const Token& At(size_t k) const { return toks_[sig_[k]]; }
    size_t Count() const { return sig_.size(); }

    bool IsName(size_t k) const
    {
        if (k >= Count())
            return false;
        const Token& t = At(k);
        if (t.kind == T::QuotedName)
            return true;
        return t.kind == T::Word && !IsReserved(Upper(t.text));
    }

    // FROM a [AS x], b ... and JOIN c [AS y]: the tables and views the statement reads, with their
    // aliases. Subqueries in FROM add nothing.
    void CollectSources()
    {
        for (size_t k = 0; k < Count(); ++k) {
            bool from = IsWord(At(k), L"FROM");
            if (!from && !IsWord(At(k), L"JOIN"))
                continue;
            size_t j = k + 1;
            for (;;) {
                while (j < Count() && IsPunct(At(j), L"("))
                    ++j;
                if (!IsName(j))
                    break;
                Source source;
                source.table = Upper(Unquoted(At(j++)));
                if (j + 1 < Count() && IsPunct(At(j), L".") && IsName(j + 1))
                    source.table = Upper(Unquoted(At(j + 1))), j += 2;  // schema.table
                if (j < Count() && IsWord(At(j), L"AS"))
                    ++j;
                if (IsName(j))
                    source.alias = Upper(Unquoted(At(j++)));
                sources_.push_back(source);
                if (!from || j >= Count() || !IsPunct(At(j), L","))
                    break;
                ++j;
            }
        }
    }

    // A column reference starting at k: name or qualifier.name. *last is its last position.
    bool ColumnAt(size_t k, std::wstring* qualifier, std::wstring* column, size_t* last) const
    {
        if (!IsName(k) || (k > 0 && IsPunct(At(k - 1), L".")))
            return false;
        if (k + 1 < Count() && IsPunct(At(k + 1), L"("))
            return false;  // a function
        if (k + 2 < Count() && IsPunct(At(k + 1), L".")) {
            if (!IsName(k + 2) || (k + 3 < Count() && IsPunct(At(k + 3), L".")))
                return false;
            *qualifier = Upper(Unquoted(At(k)));
            *column = Upper(Unquoted(At(k + 2)));
            *last = k + 2;
            return true;
        }
        qualifier->clear();
        *column = Upper(Unquoted(At(k)));
        *last = k;
        return true;
    }

    const ColumnDecl* Find(const std::wstring& table, const std::wstring& column)
    {
        const std::vector<ColumnDecl>* columns = catalog_.ColumnsOf(table);
        if (columns)
            for (const ColumnDecl& c : *columns)
                if (Upper(c.name) == column)
                    return &c;
        return nullptr;
    }

    // The declaration of a column reference, or null when the catalog cannot tell.
    const ColumnDecl* Resolve(const std::wstring& qualifier, const std::wstring& column)
    {
        if (!qualifier.empty()) {
            for (const Source& s : sources_)
                if (s.alias == qualifier || (s.alias.empty() && s.table == qualifier))
                    return Find(s.table, column);
            // T1 of a view that gets its alias only from the translation.
            return sources_.size() == 1 ? Find(sources_[0].table, column) : nullptr;
        }
        for (const Source& s : sources_)
            if (const ColumnDecl* found = Find(s.table, column))
                return found;
        return nullptr;
    }

    void AddCollation(size_t k, const wchar_t* name)
    {
        toks_[sig_[k]].text += L" COLLATE ";
        toks_[sig_[k]].text += name;
    }

    // The terms of an ORDER BY from k on, up to the end of its clause.
    void SortTerms(size_t k)
    {
        size_t start = k;
        int depth = 0;
        for (size_t j = k;; ++j) {
            bool end = j >= Count();
            if (!end) {
                const Token& t = At(j);
                if (IsPunct(t, L"(")) {
                    ++depth;
                    continue;
                }
                if (IsPunct(t, L")") && depth > 0) {
                    --depth;
                    continue;
                }
                if (depth > 0)
                    continue;
                end = IsPunct(t, L")") || IsPunct(t, L";") || IsWord(t, L"LIMIT") || IsWord(t, L"OFFSET") ||
                      IsWord(t, L"UNION") || IsWord(t, L"EXCEPT") || IsWord(t, L"INTERSECT") ||
                      IsWord(t, L"WINDOW") || IsWord(t, L"ROWS") || IsWord(t, L"RANGE") || IsWord(t, L"GROUPS");
                if (!end && !IsPunct(t, L","))
                    continue;
            }
            SortTerm(start, j);
            if (end)
                return;
            start = j + 1;
        }
    }

    void SortTerm(size_t begin, size_t end)
    {
        // Past the direction and the place of NULLs.
        if (end > begin + 1 && IsWord(At(end - 2), L"NULLS") &&
            (IsWord(At(end - 1), L"FIRST") || IsWord(At(end - 1), L"LAST")))
            end -= 2;
        if (end > begin && (IsWord(At(end - 1), L"ASC") || IsWord(At(end - 1), L"DESC")))
            --end;
        std::wstring qualifier, column;
        size_t last = 0;
        if (!ColumnAt(begin, &qualifier, &column, &last) || last + 1 != end)
            return;  // an expression, an ordinal, or a term with its own collation
        const ColumnDecl* decl = Resolve(qualifier, column);
        if (decl && decl->kind == ColumnDecl::Kind::NotText)
            return;
        AddCollation(last, L"CZECH");
    }

    bool IsEquality(size_t first) const
    {
        if (first >= Count())
            return false;
        const Token& t = At(first);
        bool second = first + 1 < Count();
        if (IsPunct(t, L"="))
            return true;  // = and ==
        if (IsPunct(t, L"!"))
            return second && IsPunct(At(first + 1), L"=");
        if (IsPunct(t, L"<"))
            return second && IsPunct(At(first + 1), L">");
        if (IsWord(t, L"IN"))
            return true;
        return IsWord(t, L"NOT") && second && IsWord(At(first + 1), L"IN");
    }

    // Where an operand ends: nothing that binds tighter than a comparison follows.
    bool EndsOperand(size_t k) const
    {
        if (k >= Count())
            return true;
        const Token& t = At(k);
        if (t.kind == T::Punct)
            return t.text == L")" || t.text == L"," || t.text == L";";
        if (t.kind != T::Word)
            return false;
        std::wstring u = Upper(t.text);
        return IsReserved(u) && u != L"COLLATE" && u != L"IS" && u != L"IN" && u != L"LIKE" && u != L"GLOB" &&
               u != L"BETWEEN" && u != L"NOT" && u != L"ESCAPE";
    }

    // Where an operand begins: nothing that binds tighter than a comparison comes before.
    bool BeginsOperand(size_t k) const
    {
        if (k == 0)
            return true;
        const Token& t = At(k - 1);
        if (t.kind == T::Punct)
            return t.text == L"(" || t.text == L",";
        return t.kind == T::Word && IsReserved(Upper(t.text)) && !IsWord(t, L"COLLATE");
    }

    // An equality operator that ends just before k: =, ==, !=, <>.
    bool EqualityBefore(size_t k) const
    {
        if (k == 0)
            return false;
        const Token& t = At(k - 1);
        if (IsPunct(t, L">"))
            return k >= 2 && IsPunct(At(k - 2), L"<");
        if (!IsPunct(t, L"="))
            return false;
        return k < 2 || !(IsPunct(At(k - 2), L"<") || IsPunct(At(k - 2), L">"));
    }

    void MatchColumn(size_t k)
    {
        std::wstring qualifier, column;
        size_t last = 0;
        if (!ColumnAt(k, &qualifier, &column, &last))
            return;
        if (last + 1 < Count() && IsWord(At(last + 1), L"COLLATE"))
            return;
        bool left = BeginsOperand(k) && IsEquality(last + 1);
        bool right = EqualityBefore(k) && EndsOperand(last + 1);
        if (!left && !right)
            return;
        const ColumnDecl* decl = Resolve(qualifier, column);
        if (decl && decl->noCase && decl->kind == ColumnDecl::Kind::Text)
            AddCollation(last, L"CZECH_NOCASE");
    }

    std::vector<Token>& toks_;
    SqlCatalog& catalog_;
    std::vector<size_t> sig_;
    std::vector<Source> sources_;
};

}  // namespace

std::wstring TranslateSql(const std::wstring& jetSql, SqlCatalog* catalog)
{
    std::vector<Token> toks = Lex(jetSql);
    std::vector<std::wstring> shape = Shape(toks);
    if (shape.empty())
        return jetSql;

    // The program's own LITVIEW: the RIGHT JOIN form names its columns ID:2, NAME:2, ... in SQLite.
    static const std::vector<std::wstring> litShape = Shape(Lex(kJetLitViewSql));
    if (shape == litShape)
        return kLitViewSql;

    // DROP INDEX name [ON table]: index names are global in SQLite, and the drop must not fail when the
    // index is already gone.
    if (shape.size() >= 3 && shape[0] == L"DROP" && shape[1] == L"INDEX") {
        size_t k = 2;
        if (shape.size() >= 5 && shape[2] == L"IF" && shape[3] == L"EXISTS")
            k = 4;
        if (k < shape.size()) {
            std::wstring name = shape[k];
            // Keep the name as written (the shape upper-cases words).
            std::vector<size_t> sig = SigIndex(toks);
            name = toks[sig[k]].text;
            size_t next = k + 1;
            // A schema-qualified name: main.X
            if (next + 1 < shape.size() && shape[next] == L".") {
                name += L"." + toks[sig[next + 1]].text;
                next += 2;
            }
            if (next == shape.size() || (next + 2 == shape.size() && shape[next] == L"ON"))
                return L"DROP INDEX IF EXISTS " + name;
        }
        return jetSql;
    }

    // ALTER TABLE t DROP CONSTRAINT c: the keys are column-level and go with their column.
    if (shape.size() == 6 && shape[0] == L"ALTER" && shape[1] == L"TABLE" && shape[3] == L"DROP" &&
        shape[4] == L"CONSTRAINT")
        return std::wstring();

    bool createTable = shape.size() >= 3 && shape[0] == L"CREATE" &&
        (shape[1] == L"TABLE" || (shape[2] == L"TABLE" && (shape[1] == L"TEMP" || shape[1] == L"TEMPORARY")));
    bool createAsSelect = false;
    for (size_t k = 2; createTable && k < shape.size() && shape[k] != L"("; ++k)
        if (shape[k] == L"AS")
            createAsSelect = true;  // CREATE TABLE x AS SELECT ...: no column definitions
    if (createTable && !createAsSelect) {
        TranslateCreateTable(toks);
    } else if (shape.size() >= 6 && shape[0] == L"ALTER" && shape[1] == L"TABLE" && shape[3] == L"ADD" &&
               shape[4] != L"CONSTRAINT" && shape[4] != L"PRIMARY" && shape[4] != L"FOREIGN" &&
               shape[4] != L"UNIQUE" && shape[4] != L"CHECK") {
        std::vector<size_t> sig = SigIndex(toks);
        size_t defStart = sig[4];
        if (shape[4] == L"COLUMN")
            defStart = sig[5];
        TranslateColumnDef(toks, defStart, toks.size());
    }

    QuoteColonNames(toks);
    if (catalog && catalog->HasCzechOrder())
        CzechCollations(toks, *catalog).Apply();
    AliasT1(toks);
    return Join(toks);
}

ColumnDecl::Kind KindOfDeclaredType(const std::wstring& declaredType)
{
    std::wstring u = Upper(declaredType);
    if (u.find_first_not_of(L" \t") == std::wstring::npos)
        return ColumnDecl::Kind::Unknown;
    if (u.find(L"INT") != std::wstring::npos)
        return ColumnDecl::Kind::NotText;
    if (u.find(L"CHAR") != std::wstring::npos || u.find(L"CLOB") != std::wstring::npos ||
        u.find(L"TEXT") != std::wstring::npos)
        return ColumnDecl::Kind::Text;
    return ColumnDecl::Kind::NotText;  // BLOB, REAL, NUMERIC and the types of numeric affinity
}

std::vector<std::wstring> NoCaseColumns(const std::wstring& createTableSql)
{
    std::vector<std::wstring> names;
    std::vector<Token> toks = Lex(createTableSql);
    std::vector<size_t> sig = SigIndex(toks);
    size_t k = 0;
    while (k < sig.size() && !(toks[sig[k]].kind == T::Punct && toks[sig[k]].text == L"("))
        ++k;
    // One column definition after another: its name, then words and bracketed arguments.
    int depth = 0;
    bool atStart = true;
    std::wstring name;
    for (++k; k < sig.size(); ++k) {
        const Token& t = toks[sig[k]];
        if (t.kind == T::Punct && t.text == L"(") {
            ++depth;
        } else if (t.kind == T::Punct && t.text == L")") {
            if (depth-- == 0)
                break;
        } else if (depth == 0 && t.kind == T::Punct && t.text == L",") {
            atStart = true;
        } else if (atStart) {
            atStart = false;
            name = Unquoted(t);
            std::wstring u = Upper(name);
            if (t.kind == T::Word && (u == L"CONSTRAINT" || u == L"PRIMARY" || u == L"UNIQUE" ||
                                      u == L"CHECK" || u == L"FOREIGN"))
                name.clear();  // a table constraint
        } else if (depth == 0 && !name.empty() && IsWord(t, L"COLLATE") && k + 1 < sig.size() &&
                   IsWord(toks[sig[k + 1]], L"NOCASE")) {
            names.push_back(name);
        }
    }
    return names;
}

}  // namespace zdata
