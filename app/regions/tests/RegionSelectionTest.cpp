// What a drag, the tracker and the close box select, without any window.
#include "app/regions/RegionSelection.h"

#include <gtest/gtest.h>

namespace {

bool Same(const GeoRect& a, const GeoRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(RegionSelection, DragInsideIsTheSameInEveryDirection) {
    const GeoRect inside = {101, 201, 299, 349};
    const struct {
        GeoPoint start, end;
    } drags[] = {
        {{100, 200}, {300, 350}},  // down and right
        {{300, 350}, {100, 200}},  // up and left
        {{300, 200}, {100, 350}},  // down and left
        {{100, 350}, {300, 200}},  // up and right
    };
    for (const auto& d : drags) {
        const GeoRect r = DragFrameInside(d.start, d.end);
        EXPECT_TRUE(Same(r, inside)) << d.start.x << "," << d.start.y << " -> " << d.end.x << "," << d.end.y;
        EXPECT_FALSE(IsEmptySelection(r));
    }
}

TEST(RegionSelection, ClicksAndLinesSelectNothing) {
    const struct {
        GeoPoint start, end;
        const char* what;
    } drags[] = {{{100, 200}, {100, 200}, "click"},        {{100, 200}, {101, 300}, "one pixel wide"},
                 {{100, 200}, {102, 300}, "frame, no inside"}, {{100, 200}, {300, 202}, "two pixels high"},
                 {{300, 300}, {299, 100}, "one pixel wide, upwards"}};
    for (const auto& d : drags)
        EXPECT_TRUE(IsEmptySelection(DragFrameInside(d.start, d.end))) << d.what;
    // The smallest drag that selects anything: one pixel inside the frame.
    EXPECT_FALSE(IsEmptySelection(DragFrameInside({100, 200}, {103, 203})));
}

TEST(RegionSelection, CloseBoxSitsBesideTheRegionAndTakesNearMisses) {
    const GeoRect box = CloseBoxFor({396, 296, 504, 404});
    EXPECT_TRUE(Same(box, GeoRect{514, 296, 538, 320}));
    const struct {
        GeoPoint p;
        bool hit;
    } cases[] = {{{514, 296}, true},  {{537, 319}, true},  {{526, 294}, true},  {{526, 321}, true},
                 {{526, 293}, false}, {{526, 322}, false}, {{513, 300}, false}, {{538, 300}, false}};
    for (const auto& c : cases)
        EXPECT_EQ(HitsCloseBox(box, c.p), c.hit) << c.p.x << "," << c.p.y;
}

TEST(RegionSelection, TrackerOpensOnTheScreenWithItsMarginAndCloseBox) {
    // Screen 1280 x 1024: the close box ends 38 pixels right of the tracker.
    const struct {
        GeoPoint pointer;
        GeoRect want;
    } cases[] = {
        {{500, 400}, {500, 400, 600, 500}},       // at the pointer
        {{1230, 20}, {1142, 20, 1242, 120}},      // moved left for its close box
        {{1279, 1023}, {1142, 920, 1242, 1020}},  // the bottom-right corner
        {{0, 2}, {4, 4, 104, 104}},               // its margin stays on the screen
    };
    for (const auto& c : cases) {
        const GeoRect r = TrackerOpening(c.pointer, 1280, 1024);
        EXPECT_TRUE(Same(r, c.want)) << c.pointer.x << "," << c.pointer.y << ": " << r.left << "," << r.top;
        EXPECT_TRUE(CloseBoxFor(InflateBy(r, kTrackerMargin, kTrackerMargin)).right <= 1280);
    }
}

}  // namespace
