// Helpers of the PNG, ICO and TIFF tests: the reference images fetched by
// scripts/fetch-testdata, reference decodings written by
// png_ico_tiff_reference.py, and an image's pixels as a viewer shows them,
// with every kind of transparency the library keeps folded into alpha.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "image/DibImage.h"
#include "image/streams/MemoryStream.h"
#include "image/tests/FormatTestSupport.h"

namespace codectest {

using formattest::ReadFile;
using formattest::Rgba;
using formattest::ScratchDir;
using formattest::Widen;
using formattest::WriteFile;

inline std::string Quoted(const std::string& text) {
  return "'" + text + "'";
}

// Folder of one kind of fetched reference images; empty when not fetched.
inline std::string TestData(const std::string& kind) {
  const std::string folder = std::string(VESK_CODEC_TESTDATA) + "/" + kind;
  FILE* probe = std::fopen((std::string(VESK_CODEC_TESTDATA) + "/.complete").c_str(), "rb");
  if (!probe) return std::string();
  std::fclose(probe);
  return folder;
}

// Files of a folder whose names end with `suffix`, sorted.
inline std::vector<std::string> FilesIn(const std::string& folder, const std::string& suffix) {
  std::vector<std::string> names;
#ifdef _WIN32
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do names.push_back(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
  }
#else
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* entry = readdir(dir)) names.push_back(entry->d_name);
    closedir(dir);
  }
#endif
  std::vector<std::string> matching;
  for (const std::string& name : names)
    if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
      matching.push_back(name);
  std::sort(matching.begin(), matching.end());
  return matching;
}

inline std::vector<uint8_t> ReadData(const std::string& folder, const std::string& name) {
  return ReadFile(folder + "/" + name);
}

// Python with PIL; never under Wine.
inline bool HaveReferenceTools() {
#ifdef _WIN32
  return false;
#else
  return std::system("/usr/bin/python3 -c 'import PIL' >/dev/null 2>&1") == 0;
#endif
}

inline bool HaveTool(const char* path) {
#ifdef _WIN32
  (void)path;
  return false;
#else
  return std::system(("test -x " + std::string(path)).c_str()) == 0;
#endif
}

inline bool RunReference(const std::string& arguments) {
  const std::string line = "/usr/bin/python3 " +
                           Quoted(std::string(VESK_IMAGE_TEST_DIR) + "/png_ico_tiff_reference.py") + " " +
                           arguments;
  return std::system(line.c_str()) == 0;
}

// Output of a command, empty when it fails.
inline std::string Capture(const std::string& command) {
  std::string out;
#ifndef _WIN32
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    if (pclose(pipe) != 0) out.clear();
  }
#else
  (void)command;
#endif
  return out;
}

struct Reference {
  int width = 0, height = 0, channels = 0;
  std::vector<uint8_t> samples;
  Rgba At(int x, int y) const {
    const uint8_t* p = &samples[(size_t(y) * width + x) * channels];
    if (channels == 1) return Rgba{p[0], p[0], p[0], 255};
    return Rgba{p[0], p[1], p[2], channels == 4 ? p[3] : uint8_t(255)};
  }
};

inline bool ReadReference(const std::string& name, Reference& out) {
  const std::vector<uint8_t> bytes = ReadFile(name);
  const auto newline = std::find(bytes.begin(), bytes.end(), '\n');
  if (newline == bytes.end()) return false;
  const std::string head(bytes.begin(), newline);
  if (std::sscanf(head.c_str(), "%d %d %d", &out.width, &out.height, &out.channels) != 3) return false;
  out.samples.assign(newline + 1, bytes.end());
  return out.samples.size() == size_t(out.width) * out.height * out.channels;
}

// Screen pixel (x, y from the top) with the alpha a viewer would use: the
// alpha plane, the palette's alpha, and the transparent index or colour.
inline Rgba Shown(const CDibImage& image, int32_t x, int32_t y) {
  const int32_t row = int32_t(image.GetHeight()) - 1 - y;
  const RGBQUAD c = image.GetPixelColor(x, row, false);
  unsigned a = image.AlphaIsValid() ? image.AlphaGet(x, row) : 255;
  if (image.IsIndexed()) {
    const int index = image.GetPixelIndex(x, row);
    if (image.AlphaPaletteIsValid()) a = a * c.rgbReserved / 255;
    if (image.GetTransIndex() >= 0 && index == image.GetTransIndex()) a = 0;
  } else if (image.GetTransIndex() >= 0) {
    const RGBQUAD key = image.GetTransColor();
    if (key.rgbRed == c.rgbRed && key.rgbGreen == c.rgbGreen && key.rgbBlue == c.rgbBlue) a = 0;
  }
  return Rgba{c.rgbRed, c.rgbGreen, c.rgbBlue, uint8_t(a)};
}

inline bool Near(uint8_t a, uint8_t b, int tolerance) {
  return std::abs(int(a) - int(b)) <= tolerance;
}

// Compares what a viewer shows of `image` with a reference decoding; colours
// of fully transparent pixels do not count. Returns the number of mismatches.
inline int CompareWithReference(const CDibImage& image, const Reference& ref, const std::string& name,
                                int tolerance = 0) {
  if (int(image.GetWidth()) != ref.width || int(image.GetHeight()) != ref.height) {
    ADD_FAILURE() << name << ": " << image.GetWidth() << "x" << image.GetHeight() << ", reference " << ref.width
                  << "x" << ref.height;
    return 1;
  }
  int mismatches = 0;
  for (int y = 0; y < ref.height; ++y)
    for (int x = 0; x < ref.width; ++x) {
      const Rgba want = ref.At(x, y);
      const Rgba got = Shown(image, x, y);
      bool same = Near(got.a, want.a, tolerance);
      if (same && want.a != 0)
        same = Near(got.r, want.r, tolerance) && Near(got.g, want.g, tolerance) && Near(got.b, want.b, tolerance);
      if (!same && mismatches++ < 4) ADD_FAILURE() << name << " at " << x << "," << y << ": " << got << " reference " << want;
    }
  EXPECT_EQ(mismatches, 0) << name;
  return mismatches;
}

// The same pixels as a viewer shows them.
inline bool SameShown(const CDibImage& a, const CDibImage& b, const std::string& name) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) {
    ADD_FAILURE() << name << ": sizes differ";
    return false;
  }
  int mismatches = 0;
  for (int32_t y = 0; y < int32_t(a.GetHeight()); ++y)
    for (int32_t x = 0; x < int32_t(a.GetWidth()); ++x) {
      Rgba p = Shown(a, x, y), q = Shown(b, x, y);
      if (p.a == 0 && q.a == 0) continue;
      if (!(p == q) && mismatches++ < 4) ADD_FAILURE() << name << " at " << x << "," << y << ": " << p << " vs " << q;
    }
  return mismatches == 0;
}

// Opens up the settings record.
class TestImage : public CDibImage {
 public:
  using CDibImage::CDibImage;
  TestImage() : CDibImage(0) {}
  CDibImageInfo& Info() { return m_info; }
  void SetFrameToLoad(int32_t frame) { m_info.frameToLoad = frame; }
  bool AlphaPaletteFlag() const { return m_info.alphaPalette; }
};

inline bool DecodeBytes(TestImage& image, std::vector<uint8_t> bytes, DWORD format, int32_t frame = 0) {
  CMemoryStream stream(bytes.data(), uint32_t(bytes.size()));
  image.Destroy();
  image.SetFrameToLoad(frame);
  return image.Decode(&stream, format);
}

inline std::vector<uint8_t> EncodeBytes(CDibImage& image, DWORD format) {
  CMemoryStream stream;
  stream.Open();
  if (!image.Encode(&stream, format)) return {};
  const uint8_t* data = stream.GetBuffer(false);
  return std::vector<uint8_t>(data, data + stream.Size());
}

// A deterministic picture in any depth; palette images get a spread of colours.
inline void Paint(CDibImage& image, uint32_t seed = 1) {
  for (DWORD i = 0; i < image.GetNumColors(); ++i)
    image.SetPaletteColor(i, BYTE(i * 37 + seed), BYTE(255 - i * 11), BYTE(i * 5 + 3 * seed), 0);
  for (int32_t y = 0; y < int32_t(image.GetHeight()); ++y)
    for (int32_t x = 0; x < int32_t(image.GetWidth()); ++x) {
      if (image.IsIndexed())
        image.SetPixelIndex(x, y, BYTE((x * 3 + y * 5 + seed) % image.GetNumColors()));
      else
        image.SetPixelColor(x, y, RGBQUAD{BYTE(x * 9 + seed), BYTE(y * 13), BYTE(x * y + 7), 0});
    }
}

// A stream that accepts `limit` bytes, then refuses every write.
class FailingStream : public CMemoryStream {
 public:
  explicit FailingStream(size_t limit) : m_limit(limit) { Open(); }
  size_t Write(const void* buffer, size_t size, size_t count) override {
    const size_t bytes = size * count;
    if (m_written + bytes > m_limit) return 0;
    m_written += bytes;
    return CMemoryStream::Write(buffer, size, count);
  }

 private:
  size_t m_limit;
  size_t m_written = 0;
};

// Everything of an image an encoder could touch, to see that it did not.
inline std::vector<uint8_t> Snapshot(const CDibImage& image) {
  std::vector<uint8_t> all(image.GetDIB(), image.GetDIB() + image.GetSize());
  if (image.AlphaIsValid()) {
    const uint8_t* plane = image.AlphaGetPointer();
    all.insert(all.end(), plane, plane + size_t(image.GetWidth()) * image.GetHeight());
  }
  const int32_t trans = image.GetTransIndex();
  const RGBQUAD key = image.GetTransColor();
  all.insert(all.end(), {uint8_t(trans), uint8_t(trans >> 8), key.rgbRed, key.rgbGreen, key.rgbBlue});
  return all;
}

}  // namespace codectest
