// The configuration object: its lifetime, its lists and their order.
#include "shellcontract/configdata.h"

#include <algorithm>

#include "core/choosefields.h"
#include "core/fields.h"

namespace {

// A display entry owns the database field it wraps; a composed field belongs to CustomFields.
void ClearDisplayList(CObjArray* list)
{
    if (!list)
        return;
    for (int i = 0; i < list->GetCount(); ++i) {
        CDispField* entry = static_cast<CDispField*>(list->GetItems()[i]);
        if (entry && entry->Field && entry->Field->Kind == FIELD_DATABASE) {
            delete entry->Field;
            entry->Field = nullptr;
        }
    }
    list->RemoveAll(1);
}

void DeleteDisplayList(CObjArray*& list)
{
    ClearDisplayList(list);
    delete list;
    list = nullptr;
}

void SortDisplayList(CObjArray* list)
{
    if (!list || list->GetCount() < 2)
        return;
    CZorObj** first = list->GetItems();
    std::stable_sort(first, first + list->GetCount(), [](CZorObj* a, CZorObj* b) {
        const CDispField* x = static_cast<const CDispField*>(a);
        const CDispField* y = static_cast<const CDispField*>(b);
        bool xVisible = x->Visible != 0, yVisible = y->Visible != 0;
        if (xVisible != yVisible)
            return xVisible;
        return x->Order < y->Order;
    });
}

}  // namespace

ConfigData::ConfigData(HINSTANCE instance)
    : Owner(nullptr), Instance(instance), WorkFont(nullptr), WorkLogFont(), WorkColor(0),
      WorkPointSize(0), PageStates(), Changed(0), DragList(nullptr), DragImages(nullptr),
      DragOrigin(), DropIndex(-1), FieldChooser(nullptr), CurCustom(nullptr),
      CustomPage(nullptr), Sheet(nullptr), RetiredCardFont(nullptr), CardFont(nullptr),
      CardLogFont(), CardColor(0),
      CardPointSize(120), AppCaption(nullptr),
      SysFields(new CObjArray(16, 4)), LocFields(new CObjArray(16, 4)),
      SearchFields(new CObjArray(16, 4)), LitFields(new CObjArray(16, 4)),
      SysHeaderFields(new CObjArray(16, 4)), LocHeaderFields(new CObjArray(16, 4)),
      CustomFields(new CObjArray(16, 4))
{
}

ConfigData::~ConfigData()
{
    // The composed columns go first: the display lists only borrow them.
    CustomFields->RemoveAll(1);
    delete CustomFields;
    CustomFields = nullptr;
    DeleteDisplayList(SysHeaderFields);
    DeleteDisplayList(LocHeaderFields);
    DeleteDisplayList(LitFields);
    DeleteDisplayList(SearchFields);
    DeleteDisplayList(LocFields);
    DeleteDisplayList(SysFields);
    if (CardFont && CardFont != GetStockObject(SYSTEM_FONT))
        DeleteObject(CardFont);
    CardFont = nullptr;
    free(AppCaption);
    AppCaption = nullptr;
    delete FieldChooser;
    FieldChooser = nullptr;
}

void ConfigData::ClearLists()
{
    ClearDisplayList(SysFields);
    ClearDisplayList(LocFields);
    ClearDisplayList(SearchFields);
    ClearDisplayList(LitFields);
    ClearDisplayList(SysHeaderFields);
    ClearDisplayList(LocHeaderFields);
    CustomFields->RemoveAll(1);
}

void ConfigData::ResolveCustomFieldRefs()
{
    for (int i = 0; i < CustomFields->GetCount(); ++i) {
        CCustFld* custom = static_cast<CCustFld*>(CustomFields->GetItems()[i]);
        if (custom)
            SplitFieldNames(custom->Fields, SearchFields, custom->FieldRefs);
    }
}

void ConfigData::SortLists()
{
    SortDisplayList(SysHeaderFields);
    SortDisplayList(SysFields);
    SortDisplayList(LocHeaderFields);
    SortDisplayList(LocFields);
    SortDisplayList(SearchFields);
    SortDisplayList(LitFields);
}

int DefaultColumnWidth(const wchar_t* name)
{
    return 8 + 10 * (name ? (int)wcslen(name) : 0);
}
