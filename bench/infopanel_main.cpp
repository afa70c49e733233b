// The taxon information panel with a photo: the first showing decodes a 2-megapixel JPEG,
// fits it into the panel and stores the thumbnail; the next showing decodes only the stored
// thumbnail. Printed beside the bare WIC decode of the same JPEG, measured in the same run.
//   infopanel_bench.exe <database path> [-n <records>] [--runs <count>]
// A missing database is made with "ZorSampleDb -o <path> -n <records>" (1,000,000 by default).
// The picture is added to the first species with pictures as its first picture and removed
// again at the end, so the database is left as it was. Run it with a display (xvfb-run).
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/benchdb.h"
#include "core/database.h"
#include "core/storedimage.h"
#include "core/zm_messages.h"
#include "imagecodec/kavjpeg.h"
#include "tools/testkit/wic_encode.h"

namespace {

const double kTargetMs = 150.0;

// A photo-like 1632 x 1224 picture (2 megapixels): gradients with some texture, so the JPEG
// is of a realistic size.
std::vector<BYTE> MakePhoto()
{
    imgtest::Pixels px(1632, 1224);
    for (int y = 0; y < px.height; ++y)
        for (int x = 0; x < px.width; ++x)
            px.Set(x, y, RGB((x * 255 / px.width + ((x * y) >> 7)) & 0xFF, y * 255 / px.height,
                             ((x ^ y) >> 2) & 0xFF));
    return imgtest::EncodeJpeg(px);
}

VARIANT BytesVariant(const std::vector<BYTE>& bytes)
{
    VARIANT v;
    VariantInit(&v);
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    void* data = nullptr;
    if (array && SUCCEEDED(SafeArrayAccessData(array, &data))) {
        memcpy(data, bytes.data(), bytes.size());
        SafeArrayUnaccessData(array);
        v.vt = VT_ARRAY | VT_UI1;
        v.parray = array;
    }
    return v;
}

// Adds the photo as picture 0 of the taxon (before its own pictures).
bool AddPhoto(CDatabase& db, int sysId, const std::vector<BYTE>& jpeg)
{
    zdata::Recordset* rs = db.OpenQuery(L"SELECT * FROM SYSIMAGES WHERE 0 = 1", adUseClient, adOpenKeyset,
                                        adLockOptimistic);
    if (!rs)
        return false;
    bool ok = false;
    zdata::Fields* fields = nullptr;
    if (SUCCEEDED(rs->AddNew()) && SUCCEEDED(rs->get_Fields(&fields)) && fields) {
        VARIANT values[3];
        VariantInit(&values[0]);
        values[0].vt = VT_I4;
        values[0].lVal = sysId;
        VariantInit(&values[1]);
        values[1].vt = VT_I4;
        values[1].lVal = 0;
        values[2] = BytesVariant(jpeg);
        const long ordinals[3] = { 0, 1, 3 };
        ok = true;
        for (int k = 0; k < 3; ++k) {
            zdata::Field* field = nullptr;
            ok = ok && SUCCEEDED(fields->Item(ordinals[k], &field)) && field &&
                 SUCCEEDED(field->put_Value(values[k]));
            if (field)
                field->Release();
        }
        VariantClear(&values[2]);
        ok = ok && SUCCEEDED(rs->Update());
        fields->Release();
    }
    rs->Close();
    rs->Release();
    return ok;
}

void Execute(CDatabase& db, const wchar_t* sql)
{
    db.AdoConnection->Execute(sql, nullptr, adExecuteNoRecords);
}

}  // namespace

int main()
{
    int runs = 10;
    std::wstring path;
    if (int code = ReadBenchArgs({ { L"--runs", &runs, 1 } }, PathWords::Last, stdout,
                                 "Usage: infopanel_bench <database path> [-n <records>] [--runs <count>]\n",
                                 &path))
        return code;

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    InitCommonControls();
    HWND main = CreateDbWindow(L"ZorInfoPanelBench", WS_OVERLAPPEDWINDOW, 600, 300);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND name = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 560, 20, main, nullptr,
                                instance, nullptr);
    HWND picture = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_BITMAP, 0, 24, 360, 90, main,
                                   nullptr, instance, nullptr);

    CDatabase db(main, instance);
    ConnSettings settings = {};
    if (!OpenDatabase(db, &settings, path)) {
        printf("the database could not be opened\n");
        return 1;
    }

    std::vector<BYTE> jpeg = MakePhoto();
    int taxon = FirstInt(db, L"SELECT MIN(I.SYSID) FROM SYSIMAGES I JOIN SPECIES S ON S.SYSID = I.SYSID");
    if (jpeg.empty() || taxon < 1 || !AddPhoto(db, taxon, jpeg)) {
        printf("could not add the test picture\n");
        return 1;
    }
    printf("Information panel, 1632 x 1224 JPEG of %zu bytes into a 360 x 90 box; median of %d runs, ms\n",
           jpeg.size(), runs);

    // Warm both paths once so that neither figure carries the codec's first-use cost.
    JasDestroyImage(JasCreateImage(jpeg.data(), static_cast<long>(jpeg.size())));
    InfoPanelRequest request = {};
    request.ItemId = taxon;
    request.NameControl = name;
    request.PictureControl = picture;
    request.PictureHeight = 90;
    db.ShowSpeciesInfo(&request);

    std::vector<double> bare, fit, first, next;
    wchar_t clear[96];
    _snwprintf(clear, 96, L"UPDATE SYSIMAGES SET THUMBNAIL = NULL WHERE SYSID = %d AND SYSLEVEL = 0", taxon);
    for (int k = 0; k < runs; ++k) {
        double t0 = NowMs();
        JasDestroyImage(JasCreateImage(jpeg.data(), static_cast<long>(jpeg.size())));
        bare.push_back(NowMs() - t0);

        t0 = NowMs();
        int w = 360, h = 90;
        DeleteObject(CreateImageBitmap(nullptr, jpeg.data(), static_cast<DWORD>(jpeg.size()), &w, &h, FALSE,
                                       TRUE, IMAGE_ALIGN_CENTRE));
        fit.push_back(NowMs() - t0);

        Execute(db, clear);
        t0 = NowMs();
        db.ShowSpeciesInfo(&request);
        first.push_back(NowMs() - t0);

        t0 = NowMs();
        db.ShowSpeciesInfo(&request);
        next.push_back(NowMs() - t0);
    }
    wchar_t cleanup[96];
    _snwprintf(cleanup, 96, L"DELETE FROM SYSIMAGES WHERE SYSID = %d AND SYSLEVEL = 0", taxon);
    Execute(db, cleanup);

    double firstMs = Median(first), nextMs = Median(next);
    printf("  %-48s %8.2f\n", "bare WIC decode of the JPEG (baseline)", Median(bare));
    printf("  %-48s %8.2f\n", "decode and fit alone", Median(fit));
    printf("  %-48s %8.2f  target %.0f: %s\n", "first showing: decode, fit, store thumbnail", firstMs,
           kTargetMs, firstMs < kTargetMs ? "met" : "MISSED");
    printf("  %-48s %8.2f  (%.1fx faster than the first)\n", "next showing: stored thumbnail", nextMs,
           nextMs > 0 ? firstMs / nextMs : 0.0);
    HBITMAP shown = (HBITMAP)SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, 0);
    if (shown)
        DeleteObject(shown);
    db.Close();
    free(settings.DBName);
    DestroyWindow(main);
    CoUninitialize();
    return 0;
}
