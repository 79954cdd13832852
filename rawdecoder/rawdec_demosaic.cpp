// Demosaicing: bilinear for any filter pattern; VNG (Chang, Cheung and Pang,
// 1999), PPG (patterned pixel grouping, C.-k. Lin) and AHD (Hirakawa and
// Parks, 2005) for Bayer sensors. All work in place on the image buffer,
// reading only each pixel's own colour and writing the others.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "rawdec_internal.h"

namespace {

inline int raw_at(const rawdec_context* ctx, int row, int col) {
  return ctx->image[int64_t(row) * ctx->iwidth + col][rawdec_fc(ctx, row, col)];
}

// Red, two greens on a diagonal and blue in a 2x2 block repeated everywhere.
bool is_bayer(const rawdec_context* ctx) {
  if (ctx->colors != 3 || ctx->filters != (ctx->filters & 0xFF) * 0x01010101u) return false;
  int a = rawdec_fc(ctx, 0, 0), b = rawdec_fc(ctx, 0, 1), c = rawdec_fc(ctx, 1, 0), d = rawdec_fc(ctx, 1, 1);
  if (a == 1) return d == 1 && b != 1 && c != 1 && b != c;
  return b == 1 && c == 1 && d != 1 && a != d;
}

// Missing colours as the mean of the 3x3 neighbours that have them.
void interpolate_pixel(rawdec_context* ctx, int row, int col) {
  unsigned sum[4] = {0, 0, 0, 0}, count[4] = {0, 0, 0, 0};
  for (int r = row - 1; r <= row + 1; r++)
    for (int c = col - 1; c <= col + 1; c++) {
      if (r < 0 || c < 0 || r >= ctx->iheight || c >= ctx->iwidth || (r == row && c == col)) continue;
      int color = rawdec_fc(ctx, r, c);
      sum[color] += ctx->image[int64_t(r) * ctx->iwidth + c][color];
      count[color]++;
    }
  int own = rawdec_fc(ctx, row, col);
  uint16_t* p = ctx->image[int64_t(row) * ctx->iwidth + col];
  for (int color = 0; color < ctx->colors && color < 4; color++)
    if (color != own && count[color]) p[color] = static_cast<uint16_t>((sum[color] + count[color] / 2) / count[color]);
}

void border_interpolate(rawdec_context* ctx, int border) {
  for (int row = 0; row < ctx->iheight; row++)
    for (int col = 0; col < ctx->iwidth; col++) {
      if (row >= border && row < ctx->iheight - border && col == border) col = ctx->iwidth - border;
      if (col >= ctx->iwidth) break;
      interpolate_pixel(ctx, row, col);
    }
}

bool can_demosaic(rawdec_context* ctx, int border) {
  if (!ctx->image || !ctx->filters) return false;
  if (!is_bayer(ctx) || ctx->iheight <= 2 * border || ctx->iwidth <= 2 * border) {
    rawdec_lin_interpolate(ctx);
    return false;
  }
  border_interpolate(ctx, border);
  return true;
}

}  // namespace

void rawdec_lin_interpolate(rawdec_context* ctx) {
  if (!ctx->image || !ctx->filters) return;
  for (int row = 0; row < ctx->iheight; row++)
    for (int col = 0; col < ctx->iwidth; col++) interpolate_pixel(ctx, row, col);
}

// ---- VNG ----

namespace {

struct Offset {
  int dy, dx;
};

struct Pair {
  Offset a, b;
  int weight;  // in halves
};

}  // namespace

void rawdec_vng_interpolate(rawdec_context* ctx) {
  if (!can_demosaic(ctx, 2)) return;
  static const Offset dirs[8] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}, {-1, -1}, {-1, 1}, {1, -1}, {1, 1}};
  const int h = ctx->iheight, w = ctx->iwidth;
  // Rows are written behind the reader, which only reads the own colours.
  for (int row = 2; row < h - 2; row++)
    for (int col = 2; col < w - 2; col++) {
      const int own = rawdec_fc(ctx, row, col);
      const bool green = own == 1;
      int grad[8];
      double avg[8][3];
      for (int d = 0; d < 8; d++) {
        const Offset dv = dirs[d];
        Pair pairs[6];
        int np = 0;
        Offset zero = {0, 0}, d1 = dv, d2 = {2 * dv.dy, 2 * dv.dx}, m1 = {-dv.dy, -dv.dx};
        pairs[np++] = {d1, m1, 2};
        pairs[np++] = {d2, zero, 2};
        Offset region[9];
        int nr = 0;
        region[nr++] = zero;
        region[nr++] = d1;
        region[nr++] = d2;
        if (!dv.dy || !dv.dx) {
          Offset p = {dv.dx, dv.dy};  // perpendicular
          for (int s = -1; s <= 1; s += 2) {
            Offset ps = {p.dy * s, p.dx * s};
            pairs[np++] = {{d1.dy + ps.dy, d1.dx + ps.dx}, {m1.dy + ps.dy, m1.dx + ps.dx}, 1};
            pairs[np++] = {{d2.dy + ps.dy, d2.dx + ps.dx}, ps, 1};
            region[nr++] = {d1.dy + ps.dy, d1.dx + ps.dx};
          }
          // Far neighbours only for a colour the near ones lack.
          region[nr++] = {d2.dy + p.dy, d2.dx + p.dx};
          region[nr++] = {d2.dy - p.dy, d2.dx - p.dx};
          region[nr++] = p;
          region[nr++] = {-p.dy, -p.dx};
        } else {
          Offset u = {dv.dy, 0}, v = {0, dv.dx};
          Offset uu = {2 * dv.dy + 0, dv.dx}, vv = {dv.dy, 2 * dv.dx};
          if (green) {
            pairs[np++] = {uu, {0, -v.dx}, 2};
            pairs[np++] = {vv, {-u.dy, 0}, 2};
          } else {
            pairs[np++] = {u, {0, -v.dx}, 1};
            pairs[np++] = {v, {-u.dy, 0}, 1};
            pairs[np++] = {uu, u, 1};
            pairs[np++] = {vv, v, 1};
          }
          region[nr++] = u;
          region[nr++] = v;
          region[nr++] = uu;
          region[nr++] = vv;
        }
        int g = 0;
        for (int i = 0; i < np; i++)
          g += pairs[i].weight * abs(raw_at(ctx, row + pairs[i].a.dy, col + pairs[i].a.dx) -
                                     raw_at(ctx, row + pairs[i].b.dy, col + pairs[i].b.dx));
        grad[d] = g;
        // Colour means over the direction's region; for cardinal directions
        // the last four (sideways) pixels only serve a colour missing nearer.
        const int near = (!dv.dy || !dv.dx) ? 5 : nr;
        double sum[2][3] = {{0, 0, 0}, {0, 0, 0}};
        int count[2][3] = {{0, 0, 0}, {0, 0, 0}};
        for (int i = 0; i < nr; i++) {
          int r = row + region[i].dy, c = col + region[i].dx;
          int color = rawdec_fc(ctx, r, c);
          sum[i >= near][color] += raw_at(ctx, r, c);
          count[i >= near][color]++;
        }
        for (int c = 0; c < 3; c++)
          avg[d][c] = count[0][c] ? sum[0][c] / count[0][c] : count[1][c] ? sum[1][c] / count[1][c] : 0;
      }
      int lo = grad[0], hi = grad[0];
      for (int d = 1; d < 8; d++) {
        lo = grad[d] < lo ? grad[d] : lo;
        hi = grad[d] > hi ? grad[d] : hi;
      }
      const double threshold = 1.5 * lo + 0.5 * (hi - lo);
      double total[3] = {0, 0, 0};
      int chosen = 0;
      for (int d = 0; d < 8; d++)
        if (grad[d] <= threshold) {
          for (int c = 0; c < 3; c++) total[c] += avg[d][c];
          chosen++;
        }
      uint16_t* p = ctx->image[int64_t(row) * w + col];
      for (int c = 0; c < 3; c++)
        if (c != own)
          p[c] = static_cast<uint16_t>(rawdec_clip16(p[own] + (total[c] - total[own]) / chosen + 0.5));
    }
}

// ---- PPG ----

namespace {

// Value of colour v at the middle of three pixels whose green is l1, l2, l3,
// following the colour difference where green changes monotonically.
int hue_transit(int l1, int l2, int l3, int v1, int v3) {
  if ((l1 < l2 && l2 < l3) || (l1 > l2 && l2 > l3))
    return v1 + static_cast<int>(int64_t(v3 - v1) * (l2 - l1) / (l3 - l1));
  return (v1 + v3 + 2 * l2 - l1 - l3) / 2;
}

}  // namespace

void rawdec_ppg_interpolate(rawdec_context* ctx) {
  if (!can_demosaic(ctx, 3)) return;
  const int h = ctx->iheight, w = ctx->iwidth;
  uint16_t(*img)[4] = ctx->image;
  auto at = [&](int r, int c) -> uint16_t* { return img[int64_t(r) * w + c]; };

  // Green at red and blue sites, from the flattest of four directions.
  for (int row = 3; row < h - 3; row++)
    for (int col = 3; col < w - 3; col++) {
      int own = rawdec_fc(ctx, row, col);
      if (own == 1) continue;
      const int c0 = at(row, col)[own];
      struct Dir {
        int dy, dx;
      } const dirs[4] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
      int best = -1, best_diff = 0, estimate = 0;
      for (const Dir& d : dirs) {
        int g1 = at(row + d.dy, col + d.dx)[1], g2 = at(row - d.dy, col - d.dx)[1];
        int c2 = at(row + 2 * d.dy, col + 2 * d.dx)[own];
        int diff = 2 * abs(c0 - c2) + abs(g1 - g2);
        if (best < 0 || diff < best_diff) {
          best = 1;
          best_diff = diff;
          int e = (3 * g1 + g2 + c0 - c2) / 4;
          int lo = g1 < g2 ? g1 : g2, hi = g1 < g2 ? g2 : g1;
          estimate = e < lo ? lo : e > hi ? hi : e;
        }
      }
      at(row, col)[1] = static_cast<uint16_t>(estimate);
    }
  // Red and blue at green sites from their horizontal and vertical neighbours.
  for (int row = 3; row < h - 3; row++)
    for (int col = 3; col < w - 3; col++) {
      if (rawdec_fc(ctx, row, col) != 1) continue;
      uint16_t* p = at(row, col);
      const int hc = rawdec_fc(ctx, row, col + 1), vc = rawdec_fc(ctx, row + 1, col);
      const uint16_t *l = at(row, col - 1), *r = at(row, col + 1), *u = at(row - 1, col), *d = at(row + 1, col);
      p[hc] = static_cast<uint16_t>(rawdec_clip16(hue_transit(l[1], p[1], r[1], l[hc], r[hc])));
      p[vc] = static_cast<uint16_t>(rawdec_clip16(hue_transit(u[1], p[1], d[1], u[vc], d[vc])));
    }
  // Blue at red sites and red at blue sites along the flatter diagonal.
  for (int row = 3; row < h - 3; row++)
    for (int col = 3; col < w - 3; col++) {
      const int own = rawdec_fc(ctx, row, col);
      if (own == 1) continue;
      const int other = 2 - own;
      uint16_t* p = at(row, col);
      const uint16_t *ne = at(row - 1, col + 1), *sw = at(row + 1, col - 1);
      const uint16_t *nw = at(row - 1, col - 1), *se = at(row + 1, col + 1);
      int d_ne = abs(ne[other] - sw[other]) + abs(at(row - 2, col + 2)[own] - p[own]) +
                 abs(p[own] - at(row + 2, col - 2)[own]) + abs(ne[1] - p[1]) + abs(p[1] - sw[1]);
      int d_nw = abs(nw[other] - se[other]) + abs(at(row - 2, col - 2)[own] - p[own]) +
                 abs(p[own] - at(row + 2, col + 2)[own]) + abs(nw[1] - p[1]) + abs(p[1] - se[1]);
      int v = d_ne < d_nw ? hue_transit(ne[1], p[1], sw[1], ne[other], sw[other])
              : d_nw < d_ne ? hue_transit(nw[1], p[1], se[1], nw[other], se[other])
                            : (hue_transit(ne[1], p[1], sw[1], ne[other], sw[other]) +
                               hue_transit(nw[1], p[1], se[1], nw[other], se[other])) / 2;
      p[other] = static_cast<uint16_t>(rawdec_clip16(v));
    }
}

// ---- AHD ----

namespace {

enum { kTile = 256, kTileStep = kTile - 6 };

struct AhdTile {
  uint16_t rgb[2][kTile * kTile][3];  // horizontal and vertical candidates
  float lab[2][kTile * kTile][3];
  uint8_t homo[2][kTile * kTile];
};

float lab_f(float t) { return t > 0.008856f ? cbrtf(t) : 7.787f * t + 16.0f / 116; }

}  // namespace

void rawdec_ahd_interpolate(rawdec_context* ctx) {
  if (!can_demosaic(ctx, 5)) return;
  const int h = ctx->iheight, w = ctx->iwidth;
  uint16_t(*img)[4] = ctx->image;

  // Camera colours to CIE XYZ relative to the D65 white, for the Lab distances.
  static const double d65[3] = {0.950456, 1.0, 1.088754};
  float xyz_cam[3][3];
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) {
      double sum = 0;
      for (int k = 0; k < 3; k++) sum += rawdec_xyz_rgb[i][k] * (ctx->raw_color ? (k == j) : ctx->rgb_cam[k][j]);
      xyz_cam[i][j] = static_cast<float>(sum / d65[i] / 65535.0);
    }

  AhdTile* t = static_cast<AhdTile*>(rawdec_alloc(ctx, 1, sizeof(AhdTile), "rawdec_ahd_interpolate()"));
  for (int top = 2; top < h - 5; top += kTileStep)
    for (int left = 2; left < w - 5; left += kTileStep) {
      const int bottom = top + kTile < h - 2 ? top + kTile : h - 2;
      const int right = left + kTile < w - 2 ? left + kTile : w - 2;
      auto idx = [&](int r, int c) { return (r - top) * kTile + (c - left); };

      // Green along rows and along columns.
      for (int r = top; r < bottom; r++)
        for (int c = left; c < right; c++) {
          const int own = rawdec_fc(ctx, r, c);
          const int64_t i = int64_t(r) * w + c;
          for (int d = 0; d < 2; d++) {
            int g;
            if (own == 1) {
              g = img[i][1];
            } else {
              const int64_t s1 = d == 0 ? 1 : w;
              int g1 = img[i - s1][1], g2 = img[i + s1][1];
              g = (2 * (g1 + g2) + 2 * img[i][own] - img[i - 2 * s1][own] - img[i + 2 * s1][own]) / 4;
              int lo = g1 < g2 ? g1 : g2, hi = g1 < g2 ? g2 : g1;
              g = g < lo ? lo : g > hi ? hi : g;
            }
            t->rgb[d][idx(r, c)][1] = static_cast<uint16_t>(g);
          }
        }
      // Red and blue from colour differences, then Lab.
      for (int r = top + 1; r < bottom - 1; r++)
        for (int c = left + 1; c < right - 1; c++) {
          const int own = rawdec_fc(ctx, r, c);
          const int64_t i = int64_t(r) * w + c;
          for (int d = 0; d < 2; d++) {
            uint16_t* px = t->rgb[d][idx(r, c)];
            const int g = px[1];
            auto diff = [&](int rr, int cc, int color) {
              return int(img[int64_t(rr) * w + cc][color]) - t->rgb[d][idx(rr, cc)][1];
            };
            if (own == 1) {
              int hc = rawdec_fc(ctx, r, c + 1), vc = rawdec_fc(ctx, r + 1, c);
              px[hc] = static_cast<uint16_t>(rawdec_clip16(g + (diff(r, c - 1, hc) + diff(r, c + 1, hc)) / 2));
              px[vc] = static_cast<uint16_t>(rawdec_clip16(g + (diff(r - 1, c, vc) + diff(r + 1, c, vc)) / 2));
            } else {
              int other = 2 - own;
              px[own] = img[i][own];
              px[other] = static_cast<uint16_t>(rawdec_clip16(
                  g + (diff(r - 1, c - 1, other) + diff(r - 1, c + 1, other) + diff(r + 1, c - 1, other) +
                       diff(r + 1, c + 1, other)) / 4));
            }
            if (own == 1) px[1] = img[i][1];
            float xyz[3];
            for (int k = 0; k < 3; k++)
              xyz[k] = lab_f(xyz_cam[k][0] * px[0] + xyz_cam[k][1] * px[1] + xyz_cam[k][2] * px[2]);
            float* lab = t->lab[d][idx(r, c)];
            lab[0] = 116 * xyz[1] - 16;
            lab[1] = 500 * (xyz[0] - xyz[1]);
            lab[2] = 200 * (xyz[1] - xyz[2]);
          }
        }
      // Homogeneity: neighbours within the smaller of the two directions'
      // own luminance and colour spreads.
      static const int nbr[4][2] = {{0, -1}, {0, 1}, {-1, 0}, {1, 0}};
      for (int r = top + 2; r < bottom - 2; r++)
        for (int c = left + 2; c < right - 2; c++) {
          float dl[2][4], dc[2][4];
          for (int d = 0; d < 2; d++) {
            const float* p = t->lab[d][idx(r, c)];
            for (int n = 0; n < 4; n++) {
              const float* q = t->lab[d][idx(r + nbr[n][0], c + nbr[n][1])];
              dl[d][n] = fabsf(p[0] - q[0]);
              dc[d][n] = (p[1] - q[1]) * (p[1] - q[1]) + (p[2] - q[2]) * (p[2] - q[2]);
            }
          }
          float eps_l = fminf(fmaxf(dl[0][0], dl[0][1]), fmaxf(dl[1][2], dl[1][3]));
          float eps_c = fminf(fmaxf(dc[0][0], dc[0][1]), fmaxf(dc[1][2], dc[1][3]));
          for (int d = 0; d < 2; d++) {
            int n_ok = 0;
            for (int n = 0; n < 4; n++) n_ok += dl[d][n] <= eps_l && dc[d][n] <= eps_c;
            t->homo[d][idx(r, c)] = static_cast<uint8_t>(n_ok);
          }
        }
      // Each pixel takes the direction that is more homogeneous around it.
      for (int r = top + 3; r < bottom - 3; r++)
        for (int c = left + 3; c < right - 3; c++) {
          int score[2] = {0, 0};
          for (int d = 0; d < 2; d++)
            for (int dr = -1; dr <= 1; dr++)
              for (int dc = -1; dc <= 1; dc++) score[d] += t->homo[d][idx(r + dr, c + dc)];
          uint16_t* out = img[int64_t(r) * w + c];
          const uint16_t* a = t->rgb[0][idx(r, c)];
          const uint16_t* b = t->rgb[1][idx(r, c)];
          for (int k = 0; k < 3; k++)
            out[k] = score[0] > score[1] ? a[k] : score[1] > score[0] ? b[k] : static_cast<uint16_t>((a[k] + b[k] + 1) >> 1);
        }
    }
  rawdec_release(ctx, t);
}
