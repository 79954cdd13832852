// Buffered reads over a CByteStream for decoders that walk their data in small
// pieces (run-length codes, packets): one stream call per 4 KB, not per byte.
#pragma once

#include <cstddef>
#include <cstring>

#include "image/WinCompat.h"
#include "image/streams/ByteStream.h"

class CBufferedReader {
 public:
  explicit CBufferedReader(CByteStream* stream) : m_stream(stream) {}
  CBufferedReader(const CBufferedReader&) = delete;
  CBufferedReader& operator=(const CBufferedReader&) = delete;

  // The next byte, or -1 at the end of the stream.
  int Next() {
    if (m_pos == m_length && !Refill()) return -1;
    return m_buffer[m_pos++];
  }

  // Exactly n bytes; false when the stream ends first.
  bool Read(BYTE* out, size_t n) {
    while (n > 0) {
      if (m_pos == m_length && !Refill()) return false;
      const size_t chunk = n < m_length - m_pos ? n : m_length - m_pos;
      std::memcpy(out, m_buffer + m_pos, chunk);
      m_pos += chunk;
      out += chunk;
      n -= chunk;
    }
    return true;
  }

  bool Skip(size_t n) {
    while (n > 0) {
      if (m_pos == m_length && !Refill()) return false;
      const size_t chunk = n < m_length - m_pos ? n : m_length - m_pos;
      m_pos += chunk;
      n -= chunk;
    }
    return true;
  }

 private:
  bool Refill() {
    m_length = m_stream->Read(m_buffer, 1, sizeof m_buffer);
    m_pos = 0;
    return m_length > 0;
  }

  CByteStream* m_stream;
  BYTE m_buffer[4096];
  size_t m_pos = 0;
  size_t m_length = 0;
};
