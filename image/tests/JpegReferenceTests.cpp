// The JPEG codec against independent tools: djpeg decodes the same files
// byte for byte, cjpeg writes the same bytes at matching settings, PIL reads
// our densities, exiftool writes the EXIF data we read and reads what we
// write back. Skipped where the tools are missing (under Wine).
#include "image/formats/DibImageJPG.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "image/streams/MemoryStream.h"
#include "image/tests/FormatTestSupport.h"
#include "image/tests/JpegTestSupport.h"

using namespace jpegtest;
using formattest::ReadFile;
using formattest::ScratchDir;
using formattest::Widen;
using formattest::WriteFile;

namespace {

bool Have(const char* check) {
#ifdef _WIN32
  (void)check;
  return false;
#else
  return std::system((std::string(check) + " >/dev/null 2>&1").c_str()) == 0;
#endif
}

bool HaveLibjpegTools() {
  return Have("test -x /usr/bin/djpeg && test -x /usr/bin/cjpeg");
}

bool RunTool(const std::string& command) {
  return std::system(command.c_str()) == 0;
}

std::string Quoted(const std::string& text) {
  return "'" + text + "'";
}

struct Pnm {
  int width = 0, height = 0, channels = 0;
  Bytes data;
};

// Binary PGM or PPM with a maximum of 255, as djpeg writes them.
bool ReadPnm(const std::string& name, Pnm& out) {
  const Bytes bytes = ReadFile(name);
  std::string head(bytes.begin(), bytes.begin() + long(std::min<size_t>(bytes.size(), 64)));
  std::istringstream in(head);
  std::string magic;
  int maxval = 0;
  if (!(in >> magic >> out.width >> out.height >> maxval) || maxval != 255) return false;
  out.channels = magic == "P6" ? 3 : magic == "P5" ? 1 : 0;
  const size_t start = size_t(in.tellg()) + 1;
  const size_t size = size_t(out.width) * out.height * out.channels;
  if (!out.channels || bytes.size() < start + size) return false;
  out.data.assign(bytes.begin() + long(start), bytes.begin() + long(start + size));
  return true;
}

// The picture as RGB triples, top row first.
Bytes Rgb(const CDibImage& image) {
  Bytes out;
  for (int32_t y = int32_t(image.GetHeight()) - 1; y >= 0; --y)
    for (int32_t x = 0; x < int32_t(image.GetWidth()); ++x) {
      const RGBQUAD c = image.GetPixelColor(x, y, false);
      out.insert(out.end(), {c.rgbRed, c.rgbGreen, c.rgbBlue});
    }
  return out;
}

Bytes Expand(const Pnm& pnm) {
  if (pnm.channels == 3) return pnm.data;
  Bytes out;
  for (uint8_t v : pnm.data) out.insert(out.end(), {v, v, v});
  return out;
}

bool WritePnm(const CDibImage& image, const std::string& name) {
  const bool grey = image.IsIndexed();
  std::string head = std::string(grey ? "P5" : "P6") + "\n" + std::to_string(image.GetWidth()) + " " +
                     std::to_string(image.GetHeight()) + "\n255\n";
  Bytes out(head.begin(), head.end());
  const Bytes rgb = Rgb(image);
  for (size_t i = 0; i < rgb.size(); i += 3) {
    if (grey) out.push_back(rgb[i]);
    else out.insert(out.end(), rgb.begin() + long(i), rgb.begin() + long(i) + 3);
  }
  return WriteFile(name, out);
}

size_t CountDifferences(const Bytes& a, const Bytes& b) {
  if (a.size() != b.size()) return std::max(a.size(), b.size());
  size_t n = 0;
  for (size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
  return n;
}

TEST(JpegReference, DecodesAsDjpegDoes) {
  if (!HaveLibjpegTools()) GTEST_SKIP() << "cjpeg/djpeg missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string source = dir.File("source.ppm");
  ASSERT_TRUE(WritePnm(*MakePicture(67, 45), source));

  const struct {
    const char* name;
    const char* cjpeg;
  } files[] = {
      {"baseline", "-quality 85"},           {"progressive", "-progressive"},
      {"grey", "-grayscale"},                {"s422", "-sample 2x1"},
      {"s444", "-sample 1x1"},               {"arithmetic", "-arithmetic -progressive"},
      {"restarts", "-restart 1 -optimize"},
  };
  const struct {
    const char* name;
    DWORD options;
    float quality;
    BYTE scale;
    const char* djpeg;
  } settings[] = {
      {"default", 0, 90, 0, ""},
      {"grey output", 0x80, 90, 0, "-grayscale"},
      {"quantised", 0x100, 64, 0, "-colors 64"},
      {"quantised one pass", 0x500, 64, 0, "-colors 64 -onepass"},
      {"quantised ordered", 0x700, 64, 0, "-colors 64 -onepass -dither ordered"},
      {"quantised grey", 0x180, 32, 0, "-grayscale -colors 32"},
      {"no smoothing", 0x800, 90, 0, "-nosmooth"},
      {"scale byte 1", 0, 90, 1, ""},
      {"scale byte 2", 0, 90, 2, "-scale 1/2"},
      {"scale byte 3", 0, 90, 3, "-scale 1/2"},
      {"scale byte 4", 0, 90, 4, "-scale 1/4"},
      {"scale byte 8", 0, 90, 8, "-scale 1/8"},
  };
  int compared = 0;
  for (const auto& f : files) {
    const std::string jpeg = dir.File(std::string(f.name) + ".jpg");
    ASSERT_TRUE(RunTool("/usr/bin/cjpeg " + std::string(f.cjpeg) + " -outfile " + Quoted(jpeg) + " " + Quoted(source)));
    for (const auto& s : settings) {
      const std::string out = dir.File("out.pnm");
      ASSERT_TRUE(RunTool("/usr/bin/djpeg -pnm " + std::string(s.djpeg) + " -outfile " + Quoted(out) + " " + Quoted(jpeg)));
      Pnm want;
      ASSERT_TRUE(ReadPnm(out, want));
      TestJpg image;
      image.SetCodecOption(s.options, CDibImage::kFormatJpg);
      image.SetQuality(s.quality);
      image.SetScale(s.scale);
      ASSERT_TRUE(image.Load(Widen(jpeg).c_str(), CDibImage::kFormatJpg)) << f.name << " " << s.name;
      ASSERT_EQ(int(image.GetWidth()), want.width) << f.name << " " << s.name;
      ASSERT_EQ(int(image.GetHeight()), want.height) << f.name << " " << s.name;
      EXPECT_EQ(CountDifferences(Rgb(image), Expand(want)), 0u) << f.name << " " << s.name;
      // One channel, whether or not grey output was asked for: a grey palette, never black.
      if (want.channels == 1 && !(s.options & 0x100)) {
        EXPECT_TRUE(image.IsGrayScale()) << f.name << " " << s.name;
      }
      ++compared;
    }
  }
  EXPECT_EQ(compared, 84);
}

TEST(JpegReference, CmykIsScaledByK) {
  if (!HaveLibjpegTools() || !Have("test -x /usr/bin/convert && /usr/bin/python3 -c 'import PIL'"))
    GTEST_SKIP() << "ImageMagick, PIL or djpeg missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string source = dir.File("source.ppm"), cmyk = dir.File("cmyk.jpg"), raw = dir.File("cmyk.raw");
  ASSERT_TRUE(WritePnm(*MakePicture(37, 21), source));
  ASSERT_TRUE(RunTool("/usr/bin/convert " + Quoted(source) + " -colorspace CMYK -quality 95 " + Quoted(cmyk)));
  // libjpeg's samples: PIL inverts Adobe CMYK, so it is undone here.
  ASSERT_TRUE(RunTool("/usr/bin/python3 -c \"import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
                  "assert im.mode == 'CMYK'; d = im.tobytes(); "
                  "d = bytes(255 - v for v in d) if 'adobe' in im.info else d; open(sys.argv[2], 'wb').write(d)\" " +
                  Quoted(cmyk) + " " + Quoted(raw)));
  const Bytes samples = ReadFile(raw);
  ASSERT_EQ(samples.size(), size_t(37 * 21 * 4));

  CDibImage image;
  ASSERT_TRUE(image.Load(Widen(cmyk).c_str(), CDibImage::kFormatJpg)) << image.GetLastError();
  ASSERT_EQ(image.GetBpp(), 24);
  Bytes want;
  for (size_t i = 0; i < samples.size(); i += 4) {
    const unsigned k = samples[i + 3];
    want.insert(want.end(), {uint8_t(k * samples[i] / 255), uint8_t(k * samples[i + 1] / 255),
                             uint8_t(k * samples[i + 2] / 255)});
  }
  const Bytes got = Rgb(image);
  EXPECT_EQ(CountDifferences(got, want), 0u);

  // djpeg rounds where the integer formula truncates: never more than 1 apart.
  const std::string out = dir.File("cmyk.pnm");
  ASSERT_TRUE(RunTool("/usr/bin/djpeg -pnm -outfile " + Quoted(out) + " " + Quoted(cmyk)));
  Pnm djpeg;
  ASSERT_TRUE(ReadPnm(out, djpeg));
  ASSERT_EQ(djpeg.data.size(), got.size());
  for (size_t i = 0; i < got.size(); ++i) ASSERT_LE(std::abs(int(got[i]) - int(djpeg.data[i])), 1) << i;
}

TEST(JpegReference, EncodesAsCjpegDoes) {
  if (!HaveLibjpegTools()) GTEST_SKIP() << "cjpeg missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  auto colour = MakePicture(53, 38);
  auto grey = MakeGreyPicture(53, 38);
  ASSERT_TRUE(WritePnm(*colour, dir.File("colour.ppm")));
  ASSERT_TRUE(WritePnm(*grey, dir.File("grey.pgm")));
  const struct {
    const char* name;
    bool greySource;
    DWORD options;
    float quality;
    const char* cjpeg;
  } cases[] = {
      {"quality 90", false, 0, 90, "-quality 90"},
      {"quality 10 baseline", false, 0x1, 10, "-quality 10 -baseline"},
      {"quality 10", false, 0, 10, "-quality 10"},
      {"quality 100", false, 0, 100, "-quality 100"},
      {"arithmetic", false, 0x2, 90, "-quality 90 -arithmetic"},
      {"grey encode", false, 0x4, 90, "-quality 90 -grayscale"},
      {"optimised", false, 0x8, 75, "-quality 75 -optimize"},
      {"progressive", false, 0x10, 90, "-quality 90 -progressive"},
      {"smoothing", false, 0x40, 90, "-quality 90 -smooth 10"},
      {"4:2:2", false, 0x1000, 90, "-quality 90 -sample 2x1"},
      {"4:4:4", false, 0x2000, 90, "-quality 90 -sample 1x1"},
      // Optimised tables do not apply to arithmetic coding.
      {"everything", false, 0x201B, 80, "-quality 80 -baseline -arithmetic -progressive -sample 1x1"},
      {"grey source", true, 0, 90, "-quality 90"},
      {"grey source progressive", true, 0x18, 60, "-quality 60 -progressive -optimize"},
  };
  for (const auto& c : cases) {
    Bytes ours;
    ASSERT_TRUE(Encode(c.greySource ? *grey : *colour, ours, c.options, c.quality)) << c.name;
    const std::string theirs = dir.File("cjpeg.jpg");
    ASSERT_TRUE(RunTool("/usr/bin/cjpeg " + std::string(c.cjpeg) + " -outfile " + Quoted(theirs) + " " +
                    Quoted(dir.File(c.greySource ? "grey.pgm" : "colour.ppm")) + " 2>/dev/null"));
    Bytes want = ReadFile(theirs);
    // cjpeg writes an aspect ratio of 1:1 where we write 96 dots per inch.
    ASSERT_GT(want.size(), 18u);
    ASSERT_EQ(want[3], 0xE0);
    std::copy(ours.begin() + 13, ours.begin() + 18, want.begin() + 13);
    EXPECT_EQ(CountDifferences(ours, want), 0u) << c.name;
  }
}

TEST(JpegReference, PilReadsOurDensity) {
  if (!Have("/usr/bin/python3 -c 'import PIL'")) GTEST_SKIP() << "PIL missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  auto picture = MakePicture(20, 10);
  picture->SetXDPI(300);
  picture->SetYDPI(150);
  const std::string name = dir.File("dpi.jpg");
  ASSERT_TRUE(picture->Save(Widen(name).c_str(), CDibImage::kFormatJpg));
  const std::string report = dir.File("report.txt");
  ASSERT_TRUE(RunTool("/usr/bin/python3 -c \"import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
                  "open(sys.argv[2], 'w').write('%d %d %d %d %d' % (im.info['jfif_unit'], im.info['dpi'][0], "
                  "im.info['dpi'][1], im.size[0], im.size[1]))\" " +
                  Quoted(name) + " " + Quoted(report)));
  const Bytes text = ReadFile(report);
  EXPECT_EQ(std::string(text.begin(), text.end()), "1 300 150 20 10");
}

TEST(JpegReference, ExiftoolFilesAndWriteBack) {
  if (!HaveLibjpegTools() || !Have("test -x /usr/bin/exiftool")) GTEST_SKIP() << "exiftool or djpeg missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  auto picture = MakePicture(48, 32);
  auto small = MakePicture(8, 8);
  Bytes plain, thumbnail;
  ASSERT_TRUE(Encode(*picture, plain));
  ASSERT_TRUE(Encode(*small, thumbnail));
  ASSERT_TRUE(WriteFile(dir.File("thumb.jpg"), thumbnail));

  const struct {
    const char* order;
    const char* unit;
    const char* resolution;
    int32_t dpi;
  } cases[] = {{"II", "cm", "28.35", 72}, {"MM", "inches", "300", 300}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.order);
    const std::string name = dir.File(std::string("exif_") + c.order + ".jpg");
    ASSERT_TRUE(WriteFile(name, plain));
    ASSERT_TRUE(RunTool(std::string("/usr/bin/exiftool -q -overwrite_original -ExifByteOrder=") + c.order +
                    " -Make='Vesk Maker' -Model='VX Model 7' -DateTimeOriginal='2023:01:02 03:04:05'"
                    " -Orientation#=6 -IFD0:XResolution=" + c.resolution + " -IFD0:YResolution=" + c.resolution +
                    " -IFD0:ResolutionUnit=" + c.unit + " -JFIF:ResolutionUnit=inches -JFIF:XResolution=200"
                    " -JFIF:YResolution=200 -ISO=400 -UserComment='Padded comment   '"
                    " -FNumber=5.6 -ExposureTime=1/125 -EXIF:Flash#=1"
                    " '-ThumbnailImage<=" + dir.File("thumb.jpg") + "' " + Quoted(name)));

    CDibImageJPG image;
    {
      Bytes bytes = ReadFile(name);
      CMemoryStream stream(bytes.data(), uint32_t(bytes.size()));
      ASSERT_TRUE(image.Decode(&stream)) << image.GetLastError();
    }
    const ExifRecord& e = image.GetExifRecord();
    ASSERT_TRUE(e.isExif) << image.GetExifReader()->GetLastError();
    EXPECT_STREQ(e.cameraMake, "Vesk Maker");
    EXPECT_STREQ(e.cameraModel, "VX Model 7");
    EXPECT_STREQ(e.dateTime, "2023:01:02 03:04:05");
    EXPECT_EQ(e.orientation, 6);
    EXPECT_EQ(e.isoSpeed, 400);
    EXPECT_STREQ(e.comment, "Padded comment");
    EXPECT_FLOAT_EQ(e.apertureFNumber, 5.6f);
    EXPECT_FLOAT_EQ(e.exposureTime, 0.008f);
    EXPECT_EQ(e.flashUsed, 1);
    // EXIF wins over the JFIF density of 200.
    EXPECT_EQ(image.GetXDPI(), c.dpi);
    EXPECT_EQ(image.GetYDPI(), c.dpi);
    uint32_t size = 0;
    const uint8_t* data = image.GetExifReader()->GetThumbnail(&size);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(Bytes(data, data + size), thumbnail);

    // Re-encoded by the same object: exiftool finds the tags, djpeg the picture.
    CMemoryStream out;
    out.Open();
    ASSERT_TRUE(image.Encode(&out)) << image.GetLastError();
    const std::string rewritten = dir.File("rewritten.jpg");
    ASSERT_TRUE(WriteFile(rewritten, StreamBytes(out)));
    const std::string tags = dir.File("tags.txt");
    ASSERT_TRUE(RunTool("/usr/bin/exiftool -s3 -Make -Model -Orientation# -ISO -UserComment -ThumbnailLength " +
                    Quoted(rewritten) + " > " + Quoted(tags)));
    const Bytes text = ReadFile(tags);
    EXPECT_EQ(std::string(text.begin(), text.end()),
              "Vesk Maker\nVX Model 7\n6\n400\nPadded comment\n" + std::to_string(thumbnail.size()) + "\n");

    Bytes reencoded;
    ASSERT_TRUE(Encode(image, reencoded));
    ASSERT_TRUE(WriteFile(dir.File("reencoded.jpg"), reencoded));
    ASSERT_TRUE(RunTool("/usr/bin/djpeg -pnm -outfile " + Quoted(dir.File("a.pnm")) + " " + Quoted(rewritten)));
    ASSERT_TRUE(RunTool("/usr/bin/djpeg -pnm -outfile " + Quoted(dir.File("b.pnm")) + " " +
                    Quoted(dir.File("reencoded.jpg"))));
    Pnm a, b;
    ASSERT_TRUE(ReadPnm(dir.File("a.pnm"), a));
    ASSERT_TRUE(ReadPnm(dir.File("b.pnm"), b));
    EXPECT_EQ(a.width, 48);
    EXPECT_EQ(a.data, b.data);
  }
}

}  // namespace
