// The resizable hosts: the dialog's frame, minimum size and grip, and the form
// view's grip reasons and anchors over the scrollable form.
#include "WidgetTestUtil.h"
#include "WidgetsTestRes.h"
#include "widgets/ResizableDialog.h"
#include "widgets/ResizableFormView.h"

#include <gtest/gtest.h>

namespace {

class CHostDlg : public CResizableDialog {
public:
    explicit CHostDlg(UINT nID = IDD_EMPTY) : CResizableDialog(nID) {}
    HWND Grip() const { return m_wndGrip.m_hWnd; }
    CSize createdSize;

protected:
    int OnCreate(LPCREATESTRUCT lpcs) {
        const int result = CResizableDialog::OnCreate(lpcs);
        CRect r;
        GetWindowRect(&r);
        createdSize = r.Size();
        return result;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CHostDlg, CResizableDialog)
    ON_WM_CREATE()
END_MESSAGE_MAP()

bool IsShown(HWND hWnd) {
    return (::GetWindowLongW(hWnd, GWL_STYLE) & WS_VISIBLE) != 0;
}

CRect WindowRect(HWND hWnd) {
    CRect r;
    ::GetWindowRect(hWnd, &r);
    return r;
}

class ResizableDialogTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dlg.Create(IDD_EMPTY));
        dlg.SetWindowPos(nullptr, 100, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        dlg.ShowWindow(SW_SHOW);
        wt::Settle(dlg.m_hWnd);
    }
    void TearDown() override {
        dlg.DestroyWindow();
        wt::MouseAway();
    }
    CHostDlg dlg;
};

TEST_F(ResizableDialogTest, KeepsTheTemplatesClientSizeUnderASizingFrame) {
    CDialog plain(IDD_EMPTY);
    ASSERT_TRUE(plain.Create(IDD_EMPTY));
    CRect expected;
    plain.GetClientRect(&expected);
    plain.DestroyWindow();

    CRect client;
    dlg.GetClientRect(&client);
    EXPECT_EQ(expected.Size(), client.Size());
    EXPECT_NE(0u, dlg.GetStyle() & WS_THICKFRAME);
    EXPECT_EQ(0u, dlg.GetStyle() & DS_MODALFRAME);

    ASSERT_TRUE(dlg.HasMinTrackSize());
    EXPECT_EQ(dlg.createdSize, dlg.GetMinTrackSize());
    MINMAXINFO mmi = {};
    mmi.ptMaxTrackSize = {5000, 4000};
    dlg.SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    EXPECT_EQ(dlg.createdSize.cx, mmi.ptMinTrackSize.x);
    EXPECT_EQ(dlg.createdSize.cy, mmi.ptMinTrackSize.y);
    EXPECT_EQ(5000, mmi.ptMaxTrackSize.x);
}

TEST_F(ResizableDialogTest, TheGripSitsInTheCornerAndSizesTheDialog) {
    HWND hGrip = dlg.Grip();
    ASSERT_TRUE(::IsWindow(hGrip));
    EXPECT_TRUE(IsShown(hGrip));
    CRect client;
    dlg.GetClientRect(&client);
    CRect grip = WindowRect(hGrip);
    dlg.ScreenToClient(&grip);
    EXPECT_EQ(client.BottomRight(), grip.BottomRight());
    EXPECT_EQ(LRESULT(HTBOTTOMRIGHT), ::SendMessageW(hGrip, WM_NCHITTEST, 0, 0));
    EXPECT_EQ(LRESULT(DLGC_STATIC), ::SendMessageW(hGrip, WM_GETDLGCODE, 0, 0));

    // Only the triangle below the diagonal takes the mouse.
    CRgn region;
    region.CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(ERROR, ::GetWindowRgn(hGrip, region));
    EXPECT_TRUE(region.PtInRegion(grip.Width() - 2, grip.Height() - 2));
    EXPECT_FALSE(region.PtInRegion(1, 1));

    const CRect before = WindowRect(dlg.m_hWnd);
    const CRect gripScreen = WindowRect(hGrip);
    const POINT from = {gripScreen.right - 3, gripScreen.bottom - 3};
    wt::Drag(from, {from.x + 60, from.y + 40});
    CRect after = WindowRect(dlg.m_hWnd);
    EXPECT_EQ(before.TopLeft(), after.TopLeft());
    EXPECT_EQ(before.Width() + 60, after.Width());
    EXPECT_EQ(before.Height() + 40, after.Height());
    // The grip followed the corner.
    CRect gripAfter = WindowRect(hGrip);
    EXPECT_EQ(gripScreen.Width(), gripAfter.Width());
    dlg.GetClientRect(&client);
    dlg.ScreenToClient(&gripAfter);
    EXPECT_EQ(client.BottomRight(), gripAfter.BottomRight());

    // Dragging far up and left stops at the size the dialog was created with.
    const CRect gripNow = WindowRect(hGrip);
    const POINT from2 = {gripNow.right - 3, gripNow.bottom - 3};
    wt::Drag(from2, {from2.x - 300, from2.y - 250});
    after = WindowRect(dlg.m_hWnd);
    EXPECT_EQ(dlg.createdSize, after.Size());
}

TEST_F(ResizableDialogTest, MaximisingHidesTheGripRestoringShowsIt) {
    HWND hGrip = dlg.Grip();
    struct Step {
        int show;
        bool gripShown;
    };
    // Restoring a window minimised from maximised brings it back maximised.
    const Step steps[] = {{SW_MAXIMIZE, false}, {SW_RESTORE, true},  {SW_MINIMIZE, true},
                          {SW_RESTORE, true},   {SW_MAXIMIZE, false}, {SW_MINIMIZE, true},
                          {SW_RESTORE, false},  {SW_RESTORE, true}};
    for (const Step& s : steps) {
        dlg.ShowWindow(s.show);
        wt::Settle();
        EXPECT_EQ(s.gripShown, IsShown(hGrip)) << "after ShowWindow " << s.show;
    }
}

TEST(ResizableDialog, AChildDialogKeepsItsStyleAndNeverShowsTheGrip) {
    CHostDlg parent;
    ASSERT_TRUE(parent.Create(IDD_EMPTY));
    CHostDlg pane(IDD_FORM);
    ASSERT_TRUE(pane.Create(IDD_FORM, &parent));
    EXPECT_EQ(0u, pane.GetStyle() & WS_THICKFRAME);
    EXPECT_FALSE(pane.HasMinTrackSize());
    ASSERT_TRUE(::IsWindow(pane.Grip()));
    pane.SetWindowPos(nullptr, 0, 0, 300, 200, SWP_NOZORDER | SWP_NOMOVE);
    pane.ShowWindow(SW_SHOW);
    EXPECT_FALSE(IsShown(pane.Grip()));
    pane.DestroyWindow();
    parent.DestroyWindow();
}

TEST_F(ResizableDialogTest, RightToLeftGripReportsTheBottomLeftCorner) {
    CWnd::ModifyStyleEx(dlg.Grip(), 0, WS_EX_LAYOUTRTL, 0);
    EXPECT_EQ(LRESULT(HTBOTTOMLEFT), ::SendMessageW(dlg.Grip(), WM_NCHITTEST, 0, 0));
}

// ---------------------------------------------------------------------------
// Form view

class CTestFormView : public CResizableFormView {
public:
    CTestFormView() : CResizableFormView(IDD_FORM) {}
    HWND Grip() const { return m_wndGrip.m_hWnd; }
    CRect templateEdit;
    CRect templatePush;

    void OnInitialUpdate() override {
        templateEdit = ChildRect(IDC_EDIT);
        templatePush = ChildRect(IDC_PUSH);
        AddAnchor(IDC_EDIT, ANCHOR_TOP_LEFT, ANCHOR_TOP_RIGHT);
        AddAnchor(IDC_PUSH, ANCHOR_BOTTOM_RIGHT);
        CResizableFormView::OnInitialUpdate();
    }

    CRect ChildRect(int id) const {
        CRect r = WindowRect(::GetDlgItem(m_hWnd, id));
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<LPPOINT>(&r), 2);
        return r;
    }
};

class ResizableFormViewTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(frame.CreateEx(0, nullptr, L"frame", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 50, 50, 500, 400,
                                   nullptr, nullptr));
        frame.ShowWindow(SW_SHOW);
        CRect client;
        frame.GetClientRect(&client);
        ASSERT_TRUE(view.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, client, &frame, 1));
        total = view.GetTotalSize();
        ASSERT_GT(total.cx, 0);
        view.SendMessage(WM_INITIALUPDATE);
        wt::Settle(frame.m_hWnd);
    }
    void TearDown() override { frame.DestroyWindow(); }

    // Resizes the frame and keeps the view filling its client area.
    void FitView(int frameCx, int frameCy, int marginRight = 0) {
        frame.SetWindowPos(nullptr, 0, 0, frameCx, frameCy, SWP_NOMOVE | SWP_NOZORDER);
        CRect client;
        frame.GetClientRect(&client);
        view.MoveWindow(0, 0, client.Width() - marginRight, client.Height());
        wt::PumpMessages();
    }

    CWnd frame;
    CTestFormView view;
    CSize total;
};

TEST_F(ResizableFormViewTest, AnchorsResolveOverTheDesignedFormFirst) {
    CRect client;
    view.GetClientRect(&client);
    ASSERT_GT(client.Width(), total.cx);
    // Registered before the first update: margins from the template's own size.
    const CRect push = view.ChildRect(IDC_PUSH);
    EXPECT_EQ(total.cx - view.templatePush.right, client.right - push.right);
    EXPECT_EQ(total.cy - view.templatePush.bottom, client.bottom - push.bottom);
    const CRect edit = view.ChildRect(IDC_EDIT);
    EXPECT_EQ(view.templateEdit.left, edit.left);
    EXPECT_EQ(total.cx - view.templateEdit.right, client.right - edit.right);
}

TEST_F(ResizableFormViewTest, AViewSmallerThanItsFormScrollsInsteadOfSqueezing) {
    FitView(total.cx / 2 + 40, total.cy / 2 + 60);
    CRect client;
    view.GetClientRect(&client);
    ASSERT_LT(client.Width(), total.cx);
    EXPECT_NE(0u, view.GetStyle() & WS_HSCROLL);
    // Anchored over the whole form, the controls stay where the template put them.
    EXPECT_EQ(view.templatePush, view.ChildRect(IDC_PUSH));
    EXPECT_EQ(view.templateEdit, view.ChildRect(IDC_EDIT));
}

TEST_F(ResizableFormViewTest, GripShowsOnlyWhenNoReasonHidesIt) {
    struct Case {
        const char* what;
        int frameCx, frameCy, marginRight;
        bool maximise;
        bool gripShown;
    };
    const Case cases[] = {
        {"fills the corner", 500, 400, 0, false, true},
        {"smaller than its form", 150, 120, 0, false, false},
        {"leaves the corner free", 500, 400, 20, false, false},
        {"frame maximised", 500, 400, 0, true, false},
        {"back to normal", 520, 410, 0, false, true},
    };
    for (const Case& c : cases) {
        if (c.maximise) {
            frame.ShowWindow(SW_MAXIMIZE);
            CRect client;
            frame.GetClientRect(&client);
            view.MoveWindow(&client);
        } else {
            frame.ShowWindow(SW_RESTORE);
            FitView(c.frameCx, c.frameCy, c.marginRight);
        }
        wt::PumpMessages();
        EXPECT_EQ(c.gripShown, IsShown(view.Grip())) << c.what;
        if (c.gripShown) {
            CRect client;
            view.GetClientRect(&client);
            CRect grip = WindowRect(view.Grip());
            view.ScreenToClient(&grip);
            EXPECT_EQ(client.BottomRight(), grip.BottomRight()) << c.what;
        }
    }
}

}  // namespace
