#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "DngWriter.h"
#include "RawTestSupport.h"
#include "rawdec.h"

using dngtest::DngFile;
using dngtest::DngOptions;
using dngtest::Layout;
using dngtest::MakePicture;
using dngtest::Picture;
using dngtest::PictureKind;
using rawtest::Develop;
using rawtest::Developed;

namespace {

// A context reading `file` from memory; identify has run.
struct Identified {
  rawtest::MemoryStream stream;
  rawdec_context ctx;
  char message[256] = "";

  explicit Identified(const std::vector<uint8_t>& file) {
    stream.data = file.data();
    stream.size = file.size();
    rawdec_init(&ctx);
    ctx.ops = &rawtest::kMemoryOps;
    ctx.stream = &stream;
    ctx.message = message;
    ctx.ifname = "test";
    if (setjmp(ctx.failure)) return;  // identify allocates nothing large here
    rawdec_identify(&ctx);
  }
  ~Identified() { rawdec_cleanup(&ctx); }

  // Loads the raw data; false when it had to jump out.
  bool Load() {
    ctx.iheight = ctx.height;
    ctx.iwidth = ctx.width;
    ctx.image = static_cast<uint16_t(*)[4]>(calloc(size_t(ctx.height) * ctx.width, sizeof *ctx.image));
    if (setjmp(ctx.failure)) return false;
    ctx.ops->seek(ctx.stream, ctx.data_offset, SEEK_SET);
    ctx.load_raw(&ctx);
    return true;
  }

  std::vector<uint16_t> Mosaic(int colors) const {
    std::vector<uint16_t> v;
    for (int r = 0; r < ctx.height; r++)
      for (int c = 0; c < ctx.width; c++) {
        const uint16_t* p = ctx.image[size_t(r) * ctx.width + c];
        if (ctx.filters) v.push_back(p[rawdec_fc(&ctx, r, c)]);
        else
          for (int k = 0; k < colors; k++) v.push_back(p[k]);
      }
    return v;
  }
};

// PSNR of decoded linear output against the picture, leaving out a border.
double Psnr(const Developed& d, const Picture& truth, double scale, int border = 6, bool grey = false) {
  double se = 0;
  size_t n = 0;
  for (int r = border; r < truth.height - border; r++)
    for (int c = border; c < truth.width - border; c++) {
      const float* t = truth.at(r, c);
      double y = 0.2126 * t[0] + 0.7152 * t[1] + 0.0722 * t[2];
      for (int k = 0; k < 3; k++) {
        double want = grey ? y : t[k];
        double got = d.linear[(size_t(r) * d.width + c) * 3 + k] / scale;
        se += (got - want) * (got - want);
        n++;
      }
    }
  return 10 * std::log10(1.0 / (se / n));
}

struct Variant {
  const char* name;
  DngOptions options;
};

DngOptions Opt(void (*edit)(DngOptions&)) {
  DngOptions o;
  edit(o);
  return o;
}

std::vector<Variant> StorageVariants() {
  return {
      {"uncompressed 16-bit", Opt([](DngOptions&) {})},
      {"uncompressed 16-bit big-endian", Opt([](DngOptions& o) { o.big_endian = true; })},
      {"uncompressed 8-bit", Opt([](DngOptions& o) { o.bits = 8; o.black = 16; })},
      {"packed 10-bit", Opt([](DngOptions& o) { o.bits = 10; o.black = 64; })},
      {"packed 12-bit big-endian", Opt([](DngOptions& o) { o.bits = 12; o.big_endian = true; })},
      {"packed 14-bit strips", Opt([](DngOptions& o) { o.bits = 14; o.rows_per_strip = 7; })},
      {"16-bit tiles with partial edge tiles", Opt([](DngOptions& o) { o.tile_width = 32; o.tile_length = 20; })},
      {"12-bit tiles", Opt([](DngOptions& o) { o.bits = 12; o.tile_width = 48; o.tile_length = 16; })},
      {"raw image in IFD0", Opt([](DngOptions& o) { o.raw_in_sub_ifd = false; })},
      {"linearization table", Opt([](DngOptions& o) { o.bits = 12; o.linearization = true; })},
      {"masked border, odd crop", Opt([](DngOptions& o) {
         o.masked_top = 3; o.masked_left = 5; o.masked_right = 2; o.masked_bottom = 1;
         o.crop_top = 1; o.crop_left = 3; o.crop_bottom = 2; o.crop_right = 1;
       })},
      {"per-cell black", Opt([](DngOptions& o) { o.per_cell_black = true; })},
      {"lossless JPEG predictor 1", Opt([](DngOptions& o) { o.lossless_jpeg = true; o.bits = 14; })},
      {"lossless JPEG predictor 2", Opt([](DngOptions& o) { o.lossless_jpeg = true; o.predictor = 2; })},
      {"lossless JPEG predictor 3", Opt([](DngOptions& o) { o.lossless_jpeg = true; o.predictor = 3; })},
      {"lossless JPEG predictor 4", Opt([](DngOptions& o) { o.lossless_jpeg = true; o.predictor = 4; o.bits = 12; })},
      {"lossless JPEG predictor 5", Opt([](DngOptions& o) { o.lossless_jpeg = true; o.predictor = 5; })},
      {"lossless JPEG predictor 6", Opt([](DngOptions& o) { o.lossless_jpeg = true; o.predictor = 6; })},
      {"lossless JPEG predictor 7", Opt([](DngOptions& o) { o.lossless_jpeg = true; o.predictor = 7; })},
      {"lossless JPEG one component, fixed table", Opt([](DngOptions& o) {
         o.lossless_jpeg = true; o.jpeg_components = 1; o.fixed_huffman = true;
       })},
      {"lossless JPEG tiles, big-endian", Opt([](DngOptions& o) {
         o.lossless_jpeg = true; o.tile_width = 32; o.tile_length = 32; o.big_endian = true; o.predictor = 6;
       })},
      {"lossless JPEG restart markers", Opt([](DngOptions& o) {
         o.lossless_jpeg = true; o.restart_rows = 5; o.predictor = 4; o.rows_per_strip = 24;
       })},
      {"lossless JPEG four components", Opt([](DngOptions& o) { o.lossless_jpeg = true; o.jpeg_components = 4; })},
      {"linear RGB", Opt([](DngOptions& o) { o.layout = Layout::kLinearRgb; })},
      {"linear RGB lossless JPEG", Opt([](DngOptions& o) {
         o.layout = Layout::kLinearRgb; o.lossless_jpeg = true; o.jpeg_components = 3; o.tile_width = 16; o.tile_length = 16;
       })},
      {"monochrome 12-bit", Opt([](DngOptions& o) { o.layout = Layout::kMonochrome; o.bits = 12; })},
  };
}

}  // namespace

TEST(RawDecoderLoad, BufferAfterLoadRawIsTheWrittenMosaic) {
  const Picture picture = MakePicture(80, 60, PictureKind::kScene);
  for (int phase = 0; phase < 4; phase++)
    for (const Variant& v : StorageVariants()) {
      DngOptions o = v.options;
      o.cfa_phase = phase;
      if (phase && o.layout != Layout::kMosaic) continue;
      SCOPED_TRACE(std::string(v.name) + ", phase " + std::to_string(phase));
      DngFile file = dngtest::WriteDng(picture, o);
      Identified id(file.bytes);
      ASSERT_TRUE(id.ctx.is_raw);
      ASSERT_NE(id.ctx.load_raw, nullptr);
      EXPECT_EQ(id.ctx.width, file.width);
      EXPECT_EQ(id.ctx.height, file.height);
      EXPECT_EQ(id.ctx.colors, o.layout == Layout::kMonochrome ? 1 : 3);
      EXPECT_STREQ(id.ctx.make, "Vesk");
      EXPECT_STREQ(id.ctx.model, "Test Camera");
      ASSERT_TRUE(id.Load());
      EXPECT_EQ(id.ctx.data_error, 0) << id.message;
      EXPECT_TRUE(id.Mosaic(file.colors) == file.expected);
    }
}

TEST(RawDecoderLoad, IdentifyReadsNoPixelData) {
  DngOptions o;
  o.lossless_jpeg = true;
  o.tile_width = o.tile_length = 32;
  DngFile file = dngtest::WriteDng(MakePicture(64, 48, PictureKind::kScene), o);
  Identified id(file.bytes);
  ASSERT_TRUE(id.ctx.is_raw);
  for (auto [begin, end] : id.stream.reads)
    for (auto [data_begin, data_end] : file.data_ranges)
      EXPECT_TRUE(end <= data_begin || begin >= data_end) << "read " << begin << ".." << end;
}

TEST(RawDecoderLoad, OtherInputFailsCleanly) {
  DngFile good = dngtest::WriteDng(MakePicture(64, 48, PictureKind::kScene), DngOptions());
  auto plain_tiff = good.bytes;
  // DNGVersion renamed to an unknown tag: an ordinary TIFF is no raw file.
  for (size_t i = 0; i + 1 < plain_tiff.size(); i++)
    if (plain_tiff[i] == 0x12 && plain_tiff[i + 1] == 0xC6) plain_tiff[i] = 0x11;
  auto looped = good.bytes;
  memcpy(&looped[4], "\x08\0\0\0", 4);  // IFD0 at offset 8 lands in pixel data
  // The raw IFD claims 65535 x 65535 pixels that the data cannot hold.
  auto huge = good.bytes;
  for (size_t i = 0; i + 12 <= huge.size(); i++) {
    const uint8_t width[] = {0x00, 0x01, 4, 0, 1, 0, 0, 0, 64, 0, 0, 0};
    const uint8_t height[] = {0x01, 0x01, 4, 0, 1, 0, 0, 0, 48, 0, 0, 0};
    if (!memcmp(&huge[i], width, 12) || !memcmp(&huge[i], height, 12)) huge[i + 8] = huge[i + 9] = 0xFF;
  }
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"empty", {}},
      {"JPEG", {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0}},
      {"PNG", {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13}},
      {"TIFF header only", {'I', 'I', 42, 0, 8, 0, 0, 0}},
      {"IFD pointing to itself", {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 1, 0x4A, 0, 4, 0, 0, 0, 1, 0, 0, 0, 8, 0, 0, 0, 8}},
      {"TIFF without DNG version", plain_tiff},
      {"IFD0 inside the pixel data", looped},
      {"more pixels than data", huge},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Identified id(c.bytes);
    EXPECT_FALSE(id.ctx.is_raw);
    EXPECT_EQ(id.ctx.load_raw, nullptr);
    Developed d = Develop(c.bytes, rawtest::Options());
    EXPECT_FALSE(d.ok);
  }
}

TEST(RawDecoderLoad, DamagedPixelDataIsNotedAndDecodingGoesOn) {
  const Picture picture = MakePicture(64, 48, PictureKind::kScene);
  for (bool jpeg : {false, true}) {
    SCOPED_TRACE(jpeg ? "lossless JPEG" : "uncompressed");
    DngOptions o;
    o.lossless_jpeg = jpeg;
    o.bits = 12;
    DngFile file = dngtest::WriteDng(picture, o);
    // Zero the second half of the pixel data: sizes stay, content is garbage.
    auto [begin, end] = file.data_ranges[0];
    std::vector<uint8_t> damaged = file.bytes;
    for (uint64_t i = begin + (end - begin) / 2; i < end; i++) damaged[i] = jpeg ? 0xFF : 0x00;
    Developed d = Develop(damaged, rawtest::Options());
    EXPECT_TRUE(d.ok);
    if (jpeg) {
      EXPECT_NE(d.data_error, 0);
    }
    EXPECT_EQ(d.width, 64);
  }
}

TEST(RawDecoderDevelop, EachQualityMeetsItsPsnr) {
  const Picture picture = MakePicture(96, 72, PictureKind::kScene);
  const double minimum[4] = {32.5, 34, 38, 34.5};  // bilinear, VNG, PPG, AHD
  for (int phase = 0; phase < 4; phase++) {
    DngOptions o;
    o.cfa_phase = phase;
    DngFile file = dngtest::WriteDng(picture, o);
    for (int q = 0; q < 4; q++) {
      SCOPED_TRACE("phase " + std::to_string(phase) + " quality " + std::to_string(q));
      rawtest::Options opt;
      opt.quality = q;
      Developed d = Develop(file.bytes, opt);
      ASSERT_TRUE(d.ok) << d.message;
      EXPECT_GT(Psnr(d, picture, file.scale), minimum[q]);
    }
  }
}

TEST(RawDecoderDevelop, EdgeDirectedMethodsBeatBilinearOnEdges) {
  const Picture picture = MakePicture(128, 96, PictureKind::kEdges);
  DngFile file = dngtest::WriteDng(picture, DngOptions());
  double psnr[4];
  for (int q = 0; q < 4; q++) {
    rawtest::Options opt;
    opt.quality = q;
    Developed d = Develop(file.bytes, opt);
    ASSERT_TRUE(d.ok);
    psnr[q] = Psnr(d, picture, file.scale);
  }
  EXPECT_GT(psnr[1], psnr[0] + 1) << "VNG";
  EXPECT_GT(psnr[2], psnr[0] + 1) << "PPG";
  EXPECT_GT(psnr[3], psnr[0] + 1) << "AHD";
}

TEST(RawDecoderDevelop, EveryLayoutDevelopsToThePicture) {
  const Picture picture = MakePicture(64, 48, PictureKind::kScene);
  for (const Variant& v : StorageVariants()) {
    SCOPED_TRACE(v.name);
    DngFile file = dngtest::WriteDng(picture, v.options);
    Developed d = Develop(file.bytes, rawtest::Options());
    ASSERT_TRUE(d.ok) << d.message;
    bool grey = v.options.layout == Layout::kMonochrome;
    EXPECT_GT(Psnr(d, picture, file.scale, 6, grey), v.options.layout == Layout::kMosaic ? 32.5 : 60);
  }
}

TEST(RawDecoderDevelop, WhiteBalanceChoicesAgreeOnANeutralCamera) {
  // The file's as-shot neutral is the daylight balance of its matrix.
  const Picture picture = MakePicture(64, 48, PictureKind::kScene);
  DngFile file = dngtest::WriteDng(picture, DngOptions());
  rawtest::Options daylight, as_shot;
  as_shot.use_camera_wb = 1;
  Developed a = Develop(file.bytes, daylight), b = Develop(file.bytes, as_shot);
  ASSERT_TRUE(a.ok && b.ok);
  EXPECT_GT(Psnr(b, picture, file.scale), 32.5);
  // Grey world on a picture that is not grey: still a picture, just tinted.
  rawtest::Options automatic;
  automatic.use_auto_wb = 1;
  Developed c = Develop(file.bytes, automatic);
  EXPECT_TRUE(c.ok);
}

TEST(RawDecoderDevelop, OrientationTurnsTheOutput) {
  const Picture picture = MakePicture(64, 48, PictureKind::kScene);
  for (int orientation = 1; orientation <= 8; orientation++) {
    SCOPED_TRACE("orientation " + std::to_string(orientation));
    DngOptions o;
    o.orientation = orientation;
    DngFile file = dngtest::WriteDng(picture, o);
    Developed d = Develop(file.bytes, rawtest::Options());
    ASSERT_TRUE(d.ok);
    const bool swapped = orientation >= 5;
    EXPECT_EQ(d.width, swapped ? 48 : 64);
    EXPECT_EQ(d.height, swapped ? 64 : 48);
    // What the viewer sees: (row, col) of the display comes from the stored picture
    // as TIFF defines the orientations.
    Picture shown;
    shown.width = d.width;
    shown.height = d.height;
    shown.rgb.resize(picture.rgb.size());
    for (int r = 0; r < shown.height; r++)
      for (int c = 0; c < shown.width; c++) {
        const int W = shown.width, H = shown.height;
        int sr = r, sc = c;
        switch (orientation) {
          case 2: sc = W - 1 - c; break;
          case 3: sr = H - 1 - r; sc = W - 1 - c; break;
          case 4: sr = H - 1 - r; break;
          case 5: sr = c; sc = r; break;
          case 6: sr = W - 1 - c; sc = r; break;
          case 7: sr = W - 1 - c; sc = H - 1 - r; break;
          case 8: sr = c; sc = H - 1 - r; break;
        }
        memcpy(shown.at(r, c), picture.at(sr, sc), 3 * sizeof(float));
      }
    EXPECT_GT(Psnr(d, shown, file.scale), 32.5);
  }
}

TEST(RawDecoderDevelop, HalfSizeAndPixelAspect) {
  const Picture picture = MakePicture(96, 72, PictureKind::kScene);
  DngFile file = dngtest::WriteDng(picture, DngOptions());
  rawtest::Options half;
  half.half_size = 1;
  Developed d = Develop(file.bytes, half);
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.width, 48);
  EXPECT_EQ(d.height, 36);
  Picture small;
  small.width = 48;
  small.height = 36;
  small.rgb.resize(48 * 36 * 3);
  for (int r = 0; r < 36; r++)
    for (int c = 0; c < 48; c++)
      for (int k = 0; k < 3; k++)
        small.at(r, c)[k] = (picture.at(2 * r, 2 * c)[k] + picture.at(2 * r + 1, 2 * c)[k] +
                             picture.at(2 * r, 2 * c + 1)[k] + picture.at(2 * r + 1, 2 * c + 1)[k]) / 4;
  EXPECT_GT(Psnr(d, small, file.scale, 2), 26);

  for (auto [h, v, want_w, want_h] : {std::tuple{2.0, 1.0, 192, 72}, std::tuple{1.0, 2.0, 96, 144}}) {
    DngOptions o;
    o.default_scale[0] = h;
    o.default_scale[1] = v;
    Developed s = Develop(dngtest::WriteDng(picture, o).bytes, rawtest::Options());
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(s.width, want_w);
    EXPECT_EQ(s.height, want_h);
  }
}

TEST(RawDecoderDevelop, GammaTableFromTheHistogram) {
  const Picture picture = MakePicture(64, 48, PictureKind::kScene);
  DngFile file = dngtest::WriteDng(picture, DngOptions());
  for (double power : {0.45, 1.0}) {
    SCOPED_TRACE(power);
    rawtest::Options opt;
    opt.gamma_power = power;
    Developed d = Develop(file.bytes, opt);
    ASSERT_TRUE(d.ok);
    // The white bar (10% of the picture) is the white point.
    const size_t white = (size_t(d.height - 1) * d.width + 5) * 3;
    EXPECT_GE(d.rgb8[white], 250);
    // The curve's shape: BT.709 lifts the mid-tones, linear keeps them.
    double err = 0, mse = 0;
    int n = 0;
    for (int r = 8; r < 40; r++)
      for (int c = 8; c < 56; c++)
        for (int k = 0; k < 3; k++) {
          double x = picture.at(r, c)[k];
          double want = power < 1 ? (x < 0.018 ? 4.5 * x : 1.099 * std::pow(x, 0.45) - 0.099) : x;
          double got = d.rgb8[(size_t(r) * d.width + c) * 3 + k] / 255.0;
          err += got - want;
          mse += (got - want) * (got - want);
          n++;
        }
    EXPECT_LT(std::fabs(err / n), 0.01);
    EXPECT_LT(std::sqrt(mse / n), 0.05);
  }
}

TEST(RawDecoderDevelop, HighlightModes) {
  // Overexposed: the white bar and the brightest colours saturate.
  const Picture picture = MakePicture(64, 48, PictureKind::kScene);
  DngOptions o;
  o.exposure = 1.5;
  DngFile file = dngtest::WriteDng(picture, o);
  for (int mode : {0, 2, 3}) {
    SCOPED_TRACE("highlight " + std::to_string(mode));
    rawtest::Options opt;
    opt.highlight = mode;
    Developed d = Develop(file.bytes, opt);
    ASSERT_TRUE(d.ok);
    // Saturated white stays neutral instead of taking the tint of the white balance.
    const uint16_t* px = &d.linear[(size_t(d.height - 2) * d.width + 10) * 3];
    EXPECT_GT(px[1], 30000);
    EXPECT_NEAR(px[0], px[1], 0.02 * px[1]);
    EXPECT_NEAR(px[2], px[1], 0.02 * px[1]);
    // Unsaturated parts keep their colour.
    const uint16_t* dark = &d.linear[(size_t(4) * d.width + 4) * 3];
    const float* want = picture.at(4, 4);
    for (int k = 0; k < 3; k += 2) EXPECT_NEAR(double(dark[k]) / dark[1], want[k] / want[1], 0.02);
  }
}

TEST(RawDecoderDevelop, AbsurdWhiteBalanceClipsToWhite) {
  // A damaged profile whose daylight multipliers lie 1e17 apart: scaled red
  // and blue samples reach far beyond any integer type and must clip to white.
  const Picture picture = MakePicture(64, 48, PictureKind::kScene);
  const double damaged[9] = {1e-5, 0, 0, 0, 1e12, 0, 0, 0, 1e-5};
  DngOptions o;
  o.color_matrix = damaged;
  DngFile file = dngtest::WriteDng(picture, o);
  Identified id(file.bytes);
  ASSERT_TRUE(id.ctx.is_raw && id.ctx.load_raw);
  ASSERT_GT(id.ctx.pre_mul[0] / id.ctx.pre_mul[1], 1e16);
  ASSERT_TRUE(id.Load());
  const std::vector<uint16_t> raw = id.Mosaic(1);
  rawdec_scale_colors(&id.ctx);
  const std::vector<uint16_t> scaled = id.Mosaic(1);
  const double black = id.ctx.black, range = id.ctx.maximum - black;
  int bright = 0;
  for (int r = 0; r < id.ctx.height; r++)
    for (int c = 0; c < id.ctx.width; c++) {
      const size_t i = size_t(r) * id.ctx.width + c;
      if (rawdec_fc(&id.ctx, r, c) == 1) {
        // The reference channel scales as usual (1 = rounding to whole values).
        EXPECT_NEAR(scaled[i], std::max(0.0, raw[i] - black) * 65535 / range, 1) << r << "," << c;
      } else {
        bright += raw[i] > black;
        ASSERT_EQ(scaled[i], raw[i] > black ? 65535 : 0) << r << "," << c;
      }
    }
  EXPECT_GT(bright, 500);
  EXPECT_TRUE(Develop(file.bytes, rawtest::Options()).ok);
}

TEST(RawDecoderDevelop, BlackLevelAtWhiteIsIgnored) {
  // Nothing lies between such a black level and white: scaling goes on as if
  // there were no black level, as for such levels in a file.
  const Picture picture = MakePicture(64, 48, PictureKind::kScene);
  DngFile file = dngtest::WriteDng(picture, DngOptions());
  rawtest::Options none, at_white;
  none.user_black = 0;
  at_white.user_black = 65535;
  Developed a = Develop(file.bytes, none), b = Develop(file.bytes, at_white);
  ASSERT_TRUE(a.ok && b.ok);
  EXPECT_GT(Psnr(a, picture, file.scale), 30);
  EXPECT_TRUE(a.linear == b.linear);
}

TEST(RawDecoderRepair, BadPixelListInThisFolderOrAParent) {
  namespace fs = std::filesystem;
  const Picture picture = MakePicture(64, 48, PictureKind::kScene);
  DngOptions o;
  DngFile file = dngtest::WriteDng(picture, o);
  // A stuck pixel far from its neighbours' value.
  std::vector<uint8_t> bytes = file.bytes;
  const int row = 20, col = 30;
  uint64_t at = file.data_ranges[0].first + (uint64_t(row) * 64 + col) * 2;
  bytes[at] = bytes[at + 1] = 0xFF;

  const fs::path old_cwd = fs::current_path();
  const fs::path root = fs::temp_directory_path() / ("rawdec_badpixels_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::create_directories(root / "child" / "grandchild");
  struct Case {
    const char* name;
    fs::path list_in, cwd;
    const char* line;
    bool repaired;
  } cases[] = {
      {"no list", {}, root / "child", "", false},
      {"this folder", root / "child", root / "child", "30 20 0\n", true},
      {"a parent", root, root / "child" / "grandchild", "# stuck\n30 20\n", true},
      {"bad only after the picture", root / "child", root / "child", "30 20 4102444800\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(root / ".badpixels");
    fs::remove(root / "child" / ".badpixels");
    if (!c.list_in.empty()) std::ofstream(c.list_in / ".badpixels") << c.line;
    fs::current_path(c.cwd);
    rawtest::Options opt;
    opt.quality = 0;
    Developed d = Develop(bytes, opt);
    fs::current_path(old_cwd);
    ASSERT_TRUE(d.ok);
    const uint16_t* px = &d.linear[(size_t(row) * d.width + col) * 3];
    bool hot = px[0] > 60000 || px[1] > 60000 || px[2] > 60000;
    EXPECT_EQ(!hot, c.repaired);
  }
  fs::remove_all(root);
}

TEST(RawDecoderRepair, ZeroesDarkFrameAndMedian) {
  namespace fs = std::filesystem;
  const Picture picture = MakePicture(64, 48, PictureKind::kScene);
  DngOptions o;
  o.black = 0;
  DngFile file = dngtest::WriteDng(picture, o);
  std::vector<uint8_t> bytes = file.bytes;
  uint64_t at = file.data_ranges[0].first + (uint64_t(10) * 64 + 10) * 2;
  bytes[at] = bytes[at + 1] = 0;  // a dead photosite
  rawtest::Options opt;
  opt.zero_is_bad = 1;
  opt.med_passes = 2;
  Developed d = Develop(bytes, opt);
  ASSERT_TRUE(d.ok);
  EXPECT_GT(Psnr(d, picture, file.scale), 31.5);

  // A dark frame of 100 everywhere is the black level of a file that has none.
  DngOptions ob;
  ob.black = 100;
  DngFile with_black = dngtest::WriteDng(picture, ob);
  std::vector<uint8_t> no_black_tag = with_black.bytes;
  const fs::path pgm = fs::temp_directory_path() / "rawdec_dark.pgm";
  {
    std::ofstream f(pgm, std::ios::binary);
    f << "P5\n64 48\n65535\n";
    for (int i = 0; i < 64 * 48; i++) f.put(0).put(100);
  }
  rawtest::Options dark;
  std::string name = pgm.string();
  dark.dark_frame = name.c_str();
  Developed e = Develop(with_black.bytes, dark);
  ASSERT_TRUE(e.ok);
  EXPECT_EQ(e.data_error, 0) << e.message;
  EXPECT_GT(Psnr(e, picture, with_black.scale), 32.5);
  fs::remove(pgm);
}

TEST(RawDecoderContext, InitDefaultsAndOptions) {
  rawdec_context ctx;
  memset(&ctx, 0x5A, sizeof ctx);
  rawdec_init(&ctx);
  EXPECT_EQ(ctx.ops, &rawdec_stdio_ops);
  EXPECT_EQ(ctx.user_flip, -1);
  EXPECT_EQ(ctx.user_black, -1);
  EXPECT_EQ(ctx.user_qual, -1);
  EXPECT_EQ(ctx.use_fuji_rotate, 1);
  EXPECT_EQ(ctx.output_color, 1);
  EXPECT_EQ(ctx.output_bps, 8);
  EXPECT_EQ(ctx.use_camera_matrix, -1);
  EXPECT_EQ(ctx.wb_box[2], -1);
  EXPECT_EQ(ctx.wb_box[3], -1);
  EXPECT_EQ(ctx.bright, 1.0f);
  for (double a : ctx.aber) EXPECT_EQ(a, 1.0);
  EXPECT_EQ(ctx.image, nullptr);
  EXPECT_EQ(ctx.threshold, 0.0f);

  ctx.use_camera_wb = 1;
  EXPECT_EQ(rawdec_parse_options(&ctx, 0, nullptr, nullptr), 0);
  EXPECT_EQ(ctx.use_camera_matrix, 1);

  struct Case {
    std::vector<const char*> args;
    int result;
    int next;
  } cases[] = {
      {{"x", "-q", "2", "-t", "6", "-H", "3", "file.dng"}, 0, 7},
      {{"x", "-w", "-a", "-A", "0", "0", "10", "10", "-C", "1.001", "0.999"}, 0, 11},
      {{"x", "-q", "7"}, 1, 0},
      {{"x", "-q"}, 1, 0},
      {{"x", "-k", "12x"}, 1, 0},
      {{"x", "-Z"}, 1, 0},
      {{"x", "-qq"}, 1, 0},
  };
  for (const Case& c : cases) {
    rawdec_init(&ctx);
    int index = 0;
    EXPECT_EQ(rawdec_parse_options(&ctx, int(c.args.size()), c.args.data(), &index), c.result) << c.args[1];
    if (!c.result) {
      EXPECT_EQ(index, c.next);
    }
  }
  rawdec_init(&ctx);
  const char* args[] = {"x", "-q", "2", "-t", "6", "-H", "3"};
  rawdec_parse_options(&ctx, 7, args, nullptr);
  EXPECT_EQ(ctx.user_qual, 2);
  EXPECT_EQ(ctx.user_flip, 6);
  EXPECT_EQ(ctx.highlight, 3);
}

TEST(RawDecoderContext, OutOfMemoryJumpsWithAMessage) {
  rawdec_context ctx;
  rawdec_init(&ctx);
  char message[256] = "";
  ctx.message = message;
  ctx.ifname = "CDibImageRAW";
  volatile int jumped = 0;
  if (setjmp(ctx.failure) == 0) {
    rawdec_merror(&ctx, &ctx, "nowhere");  // not null: nothing happens
    rawdec_merror(&ctx, nullptr, "somewhere");
  } else {
    jumped = 1;
  }
  EXPECT_EQ(jumped, 1);
  EXPECT_STREQ(message, "CDibImageRAW: Out of memory in somewhere\n");
  rawdec_cleanup(&ctx);
}

TEST(RawDecoderContext, FlipIndexStepsAreLinear) {
  rawdec_context ctx;
  rawdec_init(&ctx);
  ctx.iheight = 5;
  ctx.iwidth = 7;
  for (int flip = 0; flip < 8; flip++) {
    ctx.flip = flip;
    const int w = flip & 4 ? 5 : 7, h = flip & 4 ? 7 : 5;
    const int64_t start = rawdec_flip_index(&ctx, 0, 0);
    const int64_t col_step = rawdec_flip_index(&ctx, 0, 1) - start;
    const int64_t row_step = rawdec_flip_index(&ctx, 1, 0) - rawdec_flip_index(&ctx, 0, w);
    std::vector<int> seen(35, 0);
    int64_t at = start;
    for (int r = 0; r < h; r++, at += row_step)
      for (int c = 0; c < w; c++, at += col_step) {
        ASSERT_EQ(at, rawdec_flip_index(&ctx, r, c));
        ASSERT_GE(at, 0);
        ASSERT_LT(at, 35);
        seen[size_t(at)]++;
      }
    for (int s : seen) EXPECT_EQ(s, 1);
  }
}

TEST(RawDecoderContext, StdioStreamGivesTheSameResult) {
  const Picture picture = MakePicture(64, 48, PictureKind::kScene);
  DngOptions o;
  o.lossless_jpeg = true;
  DngFile file = dngtest::WriteDng(picture, o);
  FILE* f = tmpfile();
  ASSERT_NE(f, nullptr);
  fwrite(file.bytes.data(), 1, file.bytes.size(), f);
  rawdec_context ctx;
  rawdec_init(&ctx);
  ctx.stream = f;
  rawdec_identify(&ctx);
  EXPECT_TRUE(ctx.is_raw);
  ctx.iheight = ctx.height;
  ctx.iwidth = ctx.width;
  ctx.image = static_cast<uint16_t(*)[4]>(calloc(size_t(ctx.height) * ctx.width, sizeof *ctx.image));
  ctx.ops->seek(ctx.stream, ctx.data_offset, SEEK_SET);
  ctx.load_raw(&ctx);
  std::vector<uint16_t> got;
  for (int r = 0; r < ctx.height; r++)
    for (int c = 0; c < ctx.width; c++) got.push_back(ctx.image[size_t(r) * ctx.width + c][rawdec_fc(&ctx, r, c)]);
  EXPECT_TRUE(got == file.expected);
  rawdec_cleanup(&ctx);
  ctx.ops->close(ctx.stream);
}

TEST(RawDecoderContext, DecodesRunInParallel) {
  const Picture picture = MakePicture(96, 72, PictureKind::kScene);
  DngOptions a, b;
  b.lossless_jpeg = true;
  b.orientation = 6;
  DngFile fa = dngtest::WriteDng(picture, a), fb = dngtest::WriteDng(picture, b);
  rawtest::Options ahd, vng;
  vng.quality = 1;
  Developed serial_a = Develop(fa.bytes, ahd), serial_b = Develop(fb.bytes, vng);
  Developed parallel[4];
  std::thread threads[4];
  for (int i = 0; i < 4; i++)
    threads[i] = std::thread([&, i] { parallel[i] = Develop(i & 1 ? fb.bytes : fa.bytes, i & 1 ? vng : ahd); });
  for (std::thread& t : threads) t.join();
  for (int i = 0; i < 4; i++) EXPECT_TRUE(parallel[i].linear == (i & 1 ? serial_b : serial_a).linear);
}
