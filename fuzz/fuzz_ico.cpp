// The icon decoder on arbitrary bytes, any of the first four entries. A
// picture it accepts must survive our own encoder with what a viewer shows
// of it.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "image/formats/DibImageICO.h"
#include "image/streams/MemoryStream.h"

namespace {

class FuzzIco : public CDibImageICO {
 public:
  void SetFrameToLoad(int frame) { m_info.frameToLoad = frame; }
};

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

// Classic entries keep only fully clear or opaque pixels of a palette image
// with palette alpha: compare alpha as clear or not.
bool SameShown(const CDibImage& a, const CDibImage& b, bool binaryAlpha) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return false;
  for (int32_t y = 0; y < static_cast<int32_t>(a.GetHeight()); ++y)
    for (int32_t x = 0; x < static_cast<int32_t>(a.GetWidth()); ++x) {
      const RGBQUAD p = Shown(a, x, y), q = Shown(b, x, y);
      if (p.rgbReserved == 0 && q.rgbReserved == 0) continue;
      if (p.rgbRed != q.rgbRed || p.rgbGreen != q.rgbGreen || p.rgbBlue != q.rgbBlue) return false;
      if (binaryAlpha ? (p.rgbReserved == 0) != (q.rgbReserved == 0) : p.rgbReserved != q.rgbReserved) return false;
    }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  std::vector<uint8_t> input(data + 1, data + size);
  const int frame = data[0] & 3;
  CMemoryStream probe(input.data(), static_cast<uint32_t>(input.size()));
  FuzzIco header;
  header.SetFrameToLoad(frame);
  header.SetEscape(-1);
  if (!header.Decode(&probe) || header.IsValid()) return 0;
  if (static_cast<uint64_t>(header.GetWidth()) * header.GetHeight() > (1u << 20)) return 0;

  CMemoryStream stream(input.data(), static_cast<uint32_t>(input.size()));
  FuzzIco image;
  image.SetFrameToLoad(frame);
  if (!image.Decode(&stream)) {
    if (image.GetLastError()[0] == '\0') std::abort();
    return 0;
  }
  if (!image.IsValid() || image.GetNumFrames() <= frame) std::abort();
  CMemoryStream encoded;
  encoded.Open();
  if (!image.Encode(&encoded)) std::abort();
  encoded.Seek(0, CByteStream::kFromStart);
  FuzzIco again;
  if (!again.Decode(&encoded)) std::abort();
  const bool classic = image.GetWidth() <= 255 && image.GetHeight() <= 255;
  if (!SameShown(image, again, classic && image.IsIndexed() && !image.AlphaIsValid())) std::abort();
  return 0;
}
