// A continuous series of 100 frames of 1280 x 1024 built into one animated GIF:
// wall time and peak working set of the build.
//   gif_build_bench OUT_FOLDER [frames]
// Writes the frames as frame_NNN.bmp (for the side-by-side run of ImageMagick,
// see run_gif_build_bench.sh) and series.gif.
#include "app/continuous/GifBuilder.h"
#include "image/DibImage.h"

#include <psapi.h>

#include <cmath>
#include <cstdio>

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;

// A desktop-like picture: a gradient, a text-like stripe pattern and a box
// that moves from frame to frame.
HBITMAP MakeFrame(int index) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = -kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap)
        return nullptr;
    const int stride = (kWidth * 3 + 3) & ~3;
    const int boxX = (index * 11) % (kWidth - 200), boxY = (index * 7) % (kHeight - 150);
    for (int y = 0; y < kHeight; ++y) {
        BYTE* row = static_cast<BYTE*>(bits) + static_cast<size_t>(y) * stride;
        for (int x = 0; x < kWidth; ++x) {
            BYTE r = static_cast<BYTE>(x * 255 / kWidth), g = static_cast<BYTE>(y * 255 / kHeight), b = 160;
            if ((y / 14) % 3 == 1 && (x / 5 + y) % 7 < 3 && x > 40 && x < 900)
                r = g = b = 30;  // text-like rows
            if (x >= boxX && x < boxX + 200 && y >= boxY && y < boxY + 150) {
                r = 250;
                g = static_cast<BYTE>(index * 2);
                b = 40;
            }
            row[x * 3] = b;
            row[x * 3 + 1] = g;
            row[x * 3 + 2] = r;
        }
    }
    return bitmap;
}

double PeakWorkingSetMb() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters.PeakWorkingSetSize / (1024.0 * 1024.0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        fwprintf(stderr, L"usage: gif_build_bench OUT_FOLDER [frames]\n");
        return 2;
    }
    const CString folder = argv[1];
    const int count = argc > 2 ? _wtoi(argv[2]) : 100;
    std::vector<GifBuildFrame> frames;
    for (int i = 0; i < count; ++i) {
        HBITMAP bitmap = MakeFrame(i);
        if (!bitmap) {
            fwprintf(stderr, L"frame %d: no bitmap\n", i);
            return 1;
        }
        frames.push_back({bitmap, 5.0f, 0});
        CDibImage image;
        CString name;
        name.Format(L"%s\\frame_%03d.bmp", folder.GetString(), i);
        if (!image.CreateFromHBITMAP(bitmap) || !image.Save(name, CDibImage::kFormatBmp)) {
            fwprintf(stderr, L"%ls: not written\n", name.GetString());
            return 1;
        }
    }
    const double framesPeak = PeakWorkingSetMb();

    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const GifBuildResult result = BuildAnimatedGif(frames, folder + L"\\series.gif", true);
    QueryPerformanceCounter(&end);
    const double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
    const double peak = PeakWorkingSetMb();
    for (const GifBuildFrame& frame : frames)
        DeleteObject(frame.bitmap);
    if (result.status != GifBuildStatus::kWritten) {
        fwprintf(stderr, L"build failed: %ls\n", result.reason.GetString());
        return 1;
    }
    wprintf(L"vesk: %d frames %dx%d in %.2f s; peak working set %.0f MB (%.0f MB of it the frame bitmaps)\n",
            result.framesWritten, kWidth, kHeight, seconds, peak, framesPeak);
    return 0;
}
