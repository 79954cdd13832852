#include "NcTracker.h"

#include "app/regions/ScreenZoom.h"

namespace {

// The ring at `distance` pixels outside the normalised r, drawn by flipping bits.
void FlipRingOutside(CDC* pDC, const CRect& r, int distance) {
    if (!pDC || !pDC->GetSafeHdc())
        return;
    CRect ring = r;
    ring.NormalizeRect();
    ring.InflateRect(distance, distance);
    FlipTopBitsRing(pDC->GetSafeHdc(), ring);
}

}  // namespace

CNcTracker::CNcTracker(LPCRECT lpRect) : CRectTracker(lpRect, solidLine | resizeOutside) {
    // Indexed by cursor code: the eight handles, the inside, the hatched band.
    static const LPCWSTR kIds[kCursorCount] = {IDC_SIZENWSE, IDC_SIZENESW, IDC_SIZENWSE, IDC_SIZENESW, IDC_SIZENS,
                                               IDC_SIZEWE,   IDC_SIZENS,   IDC_SIZEWE,   IDC_SIZEALL,  IDC_SIZEALL};
    // System cursors are shared and never destroyed.
    for (int i = 0; i < kCursorCount; ++i)
        m_cursors[i] = ::LoadCursorW(nullptr, kIds[i]);
}

UINT CNcTracker::GetHandleMask() const {
    return trackgeo::OverriddenHandleMask(m_nHandleMaskOverride, ToGeo(m_rect), GetHandleSize());
}

void CNcTracker::Draw(CDC* pDC) const {
    // Under the handles, which cover it where they sit; the outline is one pixel out.
    FlipRingOutside(pDC, m_rect, 2);
    DrawTracker(pDC, RGB(255, 0, 0));
}

void CNcTracker::DrawTrackerRect(LPCRECT lpRect, CWnd* pWndClipTo, CDC* pDC, CWnd* pWnd) {
    CRectTracker::DrawTrackerRect(lpRect, pWndClipTo, pDC, pWnd);
    // The inverted frame is two pixels wide.
    if (lpRect)
        FlipRingOutside(pDC, CRect(lpRect), 3);
}

BOOL CNcTracker::SetCursor(CWnd* pWnd, UINT nHitTest) const {
    if (nHitTest != HTCLIENT || !pWnd || !pWnd->m_hWnd)
        return FALSE;
    POINT p;
    ::GetCursorPos(&p);
    ::ScreenToClient(pWnd->m_hWnd, &p);
    const int code =
        trackgeo::CursorIndex(ToGeo(m_rect), trackgeo::Point{p.x, p.y}, m_nStyle, GetHandleMask(), GetHandleSize());
    if (code < 0 || code >= kCursorCount)
        return FALSE;
    ::SetCursor(m_cursors[code]);
    return TRUE;
}
