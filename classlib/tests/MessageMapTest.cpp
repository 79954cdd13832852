// Message maps: typed dispatch, commands and notifications, reflection,
// creation through the hook and subclassing.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr UINT WM_TEST_PRIVATE = WM_APP + 50;
const UINT g_registeredMessage = ::RegisterWindowMessageW(L"VeskClasslibTestMessage");

class CRecorderWnd : public test::CHostWnd {
public:
    std::vector<std::wstring> log;
    std::wstring createdName;
    bool createdBeforeReturn = false;
    CPoint lastPoint;
    UINT lastFlags = 0;
    int lastCx = -1;
    int lastCy = -1;
    UINT lastCommand = 0;
    UINT lastNotifyId = 0;
    LRESULT privateResult = 0;

protected:
    afx_msg int OnCreate(LPCREATESTRUCT cs) {
        createdName = cs->lpszName ? cs->lpszName : L"";
        log.push_back(L"create");
        return CWnd::OnCreate(cs);
    }
    afx_msg void OnSize(UINT, int cx, int cy) {
        lastCx = cx;
        lastCy = cy;
    }
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point) {
        lastFlags = nFlags;
        lastPoint = point;
        log.push_back(L"lbuttondown");
    }
    afx_msg LRESULT OnPrivate(WPARAM wParam, LPARAM lParam) {
        log.push_back(L"private");
        return static_cast<LRESULT>(wParam + lParam);
    }
    afx_msg LRESULT OnRegistered(WPARAM, LPARAM) {
        log.push_back(L"registered");
        return 7;
    }
    afx_msg void OnCommandOne() { log.push_back(L"command"); }
    afx_msg void OnCommandRange(UINT nID) { lastCommand = nID; }
    afx_msg void OnButtonClicked() { log.push_back(L"parent-clicked"); }
    afx_msg void OnNotifyRange(UINT nID, NMHDR*, LRESULT* pResult) {
        lastNotifyId = nID;
        *pResult = 42;
    }
    afx_msg void OnCustomNotify(NMHDR* pNMHDR, LRESULT* pResult) {
        log.push_back(L"parent-notify");
        *pResult = static_cast<LRESULT>(pNMHDR->code == 1234 ? 11 : 0);
    }
    afx_msg void OnDestroy() {
        log.push_back(L"destroy");
        CWnd::OnDestroy();
    }
    afx_msg LRESULT OnIdleUpdate(WPARAM, LPARAM) {
        log.push_back(L"idle");
        return 0;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CRecorderWnd, test::CHostWnd)
    ON_WM_CREATE()
    ON_WM_SIZE()
    ON_WM_LBUTTONDOWN()
    ON_WM_DESTROY()
    ON_MESSAGE(WM_TEST_PRIVATE, OnPrivate)
    ON_MESSAGE(WM_IDLEUPDATECMDUI, OnIdleUpdate)
    ON_REGISTERED_MESSAGE(g_registeredMessage, OnRegistered)
    ON_COMMAND(40001, OnCommandOne)
    ON_COMMAND_RANGE(40010, 40019, OnCommandRange)
    ON_BN_CLICKED(300, OnButtonClicked)
    ON_BN_CLICKED(301, OnButtonClicked)
    ON_NOTIFY(1234, 302, OnCustomNotify)
    ON_NOTIFY_RANGE(NM_CLICK, 500, 509, OnNotifyRange)
END_MESSAGE_MAP()

// Reflects BN_CLICKED and keeps it from the parent.
class CReflectOnlyButton : public CButton {
public:
    int clicks = 0;
    bool preSubclassed = false;

protected:
    void PreSubclassWindow() override {
        preSubclassed = true;
        CButton::PreSubclassWindow();
    }
    afx_msg void OnClicked() { ++clicks; }
    afx_msg void OnReflectedNotify(NMHDR*, LRESULT* pResult) {
        ++clicks;
        *pResult = 9;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CReflectOnlyButton, CButton)
    ON_CONTROL_REFLECT(BN_CLICKED, OnClicked)
    ON_NOTIFY_REFLECT(1234, OnReflectedNotify)
END_MESSAGE_MAP()

// A custom control that draws and measures itself through reflection.
class COwnerDrawnWnd : public CWnd {
public:
    int drawn = 0;

protected:
    afx_msg void DrawItem(LPDRAWITEMSTRUCT) { ++drawn; }
    afx_msg void MeasureItem(LPMEASUREITEMSTRUCT p) { p->itemHeight = 33; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(COwnerDrawnWnd, CWnd)
    ON_WM_DRAWITEM_REFLECT()
    ON_WM_MEASUREITEM_REFLECT()
END_MESSAGE_MAP()

class CScrollParentWnd : public test::CHostWnd {
public:
    CScrollBar* seenBar = nullptr;
    UINT seenCode = 0;

protected:
    afx_msg void OnHScroll(UINT nSBCode, UINT, CScrollBar* pScrollBar) {
        seenCode = nSBCode;
        seenBar = pScrollBar;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CScrollParentWnd, test::CHostWnd)
    ON_WM_HSCROLL()
END_MESSAGE_MAP()

// Adds a style before creation and tells when its window is gone for good.
class CSelfDeletingWnd : public CWnd {
public:
    explicit CSelfDeletingWnd(bool* gone) : m_gone(gone) {}

protected:
    BOOL PreCreateWindow(CREATESTRUCTW& cs) override {
        cs.dwExStyle |= WS_EX_TOOLWINDOW;
        return CWnd::PreCreateWindow(cs);
    }
    void PostNcDestroy() override {
        *m_gone = true;
        delete this;  // the window owned this object
    }

private:
    bool* m_gone;
};

// Reflects BN_CLICKED and lets the parent have it too.
class CReflectThenNotifyButton : public CButton {
public:
    int clicks = 0;
    int drawn = 0;

protected:
    afx_msg BOOL OnClicked() {
        ++clicks;
        return FALSE;
    }
    void DrawItem(LPDRAWITEMSTRUCT) override { ++drawn; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CReflectThenNotifyButton, CButton)
    ON_CONTROL_REFLECT_EX(BN_CLICKED, OnClicked)
END_MESSAGE_MAP()

class CColorStatic : public CStatic {
public:
    CBrush brush{RGB(10, 200, 30)};
    int notifies = 0;

protected:
    afx_msg HBRUSH CtlColor(CDC* pDC, UINT nCtlColor) {
        pDC->SetTextColor(RGB(1, 2, 3));
        return nCtlColor == CTLCOLOR_STATIC ? static_cast<HBRUSH>(brush) : nullptr;
    }
    afx_msg BOOL OnNotifyEx(NMHDR*, LRESULT* pResult) {
        ++notifies;
        *pResult = 5;
        return TRUE;  // handled: the parent does not see it
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CColorStatic, CStatic)
    ON_WM_CTLCOLOR_REFLECT()
    ON_NOTIFY_REFLECT_EX(1234, OnNotifyEx)
END_MESSAGE_MAP()

struct HandlerProbe {
    void Right(UINT, CPoint) {}
    void WrongArgs(UINT, POINT) {}
    int WrongReturn(UINT, CPoint) { return 0; }
};

// Entries check their handler's signature while compiling.
static_assert(afx_detail::IsHandler<HandlerProbe, decltype(&HandlerProbe::Right), void(UINT, CPoint)>);
static_assert(!afx_detail::IsHandler<HandlerProbe, decltype(&HandlerProbe::WrongArgs), void(UINT, CPoint)>);
static_assert(!afx_detail::IsHandler<HandlerProbe, decltype(&HandlerProbe::WrongReturn), void(UINT, CPoint)>);
static_assert(!afx_detail::IsHandler<CWnd, decltype(&HandlerProbe::Right), void(UINT, CPoint)>);

TEST(MessageMap, CreateReachesTheObjectAndDestroyDetaches) {
    CRecorderWnd wnd;
    ASSERT_TRUE(wnd.CreateHost(320, 240));
    ASSERT_FALSE(wnd.log.empty());
    EXPECT_EQ(wnd.log.front(), L"create");
    EXPECT_EQ(CWnd::FromHandlePermanent(wnd.m_hWnd), &wnd);
    EXPECT_EQ(wnd.createdName, L"Host");

    HWND hWnd = wnd.m_hWnd;
    ASSERT_TRUE(wnd.DestroyWindow());
    EXPECT_EQ(wnd.log.back(), L"destroy");
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
}

TEST(MessageMap, WindowMessagesArriveWithTypedArguments) {
    CRecorderWnd wnd;
    ASSERT_TRUE(wnd.CreateHost());

    wnd.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(-5, 17));
    EXPECT_EQ(wnd.lastFlags, static_cast<UINT>(MK_LBUTTON | MK_SHIFT));
    EXPECT_EQ(wnd.lastPoint, CPoint(-5, 17));

    wnd.SetWindowPos(nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
    CRect client;
    wnd.GetClientRect(&client);
    EXPECT_EQ(wnd.lastCx, client.Width());
    EXPECT_EQ(wnd.lastCy, client.Height());

    EXPECT_EQ(wnd.SendMessage(WM_TEST_PRIVATE, 3, 4), 7);
    EXPECT_EQ(wnd.SendMessage(g_registeredMessage), 7);
    wnd.DestroyWindow();
}

TEST(MessageMap, CommandsAndNotificationsFindTheirEntries) {
    CRecorderWnd wnd;
    ASSERT_TRUE(wnd.CreateHost());

    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(40001, 0), 0);
    EXPECT_EQ(wnd.log.back(), L"command");
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(40015, 1), 0);  // accelerators count as commands
    EXPECT_EQ(wnd.lastCommand, 40015u);
    wnd.SendMessage(WM_COMMAND, MAKEWPARAM(40020, 0), 0);  // outside the range
    EXPECT_EQ(wnd.lastCommand, 40015u);

    NMHDR hdr = {wnd.m_hWnd, 503, static_cast<UINT>(NM_CLICK)};
    EXPECT_EQ(wnd.SendMessage(WM_NOTIFY, 503, reinterpret_cast<LPARAM>(&hdr)), 42);
    EXPECT_EQ(wnd.lastNotifyId, 503u);
    wnd.DestroyWindow();
}

TEST(MessageMap, ReflectionOnlyOrReflectionAndParent) {
    CRecorderWnd parent;
    ASSERT_TRUE(parent.CreateHost());
    CReflectOnlyButton only;
    CReflectThenNotifyButton both;
    ASSERT_TRUE(only.Create(L"only", WS_VISIBLE | BS_PUSHBUTTON, CRect(10, 10, 100, 40), &parent, 300));
    ASSERT_TRUE(both.Create(L"both", WS_VISIBLE | BS_OWNERDRAW, CRect(10, 50, 100, 80), &parent, 301));
    EXPECT_TRUE(only.preSubclassed);  // created windows are subclassed through the same path

    struct Case {
        CWnd* button;
        int* clicks;
        bool parentSees;
    } cases[] = {{&only, &only.clicks, false}, {&both, &both.clicks, true}};
    for (const Case& c : cases) {
        parent.log.clear();
        c.button->SendMessage(BM_CLICK);
        EXPECT_EQ(*c.clicks, 1);
        bool parentSaw = !parent.log.empty() && parent.log.back() == L"parent-clicked";
        EXPECT_EQ(parentSaw, c.parentSees);
    }

    // Owner-drawn controls draw through their own DrawItem.
    both.Invalidate();
    both.UpdateWindow();
    EXPECT_GT(both.drawn, 0);
    parent.DestroyWindow();
}

TEST(MessageMap, ColourAndNotificationReflection) {
    CRecorderWnd parent;
    ASSERT_TRUE(parent.CreateHost());
    CColorStatic label;
    ASSERT_TRUE(label.Create(L"label", WS_VISIBLE | SS_LEFT, CRect(10, 10, 200, 30), &parent, 302));

    CClientDC dc(&label);
    LRESULT brush = parent.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.m_hDC),
                                       reinterpret_cast<LPARAM>(label.m_hWnd));
    EXPECT_EQ(reinterpret_cast<HBRUSH>(brush), static_cast<HBRUSH>(label.brush));
    EXPECT_EQ(dc.GetTextColor(), RGB(1, 2, 3));

    parent.log.clear();
    NMHDR hdr = {label.m_hWnd, 302, 1234};
    EXPECT_EQ(parent.SendMessage(WM_NOTIFY, 302, reinterpret_cast<LPARAM>(&hdr)), 5);
    EXPECT_EQ(label.notifies, 1);
    EXPECT_TRUE(parent.log.empty());

    // The plain form keeps the notification from the parent as well.
    CReflectOnlyButton button;
    ASSERT_TRUE(button.Create(L"b", WS_VISIBLE, CRect(0, 40, 50, 60), &parent, 302));
    NMHDR fromButton = {button.m_hWnd, 302, 1234};
    EXPECT_EQ(parent.SendMessage(WM_NOTIFY, 302, reinterpret_cast<LPARAM>(&fromButton)), 9);
    EXPECT_EQ(button.clicks, 1);
    EXPECT_TRUE(parent.log.empty());

    COwnerDrawnWnd custom;
    ASSERT_TRUE(custom.Create(nullptr, L"custom", WS_VISIBLE, CRect(0, 70, 50, 90), &parent, 303));
    DRAWITEMSTRUCT dis = {};
    dis.CtlType = ODT_STATIC;
    dis.CtlID = 303;
    dis.hwndItem = custom.m_hWnd;
    EXPECT_EQ(parent.SendMessage(WM_DRAWITEM, 303, reinterpret_cast<LPARAM>(&dis)), TRUE);
    EXPECT_EQ(custom.drawn, 1);
    MEASUREITEMSTRUCT mis = {};
    mis.CtlType = ODT_LISTBOX;
    mis.CtlID = 303;
    parent.SendMessage(WM_MEASUREITEM, 303, reinterpret_cast<LPARAM>(&mis));
    EXPECT_EQ(mis.itemHeight, 33u);
    parent.DestroyWindow();
}

TEST(MessageMap, ScrollMessagesNameTheirScrollBarObject) {
    CScrollParentWnd parent;
    ASSERT_TRUE(parent.CreateHost());
    CScrollBar bar;
    ASSERT_TRUE(bar.Create(WS_VISIBLE | SBS_HORZ, CRect(0, 0, 200, 16), &parent, 5));
    bar.SetScrollRange(0, 50);
    bar.SetScrollPos(20);
    EXPECT_EQ(bar.GetScrollPos(), 20);
    parent.SendMessage(WM_HSCROLL, MAKEWPARAM(SB_PAGERIGHT, 0), reinterpret_cast<LPARAM>(bar.m_hWnd));
    EXPECT_EQ(parent.seenCode, static_cast<UINT>(SB_PAGERIGHT));
    EXPECT_EQ(parent.seenBar, &bar);
    parent.DestroyWindow();
}

TEST(MessageMap, WindowOwnsAHeapObjectThroughPostNcDestroy) {
    bool gone = false;
    auto* wnd = new CSelfDeletingWnd(&gone);  // owned by its window from creation on
    ASSERT_TRUE(wnd->CreateEx(0, nullptr, L"popup", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr));
    EXPECT_TRUE(wnd->GetExStyle() & WS_EX_TOOLWINDOW);
    HWND hWnd = wnd->m_hWnd;
    ::DestroyWindow(hWnd);
    EXPECT_TRUE(gone);
    EXPECT_EQ(CWnd::FromHandlePermanent(hWnd), nullptr);
}

TEST(MessageMap, OrdinaryWrappers) {
    CRecorderWnd parent;
    ASSERT_TRUE(parent.CreateHost(300, 200));
    CEdit edit;
    ASSERT_TRUE(edit.Create(WS_VISIBLE, CRect(10, 10, 110, 30), &parent, 401));
    EXPECT_EQ(parent.GetDlgItem(401), &edit);
    EXPECT_EQ(edit.GetParent(), &parent);
    EXPECT_EQ(edit.GetOwner(), &parent);
    EXPECT_EQ(edit.GetTopLevelParent(), &parent);
    EXPECT_EQ(edit.GetDlgCtrlID(), 401);

    edit.MoveWindow(20, 30, 100, 25);
    CRect rc;
    edit.GetWindowRect(&rc);
    parent.ScreenToClient(&rc);
    EXPECT_EQ(rc, CRect(20, 30, 120, 55));
    CPoint pt(5, 5);
    edit.ClientToScreen(&pt);
    parent.ScreenToClient(&pt);
    EXPECT_EQ(pt, CPoint(25, 35));
    EXPECT_TRUE(edit.SetWindowPos(&CWnd::wndTop, 0, 0, 50, 20, SWP_NOMOVE | SWP_NOACTIVATE));
    edit.GetClientRect(&rc);
    EXPECT_EQ(rc.Width(), 50);

    EXPECT_TRUE(edit.ModifyStyle(0, ES_READONLY, SWP_FRAMECHANGED));
    EXPECT_FALSE(edit.ModifyStyle(0, ES_READONLY));  // nothing to change
    EXPECT_TRUE(edit.ModifyStyleEx(0, WS_EX_CLIENTEDGE, SWP_FRAMECHANGED));
    EXPECT_TRUE(edit.GetExStyle() & WS_EX_CLIENTEDGE);

    CFont font;
    font.CreatePointFont(100, L"Tahoma");
    edit.SetFont(&font);
    EXPECT_EQ(edit.GetFont()->m_hObject, font.m_hObject);
    edit.SetWindowText(L"글자");
    CString text;
    edit.GetWindowText(text);
    EXPECT_EQ(text, L"글자");
    EXPECT_EQ(edit.GetWindowTextLength(), 2);

    edit.ShowWindow(SW_HIDE);
    EXPECT_FALSE(edit.IsWindowVisible());
    edit.EnableWindow(FALSE);
    EXPECT_FALSE(edit.IsWindowEnabled());

    EXPECT_EQ(parent.SetTimer(7, 60000), 7u);
    EXPECT_TRUE(parent.KillTimer(7));
    parent.SetCapture();
    EXPECT_EQ(CWnd::GetCapture(), &parent);
    ::ReleaseCapture();
    parent.Invalidate();
    parent.UpdateWindow();

    test::ClearMessageBoxes();
    EXPECT_EQ(parent.MessageBox(L"변경된 내용이 있습니다.", nullptr, MB_OKCANCEL), IDOK);
    ASSERT_EQ(test::MessageBoxes().size(), 1u);
    EXPECT_EQ(test::MessageBoxes()[0], L"변경된 내용이 있습니다.");

    CWnd borrowed;
    ASSERT_TRUE(borrowed.Attach(edit.Detach()));
    EXPECT_EQ(CWnd::FromHandlePermanent(borrowed.m_hWnd), &borrowed);
    edit.Attach(borrowed.Detach());
    parent.DestroyWindow();
}

TEST(MessageMap, IdleUpdatesReachTheMainWindowAndItsPermanentChildren) {
    CRecorderWnd main;
    ASSERT_TRUE(main.CreateHost());
    CRecorderWnd child;
    ASSERT_TRUE(child.Create(nullptr, L"child", WS_VISIBLE, CRect(0, 0, 20, 20), &main, 9));
    AfxGetApp()->m_pMainWnd = &main;
    main.log.clear();
    child.log.clear();
    EXPECT_TRUE(AfxGetApp()->OnIdle(0));
    AfxGetApp()->m_pMainWnd = nullptr;
    EXPECT_EQ(main.log.back(), L"idle");
    EXPECT_EQ(child.log.back(), L"idle");
    main.DestroyWindow();
}

TEST(MessageMap, EntryRunsTheApplicationUntilItsMainWindowCloses) {
    test::CTestApp& app = test::App();
    CRecorderWnd* pMain = nullptr;
    CRecorderWnd main;
    bool exited = false;
    app.onInitInstance = [&] {
        if (!main.CreateHost())
            return FALSE;
        pMain = &main;
        app.m_pMainWnd = &main;
        main.PostMessage(WM_CLOSE);  // the default close destroys the window
        return TRUE;
    };
    app.onExitInstance = [&] {
        exited = true;
        return 3;
    };
    EXPECT_EQ(AfxWinMain(::GetModuleHandleW(nullptr), nullptr, const_cast<LPWSTR>(L""), SW_SHOW), 3);
    app.onInitInstance = nullptr;
    app.onExitInstance = nullptr;
    EXPECT_TRUE(exited);
    EXPECT_EQ(pMain, &main);
    EXPECT_EQ(main.m_hWnd, nullptr);
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    EXPECT_EQ(main.log.back(), L"destroy");
}

TEST(MessageMap, SubclassedControlCallsPreSubclassWindowAndUnsubclasses) {
    test::CHostWnd parent;
    ASSERT_TRUE(parent.CreateHost());
    HWND hButton = ::CreateWindowExW(0, L"BUTTON", L"plain", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, parent.m_hWnd,
                                     reinterpret_cast<HMENU>(77), nullptr, nullptr);
    auto original = ::GetWindowLongPtrW(hButton, GWLP_WNDPROC);

    CReflectOnlyButton button;
    ASSERT_TRUE(button.SubclassDlgItem(77, &parent));
    EXPECT_TRUE(button.preSubclassed);
    EXPECT_EQ(CWnd::FromHandle(hButton), &button);
    ::SendMessageW(hButton, BM_CLICK, 0, 0);
    EXPECT_EQ(button.clicks, 1);

    EXPECT_EQ(button.UnsubclassWindow(), hButton);
    EXPECT_EQ(::GetWindowLongPtrW(hButton, GWLP_WNDPROC), original);
    EXPECT_EQ(CWnd::FromHandlePermanent(hButton), nullptr);
    parent.DestroyWindow();
}

TEST(MessageMap, TemporaryWrappersAreFreedAtIdle) {
    test::CHostWnd host;
    ASSERT_TRUE(host.CreateHost());
    HWND hButton = ::CreateWindowExW(0, L"BUTTON", L"temp", WS_CHILD, 0, 0, 50, 20, host.m_hWnd, nullptr, nullptr,
                                     nullptr);
    AfxGetApp()->OnIdle(1);
    ASSERT_EQ(test::TemporaryCount(), 0u);

    CWnd* temp = CWnd::FromHandle(hButton);
    ASSERT_NE(temp, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(hButton), nullptr);
    EXPECT_EQ(CWnd::FromHandle(hButton), temp);  // one wrapper per handle
    EXPECT_EQ(CWnd::FromHandle(host.m_hWnd), &host);  // permanent objects win
    EXPECT_EQ(test::TemporaryCount(), 1u);

    EXPECT_TRUE(AfxGetApp()->OnIdle(0));
    EXPECT_EQ(test::TemporaryCount(), 1u);
    EXPECT_FALSE(AfxGetApp()->OnIdle(1));
    EXPECT_EQ(test::TemporaryCount(), 0u);
    EXPECT_TRUE(::IsWindow(hButton));  // wrappers never destroy what they wrap
    host.DestroyWindow();
}

TEST(MessageMap, SendMessageToDescendantsReachesPermanentOnesOnly) {
    CRecorderWnd parent;
    ASSERT_TRUE(parent.CreateHost());
    CRecorderWnd child;
    ASSERT_TRUE(child.Create(nullptr, L"child", WS_VISIBLE, CRect(0, 0, 50, 50), &parent, 9));
    EXPECT_EQ(child.log.front(), L"create");
    CRecorderWnd grandchild;
    ASSERT_TRUE(grandchild.Create(nullptr, L"gc", WS_VISIBLE, CRect(0, 0, 20, 20), &child, 10));
    ::CreateWindowExW(0, L"BUTTON", L"plain", WS_CHILD, 0, 0, 10, 10, parent.m_hWnd, nullptr, nullptr, nullptr);

    parent.SendMessageToDescendants(WM_TEST_PRIVATE, 1, 1, TRUE, TRUE);
    EXPECT_EQ(child.log.back(), L"private");
    EXPECT_EQ(grandchild.log.back(), L"private");

    grandchild.log.clear();
    parent.SendMessageToDescendants(WM_TEST_PRIVATE, 1, 1, FALSE, TRUE);
    EXPECT_TRUE(grandchild.log.empty());
    parent.DestroyWindow();
}

}  // namespace
