// The pointer window, the information window and the magnifier opened against
// a stand-in region window, as a region capture opens them.
#include "WidgetTestUtil.h"
#include "app/regions/MagnifierWnd.h"
#include "app/regions/RegionPointerWnd.h"
#include "app/regions/RegionViewWnd.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <algorithm>
#include <vector>

namespace {

int CountThreads() {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == ::GetCurrentProcessId();
    ::CloseHandle(snapshot);
    return count;
}

BOOL CALLBACK CountWindow(HWND, LPARAM p) {
    ++*reinterpret_cast<int*>(p);
    return TRUE;
}

int CountWindows() {
    int count = 0;
    ::EnumThreadWindows(::GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

// A hidden region window that records what reaches it.
class CStandInRegion : public CWnd, public IRegionOwner {
public:
    HWND GetRegionWindow() const override { return m_hWnd; }
    bool IsTrackerMode() const override { return false; }
    RECT GetRegion() const override { return {300, 300, 420, 380}; }
    COLORREF GetColorAt(POINT) const override { return RGB(255, 0, 0); }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_MOUSEMOVE || message == WM_LBUTTONDOWN || message == WM_LBUTTONUP)
            received.push_back({message, lParam});
        return CWnd::WindowProc(message, wParam, lParam);
    }
    int Count(UINT message) const {
        return static_cast<int>(std::count_if(received.begin(), received.end(), [&](auto& r) { return r.first == message; }));
    }
    LPARAM Last(UINT message) const {
        auto it = std::find_if(received.rbegin(), received.rend(), [&](auto& r) { return r.first == message; });
        return it == received.rend() ? -1 : it->second;
    }

    std::vector<std::pair<UINT, LPARAM>> received;
};

TEST(RegionWindows, PointerWindowFeedsTheRegionWindowAndTearsDownCleanly) {
    const int threads = CountThreads();
    const int windows = CountWindows();
    {
        CStandInRegion region;
        ASSERT_TRUE(region.CreateEx(0, AfxRegisterWndClass(0), L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
        wt::MouseMove(200, 150);

        auto* pointer = new CRegionPointerWnd(&region);
        ASSERT_TRUE(pointer->Create(&region));
        pointer->SetCapture();
        CRect r;
        pointer->GetWindowRect(&r);
        EXPECT_EQ(r, CRect(0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)));
        EXPECT_TRUE(pointer->GetExStyle() & WS_EX_LAYERED);
        EXPECT_TRUE(pointer->IsPolling());

        // The poller reports the position every 100 ms.
        EXPECT_TRUE(wt::PumpUntil([&] { return region.Count(WM_MOUSEMOVE) >= 2; }, 400));
        EXPECT_EQ(region.Last(WM_MOUSEMOVE), MAKELPARAM(200, 150));

        // A click: the press and the release reach the region window, and the
        // pointer window covers the screen again afterwards.
        wt::MouseDown();
        EXPECT_TRUE(wt::PumpUntil([&] { return region.Count(WM_LBUTTONDOWN) == 1; }));
        wt::MouseMove(240, 170);
        wt::MouseUp();
        EXPECT_TRUE(wt::PumpUntil([&] { return region.Count(WM_LBUTTONUP) == 1; }));
        EXPECT_EQ(region.Last(WM_LBUTTONUP), MAKELPARAM(240, 170));
        pointer->GetWindowRect(&r);
        EXPECT_EQ(r.Width(), ::GetSystemMetrics(SM_CXSCREEN));

        // A right-button release gives the capture up.
        pointer->SendMessage(WM_RBUTTONUP);
        EXPECT_EQ(::GetCapture(), nullptr);

        pointer->DestroyWindow();
        EXPECT_FALSE(pointer->IsPolling());
        delete pointer;
        region.DestroyWindow();
        wt::PumpMessages();
    }
    EXPECT_EQ(CountThreads(), threads);
    EXPECT_EQ(CountWindows(), windows);
}

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
