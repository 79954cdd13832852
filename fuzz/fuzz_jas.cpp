// The JPEG 2000 family decoder (JP2, J2K, PGX, PNM, Sun raster) on arbitrary
// bytes. A picture it accepts must survive our own lossless encoders: PNM
// always, the detected format itself when the picture is small.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/formats/DibImageJAS.h"
#include "image/streams/MemoryStream.h"

namespace {

class FuzzImage : public CDibImageJAS {
 public:
  void Setup(int32_t frame, float quality) {
    m_info.frameToLoad = frame;
    m_info.jpegQuality = quality;
  }
};

bool SamePixels(const CDibImage& a, const CDibImage& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return false;
  for (int32_t y = 0; y < int32_t(a.GetHeight()); ++y)
    for (int32_t x = 0; x < int32_t(a.GetWidth()); ++x) {
      const RGBQUAD p = a.GetPixelColor(x, y, false), q = b.GetPixelColor(x, y, false);
      if (p.rgbRed != q.rgbRed || p.rgbGreen != q.rgbGreen || p.rgbBlue != q.rgbBlue) return false;
    }
  return true;
}

void RoundTrip(FuzzImage& image, DWORD id) {
  CMemoryStream encoded;
  encoded.Open();
  if (!image.Encode(&encoded, id)) std::abort();
  encoded.Seek(0, CByteStream::kFromStart);
  CDibImageJAS again;
  if (!again.Decode(&encoded, 0) || again.GetType() != id || !SamePixels(image, again)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> input(data, data + size);
  CMemoryStream stream(input.data(), static_cast<uint32_t>(input.size()));
  FuzzImage image;
  // The last byte picks a component now and then; 0x7F first asks for the size only.
  image.Setup(size > 0 && data[size - 1] < 4 ? data[size - 1] : 0, 100);
  if (size > 0 && data[0] == 0x7F) image.SetEscape(-1);
  if (!image.Decode(&stream, 0) || !image.IsValid()) return 0;
  // Only 8-bit grey and true colour can be written.
  if (image.IsIndexed() && !image.IsGrayScale()) return 0;
  if (static_cast<uint64_t>(image.GetEffWidth()) * image.GetHeight() > (4u << 20)) return 0;
  RoundTrip(image, CDibImage::kFormatPnm);
  if (static_cast<uint64_t>(image.GetWidth()) * image.GetHeight() <= 4096) {
    const DWORD type = image.GetType();
    if (type != CDibImage::kFormatPgx || image.IsIndexed()) RoundTrip(image, type);
  }
  return 0;
}
