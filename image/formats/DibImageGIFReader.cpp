// The GIF reader: one frame of a GIF87a/89a file, drawn over the frames
// before it as their disposal methods say, on an image of the logical
// screen's size. A file of the writer's true-colour tiles becomes one 24-bit
// image again.
//
// The file is walked twice: first to count the frames and learn what the
// canvas needs, then to draw. Everything between images is skipped by its
// structure (colour tables, sub-blocks), so a damaged image costs only itself.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "image/formats/DibImageGIF.h"
#include "image/streams/ByteStream.h"

namespace {

const char kNotGif[] = "Not a GIF file";
const char kTableTruncated[] = "GIF colour table truncated";
const char kNoImage[] = "GIF file contains no image";
const char kNoSuchFrame[] = "GIF frame to load out of range";
const char kCancelled[] = "GIF decode cancelled";
const char kNoMemory[] = "GIF decode: out of memory";
const char kScreenTooLarge[] = "GIF logical screen larger than 67108864 pixels";
// Far beyond any real GIF; it keeps a tiny file that declares a huge screen
// (and frames that fill it) from costing seconds and gigabytes.
const uint64_t kMaxCanvasPixels = uint64_t(1) << 26;

// Buffered reading; the stream is positioned behind the bytes actually used
// when the reader is done (Settle).
class GifInput {
 public:
  explicit GifInput(CByteStream* stream) : m_stream(stream), m_base(stream->Tell()) {}

  // The next byte, -1 at the end.
  int Byte() {
    if (m_pos == m_length && !Refill()) return -1;
    return m_buffer[m_pos++];
  }
  bool Read(BYTE* out, size_t count) {
    while (count > 0) {
      if (m_pos == m_length && !Refill()) return false;
      const size_t n = std::min(count, m_length - m_pos);
      std::memcpy(out, m_buffer + m_pos, n);
      m_pos += n;
      out += n;
      count -= n;
    }
    return true;
  }
  bool Skip(size_t count) {
    while (count > 0) {
      if (m_pos == m_length && !Refill()) return false;
      const size_t n = std::min(count, m_length - m_pos);
      m_pos += n;
      count -= n;
    }
    return true;
  }
  // Sub-blocks up to and including the terminator; false at the end of the stream.
  bool SkipSubBlocks() {
    for (;;) {
      const int size = Byte();
      if (size < 0) return false;
      if (size == 0) return true;
      if (!Skip(static_cast<size_t>(size))) return false;
    }
  }
  int64_t Position() const { return m_base + static_cast<int64_t>(m_pos); }
  bool Rewind(int64_t position) {
    if (position < 0 || position > INT32_MAX ||
        !m_stream->Seek(static_cast<int32_t>(position), CByteStream::kFromStart))
      return false;
    m_base = position;
    m_pos = m_length = 0;
    return true;
  }
  void Settle() {
    if (m_length > m_pos) m_stream->Seek(-static_cast<int32_t>(m_length - m_pos), CByteStream::kFromCurrent);
    m_base = Position();
    m_pos = m_length = 0;
  }

 private:
  bool Refill() {
    m_base += static_cast<int64_t>(m_length);
    m_pos = 0;
    m_length = m_stream->Read(m_buffer, 1, sizeof m_buffer);
    return m_length > 0;
  }

  CByteStream* m_stream;
  int64_t m_base;  // stream position of m_buffer[0]
  BYTE m_buffer[16383];
  size_t m_pos = 0;
  size_t m_length = 0;
};

// The bits of an image's data sub-blocks, least significant first.
class CodeReader {
 public:
  enum { kEndOfData = -2, kEndOfStream = -1 };
  explicit CodeReader(GifInput& in) : m_in(in) {}

  // A code, kEndOfData at the block terminator or kEndOfStream.
  int Read(int width) {
    while (m_bits < width) {
      if (m_left == 0) {
        if (m_terminated) return kEndOfData;
        const int size = m_in.Byte();
        if (size < 0) return Ended();
        if (size == 0) {
          m_terminated = true;
          return kEndOfData;
        }
        m_left = size;
      }
      const int value = m_in.Byte();
      if (value < 0) return Ended();
      --m_left;
      m_accumulator |= static_cast<uint32_t>(value) << m_bits;
      m_bits += 8;
    }
    const int code = static_cast<int>(m_accumulator & ((1u << width) - 1));
    m_accumulator >>= width;
    m_bits -= width;
    return code;
  }
  // Steps over what is left of the data, terminator included.
  bool SkipRest() {
    if (m_terminated) return true;
    if (m_streamEnded || !m_in.Skip(static_cast<size_t>(m_left))) return false;
    m_left = 0;
    m_terminated = true;
    return m_in.SkipSubBlocks();
  }
  bool StreamEnded() const { return m_streamEnded; }

 private:
  int Ended() {
    m_streamEnded = true;
    return kEndOfStream;
  }

  GifInput& m_in;
  int m_left = 0;
  uint32_t m_accumulator = 0;
  int m_bits = 0;
  bool m_terminated = false;
  bool m_streamEnded = false;
};

// Rows of a frame (from its top) in the order its data holds them: in
// order, or the four interlace passes. Exactly `height` rows either way.
class RowOrder {
 public:
  RowOrder(uint32_t height, bool interlaced) : m_height(height), m_interlaced(interlaced) {}
  // The next row, -1 when every row has been given.
  int64_t Next() {
    if (m_given == m_height) return -1;
    ++m_given;
    if (!m_interlaced) return m_row++;
    static const uint32_t kStart[4] = {0, 4, 2, 1};
    static const uint32_t kStep[4] = {8, 8, 4, 2};
    while (m_row >= m_height) m_row = kStart[++m_pass];  // a pass with no rows is passed over
    const int64_t row = m_row;
    m_row += kStep[m_pass];
    return row;
  }

 private:
  uint32_t m_height;
  bool m_interlaced;
  uint32_t m_given = 0;
  uint32_t m_row = 0;
  int m_pass = 0;
};

enum class LzwResult { kComplete, kTruncated, kBadCode, kBadCodeSize };

// The decoder's string table, kept from one image to the next.
struct LzwTables {
  std::vector<uint16_t> prefix = std::vector<uint16_t>(4096);
  std::vector<BYTE> suffix = std::vector<BYTE>(4096);
  std::vector<BYTE> stack = std::vector<BYTE>(4097);
  std::vector<BYTE> line;
};

// Decodes one image's codes into lines of `width` indices for `line`
// (bool(const BYTE*, uint32_t length), false when no more lines are wanted).
template <class LineSink>
LzwResult DecodeLzw(CodeReader& codes, int codeSize, uint32_t width, LzwTables& tables, LineSink&& line) {
  if (codeSize < 2 || codeSize > 8) return LzwResult::kBadCodeSize;
  const int clear = 1 << codeSize;
  const int end = clear + 1;
  const int firstFree = clear + 2;
  int codeWidth = codeSize + 1;
  int nextSlot = firstFree;
  int topSlot = 1 << codeWidth;

  std::vector<uint16_t>& prefix = tables.prefix;
  std::vector<BYTE>& suffix = tables.suffix;
  std::vector<BYTE>& stack = tables.stack;
  std::vector<BYTE>& buffer = tables.line;
  buffer.resize(width);
  uint32_t filled = 0;
  int oldCode = -1;
  BYTE firstChar = 0;
  LzwResult result = LzwResult::kComplete;

  auto emit = [&](const BYTE* top, const BYTE* bottom) {  // stack holds the string reversed
    while (top > bottom) {
      buffer[filled++] = *--top;
      if (filled == width) {
        filled = 0;
        if (!line(buffer.data(), width)) return false;
      }
    }
    return true;
  };

  for (;;) {
    int code = codes.Read(codeWidth);
    if (code == CodeReader::kEndOfStream) return LzwResult::kTruncated;
    if (code == CodeReader::kEndOfData || code == end) break;
    if (code == clear) {
      codeWidth = codeSize + 1;
      nextSlot = firstFree;
      topSlot = 1 << codeWidth;
      oldCode = -1;
      continue;
    }
    BYTE* top = stack.data();
    if (oldCode < 0) {
      // First code of a table: only a literal makes sense.
      if (code >= nextSlot) code = 0;
      firstChar = static_cast<BYTE>(code);
      *top++ = firstChar;
      oldCode = code;
      if (!emit(top, stack.data())) return LzwResult::kComplete;
      continue;
    }
    if (code > nextSlot) {
      // Nothing after a code the table cannot hold means anything.
      result = LzwResult::kBadCode;
      break;
    }
    const int incoming = code;
    if (code == nextSlot) {  // the string just being defined: old string + its first character
      *top++ = firstChar;
      code = oldCode;
    }
    // Every entry's prefix is an earlier entry, so the walk ends.
    while (code >= firstFree) {
      *top++ = suffix[code];
      code = prefix[code];
    }
    firstChar = static_cast<BYTE>(code);
    *top++ = firstChar;
    if (nextSlot < 4096) {
      prefix[nextSlot] = static_cast<uint16_t>(oldCode);
      suffix[nextSlot] = firstChar;
      ++nextSlot;
      if (nextSlot >= topSlot && codeWidth < 12) {
        ++codeWidth;
        topSlot <<= 1;
      }
    }
    oldCode = incoming;
    if (!emit(top, stack.data())) return LzwResult::kComplete;
  }
  if (filled > 0) line(buffer.data(), filled);
  return result;
}

RGBQUAD Quad(BYTE red, BYTE green, BYTE blue) {
  RGBQUAD q;
  q.rgbRed = red;
  q.rgbGreen = green;
  q.rgbBlue = blue;
  q.rgbReserved = 0;
  return q;
}

bool SameColour(const RGBQUAD& a, const RGBQUAD& b) {
  return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
}

WORD Le16(const BYTE* p) {
  return static_cast<WORD>(p[0] | (p[1] << 8));
}

// Sets `count` indices of a packed row from pixel `first` on, whole bytes at a time.
void FillIndices(BYTE* row, uint32_t bpp, uint32_t first, uint32_t count, BYTE index) {
  if (bpp == 8) {
    std::memset(row + first, index, count);
    return;
  }
  const uint32_t perByte = 8 / bpp;
  const BYTE mask = static_cast<BYTE>((1u << bpp) - 1);
  auto set = [&](uint32_t x) {
    const uint32_t shift = (perByte - 1 - x % perByte) * bpp;
    BYTE& byte = row[x / perByte];
    byte = static_cast<BYTE>((byte & ~(mask << shift)) | ((index & mask) << shift));
  };
  uint32_t x = first;
  const uint32_t end = first + count;
  for (; x < end && x % perByte; ++x) set(x);
  if (end - x >= perByte) {
    BYTE pattern = 0;
    for (uint32_t i = 0; i < perByte; ++i) pattern = static_cast<BYTE>(pattern << bpp | (index & mask));
    const uint32_t bytes = (end - x) / perByte;
    std::memset(row + x / perByte, pattern, bytes);
    x += bytes * perByte;
  }
  for (; x < end; ++x) set(x);
}

WORD BppFor(uint32_t colours) {
  return colours <= 2 ? 1 : colours <= 16 ? 4 : 8;
}

}  // namespace

class CDibImageGIF::Reader {
 public:
  Reader(CDibImageGIF& owner, CByteStream* stream) : m_owner(owner), m_in(stream) {}

  bool Run();

 private:
  struct Control {
    int32_t transIndex = -1;
    DWORD delay = 0;
    BYTE disposal = 0;
  };
  struct Frame {
    uint32_t left = 0, top = 0, width = 0, height = 0;
    bool interlaced = false;
    uint32_t colours = 0;  // entries of its colour table
    RGBQUAD palette[256];
    Control control;
  };
  enum class Pass { kCount, kDraw };
  enum class Step { kGoOn, kStop, kCancelled, kFailed };

  bool Fail(const char* message) {
    m_owner.SetLastErrorText(message);
    return false;
  }
  bool Cancelled() const { return m_owner.m_info.escape > 0; }
  Step Walk(Pass pass);
  bool ReadExtension();
  Step ReadImage(Pass pass);
  bool ReadColourTable(uint32_t colours, RGBQUAD* palette);
  bool DrawFrame(Frame& frame, int codeSize, bool& ok);
  bool PrepareCanvas(const Frame& frame);
  void Dispose();
  bool PromoteCanvas();
  void DrawLine(const Frame& frame, int64_t row, const BYTE* line, uint32_t length);
  bool Finish();

  CDibImageGIF& m_owner;
  GifInput m_in;

  // Logical screen.
  uint32_t m_screenWidth = 0, m_screenHeight = 0;
  uint32_t m_globalColours = 0;
  RGBQUAD m_globalPalette[256] = {};
  BYTE m_background = 0;
  int64_t m_blocksStart = 0;

  // What the counting pass learnt.
  int32_t m_frameCount = 0;
  int32_t m_target = 0;
  WORD m_canvasBpp = 1;
  int m_trueColourHints = 0;
  bool m_trueColour = false;

  // Drawing.
  Control m_control;  // of the next image
  int32_t m_frameIndex = 0;
  CDibImage m_canvas;
  bool m_canvasRgb = false;  // 24-bit: a true-colour file, or frames whose palettes disagree
  uint32_t m_canvasColours = 0;  // palette entries defined so far
  int32_t m_firstTrans = -1;
  Control m_targetControl;
  RGBQUAD m_lastPalette[256] = {};
  // The previous frame, to be disposed of before the next one is drawn.
  bool m_pendingDisposal = false;
  uint32_t m_disposeLeft = 0, m_disposeTop = 0, m_disposeWidth = 0, m_disposeHeight = 0;
  BYTE m_disposeMethod = 0;
  std::vector<BYTE> m_saved;  // the rows under a disposal-3 frame
  std::vector<BYTE> m_savedAlpha;
  LzwTables m_lzw;
};

bool CDibImageGIF::Decode(CByteStream* stream) {
  if (!stream) {
    SetLastErrorText("null file handler");
    return false;
  }
  try {
    Reader reader(*this, stream);
    return reader.Run();
  } catch (const std::bad_alloc&) {
    SetLastErrorText(kNoMemory);
    return false;
  }
}

bool CDibImageGIF::Reader::Run() {
  BYTE header[13];
  if (!m_in.Read(header, sizeof header) || std::memcmp(header, "GIF8", 4) != 0) return Fail(kNotGif);
  m_screenWidth = Le16(header + 6);
  m_screenHeight = Le16(header + 8);
  const BYTE flags = header[10];

  if (m_owner.m_info.escape == -1) {
    m_owner.m_header.biWidth = static_cast<LONG>(m_screenWidth);
    m_owner.m_header.biHeight = static_cast<LONG>(m_screenHeight);
    m_owner.m_info.formatId = kFormatGif;
    m_owner.SetLastErrorText("output dimensions returned");
    m_in.Settle();
    return true;
  }

  m_globalColours = 2u << (flags & 7);
  if (flags & 0x80) {
    if (!ReadColourTable(m_globalColours, m_globalPalette)) return Fail(kTableTruncated);
    m_background = header[11];
  } else {
    // Without any table the indices are grey levels.
    for (uint32_t i = 0; i < 256; ++i)
      m_globalPalette[i] = Quad(static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i));
    ++m_trueColourHints;
  }
  m_blocksStart = m_in.Position();

  m_target = m_owner.m_info.frameToLoad;
  Step step = Walk(Pass::kCount);
  if (step == Step::kCancelled) return Fail(kCancelled);
  m_owner.m_info.frameCount = m_frameCount;
  if (m_frameCount == 0) return Fail(kNoImage);
  if (m_target < 0 || m_target >= m_frameCount) return Fail(kNoSuchFrame);
  if (static_cast<uint64_t>(m_screenWidth) * m_screenHeight > kMaxCanvasPixels) return Fail(kScreenTooLarge);
  // Tiles of the true-colour writer: no global table, several images, the
  // first smaller than the screen.
  m_trueColour = m_frameCount > 1 && m_trueColourHints >= 2;
  if (m_trueColour) m_target = m_frameCount - 1;

  if (!m_in.Rewind(m_blocksStart)) return Fail(kNotGif);
  m_control = Control{};
  step = Walk(Pass::kDraw);
  m_in.Settle();
  if (step == Step::kCancelled) return Fail(kCancelled);
  if (step == Step::kFailed) return false;
  if (!m_canvas.IsValid()) return Fail(kNoImage);
  return Finish();
}

bool CDibImageGIF::Reader::ReadColourTable(uint32_t colours, RGBQUAD* palette) {
  BYTE raw[768];
  if (!m_in.Read(raw, colours * 3)) return false;
  for (uint32_t i = 0; i < colours; ++i) palette[i] = Quad(raw[3 * i], raw[3 * i + 1], raw[3 * i + 2]);
  for (uint32_t i = colours; i < 256; ++i) palette[i] = Quad(0, 0, 0);
  return true;
}

CDibImageGIF::Reader::Step CDibImageGIF::Reader::Walk(Pass pass) {
  m_frameIndex = 0;
  bool previousWasZero = true;
  for (;;) {
    if (Cancelled()) return Step::kCancelled;
    const int byte = m_in.Byte();
    if (byte < 0) return Step::kStop;
    // After stray bytes, only a 0 byte brings the walk back in step.
    if (!previousWasZero) {
      previousWasZero = byte == 0;
      continue;
    }
    if (byte == '!') {
      if (!ReadExtension()) return Step::kStop;
    } else if (byte == ',') {
      const Step step = ReadImage(pass);
      if (step != Step::kGoOn) return step;
    } else if (byte == ';') {
      return Step::kStop;
    } else {
      previousWasZero = byte == 0;
    }
  }
}

bool CDibImageGIF::Reader::ReadExtension() {
  const int label = m_in.Byte();
  if (label < 0) return false;
  const int size = m_in.Byte();
  if (size < 0) return false;
  if (size == 0) return true;  // an extension without data
  BYTE block[255];
  if (!m_in.Read(block, static_cast<size_t>(size))) return false;

  if (label == 0xF9) {
    if (size != 4) return false;
    GraphicControl& record = m_owner.m_control;
    record.flags = block[0];
    record.delay = Le16(block + 1);
    record.transIndex = block[3];
    m_control.transIndex = (record.flags & 1) ? record.transIndex : -1;
    m_control.delay = record.delay;
    m_control.disposal = static_cast<BYTE>((record.flags >> 2) & 7);
  } else if (label == 0xFE) {
    std::memcpy(m_owner.m_comment, block, static_cast<size_t>(size));
    m_owner.m_comment[size] = '\0';
  } else if (label == 0xFF) {
    if (size != 11) return false;
    const bool looping = std::memcmp(block, "NETSCAPE2.0", 11) == 0 || std::memcmp(block, "ANIMEXTS1.0", 11) == 0;
    const int dataSize = m_in.Byte();
    if (dataSize < 0) return false;
    if (dataSize == 0) return true;
    BYTE data[255];
    if (!m_in.Read(data, static_cast<size_t>(dataSize))) return false;
    if (looping && dataSize >= 3 && data[0] == 1) m_owner.m_loops = data[1] | (data[2] << 8);
  }
  return m_in.SkipSubBlocks();
}

CDibImageGIF::Reader::Step CDibImageGIF::Reader::ReadImage(Pass pass) {
  BYTE descriptor[9];
  if (!m_in.Read(descriptor, sizeof descriptor)) return Step::kStop;
  Frame frame;
  frame.left = Le16(descriptor);
  frame.top = Le16(descriptor + 2);
  frame.width = Le16(descriptor + 4);
  frame.height = Le16(descriptor + 6);
  const BYTE flags = descriptor[8];
  frame.interlaced = (flags & 0x40) != 0;
  frame.control = m_control;
  // A graphic control block speaks for the one image after it.
  m_control = Control{};

  const bool localTable = (flags & 0x80) != 0;
  const bool draw = pass == Pass::kDraw;
  if (localTable) {
    frame.colours = 2u << (flags & 7);
    const bool read = draw ? ReadColourTable(frame.colours, frame.palette) : m_in.Skip(frame.colours * 3);
    if (!read) return Step::kStop;
  } else {
    frame.colours = m_globalColours;
    std::memcpy(frame.palette, m_globalPalette, sizeof frame.palette);
  }

  if (m_screenWidth == 0 && m_screenHeight == 0) {
    m_screenWidth = frame.width;
    m_screenHeight = frame.height;
  }
  const int codeSize = m_in.Byte();
  if (codeSize < 0) return Step::kStop;
  const bool fits = frame.width > 0 && frame.height > 0 && frame.left + frame.width <= m_screenWidth &&
                    frame.top + frame.height <= m_screenHeight;
  if (!fits) return m_in.SkipSubBlocks() ? Step::kGoOn : Step::kStop;

  const int32_t index = m_frameIndex++;
  if (!draw) {
    ++m_frameCount;
    if (index == 0 && (frame.width < m_screenWidth || frame.height < m_screenHeight)) ++m_trueColourHints;
    if (index <= m_target) m_canvasBpp = std::max(m_canvasBpp, BppFor(frame.colours));
    return m_in.SkipSubBlocks() ? Step::kGoOn : Step::kStop;
  }

  bool ok = true;
  const bool more = DrawFrame(frame, codeSize, ok);
  if (!ok) return Step::kFailed;
  if (Cancelled()) return Step::kCancelled;
  if (index == m_target) {
    m_targetControl = frame.control;
    std::memcpy(m_lastPalette, frame.palette, sizeof m_lastPalette);
    return Step::kStop;
  }
  return more ? Step::kGoOn : Step::kStop;
}

// Returns whether the walk can go on; `ok` false is a failure of the decode.
bool CDibImageGIF::Reader::DrawFrame(Frame& frame, int codeSize, bool& ok) {
  if (!PrepareCanvas(frame)) {
    ok = false;
    return false;
  }
  CodeReader codes(m_in);
  RowOrder rows(frame.height, frame.interlaced);
  DecodeLzw(codes, codeSize, frame.width, m_lzw, [&](const BYTE* line, uint32_t length) {
    const int64_t row = rows.Next();
    if (row < 0) return false;
    DrawLine(frame, row, line, length);
    return true;
  });
  m_pendingDisposal = true;
  m_disposeLeft = frame.left;
  m_disposeTop = frame.top;
  m_disposeWidth = frame.width;
  m_disposeHeight = frame.height;
  m_disposeMethod = frame.control.disposal;
  return codes.SkipRest();
}

bool CDibImageGIF::Reader::PrepareCanvas(const Frame& frame) {
  if (!m_canvas.IsValid()) {
    m_canvas.CopyInfo(m_owner);
    const WORD bpp = m_trueColour ? 24 : m_canvasBpp;
    if (!m_canvas.Create(static_cast<int32_t>(m_screenWidth), static_cast<int32_t>(m_screenHeight), bpp,
                         kFormatGif))
      return Fail(m_canvas.GetLastError());
    m_canvasRgb = m_trueColour;
    if (!m_canvasRgb) {
      // Uncovered parts of the screen show the first frame's transparent
      // colour when it has one.
      m_firstTrans = frame.control.transIndex;
      if (m_firstTrans >= static_cast<int32_t>(m_canvas.GetNumColors())) m_firstTrans = -1;
      m_canvas.Clear(static_cast<BYTE>(m_firstTrans >= 0 ? m_firstTrans : 0));
      m_canvasColours = std::min<uint32_t>(frame.colours, m_canvas.GetNumColors());
      m_canvas.SetPalette(frame.palette, m_canvasColours);
    }
  } else {
    Dispose();
    if (!m_canvasRgb) {
      // A palette that contradicts the canvas's would recolour what earlier
      // frames left behind: the canvas then keeps colours, not indices.
      const uint32_t shared = std::min(frame.colours, m_canvasColours);
      const RGBQUAD* canvasPalette = m_canvas.GetPalette();
      bool agrees = true;
      for (uint32_t i = 0; i < shared && agrees; ++i) agrees = SameColour(canvasPalette[i], frame.palette[i]);
      if (agrees) {
        const uint32_t colours = std::min<uint32_t>(frame.colours, m_canvas.GetNumColors());
        if (colours > m_canvasColours) {
          m_canvas.SetPalette(frame.palette, colours);
          m_canvasColours = colours;
        }
      } else if (!PromoteCanvas()) {
        return false;
      }
    }
  }

  m_saved.clear();
  m_savedAlpha.clear();
  if (frame.control.disposal == 3 && !m_trueColour) {
    // Keep what lies under the frame, to put back after it.
    const uint32_t bpp = m_canvas.GetBpp();
    const size_t first = static_cast<size_t>(frame.left) * bpp / 8;
    const size_t last = (static_cast<size_t>(frame.left + frame.width) * bpp + 7) / 8;
    for (uint32_t y = 0; y < frame.height; ++y) {
      const uint32_t row = m_screenHeight - 1 - (frame.top + y);
      const BYTE* bits = m_canvas.GetBits(0) + static_cast<size_t>(row) * m_canvas.GetEffWidth();
      m_saved.insert(m_saved.end(), bits + first, bits + last);
      if (m_canvas.AlphaIsValid()) {
        const BYTE* alpha = m_canvas.AlphaGetPointer(static_cast<int32_t>(frame.left), static_cast<int32_t>(row));
        m_savedAlpha.insert(m_savedAlpha.end(), alpha, alpha + frame.width);
      }
    }
  }
  return true;
}

// What the previous frame leaves behind: its area cleared to the background
// (2) or put back as it was before it (3); anything else keeps it.
void CDibImageGIF::Reader::Dispose() {
  if (!m_pendingDisposal) return;
  m_pendingDisposal = false;
  const uint32_t bpp = m_canvas.GetBpp();
  const size_t first = static_cast<size_t>(m_disposeLeft) * bpp / 8;
  const size_t last = (static_cast<size_t>(m_disposeLeft + m_disposeWidth) * bpp + 7) / 8;
  if (m_disposeMethod == 3 && !m_saved.empty()) {
    const size_t span = last - first;
    for (uint32_t y = 0; y < m_disposeHeight; ++y) {
      const uint32_t row = m_screenHeight - 1 - (m_disposeTop + y);
      BYTE* bits = m_canvas.GetBits(0) + static_cast<size_t>(row) * m_canvas.GetEffWidth();
      std::memcpy(bits + first, m_saved.data() + y * span, span);
      if (!m_savedAlpha.empty())
        std::memcpy(m_canvas.AlphaGetPointer(static_cast<int32_t>(m_disposeLeft), static_cast<int32_t>(row)),
                    m_savedAlpha.data() + static_cast<size_t>(y) * m_disposeWidth, m_disposeWidth);
    }
  } else if (m_disposeMethod == 2 && !m_trueColour) {
    const bool clearToTransparent = m_firstTrans >= 0;
    BYTE index = static_cast<BYTE>(clearToTransparent ? m_firstTrans : m_background);
    if (!m_canvasRgb && index >= m_canvas.GetNumColors()) index = 0;
    for (uint32_t y = 0; y < m_disposeHeight; ++y) {
      const uint32_t row = m_screenHeight - 1 - (m_disposeTop + y);
      BYTE* bits = m_canvas.GetBits(0) + static_cast<size_t>(row) * m_canvas.GetEffWidth();
      if (m_canvasRgb) {
        const RGBQUAD colour = m_lastPalette[index];
        for (BYTE* p = bits + m_disposeLeft * 3, *end = p + m_disposeWidth * 3; p < end; p += 3) {
          p[0] = colour.rgbBlue;
          p[1] = colour.rgbGreen;
          p[2] = colour.rgbRed;
        }
        if (m_canvas.AlphaIsValid())
          std::memset(m_canvas.AlphaGetPointer(static_cast<int32_t>(m_disposeLeft), static_cast<int32_t>(row)),
                      clearToTransparent ? 0 : 255, m_disposeWidth);
      } else {
        FillIndices(bits, bpp, m_disposeLeft, m_disposeWidth, index);
      }
    }
  }
}

// The canvas becomes 24-bit, with an alpha plane for its transparent parts.
bool CDibImageGIF::Reader::PromoteCanvas() {
  CDibImage rgb;
  rgb.CopyInfo(m_canvas);
  if (!rgb.Create(static_cast<int32_t>(m_screenWidth), static_cast<int32_t>(m_screenHeight), 24, kFormatGif))
    return Fail(rgb.GetLastError());
  const bool transparent = m_firstTrans >= 0;
  if (transparent && !rgb.AlphaCreate()) return Fail(kNoMemory);
  const RGBQUAD* palette = m_canvas.GetPalette();
  for (int32_t y = 0; y < static_cast<int32_t>(m_screenHeight); ++y) {
    for (int32_t x = 0; x < static_cast<int32_t>(m_screenWidth); ++x) {
      const BYTE index = m_canvas.BlindGetPixelIndex(x, y);
      rgb.BlindSetPixelColor(x, y, palette[index], false);
      if (transparent) rgb.AlphaSet(x, y, index == m_firstTrans ? 0 : 255);
    }
  }
  // Disposal 2 of the previous frame used the canvas's own colours.
  std::memcpy(m_lastPalette, palette, m_canvas.GetNumColors() * sizeof(RGBQUAD));
  m_canvas.Transfer(rgb, false);
  m_canvasRgb = true;
  return true;
}

void CDibImageGIF::Reader::DrawLine(const Frame& frame, int64_t row, const BYTE* line, uint32_t length) {
  const int32_t y = static_cast<int32_t>(m_screenHeight - 1 - (frame.top + static_cast<uint32_t>(row)));
  const int32_t left = static_cast<int32_t>(frame.left);
  if (m_canvasRgb) {
    // Tiles of a true-colour file cover the picture exactly once: every
    // pixel counts, the transparent colour included.
    const int32_t skip = m_trueColour ? -1 : frame.control.transIndex;
    const bool alpha = m_canvas.AlphaIsValid();
    for (uint32_t x = 0; x < length; ++x) {
      if (line[x] == skip) continue;
      m_canvas.BlindSetPixelColor(left + static_cast<int32_t>(x), y, frame.palette[line[x]], false);
      if (alpha) m_canvas.AlphaSet(left + static_cast<int32_t>(x), y, 255);
    }
    return;
  }
  const int32_t skip = frame.control.transIndex;
  const WORD bpp = m_canvas.GetBpp();
  const BYTE mask = static_cast<BYTE>(bpp == 8 ? 0xFF : bpp == 4 ? 0x0F : 0x01);
  if (bpp == 8) {
    BYTE* bits = m_canvas.GetBits(0) + static_cast<size_t>(y) * m_canvas.GetEffWidth() + left;
    for (uint32_t x = 0; x < length; ++x)
      if (line[x] != skip) bits[x] = line[x];
    return;
  }
  for (uint32_t x = 0; x < length; ++x)
    if (line[x] != skip) m_canvas.BlindSetPixelIndex(left + static_cast<int32_t>(x), y, line[x] & mask);
}

bool CDibImageGIF::Reader::Finish() {
  const int32_t firstTrans = m_firstTrans;
  const bool rgb = m_canvasRgb;
  if (!rgb && firstTrans >= 0) {
    // Entries no table defined are left white, as for any transparent image.
    for (DWORD i = m_canvasColours; i < m_canvas.GetNumColors(); ++i) m_canvas.SetPaletteColor(i, 255, 255, 255);
  }
  // The count set below must not describe frames the image does not hold.
  m_owner.DestroyFrames();
  if (!m_owner.Transfer(m_canvas, false)) return Fail("GIF decode: the image cannot take the picture");
  CDibImageInfo& info = m_owner.m_info;
  info.formatId = kFormatGif;
  info.frameCount = m_frameCount;
  info.frameDelay = m_targetControl.delay;
  info.disposalMethod = m_targetControl.disposal;
  if (m_trueColour) {
    const bool transparent = m_targetControl.transIndex >= 0;
    info.transIndex = transparent ? 0 : -1;
    if (transparent) m_owner.SetTransColor(m_lastPalette[m_targetControl.transIndex]);
  } else {
    // A promoted canvas carries its transparency in the alpha plane.
    info.transIndex = rgb ? -1 : firstTrans;
  }
  m_owner.SetLastErrorText(nullptr);
  return true;
}
