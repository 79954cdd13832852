#include "app/finder/ControlWnd.h"

#include "app/capture/ScopedGdi.h"

#include <utility>

namespace {

constexpr BYTE kAlmostInvisible = 1;
// Bounds the wait for the compositor to redraw where this window was.
constexpr DWORD kMovedPatienceMs = 100;

// Waits, at most kMovedPatienceMs, until the screen at p no longer shows `was`.
void WaitForScreenChange(POINT p, COLORREF was) {
    const DWORD start = ::GetTickCount();
    while (was != CLR_INVALID && ScreenPixelAt(p) == was && ::GetTickCount() - start <= kMovedPatienceMs)
        ::Sleep(1);
}

}  // namespace

BEGIN_MESSAGE_MAP(CControlWnd, CSkinDialog)
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_WM_MOUSEMOVE()
    ON_WM_TIMER()
    ON_WM_CAPTURECHANGED()
    ON_WM_DESTROY()
    ON_MESSAGE(CPointerHook::kButtonMessage, OnPointerButton)
END_MESSAGE_MAP()

CControlWnd::CControlWnd(CaptureFn capture) : CSkinDialog(IDD), m_capture(std::move(capture)) {}

CControlWnd::~CControlWnd() = default;

BOOL CControlWnd::OnInitDialog() {
    CSkinDialog::OnInitDialog();
    POINT cursor = {};
    ::GetCursorPos(&cursor);
    MoveWindow(cursor.x - 1, cursor.y - 1, 3, 3);
    SetCapture();
    m_hook.Start(m_hWnd, [this](POINT p) { FollowPointer(p); }, true);
    m_highlight.WaitForOtherPrograms(false);
    EnableDrag(TRUE);
    // Invisible, yet still hit by the mouse.
    SetLayeredAttributes(0, kAlmostInvisible, LWA_ALPHA);
    m_highlight.Reset();
    ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
    m_bTimer = SetTimer(kBlinkTimer, kBlinkMs) != 0;
    // The focus came before the window showed. Under Wine the keys then stay
    // with the X window clicked last, maybe another program's, and come to us
    // through it, behind our own pointer input: Escape after the release that
    // followed it (measured). Taken again once shown, the keys come in order.
    ShowWindow(SW_SHOW);
    ::SetFocus(nullptr);
    ::SetFocus(m_hWnd);
    return TRUE;
}

void CControlWnd::OnMouseMove(UINT, CPoint point) {
    ClientToScreen(&point);
    FollowPointer(point);
    ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
}

void CControlWnd::FollowPointer(POINT p) {
    if (m_bReleased)
        return;
    if (m_bPressed)
        SetWindowPos(nullptr, p.x, p.y, 1, 1, SWP_NOZORDER | SWP_NOACTIVATE);
    else
        SetWindowPos(nullptr, p.x - 1, p.y - 1, 3, 3, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CControlWnd::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent != kBlinkTimer) {
        CSkinDialog::OnTimer(nIDEvent);
        return;
    }
    if (HWND w = WindowUnderPointer())
        m_highlight.Blink(w);
}

HWND CControlWnd::WindowUnderPointer() const {
    POINT p = {};
    ::GetCursorPos(&p);
    p.x -= 2;
    p.y -= 2;
    HWND w = DeepestWindowAt(p);
    return w == m_hWnd ? nullptr : w;
}

void CControlWnd::StopSearching() {
    if (m_bTimer) {
        KillTimer(kBlinkTimer);
        m_bTimer = false;
    }
    m_highlight.Remove();
}

void CControlWnd::OnLButtonDown(UINT, CPoint) {
    Press();
}

void CControlWnd::OnLButtonUp(UINT, CPoint) {
    Release();
}

LRESULT CControlWnd::OnPointerButton(WPARAM wParam, LPARAM) {
    if (m_bFinished) {
        if (!CPointerHook::ButtonsDown())
            End();
    } else if (wParam == WM_LBUTTONDOWN) {
        Press();
    } else if (wParam == WM_LBUTTONUP) {
        Release();
    } else if ((wParam == WM_RBUTTONDOWN && m_bPressed) || wParam == WM_KEYDOWN) {
        Finish();  // Escape, or a right press before the left release, cancels
    }
    return 0;
}

void CControlWnd::Press() {
    if (m_bFinished)
        return;
    StopSearching();
    // The press chooses what is under it now: the blinks may still frame the
    // window the pointer left a moment ago, or have seen the new one without
    // framing it yet.
    if (HWND w = WindowUnderPointer())
        m_highlight.Choose(w);
    m_bPressed = true;
    POINT cursor = {};
    ::GetCursorPos(&cursor);
    FollowPointer(cursor);
    // No caption drag here: the system's move loop would swallow the release
    // that ends the search.
}

void CControlWnd::Release() {
    if (m_bFinished) {
        // Without the hook the release comes here.
        if (!CPointerHook::ButtonsDown())
            End();
        return;
    }
    StopHook();
    StopSearching();
    m_bReleased = true;
    if (m_highlight.HasFramed() && m_capture) {
        // The frame came off at the press; what it covered is repainted before the copy.
        m_highlight.RepaintWindow();
        // Out of the picture before the screen is read; moved, not hidden:
        // hiding the active window would hand the activation, and with it the
        // cursor the capture draws, to some other window first.
        // At alpha 1 this window still moves the pixel under it one step
        // towards its own colour, and a compositor goes on showing it there
        // until it has redrawn. So the copy waits until that pixel changes;
        // where the step made no difference, the wait runs out. Measured under
        // Wine with a heavy load: without the wait 3 of 300 captures held that
        // pixel one step off; with it, none of 420.
        RECT was = {};
        GetWindowRect(&was);
        const POINT wasAt = {was.left, was.top};
        const COLORREF shown = ScreenPixelAt(wasAt);
        const RECT& target = m_highlight.FramedRect();
        SetWindowPos(nullptr, target.left - 2, target.top - 2, 1, 1, SWP_NOZORDER | SWP_NOACTIVATE);
        WaitForScreenChange(wasAt, shown);
        m_capture(target);
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
    // Under Wine a release already on its way to our window is lost once the
    // window is gone (measured after Escape during a press: the hook never saw
    // it, stayed, and took the next clicks on another program). So the window
    // stays, taking nothing, until the hook has seen the last release.
    if (CPointerHook::ButtonsDown())
        StopSearching();
    else
        End();
}

void CControlWnd::End() {
    if (m_bEnded)
        return;
    m_bEnded = true;
    m_bFinished = true;
    StopHook();
    StopSearching();
    if (::GetCapture() == m_hWnd) {
        m_bReleasing = true;
        ::ReleaseCapture();
        m_bReleasing = false;
    }
    CSkinDialog::OnCancel();
}

void CControlWnd::OnDestroy() {
    // However the window goes, no frame stays on the screen and no hook stays set.
    StopHook();
    StopSearching();
    CSkinDialog::OnDestroy();
}

void CControlWnd::StopHook() {
    m_hook.Stop();
    m_highlight.WaitForOtherPrograms(!CPointerHook::IsSet());
}
