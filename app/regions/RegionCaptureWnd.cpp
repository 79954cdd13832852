#include "app/regions/RegionCaptureWnd.h"

#include "app/regions/MagnifierWnd.h"
#include "app/regions/RegionCaptureSupport.h"
#include "app/regions/RegionViewWnd.h"

template <class TBase>
CRegionCaptureWnd<TBase>::CRegionCaptureWnd(UINT nIDTemplate, IRegionCaptureHost* pHost, bool bTrackerMode)
    : TBase(nIDTemplate), m_pHost(pHost), m_bTrackerMode(bTrackerMode) {}

template <class TBase>
CRegionCaptureWnd<TBase>::~CRegionCaptureWnd() = default;

template <class TBase>
bool CRegionCaptureWnd<TBase>::CreateSelfDeleting(CRegionCaptureWnd* pWnd, UINT nIDTemplate) {
    pWnd->m_hWndHome = ::GetForegroundWindow();
    if (!pWnd->Create(nIDTemplate, nullptr)) {
        delete pWnd;  // not self-deleting yet, whatever became of its window
        return false;
    }
    pWnd->m_bSelfDeleting = true;
    pWnd->ShowWindow(SW_SHOWNORMAL);
    return true;
}

template <class TBase>
RegionCaptureOptions CRegionCaptureWnd<TBase>::GetOptions() const {
    return m_pHost ? m_pHost->GetRegionCaptureOptions() : RegionCaptureOptions();
}

template <class TBase>
CPoint CRegionCaptureWnd<TBase>::CoverScreen() {
    CPoint cursor;
    ::GetCursorPos(&cursor);
    m_cxScreen = ::GetSystemMetrics(SM_CXSCREEN);
    m_cyScreen = ::GetSystemMetrics(SM_CYSCREEN);
    this->MoveWindow(0, 0, m_cxScreen, m_cyScreen, TRUE);
    return cursor;
}

template <class TBase>
void CRegionCaptureWnd<TBase>::OpenInfoWindows(const RegionCaptureOptions& options, bool bLiveScreen) {
    if (options.magnifierEffect) {
        m_pMagnifierWnd = std::make_unique<CMagnifierWnd>(this);
        m_pMagnifierWnd->m_bLiveScreen = bLiveScreen;
        if (m_pMagnifierWnd->Create(this))
            m_pMagnifierWnd->ShowWindow(SW_SHOW);
    }
    m_pViewWnd = std::make_unique<CRegionViewWnd>(this);
    m_pViewWnd->m_bLiveScreen = bLiveScreen;
    if (m_pViewWnd->Create(this))
        m_pViewWnd->ShowWindow(SW_SHOW);
}

template <class TBase>
void CRegionCaptureWnd<TBase>::RaiseInfoWindows() {
    for (CWnd* pWnd : {static_cast<CWnd*>(m_pMagnifierWnd.get()), static_cast<CWnd*>(m_pViewWnd.get())})
        if (pWnd && pWnd->GetSafeHwnd())
            pWnd->SetWindowPos(&CWnd::wndTopMost, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

template <class TBase>
void CRegionCaptureWnd<TBase>::DestroyInfoWindows() {
    if (m_pViewWnd && m_pViewWnd->GetSafeHwnd())
        m_pViewWnd->DestroyWindow();
    m_pViewWnd.reset();
    if (m_pMagnifierWnd && m_pMagnifierWnd->GetSafeHwnd())
        m_pMagnifierWnd->DestroyWindow();
    m_pMagnifierWnd.reset();
}

template <class TBase>
void CRegionCaptureWnd<TBase>::OpenTracker(CPoint cursor) {
    m_region = ToRect(TrackerOpening(ToGeo(cursor), m_cxScreen, m_cyScreen));
    m_pTracker = std::make_unique<CNcTracker>(&m_region);
    ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
    LoadCloseBoxImages(m_buttons);
    PlaceCloseBox();
    CWindowDC dc(this);
    DrawCloseBox(m_buttons, &dc, ToGeo(m_closeBox));
}

template <class TBase>
void CRegionCaptureWnd<TBase>::FreeTracker() {
    if (!m_bInTrack)
        m_pTracker.reset();
    m_buttons.DeleteImageList();
    if (this->m_hWnd && ::GetCapture() == this->m_hWnd)
        ::ReleaseCapture();
}

template <class TBase>
void CRegionCaptureWnd<TBase>::PlaceCloseBox() {
    m_closeBox = ToRect(CloseBoxFor(ToGeo(m_region)));
}

template <class TBase>
bool CRegionCaptureWnd<TBase>::TrackFrom(CPoint point) {
    if (!m_pTracker || m_bInTrack)
        return false;
    m_bInTrack = true;
    m_pTracker->Track(this, point, TRUE, nullptr);
    m_bInTrack = false;
    // The tracker's loop took the Escape or right click that ends the capture everywhere else.
    if (m_pTracker && m_pTracker->EndedByUser())
        m_bEndAfterTrack = true;
    if (m_bDeleteAfterTrack) {
        delete this;  // destroyed while tracking
        return false;
    }
    if (m_bEndAfterTrack) {
        EndCapture();
        return false;
    }
    return true;
}

template <class TBase>
BOOL CRegionCaptureWnd<TBase>::PreTranslateMessage(MSG* pMsg) {
    // Escape on this window or on one of its helpers ends the capture.
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_ESCAPE) {
        EndAfterRelease();
        return TRUE;
    }
    return TBase::PreTranslateMessage(pMsg);
}

template <class TBase>
BOOL CRegionCaptureWnd<TBase>::OnSetCursor(CWnd*, UINT nHitTest, UINT) {
    if (!m_bTrackerMode)
        ::SetCursor(::LoadCursorW(nullptr, IDC_CROSS));
    else if (!m_pTracker || !m_pTracker->SetCursor(this, nHitTest))
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
    return TRUE;
}

template <class TBase>
void CRegionCaptureWnd<TBase>::EndAfterRelease() {
    // The tracker's loop keeps the mouse until its own releases.
    if (m_bEndOnRelease)
        return;
    if (m_bInTrack || !AfxAnyButtonStillDown()) {
        EndCapture();
        return;
    }
    m_bEndOnRelease = true;
    DestroyInfoWindows();
    GiveFocusBackHome();
    KeepOnlyMouseHold();
}

template <class TBase>
void CRegionCaptureWnd<TBase>::GiveFocusBackHome() {
    const HWND active = ::GetForegroundWindow();
    const bool ours = active && (active == this->m_hWnd || ::GetWindow(active, GW_OWNER) == this->m_hWnd);
    if ((active && !ours) || !::IsWindow(m_hWndHome) || !::IsWindowVisible(m_hWndHome))
        return;
    ::SetForegroundWindow(m_hWndHome);
}

template <class TBase>
bool CRegionCaptureWnd<TBase>::WaitsForRelease() {
    if (!m_bEndOnRelease)
        return false;
    if (!AfxAnyButtonStillDown())
        EndCapture();
    return true;
}

template <class TBase>
void CRegionCaptureWnd<TBase>::OnLButtonUp(UINT, CPoint point) {
    if (m_bInTrack || WaitsForRelease())
        return;
    // Every end here waits for the other buttons' releases too.
    const RegionCaptureOptions options = GetOptions();
    GeoRect selection;
    if (m_bTrackerMode) {
        CRect window;
        this->GetWindowRect(&window);
        if (HitsCloseBox(ToGeo(m_closeBox), GeoPoint{point.x - window.left, point.y - window.top})) {
            EndAfterRelease();
            return;
        }
        selection = TrackerSelection();
    } else {
        selection = EndDrag(point, options);
    }
    // A tracker moved past the edge: what lies beyond the screen is not saved.
    selection = ClipRect(selection, {0, 0, m_cxScreen, m_cyScreen});
    if (IsEmptySelection(selection)) {
        EndAfterRelease();
        return;
    }
    CaptureSelection(ToRect(selection), point, options);
    if (!m_bTrackerMode)
        m_region = {};
    if (!options.keepEffect)
        EndAfterRelease();
}

// The right button's release ends a cancel made with it; otherwise it does nothing here.
template <class TBase>
void CRegionCaptureWnd<TBase>::OnRButtonUp(UINT, CPoint) {
    WaitsForRelease();
}

template <class TBase>
void CRegionCaptureWnd<TBase>::EndCapture() {
    if (m_bInTrack) {
        m_bEndAfterTrack = true;
        return;
    }
    if (m_bEnding)
        return;
    m_bEnding = true;
    if (this->m_hWnd)
        GiveFocusBackHome();
    TearDown();
    if (this->m_hWnd)
        this->DestroyWindow();
}

template <class TBase>
void CRegionCaptureWnd<TBase>::OnClose() {
    EndCapture();
}

template <class TBase>
void CRegionCaptureWnd<TBase>::OnDestroy() {
    TearDown();
    TBase::OnDestroy();
}

template <class TBase>
void CRegionCaptureWnd<TBase>::PostNcDestroy() {
    TBase::PostNcDestroy();
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

template class CRegionCaptureWnd<CDialog>;
template class CRegionCaptureWnd<CSkinDialog>;
