// Placeable Windows metafiles and enhanced metafiles (read only), played by
// GDI into a bitmap of the screen's depth. Without GDI (native builds) only
// the headers are read: size queries work, rendering fails.
#pragma once

#include <cstdint>

#include "image/DibImage.h"

struct WmfPlaceableHeader;

class CDibImageWMF : public CDibImage {
 public:
  CDibImageWMF() : CDibImage(kFormatWmf) {}
  ~CDibImageWMF() override = default;

  bool Decode(CByteStream* stream) { return Decode(stream, 0, 0); }
  // A forced width or height (0 = none) replaces the natural one.
  bool Decode(CByteStream* stream, int32_t forcedWidth, int32_t forcedHeight);
  bool Encode(CByteStream* stream);

#ifdef _WIN32
  // The metafile at the stream's position as an enhanced metafile, or null.
  static HENHMETAFILE WmfReadAsEnhanced(CByteStream* stream, WmfPlaceableHeader* header);
  static HENHMETAFILE EmfReadEnhanced(CByteStream* stream, ENHMETAHEADER* header);
#endif
};
