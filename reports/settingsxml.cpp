// Pieces of settings elements shared by the configuration, the print form and the exports.
#include "reports/settingsxml.h"

#include <strsafe.h>

#include "core/xmlaccess.h"

void ReadLongAttr(CXmlReader* reader, IXMLDOMElement* element, const wchar_t* name, LONG* value)
{
    int v = *value;
    if (reader->GetIntAttr(element, name, &v))
        *value = v;
}

void ReadLogFontAttrs(CXmlReader* reader, IXMLDOMElement* font, LOGFONTW* lf)
{
    ReadLongAttr(reader, font, L"Height", &lf->lfHeight);
    ReadLongAttr(reader, font, L"Width", &lf->lfWidth);
    ReadLongAttr(reader, font, L"Escapement", &lf->lfEscapement);
    ReadLongAttr(reader, font, L"Orientation", &lf->lfOrientation);
    ReadLongAttr(reader, font, L"Weight", &lf->lfWeight);
    reader->GetByteAttr(font, L"Italic", &lf->lfItalic);
    reader->GetByteAttr(font, L"Underline", &lf->lfUnderline);
    reader->GetByteAttr(font, L"StrikeOut", &lf->lfStrikeOut);
    reader->GetByteAttr(font, L"CharSet", &lf->lfCharSet);
    reader->GetByteAttr(font, L"OutPrecision", &lf->lfOutPrecision);
    reader->GetByteAttr(font, L"ClipPrecision", &lf->lfClipPrecision);
    reader->GetByteAttr(font, L"Quality", &lf->lfQuality);
    reader->GetByteAttr(font, L"PitchAndFamily", &lf->lfPitchAndFamily);
    wchar_t face[LF_FACESIZE];
    if (reader->GetStringAttrBuf(font, L"FaceName", face, LF_FACESIZE))
        StringCchCopyW(lf->lfFaceName, LF_FACESIZE, face);
}

void WriteLogFontAttrs(CXmlWriter* writer, IXMLDOMElement* font, const LOGFONTW& lf)
{
    writer->SetIntAttr(font, L"Height", lf.lfHeight);
    writer->SetIntAttr(font, L"Width", lf.lfWidth);
    writer->SetIntAttr(font, L"Escapement", lf.lfEscapement);
    writer->SetIntAttr(font, L"Orientation", lf.lfOrientation);
    writer->SetIntAttr(font, L"Weight", lf.lfWeight);
    writer->SetIntAttr(font, L"Italic", lf.lfItalic);
    writer->SetIntAttr(font, L"Underline", lf.lfUnderline);
    writer->SetIntAttr(font, L"StrikeOut", lf.lfStrikeOut);
    writer->SetIntAttr(font, L"CharSet", lf.lfCharSet);
    writer->SetIntAttr(font, L"OutPrecision", lf.lfOutPrecision);
    writer->SetIntAttr(font, L"ClipPrecision", lf.lfClipPrecision);
    writer->SetIntAttr(font, L"Quality", lf.lfQuality);
    writer->SetIntAttr(font, L"PitchAndFamily", lf.lfPitchAndFamily);
    // A font from anywhere may lack its terminator; never read past the face name.
    wchar_t face[LF_FACESIZE];
    StringCchCopyNW(face, LF_FACESIZE, lf.lfFaceName, LF_FACESIZE - 1);
    writer->SetStringAttr(font, L"FaceName", face);
}

void WritePlacementAttrs(CXmlWriter* writer, IXMLDOMElement* element,
                         const WINDOWPLACEMENT& placement)
{
    const RECT& r = placement.rcNormalPosition;
    writer->SetIntAttr(element, L"WindowState", (int)placement.showCmd);
    writer->SetIntAttr(element, L"Left", r.left);
    writer->SetIntAttr(element, L"Top", r.top);
    writer->SetIntAttr(element, L"Width", r.right - r.left);
    writer->SetIntAttr(element, L"Height", r.bottom - r.top);
}

void ReadDialogCorner(CXmlReader* reader, IXMLDOMElement* element, int* left, int* top)
{
    reader->GetIntAttr(element, L"Left", left);
    reader->GetIntAttr(element, L"Top", top);
}

void WriteDialogCorner(CXmlWriter* writer, IXMLDOMElement* element, int left, int top)
{
    writer->SetIntAttr(element, L"Left", left);
    writer->SetIntAttr(element, L"Top", top);
}
