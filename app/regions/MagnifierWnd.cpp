#include "app/regions/MagnifierWnd.h"

#include "app/regions/RegionGeometry.h"
#include "resources/resource.h"

BEGIN_MESSAGE_MAP(CMagnifierWnd, CDialog)
    ON_WM_TIMER()
    ON_WM_DESTROY()
    ON_WM_NCHITTEST()
END_MESSAGE_MAP()

CMagnifierWnd::CMagnifierWnd(IRegionOwner* pOwner) : CDialog(IDD_MAGNIFIER), m_pOwner(pOwner) {}

BOOL CMagnifierWnd::Create(CWnd* pParentWnd) { return CDialog::Create(IDD_MAGNIFIER, pParentWnd); }

void CMagnifierWnd::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_MAGNIFIER_VIEW, m_view);
}

BOOL CMagnifierWnd::OnInitDialog() {
    CDialog::OnInitDialog();
    CRect client;
    GetClientRect(&client);
    m_view.MoveWindow(0, 0, client.Width(), client.Height());
    FollowPointer();
    SetTimer(0, 100);
    return TRUE;
}

void CMagnifierWnd::OnTimer(UINT_PTR) {
    FollowPointer();
    m_view.SetZoom(4, false, false);
    m_view.Invalidate();
}

void CMagnifierWnd::FollowPointer() {
    CPoint cursor;
    ::GetCursorPos(&cursor);
    CRect window;
    GetWindowRect(&window);
    GeoRect region;
    if (m_pOwner) {
        const RECT r = m_pOwner->GetRegion();
        region = {r.left, r.top, r.right, r.bottom};
        if (!m_bLiveScreen)
            region = NormalizeRect(region);
    }
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    GeoRect monitor;
    if (::GetMonitorInfoW(::MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &info))
        monitor = {info.rcMonitor.left, info.rcMonitor.top, info.rcMonitor.right, info.rcMonitor.bottom};
    GeoPoint to;
    if (MagnifierPlacement({cursor.x, cursor.y}, window.Width(), window.Height(), region, monitor, &to))
        SetWindowPos(nullptr, to.x, to.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The window catches up with the pointer only at its next tick: a press made at
// once after a move lands on it (measured: a frozen drag begun so saved
// nothing). It is the press of the region window beneath, as if the magnifier
// were not there.
LRESULT CMagnifierWnd::OnNcHitTest(CPoint) { return HTTRANSPARENT; }

void CMagnifierWnd::OnDestroy() {
    KillTimer(0);
    CDialog::OnDestroy();
}
