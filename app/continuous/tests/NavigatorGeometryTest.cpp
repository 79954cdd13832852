// The navigator's window-free rules: caption layout, the frame around a
// captured window, the speed capture's timer table and the series shot plan.
#include "app/continuous/NavigatorGeometry.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <tuple>
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
    for (int caption : {24, 41}) {
        const NavRect around = NavigatorAround(target, caption);
        const NavRect inside = NavigatorInside(around, caption);
        EXPECT_EQ(std::make_tuple(around.left, around.top, around.right, around.bottom),
                  std::make_tuple(92, 200 - caption, 348, 388));
        EXPECT_EQ(std::make_tuple(inside.left, inside.top, inside.right, inside.bottom), std::make_tuple(100, 200, 340, 380));
    }
}

TEST(NavigatorGeometry, ThePanelOpensBesideTheFrameNeverOverItsInside) {
    const NavRect screen = {0, 0, 1280, 1024};
    struct Case {
        NavRect frame;
        NavRect expected;
    } cases[] = {
        {{30, 30, 300, 170}, {300, 30, 630, 530}},        // right
        {{30, 700, 300, 900}, {300, 524, 630, 1024}},     // right, kept on the screen
        {{900, 30, 1200, 170}, {570, 30, 900, 530}},      // left
        {{100, 30, 1200, 400}, {100, 400, 430, 900}},     // below
        {{100, 600, 1200, 1000}, {100, 100, 430, 600}},   // above
        {{10, 300, 1270, 700}, {950, 300, 1280, 800}},    // no room: pushed back onto the screen
    };
    for (const Case& c : cases) {
        const NavRect r = NavigatorPanelBeside(c.frame, 330, 500, screen);
        EXPECT_EQ(std::make_tuple(r.left, r.top, r.right, r.bottom),
                  std::make_tuple(c.expected.left, c.expected.top, c.expected.right, c.expected.bottom))
            << c.frame.left << "," << c.frame.top;
    }
}

TEST(NavigatorGeometry, TipsStayOffTheInsideOfTheFrame) {
    const NavRect screen = {0, 0, 1280, 1024};
    const int caption = 30;
    struct Case {
        NavRect frame, tip, expected;
    } cases[] = {
        {{30, 30, 300, 170}, {40, 65, 80, 85}, {40, 10, 80, 30}},          // above the frame
        {{30, 5, 300, 170}, {40, 40, 80, 60}, {40, 170, 80, 190}},         // no room above: below it
        {{30, 30, 300, 170}, {40, 10, 80, 30}, {40, 10, 80, 30}},          // clear of the inside: left alone
        {{1000, 30, 1270, 170}, {1250, 65, 1290, 85}, {1240, 10, 1280, 30}},  // kept on the screen
    };
    for (const Case& c : cases) {
        const NavRect r = NavigatorTipPlace(c.tip, c.frame, caption, screen);
        EXPECT_EQ(std::make_tuple(r.left, r.top, r.right, r.bottom),
                  std::make_tuple(c.expected.left, c.expected.top, c.expected.right, c.expected.bottom))
            << c.tip.left << "," << c.tip.top;
    }
}

TEST(NavigatorGeometry, SpeedCaptureRunsItsTimersInOrderAndShootsAtOneSecond) {
    // (timer, status shown, ms since the start, shot taken)
    std::vector<std::tuple<int, int, int, bool>> seen;
    int timer = SPEED_POINT, counter = 0, elapsed = kSpeedFirstDelayMs;
    for (int guard = 0; guard < 20 && timer >= 0; ++guard) {
        const SpeedStep step = SpeedCaptureStep(timer, counter);
        seen.emplace_back(timer, step.status, elapsed, step.shoot);
        EXPECT_EQ(step.stopBlinking, step.shoot);
        counter = step.counter;
        if (step.returnHome) {
            EXPECT_EQ(step.nextTimer, -1);
            break;
        }
        timer = step.nextTimer;
        elapsed += step.nextDelayMs;
    }
    const std::vector<std::tuple<int, int, int, bool>> expected = {
        {SPEED_POINT, IDS_NAV_SPEED_POINT, 2000, false},   {SPEED_COUNT, IDS_NAV_SPEED_COUNT, 6000, false},
        {SPEED_TICK, IDS_NAV_THREE_SECONDS, 8000, false},  {SPEED_TICK, IDS_NAV_TWO_SECONDS, 9000, false},
        {SPEED_TICK, IDS_NAV_ONE_SECOND, 10000, true},     {SPEED_DONE, IDS_NAV_SPEED_DONE, 11000, false},
        {SPEED_RETURN, IDS_NAV_READY, 12000, false},
    };
    EXPECT_EQ(seen, expected);
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
        EXPECT_EQ(std::make_tuple(s.counter, s.capture, s.keepBitmap, s.stopFiles, s.last),
                  std::make_tuple(c.counter, c.capture, c.keep, c.stopFiles, c.last))
            << c.taken << " " << c.mode << " " << c.running;
    }
}

}  // namespace
