// SKA: 8-bit palette images behind a fixed 9-byte header, rows top to bottom
// without padding.
#pragma once

#include "image/DibImage.h"

class CDibImageSKA : public CDibImage {
 public:
  CDibImageSKA() : CDibImage(kFormatSka) {}
  ~CDibImageSKA() override = default;

  // A foreign header fails without a message.
  bool Decode(CByteStream* stream);
  // Images of 8 bits or less; smaller depths are widened while writing, the
  // image itself is left as it is.
  bool Encode(CByteStream* stream);
};
