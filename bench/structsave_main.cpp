// Figures of the structure save on a generated records database: each edit saved as Tarnix saves
// it (the eight steps of the save, headless, on one working copy, one edit after another), beside
// a baseline of the same run: the same DDL, and for the level changes one bulk UPDATE of the
// records' path columns, through raw ODBC on a second copy.
//
//   structsave_bench.exe <database path> [-n <records>]
//
// A missing database is made first with ZorSampleDb.exe from the same folder (1,000,000 records
// by default). The two copies it works on are deleted at the end.
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench/benchtarnix.h"
#include "bench/benchutil.h"
#include "core/msgbox.h"
#include "tools/testkit/rawodbc.h"
#include "resources/tarnix/resource.h"
#include "structure/progressdlg.h"
#include "structure/schemadb.h"
#include "structure/structsave.h"

namespace {

const char kUsage[] = "usage: structsave_bench.exe <database path> [-n <records>]\n";

void Row(const char* name, double value, double baseline, const char* unit, const char* target)
{
    char ratio[16] = "-";
    if (baseline > 0)
        snprintf(ratio, sizeof ratio, "%.1fx", value / baseline);
    printf("%-44s %10.3f %-2s %12.3f %-2s %7s  %s\n", name, value, unit, baseline, unit, ratio, target);
    fflush(stdout);
}

INT_PTR CALLBACK Inert(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

bool Quiet(int, ProgressParams* params)
{
    return params->Cancel.load();
}

int g_boxes = 0;
int CountBox(HWND, LPCWSTR text, LPCWSTR, UINT)
{
    ++g_boxes;
    printf("  message: %ls\n", text);
    return IDOK;
}

// A level made the import's way: the levels from its place on move one down.
void InsertLevel(ItemList& list, const wchar_t* name, int place)
{
    LevelEntry* e = NewLevelEntry();
    e->State = ENTRY_NEW;
    e->OrigLevelId = e->NewLevelId = place;
    wcscpy(e->Name, name);
    for (int i = 0; i < list.Count; ++i)
        if (LevelAt(&list, i)->NewLevelId >= place)
            ++LevelAt(&list, i)->NewLevelId;
    ItemListAdd(e, &list);
}

void AddAttr(ItemList& list, const wchar_t* field, int type, int size, int key)
{
    AttrEntry* e = NewAttrEntry();
    e->State = ENTRY_NEW;
    e->Type = type;
    e->Size = size;
    e->KeyFlag = key;
    wcscpy(e->FieldName, field);
    wcscpy(e->Caption, field);
    ItemListAdd(e, &list);
}

// The save of Tarnix on the working copy.
class TarnixCopy : public TarnixDb {
public:
    explicit TarnixCopy(const std::wstring& path) : TarnixDb(path)
    {
        dialog_ = CreateDialogParamW(GetModuleHandleW(nullptr), L"SAVEPROGDLG", nullptr, Inert, 0);
    }
    ~TarnixCopy() { DestroyWindow(dialog_); }
    // Seconds of the whole save, -1 when it failed.
    double Save()
    {
        ProgressParams params;
        params.hInstance = GetModuleHandleW(nullptr);
        params.Dialog = dialog_;
        params.Mode = PROGRESS_SAVE;
        params.Argument = &Db();
        params.Model = &Model();
        params.Callback = Quiet;
        double start = NowSeconds();
        bool saved = RunStructureSave(&params);
        double seconds = NowSeconds() - start;
        return saved ? seconds : -1;
    }

private:
    HWND dialog_;
};

// The same changes as plain statements in one transaction on the baseline copy.
double RawSeconds(zor::RawOdbc& raw, const std::vector<std::wstring>& statements)
{
    double start = NowSeconds();
    raw.Begin();
    for (const std::wstring& sql : statements)
        if (!raw.Exec(sql))
            printf("  baseline statement failed: %ls\n  %ls\n", sql.c_str(), raw.LastError().c_str());
    raw.Commit();
    return NowSeconds() - start;
}

// One bulk UPDATE of the records' systematic path columns: each column of the list takes the
// value of its source column (0: NULL).
std::wstring MovePaths(const std::vector<std::pair<int, int>>& moves)
{
    std::wstring sql = L"UPDATE ZORNACOLLS SET ";
    for (size_t i = 0; i < moves.size(); ++i)
        sql += (i ? L", SYS_LEVEL_" : L"SYS_LEVEL_") + std::to_wstring(moves[i].first) + L" = " +
               (moves[i].second ? L"SYS_LEVEL_" + std::to_wstring(moves[i].second) : std::wstring(L"NULL"));
    return sql;
}

}  // namespace

int main()
{
    std::wstring path;
    int code = ReadBenchArgs({}, PathWords::Strict, stderr, kUsage, &path);
    if (code)
        return code;
    SetMsgBoxHook(CountBox);
    std::wstring folder = path.substr(0, path.find_last_of(L"\\/") + 1);
    std::wstring tarnixPath = folder + L"structsave_tarnix.mdb", rawPath = folder + L"structsave_raw.mdb";
    if (!CopyDatabase(path, tarnixPath) || !CopyDatabase(path, rawPath))
        return 1;
    {
        TarnixCopy tarnix(tarnixPath);
        zor::RawOdbc raw;
        if (!tarnix.ok() || !raw.Open(rawPath, false)) {
            printf("cannot open the copies\n");
            return 1;
        }
        long long records = raw.QueryInt(L"SELECT COUNT(*) FROM ZORNACOLLS", 0);
        printf("%lld records; each figure is the whole save (eight steps)\n\n", records);
        printf("%-44s %13s %15s %8s  %s\n", "edit", "Tarnix", "raw ODBC", "ratio", "target");
        StructureModel& m = tarnix.Model();
        ItemList& sys = m.Lists[MODEL_SYS_LEVELS];
        ItemList& recs = m.Lists[MODEL_RECORD_ATTRS];
        struct Edit {
            const char* name;
            std::function<void()> edit;
            std::vector<std::wstring> baseline;
            const char* target;
        };
        const std::wstring posid = L"(SELECT MAX(POSID) + 1 FROM CUSTOMATTRIBUTES)";
        std::vector<Edit> edits = {
            {"renaming a level",
             [&] {
                 LevelEntry* e = FindLevelNamed(&sys, L"Rod");
                 wcscpy(e->Name, L"Rod (genus)");
                 e->State = ENTRY_CHANGED;
             },
             {L"UPDATE SYSDEF SET NAME = 'Rod (genus)' WHERE LEVELID = 3"},
             "< 0.5 s"},
            {"renaming a caption (records)",
             [&] {
                 AttrEntry* e = FindAttrNamed(&recs, L"LEG");
                 wcscpy(e->Caption, L"Sběratelé");
                 e->State = ENTRY_CHANGED;
             },
             {L"UPDATE CUSTOMATTRIBUTES SET CAPTION = 'Sběratelé' WHERE FIELDNAME = 'LEG'"},
             "< 0.5 s"},
            {"adding a level",
             [&] { InsertLevel(sys, L"Forma", 6); },
             {L"INSERT INTO SYSDEF (LEVELID, NAME, DATALEVEL) VALUES (6, 'Forma', 0)",
              L"ALTER TABLE ZORNACOLLS ADD SYS_LEVEL_6 INTEGER"},
             "< 1 s"},
            {"adding a text attribute to SPECIES",
             [&] { AddAttr(m.Lists[MODEL_SPECIES_ATTRS], L"NOTE", 4, 40, 0); },
             {L"ALTER TABLE SPECIES ADD NOTE VARCHAR(40)",
              L"INSERT INTO CUSTOMATTRIBUTES (TABLENAME, FIELDNAME, POSID, ATTRTYPE, ATTRSIZE, KEYFLAG, CAPTION) "
              L"VALUES ('SPECIES', 'NOTE', " + posid + L", 4, 40, 0, 'NOTE')"},
             "< 1 s"},
            {"adding a key list attribute to ZORNACOLLS",
             [&] { AddAttr(recs, L"STAV", 5, 30, -1); },
             {L"CREATE TABLE ZOR_STAV (NAME VARCHAR(30) NOT NULL COLLATE NOCASE PRIMARY KEY, ABBREV VARCHAR(15))",
              L"DROP INDEX COLL_INDEX",
              L"ALTER TABLE ZORNACOLLS ADD STAV VARCHAR(30) COLLATE NOCASE REFERENCES ZOR_STAV(NAME) ON UPDATE CASCADE "
              L"ON DELETE CASCADE",
              L"CREATE INDEX ZOR_STAV_IDX ON ZORNACOLLS(STAV)",
              L"INSERT INTO CUSTOMATTRIBUTES (TABLENAME, FIELDNAME, POSID, ATTRTYPE, ATTRSIZE, KEYFLAG, CAPTION) "
              L"VALUES ('ZORNACOLLS', 'STAV', " + posid + L", 5, 30, -1, 'STAV')",
              L"CREATE UNIQUE INDEX COLL_INDEX ON ZORNACOLLS(SYSID, FTRID, DATUM, STAV)"},
             "< 5 s"},
            {"deleting a ZORNACOLLS attribute (values)",
             [&] { FindAttrNamed(&recs, L"METODA")->State = ENTRY_DELETED; },
             {L"ALTER TABLE ZORNACOLLS DROP COLUMN METODA", L"DROP TABLE ZOR_METODA",
              L"DELETE FROM CUSTOMATTRIBUTES WHERE TABLENAME = 'ZORNACOLLS' AND FIELDNAME = 'METODA'",
              L"UPDATE CUSTOMATTRIBUTES SET POSID = POSID - 1 WHERE TABLENAME = 'ZORNACOLLS' AND POSID > 11"},
             "< 10 s"},
            {"inserting an unused level at place 2",
             [&] { InsertLevel(sys, L"Nadčeleď", 2); },
             {L"UPDATE SYSDEF SET LEVELID = LEVELID + 100 WHERE LEVELID >= 2",
              L"UPDATE SYSDEF SET LEVELID = LEVELID - 99 WHERE LEVELID >= 102",
              L"INSERT INTO SYSDEF (LEVELID, NAME, DATALEVEL) VALUES (2, 'Nadčeleď', 0)",
              L"ALTER TABLE ZORNACOLLS ADD SYS_LEVEL_7 INTEGER",
              MovePaths({{7, 6}, {6, 5}, {5, 4}, {4, 3}, {3, 2}, {2, 0}})},
             "(no target)"},
            {"deleting an unused level (paths rewritten)",
             [&] {
                 FindLevelNamed(&sys, L"Nadčeleď")->State = ENTRY_DELETED;
                 for (int i = 0; i < sys.Count; ++i)
                     if (LevelAt(&sys, i)->NewLevelId > 2)
                         --LevelAt(&sys, i)->NewLevelId;
             },
             {L"DELETE FROM SYSDEF WHERE LEVELID = 2", L"UPDATE SYSDEF SET LEVELID = LEVELID + 100 WHERE LEVELID > 2",
              L"UPDATE SYSDEF SET LEVELID = LEVELID - 101 WHERE LEVELID > 100",
              MovePaths({{2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}}),
              L"ALTER TABLE ZORNACOLLS DROP COLUMN SYS_LEVEL_7"},
             "< 15 s, < 500 MB"},
            {"swapping two levels (paths rewritten)",
             [&] {
                 FindLevelNamed(&sys, L"Řád")->NewLevelId = 2;
                 FindLevelNamed(&sys, L"Čeleď")->NewLevelId = 1;
             },
             {L"UPDATE SYSDEF SET LEVELID = LEVELID + 100 WHERE LEVELID IN (1, 2)",
              L"UPDATE SYSDEF SET LEVELID = 1 WHERE LEVELID = 102", L"UPDATE SYSDEF SET LEVELID = 2 WHERE LEVELID = 101",
              L"UPDATE ZORNACOLLS SET SYS_LEVEL_1 = SYS_LEVEL_2, SYS_LEVEL_2 = SYS_LEVEL_1"},
             "< 15 s, < 500 MB"},
        };
        for (const Edit& e : edits) {
            e.edit();
            g_boxes = 0;
            double seconds = tarnix.Save();
            double baseline = RawSeconds(raw, e.baseline);
            Row(e.name, seconds, baseline, "s", e.target);
            if (seconds < 0 || g_boxes)
                printf("  the save failed\n");
        }
        printf("\npeak working set of the run: %.1f MB (target < 500 MB)\n", PeakMemoryMb());
    }
    DeleteFileW(tarnixPath.c_str());
    DeleteFileW(rawPath.c_str());
    return 0;
}
