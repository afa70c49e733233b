// Pieces of settings elements in the workspace file that several windows store alike: a
// LOGFONT as the attributes of a Font element, and a dialog's Left/Top corner.
#pragma once

#include <windows.h>
#include <msxml2.h>

class CXmlReader;
class CXmlWriter;

// Replaces *value with the attribute's value when the attribute is present.
void ReadLongAttr(CXmlReader* reader, IXMLDOMElement* element, const wchar_t* name, LONG* value);

// Reads the font's attributes into *lf; a missing attribute keeps its part of *lf.
void ReadLogFontAttrs(CXmlReader* reader, IXMLDOMElement* font, LOGFONTW* lf);
void WriteLogFontAttrs(CXmlWriter* writer, IXMLDOMElement* font, const LOGFONTW& lf);

// A window's state and its normal rectangle as WindowState, Left, Top, Width and Height.
void WritePlacementAttrs(CXmlWriter* writer, IXMLDOMElement* element,
                         const WINDOWPLACEMENT& placement);

// The Left and Top attributes of a dialog that remembers where it stood.
void ReadDialogCorner(CXmlReader* reader, IXMLDOMElement* element, int* left, int* top);
void WriteDialogCorner(CXmlWriter* writer, IXMLDOMElement* element, int left, int top);
