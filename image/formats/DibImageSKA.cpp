#include "image/formats/DibImageSKA.h"

#include <cstring>
#include <new>
#include <vector>

#include "image/streams/ByteStream.h"

namespace {

const size_t kHeaderSize = 9;
const BYTE kDepthCode = 3;
const DWORD kTag = 0x01000000;
const int32_t kMaxSide = 32767;
const size_t kPaletteBytes = 256 * 3;
const char kWriteFailed[] = "Error writing SKA file";

DWORD Le32(const BYTE* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24);
}

}  // namespace

bool CDibImageSKA::Decode(CByteStream* stream) {
  if (!stream) return false;
  BYTE header[kHeaderSize];
  if (stream->Read(header, 1, sizeof header) != sizeof header) return false;
  const int32_t width = header[0] | (header[1] << 8);
  const int32_t height = header[2] | (header[3] << 8);
  if (Le32(header + 5) != kTag || header[4] != kDepthCode) return false;
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return false;

  if (m_info.escape == -1) {
    m_header.biWidth = width;
    m_header.biHeight = height;
    m_info.formatId = kFormatSka;
    return true;
  }
  if (!Create(width, height, 8, kFormatSka)) return false;

  // Whatever a short file lacks stays as Create left it: zero.
  BYTE palette[kPaletteBytes] = {};
  stream->Read(palette, 1, sizeof palette);
  SetPalette(palette, 256);
  for (int32_t y = height - 1; y >= 0; --y) {
    if (stream->Read(GetBits(0) + static_cast<size_t>(y) * GetEffWidth(), 1, static_cast<size_t>(width)) !=
        static_cast<size_t>(width))
      break;
  }
  return true;
}

bool CDibImageSKA::Encode(CByteStream* stream) {
  if (EncodeSafeCheck(stream)) return false;
  if (GetBpp() > 8) {
    SetLastErrorText("SKA Images must be 8 bit or less");
    return false;
  }
  const DWORD width = GetWidth();
  const DWORD height = GetHeight();
  if (width > static_cast<DWORD>(kMaxSide) || height > static_cast<DWORD>(kMaxSide)) {
    SetLastErrorText("SKA Images must be at most 32767 pixels wide and high");
    return false;
  }

  BYTE header[kHeaderSize] = {static_cast<BYTE>(width), static_cast<BYTE>(width >> 8), static_cast<BYTE>(height),
                              static_cast<BYTE>(height >> 8), kDepthCode, 0, 0, 0, 1};
  BYTE palette[kPaletteBytes] = {};
  for (DWORD i = 0; i < GetNumColors() && i < 256; ++i) {
    const RGBQUAD c = GetPaletteColor(i);
    palette[3 * i] = c.rgbRed;
    palette[3 * i + 1] = c.rgbGreen;
    palette[3 * i + 2] = c.rgbBlue;
  }
  std::vector<BYTE> row;
  try {
    row.resize(width);
  } catch (const std::bad_alloc&) {
    SetLastErrorText("can't allocate memory");
    return false;
  }
  if (stream->Write(header, 1, sizeof header) != sizeof header ||
      stream->Write(palette, 1, sizeof palette) != sizeof palette) {
    SetLastErrorText(kWriteFailed);
    return false;
  }
  // Rows from the top; indices below 8 bits are spread to one byte each here,
  // as this object is a view of the caller's image and must not change it.
  const bool eightBit = GetBpp() == 8;
  for (int32_t y = static_cast<int32_t>(height) - 1; y >= 0; --y) {
    if (eightBit) {
      std::memcpy(row.data(), GetBits(0) + static_cast<size_t>(y) * GetEffWidth(), width);
    } else {
      for (DWORD x = 0; x < width; ++x) row[x] = BlindGetPixelIndex(static_cast<int32_t>(x), y);
    }
    if (stream->Write(row.data(), 1, width) != width) {
      SetLastErrorText(kWriteFailed);
      return false;
    }
  }
  return true;
}
