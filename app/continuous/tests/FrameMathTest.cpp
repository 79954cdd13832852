// Frame times, the animation schedule and picture fitting.
#include "app/continuous/FrameFit.h"
#include "app/continuous/FrameTiming.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

using namespace frame_timing;
using namespace frame_fit;

TEST(FrameTiming, TenthsBecomeMillisecondsAndHundredths) {
    struct Case {
        float tenths;
        int ms;
        int cs;
    };
    // 0.7, 0.1, 0.3 and 1.1 are a hair below their value as floats.
    const Case cases[] = {
        {5.0f, 500, 50}, {0.25f, 25, 2}, {0.7f, 70, 7}, {0.1f, 10, 1},
        {0.3f, 30, 3},   {1.1f, 110, 11}, {0.0f, 0, 0}, {-3.0f, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TenthsToMilliseconds(c.tenths), c.ms) << c.tenths;
        EXPECT_EQ(TenthsToCentiseconds(c.tenths), c.cs) << c.tenths;
    }
}

// Runs the schedule from the start; returns the times (ms after the start) at
// which each frame index is shown, and when the animation ended (-1: never).
struct Playback {
    std::vector<std::pair<int, int>> shown;  // (time, index)
    int endedAt = -1;
};
static Playback Play(const std::vector<float>& times, bool loop, int maxTicks) {
    Playback run;
    int now = kFirstFrameDelayMs, index = 0;
    for (int tick = 0; tick < maxTicks; ++tick) {
        const AnimationStep step = NextAnimationStep(index, static_cast<int>(times.size()),
                                                     index < static_cast<int>(times.size()) ? times[index] : 0.0f,
                                                     loop);
        if (!step.show)
            break;
        run.shown.emplace_back(now, step.shownIndex);
        if (step.finished) {
            run.endedAt = now;
            break;
        }
        index = step.nextIndex;
        now += step.delayMs;
    }
    return run;
}

TEST(FrameTiming, AnimationShowsEachFrameForItsOwnTime) {
    const Playback once = Play({5, 10, 5}, false, 10);
    const std::vector<std::pair<int, int>> expectedOnce = {{100, 0}, {600, 1}, {1600, 2}};
    EXPECT_EQ(once.shown, expectedOnce);
    EXPECT_EQ(once.endedAt, 1600);

    const Playback looping = Play({5, 10, 5}, true, 5);
    const std::vector<std::pair<int, int>> expectedLoop = {{100, 0}, {600, 1}, {1600, 2}, {2100, 0}, {2600, 1}};
    EXPECT_EQ(looping.shown, expectedLoop);
    EXPECT_EQ(looping.endedAt, -1);

    // An empty list, or an index left beyond a shrunk list, shows nothing.
    EXPECT_FALSE(NextAnimationStep(0, 0, 5, true).show);
    EXPECT_FALSE(NextAnimationStep(3, 2, 5, true).show);
    EXPECT_FALSE(NextAnimationStep(-1, 2, 5, true).show);
}

TEST(FrameFit, PreviewCopiesSmallPicturesAndScalesLargeOnes) {
    struct Case {
        int areaW, areaH, w, h;
        bool playing;
        int refW, refH;
        Placement expected;
    };
    const Case cases[] = {
        {290, 190, 100, 50, false, 0, 0, {95, 70, 100, 50, false}},
        {290, 190, 580, 190, false, 0, 0, {0, 48, 288, 93, true}},
        // While playing, smaller frames start where the first frame did.
        {290, 190, 50, 20, true, 100, 50, {95, 70, 50, 20, false}},
        // Nothing to fit: no division, nothing drawn.
        {290, 190, 0, 50, false, 0, 0, {0, 0, 0, 0, false}},
        {0, 190, 100, 50, false, 0, 0, {0, 0, 0, 0, false}},
    };
    for (const Case& c : cases) {
        const Placement p = FitPreview(c.areaW, c.areaH, c.w, c.h, c.playing, c.refW, c.refH);
        EXPECT_EQ(std::make_tuple(p.x, p.y, p.cx, p.cy, p.stretched),
                  std::make_tuple(c.expected.x, c.expected.y, c.expected.cx, c.expected.cy, c.expected.stretched))
            << c.w << "x" << c.h;
    }
}

TEST(FrameFit, CardCellKeepsAspect) {
    // The 122 x 128 cell of a card whose item starts at y = 150.
    const Placement small = FitCard(11, 161, 122, 128, 100, 50);
    EXPECT_EQ(std::make_tuple(small.x, small.y, small.cx, small.cy, small.stretched),
              std::make_tuple(11 + 11 + 2, 161 + 39 + 2, 100, 50, false));
    const Placement wide = FitCard(11, 161, 122, 128, 2000, 100);  // 122 x 6.1, less the 2
    EXPECT_EQ(std::make_tuple(wide.x, wide.cx, wide.cy, wide.stretched), std::make_tuple(12, 120, 4, true));
    EXPECT_LE(wide.y + wide.cy, 161 + 128);
    EXPECT_EQ(FitCard(11, 161, 122, 128, 0, 0).cx, 0);
    // Text lines: 15 px tall, 20 apart for the 96-dpi font; a 144-dpi font's (19 px) whole, inside the card.
    for (const auto& [font, top, bottom] : {std::tuple{12, 236, 251}, {19, 248, 267}})
        EXPECT_EQ(std::make_pair(CardTextLine(150, font, 3).top, CardTextLine(150, font, 3).bottom),
                  std::make_pair(top, bottom)) << font;
}

TEST(FrameFit, OverlayLayoutCentresTheSmallerPicture) {
    // Base 400 x 200 in a 200 x 200 area: scale 0.5; the 100 x 50 overlay becomes 50 x 25.
    const OverlayLayout l = LayOutOverlay(200, 200, 400, 200, 100, 50);
    ASSERT_TRUE(l.valid);
    EXPECT_EQ(std::make_tuple(l.offsetX, l.offsetY, l.baseWidth, l.baseHeight), std::make_tuple(0, 50, 200, 100));
    EXPECT_EQ(std::make_tuple(l.overlayWidth, l.overlayHeight, l.marginX, l.marginY), std::make_tuple(50, 25, 75, 37));
    // The overlay larger than the base: negative margins.
    EXPECT_LT(LayOutOverlay(100, 100, 50, 50, 200, 100).marginX, 0);
    EXPECT_FALSE(LayOutOverlay(100, 100, 0, 50, 20, 20).valid);
}

TEST(FrameFit, ProportionalSideFollowsTheReferenceFrame) {
    EXPECT_EQ(ProportionalSide(50, 200.0f, 100.0f), 25);   // width 50 of 200 x 100
    EXPECT_EQ(ProportionalSide(33, 100.0f, 200.0f), 66);   // height 33 of 200 x 100
    EXPECT_EQ(ProportionalSide(50, 0.0f, 100.0f), -1);     // no reference frame yet
    EXPECT_EQ(ProportionalSide(2000000000, 1.0f, 1.0f), 1000000000);
}
