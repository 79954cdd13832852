// The information window and the magnifier opened against a stand-in region
// window, as a region capture opens them. (The pointer window's forwarding,
// polling and teardown are what every region end-to-end capture goes through.)
#include "WidgetTestUtil.h"
#include "app/regions/MagnifierWnd.h"
#include "app/regions/RegionViewWnd.h"

#include <gtest/gtest.h>

namespace {

BOOL CALLBACK CountWindow(HWND, LPARAM p) { return ++*reinterpret_cast<int*>(p), TRUE; }

int CountWindows() {
    int count = 0;
    ::EnumThreadWindows(::GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

// A hidden region window far from the pointer.
class CStandInRegion : public CWnd, public IRegionOwner {
public:
    HWND GetRegionWindow() const override { return m_hWnd; }
    bool IsTrackerMode() const override { return false; }
    RECT GetRegion() const override { return {300, 300, 420, 380}; }
    COLORREF GetColorAt(POINT) const override { return RGB(255, 0, 0); }
};

TEST(RegionWindows, InfoWindowAndMagnifierFollowThePointerAndTearDownCleanly) {
    const int windows = CountWindows();
    {
        CStandInRegion region;
        ASSERT_TRUE(region.CreateEx(0, AfxRegisterWndClass(0), L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
        wt::MouseMove(600, 500);

        auto* info = new CRegionViewWnd(&region);
        info->m_bLiveScreen = true;
        ASSERT_TRUE(info->Create(&region));
        info->ShowWindow(SW_SHOW);
        auto* magnifier = new CMagnifierWnd(&region);
        magnifier->m_bLiveScreen = true;
        ASSERT_TRUE(magnifier->Create(&region));
        magnifier->ShowWindow(SW_SHOW);

        CRect r;
        magnifier->GetWindowRect(&r);
        EXPECT_EQ(r.TopLeft(), CPoint(620, 520));
        info->GetWindowRect(&r);
        EXPECT_EQ(r.TopLeft(), CPoint(0, 0));

        // The pointer over the information window's corner: it hops to the right.
        wt::MouseMove(20, 60);
        const int cx = ::GetSystemMetrics(SM_CXSCREEN);
        auto infoAt = [&] { return info->GetWindowRect(&r), r.right == cx; };
        EXPECT_TRUE(wt::PumpUntil(infoAt, 400));
        EXPECT_EQ(r.top, 0);
        // The region is far off: the magnifier follows 20 pixels below and right.
        auto magnifierAt = [&] { return magnifier->GetWindowRect(&r), r.TopLeft() == CPoint(40, 80); };
        EXPECT_TRUE(wt::PumpUntil(magnifierAt, 400));

        info->DestroyWindow();
        delete info;
        magnifier->DestroyWindow();
        delete magnifier;
        region.DestroyWindow();
        wt::PumpMessages();
    }
    wt::MouseAway();
    EXPECT_EQ(CountWindows(), windows);
}

}  // namespace
