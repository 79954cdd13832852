// Round trip of one codec on arbitrary bytes: a picture its decoder accepts must
// survive our own encoder and decode again to the same pixels, palette and alpha.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/DibImage.h"
#include "image/streams/MemoryStream.h"

namespace fuzz {

inline bool SamePicture(const CDibImage& a, const CDibImage& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() || a.GetBpp() != b.GetBpp() ||
      a.GetNumColors() != b.GetNumColors() || a.AlphaIsValid() != b.AlphaIsValid())
    return false;
  const size_t pixels = static_cast<size_t>(a.GetWidth()) * a.GetHeight();
  return std::memcmp(a.GetBits(0), b.GetBits(0), static_cast<size_t>(a.GetEffWidth()) * a.GetHeight()) == 0 &&
         (!a.GetNumColors() || std::memcmp(a.GetPalette(), b.GetPalette(), a.GetPaletteSize()) == 0) &&
         (!a.AlphaIsValid() || std::memcmp(a.AlphaGetPointer(), b.AlphaGetPointer(), pixels) == 0);
}

template <class Codec>
int RoundTrip(const uint8_t* data, size_t size) {
  std::vector<uint8_t> input(data, data + size);
  CMemoryStream stream(input.data(), static_cast<uint32_t>(input.size()));
  // A short file may claim a huge picture, which only burns time: the size
  // query goes first.
  Codec query;
  query.SetEscape(-1);
  if (!query.Decode(&stream) || query.IsValid()) return 0;
  if (static_cast<uint64_t>(query.GetWidth()) * query.GetHeight() > (1u << 20)) return 0;

  stream.Seek(0, CByteStream::kFromStart);
  Codec image;
  if (!image.Decode(&stream) || !image.IsValid()) return 0;
  if (image.GetWidth() != query.GetWidth() || image.GetHeight() != query.GetHeight()) std::abort();

  CMemoryStream encoded;
  encoded.Open();
  if (!image.Encode(&encoded)) std::abort();
  encoded.Seek(0, CByteStream::kFromStart);
  Codec again;
  if (!again.Decode(&encoded) || !SamePicture(image, again)) std::abort();
  return 0;
}

}  // namespace fuzz
