// The window-test harness itself: a real window under Xvfb, pumped and captured.
#include <gtest/gtest.h>
#include "tests/support/wintest.h"
#include <wincodec.h>

namespace {

LRESULT CALLBACK RedWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_ERASEBKGND) {
        RECT rc;
        GetClientRect(hwnd, &rc);
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        FillRect((HDC)wParam, &rc, red);
        DeleteObject(red);
        return 1;
    }
    if (msg == WM_APP)
        return lParam * 2;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Reads the pixel at (x, y) of a PNG file back through WIC.
COLORREF PngPixel(const std::wstring& path, UINT x, UINT y)
{
    IWICImagingFactory* factory = nullptr;
    CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICFormatConverter* converter = nullptr;
    BYTE pixel[4] = {};
    if (factory &&
        SUCCEEDED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                     WICDecodeMetadataCacheOnDemand, &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
        SUCCEEDED(converter->Initialize(frame, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr,
                                        0, WICBitmapPaletteTypeCustom))) {
        WICRect rect = { (INT)x, (INT)y, 1, 1 };
        converter->CopyPixels(&rect, 4, 4, pixel);
    }
    if (converter) converter->Release();
    if (frame) frame->Release();
    if (decoder) decoder->Release();
    if (factory) factory->Release();
    return RGB(pixel[2], pixel[1], pixel[0]);
}

}  // namespace

TEST(WindowHarness, CreatesPumpsAndCapturesARealWindow)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = RedWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZorHarnessRed";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"Zkouška", WS_POPUP | WS_VISIBLE, 40, 40, 120, 80,
                                nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(nullptr, hwnd) << "window tests need an X display (Xvfb)";
    EXPECT_EQ(42, SendMessageW(hwnd, WM_APP, 0, 21));

    bool posted = false;
    PostMessageW(hwnd, WM_NULL, 0, 0);
    EXPECT_TRUE(wintest::PumpUntil([&] { posted = !GetQueueStatus(QS_POSTMESSAGE); return posted; }, 1000));

    std::wstring path = wintest::SaveScreenshot(hwnd, L"harness_red");
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(RGB(255, 0, 0), PngPixel(path, 60, 40));
    DestroyWindow(hwnd);
    UnregisterClassW(wc.lpszClassName, wc.hInstance);
}

TEST(WindowHarness, TempFolderIsFreshAndEmpty)
{
    std::wstring folder = wintest::MakeTempFolder(L"harness");
    std::wstring file = folder + L"\\a.txt";
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    CloseHandle(h);
    EXPECT_EQ(folder, wintest::MakeTempFolder(L"harness"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(file.c_str()));
}
