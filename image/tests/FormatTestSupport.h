// Helpers shared by the format tests: scratch folders, files, wide names and
// a pixel-by-pixel view of an image as it looks on screen (row 0 at the top).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "image/DibImage.h"

#ifdef _WIN32
#include <direct.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace formattest {

inline std::wstring Widen(const std::string& text) {
  return std::wstring(text.begin(), text.end());
}

inline bool WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(name.c_str(), "wb");
  if (!file) return false;
  const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

inline std::vector<uint8_t> ReadFile(const std::string& name) {
  std::vector<uint8_t> bytes;
  FILE* file = std::fopen(name.c_str(), "rb");
  if (!file) return bytes;
  uint8_t buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
  std::fclose(file);
  return bytes;
}

// A fresh folder under the system's temporary folder, removed with its files.
class ScratchDir {
 public:
  ScratchDir() {
#ifdef _WIN32
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    for (int i = 0; i < 1000 && m_path.empty(); ++i) {
      std::string candidate = std::string(base) + "vesk-fmt-" + std::to_string(GetCurrentProcessId()) + "-" +
                              std::to_string(i);
      if (_mkdir(candidate.c_str()) == 0) m_path = candidate;
    }
#else
    char pattern[] = "/tmp/vesk-fmt-XXXXXX";
    if (mkdtemp(pattern)) m_path = pattern;
#endif
  }
  ~ScratchDir() {
    if (m_path.empty()) return;
    for (const std::string& name : List()) std::remove(File(name).c_str());
#ifdef _WIN32
    _rmdir(m_path.c_str());
#else
    rmdir(m_path.c_str());
#endif
  }
  bool Ok() const { return !m_path.empty(); }
  const std::string& Path() const { return m_path; }
  std::string File(const std::string& name) const {
#ifdef _WIN32
    return m_path + "\\" + name;
#else
    return m_path + "/" + name;
#endif
  }
  std::vector<std::string> List() const {
    std::vector<std::string> names;
#ifdef _WIN32
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((m_path + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      const std::string name = found.cFileName;
      if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
#else
    if (DIR* dir = opendir(m_path.c_str())) {
      while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
      }
      closedir(dir);
    }
#endif
    return names;
  }

 private:
  std::string m_path;
};

struct Rgba {
  uint8_t r, g, b, a;
  bool operator==(const Rgba& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};

inline std::ostream& operator<<(std::ostream& out, const Rgba& c) {
  return out << "(" << int(c.r) << "," << int(c.g) << "," << int(c.b) << "," << int(c.a) << ")";
}

// The colour of screen pixel (x, y), y counted from the top; alpha is the
// plane's value, 255 without a plane.
inline Rgba ScreenPixel(const CDibImage& image, int32_t x, int32_t y) {
  const int32_t row = static_cast<int32_t>(image.GetHeight()) - 1 - y;
  const RGBQUAD c = image.GetPixelColor(x, row, false);
  const uint8_t a = image.AlphaIsValid() ? image.AlphaGet(x, row) : 255;
  return Rgba{c.rgbRed, c.rgbGreen, c.rgbBlue, a};
}

// A reference decoding written by a helper script: "WIDTH HEIGHT HAS_ALPHA\n"
// followed by RGBA bytes, top row first.
struct Reference {
  int width = 0, height = 0;
  bool alpha = false;
  std::vector<uint8_t> rgba;
};

inline bool ReadReference(const std::string& name, Reference& out) {
  const std::vector<uint8_t> bytes = ReadFile(name);
  const auto newline = std::find(bytes.begin(), bytes.end(), '\n');
  if (newline == bytes.end()) return false;
  const std::string head(bytes.begin(), newline);
  int alpha = 0;
  if (std::sscanf(head.c_str(), "%d %d %d", &out.width, &out.height, &alpha) != 3) return false;
  out.alpha = alpha != 0;
  out.rgba.assign(newline + 1, bytes.end());
  return out.rgba.size() == size_t(out.width) * out.height * 4;
}

// Our pixels against a reference tool's; alpha only where the tool has any.
inline void ExpectSamePixels(const CDibImage& image, const Reference& tool, const std::string& name) {
  ASSERT_EQ(int(image.GetWidth()), tool.width) << name;
  ASSERT_EQ(int(image.GetHeight()), tool.height) << name;
  int mismatches = 0;
  for (int y = 0; y < tool.height; ++y)
    for (int x = 0; x < tool.width; ++x) {
      const uint8_t* p = &tool.rgba[(size_t(y) * tool.width + x) * 4];
      const Rgba want{p[0], p[1], p[2], p[3]};
      Rgba got = ScreenPixel(image, x, y);
      if (!tool.alpha) got.a = want.a;
      if (!(got == want) && mismatches++ < 5)
        ADD_FAILURE() << name << " at " << x << "," << y << ": " << got << " tool " << want;
    }
  EXPECT_EQ(mismatches, 0) << name;
}

}  // namespace formattest
