// The JPEG 2000 family codec on its own: round trips through every format,
// size-only decoding, the refusals, and hand-made PGX, PNM and Sun raster
// files with what they must decode to.
#include "image/formats/DibImageJAS.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "image/tests/FormatTestSupport.h"
#include "image/tests/JasTestSupport.h"

using namespace jastest;
using imagetest::InspectableImage;

namespace {

struct FormatCase {
  const char* name;
  DWORD id;
  bool colour;
};

const FormatCase kFormats[] = {
    {"jp2 colour", CDibImage::kFormatJp2, true}, {"jp2 grey", CDibImage::kFormatJp2, false},
    {"jpc colour", CDibImage::kFormatJpc, true}, {"jpc grey", CDibImage::kFormatJpc, false},
    {"pgx grey", CDibImage::kFormatPgx, false},  {"pnm colour", CDibImage::kFormatPnm, true},
    {"pnm grey", CDibImage::kFormatPnm, false},  {"ras colour", CDibImage::kFormatRas, true},
    {"ras grey", CDibImage::kFormatRas, false},
};

CDibImage MakePicture(int32_t width, int32_t height, bool colour) {
  CDibImage image(width, height, colour ? 24 : 8);
  if (colour) FillColour(image);
  else FillGrey(image);
  return image;
}

TEST(Jas, LosslessRoundTripThroughEveryFormat) {
  const struct {
    int32_t width, height;
  } sizes[] = {{1, 1}, {5, 3}, {67, 45}, {3, 130}};
  for (const FormatCase& format : kFormats)
    for (const auto& size : sizes) {
      SCOPED_TRACE(std::string(format.name) + " " + std::to_string(size.width) + "x" + std::to_string(size.height));
      const CDibImage source = MakePicture(size.width, size.height, format.colour);
      Bytes bytes;
      std::string error;
      ASSERT_TRUE(EncodeTo(source, format.id, bytes, 100, &error)) << error;
      InspectableImage decoded;
      // Decoding by signature alone, as for a file of unknown kind.
      ASSERT_TRUE(DecodeFrom(bytes, decoded, 0)) << decoded.GetLastError();
      EXPECT_EQ(decoded.GetType(), format.id);
      EXPECT_EQ(decoded.GetBpp(), format.colour ? 24 : 8);
      if (!format.colour) {
        EXPECT_TRUE(decoded.IsGrayScale());
      }
      EXPECT_EQ(Samples(decoded, !format.colour), Samples(source, !format.colour));
    }
}

TEST(Jas, QualitySetsTheRate) {
  const CDibImage source = MakePicture(96, 64, true);
  const DWORD ids[] = {CDibImage::kFormatJp2, CDibImage::kFormatJpc};
  for (DWORD id : ids) {
    SCOPED_TRACE(id);
    size_t previousSize = 0;
    double previousPsnr = 0;
    // Quality 0 still writes a picture: the rate never reaches 0. The rate
    // is a share of the raw size, so from some point on the lossy file is
    // no smaller than the lossless one.
    for (float quality : {0.0f, 5.0f, 25.0f, 60.0f, 100.0f}) {
      SCOPED_TRACE(quality);
      Bytes bytes;
      std::string error;
      ASSERT_TRUE(EncodeTo(source, id, bytes, quality, &error)) << error;
      InspectableImage decoded;
      ASSERT_TRUE(DecodeFrom(bytes, decoded, id)) << decoded.GetLastError();
      const double psnr = Psnr(Samples(decoded, false), Samples(source, false));
      if (quality < 100) {
        // Headers come on top of the share.
        EXPECT_LE(bytes.size(), source.GetWidth() * source.GetHeight() * 3 * std::max(quality, 1.0f) / 100 + 300);
        EXPECT_GT(bytes.size(), previousSize);
      }
      EXPECT_GT(psnr, previousPsnr);
      previousSize = bytes.size();
      previousPsnr = psnr;
    }
    EXPECT_GE(previousPsnr, 1000);  // 100 is lossless
  }
}

TEST(Jas, SizeOnlyDecodeReportsTheGeometry) {
  for (const FormatCase& format : kFormats) {
    SCOPED_TRACE(format.name);
    Bytes bytes;
    ASSERT_TRUE(EncodeTo(MakePicture(37, 21, format.colour), format.id, bytes));
    InspectableImage image;
    image.SetEscape(-1);
    ASSERT_TRUE(DecodeFrom(bytes, image, format.id));
    EXPECT_STREQ(image.GetLastError(), "output dimensions returned");
    EXPECT_EQ(image.GetWidth(), 37u);
    EXPECT_EQ(image.GetHeight(), 21u);
    EXPECT_EQ(image.GetType(), format.id);
    EXPECT_FALSE(image.IsValid());
  }
}

TEST(Jas, EncoderRefusals) {
  CDibImage colour = MakePicture(8, 8, true);
  CDibImage grey = MakePicture(8, 8, false);
  CDibImage sixteen(8, 8, 4);
  sixteen.SetStdPalette();
  CDibImage twoTone(8, 8, 1);
  twoTone.SetGrayPalette();
  CDibImage tinted(8, 8, 8);
  tinted.SetGrayPalette();
  tinted.SetPaletteColor(7, 9, 7, 7);
  CDibImage empty;
  const struct {
    const char* name;
    const CDibImage* image;
    DWORD id;
    const char* message;
  } cases[] = {
      {"colour as PGX", &colour, CDibImage::kFormatPgx, "PGX can save only GrayScale images"},
      {"16 colours", &sixteen, CDibImage::kFormatJp2, "JasPer can save only RGB or GrayScale images"},
      {"1 bit", &twoTone, CDibImage::kFormatPnm, "JasPer can save only RGB or GrayScale images"},
      {"tinted grey", &tinted, CDibImage::kFormatRas, "JasPer can save only RGB or GrayScale images"},
      {"empty", &empty, CDibImage::kFormatJpc, "null image!!!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bytes;
    std::string error;
    EXPECT_FALSE(EncodeTo(*c.image, c.id, bytes, 100, &error));
    EXPECT_EQ(error, c.message);
  }

  // The class itself, given an id outside the family.
  CDibImageJAS codec;
  codec.Ghost(grey);
  CMemoryStream stream;
  stream.Open();
  EXPECT_FALSE(codec.Encode(&stream, CDibImage::kFormatMng));
  EXPECT_STREQ(codec.GetLastError(), "error: cannot encode image");
  EXPECT_FALSE(codec.Encode(nullptr, CDibImage::kFormatJp2));
  EXPECT_STREQ(codec.GetLastError(), "null file handler");
}

Bytes Be32(uint32_t v) {
  return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}

Bytes RasHeader(uint32_t width, uint32_t height, uint32_t depth, uint32_t type, uint32_t mapType,
                uint32_t mapLength) {
  Bytes out;
  for (uint32_t v : {0x59A66A95u, width, height, depth, 0u, type, mapType, mapLength}) {
    const Bytes b = Be32(v);
    out.insert(out.end(), b.begin(), b.end());
  }
  return out;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(Jas, DecoderFailures) {
  Bytes jpc;
  ASSERT_TRUE(EncodeTo(MakePicture(40, 30, true), CDibImage::kFormatJpc, jpc));
  const Bytes truncatedJpc(jpc.begin(), jpc.begin() + 60);
  const struct {
    const char* name;
    Bytes bytes;
    const char* message;
  } cases[] = {
      {"empty", {}, "error: unknowm format"},
      {"text", Text("hello world"), "error: unknowm format"},
      {"PNM without a kind", Text("P7\n2 2\n255\n...."), "error: cannot load image data"},
      {"PNM short raster", Text("P6\n4 4\n255\nabc"), "error: cannot load image data"},
      {"PNM zero width", Text("P5\n0 4\n255\n"), "error: cannot load image data"},
      {"PNM maxval too big", Text("P5\n1 1\n70000\nab"), "error: cannot load image data"},
      {"PNM bad sample", Text("P2\n2 1\n255\n1 x"), "error: cannot load image data"},
      // Far more than the codec holds, refused before anything is allocated.
      {"PNM huge", Text("P5\n100000 100000\n255\n"), "error: cannot allocate memory"},
      {"PGX 20 bits", Text("PG ML + 20 1 1\nabcd"), "error: cannot load image data"},
      {"PGX no byte order", Text("PG XX + 8 1 1\na"), "error: cannot load image data"},
      {"PGX short", Text("PG ML + 8 4 4\nab"), "error: cannot load image data"},
      {"RAS RGB order", Join({RasHeader(1, 1, 24, 3, 0, 0), Bytes(4, 0)}), "error: cannot load image data"},
      // Run-length data that ends before the last row: a run short of its
      // pixels, an escape without its count, a count without its value.
      {"RAS run cut short", Join({RasHeader(4, 2, 8, 2, 0, 0), Bytes{0x80, 5, 1}}), "error: cannot load image data"},
      {"RAS lone escape", Join({RasHeader(2, 1, 8, 2, 0, 0), Bytes{1, 0x80}}), "error: cannot load image data"},
      {"RAS run without its value", Join({RasHeader(2, 1, 24, 2, 0, 0), Bytes{0x80, 7}}),
       "error: cannot load image data"},
      {"RAS 16 bits", Join({RasHeader(2, 1, 16, 1, 0, 0), Bytes(4, 0)}), "error: cannot load image data"},
      {"RAS bad map", Join({RasHeader(2, 1, 8, 1, 1, 4), Bytes(6, 0)}), "error: cannot load image data"},
      {"RAS short", Join({RasHeader(8, 8, 24, 1, 0, 0), Bytes(10, 0)}), "error: cannot load image data"},
      {"J2K truncated header", truncatedJpc, "error: cannot load image data"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    InspectableImage image;
    EXPECT_FALSE(DecodeFrom(c.bytes, image, CDibImage::kFormatPnm));
    EXPECT_STREQ(image.GetLastError(), c.message);
    EXPECT_FALSE(image.IsValid());
  }
}

struct HandMade {
  const char* name;
  Bytes bytes;
  DWORD type;
  WORD bpp;
  bool grey;
  Bytes expected;  // samples as Samples() gives them
};

TEST(Jas, HandMadeSmallFormats) {
  const HandMade cases[] = {
      {"P1 with comments, digits run together", Text("P1\n# a comment\n3 2\n1 0 1\n010"), CDibImage::kFormatPnm, 1,
       true, {0, 255, 0, 255, 0, 255}},
      {"P4", Join({Text("P4 10 1\n"), Bytes{0xA5, 0x40}}), CDibImage::kFormatPnm, 1, true,
       {0, 255, 0, 255, 255, 0, 255, 0, 255, 0}},
      // Four bits keep their 16 levels; the grey palette spreads them.
      {"P2 maxval 15", Text("P2 4 1 15 0 1 14 15"), CDibImage::kFormatPnm, 4, true, {0, 17, 238, 255}},
      {"P5 maxval 65535", Join({Text("P5 2 1 65535\n"), Bytes{0x12, 0x34, 0xFF, 0xFF}}), CDibImage::kFormatPnm, 8,
       true, {0x12, 0xFF}},
      {"P3", Text("P3 2 1 255  10 20 30  200 100 0"), CDibImage::kFormatPnm, 24, false, {10, 20, 30, 200, 100, 0}},
      {"P6 maxval 1000", Join({Text("P6 1 1 1000\n"), Bytes{0x03, 0xE8, 0, 0, 0x01, 0xF4}}), CDibImage::kFormatPnm,
       24, false, {255, 0, 128}},
      // Twelve bits lose the low four; signed samples are centred first.
      {"PGX 12-bit big-endian", Join({Text("PG ML + 12 3 1\n"), Bytes{0x0F, 0xFF, 0x08, 0x00, 0x00, 0x1F}}),
       CDibImage::kFormatPgx, 8, true, {255, 128, 1}},
      {"PGX signed little-endian", Join({Text("PG LM - 12 3 1\n"), Bytes{0x00, 0xF8, 0xFF, 0x07, 0x00, 0x00}}),
       CDibImage::kFormatPgx, 8, true, {0, 255, 128}},
      {"PGX 8-bit, no spaces or sign", Join({Text("PGML 8 2 1\n"), Bytes{7, 250}}), CDibImage::kFormatPgx, 8, true, {7, 250}},
      {"RAS 24-bit BGR, rows padded to 16 bits",
       Join({RasHeader(1, 2, 24, 1, 0, 0), Bytes{1, 2, 3, 0, 4, 5, 6, 0}}), CDibImage::kFormatRas, 24, false,
       {3, 2, 1, 6, 5, 4}},
      {"RAS 32-bit XBGR", Join({RasHeader(2, 1, 32, 0, 0, 0), Bytes{0, 1, 2, 3, 0, 4, 5, 6}}),
       CDibImage::kFormatRas, 24, false, {3, 2, 1, 6, 5, 4}},
      {"RAS 8-bit with an RGB map", Join({RasHeader(3, 1, 8, 1, 1, 6), Bytes{10, 20, 30, 40, 50, 60, 1, 0, 1, 0}}),
       CDibImage::kFormatRas, 24, false, {20, 40, 60, 10, 30, 50, 20, 40, 60}},
      {"RAS 8-bit grey", Join({RasHeader(3, 1, 8, 1, 0, 0), Bytes{0, 128, 255, 0}}), CDibImage::kFormatRas, 8, true,
       {0, 128, 255}},
      {"RAS 1-bit, a set bit is black", Join({RasHeader(4, 1, 1, 1, 0, 0), Bytes{0xA0, 0}}), CDibImage::kFormatRas,
       1, true, {0, 255, 0, 255}},
      // Run-length coding: 0x80 N V is N+1 times V, 0x80 0 one 0x80; runs
      // cover the row padding and go on into the next row.
      {"RAS run-length 8-bit, a run across rows", Join({RasHeader(3, 2, 8, 2, 0, 0), Bytes{0x80, 4, 7, 0x80, 0, 1, 0}}),
       CDibImage::kFormatRas, 8, true, {7, 7, 7, 7, 128, 1}},
      {"RAS run-length 1-bit", Join({RasHeader(8, 2, 1, 2, 0, 0), Bytes{0x80, 2, 0xF0, 0x0F}}), CDibImage::kFormatRas,
       1, true, {0, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 0, 255, 255, 255, 255}},
      {"RAS run-length 24-bit", Join({RasHeader(1, 2, 24, 2, 0, 0), Bytes{0x80, 2, 9, 0, 0x80, 0, 0x80, 0, 5, 0}}),
       CDibImage::kFormatRas, 24, false, {9, 9, 9, 5, 128, 128}},
      {"RAS run-length 32-bit", Join({RasHeader(2, 1, 32, 2, 0, 0), Bytes{0, 0x80, 1, 1, 2, 0x80, 3, 0}}),
       CDibImage::kFormatRas, 24, false, {2, 1, 1, 0, 0, 0}},
      {"RAS run-length with a map, the last run longer than the picture",
       Join({RasHeader(2, 2, 8, 2, 1, 6), Bytes{10, 20, 30, 40, 50, 60, 0x80, 255, 1}}), CDibImage::kFormatRas, 24,
       false, {20, 40, 60, 20, 40, 60, 20, 40, 60, 20, 40, 60}},
  };
  for (const HandMade& c : cases) {
    SCOPED_TRACE(c.name);
    InspectableImage image;
    ASSERT_TRUE(DecodeFrom(c.bytes, image, 0)) << image.GetLastError();
    EXPECT_EQ(image.GetType(), c.type);
    EXPECT_EQ(image.GetBpp(), c.bpp);
    EXPECT_EQ(Samples(image, c.grey), c.expected);
  }
}

TEST(Jas, SavedFilesLoadByTheirExtension) {
  formattest::ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  const CDibImage colour = MakePicture(19, 11, true);
  const CDibImage grey = MakePicture(19, 11, false);
  const struct {
    const char* file;
    bool colour;
    DWORD type;
  } cases[] = {{"a.jp2", true, CDibImage::kFormatJp2}, {"a.j2k", true, CDibImage::kFormatJp2},
               {"a.jpc", false, CDibImage::kFormatJpc}, {"a.pgx", false, CDibImage::kFormatPgx},
               {"a.ppm", true, CDibImage::kFormatPnm}, {"a.ras", false, CDibImage::kFormatRas}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::wstring name = formattest::Widen(dir.File(c.file));
    imagetest::InspectableImage image;
    ASSERT_TRUE(image.Copy(c.colour ? colour : grey));
    image.Info().jpegQuality = 100;
    const DWORD id = CDibImage::GetTypeIdFromName(formattest::Widen(std::string(c.file).substr(2)).c_str());
    ASSERT_TRUE(image.Save(name.c_str(), id)) << image.GetLastError();
    // The file is recognised whatever id the caller guesses.
    for (DWORD guess : {id, DWORD(0), DWORD(CDibImage::kFormatBmp)}) {
      CDibImage loaded;
      ASSERT_TRUE(loaded.Load(name.c_str(), guess)) << loaded.GetLastError();
      EXPECT_EQ(loaded.GetType(), c.type);
      EXPECT_EQ(Samples(loaded, !c.colour), Samples(image, !c.colour));
    }
  }
}

}  // namespace
