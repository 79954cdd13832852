// Colour sampling of CDibImage at non-integer positions: overflow handling,
// point sampling with the interpolation kernels, and area averaging.
#include <algorithm>
#include <cmath>

#include "image/DibImage.h"

namespace {

constexpr float kPi = 3.1415927f;
// Beyond this a float no longer addresses pixels, and the cell arithmetic
// would leave int32; such positions count as outside.
constexpr float kUsableCoordinate = 1073741824.0f;  // 2^30

bool Usable(float v) { return std::fabs(v) < kUsableCoordinate; }

bool Folds(int overflow) {
  return overflow == CDibImage::OM_WRAP || overflow == CDibImage::OM_REPEAT ||
         overflow == CDibImage::OM_MIRROR;
}

// The base cell: truncation toward zero, one less for negative positions.
int32_t BaseCell(float v) {
  const int32_t truncated = static_cast<int32_t>(v);
  return v < 0 ? truncated - 1 : truncated;
}

BYTE ClampToByte(float v) {
  if (!(v > 0.0f)) return 0;  // NaN too
  if (v >= 255.0f) return 255;
  return static_cast<BYTE>(v);
}

int32_t FoldInt(int32_t v, int32_t size, int overflow) {
  if (v >= 0 && v < size) return v;
  const int64_t wide = v;
  switch (overflow) {
    case CDibImage::OM_WRAP: {
      int64_t r = wide % size;
      if (r < 0) r += size;
      return static_cast<int32_t>(r);
    }
    case CDibImage::OM_REPEAT:
      return v < 0 ? 0 : size - 1;
    case CDibImage::OM_MIRROR:
      if (v < 0) return static_cast<int32_t>((-wide) % size);
      return static_cast<int32_t>(size - wide % size - 1);
    default:
      return v;
  }
}

float FoldFloat(float v, int32_t size, int overflow) {
  const float limit = static_cast<float>(size);
  if (!(v < 0.0f || v >= limit)) return v;  // inside, or NaN (left to the caller)
  switch (overflow) {
    case CDibImage::OM_WRAP:
      v = std::fmod(v, limit);
      if (v < 0) v += limit;
      break;
    case CDibImage::OM_REPEAT:
      break;
    case CDibImage::OM_MIRROR:
      v = v < 0 ? std::fmod(-v, limit) : limit - std::fmod(v, limit) - 1;
      break;
    default:
      return v;
  }
  return std::min(std::max(v, 0.0f), limit - 1);
}

using Kernel = float (*)(float);

float GenCubicHalf(float x) { return CDibImage::KernelGenCubic(x, -0.5f); }
float LanczosSix(float x) { return CDibImage::KernelLanczosSinc(x, 6.0f); }
float PowerTwo(float x) { return CDibImage::KernelPower(x, 2.0f); }

Kernel KernelOf(int interpolation) {
  switch (interpolation) {
    case CDibImage::IM_BSPLINE: return CDibImage::KernelBSpline;
    case CDibImage::IM_BICUBIC: return CDibImage::KernelCubic;
    case CDibImage::IM_BICUBIC2: return GenCubicHalf;
    case CDibImage::IM_LANCZOS: return LanczosSix;
    case CDibImage::IM_BOX: return CDibImage::KernelBox;
    case CDibImage::IM_HERMITE: return CDibImage::KernelHermite;
    case CDibImage::IM_HAMMING: return CDibImage::KernelHamming;
    case CDibImage::IM_SINC: return CDibImage::KernelSinc;
    case CDibImage::IM_BLACKMAN: return CDibImage::KernelBlackman;
    case CDibImage::IM_BESSEL: return CDibImage::KernelBessel;
    case CDibImage::IM_GAUSSIAN: return CDibImage::KernelGaussian;
    case CDibImage::IM_QUADRATIC: return CDibImage::KernelQuadratic;
    case CDibImage::IM_MITCHELL: return CDibImage::KernelMitchell;
    case CDibImage::IM_CATROM: return CDibImage::KernelCatrom;
    case CDibImage::IM_HANNING: return CDibImage::KernelHanning;
    case CDibImage::IM_POWER: return PowerTwo;
    default: return nullptr;
  }
}

struct ColourSum {
  float blue = 0, green = 0, red = 0, alpha = 0;
  void Add(const RGBQUAD& c, float weight) {
    blue += c.rgbBlue * weight;
    green += c.rgbGreen * weight;
    red += c.rgbRed * weight;
    alpha += c.rgbReserved * weight;
  }
};

}  // namespace

// ---- Overflow ----

void CDibImage::FoldCoordinates(int32_t& x, int32_t& y, int overflow) const {
  if (!m_dib || !Folds(overflow)) return;
  x = FoldInt(x, m_header.biWidth, overflow);
  y = FoldInt(y, m_header.biHeight, overflow);
}

void CDibImage::FoldCoordinates(float& x, float& y, int overflow) const {
  if (!m_dib || !Folds(overflow)) return;
  x = FoldFloat(x, m_header.biWidth, overflow);
  y = FoldFloat(y, m_header.biHeight, overflow);
}

RGBQUAD CDibImage::OverflowColor(int overflow, const RGBQUAD* replacement) const {
  RGBQUAD colour;
  if (replacement) {
    colour = *replacement;
  } else {
    colour.rgbBlue = colour.rgbGreen = colour.rgbRed = 255;
    colour.rgbReserved = 0;
  }
  switch (overflow) {
    case OM_BACKGROUND:
      if (m_info.transIndex >= 0) return GetTransColor();
      break;
    case OM_TRANSPARENT:
      if (m_alpha) {
        colour.rgbReserved = 0;
        return colour;
      }
      if (m_info.transIndex >= 0) return GetTransColor();
      break;
    default:
      break;
  }
  return colour;
}

RGBQUAD CDibImage::PixelWithOverflow(int32_t x, int32_t y, int overflow,
                                     const RGBQUAD* replacement) const {
  if (!m_dib || !m_info.pixels) return OverflowColor(OM_COLOR, replacement);
  if (!IsInside(x, y)) {
    if (!Folds(overflow)) return OverflowColor(overflow, replacement);
    FoldCoordinates(x, y, overflow);
  }
  return BlindGetPixelColor(x, y, true);
}

// ---- Point sampling ----

RGBQUAD CDibImage::SampleInterpolated(float x, float y, int interpolation, int overflow,
                                      const RGBQUAD* replacement) const {
  // An empty image has no width to fold by.
  if (!m_dib || !m_info.pixels) return OverflowColor(OM_COLOR, replacement);
  if (!std::isfinite(x) || !std::isfinite(y)) return OverflowColor(overflow, replacement);
  if (!Usable(x) || !Usable(y)) {
    if (!Folds(overflow)) return OverflowColor(overflow, replacement);
    FoldCoordinates(x, y, overflow);
  }
  if (interpolation == IM_NEAREST_NEIGHBOUR)
    return PixelWithOverflow(static_cast<int32_t>(x + 0.5f), static_cast<int32_t>(y + 0.5f), overflow,
                             replacement);
  if (KernelOf(interpolation)) return SampleKernel(x, y, interpolation, overflow, replacement);
  return SampleBilinear(x, y, overflow, replacement);
}

RGBQUAD CDibImage::SampleBilinear(float x, float y, int overflow, const RGBQUAD* replacement) const {
  const int32_t width = m_header.biWidth;
  const int32_t height = m_header.biHeight;
  int32_t xi = BaseCell(x);
  int32_t yi = BaseCell(y);
  if (xi < -1 || xi >= width || yi < -1 || yi >= height) {
    if (!Folds(overflow)) return PixelWithOverflow(-999, -999, overflow, replacement);
    FoldCoordinates(x, y, overflow);
    xi = BaseCell(x);
    yi = BaseCell(y);
  }

  RGBQUAD result;
  if (xi >= 0 && xi + 1 < width && yi >= 0 && yi + 1 < height && m_header.biBitCount == 24) {
    // Weights in 1/256: wa + wb + wc + wd = 256, all non-negative.
    const int w1 = static_cast<int>((x - xi) * 256) & 0xFFFF;
    const int w2 = static_cast<int>((y - yi) * 256) & 0xFFFF;
    const int wd = (w1 * w2) >> 8;
    const int wb = w1 - wd;
    const int wc = w2 - wd;
    const int wa = 256 - w1 - wc;
    const BYTE* p1 = m_info.pixels + static_cast<size_t>(yi) * m_info.rowStride + static_cast<size_t>(xi) * 3;
    const BYTE* p2 = p1 + m_info.rowStride;
    auto mix = [&](int channel) {
      return static_cast<BYTE>(
          (wa * p1[channel] + wb * p1[channel + 3] + wc * p2[channel] + wd * p2[channel + 3]) >> 8);
    };
    result.rgbBlue = mix(0);
    result.rgbGreen = mix(1);
    result.rgbRed = mix(2);
    result.rgbReserved = 0;
    if (m_alpha) {
      const BYTE* a1 = m_alpha + static_cast<size_t>(yi) * width + xi;
      const BYTE* a2 = a1 + width;
      result.rgbReserved = static_cast<BYTE>((wa * a1[0] + wb * a1[1] + wc * a2[0] + wd * a2[1]) >> 8);
    }
    return result;
  }

  const float t1 = x - xi;
  const float t2 = y - yi;
  const float d = t1 * t2;
  const float b = t1 - d;
  const float c = t2 - d;
  const float a = 1 - t1 - c;
  const RGBQUAD p11 = PixelWithOverflow(xi, yi, overflow, replacement);
  const RGBQUAD p21 = PixelWithOverflow(xi + 1, yi, overflow, replacement);
  const RGBQUAD p12 = PixelWithOverflow(xi, yi + 1, overflow, replacement);
  const RGBQUAD p22 = PixelWithOverflow(xi + 1, yi + 1, overflow, replacement);
  ColourSum sum;
  sum.Add(p11, a);
  sum.Add(p21, b);
  sum.Add(p12, c);
  sum.Add(p22, d);
  result.rgbBlue = ClampToByte(sum.blue);
  result.rgbGreen = ClampToByte(sum.green);
  result.rgbRed = ClampToByte(sum.red);
  result.rgbReserved = m_alpha ? ClampToByte(sum.alpha) : 0;
  return result;
}

RGBQUAD CDibImage::SampleKernel(float x, float y, int interpolation, int overflow,
                                const RGBQUAD* replacement) const {
  const Kernel kernel = KernelOf(interpolation);
  // Taps xi - before .. xi + after: 4 x 4, or 12 x 12 for Lanczos.
  const int before = interpolation == IM_LANCZOS ? 5 : 1;
  const int taps = interpolation == IM_LANCZOS ? 12 : 4;
  const int after = taps - before - 1;
  const int32_t width = m_header.biWidth;
  const int32_t height = m_header.biHeight;

  int32_t xi = BaseCell(x);
  int32_t yi = BaseCell(y);
  if (xi + after < 0 || xi - before >= width || yi + after < 0 || yi - before >= height) {
    if (!Folds(overflow)) return PixelWithOverflow(-999, -999, overflow, replacement);
    FoldCoordinates(x, y, overflow);
    xi = BaseCell(x);
    yi = BaseCell(y);
  }

  float kx[12];
  float ky[12];
  for (int i = 0; i < taps; ++i) {
    kx[i] = kernel(static_cast<float>(xi + i - before) - x);
    ky[i] = kernel(static_cast<float>(yi + i - before) - y);
  }

  ColourSum sum;
  const bool direct = m_header.biBitCount == 24 && xi - before >= 0 && xi + after < width &&
                      yi - before >= 0 && yi + after < height;
  for (int j = 0; j < taps; ++j) {
    const int32_t row = yi + j - before;
    if (direct) {
      const BYTE* pixel = m_info.pixels + static_cast<size_t>(row) * m_info.rowStride +
                          static_cast<size_t>(xi - before) * 3;
      const BYTE* alpha = m_alpha ? m_alpha + static_cast<size_t>(row) * width + (xi - before) : nullptr;
      for (int i = 0; i < taps; ++i, pixel += 3) {
        const float w = kx[i] * ky[j];
        sum.blue += pixel[0] * w;
        sum.green += pixel[1] * w;
        sum.red += pixel[2] * w;
        if (alpha) sum.alpha += alpha[i] * w;
      }
    } else {
      for (int i = 0; i < taps; ++i)
        sum.Add(PixelWithOverflow(xi + i - before, row, overflow, replacement), kx[i] * ky[j]);
    }
  }
  RGBQUAD result;
  result.rgbBlue = ClampToByte(sum.blue);
  result.rgbGreen = ClampToByte(sum.green);
  result.rgbRed = ClampToByte(sum.red);
  result.rgbReserved = m_alpha ? ClampToByte(sum.alpha) : 0;
  return result;
}

// ---- Area averaging ----

RGBQUAD CDibImage::SampleArea(float x, float y, float width, float height, int interpolation,
                              int overflow, const RGBQUAD* replacement) const {
  if (!m_dib || !m_info.pixels) return OverflowColor(OM_COLOR, replacement);
  if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(width) || !std::isfinite(height))
    return OverflowColor(overflow, replacement);
  if (width <= 1 && height <= 1) return SampleInterpolated(x, y, interpolation, overflow, replacement);

  const CFloatRect area(x - width / 2, y - height / 2, x + width / 2, y + height / 2);
  const float surface = area.Surface();
  // A degenerate area has no surface to divide by; far-away corners would
  // leave int32 in the loops below.
  if (!(surface > 0) || !Usable(area.x1) || !Usable(area.x2) || !Usable(area.y1) || !Usable(area.y2))
    return SampleInterpolated(x, y, interpolation, overflow, replacement);

  // Floor, not truncation: for negative corners truncation can put both
  // corners in one cell and count it twice.
  const int64_t xi1 = static_cast<int64_t>(std::floor(area.x1 + 0.5f));
  const int64_t yi1 = static_cast<int64_t>(std::floor(area.y1 + 0.5f));
  const int64_t xi2 = static_cast<int64_t>(std::floor(area.x2 + 0.5f));
  const int64_t yi2 = static_cast<int64_t>(std::floor(area.y2 + 0.5f));
  auto cell = [](int64_t cx, int64_t cy) {
    return CFloatRect(cx - 0.5f, cy - 0.5f, cx + 0.5f, cy + 0.5f);
  };
  auto pixel = [&](int64_t px, int64_t py) {
    return PixelWithOverflow(static_cast<int32_t>(px), static_cast<int32_t>(py), overflow, replacement);
  };

  ColourSum sum;
  if (width > 1 && height > 1) {
    const CFloatRect bottomLeft = area.CrossSection(cell(xi1, yi1));
    const CFloatRect topRight = area.CrossSection(cell(xi2, yi2));
    const float wBL = bottomLeft.Width(), hBL = bottomLeft.Height();
    const float wTR = topRight.Width(), hTR = topRight.Height();
    sum.Add(pixel(xi1, yi1), wBL * hBL);
    sum.Add(pixel(xi2, yi1), wTR * hBL);
    sum.Add(pixel(xi1, yi2), wBL * hTR);
    sum.Add(pixel(xi2, yi2), wTR * hTR);
    for (int64_t px = xi1 + 1; px < xi2; ++px) {
      sum.Add(pixel(px, yi1), hBL);
      sum.Add(pixel(px, yi2), hTR);
    }
    for (int64_t py = yi1 + 1; py < yi2; ++py) {
      sum.Add(pixel(xi1, py), wBL);
      sum.Add(pixel(xi2, py), wTR);
      for (int64_t px = xi1 + 1; px < xi2; ++px) sum.Add(pixel(px, py), 1.0f);
    }
  } else {
    for (int64_t py = yi1; py <= yi2; ++py)
      for (int64_t px = xi1; px <= xi2; ++px) {
        const CFloatRect cut = area.CrossSection(cell(px, py));
        const float weight = cut.Surface();
        if (weight <= 0) continue;
        const CFloatPoint centre = cut.Center();
        sum.Add(SampleInterpolated(centre.x, centre.y, interpolation, overflow, replacement), weight);
      }
  }

  RGBQUAD result;
  result.rgbBlue = ClampToByte(sum.blue / surface);
  result.rgbGreen = ClampToByte(sum.green / surface);
  result.rgbRed = ClampToByte(sum.red / surface);
  result.rgbReserved = ClampToByte(sum.alpha / surface);
  return result;
}

// ---- Kernels ----

float CDibImage::KernelBSpline(float x) {
  if (x > 2.0f) return 0.0f;
  auto cube = [](float t) { return t > 0.0f ? t * t * t : 0.0f; };
  return (cube(x + 2) - 4 * cube(x + 1) + 6 * cube(x) - 4 * cube(x - 1)) * (1.0f / 6.0f);
}

float CDibImage::KernelCubic(float x) {
  const float d = std::fabs(x);
  if (d < 1) return d * d * d - 2 * d * d + 1;
  if (d < 2) return 4 - 8 * d + 5 * d * d - d * d * d;
  return 0.0f;
}

float CDibImage::KernelGenCubic(float x, float p) {
  const float d = std::fabs(x);
  if (d < 1) return (p + 2) * d * d * d - (p + 3) * d * d + 1;
  if (d < 2) return p * d * d * d - 5 * p * d * d + 8 * p * d - 4 * p;
  return 0.0f;
}

float CDibImage::KernelLanczosSinc(float x, float radius) {
  if (std::fabs(x) > radius) return 0.0f;
  if (x == 0.0f) return 1.0f;
  return KernelSinc(x) * KernelSinc(x / radius);
}

float CDibImage::KernelBox(float x) {
  return (x >= -0.5f && x < 0.5f) ? 1.0f : 0.0f;
}

float CDibImage::KernelHermite(float x) {
  const float d = std::fabs(x);
  if (d < 1) return (2 * d - 3) * d * d + 1;
  return 0.0f;
}

float CDibImage::KernelHamming(float x) {
  // Open at both ends: at a whole-pixel distance of 1 the weight is 0 on
  // either side.
  const float d = std::fabs(x);
  if (d < 1) return 0.92f * (2 * d - 3) * d * d + 1;
  return 0.0f;
}

float CDibImage::KernelSinc(float x) {
  if (x == 0.0f) return 1.0f;
  return std::sin(kPi * x) / (kPi * x);
}

float CDibImage::KernelBlackman(float x) {
  // Cut off at the edge of the 4-tap window: uncut, the window is 1 again at
  // a distance of 2 and a whole-pixel sample would add a second pixel.
  if (std::fabs(x) >= 2.0f) return 0.0f;
  return 0.42f + 0.5f * std::cos(kPi * x) + 0.08f * std::cos(2 * kPi * x);
}

float CDibImage::KernelBessel(float x) {
  if (x == 0.0f) return kPi / 4;
  return static_cast<float>(BesselJ1(static_cast<double>(kPi) * x)) / (2 * x);
}

float CDibImage::KernelGaussian(float x) {
  return std::exp(-2.0f * x * x) * 0.7978846f;
}

float CDibImage::KernelQuadratic(float x) {
  if (x < -1.5f) return 0.0f;
  if (x < -0.5f) return 0.5f * (x + 1.5f) * (x + 1.5f);
  if (x < 0.5f) return 0.75f - x * x;
  if (x < 1.5f) return 0.5f * (x - 1.5f) * (x - 1.5f);
  return 0.0f;
}

float CDibImage::KernelMitchell(float x) {
  const float d = std::fabs(x);
  if (d < 1) return (7.0f / 6.0f) * d * d * d - 2 * d * d + 8.0f / 9.0f;
  if (d < 2) return -(7.0f / 18.0f) * d * d * d + 2 * d * d - (10.0f / 3.0f) * d + 16.0f / 9.0f;
  return 0.0f;
}

float CDibImage::KernelCatrom(float x) {
  const float d = std::fabs(x);
  if (d < 1) return 0.5f * (3 * d * d * d - 5 * d * d + 2);
  if (d < 2) return 0.5f * (-d * d * d + 5 * d * d - 8 * d + 4);
  return 0.0f;
}

float CDibImage::KernelHanning(float x) {
  if (std::fabs(x) > 1.0f) return 0.0f;
  return KernelSinc(x) * (0.5f + 0.5f * std::cos(kPi * x));
}

float CDibImage::KernelPower(float x, float exponent) {
  const float d = std::fabs(x);
  if (d > 1.0f) return 0.0f;
  return 1.0f - std::pow(d, exponent);
}

double CDibImage::BesselJ1(double x) {
  const double d = std::fabs(x);
  double value;
  if (d < 12.0) {
    // Power series: sum (-1)^k (d/2)^(2k+1) / (k! (k+1)!).
    const double q = -(d / 2) * (d / 2);
    double term = d / 2;
    value = term;
    for (int k = 1; k < 60; ++k) {
      term *= q / (k * (k + 1.0));
      value += term;
      if (std::fabs(term) < 1e-17 * std::fabs(value)) break;
    }
  } else {
    // Hankel's asymptotic expansion, summed while its terms still shrink.
    double p = 0, q = 0, coefficient = 1, power = 1;
    double previous = 1e300;
    for (int k = 0; k < 60; ++k) {
      if (k > 0) {
        const double odd = 2.0 * k - 1;
        coefficient *= (4.0 - odd * odd) / (8.0 * k);
        power *= d;
      }
      const double term = coefficient / power;
      if (std::fabs(term) > previous) break;
      previous = std::fabs(term);
      const double sign = ((k / 2) % 2) ? -1.0 : 1.0;
      if (k % 2 == 0) p += sign * term;
      else q += sign * term;
      if (previous < 1e-17) break;
    }
    const double chi = d - 0.75 * 3.14159265358979323846;
    value = std::sqrt(2.0 / (3.14159265358979323846 * d)) * (p * std::cos(chi) - q * std::sin(chi));
  }
  return x < 0 ? -value : value;
}
