#include "dataaccess/rowset.h"
#include "dataaccess/enclose.h"
#include "czechcollation/czechtext.h"
#include <algorithm>
#include <cwctype>

namespace zdata {

namespace {

struct Token {
    size_t begin, end;
    int depth;
    bool word;
};

// Splits SQL into words and single characters, skipping quoted text and comments, with the
// parenthesis depth of each token.
std::vector<Token> Tokenize(const std::wstring& s)
{
    std::vector<Token> out;
    int depth = 0;
    size_t i = 0, n = s.size();
    while (i < n) {
        wchar_t c = s[i];
        if (iswspace(c)) {
            ++i;
        } else if (c == L'\'' || c == L'"' || c == L'`' || c == L'[') {
            wchar_t close = c == L'[' ? L']' : c;
            size_t b = i++;
            while (i < n) {
                if (s[i] == close) {
                    if (close != L']' && i + 1 < n && s[i + 1] == close) {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            out.push_back({b, i, depth, false});
        } else if (c == L'-' && i + 1 < n && s[i + 1] == L'-') {
            while (i < n && s[i] != L'\n')
                ++i;
        } else if (c == L'/' && i + 1 < n && s[i + 1] == L'*') {
            size_t e = s.find(L"*/", i + 2);
            i = e == std::wstring::npos ? n : e + 2;
        } else if (iswalnum(c) || c == L'_' || c == L'$') {
            size_t b = i;
            while (i < n && (iswalnum(s[i]) || s[i] == L'_' || s[i] == L'$'))
                ++i;
            out.push_back({b, i, depth, true});
        } else {
            if (c == L'(')
                out.push_back({i, i + 1, depth++, false});
            else if (c == L')')
                out.push_back({i, i + 1, --depth, false});
            else
                out.push_back({i, i + 1, depth, false});
            ++i;
        }
    }
    return out;
}

bool Is(const std::wstring& s, const Token& t, const wchar_t* word)
{
    size_t len = wcslen(word);
    if (!t.word || t.end - t.begin != len)
        return false;
    return _wcsnicmp(s.c_str() + t.begin, word, len) == 0;
}

std::wstring Unquote(const std::wstring& name)
{
    if (name.size() >= 2 && ((name.front() == L'"' && name.back() == L'"') ||
                             (name.front() == L'[' && name.back() == L']') ||
                             (name.front() == L'`' && name.back() == L'`')))
        return name.substr(1, name.size() - 2);
    return name;
}

}  // namespace

bool KeysAreUnique(const std::vector<long long>& keys)
{
    if (keys.size() < 2)
        return true;
    auto range = std::minmax_element(keys.begin(), keys.end());
    unsigned long long low = (unsigned long long)*range.first;
    unsigned long long span = (unsigned long long)*range.second - low;
    // Record ids are dense: a bit for each value in their range finds a repeat in one pass,
    // with no more memory than a sorted copy. Sparse keys are sorted.
    if (span / 64 <= keys.size()) {
        std::vector<uint64_t> seen((size_t)(span / 64) + 1, 0);
        for (long long k : keys) {
            unsigned long long at = (unsigned long long)k - low;
            uint64_t bit = 1ull << (at & 63);
            if (seen[at >> 6] & bit)
                return false;
            seen[at >> 6] |= bit;
        }
        return true;
    }
    std::vector<long long> sorted(keys);
    std::sort(sorted.begin(), sorted.end());
    return std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end();
}

std::wstring WithoutOrderBy(const std::wstring& sql)
{
    std::vector<Token> t = Tokenize(sql);
    for (size_t i = 0; i + 1 < t.size(); ++i) {
        if (t[i].depth != 0 || !Is(sql, t[i], L"ORDER") || !Is(sql, t[i + 1], L"BY"))
            continue;
        for (size_t k = i + 2; k < t.size(); ++k)
            if (t[k].depth == 0 && (Is(sql, t[k], L"LIMIT") || Is(sql, t[k], L"OFFSET")))
                return sql;
        size_t end = t[i].begin;
        while (end > 0 && iswspace(sql[end - 1]))
            --end;
        return sql.substr(0, end);
    }
    return sql;
}

std::wstring KeyedRowsSql(const std::wstring& sql, const std::wstring& key)
{
    const std::wstring unsorted = WithoutOrderBy(sql);
    SelectShape shape = AnalyseSelect(unsorted);
    if (!shape.simple)
        return std::wstring();
    std::vector<Token> t = Tokenize(shape.rest);
    if (t.empty())
        return L"SELECT" + shape.selectList + shape.fromClause + L" WHERE " + key + L" IN (";
    if (t.size() < 2 || !Is(shape.rest, t[0], L"WHERE"))
        return std::wstring();
    for (size_t i = 1; i < t.size(); ++i)
        for (const wchar_t* clause : {L"ORDER", L"LIMIT", L"OFFSET", L"GROUP", L"HAVING", L"WINDOW"})
            if (t[i].depth == 0 && Is(shape.rest, t[i], clause))
                return std::wstring();
    return L"SELECT" + shape.selectList + shape.fromClause + L" WHERE (" + shape.rest.substr(t[1].begin) + L") AND " +
           key + L" IN (";
}

SelectShape AnalyseSelect(const std::wstring& sql)
{
    SelectShape shape;
    std::vector<Token> t = Tokenize(sql);
    if (t.empty() || !Is(sql, t[0], L"SELECT"))
        return shape;
    size_t from = 0;
    for (size_t i = 1; i < t.size(); ++i) {
        if (t[i].depth != 0)
            continue;
        if (Is(sql, t[i], L"DISTINCT") || Is(sql, t[i], L"ALL"))
            if (i == 1)
                return shape;
        if (Is(sql, t[i], L"FROM")) {
            from = i;
            break;
        }
    }
    if (from == 0 || from + 1 >= t.size())
        return shape;
    // Aggregates collapse rows: such a result has no row identity.
    static const wchar_t* const aggregates[] = {L"COUNT", L"MIN", L"MAX", L"SUM", L"AVG",
                                                L"TOTAL", L"GROUP_CONCAT"};
    for (size_t i = 1; i < from; ++i)
        for (const wchar_t* a : aggregates)
            if (Is(sql, t[i], a) && i + 1 < from && sql[t[i + 1].begin] == L'(')
                return shape;
    size_t end = t.size();
    static const wchar_t* const clauseEnds[] = {L"WHERE", L"GROUP", L"ORDER", L"HAVING",
                                                L"LIMIT", L"UNION", L"EXCEPT", L"INTERSECT",
                                                L"WINDOW"};
    for (size_t i = from + 1; i < t.size(); ++i) {
        if (t[i].depth != 0)
            continue;
        bool stop = false;
        for (const wchar_t* w : clauseEnds)
            stop = stop || Is(sql, t[i], w);
        if (stop) {
            end = i;
            break;
        }
    }
    // One table: a name, optionally "AS alias" or an alias.
    size_t count = end - from - 1;
    if (count < 1 || count > 3)
        return shape;
    const Token& name = t[from + 1];
    if (!name.word && sql[name.begin] != L'"' && sql[name.begin] != L'[' && sql[name.begin] != L'`')
        return shape;
    for (size_t i = from + 1; i < end; ++i)
        if (!t[i].word && i != from + 1 && sql[t[i].begin] != L'"')
            return shape;
    if (count == 3 && !Is(sql, t[from + 2], L"AS"))
        return shape;
    for (size_t i = end; i < t.size(); ++i) {
        if (t[i].depth == 0 && (Is(sql, t[i], L"GROUP") || Is(sql, t[i], L"UNION") ||
                                Is(sql, t[i], L"EXCEPT") || Is(sql, t[i], L"INTERSECT") ||
                                Is(sql, t[i], L"HAVING")))
            return shape;
    }
    shape.simple = true;
    shape.selectList = sql.substr(t[0].end, t[from].begin - t[0].end);
    size_t fromEnd = end < t.size() ? t[end].begin : sql.size();
    shape.fromClause = sql.substr(t[from].begin, fromEnd - t[from].begin);
    shape.rest = sql.substr(fromEnd);
    shape.table = Unquote(sql.substr(name.begin, name.end - name.begin));
    // A trailing semicolon would end the statement before anything added after it.
    while (!shape.rest.empty() && (iswspace(shape.rest.back()) || shape.rest.back() == L';'))
        shape.rest.pop_back();
    while (!shape.fromClause.empty() &&
           (iswspace(shape.fromClause.back()) || shape.fromClause.back() == L';'))
        shape.fromClause.pop_back();
    return shape;
}

// ---------------------------------------------------------------------------------------------

KeysetSource::KeysetSource(std::shared_ptr<ConnectionCore> core, std::wstring pageSql,
                           std::vector<ColumnMeta> columns, std::vector<long long> keys)
    : core_(std::move(core)), pageSql_(std::move(pageSql)), columns_(std::move(columns)),
      keys_(std::move(keys))
{
    const std::wstring in = L" IN (";
    if (pageSql_.size() > in.size() && pageSql_.compare(pageSql_.size() - in.size(), in.size(), in) == 0)
        rangeSql_ = pageSql_.substr(0, pageSql_.size() - in.size());
}

void KeysetSource::Forget()
{
    std::lock_guard<std::mutex> hold(lock_);
    cache_.clear();
}

void KeysetSource::Seed(size_t index, RowPtr row)
{
    std::lock_guard<std::mutex> hold(lock_);
    cache_[index] = std::move(row);
}

RowPtr KeysetSource::Get(size_t index, HRESULT* hr)
{
    *hr = S_OK;
    if (index >= keys_.size()) {
        *hr = AdoError(adErrNoCurrentRecord);
        return nullptr;
    }
    std::lock_guard<std::mutex> hold(lock_);
    auto it = cache_.find(index);
    if (it != cache_.end())
        return it->second;
    // A walk through the list reads ever larger pages, forwards or backwards; a jump reads
    // about a screenful of list rows from the row asked for (a list view asks for its rows top
    // down), so that one visible page costs one small query.
    size_t first, last;
    if (index == nextPage_) {
        pageSize_ = std::min<size_t>(pageSize_ * 2, 1600);
        first = index;
        last = std::min(keys_.size(), first + pageSize_);
    } else if (index + 1 == pageStart_) {
        pageSize_ = std::min<size_t>(pageSize_ * 2, 1600);
        last = index + 1;
        first = last > pageSize_ ? last - pageSize_ : 0;
    } else {
        pageSize_ = kJumpPageRows;
        first = index;
        last = std::min(keys_.size(), first + pageSize_);
    }
    nextPage_ = last;
    pageStart_ = first;
    if (cache_.size() > 20000)
        cache_.clear();
    std::unordered_map<long long, RowPtr> byKey;
    *hr = Fetch(keys_.data() + first, last - first, &byKey);
    if (FAILED(*hr))
        return nullptr;
    for (size_t i = first; i < last; ++i) {
        auto found = byKey.find(keys_[i]);
        cache_[i] = found == byKey.end() ? nullptr : found->second;
    }
    RowPtr result = cache_[index];
    if (!result)
        *hr = AdoError(adErrNoCurrentRecord);
    return result;
}

HRESULT KeysetSource::Read(const std::vector<uint32_t>& indexes, std::vector<RowPtr>* rows)
{
    rows->assign(indexes.size(), nullptr);
    std::vector<long long> keys;
    keys.reserve(indexes.size());
    for (uint32_t i : indexes) {
        if (i >= keys_.size())
            return AdoError(adErrNoCurrentRecord);
        keys.push_back(keys_[i]);
    }
    std::unordered_map<long long, RowPtr> byKey;
    HRESULT hr = Fetch(keys.data(), keys.size(), &byKey);
    if (FAILED(hr))
        return hr;
    for (size_t i = 0; i < keys.size(); ++i) {
        auto found = byKey.find(keys[i]);
        if (found != byKey.end())
            (*rows)[i] = found->second;
    }
    return S_OK;
}

HRESULT KeysetSource::Fetch(const long long* keys, size_t count, std::unordered_map<long long, RowPtr>* byKey)
{
    std::lock_guard<std::recursive_mutex> db(core_->lock);
    if (!core_->IsOpen())
        return AdoError(adErrObjectClosed);
    if (count == 0)
        return S_OK;  // no key, no row
    // The keys are the layer's own integers: written into the statement, they cost the driver
    // nothing to bind.
    // Ascending keys close together (a list in the order of its table) are read as one range,
    // which the file scans in order instead of looking each key up; the few rows between them
    // that were not asked for are read too and left unused.
    bool range = count > 1 && !rangeSql_.empty() && keys[count - 1] - keys[0] < (long long)(2 * count);
    for (size_t i = 1; range && i < count; ++i)
        range = keys[i] > keys[i - 1];
    std::wstring sql;
    wchar_t number[48];
    if (range) {
        _snwprintf(number, 48, L" BETWEEN %lld AND %lld", keys[0], keys[count - 1]);
        number[47] = 0;
        sql = rangeSql_ + number;
    } else {
        sql = pageSql_;
        sql.reserve(sql.size() + count * 9 + 2);
        for (size_t i = 0; i < count; ++i) {
            _snwprintf(number, 24, i ? L",%lld" : L"%lld", keys[i]);
            number[23] = 0;
            sql += number;
        }
        sql += L")";
    }
    Stmt st;
    if (!st.Alloc(*core_))
        return E_FAIL;
    SQLRETURN rc = SQLExecDirectW(st.h, (SQLWCHAR*)sql.c_str(), SQL_NTS);
    if (!OdbcOk(rc) && rc != SQL_NO_DATA)
        return core_->FailOdbc(SQL_HANDLE_STMT, st.h, L"Záznamy nelze přečíst.", true);
    std::vector<RowPtr> rows;
    std::vector<size_t> cut;
    rows.reserve(count);
    if (rc != SQL_NO_DATA) {
        rc = FetchRowBlocks(st.h, columns_, range ? (size_t)(keys[count - 1] - keys[0] + 1) : count,
                            &core_->blockBuffers, &rows, &cut);
        if (!OdbcOk(rc) && rc != SQL_NO_DATA)
            return core_->FailOdbc(SQL_HANDLE_STMT, st.h, L"Záznamy nelze přečíst.", true);
    }
    st.Free();
    // Rows with a value longer than its bound buffer are read again whole, a cell at a time.
    if (!cut.empty()) {
        std::wstring again = pageSql_;
        for (size_t i = 0; i < cut.size(); ++i) {
            _snwprintf(number, 24, i ? L",%lld" : L"%lld", rows[cut[i]]->Get(0).i);
            number[23] = 0;
            again += number;
        }
        again += L")";
        Stmt whole;
        if (!whole.Alloc(*core_) || !OdbcOk(SQLExecDirectW(whole.h, (SQLWCHAR*)again.c_str(), SQL_NTS)))
            return core_->FailOdbc(SQL_HANDLE_STMT, whole.h, L"Záznamy nelze přečíst.", true);
        std::unordered_map<long long, size_t> at;
        for (size_t i : cut)
            at.emplace(rows[i]->Get(0).i, i);
        std::vector<uint8_t> scratch;
        RowPtr row;
        while ((rc = FetchRow(whole.h, columns_, &row, scratch)) == SQL_SUCCESS) {
            auto it = at.find(row->Get(0).i);
            if (it != at.end())
                rows[it->second] = row;
        }
        if (rc != SQL_NO_DATA)
            return core_->FailOdbc(SQL_HANDLE_STMT, whole.h, L"Záznamy nelze přečíst.", true);
    }
    for (RowPtr& row : rows) {
        DriverValue k = row->Get(0);
        if (!k.isNull && k.kind == FetchKind::Integer)
            byKey->emplace(k.i, std::move(row));
    }
    return S_OK;
}

// ---------------------------------------------------------------------------------------------

RowsetData::RowsetData(const RowsetData& other)
    : columns(other.columns), hidden(other.hidden), updatable(other.updatable), rows(other.rows),
      keyset(other.keyset)
{
}

RowPtr RowsetData::Row(size_t index, HRESULT* hr) const
{
    if (keyset)
        return keyset->Get(index, hr);
    *hr = S_OK;
    if (index >= rows.size() || !rows[index]) {
        *hr = AdoError(adErrNoCurrentRecord);
        return nullptr;
    }
    return rows[index];
}

const std::vector<uint32_t>* RowsetData::Equal(size_t column, long long value)
{
    static const std::vector<uint32_t> none;
    std::lock_guard<std::mutex> hold(indexLock_);
    auto it = indexes_.find(column);
    if (it == indexes_.end()) {
        std::unordered_map<long long, std::vector<uint32_t>> index;
        for (size_t r = 0; r < rows.size(); ++r) {
            if (!rows[r])
                continue;
            DriverValue v = rows[r]->Get(column);
            if (!v.isNull && v.kind == FetchKind::Integer)
                index[v.i].push_back((uint32_t)r);
        }
        it = indexes_.emplace(column, std::move(index)).first;
    }
    auto found = it->second.find(value);
    return found == it->second.end() ? &none : &found->second;
}

namespace {

void InsertSorted(std::vector<uint32_t>& rows, uint32_t index)
{
    auto at = std::lower_bound(rows.begin(), rows.end(), index);
    if (at == rows.end() || *at != index)
        rows.insert(at, index);
}

void EraseSorted(std::vector<uint32_t>& rows, uint32_t index)
{
    auto at = std::lower_bound(rows.begin(), rows.end(), index);
    if (at != rows.end() && *at == index)
        rows.erase(at);
}

}  // namespace

const std::vector<uint32_t>* RowsetData::EqualText(size_t column, const wchar_t* text, size_t length)
{
    static const std::vector<uint32_t> none;
    std::lock_guard<std::mutex> hold(indexLock_);
    auto it = textIndexes_.find(column);
    if (it == textIndexes_.end()) {
        std::unordered_map<std::wstring, std::vector<uint32_t>> index;
        for (size_t r = 0; r < rows.size(); ++r) {
            if (!rows[r])
                continue;
            DriverValue v = rows[r]->Get(column);
            if (!v.isNull && v.kind == FetchKind::Text)
                index[CzechFoldedKey(v.text, v.textLen)].push_back((uint32_t)r);
        }
        it = textIndexes_.emplace(column, std::move(index)).first;
    }
    auto found = it->second.find(CzechFoldedKey(text, length));
    return found == it->second.end() ? &none : &found->second;
}

void RowsetData::DropIndexes()
{
    std::lock_guard<std::mutex> hold(indexLock_);
    indexes_.clear();
    textIndexes_.clear();
}

void RowsetData::RowStored(size_t index, const RowPtr& before, const RowPtr& after)
{
    std::lock_guard<std::mutex> hold(indexLock_);
    uint32_t row = (uint32_t)index;
    for (auto& [column, byValue] : indexes_) {
        for (const RowPtr* r : {&before, &after}) {
            if (!*r)
                continue;
            DriverValue v = (*r)->Get(column);
            if (v.isNull || v.kind != FetchKind::Integer)
                continue;
            if (r == &before)
                EraseSorted(byValue[v.i], row);
            else
                InsertSorted(byValue[v.i], row);
        }
    }
    for (auto& [column, byKey] : textIndexes_) {
        for (const RowPtr* r : {&before, &after}) {
            if (!*r)
                continue;
            DriverValue v = (*r)->Get(column);
            if (v.isNull || v.kind != FetchKind::Text)
                continue;
            std::vector<uint32_t>& rows = byKey[CzechFoldedKey(v.text, v.textLen)];
            if (r == &before)
                EraseSorted(rows, row);
            else
                InsertSorted(rows, row);
        }
    }
}

}  // namespace zdata
