// The JPEG codec on its own: encode options as they show in the file,
// decode settings, resolution, failures. Runs natively and under Wine.
#include "image/formats/DibImageJPG.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "image/streams/MemoryStream.h"
#include "image/tests/FormatTestSupport.h"
#include "image/tests/JpegTestSupport.h"

using namespace jpegtest;

namespace {

struct FrameInfo {
  uint8_t marker = 0;
  int components = 0;
  uint8_t lumaSampling = 0;  // h << 4 | v of component 0
};

FrameInfo ReadFrame(const Bytes& jpeg) {
  FrameInfo info;
  for (uint8_t type : {0xC0, 0xC1, 0xC2, 0xC9, 0xCA}) {
    const size_t at = FindMarker(jpeg, type);
    if (at == std::string::npos || at + 12 > jpeg.size()) continue;
    info.marker = type;
    info.components = jpeg[at + 9];
    info.lumaSampling = jpeg[at + 11];
  }
  return info;
}

// Mean channel difference between two pictures of the same size. The test
// picture's small blue checks lose much to chroma subsampling; swapped red
// and blue would be far beyond the bounds used.
double MeanDifference(const CDibImage& a, const CDibImage& b) {
  double sum = 0;
  for (int32_t y = 0; y < int32_t(a.GetHeight()); ++y)
    for (int32_t x = 0; x < int32_t(a.GetWidth()); ++x) {
      const RGBQUAD p = a.GetPixelColor(x, y, false), q = b.GetPixelColor(x, y, false);
      sum += std::abs(p.rgbRed - q.rgbRed) + std::abs(p.rgbGreen - q.rgbGreen) + std::abs(p.rgbBlue - q.rgbBlue);
    }
  return sum / (3.0 * a.GetWidth() * a.GetHeight());
}

// A stream that accepts `capacity` bytes and then refuses.
class FullStream : public CMemoryStream {
 public:
  explicit FullStream(size_t capacity) : m_capacity(capacity) { Open(); }
  size_t Write(const void* buffer, size_t size, size_t count) override {
    if (size * count > m_capacity) return 0;
    m_capacity -= size * count;
    return CMemoryStream::Write(buffer, size, count);
  }

 private:
  size_t m_capacity;
};

TEST(Jpeg, EncodeOptionsShowInTheFile) {
  auto picture = MakePicture(45, 29);
  const struct {
    const char* name;
    DWORD options;
    uint8_t marker;
    int components;
    uint8_t sampling;
  } cases[] = {
      {"default", 0, 0xC0, 3, 0x22},
      {"baseline", 0x1, 0xC0, 3, 0x22},
      {"arithmetic", 0x2, 0xC9, 3, 0x22},
      {"grey", 0x4, 0xC0, 1, 0x11},
      {"optimised", 0x8, 0xC0, 3, 0x22},
      {"progressive", 0x10, 0xC2, 3, 0x22},
      {"progressive arithmetic", 0x12, 0xCA, 3, 0x22},
      {"arithmetic leaves out optimised tables", 0xA, 0xC9, 3, 0x22},
      {"4:2:2", 0x1000, 0xC0, 3, 0x21},
      {"4:4:4", 0x2000, 0xC0, 3, 0x11},
      {"4:4:4 wins over 4:2:2", 0x3000, 0xC0, 3, 0x11},
  };
  for (const auto& c : cases) {
    Bytes jpeg;
    ASSERT_TRUE(Encode(*picture, jpeg, c.options)) << c.name;
    const FrameInfo frame = ReadFrame(jpeg);
    EXPECT_EQ(frame.marker, c.marker) << c.name;
    EXPECT_EQ(frame.components, c.components) << c.name;
    EXPECT_EQ(frame.lumaSampling, c.sampling) << c.name;

    // JFIF density: dots per inch, the image's 96.
    const size_t app0 = FindMarker(jpeg, 0xE0);
    ASSERT_NE(app0, std::string::npos) << c.name;
    EXPECT_EQ(jpeg[app0 + 11], 1) << c.name;
    EXPECT_EQ(jpeg[app0 + 12] << 8 | jpeg[app0 + 13], 96) << c.name;

    CDibImageJPG back;
    ASSERT_TRUE(Decode(back, jpeg)) << c.name << ": " << back.GetLastError();
    EXPECT_EQ(back.GetWidth(), 45u);
    EXPECT_EQ(back.GetHeight(), 29u);
    EXPECT_EQ(back.GetBpp(), c.components == 1 ? 8 : 24) << c.name;
    if (c.components == 3) {
      EXPECT_LE(MeanDifference(*picture, back), 20) << c.name;
    }
  }
}

TEST(Jpeg, QualityIsRoundedAndClampedBeforeConversion) {
  auto picture = MakePicture(24, 16);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    float given;
    float same;
  } cases[] = {{89.5f, 90}, {90.4f, 90}, {150, 100}, {inf, 100}, {-5, 0}, {-inf, 0}, {nan, 90}, {1e30f, 100}};
  for (const auto& c : cases) {
    Bytes given, same;
    ASSERT_TRUE(Encode(*picture, given, 0, c.given));
    ASSERT_TRUE(Encode(*picture, same, 0, c.same));
    EXPECT_EQ(given, same) << c.given;
  }
  Bytes q10, q11;
  ASSERT_TRUE(Encode(*picture, q10, 0, 10));
  ASSERT_TRUE(Encode(*picture, q11, 0, 11));
  EXPECT_NE(q10, q11);
}

TEST(Jpeg, GreyImagesAndPalettes) {
  // A grey-ramp 8-bit image is written with one component and read back grey.
  auto grey = MakeGreyPicture(33, 17);
  Bytes jpeg;
  ASSERT_TRUE(Encode(*grey, jpeg, 0, 100));
  EXPECT_EQ(ReadFrame(jpeg).components, 1);
  CDibImageJPG back;
  ASSERT_TRUE(Decode(back, jpeg)) << back.GetLastError();
  EXPECT_EQ(back.GetBpp(), 8);
  EXPECT_TRUE(back.IsGrayScale());
  EXPECT_LE(MeanDifference(*grey, back), 2);

  // Paletted colour images are refused.
  for (DWORD bits : {1u, 4u, 8u}) {
    CDibImage colour(8, 8, bits);
    colour.SetPaletteColor(0, 200, 10, 10);
    std::string error;
    EXPECT_FALSE(Encode(colour, jpeg, 0, 90, &error)) << bits;
    EXPECT_EQ(error, "JPEG can save only RGB or GreyScale images") << bits;
  }
  CDibImage empty;
  std::string error;
  EXPECT_FALSE(Encode(empty, jpeg, 0, 90, &error));
  EXPECT_EQ(error, "null image!!!");
}

TEST(Jpeg, DecodeSettings) {
  auto picture = MakePicture(61, 35);
  Bytes jpeg;
  ASSERT_TRUE(Encode(*picture, jpeg, 0x2000, 95));

  // The scale byte: 0 is full size, as is 1; others round down to 1/2, 1/4, 1/8.
  const struct {
    BYTE scale;
    DWORD width, height;
  } scales[] = {{0, 61, 35}, {1, 61, 35}, {2, 31, 18}, {3, 31, 18}, {4, 16, 9},
                {7, 16, 9},  {8, 8, 5},   {255, 8, 5}};
  for (const auto& s : scales) {
    TestJpg image;
    image.SetScale(s.scale);
    ASSERT_TRUE(Decode(image, jpeg)) << int(s.scale);
    EXPECT_EQ(image.GetWidth(), s.width) << int(s.scale);
    EXPECT_EQ(image.GetHeight(), s.height) << int(s.scale);
  }

  // Grey output and colour quantisation give paletted images.
  TestJpg grey;
  grey.SetCodecOption(0x80, CDibImage::kFormatJpg);
  ASSERT_TRUE(Decode(grey, jpeg));
  EXPECT_EQ(grey.GetBpp(), 8);
  EXPECT_TRUE(grey.IsGrayScale());

  TestJpg quantised;
  quantised.SetCodecOption(0x100, CDibImage::kFormatJpg);
  quantised.SetQuality(32);
  ASSERT_TRUE(Decode(quantised, jpeg)) << quantised.GetLastError();
  EXPECT_EQ(quantised.GetBpp(), 8);
  EXPECT_LE(quantised.GetClrImportant(), 32u);
  EXPECT_GE(quantised.GetClrImportant(), 8u);
  EXPECT_LE(MeanDifference(*picture, quantised), 16);

  // Fewer than 8 colours is libjpeg's error, not a crash.
  TestJpg tooFew;
  tooFew.SetCodecOption(0x100, CDibImage::kFormatJpg);
  tooFew.SetQuality(2);
  EXPECT_FALSE(Decode(tooFew, jpeg));
  EXPECT_STREQ(tooFew.GetLastError(), "Cannot quantize to fewer than 8 colors");

  // Escape -1 asks for the size only; any other value cancels.
  TestJpg size;
  size.SetScale(2);
  size.SetEscape(-1);
  ASSERT_TRUE(Decode(size, jpeg));
  EXPECT_FALSE(size.IsValid());
  EXPECT_EQ(size.GetWidth(), 31u);
  EXPECT_EQ(size.GetHeight(), 18u);
  EXPECT_STREQ(size.GetLastError(), "output dimensions returned");
  TestJpg cancelled;
  cancelled.SetEscape(1);
  EXPECT_FALSE(Decode(cancelled, jpeg));
  EXPECT_STREQ(cancelled.GetLastError(), "Cancelled");
}

TEST(Jpeg, ResolutionFromJfif) {
  auto picture = MakePicture(16, 16);
  picture->SetXDPI(300);
  picture->SetYDPI(150);
  Bytes jpeg;
  ASSERT_TRUE(Encode(*picture, jpeg));
  const size_t app0 = FindMarker(jpeg, 0xE0);
  ASSERT_NE(app0, std::string::npos);

  const struct {
    uint8_t unit;
    uint16_t x, y;
    int32_t xDpi, yDpi;
  } cases[] = {
      {1, 300, 150, 300, 150},
      {2, 118, 118, 300, 300},  // dots per cm
      {0, 1, 2, 96, 192},       // aspect ratio: y follows x
      {0, 0, 2, 96, 96},
      {3, 72, 73, 72, 73},
  };
  for (const auto& c : cases) {
    Bytes patched = jpeg;
    patched[app0 + 11] = c.unit;
    patched[app0 + 12] = uint8_t(c.x >> 8);
    patched[app0 + 13] = uint8_t(c.x);
    patched[app0 + 14] = uint8_t(c.y >> 8);
    patched[app0 + 15] = uint8_t(c.y);
    CDibImageJPG image;
    ASSERT_TRUE(Decode(image, patched));
    EXPECT_EQ(image.GetXDPI(), c.xDpi) << int(c.unit);
    EXPECT_EQ(image.GetYDPI(), c.yDpi) << int(c.unit);
  }

  // Resolutions beyond what JFIF holds are clamped when written.
  picture->SetXDPI(100000);
  picture->SetYDPI(65536);
  ASSERT_TRUE(Encode(*picture, jpeg));
  CDibImageJPG clamped;
  ASSERT_TRUE(Decode(clamped, jpeg));
  EXPECT_EQ(clamped.GetXDPI(), 65535);
  EXPECT_EQ(clamped.GetYDPI(), 65535);
}

TEST(Jpeg, BrokenInput) {
  auto picture = MakePicture(64, 48);
  Bytes jpeg;
  ASSERT_TRUE(Encode(*picture, jpeg, 0x10));

  // A file cut off in the middle decodes with what it has.
  const Bytes cut(jpeg.begin(), jpeg.begin() + long(jpeg.size() * 2 / 3));
  CDibImageJPG truncated;
  EXPECT_TRUE(Decode(truncated, cut)) << truncated.GetLastError();
  EXPECT_EQ(truncated.GetWidth(), 64u);

  const struct {
    const char* name;
    Bytes bytes;
    const char* message;
  } cases[] = {
      {"empty", {}, "Empty input file"},
      {"text", Bytes(100, 'x'), "Not a JPEG file: starts with 0x78 0x78"},
      {"header only", Bytes(jpeg.begin(), jpeg.begin() + 20), nullptr},
  };
  for (const auto& c : cases) {
    CDibImageJPG image;
    EXPECT_FALSE(Decode(image, c.bytes)) << c.name;
    EXPECT_FALSE(image.IsValid()) << c.name;
    if (c.message) {
      EXPECT_STREQ(image.GetLastError(), c.message) << c.name;
    }
  }

  // A frame too large for an image fails before anything is decompressed.
  Bytes huge = jpeg;
  const size_t sof = FindMarker(huge, 0xC2);
  ASSERT_NE(sof, std::string::npos);
  for (size_t i : {5, 6, 7, 8}) huge[sof + i] = 0xFD;  // 65021 x 65021
  CDibImageJPG big;
  EXPECT_FALSE(Decode(big, huge));
  EXPECT_STREQ(big.GetLastError(), "DIBIMAGE_MAX_MEMORY exceeded");
  TestJpg scaled;
  scaled.SetEscape(-1);
  ASSERT_TRUE(Decode(scaled, huge));
  EXPECT_EQ(scaled.GetWidth(), 65021u);

  // A progressive file that repeats its last scan without end: each repeat is
  // a pass over the picture, so it is cut off.
  Bytes progressive;
  ASSERT_TRUE(Encode(*picture, progressive, 0x12));
  size_t lastScan = progressive.size() - 2;
  while (lastScan > 0 && !(progressive[lastScan] == 0xFF && progressive[lastScan + 1] == 0xDA)) --lastScan;
  const Bytes scan(progressive.begin() + long(lastScan), progressive.end() - 2);
  for (int repeats : {10, 1100}) {
    Bytes endless(progressive.begin(), progressive.end() - 2);
    for (int i = 0; i < repeats; ++i) endless.insert(endless.end(), scan.begin(), scan.end());
    endless.insert(endless.end(), {0xFF, 0xD9});
    CDibImageJPG image;
    EXPECT_EQ(Decode(image, endless), repeats < 1000) << repeats;
    if (repeats >= 1000) {
      EXPECT_STREQ(image.GetLastError(), "Too many scans in JPEG file");
    }
  }
}

TEST(Jpeg, WriteFailuresAreReported) {
  auto picture = MakePicture(400, 400);
  for (size_t capacity : {size_t(0), size_t(4096), size_t(9000)}) {
    FullStream stream(capacity);
    CDibImageJPG codec;
    codec.Ghost(*picture);
    EXPECT_FALSE(codec.Encode(&stream)) << capacity;
    EXPECT_STREQ(codec.GetLastError(), "Output file write error --- out of disk space?") << capacity;
  }
  CDibImageJPG codec;
  codec.Ghost(*picture);
  EXPECT_FALSE(codec.Encode(nullptr));
  EXPECT_STREQ(codec.GetLastError(), "null file handler");
}

TEST(Jpeg, DispatchReadsAndWritesJpegFiles) {
  formattest::ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  auto picture = MakePicture(40, 30);
  // Captures carry format id 0; the JPEG word is still the one that counts.
  picture->SetCodecOption(0x10, CDibImage::kFormatJpg);
  const std::string name = dir.File("capture_1.jpg");
  ASSERT_TRUE(picture->Save(formattest::Widen(name).c_str(), CDibImage::kFormatJpg)) << picture->GetLastError();
  EXPECT_EQ(ReadFrame(formattest::ReadFile(name)).marker, 0xC2);

  // Under a wrong extension the probe order still finds the JPEG decoder.
  const std::string misnamed = dir.File("capture_1.bmp");
  ASSERT_TRUE(formattest::WriteFile(misnamed, formattest::ReadFile(name)));
  for (DWORD id : {DWORD(CDibImage::kFormatJpg), DWORD(0), DWORD(CDibImage::kFormatBmp)}) {
    CDibImage loaded;
    ASSERT_TRUE(loaded.Load(formattest::Widen(id == CDibImage::kFormatJpg ? name : misnamed).c_str(), id)) << id;
    EXPECT_EQ(loaded.GetType(), DWORD(CDibImage::kFormatJpg));
    EXPECT_LE(MeanDifference(*picture, loaded), 20);
  }
}

}  // namespace
