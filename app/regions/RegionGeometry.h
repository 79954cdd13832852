// Window-free geometry of the region-capture helpers: where the information
// window hops, where the magnifier goes, which screen area a zoom copies, how
// the frame pieces are laid out and the texts the information window shows.
// Plain structs laid out like POINT and RECT so callers can pass those through.
#pragma once

#include <array>
#include <string>

struct GeoPoint {
    int x = 0;
    int y = 0;
};

struct GeoRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    // Half-open, as the system's PtInRect.
    bool Contains(GeoPoint p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
};

// Left/right and top/bottom swapped where they are inverted.
GeoRect NormalizeRect(const GeoRect& r);
// The part of r inside bounds; all zero when r is empty or they do not meet.
GeoRect ClipRect(const GeoRect& r, const GeoRect& bounds);

// Where the information window (at `window`, screen coordinates) moves so that
// it stays out of the pointer's way. False when it stays where it is.
bool InfoWindowHop(const GeoRect& window, GeoPoint pointer, int screenWidth, int screenHeight, GeoPoint* newTopLeft);

// Where the magnifier of size width x height moves around the pointer so that it
// stays off the region being chosen and wholly on `monitor` (the pointer's; an
// empty one is not checked): where it would leave that, it goes to the other
// side of the pointer. False when it stays where it is.
bool MagnifierPlacement(GeoPoint pointer, int width, int height, const GeoRect& region, const GeoRect& monitor,
                        GeoPoint* newTopLeft);

// The screen area a zoom of factor `factor` into a width x height view copies,
// centred on the pointer. The factor is at least 1; empty for an empty view.
struct ZoomSource {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int halfWidth = 0;
    int halfHeight = 0;
    bool IsEmpty() const { return width <= 0 || height <= 0; }
};
ZoomSource ZoomSourceFor(GeoPoint pointer, int width, int height, int factor);

// The eight frame pieces of the skinned tool windows, in painting order, for a
// window of width x height with a caption `caption` pixels high.
enum FramePiece {
    FRAME_CAPTION_LEFT,
    FRAME_CAPTION_RIGHT,
    FRAME_CAPTION_MIDDLE,
    FRAME_LEFT,
    FRAME_RIGHT,
    FRAME_BOTTOM_LEFT,
    FRAME_BOTTOM_RIGHT,
    FRAME_BOTTOM,
    FRAME_PIECE_COUNT
};
struct FramePlacement {
    int x, y, width, height;
};
std::array<FramePlacement, FRAME_PIECE_COUNT> FrameLayout(int width, int height, int caption);

// "RGB: r, g, b\nHtml: #RRGGBB\nHexa: 0x00RRGGBB\n".
std::string ColorText(int red, int green, int blue);
// The information window's pointer text: position, then the colour text.
std::string PointerText(GeoPoint pointer, int red, int green, int blue);

// The size the information window reports, that of the picture a release would
// save: the dynamic capture's tracker keeps a 4-pixel margin on every side, the
// static capture's rubber band (which may be inverted) is saved without its
// outline, and nothing beyond the screen (screenWidth x screenHeight) is saved.
struct RegionSize {
    int width = 0;
    int height = 0;
};
RegionSize ShownRegionSize(const GeoRect& region, bool liveScreen, bool trackerMode, int screenWidth,
                           int screenHeight);
std::string RegionSizeText(RegionSize size);
