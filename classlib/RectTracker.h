// CRectTracker: a rectangle the user moves and resizes with the mouse.
//
// Defaults: handle size 4 pixels (outside handles then stay within a 4-pixel
// margin around the rectangle), minimum size 8 x 8, style 0.
// Track and TrackRubberBand run their own message loop while the left button is
// down; they take the mouse capture themselves, also from another window of
// this thread that holds it, and leave the capture released when they return.
#pragma once

#include "AfxDefs.h"
#include "Geometry.h"
#include "TrackerGeometry.h"

class CRectTracker {
public:
    enum StyleFlags : UINT {
        solidLine = trackgeo::kSolidLine,
        dottedLine = trackgeo::kDottedLine,
        hatchedBorder = trackgeo::kHatchedBorder,
        resizeInside = trackgeo::kResizeInside,
        resizeOutside = trackgeo::kResizeOutside,
        hatchInside = trackgeo::kHatchInside,
    };
    enum TrackerHit : int {
        hitNothing = trackgeo::kHitNothing,
        hitTopLeft = trackgeo::kHitTopLeft,
        hitTopRight = trackgeo::kHitTopRight,
        hitBottomRight = trackgeo::kHitBottomRight,
        hitBottomLeft = trackgeo::kHitBottomLeft,
        hitTop = trackgeo::kHitTop,
        hitRight = trackgeo::kHitRight,
        hitBottom = trackgeo::kHitBottom,
        hitLeft = trackgeo::kHitLeft,
        hitMiddle = trackgeo::kHitMiddle,
    };

    static constexpr int kDefaultHandleSize = 4;
    static constexpr int kDefaultMinSize = 8;

    CRectTracker() = default;
    CRectTracker(LPCRECT lpSrcRect, UINT nStyle);
    CRectTracker(const CRectTracker&) = delete;
    CRectTracker& operator=(const CRectTracker&) = delete;

    UINT m_nStyle = 0;
    CRect m_rect;
    CSize m_sizeMin{kDefaultMinSize, kDefaultMinSize};
    int m_nHandleSize = kDefaultHandleSize;

    // Draws the outline, the hatching and black handles as the style asks.
    void Draw(CDC* pDC) const;
    // The normalised rectangle with everything drawn around it.
    void GetTrueRect(LPRECT lpTrueRect) const;
    // Sets the resize or move cursor for the point under the mouse; FALSE when
    // the message is not for the client area or the point misses the tracker.
    BOOL SetCursor(CWnd* pWnd, UINT nHitTest) const;
    // Moves or resizes the rectangle from a press at point (client coordinates
    // of pWnd). FALSE at once when the press misses the tracker; FALSE and the
    // rectangle unchanged when Escape, the right button or a lost capture
    // cancels; TRUE when the release leaves a changed rectangle. After Escape
    // or the right button the mouse stays with pWnd until both buttons are up,
    // so that their releases reach no other window.
    BOOL Track(CWnd* pWnd, CPoint point, BOOL bAllowInvert = FALSE, CWnd* pWndClipTo = nullptr);
    // Stretches a new rectangle from point; TRUE when the release leaves a
    // non-empty one.
    BOOL TrackRubberBand(CWnd* pWnd, CPoint point, BOOL bAllowInvert = TRUE);
    int HitTest(CPoint point) const;
    // Whether the user cancelled the last Track or TrackRubberBand, by Escape or
    // the right button, which owners may take as the wish to leave altogether.
    bool EndedByUser() const { return m_bEndedByUser; }
    // The hit code of the handle as the user sees it on an inverted rectangle.
    int NormalizeHit(int nHandle) const;

    // The frame shown while tracking, drawn inverting: drawing the same
    // rectangle twice erases it. pDC is pWnd's client DC, clipped to
    // pWndClipTo's client area when one is given.
    virtual void DrawTrackerRect(LPCRECT lpRect, CWnd* pWndClipTo, CDC* pDC, CWnd* pWnd);
    // The size rules after each step: minimum size, and no inversion unless allowed.
    virtual void AdjustRect(int nHandle, LPRECT lpRect);
    // Called after each change of m_rect during tracking.
    virtual void OnChangedRect(const CRect& rectOld);
    virtual UINT GetHandleMask() const;
    virtual ~CRectTracker() = default;
    virtual int GetHandleSize(LPCRECT lpRect = nullptr) const;

protected:
    BOOL m_bAllowInvert = FALSE;

    void GetHandleRect(int nHandle, CRect* pHandleRect) const;
    int HitTestHandles(CPoint point) const;
    // Draw with handles of the given colour (the region tracker's are red).
    void DrawTracker(CDC* pDC, COLORREF handleColor) const;

    static trackgeo::Rect ToGeo(const RECT& r) { return trackgeo::Rect{r.left, r.top, r.right, r.bottom}; }
    static CRect FromGeo(const trackgeo::Rect& r) { return CRect(r.left, r.top, r.right, r.bottom); }

private:
    // Tracking state: the frame drawn on the screen now, if any.
    CRect m_rectLast;
    bool m_bDrawn = false;
    bool m_bRubberBand = false;
    bool m_bEndedByUser = false;

    // One run of the tracking loop.
    class TrackSession;
    // Puts the rectangle back to where a cancelled run started, telling OnChangedRect.
    void RestoreRect(const CRect& rect);
    BOOL TrackHandle(int nHandle, CWnd* pWnd, CPoint point, CWnd* pWndClipTo);
};
