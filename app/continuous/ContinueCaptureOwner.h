// What the continuous-capture panel asks of the window that takes the shots
// (the navigator capture frame). The owner reads the panel's
// IsSeriesRunning() before every shot and reports back through
// UpdateCaptureCount, LoadCapturedFiles and LoadCapturedBitmaps.
#pragma once

class IContinueCaptureOwner {
public:
    enum Mode { kPlainCaptures = 0, kFileFrames = 1, kBitmapFrames = 2 };

    virtual ~IContinueCaptureOwner() = default;
    // Starts `count` shots `intervalMs` milliseconds apart (both > 0) in `mode`.
    virtual void StartContinueCapture(int count, int intervalMs, int mode) = 0;
};
