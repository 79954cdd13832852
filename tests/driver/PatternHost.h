// A window of another process for the end-to-end tests: pattern_host.exe
// started at a screen rectangle, showing PatternAt of every screen point it
// covers and counting the mouse button messages that reach it. Faults where
// input or pixels cross between programs need a window that is not the
// test's own, with a thread of its own pumping its messages.
#pragma once

#include <windows.h>

#include <vector>

namespace vesk_test {

// Every screen point has its own colour.
inline COLORREF PatternAt(int x, int y) {
    return RGB(x & 0xFF, y & 0xFF, ((x >> 8) << 4) | ((y >> 8) + 3));
}
// PatternAt over a screen rectangle, row by row from the top.
std::vector<COLORREF> PatternOver(const RECT& r);
// Paints the window's client area with PatternAt of the screen points it covers.
inline void PaintPattern(HDC dc, HWND hWnd) {
    RECT client;
    GetClientRect(hWnd, &client);
    POINT origin = {0, 0};
    ClientToScreen(hWnd, &origin);
    const int w = client.right, h = client.bottom;
    std::vector<DWORD> bits(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const COLORREF c = PatternAt(origin.x + x, origin.y + y);
            bits[static_cast<size_t>(y) * w + x] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
        }
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    SetDIBitsToDevice(dc, 0, 0, w, h, 0, 0, 0, h, bits.data(), &bi, DIB_RGB_COLORS);
}

class PatternHost {
public:
    static constexpr const wchar_t* kClassName = L"VeskPatternHost";
    static constexpr UINT kCountMessage = WM_APP + 1;

    PatternHost() = default;
    ~PatternHost();
    PatternHost(const PatternHost&) = delete;
    PatternHost& operator=(const PatternHost&) = delete;

    // Starts the process and waits until its window shows the pattern on the
    // screen; false when it never did.
    bool Start(const RECT& r);
    HWND window() const { return m_hWnd; }
    // Mouse button messages the host has received so far, input already
    // queued for it included; -1 when it does not answer.
    int ButtonMessages() const;
    // Brings the host back above the other topmost windows, without activating it.
    void Raise() const;

private:
    PROCESS_INFORMATION m_pi = {};
    HWND m_hWnd = nullptr;
    RECT m_rect = {};
};

}  // namespace vesk_test
