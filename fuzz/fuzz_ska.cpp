// The SKA decoder and encoder on arbitrary bytes, round trip.
#include "fuzz/RoundTrip.h"
#include "image/formats/DibImageSKA.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz::RoundTrip<CDibImageSKA>(data, size);
}
