// Keeps the mouse for a modal pointer tool (the control finder, the
// eyedropper) whatever the pointer's speed. The tool's mouse capture alone
// is not enough: a quick hand leaves its small window behind in one move, and
// over another program's window the system routes that program's mouse input
// past the capture while no button is down, so the click would go there.
// A low-level mouse hook for the life of the tool sees every move before it
// is routed (the tool puts its window under the new position) and takes every
// button press and release itself, so none reaches another program; those of
// the left button reach the tool as kButtonMessage.
#pragma once

#include <windows.h>

#include <functional>

class CPointerHook {
public:
    // Posted to the tool's window: wParam TRUE for the press, FALSE for the
    // release of the left button; lParam the screen point (MAKELPARAM).
    static constexpr UINT kButtonMessage = WM_APP + 40;

    CPointerHook() = default;
    ~CPointerHook() { Stop(); }
    CPointerHook(const CPointerHook&) = delete;
    CPointerHook& operator=(const CPointerHook&) = delete;

    // `onMove` runs inside the hook, on the tool's thread, for every move; it
    // must be quick. False when the hook could not be set (the tool then
    // relies on its capture alone).
    bool Start(HWND tool, std::function<void(POINT)> onMove);
    void Stop();
    bool IsActive() const { return m_hHook != nullptr; }

private:
    static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam);

    HHOOK m_hHook = nullptr;
    HWND m_hTool = nullptr;
    std::function<void(POINT)> m_onMove;
    // One pointer tool runs at a time: the hook finds it here.
    static CPointerHook* s_pActive;
};
