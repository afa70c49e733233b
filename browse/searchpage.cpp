// The search page object: its windows, the field list with its entries and editors, the
// condition and the description. The dialog that shows it is in searchdlg.cpp.
#include "browse/searchpage.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <vector>

#include "browse/searchtree.h"
#include "search/searchwhere.h"
#include "core/attrdef.h"
#include "core/containers.h"
#include "core/ctlfill.h"
#include "core/fields.h"
#include "core/textutil.h"
#include "core/treefill.h"
#include "core/xmlaccess.h"
#include "shellcontract/zm_protocol.h"
#include "reports/rtftext.h"
#include "reports/searchdesc.h"
#include "resources/zorna/search.h"

namespace {

// Strings of the page.
enum SearchPageStringId
{
    IDS_SEARCH_TAB_SYSTEM = 102,
    IDS_SEARCH_TAB_LOCALITIES = 103,
    IDS_SEARCH_TAB_ATTRIBUTES = 306,
    IDS_SEARCH_VALUES_COLUMN = 308,
};

// Which editors show a field.
enum SearchEditors
{
    EDITORS_VALUES = 1,   // label 103 and edit 105
    EDITORS_LOOKUP = 2,   // list view 104
    EDITORS_RANGE = 4,    // minimum and maximum
};

// Tree columns: the name and the first icon column of SYSTREE and LOCTREE.
const int kSysNameColumn = 4, kLocNameColumn = 3, kFirstIconColumn = 5;

HWND CreateSearchTree(HWND parent, HINSTANCE instance, bool visible)
{
    HWND tree = CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                                WS_CHILD | WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT
                                    | (visible ? WS_VISIBLE : 0),
                                0, 0, 100, 100, parent, nullptr, instance, nullptr);
    // Check boxes are turned on after creation, as the tree view wants it.
    SetWindowLongPtrW(tree, GWL_STYLE, GetWindowLongPtrW(tree, GWL_STYLE) | TVS_CHECKBOXES);
    SendMessageW(tree, TVM_SETUNICODEFORMAT, TRUE, 0);
    return tree;
}

// Frees the strings an entry's Values hold, then clears the entry.
void ClearEntry(SearchFieldEntry* entry)
{
    if (entry->Values) {
        for (int i = 0; i < entry->Values->GetCount(); ++i)
            std::free(entry->Values->GetItems()[i]);
    }
    ClearSearchFieldEntry(entry);
}

void ShowControls(HWND page, int first, int last, bool show)
{
    for (int id = first; id <= last; ++id)
        ShowWindow(GetDlgItem(page, id), show ? SW_SHOW : SW_HIDE);
}

std::wstring ListViewItemText(HWND list, int row)
{
    wchar_t text[512] = L"";
    LVITEMW item = {};
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = 512;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

bool ListViewItemChecked(HWND list, int row)
{
    UINT state = static_cast<UINT>(SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row),
                                                LVIS_STATEIMAGEMASK));
    return (state & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
}

void CheckListViewItem(HWND list, int row)
{
    LVITEMW item = {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(2);
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

// Whether a composed field of the list, offered for searching, refers to the column.
bool ComposedFieldRefersTo(CObjArray* fields, const CFieldInfo* column)
{
    for (int i = 0; i < fields->GetCount(); ++i) {
        CDispField* d = static_cast<CDispField*>(fields->GetItems()[i]);
        if (!d || !d->Field || d->Field->Kind != FIELD_COMPOSED)
            continue;
        CCustFld* composed = static_cast<CCustFld*>(d->Field);
        if (!composed->UseForSearch || !composed->FieldRefs)
            continue;
        for (int k = 0; k < composed->FieldRefs->GetCount(); ++k) {
            CFieldBase* ref = static_cast<CFieldBase*>(composed->FieldRefs->GetItems()[k]);
            if (ref && ref->Kind == FIELD_DATABASE
                && _wcsicmp(static_cast<CFieldInfo*>(ref)->TableName, column->TableName) == 0
                && _wcsicmp(ref->Field, column->Field) == 0)
                return true;
        }
    }
    return false;
}

bool IsOffered(CObjArray* fields, const CDispField* d)
{
    if (!d || !d->Field)
        return false;
    if (d->Field->Kind == FIELD_COMPOSED)
        return static_cast<CCustFld*>(d->Field)->UseForSearch != 0;
    if (d->Field->Kind != FIELD_DATABASE)
        return false;
    const CFieldInfo* info = static_cast<const CFieldInfo*>(d->Field);
    int table = SearchTableKindOf(info->TableName);
    if ((table == SEARCH_TABLE_SPECIES || table == SEARCH_TABLE_FEATURES) && _wcsicmp(info->Field, L"NAME") == 0)
        return false;
    return !ComposedFieldRefersTo(fields, info);
}

// A positive bound of the length of the condition an entry can give; 0 when it holds nothing.
int ConditionLengthBound(const SearchFieldEntry* entry)
{
    int length = 0;
    int count = entry->Values ? entry->Values->GetCount() : 0;
    for (int i = 0; i < count; ++i)
        length += static_cast<int>(wcslen(static_cast<const wchar_t*>(entry->Values->GetItems()[i]))) + 8;
    if (entry->MinText)
        length += static_cast<int>(wcslen(entry->MinText)) + 8;
    if (entry->MaxText)
        length += static_cast<int>(wcslen(entry->MaxText)) + 8;
    return length ? length + 64 : 0;
}

char* JoinDescriptions(char* a, char* b, char* c)
{
    std::string text;
    for (char* part : {a, b, c}) {
        if (part)
            text += part;
        std::free(part);
    }
    return MallocCopy(text);
}

}  // namespace

void SplitValueLines(const std::wstring& text, CPtrArray* lines)
{
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(L"\r\n", start);
        if (end == std::wstring::npos)
            end = text.size();
        if (end > start)
            lines->Add(WideDup(text.substr(start, end - start).c_str()));
        start = end + 1;
    }
}

// ---- the object ----

CSearchPage::CSearchPage(HINSTANCE instance, HWND mainWindow)
    : Instance(instance), Owner(mainWindow), TabControl(nullptr), SysTree(nullptr), LocTree(nullptr),
      Page(nullptr), Left(kSearchDlgUnplaced), Top(kSearchDlgUnplaced), CurrentField(-1), Purging(0),
      Where(nullptr), ShownEditors(0)
{
    TabControl = CreateWindowExW(WS_EX_CONTROLPARENT, WC_TABCONTROLW, L"",
                                 WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP, 0, 0, 100, 100, mainWindow,
                                 nullptr, instance, nullptr);
    if (!TabControl)
        return;
    InsertTabFromString(TabControl, instance, SEARCH_TAB_SYSTEM, IDS_SEARCH_TAB_SYSTEM);
    InsertTabFromString(TabControl, instance, SEARCH_TAB_LOCALITIES, IDS_SEARCH_TAB_LOCALITIES);
    InsertTabFromString(TabControl, instance, SEARCH_TAB_ATTRIBUTES, IDS_SEARCH_TAB_ATTRIBUTES);
    SysTree = CreateSearchTree(TabControl, instance, true);
    LocTree = CreateSearchTree(TabControl, instance, false);
    Page = CreateDialogParamW(instance, L"SEARCHPAGE", TabControl, SearchPageProc,
                              reinterpret_cast<LPARAM>(this));
    if (!Page)
        return;
    HWND lookup = GetDlgItem(Page, IDC_SEARCH_LOOKUP);
    SendMessageW(lookup, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
                 LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    SendMessageW(lookup, LVM_SETUNICODEFORMAT, TRUE, 0);
    wchar_t caption[64] = L"";
    LoadStringW(instance, IDS_SEARCH_VALUES_COLUMN, caption, 64);
    RECT client = {};
    GetClientRect(lookup, &client);
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = caption;
    column.cx = client.right - GetSystemMetrics(SM_CXVSCROLL);
    SendMessageW(lookup, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    ShowControls(Page, IDC_SEARCH_VALUESLABEL, IDC_SEARCH_MAX, false);
}

CSearchPage::~CSearchPage()
{
    std::free(Where);
    Where = nullptr;
    if (!TabControl)
        return;
    FreeEntries();
    Purging = 1;
    ClearTree(SysTree);
    ClearTree(LocTree);
    DestroyWindow(TabControl);
    TabControl = nullptr;
}

HWND CSearchPage::FieldList() const
{
    return Page ? GetDlgItem(Page, IDC_SEARCH_FIELDS) : nullptr;
}

SearchFieldEntry* CSearchPage::EntryAt(int row) const
{
    if (row < 0)
        return nullptr;
    LRESULT data = SendMessageW(FieldList(), LB_GETITEMDATA, static_cast<WPARAM>(row), 0);
    return data == LB_ERR ? nullptr : reinterpret_cast<SearchFieldEntry*>(data);
}

HWND CSearchPage::PageOfTab(int tab) const
{
    switch (tab) {
    case SEARCH_TAB_SYSTEM: return SysTree;
    case SEARCH_TAB_LOCALITIES: return LocTree;
    case SEARCH_TAB_ATTRIBUTES: return Page;
    }
    return nullptr;
}

// ---- settings ----

void CSearchPage::LoadSettings(CXmlReader* reader)
{
    IXMLDOMElement* element = reader ? reader->SelectElement(SEARCHDLG_SETTINGS_ELEMENT) : nullptr;
    if (!element)
        return;
    reader->GetShortAttr(element, L"Left", &Left);
    reader->GetShortAttr(element, L"Top", &Top);
    element->Release();
}

void CSearchPage::SaveSettings(CXmlWriter* writer)
{
    IXMLDOMElement* element = writer ? writer->AddElement(SEARCHDLG_SETTINGS_ELEMENT) : nullptr;
    if (!element)
        return;
    writer->SetShortAttr(element, L"Left", Left);
    writer->SetShortAttr(element, L"Top", Top);
    element->Release();
}

// ---- fields and entries ----

const CustomAttrDef* CSearchPage::FindAttr(int tableKind, const wchar_t* column) const
{
    if (!Owner || !column)
        return nullptr;
    SendMessageW(Owner, ZM_FIND_NAME_ENTRY, static_cast<WPARAM>(tableKind), reinterpret_cast<LPARAM>(column));
    return reinterpret_cast<const CustomAttrDef*>(GetWindowLongPtrW(Owner, DWLP_MSGRESULT));
}

void CSearchPage::FreeEntries()
{
    HWND list = FieldList();
    int count = list ? static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0)) : 0;
    for (int row = 0; row < count; ++row) {
        SearchFieldEntry* entry = EntryAt(row);
        if (!entry)
            continue;
        ClearEntry(entry);
        FreeSearchFieldEntry(entry);
        delete entry;
        SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(row), 0);
    }
}

void CSearchPage::SetSearchFields(CObjArray* fields)
{
    HWND list = FieldList();
    if (!list)
        return;
    FreeEntries();
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    CurrentField = -1;
    ShowEditors(-1);
    for (int i = 0; fields && i < fields->GetCount(); ++i) {
        CDispField* d = static_cast<CDispField*>(fields->GetItems()[i]);
        if (!IsOffered(fields, d))
            continue;
        const wchar_t* name = d->DispName ? d->DispName : d->Field->Name;
        LRESULT row = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        if (row < 0)
            continue;
        SearchFieldEntry* entry = new SearchFieldEntry;
        InitSearchFieldEntry(entry, d);
        if (d->Field->Kind == FIELD_DATABASE) {
            CFieldInfo* info = static_cast<CFieldInfo*>(d->Field);
            entry->TableKind = SearchTableKindOf(info->TableName);
            if (entry->TableKind != SEARCH_TABLE_OTHER)
                entry->AttrDef = const_cast<CustomAttrDef*>(FindAttr(entry->TableKind, info->Field));
        }
        SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(entry));
    }
}

void CSearchPage::SetTrees(zdata::Recordset* sysTreeRs, zdata::Recordset* locTreeRs)
{
    if (!TabControl)
        return;
    Purging = 1;
    BindSearchTree(SysTree, nullptr, kSysNameColumn, kFirstIconColumn);
    BindSearchTree(LocTree, nullptr, kLocNameColumn, kFirstIconColumn);
    Purging = 0;
    if (sysTreeRs)
        BindSearchTree(SysTree, sysTreeRs, kSysNameColumn, kFirstIconColumn);
    if (locTreeRs)
        BindSearchTree(LocTree, locTreeRs, kLocNameColumn, kFirstIconColumn);
}

// ---- editors ----

void CSearchPage::StoreEditors()
{
    SearchFieldEntry* entry = EntryAt(CurrentField);
    if (!entry)
        return;
    if (ShownEditors & (EDITORS_VALUES | EDITORS_LOOKUP)) {
        for (int i = 0; i < entry->Values->GetCount(); ++i)
            std::free(entry->Values->GetItems()[i]);
        entry->Values->RemoveAll(0);
    }
    if (ShownEditors & EDITORS_VALUES)
        SplitValueLines(GetWindowString(GetDlgItem(Page, IDC_SEARCH_VALUES)), entry->Values);
    if (ShownEditors & EDITORS_LOOKUP) {
        HWND lookup = GetDlgItem(Page, IDC_SEARCH_LOOKUP);
        int count = static_cast<int>(SendMessageW(lookup, LVM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < count; ++row) {
            if (ListViewItemChecked(lookup, row))
                entry->Values->Add(WideDup(ListViewItemText(lookup, row).c_str()));
        }
    }
    if (ShownEditors & EDITORS_RANGE) {
        std::wstring low = GetWindowString(GetDlgItem(Page, IDC_SEARCH_MIN));
        std::wstring high = GetWindowString(GetDlgItem(Page, IDC_SEARCH_MAX));
        FreeWide(&entry->MinText);
        FreeWide(&entry->MaxText);
        entry->MinText = low.empty() ? nullptr : WideDup(low.c_str());
        entry->MaxText = high.empty() ? nullptr : WideDup(high.c_str());
    }
    bool taken = entry->Values->GetCount() > 0 || entry->MinText || entry->MaxText;
    entry->TextLength = taken ? ConditionLengthBound(entry) : 0;
}

void CSearchPage::ShowEditors(int row)
{
    ShowControls(Page, IDC_SEARCH_VALUESLABEL, IDC_SEARCH_MAX, false);
    ShownEditors = 0;
    CurrentField = row;
    SearchFieldEntry* entry = EntryAt(row);
    const CFieldBase* field = entry && entry->Field ? entry->Field->Field : nullptr;
    if (!field)
        return;
    const CustomAttrDef* def = entry->AttrDef;
    if (field->Kind == FIELD_COMPOSED) {
        ShownEditors = EDITORS_VALUES | EDITORS_RANGE;
    } else if (field->Kind == FIELD_DATABASE && def) {
        switch (def->Type) {
        case ATTR_TEXT:
        case ATTR_LONG_TEXT: ShownEditors = EDITORS_VALUES; break;
        case ATTR_LOOKUP:
        case ATTR_GEO_LOOKUP: ShownEditors = EDITORS_LOOKUP; break;
        default: ShownEditors = EDITORS_VALUES | EDITORS_RANGE; break;
        }
    } else if (field->Kind == FIELD_DATABASE && entry->TableKind == SEARCH_TABLE_FEATURES) {
        ShownEditors = EDITORS_VALUES;
        if (_wcsicmp(field->Field, L"SQUARE") != 0)
            ShownEditors |= EDITORS_RANGE;
    }

    if (ShownEditors & EDITORS_VALUES) {
        std::wstring text;
        for (int i = 0; i < entry->Values->GetCount(); ++i) {
            if (i)
                text += L"\r\n";
            text += static_cast<const wchar_t*>(entry->Values->GetItems()[i]);
        }
        SetDlgItemTextW(Page, IDC_SEARCH_VALUES, text.c_str());
        ShowControls(Page, IDC_SEARCH_VALUESLABEL, IDC_SEARCH_VALUESLABEL, true);
        ShowControls(Page, IDC_SEARCH_VALUES, IDC_SEARCH_VALUES, true);
    }
    if (ShownEditors & EDITORS_LOOKUP) {
        HWND lookup = GetDlgItem(Page, IDC_SEARCH_LOOKUP);
        SendMessageW(Owner, ZM_GET_LOOKUP_VALUES, static_cast<WPARAM>(entry->TableKind),
                     reinterpret_cast<LPARAM>(field->Field));
        // A 16-bit index; 65535 (-1) means the lookup table could not be opened: nothing to fill.
        int index = static_cast<short>(LOWORD(GetWindowLongPtrW(Owner, DWLP_MSGRESULT)));
        // Filled row by row, drawn once.
        SendMessageW(lookup, WM_SETREDRAW, FALSE, 0);
        if (index >= 0)
            SendMessageW(Owner, ZM_FILL_LOOKUP_CONTROL, MAKEWPARAM(index, ZM_LOOKUP_LISTVIEW),
                         reinterpret_cast<LPARAM>(lookup));
        else
            SendMessageW(lookup, LVM_DELETEALLITEMS, 0, 0);
        int count = static_cast<int>(SendMessageW(lookup, LVM_GETITEMCOUNT, 0, 0));
        int from = 0;
        for (int i = 0; i < entry->Values->GetCount() && from < count; ++i) {
            const wchar_t* kept = static_cast<const wchar_t*>(entry->Values->GetItems()[i]);
            for (int r = from; r < count; ++r) {
                if (ListViewItemText(lookup, r) == kept) {
                    CheckListViewItem(lookup, r);
                    from = r + 1;
                    break;
                }
            }
        }
        SendMessageW(lookup, WM_SETREDRAW, TRUE, 0);
        ShowWindow(lookup, SW_SHOW);
        InvalidateRect(lookup, nullptr, TRUE);
    }
    if (ShownEditors & EDITORS_RANGE) {
        SetDlgItemTextW(Page, IDC_SEARCH_MIN, entry->MinText ? entry->MinText : L"");
        SetDlgItemTextW(Page, IDC_SEARCH_MAX, entry->MaxText ? entry->MaxText : L"");
        ShowControls(Page, IDC_SEARCH_VALUESLABEL, IDC_SEARCH_VALUESLABEL, true);
        ShowControls(Page, IDC_SEARCH_MINLABEL, IDC_SEARCH_MAX, true);
    }
}

void CSearchPage::OnFieldSelChange()
{
    StoreEditors();
    ShowEditors(static_cast<int>(SendMessageW(FieldList(), LB_GETCURSEL, 0, 0)));
}

void CSearchPage::Reset()
{
    UncheckAllTreeItems(SysTree);
    UncheckAllTreeItems(LocTree);
    HWND list = FieldList();
    int count = list ? static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0)) : 0;
    for (int row = 0; row < count; ++row) {
        if (SearchFieldEntry* entry = EntryAt(row))
            ClearEntry(entry);
    }
    CurrentField = -1;
    ShowEditors(list ? static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0)) : -1);
}

// ---- the condition and its description ----

const wchar_t* CSearchPage::BuildWhere(const wchar_t* const* columnNames, int columnCount)
{
    if (!columnNames)
        return Where;
    FreeWide(&Where);
    StoreEditors();

    LevelIdLists sysIds, locIds;
    ForEachCheckedTreeItem(SysTree, [&](HTREEITEM, TreeItemData* data) {
        AddLevelId(&sysIds, static_cast<int>(data->Level.Id), data->Id);
    });
    ForEachCheckedTreeItem(LocTree, [&](HTREEITEM, TreeItemData* data) {
        AddLevelId(&locIds, static_cast<int>(data->Level.Id), data->Id);
    });

    WhereContext context = {columnNames, columnCount, UserNumberSeparators(),
                            [this](int table, const wchar_t* column) { return FindAttr(table, column); }};
    std::vector<const SearchFieldEntry*> entries;
    HWND list = FieldList();
    int count = list ? static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0)) : 0;
    for (int row = 0; row < count; ++row)
        entries.push_back(EntryAt(row));

    std::wstring where = CombineWhere(BuildTreeCondition(L"SYS_LEVEL_", sysIds),
                                      BuildTreeCondition(L"LOC_LEVEL_", locIds),
                                      BuildCriteriaText(entries.data(), count, context));
    if (!where.empty())
        Where = WideDup(where.c_str());
    return Where;
}

void CSearchPage::ClearWhere()
{
    FreeWide(&Where);
}

char* CSearchPage::DescribeSearch(const CPtrArray* sysLevelCache, const CPtrArray* locLevelCache)
{
    return JoinDescriptions(DescribeTreeSelection(SysTree, sysLevelCache, 0),
                            DescribeTreeSelection(LocTree, locLevelCache, 0),
                            DescribeCriteria(Owner, FieldList()));
}
