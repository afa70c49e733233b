#include "utilities/attrpage.h"

#include <commctrl.h>
#include <strsafe.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cwchar>
#include <string>
#include <vector>

#include "core/msgbox.h"
#include "core/textutil.h"
#include "czechcollation/czechtext.h"
#include "dataaccess/enclose.h"
#include "resources/tarnix/resource.h"
#include "structure/colnames.h"
#include "structure/dbcheck.h"
#include "structure/schemadb.h"
#include "utilities/namedlg.h"
#include "utilities/pageentries.h"
#include "structure/structmodel.h"
#include "utilities/tarnix_protocol.h"

namespace {

const int kTypeCount = 8;
const int kTabNameLength = 31;     // the entry keeps 31 characters of the tab name
const int kValueTextLength = 15;   // of the size and value edits
const int kNewAttrSize = 32;
const int kLastFieldSuffix = 62;
const int kValueEdits[] = {IDC_ATTR_SIZE, IDC_ATTR_NULLVAL, IDC_ATTR_MINVAL, IDC_ATTR_MAXVAL};
const int kDetailControls[] = {IDC_ATTR_TYPE,   IDC_ATTR_TAB,    IDC_ATTR_SIZE,   IDC_ATTR_NULLVAL,
                               IDC_ATTR_MINVAL, IDC_ATTR_MAXVAL, IDC_ATTR_RENAME, IDC_ATTR_DELETE};

// The three values of an attribute and their edits.
struct ValueEdit {
    int id;
    VARIANT AttrEntry::*value;
};
const ValueEdit kValues[] = {{IDC_ATTR_NULLVAL, &AttrEntry::NullVal},
                             {IDC_ATTR_MINVAL, &AttrEntry::MinVal},
                             {IDC_ATTR_MAXVAL, &AttrEntry::MaxVal}};

CAttrPage* PageOf(HWND page)
{
    return reinterpret_cast<CAttrPage*>(GetWindowLongPtrW(page, GWLP_USERDATA));
}

HWND ListOf(HWND page)
{
    return GetDlgItem(page, IDC_ATTR_LIST);
}

int SelectedItem(HWND page)
{
    return ListView_GetNextItem(ListOf(page), -1, LVNI_SELECTED);
}

std::wstring ControlText(HWND page, int id, int maxLength)
{
    std::vector<wchar_t> text((size_t)maxLength + 1, 0);
    GetDlgItemTextW(page, id, text.data(), maxLength + 1);
    return text.data();
}

// Adds a tab name to the tab combo unless it is empty or there already (ignoring case).
void AddTabName(HWND combo, const wchar_t* name)
{
    if (!name || !*name)
        return;
    int count = (int)SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
        wchar_t text[64] = L"";
        if (SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) < 64)
            SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        if (SameTextNoCase(text, name))
            return;
    }
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
}

// The tab combo's text (31 characters) as the entry's tab name, listed in the combo when new.
void StoreTabName(HWND page, AttrEntry* e)
{
    StringCchCopyW(e->TabName, 32, ControlText(page, IDC_ATTR_TAB, kTabNameLength).c_str());
    AddTabName(GetDlgItem(page, IDC_ATTR_TAB), e->TabName);
}

// Empties and disables the detail controls (no attribute shown).
void ResetDetails(HWND page, CAttrPage* self)
{
    bool busy = self->Busy;
    self->Busy = true;
    SendDlgItemMessageW(page, IDC_ATTR_TYPE, CB_SETCURSEL, (WPARAM)-1, 0);
    SetDlgItemTextW(page, IDC_ATTR_TAB, L"");
    for (int id : kValueEdits)
        SetDlgItemTextW(page, id, L"");
    for (int id : kDetailControls)
        EnableWindow(GetDlgItem(page, id), FALSE);
    self->Shown = nullptr;
    self->Busy = busy;
}

// Which details a type uses: the size for new text and list attributes, the three values for
// numbers.
void ApplyTypeRules(HWND page, const AttrEntry* e)
{
    const bool numbers = e->Type == 1 || e->Type == 2;
    const bool sized = e->Type == 4 || e->Type == 5 || e->Type == 7;
    EnableWindow(GetDlgItem(page, IDC_ATTR_SIZE), sized && e->State == ENTRY_NEW);
    for (const ValueEdit& v : kValues)
        EnableWindow(GetDlgItem(page, v.id), numbers);
}

void ShowValue(HWND page, int id, const VARIANT* value)
{
    wchar_t text[64] = L"";
    GetVariantText(value, text, 64);
    SetDlgItemTextW(page, id, text);
}

void ShowAttribute(HWND page, CAttrPage* self, AttrEntry* e)
{
    self->Busy = true;
    self->Shown = e;
    SendDlgItemMessageW(page, IDC_ATTR_TYPE, CB_SETCURSEL,
                        (e->Type >= 0 && e->Type < kTypeCount) ? (WPARAM)e->Type : (WPARAM)-1, 0);
    EnableWindow(GetDlgItem(page, IDC_ATTR_TYPE), e->State == ENTRY_NEW);
    SetDlgItemTextW(page, IDC_ATTR_TAB, e->TabName);
    EnableWindow(GetDlgItem(page, IDC_ATTR_TAB), TRUE);
    wchar_t size[16];
    StringCchPrintfW(size, 16, L"%d", e->Size);
    SetDlgItemTextW(page, IDC_ATTR_SIZE, size);
    for (const ValueEdit& v : kValues)
        ShowValue(page, v.id, &(e->*v.value));
    ApplyTypeRules(page, e);
    EnableWindow(GetDlgItem(page, IDC_ATTR_RENAME), TRUE);
    EnableWindow(GetDlgItem(page, IDC_ATTR_DELETE), TRUE);
    self->Busy = false;
}

void OnInit(HWND page, CAttrPage* self)
{
    SetWindowLongPtrW(page, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    HWND type = GetDlgItem(page, IDC_ATTR_TYPE);
    for (int k = 0; k < kTypeCount; ++k) {
        wchar_t text[64] = L"";
        LoadStringW(self->hInstance, IDS_T_ATTRTYPE_FIRST + k, text, 64);
        SendMessageW(type, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    HWND list = ListOf(page);
    SendMessageW(list, LVM_SETUNICODEFORMAT, TRUE, 0);
    DWORD ex = LVS_EX_FULLROWSELECT | (self->IsRecords ? LVS_EX_CHECKBOXES : 0);
    ListView_SetExtendedListViewStyleEx(list, ex, ex);
    RECT client;
    GetClientRect(list, &client);
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    column.cx = client.right;
    column.pszText = const_cast<wchar_t*>(L"");
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    SendDlgItemMessageW(page, IDC_ATTR_TAB, CB_LIMITTEXT, 63, 0);
    for (int id : kValueEdits)
        SendDlgItemMessageW(page, id, EM_LIMITTEXT, kValueTextLength, 0);
}

int InsertAttribute(HWND list, CAttrPage* self, AttrEntry* e, int at)
{
    LVITEMW lvi = {};
    lvi.mask = LVIF_TEXT | LVIF_PARAM;
    lvi.iItem = at;
    lvi.pszText = e->Caption;
    lvi.lParam = reinterpret_cast<LPARAM>(e);
    bool busy = self->Busy;
    self->Busy = true;
    int item = (int)SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&lvi));
    if (self->IsRecords && item >= 0)
        ListView_SetItemState(list, item, INDEXTOSTATEIMAGEMASK(e->KeyFlag ? 2 : 1), LVIS_STATEIMAGEMASK);
    self->Busy = busy;
    return item;
}

// ---- edits ----

void OnTypeChanged(HWND page, AttrEntry* e)
{
    int type = (int)SendDlgItemMessageW(page, IDC_ATTR_TYPE, CB_GETCURSEL, 0, 0);
    if (type < 0 || type == e->Type)
        return;
    e->Type = type;
    ApplyTypeRules(page, e);
    MarkEntryChanged(&e->State);
    PageChanged(page);
}

void OnSizeChanged(HWND page, AttrEntry* e)
{
    int size = 0;
    if (ReadTypedInt(ControlText(page, IDC_ATTR_SIZE, kValueTextLength).c_str(), &size) != 1 || size < 1 ||
        size == e->Size)
        return;
    e->Size = size;
    MarkEntryChanged(&e->State);
    PageChanged(page);
}

// A value typed as the attribute's type: an integer becomes VT_I4, a real VT_R8, an empty text
// clears the value; anything else changes nothing.
void OnValueChanged(HWND page, AttrEntry* e, const ValueEdit& edit)
{
    VARIANT* value = &(e->*edit.value);
    std::wstring text = ControlText(page, edit.id, kValueTextLength);
    VARIANT next;
    VariantInit(&next);
    int read;
    if (e->Type == 1) {
        int n = 0;
        read = ReadTypedInt(text.c_str(), &n);
        next.vt = VT_I4;
        next.lVal = n;
        if (read == 1 && value->vt == VT_I4 && value->lVal == n)
            return;
    } else if (e->Type == 2) {
        double d = 0;
        read = ReadTypedReal(text.c_str(), &d);
        next.vt = VT_R8;
        next.dblVal = d;
        if (read == 1 && value->vt == VT_R8 && value->dblVal == d)
            return;
    } else {
        return;
    }
    if (read < 0)
        return;
    if (read == 0) {
        if (value->vt == VT_NULL)
            return;
        next.vt = VT_NULL;
    }
    VariantClear(value);
    *value = next;
    MarkEntryChanged(&e->State);
    PageChanged(page);
}

void OnDetailCommand(HWND page, CAttrPage* self, int id, int code)
{
    AttrEntry* e = self->Shown;
    if (self->Busy || !e)
        return;
    if (id == IDC_ATTR_TYPE && code == CBN_SELCHANGE) {
        OnTypeChanged(page, e);
    } else if (id == IDC_ATTR_TAB && (code == CBN_SELCHANGE || code == CBN_EDITCHANGE)) {
        // The text itself is stored when the attribute is left or collected.
        MarkEntryChanged(&e->State);
        PageChanged(page);
    } else if (id == IDC_ATTR_SIZE && code == EN_CHANGE) {
        OnSizeChanged(page, e);
    } else if (code == EN_CHANGE) {
        for (const ValueEdit& v : kValues)
            if (id == v.id)
                OnValueChanged(page, e, v);
    }
}

// ---- commands ----

bool FieldNameUsed(HWND list, const wchar_t* name)
{
    for (int i = 0; i < ListView_GetItemCount(list); ++i) {
        const AttrEntry* e = AttrEntryOf(list, i);
        if (e && SameTextNoCase(e->FieldName, name))
            return true;
    }
    return false;
}

// A column name free in the table and among the page's attributes; false when there is none.
bool MakeFieldName(HWND list, CAttrPage* self, const wchar_t* caption, wchar_t* name)
{
    int suffix = MakeUniqueColumnName(self->SchemaDb, self->TableName, caption, name);
    if (suffix < 0)
        return false;
    wchar_t base[32];
    StringCchCopyW(base, 32, name);
    if (suffix > 0)
        base[wcslen(base) - 2] = 0;
    for (int k = suffix + 1; FieldNameUsed(list, name); ++k) {
        if (k > kLastFieldSuffix)
            return false;
        StringCchPrintfW(name, 32, L"%s%.2d", base, k);
    }
    return true;
}

void OnNew(HWND page, CAttrPage* self)
{
    wchar_t caption[kNameBufferLength] = L"";
    LoadStringW(self->hInstance, IDS_T_NEW_ATTRIBUTE, caption, kNameBufferLength);
    if (!AskName(self->hInstance, page, caption))
        return;
    HWND list = ListOf(page);
    AttrEntry* e = NewAttrEntry();
    e->State = ENTRY_NEW;
    StringCchCopyW(e->Caption, 64, caption);
    if (!MakeFieldName(list, self, caption, e->FieldName)) {
        FreeAttrEntry(e);
        return;
    }
    int count = ListView_GetItemCount(list);
    e->Position = count;
    e->Type = 4;
    e->Size = kNewAttrSize;
    int item = InsertAttribute(list, self, e, count);
    if (item < 0) {
        FreeAttrEntry(e);
        return;
    }
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemState(list, item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(list, item, FALSE);
    PageChanged(page);
}

void OnRename(HWND page, CAttrPage* self)
{
    HWND list = ListOf(page);
    int item = SelectedItem(page);
    AttrEntry* e = AttrEntryOf(list, item);
    if (!e)
        return;
    wchar_t caption[kNameBufferLength];
    StringCchCopyW(caption, kNameBufferLength, e->Caption);
    if (!AskRename(self->hInstance, page, caption))
        return;
    StringCchCopyW(e->Caption, 64, caption);
    ListView_SetItemText(list, item, 0, e->Caption);
    MarkEntryChanged(&e->State);
    PageChanged(page);
}

// A saved attribute whose column holds values goes only when the user agrees, told how many
// rows lose theirs (the save drops the column with them).
bool DeleteAgreed(HWND page, CAttrPage* self, const AttrEntry* e)
{
    if (e->State == ENTRY_NEW || !self->SchemaDb)
        return true;
    std::wstring column = zdata::QuoteIdentifier(e->FieldName);
    std::wstring sql = L"SELECT COUNT(*) FROM " + zdata::QuoteIdentifier(self->TableName) + L" WHERE " + column +
                       L" IS NOT NULL AND " + column + L" <> ''";
    int holders = CountRows(self->SchemaDb->GetConnection(), sql.c_str());
    if (holders <= 0)
        return true;
    wchar_t format[512] = L"", caption[64] = L"", text[768];
    LoadStringW(self->hInstance, IDS_T_ATTR_HOLDS_VALUES, format, 512);
    LoadStringW(self->hInstance, IDS_T_CONFIRM_CAPTION, caption, 64);
    StringCchPrintfW(text, 768, format, e->Caption, holders);
    return ZorMessageBox(page, text, caption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

// An attribute made since the last save is simply forgotten; any other is marked for the save.
void OnDelete(HWND page, CAttrPage* self)
{
    HWND list = ListOf(page);
    int item = SelectedItem(page);
    AttrEntry* e = AttrEntryOf(list, item);
    if (!e || !DeleteAgreed(page, self, e))
        return;
    self->Busy = true;
    ListView_DeleteItem(list, item);
    self->Busy = false;
    ResetDetails(page, self);
    ForgetOrMarkDeleted(self->Attrs, e, FreeAttrEntry);
    PageChanged(page);
}

// Not empty, and no other attribute has the caption (Czech letters compared without case).
bool CaptionAvailable(HWND page, int mode, const wchar_t* caption)
{
    if (!caption || !*caption)
        return false;
    HWND list = ListOf(page);
    int selected = SelectedItem(page);
    for (int i = 0; i < ListView_GetItemCount(list); ++i) {
        if (mode == NAME_RENAME && i == selected)
            continue;
        const AttrEntry* e = AttrEntryOf(list, i);
        if (e && CzechEqualNoCase(e->Caption, caption))
            return false;
    }
    return true;
}

void OnCommand(HWND page, CAttrPage* self, int id, int code)
{
    if (code == BN_CLICKED) {
        switch (id) {
        case IDC_ATTR_NEW:
            OnNew(page, self);
            return;
        case IDC_ATTR_RENAME:
            OnRename(page, self);
            return;
        case IDC_ATTR_DELETE:
            OnDelete(page, self);
            return;
        }
    }
    OnDetailCommand(page, self, id, code);
}

LRESULT OnNotify(HWND page, CAttrPage* self, NMHDR* hdr)
{
    if (hdr->idFrom != IDC_ATTR_LIST)
        return 0;
    auto* nm = reinterpret_cast<NMLISTVIEW*>(hdr);
    switch (hdr->code) {
    case LVN_ITEMCHANGING:
        // Leaving an edited attribute keeps its tab name.
        if (!self->Busy && (nm->uChanged & LVIF_STATE) && (nm->uOldState & LVIS_FOCUSED) &&
            !(nm->uNewState & LVIS_FOCUSED)) {
            AttrEntry* e = AttrEntryOf(hdr->hwndFrom, nm->iItem);
            if (e && e == self->Shown && e->State > ENTRY_UNCHANGED)
                StoreTabName(page, e);
            ResetDetails(page, self);
        }
        return FALSE;
    case LVN_ITEMCHANGED: {
        if (self->Busy || !(nm->uChanged & LVIF_STATE))
            return 0;
        AttrEntry* e = AttrEntryOf(hdr->hwndFrom, nm->iItem);
        if (!e)
            return 0;
        if ((nm->uNewState & LVIS_FOCUSED) && !(nm->uOldState & LVIS_FOCUSED))
            ShowAttribute(page, self, e);
        if (self->IsRecords && ((nm->uNewState ^ nm->uOldState) & LVIS_STATEIMAGEMASK)) {
            bool key = (nm->uNewState & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
            if (key != (e->KeyFlag != 0)) {
                e->KeyFlag = key ? 1 : 0;
                MarkEntryChanged(&e->State);
                PageChanged(page);
            }
        }
        return 0;
    }
    case LVN_DELETEALLITEMS:
        ResetDetails(page, self);
        return TRUE;  // no LVN_DELETEITEM per item
    }
    return 0;
}

std::wstring WithoutBlanks(const wchar_t* text, wchar_t thousands)
{
    std::wstring out;
    for (; *text; ++text)
        if (*text != L' ' && *text != 0xA0 && *text != 0x202F && *text != thousands)
            out += *text;
    return out;
}

}  // namespace

int ReadTypedInt(const wchar_t* text, int* out)
{
    std::wstring plain = WithoutBlanks(text, 0);
    if (plain.empty())
        return 0;
    wchar_t* end = nullptr;
    errno = 0;
    long long value = wcstoll(plain.c_str(), &end, 10);
    if (end == plain.c_str() || *end || errno == ERANGE || value < INT_MIN || value > INT_MAX)
        return -1;
    *out = (int)value;
    return 1;
}

int ReadTypedReal(const wchar_t* text, double* out)
{
    wchar_t decimal[8] = L".", thousands[8] = L",";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimal, 8);
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, thousands, 8);
    std::wstring plain = WithoutBlanks(text, thousands[0] == decimal[0] ? 0 : thousands[0]);
    if (plain.empty())
        return 0;
    for (wchar_t& c : plain)
        if (c == decimal[0])
            c = L'.';
    wchar_t* end = nullptr;
    double value = wcstod(plain.c_str(), &end);
    if (end == plain.c_str() || *end || !std::isfinite(value))
        return -1;
    *out = value;
    return 1;
}

AttrEntry* AttrEntryOf(HWND list, int item)
{
    if (item < 0)
        return nullptr;
    LVITEMW lvi = {};
    lvi.mask = LVIF_PARAM;
    lvi.iItem = item;
    if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&lvi)))
        return nullptr;
    return reinterpret_cast<AttrEntry*>(lvi.lParam);
}

CAttrPage::CAttrPage(HINSTANCE instance, HWND tabControl, const wchar_t* tableName, bool isRecords)
    : hInstance(instance), Page(nullptr), SchemaDb(nullptr), IsRecords(isRecords), Busy(false), Attrs(nullptr),
      Shown(nullptr)
{
    StringCchCopyW(TableName, 32, tableName);
    Page = CreateDialogParamW(instance, L"EDITKEYDLG", tabControl, AttrPageProc, reinterpret_cast<LPARAM>(this));
}

CAttrPage::~CAttrPage()
{
    if (Page) {
        Clear();  // frees the attributes made on the page
        DestroyWindow(Page);
    }
}

void CAttrPage::Fill(ItemList* attrs, CSchemaDb* schemaDb)
{
    SchemaDb = schemaDb;
    Attrs = attrs;
    HWND list = ListOf(Page);
    HWND tabs = GetDlgItem(Page, IDC_ATTR_TAB);
    for (int i = 0; i < attrs->Count; ++i) {
        AttrEntry* e = AttrAt(attrs, i);
        InsertAttribute(list, this, e, i);
        AddTabName(tabs, e->TabName);
    }
    // As wide as the longest caption, and never narrower than the list.
    ListView_SetColumnWidth(list, 0, LVSCW_AUTOSIZE);
    RECT client;
    GetClientRect(list, &client);
    if (ListView_GetColumnWidth(list, 0) < client.right)
        ListView_SetColumnWidth(list, 0, client.right);
    EnableWindow(GetDlgItem(Page, IDC_ATTR_NEW), TRUE);
}

void CAttrPage::Clear()
{
    HWND list = ListOf(Page);
    std::vector<AttrEntry*> own;
    for (int i = 0; i < ListView_GetItemCount(list); ++i) {
        AttrEntry* e = AttrEntryOf(list, i);
        if (e && OwnedByPage(Attrs, e))
            own.push_back(e);
    }
    Busy = true;
    SendDlgItemMessageW(Page, IDC_ATTR_TAB, CB_RESETCONTENT, 0, 0);
    ListView_DeleteAllItems(list);
    Busy = false;
    for (AttrEntry* e : own)
        FreeAttrEntry(e);
    ResetDetails(Page, this);
    EnableWindow(GetDlgItem(Page, IDC_ATTR_NEW), FALSE);
    SchemaDb = nullptr;
    Attrs = nullptr;
}

void CAttrPage::Collect(ItemList* attrs)
{
    std::vector<AttrEntry*> detached = DetachTrailingNew<AttrEntry>(attrs);
    if (Shown && Shown->State > ENTRY_UNCHANGED)
        StoreTabName(Page, Shown);
    HWND list = ListOf(Page);
    for (int i = 0; i < ListView_GetItemCount(list); ++i) {
        AttrEntry* e = AttrEntryOf(list, i);
        if (e && e->State == ENTRY_NEW)
            ItemListAdd(e, attrs);
    }
    FreeOwnedEntries(attrs, detached, FreeAttrEntry);
}

INT_PTR CALLBACK AttrPageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        OnInit(page, reinterpret_cast<CAttrPage*>(lParam));
        return FALSE;
    }
    CAttrPage* self = PageOf(page);
    if (!self)
        return FALSE;
    switch (msg) {
    case WM_NOTIFY:
        SetWindowLongPtrW(page, DWLP_MSGRESULT, OnNotify(page, self, reinterpret_cast<NMHDR*>(lParam)));
        return TRUE;
    case WM_COMMAND:
        OnCommand(page, self, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case ZM_CHECK_NAME:
        SetWindowLongPtrW(page, DWLP_MSGRESULT, CaptionAvailable(page, (int)wParam, reinterpret_cast<const wchar_t*>(lParam)));
        return TRUE;
    }
    return FALSE;
}
