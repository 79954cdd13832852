// The RAW format class on arbitrary bytes: the size query, then a full
// decode of small pictures with the demosaicing method the last byte picks.
// A decoded picture must have the size the query announced.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "image/formats/DibImageRAW.h"
#include "image/streams/MemoryStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> input(data, data + size);
  CMemoryStream stream(input.data(), static_cast<uint32_t>(input.size()));
  CDibImageRAW query;
  query.SetEscape(-1);
  if (!query.Decode(&stream)) return 0;
  if (query.IsValid()) std::abort();
  const uint64_t pixels = static_cast<uint64_t>(query.GetWidth()) * query.GetHeight();
  if (pixels == 0 || pixels > 512 * 512) return 0;

  stream.Seek(0, CByteStream::kFromStart);
  CDibImageRAW image;
  image.SetCodecOption(size ? data[size - 1] : 0, CDibImage::kFormatRaw);
  if (!image.Decode(&stream)) return 0;
  if (!image.IsValid() || image.GetBpp() != 24 || image.GetWidth() != query.GetWidth() ||
      image.GetHeight() != query.GetHeight())
    std::abort();
  return 0;
}
