#include "app/continuous/FrameFit.h"

#include <algorithm>

namespace frame_fit {

Placement FitPreview(int areaWidth, int areaHeight, int width, int height, bool playing, int refWidth,
                     int refHeight) {
    Placement p;
    if (areaWidth <= 0 || areaHeight <= 0 || width <= 0 || height <= 0)
        return p;
    if (areaWidth >= width && areaHeight >= height) {
        const int centreWidth = playing ? refWidth : width;
        const int centreHeight = playing ? refHeight : height;
        p.x = areaWidth / 2 - centreWidth / 2;
        p.y = areaHeight / 2 - centreHeight / 2;
        p.cx = width;
        p.cy = height;
        return p;
    }
    const float scale = std::min(static_cast<float>(areaWidth) / width, static_cast<float>(areaHeight) / height);
    const int drawnWidth = static_cast<int>(width * scale);
    const int drawnHeight = static_cast<int>(height * scale);
    p.x = areaWidth / 2 - drawnWidth / 2;
    p.y = areaHeight / 2 - drawnHeight / 2;
    p.cx = std::max(drawnWidth - 2, 1);
    p.cy = std::max(drawnHeight - 2, 1);
    p.stretched = true;
    return p;
}

Placement FitCard(int cellLeft, int cellTop, int cellWidth, int cellHeight, int width, int height) {
    Placement p;
    if (cellWidth <= 0 || cellHeight <= 0 || width <= 0 || height <= 0)
        return p;
    if (cellWidth >= width && cellHeight >= height) {
        p.x = cellLeft + (cellWidth / 2 - width / 2) + 2;
        p.y = cellTop + (cellHeight / 2 - height / 2) + 2;
        p.cx = width;
        p.cy = height;
        return p;
    }
    const float scale = std::min(static_cast<float>(cellWidth) / width, static_cast<float>(cellHeight) / height);
    const float drawnWidth = width * scale;
    const float drawnHeight = height * scale;
    p.x = static_cast<int>(cellLeft + cellWidth / 2 - drawnWidth / 2 + 1.0f);
    p.y = static_cast<int>(cellTop + cellHeight / 2 - drawnHeight / 2 + 1.0f);
    p.cx = std::max(static_cast<int>(drawnWidth - 2.0f), 1);
    p.cy = std::max(static_cast<int>(drawnHeight - 2.0f), 1);
    p.stretched = true;
    return p;
}

LineSpan CardTextLine(int itemTop, int fontHeight, int index) {
    const int height = fontHeight > 15 ? fontHeight : 15;
    const int top = itemTop + 26 + (height + 5) * index;
    return {top, top + height};
}

OverlayLayout LayOutOverlay(int areaWidth, int areaHeight, int baseWidth, int baseHeight, int overlayWidth,
                            int overlayHeight) {
    OverlayLayout l;
    if (areaWidth <= 0 || areaHeight <= 0 || baseWidth <= 0 || baseHeight <= 0 || overlayWidth <= 0 ||
        overlayHeight <= 0)
        return l;
    const bool baseIsLarger = baseWidth >= overlayWidth && baseHeight >= overlayHeight;
    const int largeWidth = baseIsLarger ? baseWidth : overlayWidth;
    const int largeHeight = baseIsLarger ? baseHeight : overlayHeight;
    const int smallWidth = baseIsLarger ? overlayWidth : baseWidth;
    const int smallHeight = baseIsLarger ? overlayHeight : baseHeight;

    const float scale = std::min(static_cast<float>(areaWidth) / largeWidth,
                                 static_cast<float>(areaHeight) / largeHeight);
    const float largeDrawnWidth = largeWidth * scale;
    const float largeDrawnHeight = largeHeight * scale;
    l.offsetY = static_cast<int>(areaHeight / 2 - largeDrawnHeight * 0.5f + 0.5f);
    l.offsetX = static_cast<int>(areaWidth / 2 - largeDrawnWidth * 0.5f + 0.5f);
    const float percentWidth = largeDrawnWidth * 100.0f / largeWidth;
    const float percentHeight = largeDrawnHeight * 100.0f / largeHeight;
    const float smallDrawnWidth = std::min(smallWidth * percentWidth / 100.0f + 0.5f, largeDrawnWidth);
    const float smallDrawnHeight = std::min(smallHeight * percentHeight / 100.0f + 0.5f, largeDrawnHeight);

    const int largeW = static_cast<int>(largeDrawnWidth), largeH = static_cast<int>(largeDrawnHeight);
    const int smallW = static_cast<int>(smallDrawnWidth), smallH = static_cast<int>(smallDrawnHeight);
    l.baseWidth = baseIsLarger ? largeW : smallW;
    l.baseHeight = baseIsLarger ? largeH : smallH;
    l.overlayWidth = baseIsLarger ? smallW : largeW;
    l.overlayHeight = baseIsLarger ? smallH : largeH;
    l.marginX = (l.baseWidth - l.overlayWidth) / 2;
    l.marginY = (l.baseHeight - l.overlayHeight) / 2;
    l.valid = true;
    return l;
}

int ProportionalSide(int value, float reference, float otherReference) {
    if (!(reference > 0.0f) || !(otherReference > 0.0f))
        return -1;
    const float percent = static_cast<float>(static_cast<long long>(value) * 100) / reference;
    const double other = percent * otherReference / 100.0 + 0.5;
    if (!(other > 0.0))
        return 0;
    return other >= 1e9 ? 1000000000 : static_cast<int>(other);
}

}  // namespace frame_fit
