#include "app/regions/RegionPointerWnd.h"

#include "resources/resource.h"

BEGIN_MESSAGE_MAP(CRegionPointerWnd, CSkinDialog)
    ON_WM_SETCURSOR()
    ON_WM_CONTEXTMENU()
    ON_WM_RBUTTONUP()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_WM_DESTROY()
    ON_MESSAGE(WM_EXITSIZEMOVE, OnExitSizeMove)
END_MESSAGE_MAP()

CRegionPointerWnd::CRegionPointerWnd(IRegionOwner* pOwner) : CSkinDialog(IDD_REGION_POINTER), m_pOwner(pOwner) {}

CRegionPointerWnd::~CRegionPointerWnd() { StopPolling(); }

BOOL CRegionPointerWnd::Create(CWnd* pParentWnd) { return CDialog::Create(IDD_REGION_POINTER, pParentWnd); }

BOOL CRegionPointerWnd::OnInitDialog() {
    CSkinDialog::OnInitDialog();
    m_cxScreen = ::GetSystemMetrics(SM_CXSCREEN);
    m_cyScreen = ::GetSystemMetrics(SM_CYSCREEN);
    MoveWindow(0, 0, m_cxScreen, m_cyScreen);
    EnableDrag(TRUE);
    SetLayeredAttributes(0, 1, LWA_ALPHA);
    const bool tracker = m_pOwner && m_pOwner->IsTrackerMode();
    ::SetCursor(::LoadCursorW(nullptr, tracker ? IDC_HAND : IDC_CROSS));
    CoverScreen();

    m_hWndTarget = m_pOwner ? m_pOwner->GetRegionWindow() : nullptr;
    m_poller.Start(PollThreadProc, this, m_hWndTarget, WM_MOUSEMOVE, 100, true);
    return TRUE;
}

UINT CRegionPointerWnd::PollThreadProc(LPVOID pParam) {
    return static_cast<CRegionPointerWnd*>(pParam)->m_poller.Run();
}

void CRegionPointerWnd::StopPolling() { m_poller.Stop(); }

void CRegionPointerWnd::CoverScreen() {
    SetWindowPos(&wndTopMost, 0, 0, m_cxScreen, m_cyScreen, SWP_SHOWWINDOW);
}

BOOL CRegionPointerWnd::OnSetCursor(CWnd*, UINT nHitTest, UINT message) {
    if (m_hWndTarget)
        ::PostMessageW(m_hWndTarget, WM_SETCURSOR, 0, MAKELPARAM(nHitTest, message));
    return TRUE;
}

void CRegionPointerWnd::OnContextMenu(CWnd*, CPoint) { ::ReleaseCapture(); }

void CRegionPointerWnd::OnRButtonUp(UINT, CPoint) { ::ReleaseCapture(); }

void CRegionPointerWnd::OnLButtonDown(UINT nFlags, CPoint point) {
    CPoint cursor;
    ::GetCursorPos(&cursor);
    // A right click gave the mouse up; a drag takes it back. A caption drag
    // would run the system's move loop, which eats the pointer's moves posted
    // to the region window: no rubber band, no cross-hair, a stale size.
    const bool tracker = m_pOwner && m_pOwner->IsTrackerMode();
    if (!tracker && CWnd::GetCapture() != this)
        SetCapture();
    SetWindowPos(&wndTopMost, cursor.x, cursor.y, 1, 1, SWP_SHOWWINDOW);
    if (m_hWndTarget)
        ::PostMessageW(m_hWndTarget, WM_LBUTTONDOWN, 0, MAKELPARAM(cursor.x, cursor.y));
    // Dragging the 1-pixel window along keeps the release ours. While we hold the
    // capture the release comes to us anyway, and a caption drag started then
    // swallows it on some systems.
    if (m_bDragAnywhere && CWnd::GetCapture() != this) {
        ClientToScreen(&point);
        PostMessage(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(point.x, point.y));
    }
    CDialog::OnLButtonDown(nFlags, point);
}

void CRegionPointerWnd::OnLButtonUp(UINT nFlags, CPoint point) {
    ForwardRelease();
    CDialog::OnLButtonUp(nFlags, point);
}

// The system's move loop eats the release that ends it: forward it from here.
LRESULT CRegionPointerWnd::OnExitSizeMove(WPARAM, LPARAM) {
    if (!(::GetAsyncKeyState(::GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON) & 0x8000))
        ForwardRelease();
    return 0;
}

void CRegionPointerWnd::ForwardRelease() {
    CPoint cursor;
    ::GetCursorPos(&cursor);
    CoverScreen();
    if (m_hWndTarget)
        ::PostMessageW(m_hWndTarget, WM_LBUTTONUP, 0, MAKELPARAM(cursor.x, cursor.y));
}

void CRegionPointerWnd::OnDestroy() {
    StopPolling();
    CSkinDialog::OnDestroy();
}
