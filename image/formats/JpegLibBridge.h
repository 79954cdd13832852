// The libjpeg side of the JPEG codec. It sees neither <windows.h> nor the
// image class: libjpeg's `boolean` and the SDK's must never meet in one
// translation unit, and the non-local jumps of libjpeg's error handling stay
// inside JpegLibBridge.cpp, where no frame they cross owns anything.
#pragma once

#include <cstddef>
#include <cstdint>

class CByteStream;

// Bits of the JPEG codec-option word.
namespace jpegoption {
constexpr uint32_t kBaseline = 0x1;
constexpr uint32_t kArithmetic = 0x2;
constexpr uint32_t kGreyEncode = 0x4;
constexpr uint32_t kOptimise = 0x8;
constexpr uint32_t kProgressive = 0x10;
constexpr uint32_t kSmoothing = 0x40;
constexpr uint32_t kGreyDecode = 0x80;
constexpr uint32_t kQuantise = 0x100;
constexpr uint32_t kDither = 0x200;
constexpr uint32_t kOnePass = 0x400;
constexpr uint32_t kNoSmoothing = 0x800;
constexpr uint32_t kSampling422 = 0x1000;
constexpr uint32_t kSampling444 = 0x2000;
}  // namespace jpegoption

// What the decoder asks of the picture it fills.
class CJpegDecodeTarget {
 public:
  // The output size is known and nothing is decompressed yet. False (with
  // the reason already in the error text) stops the decode.
  virtual bool CreateImage(uint32_t width, uint32_t height, int bitsPerPixel) = 0;
  // Row `row` counted from the top of the picture.
  virtual uint8_t* TopDownRow(uint32_t row) = 0;
  virtual void SetGreyPalette() = 0;
  // A missing green or blue table means the one before it.
  virtual void SetPalette(int count, const uint8_t* red, const uint8_t* green, const uint8_t* blue) = 0;
  virtual bool Cancelled() = 0;

 protected:
  ~CJpegDecodeTarget() = default;
};

struct JpegDecodeRequest {
  uint32_t options = 0;
  int colours = 0;           // palette size asked for with kQuantise
  int scaleDenominator = 1;  // 1, 2, 4 or 8
  bool dimensionsOnly = false;
};

struct JpegDecodeResult {
  uint32_t width = 0;
  uint32_t height = 0;
  int densityUnit = 0;  // JFIF: 0 aspect ratio only, 1 per inch, 2 per cm
  uint16_t xDensity = 0;
  uint16_t yDensity = 0;
};

struct JpegEncodeRequest {
  uint32_t options = 0;
  int quality = 90;           // 0-100
  uint32_t width = 0;
  uint32_t height = 0;
  bool grey = false;          // one byte per pixel, else blue, green, red
  const uint8_t* bottomRow = nullptr;  // rows run bottom-up from here
  uint32_t stride = 0;
  uint16_t xDensity = 96;     // dots per inch
  uint16_t yDensity = 96;
};

// libjpeg's message lands in `error` (NUL-terminated, `errorSize` bytes).
bool JpegLibDecode(CByteStream* stream, const JpegDecodeRequest& request, CJpegDecodeTarget& target,
                   JpegDecodeResult& result, char* error, size_t errorSize);
bool JpegLibEncode(CByteStream* stream, const JpegEncodeRequest& request, char* error, size_t errorSize);
