#include "image/formats/DibImageTIF.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "image/streams/ByteStream.h"

// The stream behind one libtiff handle. Offsets are counted from where the
// TIFF starts in the stream, so a TIFF inside a larger stream reads as a file.
struct TiffClient {
  CByteStream* stream = nullptr;
  int64_t base = 0;
  char message[DIBIMAGE_ERROR_SIZE] = {};  // libtiff's first error
};

namespace {

const char kOpenFailed[] = "Error encountered while opening TIFF file";
const char kCancelled[] = "Cancelled";
const char kCorrupted[] = "Corrupted TIFF file!";
const char kNoMemory[] = "CDibImageTIF can't allocate memory";
const char kCantCreate[] = "CDibImageTIF can't create image";
// Largest single block libtiff or this codec allocates: a strip of the
// largest image the library accepts, at 16 bits per sample.
const uint64_t kMaxBlock = 2ull * DIBIMAGE_MAX_MEMORY;

// ---- Client I/O ----

tmsize_t TiffReadProc(thandle_t handle, void* buffer, tmsize_t size) {
  TiffClient* client = static_cast<TiffClient*>(handle);
  if (size <= 0) return 0;
  return static_cast<tmsize_t>(client->stream->Read(buffer, 1, static_cast<size_t>(size)));
}

tmsize_t TiffWriteProc(thandle_t handle, void* buffer, tmsize_t size) {
  TiffClient* client = static_cast<TiffClient*>(handle);
  if (size <= 0) return 0;
  return static_cast<tmsize_t>(client->stream->Write(buffer, 1, static_cast<size_t>(size)));
}

toff_t TiffSeekProc(thandle_t handle, toff_t offset, int origin) {
  TiffClient* client = static_cast<TiffClient*>(handle);
  const toff_t failed = static_cast<toff_t>(-1);
  if (offset == failed) return failed;
  int64_t target;
  switch (origin) {
    case SEEK_SET:
      if (offset > static_cast<toff_t>(INT32_MAX)) return failed;
      target = client->base + static_cast<int64_t>(offset);
      break;
    case SEEK_CUR:
      target = static_cast<int64_t>(client->stream->Tell()) + static_cast<int64_t>(offset);
      break;
    case SEEK_END:
      target = static_cast<int64_t>(client->stream->Size()) + static_cast<int64_t>(offset);
      break;
    default:
      return failed;
  }
  if (target < client->base || target > INT32_MAX) return failed;
  if (!client->stream->Seek(static_cast<int32_t>(target), CByteStream::kFromStart)) return failed;
  return static_cast<toff_t>(target - client->base);
}

// The stream belongs to the caller.
int TiffCloseProc(thandle_t) {
  return 0;
}

toff_t TiffSizeProc(thandle_t handle) {
  TiffClient* client = static_cast<TiffClient*>(handle);
  const int64_t size = client->stream->Size();
  return size > client->base ? static_cast<toff_t>(size - client->base) : 0;
}

int TiffMapProc(thandle_t, void**, toff_t*) {
  return 0;
}

void TiffUnmapProc(thandle_t, void*, toff_t) {}

int TiffErrorHandler(TIFF*, void* user, const char*, const char* format, va_list arguments) {
  TiffClient* client = static_cast<TiffClient*>(user);
  if (client && !client->message[0]) std::vsnprintf(client->message, sizeof client->message, format, arguments);
  return 1;  // handled: nothing goes to libtiff's global handler
}

int TiffWarningHandler(TIFF*, void*, const char*, const char*, va_list) {
  return 1;
}

// Per-handle error handlers keep libtiff's messages out of stderr and away
// from other threads' handles.
TIFF* TiffOpenStream(TiffClient& client, const char* mode) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (!options) return nullptr;
  TIFFOpenOptionsSetErrorHandlerExtR(options, TiffErrorHandler, &client);
  TIFFOpenOptionsSetWarningHandlerExtR(options, TiffWarningHandler, &client);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(std::min<uint64_t>(kMaxBlock, std::numeric_limits<tmsize_t>::max())));
  TIFF* tif = TIFFClientOpenExt("TIFF IMAGE", mode, &client, TiffReadProc, TiffWriteProc, TiffSeekProc,
                                TiffCloseProc, TiffSizeProc, TiffMapProc, TiffUnmapProc, options);
  TIFFOpenOptionsFree(options);
  return tif;
}

// ---- Samples ----

// Sample `index` of a decoded line. libtiff hands 16, 24 and 32-bit samples
// over in host order; other widths are packed most significant bit first.
uint32_t SampleAt(const BYTE* line, uint64_t index, int bits) {
  switch (bits) {
    case 8:
      return line[index];
    case 16: {
      uint16_t v;
      std::memcpy(&v, line + 2 * index, 2);
      return v;
    }
    case 24: {
      const BYTE* p = line + 3 * index;
      return p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16);
    }
    case 32: {
      uint32_t v;
      std::memcpy(&v, line + 4 * index, 4);
      return v;
    }
    default: {
      uint64_t bit = index * static_cast<uint64_t>(bits);
      uint32_t value = 0;
      for (int i = 0; i < bits; ++i, ++bit) value = (value << 1) | ((line[bit / 8] >> (7 - bit % 8)) & 1);
      return value;
    }
  }
}

// One byte per sample: values of narrow samples as they are (palette and grey
// indices), the most significant eight bits of wider ones.
void TiffWidenSamples(const BYTE* line, BYTE* out, uint64_t count, int bits) {
  for (uint64_t i = 0; i < count; ++i) {
    const uint32_t value = SampleAt(line, i, bits);
    out[i] = static_cast<BYTE>(bits <= 8 ? value : value >> (bits - 8));
  }
}

// A sample as an 8-bit level (alpha), whatever its width.
BYTE SampleLevel(const BYTE* line, uint64_t index, int bits) {
  const uint32_t value = SampleAt(line, index, bits);
  if (bits >= 8) return static_cast<BYTE>(value >> (bits - 8));
  return static_cast<BYTE>(value * 255 / ((1u << bits) - 1));
}

// Palette indices of more than 8 bits, looked up into blue, green, red.
void TiffExpandWidePalette(const BYTE* line, BYTE* out, uint32_t width, int bits, int samples,
                           const std::vector<RGBQUAD>& palette) {
  for (uint32_t x = 0; x < width; ++x) {
    const uint32_t index = SampleAt(line, static_cast<uint64_t>(x) * samples, bits);
    const RGBQUAD c = index < palette.size() ? palette[index] : RGBQUAD{};
    out[3 * x] = c.rgbBlue;
    out[3 * x + 1] = c.rgbGreen;
    out[3 * x + 2] = c.rgbRed;
  }
}

// Rows of a tile into the block of whole image lines they belong to.
void TiffCopyTileRows(BYTE* target, uint64_t targetStride, const BYTE* tile, uint64_t tileStride, uint32_t rows,
                      uint64_t bytes) {
  for (uint32_t r = 0; r < rows; ++r) std::memcpy(target + r * targetStride, tile + r * tileStride, bytes);
}

int32_t Truncate(double value) {
  if (!(value > INT32_MIN)) return value != value ? 0 : INT32_MIN;
  return value >= INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

int LeadingZeros8(BYTE value) {
  int zeros = 0;
  for (int bit = 7; bit >= 0 && !(value & (1 << bit)); --bit) ++zeros;
  return zeros;
}

BYTE LabChannel(double c) {
  c = c <= 0.00304 ? 12.92 * c : 1.055 * std::pow(c, 0.41667) - 0.055;
  c *= 255.0;
  return static_cast<BYTE>(c <= 0.0 ? 0 : c >= 255.0 ? 255 : c);
}

void LabToBgr(const BYTE* lab, BYTE* bgr) {
  const double l = lab[0] / 2.55;
  const double a = static_cast<int8_t>(lab[1]);
  const double b = static_cast<int8_t>(lab[2]);
  const double fy = (l + 16.0) / 116.0;
  const double fx = fy + a * 0.002;
  const double fz = fy - b * 0.005;
  // CIE's inverse, with its linear part near black (a plain cube would turn
  // L* = 0 into a visible grey).
  auto inverse = [](double t) { return t > 6.0 / 29.0 ? t * t * t : 3.0 * (36.0 / 841.0) * (t - 4.0 / 29.0); };
  const double x = 0.95047 * inverse(fx);
  const double y = inverse(fy);
  const double z = 1.0883 * inverse(fz);
  bgr[2] = LabChannel(3.240479 * x - 1.53715 * y - 0.498535 * z);
  bgr[1] = LabChannel(-0.969256 * x + 1.875992 * y + 0.041556 * z);
  bgr[0] = LabChannel(0.055648 * x - 0.204043 * y + 1.057311 * z);
}

bool IsBlackAndWhite(const RGBQUAD* palette) {
  auto is = [](const RGBQUAD& c, BYTE v) { return c.rgbRed == v && c.rgbGreen == v && c.rgbBlue == v; };
  return (is(palette[0], 0) && is(palette[1], 255)) || (is(palette[0], 255) && is(palette[1], 0));
}

// The palette a grey TIFF of this depth stands for.
bool IsGreyRamp(const RGBQUAD* palette, DWORD count) {
  if (count < 2) return false;
  for (DWORD i = 0; i < count; ++i) {
    const DWORD level = i * 255 / (count - 1);
    if (palette[i].rgbRed != level || palette[i].rgbGreen != level || palette[i].rgbBlue != level) return false;
  }
  return true;
}

int Luminance(const RGBQUAD& c) {
  return (306 * c.rgbRed + 601 * c.rgbGreen + 117 * c.rgbBlue) / 1024;
}

}  // namespace

CDibImageTIF::CDibImageTIF() : CDibImage(kFormatTif) {}

CDibImageTIF::~CDibImageTIF() {
  if (m_writer) TIFFClose(m_writer);
}

// ---- Decoding ----

bool CDibImageTIF::Decode(CByteStream* stream) {
  if (!stream) {
    SetLastErrorText("null file handler");
    return false;
  }
  TiffClient client;
  client.stream = stream;
  client.base = stream->Tell();
  if (client.base < 0) {
    SetLastErrorText(kOpenFailed);
    return false;
  }
  TIFF* tif = TiffOpenStream(client, "r");
  if (!tif) {
    SetLastErrorText(kOpenFailed);
    return false;
  }

  auto done = [&](bool result, const char* message) {
    TIFFClose(tif);
    if (message) SetLastErrorText(message);
    return result;
  };
  if (m_info.frameToLoad < 0 || !TIFFSetDirectory(tif, static_cast<tdir_t>(m_info.frameToLoad)))
    return done(false, "Error: page not present in TIFF file");
  // A chain libtiff cannot count through still holds the page just found.
  const int32_t pages = std::max(static_cast<int32_t>(std::min<tdir_t>(TIFFNumberOfDirectories(tif), INT32_MAX)),
                                 m_info.frameToLoad + 1);
  m_info.frameCount = pages;

  uint32_t width = 0, height = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
  if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) return done(false, kCorrupted);
  if (m_info.escape == -1) {
    m_header.biWidth = static_cast<LONG>(width);
    m_header.biHeight = static_cast<LONG>(height);
    m_info.formatId = kFormatTif;
    return done(true, "output dimensions returned");
  }

  uint16_t resolutionUnit = RESUNIT_INCH;
  TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &resolutionUnit);
  float resolution = 0;
  auto dpi = [resolutionUnit](float value) {
    double v = value;
    if (resolutionUnit == RESUNIT_CENTIMETER) v = static_cast<float>(v * 2.54 + 0.5);
    return Truncate(v);
  };
  if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &resolution)) SetXDPI(dpi(resolution));
  if (TIFFGetField(tif, TIFFTAG_YRESOLUTION, &resolution)) SetYDPI(dpi(resolution));
  float position = 0;
  if (TIFFGetField(tif, TIFFTAG_XPOSITION, &position)) m_info.xOffset = Truncate(position);
  if (TIFFGetField(tif, TIFFTAG_YPOSITION, &position)) m_info.yOffset = Truncate(position);

  uint16_t compression = COMPRESSION_NONE;
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
  SetCodecOption(compression, kFormatTif);
  // Whatever the caller's image had before must not carry over.
  m_info.transIndex = -1;
  m_info.alphaPalette = false;

  uint16_t photometric = PHOTOMETRIC_MINISWHITE, samples = 1, bits = 1, planar = PLANARCONFIG_CONTIG,
           format = SAMPLEFORMAT_UINT;
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
  if (format == SAMPLEFORMAT_IEEEFP || format == SAMPLEFORMAT_COMPLEXIEEEFP || format == SAMPLEFORMAT_COMPLEXINT)
    return done(false, "Unsupported TIFF sample format");

  // Grey, palette, 8-bit RGB and 8-bit L*a*b* pixels with their samples side
  // by side are read here; libtiff's RGBA reader takes everything else. Its
  // premultiplied output would cost straight alpha its colour precision.
  const bool indexedKind = photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK ||
                           photometric == PHOTOMETRIC_PALETTE;
  const bool contiguous = planar == PLANARCONFIG_CONTIG || samples == 1;
  const bool samplePath = contiguous && ((indexedKind && samples <= 2) ||
                                         (photometric == PHOTOMETRIC_RGB && samples >= 3 && bits == 8) ||
                                         (photometric == PHOTOMETRIC_CIELAB && (samples == 3 || samples == 4) && bits == 8));
  bool decoded;
  if (samplePath) {
    if (bits == 0 || bits > 32) return done(false, "Unsupported TIFF sample format");
    decoded = DecodeSamples(tif);
  } else {
    decoded = DecodeRgba(tif);
  }
  // Turning the picture hands a new image over, with a frame count of its own.
  m_info.frameCount = pages;
  return done(decoded, nullptr);
}

bool CDibImageTIF::DecodeRgba(TIFF* tif) {
  auto fail = [this](const char* message) {
    SetLastErrorText(message);
    return false;
  };
  char message[1024];
  if (!TIFFRGBAImageOK(tif, message)) return fail(kCorrupted);
  TIFFRGBAImage reader;
  if (!TIFFRGBAImageBegin(&reader, tif, 1, message)) return fail(kCorrupted);
  reader.req_orientation = ORIENTATION_BOTLEFT;
  const uint32_t width = reader.width;
  const uint32_t height = reader.height;
  const bool alpha = reader.alpha != 0;
  if (m_info.escape) {
    TIFFRGBAImageEnd(&reader);
    return fail(kCancelled);
  }
  if (!Create(static_cast<int32_t>(width), static_cast<int32_t>(height), 24, kFormatTif) ||
      (alpha && !AlphaCreate())) {
    TIFFRGBAImageEnd(&reader);
    return fail(kCantCreate);
  }
  const uint64_t rasterBytes = static_cast<uint64_t>(width) * height * 4;
  uint32_t* raster = rasterBytes <= kMaxBlock && rasterBytes <= SIZE_MAX
                         ? static_cast<uint32_t*>(std::malloc(static_cast<size_t>(rasterBytes)))
                         : nullptr;
  if (!raster) {
    TIFFRGBAImageEnd(&reader);
    return fail("No space for raster buffer");
  }
  const int got = TIFFRGBAImageGet(&reader, raster, width, height);
  TIFFRGBAImageEnd(&reader);
  if (!got) {
    std::free(raster);
    return fail(kCorrupted);
  }

  // The RGBA reader premultiplies; the alpha plane goes with straight colours.
  auto straight = [](uint32_t c, uint32_t a) -> BYTE {
    if (a == 0 || a == 255) return static_cast<BYTE>(c);
    return static_cast<BYTE>(std::min<uint32_t>(255, (c * 255 + a / 2) / a));
  };
  for (uint32_t y = 0; y < height; ++y) {
    if (m_info.escape) {
      std::free(raster);
      return fail(kCancelled);
    }
    BYTE* row = GetBits(y);
    BYTE* plane = alpha ? AlphaGetPointer(0, static_cast<int32_t>(y)) : nullptr;
    const uint32_t* source = raster + static_cast<size_t>(y) * width;
    for (uint32_t x = 0; x < width; ++x) {
      const uint32_t p = source[x];
      const uint32_t a = TIFFGetA(p);
      row[3 * x] = alpha ? straight(TIFFGetB(p), a) : static_cast<BYTE>(TIFFGetB(p));
      row[3 * x + 1] = alpha ? straight(TIFFGetG(p), a) : static_cast<BYTE>(TIFFGetG(p));
      row[3 * x + 2] = alpha ? straight(TIFFGetR(p), a) : static_cast<BYTE>(TIFFGetR(p));
      if (plane) plane[x] = static_cast<BYTE>(a);
    }
  }
  std::free(raster);
  return true;
}

bool CDibImageTIF::DecodeSamples(TIFF* tif) {
  auto fail = [this](const char* message) {
    SetLastErrorText(message);
    return false;
  };
  uint32_t width = 0, height = 0, rowsPerStrip = 0;
  uint16_t photometric = PHOTOMETRIC_MINISWHITE, samples = 1, bits = 1, orientation = ORIENTATION_TOPLEFT;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
  TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);

  const bool lab = photometric == PHOTOMETRIC_CIELAB;
  const bool rgb = photometric == PHOTOMETRIC_RGB;
  const bool palette = photometric == PHOTOMETRIC_PALETTE;
  // The first extra sample of RGB is alpha when ExtraSamples says so.
  uint16_t extraCount = 0;
  uint16_t* extraKinds = nullptr;
  TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraKinds);
  const uint16_t rgbAlpha = rgb && samples >= 4 && extraCount > 0 && extraKinds ? extraKinds[0] : EXTRASAMPLE_UNSPECIFIED;
  const bool wide = palette && bits > 8;
  // Up to 16 bits the palette is held whole; beyond that it is too large.
  if (wide && bits > 16) return fail("Too big palette to handle");
  const int depth = lab || rgb || wide ? 24 : bits == 1 ? 1 : bits == 4 ? 4 : 8;
  if (m_info.escape) return fail(kCancelled);
  if (!Create(static_cast<int32_t>(width), static_cast<int32_t>(height), static_cast<DWORD>(depth), kFormatTif))
    return fail(kCantCreate);
  const bool alpha = samples == 2 || (lab && samples == 4) || rgbAlpha != EXTRASAMPLE_UNSPECIFIED;
  if (alpha && !AlphaCreate()) return fail(kNoMemory);

  std::vector<RGBQUAD> colours;
  if (!lab && !rgb) {
    const int indexBits = std::min<int>(bits, wide ? 16 : 8);
    colours.assign(size_t{1} << indexBits, RGBQUAD{});
    const size_t n = colours.size();
    if (palette) {
      uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
      if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) || !red || !green || !blue)
        return fail("Unable to allocate TIFF palette");
      // libtiff holds 2^BitsPerSample entries; some writers store 8-bit values.
      bool eightBit = !wide;
      for (size_t i = 0; i < std::min<size_t>(n, 256) && eightBit; ++i)
        eightBit = red[i] < 256 && green[i] < 256 && blue[i] < 256;
      for (size_t i = 0; i < n; ++i) {
        auto level = [eightBit](uint16_t v) { return static_cast<BYTE>(eightBit ? v : v >> 8); };
        colours[i] = RGBQUAD{level(blue[i]), level(green[i]), level(red[i]), 0};
      }
    } else {
      const bool minIsWhite = photometric == PHOTOMETRIC_MINISWHITE;
      for (size_t i = 0; i < n; ++i) {
        BYTE level = static_cast<BYTE>(n == 2 ? (i ? 255 : 0) : (255 / (n - 1)) * i);
        if (minIsWhite) level = static_cast<BYTE>(255 - level);
        colours[i] = RGBQUAD{level, level, level, 0};
      }
    }
    if (!wide) SetPalette(colours.data(), static_cast<DWORD>(std::min<size_t>(colours.size(), GetNumColors())));
  }

  // Decoded lines and the blocks of lines that strips and tiles deliver.
  const uint64_t lineBytes = (static_cast<uint64_t>(width) * samples * bits + 7) / 8;
  const bool tiled = TIFFIsTiled(tif) != 0;
  uint32_t tileWidth = 0, tileLength = 0;
  uint64_t tileBytes = 0, tileRowBytes = 0;
  uint32_t blockRows;
  if (tiled) {
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileLength);
    tileBytes = TIFFTileSize64(tif);
    tileRowBytes = TIFFTileRowSize64(tif);
    if (tileWidth == 0 || tileLength == 0 || tileBytes == 0 ||
        (static_cast<uint64_t>(tileWidth) * samples * bits) % 8 != 0 ||
        tileRowBytes * tileLength > tileBytes)
      return fail("Corrupted tiled TIFF file!");
    blockRows = std::min(tileLength, height);
  } else {
    blockRows = rowsPerStrip == 0 || rowsPerStrip > height ? height : rowsPerStrip;
  }
  const uint64_t blockBytes = lineBytes * blockRows;
  if (blockBytes > kMaxBlock || tileBytes > kMaxBlock) return fail(kNoMemory);
  std::vector<BYTE> block, tile;
  try {
    block.resize(static_cast<size_t>(blockBytes));
    tile.resize(static_cast<size_t>(tileBytes));
  } catch (const std::bad_alloc&) {
    return fail(kNoMemory);
  }

  // 16-bit grey is scaled so that its brightest sample reaches 255: each line
  // is first scaled by its own power of two, the whole image by the smallest.
  const bool grey16 = !palette && !lab && bits == 16 && samples == 1;
  std::vector<BYTE> lineShift(grey16 ? height : 0, 8);
  const uint32_t stride = GetEffWidth();

  auto convertLine = [&](const BYTE* line, uint32_t row) {
    BYTE* target = GetBits(row);
    BYTE* plane = alpha ? AlphaGetPointer(0, static_cast<int32_t>(row)) : nullptr;
    if (rgb) {
      for (uint32_t x = 0; x < width; ++x) {
        const BYTE* p = line + static_cast<size_t>(x) * samples;
        BYTE* q = target + 3 * static_cast<size_t>(x);
        const BYTE a = plane ? p[3] : 255;
        if (rgbAlpha == EXTRASAMPLE_ASSOCALPHA && a != 0 && a != 255) {
          for (int i = 0; i < 3; ++i) q[2 - i] = static_cast<BYTE>(std::min(255, (p[i] * 255 + a / 2) / a));
        } else {
          q[0] = p[2];
          q[1] = p[1];
          q[2] = p[0];
        }
        if (plane) plane[x] = a;
      }
    } else if (lab) {
      for (uint32_t x = 0; x < width; ++x) {
        const BYTE* p = line + static_cast<size_t>(x) * samples;
        LabToBgr(p, target + 3 * static_cast<size_t>(x));
        if (plane) plane[x] = p[3];
      }
    } else if (wide) {
      TiffExpandWidePalette(line, target, width, bits, samples, colours);
      if (plane)
        for (uint32_t x = 0; x < width; ++x) plane[x] = SampleLevel(line, static_cast<uint64_t>(x) * 2 + 1, bits);
    } else if (grey16) {
      BYTE high = 0;
      for (uint32_t x = 0; x < width; ++x) high = std::max<BYTE>(high, static_cast<BYTE>(SampleAt(line, x, 16) >> 8));
      const int shift = high ? LeadingZeros8(high) : 8;
      for (uint32_t x = 0; x < width; ++x) target[x] = static_cast<BYTE>(SampleAt(line, x, 16) >> (8 - shift));
      lineShift[row] = static_cast<BYTE>(shift);
    } else if (samples == 1 && bits == depth) {
      std::memcpy(target, line, static_cast<size_t>(std::min<uint64_t>(lineBytes, stride)));
    } else if (samples == 1) {
      TiffWidenSamples(line, target, width, bits);
    } else {
      for (uint32_t x = 0; x < width; ++x) {
        const uint32_t index = SampleAt(line, 2 * static_cast<uint64_t>(x), bits);
        BlindSetPixelIndex(static_cast<int32_t>(x), static_cast<int32_t>(row),
                           static_cast<BYTE>(bits <= 8 ? index : index >> (bits - 8)));
        plane[x] = SampleLevel(line, 2 * static_cast<uint64_t>(x) + 1, bits);
      }
    }
  };

  for (uint32_t top = 0; top < height; top += blockRows) {
    if (m_info.escape) return fail(kCancelled);
    const uint32_t rows = std::min(blockRows, height - top);
    std::fill(block.begin(), block.end(), 0);
    if (tiled) {
      for (uint32_t left = 0; left < width; left += tileWidth) {
        if (TIFFReadTile(tif, tile.data(), left, top, 0, 0) < 0) return fail("Corrupted tiled TIFF file!");
        const uint64_t columns = std::min<uint64_t>(tileWidth, width - left);
        const uint64_t offset = static_cast<uint64_t>(left) * samples * bits / 8;
        const uint64_t bytes = std::min((columns * samples * bits + 7) / 8, lineBytes - offset);
        TiffCopyTileRows(block.data() + offset, lineBytes, tile.data(), tileRowBytes, rows, bytes);
      }
    } else {
      const tstrip_t strip = TIFFComputeStrip(tif, top, 0);
      // A strip that cannot be read ends the picture; what was read stays.
      if (TIFFReadEncodedStrip(tif, strip, block.data(), static_cast<tmsize_t>(lineBytes * rows)) < 0) break;
    }
    for (uint32_t i = 0; i < rows; ++i) convertLine(block.data() + i * lineBytes, height - 1 - (top + i));
  }

  if (grey16) {
    const BYTE common = *std::min_element(lineShift.begin(), lineShift.end());
    for (uint32_t row = 0; row < height; ++row) {
      if (lineShift[row] <= common) continue;
      BYTE* target = GetBits(row);
      for (uint32_t x = 0; x < width; ++x) target[x] = static_cast<BYTE>(target[x] >> (lineShift[row] - common));
    }
  }

  bool turned = true;
  switch (orientation) {
    case ORIENTATION_TOPRIGHT: turned = Mirror(); break;
    case ORIENTATION_BOTRIGHT: turned = Flip() && Mirror(); break;
    case ORIENTATION_BOTLEFT: turned = Flip(); break;
    case ORIENTATION_LEFTTOP: turned = RotateRight() && Mirror(); break;
    case ORIENTATION_RIGHTTOP: turned = RotateRight(); break;
    case ORIENTATION_RIGHTBOT: turned = RotateLeft() && Mirror(); break;
    case ORIENTATION_LEFTBOT: turned = RotateLeft(); break;
    default: break;
  }
  return turned || fail(kNoMemory);
}

// ---- Encoding ----

bool CDibImageTIF::Encode(CByteStream* stream, bool append) {
  if (EncodeSafeCheck(stream)) return false;
  if (!m_writer) {
    m_writerClient.reset(new TiffClient);
    m_writerClient->stream = stream;
    m_writerClient->base = stream->Tell();
    m_writer = m_writerClient->base >= 0 ? TiffOpenStream(*m_writerClient, "a") : nullptr;
    if (!m_writer) {
      m_writerClient.reset();
      SetLastErrorText("initialization fail");
      return false;
    }
  }
  if (append || m_page > 0) m_multiPage = true;
  ++m_page;
  if (!EncodeBody(m_writer, m_multiPage, m_page, m_page)) {
    AbandonWriter();
    SetLastErrorText("Error saving TIFF file");
    return false;
  }
  // Written here rather than by TIFFClose, which cannot report a failure.
  if (!TIFFWriteDirectory(m_writer)) {
    AbandonWriter();
    SetLastErrorText(append ? "Error saving TIFF directory" : "Error saving TIFF file");
    return false;
  }
  if (append) return true;
  TIFFClose(m_writer);
  m_writer = nullptr;
  m_writerClient.reset();
  m_multiPage = false;
  m_page = 0;
  return true;
}

void CDibImageTIF::AbandonWriter() {
  if (m_writer) TIFFClose(m_writer);
  m_writer = nullptr;
  m_writerClient.reset();
  m_multiPage = false;
  m_page = 0;
}

bool CDibImageTIF::EncodeBody(TIFF* tif, bool multiPage, int page, int pageCount) {
  if (!tif || !IsValid()) return false;
  const uint32_t width = GetWidth();
  const uint32_t height = GetHeight();
  const bool indexed = IsIndexed();
  const bool alpha = AlphaIsValid();
  const RGBQUAD* palette = static_cast<const CDibImage*>(this)->GetPalette();
  const DWORD colours = GetNumColors();

  // How the pixels go into the file. Nothing here changes the image: a
  // palette image whose entry 0 is black is inverted in the written rows.
  enum Kind { kBilevel, kGrey, kPalette, kIndexAlpha, kRgb, kRgba };
  Kind kind;
  bool invert = false;
  if (!indexed) {
    kind = alpha ? kRgba : kRgb;
  } else if (alpha) {
    kind = kIndexAlpha;
  } else if (GetBpp() == 1 && IsBlackAndWhite(palette)) {
    kind = kBilevel;
    invert = Luminance(palette[0]) < Luminance(palette[1]);
  } else if (IsGreyRamp(palette, colours)) {
    kind = kGrey;
  } else {
    kind = kPalette;
  }
  const uint16_t samples = kind == kIndexAlpha ? 2 : kind == kRgb ? 3 : kind == kRgba ? 4 : 1;
  const uint16_t bits = kind == kBilevel || kind == kGrey || kind == kPalette ? GetBpp() : 8;
  const bool greyIndices = kind == kIndexAlpha && colours == 256 && IsGreyRamp(palette, colours);
  uint16_t photometric;
  switch (kind) {
    case kBilevel: photometric = PHOTOMETRIC_MINISWHITE; break;
    case kGrey: photometric = PHOTOMETRIC_MINISBLACK; break;
    case kIndexAlpha: photometric = greyIndices ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_PALETTE; break;
    case kPalette: photometric = PHOTOMETRIC_PALETTE; break;
    default: photometric = PHOTOMETRIC_RGB; break;
  }
  uint32_t compression = GetCodecOption(kFormatTif);
  if (compression == 0) {
    if (bits == 1) compression = COMPRESSION_CCITTFAX4;
    else if (kind == kRgb || kind == kRgba) compression = COMPRESSION_JPEG;
    else compression = COMPRESSION_LZW;
  }
  if (compression > 0xFFFF) return false;

  bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width) && TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height) &&
            TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples) && TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits) &&
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric) &&
            TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
            TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
            TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH) &&
            TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<float>(GetXDPI())) &&
            TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<float>(GetYDPI())) &&
            TIFFSetField(tif, TIFFTAG_COMPRESSION, static_cast<uint16_t>(compression));
  if (samples == 2 || samples == 4) {
    // Without ExtraSamples readers take the last sample for a colour.
    const uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
    ok = ok && TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
  }
  if (multiPage) {
    char name[32];
    std::snprintf(name, sizeof name, "Page %d", page);
    ok = ok && TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE) &&
         TIFFSetField(tif, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(page), static_cast<uint16_t>(pageCount)) &&
         TIFFSetField(tif, TIFFTAG_PAGENAME, name);
  } else {
    ok = ok && TIFFSetField(tif, TIFFTAG_SUBFILETYPE, 0);
  }
  if (photometric == PHOTOMETRIC_PALETTE) {
    uint16_t red[256] = {}, green[256] = {}, blue[256] = {};
    for (DWORD i = 0; i < std::min<DWORD>(colours, 256); ++i) {
      red[i] = static_cast<uint16_t>(palette[i].rgbRed * 257);
      green[i] = static_cast<uint16_t>(palette[i].rgbGreen * 257);
      blue[i] = static_cast<uint16_t>(palette[i].rgbBlue * 257);
    }
    ok = ok && TIFFSetField(tif, TIFFTAG_COLORMAP, red, green, blue);
  }
  if (compression == COMPRESSION_LZW && samples * bits >= 8) ok = ok && TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
  uint32_t rowsPerStrip = std::min(TIFFDefaultStripSize(tif, 0), height);
  if (compression == COMPRESSION_JPEG) {
    ok = ok && TIFFSetField(tif, TIFFTAG_JPEGQUALITY, std::max(1, std::min<int>(GetJpegQuality(), 100)));
    rowsPerStrip = (rowsPerStrip + 7) / 8 * 8;
  }
  ok = ok && TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, std::max<uint32_t>(rowsPerStrip, 1));
  if (!ok) return false;

  const uint64_t lineBytes = (static_cast<uint64_t>(width) * samples * bits + 7) / 8;
  std::vector<BYTE> line(static_cast<size_t>(lineBytes));
  for (uint32_t r = 0; r < height; ++r) {
    const uint32_t y = height - 1 - r;
    const BYTE* source = GetBits(y);
    const BYTE* plane = alpha ? AlphaGetPointer(0, static_cast<int32_t>(y)) : nullptr;
    switch (kind) {
      case kBilevel:
      case kGrey:
      case kPalette:
        std::memcpy(line.data(), source, line.size());
        if (invert)
          for (BYTE& b : line) b = static_cast<BYTE>(~b);
        break;
      case kIndexAlpha:
        for (uint32_t x = 0; x < width; ++x) {
          line[2 * x] = BlindGetPixelIndex(static_cast<int32_t>(x), static_cast<int32_t>(y));
          line[2 * x + 1] = plane[x];
        }
        break;
      case kRgb:
        for (uint32_t x = 0; x < width; ++x) {
          line[3 * x] = source[3 * x + 2];
          line[3 * x + 1] = source[3 * x + 1];
          line[3 * x + 2] = source[3 * x];
        }
        break;
      case kRgba:
        for (uint32_t x = 0; x < width; ++x) {
          line[4 * x] = source[3 * x + 2];
          line[4 * x + 1] = source[3 * x + 1];
          line[4 * x + 2] = source[3 * x];
          line[4 * x + 3] = plane[x];
        }
        break;
    }
    if (TIFFWriteScanline(tif, line.data(), r, 0) < 0) return false;
  }
  return true;
}
