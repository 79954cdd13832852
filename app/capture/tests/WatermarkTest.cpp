#include "CaptureTestSupport.h"

#include "app/capture/Watermark.h"
#include "app/settings/OpWatermarkPropertyPage.h"
#include "image/DibImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using namespace capture_test;

TEST(WatermarkOrigin, NineCellsOutOfRangeOversizedAndOdd) {
    struct Case {
        int W, H, w, h, location;
        POINT expected;
    };
    const Case cases[] = {
        {100, 80, 10, 20, 0, {0, 0}},    {100, 80, 10, 20, 1, {45, 0}},   {100, 80, 10, 20, 2, {90, 0}},
        {100, 80, 10, 20, 3, {0, 30}},   {100, 80, 10, 20, 4, {45, 30}},  {100, 80, 10, 20, 5, {90, 30}},
        {100, 80, 10, 20, 6, {0, 60}},   {100, 80, 10, 20, 7, {45, 60}},  {100, 80, 10, 20, 8, {90, 60}},
        {100, 80, 10, 20, -1, {0, 0}},   {100, 80, 10, 20, 9, {0, 0}},    {100, 80, 10, 20, 1000, {0, 0}},
        {101, 81, 10, 20, 4, {45, 30}},  // odd differences truncate
        {10, 10, 25, 31, 2, {-15, 0}},   // wider than the target: negative x
        {10, 10, 25, 31, 4, {-7, -10}},  // truncated toward zero
        {10, 10, 25, 31, 8, {-15, -21}},
    };
    for (const Case& c : cases) {
        WatermarkParams params;
        params.location = c.location;
        const POINT origin = GetWatermarkOrigin(c.W, c.H, c.w, c.h, params);
        EXPECT_EQ(origin.x, c.expected.x) << "location " << c.location << " W " << c.W;
        EXPECT_EQ(origin.y, c.expected.y) << "location " << c.location << " W " << c.W;
    }
}

namespace {
constexpr DWORD kTarget = 0xFF204060;
constexpr DWORD kLeft = 0xFFFF0000;   // left half of the watermark
constexpr DWORD kRight = 0xFF00FF00;  // right half

DWORD WatermarkPixel(int x, int) { return x < 5 ? kLeft & 0xFFFFFF : kRight & 0xFFFFFF; }

struct Canvas {
    gdip::ScopedBitmap bitmap;
    Canvas() {
        gdip::GdipCreateBitmapFromScan0(40, 40, 0, PixelFormat32bppARGB, nullptr, bitmap.Out());
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                gdip::GdipBitmapSetPixel(bitmap.Get(), x, y, kTarget);
    }
    DWORD At(int x, int y) const {
        Gdiplus::ARGB colour = 0;
        gdip::GdipBitmapGetPixel(bitmap.Get(), x, y, &colour);
        return colour;
    }
};

struct Mark {
    HBITMAP bitmap;
    Mark() {
        MemorySource source = MakeSource(10, 10, WatermarkPixel);
        DeleteDC(source.dc);
        bitmap = source.bitmap;
    }
    ~Mark() { DeleteObject(bitmap); }
};
}  // namespace

TEST(ApplyWatermark, PixelsAtTheCornerKeyColourAlphaAndRotation) {
    struct Case {
        const char* what;
        int alpha;
        int angle;
        bool colourKey;
        DWORD key;
        DWORD expectLeftHalf;   // columns 30..34 of rows 30..39
        DWORD expectRightHalf;  // columns 35..39
    };
    const Case cases[] = {
        {"opaque", 100, 0, false, 0xFF000000, kLeft, kRight},
        {"invisible", 0, 0, false, 0xFF000000, kTarget, kTarget},
        {"key shows target", 100, 0, true, kLeft, kTarget, kRight},
        {"key without match", 100, 0, true, 0xFF000000, kLeft, kRight},
        {"half turn swaps halves", 100, 180, false, 0xFF000000, kRight, kLeft},
    };
    Mark mark;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Canvas canvas;
        ASSERT_NE(canvas.bitmap.Get(), nullptr);
        WatermarkParams params;
        params.alpha = c.alpha;
        params.location = 8;
        params.angle = c.angle;
        params.keyColour = static_cast<int>(c.key);
        EXPECT_EQ(ApplyWatermark(canvas.bitmap.Get(), params, mark.bitmap, 10, 10, true, c.colourKey,
                                 RECT{0, 0, 40, 40}),
                  0);
        for (int y = 30; y <= 39; ++y) {
            EXPECT_EQ(canvas.At(30, y), c.expectLeftHalf) << "y " << y;
            EXPECT_EQ(canvas.At(34, y), c.expectLeftHalf) << "y " << y;
            EXPECT_EQ(canvas.At(35, y), c.expectRightHalf) << "y " << y;
            EXPECT_EQ(canvas.At(39, y), c.expectRightHalf) << "y " << y;
        }
        // Nothing outside the bottom-right cell changes.
        EXPECT_EQ(canvas.At(29, 35), kTarget);
        EXPECT_EQ(canvas.At(35, 29), kTarget);
        EXPECT_EQ(canvas.At(0, 0), kTarget);
    }
}

TEST(ApplyWatermark, EveryPlaceAndTurnLiesWholeAndFlushInItsCell) {
    // A 12 x 4 mark with a blue top-left pixel on a 40 x 40 picture.
    MemorySource wide = MakeSource(12, 4, [](int x, int y) -> DWORD { return x + y == 0 ? 0x0000FF : 0xFF0000; });
    DeleteDC(wide.dc);
    const struct {
        int angle, width, height;
        POINT corner;  // where the mark's top-left pixel lands in the turned box
    } turns[] = {{0, 12, 4, {0, 0}}, {90, 4, 12, {3, 0}}, {180, 12, 4, {11, 3}}, {-90, 4, 12, {0, 11}},
                 {450, 4, 12, {3, 0}}};
    for (const auto& turn : turns)
        for (int location = 0; location < 9; ++location) {
            SCOPED_TRACE(testing::Message() << "angle " << turn.angle << " location " << location);
            Canvas canvas;
            WatermarkParams params;
            params.location = location;
            params.angle = turn.angle;
            ApplyWatermark(canvas.bitmap.Get(), params, wide.bitmap, 12, 4, true, false, RECT{0, 0, 40, 40});
            RECT box = {40, 40, 0, 0};
            int marked = 0;
            for (int y = 0; y < 40; ++y)
                for (int x = 0; x < 40; ++x)
                    if (canvas.At(x, y) != kTarget) {
                        box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y),
                               std::max<LONG>(box.right, x + 1), std::max<LONG>(box.bottom, y + 1)};
                        ++marked;
                    }
            EXPECT_EQ(marked, 48);
            EXPECT_EQ(box.right - box.left, turn.width);
            EXPECT_EQ(box.bottom - box.top, turn.height);
            // Flush with the edges of its column and row, or centred between them.
            const auto placed = [](int cell, LONG low, LONG high) {
                return cell == 0 ? low == 0 : cell == 2 ? high == 40 : std::abs(low + high - 40) <= 1;
            };
            EXPECT_TRUE(placed(location % 3, box.left, box.right));
            EXPECT_TRUE(placed(location / 3, box.top, box.bottom));
            EXPECT_EQ(canvas.At(box.left + turn.corner.x, box.top + turn.corner.y), 0xFF0000FFu);
        }
    DeleteObject(wide.bitmap);
}

TEST(ApplyWatermark, LargerThanTheTargetIsClippedAroundItsOrigin) {
    // 60 x 60, centred on 40 x 40: origin (-10, -10), so target (0, 0) shows watermark (10, 10).
    const auto quarter = [](int x, int y) -> DWORD { return x < 30 && y < 30 ? 0x000000FF : 0x00FFFF00; };
    MemorySource big = MakeSource(60, 60, quarter);
    DeleteDC(big.dc);
    Canvas canvas;
    WatermarkParams params;
    params.location = 4;
    ApplyWatermark(canvas.bitmap.Get(), params, big.bitmap, 60, 60, true, false, RECT{0, 0, 40, 40});
    EXPECT_EQ(canvas.At(0, 0), 0xFF0000FFu);
    EXPECT_EQ(canvas.At(19, 19), 0xFF0000FFu);
    EXPECT_EQ(canvas.At(20, 20), 0xFFFFFF00u);
    EXPECT_EQ(canvas.At(39, 39), 0xFFFFFF00u);
    DeleteObject(big.bitmap);
}

TEST(ApplyWatermark, NullOrEmptyWatermarkDrawsNothing) {
    Mark mark;
    const struct {
        HBITMAP bitmap;
        int w, h;
    } cases[] = {{nullptr, 10, 10}, {mark.bitmap, 0, 10}, {mark.bitmap, 10, -3}};
    for (const auto& c : cases) {
        Canvas canvas;
        WatermarkParams params;
        EXPECT_EQ(ApplyWatermark(canvas.bitmap.Get(), params, c.bitmap, c.w, c.h, true, false, RECT{0, 0, 40, 40}), 0);
        EXPECT_EQ(canvas.At(0, 0), kTarget);
        EXPECT_EQ(canvas.At(5, 5), kTarget);
    }
    EXPECT_EQ(ApplyWatermark(nullptr, WatermarkParams(), mark.bitmap, 10, 10, true, false, RECT{0, 0, 40, 40}), 0);
}

TEST(WatermarkParamsFromOptions, KeyColourChannelsAreClampedAndAnglesAdd) {
    struct Case {
        int hide, red, green, blue;
        unsigned expected;
    };
    const Case cases[] = {
        {0, 255, 255, 255, 0xFF000000u},
        {1, 255, 255, 255, 0xFFFFFFFFu},
        {1, 0x12, 0x34, 0x56, 0xFF123456u},
        {1, 300, -5, 256, 0xFFFF00FFu},
        {1, -1, 1000, 0, 0xFF00FF00u},
    };
    for (const Case& c : cases) {
        COpWatermarkPropertyPage options;
        options.HideColor = c.hide;
        options.Red = c.red;
        options.Green = c.green;
        options.Blue = c.blue;
        options.RotateAngle = 180;
        options.Rotation = 10;
        const WatermarkParams params = WatermarkParamsFromOptions(options);
        EXPECT_EQ(static_cast<unsigned>(params.keyColour), c.expected);
        EXPECT_EQ(params.angle, 190);
    }
}

TEST(BuildWatermarkBitmap, TextAndImageChoicesWithRotateSettings) {
    COpWatermarkPropertyPage options;
    options.Choice = 1;
    options.Text = L"워터마크 Vesk";
    options.FontFace = L"Tahoma";
    options.FontSize = -32;
    options.FontUnderline = true;
    options.TextBkR = 0;
    options.TextBkG = 0;
    options.TextBkB = 255;
    HDC screen = GetDC(nullptr);
    WatermarkBitmap current;
    // Underlined, on a turned base font: flat text, the underline its bottom row.
    LOGFONTW turned = {};
    turned.lfEscapement = turned.lfOrientation = 1024;
    HFONT base = CreateFontIndirectW(&turned);
    BuildWatermarkBitmap(options, base, screen, current);
    DeleteObject(base);
    CDibImage mark;
    ASSERT_TRUE(mark.CreateFromHBITMAP(current.bitmap));
    int underlined = 0;
    for (int x = 0; x < current.width; ++x)
        underlined += PixelAt(mark, x, current.height - 1) == 0;
    EXPECT_GT(underlined, current.width * 3 / 4) << current.width << "x" << current.height;
    const int rotateAngles[][2] = {{0, 0}, {1, 180}, {2, 90}, {3, -90}, {4, 0}, {5, 0}};
    for (const auto& rotate : rotateAngles) {
        options.Rotate = rotate[0];
        BuildWatermarkBitmap(options, nullptr, screen, current);
        ASSERT_NE(current.bitmap, nullptr);
        EXPECT_GT(current.width, 0);
        EXPECT_GT(current.height, 0);
        EXPECT_EQ(options.RotateAngle, rotate[1]);
    }
    // Empty text or an image path that does not load: no watermark, old one freed.
    options.Text.Empty();
    BuildWatermarkBitmap(options, nullptr, screen, current);
    EXPECT_EQ(current.bitmap, nullptr);
    options.Choice = 0;
    options.ImageDir = L"C:\\no\\such\\mark.png";
    BuildWatermarkBitmap(options, nullptr, screen, current);
    EXPECT_EQ(current.bitmap, nullptr);
    ReleaseDC(nullptr, screen);
}
