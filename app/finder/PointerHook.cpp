#include "app/finder/PointerHook.h"

#include <utility>

CPointerHook* CPointerHook::s_pActive = nullptr;

bool CPointerHook::Start(HWND tool, std::function<void(POINT)> onMove) {
    Stop();
    if (s_pActive)
        return false;
    m_hTool = tool;
    m_onMove = std::move(onMove);
    m_hHook = ::SetWindowsHookExW(WH_MOUSE_LL, &CPointerHook::Proc, ::GetModuleHandleW(nullptr), 0);
    if (m_hHook)
        s_pActive = this;
    return m_hHook != nullptr;
}

void CPointerHook::Stop() {
    if (!m_hHook)
        return;
    ::UnhookWindowsHookEx(m_hHook);
    m_hHook = nullptr;
    if (s_pActive == this)
        s_pActive = nullptr;
}

LRESULT CALLBACK CPointerHook::Proc(int code, WPARAM wParam, LPARAM lParam) {
    CPointerHook* self = s_pActive;
    if (code != HC_ACTION || !self)
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    const auto* info = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
    const POINT pt = info->pt;
    switch (wParam) {
    case WM_MOUSEMOVE:
        if (self->m_onMove)
            self->m_onMove(pt);
        // Wine leaves the pointer where it was after a move sent by another
        // program (SendInput) once a low-level hook has seen it; putting it
        // where the move goes changes nothing where the system does that itself.
        if (info->flags & LLMHF_INJECTED)
            ::SetCursorPos(pt.x, pt.y);
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        // Handled once the hook has returned: the tool may end, or read the screen.
        ::PostMessageW(self->m_hTool, kButtonMessage, wParam == WM_LBUTTONDOWN, MAKELPARAM(pt.x, pt.y));
        return 1;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP:
        return 1;  // no other button means anything here, nor may it reach the window below
    default:
        break;
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
