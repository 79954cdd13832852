#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "image/DibImage.h"
#include "image/tests/ImageTestSupport.h"

using imagetest::FillRandom;
using imagetest::InspectableImage;
using imagetest::Quad;
using imagetest::QuadText;
using imagetest::SameQuad;

namespace {

bool SamePixels(const CDibImage& a, const CDibImage& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return false;
  for (DWORD y = 0; y < a.GetHeight(); ++y)
    for (DWORD x = 0; x < a.GetWidth(); ++x) {
      const int32_t px = static_cast<int32_t>(x), py = static_cast<int32_t>(y);
      if (!SameQuad(a.GetPixelColor(px, py, false), b.GetPixelColor(px, py, false))) return false;
      if (a.AlphaGet(px, py) != b.AlphaGet(px, py)) return false;
      if (a.SelectionIsInside(px, py) != b.SelectionIsInside(px, py)) return false;
    }
  return true;
}

// A selection blob with holes inside a random rectangle, and the box around it.
void SelectBlob(InspectableImage& image, uint32_t seed) {
  std::mt19937 random(seed);
  const int32_t w = static_cast<int32_t>(image.GetWidth()), h = static_cast<int32_t>(image.GetHeight());
  const int32_t left = static_cast<int32_t>(random() % w), bottom = static_cast<int32_t>(random() % h);
  const int32_t right = left + 1 + static_cast<int32_t>(random() % (w - left));
  const int32_t top = bottom + 1 + static_cast<int32_t>(random() % (h - bottom));
  image.SelectionCreate();
  for (int32_t y = bottom; y < top; ++y)
    for (int32_t x = left; x < right; ++x) image.SelectionSet(x, y, (random() % 5) ? 1 : 0);
  // The corners make the box tight.
  image.SelectionSet(left, bottom, 1);
  image.SelectionSet(right - 1, top - 1, 1);
  image.Box() = RECT{left, top, right, bottom};
}

std::string BoxText(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

bool SameBox(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

#ifndef _WIN32
// ---- PIL as the witness ----

// The half-open box around the selected pixels.
RECT SelectedBounds(const CDibImage& image) {
  RECT box{static_cast<LONG>(image.GetWidth()), 0, 0, static_cast<LONG>(image.GetHeight())};
  for (int32_t y = 0; y < static_cast<int32_t>(image.GetHeight()); ++y)
    for (int32_t x = 0; x < static_cast<int32_t>(image.GetWidth()); ++x)
      if (image.SelectionIsInside(x, y)) {
        box.left = std::min<LONG>(box.left, x);
        box.right = std::max<LONG>(box.right, x + 1);
        box.bottom = std::min<LONG>(box.bottom, y);
        box.top = std::max<LONG>(box.top, y + 1);
      }
  return box;
}

const char kPilScript[] = R"(import sys
from PIL import Image, ImageOps
ops = {'flip': Image.FLIP_TOP_BOTTOM, 'mirror': Image.FLIP_LEFT_RIGHT,
       'left': Image.ROTATE_90, 'right': Image.ROTATE_270}
for line in open(sys.argv[1]):
    f = line.split()
    if not f:
        continue
    if f[0] == 'negative':
        src = Image.open(f[1]).convert('RGB')
        mask = Image.open(f[2]).convert('L')
        Image.composite(ImageOps.invert(src), src, mask).save(f[3])
    else:
        Image.open(f[1]).transpose(ops[f[0]]).save(f[2])
)";

// Pictures go out top row first, as the formats have them.
void WritePpm(const CDibImage& image, const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << image.GetWidth() << " " << image.GetHeight() << "\n255\n";
  for (int32_t y = static_cast<int32_t>(image.GetHeight()) - 1; y >= 0; --y)
    for (int32_t x = 0; x < static_cast<int32_t>(image.GetWidth()); ++x) {
      const RGBQUAD c = image.GetPixelColor(x, y, false);
      out.put(static_cast<char>(c.rgbRed)).put(static_cast<char>(c.rgbGreen)).put(static_cast<char>(c.rgbBlue));
    }
}

void WritePgm(const CDibImage& image, const std::string& path, const std::function<BYTE(int32_t, int32_t)>& value) {
  std::ofstream out(path, std::ios::binary);
  out << "P5\n" << image.GetWidth() << " " << image.GetHeight() << "\n255\n";
  for (int32_t y = static_cast<int32_t>(image.GetHeight()) - 1; y >= 0; --y)
    for (int32_t x = 0; x < static_cast<int32_t>(image.GetWidth()); ++x) out.put(static_cast<char>(value(x, y)));
}

struct Netpbm {
  int width = 0, height = 0, channels = 0;
  std::vector<BYTE> data;  // top row first
  BYTE At(int32_t x, int32_t yFromBottom, int channel) const {
    return data[(static_cast<size_t>(height - 1 - yFromBottom) * width + x) * channels + channel];
  }
};

bool ReadNetpbm(const std::string& path, Netpbm& image) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxValue = 0;
  in >> magic >> image.width >> image.height >> maxValue;
  in.get();
  if (!in || maxValue != 255 || (magic != "P5" && magic != "P6")) return false;
  image.channels = magic == "P6" ? 3 : 1;
  image.data.resize(static_cast<size_t>(image.width) * image.height * image.channels);
  in.read(reinterpret_cast<char*>(image.data.data()), static_cast<std::streamsize>(image.data.size()));
  return static_cast<size_t>(in.gcount()) == image.data.size();
}

class PilWitness {
 public:
  PilWitness() {
    char pattern[] = "/tmp/vesk-transform-XXXXXX";
    if (mkdtemp(pattern)) m_dir = pattern;
  }
  ~PilWitness() {
    if (!m_dir.empty()) std::system(("rm -rf '" + m_dir + "'").c_str());
  }
  static bool Available() {
    return access("/usr/bin/python3", X_OK) == 0 &&
           std::system("/usr/bin/python3 -c 'import PIL' >/dev/null 2>&1") == 0;
  }
  std::string Path(const std::string& name) const { return m_dir + "/" + name; }
  void Add(const std::string& line) { m_manifest << line << "\n"; }
  bool Run() {
    std::ofstream(Path("ops.py")) << kPilScript;
    std::ofstream(Path("manifest")) << m_manifest.str();
    const std::string command = "/usr/bin/python3 '" + Path("ops.py") + "' '" + Path("manifest") + "'";
    return !m_dir.empty() && std::system(command.c_str()) == 0;
  }

 private:
  std::string m_dir;
  std::ostringstream m_manifest;
};

TEST(TransformsAgainstPil, FlipMirrorRotateNegativeWithPlanesAndBox) {
  if (!PilWitness::Available()) GTEST_SKIP() << "/usr/bin/python3 with PIL not found";
  PilWitness pil;
  struct Case {
    std::string name, op;
    DWORD bpp;
    int32_t width, height;
    bool grey;
  };
  std::vector<Case> cases;
  const int sizes[][2] = {{1, 1}, {7, 3}, {13, 17}, {33, 5}, {67, 65}, {131, 70}};
  for (const char* op : {"flip", "mirror", "left", "right", "negative"})
    for (DWORD bpp : {1u, 4u, 8u, 24u})
      for (const auto& size : sizes)
        cases.push_back({std::string(op) + "-" + std::to_string(bpp) + "-" + std::to_string(size[0]) + "x" +
                             std::to_string(size[1]),
                         op, bpp, size[0], size[1], false});
  cases.push_back({"negative-grey", "negative", 8, 19, 11, true});

  std::vector<InspectableImage> images;
  images.reserve(cases.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    images.emplace_back(c.width, c.height, c.bpp, 0);
    InspectableImage& image = images.back();
    FillRandom(image, static_cast<uint32_t>(100 + i), true);
    if (c.grey) image.SetGrayPalette();
    SelectBlob(image, static_cast<uint32_t>(200 + i));
    const std::string base = pil.Path(c.name);
    WritePpm(image, base + ".ppm");
    WritePgm(image, base + "-alpha.pgm", [&](int32_t x, int32_t y) { return image.AlphaGet(x, y); });
    WritePgm(image, base + "-sel.pgm", [&](int32_t x, int32_t y) { return image.SelectionIsInside(x, y) ? 255 : 0; });
    if (c.op == "negative") {
      const RECT box = image.Box();
      // Colour palettes are inverted as a whole; true colour and grey
      // indices only where selected inside the box.
      const bool everything = c.bpp < 24 && !image.IsGrayScale();
      WritePgm(image, base + "-mask.pgm", [&](int32_t x, int32_t y) {
        return (everything || (x >= box.left && x < box.right && y >= box.bottom && y < box.top &&
                               image.SelectionIsInside(x, y))) ? 255 : 0;
      });
      pil.Add("negative " + base + ".ppm " + base + "-mask.pgm " + base + "-out.ppm");
      continue;
    }
    pil.Add(c.op + " " + base + ".ppm " + base + "-out.ppm");
    pil.Add(c.op + " " + base + "-alpha.pgm " + base + "-alpha-out.pgm");
    pil.Add(c.op + " " + base + "-sel.pgm " + base + "-sel-out.pgm");
  }
  ASSERT_TRUE(pil.Run());

  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.name);
    InspectableImage& image = images[i];
    const RGBQUAD transColour = image.GetTransColor();
    bool done = false;
    if (c.op == "flip") done = image.Flip(true, true);
    else if (c.op == "mirror") done = image.Mirror(true, true);
    else if (c.op == "left") done = image.RotateLeft();
    else if (c.op == "right") done = image.RotateRight();
    else done = image.Negative();
    ASSERT_TRUE(done);
    const std::string base = pil.Path(c.name);
    Netpbm pixels, alpha, selection;
    ASSERT_TRUE(ReadNetpbm(base + "-out.ppm", pixels));
    ASSERT_EQ(image.GetWidth(), static_cast<DWORD>(pixels.width));
    ASSERT_EQ(image.GetHeight(), static_cast<DWORD>(pixels.height));
    const bool planesMove = c.op != "negative";
    if (planesMove) {
      ASSERT_TRUE(ReadNetpbm(base + "-alpha-out.pgm", alpha));
      ASSERT_TRUE(ReadNetpbm(base + "-sel-out.pgm", selection));
    }
    for (int32_t y = 0; y < pixels.height; ++y)
      for (int32_t x = 0; x < pixels.width; ++x) {
        const RGBQUAD got = image.GetPixelColor(x, y, false);
        ASSERT_TRUE(SameQuad(got, Quad(pixels.At(x, y, 0), pixels.At(x, y, 1), pixels.At(x, y, 2))))
            << x << "," << y << " " << QuadText(got);
        if (planesMove) {
          ASSERT_EQ(image.AlphaGet(x, y), alpha.At(x, y, 0)) << x << "," << y;
          ASSERT_EQ(image.SelectionIsInside(x, y), selection.At(x, y, 0) != 0) << x << "," << y;
        }
      }
    EXPECT_TRUE(SameBox(image.Box(), SelectedBounds(image))) << BoxText(image.Box());
    if (c.op == "negative" && c.bpp == 24) {
      EXPECT_EQ(image.GetTransColor().rgbRed, 255 - transColour.rgbRed);
    }
  }
}
#endif  // !_WIN32

TEST(Transforms, TurningLeftThenRightRestoresEverything) {
  for (DWORD bpp : {1u, 4u, 8u, 24u}) {
    SCOPED_TRACE(bpp);
    InspectableImage image(71, 66, bpp, 0);
    FillRandom(image, bpp, true);
    SelectBlob(image, bpp);
    InspectableImage original(image);
    InspectableImage turned(0);
    ASSERT_TRUE(image.RotateLeft(&turned));
    EXPECT_EQ(turned.GetWidth(), 66u);
    EXPECT_TRUE(SamePixels(image, original));  // the source stays when an output is given
    ASSERT_TRUE(turned.RotateRight());
    EXPECT_TRUE(SamePixels(turned, original));
    EXPECT_TRUE(SameBox(turned.Box(), original.Box())) << BoxText(turned.Box());
    InspectableImage twice(original);
    ASSERT_TRUE(twice.Mirror() && twice.Mirror() && twice.Flip() && twice.Flip());
    EXPECT_TRUE(SamePixels(twice, original));
    EXPECT_TRUE(SameBox(twice.Box(), original.Box()));
  }
}

TEST(Transforms, NegativeByPaletteKind) {
  CDibImage colour(5, 4, 8, 0);
  FillRandom(colour, 1);
  std::vector<BYTE> before(colour.GetBits(), colour.GetBits() + colour.GetEffWidth() * 4);
  const RGBQUAD entry = colour.GetPaletteColor(9);
  ASSERT_TRUE(colour.Negative());
  EXPECT_EQ(std::vector<BYTE>(colour.GetBits(), colour.GetBits() + colour.GetEffWidth() * 4), before);
  EXPECT_EQ(colour.GetPaletteColor(9).rgbGreen, 255 - entry.rgbGreen);

  CDibImage grey(5, 4, 8, 0);
  grey.SetGrayPalette();
  grey.SetPixelIndex(2, 2, 10);
  ASSERT_TRUE(grey.Negative());
  EXPECT_EQ(grey.GetPixelIndex(2, 2), 245);
  EXPECT_EQ(grey.GetPixelIndex(0, 0), 255);
  EXPECT_TRUE(grey.IsGrayScale());

  // A selection box reaching past the image is clamped.
  InspectableImage selected(4, 3, 24, 0);
  selected.SelectionCreate();
  for (int x = 0; x < 4; ++x) selected.SelectionSet(x, 2, 1);
  selected.Box() = RECT{-5, 99, 99, -5};
  ASSERT_TRUE(selected.Negative());
  EXPECT_TRUE(SameQuad(selected.GetPixelColor(3, 2, false), Quad(255, 255, 255)));
  EXPECT_TRUE(SameQuad(selected.GetPixelColor(3, 1, false), Quad(0, 0, 0)));

  CDibImage empty;
  EXPECT_FALSE(empty.Negative());
}

TEST(Resample, SameSizeAndRefusals) {
  InspectableImage image(6, 5, 24, 0);
  FillRandom(image, 4, true);
  InspectableImage original(image);
  EXPECT_TRUE(image.Resample(6, 5, 0));
  EXPECT_TRUE(SamePixels(image, original));
  InspectableImage copy(0);
  EXPECT_TRUE(image.Resample(6, 5, 2, &copy));
  EXPECT_TRUE(SamePixels(copy, original));
  EXPECT_FALSE(image.Resample(0, 5));
  EXPECT_FALSE(image.Resample(6, -1));
  EXPECT_FALSE(CDibImage().Resample(3, 3));
  // Too big for the memory limit: the temporary's message.
  EXPECT_FALSE(image.Resample(20000, 20000, 1));
  EXPECT_STREQ(image.GetLastError(), "DIBIMAGE_MAX_MEMORY exceeded");
  EXPECT_TRUE(SamePixels(image, original));
}

TEST(Resample, NearestKeepsIndicesAndAlpha) {
  CDibImage image(4, 4, 8, 0);
  image.SetTransIndex(200);  // transparent, and the same colour as entry 0
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) image.SetPixelIndex(x, y, static_cast<BYTE>(x < 2 ? 200 : 7));
  image.AlphaCreate();
  image.AlphaSet(3, 2, 9);
  ASSERT_TRUE(image.Resample(8, 2, 1));
  EXPECT_EQ(image.GetPixelIndex(0, 0), 200);
  EXPECT_EQ(image.GetPixelIndex(7, 1), 7);
  EXPECT_EQ(image.AlphaGet(7, 1), 9);  // source (7 * 0.5, 1 * 2)
  EXPECT_EQ(image.GetTransIndex(), 200);
}

// The exact area average of a reduction. Thousandth weights and the final
// truncation keep the filter within about a step of it.
double CoverageAverage(const CDibImage& image, int channel, int32_t ox, int32_t oy, double xs, double ys) {
  double sum = 0, weight = 0;
  for (int32_t y = static_cast<int32_t>(oy * ys); y < std::ceil((oy + 1) * ys) && y < static_cast<int32_t>(image.GetHeight()); ++y)
    for (int32_t x = static_cast<int32_t>(ox * xs); x < std::ceil((ox + 1) * xs) && x < static_cast<int32_t>(image.GetWidth()); ++x) {
      const double wx = std::min<double>(x + 1, (ox + 1) * xs) - std::max<double>(x, ox * xs);
      const double wy = std::min<double>(y + 1, (oy + 1) * ys) - std::max<double>(y, oy * ys);
      if (wx <= 0 || wy <= 0) continue;
      const RGBQUAD c = image.GetPixelColor(x, y, false);
      const BYTE v = channel == 0 ? c.rgbRed : channel == 1 ? c.rgbGreen : c.rgbBlue;
      sum += v * wx * wy;
      weight += wx * wy;
    }
  return sum / weight;
}

TEST(Resample, BoxFilterAveragesWhatEachPixelCovers) {
  struct Case {
    int32_t width, height, newWidth, newHeight;
  } const cases[] = {{100, 100, 30, 30}, {97, 41, 13, 40}, {64, 48, 32, 24}, {55, 7, 1, 1},
                     {300, 200, 299, 199}, {33, 17, 10, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " -> " + std::to_string(c.newWidth) +
                 "x" + std::to_string(c.newHeight));
    CDibImage uniform(c.width, c.height, 24, 0);
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < c.width; ++x) uniform.SetPixelColor(x, y, Quad(200, 17, 255));
    ASSERT_TRUE(uniform.Resample(c.newWidth, c.newHeight, 0));
    for (int y = 0; y < c.newHeight; ++y)
      for (int x = 0; x < c.newWidth; ++x)
        ASSERT_TRUE(SameQuad(uniform.GetPixelColor(x, y, false), Quad(200, 17, 255))) << x << "," << y;

    CDibImage random(c.width, c.height, 24, 0);
    FillRandom(random, static_cast<uint32_t>(c.width));
    CDibImage reduced(0);
    ASSERT_TRUE(random.Resample(c.newWidth, c.newHeight, 7, &reduced));
    const double xs = static_cast<double>(c.width) / c.newWidth, ys = static_cast<double>(c.height) / c.newHeight;
    for (int y = 0; y < c.newHeight; ++y)
      for (int x = 0; x < c.newWidth; ++x) {
        const RGBQUAD got = reduced.GetPixelColor(x, y, false);
        ASSERT_NEAR(got.rgbRed, CoverageAverage(random, 0, x, y, xs, ys), 1.5) << x << "," << y;
        ASSERT_NEAR(got.rgbBlue, CoverageAverage(random, 2, x, y, xs, ys), 1.5) << x << "," << y;
      }
  }
}

TEST(Resample, HugeReductionStaysInBoundsAndIn64Bits) {
  // The largest 24-bit picture the memory limit allows; its sums pass 2^32.
  CDibImage huge(16384, 5461, 24, 0);
  if (!huge.IsValid()) GTEST_SKIP() << "no memory for a 256 MB picture here";
  std::memset(huge.GetBits(), 0xFF, static_cast<size_t>(huge.GetEffWidth()) * huge.GetHeight());
  CDibImage one(0), few(0);
  ASSERT_TRUE(huge.Resample(1, 1, 0, &one));
  EXPECT_TRUE(SameQuad(one.GetPixelColor(0, 0, false), Quad(255, 255, 255)));
  ASSERT_TRUE(huge.Resample(3, 7, 0, &few));
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_TRUE(SameQuad(few.GetPixelColor(x, y, false), Quad(255, 255, 255)));
}

TEST(Resample, BicubicAndBilinear) {
  // B-spline weights add up to one: a flat picture stays flat.
  CDibImage flat(9, 7, 24, 0);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 9; ++x) flat.SetPixelColor(x, y, Quad(90, 180, 30));
  ASSERT_TRUE(flat.Resample(20, 5, 2));
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 20; ++x)
      ASSERT_TRUE(SameQuad(flat.GetPixelColor(x, y, false), Quad(90, 180, 30)))
          << x << "," << y << " " << QuadText(flat.GetPixelColor(x, y, false));

  // Bilinear enlargement of a grey ramp lands between its neighbours.
  CDibImage ramp(4, 1, 8, 0);
  ramp.SetGrayPalette();
  for (int x = 0; x < 4; ++x) ramp.SetPixelIndex(x, 0, static_cast<BYTE>(x * 60));
  ASSERT_TRUE(ramp.Resample(8, 2, 0));
  EXPECT_EQ(ramp.GetBpp(), 8);
  const int expected[8] = {0, 30, 60, 90, 120, 150, 180, 180};
  for (int x = 0; x < 8; ++x) EXPECT_EQ(ramp.GetPixelIndex(x, 1), expected[x]) << x;
}

TEST(Expand, BordersPlanesAndLimits) {
  InspectableImage image(3, 2, 24, 0);
  FillRandom(image, 8);
  image.AlphaCreate();
  image.AlphaSet(2, 1, 7);
  image.SelectionCreate();
  image.SelectionSet(0, 0, 1);
  image.Box() = RECT{0, 1, 1, 0};
  InspectableImage original(image);
  const RGBQUAD red = Quad(255, 0, 0, 33);
  ASSERT_TRUE(image.Expand(10, 2, 1, 3, red));
  ASSERT_EQ(image.GetWidth(), 14u);
  ASSERT_EQ(image.GetHeight(), 7u);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 14; ++x) {
      const bool picture = x >= 10 && x < 13 && y >= 3 && y < 5;
      const RGBQUAD want = picture ? original.GetPixelColor(x - 10, y - 3, false) : Quad(255, 0, 0);
      ASSERT_TRUE(SameQuad(image.GetPixelColor(x, y, false), want)) << x << "," << y;
      ASSERT_EQ(image.AlphaGet(x, y), picture ? original.AlphaGet(x - 10, y - 3) : 33);
      ASSERT_EQ(image.SelectionIsInside(x, y), x == 10 && y == 3);
    }
  EXPECT_TRUE(SameBox(image.Box(), RECT{10, 4, 11, 3}));

  for (DWORD bpp : {1u, 4u, 8u}) {
    SCOPED_TRACE(bpp);
    CDibImage indexed(5, 3, bpp, 0);
    FillRandom(indexed, bpp);
    indexed.SetPaletteColor(1, 0, 0, 255);
    CDibImage before(indexed);
    ASSERT_TRUE(indexed.Expand(1, 0, 2, 1, Quad(0, 0, 255)));
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 8; ++x) {
        const bool picture = x >= 1 && x < 6 && y >= 1;
        const int want = picture ? before.GetPixelIndex(x - 1, y - 1) : before.GetNearestIndex(Quad(0, 0, 255));
        ASSERT_EQ(indexed.GetPixelIndex(x, y), want) << x << "," << y;
      }
  }

  EXPECT_FALSE(image.Expand(-1, 0, 0, 0, red));
  EXPECT_FALSE(image.Expand(INT32_MAX, 0, INT32_MAX, 0, red));
  EXPECT_STREQ(image.GetLastError(), "DIBIMAGE_MAX_MEMORY exceeded");
  EXPECT_EQ(image.GetWidth(), 14u);
}

// Error diffusion written out directly from its description, on a copy of
// the source colours, as the witness for the converter.
std::vector<BYTE> DiffusedIndices(const CDibImage& source, const std::vector<RGBQUAD>& palette, DWORD searched) {
  const int32_t w = static_cast<int32_t>(source.GetWidth()), h = static_cast<int32_t>(source.GetHeight());
  std::vector<int> colours(static_cast<size_t>(w) * h * 3);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const RGBQUAD c = source.GetPixelColor(x, y, false);
      int* p = &colours[(static_cast<size_t>(y) * w + x) * 3];
      p[0] = c.rgbRed, p[1] = c.rgbGreen, p[2] = c.rgbBlue;
    }
  std::vector<BYTE> indices(static_cast<size_t>(w) * h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      int* p = &colours[(static_cast<size_t>(y) * w + x) * 3];
      int best = 1 << 30, bestIndex = 0;
      for (DWORD i = 0; i < searched; ++i) {
        const int dr = palette[i].rgbRed - p[0], dg = palette[i].rgbGreen - p[1], db = palette[i].rgbBlue - p[2];
        if (dr * dr + dg * dg + db * db < best) best = dr * dr + dg * dg + db * db, bestIndex = static_cast<int>(i);
      }
      indices[static_cast<size_t>(y) * w + x] = static_cast<BYTE>(bestIndex);
      const int error[3] = {p[0] - palette[bestIndex].rgbRed, p[1] - palette[bestIndex].rgbGreen,
                            p[2] - palette[bestIndex].rgbBlue};
      const int spread[4][3] = {{1, 0, 7}, {-1, 1, 2}, {0, 1, 4}, {1, 1, 1}};
      for (const auto& s : spread) {
        const int32_t nx = x + s[0], ny = y + s[1];
        if (nx < 0 || nx >= w || ny >= h) continue;
        int* q = &colours[(static_cast<size_t>(ny) * w + nx) * 3];
        for (int i = 0; i < 3; ++i) q[i] = std::min(255, std::max(0, q[i] + s[2] * error[i] / 16));
      }
    }
  return indices;
}

TEST(DecreaseBpp, MatchesBruteForceWithAndWithoutDiffusion) {
  std::mt19937 random(3);
  struct Case {
    DWORD bits, count;
    int levels;  // few levels: many equal palette entries and ties
    bool diffusion;
  } const cases[] = {{8, 256, 256, true}, {8, 256, 256, false}, {8, 40, 6, true}, {8, 0, 3, false},
                     {4, 16, 256, true},  {4, 7, 4, false},     {1, 0, 256, true}, {1, 256, 2, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.bits) + "/" + std::to_string(c.count) + "/" + std::to_string(c.levels) +
                 (c.diffusion ? " diffused" : ""));
    // Exactly as many entries as the call may read: ASan catches a read past them.
    const DWORD entries = c.count ? std::min<DWORD>(c.count, 1u << c.bits) : (1u << c.bits);
    std::vector<RGBQUAD> palette(entries);
    auto level = [&] { return static_cast<int>((random() % c.levels) * 255 / std::max(1, c.levels - 1)); };
    for (auto& e : palette) e = Quad(level(), level(), level());
    CDibImage image(37, 23, 24, 0);
    FillRandom(image, c.bits * 7 + c.count);
    const std::vector<BYTE> want = DiffusedIndices(image, palette, entries);
    CDibImage plain(image);
    ASSERT_TRUE(image.DecreaseBpp(c.bits, c.diffusion, palette.data(), c.count));
    ASSERT_EQ(image.GetBpp(), c.bits);
    for (int32_t y = 0; y < 23; ++y)
      for (int32_t x = 0; x < 37; ++x) {
        if (c.diffusion) {
          ASSERT_EQ(image.GetPixelIndex(x, y), want[static_cast<size_t>(y) * 37 + x]) << x << "," << y;
        } else {
          ASSERT_EQ(image.GetPixelIndex(x, y), image.GetNearestIndex(plain.GetPixelColor(x, y, false))) << x << "," << y;
        }
      }
  }
}

TEST(DecreaseBpp, RulesAndEdgeCases) {
  // A uniform colour that is in the palette: one index, no diffusion noise.
  CDibImage uniform(16, 9, 24, 0);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 16; ++x) uniform.SetPixelColor(x, y, Quad(166, 202, 240));
  uniform.AlphaCreate();
  ASSERT_TRUE(uniform.DecreaseBpp(8, true, nullptr, 0));  // the standard palette, entry 9
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 16; ++x) ASSERT_EQ(uniform.GetPixelIndex(x, y), 9);
  EXPECT_TRUE(uniform.AlphaIsValid());

  CDibImage eight(4, 4, 8, 0);
  EXPECT_FALSE(eight.DecreaseBpp(24, false));
  EXPECT_STREQ(eight.GetLastError(), "DecreaseBpp: target BPP greater than source BPP");
  FillRandom(eight, 2);
  CDibImage before(eight);
  EXPECT_TRUE(eight.DecreaseBpp(8, true, nullptr, 0));
  EXPECT_TRUE(SamePixels(eight, before));
  eight.SetClrImportant(8);
  EXPECT_TRUE(eight.DecreaseBpp(8, true, nullptr, 16));
  EXPECT_TRUE(SamePixels(eight, before));
  // Re-mapped onto its own depth with fewer colours.
  eight.SetClrImportant(0);
  ASSERT_TRUE(eight.DecreaseBpp(8, false, nullptr, 4));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_LT(eight.GetPixelIndex(x, y), 4);
  EXPECT_FALSE(CDibImage().DecreaseBpp(8, false));
}

TEST(IncreaseBpp, IndicesColoursAndPaletteAlpha) {
  CDibImage one(9, 3, 1, 0);
  FillRandom(one, 5);
  CDibImage before(one);
  ASSERT_TRUE(one.IncreaseBpp(4));
  EXPECT_EQ(one.GetBpp(), 4);
  EXPECT_TRUE(SamePixels(one, before));
  for (int x = 0; x < 9; ++x) EXPECT_EQ(one.GetPixelIndex(x, 1), before.GetPixelIndex(x, 1));
  EXPECT_TRUE(one.IncreaseBpp(4));
  EXPECT_FALSE(one.IncreaseBpp(1));
  EXPECT_FALSE(one.IncreaseBpp(16));

  InspectableImage paletted(5, 2, 8, 0);
  FillRandom(paletted, 6);
  paletted.GetPalette()[paletted.GetPixelIndex(4, 1)].rgbReserved = 77;
  paletted.SetTransIndex(paletted.GetPixelIndex(0, 0));
  const RGBQUAD transparent = paletted.GetPaletteColor(paletted.GetPixelIndex(0, 0));
  InspectableImage colours(paletted);
  ASSERT_TRUE(paletted.IncreaseBpp(24));
  EXPECT_EQ(paletted.GetBpp(), 24);
  ASSERT_TRUE(paletted.AlphaIsValid());
  EXPECT_EQ(paletted.AlphaGet(4, 1), 77);
  EXPECT_TRUE(SameQuad(paletted.GetTransColor(), Quad(transparent.rgbRed, transparent.rgbGreen, transparent.rgbBlue)));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x) {
      RGBQUAD want = colours.GetPixelColor(x, y, false);
      want.rgbReserved = 0;
      EXPECT_TRUE(SameQuad(paletted.GetPixelColor(x, y, false), want));
    }
}

TEST(Transforms, GhostsAndEmptyImagesAreRefused) {
  CDibImage source(6, 4, 24, 0);
  FillRandom(source, 9);
  CDibImage keep(source);
  CDibImage ghost(0);
  ghost.Ghost(source);
  EXPECT_FALSE(ghost.Mirror());
  EXPECT_FALSE(ghost.RotateLeft());
  EXPECT_FALSE(ghost.Resample(3, 2, 1));
  EXPECT_FALSE(ghost.DecreaseBpp(8, true));
  EXPECT_FALSE(ghost.Expand(1, 1, 1, 1, Quad(0, 0, 0)));
  EXPECT_TRUE(SamePixels(source, keep));
  CDibImage turned(0);
  EXPECT_TRUE(ghost.RotateRight(&turned));  // into an image of its own: fine
  EXPECT_EQ(turned.GetWidth(), 4u);

  CDibImage empty;
  EXPECT_FALSE(empty.Flip());
  EXPECT_FALSE(empty.Mirror());
  EXPECT_FALSE(empty.RotateLeft());
  EXPECT_FALSE(empty.RotateRight());
  EXPECT_FALSE(empty.Expand(0, 0, 0, 0, Quad(0, 0, 0)));
  EXPECT_FALSE(empty.IncreaseBpp(24));
}

}  // namespace
