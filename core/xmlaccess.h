// Settings files of both programs (workspace, grid definitions, utilities settings) are read and
// written through these two classes over the MSXML document object model. Each component reads and
// writes its own element; the element names and attribute keys are the components' business.
//
// Ownership: elements handed out by the getters and by AddElement/AddChildElement are counted
// references that the caller releases; tag names and strings handed out by the reader are malloc'd
// copies that the caller frees with free().
#pragma once
#include <windows.h>
#include <msxml2.h>

#include "core/xmlrefusal.h"

// Kinds of settings file, told apart by the comment that follows the XML declaration.
enum XmlFileKind {
    XmlFileUnknown = 0,
    XmlFileWorkspace = 1,       // "Zorna Workspace Settings"
    XmlFileGridDefinition = 2,  // "Zorna Grid Definition"
    XmlFileUtilities = 3,       // "Zorna DB Utilities Workspace Settings"
};

class CXmlReader {
public:
    // Loads the file; a missing, unreadable or refused file (core/xmlrefusal.h) gives a reader
    // whose lookups all find nothing, and Result says which.
    explicit CXmlReader(const wchar_t* path);
    ~CXmlReader();
    CXmlReader(const CXmlReader&) = delete;
    CXmlReader& operator=(const CXmlReader&) = delete;

    // The root's child element of that name; null when not loaded, not found or not an element.
    IXMLDOMElement* SelectElement(const wchar_t* name);
    // The same below a given element.
    IXMLDOMElement* SelectChildElement(IXMLDOMElement* parent, const wchar_t* name);

    // Walks the child elements of parent (of the root when parent is null) in document order.
    // Each call hands out the element and a malloc'd copy of its tag name (null when there is
    // none). NextSiblingElement releases the element passed in, in every case, so a loop holds one
    // reference at a time. The walk ends at the first child that is not an element.
    IXMLDOMElement* FirstChildElement(IXMLDOMElement* parent, wchar_t** tagName);
    IXMLDOMElement* NextSiblingElement(IXMLDOMElement* element, wchar_t** tagName);

    // Typed attribute getters: 1 when the attribute is present, 0 when absent. An absent
    // attribute, or a present one whose text does not convert, leaves the output as it was.
    int GetByteAttr(IXMLDOMElement* element, const wchar_t* name, BYTE* value);
    int GetShortAttr(IXMLDOMElement* element, const wchar_t* name, int* value);  // sign-extended
    int GetIntAttr(IXMLDOMElement* element, const wchar_t* name, int* value);
    // '.' always; the texts SetRealAttr writes read back as the very value written.
    int GetRealAttr(IXMLDOMElement* element, const wchar_t* name, double* value);
    // *value is set to null first; when present, a malloc'd copy of the text.
    int GetStringAttr(IXMLDOMElement* element, const wchar_t* name, wchar_t** value);
    // The buffer is emptied first; when present, at most size - 1 characters of the text.
    int GetStringAttrBuf(IXMLDOMElement* element, const wchar_t* name, wchar_t* buffer, int size);

    wchar_t* Path;
    IXMLDOMDocument* Document;
    IXMLDOMElement* Root;  // null when the file did not load or has no root
    int Loaded;            // -1 loaded, 0 not
    int Result;            // XmlReadResult

private:
    // The attribute's text as a BSTR (caller frees), null when absent.
    BSTR AttrText(IXMLDOMElement* element, const wchar_t* name);
};

// Builds a new settings file: declaration, a comment naming the kind of file, the root element
// and child elements indented by depth. Use in this order: constructor, AddComment, CreateRoot,
// elements and attributes, Save.
class CXmlWriter {
public:
    explicit CXmlWriter(const wchar_t* path);
    ~CXmlWriter();
    CXmlWriter(const CXmlWriter&) = delete;
    CXmlWriter& operator=(const CXmlWriter&) = delete;

    void AddComment(const wchar_t* text);
    void CreateRoot(const wchar_t* name);
    // A new element under the root (under parent), on a line of its own; null on failure.
    IXMLDOMElement* AddElement(const wchar_t* name);
    IXMLDOMElement* AddChildElement(IXMLDOMElement* parent, const wchar_t* name);

    // Setting a name again replaces its value; new attributes follow the order of the calls.
    void SetByteAttr(IXMLDOMElement* element, const wchar_t* name, BYTE value);
    void SetShortAttr(IXMLDOMElement* element, const wchar_t* name, int value);  // low 16 bits
    void SetIntAttr(IXMLDOMElement* element, const wchar_t* name, int value);
    // Four decimals ("0.3500") when they hold the value exactly, else as many digits as it takes
    // to read back the same double ("0.16666666666666666"); '.' whatever the locale.
    void SetRealAttr(IXMLDOMElement* element, const wchar_t* name, double value);
    void SetStringAttr(IXMLDOMElement* element, const wchar_t* name, const wchar_t* text);

    // Writes the document to Path; the result of the write (callers may ignore it).
    HRESULT Save();

    wchar_t* Path;
    IXMLDOMDocument* Document;
    IXMLDOMElement* Root;  // null until CreateRoot

private:
    void SetAttr(IXMLDOMElement* element, const wchar_t* name, const VARIANT& value);
    void AppendText(IXMLDOMNode* parent, const wchar_t* text);
};

// The kind of settings file at path (XmlFileKind), 0 when it is none of the three; *refusal (when
// given) is XmlReadDoctype or XmlReadTooLarge for a file refused unparsed, else XmlReadOk.
int GetXmlFileKind(const wchar_t* path, int* refusal = nullptr);
