#include "image/formats/DibImageBMP.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "image/streams/MemoryStream.h"
#include "image/tests/FormatTestSupport.h"

using formattest::ExpectSamePixels;
using formattest::ReadFile;
using formattest::ReadReference;
using formattest::Reference;
using formattest::Rgba;
using formattest::ScratchDir;
using formattest::ScreenPixel;
using formattest::Widen;

namespace {

// ---- Building files by hand ----

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

struct BmpLayout {
  int32_t width = 4;
  int32_t height = 2;
  uint16_t bits = 24;
  uint32_t compression = 0;
  uint32_t headerSize = 40;
  uint32_t clrUsed = 0;
  std::vector<uint32_t> masks;    // written after a 40-byte header
  std::vector<uint8_t> palette;   // raw entries
  std::vector<uint8_t> pixels;    // raw data
  bool fileHeader = true;
  int32_t ppm = 3780;
};

std::vector<uint8_t> MakeBmp(const BmpLayout& s) {
  std::vector<uint8_t> info;
  Put32(info, s.headerSize);
  if (s.headerSize == 12) {
    Put16(info, uint32_t(s.width));
    Put16(info, uint32_t(s.height));
    Put16(info, 1);
    Put16(info, s.bits);
  } else {
    Put32(info, uint32_t(s.width));
    Put32(info, uint32_t(s.height));
    Put16(info, 1);
    Put16(info, s.bits);
    Put32(info, s.compression);
    Put32(info, uint32_t(s.pixels.size()));
    Put32(info, uint32_t(s.ppm));
    Put32(info, uint32_t(s.ppm));
    Put32(info, s.clrUsed);
    Put32(info, 0);
  }
  // Behind a 40-byte header or inside a longer one, the masks come next.
  for (uint32_t mask : s.masks) Put32(info, mask);
  while (info.size() < s.headerSize && s.headerSize <= 4096) info.push_back(0);
  info.insert(info.end(), s.palette.begin(), s.palette.end());

  std::vector<uint8_t> file;
  if (s.fileHeader) {
    file.push_back('B');
    file.push_back('M');
    Put32(file, uint32_t(14 + info.size() + s.pixels.size()));
    Put32(file, 0);
    Put32(file, uint32_t(14 + info.size()));
  }
  file.insert(file.end(), info.begin(), info.end());
  file.insert(file.end(), s.pixels.begin(), s.pixels.end());
  return file;
}

std::vector<uint8_t> GreyPalette(int entries, int entrySize = 4) {
  std::vector<uint8_t> palette;
  for (int i = 0; i < entries; ++i) {
    const uint8_t v = uint8_t(i * 255 / (entries - 1));
    for (int c = 0; c < 3; ++c) palette.push_back(v);
    if (entrySize == 4) palette.push_back(0xAB);  // reserved: must not become alpha
  }
  return palette;
}

bool DecodeBytes(CDibImage& image, const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> copy = bytes;
  CMemoryStream stream(copy.data(), uint32_t(copy.size()));
  return image.Decode(&stream, CDibImage::kFormatBmp);
}

// Screen rows of palette indices (row 0 at the top) of an indexed image.
std::vector<std::vector<int>> Indices(const CDibImage& image) {
  std::vector<std::vector<int>> rows;
  for (int32_t y = int32_t(image.GetHeight()) - 1; y >= 0; --y) {
    rows.emplace_back();
    for (int32_t x = 0; x < int32_t(image.GetWidth()); ++x) rows.back().push_back(image.GetPixelIndex(x, y));
  }
  return rows;
}

TEST(Bmp, HeaderVariantsAndPixelLayouts) {
  const struct {
    const char* name;
    BmpLayout layout;
    std::vector<Rgba> expected;  // screen order, top row first
  } cases[] = {
      {"24 bit bottom-up",
       {2, 2, 24, 0, 40, 0, {}, {}, {0, 0, 255, 0, 255, 0, 0, 0, /**/ 255, 0, 0, 1, 2, 3, 0, 0}},
       {{0, 0, 255, 255}, {3, 2, 1, 255}, {255, 0, 0, 255}, {0, 255, 0, 255}}},
      {"24 bit top-down",
       {2, -2, 24, 0, 40, 0, {}, {}, {0, 0, 255, 0, 255, 0, 0, 0, /**/ 255, 0, 0, 1, 2, 3, 0, 0}},
       {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {3, 2, 1, 255}}},
      {"bare DIB",
       {1, 1, 24, 0, 40, 0, {}, {}, {10, 20, 30, 0}, false},
       {{30, 20, 10, 255}}},
      {"16 bit without masks is 5-5-5",
       {3, 1, 16, 0, 40, 0, {}, {}, {0xFF, 0x7F, 0x1F, 0x00, 0x00, 0x7C, 0, 0}},
       {{255, 255, 255, 255}, {0, 0, 255, 255}, {255, 0, 0, 255}}},
      {"16 bit 5-6-5 masks",
       {3, 1, 16, 3, 40, 0, {0xF800, 0x07E0, 0x001F}, {}, {0xE0, 0x07, 0x20, 0x00, 0x1F, 0x00, 0, 0}},
       {{0, 255, 0, 255}, {0, 4, 0, 255}, {0, 0, 255, 255}}},
      {"32 bit, fourth bytes all 0: opaque",
       {2, 1, 32, 0, 40, 0, {}, {}, {1, 2, 3, 0, 4, 5, 6, 0}},
       {{3, 2, 1, 255}, {6, 5, 4, 255}}},
      {"32 bit, fourth byte is alpha",
       {2, 1, 32, 0, 40, 0, {}, {}, {1, 2, 3, 0, 4, 5, 6, 128}},
       {{3, 2, 1, 0}, {6, 5, 4, 128}}},
      {"32 bit masks in a 40-byte header, no alpha",
       {1, 1, 32, 3, 40, 0, {0x0000FF00, 0x00FF0000, 0xFF000000}, {}, {9, 1, 2, 3}},
       {{1, 2, 3, 255}}},
      {"32 bit masks in a 56-byte header with alpha",
       {1, 1, 32, 3, 40, 0, {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}, {}, {7, 8, 9, 77}},
       {{9, 8, 7, 77}}},
      {"8 bit grey, reserved bytes ignored",
       {3, 1, 8, 0, 40, 3, {}, GreyPalette(3), {0, 1, 2, 0}},
       {{0, 0, 0, 255}, {127, 127, 127, 255}, {255, 255, 255, 255}}},
      {"OS/2 core header, 3-byte palette",
       {9, 1, 1, 0, 12, 0, {}, {0, 0, 200, 0, 200, 0}, {0x80, 0x80, 0, 0}},
       {{0, 200, 0, 255}, {200, 0, 0, 255}, {200, 0, 0, 255}, {200, 0, 0, 255}, {200, 0, 0, 255},
        {200, 0, 0, 255}, {200, 0, 0, 255}, {200, 0, 0, 255}, {0, 200, 0, 255}}},
      {"OS/2 2.x 64-byte header",
       {2, 1, 4, 0, 64, 2, {}, {5, 5, 5, 0, 9, 9, 9, 0}, {0x10, 0, 0, 0}},
       {{9, 9, 9, 255}, {5, 5, 5, 255}}},
      {"bare DIB with a longer palette than the depth",
       {2, 1, 1, 0, 40, 4, {}, {1, 1, 1, 0, 2, 2, 2, 0, 3, 3, 3, 0, 4, 4, 4, 0}, {0x40, 0, 0, 0}, false},
       {{1, 1, 1, 255}, {2, 2, 2, 255}}},
  };
  for (const auto& c : cases) {
    BmpLayout layout = c.layout;
    if (layout.masks.size() == 4) layout.headerSize = 56;  // the masks then belong to the header
    std::vector<uint8_t> bytes = MakeBmp(layout);
    CDibImage image;
    ASSERT_TRUE(DecodeBytes(image, bytes)) << c.name << ": " << image.GetLastError();
    EXPECT_EQ(image.GetType(), CDibImage::kFormatBmp);
    const int32_t width = int32_t(image.GetWidth());
    ASSERT_EQ(size_t(width) * image.GetHeight(), c.expected.size()) << c.name;
    for (size_t i = 0; i < c.expected.size(); ++i)
      EXPECT_EQ(ScreenPixel(image, int32_t(i) % width, int32_t(i) / width), c.expected[i]) << c.name << " #" << i;
  }
}

TEST(Bmp, RejectsBrokenHeaders) {
  auto with = [](auto change) {
    BmpLayout s;
    s.pixels.assign(24, 0);
    change(s);
    return MakeBmp(s);
  };
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* message;
  } cases[] = {
      {"empty", {}, "Not a BMP"},
      {"file header only", std::vector<uint8_t>{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 14, 0, 0, 0}, "Error reading BMP info"},
      {"header size 20", with([](BmpLayout& s) { s.headerSize = 20; }), "Error reading BMP info"},
      {"header size 2^31", with([](BmpLayout& s) { s.headerSize = 0x80000000u; }), "Error reading BMP info"},
      {"negative width", with([](BmpLayout& s) { s.width = -4; }), "Error reading BMP info"},
      {"height INT_MIN", with([](BmpLayout& s) { s.height = INT32_MIN; }), "Error reading BMP info"},
      {"2 bits", with([](BmpLayout& s) { s.bits = 2; }), "Error reading BMP info"},
      {"0 bits", with([](BmpLayout& s) { s.bits = 0; }), "Error reading BMP info"},
      {"64 bits", with([](BmpLayout& s) { s.bits = 64; }), "Error reading BMP info"},
      {"zero width", with([](BmpLayout& s) { s.width = 0; }),
       "CDibImage::Create : width and height must be greater than zero"},
      {"too large", with([](BmpLayout& s) { s.width = 20000, s.height = 20000; }), "DIBIMAGE_MAX_MEMORY exceeded"},
      {"RLE8 at 4 bits", with([](BmpLayout& s) { s.bits = 4, s.compression = 1; }), "compression type not supported"},
      {"RLE4 at 8 bits", with([](BmpLayout& s) { s.bits = 8, s.compression = 2; }), "compression type not supported"},
      {"bit fields at 8 bits", with([](BmpLayout& s) { s.bits = 8, s.compression = 3, s.masks = {1, 2, 4}; }),
       "compression type not supported"},
      {"RLE8 at 24 bits", with([](BmpLayout& s) { s.compression = 1; }), "unknown compression"},
      {"JPEG in a 32-bit file", with([](BmpLayout& s) { s.bits = 32, s.compression = 4; }), "unknown compression"},
      {"palette count beyond the stream", with([](BmpLayout& s) { s.bits = 8, s.clrUsed = 0x7FFFFFFF, s.fileHeader = false; }),
       "Error reading BMP info"},
  };
  for (const auto& c : cases) {
    CDibImage image;
    EXPECT_FALSE(DecodeBytes(image, c.bytes)) << c.name;
    EXPECT_STREQ(image.GetLastError(), c.message) << c.name;
    EXPECT_FALSE(image.IsValid()) << c.name;
  }
}

TEST(Bmp, SizeQueryAndCancel) {
  BmpLayout layout;
  layout.width = 300;
  layout.height = -200;
  const std::vector<uint8_t> bytes = MakeBmp(layout);  // no pixel data at all

  CDibImage query;
  query.SetEscape(-1);
  EXPECT_TRUE(DecodeBytes(query, bytes));
  EXPECT_STREQ(query.GetLastError(), "output dimensions returned");
  EXPECT_FALSE(query.IsValid());
  EXPECT_EQ(query.GetWidth(), 300u);
  EXPECT_EQ(query.GetHeight(), 200u);
  EXPECT_EQ(query.GetType(), CDibImage::kFormatBmp);

  CDibImage cancelled;
  cancelled.SetEscape(1);
  EXPECT_FALSE(DecodeBytes(cancelled, bytes));
  EXPECT_STREQ(cancelled.GetLastError(), "Cancelled");
}

TEST(Bmp, ShortFilesKeepWhatWasThere) {
  BmpLayout layout;
  layout.width = 2;
  layout.height = 3;
  layout.pixels = {1, 2, 3, 4, 5, 6, 0, 0, /**/ 7, 8};  // bottom row and a bit
  CDibImage image;
  ASSERT_TRUE(DecodeBytes(image, MakeBmp(layout))) << image.GetLastError();
  EXPECT_EQ(ScreenPixel(image, 0, 2), (Rgba{3, 2, 1, 255}));
  EXPECT_EQ(ScreenPixel(image, 1, 2), (Rgba{6, 5, 4, 255}));
  EXPECT_EQ(ScreenPixel(image, 0, 1), (Rgba{0, 8, 7, 255}));  // the part of a row that was there
  EXPECT_EQ(ScreenPixel(image, 1, 1), (Rgba{0, 0, 0, 255}));
  for (int32_t x = 0; x < 2; ++x) EXPECT_EQ(ScreenPixel(image, x, 0), (Rgba{0, 0, 0, 255}));
}

// RLE streams whose cursor leaves the picture: clipped, never written past
// the rows, and the end of the data ends the picture.
TEST(Bmp, RleStreamsAreClippedToTheImage) {
  const struct {
    const char* name;
    uint16_t bits;
    int32_t width, height;
    std::vector<uint8_t> data;
    std::vector<std::vector<int>> expected;  // screen order, top row first
  } cases[] = {
      {"RLE8 run past the row end", 8, 3, 2, {5, 7, 0, 0, 1, 9, 0, 1}, {{9, 0, 0}, {7, 7, 7}}},
      {"RLE8 literal past the row end", 8, 3, 2, {0, 5, 1, 2, 3, 4, 5, 0, 0, 0, 0, 3, 7, 8, 9, 0, 0, 1}, {{7, 8, 9}, {1, 2, 3}}},
      {"RLE8 delta out of the image", 8, 3, 2, {1, 4, 0, 2, 200, 0, 1, 5, 0, 2, 0, 9, 1, 6}, {{0, 0, 0}, {4, 0, 0}}},
      {"RLE8 rows beyond the height", 8, 2, 1, {2, 3, 0, 0, 2, 4, 0, 0, 2, 5}, {{3, 3}}},
      {"RLE8 without an end code", 8, 3, 1, {2, 6}, {{6, 6, 0}}},
      {"RLE8 cut inside a literal", 8, 4, 1, {0, 4, 1, 2}, {{1, 2, 0, 0}}},
      {"RLE8 cut inside a delta", 8, 2, 1, {1, 3, 0, 2, 1}, {{3, 0}}},
      {"RLE4 runs alternate nibbles", 4, 5, 1, {5, 0x12, 0, 1}, {{1, 2, 1, 2, 1}}},
      {"RLE4 odd delta", 4, 4, 2, {1, 0x30, 0, 2, 1, 1, 2, 0x45, 0, 1}, {{0, 0, 4, 5}, {3, 0, 0, 0}}},
      {"RLE4 literal past the row end", 4, 3, 1, {0, 5, 0x12, 0x34, 0x50, 0, 0, 1}, {{1, 2, 3}}},
      {"RLE4 literal with padding", 4, 4, 2, {0, 3, 0x12, 0x30, 0, 0, 1, 0x70}, {{7, 0, 0, 0}, {1, 2, 3, 0}}},
  };
  for (const auto& c : cases) {
    BmpLayout layout;
    layout.width = c.width;
    layout.height = c.height;
    layout.bits = c.bits;
    layout.compression = c.bits == 8 ? 1 : 2;
    layout.palette = GreyPalette(c.bits == 8 ? 256 : 16);
    layout.pixels = c.data;
    CDibImage image;
    ASSERT_TRUE(DecodeBytes(image, MakeBmp(layout))) << c.name << ": " << image.GetLastError();
    EXPECT_EQ(Indices(image), c.expected) << c.name;
  }
}

TEST(Bmp, RoundTripsEveryDepth) {
  const struct {
    DWORD bits;
    bool alpha;
    size_t fileSize;  // of a 13 x 7 image
  } cases[] = {
      {1, false, 14 + 40 + 8 + 4 * 7},       {4, false, 14 + 40 + 64 + 8 * 7},
      {8, false, 14 + 40 + 1024 + 16 * 7},   {24, false, 14 + 40 + 40 * 7},
      {24, true, 54 + 4 * 13 * 7},
  };
  for (const auto& c : cases) {
    CDibImage image(13, 7, c.bits);
    for (DWORD i = 0; i < image.GetNumColors(); ++i)
      image.SetPaletteColor(i, BYTE(i * 3), BYTE(255 - i), BYTE(i * 17), 0);
    for (int32_t y = 0; y < 7; ++y)
      for (int32_t x = 0; x < 13; ++x) {
        if (image.IsIndexed()) image.SetPixelIndex(x, y, BYTE((x * 5 + y * 3) % image.GetNumColors()));
        else image.SetPixelColor(x, y, RGBQUAD{BYTE(x * 19), BYTE(y * 31), BYTE(x * y), 0});
      }
    if (c.alpha) {
      ASSERT_TRUE(image.AlphaCreate());
      for (int32_t y = 0; y < 7; ++y)
        for (int32_t x = 0; x < 13; ++x) image.AlphaSet(x, y, BYTE(x * 20 + y));
    }
    image.SetXDPI(300);
    image.SetYDPI(72);

    CMemoryStream stream;
    stream.Open();
    ASSERT_TRUE(image.Encode(&stream, CDibImage::kFormatBmp)) << image.GetLastError();
    EXPECT_EQ(size_t(stream.Size()), c.fileSize) << c.bits;
    ASSERT_TRUE(stream.Seek(0, CByteStream::kFromStart));
    CDibImage loaded;
    ASSERT_TRUE(loaded.Decode(&stream, 0)) << loaded.GetLastError();
    EXPECT_EQ(loaded.GetBpp(), c.bits);
    EXPECT_EQ(loaded.GetXDPI(), 300);
    EXPECT_EQ(loaded.GetYDPI(), 72);
    EXPECT_EQ(loaded.AlphaIsValid(), c.alpha);
    for (int32_t y = 0; y < 7; ++y)
      for (int32_t x = 0; x < 13; ++x) {
        ASSERT_EQ(ScreenPixel(loaded, x, y), ScreenPixel(image, x, y)) << c.bits << " at " << x << "," << y;
        if (image.IsIndexed()) {
          ASSERT_EQ(loaded.GetPixelIndex(x, y), image.GetPixelIndex(x, y));
        }
      }
  }
}

// ---- Files of other tools ----

bool HaveReferenceTools() {
#ifdef _WIN32
  return false;
#else
  return std::system("/usr/bin/python3 -c 'import PIL' >/dev/null 2>&1") == 0 &&
         std::system("test -x /usr/bin/convert && test -x /usr/bin/ppmtobmp") == 0;
#endif
}

std::string Quoted(const std::string& text) {
  return "'" + text + "'";
}

bool RunReference(const std::string& command, const std::string& folder) {
  const std::string line = "/usr/bin/python3 " + Quoted(std::string(VESK_IMAGE_TEST_DIR) + "/bmp_reference.py") +
                           " " + command + " " + Quoted(folder);
  return std::system(line.c_str()) == 0;
}

TEST(BmpReference, FilesOfOtherToolsDecodeAsPilDecodesThem) {
  if (!HaveReferenceTools()) GTEST_SKIP() << "Python PIL, ImageMagick or netpbm missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  ASSERT_TRUE(RunReference("make", dir.Path()));
  ASSERT_TRUE(RunReference("dump", dir.Path()));
  int compared = 0;
  for (const std::string& file : dir.List()) {
    if (file.size() < 5 || file.substr(file.size() - 4) != ".bmp") continue;
    const std::string stem = file.substr(0, file.size() - 4);
    Reference pil;
    ASSERT_TRUE(ReadReference(dir.File(stem + ".rgba"), pil)) << stem;
    CDibImage image;
    ASSERT_TRUE(image.Load(Widen(dir.File(file)).c_str(), CDibImage::kFormatBmp)) << stem << ": " << image.GetLastError();
    ExpectSamePixels(image, pil, stem);
    ++compared;
  }
  EXPECT_EQ(compared, 21);
}

TEST(BmpReference, OurFilesReadBackInPil) {
  if (!HaveReferenceTools()) GTEST_SKIP() << "Python PIL missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  const DWORD depths[] = {1, 4, 8, 24};
  std::vector<std::unique_ptr<CDibImage>> images;
  for (DWORD bits : depths) {
    for (int32_t width : {1, 31, 33}) {
      auto image = std::make_unique<CDibImage>(width, 9, bits);
      for (DWORD i = 0; i < image->GetNumColors(); ++i)
        image->SetPaletteColor(i, BYTE(i * 37), BYTE(i * 11), BYTE(255 - i), 0);
      for (int32_t y = 0; y < 9; ++y)
        for (int32_t x = 0; x < width; ++x) {
          if (image->IsIndexed()) image->SetPixelIndex(x, y, BYTE((x + 2 * y) % image->GetNumColors()));
          else image->SetPixelColor(x, y, RGBQUAD{BYTE(x * 8), BYTE(y * 28), BYTE(x + y), 0});
        }
      const std::string name = dir.File("ours_" + std::to_string(bits) + "_" + std::to_string(width) + ".bmp");
      ASSERT_TRUE(image->Save(Widen(name).c_str(), CDibImage::kFormatBmp)) << image->GetLastError();
      images.push_back(std::move(image));
    }
  }
  // With an alpha plane the file is 32-bit; PIL shows its colours.
  auto withAlpha = std::make_unique<CDibImage>(5, 4, 24);
  withAlpha->Clear(0x60);
  ASSERT_TRUE(withAlpha->AlphaCreate());
  withAlpha->AlphaSet(0, 0, 0);
  ASSERT_TRUE(withAlpha->Save(Widen(dir.File("ours_alpha.bmp")).c_str(), CDibImage::kFormatBmp));
  images.push_back(std::move(withAlpha));

  ASSERT_TRUE(RunReference("dump", dir.Path()));
  size_t index = 0;
  for (DWORD bits : depths)
    for (int32_t width : {1, 31, 33}) {
      const std::string stem = "ours_" + std::to_string(bits) + "_" + std::to_string(width);
      Reference pil;
      ASSERT_TRUE(ReadReference(dir.File(stem + ".rgba"), pil)) << stem;
      ExpectSamePixels(*images[index++], pil, stem);
    }
  Reference pil;
  ASSERT_TRUE(ReadReference(dir.File("ours_alpha.rgba"), pil));
  ExpectSamePixels(*images[index], pil, "ours_alpha");
}

}  // namespace
