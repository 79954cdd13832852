// The screen zoom over a known pattern on the screen, the NOTXOR overlays,
// and the GDI objects a zoom leaves behind.
#include "WidgetTestUtil.h"
#include "app/regions/ScreenZoom.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kOrigin = 100;  // the pattern window's screen position
constexpr int kSize = 200;

// Pixel (x, y) of the pattern: unique per pixel, so any shift shows.
COLORREF PatternColor(int x, int y) { return RGB(x, y, 77); }

LRESULT CALLBACK PatternProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT)
        return ::DefWindowProcW(hWnd, message, wParam, lParam);
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hWnd, &ps);
    std::vector<DWORD> bits(kSize * kSize);
    for (int i = 0; i < kSize * kSize; ++i)
        bits[i] = ((i % kSize) << 16) | ((i / kSize) << 8) | 77;  // BGRA of PatternColor
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), kSize, -kSize, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    ::SetDIBitsToDevice(dc, 0, 0, kSize, kSize, 0, 0, 0, kSize, bits.data(), &bi, DIB_RGB_COLORS);
    ::EndPaint(hWnd, &ps);
    return 0;
}

class ScreenZoomTest : public testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = PatternProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = L"VeskZoomPattern";
        ::RegisterClassW(&wc);
        m_hWnd = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE,
                                   kOrigin, kOrigin, kSize, kSize, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_TRUE(m_hWnd);
        wt::MouseMove(kOrigin + kSize / 2, kOrigin + kSize / 2);
        wt::Settle(m_hWnd);
        ASSERT_EQ(wt::WindowPixel(m_hWnd, 5, 9), PatternColor(5, 9));
    }
    void TearDown() override {
        ::DestroyWindow(m_hWnd);
        wt::MouseAway();
    }

    HWND m_hWnd = nullptr;
};

TEST_F(ScreenZoomTest, CopiesTheScreenAroundThePointerEnlargedWithItsCrossHair) {
    // The pointer is at pattern (100, 100); a 100 x 60 view.
    const struct {
        int factor;
        int sourceX, sourceY;  // pattern pixel at the view's top-left
        int scale;
    } cases[] = {{1, 50, 70, 1}, {4, 88, 93, 4}, {0, 50, 70, 1}};
    CrossHairState state;
    const RECT view = {0, 0, 100, 60};
    for (const auto& c : cases) {
        wt::DibCanvas canvas(100, 60, RGB(1, 2, 3));
        EXPECT_EQ(DrawZoomedScreen(nullptr, &view, CDC::FromHandle(canvas.dc()), c.factor, false, false, false),
                  nullptr);
        int wrong = 0;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 100; ++x)
                wrong += canvas.Pixel(x, y) != PatternColor(c.sourceX + x / c.scale, c.sourceY + y / c.scale);
        EXPECT_EQ(wrong, 0) << "factor " << c.factor;
    }

    wt::DibCanvas canvas(100, 60, RGB(1, 2, 3));
    HBITMAP kept = DrawZoomedScreen(&state, &view, CDC::FromHandle(canvas.dc()), 4, true, false, true);
    ASSERT_TRUE(kept);
    EXPECT_EQ(::GetObjectType(kept), static_cast<DWORD>(OBJ_BITMAP));
    ::DeleteObject(kept);
    // The copy's centre (12, 7) carries a 1-pixel cross: 4 pixels thick in the view.
    EXPECT_EQ(canvas.Pixel(48, 0), RGB(0, 0, 0));
    EXPECT_EQ(canvas.Pixel(51, 59), RGB(0, 0, 0));
    EXPECT_EQ(canvas.Pixel(4, 28), RGB(0, 0, 0));
    EXPECT_EQ(canvas.Pixel(47, 0), PatternColor(88 + 11, 93));
    EXPECT_EQ(canvas.Pixel(0, 27), PatternColor(88, 93 + 6));

    // Empty, inverted, narrower than the factor, or no view at all: nothing drawn, nothing kept.
    wt::DibCanvas untouched(100, 60, RGB(1, 2, 3));
    CDC* pUntouched = CDC::FromHandle(untouched.dc());
    for (const RECT& empty : {RECT{0, 0, 100, 0}, RECT{10, 10, 5, 60}, RECT{0, 0, 3, 60}})
        EXPECT_EQ(DrawZoomedScreen(&state, &empty, pUntouched, 4, true, true, true), nullptr);
    EXPECT_EQ(DrawZoomedScreen(&state, nullptr, pUntouched, 1, true, true, true), nullptr);
    for (int y = 0; y < 60; y += 7)
        for (int x = 0; x < 100; x += 7)
            ASSERT_EQ(untouched.Pixel(x, y), RGB(1, 2, 3));
}

TEST_F(ScreenZoomTest, NoGdiObjectSurvivesRepeatedZooms) {
    wt::DibCanvas canvas(100, 60, RGB(1, 2, 3));
    CDC* pDC = CDC::FromHandle(canvas.dc());
    CrossHairState state;
    const RECT view = {0, 0, 100, 60};
    // The pointer is over our own window, so the cursor is drawn and copied too.
    CURSORINFO info = {};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(::GetCursorInfo(&info));
    EXPECT_TRUE(info.hCursor);
    DrawZoomedScreen(&state, &view, pDC, 2, true, true, false);
    const int before = wt::CountGdiObjects();
    for (int i = 0; i < 40; ++i)
        DrawZoomedScreen(&state, &view, pDC, 1 + i % 4, i % 2 == 0, true, false);
    EXPECT_LE(wt::CountGdiObjects(), before + 5);
}

TEST(Overlays, NotXorLinesComeOffWhenDrawnAgain) {
    wt::DibCanvas canvas(120, 80, RGB(0, 0, 0));
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x)
            ::SetPixelV(canvas.dc(), x, y, PatternColor(x, y));
    CDC* pDC = CDC::FromHandle(canvas.dc());
    DrawXorFrame(pDC, {10, 10, 100, 70});
    EXPECT_NE(canvas.Pixel(50, 10), PatternColor(50, 10));
    DrawXorFrame(pDC, {10, 10, 100, 70});
    int wrong = 0;
    for (int i = 0; i < 120 * 80; ++i)
        wrong += canvas.Pixel(i % 120, i / 120) != PatternColor(i % 120, i / 120);
    EXPECT_EQ(wrong, 0);

    // The moving cross-hair erases its old lines, including at x = 0.
    CrossHairState state;
    state.SetExtent(120, 80, 0, 0);
    DrawMovingCrossHair(&state, pDC, false, 0, 30);
    EXPECT_NE(canvas.Pixel(0, 60), PatternColor(0, 60));
    DrawMovingCrossHair(&state, pDC, false, 60, 50);
    EXPECT_EQ(canvas.Pixel(0, 60), PatternColor(0, 60));
    EXPECT_EQ(canvas.Pixel(100, 30), PatternColor(100, 30));
    EXPECT_NE(canvas.Pixel(100, 50), PatternColor(100, 50));
    EXPECT_NE(canvas.Pixel(60, 10), PatternColor(60, 10));
    EXPECT_EQ(::GetROP2(canvas.dc()), R2_COPYPEN);  // the DC is left as it was
}

}  // namespace

TEST(Overlays, XorFrameShowsOnMidGreyAndComesOff) {
    const COLORREF grey = RGB(128, 128, 128);
    wt::DibCanvas canvas(60, 60, grey);
    CDC* pDC = CDC::FromHandle(canvas.dc());
    // Dragged up and to the left: the rectangle comes inverted.
    DrawXorFrame(pDC, {45, 40, 12, 15});
    auto strong = [&](int x, int y) {
        const COLORREF c = canvas.Pixel(x, y);
        return std::max({std::abs(GetRValue(c) - 128), std::abs(GetGValue(c) - 128), std::abs(GetBValue(c) - 128)}) >=
               100;
    };
    auto sideShows = [&](int x0, int y0, int dx, int dy) {
        for (int i = -3; i <= 3; ++i)
            if (strong(x0 + dx * i, y0 + dy * i))
                return true;
        return false;
    };
    EXPECT_TRUE(sideShows(28, 15, 0, 1)) << "top";
    EXPECT_TRUE(sideShows(28, 40, 0, 1)) << "bottom";
    EXPECT_TRUE(sideShows(12, 27, 1, 0)) << "left";
    EXPECT_TRUE(sideShows(45, 27, 1, 0)) << "right";
    DrawXorFrame(pDC, {45, 40, 12, 15});
    int wrong = 0;
    for (int i = 0; i < 60 * 60; ++i)
        wrong += canvas.Pixel(i % 60, i / 60) != grey;
    EXPECT_EQ(wrong, 0);
}
