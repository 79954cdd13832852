// CMemDC: what lands in the target, where, and what is left behind.
#include "WidgetTestUtil.h"
#include "widgets/MemDC.h"

#include <gtest/gtest.h>

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kGreen = RGB(0, 160, 0);

// Sees the handles a CMemDC makes, to check they are gone afterwards.
class CProbeMemDC : public CMemDC {
public:
    using CMemDC::CMemDC;
    HBITMAP Bitmap() const { return static_cast<HBITMAP>(m_bitmap.m_hObject); }
};

TEST(MemDC, CopiesOnlyTheClipBoxBackThroughTheTargetsClipRegion) {
    wt::DibCanvas canvas(100, 80, kWhite);
    CDC target;
    target.Attach(canvas.dc());
    // Two separate rectangles: the clip box spans both, the region does not.
    CRgn left;
    CRgn right;
    left.CreateRectRgn(10, 20, 30, 50);
    right.CreateRectRgn(50, 20, 70, 50);
    left.CombineRgn(&left, &right, RGN_OR);
    target.SelectClipRgn(&left);
    {
        CMemDC mem(&target);
        ASSERT_TRUE(mem.IsBuffered());
        EXPECT_EQ(CRect(10, 20, 70, 50), mem.GetPaintRect());
        mem.FillSolidRect(0, 0, 100, 80, kBlue);
        mem.FillSolidRect(60, 40, 5, 5, kRed);
        // Nothing reaches the target before the copy.
        EXPECT_EQ(kWhite, canvas.Pixel(15, 25));
    }
    target.Detach();

    struct Case {
        int x, y;
        COLORREF expected;
    };
    const Case cases[] = {
        {15, 25, kBlue},  {60, 40, kRed},   {64, 44, kRed},    {65, 45, kBlue},
        {40, 30, kWhite},  // between the rectangles: inside the clip box, outside the region
        {5, 5, kWhite},   {90, 70, kWhite}, {10, 19, kWhite},  {69, 49, kBlue},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, canvas.Pixel(c.x, c.y)) << c.x << "," << c.y;
}

TEST(MemDC, StartsFromTheTargetsBackgroundColourAndLogicalCoordinates) {
    wt::DibCanvas canvas(100, 80, kWhite);
    CDC target;
    target.Attach(canvas.dc());
    // A scrolled target: logical (40, 30) is device (10, 20).
    target.SetViewportOrg(-30, -10);
    target.IntersectClipRect(35, 25, 75, 55);
    target.SetBkColor(kGreen);
    {
        CMemDC mem(&target);
        EXPECT_EQ(CRect(35, 25, 75, 55), mem.GetPaintRect());
        mem.SetPixelV(40, 30, kRed);
    }
    target.Detach();
    EXPECT_EQ(kRed, canvas.Pixel(10, 20));
    EXPECT_EQ(kGreen, canvas.Pixel(5, 15));   // logical (35, 25): the background fill
    EXPECT_EQ(kGreen, canvas.Pixel(44, 44));  // logical (74, 54)
    EXPECT_EQ(kWhite, canvas.Pixel(45, 45));
    EXPECT_EQ(kWhite, canvas.Pixel(4, 14));
}

TEST(MemDC, LeavesNoHandlesBehindAndTheTargetUntouched) {
    wt::DibCanvas canvas(40, 40, kWhite);
    CDC target;
    target.Attach(canvas.dc());
    HBITMAP hBitmap = nullptr;
    HDC hMemDC = nullptr;
    {
        CProbeMemDC mem(&target);
        hBitmap = mem.Bitmap();
        hMemDC = mem.m_hDC;
        ASSERT_NE(nullptr, hBitmap);
        ASSERT_NE(canvas.dc(), hMemDC);
        EXPECT_EQ(hBitmap, ::GetCurrentObject(hMemDC, OBJ_BITMAP));
    }
    // Deleting a bitmap still selected into a DC fails, so this also shows the
    // previous bitmap went back in first.
    EXPECT_EQ(0u, ::GetObjectType(hBitmap));
    EXPECT_EQ(0u, ::GetObjectType(hMemDC));
    EXPECT_EQ(canvas.bitmap(), ::GetCurrentObject(canvas.dc(), OBJ_BITMAP));
    target.Detach();
}

TEST(MemDC, WithAnEmptyClipBoxDrawsStraightIntoTheTarget) {
    wt::DibCanvas canvas(20, 20, kWhite);
    CDC target;
    target.Attach(canvas.dc());
    target.IntersectClipRect(0, 0, 0, 0);
    {
        CMemDC mem(&target);
        EXPECT_FALSE(mem.IsBuffered());
        EXPECT_EQ(canvas.dc(), mem.m_hDC);
        mem.SetPixelV(3, 3, kRed);  // clipped away by the target itself
    }
    EXPECT_EQ(kWhite, canvas.Pixel(3, 3));
    EXPECT_NE(0u, ::GetObjectType(canvas.dc()));
    target.Detach();
}

}  // namespace
