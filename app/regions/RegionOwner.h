// IRegionOwner: what the pointer window, the information window and the
// magnifier read from the region window that opened them. Each of them keeps
// its own owner, so a second region window cannot pull the ground from under
// the helpers of the first.
#pragma once

#include "Afx.h"

class IRegionOwner {
public:
    // The region window: receives the pointer window's forwarded mouse messages.
    virtual HWND GetRegionWindow() const = 0;
    // True for the tracker mode, false for the rubber-band (drag) mode.
    virtual bool IsTrackerMode() const = 0;
    // The region being chosen, in screen coordinates; it may be inverted while
    // the user drags up or to the left.
    virtual RECT GetRegion() const = 0;
    // The colour of the picture under the screen point: the frozen picture for
    // the static capture, the live screen without our overlays for the dynamic one.
    virtual COLORREF GetColorAt(POINT screenPoint) const = 0;

protected:
    ~IRegionOwner() = default;
};
