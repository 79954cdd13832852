// PNG through libpng: every colour type and depth in, 1/4/8-bit palette or
// 24-bit images out, alpha in the alpha plane or the palette's reserved bytes.
#pragma once

#include "image/DibImage.h"

class CDibImagePNG : public CDibImage {
 public:
  CDibImagePNG() : CDibImage(kFormatPng) {}
  ~CDibImagePNG() override = default;

  // Reads one PNG from the stream's position. With escape -1 only the
  // dimensions are set and no pixels are made.
  bool Decode(CByteStream* stream);
  // Writes the image at the stream's position; the image itself is never
  // changed, also when the write fails half way.
  bool Encode(CByteStream* stream);

  // Widens `width` 2-bit samples at the start of `row` to 4-bit samples in
  // place; the row must have room for the wider samples.
  static void ExpandTwoBitRow(BYTE* row, DWORD width);

 private:
  // libpng's state; plain data, so that a jump back from libpng leaves
  // nothing to unwind.
  struct ReadState;
  struct WriteState;
  // Everything from the libpng recovery point to libpng's last call.
  bool ReadPng(ReadState& state);
  bool WritePng(WriteState& state);
};
