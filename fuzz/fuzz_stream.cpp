// Differential fuzzing of the stream layer: the same operations on a memory
// stream and on a file stream must give the same results and the same bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "image/tests/StreamOps.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* file = std::tmpfile();
  if (!file) return 0;
  std::string failure;
  const bool agreed = streamops::Run(data, size, file, &failure);
  std::fclose(file);
  if (!agreed) {
    std::fprintf(stderr, "streams disagree: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
