// Grid records in the workspace file: one element per grid below Grids.
#include "map/griddef.h"

#include <strsafe.h>

#include <algorithm>
#include <cmath>

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

// The name and the eight values, in the stored order.
void WriteGridAttrs(CXmlWriter* writer, IXMLDOMElement* element, const GridDef* grid)
{
    // A record from anywhere may lack its terminator; never read past the name field.
    wchar_t name[GRIDDEF_NAME_SIZE];
    StringCchCopyNW(name, GRIDDEF_NAME_SIZE, grid->Name, GRIDDEF_NAME_SIZE - 1);
    writer->SetStringAttr(element, L"Name", name);
    for (const GridAttr& attr : kGridAttrs)
        writer->SetRealAttr(element, attr.name, grid->*attr.field);
}

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
    WriteGridAttrs(writer, element, grid);
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

double GridCellSize(const GridDef* grid, int fine, double* sx, double* sy)
{
    if (!grid)
        return 0;
    *sx = fine ? grid->LonFineStep : grid->LonCoarseStep;
    *sy = fine ? grid->LatFineStep : grid->LatCoarseStep;
    if (std::fabs(*sx) < 1e-7 || std::fabs(*sy) < 1e-7)
        return 0;
    return 0.8 * (*sx > *sy ? *sy : *sx);
}

void GridCellOf(const GridDef* grid, double sx, double sy, double centreLat, double yFactor, double x, double y,
                double* column, double* row)
{
    const double f = yFactor != 0 ? yFactor : 1.0;
    // Truncated toward zero: a point just west or south of the grid falls into the first cell.
    *column = std::trunc((x - grid->LonMin) / sx);
    *row = std::trunc((centreLat + f * (y - centreLat) - grid->LatMin) / sy);
}

void GridCellPlace(const GridDef* grid, double sx, double sy, double centreLat, double yFactor, double column,
                   double row, double* x, double* y, double* cell)
{
    const double f = yFactor != 0 ? yFactor : 1.0;
    *x = grid->LonMin + sx * (column + 0.5);
    *y = centreLat + (sy * (row + 0.5) + grid->LatMin - centreLat) / f;
    if (cell) {
        cell[0] = sx * column + grid->LonMin;
        cell[1] = centreLat + (sy * row + grid->LatMin - centreLat) / f;
        cell[2] = sx * (column + 1) + grid->LonMin;
        cell[3] = centreLat + (sy * (row + 1) + grid->LatMin - centreLat) / f;
    }
}

double SnapToGridCell(const GridDef* grid, double centreLat, double yFactor, double* x, double* y, int fine,
                      double* cell)
{
    double sx = 0, sy = 0;
    const double size = GridCellSize(grid, fine, &sx, &sy);
    if (size == 0)
        return 0;  // no such cells: the point stays
    double column = 0, row = 0;
    GridCellOf(grid, sx, sy, centreLat, yFactor, *x, *y, &column, &row);
    GridCellPlace(grid, sx, sy, centreLat, yFactor, column, row, x, y, cell);
    return size;
}

long long GridStepCount(double lo, double hi, double step, long long limit)
{
    if (step == 0)
        return 0;
    const double q = (hi - lo) / step;
    if (!std::isfinite(q))
        return limit + 1;
    const double n = std::floor(q + 1e-9 * std::max(1.0, std::fabs(q)));
    if (n < 0)
        return -1;
    return n > (double)limit ? limit + 1 : (long long)n;
}

int WriteGridDefFile(const wchar_t* path, const GridDef* grid, DWORD* error)
{
    if (error)
        *error = 0;
    // The system says why a file cannot be written; the XML save only says that it failed.
    HANDLE probe = CreateFileW(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
        if (error)
            *error = GetLastError();
        return 0;
    }
    CloseHandle(probe);
    CXmlWriter writer(path);
    writer.AddComment(L"Zorna Grid Definition");
    writer.CreateRoot(L"GridDef");
    IXMLDOMElement* element = writer.AddElement(L"Grid");
    if (element) {
        WriteGridAttrs(&writer, element, grid);
        element->Release();
    }
    HRESULT hr = element ? writer.Save() : E_FAIL;
    if (FAILED(hr)) {
        if (error)
            *error = HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : (DWORD)hr;
        return 0;
    }
    return 1;
}

int ReadGridDefFile(const wchar_t* path, GridDef* grid, int* refusal)
{
    if (GetXmlFileKind(path, refusal) != XmlFileGridDefinition)
        return 0;
    CXmlReader reader(path);
    IXMLDOMElement* element = reader.SelectElement(L"Grid");
    if (!element)
        return -1;
    ZeroMemory(grid, sizeof *grid);
    ReadGridElement(&reader, element, grid);
    element->Release();
    return 1;
}

double GridValueShown(double degrees)
{
    if (!std::isfinite(degrees) || std::fabs(degrees) > 1e6)
        return degrees;
    // Half a unit of the fourth decimal, and a margin for the binary value of the decimal one.
    const double fourth = degrees * 1e4;
    if (std::fabs(fourth - std::round(fourth)) > 1e-6)
        return degrees;
    const double second = std::round(degrees * 3600) / 3600;
    return std::fabs(degrees - second) <= 0.00005 + 1e-12 ? second : degrees;
}
