// The About box: a picture, the product name, the version from the program's own version
// resource, a line of text and the credits, laid out around the picture when it opens.
// Both programs use it; they differ only in the credits string.
#pragma once
#include <windows.h>

// State of one opening of the box. The creation parameter's first field is the module whose
// resources (ABOUTBOX, BMP_ABOUT, the version resource and the credits) are used.
struct AboutBoxState {
    HINSTANCE Instance = nullptr;
    UINT CreditsId = 0;           // string-table id of the credits text
    HFONT ProductFont = nullptr;  // bold, enlarged font of the product name; deleted on close
    HBITMAP Picture = nullptr;    // BMP_ABOUT as set into the picture control; deleted on close
};

// Command "O aplikaci": runs ABOUTBOX modally over owner. Returns DialogBoxParamW's result.
INT_PTR ShowAboutBox(HWND owner, HINSTANCE instance, UINT creditsId);

// Dialog procedure of ABOUTBOX; lParam of WM_INITDIALOG is an AboutBoxState.
INT_PTR CALLBACK AboutDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);

// The four parts of the file version in the module's version resource (id 1): high and low
// word of the most significant half, then of the least significant half. False when the
// module has no readable version resource.
bool ReadModuleFileVersion(HINSTANCE module, WORD parts[4]);
