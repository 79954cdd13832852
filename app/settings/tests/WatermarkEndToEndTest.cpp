// vesk.exe's watermark command: the options sheet with the watermark page
// alone, the watermark switched on and placed there, OK, and the next capture
// carries the watermark where it was placed.
#include "app/settings/Profile.h"
#include "image/DibImage.h"
#include "resources/resource.h"
#include "tests/driver/VeskRun.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace vesk_test;

constexpr COLORREF kCornerColour = RGB(12, 200, 34);
constexpr COLORREF kTextBackground = RGB(0, 115, 183);  // the default text watermark's background

class WatermarkEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        const int w = ::GetSystemMetrics(SM_CXSCREEN);
        const int h = ::GetSystemMetrics(SM_CYSCREEN);
        corner_ = {w - 320, h - 160, w, h};
        brush_ = ::CreateSolidBrush(kCornerColour);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hbrBackground = brush_;
        wc.lpszClassName = L"VeskWatermarkCorner";
        ::RegisterClassW(&wc);
        window_ = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE,
                                    corner_.left, corner_.top, corner_.right - corner_.left,
                                    corner_.bottom - corner_.top, nullptr, nullptr, wc.hInstance, nullptr);
    }
    void TearDown() override {
        run_.Kill();
        ::DestroyWindow(window_);
        ::UnregisterClassW(L"VeskWatermarkCorner", ::GetModuleHandleW(nullptr));
        ::DeleteObject(brush_);
    }

    // Pixels of the corner window's area in a full-screen capture that have
    // the text watermark's background colour.
    int WatermarkPixels(const CDibImage& image) const {
        int count = 0;
        const int height = static_cast<int>(image.GetHeight());
        for (int y = corner_.top; y < corner_.bottom; ++y)
            for (int x = corner_.left; x < corner_.right; ++x) {
                const RGBQUAD c = image.GetPixelColor(x, height - 1 - y, false);
                count += RGB(c.rgbRed, c.rgbGreen, c.rgbBlue) == kTextBackground;
            }
        return count;
    }
    bool Capture(HWND main, int n, CDibImage& image) {
        ::SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        WaitFor([&] { return ScreenPixel(corner_.left + 5, corner_.top + 5) == kCornerColour; });
        ::PostMessageW(main, WM_COMMAND, kFullScreenCommand, 0);
        return run_.LoadWhenWritten(run_.Numbered(n), image);
    }

    VeskRun run_{L"watermark-e2e"};
    RECT corner_ = {};
    HWND window_ = nullptr;
    HBRUSH brush_ = nullptr;
};

TEST_F(WatermarkEndToEnd, PageAloneSwitchesTheWatermarkOnForTheNextCapture) {
    ASSERT_TRUE(run_.PrepareQuiet());
    HWND main = run_.Start();
    ASSERT_NE(main, nullptr);
    CDibImage before;
    ASSERT_TRUE(Capture(main, 0, before));
    EXPECT_EQ(WatermarkPixels(before), 0);

    ASSERT_TRUE(::PostMessageW(main, WM_COMMAND, ID_OPTIONS_WATERMARK, 0));
    HWND sheet = nullptr, page = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        sheet = run_.FindOwnWindow(L"Options");
        page = sheet ? ::FindWindowExW(sheet, nullptr, L"#32770", nullptr) : nullptr;
        for (; page; page = ::FindWindowExW(sheet, page, L"#32770", nullptr)) {
            HWND check = ::GetDlgItem(page, IDC_WATERMARK_CHECK);
            if (check && ::IsWindowVisible(check))
                return true;
        }
        return false;
    })) << "no watermark page on show";
    // Another process's controls, driven by messages as their own input would.
    ::SendMessageW(::GetDlgItem(page, IDC_WATERMARK_CHECK), BM_CLICK, 0, 0);
    HWND location = ::GetDlgItem(page, IDC_WATERMARK_LOCATION);
    EXPECT_TRUE(::IsWindowEnabled(location));
    ::SendMessageW(location, CB_SETCURSEL, 8, 0);
    ::SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_WATERMARK_LOCATION, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(location));
    ::PostMessageW(sheet, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(sheet); }));
    EXPECT_EQ(profile::ReadValue(profile::kWatermarkSection, L"WaterMark", run_.ini().c_str()), CString(L"1"));
    EXPECT_EQ(profile::ReadValue(profile::kWatermarkSection, L"Location", run_.ini().c_str()), CString(L"8"));

    // The bitmap rebuilt after OK: the text watermark in the bottom-right corner.
    CDibImage after;
    ASSERT_TRUE(Capture(main, 1, after));
    EXPECT_GT(WatermarkPixels(after), 500);
    EXPECT_EQ(run_.Exit(main), 0u);
}

}  // namespace
