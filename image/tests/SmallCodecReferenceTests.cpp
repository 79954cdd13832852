// TGA, PCX and WBMP against other tools: files that Python PIL, netpbm and
// ImageMagick write decode as those tools decode them, and the files we
// write decode in those tools to our pixels. Skipped without the tools.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "image/DibImage.h"
#include "image/tests/FormatTestSupport.h"

using formattest::ExpectSamePixels;
using formattest::ReadFile;
using formattest::ReadReference;
using formattest::Reference;
using formattest::Rgba;
using formattest::ScratchDir;
using formattest::ScreenPixel;
using formattest::Widen;

namespace {

bool HaveReferenceTools() {
#ifdef _WIN32
  return false;
#else
  return std::system("/usr/bin/python3 -c 'import PIL' >/dev/null 2>&1") == 0 &&
         std::system("test -x /usr/bin/convert && command -v pamtotga tgatoppm ppmtopcx pcxtoppm pbmtowbmp "
                     "wbmptopbm pngtopam >/dev/null") == 0;
#endif
}

bool RunReference(const std::string& command, const std::string& folder) {
  const std::string line = "/usr/bin/python3 '" + std::string(VESK_IMAGE_TEST_DIR) + "/smallcodec_reference.py' " +
                           command + " '" + folder + "'";
  return std::system(line.c_str()) == 0;
}

// The tools' decodings of DIR/NAME: tool name -> pixels.
std::map<std::string, Reference> References(const ScratchDir& dir, const std::string& name) {
  std::map<std::string, Reference> found;
  for (const char* tool : {"pil", "pbm", "im"}) {
    Reference reference;
    if (ReadReference(dir.File(name + "." + tool + ".rgba"), reference)) found[tool] = reference;
  }
  return found;
}

std::string Extension(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? "" : name.substr(dot + 1);
}

TEST(SmallCodecReference, FilesOfOtherToolsDecodeAsTheyDecodeThem) {
  if (!HaveReferenceTools()) GTEST_SKIP() << "Python PIL, netpbm or ImageMagick missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  ASSERT_TRUE(RunReference("make", dir.Path()));
  ASSERT_TRUE(RunReference("dump", dir.Path()));
  int files = 0, comparisons = 0;
  for (const std::string& file : dir.List()) {
    const std::string extension = Extension(file);
    if (extension != "tga" && extension != "pcx" && extension != "wbmp") continue;
    const std::map<std::string, Reference> references = References(dir, file);
    // Whoever wrote the file reads it.
    const std::string writer = file.substr(0, file.find('_') == std::string::npos ? file.find('.') : file.find('_'));
    EXPECT_EQ(references.count(writer), 1u) << file;
    CDibImage image;
    ASSERT_TRUE(image.Load(Widen(dir.File(file)).c_str(), CDibImage::GetTypeIdFromName(Widen(extension).c_str())))
        << file << ": " << image.GetLastError();
    for (const auto& [tool, reference] : references) {
      ExpectSamePixels(image, reference, file + " in " + tool);
      ++comparisons;
    }
    ++files;
  }
  EXPECT_EQ(files, 37);
  EXPECT_GE(comparisons, 100);
}

TEST(SmallCodecReference, OurFilesReadBackInThem) {
  if (!HaveReferenceTools()) GTEST_SKIP() << "Python PIL, netpbm or ImageMagick missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  const struct {
    const char* name;
    DWORD id;
    DWORD bpp;
    bool alpha;
    // Tools that read it to our pixels. PIL 9 takes its own stride for plane
    // lines that are padded to an even length as the format asks (4-bit,
    // and 24-bit 1 pixel wide); netpbm has no 4-plane 8-bit PCX.
    std::vector<std::string> readers;
  } cases[] = {
      {"ours_8.tga", CDibImage::kFormatTga, 8, false, {"pil", "pbm", "im"}},
      {"ours_24.tga", CDibImage::kFormatTga, 24, false, {"pil", "pbm", "im"}},
      {"ours_32.tga", CDibImage::kFormatTga, 24, true, {"pil", "pbm", "im"}},
      {"ours_1.pcx", CDibImage::kFormatPcx, 1, false, {"pil", "pbm"}},
      {"ours_4.pcx", CDibImage::kFormatPcx, 4, false, {"pbm", "im"}},
      {"ours_8.pcx", CDibImage::kFormatPcx, 8, false, {"pil", "pbm", "im"}},
      {"ours_24.pcx", CDibImage::kFormatPcx, 24, false, {"pbm", "im"}},
      {"ours_32.pcx", CDibImage::kFormatPcx, 24, true, {"im"}},
      {"ours_1.wbmp", CDibImage::kFormatWbmp, 1, false, {"pbm", "im"}},
  };
  std::vector<std::unique_ptr<CDibImage>> images;
  for (const auto& c : cases) {
    for (int32_t width : {1, 36, 37}) {
      auto image = std::make_unique<CDibImage>(width, 11, c.bpp);
      for (DWORD i = 0; i < image->GetNumColors(); ++i)
        image->SetPaletteColor(i, BYTE(i * 37), BYTE(i * 11), BYTE(255 - i), 0);
      if (c.bpp == 1) image->SetGrayPalette();
      for (int32_t y = 0; y < 11; ++y)
        for (int32_t x = 0; x < width; ++x) {
          if (image->IsIndexed()) image->SetPixelIndex(x, y, BYTE((x / 2 + 3 * y) % image->GetNumColors()));
          else image->SetPixelColor(x, y, RGBQUAD{BYTE(x * 7), BYTE(x < 20 ? 200 : y * 23), BYTE(x + y), 0});
        }
      if (c.alpha) {
        ASSERT_TRUE(image->AlphaCreate());
        for (int32_t y = 0; y < 11; ++y)
          for (int32_t x = 0; x < width; ++x) image->AlphaSet(x, y, BYTE(x * 7 + y));
      }
      const std::string name = std::to_string(width) + "_" + c.name;
      ASSERT_TRUE(image->Save(Widen(dir.File(name)).c_str(), c.id)) << name << ": " << image->GetLastError();
      images.push_back(std::move(image));
    }
  }
  ASSERT_TRUE(RunReference("dump", dir.Path()));
  size_t index = 0;
  for (const auto& c : cases)
    for (int32_t width : {1, 36, 37}) {
      const std::string name = std::to_string(width) + "_" + c.name;
      const std::map<std::string, Reference> references = References(dir, name);
      for (const std::string& reader : c.readers) {
        const auto found = references.find(reader);
        ASSERT_NE(found, references.end()) << name << " in " << reader;
        ExpectSamePixels(*images[index], found->second, name + " in " + reader);
      }
      ++index;
    }
}

}  // namespace
