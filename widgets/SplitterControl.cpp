#include "widgets/SplitterControl.h"

#include <algorithm>

HCURSOR CSplitterControl::s_hcurSizeWE = nullptr;
HCURSOR CSplitterControl::s_hcurSizeNS = nullptr;

BEGIN_MESSAGE_MAP(CSplitterControl, CStatic)
    ON_WM_PAINT()
    ON_WM_MOUSEMOVE()
    ON_WM_SETCURSOR()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_WM_CAPTURECHANGED()
END_MESSAGE_MAP()

int CSplitterControl::BarCentre(const CRect& rect) const {
    return m_nType == SPS_VERTICAL ? rect.left + rect.Width() / 2 : rect.top + rect.Height() / 2;
}

BOOL CSplitterControl::Create(const RECT& rect, CWnd* pParentWnd) {
    CRect rc(rect);
    m_nType = rc.Width() < rc.Height() ? SPS_VERTICAL : SPS_HORIZONTAL;
    if (m_nType == SPS_VERTICAL)
        rc.right = rc.left + kThickness;
    else
        rc.bottom = rc.top + kThickness;
    if (!CStatic::Create(L"", WS_CHILD | WS_VISIBLE | SS_NOTIFY, rc, pParentWnd, kControlId))
        return FALSE;
    if (!s_hcurSizeWE)
        s_hcurSizeWE = ::LoadCursorW(nullptr, IDC_SIZEWE);
    if (!s_hcurSizeNS)
        s_hcurSizeNS = ::LoadCursorW(nullptr, IDC_SIZENS);

    // Until the owner sets a range, the bar stays where it is.
    GetWindowRect(&rc);
    ::MapWindowPoints(nullptr, ::GetParent(m_hWnd), reinterpret_cast<LPPOINT>(&rc), 2);
    rc.NormalizeRect();
    m_nMin = m_nMax = BarCentre(rc);
    return TRUE;
}

void CSplitterControl::SetRange(int nMin, int nMax) {
    m_nMin = nMin;
    m_nMax = nMax;
}

void CSplitterControl::ChangeWidth(CWnd* pWnd, int dx, DWORD dwFlag) {
    HWND hWnd = pWnd->GetSafeHwnd();
    HWND hParent = hWnd ? ::GetParent(hWnd) : nullptr;
    if (!hParent)
        return;
    CRect rc;
    ::GetWindowRect(hWnd, &rc);
    ::MapWindowPoints(nullptr, hParent, reinterpret_cast<LPPOINT>(&rc), 2);
    rc.NormalizeRect();
    if (dwFlag == CW_RIGHTALIGN)
        rc.left += dx;
    else
        rc.right += dx;
    ::MoveWindow(hWnd, rc.left, rc.top, rc.Width(), rc.Height(), TRUE);
}

void CSplitterControl::ChangeHeight(CWnd* pWnd, int dy, DWORD dwFlag) {
    HWND hWnd = pWnd->GetSafeHwnd();
    HWND hParent = hWnd ? ::GetParent(hWnd) : nullptr;
    if (!hParent)
        return;
    CRect rc;
    ::GetWindowRect(hWnd, &rc);
    ::MapWindowPoints(nullptr, hParent, reinterpret_cast<LPPOINT>(&rc), 2);
    rc.NormalizeRect();
    if (dwFlag == CW_BOTTOMALIGN)
        rc.top += dy;
    else
        rc.bottom += dy;
    ::MoveWindow(hWnd, rc.left, rc.top, rc.Width(), rc.Height(), TRUE);
}

void CSplitterControl::OnPaint() {
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    CPen pen(PS_SOLID, 1, RGB(215, 210, 191));
    CBrush brush(RGB(240, 255, 241));
    CScopedSelectObject selectPen(dc, pen);
    CScopedSelectObject selectBrush(dc, brush);
    dc.Rectangle(&rc);
}

BOOL CSplitterControl::OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message) {
    if (nHitTest == HTCLIENT) {
        ::SetCursor(m_nType == SPS_VERTICAL ? s_hcurSizeWE : s_hcurSizeNS);
        return FALSE;
    }
    return CStatic::OnSetCursor(pWnd, nHitTest, message);
}

void CSplitterControl::DrawLine(CDC* pDC, int x, int y) {
    CRect rc;
    GetWindowRect(&rc);
    const int oldRop = pDC->SetROP2(R2_NOTXORPEN);
    CPen pen(PS_SOLID, 1, RGB(200, 200, 200));
    CScopedSelectObject selectPen(*pDC, pen);
    if (m_nType == SPS_VERTICAL) {
        pDC->MoveTo(x - 1, rc.top);
        pDC->LineTo(x - 1, rc.bottom);
        pDC->MoveTo(x + 1, rc.top);
        pDC->LineTo(x + 1, rc.bottom);
    } else {
        pDC->MoveTo(rc.left, y - 1);
        pDC->LineTo(rc.right, y - 1);
        pDC->MoveTo(rc.left, y + 1);
        pDC->LineTo(rc.right, y + 1);
    }
    pDC->SetROP2(oldRop);
}

void CSplitterControl::OnLButtonDown(UINT nFlags, CPoint point) {
    CStatic::OnLButtonDown(nFlags, point);
    m_bIsPressed = TRUE;
    SetCapture();
    CRect rc;
    GetWindowRect(&rc);
    if (m_nType == SPS_VERTICAL)
        m_nX = m_nSavePos = BarCentre(rc);
    else
        m_nY = m_nSavePos = BarCentre(rc);
    CWindowDC dc(nullptr);
    DrawLine(&dc, m_nX, m_nY);
}

void CSplitterControl::OnMouseMove(UINT nFlags, CPoint point) {
    if (m_bIsPressed) {
        CWindowDC dc(nullptr);
        DrawLine(&dc, m_nX, m_nY);
        HWND hParent = ::GetParent(m_hWnd);
        ClientToScreen(&point);
        ::ScreenToClient(hParent, &point);
        // An empty range (before SetRange) keeps the line on the bar.
        point.x = std::clamp(static_cast<int>(point.x), m_nMin, std::max(m_nMin, m_nMax));
        point.y = std::clamp(static_cast<int>(point.y), m_nMin, std::max(m_nMin, m_nMax));
        ::ClientToScreen(hParent, &point);
        m_nX = point.x;
        m_nY = point.y;
        DrawLine(&dc, m_nX, m_nY);
    }
    CStatic::OnMouseMove(nFlags, point);
}

void CSplitterControl::EndDrag() {
    CWindowDC dc(nullptr);
    DrawLine(&dc, m_nX, m_nY);
    m_bIsPressed = FALSE;
}

void CSplitterControl::OnLButtonUp(UINT nFlags, CPoint point) {
    if (m_bIsPressed) {
        EndDrag();
        HWND hTarget = ::GetWindow(m_hWnd, GW_OWNER);
        if (!hTarget)
            hTarget = ::GetParent(m_hWnd);
        if (hTarget && ::IsWindow(hTarget)) {
            // Put the bar's centre on the line, in the coordinates MoveWindow wants.
            HWND hParent = ::GetParent(m_hWnd);
            CPoint pt(m_nX, m_nY);
            ::ScreenToClient(hParent, &pt);
            CRect rc;
            GetWindowRect(&rc);
            ::MapWindowPoints(nullptr, hParent, reinterpret_cast<LPPOINT>(&rc), 2);
            rc.NormalizeRect();
            if (m_nType == SPS_VERTICAL)
                rc.OffsetRect(pt.x - BarCentre(rc), 0);
            else
                rc.OffsetRect(0, pt.y - BarCentre(rc));
            MoveWindow(&rc, TRUE);

            SPC_NMHDR nm = {};
            nm.hdr.hwndFrom = m_hWnd;
            nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID());
            nm.hdr.code = SPN_SIZED;
            nm.delta = (m_nType == SPS_VERTICAL ? m_nX : m_nY) - m_nSavePos;
            ::SendMessageW(hTarget, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
        }
    }
    CStatic::OnLButtonUp(nFlags, point);
    ::ReleaseCapture();
}

void CSplitterControl::OnCaptureChanged(CWnd* pWnd) {
    // Capture taken away mid-drag (a menu, another window): drop the drag quietly.
    if (m_bIsPressed && pWnd->GetSafeHwnd() != m_hWnd)
        EndDrag();
    CStatic::OnCaptureChanged(pWnd);
}
