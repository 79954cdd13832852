#include "app/regions/RegionGeometry.h"

#include "app/regions/RegionSelection.h"

#include <algorithm>
#include <cstdio>

GeoRect NormalizeRect(const GeoRect& r) {
    return {std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right), std::max(r.top, r.bottom)};
}

GeoRect ClipRect(const GeoRect& r, const GeoRect& bounds) {
    const GeoRect clipped{std::max(r.left, bounds.left), std::max(r.top, bounds.top), std::min(r.right, bounds.right),
                          std::min(r.bottom, bounds.bottom)};
    return clipped.IsEmpty() ? GeoRect{} : clipped;
}

bool InfoWindowHop(const GeoRect& r, GeoPoint p, int screenWidth, int screenHeight, GeoPoint* to) {
    // A window dragged off the screen edge counts as sitting at that edge.
    const bool atLeft = r.left <= 0;
    const bool atTop = r.top <= 0;
    const int h2 = r.Height() / 2;
    GeoPoint target;
    if (atLeft && atTop) {
        if (p.x < r.right + 10)
            target = {screenWidth - r.right, 0};
        else if (p.y < r.bottom - h2)
            target = {0, screenHeight - r.bottom};
        else
            return false;
    } else if (atLeft) {
        if (p.x < r.right + 10)
            target = {screenWidth - r.right, r.top};
        else if (p.y > r.top + h2)
            target = {0, 0};
        else
            return false;
    } else if (atTop) {
        if (p.x > r.left - 10)
            target = {0, 0};
        else if (p.y < r.bottom - h2)
            target = {r.left, screenHeight - r.bottom};
        else
            return false;
    } else {
        if (p.x > r.left - 10)
            target = {0, r.top};
        else if (p.y > r.top + h2)
            target = {r.left, 0};
        else
            return false;
    }
    *to = target;
    return true;
}

namespace {

// The start of a span `length` long, beside `pivot`, moved to the pivot's other
// side when it leaves [low, high), and pushed inside when it fits on neither.
int KeptBeside(int start, int length, int pivot, int low, int high) {
    if (start < low || start + length > high)
        start = 2 * pivot - start - length;
    return std::max(low, std::min(start, high - length));
}

}  // namespace

bool MagnifierPlacement(GeoPoint p, int w, int h, const GeoRect& region, const GeoRect& monitor, GeoPoint* to) {
    const GeoRect upperLeft{p.x - w, p.y - h, p.x, p.y};
    const GeoRect upperRight{p.x, p.y - h, p.x + w, p.y};
    const GeoRect lowerLeft{p.x - w, p.y, p.x, p.y + h};
    const GeoRect lowerRight{p.x, p.y, p.x + w, p.y + h};
    const GeoPoint a{region.right - 10, region.bottom - 10};
    const GeoPoint b{region.left + 10, region.top + 10};
    if (upperLeft.Contains(a))
        *to = {p.x + 20, p.y + 20};
    else if (upperRight.Contains(b))
        *to = {p.x - w - 20, p.y + 10};
    else if (lowerLeft.Contains(a))
        *to = {p.x + 20, p.y - h - 20};
    else if (lowerRight.Contains(b)) {
        if (a.x <= 0 || a.y <= 0)
            return false;
        *to = {p.x - w - 20, p.y - h - 20};
    } else
        *to = {p.x + 20, p.y + 20};
    if (!monitor.IsEmpty())
        *to = {KeptBeside(to->x, w, p.x, monitor.left, monitor.right),
               KeptBeside(to->y, h, p.y, monitor.top, monitor.bottom)};
    return true;
}

ZoomSource ZoomSourceFor(GeoPoint pointer, int width, int height, int factor) {
    ZoomSource s;
    if (width <= 0 || height <= 0)
        return s;
    factor = std::max(factor, 1);
    s.width = width / factor;
    s.height = height / factor;
    if (s.IsEmpty())
        return ZoomSource();
    s.halfWidth = s.width / 2;
    s.halfHeight = s.height / 2;
    s.x = pointer.x - s.halfWidth;
    s.y = pointer.y - s.halfHeight;
    return s;
}

std::array<FramePlacement, FRAME_PIECE_COUNT> FrameLayout(int W, int H, int c) {
    const int side = H - c - 8;
    return {{
        {0, 0, 8, c},             // caption, left end
        {W - 8, 0, 8, c},         // caption, right end
        {8, 0, W - 16, c},        // caption middle
        {0, c, 8, side},          // left border
        {W - 8, c, 8, side},      // right border
        {0, H - 8, 8, 8},         // bottom-left corner
        {W - 8, H - 8, 8, 8},     // bottom-right corner
        {8, H - 8, W - 16, 8},    // bottom edge
    }};
}

std::string ColorText(int red, int green, int blue) {
    char text[96];
    std::snprintf(text, sizeof(text), "RGB: %d, %d, %d\nHtml: #%02X%02X%02X\nHexa: 0x00%02X%02X%02X\n", red, green, blue,
                  red, green, blue, red, green, blue);
    return text;
}

std::string PointerText(GeoPoint pointer, int red, int green, int blue) {
    char head[64];
    std::snprintf(head, sizeof(head), "Screen Pointer: %d , %d \r\n\n", pointer.x, pointer.y);
    return head + ColorText(red, green, blue);
}

RegionSize ShownRegionSize(const GeoRect& region, bool liveScreen, bool trackerMode, int screenWidth,
                           int screenHeight) {
    GeoRect r = NormalizeRect(region);
    // The dynamic tracker's margin, the static rubber band's outline.
    int inset = 0;
    if (liveScreen && trackerMode)
        inset = kTrackerMargin;
    else if (!liveScreen && !trackerMode)
        inset = 1;
    r = {r.left + inset, r.top + inset, r.right - inset, r.bottom - inset};
    if (r.IsEmpty())
        return {};
    r = ClipRect(r, {0, 0, screenWidth, screenHeight});
    return {r.Width(), r.Height()};
}

std::string RegionSizeText(RegionSize size) {
    char text[64];
    std::snprintf(text, sizeof(text), "Region Size: %dw, %dh", size.width, size.height);
    return text;
}
