// Database validation and repair. The user picks the parts in VALIDATEDLG; the check then runs
// on a worker thread under the progress dialog (mode 2) and repairs the data against the tree
// structure as loaded into the model:
//   - species system: species rows whose item is missing or not at a data level are deleted;
//     every item of a data level gets its species row, with its composed name and its place
//     (ABSOLUTEPOS 1, 2, 3 ... in the tree's order, siblings by SYSPOS);
//   - locality system: locality rows whose item is missing or not at a data level are deleted;
//     every item of a data level gets its locality row with a fresh label;
//   - records: the level path columns SYS_LEVEL_n and LOC_LEVEL_n of every record are
//     rewritten from its species and locality items.
// Before any of it the engine's integrity check reads the whole file: a damaged file is reported
// and nothing is repaired on it. Each pass runs in one transaction; when one cannot begin, the
// run stops there with a message and writes nothing more. Rows already right are not written
// again. Every damage found goes into the run's log: repaired once its pass has committed, or
// listed as not repaired (what the check cannot repair: a record of an item that is not there,
// items cut off the top by a missing parent or a PARENT cycle; a write the database refused; a
// pass it did not save). Only a run that left nothing unrepaired ends with success.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "dataaccess/ado.h"

struct ProgressParams;
struct ItemList;

// Check flags.
enum DbCheckFlags {
    DBCHECK_SPECIES = 1,     // "Systém druhů"
    DBCHECK_LOCALITIES = 2,  // "Systém lokalit"
    DBCHECK_RECORDS = 4,     // "Nálezy"
    DBCHECK_ALL = 7,
};

// What a run found and did, for the user to read after it.
struct DbCheckLog {
    std::vector<std::wstring> Lines;  // section titles, each followed by its findings indented
    int Repaired = 0;      // repairs whose pass committed
    int Unrepaired = 0;    // damage left as it is, failed writes and repairs not saved included
    int FailedWrites = 0;  // writes the database refused
    std::wstring Outcome;  // the final status
    bool Success = false;  // Outcome is the success text
};

// One validation run: the connection, its recordsets (opened on demand, client cursors),
// the worker's thread id and the chosen parts. Deleted after the progress dialog has ended.
struct DbCheck {
    DbCheck(zdata::Connection* connection, int flags);
    ~DbCheck();
    DbCheck(const DbCheck&) = delete;
    DbCheck& operator=(const DbCheck&) = delete;

    zdata::Connection* Connection;
    zdata::Recordset* SysTree;   // SYSTREE WHERE ID > 0 ORDER BY PARENT, SYSPOS (read-only)
    zdata::Recordset* Species;   // SPECIES (optimistic)
    zdata::Recordset* LocTree;   // LOCTREE WHERE ID > 0 ORDER BY PARENT, NAME (read-only)
    zdata::Recordset* Features;  // FEATURES (optimistic)
    zdata::Recordset* Records;   // ZORNACOLLS (optimistic)
    DWORD ThreadId;
    int Flags;
    DbCheckLog Log;
};

// VALIDATEDLG over owner with the boxes set from *flags; true on OK, *flags then the checked
// boxes (possibly none).
bool ShowValidateDialog(HINSTANCE instance, HWND owner, int* flags);

// The starter of mode 2: the dialog's title, then DbCheckThread on a thread of its own.
bool StartDbCheck(void* dbCheck, ProgressParams* params);

// The worker: the whole run, ended for the user to close (string 98 done, 97 interrupted).
DWORD WINAPI DbCheckThread(LPVOID params);

// The same run on the calling thread (the worker's body; also for headless runs). The block's
// Argument is the DbCheck, its Model the structure with the level lists as loaded. True when
// the run was not cancelled.
bool RunDbCheck(ProgressParams* params);

// Test seams: begin and commit the transaction of each pass instead of the connection's
// BeginTrans and CommitTrans (null restores them). Each returns the one it replaces.
typedef HRESULT (*DbCheckBeginFn)(zdata::Connection* connection);
DbCheckBeginFn SetDbCheckBegin(DbCheckBeginFn begin);
DbCheckBeginFn SetDbCheckCommit(DbCheckBeginFn commit);

// The first column of the first row of the query as an integer (0 when there is none).
int CountRows(zdata::Connection* connection, const wchar_t* sql);

// ---- levels of a model list (entries in list order, OrigLevelId the id in the database) ----

int FirstDataLevel(const ItemList* levels);            // -1 when none
bool IsDataLevel(const ItemList* levels, int levelId);  // false for an unknown id
int LevelIndex(const ItemList* levels, int levelId);    // -1 when none
// The ids of the data levels in list order, as a malloc'd array (free it); null when none.
int* DataLevelIds(const ItemList* levels, int* count);
