// The JPEG 2000 family: JP2 files and J2K code streams through OpenJPEG, and
// the sibling formats PGX, PNM and Sun raster through small codecs of our own.
// One class serves format ids 11 to 15; the id picks the format to write, and
// a decode recognises the format by its signature.
#pragma once

#include "image/DibImage.h"

struct JasPicture;

class CDibImageJAS : public CDibImage {
 public:
  // The format id stays 0 until a decode or an encode names the format.
  CDibImageJAS() : CDibImage(kFormatUnknown) {}
  ~CDibImageJAS() override = default;

  // Three-component colour becomes a 24-bit image; any other picture is read
  // one component at a time, the frame to load choosing which, as a grey image.
  bool Decode(CByteStream* stream, DWORD formatId);
  // 24-bit images and 8-bit images with the grey ramp palette; the JPEG
  // quality sets the rate (100 is lossless).
  bool Encode(CByteStream* stream, DWORD formatId);

 private:
  bool TakePicture(JasPicture& picture, DWORD typeId);
};
