// CSkinDialog: background placements, bitmap ownership, dragging by the
// surface and the layered attributes.
#include "WidgetTestUtil.h"
#include "WidgetsTestRes.h"
#include "widgets/SkinDialog.h"

#include <gtest/gtest.h>

namespace {

constexpr COLORREF kMarker = RGB(0, 200, 0);  // the bitmap's top-left pixel
constexpr COLORREF kLeft = RGB(220, 0, 0);
constexpr COLORREF kRight = RGB(0, 0, 220);

// w x h: left half kLeft, right half kRight, one marker pixel at (mx, my).
HBITMAP PatternBitmap(int w, int h, int mx = 0, int my = 0) {
    HDC screen = ::GetDC(nullptr);
    HBITMAP hBitmap = ::CreateCompatibleBitmap(screen, w, h);
    HDC dc = ::CreateCompatibleDC(screen);
    HGDIOBJ old = ::SelectObject(dc, hBitmap);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            ::SetPixelV(dc, x, y, x < w / 2 ? kLeft : kRight);
    }
    ::SetPixelV(dc, mx, my, kMarker);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
    return hBitmap;
}

class CTestSkinDlg : public CSkinDialog {
public:
    CTestSkinDlg() : CSkinDialog(IDD_SKIN) {}
};

class SkinDialogTest : public testing::Test {
protected:
    static constexpr int kW = 100;
    static constexpr int kH = 70;

    void SetUp() override {
        ASSERT_TRUE(dlg.Create(IDD_SKIN));
        dlg.SetWindowPos(nullptr, 300, 300, kW, kH, SWP_NOZORDER);
        CRect client;
        dlg.GetClientRect(&client);
        ASSERT_EQ(CSize(kW, kH), client.Size());
    }
    void TearDown() override {
        wt::MouseAway();
        dlg.DestroyWindow();
    }

    // What WM_ERASEBKGND paints, in a canvas of the client's size.
    struct Erased {
        explicit Erased(CSkinDialog& d) : canvas(kW, kH, RGB(1, 2, 3)) {
            d.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.dc()));
        }
        COLORREF operator()(int x, int y) const { return canvas.Pixel(x, y); }
        wt::DibCanvas canvas;
    };

    CTestSkinDlg dlg;
};

TEST_F(SkinDialogTest, EachBackgroundStylePlacesTheBitmap) {
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    ASSERT_TRUE(dlg.SetBitmap(PatternBitmap(30, 20)));
    struct Probe {
        int x, y;
        COLORREF expected;
    };
    struct Case {
        int style;
        Probe probes[5];
    };
    const Case cases[] = {
        {CSkinDialog::BACKGROUND_TOPLEFT,
         {{0, 0, kMarker}, {14, 19, kLeft}, {29, 19, kRight}, {30, 0, face}, {50, 50, face}}},
        {CSkinDialog::BACKGROUND_TILE,  // the last row and column cut at the edge
         {{30, 0, kMarker}, {90, 60, kMarker}, {99, 69, kLeft}, {29, 39, kRight}, {0, 40, kMarker}}},
        {CSkinDialog::BACKGROUND_CENTER,
         {{35, 25, kMarker}, {34, 25, face}, {64, 44, kRight}, {65, 44, face}, {35, 45, face}}},
        {CSkinDialog::BACKGROUND_STRETCH,
         {{0, 0, kMarker}, {99, 69, kRight}, {10, 60, kLeft}, {60, 10, kRight}, {0, 69, kLeft}}},
        {CSkinDialog::BACKGROUND_TOPLEFT_2,
         {{0, 0, kMarker}, {29, 19, kRight}, {30, 0, face}, {0, 20, face}, {99, 69, face}}},
    };
    for (const Case& c : cases) {
        dlg.SetBackgroundStyle(c.style);
        Erased erased(dlg);
        for (const Probe& p : c.probes)
            EXPECT_EQ(p.expected, erased(p.x, p.y)) << "style " << c.style << " at " << p.x << "," << p.y;
    }
}

TEST_F(SkinDialogTest, ABitmapLargerThanTheWindowIsCentredAndCut) {
    // 140 x 100 with the marker in its middle: it lands in the window's middle.
    ASSERT_TRUE(dlg.SetBitmap(PatternBitmap(140, 100, 70, 50)));
    dlg.SetBackgroundStyle(CSkinDialog::BACKGROUND_CENTER);
    Erased erased(dlg);
    EXPECT_EQ(kMarker, erased(50, 35));
    EXPECT_EQ(kLeft, erased(0, 0));
    EXPECT_EQ(kRight, erased(99, 69));
}

TEST_F(SkinDialogTest, OwnsItsBitmapAndRefusesOtherHandles) {
    HBITMAP first = PatternBitmap(30, 20);
    ASSERT_TRUE(dlg.SetBitmap(first));
    HBRUSH brush = ::CreateSolidBrush(RGB(1, 1, 1));
    EXPECT_FALSE(dlg.SetBitmap(reinterpret_cast<HBITMAP>(brush)));
    EXPECT_EQ(UINT(OBJ_BRUSH), ::GetObjectType(brush));
    ::DeleteObject(brush);
    EXPECT_EQ(UINT(OBJ_BITMAP), ::GetObjectType(first));
    EXPECT_EQ(kMarker, Erased(dlg)(0, 0));  // the refused call kept the background

    HBITMAP second = PatternBitmap(10, 10);
    ASSERT_TRUE(dlg.SetBitmap(second));
    EXPECT_EQ(0u, ::GetObjectType(first));
    ASSERT_TRUE(dlg.SetBitmap(nullptr));
    EXPECT_EQ(0u, ::GetObjectType(second));
    EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), Erased(dlg)(0, 0));

    HBITMAP third = PatternBitmap(10, 10);
    {
        CTestSkinDlg other;
        ASSERT_TRUE(other.SetBitmap(third));
    }
    EXPECT_EQ(0u, ::GetObjectType(third));
}

TEST_F(SkinDialogTest, DraggingTheSurfaceMovesTheWindowAPressOnAChildDoesNot) {
    dlg.ShowWindow(SW_SHOW);
    wt::Settle(dlg.m_hWnd);
    CRect before;
    dlg.GetWindowRect(&before);
    wt::Drag({before.left + 10, before.top + 10}, {before.left + 50, before.top + 40});
    CRect after;
    dlg.GetWindowRect(&after);
    EXPECT_EQ(before.left + 40, after.left);
    EXPECT_EQ(before.top + 30, after.top);
    EXPECT_EQ(before.Size(), after.Size());

    CRect button;
    ::GetWindowRect(::GetDlgItem(dlg.m_hWnd, IDC_PUSH), &button);
    const CPoint c = button.CenterPoint();
    wt::Drag(c, {c.x + 30, c.y + 30});
    CRect still;
    dlg.GetWindowRect(&still);
    EXPECT_EQ(after, still);

    // With dragging off, the surface stays put too.
    dlg.EnableDrag(FALSE);
    wt::Drag({after.left + 10, after.top + 10}, {after.left + 30, after.top + 30});
    dlg.GetWindowRect(&still);
    EXPECT_EQ(after, still);
}

TEST_F(SkinDialogTest, LayeredAttributesReachTheWindow) {
    ASSERT_TRUE(dlg.SetLayeredAttributes(0xE3EEEF, 230, LWA_COLORKEY | LWA_ALPHA));
    EXPECT_NE(0u, dlg.GetExStyle() & WS_EX_LAYERED);
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(::GetLayeredWindowAttributes(dlg.m_hWnd, &key, &alpha, &flags));
    EXPECT_EQ(COLORREF(0xE3EEEF), key);
    EXPECT_EQ(230, alpha);
    EXPECT_EQ(DWORD(LWA_COLORKEY | LWA_ALPHA), flags);
}

}  // namespace
