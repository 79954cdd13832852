#include "app/finder/ControlWnd.h"

#include "app/capture/ScopedGdi.h"

#include <utility>

namespace {

constexpr COLORREF kFrameColour = 0x15A600;  // green
constexpr int kFrameWidth = 4;
constexpr BYTE kAlmostInvisible = 1;

inline BOOL WINAPI DeletePenObject(HPEN pen) { return ::DeleteObject(pen); }
using ScopedPen = ScopedGdiHandle<HPEN, DeletePenObject>;

// Releases a DC from GetDC on every path.
class ScopedWindowDc {
public:
    explicit ScopedWindowDc(HWND hWnd) : m_hWnd(hWnd), m_hDC(::GetDC(hWnd)) {}
    ~ScopedWindowDc() {
        if (m_hDC)
            ::ReleaseDC(m_hWnd, m_hDC);
    }
    ScopedWindowDc(const ScopedWindowDc&) = delete;
    ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;
    HDC Get() const { return m_hDC; }

private:
    HWND m_hWnd;
    HDC m_hDC;
};

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
    m_hWndUnder = nullptr;
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
    if (w != m_hWndUnder) {
        if (m_bBlink)
            PaintFrame(m_rcFrame, true);
        m_hWndUnder = w;
        m_bBlink = false;
        return;
    }
    RECT r = {};
    ::GetWindowRect(w, &r);
    m_rcWindow = r;
    m_bHighlighted = true;
    // Off where it was drawn, on where the window is now.
    PaintFrame(m_bBlink ? m_rcFrame : r, false);
    m_rcFrame = r;
    m_bBlink = !m_bBlink;
}

void CControlWnd::PaintFrame(const RECT& rect, bool erase) {
    {
        ScopedWindowDc screen(nullptr);
        if (screen.Get()) {
            ScopedPen pen(::CreatePen(PS_SOLID, kFrameWidth, kFrameColour));
            const int oldRop = ::SetROP2(screen.Get(), R2_NOTXORPEN);
            ScopedSelect selected(screen.Get(), pen.Get());
            const POINT outline[5] = {
                {rect.left, rect.top}, {rect.right, rect.top}, {rect.right, rect.bottom},
                {rect.left, rect.bottom}, {rect.left, rect.top},
            };
            ::Polyline(screen.Get(), outline, 5);
            ::SetROP2(screen.Get(), oldRop);
        }
    }
    // The whole window with its frame and children, and at once: a repaint
    // still pending when the next frame is toggled on would wipe part of it,
    // and toggling it off later would then leave marks. A hung window is
    // left to repaint when it can rather than hang the finder.
    if (erase && m_hWndUnder && ::IsWindow(m_hWndUnder)) {
        UINT flags = RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN;
        if (!::IsHungAppWindow(::GetAncestor(m_hWndUnder, GA_ROOT)))
            flags |= RDW_UPDATENOW;
        ::RedrawWindow(m_hWndUnder, nullptr, nullptr, flags);
    }
}

void CControlWnd::StopSearching() {
    if (m_bTimer) {
        KillTimer(kBlinkTimer);
        m_bTimer = false;
    }
    if (m_bBlink) {
        PaintFrame(m_rcFrame, true);
        m_bBlink = false;
    }
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
    if (m_bHighlighted && m_capture) {
        // Out of the picture before the screen is read.
        ShowWindow(SW_HIDE);
        m_capture(m_rcWindow);
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
