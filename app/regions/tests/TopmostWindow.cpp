// Another program's always-on-top window for the region capture tests: a plain
// topmost window of one colour at the rectangle given on the command line
// ("left top right bottom"), until the process is ended.
#include <windows.h>

#include <cwchar>

namespace {

LRESULT CALLBACK Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcW(hWnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
    RECT r = {40, 700, 240, 860};
    swscanf(commandLine, L"%ld %ld %ld %ld", &r.left, &r.top, &r.right, &r.bottom);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.hbrBackground = CreateSolidBrush(RGB(20, 140, 60));
    wc.lpszClassName = L"VeskTopmostWindow";
    RegisterClassW(&wc);
    CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"always on top", WS_POPUP | WS_VISIBLE, r.left, r.top,
                    r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
