#include "image/formats/DibImageBMP.h"

#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include "image/streams/ByteStream.h"
#include "image/streams/BufferedReader.h"

namespace {

const WORD kSignature = 0x4D42;  // "BM"
const DWORD kCoreHeaderSize = 12;
const DWORD kInfoHeaderSize = 40;
const DWORD kOs2HeaderSize = 64;
// The largest header in use is 124 bytes; anything far beyond is not a bitmap.
const DWORD kMaxHeaderSize = 4096;
const char kReadInfoFailed[] = "Error reading BMP info";
const char kWriteFailed[] = "Error writing BMP file";

DWORD Le32(const BYTE* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24);
}
WORD Le16(const BYTE* p) {
  return static_cast<WORD>(p[0] | (p[1] << 8));
}

// One channel of a bit-field pixel: the bits under `mask`, scaled to 0-255
// so that a full field is 255 whatever its width (31 of 5 bits gives 255).
class Channel {
 public:
  explicit Channel(DWORD mask) : m_mask(mask) {
    if (!mask) return;
    while (!((mask >> m_shift) & 1)) ++m_shift;
    m_max = mask >> m_shift;
  }
  bool Present() const { return m_max != 0; }
  BYTE operator()(DWORD pixel) const {
    if (!m_max) return 0;
    return static_cast<BYTE>(static_cast<uint64_t>((pixel & m_mask) >> m_shift) * 255 / m_max);
  }

 private:
  DWORD m_mask;
  int m_shift = 0;
  DWORD m_max = 0;
};

// Writes decoded RLE pixels; everything outside the image is dropped.
class RleCanvas {
 public:
  RleCanvas(CDibImage& image, bool topDown)
      : m_image(image), m_width(image.GetWidth()), m_height(image.GetHeight()), m_topDown(topDown) {}
  bool RowInside(int64_t row) const { return row >= 0 && row < m_height; }
  void Put8(int64_t x, int64_t row, BYTE value) {
    if (x < 0 || x >= m_width || !RowInside(row)) return;
    Row(row)[x] = value;
  }
  void Put4(int64_t x, int64_t row, BYTE nibble) {
    if (x < 0 || x >= m_width || !RowInside(row)) return;
    BYTE& byte = Row(row)[x / 2];
    byte = (x & 1) ? static_cast<BYTE>((byte & 0xF0) | (nibble & 0x0F))
                   : static_cast<BYTE>((byte & 0x0F) | (nibble << 4));
  }

 private:
  BYTE* Row(int64_t row) const {
    const int64_t stored = m_topDown ? m_height - 1 - row : row;
    return m_image.GetBits(0) + static_cast<size_t>(stored) * m_image.GetEffWidth();
  }
  CDibImage& m_image;
  int64_t m_width;
  int64_t m_height;
  bool m_topDown;
};

// RLE8 and RLE4 share their codes; a cursor (column in pixels, row from the
// bottom) that leaves the image only drops pixels, and the end of the stream
// ends the picture.
void DecodeRle(CByteStream* stream, CDibImage& image, bool topDown, bool fourBit) {
  CBufferedReader in(stream);
  RleCanvas canvas(image, topDown);
  auto put = [&](int64_t x, int64_t row, BYTE value) {
    if (fourBit) canvas.Put4(x, row, value);
    else canvas.Put8(x, row, value);
  };
  int64_t x = 0;
  int64_t row = 0;
  while (canvas.RowInside(row)) {
    const int count = in.Next();
    const int code = in.Next();
    if (count < 0 || code < 0) return;
    if (count > 0) {
      for (int i = 0; i < count; ++i) {
        const BYTE value = fourBit ? static_cast<BYTE>((i & 1) ? code & 0x0F : code >> 4)
                                   : static_cast<BYTE>(code);
        put(x + i, row, value);
      }
      x += count;
    } else if (code == 0) {
      x = 0;
      ++row;
    } else if (code == 1) {
      return;
    } else if (code == 2) {
      const int dx = in.Next();
      const int dy = in.Next();
      if (dx < 0 || dy < 0) return;
      x += dx;
      row += dy;
    } else {
      const int bytes = fourBit ? (code + 1) / 2 : code;
      for (int i = 0; i < bytes; ++i) {
        const int value = in.Next();
        if (value < 0) return;
        if (fourBit) {
          put(x + 2 * i, row, static_cast<BYTE>(value >> 4));
          if (2 * i + 1 < code) put(x + 2 * i + 1, row, static_cast<BYTE>(value & 0x0F));
        } else {
          put(x + i, row, static_cast<BYTE>(value));
        }
      }
      // Literal runs are padded to whole 16-bit words.
      if ((bytes & 1) && in.Next() < 0) return;
      x += code;
    }
  }
}

}  // namespace

// ---- Decoding ----

bool CDibImageBMP::DibReadBitmapInfo(CByteStream* stream, BITMAPINFOHEADER* header, DWORD* masks) {
  if (!stream || !header) return false;
  DWORD fileMasks[4] = {0, 0, 0, 0};
  BYTE raw[kInfoHeaderSize] = {};
  const size_t got = stream->Read(raw, 1, sizeof raw);
  if (got < kCoreHeaderSize) return false;
  const DWORD size = Le32(raw);

  BITMAPINFOHEADER h{};
  if (size == kCoreHeaderSize) {
    h.biSize = kCoreHeaderSize;
    h.biWidth = Le16(raw + 4);
    h.biHeight = Le16(raw + 6);
    h.biPlanes = Le16(raw + 8);
    h.biBitCount = Le16(raw + 10);
    h.biCompression = BI_RGB;
    if (got > kCoreHeaderSize && !stream->Seek(-static_cast<int32_t>(got - kCoreHeaderSize), CByteStream::kFromCurrent))
      return false;
  } else {
    if (got < kInfoHeaderSize || size < kInfoHeaderSize || size > kMaxHeaderSize) return false;
    std::memcpy(&h, raw, sizeof h);
    bihtoh(&h);
    if (size == kOs2HeaderSize && h.biCompression > BI_RLE4) return false;  // Huffman, RLE24

    const bool bitFields = h.biCompression == BI_BITFIELDS;
    if (size == kInfoHeaderSize) {
      // A 40-byte header is followed by three masks.
      if (bitFields) {
        BYTE extra[12];
        if (stream->Read(extra, 1, sizeof extra) != sizeof extra) return false;
        for (int i = 0; i < 3; ++i) fileMasks[i] = Le32(extra + 4 * i);
      }
    } else {
      // Longer headers carry the masks (and an alpha mask from 56 bytes on)
      // inside the header, whatever the compression; only bit fields use them.
      BYTE extra[16] = {};
      const DWORD inHeader = size - kInfoHeaderSize;
      const DWORD toRead = inHeader < sizeof extra ? inHeader : sizeof extra;
      if (stream->Read(extra, 1, toRead) != toRead) return false;
      if (bitFields && size != kOs2HeaderSize) {
        const int count = toRead >= 16 ? 4 : static_cast<int>(toRead / 4);
        for (int i = 0; i < count; ++i) fileMasks[i] = Le32(extra + 4 * i);
      }
      if (inHeader > toRead &&
          !stream->Seek(static_cast<int32_t>(inHeader - toRead), CByteStream::kFromCurrent))
        return false;
    }
  }

  if (h.biSizeImage == 0) {
    const int64_t width = h.biWidth < 0 ? -static_cast<int64_t>(h.biWidth) : h.biWidth;
    const int64_t height = h.biHeight < 0 ? -static_cast<int64_t>(h.biHeight) : h.biHeight;
    const uint64_t bytes = (((static_cast<uint64_t>(h.biBitCount) * width + 31) >> 3) & ~uint64_t{3}) * height;
    h.biSizeImage = bytes > UINT32_MAX ? UINT32_MAX : static_cast<DWORD>(bytes);
  }
  if (h.biClrUsed == 0 && h.biBitCount <= 8) h.biClrUsed = DWORD{1} << h.biBitCount;

  *header = h;
  if (masks) std::memcpy(masks, fileMasks, sizeof fileMasks);
  return true;
}

bool CDibImageBMP::Decode(CByteStream* stream) {
  if (!stream) return false;
  try {
    const int32_t start = stream->Tell();
    if (start < 0) throw "Not a BMP";

    BYTE fileHeader[14];
    if (stream->Read(fileHeader, 1, sizeof fileHeader) != sizeof fileHeader) throw "Not a BMP";
    DWORD dataOffset = Le32(fileHeader + 10);
    if (ntohs(Le16(fileHeader)) != kSignature) {
      // A bare DIB: the information header comes first, the rows follow the palette.
      dataOffset = 0;
      if (!stream->Seek(start, CByteStream::kFromStart)) throw "Not a BMP";
    }

    BITMAPINFOHEADER info;
    DWORD masks[4];
    if (!DibReadBitmapInfo(stream, &info, masks)) throw kReadInfoFailed;
    const bool core = info.biSize == kCoreHeaderSize;
    const WORD bits = info.biBitCount;
    if (info.biWidth < 0 || info.biHeight == INT32_MIN) throw kReadInfoFailed;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
      throw kReadInfoFailed;
    const bool topDown = info.biHeight < 0;
    const int32_t width = info.biWidth;
    const int32_t height = topDown ? -info.biHeight : info.biHeight;

    if (m_info.escape == -1) {
      m_header.biWidth = width;
      m_header.biHeight = height;
      m_info.formatId = kFormatBmp;
      SetLastErrorText("output dimensions returned");
      return true;
    }

    if (!Create(width, height, bits, kFormatBmp)) throw "";
    auto dpi = [](LONG ppm) {
      const int64_t value = (static_cast<int64_t>(ppm) * 254 + 5000) / 10000;
      return static_cast<int32_t>(value > INT32_MAX ? INT32_MAX : value);
    };
    SetXDPI(dpi(info.biXPelsPerMeter));
    SetYDPI(dpi(info.biYPelsPerMeter));
    if (m_info.escape) throw "Cancelled";

    // Palette, or the optional palette of a true-colour bitmap that a bare
    // DIB must step over to reach its rows.
    const DWORD entrySize = core ? 3 : 4;
    DWORD entriesRead = 0;
    if (IsIndexed()) {
      entriesRead = info.biClrUsed < GetNumColors() ? info.biClrUsed : GetNumColors();
      RGBQUAD* palette = GetPalette();
      BYTE* raw = reinterpret_cast<BYTE*>(palette);
      const size_t got = stream->Read(raw, 1, entriesRead * entrySize);
      if (core) {
        // Widen 3-byte entries in place, from the last one backwards.
        for (DWORD i = entriesRead; i-- > 0;) {
          const BYTE blue = raw[3 * i], green = raw[3 * i + 1], red = raw[3 * i + 2];
          palette[i] = RGBQUAD{blue, green, red, 0};
        }
      }
      // Entries a short file did not have stay as Create left them: black.
      if (!core && got < entriesRead * entrySize) std::memset(raw + got, 0, entriesRead * entrySize - got);
      for (DWORD i = 0; i < entriesRead; ++i) palette[i].rgbReserved = 0;
    }
    if (dataOffset == 0 && info.biClrUsed > entriesRead) {
      const uint64_t skip = static_cast<uint64_t>(info.biClrUsed - entriesRead) * entrySize;
      if (skip > INT32_MAX || !stream->Seek(static_cast<int32_t>(skip), CByteStream::kFromCurrent))
        throw kReadInfoFailed;
    }
    if (m_info.escape) throw "Cancelled";

    if (dataOffset != 0) {
      const int64_t position = static_cast<int64_t>(start) + dataOffset;
      if (position > INT32_MAX || !stream->Seek(static_cast<int32_t>(position), CByteStream::kFromStart))
        throw kReadInfoFailed;
    }

    const DWORD compression = info.biCompression;
    if (bits <= 8 && compression == BI_RLE8) {
      if (bits != 8) throw "compression type not supported";
      DecodeRle(stream, *this, topDown, false);
      return true;
    }
    if (bits <= 8 && compression == BI_RLE4) {
      if (bits != 4) throw "compression type not supported";
      DecodeRle(stream, *this, topDown, true);
      return true;
    }
    if (bits <= 8 && compression != BI_RGB) throw "compression type not supported";
    if (bits == 24 && compression != BI_RGB) throw "unknown compression";
    if ((bits == 16 || bits == 32) && compression != BI_RGB && compression != BI_BITFIELDS)
      throw "unknown compression";

    // Rows are read one at a time into their place, so nothing beyond the
    // allocated block is ever written and a short file leaves blank rows.
    const size_t fileStride = static_cast<size_t>(((static_cast<uint64_t>(width) * bits + 31) / 32) * 4);
    auto storedRow = [&](int32_t fileRow) { return topDown ? height - 1 - fileRow : fileRow; };
    if (bits <= 8 || bits == 24) {
      for (int32_t row = 0; row < height; ++row) {
        if (stream->Read(GetBits(0) + static_cast<size_t>(storedRow(row)) * GetEffWidth(), 1, fileStride) !=
            fileStride)
          break;
      }
      return true;
    }

    // 16 and 32 bits: bit fields, 5-5-5 and 8-8-8 with alpha by default.
    const bool withMasks = compression == BI_BITFIELDS;
    if (bits == 16 && !withMasks) {
      masks[0] = 0x7C00;
      masks[1] = 0x03E0;
      masks[2] = 0x001F;
      masks[3] = 0;
    } else if (bits == 32 && !withMasks) {
      masks[0] = 0x00FF0000;
      masks[1] = 0x0000FF00;
      masks[2] = 0x000000FF;
      masks[3] = 0xFF000000;
    }
    const Channel red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);
    if (alpha.Present() && !AlphaCreate()) throw "can't allocate memory";

    std::vector<BYTE> fileRow;
    try {
      fileRow.resize(fileStride);
    } catch (const std::bad_alloc&) {
      throw "can't allocate memory";
    }
    bool anyAlpha = false;
    for (int32_t row = 0; row < height; ++row) {
      if (stream->Read(fileRow.data(), 1, fileStride) != fileStride) break;
      const int32_t y = storedRow(row);
      BYTE* out = GetBits(0) + static_cast<size_t>(y) * GetEffWidth();
      BYTE* alphaOut = alpha.Present() ? AlphaGetPointer(0, y) : nullptr;
      for (int32_t x = 0; x < width; ++x) {
        const DWORD pixel = bits == 16 ? Le16(&fileRow[2 * static_cast<size_t>(x)])
                                       : Le32(&fileRow[4 * static_cast<size_t>(x)]);
        out[3 * x] = blue(pixel);
        out[3 * x + 1] = green(pixel);
        out[3 * x + 2] = red(pixel);
        if (alphaOut) {
          alphaOut[x] = alpha(pixel);
          anyAlpha = anyAlpha || alphaOut[x] != 0;
        }
      }
    }
    // Plain 32-bit files mostly leave the fourth byte at 0: that means opaque.
    if (alpha.Present() && !withMasks && !anyAlpha) AlphaSet(255);
    return true;
  } catch (const char* message) {
    if (*message) SetLastErrorText(message);
    return false;
  }
}

// ---- Encoding ----

bool CDibImageBMP::Encode(CByteStream* stream) {
  if (EncodeSafeCheck(stream)) return false;
  if (!IsIndexed() && AlphaIsValid()) return EncodeWithAlpha(stream);

  const DWORD blockSize = GetSize();
  BITMAPFILEHEADER file{};
  file.bfType = kSignature;
  file.bfSize = blockSize + static_cast<DWORD>(sizeof file);
  file.bfOffBits = static_cast<DWORD>(sizeof file) + m_header.biSize + PaletteBytes();
  // The header copy is the authority; GDI may have rewritten the block's own.
  if (stream->Write(&file, sizeof file, 1) != 1 || stream->Write(&m_header, sizeof m_header, 1) != 1 ||
      stream->Write(m_dib + sizeof m_header, 1, blockSize - sizeof m_header) != blockSize - sizeof m_header) {
    SetLastErrorText(kWriteFailed);
    return false;
  }
  return true;
}

// A true-colour image with an alpha plane is written as 32 bits per pixel,
// the fourth byte of each pixel being its alpha.
bool CDibImageBMP::EncodeWithAlpha(CByteStream* stream) {
  const DWORD width = GetWidth();
  const DWORD height = GetHeight();
  const size_t rowBytes = static_cast<size_t>(width) * 4;

  BITMAPINFOHEADER info = m_header;
  info.biBitCount = 32;
  info.biCompression = BI_RGB;
  info.biSizeImage = static_cast<DWORD>(rowBytes * height);
  info.biClrUsed = 0;
  info.biClrImportant = 0;
  BITMAPFILEHEADER file{};
  file.bfType = kSignature;
  file.bfOffBits = static_cast<DWORD>(sizeof file + sizeof info);
  file.bfSize = file.bfOffBits + info.biSizeImage;

  std::vector<BYTE> row;
  try {
    row.resize(rowBytes);
  } catch (const std::bad_alloc&) {
    SetLastErrorText("can't allocate memory");
    return false;
  }
  if (stream->Write(&file, sizeof file, 1) != 1 || stream->Write(&info, sizeof info, 1) != 1) {
    SetLastErrorText(kWriteFailed);
    return false;
  }
  for (DWORD y = 0; y < height; ++y) {
    const BYTE* pixels = GetBits(0) + static_cast<size_t>(y) * GetEffWidth();
    const BYTE* alpha = AlphaGetPointer(0, static_cast<int32_t>(y));
    for (DWORD x = 0; x < width; ++x) {
      std::memcpy(&row[4 * static_cast<size_t>(x)], pixels + 3 * static_cast<size_t>(x), 3);
      row[4 * static_cast<size_t>(x) + 3] = alpha[x];
    }
    if (stream->Write(row.data(), 1, rowBytes) != rowBytes) {
      SetLastErrorText(kWriteFailed);
      return false;
    }
  }
  return true;
}
