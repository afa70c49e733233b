// The Czech alphabetical order on a large database:
//   1. the all-records list sorted by locality name, and
//   2. a taxon's 100,000 records sorted by locality name,
// each reopened as the record lists do it (server cursor, every key read, the first page of cells
// read), in the Czech order (the translator names the CZECH collation) beside the same query
// sorted in the schema's own collation (COLLATE NOCASE written in the query), in the same run;
//   3. the comparison itself on the database's locality and taxon names, in random pairs and in
//      the neighbouring pairs of a sorted list, beside wcscmp on the same pairs.
//   collation_bench.exe <database path> [-n <records>] [--rounds <count>]
// A missing database is made with "ZorSampleDb -o <path> -n <records>" (1,000,000 by default); the
// taxon list runs on a copy beside it in which one species has 100,000 records.
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cwchar>
#include <random>
#include <string>
#include <vector>

#include "bench/benchdb.h"
#include "core/database.h"
#include "czechcollation/czechtext.h"

namespace {

const int kTaxonRecords = 100000;
const double kListRatioTarget = 1.3;
const double kComparisonsTarget = 20e6;
const int kPageRows = 50;

// Opens the list as the record lists do, reaches its last key for the count and reads the first
// page of cells; the milliseconds it took, or -1.
double TimeList(CDatabase& db, const std::wstring& sql, long* rows)
{
    double start = NowMs();
    if (FAILED(db.ReopenListRecordset(RS_SEARCH_RECORDS, sql.c_str())))
        return -1;
    zdata::Recordset* rs = db.RecordsetSlot(RS_SEARCH_RECORDS);
    rs->MoveLast();
    rs->get_RecordCount(rows);
    zdata::Fields* fields = nullptr;
    if (SUCCEEDED(rs->get_Fields(&fields)) && fields) {
        long columns = 0;
        fields->get_Count(&columns);
        for (long row = 1; row <= kPageRows && row <= *rows; ++row) {
            rs->put_AbsolutePosition(row);
            for (long c = 0; c < columns && c < 10; ++c) {
                zdata::Field* f = nullptr;
                if (SUCCEEDED(fields->Item(c, &f)) && f) {
                    VARIANT v;
                    VariantInit(&v);
                    f->get_Value(&v);
                    VariantClear(&v);
                    f->Release();
                }
            }
        }
        fields->Release();
    }
    return NowMs() - start;
}

// Locality names at evenly spaced rows of the list (up to the label's coordinates), in UTF-8,
// to show the order.
std::string SampledNames(CDatabase& db, long rows, int count)
{
    zdata::Recordset* rs = db.RecordsetSlot(RS_SEARCH_RECORDS);
    std::string names;
    zdata::Fields* fields = nullptr;
    if (!rs || rows < 2 || FAILED(rs->get_Fields(&fields)) || !fields)
        return names;
    for (int k = 0; k < count; ++k) {
        zdata::Field* f = nullptr;
        if (FAILED(rs->put_AbsolutePosition(1 + (long)((long long)k * (rows - 1) / (count - 1)))) ||
            FAILED(fields->Item(L"NAME:1", &f)) || !f)
            continue;
        VARIANT v;
        VariantInit(&v);
        f->get_Value(&v);
        std::wstring name = v.vt == VT_BSTR && v.bstrVal ? v.bstrVal : L"";
        name = name.substr(0, name.find_first_of(L"(,"));
        char bytes[256] = "";
        WideCharToMultiByte(CP_UTF8, 0, name.c_str(), -1, bytes, sizeof bytes, nullptr, nullptr);
        names += (names.empty() ? "" : ", ") + std::string(bytes);
        VariantClear(&v);
        f->Release();
    }
    fields->Release();
    return names;
}

void CompareLists(CDatabase& db, const char* title, const std::wstring& czechSql, int rounds)
{
    std::wstring plainSql = czechSql + L" COLLATE NOCASE";
    std::vector<double> czech, plain;
    long rows = 0;
    for (int r = 0; r < rounds; ++r) {
        plain.push_back(TimeList(db, plainSql, &rows));
        czech.push_back(TimeList(db, czechSql, &rows));
    }
    double c = Median(czech), p = Median(plain);
    printf("%s (%ld rows):\n", title, rows);
    printf("  Czech order:             %8.0f ms\n", c);
    printf("  schema's own (NOCASE):   %8.0f ms   ratio %.2f (target <= %.1f) %s\n", p, p > 0 ? c / p : 0,
           kListRatioTarget, p > 0 && c / p <= kListRatioTarget ? "met" : "NOT MET");
    printf("  names along the list: %s\n", SampledNames(db, rows, 12).c_str());
    fflush(stdout);
}

std::vector<std::wstring> Names(CDatabase& db, const wchar_t* sql)
{
    std::vector<std::wstring> names;
    EachFirstValue(db, sql, LONG_MAX, [&names](VARIANT& v) {
        if (v.vt == VT_BSTR && v.bstrVal)
            names.push_back(v.bstrVal);
    });
    return names;
}

template <class Compare>
double ComparisonsPerSecond(const std::vector<std::pair<const std::wstring*, const std::wstring*>>& pairs,
                            Compare compare, long long* sink)
{
    std::vector<double> rates;
    for (int round = 0; round < 5; ++round) {
        double start = NowSeconds();
        long long sum = 0;
        for (const auto& p : pairs)
            sum += compare(*p.first, *p.second);
        double seconds = NowSeconds() - start;
        *sink += sum;
        rates.push_back(seconds > 0 ? pairs.size() / seconds : 0);
    }
    return Median(rates);
}

void CompareNames(CDatabase& db)
{
    std::vector<std::wstring> names = Names(db, L"SELECT NAME FROM FEATURES");
    std::vector<std::wstring> taxa = Names(db, L"SELECT NAME FROM SPECIES");
    names.insert(names.end(), taxa.begin(), taxa.end());
    if (names.size() < 2) {
        printf("no names to compare\n");
        return;
    }
    std::mt19937 random(2011);
    std::vector<std::pair<const std::wstring*, const std::wstring*>> randomPairs, neighbours;
    for (int i = 0; i < 2000000; ++i)
        randomPairs.emplace_back(&names[random() % names.size()], &names[random() % names.size()]);
    std::vector<std::wstring> sorted = names;
    std::sort(sorted.begin(), sorted.end(), CzechLess());
    for (size_t i = 0; neighbours.size() < 2000000; i = (i + 1) % (sorted.size() - 1))
        neighbours.emplace_back(&sorted[i], &sorted[i + 1]);

    auto czech = [](const std::wstring& a, const std::wstring& b) { return CzechCompare(a, b); };
    auto plain = [](const std::wstring& a, const std::wstring& b) { return wcscmp(a.c_str(), b.c_str()); };
    long long sink = 0;
    printf("the comparison on %zu locality and taxon names (target >= %.0f million a second):\n", names.size(),
           kComparisonsTarget / 1e6);
    double r1 = ComparisonsPerSecond(randomPairs, czech, &sink);
    double b1 = ComparisonsPerSecond(randomPairs, plain, &sink);
    double r2 = ComparisonsPerSecond(neighbours, czech, &sink);
    double b2 = ComparisonsPerSecond(neighbours, plain, &sink);
    printf("  random pairs:     Czech %6.1f M/s   wcscmp %6.1f M/s   %s\n", r1 / 1e6, b1 / 1e6,
           r1 >= kComparisonsTarget ? "met" : "NOT MET");
    printf("  neighbours:       Czech %6.1f M/s   wcscmp %6.1f M/s   %s\n", r2 / 1e6, b2 / 1e6,
           r2 >= kComparisonsTarget ? "met" : "NOT MET");
    double start = NowMs();
    std::vector<std::wstring> again = names;
    std::sort(again.begin(), again.end(), CzechLess());
    double czechSort = NowMs() - start;
    again = names;
    start = NowMs();
    std::sort(again.begin(), again.end());
    double plainSort = NowMs() - start;
    printf("  sorting all:      Czech %6.0f ms     wcscmp %6.0f ms   (checksum %lld)\n", czechSort, plainSort,
           sink & 0xFF);
}

}  // namespace

int main()
{
    int rounds = 3;
    std::wstring path;
    if (int code = ReadBenchArgs({ { L"--rounds", &rounds, 1 } }, PathWords::Last, stdout,
                                 "Usage: collation_bench <database path> [-n <records>] [--rounds <count>]\n",
                                 &path))
        return code;
    std::wstring copy = TaxonCopyPath(path);
    int taxon = PrepareTaxonCopy(path, copy, kTaxonRecords);
    if (taxon < 0) {
        printf("the working copy could not be prepared\n");
        return 1;
    }

    HWND main = CreateDbWindow(L"ZorCollationBench", 0, 0, 0, HWND_MESSAGE);
    CDatabase db(main, GetModuleHandleW(nullptr));
    ConnSettings settings = {};
    if (!OpenDatabase(db, &settings, copy)) {
        printf("the database could not be opened\n");
        return 1;
    }
    std::wstring missing = db.MissingCollationExtension();
    if (!missing.empty()) {
        printf("the Czech collation extension did not load: %ls\n", missing.c_str());
        return 1;
    }
    CompareNames(db);
    CompareLists(db, "all records sorted by locality name", L"SELECT * FROM COLLECTVIEW ORDER BY NAME:1", rounds);
    CompareLists(db, "the taxon's records sorted by locality name",
                 L"SELECT * FROM COLLECTVIEW WHERE T1.SYSID = " + std::to_wstring(taxon) + L" ORDER BY NAME:1",
                 rounds);
    db.Close();
    free(settings.DBName);
    return 0;
}
