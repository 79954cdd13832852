// The screen zoom and the overlay lines of the region captures.
#pragma once

#include "Afx.h"

// State of one moving cross-hair: the lines drawn last are drawn again (in
// NOTXOR, which restores the picture) before the lines of the new point.
struct CrossHairState {
    // The horizontal line runs from right to left, the vertical from top to bottom.
    int right = 0;
    int bottom = 0;
    int left = 0;
    int top = 0;
    bool hasCurrent = false;
    POINT current = {};
    bool hasPrevious = false;
    POINT previous = {};

    void SetExtent(int r, int b, int l, int t) { right = r, bottom = b, left = l, top = t; }
    void ClearPoints() { hasCurrent = hasPrevious = false; }
};

// Copies the screen around the pointer (rect's width / factor by height / factor)
// and stretches it over (0, 0, width, height) of pDC, optionally with the cursor
// and a cross through the centre. A factor below 1 counts as 1; nothing is drawn
// for an empty rectangle. With bKeepBitmap the unscaled copy is returned and
// the caller owns it; otherwise null.
HBITMAP DrawZoomedScreen(CrossHairState* pState, const RECT* pRect, CDC* pDC, int nFactor, bool bCrossHair,
                         bool bCursor, bool bKeepBitmap);

// Moves the cross-hair of pState to (x, y): the old lines are drawn again, then
// the new ones. With bUseDcPen the DC's pen and mix mode draw; otherwise a black
// 2-pixel pen in R2_NOTXORPEN with its second row or
// column flipped by FlipTopBits, and the DC is left as it was.
void DrawMovingCrossHair(CrossHairState* pState, CDC* pDC, bool bUseDcPen, short x, short y);

// A black 2-pixel cross through (x, y) over width x height, its second row and
// column flipped by FlipTopBits.
void DrawCrossLines(CDC* pDC, int x, int y, int nWidth, int nHeight);

// Flips the top bit of every channel over r: a change by half the range, which
// shows on any picture, next to a black line as well, and comes off when done again.
void FlipTopBits(HDC dc, const RECT& r);
// The same along the four 1-pixel edges of r.
void FlipTopBitsRing(HDC dc, const RECT& r);

// A red 2-pixel outline in R2_NOTXORPEN (drawing it twice restores the picture).
// Nothing when right and bottom are both 0 or less.
void DrawXorFrame(CDC* pDC, RECT rect);
