// The structure save under the progress dialog (mode 1): eight steps in a fixed order, the levels
// of the systematic tree and of the locality tree, then the attributes of SYSTREE, LOCTREE,
// SPECIES, FEATURES, ZORNACOLLS and LITERATURE. The bar passes 0, 12, 25, 37, 50, 62, 75, 87 and
// 100; a step that runs longer than a second shows what it saves and moves the bar within its
// share. The whole save is one transaction, each step a savepoint of it (savestep.h): a failed
// step (it has shown its errors), a Storno press (string 205, that nothing was changed) or a
// refused commit rolls everything back, and the model gets back every edit as pending. A process
// killed during the save leaves the file as it was too. The dialog ends with 1 when everything
// was committed, else 0.
#pragma once
#include <windows.h>

class CSchemaDb;
struct ProgressParams;

// The starter of mode 1 (on the user-interface thread): the dialog's title and status, then
// SaveWorker on a thread of its own.
bool StartSave(void* schemaDb, ProgressParams* params);

// The worker: RunStructureSave, then the dialog ends with its result.
DWORD WINAPI SaveWorker(LPVOID params);

// The eight steps in one transaction on the calling thread. The block's Argument is the
// CSchemaDb, its Model the structure, its Dialog the owner of every message. True when every step
// went through, no stop was asked for and the transaction was committed.
bool RunStructureSave(ProgressParams* params);

// String 205 under the save's title (92) with no error mark, over the window the user works in.
void ShowSaveCancelled(CSchemaDb* db, HWND owner);
