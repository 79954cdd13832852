// The watermark compositor: lays a prepared watermark bitmap onto a picture
// at one of nine places, with margins, a transparent key colour, an opacity
// and a rotation about its own centre. GDI+ only composes in memory.
#pragma once

#include "app/capture/GdiplusFlat.h"

class COpWatermarkPropertyPage;

struct WatermarkParams {
    int alpha = 100;         // opacity in percent
    int location = 0;        // 0..8, top-left to bottom-right row by row
    int horizontalMargin = 0;
    int verticalMargin = 0;
    int angle = 0;           // degrees, clockwise on the screen
    int keyColour = static_cast<int>(0xFF000000);  // ARGB made transparent by the key-colour copy
};

// Top-left of the watermark before margins; locations outside 0..8 give (0, 0).
POINT GetWatermarkOrigin(int targetWidth, int targetHeight, int width, int height, const WatermarkParams& params);

// Both take the source over and return a new 32-bit ARGB bitmap (null on failure).
gdip::GpBitmap* MakeColorKeyBitmap(gdip::GpBitmap* source, int width, int height, int keyColour);
gdip::GpBitmap* MakeAlphaBitmap(gdip::GpBitmap* source, int width, int height, int alphaPercent);

// Prepends centre translation, rotation and the inverse translation.
void RotateMatrixAt(gdip::GpMatrix* matrix, float angle, float centreX, float centreY);

gdip::GpStatus DrawImageWithAttributes(gdip::GpGraphics* graphics, gdip::GpImage* image, const RECT& destination,
                                       const RECT& source, gdip::GpImageAttributes* attributes);

// Draws the watermark onto `target`; a null watermark or one of no size draws
// nothing. Only the width and height of `targetRect` count. A quarter or half
// turn is exact and placed by the turned size; any other angle turns the
// placed mark about its centre. Returns 0.
int ApplyWatermark(gdip::GpBitmap* target, const WatermarkParams& params, HBITMAP watermark, int width, int height,
                   bool copyAlpha, bool copyColourKey, RECT targetRect);

// The parameters the capture worker uses, from the watermark options.
WatermarkParams WatermarkParamsFromOptions(const COpWatermarkPropertyPage& options);

// The prepared watermark: an owned bitmap with its size.
struct WatermarkBitmap {
    HBITMAP bitmap = nullptr;
    int width = 0;
    int height = 0;
};

// Builds the watermark bitmap from the options (Choice 0 image file, 1 text)
// and sets RotateAngle from Rotate. `font` is the window font the text font
// is derived from; `referenceDc` the context the text bitmap is compatible
// with. The old bitmap in `current` is deleted when a new one replaces it.
void BuildWatermarkBitmap(COpWatermarkPropertyPage& options, HFONT font, HDC referenceDc, WatermarkBitmap& current);

// The bitmap mirrored left to right (or flipped upside down) as a new bitmap;
// the given one is deleted. On failure the given bitmap comes back unchanged.
HBITMAP MirrorOrFlip(HBITMAP bitmap, bool mirror);

// A private copy of a bitmap (a DIB section), for a worker that must not share
// the UI thread's; null for a null bitmap.
HBITMAP CopyWatermarkBitmap(HBITMAP bitmap);
