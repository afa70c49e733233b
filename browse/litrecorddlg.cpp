// The publication dialog: opening, the tabs, the main page (title, first author, periodical,
// publisher, attributes), the abstract edit and OK. The name and tree pages are in
// litrecorddlg_pages.cpp.
#include "browse/litrecorddlg.h"

#include <stdlib.h>

#include "browse/attrcheck.h"
#include "browse/littext.h"
#include "browse/memodlg.h"
#include "browse/propboxlookup.h"
#include "browse/tabpages.h"
#include "controls/plexa.h"
#include "core/containers.h"
#include "core/ctlfill.h"
#include "core/database.h"
#include "core/leveldefs.h"
#include "core/literature.h"
#include "core/rsutil.h"
#include "core/textutil.h"
#include "core/treemove.h"
#include "shellcontract/zm_protocol.h"
#include "resources/zorna/resource.h"

namespace {

// Texts the record holds, without their terminators.
const int kTitleMax = 255;
const int kFirstAuthorMax = 63;
const int kJournalMax = 127;
const int kPublisherMax = 127;

// JOURNALS: 0 ID, 3 the publisher's EDITORS.ID.
const long kJournalPublisherColumn = 3;

const wchar_t* const kPageTemplates[kLitPageCount] = {
    L"ELRMAINPAGE", L"ELRAUTHPAGE", L"ELRAUTHPAGE", L"ELRSYSPAGE", L"ELRSYSPAGE",
};
const UINT kTabTexts[] = {IDS_PROPERTIES, IDS_AUTHORS, IDS_KEYWORDS, 808, 810, IDS_ABSTRACT};

// The cleaned text of a field, cut to what the record holds, into the record's buffer.
std::wstring ReadLine(HWND window, wchar_t* buffer, int maxLength)
{
    std::wstring text = CleanLineText(GetWindowString(window));
    if ((int)text.size() > maxLength)
        text.resize((size_t)maxLength);
    lstrcpynW(buffer, text.c_str(), maxLength + 1);
    return text;
}

// Selects the combo's entry of the text; a text the list does not hold stays as typed.
void SelectComboText(HWND combo, const wchar_t* text)
{
    int index = -1;
    if (text && *text)
        index = (int)SendMessageW(combo, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)text);
    if (index >= 0)
        SendMessageW(combo, CB_SETCURSEL, (WPARAM)index, 0);
    else
        SetWindowTextW(combo, text ? text : L"");
}

zdata::Recordset* Recordset(HWND owner, int kind)
{
    return reinterpret_cast<zdata::Recordset*>(SendZm(owner, ZM_GET_RECORDSET, kind, 0));
}

// The publisher (EDITORS.ID) stored with a periodical; -1 when none or the periodical is gone.
int PublisherOfJournal(zdata::Recordset* journals, int journalId)
{
    zdata::Field* idField = journals ? FieldByName(journals, L"ID") : nullptr;
    if (!idField)
        return -1;
    int publisher = -1;
    if (LocateRecordById(journalId, idField, journals)) {
        zdata::Fields* fields = nullptr;
        if (SUCCEEDED(journals->get_Fields(&fields)) && fields) {
            VARIANT value;
            ColumnValue(fields, kJournalPublisherColumn, &value);
            if (value.vt != VT_NULL && value.vt != VT_EMPTY)
                publisher = VariantToInt(&value);
            VariantClear(&value);
            fields->Release();
        }
    }
    idField->Release();
    return publisher;
}

}  // namespace

// ---- the dialog ----

CEditLitRecordDlg::CEditLitRecordDlg(HINSTANCE instance)
    : Owner(nullptr), Dialog(nullptr), Pages(), PageArea(), AbstractEdit(nullptr), Record(nullptr),
      Purging(0), Instance(instance), PageData()
{
}

int CEditLitRecordDlg::Show(HWND owner, LiteratureRecord* record)
{
    Owner = owner;
    Record = record;
    INT_PTR result = DialogBoxParamW(Instance, L"EDITLITRECORD", owner, DialogProc, (LPARAM)this);
    return result == 1 ? 1 : 0;
}

LRESULT CEditLitRecordDlg::SendOwner(UINT msg, WPARAM wParam, LPARAM lParam) const
{
    return Owner ? SendZm(Owner, msg, wParam, lParam) : 0;
}

HWND CEditLitRecordDlg::TabWindow(int tab) const
{
    if (tab >= 0 && tab < kLitPageCount)
        return Pages[tab];
    return tab == LITTAB_ABSTRACT ? AbstractEdit : nullptr;
}

HWND CEditLitRecordDlg::EnsurePage(int tab)
{
    if (tab < 0 || tab >= kLitPageCount || !Dialog)
        return TabWindow(tab);
    if (!Pages[tab]) {
        PageData[tab].Owner = this;
        PageData[tab].Tab = tab;
        CreateTabPage(Instance, kPageTemplates[tab], GetDlgItem(Dialog, IDC_LITREC_TABS), PageArea,
                      PageProc, (LPARAM)&PageData[tab]);
    }
    return Pages[tab];
}

void CEditLitRecordDlg::OnInitDialog(HWND hwnd)
{
    Dialog = hwnd;
    Purging = 0;
    if (Owner && Record)
        SendMessageW(Owner, ZM_LOAD_LITERATURE, 0, (LPARAM)Record);
    wchar_t text[64] = L"";
    LoadStringW(Instance, Record && Record->Mode == 1 ? IDS_NEW_RECORD : IDS_EDIT_RECORD, text, 64);
    SetWindowTextW(hwnd, text);

    HWND tabs = GetDlgItem(hwnd, IDC_LITREC_TABS);
    for (int i = 0; i <= LITTAB_ABSTRACT; i++) {
        LoadStringW(Instance, kTabTexts[i], text, 64);
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        SendMessageW(tabs, TCM_INSERTITEMW, i, (LPARAM)&item);
    }
    PageArea = TabDisplayArea(tabs);
    RECT& area = PageArea;
    // The taxa and localities pages are made when their tab is first shown: each costs as much
    // to make as the publication costs to load, and many edits never look at them.
    for (int i = LITTAB_MAIN; i <= LITTAB_KEYWORDS; i++)
        EnsurePage(i);
    ShowWindow(Pages[LITTAB_MAIN], SW_SHOW);
    // The abstract belongs to the dialog, not to the tab control: a multi-line edit on a tab
    // control would take the tab control and every page down with it on Escape. Here Escape acts
    // as Storno and Enter presses OK; Ctrl+Enter makes a line break.
    RECT onDialog = area;
    MapWindowPoints(tabs, hwnd, (POINT*)&onDialog, 2);
    AbstractEdit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                   WS_CHILD | WS_TABSTOP | WS_VSCROLL | WS_CLIPSIBLINGS |
                                       ES_MULTILINE | ES_AUTOVSCROLL,
                                   onDialog.left, onDialog.top, onDialog.right - onDialog.left,
                                   onDialog.bottom - onDialog.top, hwnd,
                                   (HMENU)(INT_PTR)IDC_LITREC_ABSTRACT, Instance, nullptr);
    if (AbstractEdit) {
        SetWindowPos(AbstractEdit, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        SendMessageW(AbstractEdit, WM_SETFONT, SendMessageW(hwnd, WM_GETFONT, 0, 0), FALSE);
        SendMessageW(AbstractEdit, EM_SETLIMITTEXT, 0, 0);
        if (Record)
            SetWindowTextVariant(&Record->Abstract, AbstractEdit);
    }
}

void CEditLitRecordDlg::SelectTab(int tab)
{
    HWND tabs = GetDlgItem(Dialog, IDC_LITREC_TABS);
    int current = (int)SendMessageW(tabs, TCM_GETCURSEL, 0, 0);
    if (current == tab)
        return;
    if (HWND old = TabWindow(current))
        ShowWindow(old, SW_HIDE);
    SendMessageW(tabs, TCM_SETCURSEL, (WPARAM)tab, 0);
    if (HWND now = EnsurePage(tab))
        ShowWindow(now, SW_SHOW);
}

bool CEditLitRecordDlg::Accept()
{
    LiteratureRecord* r = Record;
    HWND main = Pages[LITTAB_MAIN];
    if (!r || !main)
        return false;
    auto refuse = [this](HWND control, const std::wstring& name) {
        SelectTab(LITTAB_MAIN);
        ShowFieldWarning(Instance, Dialog, IDS_ERROR_CAPTION, IDS_VALUE_REQUIRED, name, control);
        return false;
    };
    HWND title = GetDlgItem(main, IDC_LITREC_TITLE);
    if (ReadLine(title, r->Title, kTitleMax).empty())
        return refuse(title, ControlLabel(title));
    HWND author = GetDlgItem(main, IDC_LITREC_FIRSTAUTHOR);
    if (ReadLine(author, r->FirstAuthor, kFirstAuthorMax).empty())
        return refuse(author, ControlLabel(author));
    ReadLine(GetDlgItem(main, IDC_LITREC_JOURNAL), r->Journal, kJournalMax);
    ReadLine(GetDlgItem(main, IDC_LITREC_PUBLISHER), r->Publisher, kPublisherMax);
    HWND box = GetDlgItem(main, IDC_LITREC_ATTRIBUTES);
    // A value still in the box's editor counts as entered.
    SendMessageW(box, PBXM_ENDEDIT, 1, 0);
    if (r->Values) {
        int missing = GetPropertyBoxValues(box, r->Values, 0);
        if (missing >= 0) {
            refuse(box, PropertyItemName(box, missing));
            SendMessageW(box, PBXM_SELECTITEM, PBX_ITEM((WORD)missing), 0);
            return false;
        }
        // A year typed as letters, or a number outside its bounds, stays in the dialog with its
        // item shown rather than going to the file; a year after next year is asked about.
        if (!AcceptGridValues(Instance, Dialog, box, r->Values, [this]() { SelectTab(LITTAB_MAIN); }))
            return false;
    }
    // A tree page never shown leaves its links as they were loaded.
    CIntArray* idLists[2] = {r->SpeciesIds, r->LocalityIds};
    for (int k = 0; k < 2; k++) {
        if (!idLists[k] || !Pages[LITTAB_SPECIES + k])
            continue;
        idLists[k]->RemoveAll();
        HWND list = GetDlgItem(Pages[LITTAB_SPECIES + k], IDC_LITREC_REFERENCED);
        int count = list ? (int)SendMessageW(list, LB_GETCOUNT, 0, 0) : 0;
        for (int i = 0; i < count; i++)
            idLists[k]->Add((int)(LONG)SendMessageW(list, LB_GETITEMDATA, (WPARAM)i, 0));
    }
    CPtrArray* nameLists[2] = {r->Authors, r->Keywords};
    for (int k = 0; k < 2; k++) {
        if (!nameLists[k])
            continue;
        nameLists[k]->RemoveAll(1);
        HWND edit = GetDlgItem(Pages[LITTAB_AUTHORS + k], IDC_LITREC_CHOSEN);
        for (const std::wstring& name : SplitNameLines(GetWindowString(edit)))
            nameLists[k]->Add(WideDup(name.c_str()));
    }
    GetWindowTextVariant(AbstractEdit, &r->Abstract);
    return SendOwner(ZM_SAVE_LITERATURE, 0, (LPARAM)r) != 0;
}

INT_PTR CALLBACK CEditLitRecordDlg::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CEditLitRecordDlg* dlg = reinterpret_cast<CEditLitRecordDlg*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG:
        dlg = reinterpret_cast<CEditLitRecordDlg*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, (LONG_PTR)dlg);
        dlg->OnInitDialog(hwnd);
        return TRUE;
    case WM_COMMAND:
        if (!dlg)
            return FALSE;
        if (LOWORD(wParam) == IDOK) {
            if (dlg->Accept())
                EndDialog(hwnd, 1);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(hwnd, 0);
            return TRUE;
        }
        return FALSE;
    case WM_NOTIFY: {
        NMHDR* header = (NMHDR*)lParam;
        if (!dlg || header->idFrom != IDC_LITREC_TABS)
            return FALSE;
        // A page is made when its tab is first shown.
        return SwitchTabPage(hwnd, header, [dlg, header](int tab) {
            return header->code == (UINT)TCN_SELCHANGE ? dlg->EnsurePage(tab) : dlg->TabWindow(tab);
        });
    }
    case WM_DESTROY:
        if (dlg) {
            dlg->Dialog = nullptr;
            dlg->AbstractEdit = nullptr;
            for (HWND& page : dlg->Pages)
                page = nullptr;
        }
        return FALSE;
    }
    return FALSE;
}

INT_PTR CALLBACK CEditLitRecordDlg::PageProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    LitRecordPage* page = reinterpret_cast<LitRecordPage*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (msg == WM_INITDIALOG) {
        page = reinterpret_cast<LitRecordPage*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, (LONG_PTR)page);
        CEditLitRecordDlg* dlg = page->Owner;
        dlg->Pages[page->Tab] = hwnd;
        if (page->Tab == LITTAB_MAIN)
            dlg->InitMainPage(hwnd);
        else if (page->Tab == LITTAB_AUTHORS || page->Tab == LITTAB_KEYWORDS)
            dlg->InitNamesPage(hwnd, page->Tab);
        else
            dlg->InitTreePage(hwnd, page->Tab);
        return FALSE;
    }
    if (!page)
        return FALSE;
    CEditLitRecordDlg* dlg = page->Owner;
    bool treePage = page->Tab == LITTAB_SPECIES || page->Tab == LITTAB_LOCALITIES;
    switch (msg) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            // Escape in a page's multi-line edit closes the page's way: it means Storno.
            PostMessageW(dlg->Dialog, WM_COMMAND, IDCANCEL, 0);
            return TRUE;
        }
        if (page->Tab == LITTAB_MAIN && LOWORD(wParam) == IDC_LITREC_JOURNAL)
            dlg->OnJournalChange(hwnd, HIWORD(wParam));
        else if (page->Tab == LITTAB_AUTHORS || page->Tab == LITTAB_KEYWORDS)
            dlg->OnNamesCommand(hwnd, LOWORD(wParam));
        return TRUE;
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (page->Tab == LITTAB_MAIN)
            result = dlg->OnMainPageNotify(hwnd, (NMHDR*)lParam);
        else if (treePage)
            result = dlg->OnTreePageNotify(hwnd, (NMHDR*)lParam);
        else
            return FALSE;
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    case WM_DESTROY:
        if (treePage)
            dlg->DestroyTreePage(hwnd);
        return FALSE;
    default:
        if (msg == kLitSyncTickMessage && treePage) {
            dlg->SyncTick(hwnd, (HTREEITEM)lParam);
            return TRUE;
        }
    }
    return FALSE;
}

// ---- main page ----

void CEditLitRecordDlg::InitMainPage(HWND page)
{
    LiteratureRecord* r = Record;
    HWND title = GetDlgItem(page, IDC_LITREC_TITLE);
    SendMessageW(title, EM_SETLIMITTEXT, kTitleMax, 0);
    SetWindowTextW(title, r ? r->Title : L"");

    struct Combo {
        int id;
        int kind;
        int limit;
        const wchar_t* text;
    } combos[] = {
        {IDC_LITREC_FIRSTAUTHOR, ZM_RS_LITAUTHORS, kFirstAuthorMax, r ? r->FirstAuthor : L""},
        {IDC_LITREC_JOURNAL, ZM_RS_JOURNALS, kJournalMax, r ? r->Journal : L""},
        {IDC_LITREC_PUBLISHER, ZM_RS_EDITORS, kPublisherMax, r ? r->Publisher : L""},
    };
    for (const Combo& c : combos) {
        HWND combo = GetDlgItem(page, c.id);
        FillComboFromRecordset(combo, Recordset(Owner, c.kind));
        SendMessageW(combo, CB_LIMITTEXT, (WPARAM)c.limit, 0);
        SelectComboText(combo, c.text);
    }
    HWND box = GetDlgItem(page, IDC_LITREC_ATTRIBUTES);
    SetPropertyBoxYesNo(box, Instance);
    SendOwner(ZM_FILL_LIT_ATTRS, 0, (LPARAM)box);
    if (r && r->Values)
        SetPropertyBoxValues(box, r->Values);
    // A periodical of the list brings its own publisher.
    bool known = SendDlgItemMessageW(page, IDC_LITREC_JOURNAL, CB_GETCURSEL, 0, 0) >= 0;
    EnableWindow(GetDlgItem(page, IDC_LITREC_PUBLISHER), !known);
}

void CEditLitRecordDlg::OnJournalChange(HWND page, WORD code)
{
    if (code != CBN_SELCHANGE && code != CBN_EDITCHANGE)
        return;
    HWND journal = GetDlgItem(page, IDC_LITREC_JOURNAL);
    HWND publisher = GetDlgItem(page, IDC_LITREC_PUBLISHER);
    int index = -1;
    if (code == CBN_SELCHANGE) {
        index = (int)SendMessageW(journal, CB_GETCURSEL, 0, 0);
    } else {
        std::wstring text = GetWindowString(journal);
        if ((int)text.size() > kJournalMax)
            text.resize(kJournalMax);
        if (!text.empty())
            index = (int)SendMessageW(journal, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)text.c_str());
    }
    EnableWindow(publisher, index < 0);
    if (index < 0)
        return;
    int journalId = (int)(LONG)SendMessageW(journal, CB_GETITEMDATA, (WPARAM)index, 0);
    int publisherId = PublisherOfJournal(Recordset(Owner, ZM_RS_JOURNALS), journalId);
    int entry = publisherId >= 0 ? FindComboItemByData(publisher, publisherId) : -1;
    SendMessageW(publisher, CB_SETCURSEL, (WPARAM)entry, 0);
}

LRESULT CEditLitRecordDlg::OnMainPageNotify(HWND page, NMHDR* header)
{
    if (header->idFrom != IDC_LITREC_ATTRIBUTES)
        return 0;
    if (header->code == PBXN_BUTTONCLICK) {
        // A long-text attribute is edited in its own window.
        EditMemoText(Instance, Dialog ? Dialog : page, header->hwndFrom,
                     (int)((PropBoxNotify*)header)->item);
        return 0;
    }
    LRESULT result = 0;
    AnswerLookupRequest(Owner, header, LOOKUP_LITERATURE, &result);
    return result;
}
