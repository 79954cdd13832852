// CSplitterControl: creation, dragging under real mouse input, clamping,
// the notification, the drag line on the screen and the resize helpers.
#include "WidgetTestUtil.h"
#include "WidgetsTestRes.h"
#include "widgets/SplitterControl.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

class CSplitHostDlg : public CDialog {
public:
    CSplitHostDlg() : CDialog(IDD_EMPTY) {}
    CSplitterControl vertical;
    CSplitterControl horizontal;
    std::vector<std::pair<HWND, int>> notified;  // (bar, delta)

protected:
    afx_msg void OnSized(NMHDR* pNMHDR, LRESULT* pResult) {
        notified.emplace_back(pNMHDR->hwndFrom, reinterpret_cast<SPC_NMHDR*>(pNMHDR)->delta);
        *pResult = 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CSplitHostDlg, CDialog)
    ON_NOTIFY(SPN_SIZED, CSplitterControl::kControlId, OnSized)
END_MESSAGE_MAP()

CRect RectIn(HWND hWnd, HWND hParent) {
    CRect r;
    ::GetWindowRect(hWnd, &r);
    ::MapWindowPoints(nullptr, hParent, reinterpret_cast<LPPOINT>(&r), 2);
    return r;
}

// A screen strip, read back through the screen DC.
std::vector<COLORREF> ScreenColumn(int x, int top, int bottom) {
    std::vector<COLORREF> column;
    HDC screen = ::GetDC(nullptr);
    for (int y = top; y < bottom; ++y)
        column.push_back(::GetPixel(screen, x, y));
    ::ReleaseDC(nullptr, screen);
    return column;
}

class SplitterControlTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dlg.Create(IDD_EMPTY));
        dlg.SetWindowPos(nullptr, 100, 100, 420, 320, SWP_NOZORDER);
        ASSERT_TRUE(dlg.vertical.Create(CRect(200, 10, 210, 200), &dlg));
        ASSERT_TRUE(dlg.horizontal.Create(CRect(10, 240, 250, 250), &dlg));
        dlg.ShowWindow(SW_SHOW);
        dlg.SetForegroundWindow();
        wt::Settle(dlg.m_hWnd);
    }
    void TearDown() override {
        wt::MouseUp();
        wt::MouseAway();
        dlg.DestroyWindow();
    }

    CPoint CentreOnScreen(CSplitterControl& bar) {
        CRect r;
        bar.GetWindowRect(&r);
        return CPoint(r.left + r.Width() / 2, r.top + r.Height() / 2);
    }

    // Presses on the bar, moves by (dx, dy) and releases.
    void DragBar(CSplitterControl& bar, int dx, int dy) {
        const CPoint c = CentreOnScreen(bar);
        wt::MouseMove(c.x, c.y);
        wt::MouseDown();
        wt::MouseMove(c.x + dx, c.y + dy);
        wt::PumpMessages();
        wt::MouseUp();
        wt::PumpUntil([] { return ::GetCapture() == nullptr; });
    }

    CSplitHostDlg dlg;
};

TEST_F(SplitterControlTest, CreationPicksTheOrientationAndAFivePixelBar) {
    EXPECT_EQ(CSplitterControl::SPS_VERTICAL, dlg.vertical.GetOrientation());
    EXPECT_EQ(CRect(200, 10, 205, 200), RectIn(dlg.vertical.m_hWnd, dlg.m_hWnd));
    EXPECT_EQ(CSplitterControl::SPS_HORIZONTAL, dlg.horizontal.GetOrientation());
    EXPECT_EQ(CRect(10, 240, 250, 245), RectIn(dlg.horizontal.m_hWnd, dlg.m_hWnd));
    EXPECT_EQ(1004, dlg.vertical.GetDlgCtrlID());
    EXPECT_EQ(DWORD(0x50000100), dlg.vertical.GetStyle());

    CSplitterControl square;
    ASSERT_TRUE(square.Create(CRect(300, 10, 320, 30), &dlg));
    EXPECT_EQ(CSplitterControl::SPS_HORIZONTAL, square.GetOrientation());

    // The bar's colours: a frame and a pale face.
    wt::Settle(dlg.m_hWnd);
    EXPECT_EQ(RGB(215, 210, 191), wt::WindowPixel(dlg.vertical.m_hWnd, 0, 0));
    EXPECT_EQ(RGB(240, 255, 241), wt::WindowPixel(dlg.vertical.m_hWnd, 2, 50));
}

TEST_F(SplitterControlTest, DraggingReportsTheDistanceWithinTheRange) {
    // Centre x of the vertical bar is 202; allow 150..260.
    dlg.vertical.SetRange(150, 260);
    dlg.horizontal.SetRange(200, 280);
    struct Case {
        bool vertical;
        int move;
        int delta;
    };
    const Case cases[] = {
        {true, 30, 30},    // 202 -> 232
        {true, 100, 28},   // stops at 260
        {true, -200, -110},
        {true, 0, 0},      // released where pressed
        {false, -25, -25},  // 242 -> 217
        {false, 200, 63},   // stops at 280
    };
    for (const Case& c : cases) {
        CSplitterControl& bar = c.vertical ? dlg.vertical : dlg.horizontal;
        const CRect before = RectIn(bar.m_hWnd, dlg.m_hWnd);
        dlg.notified.clear();
        DragBar(bar, c.vertical ? c.move : 0, c.vertical ? 0 : c.move);
        ASSERT_EQ(1u, dlg.notified.size()) << c.move;
        EXPECT_EQ(bar.m_hWnd, dlg.notified[0].first);
        EXPECT_EQ(c.delta, dlg.notified[0].second) << c.move;
        // The bar moved along with it and kept its size.
        CRect after = RectIn(bar.m_hWnd, dlg.m_hWnd);
        CRect expected = before;
        expected.OffsetRect(c.vertical ? c.delta : 0, c.vertical ? 0 : c.delta);
        EXPECT_EQ(expected, after) << c.move;
    }
}

TEST_F(SplitterControlTest, WithoutARangeTheBarStaysPut) {
    const CRect before = RectIn(dlg.vertical.m_hWnd, dlg.m_hWnd);
    DragBar(dlg.vertical, 40, 0);
    ASSERT_EQ(1u, dlg.notified.size());
    EXPECT_EQ(0, dlg.notified[0].second);
    EXPECT_EQ(before, RectIn(dlg.vertical.m_hWnd, dlg.m_hWnd));
}

TEST_F(SplitterControlTest, TheDragLineShowsOnTheScreenAndLeavesNoMarks) {
    dlg.vertical.SetRange(100, 300);
    CRect bar;
    dlg.vertical.GetWindowRect(&bar);
    const CPoint c = CentreOnScreen(dlg.vertical);
    const int x1 = c.x + 40;
    const int x2 = c.x + 80;
    const auto clean1 = ScreenColumn(x1 - 1, bar.top, bar.bottom);
    const auto clean2 = ScreenColumn(x2 + 1, bar.top, bar.bottom);

    wt::MouseMove(c.x, c.y);
    wt::MouseDown();
    wt::MouseMove(x1, c.y);
    wt::Settle();
    EXPECT_NE(clean1, ScreenColumn(x1 - 1, bar.top, bar.bottom));
    wt::MouseMove(x2, c.y);
    wt::Settle();
    EXPECT_EQ(clean1, ScreenColumn(x1 - 1, bar.top, bar.bottom));
    EXPECT_NE(clean2, ScreenColumn(x2 + 1, bar.top, bar.bottom));

    // Capture taken away mid-drag: the line goes, nothing is reported.
    dlg.SetCapture();
    wt::Settle();
    EXPECT_EQ(clean2, ScreenColumn(x2 + 1, bar.top, bar.bottom));
    ::ReleaseCapture();
    wt::MouseUp();
    wt::Settle();
    EXPECT_TRUE(dlg.notified.empty());
    EXPECT_EQ(clean1, ScreenColumn(x1 - 1, bar.top, bar.bottom));
}

TEST_F(SplitterControlTest, ChangeWidthAndHeightMoveTheChosenEdge) {
    CWnd pane;
    ASSERT_TRUE(pane.Create(nullptr, L"", WS_CHILD | WS_VISIBLE, CRect(20, 20, 120, 90), &dlg, 77));
    struct Case {
        bool width;
        int by;
        DWORD flag;
        CRect expected;
    };
    const Case cases[] = {
        {true, 15, CSplitterControl::CW_LEFTALIGN, {20, 20, 135, 90}},
        {true, -5, CSplitterControl::CW_RIGHTALIGN, {15, 20, 135, 90}},
        {false, 10, CSplitterControl::CW_TOPALIGN, {15, 20, 135, 100}},
        {false, 4, CSplitterControl::CW_BOTTOMALIGN, {15, 24, 135, 100}},
    };
    for (const Case& c : cases) {
        if (c.width)
            CSplitterControl::ChangeWidth(&pane, c.by, c.flag);
        else
            CSplitterControl::ChangeHeight(&pane, c.by, c.flag);
        EXPECT_EQ(c.expected, RectIn(pane.m_hWnd, dlg.m_hWnd));
    }
    // A window without a parent is left alone.
    CRect before;
    dlg.GetWindowRect(&before);
    CSplitterControl::ChangeWidth(&dlg, 50);
    CSplitterControl::ChangeHeight(&dlg, 50);
    CRect after;
    dlg.GetWindowRect(&after);
    EXPECT_EQ(before, after);
    CSplitterControl::ChangeWidth(nullptr, 5);
}

}  // namespace
