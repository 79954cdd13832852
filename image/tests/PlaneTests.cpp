#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/DibImage.h"
#include "image/tests/ImageTestSupport.h"

using imagetest::InspectableImage;
using imagetest::Quad;
using imagetest::QuadText;
using imagetest::SameQuad;

namespace {

TEST(AlphaPlane, CreateSetGetAndCopy) {
  InspectableImage image(7, 3, 24, 0);
  EXPECT_FALSE(image.AlphaIsValid());
  EXPECT_EQ(image.AlphaGet(0, 0), 0);
  image.AlphaSet(1, 1, 9);  // no plane: ignored
  ASSERT_TRUE(image.AlphaCreate());
  EXPECT_EQ(image.AlphaGet(6, 2), 255);
  image.AlphaSet(6, 2, 17);
  image.AlphaSet(7, 2, 1);   // outside
  image.AlphaSet(-1, 0, 1);  // outside
  EXPECT_EQ(image.AlphaGet(6, 2), 17);
  EXPECT_EQ(image.AlphaGet(7, 2), 0);
  EXPECT_EQ(image.AlphaGetPointer(6, 2), image.AlphaGetPointer() + 20);
  EXPECT_EQ(image.AlphaGetPointer(0, 3), nullptr);
  ASSERT_TRUE(image.AlphaCreate());  // keeps the plane
  EXPECT_EQ(image.AlphaGet(6, 2), 17);
  image.AlphaInvert();
  EXPECT_EQ(image.AlphaGet(6, 2), 238);
  EXPECT_EQ(image.BlindAlphaGet(0, 0), 0);

  InspectableImage other(7, 3, 8, 0);
  EXPECT_FALSE(other.AlphaCopy(CDibImage(7, 3, 24, 0)));  // source without plane
  image.AlphaSetMax(99);
  EXPECT_TRUE(other.AlphaCopy(image));
  EXPECT_EQ(other.AlphaGet(6, 2), 238);
  EXPECT_EQ(other.Info().alphaMax, 99);
  InspectableImage wrongSize(7, 4, 24, 0);
  EXPECT_FALSE(wrongSize.AlphaCopy(image));
  EXPECT_FALSE(wrongSize.AlphaIsValid());

  // From a grey image: its indices become the plane.
  CDibImage grey(7, 3, 8, 0);
  grey.SetGrayPalette();
  grey.SetPixelIndex(2, 1, 123);
  CDibImage target(7, 3, 24, 0);
  EXPECT_TRUE(target.AlphaSet(grey));
  EXPECT_EQ(target.AlphaGet(2, 1), 123);
  EXPECT_EQ(target.AlphaGet(3, 1), 0);
  grey.SetPaletteColor(5, 0, 0, 0);
  EXPECT_FALSE(target.AlphaSet(grey));  // no longer grey
  CDibImage smallGrey(6, 3, 8, 0);
  smallGrey.SetGrayPalette();
  EXPECT_FALSE(target.AlphaSet(smallGrey));

  CDibImage empty;
  EXPECT_FALSE(empty.AlphaCreate());
  image.AlphaDelete();
  EXPECT_FALSE(image.AlphaIsValid());
}

TEST(AlphaPlane, FlipAndMirrorMoveTheBytes) {
  CDibImage image(3, 2, 8, 0);
  EXPECT_FALSE(image.AlphaFlip());
  EXPECT_FALSE(image.AlphaMirror());
  image.AlphaCreate();
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) image.AlphaSet(x, y, static_cast<BYTE>(10 * y + x));
  EXPECT_TRUE(image.AlphaFlip());
  EXPECT_EQ(image.AlphaGet(2, 0), 12);
  EXPECT_EQ(image.AlphaGet(0, 1), 0);
  EXPECT_TRUE(image.AlphaMirror());
  EXPECT_EQ(image.AlphaGet(0, 0), 12);
  EXPECT_EQ(image.AlphaGet(2, 1), 0);
}

TEST(AlphaPlane, PaletteAlpha) {
  CDibImage image(2, 2, 8, 0);
  EXPECT_FALSE(image.AlphaPaletteIsValid());
  image.SetPaletteColor(200, 1, 2, 3, 1);
  EXPECT_TRUE(image.AlphaPaletteIsValid());
  EXPECT_FALSE(CDibImage(2, 2, 24, 0).AlphaPaletteIsValid());
}

TEST(AlphaPlane, StripBlendsOntoTheBackground) {
  struct Case {
    const char* name;
    DWORD bpp;
    int alpha;         // plane value, -1 none
    int alphaMax;
    int paletteAlpha;  // reserved byte of the pixel's entry
    RGBQUAD pixel, background, expected;
  } const cases[] = {
      // (background * (256 - a) + pixel * a) >> 8
      {"opaque white on black", 24, 255, 255, 0, Quad(255, 255, 255), Quad(0, 0, 0), Quad(254, 254, 254)},
      {"clear on grey", 24, 0, 255, 0, Quad(255, 0, 0), Quad(100, 100, 100), Quad(100, 100, 100)},
      {"half", 24, 128, 255, 0, Quad(200, 0, 100), Quad(0, 200, 100), Quad(100, 100, 100)},
      {"faded by max", 24, 255, 128, 0, Quad(200, 0, 0), Quad(0, 0, 0), Quad(100, 0, 0)},
      // a = 200 * 255 / 255 = 200, then palette alpha 51: 51 * 200 / 255 = 40
      {"palette and plane", 8, 200, 255, 51, Quad(250, 250, 250), Quad(0, 0, 0), Quad(39, 39, 39)},
      // no plane: a = max = 255, then 255 * 255 / 255
      {"palette only", 8, -1, 255, 255, Quad(16, 32, 64), Quad(0, 0, 0), Quad(15, 31, 63)},
      {"indexed plane", 4, 128, 255, 0, Quad(200, 200, 200), Quad(0, 0, 0), Quad(100, 100, 100)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    InspectableImage image(3, 2, c.bpp, 0);
    if (c.bpp < 24) {
      image.SetPaletteColor(1, c.pixel);
      image.GetPalette()[1].rgbReserved = static_cast<BYTE>(c.paletteAlpha);
      for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) image.SetPixelIndex(x, y, 1);
    } else {
      for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) image.SetPixelColor(x, y, c.pixel);
    }
    if (c.alpha >= 0) {
      image.AlphaCreate();
      image.AlphaSet(static_cast<BYTE>(c.alpha));
    }
    image.AlphaSetMax(static_cast<BYTE>(c.alphaMax));
    image.SetTransColor(c.background);
    ASSERT_TRUE(image.AlphaStrip());
    EXPECT_EQ(image.GetBpp(), 24);
    EXPECT_FALSE(image.AlphaIsValid());
    EXPECT_TRUE(SameQuad(image.GetPixelColor(2, 1, false), c.expected))
        << QuadText(image.GetPixelColor(2, 1, false));
  }
  // Nothing to strip: an indexed image without alpha stays indexed.
  CDibImage plain(2, 2, 8, 0);
  EXPECT_TRUE(plain.AlphaStrip());
  EXPECT_EQ(plain.GetBpp(), 8);
}

TEST(SelectionPlane, BoxAndMembership) {
  InspectableImage image(100, 50, 24, 0);
  EXPECT_TRUE(image.SelectionIsInside(5, 5));
  EXPECT_TRUE(image.SelectionIsInside(-5, 500));  // no plane: everything is selected
  ASSERT_TRUE(image.SelectionCreate());
  EXPECT_FALSE(image.SelectionIsInside(5, 5));
  image.SelectionSet(5, 5, 1);
  EXPECT_TRUE(image.SelectionIsInside(5, 5));
  EXPECT_FALSE(image.SelectionIsInside(-1, 5));
  EXPECT_FALSE(image.SelectionIsInside(100, 49));
  EXPECT_FALSE(image.SelectionIsInside(5, 50));
  EXPECT_EQ(image.SelectionGetPointer(99, 49), image.SelectionGetPointer() + 49 * 100 + 99);
  EXPECT_EQ(image.SelectionGetPointer(100, 0), nullptr);
  EXPECT_EQ(image.BlindSelectionGet(5, 5), 1);
  image.Box() = RECT{2, 40, 30, 10};
  EXPECT_TRUE(image.SelectionFlip());
  EXPECT_EQ(image.Box().top, 40);  // 50 - 10
  EXPECT_EQ(image.Box().bottom, 10);
  EXPECT_TRUE(image.SelectionIsInside(5, 44));
  EXPECT_TRUE(image.SelectionMirror());
  EXPECT_EQ(image.Box().left, 70);
  EXPECT_EQ(image.Box().right, 98);
  EXPECT_TRUE(image.SelectionIsInside(94, 44));

  InspectableImage copy(100, 50, 8, 0);
  EXPECT_TRUE(copy.SelectionCopy(image));
  EXPECT_TRUE(copy.SelectionIsInside(94, 44));
  EXPECT_EQ(copy.Box().left, 70);
  EXPECT_FALSE(InspectableImage(100, 51, 8, 0).SelectionCopy(image));

  EXPECT_TRUE(image.SelectionDelete());
  EXPECT_FALSE(image.SelectionIsValid());
  EXPECT_EQ(image.Box().left, 100);
  EXPECT_EQ(image.Box().top, 0);
  EXPECT_EQ(image.Box().right, 0);
  EXPECT_EQ(image.Box().bottom, 50);
  EXPECT_FALSE(image.SelectionFlip());
  EXPECT_FALSE(image.SelectionMirror());
}

TEST(Planes, GhostsNeverAllocateOrFreeTheSourcesPlanes) {
  CDibImage source(4, 4, 24, 0);
  source.AlphaCreate();
  source.SelectionCreate();
  CDibImage ghost(0);
  ghost.Ghost(source);
  ghost.AlphaDelete();
  EXPECT_TRUE(ghost.AlphaIsValid());
  EXPECT_FALSE(ghost.SelectionDelete());
  EXPECT_FALSE(ghost.SelectionCreate());
  EXPECT_FALSE(ghost.AlphaMirror());
  EXPECT_FALSE(ghost.AlphaStrip());
  ghost.AlphaSet(3, 3, 7);  // writes go through to the shared plane
  EXPECT_EQ(source.AlphaGet(3, 3), 7);

  CDibImage bare(4, 4, 24, 0);
  CDibImage bareGhost(0);
  bareGhost.Ghost(bare);
  EXPECT_FALSE(bareGhost.AlphaCreate());
  EXPECT_FALSE(bareGhost.AlphaCopy(source));
}

}  // namespace
