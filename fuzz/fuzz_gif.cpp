// The GIF reader on arbitrary bytes. A picture it accepts must survive our
// own writer and read back to the same pixels.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/formats/DibImageGIF.h"
#include "image/streams/MemoryStream.h"

namespace {

// Opens the frame-to-load setting, which callers have no setter for.
class FuzzGif : public CDibImageGIF {
 public:
  void SetFrameToLoad(int frame) { m_info.frameToLoad = frame; }
};

bool SamePixels(const CDibImage& a, const CDibImage& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return false;
  for (int32_t y = 0; y < static_cast<int32_t>(a.GetHeight()); ++y)
    for (int32_t x = 0; x < static_cast<int32_t>(a.GetWidth()); ++x) {
      const RGBQUAD p = a.GetPixelColor(x, y, false), q = b.GetPixelColor(x, y, false);
      if (p.rgbRed != q.rgbRed || p.rgbGreen != q.rgbGreen || p.rgbBlue != q.rgbBlue) return false;
    }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> input(data, data + size);
  CMemoryStream stream(input.data(), static_cast<uint32_t>(input.size()));
  FuzzGif image;
  // The byte after the signature's "GIF8" picks a size query or a later
  // frame now and then, so those paths are run too.
  if (size > 4) {
    if (data[4] == '7') image.SetEscape(-1);
    if (data[4] == '8') image.SetFrameToLoad(1);
  }
  if (!image.Decode(&stream) || !image.IsValid()) return 0;
  // Large pictures are read, but writing them back is left to the unit tests.
  if (static_cast<uint64_t>(image.GetWidth()) * image.GetHeight() > (1u << 16)) return 0;

  CMemoryStream encoded;
  encoded.Open();
  if (!image.Encode(&encoded)) std::abort();
  encoded.Seek(0, CByteStream::kFromStart);
  FuzzGif again;
  if (!again.Decode(&encoded)) std::abort();
  if (!SamePixels(image, again)) std::abort();
  return 0;
}
