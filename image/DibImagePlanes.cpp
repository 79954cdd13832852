// The alpha and selection planes of CDibImage: width x height bytes each,
// rows bottom-up like the pixels, without padding.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "image/DibImage.h"

namespace {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
using PlaneBuffer = std::unique_ptr<BYTE, FreeDeleter>;

size_t PlaneSize(const BITMAPINFOHEADER& header) {
  if (header.biWidth <= 0 || header.biHeight <= 0) return 0;
  return static_cast<size_t>(header.biWidth) * static_cast<size_t>(header.biHeight);
}

// Upside down, one row at a time through a row buffer.
bool FlipPlane(BYTE* plane, size_t width, size_t height) {
  PlaneBuffer buffer(static_cast<BYTE*>(std::malloc(width)));
  if (!buffer) return false;
  for (size_t top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
    std::memcpy(buffer.get(), plane + top * width, width);
    std::memcpy(plane + top * width, plane + bottom * width, width);
    std::memcpy(plane + bottom * width, buffer.get(), width);
  }
  return true;
}

BYTE* MirroredPlane(const BYTE* plane, size_t width, size_t height) {
  BYTE* mirrored = static_cast<BYTE*>(std::malloc(width * height));
  if (!mirrored) return nullptr;
  for (size_t y = 0; y < height; ++y) {
    const BYTE* from = plane + y * width;
    BYTE* to = mirrored + y * width + width - 1;
    for (size_t x = 0; x < width; ++x) *to-- = *from++;
  }
  return mirrored;
}

}  // namespace

// ---- Alpha plane ----

bool CDibImage::AlphaCreate() {
  if (m_alpha) return true;
  const size_t bytes = PlaneSize(m_header);
  if (!m_dib || IsGhost() || bytes == 0) return false;
  m_alpha = static_cast<BYTE*>(std::malloc(bytes));
  if (!m_alpha) return false;
  std::memset(m_alpha, 255, bytes);
  return true;
}

void CDibImage::AlphaDelete() {
  if (IsGhost()) return;  // the plane belongs to the source
  std::free(m_alpha);
  m_alpha = nullptr;
}

void CDibImage::AlphaSet(BYTE level) {
  if (m_alpha) std::memset(m_alpha, level, PlaneSize(m_header));
}

void CDibImage::AlphaSet(int32_t x, int32_t y, BYTE level) {
  if (m_alpha && IsInside(x, y)) m_alpha[static_cast<size_t>(y) * m_header.biWidth + x] = level;
}

bool CDibImage::AlphaSet(const CDibImage& grey) {
  if (!grey.IsGrayScale() || !m_dib || grey.GetWidth() != GetWidth() ||
      grey.GetHeight() != GetHeight())
    return false;
  if (!AlphaCreate()) return false;
  const size_t width = GetWidth();
  for (DWORD y = 0; y < GetHeight(); ++y) std::memcpy(m_alpha + y * width, grey.GetBits(y), width);
  return true;
}

BYTE CDibImage::AlphaGet(int32_t x, int32_t y) const {
  if (!m_alpha || !IsInside(x, y)) return 0;
  return BlindAlphaGet(x, y);
}

BYTE CDibImage::BlindAlphaGet(int32_t x, int32_t y) const {
  return m_alpha[static_cast<size_t>(y) * m_header.biWidth + x];
}

BYTE* CDibImage::AlphaGetPointer(int32_t x, int32_t y) const {
  if (!m_alpha || !IsInside(x, y)) return nullptr;
  return m_alpha + static_cast<size_t>(y) * m_header.biWidth + x;
}

void CDibImage::AlphaInvert() {
  if (!m_alpha) return;
  const size_t bytes = PlaneSize(m_header);
  for (size_t i = 0; i < bytes; ++i) m_alpha[i] = static_cast<BYTE>(255 - m_alpha[i]);
}

bool CDibImage::AlphaCopy(const CDibImage& source) {
  if (!source.m_alpha || !m_dib || source.GetWidth() != GetWidth() ||
      source.GetHeight() != GetHeight())
    return false;
  if (&source == this) return true;
  if (!m_alpha) {
    if (IsGhost()) return false;
    m_alpha = static_cast<BYTE*>(std::malloc(PlaneSize(m_header)));
    if (!m_alpha) return false;
  }
  std::memcpy(m_alpha, source.m_alpha, PlaneSize(m_header));
  m_info.alphaMax = source.m_info.alphaMax;
  return true;
}

bool CDibImage::AlphaPaletteIsValid() const {
  const RGBQUAD* entries = PaletteEntries();
  if (!entries) return false;
  for (DWORD i = 0; i < m_header.biClrUsed; ++i)
    if (entries[i].rgbReserved) return true;
  return false;
}

bool CDibImage::AlphaFlip() {
  if (!m_alpha) return false;
  return FlipPlane(m_alpha, GetWidth(), GetHeight());
}

bool CDibImage::AlphaMirror() {
  if (!m_alpha || IsGhost()) return false;
  BYTE* mirrored = MirroredPlane(m_alpha, GetWidth(), GetHeight());
  if (!mirrored) return false;
  std::free(m_alpha);
  m_alpha = mirrored;
  return true;
}

bool CDibImage::AlphaStrip() {
  const bool alphaPalette = AlphaPaletteIsValid();
  if (!m_dib || (!m_alpha && !alphaPalette)) return true;  // nothing to strip
  if (IsGhost()) return false;

  const RGBQUAD background = m_info.transColor;
  const int32_t width = m_header.biWidth;
  const int32_t height = m_header.biHeight;
  auto blend = [&](int32_t x, int32_t y) {
    RGBQUAD colour = BlindGetPixelColor(x, y, false);
    DWORD a = m_alpha ? BlindAlphaGet(x, y) * static_cast<DWORD>(m_info.alphaMax) / 255
                      : m_info.alphaMax;
    if (alphaPalette) a = colour.rgbReserved * a / 255;
    auto mix = [a](BYTE back, BYTE front) {
      return static_cast<BYTE>((back * (256 - a) + front * a) >> 8);
    };
    colour.rgbBlue = mix(background.rgbBlue, colour.rgbBlue);
    colour.rgbGreen = mix(background.rgbGreen, colour.rgbGreen);
    colour.rgbRed = mix(background.rgbRed, colour.rgbRed);
    colour.rgbReserved = 0;
    return colour;
  };

  if (m_header.biBitCount == 24) {
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) BlindSetPixelColor(x, y, blend(x, y), false);
    AlphaDelete();
    return true;
  }

  CDibImage result;
  result.CopyInfo(*this);
  if (!result.Create(width, height, 24, m_info.formatId)) {
    SetLastErrorText(result.GetLastError());
    return false;
  }
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) result.BlindSetPixelColor(x, y, blend(x, y), false);
  return Transfer(result, false);
}

// ---- Selection plane ----

bool CDibImage::SelectionCreate() {
  if (!SelectionDelete()) return false;
  const size_t bytes = PlaneSize(m_header);
  if (!m_dib || bytes == 0) return false;
  m_selection = static_cast<BYTE*>(std::calloc(bytes, 1));
  return m_selection != nullptr;
}

bool CDibImage::SelectionDelete() {
  if (IsGhost()) return false;  // the plane belongs to the source
  std::free(m_selection);
  m_selection = nullptr;
  m_info.selectionBox.left = m_header.biWidth;
  m_info.selectionBox.top = 0;
  m_info.selectionBox.right = 0;
  m_info.selectionBox.bottom = m_header.biHeight;
  return true;
}

bool CDibImage::SelectionIsInside(int32_t x, int32_t y) const {
  if (!m_selection) return true;
  if (!IsInside(x, y)) return false;
  return BlindSelectionGet(x, y) != 0;
}

void CDibImage::SelectionSet(int32_t x, int32_t y, BYTE level) {
  if (m_selection && IsInside(x, y)) m_selection[static_cast<size_t>(y) * m_header.biWidth + x] = level;
}

BYTE CDibImage::BlindSelectionGet(int32_t x, int32_t y) const {
  return m_selection[static_cast<size_t>(y) * m_header.biWidth + x];
}

BYTE* CDibImage::SelectionGetPointer(int32_t x, int32_t y) const {
  if (!m_selection || !IsInside(x, y)) return nullptr;
  return m_selection + static_cast<size_t>(y) * m_header.biWidth + x;
}

bool CDibImage::SelectionCopy(const CDibImage& source) {
  if (!source.m_selection || !m_dib || source.GetWidth() != GetWidth() ||
      source.GetHeight() != GetHeight())
    return false;
  if (&source == this) return true;
  if (!m_selection) {
    if (IsGhost()) return false;
    m_selection = static_cast<BYTE*>(std::malloc(PlaneSize(m_header)));
    if (!m_selection) return false;
  }
  std::memcpy(m_selection, source.m_selection, PlaneSize(m_header));
  m_info.selectionBox = source.m_info.selectionBox;
  return true;
}

bool CDibImage::SelectionFlip() {
  if (!m_selection || !FlipPlane(m_selection, GetWidth(), GetHeight())) return false;
  RECT& box = m_info.selectionBox;
  const LONG top = box.top;
  box.top = m_header.biHeight - box.bottom;
  box.bottom = m_header.biHeight - top;
  return true;
}

bool CDibImage::SelectionMirror() {
  if (!m_selection || IsGhost()) return false;
  BYTE* mirrored = MirroredPlane(m_selection, GetWidth(), GetHeight());
  if (!mirrored) return false;
  std::free(m_selection);
  m_selection = mirrored;
  RECT& box = m_info.selectionBox;
  const LONG left = box.left;
  box.left = m_header.biWidth - box.right;
  box.right = m_header.biWidth - left;
  return true;
}
