// Property grid: the item tree, values and their texts, and the PBXM_ messages that drive them.
#include "plexa.h"
#include "plexa_internal.h"
#include "propbox_internal.h"
#include "localenum.h"
#include <algorithm>

namespace propbox {

// Value <-> text in the user's number format.
static int ValueTextCapacity(const VARIANT* v)
{
    return VariantTextCapacity(v->vt, v->vt == VT_BSTR ? v->bstrVal : nullptr);
}

static bool ValueToText(const VARIANT* v, WCHAR* buffer, int size, LPCWSTR yes, LPCWSTR no)
{
    buffer[0] = 0;
    return VariantToLocaleText(v->vt, v, buffer, size, yes, no) != 0;
}

static bool TextToValue(LPCWSTR text, VARIANT* out, VARTYPE vt, LPCWSTR yes)
{
    return LocaleTextToVariant(text, out, vt, yes) != 0;
}

std::wstring ToWide(LPCSTR text)
{
    if (!text)
        return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring out(n > 0 ? n : 1, L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, text, -1, &out[0], n);
    out.resize(wcslen(out.c_str()));
    return out;
}

std::string ToAnsi(const std::wstring& text)
{
    int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 1, '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    out.resize(strlen(out.c_str()));
    return out;
}

static std::wstring TextIn(bool wide, LPARAM lParam)
{
    if (!lParam)
        return std::wstring();
    return wide ? std::wstring(reinterpret_cast<LPCWSTR>(lParam)) : ToWide(reinterpret_cast<LPCSTR>(lParam));
}

// A list of zero-terminated entries ended by an empty one.
static std::vector<std::wstring> MultiStringIn(bool wide, LPARAM lParam)
{
    std::vector<std::wstring> out;
    if (!lParam)
        return out;
    if (wide) {
        for (LPCWSTR p = reinterpret_cast<LPCWSTR>(lParam); *p; p += wcslen(p) + 1)
            out.emplace_back(p);
    } else {
        for (LPCSTR p = reinterpret_cast<LPCSTR>(lParam); *p; p += strlen(p) + 1)
            out.push_back(ToWide(p));
    }
    return out;
}

// Copies a text out in the box's form; the caller sized the buffer.
static void CopyTextOut(bool wide, LPARAM buffer, const std::wstring& text)
{
    if (!buffer)
        return;
    if (wide) {
        memcpy(reinterpret_cast<LPWSTR>(buffer), text.c_str(), (text.size() + 1) * sizeof(WCHAR));
    } else {
        std::string a = ToAnsi(text);
        memcpy(reinterpret_cast<LPSTR>(buffer), a.c_str(), a.size() + 1);
    }
}

static size_t TextLength(bool wide, const std::wstring& text)
{
    return wide ? text.size() : ToAnsi(text).size();
}

PropBoxData* GetData(HWND hwnd)
{
    return reinterpret_cast<PropBoxData*>(GetWindowLongPtrW(hwnd, 0));
}

int IndexOf(const PropBoxData* d, const PropItem* item)
{
    for (size_t i = 0; i < d->items.size(); ++i)
        if (d->items[i] == item)
            return static_cast<int>(i);
    return -1;
}

static void AddRows(const PropItem* item, int depth, std::vector<Row>& rows)
{
    if (!item->visible)
        return;
    rows.push_back({const_cast<PropItem*>(item), depth});
    if (item->expanded)
        for (const PropItem* child : item->children)
            AddRows(child, depth + 1, rows);
}

std::vector<Row> BuildRows(const PropBoxData* d)
{
    std::vector<Row> rows;
    for (const PropItem* item : d->topLevel)
        AddRows(item, 0, rows);
    return rows;
}

int RowOf(const PropBoxData* d, const PropItem* item)
{
    std::vector<Row> rows = BuildRows(d);
    for (size_t r = 0; r < rows.size(); ++r)
        if (rows[r].item == item)
            return static_cast<int>(r);
    return -1;
}

std::wstring ListSeparator()
{
    WCHAR sep[16] = L",";
    if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLIST, sep, 16))
        lstrcpyW(sep, L",");
    return sep;
}

// Integer VARIANT types give their number; anything else stands for "every flag set".
static int VariantMask(const VARIANT& v)
{
    switch (v.vt) {
    case VT_I2: return v.iVal;
    case VT_BOOL: return v.boolVal;
    case VT_I4: return v.lVal;
    case VT_INT: return v.intVal;
    case VT_UINT: return static_cast<int>(v.uintVal);
    case VT_UI4: return static_cast<int>(v.ulVal);
    case VT_I1: return v.cVal;
    case VT_UI1: return v.bVal;
    case VT_UI2: return v.uiVal;
    default: return -1;
    }
}

static bool FlagBit(int mask, size_t i) { return i < 32 && ((static_cast<unsigned>(mask) >> i) & 1u); }

static void FreeItem(PropItem* item)
{
    for (PropItem* child : item->children)
        FreeItem(child);
    delete item;
}

void FreeAllItems(PropBoxData* d)
{
    for (PropItem* item : d->topLevel)
        FreeItem(item);
    d->items.clear();
    d->topLevel.clear();
}

static void SetYesNoList(const PropBoxData* d, PropItem* item)
{
    item->hasList = true;
    item->list = {d->yes, d->no};
    item->hasListValues = false;
    item->listValues.clear();
}

static PropItem* NewItem(PropBoxData* d, UINT type, const std::wstring& name, int wide)
{
    PropItem* item = new PropItem;
    item->type = type;
    item->name = name;
    item->wide = wide;
    if (type == T_FLAGS || type == T_OBJECT) {
        item->childCap = 16;
        item->children.reserve(16);
    }
    if (type == T_BINARY) {
        item->hasDisplay = true;
        item->display = L"(Binary)";
    } else if (type == T_OBJECT) {
        item->hasDisplay = true;
        item->display = L"(Object)";
    }
    if (type == T_BOOL)
        SetYesNoList(d, item);
    return item;
}

static void AppendToIndex(PropBoxData* d, PropItem* item)
{
    if (d->items.size() == d->items.capacity())
        d->items.reserve(d->items.capacity() + 32);
    d->items.push_back(item);
}

static void AppendChild(PropItem* parent, PropItem* child)
{
    if (parent->children.size() >= static_cast<size_t>(parent->childCap)) {
        parent->childCap += 16;
        parent->children.reserve(parent->childCap);
    }
    child->parent = parent;
    parent->children.push_back(child);
}

// Keeps the current and hot item indices valid once the item at 'removed' left the index.
static void IndexRemoved(PropBoxData* d, int removed)
{
    auto fix = [removed](int& idx) {
        if (idx == removed)
            idx = -1;
        else if (idx > removed)
            --idx;
    };
    fix(d->cur);
    fix(d->hot);
}

static void RemoveFromIndex(PropBoxData* d, PropItem* item, size_t from)
{
    for (size_t i = from; i < d->items.size(); ++i) {
        if (d->items[i] == item) {
            d->items.erase(d->items.begin() + i);
            IndexRemoved(d, static_cast<int>(i));
            return;
        }
    }
    int i = IndexOf(d, item);
    if (i >= 0) {
        d->items.erase(d->items.begin() + i);
        IndexRemoved(d, i);
    }
}

// Takes the descendants out of the item index, deepest first.
static void RemoveDescendants(PropBoxData* d, PropItem* item)
{
    for (auto it = item->children.rbegin(); it != item->children.rend(); ++it) {
        RemoveDescendants(d, *it);
        int parentPos = IndexOf(d, item);
        RemoveFromIndex(d, *it, parentPos < 0 ? 0 : static_cast<size_t>(parentPos));
    }
}

static void DeleteItem(PropBoxData* d, PropItem* parent, PropItem* item)
{
    std::vector<PropItem*>& list = parent ? parent->children : d->topLevel;
    auto pos = std::find(list.begin(), list.end(), item);
    if (pos == list.end())
        return;
    list.erase(pos);
    // An editor open on an item that disappears must not write back into it.
    if (d->cur >= 0) {
        PropItem* current = d->items[d->cur];
        for (PropItem* p = current; p; p = p->parent)
            if (p == item) {
                EndEdit(d, false, false);
                break;
            }
    }
    RemoveDescendants(d, item);
    RemoveFromIndex(d, item, 0);
    FreeItem(item);
}

static std::wstring FlagsText(const PropItem* item, int mask)
{
    std::wstring sep = ListSeparator();
    std::wstring text = L"(";
    bool first = true;
    for (size_t i = 0; i < item->children.size(); ++i) {
        if (!FlagBit(mask, i))
            continue;
        if (!first)
            text += sep;
        text += item->children[i]->name;
        first = false;
    }
    return text + L")";
}

void SetItemValue(PropBoxData* d, PropItem* item, const VARIANT* value)
{
    VARIANT copy;
    VariantInit(&copy);
    if (value)
        VariantCopy(&copy, const_cast<VARIANT*>(value));
    VariantClear(&item->value);
    item->value = copy;

    UINT type = item->type;
    if (type != T_BINARY && type != T_OBJECT) {
        item->hasDisplay = false;
        item->display.clear();
        if (type == T_FLAGS) {
            if (item->value.vt == VT_EMPTY || item->value.vt == VT_NULL) {
                VARIANT null;
                VariantInit(&null);
                null.vt = VT_NULL;
                for (PropItem* child : item->children) {
                    child->propagate = 0;
                    SetItemValue(d, child, &null);
                    child->propagate = 1;
                }
                item->hasDisplay = true;
            } else {
                int mask = VariantMask(item->value);
                for (size_t i = 0; i < item->children.size(); ++i) {
                    VARIANT b;
                    VariantInit(&b);
                    b.vt = VT_BOOL;
                    b.boolVal = FlagBit(mask, i) ? 1 : 0;
                    PropItem* child = item->children[i];
                    child->propagate = 0;
                    SetItemValue(d, child, &b);
                    child->propagate = 1;
                }
                item->hasDisplay = true;
                item->display = FlagsText(item, mask);
            }
        } else {
            PropItem* parent = item->parent;
            if (item->propagate && parent && parent->type == T_FLAGS) {
                if (item->value.vt < VT_BOOL) {
                    VariantClear(&item->value);
                    item->value.vt = VT_BOOL;
                    item->value.boolVal = 0;
                }
                // A bit set that has no value yet starts from no flag set.
                int mask = (parent->value.vt == VT_EMPTY || parent->value.vt == VT_NULL) ? 0 : VariantMask(parent->value);
                size_t pos = std::find(parent->children.begin(), parent->children.end(), item) - parent->children.begin();
                if (pos < 32) {
                    VARIANT own;
                    VariantInit(&own);
                    bool on = SUCCEEDED(VariantChangeType(&own, &item->value, 0, VT_I4)) ? own.lVal != 0
                                                                                        : VariantMask(item->value) != 0;
                    VariantClear(&own);
                    if (on)
                        mask |= (1 << pos);
                    else
                        mask &= ~(1 << pos);
                }
                VARIANT pv;
                VariantInit(&pv);
                pv.vt = VT_I4;
                pv.lVal = mask;
                SetItemValue(d, parent, &pv);
            }
            int capacity = ValueTextCapacity(&item->value) + 1;
            std::vector<WCHAR> buffer(capacity > 1 ? capacity : 34, L'\0');
            item->hasDisplay = true;
            if (ValueToText(&item->value, buffer.data(), static_cast<int>(buffer.size()), d->yes.c_str(),
                                    d->no.c_str()))
                item->display = buffer.data();
        }
    }
    if (d->hwnd) {
        InvalidateItemRows(d, item);
        if (item->parent && item->parent->type == T_FLAGS)
            InvalidateItemRow(d, item->parent);
    }
}

// Reads a bit set back from its text: "(" then flag-name prefixes separated by the list separator.
static void ParseFlags(const PropItem* item, const std::wstring& text, VARIANT* out)
{
    size_t open = text.find(L'(');
    if (open == std::wstring::npos)
        return;
    out->vt = VT_I4;
    out->lVal = 0;
    std::wstring sep = ListSeparator();
    std::wstring rest = text.substr(open + 1);
    size_t close = rest.find(L')');
    if (close != std::wstring::npos)
        rest.resize(close);
    size_t start = 0;
    for (;;) {
        size_t end = sep.empty() ? std::wstring::npos : rest.find(sep, start);
        std::wstring piece = rest.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        if (!piece.empty()) {
            for (size_t i = 0; i < item->children.size() && i < 32; ++i) {
                const std::wstring& name = item->children[i]->name;
                if (name.size() >= piece.size() &&
                    CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, name.c_str(), static_cast<int>(piece.size()),
                                   piece.c_str(), static_cast<int>(piece.size())) == CSTR_EQUAL) {
                    out->lVal |= (1 << i);
                    break;
                }
            }
        }
        if (end == std::wstring::npos)
            break;
        start = end + sep.size();
    }
}

void ReadItemValue(PropBoxData* d, PropItem* item, VARIANT* out)
{
    VariantClear(out);
    HWND editor = EditorFor(d, item);
    bool editing = d->cur >= 0 && d->items[d->cur] == item && editor && IsWindowVisible(editor);
    // An editor the user has not changed still holds the rounded display text; the stored value is exact.
    if (!editing || !EditorChanged(d, item)) {
        VariantCopy(out, &item->value);
        return;
    }
    bool hasSelection = true;
    std::wstring text = EditorText(d, item, &hasSelection);
    UINT type = item->BaseType();
    if (type == T_LIST && !hasSelection)
        return;
    if (text.empty())
        return;
    switch (type) {
    case T_TEXT:
    case T_LIST:
    case T_COMBO:
        out->vt = VT_BSTR;
        out->bstrVal = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
        break;
    case T_INTEGER:
    case T_REAL: {
        VARTYPE vt = type == T_INTEGER ? VT_I4 : VT_R8;
        if (!TextToValue(text.c_str(), out, vt, d->yes.c_str())) {
            // A text that gives no number (or one too big for the type) stays what was typed:
            // the owner refuses it, instead of storing a 0 the user never typed.
            VariantClear(out);
            out->vt = VT_BSTR;
            out->bstrVal = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
        }
        break;
    }
    case T_BOOL:
        out->vt = VT_BOOL;
        out->boolVal = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, text.c_str(), -1, d->yes.c_str(), -1) ==
                               CSTR_EQUAL
                           ? 1
                           : 0;
        break;
    case T_FLAGS:
        ParseFlags(item, text, out);
        break;
    default:
        VariantCopy(out, &item->value);
        break;
    }
}

int ListPosition(const PropItem* item)
{
    if (!item->hasDisplay || !item->hasList)
        return -1;
    for (size_t i = 0; i < item->list.size(); ++i)
        if (item->list[i] == item->display)
            return static_cast<int>(i);
    return -1;
}

static int CountDescendants(const PropItem* item)
{
    int n = 0;
    for (const PropItem* child : item->children)
        n += 1 + CountDescendants(child);
    return n;
}

LRESULT HandleItemMessage(PropBoxData* d, UINT msg, WPARAM wParam, LPARAM lParam, bool* handled)
{
    *handled = true;
    const bool wide = d->Unicode();
    const UINT index = HIWORD(wParam);
    const int count = static_cast<int>(d->items.size());
    auto itemAt = [&](UINT i) -> PropItem* { return i < static_cast<UINT>(count) ? d->items[i] : nullptr; };

    switch (msg) {
    case PBXM_ADDITEM: {
        int parentIndex = static_cast<short>(LOWORD(wParam));
        PropItem* parent = nullptr;
        if (parentIndex >= 0) {
            if (parentIndex >= count)
                return -1;
            parent = d->items[parentIndex];
        }
        PropItem* item = NewItem(d, HIWORD(wParam), TextIn(wide, lParam), wide ? 1 : 0);
        AppendToIndex(d, item);
        if (parent) {
            AppendChild(parent, item);
        } else {
            if (d->topLevel.size() == d->topLevel.capacity())
                d->topLevel.reserve(d->topLevel.capacity() + 32);
            d->topLevel.push_back(item);
        }
        UpdateScrollRange(d, FALSE);
        return count;
    }
    case PBXM_DELETEITEM: {
        int parentIndex = static_cast<short>(LOWORD(wParam));
        PropItem* parent = parentIndex >= 0 ? itemAt(parentIndex) : nullptr;
        PropItem* item = itemAt(index);
        if (item && (parentIndex < 0 || parent))
            DeleteItem(d, parent, item);
        UpdateScrollRange(d, FALSE);
        InvalidateRect(d->hwnd, nullptr, TRUE);
        return 0;
    }
    case PBXM_RESETCONTENT:
        EndEdit(d, false, false);
        FreeAllItems(d);
        d->cur = d->hot = -1;
        d->top = 0;
        d->tracking = d->dragging = 0;
        d->cursorMode = 0;
        UpdateScrollRange(d, FALSE);
        InvalidateRect(d->hwnd, nullptr, TRUE);
        return 0;
    case PBXM_SETYESTEXT:
    case PBXM_SETNOTEXT:
        (msg == PBXM_SETYESTEXT ? d->yes : d->no) = TextIn(wide, lParam);
        for (PropItem* item : d->items)
            if (item->type == T_BOOL)
                SetYesNoList(d, item);
        return 0;
    case PBXM_GETYESTEXT:
    case PBXM_GETNOTEXT: {
        const std::wstring& text = msg == PBXM_GETYESTEXT ? d->yes : d->no;
        size_t need = TextLength(wide, text) + 1;
        if (wParam < need)
            return static_cast<LRESULT>(need);
        CopyTextOut(wide, lParam, text);
        return 0;
    }
    case PBXM_SETITEMTEXT:
        if (PropItem* item = itemAt(index)) {
            item->name = TextIn(wide, lParam);
            return 0;
        }
        return -1;
    case PBXM_GETITEMTEXTLEN:
        if (PropItem* item = itemAt(index))
            return static_cast<LRESULT>(TextLength(wide, item->name));
        return -1;
    case PBXM_GETITEMTEXT:
        if (PropItem* item = itemAt(index)) {
            CopyTextOut(wide, lParam, item->name);
            return 0;
        }
        return -1;
    case PBXM_SETVALUE:
        if (PropItem* item = itemAt(index)) {
            SetItemValue(d, item, reinterpret_cast<const VARIANT*>(lParam));
            return 0;
        }
        return -1;
    case PBXM_GETVALUE:
        if (PropItem* item = itemAt(index)) {
            if (lParam)
                ReadItemValue(d, item, reinterpret_cast<VARIANT*>(lParam));
            return 0;
        }
        return -1;
    case PBXM_GETCURITEM: {
        int* out = reinterpret_cast<int*>(lParam);
        if (d->cur < 0 || d->cur >= count) {
            if (out)
                *out = -1;
            return -1;
        }
        PropItem* item = d->items[d->cur];
        int parent = item->parent ? IndexOf(d, item->parent) : 0xFFFF;
        if (out)
            *out = static_cast<int>((parent & 0xFFFF) | (static_cast<unsigned>(d->cur) << 16));
        return RowOf(d, item);
    }
    case PBXM_SELECTITEM:
        if (!itemAt(index))
            return -1;
        SelectItem(d, index, lParam != 0);
        return 0;
    case PBXM_SETITEMWORD:
        d->split = static_cast<int>(wParam);
        return 0;
    case PBXM_GETITEMWORD:
        return d->split;
    case PBXM_SETFLAGNAMES:
        if (PropItem* item = itemAt(index)) {
            if (d->cur >= 0)
                for (PropItem* child : item->children)
                    if (d->items[d->cur] == child)
                        EndEdit(d, false, false);
            item->hasList = true;
            item->list = MultiStringIn(item->wide != 0, lParam);
            item->hasListValues = false;
            item->listValues.clear();
            for (PropItem* child : item->children) {
                RemoveDescendants(d, child);
                RemoveFromIndex(d, child, 0);
                FreeItem(child);
            }
            item->children.clear();
            for (const std::wstring& name : item->list) {
                PropItem* child = NewItem(d, T_BOOL, name, item->wide);
                AppendToIndex(d, child);
                AppendChild(item, child);
            }
            return 0;
        }
        return -1;
    case PBXM_SETLIST:
        if (PropItem* item = itemAt(index)) {
            item->hasList = lParam != 0;
            item->list = MultiStringIn(item->wide != 0, lParam);
            item->hasListValues = false;
            item->listValues.clear();
            return 0;
        }
        return -1;
    case PBXM_SELECTNEXT:
        SelectNext(d, LOWORD(wParam) != 0, HIWORD(wParam) != 0);
        return 0;
    case PBXM_ENDEDIT:
        EndEdit(d, wParam != 0, lParam != 0);
        return 0;
    case PBXM_SETITEMLIMIT:
        if (PropItem* item = itemAt(index)) {
            item->limit = lParam > 0 ? static_cast<int>(lParam) : 0;
            return 0;
        }
        return -1;
    case PBXM_SETITEMFLAG:
        if (PropItem* item = itemAt(index)) {
            int visible = lParam ? 1 : 0;
            if (visible != item->visible) {
                // Repaint where the rows are before and after the change.
                InvalidateItemRows(d, item);
                item->visible = visible;
                InvalidateItemRows(d, item);
            }
            return 0;
        }
        return -1;
    case PBXM_REDRAW:
        InvalidateRect(d->hwnd, nullptr, TRUE);
        return 0;
    case PBXM_SETITEMDATA:
        if (PropItem* item = itemAt(index)) {
            item->data = lParam;
            return 0;
        }
        return -1;
    case PBXM_GETITEMDATA:
        if (PropItem* item = itemAt(index))
            return item->data;
        return -1;
    case PBXM_GETCOUNT: {
        int which = static_cast<int>(wParam);
        if (which < 0)
            return lParam ? count : static_cast<LRESULT>(d->topLevel.size());
        if (which >= count)
            return -1;
        PropItem* item = d->items[which];
        return lParam ? CountDescendants(item) : static_cast<LRESULT>(item->children.size());
    }
    case PBXM_SETLISTINDEX:
        if (PropItem* item = itemAt(index)) {
            int pos = static_cast<int>(lParam);
            if (pos < 0) {
                VariantClear(&item->value);
                item->value.vt = VT_NULL;
                item->hasDisplay = false;
                item->display.clear();
            } else if (item->hasList) {
                item->hasDisplay = true;
                item->display = static_cast<size_t>(pos) < item->list.size() ? item->list[pos] : std::wstring();
                VariantClear(&item->value);
                item->value.vt = VT_BSTR;
                item->value.bstrVal = SysAllocStringLen(item->display.c_str(), static_cast<UINT>(item->display.size()));
            } else {
                // Without a choice list there is no entry to show; the value stays.
                item->hasDisplay = false;
                item->display.clear();
            }
            // The row shows the new choice (the owner may choose for the user, as a wizard
            // page showing an earlier choice does).
            InvalidateItemRow(d, item);
            return 0;
        }
        return -1;
    case PBXM_GETLISTINDEX:
        if (PropItem* item = itemAt(index))
            return ListPosition(item);
        return -1;
    case PBXM_SETLISTVALUES:
        if (PropItem* item = itemAt(index)) {
            const int* values = reinterpret_cast<const int*>(lParam);
            item->listValues.clear();
            item->hasListValues = values != nullptr;
            if (values)
                item->listValues.assign(values, values + item->list.size());
            return 0;
        }
        return -1;
    case PBXM_GETLISTVALUE:
        if (PropItem* item = itemAt(index)) {
            int pos = static_cast<int>(lParam);
            if (pos < 0)
                pos = ListPosition(item);
            // Without values, or outside the list, there is nothing to give but 0.
            if (pos < 0 || static_cast<size_t>(pos) >= item->listValues.size())
                return 0;
            return item->listValues[pos];
        }
        return -1;
    case PBXM_GETLISTCOUNT:
        if (PropItem* item = itemAt(index))
            return item->hasList ? static_cast<LRESULT>(item->list.size()) : 0;
        return -1;
    default:
        *handled = false;
        return 0;
    }
}

}  // namespace propbox
