// JPEG files: baseline, progressive and arithmetic-coded, grey, colour and
// CMYK, with the EXIF data of a decoded file written back when the same
// object encodes again.
#pragma once

#include <memory>

#include "image/DibImage.h"
#include "image/formats/ExifInfo.h"

class CDibImageJPG : public CDibImage {
 public:
  CDibImageJPG();
  ~CDibImageJPG() override;

  bool Decode(CByteStream* stream);
  bool Encode(CByteStream* stream);
  // Reads only the EXIF data of the stream into the record (cleared first)
  // and puts the stream back where it was; true when the file has EXIF.
  bool DecodeExif(CByteStream* stream);

  const ExifRecord& GetExifRecord() const { return m_exifRecord; }
  // The reader of the last decode, null before one.
  const CExifInfo* GetExifReader() const { return m_exif.get(); }

 private:
  class ImageTarget;

  void ApplyResolution(int densityUnit, int xDensity, int yDensity);
  bool WriteBackExif(CByteStream* stream, int32_t start);

  std::unique_ptr<CExifInfo> m_exif;
  ExifRecord m_exifRecord;
};
