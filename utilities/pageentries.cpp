#include "utilities/pageentries.h"

#include "utilities/tarnix_protocol.h"

void PageChanged(HWND page)
{
    SendMessageW(GetParent(GetParent(page)), ZM_PAGE_CHANGED, 0, 0);
}

bool OwnedByPage(const ItemList* list, const void* entry)
{
    return !list || ItemListIndexOf(list, entry) < 0;
}
