#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "image/DibImage.h"
#include "image/FloatGeometry.h"
#include "image/tests/ImageTestSupport.h"

using imagetest::FillRandom;
using imagetest::InspectableImage;
using imagetest::Quad;
using imagetest::QuadText;
using imagetest::SameQuad;

namespace {

using Kernel = float (*)(float);
float GenCubicHalf(float x) { return CDibImage::KernelGenCubic(x, -0.5f); }
float LanczosSix(float x) { return CDibImage::KernelLanczosSinc(x, 6.0f); }
float PowerTwo(float x) { return CDibImage::KernelPower(x, 2.0f); }

struct NamedKernel {
  const char* name;
  Kernel kernel;
  int method;
  bool interpolating;  // 1 at 0 and 0 at every other whole distance
};
const NamedKernel kKernels[] = {
    {"bspline", CDibImage::KernelBSpline, CDibImage::IM_BSPLINE, false},
    {"cubic", CDibImage::KernelCubic, CDibImage::IM_BICUBIC, true},
    {"gencubic", GenCubicHalf, CDibImage::IM_BICUBIC2, true},
    {"lanczos", LanczosSix, CDibImage::IM_LANCZOS, true},
    {"box", CDibImage::KernelBox, CDibImage::IM_BOX, true},
    {"hermite", CDibImage::KernelHermite, CDibImage::IM_HERMITE, true},
    {"hamming", CDibImage::KernelHamming, CDibImage::IM_HAMMING, true},
    {"sinc", CDibImage::KernelSinc, CDibImage::IM_SINC, true},
    {"blackman", CDibImage::KernelBlackman, CDibImage::IM_BLACKMAN, true},
    {"bessel", CDibImage::KernelBessel, CDibImage::IM_BESSEL, false},
    {"gaussian", CDibImage::KernelGaussian, CDibImage::IM_GAUSSIAN, false},
    {"quadratic", CDibImage::KernelQuadratic, CDibImage::IM_QUADRATIC, false},
    {"mitchell", CDibImage::KernelMitchell, CDibImage::IM_MITCHELL, false},
    {"catrom", CDibImage::KernelCatrom, CDibImage::IM_CATROM, true},
    {"hanning", CDibImage::KernelHanning, CDibImage::IM_HANNING, true},
    {"power", PowerTwo, CDibImage::IM_POWER, true},
};

TEST(Kernels, ValuesFromTheirFormulas) {
  const double pi = 3.14159265358979323846;
  struct Case {
    Kernel kernel;
    float x;
    double expected;
  } const cases[] = {
      {CDibImage::KernelBSpline, 0.0f, 2.0 / 3},
      {CDibImage::KernelBSpline, 1.0f, 1.0 / 6},
      {CDibImage::KernelBSpline, -0.5f, 23.0 / 48},
      {CDibImage::KernelBSpline, 2.0f, 0},
      {CDibImage::KernelBSpline, -2.5f, 0},
      {CDibImage::KernelCubic, 0.5f, 0.625},
      {CDibImage::KernelCubic, -1.5f, -0.125},
      {CDibImage::KernelCubic, 2.0f, 0},
      {GenCubicHalf, 0.5f, 0.5625},
      {GenCubicHalf, 1.5f, -0.0625},
      {LanczosSix, 0.5f, (2 / pi) * std::sin(pi / 12) / (pi / 12)},
      {LanczosSix, 6.5f, 0},
      {CDibImage::KernelBox, -0.5f, 1},
      {CDibImage::KernelBox, 0.5f, 0},
      {CDibImage::KernelHermite, 0.5f, 0.5},
      {CDibImage::KernelHamming, 0.5f, 0.54},
      {CDibImage::KernelHamming, -1.0f, 0},
      {CDibImage::KernelHamming, 1.0f, 0},
      {CDibImage::KernelSinc, 0.5f, 2 / pi},
      {CDibImage::KernelBlackman, 0.5f, 0.34},
      {CDibImage::KernelBlackman, 1.0f, 0},
      {CDibImage::KernelBlackman, -2.0f, 0},
      {CDibImage::KernelBlackman, 2.0f, 0},
      {CDibImage::KernelBessel, 0.0f, pi / 4},
      {CDibImage::KernelBessel, 0.5f, std::cyl_bessel_j(1.0, pi / 2)},
      {CDibImage::KernelBessel, -1.25f, std::cyl_bessel_j(1.0, 1.25 * pi) / 2.5},
      {CDibImage::KernelGaussian, 0.0f, std::sqrt(2 / pi)},
      {CDibImage::KernelGaussian, 1.0f, std::exp(-2.0) * std::sqrt(2 / pi)},
      {CDibImage::KernelQuadratic, 0.0f, 0.75},
      {CDibImage::KernelQuadratic, -1.0f, 0.125},
      {CDibImage::KernelQuadratic, 1.5f, 0},
      {CDibImage::KernelMitchell, 0.0f, 8.0 / 9},
      {CDibImage::KernelMitchell, 1.0f, 1.0 / 18},
      {CDibImage::KernelMitchell, 2.0f, 0},
      {CDibImage::KernelCatrom, 0.5f, 0.5625},
      {CDibImage::KernelCatrom, 1.0f, 0},
      {CDibImage::KernelHanning, 0.0f, 1},
      {CDibImage::KernelHanning, 0.5f, 1 / pi},
      {PowerTwo, 0.5f, 0.75},
      {PowerTwo, -1.5f, 0},
  };
  for (const auto& c : cases) EXPECT_NEAR(c.kernel(c.x), c.expected, 2e-6) << c.x;
}

TEST(Kernels, SymmetricAndInterpolatingWhereTheyShouldBe) {
  for (const auto& k : kKernels) {
    SCOPED_TRACE(k.name);
    for (float x = 0.0625f; x < 8.0f; x += 0.0625f) {
      if (k.kernel == CDibImage::KernelBox && x == 0.5f) continue;  // half-open on purpose
      EXPECT_NEAR(k.kernel(x), k.kernel(-x), 1e-6) << x;
    }
    if (!k.interpolating) continue;
    EXPECT_NEAR(k.kernel(0.0f), 1.0f, 1e-6);
    for (float x : {-5.0f, -2.0f, -1.0f, 1.0f, 2.0f, 3.0f})
      EXPECT_NEAR(k.kernel(x), 0.0f, 1e-6) << x;
  }
}

TEST(Kernels, BesselJ1MatchesTheStandardLibrary) {
  for (double x = -40.0; x <= 40.0; x += 0.0625) {
    const double reference = x < 0 ? -std::cyl_bessel_j(1.0, -x) : std::cyl_bessel_j(1.0, x);
    ASSERT_NEAR(CDibImage::BesselJ1(x), reference, 1e-9) << x;
  }
}

TEST(FloatGeometry, RectOperations) {
  const CFloatRect r(1, 2, 4, 8);
  EXPECT_FLOAT_EQ(r.Surface(), 18);
  EXPECT_FLOAT_EQ(r.Width(), 3);
  EXPECT_FLOAT_EQ(r.Height(), 6);
  EXPECT_FLOAT_EQ(r.Center().x, 2.5f);
  EXPECT_FLOAT_EQ(r.Center().y, 5);
  const CFloatRect cut = r.CrossSection(CFloatRect(3, -1, 10, 3));
  EXPECT_FLOAT_EQ(cut.x1, 3);
  EXPECT_FLOAT_EQ(cut.y1, 2);
  EXPECT_FLOAT_EQ(cut.x2, 4);
  EXPECT_FLOAT_EQ(cut.y2, 3);
  const CFloatRect none = r.CrossSection(CFloatRect(5, 0, 6, 1));
  EXPECT_FLOAT_EQ(none.Surface(), 0);
  EXPECT_FLOAT_EQ(none.x1 + none.x2 + none.y1 + none.y2, 0);
}

// 3 x 2: row 0 is (10,20,30) (40,50,60) (70,80,90); row 1 is grey 100 110 120.
InspectableImage SmallImage(DWORD bpp) {
  InspectableImage image(3, 2, bpp, 0);
  const RGBQUAD colours[6] = {Quad(10, 20, 30), Quad(40, 50, 60), Quad(70, 80, 90),
                              Quad(100, 100, 100), Quad(110, 110, 110), Quad(120, 120, 120)};
  for (int i = 0; i < 6; ++i) {
    if (bpp < 24) {
      image.SetPaletteColor(static_cast<DWORD>(i + 1), colours[i]);
      image.SetPixelIndex(i % 3, i / 3, static_cast<BYTE>(i + 1));
    } else {
      image.SetPixelColor(i % 3, i / 3, colours[i]);
    }
  }
  return image;
}

TEST(Overflow, EveryMethodOutsideTheImage) {
  const RGBQUAD pink = Quad(255, 192, 203, 77);
  const RGBQUAD white = Quad(255, 255, 255, 0);
  struct Case {
    const char* name;
    DWORD bpp;
    bool alphaPlane;
    int32_t transIndex;
    int method;
    int32_t x, y;
    const RGBQUAD* replacement;
    RGBQUAD expected;
  } const cases[] = {
      {"colour", 24, false, -1, CDibImage::OM_COLOR, -1, 0, &pink, pink},
      {"colour default", 24, false, -1, CDibImage::OM_COLOR, 3, 0, nullptr, white},
      {"background none", 8, false, -1, CDibImage::OM_BACKGROUND, 0, 2, &pink, pink},
      {"background index", 8, false, 2, CDibImage::OM_BACKGROUND, 0, 2, &pink, Quad(40, 50, 60)},
      {"transparent plane", 8, true, 2, CDibImage::OM_TRANSPARENT, 0, -9, &pink, Quad(255, 192, 203, 0)},
      {"transparent index", 8, false, 2, CDibImage::OM_TRANSPARENT, 0, -9, &pink, Quad(40, 50, 60)},
      {"transparent none", 24, false, -1, CDibImage::OM_TRANSPARENT, 0, -9, nullptr, white},
      {"wrap left", 24, false, -1, CDibImage::OM_WRAP, -1, 0, nullptr, Quad(70, 80, 90)},
      {"wrap far", 24, false, -1, CDibImage::OM_WRAP, -7, 5, nullptr, Quad(120, 120, 120)},
      {"repeat", 24, false, -1, CDibImage::OM_REPEAT, 5, -3, nullptr, Quad(70, 80, 90)},
      {"repeat min", 24, false, -1, CDibImage::OM_REPEAT, INT32_MIN, INT32_MAX, nullptr, Quad(100, 100, 100)},
      {"mirror left", 24, false, -1, CDibImage::OM_MIRROR, -1, 0, nullptr, Quad(40, 50, 60)},
      {"mirror right", 24, false, -1, CDibImage::OM_MIRROR, 3, 0, nullptr, Quad(70, 80, 90)},
      {"mirror right 2", 24, false, -1, CDibImage::OM_MIRROR, 4, 0, nullptr, Quad(40, 50, 60)},
      {"mirror extreme", 24, false, -1, CDibImage::OM_MIRROR, INT32_MIN, 0, nullptr, Quad(70, 80, 90)},
      {"inside alpha", 24, true, -1, CDibImage::OM_COLOR, 1, 1, nullptr, Quad(110, 110, 110, 255)},
      {"inside palette alpha", 8, false, -1, CDibImage::OM_COLOR, 1, 1, nullptr, Quad(110, 110, 110)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    InspectableImage image = SmallImage(c.bpp);
    if (c.alphaPlane) image.AlphaCreate();
    image.SetTransIndex(c.transIndex);
    const RGBQUAD got = image.PixelWithOverflow(c.x, c.y, c.method, c.replacement);
    EXPECT_TRUE(SameQuad(got, c.expected)) << QuadText(got);
  }
}

TEST(Sampling, WholePixelPositionsGiveThePixel) {
  CDibImage image(9, 7, 24, 0);
  FillRandom(image, 3);
  std::vector<int> methods = {CDibImage::IM_NEAREST_NEIGHBOUR, CDibImage::IM_BILINEAR};
  for (const auto& k : kKernels)
    if (k.interpolating) methods.push_back(k.method);
  for (int method : methods) {
    SCOPED_TRACE(method);
    // Nearest and bilinear are exact; the float kernels may land a hair below.
    const int tolerance = method <= CDibImage::IM_BILINEAR ? 0 : 1;
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 9; ++x) {
        const RGBQUAD want = image.GetPixelColor(x, y, false);
        const RGBQUAD got = image.SampleInterpolated(static_cast<float>(x), static_cast<float>(y), method,
                                                     CDibImage::OM_REPEAT);
        ASSERT_NEAR(got.rgbRed, want.rgbRed, tolerance) << x << "," << y;
        ASSERT_NEAR(got.rgbGreen, want.rgbGreen, tolerance) << x << "," << y;
        ASSERT_NEAR(got.rgbBlue, want.rgbBlue, tolerance) << x << "," << y;
        ASSERT_EQ(got.rgbReserved, 0);
      }
  }
  // (-1, 0) is base cell -2 with all weight on column -1: column 0 when repeated.
  const RGBQUAD edge = image.SampleInterpolated(-1.0f, 0.0f, CDibImage::IM_BICUBIC, CDibImage::OM_REPEAT);
  EXPECT_TRUE(SameQuad(edge, image.GetPixelColor(0, 0, false))) << QuadText(edge);
}

// The 24-bit fast paths read rows directly; an 8-bit grey image with the
// same content takes the general path through PixelWithOverflow.
TEST(Sampling, FastAndGeneralPathsAgree) {
  CDibImage rgb(12, 10, 24, 0);
  CDibImage grey(12, 10, 8, 0);
  grey.SetGrayPalette();
  FillRandom(rgb, 5, true);
  grey.AlphaCreate();
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 12; ++x) {
      const BYTE level = rgb.GetPixelColor(x, y).rgbGreen;
      rgb.SetPixelColor(x, y, Quad(level, level, level));
      grey.SetPixelIndex(x, y, level);
      grey.AlphaSet(x, y, rgb.AlphaGet(x, y));
    }
  std::vector<int> methods = {CDibImage::IM_BILINEAR};
  for (const auto& k : kKernels) methods.push_back(k.method);
  for (int method : methods) {
    SCOPED_TRACE(method);
    // Bilinear's fast path weighs in 1/256 steps, the general one in floats.
    const int tolerance = method == CDibImage::IM_BILINEAR ? 2 : 0;
    for (float y = 0.0f; y < 9.0f; y += 0.37f)
      for (float x = 0.0f; x < 11.0f; x += 0.41f) {
        const RGBQUAD fast = rgb.SampleInterpolated(x, y, method, CDibImage::OM_REPEAT);
        const RGBQUAD general = grey.SampleInterpolated(x, y, method, CDibImage::OM_REPEAT);
        ASSERT_NEAR(fast.rgbGreen, general.rgbGreen, tolerance) << x << "," << y;
        ASSERT_NEAR(fast.rgbReserved, general.rgbReserved, tolerance) << x << "," << y;
      }
  }
}

TEST(Sampling, BilinearBetweenPixels) {
  InspectableImage image = SmallImage(24);
  // Halfway between (0,0)=(10,20,30) and (1,0)=(40,50,60).
  const RGBQUAD half = image.SampleInterpolated(0.5f, 0.0f, CDibImage::IM_BILINEAR, CDibImage::OM_REPEAT);
  EXPECT_TRUE(SameQuad(half, Quad(25, 35, 45))) << QuadText(half);
  const RGBQUAD centre = image.SampleInterpolated(0.5f, 0.5f, 99, CDibImage::OM_REPEAT);
  EXPECT_NEAR(centre.rgbRed, (10 + 40 + 100 + 110) / 4, 1);
}

TEST(Sampling, FarAwayEmptyAndNonFinitePositions) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const RGBQUAD pink = Quad(255, 192, 203, 77);
  InspectableImage image = SmallImage(24);
  std::vector<int> methods;
  for (int m = 0; m <= 19; ++m) methods.push_back(m);
  for (int method : methods) {
    SCOPED_TRACE(method);
    for (float x : {nan, inf, -inf, 1e30f, -1e30f, 3e9f, 1e6f, -40.0f}) {
      SCOPED_TRACE(x);
      EXPECT_TRUE(SameQuad(image.SampleInterpolated(x, 0.5f, method, CDibImage::OM_COLOR, &pink), pink));
      EXPECT_TRUE(SameQuad(image.SampleInterpolated(0.5f, x, method, CDibImage::OM_COLOR), Quad(255, 255, 255)));
      EXPECT_TRUE(SameQuad(image.SampleArea(x, 1.0f, 4.0f, 3.0f, method, CDibImage::OM_COLOR, &pink), pink));
      for (int overflow : {CDibImage::OM_WRAP, CDibImage::OM_REPEAT, CDibImage::OM_MIRROR}) {
        image.SampleInterpolated(x, x, method, overflow, &pink);  // anything, but no fault
        if (std::fabs(x) > 1e7f || !std::isfinite(x))  // not a million-pixel-wide area
          image.SampleArea(1.0f, 1.0f, x, 2.0f, method, overflow, &pink);
      }
    }
  }
  CDibImage empty;
  for (int method : methods) {
    EXPECT_TRUE(SameQuad(empty.SampleInterpolated(0.5f, 0.5f, method, CDibImage::OM_WRAP, &pink), pink));
    EXPECT_TRUE(SameQuad(empty.SampleArea(0.5f, 0.5f, 3, 3, method, CDibImage::OM_MIRROR), Quad(255, 255, 255)));
  }
  EXPECT_TRUE(SameQuad(empty.PixelWithOverflow(0, 0, CDibImage::OM_WRAP, &pink), pink));
}

TEST(SampleArea, AveragesWhatTheAreaCovers) {
  InspectableImage image = SmallImage(24);
  // 2 x 2 centred between four pixels: a quarter of each.
  const RGBQUAD mean = image.SampleArea(0.5f, 0.5f, 2.0f, 2.0f, CDibImage::IM_BILINEAR, CDibImage::OM_REPEAT);
  EXPECT_NEAR(mean.rgbRed, (10 + 40 + 100 + 110) / 4.0, 1);
  EXPECT_NEAR(mean.rgbBlue, (30 + 60 + 100 + 110) / 4.0, 1);
  // Small areas are point samples.
  EXPECT_TRUE(SameQuad(image.SampleArea(1, 1, 0.5f, 1.0f, CDibImage::IM_BILINEAR, CDibImage::OM_REPEAT),
                       Quad(110, 110, 110)));

  // A uniform picture stays uniform whatever the area, including areas that
  // reach below zero and thin ones that take the one-direction branch.
  CDibImage uniform(6, 5, 24, 0);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) uniform.SetPixelColor(x, y, Quad(100, 150, 200));
  struct Area {
    float x, y, w, h;
  } const areas[] = {{-0.35f, 0.5f, 1.1f, 3.0f}, {-0.35f, -0.4f, 1.1f, 1.3f}, {2.0f, 2.0f, 3.3f, 2.7f},
                     {1.2f, 3.1f, 5.0f, 0.6f},    {0.1f, 0.1f, 0.3f, 4.5f},    {-2.6f, -1.9f, 2.2f, 2.9f},
                     {3.0f, 2.0f, 7.0f, 0.0f}};
  for (const auto& a : areas) {
    const RGBQUAD got = uniform.SampleArea(a.x, a.y, a.w, a.h, CDibImage::IM_BILINEAR, CDibImage::OM_REPEAT);
    EXPECT_NEAR(got.rgbRed, 100, 1) << a.x << "," << a.y << " " << a.w << "x" << a.h;
    EXPECT_NEAR(got.rgbGreen, 150, 1);
    EXPECT_NEAR(got.rgbBlue, 200, 1);
  }
}

}  // namespace
