// Geometry of the rectangle tracker, free of the window system so that it can
// be tested on its own: handle placement and masks, hit codes, the inverted
// rectangle's mirrored handles, and how a drag changes the rectangle.
//
// A tracker rectangle may be inverted (left > right or top > bottom). Handle
// codes name the rectangle's own edges, not the screen's: handle 0 always sits
// at (left, top), wherever that is on the screen. NormalizeHit gives the code
// of the handle as the user sees it.
#pragma once

#include <cstdlib>

namespace trackgeo {

struct Point {
    int x;
    int y;
};

struct Rect {
    int left;
    int top;
    int right;
    int bottom;

    bool operator==(const Rect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const Rect& o) const { return !(*this == o); }
};

// Style bits of a tracker.
enum : unsigned {
    kSolidLine = 1,
    kDottedLine = 2,
    kHatchedBorder = 4,
    kResizeInside = 8,
    kResizeOutside = 16,
    kHatchInside = 32,
};

// Hit codes: handles 0-7, the inside, and nothing.
enum : int {
    kHitNothing = -1,
    kHitTopLeft = 0,
    kHitTopRight = 1,
    kHitBottomRight = 2,
    kHitBottomLeft = 3,
    kHitTop = 4,
    kHitRight = 5,
    kHitBottom = 6,
    kHitLeft = 7,
    kHitMiddle = 8,
};

inline Rect Normalized(Rect r) {
    if (r.left > r.right) {
        const int t = r.left;
        r.left = r.right;
        r.right = t;
    }
    if (r.top > r.bottom) {
        const int t = r.top;
        r.top = r.bottom;
        r.bottom = t;
    }
    return r;
}

inline Rect Inflated(Rect r, int d) { return Rect{r.left - d, r.top - d, r.right + d, r.bottom + d}; }

inline bool Contains(const Rect& r, Point p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

// Which of the rectangle's edges a handle drags, per axis: -1 the low member
// (left/top), +1 the high member (right/bottom), 0 none (the handle sits at the
// middle of that axis). The middle drags everything and is not described here.
inline int HandleRoleX(int handle) {
    switch (handle) {
    case kHitTopLeft: case kHitBottomLeft: case kHitLeft: return -1;
    case kHitTopRight: case kHitBottomRight: case kHitRight: return 1;
    default: return 0;
    }
}

inline int HandleRoleY(int handle) {
    switch (handle) {
    case kHitTopLeft: case kHitTopRight: case kHitTop: return -1;
    case kHitBottomLeft: case kHitBottomRight: case kHitBottom: return 1;
    default: return 0;
    }
}

// Corner handles always; the middle handles of the top and bottom edges when
// the rectangle is wide enough for three handles and a gap, likewise left and
// right for the height.
inline unsigned DefaultHandleMask(const Rect& r, int handleSize) {
    unsigned mask = 0x0F;
    if (std::abs(r.right - r.left) - 3 * handleSize > 4)
        mask |= 0x50;
    if (std::abs(r.bottom - r.top) - 3 * handleSize > 4)
        mask |= 0xA0;
    return mask;
}

// A mask override of the region tracker: 0 keeps the default rule, bit 0x100
// hides every handle, anything else is the mask itself.
inline unsigned OverriddenHandleMask(unsigned override, const Rect& r, int handleSize) {
    if (override == 0)
        return DefaultHandleMask(r, handleSize);
    return (override & 0x100) ? 0u : override;
}

// Handles inside the rectangle shrink so that opposite handles never overlap.
inline int EffectiveHandleSize(const Rect& r, unsigned style, int handleSize) {
    if (!(style & kResizeInside))
        return handleSize;
    const int w = std::abs(r.right - r.left);
    const int h = std::abs(r.bottom - r.top);
    int size = handleSize;
    if (w / 2 < size)
        size = w / 2;
    if (h / 2 < size)
        size = h / 2;
    return size < 1 ? 1 : size;
}

// Start of a handle along one axis: `edge` is the member the handle belongs to,
// `other` the opposite member; outside handles sit beyond the edge, inside
// handles within it, whichever side of the screen the edge is on.
inline int HandleStart(int edge, int other, int role, bool outside, int size) {
    if (role == 0) {
        const int lo = edge < other ? edge : other;
        const int hi = edge < other ? other : edge;
        return lo + (hi - lo) / 2 - size / 2;
    }
    const bool lowSide = edge <= other;
    if (outside)
        return lowSide ? edge - size : edge;
    return lowSide ? edge : edge - size;
}

// Rectangle of handle 0-7; empty for other codes.
inline Rect HandleRect(const Rect& r, int handle, unsigned style, int handleSize) {
    if (handle < kHitTopLeft || handle > kHitLeft)
        return Rect{0, 0, 0, 0};
    const bool outside = (style & kResizeOutside) != 0;
    const int rx = HandleRoleX(handle);
    const int ry = HandleRoleY(handle);
    const int x = rx > 0 ? HandleStart(r.right, r.left, rx, outside, handleSize)
                         : HandleStart(r.left, r.right, rx, outside, handleSize);
    const int y = ry > 0 ? HandleStart(r.bottom, r.top, ry, outside, handleSize)
                         : HandleStart(r.top, r.bottom, ry, outside, handleSize);
    return Rect{x, y, x + handleSize, y + handleSize};
}

// Everything the tracker draws: the normalised rectangle with its outline one
// pixel outside, and the outside handles or the hatched border around it.
inline Rect TrueRect(const Rect& r, unsigned style, int handleSize) {
    const int margin = (style & (kResizeOutside | kHatchedBorder)) ? (handleSize > 1 ? handleSize : 1) : 1;
    return Inflated(Normalized(r), margin);
}

inline bool HasHandles(unsigned style) { return (style & (kResizeInside | kResizeOutside)) != 0; }

// Hit code of a point: a handle present in the mask, else the inside (the
// rectangle with its outline, or with a hatched border the whole band).
inline int HitTestHandles(const Rect& r, Point p, unsigned style, unsigned mask, int handleSize) {
    if (!Contains(TrueRect(r, style, handleSize), p))
        return kHitNothing;
    if (HasHandles(style)) {
        for (int handle = kHitTopLeft; handle <= kHitLeft; ++handle) {
            if ((mask & (1u << handle)) && Contains(HandleRect(r, handle, style, handleSize), p))
                return handle;
        }
    }
    if (!(style & kHatchedBorder) && !Contains(Inflated(Normalized(r), 1), p))
        return kHitNothing;
    return kHitMiddle;
}

// The code of the handle as it appears on the screen: with an inverted
// rectangle the rectangle's left handles are on the right, and so on.
inline int NormalizeHit(const Rect& r, int hit) {
    if (hit < kHitTopLeft || hit > kHitLeft)
        return hit;
    if (r.right < r.left) {
        static const int mirrorX[8] = {kHitTopRight, kHitTopLeft, kHitBottomLeft, kHitBottomRight,
                                       kHitTop, kHitLeft, kHitBottom, kHitRight};
        hit = mirrorX[hit];
    }
    if (r.bottom < r.top) {
        static const int mirrorY[8] = {kHitBottomLeft, kHitBottomRight, kHitTopRight, kHitTopLeft,
                                       kHitBottom, kHitRight, kHitTop, kHitLeft};
        hit = mirrorY[hit];
    }
    return hit;
}

// Cursor index of the region tracker: the on-screen handle code, and 9 for a
// point in the hatched band between the handles; -1 when the point misses.
inline int CursorIndex(const Rect& r, Point p, unsigned style, unsigned mask, int handleSize) {
    const int hit = NormalizeHit(r, HitTestHandles(r, p, style, mask, handleSize));
    if (hit == kHitMiddle && (style & kHatchedBorder) && !Contains(Normalized(r), p))
        return 9;
    return hit;
}

// The rectangle while the pointer, pressed at `anchor` on `handle`, is at
// `now`: the handle's edges follow the pointer; the middle moves the whole.
inline Rect DraggedRect(const Rect& start, int handle, Point anchor, Point now) {
    const int dx = now.x - anchor.x;
    const int dy = now.y - anchor.y;
    Rect r = start;
    if (handle == kHitMiddle)
        return Rect{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
    switch (HandleRoleX(handle)) {
    case -1: r.left += dx; break;
    case 1: r.right += dx; break;
    default: break;
    }
    switch (HandleRoleY(handle)) {
    case -1: r.top += dy; break;
    case 1: r.bottom += dy; break;
    default: break;
    }
    return r;
}

namespace detail {
// Keeps the dragged member `moving` at least `minSize` away from `fixed`.
// Without inversion it stays on its own side (high members above the fixed
// one); with inversion it may cross, and keeps the distance on either side.
inline void ConstrainAxis(int& moving, int fixed, bool movingIsHigh, int minSize, bool allowInvert) {
    if (!allowInvert) {
        if (movingIsHigh && moving < fixed + minSize)
            moving = fixed + minSize;
        if (!movingIsHigh && moving > fixed - minSize)
            moving = fixed - minSize;
        return;
    }
    const int d = moving - fixed;
    if (std::abs(d) >= minSize)
        return;
    const bool above = d > 0 || (d == 0 && movingIsHigh);
    moving = above ? fixed + minSize : fixed - minSize;
}
}  // namespace detail

// The size rules applied after every step of a resize: the minimum size and,
// unless allowed, no inversion. A move (the middle) keeps the size as it is.
inline Rect ConstrainRect(Rect r, int handle, int minWidth, int minHeight, bool allowInvert) {
    if (handle == kHitMiddle)
        return r;
    switch (HandleRoleX(handle)) {
    case -1: detail::ConstrainAxis(r.left, r.right, false, minWidth, allowInvert); break;
    case 1: detail::ConstrainAxis(r.right, r.left, true, minWidth, allowInvert); break;
    default: break;
    }
    switch (HandleRoleY(handle)) {
    case -1: detail::ConstrainAxis(r.top, r.bottom, false, minHeight, allowInvert); break;
    case 1: detail::ConstrainAxis(r.bottom, r.top, true, minHeight, allowInvert); break;
    default: break;
    }
    return r;
}

}  // namespace trackgeo
