// The blinking frame over the window under the pointer, shown by the control
// finder and by the navigator's speed capture. It is drawn in NOTXOR straight
// onto the screen, so a frame put on is always taken off before it is
// forgotten: lines left behind would show up in later captures.
#pragma once

#include <windows.h>

// The window or control the user points at: the top-level window at `p` and
// in it the deepest visible child there, disabled ones included (a modal loop
// disables our own main window, and WindowFromPoint stops at a disabled
// window). Group boxes and transparent children are looked through, as the
// system's own hit test does.
HWND DeepestWindowAt(POINT p);

class CWindowHighlight {
public:
    CWindowHighlight(COLORREF colour, int width) : m_colour(colour), m_width(width) {}
    ~CWindowHighlight() { Remove(); }
    CWindowHighlight(const CWindowHighlight&) = delete;
    CWindowHighlight& operator=(const CWindowHighlight&) = delete;

    // One blink for the window now under the pointer. A different window
    // takes the old frame off and is framed from the next blink on.
    void Blink(HWND under);
    // Takes a frame still on the screen off and has the window repaint.
    void Remove();
    // Takes the frame off and forgets every window seen.
    void Reset();
    // Takes the frame off and makes `under` the framed window at once, without
    // waiting for the next blink (a quick hand clicks before it comes).
    void Choose(HWND under);

    HWND Window() const { return m_hWnd; }
    // Whether a frame's removal waits for another program's window to repaint.
    // It must not while that program may be waiting for us (our pointer hook).
    void WaitForOtherPrograms(bool wait) { m_bWaitForOthers = wait; }
    // Has the window repaint what the frame covered; waits where it may.
    void RepaintWindow() const;
    // Whether a window has been framed since the last reset, and where it was then.
    bool HasFramed() const { return m_bFramed; }
    const RECT& FramedRect() const { return m_rcFramed; }

private:
    void Paint(const RECT& rect) const;

    COLORREF m_colour;
    int m_width;
    HWND m_hWnd = nullptr;  // the window framed or about to be
    bool m_bOn = false;     // a frame is on the screen at m_rcDrawn
    RECT m_rcDrawn = {};
    bool m_bFramed = false;
    bool m_bWaitForOthers = true;
    RECT m_rcFramed = {};
};
