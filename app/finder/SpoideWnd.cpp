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
    ::SetCursor(SpoideCursor());
    return TRUE;
}

void CSpoideWnd::FollowCursor() {
    POINT cursor = {};
    ::GetCursorPos(&cursor);
    SetWindowPos(nullptr, cursor.x - kSize / 2, cursor.y - kSize / 2, kSize, kSize,
                 SWP_NOZORDER | SWP_NOACTIVATE);
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

void CSpoideWnd::OnCancel() {
    End(IDCANCEL);
}

void CSpoideWnd::OnCaptureChanged(CWnd* pWnd) {
    CSkinDialog::OnCaptureChanged(pWnd);
    // Without the mouse the invisible window could never be clicked: give up.
    if (!m_bEnded && (!pWnd || pWnd->GetSafeHwnd() != m_hWnd))
        End(IDCANCEL);
}

void CSpoideWnd::End(int nResult) {
    if (m_bEnded)
        return;
    m_bEnded = true;
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    EndDialog(nResult);
}

COLORREF CSpoideWnd::GetPickedColor() const {
    HDC screen = ::GetDC(nullptr);
    if (!screen)
        return CLR_INVALID;
    const COLORREF colour = ::GetPixel(screen, m_ptPicked.x, m_ptPicked.y);
    ::ReleaseDC(nullptr, screen);
    return colour;
}
