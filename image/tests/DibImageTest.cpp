#include "image/DibImage.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Reaches the members no public operation fills yet (frames, layers, planes).
class TestImage : public CDibImage {
 public:
  using CDibImage::CDibImage;
  CDibImageInfo& Info() { return m_info; }
  const BITMAPINFOHEADER& Header() const { return m_header; }
  BITMAPINFOHEADER& MutableHeader() { return m_header; }
  BYTE* Selection() const { return m_selection; }
  BYTE* Alpha() const { return m_alpha; }
  CDibImage** Frames() const { return m_frames; }
  CDibImage** Layers() const { return m_layers; }

  void AddFrames(int count) {
    m_frames = static_cast<CDibImage**>(std::calloc(count, sizeof(CDibImage*)));
    for (int i = 0; i < count; ++i)
      if (i != 1) m_frames[i] = new CDibImage(4, 4, 8);  // one null entry on purpose
    m_info.frameCount = count;
  }
  void AddLayers(int count) {
    m_layers = static_cast<CDibImage**>(std::calloc(count, sizeof(CDibImage*)));
    for (int i = 0; i < count; ++i) m_layers[i] = new CDibImage(2, 2, 24);
    m_info.layerCount = count;
  }
  void AddPlanes(BYTE selection, BYTE alpha) {
    const size_t bytes = static_cast<size_t>(GetWidth()) * GetHeight();
    m_selection = static_cast<BYTE*>(std::malloc(bytes));
    std::memset(m_selection, selection, bytes);
    m_alpha = static_cast<BYTE*>(std::malloc(bytes));
    std::memset(m_alpha, alpha, bytes);
  }
};

bool AllBytesAre(const BYTE* data, size_t length, BYTE value) {
  for (size_t i = 0; i < length; ++i)
    if (data[i] != value) return false;
  return true;
}

const char kSizeMessage[] = "CDibImage::Create : width and height must be greater than zero";
const char kMemoryMessage[] = "DIBIMAGE_MAX_MEMORY exceeded";

TEST(DibImage, CreateRoundsDepthAndEnforcesLimits) {
  struct Case {
    int32_t width, height;
    DWORD bpp;
    const char* error;  // null: success
    WORD bits = 0;
    DWORD colours = 0, stride = 0;
  };
  const Case cases[] = {
      {10, 10, 0, nullptr, 1, 2, 4},
      {33, 3, 1, nullptr, 1, 2, 8},
      {10, 10, 2, nullptr, 4, 16, 8},
      {10, 10, 3, nullptr, 4, 16, 8},
      {10, 10, 5, nullptr, 8, 256, 12},
      {10, 10, 16, nullptr, 24, 0, 32},
      {10, 10, 32, nullptr, 24, 0, 32},
      {1, 1, 24, nullptr, 24, 0, 4},
      {16384, 16384, 8, nullptr, 8, 256, 16384},  // exactly at the limit
      {0, 10, 24, kSizeMessage},
      {10, 0, 24, kSizeMessage},
      {-1, 10, 8, kSizeMessage},
      {10, -5, 8, kSizeMessage},
      {INT32_MIN, INT32_MIN, 8, kSizeMessage},
      {20000, 14000, 8, kMemoryMessage},
      {20000, 20000, 24, kMemoryMessage},
      {65536, 65536, 8, kMemoryMessage},   // bit count wraps to 0 in 32 bits
      {65536, 65536, 24, kMemoryMessage},
      {16384, 16385, 8, kMemoryMessage},
      {1, INT32_MAX, 1, kMemoryMessage},   // 4 padded bytes a row, 8 GB in all
      {INT32_MAX, INT32_MAX, 24, kMemoryMessage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + "x" + std::to_string(c.bpp));
    TestImage image(3);
    image.Create(8, 8, 24, 3);  // a failed Create must leave the image empty
    BYTE* dib = image.Create(c.width, c.height, c.bpp, 4);
    if (c.error) {
      EXPECT_EQ(dib, nullptr);
      EXPECT_FALSE(image.IsValid());
      EXPECT_EQ(image.GetBits(), nullptr);
      EXPECT_STREQ(image.GetLastError(), c.error);
      continue;
    }
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(dib, image.GetDIB());
    EXPECT_EQ(image.GetBpp(), c.bits);
    EXPECT_EQ(image.GetEffWidth(), c.stride);
    EXPECT_EQ(image.GetType(), 4u);
    EXPECT_EQ(image.GetSize(), 40 + c.colours * 4 + c.stride * static_cast<DWORD>(c.height));
    EXPECT_EQ(image.GetBits(), dib + 40 + c.colours * 4);

    BITMAPINFOHEADER block;
    std::memcpy(&block, dib, sizeof block);
    EXPECT_EQ(std::memcmp(&block, &image.Header(), sizeof block), 0);
    EXPECT_EQ(block.biSize, 40u);
    EXPECT_EQ(block.biWidth, c.width);
    EXPECT_EQ(block.biHeight, c.height);
    EXPECT_EQ(block.biPlanes, 1);
    EXPECT_EQ(block.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(block.biClrUsed, c.colours);
    EXPECT_EQ(block.biXPelsPerMeter, 3780);
    // Palette and rows start out black.
    if (c.height < 100) {
      EXPECT_TRUE(AllBytesAre(dib + 40, image.GetSize() - 40, 0));
    }
  }
}

TEST(DibImage, CreateZeroesReusedRows) {
  CDibImage image(33, 7, 8, 1);
  std::memset(image.GetDIB() + 40, 0xEE, image.GetSize() - 40);
  ASSERT_NE(image.Create(33, 7, 8, 1), nullptr);
  EXPECT_TRUE(AllBytesAre(image.GetDIB() + 40, image.GetSize() - 40, 0));
}

TEST(DibImage, CreateDropsImportantCountLargerThanNewPalette) {
  TestImage image(0);
  image.Create(4, 4, 8, 0);
  image.MutableHeader().biClrImportant = 200;
  image.Create(4, 4, 1, 0);
  EXPECT_EQ(image.Header().biClrImportant, 0u);
}

TEST(DibImage, StartupDefaults) {
  TestImage image(6);
  const CDibImageInfo& info = image.Info();
  EXPECT_FALSE(image.IsValid());
  EXPECT_EQ(image.GetType(), 6u);
  EXPECT_EQ(info.transIndex, -1);
  EXPECT_FLOAT_EQ(info.jpegQuality, 90.0f);
  EXPECT_EQ(image.GetXDPI(), 96);
  EXPECT_EQ(image.GetYDPI(), 96);
  EXPECT_EQ(image.Header().biXPelsPerMeter, 3780);
  EXPECT_EQ(image.Header().biYPelsPerMeter, 3780);
  EXPECT_EQ(info.alphaMax, 255);
  EXPECT_TRUE(info.enabled);
  EXPECT_TRUE(info.littleEndianHost);
  EXPECT_FALSE(info.nearestValid);
  EXPECT_EQ(info.frameCount, 0);
  EXPECT_STREQ(image.GetLastError(), "");
  for (DWORD option : info.codecOptions) EXPECT_EQ(option, 0u);
}

TEST(DibImage, ResolutionSetsPixelsPerMetreInBothHeaders) {
  struct Case {
    int32_t dpi, stored;
    LONG ppm;
  } const cases[] = {{0, 96, 3780}, {-7, 96, 3780}, {72, 72, 2835}, {300, 300, 11811},
                     {1, 1, 39}, {INT32_MAX, INT32_MAX, INT32_MAX}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dpi);
    TestImage image(0);
    image.Create(2, 2, 24, 0);
    image.SetXDPI(c.dpi);
    image.SetYDPI(c.dpi);
    BITMAPINFOHEADER block;
    std::memcpy(&block, image.GetDIB(), sizeof block);
    EXPECT_EQ(image.GetXDPI(), c.stored);
    EXPECT_EQ(image.GetYDPI(), c.stored);
    EXPECT_EQ(image.Header().biXPelsPerMeter, c.ppm);
    EXPECT_EQ(block.biXPelsPerMeter, c.ppm);
    EXPECT_EQ(block.biYPelsPerMeter, c.ppm);
  }
}

TEST(DibImage, ClearFillsRowsByDepth) {
  struct Case {
    DWORD bpp;
    BYTE value, expected;
  } const cases[] = {{1, 1, 0xFF}, {1, 0x80, 0xFF}, {1, 0, 0}, {4, 0x3A, 0xAA}, {4, 0xF0, 0x00},
                     {4, 0x0F, 0xFF}, {8, 0x3A, 0x3A}, {24, 0x7F, 0x7F}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.bpp) + "/" + std::to_string(c.value));
    CDibImage image(13, 5, c.bpp, 0);
    image.Clear(c.value);
    const size_t palette = image.GetBits() - image.GetDIB() - 40;
    EXPECT_TRUE(AllBytesAre(image.GetBits(), image.GetEffWidth() * image.GetHeight(), c.expected));
    EXPECT_TRUE(AllBytesAre(image.GetDIB() + 40, palette, 0));
  }
  CDibImage empty;
  empty.Clear(5);  // nothing to fill, nothing to crash
  EXPECT_FALSE(empty.IsValid());
}

TEST(DibImage, GetBitsAndIsInside) {
  CDibImage image(5, 3, 24, 0);
  BYTE* row0 = image.GetBits(0);
  ASSERT_NE(row0, nullptr);
  EXPECT_EQ(image.GetBits(), row0);
  EXPECT_EQ(image.GetBits(1), row0 + 16);
  EXPECT_EQ(image.GetBits(2), row0 + 32);
  EXPECT_EQ(image.GetBits(3), nullptr);
  EXPECT_EQ(image.GetBits(0xFFFFFFFFu), nullptr);
  EXPECT_EQ(CDibImage().GetBits(0), nullptr);

  struct Point {
    int32_t x, y;
    bool inside;
  } const points[] = {{0, 0, true}, {4, 2, true}, {5, 0, false}, {0, 3, false}, {-1, 0, false},
                      {0, -1, false}, {INT32_MIN, INT32_MAX, false}};
  for (const auto& p : points) EXPECT_EQ(image.IsInside(p.x, p.y), p.inside) << p.x << "," << p.y;
}

TEST(DibImage, DestroyKeepsSettingsAndHeader) {
  TestImage image(1);
  image.Create(6, 4, 8, 1);
  image.AddPlanes(1, 255);
  image.AddLayers(2);
  image.Info().escape = -1;
  image.Info().codecOptions[3] = 7;
  EXPECT_TRUE(image.Destroy());
  EXPECT_FALSE(image.IsValid());
  EXPECT_EQ(image.Selection(), nullptr);
  EXPECT_EQ(image.Alpha(), nullptr);
  EXPECT_EQ(image.Layers(), nullptr);
  EXPECT_EQ(image.Info().layerCount, 0);
  EXPECT_EQ(image.Info().escape, -1);
  EXPECT_EQ(image.Info().codecOptions[3], 7u);
  EXPECT_EQ(image.GetWidth(), 6u);
  EXPECT_TRUE(image.Destroy());  // twice is harmless
}

TEST(DibImage, CopyDuplicatesPixelsPlanesAndSettingsButNotFrames) {
  TestImage source(2);
  source.Create(7, 5, 8, 2);
  for (DWORD i = 0; i < source.GetSize() - 40; ++i) source.GetDIB()[40 + i] = static_cast<BYTE>(i * 31);
  source.AddPlanes(9, 128);
  source.AddFrames(3);
  source.AddLayers(1);
  source.Info().transIndex = 5;
  source.Info().codecOptions[2] = 1;
  source.SetXDPI(300);

  struct Case {
    bool pixels, selection, alpha;
  } const cases[] = {{true, true, true}, {false, false, false}, {true, false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.pixels) + std::to_string(c.selection) + std::to_string(c.alpha));
    TestImage copy(0);
    copy.AddFrames(2);  // its own frames stay its own
    ASSERT_TRUE(copy.Copy(source, c.pixels, c.selection, c.alpha));
    ASSERT_TRUE(copy.IsValid());
    EXPECT_NE(copy.GetDIB(), source.GetDIB());
    EXPECT_EQ(copy.GetBits(), copy.GetDIB() + 40 + 256 * 4);
    EXPECT_EQ(copy.GetType(), 2u);
    EXPECT_EQ(copy.Info().transIndex, 5);
    EXPECT_EQ(copy.Info().codecOptions[2], 1u);
    EXPECT_EQ(copy.GetXDPI(), 300);
    EXPECT_EQ(copy.Header().biXPelsPerMeter, source.Header().biXPelsPerMeter);
    EXPECT_EQ(copy.Info().ghostSource, nullptr);
    EXPECT_EQ(copy.Info().frameCount, 2);
    EXPECT_EQ(copy.Info().layerCount, 0);
    EXPECT_EQ(copy.Layers(), nullptr);
    // The palette always comes along; rows only when asked.
    EXPECT_EQ(std::memcmp(copy.GetDIB() + 40, source.GetDIB() + 40, 1024), 0);
    if (c.pixels) {
      EXPECT_EQ(std::memcmp(copy.GetDIB(), source.GetDIB(), source.GetSize()), 0);
    } else {
      EXPECT_TRUE(AllBytesAre(copy.GetBits(), copy.GetEffWidth() * copy.GetHeight(), 0));
    }
    EXPECT_EQ(copy.Selection() != nullptr, c.selection);
    EXPECT_EQ(copy.Alpha() != nullptr, c.alpha);
    if (c.alpha) {
      EXPECT_NE(copy.Alpha(), source.Alpha());
      EXPECT_TRUE(AllBytesAre(copy.Alpha(), 35, 128));
    }
  }

  TestImage viaConstructor(source);
  EXPECT_EQ(std::memcmp(viaConstructor.GetDIB(), source.GetDIB(), source.GetSize()), 0);
  EXPECT_TRUE(viaConstructor.Copy(viaConstructor));  // self-copy keeps everything
  EXPECT_TRUE(viaConstructor.IsValid());
}

TEST(DibImage, CopyOfEmptyImageFails) {
  CDibImage empty(3), copy(0);
  EXPECT_FALSE(copy.Copy(empty));
  EXPECT_FALSE(copy.IsValid());
  EXPECT_STREQ(copy.GetLastError(), kSizeMessage);
}

TEST(DibImage, GhostsOwnNothing) {
  TestImage source(1);
  source.Create(4, 4, 24, 1);
  source.AddPlanes(1, 2);
  source.AddFrames(2);

  {
    TestImage ghost(0);
    ghost.Create(9, 9, 8, 0);  // released when it becomes a view
    ghost.AddFrames(2);
    ghost.Ghost(source);
    EXPECT_EQ(ghost.GetDIB(), source.GetDIB());
    EXPECT_EQ(ghost.Alpha(), source.Alpha());
    EXPECT_EQ(ghost.Frames(), source.Frames());
    EXPECT_EQ(ghost.Info().ghostSource, &source);
    EXPECT_FALSE(ghost.Destroy());
    EXPECT_FALSE(ghost.DestroyFrames());
    EXPECT_EQ(ghost.Create(2, 2, 8, 0), nullptr);
    EXPECT_TRUE(ghost.IsValid());

    // A copy of a ghost is another ghost of it; a ghost cannot become a copy.
    TestImage second(source);
    second.Ghost(source);
    TestImage third(ghost);
    EXPECT_EQ(third.Info().ghostSource, &ghost);
    EXPECT_EQ(third.GetDIB(), source.GetDIB());

    // Hand-overs involving a ghost are refused.
    TestImage owner(0);
    owner.Create(3, 3, 8, 0);
    EXPECT_FALSE(ghost.Copy(owner));
    EXPECT_EQ(ghost.GetDIB(), source.GetDIB());
    EXPECT_FALSE(owner.Transfer(ghost));
    EXPECT_FALSE(ghost.Transfer(owner));
    EXPECT_TRUE(owner.IsValid());
    EXPECT_EQ(ghost.GetDIB(), source.GetDIB());
  }
  // The ghosts are gone and the source is intact.
  EXPECT_TRUE(source.IsValid());
  EXPECT_NE(source.Alpha(), nullptr);
  EXPECT_EQ(source.Info().frameCount, 2);
}

TEST(DibImage, TransferMovesEverythingAndEmptiesTheSource) {
  for (bool withFrames : {true, false}) {
    SCOPED_TRACE(withFrames);
    TestImage target(0);
    target.Create(2, 2, 8, 0);
    target.AddFrames(2);
    CDibImage** targetFrames = target.Frames();

    TestImage source(4);
    source.Create(6, 6, 24, 4);
    source.AddPlanes(3, 4);
    source.AddLayers(2);
    source.AddFrames(3);
    source.Info().transIndex = 2;
    BYTE* dib = source.GetDIB();
    BYTE* alpha = source.Alpha();
    CDibImage** sourceFrames = source.Frames();

    ASSERT_TRUE(target.Transfer(source, withFrames));
    EXPECT_EQ(target.GetDIB(), dib);
    EXPECT_EQ(target.Alpha(), alpha);
    EXPECT_EQ(target.GetWidth(), 6u);
    EXPECT_EQ(target.GetType(), 4u);
    EXPECT_EQ(target.Info().transIndex, 2);
    EXPECT_EQ(target.Info().layerCount, 2);
    EXPECT_FALSE(source.IsValid());
    EXPECT_EQ(source.Alpha(), nullptr);
    EXPECT_EQ(source.Layers(), nullptr);
    EXPECT_EQ(source.GetWidth(), 0u);
    if (withFrames) {
      EXPECT_EQ(target.Frames(), sourceFrames);
      EXPECT_EQ(target.Info().frameCount, 3);
      EXPECT_EQ(source.Frames(), nullptr);
      EXPECT_EQ(source.Info().frameCount, 0);
    } else {
      EXPECT_EQ(target.Frames(), targetFrames);
      EXPECT_EQ(target.Info().frameCount, 2);
      EXPECT_EQ(source.Frames(), sourceFrames);
      EXPECT_EQ(source.Info().frameCount, 3);
    }
    EXPECT_TRUE(target.Transfer(target));
    EXPECT_TRUE(target.IsValid());
  }
}

TEST(DibImage, CopyInfoTakesSettingsOnlyIntoAnEmptyImage) {
  TestImage source(3);
  source.Create(5, 5, 8, 3);
  source.AddFrames(2);
  source.Info().escape = -1;
  source.Info().frameToLoad = 4;
  source.Info().codecOptions[3] = 2;
  source.SetLastErrorText("earlier failure");

  TestImage codec(0);
  codec.CopyInfo(source);
  EXPECT_EQ(codec.Info().escape, -1);
  EXPECT_EQ(codec.Info().frameToLoad, 4);
  EXPECT_EQ(codec.Info().codecOptions[3], 2u);
  EXPECT_EQ(codec.GetType(), 3u);
  EXPECT_STREQ(codec.GetLastError(), "earlier failure");
  EXPECT_EQ(codec.Info().pixels, nullptr);
  EXPECT_EQ(codec.Info().frameCount, 0);
  EXPECT_EQ(codec.GetBits(), nullptr);

  TestImage busy(0);
  busy.Create(2, 2, 24, 0);
  busy.CopyInfo(source);
  EXPECT_EQ(busy.Info().escape, 0);
  EXPECT_EQ(busy.GetType(), 0u);
}

TEST(DibImage, LastErrorTextIsBoundedAndTerminated) {
  TestImage image(0);
  const std::string longText(600, 'x');
  image.SetLastErrorText(longText.c_str());
  EXPECT_EQ(std::strlen(image.GetLastError()), 255u);
  image.SetLastErrorText(image.GetLastError() + 200);  // its own tail
  EXPECT_EQ(std::strlen(image.GetLastError()), 55u);
  image.SetLastErrorText(nullptr);
  EXPECT_STREQ(image.GetLastError(), "");

  // A record whose text fills all 256 bytes is still copied terminated.
  TestImage source(0);
  std::memset(source.Info().lastError, 'y', sizeof source.Info().lastError);
  image.CopyInfo(source);
  EXPECT_EQ(std::strlen(image.GetLastError()), 255u);
}

}  // namespace
