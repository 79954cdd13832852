// Frame times of continuous capture and the GIF maker are kept in tenths of a
// second; shots wait milliseconds and GIF frames carry hundredths. Plain
// arithmetic, free of Windows headers, so it is unit-tested natively.
#pragma once

namespace frame_timing {

// A time typed as 0.7 is stored as the float 0.69999999; without a small
// nudge before truncation it would become 69 ms and 6 cs.
int TenthsToMilliseconds(float tenths);
int TenthsToCentiseconds(float tenths);

// One tick of a frame animation: which frame the tick shows, which frame the
// next tick shows and after how many milliseconds, or that the animation ends.
struct AnimationStep {
    bool show = false;    // false: nothing to show (empty or shrunk list); stop quietly
    int shownIndex = 0;
    int nextIndex = 0;
    int delayMs = 0;      // the shown frame's own time
    bool finished = false;  // last frame of a non-looping animation shown
};

// The tick that shows frame `index` of `count` frames, `shownTime` being that
// frame's time in tenths of a second.
AnimationStep NextAnimationStep(int index, int count, float shownTime, bool loop);

// The first frame appears this long after an animation starts.
constexpr int kFirstFrameDelayMs = 100;

}  // namespace frame_timing
