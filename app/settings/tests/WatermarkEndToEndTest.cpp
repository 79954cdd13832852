// vesk.exe's watermark command: the sheet with the watermark page alone, the
// watermark switched on and placed bottom right there, OK, and the next
// capture carries it there; another place chosen and cancelled changes nothing.
#include "app/settings/Profile.h"
#include "image/DibImage.h"
#include "resources/resource.h"
#include "tests/driver/VeskRun.h"

#include <gtest/gtest.h>

namespace {

using namespace vesk_test;

constexpr COLORREF kCornerColour = RGB(12, 200, 34);
constexpr COLORREF kTextBackground = RGB(0, 115, 183);  // of the default text watermark

TEST(WatermarkEndToEnd, PageAloneSwitchesTheWatermarkOnForTheNextCapture) {
    VeskRun run(L"watermark-e2e");
    ASSERT_TRUE(run.PrepareQuiet());
    // A window of one colour in the screen's bottom-right corner.
    const RECT corner = {::GetSystemMetrics(SM_CXSCREEN) - 320, ::GetSystemMetrics(SM_CYSCREEN) - 160,
                         ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    HBRUSH brush = ::CreateSolidBrush(kCornerColour);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hbrBackground = brush;
    wc.lpszClassName = L"VeskWatermarkCorner";
    ::RegisterClassW(&wc);
    HWND window = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP, corner.left,
                                    corner.top, 320, 160, nullptr, nullptr, nullptr, nullptr);
    HWND main = run.Start();
    ASSERT_NE(main, nullptr);
    // Pixels of the corner with the watermark's background colour in capture n.
    auto capturedMarkPixels = [&](int n) {
        ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        WaitFor([&] { return ScreenPixel(corner.left + 5, corner.top + 5) == kCornerColour; });
        ::PostMessageW(main, WM_COMMAND, kFullScreenCommand, 0);
        CDibImage image;
        int count = -1;
        if (run.LoadWhenWritten(run.Numbered(n), image)) {
            count = 0;
            for (int y = corner.top; y < corner.bottom; ++y)
                for (int x = corner.left; x < corner.right; ++x) {
                    const RGBQUAD c = image.GetPixelColor(x, static_cast<int>(image.GetHeight()) - 1 - y, false);
                    count += RGB(c.rgbRed, c.rgbGreen, c.rgbBlue) == kTextBackground;
                }
        }
        return count;
    };
    EXPECT_EQ(capturedMarkPixels(0), 0);

    HWND sheet = nullptr, page = nullptr;
    auto openWatermarkPage = [&] {
        ::PostMessageW(main, WM_COMMAND, ID_OPTIONS_WATERMARK, 0);
        return WaitFor([&] {
            sheet = run.FindOwnWindow(L"Options");
            for (page = nullptr; sheet && (page = ::FindWindowExW(sheet, page, L"#32770", nullptr));)
                if (::IsWindowVisible(::GetDlgItem(page, IDC_WATERMARK_CHECK)))
                    return true;
            return false;
        });
    };
    ASSERT_TRUE(openWatermarkPage()) << "no watermark page on show";
    // Another process's controls, driven by messages as their own input would.
    ::SendMessageW(::GetDlgItem(page, IDC_WATERMARK_CHECK), BM_CLICK, 0, 0);
    HWND location = ::GetDlgItem(page, IDC_WATERMARK_LOCATION);
    EXPECT_TRUE(::IsWindowEnabled(location));
    ::SendMessageW(location, CB_SETCURSEL, 8, 0);
    ::SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_WATERMARK_LOCATION, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(location));
    ::PostMessageW(sheet, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(sheet); })) << "the sheet stayed";
    EXPECT_EQ(profile::ReadValue(profile::kWatermarkSection, L"WaterMark", run.ini().c_str()), CString(L"1"));
    EXPECT_EQ(profile::ReadValue(profile::kWatermarkSection, L"Location", run.ini().c_str()), CString(L"8"));

    // The bitmap was rebuilt after OK: the text watermark sits in the corner.
    EXPECT_GT(capturedMarkPixels(1), 500);

    // Top left chosen, then Cancel: the next capture keeps the mark where the file says.
    ASSERT_TRUE(openWatermarkPage()) << "no watermark page on show";
    location = ::GetDlgItem(page, IDC_WATERMARK_LOCATION);
    ::SendMessageW(location, CB_SETCURSEL, 0, 0);
    ::SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_WATERMARK_LOCATION, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(location));
    ::PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(sheet); })) << "the sheet stayed";
    EXPECT_GT(capturedMarkPixels(2), 500);
    EXPECT_EQ(profile::ReadValue(profile::kWatermarkSection, L"Location", run.ini().c_str()), CString(L"8"));
    EXPECT_EQ(run.Exit(main), 0u);
    ::DestroyWindow(window);
    ::DeleteObject(brush);
}

}  // namespace
