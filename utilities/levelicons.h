// The icon files of the level page: a level's three icons (large 32 x 32, small and open
// 16 x 16) are stored images kept in the level's row; the page loads them from ICO, BMP and PNG
// files and saves them back to files.
#pragma once
#include <windows.h>
#include <oleauto.h>

// Reads the whole file into *icon when it decodes into a picture of size x size; false (icon
// untouched) when the file cannot be read or does not decode.
bool LoadIconFile(const wchar_t* path, int size, VARIANT* icon);

// Writes a stored icon to the file, whole or not at all: a typed DIB as a .bmp file with its file
// header, any other typed form as the bytes after its tag, a raw file as it is. 0, or the
// system's error code when the icon holds no bytes or the file cannot be written.
DWORD SaveIconFile(const VARIANT* icon, const wchar_t* path);

// The default extension of an icon's file: "ico", "bmp", "png", or null for any other picture.
const wchar_t* IconFileExtension(const VARIANT* icon);
