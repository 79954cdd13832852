// GIF output as the program makes it: a 1920 x 1080 screenshot-like capture
// reduced to 256 colours (octree palette, DecreaseBpp with error diffusion)
// and encoded, and a 50-frame 640 x 480 continuous capture with one palette
// for all frames. `gif_bench --write-inputs DIR` writes the pictures
// (screen.ppm, anim_NN.ppm), a lossless GIF of the screen (screen_tiles.gif,
// the true-colour tiles, since gifsicle reads only GIF) and our results
// (ours_screen.gif, ours_anim.gif) for bench/compare.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "image/DibImage.h"
#include "image/Quantizer.h"
#include "image/formats/DibImageGIF.h"
#include "image/streams/MemoryStream.h"

namespace {

void Fill(CDibImage& image, int32_t left, int32_t top, int32_t width, int32_t height, BYTE r, BYTE g, BYTE b) {
  const int32_t w = int32_t(image.GetWidth()), h = int32_t(image.GetHeight());
  for (int32_t y = std::max(top, 0); y < top + height && y < h; ++y) {
    BYTE* row = image.GetBits(DWORD(h - 1 - y));
    for (int32_t x = std::max(left, 0); x < left + width && x < w; ++x) {
      row[3 * x] = b;
      row[3 * x + 1] = g;
      row[3 * x + 2] = r;
    }
  }
}

// A desktop: gradient background, windows with gradient title bars and
// anti-aliased "text", colourful icons. `frame` moves a window and a cursor.
std::unique_ptr<CDibImage> Desktop(int32_t width, int32_t height, int frame) {
  auto image = std::make_unique<CDibImage>(width, height, 24);
  for (int32_t y = 0; y < height; ++y) {
    BYTE* row = image->GetBits(DWORD(height - 1 - y));
    for (int32_t x = 0; x < width; ++x) {
      row[3 * x] = BYTE(120 + 100 * y / height);
      row[3 * x + 1] = BYTE(60 + 80 * x / width);
      row[3 * x + 2] = BYTE(30 + 40 * (x + y) / (width + height));
    }
  }
  uint32_t noise = 2024;
  auto next = [&noise](uint32_t range) {
    noise = noise * 1664525u + 1013904223u;
    return int32_t((noise >> 8) % range);
  };
  const int32_t windows[][4] = {{width / 32, height / 27, width / 2, height * 3 / 5},
                                {width * 3 / 8 + frame * 6, height / 5 + frame * 2, width / 2, height * 2 / 3},
                                {width * 2 / 3, height / 18, width / 4, height * 2 / 5}};
  for (const auto& w : windows) {
    for (int32_t x = 0; x < w[2]; ++x) Fill(*image, w[0] + x, w[1], 1, 24, BYTE(200 - 120 * x / w[2]), BYTE(120 - 60 * x / w[2]), 40);
    Fill(*image, w[0], w[1] + 24, w[2], w[3] - 24, 250, 250, 250);
    for (int32_t line = w[1] + 34; line + 14 < w[1] + w[3]; line += 18)
      for (int32_t x = w[0] + 10; x < w[0] + w[2] - 30; x += 8 * (4 + next(8))) {
        for (int32_t c = 0; c < 3 + next(6); ++c) {
          Fill(*image, x + 8 * c + 1, line + next(4), 1, 8 + next(4), 30, 30, 30);
          Fill(*image, x + 8 * c + 2, line + 2, 1, 10, 170, 170, 170);
          Fill(*image, x + 8 * c + 3 + next(2), line + 5, 3, 1 + next(2), 60, 60, 60);
        }
      }
  }
  for (int32_t i = 0; i < 8; ++i)
    for (int32_t y = 0; y < 24; ++y)
      for (int32_t x = 0; x < 24; ++x)
        Fill(*image, 12 + x, height / 2 + i * 30 + y, 1, 1, BYTE(i * 30 + x * 4), BYTE(255 - y * 9), BYTE((x * y + i * 37) & 255));
  Fill(*image, width / 2 + frame * 5, height / 3 + frame * 3, 3, 16, 0, 0, 0);  // the cursor
  return image;
}

const CDibImage& Screen() {
  static const std::unique_ptr<CDibImage> screen = Desktop(1920, 1080, 0);
  return *screen;
}

const std::vector<std::unique_ptr<CDibImage>>& Frames() {
  static const std::vector<std::unique_ptr<CDibImage>> frames = [] {
    std::vector<std::unique_ptr<CDibImage>> list;
    for (int i = 0; i < 50; ++i) list.push_back(Desktop(640, 480, i));
    return list;
  }();
  return frames;
}

// One palette for every picture, then each reduced to it with error diffusion.
bool ReduceTo256(const std::vector<CDibImage*>& pictures) {
  CQuantizer quantizer(7);
  for (CDibImage* picture : pictures)
    if (!quantizer.ProcessImage(picture->GetDIB())) return false;
  RGBQUAD palette[256] = {};
  quantizer.SetColorTable(palette);
  for (CDibImage* picture : pictures)
    if (!picture->DecreaseBpp(8, true, palette, 256)) return false;
  return true;
}

std::vector<BYTE> ScreenGif(const CDibImage& screen) {
  CDibImage reduced(screen);
  CDibImageGIF gif;
  CMemoryStream stream;
  stream.Open();
  if (!ReduceTo256({&reduced})) return {};
  gif.Ghost(reduced);
  if (!gif.Encode(&stream)) return {};
  return std::vector<BYTE>(stream.GetBuffer(false), stream.GetBuffer(false) + stream.Size());
}

// As the continuous capture builds its GIF: shared palette, disposal 2, looping.
std::vector<BYTE> AnimationGif(const std::vector<std::unique_ptr<CDibImage>>& frames) {
  std::vector<std::unique_ptr<CDibImage>> copies;
  std::vector<CDibImage*> pointers;
  for (const auto& frame : frames) {
    copies.push_back(std::make_unique<CDibImage>(*frame));
    pointers.push_back(copies.back().get());
  }
  if (!ReduceTo256(pointers)) return {};
  for (CDibImage* frame : pointers) frame->SetFrameDelay(10);
  CDibImageGIF gif;
  gif.SetComment("VeskGIF");
  gif.SetLoops(0);
  gif.SetDisposalMethod(2);
  CMemoryStream stream;
  stream.Open();
  if (!gif.Encode(&stream, pointers.data(), int(pointers.size()), false, false)) return {};
  return std::vector<BYTE>(stream.GetBuffer(false), stream.GetBuffer(false) + stream.Size());
}

void BM_GifScreen(benchmark::State& state) {
  size_t bytes = 0;
  for (auto _ : state) {
    bytes = ScreenGif(Screen()).size();
    if (!bytes) state.SkipWithError("encode failed");
  }
  state.counters["file_bytes"] = double(bytes);
}
BENCHMARK(BM_GifScreen)->Unit(benchmark::kMillisecond);

void BM_GifAnimation(benchmark::State& state) {
  size_t bytes = 0;
  for (auto _ : state) {
    bytes = AnimationGif(Frames()).size();
    if (!bytes) state.SkipWithError("encode failed");
  }
  state.counters["file_bytes"] = double(bytes);
}
BENCHMARK(BM_GifAnimation)->Unit(benchmark::kMillisecond);

// The encoder alone on the reduced screen, per compression mode.
void BM_GifEncodeOnly(benchmark::State& state) {
  CDibImage reduced(Screen());
  ReduceTo256({&reduced});
  reduced.SetCodecOption(DWORD(state.range(0)), CDibImage::kFormatGif);
  CMemoryStream stream;
  stream.Open();
  for (auto _ : state) {
    stream.Seek(0, CByteStream::kFromStart);
    CDibImageGIF gif;
    gif.Ghost(reduced);
    if (!gif.Encode(&stream)) state.SkipWithError("encode failed");
  }
  state.counters["file_bytes"] = double(stream.Size());
}
BENCHMARK(BM_GifEncodeOnly)->ArgName("mode")->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_GifDecode(benchmark::State& state) {
  std::vector<BYTE> file = ScreenGif(Screen());
  for (auto _ : state) {
    CMemoryStream stream(file.data(), uint32_t(file.size()));
    CDibImageGIF gif;
    if (!gif.Decode(&stream)) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(gif.GetBits());
  }
}
BENCHMARK(BM_GifDecode)->Unit(benchmark::kMillisecond);

bool WriteBytes(const std::string& path, const std::vector<BYTE>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written && !bytes.empty();
}

bool WritePpm(const std::string& path, const CDibImage& image) {
  const int32_t w = int32_t(image.GetWidth()), h = int32_t(image.GetHeight());
  std::string header = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  std::vector<BYTE> bytes(header.begin(), header.end());
  for (int32_t y = h - 1; y >= 0; --y) {
    const BYTE* row = image.GetBits(DWORD(y));
    for (int32_t x = 0; x < w; ++x) bytes.insert(bytes.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
  }
  return WriteBytes(path, bytes);
}

bool WriteInputs(const std::string& directory) {
  if (!WritePpm(directory + "/screen.ppm", Screen())) return false;
  for (size_t i = 0; i < Frames().size(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/anim_%02zu.ppm", i);
    if (!WritePpm(directory + name, *Frames()[i])) return false;
  }
  CDibImageGIF tiles;
  tiles.Ghost(Screen());
  CMemoryStream stream;
  stream.Open();
  if (!tiles.Encode(&stream)) return false;
  return WriteBytes(directory + "/screen_tiles.gif",
                    std::vector<BYTE>(stream.GetBuffer(false), stream.GetBuffer(false) + stream.Size())) &&
         WriteBytes(directory + "/ours_screen.gif", ScreenGif(Screen())) &&
         WriteBytes(directory + "/ours_anim.gif", AnimationGif(Frames()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write-inputs") == 0) return WriteInputs(argv[2]) ? 0 : 1;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
