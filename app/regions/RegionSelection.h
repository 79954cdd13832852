// Window-free rules of the region captures: which rectangle a drag or the
// tracker selects, where the close box sits beside the tracker, and when a
// selection is too small to capture.
#pragma once

#include "app/regions/RegionGeometry.h"

// The tracker keeps this margin around its rectangle in the dynamic capture's
// region, so that its outline and handles stay out of the copy.
constexpr int kTrackerMargin = 4;
constexpr int kCloseBoxSize = 24;
constexpr int kTrackerOpeningSize = 100;

// The inside of the frame drawn through start and current: one pixel in from
// both corners, whatever the direction of the drag.
GeoRect DragFrameInside(GeoPoint start, GeoPoint current);

// Nothing to capture: no width or no height (a line is as empty as a point).
bool IsEmptySelection(const GeoRect& r);

GeoRect InflateBy(const GeoRect& r, int dx, int dy);

// Where the tracker opens for a pointer at `pointer`: 100 x 100 from it, moved
// back just enough for the tracker with its margin and its close box to lie on
// a screen of screenWidth x screenHeight.
GeoRect TrackerOpening(GeoPoint pointer, int screenWidth, int screenHeight);

// The close box: 24 x 24, 10 pixels right of the region, level with its top.
GeoRect CloseBoxFor(const GeoRect& region);

// A release on the close box: inside it, or up to 2 pixels above or below.
bool HitsCloseBox(const GeoRect& closeBox, GeoPoint p);
