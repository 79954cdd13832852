// The JPEG 2000 family against independent tools: OpenJPEG's own programs
// for JP2, J2K and PGX, netpbm and Python PIL for PNM and Sun raster, in
// both directions. Skipped where the tools are missing (under Wine).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/formats/DibImageJAS.h"
#include "image/tests/FormatTestSupport.h"
#include "image/tests/JasTestSupport.h"

using namespace jastest;
using formattest::ReadFile;
using formattest::ScratchDir;
using formattest::Widen;
using formattest::WriteFile;
using imagetest::InspectableImage;

namespace {

bool HaveOpenJpegTools() {
  return Have("test -x /usr/bin/opj_compress && test -x /usr/bin/opj_decompress");
}

bool HaveNetpbmAndPil() {
  return Have("test -x /usr/bin/pnmtoplainpnm && test -x /usr/bin/pnmtorast && test -x /usr/bin/rasttopnm && "
              "test -x /usr/bin/pamdepth && test -x /usr/bin/pgmtopbm") &&
         Have("/usr/bin/python3 -c 'import PIL'");
}

// Source pictures as netpbm files, made by hand.
struct Source {
  int width = 67, height = 45;
  Bytes rgb, grey;
};

Source MakeSource() {
  Source s;
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) {
      s.rgb.insert(s.rgb.end(), {uint8_t(x * 255 / 66), uint8_t(y * 255 / 44), uint8_t(((x / 7 + y / 5) & 1) ? 220 : 30)});
      s.grey.push_back(uint8_t((x * 7 + y * 13) & 0xFF));
    }
  return s;
}

bool Load(const std::string& file, InspectableImage& image, int32_t frame = 0) {
  image.Info().frameToLoad = frame;
  return image.Load(Widen(file).c_str(), 0);
}

bool ReadPnmFile(const std::string& file, Pnm& pnm) {
  return ParsePnm(ReadFile(file), pnm);
}

bool SaveOurs(const Bytes& samples, int width, int height, bool colour, DWORD id, const std::string& file,
              float quality = 100) {
  InspectableImage source;
  if (!DecodeFrom(MakePnm(width, height, colour ? 3 : 1, samples), source)) return false;
  Bytes bytes;
  return EncodeTo(source, id, bytes, quality) && WriteFile(file, bytes);
}

TEST(JasReference, OpenJpegFilesDecodeAsOpjDecompressDoes) {
  if (!HaveOpenJpegTools()) GTEST_SKIP() << "opj_compress/opj_decompress missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  const Source source = MakeSource();
  ASSERT_TRUE(WriteFile(dir.File("src.ppm"), MakePnm(source.width, source.height, 3, source.rgb)));
  ASSERT_TRUE(WriteFile(dir.File("src.pgm"), MakePnm(source.width, source.height, 1, source.grey)));
  const char* options[] = {"", "-r 20", "-I -r 8", "-n 3 -b 16,16", "-t 32,32 -p RPCL", "-SOP -EPH -r 40,10",
                           "-d 3,5 -r 5"};
  for (const char* extension : {"jp2", "j2k"})
    for (bool colour : {true, false})
      for (const char* option : options) {
        SCOPED_TRACE(std::string(extension) + (colour ? " colour " : " grey ") + option);
        const std::string in = dir.File(colour ? "src.ppm" : "src.pgm");
        const std::string coded = dir.File(std::string("x.") + extension);
        const std::string ref = dir.File(colour ? "ref.ppm" : "ref.pgm");
        ASSERT_TRUE(RunTool("/usr/bin/opj_compress -i " + Quoted(in) + " -o " + Quoted(coded) + " " + option));
        ASSERT_TRUE(RunTool("/usr/bin/opj_decompress -i " + Quoted(coded) + " -o " + Quoted(ref)));
        Pnm expected;
        ASSERT_TRUE(ReadPnmFile(ref, expected));
        InspectableImage ours;
        ASSERT_TRUE(Load(coded, ours)) << ours.GetLastError();
        EXPECT_EQ(ours.GetType(), std::string(extension) == "jp2" ? DWORD(CDibImage::kFormatJp2)
                                                                  : DWORD(CDibImage::kFormatJpc));
        ASSERT_EQ(int(ours.GetWidth()), expected.width);
        ASSERT_EQ(int(ours.GetHeight()), expected.height);
        EXPECT_EQ(Samples(ours, !colour), Narrow(expected));
      }
}

TEST(JasReference, TwelveBitGreyLosesTheLowFourBits) {
  if (!HaveOpenJpegTools()) GTEST_SKIP() << "opj_compress/opj_decompress missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  const int width = 50, height = 30;
  std::string head = "PG ML + 12 " + std::to_string(width) + " " + std::to_string(height) + "\n";
  Bytes pgx(head.begin(), head.end());
  Bytes expected;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int v = (x * 61 + y * 97) % 4096;
      pgx.insert(pgx.end(), {uint8_t(v >> 8), uint8_t(v)});
      expected.push_back(uint8_t(v >> 4));
    }
  ASSERT_TRUE(WriteFile(dir.File("in.pgx"), pgx));
  for (const char* extension : {"jp2", "j2k"}) {
    SCOPED_TRACE(extension);
    const std::string coded = dir.File(std::string("x.") + extension);
    ASSERT_TRUE(RunTool("/usr/bin/opj_compress -n 4 -i " + Quoted(dir.File("in.pgx")) + " -o " + Quoted(coded)));
    ASSERT_TRUE(RunTool("/usr/bin/opj_decompress -i " + Quoted(coded) + " -o " + Quoted(dir.File("ref.pgm"))));
    Pnm ref;
    ASSERT_TRUE(ReadPnmFile(dir.File("ref.pgm"), ref));
    ASSERT_EQ(ref.maxval, 4095u);
    InspectableImage ours;
    ASSERT_TRUE(Load(coded, ours)) << ours.GetLastError();
    EXPECT_EQ(ours.GetBpp(), 8);
    EXPECT_TRUE(ours.IsGrayScale());
    EXPECT_EQ(Samples(ours, true), expected);
    Bytes shifted;
    for (uint32_t v : ref.samples) shifted.push_back(uint8_t(v >> 4));
    EXPECT_EQ(shifted, expected);
  }
}

TEST(JasReference, OurFilesDecodeInOpjDecompress) {
  if (!HaveOpenJpegTools()) GTEST_SKIP() << "opj_compress/opj_decompress missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  const Source source = MakeSource();
  for (DWORD id : {DWORD(CDibImage::kFormatJp2), DWORD(CDibImage::kFormatJpc)})
    for (bool colour : {true, false}) {
      SCOPED_TRACE(std::to_string(id) + (colour ? " colour" : " grey"));
      const Bytes& samples = colour ? source.rgb : source.grey;
      const std::string coded = dir.File(id == CDibImage::kFormatJp2 ? "o.jp2" : "o.j2k");
      const std::string ref = dir.File(colour ? "o.ppm" : "o.pgm");
      double previous = 0;
      for (float quality : {10.0f, 40.0f, 80.0f, 100.0f}) {
        SCOPED_TRACE(quality);
        ASSERT_TRUE(SaveOurs(samples, source.width, source.height, colour, id, coded, quality));
        ASSERT_TRUE(RunTool("/usr/bin/opj_decompress -i " + Quoted(coded) + " -o " + Quoted(ref)));
        Pnm decoded;
        ASSERT_TRUE(ReadPnmFile(ref, decoded));
        ASSERT_EQ(decoded.width, source.width);
        const double psnr = Psnr(Narrow(decoded), samples);
        EXPECT_GT(psnr, previous);
        previous = psnr;
      }
      // Quality 100 is exact.
      EXPECT_GE(previous, 1000);
    }
}

TEST(JasReference, SyccBecomesRgb) {
  if (!HaveOpenJpegTools()) GTEST_SKIP() << "opj_compress/opj_decompress missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  // Smooth colours as full-range YCbCr with 4:2:0 chroma.
  const int width = 64, height = 48;
  Bytes rgb, luma, cb, cr;
  auto clamp = [](double v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : int(v + 0.5)); };
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const double r = x * 255.0 / (width - 1), g = y * 255.0 / (height - 1), b = (x + y) * 255.0 / (width + height);
      rgb.insert(rgb.end(), {clamp(r), clamp(g), clamp(b)});
      luma.push_back(clamp(0.299 * r + 0.587 * g + 0.114 * b));
    }
  for (int y = 0; y < height; y += 2)
    for (int x = 0; x < width; x += 2) {
      double sumB = 0, sumR = 0;
      for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 2; ++i) {
          const uint8_t* p = &rgb[3 * size_t((y + j) * width + x + i)];
          sumB += -0.168736 * p[0] - 0.331264 * p[1] + 0.5 * p[2] + 128;
          sumR += 0.5 * p[0] - 0.418688 * p[1] - 0.081312 * p[2] + 128;
        }
      cb.push_back(clamp(sumB / 4));
      cr.push_back(clamp(sumR / 4));
    }
  Bytes raw = luma;
  raw.insert(raw.end(), cb.begin(), cb.end());
  raw.insert(raw.end(), cr.begin(), cr.end());
  ASSERT_TRUE(WriteFile(dir.File("in.raw"), raw));
  // The JP2 file names its colour space sYCC; the bare code stream has only
  // its subsampled chroma to tell.
  for (const char* extension : {"jp2", "j2k"}) {
    SCOPED_TRACE(extension);
    const std::string coded = dir.File(std::string("x.") + extension);
    ASSERT_TRUE(RunTool("/usr/bin/opj_compress -i " + Quoted(dir.File("in.raw")) + " -o " + Quoted(coded) +
                    " -F 64,48,3,8,u@1x1:2x2:2x2"));
    ASSERT_TRUE(RunTool("/usr/bin/opj_decompress -i " + Quoted(coded) + " -o " + Quoted(dir.File("ref.ppm"))));
    Pnm ref;
    ASSERT_TRUE(ReadPnmFile(dir.File("ref.ppm"), ref));
    InspectableImage ours;
    ASSERT_TRUE(Load(coded, ours)) << ours.GetLastError();
    ASSERT_EQ(ours.GetBpp(), 24);
    const Bytes decoded = Samples(ours, false);
    EXPECT_LE(MaxDifference(decoded, Narrow(ref)), 1);
    EXPECT_LE(MaxDifference(decoded, rgb), 6);
  }
}

TEST(JasReference, FourComponentsAreReadOneAtATime) {
  if (!HaveOpenJpegTools()) GTEST_SKIP() << "opj_compress/opj_decompress missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  const int width = 20, height = 10;
  std::vector<Bytes> planes(4);
  Bytes raw;
  for (int k = 0; k < 4; ++k)
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) planes[k].push_back(uint8_t(x * (k + 1) * 9 + y * 5 + 40 * k));
  for (const Bytes& p : planes) raw.insert(raw.end(), p.begin(), p.end());
  ASSERT_TRUE(WriteFile(dir.File("in.raw"), raw));
  const std::string coded = dir.File("x.j2k");
  ASSERT_TRUE(RunTool("/usr/bin/opj_compress -i " + Quoted(dir.File("in.raw")) + " -o " + Quoted(coded) +
                  " -n 3 -F 20,10,4,8,u"));
  for (int frame = 0; frame < 4; ++frame) {
    SCOPED_TRACE(frame);
    InspectableImage ours;
    ASSERT_TRUE(Load(coded, ours, frame)) << ours.GetLastError();
    EXPECT_EQ(ours.GetBpp(), 8);
    EXPECT_EQ(ours.GetNumFrames(), 4);
    EXPECT_EQ(Samples(ours, true), planes[size_t(frame)]);
  }
  InspectableImage beyond;
  Bytes bytes = ReadFile(coded);
  EXPECT_FALSE(DecodeFrom(bytes, beyond, CDibImage::kFormatJpc, 4));
  EXPECT_STREQ(beyond.GetLastError(), "wrong frame!");

  // In a JP2 file the four are sRGB with an extra channel: the colour is kept.
  const std::string file = dir.File("x.jp2");
  ASSERT_TRUE(RunTool("/usr/bin/opj_compress -i " + Quoted(dir.File("in.raw")) + " -o " + Quoted(file) +
                  " -n 3 -F 20,10,4,8,u"));
  InspectableImage colour;
  ASSERT_TRUE(Load(file, colour)) << colour.GetLastError();
  ASSERT_EQ(colour.GetBpp(), 24);
  Bytes expected;
  for (size_t i = 0; i < planes[0].size(); ++i) expected.insert(expected.end(), {planes[0][i], planes[1][i], planes[2][i]});
  EXPECT_EQ(Samples(colour, false), expected);
}

TEST(JasReference, PgxBothWaysWithOpenJpeg) {
  if (!HaveOpenJpegTools()) GTEST_SKIP() << "opj_compress/opj_decompress missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  const Source source = MakeSource();
  ASSERT_TRUE(WriteFile(dir.File("src.pgm"), MakePnm(source.width, source.height, 1, source.grey)));

  // Theirs: a PGX written by opj_decompress.
  ASSERT_TRUE(RunTool("/usr/bin/opj_compress -i " + Quoted(dir.File("src.pgm")) + " -o " + Quoted(dir.File("a.j2k"))));
  ASSERT_TRUE(RunTool("/usr/bin/opj_decompress -i " + Quoted(dir.File("a.j2k")) + " -o " + Quoted(dir.File("theirs.pgx"))));
  // One file per component, named after it.
  InspectableImage theirs;
  ASSERT_TRUE(Load(dir.File("theirs_0.pgx"), theirs)) << theirs.GetLastError();
  EXPECT_EQ(theirs.GetType(), DWORD(CDibImage::kFormatPgx));
  EXPECT_EQ(Samples(theirs, true), source.grey);

  // Ours, read by opj_compress.
  ASSERT_TRUE(SaveOurs(source.grey, source.width, source.height, false, CDibImage::kFormatPgx, dir.File("ours.pgx")));
  ASSERT_TRUE(RunTool("/usr/bin/opj_compress -i " + Quoted(dir.File("ours.pgx")) + " -o " + Quoted(dir.File("b.j2k"))));
  ASSERT_TRUE(RunTool("/usr/bin/opj_decompress -i " + Quoted(dir.File("b.j2k")) + " -o " + Quoted(dir.File("b.pgm"))));
  Pnm back;
  ASSERT_TRUE(ReadPnmFile(dir.File("b.pgm"), back));
  EXPECT_EQ(Narrow(back), source.grey);
}

// PIL's reading of a file, written out again as a binary PNM by PIL.
bool PilToPnm(const std::string& in, const std::string& out, const char* mode) {
  return RunTool(std::string("/usr/bin/python3 -c \"import sys; from PIL import Image; "
                         "Image.open(sys.argv[1]).convert('") +
             mode + "').save(sys.argv[2])\" " + Quoted(in) + " " + Quoted(out));
}

TEST(JasReference, PnmAndSunRasterWeWriteReadByNetpbmAndPil) {
  if (!HaveNetpbmAndPil()) GTEST_SKIP() << "netpbm or Python PIL missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  const Source source = MakeSource();
  for (DWORD id : {DWORD(CDibImage::kFormatPnm), DWORD(CDibImage::kFormatRas)})
    for (bool colour : {true, false}) {
      SCOPED_TRACE(std::to_string(id) + (colour ? " colour" : " grey"));
      const Bytes& samples = colour ? source.rgb : source.grey;
      const std::string ours = dir.File(id == CDibImage::kFormatPnm ? "ours.pnm" : "ours.ras");
      ASSERT_TRUE(SaveOurs(samples, source.width, source.height, colour, id, ours));

      const std::string netpbm = dir.File("netpbm.pnm");
      const std::string reader = id == CDibImage::kFormatPnm ? "/usr/bin/pnmtoplainpnm " : "/usr/bin/rasttopnm ";
      ASSERT_TRUE(RunTool(reader + Quoted(ours) + " > " + Quoted(netpbm)));
      Pnm fromNetpbm;
      ASSERT_TRUE(ReadPnmFile(netpbm, fromNetpbm));
      EXPECT_EQ(fromNetpbm.depth, colour ? 3 : 1);
      EXPECT_EQ(Narrow(fromNetpbm), samples);

      const std::string pil = dir.File(colour ? "pil.ppm" : "pil.pgm");
      ASSERT_TRUE(PilToPnm(ours, pil, colour ? "RGB" : "L"));
      Pnm fromPil;
      ASSERT_TRUE(ReadPnmFile(pil, fromPil));
      EXPECT_EQ(Narrow(fromPil), samples);
    }
}

// Loads `file` and checks it against what `plainCommand` (netpbm writing a
// plain PNM to its standard output) makes of it.
void ExpectDecodesAsNetpbmDoes(const std::string& file, const std::string& plainCommand, WORD bpp,
                               ScratchDir& dir) {
  ASSERT_TRUE(RunTool(plainCommand + " > " + Quoted(dir.File("check.pnm"))));
  Pnm expected;
  ASSERT_TRUE(ReadPnmFile(dir.File("check.pnm"), expected));
  InspectableImage ours;
  ASSERT_TRUE(Load(file, ours)) << ours.GetLastError();
  EXPECT_EQ(ours.GetBpp(), bpp);
  const bool oursGrey = ours.GetBpp() != 24;
  Bytes want;
  for (uint32_t v : expected.samples) {
    const uint8_t level = uint8_t(expected.maxval > 255 ? v >> 8 : v * 255 / expected.maxval);
    want.insert(want.end(), !oursGrey && expected.depth == 1 ? 3 : 1, level);
  }
  EXPECT_EQ(Samples(ours, oursGrey), want);
}

TEST(JasReference, PnmAndSunRasterTheyWriteReadByUs) {
  if (!HaveNetpbmAndPil()) GTEST_SKIP() << "netpbm or Python PIL missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  const Source source = MakeSource();
  ASSERT_TRUE(WriteFile(dir.File("src.ppm"), MakePnm(source.width, source.height, 3, source.rgb)));
  ASSERT_TRUE(WriteFile(dir.File("src.pgm"), MakePnm(source.width, source.height, 1, source.grey)));

  const std::string src = Quoted(dir.File("src.ppm")), pgm = Quoted(dir.File("src.pgm"));
  const std::string pil = "/usr/bin/python3 -c \"import sys; from PIL import Image; im = Image.open(sys.argv[1]); ";
  const struct {
    const char* name;
    std::string command;  // writes out.x
    const char* file;
    WORD bpp;
  } cases[] = {
      {"plain P3", "/usr/bin/pnmtoplainpnm " + src + " > ", "out.ppm", 24},
      {"plain P2", "/usr/bin/pnmtoplainpnm " + pgm + " > ", "out.pgm", 8},
      {"P6 from PIL", pil + "im.save(sys.argv[2])\" " + src + " ", "out.ppm", 24},
      {"P5 from PIL", pil + "im.save(sys.argv[2])\" " + pgm + " ", "out.pgm", 8},
      {"16-bit P6", "/usr/bin/pamdepth 65535 " + src + " > ", "out.ppm", 24},
      {"4-bit P5", "/usr/bin/pamdepth 15 " + pgm + " > ", "out.pgm", 4},
      {"P4 from PIL", pil + "im.convert('1').save(sys.argv[2])\" " + pgm + " ", "out.pbm", 1},
      {"plain P1", "/usr/bin/pgmtopbm " + pgm + " | /usr/bin/pnmtoplainpnm > ", "out.pbm", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string out = dir.File(c.file);
    std::remove(out.c_str());
    ASSERT_TRUE(RunTool(c.command + Quoted(out)));
    ExpectDecodesAsNetpbmDoes(out, "/usr/bin/pnmtoplainpnm " + Quoted(out), c.bpp, dir);
  }
}

uint32_t RasField(const Bytes& file, size_t index) {
  const size_t at = 4 * index;
  if (file.size() < at + 4) return ~0u;
  return uint32_t(file[at]) << 24 | uint32_t(file[at + 1]) << 16 | uint32_t(file[at + 2]) << 8 | file[at + 3];
}

TEST(JasReference, SunRasterFromPnmtorastDecodesAsRasttopnmDoes) {
  if (!HaveNetpbmAndPil()) GTEST_SKIP() << "netpbm or Python PIL missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  const Source source = MakeSource();
  ASSERT_TRUE(WriteFile(dir.File("src.ppm"), MakePnm(source.width, source.height, 3, source.rgb)));
  ASSERT_TRUE(WriteFile(dir.File("src.pgm"), MakePnm(source.width, source.height, 1, source.grey)));
  ASSERT_TRUE(RunTool("/usr/bin/pgmtopbm " + Quoted(dir.File("src.pgm")) + " > " + Quoted(dir.File("src.pbm"))));
  // Four colours, which pnmtorast writes with a colour map; flat bands give long runs.
  Bytes four;
  for (int y = 0; y < source.height; ++y)
    for (int x = 0; x < source.width; ++x) {
      static const uint8_t kColours[4][3] = {{255, 0, 0}, {0, 128, 0}, {10, 20, 250}, {200, 200, 200}};
      const int k = y < 20 ? (x / 9 + y) & 3 : (x * 3 + y) & 3;
      four.insert(four.end(), kColours[k], kColours[k] + 3);
    }
  ASSERT_TRUE(WriteFile(dir.File("four.ppm"), MakePnm(source.width, source.height, 3, four)));

  const struct {
    const char* name;
    const char* file;
    uint32_t depth;
    WORD bpp;  // a grey raster comes with a grey colour map: it reads as colour
  } sources[] = {
      {"1 bit", "src.pbm", 1, 1}, {"8-bit grey", "src.pgm", 8, 24}, {"8-bit mapped", "four.ppm", 8, 24},
      {"24 bits", "src.ppm", 24, 24}};
  for (const auto& s : sources)
    for (const char* flags : {"", "-standard "}) {
      SCOPED_TRACE(std::string(s.name) + " " + flags);
      const std::string out = dir.File("out.ras");
      std::remove(out.c_str());
      ASSERT_TRUE(RunTool("/usr/bin/pnmtorast " + std::string(flags) + Quoted(dir.File(s.file)) + " > " + Quoted(out)));
      const Bytes written = ReadFile(out);
      EXPECT_EQ(RasField(written, 3), s.depth);
      // Run-length coded by default (this netpbm leaves 24 bits standard).
      const uint32_t type = RasField(written, 5);
      if (*flags) {
        EXPECT_EQ(type, 1u);
      } else if (s.depth <= 8) {
        EXPECT_EQ(type, 2u);
      }
      ExpectDecodesAsNetpbmDoes(out, "/usr/bin/rasttopnm " + Quoted(out) + " | /usr/bin/pnmtoplainpnm", s.bpp, dir);
    }
}

}  // namespace
