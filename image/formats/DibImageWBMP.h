// Wireless bitmaps: type 0, one bit per pixel, 1 = white.
#pragma once

#include "image/DibImage.h"

class CDibImageWBMP : public CDibImage {
 public:
  CDibImageWBMP() : CDibImage(kFormatWbmp) {}
  ~CDibImageWBMP() override = default;

  bool Decode(CByteStream* stream);
  // 1-bit images only; a palette whose first entry is the brighter one is
  // written with its bits inverted, so black stays black.
  bool Encode(CByteStream* stream);

  // Multi-byte integers: 7 bits a byte, most significant group first, bit 7
  // set on every byte but the last. Reading stops with false at the end of
  // the stream or after 5 bytes (more than 32 bits).
  static bool WbmpReadInteger(CByteStream* stream, DWORD* value);
  static bool WbmpWriteInteger(CByteStream* stream, DWORD value);
};
