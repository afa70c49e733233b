// Saving a publication on a large records database: a publication with 10 authors, 3 keywords
// and 20 taxon and locality links saved again and again (each save rewrites the row and every
// link in one transaction and reads the literature list and the title list again), and new
// publications of the same shape; beside the same rows written with plain prepared ODBC
// statements in one transaction, measured in the same run. The publications, links and names
// the run adds are removed at the end.
//
//   litsave_bench.exe <database path> [-n <records>] [--runs <count>]
//
// A missing database is made first with ZorSampleDb.exe from the same folder
// ("ZorSampleDb -o <path> -n <records>", 1,000,000 records by default).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/benchdb.h"
#include "core/database.h"
#include "core/literature.h"
#include "tools/testkit/rawodbc.h"
#include "core/textutil.h"
#include "core/zm_messages.h"

namespace {

const double kTargetMs = 20.0;
const int kAuthors = 10;
const int kLinksEach = 10;  // taxa, and as many localities

std::vector<int> Ids(zor::RawOdbc& raw, const std::wstring& sql)
{
    std::vector<std::vector<std::wstring>> rows;
    raw.Query(sql, rows);
    std::vector<int> ids;
    for (const auto& r : rows)
        ids.push_back(_wtoi(r[0].c_str()));
    return ids;
}

std::wstring Quoted(const std::wstring& text)
{
    std::wstring r = L"'";
    for (wchar_t c : text) {
        r += c;
        if (c == L'\'')
            r += c;
    }
    return r + L"'";
}

std::vector<std::wstring> Texts(zor::RawOdbc& raw, const std::wstring& sql)
{
    std::vector<std::vector<std::wstring>> rows;
    raw.Query(sql, rows);
    std::vector<std::wstring> texts;
    for (const auto& r : rows)
        texts.push_back(r[0]);
    return texts;
}

// The publication every save writes: half of its authors are in the list already, half are
// added by the first save.
struct BenchRecord
{
    LiteratureRecord r = {};
    BenchRecord(CDatabase& db, const std::vector<std::wstring>& authors,
                const std::wstring& journal, const std::vector<std::wstring>& keywords,
                const std::vector<int>& taxa, const std::vector<int>& places)
    {
        r.Mode = 1;
        r.Id = -1;
        r.Values = new CPtrArray(PTRARRAY_OWNS_ITEMS, 16, 4);
        r.Authors = new CPtrArray(PTRARRAY_OWNS_ITEMS, 16, 4);
        r.Keywords = new CPtrArray(PTRARRAY_OWNS_ITEMS, 16, 4);
        r.SpeciesIds = new CIntArray(16, 16);
        r.LocalityIds = new CIntArray(16, 16);
        VariantInit(&r.Abstract);
        for (int i = 0; i < db.LiteratureAttrs->GetCount(); i++)
            r.Values->Add(calloc(1, sizeof(VARIANT)));
        VARIANT* year = (VARIANT*)r.Values->GetItems()[0];
        year->vt = VT_I4;
        year->lVal = 2024;
        CopyWideBounded(L"Nové nálezy brouků (Coleoptera) na Moravě", r.Title, 256);
        CopyWideBounded(authors[0].c_str(), r.FirstAuthor, 64);
        CopyWideBounded(journal.c_str(), r.Journal, 128);
        for (const auto& a : authors)
            r.Authors->Add(WideDup(a.c_str()));
        for (const auto& k : keywords)
            r.Keywords->Add(WideDup(k.c_str()));
        for (int t : taxa)
            r.SpeciesIds->Add(t);
        for (int p : places)
            r.LocalityIds->Add(p);
        r.Abstract.vt = VT_BSTR;
        r.Abstract.bstrVal = SysAllocString(L"Souhrn výsledků průzkumu.");
    }
    ~BenchRecord()
    {
        for (int i = 0; i < r.Values->GetCount(); i++)
            VariantClear((VARIANT*)r.Values->GetItems()[i]);
        delete r.Values;
        delete r.Authors;
        delete r.Keywords;
        delete r.SpeciesIds;
        delete r.LocalityIds;
        VariantClear(&r.Abstract);
    }
};

// The same writes as an edit save, with prepared statements in one transaction.
bool RawSave(zor::RawOdbc& raw, int litId, int journalId, const std::vector<int>& authorIds,
             const std::vector<int>& keywordIds, const std::vector<int>& taxa,
             const std::vector<int>& places)
{
    if (!raw.Begin())
        return false;
    bool ok = true;
    {
        zor::RawStatement row;
        ok = row.Prepare(raw, L"UPDATE LITERATURE SET NAME = ?, EDITOR = NULL, JOURNALID = ?, "
                              L"FIRSTAUTHOR = ?, IYEAR = 2024, ABSTRACT = ? WHERE ID = ?");
        row.SetText(1, L"Nové nálezy brouků (Coleoptera) na Moravě");
        row.SetInt(2, journalId);
        row.SetInt(3, authorIds[0]);
        row.SetText(4, L"Souhrn výsledků průzkumu.");
        row.SetInt(5, litId);
        ok = ok && row.Execute();
        const struct { const wchar_t* table; const wchar_t* insert; const std::vector<int>* ids; } links[] = {
            { L"BOOKAUTHORS", L"INSERT INTO BOOKAUTHORS (LITID, AUTHORID, AUTHPOS) VALUES (?, ?, ?)", &authorIds },
            { L"LITSYSREFS", L"INSERT INTO LITSYSREFS (LITID, SYSID, REFPOS) VALUES (?, ?, ?)", &taxa },
            { L"LITLOCREFS", L"INSERT INTO LITLOCREFS (LITID, LOCID, REFPOS) VALUES (?, ?, ?)", &places },
            { L"LITKEYWORDSREFS", L"INSERT INTO LITKEYWORDSREFS (LITID, KEYWORDID, REFPOS) VALUES (?, ?, ?)",
              &keywordIds },
        };
        for (const auto& l : links) {
            ok = ok && raw.Exec(std::wstring(L"DELETE FROM ") + l.table + L" WHERE LITID = " +
                                std::to_wstring(litId));
            zor::RawStatement insert;
            ok = ok && insert.Prepare(raw, l.insert);
            for (size_t i = 0; ok && i < l.ids->size(); i++) {
                insert.SetInt(1, litId);
                insert.SetInt(2, (*l.ids)[i]);
                insert.SetInt(3, (long long)i + 1);
                ok = insert.Execute();
            }
        }
    }
    if (ok)
        return raw.Commit();
    raw.Rollback();
    return false;
}

}  // namespace

int main()
{
    int runs = 15;
    std::wstring path;
    if (int code = ReadBenchArgs({ { L"--runs", &runs, 3 } }, PathWords::Last, stdout,
                                 "Usage: litsave_bench <database path> [-n <records>] [--runs <count>]\n",
                                 &path))
        return code;

    zor::RawOdbc raw;
    if (!raw.Open(path, false)) {
        printf("the database could not be opened\n");
        return 1;
    }
    // Five authors from the list and five the first save adds.
    std::vector<std::wstring> authors = Texts(raw, L"SELECT NAME FROM LITAUTHORS ORDER BY ID LIMIT 5");
    for (int i = (int)authors.size(); i < kAuthors; i++)
        authors.push_back(L"Benchmark Autor " + std::to_wstring(i));
    std::vector<std::wstring> keywords = Texts(raw, L"SELECT NAME FROM KEYWORDS ORDER BY ID LIMIT 3");
    std::vector<std::wstring> journal = Texts(raw, L"SELECT NAME FROM JOURNALS ORDER BY ID LIMIT 1");
    int journalId = (int)raw.QueryInt(L"SELECT MIN(ID) FROM JOURNALS");
    std::vector<int> taxa = Ids(raw, L"SELECT SYSID FROM SPECIES ORDER BY SYSID LIMIT " + std::to_wstring(kLinksEach));
    std::vector<int> places = Ids(raw, L"SELECT LOCID FROM FEATURES ORDER BY LOCID LIMIT " + std::to_wstring(kLinksEach));
    if (journal.empty() || keywords.empty() || (int)taxa.size() < kLinksEach || (int)places.size() < kLinksEach) {
        printf("the database holds too little literature\n");
        return 1;
    }
    long long publications = raw.QueryInt(L"SELECT COUNT(*) FROM LITERATURE");
    long long collected = raw.QueryInt(L"SELECT COUNT(*) FROM ZORNACOLLS");
    long long litAuthors = raw.QueryInt(L"SELECT COUNT(*) FROM LITAUTHORS");

    HWND main = CreateDbWindow(L"ZorLitSaveBench", WS_OVERLAPPEDWINDOW, 200, 100);
    CDatabase db(main, GetModuleHandleW(nullptr));
    ConnSettings settings = {};
    if (!OpenDatabase(db, &settings, path)) {
        printf("the database could not be opened\n");
        return 1;
    }
    // What the main window has open while the literature dialog saves.
    db.LoadNameLists();
    ListQuery q = {};
    q.Kind = 4;
    q.Id = -1;
    db.QueryLiterature(0, &q);
    printf("database: %lld records, %lld publications, %lld literature authors; listed %d\n",
           collected, publications, litAuthors, q.RowCount);
    fflush(stdout);

    BenchRecord edit(db, authors, journal[0], keywords, taxa, places);
    double t0 = NowMs();
    if (!db.SaveLiterature(&edit.r)) {
        printf("the first save failed\n");
        return 1;
    }
    double firstMs = NowMs() - t0;

    std::vector<double> edits, fresh, rawEdits, requeryList, requeryNames;
    std::vector<int> created;
    for (int i = 0; i < runs; i++) {
        double a = NowMs();
        bool ok = db.SaveLiterature(&edit.r) != 0;
        edits.push_back(NowMs() - a);
        BenchRecord another(db, authors, journal[0], keywords, taxa, places);
        double b = NowMs();
        ok = ok && db.SaveLiterature(&another.r) != 0;
        fresh.push_back(NowMs() - b);
        created.push_back(another.r.Id);
        double c = NowMs();
        db.LiteratureListRs->Requery();
        double d = NowMs();
        db.LiteratureNamesRs->Requery();
        double e = NowMs();
        requeryList.push_back(d - c);
        requeryNames.push_back(e - d);
        if (!ok) {
            printf("a save failed\n");
            return 1;
        }
    }
    std::vector<int> authorIds, keywordIds;
    for (const auto& a : authors)
        authorIds.push_back((int)raw.QueryInt(L"SELECT ID FROM LITAUTHORS WHERE NAME = " + Quoted(a)));
    for (const auto& k : keywords)
        keywordIds.push_back((int)raw.QueryInt(L"SELECT ID FROM KEYWORDS WHERE NAME = " + Quoted(k)));
    for (int i = 0; i < runs; i++) {
        double a = NowMs();
        if (!RawSave(raw, edit.r.Id, journalId, authorIds, keywordIds, taxa, places)) {
            printf("the plain save failed: %ls\n", raw.LastError().c_str());
            return 1;
        }
        rawEdits.push_back(NowMs() - a);
    }
    long long links = raw.QueryInt(L"SELECT COUNT(*) FROM BOOKAUTHORS WHERE LITID = " + std::to_wstring(edit.r.Id)) +
                      raw.QueryInt(L"SELECT COUNT(*) FROM LITSYSREFS WHERE LITID = " + std::to_wstring(edit.r.Id)) +
                      raw.QueryInt(L"SELECT COUNT(*) FROM LITLOCREFS WHERE LITID = " + std::to_wstring(edit.r.Id));

    double editMedian = Median(edits);
    bool pass = editMedian < kTargetMs;
    printf("publication with %d authors, %d taxon/locality links, %d keywords (%lld author and taxon/locality rows stored)\n",
           kAuthors, 2 * kLinksEach, (int)keywords.size(), links);
    printf("first save (adds %d authors)       %8.2f ms\n", kAuthors - 5, firstMs);
    printf("save of the publication again       median %7.2f ms, max %7.2f ms   target < %.0f ms: %s\n",
           editMedian, *std::max_element(edits.begin(), edits.end()), kTargetMs, pass ? "pass" : "FAIL");
    printf("save of a new publication           median %7.2f ms, max %7.2f ms\n", Median(fresh),
           *std::max_element(fresh.begin(), fresh.end()));
    printf("  of which list requeries: literature list %6.2f ms, titles %6.2f ms\n", Median(requeryList),
           Median(requeryNames));
    printf("baseline: same rows, prepared ODBC  median %7.2f ms (the save takes %.1fx)\n", Median(rawEdits),
           Median(rawEdits) > 0 ? editMedian / Median(rawEdits) : 0.0);
    fflush(stdout);

    // Leave the database as it was.
    CIntArray ids(64, 64);
    ids.Add(edit.r.Id);
    for (int id : created)
        ids.Add(id);
    db.DeleteLiterature(&ids);
    db.Close();
    raw.Exec(L"DELETE FROM LITAUTHORS WHERE NAME LIKE 'Benchmark Autor %'");
    free(settings.DBName);
    return pass ? 0 : 3;
}
