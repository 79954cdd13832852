#include "DngWriter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

namespace dngtest {
namespace {

const double kXyzRgb[3][3] = {
    {0.412453, 0.357580, 0.180423},
    {0.212671, 0.715160, 0.072169},
    {0.019334, 0.119193, 0.950227},
};

// XYZ to camera of our imaginary camera under D65, and a deliberately wrong
// one for standard light A that the decoder must not pick.
const double kCameraD65[9] = {0.75, -0.20, -0.05, -0.35, 1.15, 0.20, -0.02, 0.12, 0.55};
const double kCameraA[9] = {1.20, -0.32, -0.08, -0.35, 1.15, 0.20, -0.01, 0.07, 0.33};

const int kPhases[4][4] = {{0, 1, 1, 2}, {1, 0, 2, 1}, {1, 2, 0, 1}, {2, 1, 1, 0}};

// ---- TIFF building ----

enum Type : uint16_t { kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kRational = 5, kUndefined = 7, kSRational = 10, kDouble = 12 };

struct Entry {
  uint16_t tag, type;
  uint32_t count;
  std::vector<uint8_t> data;  // in file byte order
};

class Tiff {
 public:
  explicit Tiff(bool big_endian) : be_(big_endian) {
    out_ = {uint8_t(be_ ? 'M' : 'I'), uint8_t(be_ ? 'M' : 'I'), 0, 0, 0, 0, 0, 0};
    Put16At(2, 42);
  }
  std::vector<uint8_t>& bytes() { return out_; }
  bool big_endian() const { return be_; }

  void Put16(std::vector<uint8_t>& v, uint32_t x) const {
    uint8_t b[2] = {uint8_t(x), uint8_t(x >> 8)};
    if (be_) std::swap(b[0], b[1]);
    v.insert(v.end(), b, b + 2);
  }
  void Put32(std::vector<uint8_t>& v, uint32_t x) const {
    uint8_t b[4] = {uint8_t(x), uint8_t(x >> 8), uint8_t(x >> 16), uint8_t(x >> 24)};
    if (be_) {
      std::swap(b[0], b[3]);
      std::swap(b[1], b[2]);
    }
    v.insert(v.end(), b, b + 4);
  }
  void Put16At(size_t at, uint32_t x) {
    std::vector<uint8_t> v;
    Put16(v, x);
    std::copy(v.begin(), v.end(), out_.begin() + at);
  }
  void Put32At(size_t at, uint32_t x) {
    std::vector<uint8_t> v;
    Put32(v, x);
    std::copy(v.begin(), v.end(), out_.begin() + at);
  }

  uint32_t Append(const std::vector<uint8_t>& data) {
    if (out_.size() & 1) out_.push_back(0);
    uint32_t at = static_cast<uint32_t>(out_.size());
    out_.insert(out_.end(), data.begin(), data.end());
    return at;
  }

  Entry Shorts(uint16_t tag, const std::vector<uint32_t>& v) const {
    Entry e{tag, kShort, uint32_t(v.size()), {}};
    for (uint32_t x : v) Put16(e.data, x);
    return e;
  }
  Entry Longs(uint16_t tag, const std::vector<uint32_t>& v) const {
    Entry e{tag, kLong, uint32_t(v.size()), {}};
    for (uint32_t x : v) Put32(e.data, x);
    return e;
  }
  Entry Doubles(uint16_t tag, const std::vector<double>& v) const {
    Entry e{tag, kDouble, uint32_t(v.size()), {}};
    for (double x : v) {
      uint64_t bits;
      memcpy(&bits, &x, 8);
      Put32(e.data, uint32_t(be_ ? bits >> 32 : bits));
      Put32(e.data, uint32_t(be_ ? bits : bits >> 32));
    }
    return e;
  }
  Entry Bytes(uint16_t tag, const std::vector<uint8_t>& v, uint16_t type = kByte) const {
    return Entry{tag, type, uint32_t(v.size()), v};
  }
  Entry Ascii(uint16_t tag, const std::string& s) const {
    std::vector<uint8_t> v(s.begin(), s.end());
    v.push_back(0);
    return Entry{tag, kAscii, uint32_t(v.size()), v};
  }
  Entry Rationals(uint16_t tag, const std::vector<double>& v, bool is_signed = false) const {
    Entry e{tag, uint16_t(is_signed ? kSRational : kRational), uint32_t(v.size()), {}};
    for (double x : v) {
      Put32(e.data, static_cast<uint32_t>(static_cast<int32_t>(std::lround(x * 10000))));
      Put32(e.data, 10000);
    }
    return e;
  }

  // Writes the values that do not fit in an entry, then the IFD; returns its offset.
  uint32_t WriteIfd(std::vector<Entry> entries, uint32_t next = 0) {
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
    std::vector<uint32_t> where(entries.size());
    for (size_t i = 0; i < entries.size(); i++)
      if (entries[i].data.size() > 4) where[i] = Append(entries[i].data);
    std::vector<uint8_t> ifd;
    Put16(ifd, uint32_t(entries.size()));
    for (size_t i = 0; i < entries.size(); i++) {
      Put16(ifd, entries[i].tag);
      Put16(ifd, entries[i].type);
      Put32(ifd, entries[i].count);
      if (entries[i].data.size() > 4) {
        Put32(ifd, where[i]);
      } else {
        std::vector<uint8_t> v = entries[i].data;
        v.resize(4, 0);
        ifd.insert(ifd.end(), v.begin(), v.end());
      }
    }
    Put32(ifd, next);
    return Append(ifd);
  }

 private:
  bool be_;
  std::vector<uint8_t> out_;
};

// ---- bits ----

class BitWriter {
 public:
  explicit BitWriter(bool jpeg) : jpeg_(jpeg) {}
  void Put(uint32_t value, int n) {
    for (int i = n - 1; i >= 0; i--) {
      acc_ = uint8_t(acc_ << 1 | ((value >> i) & 1));
      if (++count_ == 8) Flush();
    }
  }
  // Pads the last byte (with ones in JPEG data, as T.81 asks).
  void Align() {
    while (count_) Put(jpeg_ ? 1 : 0, 1);
  }
  void Raw(uint8_t b) { out.push_back(b); }
  std::vector<uint8_t> out;

 private:
  void Flush() {
    out.push_back(acc_);
    if (jpeg_ && acc_ == 0xFF) out.push_back(0);
    acc_ = 0;
    count_ = 0;
  }
  bool jpeg_;
  uint8_t acc_ = 0;
  int count_ = 0;
};

// ---- lossless JPEG ----

struct Huffman {
  uint8_t bits[17] = {};
  std::vector<uint8_t> values;
  uint32_t code[17] = {};
  int length[17] = {};
};

void AssignCodes(Huffman& h) {
  uint32_t code = 0;
  size_t k = 0;
  for (int l = 1; l <= 16; l++) {
    for (int i = 0; i < h.bits[l]; i++, k++) {
      h.code[h.values[k]] = code++;
      h.length[h.values[k]] = l;
    }
    code <<= 1;
  }
}

Huffman FixedTable() {
  Huffman h;
  h.bits[4] = 14;
  h.bits[5] = 2;
  h.bits[6] = 1;
  for (int i = 0; i <= 16; i++) h.values.push_back(uint8_t(i));
  AssignCodes(h);
  return h;
}

// A Huffman code fitted to the category counts; a reserved extra symbol
// keeps the all-ones code unused.
Huffman FittedTable(const uint64_t freq[17]) {
  struct Node {
    uint64_t weight;
    int parent;
  };
  std::vector<Node> nodes;
  std::vector<int> symbols;
  for (int s = 0; s <= 16; s++)
    if (freq[s]) {
      nodes.push_back({freq[s], -1});
      symbols.push_back(s);
    }
  nodes.push_back({0, -1});  // reserved
  symbols.push_back(-1);
  const size_t leaves = nodes.size();
  std::vector<int> open;
  for (size_t i = 0; i < leaves; i++) open.push_back(int(i));
  while (open.size() > 1) {
    std::sort(open.begin(), open.end(), [&](int a, int b) { return nodes[a].weight > nodes[b].weight; });
    int a = open.back();
    open.pop_back();
    int b = open.back();
    open.pop_back();
    nodes.push_back({nodes[a].weight + nodes[b].weight, -1});
    nodes[a].parent = nodes[b].parent = int(nodes.size() - 1);
    open.push_back(int(nodes.size() - 1));
  }
  std::vector<std::pair<int, int>> by_length;  // (length, symbol)
  for (size_t i = 0; i < leaves; i++) {
    int depth = 0;
    for (int n = int(i); nodes[n].parent >= 0; n = nodes[n].parent) depth++;
    if (leaves == 1) depth = 1;
    if (depth > 16) return FixedTable();
    by_length.push_back({depth, symbols[i]});
  }
  // Longest codes last, the reserved symbol last of all.
  std::sort(by_length.begin(), by_length.end(), [](auto a, auto b) {
    if (a.first != b.first) return a.first < b.first;
    if ((a.second < 0) != (b.second < 0)) return b.second < 0;
    return a.second < b.second;
  });
  Huffman h;
  for (auto [len, sym] : by_length) {
    if (sym < 0) continue;
    h.bits[len]++;
    h.values.push_back(uint8_t(sym));
  }
  AssignCodes(h);
  return h;
}

int Category(int diff) {
  if (diff == 32768) return 16;
  int a = diff < 0 ? -diff : diff, c = 0;
  while (a) {
    c++;
    a >>= 1;
  }
  return c;
}

struct JpegParams {
  int precision, predictor, components, restart_rows;
  bool fixed_huffman;
};

// Encodes `rows` x `cols` JPEG pixels of `components` samples each.
std::vector<uint8_t> EncodeLosslessJpeg(const std::vector<uint16_t>& samples, int rows, int cols, const JpegParams& params) {
  const int comps = params.components;
  const int tables = comps > 1 && !params.fixed_huffman ? 2 : 1;
  auto table_of = [&](int c) { return tables == 2 ? (c & 1) : 0; };

  // Differences first (needed twice: statistics and coding).
  std::vector<int> diffs(samples.size());
  auto sample = [&](int r, int c, int k) { return int(samples[(size_t(r) * cols + c) * comps + k]); };
  const int initial = 1 << (params.precision - 1);
  for (int r = 0; r < rows; r++) {
    bool first_line = r == 0 || (params.restart_rows && r % params.restart_rows == 0);
    for (int c = 0; c < cols; c++)
      for (int k = 0; k < comps; k++) {
        int pred;
        if (first_line) pred = c ? sample(r, c - 1, k) : initial;
        else if (!c) pred = sample(r - 1, c, k);
        else {
          int ra = sample(r, c - 1, k), rb = sample(r - 1, c, k), rc = sample(r - 1, c - 1, k);
          switch (params.predictor) {
            case 1: pred = ra; break;
            case 2: pred = rb; break;
            case 3: pred = rc; break;
            case 4: pred = ra + rb - rc; break;
            case 5: pred = ra + ((rb - rc) >> 1); break;
            case 6: pred = rb + ((ra - rc) >> 1); break;
            default: pred = (ra + rb) >> 1; break;
          }
        }
        int d = (sample(r, c, k) - pred) & 0xFFFF;
        if (d > 32768) d -= 65536;
        diffs[(size_t(r) * cols + c) * comps + k] = d;
      }
  }
  Huffman huff[2];
  for (int t = 0; t < tables; t++) {
    if (params.fixed_huffman) {
      huff[t] = FixedTable();
      continue;
    }
    uint64_t freq[17] = {};
    for (size_t i = 0; i < diffs.size(); i++)
      if (table_of(int(i % comps)) == t) freq[Category(diffs[i])]++;
    huff[t] = FittedTable(freq);
  }

  BitWriter w(true);
  auto marker = [&](uint8_t m) {
    w.Raw(0xFF);
    w.Raw(m);
  };
  auto segment = [&](uint8_t m, const std::vector<uint8_t>& body) {
    marker(m);
    size_t len = body.size() + 2;
    w.Raw(uint8_t(len >> 8));
    w.Raw(uint8_t(len));
    for (uint8_t b : body) w.Raw(b);
  };
  marker(0xD8);
  std::vector<uint8_t> dht;
  for (int t = 0; t < tables; t++) {
    dht.push_back(uint8_t(t));
    for (int l = 1; l <= 16; l++) dht.push_back(huff[t].bits[l]);
    dht.insert(dht.end(), huff[t].values.begin(), huff[t].values.end());
  }
  segment(0xC4, dht);
  std::vector<uint8_t> sof = {uint8_t(params.precision), uint8_t(rows >> 8), uint8_t(rows), uint8_t(cols >> 8),
                              uint8_t(cols), uint8_t(comps)};
  for (int k = 0; k < comps; k++) sof.insert(sof.end(), {uint8_t(k + 1), 0x11, 0});
  segment(0xC3, sof);
  if (params.restart_rows) {
    unsigned interval = unsigned(params.restart_rows) * cols;
    if (interval > 65535) throw std::runtime_error("restart interval too long");
    segment(0xDD, {uint8_t(interval >> 8), uint8_t(interval)});
  }
  std::vector<uint8_t> sos = {uint8_t(comps)};
  for (int k = 0; k < comps; k++) sos.insert(sos.end(), {uint8_t(k + 1), uint8_t(table_of(k) << 4)});
  sos.insert(sos.end(), {uint8_t(params.predictor), 0, 0});
  segment(0xDA, sos);
  int restart = 0;
  for (int r = 0; r < rows; r++) {
    if (params.restart_rows && r && r % params.restart_rows == 0) {
      w.Align();
      marker(uint8_t(0xD0 + (restart++ & 7)));
    }
    for (int c = 0; c < cols; c++)
      for (int k = 0; k < comps; k++) {
        int d = diffs[(size_t(r) * cols + c) * comps + k];
        int cat = Category(d);
        const Huffman& h = huff[table_of(k)];
        w.Put(h.code[cat], h.length[cat]);
        if (cat && cat < 16) w.Put(uint32_t(d < 0 ? d + (1 << cat) - 1 : d), cat);
      }
  }
  w.Align();
  marker(0xD9);
  return w.out;
}

}  // namespace

Picture MakePicture(int width, int height, PictureKind kind) {
  Picture p;
  p.width = width;
  p.height = height;
  p.rgb.assign(size_t(width) * height * 3, 0);
  for (int r = 0; r < height; r++)
    for (int c = 0; c < width; c++) {
      float* px = p.at(r, c);
      double y = double(r) / height, x = double(c) / width;
      if (kind == PictureKind::kScene) {
        px[0] = float(0.15 + 0.6 * x);
        px[1] = float(0.2 + 0.5 * y);
        px[2] = float(0.5 - 0.3 * x * y);
        if (x > 0.1 && x < 0.35 && y > 0.15 && y < 0.45) px[0] = 0.8f, px[1] = 0.25f, px[2] = 0.2f;
        if (x > 0.55 && x < 0.8 && y > 0.55 && y < 0.85) px[0] = 0.2f, px[1] = 0.35f, px[2] = 0.75f;
        double dx = x - 0.7, dy = y - 0.3;
        if (dx * dx + dy * dy < 0.02) px[0] = 0.3f, px[1] = 0.7f, px[2] = 0.3f;
        if (y > 0.9) px[0] = px[1] = px[2] = 1.0f;  // a white bar sets the white point
      } else {
        // Stripes, a diagonal and a ring: sharp transitions in every direction.
        bool a = (c / 6) % 2 == 0;
        bool b = (r + c) % 23 < 11;
        double dx = x - 0.5, dy = y - 0.5;
        bool ring = std::fabs(std::sqrt(dx * dx + dy * dy) - 0.3) < 0.05;
        float v = y < 0.33 ? (a ? 0.9f : 0.1f) : y < 0.66 ? (b ? 0.85f : 0.15f) : (ring ? 0.9f : 0.2f);
        px[0] = px[1] = px[2] = v;
        if (y >= 0.66 && ring && x > 0.5) px[0] = 0.9f, px[1] = 0.2f, px[2] = 0.15f;
        if (y >= 0.33 && y < 0.66 && b && x > 0.6) px[0] = 0.15f, px[1] = 0.3f, px[2] = 0.85f;
      }
    }
  if (kind == PictureKind::kScene) {
    // A lens never draws a one-pixel step: soften the edges a little.
    Picture sharp = p;
    for (int r = 0; r < height; r++)
      for (int c = 0; c < width; c++)
        for (int k = 0; k < 3; k++) {
          float sum = 0;
          int n = 0;
          for (int dr = -1; dr <= 1; dr++)
            for (int dc = -1; dc <= 1; dc++) {
              int rr = r + dr, cc = c + dc;
              if (rr < 0 || cc < 0 || rr >= height || cc >= width) continue;
              sum += sharp.at(rr, cc)[k] * (dr || dc ? 1.0f : 4.0f);
              n += dr || dc ? 1 : 4;
            }
          p.at(r, c)[k] = sum / n;
        }
  }
  return p;
}

DngFile WriteDng(const Picture& picture, const DngOptions& o) {
  const bool mosaic = o.layout == Layout::kMosaic;
  const int spp = o.layout == Layout::kLinearRgb ? 3 : 1;
  const int colors = o.layout == Layout::kMonochrome ? 1 : 3;
  const int w = picture.width, h = picture.height;
  const int active_w = o.crop_left + w + o.crop_right, active_h = o.crop_top + h + o.crop_bottom;
  const int raw_w = o.masked_left + active_w + o.masked_right;
  const int raw_h = o.masked_top + active_h + o.masked_bottom;
  const int scale_store = o.linearization ? 4 : 1;
  const unsigned stored_max = (1u << o.bits) - 1;
  const unsigned white = o.white ? o.white : stored_max * scale_store;
  const unsigned cell_black_delta[3] = {40, 0, 80};

  // Camera response to linear sRGB, and the exposure that keeps it below white.
  double cam_rgb[3][3];
  double row_sum[3], max_sum = 0, max_pos = 0;
  for (int i = 0; i < 3; i++) {
    row_sum[i] = 0;
    double pos = 0;
    for (int j = 0; j < 3; j++) {
      cam_rgb[i][j] = 0;
      for (int k = 0; k < 3; k++) cam_rgb[i][j] += kCameraD65[i * 3 + k] * kXyzRgb[k][j];
      row_sum[i] += cam_rgb[i][j];
      pos += std::max(0.0, cam_rgb[i][j]);
    }
    max_sum = std::max(max_sum, row_sum[i]);
    max_pos = std::max(max_pos, pos);
  }
  const double exposure = o.exposure / max_pos;

  DngFile file;
  file.colors = mosaic ? 1 : colors;
  file.width = w;
  file.height = h;
  file.scale = colors == 1 ? 65535 : 65535 * exposure * max_sum;

  auto color_at = [&](int active_row, int active_col) {  // CFA colour, phase of the active area
    return kPhases[o.cfa_phase][(active_row & 1) * 2 + (active_col & 1)];
  };
  auto black_of = [&](int color) { return o.black + (o.per_cell_black ? cell_black_delta[color] : 0); };

  // The stored picture.
  std::vector<uint16_t> stored(size_t(raw_w) * raw_h * spp);
  for (int r = 0; r < raw_h; r++)
    for (int c = 0; c < raw_w; c++) {
      int ar = r - o.masked_top, ac = c - o.masked_left;
      bool active = ar >= 0 && ac >= 0 && ar < active_h && ac < active_w;
      int vr = std::clamp(ar - o.crop_top, 0, h - 1), vc = std::clamp(ac - o.crop_left, 0, w - 1);
      const float* L = picture.at(vr, vc);
      for (int s = 0; s < spp; s++) {
        unsigned value;
        if (!active) {
          value = o.black + unsigned((r * 7 + c * 13 + s) % 9);  // masked pixels: black and noise
        } else if (colors == 1) {
          double y = 0.2126 * L[0] + 0.7152 * L[1] + 0.0722 * L[2];
          value = o.black + unsigned(std::lround(y * (white - o.black)));
        } else {
          int color = mosaic ? color_at(ar, ac) : s;
          double cam = exposure * (cam_rgb[color][0] * L[0] + cam_rgb[color][1] * L[1] + cam_rgb[color][2] * L[2]);
          unsigned b = black_of(color);
          value = b + unsigned(std::lround(std::max(0.0, cam) * (white - b)));
        }
        value = std::min(value, white);
        stored[(size_t(r) * raw_w + c) * spp + s] = uint16_t((value + scale_store / 2) / scale_store);
        if (stored[(size_t(r) * raw_w + c) * spp + s] > stored_max) stored[(size_t(r) * raw_w + c) * spp + s] = uint16_t(stored_max);
      }
    }
  for (int r = 0; r < h; r++)
    for (int c = 0; c < w; c++)
      for (int s = 0; s < spp; s++) {
        int sr = r + o.masked_top + o.crop_top, sc = c + o.masked_left + o.crop_left;
        file.expected.push_back(uint16_t(stored[(size_t(sr) * raw_w + sc) * spp + s] * scale_store));
      }

  // Chunks of stored samples and their encoding.
  const bool tiled = o.tile_width > 0;
  const int cw = tiled ? o.tile_width : raw_w;
  const int ch = tiled ? o.tile_length : (o.rows_per_strip ? o.rows_per_strip : raw_h);
  const int across = tiled ? (raw_w + cw - 1) / cw : 1;
  const int down = (raw_h + ch - 1) / ch;
  Tiff tiff(o.big_endian);
  std::vector<uint32_t> offsets, sizes;
  for (int ty = 0; ty < down; ty++)
    for (int tx = 0; tx < across; tx++) {
      int rows = tiled ? ch : std::min(ch, raw_h - ty * ch);
      std::vector<uint16_t> chunk(size_t(rows) * cw * spp, 0);
      for (int r = 0; r < rows; r++)
        for (int c = 0; c < cw; c++) {
          int sr = ty * ch + r, sc = tx * cw + c;
          if (sr >= raw_h || sc >= raw_w) continue;  // edge tiles are padded with zeros
          for (int s = 0; s < spp; s++) chunk[(size_t(r) * cw + c) * spp + s] = stored[(size_t(sr) * raw_w + sc) * spp + s];
        }
      std::vector<uint8_t> data;
      if (o.lossless_jpeg) {
        int comps = o.jpeg_components;
        if ((cw * spp) % comps) throw std::runtime_error("row does not split into JPEG components");
        data = EncodeLosslessJpeg(chunk, rows, cw * spp / comps,
                                  JpegParams{o.bits, o.predictor, comps, o.restart_rows, o.fixed_huffman});
      } else if (o.bits == 16) {
        for (uint16_t v : chunk) {
          data.push_back(uint8_t(o.big_endian ? v >> 8 : v));
          data.push_back(uint8_t(o.big_endian ? v : v >> 8));
        }
      } else {
        BitWriter bw(false);
        for (int r = 0; r < rows; r++) {
          for (int i = 0; i < cw * spp; i++) bw.Put(chunk[size_t(r) * cw * spp + i], o.bits);
          bw.Align();
        }
        data = bw.out;
      }
      uint32_t at = tiff.Append(data);
      offsets.push_back(at);
      sizes.push_back(uint32_t(data.size()));
      file.data_ranges.push_back({at, at + data.size()});
    }

  // The raw IFD.
  std::vector<Entry> raw = {
      tiff.Longs(254, {0}),
      tiff.Longs(256, {uint32_t(raw_w)}),
      tiff.Longs(257, {uint32_t(raw_h)}),
      tiff.Shorts(258, std::vector<uint32_t>(spp, uint32_t(o.bits))),
      tiff.Shorts(259, {o.lossless_jpeg ? 7u : 1u}),
      tiff.Shorts(262, {mosaic ? 32803u : 34892u}),
      tiff.Shorts(277, {uint32_t(spp)}),
      tiff.Shorts(284, {1}),
      tiff.Longs(tiled ? 324 : 273, offsets),
      tiff.Longs(tiled ? 325 : 279, sizes),
      tiff.Longs(50717, {white}),
      tiff.Rationals(50718, {o.default_scale[0], o.default_scale[1]}),
  };
  if (tiled) {
    raw.push_back(tiff.Shorts(322, {uint32_t(cw)}));
    raw.push_back(tiff.Shorts(323, {uint32_t(ch)}));
  } else {
    raw.push_back(tiff.Longs(278, {uint32_t(ch)}));
  }
  if (mosaic) {
    raw.push_back(tiff.Shorts(33421, {2, 2}));
    std::vector<uint8_t> pattern(kPhases[o.cfa_phase], kPhases[o.cfa_phase] + 4);
    raw.push_back(tiff.Bytes(33422, pattern));
    raw.push_back(tiff.Bytes(50710, {0, 1, 2}));
    raw.push_back(tiff.Shorts(50711, {1}));
  }
  if (o.per_cell_black && mosaic) {
    raw.push_back(tiff.Shorts(50713, {2, 2}));
    std::vector<double> cells;
    for (int i = 0; i < 4; i++) cells.push_back(black_of(kPhases[o.cfa_phase][i]));
    raw.push_back(tiff.Rationals(50714, cells));
  } else {
    raw.push_back(tiff.Longs(50714, std::vector<uint32_t>(spp, o.black)));
  }
  if (o.linearization) {
    std::vector<uint32_t> table;
    for (unsigned i = 0; i <= stored_max; i++) table.push_back(i * 4);
    raw.push_back(tiff.Shorts(50712, table));
  }
  raw.push_back(tiff.Longs(50829, {uint32_t(o.masked_top), uint32_t(o.masked_left), uint32_t(o.masked_top + active_h),
                                   uint32_t(o.masked_left + active_w)}));
  if (o.crop_top || o.crop_left || o.crop_bottom || o.crop_right) {
    raw.push_back(tiff.Longs(50719, {uint32_t(o.crop_left), uint32_t(o.crop_top)}));
    raw.push_back(tiff.Longs(50720, {uint32_t(w), uint32_t(h)}));
  }

  // The camera profile for the first IFD.
  std::vector<Entry> profile = {
      tiff.Bytes(50706, {1, 4, 0, 0}),
      tiff.Bytes(50707, {1, 1, 0, 0}),
      tiff.Ascii(271, "Vesk"),
      tiff.Ascii(272, "Test Camera"),
      tiff.Ascii(50708, "Vesk Test Camera"),
      tiff.Shorts(274, {uint32_t(o.orientation)}),
      tiff.Ascii(306, o.date_time),
  };
  if (colors == 3) {
    std::vector<double> m65(kCameraD65, kCameraD65 + 9), ma(kCameraA, kCameraA + 9);
    if (o.color_matrix) {
      profile.push_back(tiff.Doubles(50721, std::vector<double>(o.color_matrix, o.color_matrix + 9)));
      profile.push_back(tiff.Shorts(50778, {21}));
    } else if (o.two_matrices) {
      profile.push_back(tiff.Rationals(50721, ma, true));
      profile.push_back(tiff.Shorts(50778, {17}));
      profile.push_back(tiff.Rationals(50722, m65, true));
      profile.push_back(tiff.Shorts(50779, {21}));
    } else {
      profile.push_back(tiff.Rationals(50721, m65, true));
      profile.push_back(tiff.Shorts(50778, {21}));
    }
    if (o.as_shot_neutral)
      profile.push_back(tiff.Rationals(50728, {row_sum[0] / max_sum, row_sum[1] / max_sum, row_sum[2] / max_sum}));
  }

  uint32_t first;
  if (o.raw_in_sub_ifd) {
    uint32_t raw_ifd = tiff.WriteIfd(raw);
    // A small RGB preview in IFD0, as real files have.
    std::vector<uint8_t> thumb(8 * 6 * 3, 128);
    uint32_t thumb_at = tiff.Append(thumb);
    std::vector<Entry> ifd0 = profile;
    for (Entry e : {tiff.Longs(254, {1}), tiff.Longs(256, {8}), tiff.Longs(257, {6}), tiff.Shorts(258, {8, 8, 8}),
                    tiff.Shorts(259, {1}), tiff.Shorts(262, {2}), tiff.Longs(273, {thumb_at}), tiff.Shorts(277, {3}),
                    tiff.Longs(278, {6}), tiff.Longs(279, {uint32_t(thumb.size())}), tiff.Longs(330, {raw_ifd})})
      ifd0.push_back(e);
    first = tiff.WriteIfd(ifd0);
  } else {
    std::vector<Entry> ifd0 = raw;
    ifd0.insert(ifd0.end(), profile.begin(), profile.end());
    first = tiff.WriteIfd(ifd0);
  }
  tiff.Put32At(4, first);
  file.bytes = tiff.bytes();
  return file;
}

}  // namespace dngtest
