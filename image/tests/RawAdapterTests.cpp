// The RAW format class over the camera RAW decoder: DNGs written by the
// decoder's test generator, read through the image library's dispatch.
#include "image/formats/DibImageRAW.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "DngWriter.h"
#include "RawTestSupport.h"
#include "image/formats/DibImageBMP.h"
#include "image/streams/MemoryStream.h"
#include "image/tests/FormatTestSupport.h"

using dngtest::DngFile;
using dngtest::DngOptions;
using dngtest::MakePicture;
using dngtest::PictureKind;
using formattest::Rgba;
using formattest::ScratchDir;
using formattest::ScreenPixel;
using formattest::Widen;
using formattest::WriteFile;

namespace {

// A memory stream that notes every byte range read from it.
class RecordingStream : public CMemoryStream {
 public:
  RecordingStream(uint8_t* data, uint32_t size) : CMemoryStream(data, size) {}
  size_t Read(void* buffer, size_t size, size_t count) override {
    const int32_t from = Tell();
    const size_t got = CMemoryStream::Read(buffer, size, count);
    if (Tell() > from) reads.emplace_back(from, Tell());
    return got;
  }
  int GetC() override {
    const int32_t from = Tell();
    const int c = CMemoryStream::GetC();
    if (c >= 0) reads.emplace_back(from, from + 1);
    return c;
  }
  std::vector<std::pair<uint64_t, uint64_t>> reads;
};

bool DecodeBytes(CDibImage& image, std::vector<uint8_t> bytes, DWORD formatId, size_t skip = 0) {
  CMemoryStream stream(bytes.data(), uint32_t(bytes.size()));
  stream.Seek(int32_t(skip), CByteStream::kFromStart);
  return image.Decode(&stream, formatId);
}

// Our picture against the decoder's own development of the same file.
void ExpectSameAsDecoder(const CDibImage& image, const rawtest::Developed& reference, const std::string& name) {
  ASSERT_TRUE(reference.ok) << name << ": " << reference.message;
  ASSERT_EQ(int(image.GetWidth()), reference.width) << name;
  ASSERT_EQ(int(image.GetHeight()), reference.height) << name;
  EXPECT_EQ(image.GetBpp(), 24) << name;
  EXPECT_EQ(image.GetType(), CDibImage::kFormatRaw) << name;
  int mismatches = 0;
  for (int y = 0; y < reference.height; ++y)
    for (int x = 0; x < reference.width; ++x) {
      const uint8_t* p = &reference.rgb8[(size_t(y) * reference.width + x) * 3];
      const Rgba want{p[0], p[1], p[2], 255};
      const Rgba got = ScreenPixel(image, x, y);
      if (!(got == want) && mismatches++ < 5) ADD_FAILURE() << name << " at " << x << "," << y << ": " << got << " want " << want;
    }
  EXPECT_EQ(mismatches, 0) << name;
}

rawtest::Options Quality(int quality) {
  rawtest::Options options;
  options.quality = quality;
  return options;
}

TEST(RawAdapter, CodecOptionPicksTheDemosaicingMethod) {
  const DngFile file = dngtest::WriteDng(MakePicture(48, 32, PictureKind::kEdges), DngOptions());
  const struct {
    DWORD option;
    int quality;
  } cases[] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {6, 2}, {0xFFFFFFFD, 1}};
  for (const auto& c : cases) {
    const std::string name = "option " + std::to_string(c.option);
    CDibImage image;
    image.SetCodecOption(c.option, CDibImage::kFormatRaw);
    ASSERT_TRUE(DecodeBytes(image, file.bytes, CDibImage::kFormatRaw)) << name << ": " << image.GetLastError();
    ExpectSameAsDecoder(image, rawtest::Develop(file.bytes, Quality(c.quality)), name);
  }
}

// Turned and stretched pictures come out in viewing orientation, and the
// size query answers with the size the decode delivers.
TEST(RawAdapter, GeometryFollowsOrientationAndPixelAspect) {
  const struct {
    const char* name;
    int orientation;
    double scale[2];
    int width, height;
  } cases[] = {
      {"upright", 1, {1, 1}, 40, 24},        {"upside down", 3, {1, 1}, 40, 24},
      {"turned right", 6, {1, 1}, 24, 40},   {"turned left", 8, {1, 1}, 24, 40},
      {"mirrored and turned", 5, {1, 1}, 24, 40},
      {"wide pixels", 1, {2, 1}, 80, 24},    {"tall pixels turned", 6, {1, 2}, 48, 40},
  };
  for (const auto& c : cases) {
    DngOptions options;
    options.orientation = c.orientation;
    options.default_scale[0] = c.scale[0];
    options.default_scale[1] = c.scale[1];
    options.big_endian = c.orientation == 8;
    const DngFile file = dngtest::WriteDng(MakePicture(40, 24, PictureKind::kScene), options);

    CDibImage image;
    image.SetCodecOption(3, CDibImage::kFormatRaw);
    ASSERT_TRUE(DecodeBytes(image, file.bytes, CDibImage::kFormatRaw)) << c.name << ": " << image.GetLastError();
    EXPECT_EQ(int(image.GetWidth()), c.width) << c.name;
    EXPECT_EQ(int(image.GetHeight()), c.height) << c.name;
    ExpectSameAsDecoder(image, rawtest::Develop(file.bytes, Quality(3)), c.name);

    CDibImage query;
    query.SetEscape(-1);
    ASSERT_TRUE(DecodeBytes(query, file.bytes, CDibImage::kFormatRaw)) << c.name;
    EXPECT_EQ(int(query.GetWidth()), c.width) << c.name;
    EXPECT_EQ(int(query.GetHeight()), c.height) << c.name;
  }
}

TEST(RawAdapter, SizeQueryReadsNoPixelData) {
  const struct {
    const char* name;
    bool losslessJpeg;
    int tile;
  } cases[] = {{"uncompressed strips", false, 0}, {"lossless JPEG tiles", true, 32}};
  for (const auto& c : cases) {
    DngOptions options;
    options.lossless_jpeg = c.losslessJpeg;
    options.tile_width = options.tile_length = c.tile;
    DngFile file = dngtest::WriteDng(MakePicture(64, 48, PictureKind::kScene), options);
    RecordingStream stream(file.bytes.data(), uint32_t(file.bytes.size()));
    CDibImage image;
    image.SetEscape(-1);
    ASSERT_TRUE(image.Decode(&stream, CDibImage::kFormatRaw)) << c.name << ": " << image.GetLastError();
    EXPECT_STREQ(image.GetLastError(), "output dimensions returned") << c.name;
    EXPECT_FALSE(image.IsValid()) << c.name;
    EXPECT_EQ(image.GetWidth(), 64u) << c.name;
    EXPECT_EQ(image.GetHeight(), 48u) << c.name;
    EXPECT_EQ(image.GetType(), CDibImage::kFormatRaw) << c.name;
    ASSERT_FALSE(stream.reads.empty()) << c.name;
    for (auto [begin, end] : stream.reads)
      for (auto [dataBegin, dataEnd] : file.data_ranges)
        EXPECT_TRUE(end <= dataBegin || begin >= dataEnd) << c.name << ": read " << begin << ".." << end;
  }
}

// Whatever the decoder does not identify fails with the adapter's message;
// LeakSanitizer checks that nothing of the decoder stays behind.
TEST(RawAdapter, OtherInputIsNotARawImage) {
  const DngFile good = dngtest::WriteDng(MakePicture(32, 24, PictureKind::kScene), DngOptions());
  std::vector<uint8_t> plainTiff = good.bytes;
  // DNGVersion renamed to an unknown tag: an ordinary TIFF.
  for (size_t i = 0; i + 1 < plainTiff.size(); ++i)
    if (plainTiff[i] == 0x12 && plainTiff[i + 1] == 0xC6) plainTiff[i] = 0x11;
  CDibImage bitmap(6, 5, 24);
  bitmap.Clear(0x40);
  CMemoryStream bmp;
  bmp.Open();
  ASSERT_TRUE(bitmap.Encode(&bmp, CDibImage::kFormatBmp));
  const uint8_t* bmpData = bmp.GetBuffer(false);

  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"empty", {}},
      {"text", {'h', 'e', 'l', 'l', 'o', '\n'}},
      {"bitmap", std::vector<uint8_t>(bmpData, bmpData + bmp.Size())},
      {"TIFF header only", {'I', 'I', 42, 0, 8, 0, 0, 0}},
      {"TIFF without DNG version", plainTiff},
      {"DNG cut after its header", std::vector<uint8_t>(good.bytes.begin(), good.bytes.begin() + 16)},
  };
  for (const auto& c : cases) {
    CDibImage image;
    EXPECT_FALSE(DecodeBytes(image, c.bytes, CDibImage::kFormatRaw)) << c.name;
    EXPECT_STREQ(image.GetLastError(), "CDibImageRAW: not a raw image") << c.name;
    EXPECT_FALSE(image.IsValid()) << c.name;
    CDibImage query;
    query.SetEscape(-1);
    EXPECT_FALSE(DecodeBytes(query, c.bytes, CDibImage::kFormatRaw)) << c.name;
  }
}

// Through the dispatch: by id, by detection from the middle of a stream, and
// from files whatever their extension says. The raw image is IFD0, which no
// other decoder can read.
TEST(RawAdapter, LoadsThroughTheDispatch) {
  DngOptions options;
  options.raw_in_sub_ifd = false;
  options.lossless_jpeg = true;
  const DngFile file = dngtest::WriteDng(MakePicture(36, 20, PictureKind::kScene), options);
  const rawtest::Developed reference = rawtest::Develop(file.bytes, Quality(0));

  std::vector<uint8_t> embedded(13, 0x5A);
  embedded.insert(embedded.end(), file.bytes.begin(), file.bytes.end());
  for (DWORD id : {DWORD(CDibImage::kFormatRaw), DWORD(CDibImage::kFormatUnknown)}) {
    CDibImage image;
    ASSERT_TRUE(DecodeBytes(image, embedded, id, 13)) << id << ": " << image.GetLastError();
    ExpectSameAsDecoder(image, reference, "embedded, id " + std::to_string(id));
  }

  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  const struct {
    const char* name;
    DWORD id;
  } loads[] = {{"shot.dng", CDibImage::kFormatRaw}, {"shot.nef", CDibImage::kFormatUnknown},
               {"shot.bmp", CDibImage::kFormatBmp}};
  for (const auto& load : loads) {
    ASSERT_TRUE(WriteFile(dir.File(load.name), file.bytes));
    CDibImage image;
    ASSERT_TRUE(image.Load(Widen(dir.File(load.name)).c_str(), load.id)) << load.name << ": " << image.GetLastError();
    ExpectSameAsDecoder(image, reference, load.name);
  }
  CDibImage fromName(Widen(dir.File("shot.dng")).c_str(), CDibImage::GetTypeIdFromName(L"dng"));
  EXPECT_TRUE(fromName.IsValid()) << fromName.GetLastError();
}

TEST(RawAdapter, CannotSave) {
  CDibImage image(4, 3, 24);
  CMemoryStream stream;
  stream.Open();
  EXPECT_FALSE(image.Encode(&stream, CDibImage::kFormatRaw));
  EXPECT_STREQ(image.GetLastError(), "Save RAW not supported");
  EXPECT_EQ(stream.Size(), 0);
}

}  // namespace
