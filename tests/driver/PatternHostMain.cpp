// A window of another process for the end-to-end tests: a topmost popup at the
// screen rectangle given on the command line ("left top right bottom") that
// shows the screen pattern of vesk_test::PatternAt and counts every mouse
// button message its thread receives. Sent WM_APP + 1, it first takes in the
// input already queued for it and answers the count.
#include "tests/driver/PatternHost.h"

#include <cstdio>
#include <vector>

namespace {

int g_buttonMessages = 0;

bool IsButtonMessage(UINT message) {
    return (message >= WM_LBUTTONDOWN && message <= WM_MBUTTONDBLCLK) ||
           (message >= WM_XBUTTONDOWN && message <= WM_XBUTTONDBLCLK) ||
           (message >= WM_NCLBUTTONDOWN && message <= WM_NCMBUTTONDBLCLK) ||
           (message >= WM_NCXBUTTONDOWN && message <= WM_NCXBUTTONDBLCLK);
}

void Paint(HWND hWnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hWnd, &ps);
    vesk_test::PaintPattern(dc, hWnd);
    EndPaint(hWnd, &ps);
}

LRESULT CALLBACK HostProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint(hWnd);
        return 0;
    case vesk_test::PatternHost::kCountMessage: {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE) ||
               PeekMessageW(&msg, nullptr, WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK, PM_REMOVE)) {
            g_buttonMessages += IsButtonMessage(msg.message);
            DispatchMessageW(&msg);
        }
        return g_buttonMessages;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hWnd, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    RECT r = {};
    if (std::sscanf(commandLine, "%ld %ld %ld %ld", &r.left, &r.top, &r.right, &r.bottom) != 4 ||
        r.right <= r.left || r.bottom <= r.top)
        return 2;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = vesk_test::PatternHost::kClassName;
    if (!RegisterClassW(&wc))
        return 3;
    HWND host = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"pattern host", WS_POPUP,
                                r.left, r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance, nullptr);
    if (!host)
        return 4;
    // Shown without taking the focus from the program under test.
    ShowWindow(host, SW_SHOWNOACTIVATE);
    UpdateWindow(host);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        g_buttonMessages += IsButtonMessage(msg.message);
        DispatchMessageW(&msg);
    }
    return 0;
}
