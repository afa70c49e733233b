// The structure save under the progress dialog (mode 1): eight steps in a fixed order, the levels
// of the systematic tree and of the locality tree, then the attributes of SYSTREE, LOCTREE,
// SPECIES, FEATURES, ZORNACOLLS and LITERATURE, each all or nothing (savestep.h). The bar passes
// 0, 12, 25, 37, 50, 62, 75, 87 and 100; a step that runs longer than a second shows what it saves
// and moves the bar within its share. A failed step has shown its errors; a Storno press rolls
// back the step that is running and shows string 205. Either way the steps after it do not run,
// the steps before it stay saved, and the dialog ends with 0 (1 when everything went through).
#pragma once
#include <windows.h>

class CSchemaDb;
struct ProgressParams;

// The starter of mode 1 (on the user-interface thread): the dialog's title and status, then
// SaveWorker on a thread of its own.
bool StartSave(void* schemaDb, ProgressParams* params);

// The worker: RunStructureSave, then the dialog ends with its result.
DWORD WINAPI SaveWorker(LPVOID params);

// The eight steps on the calling thread. The block's Argument is the CSchemaDb, its Model the
// structure, its Dialog the owner of every message. True when every step went through and no
// stop was asked for.
bool RunStructureSave(ProgressParams* params);

// String 205 under string 200, owned by owner.
void ShowSaveCancelled(CSchemaDb* db, HWND owner);
