// The BMP decoder on arbitrary bytes. A picture it accepts must survive our
// own encoder and decode again to the same geometry and pixels.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/formats/DibImageBMP.h"
#include "image/streams/MemoryStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> input(data, data + size);
  // Tiny files may legally describe huge blank pictures: ask for the size
  // first and leave those out, or every run only measures memset.
  {
    CMemoryStream stream(input.data(), static_cast<uint32_t>(input.size()));
    CDibImageBMP query;
    query.SetEscape(-1);
    if (!query.Decode(&stream)) return 0;
    if (static_cast<uint64_t>(query.GetWidth()) * query.GetHeight() > (4u << 20)) return 0;
  }
  CMemoryStream stream(input.data(), static_cast<uint32_t>(input.size()));
  CDibImageBMP image;
  if (!image.Decode(&stream) || !image.IsValid()) return 0;

  CMemoryStream encoded;
  encoded.Open();
  if (!image.Encode(&encoded)) std::abort();
  encoded.Seek(0, CByteStream::kFromStart);
  CDibImageBMP again;
  if (!again.Decode(&encoded)) std::abort();
  if (again.GetWidth() != image.GetWidth() || again.GetHeight() != image.GetHeight() ||
      again.GetBpp() != image.GetBpp() || again.AlphaIsValid() != image.AlphaIsValid())
    std::abort();
  if (std::memcmp(again.GetBits(0), image.GetBits(0), image.GetEffWidth() * static_cast<size_t>(image.GetHeight())) != 0)
    std::abort();
  return 0;
}
