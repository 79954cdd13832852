#include "widgets/ResizableGrip.h"

// ---------------------------------------------------------------------------
// CSizeGrip

void CResizableGrip::CSizeGrip::ReadMetrics() {
    m_size.cx = ::GetSystemMetrics(SM_CXVSCROLL);
    m_size.cy = ::GetSystemMetrics(SM_CYHSCROLL);
}

BOOL CResizableGrip::CSizeGrip::PreCreateWindow(CREATESTRUCTW& cs) {
    ReadMetrics();
    cs.cx = m_size.cx;
    cs.cy = m_size.cy;
    return CScrollBar::PreCreateWindow(cs);
}

void CResizableGrip::CSizeGrip::SetTriangleRegion(BOOL bEnable) {
    m_bTriangular = bEnable;
    if (!m_hWnd)
        return;
    const BOOL bRedraw = IsWindowVisible();
    if (!bEnable) {
        SetWindowRgn(nullptr, bRedraw);
        return;
    }
    CRect rect;
    GetWindowRect(&rect);
    const int w = rect.Width();
    const int h = rect.Height();
    const POINT points[3] = {{0, h}, {w, h}, {w, 0}};
    CRgn region;
    if (region.CreatePolygonRgn(points, 3, WINDING) && SetWindowRgn(static_cast<HRGN>(region.m_hObject), bRedraw))
        region.Detach();  // the window owns it now
}

UINT CResizableGrip::CSizeGrip::SizingEdge() const {
    return (GetExStyle() & WS_EX_LAYOUTRTL) ? HTBOTTOMLEFT : HTBOTTOMRIGHT;
}

void CResizableGrip::CSizeGrip::OnSettingChange() {
    const SIZE old = m_size;
    ReadMetrics();
    if (m_bTriangular)
        SetTriangleRegion(TRUE);
    // Keep the bottom-right corner where it was.
    CRect rect;
    GetWindowRect(&rect);
    ::MapWindowPoints(nullptr, ::GetParent(m_hWnd), reinterpret_cast<LPPOINT>(&rect), 2);
    rect.NormalizeRect();
    rect.left += old.cx - m_size.cx;
    rect.top += old.cy - m_size.cy;
    SetWindowPos(nullptr, rect.left, rect.top, m_size.cx, m_size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    Invalidate();
}

LRESULT CResizableGrip::CSizeGrip::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCHITTEST:
        // Gives the sizing cursor over the grip.
        return SizingEdge();
    case WM_NCLBUTTONDOWN:
        if (wParam == HTBOTTOMLEFT || wParam == HTBOTTOMRIGHT) {
            // Left to the default processing, the press would size the grip itself:
            // have the window the grip belongs to size itself from this corner.
            const WPARAM edge = wParam == HTBOTTOMLEFT ? WMSZ_BOTTOMLEFT : WMSZ_BOTTOMRIGHT;
            HWND hRoot = ::GetAncestor(m_hWnd, GA_ROOT);
            if (hRoot && hRoot != m_hWnd)
                ::SendMessageW(hRoot, WM_SYSCOMMAND, SC_SIZE | edge, lParam);
            return 0;
        }
        break;
    case WM_GETDLGCODE:
        return DLGC_STATIC;
    case WM_SETTINGCHANGE: {
        OnSettingChange();
        break;
    }
    default:
        break;
    }
    return CScrollBar::WindowProc(message, wParam, lParam);
}

// ---------------------------------------------------------------------------
// CResizableGrip

BOOL CResizableGrip::CreateGrip(BOOL bVisible, BOOL bTriangular) {
    CWnd* pHost = GetResizableWnd();
    const int cx = ::GetSystemMetrics(SM_CXVSCROLL);
    const int cy = ::GetSystemMetrics(SM_CYHSCROLL);
    if (!m_wndGrip.Create(WS_CHILD | WS_CLIPSIBLINGS | SBS_SIZEGRIP, CRect(0, 0, cx, cy), pHost, 0))
        return FALSE;
    m_wndGrip.SetTriangleRegion(bTriangular);
    SetGripShown(bVisible);
    PlaceGrip();
    return TRUE;
}

void CResizableGrip::PlaceGrip() {
    CWnd* pHost = GetResizableWnd();
    if (!m_wndGrip.m_hWnd || !pHost || !pHost->m_hWnd)
        return;
    CRect rect;
    pHost->GetClientRect(&rect);
    const SIZE& size = m_wndGrip.GetGripSize();
    m_wndGrip.SetWindowPos(&CWnd::wndBottom, rect.right - size.cx, rect.bottom - size.cy, 0, 0,
                           SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER |
                               (IsGripShown() ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void CResizableGrip::AllowGripReason(DWORD& dwStatus, DWORD dwReason) {
    if (dwStatus & dwReason)
        return;
    dwStatus |= dwReason;
    ++m_nShowCount;
}

void CResizableGrip::DenyGripReason(DWORD& dwStatus, DWORD dwReason) {
    if (!(dwStatus & dwReason))
        return;
    dwStatus &= ~dwReason;
    --m_nShowCount;
}
