#include "image/formats/JasSmallFormats.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "image/streams/ByteStream.h"

namespace {

const char kBadData[] = "error: cannot load image data";
const char kTooLarge[] = "error: cannot allocate memory";

const uint32_t kRasMagic = 0x59A66A95;

bool IsSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

uint32_t Be32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

void PutBe32(std::string& out, uint32_t v) {
  const char bytes[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
  out.append(bytes, 4);
}

// Bits needed for values up to `maxval`.
int BitsFor(uint32_t maxval) {
  int bits = 1;
  while (bits < 32 && (maxval >> bits) != 0) ++bits;
  return bits;
}

void ReadExactly(CByteStream& stream, void* buffer, size_t size) {
  if (size && stream.Read(buffer, 1, size) != size) throw kBadData;
}

// ---- PNM ----

// The next character that is not part of a comment; comments run from '#'
// to the end of the line.
int PnmGetC(CByteStream& stream) {
  int c = stream.GetC();
  if (c == '#') {
    while (c != '\n' && c != '\r' && c != -1) c = stream.GetC();
  }
  return c;
}

int PnmSkipSpace(CByteStream& stream) {
  int c;
  do c = PnmGetC(stream);
  while (IsSpace(c));
  return c;
}

// An unsigned decimal field; the character after it is consumed.
uint32_t PnmNumber(CByteStream& stream) {
  int c = PnmSkipSpace(stream);
  if (c < '0' || c > '9') throw kBadData;
  uint64_t value = 0;
  while (c >= '0' && c <= '9') {
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > INT32_MAX) throw kBadData;
    c = PnmGetC(stream);
  }
  if (c != -1 && !IsSpace(c)) throw kBadData;
  return static_cast<uint32_t>(value);
}

// Maps a sample of 0..maxval onto the full range of the component's bits.
class SampleScale {
 public:
  explicit SampleScale(uint32_t maxval) : m_maxval(maxval), m_top((uint64_t{1} << BitsFor(maxval)) - 1) {}
  int32_t operator()(uint32_t v) const {
    if (v > m_maxval) v = m_maxval;
    if (m_top == m_maxval) return static_cast<int32_t>(v);
    return static_cast<int32_t>((v * m_top + m_maxval / 2) / m_maxval);
  }

 private:
  uint64_t m_maxval;
  uint64_t m_top;
};

}  // namespace

JasComponent& JasPicture::AddComponent(uint32_t width, uint32_t height, int precision, bool isSigned,
                                       bool withSamples) {
  if (width == 0 || height == 0) throw kBadData;
  uint64_t total = static_cast<uint64_t>(width) * height;
  for (const JasComponent& c : components) total += static_cast<uint64_t>(c.width) * c.height;
  if (total > kJasMaxSamples) throw kTooLarge;
  JasComponent component;
  component.width = width;
  component.height = height;
  component.precision = precision;
  component.isSigned = isSigned;
  if (withSamples) {
    try {
      storage.emplace_back(static_cast<size_t>(width) * height, 0);
    } catch (const std::bad_alloc&) {
      throw kTooLarge;
    }
    component.samples = storage.back().data();
  }
  components.push_back(component);
  return components.back();
}

void JasReadPnm(CByteStream& stream, JasPicture& picture, bool headerOnly) {
  uint8_t magic[2];
  ReadExactly(stream, magic, 2);
  if (magic[0] != 'P' || magic[1] < '1' || magic[1] > '6') throw kBadData;
  const int kind = magic[1] - '0';
  const bool bitmap = kind == 1 || kind == 4;
  const bool colour = kind == 3 || kind == 6;
  const bool ascii = kind <= 3;

  const uint32_t width = PnmNumber(stream);
  const uint32_t height = PnmNumber(stream);
  const uint32_t maxval = bitmap ? 1 : PnmNumber(stream);
  if (maxval == 0 || maxval > 65535) throw kBadData;

  const int precision = BitsFor(maxval);
  const int planes = colour ? 3 : 1;
  for (int i = 0; i < planes; ++i) picture.AddComponent(width, height, precision, false, !headerOnly);
  picture.colourSpace = colour ? JasColourSpace::kRgb : JasColourSpace::kGrey;
  if (headerOnly) return;

  const SampleScale scale(maxval);
  const size_t pixels = static_cast<size_t>(width) * height;
  int32_t* plane[3] = {picture.components[0].samples, colour ? picture.components[1].samples : nullptr,
                       colour ? picture.components[2].samples : nullptr};

  if (ascii) {
    for (size_t i = 0; i < pixels; ++i)
      for (int p = 0; p < planes; ++p) {
        if (bitmap) {
          // Digits of a plain bitmap need no separators; 1 is black.
          const int c = PnmSkipSpace(stream);
          if (c != '0' && c != '1') throw kBadData;
          plane[p][i] = c == '1' ? 0 : 1;
        } else {
          plane[p][i] = scale(PnmNumber(stream));
        }
      }
    return;
  }

  const size_t sampleBytes = maxval > 255 ? 2 : 1;
  const size_t rowBytes = bitmap ? (static_cast<size_t>(width) + 7) / 8 : width * sampleBytes * planes;
  std::vector<uint8_t> row;
  try {
    row.resize(rowBytes);
  } catch (const std::bad_alloc&) {
    throw kTooLarge;
  }
  for (uint32_t y = 0; y < height; ++y) {
    ReadExactly(stream, row.data(), rowBytes);
    const size_t base = static_cast<size_t>(y) * width;
    for (uint32_t x = 0; x < width; ++x) {
      if (bitmap) {
        plane[0][base + x] = (row[x / 8] >> (7 - x % 8)) & 1 ? 0 : 1;
        continue;
      }
      for (int p = 0; p < planes; ++p) {
        const uint8_t* s = &row[(static_cast<size_t>(x) * planes + p) * sampleBytes];
        plane[p][base + x] = scale(sampleBytes == 2 ? (uint32_t{s[0]} << 8) | s[1] : s[0]);
      }
    }
  }
}

bool JasWritePnm(CByteStream& stream, const JasPicture& picture) {
  const JasComponent& first = picture.components[0];
  const bool colour = picture.components.size() == 3;
  const size_t pixels = static_cast<size_t>(first.width) * first.height;
  std::string out = std::string(colour ? "P6" : "P5") + "\n" + std::to_string(first.width) + " " +
                    std::to_string(first.height) + "\n255\n";
  out.reserve(out.size() + pixels * (colour ? 3 : 1));
  for (size_t i = 0; i < pixels; ++i)
    for (const JasComponent& c : picture.components) out.push_back(static_cast<char>(c.samples[i]));
  return stream.Write(out.data(), 1, out.size()) == out.size();
}

// ---- PGX ----

void JasReadPgx(CByteStream& stream, JasPicture& picture, bool headerOnly) {
  // "PG", byte order "ML" or "LM", optional sign, precision, width, height,
  // each separated by white space, then one white-space byte before the data.
  uint8_t magic[2];
  ReadExactly(stream, magic, 2);
  if (magic[0] != 'P' || magic[1] != 'G') throw kBadData;
  int c;
  do c = stream.GetC();
  while (c == ' ' || c == '\t');
  const int c2 = stream.GetC();
  bool bigEndian;
  if (c == 'M' && c2 == 'L') bigEndian = true;
  else if (c == 'L' && c2 == 'M') bigEndian = false;
  else throw kBadData;
  do c = stream.GetC();
  while (c == ' ' || c == '\t');
  bool isSigned = false;
  if (c == '+' || c == '-') {
    isSigned = c == '-';
    c = stream.GetC();
  }
  uint32_t fields[3];
  for (uint32_t& field : fields) {
    while (c == ' ' || c == '\t') c = stream.GetC();
    if (c < '0' || c > '9') throw kBadData;
    uint64_t value = 0;
    while (c >= '0' && c <= '9') {
      value = value * 10 + static_cast<uint64_t>(c - '0');
      if (value > INT32_MAX) throw kBadData;
      c = stream.GetC();
    }
    field = static_cast<uint32_t>(value);
  }
  // The byte that ended the height is the single separator before the data.
  if (!IsSpace(c)) throw kBadData;
  const uint32_t precision = fields[0], width = fields[1], height = fields[2];
  if (precision < 1 || precision > 16) throw kBadData;

  JasComponent& component =
      picture.AddComponent(width, height, static_cast<int>(precision), isSigned, !headerOnly);
  picture.colourSpace = JasColourSpace::kGrey;
  if (headerOnly) return;

  const size_t sampleBytes = precision <= 8 ? 1 : 2;
  const int64_t low = isSigned ? -(int64_t{1} << (precision - 1)) : 0;
  const int64_t high = isSigned ? (int64_t{1} << (precision - 1)) - 1 : (int64_t{1} << precision) - 1;
  std::vector<uint8_t> row;
  try {
    row.resize(width * sampleBytes);
  } catch (const std::bad_alloc&) {
    throw kTooLarge;
  }
  for (uint32_t y = 0; y < height; ++y) {
    ReadExactly(stream, row.data(), row.size());
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t* s = &row[x * sampleBytes];
      int64_t v;
      if (sampleBytes == 1) {
        v = isSigned ? static_cast<int8_t>(s[0]) : s[0];
      } else {
        const uint16_t raw = bigEndian ? static_cast<uint16_t>((s[0] << 8) | s[1])
                                       : static_cast<uint16_t>((s[1] << 8) | s[0]);
        v = isSigned ? static_cast<int16_t>(raw) : raw;
      }
      component.samples[static_cast<size_t>(y) * width + x] =
          static_cast<int32_t>(v < low ? low : v > high ? high : v);
    }
  }
}

bool JasWritePgx(CByteStream& stream, const JasPicture& picture) {
  const JasComponent& grey = picture.components[0];
  const size_t pixels = static_cast<size_t>(grey.width) * grey.height;
  std::string out = "PG ML + 8 " + std::to_string(grey.width) + " " + std::to_string(grey.height) + "\n";
  out.reserve(out.size() + pixels);
  for (size_t i = 0; i < pixels; ++i) out.push_back(static_cast<char>(grey.samples[i]));
  return stream.Write(out.data(), 1, out.size()) == out.size();
}

// ---- Sun raster ----

namespace {

// Rows of a raster file, stored as they are or run-length encoded. The
// encoding runs over the whole padded pixel data, so a run may cross rows:
// 0x80 N V repeats V N+1 times, 0x80 0 stands for one 0x80, any other byte
// for itself.
class RasRowReader {
 public:
  RasRowReader(CByteStream& stream, bool runLength) : m_stream(stream), m_runLength(runLength) {}

  void Next(uint8_t* row, size_t size) {
    if (!m_runLength) {
      ReadExactly(m_stream, row, size);
      return;
    }
    size_t filled = 0;
    while (filled < size) {
      if (m_runLeft == 0) StartRun();
      const size_t n = std::min(m_runLeft, size - filled);
      std::memset(row + filled, m_runValue, n);
      filled += n;
      m_runLeft -= n;
    }
  }

 private:
  void StartRun() {
    const uint8_t b = Byte();
    m_runValue = b;
    m_runLeft = 1;
    if (b != 0x80) return;
    const uint8_t count = Byte();
    if (count == 0) return;
    m_runValue = Byte();
    m_runLeft = size_t{count} + 1;
  }

  // A run cut short by the end of the file fails like any short read.
  uint8_t Byte() {
    if (m_next == m_end) {
      const size_t got = m_stream.Read(m_buffer, 1, sizeof m_buffer);
      if (got == 0) throw kBadData;
      m_next = m_buffer;
      m_end = m_buffer + got;
    }
    return *m_next++;
  }

  CByteStream& m_stream;
  const bool m_runLength;
  uint8_t m_buffer[4096];
  const uint8_t* m_next = m_buffer;
  const uint8_t* m_end = m_buffer;
  size_t m_runLeft = 0;
  uint8_t m_runValue = 0;
};

}  // namespace

void JasReadRas(CByteStream& stream, JasPicture& picture, bool headerOnly) {
  uint8_t header[32];
  ReadExactly(stream, header, sizeof header);
  if (Be32(header) != kRasMagic) throw kBadData;
  const uint32_t width = Be32(header + 4), height = Be32(header + 8), depth = Be32(header + 12);
  const uint32_t type = Be32(header + 20), mapType = Be32(header + 24), mapLength = Be32(header + 28);
  // Old (0), standard (1) and run-length (2) layouts; RGB-ordered and other types are refused.
  const uint32_t kRunLength = 2;
  if (type > kRunLength) throw kBadData;
  if (depth != 1 && depth != 8 && depth != 24 && depth != 32) throw kBadData;
  if (width > INT32_MAX || height > INT32_MAX || mapType > 2) throw kBadData;

  // An RGB map (three equal runs of red, green and blue) makes indices colours.
  std::vector<uint8_t> map;
  if (mapLength > 0) {
    if (mapType == 1) {
      if (mapLength % 3 != 0 || mapLength > 3 * 256) throw kBadData;
      map.resize(mapLength);
      ReadExactly(stream, map.data(), mapLength);
    } else {
      if (mapLength > INT32_MAX || !stream.Seek(static_cast<int32_t>(mapLength), CByteStream::kFromCurrent))
        throw kBadData;
    }
  }
  const uint32_t mapEntries = static_cast<uint32_t>(map.size() / 3);
  const bool colour = depth > 8 || mapEntries > 0;
  const int precision = depth == 1 && !colour ? 1 : 8;
  for (int i = 0; i < (colour ? 3 : 1); ++i) picture.AddComponent(width, height, precision, false, !headerOnly);
  picture.colourSpace = colour ? JasColourSpace::kRgb : JasColourSpace::kGrey;
  if (headerOnly) return;

  // Rows are padded to 16 bits.
  const size_t rowBytes = static_cast<size_t>(((static_cast<uint64_t>(width) * depth + 15) / 16) * 2);
  std::vector<uint8_t> row;
  try {
    row.resize(rowBytes);
  } catch (const std::bad_alloc&) {
    throw kTooLarge;
  }
  int32_t* red = picture.components[0].samples;
  int32_t* green = colour ? picture.components[1].samples : nullptr;
  int32_t* blue = colour ? picture.components[2].samples : nullptr;
  RasRowReader rows(stream, type == kRunLength);
  for (uint32_t y = 0; y < height; ++y) {
    rows.Next(row.data(), rowBytes);
    const size_t base = static_cast<size_t>(y) * width;
    for (uint32_t x = 0; x < width; ++x) {
      const size_t i = base + x;
      if (depth == 24 || depth == 32) {
        // Blue, green, red; a 32-bit pixel has a pad byte in front.
        const uint8_t* p = &row[static_cast<size_t>(x) * (depth / 8) + (depth == 32 ? 1 : 0)];
        blue[i] = p[0];
        green[i] = p[1];
        red[i] = p[2];
        continue;
      }
      const uint32_t index = depth == 8 ? row[x] : (row[x / 8] >> (7 - x % 8)) & 1;
      if (colour) {
        const bool known = index < mapEntries;
        red[i] = known ? map[index] : 0;
        green[i] = known ? map[mapEntries + index] : 0;
        blue[i] = known ? map[2 * mapEntries + index] : 0;
      } else if (depth == 1) {
        red[i] = index ? 0 : 1;  // a set bit is black
      } else {
        red[i] = static_cast<int32_t>(index);
      }
    }
  }
}

bool JasWriteRas(CByteStream& stream, const JasPicture& picture) {
  const JasComponent& first = picture.components[0];
  const bool colour = picture.components.size() == 3;
  const uint32_t depth = colour ? 24 : 8;
  const size_t rowBytes = static_cast<size_t>(((static_cast<uint64_t>(first.width) * depth + 15) / 16) * 2);
  const uint64_t length = static_cast<uint64_t>(rowBytes) * first.height;
  if (length > UINT32_MAX) return false;

  std::string out;
  PutBe32(out, kRasMagic);
  PutBe32(out, first.width);
  PutBe32(out, first.height);
  PutBe32(out, depth);
  PutBe32(out, static_cast<uint32_t>(length));
  PutBe32(out, 1);  // standard layout
  PutBe32(out, 0);  // no colour map
  PutBe32(out, 0);
  out.reserve(out.size() + length);
  std::string row(rowBytes, '\0');
  for (uint32_t y = 0; y < first.height; ++y) {
    const size_t base = static_cast<size_t>(y) * first.width;
    for (uint32_t x = 0; x < first.width; ++x) {
      if (colour) {
        row[3 * static_cast<size_t>(x)] = static_cast<char>(picture.components[2].samples[base + x]);
        row[3 * static_cast<size_t>(x) + 1] = static_cast<char>(picture.components[1].samples[base + x]);
        row[3 * static_cast<size_t>(x) + 2] = static_cast<char>(picture.components[0].samples[base + x]);
      } else {
        row[x] = static_cast<char>(first.samples[base + x]);
      }
    }
    out += row;
  }
  return stream.Write(out.data(), 1, out.size()) == out.size();
}
