// Truevision Targa: colour-mapped, true-colour and grey images, plain or
// run-length encoded, in any of the four corner orders. Writes 8-bit
// colour-mapped and 24-bit images, 32-bit when there is an alpha plane.
#pragma once

#include "image/DibImage.h"

class CDibImageTGA : public CDibImage {
 public:
  CDibImageTGA() : CDibImage(kFormatTga) {}
  ~CDibImageTGA() override = default;

  bool Decode(CByteStream* stream);
  bool Encode(CByteStream* stream);
};
