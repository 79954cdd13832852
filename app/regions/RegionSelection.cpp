#include "app/regions/RegionSelection.h"

#include <algorithm>

GeoRect DragFrameInside(GeoPoint start, GeoPoint current) {
    return {std::min(start.x, current.x) + 1, std::min(start.y, current.y) + 1, std::max(start.x, current.x) - 1,
            std::max(start.y, current.y) - 1};
}

bool IsEmptySelection(const GeoRect& r) { return r.Width() <= 0 || r.Height() <= 0; }

GeoRect InflateBy(const GeoRect& r, int dx, int dy) {
    return {r.left - dx, r.top - dy, r.right + dx, r.bottom + dy};
}

GeoRect TrackerOpening(GeoPoint p, int screenWidth, int screenHeight) {
    // The close box sits 10 pixels right of the margin.
    const int right = screenWidth - kTrackerMargin - 10 - kCloseBoxSize;
    const int bottom = screenHeight - kTrackerMargin;
    const int left = std::max(std::min(p.x, right - kTrackerOpeningSize), kTrackerMargin);
    const int top = std::max(std::min(p.y, bottom - kTrackerOpeningSize), kTrackerMargin);
    return {left, top, left + kTrackerOpeningSize, top + kTrackerOpeningSize};
}

GeoRect CloseBoxFor(const GeoRect& region) {
    return {region.right + 10, region.top, region.right + 10 + kCloseBoxSize, region.top + kCloseBoxSize};
}

bool HitsCloseBox(const GeoRect& closeBox, GeoPoint p) { return InflateBy(closeBox, 0, 2).Contains(p); }
