#include "app/regions/StaticRegionWnd.h"

#include "app/capture/ScopedGdi.h"
#include "app/regions/RegionCaptureSupport.h"
#include "app/regions/ScreenZoom.h"
#include "resources/resource.h"
#include "widgets/MemDC.h"

namespace {

// Posted by the refresh thread: repaint the frozen picture and the tracker.
constexpr UINT WM_TRACKER_REFRESH = WM_APP + 20;
constexpr DWORD kRefreshMs = 200;

}  // namespace

BEGIN_MESSAGE_MAP(CStaticRegionWnd, CDialog)
    ON_WM_ERASEBKGND()
    ON_WM_LBUTTONUP()
    ON_WM_LBUTTONDOWN()
    ON_WM_RBUTTONDOWN()
    ON_WM_RBUTTONUP()
    ON_WM_MOUSEMOVE()
    ON_WM_SETCURSOR()
    ON_WM_CLOSE()
    ON_WM_DESTROY()
    ON_MESSAGE(WM_TRACKER_REFRESH, OnTrackerRefresh)
END_MESSAGE_MAP()

CStaticRegionWnd* CStaticRegionWnd::Open(IRegionCaptureHost* pHost, bool bTrackerMode) {
    auto* wnd = new CStaticRegionWnd(pHost, bTrackerMode);
    if (!CreateSelfDeleting(wnd, IDD_STATIC_REGION))
        return nullptr;
    wnd->RaiseInfoWindows();
    return wnd;
}

CStaticRegionWnd::CStaticRegionWnd(IRegionCaptureHost* pHost, bool bTrackerMode)
    : CRegionCaptureWnd(IDD_STATIC_REGION, pHost, bTrackerMode) {}

CStaticRegionWnd::~CStaticRegionWnd() {
    TearDown();
    FreeFrozen();
}

void CStaticRegionWnd::FreeFrozen() {
    if (m_hOldFrozenBitmap && m_frozenDC.m_hDC)
        ::SelectObject(m_frozenDC.m_hDC, m_hOldFrozenBitmap);
    m_hOldFrozenBitmap = nullptr;
    m_frozenDC.DeleteDC();
    m_frozenBitmap.DeleteObject();
}

BOOL CStaticRegionWnd::OnInitDialog() {
    CDialog::OnInitDialog();
    const RegionCaptureOptions options = GetOptions();
    const CPoint cursor = CoverScreen();
    Freeze(options.layered ? kCaptureBltRop : SRCCOPY);
    m_region = {};
    OpenInfoWindows(options, false);

    if (!m_bTrackerMode) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_CROSS));
        return TRUE;
    }
    OpenTracker(cursor);
    // The painting itself is the UI thread's, which dispatches the refresh also inside Track.
    m_refresher.Start(RefreshThreadProc, this, m_hWnd, WM_TRACKER_REFRESH, kRefreshMs, false);
    return TRUE;
}

UINT CStaticRegionWnd::RefreshThreadProc(LPVOID pParam) {
    return static_cast<CStaticRegionWnd*>(pParam)->m_refresher.Run();
}

void CStaticRegionWnd::Freeze(DWORD dwRop) {
    ScopedDc display(::CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
    if (!display.Get())
        return;
    if (!m_frozenDC.Attach(::CreateCompatibleDC(display.Get())))
        return;
    if (!m_frozenBitmap.Attach(::CreateCompatibleBitmap(display.Get(), m_cxScreen, m_cyScreen)))
        return;
    m_hOldFrozenBitmap = ::SelectObject(m_frozenDC.m_hDC, m_frozenBitmap.m_hObject);
    ::BitBlt(m_frozenDC.m_hDC, 0, 0, m_cxScreen, m_cyScreen, display.Get(), 0, 0, dwRop);
}

COLORREF CStaticRegionWnd::GetColorAt(POINT screenPoint) const {
    if (!m_frozenDC.m_hDC)
        return 0;
    const COLORREF color = ::GetPixel(m_frozenDC.m_hDC, screenPoint.x, screenPoint.y);
    return color == CLR_INVALID ? 0 : color;
}

LRESULT CStaticRegionWnd::OnTrackerRefresh(WPARAM, LPARAM) {
    // Only while the tracker's loop runs: otherwise the window paints itself.
    if (m_pTracker && IsTracking()) {
        CClientDC dc(this);
        PaintTracker(&dc);
    }
    return 0;
}

void CStaticRegionWnd::PaintTracker(CDC* pDC) {
    pDC->BitBlt(0, 0, m_cxScreen, m_cyScreen, &m_frozenDC, 0, 0, SRCCOPY);
    m_pTracker->Draw(pDC);
    m_region = RegionOfTracker();
    PlaceCloseBox();
    DrawCloseBox(m_buttons, pDC, ToGeo(m_closeBox));
}

BOOL CStaticRegionWnd::OnEraseBkgnd(CDC* pDC) {
    if (m_bTrackerMode) {
        if (m_pTracker)
            PaintTracker(pDC);
        return TRUE;
    }
    const RegionCaptureOptions options = GetOptions();
    CPoint cursor;
    ::GetCursorPos(&cursor);
    auto paint = [&](CDC* dc) {
        dc->BitBlt(0, 0, m_cxScreen, m_cyScreen, &m_frozenDC, 0, 0, SRCCOPY);
        if (m_bDrawing)
            DrawXorFrame(dc, m_region);
        if (options.pointerEffect)
            DrawCrossLines(dc, cursor.x, cursor.y, m_cxScreen, m_cyScreen);
    };
    if (m_bDrawing) {
        CMemDC memDC(pDC);
        paint(&memDC);
    } else {
        paint(pDC);
    }
    return TRUE;
}

void CStaticRegionWnd::OnLButtonDown(UINT, CPoint point) {
    // A press while the releases of an end are awaited starts nothing.
    if (WaitsForRelease())
        return;
    // The press may bring this window up, among other programs' topmost
    // windows: the helpers go back above it for the whole drag.
    RaiseInfoWindows();
    if (m_bTrackerMode) {
        if (TrackFrom(point))
            Invalidate(TRUE);
        return;
    }
    m_bDrawing = true;
    m_region = {point.x, point.y, point.x, point.y};
    // The release belongs to this drag, also over the information window.
    SetCapture();
    Invalidate(TRUE);
}

void CStaticRegionWnd::OnRButtonDown(UINT nFlags, CPoint) {
    // A right press during a drag, or while a left press outside the tracker
    // waits for its release, cancels as Escape does.
    if (m_bDrawing || (m_bTrackerMode && (nFlags & MK_LBUTTON)))
        EndAfterRelease();
}

void CStaticRegionWnd::OnMouseMove(UINT, CPoint point) {
    if (WaitsForRelease() || m_bTrackerMode)
        return;
    Invalidate(TRUE);
    if (m_bDrawing) {
        RaiseInfoWindows();
        m_region.right = point.x;
        m_region.bottom = point.y;
    }
}

RECT CStaticRegionWnd::RegionOfTracker() const { return ToRect(NormalizeRect(ToGeo(m_pTracker->m_rect))); }

GeoRect CStaticRegionWnd::TrackerSelection() const { return NormalizeRect(ToGeo(m_region)); }

GeoRect CStaticRegionWnd::EndDrag(CPoint point, const RegionCaptureOptions&) {
    const bool dragged = m_bDrawing;
    m_bDrawing = false;
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    Invalidate(TRUE);
    if (dragged) {
        m_region.right = point.x;
        m_region.bottom = point.y;
    }
    // The outline is not copied: one pixel in from both corners.
    return DragFrameInside({m_region.left, m_region.top}, {m_region.right, m_region.bottom});
}

void CStaticRegionWnd::CaptureSelection(const RECT& selection, POINT release, const RegionCaptureOptions&) {
    // From the frozen picture: the display also holds our lines and helpers.
    HandRegionToHost(m_pHost, m_frozenDC.m_hDC, selection, SRCCOPY, release);
}

void CStaticRegionWnd::KeepOnlyMouseHold() {
    // This window had the press: one pixel of it stays, under the pointer.
    m_bDrawing = false;
    CPoint cursor;
    ::GetCursorPos(&cursor);
    SetWindowPos(nullptr, cursor.x, cursor.y, 1, 1, SWP_NOZORDER | SWP_NOACTIVATE);
    if (::GetCapture() != m_hWnd)
        SetCapture();
}

void CStaticRegionWnd::TearDown() {
    m_refresher.Stop();
    DestroyInfoWindows();
    FreeTracker();
}

void CStaticRegionWnd::PostNcDestroy() {
    // The frozen picture goes with the window, not later with the object.
    FreeFrozen();
    CRegionCaptureWnd::PostNcDestroy();
}
