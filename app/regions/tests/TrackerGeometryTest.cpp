// Tracker geometry: which handles show, what a point hits (also on inverted
// rectangles), the cursor code, and how a drag reshapes the rectangle.
#include "TrackerGeometry.h"

#include <gtest/gtest.h>

namespace {

using namespace trackgeo;

constexpr int kHandle = 4;
constexpr unsigned kRegionStyle = kSolidLine | kResizeOutside;

TEST(TrackerGeometry, HandleMaskFollowsSizeAndOverride) {
    struct Case {
        Rect rect;
        unsigned override;
        unsigned mask;
    };
    // Three handles of 4 plus a gap of more than 4: 17 pixels and up.
    const Case cases[] = {
        {{0, 0, 16, 16}, 0, 0x0F},
        {{0, 0, 17, 16}, 0, 0x5F},
        {{0, 0, 16, 17}, 0, 0xAF},
        {{0, 0, 17, 17}, 0, 0xFF},
        {{17, 17, 0, 0}, 0, 0xFF},       // inverted: the absolute size counts
        {{0, 0, 200, 200}, 0x05, 0x05},  // the override replaces the rule
        {{0, 0, 200, 200}, 0x10F, 0},    // bit 0x100: no handles at all
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rect.left << "," << c.rect.top << "," << c.rect.right << ","
                                        << c.rect.bottom << " override " << c.override);
        EXPECT_EQ(OverriddenHandleMask(c.override, c.rect, kHandle), c.mask);
    }
}

TEST(TrackerGeometry, HitCodesAndCursorIndex) {
    struct Case {
        const char* what;
        Rect rect;
        unsigned style;
        Point p;
        int hit;     // raw code, named after the rectangle's own edges
        int cursor;  // as seen on the screen, 9 for the hatched band
    };
    const Rect r{100, 100, 200, 160};
    const Rect invX{200, 100, 100, 160};
    const Rect invXY{200, 160, 100, 100};
    const Rect narrow{100, 100, 116, 140};
    const unsigned hatched = kHatchedBorder | kResizeOutside;
    const Case cases[] = {
        {"top-left handle", r, kRegionStyle, {98, 98}, kHitTopLeft, kHitTopLeft},
        {"top-right handle", r, kRegionStyle, {201, 98}, kHitTopRight, kHitTopRight},
        {"bottom-right handle", r, kRegionStyle, {203, 163}, kHitBottomRight, kHitBottomRight},
        {"bottom-left handle", r, kRegionStyle, {96, 161}, kHitBottomLeft, kHitBottomLeft},
        {"top handle", r, kRegionStyle, {149, 97}, kHitTop, kHitTop},
        {"right handle", r, kRegionStyle, {202, 129}, kHitRight, kHitRight},
        {"bottom handle", r, kRegionStyle, {150, 162}, kHitBottom, kHitBottom},
        {"left handle", r, kRegionStyle, {97, 130}, kHitLeft, kHitLeft},
        {"inside", r, kRegionStyle, {150, 130}, kHitMiddle, kHitMiddle},
        {"on the outline", r, kRegionStyle, {99, 110}, kHitMiddle, kHitMiddle},
        {"between handles", r, kRegionStyle, {97, 110}, kHitNothing, kHitNothing},
        {"inverted x, handle on the right", invX, kRegionStyle, {201, 98}, kHitTopLeft, kHitTopRight},
        {"inverted x, handle on the left", invX, kRegionStyle, {97, 130}, kHitRight, kHitLeft},
        {"inverted x and y", invXY, kRegionStyle, {201, 161}, kHitTopLeft, kHitBottomRight},
        {"inverted y, top edge on screen", Rect{100, 160, 200, 100}, kRegionStyle, {149, 97}, kHitBottom, kHitTop},
        {"hatched band between handles", r, hatched, {97, 110}, kHitMiddle, 9},
        {"narrow: no top handle", narrow, kRegionStyle, {108, 97}, kHitNothing, kHitNothing},
        {"narrow: left handle kept", narrow, kRegionStyle, {97, 120}, kHitLeft, kHitLeft},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const unsigned mask = DefaultHandleMask(c.rect, kHandle);
        EXPECT_EQ(HitTestHandles(c.rect, c.p, c.style, mask, kHandle), c.hit);
        EXPECT_EQ(CursorIndex(c.rect, c.p, c.style, mask, kHandle), c.cursor);
    }
}

TEST(TrackerGeometry, HandlesStayWithinTheMargin) {
    // Outside handles of size 4 lie within the rectangle inflated by 4.
    const Rect rects[] = {{100, 100, 200, 160}, {200, 160, 100, 100}, {10, 10, 18, 18}};
    for (const Rect& r : rects) {
        const Rect margin = Inflated(Normalized(r), 4);
        EXPECT_EQ(TrueRect(r, kRegionStyle, kHandle), margin);
        for (int h = kHitTopLeft; h <= kHitLeft; ++h) {
            const Rect box = HandleRect(r, h, kRegionStyle, kHandle);
            EXPECT_TRUE(box.left >= margin.left && box.right <= margin.right && box.top >= margin.top &&
                        box.bottom <= margin.bottom)
                << "handle " << h;
            EXPECT_EQ(box.right - box.left, kHandle);
        }
    }
    // Inside handles shrink on a small rectangle.
    EXPECT_EQ(EffectiveHandleSize(Rect{0, 0, 4, 30}, kResizeInside, kHandle), 2);
    EXPECT_EQ(HandleRect(Rect{100, 100, 200, 160}, kHitBottomRight, kResizeInside, kHandle),
              (Rect{196, 156, 200, 160}));
}

TEST(TrackerGeometry, DragMovesResizesAndKeepsTheRules) {
    struct Case {
        const char* what;
        Rect start;
        int handle;
        Point anchor;
        Point now;
        int minSize;
        bool invert;
        Rect result;
    };
    const Rect r{100, 100, 200, 160};
    const Case cases[] = {
        {"move", r, kHitMiddle, {150, 130}, {170, 110}, 8, false, {120, 80, 220, 140}},
        {"grow bottom-right", r, kHitBottomRight, {200, 160}, {230, 180}, 8, false, {100, 100, 230, 180}},
        {"right edge ignores y", r, kHitRight, {200, 130}, {260, 500}, 8, false, {100, 100, 260, 160}},
        {"top-left past the corner, inverted", r, kHitTopLeft, {100, 100}, {250, 200}, 8, true, {250, 200, 200, 160}},
        {"top-left past the corner, held", r, kHitTopLeft, {100, 100}, {250, 200}, 8, false, {192, 152, 200, 160}},
        {"minimum size with inversion", r, kHitTopLeft, {100, 100}, {195, 157}, 8, true, {192, 152, 200, 160}},
        {"minimum size across, inverted side", r, kHitTopLeft, {100, 100}, {205, 163}, 8, true, {208, 168, 200, 160}},
        {"rubber band held at its anchor", {50, 50, 50, 50}, kHitBottomRight, {50, 50}, {40, 60}, 0, false,
         {50, 50, 50, 60}},
        {"rubber band inverted", {50, 50, 50, 50}, kHitBottomRight, {50, 50}, {40, 60}, 0, true, {50, 50, 40, 60}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Rect dragged = DraggedRect(c.start, c.handle, c.anchor, c.now);
        EXPECT_EQ(ConstrainRect(dragged, c.handle, c.minSize, c.minSize, c.invert), c.result);
    }
}

}  // namespace
