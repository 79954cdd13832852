#include "NcTracker.h"

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

void CNcTracker::Draw(CDC* pDC) const { DrawTracker(pDC, RGB(255, 0, 0)); }

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
