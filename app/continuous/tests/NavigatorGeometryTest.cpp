// The navigator's window-free rules: caption layout, the frame around a
// captured window, the speed capture's timer table and the series shot plan.
#include "app/continuous/NavigatorGeometry.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(NavigatorGeometry, ButtonsHitWithAVerticalAllowanceAndTheCloseButtonFollowsTheWidth) {
    const auto b = NavigatorButtons(300, 30);
    struct Case {
        int x, y, expected;
    } cases[] = {
        {8, 5, NAV_CAPTURE},  {27, 24, NAV_CAPTURE}, {28, 10, -1},        {33, 3, NAV_CONTINUE}, {33, 2, -1},
        {77, 26, NAV_SPEED},  {77, 27, -1},          {272, 15, NAV_CLOSE}, {291, 15, NAV_CLOSE}, {292, 15, -1},
        {150, 15, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NavigatorButtonAt(b, c.x, c.y), c.expected) << c.x << "," << c.y;
}

TEST(NavigatorGeometry, TheFrameAroundATargetHasThatTargetInside) {
    const NavRect target = {100, 200, 340, 380};
    for (int caption : {24, 30, 41}) {
        const NavRect around = NavigatorAround(target, caption);
        EXPECT_EQ(around.left, 92);
        EXPECT_EQ(around.top, 200 - caption);
        EXPECT_EQ(around.Width(), target.Width() + 16);
        EXPECT_EQ(around.Height(), target.Height() + caption + 8);
        const NavRect inside = NavigatorInside(around, caption);
        EXPECT_EQ(inside.left, target.left);
        EXPECT_EQ(inside.top, target.top);
        EXPECT_EQ(inside.right, target.right);
        EXPECT_EQ(inside.bottom, target.bottom);
    }
}

TEST(NavigatorGeometry, SpeedCaptureRunsItsTimersInOrderAndShootsAtOneSecond) {
    struct Seen {
        int timer, status, delay;
        bool shoot;
    };
    std::vector<Seen> seen;
    int timer = SPEED_POINT, counter = 0, elapsed = kSpeedFirstDelayMs;
    for (int guard = 0; guard < 20 && timer >= 0; ++guard) {
        const SpeedStep step = SpeedCaptureStep(timer, counter);
        seen.push_back({timer, step.status, elapsed, step.shoot});
        EXPECT_EQ(step.stopBlinking, step.shoot);
        counter = step.counter;
        if (step.returnHome) {
            EXPECT_EQ(step.nextTimer, -1);
            break;
        }
        timer = step.nextTimer;
        elapsed += step.nextDelayMs;
    }
    const std::vector<Seen> expected = {
        {SPEED_POINT, IDS_NAV_SPEED_POINT, 2000, false},   {SPEED_COUNT, IDS_NAV_SPEED_COUNT, 6000, false},
        {SPEED_TICK, IDS_NAV_THREE_SECONDS, 8000, false},  {SPEED_TICK, IDS_NAV_TWO_SECONDS, 9000, false},
        {SPEED_TICK, IDS_NAV_ONE_SECOND, 10000, true},     {SPEED_DONE, IDS_NAV_SPEED_DONE, 11000, false},
        {SPEED_RETURN, IDS_NAV_READY, 12000, false},
    };
    ASSERT_EQ(seen.size(), expected.size());
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].timer, expected[i].timer) << i;
        EXPECT_EQ(seen[i].status, expected[i].status) << i;
        EXPECT_EQ(seen[i].delay, expected[i].delay) << i;
        EXPECT_EQ(seen[i].shoot, expected[i].shoot) << i;
    }
    EXPECT_EQ(counter, 0);
}

TEST(NavigatorGeometry, SeriesShotsCountCaptureAndStop) {
    struct Case {
        int taken, total, mode;
        bool running;
        int counter;
        bool capture, keep, stopFiles, last;
    } cases[] = {
        {0, 3, SERIES_CAPTURES, true, 1, true, false, false, false},
        {2, 3, SERIES_CAPTURES, true, 3, true, false, false, true},
        {1, 3, SERIES_CAPTURES, false, 1, false, false, false, true},
        {0, 3, SERIES_FILES, true, 1, true, false, false, false},
        {2, 3, SERIES_FILES, true, 3, true, false, false, true},
        {1, 3, SERIES_FILES, false, 1, false, false, true, true},
        {0, 1, SERIES_FILES, false, 0, false, false, true, true},
        {0, 3, SERIES_BITMAPS, true, 1, false, true, false, false},
        {2, 3, SERIES_BITMAPS, true, 3, false, true, false, true},
        {1, 3, SERIES_BITMAPS, false, 2, false, true, false, true},
    };
    for (const Case& c : cases) {
        const SeriesShot s = PlanSeriesShot(c.taken, c.total, c.mode, c.running);
        EXPECT_EQ(s.counter, c.counter) << c.taken << " " << c.mode << " " << c.running;
        EXPECT_EQ(s.capture, c.capture) << c.taken << " " << c.mode << " " << c.running;
        EXPECT_EQ(s.keepBitmap, c.keep) << c.taken << " " << c.mode << " " << c.running;
        EXPECT_EQ(s.stopFiles, c.stopFiles) << c.taken << " " << c.mode << " " << c.running;
        EXPECT_EQ(s.last, c.last) << c.taken << " " << c.mode << " " << c.running;
    }
}

}  // namespace
