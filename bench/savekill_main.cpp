// The structure save of Tarnix under its progress dialog, for killing it part-way by hand: on the
// given database it adds the systematic level "Podrod" (between Rod and Druh) and the records
// attribute STAV (text, 40) in one edit and saves them as the command "Uložit změny" does, on the
// dialog's worker thread. Each bar position is printed with the seconds since the save began, so
// that a shell can kill the process (kill -9) at a chosen moment and then look at the file:
// either both changes are there or neither, and the file is sound.
//
//   savekill_bench.exe <database path>
//
// The database is changed in place: give it a copy.
#include <windows.h>

#include <cstdio>
#include <string>

#include "bench/benchtarnix.h"
#include "bench/benchutil.h"
#include "core/msgbox.h"
#include "structure/progressdlg.h"

namespace {

const char kUsage[] = "usage: savekill_bench.exe <database path>\n";

double g_start = 0;

bool PrintPosition(int position, ProgressParams* params)
{
    printf("%.3f s: %d\n", NowSeconds() - g_start, position);
    fflush(stdout);
    return ProgressCallback(position, params);
}

}  // namespace

int main()
{
    std::wstring path;
    int code = ReadBenchArgs({}, PathWords::Strict, stderr, kUsage, &path);
    if (code)
        return code;
    SetMsgBoxHook(PrintMessageBox);
    TarnixDb tarnix(path);
    if (!tarnix.ok()) {
        printf("cannot open %ls\n", path.c_str());
        return 1;
    }
    ItemList& sys = tarnix.Model().Lists[MODEL_SYS_LEVELS];
    if (!FindLevelNamed(&sys, L"Rod") || FindLevelNamed(&sys, L"Podrod")) {
        printf("the systematic levels are not the sample's\n");
        return 1;
    }
    // The page's way: the new level takes Druh's place, the levels from there move one down.
    const int place = FindLevelNamed(&sys, L"Rod")->NewLevelId + 1;
    for (int i = 0; i < sys.Count; ++i)
        if (LevelAt(&sys, i)->NewLevelId >= place)
            ++LevelAt(&sys, i)->NewLevelId;
    LevelEntry* level = NewLevelEntry();
    level->State = ENTRY_NEW;
    level->OrigLevelId = level->NewLevelId = place;
    wcscpy(level->Name, L"Podrod");
    ItemListAdd(level, &sys);
    ItemList& recs = tarnix.Model().Lists[MODEL_RECORD_ATTRS];
    AttrEntry* attr = NewAttrEntry();
    attr->State = ENTRY_NEW;
    attr->Type = 4;
    attr->Size = 40;
    attr->Position = recs.Count;
    wcscpy(attr->FieldName, L"STAV");
    wcscpy(attr->Caption, L"Stav dokladu");
    ItemListAdd(attr, &recs);

    ProgressParams params;
    params.hInstance = GetModuleHandleW(nullptr);
    params.Mode = PROGRESS_SAVE;
    params.Argument = &tarnix.Db();
    params.Model = &tarnix.Model();
    params.Callback = PrintPosition;
    printf("save begins (process %lu)\n", GetCurrentProcessId());
    fflush(stdout);
    g_start = NowSeconds();
    INT_PTR result = RunProgressDialog(nullptr, &params);
    printf("%.3f s: save ended with %d\n", NowSeconds() - g_start, (int)result);
    return result == 1 ? 0 : 1;
}
