// Identification of DNG files: TIFF structure, the raw IFD and the camera
// profile. Other makers' formats are not read: they come out with is_raw 0.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "rawdec_internal.h"

namespace {

enum {
  kMaxIfds = 32,
  kMaxDepth = 4,
  kMaxEntries = 1024,
  kMaxColors = 4,
};

enum : uint16_t {
  kTagNewSubfileType = 254,
  kTagImageWidth = 256,
  kTagImageLength = 257,
  kTagBitsPerSample = 258,
  kTagCompression = 259,
  kTagPhotometric = 262,
  kTagMake = 271,
  kTagModel = 272,
  kTagStripOffsets = 273,
  kTagOrientation = 274,
  kTagSamplesPerPixel = 277,
  kTagRowsPerStrip = 278,
  kTagStripByteCounts = 279,
  kTagPlanarConfig = 284,
  kTagDateTime = 306,
  kTagTileWidth = 322,
  kTagTileLength = 323,
  kTagTileOffsets = 324,
  kTagTileByteCounts = 325,
  kTagSubIfds = 330,
  kTagCfaRepeatPatternDim = 33421,
  kTagCfaPattern = 33422,
  kTagDngVersion = 50706,
  kTagUniqueCameraModel = 50708,
  kTagCfaPlaneColor = 50710,
  kTagCfaLayout = 50711,
  kTagLinearizationTable = 50712,
  kTagBlackLevelRepeatDim = 50713,
  kTagBlackLevel = 50714,
  kTagWhiteLevel = 50717,
  kTagDefaultScale = 50718,
  kTagDefaultCropOrigin = 50719,
  kTagDefaultCropSize = 50720,
  kTagColorMatrix1 = 50721,
  kTagColorMatrix2 = 50722,
  kTagCameraCalibration1 = 50723,
  kTagCameraCalibration2 = 50724,
  kTagAnalogBalance = 50727,
  kTagAsShotNeutral = 50728,
  kTagAsShotWhiteXy = 50729,
  kTagCalibrationIlluminant1 = 50778,
  kTagCalibrationIlluminant2 = 50779,
  kTagActiveArea = 50829,
};

enum { kPhotometricCfa = 32803, kPhotometricLinearRaw = 34892 };

struct Entry {
  uint16_t tag, type;
  uint32_t count;
  uint32_t value;      // the value field as read, or its offset
  int64_t data_at;     // where the values are
};

// One image of the file with the tags the raw data needs.
struct Ifd {
  uint32_t subfile_type;
  uint32_t width, height;
  uint32_t bps, spp, compression, photometric, planar;
  uint32_t rows_per_strip, tile_width, tile_length;
  Entry offsets, byte_counts;
  int has_offsets, has_byte_counts;
  uint32_t cfa_rows, cfa_cols;
  uint8_t cfa_pattern[64];
  int has_cfa_pattern;
  uint8_t plane_color[4];
  int plane_count;
  uint32_t cfa_layout;
  Entry linearization;
  int has_linearization;
  uint32_t black_rows, black_cols;
  double black[64];
  unsigned black_count;
  double white[4];
  unsigned white_count;
  double default_scale[2];
  double crop_origin[2], crop_size[2];
  int has_crop;
  uint32_t active[4];
  int has_active;
};

// Tags of the camera profile; DNG keeps them in the first IFD but they are
// taken from wherever they first appear.
struct Profile {
  uint8_t dng_version[4];
  char make[64], model[64], unique_model[64];
  int orientation;
  int64_t timestamp;
  double color_matrix[2][kMaxColors * 3];
  unsigned color_matrix_count[2];
  double calibration[2][kMaxColors * kMaxColors];
  unsigned calibration_count[2];
  int illuminant[2];
  double analog_balance[kMaxColors];
  unsigned analog_balance_count;
  double neutral[kMaxColors];
  unsigned neutral_count;
  double white_xy[2];
  int has_white_xy;
};

struct Parser {
  rawdec_context* ctx;
  int64_t file_size;
  Profile* profile;
  Ifd* ifds;
  int ifd_count;
  uint32_t visited[kMaxIfds * 2];
  int visited_count;
};

uint16_t get2(const rawdec_context* ctx, const uint8_t* p) {
  return ctx->big_endian ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[1] << 8 | p[0]);
}

uint32_t get4(const rawdec_context* ctx, const uint8_t* p) {
  return ctx->big_endian ? (uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3])
                         : (uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
}

unsigned type_size(uint16_t type) {
  static const unsigned sizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
  return type < sizeof sizes / sizeof sizes[0] ? sizes[type] : 0;
}

// Reads up to `max` values of a numeric entry as doubles; returns how many.
unsigned read_numbers(Parser& p, const Entry& e, double* out, unsigned max) {
  unsigned size = type_size(e.type);
  if (!size || e.type == 2) return 0;
  unsigned n = e.count < max ? e.count : max;
  uint8_t buf[8];
  for (unsigned i = 0; i < n; i++) {
    if (!rawdec_read_at(p.ctx, e.data_at + int64_t(i) * size, buf, size)) return i;
    const rawdec_context* c = p.ctx;
    double v = 0;
    switch (e.type) {
      case 1: case 7: v = buf[0]; break;
      case 6: v = static_cast<int8_t>(buf[0]); break;
      case 3: v = get2(c, buf); break;
      case 8: v = static_cast<int16_t>(get2(c, buf)); break;
      case 4: case 13: v = get4(c, buf); break;
      case 9: v = static_cast<int32_t>(get4(c, buf)); break;
      case 5: {
        uint32_t d = get4(c, buf + 4);
        v = d ? double(get4(c, buf)) / d : 0;
        break;
      }
      case 10: {
        int32_t d = static_cast<int32_t>(get4(c, buf + 4));
        v = d ? double(static_cast<int32_t>(get4(c, buf))) / d : 0;
        break;
      }
      case 11: {
        uint32_t bits = get4(c, buf);
        float f;
        memcpy(&f, &bits, 4);
        v = f;
        break;
      }
      case 12: {
        uint64_t bits = uint64_t(get4(c, c->big_endian ? buf : buf + 4)) << 32 | get4(c, c->big_endian ? buf + 4 : buf);
        memcpy(&v, &bits, 8);
        break;
      }
    }
    out[i] = std::isfinite(v) ? v : 0;
  }
  return n;
}

// Counts and coordinates stored as any TIFF number type; a negative, too large or NaN
// value becomes 0 (a cast would be undefined), which the later checks refuse.
uint32_t to_uint(double v) {
  return v >= 0 && v <= 4294967295.0 ? static_cast<uint32_t>(v) : 0;
}

uint32_t read_uint(Parser& p, const Entry& e) {
  double v = 0;
  if (!read_numbers(p, e, &v, 1)) return 0;
  return to_uint(v);
}

void read_text(Parser& p, const Entry& e, char* out, size_t capacity) {
  if (out[0] || (e.type != 2 && e.type != 1 && e.type != 7)) return;
  size_t n = e.count < capacity - 1 ? e.count : capacity - 1;
  if (!rawdec_read_at(p.ctx, e.data_at, out, n)) n = 0;
  out[n] = 0;
  // Keep printable text only and drop trailing blanks.
  for (size_t i = 0; i < n; i++)
    if (static_cast<unsigned char>(out[i]) < 32 && out[i]) out[i] = ' ';
  size_t len = strlen(out);
  while (len && out[len - 1] == ' ') out[--len] = 0;
}

int64_t days_from_civil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

int64_t parse_datetime(const char* text) {
  int y, mo, d, h, mi, s;
  if (sscanf(text, "%d:%d:%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) != 6) return 0;
  if (y < 1970 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 ||
      s < 0 || s > 60)
    return 0;
  return days_from_civil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400 + h * 3600 + mi * 60 + s;
}

bool parse_ifd(Parser& p, uint32_t offset, int depth);

void parse_sub_ifds(Parser& p, const Entry& e, int depth) {
  if (depth >= kMaxDepth || (e.type != 4 && e.type != 13)) return;
  for (uint32_t i = 0; i < e.count && i < kMaxIfds; i++) {
    uint8_t buf[4];
    if (!rawdec_read_at(p.ctx, e.data_at + int64_t(i) * 4, buf, 4)) return;
    parse_ifd(p, get4(p.ctx, buf), depth + 1);
  }
}

void read_matrix(Parser& p, const Entry& e, double* out, unsigned* count, unsigned max) {
  if (*count) return;
  *count = read_numbers(p, e, out, max);
}

// Parses one IFD and what hangs off it; returns false when the chain must stop.
bool parse_ifd(Parser& p, uint32_t offset, int depth) {
  if (offset < 8 || offset >= p.file_size || p.ifd_count >= kMaxIfds) return false;
  for (int i = 0; i < p.visited_count; i++)
    if (p.visited[i] == offset) return false;  // a loop
  if (p.visited_count < int(sizeof p.visited / sizeof p.visited[0])) p.visited[p.visited_count++] = offset;

  rawdec_context* ctx = p.ctx;
  uint8_t buf[12];
  if (!rawdec_read_at(ctx, offset, buf, 2)) return false;
  unsigned entries = get2(ctx, buf);
  if (int64_t(offset) + 2 + int64_t(entries) * 12 > p.file_size) return false;
  if (entries > kMaxEntries) entries = kMaxEntries;

  Ifd& ifd = p.ifds[p.ifd_count++];
  memset(&ifd, 0, sizeof ifd);
  ifd.bps = 1;
  ifd.spp = 1;
  ifd.compression = 1;
  ifd.planar = 1;
  ifd.rows_per_strip = UINT32_MAX;
  ifd.cfa_layout = 1;
  ifd.default_scale[0] = ifd.default_scale[1] = 1;
  Profile& prof = *p.profile;

  for (unsigned n = 0; n < entries; n++) {
    if (!rawdec_read_at(ctx, offset + 2 + int64_t(n) * 12, buf, 12)) return false;
    Entry e;
    e.tag = get2(ctx, buf);
    e.type = get2(ctx, buf + 2);
    e.count = get4(ctx, buf + 4);
    e.value = get4(ctx, buf + 8);
    uint64_t bytes = uint64_t(type_size(e.type)) * e.count;
    e.data_at = bytes <= 4 ? offset + 2 + int64_t(n) * 12 + 8 : int64_t(e.value);
    if (!type_size(e.type) || e.data_at + int64_t(bytes) > p.file_size) continue;  // damaged entry

    switch (e.tag) {
      case kTagNewSubfileType: ifd.subfile_type = read_uint(p, e); break;
      case kTagImageWidth: ifd.width = read_uint(p, e); break;
      case kTagImageLength: ifd.height = read_uint(p, e); break;
      case kTagBitsPerSample: ifd.bps = read_uint(p, e); break;
      case kTagCompression: ifd.compression = read_uint(p, e); break;
      case kTagPhotometric: ifd.photometric = read_uint(p, e); break;
      case kTagSamplesPerPixel: ifd.spp = read_uint(p, e); break;
      case kTagRowsPerStrip: ifd.rows_per_strip = read_uint(p, e); break;
      case kTagPlanarConfig: ifd.planar = read_uint(p, e); break;
      case kTagTileWidth: ifd.tile_width = read_uint(p, e); break;
      case kTagTileLength: ifd.tile_length = read_uint(p, e); break;
      case kTagStripOffsets:
      case kTagTileOffsets:
        ifd.offsets = e;
        ifd.has_offsets = 1;
        break;
      case kTagStripByteCounts:
      case kTagTileByteCounts:
        ifd.byte_counts = e;
        ifd.has_byte_counts = 1;
        break;
      case kTagMake: read_text(p, e, prof.make, sizeof prof.make); break;
      case kTagModel: read_text(p, e, prof.model, sizeof prof.model); break;
      case kTagUniqueCameraModel: read_text(p, e, prof.unique_model, sizeof prof.unique_model); break;
      case kTagOrientation:
        if (!prof.orientation) prof.orientation = static_cast<int>(read_uint(p, e));
        break;
      case kTagDateTime: {
        char text[32] = "";
        read_text(p, e, text, sizeof text);
        if (!prof.timestamp) prof.timestamp = parse_datetime(text);
        break;
      }
      case kTagSubIfds: parse_sub_ifds(p, e, depth); break;
      case kTagDngVersion:
        if (e.count >= 4 && e.type == 1 && !prof.dng_version[0]) rawdec_read_at(ctx, e.data_at, prof.dng_version, 4);
        break;
      case kTagCfaRepeatPatternDim: {
        double dim[2] = {0, 0};
        if (read_numbers(p, e, dim, 2) == 2) {
          ifd.cfa_rows = to_uint(dim[0]);
          ifd.cfa_cols = to_uint(dim[1]);
        }
        break;
      }
      case kTagCfaPattern:
        if (e.count <= sizeof ifd.cfa_pattern && (e.type == 1 || e.type == 7) &&
            rawdec_read_at(ctx, e.data_at, ifd.cfa_pattern, e.count))
          ifd.has_cfa_pattern = static_cast<int>(e.count);
        break;
      case kTagCfaPlaneColor:
        if (e.count <= 4 && (e.type == 1 || e.type == 7) && rawdec_read_at(ctx, e.data_at, ifd.plane_color, e.count))
          ifd.plane_count = static_cast<int>(e.count);
        break;
      case kTagCfaLayout: ifd.cfa_layout = read_uint(p, e); break;
      case kTagLinearizationTable:
        if (e.type == 3 && e.count >= 1 && e.count <= 65536) {
          ifd.linearization = e;
          ifd.has_linearization = 1;
        }
        break;
      case kTagBlackLevelRepeatDim: {
        double dim[2] = {0, 0};
        if (read_numbers(p, e, dim, 2) == 2) {
          ifd.black_rows = to_uint(dim[0]);
          ifd.black_cols = to_uint(dim[1]);
        }
        break;
      }
      case kTagBlackLevel: ifd.black_count = read_numbers(p, e, ifd.black, 64); break;
      case kTagWhiteLevel: ifd.white_count = read_numbers(p, e, ifd.white, 4); break;
      case kTagDefaultScale: read_numbers(p, e, ifd.default_scale, 2); break;
      case kTagDefaultCropOrigin: ifd.has_crop |= read_numbers(p, e, ifd.crop_origin, 2) == 2 ? 1 : 0; break;
      case kTagDefaultCropSize: ifd.has_crop |= read_numbers(p, e, ifd.crop_size, 2) == 2 ? 2 : 0; break;
      case kTagActiveArea: {
        double a[4];
        if (read_numbers(p, e, a, 4) == 4) {
          for (int i = 0; i < 4; i++) ifd.active[i] = to_uint(a[i]);
          ifd.has_active = 1;
        }
        break;
      }
      case kTagColorMatrix1: read_matrix(p, e, prof.color_matrix[0], &prof.color_matrix_count[0], kMaxColors * 3); break;
      case kTagColorMatrix2: read_matrix(p, e, prof.color_matrix[1], &prof.color_matrix_count[1], kMaxColors * 3); break;
      case kTagCameraCalibration1:
        read_matrix(p, e, prof.calibration[0], &prof.calibration_count[0], kMaxColors * kMaxColors);
        break;
      case kTagCameraCalibration2:
        read_matrix(p, e, prof.calibration[1], &prof.calibration_count[1], kMaxColors * kMaxColors);
        break;
      case kTagAnalogBalance: read_matrix(p, e, prof.analog_balance, &prof.analog_balance_count, kMaxColors); break;
      case kTagAsShotNeutral: read_matrix(p, e, prof.neutral, &prof.neutral_count, kMaxColors); break;
      case kTagAsShotWhiteXy:
        if (!prof.has_white_xy) prof.has_white_xy = read_numbers(p, e, prof.white_xy, 2) == 2;
        break;
      case kTagCalibrationIlluminant1:
        if (!prof.illuminant[0]) prof.illuminant[0] = static_cast<int>(read_uint(p, e));
        break;
      case kTagCalibrationIlluminant2:
        if (!prof.illuminant[1]) prof.illuminant[1] = static_cast<int>(read_uint(p, e));
        break;
      default: break;
    }
  }
  return true;
}

// Colour temperature of the EXIF light sources DNG profiles are made for.
double illuminant_kelvin(int light) {
  switch (light) {
    case 3: return 2850;   // tungsten
    case 17: return 2856;  // standard light A
    case 24: return 3200;  // studio tungsten
    case 15: return 3450;  // white fluorescent
    case 14: return 4150;  // cool white fluorescent
    case 2: return 4200;   // fluorescent
    case 18: return 4874;  // standard light B
    case 13: return 5000;  // day white fluorescent
    case 23: return 5003;  // D50
    case 20: return 5503;  // D55
    case 1: case 4: case 9: return 5500;
    case 12: return 6400;  // daylight fluorescent
    case 10: return 6500;  // cloudy
    case 21: return 6504;  // D65
    case 19: return 6774;  // standard light C
    case 11: return 7500;  // shade
    case 22: return 7504;  // D75
    default: return 5000;
  }
}

// Inverts an n x n matrix in place (Gauss-Jordan); false when singular.
bool invert(double* m, int n) {
  double a[4][8];
  for (int i = 0; i < n; i++)
    for (int j = 0; j < 2 * n; j++) a[i][j] = j < n ? m[i * n + j] : (j - n == i);
  for (int col = 0; col < n; col++) {
    int pivot = col;
    for (int r = col + 1; r < n; r++)
      if (fabs(a[r][col]) > fabs(a[pivot][col])) pivot = r;
    if (fabs(a[pivot][col]) < 1e-12) return false;
    for (int j = 0; j < 2 * n; j++) {
      double t = a[col][j];
      a[col][j] = a[pivot][j];
      a[pivot][j] = t;
    }
    double d = a[col][col];
    for (int j = 0; j < 2 * n; j++) a[col][j] /= d;
    for (int r = 0; r < n; r++) {
      if (r == col) continue;
      double f = a[r][col];
      for (int j = 0; j < 2 * n; j++) a[r][j] -= f * a[col][j];
    }
  }
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++) m[i * n + j] = a[i][j + n];
  return true;
}

// From the profile's XYZ-to-camera matrix: daylight multipliers, the
// camera-to-sRGB matrix and the as-shot multipliers.
void set_colour(rawdec_context* ctx, const Profile& prof) {
  const int colors = ctx->colors;
  for (int c = 0; c < 4; c++) ctx->pre_mul[c] = 1;
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 4; j++) ctx->rgb_cam[i][j] = i == j;
  if (colors == 1) {
    ctx->raw_color = 1;
    return;
  }

  int which = -1;
  for (int k = 0; k < 2; k++) {
    if (prof.color_matrix_count[k] != unsigned(colors * 3)) continue;
    if (which < 0 || fabs(illuminant_kelvin(prof.illuminant[k]) - 6504) <
                         fabs(illuminant_kelvin(prof.illuminant[which]) - 6504))
      which = k;
  }
  double xyz_cam[kMaxColors][3];  // camera from XYZ
  bool have_matrix = which >= 0;
  if (have_matrix) {
    double cc[kMaxColors][kMaxColors];
    for (int i = 0; i < colors; i++)
      for (int j = 0; j < colors; j++)
        cc[i][j] = prof.calibration_count[which] == unsigned(colors * colors) ? prof.calibration[which][i * colors + j]
                                                                              : (i == j);
    for (int i = 0; i < colors; i++) {
      double ab = prof.analog_balance_count == unsigned(colors) ? prof.analog_balance[i] : 1;
      for (int j = 0; j < 3; j++) {
        double sum = 0;
        for (int k = 0; k < colors; k++) sum += cc[i][k] * prof.color_matrix[which][k * 3 + j];
        xyz_cam[i][j] = ab * sum;
      }
    }
  }

  if (prof.neutral_count == unsigned(colors)) {
    bool ok = true;
    for (int c = 0; c < colors; c++) ok &= prof.neutral[c] > 1e-6;
    if (ok)
      for (int c = 0; c < colors; c++) ctx->cam_mul[c] = static_cast<float>(1 / prof.neutral[c]);
  } else if (prof.has_white_xy && have_matrix && prof.white_xy[1] > 1e-6) {
    double x = prof.white_xy[0], y = prof.white_xy[1];
    double xyz[3] = {x / y, 1, (1 - x - y) / y};
    bool ok = true;
    float mul[4];
    for (int c = 0; c < colors; c++) {
      double n = xyz_cam[c][0] * xyz[0] + xyz_cam[c][1] * xyz[1] + xyz_cam[c][2] * xyz[2];
      ok &= n > 1e-6;
      mul[c] = ok ? static_cast<float>(1 / n) : 0;
    }
    if (ok)
      for (int c = 0; c < colors; c++) ctx->cam_mul[c] = mul[c];
  }
  if (colors == 3 && ctx->filters) ctx->cam_mul[3] = ctx->cam_mul[1];

  if (!have_matrix) {
    ctx->raw_color = 1;
    return;
  }
  // Camera from sRGB, rows normalised so that white gives equal values after
  // the daylight multipliers.
  double cam_rgb[kMaxColors][3];
  for (int i = 0; i < colors; i++) {
    double sum = 0;
    for (int j = 0; j < 3; j++) {
      cam_rgb[i][j] = 0;
      for (int k = 0; k < 3; k++) cam_rgb[i][j] += xyz_cam[i][k] * rawdec_xyz_rgb[k][j];
      sum += cam_rgb[i][j];
    }
    if (sum < 1e-6) {
      ctx->raw_color = 1;
      return;
    }
    for (int j = 0; j < 3; j++) cam_rgb[i][j] /= sum;
    ctx->pre_mul[i] = static_cast<float>(1 / sum);
  }
  if (colors == 3 && ctx->filters) ctx->pre_mul[3] = ctx->pre_mul[1];
  // sRGB from camera: the pseudo-inverse (A^T A)^-1 A^T.
  double ata[9];
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) {
      ata[i * 3 + j] = 0;
      for (int k = 0; k < colors; k++) ata[i * 3 + j] += cam_rgb[k][i] * cam_rgb[k][j];
    }
  if (!invert(ata, 3)) {
    ctx->raw_color = 1;
    return;
  }
  for (int i = 0; i < 3; i++)
    for (int k = 0; k < colors; k++) {
      double sum = 0;
      for (int j = 0; j < 3; j++) sum += ata[i * 3 + j] * cam_rgb[k][j];
      ctx->rgb_cam[i][k] = static_cast<float>(sum);
    }
  ctx->raw_color = ctx->output_color == 0;
}

// TIFF orientation to flip bits (transpose first, then vertical, then horizontal).
int orientation_flip(int orientation) {
  static const int flips[9] = {0, 0, 1, 3, 2, 4, 6, 7, 5};
  return orientation >= 1 && orientation <= 8 ? flips[orientation] : 0;
}

bool is_pow2_le(uint32_t v, uint32_t max) { return v >= 1 && v <= max && (v & (v - 1)) == 0; }

// Reads a SHORT or LONG array into a malloc'ed block recorded in the context.
uint32_t* read_uint_array(Parser& p, const Entry& e, uint32_t n, const char* where) {
  unsigned size = type_size(e.type);
  uint8_t* raw = static_cast<uint8_t*>(rawdec_alloc(p.ctx, n, size, where));
  uint32_t* out = static_cast<uint32_t*>(calloc(n ? n : 1, sizeof(uint32_t)));
  rawdec_merror(p.ctx, out, where);
  bool ok = rawdec_read_at(p.ctx, e.data_at, raw, size_t(n) * size);
  for (uint32_t i = 0; ok && i < n; i++) out[i] = size == 2 ? get2(p.ctx, raw + i * 2) : get4(p.ctx, raw + i * 4);
  rawdec_release(p.ctx, raw);
  return out;
}

// Sets everything about the raw data from the chosen IFD; returns false when
// the file is not a usable DNG.
bool use_raw_ifd(Parser& p, const Ifd& ifd) {
  rawdec_context* ctx = p.ctx;
  const Profile& prof = *p.profile;
  if (!ifd.width || !ifd.height || ifd.width > 65535 || ifd.height > 65535) return false;
  if (!ifd.has_offsets || !ifd.has_byte_counts) return false;
  if (ifd.offsets.type != 3 && ifd.offsets.type != 4 && ifd.offsets.type != 13) return false;
  if (ifd.byte_counts.type != 3 && ifd.byte_counts.type != 4) return false;

  ctx->is_raw = 1;
  ctx->is_dng = 1;
  ctx->raw_width = static_cast<uint16_t>(ifd.width);
  ctx->raw_height = static_cast<uint16_t>(ifd.height);
  ctx->tiff_bps = static_cast<int>(ifd.bps);
  ctx->tiff_samples = static_cast<int>(ifd.spp);
  ctx->tiff_compress = static_cast<int>(ifd.compression);
  ctx->tiff_planar = static_cast<int>(ifd.planar);

  // Chunks: tiles when the tile tags are there, else strips.
  uint64_t chunks;
  if (ifd.tile_width || ifd.tile_length) {
    if (!ifd.tile_width || !ifd.tile_length || ifd.tile_width > 65535 || ifd.tile_length > 65535) return false;
    ctx->tile_width = ifd.tile_width;
    ctx->tile_length = ifd.tile_length;
    chunks = uint64_t((ifd.width + ifd.tile_width - 1) / ifd.tile_width) *
             ((ifd.height + ifd.tile_length - 1) / ifd.tile_length);
  } else {
    ctx->rows_per_strip = ifd.rows_per_strip && ifd.rows_per_strip < ifd.height ? ifd.rows_per_strip : ifd.height;
    chunks = (ifd.height + ctx->rows_per_strip - 1) / ctx->rows_per_strip;
  }
  if (ifd.offsets.count < chunks || ifd.byte_counts.count < chunks) return false;
  ctx->chunk_count = static_cast<uint32_t>(chunks);
  ctx->chunk_offsets = read_uint_array(p, ifd.offsets, ctx->chunk_count, "rawdec_identify()");
  ctx->chunk_sizes = read_uint_array(p, ifd.byte_counts, ctx->chunk_count, "rawdec_identify()");
  ctx->data_offset = ctx->chunk_offsets[0];
  uint64_t stored = 0;
  for (uint32_t i = 0; i < ctx->chunk_count; i++) {
    // A chunk that reaches past the end keeps what is there.
    int64_t end = int64_t(ctx->chunk_offsets[i]) + ctx->chunk_sizes[i];
    if (ctx->chunk_offsets[i] >= p.file_size) ctx->chunk_sizes[i] = 0;
    else if (end > p.file_size) ctx->chunk_sizes[i] = static_cast<uint32_t>(p.file_size - ctx->chunk_offsets[i]);
    stored += ctx->chunk_sizes[i];
  }

  // The visible picture: active area, then the default crop inside it.
  uint32_t top = 0, left = 0, bottom = ifd.height, right = ifd.width;
  if (ifd.has_active && ifd.active[0] < ifd.active[2] && ifd.active[1] < ifd.active[3] &&
      ifd.active[2] <= ifd.height && ifd.active[3] <= ifd.width) {
    top = ifd.active[0];
    left = ifd.active[1];
    bottom = ifd.active[2];
    right = ifd.active[3];
  }
  uint32_t crop_top = 0, crop_left = 0;
  if (ifd.has_crop == 3 && ifd.crop_size[0] >= 1 && ifd.crop_size[1] >= 1) {
    uint64_t cl = to_uint(ifd.crop_origin[0]), ct = to_uint(ifd.crop_origin[1]);
    uint64_t cw = to_uint(ifd.crop_size[0]), ch = to_uint(ifd.crop_size[1]);
    if (cl + cw <= right - left && ct + ch <= bottom - top) {
      crop_left = static_cast<uint32_t>(cl);
      crop_top = static_cast<uint32_t>(ct);
      right = static_cast<uint32_t>(left + cl + cw);
      bottom = static_cast<uint32_t>(top + ct + ch);
    }
  }
  ctx->top_margin = static_cast<uint16_t>(top + crop_top);
  ctx->left_margin = static_cast<uint16_t>(left + crop_left);
  ctx->height = static_cast<uint16_t>(bottom - ctx->top_margin);
  ctx->width = static_cast<uint16_t>(right - ctx->left_margin);
  ctx->iheight = ctx->height;
  ctx->iwidth = ctx->width;

  // Colours and the filter pattern (its phase is that of the active area).
  uint8_t cell_color[64];
  if (ifd.photometric == kPhotometricCfa) {
    if (ifd.spp != 1 || ifd.cfa_layout != 1 || !is_pow2_le(ifd.cfa_rows, 8) || !is_pow2_le(ifd.cfa_cols, 2) ||
        ifd.has_cfa_pattern != int(ifd.cfa_rows * ifd.cfa_cols))
      return true;  // a raw file, but no loader fits
    uint8_t planes[4] = {0, 1, 2, 0};
    int plane_count = 3;
    if (ifd.plane_count >= 3) {
      memcpy(planes, ifd.plane_color, 4);
      plane_count = ifd.plane_count;
    }
    int seen = 0;
    for (uint32_t i = 0; i < ifd.cfa_rows * ifd.cfa_cols; i++) {
      uint8_t v = ifd.cfa_pattern[i];
      if (v >= plane_count || planes[v] > 2) return true;  // only red, green and blue filters
      cell_color[i] = planes[v];
      seen |= 1 << planes[v];
    }
    if (seen != 7) return true;
    ctx->colors = 3;
    for (uint32_t r = 0; r < 8; r++)
      for (uint32_t c = 0; c < 2; c++) {
        uint32_t color = cell_color[((r + crop_top) % ifd.cfa_rows) * ifd.cfa_cols + (c + crop_left) % ifd.cfa_cols];
        ctx->filters |= color << ((r * 2 + c) * 2);
      }
  } else {
    if (ifd.spp != 1 && ifd.spp != 3 && ifd.spp != 4) return true;
    if (ifd.spp > 1 && ifd.planar != 1) return true;
    ctx->colors = static_cast<int>(ifd.spp);
  }

  // Levels. Black is given per cell of a repeating block and per sample;
  // we keep one value per colour.
  int max_bits = ifd.compression == 7 ? 16 : static_cast<int>(ifd.bps);
  if (ifd.compression == 1 && (ifd.bps < 1 || ifd.bps > 16)) return true;
  if (ifd.has_linearization) {
    uint32_t n = ifd.linearization.count;
    ctx->curve = static_cast<uint16_t*>(calloc(0x10000, sizeof(uint16_t)));
    rawdec_merror(ctx, ctx->curve, "rawdec_identify()");
    uint8_t* table = static_cast<uint8_t*>(rawdec_alloc(ctx, n, 2, "rawdec_identify()"));
    if (rawdec_read_at(ctx, ifd.linearization.data_at, table, size_t(n) * 2))
      for (uint32_t i = 0; i < 0x10000; i++) ctx->curve[i] = get2(ctx, table + 2 * (i < n ? i : n - 1));
    rawdec_release(ctx, table);
  }
  unsigned maximum = 0;
  if (ifd.white_count) {
    double w = ifd.white[0];
    for (unsigned i = 1; i < ifd.white_count && i < ifd.spp; i++) w = ifd.white[i] < w ? ifd.white[i] : w;
    maximum = w >= 1 && w <= 65535 ? static_cast<unsigned>(w) : 0;
  }
  if (!maximum) {
    if (ctx->curve) {
      for (uint32_t i = 0; i < 0x10000; i++) maximum = ctx->curve[i] > maximum ? ctx->curve[i] : maximum;
    } else {
      maximum = max_bits >= 16 ? 0xFFFF : (1u << max_bits) - 1;
    }
  }
  ctx->maximum = maximum ? maximum : 1;

  uint32_t brows = ifd.black_rows ? ifd.black_rows : 1, bcols = ifd.black_cols ? ifd.black_cols : 1;
  double black[4] = {0, 0, 0, 0};
  if (ifd.black_count && brows <= 8 && bcols <= 8 && uint64_t(brows) * bcols * ifd.spp == ifd.black_count) {
    double sum[4] = {0, 0, 0, 0}, count[4] = {0, 0, 0, 0};
    for (uint32_t r = 0; r < 8 * brows; r++)
      for (uint32_t c = 0; c < 2 * bcols; c++)
        for (uint32_t s = 0; s < ifd.spp; s++) {
          double v = ifd.black[((r % brows) * bcols + c % bcols) * ifd.spp + s];
          int color = ctx->filters ? cell_color[(r % ifd.cfa_rows) * ifd.cfa_cols + c % ifd.cfa_cols]
                                   : static_cast<int>(s);
          sum[color] += v;
          count[color]++;
        }
    for (int c = 0; c < 4; c++) black[c] = count[c] ? sum[c] / count[c] : 0;
  }
  unsigned low = 65535, rounded[4] = {0, 0, 0, 0};
  for (int c = 0; c < ctx->colors; c++) {
    rounded[c] = static_cast<unsigned>(rawdec_clip16(black[c] + 0.5));
    low = rounded[c] < low ? rounded[c] : low;
  }
  ctx->black = low;
  bool sane = true;
  for (int c = 0; c < ctx->colors; c++) {
    ctx->cblack[c] = rounded[c] - ctx->black;
    sane &= ctx->black + ctx->cblack[c] < ctx->maximum;
  }
  if (!sane) {  // levels that leave no range: ignore the black level
    ctx->black = 0;
    memset(ctx->cblack, 0, sizeof ctx->cblack);
  }

  if (ifd.default_scale[0] > 0 && ifd.default_scale[1] > 0) {
    double aspect = ifd.default_scale[0] / ifd.default_scale[1];
    if (aspect >= 0.25 && aspect <= 4) ctx->pixel_aspect = aspect;
  }
  set_colour(ctx, prof);

  // The smallest encoding of the declared picture must fit in the data:
  // damaged sizes must not make the caller allocate gigabytes.
  uint64_t samples = uint64_t(ifd.width) * ifd.height * ifd.spp;
  uint64_t min_bytes = ifd.compression == 7 ? samples / 8 : samples * ifd.bps / 8 / 2;
  if (min_bytes > stored) {
    ctx->is_raw = 0;
    return false;
  }

  if (ifd.compression == 1)
    ctx->load_raw = ifd.bps == 8 || ifd.bps == 16 ? rawdec_unpacked_load_raw : rawdec_packed_load_raw;
  else if (ifd.compression == 7)
    ctx->load_raw = rawdec_lossless_jpeg_load_raw;
  return true;
}

}  // namespace

const double rawdec_xyz_rgb[3][3] = {
    {0.412453, 0.357580, 0.180423},
    {0.212671, 0.715160, 0.072169},
    {0.019334, 0.119193, 0.950227},
};

void rawdec_identify(rawdec_context* ctx) {
  // Forget any earlier result so that a context can identify again.
  free(ctx->curve);
  free(ctx->chunk_offsets);
  free(ctx->chunk_sizes);
  ctx->curve = nullptr;
  ctx->chunk_offsets = ctx->chunk_sizes = nullptr;
  ctx->is_raw = ctx->is_dng = 0;
  ctx->load_raw = nullptr;
  ctx->filters = 0;
  ctx->colors = 0;
  ctx->flip = 0;
  ctx->fuji_width = 0;
  ctx->meta_length = 0;
  ctx->make[0] = ctx->model[0] = 0;
  memset(ctx->cam_mul, 0, sizeof ctx->cam_mul);
  memset(ctx->cmatrix, 0, sizeof ctx->cmatrix);
  ctx->raw_height = ctx->raw_width = ctx->height = ctx->width = ctx->iheight = ctx->iwidth = 0;
  ctx->top_margin = ctx->left_margin = 0;
  ctx->tile_width = ctx->tile_length = ctx->rows_per_strip = ctx->chunk_count = 0;
  ctx->black = ctx->maximum = 0;
  memset(ctx->cblack, 0, sizeof ctx->cblack);
  ctx->pixel_aspect = 1;
  ctx->data_offset = 0;
  ctx->data_error = 0;

  Parser p;
  memset(&p, 0, sizeof p);
  p.ctx = ctx;
  p.file_size = rawdec_stream_size(ctx);
  uint8_t head[8];
  if (p.file_size < 8 || !rawdec_read_at(ctx, 0, head, 8)) return;
  if (head[0] == 'I' && head[1] == 'I') ctx->big_endian = 0;
  else if (head[0] == 'M' && head[1] == 'M') ctx->big_endian = 1;
  else return;
  if (get2(ctx, head + 2) != 42) return;

  p.profile = static_cast<Profile*>(rawdec_alloc(ctx, 1, sizeof(Profile), "rawdec_identify()"));
  p.ifds = static_cast<Ifd*>(rawdec_alloc(ctx, kMaxIfds, sizeof(Ifd), "rawdec_identify()"));
  uint32_t next = get4(ctx, head + 4);
  for (int chain = 0; chain < kMaxIfds && next; chain++) {
    if (!parse_ifd(p, next, 0)) break;
    uint8_t buf[4];
    uint8_t cnt[2];
    // The next-IFD link follows the entries.
    if (!rawdec_read_at(ctx, next, cnt, 2) || !rawdec_read_at(ctx, next + 2 + int64_t(get2(ctx, cnt)) * 12, buf, 4))
      break;
    next = get4(ctx, buf);
  }

  const Profile& prof = *p.profile;
  if (prof.dng_version[0]) {
    // The raw image: full resolution (not a reduced preview), the largest one.
    int best = -1;
    for (int i = 0; i < p.ifd_count; i++) {
      const Ifd& f = p.ifds[i];
      if ((f.subfile_type & 1) || (f.photometric != kPhotometricCfa && f.photometric != kPhotometricLinearRaw))
        continue;
      if (best < 0 || uint64_t(f.width) * f.height > uint64_t(p.ifds[best].width) * p.ifds[best].height) best = i;
    }
    if (best >= 0 && !use_raw_ifd(p, p.ifds[best])) ctx->is_raw = 0;
    if (ctx->is_raw) {
      memcpy(ctx->make, prof.make, sizeof ctx->make);
      memcpy(ctx->model, prof.model[0] ? prof.model : prof.unique_model, sizeof ctx->model);
      ctx->timestamp = prof.timestamp;
      ctx->flip = orientation_flip(prof.orientation);
    }
  }
  if (!ctx->is_raw) ctx->load_raw = nullptr;
  if (ctx->user_flip >= 0) ctx->flip = ctx->user_flip & 7;
  rawdec_release(ctx, p.ifds);
  rawdec_release(ctx, p.profile);
}
