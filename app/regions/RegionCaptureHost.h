// IRegionCaptureHost: what the region capture windows need from the program
// that opens them: the capture options as they stand at the moment of use, the
// capture engine, and word when a window goes away.
#pragma once

#include "Afx.h"

struct RegionCaptureOptions {
    bool layered = true;          // copy with CAPTUREBLT, layered windows included
    bool pointerEffect = true;    // cross-hair on the pointer
    bool magnifierEffect = true;  // magnifier beside the pointer
    bool keepEffect = false;      // the window stays for further captures
};

class IRegionCaptureHost {
public:
    virtual RegionCaptureOptions GetRegionCaptureOptions() const = 0;
    // Takes over hSource and hBitmap (selected in it), also when no capture
    // starts. `releasedAt`: where the button that chose the region came up.
    virtual void StartRegionCapture(HDC hSource, const RECT& rect, HBITMAP hBitmap, POINT releasedAt) = 0;
    // The window is being deleted: forget any pointer to it.
    virtual void OnRegionWindowGone(CWnd* pWnd) = 0;

protected:
    ~IRegionCaptureHost() = default;
};
