// Grid records in the workspace file: one element per grid below Grids.
#include "map/griddef.h"

#include <strsafe.h>

#include "core/xmlaccess.h"

namespace {

// Attribute names in the stored order; the coarse steps keep the spelling of existing files.
struct GridAttr
{
    const wchar_t* name;
    double GridDef::*field;
};

const GridAttr kGridAttrs[] = {
    { L"LatMin", &GridDef::LatMin },
    { L"LatMax", &GridDef::LatMax },
    { L"LatCoarseSetp", &GridDef::LatCoarseStep },
    { L"LatFineStep", &GridDef::LatFineStep },
    { L"LonMin", &GridDef::LonMin },
    { L"LonMax", &GridDef::LonMax },
    { L"LonCoarseSetp", &GridDef::LonCoarseStep },
    { L"LonFineStep", &GridDef::LonFineStep },
};

}  // namespace

void WriteGridElement(CXmlWriter* writer, IXMLDOMElement* parent, const GridDef* grid, int n)
{
    if (!writer || !parent || !grid)
        return;
    wchar_t tag[32];
    StringCchPrintfW(tag, 32, L"Grid%d", n);
    IXMLDOMElement* element = writer->AddChildElement(parent, tag);
    if (!element)
        return;
    // A record from anywhere may lack its terminator; never read past the name field.
    wchar_t name[GRIDDEF_NAME_SIZE];
    StringCchCopyNW(name, GRIDDEF_NAME_SIZE, grid->Name, GRIDDEF_NAME_SIZE - 1);
    writer->SetStringAttr(element, L"Name", name);
    for (const GridAttr& attr : kGridAttrs)
        writer->SetRealAttr(element, attr.name, grid->*attr.field);
    element->Release();
}

void ReadGridElement(CXmlReader* reader, IXMLDOMElement* element, GridDef* grid)
{
    if (!reader || !element || !grid)
        return;
    wchar_t name[GRIDDEF_NAME_SIZE];
    if (reader->GetStringAttrBuf(element, L"Name", name, GRIDDEF_NAME_SIZE))
        StringCchCopyW(grid->Name, GRIDDEF_NAME_SIZE, name);
    for (const GridAttr& attr : kGridAttrs)
        reader->GetRealAttr(element, attr.name, &(grid->*attr.field));
}
