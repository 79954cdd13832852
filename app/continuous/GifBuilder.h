// Builds one animated GIF from a list of bitmaps: one 256-colour palette made
// by the octree quantizer over every frame, frames reduced to it with error
// diffusion, written by the multi-frame GIF writer with disposal 2 and the
// comment "VeskGIF". Used by continuous capture and the GIF maker; runs on
// any thread and touches no window.
#pragma once

#include "Afx.h"

#include <functional>
#include <vector>

// What the build needs of one frame, copied before the build starts.
struct GifBuildFrame {
    HBITMAP bitmap = nullptr;  // borrowed; must stay alive during the build; null frames are skipped
    float time = 0.0f;         // tenths of a second
    int transparent = 0;       // non-zero: the colour of pixel (0, 0) becomes transparent
};

enum class GifBuildStatus { kWritten, kNoFrames, kWriteFailed };

struct GifBuildResult {
    GifBuildStatus status = GifBuildStatus::kNoFrames;
    int framesWritten = 0;
    CString reason;  // the image library's reason when writing failed
};

// Called with (total, index) after each frame is reduced to the palette.
using GifProgressFn = std::function<void(int total, int index)>;

// `loop`: repeat forever (loop block with count 0); otherwise play once (no loop block).
// A build that cannot write its file whole leaves the file as it was.
GifBuildResult BuildAnimatedGif(const std::vector<GifBuildFrame>& frames, const CString& path, bool loop,
                                const GifProgressFn& progress = nullptr);
