// The map picture export: a card's map written whole at its scale as a Windows bitmap (drawn
// with OpenGL at a chosen resolution), an enhanced metafile (GDI at the screen's resolution) or
// Encapsulated PostScript (72 points per inch). Each is written to a temporary file beside the
// target, which it replaces only when everything was written; every failure shows a Czech error
// with the system's reason and leaves the old file as it was.
#pragma once
#include <windows.h>

class CZMapWnd;
struct MapPicture;
struct MapRenderContext;

enum MapPictureType
{
    MAP_PICTURE_BMP = 1,
    MAP_PICTURE_EMF = 2,
    MAP_PICTURE_EPS = 3,
};

// The largest bitmap side (the OpenGL bitmap's limit), and the largest metafile or PostScript
// side in device units.
const int kMaxVectorPictureSide = 10000000;

// Writes the picture; dpi is used for bitmaps only. True when the file was written. Any other
// type does nothing (false). owner parents the error boxes.
bool ExportMapPicture(CZMapWnd* map, HWND owner, const wchar_t* path, int type, const wchar_t* title, int dpi);

// The whole-extent size of the picture in device units, checked against the limit: false (and
// the error shown) when a side is below 1 or above the limit, before anything is allocated.
bool CheckPictureSize(HWND owner, HINSTANCE instance, const MapPicture& picture, int limit, int* width, int* height);

// The OpenGL drawing's parameters for a w x h part of the picture from its left top corner.
void FillPictureRenderContext(CZMapWnd* map, const MapPicture& picture, HDC dc, int w, int h, MapRenderContext* ctx);

// The title in the ANSI code page on one line (line breaks become blanks).
void AnsiTitle(const wchar_t* title, char* text, int size);
