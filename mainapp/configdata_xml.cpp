// The configuration in the workspace file: the element ConfigDialog with the card font, the
// caption, the composed columns and the six display lists.
#include "shellcontract/configdata.h"

#include <string>
#include <strsafe.h>

#include "core/fields.h"
#include "core/textutil.h"
#include "core/xmlaccess.h"
#include "reports/settingsxml.h"

namespace {

#define CONFIG_ELEMENT L"ConfigDialog"

// The display lists in the order they are written.
struct ListSlot
{
    const wchar_t* tag;
    CObjArray* ConfigData::*list;
};

const ListSlot kListSlots[] = {
    { L"SysHeaderFields", &ConfigData::SysHeaderFields },
    { L"SysFields", &ConfigData::SysFields },
    { L"LocHeaderFields", &ConfigData::LocHeaderFields },
    { L"LocFields", &ConfigData::LocFields },
    { L"SearchFields", &ConfigData::SearchFields },
    { L"LitFields", &ConfigData::LitFields },
};

bool SameName(const wchar_t* a, const wchar_t* b)
{
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a, -1, b, -1) == CSTR_EQUAL;
}

// Replaces *text with the attribute's value when the attribute is present.
void ReadStringInto(CXmlReader* reader, IXMLDOMElement* element, const wchar_t* name,
                    wchar_t** text)
{
    wchar_t* value = nullptr;
    if (reader->GetStringAttr(element, name, &value)) {
        free(*text);
        *text = value;
    }
}

CCustFld* FindCustom(CObjArray* customs, const wchar_t* name)
{
    for (int i = 0; i < customs->GetCount(); ++i) {
        CCustFld* custom = static_cast<CCustFld*>(customs->GetItems()[i]);
        if (custom && SameName(custom->Name, name))
            return custom;
    }
    return nullptr;
}

bool HasDispName(CObjArray* list, const wchar_t* name)
{
    for (int i = 0; i < list->GetCount(); ++i) {
        CDispField* entry = static_cast<CDispField*>(list->GetItems()[i]);
        if (entry && entry->DispName && wcscmp(entry->DispName, name) == 0)
            return true;
    }
    return false;
}

void ReadCustomFields(CXmlReader* reader, IXMLDOMElement* customs, CObjArray* list)
{
    wchar_t* tag = nullptr;
    for (IXMLDOMElement* child = reader->FirstChildElement(customs, &tag); child;
         child = reader->NextSiblingElement(child, &tag)) {
        // A name stored twice would make the display entries bind to whichever comes first.
        if (tag && *tag && !FindCustom(list, tag)) {
            CCustFld* custom = new CCustFld(tag);
            ReadStringInto(reader, child, L"Mask", &custom->Mask);
            ReadStringInto(reader, child, L"Fields", &custom->Fields);
            reader->GetIntAttr(child, L"UseForSearch", &custom->UseForSearch);
            reader->GetIntAttr(child, L"UseForEdit", &custom->UseForEdit);
            reader->GetIntAttr(child, L"Alignment", &custom->Alignment);
            list->Add(custom);
        }
        free(tag);
        tag = nullptr;
    }
}

// The field an entry's tag names, or null when it names none: "TABLE.COLUMN" for a database
// field (a new CFieldInfo), a composed column's name for a custom field.
CFieldBase* FieldOfTag(const wchar_t* tag, int fieldType, CObjArray* customs)
{
    if (fieldType == FIELD_DATABASE) {
        const wchar_t* dot = wcschr(tag, L'.');
        if (!dot)
            return nullptr;
        std::wstring table(tag, dot - tag);
        return new CFieldInfo(dot + 1, table.c_str());
    }
    if (fieldType == FIELD_COMPOSED)
        return FindCustom(customs, tag);
    return nullptr;
}

void ReadDisplayList(CXmlReader* reader, IXMLDOMElement* listElement, CObjArray* list,
                     CObjArray* customs)
{
    int kept = 0;
    wchar_t* tag = nullptr;
    for (IXMLDOMElement* child = reader->FirstChildElement(listElement, &tag); child;
         child = reader->NextSiblingElement(child, &tag)) {
        int fieldType = 0;
        reader->GetIntAttr(child, L"FieldType", &fieldType);
        CFieldBase* field = tag ? FieldOfTag(tag, fieldType, customs) : nullptr;
        if (field) {
            CDispField* entry = new CDispField(field);
            reader->GetStringAttr(child, L"DispName", &entry->DispName);
            reader->GetIntAttr(child, L"Visible", &entry->Visible);
            reader->GetIntAttr(child, L"Width", &entry->Width);
            if (!entry->DispName || HasDispName(list, entry->DispName)) {
                if (field->Kind == FIELD_DATABASE)
                    delete field;
                delete entry;
            } else {
                entry->Order = kept++;
                list->Add(entry);
            }
        }
        free(tag);
        tag = nullptr;
    }
}

// The tag under which an entry is stored; empty for an entry that is not stored.
std::wstring TagOfEntry(const CDispField* entry)
{
    const CFieldBase* field = entry ? entry->Field : nullptr;
    if (!field)
        return std::wstring();
    if (field->Kind == FIELD_DATABASE) {
        const CFieldInfo* info = static_cast<const CFieldInfo*>(field);
        return std::wstring(info->TableName) + L"." + info->Field;
    }
    if (field->Kind == FIELD_COMPOSED)
        return field->Name;
    return std::wstring();
}

void ReplaceCardFont(ConfigData* config, HFONT font)
{
    if (config->CardFont && config->CardFont != font &&
        config->CardFont != GetStockObject(SYSTEM_FONT))
        DeleteObject(config->CardFont);
    config->CardFont = font;
}

void UseDefaultCardFont(ConfigData* config)
{
    HFONT system = (HFONT)GetStockObject(SYSTEM_FONT);
    ReplaceCardFont(config, system);
    GetObjectW(system, sizeof(config->CardLogFont), &config->CardLogFont);
    config->CardColor = 0;
    config->CardPointSize = 120;
}

}  // namespace

void ConfigData::ReadConfigSection(CXmlReader* reader)
{
    // Another workspace file replaces the configuration; it is never added to what is held.
    ClearLists();
    IXMLDOMElement* config = reader ? reader->SelectElement(CONFIG_ELEMENT) : nullptr;
    if (!config) {
        UseDefaultCardFont(this);
        free(AppCaption);
        AppCaption = WideDup(L"Zorna");
        return;
    }
    IXMLDOMElement* font = reader->SelectChildElement(config, L"CardFont");
    if (!font && !CardFont)
        UseDefaultCardFont(this);  // an element without the font: the same font as without any
    if (font) {
        int color = (int)CardColor;
        if (reader->GetIntAttr(font, L"Color", &color))
            CardColor = (COLORREF)color;
        reader->GetIntAttr(font, L"PointSize", &CardPointSize);
        ReadLogFontAttrs(reader, font, &CardLogFont);
        HFONT created = CreateFontIndirectW(&CardLogFont);
        if (created)
            ReplaceCardFont(this, created);
        font->Release();
    }

    ReadStringInto(reader, config, L"AppCaption", &AppCaption);
    if (!AppCaption)
        AppCaption = WideDup(L"Zorna");

    if (IXMLDOMElement* customs = reader->SelectChildElement(config, L"CustomFields")) {
        ReadCustomFields(reader, customs, CustomFields);
        customs->Release();
    }
    // Read in the stored order of the lists; each list is independent of the others.
    for (const ListSlot& slot : kListSlots) {
        if (IXMLDOMElement* listElement = reader->SelectChildElement(config, slot.tag)) {
            ReadDisplayList(reader, listElement, this->*slot.list, CustomFields);
            listElement->Release();
        }
    }
    config->Release();
}

void ConfigData::WriteConfigSection(CXmlWriter* writer)
{
    if (!writer)
        return;
    SortLists();
    IXMLDOMElement* config = writer->AddElement(CONFIG_ELEMENT);
    if (!config)
        return;

    if (IXMLDOMElement* font = writer->AddChildElement(config, L"CardFont")) {
        writer->SetIntAttr(font, L"Color", (int)CardColor);
        writer->SetIntAttr(font, L"PointSize", CardPointSize);
        WriteLogFontAttrs(writer, font, CardLogFont);
        font->Release();
    }
    writer->SetStringAttr(config, L"AppCaption", AppCaption ? AppCaption : L"Zorna");

    if (IXMLDOMElement* customs = writer->AddChildElement(config, L"CustomFields")) {
        for (int i = 0; i < CustomFields->GetCount(); ++i) {
            CCustFld* custom = static_cast<CCustFld*>(CustomFields->GetItems()[i]);
            IXMLDOMElement* child = custom ? writer->AddChildElement(customs, custom->Name) : nullptr;
            if (!child)
                continue;
            writer->SetStringAttr(child, L"Mask", custom->Mask);
            writer->SetStringAttr(child, L"Fields", custom->Fields);
            writer->SetIntAttr(child, L"UseForSearch", custom->UseForSearch);
            writer->SetIntAttr(child, L"UseForEdit", custom->UseForEdit);
            writer->SetIntAttr(child, L"Alignment", custom->Alignment);
            child->Release();
        }
        customs->Release();
    }

    for (const ListSlot& slot : kListSlots) {
        IXMLDOMElement* listElement = writer->AddChildElement(config, slot.tag);
        if (!listElement)
            continue;
        CObjArray* list = this->*slot.list;
        for (int i = 0; i < list->GetCount(); ++i) {
            CDispField* entry = static_cast<CDispField*>(list->GetItems()[i]);
            std::wstring tag = TagOfEntry(entry);
            IXMLDOMElement* child = tag.empty() ? nullptr : writer->AddChildElement(listElement, tag.c_str());
            if (!child)
                continue;
            if (entry->DispName)
                writer->SetStringAttr(child, L"DispName", entry->DispName);
            writer->SetIntAttr(child, L"FieldType", entry->Field->Kind);
            writer->SetIntAttr(child, L"Visible", entry->Visible ? 1 : 0);
            writer->SetIntAttr(child, L"Width", entry->Width);
            child->Release();
        }
        listElement->Release();
    }
    config->Release();
}
