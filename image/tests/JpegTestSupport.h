// Helpers of the JPEG and EXIF tests: test pictures, encoding to bytes,
// finding markers, and a builder for TIFF/EXIF blocks in either byte order.
#pragma once

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "image/formats/DibImageJPG.h"
#include "image/streams/MemoryStream.h"

namespace jpegtest {

using Bytes = std::vector<uint8_t>;

// A 24-bit picture with smooth ramps and a few hard edges, so that every
// option and sampling mode changes the compressed bytes.
inline std::unique_ptr<CDibImage> MakePicture(int32_t width, int32_t height) {
  auto image = std::make_unique<CDibImage>(width, height, 24);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      RGBQUAD c;
      c.rgbRed = BYTE(x * 255 / (width > 1 ? width - 1 : 1));
      c.rgbGreen = BYTE(y * 255 / (height > 1 ? height - 1 : 1));
      c.rgbBlue = BYTE(((x / 7 + y / 5) & 1) ? 220 : 30);
      c.rgbReserved = 0;
      image->SetPixelColor(x, y, c);
    }
  return image;
}

inline std::unique_ptr<CDibImage> MakeGreyPicture(int32_t width, int32_t height) {
  auto image = std::make_unique<CDibImage>(width, height, 8);
  image->SetGrayPalette();
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) image->SetPixelIndex(x, y, BYTE((x * 3 + y * 5) & 0xFF));
  return image;
}

inline Bytes StreamBytes(CMemoryStream& stream) {
  const uint8_t* data = stream.GetBuffer(false);
  const int32_t size = stream.Size();
  return data && size > 0 ? Bytes(data, data + size) : Bytes();
}

// The program always keeps the default quality and scale; the tests change them.
class TestJpg : public CDibImageJPG {
 public:
  void SetQuality(float quality) { m_info.jpegQuality = quality; }
  void SetScale(BYTE scale) { m_info.jpegScale = scale; }
};

// Encodes a view of `image`, as the dispatch does.
inline bool Encode(const CDibImage& image, Bytes& out, DWORD options = 0, float quality = 90.0f,
                   std::string* error = nullptr) {
  CMemoryStream stream;
  stream.Open();
  TestJpg codec;
  codec.Ghost(image);
  codec.SetCodecOption(options, CDibImage::kFormatJpg);
  codec.SetQuality(quality);
  const bool ok = codec.Encode(&stream);
  if (error) *error = codec.GetLastError();
  out = StreamBytes(stream);
  return ok;
}

inline bool Decode(CDibImageJPG& image, const Bytes& bytes) {
  Bytes copy = bytes;
  CMemoryStream stream(copy.data(), uint32_t(copy.size()));
  return image.Decode(&stream);
}

// Offset of the first marker 0xFF `type` before the scan data, or npos.
inline size_t FindMarker(const Bytes& jpeg, uint8_t type) {
  size_t at = 2;
  while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
    if (jpeg[at + 1] == type) return at;
    if (jpeg[at + 1] == 0xDA) break;
    at += 2 + (size_t(jpeg[at + 2]) << 8 | jpeg[at + 3]);
  }
  return std::string::npos;
}

// A marker section: 0xFF, type, big-endian length, body.
inline Bytes Section(uint8_t type, const Bytes& body) {
  Bytes out = {0xFF, type, uint8_t((body.size() + 2) >> 8), uint8_t(body.size() + 2)};
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

inline Bytes InsertAfterSoi(const Bytes& jpeg, const Bytes& sections) {
  Bytes out(jpeg.begin(), jpeg.begin() + 2);
  out.insert(out.end(), sections.begin(), sections.end());
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

// ---- TIFF blocks ----

struct Field {
  uint16_t tag;
  uint16_t format;
  uint32_t count;
  Bytes value;  // in file byte order; four bytes or fewer sit in the entry
};

struct Directory {
  std::vector<Field> fields;
  // Tag 0x8769 or 0xA005 and the directory it links to.
  std::vector<std::pair<uint16_t, std::shared_ptr<Directory>>> links;
  std::shared_ptr<Directory> next;
};

class TiffWriter {
 public:
  explicit TiffWriter(bool motorola) : m_motorola(motorola) {}

  Bytes U16(uint32_t v) const {
    return m_motorola ? Bytes{uint8_t(v >> 8), uint8_t(v)} : Bytes{uint8_t(v), uint8_t(v >> 8)};
  }
  Bytes U32(uint32_t v) const {
    return m_motorola ? Bytes{uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}
                      : Bytes{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
  }
  Field Ascii(uint16_t tag, const std::string& text) const {
    Bytes value(text.begin(), text.end());
    value.push_back(0);
    return {tag, 2, uint32_t(value.size()), value};
  }
  Field Short(uint16_t tag, uint32_t v) const { return {tag, 3, 1, U16(v)}; }
  Field Long(uint16_t tag, uint32_t v) const { return {tag, 4, 1, U32(v)}; }
  Field Rational(uint16_t tag, uint32_t num, uint32_t den, uint16_t format = 5) const {
    Bytes value = U32(num);
    const Bytes d = U32(den);
    value.insert(value.end(), d.begin(), d.end());
    return {tag, format, 1, value};
  }
  Field Float(uint16_t tag, float f) const {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return {tag, 11, 1, U32(bits)};
  }
  Field Double(uint16_t tag, double d) const {
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    Bytes value = m_motorola ? U32(uint32_t(bits >> 32)) : U32(uint32_t(bits));
    const Bytes rest = m_motorola ? U32(uint32_t(bits)) : U32(uint32_t(bits >> 32));
    value.insert(value.end(), rest.begin(), rest.end());
    return {tag, 12, 1, value};
  }
  Field Undefined(uint16_t tag, const Bytes& value) const { return {tag, 7, uint32_t(value.size()), value}; }

  // "Exif" 0 0, the TIFF header and the directory tree with IFD0 at offset 8.
  Bytes Exif(const Directory& root) {
    m_out.clear();
    Append(Bytes{m_motorola ? uint8_t('M') : uint8_t('I'), m_motorola ? uint8_t('M') : uint8_t('I')});
    Append(U16(42));
    Append(U32(8));
    Write(root);
    Bytes out = {'E', 'x', 'i', 'f', 0, 0};
    out.insert(out.end(), m_out.begin(), m_out.end());
    return out;
  }
  // Writes bytes at a TIFF offset of the last block (for corrupting it).
  void Patch(Bytes& exif, uint32_t tiffOffset, const Bytes& bytes) const {
    std::copy(bytes.begin(), bytes.end(), exif.begin() + 6 + tiffOffset);
  }

 private:
  void Append(const Bytes& b) { m_out.insert(m_out.end(), b.begin(), b.end()); }
  void Put(size_t at, const Bytes& b) { std::copy(b.begin(), b.end(), m_out.begin() + long(at)); }

  uint32_t Write(const Directory& dir) {
    const size_t at = m_out.size();
    const size_t entries = dir.fields.size() + dir.links.size();
    m_out.resize(at + 2 + 12 * entries + 4, 0);
    Put(at, U16(uint32_t(entries)));
    size_t entry = at + 2;
    for (const Field& f : dir.fields) {
      Put(entry, U16(f.tag));
      Put(entry + 2, U16(f.format));
      Put(entry + 4, U32(f.count));
      if (f.value.size() <= 4) {
        Put(entry + 8, f.value);
      } else {
        Put(entry + 8, U32(uint32_t(m_out.size())));
        Append(f.value);
      }
      entry += 12;
    }
    for (const auto& link : dir.links) {
      Put(entry, U16(link.first));
      Put(entry + 2, U16(4));
      Put(entry + 4, U32(1));
      const uint32_t offset = Write(*link.second);
      Put(entry + 8, U32(offset));
      entry += 12;
    }
    if (dir.next) {
      const uint32_t offset = Write(*dir.next);
      Put(at + 2 + 12 * entries, U32(offset));
    }
    return uint32_t(at);
  }

  bool m_motorola;
  Bytes m_out;
};

}  // namespace jpegtest
