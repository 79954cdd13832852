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

}  // namespace
