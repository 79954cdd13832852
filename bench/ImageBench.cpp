// Resampling, rotation and 24-to-8-bit conversion of a 1920 x 1080 picture.
// `image_bench --write-inputs DIR` writes the picture (input.ppm) and the
// palette (palette.ppm) so that bench/compare can give other tools the same.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "image/DibImage.h"

namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;

// Smooth colour fields with fine noise: many distinct colours, like a photo
// or a busy screen.
const CDibImage& Picture() {
  static CDibImage* picture = [] {
    auto* image = new CDibImage(kWidth, kHeight, 24, 0);
    uint32_t noise = 12345;
    for (int32_t y = 0; y < kHeight; ++y) {
      BYTE* row = image->GetBits(static_cast<DWORD>(y));
      for (int32_t x = 0; x < kWidth; ++x) {
        noise = noise * 1664525u + 1013904223u;
        const int jitter = static_cast<int>(noise >> 27) - 16;
        const double r = 128 + 100 * std::sin(x / 97.0 + y / 53.0);
        const double g = 128 + 100 * std::sin(x / 31.0 - y / 71.0 + 1.0);
        const double b = 128 + 100 * std::cos((x + y) / 143.0);
        auto clamp = [jitter](double v) { return static_cast<BYTE>(std::fmin(255, std::fmax(0, v + jitter))); };
        row[3 * x] = clamp(b);
        row[3 * x + 1] = clamp(g);
        row[3 * x + 2] = clamp(r);
      }
    }
    return image;
  }();
  return *picture;
}

std::vector<RGBQUAD> StandardPalette() {
  CDibImage image(1, 1, 8, 0);
  image.SetStdPalette();
  return std::vector<RGBQUAD>(image.GetPalette(), image.GetPalette() + 256);
}

void BM_Resample(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  const int32_t width = static_cast<int32_t>(state.range(1));
  const int32_t height = static_cast<int32_t>(state.range(2));
  const CDibImage& source = Picture();
  for (auto _ : state) {
    CDibImage output(0);
    if (!const_cast<CDibImage&>(source).Resample(width, height, mode, &output)) state.SkipWithError("Resample failed");
    benchmark::DoNotOptimize(output.GetBits());
  }
}
// Modes: 1 nearest, 2 bicubic B-spline, 0 box filter (a 24-bit reduction).
BENCHMARK(BM_Resample)
    ->ArgNames({"mode", "w", "h"})
    ->Args({1, 55, 55})
    ->Args({2, 55, 55})
    ->Args({0, 55, 55})
    ->Args({1, 960, 540})
    ->Args({2, 960, 540})
    ->Args({0, 960, 540})
    ->Unit(benchmark::kMillisecond);

void BM_RotateLeft(benchmark::State& state) {
  const CDibImage& source = Picture();
  for (auto _ : state) {
    CDibImage output(0);
    if (!const_cast<CDibImage&>(source).RotateLeft(&output)) state.SkipWithError("RotateLeft failed");
    benchmark::DoNotOptimize(output.GetBits());
  }
}
BENCHMARK(BM_RotateLeft)->Unit(benchmark::kMillisecond);

void BM_DecreaseBppDiffused(benchmark::State& state) {
  const std::vector<RGBQUAD> palette = StandardPalette();
  for (auto _ : state) {
    state.PauseTiming();
    CDibImage image(Picture());
    state.ResumeTiming();
    if (!image.DecreaseBpp(8, true, palette.data(), 256)) state.SkipWithError("DecreaseBpp failed");
    benchmark::DoNotOptimize(image.GetBits());
  }
}
BENCHMARK(BM_DecreaseBppDiffused)->Unit(benchmark::kMillisecond);

bool WritePpm(const std::string& path, int32_t width, int32_t height, const std::vector<BYTE>& rgbTopDown) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  std::fprintf(file, "P6\n%d %d\n255\n", width, height);
  const bool written = std::fwrite(rgbTopDown.data(), 1, rgbTopDown.size(), file) == rgbTopDown.size();
  return std::fclose(file) == 0 && written;
}

bool WriteInputs(const std::string& directory) {
  const CDibImage& picture = Picture();
  std::vector<BYTE> rgb;
  rgb.reserve(static_cast<size_t>(kWidth) * kHeight * 3);
  for (int32_t y = kHeight - 1; y >= 0; --y) {
    const BYTE* row = picture.GetBits(static_cast<DWORD>(y));
    for (int32_t x = 0; x < kWidth; ++x) rgb.insert(rgb.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
  }
  std::vector<BYTE> palette;
  for (const RGBQUAD& c : StandardPalette()) palette.insert(palette.end(), {c.rgbRed, c.rgbGreen, c.rgbBlue});
  return WritePpm(directory + "/input.ppm", kWidth, kHeight, rgb) &&
         WritePpm(directory + "/palette.ppm", 256, 1, palette);
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
