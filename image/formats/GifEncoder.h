// The three ways the GIF writer turns palette indices into image data: LZW,
// literal codes only, and run-length codes. All three produce a code stream
// that any GIF decoder reads; they differ in size and speed.
//
// A Feed hands out the indices of one image, top row first, with int Next()
// returning -1 after the last one. Output goes to a ByteSink as data
// sub-blocks (without the code-size byte and the terminator).
#pragma once

#include <cstdint>
#include <vector>

#include "image/WinCompat.h"

namespace gif {

class ByteSink {
 public:
  virtual void Put(BYTE value) = 0;
  virtual void Put(const BYTE* data, size_t length) = 0;

 protected:
  ~ByteSink() = default;
};

// Packs codes least-significant bit first into sub-blocks of at most
// `blockLimit` bytes.
class CodePacker {
 public:
  CodePacker(ByteSink& out, int blockLimit) : m_out(out), m_limit(blockLimit) {}
  void Put(int code, int width) {
    m_accumulator |= static_cast<uint32_t>(code) << m_bits;
    m_bits += width;
    while (m_bits >= 8) {
      Byte(static_cast<BYTE>(m_accumulator & 0xFF));
      m_accumulator >>= 8;
      m_bits -= 8;
    }
  }
  // The last bits padded to a byte, and the partly filled block.
  void Finish() {
    if (m_bits > 0) Byte(static_cast<BYTE>(m_accumulator & 0xFF));
    m_accumulator = 0;
    m_bits = 0;
    if (m_count > 0) WriteBlock();
  }

 private:
  void Byte(BYTE value) {
    m_block[m_count++] = value;
    if (m_count == m_limit) WriteBlock();
  }
  void WriteBlock() {
    m_out.Put(static_cast<BYTE>(m_count));
    m_out.Put(m_block, static_cast<size_t>(m_count));
    m_count = 0;
  }

  ByteSink& m_out;
  int m_limit;
  uint32_t m_accumulator = 0;
  int m_bits = 0;
  BYTE m_block[255];
  int m_count = 0;
};

const int kMaxCodes = 4096;  // 12-bit codes

// Code width bookkeeping shared by the LZW and literal modes: the width grows
// exactly when a decoder's table needs one more bit, and returns to the
// initial width after a clear code.
class WidthTracker {
 public:
  WidthTracker(CodePacker& out, int initialBits)
      : m_out(out), m_initialBits(initialBits), m_clearCode(1 << (initialBits - 1)) {
    Restart();
  }
  int ClearCode() const { return m_clearCode; }
  int EndCode() const { return m_clearCode + 1; }
  int FirstFree() const { return m_clearCode + 2; }

  int nextFree;  // next code a decoder's table will assign

  void Pack(int code) {
    m_out.Put(code, m_width);
    if (nextFree > m_maxCode || m_clearPending) {
      if (m_clearPending) {
        m_width = m_initialBits;
        m_maxCode = (1 << m_width) - 1;
        m_clearPending = false;
      } else {
        ++m_width;
        m_maxCode = m_width == 12 ? kMaxCodes : (1 << m_width) - 1;
      }
    }
  }
  // The table is full: start over with a clear code.
  void Clear() {
    nextFree = FirstFree();
    m_clearPending = true;
    Pack(m_clearCode);
  }

 private:
  void Restart() {
    m_width = m_initialBits;
    m_maxCode = (1 << m_width) - 1;
    nextFree = FirstFree();
    m_clearPending = false;
  }

  CodePacker& m_out;
  int m_initialBits;
  int m_clearCode;
  int m_width = 0;
  int m_maxCode = 0;
  bool m_clearPending = false;
};

// The LZW encoder's tables, kept between images (a true-colour picture is
// thousands of small ones).
struct LzwTables {
  static const int kHashSize = 5003;
  std::vector<int32_t> hashes = std::vector<int32_t>(kHashSize);
  std::vector<uint16_t> codes = std::vector<uint16_t>(kHashSize);
};

// LZW with an open-addressed hash of (pixel, prefix) pairs.
template <class Feed>
void EncodeLzw(Feed& feed, int codeSize, ByteSink& sink, LzwTables& tables) {
  const int kHashSize = LzwTables::kHashSize;
  const int kHashShift = 4;  // 8 minus the doublings of 5003 up to 65536
  CodePacker out(sink, 254);
  WidthTracker codes(out, codeSize + 1);
  std::vector<int32_t>& hashes = tables.hashes;
  std::vector<uint16_t>& table = tables.codes;
  std::fill(hashes.begin(), hashes.end(), -1);

  int prefix = feed.Next();
  codes.Pack(codes.ClearCode());
  if (prefix >= 0) {
    int c;
    while ((c = feed.Next()) >= 0) {
      const int32_t key = (static_cast<int32_t>(c) << 12) + prefix;
      int i = (c << kHashShift) ^ prefix;
      if (hashes[i] == key) {
        prefix = table[i];
        continue;
      }
      bool hit = false;
      if (hashes[i] >= 0) {
        const int step = i == 0 ? 1 : kHashSize - i;
        for (;;) {
          i -= step;
          if (i < 0) i += kHashSize;
          if (hashes[i] == key) {
            hit = true;
            break;
          }
          if (hashes[i] <= 0) break;
        }
      }
      if (hit) {
        prefix = table[i];
        continue;
      }
      codes.Pack(prefix);
      prefix = c;
      if (codes.nextFree < kMaxCodes) {
        table[i] = static_cast<uint16_t>(codes.nextFree++);
        hashes[i] = key;
      } else {
        std::fill(hashes.begin(), hashes.end(), -1);
        codes.Clear();
      }
    }
    codes.Pack(prefix);
  }
  codes.Pack(codes.EndCode());
  out.Finish();
}

// Every pixel is its own code; the width still grows as a decoder's table does.
template <class Feed>
void EncodeUncompressed(Feed& feed, int codeSize, ByteSink& sink) {
  CodePacker out(sink, 254);
  WidthTracker codes(out, codeSize + 1);
  int held = feed.Next();
  codes.Pack(codes.ClearCode());
  while (held >= 0) {
    const int next = feed.Next();
    codes.Pack(held);
    held = next;
    if (codes.nextFree < kMaxCodes) ++codes.nextFree;
    else codes.Clear();
  }
  codes.Pack(codes.EndCode());
  out.Finish();
}

// Runs of one index, written with codes a decoder's table is known to hold
// for such runs, or as literals when that is cheaper.
template <class Feed>
class RunLengthEncoder {
 public:
  RunLengthEncoder(Feed& feed, int codeSize, ByteSink& sink)
      : m_feed(feed),
        m_out(sink, 255),
        m_initialBits(codeSize + 1),
        m_clearCode(1 << codeSize),
        m_baseCode(m_clearCode + 2),
        m_maxOutCodes(static_cast<uint32_t>(kMaxCodes - (m_clearCode + 3))),
        m_bumpInitial(static_cast<uint32_t>(m_clearCode - 1)),
        m_clearInitial(m_initialBits <= 3 ? 9u : static_cast<uint32_t>(m_clearCode - 2)) {}

  void Run() {
    Reset();
    Raw(m_clearCode);
    for (;;) {
      const int c = m_feed.Next();
      if (m_runCount > 0 && c != m_runPixel) Flush();
      if (c < 0) break;
      if (c == m_runPixel) {
        ++m_runCount;
      } else {
        m_runPixel = c;
        m_runCount = 1;
      }
    }
    Raw(m_clearCode + 1);
    m_out.Finish();
  }

 private:
  void Reset() {
    m_width = m_initialBits;
    m_bump = m_bumpInitial;
    m_clearPoint = m_clearInitial;
    m_outCount = 0;
    m_tableMax = 0;
    m_justCleared = true;
  }
  void Raw(int code) { m_out.Put(code, m_width); }
  void ClearAndReset() {
    Raw(m_clearCode);
    Reset();
  }
  void Plain(int code) {
    m_justCleared = false;
    Raw(code);
    ++m_outCount;
    if (m_outCount >= m_bump) {
      ++m_width;
      m_bump += 1u << (m_width - 1);
    }
    if (m_outCount >= m_clearPoint) ClearAndReset();
  }
  void RestoreClearPoint() {
    m_clearPoint = m_clearInitial;
    if (m_outCount >= m_clearPoint) ClearAndReset();
  }

  static uint32_t IntegerSqrt(uint32_t x) {
    if (x < 2) return x;
    uint32_t r = 1;
    for (uint32_t v = x; v; v >>= 2) r <<= 1;
    for (;;) {
      const uint32_t v = (x / r + r) / 2;
      if (v == r || v == r + 1) return r;
      r = v;
    }
  }
  // Codes needed for a run of `count` after a clear, where run k takes the
  // code of k pixels: a triangle of lengths 1, 2, 3 ...
  static uint32_t TriangleCost(uint32_t count, uint32_t codes) {
    uint32_t cost = 0;
    const uint32_t perRound = codes * (codes + 1) / 2;
    while (count >= perRound) {
      cost += codes;
      count -= perRound;
    }
    if (count > 0) {
      uint32_t n = IntegerSqrt(count);
      while (n * (n + 1) >= 2 * count) --n;
      while (n * (n + 1) < 2 * count) ++n;
      cost += n;
    }
    return cost;
  }

  void FromClear(uint32_t count) {
    m_clearPoint = m_maxOutCodes;
    m_tablePixel = m_runPixel;
    uint32_t n = 1;
    while (count > 0) {
      if (n == 1) {
        m_tableMax = 1;
        Plain(m_runPixel);
        count -= 1;
      } else if (count >= n) {
        m_tableMax = n;
        Plain(static_cast<int>(m_baseCode + n - 2));
        count -= n;
      } else if (count == 1) {
        ++m_tableMax;
        Plain(m_runPixel);
        count = 0;
      } else {
        ++m_tableMax;
        Plain(static_cast<int>(m_baseCode + count - 2));
        count = 0;
      }
      n = m_outCount == 0 ? 1 : n + 1;
    }
    RestoreClearPoint();
  }

  void ClearOrRepeat(uint32_t count) {
    if (1 + TriangleCost(count, m_maxOutCodes) < count) {
      ClearAndReset();
      FromClear(count);
    } else {
      for (; count > 0; --count) Plain(m_runPixel);
    }
  }

  void WithTable(uint32_t count) {
    uint32_t repeats = count / m_tableMax;
    uint32_t left = count % m_tableMax;
    uint32_t repeatsLeft = left ? 1 : 0;
    if (m_outCount + repeats + repeatsLeft > m_maxOutCodes) {
      repeats = m_maxOutCodes - m_outCount;
      left = count - repeats * m_tableMax;
      repeatsLeft = 1 + TriangleCost(left, m_maxOutCodes);
    }
    if (1 + TriangleCost(count, m_maxOutCodes) < repeats + repeatsLeft) {
      ClearAndReset();
      FromClear(count);
      return;
    }
    m_clearPoint = m_maxOutCodes;
    for (; repeats > 0; --repeats) Plain(static_cast<int>(m_baseCode + m_tableMax - 2));
    if (left) {
      if (m_justCleared) FromClear(left);
      else if (left == 1) Plain(m_runPixel);
      else Plain(static_cast<int>(m_baseCode + left - 2));
    }
    RestoreClearPoint();
  }

  void Flush() {
    if (m_runCount == 1) Plain(m_runPixel);
    else if (m_justCleared) FromClear(m_runCount);
    else if (m_tableMax < 2 || m_tablePixel != m_runPixel) ClearOrRepeat(m_runCount);
    else WithTable(m_runCount);
    m_runCount = 0;
  }

  Feed& m_feed;
  CodePacker m_out;
  const int m_initialBits;
  const int m_clearCode;
  const uint32_t m_baseCode;
  const uint32_t m_maxOutCodes;
  const uint32_t m_bumpInitial;
  const uint32_t m_clearInitial;

  int m_width = 0;
  uint32_t m_bump = 0;
  uint32_t m_clearPoint = 0;
  uint32_t m_outCount = 0;
  uint32_t m_tableMax = 0;
  bool m_justCleared = true;
  int m_runPixel = -1;
  uint32_t m_runCount = 0;
  int m_tablePixel = -1;
};

template <class Feed>
void EncodeRunLength(Feed& feed, int codeSize, ByteSink& sink) {
  RunLengthEncoder<Feed>(feed, codeSize, sink).Run();
}

}  // namespace gif
