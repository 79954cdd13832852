#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <future>
#include <vector>

#include "image/DibImage.h"
#include "image/streams/FileStream.h"
#include "image/streams/MemoryStream.h"
#include "image/tests/FormatTestSupport.h"

#ifndef _WIN32
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using formattest::ReadFile;
using formattest::ScratchDir;
using formattest::Widen;
using formattest::WriteFile;

namespace {

class TestImage : public CDibImage {
 public:
  using CDibImage::CDibImage;
  const CDibImageInfo& Info() const { return m_info; }
};

// A small 24-bit picture whose pixels all differ.
CDibImage MakePicture(int32_t width = 5, int32_t height = 3) {
  CDibImage image(width, height, 24);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      image.SetPixelColor(x, y, RGBQUAD{BYTE(x * 40), BYTE(y * 70), BYTE(x * 7 + y), 0});
  return image;
}

std::vector<uint8_t> EncodeToMemory(CDibImage& image, DWORD id) {
  CMemoryStream stream;
  stream.Open();
  EXPECT_TRUE(image.Encode(&stream, id)) << image.GetLastError();
  const uint8_t* data = stream.GetBuffer(false);
  return std::vector<uint8_t>(data, data + stream.Size());
}

void ExpectSamePixels(const CDibImage& a, const CDibImage& b) {
  ASSERT_EQ(a.GetWidth(), b.GetWidth());
  ASSERT_EQ(a.GetHeight(), b.GetHeight());
  for (int32_t y = 0; y < int32_t(a.GetHeight()); ++y)
    for (int32_t x = 0; x < int32_t(a.GetWidth()); ++x) {
      const RGBQUAD p = a.GetPixelColor(x, y, false), q = b.GetPixelColor(x, y, false);
      ASSERT_TRUE(p.rgbRed == q.rgbRed && p.rgbGreen == q.rgbGreen && p.rgbBlue == q.rgbBlue)
          << "pixel " << x << "," << y;
    }
}

// Accepts `budget` bytes, then refuses every write: a device that fills up.
class FullAfterStream : public CMemoryStream {
 public:
  explicit FullAfterStream(size_t budget) : m_budget(budget) { Open(); }
  size_t Write(const void* buffer, size_t size, size_t count) override {
    const size_t fit = size ? std::min(count, m_budget / size) : 0;
    m_budget -= fit * size;
    return fit ? CMemoryStream::Write(buffer, size, fit) : 0;
  }

 private:
  size_t m_budget;
};

TEST(FormatIds, ExtensionsMapToIds) {
  const struct {
    const wchar_t* extension;
    DWORD id;
  } cases[] = {
      {L"bmp", 1},  {L"BMP", 1},  {L"gif", 2},  {L"JPG", 3},  {L"jpeg", 3}, {L"JFIF", 3}, {L"jpe", 3},
      {L"png", 4},  {L"ico", 5},  {L"ico2", 5}, {L"CUR", 5},  {L"tiff", 6}, {L"tga", 7},  {L"pcx", 8},
      {L"wbmp", 9}, {L"wmf", 10}, {L"emf", 10}, {L"jp2", 11}, {L"j2k", 11}, {L"jpc", 12}, {L"j2c", 12},
      {L"pgx", 13}, {L"pnm", 14}, {L"pgm", 14}, {L"ppm", 14}, {L"ras", 15}, {L"mng", 17}, {L"jng", 17},
      {L"ska", 18}, {L"raw", 19}, {L"nefx", 19}, {L"3fr", 19}, {L"X3F", 19}, {L"orf", 19},
      {L"ps", 0},   {L"bm", 0},   {L"", 0},     {L"txt", 0},  {L"b\u00e9p", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(CDibImage::GetTypeIdFromName(c.extension), c.id) << c.extension;
  EXPECT_EQ(CDibImage::GetTypeIdFromName(nullptr), 0u);
}

TEST(FormatIds, IdsSelectOptionSlots) {
  for (DWORD id = 0; id <= 15; ++id) EXPECT_EQ(CDibImage::GetTypeIndexFromId(id), id);
  EXPECT_EQ(CDibImage::GetTypeIndexFromId(16), 0u);
  EXPECT_EQ(CDibImage::GetTypeIndexFromId(17), 16u);
  EXPECT_EQ(CDibImage::GetTypeIndexFromId(18), 17u);
  EXPECT_EQ(CDibImage::GetTypeIndexFromId(19), 18u);
  EXPECT_EQ(CDibImage::GetTypeIndexFromId(20), 0u);

  TestImage image(CDibImage::kFormatTif);
  EXPECT_TRUE(image.SetCodecOption(5, 0));  // id 0: the image's own format
  EXPECT_EQ(image.Info().codecOptions[6], 5u);
  EXPECT_TRUE(image.SetCodecOption(1, 19));
  EXPECT_EQ(image.Info().codecOptions[18], 1u);
  EXPECT_TRUE(image.SetCodecOption(7, CDibImage::kFormatBmp));  // explicit ids never land elsewhere
  EXPECT_EQ(image.GetCodecOption(CDibImage::kFormatBmp), 7u);
  EXPECT_EQ(image.GetCodecOption(), 5u);

  EXPECT_FALSE(image.SetType(16));
  EXPECT_EQ(image.GetType(), 0u);
  EXPECT_TRUE(image.SetType(19));
  EXPECT_EQ(image.GetType(), 19u);
  EXPECT_FALSE(image.SetType(20));
  EXPECT_EQ(image.GetType(), 0u);
}

TEST(Dispatch, RefusalsCarryTheirMessages) {
  CDibImage picture = MakePicture();
  CDibImage empty;
  CMemoryStream stream;
  stream.Open();
  const struct {
    CDibImage* image;
    bool encode;
    CByteStream* stream;
    DWORD id;
    const char* message;
  } cases[] = {
      {&picture, true, &stream, 0, "Encode: Unknown format"},
      {&picture, true, &stream, 16, "Encode: Unknown format"},
      {&picture, true, &stream, 20, "Encode: Unknown format"},
      {&empty, true, &stream, 1, "null image!!!"},
      {&picture, true, nullptr, 1, "null file handler"},
      {&picture, false, nullptr, 0, "null file handler"},
      {&picture, false, &stream, 16, "Decode: Unknown or wrong format"},
      {&picture, false, &stream, 0, "Decode: Unknown or wrong format"},
  };
  for (const auto& c : cases) {
    c.image->SetLastErrorText("");
    const bool ok = c.encode ? c.image->Encode(c.stream, c.id) : c.image->Decode(c.stream, c.id);
    EXPECT_FALSE(ok) << c.message;
    EXPECT_STREQ(c.image->GetLastError(), c.message);
  }
  EXPECT_EQ(stream.Size(), 0);
  FILE* none = nullptr;
  EXPECT_FALSE(picture.Encode(none, 1));
  EXPECT_STREQ(picture.GetLastError(), "null file handler");
}

TEST(Dispatch, DecodeWithUnknownIdStartsWhereTheStreamStands) {
  CDibImage picture = MakePicture(7, 4);
  std::vector<uint8_t> bmp = EncodeToMemory(picture, CDibImage::kFormatBmp);
  // Junk before and after; the file header's data offset counts from the file's own start.
  std::vector<uint8_t> block(37, 0xEE);
  block.insert(block.end(), bmp.begin(), bmp.end());
  block.insert(block.end(), 11, 0xEE);

  CMemoryStream stream(block.data(), static_cast<uint32_t>(block.size()));
  ASSERT_TRUE(stream.Seek(37, CByteStream::kFromStart));
  CDibImage loaded;
  ASSERT_TRUE(loaded.Decode(&stream, 0)) << loaded.GetLastError();
  EXPECT_EQ(loaded.GetType(), CDibImage::kFormatBmp);
  ExpectSamePixels(picture, loaded);

  // Every failed try puts the stream back where it stood.
  ASSERT_TRUE(stream.Seek(5, CByteStream::kFromStart));
  EXPECT_FALSE(loaded.Decode(&stream, 0));
  EXPECT_EQ(stream.Tell(), 5);
  EXPECT_STREQ(loaded.GetLastError(), "Decode: Unknown or wrong format");
}

TEST(Dispatch, FailedLoadKeepsTheAskedForDecodersMessage) {
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string text = dir.File("notes.bmp");
  ASSERT_TRUE(WriteFile(text, std::vector<uint8_t>(200, 'x')));
  CDibImage picture = MakePicture();
  const std::string bmpAsPng = dir.File("picture.png");
  ASSERT_TRUE(picture.Save(Widen(bmpAsPng).c_str(), CDibImage::kFormatBmp));

  const struct {
    std::string file;
    DWORD id;
    bool loads;
    const char* message;  // what GetLastError says afterwards; null: not checked
    DWORD typeAfter;
  } cases[] = {
      {text, CDibImage::kFormatBmp, false, "Error reading BMP info", 0},
      {text, 0, false, "Decode: Unknown or wrong format", 0},
      // An id without a decoder skips the typed try: the text stays as it was.
      {text, 16, false, "before", 0},
      {bmpAsPng, CDibImage::kFormatPng, true, nullptr, CDibImage::kFormatBmp},
      {bmpAsPng, 0, true, nullptr, CDibImage::kFormatBmp},
      {bmpAsPng, 16, true, nullptr, CDibImage::kFormatBmp},
      {dir.File("missing.bmp"), CDibImage::kFormatBmp, false, "before", 0},
  };
  for (const auto& c : cases) {
    CDibImage image;
    image.SetLastErrorText("before");
    EXPECT_EQ(image.Load(Widen(c.file).c_str(), c.id), c.loads) << c.file << " id " << c.id;
    if (c.message) {
      EXPECT_STREQ(image.GetLastError(), c.message) << c.file << " id " << c.id;
    }
    if (c.loads) {
      EXPECT_EQ(image.GetType(), c.typeAfter);
    }
  }
  CDibImage constructed(Widen(bmpAsPng).c_str(), CDibImage::kFormatBmp);
  EXPECT_TRUE(constructed.IsValid());
  ExpectSamePixels(picture, constructed);
}

TEST(Dispatch, SaveReplacesOnlyOnSuccess) {
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  const std::string target = dir.File("capture_1.bmp");
  const std::vector<uint8_t> old = {'o', 'l', 'd'};
  CDibImage picture = MakePicture();
  CDibImage empty;

  const struct {
    CDibImage* image;
    DWORD id;
    bool saves;
  } cases[] = {
      {&picture, 0, false},                        // unknown format
      {&picture, 16, false},                       // an id without a codec
      {&empty, CDibImage::kFormatBmp, false},      // nothing to write
      {&picture, CDibImage::kFormatBmp, true},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(WriteFile(target, old));
    EXPECT_EQ(c.image->Save(Widen(target).c_str(), c.id), c.saves) << "id " << c.id;
    EXPECT_EQ(dir.List(), std::vector<std::string>{"capture_1.bmp"}) << "no temporary file may stay";
    if (c.saves) {
      EXPECT_EQ(ReadFile(target), EncodeToMemory(*c.image, c.id));
    } else {
      EXPECT_EQ(ReadFile(target), old);
    }
  }
  // A folder that does not exist: nothing is written, the text is not touched.
  picture.SetLastErrorText("kept");
  EXPECT_FALSE(picture.Save(Widen(dir.File("no/such/folder.bmp")).c_str(), CDibImage::kFormatBmp));
  EXPECT_STREQ(picture.GetLastError(), "kept");
#ifdef _WIN32
  // A reader's hold is waited out; a read-only (and held) file or a folder is refused, not waited for.
  for (const DWORD refused : {0ul, DWORD{FILE_ATTRIBUTE_READONLY}, DWORD{FILE_ATTRIBUTE_DIRECTORY}}) {
    const std::wstring name = Widen(dir.File("held" + std::to_string(refused)));
    const HANDLE held = refused & FILE_ATTRIBUTE_DIRECTORY ? (CreateDirectoryW(name.c_str(), nullptr), nullptr)
                        : CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, refused, 0);
    const auto letGo = std::async(std::launch::async, [&] {  // given up 300 ms later
      Sleep(300), CloseHandle(held), SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL), RemoveDirectoryW(name.c_str()); });
    EXPECT_EQ(picture.Save(name.c_str(), CDibImage::kFormatBmp), refused == 0) << refused;
  }
#endif
}

TEST(Dispatch, WriteFailuresAreFailures) {
  CDibImage picture = MakePicture(40, 30);
  CDibImage withAlpha = MakePicture(40, 30);
  ASSERT_TRUE(withAlpha.AlphaCreate());
  const size_t budgets[] = {0, 10, 14, 54, 100, 3000};
  for (CDibImage* image : {&picture, &withAlpha}) {
    for (size_t budget : budgets) {
      FullAfterStream stream(budget);
      EXPECT_FALSE(image->Encode(&stream, CDibImage::kFormatBmp)) << "budget " << budget;
      EXPECT_STREQ(image->GetLastError(), "Error writing BMP file");
    }
  }
#ifndef _WIN32
  // Buffered writes only fail when flushed: the encode must still say so.
  FILE* full = std::fopen("/dev/full", "wb");
  if (full) {
    EXPECT_FALSE(picture.Encode(full, CDibImage::kFormatBmp));
    EXPECT_STREQ(picture.GetLastError(), "Encode: write failed");
    std::fclose(full);
  }
#endif
}

#ifndef _WIN32
// A save onto a file system that runs full must fail and leave the old file.
// Runs in a child with its own mount namespace and a 64 KB tmpfs; skipped
// where mounting is not allowed.
TEST(Dispatch, SaveOnFullDiskKeepsOldFile) {
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("vesk-test", dir.Path().c_str(), "tmpfs", 0, "size=64k") != 0)
      _exit(77);
    const std::string target = dir.File("shot.bmp");
    const std::vector<uint8_t> old(1000, 'o');
    if (!WriteFile(target, old)) _exit(2);
    CDibImage picture = MakePicture(200, 200);  // 120 KB
    const bool saved = picture.Save(Widen(target).c_str(), CDibImage::kFormatBmp);
    int failures = 0;
    if (saved) failures |= 4;
    if (ReadFile(target) != old) failures |= 8;
    if (dir.List().size() != 1) failures |= 16;
    if (std::strcmp(picture.GetLastError(), "Error writing BMP file") != 0 &&
        std::strcmp(picture.GetLastError(), "Encode: write failed") != 0)
      failures |= 32;
    umount(dir.Path().c_str());
    _exit(failures);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "cannot mount a tmpfs here";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "4 saved, 8 old file changed, 16 stray files, 32 message";
}
#endif

}  // namespace
