#include "app/regions/ColorViewStatic.h"

BEGIN_MESSAGE_MAP(CColorViewStatic, CStatic)
    ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

BOOL CColorViewStatic::OnEraseBkgnd(CDC* pDC) {
    const BOOL result = CStatic::OnEraseBkgnd(pDC);
    if (!pDC)
        return result;
    CRect r;
    GetClientRect(&r);
    r.DeflateRect(1, 1);
    if (r.IsRectEmpty())
        return result;
    if (!m_bActive) {
        pDC->FillSolidRect(&r, m_color);
    } else if (!m_bPaused) {
        // The zoom draws from the DC's origin: move it onto r.
        const CPoint origin = pDC->OffsetViewportOrg(r.left, r.top);
        const CRect size(0, 0, r.Width(), r.Height());
        DrawZoomedScreen(&m_crossHair, &size, pDC, m_nFactor, m_bCrossHair, m_bCursor, false);
        pDC->SetViewportOrg(origin);
    }
    // The static's own painting must not cover the picture.
    pDC->ExcludeClipRect(&r);
    return result;
}
