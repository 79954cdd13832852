#include "app/continuous/NavigatorGeometry.h"

#include "resources/resource.h"

std::array<NavRect, NAV_BUTTON_COUNT> NavigatorButtons(int width, int caption) {
    const int top = caption / 2 - kNavButtonSize / 2;
    const int lefts[NAV_BUTTON_COUNT] = {width - 28, 8, 33, 58};
    std::array<NavRect, NAV_BUTTON_COUNT> buttons;
    for (int i = 0; i < NAV_BUTTON_COUNT; ++i)
        buttons[i] = {lefts[i], top, lefts[i] + kNavButtonSize, top + kNavButtonSize};
    return buttons;
}

int NavigatorButtonAt(const std::array<NavRect, NAV_BUTTON_COUNT>& buttons, int x, int y) {
    for (int i = 0; i < NAV_BUTTON_COUNT; ++i) {
        const NavRect& r = buttons[i];
        if (x >= r.left && x < r.right && y >= r.top - 2 && y < r.bottom + 2)
            return i;
    }
    return -1;
}

NavRect NavigatorStatusRect(int width, int caption) {
    const auto buttons = NavigatorButtons(width, caption);
    return {buttons[NAV_SPEED].right, buttons[NAV_SPEED].top, buttons[NAV_CLOSE].left - 40, buttons[NAV_SPEED].bottom};
}

NavRect NavigatorInside(const NavRect& window, int caption) {
    return {window.left + kNavBorder, window.top + caption, window.right - kNavBorder, window.bottom - kNavBorder};
}

NavRect NavigatorAround(const NavRect& target, int caption) {
    return {target.left - kNavBorder, target.top - caption, target.right + kNavBorder, target.bottom + kNavBorder};
}

namespace {

int Clamp(int value, int low, int high) { return value > high ? (high < low ? low : high) : (value < low ? low : value); }

bool Overlap(const NavRect& a, const NavRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

}  // namespace

NavRect NavigatorPanelBeside(const NavRect& window, int width, int height, const NavRect& screen) {
    const int besideTop = Clamp(window.top, screen.top, screen.bottom - height);
    const int underLeft = Clamp(window.left, screen.left, screen.right - width);
    if (window.right + width <= screen.right)
        return {window.right, besideTop, window.right + width, besideTop + height};
    if (window.left - width >= screen.left)
        return {window.left - width, besideTop, window.left, besideTop + height};
    if (window.bottom + height <= screen.bottom)
        return {underLeft, window.bottom, underLeft + width, window.bottom + height};
    if (window.top - height >= screen.top)
        return {underLeft, window.top - height, underLeft + width, window.top};
    const int left = Clamp(window.right, screen.left, screen.right - width);
    return {left, besideTop, left + width, besideTop + height};
}

NavRect NavigatorTipPlace(const NavRect& tip, const NavRect& window, int caption, const NavRect& screen) {
    if (!Overlap(tip, NavigatorInside(window, caption)))
        return tip;
    const int width = tip.Width(), height = tip.Height();
    const int left = Clamp(tip.left, screen.left, screen.right - width);
    const int top = window.top - height >= screen.top ? window.top - height : window.bottom;
    return {left, top, left + width, top + height};
}

SpeedStep SpeedCaptureStep(int timer, int counter) {
    SpeedStep step;
    step.counter = counter;
    switch (timer) {
    case SPEED_POINT:
        step.status = IDS_NAV_SPEED_POINT;
        step.nextTimer = SPEED_COUNT;
        step.nextDelayMs = 4000;
        break;
    case SPEED_COUNT:
        step.status = IDS_NAV_SPEED_COUNT;
        step.nextTimer = SPEED_TICK;
        step.nextDelayMs = 2000;
        break;
    case SPEED_TICK:
        step.counter = counter + 1;
        if (step.counter < 3) {
            step.status = step.counter == 1 ? IDS_NAV_THREE_SECONDS : IDS_NAV_TWO_SECONDS;
            step.nextTimer = SPEED_TICK;
            step.nextDelayMs = 1000;
        } else {
            step.status = IDS_NAV_ONE_SECOND;
            step.stopBlinking = true;
            step.shoot = true;
            step.nextTimer = SPEED_DONE;
            step.nextDelayMs = 1000;
        }
        break;
    case SPEED_DONE:
        step.counter = 0;
        step.status = IDS_NAV_SPEED_DONE;
        step.nextTimer = SPEED_RETURN;
        step.nextDelayMs = 1000;
        break;
    default:  // SPEED_RETURN
        step.status = IDS_NAV_READY;
        step.returnHome = true;
        break;
    }
    return step;
}

SeriesShot PlanSeriesShot(int taken, int total, int mode, bool running) {
    SeriesShot shot;
    shot.counter = taken + 1;
    if (mode == SERIES_BITMAPS) {
        // A shot already grabbed when the stop is seen still becomes a frame.
        shot.keepBitmap = true;
    } else if (running) {
        shot.capture = true;
    } else {
        shot.counter = taken;
        shot.stopFiles = mode == SERIES_FILES;
    }
    shot.last = shot.counter >= total || !running;
    return shot;
}
