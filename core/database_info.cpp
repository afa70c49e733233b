// The information panel of the trees: the item's name, its information lines and its first
// picture, with the picture's thumbnail kept in the picture table for the next showing.
#include "core/database.h"

#include <strsafe.h>

#include "core/blob.h"
#include "core/fields.h"
#include "core/leveldefs.h"
#include "core/rsutil.h"
#include "core/textutil.h"
#include "core/treefill.h"

using zdata::Field;
using zdata::Fields;
using zdata::Recordset;

namespace {

// Column of the picture and of its thumbnail in SYSIMAGES and LOCIMAGES.
const long kPictureColumn = 3;
const long kThumbnailColumn = 4;

bool IsEmpty(Recordset* rs)
{
    return rs->IsBOF() && rs->IsEOF();
}

// The first picture of the open picture recordset fitted into the box; the thumbnail is decoded
// instead when it was made for this box height, else it is rebuilt and stored.
HBITMAP DecodeFirstPicture(Recordset* rs, int boxHeight)
{
    Fields* fields = nullptr;
    if (FAILED(rs->get_Fields(&fields)) || !fields)
        return nullptr;
    long count = 0;
    fields->get_Count(&count);
    int width = 4 * boxHeight, height = boxHeight;
    HBITMAP bitmap = nullptr;
    if (count <= kThumbnailColumn) {
        VARIANT picture;
        ColumnValue(fields, kPictureColumn, &picture);
        bitmap = BlobToBitmap(&picture, &width, &height, nullptr, FALSE, TRUE, 0);
        VariantClear(&picture);
    } else {
        VARIANT thumbnail;
        ColumnValue(fields, kThumbnailColumn, &thumbnail);
        int thumbWidth = 0, thumbHeight = 0;
        GetBlobImageSize(&thumbnail, &thumbWidth, &thumbHeight);
        if (thumbHeight == boxHeight && thumbHeight > 0) {
            bitmap = BlobToBitmap(&thumbnail, &width, &height, nullptr, FALSE, TRUE, 0);
        } else {
            VARIANT picture;
            ColumnValue(fields, kPictureColumn, &picture);
            bitmap = BlobToBitmap(&picture, &width, &height, nullptr, FALSE, TRUE, 0);
            VariantClear(&picture);
            if (bitmap) {
                VARIANT blob;
                VariantInit(&blob);
                BitmapToBlob(bitmap, &blob);
                Field* field = nullptr;
                if (blob.vt != VT_EMPTY && SUCCEEDED(fields->Item(kThumbnailColumn, &field)) && field) {
                    field->put_Value(blob);
                    field->Release();
                    // A thumbnail that cannot be stored is made again next time; the picture
                    // is shown all the same.
                    if (FAILED(rs->Update()))
                        rs->CancelUpdate();
                }
                VariantClear(&blob);
            }
        }
        VariantClear(&thumbnail);
    }
    fields->Release();
    return bitmap;
}

// The common course of both panels. Both queries are read before the panel is touched: when
// the file refuses either (another program holds it), the panel keeps the item it shows and the
// answer is false.
bool ShowInfo(CDatabase* db, InfoPanelRequest* request, bool taxon)
{
    if (!db || !request)
        return true;
    wchar_t sql[96];
    StringCchPrintfW(sql, 96, taxon ? L"SELECT * FROM SPECIES WHERE SYSID = %d"
                                    : L"SELECT * FROM FEATURES WHERE LOCID = %d",
                     request->ItemId);
    request->Refused = 1;
    RsHolder row(db->OpenQuery(sql, adUseServer, adOpenKeyset, adLockReadOnly));
    if (!row.IsOpen())
        return false;
    StringCchPrintfW(sql, 96, taxon ? L"SELECT * FROM SYSIMAGES WHERE SYSID = %d ORDER BY SYSLEVEL"
                                    : L"SELECT * FROM LOCIMAGES WHERE LOCID = %d ORDER BY LOCLEVEL",
                     request->ItemId);
    // The locality pictures were read through a dynamic cursor; nothing else changes the table
    // while the panel is filled, so a keyset serves both.
    RsHolder pictures(db->OpenQuery(sql, adUseServer, adOpenKeyset, adLockOptimistic));
    if (!pictures.IsOpen())
        return false;
    request->Refused = 0;

    Recordset* rs = row.get();
    rs->MoveFirst();
    Fields* fields = nullptr;
    rs->get_Fields(&fields);
    wchar_t name[64] = L"";
    if (fields && !IsEmpty(rs)) {
        if (taxon) {
            wchar_t* text = FormatTaxonName(fields);
            if (text) {
                StringCchCopyW(name, 64, text);
                free(text);
            }
        } else {
            VARIANT value;
            ColumnValue(fields, 1, &value);
            if (value.vt == VT_BSTR && value.bstrVal)
                StringCchCopyW(name, 64, value.bstrVal);  // cut at 63 characters
            VariantClear(&value);
        }
    }
    if (request->NameControl)
        SetWindowTextW(request->NameControl, name);
    FillInfoStatics(request->InfoLineCount, request->InfoLines, fields);
    if (fields)
        fields->Release();

    if (request->NameControl) {
        HWND parent = GetParent(request->NameControl);
        RECT r;
        GetWindowRect(request->NameControl, &r);
        MapWindowPoints(nullptr, parent, (POINT*)&r, 2);
        r.bottom = r.top + (taxon ? kSpeciesNameAreaHeight : request->PictureHeight);
        InvalidateRect(parent, &r, TRUE);
    }

    rs = pictures.get();
    HBITMAP bitmap = nullptr;
    request->PictureWidth = 0;
    if (!IsEmpty(rs) && request->PictureHeight > 0) {
        rs->MoveFirst();
        bitmap = DecodeFirstPicture(rs, request->PictureHeight);
        BITMAP bm = {};
        if (bitmap && GetObjectW(bitmap, sizeof(bm), &bm))
            request->PictureWidth = bm.bmWidth;
    }
    if (request->PictureControl) {
        HBITMAP old = (HBITMAP)SendMessageW(request->PictureControl, STM_SETIMAGE, IMAGE_BITMAP,
                                            (LPARAM)bitmap);
        if (old && old != bitmap)
            DeleteObject(old);
    } else if (bitmap) {
        DeleteObject(bitmap);
    }
    return true;
}

}  // namespace

void FillInfoStatics(int count, HWND* statics, zdata::Fields* fields)
{
    if (!statics)
        return;
    for (int i = 0; i < count; i++) {
        HWND line = statics[i];
        CDispField* disp = (CDispField*)GetWindowLongPtrW(line, GWLP_USERDATA);
        if (!disp || !disp->Field)
            continue;
        wchar_t text[kInfoLineMax + 1];
        const wchar_t* caption = disp->DispName ? disp->DispName : disp->Field->Name;
        StringCchPrintfW(text, kInfoLineMax + 1, L"%s: ", caption);
        Field* field = nullptr;
        if (!fields || FAILED(fields->Item(disp->Field->Field, &field)) || !field)
            continue;  // the row has no such column: the line keeps its text
        VARIANT value;
        VariantInit(&value);
        field->get_Value(&value);
        field->Release();
        size_t used = 0;
        StringCchLengthW(text, kInfoLineMax + 1, &used);
        wchar_t* rest = text + used;
        int restSize = kInfoLineMax + 1 - (int)used;
        if (restSize > 1) {
            if (disp->ValueFormatter) {
                disp->ValueFormatter(value, rest, restSize, disp->Field);
            } else {
                // The conversion refuses a text that does not fit; cut it instead.
                if (!VariantToText(&value, rest, restSize) && value.vt == VT_BSTR && value.bstrVal)
                    StringCchCopyW(rest, restSize, value.bstrVal);
            }
        }
        text[kInfoLineMax] = 0;
        VariantClear(&value);
        SetWindowTextW(line, text);
    }
}

int CDatabase::ShowSpeciesInfo(InfoPanelRequest* request)
{
    return ShowInfo(this, request, true) ? 1 : 0;
}

int CDatabase::ShowFeatureInfo(InfoPanelRequest* request)
{
    return ShowInfo(this, request, false) ? 1 : 0;
}
