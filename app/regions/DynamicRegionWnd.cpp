#include "app/regions/DynamicRegionWnd.h"

#include "app/capture/ScopedGdi.h"
#include "app/regions/MagnifierWnd.h"
#include "app/regions/RegionCaptureSupport.h"
#include "app/regions/RegionPointerWnd.h"
#include "app/regions/RegionViewWnd.h"
#include "resources/resource.h"

#include <cstdlib>

namespace {

constexpr UINT_PTR kFollowTimer = 0;
// Bounds the wait for the screen to show a mark of ours.
constexpr DWORD kMarkPatienceMs = 50;

// The corner pixel under the pointer is left out: the colour readout reads the
// screen there, and the cross-hair's two lines cancel out on it.
void DrawFramePolyline(CDC& dc, CPoint start, CPoint corner) {
    const POINT points[5] = {{start.x, start.y}, {corner.x, start.y}, {corner.x, corner.y}, {start.x, corner.y},
                             {start.x, start.y}};
    dc.ExcludeClipRect(corner.x, corner.y, corner.x + 1, corner.y + 1);
    dc.Polyline(points, 5);
    dc.SelectClipRgn(nullptr);
}

int ColorDistance(COLORREF a, COLORREF b) {
    return std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
           std::abs(GetBValue(a) - GetBValue(b));
}

// Lets what this thread drew reach the display. Wine keeps a busy thread's
// drawing in the window's own surface and sends it on only when the thread
// looks for messages; a sleep does not count.
void FlushDrawing() {
    ::GdiFlush();
    ::MsgWaitForMultipleObjectsEx(0, nullptr, 0, QS_ALLINPUT, 0);
}

// With desktop composition on, waits for the compositor's next frame, which no
// longer holds the windows hidden before the call.
void WaitForCompositor() {
    using IsEnabledFn = HRESULT(WINAPI*)(BOOL*);
    using FlushFn = HRESULT(WINAPI*)();
    static const HMODULE dwm = ::LoadLibraryW(L"dwmapi.dll");
    static const auto isEnabled = reinterpret_cast<IsEnabledFn>(
        dwm ? reinterpret_cast<void*>(::GetProcAddress(dwm, "DwmIsCompositionEnabled")) : nullptr);
    static const auto flush =
        reinterpret_cast<FlushFn>(dwm ? reinterpret_cast<void*>(::GetProcAddress(dwm, "DwmFlush")) : nullptr);
    BOOL enabled = FALSE;
    if (isEnabled && flush && SUCCEEDED(isEnabled(&enabled)) && enabled)
        flush();
}

// Waits, a bounded time, until the screen at p shows what `shows` accepts.
template <class Pred>
void WaitForScreen(POINT p, Pred shows) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        const COLORREF now = ScreenPixelAt(p);
        if ((now != CLR_INVALID && shows(now)) || ::GetTickCount() - start > kMarkPatienceMs)
            return;
        ::Sleep(1);
    }
}

// Makes what this window drew and hid reach the screen before the live screen
// is copied: our drawing flushed, the compositor's frame awaited where the
// system offers that wait, then a mark of ours shown and read back from the
// screen; the copy does this twice. Measured under Wine with a compositor (3
// runs of the region end-to-end tests each, under load): with only the
// flushes and reads of the screen, quick drags copied our frame in 2 runs;
// with the mark as well, in none. The mark shows on the screen within a
// millisecond or two; our guess is that the compositor shows it only after
// the hides sent before it.
// The mark is a pixel of this window at a screen corner outside the selection
// where the system says this window shows. With no such corner (a selection
// over the whole screen, or other programs' windows over the corners), it is a
// window of one pixel inside the selection, shown and then hidden, its hide
// read back too. Without it, 13 of 20 whole-screen copies after a quick
// double-click held the info window and the magnifier. A pixel of this window
// there does not do: the compositor here left a pixel turned back to the key
// colour on the screen (16 of 16 times, 50 ms each).
class CScreenMark {
public:
    CScreenMark(CWnd* pWnd, const RECT& selection, int cxScreen, int cyScreen) : m_dc(pWnd) {
        for (POINT p : {POINT{0, 0}, POINT{cxScreen - 1, 0}, POINT{0, cyScreen - 1}, POINT{cxScreen - 1, cyScreen - 1}})
            if (!::PtInRect(&selection, p) && ::WindowFromPoint(p) == pWnd->m_hWnd) {
                m_point = p;
                m_own = m_dc.GetPixel(m_point);
                return;
            }
        // Not made, there is no mark: the copy goes on without the wait.
        m_point = {(selection.left + selection.right) / 2, (selection.top + selection.bottom) / 2};
        m_markWnd.CreateEx(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, AfxRegisterWndClass(0), L"", WS_POPUP,
                           m_point.x, m_point.y, 1, 1, pWnd->m_hWnd, nullptr);
    }
    ~CScreenMark() {
        if (m_own != CLR_INVALID)
            m_dc.SetPixelV(m_point.x, m_point.y, m_own);
    }
    CScreenMark(const CScreenMark&) = delete;
    CScreenMark& operator=(const CScreenMark&) = delete;

    void ShowAndWait() {
        FlushDrawing();
        WaitForCompositor();
        const bool placed = m_own != CLR_INVALID || m_markWnd.GetSafeHwnd();
        const COLORREF before = placed ? ScreenPixelAt(m_point) : CLR_INVALID;
        if (before == CLR_INVALID)
            return;
        COLORREF mark = before ^ 0x808080;
        if (mark == kRegionKeyColor)
            mark ^= 0x010101;
        if (m_markWnd.GetSafeHwnd()) {
            m_markWnd.SetWindowPos(&CWnd::wndTopMost, m_point.x, m_point.y, 1, 1, SWP_SHOWWINDOW | SWP_NOACTIVATE);
            ScopedWindowDc dc(m_markWnd.m_hWnd);
            ::SetPixelV(dc.Get(), 0, 0, mark);
        } else {
            m_dc.SetPixelV(m_point.x, m_point.y, mark);
        }
        FlushDrawing();
        WaitForScreen(m_point, [&](COLORREF now) { return ColorDistance(now, mark) < ColorDistance(now, before); });
        if (!m_markWnd.GetSafeHwnd())
            return;
        m_markWnd.ShowWindow(SW_HIDE);
        FlushDrawing();
        // Gone once far from the mark; a 16-bit screen rounds each channel by up to 8.
        WaitForScreen(m_point, [&](COLORREF now) { return ColorDistance(now, mark) > 24; });
    }

private:
    CClientDC m_dc;
    CWnd m_markWnd;
    POINT m_point = {};
    COLORREF m_own = CLR_INVALID;
};

}  // namespace

BEGIN_MESSAGE_MAP(CDynamicRegionWnd, CSkinDialog)
    ON_WM_ERASEBKGND()
    ON_WM_SETCURSOR()
    ON_WM_TIMER()
    ON_WM_RBUTTONDOWN()
    ON_WM_RBUTTONUP()
    ON_WM_LBUTTONUP()
    ON_WM_LBUTTONDOWN()
    ON_WM_MOUSEMOVE()
    ON_WM_CLOSE()
    ON_WM_DESTROY()
END_MESSAGE_MAP()

CDynamicRegionWnd* CDynamicRegionWnd::Open(IRegionCaptureHost* pHost, bool bTrackerMode) {
    auto* wnd = new CDynamicRegionWnd(pHost, bTrackerMode);
    return CreateSelfDeleting(wnd, IDD_DYNAMIC_REGION) ? wnd : nullptr;
}

CDynamicRegionWnd::CDynamicRegionWnd(IRegionCaptureHost* pHost, bool bTrackerMode)
    : CRegionCaptureWnd(IDD_DYNAMIC_REGION, pHost, bTrackerMode) {}

CDynamicRegionWnd::~CDynamicRegionWnd() { TearDown(); }

BOOL CDynamicRegionWnd::OnInitDialog() {
    CSkinDialog::OnInitDialog();
    const RegionCaptureOptions options = GetOptions();
    const CPoint cursor = CoverScreen();
    m_region = {};
    EnableDrag(FALSE);
    SetBitmap(static_cast<HBITMAP>(::LoadImageW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDB_REGION_VIEW_BACKGROUND),
                                                IMAGE_BITMAP, 0, 0, 0)));
    SetBackgroundStyle(BACKGROUND_STRETCH);
    // Everything in the key colour is see-through: only what is drawn over it shows.
    SetLayeredAttributes(kRegionKeyColor, 255, LWA_COLORKEY | LWA_ALPHA);

    OpenAuxiliaryWindows(options);

    if (!m_bTrackerMode) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_CROSS));
        m_crossHair.SetExtent(m_cxScreen, m_cyScreen, 0, 0);
        m_crossHair.ClearPoints();
        return TRUE;
    }
    OpenTracker(cursor);
    return TRUE;
}

void CDynamicRegionWnd::OpenAuxiliaryWindows(const RegionCaptureOptions& options) {
    m_pPointerWnd = std::make_unique<CRegionPointerWnd>(this);
    if (m_pPointerWnd->Create(this)) {
        m_pPointerWnd->ShowWindow(SW_SHOW);
        m_pPointerWnd->SetCapture();
    }
    OpenInfoWindows(options, true);
}

COLORREF CDynamicRegionWnd::GetColorAt(POINT screenPoint) const {
    const COLORREF color = ScreenPixelAt(screenPoint);
    // The pointer window lies over the pixel and tints it by a step; under its
    // copy of the screen the next read is exact.
    if (m_pPointerWnd && m_pPointerWnd->GetSafeHwnd())
        m_pPointerWnd->MatchScreenAround(screenPoint);
    return color == CLR_INVALID ? 0 : color;
}

BOOL CDynamicRegionWnd::OnEraseBkgnd(CDC* pDC) {
    const BOOL result = CSkinDialog::OnEraseBkgnd(pDC);
    // The key colour covered whatever lines were on the window.
    m_bFrameDrawn = false;
    m_crossHair.ClearPoints();
    if (m_bTrackerMode && m_pTracker) {
        m_pTracker->Draw(pDC);
        m_region = RegionOfTracker();
        PlaceCloseBox();
        DrawCloseBox(m_buttons, pDC, ToGeo(m_closeBox));
    }
    return result;
}

void CDynamicRegionWnd::OnRButtonDown(UINT nFlags, CPoint point) {
    // A right press during a drag, or while a left press outside the tracker
    // waits for its release, cancels as Escape does.
    if (m_bDrawing || (m_bTrackerMode && (nFlags & MK_LBUTTON))) {
        EndAfterRelease();
        return;
    }
    m_bFollowing = SetTimer(kFollowTimer, 1) != 0;
    CSkinDialog::OnRButtonDown(nFlags, point);
}

void CDynamicRegionWnd::EndFollowing() {
    if (!m_bFollowing)
        return;
    m_bFollowing = false;
    KillTimer(kFollowTimer);
    // The pointer window is ours again for the drag: it keeps the press where it
    // was made and takes the mouse, the button being down.
    if (m_pPointerWnd && m_pPointerWnd->GetSafeHwnd())
        m_pPointerWnd->SetCapture();
}

void CDynamicRegionWnd::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent != kFollowTimer || !m_pPointerWnd || !m_pPointerWnd->GetSafeHwnd())
        return;
    CPoint cursor;
    ::GetCursorPos(&cursor);
    m_pPointerWnd->SetWindowPos(&wndTopMost, cursor.x, cursor.y, 1, 1, SWP_SHOWWINDOW);
}

void CDynamicRegionWnd::WipeOverlays() { RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); }

void CDynamicRegionWnd::OnLButtonDown(UINT nFlags, CPoint point) {
    // A press while the releases of an end are awaited starts nothing.
    if (WaitsForRelease())
        return;
    // The right button's following ends at the next left press.
    EndFollowing();
    if (m_bTrackerMode) {
        if (TrackFrom(point))
            WipeOverlays();
        return;
    }
    m_bDrawing = true;
    m_start = point;
    m_current = point;
    m_region = {point.x + 1, point.y + 1, 0, 0};
    WipeOverlays();
    CSkinDialog::OnLButtonDown(nFlags, point);
}

void CDynamicRegionWnd::OnMouseMove(UINT nFlags, CPoint point) {
    if (WaitsForRelease())
        return;
    if (!m_bTrackerMode) {
        DragTo(point, GetOptions());
        CSkinDialog::OnMouseMove(nFlags, point);
        return;
    }
    if (!m_pPointerWnd || !m_pPointerWnd->GetSafeHwnd())
        return;
    m_pPointerWnd->CoverScreen();
    // Over the tracker the mouse is the tracker's; elsewhere the pointer window's.
    const bool inside = ::PtInRect(&m_region, point) != FALSE;
    if (inside && !m_bCaptureReleased) {
        m_bCaptureReleased = true;
        ::ReleaseCapture();
    } else if (!inside && m_bCaptureReleased) {
        m_bCaptureReleased = false;
        m_pPointerWnd->SetCapture();
    }
}

void CDynamicRegionWnd::DragTo(CPoint point, const RegionCaptureOptions& options) {
    CClientDC dc(this);
    if (options.pointerEffect)
        DrawMovingCrossHair(&m_crossHair, &dc, false, static_cast<short>(point.x), static_cast<short>(point.y));
    if (!m_bDrawing)
        return;
    CPen pen(PS_SOLID, 2, RGB(255, 0, 0));
    CScopedSelectObject selected(dc, pen);
    const int oldRop = dc.SetROP2(R2_NOTXORPEN);
    if (m_bFrameDrawn)
        DrawFramePolyline(dc, m_start, m_current);  // drawn again, so erased
    m_previous = m_current;
    m_current = point;
    DrawFramePolyline(dc, m_start, m_current);
    m_bFrameDrawn = true;
    dc.SetROP2(oldRop);
    m_region = ToRect(DragFrameInside(ToGeo(m_start), ToGeo(m_current)));
}

RECT CDynamicRegionWnd::RegionOfTracker() const {
    return ToRect(InflateBy(NormalizeRect(ToGeo(m_pTracker->m_rect)), kTrackerMargin, kTrackerMargin));
}

GeoRect CDynamicRegionWnd::TrackerSelection() const {
    return InflateBy(ToGeo(m_region), -kTrackerMargin, -kTrackerMargin);
}

GeoRect CDynamicRegionWnd::EndDrag(CPoint point, const RegionCaptureOptions& options) {
    // The release is the last position: a drag quicker than the poller still counts.
    if (m_bDrawing)
        DragTo(point, options);
    m_bDrawing = false;
    return ToGeo(m_region);
}

void CDynamicRegionWnd::ShowHelpers(int nCmdShow) {
    for (CWnd* pWnd : {static_cast<CWnd*>(m_pViewWnd.get()), static_cast<CWnd*>(m_pMagnifierWnd.get())}) {
        if (pWnd && pWnd->GetSafeHwnd())
            pWnd->ShowWindow(nCmdShow);
    }
}

void CDynamicRegionWnd::CaptureSelection(const RECT& selection, POINT release, const RegionCaptureOptions& options) {
    // Nothing of ours lies over the screen when it is copied: not our lines, not
    // the helpers, not the pointer window, whose alpha of 1 still tints by a step.
    if (!m_bTrackerMode)
        WipeOverlays();
    ShowHelpers(SW_HIDE);
    const bool pointerShown = m_pPointerWnd && m_pPointerWnd->GetSafeHwnd();
    const bool pointerHeld = pointerShown && ::GetCapture() == m_pPointerWnd->m_hWnd;
    if (pointerShown)
        m_pPointerWnd->ShowWindow(SW_HIDE);
    {
        CScreenMark mark(this, selection, m_cxScreen, m_cyScreen);
        mark.ShowAndWait();
        mark.ShowAndWait();
        ScopedDc display(::CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
        HandRegionToHost(m_pHost, display.Get(), selection, options.layered ? kCaptureBltRop : SRCCOPY, release);
    }
    ShowHelpers(SW_SHOWNA);
    if (pointerShown) {
        m_pPointerWnd->CoverScreen();
        if (pointerHeld || !m_bTrackerMode)
            m_pPointerWnd->SetCapture();
    }
}

void CDynamicRegionWnd::KeepOnlyMouseHold() {
    // The pointer window had the press: a pixel of it at alpha 1 keeps the mouse.
    m_bDrawing = false;
    EndFollowing();
    ShowWindow(SW_HIDE);
    if (!m_pPointerWnd || !m_pPointerWnd->GetSafeHwnd())
        return;
    CPoint cursor;
    ::GetCursorPos(&cursor);
    m_pPointerWnd->SetWindowPos(&wndTopMost, cursor.x, cursor.y, 1, 1, SWP_NOACTIVATE);
    if (::GetCapture() != m_pPointerWnd->m_hWnd)
        m_pPointerWnd->SetCapture();
}

void CDynamicRegionWnd::TearDown() {
    if (m_hWnd)
        KillTimer(kFollowTimer);
    // The poller posts to this window: it ends before anything else goes.
    if (m_pPointerWnd)
        m_pPointerWnd->StopPolling();
    DestroyInfoWindows();
    if (m_pPointerWnd && m_pPointerWnd->GetSafeHwnd())
        m_pPointerWnd->DestroyWindow();
    m_pPointerWnd.reset();
    FreeTracker();
}
