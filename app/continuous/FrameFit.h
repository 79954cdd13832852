// Where a frame's picture lands in the preview static, in a frame-list card
// and in the overlay preview. Plain integer geometry, free of Windows headers.
#pragma once

namespace frame_fit {

struct Placement {
    int x = 0;
    int y = 0;
    int cx = 0;  // 0: nothing to draw
    int cy = 0;
    bool stretched = false;
};

// The preview's picture mode: a w x h picture in an area of W x H. A picture
// that fits is copied 1:1, centred (while an animation plays, centred on the
// first frame's size refW x refH so every frame starts where the first did);
// a larger one is scaled down keeping its aspect.
Placement FitPreview(int areaWidth, int areaHeight, int width, int height, bool playing, int refWidth,
                     int refHeight);

// The picture cell of a frame-list card, cell given by its left/top and size.
Placement FitCard(int cellLeft, int cellTop, int cellWidth, int cellHeight, int width, int height);

// The top and bottom of a card's text line `index` (0 to 3) for a font
// `fontHeight` pixels tall, the item starting at `itemTop`: 15 tall and 20
// apart, or the font's height and 5 more apart where it is taller (150 %).
struct LineSpan {
    int top = 0;
    int bottom = 0;
};
LineSpan CardTextLine(int itemTop, int fontHeight, int index);

// The overlay preview's layout: the larger of base and overlay is fitted into
// the area, the smaller scaled by the same factor and centred over it.
struct OverlayLayout {
    int offsetX = 0;  // where the larger picture starts in the area
    int offsetY = 0;
    int baseWidth = 0;
    int baseHeight = 0;
    int overlayWidth = 0;
    int overlayHeight = 0;
    int marginX = 0;  // centring margins: left = right, top = bottom
    int marginY = 0;
    bool valid = false;  // false when any size is not positive
};
OverlayLayout LayOutOverlay(int areaWidth, int areaHeight, int baseWidth, int baseHeight, int overlayWidth,
                            int overlayHeight);

// The keep-ratio edits: the other side for `value` when the reference frame is
// reference x otherReference; -1 while there is no reference frame.
int ProportionalSide(int value, float reference, float otherReference);

}  // namespace frame_fit
