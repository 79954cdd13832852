// How much of a web page one capture bitmap holds. A 32-bit process keeps the
// page bitmap, the capture worker's copy, its GDI+ twin and the encoded image
// at once, so a page is cut to a bounded size instead of failing half-way.
// Free of <windows.h>: tested natively.
#pragma once

struct PageFit {
    int width = 0;
    int height = 0;
    bool capped = false;  // the page was larger than what is captured
};

constexpr int kMaxPageSide = 16384;
constexpr long long kMaxPagePixels = 16LL * 1024 * 1024;

// A page without area gives width and height 0. A wider page keeps its left
// part; a longer one its top part.
constexpr PageFit FitPageForCapture(long long width, long long height) {
    PageFit fit;
    if (width <= 0 || height <= 0)
        return fit;
    const long long w = width < kMaxPageSide ? width : kMaxPageSide;
    long long maxHeight = kMaxPagePixels / w;
    if (maxHeight > kMaxPageSide)
        maxHeight = kMaxPageSide;
    const long long h = height < maxHeight ? height : maxHeight;
    fit.width = static_cast<int>(w);
    fit.height = static_cast<int>(h);
    fit.capped = w != width || h != height;
    return fit;
}
