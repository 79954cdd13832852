#include "image/formats/DibImageTIF.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cmath>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "image/streams/FileStream.h"
#include "image/tests/PngIcoTiffTestSupport.h"

using namespace codectest;

namespace {

using Bytes = std::vector<uint8_t>;

enum : uint16_t { kAscii = 2, kShort = 3, kLong = 4, kRational = 5 };

// Little-endian TIFF files with one uncompressed image in strips of
// `rowsPerStrip` rows, for cases no tool writes.
class TiffBuilder {
 public:
  TiffBuilder(uint32_t width, uint32_t height, uint16_t bits, uint16_t samples, uint16_t photometric)
      : m_height(height) {
    Tag(256, kLong, {width});
    Tag(257, kLong, {height});
    Tag(258, kShort, std::vector<uint32_t>(samples, bits));
    Tag(262, kShort, {photometric});
    Tag(277, kShort, {samples});
  }
  TiffBuilder& Tag(uint16_t tag, uint16_t type, std::vector<uint32_t> values) {
    m_tags[tag] = {type, std::move(values)};
    return *this;
  }
  Bytes Build(const Bytes& pixels, uint32_t rowsPerStrip = 0) {
    if (rowsPerStrip == 0) rowsPerStrip = m_height;
    const uint32_t strips = (m_height + rowsPerStrip - 1) / rowsPerStrip;
    const size_t stripBytes = pixels.size() / strips;
    std::vector<uint32_t> offsets, counts;
    for (uint32_t i = 0; i < strips; ++i) {
      offsets.push_back(uint32_t(8 + i * stripBytes));
      counts.push_back(uint32_t(i + 1 < strips ? stripBytes : pixels.size() - i * stripBytes));
    }
    Tag(273, kLong, offsets);
    Tag(278, kLong, {rowsPerStrip});
    Tag(279, kLong, counts);

    Bytes file = {'I', 'I', 42, 0};
    const uint32_t ifd = uint32_t(8 + pixels.size() + (pixels.size() & 1));
    Put32(file, ifd);
    file.insert(file.end(), pixels.begin(), pixels.end());
    if (pixels.size() & 1) file.push_back(0);
    Bytes extra;
    const uint32_t extraStart = ifd + 2 + 12 * uint32_t(m_tags.size()) + 4;
    Put16(file, uint32_t(m_tags.size()));
    for (const auto& [tag, entry] : m_tags) {
      Bytes data;
      for (uint32_t v : entry.values) {
        if (entry.type == kShort) Put16(data, v);
        else if (entry.type == kAscii) data.push_back(uint8_t(v));
        else Put32(data, v);
      }
      const uint32_t count = entry.type == kRational ? uint32_t(entry.values.size() / 2) : uint32_t(entry.values.size());
      Put16(file, tag);
      Put16(file, entry.type);
      Put32(file, count);
      if (data.size() <= 4) {
        data.resize(4, 0);
        file.insert(file.end(), data.begin(), data.end());
      } else {
        Put32(file, uint32_t(extraStart + extra.size()));
        extra.insert(extra.end(), data.begin(), data.end());
      }
    }
    Put32(file, 0);
    file.insert(file.end(), extra.begin(), extra.end());
    return file;
  }

 private:
  static void Put16(Bytes& out, uint32_t v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)}); }
  static void Put32(Bytes& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
  }
  struct Entry {
    uint16_t type;
    std::vector<uint32_t> values;
  };
  uint32_t m_height;
  std::map<uint16_t, Entry> m_tags;
};

std::vector<uint32_t> ColourMap(int entries, uint32_t scale) {
  std::vector<uint32_t> map;
  for (int channel = 0; channel < 3; ++channel)
    for (int i = 0; i < entries; ++i) map.push_back(uint32_t((i * 60 + channel * 20) % 256) * scale);
  return map;
}

Bytes Le16s(std::initializer_list<uint32_t> values) {
  Bytes out;
  for (uint32_t v : values) out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)});
  return out;
}

Rgba Grey(uint8_t v, uint8_t a = 255) {
  return Rgba{v, v, v, a};
}

// ---- Decoding ----

TEST(Tiff, LayoutsOfSamplesDecode) {
  // 3 x 2 images unless said otherwise; `shown` top row first.
  const struct {
    const char* name;
    Bytes file;
    uint32_t width, height;
    WORD bpp;
    std::vector<Rgba> shown;
  } cases[] = {
      {"1-bit min-is-white", TiffBuilder(3, 2, 1, 1, 0).Build({0xA0, 0x40}), 3, 2, 1,
       {Grey(0), Grey(255), Grey(0), Grey(255), Grey(0), Grey(255)}},
      {"4-bit min-is-black", TiffBuilder(3, 2, 4, 1, 1).Build({0x0F, 0x80, 0x12, 0x30}), 3, 2, 4,
       {Grey(0), Grey(255), Grey(136), Grey(17), Grey(34), Grey(51)}},
      {"2-bit min-is-black", TiffBuilder(3, 2, 2, 1, 1).Build({0x1B, 0xC0}), 3, 2, 8,
       {Grey(0), Grey(85), Grey(170), Grey(255), Grey(0), Grey(0)}},
      {"12-bit grey keeps its top bits",
       TiffBuilder(3, 2, 12, 1, 1).Build({0xFF, 0xF1, 0x23, 0x45, 0x60, /**/ 0x08, 0x00, 0x10, 0x00, 0x00}), 3, 2, 8,
       {Grey(0xFF), Grey(0x12), Grey(0x45), Grey(0x08), Grey(0x01), Grey(0x00)}},
      {"16-bit grey scaled by its brightest sample, strip by strip",
       TiffBuilder(3, 2, 16, 1, 1).Build(Le16s({0x0FFF, 0x0100, 0x0010, 0x0003, 0x00F0, 0x0000}), 1), 3, 2, 8,
       {Grey(255), Grey(16), Grey(1), Grey(0), Grey(15), Grey(0)}},
      {"palette with 8-bit colour map values",
       TiffBuilder(3, 2, 8, 1, 3).Tag(320, kShort, ColourMap(256, 1)).Build({0, 1, 2, 3, 4, 255}), 3, 2, 8,
       {{0, 20, 40, 255}, {60, 80, 100, 255}, {120, 140, 160, 255}, {180, 200, 220, 255}, {240, 4, 24, 255},
        {196, 216, 236, 255}}},
      {"palette with 16-bit colour map values",
       TiffBuilder(3, 2, 4, 1, 3).Tag(320, kShort, ColourMap(16, 257)).Build({0x01, 0x20, 0x34, 0x50}), 3, 2, 4,
       {{0, 20, 40, 255}, {60, 80, 100, 255}, {120, 140, 160, 255}, {180, 200, 220, 255}, {240, 4, 24, 255},
        {44, 64, 84, 255}}},
      {"16-bit wide palette", TiffBuilder(3, 2, 16, 1, 3).Tag(320, kShort, ColourMap(65536, 257)).Build(Le16s({0, 1, 2, 3, 4, 65535})),
       3, 2, 24, {{0, 20, 40, 255}, {60, 80, 100, 255}, {120, 140, 160, 255}, {180, 200, 220, 255}, {240, 4, 24, 255},
                  {196, 216, 236, 255}}},
      {"grey and alpha", TiffBuilder(3, 2, 8, 2, 1).Tag(338, kShort, {2}).Build({10, 0, 20, 128, 30, 255, 40, 1, 50, 2, 60, 3}),
       3, 2, 8, {Rgba{0, 0, 0, 0}, Grey(20, 128), Grey(30), Grey(40, 1), Grey(50, 2), Grey(60, 3)}},
      {"RGB with straight alpha", TiffBuilder(3, 2, 8, 4, 2).Tag(338, kShort, {2}).Build({200, 100, 50, 60, 1, 2, 3, 255, 9, 9, 9, 0,
                                                                                         4, 5, 6, 255, 255, 0, 0, 1, 0, 0, 0, 255}),
       3, 2, 24, {{200, 100, 50, 60}, {1, 2, 3, 255}, {0, 0, 0, 0}, {4, 5, 6, 255}, {255, 0, 0, 1}, {0, 0, 0, 255}}},
      {"RGB with premultiplied alpha", TiffBuilder(3, 2, 8, 4, 2).Tag(338, kShort, {1}).Build({47, 24, 12, 60, 1, 2, 3, 255, 0, 0, 0, 0,
                                                                                              4, 5, 6, 255, 1, 0, 0, 1, 0, 0, 0, 255}),
       3, 2, 24, {{200, 102, 51, 60}, {1, 2, 3, 255}, {0, 0, 0, 0}, {4, 5, 6, 255}, {255, 0, 0, 1}, {0, 0, 0, 255}}},
      {"RGB with an unspecified extra sample", TiffBuilder(3, 2, 8, 4, 2).Tag(338, kShort, {0}).Build(Bytes(24, 77)),
       3, 2, 24, std::vector<Rgba>(6, Grey(77))},
      {"CIE L*a*b*", TiffBuilder(3, 2, 8, 3, 8).Build({255, 0, 0, 0, 0, 0, 128, 0, 0, 128, 127, 0, 100, 0, 127, 200, 0, 0}),
       3, 2, 24, {{255, 254, 254, 255}, Grey(0), Grey(119), {255, 0, 125, 255}, {119, 89, 0, 255}, {194, 193, 193, 255}}},
      {"orientation 4 (bottom row first)", TiffBuilder(3, 2, 8, 1, 1).Tag(274, kShort, {4}).Build({1, 2, 3, 4, 5, 6}), 3, 2, 8,
       {Grey(4), Grey(5), Grey(6), Grey(1), Grey(2), Grey(3)}},
      {"orientation 2 (mirrored)", TiffBuilder(3, 2, 8, 3, 2).Tag(274, kShort, {2}).Build({1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5, 6, 6, 6}),
       3, 2, 24, {Grey(3), Grey(2), Grey(1), Grey(6), Grey(5), Grey(4)}},
      {"orientation 6 (turned)", TiffBuilder(3, 2, 8, 1, 1).Tag(274, kShort, {6}).Build({1, 2, 3, 4, 5, 6}), 2, 3, 8,
       {Grey(4), Grey(1), Grey(5), Grey(2), Grey(6), Grey(3)}},
      {"orientation 5 (transposed)", TiffBuilder(3, 2, 8, 1, 1).Tag(274, kShort, {5}).Build({1, 2, 3, 4, 5, 6}), 2, 3, 8,
       {Grey(1), Grey(4), Grey(2), Grey(5), Grey(3), Grey(6)}},
      {"orientation 8", TiffBuilder(3, 2, 8, 1, 1).Tag(274, kShort, {8}).Build({1, 2, 3, 4, 5, 6}), 2, 3, 8,
       {Grey(3), Grey(6), Grey(2), Grey(5), Grey(1), Grey(4)}},
  };
  for (const auto& c : cases) {
    TestImage image;
    ASSERT_TRUE(DecodeBytes(image, c.file, CDibImage::kFormatTif)) << c.name << ": " << image.GetLastError();
    ASSERT_EQ(image.GetWidth(), c.width) << c.name;
    ASSERT_EQ(image.GetHeight(), c.height) << c.name;
    EXPECT_EQ(image.GetBpp(), c.bpp) << c.name;
    EXPECT_EQ(image.GetNumFrames(), 1) << c.name;
    EXPECT_EQ(image.GetCodecOption(CDibImage::kFormatTif), 1u) << c.name;
    for (size_t i = 0; i < c.shown.size(); ++i) {
      Rgba got = Shown(image, int(i % c.width), int(i / c.width));
      if (got.a == 0) got = Rgba{0, 0, 0, 0};
      EXPECT_EQ(got, c.shown[i]) << c.name << " #" << i;
    }
  }
}

TEST(Tiff, ResolutionSizeQueriesAndFailures) {
  const Bytes centimetres = TiffBuilder(2, 2, 8, 1, 1)
                                .Tag(282, kRational, {11811, 100})
                                .Tag(283, kRational, {300, 1})
                                .Tag(296, kShort, {3})
                                .Build(Bytes(4, 9));
  TestImage image;
  ASSERT_TRUE(DecodeBytes(image, centimetres, CDibImage::kFormatTif)) << image.GetLastError();
  EXPECT_EQ(image.GetXDPI(), 300);
  EXPECT_EQ(image.GetYDPI(), 762);

  TestImage size;
  size.SetEscape(-1);
  EXPECT_TRUE(DecodeBytes(size, centimetres, CDibImage::kFormatTif));
  EXPECT_STREQ(size.GetLastError(), "output dimensions returned");
  EXPECT_FALSE(size.IsValid());
  EXPECT_EQ(size.GetWidth(), 2u);
  EXPECT_EQ(size.GetType(), CDibImage::kFormatTif);

  const Bytes grey = TiffBuilder(2, 2, 8, 1, 1).Build(Bytes(4, 9));
  const struct {
    const char* name;
    Bytes file;
    int32_t frame;
    int32_t escape;
    const char* message;
  } failures[] = {
      {"not a TIFF", Bytes(64, 'x'), 0, 0, "Error encountered while opening TIFF file"},
      {"empty", {}, 0, 0, "Error encountered while opening TIFF file"},
      {"page 1 of 1", grey, 1, 0, "Error: page not present in TIFF file"},
      {"page -1", grey, -1, 0, "Error: page not present in TIFF file"},
      {"cancelled", grey, 0, 1, "Cancelled"},
      {"floating point samples", TiffBuilder(2, 2, 32, 1, 1).Tag(339, kShort, {3}).Build(Bytes(16)), 0, 0,
       "Unsupported TIFF sample format"},
      {"17-bit palette", TiffBuilder(2, 1, 17, 1, 3).Tag(320, kShort, ColourMap(1 << 17, 1)).Build(Bytes(5)), 0, 0,
       "Too big palette to handle"},
      {"cut in the directory", Bytes(grey.begin(), grey.end() - 30), 0, 0, nullptr},
  };
  for (const auto& f : failures) {
    TestImage failed;
    failed.SetEscape(f.escape);
    EXPECT_FALSE(DecodeBytes(failed, f.file, CDibImage::kFormatTif, f.frame)) << f.name;
    EXPECT_FALSE(failed.IsValid()) << f.name;
    if (f.message) EXPECT_STREQ(failed.GetLastError(), f.message) << f.name;
    else EXPECT_STRNE(failed.GetLastError(), "") << f.name;
  }

  // A TIFF inside a larger stream: offsets count from its first byte.
  Bytes prefixed(7, 0xCC);
  prefixed.insert(prefixed.end(), grey.begin(), grey.end());
  CMemoryStream stream(prefixed.data(), uint32_t(prefixed.size()));
  ASSERT_TRUE(stream.Seek(7, CByteStream::kFromStart));
  TestImage inside;
  ASSERT_TRUE(inside.Decode(&stream, 0)) << inside.GetLastError();
  EXPECT_EQ(inside.GetType(), CDibImage::kFormatTif);
  EXPECT_EQ(Shown(inside, 1, 1), Grey(9));
}

// ---- Encoding ----

struct SaveCase {
  const char* name;
  DWORD bpp;
  int palette;  // 0 colours, 1 grey ramp, 2 black then white, 3 white then black
  bool alpha;
  DWORD option;
  std::map<int, std::string> tags;  // what tiffdump must show
};

const SaveCase kSaveCases[] = {
    {"1-bit, black entry first", 1, 2, false, 0, {{259, "4"}, {262, "0"}}},
    {"1-bit, white entry first", 1, 3, false, 0, {{259, "4"}, {262, "0"}}},
    {"1-bit colours", 1, 0, false, 5, {{259, "5"}, {262, "3"}}},
    {"4-bit grey ramp", 4, 1, false, 0, {{259, "5"}, {262, "1"}, {258, "4"}}},
    {"4-bit colours, PackBits", 4, 0, false, 32773, {{259, "32773"}, {262, "3"}}},
    {"8-bit grey ramp", 8, 1, false, 0, {{259, "5"}, {262, "1"}, {317, "2"}}},
    {"8-bit colours", 8, 0, false, 0, {{259, "5"}, {262, "3"}, {317, "2"}}},
    {"8-bit colours with alpha", 8, 0, true, 5, {{277, "2"}, {262, "3"}, {338, "2"}}},
    {"8-bit grey with alpha", 8, 1, true, 8, {{277, "2"}, {262, "1"}, {338, "2"}, {259, "8"}}},
    {"4-bit with alpha", 4, 0, true, 1, {{277, "2"}, {258, "8 8"}, {259, "1"}}},
    {"24-bit, LZW", 24, 0, false, 5, {{259, "5"}, {262, "2"}, {317, "2"}, {277, "3"}}},
    {"24-bit with alpha", 24, 0, true, 5, {{277, "4"}, {338, "2"}, {262, "2"}}},
    {"24-bit, none", 24, 0, false, 1, {{259, "1"}}},
};

std::unique_ptr<TestImage> MakeImage(const SaveCase& c, int32_t width, int32_t height) {
  auto image = std::make_unique<TestImage>(width, height, c.bpp, CDibImage::kFormatBmp);
  Paint(*image, 7);
  if (c.palette == 1) image->SetGrayPalette();
  if (c.palette >= 2) {
    const BYTE first = c.palette == 2 ? 0 : 255;
    image->SetPaletteColor(0, first, first, first);
    image->SetPaletteColor(1, 255 - first, 255 - first, 255 - first);
  }
  if (c.alpha) {
    image->AlphaCreate();
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) image->AlphaSet(x, y, BYTE(x * 37 + y * 5 + 1));
  }
  image->SetCodecOption(c.option, CDibImage::kFormatTif);
  image->SetXDPI(200);
  image->SetYDPI(100);
  return image;
}

TEST(Tiff, SavesEveryKindAndReadsItBack) {
  for (const SaveCase& c : kSaveCases) {
    for (int32_t width : {1, 29}) {
      const std::string name = std::string(c.name) + " width " + std::to_string(width);
      auto image = MakeImage(c, width, 11);
      const std::vector<uint8_t> before = Snapshot(*image);
      const Bytes tiff = EncodeBytes(*image, CDibImage::kFormatTif);
      ASSERT_FALSE(tiff.empty()) << name << ": " << image->GetLastError();
      EXPECT_EQ(Snapshot(*image), before) << name << ": saving changed the image";
      TestImage loaded;
      ASSERT_TRUE(DecodeBytes(loaded, tiff, CDibImage::kFormatTif)) << name << ": " << loaded.GetLastError();
      EXPECT_TRUE(SameShown(loaded, *image, name));
      EXPECT_EQ(loaded.GetXDPI(), 200) << name;
      EXPECT_EQ(loaded.GetYDPI(), 100) << name;
    }
  }
}

TEST(Tiff, SavesToFilesAndLoadsThem) {
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  for (const SaveCase& c : kSaveCases) {
    auto image = MakeImage(c, 21, 13);
    const std::string name = dir.File("saved.tif");
    ASSERT_TRUE(image->Save(Widen(name).c_str(), CDibImage::kFormatTif)) << c.name << ": " << image->GetLastError();
    TestImage loaded;
    ASSERT_TRUE(loaded.Load(Widen(name).c_str(), CDibImage::kFormatTif)) << c.name << ": " << loaded.GetLastError();
    EXPECT_TRUE(SameShown(loaded, *image, c.name));
  }
}

TEST(Tiff, DefaultCompressionOfTrueColourIsJpeg) {
  TestImage image(40, 21, 24, 0);
  for (int32_t y = 0; y < 21; ++y)
    for (int32_t x = 0; x < 40; ++x) image.SetPixelColor(x, y, RGBQUAD{BYTE(x * 6), BYTE(y * 12), 128, 0});
  const Bytes tiff = EncodeBytes(image, CDibImage::kFormatTif);
  TestImage loaded;
  ASSERT_TRUE(DecodeBytes(loaded, tiff, CDibImage::kFormatTif)) << loaded.GetLastError();
  EXPECT_EQ(loaded.GetCodecOption(CDibImage::kFormatTif), 7u);
  double error = 0;
  for (int32_t y = 0; y < 21; ++y)
    for (int32_t x = 0; x < 40; ++x) {
      const Rgba a = Shown(image, x, y), b = Shown(loaded, x, y);
      error += std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
    }
  EXPECT_LT(error / (40 * 21 * 3), 3.0);
}

TEST(Tiff, PagesAreAppendedAndReadOneByOne) {
  std::vector<std::unique_ptr<TestImage>> pages;
  pages.push_back(std::make_unique<TestImage>(10, 8, 1, 0));
  pages.push_back(std::make_unique<TestImage>(7, 9, 8, 0));
  pages.push_back(std::make_unique<TestImage>(12, 5, 24, 0));
  CMemoryStream stream;
  stream.Open();
  {
    CDibImageTIF writer;
    for (size_t i = 0; i < pages.size(); ++i) {
      Paint(*pages[i], uint32_t(i));
      pages[i]->SetCodecOption(i == 2 ? 5 : 0, CDibImage::kFormatTif);
      writer.Ghost(*pages[i]);
      ASSERT_TRUE(writer.Encode(&stream, i + 1 < pages.size())) << i << ": " << writer.GetLastError();
    }
  }
  const uint8_t* data = stream.GetBuffer(false);
  const Bytes file(data, data + stream.Size());
  for (int32_t page = 0; page < 3; ++page) {
    TestImage loaded;
    ASSERT_TRUE(DecodeBytes(loaded, file, CDibImage::kFormatTif, page)) << page << ": " << loaded.GetLastError();
    EXPECT_EQ(loaded.GetNumFrames(), 3);
    EXPECT_TRUE(SameShown(loaded, *pages[size_t(page)], "page " + std::to_string(page)));
  }

  // A writer left open finishes its file when it goes.
  CMemoryStream open;
  open.Open();
  {
    CDibImageTIF writer;
    writer.Ghost(*pages[0]);
    ASSERT_TRUE(writer.Encode(&open, true));
    writer.Ghost(*pages[1]);
    ASSERT_TRUE(writer.Encode(&open, true));
  }
  const uint8_t* twoPages = open.GetBuffer(false);
  TestImage second;
  ASSERT_TRUE(DecodeBytes(second, Bytes(twoPages, twoPages + open.Size()), CDibImage::kFormatTif, 1)) << second.GetLastError();
  EXPECT_EQ(second.GetNumFrames(), 2);
}

TEST(Tiff, FailedWritesSaySo) {
  for (const SaveCase& c : kSaveCases) {
    auto image = MakeImage(c, 33, 20);
    const std::vector<uint8_t> before = Snapshot(*image);
    const size_t full = EncodeBytes(*image, CDibImage::kFormatTif).size();
    for (size_t limit : {size_t(0), size_t(8), full / 2, full - 1}) {
      FailingStream stream(limit);
      EXPECT_FALSE(image->Encode(&stream, CDibImage::kFormatTif)) << c.name << " limit " << limit;
      EXPECT_STRNE(image->GetLastError(), "") << c.name;
      EXPECT_EQ(Snapshot(*image), before) << c.name;
    }
  }
  TestImage image(4, 4, 8, 0);
  image.SetCodecOption(7, CDibImage::kFormatTif);  // JPEG refuses palettes
  CMemoryStream stream;
  stream.Open();
  EXPECT_FALSE(image.Encode(&stream, CDibImage::kFormatTif));
  EXPECT_STREQ(image.GetLastError(), "Error saving TIFF file");
}

// ---- libtiff's test images ----

TEST(TiffImages, EveryTestImageDecodesOrFailsCleanly) {
  const std::string images = TestData("tiff");
  if (images.empty()) GTEST_SKIP() << "scripts/fetch-testdata has not run";
  int decoded = 0;
  std::vector<std::string> names = FilesIn(images, ".tif");
  for (const std::string& name : FilesIn(images, ".tiff")) names.push_back(name);
  for (const std::string& name : names) {
    const Bytes file = ReadData(images, name);
    for (int32_t page = 0; page < 3; ++page) {
      TestImage image;
      const bool ok = DecodeBytes(image, file, CDibImage::kFormatTif, page);
      EXPECT_EQ(ok, image.IsValid()) << name;
      if (ok) ++decoded;
      else EXPECT_STRNE(image.GetLastError(), "") << name;
      if (page + 1 >= image.GetNumFrames()) break;
    }
  }
  EXPECT_GE(decoded, 20);
}

// ---- Other tools ----

// Tags of every directory as tiffdump shows them: number -> values. A tag
// line reads "Name (number) TYPE (code) count<values>".
std::vector<std::map<int, std::string>> TiffDump(const std::string& file) {
  std::vector<std::map<int, std::string>> directories;
  std::istringstream lines(Capture("/usr/bin/tiffdump " + Quoted(file)));
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("Directory ", 0) == 0) {
      directories.emplace_back();
      continue;
    }
    const size_t open = line.find(" ("), close = line.find(')'), values = line.find('<');
    if (directories.empty() || open == std::string::npos || close == std::string::npos || values == std::string::npos ||
        line.back() != '>')
      continue;
    directories.back()[std::atoi(line.c_str() + open + 2)] = line.substr(values + 1, line.size() - values - 2);
  }
  return directories;
}

bool HaveTiffTools() {
  return HaveTool("/usr/bin/tiffdump") && HaveTool("/usr/bin/tiffinfo") && HaveTool("/usr/bin/tiffcp") &&
         HaveTool("/usr/bin/tiff2rgba");
}

TEST(TiffReference, TagsOfOurFiles) {
  if (!HaveTiffTools()) GTEST_SKIP() << "libtiff's tools missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  for (const SaveCase& c : kSaveCases) {
    auto image = MakeImage(c, 30, 20);
    const std::string file = dir.File("ours.tif");
    ASSERT_TRUE(image->Save(Widen(file).c_str(), CDibImage::kFormatTif)) << c.name;
    const auto directories = TiffDump(file);
    ASSERT_EQ(directories.size(), 1u) << c.name;
    const auto& tags = directories[0];
    for (const auto& [number, values] : c.tags) {
      const auto found = tags.find(number);
      ASSERT_NE(found, tags.end()) << c.name << ": no tag " << number;
      EXPECT_EQ(found->second, values) << c.name << ": tag " << number;
    }
    EXPECT_EQ(tags.at(296), "2") << c.name;       // inch
    EXPECT_EQ(tags.at(282), "200") << c.name;     // XResolution
    EXPECT_EQ(tags.at(274), "1") << c.name;       // Orientation
    EXPECT_EQ(tags.at(254), "0") << c.name;       // SubfileType
    if (!c.alpha) {
      EXPECT_EQ(tags.count(338), 0u) << c.name;
    }
  }

  TestImage colour(30, 21, 24, 0);
  Paint(colour);
  const std::string file = dir.File("jpeg.tif");
  ASSERT_TRUE(colour.Save(Widen(file).c_str(), CDibImage::kFormatTif));
  const auto tags = TiffDump(file).at(0);
  EXPECT_EQ(tags.at(259), "7");
  EXPECT_EQ(std::stoi(tags.at(278)) % 8, 0);
}

TEST(TiffReference, ThreeAppendedPages) {
  if (!HaveTiffTools()) GTEST_SKIP() << "libtiff's tools missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string name = dir.File("pages.tif");
  FILE* file = std::fopen(name.c_str(), "w+b");
  ASSERT_NE(file, nullptr);
  {
    CFileStream stream(file);
    CDibImageTIF writer;
    for (int page = 1; page <= 3; ++page) {
      TestImage image(8 + page, 5, page == 2 ? 24 : 8, 0);
      Paint(image, uint32_t(page));
      image.SetCodecOption(5, CDibImage::kFormatTif);
      writer.Ghost(image);
      ASSERT_TRUE(writer.Encode(&stream, page < 3)) << page << ": " << writer.GetLastError();
    }
  }
  std::fclose(file);
  const std::string info = Capture("/usr/bin/tiffinfo " + Quoted(name) + " 2>&1");
  size_t directories = 0;
  for (size_t at = info.find("TIFF Directory at offset"); at != std::string::npos;
       at = info.find("TIFF Directory at offset", at + 1))
    ++directories;
  EXPECT_EQ(directories, 3u) << info;
  for (int page = 1; page <= 3; ++page) {
    const std::string number = std::to_string(page);
    EXPECT_NE(info.find("PageName: Page " + number), std::string::npos) << info;
    EXPECT_NE(info.find("Page Number: " + number + "-" + number), std::string::npos) << info;
  }
  EXPECT_NE(info.find("Subfile Type: multi-page document"), std::string::npos) << info;
}

// Decodes `file` (page 0) and compares it with its .ref file.
void ExpectMatchesRef(const std::string& file, int tolerance, const std::string& label) {
  Reference ref;
  ASSERT_TRUE(ReadReference(file + ".ref", ref)) << label;
  TestImage image;
  ASSERT_TRUE(image.Load(Widen(file).c_str(), CDibImage::kFormatTif)) << label << ": " << image.GetLastError();
  CompareWithReference(image, ref, label, tolerance);
}

TEST(TiffReference, TestImagesMatchTheirReferences) {
  const std::string images = TestData("tiff");
  if (images.empty()) GTEST_SKIP() << "scripts/fetch-testdata has not run";
  if (!HaveReferenceTools() || !HaveTiffTools()) GTEST_SKIP() << "PIL or libtiff's tools missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  auto copy = [&](const std::string& name) {
    const std::string target = dir.File(name);
    EXPECT_TRUE(WriteFile(target, ReadData(images, name))) << name;
    return target;
  };

  // The PNM files beside the TIFF files hold the same pictures.
  const std::pair<const char*, const char*> pnm[] = {{"minisblack-1c-8b", "pgm"}, {"miniswhite-1c-1b", "pbm"},
                                                     {"rgb-3c-8b", "ppm"}, {"rgb-3c-16b", "ppm"}};
  std::string arguments = "pnm";
  for (const auto& [stem, kind] : pnm) arguments += " " + Quoted(copy(std::string(stem) + "." + kind));
  ASSERT_TRUE(RunReference(arguments));
  for (const auto& [stem, kind] : pnm) {
    const std::string tiff = copy(std::string(stem) + ".tiff");
    ASSERT_TRUE(WriteFile(tiff + ".ref", ReadFile(dir.File(std::string(stem) + "." + kind + ".ref"))));
    // libtiff's RGBA reader rounds 16-bit samples, the PNM reference keeps the high byte.
    ExpectMatchesRef(tiff, std::string(stem) == "rgb-3c-16b" ? 1 : 0, stem);
  }

  // What PIL makes of them, and of tiled and re-stripped copies.
  const char* pil[] = {"palette-1c-1b.tiff", "palette-1c-4b.tiff", "palette-1c-8b.tiff", "quad-lzw-compat.tiff",
                       "deflate-last-strip-extra-data.tiff", "custom_dir_EXIF_GPS.tiff", "testfax4.tiff",
                       "lzw-single-strip.tiff", "tiff_with_subifd_chain.tif", "minisblack-1c-16b.tiff",
                       "test_two_ifds.tif"};
  arguments = "dump";
  std::vector<std::string> files;
  for (const char* name : pil) files.push_back(copy(name));
  ASSERT_TRUE(RunReference("make-tiffs " + Quoted(dir.Path()) + " " + Quoted(images)));
  for (const std::string& name : FilesIn(dir.Path(), ".tiff"))
    if (name.find(".tiled") != std::string::npos || name.find(".strips") != std::string::npos) files.push_back(dir.File(name));
  files.push_back(dir.File("pil_rgba.tif"));
  for (const std::string& file : files) arguments += " " + Quoted(file);
  ASSERT_TRUE(RunReference(arguments));
  for (const std::string& file : files) ExpectMatchesRef(file, 0, file.substr(dir.Path().size() + 1));
  EXPECT_EQ(files.size(), 11u + 21u + 1u);

  // libtiff's own RGBA conversion for what PIL cannot read.
  std::vector<std::string> converted = {copy("quad-tile.jpg.tiff"), copy("logluv-3c-16b.tiff"),
                                        copy("minisblack-2c-8b-alpha.tiff")};
  if (TIFFIsCODECConfigured(COMPRESSION_OJPEG)) {
    for (const char* name : {"ojpeg_chewey_subsamp21_multi_strip.tiff", "ojpeg_single_strip_no_rowsperstrip.tiff",
                             "ojpeg_zackthecat_subsamp22_single_strip.tiff"})
      converted.push_back(copy(name));
  }
  arguments = "tiff2rgba";
  for (const std::string& file : converted) arguments += " " + Quoted(file);
  ASSERT_TRUE(RunReference(arguments));
  // Premultiplied alpha comes back straight, within rounding.
  for (const std::string& file : converted) ExpectMatchesRef(file, 1, file.substr(dir.Path().size() + 1));
}

TEST(TiffReference, OurFilesReadInPil) {
  if (!HaveReferenceTools()) GTEST_SKIP() << "PIL missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  std::vector<std::unique_ptr<TestImage>> images;
  std::string arguments = "dump";
  for (const SaveCase& c : kSaveCases) {
    images.push_back(MakeImage(c, 19, 6));
    const std::string file = dir.File("case" + std::to_string(images.size()) + ".tif");
    ASSERT_TRUE(images.back()->Save(Widen(file).c_str(), CDibImage::kFormatTif)) << c.name;
    arguments += " " + Quoted(file);
  }
  ASSERT_TRUE(RunReference(arguments));
  for (size_t i = 0; i < images.size(); ++i) {
    Reference pil;
    ASSERT_TRUE(ReadReference(dir.File("case" + std::to_string(i + 1) + ".tif.ref"), pil));
    CompareWithReference(*images[i], pil, kSaveCases[i].name);
  }
}

}  // namespace
