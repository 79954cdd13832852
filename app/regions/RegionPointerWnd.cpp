#include "app/regions/RegionPointerWnd.h"

#include "resources/resource.h"

namespace {

// Wide enough for the pointer's usual drift between two reads.
constexpr int kPatchRadius = 15;
constexpr int kPatchSide = 2 * kPatchRadius + 1;

}  // namespace

BEGIN_MESSAGE_MAP(CRegionPointerWnd, CSkinDialog)
    ON_WM_ERASEBKGND()
    ON_WM_SETCURSOR()
    ON_WM_CONTEXTMENU()
    ON_WM_RBUTTONDOWN()
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

// At alpha 1 this window still moves what the screen shows by a step towards its
// own colour (the compositor blends each channel as s * 254/255 + g / 255, each
// term rounded): dark pixels under a light window read one up, light ones under
// a dark window one down. Under a copy of the screen itself every channel reads
// exactly, except that no paint can tell 127 from 128 apart (both blend alike).
// Only a small patch at the hot spot is kept, so a tick repaints a few pixels.
void CRegionPointerWnd::MatchScreenAround(POINT hotSpot) {
    if (!m_hWnd)
        return;
    const RECT old = m_patchRect;
    const RECT now = {hotSpot.x - kPatchRadius, hotSpot.y - kPatchRadius, hotSpot.x + kPatchRadius + 1,
                      hotSpot.y + kPatchRadius + 1};
    {
        ScopedWindowDc screen(nullptr);
        if (!screen.Get())
            return;
        if (!m_patch.Get())
            m_patch.Reset(::CreateCompatibleBitmap(screen.Get(), kPatchSide, kPatchSide));
        ScopedMemoryDc memory(screen.Get());
        if (!m_patch.Get() || !memory.Get())
            return;
        CScopedSelectObject selected(memory.Get(), m_patch.Get());
        ::BitBlt(memory.Get(), 0, 0, kPatchSide, kPatchSide, screen.Get(), now.left, now.top, SRCCOPY);
    }
    m_patchRect = now;
    for (RECT r : {old, now}) {
        ScreenToClient(&r);
        InvalidateRect(&r, TRUE);
    }
}

BOOL CRegionPointerWnd::OnEraseBkgnd(CDC* pDC) {
    const BOOL result = CSkinDialog::OnEraseBkgnd(pDC);
    if (!pDC || !m_patch.Get() || ::IsRectEmpty(&m_patchRect))
        return result;
    ScopedMemoryDc memory(pDC->m_hDC);
    if (!memory.Get())
        return result;
    RECT r = m_patchRect;
    ScreenToClient(&r);
    CScopedSelectObject selected(memory.Get(), m_patch.Get());
    ::BitBlt(pDC->m_hDC, r.left, r.top, kPatchSide, kPatchSide, memory.Get(), 0, 0, SRCCOPY);
    return result;
}

BOOL CRegionPointerWnd::OnSetCursor(CWnd*, UINT nHitTest, UINT message) {
    if (m_hWndTarget)
        ::PostMessageW(m_hWndTarget, WM_SETCURSOR, 0, MAKELPARAM(nHitTest, message));
    return TRUE;
}

// With the primary button down a drag is under way: the region window cancels
// it, and the mouse stays here until the releases, which must reach no other
// program. Down as the messages go: a quick hand queues the left release
// before this press is handled.
void CRegionPointerWnd::OnRButtonDown(UINT nFlags, CPoint point) {
    if (AfxButtonStillDown(true) && m_hWndTarget) {
        CPoint press = point;
        ClientToScreen(&press);
        ::PostMessageW(m_hWndTarget, WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, MAKELPARAM(press.x, press.y));
    }
    CDialog::OnRButtonDown(nFlags, point);
}

void CRegionPointerWnd::OnContextMenu(CWnd*, CPoint) {
    if (!AfxButtonStillDown(true))
        ::ReleaseCapture();
}

// A right click gives the mouse up. The region window hears of the release:
// a cancel made with the right button ends at it when the left is up too.
void CRegionPointerWnd::OnRButtonUp(UINT, CPoint point) {
    if (m_hWndTarget) {
        CPoint release = point;
        ClientToScreen(&release);
        ::PostMessageW(m_hWndTarget, WM_RBUTTONUP, 0, MAKELPARAM(release.x, release.y));
    }
    if (!AfxButtonStillDown(true))
        ::ReleaseCapture();
}

void CRegionPointerWnd::OnLButtonDown(UINT nFlags, CPoint point) {
    // Where the button went down, not where the pointer has got to since.
    CPoint cursor = point;
    ClientToScreen(&cursor);
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
    // Where the button came up: the pointer may be further on already.
    CPoint release = point;
    ClientToScreen(&release);
    ForwardRelease(release);
    CDialog::OnLButtonUp(nFlags, point);
}

// The system's move loop eats the release that ends it: forward it from here.
LRESULT CRegionPointerWnd::OnExitSizeMove(WPARAM, LPARAM) {
    if (!AfxButtonStillDown(true)) {
        CPoint cursor;
        ::GetCursorPos(&cursor);
        ForwardRelease(cursor);
    }
    return 0;
}

void CRegionPointerWnd::ForwardRelease(CPoint release) {
    CoverScreen();
    if (m_hWndTarget)
        ::PostMessageW(m_hWndTarget, WM_LBUTTONUP, 0, MAKELPARAM(release.x, release.y));
}

void CRegionPointerWnd::OnDestroy() {
    StopPolling();
    CSkinDialog::OnDestroy();
}
