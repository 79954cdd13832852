// The JPEG section splitter and EXIF reader on arbitrary bytes, in EXIF mode
// and in image mode. Whatever image mode accepts must be written out and
// split again into the same sections.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "image/formats/ExifInfo.h"
#include "image/streams/MemoryStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> input(data, data + size);
  {
    CMemoryStream stream(input.data(), static_cast<uint32_t>(input.size()));
    CExifInfo exif;
    exif.ReadSections(&stream, CExifInfo::kReadExif);
    uint32_t length = 0;
    const uint8_t* thumbnail = exif.GetThumbnail(&length);
    volatile uint8_t sink = 0;
    for (uint32_t i = 0; thumbnail && i < length; ++i) sink = sink ^ thumbnail[i];
    // Only header sections are held, so there is nothing complete to write.
    CMemoryStream out;
    out.Open();
    if (exif.WriteSections(&out)) std::abort();
  }

  CMemoryStream stream(input.data(), static_cast<uint32_t>(input.size()));
  CExifInfo whole;
  if (!whole.ReadSections(&stream, CExifInfo::kReadImage)) return 0;
  CMemoryStream out;
  out.Open();
  if (!whole.WriteSections(&out)) std::abort();
  out.Seek(0, CByteStream::kFromStart);
  CExifInfo again;
  if (!again.ReadSections(&out, CExifInfo::kReadImage)) std::abort();
  if (again.GetSectionCount() != whole.GetSectionCount()) std::abort();
  for (int i = 0; i < whole.GetSectionCount(); ++i)
    if (again.GetSectionType(i) != whole.GetSectionType(i)) std::abort();
  return 0;
}
