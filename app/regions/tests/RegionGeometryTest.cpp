#include "app/regions/RegionGeometry.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Move {
    bool moves;
    int x, y;
};

void ExpectMove(bool moved, GeoPoint to, const Move& want, const char* what) {
    EXPECT_EQ(moved, want.moves) << what;
    EXPECT_TRUE(!want.moves || (to.x == want.x && to.y == want.y)) << what << ": " << to.x << "," << to.y;
}

TEST(RegionGeometry, InfoWindowHopsToTheCornerAwayFromThePointer) {
    // Screen 1000 x 800, window 200 x 300 (half height 150).
    const struct {
        GeoRect window;
        GeoPoint pointer;
        Move want;
        const char* what;
    } cases[] = {
        {{0, 0, 200, 300}, {50, 700}, {true, 800, 0}, "top-left, pointer below it: to top-right"},
        {{0, 0, 200, 300}, {210, 149}, {true, 0, 500}, "top-left, pointer right and high: to bottom-left"},
        {{0, 0, 200, 300}, {210, 150}, {false, 0, 0}, "top-left, pointer right and low: stays"},
        {{-5, -3, 195, 297}, {100, 100}, {true, 805, 0}, "dragged past the edge counts as the corner"},
        {{0, 500, 200, 800}, {100, 100}, {true, 800, 500}, "bottom-left, pointer left: to bottom-right"},
        {{0, 500, 200, 800}, {300, 651}, {true, 0, 0}, "bottom-left, pointer right and low: to top-left"},
        {{800, 0, 1000, 300}, {791, 500}, {true, 0, 0}, "top-right, pointer near: to top-left"},
        {{800, 0, 1000, 300}, {790, 149}, {true, 800, 500}, "top-right, pointer left and high: down"},
        {{800, 500, 1000, 800}, {791, 0}, {true, 0, 500}, "bottom-right, pointer near: to bottom-left"},
        {{800, 500, 1000, 800}, {790, 651}, {true, 800, 0}, "bottom-right, pointer left and low: up"},
        {{800, 500, 1000, 800}, {790, 650}, {false, 0, 0}, "bottom-right: stays"},
    };
    for (const auto& c : cases) {
        GeoPoint to;
        ExpectMove(InfoWindowHop(c.window, c.pointer, 1000, 800, &to), to, c.want, c.what);
    }
}

TEST(RegionGeometry, MagnifierStaysOffTheRegion) {
    // A 100 x 80 magnifier, pointer at (500, 400).
    const struct {
        GeoRect region;
        Move want;
        const char* what;
        GeoRect monitor = {0, 0, 1280, 1024};
    } cases[] = {
        {{100, 100, 505, 405}, {true, 520, 420}, "dragging down-right: below and right of the pointer"},
        {{495, 335, 800, 800}, {true, 380, 410}, "region starts up-right: to the left"},
        {{100, 395, 495, 480}, {true, 520, 300}, "region ends down-left: above"},
        {{505, 405, 900, 900}, {true, 380, 300}, "region starts down-right: up-left"},
        {{505, 405, 5, 900}, {false, 0, 0}, "region starts down-right, inverted: stays"},
        {{0, 0, 0, 0}, {true, 520, 420}, "no region yet"},
        {{0, 0, 0, 0}, {true, 380, 300}, "no room right of and below the pointer: the other side", {0, 0, 600, 480}},
    };
    for (const auto& c : cases) {
        GeoPoint to;
        ExpectMove(MagnifierPlacement({500, 400}, 100, 80, c.region, c.monitor, &to), to, c.want, c.what);
    }
}

// Factors 0, 1 and 4 and the empty views are checked on the screen's pixels in ScreenZoomTest.
TEST(RegionGeometry, ZoomOfAViewNotDivisibleByTheFactorRoundsDown) {
    const ZoomSource s = ZoomSourceFor({100, 100}, 102, 61, 4);
    EXPECT_TRUE(s.x == 88 && s.y == 93 && s.width == 25 && s.height == 15)
        << s.x << "," << s.y << " " << s.width << " x " << s.height;
    EXPECT_TRUE(ZoomSourceFor({100, 100}, -5, 60, 4).IsEmpty());
}

TEST(RegionGeometry, FramePiecesCoverTheBorderRingExactlyOnce) {
    const int W = 150, H = 220, c = 31;
    std::vector<int> covered(W * H, 0);
    for (const FramePlacement& p : FrameLayout(W, H, c))
        for (int y = p.y; y < p.y + p.height; ++y)
            for (int x = p.x; x < p.x + p.width; ++x)
                ++covered.at(y * W + x);
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            const bool inside = x >= 8 && x < W - 8 && y >= c && y < H - 8;
            ASSERT_EQ(covered[y * W + x], inside ? 0 : 1) << x << "," << y;
        }
    }
}

TEST(RegionGeometry, Texts) {
    EXPECT_EQ(ColorText(1, 2, 171), "RGB: 1, 2, 171\nHtml: #0102AB\nHexa: 0x000102AB\n");
    EXPECT_EQ(PointerText({0, 17}, 0, 0, 0),
              "Screen Pointer: 0 , 17 \r\n\nRGB: 0, 0, 0\nHtml: #000000\nHexa: 0x00000000\n");
    EXPECT_EQ(RegionSizeText({320, 240}), "Region Size: 320w, 240h");
}

TEST(RegionGeometry, ShownRegionSizeIsWhatAReleaseSaves) {
    // Screen 1280 x 1024.
    const struct {
        GeoRect region;
        bool live, tracker;
        int w, h;
    } cases[] = {
        {{10, 20, 114, 74}, true, true, 96, 46},      // the tracker's margin is not counted
        {{114, 74, 10, 20}, false, false, 102, 52},   // dragged up-left, saved without the outline
        {{100, 100, 300, 250}, false, false, 198, 148},
        {{100, 100, 101, 250}, false, false, 0, 0},   // a line saves nothing
        {{10, 20, 14, 22}, true, true, 0, 0},         // never negative
        {{1200, 50, 1300, 150}, false, true, 80, 100},  // a frozen tracker past the right edge
        {{-20, 996, 88, 1104}, true, true, 84, 24},     // a live one past two edges
        {{200, 300, 250, 340}, true, false, 50, 40},    // the live drag's region is its inside
    };
    for (const auto& c : cases) {
        const RegionSize s = ShownRegionSize(c.region, c.live, c.tracker, 1280, 1024);
        EXPECT_EQ(s.width, c.w) << c.region.left << "," << c.region.top;
        EXPECT_EQ(s.height, c.h) << c.region.left << "," << c.region.top;
    }
}

}  // namespace
