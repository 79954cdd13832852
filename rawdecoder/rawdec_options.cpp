// Command-line style options for the decoder.
//
//   -w        white balance as shot         -a        automatic white balance
//   -A l t r b  box for the automatic balance
//   -M / +M   use / ignore the camera's own matrix
//   -k n      black level                   -t n      flip bits (0-7)
//   -q n      demosaic: 0 bilinear, 1 VNG, 2 PPG, 3 AHD
//   -n x      noise threshold               -h        half size
//   -C r b    chromatic aberration: red and blue magnification
//   -H n      highlights: 0 clip, 1 unclip, 2 blend, 3-9 rebuild
//   -o n      output colours: 0 camera, 1 sRGB
//   -b x      brightness                    -g p s    gamma power and toe slope
//   -m n      median filter passes          -4        16 bits per sample
//   -T        TIFF output order             -d / -D   document mode 1 / 2
//   -K file   dark frame to subtract        -j        no Fuji rotation
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "rawdec.h"

namespace {

bool to_int(const char* text, int lo, int hi, int* out) {
  if (!text || !*text) return false;
  char* end;
  errno = 0;
  long v = strtol(text, &end, 10);
  if (*end || errno || v < lo || v > hi) return false;
  *out = static_cast<int>(v);
  return true;
}

bool to_double(const char* text, double lo, double hi, double* out) {
  if (!text || !*text) return false;
  char* end;
  double v = strtod(text, &end);
  if (*end || !std::isfinite(v) || v < lo || v > hi) return false;
  *out = v;
  return true;
}

}  // namespace

int rawdec_parse_options(rawdec_context* ctx, int argc, const char* const* argv, int* index) {
  int arg = 1;
  if (argv) {
    for (; arg < argc && argv[arg] && (argv[arg][0] == '-' || argv[arg][0] == '+') && argv[arg][1]; arg++) {
      const char* opt = argv[arg];
      const char sign = opt[0];
      if (opt[2]) return 1;  // one letter per option
      auto next = [&]() -> const char* { return arg + 1 < argc ? argv[++arg] : nullptr; };
      double d;
      switch (opt[1]) {
        case 'w': ctx->use_camera_wb = 1; break;
        case 'a': ctx->use_auto_wb = 1; break;
        case 'A':
          for (int i = 0; i < 4; i++)
            if (!to_int(next(), -1, 65535, &ctx->wb_box[i])) return 1;
          break;
        case 'M': ctx->use_camera_matrix = sign == '-' ? 1 : 0; break;
        case 'k':
          if (!to_int(next(), 0, 65535, &ctx->user_black)) return 1;
          break;
        case 't':
          if (!to_int(next(), 0, 7, &ctx->user_flip)) return 1;
          break;
        case 'q':
          if (!to_int(next(), 0, 3, &ctx->user_qual)) return 1;
          break;
        case 'n':
          if (!to_double(next(), 0, 1e6, &d)) return 1;
          ctx->threshold = static_cast<float>(d);
          break;
        case 'h': ctx->half_size = 1; break;
        case 'C':
          if (!to_double(next(), 0.5, 2, &ctx->aber[0]) || !to_double(next(), 0.5, 2, &ctx->aber[2])) return 1;
          break;
        case 'H':
          if (!to_int(next(), 0, 9, &ctx->highlight)) return 1;
          break;
        case 'o':
          if (!to_int(next(), 0, 1, &ctx->output_color)) return 1;
          break;
        case 'b':
          if (!to_double(next(), 0.01, 100, &d)) return 1;
          ctx->bright = static_cast<float>(d);
          break;
        case 'g':
          if (!to_double(next(), 0.01, 1, &ctx->gamma_power) || !to_double(next(), 0, 1000, &ctx->gamma_slope))
            return 1;
          break;
        case 'm':
          if (!to_int(next(), 0, 100, &ctx->med_passes)) return 1;
          break;
        case '4': ctx->output_bps = 16; break;
        case 'T': ctx->output_tiff = 1; break;
        case 'd': ctx->document_mode = 1; break;
        case 'D': ctx->document_mode = 2; break;
        case 'K':
          ctx->dark_frame = next();
          if (!ctx->dark_frame) return 1;
          break;
        case 'j': ctx->use_fuji_rotate = 0; break;
        default: return 1;
      }
    }
  }
  if (index) *index = arg;
  if (ctx->use_camera_matrix < 0) ctx->use_camera_matrix = ctx->use_camera_wb;
  return 0;
}
