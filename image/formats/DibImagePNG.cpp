#include "image/formats/DibImagePNG.h"

#include <png.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "image/streams/ByteStream.h"

namespace {

const char kCreateFailed[] = "Failed to create PNG structure";
const char kInfoFailed[] = "Failed to initialize PNG info structure";
const char kSaveFailed[] = "Error saving PNG file";
const char kCancelled[] = "Cancelled";
const char kNoMemory[] = "CDibImagePNG can't allocate memory";

// ---- libpng callbacks ----
// libpng leaves them only through png_error, a jump back to the recovery
// point, so they hold nothing that would need unwinding.

void PngReadCallback(png_structp png, png_bytep data, png_size_t length) {
  CByteStream* stream = static_cast<CByteStream*>(png_get_io_ptr(png));
  if (!stream || stream->Read(data, 1, length) != length) png_error(png, "Read Error");
}

void PngWriteCallback(png_structp png, png_bytep data, png_size_t length) {
  CByteStream* stream = static_cast<CByteStream*>(png_get_io_ptr(png));
  if (!stream || stream->Write(data, 1, length) != length) png_error(png, "Write Error");
}

void PngFlushCallback(png_structp png) {
  CByteStream* stream = static_cast<CByteStream*>(png_get_io_ptr(png));
  if (!stream || !stream->Flush()) png_error(png, "Flush Error");
}

// The error pointer is a text buffer of DIBIMAGE_ERROR_SIZE characters.
void PngErrorCallback(png_structp png, png_const_charp message) {
  if (char* text = static_cast<char*>(png_get_error_ptr(png))) {
    std::strncpy(text, message ? message : "", DIBIMAGE_ERROR_SIZE - 1);
    text[DIBIMAGE_ERROR_SIZE - 1] = '\0';
  }
  png_longjmp(png, 1);
}

// A GUI program has nowhere to print libpng's warnings.
void PngWarningCallback(png_structp, png_const_charp) {}

int32_t ClampDpi(double dpi) {
  if (!(dpi >= 0.0)) return 0;
  return dpi >= static_cast<double>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(dpi);
}

BYTE Nibble(const BYTE* row, DWORD x) {
  return static_cast<BYTE>((x & 1) ? row[x / 2] & 0x0F : row[x / 2] >> 4);
}

}  // namespace

struct CDibImagePNG::ReadState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  BYTE* row = nullptr;  // malloc'd
  CByteStream* stream = nullptr;
};

struct CDibImagePNG::WriteState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  BYTE* row = nullptr;  // malloc'd
  CByteStream* stream = nullptr;
  char message[DIBIMAGE_ERROR_SIZE] = {};
  png_color palette[256] = {};
  png_byte alphas[256] = {};
  BYTE indexMap[256] = {};  // index written for each index of the image
};

void CDibImagePNG::ExpandTwoBitRow(BYTE* row, DWORD width) {
  // From the last pixel back, so every source byte is read before the wider
  // samples overwrite it.
  for (DWORD x = width; x-- > 0;) {
    const BYTE value = static_cast<BYTE>((row[x / 4] >> (2 * (3 - x % 4))) & 3);
    const int shift = 4 * (1 - static_cast<int>(x % 2));
    row[x / 2] = static_cast<BYTE>((row[x / 2] & ~(0x0F << shift)) | (value << shift));
  }
}

// ---- Decoding ----

bool CDibImagePNG::Decode(CByteStream* stream) {
  if (!stream) {
    SetLastErrorText("null file handler");
    return false;
  }
  ReadState state;
  state.stream = stream;
  state.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, m_info.lastError, PngErrorCallback,
                                     PngWarningCallback);
  if (!state.png) {
    SetLastErrorText(kCreateFailed);
    return false;
  }
  state.info = png_create_info_struct(state.png);
  if (!state.info) {
    png_destroy_read_struct(&state.png, nullptr, nullptr);
    SetLastErrorText(kInfoFailed);
    return false;
  }
  const bool decoded = ReadPng(state);
  png_destroy_read_struct(&state.png, &state.info, nullptr);
  std::free(state.row);
  return decoded;
}

bool CDibImagePNG::ReadPng(ReadState& s) {
  // libpng's errors land here with their message already in the last-error
  // text. Nothing below keeps state in locals past a jump.
  if (setjmp(png_jmpbuf(s.png))) return false;

  png_set_read_fn(s.png, s.stream, PngReadCallback);
  // Text, colour profiles and the rest are of no use here; skipping them
  // saves decompressing chunks that may be large.
  static const png_byte kUnused[] = "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0sCAL\0sBIT\0sPLT\0"
                                    "sRGB\0sTER\0tEXt\0tIME\0zTXt";
  png_set_keep_unknown_chunks(s.png, PNG_HANDLE_CHUNK_NEVER, kUnused, static_cast<int>(sizeof kUnused / 5));
  png_read_info(s.png, s.info);

  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colourType = 0, interlace = 0;
  png_get_IHDR(s.png, s.info, &width, &height, &bitDepth, &colourType, &interlace, nullptr, nullptr);

  if (m_info.escape == -1) {
    m_header.biWidth = static_cast<LONG>(width);
    m_header.biHeight = static_cast<LONG>(height);
    m_info.formatId = kFormatPng;
    return true;
  }

  // Transparency comes from this file only, never from the image before.
  m_info.transIndex = -1;
  m_info.alphaPalette = false;
  const bool hasTrns = png_get_valid(s.png, s.info, PNG_INFO_tRNS) != 0;
  bool trnsAsAlpha = false;
  if (bitDepth == 16) {
    // A key colour cut to 8 bits would also hide every pixel that only shares
    // its high bytes; libpng compares the full samples instead.
    if (hasTrns && (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_RGB)) {
      png_set_tRNS_to_alpha(s.png);
      trnsAsAlpha = true;
    }
    png_set_strip_16(s.png);
  }
  if (colourType == PNG_COLOR_TYPE_RGB || colourType == PNG_COLOR_TYPE_RGB_ALPHA) png_set_bgr(s.png);
  const int passes = png_set_interlace_handling(s.png);
  png_read_update_info(s.png, s.info);
  const int channels = png_get_channels(s.png, s.info);
  const size_t rowBytes = png_get_rowbytes(s.png, s.info);
  if (channels < 1 || channels > 4) {
    SetLastErrorText("unknown PNG color type");
    return false;
  }

  const int depth = channels == 1 ? std::min(bitDepth, 8) : channels == 2 ? 8 : 24;
  if (!Create(static_cast<int32_t>(width), static_cast<int32_t>(height), static_cast<DWORD>(depth), kFormatPng))
    return false;
  // The rows below rely on libpng's row fitting the image row or the buffer.
  if (static_cast<uint64_t>(rowBytes) > (channels == 1 || channels == 3 ? GetEffWidth() : 4ull * width)) {
    SetLastErrorText("unsupported PNG layout");
    return false;
  }

  png_uint_32 xPerUnit = 0, yPerUnit = 0;
  int unit = 0;
  if (png_get_pHYs(s.png, s.info, &xPerUnit, &yPerUnit, &unit)) {
    if (unit == PNG_RESOLUTION_UNKNOWN) {
      SetXDPI(ClampDpi(xPerUnit));
      SetYDPI(ClampDpi(yPerUnit));
    } else if (unit == PNG_RESOLUTION_METER) {
      SetXDPI(ClampDpi(std::floor(xPerUnit * 254.0 / 10000.0 + 0.5)));
      SetYDPI(ClampDpi(std::floor(yPerUnit * 254.0 / 10000.0 + 0.5)));
    }
  }

  if (channels <= 2) {
    png_colorp palette = nullptr;
    int count = 0;
    if (colourType == PNG_COLOR_TYPE_PALETTE && png_get_PLTE(s.png, s.info, &palette, &count)) {
      const DWORD entries = std::min<DWORD>(static_cast<DWORD>(count), GetNumColors());
      for (DWORD i = 0; i < entries; ++i) SetPaletteColor(i, palette[i].red, palette[i].green, palette[i].blue);
      SetClrImportant(static_cast<DWORD>(count));
    } else if (bitDepth == 2 && channels == 1) {
      for (DWORD i = 0; i < 4; ++i) SetPaletteColor(i, BYTE(85 * i), BYTE(85 * i), BYTE(85 * i));
    } else {
      SetGrayPalette();
    }
  }

  png_bytep alphas = nullptr;
  int alphaCount = 0;
  png_color_16p key = nullptr;
  if (hasTrns && !trnsAsAlpha && png_get_tRNS(s.png, s.info, &alphas, &alphaCount, &key)) {
    if (colourType == PNG_COLOR_TYPE_PALETTE && alphas && alphaCount > 0) {
      // libpng reports index 0 for any single entry, whatever its alpha: only
      // a fully transparent entry 0 is a transparent index.
      bool partial = false;
      for (int i = 0; i < alphaCount; ++i) partial = partial || alphas[i] != 255;
      if (alphaCount == 1 && alphas[0] == 0) {
        SetTransIndex(0);
      } else if (partial) {
        RGBQUAD* entries = GetPalette();
        for (DWORD i = 0; i < GetNumColors(); ++i)
          entries[i].rgbReserved = i < static_cast<DWORD>(alphaCount) ? alphas[i] : 255;
        m_info.alphaPalette = true;
      }
    } else if (colourType == PNG_COLOR_TYPE_GRAY && key && bitDepth <= 8) {
      if (key->gray < (1u << bitDepth)) SetTransIndex(key->gray);
    } else if (colourType == PNG_COLOR_TYPE_RGB && key && bitDepth == 8) {
      if (key->red <= 255 && key->green <= 255 && key->blue <= 255) {
        RGBQUAD colour;
        colour.rgbRed = static_cast<BYTE>(key->red);
        colour.rgbGreen = static_cast<BYTE>(key->green);
        colour.rgbBlue = static_cast<BYTE>(key->blue);
        colour.rgbReserved = 0;
        SetTransColor(colour);
        SetTransIndex(0);
      }
    }
  }

  const bool alpha = channels == 2 || channels == 4;
  if (alpha && !AlphaCreate()) {
    SetLastErrorText(kNoMemory);
    return false;
  }
  if (m_info.escape) {
    SetLastErrorText(kCancelled);
    return false;
  }

  s.row = static_cast<BYTE*>(std::malloc(rowBytes + 8));
  if (!s.row) {
    SetLastErrorText(kNoMemory);
    return false;
  }
  SetCodecOption(passes > 1 ? 1 : 0, kFormatPng);

  // Whole rows of 1, 4 and 8-bit indices and of BGR colours have the layout of
  // the image's own rows, which then hold what earlier passes delivered.
  const bool direct = (channels == 1 && bitDepth != 2) || channels == 3;
  const bool interlaced = passes > 1;
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 y = 0; y < height; ++y) {
      if (m_info.escape) {
        SetLastErrorText(kCancelled);
        return false;
      }
      const DWORD imageRow = height - 1 - y;
      BYTE* target = GetBits(imageRow);
      if (direct) {
        png_read_row(s.png, target, nullptr);
        continue;
      }
      BYTE* planeRow = alpha ? AlphaGetPointer(0, static_cast<int32_t>(imageRow)) : nullptr;
      if (interlaced) {
        // libpng fills in only this pass's pixels: give it what is known so far.
        if (channels == 1) {
          std::memset(s.row, 0, rowBytes);
          for (DWORD x = 0; x < width; ++x) s.row[x / 4] |= static_cast<BYTE>((Nibble(target, x) & 3) << (2 * (3 - x % 4)));
        } else if (channels == 2) {
          for (DWORD x = 0; x < width; ++x) {
            s.row[2 * x] = target[x];
            s.row[2 * x + 1] = planeRow[x];
          }
        } else {
          for (DWORD x = 0; x < width; ++x) {
            std::memcpy(s.row + 4 * x, target + 3 * x, 3);
            s.row[4 * x + 3] = planeRow[x];
          }
        }
      }
      png_read_row(s.png, s.row, nullptr);
      if (channels == 1) {
        std::memcpy(target, s.row, rowBytes);
        ExpandTwoBitRow(target, width);
      } else if (channels == 2) {
        for (DWORD x = 0; x < width; ++x) {
          target[x] = s.row[2 * x];
          planeRow[x] = s.row[2 * x + 1];
        }
      } else {
        for (DWORD x = 0; x < width; ++x) {
          std::memcpy(target + 3 * x, s.row + 4 * x, 3);
          planeRow[x] = s.row[4 * x + 3];
        }
      }
    }
  }
  png_read_end(s.png, nullptr);
  return true;
}

// ---- Encoding ----

bool CDibImagePNG::Encode(CByteStream* stream) {
  if (EncodeSafeCheck(stream)) return false;
  WriteState state;
  state.stream = stream;
  state.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, state.message, PngErrorCallback,
                                      PngWarningCallback);
  if (!state.png) {
    SetLastErrorText(kCreateFailed);
    return false;
  }
  state.info = png_create_info_struct(state.png);
  if (!state.info) {
    png_destroy_write_struct(&state.png, nullptr);
    SetLastErrorText(kInfoFailed);
    return false;
  }
  const bool written = WritePng(state);
  png_destroy_write_struct(&state.png, &state.info);
  std::free(state.row);
  if (!written) SetLastErrorText(kSaveFailed);
  return written;
}

bool CDibImagePNG::WritePng(WriteState& s) {
  if (setjmp(png_jmpbuf(s.png))) return false;

  enum Layout { kPalette, kGrey, kGreyAlpha, kRgb, kRgba };
  const DWORD width = GetWidth();
  const DWORD height = GetHeight();
  const bool indexed = IsIndexed();
  const bool alpha = AlphaIsValid();
  const bool alphaPalette = indexed && m_info.alphaPalette;
  const bool grey = indexed && IsGrayScale() && !alphaPalette;
  const int32_t trans = m_info.transIndex;
  const RGBQUAD* palette = GetPalette();
  // A palette with an alpha plane has no PNG colour type of its own: it is
  // written as RGBA.
  const Layout layout = !indexed ? (alpha ? kRgba : kRgb) : grey ? (alpha ? kGreyAlpha : kGrey)
                                                                 : (alpha ? kRgba : kPalette);
  static const int kColourTypes[] = {PNG_COLOR_TYPE_PALETTE, PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA,
                                     PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA};
  const int bitDepth = layout == kPalette ? GetBpp() : 8;
  const int interlace = GetCodecOption(kFormatPng) == 1 ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE;

  png_set_write_fn(s.png, s.stream, PngWriteCallback, PngFlushCallback);

  png_color_16 background = {};
  background.red = background.green = background.blue = 255;
  if (trans >= 0) {
    const RGBQUAD colour = GetTransColor();
    background.red = colour.rgbRed;
    background.green = colour.rgbGreen;
    background.blue = colour.rgbBlue;
  }
  png_set_bKGD(s.png, s.info, &background);
  if (m_header.biXPelsPerMeter > 0 && m_header.biYPelsPerMeter > 0)
    png_set_pHYs(s.png, s.info, static_cast<png_uint_32>(m_header.biXPelsPerMeter),
                 static_cast<png_uint_32>(m_header.biYPelsPerMeter), PNG_RESOLUTION_METER);
  png_set_IHDR(s.png, s.info, width, height, bitDepth, kColourTypes[layout], interlace,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);

  for (int i = 0; i < 256; ++i) s.indexMap[i] = static_cast<BYTE>(i);
  bool remap = false;
  if (layout == kPalette) {
    const DWORD colours = GetNumColors();
    DWORD count = GetClrImportant() ? std::min(GetClrImportant(), colours) : colours;
    // Every index in use needs its entry, or libpng refuses the rows.
    for (DWORD y = 0; y < height && count < colours; ++y)
      for (DWORD x = 0; x < width; ++x)
        count = std::max<DWORD>(count, BlindGetPixelIndex(static_cast<int32_t>(x), static_cast<int32_t>(y)) + 1u);
    if (trans >= 0) count = std::max<DWORD>(count, static_cast<DWORD>(trans) + 1);
    for (DWORD i = 0; i < count; ++i) {
      s.palette[i].red = palette[i].rgbRed;
      s.palette[i].green = palette[i].rgbGreen;
      s.palette[i].blue = palette[i].rgbBlue;
    }
    int alphaCount = 0;
    if (alphaPalette) {
      for (DWORD i = 0; i < count; ++i) {
        s.alphas[i] = static_cast<int32_t>(i) == trans ? 0 : palette[i].rgbReserved;
        if (s.alphas[i] != 255) alphaCount = static_cast<int>(i) + 1;
      }
    } else if (trans >= 0) {
      // The transparent colour goes to entry 0, so one tRNS byte covers it;
      // the swap happens in these copies and in the rows as they are written.
      if (trans > 0) {
        std::swap(s.palette[0], s.palette[trans]);
        s.indexMap[0] = static_cast<BYTE>(trans);
        s.indexMap[trans] = 0;
        remap = true;
      }
      s.alphas[0] = 0;
      alphaCount = 1;
    }
    png_set_PLTE(s.png, s.info, s.palette, static_cast<int>(count));
    if (alphaCount) png_set_tRNS(s.png, s.info, s.alphas, alphaCount, nullptr);
  } else if (trans >= 0 && (layout == kGrey || layout == kRgb)) {
    png_color_16 key = {};
    key.index = static_cast<png_byte>(trans);
    key.gray = static_cast<png_uint_16>(trans & 0xFF);
    key.red = m_info.transColor.rgbRed;
    key.green = m_info.transColor.rgbGreen;
    key.blue = m_info.transColor.rgbBlue;
    png_set_tRNS(s.png, s.info, nullptr, 1, &key);
  }

  png_write_info(s.png, s.info);
  if (layout == kRgb || layout == kRgba) png_set_bgr(s.png);
  const int passes = png_set_interlace_handling(s.png);
  s.row = static_cast<BYTE*>(std::malloc(static_cast<size_t>(width) * 4 + 8));
  if (!s.row) png_error(s.png, kNoMemory);

  // Alpha as written: the plane, the palette's alpha and the transparent key
  // together, without touching the image.
  auto alphaAt = [&](DWORD x, DWORD y, const BYTE* planeRow) -> BYTE {
    DWORD a = planeRow ? planeRow[x] : 255;
    if (indexed) {
      const BYTE index = BlindGetPixelIndex(static_cast<int32_t>(x), static_cast<int32_t>(y));
      if (static_cast<int32_t>(index) == trans) return 0;
      if (alphaPalette) a = a * palette[index].rgbReserved / 255;
    } else if (trans >= 0) {
      const BYTE* pixel = GetBits(y) + 3 * static_cast<size_t>(x);
      if (pixel[0] == m_info.transColor.rgbBlue && pixel[1] == m_info.transColor.rgbGreen &&
          pixel[2] == m_info.transColor.rgbRed)
        return 0;
    }
    return static_cast<BYTE>(a);
  };

  for (int pass = 0; pass < passes; ++pass) {
    for (DWORD line = 0; line < height; ++line) {
      const DWORD y = height - 1 - line;
      const BYTE* source = GetBits(y);
      const BYTE* planeRow = alpha ? AlphaGetPointer(0, static_cast<int32_t>(y)) : nullptr;
      switch (layout) {
        case kPalette:
          if (remap) {
            for (DWORD x = 0; x < width; ++x) {
              const int32_t ix = static_cast<int32_t>(x);
              const BYTE index = s.indexMap[BlindGetPixelIndex(ix, static_cast<int32_t>(y))];
              if (bitDepth == 8) s.row[x] = index;
              else if (bitDepth == 4) s.row[x / 2] = static_cast<BYTE>((x & 1) ? (s.row[x / 2] & 0xF0) | index : index << 4);
              else s.row[x / 8] = static_cast<BYTE>(index ? s.row[x / 8] | (0x80 >> (x & 7)) : s.row[x / 8] & ~(0x80 >> (x & 7)));
            }
            png_write_row(s.png, s.row);
          } else {
            png_write_row(s.png, source);
          }
          break;
        case kGrey:
        case kRgb:
          png_write_row(s.png, source);
          break;
        case kGreyAlpha:
          for (DWORD x = 0; x < width; ++x) {
            s.row[2 * x] = source[x];
            s.row[2 * x + 1] = alphaAt(x, y, planeRow);
          }
          png_write_row(s.png, s.row);
          break;
        case kRgba:
          for (DWORD x = 0; x < width; ++x) {
            const RGBQUAD c = indexed ? palette[BlindGetPixelIndex(static_cast<int32_t>(x), static_cast<int32_t>(y))]
                                      : RGBQUAD{source[3 * x], source[3 * x + 1], source[3 * x + 2], 0};
            s.row[4 * x] = c.rgbBlue;
            s.row[4 * x + 1] = c.rgbGreen;
            s.row[4 * x + 2] = c.rgbRed;
            s.row[4 * x + 3] = alphaAt(x, y, planeRow);
          }
          png_write_row(s.png, s.row);
          break;
      }
    }
  }
  png_write_end(s.png, s.info);
  return true;
}
