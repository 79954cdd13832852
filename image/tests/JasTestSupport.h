// Helpers of the JPEG 2000 family and MNG tests: test pictures, encoding
// and decoding through byte blocks, netpbm files (the common ground with the
// reference tools) and running those tools.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "image/DibImage.h"
#include "image/streams/MemoryStream.h"
#include "image/tests/ImageTestSupport.h"

namespace jastest {

using Bytes = std::vector<uint8_t>;

// Smooth ramps with hard edges, so that lossy coding shows and rows or
// channels mixed up change the pixels.
inline void FillColour(CDibImage& image) {
  const int32_t w = int32_t(image.GetWidth()), h = int32_t(image.GetHeight());
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      RGBQUAD c{};
      c.rgbRed = BYTE(x * 255 / (w > 1 ? w - 1 : 1));
      c.rgbGreen = BYTE(y * 255 / (h > 1 ? h - 1 : 1));
      c.rgbBlue = BYTE(((x / 7 + y / 5) & 1) ? 220 : 30);
      image.SetPixelColor(x, y, c);
    }
}

inline void FillGrey(CDibImage& image) {
  image.SetGrayPalette();
  for (int32_t y = 0; y < int32_t(image.GetHeight()); ++y)
    for (int32_t x = 0; x < int32_t(image.GetWidth()); ++x) image.SetPixelIndex(x, y, BYTE((x * 7 + y * 13) & 0xFF));
}

// Samples as the eye reads them: rows top first, three bytes (red, green,
// blue) per pixel, or one for a picture that is grey.
inline Bytes Samples(const CDibImage& image, bool grey) {
  Bytes out;
  for (int32_t y = int32_t(image.GetHeight()) - 1; y >= 0; --y)
    for (int32_t x = 0; x < int32_t(image.GetWidth()); ++x) {
      const RGBQUAD c = image.GetPixelColor(x, y, false);
      if (grey) out.push_back(c.rgbRed);
      else out.insert(out.end(), {c.rgbRed, c.rgbGreen, c.rgbBlue});
    }
  return out;
}

inline Bytes StreamBytes(CMemoryStream& stream) {
  const uint8_t* data = stream.GetBuffer(false);
  const int32_t size = stream.Size();
  return data && size > 0 ? Bytes(data, data + size) : Bytes();
}

// Through the format dispatch, as the program does it.
inline bool EncodeTo(const CDibImage& source, DWORD formatId, Bytes& out, float quality = 100.0f,
                     std::string* error = nullptr) {
  imagetest::InspectableImage image;
  if (source.IsValid() && !image.Copy(source)) return false;
  image.Info().jpegQuality = quality;
  CMemoryStream stream;
  stream.Open();
  const bool ok = image.Encode(&stream, formatId);
  if (error) *error = image.GetLastError();
  out = StreamBytes(stream);
  return ok;
}

inline bool DecodeFrom(const Bytes& bytes, imagetest::InspectableImage& image, DWORD formatId = 0,
                       int32_t frame = 0) {
  Bytes copy = bytes;
  CMemoryStream stream(copy.empty() ? nullptr : copy.data(), uint32_t(copy.size()));
  if (copy.empty()) stream.Open();
  image.Info().frameToLoad = frame;
  return image.Decode(&stream, formatId);
}

inline Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

// ---- netpbm files ----

struct Pnm {
  int width = 0, height = 0, depth = 0;  // depth: samples per pixel
  uint32_t maxval = 0;
  std::vector<uint32_t> samples;
};

// P1, P2, P3, P5, P6 and P7 (PAM) with comments; what opj_decompress, netpbm,
// PIL and ImageMagick write.
inline bool ParsePnm(const Bytes& bytes, Pnm& out) {
  size_t at = 0;
  auto skip = [&] {
    while (at < bytes.size()) {
      if (bytes[at] == '#') {
        while (at < bytes.size() && bytes[at] != '\n') ++at;
      } else if (std::isspace(bytes[at])) {
        ++at;
      } else {
        break;
      }
    }
  };
  auto number = [&](uint32_t& v) {
    skip();
    if (at >= bytes.size() || !std::isdigit(bytes[at])) return false;
    uint64_t n = 0;
    while (at < bytes.size() && std::isdigit(bytes[at]) && n < (1u << 30)) n = n * 10 + (bytes[at++] - '0');
    v = uint32_t(n);
    return true;
  };
  if (bytes.size() < 3 || bytes[0] != 'P') return false;
  const char kind = char(bytes[1]);
  at = 2;
  uint32_t w = 0, h = 0, maxval = 0, depth = 0;
  bool ascii = false;
  if (kind == '1') {
    // Plain bitmap: 1 is black; given back as grey 0 and 255.
    if (!number(w) || !number(h)) return false;
    out.width = int(w);
    out.height = int(h);
    out.depth = 1;
    out.maxval = 255;
    out.samples.clear();
    for (size_t i = 0; i < size_t(w) * h; ++i) {
      skip();
      if (at >= bytes.size() || (bytes[at] != '0' && bytes[at] != '1')) return false;
      out.samples.push_back(bytes[at++] == '1' ? 0 : 255);
    }
    return true;
  }
  if (kind == '7') {
    while (true) {
      skip();
      size_t end = at;
      while (end < bytes.size() && !std::isspace(bytes[end])) ++end;
      const std::string key(bytes.begin() + long(at), bytes.begin() + long(end));
      at = end;
      if (key == "ENDHDR") break;
      if (key == "WIDTH" && !number(w)) return false;
      if (key == "HEIGHT" && !number(h)) return false;
      if (key == "DEPTH" && !number(depth)) return false;
      if (key == "MAXVAL" && !number(maxval)) return false;
      if (key == "TUPLTYPE")
        while (at < bytes.size() && bytes[at] != '\n') ++at;
      if (key.empty()) return false;
    }
  } else {
    depth = (kind == '3' || kind == '6') ? 3 : 1;
    ascii = kind == '2' || kind == '3';
    if ((kind < '2' || kind > '6' || kind == '4') || !number(w) || !number(h) || !number(maxval)) return false;
  }
  ++at;  // the single white-space byte before binary data
  out.width = int(w);
  out.height = int(h);
  out.depth = int(depth);
  out.maxval = maxval;
  const size_t count = size_t(w) * h * depth;
  out.samples.clear();
  out.samples.reserve(count);
  if (ascii) {
    --at;
    for (size_t i = 0; i < count; ++i) {
      uint32_t v;
      if (!number(v)) return false;
      out.samples.push_back(v);
    }
    return true;
  }
  const size_t size = maxval > 255 ? 2 : 1;
  if (bytes.size() < at + count * size) return false;
  for (size_t i = 0; i < count; ++i, at += size)
    out.samples.push_back(size == 2 ? (uint32_t(bytes[at]) << 8) | bytes[at + 1] : bytes[at]);
  return true;
}

inline Bytes MakePnm(int width, int height, int depth, const Bytes& samples) {
  std::string head = std::string(depth == 3 ? "P6" : "P5") + "\n" + std::to_string(width) + " " +
                     std::to_string(height) + "\n255\n";
  Bytes out(head.begin(), head.end());
  out.insert(out.end(), samples.begin(), samples.end());
  return out;
}

inline Bytes Narrow(const Pnm& pnm) {
  Bytes out;
  for (uint32_t v : pnm.samples) out.push_back(uint8_t(pnm.maxval > 255 ? v >> 8 : v));
  return out;
}

inline double Psnr(const Bytes& a, const Bytes& b) {
  if (a.size() != b.size() || a.empty()) return 0;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) sum += double(int(a[i]) - int(b[i])) * (int(a[i]) - int(b[i]));
  if (sum == 0) return 1000;
  return 10 * std::log10(255.0 * 255.0 * double(a.size()) / sum);
}

inline int MaxDifference(const Bytes& a, const Bytes& b) {
  if (a.size() != b.size()) return 256;
  int most = 0;
  for (size_t i = 0; i < a.size(); ++i) most = std::max(most, std::abs(int(a[i]) - int(b[i])));
  return most;
}

// ---- Reference tools (native only) ----

inline bool Have(const std::string& check) {
#ifdef _WIN32
  (void)check;
  return false;
#else
  return std::system((check + " >/dev/null 2>&1").c_str()) == 0;
#endif
}

// The command's own redirections stand; what it prints otherwise is dropped.
inline bool RunTool(const std::string& command) {
  return std::system(("( " + command + " ) >/dev/null 2>&1").c_str()) == 0;
}

inline std::string Quoted(const std::string& text) {
  return "'" + text + "'";
}

}  // namespace jastest
