// Round trips, and independent witnesses: our files read by PIL, and files of
// PIL, ImageMagick and gifsicle read by us, frame by frame, compared with
// PIL's decoding.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "image/tests/FormatTestSupport.h"
#include "image/tests/GifTestSupport.h"

using namespace giftest;
using formattest::ReadFile;
using formattest::Rgba;
using formattest::ScratchDir;
using formattest::ScreenPixel;
using formattest::WriteFile;

namespace {

bool HaveReferenceTools() {
#ifdef _WIN32
  return false;
#else
  return std::system("/usr/bin/python3 -c 'import PIL' >/dev/null 2>&1") == 0 &&
         std::system("test -x /usr/bin/convert && test -x /usr/bin/gifsicle") == 0;
#endif
}

bool RunReference(const std::string& command, const std::string& folder) {
  const std::string line = "/usr/bin/python3 '" + std::string(VESK_IMAGE_TEST_DIR) + "/gif_reference.py' " + command +
                           " '" + folder + "'";
  return std::system(line.c_str()) == 0;
}

// What PIL made of one file.
struct PilGif {
  int frames = 0, loop = -1;
  std::string comment = "-";
  std::vector<int> durations, disposals;
  std::vector<Bytes> rgba;  // per frame, top row first
  int width = 0, height = 0;
};

bool ReadPil(const ScratchDir& dir, const std::string& stem, PilGif& out) {
  const Bytes info = ReadFile(dir.File(stem + ".info"));
  std::istringstream lines(std::string(info.begin(), info.end()));
  std::string word;
  while (lines >> word) {
    if (word == "frames") lines >> out.frames;
    else if (word == "loop") lines >> out.loop;
    else if (word == "comment") lines >> out.comment;
    else if (word == "frame") {
      int k, duration, disposal;
      lines >> k >> duration >> disposal;
      out.durations.push_back(duration);
      out.disposals.push_back(disposal);
    }
  }
  for (int k = 0; k < out.frames; ++k) {
    const Bytes bytes = ReadFile(dir.File(stem + "." + std::to_string(k) + ".rgba"));
    const auto newline = std::find(bytes.begin(), bytes.end(), '\n');
    if (newline == bytes.end() || std::sscanf(std::string(bytes.begin(), newline).c_str(), "%d %d", &out.width, &out.height) != 2)
      return false;
    out.rgba.emplace_back(newline + 1, bytes.end());
    if (out.rgba.back().size() != size_t(out.width) * out.height * 4) return false;
  }
  return out.frames > 0;
}

// Our pixel as it shows: transparent where the transparent index or colour is.
Rgba Shown(const CDibImage& image, int32_t x, int32_t y) {
  Rgba c = ScreenPixel(image, x, y);
  const int32_t row = int32_t(image.GetHeight()) - 1 - y;
  if (image.IsTransparent()) {
    const RGBQUAD key = image.GetTransColor();
    const bool indexed = image.IsIndexed();
    if ((indexed && image.GetPixelIndex(x, row) == image.GetTransIndex()) ||
        (!indexed && c.r == key.rgbRed && c.g == key.rgbGreen && c.b == key.rgbBlue))
      c.a = 0;
  }
  return c;
}

// Where PIL shows nothing we must too; elsewhere the colours must agree.
void ExpectLooksLikePil(const CDibImage& image, const PilGif& pil, int frame, const std::string& name) {
  ASSERT_EQ(int(image.GetWidth()), pil.width) << name;
  ASSERT_EQ(int(image.GetHeight()), pil.height) << name;
  int mismatches = 0;
  for (int y = 0; y < pil.height; ++y)
    for (int x = 0; x < pil.width; ++x) {
      const uint8_t* p = &pil.rgba[size_t(frame)][(size_t(y) * pil.width + x) * 4];
      const Rgba want{p[0], p[1], p[2], p[3]};
      const Rgba got = Shown(image, x, y);
      const bool same = want.a == 0 ? got.a == 0 : got == want;
      if (!same && mismatches++ < 5)
        ADD_FAILURE() << name << " frame " << frame << " at " << x << "," << y << ": " << got << " PIL " << want;
    }
  EXPECT_EQ(mismatches, 0) << name << " frame " << frame;
}

void ExpectEveryFrameLikePil(const ScratchDir& dir, const std::string& stem, int* compared = nullptr) {
  PilGif pil;
  ASSERT_TRUE(ReadPil(dir, stem, pil)) << stem;
  const Bytes bytes = ReadFile(dir.File(stem + ".gif"));
  for (int k = 0; k < pil.frames; ++k) {
    InspectableGif gif;
    ASSERT_TRUE(Decode(gif, bytes, k)) << stem << " frame " << k << ": " << gif.GetLastError();
    EXPECT_EQ(gif.Info().frameCount, pil.frames) << stem;
    EXPECT_EQ(int(gif.Info().frameDelay) * 10, pil.durations[size_t(k)]) << stem << " frame " << k;
    if (pil.loop >= 0) { EXPECT_EQ(gif.GetLoops(), pil.loop) << stem; }
    ExpectLooksLikePil(gif, pil, k, stem);
    if (compared) ++*compared;
  }
}

// Every depth and compression mode, sizes from one pixel to one that fills
// the LZW table many times over, noise and long runs: read back by us (also
// under Wine) and by PIL.
TEST(GifRoundTrip, OursReadByUsAndByPil) {
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  std::map<std::string, std::unique_ptr<CDibImage>> singles;
  const int sizes[][2] = {{1, 1}, {1, 37}, {17, 15}, {300, 200}};
  for (WORD bpp : {1, 4, 8})
    for (DWORD mode : {0u, 1u, 2u})
      for (const auto& size : sizes)
        for (Content content : {Content::kNoise, Content::kRuns}) {
          const std::string stem = "ours_" + std::to_string(bpp) + "_" + std::to_string(mode) + "_" +
                                   std::to_string(size[0]) + "x" + std::to_string(size[1]) +
                                   (content == Content::kNoise ? "_noise" : "_runs");
          std::unique_ptr<CDibImage> image(MakeIndexed(size[0], size[1], bpp, content, bpp * 3 + mode));
          image->SetCodecOption(mode, CDibImage::kFormatGif);
          InspectableGif gif;
          gif.Ghost(*image);
          const Bytes bytes = Encode(gif);
          const ParsedGif parsed = Parse(bytes);
          ASSERT_TRUE(parsed.ok && parsed.images.size() == 1) << stem;
          const std::vector<int>& blocks = parsed.images[0].blockSizes;
          const int limit = mode == CDibImageGIF::kCompressRle ? 255 : 254;
          for (size_t i = 0; i < blocks.size(); ++i)
            EXPECT_TRUE(blocks[i] == limit || (i + 1 == blocks.size() && blocks[i] < limit)) << stem;
          InspectableGif back;
          ASSERT_TRUE(Decode(back, bytes)) << stem << ": " << back.GetLastError();
          ASSERT_EQ(back.GetBpp(), bpp) << stem;
          for (int32_t y = 0; y < size[1]; ++y)
            for (int32_t x = 0; x < size[0]; ++x)
              ASSERT_EQ(ScreenPixel(back, x, y), ScreenPixel(*image, x, y)) << stem << " at " << x << "," << y;
          ASSERT_TRUE(WriteFile(dir.File(stem + ".gif"), bytes)) << stem;
          singles[stem] = std::move(image);
        }
  if (!HaveReferenceTools()) GTEST_SKIP() << "Python PIL, ImageMagick or gifsicle missing";
  ASSERT_TRUE(RunReference("dump", dir.Path()));
  for (const auto& entry : singles) {
    PilGif pil;
    ASSERT_TRUE(ReadPil(dir, entry.first, pil)) << entry.first;
    ASSERT_EQ(pil.frames, 1) << entry.first;
    const CDibImage& source = *entry.second;
    for (int32_t y = 0; y < int32_t(source.GetHeight()); ++y)
      for (int32_t x = 0; x < int32_t(source.GetWidth()); ++x) {
        const uint8_t* p = &pil.rgba[0][(size_t(y) * pil.width + x) * 4];
        ASSERT_EQ((Rgba{p[0], p[1], p[2], p[3]}), ScreenPixel(source, x, y)) << entry.first << " at " << x << "," << y;
      }
  }
}

TEST(GifReference, OurAnimationsReadBackInPil) {
  if (!HaveReferenceTools()) GTEST_SKIP() << "Python PIL, ImageMagick or gifsicle missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  // An animation with timing, loop, comment and disposal of its own per frame...
  std::unique_ptr<CDibImage> a(MakeIndexed(30, 20, 8, Content::kRuns, 7)), b(MakeIndexed(30, 20, 8, Content::kNoise, 7)),
      c(MakeIndexed(30, 20, 8, Content::kRuns, 8));
  const int delays[] = {10, 25, 4};
  const BYTE disposals[] = {1, 2, 3};
  CDibImage* timed[] = {a.get(), b.get(), c.get()};
  for (int i = 0; i < 3; ++i) {
    timed[i]->SetFrameDelay(DWORD(delays[i]));
    timed[i]->SetDisposalMethod(disposals[i]);
  }
  InspectableGif animation;
  animation.SetLoops(3);
  animation.SetComment("vesk capture");
  ASSERT_TRUE(WriteFile(dir.File("anim_timed.gif"), EncodeFrames(animation, {a.get(), b.get(), c.get()}, false, true)));
  // ...and one of placed, transparent frames with palettes of their own, played once.
  std::unique_ptr<CDibImage> small(MakeIndexed(9, 5, 4, Content::kNoise, 11)), tiny(MakeIndexed(4, 4, 1, Content::kRuns, 12));
  small->SetOffset(6, 3);
  small->SetTransIndex(2);
  tiny->SetOffset(20, 14);
  InspectableGif placed;
  placed.SetLoops(1);
  ASSERT_TRUE(WriteFile(dir.File("anim_placed.gif"), EncodeFrames(placed, {a.get(), small.get(), tiny.get()}, true)));

  ASSERT_TRUE(RunReference("dump", dir.Path()));
  PilGif timedPil;
  ASSERT_TRUE(ReadPil(dir, "anim_timed", timedPil));
  EXPECT_EQ(timedPil.frames, 3);
  EXPECT_EQ(timedPil.durations, (std::vector<int>{100, 250, 40}));
  EXPECT_EQ(timedPil.disposals, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(timedPil.loop, 2);
  EXPECT_EQ(timedPil.comment, "7665736b2063617074757265");  // "vesk capture"
  ExpectEveryFrameLikePil(dir, "anim_timed");

  PilGif placedPil;
  ASSERT_TRUE(ReadPil(dir, "anim_placed", placedPil));
  EXPECT_EQ(placedPil.loop, -1) << "played once: no loop block";
  EXPECT_EQ(placedPil.width, 30);
  ExpectEveryFrameLikePil(dir, "anim_placed");
}

TEST(GifReference, FilesOfOtherToolsDecodeAsPilDecodesThem) {
  if (!HaveReferenceTools()) GTEST_SKIP() << "Python PIL, ImageMagick or gifsicle missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  ASSERT_TRUE(RunReference("make", dir.Path()));
  ASSERT_TRUE(RunReference("dump", dir.Path()));
  int files = 0, frames = 0;
  for (const std::string& file : dir.List()) {
    if (file.size() < 5 || file.substr(file.size() - 4) != ".gif" || file.rfind("gs_src", 0) == 0 ||
        file.rfind("gs_part", 0) == 0)
      continue;
    ExpectEveryFrameLikePil(dir, file.substr(0, file.size() - 4), &frames);
    ++files;
  }
  EXPECT_EQ(files, 30);
  EXPECT_GE(frames, 45);
}

}  // namespace
