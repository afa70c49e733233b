#include "browse/attrbox.h"

#include "browse/memodlg.h"
#include "controls/plexa.h"
#include "core/attrdef.h"
#include "shellcontract/zm_protocol.h"

LONG_PTR SendZmResult(HWND mainWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    SendMessageW(mainWnd, msg, wParam, lParam);
    return GetWindowLongPtrW(mainWnd, DWLP_MSGRESULT);
}

int AttrBoxNotifyItem(const NMHDR* header)
{
    return (int)reinterpret_cast<const PropBoxNotify*>(header)->item;
}

bool AnswerAttrBoxNotify(HWND mainWnd, HINSTANCE instance, HWND dialog, const NMHDR* header,
                         int lookupKind)
{
    UINT code = header->code;
    if (code != PBXN_BUTTONCLICK && code != PBXN_GETLISTCOUNT && code != ICBN_GETTEXTLENGTH
        && code != ICBN_GETTEXT && code != ICBN_FINDSTRING)
        return false;
    HWND box = header->hwndFrom;
    int item = AttrBoxNotifyItem(header);
    const CustomAttrDef* def = reinterpret_cast<const CustomAttrDef*>(
        SendMessageW(box, PBXM_GETITEMDATA, PBX_ITEM(item), 0));
    if (!def)
        return true;
    if (code == PBXN_BUTTONCLICK) {
        if (def->Type == ATTR_LONG_TEXT)
            EditMemoText(instance, dialog, box, item);
        return true;
    }
    if (def->Type != ATTR_LOOKUP && def->Type != ATTR_GEO_LOOKUP)
        return true;
    // The cache index is a 16-bit word; 0xFFFF means the table cannot be opened.
    WORD index = (WORD)SendZmResult(mainWnd, ZM_GET_LOOKUP_VALUES, (WPARAM)lookupKind,
                                    (LPARAM)def->FieldName);
    if (index == 0xFFFF)
        return true;
    if (code == PBXN_GETLISTCOUNT) {
        PropBoxNotify* nm = const_cast<PropBoxNotify*>(reinterpret_cast<const PropBoxNotify*>(header));
        nm->data = SendZmResult(mainWnd, ZM_GET_LOOKUP_COUNT, index, 0);
        return true;
    }
    ComboItemRequest* request =
        const_cast<ComboItemRequest*>(reinterpret_cast<const ComboItemRequest*>(header));
    switch (code) {
    case ICBN_GETTEXTLENGTH:
        SendMessageW(mainWnd, ZM_GET_LOOKUP_ENTRY, MAKEWPARAM(index, request->item),
                     (LPARAM)&request->count);
        break;
    case ICBN_GETTEXT: {
        ZmTextRequest text = {request->text, request->count, 0};
        SendMessageW(mainWnd, ZM_GET_LOOKUP_TEXT, MAKEWPARAM(index, request->item), (LPARAM)&text);
        break;
    }
    case ICBN_FINDSTRING: {
        ZmFindRequest find = {request->text, request->item, 0};
        SendMessageW(mainWnd, ZM_FIND_LOOKUP_ENTRY, index, (LPARAM)&find);
        request->item = find.Row;
        request->count = find.MatchLength;
        break;
    }
    }
    return true;
}
