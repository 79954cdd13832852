// The TGA decoder and encoder (8-bit colour-mapped, 24-bit, or 32-bit with alpha) on arbitrary bytes, round trip.
#include "fuzz/RoundTrip.h"
#include "image/formats/DibImageTGA.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz::RoundTrip<CDibImageTGA>(data, size);
}
