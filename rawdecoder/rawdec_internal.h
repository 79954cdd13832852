// Helpers shared by the decoder's source files; not part of the interface.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "rawdec.h"

// Allocates zeroed memory that rawdec_cleanup frees if a failure jump skips
// the owner's own rawdec_release; jumps to the failure point when out of memory.
void* rawdec_alloc(rawdec_context* ctx, uint64_t count, uint64_t size, const char* where);
void rawdec_release(rawdec_context* ctx, void* ptr);

// Notes damaged input: sets data_error and writes the message (first one only).
void rawdec_data_error(rawdec_context* ctx, const char* format, ...);

// Size of the stream in bytes, -1 when it cannot seek.
int64_t rawdec_stream_size(rawdec_context* ctx);
// Reads exactly `size` bytes at `offset`; false (no data error) when short.
bool rawdec_read_at(rawdec_context* ctx, int64_t offset, void* buffer, size_t size);

// Clips to 0..65535, then truncates (callers that round add 0.5 first). The
// clip is done in floating point: values scaled from file data can lie far
// outside any integer type, where a conversion is undefined. NaN gives 0.
inline int rawdec_clip16(double v) { return v > 0 ? v < 65535 ? static_cast<int>(v) : 65535 : 0; }

// MSB-first bit reader over a memory block. Reading past the end yields zero
// bits and sets `overrun`; it never touches memory outside the block.
struct rawdec_bits {
  const uint8_t* data;
  size_t size;
  size_t pos;
  uint64_t acc;
  int count;
  int real;
  int overrun;
  // JPEG entropy data: 0xFF 0x00 stands for 0xFF, any other marker ends the data.
  int jpeg;
  int marker;  // the marker found in JPEG data, 0 = none
};

void rawdec_bits_init(rawdec_bits* b, const uint8_t* data, size_t size, int jpeg);
// 0 < n <= 25
unsigned rawdec_bits_peek(rawdec_bits* b, int n);
void rawdec_bits_skip(rawdec_bits* b, int n);
inline unsigned rawdec_bits_get(rawdec_bits* b, int n) {
  if (n == 0) return 0;
  unsigned v = rawdec_bits_peek(b, n);
  rawdec_bits_skip(b, n);
  return v;
}
// Drops the bits left in the current byte (the stuffing before a JPEG marker).
void rawdec_bits_align(rawdec_bits* b);

// Colour science shared by identify, the demosaicers and the output conversion.
extern const double rawdec_xyz_rgb[3][3];  // linear sRGB (D65) to XYZ
