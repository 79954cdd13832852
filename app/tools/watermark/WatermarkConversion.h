// One file of the batch watermark tool: read it, lay the watermark on it and
// write a copy with the "wm_" prefix in the output folder, in the source's
// own format. An existing file is never replaced, so no original can be lost.
#pragma once

#include "app/capture/Watermark.h"

class CDibImage;

// What a conversion thread needs, copied on the UI thread before it starts.
struct WatermarkFileJob {
    CString source;  // full path
    CString folder;  // output folder, without a trailing backslash
    WatermarkParams params;
    bool keyColour = false;
    WatermarkBitmap watermark;  // a private copy, deleted with the job
    HWND notify = nullptr;      // receives WM_WATERMARK_FILE_DONE
    int index = 0;              // the file's place in the list
    CString target;             // out: the file written
    CString failure;            // out: empty on success, else why not

    WatermarkFileJob() = default;
    WatermarkFileJob(const WatermarkFileJob&) = delete;
    WatermarkFileJob& operator=(const WatermarkFileJob&) = delete;
    ~WatermarkFileJob();
};

// The text after the last backslash or slash.
CString FileNamePart(const CString& path);

// folder\wm_name, or folder\wm_stem (n).ext with the first n from 2 that
// names no existing file; empty when none is free.
CString WatermarkTargetPath(const CString& folder, const CString& source);

// The picture of `image` with the watermark laid on; false when GDI+ or the
// conversion back failed (the reason is in the image's last error).
bool ComposeWatermark(CDibImage& image, const WatermarkParams& params, const WatermarkBitmap& watermark,
                      bool keyColour);

// Converts job.source; fills job.target and returns true, or fills
// job.failure and returns false.
bool ConvertWatermarkFile(WatermarkFileJob& job);
