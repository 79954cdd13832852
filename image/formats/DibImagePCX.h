// ZSoft PCX, run-length encoded: 1, 2, 4 or 8 bits in one plane, 1 bit in up
// to four planes, 8 bits in three or four planes (the fourth is alpha).
// Writes 1-bit, 4-bit (four bit planes), 8-bit and 24-bit images.
#pragma once

#include "image/DibImage.h"

class CDibImagePCX : public CDibImage {
 public:
  CDibImagePCX() : CDibImage(kFormatPcx) {}
  ~CDibImagePCX() override = default;

  bool Decode(CByteStream* stream);
  bool Encode(CByteStream* stream);

  // Indices of the bytesPerLine * 8 / bitsPerPixel pixels of one plane line
  // of packed pixels; one plane only.
  bool PCX_UnpackPixels(BYTE* pixels, const BYTE* bitplanes, int bytesPerLine, int planes, int bitsPerPixel);
  // Indices of the bytesPerLine * 8 pixels of up to four 1-bit plane lines,
  // plane p giving bit p.
  bool PCX_PlanesToPixels(BYTE* pixels, const BYTE* bitplanes, int bytesPerLine, int planes, int bitsPerPixel);
};
