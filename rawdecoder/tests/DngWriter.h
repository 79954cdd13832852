// Writes DNG files from a ground-truth picture, for the decoder's tests: the
// picture (linear sRGB) goes through an inverse colour matrix, white balance,
// black and white levels and a colour filter mosaic, then is stored in one of
// the layouts the decoder reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace dngtest {

// Linear sRGB in [0, 1], three values per pixel, rows top to bottom.
struct Picture {
  int width = 0, height = 0;
  std::vector<float> rgb;
  float* at(int row, int col) { return &rgb[(size_t(row) * width + col) * 3]; }
  const float* at(int row, int col) const { return &rgb[(size_t(row) * width + col) * 3]; }
};

enum class PictureKind {
  kScene,  // gradients, colour patches, a white bar and soft edges
  kEdges,  // sharp neutral and coloured edges in all directions
};
Picture MakePicture(int width, int height, PictureKind kind);

enum class Layout { kMosaic, kLinearRgb, kMonochrome };

struct DngOptions {
  Layout layout = Layout::kMosaic;
  int cfa_phase = 0;          // 0 RGGB, 1 GRBG, 2 GBRG, 3 BGGR
  bool big_endian = false;
  int bits = 16;              // bits per stored sample (8 to 16)
  bool lossless_jpeg = false;
  int predictor = 1;          // lossless JPEG predictor, 1 to 7
  int jpeg_components = 2;    // samples of a stored row grouped into one JPEG pixel
  int restart_rows = 0;       // restart marker every this many JPEG rows, 0 = none
  bool fixed_huffman = false; // one fixed table instead of tables fitted to the data
  int tile_width = 0;         // 0 = strips
  int tile_length = 0;
  int rows_per_strip = 0;     // 0 = one strip
  bool raw_in_sub_ifd = true; // else the raw image is IFD0
  unsigned black = 256;
  bool per_cell_black = false;  // a 2x2 black pattern, different per colour
  unsigned white = 0;         // 0 = (1 << bits) - 1
  double exposure = 1;        // above 1 the brightest parts saturate the sensor
  bool linearization = false; // store value/4 with a table that multiplies by 4
  int masked_top = 0, masked_left = 0, masked_bottom = 0, masked_right = 0;  // outside the active area
  int crop_top = 0, crop_left = 0, crop_bottom = 0, crop_right = 0;          // inside it, outside the crop
  int orientation = 1;
  double default_scale[2] = {1, 1};
  bool two_matrices = true;   // a second, wrong matrix for standard light A
  bool as_shot_neutral = true;
  const double* color_matrix = nullptr;  // 3x3 written as DOUBLEs instead of the camera's matrices: a damaged profile
  const char* date_time = "2024:05:01 12:00:00";
};

struct DngFile {
  std::vector<uint8_t> bytes;
  // What load_raw must deliver for the visible picture: one value per pixel
  // for a mosaic, `colors` values per pixel otherwise.
  std::vector<uint16_t> expected;
  int colors = 3;
  int width = 0, height = 0;  // the visible picture
  double scale = 0;           // decoded linear value (of 65535) per unit of picture value
  std::vector<std::pair<uint64_t, uint64_t>> data_ranges;  // [begin, end) of the raw pixel data
};

DngFile WriteDng(const Picture& picture, const DngOptions& options);

}  // namespace dngtest
