#include "image/Quantizer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <tuple>
#include <vector>

#include "image/DibImage.h"

namespace {

using Cell = std::tuple<int, int, int>;

struct Sum {
  uint64_t r = 0, g = 0, b = 0, n = 0;
};

BYTE RoundedMean(uint64_t sum, uint64_t n) {
  return static_cast<BYTE>(static_cast<double>(sum) / static_cast<double>(n) + 0.5);
}

std::vector<RGBQUAD> Palette(const CQuantizer& quantizer) {
  std::vector<RGBQUAD> palette(256, RGBQUAD{1, 2, 3, 4});
  quantizer.SetColorTable(palette.data());
  palette.resize(quantizer.GetLeafCount());
  return palette;
}

TEST(Quantizer, FewCellsGiveExactMeans) {
  // 240 cells of 7 bits per channel, each holding two or three shades that
  // differ only in the lowest bit, in uneven numbers.
  CDibImage image(64, 48, 24);
  std::map<Cell, Sum> expected;
  for (int32_t y = 0; y < 48; ++y)
    for (int32_t x = 0; x < 64; ++x) {
      const int cell = (y * 64 + x) % 240;
      const BYTE r = BYTE((cell % 6) * 40 | ((x + y) & 1)), g = BYTE((cell / 6 % 8) * 30 | (x % 3 == 0)),
                 b = BYTE((cell / 48) * 50 | (y % 5 == 0));
      image.SetPixelColor(x, y, RGBQUAD{b, g, r, 0});
      Sum& s = expected[Cell{r >> 1, g >> 1, b >> 1}];
      s.r += r, s.g += g, s.b += b, ++s.n;
    }
  ASSERT_EQ(expected.size(), 240u);

  CQuantizer quantizer(7);
  ASSERT_TRUE(quantizer.ProcessImage(image.GetDIB()));
  const std::vector<RGBQUAD> palette = Palette(quantizer);
  ASSERT_EQ(palette.size(), 240u);
  for (const RGBQUAD& entry : palette) {
    auto it = expected.find(Cell{entry.rgbRed >> 1, entry.rgbGreen >> 1, entry.rgbBlue >> 1});
    ASSERT_NE(it, expected.end());
    const Sum& s = it->second;
    EXPECT_EQ(entry.rgbRed, RoundedMean(s.r, s.n));
    EXPECT_EQ(entry.rgbGreen, RoundedMean(s.g, s.n));
    EXPECT_EQ(entry.rgbBlue, RoundedMean(s.b, s.n));
    EXPECT_EQ(entry.rgbReserved, 0);
    expected.erase(it);
  }
}

TEST(Quantizer, TwentyMegapixelsOfWhiteStayWhite) {
  // Ten full-HD frames: colour sums far beyond 32 bits.
  CDibImage frame(1920, 1080, 24);
  frame.Clear(255);
  CQuantizer quantizer(7);
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(quantizer.ProcessImage(frame.GetDIB()));
  const std::vector<RGBQUAD> palette = Palette(quantizer);
  ASSERT_EQ(palette.size(), 1u);
  EXPECT_EQ(palette[0].rgbRed, 255);
  EXPECT_EQ(palette[0].rgbGreen, 255);
  EXPECT_EQ(palette[0].rgbBlue, 255);
}

TEST(Quantizer, ManyColoursAreReducedTo256) {
  CDibImage image(256, 256, 24);
  for (int32_t y = 0; y < 256; ++y)
    for (int32_t x = 0; x < 256; ++x) image.SetPixelColor(x, y, RGBQUAD{BYTE(x), BYTE(y), BYTE(x ^ y), 0});
  CQuantizer quantizer(7);
  ASSERT_TRUE(quantizer.ProcessImage(image.GetDIB()));
  EXPECT_LE(quantizer.GetLeafCount(), 256u);
  EXPECT_GE(quantizer.GetLeafCount(), 200u);
  std::vector<RGBQUAD> palette(300, RGBQUAD{9, 9, 9, 9});
  quantizer.SetColorTable(palette.data());
  for (size_t i = quantizer.GetLeafCount(); i < palette.size(); ++i)
    EXPECT_EQ(palette[i].rgbBlue, 9) << "entries beyond the leaves are the caller's";

  // One entry kept free for the caller's own colour.
  CQuantizer bounded(7, 255);
  ASSERT_TRUE(bounded.ProcessImage(image.GetDIB()));
  EXPECT_LE(bounded.GetLeafCount(), 255u);
  EXPECT_GE(bounded.GetLeafCount(), 200u);
}

// An indexed DIB built by hand: header, `entries` palette entries, rows.
std::vector<BYTE> IndexedDib(WORD bits, DWORD clrUsed, const std::vector<RGBQUAD>& palette, int32_t width,
                             const std::vector<BYTE>& rows) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  const DWORD stride = ((width * bits + 31) / 32) * 4;
  header.biHeight = static_cast<LONG>(rows.size() / stride);
  header.biPlanes = 1;
  header.biBitCount = bits;
  header.biClrUsed = clrUsed;
  std::vector<BYTE> dib(sizeof header);
  std::memcpy(dib.data(), &header, sizeof header);
  const BYTE* p = reinterpret_cast<const BYTE*>(palette.data());
  dib.insert(dib.end(), p, p + palette.size() * sizeof(RGBQUAD));
  dib.insert(dib.end(), rows.begin(), rows.end());
  return dib;
}

TEST(Quantizer, IndexedInput) {
  const RGBQUAD black{0, 0, 0, 0}, white{255, 255, 255, 0}, red{0, 0, 255, 7}, green{0, 255, 0, 0};
  std::vector<RGBQUAD> sixteen(16, green);
  sixteen[5] = red;
  const struct {
    const char* name;
    std::vector<BYTE> dib;
    std::vector<RGBQUAD> colours;  // expected entries, any order
  } cases[] = {
      {"1 bit black and white", IndexedDib(1, 2, {black, white}, 10, {0xAA, 0xC0, 0, 0}), {black, white}},
      // No count stated: the full 16 entries precede the rows.
      {"4 bit, count 0", IndexedDib(4, 0, sixteen, 2, {0x55, 0, 0, 0}), {red}},
      // Indices beyond a 2-entry palette take its last entry.
      {"8 bit stray index", IndexedDib(8, 2, {black, white}, 2, {200, 1, 0, 0}), {white}},
  };
  for (const auto& c : cases) {
    CQuantizer quantizer(7);
    ASSERT_TRUE(quantizer.ProcessImage(c.dib.data())) << c.name;
    std::vector<RGBQUAD> palette = Palette(quantizer);
    ASSERT_EQ(palette.size(), c.colours.size()) << c.name;
    for (const RGBQUAD& want : c.colours) {
      bool found = false;
      for (const RGBQUAD& got : palette) found = found || std::memcmp(&got, &want, 4) == 0;
      EXPECT_TRUE(found) << c.name;
    }
  }
}

TEST(Quantizer, RefusesOtherLayouts) {
  for (WORD bits : {0, 2, 16, 32}) {
    std::vector<BYTE> dib = IndexedDib(8, 1, {RGBQUAD{1, 2, 3, 0}}, 4, std::vector<BYTE>(64, 0));
    reinterpret_cast<BITMAPINFOHEADER*>(dib.data())->biBitCount = bits;
    CQuantizer quantizer(7);
    EXPECT_FALSE(quantizer.ProcessImage(dib.data())) << bits;
    EXPECT_EQ(quantizer.GetLeafCount(), 0u);
  }
  CQuantizer quantizer(7);
  EXPECT_FALSE(quantizer.ProcessImage(nullptr));
}

}  // namespace
