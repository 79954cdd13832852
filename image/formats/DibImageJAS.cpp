#include "image/formats/DibImageJAS.h"

// The versioned folder: the cross-built prefix exports only its include root.
#include <openjpeg.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "image/formats/JasSmallFormats.h"
#include "image/streams/ByteStream.h"

namespace {

const char kUnknownFormat[] = "error: unknowm format";  // spelled so, as users have always seen it
const char kBadData[] = "error: cannot load image data";
const char kTooManyComponents[] = "error: too many components";
const char kNoMemory[] = "error: cannot allocate memory";
const char kWrongFrame[] = "wrong frame!";
const char kOnlyRgbOrGrey[] = "JasPer can save only RGB or GrayScale images";
const char kPgxOnlyGrey[] = "PGX can save only GrayScale images";
const char kCantEncode[] = "error: cannot encode image";
const char kEncodeNoMemory[] = "error : can't allocate memory";

const uint32_t kMaxComponents = 64;

enum class Kind { kNone, kJp2, kJ2k, kPgx, kPnm, kRas };

DWORD TypeIdOf(Kind kind) {
  switch (kind) {
    case Kind::kJp2: return CDibImage::kFormatJp2;
    case Kind::kJ2k: return CDibImage::kFormatJpc;
    case Kind::kPgx: return CDibImage::kFormatPgx;
    case Kind::kPnm: return CDibImage::kFormatPnm;
    case Kind::kRas: return CDibImage::kFormatRas;
    default: return CDibImage::kFormatUnknown;
  }
}

// Recognises the format by its first bytes and leaves the stream where it was.
Kind Detect(CByteStream& stream) {
  const int32_t start = stream.Tell();
  if (start < 0) return Kind::kNone;
  uint8_t b[12] = {};
  const size_t got = stream.Read(b, 1, sizeof b);
  if (!stream.Seek(start, CByteStream::kFromStart)) return Kind::kNone;
  static const uint8_t kJp2Box[12] = {0, 0, 0, 0x0C, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
  if (got >= 12 && std::memcmp(b, kJp2Box, 12) == 0) return Kind::kJp2;
  if (got >= 4 && b[0] == 0xFF && b[1] == 0x4F && b[2] == 0xFF && b[3] == 0x51) return Kind::kJ2k;
  if (got >= 2 && b[0] == 'P' && b[1] == 'G') return Kind::kPgx;
  if (got >= 2 && b[0] == 'P' && b[1] >= '0' && b[1] <= '9') return Kind::kPnm;
  if (got >= 4 && b[0] == 0x59 && b[1] == 0xA6 && b[2] == 0x6A && b[3] == 0x95) return Kind::kRas;
  return Kind::kNone;
}

// ---- OpenJPEG over CByteStream ----

// Presents a CByteStream to OpenJPEG. Offsets are counted from where the
// code stream starts, so one embedded in a larger stream reads as a file.
class CJasStreamAdapter {
 public:
  CJasStreamAdapter(CByteStream* stream, bool input) : m_stream(stream), m_base(stream->Tell()) {
    if (m_base < 0) return;
    m_opj = opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, input ? OPJ_TRUE : OPJ_FALSE);
    if (!m_opj) return;
    opj_stream_set_user_data(m_opj, this, nullptr);
    if (input) {
      opj_stream_set_read_function(m_opj, &CJasStreamAdapter::Read);
      const int64_t size = m_stream->Size();
      opj_stream_set_user_data_length(m_opj, size > m_base ? static_cast<OPJ_UINT64>(size - m_base) : 0);
    } else {
      opj_stream_set_write_function(m_opj, &CJasStreamAdapter::Write);
    }
    opj_stream_set_skip_function(m_opj, &CJasStreamAdapter::Skip);
    opj_stream_set_seek_function(m_opj, &CJasStreamAdapter::Seek);
  }
  ~CJasStreamAdapter() {
    if (m_opj) opj_stream_destroy(m_opj);
  }
  CJasStreamAdapter(const CJasStreamAdapter&) = delete;
  CJasStreamAdapter& operator=(const CJasStreamAdapter&) = delete;

  opj_stream_t* Get() const { return m_opj; }

 private:
  static OPJ_SIZE_T Read(void* buffer, OPJ_SIZE_T bytes, void* user) {
    auto* self = static_cast<CJasStreamAdapter*>(user);
    const size_t got = bytes ? self->m_stream->Read(buffer, 1, bytes) : 0;
    return got ? got : static_cast<OPJ_SIZE_T>(-1);  // OpenJPEG's end of stream
  }
  static OPJ_SIZE_T Write(void* buffer, OPJ_SIZE_T bytes, void* user) {
    auto* self = static_cast<CJasStreamAdapter*>(user);
    const size_t put = bytes ? self->m_stream->Write(buffer, 1, bytes) : 0;
    return put == bytes ? put : static_cast<OPJ_SIZE_T>(-1);
  }
  static OPJ_OFF_T Skip(OPJ_OFF_T bytes, void* user) {
    auto* self = static_cast<CJasStreamAdapter*>(user);
    const int64_t target = static_cast<int64_t>(self->m_stream->Tell()) + bytes;
    if (target < self->m_base || target > INT32_MAX) return -1;
    if (!self->m_stream->Seek(static_cast<int32_t>(target), CByteStream::kFromStart)) return -1;
    return bytes;
  }
  static OPJ_BOOL Seek(OPJ_OFF_T offset, void* user) {
    auto* self = static_cast<CJasStreamAdapter*>(user);
    const int64_t target = self->m_base + offset;
    if (offset < 0 || target > INT32_MAX) return OPJ_FALSE;
    return self->m_stream->Seek(static_cast<int32_t>(target), CByteStream::kFromStart) ? OPJ_TRUE : OPJ_FALSE;
  }

  CByteStream* m_stream;
  int64_t m_base;
  opj_stream_t* m_opj = nullptr;
};

void Quiet(const char*, void*) {}

// Owns what one OpenJPEG run allocates; the decoded image outlives the
// reading so that the conversion can use its planes in place.
class COpjSession {
 public:
  ~COpjSession() {
    if (m_image) opj_image_destroy(m_image);
    if (m_codec) opj_destroy_codec(m_codec);
  }

  void Decode(CByteStream* stream, bool jp2, JasPicture& picture, bool headerOnly) {
    m_codec = opj_create_decompress(jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
    if (!m_codec) throw kNoMemory;
    Silence();
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    if (!opj_setup_decoder(m_codec, &parameters)) throw kBadData;
    CJasStreamAdapter adapter(stream, true);
    if (!adapter.Get()) throw kNoMemory;
    if (!opj_read_header(adapter.Get(), m_codec, &m_image) || !m_image) throw kBadData;

    const opj_image_t& image = *m_image;
    if (image.numcomps == 0 || !image.comps) throw kBadData;
    if (image.numcomps > kMaxComponents) throw kTooManyComponents;
    uint64_t samples = 0;
    for (uint32_t i = 0; i < image.numcomps; ++i) {
      const opj_image_comp_t& c = image.comps[i];
      if (c.w == 0 || c.h == 0 || c.prec < 1 || c.prec > 31 || c.dx == 0 || c.dy == 0) throw kBadData;
      samples += static_cast<uint64_t>(c.w) * c.h;
    }
    // Checked before OpenJPEG allocates its planes.
    if (samples > kJasMaxSamples) throw kNoMemory;

    if (!headerOnly && !(opj_decode(m_codec, adapter.Get(), m_image) && opj_end_decompress(m_codec, adapter.Get())))
      throw kBadData;

    picture.x0 = image.x0;
    picture.y0 = image.y0;
    for (uint32_t i = 0; i < image.numcomps; ++i) {
      const opj_image_comp_t& c = image.comps[i];
      if (!headerOnly && !c.data) throw kBadData;
      JasComponent component;
      component.width = c.w;
      component.height = c.h;
      component.dx = c.dx;
      component.dy = c.dy;
      component.x0 = c.x0;
      component.y0 = c.y0;
      component.precision = static_cast<int>(c.prec);
      component.isSigned = c.sgnd != 0;
      component.samples = headerOnly ? nullptr : c.data;
      picture.components.push_back(component);
    }
    switch (image.color_space) {
      case OPJ_CLRSPC_SRGB: picture.colourSpace = JasColourSpace::kRgb; break;
      case OPJ_CLRSPC_GRAY: picture.colourSpace = JasColourSpace::kGrey; break;
      case OPJ_CLRSPC_SYCC: picture.colourSpace = JasColourSpace::kYcc; break;
      default: picture.colourSpace = JasColourSpace::kUnknown; break;
    }
    // Subsampled chroma without a stated colour space is YCC: red, green
    // and blue are never subsampled.
    if (picture.colourSpace == JasColourSpace::kUnknown && image.numcomps == 3 && image.comps[0].dx == 1 &&
        image.comps[0].dy == 1 && (image.comps[1].dx != 1 || image.comps[1].dy != 1))
      picture.colourSpace = JasColourSpace::kYcc;
  }

  bool Encode(CByteStream* stream, bool jp2, const JasPicture& picture, int quality) {
    const JasComponent& first = picture.components[0];
    const uint32_t count = static_cast<uint32_t>(picture.components.size());

    opj_image_cmptparm_t parameters[3] = {};
    for (uint32_t i = 0; i < count; ++i) {
      parameters[i].dx = 1;
      parameters[i].dy = 1;
      parameters[i].w = first.width;
      parameters[i].h = first.height;
      parameters[i].prec = 8;
      parameters[i].sgnd = 0;
    }
    m_image = opj_image_create(count, parameters, count == 3 ? OPJ_CLRSPC_SRGB : OPJ_CLRSPC_GRAY);
    if (!m_image) throw kEncodeNoMemory;
    m_image->x0 = 0;
    m_image->y0 = 0;
    m_image->x1 = first.width;
    m_image->y1 = first.height;
    const size_t pixels = static_cast<size_t>(first.width) * first.height;
    for (uint32_t i = 0; i < count; ++i)
      std::copy(picture.components[i].samples, picture.components[i].samples + pixels, m_image->comps[i].data);

    opj_cparameters_t settings;
    opj_set_default_encoder_parameters(&settings);
    settings.tcp_numlayers = 1;
    settings.cp_disto_alloc = 1;
    if (quality >= 100) {
      // Reversible 5/3 wavelet, every bit kept.
      settings.tcp_rates[0] = 0;
      settings.irreversible = 0;
    } else {
      // The rate is the compressed share of the raw size; OpenJPEG wants
      // its inverse. A quality of 0 still keeps one per cent.
      settings.tcp_rates[0] = 100.0f / static_cast<float>(std::max(quality, 1));
      settings.irreversible = 1;
    }
    settings.tcp_mct = count == 3 ? 1 : 0;
    // The smallest resolution level must keep at least one pixel.
    int resolutions = 1;
    const uint32_t side = std::min(first.width, first.height);
    while (resolutions < 6 && (side >> resolutions) >= 1) ++resolutions;
    settings.numresolution = resolutions;

    m_codec = opj_create_compress(jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
    if (!m_codec) throw kEncodeNoMemory;
    Silence();
    if (!opj_setup_encoder(m_codec, &settings, m_image)) return false;
    CJasStreamAdapter adapter(stream, false);
    if (!adapter.Get()) return false;
    return opj_start_compress(m_codec, m_image, adapter.Get()) && opj_encode(m_codec, adapter.Get()) &&
           opj_end_compress(m_codec, adapter.Get());
  }

 private:
  // OpenJPEG prints to stderr unless told otherwise; our callers get our own texts.
  void Silence() {
    opj_set_info_handler(m_codec, Quiet, nullptr);
    opj_set_warning_handler(m_codec, Quiet, nullptr);
    opj_set_error_handler(m_codec, Quiet, nullptr);
  }

  opj_codec_t* m_codec = nullptr;
  opj_image_t* m_image = nullptr;
};

// ---- Conversion ----

// A sample as an unsigned level of its precision: signed planes are
// centred on half the range; out-of-range values are clamped.
inline uint32_t Level(const JasComponent& c, int32_t v) {
  const int64_t top = (int64_t{1} << c.precision) - 1;
  int64_t level = c.isSigned ? static_cast<int64_t>(v) + (int64_t{1} << (c.precision - 1)) : v;
  return static_cast<uint32_t>(level < 0 ? 0 : level > top ? top : level);
}

// A level of `precision` bits on a scale of `bits` bits: wider samples lose
// their low bits, narrower ones are stretched so that full stays full.
inline uint32_t Rescale(uint32_t level, int precision, int bits) {
  if (precision > bits) return level >> (precision - bits);
  if (precision == bits) return level;
  const uint64_t from = (uint64_t{1} << precision) - 1, to = (uint64_t{1} << bits) - 1;
  return static_cast<uint32_t>((level * to + from / 2) / from);
}

// The sample of `c` that covers pixel (x, y) of the reference grid.
inline int32_t SampleAt(const JasComponent& c, const JasPicture& picture, uint64_t x, uint64_t y) {
  uint64_t cx = (picture.x0 + x) / c.dx;
  uint64_t cy = (picture.y0 + y) / c.dy;
  cx = cx > c.x0 ? std::min<uint64_t>(cx - c.x0, c.width - 1) : 0;
  cy = cy > c.y0 ? std::min<uint64_t>(cy - c.y0, c.height - 1) : 0;
  return c.samples[cy * c.width + cx];
}

// Replaces the first three planes (Y, Cb, Cr) by full-size red, green and blue.
void YccToRgb(JasPicture& picture) {
  const JasComponent luma = picture.components[0];
  const JasComponent cb = picture.components[1], cr = picture.components[2];
  const int precision = luma.precision;
  const int64_t top = (int64_t{1} << precision) - 1;
  const double half = static_cast<double>(int64_t{1} << (precision - 1));
  JasPicture rgb;
  for (int i = 0; i < 3; ++i) rgb.AddComponent(luma.width, luma.height, precision, false, true);
  auto clamp = [top](double v) {
    const double r = v + 0.5;
    return static_cast<int32_t>(r < 0 ? 0 : r > static_cast<double>(top) ? top : static_cast<int64_t>(r));
  };
  for (uint32_t y = 0; y < luma.height; ++y)
    for (uint32_t x = 0; x < luma.width; ++x) {
      // Chroma planes are addressed through the luma plane's position on the grid.
      const uint64_t gx = (uint64_t{x} + luma.x0) * luma.dx - picture.x0;
      const uint64_t gy = (uint64_t{y} + luma.y0) * luma.dy - picture.y0;
      const double l = Level(luma, luma.samples[static_cast<size_t>(y) * luma.width + x]);
      const double b = Rescale(Level(cb, SampleAt(cb, picture, gx, gy)), cb.precision, precision) - half;
      const double r = Rescale(Level(cr, SampleAt(cr, picture, gx, gy)), cr.precision, precision) - half;
      const size_t i = static_cast<size_t>(y) * luma.width + x;
      rgb.components[0].samples[i] = clamp(l + 1.402 * r);
      rgb.components[1].samples[i] = clamp(l - 0.344136 * b - 0.714136 * r);
      rgb.components[2].samples[i] = clamp(l + 1.772 * b);
    }
  for (int i = 0; i < 3; ++i) {
    rgb.components[i].dx = luma.dx;
    rgb.components[i].dy = luma.dy;
    rgb.components[i].x0 = luma.x0;
    rgb.components[i].y0 = luma.y0;
    picture.components[i] = rgb.components[i];
    picture.storage.push_back(std::move(rgb.storage[i]));
  }
  picture.colourSpace = JasColourSpace::kRgb;
}

}  // namespace

// ---- Decoding ----

bool CDibImageJAS::Decode(CByteStream* stream, DWORD /*formatId*/) {
  if (!stream) return false;
  COpjSession session;
  JasPicture picture;
  try {
    const Kind kind = Detect(*stream);
    if (kind == Kind::kNone) throw kUnknownFormat;
    const DWORD typeId = TypeIdOf(kind);
    const bool headerOnly = m_info.escape == -1;
    try {
      switch (kind) {
        case Kind::kJp2:
        case Kind::kJ2k: session.Decode(stream, kind == Kind::kJp2, picture, headerOnly); break;
        case Kind::kPgx: JasReadPgx(*stream, picture, headerOnly); break;
        case Kind::kPnm: JasReadPnm(*stream, picture, headerOnly); break;
        default: JasReadRas(*stream, picture, headerOnly); break;
      }
    } catch (const std::bad_alloc&) {
      throw kNoMemory;
    }
    if (headerOnly) {
      m_header.biWidth = static_cast<LONG>(picture.components[0].width);
      m_header.biHeight = static_cast<LONG>(picture.components[0].height);
      m_info.formatId = typeId;
      SetLastErrorText("output dimensions returned");
      return true;
    }
    if (!TakePicture(picture, typeId)) return false;
    return true;
  } catch (const char* message) {
    if (*message) SetLastErrorText(message);
    return false;
  }
}

bool CDibImageJAS::TakePicture(JasPicture& picture, DWORD typeId) {
  std::vector<JasComponent>& planes = picture.components;
  const size_t count = planes.size();
  if (count == 0) throw kBadData;
  if (count > kMaxComponents) throw kTooManyComponents;

  try {
    if (picture.colourSpace == JasColourSpace::kYcc && count >= 3) YccToRgb(picture);
  } catch (const std::bad_alloc&) {
    throw kNoMemory;
  }

  // Three planes make a colour picture; further planes of an RGB picture
  // (alpha, extra channels) are left out, as a conversion to sRGB would.
  const bool sameSize = count >= 3 && planes[1].width == planes[0].width && planes[2].width == planes[0].width &&
                        planes[1].height == planes[0].height && planes[2].height == planes[0].height;
  const bool narrow = planes[0].precision <= 8 && planes[1 % count].precision <= 8 && planes[2 % count].precision <= 8;
  if (sameSize && (count == 3 || (picture.colourSpace == JasColourSpace::kRgb && narrow))) {
    const JasComponent &red = planes[0], &green = planes[1], &blue = planes[2];
    if (!Create(static_cast<int32_t>(red.width), static_cast<int32_t>(red.height), 24, typeId)) throw "";
    for (uint32_t y = 0; y < red.height; ++y) {
      BYTE* row = GetBits(red.height - 1 - y);
      const size_t base = static_cast<size_t>(y) * red.width;
      for (uint32_t x = 0; x < red.width; ++x) {
        row[3 * x] = static_cast<BYTE>(Rescale(Level(blue, blue.samples[base + x]), blue.precision, 8));
        row[3 * x + 1] = static_cast<BYTE>(Rescale(Level(green, green.samples[base + x]), green.precision, 8));
        row[3 * x + 2] = static_cast<BYTE>(Rescale(Level(red, red.samples[base + x]), red.precision, 8));
      }
    }
    return true;
  }

  m_info.frameCount = static_cast<int32_t>(count);
  const int32_t frame = m_info.frameToLoad;
  if (frame < 0 || static_cast<size_t>(frame) >= count) throw kWrongFrame;
  const JasComponent& grey = planes[static_cast<size_t>(frame)];
  if (!Create(static_cast<int32_t>(grey.width), static_cast<int32_t>(grey.height),
              static_cast<DWORD>(std::min(grey.precision, 8)), typeId))
    throw "";
  SetGrayPalette();
  const int bits = GetBpp();
  for (uint32_t y = 0; y < grey.height; ++y) {
    const int32_t row = static_cast<int32_t>(grey.height - 1 - y);
    BYTE* bytes = GetBits(static_cast<DWORD>(row));
    const size_t base = static_cast<size_t>(y) * grey.width;
    for (uint32_t x = 0; x < grey.width; ++x) {
      const BYTE value = static_cast<BYTE>(Rescale(Level(grey, grey.samples[base + x]), grey.precision, bits));
      if (bits == 8) bytes[x] = value;
      else SetPixelIndex(static_cast<int32_t>(x), row, value);
    }
  }
  return true;
}

// ---- Encoding ----

bool CDibImageJAS::Encode(CByteStream* stream, DWORD formatId) {
  if (EncodeSafeCheck(stream)) return false;
  try {
    if (IsIndexed() && !IsGrayScale()) throw kOnlyRgbOrGrey;
    const bool colour = !IsIndexed();
    if (formatId < kFormatJp2 || formatId > kFormatRas) throw kCantEncode;
    if (formatId == kFormatPgx && colour) throw kPgxOnlyGrey;

    JasPicture picture;
    const uint32_t width = GetWidth(), height = GetHeight();
    try {
      for (int i = 0; i < (colour ? 3 : 1); ++i) picture.AddComponent(width, height, 8, false, true);
    } catch (const char*) {
      throw kEncodeNoMemory;
    } catch (const std::bad_alloc&) {
      throw kEncodeNoMemory;
    }
    for (uint32_t y = 0; y < height; ++y) {
      const BYTE* row = GetBits(height - 1 - y);
      const size_t base = static_cast<size_t>(y) * width;
      for (uint32_t x = 0; x < width; ++x) {
        if (colour) {
          picture.components[0].samples[base + x] = row[3 * x + 2];
          picture.components[1].samples[base + x] = row[3 * x + 1];
          picture.components[2].samples[base + x] = row[3 * x];
        } else {
          picture.components[0].samples[base + x] = row[x];
        }
      }
    }
    picture.colourSpace = colour ? JasColourSpace::kRgb : JasColourSpace::kGrey;

    bool written;
    switch (formatId) {
      case kFormatPgx: written = JasWritePgx(*stream, picture); break;
      case kFormatPnm: written = JasWritePnm(*stream, picture); break;
      case kFormatRas: written = JasWriteRas(*stream, picture); break;
      default: {
        COpjSession session;
        written = session.Encode(stream, formatId == kFormatJp2, picture, GetJpegQuality());
        break;
      }
    }
    if (!written) throw kCantEncode;
    return true;
  } catch (const char* message) {
    if (*message) SetLastErrorText(message);
    return false;
  } catch (const std::bad_alloc&) {
    SetLastErrorText(kEncodeNoMemory);
    return false;
  }
}
