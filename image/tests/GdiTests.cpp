// GDI interop under a real GDI (Windows or Wine): bitmaps in and out, and
// painting into a DIB section whose pixels are then checked one by one.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "image/DibImage.h"

namespace {

struct Bgr {
  BYTE b, g, r;
  bool operator==(const Bgr& o) const { return b == o.b && g == o.g && r == o.r; }
};
std::ostream& operator<<(std::ostream& out, const Bgr& c) {
  return out << "(r" << int(c.r) << " g" << int(c.g) << " b" << int(c.b) << ")";
}

// A 24-bit DIB section selected into a memory DC: the canvas Draw paints on.
class Canvas {
 public:
  Canvas(int width, int height, Bgr fill) : m_width(width), m_height(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    m_dc = CreateCompatibleDC(nullptr);
    m_bitmap = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_bits), nullptr, 0);
    m_old = SelectObject(m_dc, m_bitmap);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) Set(x, y, fill);
  }
  ~Canvas() {
    SelectObject(m_dc, m_old);
    DeleteObject(m_bitmap);
    DeleteDC(m_dc);
  }
  HDC dc() const { return m_dc; }
  bool ok() const { return m_dc && m_bitmap && m_bits; }
  // y counted from the top, as on screen.
  Bgr At(int x, int y) const {
    GdiFlush();
    const BYTE* p = Pixel(x, y);
    return Bgr{p[0], p[1], p[2]};
  }
  void Set(int x, int y, Bgr c) {
    BYTE* p = Pixel(x, y);
    p[0] = c.b, p[1] = c.g, p[2] = c.r;
  }

 private:
  BYTE* Pixel(int x, int y) const {
    const size_t stride = ((size_t(m_width) * 24 + 31) / 32) * 4;
    return m_bits + size_t(m_height - 1 - y) * stride + 3 * size_t(x);
  }
  int m_width, m_height;
  HDC m_dc = nullptr;
  HBITMAP m_bitmap = nullptr;
  HGDIOBJ m_old = nullptr;
  BYTE* m_bits = nullptr;
};

// Source colour of image pixel (x, y), y from the top.
Bgr ImageColour(const CDibImage& image, int x, int y) {
  const RGBQUAD c = image.GetPixelColor(x, int(image.GetHeight()) - 1 - y, false);
  return Bgr{c.rgbBlue, c.rgbGreen, c.rgbRed};
}

Bgr Blend(Bgr under, Bgr over, int a) {
  auto mix = [a](int u, int o) { return BYTE((u * (255 - a) + o * a) >> 8); };
  return Bgr{mix(under.b, over.b), mix(under.g, over.g), mix(under.r, over.r)};
}

void FillPattern(CDibImage& image) {
  for (DWORD i = 0; i < image.GetNumColors(); ++i)
    image.SetPaletteColor(i, BYTE(i * 41), BYTE(255 - i * 3), BYTE(i * 13 + 7), 0);
  for (int32_t y = 0; y < int32_t(image.GetHeight()); ++y)
    for (int32_t x = 0; x < int32_t(image.GetWidth()); ++x) {
      if (image.IsIndexed()) image.SetPixelIndex(x, y, BYTE((x * 3 + y * 5) % image.GetNumColors()));
      else image.SetPixelColor(x, y, RGBQUAD{BYTE(x * 30 + 5), BYTE(y * 40 + 9), BYTE(x * y + 3), 0});
    }
}

TEST(Gdi, BitmapsRoundTripAtEveryDepth) {
  HDC screen = GetDC(nullptr);
  ASSERT_NE(screen, nullptr);
  for (DWORD bits : {1u, 4u, 8u, 24u}) {
    for (HDC dc : {HDC(nullptr), screen}) {
      CDibImage image(19, 7, bits);
      FillPattern(image);
      HBITMAP bitmap = image.MakeBitmap(dc);
      ASSERT_NE(bitmap, nullptr) << bits;
      DIBSECTION section{};
      ASSERT_EQ(GetObject(bitmap, sizeof section, &section), int(sizeof section));
      EXPECT_EQ(std::memcmp(section.dsBm.bmBits, image.GetBits(0), image.GetEffWidth() * image.GetHeight()), 0);

      CDibImage back;
      ASSERT_TRUE(back.CreateFromHBITMAP(bitmap)) << back.GetLastError();
      DeleteObject(bitmap);
      EXPECT_EQ(back.GetBpp(), bits);
      EXPECT_EQ(back.GetNumColors(), image.GetNumColors());
      // The block's own header still matches the header copy after GDI had it.
      const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(back.GetDIB());
      EXPECT_EQ(header->biClrUsed, back.GetNumColors()) << bits;
      EXPECT_EQ(header->biBitCount, bits);
      for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 19; ++x) ASSERT_EQ(ImageColour(back, x, y), ImageColour(image, x, y)) << bits;
    }
  }
  ReleaseDC(nullptr, screen);
}

TEST(Gdi, DeepBitmapsBecomeTrueColour) {
  for (WORD bits : {16, 32}) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 5;
    info.bmiHeader.biHeight = 3;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = bits;
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    const size_t stride = ((5 * size_t(bits) + 31) / 32) * 4;
    for (int row = 0; row < 3; ++row)
      for (int x = 0; x < 5; ++x) {
        BYTE* p = static_cast<BYTE*>(pixels) + row * stride + x * (bits / 8);
        if (bits == 32) {
          p[0] = BYTE(x * 50), p[1] = BYTE(row * 100), p[2] = 255, p[3] = 0;
        } else {  // 5-5-5: full-intensity red and blue steps of 8
          const WORD w = WORD((31 << 10) | ((row * 8) << 5) | (x * 4));
          std::memcpy(p, &w, 2);
        }
      }
    CDibImage image;
    ASSERT_TRUE(image.CreateFromHBITMAP(bitmap)) << image.GetLastError();
    DeleteObject(bitmap);
    EXPECT_EQ(image.GetBpp(), 24);
    EXPECT_EQ(image.GetWidth(), 5u);
    EXPECT_EQ(image.GetHeight(), 3u);
    for (int row = 0; row < 3; ++row)
      for (int x = 0; x < 5; ++x) {
        const RGBQUAD c = image.GetPixelColor(x, row, false);
        if (bits == 32) {
          EXPECT_EQ(c.rgbBlue, x * 50);
          EXPECT_EQ(c.rgbGreen, row * 100);
          EXPECT_EQ(c.rgbRed, 255);
        } else {
          EXPECT_EQ(c.rgbRed >> 3, 31);
          EXPECT_EQ(c.rgbGreen >> 3, row * 8);
          EXPECT_EQ(c.rgbBlue >> 3, x * 4);
        }
      }
  }
  CDibImage image;
  EXPECT_FALSE(image.CreateFromHBITMAP(nullptr));
}

const Bgr kBackground{10, 100, 200};
const int kCanvasWidth = 16, kCanvasHeight = 12;

// Draws with `draw` onto a pre-filled canvas and compares every pixel with
// `expected` (canvas coordinates, the background as argument).
void CheckDraw(const char* name, const std::function<bool(HDC)>& draw, bool result,
               const std::function<Bgr(int, int, Bgr)>& expected) {
  Canvas canvas(kCanvasWidth, kCanvasHeight, kBackground);
  ASSERT_TRUE(canvas.ok());
  SetStretchBltMode(canvas.dc(), HALFTONE);
  RECT clipBefore;
  GetClipBox(canvas.dc(), &clipBefore);
  EXPECT_EQ(draw(canvas.dc()), result) << name;
  RECT clipAfter;
  GetClipBox(canvas.dc(), &clipAfter);
  EXPECT_TRUE(EqualRect(&clipBefore, &clipAfter)) << name << ": clipping not restored";
  EXPECT_EQ(GetStretchBltMode(canvas.dc()), HALFTONE) << name << ": stretch mode not restored";
  int wrong = 0;
  for (int y = 0; y < kCanvasHeight; ++y)
    for (int x = 0; x < kCanvasWidth; ++x) {
      const Bgr want = expected(x, y, kBackground);
      const Bgr got = canvas.At(x, y);
      if (!(got == want) && wrong++ < 4) ADD_FAILURE() << name << " at " << x << "," << y << ": " << got << " want " << want;
    }
  EXPECT_EQ(wrong, 0) << name;
}

bool Inside(int x, int y, int left, int top, int width, int height) {
  return x >= left && y >= top && x < left + width && y < top + height;
}

TEST(Gdi, DrawPaintsEveryCase) {
  CDibImage truecolour(5, 4, 24);
  FillPattern(truecolour);

  CDibImage alpha(truecolour);
  ASSERT_TRUE(alpha.AlphaCreate());
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) alpha.AlphaSet(x, 3 - y, BYTE(x * 60 + y));  // 0 ... 243, and 255 once below
  alpha.AlphaSet(4, 0, 255);
  auto alphaAt = [&](int x, int y) { return int(alpha.AlphaGet(x, 3 - y)); };

  CDibImage faded(alpha);
  faded.AlphaSetMax(0);

  CDibImage indexed(5, 4, 8);
  FillPattern(indexed);
  indexed.SetTransIndex(indexed.GetPixelIndex(1, 1));
  const BYTE hiddenIndex = indexed.GetPixelIndex(1, 1);

  CDibImage keyed(truecolour);
  const RGBQUAD key = keyed.GetPixelColor(2, 2, false);
  keyed.SetTransIndex(0);  // a true-colour image keys on its transparent colour
  keyed.SetTransColor(key);

  CDibImage palette(5, 4, 4);
  FillPattern(palette);
  for (DWORD i = 0; i < 16; ++i) {
    RGBQUAD entry = palette.GetPaletteColor(i);
    entry.rgbReserved = BYTE(i * 16);
    palette.SetPaletteColor(i, entry);
  }
  // No public setter exists for these two flags of the info record.
  struct Flags : CDibImage {
    using CDibImage::CDibImage;
    void SetAlphaPalette() { m_info.alphaPalette = true; }
    void Disable() { m_info.enabled = false; }
  };
  Flags flagged(palette, true, true, true);
  flagged.SetAlphaPalette();
  Flags off(truecolour, true, true, true);
  off.Disable();

  const int L = 3, T = 2;  // where the image lands
  auto plain = [&](const CDibImage& image) {
    return [&image](int x, int y, Bgr bg) { return Inside(x, y, L, T, 5, 4) ? ImageColour(image, x - L, y - T) : bg; };
  };

  CheckDraw("opaque, own size", [&](HDC dc) { return truecolour.Draw(dc, L, T); }, true, plain(truecolour));
  CheckDraw("opaque, doubled", [&](HDC dc) { return truecolour.Draw(dc, L, T, 10, 8); }, true,
            [&](int x, int y, Bgr bg) { return Inside(x, y, L, T, 10, 8) ? ImageColour(truecolour, (x - L) / 2, (y - T) / 2) : bg; });
  CheckDraw("alpha plane", [&](HDC dc) { return alpha.Draw(dc, L, T); }, true, [&](int x, int y, Bgr bg) {
    if (!Inside(x, y, L, T, 5, 4)) return bg;
    const int a = (256 * alphaAt(x - L, y - T)) >> 8;
    if (a == 0) return bg;
    return a == 255 ? ImageColour(alpha, x - L, y - T) : Blend(bg, ImageColour(alpha, x - L, y - T), a);
  });
  CheckDraw("alpha plane, doubled", [&](HDC dc) { return alpha.Draw(dc, L, T, 10, 8); }, true,
            [&](int x, int y, Bgr bg) {
              if (!Inside(x, y, L, T, 10, 8)) return bg;
              const int sx = (x - L) / 2, sy = (y - T) / 2;
              const int a = alphaAt(sx, sy);
              if (a == 0) return bg;
              return a == 255 ? ImageColour(alpha, sx, sy) : Blend(bg, ImageColour(alpha, sx, sy), a);
            });
  CheckDraw("alpha maximum 0", [&](HDC dc) { return faded.Draw(dc, L, T); }, true, [](int, int, Bgr bg) { return bg; });
  CheckDraw("transparent index", [&](HDC dc) { return indexed.Draw(dc, L, T); }, true, [&](int x, int y, Bgr bg) {
    if (!Inside(x, y, L, T, 5, 4)) return bg;
    return indexed.GetPixelIndex(x - L, 3 - (y - T)) == hiddenIndex ? bg : ImageColour(indexed, x - L, y - T);
  });
  CheckDraw("transparent colour", [&](HDC dc) { return keyed.Draw(dc, L, T); }, true, [&](int x, int y, Bgr bg) {
    if (!Inside(x, y, L, T, 5, 4)) return bg;
    const Bgr c = ImageColour(keyed, x - L, y - T);
    return c == Bgr{key.rgbBlue, key.rgbGreen, key.rgbRed} ? bg : c;
  });
  CheckDraw("alpha palette", [&](HDC dc) { return flagged.Draw(dc, L, T); }, true, [&](int x, int y, Bgr bg) {
    if (!Inside(x, y, L, T, 5, 4)) return bg;
    const RGBQUAD entry = flagged.GetPaletteColor(flagged.GetPixelIndex(x - L, 3 - (y - T)));
    const int a = ((entry.rgbReserved + 1) * 255) >> 8;
    return a == 0 ? bg : Blend(bg, ImageColour(flagged, x - L, y - T), a);
  });
  const RECT outside{12, 0, 16, 2};
  CheckDraw("clip outside the destination", [&](HDC dc) { return alpha.Draw(dc, L, T, -1, -1, &outside); }, true,
            [](int, int, Bgr bg) { return bg; });
  const RECT part{4, 3, 6, 5};
  CheckDraw("clip inside the destination", [&](HDC dc) { return truecolour.Draw(dc, L, T, -1, -1, &part); }, true,
            [&](int x, int y, Bgr bg) { return Inside(x, y, 4, 3, 2, 2) ? ImageColour(truecolour, x - L, y - T) : bg; });
  CheckDraw("partly off the canvas", [&](HDC dc) { return alpha.Draw(dc, 13, -2); }, true, [&](int x, int y, Bgr bg) {
    if (!Inside(x, y, 13, -2, 5, 4)) return bg;
    const int a = alphaAt(x - 13, y + 2);
    if (a == 0) return bg;
    return a == 255 ? ImageColour(alpha, x - 13, y + 2) : Blend(bg, ImageColour(alpha, x - 13, y + 2), a);
  });
  CheckDraw("disabled", [&](HDC dc) { return off.Draw(dc, L, T); }, false, [](int, int, Bgr bg) { return bg; });
  CheckDraw("empty size", [&](HDC dc) { return truecolour.Draw(dc, L, T, 0, 4); }, false, [](int, int, Bgr bg) { return bg; });
  CheckDraw("stretch", [&](HDC dc) { return truecolour.Stretch(dc, L, T, 10, 8); }, true, [&](int x, int y, Bgr bg) {
    return Inside(x, y, L, T, 10, 8) ? ImageColour(truecolour, (x - L) / 2, (y - T) / 2) : bg;
  });
}

TEST(Gdi, SmoothScalingKeepsFlatColours) {
  CDibImage flat(6, 6, 24);
  flat.Clear(0);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) flat.SetPixelColor(x, y, RGBQUAD{40, 80, 120, 0});
  ASSERT_TRUE(flat.AlphaCreate());
  for (const auto& size : {std::make_pair(12, 12), std::make_pair(3, 2), std::make_pair(16, 5)}) {
    CheckDraw("smooth", [&](HDC dc) { return flat.Draw(dc, 0, 0, size.first, size.second, nullptr, true); }, true,
              [&](int x, int y, Bgr bg) { return Inside(x, y, 0, 0, size.first, size.second) ? Bgr{40, 80, 120} : bg; });
  }
}

}  // namespace
