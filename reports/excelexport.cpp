// Excel export: the object's lifetime and its options in the workspace file.
#include "reports/excelexport.h"

#include <stdlib.h>

#include "core/containers.h"
#include "core/xmlaccess.h"
#include "reports/settingsxml.h"
#include "reports/textexport.h"

namespace {

const UINT kIdsRecordsExported = 802;  // "%d zápisů vyexportováno"

}  // namespace

CExcelExport::CExcelExport(HINSTANCE instance, HWND owner)
    : Instance(instance), Owner(owner), Left(EXPORT_DIALOG_UNPLACED), Top(0), ProgressFormat(),
      Worker(nullptr), ProposedSheet(nullptr), Sheets(new CPtrArray(PTRARRAY_OWNS_ITEMS, 16, 4)),
      Recordset(nullptr), RowCount(0), Append(1), FileExists(0), StopFlag(0),
      ProgressDlg(nullptr), FileName(nullptr), SheetName(nullptr), DispFields(nullptr), Rows(nullptr),
      Progress(nullptr), SheetsStatus(0), SheetsError(S_OK)
{
    LoadStringW(instance, kIdsRecordsExported, ProgressFormat, 32);
}

CExcelExport::~CExcelExport()
{
    free(SheetName);
    SheetName = nullptr;
    delete Sheets;  // frees the names it holds
    Sheets = nullptr;
}

void CExcelExport::SaveSettings(CXmlWriter* writer)
{
    if (!writer)
        return;
    IXMLDOMElement* element = writer->AddElement(EXCELEXPORT_SETTINGS_ELEMENT);
    if (!element)
        return;
    WriteDialogCorner(writer, element, Left, Top);
    element->Release();
}

void CExcelExport::LoadSettings(CXmlReader* reader)
{
    if (!reader)
        return;
    IXMLDOMElement* element = reader->SelectElement(EXCELEXPORT_SETTINGS_ELEMENT);
    if (!element)
        return;
    ReadDialogCorner(reader, element, &Left, &Top);
    element->Release();
}
