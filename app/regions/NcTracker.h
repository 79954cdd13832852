// CNcTracker: the resizable rectangle of the region captures' tracker mode.
// The class library's tracker with red handles and the system's resize and
// move cursors.
#pragma once

#include "Afx.h"

class CNcTracker : public CRectTracker {
public:
    // Mask override bit: no handles at all.
    static constexpr UINT kNoHandles = 0x100;

    explicit CNcTracker(LPCRECT lpRect);
    ~CNcTracker() override = default;

    // 0 keeps the default handle rule; otherwise the handle mask to use.
    UINT m_nHandleMaskOverride = 0;

    UINT GetHandleMask() const override;
    // Black outline just outside the rectangle, red handles around it, and a
    // ring outside the outline that shows where black does not.
    void Draw(CDC* pDC) const;
    // The base's inverted frame while tracking, with the same ring outside it.
    void DrawTrackerRect(LPCRECT lpRect, CWnd* pWndClipTo, CDC* pDC, CWnd* pWnd) override;
    int HitTestHandles(CPoint point) const { return CRectTracker::HitTestHandles(point); }
    // Sets the cursor of the handle under the mouse (as seen on the screen);
    // FALSE when not in the client area or off the tracker, so the owner
    // chooses the cursor.
    BOOL SetCursor(CWnd* pWnd, UINT nHitTest) const;

private:
    static constexpr int kCursorCount = 10;
    HCURSOR m_cursors[kCursorCount] = {};
};
