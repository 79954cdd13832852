// Metafiles recorded with GDI in the test and played back by the WMF format
// class: natural sizes, the size limit, unpainted areas and broken headers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/formats/DibImageWMF.h"
#include "image/formats/MetafileHeaders.h"
#include "image/streams/MemoryStream.h"
#include "image/tests/FormatTestSupport.h"

using formattest::Rgba;
using formattest::ScratchDir;
using formattest::ScreenPixel;
using formattest::Widen;
using formattest::WriteFile;

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes PlaceableHeader(int16_t right, int16_t bottom, uint16_t unitsPerInch, uint16_t checksumError = 0) {
  Bytes out;
  Put16(out, kWmfPlaceableKey & 0xFFFF);
  Put16(out, kWmfPlaceableKey >> 16);
  for (uint32_t v : {0u, 0u, 0u, uint32_t(uint16_t(right)), uint32_t(uint16_t(bottom)), uint32_t(unitsPerInch), 0u, 0u})
    Put16(out, v);
  uint16_t sum = 0;
  for (size_t i = 0; i < out.size(); i += 2) sum ^= uint16_t(out[i] | out[i + 1] << 8);
  Put16(out, sum ^ checksumError);
  return out;
}

// A Windows metafile whose window is `width` x `height` units, the left half
// painted red.
Bytes RecordWmf(int width, int height) {
  HDC dc = CreateMetaFileW(nullptr);
  SetWindowOrgEx(dc, 0, 0, nullptr);
  SetWindowExtEx(dc, width, height, nullptr);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  HGDIOBJ oldBrush = SelectObject(dc, red);
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
  Rectangle(dc, 0, 0, width / 2 + 1, height + 1);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  HMETAFILE metafile = CloseMetaFile(dc);
  DeleteObject(red);
  Bytes bits(GetMetaFileBitsEx(metafile, 0, nullptr));
  GetMetaFileBitsEx(metafile, UINT(bits.size()), bits.data());
  DeleteMetaFile(metafile);
  return bits;
}

// An enhanced metafile framing `width` x `height` screen pixels, the left
// half painted blue, its bounds set to exactly that size.
Bytes RecordEmf(int width, int height) {
  HDC screen = GetDC(nullptr);
  const RECT frame{0, 0, MulDiv(width, GetDeviceCaps(screen, HORZSIZE) * 100, GetDeviceCaps(screen, HORZRES)),
                   MulDiv(height, GetDeviceCaps(screen, VERTSIZE) * 100, GetDeviceCaps(screen, VERTRES))};
  HDC dc = CreateEnhMetaFileW(screen, nullptr, &frame, nullptr);
  ReleaseDC(nullptr, screen);
  HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
  HGDIOBJ oldBrush = SelectObject(dc, blue);
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
  Rectangle(dc, 0, 0, width / 2 + 1, height + 1);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  HENHMETAFILE metafile = CloseEnhMetaFile(dc);
  DeleteObject(blue);
  Bytes bits(GetEnhMetaFileBits(metafile, 0, nullptr));
  GetEnhMetaFileBits(metafile, UINT(bits.size()), bits.data());
  DeleteEnhMetaFile(metafile);
  const LONG bounds[4] = {0, 0, width, height};
  std::memcpy(&bits[8], bounds, sizeof bounds);
  return bits;
}

bool DecodeBytes(CDibImage& image, Bytes bytes, DWORD id) {
  CMemoryStream stream(bytes.data(), uint32_t(bytes.size()));
  return image.Decode(&stream, id);
}

Rgba WindowColour() {
  const COLORREF c = GetSysColor(COLOR_WINDOW);
  return Rgba{GetRValue(c), GetGValue(c), GetBValue(c), 255};
}

int ScreenDpi(int index) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, index);
  ReleaseDC(nullptr, screen);
  return dpi;
}

TEST(MetafileGdi, PlaceableWmfAtScreenResolution) {
  const Bytes file = PlaceableHeader(1440, 720, 1440) + RecordWmf(1440, 720);
  const int32_t width = (1440 * ScreenDpi(LOGPIXELSX) + 720) / 1440;
  const int32_t height = (720 * ScreenDpi(LOGPIXELSY) + 720) / 1440;
  CDibImage image;
  ASSERT_TRUE(DecodeBytes(image, file, CDibImage::kFormatWmf)) << image.GetLastError();
  EXPECT_EQ(image.GetType(), CDibImage::kFormatWmf);
  ASSERT_EQ(int32_t(image.GetWidth()), width);
  ASSERT_EQ(int32_t(image.GetHeight()), height);
  if (ScreenDpi(LOGPIXELSX) == 96) {
    EXPECT_EQ(image.GetWidth(), 96u);
  }
  EXPECT_EQ(ScreenPixel(image, width / 4, height / 2), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(ScreenPixel(image, width * 3 / 4, height / 2), WindowColour());

  // Found by detection, from a file.
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  ASSERT_TRUE(WriteFile(dir.File("drawing.wmf"), file));
  CDibImage loaded;
  ASSERT_TRUE(loaded.Load(Widen(dir.File("drawing.wmf")).c_str(), CDibImage::kFormatUnknown)) << loaded.GetLastError();
  EXPECT_EQ(loaded.GetType(), CDibImage::kFormatWmf);
  EXPECT_EQ(int32_t(loaded.GetWidth()), width);
}

TEST(MetafileGdi, EnhancedMetafileIsLimitedTo4000Pixels) {
  const Bytes file = RecordEmf(8000, 2000);
  CDibImage query;
  query.SetEscape(-1);
  ASSERT_TRUE(DecodeBytes(query, file, CDibImage::kFormatWmf)) << query.GetLastError();
  EXPECT_EQ(query.GetWidth(), 8000u);
  EXPECT_EQ(query.GetHeight(), 2000u);

  CDibImage image;
  ASSERT_TRUE(DecodeBytes(image, file, CDibImage::kFormatWmf)) << image.GetLastError();
  ASSERT_EQ(image.GetWidth(), 4000u);
  ASSERT_EQ(image.GetHeight(), 1000u);
  EXPECT_EQ(ScreenPixel(image, 500, 500), (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(ScreenPixel(image, 3500, 500), WindowColour());
}

TEST(MetafileGdi, BrokenOrBareMetafilesAreCorrupted) {
  const struct {
    const char* name;
    Bytes file;
  } cases[] = {
      {"bad checksum", PlaceableHeader(1440, 720, 1440, 0x0101) + RecordWmf(1440, 720)},
      {"no placeable header", RecordWmf(1440, 720)},
      {"EMF cut in its header", [] { Bytes b = RecordEmf(100, 100); b.resize(60); return b; }()},
  };
  for (const auto& c : cases) {
    CDibImage image;
    EXPECT_FALSE(DecodeBytes(image, c.file, CDibImage::kFormatWmf)) << c.name;
    EXPECT_STREQ(image.GetLastError(), "corrupted WMF") << c.name;
  }
}

}  // namespace
