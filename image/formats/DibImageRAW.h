// Camera RAW files (read only), developed by the rawdec_ decoder into a 24-bit
// image. The RAW codec option's two low bits pick the demosaicing method:
// 0 bilinear, 1 VNG, 2 PPG, 3 AHD.
#pragma once

#include <cstdint>

#include "image/DibImage.h"

struct rawdec_context;
struct rawdec_stream_ops;

class CDibImageRAW : public CDibImage {
 public:
  CDibImageRAW() : CDibImage(kFormatRaw) {}
  ~CDibImageRAW() override = default;

  bool Decode(CByteStream* stream);
  bool Encode(CByteStream* stream);

  // What the decoder's stream operations work on: the caller's stream, with
  // offsets counted from where the RAW data starts in it.
  struct StreamView {
    CByteStream* stream;
    int32_t base;
  };
  // Fills `table` with operations over `view` and hands both to `context`.
  static void InstallStreamOps(rawdec_stream_ops* table, StreamView* view, rawdec_context* context);
};
