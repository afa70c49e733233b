// Property box lookup requests answered through ZM_GET_LOOKUP_VALUES and the lookup cache's rows.
#include "browse/propboxlookup.h"

#include "controls/plexa.h"
#include "core/attrdef.h"
#include "core/database.h"
#include "shellcontract/zm_protocol.h"

bool AnswerLookupRequest(HWND mainWnd, const NMHDR* header, int lookupKind, LRESULT* result)
{
    UINT code = header->code;
    if (code != PBXN_GETLISTCOUNT && code != ICBN_GETTEXTLENGTH && code != ICBN_GETTEXT &&
        code != ICBN_FINDSTRING)
        return false;
    *result = 0;
    // Both records carry the box's item index at the same place (PropBoxNotify.item).
    ComboItemRequest* request = (ComboItemRequest*)header;
    LPARAM boxItem = request->reserved;
    const CustomAttrDef* def = (const CustomAttrDef*)SendMessageW(
        header->hwndFrom, PBXM_GETITEMDATA, PBX_ITEM((WORD)boxItem), 0);
    int index = kLookupNotAvailable;
    if (def)
        index = LOWORD(SendZm(mainWnd, ZM_GET_LOOKUP_VALUES, (WPARAM)lookupKind,
                                       (LPARAM)def->FieldName));
    bool none = index == kLookupNotAvailable;
    switch (code) {
    case PBXN_GETLISTCOUNT:
        ((PropBoxNotify*)request)->data =
            none ? 0 : SendZm(mainWnd, ZM_GET_LOOKUP_COUNT, (WPARAM)index, 0);
        break;
    case ICBN_GETTEXTLENGTH: {
        int length = 0;
        if (!none && request->item >= 0)
            SendMessageW(mainWnd, ZM_GET_LOOKUP_ENTRY, MAKEWPARAM(index, request->item),
                         (LPARAM)&length);
        request->count = length;
        break;
    }
    case ICBN_GETTEXT: {
        if (request->text && request->count > 0)
            request->text[0] = L'\0';
        if (none || request->item < 0 || !request->text || request->count <= 0)
            break;
        ZmTextRequest text = {request->text, request->count, 0};
        SendMessageW(mainWnd, ZM_GET_LOOKUP_TEXT, MAKEWPARAM(index, request->item), (LPARAM)&text);
        break;
    }
    case ICBN_FINDSTRING: {
        ZmFindRequest find = {request->text, request->item, 0};
        if (!none && request->text)
            SendMessageW(mainWnd, ZM_FIND_LOOKUP_ENTRY, (WPARAM)index, (LPARAM)&find);
        else
            find.Row = -1;
        request->item = find.Row;
        request->count = find.MatchLength;
        break;
    }
    }
    return true;
}
