// Format detection: every decoder, tried in turn on arbitrary bytes, from a
// position inside the stream. Whatever decodes must be a usable picture.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "image/DibImage.h"
#include "image/streams/MemoryStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // The first byte is a prefix length, so detection starts mid-stream.
  const size_t skip = data[0] % 8 < size - 1 ? data[0] % 8 : 0;
  std::vector<uint8_t> input(data + 1, data + size);
  CMemoryStream stream(input.data(), static_cast<uint32_t>(input.size()));
  stream.Seek(static_cast<int32_t>(skip), CByteStream::kFromStart);

  CDibImage image;
  if (!image.Decode(&stream, 0)) {
    if (stream.Tell() != static_cast<int32_t>(skip)) std::abort();  // every try must rewind
    return 0;
  }
  if (!image.IsValid() || image.GetWidth() == 0 || image.GetHeight() == 0 || image.GetType() == 0) std::abort();
  // Touch every row of modest pictures, so a block smaller than its header
  // claims shows up (tiny files may legally describe huge blank pictures).
  if (static_cast<uint64_t>(image.GetEffWidth()) * image.GetHeight() > (16u << 20)) return 0;
  volatile uint8_t sum = 0;
  for (uint32_t y = 0; y < image.GetHeight(); ++y) {
    const uint8_t* row = image.GetBits(y);
    for (uint32_t i = 0; i < image.GetEffWidth(); ++i) sum = static_cast<uint8_t>(sum + row[i]);
  }
  return 0;
}
