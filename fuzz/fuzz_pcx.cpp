// The PCX decoder and encoder on arbitrary bytes, round trip.
#include "fuzz/RoundTrip.h"
#include "image/formats/DibImagePCX.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz::RoundTrip<CDibImagePCX>(data, size);
}
