// Keeps the mouse for a modal pointer tool (the control finder, the
// eyedropper) whatever the pointer's speed. The tool's mouse capture alone
// is not enough: a quick hand leaves its small window behind in one move, and
// over another program's window the system routes that program's mouse input
// past the capture while no button is down, so the click would go there.
// A low-level mouse hook for the life of the tool sees every move before it
// is routed (the tool puts its window under the new position) and takes every
// button press and release itself, so none reaches another program; each
// reaches the tool as kButtonMessage. A tool that ends with a button down
// leaves the hook taking every button message until all are up: their
// releases belong to presses the hook took. Its window is told of each of
// them, so that it can stay until the last is up.
#pragma once

#include <windows.h>

#include <functional>

class CPointerHook {
public:
    // Posted to the tool's window for every press and release: wParam the
    // button message (WM_LBUTTONDOWN ...); lParam the screen point (MAKELPARAM).
    // With wParam WM_KEYDOWN: Escape went down (see Start).
    static constexpr UINT kButtonMessage = WM_APP + 40;

    CPointerHook() = default;
    ~CPointerHook() { Stop(); }
    CPointerHook(const CPointerHook&) = delete;
    CPointerHook& operator=(const CPointerHook&) = delete;

    // `onMove` runs inside the hook, on the tool's thread, for every move; it
    // must be quick. False when the hook could not be set (the tool then
    // relies on its capture alone). With `takeEscape` the Escape key is the
    // tool's too, told in order with the buttons: a message queued for the
    // window comes after the notices posted by the hook, so a release right
    // behind Escape would be handled first.
    bool Start(HWND tool, std::function<void(POINT)> onMove, bool takeEscape = false);
    // Ends the hook's work for the tool; the hook itself goes once every
    // button whose press it took is up.
    void Stop();
    bool IsActive() const { return s_pActive == this; }
    // Whether the hook is set, for a tool or for the releases after one.
    // Nothing may then wait for another program, which may be waiting for it.
    static bool IsSet() { return s_hHook != nullptr; }
    // Whether a button whose press the hook took is still down.
    static bool ButtonsDown() { return s_hHook && s_buttonsDown; }

private:
    static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK KeyProc(int code, WPARAM wParam, LPARAM lParam);

    std::function<void(POINT)> m_onMove;
    static HHOOK s_hHook;
    static HHOOK s_hKeyHook;  // for the active tool only
    // The window told of button messages: the tool's, kept after it stops
    // until the hook goes.
    static HWND s_hTool;
    // One pointer tool runs at a time: the hook finds it here.
    static CPointerHook* s_pActive;
    // The buttons whose press the hook took and whose release it has not seen.
    static UINT s_buttonsDown;
};
