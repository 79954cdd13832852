// The GIF class and its writer. The reader is in DibImageGIFReader.cpp.
#include "image/formats/DibImageGIF.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "image/formats/GifEncoder.h"
#include "image/streams/ByteStream.h"

namespace {

const char kWriteError[] = "Write Error in GIF file";
const char kTooLarge[] = "GIF width and height are limited to 65535 pixels";
const char kBadOffset[] = "GIF frame offset outside 0-65535, or the frame ends beyond 65535";
const int kMaxDimension = 65535;
const int kTileWidth = 17;
const int kTileHeight = 15;

// Buffered output that remembers whether the stream ever took less than it
// was given, so a full disk is reported instead of a truncated "success".
class GifWriter final : public gif::ByteSink {
 public:
  explicit GifWriter(CByteStream* stream) : m_stream(stream) { m_buffer.reserve(kChunk); }

  void Put(BYTE value) override {
    m_buffer.push_back(value);
    if (m_buffer.size() >= kChunk) Drain();
  }
  void Put(const BYTE* data, size_t length) override {
    m_buffer.insert(m_buffer.end(), data, data + length);
    if (m_buffer.size() >= kChunk) Drain();
  }
  void Word(uint32_t value) {
    Put(static_cast<BYTE>(value & 0xFF));
    Put(static_cast<BYTE>((value >> 8) & 0xFF));
  }
  void Text(const char* text) { Put(reinterpret_cast<const BYTE*>(text), std::strlen(text)); }

  // Everything written and the stream healthy.
  bool Finish() {
    Drain();
    if (!m_stream->Flush()) m_failed = true;
    if (m_stream->Error() != 0) m_failed = true;
    return !m_failed;
  }

 private:
  static constexpr size_t kChunk = 65536;
  void Drain() {
    if (m_buffer.empty()) return;
    if (m_stream->Write(m_buffer.data(), 1, m_buffer.size()) != m_buffer.size()) m_failed = true;
    m_buffer.clear();
  }

  CByteStream* m_stream;
  std::vector<BYTE> m_buffer;
  bool m_failed = false;
};

// Palette indices of an indexed image, top row first, as the encoders ask for them.
class ImageFeed {
 public:
  explicit ImageFeed(const CDibImage& image)
      : m_image(image),
        m_width(static_cast<int32_t>(image.GetWidth())),
        m_row(static_cast<int32_t>(image.GetHeight())),
        m_bpp(image.GetBpp()),
        m_unpacked(m_width) {
    LoadRow();
  }
  int Next() {
    if (m_x == m_width) {
      LoadRow();
      if (!m_current) return -1;
    }
    return m_current[m_x++];
  }

 private:
  // The next row down the picture; rows are stored bottom-up.
  void LoadRow() {
    m_x = 0;
    if (--m_row < 0) {
      m_current = nullptr;
      return;
    }
    const BYTE* bits = m_image.GetBits(0) + static_cast<size_t>(m_row) * m_image.GetEffWidth();
    if (m_bpp == 8) {
      m_current = bits;
      return;
    }
    for (int32_t x = 0; x < m_width; ++x)
      m_unpacked[x] = m_bpp == 4 ? static_cast<BYTE>((x & 1) ? bits[x >> 1] & 0x0F : bits[x >> 1] >> 4)
                                 : static_cast<BYTE>((bits[x >> 3] >> (7 - (x & 7))) & 1);
    m_current = m_unpacked.data();
  }

  const CDibImage& m_image;
  int32_t m_width;
  int32_t m_row;
  WORD m_bpp;
  int32_t m_x = 0;
  const BYTE* m_current = nullptr;
  std::vector<BYTE> m_unpacked;
};

// Indices held in memory (a tile of a true-colour image).
class BufferFeed {
 public:
  BufferFeed(const BYTE* data, size_t length) : m_data(data), m_length(length) {}
  int Next() { return m_pos < m_length ? m_data[m_pos++] : -1; }

 private:
  const BYTE* m_data;
  size_t m_length;
  size_t m_pos = 0;
};

int CodeSizeFor(WORD bpp) {
  return bpp <= 1 ? 2 : bpp;
}

template <class Feed>
void WritePixels(gif::ByteSink& out, Feed& feed, int codeSize, DWORD mode, gif::LzwTables& tables) {
  out.Put(static_cast<BYTE>(codeSize));
  if (mode == CDibImageGIF::kCompressNone) gif::EncodeUncompressed(feed, codeSize, out);
  else if (mode == CDibImageGIF::kCompressRle) gif::EncodeRunLength(feed, codeSize, out);
  else gif::EncodeLzw(feed, codeSize, out, tables);
  out.Put(0);  // block terminator
}

void WriteColourTable(GifWriter& out, const CDibImage& image) {
  const DWORD entries = 1u << image.GetBpp();
  for (DWORD i = 0; i < entries; ++i) {
    const RGBQUAD c = image.GetPaletteColor(i);  // black beyond the palette
    out.Put(c.rgbRed);
    out.Put(c.rgbGreen);
    out.Put(c.rgbBlue);
  }
}

void WriteHeader(GifWriter& out, uint32_t screenWidth, uint32_t screenHeight, const CDibImage* palette) {
  out.Text("GIF89a");
  out.Word(screenWidth);
  out.Word(screenHeight);
  if (!palette) {
    out.Put(0x11);
  } else {
    const int bits = palette->GetBpp() - 1;
    out.Put(static_cast<BYTE>(0x80 | ((bits << 5) & 0xFF) | bits));
  }
  out.Put(0);  // background index
  out.Put(0);  // aspect ratio
  if (palette) WriteColourTable(out, *palette);
}

// Transparency is a palette index the image actually has.
bool HasTransparentIndex(const CDibImage& image) {
  const int32_t index = image.GetTransIndex();
  return index >= 0 && static_cast<DWORD>(index) < image.GetNumColors();
}

void WriteGraphicControl(GifWriter& out, bool transparent, BYTE transIndex, BYTE disposal, DWORD delay) {
  out.Put(0x21);
  out.Put(0xF9);
  out.Put(4);
  out.Put(static_cast<BYTE>((transparent ? 1 : 0) | ((disposal & 7) << 2)));
  out.Word(std::min<DWORD>(delay, 0xFFFF));
  out.Put(transparent ? transIndex : 0xFF);
  out.Put(0);
}

void WriteComment(GifWriter& out, const char* comment) {
  const size_t length = std::min<size_t>(std::strlen(comment), 255);
  if (length == 0) return;
  out.Put(0x21);
  out.Put(0xFE);
  out.Put(static_cast<BYTE>(length));
  out.Put(reinterpret_cast<const BYTE*>(comment), length);
  out.Put(0);
}

void WriteLoop(GifWriter& out, int loops) {
  out.Put(0x21);
  out.Put(0xFF);
  out.Put(11);
  out.Text("NETSCAPE2.0");
  out.Put(3);
  out.Put(1);
  out.Word(static_cast<uint32_t>(std::min(loops, 0xFFFF)));
  out.Put(0);
}

void WriteDescriptor(GifWriter& out, int32_t left, int32_t top, uint32_t width, uint32_t height, int localBits) {
  out.Put(0x2C);
  out.Word(static_cast<uint32_t>(left));
  out.Word(static_cast<uint32_t>(top));
  out.Word(width);
  out.Word(height);
  out.Put(static_cast<BYTE>(localBits > 0 ? 0x80 | (localBits - 1) : 0));
}

// An indexed image as one GIF image: descriptor, optional local table, data.
void WriteIndexedImage(GifWriter& out, const CDibImage& image, int32_t left, int32_t top, bool localTable,
                       gif::LzwTables& tables) {
  WriteDescriptor(out, left, top, image.GetWidth(), image.GetHeight(), localTable ? image.GetBpp() : 0);
  if (localTable) WriteColourTable(out, image);
  ImageFeed feed(image);
  WritePixels(out, feed, CodeSizeFor(image.GetBpp()), image.GetCodecOption(CDibImage::kFormatGif), tables);
}

// The frame's extent inside the logical screen must fit the 16-bit fields.
const char* CheckGeometry(const CDibImage& image, int32_t left, int32_t top) {
  if (image.GetWidth() > kMaxDimension || image.GetHeight() > kMaxDimension) return kTooLarge;
  if (left < 0 || top < 0 || static_cast<int64_t>(left) + image.GetWidth() > kMaxDimension ||
      static_cast<int64_t>(top) + image.GetHeight() > kMaxDimension)
    return kBadOffset;
  return nullptr;
}

// A palette the global table already holds needs no table of its own.
bool SamePalette(const CDibImage& frame, const CDibImage& global) {
  const DWORD count = frame.GetNumColors();
  if (count > global.GetNumColors()) return false;
  const RGBQUAD* a = frame.GetPalette();
  const RGBQUAD* b = global.GetPalette();
  for (DWORD i = 0; i < count; ++i)
    if (a[i].rgbRed != b[i].rgbRed || a[i].rgbGreen != b[i].rgbGreen || a[i].rgbBlue != b[i].rgbBlue) return false;
  return true;
}

// Small map from a colour to the first tile-palette entry that holds it.
class TileColourIndex {
 public:
  void Reset() { std::fill(std::begin(m_keys), std::end(m_keys), kEmpty); }
  // The first index stored for `colour`, or `index` after storing it.
  BYTE FirstOf(uint32_t colour, BYTE index) {
    uint32_t slot = (colour * 2654435761u) >> 23;  // 9 bits
    while (m_keys[slot] != kEmpty) {
      if (m_keys[slot] == colour) return m_values[slot];
      slot = (slot + 1) & 511;
    }
    m_keys[slot] = colour;
    m_values[slot] = index;
    return index;
  }

 private:
  static constexpr uint32_t kEmpty = 0xFFFFFFFFu;  // colours use only 24 bits
  uint32_t m_keys[512];
  BYTE m_values[512];
};

uint32_t Packed(const RGBQUAD& c) {
  return static_cast<uint32_t>(c.rgbRed) << 16 | static_cast<uint32_t>(c.rgbGreen) << 8 | c.rgbBlue;
}

}  // namespace

CDibImageGIF::CDibImageGIF() : CDibImage(kFormatGif), m_control{}, m_comment{}, m_loops(0) {}

CDibImageGIF::FrameSettings CDibImageGIF::SettingsOf(const CDibImage& frame) {
  CDibImageGIF view;
  view.Ghost(frame);
  return FrameSettings{view.m_info.xOffset, view.m_info.yOffset, view.m_info.frameDelay, view.m_info.disposalMethod};
}

void CDibImageGIF::SetComment(const char* text) {
  if (!text) return;
  size_t length = 0;
  while (length < sizeof m_comment - 1 && text[length]) ++length;
  std::memcpy(m_comment, text, length);
  m_comment[length] = '\0';
}

bool CDibImageGIF::Encode(CByteStream* stream) {
  if (EncodeSafeCheck(stream)) return false;
  if (GetBpp() > 8) return EncodeTrueColour(stream);
  // The count alone says nothing: a decoded file reports its frames without
  // holding them.
  if (m_frames && m_info.frameCount > 1) return Encode(stream, m_frames, m_info.frameCount, false, false);

  const int32_t left = m_info.xOffset, top = m_info.yOffset;
  if (const char* problem = CheckGeometry(*this, left, top)) {
    SetLastErrorText(problem);
    return false;
  }
  GifWriter out(stream);
  WriteHeader(out, static_cast<uint32_t>(left) + GetWidth(), static_cast<uint32_t>(top) + GetHeight(), this);
  const bool transparent = HasTransparentIndex(*this);
  WriteGraphicControl(out, transparent, static_cast<BYTE>(m_info.transIndex), m_info.disposalMethod,
                      m_info.frameDelay);
  WriteComment(out, m_comment);
  gif::LzwTables tables;
  WriteIndexedImage(out, *this, left, top, false, tables);
  out.Put(0x3B);
  if (!out.Finish()) {
    SetLastErrorText(kWriteError);
    return false;
  }
  return true;
}

bool CDibImageGIF::Encode(CByteStream* stream, CDibImage* const* frames, int count, bool localColourMap,
                          bool localDisposal) {
  if (!stream) {
    SetLastErrorText("invalid file pointer");
    return false;
  }
  if (!frames || count <= 0 || !frames[0]) {
    SetLastErrorText("multipage GIF, no images!");
    return false;
  }
  // Everything is checked before the first byte goes out.
  uint32_t screenWidth = 0, screenHeight = 0;
  for (int i = 0; i < count; ++i) {
    const CDibImage* frame = frames[i];
    if (!frame) {
      SetLastErrorText("Bad image pointer");
      return false;
    }
    if (!frame->IsValid()) {
      SetLastErrorText("Empty image");
      return false;
    }
    if (frame->GetNumColors() == 0 || frame->GetBpp() > 8) {
      SetLastErrorText(
          "CDibImageGIF::Encode cannot create animated GIFs with a true color frame. Use DecreaseBpp before");
      return false;
    }
    const FrameSettings settings = SettingsOf(*frame);
    const int32_t left = settings.left, top = settings.top;
    if (const char* problem = CheckGeometry(*frame, left, top)) {
      SetLastErrorText(problem);
      return false;
    }
    // The logical screen holds every frame.
    screenWidth = std::max<uint32_t>(screenWidth, static_cast<uint32_t>(left) + frame->GetWidth());
    screenHeight = std::max<uint32_t>(screenHeight, static_cast<uint32_t>(top) + frame->GetHeight());
  }

  const CDibImage& first = *frames[0];
  gif::LzwTables tables;
  GifWriter out(stream);
  WriteHeader(out, screenWidth, screenHeight, &first);
  if (m_loops != 1) WriteLoop(out, std::max(m_loops - 1, 0));
  for (int i = 0; i < count; ++i) {
    const CDibImage& frame = *frames[i];
    const FrameSettings settings = SettingsOf(frame);
    const BYTE disposal = localDisposal ? settings.disposal : m_info.disposalMethod;
    WriteGraphicControl(out, HasTransparentIndex(frame), static_cast<BYTE>(frame.GetTransIndex()), disposal,
                        settings.delay);
    if (i == 0) WriteComment(out, m_comment);
    const bool localTable = i > 0 && (localColourMap || !SamePalette(frame, first));
    WriteIndexedImage(out, frame, settings.left, settings.top, localTable, tables);
  }
  out.Put(0x3B);
  if (!out.Finish()) {
    SetLastErrorText(kWriteError);
    return false;
  }
  return true;
}

bool CDibImageGIF::EncodeTrueColour(CByteStream* stream) {
  if (GetWidth() > kMaxDimension || GetHeight() > kMaxDimension) {
    SetLastErrorText(kTooLarge);
    return false;
  }
  const int32_t width = static_cast<int32_t>(GetWidth());
  const int32_t height = static_cast<int32_t>(GetHeight());
  const bool transparent = m_info.transIndex >= 0;
  const RGBQUAD transColour = GetTransColor();

  GifWriter out(stream);
  WriteHeader(out, static_cast<uint32_t>(width), static_cast<uint32_t>(height), nullptr);
  WriteComment(out, m_comment);

  RGBQUAD palette[256];
  BYTE indices[kTileWidth * kTileHeight];
  TileColourIndex firstIndex;
  gif::LzwTables tables;
  for (int32_t top = 0; top < height; top += kTileHeight) {
    const int32_t tileHeight = std::min(kTileHeight, height - top);
    for (int32_t left = 0; left < width; left += kTileWidth) {
      const int32_t tileWidth = std::min(kTileWidth, width - left);
      std::memset(palette, 0, sizeof palette);
      firstIndex.Reset();
      if (transparent) palette[0] = transColour;
      // Entry 0 is always there, so a pixel of that colour shares it.
      firstIndex.FirstOf(Packed(palette[0]), 0);
      // Entry 1 + k + 17j holds the pixel at column k of tile row j counted
      // from the tile's bottom; a colour met before reuses its first entry.
      for (int32_t j = 0; j < tileHeight; ++j) {
        const int32_t row = height - top - tileHeight + j;  // DIB row, bottom-up
        const int32_t screenRow = tileHeight - 1 - j;
        for (int32_t k = 0; k < tileWidth; ++k) {
          const BYTE entry = static_cast<BYTE>(1 + k + kTileWidth * j);
          palette[entry] = BlindGetPixelColor(left + k, row, false);
          palette[entry].rgbReserved = 0;
          indices[screenRow * tileWidth + k] = firstIndex.FirstOf(Packed(palette[entry]), entry);
        }
      }
      WriteGraphicControl(out, transparent, 0, 0, 0);
      WriteDescriptor(out, left, top, static_cast<uint32_t>(tileWidth), static_cast<uint32_t>(tileHeight), 8);
      for (const RGBQUAD& c : palette) {
        out.Put(c.rgbRed);
        out.Put(c.rgbGreen);
        out.Put(c.rgbBlue);
      }
      BufferFeed feed(indices, static_cast<size_t>(tileWidth) * tileHeight);
      WritePixels(out, feed, 8, kCompressLzw, tables);
    }
  }
  out.Put(0x3B);
  if (!out.Finish()) {
    SetLastErrorText(kWriteError);
    return false;
  }
  return true;
}
