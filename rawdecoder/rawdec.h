// Camera RAW decoder: identification and development of DNG files.
//
// All state lives in one rawdec_context, so any number of decodes can run on
// different threads at once. Typical use (what the image library's RAW
// format class does):
//
//   rawdec_init(&ctx);                      set options, stream ops and stream
//   rawdec_parse_options(&ctx, 0, 0, 0);
//   if (setjmp(ctx.failure)) { ... rawdec_cleanup(&ctx); fail }
//   rawdec_identify(&ctx);                  is_raw, load_raw, sizes, colours
//   allocate ctx.image (iheight * iwidth pixels, zeroed), seek to data_offset
//   ctx.load_raw(&ctx);
//   remove_zeroes / bad_pixels / subtract / scale_colors / pre_interpolate /
//   one demosaic / median_filter / highlights / convert_to_rgb / gamma_lut
//   read the pixels in output order through rawdec_flip_index
//   rawdec_cleanup(&ctx);
//
// Failures: allocation failures jump to ctx.failure (longjmp value 1) after
// writing a message; callers arm it with setjmp before identify. Damaged
// pixel data never jumps: loaders set data_error, write a message and leave
// the unreadable part of the picture black.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdint>

struct rawdec_context;

// Stream operations over the caller's stream object (first argument of each).
struct rawdec_stream_ops {
  size_t (*read)(void* stream, void* buffer, size_t size, size_t count);
  size_t (*write)(void* stream, const void* buffer, size_t size, size_t count);
  int (*seek)(void* stream, int64_t offset, int origin);  // non-zero on success
  int (*close)(void* stream);
  char* (*gets)(void* stream, char* buffer, int capacity);
  int (*eof)(void* stream);
  int64_t (*tell)(void* stream);
  int (*getc)(void* stream);  // 0-255, -1 at the end
  int (*scanf)(void* stream, const char* format, void* out);
};

// The operations rawdec_init installs: the stream object is a FILE*.
extern const rawdec_stream_ops rawdec_stdio_ops;

typedef void (*rawdec_loader)(rawdec_context* ctx);

enum {
  RAWDEC_FLIP_HORIZONTAL = 1,
  RAWDEC_FLIP_VERTICAL = 2,
  RAWDEC_FLIP_TRANSPOSE = 4,
};

enum { RAWDEC_MAX_SCRATCH = 8 };

struct rawdec_context {
  const rawdec_stream_ops* ops;
  void* stream;

  // Options (rawdec_init sets the defaults; rawdec_parse_options can change them).
  const char* dark_frame;  // 16-bit PGM subtracted by rawdec_subtract, null = none
  int user_flip;           // -1 = the file's orientation
  int user_black;          // -1 = the file's black level
  int user_qual;           // demosaicing method override, -1 = none
  int use_fuji_rotate;
  float threshold;
  int half_size;
  double aber[4];           // red and blue magnification (aber[0], aber[2])
  int highlight;            // 0 clip, 1 unclip, 2 blend, 3+ rebuild
  int output_color;         // 0 camera colours, 1 sRGB
  int output_bps;           // 8 or 16
  int output_tiff;
  int document_mode;
  int use_camera_wb;
  int use_camera_matrix;
  int use_auto_wb;
  int wb_box[4];            // auto white balance box: left, top, right, bottom (-1 = edge)
  int med_passes;
  float bright;
  double gamma_power;       // 0.45 with gamma_slope 4.5 is BT.709; power 1 is linear
  double gamma_slope;

  const char* ifname;       // used in messages
  char* meta_data;
  uint32_t meta_length;
  char make[64];
  char model[64];

  // What rawdec_identify found.
  uint32_t filters;         // colour of (row, col): filters >> (((row << 1 & 14) | (col & 1)) << 1) & 3
  uint32_t data_offset;
  unsigned black;
  unsigned cblack[4];       // per-colour black above `black`
  unsigned maximum;
  int mix_green;
  int raw_color;
  int zero_is_bad;
  int is_raw;
  int is_foveon;
  int is_dng;
  uint16_t raw_height, raw_width;    // the stored picture
  uint16_t top_margin, left_margin;  // where the visible picture starts in it
  uint16_t height, width;            // the visible picture
  uint16_t iheight, iwidth;          // the image buffer (smaller when shrunk)
  uint16_t shrink;
  uint16_t fuji_width;
  int flip;
  int colors;
  int quality;
  double pixel_aspect;
  int64_t timestamp;        // seconds since 1970 from the file, 0 = unknown
  uint16_t (*image)[4];
  float cmatrix[3][4];      // matrix the camera embeds in its own format (unused for DNG)
  float rgb_cam[3][4];      // camera colours to the output colour space
  float pre_mul[4];         // daylight white balance from the colour matrix
  float cam_mul[4];         // white balance as shot, 0 = unknown
  rawdec_loader load_raw;
  jmp_buf failure;
  char* message;            // where messages go instead of stderr, null = stderr
  size_t message_capacity;

  // Decoder internals.
  int data_error;
  uint16_t* curve;          // linearization table, 65536 entries, null = none
  int* histogram;           // [4][0x2000], filled by rawdec_convert_to_rgb
  float clip_level[4];      // scaled saturation of each colour
  int tiff_bps, tiff_samples, tiff_compress, tiff_planar;
  uint32_t tile_width, tile_length;  // of the raw data; tile_width 0 = strips
  uint32_t rows_per_strip;
  uint32_t chunk_count;
  uint32_t* chunk_offsets;  // strip or tile offsets and byte counts
  uint32_t* chunk_sizes;
  int big_endian;
  void* scratch[RAWDEC_MAX_SCRATCH];
};

void rawdec_init(rawdec_context* ctx);
// Parses the option letters of argv[*index...] when argv is given (see rawdec_options.cpp);
// returns non-zero for an unknown option or a bad number.
int rawdec_parse_options(rawdec_context* ctx, int argc, const char* const* argv, int* index);
void rawdec_identify(rawdec_context* ctx);
void rawdec_merror(rawdec_context* ctx, const void* ptr, const char* where);

void rawdec_remove_zeroes(rawdec_context* ctx);
void rawdec_bad_pixels(rawdec_context* ctx);
void rawdec_subtract(rawdec_context* ctx, const char* fname);
void rawdec_scale_colors(rawdec_context* ctx);
void rawdec_pre_interpolate(rawdec_context* ctx);
void rawdec_lin_interpolate(rawdec_context* ctx);
void rawdec_vng_interpolate(rawdec_context* ctx);
void rawdec_ppg_interpolate(rawdec_context* ctx);
void rawdec_ahd_interpolate(rawdec_context* ctx);
void rawdec_median_filter(rawdec_context* ctx);
void rawdec_blend_highlights(rawdec_context* ctx);
void rawdec_recover_highlights(rawdec_context* ctx);
void rawdec_fuji_rotate(rawdec_context* ctx);
void rawdec_stretch(rawdec_context* ctx);
// After this every output has three colours (a one-colour picture in all three).
void rawdec_convert_to_rgb(rawdec_context* ctx);
void rawdec_gamma_lut(rawdec_context* ctx, uint8_t lut[0x10000]);
int64_t rawdec_flip_index(const rawdec_context* ctx, int row, int col);
void rawdec_cleanup(rawdec_context* ctx);

// The raw loaders rawdec_identify can choose.
void rawdec_unpacked_load_raw(rawdec_context* ctx);
void rawdec_packed_load_raw(rawdec_context* ctx);
void rawdec_lossless_jpeg_load_raw(rawdec_context* ctx);

// Colour of a pixel of the visible picture under the filter pattern.
inline int rawdec_fc(const rawdec_context* ctx, int row, int col) {
  return ctx->filters >> ((((row << 1) & 14) | (col & 1)) << 1) & 3;
}
