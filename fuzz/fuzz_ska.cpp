// The SKA decoder on arbitrary bytes. A picture it accepts must survive our
// own encoder and decode again to the same pixels and palette.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/formats/DibImageSKA.h"
#include "image/streams/MemoryStream.h"

namespace {

bool SamePicture(const CDibImage& a, const CDibImage& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() || a.GetBpp() != b.GetBpp() ||
      a.GetNumColors() != b.GetNumColors() || a.AlphaIsValid() != b.AlphaIsValid())
    return false;
  const size_t pixels = static_cast<size_t>(a.GetWidth()) * a.GetHeight();
  return std::memcmp(a.GetBits(0), b.GetBits(0), static_cast<size_t>(a.GetEffWidth()) * a.GetHeight()) == 0 &&
         (!a.GetNumColors() || std::memcmp(a.GetPalette(), b.GetPalette(), a.GetPaletteSize()) == 0) &&
         (!a.AlphaIsValid() || std::memcmp(a.AlphaGetPointer(), b.AlphaGetPointer(), pixels) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> input(data, data + size);
  CMemoryStream stream(input.data(), static_cast<uint32_t>(input.size()));
  // A short file may claim a huge picture, which only burns time: the size
  // query goes first.
  CDibImageSKA query;
  query.SetEscape(-1);
  if (!query.Decode(&stream) || query.IsValid()) return 0;
  if (static_cast<uint64_t>(query.GetWidth()) * query.GetHeight() > (1u << 20)) return 0;

  stream.Seek(0, CByteStream::kFromStart);
  CDibImageSKA image;
  if (!image.Decode(&stream) || !image.IsValid()) return 0;
  if (image.GetWidth() != query.GetWidth() || image.GetHeight() != query.GetHeight()) std::abort();

  CMemoryStream encoded;
  encoded.Open();
  if (!image.Encode(&encoded)) std::abort();
  encoded.Seek(0, CByteStream::kFromStart);
  CDibImageSKA again;
  if (!again.Decode(&encoded) || !SamePicture(image, again)) std::abort();
  return 0;
}
