// The MNG/JNG decoder on arbitrary bytes, whichever frame the last byte
// asks for. A picture it accepts must survive our own encoder unchanged.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/formats/DibImageMNG.h"
#include "image/streams/MemoryStream.h"

namespace {

class FuzzImage : public CDibImageMNG {
 public:
  void SetFrame(int32_t frame) { m_info.frameToLoad = frame; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> input(data, data + size);
  CMemoryStream stream(input.data(), static_cast<uint32_t>(input.size()));
  FuzzImage image;
  image.SetFrame(size > 0 ? data[size - 1] % 4 : 0);
  if (size > 0 && data[0] == 0x7F) image.SetEscape(-1);
  if (!image.Decode(&stream) || !image.IsValid()) return 0;
  if (static_cast<uint64_t>(image.GetEffWidth()) * image.GetHeight() > (4u << 20)) return 0;

  CMemoryStream encoded;
  encoded.Open();
  if (!image.Encode(&encoded)) std::abort();
  encoded.Seek(0, CByteStream::kFromStart);
  CDibImageMNG again;
  if (!again.Decode(&encoded) || again.GetWidth() != image.GetWidth() || again.GetHeight() != image.GetHeight())
    std::abort();
  const size_t bytes = static_cast<size_t>(image.GetEffWidth()) * image.GetHeight();
  if (std::memcmp(again.GetBits(0), image.GetBits(0), bytes) != 0) std::abort();
  return 0;
}
