#include "app/finder/WindowHighlight.h"

#include "app/capture/ScopedGdi.h"

void CWindowHighlight::Blink(HWND under) {
    if (under != m_hWnd) {
        Remove();
        m_hWnd = under;
        return;
    }
    if (!m_hWnd)
        return;
    RECT r = {};
    ::GetWindowRect(m_hWnd, &r);
    m_rcFramed = r;
    m_bFramed = true;
    // Off where it was drawn, on where the window is now.
    Paint(m_bOn ? m_rcDrawn : r);
    m_rcDrawn = r;
    m_bOn = !m_bOn;
}

void CWindowHighlight::Remove() {
    if (!m_bOn)
        return;
    Paint(m_rcDrawn);
    m_bOn = false;
    RepaintWindow();
}

void CWindowHighlight::Reset() {
    Remove();
    m_hWnd = nullptr;
    m_bFramed = false;
    m_rcFramed = {};
}

void CWindowHighlight::Paint(const RECT& rect) const {
    ScopedWindowDc screen(nullptr);
    if (!screen.Get())
        return;
    ScopedPen pen(::CreatePen(PS_SOLID, m_width, m_colour));
    const int oldRop = ::SetROP2(screen.Get(), R2_NOTXORPEN);
    ScopedSelect selected(screen.Get(), pen.Get());
    const POINT outline[5] = {
        {rect.left, rect.top}, {rect.right, rect.top}, {rect.right, rect.bottom},
        {rect.left, rect.bottom}, {rect.left, rect.top},
    };
    ::Polyline(screen.Get(), outline, 5);
    ::SetROP2(screen.Get(), oldRop);
}

// The whole window with its frame and children, and at once: a repaint still
// pending when the next frame is put on would wipe part of it, and taking that
// frame off later would then leave marks. A hung window is left to repaint
// when it can rather than hang us.
void CWindowHighlight::RepaintWindow() const {
    if (!m_hWnd || !::IsWindow(m_hWnd))
        return;
    UINT flags = RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN;
    if (!::IsHungAppWindow(::GetAncestor(m_hWnd, GA_ROOT)))
        flags |= RDW_UPDATENOW;
    ::RedrawWindow(m_hWnd, nullptr, nullptr, flags);
}
