// Stream operations over memory and the development pipeline the image
// library's RAW format class runs, for the decoder's tests.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "rawdec.h"

namespace rawtest {

struct MemoryStream {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t pos = 0;
  std::vector<std::pair<uint64_t, uint64_t>> reads;  // [begin, end) of every read
};
extern const rawdec_stream_ops kMemoryOps;

struct Options {
  int quality = 3;
  int half_size = 0;
  int highlight = 0;
  int use_camera_wb = 0;
  int use_auto_wb = 0;
  int med_passes = 0;
  int user_flip = -1;
  int user_black = -1;
  int zero_is_bad = 0;
  const char* dark_frame = nullptr;
  double gamma_power = 0.45;
};

struct Developed {
  bool ok = false;
  std::string message;
  int width = 0, height = 0;      // in output orientation
  std::vector<uint16_t> linear;   // three values per pixel, output order
  std::vector<uint8_t> rgb8;      // through the gamma table
  int data_error = 0;
};

// Runs identify, load_raw and every development step as the RAW adapter does.
Developed Develop(const std::vector<uint8_t>& file, const Options& options);

}  // namespace rawtest
