#include "app/capture/Watermark.h"

#include "app/capture/FallbackText.h"
#include "app/capture/ScopedGdi.h"
#include "app/settings/OpWatermarkPropertyPage.h"
#include "image/DibImage.h"

#include <algorithm>
#include <climits>
#include <cwchar>

using namespace gdip;

POINT GetWatermarkOrigin(int targetWidth, int targetHeight, int width, int height, const WatermarkParams& params) {
    POINT origin = {0, 0};
    // 64-bit differences: sizes come from files and options.
    const long long dx = static_cast<long long>(targetWidth) - width;
    const long long dy = static_cast<long long>(targetHeight) - height;
    switch (params.location) {
    case 1: case 4: case 7: origin.x = static_cast<LONG>(dx / 2); break;
    case 2: case 5: case 8: origin.x = static_cast<LONG>(dx); break;
    default: break;
    }
    switch (params.location) {
    case 3: case 4: case 5: origin.y = static_cast<LONG>(dy / 2); break;
    case 6: case 7: case 8: origin.y = static_cast<LONG>(dy); break;
    default: break;
    }
    return origin;
}

GpStatus DrawImageWithAttributes(GpGraphics* graphics, GpImage* image, const RECT& destination, const RECT& source,
                                 GpImageAttributes* attributes) {
    return GdipDrawImageRectRectI(graphics, image, destination.left, destination.top,
                                  destination.right - destination.left, destination.bottom - destination.top,
                                  source.left, source.top, source.right - source.left, source.bottom - source.top,
                                  Gdiplus::UnitPixel, attributes, nullptr, nullptr);
}

namespace {
// Draws `source` into a new ARGB bitmap of the same size through `attributes`.
GpBitmap* RedrawThrough(GpBitmap* source, int width, int height, GpImageAttributes* attributes) {
    ScopedBitmap input(source);
    ScopedBitmap output;
    if (!source || width <= 0 || height <= 0 ||
        GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppARGB, nullptr, output.Out()) != Ok)
        return nullptr;
    ScopedGraphics graphics(output.Get());
    if (!graphics.Get())
        return nullptr;
    const RECT all = {0, 0, width, height};
    DrawImageWithAttributes(graphics.Get(), reinterpret_cast<GpImage*>(source), all, all, attributes);
    return output.Release();
}
}  // namespace

GpBitmap* MakeColorKeyBitmap(GpBitmap* source, int width, int height, int keyColour) {
    ScopedAttributes attributes;
    Gdiplus::ColorMap map;
    map.oldColor = Gdiplus::Color(static_cast<Gdiplus::ARGB>(keyColour));
    map.newColor = Gdiplus::Color(static_cast<Gdiplus::ARGB>(0));
    if (attributes.Get())
        GdipSetImageAttributesRemapTable(attributes.Get(), Gdiplus::ColorAdjustTypeDefault, TRUE, 1, &map);
    return RedrawThrough(source, width, height, attributes.Get());
}

GpBitmap* MakeAlphaBitmap(GpBitmap* source, int width, int height, int alphaPercent) {
    ScopedAttributes attributes;
    Gdiplus::ColorMatrix matrix = {};
    for (int i = 0; i < 5; ++i)
        matrix.m[i][i] = 1.0f;
    matrix.m[3][3] = static_cast<float>(alphaPercent / 100.0);
    if (attributes.Get())
        GdipSetImageAttributesColorMatrix(attributes.Get(), Gdiplus::ColorAdjustTypeBitmap, TRUE, &matrix, nullptr,
                                          Gdiplus::ColorMatrixFlagsDefault);
    return RedrawThrough(source, width, height, attributes.Get());
}

void RotateMatrixAt(GpMatrix* matrix, float angle, float centreX, float centreY) {
    GdipTranslateMatrix(matrix, centreX, centreY, Gdiplus::MatrixOrderPrepend);
    GdipRotateMatrix(matrix, angle, Gdiplus::MatrixOrderPrepend);
    GdipTranslateMatrix(matrix, -centreX, -centreY, Gdiplus::MatrixOrderPrepend);
}

int ApplyWatermark(GpBitmap* target, const WatermarkParams& params, HBITMAP watermark, int width, int height,
                   bool copyAlpha, bool copyColourKey, RECT targetRect) {
    if (!target || !watermark || width <= 0 || height <= 0)
        return 0;
    ScopedGraphics graphics(target);
    ScopedBitmap mark;
    if (!graphics.Get() || GdipCreateBitmapFromHBITMAP(watermark, nullptr, mark.Out()) != Ok)
        return 0;

    if (copyColourKey)
        mark.Reset(MakeColorKeyBitmap(mark.Release(), width, height, params.keyColour));
    if (copyAlpha)
        mark.Reset(MakeAlphaBitmap(mark.Release(), width, height, params.alpha));
    if (!mark.Get())
        return 0;

    // Quarter and half turns are made pixel for pixel and the mark is placed
    // by its turned size, so it lies whole in its cell. Turned about the
    // centre of its unturned box instead, a quarter-turned mark overhangs the
    // cell by half the difference of its sides, and a half turn comes out a
    // pixel off (measured under Wine).
    const int turn = (params.angle % 360 + 360) % 360;
    const bool exactTurn = turn % 90 == 0;
    if (exactTurn && turn != 0) {
        const Gdiplus::RotateFlipType type = turn == 90    ? Gdiplus::Rotate90FlipNone
                                             : turn == 180 ? Gdiplus::Rotate180FlipNone
                                                           : Gdiplus::Rotate270FlipNone;
        if (GdipImageRotateFlip(reinterpret_cast<GpImage*>(mark.Get()), type) != Ok)
            return 0;
        if (turn != 180)
            std::swap(width, height);
    }
    const POINT origin = GetWatermarkOrigin(targetRect.right - targetRect.left, targetRect.bottom - targetRect.top,
                                            width, height, params);
    const long long x = static_cast<long long>(params.horizontalMargin) + origin.x;
    const long long y = static_cast<long long>(params.verticalMargin) + origin.y;
    ScopedMatrix matrix;
    if (!exactTurn && matrix.Get()) {
        RotateMatrixAt(matrix.Get(), static_cast<float>(params.angle), static_cast<float>(width / 2 + x),
                       static_cast<float>(height / 2 + y));
        GdipSetWorldTransform(graphics.Get(), matrix.Get());
    }
    if (x < INT_MIN || x > INT_MAX || y < INT_MIN || y > INT_MAX)
        return 0;
    GdipDrawImageRectI(graphics.Get(), reinterpret_cast<GpImage*>(mark.Get()), static_cast<INT>(x),
                       static_cast<INT>(y), width, height);
    return 0;
}

WatermarkParams WatermarkParamsFromOptions(const COpWatermarkPropertyPage& options) {
    WatermarkParams params;
    params.alpha = options.Alpha;
    params.location = options.Location;
    params.horizontalMargin = options.LeftRightMargin;
    params.verticalMargin = options.TopBottomMargin;
    params.angle = options.RotateAngle + options.Rotation;
    // Out-of-range components would spill into the neighbouring channel.
    const auto channel = [](int value) { return static_cast<unsigned>(std::clamp(value, 0, 255)); };
    unsigned key = 0xFF000000u;
    if (options.HideColor)
        key |= channel(options.Red) << 16 | channel(options.Green) << 8 | channel(options.Blue);
    params.keyColour = static_cast<int>(key);
    return params;
}

HBITMAP CopyWatermarkBitmap(HBITMAP bitmap) {
    if (!bitmap)
        return nullptr;
    return static_cast<HBITMAP>(CopyImage(bitmap, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

namespace {
void ReplaceBitmap(WatermarkBitmap& current, HBITMAP bitmap) {
    if (current.bitmap && current.bitmap != bitmap)
        DeleteObject(current.bitmap);
    current.bitmap = bitmap;
    BITMAP info = {};
    if (bitmap && GetObjectW(bitmap, sizeof(info), &info)) {
        current.width = info.bmWidth;
        current.height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    } else {
        current.width = current.height = 0;
    }
}

HBITMAP RenderTextBitmap(const COpWatermarkPropertyPage& options, HFONT baseFont, HDC referenceDc) {
    if (options.Text.IsEmpty())
        return nullptr;
    LOGFONTW logFont = {};
    if (!baseFont || !GetObjectW(baseFont, sizeof(logFont), &logFont))
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(logFont), &logFont);
    // The mark is turned by Rotate and Rotation alone; a turned base would
    // draw the text out of its own box and leave the background.
    logFont.lfEscapement = logFont.lfOrientation = 0;
    logFont.lfHeight = options.FontSize;
    logFont.lfWidth = 0;
    logFont.lfWeight = options.FontBold ? FW_BOLD : FW_NORMAL;
    logFont.lfItalic = options.FontItalic ? TRUE : FALSE;
    logFont.lfUnderline = options.FontUnderline ? TRUE : FALSE;
    wcsncpy(logFont.lfFaceName, options.FontFace.GetString(), LF_FACESIZE - 1);
    logFont.lfFaceName[LF_FACESIZE - 1] = L'\0';
    ScopedFont font(CreateFontIndirectW(&logFont));
    ScopedMemoryDc dc(referenceDc);
    if (!font.Get() || !dc.Get())
        return nullptr;

    ScopedSelect selectFont(dc.Get(), font.Get());
    const CFallbackText line(dc.Get(), font.Get(), options.Text.GetString(), options.Text.GetLength());
    const SIZE size = line.GetExtent();
    if (size.cx <= 0 || size.cy <= 0)
        return nullptr;
    ScopedBitmapHandle text(CreateCompatibleBitmap(referenceDc, size.cx, size.cy));
    if (!text.Get())
        return nullptr;
    {
        ScopedSelect selectBitmap(dc.Get(), text.Get());
        const auto clampRgb = [](int r, int g, int b) {
            return RGB(std::clamp(r, 0, 255), std::clamp(g, 0, 255), std::clamp(b, 0, 255));
        };
        SetBkColor(dc.Get(), clampRgb(options.TextBkR, options.TextBkG, options.TextBkB));
        SetTextColor(dc.Get(), clampRgb(options.TextColorR, options.TextColorG, options.TextColorB));
        SetBkMode(dc.Get(), OPAQUE);
        // DrawText leaves the margins of a centred line unpainted; fill them first.
        RECT all = {0, 0, size.cx, size.cy};
        ExtTextOutW(dc.Get(), 0, 0, ETO_OPAQUE, &all, nullptr, 0, nullptr);
        line.Draw(dc.Get(), all);
    }
    // Through GDI+ so the watermark is a 32-bit DIB section like an image-file one.
    ScopedBitmap argb;
    if (GdipCreateBitmapFromHBITMAP(text.Get(), nullptr, argb.Out()) != Ok)
        return nullptr;
    HBITMAP result = nullptr;
    if (GdipCreateHBITMAPFromBitmap(argb.Get(), &result, 0xFFFFFFFF) != Ok)
        return nullptr;
    return result;
}

HBITMAP LoadImageBitmap(const COpWatermarkPropertyPage& options) {
    if (options.ImageDir.IsEmpty())
        return nullptr;
    CDibImage image;
    if (!image.Load(options.ImageDir.GetString(), CDibImage::kFormatUnknown))
        return nullptr;
    return image.MakeBitmap();
}

}  // namespace

HBITMAP MirrorOrFlip(HBITMAP bitmap, bool mirror) {
    CDibImage image;
    if (!image.CreateFromHBITMAP(bitmap))
        return bitmap;
    if (!(mirror ? image.Mirror() : image.Flip()))
        return bitmap;
    HBITMAP turned = image.MakeBitmap();
    if (!turned)
        return bitmap;
    DeleteObject(bitmap);
    return turned;
}

void BuildWatermarkBitmap(COpWatermarkPropertyPage& options, HFONT font, HDC referenceDc, WatermarkBitmap& current) {
    HBITMAP bitmap = nullptr;
    switch (options.Choice) {
    case 0: bitmap = LoadImageBitmap(options); break;
    case 1: bitmap = RenderTextBitmap(options, font, referenceDc); break;
    default: return;
    }
    static const int kBaseAngles[] = {0, 180, 90, -90};
    options.RotateAngle = options.Rotate >= 0 && options.Rotate < 4 ? kBaseAngles[options.Rotate] : 0;
    if (bitmap && (options.Rotate == 4 || options.Rotate == 5))
        bitmap = MirrorOrFlip(bitmap, options.Rotate == 4);
    ReplaceBitmap(current, bitmap);
}
