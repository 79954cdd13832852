// Windows bitmap files: Windows and OS/2 headers, 1 to 32 bits per pixel,
// RLE4/RLE8, bit-field masks, top-down rows and bare DIBs without a file header.
#pragma once

#include "image/DibImage.h"

class CDibImageBMP : public CDibImage {
 public:
  CDibImageBMP() : CDibImage(kFormatBmp) {}
  ~CDibImageBMP() override = default;

  bool Encode(CByteStream* stream);
  bool Decode(CByteStream* stream);
  // Reads an information header of any known size into a 40-byte one and
  // leaves the stream just behind the header. The masks of a bit-field file
  // come back in `masks` (red, green, blue, alpha; zero when the file has
  // none); null when the caller has no use for them.
  bool DibReadBitmapInfo(CByteStream* stream, BITMAPINFOHEADER* header, DWORD* masks = nullptr);

 private:
  bool EncodeWithAlpha(CByteStream* stream);
};
