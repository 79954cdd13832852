// The MNG codec: what we write (chunk layout, pixel data, pngcheck and
// ImageMagick reading it), animations built here chunk by chunk, libmng's own
// sample animation against ImageMagick, JNG, and damaged files that must fail
// rather than hang.
#include "image/formats/DibImageMNG.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "image/tests/FormatTestSupport.h"
#include "image/tests/JasTestSupport.h"

using namespace jastest;
using formattest::ReadFile;
using formattest::ScratchDir;
using formattest::Widen;
using formattest::WriteFile;
using imagetest::InspectableImage;

namespace {

const uint8_t kSignature[8] = {0x8A, 'M', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// ---- Building MNG streams ----

void PutBe32(Bytes& out, uint32_t v) {
  out.insert(out.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}

void Chunk(Bytes& out, const char* type, const Bytes& data) {
  PutBe32(out, uint32_t(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBe32(out, uint32_t(crc32(0, &out[start], uInt(out.size() - start))));
}

Bytes Be32(uint32_t v) {
  Bytes out;
  PutBe32(out, v);
  return out;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A PNG-style image of one colour: IHDR, IDAT, IEND.
void SolidImage(Bytes& out, uint32_t width, uint32_t height, const uint8_t rgb[3]) {
  Chunk(out, "IHDR", Cat({Be32(width), Be32(height), Bytes{8, 2, 0, 0, 0}}));
  Bytes raw;
  for (uint32_t y = 0; y < height; ++y) {
    raw.push_back(0);
    for (uint32_t x = 0; x < width; ++x) raw.insert(raw.end(), rgb, rgb + 3);
  }
  uLongf size = compressBound(uLong(raw.size()));
  Bytes packed(size);
  compress2(packed.data(), &size, raw.data(), uLong(raw.size()), 9);
  packed.resize(size);
  Chunk(out, "IDAT", packed);
  Chunk(out, "IEND", {});
}

const uint8_t kFrameColours[3][3] = {{200, 10, 10}, {10, 200, 10}, {10, 10, 200}};

enum class Repeat { kNone, kLoop, kTerm };

// Three frames of 6 x 4 with a delay after each (unless told otherwise) and
// a BACK chunk, played once or repeated for ever.
Bytes Animation(Repeat repeat = Repeat::kNone, uint32_t delayTicks = 10) {
  const bool endlessLoop = repeat == Repeat::kLoop;
  Bytes out(kSignature, kSignature + 8);
  Chunk(out, "MHDR", Cat({Be32(6), Be32(4), Be32(100), Be32(0), Be32(0), Be32(0), Be32(0)}));
  if (repeat == Repeat::kTerm) Chunk(out, "TERM", Cat({Bytes{3, 0}, Be32(0), Be32(0x7FFFFFFF)}));
  Chunk(out, "BACK", Bytes{0x40, 0x01, 0x80, 0x02, 0xC0, 0x03});
  // Framing mode 1, no name, delay of 10 ticks from here on.
  Chunk(out, "FRAM", Cat({Bytes{1, 0, 2, 0, 0, 0}, Be32(delayTicks)}));
  if (endlessLoop) Chunk(out, "LOOP", Cat({Bytes{0}, Be32(0x7FFFFFFF)}));
  for (const auto& colour : kFrameColours) SolidImage(out, 6, 4, colour);
  if (endlessLoop) Chunk(out, "ENDL", Bytes{0});
  Chunk(out, "MEND", {});
  return out;
}

// ---- Reading what we wrote ----

struct ChunkView {
  std::string type;
  Bytes data;
};

bool SplitChunks(const Bytes& file, std::vector<ChunkView>& chunks) {
  if (file.size() < 8 || !std::equal(kSignature, kSignature + 8, file.begin())) return false;
  size_t at = 8;
  while (at + 12 <= file.size()) {
    const uint32_t length = (uint32_t(file[at]) << 24) | (file[at + 1] << 16) | (file[at + 2] << 8) | file[at + 3];
    if (at + 12 + length > file.size()) return false;
    chunks.push_back({std::string(file.begin() + long(at + 4), file.begin() + long(at + 8)),
                      Bytes(file.begin() + long(at + 8), file.begin() + long(at + 8 + length))});
    at += 12 + length;
  }
  return at == file.size();
}

CDibImage Picture(int32_t width, int32_t height) {
  CDibImage image(width, height, 24);
  FillColour(image);
  return image;
}

bool Encode(const CDibImage& image, Bytes& out, std::string* error = nullptr) {
  return EncodeTo(image, CDibImage::kFormatMng, out, 90, error);
}

TEST(Mng, WrittenImagesReadBackExactly) {
  for (const auto& size : {std::pair<int32_t, int32_t>{1, 1}, {5, 3}, {64, 33}, {301, 7}}) {
    SCOPED_TRACE(std::to_string(size.first) + "x" + std::to_string(size.second));
    const CDibImage source = Picture(size.first, size.second);
    Bytes bytes;
    std::string error;
    ASSERT_TRUE(Encode(source, bytes, &error)) << error;
    InspectableImage decoded;
    ASSERT_TRUE(DecodeFrom(bytes, decoded, 0)) << decoded.GetLastError();
    EXPECT_EQ(decoded.GetType(), DWORD(CDibImage::kFormatMng));
    EXPECT_EQ(decoded.GetNumFrames(), 1);
    EXPECT_EQ(Samples(decoded, false), Samples(source, false));
    ASSERT_TRUE(decoded.AlphaIsValid());
    EXPECT_EQ(decoded.AlphaGet(0, 0), 255);
    EXPECT_FALSE(decoded.IsTransparent());
  }
}

TEST(Mng, SingleImageLayout) {
  const CDibImage source = Picture(5, 3);
  Bytes bytes;
  ASSERT_TRUE(Encode(source, bytes));
  std::vector<ChunkView> chunks;
  ASSERT_TRUE(SplitChunks(bytes, chunks));
  std::vector<std::string> types;
  for (const ChunkView& c : chunks) types.push_back(c.type);
  EXPECT_EQ(types, (std::vector<std::string>{"MHDR", "DEFI", "IHDR", "IDAT", "IEND", "MEND"}));
  ASSERT_EQ(chunks.size(), 6u);
  EXPECT_EQ(chunks[2].data, Cat({Be32(5), Be32(3), Bytes{8, 2, 0, 0, 0}}));

  // Three rows of a filter byte and five red, green, blue pixels.
  Bytes raw(100);
  uLongf size = uLongf(raw.size());
  ASSERT_EQ(uncompress(raw.data(), &size, chunks[3].data.data(), uLong(chunks[3].data.size())), Z_OK);
  ASSERT_EQ(size, 48u);
  raw.resize(size);
  const Bytes rgb = Samples(source, false);
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(raw[size_t(row) * 16], 0);
    EXPECT_TRUE(std::equal(rgb.begin() + row * 15, rgb.begin() + row * 15 + 15, raw.begin() + row * 16 + 1));
  }
}

TEST(Mng, EncoderRefusals) {
  CDibImage palette(4, 4, 8);
  palette.SetGrayPalette();
  CDibImage empty;
  Bytes bytes;
  std::string error;
  EXPECT_FALSE(Encode(palette, bytes, &error));
  EXPECT_EQ(error, "MNG encoder can save only RGB images");
  EXPECT_FALSE(Encode(empty, bytes, &error));
  EXPECT_EQ(error, "null image!!!");
}

TEST(Mng, AnimationFramesOneByOne) {
  const Bytes file = Animation();
  for (int32_t frame = 0; frame < 3; ++frame) {
    SCOPED_TRACE(frame);
    InspectableImage image;
    ASSERT_TRUE(DecodeFrom(file, image, CDibImage::kFormatMng, frame)) << image.GetLastError();
    EXPECT_EQ(image.GetNumFrames(), 3);
    EXPECT_EQ(image.GetWidth(), 6u);
    EXPECT_EQ(image.GetHeight(), 4u);
    const Bytes rgb = Samples(image, false);
    for (size_t i = 0; i < rgb.size(); i += 3)
      ASSERT_TRUE(std::equal(kFrameColours[frame], kFrameColours[frame] + 3, rgb.begin() + long(i)));
    // The background the file asks for is the one to blend onto; it is no
    // colour key, so pixels of that colour stay visible.
    EXPECT_FALSE(image.IsTransparent());
    const RGBQUAD background = image.GetTransColor();
    EXPECT_EQ(background.rgbRed, 0x40);
    EXPECT_EQ(background.rgbGreen, 0x80);
    EXPECT_EQ(background.rgbBlue, 0xC0);
  }
  for (int32_t frame : {3, -1}) {
    InspectableImage image;
    EXPECT_FALSE(DecodeFrom(file, image, CDibImage::kFormatMng, frame));
    EXPECT_STREQ(image.GetLastError(), "Error: frame not present in MNG file");
  }

  InspectableImage size;
  size.SetEscape(-1);
  ASSERT_TRUE(DecodeFrom(file, size, CDibImage::kFormatMng));
  EXPECT_STREQ(size.GetLastError(), "output dimensions returned");
  EXPECT_EQ(size.GetWidth(), 6u);
  EXPECT_EQ(size.GetHeight(), 4u);
  EXPECT_FALSE(size.IsValid());
}

TEST(Mng, DamagedFilesFail) {
  // Every cut of an animation, and bytes that are no MNG at all, fail with a
  // message; none of them keeps the decoder looping.
  const Bytes file = Animation();
  for (size_t cut = 0; cut < file.size(); ++cut) {
    SCOPED_TRACE(cut);
    InspectableImage image;
    EXPECT_FALSE(DecodeFrom(Bytes(file.begin(), file.begin() + long(cut)), image, CDibImage::kFormatMng));
    EXPECT_STRNE(image.GetLastError(), "");
  }
  Bytes broken = file;
  broken[60] ^= 0xFF;  // a CRC no longer matches
  InspectableImage image;
  EXPECT_FALSE(DecodeFrom(broken, image, CDibImage::kFormatMng));
  EXPECT_FALSE(DecodeFrom(Text("not an MNG file at all"), image, CDibImage::kFormatMng));
  EXPECT_STRNE(image.GetLastError(), "");
}

TEST(Mng, EndlessLoopsStillReturn) {
  // With delays the frames seen until the file is read, or the budget runs
  // out, stand.
  for (Repeat repeat : {Repeat::kLoop, Repeat::kTerm}) {
    InspectableImage image;
    ASSERT_TRUE(DecodeFrom(Animation(repeat), image, CDibImage::kFormatMng, 1)) << image.GetLastError();
    EXPECT_GE(image.GetNumFrames(), 3);
    const Bytes rgb = Samples(image, false);
    EXPECT_TRUE(std::equal(kFrameColours[1], kFrameColours[1] + 3, rgb.begin()));
  }
  // Without delays libmng would never come back on its own.
  for (Repeat repeat : {Repeat::kLoop, Repeat::kTerm}) {
    InspectableImage endless;
    EXPECT_FALSE(DecodeFrom(Animation(repeat, 0), endless, CDibImage::kFormatMng));
    EXPECT_STREQ(endless.GetLastError(), "MNG animation too long to display");
  }
  // Nor from two billion turns of an empty loop, which paint nothing.
  Bytes empty(kSignature, kSignature + 8);
  Chunk(empty, "MHDR", Cat({Be32(6), Be32(4), Be32(100), Be32(0), Be32(0), Be32(0), Be32(0)}));
  Chunk(empty, "LOOP", Cat({Bytes{0}, Be32(0x7FFFFFFF)}));
  Chunk(empty, "ENDL", Bytes{0});
  SolidImage(empty, 6, 4, kFrameColours[2]);
  Chunk(empty, "MEND", {});
  InspectableImage image;
  ASSERT_TRUE(DecodeFrom(empty, image, CDibImage::kFormatMng)) << image.GetLastError();
  EXPECT_EQ(image.GetNumFrames(), 1);
}

// ---- Against libmng's sample, pngcheck and ImageMagick ----

std::string LibmngSample() {
  if (const char* file = std::getenv("VESK_MNG_SAMPLE")) return file;
  return std::string(VESK_CODEC_TESTDATA) + "/libmng/linux.mng";
}

bool HaveImageMagick() {
  return Have("test -x /usr/bin/convert && test -x /usr/bin/identify");
}

TEST(MngReference, LibmngSampleFramesAsImageMagickReadsThem) {
  const std::string sample = LibmngSample();
  if (ReadFile(sample).empty()) GTEST_SKIP() << sample << " missing (scripts/fetch-testdata)";
  if (!HaveImageMagick()) GTEST_SKIP() << "ImageMagick missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  ASSERT_TRUE(RunTool("/usr/bin/convert " + Quoted(sample) + " -coalesce " + Quoted(dir.File("frame-%d.pam"))));
  int frames = 0;
  while (!ReadFile(dir.File("frame-" + std::to_string(frames) + ".pam")).empty()) ++frames;
  ASSERT_GT(frames, 1);

  for (int frame = 0; frame < frames; ++frame) {
    SCOPED_TRACE(frame);
    Pnm expected;
    ASSERT_TRUE(ParsePnm(ReadFile(dir.File("frame-" + std::to_string(frame) + ".pam")), expected));
    ASSERT_EQ(expected.depth, 4);
    InspectableImage ours;
    ours.Info().frameToLoad = frame;
    ASSERT_TRUE(ours.Load(Widen(sample).c_str(), CDibImage::kFormatMng)) << ours.GetLastError();
    EXPECT_EQ(ours.GetNumFrames(), frames);
    ASSERT_EQ(int(ours.GetWidth()), expected.width);
    ASSERT_EQ(int(ours.GetHeight()), expected.height);
    ASSERT_TRUE(ours.AlphaIsValid());
    const Bytes rgb = Samples(ours, false);
    size_t mismatches = 0;
    for (int y = 0; y < expected.height; ++y)
      for (int x = 0; x < expected.width; ++x) {
        const size_t i = size_t(y) * expected.width + x;
        const uint8_t alpha = ours.AlphaGet(x, expected.height - 1 - y);
        // Where nothing shows, the colour is of no account.
        const bool same = alpha == expected.samples[4 * i + 3] &&
                          (alpha == 0 || (rgb[3 * i] == expected.samples[4 * i] &&
                                          rgb[3 * i + 1] == expected.samples[4 * i + 1] &&
                                          rgb[3 * i + 2] == expected.samples[4 * i + 2]));
        mismatches += !same;
      }
    EXPECT_EQ(mismatches, 0u);
  }
  InspectableImage beyond;
  beyond.Info().frameToLoad = frames;
  EXPECT_FALSE(beyond.Load(Widen(sample).c_str(), CDibImage::kFormatMng));
  EXPECT_STREQ(beyond.GetLastError(), "Error: frame not present in MNG file");
}

TEST(MngReference, TruncatedSampleFails) {
  const Bytes sample = ReadFile(LibmngSample());
  if (sample.empty()) GTEST_SKIP() << LibmngSample() << " missing (scripts/fetch-testdata)";
  for (size_t cut : {size_t(40), sample.size() / 5, sample.size() / 2, sample.size() - 20}) {
    SCOPED_TRACE(cut);
    InspectableImage image;
    EXPECT_FALSE(DecodeFrom(Bytes(sample.begin(), sample.begin() + long(cut)), image, CDibImage::kFormatMng));
    EXPECT_STRNE(image.GetLastError(), "");
  }
}

TEST(MngReference, PngcheckAndImageMagickReadOurFiles) {
  if (!HaveImageMagick() || !Have("test -x /usr/bin/pngcheck")) GTEST_SKIP() << "ImageMagick or pngcheck missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  for (const auto& size : {std::pair<int32_t, int32_t>{5, 3}, {67, 45}}) {
    SCOPED_TRACE(size.first);
    const CDibImage source = Picture(size.first, size.second);
    Bytes bytes;
    ASSERT_TRUE(Encode(source, bytes));
    ASSERT_TRUE(WriteFile(dir.File("ours.mng"), bytes));
    EXPECT_TRUE(RunTool("/usr/bin/pngcheck -v " + Quoted(dir.File("ours.mng"))));
    ASSERT_TRUE(RunTool("/usr/bin/convert " + Quoted(dir.File("ours.mng")) + " " + Quoted(dir.File("back.ppm"))));
    Pnm back;
    ASSERT_TRUE(ParsePnm(ReadFile(dir.File("back.ppm")), back));
    EXPECT_EQ(Narrow(back), Samples(source, false));
  }
}

TEST(MngReference, JngFromImageMagick) {
  if (!HaveImageMagick()) GTEST_SKIP() << "ImageMagick missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  const CDibImage source = Picture(67, 45);
  ASSERT_TRUE(WriteFile(dir.File("src.ppm"), MakePnm(67, 45, 3, Samples(source, false))));
  ASSERT_TRUE(RunTool("/usr/bin/convert " + Quoted(dir.File("src.ppm")) + " -quality 92 " + Quoted(dir.File("x.jng"))));
  ASSERT_TRUE(RunTool("/usr/bin/convert " + Quoted(dir.File("x.jng")) + " " + Quoted(dir.File("ref.ppm"))));
  Pnm ref;
  ASSERT_TRUE(ParsePnm(ReadFile(dir.File("ref.ppm")), ref));
  CDibImage ours;
  ASSERT_TRUE(ours.Load(Widen(dir.File("x.jng")).c_str(), CDibImage::GetTypeIdFromName(L"jng")))
      << ours.GetLastError();
  EXPECT_EQ(ours.GetType(), DWORD(CDibImage::kFormatMng));
  EXPECT_LE(MaxDifference(Samples(ours, false), Narrow(ref)), 1);
}

}  // namespace
