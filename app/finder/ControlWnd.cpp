#include "app/finder/ControlWnd.h"

#include <utility>

namespace {

constexpr BYTE kAlmostInvisible = 1;

}  // namespace

BEGIN_MESSAGE_MAP(CControlWnd, CSkinDialog)
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_WM_MOUSEMOVE()
    ON_WM_TIMER()
    ON_WM_CAPTURECHANGED()
    ON_WM_DESTROY()
END_MESSAGE_MAP()

CControlWnd::CControlWnd(CaptureFn capture) : CSkinDialog(IDD), m_capture(std::move(capture)) {}

CControlWnd::~CControlWnd() = default;

BOOL CControlWnd::OnInitDialog() {
    CSkinDialog::OnInitDialog();
    POINT cursor = {};
    ::GetCursorPos(&cursor);
    MoveWindow(cursor.x - 1, cursor.y - 1, 3, 3);
    SetCapture();
    EnableDrag(TRUE);
    // Invisible, yet still hit by the mouse.
    SetLayeredAttributes(0, kAlmostInvisible, LWA_ALPHA);
    m_highlight.Reset();
    ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
    m_bTimer = SetTimer(kBlinkTimer, kBlinkMs) != 0;
    return TRUE;
}

void CControlWnd::OnMouseMove(UINT, CPoint point) {
    ClientToScreen(&point);
    SetWindowPos(nullptr, point.x - 1, point.y - 1, 3, 3, SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
}

void CControlWnd::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent != kBlinkTimer) {
        CSkinDialog::OnTimer(nIDEvent);
        return;
    }
    POINT p = {};
    ::GetCursorPos(&p);
    // Just outside the finder itself.
    p.x -= 2;
    p.y -= 2;
    HWND w = ::WindowFromPoint(p);
    if (!w || w == m_hWnd)
        return;
    m_highlight.Blink(w);
}

void CControlWnd::StopSearching() {
    if (m_bTimer) {
        KillTimer(kBlinkTimer);
        m_bTimer = false;
    }
    m_highlight.Remove();
}

void CControlWnd::OnLButtonDown(UINT, CPoint) {
    StopSearching();
    POINT cursor = {};
    ::GetCursorPos(&cursor);
    SetWindowPos(nullptr, cursor.x, cursor.y, 1, 1, SWP_NOZORDER | SWP_NOACTIVATE);
    // No caption drag here: the system's move loop would swallow the release
    // that ends the search.
}

void CControlWnd::OnLButtonUp(UINT, CPoint) {
    if (m_bFinished)
        return;
    StopSearching();
    if (m_highlight.HasFramed() && m_capture) {
        // Out of the picture before the screen is read.
        ShowWindow(SW_HIDE);
        m_capture(m_highlight.FramedRect());
    }
    Finish();
}

void CControlWnd::OnCancel() {
    Finish();
}

void CControlWnd::OnCaptureChanged(CWnd* pWnd) {
    CSkinDialog::OnCaptureChanged(pWnd);
    // Someone else took the mouse: end without capturing.
    if (!m_bReleasing && !m_bFinished && (!pWnd || pWnd->GetSafeHwnd() != m_hWnd))
        Finish();
}

void CControlWnd::Finish() {
    if (m_bFinished)
        return;
    m_bFinished = true;
    StopSearching();
    if (::GetCapture() == m_hWnd) {
        m_bReleasing = true;
        ::ReleaseCapture();
        m_bReleasing = false;
    }
    CSkinDialog::OnCancel();
}

void CControlWnd::OnDestroy() {
    // However the window goes, no frame stays on the screen.
    StopSearching();
    CSkinDialog::OnDestroy();
}
