// The main window's private messages: the dispatcher, the helpers the handlers share, and the
// handlers of the shell itself (configuration, the toolbar's name combo, the lists of the cards,
// the view commands and menus, going to a tree item).
#include "mainapp/mainform_messages.h"

#include <commctrl.h>

#include "browse/searchpage.h"
#include "browse/treecard.h"
#include "browse/workspace.h"
#include "core/containers.h"
#include "core/database.h"
#include "core/treefill.h"
#include "mainapp/commands.h"
#include "shellcontract/configdata.h"
#include "mainapp/dbopen.h"
#include "mainapp/mainform.h"
#include "mainapp/toolbars.h"

// ---- helpers ----

CDatabase* ZmCall::Db() const
{
    return Form ? Form->Database : nullptr;
}

Workspace* ZmCall::Ws() const
{
    return Form ? Form->Workspace_ : nullptr;
}

CTreeCard* ZmCard(const ZmCall& call, int card)
{
    Workspace* ws = call.Ws();
    if (!ws)
        return nullptr;
    return card == ZM_CARD_SYS ? ws->SysCard : ws->LocCard;
}

CPtrArray* ZmLevelCache(const ZmCall& call, int card)
{
    CTreeCard* c = ZmCard(call, card);
    return c ? c->GetLevelCache() : nullptr;
}

int ZmLevelCount(const ZmCall& call, int card)
{
    CPtrArray* cache = ZmLevelCache(call, card);
    return cache ? cache->GetCount() : 0;
}

int ZmCurrentTab(const ZmCall& call)
{
    Workspace* ws = call.Ws();
    return ws ? ws->GetCurrentTab(call.Wnd) : -1;
}

void ZmGotoTreeItem(const ZmCall& call, int card, int itemId)
{
    CDatabase* db = call.Db();
    CTreeCard* c = ZmCard(call, card);
    if (!db || !c)
        return;
    CIntArray path(16, 4);
    if (card == ZM_CARD_SYS)
        db->GetSysIdPath(&path, itemId, 0);
    else
        db->GetLocIdPath(&path, itemId, 0);
    SelectTreePath(c->GetTreeView(), &path);
}

void ZmResetToolbarCombo(const ZmCall& call)
{
    if (call.Form && call.Form->Toolbar)
        call.Form->Toolbar->ResetCombo();
}

// ---- 5025-5030 ----

BOOL ZmDbOpened(ZmCall& call)
{
    if (!call.Form)
        return FALSE;
    return OnDatabaseOpened(call.Form, reinterpret_cast<HWND>(call.lParam));
}

BOOL ZmConfigChanged(ZmCall& call)
{
    MainForm* form = call.Form;
    Workspace* ws = call.Ws();
    CDatabase* db = call.Db();
    ConfigData* config = form ? form->Config : nullptr;
    if (!form)
        return TRUE;
    if (ws && config) {
        // As at start-up: the card size in tenths of a point, halved, is the title height.
        ws->ApplyCardFont(config->CardFont, config->CardColor, config->CardPointSize / 5);
    }
    form->UpdateMainTitle();
    if (ws && config) {
        ws->ApplyHeaderFields(WS_SYS_CARD, config->SysHeaderFields);
        ws->ApplyHeaderFields(WS_LOC_CARD, config->LocHeaderFields);
        ws->ApplyListFields(WS_SYS_RECORDS, config->SysFields);
        ws->ApplyListFields(WS_LOC_RECORDS, config->LocFields);
        ws->ApplyListFields(WS_SEARCH_LIST, config->SearchFields);
        ws->ApplyListFields(WS_LIT_LIST, config->LitFields);
    }
    if (ws && db) {
        db->SetTaxonListCount(ws->GetRecordList(WS_SYS_CARD));
        db->SetLocalityListCount(ws->GetRecordList(WS_LOC_CARD));
        db->SetSearchListCount(ws->GetSearchList());
        db->SetLiteratureListCount(ws->GetLitList());
    }
    if (form->SearchPage && config)
        form->SearchPage->SetSearchFields(config->SearchFields);
    return TRUE;
}

BOOL ZmFilterNamesByPrefix(ZmCall& call)
{
    CDatabase* db = call.Db();
    const ZmNamePrefixRequest* request = reinterpret_cast<const ZmNamePrefixRequest*>(call.lParam);
    int list = (int)call.wParam;
    // Every name starts with an empty prefix: the names are listed when they fit the list.
    if (db && request && list >= ZM_NAMES_SPECIES && list <= ZM_NAMES_LITERATURE) {
        if (request->Prefix && request->Prefix[0])
            db->FilterListByName(list, 0, request->Combo, request->Prefix);
        else
            db->ListAllNames(list, request->Combo);
    }
    return TRUE;
}

BOOL ZmFilterNamesByCombo(ZmCall& call)
{
    CDatabase* db = call.Db();
    HWND combo = reinterpret_cast<HWND>(call.lParam);
    if (!db || !combo)
        return TRUE;
    int list = -1;
    if (call.wParam == 0) {
        // The toolbar's combo: the names of the card in front.
        int tab = ZmCurrentTab(call);
        if (tab == TAB_SYSTEM)
            list = ZM_NAMES_SPECIES;
        else if (tab == TAB_LOCALITIES)
            list = ZM_NAMES_FEATURES;
    } else {
        list = (int)call.wParam - 1;
    }
    if (list >= ZM_NAMES_SPECIES && list <= ZM_NAMES_LITERATURE)
        db->FilterListByComboText(list, combo);
    return TRUE;
}

BOOL ZmComboGotoItem(ZmCall& call)
{
    HWND combo = reinterpret_cast<HWND>(call.lParam);
    if (!combo)
        return TRUE;
    LRESULT sel = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (sel == CB_ERR)
        return TRUE;
    int itemId = (int)SendMessageW(combo, CB_GETITEMDATA, (WPARAM)sel, 0);
    int tab = ZmCurrentTab(call);
    if (tab == TAB_SYSTEM)
        ZmGotoTreeItem(call, ZM_CARD_SYS, itemId);
    else if (tab == TAB_LOCALITIES)
        ZmGotoTreeItem(call, ZM_CARD_LOC, itemId);
    return TRUE;
}

BOOL ZmShowToolbarCombo(ZmCall& call)
{
    if (call.Form && call.Form->Toolbar)
        call.Form->Toolbar->ShowCombo(call.wParam ? TRUE : FALSE);
    return TRUE;
}

// ---- 5031-5040 ----

BOOL ZmShowItemInfo(ZmCall& call)
{
    CDatabase* db = call.Db();
    InfoPanelRequest* request = reinterpret_cast<InfoPanelRequest*>(call.lParam);
    if (db && request) {
        int shown = call.wParam == ZM_TREE_SYS ? db->ShowSpeciesInfo(request) : db->ShowFeatureInfo(request);
        if (!shown)
            ReportFileInUse(call.Form);
    }
    return FALSE;
}

BOOL ZmQueryRecordList(ZmCall& call)
{
    CDatabase* db = call.Db();
    ListQuery* query = reinterpret_cast<ListQuery*>(call.lParam);
    if (!db || !query)
        return FALSE;
    // The sender's length is only an estimate: the statement is built to the length it needs.
    int sqlLength = (int)call.wParam;
    switch (query->Kind) {
    case ZM_LIST_TAXON_RECORDS: db->QueryTaxonRecords(sqlLength, query); break;
    case ZM_LIST_LOCALITY_RECORDS: db->QueryLocalityRecords(sqlLength, query); break;
    case ZM_LIST_SEARCH_RECORDS: db->QueryAllRecords(sqlLength, query); break;
    case ZM_LIST_LITERATURE: db->QueryLiterature(sqlLength, query); break;
    default: return FALSE;
    }
    call.Result = query->RowCount;
    return FALSE;
}

BOOL ZmGetListCellText(ZmCall& call)
{
    CDatabase* db = call.Db();
    NMLVDISPINFOW* info = reinterpret_cast<NMLVDISPINFOW*>(call.lParam);
    if (!db || !info)
        return FALSE;
    HWND list = info->hdr.hwndFrom;
    switch ((int)call.wParam) {
    case ZM_LIST_TAXON_RECORDS: db->GetTaxonListCell(&info->item, list); break;
    case ZM_LIST_LOCALITY_RECORDS: db->GetLocalityListCell(&info->item, list); break;
    case ZM_LIST_SEARCH_RECORDS: db->GetSearchListCell(&info->item, list); break;
    case ZM_LIST_LITERATURE: db->GetLiteratureListCell(&info->item, list); break;
    default: break;
    }
    return FALSE;
}

namespace {

void EnableCommands(HMENU menu, const int* commands, int count, bool enabled)
{
    if (!menu)
        return;
    for (int i = 0; i < count; i++)
        EnableMenuItem(menu, (UINT)commands[i], CommandMenuFlags(commands[i], enabled));
}

}  // namespace

BOOL ZmEnableViewCommands(ZmCall& call)
{
    bool enabled = call.wParam != 0;
    HMENU bar = GetMenu(call.Wnd);
    static const int kViewCommands[] = {401, 402, 403, 404};
    static const int kMapCommands[] = {602, 603, 604, 607};
    if (call.lParam & ZM_VIEW_LIST_COMMANDS) {
        // The view menu is a popup of its own that is in the menu bar only while a tree card
        // is in front; its items keep their state while it is out.
        EnableCommands(bar, kViewCommands, 4, enabled);
        if (call.Form)
            EnableCommands(call.Form->ViewMenu, kViewCommands, 4, enabled);
    }
    if (call.lParam & ZM_VIEW_MAP_COMMANDS) {
        EnableCommands(bar, kMapCommands, 4, enabled);
        // The map commands come on when a map card is shown and go off when any other page is:
        // the tree cards' item commands the other way round, as a map has no items to make,
        // rename, delete or edit.
        static const int kItemCommands[] = {301, 302, 303, 304};
        EnableCommands(bar, kItemCommands, 4, !enabled);
        if (call.Form && call.Form->Toolbar)
            call.Form->Toolbar->EnableItemButtons(!enabled);
    }
    if (call.Form && call.Form->Toolbar) {
        call.Form->Toolbar->Regroup(call.wParam ? TRUE : FALSE, call.lParam);
        MarkUnavailableButtons(call.Form->Toolbar->Toolbar);
    }
    return FALSE;
}

BOOL ZmResetToolbarComboMsg(ZmCall& call)
{
    ZmResetToolbarCombo(call);
    return FALSE;
}

BOOL ZmUpdateRecordToolbar(ZmCall& call)
{
    if (call.Form)
        call.Form->UpdateRecordToolbar(call.Wnd, call.wParam ? TRUE : FALSE, (int)call.lParam);
    return TRUE;
}

// ---- 5067, 5078, 5079, 5088 ----

BOOL ZmRefreshLists(ZmCall& call)
{
    Workspace* ws = call.Ws();
    if (ws)
        ws->RefreshAll(call.Wnd);
    return TRUE;
}

namespace {

const int kViewMenuPosition = 3;  // before "&Literatura"

// The popup a view menu resource puts into the menu bar.
HMENU ViewPopupOf(HMENU menuResource)
{
    return menuResource ? GetSubMenu(menuResource, 0) : nullptr;
}

// Whether position 3 of the bar holds the popup of VIEWMENU or MAPMENU (the only popups that
// may be taken out again: the bar's own "&Literatura" stands there otherwise).
bool BarHoldsViewPopup(HMENU bar, const MainForm* form)
{
    if (!bar || !form)
        return false;
    HMENU at = GetSubMenu(bar, kViewMenuPosition);
    return at && (at == ViewPopupOf(form->ViewMenu) || at == ViewPopupOf(form->MapMenu));
}

}  // namespace

BOOL ZmShowViewMenu(ZmCall& call)
{
    MainForm* form = call.Form;
    HMENU bar = GetMenu(call.Wnd);
    if (!form || !bar)
        return TRUE;
    HMENU resource = nullptr;
    if (call.wParam == ZM_MENU_VIEW)
        resource = form->ViewMenu;
    else if (call.wParam == ZM_MENU_MAP)
        resource = form->MapMenu;
    else
        return TRUE;
    HMENU popup = ViewPopupOf(resource);
    if (!popup)
        return TRUE;
    if (call.lParam) {
        // An insert replaces a view popup that is still in: never two "&Zobrazení".
        if (BarHoldsViewPopup(bar, form))
            RemoveMenu(bar, kViewMenuPosition, MF_BYPOSITION);
        wchar_t text[64];
        if (!LoadStringW(form->hInstance, 346, text, 64))
            lstrcpynW(text, L"&Zobrazení", 64);
        InsertMenuW(bar, kViewMenuPosition, MF_BYPOSITION | MF_POPUP, (UINT_PTR)popup, text);
    } else {
        // Only this message's own popup goes out; whatever else stands there stays.
        if (GetSubMenu(bar, kViewMenuPosition) == popup)
            RemoveMenu(bar, kViewMenuPosition, MF_BYPOSITION);
    }
    DrawMenuBar(call.Wnd);
    return TRUE;
}

void RemoveInsertedViewMenu(MainForm* form, HWND mainWnd)
{
    HMENU bar = GetMenu(mainWnd);
    if (BarHoldsViewPopup(bar, form))
        RemoveMenu(bar, kViewMenuPosition, MF_BYPOSITION);
}

BOOL ZmRefreshMaps(ZmCall& call)
{
    Workspace* ws = call.Ws();
    int result = ws ? ws->RefreshMaps() : 0;
    call.Result = result;
    return result ? TRUE : FALSE;
}

BOOL ZmGotoTreeItemMsg(ZmCall& call)
{
    ZmGotoTreeItem(call, call.wParam ? ZM_CARD_LOC : ZM_CARD_SYS, (int)call.lParam);
    return TRUE;
}

// ---- dispatcher ----

namespace {

// Indexed by message - ZM_FIRST; null for 5035, which is not handled.
const ZmHandler kHandlers[ZM_LAST - ZM_FIRST + 1] = {
    ZmDbOpened,             // 5025
    ZmConfigChanged,        // 5026
    ZmFilterNamesByPrefix,  // 5027
    ZmFilterNamesByCombo,   // 5028
    ZmComboGotoItem,        // 5029
    ZmShowToolbarCombo,     // 5030
    ZmShowItemInfo,         // 5031
    ZmQueryRecordList,      // 5032
    ZmGetListCellText,      // 5033
    ZmEnableViewCommands,   // 5034
    nullptr,                // 5035
    ZmResetToolbarComboMsg, // 5036
    ZmFindNameEntry,        // 5037
    ZmGetLookupValues,      // 5038
    ZmFillLookupControl,    // 5039
    ZmUpdateRecordToolbar,  // 5040
    ZmReorderSysItem,       // 5041
    ZmMoveTreeItems,        // 5042
    ZmReassignRecords,      // 5043
    ZmRenameTreeItem,       // 5044
    ZmReselectSysItem,      // 5045
    ZmRefreshTreeCard,      // 5046
    ZmCreateTreeItem,       // 5047
    ZmDeleteTreeItem,       // 5048
    ZmFillLevelControl,     // 5049
    ZmFindLevel,            // 5050
    ZmGetAuthorList,        // 5051
    ZmGetAuthorEntry,       // 5052
    ZmGetAuthorText,        // 5053
    ZmFindAuthor,           // 5054
    ZmFillSysAttrs,         // 5055
    ZmFillLocAttrs,         // 5056
    ZmGetLookupCount,       // 5057
    ZmGetLookupEntry,       // 5058
    ZmGetLookupText,        // 5059
    ZmFindLookupEntry,      // 5060
    ZmLoadTreeItem,         // 5061
    ZmSaveTreeItem,         // 5062
    ZmLoadRecord,           // 5063
    ZmFillRecordAttrs,      // 5064
    ZmSaveRecord,           // 5065
    ZmGetRowById,           // 5066
    ZmRefreshLists,         // 5067
    ZmDeleteRecords,        // 5068
    ZmFillTermCombo,        // 5069
    ZmEditLookupTable,      // 5070
    ZmGetRecordset,         // 5071
    ZmGetLevelDefs,         // 5072
    ZmFillLitAttrs,         // 5073
    ZmLoadLiterature,       // 5074
    ZmSaveLiterature,       // 5075
    ZmSetRecordFilter,      // 5076
    ZmGetRecordPoints,      // 5077
    ZmShowViewMenu,         // 5078
    ZmRefreshMaps,          // 5079
    ZmGetAttrDef,           // 5080
    ZmGetCurrentItemName,   // 5081
    ZmGetCriteriaText,      // 5082
    ZmGetListObject,        // 5083
    ZmLookupFieldValue,     // 5084
    ZmGetLevelSpan,         // 5085
    ZmGetItemPath,          // 5086
    ZmGetRecordValue,       // 5087
    ZmGotoTreeItemMsg,      // 5088
};

}  // namespace

bool DispatchZmMessage(MainForm* form, HWND mainWnd, UINT msg, WPARAM wParam, LPARAM lParam,
                       INT_PTR* dlgResult)
{
    if (msg < ZM_FIRST || msg > ZM_LAST)
        return false;
    ZmHandler handler = kHandlers[msg - ZM_FIRST];
    if (!handler)
        return false;
    ZmCall call = {form, mainWnd, wParam, lParam, 0};
    BOOL procResult = handler(call);
    // The components read through these messages: a damaged page one of them met is told here.
    ReportDamageFound(form);
    // Stored last, after any nested message the handler sent, and stored always: a refused
    // operation must never read as the previous message's success.
    SetWindowLongPtrW(mainWnd, DWLP_MSGRESULT, call.Result);
    if (dlgResult)
        *dlgResult = procResult;
    return true;
}
