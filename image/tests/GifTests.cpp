#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "image/formats/DibImageGIF.h"
#include "image/streams/MemoryStream.h"
#include "image/tests/FormatTestSupport.h"
#include "image/tests/GifTestSupport.h"

using namespace giftest;
using formattest::Rgba;
using formattest::ScratchDir;
using formattest::ScreenPixel;
using formattest::Widen;

namespace {

void ExpectSameIndexed(const CDibImage& a, const CDibImage& b, const std::string& name) {
  ASSERT_EQ(a.GetWidth(), b.GetWidth()) << name;
  ASSERT_EQ(a.GetHeight(), b.GetHeight()) << name;
  ASSERT_EQ(a.GetBpp(), b.GetBpp()) << name;
  for (DWORD i = 0; i < a.GetNumColors(); ++i) {
    const RGBQUAD p = a.GetPaletteColor(i), q = b.GetPaletteColor(i);
    ASSERT_TRUE(p.rgbRed == q.rgbRed && p.rgbGreen == q.rgbGreen && p.rgbBlue == q.rgbBlue) << name << " entry " << i;
  }
  for (int32_t y = 0; y < int32_t(a.GetHeight()); ++y)
    for (int32_t x = 0; x < int32_t(a.GetWidth()); ++x)
      ASSERT_EQ(a.GetPixelIndex(x, y), b.GetPixelIndex(x, y)) << name << " at " << x << "," << y;
}

// Palette indices of the decoded screen, top row first.
std::vector<std::vector<int>> ScreenIndices(const CDibImage& image) {
  std::vector<std::vector<int>> rows;
  for (int32_t y = int32_t(image.GetHeight()) - 1; y >= 0; --y) {
    rows.emplace_back();
    for (int32_t x = 0; x < int32_t(image.GetWidth()); ++x) rows.back().push_back(image.GetPixelIndex(x, y));
  }
  return rows;
}

// ---- Writer: exact bytes ----

TEST(GifWriter, HeaderGraphicControlAndCodeSize) {
  const struct {
    WORD bpp;
    int32_t trans;
    BYTE disposal;
    DWORD delay;
    uint8_t flags;
    int entries;
    Bytes control;  // flags, delay, index
    int codeSize;
  } cases[] = {
      {1, -1, 0, 0, 0x80, 2, {0x00, 0, 0, 0xFF}, 2},
      {4, 5, 2, 300, 0xE3, 16, {0x09, 0x2C, 0x01, 5}, 4},
      {8, -5, 3, 70000, 0xE7, 256, {0x0C, 0xFF, 0xFF, 0xFF}, 8},  // negative: no transparency; delay clamped
      {24, -1, 0, 0, 0x11, 0, {0x00, 0, 0, 0xFF}, 8},             // tiles
  };
  for (const auto& c : cases) {
    const std::string name = "bpp " + std::to_string(c.bpp);
    InspectableGif gif;
    gif.Create(21, 7, c.bpp, CDibImage::kFormatGif);
    gif.SetTransIndex(c.trans);
    gif.SetDisposalMethod(c.disposal);
    gif.SetFrameDelay(c.delay);
    bool ok = false;
    const ParsedGif parsed = Parse(Encode(gif, &ok));
    ASSERT_TRUE(ok && parsed.ok) << name << gif.GetLastError();
    EXPECT_EQ(parsed.header, (Bytes{'G', 'I', 'F', '8', '9', 'a', 21, 0, 7, 0, c.flags, 0, 0})) << name;
    EXPECT_EQ(parsed.globalEntries, c.entries) << name;
    Bytes control{0x21, 0xF9, 4};
    control.insert(control.end(), c.control.begin(), c.control.end());
    control.push_back(0);
    ASSERT_FALSE(parsed.controls.empty());
    EXPECT_EQ(parsed.controls[0], control) << name;
    EXPECT_EQ(parsed.images[0].codeSize, c.codeSize) << name;
    EXPECT_TRUE(parsed.loops.empty()) << name;
  }
}

TEST(GifWriter, LoopBlockAndComment) {
  const struct {
    int loops;
    Bytes block;  // data sub-block, empty when there is no loop block
  } cases[] = {{0, {1, 0, 0}}, {1, {}}, {3, {1, 2, 0}}, {-5, {1, 0, 0}}, {70000, {1, 0xFF, 0xFF}}};
  std::unique_ptr<CDibImage> a(MakeIndexed(4, 4, 8, Content::kNoise, 1)), b(MakeIndexed(4, 4, 8, Content::kNoise, 1));
  for (const auto& c : cases) {
    InspectableGif gif;
    gif.SetLoops(c.loops);
    const Bytes bytes = EncodeFrames(gif, {a.get(), b.get()});
    const ParsedGif parsed = Parse(bytes);
    ASSERT_TRUE(parsed.ok);
    ASSERT_EQ(parsed.loops.size(), c.block.empty() ? 0u : 1u) << c.loops;
    if (!c.block.empty()) { EXPECT_EQ(parsed.loops[0], c.block) << c.loops; }
    const bool netscape = std::string(bytes.begin(), bytes.end()).find("\x21\xFF\x0BNETSCAPE2.0\x03\x01") != std::string::npos;
    EXPECT_EQ(netscape, !c.block.empty()) << c.loops;
  }

  const std::string longText(300, 'x');
  for (const std::string& text : {longText, std::string("capture"), std::string()}) {
    InspectableGif gif;
    gif.Create(3, 3, 8, CDibImage::kFormatGif);
    gif.SetLoops(3);  // a single image never loops
    gif.SetComment(text.c_str());
    const ParsedGif parsed = Parse(Encode(gif));
    ASSERT_TRUE(parsed.ok);
    EXPECT_TRUE(parsed.loops.empty());
    ASSERT_EQ(parsed.comments.size(), text.empty() ? 0u : 1u);
    if (!text.empty()) { EXPECT_EQ(std::string(parsed.comments[0].begin(), parsed.comments[0].end()), text.substr(0, 255)); }
  }
}

// ---- Writer and reader together ----

TEST(GifRoundTrip, TrueColourTilesReadBackWhole) {
  const struct {
    int32_t width, height;
    std::vector<std::vector<uint32_t>> tiles;  // left, top, width, height
  } cases[] = {
      {40, 20, {{0, 0, 17, 15}, {17, 0, 17, 15}, {34, 0, 6, 15}, {0, 15, 17, 5}, {17, 15, 17, 5}, {34, 15, 6, 5}}},
      {17, 30, {{0, 0, 17, 15}, {0, 15, 17, 15}}},
      {30, 10, {{0, 0, 17, 10}, {17, 0, 13, 10}}},
      {17, 15, {{0, 0, 17, 15}}},
  };
  for (const auto& c : cases) {
    const std::string name = std::to_string(c.width) + "x" + std::to_string(c.height);
    InspectableGif gif;
    gif.Create(c.width, c.height, 24, CDibImage::kFormatGif);
    for (int32_t y = 0; y < c.height; ++y)
      for (int32_t x = 0; x < c.width; ++x)  // some colours repeat inside a tile
        gif.SetPixelColor(x, y, RGBQUAD{BYTE(x * 6), BYTE(y * 12), BYTE((x / 2) * (y / 3)), 0});
    const RGBQUAD key = gif.GetPixelColor(3, 2);
    gif.SetTransColor(key);
    gif.SetTransIndex(0);
    const Bytes bytes = Encode(gif);
    const ParsedGif parsed = Parse(bytes);
    ASSERT_TRUE(parsed.ok) << name;
    ASSERT_EQ(parsed.images.size(), c.tiles.size()) << name;
    for (size_t i = 0; i < c.tiles.size(); ++i) {
      const ParsedImage& tile = parsed.images[i];
      EXPECT_EQ((std::vector<uint32_t>{tile.left, tile.top, tile.width, tile.height}), c.tiles[i]) << name << " tile " << i;
      EXPECT_EQ(tile.flags, 0x87);
      EXPECT_EQ(parsed.controls[i], (Bytes{0x21, 0xF9, 4, 1, 0, 0, 0, 0})) << name;
    }
    InspectableGif back;
    ASSERT_TRUE(Decode(back, bytes)) << name << ": " << back.GetLastError();
    EXPECT_EQ(back.GetBpp(), c.tiles.size() > 1 ? 24 : 8) << name;
    EXPECT_EQ(back.Info().transIndex, 0) << name;
    const RGBQUAD backKey = back.GetTransColor();
    EXPECT_TRUE(backKey.rgbRed == key.rgbRed && backKey.rgbGreen == key.rgbGreen && backKey.rgbBlue == key.rgbBlue) << name;
    if (back.GetBpp() == 8) { EXPECT_EQ(back.GetPixelIndex(3, 2), 0) << "the transparent colour takes entry 0"; }
    for (int32_t y = 0; y < c.height; ++y)
      for (int32_t x = 0; x < c.width; ++x)
        ASSERT_EQ(ScreenPixel(back, x, y), ScreenPixel(gif, x, y)) << name << " at " << x << "," << y;
  }
}

// ---- Animations ----

TEST(GifWriter, AnimatedWriterRefusesBeforeWriting) {
  std::unique_ptr<CDibImage> good(MakeIndexed(4, 4, 8, Content::kNoise, 3));
  CDibImage empty, trueColour(4, 4, 24), wide(70000, 1, 1), placed(600, 2, 1), left(3, 3, 1);
  placed.SetOffset(65000, 0);
  left.SetOffset(-1, 0);
  const char* trueColourText =
      "CDibImageGIF::Encode cannot create animated GIFs with a true color frame. Use DecreaseBpp before";
  const struct {
    std::vector<CDibImage*> frames;
    const char* message;
  } cases[] = {
      {{}, "multipage GIF, no images!"},
      {{nullptr, good.get()}, "multipage GIF, no images!"},
      {{good.get(), nullptr}, "Bad image pointer"},
      {{good.get(), &empty}, "Empty image"},
      {{good.get(), good.get(), &trueColour}, trueColourText},
      {{good.get(), &wide}, "GIF width and height are limited to 65535 pixels"},
      {{good.get(), &placed}, "GIF frame offset outside 0-65535, or the frame ends beyond 65535"},
      {{&left}, "GIF frame offset outside 0-65535, or the frame ends beyond 65535"},
  };
  for (const auto& c : cases) {
    InspectableGif gif;
    bool ok = true;
    EXPECT_TRUE(EncodeFrames(gif, c.frames, false, false, &ok).empty()) << c.message;
    EXPECT_FALSE(ok);
    EXPECT_STREQ(gif.GetLastError(), c.message);
  }
  InspectableGif gif;
  CDibImage* frames[] = {good.get()};
  EXPECT_FALSE(gif.Encode(nullptr, frames, 1));
  EXPECT_STREQ(gif.GetLastError(), "invalid file pointer");
}

TEST(GifWriter, AnimationScreenTablesAndDisposal) {
  std::unique_ptr<CDibImage> f0(MakeIndexed(20, 10, 8, Content::kNoise, 5));
  std::unique_ptr<CDibImage> f1(MakeIndexed(5, 4, 8, Content::kNoise, 5));  // same palette as f0
  std::unique_ptr<CDibImage> f2(MakeIndexed(6, 3, 4, Content::kRuns, 9));   // its own palette
  f1->SetOffset(30, 2);
  f2->SetOffset(1, 1);
  f0->SetDisposalMethod(1);
  f1->SetDisposalMethod(3);
  f2->SetDisposalMethod(2);
  f1->SetFrameDelay(250);
  for (bool local : {false, true})
    for (bool localDisposal : {false, true}) {
      InspectableGif gif;
      gif.SetDisposalMethod(2);
      const ParsedGif parsed = Parse(EncodeFrames(gif, {f0.get(), f1.get(), f2.get()}, local, localDisposal));
      ASSERT_TRUE(parsed.ok);
      EXPECT_EQ(parsed.header[6] | parsed.header[7] << 8, 35);  // the screen holds every frame
      EXPECT_EQ(parsed.header[8] | parsed.header[9] << 8, 10);
      ASSERT_EQ(parsed.images.size(), 3u);
      EXPECT_EQ(parsed.images[0].tableEntries, 0);
      EXPECT_EQ(parsed.images[1].tableEntries, local ? 256 : 0);
      EXPECT_EQ(parsed.images[2].tableEntries, 16);
      EXPECT_EQ(parsed.images[1].left, 30u);
      const int disposals[] = {1, 3, 2};
      for (int i = 0; i < 3; ++i) EXPECT_EQ((parsed.controls[i][3] >> 2) & 7, localDisposal ? disposals[i] : 2);
      EXPECT_EQ(parsed.controls[1][4] | parsed.controls[1][5] << 8, 250);
    }
}

// A stream that takes `budget` bytes and then no more: a full disk.
class FullStream : public CMemoryStream {
 public:
  explicit FullStream(size_t budget) : m_budget(budget) { Open(); }
  size_t Write(const void* buffer, size_t size, size_t count) override {
    const size_t n = std::min(count, size ? m_budget / size : 0);
    m_budget -= n * size;
    return CMemoryStream::Write(buffer, size, n);
  }
  bool PutC(uint8_t c) override { return Write(&c, 1, 1) == 1; }

 private:
  size_t m_budget;
};

TEST(GifWriter, WriteErrorsFail) {
  std::unique_ptr<CDibImage> frame(MakeIndexed(300, 200, 8, Content::kNoise, 2));
  for (size_t budget : {0, 100, 40000}) {
    InspectableGif single, animated, tiles;
    single.Ghost(*frame);
    tiles.Create(200, 100, 24, CDibImage::kFormatGif);
    FullStream a(budget), b(budget), c(budget);
    CDibImage* frames[] = {frame.get(), frame.get()};
    EXPECT_FALSE(single.Encode(&a));
    EXPECT_FALSE(animated.Encode(&b, frames, 2));
    EXPECT_FALSE(tiles.Encode(&c));
    for (const CDibImage* image : {static_cast<CDibImage*>(&single), static_cast<CDibImage*>(&animated), static_cast<CDibImage*>(&tiles)})
      EXPECT_STREQ(image->GetLastError(), "Write Error in GIF file") << budget;
  }
}

TEST(GifWriter, FramesAreWrittenOnlyWhenHeld) {
  std::unique_ptr<CDibImage> f0(MakeIndexed(4, 4, 8, Content::kNoise, 1)), f1(MakeIndexed(4, 4, 8, Content::kNoise, 1));
  InspectableGif encoder, decoded;
  ASSERT_TRUE(Decode(decoded, EncodeFrames(encoder, {f0.get(), f1.get(), f0.get()})));
  EXPECT_EQ(decoded.Info().frameCount, 3);  // counted, not held
  EXPECT_EQ(Parse(Encode(decoded)).images.size(), 1u);

  InspectableGif holder;
  holder.Create(4, 4, 8, CDibImage::kFormatGif);
  holder.AdoptFrames({MakeIndexed(4, 4, 8, Content::kNoise, 1), MakeIndexed(4, 4, 8, Content::kRuns, 1)});
  EXPECT_EQ(Parse(Encode(holder)).images.size(), 2u);
}

// ---- Reader ----

TEST(GifReader, RefusesWhatItCannotRead) {
  const Bytes pixels = Literals(2, {1, 2, 3, 0});
  const Bytes header = GifBuilder(2, 2).End();
  const Bytes cutTable(header.begin(), header.begin() + 16);
  const Bytes cutDescriptor = [&] {
    return GifBuilder(2, 2).Raw({',', 0, 0, 0, 0, 2}).Data();
  }();
  const struct {
    const char* name;
    Bytes bytes;
    int frame;
    const char* message;
  } cases[] = {
      {"empty", {}, 0, "Not a GIF file"},
      {"short header", {'G', 'I', 'F', '8', '9', 'a', 1, 0}, 0, "Not a GIF file"},
      {"other signature", {'G', 'I', 'F', '9', '9', 'a', 1, 0, 1, 0, 0, 0, 0}, 0, "Not a GIF file"},
      {"global table cut", cutTable, 0, "GIF colour table truncated"},
      {"no image", header, 0, "GIF file contains no image"},
      {"descriptor cut", cutDescriptor, 0, "GIF file contains no image"},
      {"zero-size image only", GifBuilder(2, 2).Image(0, 0, 0, 2, pixels).End(), 0, "GIF file contains no image"},
      {"image beyond the screen", GifBuilder(2, 2).Image(1, 0, 2, 2, pixels).End(), 0, "GIF file contains no image"},
      {"frame 1 of 1", GifBuilder(2, 2).Image(0, 0, 2, 2, pixels).End(), 1, "GIF frame to load out of range"},
      {"frame -1", GifBuilder(2, 2).Image(0, 0, 2, 2, pixels).End(), -1, "GIF frame to load out of range"},
      {"huge screen", GifBuilder(65535, 65535, 256).Image(0, 0, 2, 2, pixels).End(), 0,
       "GIF logical screen larger than 67108864 pixels"},
  };
  for (const auto& c : cases) {
    InspectableGif gif;
    EXPECT_FALSE(Decode(gif, c.bytes, c.frame)) << c.name;
    EXPECT_STREQ(gif.GetLastError(), c.message) << c.name;
    EXPECT_FALSE(gif.IsValid()) << c.name;
  }
}

TEST(GifReader, SizeQuery) {
  InspectableGif gif;
  gif.SetEscape(-1);
  ASSERT_TRUE(Decode(gif, GifBuilder(300, 7).End()));
  EXPECT_EQ(gif.GetWidth(), 300u);
  EXPECT_EQ(gif.GetHeight(), 7u);
  EXPECT_EQ(gif.GetType(), CDibImage::kFormatGif);
  EXPECT_FALSE(gif.IsValid());
}

TEST(GifReader, DamagedAndUnusualImages) {
  using Rows = std::vector<std::vector<int>>;
  const Bytes twelve = Literals(2, {0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 2, 2});
  Bytes cut = twelve;
  cut.resize(4);  // the stream ends inside the data
  // After clear, 1, 2, 3 the table holds entries up to 7 and codes are 4 bits wide.
  const std::vector<std::pair<int, int>> badCode = {{4, 3}, {1, 3}, {2, 3}, {3, 3}, {15, 4}, {1, 4}};
  const struct {
    const char* name;
    Bytes bytes;
    Rows expected;
  } cases[] = {
      {"plain", GifBuilder(4, 3).Image(0, 0, 4, 3, twelve).End(), {{0, 1, 2, 3}, {3, 2, 1, 0}, {1, 1, 2, 2}}},
      {"GIF87a", GifBuilder(4, 3, 4, "GIF87a").Image(0, 0, 4, 3, twelve).End(), {{0, 1, 2, 3}, {3, 2, 1, 0}, {1, 1, 2, 2}}},
      {"code size 0", GifBuilder(4, 3).Image(0, 0, 4, 3, CodeStream(0, {{1, 1}})).End(), Rows(3, {0, 0, 0, 0})},
      {"code size 12", GifBuilder(4, 3).Image(0, 0, 4, 3, CodeStream(12, {{1, 13}})).End(), Rows(3, {0, 0, 0, 0})},
      {"code beyond the table", GifBuilder(4, 3).Image(0, 0, 4, 3, CodeStream(2, badCode)).End(),
       {{1, 2, 3, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}}},
      {"stream ends in the data", GifBuilder(4, 3).Image(0, 0, 4, 3, cut).Data(), {{0, 1, 2, 3}, {0, 0, 0, 0}, {0, 0, 0, 0}}},
      {"zero-size and outside images are passed over",
       GifBuilder(4, 3).Image(0, 0, 0, 3, twelve).Image(2, 2, 4, 3, twelve).Image(0, 0, 4, 3, twelve).End(),
       {{0, 1, 2, 3}, {3, 2, 1, 0}, {1, 1, 2, 2}}},
      {"stray bytes before the image", GifBuilder(4, 3).Raw({'x', ',', 0}).Image(0, 0, 4, 3, twelve).End(),
       {{0, 1, 2, 3}, {3, 2, 1, 0}, {1, 1, 2, 2}}},
      {"offset on a transparent canvas", GifBuilder(4, 3).Control(3).Image(1, 1, 2, 2, Literals(2, {0, 1, 2, 3})).End(),
       {{3, 3, 3, 3}, {3, 0, 1, 3}, {3, 2, 3, 3}}},
      {"interlaced height 2", GifBuilder(1, 2).Image(0, 0, 1, 2, Literals(2, {1, 2}), true).End(), {{1}, {2}}},
      {"interlaced height 4", GifBuilder(1, 4).Image(0, 0, 1, 4, Literals(2, {1, 2, 3, 0}), true).End(), {{1}, {3}, {2}, {0}}},
      {"interlaced height 10",
       GifBuilder(1, 10, 16).Image(0, 0, 1, 10, Literals(4, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}), true).End(),
       {{0}, {5}, {3}, {6}, {2}, {7}, {4}, {8}, {1}, {9}}},
  };
  for (const auto& c : cases) {
    InspectableGif gif;
    ASSERT_TRUE(Decode(gif, c.bytes)) << c.name << ": " << gif.GetLastError();
    EXPECT_EQ(ScreenIndices(gif), c.expected) << c.name;
  }
}

TEST(GifReader, ExtensionsAndCompositing) {
  // Frame 0 fills the 4x3 screen with entry 1 and declares entry 2
  // transparent; the later frames are 2x2 at (1,1).
  const Bytes full = Literals(2, std::vector<int>(12, 1));
  const Bytes square = Literals(2, {2, 3, 0, 2});
  GifBuilder file(4, 3);
  file.Raw({0x21, 0xFF, 11, 'X', 'M', 'P', ' ', 'D', 'a', 't', 'a', 'X', 'M', 'P', 3, 1, 9, 9, 0});
  file.Raw({0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 7, 0, 0});
  file.Raw({0x21, 0xFE, 5, 'h', 'e', 'l', 'l', 'o', 0});
  file.Control(2, 1, 10).Image(0, 0, 4, 3, full);
  file.Control(3, 2, 20).Image(1, 1, 2, 2, square);
  file.Image(1, 1, 1, 2, Literals(2, {3, 3}));  // no control block: nothing transparent
  file.Control(0, 3, 30).Image(1, 1, 2, 2, Literals(2, {0, 1, 1, 1}));
  file.Control(-1, 0, 40).Image(0, 0, 1, 1, Literals(2, {0}), false, 4, 1);  // a palette of its own
  const Bytes bytes = file.End();

  using Rows = std::vector<std::vector<int>>;
  const struct {
    Rows indices;
    int delay, disposal;
  } frames[] = {
      {{{1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}}, 10, 1},
      {{{1, 1, 1, 1}, {1, 2, 1, 1}, {1, 0, 2, 1}}, 20, 2},
      {{{1, 1, 1, 1}, {1, 3, 2, 1}, {1, 3, 2, 1}}, 0, 0},  // disposal 2 cleared only the square, to entry 2
      {{{1, 1, 1, 1}, {1, 3, 1, 1}, {1, 1, 1, 1}}, 30, 3},
  };
  for (int k = 0; k < 4; ++k) {
    InspectableGif gif;
    ASSERT_TRUE(Decode(gif, bytes, k)) << k << gif.GetLastError();
    EXPECT_EQ(ScreenIndices(gif), frames[k].indices) << "frame " << k;
    EXPECT_EQ(gif.GetLoops(), 7);
    EXPECT_STREQ(gif.GetComment(), "hello");
    EXPECT_EQ(gif.Info().frameCount, 5);
    EXPECT_EQ(gif.Info().transIndex, 2) << "the first frame's";
    EXPECT_EQ(int(gif.Info().frameDelay), frames[k].delay);
    EXPECT_EQ(gif.GetDisposalMethod(), frames[k].disposal);
  }
  // Frame 3 put back what lay under it; frame 4's palette contradicts the
  // canvas's, so the picture keeps colours, with transparency as alpha.
  InspectableGif last;
  ASSERT_TRUE(Decode(last, bytes, 4));
  ASSERT_EQ(last.GetBpp(), 24);
  auto entry = [](int i, int alpha = 255) { return Rgba{uint8_t(i * 40), uint8_t(255 - i * 40), uint8_t(i * 7), uint8_t(alpha)}; };
  EXPECT_EQ(ScreenPixel(last, 0, 0), entry(1));  // frame 4's entry 0 is the file's entry 1
  EXPECT_EQ(ScreenPixel(last, 1, 1), entry(3));
  EXPECT_EQ(ScreenPixel(last, 2, 1), entry(2, 0));
  EXPECT_EQ(ScreenPixel(last, 1, 2), entry(3));
  EXPECT_EQ(ScreenPixel(last, 3, 2), entry(1));
}

TEST(GifReader, CanvasTakesTheDeepestFrame) {
  // A 2-colour frame, then a 16-colour one whose table starts like the global one.
  GifBuilder file(3, 1, 2);
  file.Image(0, 0, 3, 1, Literals(2, {1, 0, 1}));
  file.Image(2, 0, 1, 1, Literals(4, {9}), false, 16);
  const Bytes bytes = file.End();
  InspectableGif gif;
  ASSERT_TRUE(Decode(gif, bytes, 1));
  EXPECT_EQ(gif.GetBpp(), 4);
  EXPECT_EQ(ScreenIndices(gif), (std::vector<std::vector<int>>{{1, 0, 9}}));
  EXPECT_EQ(ScreenPixel(gif, 2, 0), (Rgba{uint8_t(9 * 40), uint8_t(255 - 9 * 40), 63, 255}));
  ASSERT_TRUE(Decode(gif, bytes, 0));
  EXPECT_EQ(gif.GetBpp(), 1);
}

TEST(GifCodec, ThroughTheDispatch) {
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  std::unique_ptr<CDibImage> image(MakeIndexed(33, 9, 4, Content::kRuns, 4));
  const std::wstring name = Widen(dir.File("capture.gif"));
  ASSERT_TRUE(image->Save(name.c_str(), CDibImage::kFormatGif)) << image->GetLastError();
  CDibImage loaded;
  ASSERT_TRUE(loaded.Load(name.c_str(), CDibImage::kFormatUnknown)) << loaded.GetLastError();
  EXPECT_EQ(loaded.GetType(), CDibImage::kFormatGif);
  ExpectSameIndexed(*image, loaded, "dispatch");
}

}  // namespace
