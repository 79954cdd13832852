// Whole-image transforms of CDibImage: flips, quarter turns, inversion,
// resampling, borders and bit-depth changes. All but Flip build the result in
// a temporary image and hand it over with Transfer.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "image/DibImage.h"

namespace {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

BYTE ClampToByte(float v) {
  if (!(v > 0.0f)) return 0;
  if (v >= 255.0f) return 255;
  return static_cast<BYTE>(v);
}

BYTE ClampToByte(int v) {
  return static_cast<BYTE>(std::min(std::max(v, 0), 255));
}

// Exact nearest-palette search for bulk conversions: the same answer as
// CDibImage::GetNearestIndex (smallest squared distance, lowest index among
// equals). Colour space is cut into cubes 8 levels wide; each cube visited
// keeps the few entries that can be nearest to any colour inside it.
class NearestSearch {
 public:
  NearestSearch(const RGBQUAD* palette, DWORD count)
      : m_palette(palette, palette + count), m_cells(kCells * kCells * kCells) {}

  BYTE Find(int red, int green, int blue) {
    if (m_palette.empty()) return 0;
    const uint32_t key = static_cast<uint32_t>(red << 16 | green << 8 | blue);
    if (m_cacheValid && key == m_cacheKey) return m_cacheIndex;
    Cell& cell = m_cells[static_cast<size_t>(((red >> kShift) * kCells + (green >> kShift)) * kCells + (blue >> kShift))];
    if (!cell.built) Build(cell, red >> kShift << kShift, green >> kShift << kShift, blue >> kShift << kShift);
    int best = INT_MAX;
    BYTE answer = 0;
    for (const Candidate& candidate : cell.candidates) {
      // Sorted by their least distance to the cell: none further on can do better.
      if (candidate.cellDistance > best) break;
      const RGBQUAD& e = m_palette[candidate.index];
      const int db = e.rgbBlue - blue, dg = e.rgbGreen - green, dr = e.rgbRed - red;
      const int distance = db * db + dg * dg + dr * dr;
      if (distance < best || (distance == best && candidate.index < answer)) {
        best = distance;
        answer = candidate.index;
      }
    }
    m_cacheKey = key;
    m_cacheIndex = answer;
    m_cacheValid = true;
    return answer;
  }

 private:
  static constexpr int kShift = 3;
  static constexpr int kCells = 256 >> kShift;
  struct Candidate {
    int cellDistance;  // least squared distance from the entry to the cell
    BYTE index;
  };
  struct Cell {
    bool built = false;
    std::vector<Candidate> candidates;
  };

  // An entry can be nearest to some colour of the cell only when its nearest
  // possible distance to the cell does not exceed the smallest farthest
  // distance of any entry; entries at equal distance are all kept.
  void Build(Cell& cell, int red, int green, int blue) {
    auto axis = [](int value, int low, int& nearest, int& farthest) {
      const int high = low + (1 << kShift) - 1;
      const int d = value < low ? low - value : value > high ? value - high : 0;
      const int f = std::max(std::abs(value - low), std::abs(value - high));
      nearest += d * d;
      farthest += f * f;
    };
    std::vector<int> nearest(m_palette.size());
    int bound = INT_MAX;
    for (size_t i = 0; i < m_palette.size(); ++i) {
      int n = 0, f = 0;
      axis(m_palette[i].rgbRed, red, n, f);
      axis(m_palette[i].rgbGreen, green, n, f);
      axis(m_palette[i].rgbBlue, blue, n, f);
      nearest[i] = n;
      bound = std::min(bound, f);
    }
    for (size_t i = 0; i < m_palette.size(); ++i)
      if (nearest[i] <= bound) cell.candidates.push_back({nearest[i], static_cast<BYTE>(i)});
    std::stable_sort(cell.candidates.begin(), cell.candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.cellDistance < b.cellDistance; });
    cell.built = true;
  }

  std::vector<RGBQUAD> m_palette;
  std::vector<Cell> m_cells;
  uint32_t m_cacheKey = 0;
  BYTE m_cacheIndex = 0;
  bool m_cacheValid = false;
};

// Where one source row or column lands in a box reduction: wholly in output
// cell `first`, or split, `1000 - split` thousandths in `first` and `split`
// in `first + 1`.
struct BoxSpan {
  int32_t first;
  int32_t split;  // thousandths in the next cell, 0 when not split
  bool crosses;
};

std::vector<BoxSpan> BoxSpans(int32_t sourceSize, int32_t targetSize) {
  std::vector<BoxSpan> spans(static_cast<size_t>(sourceSize));
  const double scale = static_cast<double>(sourceSize) / targetSize;
  int32_t cell = 0;
  // Computed afresh for every cell: adding the scale up in floats drifts by
  // pixels over a large image.
  double limit = scale - 1;
  for (int32_t s = 0; s < sourceSize; ++s) {
    BoxSpan& span = spans[static_cast<size_t>(s)];
    span.first = std::min(cell, targetSize - 1);
    if (s < limit || cell >= targetSize - 1) {
      span.split = 0;
      span.crosses = false;
      continue;
    }
    span.split = std::min(1000, static_cast<int32_t>((s - limit) * 1000));
    span.crosses = true;
    ++cell;
    limit = (cell + 1) * scale - 1;
  }
  return spans;
}

}  // namespace

bool CDibImage::HandOver(CDibImage& result, CDibImage* output) {
  CDibImage& receiver = output ? *output : *this;
  return receiver.Transfer(result, true);
}

// ---- Flip and mirror ----

bool CDibImage::Flip(bool flipSelection, bool flipAlpha) {
  if (!m_dib) return false;
  const size_t stride = m_info.rowStride;
  std::unique_ptr<BYTE, FreeDeleter> buffer(static_cast<BYTE*>(std::malloc(stride)));
  if (!buffer) return false;
  const DWORD height = GetHeight();
  for (DWORD top = 0; top < height / 2; ++top) {
    BYTE* a = GetBits(top);
    BYTE* b = GetBits(height - 1 - top);
    std::memcpy(buffer.get(), a, stride);
    std::memcpy(a, b, stride);
    std::memcpy(b, buffer.get(), stride);
  }
  if (flipSelection && m_selection) SelectionFlip();
  if (flipAlpha && m_alpha) AlphaFlip();
  return true;
}

bool CDibImage::Mirror(bool mirrorSelection, bool mirrorAlpha) {
  // A ghost cannot take the result, and a copy of it would be another view.
  if (!m_dib || IsGhost()) return false;
  CDibImage result;
  if (!result.Copy(*this, false, true, true)) {
    SetLastErrorText(result.GetLastError());
    return false;
  }
  const int32_t width = m_header.biWidth;
  const int32_t height = m_header.biHeight;
  for (int32_t y = 0; y < height; ++y) {
    const BYTE* from = GetBits(static_cast<DWORD>(y));
    BYTE* to = result.GetBits(static_cast<DWORD>(y));
    switch (m_header.biBitCount) {
      case 24:
        for (int32_t x = 0; x < width; ++x) std::memcpy(to + 3 * (width - 1 - x), from + 3 * x, 3);
        break;
      case 8:
        for (int32_t x = 0; x < width; ++x) to[width - 1 - x] = from[x];
        break;
      default:
        for (int32_t x = 0; x < width; ++x) result.BlindSetPixelIndex(width - 1 - x, y, BlindGetPixelIndex(x, y));
        break;
    }
  }
  if (mirrorSelection && result.m_selection) result.SelectionMirror();
  if (mirrorAlpha && result.m_alpha) result.AlphaMirror();
  return HandOver(result, nullptr);
}

// ---- Quarter turns ----

namespace {

// Destination (x, y) of the turned image reads source Source(x, y).
template <typename Mapping>
void RotateTiled(const CDibImage& source, CDibImage& result, const BYTE* sourceSelection,
                 const BYTE* sourceAlpha, BYTE* resultSelection, BYTE* resultAlpha, Mapping map,
                 bool leftTurn, int32_t& progress) {
  const int32_t width = static_cast<int32_t>(result.GetWidth());
  const int32_t height = static_cast<int32_t>(result.GetHeight());
  const size_t sourceWidth = source.GetWidth();
  const WORD bpp = source.GetBpp();
  constexpr int32_t kTile = 64;
  for (int32_t tileX = 0; tileX < width; tileX += kTile) {
    for (int32_t tileY = 0; tileY < height; tileY += kTile) {
      const int32_t endX = std::min(width, tileX + kTile);
      const int32_t endY = std::min(height, tileY + kTile);
      for (int32_t y = tileY; y < endY; ++y) {
        if (!leftTurn) progress = static_cast<int32_t>(100LL * y / height);
        BYTE* destinationRow = result.GetBits(static_cast<DWORD>(y));
        for (int32_t x = tileX; x < endX; ++x) {
          int32_t sx, sy;
          map(x, y, sx, sy);
          if (bpp == 24) {
            std::memcpy(destinationRow + 3 * static_cast<size_t>(x),
                        source.GetBits(static_cast<DWORD>(sy)) + 3 * static_cast<size_t>(sx), 3);
          } else {
            result.BlindSetPixelIndex(x, y, source.BlindGetPixelIndex(sx, sy));
          }
          const size_t from = static_cast<size_t>(sy) * sourceWidth + sx;
          const size_t to = static_cast<size_t>(y) * width + x;
          if (resultAlpha) resultAlpha[to] = sourceAlpha[from];
          if (resultSelection) resultSelection[to] = sourceSelection[from];
        }
      }
    }
    if (leftTurn) progress = static_cast<int32_t>(100LL * tileX / width);
  }
}

}  // namespace

bool CDibImage::RotateLeft(CDibImage* output) {
  if (!m_dib) return false;
  CDibImage result;
  result.CopyInfo(*this);
  if (!result.Create(m_header.biHeight, m_header.biWidth, m_header.biBitCount, m_info.formatId)) {
    SetLastErrorText(result.GetLastError());
    return false;
  }
  result.SetPalette(PaletteEntries(), GetNumColors());
  if ((m_alpha && !result.AlphaCreate()) || (m_selection && !result.SelectionCreate())) return false;

  const int32_t turnedWidth = result.m_header.biWidth;  // W: the source height
  auto map = [turnedWidth](int32_t x, int32_t y, int32_t& sx, int32_t& sy) {
    sx = y;
    sy = turnedWidth - 1 - x;
  };
  if (m_header.biBitCount == 1) {
    for (int32_t y = 0; y < result.m_header.biHeight; ++y)
      for (int32_t x = 0; x < turnedWidth; ++x) {
        int32_t sx, sy;
        map(x, y, sx, sy);
        if (BlindGetPixelIndex(sx, sy)) result.BlindSetPixelIndex(x, y, 1);
        const size_t from = static_cast<size_t>(sy) * m_header.biWidth + sx;
        const size_t to = static_cast<size_t>(y) * turnedWidth + x;
        if (m_alpha) result.m_alpha[to] = m_alpha[from];
        if (m_selection) result.m_selection[to] = m_selection[from];
      }
  } else {
    RotateTiled(*this, result, m_selection, m_alpha, result.m_selection, result.m_alpha, map, true,
                m_info.progress);
  }
  // The box turns with the picture; an empty box stays empty for the new size.
  const RECT& old = m_info.selectionBox;
  result.m_info.selectionBox = RECT{turnedWidth - old.top, old.right, turnedWidth - old.bottom, old.left};
  return HandOver(result, output);
}

bool CDibImage::RotateRight(CDibImage* output) {
  if (!m_dib) return false;
  CDibImage result;
  result.CopyInfo(*this);
  if (!result.Create(m_header.biHeight, m_header.biWidth, m_header.biBitCount, m_info.formatId)) {
    SetLastErrorText(result.GetLastError());
    return false;
  }
  result.SetPalette(PaletteEntries(), GetNumColors());
  if ((m_alpha && !result.AlphaCreate()) || (m_selection && !result.SelectionCreate())) return false;

  const int32_t turnedHeight = result.m_header.biHeight;  // H: the source width
  auto map = [turnedHeight](int32_t x, int32_t y, int32_t& sx, int32_t& sy) {
    sx = turnedHeight - 1 - y;
    sy = x;
  };
  if (m_header.biBitCount == 1) {
    for (int32_t y = 0; y < turnedHeight; ++y)
      for (int32_t x = 0; x < result.m_header.biWidth; ++x) {
        int32_t sx, sy;
        map(x, y, sx, sy);
        if (BlindGetPixelIndex(sx, sy)) result.BlindSetPixelIndex(x, y, 1);
        const size_t from = static_cast<size_t>(sy) * m_header.biWidth + sx;
        const size_t to = static_cast<size_t>(y) * result.m_header.biWidth + x;
        if (m_alpha) result.m_alpha[to] = m_alpha[from];
        if (m_selection) result.m_selection[to] = m_selection[from];
      }
  } else {
    RotateTiled(*this, result, m_selection, m_alpha, result.m_selection, result.m_alpha, map, false,
                m_info.progress);
  }
  const RECT& old = m_info.selectionBox;
  result.m_info.selectionBox = RECT{old.bottom, turnedHeight - old.left, old.top, turnedHeight - old.right};
  return HandOver(result, output);
}

// ---- Negative ----

bool CDibImage::Negative() {
  if (!m_dib) return false;
  const int32_t width = m_header.biWidth;
  const int32_t height = m_header.biHeight;
  // The selection box clamped to the image: only pixels inside it can change.
  const RECT& box = m_info.selectionBox;
  const int32_t left = std::max<int32_t>(box.left, 0), right = std::min<int32_t>(box.right, width);
  const int32_t bottom = std::max<int32_t>(box.bottom, 0), top = std::min<int32_t>(box.top, height);

  if (m_header.biBitCount > 8) {
    if (m_selection) {
      for (int32_t y = bottom; y < top; ++y)
        for (int32_t x = left; x < right; ++x)
          if (BlindSelectionGet(x, y)) {
            BYTE* pixel = BlindGetPixelPointer(x, y);
            for (int i = 0; i < 3; ++i) pixel[i] = static_cast<BYTE>(255 - pixel[i]);
          }
    } else {
      BYTE* bits = m_info.pixels;
      const size_t bytes = static_cast<size_t>(m_info.rowStride) * height;
      for (size_t i = 0; i < bytes; ++i) bits[i] = static_cast<BYTE>(~bits[i]);
    }
    m_info.transColor.rgbBlue = static_cast<BYTE>(255 - m_info.transColor.rgbBlue);
    m_info.transColor.rgbGreen = static_cast<BYTE>(255 - m_info.transColor.rgbGreen);
    m_info.transColor.rgbRed = static_cast<BYTE>(255 - m_info.transColor.rgbRed);
    return true;
  }

  if (!IsGrayScale()) {
    InvalidateNearest();
    if (RGBQUAD* entries = PaletteEntries())
      for (DWORD i = 0; i < m_header.biClrUsed; ++i) {
        entries[i].rgbBlue = static_cast<BYTE>(255 - entries[i].rgbBlue);
        entries[i].rgbGreen = static_cast<BYTE>(255 - entries[i].rgbGreen);
        entries[i].rgbRed = static_cast<BYTE>(255 - entries[i].rgbRed);
      }
    return true;
  }

  if (m_selection) {
    for (int32_t y = bottom; y < top; ++y)
      for (int32_t x = left; x < right; ++x)
        if (BlindSelectionGet(x, y)) BlindSetPixelIndex(x, y, static_cast<BYTE>(255 - BlindGetPixelIndex(x, y)));
  } else {
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x)
        BlindSetPixelIndex(x, y, static_cast<BYTE>(255 - BlindGetPixelIndex(x, y)));
  }
  return true;
}

// ---- Resample ----

bool CDibImage::Resample(int32_t newWidth, int32_t newHeight, int mode, CDibImage* output) {
  if (!m_dib || newWidth <= 0 || newHeight <= 0) return false;
  const int32_t width = m_header.biWidth;
  const int32_t height = m_header.biHeight;
  if (newWidth == width && newHeight == height) {
    if (output && output != this) return output->Copy(*this, true, true, true);
    return true;
  }

  const float xScale = static_cast<float>(width) / newWidth;
  const float yScale = static_cast<float>(height) / newHeight;
  CDibImage result;
  result.CopyInfo(*this);
  if (!result.Create(newWidth, newHeight, m_header.biBitCount, m_info.formatId)) {
    SetLastErrorText(result.GetLastError());
    return false;
  }
  result.SetPalette(PaletteEntries(), GetNumColors());
  const bool indexed = m_header.biBitCount < 24;
  auto sourceColumn = [&](int32_t x) { return std::min(static_cast<int32_t>(x * xScale), width - 1); };
  auto sourceRow = [&](int32_t y) { return std::min(static_cast<int32_t>(y * yScale), height - 1); };

  if (mode == 1) {
    // Indices are copied as they are: going through colours would move a
    // pixel to the first of two equal palette entries, and could lose a
    // transparent index that shares its colour with another entry.
    for (int32_t y = 0; y < newHeight && !m_info.escape; ++y) {
      m_info.progress = static_cast<int32_t>(100LL * y / newHeight);
      const int32_t sy = sourceRow(y);
      for (int32_t x = 0; x < newWidth; ++x) {
        const int32_t sx = sourceColumn(x);
        if (indexed) result.BlindSetPixelIndex(x, y, BlindGetPixelIndex(sx, sy));
        else std::memcpy(result.BlindGetPixelPointer(x, y), BlindGetPixelPointer(sx, sy), 3);
      }
    }
  } else if (mode == 2) {
    // Bicubic B-spline over 4 x 4 source pixels, clamped at the edges.
    struct Taps {
      int32_t at[4];
      float weight[4];
    };
    auto taps = [](int32_t i, float scale, int32_t size, bool rowAxis) {
      Taps t;
      const float f = i * scale - 0.5f;
      const int32_t base = static_cast<int32_t>(std::floor(f));
      const float frac = f - base;
      for (int n = -1; n <= 2; ++n) {
        t.at[n + 1] = std::min(std::max(base + n, 0), size - 1);
        // Rows weigh K(m - a), columns K(b - n): the kernel is symmetric.
        t.weight[n + 1] = rowAxis ? KernelBSpline(n - frac) : KernelBSpline(frac - n);
      }
      return t;
    };
    std::vector<Taps> columns(static_cast<size_t>(newWidth));
    for (int32_t x = 0; x < newWidth; ++x) columns[static_cast<size_t>(x)] = taps(x, xScale, width, false);
    for (int32_t y = 0; y < newHeight && !m_info.escape; ++y) {
      m_info.progress = static_cast<int32_t>(100LL * y / newHeight);
      const Taps rows = taps(y, yScale, height, true);
      for (int32_t x = 0; x < newWidth; ++x) {
        const Taps& cols = columns[static_cast<size_t>(x)];
        float red = 0, green = 0, blue = 0;
        for (int m = 0; m < 4; ++m)
          for (int n = 0; n < 4; ++n) {
            const float w = rows.weight[m] * cols.weight[n];
            if (indexed) {
              const RGBQUAD c = GetPaletteColor(BlindGetPixelIndex(cols.at[n], rows.at[m]));
              red += c.rgbRed * w;
              green += c.rgbGreen * w;
              blue += c.rgbBlue * w;
            } else {
              const BYTE* p = BlindGetPixelPointer(cols.at[n], rows.at[m]);
              blue += p[0] * w;
              green += p[1] * w;
              red += p[2] * w;
            }
          }
        // Rounded, not truncated: the float weights add up to a hair under
        // one, and truncation would darken a flat picture by a step.
        RGBQUAD colour;
        colour.rgbBlue = ClampToByte(blue + 0.5f);
        colour.rgbGreen = ClampToByte(green + 0.5f);
        colour.rgbRed = ClampToByte(red + 0.5f);
        colour.rgbReserved = 0;
        result.BlindSetPixelColor(x, y, colour, false);
      }
    }
  } else if (newWidth < width && newHeight < height && !indexed) {
    ResampleBox(result);
  } else {
    for (int32_t y = 0; y < newHeight && !m_info.escape; ++y) {
      m_info.progress = static_cast<int32_t>(100LL * y / newHeight);
      const float fy = y * yScale;
      const int32_t iy = sourceRow(y);
      const int32_t iy1 = std::min(iy + 1, height - 1);
      const float dy = fy - iy;
      for (int32_t x = 0; x < newWidth; ++x) {
        const float fx = x * xScale;
        const int32_t ix = sourceColumn(x);
        const int32_t ix1 = std::min(ix + 1, width - 1);
        const float dx = fx - ix;
        const RGBQUAD c00 = BlindGetPixelColor(ix, iy, false), c10 = BlindGetPixelColor(ix1, iy, false);
        const RGBQUAD c01 = BlindGetPixelColor(ix, iy1, false), c11 = BlindGetPixelColor(ix1, iy1, false);
        auto blend = [dx, dy](BYTE a00, BYTE a10, BYTE a01, BYTE a11) {
          const float bottom = a00 + (a10 - a00) * dx;
          const float top = a01 + (a11 - a01) * dx;
          return ClampToByte(bottom + (top - bottom) * dy);
        };
        result.SetPixelColor(x, y,
                             static_cast<COLORREF>(RGB(blend(c00.rgbRed, c10.rgbRed, c01.rgbRed, c11.rgbRed),
                                                       blend(c00.rgbGreen, c10.rgbGreen, c01.rgbGreen, c11.rgbGreen),
                                                       blend(c00.rgbBlue, c10.rgbBlue, c01.rgbBlue, c11.rgbBlue))));
      }
    }
  }

  if (m_alpha) {
    if (!result.AlphaCreate()) return false;
    for (int32_t y = 0; y < newHeight; ++y) {
      const int32_t sy = sourceRow(y);
      for (int32_t x = 0; x < newWidth; ++x)
        result.m_alpha[static_cast<size_t>(y) * newWidth + x] = BlindAlphaGet(sourceColumn(x), sy);
    }
  }
  return HandOver(result, output);
}

// A 24-bit reduction: every output pixel is the thousandth-weighted sum of the
// source pixels it covers, divided by the weight it gathered. Sums are 64-bit:
// a 16384 x 16384 picture shrunk to one pixel sums 2^28 pixels.
void CDibImage::ResampleBox(CDibImage& result) {
  const int32_t width = m_header.biWidth;
  const int32_t height = m_header.biHeight;
  const int32_t newWidth = result.m_header.biWidth;
  const int32_t newHeight = result.m_header.biHeight;
  const std::vector<BoxSpan> columns = BoxSpans(width, newWidth);
  const std::vector<BoxSpan> rows = BoxSpans(height, newHeight);

  struct Cell {
    uint64_t blue, green, red, weight;
  };
  std::vector<Cell> current(static_cast<size_t>(newWidth)), next(static_cast<size_t>(newWidth));
  int32_t outputRow = 0;
  auto writeRow = [&](std::vector<Cell>& cells, int32_t row) {
    BYTE* out = result.GetBits(static_cast<DWORD>(row));
    for (const Cell& c : cells) {
      if (c.weight) {
        out[0] = static_cast<BYTE>(std::min<uint64_t>(c.blue / c.weight, 255));
        out[1] = static_cast<BYTE>(std::min<uint64_t>(c.green / c.weight, 255));
        out[2] = static_cast<BYTE>(std::min<uint64_t>(c.red / c.weight, 255));
      }
      out += 3;
    }
  };
  auto add = [](Cell& cell, const BYTE* p, uint64_t weight) {
    cell.blue += p[0] * weight;
    cell.green += p[1] * weight;
    cell.red += p[2] * weight;
    cell.weight += weight;
  };

  for (int32_t y = 0; y < height && !m_info.escape; ++y) {
    m_info.progress = static_cast<int32_t>(100LL * y / height);
    const BoxSpan& rowSpan = rows[static_cast<size_t>(y)];
    while (outputRow < rowSpan.first) {
      writeRow(current, outputRow++);
      current.swap(next);
      std::fill(next.begin(), next.end(), Cell{});
    }
    const uint64_t rowWeight = 1000 - static_cast<uint64_t>(rowSpan.split);
    const uint64_t nextRowWeight = rowSpan.crosses ? static_cast<uint64_t>(rowSpan.split) : 0;
    const BYTE* pixel = GetBits(static_cast<DWORD>(y));
    for (int32_t x = 0; x < width; ++x, pixel += 3) {
      const BoxSpan& columnSpan = columns[static_cast<size_t>(x)];
      const size_t c = static_cast<size_t>(columnSpan.first);
      const uint64_t columnWeight = 1000 - static_cast<uint64_t>(columnSpan.split);
      const uint64_t nextColumnWeight = columnSpan.crosses ? static_cast<uint64_t>(columnSpan.split) : 0;
      add(current[c], pixel, rowWeight * columnWeight / 1000);
      if (nextColumnWeight) add(current[c + 1], pixel, rowWeight * nextColumnWeight / 1000);
      if (nextRowWeight) {
        add(next[c], pixel, nextRowWeight * columnWeight / 1000);
        if (nextColumnWeight) add(next[c + 1], pixel, nextRowWeight * nextColumnWeight / 1000);
      }
    }
  }
  // Rows the source ran out before (or an escape cut short) are written from
  // what they gathered.
  while (outputRow < newHeight) {
    writeRow(current, outputRow++);
    current.swap(next);
    std::fill(next.begin(), next.end(), Cell{});
  }
}

// ---- Expand ----

bool CDibImage::Expand(int32_t left, int32_t top, int32_t right, int32_t bottom, RGBQUAD canvas,
                       CDibImage* output) {
  if (!m_dib || left < 0 || top < 0 || right < 0 || bottom < 0) return false;
  const int64_t newWidth64 = static_cast<int64_t>(m_header.biWidth) + left + right;
  const int64_t newHeight64 = static_cast<int64_t>(m_header.biHeight) + top + bottom;
  if (newWidth64 > INT32_MAX || newHeight64 > INT32_MAX) {
    SetLastErrorText("DIBIMAGE_MAX_MEMORY exceeded");
    return false;
  }
  const int32_t newWidth = static_cast<int32_t>(newWidth64);
  const int32_t newHeight = static_cast<int32_t>(newHeight64);
  const int32_t width = m_header.biWidth;
  const int32_t height = m_header.biHeight;

  CDibImage result;
  result.CopyInfo(*this);
  if (!result.Create(newWidth, newHeight, m_header.biBitCount, m_info.formatId)) {
    SetLastErrorText(result.GetLastError());
    return false;
  }
  result.SetPalette(PaletteEntries(), GetNumColors());

  switch (m_header.biBitCount) {
    case 8:
    case 24: {
      const size_t pixelBytes = m_header.biBitCount / 8;
      if (pixelBytes == 1) {
        std::memset(result.m_info.pixels, result.GetNearestIndex(canvas),
                    static_cast<size_t>(result.m_info.rowStride) * newHeight);
      } else {
        for (int32_t y = 0; y < newHeight; ++y)
          for (int32_t x = 0; x < newWidth; ++x) result.BlindSetPixelColor(x, y, canvas, false);
      }
      for (int32_t y = 0; y < height; ++y) {
        m_info.progress = static_cast<int32_t>(100LL * y / height);
        std::memcpy(result.GetBits(static_cast<DWORD>(y + bottom)) + pixelBytes * left,
                    GetBits(static_cast<DWORD>(y)), pixelBytes * width);
      }
      break;
    }
    default: {
      const BYTE canvasIndex = result.GetNearestIndex(canvas);
      for (int32_t y = 0; y < newHeight; ++y) {
        m_info.progress = static_cast<int32_t>(100LL * y / newHeight);
        for (int32_t x = 0; x < newWidth; ++x) {
          const bool picture = x >= left && x < left + width && y >= bottom && y < bottom + height;
          result.BlindSetPixelIndex(x, y, picture ? BlindGetPixelIndex(x - left, y - bottom) : canvasIndex);
        }
      }
      break;
    }
  }

  if (m_selection) {
    if (!result.SelectionCreate()) return false;
    for (int32_t y = 0; y < height; ++y)
      std::memcpy(result.m_selection + static_cast<size_t>(y + bottom) * newWidth + left,
                  m_selection + static_cast<size_t>(y) * width, static_cast<size_t>(width));
    const RECT& box = m_info.selectionBox;
    result.m_info.selectionBox = RECT{box.left + left, box.top + bottom, box.right + left, box.bottom + bottom};
  }
  if (m_alpha) {
    if (!result.AlphaCreate()) return false;
    result.AlphaSet(canvas.rgbReserved);
    for (int32_t y = 0; y < height; ++y)
      std::memcpy(result.m_alpha + static_cast<size_t>(y + bottom) * newWidth + left,
                  m_alpha + static_cast<size_t>(y) * width, static_cast<size_t>(width));
  }
  return HandOver(result, output);
}

// ---- Bit depth ----

bool CDibImage::DecreaseBpp(DWORD bits, bool errorDiffusion, const RGBQUAD* palette, DWORD colourCount) {
  if (!m_dib) return false;
  const WORD target = bits <= 1 ? 1 : bits <= 4 ? 4 : bits <= 8 ? 8 : 24;
  if (target > m_header.biBitCount) {
    SetLastErrorText("DecreaseBpp: target BPP greater than source BPP");
    return false;
  }
  if (target == m_header.biBitCount &&
      (colourCount == 0 || (m_header.biClrImportant != 0 && m_header.biClrImportant < colourCount)))
    return true;

  const int32_t width = m_header.biWidth;
  const int32_t height = m_header.biHeight;
  CDibImage result;
  result.CopyInfo(*this);
  if (!result.Create(width, height, target, m_info.formatId)) {
    SetLastErrorText(result.GetLastError());
    return false;
  }
  if (colourCount) result.SetClrImportant(colourCount);
  if ((m_selection && !result.SelectionCopy(*this)) || (m_alpha && !result.AlphaCopy(*this))) return false;
  // Never more entries than the target palette holds, whatever the count says.
  if (!palette) result.SetStdPalette();
  else result.SetPalette(palette, colourCount ? colourCount : (1u << target));

  const bool trueColour = target == 24;
  DWORD searched = result.m_header.biClrUsed;
  if (result.m_header.biClrImportant) searched = std::min(searched, result.m_header.biClrImportant);
  NearestSearch nearest(result.PaletteEntries(), trueColour ? 0 : searched);
  auto store = [&](int32_t x, int32_t y, int red, int green, int blue) {
    if (trueColour) {
      BYTE* p = result.BlindGetPixelPointer(x, y);
      p[0] = static_cast<BYTE>(blue);
      p[1] = static_cast<BYTE>(green);
      p[2] = static_cast<BYTE>(red);
      return RGBQUAD{static_cast<BYTE>(blue), static_cast<BYTE>(green), static_cast<BYTE>(red), 0};
    }
    const BYTE index = nearest.Find(red, green, blue);
    result.BlindSetPixelIndex(x, y, index);
    return result.PaletteEntries()[index];
  };

  // Source colours of the row being converted and the one above it; the
  // diffused error goes into these, so the source image itself is untouched.
  std::vector<int> row(static_cast<size_t>(width) * 3), above(static_cast<size_t>(width) * 3);
  auto load = [&](std::vector<int>& into, int32_t y) {
    for (int32_t x = 0; x < width; ++x) {
      const RGBQUAD c = BlindGetPixelColor(x, y, false);
      into[3 * x] = c.rgbRed;
      into[3 * x + 1] = c.rgbGreen;
      into[3 * x + 2] = c.rgbBlue;
    }
  };
  load(row, 0);
  for (int32_t y = 0; y < height && !m_info.escape; ++y) {
    m_info.progress = static_cast<int32_t>(100LL * y / height);
    const bool hasAbove = y + 1 < height;
    if (errorDiffusion && hasAbove) load(above, y + 1);
    for (int32_t x = 0; x < width; ++x) {
      int* c = &row[3 * static_cast<size_t>(x)];
      const RGBQUAD shown = store(x, y, c[0], c[1], c[2]);
      if (!errorDiffusion) continue;
      const int error[3] = {c[0] - shown.rgbRed, c[1] - shown.rgbGreen, c[2] - shown.rgbBlue};
      auto spread = [&error](int* target, int weight) {
        for (int i = 0; i < 3; ++i) target[i] = ClampToByte(target[i] + weight * error[i] / 16);
      };
      if (x + 1 < width) spread(c + 3, 7);
      if (hasAbove) {
        int* up = &above[3 * static_cast<size_t>(x)];
        if (x > 0) spread(up - 3, 2);
        spread(up, 4);
        if (x + 1 < width) spread(up + 3, 1);
      }
    }
    if (hasAbove) {
      if (errorDiffusion) row.swap(above);
      else load(row, y + 1);
    }
  }
  return HandOver(result, nullptr);
}

bool CDibImage::IncreaseBpp(DWORD bits) {
  if (!m_dib || (bits != 4 && bits != 8 && bits != 24)) return false;
  if (bits == m_header.biBitCount) return true;
  if (bits < m_header.biBitCount) return false;

  const int32_t width = m_header.biWidth;
  const int32_t height = m_header.biHeight;
  CDibImage result;
  result.CopyInfo(*this);
  if (!result.Create(width, height, bits, m_info.formatId)) {
    SetLastErrorText(result.GetLastError());
    return false;
  }
  if ((m_selection && !result.SelectionCopy(*this)) || (m_alpha && !result.AlphaCopy(*this))) return false;

  if (bits < 24) {
    result.SetPalette(PaletteEntries(), GetNumColors());
    for (int32_t y = 0; y < height && !m_info.escape; ++y)
      for (int32_t x = 0; x < width; ++x) result.BlindSetPixelIndex(x, y, BlindGetPixelIndex(x, y));
    return HandOver(result, nullptr);
  }

  if (m_info.transIndex >= 0) result.SetTransColor(GetPaletteColor(static_cast<DWORD>(m_info.transIndex)));
  if (AlphaPaletteIsValid() && !m_alpha && !result.AlphaCreate()) return false;
  for (int32_t y = 0; y < height && !m_info.escape; ++y) {
    m_info.progress = static_cast<int32_t>(100LL * y / height);
    for (int32_t x = 0; x < width; ++x) result.BlindSetPixelColor(x, y, BlindGetPixelColor(x, y, true), true);
  }
  return HandOver(result, nullptr);
}
