// XML access layer over the MSXML DOM: settings files are small, so the whole document is loaded
// or built in memory and written in one go.
#include "core/xmlaccess.h"
#include <oleauto.h>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "core/longpath.h"

namespace {

// MSXML 6 is the parser of choice; where it is not installed the version-independent DOMDocument
// of MSXML 3 reads and writes the same files.
const CLSID kClsidDomDocument60 = {
    0x88d96a05, 0xf192, 0x11d4, { 0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5 } };
const CLSID kClsidDomDocument30 = {
    0x2933bf90, 0x7b36, 0x11d2, { 0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60 } };

// Attribute values are stored in one fixed number format, whoever's machine wrote them.
const LCID kInvariantLocale = 0x7F;

IXMLDOMDocument* CreateDocument()
{
    IXMLDOMDocument* doc = nullptr;
    if (FAILED(CoCreateInstance(kClsidDomDocument60, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IXMLDOMDocument, reinterpret_cast<void**>(&doc)))) {
        doc = nullptr;
        if (FAILED(CoCreateInstance(kClsidDomDocument30, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IXMLDOMDocument, reinterpret_cast<void**>(&doc))))
            doc = nullptr;
    }
    if (doc)
        doc->put_async(VARIANT_FALSE);  // load returns only when the file is read
    return doc;
}

wchar_t* DupWide(const wchar_t* text)
{
    if (!text)
        text = L"";
    size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    wchar_t* copy = static_cast<wchar_t*>(malloc(bytes));
    memcpy(copy, text, bytes);
    return copy;
}

// A BSTR that frees itself: the DOM wants BSTR arguments everywhere.
class Bstr {
public:
    explicit Bstr(const wchar_t* text) : b_(SysAllocString(text ? text : L"")) {}
    ~Bstr() { SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    operator BSTR() const { return b_; }

private:
    BSTR b_;
};

// Loads path into doc (XmlReadResult). The file is read here and handed to the DOM as a stream
// (the DOM does not take long paths), after the check of what it may parse.
int LoadFile(IXMLDOMDocument* doc, const wchar_t* path)
{
    std::string bytes;
    // A byte beyond the limit tells a file too large without reading the rest of it.
    if (!ReadFileHead(path, kSettingsFileLimit + 1, &bytes))
        return XmlReadMissing;
    int refusal = CheckSettingsBytes(bytes);
    if (refusal != XmlReadOk)
        return refusal;
    IStream* stream = nullptr;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size() + 1);
    if (memory) {
        memcpy(GlobalLock(memory), bytes.data(), bytes.size());
        GlobalUnlock(memory);
        ULARGE_INTEGER size;
        size.QuadPart = bytes.size();
        if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream)))
            GlobalFree(memory);
        else
            stream->SetSize(size);  // the block may be larger than the file
    }
    if (!stream)
        return XmlReadMissing;
    VARIANT source;
    VariantInit(&source);
    V_VT(&source) = VT_UNKNOWN;
    V_UNKNOWN(&source) = stream;
    VARIANT_BOOL ok = VARIANT_FALSE;
    if (FAILED(doc->load(source, &ok)))
        ok = VARIANT_FALSE;
    VariantClear(&source);
    return ok ? XmlReadOk : XmlReadDamaged;
}

// Whether the first bytes of the file can start a settings file of these programs: its leading
// comment stands right after the declaration. Anything else (a picture, a huge file of some
// other kind) is told apart without being parsed whole.
bool MayBeSettingsFile(const wchar_t* path)
{
    std::string head;
    if (!ReadFileHead(path, 64 * 1024, &head))
        return false;
    static const char kMark[] = "<!--Zorna ";
    if (head.find(kMark) != std::string::npos)
        return true;
    std::string wide;
    for (const char* c = kMark; *c; ++c) {
        wide += *c;
        wide += '\0';
    }
    return head.find(wide) != std::string::npos;
}

// The node as an element (a new reference), null when it is none; releases the node.
IXMLDOMElement* TakeElement(IXMLDOMNode* node)
{
    if (!node)
        return nullptr;
    IXMLDOMElement* element = nullptr;
    DOMNodeType type = NODE_INVALID;
    if (SUCCEEDED(node->get_nodeType(&type)) && type == NODE_ELEMENT) {
        if (FAILED(node->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(&element))))
            element = nullptr;
    }
    node->Release();
    return element;
}

// A malloc'd copy of the element's tag name, null when there is no element.
wchar_t* TagNameOf(IXMLDOMElement* element)
{
    if (!element)
        return nullptr;
    BSTR name = nullptr;
    if (FAILED(element->get_tagName(&name)))
        name = nullptr;
    wchar_t* copy = DupWide(name);
    SysFreeString(name);
    return copy;
}

IXMLDOMElement* SelectBelow(IXMLDOMNode* parent, const wchar_t* name)
{
    if (!parent)
        return nullptr;
    IXMLDOMNode* node = nullptr;
    Bstr query(name);
    if (parent->selectSingleNode(query, &node) != S_OK)
        return nullptr;
    return TakeElement(node);
}

// A real written out in plain ASCII ('.' as decimal point whatever locale the process runs in).
// Read back it is the same double: four decimals, as the files have always held them, when they
// give it exactly; otherwise as many more decimals as it takes, and the shortest exponent form
// for what no fixed form of a sensible length gives.
const int kLongestFixedReal = 40;

size_t RealText(double value, char* text, size_t size)
{
    for (int decimals = 4; decimals <= 17; ++decimals) {
        std::to_chars_result r = std::to_chars(text, text + size - 1, value, std::chars_format::fixed, decimals);
        if (r.ec != std::errc() || r.ptr - text > kLongestFixedReal)
            break;
        double back = 0;
        std::from_chars_result b = std::from_chars(text, r.ptr, back);
        if (b.ec == std::errc() && b.ptr == r.ptr && back == value) {
            *r.ptr = '\0';
            return (size_t)(r.ptr - text);
        }
    }
    std::to_chars_result r = std::to_chars(text, text + size - 1, value);
    if (r.ec != std::errc())
        r.ptr = text;
    *r.ptr = '\0';
    return (size_t)(r.ptr - text);
}

void FormatReal(double value, wchar_t* out, size_t size)
{
    char text[400];
    RealText(value, text, sizeof(text));
    size_t i = 0;
    for (; text[i] && i + 1 < size; ++i)
        out[i] = static_cast<unsigned char>(text[i]);
    out[i] = L'\0';
}

// A real in an attribute's text as this layer writes it, read exactly; other forms (blanks
// around it, grouping) as the invariant locale reads them, as files have always been read.
HRESULT WINAPI ReadReal(LPCOLESTR text, LCID locale, ULONG flags, double* value)
{
    char plain[64];
    size_t n = 0;
    for (; text[n] && n < sizeof(plain); ++n) {
        if (text[n] > 0x7F)
            break;
        plain[n] = static_cast<char>(text[n]);
    }
    double read = 0;
    if (n > 0 && n < sizeof(plain) && !text[n] && plain[0] != '+') {
        std::from_chars_result r = std::from_chars(plain, plain + n, read);
        if (r.ec == std::errc() && r.ptr == plain + n && std::isfinite(read)) {
            *value = read;
            return S_OK;
        }
    }
    return VarR8FromStr(const_cast<LPOLESTR>(text), locale, flags, value);
}

// The depth of a node below the root element: 0 for the root, 1 for its children, and so on.
int DepthOf(IXMLDOMNode* node)
{
    int depth = 0;
    IXMLDOMNode* current = nullptr;
    if (FAILED(node->get_parentNode(&current)))
        current = nullptr;
    while (current) {
        IXMLDOMNode* up = nullptr;
        if (FAILED(current->get_parentNode(&up)))
            up = nullptr;
        current->Release();
        current = up;
        if (current)
            ++depth;
    }
    return depth;
}

// The number in an attribute's text (taken over and freed), read in the invariant locale: 1
// when the attribute is there (value set only when the text converts), 0 when it is missing.
template <class Text, class T, class Out>
int ConvertAttr(BSTR text, HRESULT(WINAPI* convert)(Text, LCID, ULONG, T*), Out* value)
{
    if (!text)
        return 0;
    T result;
    if (SUCCEEDED(convert(text, kInvariantLocale, LOCALE_NOUSEROVERRIDE, &result)))
        *value = result;
    SysFreeString(text);
    return 1;
}

}  // namespace

// ---- Reader ----------------------------------------------------------------------------------

CXmlReader::CXmlReader(const wchar_t* path)
    : Path(DupWide(path)), Document(CreateDocument()), Root(nullptr), Loaded(0), Result(XmlReadMissing)
{
    if (!Document)
        return;
    Result = LoadFile(Document, Path);
    Loaded = Result == XmlReadOk ? -1 : 0;
    if (Loaded && FAILED(Document->get_documentElement(&Root)))
        Root = nullptr;
}

CXmlReader::~CXmlReader()
{
    if (Root)
        Root->Release();
    if (Document)
        Document->Release();
    free(Path);
}

IXMLDOMElement* CXmlReader::SelectElement(const wchar_t* name)
{
    if (!Loaded)
        return nullptr;
    return SelectBelow(Root, name);
}

IXMLDOMElement* CXmlReader::SelectChildElement(IXMLDOMElement* parent, const wchar_t* name)
{
    if (!Loaded)
        return nullptr;
    return SelectBelow(parent, name);
}

IXMLDOMElement* CXmlReader::FirstChildElement(IXMLDOMElement* parent, wchar_t** tagName)
{
    if (tagName)
        *tagName = nullptr;
    if (!parent)
        parent = Root;
    if (!parent)
        return nullptr;
    IXMLDOMNode* child = nullptr;
    if (parent->get_firstChild(&child) != S_OK)
        child = nullptr;
    IXMLDOMElement* element = TakeElement(child);
    if (element && tagName)
        *tagName = TagNameOf(element);
    return element;
}

IXMLDOMElement* CXmlReader::NextSiblingElement(IXMLDOMElement* element, wchar_t** tagName)
{
    if (tagName)
        *tagName = nullptr;
    if (!element)
        return nullptr;
    IXMLDOMNode* sibling = nullptr;
    if (element->get_nextSibling(&sibling) != S_OK)
        sibling = nullptr;
    element->Release();
    IXMLDOMElement* next = TakeElement(sibling);
    if (next && tagName)
        *tagName = TagNameOf(next);
    return next;
}

BSTR CXmlReader::AttrText(IXMLDOMElement* element, const wchar_t* name)
{
    if (!element)
        return nullptr;
    VARIANT value;
    VariantInit(&value);
    Bstr key(name);
    if (element->getAttribute(key, &value) == S_OK && V_VT(&value) == VT_BSTR)
        return V_BSTR(&value);  // handed over to the caller
    VariantClear(&value);
    return nullptr;
}

int CXmlReader::GetByteAttr(IXMLDOMElement* element, const wchar_t* name, BYTE* value)
{
    return ConvertAttr(AttrText(element, name), VarUI1FromStr, value);
}

int CXmlReader::GetShortAttr(IXMLDOMElement* element, const wchar_t* name, int* value)
{
    return ConvertAttr(AttrText(element, name), VarI2FromStr, value);
}

int CXmlReader::GetIntAttr(IXMLDOMElement* element, const wchar_t* name, int* value)
{
    return ConvertAttr(AttrText(element, name), VarI4FromStr, value);
}

int CXmlReader::GetRealAttr(IXMLDOMElement* element, const wchar_t* name, double* value)
{
    return ConvertAttr(AttrText(element, name), ReadReal, value);
}

int CXmlReader::GetStringAttr(IXMLDOMElement* element, const wchar_t* name, wchar_t** value)
{
    *value = nullptr;
    BSTR text = AttrText(element, name);
    if (!text)
        return 0;
    *value = DupWide(text);
    SysFreeString(text);
    return 1;
}

int CXmlReader::GetStringAttrBuf(IXMLDOMElement* element, const wchar_t* name, wchar_t* buffer,
                                 int size)
{
    if (size > 0)
        buffer[0] = L'\0';
    BSTR text = AttrText(element, name);
    if (!text)
        return 0;
    if (size > 0) {
        size_t count = wcslen(text);
        if (count > static_cast<size_t>(size - 1))
            count = static_cast<size_t>(size - 1);
        memcpy(buffer, text, count * sizeof(wchar_t));
        buffer[count] = L'\0';
    }
    SysFreeString(text);
    return 1;
}

// ---- Writer ----------------------------------------------------------------------------------

CXmlWriter::CXmlWriter(const wchar_t* path)
    : Path(DupWide(path)), Document(CreateDocument()), Root(nullptr)
{
    if (!Document)
        return;
    // The declaration names no encoding, so the file is written as UTF-8.
    IXMLDOMProcessingInstruction* declaration = nullptr;
    Bstr target(L"xml");
    Bstr data(L"version=\"1.0\"");
    if (SUCCEEDED(Document->createProcessingInstruction(target, data, &declaration)) &&
        declaration) {
        Document->appendChild(declaration, nullptr);
        declaration->Release();
    }
}

CXmlWriter::~CXmlWriter()
{
    if (Root)
        Root->Release();
    if (Document)
        Document->Release();
    free(Path);
}

void CXmlWriter::AddComment(const wchar_t* text)
{
    if (!Document)
        return;
    IXMLDOMComment* comment = nullptr;
    Bstr data(text);
    if (SUCCEEDED(Document->createComment(data, &comment)) && comment) {
        Document->appendChild(comment, nullptr);
        comment->Release();
    }
}

void CXmlWriter::CreateRoot(const wchar_t* name)
{
    if (!Document)
        return;
    if (Root) {
        Root->Release();
        Root = nullptr;
    }
    Bstr tag(name);
    if (FAILED(Document->createElement(tag, &Root)) || !Root) {
        Root = nullptr;
        return;
    }
    Document->appendChild(Root, nullptr);
}

void CXmlWriter::AppendText(IXMLDOMNode* parent, const wchar_t* text)
{
    IXMLDOMText* node = nullptr;
    Bstr data(text);
    if (SUCCEEDED(Document->createTextNode(data, &node)) && node) {
        parent->appendChild(node, nullptr);
        node->Release();
    }
}

IXMLDOMElement* CXmlWriter::AddElement(const wchar_t* name)
{
    return AddChildElement(Root, name);
}

IXMLDOMElement* CXmlWriter::AddChildElement(IXMLDOMElement* parent, const wchar_t* name)
{
    if (!Document || !parent)
        return nullptr;
    // Every child stands on a line of its own, one tab deeper than its parent, and the parent's
    // closing tag goes on a line indented by the parent's depth.
    int depth = DepthOf(parent);
    VARIANT_BOOL hasChildren = VARIANT_FALSE;
    if (FAILED(parent->hasChildNodes(&hasChildren)))
        hasChildren = VARIANT_FALSE;
    if (!hasChildren) {
        AppendText(parent, L"\r\n");
        for (int i = 0; i < depth; ++i)
            AppendText(parent, L"\t");
    }
    AppendText(parent, L"\t");
    IXMLDOMElement* element = nullptr;
    Bstr tag(name);
    if (FAILED(Document->createElement(tag, &element)) || !element)
        return nullptr;
    if (FAILED(parent->appendChild(element, nullptr))) {
        element->Release();
        return nullptr;
    }
    AppendText(parent, L"\r\n");
    for (int i = 0; i < depth; ++i)
        AppendText(parent, L"\t");
    return element;
}

void CXmlWriter::SetAttr(IXMLDOMElement* element, const wchar_t* name, const VARIANT& value)
{
    if (!Document || !element)
        return;
    IXMLDOMAttribute* attribute = nullptr;
    Bstr key(name);
    if (FAILED(Document->createAttribute(key, &attribute)) || !attribute)
        return;
    if (SUCCEEDED(attribute->put_value(value))) {
        IXMLDOMAttribute* replaced = nullptr;
        if (SUCCEEDED(element->setAttributeNode(attribute, &replaced)) && replaced)
            replaced->Release();
    }
    attribute->Release();
}

void CXmlWriter::SetByteAttr(IXMLDOMElement* element, const wchar_t* name, BYTE value)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_UI1;
    V_UI1(&v) = value;
    SetAttr(element, name, v);
}

void CXmlWriter::SetShortAttr(IXMLDOMElement* element, const wchar_t* name, int value)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I2;
    V_I2(&v) = static_cast<SHORT>(value & 0xFFFF);
    SetAttr(element, name, v);
}

void CXmlWriter::SetIntAttr(IXMLDOMElement* element, const wchar_t* name, int value)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    SetAttr(element, name, v);
}

void CXmlWriter::SetRealAttr(IXMLDOMElement* element, const wchar_t* name, double value)
{
    wchar_t text[400];
    FormatReal(value, text, sizeof(text) / sizeof(text[0]));
    SetStringAttr(element, name, text);
}

void CXmlWriter::SetStringAttr(IXMLDOMElement* element, const wchar_t* name, const wchar_t* text)
{
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(text ? text : L"");
    SetAttr(element, name, v);
    VariantClear(&v);
}

HRESULT CXmlWriter::Save()
{
    if (!Document)
        return E_FAIL;
    // The document is written to memory, then to the file whole or not at all, so a full disk
    // never leaves a settings file cut short.
    IStream* stream = nullptr;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    VARIANT into;
    VariantInit(&into);
    if (SUCCEEDED(hr)) {
        V_VT(&into) = VT_UNKNOWN;
        V_UNKNOWN(&into) = stream;
        hr = Document->save(into);
    }
    HGLOBAL memory = nullptr;
    STATSTG stat = {};
    if (SUCCEEDED(hr) && SUCCEEDED(GetHGlobalFromStream(stream, &memory))
        && SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME))) {
        bool written = WriteWholeFile(Path, GlobalLock(memory), (size_t)stat.cbSize.QuadPart);
        GlobalUnlock(memory);
        if (!written)
            hr = E_FAIL;
    } else if (SUCCEEDED(hr)) {
        hr = E_FAIL;
    }
    VariantClear(&into);
    return hr;
}

// ---- File kind -------------------------------------------------------------------------------

int GetXmlFileKind(const wchar_t* path, int* refusal)
{
    static const struct {
        const wchar_t* xml;
        int kind;
    } kinds[] = {
        { L"<!--Zorna Workspace Settings-->", XmlFileWorkspace },
        { L"<!--Zorna Grid Definition-->", XmlFileGridDefinition },
        { L"<!--Zorna DB Utilities Workspace Settings-->", XmlFileUtilities },
    };
    if (refusal)
        *refusal = XmlReadOk;
    if (!MayBeSettingsFile(path))
        return XmlFileUnknown;
    IXMLDOMDocument* doc = CreateDocument();
    if (!doc)
        return XmlFileUnknown;
    int kind = XmlFileUnknown;
    int read = LoadFile(doc, path);
    if (refusal && (read == XmlReadDoctype || read == XmlReadTooLarge))
        *refusal = read;
    if (read == XmlReadOk) {
        // The comment that names the kind follows the declaration: the second top-level node.
        IXMLDOMNode* first = nullptr;
        IXMLDOMNode* second = nullptr;
        if (doc->get_firstChild(&first) == S_OK && first) {
            if (first->get_nextSibling(&second) == S_OK && second) {
                BSTR xml = nullptr;
                if (SUCCEEDED(second->get_xml(&xml)) && xml) {
                    for (const auto& k : kinds) {
                        if (wcscmp(xml, k.xml) == 0) {
                            kind = k.kind;
                            break;
                        }
                    }
                }
                SysFreeString(xml);
                second->Release();
            }
            first->Release();
        }
    }
    doc->Release();
    return kind;
}
