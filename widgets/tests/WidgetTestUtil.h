// Helpers shared by the widget tests: message pumping, mouse input and pixels.
#pragma once

#include "Afx.h"

#include <functional>

namespace wt {

// Dispatches what is queued now (through the library's processing).
void PumpMessages();
// Pumps until pred() holds or nothing has arrived for a while; returns pred().
bool PumpUntil(const std::function<bool()>& pred, int maxIdleRounds = 40);
// Lets the window paint itself and the X server catch up.
void Settle(HWND hWnd = nullptr);

// The real X pointer (tests/driver/XInput), positions in screen coordinates.
void MouseMove(int x, int y);
void MouseDown();
void MouseUp();
// Moves the mouse somewhere no test window sits.
void MouseAway();
// One key going down, or up, through SendInput.
void Key(WORD vk, bool up = false);
// Presses and releases a key through SendInput.
void KeyPress(WORD vk);
// The window that has the keyboard focus in hWnd's thread, of any process.
HWND FocusOf(HWND hWnd);
// The items of a list view, of any process.
int ItemCount(HWND list);

// Live GDI objects of the process (GetGuiResources says 0 under Wine).
int CountGdiObjects();

// A pixel of what the window shows, in its client coordinates.
COLORREF WindowPixel(HWND hWnd, int x, int y);

// A 32-bit top-down DIB section selected into its own memory DC.
class DibCanvas {
public:
    DibCanvas(int width, int height, COLORREF fill);
    ~DibCanvas();
    DibCanvas(const DibCanvas&) = delete;
    DibCanvas& operator=(const DibCanvas&) = delete;

    HDC dc() const { return m_hDC; }
    HBITMAP bitmap() const { return m_hBitmap; }
    COLORREF Pixel(int x, int y) const;
    int width() const { return m_width; }
    int height() const { return m_height; }

private:
    int m_width;
    int m_height;
    HDC m_hDC = nullptr;
    HBITMAP m_hBitmap = nullptr;
    HGDIOBJ m_hOld = nullptr;
    const DWORD* m_bits = nullptr;
};

// Presses the left button at from, moves to to in a few steps and releases,
// while this thread keeps pumping (a system move or size loop may run inside
// the pump meanwhile).
void Drag(POINT from, POINT to);

}  // namespace wt
