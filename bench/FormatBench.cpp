// BMP encode/decode and the 256-colour reduction for GIF output (octree
// palette, then DecreaseBpp) of a 1920 x 1080 screenshot-like picture.
// `format_bench --write-inputs DIR` writes the picture (screen.ppm), our BMP
// of it (screen.bmp) and our 256-colour results (quantized_diffused.bmp,
// quantized_plain.bmp) so that bench/compare can time and judge other tools
// on the same input.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "image/DibImage.h"
#include "image/Quantizer.h"
#include "image/streams/MemoryStream.h"

namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;

void FillRect(CDibImage& image, int32_t left, int32_t top, int32_t width, int32_t height, RGBQUAD colour) {
  for (int32_t y = top; y < top + height && y < kHeight; ++y) {
    BYTE* row = image.GetBits(static_cast<DWORD>(kHeight - 1 - y));
    for (int32_t x = left; x < left + width && x < kWidth; ++x) std::memcpy(row + 3 * x, &colour, 3);
  }
}

// A desktop: a gradient background, windows with title-bar gradients, flat
// client areas full of small dark "text" strokes with anti-aliased edges, and
// a few colourful icons.
const CDibImage& Screen() {
  static CDibImage* screen = [] {
    auto* image = new CDibImage(kWidth, kHeight, 24, 0);
    for (int32_t y = 0; y < kHeight; ++y) {
      BYTE* row = image->GetBits(static_cast<DWORD>(kHeight - 1 - y));
      for (int32_t x = 0; x < kWidth; ++x) {
        row[3 * x] = static_cast<BYTE>(120 + 100 * y / kHeight);
        row[3 * x + 1] = static_cast<BYTE>(60 + 80 * x / kWidth);
        row[3 * x + 2] = static_cast<BYTE>(30 + 40 * (x + y) / (kWidth + kHeight));
      }
    }
    uint32_t noise = 2024;
    auto next = [&noise](uint32_t range) {
      noise = noise * 1664525u + 1013904223u;
      return static_cast<int32_t>((noise >> 8) % range);
    };
    const int32_t windows[][4] = {{60, 40, 900, 620}, {700, 200, 1100, 760}, {1300, 60, 560, 420}};
    for (const auto& w : windows) {
      const int32_t left = w[0], top = w[1], width = w[2], height = w[3];
      for (int32_t x = 0; x < width; ++x)
        FillRect(*image, left + x, top, 1, 28, RGBQUAD{BYTE(200 - 120 * x / width), BYTE(120 - 60 * x / width), 40, 0});
      FillRect(*image, left, top + 28, width, height - 28, RGBQUAD{250, 250, 250, 0});
      for (int32_t line = top + 40; line + 14 < top + height; line += 18) {
        int32_t x = left + 12;
        while (x < left + width - 40) {
          const int32_t word = 3 + next(8);
          for (int32_t c = 0; c < word; ++c, x += 8) {
            // A glyph: a few strokes with grey anti-aliasing beside them.
            FillRect(*image, x + 1, line + next(4), 1, 8 + next(4), RGBQUAD{30, 30, 30, 0});
            FillRect(*image, x + 2, line + 2, 1, 10, RGBQUAD{170, 170, 170, 0});
            FillRect(*image, x + 3 + next(2), line + 5, 3, 1 + next(2), RGBQUAD{60, 60, 60, 0});
          }
          x += 8;
        }
      }
    }
    for (int32_t i = 0; i < 12; ++i) {
      const int32_t left = 20, top = 700 + i * 30;
      for (int32_t y = 0; y < 24; ++y)
        for (int32_t x = 0; x < 24; ++x)
          FillRect(*image, left + x, top + y, 1, 1,
                   RGBQUAD{BYTE(i * 20 + x * 4), BYTE(255 - y * 9), BYTE((x * y + i * 37) & 255), 0});
    }
    return image;
  }();
  return *screen;
}

std::vector<BYTE> EncodeBmp(const CDibImage& image) {
  CMemoryStream stream;
  stream.Open();
  const_cast<CDibImage&>(image).Encode(&stream, CDibImage::kFormatBmp);
  const BYTE* data = stream.GetBuffer(false);
  return std::vector<BYTE>(data, data + stream.Size());
}

// The GIF path of the capture engine: one octree palette with 7 colour bits,
// then DecreaseBpp to 8 bits with that palette.
bool ReduceTo256(CDibImage& image, bool diffusion) {
  CQuantizer quantizer(7);
  if (!quantizer.ProcessImage(image.GetDIB())) return false;
  RGBQUAD palette[256] = {};
  quantizer.SetColorTable(palette);
  return image.DecreaseBpp(8, diffusion, palette, 256);
}

void BM_BmpEncode(benchmark::State& state) {
  const CDibImage& screen = Screen();
  CMemoryStream stream;
  stream.Open();
  for (auto _ : state) {
    stream.Seek(0, CByteStream::kFromStart);
    if (!const_cast<CDibImage&>(screen).Encode(&stream, CDibImage::kFormatBmp)) state.SkipWithError("encode failed");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(stream.Size()));
}
BENCHMARK(BM_BmpEncode)->Unit(benchmark::kMillisecond);

void BM_BmpDecode(benchmark::State& state) {
  std::vector<BYTE> file = EncodeBmp(Screen());
  for (auto _ : state) {
    CMemoryStream stream(file.data(), static_cast<uint32_t>(file.size()));
    CDibImage image;
    if (!image.Decode(&stream, CDibImage::kFormatBmp)) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(image.GetBits());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(file.size()));
}
BENCHMARK(BM_BmpDecode)->Unit(benchmark::kMillisecond);

// The same through files, as Save and Load do it (page cache, no disk wait).
std::wstring ScratchFile() {
  const std::string path = "/tmp/vesk-format-bench-" + std::to_string(static_cast<long>(getpid())) + ".bmp";
  return std::wstring(path.begin(), path.end());
}

void BM_BmpSave(benchmark::State& state) {
  const std::wstring name = ScratchFile();
  for (auto _ : state)
    if (!const_cast<CDibImage&>(Screen()).Save(name.c_str(), CDibImage::kFormatBmp)) state.SkipWithError("save failed");
  std::remove(std::string(name.begin(), name.end()).c_str());
}
BENCHMARK(BM_BmpSave)->Unit(benchmark::kMillisecond);

void BM_BmpLoad(benchmark::State& state) {
  const std::wstring name = ScratchFile();
  const_cast<CDibImage&>(Screen()).Save(name.c_str(), CDibImage::kFormatBmp);
  for (auto _ : state) {
    CDibImage image;
    if (!image.Load(name.c_str(), CDibImage::kFormatBmp)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(image.GetBits());
  }
  std::remove(std::string(name.begin(), name.end()).c_str());
}
BENCHMARK(BM_BmpLoad)->Unit(benchmark::kMillisecond);

void BM_OctreePalette(benchmark::State& state) {
  const CDibImage& screen = Screen();
  for (auto _ : state) {
    CQuantizer quantizer(7);
    quantizer.ProcessImage(screen.GetDIB());
    RGBQUAD palette[256] = {};
    quantizer.SetColorTable(palette);
    benchmark::DoNotOptimize(palette);
  }
}
BENCHMARK(BM_OctreePalette)->Unit(benchmark::kMillisecond);

void BM_Quantize256(benchmark::State& state) {
  const bool diffusion = state.range(0) != 0;
  for (auto _ : state) {
    state.PauseTiming();
    CDibImage image(Screen());
    state.ResumeTiming();
    if (!ReduceTo256(image, diffusion)) state.SkipWithError("reduction failed");
    benchmark::DoNotOptimize(image.GetBits());
  }
}
BENCHMARK(BM_Quantize256)->ArgName("diffusion")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

bool WriteInputs(const std::string& directory) {
  const CDibImage& screen = Screen();
  std::vector<BYTE> rgb;
  rgb.reserve(static_cast<size_t>(kWidth) * kHeight * 3);
  for (int32_t y = kHeight - 1; y >= 0; --y) {
    const BYTE* row = screen.GetBits(static_cast<DWORD>(y));
    for (int32_t x = 0; x < kWidth; ++x) rgb.insert(rgb.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
  }
  FILE* file = std::fopen((directory + "/screen.ppm").c_str(), "wb");
  if (!file) return false;
  std::fprintf(file, "P6\n%d %d\n255\n", kWidth, kHeight);
  const bool written = std::fwrite(rgb.data(), 1, rgb.size(), file) == rgb.size();
  if (std::fclose(file) != 0 || !written) return false;

  auto wide = [&directory](const char* name) {
    const std::string path = directory + "/" + name;
    return std::wstring(path.begin(), path.end());
  };
  if (!const_cast<CDibImage&>(screen).Save(wide("screen.bmp").c_str(), CDibImage::kFormatBmp)) return false;
  for (const bool diffusion : {true, false}) {
    CDibImage reduced(screen);
    if (!ReduceTo256(reduced, diffusion) ||
        !reduced.Save(wide(diffusion ? "quantized_diffused.bmp" : "quantized_plain.bmp").c_str(),
                      CDibImage::kFormatBmp))
      return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write-inputs") == 0) {
    if (WriteInputs(argv[2])) return 0;
    std::perror(argv[2]);
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
