// How much of a web page one capture takes.
#include "workarea/web/PageFit.h"

#include <gtest/gtest.h>

namespace {

TEST(PageFit, KeepsPagesThatFitAndCutsTheRestToTheTopLeft) {
    struct Case {
        const char* what;
        long long width, height;
        int fitWidth, fitHeight;
        bool capped;
    };
    const Case cases[] = {
        {"ordinary page", 1024, 3000, 1024, 3000, false},
        {"one pixel", 1, 1, 1, 1, false},
        {"no area", 0, 0, 0, 0, false},
        {"no height", 800, 0, 0, 0, false},
        {"no width", 0, 600, 0, 0, false},
        {"negative", -5, 100, 0, 0, false},
        {"largest square side", kMaxPageSide, 1024, kMaxPageSide, 1024, false},
        {"too wide", 20000, 40, kMaxPageSide, 40, true},
        {"too long", 800, 100000, 800, kMaxPageSide, true},
        {"too many pixels", 4000, 8000, 4000, 4194, true},
        {"both sides too large", 1LL << 40, 1LL << 40, kMaxPageSide, 1024, true},
        {"exactly the pixel budget", 1024, kMaxPageSide, 1024, kMaxPageSide, false},
    };
    for (const Case& c : cases) {
        const PageFit fit = FitPageForCapture(c.width, c.height);
        EXPECT_EQ(c.fitWidth, fit.width) << c.what;
        EXPECT_EQ(c.fitHeight, fit.height) << c.what;
        EXPECT_EQ(c.capped, fit.capped) << c.what;
        EXPECT_LE(static_cast<long long>(fit.width) * fit.height, kMaxPagePixels) << c.what;
    }
}

}  // namespace
