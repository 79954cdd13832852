// The region tracker in a real window under real mouse input: moving,
// resizing past the opposite corner, a rubber band, Escape; what it draws and
// which cursor it sets. A move and a resize through the press the pointer
// window forwards while it holds the capture are what the region end-to-end
// test does in vesk.exe.
#include "WidgetTestUtil.h"
#include "app/regions/NcTracker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <ostream>
#include <thread>

// Rectangles in failure messages as numbers, not as the pointer they convert to.
void PrintTo(const CRect& r, std::ostream* os) {
    *os << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

namespace {

constexpr UINT WM_TEST_PING = WM_APP + 1;
const CRect kStartRect(100, 80, 220, 160);
constexpr int kHostX = 100;
constexpr int kHostY = 100;

class CCountingTracker : public CNcTracker {
public:
    CCountingTracker() : CNcTracker(kStartRect) {}
    int changes = 0;
    void OnChangedRect(const CRect&) override { ++changes; }
};

class CTrackerHost : public CWnd {
public:
    CCountingTracker tracker;
    bool rubberBand = false;
    BOOL result = -1;
    bool inTrack = false;
    bool pingDuringTrack = false;

protected:
    afx_msg void OnLButtonDown(UINT, CPoint point) {
        inTrack = true;
        result = rubberBand ? tracker.TrackRubberBand(this, point, TRUE) : tracker.Track(this, point, TRUE);
        inTrack = false;
        Invalidate();
    }
    afx_msg BOOL OnEraseBkgnd(CDC* pDC) {
        CRect client;
        GetClientRect(&client);
        pDC->FillSolidRect(&client, RGB(255, 255, 255));
        tracker.Draw(pDC);
        return TRUE;
    }
    afx_msg LRESULT OnPing(WPARAM, LPARAM) {
        pingDuringTrack = inTrack;
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CTrackerHost, CWnd)
    ON_WM_LBUTTONDOWN()
    ON_WM_ERASEBKGND()
    ON_MESSAGE(WM_TEST_PING, OnPing)
END_MESSAGE_MAP()

struct Case {
    const char* what;
    bool rubberBand;
    bool escape;
    CPoint press;  // host client coordinates
    CPoint release;
    BOOL result;
    CRect rect;
};

class TrackerTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.CreateEx(0, nullptr, L"Tracker host", WS_POPUP | WS_VISIBLE, kHostX, kHostY, 400, 300,
                                  nullptr, nullptr));
        host.SetForegroundWindow();
        host.SetFocus();
        wt::Settle(host.m_hWnd);
    }
    void TearDown() override {
        host.DestroyWindow();
        wt::MouseAway();
    }

    static POINT OnScreen(CPoint p) { return POINT{p.x + kHostX, p.y + kHostY}; }

    // Press, two moves with a posted message between them, optionally
    // Escape, release: from a helper thread while this one pumps (the
    // tracker's loop runs inside the pump).
    void Drive(const Case& c) {
        wt::MouseMove(OnScreen(c.press).x, OnScreen(c.press).y);
        std::atomic<bool> done{false};
        const HWND hostWnd = host.m_hWnd;
        std::thread input([&] {
            // Pauses let the UI thread see each step; nothing is asserted on time.
            const POINT mid = OnScreen(CPoint((c.press.x + c.release.x) / 2, (c.press.y + c.release.y) / 2));
            const POINT release = OnScreen(c.release);
            ::Sleep(150);
            wt::MouseDown();
            ::Sleep(150);
            wt::MouseMove(mid.x, mid.y);
            ::Sleep(100);
            ::PostMessageW(hostWnd, WM_TEST_PING, 0, 0);
            ::Sleep(100);
            wt::MouseMove(release.x, release.y);
            ::Sleep(150);
            if (c.escape) {
                wt::KeyPress(VK_ESCAPE);
                ::Sleep(150);
            }
            wt::MouseUp();
            ::Sleep(150);
            done = true;
        });
        wt::PumpUntil([&] { return done.load(); }, 400);
        input.join();
        wt::Settle(host.m_hWnd);
    }

    CTrackerHost host;
};

TEST_F(TrackerTest, DragsMoveResizeAndCancel) {
    const Case cases[] = {
        {"move", false, false, {160, 120}, {200, 150}, TRUE, {140, 110, 260, 190}},
        {"resize past the opposite corner", false, false, {98, 78}, {300, 250}, TRUE, {302, 252, 220, 160}},
        {"rubber band", true, false, {30, 30}, {130, 90}, TRUE, {30, 30, 130, 90}},
        {"escape cancels", false, true, {160, 120}, {200, 150}, FALSE, kStartRect},
        {"press outside", false, false, {20, 250}, {60, 270}, FALSE, kStartRect},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host.tracker.m_rect = kStartRect;
        host.tracker.changes = 0;
        host.rubberBand = c.rubberBand;
        host.result = -1;
        host.pingDuringTrack = false;
        wt::Settle(host.m_hWnd);

        Drive(c);

        EXPECT_EQ(host.result, c.result);
        EXPECT_EQ(host.tracker.m_rect, c.rect);
        // The press outside starts no loop; in one, messages other than the
        // mouse's still reach their windows.
        const bool tracks = c.result || c.escape;
        EXPECT_EQ(host.pingDuringTrack, tracks);
        if (tracks) {
            EXPECT_GT(host.tracker.changes, 0);
            EXPECT_EQ(::GetCapture(), nullptr);  // given up, not handed back
        }
    }
}

TEST_F(TrackerTest, DrawsRedHandlesAndSetsHandleCursors) {
    host.tracker.m_rect = kStartRect;
    wt::Settle(host.m_hWnd);
    const COLORREF red = RGB(255, 0, 0);
    const COLORREF white = RGB(255, 255, 255);
    EXPECT_EQ(wt::WindowPixel(host.m_hWnd, 98, 78), red);     // top-left handle
    EXPECT_EQ(wt::WindowPixel(host.m_hWnd, 221, 161), red);   // bottom-right handle
    EXPECT_EQ(wt::WindowPixel(host.m_hWnd, 159, 78), red);    // top handle
    EXPECT_EQ(wt::WindowPixel(host.m_hWnd, 99, 90), RGB(0, 0, 0));  // outline
    EXPECT_EQ(wt::WindowPixel(host.m_hWnd, 97, 90), white);   // between handles
    EXPECT_EQ(wt::WindowPixel(host.m_hWnd, 150, 120), white);  // inside

    struct CursorCase {
        const char* what;
        CRect rect;
        CPoint at;
        LPCWSTR cursor;  // null: the owner chooses
    };
    const CursorCase cases[] = {
        {"inside", kStartRect, {150, 120}, IDC_SIZEALL},
        {"top-left handle", kStartRect, {98, 78}, IDC_SIZENWSE},
        {"top-right handle", kStartRect, {221, 78}, IDC_SIZENESW},
        {"left handle", kStartRect, {97, 120}, IDC_SIZEWE},
        {"inverted both: handle at the bottom left", CRect(220, 160, 100, 80), {98, 161}, IDC_SIZENESW},
        {"outside", kStartRect, {20, 250}, nullptr},
    };
    for (const CursorCase& c : cases) {
        SCOPED_TRACE(c.what);
        host.tracker.m_rect = c.rect;
        wt::MouseMove(kHostX + c.at.x, kHostY + c.at.y);
        ::SetCursor(nullptr);
        const BOOL set = host.tracker.SetCursor(&host, HTCLIENT);
        EXPECT_EQ(set, c.cursor != nullptr);
        if (c.cursor) {
            EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, c.cursor));
        }
        EXPECT_FALSE(host.tracker.SetCursor(&host, HTCAPTION));
    }
}

}  // namespace
