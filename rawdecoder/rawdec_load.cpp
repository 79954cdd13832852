// Raw loaders for DNG data: uncompressed 8/16-bit, bit-packed samples and
// lossless JPEG (ITU T.81 process 14), in strips or tiles.
#include <cstring>

#include "rawdec_internal.h"

namespace {

// One strip or tile of the stored picture.
struct Chunk {
  uint32_t row0, col0;  // where it starts in the stored picture
  uint32_t width, rows; // as stored (edge tiles are stored whole)
};

Chunk chunk_at(const rawdec_context* ctx, uint32_t k) {
  Chunk c;
  if (ctx->tile_width) {
    uint32_t across = (ctx->raw_width + ctx->tile_width - 1) / ctx->tile_width;
    c.row0 = (k / across) * ctx->tile_length;
    c.col0 = (k % across) * ctx->tile_width;
    c.width = ctx->tile_width;
    c.rows = ctx->tile_length;
  } else {
    c.row0 = k * ctx->rows_per_strip;
    c.col0 = 0;
    c.width = ctx->raw_width;
    c.rows = ctx->raw_height - c.row0 < ctx->rows_per_strip ? ctx->raw_height - c.row0 : ctx->rows_per_strip;
  }
  return c;
}

// Stores sample `s` of stored pixel (row, col) when it lies in the visible picture.
inline void put(rawdec_context* ctx, uint32_t row, uint32_t col, unsigned s, unsigned value) {
  int64_t r = int64_t(row) - ctx->top_margin, c = int64_t(col) - ctx->left_margin;
  if (r < 0 || c < 0 || r >= ctx->height || c >= ctx->width) return;
  if (ctx->curve) value = ctx->curve[value & 0xFFFF];
  if (ctx->filters) {
    int slot = rawdec_fc(ctx, static_cast<int>(r), static_cast<int>(c));
    // A shrunk picture keeps both greens of a 2x2 cell, the second in slot 3.
    if (ctx->shrink && ctx->colors == 3 && slot == 1 && (r & 1)) slot = 3;
    ctx->image[(r >> ctx->shrink) * ctx->iwidth + (c >> ctx->shrink)][slot] = static_cast<uint16_t>(value);
  } else if (s < unsigned(ctx->colors) && s < 4) {
    ctx->image[r * ctx->iwidth + c][s] = static_cast<uint16_t>(value);
  }
}

bool ready(rawdec_context* ctx) {
  if (!ctx->image || !ctx->chunk_offsets || !ctx->chunk_sizes) {
    rawdec_data_error(ctx, "no image buffer or raw data");
    return false;
  }
  return true;
}

// Reads up to `want` bytes of chunk k into a scratch buffer; *got is what arrived.
uint8_t* read_chunk(rawdec_context* ctx, uint32_t k, uint64_t want, uint64_t* got) {
  uint64_t size = ctx->chunk_sizes[k] < want ? ctx->chunk_sizes[k] : want;
  uint8_t* buf = static_cast<uint8_t*>(rawdec_alloc(ctx, size + 1, 1, "load_raw()"));
  if (!rawdec_read_at(ctx, ctx->chunk_offsets[k], buf, static_cast<size_t>(size))) size = 0;
  *got = size;
  return buf;
}

}  // namespace

// 8- and 16-bit samples, one or more per pixel; 16-bit ones in the file's byte order.
void rawdec_unpacked_load_raw(rawdec_context* ctx) {
  if (!ready(ctx)) return;
  const unsigned spp = static_cast<unsigned>(ctx->tiff_samples);
  const unsigned bytes = ctx->tiff_bps == 16 ? 2 : 1;
  for (uint32_t k = 0; k < ctx->chunk_count; k++) {
    Chunk ch = chunk_at(ctx, k);
    uint64_t row_bytes = uint64_t(ch.width) * spp * bytes;
    uint64_t got;
    uint8_t* buf = read_chunk(ctx, k, row_bytes * ch.rows, &got);
    if (got < row_bytes * ch.rows) rawdec_data_error(ctx, "raw data ends early");
    uint64_t at = 0;
    for (uint32_t r = 0; r < ch.rows; r++)
      for (uint32_t c = 0; c < ch.width; c++)
        for (unsigned s = 0; s < spp; s++, at += bytes) {
          if (at + bytes > got) goto next;
          unsigned v = bytes == 1 ? buf[at]
                       : ctx->big_endian ? unsigned(buf[at]) << 8 | buf[at + 1]
                                         : unsigned(buf[at + 1]) << 8 | buf[at];
          put(ctx, ch.row0 + r, ch.col0 + c, s, v);
        }
  next:
    rawdec_release(ctx, buf);
  }
}

// Samples of any width up to 16 bits, packed most significant bit first
// whatever the file's byte order; each row starts on a byte boundary.
void rawdec_packed_load_raw(rawdec_context* ctx) {
  if (!ready(ctx)) return;
  const unsigned spp = static_cast<unsigned>(ctx->tiff_samples);
  const int bps = ctx->tiff_bps;
  for (uint32_t k = 0; k < ctx->chunk_count; k++) {
    Chunk ch = chunk_at(ctx, k);
    uint64_t row_bytes = (uint64_t(ch.width) * spp * bps + 7) / 8;
    uint64_t got;
    uint8_t* buf = read_chunk(ctx, k, row_bytes * ch.rows, &got);
    rawdec_bits bits;
    rawdec_bits_init(&bits, buf, static_cast<size_t>(got), 0);
    for (uint32_t r = 0; r < ch.rows && !bits.overrun; r++) {
      for (uint32_t c = 0; c < ch.width; c++)
        for (unsigned s = 0; s < spp; s++) put(ctx, ch.row0 + r, ch.col0 + c, s, rawdec_bits_get(&bits, bps));
      rawdec_bits_align(&bits);
    }
    if (bits.overrun) rawdec_data_error(ctx, "raw data ends early");
    rawdec_release(ctx, buf);
  }
}

// ---- lossless JPEG ----

namespace {

struct HuffTable {
  int defined;
  int32_t maxcode[18];
  int32_t mincode[17];
  int valptr[17];
  uint8_t values[256];
};

struct Frame {
  int precision;
  int width, height, comps;
  int comp_id[4];
  int table[4];
  int predictor, point_transform;
  unsigned restart_interval;
  HuffTable huff[4];
};

bool define_tables(const uint8_t* p, size_t len, Frame* f) {
  while (len > 0) {
    if (len < 17) return false;
    int id = p[0] & 15;
    if ((p[0] >> 4) != 0 || id > 3) return false;  // only DC-class tables mean anything here
    HuffTable& h = f->huff[id];
    unsigned total = 0;
    for (int l = 1; l <= 16; l++) total += p[l];
    if (total > 256 || len < 17 + total) return false;
    memcpy(h.values, p + 17, total);
    int32_t code = 0;
    int k = 0;
    for (int l = 1; l <= 16; l++) {
      h.valptr[l] = k;
      h.mincode[l] = code;
      code += p[l];
      k += p[l];
      h.maxcode[l] = p[l] ? code - 1 : -1;
      if (code > (1 << l)) return false;  // more codes than this length holds
      code <<= 1;
    }
    h.maxcode[17] = 0x7FFFFFFF;
    h.defined = 1;
    p += 17 + total;
    len -= 17 + total;
  }
  return true;
}

// Returns the decoded symbol, or -1 for a code the table does not have.
int decode_symbol(rawdec_bits* b, const HuffTable& h) {
  unsigned look = rawdec_bits_peek(b, 16);
  for (int l = 1; l <= 16; l++) {
    int32_t code = static_cast<int32_t>(look >> (16 - l));
    if (h.maxcode[l] >= 0 && code <= h.maxcode[l] && code >= h.mincode[l]) {
      rawdec_bits_skip(b, l);
      return h.values[h.valptr[l] + code - h.mincode[l]];
    }
  }
  return -1;
}

// Decodes one scan, sending the samples in order to the chunk's raster.
void decode_scan(rawdec_context* ctx, const uint8_t* data, size_t size, Frame& f, const Chunk& ch) {
  const unsigned spp = static_cast<unsigned>(ctx->tiff_samples);
  const uint64_t wanted = uint64_t(ch.width) * ch.rows * spp;
  const int cols = f.width, comps = f.comps;
  const unsigned line = static_cast<unsigned>(cols) * comps;
  uint16_t* rows = static_cast<uint16_t*>(rawdec_alloc(ctx, 2ull * line, sizeof(uint16_t), "load_raw()"));
  uint16_t* prev = rows;
  uint16_t* cur = rows + line;

  unsigned restart_rows = 0;
  if (f.restart_interval) {
    if (f.restart_interval % unsigned(cols)) {
      rawdec_data_error(ctx, "restart interval is not a whole number of lines");
      rawdec_release(ctx, rows);
      return;
    }
    restart_rows = f.restart_interval / unsigned(cols);
  }
  const int shift = f.precision - f.point_transform - 1;
  const int initial = shift >= 0 ? 1 << shift : 0;

  rawdec_bits bits;
  rawdec_bits_init(&bits, data, size, 1);
  uint64_t done = 0;
  uint32_t out_row = 0, out_col = 0;
  unsigned out_s = 0;
  for (int row = 0; row < f.height && done < wanted; row++) {
    bool first_line = row == 0;
    if (restart_rows && row && row % restart_rows == 0) {
      // The interval's data ends in a restart marker; what is left of its
      // last byte is padding. The reader stops in front of markers.
      size_t at = bits.pos;
      if (at + 1 >= size || data[at] != 0xFF || (data[at + 1] & 0xF8) != 0xD0) {
        rawdec_data_error(ctx, "restart marker missing");
        break;
      }
      data += at + 2;
      size -= at + 2;
      rawdec_bits_init(&bits, data, size, 1);
      first_line = true;
    }
    for (int col = 0; col < cols; col++)
      for (int c = 0; c < comps; c++) {
        int i = col * comps + c;
        int pred;
        if (first_line) {
          pred = col ? cur[i - comps] : initial;
        } else if (!col) {
          pred = prev[i];
        } else {
          int ra = cur[i - comps], rb = prev[i], rc = prev[i - comps];
          switch (f.predictor) {
            case 1: pred = ra; break;
            case 2: pred = rb; break;
            case 3: pred = rc; break;
            case 4: pred = ra + rb - rc; break;
            case 5: pred = ra + ((rb - rc) >> 1); break;
            case 6: pred = rb + ((ra - rc) >> 1); break;
            default: pred = (ra + rb) >> 1; break;
          }
        }
        int cat = decode_symbol(&bits, f.huff[f.table[c]]);
        if (cat < 0 || cat > 16) {
          rawdec_data_error(ctx, "bad lossless JPEG code");
          goto done_scan;
        }
        int diff;
        if (cat == 0) diff = 0;
        else if (cat == 16) diff = 32768;
        else {
          diff = static_cast<int>(rawdec_bits_get(&bits, cat));
          if (diff < (1 << (cat - 1))) diff -= (1 << cat) - 1;
        }
        cur[i] = static_cast<uint16_t>(pred + diff);
      }
    if (bits.overrun) {
      rawdec_data_error(ctx, "lossless JPEG data ends early");
      break;
    }
    for (unsigned i = 0; i < line && done < wanted; i++, done++) {
      put(ctx, ch.row0 + out_row, ch.col0 + out_col, out_s, (cur[i] << f.point_transform) & 0xFFFF);
      if (++out_s == spp) {
        out_s = 0;
        if (++out_col == ch.width) {
          out_col = 0;
          out_row++;
        }
      }
    }
    uint16_t* t = prev;
    prev = cur;
    cur = t;
  }
done_scan:
  if (done < wanted && !ctx->data_error) rawdec_data_error(ctx, "lossless JPEG picture is smaller than its tile");
  rawdec_release(ctx, rows);
}

// Walks the markers of one JPEG stream and decodes its (single) scan.
void decode_ljpeg(rawdec_context* ctx, const uint8_t* data, size_t size, const Chunk& ch, Frame* f) {
  memset(f, 0, sizeof *f);
  if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) {
    rawdec_data_error(ctx, "lossless JPEG data missing");
    return;
  }
  size_t pos = 2;
  bool have_frame = false;
  while (pos + 4 <= size) {
    if (data[pos] != 0xFF) {
      rawdec_data_error(ctx, "lossless JPEG marker expected");
      return;
    }
    int marker = data[pos + 1];
    if (marker == 0xFF) {  // fill byte
      pos++;
      continue;
    }
    if (marker == 0xD9) break;
    size_t len = size_t(data[pos + 2]) << 8 | data[pos + 3];
    if (len < 2 || pos + 2 + len > size) {
      rawdec_data_error(ctx, "lossless JPEG segment runs past its data");
      return;
    }
    const uint8_t* seg = data + pos + 4;
    size_t seg_len = len - 2;
    switch (marker) {
      case 0xC3: {
        if (seg_len < 6) goto bad;
        f->precision = seg[0];
        f->height = seg[1] << 8 | seg[2];
        f->width = seg[3] << 8 | seg[4];
        f->comps = seg[5];
        if (f->precision < 2 || f->precision > 16 || !f->height || !f->width || f->comps < 1 || f->comps > 4 ||
            seg_len < 6 + 3u * f->comps)
          goto bad;
        for (int c = 0; c < f->comps; c++) {
          f->comp_id[c] = seg[6 + c * 3];
          if (seg[7 + c * 3] != 0x11) {
            rawdec_data_error(ctx, "subsampled lossless JPEG is not supported");
            return;
          }
        }
        have_frame = true;
        break;
      }
      case 0xC0: case 0xC1: case 0xC2: case 0xC5: case 0xC6: case 0xC7:
      case 0xC9: case 0xCA: case 0xCB: case 0xCD: case 0xCE: case 0xCF:
        rawdec_data_error(ctx, "only lossless JPEG is supported in DNG data");
        return;
      case 0xC4:
        if (!define_tables(seg, seg_len, f)) goto bad;
        break;
      case 0xDD:
        if (seg_len < 2) goto bad;
        f->restart_interval = unsigned(seg[0]) << 8 | seg[1];
        break;
      case 0xDA: {
        if (!have_frame || seg_len < 1) goto bad;
        int ns = seg[0];
        if (ns != f->comps || seg_len < 4 + 2u * ns) goto bad;
        for (int i = 0; i < ns; i++) {
          int id = seg[1 + i * 2], td = seg[2 + i * 2] >> 4;
          int c = 0;
          while (c < f->comps && f->comp_id[c] != id) c++;
          if (c == f->comps || c != i || td > 3 || !f->huff[td].defined) goto bad;
          f->table[c] = td;
        }
        f->predictor = seg[1 + 2 * ns];
        f->point_transform = seg[3 + 2 * ns] & 15;
        if (f->predictor < 1 || f->predictor > 7 || f->point_transform >= f->precision) goto bad;
        size_t start = pos + 2 + len;
        decode_scan(ctx, data + start, size - start, *f, ch);
        return;
      }
      default: break;  // APPn, COM and the like
    }
    pos += 2 + len;
  }
bad:
  rawdec_data_error(ctx, "damaged lossless JPEG header");
}

}  // namespace

void rawdec_lossless_jpeg_load_raw(rawdec_context* ctx) {
  if (!ready(ctx)) return;
  Frame* frame = static_cast<Frame*>(rawdec_alloc(ctx, 1, sizeof(Frame), "load_raw()"));
  for (uint32_t k = 0; k < ctx->chunk_count; k++) {
    Chunk ch = chunk_at(ctx, k);
    uint64_t got;
    uint8_t* buf = read_chunk(ctx, k, ctx->chunk_sizes[k], &got);
    decode_ljpeg(ctx, buf, static_cast<size_t>(got), ch, frame);
    rawdec_release(ctx, buf);
  }
  rawdec_release(ctx, frame);
}
