// Development steps between the raw loader and the output: pixel repair,
// levels and white balance, highlight handling, geometry, colour and gamma.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#ifdef _WIN32
#include <direct.h>
#define getcwd _getcwd
#else
#include <unistd.h>
#endif

#include "rawdec_internal.h"

namespace {

uint64_t pixel_count(const rawdec_context* ctx) { return uint64_t(ctx->iheight) * ctx->iwidth; }

// Colour slot of a pixel of the image buffer before demosaicing.
int slot_at(const rawdec_context* ctx, int row, int col) {
  return ctx->filters ? rawdec_fc(ctx, row, col) : 0;
}

// Mean of the same-colour neighbours within `radius` that `usable` accepts.
template <typename Usable>
bool neighbour_mean(const rawdec_context* ctx, int row, int col, int color, int radius, Usable usable, unsigned* out) {
  uint64_t sum = 0;
  unsigned n = 0;
  for (int r = row - radius; r <= row + radius; r++)
    for (int c = col - radius; c <= col + radius; c++) {
      if (r < 0 || c < 0 || r >= ctx->iheight || c >= ctx->iwidth || (r == row && c == col)) continue;
      if (ctx->filters && rawdec_fc(ctx, r, c) != color) continue;
      unsigned v = ctx->image[int64_t(r) * ctx->iwidth + c][color];
      if (!usable(r, c, v)) continue;
      sum += v;
      n++;
    }
  if (!n) return false;
  *out = static_cast<unsigned>(sum / n);
  return true;
}

}  // namespace

void rawdec_remove_zeroes(rawdec_context* ctx) {
  if (!ctx->image || !ctx->filters || ctx->shrink) return;
  for (int row = 0; row < ctx->iheight; row++)
    for (int col = 0; col < ctx->iwidth; col++) {
      int color = rawdec_fc(ctx, row, col);
      uint16_t& v = ctx->image[int64_t(row) * ctx->iwidth + col][color];
      if (v) continue;
      unsigned mean;
      if (neighbour_mean(ctx, row, col, color, 2, [](int, int, unsigned x) { return x != 0; }, &mean))
        v = static_cast<uint16_t>(mean);
    }
}

namespace {

void repair_pixel(rawdec_context* ctx, int row, int col) {
  if (ctx->shrink || row < 0 || col < 0 || row >= ctx->iheight || col >= ctx->iwidth) return;
  uint16_t* px = ctx->image[int64_t(row) * ctx->iwidth + col];
  if (ctx->filters) {
    int color = rawdec_fc(ctx, row, col);
    unsigned mean;
    if (neighbour_mean(ctx, row, col, color, 2, [](int, int, unsigned) { return true; }, &mean))
      px[color] = static_cast<uint16_t>(mean);
  } else {
    for (int c = 0; c < ctx->colors; c++) {
      unsigned mean;
      if (neighbour_mean(ctx, row, col, c, 1, [](int, int, unsigned) { return true; }, &mean))
        px[c] = static_cast<uint16_t>(mean);
    }
  }
}

// Lines "column row [unix-time]"; '#' starts a comment. A pixel listed with a
// time is bad in pictures taken after that time.
void apply_bad_pixel_list(rawdec_context* ctx, FILE* list) {
  char line[256];
  while (fgets(line, sizeof line, list)) {
    char* hash = strchr(line, '#');
    if (hash) *hash = 0;
    long long col, row, since = 0;
    int n = sscanf(line, "%lld %lld %lld", &col, &row, &since);
    if (n < 2 || col < 0 || row < 0 || col >= ctx->iwidth || row >= ctx->iheight) continue;
    if (since && ctx->timestamp && since > ctx->timestamp) continue;
    repair_pixel(ctx, static_cast<int>(row), static_cast<int>(col));
  }
}

}  // namespace

void rawdec_bad_pixels(rawdec_context* ctx) {
  if (!ctx->image) return;
  char* path = static_cast<char*>(rawdec_alloc(ctx, 4096 + 16, 1, "rawdec_bad_pixels()"));
  if (getcwd(path, 4096)) {
    size_t len = strlen(path);
    for (;;) {
      while (len && (path[len - 1] == '/' || path[len - 1] == '\\')) len--;
      memcpy(path + len, "/.badpixels", 12);
      FILE* list = fopen(path, "r");
      if (list) {
        apply_bad_pixel_list(ctx, list);
        fclose(list);
        break;
      }
      // Up one folder; stop at the root.
      while (len && path[len - 1] != '/' && path[len - 1] != '\\') len--;
      if (!len) break;
      path[len] = 0;
      if (len == 1 || (len == 3 && path[1] == ':')) {
        memcpy(path + len, ".badpixels", 11);
        FILE* root = fopen(path, "r");
        if (root) {
          apply_bad_pixel_list(ctx, root);
          fclose(root);
        }
        break;
      }
    }
  }
  rawdec_release(ctx, path);
}

namespace {

// Reads one header number of a PGM file, skipping blanks and comments.
bool pgm_number(FILE* f, long* out) {
  int ch = fgetc(f);
  for (;;) {
    while (ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n') ch = fgetc(f);
    if (ch != '#') break;
    while (ch != '\n' && ch != EOF) ch = fgetc(f);
  }
  if (ch < '0' || ch > '9') return false;
  long v = 0;
  while (ch >= '0' && ch <= '9') {
    if (v > 1000000) return false;
    v = v * 10 + (ch - '0');
    ch = fgetc(f);
  }
  *out = v;
  return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n';  // one blank ends the header
}

}  // namespace

void rawdec_subtract(rawdec_context* ctx, const char* fname) {
  if (!ctx->image || !fname) return;
  FILE* f = fopen(fname, "rb");
  if (!f) {
    rawdec_data_error(ctx, "cannot open dark frame %s", fname);
    return;
  }
  long w = 0, h = 0, maxval = 0;
  bool ok = fgetc(f) == 'P' && fgetc(f) == '5' && pgm_number(f, &w) && pgm_number(f, &h) && pgm_number(f, &maxval);
  if (!ok || maxval < 256 || maxval > 65535) {
    rawdec_data_error(ctx, "%s is not a 16-bit grayscale PGM file", fname);
  } else if (w != ctx->width || h != ctx->height || !ctx->filters || ctx->shrink) {
    rawdec_data_error(ctx, "dark frame %s does not match the picture", fname);
  } else {
    uint8_t* row_data = static_cast<uint8_t*>(rawdec_alloc(ctx, uint64_t(w), 2, "rawdec_subtract()"));
    for (int row = 0; row < ctx->height; row++) {
      if (fread(row_data, 2, size_t(w), f) != size_t(w)) {
        rawdec_data_error(ctx, "dark frame %s ends early", fname);
        break;
      }
      for (int col = 0; col < ctx->width; col++) {
        uint16_t& v = ctx->image[int64_t(row) * ctx->iwidth + col][rawdec_fc(ctx, row, col)];
        unsigned dark = unsigned(row_data[col * 2]) << 8 | row_data[col * 2 + 1];
        v = static_cast<uint16_t>(v > dark ? v - dark : 0);
      }
    }
    rawdec_release(ctx, row_data);
    // The dark frame carries the black level with it.
    ctx->black = 0;
    memset(ctx->cblack, 0, sizeof ctx->cblack);
  }
  fclose(f);
}

namespace {

// Grey-world multipliers from the box, leaving out 8x8 blocks near saturation.
bool auto_white_balance(rawdec_context* ctx, const unsigned black[4], float mul[4]) {
  double sum[4] = {0, 0, 0, 0};
  int sh = ctx->shrink;
  int left = ctx->wb_box[0] > 0 ? ctx->wb_box[0] >> sh : 0;
  int top = ctx->wb_box[1] > 0 ? ctx->wb_box[1] >> sh : 0;
  int right = ctx->wb_box[2] >= 0 ? ctx->wb_box[2] >> sh : ctx->iwidth;
  int bottom = ctx->wb_box[3] >= 0 ? ctx->wb_box[3] >> sh : ctx->iheight;
  if (right > ctx->iwidth) right = ctx->iwidth;
  if (bottom > ctx->iheight) bottom = ctx->iheight;
  for (int by = top; by < bottom; by += 8)
    for (int bx = left; bx < right; bx += 8) {
      double block[4] = {0, 0, 0, 0};
      bool clipped = false;
      for (int r = by; r < by + 8 && r < bottom && !clipped; r++)
        for (int c = bx; c < bx + 8 && c < right; c++)
          for (int k = 0; k < 4; k++) {
            unsigned v = ctx->image[int64_t(r) * ctx->iwidth + c][k];
            if (!v) continue;
            if (v + 25 > ctx->maximum) clipped = true;
            block[k] += v > black[k] ? v - black[k] : 0;
          }
      if (!clipped)
        for (int k = 0; k < 4; k++) sum[k] += block[k];
    }
  for (int k = 0; k < ctx->colors; k++)
    if (sum[k] <= 0) return false;
  for (int k = 0; k < 4; k++) mul[k] = sum[k] > 0 ? static_cast<float>(1 / sum[k]) : 0;
  if (ctx->filters && ctx->colors == 3) {
    // Both greens count as one colour.
    double g = sum[1] + sum[3];
    mul[1] = mul[3] = static_cast<float>(1 / g);
    // Green sites are twice as many as red or blue ones.
    mul[0] = static_cast<float>(mul[0] * 0.5);
    mul[2] = static_cast<float>(mul[2] * 0.5);
    if (ctx->shrink) mul[1] = mul[3] = static_cast<float>(2 / g);
  }
  return true;
}

// Magnifies one colour plane of a full-colour picture about its centre.
void scale_plane(rawdec_context* ctx, int color, double factor) {
  const int h = ctx->iheight, w = ctx->iwidth;
  uint16_t* plane = static_cast<uint16_t*>(rawdec_alloc(ctx, pixel_count(ctx), 2, "rawdec_scale_colors()"));
  for (uint64_t i = 0; i < pixel_count(ctx); i++) plane[i] = ctx->image[i][color];
  double cy = (h - 1) / 2.0, cx = (w - 1) / 2.0;
  for (int r = 0; r < h; r++)
    for (int c = 0; c < w; c++) {
      double y = cy + (r - cy) / factor, x = cx + (c - cx) / factor;
      if (y < 0) y = 0;
      if (x < 0) x = 0;
      if (y > h - 1) y = h - 1;
      if (x > w - 1) x = w - 1;
      int y0 = static_cast<int>(y), x0 = static_cast<int>(x);
      int y1 = y0 + 1 < h ? y0 + 1 : y0, x1 = x0 + 1 < w ? x0 + 1 : x0;
      double fy = y - y0, fx = x - x0;
      double v = (plane[int64_t(y0) * w + x0] * (1 - fx) + plane[int64_t(y0) * w + x1] * fx) * (1 - fy) +
                 (plane[int64_t(y1) * w + x0] * (1 - fx) + plane[int64_t(y1) * w + x1] * fx) * fy;
      ctx->image[int64_t(r) * w + c][color] = static_cast<uint16_t>(rawdec_clip16(v + 0.5));
    }
  rawdec_release(ctx, plane);
}

}  // namespace

void rawdec_scale_colors(rawdec_context* ctx) {
  if (!ctx->image || ctx->colors < 1) return;
  // No white level: the samples are 16-bit.
  const unsigned maximum = ctx->maximum ? ctx->maximum : 0xFFFF;
  unsigned black[4];
  bool has_range = true;
  for (int c = 0; c < 4; c++) {
    unsigned cb = ctx->user_black >= 0 ? 0 : ctx->cblack[c < ctx->colors ? c : 1];
    black[c] = ctx->black + cb;
    has_range &= black[c] < maximum;
  }
  // A black level at or above white (a user's, or a caller's) leaves no range
  // to scale: it is ignored, as identify ignores such levels in a file, so the
  // picture keeps its tones instead of every sample becoming black or white.
  if (!has_range) memset(black, 0, sizeof black);
  if (ctx->filters && ctx->colors == 3) black[3] = black[1];

  float mul[4];
  memcpy(mul, ctx->pre_mul, sizeof mul);
  if (ctx->use_camera_wb && ctx->cam_mul[0] > 0) memcpy(mul, ctx->cam_mul, sizeof mul);
  if (ctx->use_auto_wb || (ctx->use_camera_wb && ctx->cam_mul[0] <= 0)) {
    float automatic[4];
    if (auto_white_balance(ctx, black, automatic)) memcpy(mul, automatic, sizeof mul);
  }
  if (ctx->filters && ctx->colors == 3) mul[3] = mul[1];
  const int used = ctx->filters && ctx->colors == 3 ? 4 : ctx->colors;
  float low = 0, high = 0;
  for (int c = 0; c < used; c++) {
    if (!(mul[c] > 0) || !std::isfinite(mul[c])) mul[c] = 1;
    if (!low || mul[c] < low) low = mul[c];
    if (mul[c] > high) high = mul[c];
  }
  // Clipping highlights: the weakest channel reaches white, so saturated
  // areas stay white. Otherwise no channel clips here and later steps can
  // rebuild the highlights.
  float norm = ctx->highlight ? high : low;
  float scale[4] = {0, 0, 0, 0};
  for (int c = 0; c < used; c++) {
    scale[c] = mul[c] / norm * 65535.0f / float(maximum - black[c]);
    float clip = float(maximum - black[c]) * scale[c];
    ctx->clip_level[c] = clip > 65535 ? 65535 : clip;
  }
  const uint64_t n = pixel_count(ctx);
  for (uint64_t i = 0; i < n; i++)
    for (int c = 0; c < used; c++) {
      unsigned v = ctx->image[i][c];
      if (!v) continue;
      double s = v > black[c] ? (v - black[c]) * double(scale[c]) : 0;
      ctx->image[i][c] = static_cast<uint16_t>(rawdec_clip16(s + 0.5));
    }
  if (!ctx->filters && ctx->colors >= 3) {
    for (int c = 0; c < 4; c += 2)
      if (ctx->aber[c] != 1 && ctx->aber[c] > 0.5 && ctx->aber[c] < 2) scale_plane(ctx, c, ctx->aber[c]);
  }
}

void rawdec_pre_interpolate(rawdec_context* ctx) {
  if (!ctx->image || !ctx->shrink) return;
  if (ctx->half_size) {
    // One pixel per 2x2 cell with all its colours: no demosaicing needed.
    ctx->height = ctx->iheight;
    ctx->width = ctx->iwidth;
    if (ctx->filters && ctx->colors == 3) {
      for (uint64_t i = 0; i < pixel_count(ctx); i++) {
        uint16_t* p = ctx->image[i];
        if (p[1] && p[3]) p[1] = static_cast<uint16_t>((p[1] + p[3] + 1) >> 1);
        else if (!p[1]) p[1] = p[3];
        p[3] = 0;
      }
    }
    ctx->filters = 0;
    return;
  }
  // Back to one pixel per photosite for a full-size demosaic.
  uint64_t n = uint64_t(ctx->height) * ctx->width;
  uint16_t(*full)[4] = static_cast<uint16_t(*)[4]>(calloc(static_cast<size_t>(n), sizeof *full));
  rawdec_merror(ctx, full, "rawdec_pre_interpolate()");
  for (int row = 0; row < ctx->height; row++)
    for (int col = 0; col < ctx->width; col++) {
      int color = slot_at(ctx, row, col);
      int slot = ctx->colors == 3 && color == 1 && (row & 1) ? 3 : color;
      full[int64_t(row) * ctx->width + col][color] =
          ctx->image[int64_t(row >> 1) * ctx->iwidth + (col >> 1)][slot];
    }
  free(ctx->image);
  ctx->image = full;
  ctx->iheight = ctx->height;
  ctx->iwidth = ctx->width;
  ctx->shrink = 0;
}

void rawdec_median_filter(rawdec_context* ctx) {
  if (!ctx->image || ctx->med_passes <= 0 || ctx->colors < 3) return;
  const int h = ctx->iheight, w = ctx->iwidth;
  if (h < 3 || w < 3) return;
  int32_t* diff = static_cast<int32_t*>(rawdec_alloc(ctx, pixel_count(ctx), sizeof(int32_t), "rawdec_median_filter()"));
  for (int pass = 0; pass < ctx->med_passes; pass++)
    for (int c = 0; c < 3; c += 2) {
      for (uint64_t i = 0; i < pixel_count(ctx); i++) diff[i] = int32_t(ctx->image[i][c]) - ctx->image[i][1];
      for (int r = 1; r < h - 1; r++)
        for (int col = 1; col < w - 1; col++) {
          int32_t v[9];
          int k = 0;
          for (int dr = -1; dr <= 1; dr++)
            for (int dc = -1; dc <= 1; dc++) v[k++] = diff[int64_t(r + dr) * w + col + dc];
          for (int a = 1; a < 9; a++)  // insertion sort of nine values
            for (int b = a; b > 0 && v[b - 1] > v[b]; b--) {
              int32_t t = v[b];
              v[b] = v[b - 1];
              v[b - 1] = t;
            }
          uint16_t* p = ctx->image[int64_t(r) * w + col];
          p[c] = static_cast<uint16_t>(rawdec_clip16(v[4] + p[1]));
        }
    }
  rawdec_release(ctx, diff);
}

namespace {

// The level from which a value counts as saturated; scaled saturated values
// land within rounding of their clip level.
float lowest_clip(const rawdec_context* ctx) {
  float clip = 65535;
  for (int c = 0; c < ctx->colors && c < 3; c++)
    if (ctx->clip_level[c] > 0 && ctx->clip_level[c] < clip) clip = ctx->clip_level[c];
  return clip > 2 ? clip - 1 : clip;
}

}  // namespace

// Saturated pixels keep the colour of their clipped values and the brightness
// of their unclipped ones, which turns magenta-tinted highlights neutral.
void rawdec_blend_highlights(rawdec_context* ctx) {
  if (!ctx->image || ctx->colors != 3) return;
  const float clip = lowest_clip(ctx);
  for (uint64_t i = 0; i < pixel_count(ctx); i++) {
    uint16_t* p = ctx->image[i];
    if (p[0] < clip && p[1] < clip && p[2] < clip) continue;
    double raw_mean = (p[0] + p[1] + p[2]) / 3.0;
    double clipped[3], clipped_mean = 0;
    for (int c = 0; c < 3; c++) {
      clipped[c] = p[c] < clip ? p[c] : clip;
      clipped_mean += clipped[c] / 3;
    }
    for (int c = 0; c < 3; c++)
      p[c] = static_cast<uint16_t>(rawdec_clip16(clipped[c] + raw_mean - clipped_mean + 0.5));
  }
}

// Rebuilds each saturated channel from the ratio of that channel to the
// others in the nearest unsaturated neighbours.
void rawdec_recover_highlights(rawdec_context* ctx) {
  if (!ctx->image || ctx->colors != 3) return;
  const int h = ctx->iheight, w = ctx->iwidth;
  uint16_t(*src)[4] =
      static_cast<uint16_t(*)[4]>(rawdec_alloc(ctx, pixel_count(ctx), sizeof *src, "rawdec_recover_highlights()"));
  memcpy(src, ctx->image, static_cast<size_t>(pixel_count(ctx)) * sizeof *src);
  const float clip = lowest_clip(ctx);
  for (int r = 0; r < h; r++)
    for (int c = 0; c < w; c++) {
      const uint16_t* p = src[int64_t(r) * w + c];
      for (int k = 0; k < 3; k++) {
        if (p[k] < clip) continue;
        int others = (p[(k + 1) % 3] < clip) + (p[(k + 2) % 3] < clip);
        if (!others) {
          // Saturated in every channel: nothing to go by but that it is white.
          uint16_t* q = ctx->image[int64_t(r) * w + c];
          q[0] = q[1] = q[2] = std::max(p[0], std::max(p[1], p[2]));
          break;
        }
        double ratio_sum = 0;
        int n = 0;
        for (int radius = 2; radius <= 8 && n < 4; radius *= 2)
          for (int y = r - radius; y <= r + radius; y++)
            for (int x = c - radius; x <= c + radius; x++) {
              if (y < 0 || x < 0 || y >= h || x >= w) continue;
              const uint16_t* q = src[int64_t(y) * w + x];
              if (q[0] >= clip || q[1] >= clip || q[2] >= clip) continue;
              double rest = 0, mine = 0;
              for (int j = 1; j <= 2; j++)
                if (p[(k + j) % 3] < clip) {
                  rest += q[(k + j) % 3];
                  mine += 1;
                }
              if (rest < 1 || !mine) continue;
              ratio_sum += q[k] / rest;
              n++;
            }
        if (!n) continue;
        double rest = 0;
        for (int j = 1; j <= 2; j++)
          if (p[(k + j) % 3] < clip) rest += p[(k + j) % 3];
        double v = ratio_sum / n * rest;
        if (v > p[k]) ctx->image[int64_t(r) * w + c][k] = static_cast<uint16_t>(rawdec_clip16(v));
      }
    }
  rawdec_release(ctx, src);
}

// Only sensors whose photosites lie on a 45-degree grid need this, and DNG
// files store their data already rotated: fuji_width is never set for them.
void rawdec_fuji_rotate(rawdec_context* ctx) {
  if (!ctx->fuji_width) return;
}

void rawdec_stretch(rawdec_context* ctx) {
  if (!ctx->image || ctx->pixel_aspect == 1 || !(ctx->pixel_aspect > 0)) return;
  const int h = ctx->iheight, w = ctx->iwidth;
  const bool taller = ctx->pixel_aspect < 1;
  double new_size = taller ? h / ctx->pixel_aspect : w * ctx->pixel_aspect;
  if (new_size + 0.5 > 65535) return;
  const int n = static_cast<int>(new_size + 0.5);
  const int nh = taller ? n : h, nw = taller ? w : n;
  uint16_t(*out)[4] = static_cast<uint16_t(*)[4]>(calloc(static_cast<size_t>(int64_t(nh) * nw), sizeof *out));
  rawdec_merror(ctx, out, "rawdec_stretch()");
  const int src_len = taller ? h : w;
  for (int i = 0; i < n; i++) {
    double pos = taller ? i * ctx->pixel_aspect : i / ctx->pixel_aspect;
    int a = static_cast<int>(pos);
    if (a > src_len - 1) a = src_len - 1;
    int b = a + 1 < src_len ? a + 1 : a;
    double f = pos - a;
    if (f < 0) f = 0;
    const int other = taller ? w : h;
    for (int j = 0; j < other; j++) {
      const uint16_t* pa = taller ? ctx->image[int64_t(a) * w + j] : ctx->image[int64_t(j) * w + a];
      const uint16_t* pb = taller ? ctx->image[int64_t(b) * w + j] : ctx->image[int64_t(j) * w + b];
      uint16_t* q = taller ? out[int64_t(i) * nw + j] : out[int64_t(j) * nw + i];
      for (int c = 0; c < 4; c++) q[c] = static_cast<uint16_t>(rawdec_clip16(pa[c] * (1 - f) + pb[c] * f + 0.5));
    }
  }
  free(ctx->image);
  ctx->image = out;
  ctx->height = ctx->iheight = static_cast<uint16_t>(nh);
  ctx->width = ctx->iwidth = static_cast<uint16_t>(nw);
  ctx->pixel_aspect = 1;
}

void rawdec_convert_to_rgb(rawdec_context* ctx) {
  if (!ctx->image) return;
  if (!ctx->histogram) {
    ctx->histogram = static_cast<int*>(calloc(4 * 0x2000, sizeof(int)));
    rawdec_merror(ctx, ctx->histogram, "rawdec_convert_to_rgb()");
  }
  memset(ctx->histogram, 0, 4 * 0x2000 * sizeof(int));
  const bool document = ctx->document_mode && ctx->filters;
  const bool copy = ctx->raw_color || ctx->colors < 3;
  for (int row = 0; row < ctx->iheight; row++)
    for (int col = 0; col < ctx->iwidth; col++) {
      uint16_t* p = ctx->image[int64_t(row) * ctx->iwidth + col];
      int out[3];
      if (document) {
        out[0] = out[1] = out[2] = p[rawdec_fc(ctx, row, col)];
      } else if (ctx->colors == 1) {
        out[0] = out[1] = out[2] = p[0];
      } else if (copy) {
        for (int c = 0; c < 3; c++) out[c] = p[c];
      } else {
        for (int c = 0; c < 3; c++) {
          float v = 0;
          for (int k = 0; k < ctx->colors; k++) v += ctx->rgb_cam[c][k] * p[k];
          out[c] = rawdec_clip16(v + 0.5);
        }
      }
      for (int c = 0; c < 3; c++) {
        p[c] = static_cast<uint16_t>(out[c]);
        ctx->histogram[c * 0x2000 + (out[c] >> 3)]++;
      }
      p[3] = 0;
    }
  ctx->colors = 3;
  if (document) ctx->filters = 0;
}

namespace {

// Output of the tone curve for linear input x in [0, 1]: a power law with a
// linear toe of the given slope, joined smoothly (BT.709 for 0.45 and 4.5).
struct ToneCurve {
  double power, slope, toe, offset;
};

ToneCurve make_curve(double power, double slope) {
  ToneCurve t = {power, slope, 0, 0};
  if (power >= 1 || power <= 0 || slope <= 1) return t;
  // Continuity of value and slope at the toe's end x0 gives
  //   1 + s x0 (1/p - 1) = s x0^(1-p) / p,  offset = s x0 (1/p - 1).
  double lo = 1e-9, hi = 1;
  for (int i = 0; i < 100; i++) {
    double x = (lo + hi) / 2;
    double f = 1 + slope * x * (1 / power - 1) - slope * pow(x, 1 - power) / power;
    (f < 0 ? hi : lo) = x;
  }
  t.toe = lo;
  t.offset = slope * lo * (1 / power - 1);
  return t;
}

double apply_curve(const ToneCurve& t, double x) {
  if (x <= 0) return 0;
  if (x >= 1) return 1;
  if (x < t.toe) return t.slope * x;
  return (1 + t.offset) * pow(x, t.power) - t.offset;
}

}  // namespace

void rawdec_gamma_lut(rawdec_context* ctx, uint8_t lut[0x10000]) {
  // White point: the level that 1% of the pixels of the brightest channel exceed.
  double white = 65535;
  if (ctx->histogram) {
    const double perc = double(ctx->iwidth) * ctx->iheight * 0.01;
    int top = 0;
    for (int c = 0; c < 3; c++) {
      double total = 0;
      int val = 0x2000;
      while (--val > 32)
        if ((total += ctx->histogram[c * 0x2000 + val]) > perc) break;
      if (val > top) top = val;
    }
    white = (top + 1) * 8.0;
  }
  if (ctx->bright > 0) white /= ctx->bright;
  if (white < 1) white = 1;
  const ToneCurve curve = make_curve(ctx->gamma_power, ctx->gamma_slope);
  for (int i = 0; i < 0x10000; i++) {
    double y = apply_curve(curve, i / white);
    int v = static_cast<int>(y * 255 + 0.5);
    lut[i] = static_cast<uint8_t>(v > 255 ? 255 : v);
  }
}
