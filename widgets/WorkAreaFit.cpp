#include "widgets/WorkAreaFit.h"

#include <algorithm>

CRect FitInside(const CRect& rect, const CRect& work) {
    CRect fitted = rect;
    // Right and bottom edges first, so that the left and top win when it is too big.
    fitted.OffsetRect(std::min(0L, work.right - fitted.right), std::min(0L, work.bottom - fitted.bottom));
    fitted.OffsetRect(std::max(0L, work.left - fitted.left), std::max(0L, work.top - fitted.top));
    return fitted;
}

CRect WorkAreaOf(const CRect& rect) {
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (::GetMonitorInfoW(::MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &monitor))
        return CRect(monitor.rcWork);
    RECT work = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return CRect(work);
}

void KeepInWorkArea(HWND hWnd) {
    CRect window;
    if (!hWnd || !::GetWindowRect(hWnd, &window) || ::IsIconic(hWnd) || ::IsZoomed(hWnd))
        return;
    const CRect fitted = FitInside(window, WorkAreaOf(window));
    if (fitted != window)
        ::SetWindowPos(hWnd, nullptr, fitted.left, fitted.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
