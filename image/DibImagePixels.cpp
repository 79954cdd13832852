// Palette, pixel and attribute access of CDibImage.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/DibImage.h"

namespace {

RGBQUAD MakeQuad(BYTE red, BYTE green, BYTE blue, BYTE reserved = 0) {
  RGBQUAD quad;
  quad.rgbBlue = blue;
  quad.rgbGreen = green;
  quad.rgbRed = red;
  quad.rgbReserved = reserved;
  return quad;
}

DWORD QuadBits(const RGBQUAD& quad) {
  return static_cast<DWORD>(quad.rgbBlue) | static_cast<DWORD>(quad.rgbGreen) << 8 |
         static_cast<DWORD>(quad.rgbRed) << 16 | static_cast<DWORD>(quad.rgbReserved) << 24;
}

// One channel of an entry of the 8-bit standard palette's hue groups.
BYTE HueChannel(BYTE base, int step, bool pureHue) {
  static const BYTE kTints[4][6] = {{212, 177, 142, 107, 72, 37},
                                    {227, 199, 171, 143, 115, 87},
                                    {240, 226, 212, 198, 184, 170},
                                    {255, 255, 255, 255, 255, 255}};
  static const BYTE kShades[4][6] = {{0, 0, 0, 0, 0, 0},
                                     {85, 73, 61, 49, 37, 25},
                                     {170, 146, 122, 98, 74, 50},
                                     {255, 220, 185, 150, 115, 80}};
  const int level = base / 85;  // 0, 85, 170, 255 -> 0..3
  if (step < 6) return kTints[level][step];
  if (step == 6 && level == 3 && pureHue) return 254;
  return kShades[level][step - 6];
}

void BuildStdPalette8(RGBQUAD* palette) {
  static const BYTE kFirst[10][3] = {{0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},
                                     {0, 0, 128},   {128, 0, 128},   {0, 128, 128},   {192, 192, 192},
                                     {192, 220, 192}, {166, 202, 240}};
  static const BYTE kHues[18][3] = {
      {255, 170, 0}, {255, 85, 0},  {255, 0, 0},   {255, 0, 85},  {255, 0, 170}, {255, 0, 255},
      {170, 0, 255}, {85, 0, 255},  {0, 0, 255},   {0, 85, 255},  {0, 170, 255}, {0, 255, 255},
      {0, 255, 170}, {0, 255, 85},  {0, 255, 0},   {85, 255, 0},  {170, 255, 0}, {255, 255, 0}};
  static const BYTE kLast[10][3] = {{255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},
                                    {0, 255, 0},     {255, 255, 0},   {0, 0, 255},     {255, 0, 255},
                                    {0, 255, 255},   {255, 255, 255}};
  int entry = 0;
  for (const auto& c : kFirst) palette[entry++] = MakeQuad(c[0], c[1], c[2]);
  for (const auto& hue : kHues) {
    bool pure = true;
    for (BYTE value : hue) pure = pure && (value == 0 || value == 255);
    for (int step = 0; step < 12; ++step)
      palette[entry++] = MakeQuad(HueChannel(hue[0], step, pure), HueChannel(hue[1], step, pure),
                                  HueChannel(hue[2], step, pure));
  }
  for (int grey = 242; grey >= 14; grey -= 12) {
    const BYTE g = static_cast<BYTE>(grey);
    palette[entry++] = MakeQuad(g, g, g);
  }
  for (const auto& c : kLast) palette[entry++] = MakeQuad(c[0], c[1], c[2]);
}

}  // namespace

// ---- Palette ----

RGBQUAD* CDibImage::GetPalette() {
  // The caller may write through the pointer.
  InvalidateNearest();
  return PaletteEntries();
}

const RGBQUAD* CDibImage::GetPalette() const {
  return PaletteEntries();
}

RGBQUAD CDibImage::GetPaletteColor(DWORD index) const {
  if (!IsPaletteIndex(index)) return RGBQUAD{};
  return PaletteEntries()[index];
}

bool CDibImage::GetPaletteColor(DWORD index, BYTE* red, BYTE* green, BYTE* blue) const {
  if (!IsPaletteIndex(index)) return false;
  const RGBQUAD& entry = PaletteEntries()[index];
  if (red) *red = entry.rgbRed;
  if (green) *green = entry.rgbGreen;
  if (blue) *blue = entry.rgbBlue;
  return true;
}

void CDibImage::SetPaletteColor(DWORD index, BYTE red, BYTE green, BYTE blue, BYTE alpha) {
  SetPaletteColor(index, MakeQuad(red, green, blue, alpha));
}

void CDibImage::SetPaletteColor(DWORD index, RGBQUAD colour) {
  if (!IsPaletteIndex(index)) return;
  PaletteEntries()[index] = colour;
  InvalidateNearest();
}

void CDibImage::SetPalette(const RGBQUAD* palette, DWORD count) {
  if (!palette || !PaletteEntries()) return;
  std::memcpy(PaletteEntries(), palette, std::min(count, m_header.biClrUsed) * sizeof(RGBQUAD));
  InvalidateNearest();
}

void CDibImage::SetPalette(const BYTE* triples, DWORD count) {
  RGBQUAD* entries = PaletteEntries();
  if (!triples || !entries) return;
  count = std::min(count, m_header.biClrUsed);
  for (DWORD i = 0; i < count; ++i) {
    entries[i].rgbRed = triples[3 * i];
    entries[i].rgbGreen = triples[3 * i + 1];
    entries[i].rgbBlue = triples[3 * i + 2];
  }
  InvalidateNearest();
}

void CDibImage::SetPalette(DWORD count, const BYTE* red, const BYTE* green, const BYTE* blue) {
  RGBQUAD* entries = PaletteEntries();
  if (!red || !entries) return;
  if (!green) green = red;
  if (!blue) blue = green;
  count = std::min(count, m_header.biClrUsed);
  for (DWORD i = 0; i < count; ++i) {
    entries[i].rgbRed = red[i];
    entries[i].rgbGreen = green[i];
    entries[i].rgbBlue = blue[i];
  }
  InvalidateNearest();
}

void CDibImage::SetGrayPalette() {
  RGBQUAD* entries = PaletteEntries();
  if (!entries) return;
  const DWORD count = m_header.biClrUsed;
  // A one-entry palette has no ramp to spread; it stays black.
  const DWORD step = count >= 2 ? 255 / (count - 1) : 0;
  for (DWORD i = 0; i < count; ++i) {
    const BYTE grey = static_cast<BYTE>(step * i);
    entries[i] = MakeQuad(grey, grey, grey);
  }
  InvalidateNearest();
}

bool CDibImage::IsGrayScale() const {
  const RGBQUAD* entries = PaletteEntries();
  if (!entries || m_header.biClrUsed != 256) return false;
  for (DWORD i = 0; i < 256; ++i)
    if (entries[i].rgbBlue != i || entries[i].rgbGreen != i || entries[i].rgbRed != i) return false;
  return true;
}

void CDibImage::SwapIndex(BYTE a, BYTE b) {
  RGBQUAD* entries = PaletteEntries();
  if (!entries || a >= m_header.biClrUsed || b >= m_header.biClrUsed || a == b) return;
  std::swap(entries[a], entries[b]);
  InvalidateNearest();
  const int32_t width = m_header.biWidth;
  const int32_t height = m_header.biHeight;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const BYTE index = BlindGetPixelIndex(x, y);
      if (index == a) BlindSetPixelIndex(x, y, b);
      else if (index == b) BlindSetPixelIndex(x, y, a);
    }
}

void CDibImage::SwapRGB2BGR() {
  if (!m_dib) return;
  if (RGBQUAD* entries = PaletteEntries()) {
    for (DWORD i = 0; i < m_header.biClrUsed; ++i) std::swap(entries[i].rgbRed, entries[i].rgbBlue);
    InvalidateNearest();
  }
  if (m_header.biBitCount != 24) return;
  const size_t rowBytes = static_cast<size_t>(m_header.biWidth) * 3;
  for (int32_t y = 0; y < m_header.biHeight; ++y) {
    BYTE* row = GetBits(static_cast<DWORD>(y));
    for (size_t i = 0; i < rowBytes; i += 3) std::swap(row[i], row[i + 2]);
  }
}

void CDibImage::RGBtoBGR(BYTE* buffer, int32_t length) const {
  if (!buffer || length <= 0 || !m_dib || m_header.biBitCount != 24) return;
  const uint64_t limit = std::min<uint64_t>({static_cast<uint64_t>(length), m_info.rowStride,
                                             static_cast<uint64_t>(m_header.biWidth) * 3});
  for (uint64_t i = 0; i + 2 < limit; i += 3) std::swap(buffer[i], buffer[i + 2]);
}

void CDibImage::SetClrImportant(DWORD count) {
  if (count == 0 || count > 256) {
    count = 0;
  } else {
    switch (m_header.biBitCount) {
      case 1: count = std::min<DWORD>(count, 2); break;
      case 4: count = std::min<DWORD>(count, 16); break;
      case 8: break;
      default: return;  // true colour keeps its value
    }
  }
  m_header.biClrImportant = count;
  if (m_dib) DibHeader()->biClrImportant = count;
  InvalidateNearest();
}

void CDibImage::SetStdPalette() {
  RGBQUAD* entries = PaletteEntries();
  if (!entries) return;
  RGBQUAD table[256];
  DWORD size = 0;
  switch (m_header.biBitCount) {
    case 1:
      table[0] = MakeQuad(0, 0, 0);
      table[1] = MakeQuad(255, 255, 255);
      size = 2;
      break;
    case 4: {
      static const BYTE kColours[16][3] = {
          {0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
          {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0},
          {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
      for (int i = 0; i < 16; ++i) table[i] = MakeQuad(kColours[i][0], kColours[i][1], kColours[i][2]);
      size = 16;
      break;
    }
    case 8:
      BuildStdPalette8(table);
      size = 256;
      break;
    default:
      return;
  }
  std::memcpy(entries, table, std::min(size, m_header.biClrUsed) * sizeof(RGBQUAD));
  InvalidateNearest();
}

BYTE CDibImage::GetNearestIndex(RGBQUAD colour) {
  const RGBQUAD* entries = PaletteEntries();
  if (!entries) return 0;
  // A ghost shares its palette with its source, which never tells it of changes.
  const bool useCache = !IsGhost();
  if (useCache && m_info.nearestValid && QuadBits(m_info.nearestColor) == QuadBits(colour))
    return m_info.nearestIndex;

  DWORD count = m_header.biClrUsed;
  if (m_header.biClrImportant) count = std::min(count, m_header.biClrImportant);
  count = std::min<DWORD>(count, 256);
  int best = 200000;
  BYTE answer = 0;
  for (DWORD i = 0; i < count; ++i) {
    const int db = entries[i].rgbBlue - colour.rgbBlue;
    const int dg = entries[i].rgbGreen - colour.rgbGreen;
    const int dr = entries[i].rgbRed - colour.rgbRed;
    const int distance = db * db + dg * dg + dr * dr;
    if (distance < best) {
      best = distance;
      answer = static_cast<BYTE>(i);
      if (distance == 0) break;
    }
  }
  if (useCache) {
    m_info.nearestColor = colour;
    m_info.nearestIndex = answer;
    m_info.nearestValid = true;
  }
  return answer;
}

int CDibImage::CompareColors(const RGBQUAD* a, const RGBQUAD* b) {
  auto luminance = [](const RGBQUAD* c) {
    return (601 * c->rgbGreen + 306 * c->rgbRed + 117 * c->rgbBlue) >> 10;
  };
  return luminance(a) - luminance(b);
}

RGBQUAD CDibImage::RGBtoRGBQUAD(COLORREF colour) {
  return MakeQuad(GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

// ---- Pixels ----

BYTE CDibImage::GetPixelIndex(int32_t x, int32_t y) const {
  if (!m_dib || !m_header.biClrUsed || m_header.biBitCount > 8) return 0;
  if (!IsInside(x, y)) {
    if (m_info.transIndex >= 0) return static_cast<BYTE>(m_info.transIndex);
    return BlindGetPixelIndex(0, 0);
  }
  return BlindGetPixelIndex(x, y);
}

BYTE CDibImage::BlindGetPixelIndex(int32_t x, int32_t y) const {
  const BYTE* row = m_info.pixels + static_cast<size_t>(y) * m_info.rowStride;
  switch (m_header.biBitCount) {
    case 8: return row[x];
    case 4: {
      const BYTE pair = row[x >> 1];
      return static_cast<BYTE>((x & 1) ? pair & 0x0F : pair >> 4);
    }
    case 1: return static_cast<BYTE>((row[x >> 3] >> (7 - (x & 7))) & 1);
    default: return 0;
  }
}

void CDibImage::SetPixelIndex(int32_t x, int32_t y, BYTE index) {
  if (!m_dib || !m_header.biClrUsed || m_header.biBitCount > 8 || !IsInside(x, y)) return;
  BlindSetPixelIndex(x, y, index);
}

void CDibImage::BlindSetPixelIndex(int32_t x, int32_t y, BYTE index) {
  BYTE* row = m_info.pixels + static_cast<size_t>(y) * m_info.rowStride;
  switch (m_header.biBitCount) {
    case 8:
      row[x] = index;
      break;
    case 4: {
      BYTE& pair = row[x >> 1];
      if (x & 1) pair = static_cast<BYTE>((pair & 0xF0) | (index & 0x0F));
      else pair = static_cast<BYTE>((pair & 0x0F) | ((index & 0x0F) << 4));
      break;
    }
    case 1: {
      const BYTE mask = static_cast<BYTE>(0x80 >> (x & 7));
      BYTE& byte = row[x >> 3];
      byte = static_cast<BYTE>((index & 1) ? byte | mask : byte & ~mask);
      break;
    }
    default:
      break;
  }
}

RGBQUAD CDibImage::GetPixelColor(int32_t x, int32_t y, bool withAlpha) const {
  if (!m_dib) return m_info.transColor;
  if (!IsInside(x, y)) {
    if (m_info.transIndex >= 0 && m_header.biClrUsed)
      return GetPaletteColor(static_cast<DWORD>(m_info.transIndex));
    if (m_info.transIndex < 0) return BlindGetPixelColor(0, 0, true);
    return m_info.transColor;
  }
  RGBQUAD colour;
  if (m_header.biBitCount < 24) {
    colour = GetPaletteColor(BlindGetPixelIndex(x, y));
  } else {
    const BYTE* pixel = BlindGetPixelPointer(x, y);
    colour = MakeQuad(pixel[2], pixel[1], pixel[0], m_info.transColor.rgbReserved);
  }
  if (withAlpha && m_alpha) colour.rgbReserved = BlindAlphaGet(x, y);
  return colour;
}

RGBQUAD CDibImage::BlindGetPixelColor(int32_t x, int32_t y, bool withAlpha) const {
  RGBQUAD colour;
  if (m_header.biBitCount < 24) {
    colour = GetPaletteColor(BlindGetPixelIndex(x, y));
  } else {
    const BYTE* pixel = BlindGetPixelPointer(x, y);
    colour = MakeQuad(pixel[2], pixel[1], pixel[0]);
  }
  if (withAlpha && m_alpha) colour.rgbReserved = BlindAlphaGet(x, y);
  return colour;
}

void CDibImage::SetPixelColor(int32_t x, int32_t y, RGBQUAD colour, bool setAlpha) {
  if (!m_dib || !IsInside(x, y)) return;
  BlindSetPixelColor(x, y, colour, setAlpha);
}

void CDibImage::SetPixelColor(int32_t x, int32_t y, COLORREF colour) {
  SetPixelColor(x, y, RGBtoRGBQUAD(colour), false);
}

void CDibImage::BlindSetPixelColor(int32_t x, int32_t y, RGBQUAD colour, bool setAlpha) {
  if (m_header.biBitCount < 24) {
    BlindSetPixelIndex(x, y, GetNearestIndex(colour));
  } else {
    BYTE* pixel = BlindGetPixelPointer(x, y);
    pixel[0] = colour.rgbBlue;
    pixel[1] = colour.rgbGreen;
    pixel[2] = colour.rgbRed;
  }
  if (setAlpha && m_alpha) m_alpha[static_cast<size_t>(y) * m_header.biWidth + x] = colour.rgbReserved;
}

BYTE* CDibImage::BlindGetPixelPointer(int32_t x, int32_t y) const {
  if (m_header.biBitCount != 24 || !m_info.pixels) return nullptr;
  return m_info.pixels + static_cast<size_t>(y) * m_info.rowStride + static_cast<size_t>(x) * 3;
}

// ---- Attributes ----

void CDibImage::SetTransIndex(int32_t index) {
  m_info.transIndex = static_cast<int64_t>(index) < static_cast<int64_t>(m_header.biClrUsed) ? index : 0;
}

RGBQUAD CDibImage::GetTransColor() const {
  if (m_header.biBitCount < 24 && m_info.transIndex >= 0)
    return GetPaletteColor(static_cast<DWORD>(m_info.transIndex));
  return m_info.transColor;
}

void CDibImage::SetTransColor(RGBQUAD colour) {
  colour.rgbReserved = 0;
  m_info.transColor = colour;
}

void CDibImage::SetOffset(int32_t x, int32_t y) {
  m_info.xOffset = x;
  m_info.yOffset = y;
}

BYTE CDibImage::GetJpegQuality() const {
  const float quality = m_info.jpegQuality + 0.5f;
  // The float may hold anything a caller stored; out of range converts to nonsense.
  if (!(quality >= 0.0f)) return 0;
  if (quality >= 255.0f) return 255;
  return static_cast<BYTE>(quality);
}

// ---- Byte order ----

WORD CDibImage::ntohs(WORD value) const {
  if (m_info.littleEndianHost) return value;
  return static_cast<WORD>((value >> 8) | (value << 8));
}

DWORD CDibImage::ntohl(DWORD value) const {
  if (m_info.littleEndianHost) return value;
  return (value >> 24) | ((value >> 8) & 0xFF00u) | ((value << 8) & 0xFF0000u) | (value << 24);
}

void CDibImage::bihtoh(BITMAPINFOHEADER* header) const {
  if (!header) return;
  header->biSize = ntohl(header->biSize);
  header->biWidth = static_cast<LONG>(ntohl(static_cast<DWORD>(header->biWidth)));
  header->biHeight = static_cast<LONG>(ntohl(static_cast<DWORD>(header->biHeight)));
  header->biPlanes = ntohs(header->biPlanes);
  header->biBitCount = ntohs(header->biBitCount);
  header->biCompression = ntohl(header->biCompression);
  header->biSizeImage = ntohl(header->biSizeImage);
  header->biXPelsPerMeter = static_cast<LONG>(ntohl(static_cast<DWORD>(header->biXPelsPerMeter)));
  header->biYPelsPerMeter = static_cast<LONG>(ntohl(static_cast<DWORD>(header->biYPelsPerMeter)));
  header->biClrUsed = ntohl(header->biClrUsed);
  header->biClrImportant = ntohl(header->biClrImportant);
}
