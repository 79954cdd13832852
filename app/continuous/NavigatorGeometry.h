// Window-free rules of the navigator capture frame: where its caption buttons
// and status sit, how the frame wraps a captured rectangle, and the steps of
// the speed capture and of one series shot. Plain structs, so the rules are
// unit-tested natively.
#pragma once

#include "app/regions/RegionGeometry.h"

#include <array>

using NavRect = GeoRect;

enum NavButton { NAV_CLOSE, NAV_CAPTURE, NAV_CONTINUE, NAV_SPEED, NAV_BUTTON_COUNT };

constexpr int kNavBorder = 8;       // the frame's sides and bottom
constexpr int kNavButtonSize = 20;

// The caption buttons in window coordinates of a window `width` wide whose
// caption is `caption` high; the close button keeps to the right edge.
std::array<NavRect, NAV_BUTTON_COUNT> NavigatorButtons(int width, int caption);
// The button under (x, y) in window coordinates, each button's rectangle taken
// 2 pixels taller above and below; -1 when none.
int NavigatorButtonAt(const std::array<NavRect, NAV_BUTTON_COUNT>& buttons, int x, int y);
// Where the status text goes: between the speed button and 40 pixels short of
// the close button, across the button row.
NavRect NavigatorStatusRect(int width, int caption);
// The inside of a frame at `window` (screen coordinates): what a shot captures.
NavRect NavigatorInside(const NavRect& window, int caption);
// The frame that has `target` as its inside.
NavRect NavigatorAround(const NavRect& target, int caption);

// Where a panel `width` x `height` opens beside the frame `window` on the
// screen area `screen`, never over the frame's inside: right of it, else left,
// else below, else above, kept on the screen; right of it and pushed back onto
// the screen when no side has room.
NavRect NavigatorPanelBeside(const NavRect& window, int width, int height, const NavRect& screen);
// Where a tool tip asked to show at `tip` goes so that it never lies over the
// inside of the frame `window` (whose caption is `caption` high): where it is
// when clear of the inside, else just above the frame, or just below it when
// there is no room above.
NavRect NavigatorTipPlace(const NavRect& tip, const NavRect& window, int caption, const NavRect& screen);

// The speed capture's timers, in the order they run.
enum SpeedTimer { SPEED_POINT = 0, SPEED_COUNT = 1, SPEED_TICK = 2, SPEED_DONE = 3, SPEED_RETURN = 4, SPEED_BLINK = 5 };

// What one tick of a speed-capture timer does.
struct SpeedStep {
    int status = 0;           // string id shown from now on
    int counter = 0;          // the countdown after the tick
    int nextTimer = -1;       // armed next (the ticking timer is killed first); -1 none
    int nextDelayMs = 0;
    bool stopBlinking = false;  // kill the blink timer and take a highlight off
    bool shoot = false;         // wrap the frame around the window and capture it
    bool returnHome = false;    // back to where the frame was before the capture
};
// The step of `timer` (0 to 4) with the countdown at `counter`.
SpeedStep SpeedCaptureStep(int timer, int counter);
constexpr int kSpeedBlinkMs = 200;
constexpr int kSpeedFirstDelayMs = 2000;

// Series modes, as the continuous-capture panel numbers them.
enum SeriesMode { SERIES_CAPTURES = 0, SERIES_FILES = 1, SERIES_BITMAPS = 2 };

// What one shot of a series does, from the shots taken before it.
struct SeriesShot {
    int counter = 0;        // shots counted after this one
    bool capture = false;   // hand the shot to the capture engine
    bool keepBitmap = false;  // keep the shot as a bitmap frame
    bool stopFiles = false;   // a file series was stopped: end it after the shots taken
    bool last = false;        // the series ends now (timer 9 next), else the next shot at the interval
};
SeriesShot PlanSeriesShot(int taken, int total, int mode, bool running);
