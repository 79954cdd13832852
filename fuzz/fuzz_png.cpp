// The PNG decoder on arbitrary bytes. A picture it accepts must survive our
// own encoder and decode again to what a viewer would show of it.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "image/formats/DibImagePNG.h"
#include "image/streams/MemoryStream.h"

namespace {

// Colour and alpha as shown: alpha plane, palette alpha and transparent key.
RGBQUAD Shown(const CDibImage& image, int32_t x, int32_t y) {
  RGBQUAD c = image.GetPixelColor(x, y, false);
  unsigned a = image.AlphaIsValid() ? image.AlphaGet(x, y) : 255;
  if (image.IsIndexed()) {
    if (image.AlphaPaletteIsValid()) a = a * c.rgbReserved / 255;
    if (image.GetTransIndex() >= 0 && image.GetPixelIndex(x, y) == image.GetTransIndex()) a = 0;
  } else if (image.GetTransIndex() >= 0) {
    const RGBQUAD key = image.GetTransColor();
    if (key.rgbRed == c.rgbRed && key.rgbGreen == c.rgbGreen && key.rgbBlue == c.rgbBlue) a = 0;
  }
  c.rgbReserved = static_cast<BYTE>(a);
  return c;
}

bool SameShown(const CDibImage& a, const CDibImage& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return false;
  for (int32_t y = 0; y < static_cast<int32_t>(a.GetHeight()); ++y)
    for (int32_t x = 0; x < static_cast<int32_t>(a.GetWidth()); ++x) {
      const RGBQUAD p = Shown(a, x, y), q = Shown(b, x, y);
      if (p.rgbReserved == 0 && q.rgbReserved == 0) continue;
      if (p.rgbRed != q.rgbRed || p.rgbGreen != q.rgbGreen || p.rgbBlue != q.rgbBlue || p.rgbReserved != q.rgbReserved)
        return false;
    }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> input(data, data + size);
  // Sizes first: pictures that would only cost time are not read whole.
  CMemoryStream probe(input.data(), static_cast<uint32_t>(input.size()));
  CDibImagePNG header;
  header.SetEscape(-1);
  if (!header.Decode(&probe) || header.IsValid()) return 0;
  if (static_cast<uint64_t>(header.GetWidth()) * header.GetHeight() > (1u << 20)) return 0;

  CMemoryStream stream(input.data(), static_cast<uint32_t>(input.size()));
  CDibImagePNG image;
  if (!image.Decode(&stream)) {
    if (image.GetLastError()[0] == '\0') std::abort();  // a failure always says why
    return 0;
  }
  if (!image.IsValid()) std::abort();
  // Saving both ways round: plain and interlaced.
  image.SetCodecOption(size & 1, CDibImage::kFormatPng);
  CMemoryStream encoded;
  encoded.Open();
  if (!image.Encode(&encoded)) std::abort();
  encoded.Seek(0, CByteStream::kFromStart);
  CDibImagePNG again;
  if (!again.Decode(&encoded)) std::abort();
  if (!SameShown(image, again)) std::abort();
  return 0;
}
