// Print form: the object's lifetime and its settings in the workspace file.
#include "reports/printform.h"

#include <stdlib.h>
#include <strsafe.h>

#include "core/containers.h"
#include "core/xmlaccess.h"
#include "dataaccess/ado.h"
#include "reports/settingsxml.h"

namespace {

const int kInitialLineCapacity = 256;

void DefaultReportFont(LOGFONTW* lf)
{
    ZeroMemory(lf, sizeof(*lf));
    lf->lfHeight = 10;
    lf->lfWeight = FW_NORMAL;
    StringCchCopyW(lf->lfFaceName, LF_FACESIZE, L"Arial");
}

void ReadUint(CXmlReader* reader, IXMLDOMElement* element, const wchar_t* name, UINT* value)
{
    int v = (int)*value;
    if (reader->GetIntAttr(element, name, &v))
        *value = (UINT)v;
}

}  // namespace

CPrintForm::CPrintForm(HINSTANCE instance)
    : Owner(nullptr), Window(nullptr), Layout(), Placement(), ReportFont(), DispFields(nullptr),
      Fields(new CPtrArray(PTRARRAY_OWNS_ITEMS, 64, 16)), Header(1), System(0), Location(0),
      AbbrevList(0), ListKind(0), BodySize(0), TitleSize(0), Recordset(nullptr),
      LineBuffer(static_cast<char*>(calloc(kInitialLineCapacity, 1))),
      LineCapacity(kInitialLineCapacity), ListSeparator(), LastVisibleColumn(-1), PageSetup(),
      ReportThread(nullptr), ReportRunId(0), RunCounter(0), Run(), Filling(0), Instance(instance),
      GroupProcs()
{
    Placement.length = sizeof(WINDOWPLACEMENT);
    Placement.flags = 0;
    Placement.showCmd = SW_SHOW;
    Placement.rcNormalPosition = kPrintFormUnplaced;
    DefaultReportFont(&ReportFont);
    // The size comes from the structure itself: a fixed number is wrong in a 64-bit build.
    PageSetup.lStructSize = sizeof(PAGESETUPDLGW);
    PageSetup.Flags = PSD_RETURNDEFAULT;
    PageSetup.hInstance = instance;
}

CPrintForm::~CPrintForm()
{
    StopReport();
    Run.reset();
    if (Window && IsWindow(Window)) {
        ReadOptions();
        DestroyWindow(Window);
    }
    Window = nullptr;
    delete Fields;  // frees its PrintField records
    Fields = nullptr;
    free(LineBuffer);
    LineBuffer = nullptr;
    LineCapacity = 0;
    if (Recordset) {
        Recordset->Release();
        Recordset = nullptr;
    }
    if (PageSetup.hDevMode)
        GlobalFree(PageSetup.hDevMode);
    if (PageSetup.hDevNames)
        GlobalFree(PageSetup.hDevNames);
    PageSetup.hDevMode = PageSetup.hDevNames = nullptr;
}

void CPrintForm::SaveSettings(CXmlWriter* writer, IXMLDOMElement* parent)
{
    if (!writer || !parent)
        return;
    IXMLDOMElement* element = writer->AddChildElement(parent, PRINTFORM_SETTINGS_ELEMENT);
    if (!element)
        return;
    if (Window && IsWindow(Window)) {
        WINDOWPLACEMENT current = { sizeof(WINDOWPLACEMENT) };
        if (GetWindowPlacement(Window, &current))
            Placement = current;
    }
    WritePlacementAttrs(writer, element, Placement);

    if (IXMLDOMElement* font = writer->AddChildElement(element, L"Font")) {
        WriteLogFontAttrs(writer, font, ReportFont);
        font->Release();
    }

    if (IXMLDOMElement* fields = writer->AddChildElement(element, L"Fields")) {
        for (int i = 0; i < Fields->GetCount(); ++i) {
            const PrintField* field = static_cast<const PrintField*>(Fields->GetItems()[i]);
            wchar_t tag[32];
            StringCchPrintfW(tag, 32, L"Fld%d", i);
            IXMLDOMElement* child = field ? writer->AddChildElement(fields, tag) : nullptr;
            if (!child)
                continue;
            wchar_t name[65];
            StringCchCopyNW(name, 65, field->FieldName, 64);
            writer->SetStringAttr(child, L"FieldName", name);
            writer->SetIntAttr(child, L"Visible", field->Visible);
            writer->SetIntAttr(child, L"Abbrev", field->Abbrev);
            child->Release();
        }
        fields->Release();
    }

    if (IXMLDOMElement* options = writer->AddChildElement(element, L"System")) {
        writer->SetIntAttr(options, L"Header", Header);
        writer->SetIntAttr(options, L"System", System);
        writer->SetIntAttr(options, L"Location", Location);
        writer->SetIntAttr(options, L"AbbrevList", AbbrevList);
        options->Release();
    }
    element->Release();
}

void CPrintForm::LoadSettings(CXmlReader* reader, IXMLDOMElement* parent)
{
    if (!reader || !parent)
        return;
    IXMLDOMElement* element = reader->SelectChildElement(parent, PRINTFORM_SETTINGS_ELEMENT);
    if (!element)
        return;

    // A missing attribute keeps its part of the current placement; a width or height keeps
    // its size when only the corner moves.
    RECT& r = Placement.rcNormalPosition;
    int width = r.right - r.left, height = r.bottom - r.top;
    ReadUint(reader, element, L"WindowState", &Placement.showCmd);
    ReadLongAttr(reader, element, L"Left", &r.left);
    ReadLongAttr(reader, element, L"Top", &r.top);
    reader->GetIntAttr(element, L"Width", &width);
    reader->GetIntAttr(element, L"Height", &height);
    r.right = r.left + width;
    r.bottom = r.top + height;

    if (IXMLDOMElement* font = reader->SelectChildElement(element, L"Font")) {
        ReadLogFontAttrs(reader, font, &ReportFont);
        font->Release();
    }

    if (IXMLDOMElement* fields = reader->SelectChildElement(element, L"Fields")) {
        for (IXMLDOMElement* child = reader->FirstChildElement(fields, nullptr); child;
             child = reader->NextSiblingElement(child, nullptr)) {
            PrintField* field = static_cast<PrintField*>(calloc(1, sizeof(PrintField)));
            if (!field)
                continue;
            reader->GetStringAttrBuf(child, L"FieldName", field->FieldName, 65);
            reader->GetByteAttr(child, L"Visible", &field->Visible);
            reader->GetByteAttr(child, L"Abbrev", &field->Abbrev);
            Fields->Add(field);
        }
        fields->Release();
    }

    if (IXMLDOMElement* options = reader->SelectChildElement(element, L"System")) {
        reader->GetIntAttr(options, L"Header", &Header);
        reader->GetIntAttr(options, L"System", &System);
        reader->GetIntAttr(options, L"Location", &Location);
        reader->GetIntAttr(options, L"AbbrevList", &AbbrevList);
        options->Release();
    }
    element->Release();
}
