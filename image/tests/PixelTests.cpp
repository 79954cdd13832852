#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "image/DibImage.h"
#include "image/ImageIterator.h"
#include "image/tests/ImageTestSupport.h"

using imagetest::InspectableImage;
using imagetest::Quad;
using imagetest::QuadText;
using imagetest::SameQuad;

namespace {

// An independent model of a DIB row: pixel x of a `bpp`-bit row occupies bits
// [x*bpp, x*bpp + bpp) counted from the most significant bit of byte 0.
uint32_t PackedRead(const BYTE* row, int x, int bpp) {
  uint32_t value = 0;
  for (int bit = 0; bit < bpp; ++bit) {
    const size_t position = static_cast<size_t>(x) * bpp + bit;
    value = (value << 1) | ((row[position / 8] >> (7 - position % 8)) & 1u);
  }
  return value;
}

void PackedWrite(BYTE* row, int x, int bpp, uint32_t value) {
  for (int bit = 0; bit < bpp; ++bit) {
    const size_t position = static_cast<size_t>(x) * bpp + bit;
    const uint32_t set = (value >> (bpp - 1 - bit)) & 1u;
    const BYTE mask = static_cast<BYTE>(0x80 >> (position % 8));
    row[position / 8] = static_cast<BYTE>(set ? row[position / 8] | mask : row[position / 8] & ~mask);
  }
}

TEST(Pixels, RoundTripAgainstIndependentPackerAtEveryDepthAndWidth) {
  std::mt19937 random(7);
  for (int bpp : {1, 4, 8, 24}) {
    for (int width = 1; width <= 33; ++width) {
      SCOPED_TRACE("bpp " + std::to_string(bpp) + " width " + std::to_string(width));
      const int height = 3;
      CDibImage image(width, height, static_cast<DWORD>(bpp), 0);
      ASSERT_TRUE(image.IsValid());
      if (bpp < 24) image.SetGrayPalette();
      const size_t bytes = static_cast<size_t>(image.GetEffWidth()) * height;
      // Random rows, padding included: writes must leave every other bit alone.
      for (size_t i = 0; i < bytes; ++i) image.GetBits()[i] = static_cast<BYTE>(random());
      std::vector<BYTE> model(image.GetBits(), image.GetBits() + bytes);
      const uint32_t maxValue = bpp == 24 ? 0xFFFFFFu : (1u << bpp) - 1;

      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          const BYTE* row = model.data() + static_cast<size_t>(y) * image.GetEffWidth();
          if (bpp == 24) {
            const uint32_t packed = PackedRead(row, x, 24);  // bytes blue, green, red
            const RGBQUAD got = image.GetPixelColor(x, y, false);
            EXPECT_EQ(got.rgbBlue, packed >> 16);
            EXPECT_EQ(got.rgbGreen, (packed >> 8) & 0xFF);
            EXPECT_EQ(got.rgbRed, packed & 0xFF);
          } else {
            EXPECT_EQ(image.GetPixelIndex(x, y), PackedRead(row, x, bpp)) << x << "," << y;
          }
        }

      // Write in a scattered order; compare the whole block after each write.
      std::vector<std::pair<int, int>> order;
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) order.emplace_back(x, y);
      std::shuffle(order.begin(), order.end(), random);
      for (const auto& [x, y] : order) {
        const uint32_t value = random() & maxValue;
        BYTE* row = model.data() + static_cast<size_t>(y) * image.GetEffWidth();
        if (bpp == 24) {
          image.SetPixelColor(x, y, Quad(value & 0xFF, (value >> 8) & 0xFF, value >> 16, 0x55));
          PackedWrite(row, x, 24, ((value >> 16) << 16) | (value & 0xFF00) | (value & 0xFF));
        } else {
          // Extra high bits must be dropped, not spill into the neighbour.
          image.SetPixelIndex(x, y, static_cast<BYTE>(value | (~maxValue & 0xF0)));
          PackedWrite(row, x, bpp, value);
        }
        ASSERT_EQ(std::memcmp(image.GetBits(), model.data(), bytes), 0) << "after " << x << "," << y;
      }
      // Outside writes change nothing.
      image.SetPixelIndex(width, 0, 1);
      image.SetPixelIndex(-1, 0, 1);
      image.SetPixelColor(0, height, Quad(1, 2, 3));
      EXPECT_EQ(std::memcmp(image.GetBits(), model.data(), bytes), 0);
    }
  }
}

TEST(Pixels, OutsideAndTransparentReads) {
  InspectableImage indexed(4, 4, 8, 0);
  indexed.SetGrayPalette();
  indexed.SetPaletteColor(9, 1, 2, 3, 4);
  indexed.SetPixelIndex(0, 0, 77);
  // Without transparency an outside read answers pixel (0, 0).
  EXPECT_EQ(indexed.GetPixelIndex(-1, 0), 77);
  EXPECT_EQ(indexed.GetPixelColor(4, 0).rgbRed, 77);
  indexed.SetTransIndex(9);
  EXPECT_EQ(indexed.GetPixelIndex(-1, 0), 9);
  EXPECT_TRUE(SameQuad(indexed.GetPixelColor(0, 99), Quad(1, 2, 3, 4)));
  EXPECT_TRUE(SameQuad(indexed.GetTransColor(), Quad(1, 2, 3, 4)));

  InspectableImage rgb(2, 2, 24, 0);
  rgb.SetPixelColor(0, 0, Quad(10, 20, 30));
  rgb.SetTransColor(Quad(5, 6, 7, 99));
  EXPECT_TRUE(SameQuad(rgb.GetTransColor(), Quad(5, 6, 7, 0)));  // reserved byte cleared
  EXPECT_TRUE(SameQuad(rgb.GetPixelColor(-5, -5), Quad(10, 20, 30)));
  rgb.SetTransIndex(5);  // a true-colour image stores 0: transparent, stored colour
  EXPECT_EQ(rgb.GetTransIndex(), 0);
  EXPECT_TRUE(SameQuad(rgb.GetPixelColor(-5, -5), Quad(5, 6, 7)));
  EXPECT_EQ(rgb.GetPixelIndex(0, 0), 0);
  EXPECT_EQ(rgb.BlindGetPixelPointer(1, 1), rgb.GetBits(1) + 3);
  EXPECT_EQ(indexed.BlindGetPixelPointer(1, 1), nullptr);

  // Alpha from the plane, written only when asked.
  rgb.AlphaCreate();
  rgb.SetPixelColor(1, 1, Quad(1, 1, 1, 40), true);
  rgb.SetPixelColor(1, 0, Quad(1, 1, 1, 50), false);
  EXPECT_EQ(rgb.GetPixelColor(1, 1).rgbReserved, 40);
  EXPECT_EQ(rgb.GetPixelColor(1, 0).rgbReserved, 255);
  EXPECT_EQ(rgb.GetPixelColor(1, 1, false).rgbReserved, 0);

  CDibImage empty;
  EXPECT_EQ(empty.GetPixelIndex(0, 0), 0);
  EXPECT_TRUE(SameQuad(empty.GetPixelColor(0, 0), Quad(0, 0, 0)));
  empty.SetPixelColor(0, 0, Quad(1, 2, 3));  // nothing to write into
}

TEST(Pixels, TransIndexRule) {
  struct Case {
    DWORD bpp;
    int32_t index, stored;
  } const cases[] = {{8, 300, 0}, {8, 255, 255}, {8, -1, -1}, {8, -7, -7}, {24, 5, 0},
                     {24, -1, -1}, {1, 1, 1},    {1, 2, 0},    {4, 15, 15}, {4, 16, 0}};
  for (const auto& c : cases) {
    CDibImage image(2, 2, c.bpp, 0);
    image.SetTransIndex(c.index);
    EXPECT_EQ(image.GetTransIndex(), c.stored) << c.bpp << "/" << c.index;
    EXPECT_EQ(image.IsTransparent(), c.stored >= 0);
  }
}

BYTE BruteNearest(const std::vector<RGBQUAD>& palette, DWORD count, const RGBQUAD& c) {
  int best = 1 << 30;
  BYTE answer = 0;
  for (DWORD i = 0; i < count; ++i) {
    const int db = palette[i].rgbBlue - c.rgbBlue, dg = palette[i].rgbGreen - c.rgbGreen,
              dr = palette[i].rgbRed - c.rgbRed;
    if (db * db + dg * dg + dr * dr < best) {
      best = db * db + dg * dg + dr * dr;
      answer = static_cast<BYTE>(i);
    }
  }
  return answer;
}

TEST(Palette, NearestIndexMatchesBruteForce) {
  std::mt19937 random(11);
  struct Case {
    DWORD bpp, important;
    int levels;  // few levels give many equal entries and equal distances
  } const cases[] = {{8, 0, 256}, {8, 0, 4}, {8, 17, 256}, {8, 300, 3}, {4, 0, 3},
                     {4, 8, 256}, {1, 0, 2}, {1, 1, 256}, {8, 256, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.bpp) + "/" + std::to_string(c.important) + "/" +
                 std::to_string(c.levels));
    InspectableImage image(1, 1, c.bpp, 0);
    const DWORD colours = image.GetNumColors();
    std::vector<RGBQUAD> palette(colours);
    auto level = [&] { return static_cast<int>((random() % c.levels) * 255 / std::max(1, c.levels - 1)); };
    for (auto& entry : palette) entry = Quad(level(), level(), level());
    image.SetPalette(palette.data(), colours);
    // Written raw: the setter clamps, but a decoder's header may say anything.
    image.Header().biClrImportant = c.important;
    const DWORD searched = c.important && c.important < colours ? c.important : colours;
    for (int i = 0; i < 2000; ++i) {
      const RGBQUAD colour = (i % 3 == 0) ? palette[random() % colours]
                                          : Quad(random() & 255, random() & 255, random() & 255,
                                                 random() & 255);
      const BYTE got = image.GetNearestIndex(colour);
      ASSERT_EQ(got, BruteNearest(palette, searched, colour)) << QuadText(colour);
      ASSERT_LT(got, searched);
      ASSERT_EQ(image.GetNearestIndex(colour), got);  // from the cache
    }
  }
}

TEST(Palette, NearestCacheIsDroppedWheneverThePaletteMayChange) {
  const RGBQUAD red = Quad(250, 0, 0);
  using Change = void (*)(InspectableImage&);
  struct Case {
    const char* name;
    Change change;
  } const cases[] = {
      {"SetPaletteColor", [](InspectableImage& i) { i.SetPaletteColor(3, 250, 0, 0); }},
      {"SetPalette", [](InspectableImage& i) {
         RGBQUAD p[4] = {Quad(0, 0, 0), Quad(1, 1, 1), Quad(2, 2, 2), Quad(250, 0, 0)};
         i.SetPalette(p, 4);
       }},
      {"SetPalette triples", [](InspectableImage& i) {
         const BYTE t[12] = {0, 0, 0, 1, 1, 1, 2, 2, 2, 250, 0, 0};
         i.SetPalette(t, 4);
       }},
      {"SetPalette arrays", [](InspectableImage& i) {
         const BYTE r[4] = {0, 0, 0, 250}, g[4] = {0, 0, 0, 0};
         i.SetPalette(4, r, g, g);
       }},
      {"GetPalette write", [](InspectableImage& i) { i.GetPalette()[3] = Quad(250, 0, 0); }},
      {"SwapIndex", [](InspectableImage& i) {
         i.SetPaletteColor(5, 250, 0, 0);
         i.GetNearestIndex(Quad(250, 0, 0));  // caches 5
         i.SwapIndex(3, 5);
       }},
      {"SetClrImportant", [](InspectableImage& i) {
         i.GetPalette()[3] = Quad(250, 0, 0);
         i.SetClrImportant(2);
         i.GetNearestIndex(Quad(250, 0, 0));
         i.SetClrImportant(16);
       }},
      {"Create", [](InspectableImage& i) {
         i.Create(1, 1, 4, 0);
         i.SetPaletteColor(3, 250, 0, 0);
       }},
      {"Transfer", [](InspectableImage& i) {
         InspectableImage other(1, 1, 4, 0);
         other.SetPaletteColor(3, 250, 0, 0);
         other.Info().nearestColor = Quad(250, 0, 0);  // a stale answer travelling along
         other.Info().nearestIndex = 0;
         other.Info().nearestValid = true;
         i.Transfer(other);
       }},
      {"CopyInfo", [](InspectableImage& i) {
         InspectableImage fresh(0);
         fresh.CopyInfo(i);
         fresh.Create(1, 1, 4, 0);
         fresh.SetPaletteColor(3, 250, 0, 0);
         i.Transfer(fresh);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    InspectableImage image(1, 1, 4, 0);  // all black: red maps to 0
    ASSERT_EQ(image.GetNearestIndex(red), 0);
    c.change(image);
    EXPECT_EQ(image.GetNearestIndex(red), 3);
  }
}

TEST(Palette, SettersAndQueries) {
  InspectableImage image(3, 2, 4, 0);
  EXPECT_EQ(image.GetPaletteSize(), 64u);
  EXPECT_TRUE(image.IsIndexed());
  image.SetGrayPalette();
  EXPECT_TRUE(SameQuad(image.GetPaletteColor(1), Quad(17, 17, 17)));
  EXPECT_TRUE(SameQuad(image.GetPaletteColor(15), Quad(255, 255, 255)));
  EXPECT_TRUE(SameQuad(image.GetPaletteColor(16), Quad(0, 0, 0)));  // past the end: zero
  EXPECT_FALSE(image.IsGrayScale());  // a 16-entry ramp is not the identity
  BYTE r = 0, g = 0, b = 0;
  EXPECT_TRUE(image.GetPaletteColor(2, &r, &g, &b));
  EXPECT_EQ(r + g + b, 3 * 34);
  EXPECT_FALSE(image.GetPaletteColor(16, &r, &g, &b));

  // Entry counts are clamped to the palette.
  std::vector<RGBQUAD> big(300, Quad(9, 9, 9, 9));
  image.SetPalette(big.data(), 300);
  EXPECT_TRUE(SameQuad(image.GetPaletteColor(15), Quad(9, 9, 9, 9)));
  const BYTE triples[6] = {1, 2, 3, 4, 5, 6};
  image.SetPalette(triples, 2);
  EXPECT_TRUE(SameQuad(image.GetPaletteColor(1), Quad(4, 5, 6, 9)));  // reserved untouched
  const BYTE reds[2] = {7, 8};
  image.SetPalette(2, reds);
  EXPECT_TRUE(SameQuad(image.GetPaletteColor(1), Quad(8, 8, 8, 9)));

  // SetClrImportant per depth.
  struct Important {
    DWORD bpp, asked, stored;
  } const importants[] = {{1, 5, 2}, {1, 1, 1}, {4, 20, 16}, {8, 200, 200},
                          {8, 257, 0}, {8, 0, 0}, {4, 256, 16}};
  for (const auto& c : importants) {
    CDibImage sized(1, 1, c.bpp, 0);
    sized.SetClrImportant(c.asked);
    EXPECT_EQ(sized.GetClrImportant(), c.stored) << c.bpp << "/" << c.asked;
    EXPECT_EQ(reinterpret_cast<const BITMAPINFOHEADER*>(sized.GetDIB())->biClrImportant, c.stored);
  }
  InspectableImage rgb(1, 1, 24, 0);
  rgb.Header().biClrImportant = 7;
  rgb.SetClrImportant(3);
  EXPECT_EQ(rgb.GetClrImportant(), 7u);
  EXPECT_EQ(rgb.GetPalette(), nullptr);
  EXPECT_EQ(rgb.GetNearestIndex(Quad(1, 2, 3)), 0);

  // A degenerate one-entry palette must not divide by zero.
  InspectableImage single(1, 1, 8, 0);
  single.Header().biClrUsed = 1;
  single.SetGrayPalette();
  EXPECT_TRUE(SameQuad(single.GetPaletteColor(0), Quad(0, 0, 0)));

  CDibImage grey(1, 1, 8, 0);
  grey.SetGrayPalette();
  EXPECT_TRUE(grey.IsGrayScale());
  grey.SetPaletteColor(200, 200, 200, 201);
  EXPECT_FALSE(grey.IsGrayScale());

  EXPECT_EQ(CDibImage::CompareColors(&big[0], &big[0]), 0);
  const RGBQUAD white = Quad(255, 255, 255), green = Quad(0, 255, 0);
  EXPECT_EQ(CDibImage::CompareColors(&white, &green), 255 - ((601 * 255) >> 10));
  EXPECT_TRUE(SameQuad(CDibImage::RGBtoRGBQUAD(RGB(1, 2, 3)), Quad(1, 2, 3)));
}

TEST(Palette, SwapsAndChannelOrder) {
  CDibImage image(9, 2, 4, 0);
  image.SetGrayPalette();
  for (int x = 0; x < 9; ++x) image.SetPixelIndex(x, 1, static_cast<BYTE>(x % 3));
  image.SwapIndex(0, 2);
  for (int x = 0; x < 9; ++x) EXPECT_EQ(image.GetPixelIndex(x, 1), 2 - x % 3) << x;
  EXPECT_TRUE(SameQuad(image.GetPaletteColor(0), Quad(34, 34, 34)));
  image.SwapIndex(0, 16);  // out of range: nothing
  EXPECT_TRUE(SameQuad(image.GetPaletteColor(0), Quad(34, 34, 34)));

  image.SetPaletteColor(4, 1, 2, 3, 4);
  image.SwapRGB2BGR();
  EXPECT_TRUE(SameQuad(image.GetPaletteColor(4), Quad(3, 2, 1, 4)));

  CDibImage rgb(5, 2, 24, 0);
  rgb.SetPixelColor(4, 1, Quad(10, 20, 30));
  rgb.SwapRGB2BGR();
  EXPECT_TRUE(SameQuad(rgb.GetPixelColor(4, 1, false), Quad(30, 20, 10)));

  // RGBtoBGR stops at the shortest of length, stride and width * 3.
  struct Case {
    int32_t length;
    int swapped;  // whole pixels swapped
  } const cases[] = {{0, 0}, {-3, 0}, {5, 1}, {6, 2}, {100, 5}};
  for (const auto& c : cases) {
    std::vector<BYTE> buffer(100);
    for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<BYTE>(i);
    rgb.RGBtoBGR(buffer.data(), c.length);
    for (int p = 0; p < 33; ++p) {
      const bool swapped = p < c.swapped;
      EXPECT_EQ(buffer[3 * p], swapped ? 3 * p + 2 : 3 * p) << c.length << "/" << p;
      EXPECT_EQ(buffer[3 * p + 2], swapped ? 3 * p : 3 * p + 2);
    }
  }
  std::vector<BYTE> untouched = {1, 2, 3};
  image.RGBtoBGR(untouched.data(), 3);  // indexed: nothing
  EXPECT_EQ(untouched[0], 1);
}

TEST(Palette, StandardPalettes) {
  struct Case {
    DWORD bpp;
    int entry;
    RGBQUAD colour;
  } const cases[] = {
      {1, 0, Quad(0, 0, 0)},         {1, 1, Quad(255, 255, 255)},   {4, 7, Quad(192, 192, 192)},
      {4, 8, Quad(128, 128, 128)},   {4, 13, Quad(255, 0, 255)},    {8, 0, Quad(0, 0, 0)},
      {8, 9, Quad(166, 202, 240)},   {8, 10, Quad(255, 240, 212)},  {8, 21, Quad(80, 50, 0)},
      {8, 16, Quad(255, 170, 0)},    {8, 40, Quad(254, 0, 0)},      {8, 41, Quad(220, 0, 0)},
      {8, 22, Quad(255, 227, 212)},  {8, 29, Quad(220, 73, 0)},     {8, 52, Quad(255, 0, 85)},
      {8, 225, Quad(80, 80, 0)},     {8, 220, Quad(254, 254, 0)},   {8, 226, Quad(242, 242, 242)},
      {8, 245, Quad(14, 14, 14)},    {8, 246, Quad(255, 251, 240)}, {8, 255, Quad(255, 255, 255)},
  };
  for (const auto& c : cases) {
    CDibImage image(1, 1, c.bpp, 0);
    image.SetPaletteColor(static_cast<DWORD>(c.entry), 1, 1, 1, 1);
    image.SetStdPalette();
    EXPECT_TRUE(SameQuad(image.GetPaletteColor(static_cast<DWORD>(c.entry)), c.colour))
        << c.bpp << "/" << c.entry << " " << QuadText(image.GetPaletteColor(static_cast<DWORD>(c.entry)));
  }
}

TEST(Attributes, ByteOrderAndSmallSettings) {
  InspectableImage image(0);
  EXPECT_EQ(image.ntohs(0x1234), 0x1234);
  EXPECT_EQ(image.ntohl(0x12345678u), 0x12345678u);
  image.Info().littleEndianHost = false;
  EXPECT_EQ(image.ntohs(0x1234), 0x3412);
  EXPECT_EQ(image.ntohl(0x12345678u), 0x78563412u);
  BITMAPINFOHEADER header{};
  header.biWidth = 0x01000000;
  header.biBitCount = 0x1800;
  header.biClrImportant = 0xFF;
  image.bihtoh(&header);
  EXPECT_EQ(header.biWidth, 1);
  EXPECT_EQ(header.biBitCount, 24);
  EXPECT_EQ(header.biClrImportant, 0xFF000000u);

  struct Quality {
    float stored;
    BYTE read;
  } const qualities[] = {{90.0f, 90}, {74.5f, 75}, {74.4f, 74}, {-3.0f, 0}, {1e9f, 255}};
  for (const auto& q : qualities) {
    image.Info().jpegQuality = q.stored;
    EXPECT_EQ(image.GetJpegQuality(), q.read) << q.stored;
  }
  image.SetOffset(3, -4);
  EXPECT_EQ(image.Info().xOffset, 3);
  EXPECT_EQ(image.Info().yOffset, -4);
}

TEST(ImageIterator, MovesAndCopiesOnlyOnRowsOfTheImage) {
  CDibImage image(5, 3, 8, 0);  // stride 8
  const size_t stride = image.GetEffWidth();
  std::vector<BYTE> pattern(stride + 4, 0xAB);
  CImageIterator it(&image);
  it.Upset();
  it.SetRow(pattern.data(), 3);
  EXPECT_EQ(image.GetBits(2)[2], 0xAB);
  EXPECT_EQ(image.GetBits(2)[3], 0);
  EXPECT_TRUE(it.PrevRow());
  it.SetRow(pattern.data(), -1);  // whole stride
  EXPECT_EQ(image.GetBits(1)[stride - 1], 0xAB);
  EXPECT_TRUE(it.PrevRow());
  it.SetRow(pattern.data(), 100);  // beyond the stride: the stride
  EXPECT_FALSE(it.PrevRow());
  EXPECT_FALSE(it.PrevRow());
  std::vector<BYTE> before(image.GetDIB(), image.GetDIB() + image.GetSize());
  it.SetRow(pattern.data(), -1);  // below row 0: nothing
  EXPECT_EQ(it.SetY(3), image.GetBits(0) + 3 * stride);
  it.SetRow(pattern.data(), -1);  // the end position is no row
  it.SetRow(pattern.data(), 0);
  EXPECT_EQ(it.SetY(4), image.GetBits(0) + 3 * stride);  // refused, unchanged
  EXPECT_EQ(it.SetY(-1), image.GetBits(0) + 3 * stride);
  EXPECT_EQ(std::vector<BYTE>(image.GetDIB(), image.GetDIB() + image.GetSize()), before);

  std::vector<BYTE> out(stride + 4, 0x11);
  it.GetRow(out.data(), 4);  // at the end position: nothing
  EXPECT_EQ(out[0], 0x11);
  it.SetY(1);
  it.GetRow(out.data(), 100);
  EXPECT_EQ(out[stride - 1], 0xAB);
  EXPECT_EQ(out[stride], 0x11);
  it.GetRow(out.data(), 0);

  CDibImage empty;
  CImageIterator none(&empty);
  none.Upset();
  none.SetRow(pattern.data(), -1);
  none.GetRow(out.data(), 5);
  EXPECT_FALSE(none.PrevRow());
  EXPECT_EQ(none.SetY(0), nullptr);
}

}  // namespace
