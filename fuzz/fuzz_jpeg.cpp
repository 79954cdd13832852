// The JPEG decoder on arbitrary bytes, with decode settings picked by the
// last byte. A picture it accepts is encoded again by the same object (which
// writes any EXIF section back) and must decode to the same size.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "image/formats/DibImageJPG.h"
#include "image/streams/MemoryStream.h"

namespace {

// Opens the settings the program itself never changes.
class FuzzJpg : public CDibImageJPG {
 public:
  void SetScale(BYTE scale) { m_info.jpegScale = scale; }
  void SetQuality(float quality) { m_info.jpegQuality = quality; }
};

// Far beyond any seed; decoding such sizes only measures the IDCT.
const uint64_t kMaxPixels = 4u << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t pick = data[size - 1];
  std::vector<uint8_t> input(data, data + size);

  {
    CMemoryStream stream(input.data(), static_cast<uint32_t>(input.size()));
    FuzzJpg query;
    query.SetEscape(-1);
    if (!query.Decode(&stream)) return 0;
    if (static_cast<uint64_t>(query.GetWidth()) * query.GetHeight() > kMaxPixels) return 0;
  }

  CMemoryStream stream(input.data(), static_cast<uint32_t>(input.size()));
  FuzzJpg image;
  DWORD options = 0;
  if (pick & 0x04) options |= 0x80;    // grey output
  if (pick & 0x08) options |= 0x100;   // quantise
  if (pick & 0x10) options |= 0x400;   // one pass
  if (pick & 0x20) options |= 0x800;   // no fancy upsampling
  if (pick & 0x40) options |= 0x200;   // ordered dither
  image.SetCodecOption(options, CDibImage::kFormatJpg);
  image.SetScale(static_cast<BYTE>((pick & 3) ? 1 << (pick & 3) : 0));
  image.SetQuality(static_cast<float>(8 + (pick >> 2)));
  if (!image.Decode(&stream) || !image.IsValid()) return 0;

  // Paletted colour output cannot be written as JPEG; everything else can.
  const bool writable = !image.IsIndexed() || image.IsGrayScale();
  image.SetCodecOption((pick & 0x80) ? 0x12 : 0x1, CDibImage::kFormatJpg);
  CMemoryStream encoded;
  encoded.Open();
  const bool written = image.Encode(&encoded);
  if (written != writable) std::abort();
  if (!written) return 0;

  encoded.Seek(0, CByteStream::kFromStart);
  CDibImageJPG again;
  if (!again.Decode(&encoded)) std::abort();
  if (again.GetWidth() != image.GetWidth() || again.GetHeight() != image.GetHeight()) std::abort();
  if (image.GetExifRecord().isExif && !again.GetExifRecord().isExif) std::abort();
  return 0;
}
