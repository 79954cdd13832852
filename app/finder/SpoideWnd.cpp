#include "app/finder/SpoideWnd.h"

namespace {

constexpr int kSize = 20;
constexpr BYTE kAlmostInvisible = 1;

HCURSOR SpoideCursor() {
    HCURSOR cursor = ::LoadCursorW(AfxGetResourceHandle(), MAKEINTRESOURCEW(CSpoideWnd::kCursorId));
    return cursor ? cursor : ::LoadCursorW(nullptr, IDC_CROSS);
}

}  // namespace

BEGIN_MESSAGE_MAP(CSpoideWnd, CSkinDialog)
    ON_WM_LBUTTONDOWN()
    ON_WM_MOUSEMOVE()
    ON_WM_CAPTURECHANGED()
    ON_WM_DESTROY()
    ON_MESSAGE(CPointerHook::kButtonMessage, OnPointerButton)
END_MESSAGE_MAP()

CSpoideWnd::CSpoideWnd() : CSkinDialog(IDD) {}

CSpoideWnd::~CSpoideWnd() = default;

BOOL CSpoideWnd::OnInitDialog() {
    CSkinDialog::OnInitDialog();
    EnableDrag(TRUE);
    // Invisible, yet still hit by the mouse.
    SetLayeredAttributes(0, kAlmostInvisible, LWA_ALPHA);
    // Under the pointer from the start, not only after it first moves.
    FollowCursor();
    SetCapture();
    m_hook.Start(m_hWnd, [this](POINT p) { FollowPointer(p); });
    ::SetCursor(SpoideCursor());
    return TRUE;
}

void CSpoideWnd::FollowCursor() {
    POINT cursor = {};
    ::GetCursorPos(&cursor);
    FollowPointer(cursor);
}

void CSpoideWnd::FollowPointer(POINT p) {
    SetWindowPos(nullptr, p.x - kSize / 2, p.y - kSize / 2, kSize, kSize, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CSpoideWnd::OnMouseMove(UINT, CPoint) {
    FollowCursor();
    ::SetCursor(SpoideCursor());
}

void CSpoideWnd::OnLButtonDown(UINT, CPoint point) {
    ClientToScreen(&point);
    m_ptPicked = point;
    // No caption drag: the dialog ends with this press.
    End(IDOK);
}

LRESULT CSpoideWnd::OnPointerButton(WPARAM wParam, LPARAM lParam) {
    if (m_bEnded)
        return 0;
    // A right press changes nothing: the pick is made at the left press.
    if (wParam == WM_LBUTTONDOWN) {
        m_ptPicked = CPoint(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        m_bPicked = true;
    } else if (wParam == WM_LBUTTONUP && m_bPicked) {
        // Ended only now, so that the release is taken too.
        End(IDOK);
    }
    return 0;
}

void CSpoideWnd::OnCancel() {
    End(m_bPicked ? IDOK : IDCANCEL);
}

void CSpoideWnd::OnCaptureChanged(CWnd* pWnd) {
    CSkinDialog::OnCaptureChanged(pWnd);
    // Without the mouse the invisible window could never be clicked: give up.
    if (!m_bEnded && (!pWnd || pWnd->GetSafeHwnd() != m_hWnd))
        End(m_bPicked ? IDOK : IDCANCEL);
}

void CSpoideWnd::End(int nResult) {
    if (m_bEnded)
        return;
    m_bEnded = true;
    m_hook.Stop();
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    EndDialog(nResult);
}

void CSpoideWnd::OnDestroy() {
    m_hook.Stop();
    CSkinDialog::OnDestroy();
}

COLORREF CSpoideWnd::GetPickedColor() const {
    HDC screen = ::GetDC(nullptr);
    if (!screen)
        return CLR_INVALID;
    const COLORREF colour = ::GetPixel(screen, m_ptPicked.x, m_ptPicked.y);
    ::ReleaseDC(nullptr, screen);
    return colour;
}
