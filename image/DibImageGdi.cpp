// The bridge between CDibImage and GDI: bitmaps in and out, and painting
// with transparency and alpha over whatever a device context already shows.
#include "image/DibImage.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// ---- Scoped GDI helpers: every handle made here is released here ----

class ScreenDC {
 public:
  ScreenDC() : m_dc(GetDC(nullptr)) {}
  ~ScreenDC() {
    if (m_dc) ReleaseDC(nullptr, m_dc);
  }
  ScreenDC(const ScreenDC&) = delete;
  ScreenDC& operator=(const ScreenDC&) = delete;
  HDC get() const { return m_dc; }

 private:
  HDC m_dc;
};

class MemoryDC {
 public:
  explicit MemoryDC(HDC compatibleWith) : m_dc(CreateCompatibleDC(compatibleWith)) {}
  ~MemoryDC() {
    if (m_dc) DeleteDC(m_dc);
  }
  MemoryDC(const MemoryDC&) = delete;
  MemoryDC& operator=(const MemoryDC&) = delete;
  HDC get() const { return m_dc; }

 private:
  HDC m_dc;
};

class OwnedBitmap {
 public:
  explicit OwnedBitmap(HBITMAP bitmap = nullptr) : m_bitmap(bitmap) {}
  ~OwnedBitmap() {
    if (m_bitmap) DeleteObject(m_bitmap);
  }
  OwnedBitmap(const OwnedBitmap&) = delete;
  OwnedBitmap& operator=(const OwnedBitmap&) = delete;
  HBITMAP get() const { return m_bitmap; }
  void reset(HBITMAP bitmap) {
    if (m_bitmap) DeleteObject(m_bitmap);
    m_bitmap = bitmap;
  }
  HBITMAP release() {
    HBITMAP bitmap = m_bitmap;
    m_bitmap = nullptr;
    return bitmap;
  }

 private:
  HBITMAP m_bitmap;
};

class ScopedSelect {
 public:
  ScopedSelect(HDC dc, HGDIOBJ object) : m_dc(dc), m_old(SelectObject(dc, object)) {}
  ~ScopedSelect() {
    if (m_old && m_old != HGDI_ERROR) SelectObject(m_dc, m_old);
  }
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;
  bool ok() const { return m_old && m_old != HGDI_ERROR; }

 private:
  HDC m_dc;
  HGDIOBJ m_old;
};

// SaveDC on construction, RestoreDC on destruction: clipping, stretch mode
// and selections come back exactly as the caller had them.
class SavedDC {
 public:
  explicit SavedDC(HDC dc) : m_dc(dc), m_level(SaveDC(dc)) {}
  ~SavedDC() {
    if (m_level) RestoreDC(m_dc, m_level);
  }
  SavedDC(const SavedDC&) = delete;
  SavedDC& operator=(const SavedDC&) = delete;
  bool ok() const { return m_level != 0; }

 private:
  HDC m_dc;
  int m_level;
};

// A bottom-up 24-bit DIB section of the paint box, drawn through a memory DC.
struct PaintBuffer {
  BITMAPINFO info{};
  BYTE* bits = nullptr;
  OwnedBitmap bitmap;
  size_t stride = 0;

  bool Make(HDC dc, int width, int height) {
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    bitmap.reset(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
    if (!bitmap.get() || !pixels) return false;
    bits = static_cast<BYTE*>(pixels);
    stride = ((static_cast<size_t>(width) * 24 + 31) / 32) * 4;
    return true;
  }
  BYTE* Pixel(int column, int row) const { return bits + static_cast<size_t>(row) * stride + 3 * static_cast<size_t>(column); }
};

int ClampInt(int value, int low, int high) {
  return value < low ? low : (value > high ? high : value);
}

}  // namespace

// ---- Bitmaps in and out ----

bool CDibImage::CreateFromHBITMAP(HBITMAP bitmap, HPALETTE palette) {
  if (!Destroy() || !bitmap) return false;
  BITMAP record{};
  if (!GetObject(bitmap, sizeof record, &record)) return false;
  if (!Create(record.bmWidth, std::abs(record.bmHeight), record.bmBitsPixel, 0)) return false;

  ScreenDC screen;
  if (!screen.get()) return false;
  HPALETTE oldPalette = nullptr;
  if (palette) {
    oldPalette = SelectPalette(screen.get(), palette, FALSE);
    RealizePalette(screen.get());
  }
  const int lines = GetDIBits(screen.get(), bitmap, 0, GetHeight(), GetBits(0),
                              reinterpret_cast<BITMAPINFO*>(m_dib), DIB_RGB_COLORS);
  if (oldPalette) SelectPalette(screen.get(), oldPalette, FALSE);
  // GDI rewrites the block's header (Wine sets the colour count to 0); the
  // header copy is what describes the block.
  std::memcpy(m_dib, &m_header, sizeof m_header);
  if (lines == 0) {
    Clear(0);
    SetLastErrorText("GetDIBits failed");
    return false;
  }
  return true;
}

HBITMAP CDibImage::MakeBitmap(HDC dc) const {
  if (!m_dib) return nullptr;
  std::unique_ptr<MemoryDC> memory;
  if (!dc) {
    memory = std::make_unique<MemoryDC>(nullptr);
    dc = memory->get();
    if (!dc) return nullptr;
  }
  void* bits = nullptr;
  OwnedBitmap section(CreateDIBSection(dc, reinterpret_cast<const BITMAPINFO*>(m_dib), DIB_RGB_COLORS,
                                       &bits, nullptr, 0));
  if (!section.get() || !bits) return nullptr;
  std::memcpy(bits, m_info.pixels, m_header.biSizeImage);
  return section.release();
}

// ---- Painting ----

bool CDibImage::Stretch(HDC dc, int32_t x, int32_t y, int32_t cx, int32_t cy, DWORD rop) const {
  if (!m_dib || !dc) return false;
  SavedDC saved(dc);
  SetStretchBltMode(dc, COLORONCOLOR);
  StretchDIBits(dc, x, y, cx, cy, 0, 0, GetWidth(), GetHeight(), m_info.pixels,
                reinterpret_cast<const BITMAPINFO*>(m_dib), DIB_RGB_COLORS, rop);
  return true;
}

bool CDibImage::Stretch(HDC dc, const RECT& destination, DWORD rop) const {
  return Stretch(dc, destination.left, destination.top, destination.right - destination.left,
                 destination.bottom - destination.top, rop);
}

bool CDibImage::Draw(HDC dc, const RECT& destination, const RECT* clip, bool smooth) const {
  return Draw(dc, destination.left, destination.top, destination.right - destination.left,
              destination.bottom - destination.top, clip, smooth);
}

bool CDibImage::Draw(HDC dc, int32_t x, int32_t y, int32_t cx, int32_t cy, const RECT* clip, bool smooth) const {
  if (!m_dib || !dc || cx == 0 || cy == 0 || !m_info.enabled) return false;
  const int32_t width = static_cast<int32_t>(GetWidth());
  const int32_t height = static_cast<int32_t>(GetHeight());
  if (cx < 0) cx = width;
  if (cy < 0) cy = height;

  const bool transparent = m_info.transIndex >= 0;
  const bool hasAlpha = m_alpha != nullptr;
  SavedDC saved(dc);
  if (!saved.ok()) return false;

  if (clip) {
    HRGN region = CreateRectRgnIndirect(clip);
    if (region) {
      ExtSelectClipRgn(dc, region, RGN_AND);
      DeleteObject(region);
    }
  }
  RECT clipBox{};
  GetClipBox(dc, &clipBox);
  // The visible part of the destination; never inside out, possibly empty.
  RECT paint;
  paint.left = ClampInt(clipBox.left, x, x + cx);
  paint.right = ClampInt(clipBox.right, paint.left, x + cx);
  paint.top = ClampInt(clipBox.top, y, y + cy);
  paint.bottom = ClampInt(clipBox.bottom, paint.top, y + cy);
  const int paintWidth = paint.right - paint.left;
  const int paintHeight = paint.bottom - paint.top;
  if (paintWidth <= 0 || paintHeight <= 0) return true;

  const bool unscaled = cx == width && cy == height;
  const bool blended = transparent || hasAlpha || m_info.alphaPalette;
  if (!blended && unscaled) {
    SetStretchBltMode(dc, COLORONCOLOR);
    SetDIBitsToDevice(dc, x, y, width, height, 0, 0, 0, height, m_info.pixels,
                      reinterpret_cast<const BITMAPINFO*>(m_dib), DIB_RGB_COLORS);
    return true;
  }

  MemoryDC memory(dc);
  PaintBuffer buffer;
  if (!memory.get() || !buffer.Make(dc, paintWidth, paintHeight)) return true;
  ScopedSelect selected(memory.get(), buffer.bitmap.get());
  if (blended) BitBlt(memory.get(), 0, 0, paintWidth, paintHeight, dc, paint.left, paint.top, SRCCOPY);
  GdiFlush();

  const float dx = static_cast<float>(width) / static_cast<float>(cx);
  const float dy = static_cast<float>(height) / static_cast<float>(cy);
  const bool shrinking = dx > 1.0f && dy > 1.0f;
  const RGBQUAD transColor = GetTransColor();
  const RGBQUAD* palette = reinterpret_cast<const RGBQUAD*>(m_dib + sizeof(BITMAPINFOHEADER));
  const bool indexed = IsIndexed();
  const DWORD colours = GetNumColors();

  for (int r = 0; r < paintHeight; ++r) {
    float fy = 0.0f;
    int32_t sy;
    if (unscaled) {
      sy = height - paint.bottom + y + r;
    } else {
      fy = static_cast<float>(height) - static_cast<float>(paint.bottom - y - r) * dy;
      sy = static_cast<int32_t>(std::floor(fy));
    }
    sy = ClampInt(sy, 0, height - 1);
    const BYTE* sourceRow = m_info.pixels + static_cast<size_t>(sy) * m_info.rowStride;
    for (int c = 0; c < paintWidth; ++c) {
      float fx = 0.0f;
      int32_t sx;
      if (unscaled) {
        sx = paint.left - x + c;
      } else {
        fx = static_cast<float>(paint.left - x + c) * dx;
        sx = static_cast<int32_t>(std::floor(fx));
      }
      sx = ClampInt(sx, 0, width - 1);

      int a = hasAlpha ? m_alpha[static_cast<size_t>(sy) * width + sx] : 255;
      a = ((m_info.alphaMax + 1) * a) >> 8;
      RGBQUAD colour{};
      BYTE index = 0;
      if (indexed) {
        index = BlindGetPixelIndex(sx, sy);
        colour = index < colours ? palette[index] : RGBQUAD{};
        if (m_info.alphaPalette) a = ((colour.rgbReserved + 1) * a) >> 8;
        colour.rgbReserved = 0;
      } else {
        const BYTE* p = sourceRow + 3 * static_cast<size_t>(sx);
        colour = RGBQUAD{p[0], p[1], p[2], 0};
      }
      if (transparent) {
        const bool match = indexed ? index == m_info.transIndex
                                   : std::memcmp(&colour, &transColor, sizeof colour) == 0;
        if (match) continue;
      }
      if (smooth && !unscaled) {
        const RGBQUAD smoothColour =
            shrinking ? SampleArea(fx - 0.5f, fy - 0.5f, dx, dy, IM_BILINEAR, OM_REPEAT)
                      : SampleInterpolated(fx - 0.5f, fy - 0.5f, IM_BILINEAR, OM_REPEAT);
        colour = RGBQUAD{smoothColour.rgbBlue, smoothColour.rgbGreen, smoothColour.rgbRed, 0};
      }
      if (blended && a == 0) continue;

      BYTE* out = buffer.Pixel(c, r);
      if (!blended || a == 255) {
        out[0] = colour.rgbBlue;
        out[1] = colour.rgbGreen;
        out[2] = colour.rgbRed;
      } else {
        out[0] = static_cast<BYTE>((out[0] * (255 - a) + colour.rgbBlue * a) >> 8);
        out[1] = static_cast<BYTE>((out[1] * (255 - a) + colour.rgbGreen * a) >> 8);
        out[2] = static_cast<BYTE>((out[2] * (255 - a) + colour.rgbRed * a) >> 8);
      }
    }
  }
  SetDIBitsToDevice(dc, paint.left, paint.top, paintWidth, paintHeight, 0, 0, 0, paintHeight, buffer.bits,
                    &buffer.info, DIB_RGB_COLORS);
  return true;
}
