// Context set-up and teardown, stdio stream operations, memory and messages.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "rawdec_internal.h"

namespace {

size_t stdio_read(void* s, void* buffer, size_t size, size_t count) {
  return fread(buffer, size, count, static_cast<FILE*>(s));
}
size_t stdio_write(void* s, const void* buffer, size_t size, size_t count) {
  return fwrite(buffer, size, count, static_cast<FILE*>(s));
}
int stdio_seek(void* s, int64_t offset, int origin) {
#ifdef _WIN32
  return _fseeki64(static_cast<FILE*>(s), offset, origin) == 0;
#else
  return fseeko(static_cast<FILE*>(s), static_cast<off_t>(offset), origin) == 0;
#endif
}
int stdio_close(void* s) { return fclose(static_cast<FILE*>(s)); }
char* stdio_gets(void* s, char* buffer, int capacity) { return fgets(buffer, capacity, static_cast<FILE*>(s)); }
int stdio_eof(void* s) { return feof(static_cast<FILE*>(s)); }
int64_t stdio_tell(void* s) {
#ifdef _WIN32
  return _ftelli64(static_cast<FILE*>(s));
#else
  return ftello(static_cast<FILE*>(s));
#endif
}
int stdio_getc(void* s) { return fgetc(static_cast<FILE*>(s)); }
int stdio_scanf(void* s, const char* format, void* out) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  return fscanf(static_cast<FILE*>(s), format, out);
#pragma GCC diagnostic pop
}

}  // namespace

const rawdec_stream_ops rawdec_stdio_ops = {
    stdio_read, stdio_write, stdio_seek, stdio_close, stdio_gets,
    stdio_eof,  stdio_tell,  stdio_getc, stdio_scanf,
};

void rawdec_init(rawdec_context* ctx) {
  memset(ctx, 0, sizeof *ctx);
  ctx->ops = &rawdec_stdio_ops;
  ctx->user_flip = ctx->user_black = ctx->user_qual = -1;
  ctx->use_fuji_rotate = 1;
  for (double& a : ctx->aber) a = 1.0;
  ctx->output_color = 1;
  ctx->output_bps = 8;
  ctx->use_camera_matrix = -1;
  ctx->wb_box[2] = ctx->wb_box[3] = -1;
  ctx->bright = 1.0f;
  ctx->gamma_power = 0.45;
  ctx->gamma_slope = 4.5;
  ctx->pixel_aspect = 1.0;
  ctx->message_capacity = 256;
}

void rawdec_merror(rawdec_context* ctx, const void* ptr, const char* where) {
  if (ptr) return;
  const char* name = ctx->ifname ? ctx->ifname : "";
  if (ctx->message && ctx->message_capacity)
    snprintf(ctx->message, ctx->message_capacity, "%s: Out of memory in %s\n", name, where);
  else
    fprintf(stderr, "%s: Out of memory in %s\n", name, where);
  longjmp(ctx->failure, 1);
}

void* rawdec_alloc(rawdec_context* ctx, uint64_t count, uint64_t size, const char* where) {
  int slot = 0;
  while (slot < RAWDEC_MAX_SCRATCH && ctx->scratch[slot]) slot++;
  void* p = nullptr;
  // Refuse what the address space cannot hold rather than let size_t wrap.
  if (slot < RAWDEC_MAX_SCRATCH && size && count <= (SIZE_MAX / 2) / size)
    p = calloc(static_cast<size_t>(count ? count : 1), static_cast<size_t>(size));
  rawdec_merror(ctx, p, where);
  ctx->scratch[slot] = p;
  return p;
}

void rawdec_release(rawdec_context* ctx, void* ptr) {
  if (!ptr) return;
  for (void*& s : ctx->scratch)
    if (s == ptr) s = nullptr;
  free(ptr);
}

void rawdec_data_error(rawdec_context* ctx, const char* format, ...) {
  if (ctx->data_error++) return;
  char text[200];
  va_list ap;
  va_start(ap, format);
  vsnprintf(text, sizeof text, format, ap);
  va_end(ap);
  const char* name = ctx->ifname ? ctx->ifname : "";
  if (ctx->message && ctx->message_capacity)
    snprintf(ctx->message, ctx->message_capacity, "%s: %s\n", name, text);
  else
    fprintf(stderr, "%s: %s\n", name, text);
}

int64_t rawdec_stream_size(rawdec_context* ctx) {
  int64_t here = ctx->ops->tell(ctx->stream);
  if (!ctx->ops->seek(ctx->stream, 0, SEEK_END)) return -1;
  int64_t size = ctx->ops->tell(ctx->stream);
  if (here >= 0) ctx->ops->seek(ctx->stream, here, SEEK_SET);
  return size;
}

bool rawdec_read_at(rawdec_context* ctx, int64_t offset, void* buffer, size_t size) {
  if (offset < 0 || !ctx->ops->seek(ctx->stream, offset, SEEK_SET)) return false;
  return size == 0 || ctx->ops->read(ctx->stream, buffer, 1, size) == size;
}

int64_t rawdec_flip_index(const rawdec_context* ctx, int row, int col) {
  int64_t r = row, c = col;
  if (ctx->flip & RAWDEC_FLIP_TRANSPOSE) {
    int64_t t = r;
    r = c;
    c = t;
  }
  if (ctx->flip & RAWDEC_FLIP_VERTICAL) r = ctx->iheight - 1 - r;
  if (ctx->flip & RAWDEC_FLIP_HORIZONTAL) c = ctx->iwidth - 1 - c;
  return r * ctx->iwidth + c;
}

void rawdec_cleanup(rawdec_context* ctx) {
  free(ctx->meta_data);
  ctx->meta_data = nullptr;
  free(ctx->image);
  ctx->image = nullptr;
  free(ctx->curve);
  ctx->curve = nullptr;
  free(ctx->histogram);
  ctx->histogram = nullptr;
  free(ctx->chunk_offsets);
  ctx->chunk_offsets = nullptr;
  free(ctx->chunk_sizes);
  ctx->chunk_sizes = nullptr;
  for (void*& s : ctx->scratch) {
    free(s);
    s = nullptr;
  }
}

// ---- bit reader ----

void rawdec_bits_init(rawdec_bits* b, const uint8_t* data, size_t size, int jpeg) {
  memset(b, 0, sizeof *b);
  b->data = data;
  b->size = size;
  b->jpeg = jpeg;
}

namespace {

int next_byte(rawdec_bits* b) {
  if (b->marker || b->pos >= b->size) return -1;
  int byte = b->data[b->pos];
  if (b->jpeg && byte == 0xFF) {
    if (b->pos + 1 < b->size && b->data[b->pos + 1] == 0x00) {
      b->pos += 2;
      return byte;
    }
    // A marker ends the entropy-coded data; the caller decides what it means.
    b->marker = b->pos + 1 < b->size ? 0xFF00 | b->data[b->pos + 1] : 0xFFFF;
    return -1;
  }
  b->pos++;
  return byte;
}

}  // namespace

// `count` bits are in the accumulator, of which the first `real` came from the
// data; the rest is zero padding fed after the end.
unsigned rawdec_bits_peek(rawdec_bits* b, int n) {
  while (b->count < n) {
    int byte = b->count == b->real ? next_byte(b) : -1;
    b->acc = (b->acc << 8) | static_cast<unsigned>(byte < 0 ? 0 : byte);
    b->count += 8;
    if (byte >= 0) b->real += 8;
  }
  return static_cast<unsigned>(b->acc >> (b->count - n)) & ((1u << n) - 1);
}

void rawdec_bits_skip(rawdec_bits* b, int n) {
  if (n > b->count) rawdec_bits_peek(b, n);
  b->count -= n;
  if (n > b->real) {
    b->overrun = 1;
    b->real = 0;
  } else {
    b->real -= n;
  }
}

void rawdec_bits_align(rawdec_bits* b) { rawdec_bits_skip(b, b->count & 7); }
