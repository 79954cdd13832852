// libFuzzer target: camera RAW identification and raw loading from memory,
// then development for small pictures.
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "rawdec.h"

namespace {

struct Memory {
  const uint8_t* data;
  size_t size;
  size_t pos;
};

Memory* M(void* s) { return static_cast<Memory*>(s); }

size_t Read(void* s, void* buffer, size_t size, size_t count) {
  Memory* m = M(s);
  if (!size || m->pos >= m->size) return 0;
  size_t n = (m->size - m->pos) / size;
  if (n > count) n = count;
  memcpy(buffer, m->data + m->pos, n * size);
  m->pos += n * size;
  return n;
}
size_t Write(void*, const void*, size_t, size_t) { return 0; }
int Seek(void* s, int64_t offset, int origin) {
  Memory* m = M(s);
  int64_t base = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? int64_t(m->pos) : int64_t(m->size);
  if (base + offset < 0 || base + offset > int64_t(m->size)) return 0;
  m->pos = size_t(base + offset);
  return 1;
}
int Close(void*) { return 1; }
char* Gets(void*, char*, int) { return nullptr; }
int Eof(void* s) { return M(s)->pos >= M(s)->size; }
int64_t Tell(void* s) { return int64_t(M(s)->pos); }
int Getc(void* s) {
  Memory* m = M(s);
  return m->pos < m->size ? m->data[m->pos++] : -1;
}
int Scanf(void*, const char*, void*) { return 0; }

const rawdec_stream_ops kOps = {Read, Write, Seek, Close, Gets, Eof, Tell, Getc, Scanf};

// Everything that may jump back runs here, with only plain values in the frame.
void Decode(rawdec_context* ctx, uint8_t* lut, unsigned choice) {
  rawdec_identify(ctx);
  if (!ctx->is_raw || !ctx->load_raw) return;
  ctx->iheight = ctx->height;
  ctx->iwidth = ctx->width;
  ctx->image = static_cast<uint16_t(*)[4]>(calloc(size_t(ctx->iheight) * ctx->iwidth, sizeof *ctx->image));
  rawdec_merror(ctx, ctx->image, "fuzz");
  ctx->ops->seek(ctx->stream, ctx->data_offset, SEEK_SET);
  ctx->load_raw(ctx);
  if (uint64_t(ctx->iheight) * ctx->iwidth > 256 * 256) return;
  ctx->highlight = int(choice >> 2 & 3);
  rawdec_scale_colors(ctx);
  rawdec_pre_interpolate(ctx);
  switch (choice & 3) {
    case 0: rawdec_lin_interpolate(ctx); break;
    case 1: rawdec_vng_interpolate(ctx); break;
    case 2: rawdec_ppg_interpolate(ctx); break;
    default: rawdec_ahd_interpolate(ctx); break;
  }
  if (ctx->highlight == 2) rawdec_blend_highlights(ctx);
  if (ctx->highlight > 2) rawdec_recover_highlights(ctx);
  rawdec_convert_to_rgb(ctx);
  rawdec_stretch(ctx);
  rawdec_gamma_lut(ctx, lut);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static uint8_t lut[0x10000];
  Memory memory = {data, size, 0};
  char message[256];
  rawdec_context* ctx = static_cast<rawdec_context*>(malloc(sizeof(rawdec_context)));
  rawdec_init(ctx);
  ctx->ops = &kOps;
  ctx->stream = &memory;
  ctx->message = message;
  ctx->ifname = "fuzz";
  unsigned choice = size ? data[size - 1] : 0;
  if (!setjmp(ctx->failure)) Decode(ctx, lut, choice);
  rawdec_cleanup(ctx);
  free(ctx);
  return 0;
}
