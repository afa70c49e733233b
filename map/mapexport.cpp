#include "map/mapexport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <strsafe.h>

#include "core/blob.h"
#include "core/msgbox.h"
#include "core/replacefile.h"
#include "core/textutil.h"
#include "map/epswriter.h"
#include "map/expbmpdlg.h"
#include "map/gdirender.h"
#include "map/glbitmap.h"
#include "map/glrender.h"
#include "map/mappicture.h"
#include "map/mapunits.h"
#include "map/mapwnd.h"
#include "resources/zorna/resource.h"

namespace {

void FillCommon(CZMapWnd* map, HWND* mainWindow, HWND* legend, HWND* grids, int* gridLevel)
{
    *mainWindow = map->MainWindow();
    *legend = map->LegendList();
    *grids = map->GridCombo();
    *gridLevel = CZMapWnd::GetShownGridLevel(*legend, (int)SendMessageW(*legend, LVM_GETITEMCOUNT, 0, 0));
}

// What the GDI and PostScript drawings take alike from the card and the picture: one device unit
// per dot of the picture, its left edge at the extent's.
template <class Context>
void FillVectorContext(CZMapWnd* map, const MapPicture& picture, Context* ctx)
{
    FillCommon(map, &ctx->MainWindow, &ctx->Legend, &ctx->GridCombo, &ctx->GridLevel);
    ctx->Display = map->Display;
    ctx->UnitsPerPixel = picture.UnitsPerDot;
    ctx->CentreLat = picture.CentreLat;
    ctx->YFactor = picture.YFactor;
    ctx->PixelsPerMmX = picture.DotsPerMmX;
    ctx->PixelsPerMmY = picture.DotsPerMmY;
    ctx->XScale = ctx->YScale = 1.0 / picture.UnitsPerDot;
    ctx->Left = picture.Left;
    ctx->MapFolder = map->MapPath;
}

DWORD WriteBitmapPicture(CZMapWnd* map, HWND owner, const wchar_t* temp, int dpi)
{
    MapPicture picture = {};  // no picture at a resolution of 0 or below: refused by its size
    MapPictureOf(map, dpi, dpi, &picture);
    int w = 0, h = 0;
    if (!CheckPictureSize(owner, map->Instance, picture, kMaxGlBitmapSide, &w, &h))
        return ERROR_CANCELLED;
    GlBitmap target;
    if (!target.Create(nullptr, w, h))
        return ERROR_NOT_ENOUGH_MEMORY;
    {
        // The view's display lists stay the view's; this drawing makes and deletes its own.
        OffscreenLayers layers(map->LegendList());
        MapRenderContext ctx;
        FillPictureRenderContext(map, picture, target.Dc(), w, h, &ctx);
        RenderLegendGl(&ctx, 0);
        layers.End();
    }
    const void* bits = target.Pixels();  // the DIB section's, alive with the bitmap
    HBITMAP bitmap = target.Detach();
    BITMAPINFO* info = MakeBitmapInfo(bitmap);
    DWORD error = ERROR_NOT_ENOUGH_MEMORY;
    if (info) {
        info->bmiHeader.biXPelsPerMeter = info->bmiHeader.biYPelsPerMeter = (LONG)std::lround(dpi / 0.0254);
        error = WriteBmpFile(temp, info, bits);
        free(info);
    }
    DeleteObject(bitmap);
    return error;
}

DWORD WriteMetafilePicture(CZMapWnd* map, HWND owner, const wchar_t* temp, const wchar_t* title)
{
    HDC screen = GetDC(nullptr);
    const int dpiX = GetDeviceCaps(screen, LOGPIXELSX), dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    MapPicture picture = {};
    MapPictureOf(map, dpiX > 0 ? dpiX : 96, dpiY > 0 ? dpiY : 96, &picture);
    int w = 0, h = 0;
    if (!CheckPictureSize(owner, map->Instance, picture, kMaxVectorPictureSide, &w, &h)) {
        ReleaseDC(nullptr, screen);
        return ERROR_CANCELLED;
    }
    // "Zorna", NUL, the title, NUL, NUL: built with its lengths, as it holds NULs.
    std::wstring description = L"Zorna";
    description.push_back(L'\0');
    description += title ? title : L"";
    description.push_back(L'\0');
    description.push_back(L'\0');
    // The frame in hundredths of a millimetre, given: the automatic one overflows on large maps.
    RECT frame = {0, 0, TruncToInt32(w * 100.0 / picture.DotsPerMmX), TruncToInt32(h * 100.0 / picture.DotsPerMmY)};
    HDC dc = CreateEnhMetaFileW(screen, temp, &frame, description.c_str());
    ReleaseDC(nullptr, screen);
    if (!dc)
        return GetLastError() ? GetLastError() : ERROR_CANNOT_MAKE;
    MapGdiContext ctx;
    FillVectorContext(map, picture, &ctx);
    ctx.Dc = dc;
    ctx.Top = picture.Top;
    {
        OffscreenLayers layers(ctx.Legend);  // the runs are remade for the view afterwards
        RenderLegendGdi(&ctx);
    }
    HENHMETAFILE emf = CloseEnhMetaFile(dc);
    if (!emf)
        return GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
    DeleteEnhMetaFile(emf);
    return 0;
}

DWORD WriteEpsPicture(CZMapWnd* map, HWND owner, const wchar_t* temp, const wchar_t* title)
{
    MapPicture picture = {};
    MapPictureOf(map, 72, 72, &picture);
    int w = 0, h = 0;
    if (!CheckPictureSize(owner, map->Instance, picture, kMaxVectorPictureSide, &w, &h))
        return ERROR_CANCELLED;
    HANDLE out = CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return GetLastError() ? GetLastError() : ERROR_ACCESS_DENIED;
    char ansiTitle[1024];
    AnsiTitle(title, ansiTitle, sizeof ansiTitle);
    MapEpsContext ctx;
    FillVectorContext(map, picture, &ctx);
    ctx.Bottom = picture.Top - h * picture.UnitsPerDot;
    ctx.Creator = "Zorna";
    ctx.Title = ansiTitle;
    ctx.Out = out;
    bool written;
    {
        OffscreenLayers layers(ctx.Legend);
        written = WriteLegendEps(&ctx, w, h);
    }
    if (!CloseHandle(out) && written)
        return GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
    return written ? 0 : ERROR_DISK_FULL;
}

}  // namespace

void AnsiTitle(const wchar_t* title, char* text, int size)
{
    if (size <= 0)
        return;
    text[0] = 0;
    if (!title)
        return;
    int n = WideCharToMultiByte(CP_ACP, 0, title, -1, text, size, "?", nullptr);
    if (n <= 0)
        text[size - 1] = 0;  // cut at the buffer's end
    for (char* p = text; *p; ++p)
        if (*p == '\r' || *p == '\n')
            *p = ' ';
}

bool CheckPictureSize(HWND owner, HINSTANCE instance, const MapPicture& picture, int limit, int* width, int* height)
{
    const double w = std::floor(picture.Width), h = std::floor(picture.Height);
    *width = *height = 0;
    if (w >= 1 && h >= 1 && w <= limit && h <= limit) {
        *width = (int)w;
        *height = (int)h;
        return true;
    }
    wchar_t* format = LoadStringAlloc(instance, IDS_MAPPICTURE_SIZE);
    wchar_t* caption = LoadStringAlloc(instance, IDS_ERROR_CAPTION);
    wchar_t text[512];
    StringCchPrintfW(text, 512, format ? format : L"%.0f x %.0f (%d)", std::min(w, 1e15), std::min(h, 1e15), limit);
    ZorMessageBox(owner, text, caption ? caption : L"", MB_OK | MB_ICONERROR);
    free(format);
    free(caption);
    return false;
}

void FillPictureRenderContext(CZMapWnd* map, const MapPicture& picture, HDC dc, int w, int h, MapRenderContext* ctx)
{
    const double u = picture.UnitsPerDot;
    ctx->Dc = dc;
    FillCommon(map, &ctx->MainWindow, &ctx->Legend, &ctx->GridCombo, &ctx->GridLevel);
    ctx->Display = map->Display;
    ctx->UnitsPerPixel = u;
    ctx->CentreLat = picture.CentreLat;
    ctx->YFactor = picture.YFactor;
    ctx->PixelsPerMmX = picture.DotsPerMmX;
    ctx->PixelsPerMmY = picture.DotsPerMmY;
    ctx->Left = picture.Left;
    ctx->Right = picture.Left + w * u;
    ctx->Top = picture.Top;
    ctx->Bottom = picture.Top - h * u;
    ctx->Diagonal = std::sqrt((w * u) * (w * u) + (h * u) * (h * u) / (picture.YFactor * picture.YFactor));
    ctx->MapFolder = map->MapPath;
}

bool ExportMapPicture(CZMapWnd* map, HWND owner, const wchar_t* path, int type, const wchar_t* title, int dpi)
{
    if (!map || !path || type < MAP_PICTURE_BMP || type > MAP_PICTURE_EPS)
        return false;
    if (!map->HasExtent) {
        ZorMessageBoxRes(owner, map->Instance, IDS_MAPPICTURE_EMPTY, IDS_ERROR_CAPTION, MB_OK | MB_ICONERROR);
        return false;
    }
    DWORD error = 0;
    const std::wstring temp = CreateTempFileBeside(path, &error);
    if (temp.empty()) {
        ShowFileError(owner, map->Instance, IDS_MAPPICTURE_NOT_WRITTEN, path, error);
        return false;
    }
    UINT failure = IDS_MAPPICTURE_NOT_WRITTEN;
    switch (type) {
    case MAP_PICTURE_BMP:
        error = WriteBitmapPicture(map, owner, temp.c_str(), dpi);
        if (error == ERROR_NOT_ENOUGH_MEMORY)
            failure = IDS_MAPPICTURE_NO_BITMAP;
        break;
    case MAP_PICTURE_EMF: error = WriteMetafilePicture(map, owner, temp.c_str(), title); break;
    default: error = WriteEpsPicture(map, owner, temp.c_str(), title); break;
    }
    const bool refused = error == ERROR_CANCELLED;  // already told
    error = ReplaceWithTempFile(temp, path, error);
    if (error && !refused)
        ShowFileError(owner, map->Instance, failure, path, error);
    return error == 0;
}

void CZMapWnd::ExportPicture(HWND owner, const wchar_t* path, int type, const wchar_t* title)
{
    if (type < MAP_PICTURE_BMP || type > MAP_PICTURE_EPS)
        return;
    if (type == MAP_PICTURE_BMP) {
        if (!ExpBmpDlg)
            ExpBmpDlg = new CExpBmpDlg(Instance);
        // Storno asks once more: Yes gives the export up, No returns to the resolution.
        while (!ExpBmpDlg->Show(owner, DPI)) {
            if (ZorMessageBoxRes(owner, Instance, IDS_CANCEL_EXPORT, IDS_CONFIRM_CAPTION,
                                 MB_YESNO | MB_ICONQUESTION) == IDYES)
                return;
        }
        DPI = ExpBmpDlg->GetDpi();
    }
    ExportMapPicture(this, owner, path, type, title, DPI);
}
