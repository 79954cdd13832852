#include "RawTestSupport.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace rawtest {
namespace {

MemoryStream* S(void* s) { return static_cast<MemoryStream*>(s); }

size_t Read(void* s, void* buffer, size_t size, size_t count) {
  MemoryStream* m = S(s);
  if (!size || m->pos >= m->size) return 0;
  size_t n = (m->size - m->pos) / size;
  if (n > count) n = count;
  memcpy(buffer, m->data + m->pos, n * size);
  m->reads.push_back({m->pos, m->pos + n * size});
  m->pos += n * size;
  return n;
}
size_t Write(void*, const void*, size_t, size_t) { return 0; }
int Seek(void* s, int64_t offset, int origin) {
  MemoryStream* m = S(s);
  int64_t base = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? int64_t(m->pos) : int64_t(m->size);
  if (base + offset < 0 || base + offset > int64_t(m->size)) return 0;
  m->pos = size_t(base + offset);
  return 1;
}
int Close(void*) { return 1; }
char* Gets(void* s, char* buffer, int n) {
  MemoryStream* m = S(s);
  int i = 0;
  while (i < n - 1 && m->pos < m->size) {
    char c = char(m->data[m->pos++]);
    buffer[i++] = c;
    if (c == '\n') break;
  }
  if (!i) return nullptr;
  buffer[i] = 0;
  return buffer;
}
int Eof(void* s) { return S(s)->pos >= S(s)->size; }
int64_t Tell(void* s) { return int64_t(S(s)->pos); }
int Getc(void* s) {
  MemoryStream* m = S(s);
  if (m->pos >= m->size) return -1;
  m->reads.push_back({m->pos, m->pos + 1});
  return m->data[m->pos++];
}
int Scanf(void*, const char*, void*) { return 0; }

// The work between identify and the output, with nothing in this frame that a
// failure jump could skip the destruction of.
void Run(rawdec_context* ctx, uint8_t* lut) {
  rawdec_identify(ctx);
  if (!ctx->is_raw || !ctx->load_raw) return;
  ctx->shrink = ctx->filters && (ctx->half_size || ctx->threshold || ctx->aber[0] != 1 || ctx->aber[2] != 1);
  ctx->iheight = uint16_t((ctx->height + ctx->shrink) >> ctx->shrink);
  ctx->iwidth = uint16_t((ctx->width + ctx->shrink) >> ctx->shrink);
  ctx->image = static_cast<uint16_t(*)[4]>(calloc(size_t(ctx->iheight) * ctx->iwidth, sizeof *ctx->image));
  rawdec_merror(ctx, ctx->image, "Develop");
  ctx->ops->seek(ctx->stream, ctx->data_offset, SEEK_SET);
  ctx->load_raw(ctx);
  if (ctx->zero_is_bad) rawdec_remove_zeroes(ctx);
  rawdec_bad_pixels(ctx);
  if (ctx->dark_frame) rawdec_subtract(ctx, ctx->dark_frame);
  ctx->quality = 2 + !ctx->fuji_width;
  if (ctx->user_qual >= 0) ctx->quality = ctx->user_qual;
  if (ctx->user_black >= 0) ctx->black = unsigned(ctx->user_black);
  if (!ctx->is_foveon && ctx->document_mode < 2) rawdec_scale_colors(ctx);
  rawdec_pre_interpolate(ctx);
  if (ctx->filters && !ctx->document_mode) {
    if (ctx->quality == 0) rawdec_lin_interpolate(ctx);
    else if (ctx->quality == 1 || ctx->colors > 3) rawdec_vng_interpolate(ctx);
    else if (ctx->quality == 2) rawdec_ppg_interpolate(ctx);
    else rawdec_ahd_interpolate(ctx);
  }
  if (ctx->mix_green) {
    ctx->colors = 3;
    for (size_t i = 0; i < size_t(ctx->iheight) * ctx->iwidth; i++)
      ctx->image[i][1] = uint16_t((ctx->image[i][1] + ctx->image[i][3]) >> 1);
  }
  if (!ctx->is_foveon) {
    if (ctx->colors == 3) rawdec_median_filter(ctx);
    if (ctx->highlight == 2) rawdec_blend_highlights(ctx);
    if (ctx->highlight > 2) rawdec_recover_highlights(ctx);
  }
  if (ctx->use_fuji_rotate) rawdec_fuji_rotate(ctx);
  rawdec_convert_to_rgb(ctx);
  if (ctx->use_fuji_rotate) rawdec_stretch(ctx);
  rawdec_gamma_lut(ctx, lut);
}

}  // namespace

const rawdec_stream_ops kMemoryOps = {Read, Write, Seek, Close, Gets, Eof, Tell, Getc, Scanf};

Developed Develop(const std::vector<uint8_t>& file, const Options& options) {
  Developed out;
  MemoryStream stream;
  stream.data = file.data();
  stream.size = file.size();
  char message[256] = "";
  std::vector<uint8_t> lut(0x10000);
  rawdec_context* ctx = new rawdec_context;
  rawdec_init(ctx);
  ctx->user_qual = options.quality;
  ctx->half_size = options.half_size;
  ctx->highlight = options.highlight;
  ctx->use_camera_wb = options.use_camera_wb;
  ctx->use_auto_wb = options.use_auto_wb;
  ctx->med_passes = options.med_passes;
  ctx->user_flip = options.user_flip;
  ctx->user_black = options.user_black;
  ctx->dark_frame = options.dark_frame;
  ctx->gamma_power = options.gamma_power;
  ctx->ifname = "test";
  ctx->message = message;
  rawdec_parse_options(ctx, 0, nullptr, nullptr);
  ctx->ops = &kMemoryOps;
  ctx->stream = &stream;
  ctx->zero_is_bad = options.zero_is_bad;
  if (setjmp(ctx->failure)) {
    out.message = message;
    rawdec_cleanup(ctx);
    delete ctx;
    return out;
  }
  Run(ctx, lut.data());
  if (ctx->is_raw && ctx->load_raw) {
    const bool transpose = ctx->flip & RAWDEC_FLIP_TRANSPOSE;
    out.width = transpose ? ctx->height : ctx->width;
    out.height = transpose ? ctx->width : ctx->height;
    // Walk in output order with the same steps the adapter uses.
    const int64_t start = rawdec_flip_index(ctx, 0, 0);
    const int64_t col_step = rawdec_flip_index(ctx, 0, 1) - start;
    const int64_t row_step = rawdec_flip_index(ctx, 1, 0) - rawdec_flip_index(ctx, 0, out.width);
    int64_t at = start;
    for (int r = 0; r < out.height; r++, at += row_step)
      for (int c = 0; c < out.width; c++, at += col_step)
        for (int k = 0; k < 3; k++) {
          out.linear.push_back(ctx->image[at][k]);
          out.rgb8.push_back(lut[ctx->image[at][k]]);
        }
    out.ok = true;
  }
  out.data_error = ctx->data_error;
  out.message = message;
  rawdec_cleanup(ctx);
  delete ctx;
  return out;
}

}  // namespace rawtest
