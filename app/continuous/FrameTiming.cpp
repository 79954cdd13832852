#include "app/continuous/FrameTiming.h"

#include <climits>

namespace frame_timing {
namespace {

// Far below a tenth of the smallest unit, far above float rounding of typed times.
constexpr double kNudge = 1e-3;

int TruncateScaled(float tenths, double scale) {
    const double value = static_cast<double>(tenths) * scale + kNudge;
    if (!(value > 0.0))
        return 0;
    if (value >= static_cast<double>(INT_MAX))
        return INT_MAX;
    return static_cast<int>(value);
}

}  // namespace

int TenthsToMilliseconds(float tenths) {
    return TruncateScaled(tenths, 100.0);
}

int TenthsToCentiseconds(float tenths) {
    return TruncateScaled(tenths, 10.0);
}

AnimationStep NextAnimationStep(int index, int count, float shownTime, bool loop) {
    AnimationStep step;
    if (count <= 0 || index < 0 || index >= count)
        return step;
    step.show = true;
    step.shownIndex = index;
    step.delayMs = TenthsToMilliseconds(shownTime);
    if (index != count - 1) {
        step.nextIndex = index + 1;
        return step;
    }
    step.nextIndex = 0;
    step.finished = !loop;
    return step;
}

}  // namespace frame_timing
