// TGA, PCX, SKA and WBMP on files built byte by byte: layouts, orientations,
// run-length packets, damaged headers and data, and what the encoders write.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/formats/DibImagePCX.h"
#include "image/formats/DibImageSKA.h"
#include "image/formats/DibImageTGA.h"
#include "image/formats/DibImageWBMP.h"
#include "image/streams/MemoryStream.h"
#include "image/tests/FormatTestSupport.h"

using formattest::Rgba;
using formattest::ScreenPixel;

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

bool DecodeBytes(CDibImage& image, const Bytes& bytes, DWORD id) {
  Bytes copy = bytes;
  CMemoryStream stream(copy.data(), uint32_t(copy.size()));
  return image.Decode(&stream, id);
}

Bytes EncodeBytes(CDibImage& image, DWORD id) {
  CMemoryStream stream;
  stream.Open();
  if (!image.Encode(&stream, id)) return {};
  const uint8_t* data = stream.GetBuffer(false);
  return Bytes(data, data + stream.Size());
}

// Screen pixels, top row first.
std::vector<Rgba> Pixels(const CDibImage& image) {
  std::vector<Rgba> out;
  for (int32_t y = 0; y < int32_t(image.GetHeight()); ++y)
    for (int32_t x = 0; x < int32_t(image.GetWidth()); ++x) out.push_back(ScreenPixel(image, x, y));
  return out;
}

std::string Show(const std::vector<Rgba>& pixels) {
  std::string text;
  for (const Rgba& p : pixels)
    text += "(" + std::to_string(p.r) + "," + std::to_string(p.g) + "," + std::to_string(p.b) + "," +
            std::to_string(p.a) + ")";
  return text;
}

constexpr Rgba kBlack{0, 0, 0, 255}, kWhite{255, 255, 255, 255};
constexpr Rgba kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kBlue{0, 0, 255, 255};

// A picture with distinct colours (black and white at 1 bit), an alpha plane
// on request, for round trips.
CDibImage MakeImage(int32_t width, int32_t height, DWORD bpp, bool alpha = false) {
  CDibImage image(width, height, bpp);
  for (DWORD i = 0; i < image.GetNumColors(); ++i)
    image.SetPaletteColor(i, BYTE(i * 37 + 5), BYTE(255 - i * 3), BYTE(i * 11), 0);
  if (bpp == 1) image.SetGrayPalette();
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      if (image.IsIndexed()) image.SetPixelIndex(x, y, BYTE((x * 3 + y * 5) % image.GetNumColors()));
      else image.SetPixelColor(x, y, RGBQUAD{BYTE(x * 23), BYTE(y * 41 + 1), BYTE(200 - x * y), 0});
    }
  if (alpha) {
    image.AlphaCreate();
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) image.AlphaSet(x, y, BYTE(x * 50 + y * 7));
  }
  return image;
}

// ---- TGA ----

struct TgaSpec {
  uint8_t idLength = 0;
  uint8_t mapType = 0;
  uint8_t type = 2;
  uint16_t mapFirst = 0;
  uint16_t mapLength = 0;
  uint8_t mapBits = 0;
  uint16_t width = 2;
  uint16_t height = 2;
  uint8_t depth = 24;
  uint8_t descriptor = 0;
};

Bytes TgaHeader(const TgaSpec& s) {
  Bytes out = {s.idLength, s.mapType, s.type};
  Put16(out, s.mapFirst);
  Put16(out, s.mapLength);
  out.push_back(s.mapBits);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, s.width);
  Put16(out, s.height);
  out.push_back(s.depth);
  out.push_back(s.descriptor);
  return out;
}

TgaSpec Tga(uint8_t type, uint8_t depth, uint16_t width, uint16_t height, uint8_t descriptor = 0) {
  TgaSpec s;
  s.type = type;
  s.depth = depth;
  s.width = width;
  s.height = height;
  s.descriptor = descriptor;
  return s;
}

TgaSpec MappedTga(uint8_t type, uint16_t first, uint16_t length, uint8_t bits, uint16_t width, uint16_t height) {
  TgaSpec s = Tga(type, 8, width, height);
  s.mapType = 1;
  s.mapFirst = first;
  s.mapLength = length;
  s.mapBits = bits;
  return s;
}

TEST(Tga, DecodesLayoutsOrdersAndPackets) {
  // Four pixels in file order: blue, green, red, white (24-bit BGR).
  const Bytes bgr4 = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
  const struct {
    const char* name;
    Bytes file;
    WORD bpp;
    std::vector<Rgba> expected;  // screen order, top row first
  } cases[] = {
      {"bottom to top", TgaHeader(Tga(2, 24, 2, 2)) + bgr4, 24, {kRed, kWhite, kBlue, kGreen}},
      {"top to bottom", TgaHeader(Tga(2, 24, 2, 2, 0x20)) + bgr4, 24, {kBlue, kGreen, kRed, kWhite}},
      {"right to left", TgaHeader(Tga(2, 24, 2, 2, 0x10)) + bgr4, 24, {kWhite, kRed, kGreen, kBlue}},
      {"top to bottom, right to left", TgaHeader(Tga(2, 24, 2, 2, 0x30)) + bgr4, 24,
       {kGreen, kBlue, kWhite, kRed}},
      {"identification field skipped", [&] {
         TgaSpec s = Tga(2, 24, 1, 1);
         s.idLength = 3;
         return TgaHeader(s) + Bytes{'a', 'b', 'c', 1, 2, 3};
       }(), 24, {{3, 2, 1, 255}}},
      {"16-bit words, top bit ignored", TgaHeader(Tga(2, 16, 3, 1)) + Bytes{0xFF, 0x7F, 0x1F, 0x80, 0x00, 0x7C}, 24,
       {{248, 248, 248, 255}, {0, 0, 248, 255}, {248, 0, 0, 255}}},
      {"15-bit", TgaHeader(Tga(2, 15, 1, 1)) + Bytes{0xE0, 0x03}, 24, {{0, 248, 0, 255}}},
      {"32-bit with alpha", TgaHeader(Tga(2, 32, 2, 1, 0x08)) + Bytes{1, 2, 3, 0, 4, 5, 6, 200}, 24,
       {{3, 2, 1, 0}, {6, 5, 4, 200}}},
      {"32-bit top to bottom keeps alpha with its pixel", TgaHeader(Tga(2, 32, 1, 2, 0x28)) +
       Bytes{1, 2, 3, 10, 4, 5, 6, 20}, 24, {{3, 2, 1, 10}, {6, 5, 4, 20}}},
      {"24-bit colour map", TgaHeader(MappedTga(1, 0, 2, 24, 2, 1)) + Bytes{0, 0, 255, 255, 0, 0, 1, 0}, 8,
       {kBlue, kRed}},
      {"32-bit colour map", TgaHeader(MappedTga(1, 0, 3, 32, 3, 1)) +
       Bytes{0, 0, 255, 9, 0, 255, 0, 9, 255, 0, 0, 9} + Bytes{2, 1, 0}, 8, {kBlue, kGreen, kRed}},
      {"16-bit colour map", TgaHeader(MappedTga(1, 0, 2, 16, 2, 1)) + Bytes{0x00, 0x7C, 0x1F, 0x00, 1, 0}, 8,
       {{0, 0, 248, 255}, {248, 0, 0, 255}}},
      {"colour map from index 5", TgaHeader(MappedTga(1, 5, 1, 24, 2, 1)) + Bytes{10, 20, 30, 5, 0}, 8,
       {{30, 20, 10, 255}, kBlack}},
      {"true colour with a map to step over", [&] {
         TgaSpec s = Tga(2, 24, 1, 1);
         s.mapType = 1;
         s.mapLength = 2;
         s.mapBits = 16;
         return TgaHeader(s) + Bytes{9, 9, 9, 9, 7, 8, 9};
       }(), 24, {{9, 8, 7, 255}}},
      {"grey", TgaHeader(Tga(3, 8, 3, 1)) + Bytes{0, 128, 255}, 8,
       {kBlack, {128, 128, 128, 255}, kWhite}},
      // 3 x 2: a run of 4 crosses the first line's end, a raw packet of 2 ends the picture.
      {"run packet across a line", TgaHeader(Tga(10, 24, 3, 2, 0x20)) + Bytes{0x83, 0, 0, 255, 0x01, 0, 255, 0, 255, 0, 0},
       24, {kRed, kRed, kRed, kRed, kGreen, kBlue}},
      {"raw packet across a line", TgaHeader(Tga(10, 24, 2, 2, 0x20)) +
       Bytes{0x02, 0, 0, 255, 0, 255, 0, 255, 0, 0, 0x00, 255, 255, 255}, 24, {kRed, kGreen, kBlue, kWhite}},
      {"run of alpha pixels across a line", TgaHeader(Tga(10, 32, 1, 2, 0x28)) + Bytes{0x81, 7, 8, 9, 77}, 24,
       {{9, 8, 7, 77}, {9, 8, 7, 77}}},
      {"run-length grey", TgaHeader(Tga(11, 8, 4, 1)) + Bytes{0x82, 50, 0x00, 60}, 8,
       {{50, 50, 50, 255}, {50, 50, 50, 255}, {50, 50, 50, 255}, {60, 60, 60, 255}}},
      {"run-length colour-mapped", TgaHeader(MappedTga(9, 0, 2, 24, 3, 1)) + Bytes{0, 0, 0, 255, 255, 255} +
       Bytes{0x81, 1, 0x00, 0}, 8, {kWhite, kWhite, kBlack}},
  };
  for (const auto& c : cases) {
    CDibImage image;
    ASSERT_TRUE(DecodeBytes(image, c.file, CDibImage::kFormatTga)) << c.name << ": " << image.GetLastError();
    EXPECT_EQ(image.GetType(), CDibImage::kFormatTga) << c.name;
    EXPECT_EQ(image.GetBpp(), c.bpp) << c.name;
    EXPECT_EQ(Show(Pixels(image)), Show(c.expected)) << c.name;
  }
}

TEST(Tga, RejectsBrokenFiles) {
  const Bytes line = {1, 2, 3, 4, 5, 6};
  const struct {
    const char* name;
    Bytes file;
    const char* message;
  } cases[] = {
      {"short header", Bytes(17, 0), "Not a TGA"},
      {"image type 4", TgaHeader(Tga(4, 24, 2, 1)) + line, "Unknown TGA image type"},
      {"image type 0", TgaHeader(Tga(0, 24, 2, 1)) + line, "Unknown TGA image type"},
      {"width 0", TgaHeader(Tga(2, 24, 0, 1)), "bad TGA header"},
      {"height 0", TgaHeader(Tga(2, 24, 2, 0)), "bad TGA header"},
      {"depth 0", TgaHeader(Tga(2, 0, 2, 1)), "bad TGA header"},
      {"depth 7", TgaHeader(Tga(2, 7, 2, 1)), "bad TGA header"},
      {"map of 257 entries", TgaHeader(MappedTga(1, 0, 257, 24, 2, 1)), "bad TGA header"},
      {"map entries of 8 bits", TgaHeader(MappedTga(1, 0, 2, 8, 2, 1)), "bad TGA header"},
      {"colour-mapped without a map", TgaHeader(Tga(1, 8, 2, 1)) + Bytes{0, 0}, "bad TGA header"},
      {"16-bit indices", TgaHeader([] { TgaSpec s = MappedTga(1, 0, 2, 24, 2, 1); s.depth = 16; return s; }()),
       "bad TGA header"},
      {"8-bit true colour", TgaHeader(Tga(2, 8, 2, 1)) + Bytes{0, 0}, "bad TGA header"},
      {"24-bit grey", TgaHeader(Tga(3, 24, 2, 1)) + line, "bad TGA header"},
      {"identification field cut", [] { TgaSpec s = Tga(2, 24, 1, 1); s.idLength = 200; return TgaHeader(s); }(),
       "corrupted TGA"},
      {"colour map cut", TgaHeader(MappedTga(1, 0, 4, 24, 2, 1)) + Bytes{1, 2, 3}, "corrupted TGA"},
      {"data ends between lines", TgaHeader(Tga(2, 24, 2, 2)) + line, "corrupted TGA"},
      {"data ends inside a line", TgaHeader(Tga(2, 24, 2, 2)) + line + Bytes{7, 8, 9, 10}, "corrupted TGA"},
      {"packet without its pixel", TgaHeader(Tga(10, 24, 2, 1)) + Bytes{0x81, 1, 2}, "corrupted TGA"},
      {"raw packet cut", TgaHeader(Tga(10, 24, 2, 1)) + Bytes{0x01, 1, 2, 3}, "corrupted TGA"},
  };
  for (const auto& c : cases) {
    CDibImage image;
    EXPECT_FALSE(DecodeBytes(image, c.file, CDibImage::kFormatTga)) << c.name;
    EXPECT_STREQ(image.GetLastError(), c.message) << c.name;
    EXPECT_FALSE(image.IsValid()) << c.name;
  }
}

TEST(Tga, WritesEightTwentyFourAndThirtyTwoBits) {
  const struct {
    const char* name;
    DWORD bpp;
    bool alpha;
    Bytes header;
    size_t size;  // of a 3 x 2 image
  } cases[] = {
      {"8-bit", 8, false, {0, 1, 1, 0, 0, 0, 1, 24, 0, 0, 0, 0, 3, 0, 2, 0, 8, 0}, 18 + 768 + 6},
      {"24-bit", 24, false, {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 24, 0}, 18 + 18},
      {"24-bit with alpha", 24, true, {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 32, 8}, 18 + 24},
      {"8-bit with alpha drops it", 8, true, {0, 1, 1, 0, 0, 0, 1, 24, 0, 0, 0, 0, 3, 0, 2, 0, 8, 0}, 18 + 768 + 6},
  };
  for (const auto& c : cases) {
    CDibImage image = MakeImage(3, 2, c.bpp, c.alpha);
    const Bytes file = EncodeBytes(image, CDibImage::kFormatTga);
    ASSERT_EQ(file.size(), c.size) << c.name << ": " << image.GetLastError();
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 18), c.header) << c.name;
    // The bottom row comes first.
    const RGBQUAD first = image.GetPixelColor(0, 0, false);
    const size_t data = c.bpp == 8 ? 18 + 768 : 18;
    if (c.bpp == 8) {
      const RGBQUAD entry = image.GetPaletteColor(0);
      EXPECT_EQ(Bytes(file.begin() + 18, file.begin() + 21), (Bytes{entry.rgbBlue, entry.rgbGreen, entry.rgbRed}))
          << c.name;
      EXPECT_EQ(file[data], image.GetPixelIndex(0, 0)) << c.name;
    } else {
      EXPECT_EQ(Bytes(file.begin() + data, file.begin() + data + 3), (Bytes{first.rgbBlue, first.rgbGreen, first.rgbRed}))
          << c.name;
    }
    CDibImage again;
    ASSERT_TRUE(DecodeBytes(again, file, CDibImage::kFormatTga)) << c.name << ": " << again.GetLastError();
    EXPECT_EQ(again.AlphaIsValid(), c.alpha && c.bpp == 24) << c.name;
    if (!(c.alpha && c.bpp == 8)) {
      EXPECT_EQ(Show(Pixels(again)), Show(Pixels(image))) << c.name;
    }
  }
  CDibImage fourBit = MakeImage(3, 2, 4);
  EXPECT_TRUE(EncodeBytes(fourBit, CDibImage::kFormatTga).empty());
  EXPECT_STREQ(fourBit.GetLastError(), "Bit depth must be 8 or 24");
}

// ---- PCX ----

struct PcxSpec {
  uint8_t manufacturer = 10;
  uint8_t encoding = 1;
  uint8_t bits = 8;
  uint16_t xMin = 0, yMin = 0, xMax = 1, yMax = 0;
  uint16_t dpi = 72;
  Bytes headerPalette;  // up to 48 bytes
  uint8_t planes = 1;
  uint16_t bytesPerLine = 2;
};

Bytes PcxHeader(const PcxSpec& s) {
  Bytes out = {s.manufacturer, 5, s.encoding, s.bits};
  for (uint16_t v : {s.xMin, s.yMin, s.xMax, s.yMax, s.dpi, s.dpi}) Put16(out, v);
  Bytes palette = s.headerPalette;
  palette.resize(48, 0);
  out = out + palette;
  out.push_back(0);
  out.push_back(s.planes);
  Put16(out, s.bytesPerLine);
  Put16(out, 1);
  out.resize(128, 0);
  return out;
}

PcxSpec Pcx(uint8_t bits, uint8_t planes, uint16_t width, uint16_t height, uint16_t bytesPerLine,
            Bytes headerPalette = {}) {
  PcxSpec s;
  s.bits = bits;
  s.planes = planes;
  s.xMax = uint16_t(width - 1);
  s.yMax = uint16_t(height - 1);
  s.bytesPerLine = bytesPerLine;
  s.headerPalette = headerPalette;
  return s;
}

// The 256-colour palette that follows 8-bit data: entry i = (i, 255 - i, 7).
Bytes PcxTailPalette() {
  Bytes out = {12};
  for (int i = 0; i < 256; ++i) out = out + Bytes{uint8_t(i), uint8_t(255 - i), 7};
  return out;
}

const Bytes kFourColours = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};

TEST(Pcx, DecodesPlaneLayouts) {
  const struct {
    const char* name;
    Bytes file;
    WORD bpp;
    std::vector<Rgba> expected;
  } cases[] = {
      {"8 bits, palette behind the data", PcxHeader(Pcx(8, 1, 3, 1, 4)) + Bytes{1, 2, 0xC1, 0xC8, 0} + PcxTailPalette(),
       8, {{1, 254, 7, 255}, {2, 253, 7, 255}, {200, 55, 7, 255}}},
      {"24 bits in three planes", PcxHeader(Pcx(8, 3, 2, 1, 2)) + Bytes{0xC2, 255, 0, 9, 0xC2, 0x7F}, 24,
       {{255, 0, 127, 255}, {255, 9, 127, 255}}},
      {"fourth plane is alpha", PcxHeader(Pcx(8, 4, 2, 1, 2)) + Bytes{1, 2, 3, 4, 5, 6, 7, 8}, 24,
       {{1, 3, 5, 7}, {2, 4, 6, 8}}},
      {"1 bit is black and white", PcxHeader(Pcx(1, 1, 10, 1, 2, kFourColours)) + Bytes{0xA0, 0x40}, 1,
       {kWhite, kBlack, kWhite, kBlack, kBlack, kBlack, kBlack, kBlack, kBlack, kWhite}},
      {"2 bits in one plane", PcxHeader(Pcx(2, 1, 4, 1, 2, kFourColours)) + Bytes{0x1B, 0}, 4,
       {kBlack, kRed, kGreen, kBlue}},
      {"4 bits in one plane", PcxHeader(Pcx(4, 1, 3, 1, 2, kFourColours)) + Bytes{0x32, 0x10}, 4,
       {kBlue, kGreen, kRed}},
      {"two bit planes", PcxHeader(Pcx(1, 2, 4, 1, 2, kFourColours)) + Bytes{0x50, 0, 0x30, 0}, 4,
       {kBlack, kRed, kGreen, kBlue}},
      {"three bit planes", PcxHeader(Pcx(1, 3, 2, 1, 2, kFourColours + Bytes{9, 9, 9})) +
       Bytes{0x00, 0, 0x00, 0, 0xC1, 0x80, 0}, 4, {{9, 9, 9, 255}, kBlack}},
      {"four bit planes", PcxHeader(Pcx(1, 4, 1, 1, 2, kFourColours)) + Bytes{0x80, 0, 0x80, 0, 0, 0, 0, 0}, 4,
       {kBlue}},
      {"run across the end of a line", PcxHeader(Pcx(8, 3, 1, 2, 2)) + Bytes{0xC4, 10, 0xC8, 20}, 24,
       {{10, 10, 20, 255}, {20, 20, 20, 255}}},
      {"origin not at zero", [] {
         PcxSpec s = Pcx(8, 3, 1, 1, 2);
         s.xMin = 100;
         s.xMax = 100;
         s.yMin = s.yMax = 7;
         return PcxHeader(s) + Bytes{5, 0, 6, 0, 7, 0};
       }(), 24, {{5, 6, 7, 255}}},
  };
  for (const auto& c : cases) {
    CDibImage image;
    ASSERT_TRUE(DecodeBytes(image, c.file, CDibImage::kFormatPcx)) << c.name << ": " << image.GetLastError();
    EXPECT_EQ(image.GetType(), CDibImage::kFormatPcx) << c.name;
    EXPECT_EQ(image.GetBpp(), c.bpp) << c.name;
    EXPECT_EQ(image.GetXDPI(), 72) << c.name;
    EXPECT_EQ(Show(Pixels(image)), Show(c.expected)) << c.name;
  }
}

TEST(Pcx, RejectsBrokenFiles) {
  const struct {
    const char* name;
    Bytes file;
    const char* message;
  } cases[] = {
      {"short header", Bytes(127, 10), "Can't read PCX image"},
      {"not a PCX", [] { PcxSpec s; s.manufacturer = 11; return PcxHeader(s); }(), "Error: Not a PCX file"},
      {"unknown encoding", [] { PcxSpec s; s.encoding = 0; return PcxHeader(s); }(),
       "PCX file has unknown encoding scheme"},
      {"five planes", PcxHeader(Pcx(1, 5, 8, 1, 2)), "Can't handle image with more than 4 planes"},
      {"x max before x min", [] { PcxSpec s; s.xMin = 5; s.xMax = 3; return PcxHeader(s); }(), "corrupted PCX"},
      {"y max before y min", [] { PcxSpec s; s.yMin = 1; return PcxHeader(s); }(), "corrupted PCX"},
      {"plane line shorter than a row", PcxHeader(Pcx(8, 1, 5, 1, 4)), "corrupted PCX"},
      {"bit plane line shorter than a row", PcxHeader(Pcx(1, 4, 17, 1, 2)), "corrupted PCX"},
      {"3 bits per pixel", PcxHeader(Pcx(3, 1, 2, 1, 2)), "corrupted PCX"},
      {"no planes", PcxHeader(Pcx(8, 0, 2, 1, 2)), "corrupted PCX"},
      {"8 bits in two planes", PcxHeader(Pcx(8, 2, 2, 1, 2)),
       "PCX_PlanesToPixels: more than 4 planes or more than 1 bit per pixel"},
      {"4 bits in three planes", PcxHeader(Pcx(4, 3, 2, 1, 2)),
       "PCX_PlanesToPixels: more than 4 planes or more than 1 bit per pixel"},
      {"data cut", PcxHeader(Pcx(8, 3, 2, 2, 2)) + Bytes{1, 2, 3}, "corrupted PCX"},
      {"run cut before its byte", PcxHeader(Pcx(8, 3, 2, 1, 2)) + Bytes{0xC6}, "corrupted PCX"},
      {"run past the picture", PcxHeader(Pcx(8, 3, 2, 1, 2)) + Bytes{0xC4, 1, 0xC3, 1}, "repeat count spans end of image"},
      {"palette marker not 12", PcxHeader(Pcx(8, 1, 2, 1, 2)) + Bytes{1, 2, 13} + Bytes(768, 0),
       "bad color map signature"},
      {"palette cut", PcxHeader(Pcx(8, 1, 2, 1, 2)) + Bytes{1, 2, 12, 1, 2, 3}, "bad color map signature"},
  };
  for (const auto& c : cases) {
    CDibImage image;
    EXPECT_FALSE(DecodeBytes(image, c.file, CDibImage::kFormatPcx)) << c.name;
    EXPECT_STREQ(image.GetLastError(), c.message) << c.name;
    EXPECT_FALSE(image.IsValid()) << c.name;
  }
}

TEST(Pcx, EncoderLayoutAndRunLengthCodes) {
  // One line of 131 pixels: 0xC5, then 130 times 7.
  CDibImage image(131, 1, 8);
  image.SetPixelIndex(0, 0, 0xC5);
  for (int32_t x = 1; x < 131; ++x) image.SetPixelIndex(x, 0, 7);
  image.SetXDPI(300);
  const Bytes file = EncodeBytes(image, CDibImage::kFormatPcx);
  ASSERT_GT(file.size(), 128u + 769) << image.GetLastError();
  EXPECT_EQ(file[0], 10);
  EXPECT_EQ(file[1], 5);
  EXPECT_EQ(file[2], 1);
  EXPECT_EQ(file[3], 8);
  EXPECT_EQ(file[8] | file[9] << 8, 130);
  EXPECT_EQ(file[12] | file[13] << 8, 300);
  EXPECT_EQ(file[65], 1);
  EXPECT_EQ(file[66] | file[67] << 8, 132);  // always even
  // 0xC5 alone needs a count; 130 sevens split into 63 + 63 + 4; then the padding zero.
  EXPECT_EQ(Bytes(file.begin() + 128, file.end() - 769), (Bytes{0xC1, 0xC5, 0xFF, 7, 0xFF, 7, 0xC4, 7, 0}));
  EXPECT_EQ(file[file.size() - 769], 12);

  CDibImage rgb(1, 1, 24);
  rgb.SetPixelColor(0, 0, RGBQUAD{3, 2, 1, 0});
  const Bytes rgbFile = EncodeBytes(rgb, CDibImage::kFormatPcx);
  EXPECT_EQ(rgbFile[65], 3);
  EXPECT_EQ(rgbFile[66] | rgbFile[67] << 8, 2);
  EXPECT_EQ(Bytes(rgbFile.begin() + 128, rgbFile.end()), (Bytes{1, 0, 2, 0, 3, 0}));
}

TEST(Pcx, RoundTripsEveryDepth) {
  const struct {
    DWORD bpp;
    bool alpha;
    int planes;
    int bits;
  } cases[] = {{1, false, 1, 1}, {4, false, 4, 1}, {8, false, 1, 8}, {24, false, 3, 8}, {24, true, 4, 8}};
  for (const auto& c : cases) {
    for (int32_t width : {1, 8, 13}) {
      const std::string name = std::to_string(c.bpp) + (c.alpha ? "+alpha" : "") + " width " + std::to_string(width);
      CDibImage image = MakeImage(width, 5, c.bpp, c.alpha);
      const Bytes file = EncodeBytes(image, CDibImage::kFormatPcx);
      ASSERT_FALSE(file.empty()) << name << ": " << image.GetLastError();
      EXPECT_EQ(file[3], c.bits) << name;
      EXPECT_EQ(file[65], c.planes) << name;
      EXPECT_EQ((file[66] | file[67] << 8) % 2, 0) << name;
      CDibImage again;
      ASSERT_TRUE(DecodeBytes(again, file, CDibImage::kFormatPcx)) << name << ": " << again.GetLastError();
      EXPECT_EQ(again.GetBpp(), c.bpp) << name;
      EXPECT_EQ(again.AlphaIsValid(), c.alpha) << name;
      EXPECT_EQ(Show(Pixels(again)), Show(Pixels(image))) << name;
    }
  }
  // A 1-bit image whose first colour is white keeps its look, not its indices.
  CDibImage inverted(9, 2, 1);
  inverted.SetPaletteColor(0, 255, 255, 255);
  inverted.SetPaletteColor(1, 0, 0, 0);
  inverted.SetPixelIndex(3, 1, 1);
  const Bytes file = EncodeBytes(inverted, CDibImage::kFormatPcx);
  CDibImage again;
  ASSERT_TRUE(DecodeBytes(again, file, CDibImage::kFormatPcx)) << again.GetLastError();
  EXPECT_EQ(Show(Pixels(again)), Show(Pixels(inverted)));
  EXPECT_EQ(again.GetPixelIndex(3, 1), 0);
}

// ---- SKA ----

TEST(Ska, DecodesFixtureWithPaddedRows) {
  // 3 x 2, palette entry i = (i, 2i, 3i); rows top first: 1 2 3 / 4 5 6.
  Bytes file = {3, 0, 2, 0, 3, 0, 0, 0, 1};
  for (int i = 0; i < 256; ++i) file = file + Bytes{uint8_t(i), uint8_t(2 * i), uint8_t(3 * i)};
  file = file + Bytes{1, 2, 3, 4, 5, 6};
  CDibImage image;
  ASSERT_TRUE(DecodeBytes(image, file, CDibImage::kFormatSka)) << image.GetLastError();
  EXPECT_EQ(image.GetType(), CDibImage::kFormatSka);
  EXPECT_EQ(image.GetBpp(), 8);
  EXPECT_EQ(image.GetEffWidth(), 4u);
  EXPECT_EQ(Show(Pixels(image)), Show({{1, 2, 3, 255}, {2, 4, 6, 255}, {3, 6, 9, 255},
                                       {4, 8, 12, 255}, {5, 10, 15, 255}, {6, 12, 18, 255}}));

  // Cut inside the second row: what is missing is zero, never stale memory.
  Bytes cut(file.begin(), file.end() - 2);
  CDibImage partial;
  ASSERT_TRUE(DecodeBytes(partial, cut, CDibImage::kFormatSka));
  EXPECT_EQ(partial.GetPixelIndex(0, 0), 4);
  EXPECT_EQ(partial.GetPixelIndex(1, 0), 0);
  EXPECT_EQ(partial.GetPixelIndex(2, 0), 0);
  EXPECT_EQ(partial.GetPixelIndex(2, 1), 3);

  CDibImage query;
  query.SetEscape(-1);
  ASSERT_TRUE(DecodeBytes(query, Bytes(file.begin(), file.begin() + 9), CDibImage::kFormatSka));
  EXPECT_EQ(query.GetWidth(), 3u);
  EXPECT_EQ(query.GetHeight(), 2u);
  EXPECT_FALSE(query.IsValid());
}

TEST(Ska, ForeignHeadersFailWithoutAMessage) {
  const Bytes good = {3, 0, 2, 0, 3, 0, 0, 0, 1};
  auto with = [&](size_t at, uint8_t value) {
    Bytes b = good;
    b[at] = value;
    return b;
  };
  const struct {
    const char* name;
    Bytes file;
  } cases[] = {
      {"short", Bytes(good.begin(), good.begin() + 8)},
      {"depth code 4", with(4, 4)},
      {"tag", with(8, 2)},
      {"width 32768", with(1, 0x80)},
      {"height 0", with(2, 0)},
  };
  for (const auto& c : cases) {
    CDibImage image;
    EXPECT_FALSE(DecodeBytes(image, c.file, CDibImage::kFormatSka)) << c.name;
    EXPECT_STREQ(image.GetLastError(), "") << c.name;
  }
}

TEST(Ska, WritesExactBytesAndLeavesSmallDepthsAlone) {
  CDibImage eight(3, 2, 8);
  for (DWORD i = 0; i < 256; ++i) eight.SetPaletteColor(i, BYTE(i), BYTE(i ^ 0xFF), BYTE(i / 2));
  const BYTE rows[2][3] = {{9, 8, 7}, {6, 5, 4}};  // top row first
  for (int32_t x = 0; x < 3; ++x) {
    eight.SetPixelIndex(x, 1, rows[0][x]);
    eight.SetPixelIndex(x, 0, rows[1][x]);
  }
  Bytes expected = {3, 0, 2, 0, 3, 0, 0, 0, 1};
  for (int i = 0; i < 256; ++i) expected = expected + Bytes{uint8_t(i), uint8_t(i ^ 0xFF), uint8_t(i / 2)};
  expected = expected + Bytes{9, 8, 7, 6, 5, 4};
  EXPECT_EQ(EncodeBytes(eight, CDibImage::kFormatSka), expected);

  // 4 bits: indices widened to bytes, 256 palette entries (the rest black),
  // and the image keeps its depth.
  CDibImage four(2, 1, 4);
  four.SetPaletteColor(15, 1, 2, 3);
  four.SetPixelIndex(0, 0, 15);
  four.SetPixelIndex(1, 0, 2);
  const Bytes file = EncodeBytes(four, CDibImage::kFormatSka);
  ASSERT_EQ(file.size(), 9u + 768 + 2);
  EXPECT_EQ(Bytes(file.begin() + 9 + 45, file.begin() + 9 + 48), (Bytes{1, 2, 3}));
  EXPECT_EQ(Bytes(file.end() - 2, file.end()), (Bytes{15, 2}));
  EXPECT_EQ(four.GetBpp(), 4);
  CDibImage again;
  ASSERT_TRUE(DecodeBytes(again, file, CDibImage::kFormatSka));
  EXPECT_EQ(Show(Pixels(again)), Show(Pixels(four)));

  CDibImage rgb(2, 2, 24);
  EXPECT_TRUE(EncodeBytes(rgb, CDibImage::kFormatSka).empty());
  EXPECT_STREQ(rgb.GetLastError(), "SKA Images must be 8 bit or less");
}

// ---- WBMP ----

TEST(Wbmp, MultiByteIntegers) {
  const struct {
    DWORD value;
    Bytes bytes;
  } cases[] = {{0, {0}},
               {127, {0x7F}},
               {128, {0x81, 0x00}},
               {200, {0x81, 0x48}},
               {16384, {0x81, 0x80, 0x00}},
               {0xFFFFFFFF, {0x8F, 0xFF, 0xFF, 0xFF, 0x7F}}};
  for (const auto& c : cases) {
    CMemoryStream out;
    out.Open();
    ASSERT_TRUE(CDibImageWBMP::WbmpWriteInteger(&out, c.value));
    const uint8_t* data = out.GetBuffer(false);
    EXPECT_EQ(Bytes(data, data + out.Size()), c.bytes) << c.value;
    Bytes copy = c.bytes;
    CMemoryStream in(copy.data(), uint32_t(copy.size()));
    DWORD read = 1;
    ASSERT_TRUE(CDibImageWBMP::WbmpReadInteger(&in, &read)) << c.value;
    EXPECT_EQ(read, c.value);
  }
  for (Bytes bad : {Bytes{0x80, 0x80, 0x80, 0x80, 0x80, 0x01}, Bytes{0x90, 0x80, 0x80, 0x80, 0x00}, Bytes{0x81}}) {
    CMemoryStream in(bad.data(), uint32_t(bad.size()));
    DWORD read;
    EXPECT_FALSE(CDibImageWBMP::WbmpReadInteger(&in, &read)) << bad.size();
  }
}

TEST(Wbmp, DecodesAndRejects) {
  // 10 x 2: top row white, black, then eight white; bottom row all black.
  const Bytes file = {0, 0, 10, 2, 0xBF, 0xC0, 0x00, 0x00};
  CDibImage image;
  ASSERT_TRUE(DecodeBytes(image, file, CDibImage::kFormatWbmp)) << image.GetLastError();
  EXPECT_EQ(image.GetBpp(), 1);
  EXPECT_EQ(image.GetType(), CDibImage::kFormatWbmp);
  std::vector<Rgba> expected = {kWhite, kBlack};
  expected.insert(expected.end(), 8, kWhite);
  expected.insert(expected.end(), 10, kBlack);
  EXPECT_EQ(Show(Pixels(image)), Show(expected));

  CDibImage query;
  query.SetEscape(-1);
  ASSERT_TRUE(DecodeBytes(query, Bytes{0, 0, 0x81, 0x48, 3}, CDibImage::kFormatWbmp));
  EXPECT_EQ(query.GetWidth(), 200u);
  EXPECT_EQ(query.GetHeight(), 3u);
  EXPECT_EQ(query.GetType(), CDibImage::kFormatWbmp);
  EXPECT_FALSE(query.IsValid());

  CDibImage cut;
  ASSERT_TRUE(DecodeBytes(cut, Bytes{0, 0, 8, 3, 0xFF}, CDibImage::kFormatWbmp));
  EXPECT_EQ(Show(Pixels(cut)), Show([] {
              std::vector<Rgba> v(8, kWhite);
              v.insert(v.end(), 16, kBlack);
              return v;
            }()));

  const struct {
    const char* name;
    Bytes file;
    const char* message;
  } cases[] = {
      {"header cut", {0, 0, 10}, "Not a WBMP"},
      {"integer of six bytes", {0, 0, 0x80, 0x80, 0x80, 0x80, 0x80, 0x0A, 2}, "Not a WBMP"},
      {"type 1", {1, 0, 10, 2, 0, 0, 0, 0}, "Unsupported WBMP type"},
      {"width 0", {0, 0, 0, 2}, "Corrupted WBMP"},
      {"height 0", {0, 0, 2, 0}, "Corrupted WBMP"},
      {"width above 2^31", {0, 0, 0x88, 0x80, 0x80, 0x80, 0x00, 2}, "Corrupted WBMP"},
  };
  for (const auto& c : cases) {
    CDibImage bad;
    EXPECT_FALSE(DecodeBytes(bad, c.file, CDibImage::kFormatWbmp)) << c.name;
    EXPECT_STREQ(bad.GetLastError(), c.message) << c.name;
  }
}

TEST(Wbmp, WritesBlackAsBlackWhateverThePaletteOrder) {
  for (bool whiteFirst : {false, true}) {
    CDibImage image(200, 2, 1);
    image.SetPaletteColor(0, whiteFirst ? 255 : 0, whiteFirst ? 255 : 0, whiteFirst ? 255 : 0);
    image.SetPaletteColor(1, whiteFirst ? 0 : 255, whiteFirst ? 0 : 255, whiteFirst ? 0 : 255);
    for (int32_t x = 0; x < 200; x += 3) image.SetPixelIndex(x, 1, 1);
    const Bytes file = EncodeBytes(image, CDibImage::kFormatWbmp);
    ASSERT_EQ(file.size(), 5u + 2 * 25) << image.GetLastError();
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 5), (Bytes{0, 0, 0x81, 0x48, 2}));
    // Top row: pixel 0 is index 1, which is white only with the black-first palette.
    EXPECT_EQ(file[5] >> 7, whiteFirst ? 0 : 1) << whiteFirst;
    CDibImage again;
    ASSERT_TRUE(DecodeBytes(again, file, CDibImage::kFormatWbmp));
    EXPECT_EQ(Show(Pixels(again)), Show(Pixels(image))) << whiteFirst;
  }
  CDibImage eight(2, 2, 8);
  EXPECT_TRUE(EncodeBytes(eight, CDibImage::kFormatWbmp).empty());
  EXPECT_STREQ(eight.GetLastError(), "Can't save this image as WBMP");
}

// ---- Size queries and detection ----

TEST(SmallCodecs, SizeQueriesAndDetection) {
  const struct {
    const char* name;
    Bytes header;  // enough for the size, no pixel data
    DWORD id;
    DWORD width, height;
  } cases[] = {
      {"TGA", TgaHeader(Tga(10, 32, 300, 200)), CDibImage::kFormatTga, 300, 200},
      {"PCX", PcxHeader(Pcx(1, 4, 640, 480, 80)), CDibImage::kFormatPcx, 640, 480},
  };
  for (const auto& c : cases) {
    CDibImage query;
    query.SetEscape(-1);
    ASSERT_TRUE(DecodeBytes(query, c.header, c.id)) << c.name;
    EXPECT_FALSE(query.IsValid()) << c.name;
    EXPECT_EQ(query.GetWidth(), c.width) << c.name;
    EXPECT_EQ(query.GetHeight(), c.height) << c.name;
    EXPECT_EQ(query.GetType(), c.id) << c.name;
  }
  // Files of each format are found by detection and keep their own id.
  for (DWORD id : {DWORD(CDibImage::kFormatTga), DWORD(CDibImage::kFormatPcx), DWORD(CDibImage::kFormatWbmp),
                   DWORD(CDibImage::kFormatSka)}) {
    CDibImage image = MakeImage(5, 3, id == CDibImage::kFormatWbmp ? 1 : 8);
    const Bytes file = EncodeBytes(image, id);
    ASSERT_FALSE(file.empty()) << id << ": " << image.GetLastError();
    CDibImage found;
    ASSERT_TRUE(DecodeBytes(found, file, CDibImage::kFormatUnknown)) << id;
    EXPECT_EQ(found.GetType(), id);
  }
}

}  // namespace
