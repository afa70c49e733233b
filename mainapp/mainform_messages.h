// The handlers of the main window's private messages (zm_protocol.h), shared by the files that
// implement them. Each handler gets one ZmCall, puts its result into Result and returns the
// dialog procedure's TRUE or FALSE; DispatchZmMessage stores Result after the handler has run,
// so the value a sender reads is always this message's own, even when the handler sent nested
// messages of its own on the way.
#pragma once
#include <windows.h>

#include "shellcontract/zm_protocol.h"

class CDatabase;
class CTreeCard;
class CPtrArray;
class Workspace;

struct ZmCall
{
    MainForm* Form;
    HWND Wnd;       // the main window (MainWnd is still null during start-up)
    WPARAM wParam;
    LPARAM lParam;
    LONG_PTR Result;

    CDatabase* Db() const;
    Workspace* Ws() const;
};

typedef BOOL (*ZmHandler)(ZmCall& call);

// ---- helpers ----
// The systematic (0) or locality (1) tree card; null while there is no workspace.
CTreeCard* ZmCard(const ZmCall& call, int card);
// The level cache of a card; null while there is none.
CPtrArray* ZmLevelCache(const ZmCall& call, int card);
// Number of levels of a hierarchy (0 without a level cache).
int ZmLevelCount(const ZmCall& call, int card);
// The workspace's current tab, -1 without a workspace.
int ZmCurrentTab(const ZmCall& call);
// Expands and selects an item's path from the root in a card's tree.
void ZmGotoTreeItem(const ZmCall& call, int card, int itemId);
// Empties the main toolbar's name combo (its entries may name items that moved or changed).
void ZmResetToolbarCombo(const ZmCall& call);

// ---- shell, lists and menus (mainform_messages.cpp) ----
BOOL ZmDbOpened(ZmCall& call);
BOOL ZmConfigChanged(ZmCall& call);
BOOL ZmFilterNamesByPrefix(ZmCall& call);
BOOL ZmFilterNamesByCombo(ZmCall& call);
BOOL ZmComboGotoItem(ZmCall& call);
BOOL ZmShowToolbarCombo(ZmCall& call);
BOOL ZmShowItemInfo(ZmCall& call);
BOOL ZmQueryRecordList(ZmCall& call);
BOOL ZmGetListCellText(ZmCall& call);
BOOL ZmEnableViewCommands(ZmCall& call);
BOOL ZmResetToolbarComboMsg(ZmCall& call);
BOOL ZmUpdateRecordToolbar(ZmCall& call);
BOOL ZmRefreshLists(ZmCall& call);
BOOL ZmShowViewMenu(ZmCall& call);
BOOL ZmRefreshMaps(ZmCall& call);
BOOL ZmGotoTreeItemMsg(ZmCall& call);

// ---- tree items and levels (mainform_messages_tree.cpp) ----
BOOL ZmReorderSysItem(ZmCall& call);
BOOL ZmMoveTreeItems(ZmCall& call);
BOOL ZmReassignRecords(ZmCall& call);
BOOL ZmRenameTreeItem(ZmCall& call);
BOOL ZmReselectSysItem(ZmCall& call);
BOOL ZmRefreshTreeCard(ZmCall& call);
BOOL ZmCreateTreeItem(ZmCall& call);
BOOL ZmDeleteTreeItem(ZmCall& call);
BOOL ZmFillLevelControl(ZmCall& call);
BOOL ZmFindLevel(ZmCall& call);
BOOL ZmLoadTreeItem(ZmCall& call);
BOOL ZmSaveTreeItem(ZmCall& call);
BOOL ZmGetLevelDefs(ZmCall& call);

// ---- attributes, lookups and authors (mainform_messages_lookup.cpp) ----
BOOL ZmFindNameEntry(ZmCall& call);
BOOL ZmGetLookupValues(ZmCall& call);
BOOL ZmFillLookupControl(ZmCall& call);
BOOL ZmGetAuthorList(ZmCall& call);
BOOL ZmGetAuthorEntry(ZmCall& call);
BOOL ZmGetAuthorText(ZmCall& call);
BOOL ZmFindAuthor(ZmCall& call);
BOOL ZmFillSysAttrs(ZmCall& call);
BOOL ZmFillLocAttrs(ZmCall& call);
BOOL ZmGetLookupCount(ZmCall& call);
BOOL ZmGetLookupEntry(ZmCall& call);
BOOL ZmGetLookupText(ZmCall& call);
BOOL ZmFindLookupEntry(ZmCall& call);
BOOL ZmFillRecordAttrs(ZmCall& call);
BOOL ZmFillTermCombo(ZmCall& call);
BOOL ZmEditLookupTable(ZmCall& call);
BOOL ZmFillLitAttrs(ZmCall& call);
BOOL ZmGetAttrDef(ZmCall& call);
BOOL ZmLookupFieldValue(ZmCall& call);

// ---- records, literature and the print form (mainform_messages_records.cpp) ----
BOOL ZmLoadRecord(ZmCall& call);
BOOL ZmSaveRecord(ZmCall& call);
BOOL ZmGetRowById(ZmCall& call);
BOOL ZmDeleteRecords(ZmCall& call);
BOOL ZmGetRecordset(ZmCall& call);
BOOL ZmLoadLiterature(ZmCall& call);
BOOL ZmSaveLiterature(ZmCall& call);
BOOL ZmSetRecordFilter(ZmCall& call);
BOOL ZmGetRecordPoints(ZmCall& call);
BOOL ZmGetCurrentItemName(ZmCall& call);
BOOL ZmGetCriteriaText(ZmCall& call);
BOOL ZmGetListObject(ZmCall& call);
BOOL ZmGetLevelSpan(ZmCall& call);
BOOL ZmGetItemPath(ZmCall& call);
BOOL ZmGetRecordValue(ZmCall& call);

// Converts a name into at most size - 1 bytes of the ANSI code page and terminates it (a name
// that needs more is cut at a character boundary); the bytes written.
int ZmNameToAnsi(const wchar_t* name, char* buffer, int size);
