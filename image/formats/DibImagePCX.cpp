#include "image/formats/DibImagePCX.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "image/streams/ByteStream.h"
#include "image/streams/BufferedReader.h"

namespace {

const size_t kHeaderSize = 128;
const BYTE kManufacturer = 10;
const BYTE kPaletteMarker = 12;
const int kMaxRun = 63;
const char kCorrupted[] = "corrupted PCX";
const char kPlanesMessage[] = "PCX_PlanesToPixels: more than 4 planes or more than 1 bit per pixel";
const char kWriteFailed[] = "cannot write PCX data";

WORD Le16(const BYTE* p) {
  return static_cast<WORD>(p[0] | (p[1] << 8));
}
void PutLe16(BYTE* p, DWORD v) {
  p[0] = static_cast<BYTE>(v);
  p[1] = static_cast<BYTE>(v >> 8);
}

int Brightness(const RGBQUAD& c) {
  return (306 * c.rgbRed + 601 * c.rgbGreen + 117 * c.rgbBlue) / 1024;
}

// Expands the run-length data one scan line at a time; a run may continue
// into the next line but never past the end of the picture.
class RunDecoder {
 public:
  RunDecoder(CBufferedReader& reader, uint64_t total) : m_reader(reader), m_left(total) {}
  // Returns null when the line is complete, else the failure message.
  const char* Line(BYTE* out, size_t length) {
    size_t filled = 0;
    while (filled < length) {
      if (m_run > 0) {
        const size_t n = m_run < length - filled ? m_run : length - filled;
        std::memset(out + filled, m_value, n);
        filled += n;
        m_run -= n;
        continue;
      }
      const int c = m_reader.Next();
      if (c < 0) return kCorrupted;
      if (c < 0xC0) {
        out[filled++] = static_cast<BYTE>(c);
        --m_left;
        continue;
      }
      const int value = m_reader.Next();
      if (value < 0) return kCorrupted;
      const size_t count = static_cast<size_t>(c & 0x3F);
      if (count > m_left) return "repeat count spans end of image";
      m_run = count;
      m_left -= count;
      m_value = static_cast<BYTE>(value);
    }
    return nullptr;
  }

 private:
  CBufferedReader& m_reader;
  uint64_t m_left;  // bytes of the picture not yet produced or promised
  size_t m_run = 0;
  BYTE m_value = 0;
};

// Run-length codes of `n` bytes: runs of equal bytes up to 63 long; a single
// byte below 0xC0 stands for itself, anything else is a count and a byte.
void PackRuns(const BYTE* data, size_t n, std::vector<BYTE>& out) {
  size_t i = 0;
  while (i < n) {
    size_t run = 1;
    while (i + run < n && run < kMaxRun && data[i + run] == data[i]) ++run;
    if (run > 1 || data[i] >= 0xC0) out.push_back(static_cast<BYTE>(0xC0 | run));
    out.push_back(data[i]);
    i += run;
  }
}

// Stores index `value` at column x of a 1-, 4- or 8-bit row.
void PutIndex(BYTE* row, int32_t x, WORD bpp, BYTE value) {
  if (bpp == 8) {
    row[x] = value;
  } else if (bpp == 4) {
    BYTE& b = row[x >> 1];
    b = (x & 1) ? static_cast<BYTE>((b & 0xF0) | (value & 0x0F)) : static_cast<BYTE>((b & 0x0F) | (value << 4));
  } else if (value & 1) {
    row[x >> 3] |= static_cast<BYTE>(0x80 >> (x & 7));
  } else {
    row[x >> 3] &= static_cast<BYTE>(~(0x80 >> (x & 7)));
  }
}

}  // namespace

bool CDibImagePCX::PCX_UnpackPixels(BYTE* pixels, const BYTE* bitplanes, int bytesPerLine, int planes,
                                    int bitsPerPixel) {
  if (planes != 1) {
    SetLastErrorText("PCX_UnpackPixels: Can't handle packed pixels with more than 1 plane");
    return false;
  }
  const int perByte = 8 / bitsPerPixel;
  const BYTE mask = static_cast<BYTE>((1 << bitsPerPixel) - 1);
  for (int i = 0; i < bytesPerLine; ++i) {
    const BYTE b = bitplanes[i];
    for (int k = 0; k < perByte; ++k)
      *pixels++ = static_cast<BYTE>((b >> (8 - bitsPerPixel * (k + 1))) & mask);
  }
  return true;
}

bool CDibImagePCX::PCX_PlanesToPixels(BYTE* pixels, const BYTE* bitplanes, int bytesPerLine, int planes,
                                      int bitsPerPixel) {
  if (planes > 4 || bitsPerPixel != 1) {
    SetLastErrorText(kPlanesMessage);
    return false;
  }
  std::memset(pixels, 0, static_cast<size_t>(bytesPerLine) * 8);
  for (int p = 0; p < planes; ++p) {
    const BYTE* plane = bitplanes + static_cast<size_t>(p) * bytesPerLine;
    for (int i = 0; i < bytesPerLine; ++i)
      for (int bit = 0; bit < 8; ++bit)
        if (plane[i] & (0x80 >> bit)) pixels[8 * static_cast<size_t>(i) + bit] |= static_cast<BYTE>(1 << p);
  }
  return true;
}

bool CDibImagePCX::Decode(CByteStream* stream) {
  if (!stream) return false;
  try {
    BYTE h[kHeaderSize];
    if (stream->Read(h, 1, sizeof h) != sizeof h) throw "Can't read PCX image";
    if (h[0] != kManufacturer) throw "Error: Not a PCX file";
    if (h[2] != 1) throw "PCX file has unknown encoding scheme";
    const int bits = h[3];
    const int32_t width = static_cast<int32_t>(Le16(h + 8)) - Le16(h + 4) + 1;
    const int32_t height = static_cast<int32_t>(Le16(h + 10)) - Le16(h + 6) + 1;
    const int planes = h[65];
    const int bytesPerLine = Le16(h + 66);
    if (width <= 0 || height <= 0) throw kCorrupted;

    if (m_info.escape == -1) {
      m_header.biWidth = width;
      m_header.biHeight = height;
      m_info.formatId = kFormatPcx;
      return true;
    }
    if (planes > 4) throw "Can't handle image with more than 4 planes";
    if (planes == 0 || (bits != 1 && bits != 2 && bits != 4 && bits != 8)) throw kCorrupted;
    const bool colourPlanes = bits == 8 && planes >= 3;
    const bool bitPlanes = bits == 1 && planes >= 2;
    if (planes > 1 && !colourPlanes && !bitPlanes) throw kPlanesMessage;
    // Each plane line must hold a whole row of pixels.
    if (static_cast<uint64_t>(bytesPerLine) * 8 < static_cast<uint64_t>(width) * bits) throw kCorrupted;

    const DWORD bpp = colourPlanes ? 24 : bitPlanes ? 4 : static_cast<DWORD>(bits);
    if (!Create(width, height, bpp, kFormatPcx)) throw "";
    if (planes == 4 && colourPlanes && !AlphaCreate()) throw "can't allocate memory";
    SetXDPI(Le16(h + 12));
    SetYDPI(Le16(h + 14));
    if (m_info.escape) throw "Cancelled";

    const size_t lineBytes = static_cast<size_t>(bytesPerLine) * planes;
    std::vector<BYTE> line, indices;
    try {
      line.resize(lineBytes);
      if (!colourPlanes) indices.resize(static_cast<size_t>(bytesPerLine) * 8);
    } catch (const std::bad_alloc&) {
      throw "can't allocate memory";
    }
    CBufferedReader reader(stream);
    RunDecoder runs(reader, static_cast<uint64_t>(lineBytes) * static_cast<uint64_t>(height));
    const WORD imageBpp = GetBpp();
    for (int32_t y = 0; y < height; ++y) {
      if (m_info.escape) throw "Cancelled";
      if (const char* failure = runs.Line(line.data(), lineBytes)) throw failure;
      const int32_t row = height - 1 - y;
      BYTE* out = GetBits(0) + static_cast<size_t>(row) * GetEffWidth();
      if (colourPlanes) {
        const BYTE* red = line.data();
        const BYTE* green = red + bytesPerLine;
        const BYTE* blue = green + bytesPerLine;
        for (int32_t x = 0; x < width; ++x) {
          out[3 * x] = blue[x];
          out[3 * x + 1] = green[x];
          out[3 * x + 2] = red[x];
        }
        if (planes == 4) std::memcpy(AlphaGetPointer(0, row), blue + bytesPerLine, static_cast<size_t>(width));
        continue;
      }
      const bool unpacked = planes == 1 ? PCX_UnpackPixels(indices.data(), line.data(), bytesPerLine, planes, bits)
                                        : PCX_PlanesToPixels(indices.data(), line.data(), bytesPerLine, planes, bits);
      if (!unpacked) throw "";
      for (int32_t x = 0; x < width; ++x) PutIndex(out, x, imageBpp, indices[static_cast<size_t>(x)]);
    }

    // Palette: the header's 16 colours, black and white for 1 bit, or the
    // 256 colours behind the data for 8 bits.
    if (IsIndexed()) {
      BYTE triples[256 * 3] = {};
      DWORD count = 16;
      std::memcpy(triples, h + 16, 48);
      if (bits == 8) {
        if (reader.Next() != kPaletteMarker) throw "bad color map signature";
        for (BYTE& b : triples) {
          const int c = reader.Next();
          if (c < 0) throw "bad color map signature";
          b = static_cast<BYTE>(c);
        }
        count = 256;
      } else if (bits == 1 && planes == 1) {
        std::memset(triples, 0, 3);
        std::memset(triples + 3, 255, 3);
        count = 2;
      }
      SetPalette(triples, count < GetNumColors() ? count : GetNumColors());
    }
    return true;
  } catch (const char* message) {
    if (*message) SetLastErrorText(message);
    return false;
  }
}

bool CDibImagePCX::Encode(CByteStream* stream) {
  if (EncodeSafeCheck(stream)) return false;
  const DWORD width = GetWidth();
  const DWORD height = GetHeight();
  const WORD bpp = GetBpp();
  const bool byteSamples = bpp == 8 || bpp == 24;
  const bool withAlpha = bpp == 24 && AlphaIsValid();
  const int planes = bpp == 8 ? 1 : bpp == 24 ? (withAlpha ? 4 : 3) : GetNumColors() == 16 ? 4 : 1;
  uint64_t bytesPerLine = byteSamples ? width : (static_cast<uint64_t>(width) + 7) / 8;
  bytesPerLine += bytesPerLine & 1;
  if (width > 0x10000 || height > 0x10000 || bytesPerLine > 0xFFFF) {
    SetLastErrorText("image too large for PCX");
    return false;
  }

  BYTE h[kHeaderSize] = {};
  h[0] = kManufacturer;
  h[1] = 5;
  h[2] = 1;
  h[3] = byteSamples ? 8 : 1;
  PutLe16(h + 8, width - 1);
  PutLe16(h + 10, height - 1);
  PutLe16(h + 12, static_cast<DWORD>(GetXDPI() > 0xFFFF ? 0xFFFF : GetXDPI()));
  PutLe16(h + 14, static_cast<DWORD>(GetYDPI() > 0xFFFF ? 0xFFFF : GetYDPI()));
  h[65] = static_cast<BYTE>(planes);
  PutLe16(h + 66, static_cast<DWORD>(bytesPerLine));
  PutLe16(h + 68, bpp == 24 ? 1 : 0);
  // A 1-bit file is black and white; a palette the other way round is
  // written with inverted indices.
  bool invert = false;
  if (!byteSamples && planes == 1) {
    std::memset(h + 19, 255, 3);
    invert = Brightness(GetPaletteColor(0)) > Brightness(GetPaletteColor(1));
  } else if (planes == 4 && !byteSamples) {
    for (DWORD i = 0; i < 16; ++i) {
      const RGBQUAD c = GetPaletteColor(i);
      h[16 + 3 * i] = c.rgbRed;
      h[17 + 3 * i] = c.rgbGreen;
      h[18 + 3 * i] = c.rgbBlue;
    }
  }
  if (stream->Write(h, 1, sizeof h) != sizeof h) {
    SetLastErrorText("cannot write PCX header");
    return false;
  }

  std::vector<BYTE> plane, packed;
  try {
    plane.resize(static_cast<size_t>(bytesPerLine));
    packed.reserve(static_cast<size_t>(bytesPerLine) * 2 * planes + 2);
  } catch (const std::bad_alloc&) {
    SetLastErrorText("can't allocate memory");
    return false;
  }
  for (int32_t y = static_cast<int32_t>(height) - 1; y >= 0; --y) {
    packed.clear();
    const BYTE* row = GetBits(0) + static_cast<size_t>(y) * GetEffWidth();
    if (byteSamples) {
      // Sample lines of odd width get one padding zero of their own.
      for (int p = 0; p < planes; ++p) {
        if (bpp == 8) std::memcpy(plane.data(), row, width);
        else if (p < 3)
          for (DWORD x = 0; x < width; ++x) plane[x] = row[3 * static_cast<size_t>(x) + 2 - p];
        else std::memcpy(plane.data(), AlphaGetPointer(0, y), width);
        PackRuns(plane.data(), width, packed);
        if (width & 1) packed.push_back(0);
      }
    } else {
      for (int p = 0; p < planes; ++p) {
        std::fill(plane.begin(), plane.end(), BYTE{0});
        for (DWORD x = 0; x < width; ++x) {
          BYTE index = BlindGetPixelIndex(static_cast<int32_t>(x), y);
          if (invert) index = static_cast<BYTE>(1 - index);
          if (index & (1 << p)) plane[x >> 3] |= static_cast<BYTE>(0x80 >> (x & 7));
        }
        PackRuns(plane.data(), plane.size(), packed);
      }
    }
    if (stream->Write(packed.data(), 1, packed.size()) != packed.size()) {
      SetLastErrorText(kWriteFailed);
      return false;
    }
  }
  if (bpp == 8) {
    BYTE tail[1 + 768] = {kPaletteMarker};
    for (DWORD i = 0; i < 256; ++i) {
      const RGBQUAD c = GetPaletteColor(i);
      tail[1 + 3 * i] = c.rgbRed;
      tail[2 + 3 * i] = c.rgbGreen;
      tail[3 + 3 * i] = c.rgbBlue;
    }
    if (stream->Write(tail, 1, sizeof tail) != sizeof tail) {
      SetLastErrorText(kWriteFailed);
      return false;
    }
  }
  return true;
}
