// Helpers of the GIF tests: files built by hand (with code streams written
// code by code), a structural parser of what the writer produced, and
// paletted test pictures.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "image/formats/DibImageGIF.h"
#include "image/streams/MemoryStream.h"

namespace giftest {

using Bytes = std::vector<uint8_t>;

// Opens up the settings record.
class InspectableGif : public CDibImageGIF {
 public:
  const CDibImageInfo& Info() const { return m_info; }
  void SetFrameToLoad(int frame) { m_info.frameToLoad = frame; }
  // Gives the image frames of its own (owned, freed by the destructor).
  void AdoptFrames(std::vector<CDibImage*> frames) {
    m_frames = static_cast<CDibImage**>(std::malloc(frames.size() * sizeof(CDibImage*)));
    std::memcpy(m_frames, frames.data(), frames.size() * sizeof(CDibImage*));
    m_info.frameCount = static_cast<int32_t>(frames.size());
  }
};

inline void Put16(Bytes& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}

// Codes of `width` bits each, packed least significant bit first and cut
// into sub-blocks, with the code-size byte in front and the terminator behind.
inline Bytes CodeStream(int codeSize, const std::vector<std::pair<int, int>>& codes, bool terminate = true) {
  Bytes packed;
  uint32_t accumulator = 0;
  int bits = 0;
  for (const auto& code : codes) {
    accumulator |= uint32_t(code.first) << bits;
    bits += code.second;
    while (bits >= 8) {
      packed.push_back(uint8_t(accumulator));
      accumulator >>= 8;
      bits -= 8;
    }
  }
  if (bits) packed.push_back(uint8_t(accumulator));
  Bytes out{uint8_t(codeSize)};
  for (size_t i = 0; i < packed.size(); i += 255) {
    const size_t n = std::min<size_t>(255, packed.size() - i);
    out.push_back(uint8_t(n));
    out.insert(out.end(), packed.begin() + long(i), packed.begin() + long(i + n));
  }
  if (terminate) out.push_back(0);
  return out;
}

// Literal indices only, each code as wide as a decoder's growing table makes
// it, ended by the end code.
inline Bytes Literals(int codeSize, const std::vector<int>& indices) {
  const int clear = 1 << codeSize;
  int width = codeSize + 1, next = clear + 2;
  std::vector<std::pair<int, int>> codes{{clear, width}};
  for (size_t i = 0; i < indices.size(); ++i) {
    codes.push_back({indices[i], width});
    if (i > 0 && next < 4096 && ++next == (1 << width) && width < 12) ++width;
  }
  codes.push_back({clear + 1, width});
  return CodeStream(codeSize, codes);
}

// A GIF file assembled block by block.
class GifBuilder {
 public:
  GifBuilder(uint32_t width, uint32_t height, int globalColours = 4, const char* version = "GIF89a") {
    m_bytes.assign(version, version + 6);
    Put16(m_bytes, width);
    Put16(m_bytes, height);
    int field = 0;
    while ((2 << field) < globalColours) ++field;
    m_bytes.push_back(uint8_t(globalColours ? 0x80 | field : 0));
    m_bytes.push_back(0);
    m_bytes.push_back(0);
    for (int i = 0; globalColours && i < (2 << field); ++i) Colour(i);
  }
  // Entry i of every table here is (i*40, 255-i*40, i*7), unless shifted.
  GifBuilder& Colour(int i, int shift = 0) {
    m_bytes.push_back(uint8_t((i + shift) * 40));
    m_bytes.push_back(uint8_t(255 - (i + shift) * 40));
    m_bytes.push_back(uint8_t((i + shift) * 7));
    return *this;
  }
  GifBuilder& Control(int transIndex, int disposal = 0, int delay = 0) {
    Raw({0x21, 0xF9, 4, uint8_t((transIndex >= 0 ? 1 : 0) | (disposal << 2)), uint8_t(delay), uint8_t(delay >> 8),
         uint8_t(transIndex >= 0 ? transIndex : 0), 0});
    return *this;
  }
  GifBuilder& Image(uint32_t left, uint32_t top, uint32_t width, uint32_t height, const Bytes& data,
                    bool interlaced = false, int localColours = 0, int localShift = 0) {
    m_bytes.push_back(',');
    Put16(m_bytes, left);
    Put16(m_bytes, top);
    Put16(m_bytes, width);
    Put16(m_bytes, height);
    int field = 0;
    while ((2 << field) < localColours) ++field;
    m_bytes.push_back(uint8_t((localColours ? 0x80 | field : 0) | (interlaced ? 0x40 : 0)));
    for (int i = 0; localColours && i < (2 << field); ++i) Colour(i, localShift);
    return Raw(data);
  }
  GifBuilder& Raw(const Bytes& bytes) {
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
  }
  const Bytes& Data() const { return m_bytes; }
  Bytes End() {
    m_bytes.push_back(';');
    return m_bytes;
  }

 private:
  Bytes m_bytes;
};

// The blocks of a GIF file, as the tests look at them.
struct ParsedImage {
  uint32_t left, top, width, height;
  uint8_t flags;
  int tableEntries;
  int codeSize;
  std::vector<int> blockSizes;
};
struct ParsedGif {
  bool ok = false;
  Bytes header;  // signature and screen descriptor, 13 bytes
  int globalEntries = 0;
  std::vector<Bytes> controls;  // each graphic control block, all 8 bytes
  std::vector<Bytes> comments;  // first sub-block of each comment
  std::vector<Bytes> loops;     // the data sub-block of each application block
  std::vector<ParsedImage> images;
};

inline ParsedGif Parse(const Bytes& b) {
  ParsedGif gif;
  size_t p = 13;
  if (b.size() < p) return gif;
  gif.header.assign(b.begin(), b.begin() + 13);
  if (b[10] & 0x80) gif.globalEntries = 2 << (b[10] & 7);
  p += size_t(gif.globalEntries) * 3;
  auto subBlocks = [&](std::vector<int>* sizes) {
    while (p < b.size() && b[p] != 0) {
      if (sizes) sizes->push_back(b[p]);
      p += 1 + b[p];
    }
    ++p;
  };
  while (p < b.size()) {
    const uint8_t tag = b[p++];
    if (tag == ';') {
      gif.ok = p == b.size();
      break;
    }
    if (tag == '!' && p + 1 < b.size()) {
      const uint8_t label = b[p];
      if (label == 0xF9) gif.controls.emplace_back(b.begin() + long(p) - 1, b.begin() + long(p) + 7);
      if (label == 0xFE) gif.comments.emplace_back(b.begin() + long(p) + 2, b.begin() + long(p) + 2 + b[p + 1]);
      if (label == 0xFF) {
        const size_t data = p + 2 + b[p + 1];
        gif.loops.emplace_back(b.begin() + long(data) + 1, b.begin() + long(data) + 1 + b[data]);
      }
      ++p;
      subBlocks(nullptr);
    } else if (tag == ',' && p + 9 <= b.size()) {
      ParsedImage image{};
      image.left = b[p] | b[p + 1] << 8;
      image.top = b[p + 2] | b[p + 3] << 8;
      image.width = b[p + 4] | b[p + 5] << 8;
      image.height = b[p + 6] | b[p + 7] << 8;
      image.flags = b[p + 8];
      p += 9;
      if (image.flags & 0x80) image.tableEntries = 2 << (image.flags & 7);
      p += size_t(image.tableEntries) * 3;
      image.codeSize = p < b.size() ? b[p] : -1;
      ++p;
      subBlocks(&image.blockSizes);
      gif.images.push_back(image);
    } else {
      break;
    }
  }
  return gif;
}

inline Bytes Encode(CDibImageGIF& gif, bool* ok = nullptr) {
  CMemoryStream stream;
  stream.Open();
  const bool done = gif.Encode(&stream);
  if (ok) *ok = done;
  const uint8_t* data = stream.GetBuffer(false);
  return Bytes(data, data + stream.Size());
}

inline Bytes EncodeFrames(CDibImageGIF& gif, std::vector<CDibImage*> frames, bool local = false,
                          bool localDisposal = false, bool* ok = nullptr) {
  CMemoryStream stream;
  stream.Open();
  const bool done = gif.Encode(&stream, frames.data(), int(frames.size()), local, localDisposal);
  if (ok) *ok = done;
  const uint8_t* data = stream.GetBuffer(false);
  return Bytes(data, data + stream.Size());
}

inline bool Decode(InspectableGif& gif, const Bytes& bytes, int frame = 0) {
  Bytes copy = bytes;
  CMemoryStream stream(copy.empty() ? nullptr : copy.data(), uint32_t(copy.size()));
  if (copy.empty()) stream.Open();
  gif.SetFrameToLoad(frame);
  return gif.Decode(&stream);
}

enum class Content { kNoise, kRuns };

// A paletted picture with a palette of distinct colours.
inline CDibImage* MakeIndexed(int32_t width, int32_t height, WORD bpp, Content content, uint32_t seed) {
  CDibImage* image = new CDibImage(width, height, bpp);
  const DWORD colours = image->GetNumColors();
  for (DWORD i = 0; i < colours; ++i)
    image->SetPaletteColor(i, BYTE(i * 13 + seed), BYTE(255 - i), BYTE(i * 101 + seed * 7));
  std::mt19937 random(seed);
  int run = 0, value = 0, length = 1;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      if (content == Content::kNoise) {
        value = int(random() % colours);
      } else if (run-- <= 0) {
        value = int(random() % colours);
        run = length = length % 300 + 1;  // runs of 1, 2, ... 300 pixels
      }
      image->SetPixelIndex(x, y, BYTE(value));
    }
  return image;
}

}  // namespace giftest
