// The TIFF decoder on arbitrary bytes, any of the first four pages. A picture
// it accepts must survive our own encoder (LZW, lossless) and decode again to
// the same pixels.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "image/formats/DibImageTIF.h"
#include "image/streams/MemoryStream.h"

namespace {

class FuzzTiff : public CDibImageTIF {
 public:
  void SetFrameToLoad(int frame) { m_info.frameToLoad = frame; }
};

bool SamePixels(const CDibImage& a, const CDibImage& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() || a.AlphaIsValid() != b.AlphaIsValid())
    return false;
  for (int32_t y = 0; y < static_cast<int32_t>(a.GetHeight()); ++y)
    for (int32_t x = 0; x < static_cast<int32_t>(a.GetWidth()); ++x) {
      const RGBQUAD p = a.GetPixelColor(x, y, true), q = b.GetPixelColor(x, y, true);
      if (p.rgbRed != q.rgbRed || p.rgbGreen != q.rgbGreen || p.rgbBlue != q.rgbBlue) return false;
      if (a.AlphaIsValid() && p.rgbReserved != q.rgbReserved) return false;
    }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  std::vector<uint8_t> input(data + 1, data + size);
  const int page = data[0] & 3;
  CMemoryStream probe(input.data(), static_cast<uint32_t>(input.size()));
  FuzzTiff header;
  header.SetFrameToLoad(page);
  header.SetEscape(-1);
  if (!header.Decode(&probe) || header.IsValid()) return 0;
  if (static_cast<uint64_t>(header.GetWidth()) * header.GetHeight() > (1u << 20)) return 0;

  CMemoryStream stream(input.data(), static_cast<uint32_t>(input.size()));
  FuzzTiff image;
  image.SetFrameToLoad(page);
  if (!image.Decode(&stream)) {
    if (image.GetLastError()[0] == '\0') std::abort();
    return 0;
  }
  if (!image.IsValid() || image.GetNumFrames() <= page) std::abort();
  image.SetCodecOption(5, CDibImage::kFormatTif);
  CMemoryStream encoded;
  encoded.Open();
  if (!image.Encode(&encoded)) std::abort();
  encoded.Seek(0, CByteStream::kFromStart);
  FuzzTiff again;
  if (!again.Decode(&encoded)) std::abort();
  if (!SamePixels(image, again)) std::abort();
  return 0;
}
