// Text export: the object's lifetime and its options in the workspace file.
#include "reports/textexport.h"

#include <strsafe.h>

#include "core/xmlaccess.h"
#include "reports/settingsxml.h"

namespace {

const UINT kIdsRecordsExported = 802;  // "%d zápisů vyexportováno"

}  // namespace

CTextExport::CTextExport(HINSTANCE instance, HWND owner)
    : Instance(instance), Owner(owner), Left(EXPORT_DIALOG_UNPLACED), Top(0), ProgressFormat(),
      Worker(nullptr), Recordset(nullptr), RowCount(0), Encoding(TEXTEXPORT_ANSI), Delimiter(),
      StopFlag(0), ProgressDlg(nullptr), FileName(nullptr), DispFields(nullptr), Rows(nullptr),
      Progress(nullptr)
{
    Delimiter[0] = L'\t';
    LoadStringW(instance, kIdsRecordsExported, ProgressFormat, 32);
}

CTextExport::~CTextExport()
{
    // Nothing is owned: the recordset, the file name and the fields are the caller's.
}

bool IsUsableDelimiter(const wchar_t* delimiter)
{
    return delimiter && *delimiter && !wcspbrk(delimiter, L"\"\r\n");
}

void CTextExport::SaveSettings(CXmlWriter* writer)
{
    if (!writer)
        return;
    IXMLDOMElement* element = writer->AddElement(TEXTEXPORT_SETTINGS_ELEMENT);
    if (!element)
        return;
    const wchar_t* delimiter = Delimiter;
    if (wcscmp(Delimiter, L"\t") == 0)
        delimiter = L"Tab";
    else if (wcscmp(Delimiter, L" ") == 0)
        delimiter = L"Space";
    writer->SetStringAttr(element, L"Delimiter", delimiter);
    writer->SetIntAttr(element, L"Encoding", Encoding);
    WriteDialogCorner(writer, element, Left, Top);
    element->Release();
}

void CTextExport::LoadSettings(CXmlReader* reader)
{
    if (!reader)
        return;
    IXMLDOMElement* element = reader->SelectElement(TEXTEXPORT_SETTINGS_ELEMENT);
    if (!element)
        return;
    wchar_t text[16];
    if (reader->GetStringAttrBuf(element, L"Delimiter", text, 16)) {
        if (wcscmp(text, L"Tab") == 0)
            StringCchCopyW(Delimiter, 16, L"\t");
        else if (wcscmp(text, L"Space") == 0)
            StringCchCopyW(Delimiter, 16, L" ");
        else if (IsUsableDelimiter(text))
            StringCchCopyW(Delimiter, 16, text);
    }
    int encoding = Encoding;
    if (reader->GetIntAttr(element, L"Encoding", &encoding) &&
        (encoding == TEXTEXPORT_ANSI || encoding == TEXTEXPORT_UNICODE))
        Encoding = encoding;
    ReadDialogCorner(reader, element, &Left, &Top);
    element->Release();
}
