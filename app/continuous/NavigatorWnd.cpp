#include "app/continuous/NavigatorWnd.h"

#include "app/AppStrings.h"
#include "app/capture/CaptureEngine.h"
#include "app/capture/ScopedGdi.h"
#include "resources/resource.h"

namespace {

constexpr COLORREF kKeyColour = 0xE3EEEF;
constexpr BYTE kAlpha = 230;
constexpr COLORREF kStatusColour = 0xF4F2F0;     // light on the dark caption
constexpr int kSeriesStartMs = 100;
constexpr int kSeriesFirstShotMs = 1000;
constexpr int kSeriesEndMs = 1000;
constexpr int kReturnMs = 1000;

const UINT kToolTexts[NAV_BUTTON_COUNT] = {IDS_NAV_CLOSE, IDS_NAV_CAPTURE, IDS_NAV_CONTINUE, IDS_NAV_SPEED};

NavRect ToNav(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

// A copy of the screen rectangle `r` in a memory DC of its own, with its
// bitmap deselected; both null when it could not be made.
struct ScreenShot {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
};
ScreenShot GrabScreen(const RECT& r, bool layered) {
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    if (width <= 0 || height <= 0)
        return {};
    ScopedDc memory;
    ScopedBitmapHandle bitmap;
    {
        // The display DC is needed only for the copy.
        ScopedWindowDc display(nullptr);
        memory.Reset(::CreateCompatibleDC(display.Get()));
        bitmap.Reset(::CreateCompatibleBitmap(display.Get(), width, height));
        if (!memory.Get() || !bitmap.Get())
            return {};
        ScopedSelect selected(memory.Get(), bitmap.Get());
        ::BitBlt(memory.Get(), 0, 0, width, height, display.Get(), r.left, r.top,
                 layered ? SRCCOPY | CAPTUREBLT : SRCCOPY);
    }
    return {memory.Release(), bitmap.Release()};
}
RECT ToRect(const NavRect& r) { return {r.left, r.top, r.right, r.bottom}; }

// The screen as a copy of the display sees it: nothing beyond it is captured.
NavRect VirtualScreen() {
    const int left = ::GetSystemMetrics(SM_XVIRTUALSCREEN), top = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
    return {left, top, left + ::GetSystemMetrics(SM_CXVIRTUALSCREEN), top + ::GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

NavRect MonitorAround(HWND hWnd) {
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (!::GetMonitorInfoW(::MonitorFromWindow(hWnd, MONITOR_DEFAULTTONEAREST), &info))
        return {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    return ToNav(info.rcMonitor);
}

// The caption buttons' tips. A tip shows below the pointer, which on the
// caption puts it over the frame's inside, where a shot would take it in:
// every placement is moved off the inside before it happens.
class CFrameTip : public CToolTipCtrl {
public:
    CFrameTip(HWND frame, int caption) : m_hFrame(frame), m_nCaption(caption) {}

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_WINDOWPOSCHANGING)
            KeepOffInside(*reinterpret_cast<WINDOWPOS*>(lParam));
        return CToolTipCtrl::WindowProc(message, wParam, lParam);
    }

private:
    void KeepOffInside(WINDOWPOS& pos) const {
        RECT now = {}, frame = {};
        ::GetWindowRect(m_hWnd, &now);
        if (!::GetWindowRect(m_hFrame, &frame))
            return;
        NavRect tip = ToNav(now);
        if (!(pos.flags & SWP_NOMOVE)) {
            tip.right += pos.x - tip.left;
            tip.bottom += pos.y - tip.top;
            tip.left = pos.x;
            tip.top = pos.y;
        }
        if (!(pos.flags & SWP_NOSIZE)) {
            tip.right = tip.left + pos.cx;
            tip.bottom = tip.top + pos.cy;
        }
        const NavRect placed = NavigatorTipPlace(tip, ToNav(frame), m_nCaption, MonitorAround(m_hFrame));
        if (placed.left == tip.left && placed.top == tip.top)
            return;
        pos.x = placed.left;
        pos.y = placed.top;
        pos.flags &= ~SWP_NOMOVE;
    }

    HWND m_hFrame;
    int m_nCaption;
};

}  // namespace

BEGIN_MESSAGE_MAP(CNavigatorWnd, CFramedSkinDialog)
    ON_WM_NCHITTEST()
    ON_WM_NCLBUTTONDOWN()
    ON_WM_TIMER()
    ON_WM_DESTROY()
END_MESSAGE_MAP()

CNavigatorWnd::CNavigatorWnd(CWnd* pParent) : CFramedSkinDialog(IDD_NAVIGATOR, pParent) {}

CNavigatorWnd::~CNavigatorWnd() { FreeFrame(); }

RECT CNavigatorWnd::GetButtonRect(int button) const {
    if (button < 0 || button >= NAV_BUTTON_COUNT)
        return {};
    return ToRect(m_buttons[button]);
}

void CNavigatorWnd::SetUpFrame() {
    if (m_frame.IsLoaded())
        return;
    m_frame.Load(this);
    m_nCaptionHeight = SystemCaptionHeight() + 5;
    CRect window;
    GetWindowRect(&window);
    m_buttons = NavigatorButtons(window.Width(), m_nCaptionHeight);

    m_buttonImages.DeleteImageList();
    if (m_buttonImages.Create(kNavButtonSize, kNavButtonSize, ILC_COLOR24 | ILC_MASK, 7, 1)) {
        CBitmap strip;
        if (strip.LoadBitmap(IDB_NAVIGATOR_BUTTONS))
            m_buttonImages.Add(&strip, kKeyColour);
    }

    m_pToolTip = std::make_unique<CFrameTip>(m_hWnd, m_nCaptionHeight);
    if (m_pToolTip->Create(this, TTS_ALWAYSTIP)) {
        for (int i = 0; i < NAV_BUTTON_COUNT; ++i) {
            const RECT tool = GetButtonRect(i);
            m_pToolTip->AddTool(this, kToolTexts[i], &tool, i + 1);
        }
        UpdateToolRects();
    } else {
        m_pToolTip.reset();
    }

    CreateMainFont(m_captionFont, FW_BOLD);
}

void CNavigatorWnd::FreeFrame() {
    m_frame.Free();
    if (m_pToolTip && m_pToolTip->GetSafeHwnd())
        m_pToolTip->DestroyWindow();
    m_pToolTip.reset();
    m_buttonImages.DeleteImageList();
    m_captionFont.DeleteObject();
}

BOOL CNavigatorWnd::OnInitDialog() {
    CFramedSkinDialog::OnInitDialog();
    SetUpSkin(kKeyColour, kAlpha);
    // Every opening starts at rest: nothing left over from the last one.
    m_rcCapture = {};
    m_nCounter = 0;
    m_bNumberMode = false;
    m_highlight.Reset();
    m_nHotButton = -1;
    m_activity = Activity::Resting;
    m_nStatus = IDS_NAV_READY;
    return TRUE;
}

void CNavigatorWnd::PostNcDestroy() {
    FreeFrame();
    SetBitmap(nullptr);
    CFramedSkinDialog::PostNcDestroy();
}

void CNavigatorWnd::OnDestroy() {
    for (UINT_PTR timer : {UINT_PTR(SPEED_POINT), UINT_PTR(SPEED_COUNT), UINT_PTR(SPEED_TICK), UINT_PTR(SPEED_DONE),
                           UINT_PTR(SPEED_RETURN), UINT_PTR(SPEED_BLINK), kSeriesStartTimer, kSeriesShotTimer,
                           kSeriesEndTimer})
        KillTimer(timer);
    m_highlight.Remove();
    if (m_activity == Activity::Series)
        EndSeries();
    m_activity = Activity::Resting;
    FreeUntakenBitmaps();
    CFramedSkinDialog::OnDestroy();
}

BOOL CNavigatorWnd::PreTranslateMessage(MSG* pMsg) {
    if (m_pToolTip && m_pToolTip->GetSafeHwnd()) {
        if (pMsg->message == WM_NCMOUSEMOVE && pMsg->hwnd == m_hWnd) {
            // The buttons lie in the caption: the tips see the move in client
            // coordinates, where their tools are.
            MSG relayed = *pMsg;
            POINT p = {static_cast<short>(LOWORD(pMsg->lParam)), static_cast<short>(HIWORD(pMsg->lParam))};
            ::ScreenToClient(m_hWnd, &p);
            relayed.message = WM_MOUSEMOVE;
            relayed.wParam = 0;
            relayed.lParam = MAKELPARAM(p.x, p.y);
            m_pToolTip->RelayEvent(&relayed);
        } else {
            m_pToolTip->RelayEvent(pMsg);
        }
    }
    return CFramedSkinDialog::PreTranslateMessage(pMsg);
}

// ---------------------------------------------------------------------------
// Caption

void CNavigatorWnd::DrawButton(CDC* pDC, int button, bool hot) const {
    if (!m_buttonImages.GetSafeHandle())
        return;
    const NavRect& r = m_buttons[button];
    const_cast<CImageList&>(m_buttonImages).Draw(pDC, button * 2 + (hot ? 1 : 0), CPoint(r.left, r.top),
                                                 ILD_TRANSPARENT);
}

void CNavigatorWnd::PaintFrame() {
    if (!m_hWnd)
        return;
    CRect window;
    GetWindowRect(&window);
    const int W = window.Width();
    const int H = window.Height();
    const int c = m_nCaptionHeight;
    const auto previous = m_buttons;
    m_buttons = NavigatorButtons(W, c);
    if (previous[NAV_CLOSE].left != m_buttons[NAV_CLOSE].left)
        UpdateToolRects();

    CWindowDC dc(this);
    m_frame.Paint(&dc, W, H, c);
    for (int i = 0; i < NAV_BUTTON_COUNT; ++i)
        DrawButton(&dc, i, i == m_nHotButton);

    CString text;
    if (m_bNumberMode)
        text.Format(L"%d Number", m_nStatus);
    else
        text = LoadResString(m_nStatus);
    RECT area = ToRect(NavigatorStatusRect(W, c));
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(kStatusColour);
    CScopedSelectObject font(dc, m_captionFont);
    dc.DrawText(text, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
}

void CNavigatorWnd::UpdateToolRects() {
    if (!m_pToolTip || !m_hWnd)
        return;
    // Client coordinates vertically; horizontally the window's own.
    CRect window;
    GetWindowRect(&window);
    POINT origin = {window.left, window.top};
    ::ScreenToClient(m_hWnd, &origin);
    for (int i = 0; i < NAV_BUTTON_COUNT; ++i) {
        RECT tool = GetButtonRect(i);
        ::OffsetRect(&tool, 0, origin.y);
        m_pToolTip->SetToolRect(this, i + 1, &tool);
    }
}

void CNavigatorWnd::SetStatus(int status) {
    m_nStatus = status;
    PaintFrame();
}

LRESULT CNavigatorWnd::OnNcHitTest(CPoint point) {
    LRESULT hit = CFramedSkinDialog::OnNcHitTest(point);
    CRect window;
    GetWindowRect(&window);
    const int x = point.x - window.left;
    const int y = point.y - window.top;
    const int hot = NavigatorButtonAt(m_buttons, x, y);
    if (hot != m_nHotButton) {
        CWindowDC dc(this);
        if (m_nHotButton >= 0)
            DrawButton(&dc, m_nHotButton, false);
        if (hot >= 0)
            DrawButton(&dc, hot, true);
        m_nHotButton = hot;
    }
    // The painted caption is taller than the system's: all of it, and the
    // rest of the painted frame, is the frame's caption.
    const NavRect inside = NavigatorInside(ToNav(window), m_nCaptionHeight);
    const bool inFrame = point.x < inside.left || point.x >= inside.right || point.y < inside.top ||
                         point.y >= inside.bottom;
    if ((hit == HTCLIENT || hit == HTNOWHERE || hot >= 0) && inFrame && window.PtInRect(point))
        hit = HTCAPTION;
    return hit;
}

void CNavigatorWnd::OnNcLButtonDown(UINT nHitTest, CPoint point) {
    // The system's handling first: the frame is dragged from anywhere on its
    // caption, buttons included; the button acts once the mouse is released.
    CFramedSkinDialog::OnNcLButtonDown(nHitTest, point);
    if (!m_hWnd)
        return;
    CRect window;
    GetWindowRect(&window);
    const int button = NavigatorButtonAt(NavigatorButtons(window.Width(), m_nCaptionHeight), point.x - window.left,
                                         point.y - window.top);
    if (button >= 0)
        PressButton(button);
}

void CNavigatorWnd::PressButton(int button) {
    if (button == NAV_CLOSE) {
        SendMessage(WM_COMMAND, IDCANCEL);
        return;
    }
    // A speed capture or a series counts its steps in the one counter.
    if (m_activity != Activity::Resting)
        return;
    switch (button) {
    case NAV_CAPTURE:
        CaptureInside();
        break;
    case NAV_CONTINUE:
        RunContinuePanel();
        break;
    case NAV_SPEED:
        StartSpeedCapture();
        break;
    default:
        break;
    }
}

RECT CNavigatorWnd::InsideRect() const {
    CRect window;
    GetWindowRect(&window);
    return ToRect(ClipRect(NavigatorInside(ToNav(window), m_nCaptionHeight), VirtualScreen()));
}

void CNavigatorWnd::CaptureInside() {
    m_rcCapture = InsideRect();
    // A frame with its whole inside off the screen has nothing to capture.
    if (m_pEngine && !::IsRectEmpty(&m_rcCapture))
        m_pEngine->StartCapture(nullptr, m_rcCapture, FALSE, false, 0);
}

// ---------------------------------------------------------------------------
// Speed capture

void CNavigatorWnd::StartSpeedCapture() {
    m_activity = Activity::Speed;
    GetWindowRect(&m_rcSaved);
    m_nCounter = 0;
    m_highlight.Reset();
    SetStatus(IDS_NAV_SPEED_START);
    SetTimer(SPEED_BLINK, kSpeedBlinkMs);
    SetTimer(SPEED_POINT, kSpeedFirstDelayMs);
}

void CNavigatorWnd::OnTimer(UINT_PTR nIDEvent) {
    switch (nIDEvent) {
    case SPEED_BLINK:
        OnBlinkTick();
        break;
    case SPEED_POINT:
    case SPEED_COUNT:
    case SPEED_TICK:
    case SPEED_DONE:
    case SPEED_RETURN:
        OnSpeedTick(nIDEvent);
        break;
    case kSeriesStartTimer:
        KillTimer(kSeriesStartTimer);
        SetStatus(IDS_NAV_SERIES_START);
        SetTimer(kSeriesShotTimer, kSeriesFirstShotMs);
        break;
    case kSeriesShotTimer:
        TakeSeriesShot();
        break;
    case kSeriesEndTimer:
        KillTimer(kSeriesEndTimer);
        m_bNumberMode = false;
        m_nCounter = 0;
        SetStatus(IDS_NAV_SERIES_END);
        GetWindowRect(&m_rcSaved);
        if (m_nMode == SERIES_BITMAPS)
            LoadBitmapFrames();
        SetTimer(SPEED_RETURN, kReturnMs);
        break;
    default:
        CFramedSkinDialog::OnTimer(nIDEvent);
        break;
    }
}

void CNavigatorWnd::OnBlinkTick() {
    POINT p = {};
    ::GetCursorPos(&p);
    HWND w = DeepestWindowAt(p);
    if (!w || w == m_hWnd || ::GetAncestor(w, GA_ROOT) == m_hWnd)
        return;
    m_highlight.Blink(w);
}


void CNavigatorWnd::OnSpeedTick(UINT_PTR timer) {
    KillTimer(timer);
    const SpeedStep step = SpeedCaptureStep(static_cast<int>(timer), m_nCounter);
    m_nCounter = step.counter;
    if (step.stopBlinking) {
        KillTimer(SPEED_BLINK);
        m_highlight.Remove();
    }
    if (step.returnHome) {
        ReturnHome();
        return;
    }
    SetStatus(step.status);
    if (step.shoot) {
        RECT target = {};
        // A window gone since, or never found, leaves nothing to capture.
        const HWND under = m_highlight.Window();
        const bool found = under && ::IsWindow(under) && ::GetWindowRect(under, &target);
        if (found)
            target = ToRect(ClipRect(ToNav(target), VirtualScreen()));
        if (!found || ::IsRectEmpty(&target)) {
            m_nCounter = 0;
            ReturnHome();
            return;
        }
        // Taken before the frame moves round the window: a frame just moved
        // may not show through yet where the screen is composited.
        const ScreenShot shot = GrabScreen(target, m_pEngine && m_pEngine->CapturesLayeredWindows());
        const NavRect around = NavigatorAround(ToNav(target), m_nCaptionHeight);
        MoveWindow(around.left, around.top, around.Width(), around.Height());
        m_rcCapture = target;
        HandOver(shot.dc, shot.bitmap, FALSE, false, 0);
    }
    if (step.nextTimer >= 0)
        SetTimer(step.nextTimer, step.nextDelayMs);
}

void CNavigatorWnd::ReturnHome() {
    if (!::IsRectEmpty(&m_rcSaved))
        MoveWindow(&m_rcSaved, TRUE);
    m_activity = Activity::Resting;
    SetStatus(IDS_NAV_READY);
}

// ---------------------------------------------------------------------------
// Series

bool CNavigatorWnd::StartContinueCapture(int total, int intervalMs, int mode) {
    // The panel starts only positive series, and only while the frame rests.
    if (!m_hWnd || m_activity != Activity::Resting || total <= 0 || intervalMs <= 0 || mode < SERIES_CAPTURES ||
        mode > SERIES_BITMAPS)
        return false;
    m_nTotal = total;
    m_nInterval = intervalMs;
    m_nMode = mode;
    m_nCounter = 0;
    m_activity = Activity::Series;
    SetTimer(kSeriesStartTimer, kSeriesStartMs);
    return true;
}

void CNavigatorWnd::TakeSeriesShot() {
    KillTimer(kSeriesShotTimer);
    const bool running = IsPanelRunning();
    const SeriesShot shot = PlanSeriesShot(m_nCounter, m_nTotal, m_nMode, running);
    m_nCounter = shot.counter;
    m_bNumberMode = true;
    SetStatus(m_nCounter);

    if (shot.capture || shot.keepBitmap) {
        m_rcCapture = InsideRect();
        const ScreenShot grabbed = GrabScreen(m_rcCapture, m_pEngine && m_pEngine->CapturesLayeredWindows());
        if (shot.capture) {
            const bool files = m_nMode == SERIES_FILES;
            HandOver(grabbed.dc, grabbed.bitmap, files ? TRUE : FALSE, files, files ? m_nTotal : 0);
        } else {
            // The bitmap becomes the panel's; the DC is not needed any more.
            if (grabbed.dc)
                ::DeleteDC(grabbed.dc);
            if (grabbed.bitmap)
                KeepBitmapFrame(grabbed.bitmap, m_rcCapture.right - m_rcCapture.left,
                                m_rcCapture.bottom - m_rcCapture.top);
        }
    }
    if (shot.stopFiles && m_pEngine)
        m_pEngine->EndSeriesAfter(m_nCounter);
    ReportShots(m_nCounter);
    if (shot.last)
        SetTimer(kSeriesEndTimer, kSeriesEndMs);
    else
        SetTimer(kSeriesShotTimer, m_nInterval);
}

void CNavigatorWnd::HandOver(HDC dc, HBITMAP bitmap, BOOL noList, bool series, int count) {
    if (!dc || !bitmap || !m_pEngine) {
        if (dc)
            ::DeleteDC(dc);
        if (bitmap)
            ::DeleteObject(bitmap);
        return;
    }
    // The worker reads the shot from the DC and deletes both.
    ::SelectObject(dc, bitmap);
    m_pEngine->StartCapture(dc, m_rcCapture, noList, series, count, bitmap);
}

void CNavigatorWnd::EndSeries() {
    // Closed half way: a file series ends after the shots already handed over.
    if (m_nMode == SERIES_FILES && m_pEngine && m_pEngine->IsSeries())
        m_pEngine->EndSeriesAfter(m_nCounter);
}

// ---------------------------------------------------------------------------
// The continuous-capture panel

void CNavigatorWnd::RunContinuePanel() {
    m_wndContinue.DoModal();
    // Closed with shots of a bitmap series still coming: they have no taker.
    if (m_activity != Activity::Series)
        FreeUntakenBitmaps();
}

void CNavigatorWnd::CloseForExit() {
    if (m_wndContinue.GetSafeHwnd())
        m_wndContinue.CloseForExit();
    if (m_hWnd)
        EndDialog(IDCANCEL);
}

HWND CNavigatorWnd::OwnPopupInFront() const {
    // The panel runs modally over the navigator; its question or Save As
    // dialog over the panel.
    const HWND own = m_wndContinue.GetSafeHwnd() ? m_wndContinue.m_hWnd : m_hWnd;
    if (!own)
        return nullptr;
    const HWND popup = ::GetLastActivePopup(own);
    return popup && popup != own && ::IsWindowVisible(popup) ? popup : nullptr;
}

bool CNavigatorWnd::IsPanelRunning() const {
    return m_wndContinue.GetSafeHwnd() && m_wndContinue.IsSeriesRunning();
}

void CNavigatorWnd::ReportShots(int shots) {
    if (m_wndContinue.GetSafeHwnd())
        m_wndContinue.UpdateCaptureCount(shots);
}

void CNavigatorWnd::KeepBitmapFrame(HBITMAP bitmap, int width, int height) {
    CapturedBitmapList.push_back({bitmap, width, height});
}

void CNavigatorWnd::LoadBitmapFrames() {
    if (m_wndContinue.GetSafeHwnd())
        m_wndContinue.LoadCapturedBitmaps();
    else
        FreeUntakenBitmaps();
}

void CNavigatorWnd::FreeUntakenBitmaps() {
    for (CapturedBitmap& shot : CapturedBitmapList) {
        if (shot.bitmap)
            ::DeleteObject(shot.bitmap);
    }
    CapturedBitmapList.clear();
}
