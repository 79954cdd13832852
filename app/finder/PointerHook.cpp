#include "app/finder/PointerHook.h"

#include <utility>

HHOOK CPointerHook::s_hHook = nullptr;
HHOOK CPointerHook::s_hKeyHook = nullptr;
HWND CPointerHook::s_hTool = nullptr;
CPointerHook* CPointerHook::s_pActive = nullptr;
UINT CPointerHook::s_buttonsDown = 0;

namespace {

// The button of a press or release as a bit (left 1, right 2, middle 4, the
// extra ones 8 and 16); 0 for any other mouse message.
UINT ButtonBit(WPARAM message, const MSLLHOOKSTRUCT& info) {
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        return 1;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        return 2;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        return 4;
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP:
        return HIWORD(info.mouseData) == XBUTTON2 ? 16 : 8;
    default:
        return 0;
    }
}

bool IsPress(WPARAM message) {
    return message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN ||
           message == WM_XBUTTONDOWN;
}

}  // namespace

bool CPointerHook::Start(HWND tool, std::function<void(POINT)> onMove, bool takeEscape) {
    Stop();
    if (s_pActive)
        return false;
    // Still set for the releases after the last tool: it serves this one too.
    if (!s_hHook) {
        s_hHook = ::SetWindowsHookExW(WH_MOUSE_LL, &CPointerHook::Proc, ::GetModuleHandleW(nullptr), 0);
        // A new hook has taken no press: a bit left by a call made for the
        // last one after it went means nothing.
        s_buttonsDown = 0;
    }
    if (!s_hHook)
        return false;
    s_hTool = tool;
    m_onMove = std::move(onMove);
    s_pActive = this;
    if (takeEscape)
        s_hKeyHook = ::SetWindowsHookExW(WH_KEYBOARD_LL, &CPointerHook::KeyProc, ::GetModuleHandleW(nullptr), 0);
    return true;
}

void CPointerHook::Stop() {
    if (s_pActive != this)
        return;
    s_pActive = nullptr;
    m_onMove = nullptr;
    if (s_hKeyHook) {
        ::UnhookWindowsHookEx(s_hKeyHook);
        s_hKeyHook = nullptr;
    }
    if (!s_buttonsDown && s_hHook) {
        ::UnhookWindowsHookEx(s_hHook);
        s_hHook = nullptr;
        s_hTool = nullptr;
    }
}

LRESULT CALLBACK CPointerHook::Proc(int code, WPARAM wParam, LPARAM lParam) {
    if (code != HC_ACTION)
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    CPointerHook* self = s_pActive;
    const auto* info = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
    const POINT pt = info->pt;
    const UINT button = ButtonBit(wParam, *info);
    if (!button) {
        if (wParam == WM_MOUSEMOVE) {
            if (self && self->m_onMove)
                self->m_onMove(pt);
            // Wine leaves the pointer where it was after a move sent by another
            // program (SendInput) once a low-level hook has seen it; putting it
            // where the move goes changes nothing where the system does that itself.
            if (info->flags & LLMHF_INJECTED)
                ::SetCursorPos(pt.x, pt.y);
        }
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }
    if (IsPress(wParam))
        s_buttonsDown |= button;
    else
        s_buttonsDown &= ~button;
    // Handled once the hook has returned: the tool may end, or read the screen.
    if (s_hTool)
        ::PostMessageW(s_hTool, kButtonMessage, wParam, MAKELPARAM(pt.x, pt.y));
    if (!self && !s_buttonsDown && s_hHook) {
        // The last release after the tool ended: nothing more to take.
        ::UnhookWindowsHookEx(s_hHook);
        s_hHook = nullptr;
        s_hTool = nullptr;
    }
    return 1;  // no button message may reach the window below
}

LRESULT CALLBACK CPointerHook::KeyProc(int code, WPARAM wParam, LPARAM lParam) {
    const auto* info = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (code != HC_ACTION || !s_pActive || info->vkCode != VK_ESCAPE)
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    if (wParam == WM_KEYDOWN)
        ::PostMessageW(s_hTool, kButtonMessage, WM_KEYDOWN, 0);
    return 1;  // the tool's alone: no window of ours or another program's acts on it
}
