// The metafile reader on arbitrary bytes: placeable WMF and EMF headers, the
// size query and, where GDI is missing, the refusal to render.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "image/formats/DibImageWMF.h"
#include "image/streams/MemoryStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> input(data, data + size);
  CMemoryStream stream(input.data(), static_cast<uint32_t>(input.size()));
  CDibImageWMF query;
  query.SetEscape(-1);
  if (query.Decode(&stream) && (query.IsValid() || query.GetWidth() == 0 || query.GetHeight() == 0))
    std::abort();

  stream.Seek(0, CByteStream::kFromStart);
  CDibImageWMF image;
  image.Decode(&stream);
  return 0;
}
