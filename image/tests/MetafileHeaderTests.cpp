// Metafile headers and sizes without GDI: which files are taken as placeable
// WMF or EMF, the size they render at, and size queries through the dispatch.
#include "image/formats/MetafileHeaders.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "image/formats/DibImageWMF.h"
#include "image/streams/MemoryStream.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void Put32(Bytes& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

struct Box {
  int16_t left, top, right, bottom;
};

// A placeable header; the checksum is right unless `checksumError` is given.
Bytes Placeable(Box box, uint16_t unitsPerInch, uint16_t checksumError = 0) {
  Bytes out;
  Put32(out, kWmfPlaceableKey);
  Put16(out, 0);
  for (int16_t v : {box.left, box.top, box.right, box.bottom}) Put16(out, uint16_t(v));
  Put16(out, unitsPerInch);
  Put32(out, 0);
  uint16_t sum = 0;
  for (size_t i = 0; i < out.size(); i += 2) sum ^= uint16_t(out[i] | out[i + 1] << 8);
  Put16(out, sum ^ checksumError);
  return out;
}

// The smallest metafile: its header and the end record; `sizeWords` 0 means the true size.
Bytes BareWmf(uint32_t sizeWords = 0) {
  Bytes out;
  Put16(out, 1);
  Put16(out, 9);
  Put16(out, 0x300);
  Put32(out, sizeWords ? sizeWords : 12);
  Put16(out, 0);
  Put32(out, 3);
  Put16(out, 0);
  Put32(out, 3);  // end record: 3 words, function 0
  Put16(out, 0);
  return out;
}

// A header record with the given bounds and the end-of-file record.
Bytes Emf(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  Bytes out;
  Put32(out, 1);
  Put32(out, 108);
  for (int32_t v : {left, top, right, bottom}) Put32(out, uint32_t(v));
  for (int32_t v : {0, 0, 21166, 5291}) Put32(out, uint32_t(v));  // frame, 0.01 mm
  Put32(out, kEmfSignature);
  Put32(out, 0x10000);
  Put32(out, 108 + 20);
  Put32(out, 2);
  Put16(out, 1);
  Put16(out, 0);
  for (int i = 0; i < 3; ++i) Put32(out, 0);  // description, palette entries
  for (uint32_t v : {1024u, 768u, 320u, 240u, 0u, 0u, 0u, 320000u, 240000u}) Put32(out, v);
  Put32(out, 14);  // end of file
  Put32(out, 20);
  Put32(out, 0);
  Put32(out, 16);
  Put32(out, 20);
  return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(MetafileHeaders, PlaceableHeaderChecks) {
  const struct {
    const char* name;
    Bytes header;
    bool valid;
  } cases[] = {
      {"valid", Placeable({0, 0, 1440, 720}, 1440), true},
      {"2540 units per inch", Placeable({0, 0, 10, 10}, 2540), true},
      {"1 unit per inch", Placeable({0, 0, 10, 10}, 1), true},
      {"bad checksum", Placeable({0, 0, 1440, 720}, 1440, 1), false},
      {"0 units per inch", Placeable({0, 0, 10, 10}, 0), false},
      {"2541 units per inch", Placeable({0, 0, 10, 10}, 2541), false},
      {"wrong key", [] { Bytes b = Placeable({0, 0, 10, 10}, 96); b[0] ^= 1; b[20] ^= 1; return b; }(), false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(WmfCheckPlaceableHeader(WmfParsePlaceableHeader(c.header.data())), c.valid) << c.name;
}

TEST(MetafileHeaders, NaturalSizes) {
  const struct {
    const char* name;
    Box box;
    uint16_t unitsPerInch;
    int32_t dpi;
    bool ok;
    int32_t width, height;
  } wmf[] = {
      {"an inch by half an inch", {0, 0, 1440, 720}, 1440, 96, true, 96, 48},
      {"rounded to the nearest pixel", {0, 0, 1000, 1000}, 1440, 96, true, 67, 67},
      {"offset box", {-500, 100, 500, 1540}, 1440, 120, true, 83, 120},
      {"higher resolution", {0, 0, 1440, 720}, 1440, 144, true, 144, 72},
      {"empty", {0, 0, 0, 720}, 1440, 96, false, 0, 0},
      {"inside out", {1440, 0, 0, 720}, 1440, 96, false, 0, 0},
      {"less than half a pixel", {0, 0, 7, 1440}, 1440, 96, false, 0, 0},
      {"widest box", {-32768, -32768, 32767, 32767}, 1, 2540, true, 166458900, 166458900},
  };
  for (const auto& c : wmf) {
    const Bytes raw = Placeable(c.box, c.unitsPerInch);
    int32_t width = -1, height = -1;
    EXPECT_EQ(WmfNaturalSize(WmfParsePlaceableHeader(raw.data()), c.dpi, c.dpi, &width, &height), c.ok) << c.name;
    if (c.ok) {
      EXPECT_EQ(width, c.width) << c.name;
      EXPECT_EQ(height, c.height) << c.name;
    }
  }

  const struct {
    const char* name;
    int32_t bounds[4];
    bool ok;
    int32_t width, height;
  } emf[] = {
      {"plain", {0, 0, 8000, 2000}, true, 8000, 2000},
      {"offset", {-10, 5, 90, 25}, true, 100, 20},
      {"empty", {0, 0, 8000, 0}, false, 0, 0},
      {"inside out", {0, 50, 10, 0}, false, 0, 0},
      {"wider than 32 bits", {INT32_MIN, 0, INT32_MAX, 10}, false, 0, 0},
  };
  for (const auto& c : emf) {
    const Bytes raw = Emf(c.bounds[0], c.bounds[1], c.bounds[2], c.bounds[3]);
    EmfHeader header;
    ASSERT_TRUE(EmfParseHeader(raw.data(), &header)) << c.name;
    int32_t width = -1, height = -1;
    EXPECT_EQ(EmfNaturalSize(header, &width, &height), c.ok) << c.name;
    if (c.ok) {
      EXPECT_EQ(width, c.width) << c.name;
      EXPECT_EQ(height, c.height) << c.name;
    }
  }
}

TEST(MetafileHeaders, LimitSizeKeepsTheAspect) {
  const struct {
    int32_t width, height, limitedWidth, limitedHeight;
  } cases[] = {
      {8000, 2000, 4000, 1000},  {2000, 8000, 1000, 4000},       {4000, 4000, 4000, 4000},
      {10000, 8000, 4000, 3200}, {3000, 9000, 1333, 4000},       {100000, 1, 4000, 1},
      {12, 34, 12, 34},          {INT32_MAX, INT32_MAX, 4000, 4000}, {INT32_MAX, 3, 4000, 1},
  };
  for (const auto& c : cases) {
    int32_t width = c.width, height = c.height;
    WmfLimitSize(&width, &height);
    EXPECT_EQ(width, c.limitedWidth) << c.width << "x" << c.height;
    EXPECT_EQ(height, c.limitedHeight) << c.width << "x" << c.height;
  }
}

// What the dispatch makes of metafiles when only the size is asked for: the
// same on every platform (a 96-DPI screen here and under Wine).
TEST(MetafileHeaders, SizeQueries) {
  const Bytes wmf = Placeable({0, 0, 1440, 720}, 1440) + BareWmf();
  const struct {
    const char* name;
    Bytes file;
    size_t skip;
    bool ok;
    const char* message;
    DWORD width, height;
  } cases[] = {
      {"placeable WMF", wmf, 0, true, "output dimensions returned", 96, 48},
      {"EMF", Emf(0, 0, 8000, 2000), 0, true, "output dimensions returned", 8000, 2000},
      {"EMF inside a stream", Bytes(7, 0xEE) + Emf(0, 0, 300, 200), 7, true, "output dimensions returned", 300, 200},
      {"WMF inside a stream", Bytes(5, 0) + wmf, 5, true, "output dimensions returned", 96, 48},
      {"bad checksum", Placeable({0, 0, 1440, 720}, 1440, 0x100) + BareWmf(), 0, false, "corrupted WMF", 0, 0},
      {"WMF without a placeable header", BareWmf(), 0, false, "corrupted WMF", 0, 0},
      {"WMF longer than its data", Placeable({0, 0, 1440, 720}, 1440) + BareWmf(13), 0, false, "corrupted WMF", 0, 0},
      {"WMF shorter than its header", Placeable({0, 0, 1440, 720}, 1440) + BareWmf(8), 0, false, "corrupted WMF", 0, 0},
      {"EMF header cut", [] { Bytes b = Emf(0, 0, 10, 10); b.resize(100); return b; }(), 0, false, "corrupted WMF", 0, 0},
      {"EMF signature", [] { Bytes b = Emf(0, 0, 10, 10); b[40] = 'X'; return b; }(), 0, false, "corrupted WMF", 0, 0},
      {"empty EMF bounds", Emf(5, 5, 5, 50), 0, false, "empty WMF", 0, 0},
      {"empty WMF box", Placeable({0, 0, 0, 720}, 1440) + BareWmf(), 0, false, "empty WMF", 0, 0},
  };
  for (const auto& c : cases) {
    Bytes copy = c.file;
    CMemoryStream stream(copy.data(), uint32_t(copy.size()));
    stream.Seek(int32_t(c.skip), CByteStream::kFromStart);
    CDibImage image;
    image.SetEscape(-1);
    EXPECT_EQ(image.Decode(&stream, CDibImage::kFormatWmf), c.ok) << c.name;
    EXPECT_STREQ(image.GetLastError(), c.message) << c.name;
    EXPECT_FALSE(image.IsValid()) << c.name;
    if (c.ok) {
      EXPECT_EQ(image.GetWidth(), c.width) << c.name;
      EXPECT_EQ(image.GetHeight(), c.height) << c.name;
      EXPECT_EQ(image.GetType(), CDibImage::kFormatWmf) << c.name;
    }
  }
}

TEST(MetafileHeaders, CannotSave) {
  CDibImage image(2, 2, 24);
  CMemoryStream stream;
  stream.Open();
  EXPECT_FALSE(image.Encode(&stream, CDibImage::kFormatWmf));
  EXPECT_STREQ(image.GetLastError(), "Save WMF not supported");
}

}  // namespace
