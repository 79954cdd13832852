#include "image/formats/DibImageTGA.h"

#include <cstring>
#include <new>
#include <vector>

#include "image/streams/ByteStream.h"
#include "image/streams/BufferedReader.h"

namespace {

const size_t kHeaderSize = 18;
const char kCorrupted[] = "corrupted TGA";
const char kBadHeader[] = "bad TGA header";
const char kWriteFailed[] = "Error writing TGA file";

struct TgaHeader {
  BYTE idLength;
  BYTE mapType;
  BYTE imageType;
  WORD mapFirst;
  WORD mapLength;
  BYTE mapEntryBits;
  WORD width;
  WORD height;
  BYTE depth;
  BYTE descriptor;
};

WORD Le16(const BYTE* p) {
  return static_cast<WORD>(p[0] | (p[1] << 8));
}

TgaHeader ParseHeader(const BYTE* raw) {
  TgaHeader h;
  h.idLength = raw[0];
  h.mapType = raw[1];
  h.imageType = raw[2];
  h.mapFirst = Le16(raw + 3);
  h.mapLength = Le16(raw + 5);
  h.mapEntryBits = raw[7];
  h.width = Le16(raw + 12);
  h.height = Le16(raw + 14);
  h.depth = raw[16];
  h.descriptor = raw[17];
  return h;
}

// Bytes of a pixel or colour-map entry of `bits` bits; 0 for sizes TGA does not use.
size_t BytesOf(int bits) {
  switch (bits) {
    case 8: return 1;
    case 15:
    case 16: return 2;
    case 24: return 3;
    case 32: return 4;
    default: return 0;
  }
}

// Blue, green, red (and alpha) of a stored colour of 2, 3 or 4 bytes. In
// 16-bit colours the top bit is not alpha for us: it is ignored.
RGBQUAD ColourOf(const BYTE* p, size_t bytes) {
  if (bytes == 2) {
    const WORD v = Le16(p);
    return RGBQUAD{static_cast<BYTE>((v & 0x1F) << 3), static_cast<BYTE>((v >> 2) & 0xF8),
                   static_cast<BYTE>((v >> 7) & 0xF8), 255};
  }
  return RGBQUAD{p[0], p[1], p[2], static_cast<BYTE>(bytes == 4 ? p[3] : 255)};
}

// The stored pixels in file order. Run-length packets carry on across the
// ends of lines.
class PixelSource {
 public:
  PixelSource(CBufferedReader& reader, size_t bytes, bool runLength)
      : m_reader(reader), m_bytes(bytes), m_runLength(runLength) {}
  bool Next(BYTE* out) {
    if (!m_runLength) return m_reader.Read(out, m_bytes);
    if (m_left == 0) {
      BYTE packet;
      if (!m_reader.Read(&packet, 1)) return false;
      m_repeat = (packet & 0x80) != 0;
      m_left = (packet & 0x7F) + 1;
      if (m_repeat && !m_reader.Read(m_pixel, m_bytes)) return false;
    }
    --m_left;
    if (!m_repeat) return m_reader.Read(out, m_bytes);
    std::memcpy(out, m_pixel, m_bytes);
    return true;
  }

 private:
  CBufferedReader& m_reader;
  size_t m_bytes;
  bool m_runLength;
  int m_left = 0;
  bool m_repeat = false;
  BYTE m_pixel[4] = {};
};

}  // namespace

bool CDibImageTGA::Decode(CByteStream* stream) {
  if (!stream) return false;
  try {
    BYTE raw[kHeaderSize];
    if (stream->Read(raw, 1, sizeof raw) != sizeof raw) throw "Not a TGA";
    const TgaHeader h = ParseHeader(raw);
    // 1 colour-mapped, 2 true colour, 3 grey; 8 more for run-length coding.
    if (h.imageType != 1 && h.imageType != 2 && h.imageType != 3 && h.imageType != 9 && h.imageType != 10 &&
        h.imageType != 11)
      throw "Unknown TGA image type";
    const int kind = h.imageType & 3;
    const bool runLength = h.imageType > 8;
    const bool hasMap = h.mapType != 0;
    if (h.width == 0 || h.height == 0 || h.depth == 0 || (hasMap && h.mapLength > 256)) throw kBadHeader;
    const size_t pixelBytes = BytesOf(h.depth);
    if (!pixelBytes) throw kBadHeader;
    // Indices and grey levels are bytes; true colour has 15 bits or more.
    if ((kind != 2) != (h.depth == 8)) throw kBadHeader;
    if (kind == 1 && !hasMap) throw kBadHeader;
    const size_t mapEntryBytes = hasMap ? BytesOf(h.mapEntryBits) : 0;
    if (hasMap && (mapEntryBytes < 2)) throw kBadHeader;

    if (m_info.escape == -1) {
      m_header.biWidth = h.width;
      m_header.biHeight = h.height;
      m_info.formatId = kFormatTga;
      return true;
    }

    CBufferedReader reader(stream);
    if (!reader.Skip(h.idLength)) throw kCorrupted;
    if (!Create(h.width, h.height, h.depth == 8 ? 8 : 24, kFormatTga)) throw "TGA Create failed";
    const bool withAlpha = h.depth == 32;
    if (withAlpha && !AlphaCreate()) throw "TGA Create failed";
    if (m_info.escape) throw "Cancelled";

    // Map entries are read at their own size, whatever the pixels are; a
    // true-colour image's map is only stepped over.
    if (hasMap) {
      for (DWORD i = 0; i < h.mapLength; ++i) {
        BYTE entry[4];
        if (!reader.Read(entry, mapEntryBytes)) throw kCorrupted;
        const DWORD index = h.mapFirst + i;
        if (kind == 1 && index < 256) {
          const RGBQUAD c = ColourOf(entry, mapEntryBytes);
          SetPaletteColor(index, c.rgbRed, c.rgbGreen, c.rgbBlue);
        }
      }
    }
    if (kind == 3) SetGrayPalette();

    const bool rightToLeft = (h.descriptor & 0x10) != 0;
    const bool topToBottom = (h.descriptor & 0x20) != 0;
    const int32_t width = h.width;
    const int32_t height = h.height;
    PixelSource pixels(reader, pixelBytes, runLength);
    for (int32_t line = 0; line < height; ++line) {
      if (m_info.escape) throw "Cancelled";
      const int32_t row = topToBottom ? height - 1 - line : line;
      BYTE* out = GetBits(0) + static_cast<size_t>(row) * GetEffWidth();
      BYTE* alpha = withAlpha ? AlphaGetPointer(0, row) : nullptr;
      for (int32_t i = 0; i < width; ++i) {
        BYTE p[4];
        if (!pixels.Next(p)) throw kCorrupted;
        const int32_t x = rightToLeft ? width - 1 - i : i;
        if (pixelBytes == 1) {
          out[x] = p[0];
          continue;
        }
        const RGBQUAD c = ColourOf(p, pixelBytes);
        BYTE* q = out + 3 * static_cast<size_t>(x);
        q[0] = c.rgbBlue;
        q[1] = c.rgbGreen;
        q[2] = c.rgbRed;
        if (alpha) alpha[x] = c.rgbReserved;
      }
    }
    return true;
  } catch (const char* message) {
    SetLastErrorText(message);
    return false;
  }
}

bool CDibImageTGA::Encode(CByteStream* stream) {
  if (EncodeSafeCheck(stream)) return false;
  const WORD bpp = GetBpp();
  if (bpp < 8) {
    SetLastErrorText("Bit depth must be 8 or 24");
    return false;
  }
  const DWORD width = GetWidth();
  const DWORD height = GetHeight();
  if (width > 0xFFFF || height > 0xFFFF) {
    SetLastErrorText("TGA images must be at most 65535 pixels wide and high");
    return false;
  }
  const bool indexed = bpp == 8;
  const bool withAlpha = !indexed && AlphaIsValid();
  const size_t pixelBytes = indexed ? 1 : withAlpha ? 4 : 3;

  BYTE header[kHeaderSize] = {};
  header[1] = indexed ? 1 : 0;
  header[2] = indexed ? 1 : 2;
  header[6] = indexed ? 1 : 0;  // 256 entries
  header[7] = indexed ? 24 : 0;
  header[12] = static_cast<BYTE>(width);
  header[13] = static_cast<BYTE>(width >> 8);
  header[14] = static_cast<BYTE>(height);
  header[15] = static_cast<BYTE>(height >> 8);
  header[16] = static_cast<BYTE>(pixelBytes * 8);
  header[17] = withAlpha ? 8 : 0;  // alpha bits; bottom to top, left to right

  const size_t lineBytes = static_cast<size_t>(width) * pixelBytes;
  std::vector<BYTE> line;
  try {
    line.resize(lineBytes);
  } catch (const std::bad_alloc&) {
    SetLastErrorText("can't allocate memory");
    return false;
  }
  if (stream->Write(header, 1, sizeof header) != sizeof header) {
    SetLastErrorText(kWriteFailed);
    return false;
  }
  if (indexed) {
    BYTE map[768];
    for (DWORD i = 0; i < 256; ++i) {
      const RGBQUAD c = GetPaletteColor(i);
      map[3 * i] = c.rgbBlue;
      map[3 * i + 1] = c.rgbGreen;
      map[3 * i + 2] = c.rgbRed;
    }
    if (stream->Write(map, 1, sizeof map) != sizeof map) {
      SetLastErrorText(kWriteFailed);
      return false;
    }
  }
  for (DWORD y = 0; y < height; ++y) {
    const BYTE* row = GetBits(0) + static_cast<size_t>(y) * GetEffWidth();
    if (withAlpha) {
      const BYTE* alpha = AlphaGetPointer(0, static_cast<int32_t>(y));
      for (DWORD x = 0; x < width; ++x) {
        std::memcpy(&line[4 * static_cast<size_t>(x)], row + 3 * static_cast<size_t>(x), 3);
        line[4 * static_cast<size_t>(x) + 3] = alpha[x];
      }
    } else {
      std::memcpy(line.data(), row, lineBytes);
    }
    if (stream->Write(line.data(), 1, lineBytes) != lineBytes) {
      SetLastErrorText(kWriteFailed);
      return false;
    }
  }
  return true;
}
