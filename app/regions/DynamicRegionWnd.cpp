#include "app/regions/DynamicRegionWnd.h"

#include "app/capture/ScopedGdi.h"
#include "app/regions/MagnifierWnd.h"
#include "app/regions/RegionCaptureSupport.h"
#include "app/regions/RegionPointerWnd.h"
#include "app/regions/RegionViewWnd.h"
#include "resources/resource.h"

namespace {

constexpr UINT_PTR kFollowTimer = 0;

void DrawFramePolyline(CDC& dc, CPoint start, CPoint corner) {
    const POINT points[5] = {{start.x, start.y}, {corner.x, start.y}, {corner.x, corner.y}, {start.x, corner.y},
                             {start.x, start.y}};
    dc.Polyline(points, 5);
}

}  // namespace

BEGIN_MESSAGE_MAP(CDynamicRegionWnd, CSkinDialog)
    ON_WM_ERASEBKGND()
    ON_WM_SETCURSOR()
    ON_WM_TIMER()
    ON_WM_RBUTTONDOWN()
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
    HDC screen = ::GetDC(nullptr);
    const COLORREF color = screen ? ::GetPixel(screen, screenPoint.x, screenPoint.y) : 0;
    if (screen)
        ::ReleaseDC(nullptr, screen);
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

void CDynamicRegionWnd::CaptureSelection(const RECT& selection, const RegionCaptureOptions& options) {
    // Nothing of ours lies over the screen when it is copied: not our lines, not
    // the helpers, not the pointer window, whose alpha of 1 still tints by a step.
    if (!m_bTrackerMode)
        WipeOverlays();
    ShowHelpers(SW_HIDE);
    const bool pointerShown = m_pPointerWnd && m_pPointerWnd->GetSafeHwnd();
    const bool pointerHeld = pointerShown && ::GetCapture() == m_pPointerWnd->m_hWnd;
    if (pointerShown)
        m_pPointerWnd->ShowWindow(SW_HIDE);
    ::GdiFlush();
    ::Sleep(kHiddenSettleMs);
    {
        ScopedDc display(::CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
        HandRegionToHost(m_pHost, display.Get(), selection, options.layered ? kCaptureBltRop : SRCCOPY);
    }
    ShowHelpers(SW_SHOWNA);
    if (pointerShown) {
        m_pPointerWnd->SetWindowPos(&wndTopMost, 0, 0, m_cxScreen, m_cyScreen, SWP_SHOWWINDOW | SWP_NOACTIVATE);
        if (pointerHeld || !m_bTrackerMode)
            m_pPointerWnd->SetCapture();
    }
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
