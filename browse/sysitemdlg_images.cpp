// The icons page (EDITICONSDLG: the item's large, small and open-folder icons) and the pictures
// page (EDITIMGSDLG: its pictures with a note each; the first is the default) of the tree item
// dialog. Both change the record at once; images are kept byte for byte as read from the files
// the user picks and decoded only to be shown.
#include "browse/sysitemdlg.h"

#include <stdio.h>
#include <stdlib.h>
#include <strsafe.h>

#include "common/filechooser.h"
#include "core/blob.h"
#include "core/ctlfill.h"
#include "core/itemrecords.h"
#include "core/msgbox.h"
#include "core/msgboxtext.h"
#include "core/storedimage.h"
#include "resources/imagefile_ids.h"
#include "resources/zorna/resource.h"

namespace {

const int kIconSizes[3] = {32, 16, 16};   // large, small, open folder
const int kPictureWidthUnits = 120;       // the picture's client area in dialog units
const int kPictureHeightUnits = 90;
const int kFilterLength = 160;
const int kFileNameLength = 512;

VARIANT* IconOfRecord(TreeItemRecord* r, int icon)
{
    switch (icon) {
    case 0: return &r->IconLarge;
    case 1: return &r->IconSmall;
    default: return &r->IconOpen;
    }
}

// Gives a static a client area of the size, its border kept around it.
void SetClientSize(HWND control, int width, int height)
{
    RECT window, client;
    GetWindowRect(control, &window);
    GetClientRect(control, &client);
    int borderX = (window.right - window.left) - client.right;
    int borderY = (window.bottom - window.top) - client.bottom;
    SetWindowPos(control, nullptr, 0, 0, width + borderX, height + borderY,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Sets a bitmap into a static; the static's previous bitmap is returned. A static of the
// version 6 controls may keep a copy of what it is given (32-bit bitmaps with alpha): then the
// copy is what it returns later.
HBITMAP SetStaticBitmap(HWND control, HBITMAP bitmap)
{
    return (HBITMAP)SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, (LPARAM)bitmap);
}

// The filter of a file dialog: a string whose parts are separated by 0x01.
void LoadFilter(HINSTANCE instance, UINT id, wchar_t* filter)
{
    int n = LoadStringW(instance, id, filter, kFilterLength - 1);
    for (int i = 0; i < n; ++i)
        if (filter[i] == 1)
            filter[i] = 0;
    filter[n] = filter[n + 1 < kFilterLength ? n + 1 : n] = 0;
}

// Runs the open or save dialog of the item dialog; the chosen path in file.
bool ChooseFile(CEditSysItemDlg* dlg, bool save, UINT filterId, const wchar_t* extension,
                wchar_t* file)
{
    wchar_t filter[kFilterLength];
    LoadFilter(dlg->Instance, filterId, filter);
    file[0] = L'\0';
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = dlg->Dialog;
    ofn.hInstance = dlg->Instance;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = kFileNameLength;
    ofn.lpstrInitialDir = dlg->InitialFolder;
    ofn.lpstrDefExt = extension;
    ofn.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_NONETWORKBUTTON |
                (save ? OFN_OVERWRITEPROMPT : (OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST));
    return (save ? ChooseFileToSave(&ofn) : ChooseFileToOpen(&ofn)) && file[0];
}

// Warns that a chosen file cannot be used, naming it.
void RefuseFile(CEditSysItemDlg* dlg, UINT formatId, const wchar_t* file)
{
    wchar_t format[512] = L"", caption[64] = L"";
    LoadStringW(dlg->Instance, formatId, format, ARRAYSIZE(format));
    LoadStringW(dlg->Instance, IDS_ERROR_CAPTION, caption, ARRAYSIZE(caption));
    wchar_t text[512 + kFileNameLength];
    StringCchPrintfW(text, ARRAYSIZE(text), format, file);
    ZorMessageBox(dlg->Dialog, text, caption, MB_ICONWARNING);
}

// The whole file as a stored image (empty when it cannot be read or is empty).
void ReadImageFile(const wchar_t* path, VARIANT* value)
{
    VariantClear(value);
    FILE* f = _wfopen(path, L"rb");
    if (!f)
        return;
    FileToBlob(f, value);
    fclose(f);
}

const wchar_t* ExtensionOfImage(const VARIANT* value, bool pictures)
{
    BlobBytes bytes(value);
    if (!bytes.ok())
        return nullptr;
    switch (DetectImageType(bytes.data(), bytes.size())) {
    case IMAGE_TYPE_BITMAP: return L"bmp";
    case IMAGE_TYPE_ICON: return L"ico";
    case IMAGE_TYPE_PNG: return L"png";
    case IMAGE_TYPE_JPEG: return pictures ? L"jpg" : nullptr;
    }
    return nullptr;
}

// Writes a stored image to the file the user chose; one that cannot be written whole is said,
// with the system's reason, and the old file stays.
void SaveImageFile(CEditSysItemDlg* dlg, const VARIANT* value, const wchar_t* path)
{
    DWORD error = WriteStoredImageFile(value, path);
    if (error)
        ZorMessageBoxResText(dlg->Dialog, dlg->Instance, IDS_IMAGE_NOT_SAVED, IDS_ERROR_CAPTION, MB_ICONWARNING,
                             {path, SystemErrorText(error).c_str()});
}

// ---- icons ----

// Shows a stored icon in a preview static at the size; false (the static unchanged) when it
// yields no picture: JPEG files and anything that does not decode.
bool Preview(HWND control, const VARIANT* value, int size)
{
    BlobBytes bytes(value);
    if (!bytes.ok())
        return false;
    int type = DetectImageType(bytes.data(), bytes.size());
    if (type == IMAGE_TYPE_NONE || type == IMAGE_TYPE_JPEG)
        return false;
    int width = size, height = size;
    HBITMAP bitmap = CreateImageBitmap(control, bytes.data(), bytes.size(), &width, &height, TRUE,
                                       TRUE, IMAGE_ALIGN_CENTRE);
    if (!bitmap)
        return false;
    if (HBITMAP previous = SetStaticBitmap(control, bitmap))
        DeleteObject(previous);
    if ((HBITMAP)SendMessageW(control, STM_GETIMAGE, IMAGE_BITMAP, 0) != bitmap)
        DeleteObject(bitmap);  // the static keeps a copy of its own
    return true;
}

void ClearPreview(HWND control)
{
    if (HBITMAP previous = SetStaticBitmap(control, nullptr))
        DeleteObject(previous);
}

void OnIconCommand(CEditSysItemDlg* dlg, HWND page, int id)
{
    int icon = (id - IDC_ICON_GROUP) / IDC_ICON_STEP;
    int action = (id - IDC_ICON_GROUP) % IDC_ICON_STEP;
    if (icon < 0 || icon > 2)
        return;
    HWND preview = GetDlgItem(page, IDC_ICON_PREVIEW + icon * IDC_ICON_STEP);
    VARIANT* stored = IconOfRecord(dlg->Record, icon);
    wchar_t file[kFileNameLength];
    switch (action + IDC_ICON_GROUP) {
    case IDC_ICON_LOAD: {
        if (!ChooseFile(dlg, false, IDS_FILTER_ICONS, nullptr, file))
            return;
        VARIANT read;
        VariantInit(&read);
        ReadImageFile(file, &read);
        // Only what can be shown is taken: a file that gives no preview changes nothing.
        if (Preview(preview, &read, kIconSizes[icon]))
            VariantCopy(stored, &read);
        VariantClear(&read);
        return;
    }
    case IDC_ICON_SAVE:
        if (IsBlob(stored) && ChooseFile(dlg, true, IDS_FILTER_ICONS, ExtensionOfImage(stored, false), file))
            SaveImageFile(dlg, stored, file);
        return;
    case IDC_ICON_DELETE:
        ClearPreview(preview);
        VariantClear(stored);
        return;
    }
}

// ---- pictures ----

ItemPicture* PictureAt(CEditSysItemDlg* dlg, int index)
{
    CPtrArray* pictures = dlg->Record->Pictures;
    if (!pictures || index < 0 || index >= pictures->GetCount())
        return nullptr;
    return static_cast<ItemPicture*>(pictures->GetItems()[index]);
}

int PictureCount(CEditSysItemDlg* dlg)
{
    return dlg->Record->Pictures ? dlg->Record->Pictures->GetCount() : 0;
}

// A bitmap the picture static hands back: the entries own theirs, a copy the static made is
// freed here.
void ReleaseShownBitmap(CEditSysItemDlg* dlg, HBITMAP shown)
{
    if (!shown)
        return;
    for (int i = 0; i < PictureCount(dlg); ++i)
        if (PictureAt(dlg, i)->Bitmap == shown)
            return;
    DeleteObject(shown);
}

void UpdatePictureControls(CEditSysItemDlg* dlg, HWND page)
{
    int n = PictureCount(dlg);
    int c = dlg->CurrentPicture;
    HWND toolbar = GetDlgItem(page, IDC_PIC_TOOLBAR);
    bool back = n > 0 && c > 0;
    bool forward = n > 0 && c < n - 1;
    SendMessageW(toolbar, TB_SETSTATE, IDC_PIC_FIRST, back ? TBSTATE_ENABLED : 0);
    SendMessageW(toolbar, TB_SETSTATE, IDC_PIC_PREVIOUS, back ? TBSTATE_ENABLED : 0);
    SendMessageW(toolbar, TB_SETSTATE, IDC_PIC_NEXT, forward ? TBSTATE_ENABLED : 0);
    SendMessageW(toolbar, TB_SETSTATE, IDC_PIC_LAST, forward ? TBSTATE_ENABLED : 0);
    const int withPictures[] = {IDC_PIC_NOTE, IDC_PIC_SAVE, IDC_PIC_DEFAULT, IDC_PIC_DELETE};
    for (int id : withPictures)
        EnableWindow(GetDlgItem(page, id), n > 0);
    wchar_t format[64] = L"", text[96];
    LoadStringW(dlg->Instance, IDS_PICTURE_COUNTER, format, 64);
    wsprintfW(text, format, n > 0 ? c + 1 : 0, n);
    SetDlgItemTextW(page, IDC_PIC_COUNTER, text);
}

// A picture's bitmap, made on its first showing: the image fitted into the static, made smaller
// when it does not fit but never larger.
HBITMAP BitmapOfPicture(HWND control, ItemPicture* picture)
{
    if (picture->Bitmap)
        return picture->Bitmap;
    BlobBytes bytes(&picture->Picture);
    if (!bytes.ok())
        return nullptr;
    RECT client;
    GetClientRect(control, &client);
    int width = client.right, height = client.bottom;
    int imageWidth = 0, imageHeight = 0;
    if (GetImageSize(bytes.data(), bytes.size(), &imageWidth, &imageHeight) && imageWidth > 0
        && imageHeight > 0 && imageWidth <= width && imageHeight <= height) {
        width = imageWidth;
        height = imageHeight;
    }
    picture->Bitmap = CreateImageBitmap(control, bytes.data(), bytes.size(), &width, &height, FALSE,
                                        TRUE, IMAGE_ALIGN_CENTRE);
    return picture->Bitmap;
}

// Shows the current picture with its note and updates the controls. Without the image only
// the note and the controls: the page is not in front yet, and the image is decoded when it
// comes to the front.
void ShowCurrentPicture(CEditSysItemDlg* dlg, HWND page, bool withImage = true)
{
    HWND control = GetDlgItem(page, IDC_PIC_PICTURE);
    HWND note = GetDlgItem(page, IDC_PIC_NOTE);
    ItemPicture* picture = PictureAt(dlg, dlg->CurrentPicture);
    if (picture) {
        if (withImage)
            ReleaseShownBitmap(dlg, SetStaticBitmap(control, BitmapOfPicture(control, picture)));
        SetWindowTextVariant(&picture->Note, note);
    } else {
        // No picture left: nothing shown, no note, no position.
        dlg->CurrentPicture = 0;
        ReleaseShownBitmap(dlg, SetStaticBitmap(control, nullptr));
        SetWindowTextW(note, L"");
    }
    UpdatePictureControls(dlg, page);
}

void GoToPicture(CEditSysItemDlg* dlg, HWND page, int index)
{
    dlg->KeepPictureNote();
    int n = PictureCount(dlg);
    dlg->CurrentPicture = index < 0 ? 0 : (index >= n ? n - 1 : index);
    ShowCurrentPicture(dlg, page);
}

void OnPictureCommand(CEditSysItemDlg* dlg, HWND page, int id)
{
    CPtrArray* pictures = dlg->Record->Pictures;
    if (!pictures)
        return;
    int c = dlg->CurrentPicture;
    wchar_t file[kFileNameLength];
    switch (id) {
    case IDC_PIC_LOAD: {
        if (!ChooseFile(dlg, false, IDS_FILTER_PICTURES, nullptr, file))
            return;
        ItemPicture* picture = (ItemPicture*)calloc(1, sizeof(ItemPicture));
        if (!picture)
            return;
        ReadImageFile(file, &picture->Picture);
        // Only a picture that can be shown is kept: an empty, damaged or foreign file is
        // refused by name and nothing is added.
        if (!IsBlob(&picture->Picture) || !BitmapOfPicture(GetDlgItem(page, IDC_PIC_PICTURE), picture)) {
            FreeItemPicture(picture);
            RefuseFile(dlg, IDS_BAD_PICTURE, file);
            return;
        }
        dlg->KeepPictureNote();
        pictures->Add(picture);
        dlg->CurrentPicture = pictures->GetCount() - 1;
        ShowCurrentPicture(dlg, page);
        return;
    }
    case IDC_PIC_SAVE: {
        ItemPicture* picture = PictureAt(dlg, c);
        if (picture && IsBlob(&picture->Picture)
            && ChooseFile(dlg, true, IDS_FILTER_PICTURES, ExtensionOfImage(&picture->Picture, true), file)) {
            SaveImageFile(dlg, &picture->Picture, file);
        }
        return;
    }
    case IDC_PIC_DEFAULT:
        if (c > 0 && c < pictures->GetCount()) {
            dlg->KeepPictureNote();
            pictures->Move(c, 0);
            dlg->CurrentPicture = 0;
            ShowCurrentPicture(dlg, page);
        }
        return;
    case IDC_PIC_DELETE: {
        if (c < 0 || c >= pictures->GetCount())
            return;
        dlg->KeepPictureNote();
        // The static lets go of the picture's bitmap while the entry still owns it.
        ReleaseShownBitmap(dlg, SetStaticBitmap(GetDlgItem(page, IDC_PIC_PICTURE), nullptr));
        ItemPicture* removed = static_cast<ItemPicture*>(pictures->RemoveAt(c));
        if (dlg->CurrentPicture >= pictures->GetCount())
            dlg->CurrentPicture = pictures->GetCount() - 1;
        ShowCurrentPicture(dlg, page);
        FreeItemPicture(removed);
        return;
    }
    case IDC_PIC_FIRST: GoToPicture(dlg, page, 0); return;
    case IDC_PIC_PREVIOUS: GoToPicture(dlg, page, c - 1); return;
    case IDC_PIC_NEXT: GoToPicture(dlg, page, c + 1); return;
    case IDC_PIC_LAST: GoToPicture(dlg, page, pictures->GetCount() - 1); return;
    }
}

UINT ScreenImageListFlags()
{
    HDC dc = GetDC(nullptr);
    int bits = dc ? GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES) : 0;
    if (dc)
        ReleaseDC(nullptr, dc);
    if (bits >= 25)
        return ILC_COLOR32 | ILC_MASK;
    if (bits >= 17)
        return ILC_COLOR24 | ILC_MASK;
    if (bits >= 9)
        return ILC_COLOR16 | ILC_MASK;
    if (bits >= 5)
        return ILC_COLOR8 | ILC_MASK;
    return ILC_COLOR;
}

void SetUpToolbar(CEditSysItemDlg* dlg, HWND page)
{
    if (!dlg->ToolbarImages) {
        dlg->ToolbarImages = ImageList_Create(16, 16, ScreenImageListFlags(), 4, 4);
        for (int id = IDI_PICTURE_FIRST; id <= IDI_PICTURE_LAST; ++id) {
            HICON icon = (HICON)LoadImageW(dlg->Instance, MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0);
            ImageList_AddIcon(dlg->ToolbarImages, icon);
            if (icon)
                DestroyIcon(icon);
        }
    }
    HWND toolbar = GetDlgItem(page, IDC_PIC_TOOLBAR);
    SendMessageW(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(toolbar, TB_SETBITMAPSIZE, 0, MAKELPARAM(16, 16));
    SendMessageW(toolbar, TB_SETIMAGELIST, 0, (LPARAM)dlg->ToolbarImages);
    TBBUTTON buttons[4] = {};
    for (int i = 0; i < 4; ++i) {
        buttons[i].iBitmap = i;
        buttons[i].idCommand = IDC_PIC_FIRST + i;
        buttons[i].fsState = TBSTATE_ENABLED;
        buttons[i].fsStyle = TBSTYLE_BUTTON;
        buttons[i].iString = -1;
    }
    SendMessageW(toolbar, TB_ADDBUTTONSW, 4, (LPARAM)buttons);
}

// The toolbar keeps to the page's bottom edge.
void PlaceToolbar(HWND page, int pageHeight)
{
    HWND toolbar = GetDlgItem(page, IDC_PIC_TOOLBAR);
    if (!toolbar)
        return;
    SendMessageW(toolbar, WM_SIZE, 0, 0);
    RECT r;
    GetWindowRect(toolbar, &r);
    MapWindowPoints(nullptr, page, (POINT*)&r, 2);
    SetWindowPos(toolbar, nullptr, r.left, pageHeight - (r.bottom - r.top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void CEditSysItemDlg::KeepPictureNote()
{
    if (!PicturesPage || !Record)
        return;
    if (ItemPicture* picture = PictureAt(this, CurrentPicture))
        GetWindowTextVariant(GetDlgItem(PicturesPage, IDC_PIC_NOTE), &picture->Note);
}

INT_PTR CALLBACK CEditSysItemDlg::IconsDlgProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CEditSysItemDlg* dlg = OfPage(page);
    switch (msg) {
    case WM_INITDIALOG:
        dlg = AttachPage(page, lParam, &CEditSysItemDlg::IconsPage);
        for (int icon = 0; icon < 3; ++icon) {
            HWND preview = GetDlgItem(page, IDC_ICON_PREVIEW + icon * IDC_ICON_STEP);
            SetClientSize(preview, kIconSizes[icon], kIconSizes[icon]);
            Preview(preview, IconOfRecord(dlg->Record, icon), kIconSizes[icon]);
        }
        return FALSE;
    case WM_COMMAND:
        if (!dlg || HIWORD(wParam) != BN_CLICKED)
            return FALSE;
        if (!dlg->PassDialogCommand(wParam))
            OnIconCommand(dlg, page, LOWORD(wParam));
        return TRUE;
    case WM_DESTROY:
        for (int icon = 0; icon < 3; ++icon)
            ClearPreview(GetDlgItem(page, IDC_ICON_PREVIEW + icon * IDC_ICON_STEP));
        return FALSE;
    }
    return FALSE;
}

INT_PTR CALLBACK CEditSysItemDlg::PicturesDlgProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CEditSysItemDlg* dlg = OfPage(page);
    switch (msg) {
    case WM_INITDIALOG: {
        dlg = AttachPage(page, lParam, &CEditSysItemDlg::PicturesPage);
        RECT units = {0, 0, kPictureWidthUnits, kPictureHeightUnits};
        MapDialogRect(page, &units);
        SetClientSize(GetDlgItem(page, IDC_PIC_PICTURE), units.right, units.bottom);
        SetUpToolbar(dlg, page);
        RECT client;
        GetClientRect(page, &client);
        PlaceToolbar(page, client.bottom);
        dlg->CurrentPicture = 0;
        ShowCurrentPicture(dlg, page, false);
        return FALSE;
    }
    case WM_SHOWWINDOW:
        // The first showing of the page decodes the current picture.
        if (dlg && wParam && !SendDlgItemMessageW(page, IDC_PIC_PICTURE, STM_GETIMAGE, IMAGE_BITMAP, 0)
            && PictureAt(dlg, dlg->CurrentPicture))
            ShowCurrentPicture(dlg, page);
        return FALSE;
    case WM_SIZE:
        PlaceToolbar(page, HIWORD(lParam));
        return FALSE;
    case WM_COMMAND:
        if (!dlg)
            return FALSE;
        if (dlg->PassDialogCommand(wParam))
            return TRUE;
        if (LOWORD(wParam) == IDC_PIC_NOTE)
            return FALSE;
        OnPictureCommand(dlg, page, LOWORD(wParam));
        return TRUE;
    case WM_DESTROY:
        if (dlg)
            ReleaseShownBitmap(dlg, SetStaticBitmap(GetDlgItem(page, IDC_PIC_PICTURE), nullptr));
        return FALSE;
    }
    return FALSE;
}
