#include "app/regions/StaticRegionWnd.h"

#include "app/capture/ScopedGdi.h"
#include "app/regions/MagnifierWnd.h"
#include "app/regions/RegionCaptureSupport.h"
#include "app/regions/RegionViewWnd.h"
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
    ON_WM_MOUSEMOVE()
    ON_WM_SETCURSOR()
    ON_WM_CLOSE()
    ON_WM_DESTROY()
    ON_MESSAGE(WM_TRACKER_REFRESH, OnTrackerRefresh)
END_MESSAGE_MAP()

CStaticRegionWnd* CStaticRegionWnd::Open(IRegionCaptureHost* pHost, bool bTrackerMode) {
    auto* wnd = new CStaticRegionWnd(pHost, bTrackerMode);
    if (!wnd->Create(IDD_STATIC_REGION, nullptr)) {
        delete wnd;  // not self-deleting yet, whatever became of its window
        return nullptr;
    }
    wnd->m_bSelfDeleting = true;
    wnd->ShowWindow(SW_SHOWNORMAL);
    return wnd;
}

CStaticRegionWnd::CStaticRegionWnd(IRegionCaptureHost* pHost, bool bTrackerMode)
    : CDialog(IDD_STATIC_REGION), m_pHost(pHost), m_bTrackerMode(bTrackerMode) {}

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
    const RegionCaptureOptions options = m_pHost ? m_pHost->GetRegionCaptureOptions() : RegionCaptureOptions();
    // The tracker opens where the pointer was when the command came.
    CPoint cursor;
    ::GetCursorPos(&cursor);
    m_cxScreen = ::GetSystemMetrics(SM_CXSCREEN);
    m_cyScreen = ::GetSystemMetrics(SM_CYSCREEN);
    MoveWindow(0, 0, m_cxScreen, m_cyScreen);
    Freeze(options.layered ? kCaptureBltRop : SRCCOPY);
    m_region = {};
    OpenAuxiliaryWindows(options);

    if (!m_bTrackerMode) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_CROSS));
        return TRUE;
    }
    m_region = {cursor.x, cursor.y, cursor.x + 100, cursor.y + 100};
    m_pTracker = std::make_unique<CNcTracker>(&m_region);
    ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
    LoadCloseBoxImages(m_buttons);
    PlaceCloseBox();
    {
        CWindowDC dc(this);
        DrawCloseBox(m_buttons, &dc, ToGeo(m_closeBox));
    }
    m_hWndRefresh = m_hWnd;
    m_pRefreshThread = AfxBeginThread(RefreshThreadProc, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (m_pRefreshThread) {
        m_pRefreshThread->m_bAutoDelete = FALSE;
        m_pRefreshThread->ResumeThread();
    }
    return TRUE;
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

void CStaticRegionWnd::OpenAuxiliaryWindows(const RegionCaptureOptions& options) {
    if (options.magnifierEffect) {
        m_pMagnifierWnd = std::make_unique<CMagnifierWnd>(this);
        m_pMagnifierWnd->m_bLiveScreen = false;
        if (m_pMagnifierWnd->Create(this))
            m_pMagnifierWnd->ShowWindow(SW_SHOW);
    }
    m_pViewWnd = std::make_unique<CRegionViewWnd>(this);
    m_pViewWnd->m_bLiveScreen = false;
    if (m_pViewWnd->Create(this))
        m_pViewWnd->ShowWindow(SW_SHOW);
}

COLORREF CStaticRegionWnd::GetColorAt(POINT screenPoint) const {
    if (!m_frozenDC.m_hDC)
        return 0;
    const COLORREF color = ::GetPixel(m_frozenDC.m_hDC, screenPoint.x, screenPoint.y);
    return color == CLR_INVALID ? 0 : color;
}

BOOL CStaticRegionWnd::PreTranslateMessage(MSG* pMsg) {
    // Escape on this window or on its information window ends the capture.
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_ESCAPE) {
        EndCapture();
        return TRUE;
    }
    return CDialog::PreTranslateMessage(pMsg);
}

UINT CStaticRegionWnd::RefreshThreadProc(LPVOID pParam) {
    auto* self = static_cast<CStaticRegionWnd*>(pParam);
    const HWND target = self->m_hWndRefresh;
    while (!::InterlockedCompareExchange(&self->m_nStop, 0, 0)) {
        ::Sleep(kRefreshMs);
        if (::InterlockedCompareExchange(&self->m_nStop, 0, 0))
            break;
        // The painting itself is the UI thread's, which dispatches this also inside Track.
        ::PostMessageW(target, WM_TRACKER_REFRESH, 0, 0);
    }
    return 0;
}

void CStaticRegionWnd::StopRefreshThread() {
    ::InterlockedExchange(&m_nStop, 1);
    if (!m_pRefreshThread)
        return;
    ::WaitForSingleObject(m_pRefreshThread->m_hThread, INFINITE);
    delete m_pRefreshThread;
    m_pRefreshThread = nullptr;
}

LRESULT CStaticRegionWnd::OnTrackerRefresh(WPARAM, LPARAM) {
    if (m_pTracker && m_bDrawing) {
        CClientDC dc(this);
        PaintTracker(&dc);
    }
    return 0;
}

void CStaticRegionWnd::PlaceCloseBox() { m_closeBox = ToRect(CloseBoxFor(ToGeo(m_region))); }

void CStaticRegionWnd::PaintTracker(CDC* pDC) {
    pDC->BitBlt(0, 0, m_cxScreen, m_cyScreen, &m_frozenDC, 0, 0, SRCCOPY);
    m_pTracker->Draw(pDC);
    m_region = ToRect(NormalizeRect(ToGeo(m_pTracker->m_rect)));
    PlaceCloseBox();
    DrawCloseBox(m_buttons, pDC, ToGeo(m_closeBox));
}

BOOL CStaticRegionWnd::OnEraseBkgnd(CDC* pDC) {
    if (m_bTrackerMode) {
        if (m_pTracker)
            PaintTracker(pDC);
        return TRUE;
    }
    const RegionCaptureOptions options = m_pHost ? m_pHost->GetRegionCaptureOptions() : RegionCaptureOptions();
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

BOOL CStaticRegionWnd::OnSetCursor(CWnd*, UINT nHitTest, UINT) {
    if (!m_bTrackerMode)
        ::SetCursor(::LoadCursorW(nullptr, IDC_CROSS));
    else if (!m_pTracker || !m_pTracker->SetCursor(this, nHitTest))
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
    return TRUE;
}

void CStaticRegionWnd::OnLButtonDown(UINT, CPoint point) {
    if (m_bTrackerMode) {
        if (!m_pTracker || m_bInTrack)
            return;
        m_bDrawing = true;
        m_bInTrack = true;
        m_pTracker->Track(this, point, TRUE, nullptr);
        m_bInTrack = false;
        m_bDrawing = false;
        if (m_bDeleteAfterTrack) {
            delete this;  // destroyed while tracking
            return;
        }
        if (m_bEndAfterTrack) {
            EndCapture();
            return;
        }
        Invalidate(TRUE);
        return;
    }
    m_bDrawing = true;
    m_region = {point.x, point.y, point.x, point.y};
    // The release belongs to this drag, also over the information window.
    SetCapture();
    Invalidate(TRUE);
}

void CStaticRegionWnd::OnMouseMove(UINT, CPoint point) {
    if (m_bTrackerMode)
        return;
    Invalidate(TRUE);
    if (m_bDrawing) {
        m_region.right = point.x;
        m_region.bottom = point.y;
    }
}

void CStaticRegionWnd::OnLButtonUp(UINT, CPoint point) {
    if (m_bInTrack)
        return;
    const RegionCaptureOptions options = m_pHost ? m_pHost->GetRegionCaptureOptions() : RegionCaptureOptions();
    GeoRect selection;
    if (m_bTrackerMode) {
        CRect window;
        GetWindowRect(&window);
        if (HitsCloseBox(ToGeo(m_closeBox), GeoPoint{point.x - window.left, point.y - window.top})) {
            EndCapture();
            return;
        }
        selection = NormalizeRect(ToGeo(m_region));
    } else {
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
        selection = DragFrameInside({m_region.left, m_region.top}, {m_region.right, m_region.bottom});
    }
    if (IsEmptySelection(selection)) {
        EndCapture();
        return;
    }
    // From the frozen picture: the display also holds our lines and helpers.
    HandRegionToHost(m_pHost, m_frozenDC.m_hDC, ToRect(selection), SRCCOPY);
    if (!m_bTrackerMode)
        m_region = {};
    if (!options.keepEffect)
        EndCapture();
}

void CStaticRegionWnd::EndCapture() {
    if (m_bInTrack) {
        m_bEndAfterTrack = true;
        return;
    }
    if (m_bEnding)
        return;
    m_bEnding = true;
    TearDown();
    if (m_hWnd)
        DestroyWindow();
}

void CStaticRegionWnd::TearDown() {
    StopRefreshThread();
    if (m_pViewWnd && m_pViewWnd->GetSafeHwnd())
        m_pViewWnd->DestroyWindow();
    m_pViewWnd.reset();
    if (m_pMagnifierWnd && m_pMagnifierWnd->GetSafeHwnd())
        m_pMagnifierWnd->DestroyWindow();
    m_pMagnifierWnd.reset();
    if (!m_bInTrack)
        m_pTracker.reset();
    m_buttons.DeleteImageList();
    if (m_hWnd && ::GetCapture() == m_hWnd)
        ::ReleaseCapture();
}

void CStaticRegionWnd::OnClose() { EndCapture(); }

void CStaticRegionWnd::OnDestroy() {
    TearDown();
    CDialog::OnDestroy();
}

void CStaticRegionWnd::PostNcDestroy() {
    CDialog::PostNcDestroy();
    // The frozen picture goes with the window, not later with the object.
    FreeFrozen();
    if (m_pHost)
        m_pHost->OnRegionWindowGone(this);
    if (!m_bSelfDeleting)
        return;
    if (m_bInTrack) {
        m_bDeleteAfterTrack = true;
        return;
    }
    delete this;
}
