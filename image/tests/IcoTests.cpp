#include "image/formats/DibImageICO.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/formats/DibImagePNG.h"
#include "image/tests/PngIcoTiffTestSupport.h"

using namespace codectest;

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& out, uint32_t v) {
  out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)});
}
void Put32(Bytes& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
uint32_t Le32(const Bytes& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

// A classic entry: header, palette, colour rows and mask rows as given
// (bottom row first, each padded by the caller).
Bytes ClassicEntry(int32_t width, int32_t height, int bits, const Bytes& palette, const Bytes& rows,
                   const Bytes& mask, uint32_t colours = 0) {
  Bytes data;
  Put32(data, 40);
  Put32(data, uint32_t(width));
  Put32(data, uint32_t(height * 2));
  Put16(data, 1);
  Put16(data, uint32_t(bits));
  Put32(data, 0);
  Put32(data, uint32_t(rows.size() + mask.size()));
  Put32(data, 0);
  Put32(data, 0);
  Put32(data, colours);
  Put32(data, 0);
  data.insert(data.end(), palette.begin(), palette.end());
  data.insert(data.end(), rows.begin(), rows.end());
  data.insert(data.end(), mask.begin(), mask.end());
  return data;
}

Bytes IconFile(const std::vector<Bytes>& entries, uint16_t type = 1, uint16_t reserved = 0) {
  Bytes file;
  Put16(file, reserved);
  Put16(file, type);
  Put16(file, uint32_t(entries.size()));
  uint32_t offset = 6 + 16 * uint32_t(entries.size());
  for (const Bytes& e : entries) {
    file.insert(file.end(), {4, 2, 0, 0});
    Put16(file, 1);
    Put16(file, 0);
    Put32(file, uint32_t(e.size()));
    Put32(file, offset);
    offset += uint32_t(e.size());
  }
  for (const Bytes& e : entries) file.insert(file.end(), e.begin(), e.end());
  return file;
}

// Mask rows of a 4 x 2 image, 4 bytes each: the top nibble of the first byte.
Bytes Mask(uint8_t bottom, uint8_t top) {
  return {uint8_t(bottom << 4), 0, 0, 0, uint8_t(top << 4), 0, 0, 0};
}

Bytes GreyQuads(int n) {
  Bytes p;
  for (int i = 0; i < n; ++i) p.insert(p.end(), {uint8_t(i * 10), uint8_t(i * 10), uint8_t(i * 10), 0});
  return p;
}

const Rgba kClear{0, 0, 0, 0};

// ---- Decoding ----

TEST(Ico, MasksBecomeTheCheapestTransparency) {
  const Bytes blackWhite = {0, 0, 0, 0, 255, 255, 255, 0};
  const struct {
    const char* name;
    Bytes entry;
    std::vector<Rgba> shown;  // top row, then bottom row
    int transIndex;           // -2: any non-negative value
    bool alphaPlane;
  } cases[] = {
      {"4-bit: masked pixels take the highest unused index",
       ClassicEntry(4, 2, 4, GreyQuads(16), {0x12, 0x34, 0, 0, 0x56, 0x78, 0, 0}, Mask(0x9, 0x0)),
       {{50, 50, 50, 255}, {60, 60, 60, 255}, {70, 70, 70, 255}, {80, 80, 80, 255},
        kClear, {20, 20, 20, 255}, {30, 30, 30, 255}, kClear},
       15, false},
      {"1-bit: an index only masked pixels use",
       ClassicEntry(4, 2, 1, blackWhite, {0x50, 0, 0, 0, 0xF0, 0, 0, 0}, Mask(0xA, 0x0)),
       {{255, 255, 255, 255}, {255, 255, 255, 255}, {255, 255, 255, 255}, {255, 255, 255, 255},
        kClear, {255, 255, 255, 255}, kClear, {255, 255, 255, 255}},
       0, false},
      {"1-bit: the masked colour shows elsewhere too",
       ClassicEntry(4, 2, 1, blackWhite, {0x50, 0, 0, 0, 0x70, 0, 0, 0}, Mask(0xA, 0x0)),
       {{0, 0, 0, 255}, {255, 255, 255, 255}, {255, 255, 255, 255}, {255, 255, 255, 255},
        kClear, {255, 255, 255, 255}, kClear, {255, 255, 255, 255}},
       -1, true},
      {"24-bit: one masked colour seen nowhere else",
       ClassicEntry(4, 2, 24, {}, {1, 2, 3, 9, 9, 9, 1, 2, 3, 4, 5, 6, /**/ 7, 7, 7, 8, 8, 8, 6, 6, 6, 5, 5, 5},
                    Mask(0xA, 0x0)),
       {{7, 7, 7, 255}, {8, 8, 8, 255}, {6, 6, 6, 255}, {5, 5, 5, 255},
        kClear, {9, 9, 9, 255}, kClear, {6, 5, 4, 255}},
       0, false},
      {"24-bit: the masked colour shows elsewhere too",
       ClassicEntry(4, 2, 24, {}, {1, 2, 3, 9, 9, 9, 1, 2, 3, 4, 5, 6, /**/ 1, 2, 3, 8, 8, 8, 6, 6, 6, 5, 5, 5},
                    Mask(0xA, 0x0)),
       {{3, 2, 1, 255}, {8, 8, 8, 255}, {6, 6, 6, 255}, {5, 5, 5, 255},
        kClear, {9, 9, 9, 255}, kClear, {6, 5, 4, 255}},
       -1, true},
      {"32-bit alpha wins over the mask",
       ClassicEntry(4, 2, 32, {}, {1, 1, 1, 0, 2, 2, 2, 90, 3, 3, 3, 255, 4, 4, 4, 255, /**/
                                   5, 5, 5, 255, 6, 6, 6, 255, 7, 7, 7, 255, 8, 8, 8, 7},
                    Mask(0xF, 0xF)),
       {{5, 5, 5, 255}, {6, 6, 6, 255}, {7, 7, 7, 255}, {8, 8, 8, 7}, kClear, {2, 2, 2, 90}, {3, 3, 3, 255},
        {4, 4, 4, 255}},
       -1, true},
      {"32-bit without alpha uses the mask",
       ClassicEntry(4, 2, 32, {}, {1, 1, 1, 0, 2, 2, 2, 0, 3, 3, 3, 0, 4, 4, 4, 0, /**/
                                   5, 5, 5, 0, 6, 6, 6, 0, 7, 7, 7, 0, 8, 8, 8, 0},
                    Mask(0x1, 0x0)),
       {{5, 5, 5, 255}, {6, 6, 6, 255}, {7, 7, 7, 255}, {8, 8, 8, 255}, {1, 1, 1, 255}, {2, 2, 2, 255},
        {3, 3, 3, 255}, kClear},
       0, false},
      {"no masked pixel",
       ClassicEntry(4, 2, 8, GreyQuads(256), {1, 2, 3, 4, 5, 6, 7, 8}, Mask(0, 0)),
       {{50, 50, 50, 255}, {60, 60, 60, 255}, {70, 70, 70, 255}, {80, 80, 80, 255},
        {10, 10, 10, 255}, {20, 20, 20, 255}, {30, 30, 30, 255}, {40, 40, 40, 255}},
       -1, false},
      {"every mask byte set: an inverting icon",
       ClassicEntry(4, 2, 1, blackWhite, {0x50, 0, 0, 0, 0x30, 0, 0, 0}, Bytes(8, 0xFF)),
       {kClear, kClear, {0, 0, 0, 255}, {0, 0, 0, 255}, kClear, {0, 0, 0, 255}, kClear, {0, 0, 0, 255}},
       0, false},
  };
  for (const auto& c : cases) {
    TestImage image;
    ASSERT_TRUE(DecodeBytes(image, IconFile({c.entry}), CDibImage::kFormatIco)) << c.name << ": " << image.GetLastError();
    EXPECT_EQ(image.GetType(), CDibImage::kFormatIco);
    EXPECT_EQ(image.GetNumFrames(), 1) << c.name;
    EXPECT_EQ(image.GetTransIndex(), c.transIndex) << c.name;
    EXPECT_EQ(image.AlphaIsValid(), c.alphaPlane) << c.name;
    for (int i = 0; i < 8; ++i) {
      Rgba got = Shown(image, i % 4, i / 4);
      if (got.a == 0) got = kClear;
      EXPECT_EQ(got, c.shown[size_t(i)]) << c.name << " #" << i;
    }
  }
}

TEST(Ico, EntriesFramesAndHeaderOnlyReads) {
  const Bytes small = ClassicEntry(4, 2, 8, GreyQuads(256), {1, 2, 3, 4, 5, 6, 7, 8}, Mask(0, 0));
  const Bytes big = ClassicEntry(8, 3, 24, {}, Bytes(8 * 3 * 3, 200), Bytes(12, 0));
  TestImage png(5, 6, 24, CDibImage::kFormatPng);
  png.Clear(77);
  const Bytes pngEntry = EncodeBytes(png, CDibImage::kFormatPng);
  const Bytes file = IconFile({small, big, pngEntry}, 2);

  const struct {
    int32_t frame;
    uint32_t width, height;
    WORD bpp;
  } frames[] = {{0, 4, 2, 8}, {1, 8, 3, 24}, {2, 5, 6, 24}};
  for (const auto& f : frames) {
    TestImage image;
    ASSERT_TRUE(DecodeBytes(image, file, CDibImage::kFormatIco, f.frame)) << f.frame << ": " << image.GetLastError();
    EXPECT_EQ(image.GetNumFrames(), 3);
    EXPECT_EQ(image.GetWidth(), f.width);
    EXPECT_EQ(image.GetHeight(), f.height);
    EXPECT_EQ(image.GetBpp(), f.bpp);
    EXPECT_EQ(image.GetType(), CDibImage::kFormatIco);

    TestImage size;
    size.SetEscape(-1);
    ASSERT_TRUE(DecodeBytes(size, file, CDibImage::kFormatIco, f.frame)) << f.frame;
    EXPECT_FALSE(size.IsValid());
    EXPECT_EQ(size.GetWidth(), f.width);
    EXPECT_EQ(size.GetHeight(), f.height);
    EXPECT_EQ(size.GetType(), CDibImage::kFormatIco);
  }
  for (int32_t frame : {-1, 3}) {
    TestImage image;
    EXPECT_FALSE(DecodeBytes(image, file, CDibImage::kFormatIco, frame));
    EXPECT_STREQ(image.GetLastError(), "ICO: entry not present");
  }

  // Offsets count from where the icon starts in the stream.
  Bytes prefixed(5, 0xEE);
  prefixed.insert(prefixed.end(), file.begin(), file.end());
  CMemoryStream stream(prefixed.data(), uint32_t(prefixed.size()));
  ASSERT_TRUE(stream.Seek(5, CByteStream::kFromStart));
  TestImage image;
  image.SetFrameToLoad(1);
  ASSERT_TRUE(image.Decode(&stream, CDibImage::kFormatIco)) << image.GetLastError();
  EXPECT_EQ(Shown(image, 7, 2), (Rgba{200, 200, 200, 255}));
}

TEST(Ico, BrokenFilesFailWithAMessage) {
  const Bytes good = ClassicEntry(4, 2, 24, {}, Bytes(24, 1), Mask(0, 0));
  TestImage small(3, 3, 8, CDibImage::kFormatPng);
  Bytes badPng = EncodeBytes(small, CDibImage::kFormatPng);
  badPng.resize(badPng.size() - 20);
  auto with = [&](auto change) {
    Bytes e = good;
    change(e);
    return IconFile({e});
  };
  const struct {
    const char* name;
    Bytes file;
    const char* message;
  } cases[] = {
      {"empty", {}, "Not an ICO file"},
      {"reserved word set", IconFile({good}, 1, 1), "Not an ICO file"},
      {"type 3", IconFile({good}, 3), "Not an ICO file"},
      {"no entries", IconFile({}), "Not an ICO file"},
      {"directory cut short", [&] { Bytes f = IconFile({good}); f.resize(12); return f; }(), "ICO: file is truncated"},
      {"offset past the end", [&] { Bytes f = IconFile({good}); f[18] = 0xFF; f[19] = 0x7F; return f; }(), "ICO: file is truncated"},
      {"16 bits per pixel", with([](Bytes& e) { e[14] = 16; }), "ICO: unsupported bit count"},
      {"RLE compression", with([](Bytes& e) { e[16] = 1; }), "ICO: unsupported compression"},
      {"300 colours", with([](Bytes& e) { e[14] = 8; e[32] = 0x2C; e[33] = 1; }), "ICO: too many colours"},
      {"zero width", with([](Bytes& e) { e[4] = 0; }), "ICO: bad image size"},
      {"height of one row", with([](Bytes& e) { e[8] = 1; }), "ICO: bad image size"},
      {"header size 12", with([](Bytes& e) { e[0] = 12; }), "ICO: bad bitmap header"},
      {"pixels cut short", with([](Bytes& e) { e.resize(40 + 20); }), "ICO: file is truncated"},
      {"mask cut short", with([](Bytes& e) { e.resize(e.size() - 1); }), "ICO: file is truncated"},
      {"PNG entry cut short", IconFile({badPng}), nullptr},
  };
  for (const auto& c : cases) {
    TestImage image;
    EXPECT_FALSE(DecodeBytes(image, c.file, CDibImage::kFormatIco)) << c.name;
    EXPECT_FALSE(image.IsValid()) << c.name;
    if (c.message) EXPECT_STREQ(image.GetLastError(), c.message) << c.name;
    else EXPECT_STRNE(image.GetLastError(), "") << c.name;
  }
}

// ---- Encoding ----

struct SaveCase {
  const char* name;
  DWORD bpp;
  bool alpha;
  int32_t transIndex;
  int32_t size;
};

const SaveCase kSaveCases[] = {
    {"1-bit", 1, false, -1, 16},        {"4-bit, transparent index 3", 4, false, 3, 31},
    {"8-bit", 8, false, -1, 32},        {"8-bit, transparent index 3", 8, false, 3, 20},
    {"8-bit with alpha", 8, true, -1, 16}, {"24-bit", 24, false, -1, 33},
    {"24-bit, key colour", 24, false, 0, 24}, {"24-bit with alpha", 24, true, -1, 48},
    {"256 square becomes PNG", 24, true, -1, 256},
};

std::unique_ptr<TestImage> MakeImage(const SaveCase& c) {
  auto image = std::make_unique<TestImage>(c.size, c.size, c.bpp, CDibImage::kFormatIco);
  Paint(*image, 5);
  if (c.alpha) {
    image->AlphaCreate();
    for (int32_t y = 0; y < c.size; ++y)
      for (int32_t x = 0; x < c.size; ++x) image->AlphaSet(x, y, x < 3 ? 0 : BYTE(x * 20 + y));
  }
  if (c.transIndex >= 0) {
    image->SetTransIndex(c.transIndex);
    if (!image->IsIndexed()) image->SetTransColor(image->GetPixelColor(2, 2, false));
  }
  return image;
}

TEST(Ico, SavesAndReadsBack) {
  for (const SaveCase& c : kSaveCases) {
    auto image = MakeImage(c);
    const std::vector<uint8_t> before = Snapshot(*image);
    const Bytes file = EncodeBytes(*image, CDibImage::kFormatIco);
    ASSERT_FALSE(file.empty()) << c.name << ": " << image->GetLastError();
    EXPECT_EQ(Snapshot(*image), before) << c.name << ": saving changed the image";
    ASSERT_GE(file.size(), 22u + 8u);
    EXPECT_EQ(file[2], 1) << c.name;  // icon
    EXPECT_EQ(file[4], 1) << c.name;  // one entry
    const bool png = c.size > 255;
    EXPECT_EQ(file[6], png ? 0 : c.size) << c.name;
    EXPECT_EQ(file[7], png ? 0 : c.size) << c.name;
    EXPECT_EQ(file[10] | file[11] << 8, 0) << c.name;  // planes: a cursor's hotspot would stand here
    const int bits = c.alpha ? 32 : int(c.bpp);
    EXPECT_EQ(file[12] | file[13] << 8, bits) << c.name;
    EXPECT_EQ(Le32(file, 14), file.size() - 22) << c.name;
    EXPECT_EQ(Le32(file, 18), 22u) << c.name;
    EXPECT_EQ(std::memcmp(&file[22], "\x89PNG", 4) == 0, png) << c.name;
    if (c.transIndex >= 0 && image->IsIndexed()) {
      // The transparent entry is black in the file.
      const size_t entry = 22 + 40 + 4 * size_t(c.transIndex);
      EXPECT_EQ(file[entry] | file[entry + 1] | file[entry + 2] | file[entry + 3], 0) << c.name;
    }

    TestImage loaded;
    ASSERT_TRUE(DecodeBytes(loaded, file, CDibImage::kFormatIco)) << c.name << ": " << loaded.GetLastError();
    EXPECT_EQ(loaded.GetType(), CDibImage::kFormatIco);
    EXPECT_TRUE(SameShown(loaded, *image, c.name));
  }
}

TEST(Ico, CursorNamesGetIconFiles) {
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  TestImage image(32, 32, 24, 0);
  Paint(image);
  const std::string name = dir.File("Cursor.cur");
  ASSERT_TRUE(image.Save(Widen(name).c_str(), CDibImage::GetTypeIdFromName(L"cur")));
  const Bytes file = ReadFile(name);
  ASSERT_GT(file.size(), 22u);
  EXPECT_EQ(file[2], 1);
  EXPECT_EQ(file[12], 24);
  TestImage loaded;
  ASSERT_TRUE(loaded.Load(Widen(name).c_str(), CDibImage::kFormatIco));
  EXPECT_TRUE(SameShown(loaded, image, "cursor"));
}

TEST(Ico, MultiImageFilesAreWrittenInThreeRounds) {
  // A header round, an entry round (page count equal to the image's frame
  // count) and a data round (page count below it), all through one writer,
  // which carries the running data offset.
  TestImage a(16, 16, 4, 0), b(40, 30, 24, 0);
  Paint(a, 1);
  Paint(b, 2);
  a.Info().frameCount = 1;
  b.Info().frameCount = 1;
  CMemoryStream stream;
  stream.Open();
  CDibImageICO writer;
  writer.Ghost(a);
  ASSERT_TRUE(writer.Encode(&stream, false, 2));
  EXPECT_EQ(stream.Size(), 6);
  for (int round : {1, 0}) {
    for (TestImage* image : {&a, &b}) {
      writer.Ghost(*image);
      ASSERT_TRUE(writer.Encode(&stream, true, round)) << writer.GetLastError();
    }
  }
  const int32_t size = stream.Size();
  ASSERT_TRUE(writer.Encode(&stream, true, 2));  // beyond the frame count: nothing
  EXPECT_EQ(stream.Size(), size);

  const uint8_t* data = stream.GetBuffer(false);
  const Bytes file(data, data + size);
  int32_t frame = 0;
  for (TestImage* image : {&a, &b}) {
    TestImage loaded;
    ASSERT_TRUE(DecodeBytes(loaded, file, CDibImage::kFormatIco, frame)) << frame << ": " << loaded.GetLastError();
    EXPECT_EQ(loaded.GetNumFrames(), 2);
    EXPECT_TRUE(SameShown(loaded, *image, "frame " + std::to_string(frame)));
    ++frame;
  }
}

TEST(Ico, FailedWritesSayso) {
  for (const SaveCase& c : kSaveCases) {
    auto image = MakeImage(c);
    const size_t full = EncodeBytes(*image, CDibImage::kFormatIco).size();
    for (size_t limit : {size_t(0), size_t(10), full / 2, full - 1}) {
      FailingStream stream(limit);
      EXPECT_FALSE(image->Encode(&stream, CDibImage::kFormatIco)) << c.name << " limit " << limit;
      EXPECT_STREQ(image->GetLastError(), "Error writing ICO file") << c.name;
    }
  }
}

// ---- Other tools ----

TEST(IcoReference, IconsOfOtherToolsDecodeAsPilDecodesThem) {
  if (!HaveReferenceTools() || !HaveTool("/usr/bin/icotool")) GTEST_SKIP() << "PIL or icotool missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  ASSERT_TRUE(RunReference("make-icons " + Quoted(dir.Path())));
  std::string arguments = "dump";
  const std::vector<std::string> icons = FilesIn(dir.Path(), ".ico");
  for (const std::string& name : icons) arguments += " " + Quoted(dir.File(name));
  ASSERT_TRUE(RunReference(arguments));
  int entries = 0;
  for (const std::string& name : icons) {
    const Bytes file = ReadFile(dir.File(name));
    const int count = file[4] | file[5] << 8;
    for (int frame = 0; frame < count; ++frame, ++entries) {
      const std::string entry = name + "." + std::to_string(frame);
      Reference pil;
      ASSERT_TRUE(ReadReference(dir.File(entry + ".ref"), pil)) << entry;
      TestImage image;
      ASSERT_TRUE(DecodeBytes(image, file, CDibImage::kFormatIco, frame)) << entry << ": " << image.GetLastError();
      EXPECT_EQ(image.GetNumFrames(), count) << entry;
      CompareWithReference(image, pil, entry);
    }
  }
  EXPECT_EQ(icons.size(), 8u);
  EXPECT_EQ(entries, 5 + 3 + 3 + 2);
}

TEST(IcoReference, OurIconsReadInPil) {
  if (!HaveReferenceTools()) GTEST_SKIP() << "PIL missing";
  ScratchDir dir;
  ASSERT_TRUE(dir.Ok());
  std::vector<std::unique_ptr<TestImage>> images;
  std::string arguments = "dump";
  for (const SaveCase& c : kSaveCases) {
    images.push_back(MakeImage(c));
    const std::string file = dir.File("case" + std::to_string(images.size()) + ".ico");
    ASSERT_TRUE(images.back()->Save(Widen(file).c_str(), CDibImage::kFormatIco)) << c.name;
    arguments += " " + Quoted(file);
  }
  ASSERT_TRUE(RunReference(arguments));
  for (size_t i = 0; i < images.size(); ++i) {
    Reference pil;
    ASSERT_TRUE(ReadReference(dir.File("case" + std::to_string(i + 1) + ".ico.0.ref"), pil));
    CompareWithReference(*images[i], pil, kSaveCases[i].name);
  }
}

}  // namespace
