#include "app/finder/WindowHighlight.h"

#include "app/capture/ScopedGdi.h"

namespace {

bool IsGroupBox(HWND hWnd) {
    WCHAR name[16] = {};
    ::GetClassNameW(hWnd, name, 16);
    return ::lstrcmpiW(name, L"Button") == 0 && (::GetWindowLongW(hWnd, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

// The topmost child of `parent` shown at `p`, or null.
HWND ChildAt(HWND parent, POINT p) {
    RECT client = {};
    ::GetClientRect(parent, &client);
    ::MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&client), 2);
    if (!::PtInRect(&client, p))
        return nullptr;  // on the frame or caption: no child shows there
    for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT r = {};
        if (!(::GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE) || !::GetWindowRect(child, &r) || !::PtInRect(&r, p))
            continue;
        if ((::GetWindowLongW(child, GWL_EXSTYLE) & WS_EX_TRANSPARENT) || IsGroupBox(child))
            continue;
        return child;
    }
    return nullptr;
}

}  // namespace

HWND DeepestWindowAt(POINT p) {
    HWND w = ::WindowFromPoint(p);
    // Bounded, in case a window's children change under us.
    for (int depth = 0; w && depth < 64; ++depth) {
        HWND child = ChildAt(w, p);
        if (!child)
            break;
        w = child;
    }
    return w;
}

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

void CWindowHighlight::Choose(HWND under) {
    Remove();
    m_hWnd = under;
    if (!under || !::GetWindowRect(under, &m_rcFramed))
        return;
    m_bFramed = true;
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
    // Reading a pixel back makes the outline reach the screen before we go on.
    // Without it, under a heavy load, a frame taken off came back over the
    // window's repaint and stayed (4 of 32 runs; with it, none of 720). Our
    // guess: the outline still sat in our connection to the X server while the
    // other program's repaint reached the screen. The pixel read is one always
    // on the screen, as a point off it may well be answered without asking the
    // server (a maximised window's corner lies off it).
    ::GetPixel(screen.Get(), 0, 0);
}

// The whole window with its frame and children. A window of this thread
// repaints at once: a repaint still pending when the next frame is put on
// would wipe part of it, and taking that frame off later would then leave
// marks. Another thread's window is only invalidated: it repaints on its own
// thread long before the next frame (a blink later), and waiting for it here
// could deadlock with that thread waiting on our pointer hook, or hang us
// on a hung window.
void CWindowHighlight::RepaintWindow() const {
    if (!m_hWnd || !::IsWindow(m_hWnd))
        return;
    UINT flags = RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN;
    // Waiting lets a capture that follows see the window whole again.
    if (::GetWindowThreadProcessId(m_hWnd, nullptr) == ::GetCurrentThreadId() ||
        (m_bWaitForOthers && !::IsHungAppWindow(::GetAncestor(m_hWnd, GA_ROOT))))
        flags |= RDW_UPDATENOW;
    ::RedrawWindow(m_hWnd, nullptr, nullptr, flags);
}
