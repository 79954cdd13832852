#include "image/formats/DibImagePNG.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/tests/PngIcoTiffTestSupport.h"

using namespace codectest;

namespace {

using Bytes = std::vector<uint8_t>;

// PNG files put together chunk by chunk, for cases no tool writes.
class PngBuilder {
 public:
  PngBuilder(uint32_t width, uint32_t height, int depth, int colourType, int interlace = 0)
      : m_width(width), m_height(height), m_depth(depth), m_colourType(colourType) {
    Bytes ihdr;
    Put32(ihdr, width);
    Put32(ihdr, height);
    ihdr.insert(ihdr.end(), {uint8_t(depth), uint8_t(colourType), 0, 0, uint8_t(interlace)});
    Chunk("IHDR", ihdr);
  }
  static void Put32(Bytes& out, uint32_t v) {
    out.insert(out.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
  }
  static void Put16(Bytes& out, uint32_t v) { out.insert(out.end(), {uint8_t(v >> 8), uint8_t(v)}); }
  PngBuilder& Chunk(const char* type, const Bytes& data) {
    Put32(m_bytes, uint32_t(data.size()));
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    m_bytes.insert(m_bytes.end(), typed.begin(), typed.end());
    Put32(m_bytes, uint32_t(crc32(0, typed.data(), uInt(typed.size()))));
    return *this;
  }
  // Samples of a non-interlaced image, one row after the other, unfiltered.
  PngBuilder& Pixels(const Bytes& rows) {
    const size_t rowBytes = rows.size() / m_height;
    Bytes raw;
    for (uint32_t y = 0; y < m_height; ++y) {
      raw.push_back(0);
      raw.insert(raw.end(), rows.begin() + y * rowBytes, rows.begin() + (y + 1) * rowBytes);
    }
    uLongf size = compressBound(uLong(raw.size()));
    Bytes packed(size);
    compress(packed.data(), &size, raw.data(), uLong(raw.size()));
    packed.resize(size);
    return Chunk("IDAT", packed);
  }
  Bytes End() {
    Chunk("IEND", {});
    return m_bytes;
  }

 private:
  uint32_t m_width, m_height;
  int m_depth, m_colourType;
  Bytes m_bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
};

Bytes Palette(int entries) {
  Bytes plte;
  for (int i = 0; i < entries; ++i) plte.insert(plte.end(), {uint8_t(i * 40), uint8_t(200 - i), uint8_t(i * 7)});
  return plte;
}

// The IHDR fields of a PNG we wrote.
struct Header {
  int depth, colourType, interlace;
};
Header HeaderOf(const Bytes& png) {
  if (png.size() < 29) return {-1, -1, -1};
  return {png[24], png[25], png[28]};
}

bool HasChunk(const Bytes& png, const char* type) {
  for (size_t pos = 8; pos + 8 <= png.size();) {
    const uint32_t length = uint32_t(png[pos] << 24 | png[pos + 1] << 16 | png[pos + 2] << 8 | png[pos + 3]);
    if (std::memcmp(&png[pos + 4], type, 4) == 0) return true;
    pos += 12 + size_t(length);
  }
  return false;
}

// ---- Decoding ----

TEST(Png, TransparencyOfEveryKind) {
  // 4 x 1 images; `shown` is what a viewer shows, left to right.
  const struct {
    const char* name;
    Bytes file;
    std::vector<Rgba> shown;
    int transIndex;
    bool alphaPlane;
  } cases[] = {
      {"palette, one tRNS entry of 0",
       PngBuilder(4, 1, 8, 3).Chunk("PLTE", Palette(4)).Chunk("tRNS", {0}).Pixels({0, 1, 2, 3}).End(),
       {{0, 200, 0, 0}, {40, 199, 7, 255}, {80, 198, 14, 255}, {120, 197, 21, 255}}, 0, false},
      {"palette, one tRNS entry of 128 is partial alpha, not a transparent index",
       PngBuilder(4, 1, 8, 3).Chunk("PLTE", Palette(4)).Chunk("tRNS", {128}).Pixels({0, 1, 2, 3}).End(),
       {{0, 200, 0, 128}, {40, 199, 7, 255}, {80, 198, 14, 255}, {120, 197, 21, 255}}, -1, false},
      {"palette, one tRNS entry of 255 is opaque",
       PngBuilder(4, 1, 8, 3).Chunk("PLTE", Palette(4)).Chunk("tRNS", {255}).Pixels({0, 1, 2, 3}).End(),
       {{0, 200, 0, 255}, {40, 199, 7, 255}, {80, 198, 14, 255}, {120, 197, 21, 255}}, -1, false},
      {"palette, several entries; the rest opaque",
       PngBuilder(4, 1, 4, 3).Chunk("PLTE", Palette(4)).Chunk("tRNS", {255, 0, 77}).Pixels({0x01, 0x23}).End(),
       {{0, 200, 0, 255}, {40, 199, 7, 0}, {80, 198, 14, 77}, {120, 197, 21, 255}}, -1, false},
      {"grey 8, key in range",
       PngBuilder(4, 1, 8, 0).Chunk("tRNS", {0, 9}).Pixels({9, 10, 9, 255}).End(),
       {{9, 9, 9, 0}, {10, 10, 10, 255}, {9, 9, 9, 0}, {255, 255, 255, 255}}, 9, false},
      {"grey 8, key beyond the depth is ignored",
       PngBuilder(4, 1, 8, 0).Chunk("tRNS", {1, 44}).Pixels({0, 44, 1, 2}).End(),
       {{0, 0, 0, 255}, {44, 44, 44, 255}, {1, 1, 1, 255}, {2, 2, 2, 255}}, -1, false},
      {"grey 2, key 3 is white",
       PngBuilder(4, 1, 2, 0).Chunk("tRNS", {0, 3}).Pixels({0x1B}).End(),
       {{0, 0, 0, 255}, {85, 85, 85, 255}, {170, 170, 170, 255}, {255, 255, 255, 0}}, 3, false},
      {"RGB 8, key colour",
       PngBuilder(4, 1, 8, 2).Chunk("tRNS", {0, 1, 0, 2, 0, 3}).Pixels({1, 2, 3, 1, 2, 4, 0, 0, 0, 1, 2, 3}).End(),
       {{1, 2, 3, 0}, {1, 2, 4, 255}, {0, 0, 0, 255}, {1, 2, 3, 0}}, 0, false},
      {"RGB 16, key compared on all 16 bits",
       PngBuilder(4, 1, 16, 2)
           .Chunk("tRNS", {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC})
           .Pixels({0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0x12, 0x35, 0x56, 0x78, 0x9A, 0xBC,
                    0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})
           .End(),
       {{0x12, 0x56, 0x9A, 0}, {0x12, 0x56, 0x9A, 255}, {0, 0, 0, 255}, {255, 255, 255, 255}}, -1, true},
      {"grey 16, key compared on all 16 bits",
       PngBuilder(4, 1, 16, 0).Chunk("tRNS", {0xAB, 0xCD}).Pixels({0xAB, 0xCD, 0xAB, 0xCE, 0, 0, 0xAB, 0xCD}).End(),
       {{0xAB, 0xAB, 0xAB, 0}, {0xAB, 0xAB, 0xAB, 255}, {0, 0, 0, 255}, {0xAB, 0xAB, 0xAB, 0}}, -1, true},
  };
  for (const auto& c : cases) {
    TestImage image;
    ASSERT_TRUE(DecodeBytes(image, c.file, CDibImage::kFormatPng)) << c.name << ": " << image.GetLastError();
    EXPECT_EQ(image.GetTransIndex(), c.transIndex) << c.name;
    EXPECT_EQ(image.AlphaIsValid(), c.alphaPlane) << c.name;
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Shown(image, x, 0), c.shown[size_t(x)]) << c.name << " #" << x;
  }
}

TEST(Png, TransparencyIsNeverInheritedFromTheImageBefore) {
  TestImage image(4, 4, 8, 0);
  image.SetTransIndex(3);
  image.Info().alphaPalette = true;
  ASSERT_TRUE(DecodeBytes(image, PngBuilder(1, 1, 8, 3).Chunk("PLTE", Palette(4)).Pixels({3}).End(), CDibImage::kFormatPng));
  EXPECT_EQ(image.GetTransIndex(), -1);
  EXPECT_FALSE(image.AlphaPaletteFlag());
  EXPECT_EQ(Shown(image, 0, 0).a, 255);
}

TEST(Png, DepthsResolutionAndHeaderOnlyReads) {
  const struct {
    const char* name;
    Bytes file;
    WORD bpp;
    int32_t dpi;
  } cases[] = {
      {"pHYs 3780 per metre", PngBuilder(1, 1, 8, 0).Chunk("pHYs", {0, 0, 0x0E, 0xC4, 0, 0, 0x0E, 0xC4, 1}).Pixels({0}).End(), 8, 96},
      {"pHYs 11811 per metre", PngBuilder(1, 1, 16, 2).Chunk("pHYs", {0, 0, 0x2E, 0x23, 0, 0, 0x2E, 0x23, 1}).Pixels(Bytes(6)).End(), 24, 300},
      {"pHYs unit 0, value 0", PngBuilder(1, 1, 1, 0).Chunk("pHYs", {0, 0, 0, 0, 0, 0, 0, 0, 0}).Pixels({0}).End(), 1, 96},
      {"pHYs unit 0, value 72", PngBuilder(1, 1, 4, 0).Chunk("pHYs", {0, 0, 0, 72, 0, 0, 0, 72, 0}).Pixels({0}).End(), 4, 72},
      {"grey and alpha", PngBuilder(1, 1, 8, 4).Pixels({5, 6}).End(), 8, 96},
      {"2-bit palette", PngBuilder(1, 1, 2, 3).Chunk("PLTE", Palette(4)).Pixels({0xC0}).End(), 4, 96},
  };
  for (const auto& c : cases) {
    TestImage image;
    ASSERT_TRUE(DecodeBytes(image, c.file, CDibImage::kFormatPng)) << c.name << ": " << image.GetLastError();
    EXPECT_EQ(image.GetBpp(), c.bpp) << c.name;
    EXPECT_EQ(image.GetXDPI(), c.dpi) << c.name;
    EXPECT_EQ(image.GetYDPI(), c.dpi) << c.name;

    TestImage size;
    size.SetEscape(-1);
    EXPECT_TRUE(DecodeBytes(size, c.file, CDibImage::kFormatPng)) << c.name;
    EXPECT_FALSE(size.IsValid()) << c.name;
    EXPECT_EQ(size.GetWidth(), 1u);
    EXPECT_EQ(size.GetType(), CDibImage::kFormatPng);

    TestImage cancelled;
    cancelled.SetEscape(1);
    EXPECT_FALSE(DecodeBytes(cancelled, c.file, CDibImage::kFormatPng)) << c.name;
    EXPECT_STREQ(cancelled.GetLastError(), "Cancelled");
  }
}

TEST(Png, BrokenFilesFailWithAMessage) {
  const Bytes good = PngBuilder(3, 2, 8, 2).Pixels(Bytes(18, 7)).End();
  std::vector<std::pair<std::string, Bytes>> cases = {
      {"empty", {}},
      {"signature only", Bytes(good.begin(), good.begin() + 8)},
      {"bad IHDR CRC", [&] { Bytes b = good; b[29] ^= 1; return b; }()},
      {"zero width", PngBuilder(0, 2, 8, 0).Pixels({}).End()},
      {"colour type 7", PngBuilder(1, 1, 8, 7).Pixels({0}).End()},
      {"palette without PLTE", PngBuilder(1, 1, 8, 3).Pixels({0}).End()},
      {"IDAT short of the rows", PngBuilder(3, 2, 8, 2).Pixels(Bytes(9, 7)).End()},
  };
  for (size_t cut = 9; cut < good.size(); cut += 7) cases.push_back({"cut at " + std::to_string(cut), Bytes(good.begin(), good.begin() + cut)});
  for (const auto& c : cases) {
    TestImage image;
    EXPECT_FALSE(DecodeBytes(image, c.second, CDibImage::kFormatPng)) << c.first;
    EXPECT_STRNE(image.GetLastError(), "") << c.first;
    EXPECT_FALSE(image.IsValid()) << c.first;
  }

  const std::string crashers = TestData("pngcrashers");
  if (crashers.empty()) return;
  for (const std::string& name : FilesIn(crashers, ".png")) {
    TestImage image;
    const bool decoded = DecodeBytes(image, ReadData(crashers, name), CDibImage::kFormatPng);
    EXPECT_EQ(decoded, image.IsValid()) << name;
    if (!decoded) {
      EXPECT_STRNE(image.GetLastError(), "") << name;
    }
  }
}

TEST(Png, TwoBitWidening) {
  BYTE row[4] = {0x1B, 0xE4, 0, 0};  // 0 1 2 3 3 2 1 0
  CDibImagePNG::ExpandTwoBitRow(row, 8);
  EXPECT_EQ(row[0], 0x01);
  EXPECT_EQ(row[1], 0x23);
  EXPECT_EQ(row[2], 0x32);
  EXPECT_EQ(row[3], 0x10);
}

// ---- PngSuite ----

TEST(PngSuite, InterlacedTwinsDecodeAlike) {
  const std::string suite = TestData("pngsuite");
  if (suite.empty()) GTEST_SKIP() << "scripts/fetch-testdata has not run";
  int pairs = 0;
  for (const std::string& name : FilesIn(suite, ".png")) {
    if (name[0] != 'i') continue;
    TestImage interlaced, plain;
    ASSERT_TRUE(DecodeBytes(interlaced, ReadData(suite, name), CDibImage::kFormatPng)) << name << interlaced.GetLastError();
    ASSERT_TRUE(DecodeBytes(plain, ReadData(suite, name.substr(1)), CDibImage::kFormatPng)) << name;
    // A few of the "i" files are not interlaced at all.
    EXPECT_EQ(interlaced.GetCodecOption(CDibImage::kFormatPng), DWORD(HeaderOf(ReadData(suite, name)).interlace)) << name;
    EXPECT_EQ(plain.GetCodecOption(CDibImage::kFormatPng), 0u) << name;
    EXPECT_EQ(interlaced.GetBpp(), plain.GetBpp()) << name;
    EXPECT_TRUE(SameShown(interlaced, plain, name));
    ++pairs;
  }
  EXPECT_EQ(pairs, 30);
}

TEST(PngSuite, DecodesAsPil) {
  const std::string suite = TestData("pngsuite");
  if (suite.empty()) GTEST_SKIP() << "scripts/fetch-testdata has not run";
  if (!HaveReferenceTools()) GTEST_SKIP() << "Python PIL missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  std::vector<std::string> names;
  std::string arguments = "dump";
  for (const char* kind : {"pngsuite", "testpngs"})
    for (const std::string& name : FilesIn(TestData(kind), ".png")) {
      ASSERT_TRUE(WriteFile(dir.File(name), ReadData(TestData(kind), name)));
      names.push_back(name);
      arguments += " " + Quoted(dir.File(name));
    }
  ASSERT_TRUE(RunReference(arguments));
  for (const std::string& name : names) {
    Reference pil;
    ASSERT_TRUE(ReadReference(dir.File(name + ".ref"), pil)) << name;
    TestImage image;
    ASSERT_TRUE(image.Load(Widen(dir.File(name)).c_str(), CDibImage::kFormatPng)) << name << ": " << image.GetLastError();
    CompareWithReference(image, pil, name);
  }
  EXPECT_EQ(names.size(), 60u + 104u);
}

// ---- Encoding ----

struct SaveCase {
  const char* name;
  DWORD bpp;
  int palette;      // 0 colours, 1 grey identity ramp, 2 black and white
  bool alpha;
  int32_t transIndex;
  bool alphaPalette;
  DWORD option;
  Header header;    // what the file says
};

const SaveCase kSaveCases[] = {
    {"1-bit black and white is a palette", 1, 2, false, -1, false, 0, {1, 3, 0}},
    {"4-bit colours", 4, 0, false, -1, false, 0, {4, 3, 0}},
    {"8-bit colours, interlaced", 8, 0, false, -1, false, 1, {8, 3, 1}},
    {"8-bit grey ramp", 8, 1, false, -1, false, 0, {8, 0, 0}},
    {"24-bit", 24, 0, false, -1, false, 2, {8, 2, 0}},
    {"24-bit with alpha, interlaced", 24, 0, true, -1, false, 1, {8, 6, 1}},
    {"8-bit grey with alpha", 8, 1, true, -1, false, 0, {8, 4, 0}},
    {"8-bit palette with alpha becomes RGBA", 8, 0, true, -1, false, 0, {8, 6, 0}},
    {"4-bit palette with alpha, interlaced", 4, 0, true, 2, false, 1, {8, 6, 1}},
    {"8-bit transparent index 5", 8, 0, false, 5, false, 0, {8, 3, 0}},
    {"4-bit transparent index 3, interlaced", 4, 0, false, 3, false, 1, {4, 3, 1}},
    {"1-bit transparent index 1", 1, 0, false, 1, false, 0, {1, 3, 0}},
    {"8-bit grey key 7", 8, 1, false, 7, false, 0, {8, 0, 0}},
    {"24-bit key colour", 24, 0, false, 0, false, 0, {8, 2, 0}},
    {"24-bit alpha and key colour", 24, 0, true, 0, false, 0, {8, 6, 0}},
    {"8-bit palette alpha", 8, 0, false, -1, true, 0, {8, 3, 0}},
    {"8-bit palette alpha and transparent index", 8, 0, false, 9, true, 1, {8, 3, 1}},
};

std::unique_ptr<TestImage> MakeImage(const SaveCase& c, int32_t width, int32_t height) {
  auto image = std::make_unique<TestImage>(width, height, c.bpp, CDibImage::kFormatBmp);
  Paint(*image, 3);
  if (c.palette == 1) image->SetGrayPalette();
  if (c.palette == 2) {
    image->SetPaletteColor(0, 0, 0, 0);
    image->SetPaletteColor(1, 255, 255, 255);
  }
  if (c.alpha) {
    image->AlphaCreate();
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) image->AlphaSet(x, y, BYTE(x * 40 + y * 3));
  }
  if (c.alphaPalette) {
    for (DWORD i = 0; i < image->GetNumColors(); ++i) image->GetPalette()[i].rgbReserved = BYTE(255 - i * 13);
    image->Info().alphaPalette = true;
  }
  if (c.transIndex >= 0) {
    image->SetTransIndex(c.transIndex);
    if (!image->IsIndexed()) {
      image->SetTransColor(image->GetPixelColor(1, 1, false));
    }
  }
  image->SetCodecOption(c.option, CDibImage::kFormatPng);
  image->SetXDPI(150);
  image->SetYDPI(72);
  return image;
}

TEST(Png, SavesEveryKindAndReadsItBack) {
  for (const SaveCase& c : kSaveCases) {
    for (int32_t width : {1, 13}) {
      const std::string name = std::string(c.name) + " width " + std::to_string(width);
      auto image = MakeImage(c, width, 7);
      const std::vector<uint8_t> before = Snapshot(*image);
      const Bytes png = EncodeBytes(*image, CDibImage::kFormatPng);
      ASSERT_FALSE(png.empty()) << name << ": " << image->GetLastError();
      EXPECT_EQ(Snapshot(*image), before) << name << ": saving changed the image";
      const Header header = HeaderOf(png);
      EXPECT_EQ(header.depth, c.header.depth) << name;
      EXPECT_EQ(header.colourType, c.header.colourType) << name;
      EXPECT_EQ(header.interlace, c.header.interlace) << name;
      EXPECT_TRUE(HasChunk(png, "pHYs") && HasChunk(png, "bKGD")) << name;

      TestImage loaded;
      ASSERT_TRUE(DecodeBytes(loaded, png, CDibImage::kFormatPng)) << name << ": " << loaded.GetLastError();
      EXPECT_TRUE(SameShown(loaded, *image, name));
      EXPECT_EQ(loaded.GetXDPI(), 150) << name;
      EXPECT_EQ(loaded.GetYDPI(), 72) << name;
      EXPECT_EQ(loaded.GetCodecOption(CDibImage::kFormatPng), c.header.interlace ? 1u : 0u) << name;
    }
  }
}

TEST(Png, TransparentIndexMovesToEntryZeroInTheFileOnly) {
  TestImage image(6, 2, 8, CDibImage::kFormatPng);
  Paint(image);
  image.SetTransIndex(5);
  const RGBQUAD five = image.GetPaletteColor(5);
  const std::vector<uint8_t> before = Snapshot(image);
  TestImage loaded;
  ASSERT_TRUE(DecodeBytes(loaded, EncodeBytes(image, CDibImage::kFormatPng), CDibImage::kFormatPng));
  EXPECT_EQ(loaded.GetTransIndex(), 0);
  const RGBQUAD zero = loaded.GetPaletteColor(0);
  EXPECT_EQ(zero.rgbRed, five.rgbRed);
  EXPECT_EQ(zero.rgbGreen, five.rgbGreen);
  EXPECT_EQ(zero.rgbBlue, five.rgbBlue);
  EXPECT_EQ(Snapshot(image), before);
}

TEST(Png, FailedWritesLeaveTheImageAsItWas) {
  for (const SaveCase& c : kSaveCases) {
    auto image = MakeImage(c, 40, 30);
    const std::vector<uint8_t> before = Snapshot(*image);
    const size_t full = EncodeBytes(*image, CDibImage::kFormatPng).size();
    for (size_t limit : {size_t(0), size_t(8), size_t(40), full / 2, full - 1}) {
      FailingStream stream(limit);
      EXPECT_FALSE(image->Encode(&stream, CDibImage::kFormatPng)) << c.name << " limit " << limit;
      EXPECT_STREQ(image->GetLastError(), "Error saving PNG file") << c.name;
      EXPECT_EQ(Snapshot(*image), before) << c.name << " limit " << limit;
    }
  }
}

TEST(PngReference, OurFilesPassPngcheckAndReadInPil) {
  if (!HaveReferenceTools() || !HaveTool("/usr/bin/pngcheck")) GTEST_SKIP() << "PIL or pngcheck missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  std::vector<std::unique_ptr<TestImage>> images;
  std::string arguments = "dump";
  for (const SaveCase& c : kSaveCases) {
    images.push_back(MakeImage(c, 17, 9));
    const std::string file = dir.File("case" + std::to_string(images.size()) + ".png");
    ASSERT_TRUE(images.back()->Save(Widen(file).c_str(), CDibImage::kFormatPng)) << c.name;
    EXPECT_EQ(std::system(("/usr/bin/pngcheck -q " + Quoted(file) + " >/dev/null").c_str()), 0) << c.name;
    arguments += " " + Quoted(file);
  }
  ASSERT_TRUE(RunReference(arguments));
  for (size_t i = 0; i < images.size(); ++i) {
    Reference pil;
    ASSERT_TRUE(ReadReference(dir.File("case" + std::to_string(i + 1) + ".png.ref"), pil));
    CompareWithReference(*images[i], pil, kSaveCases[i].name);
  }
}

}  // namespace
