#include "image/streams/MemoryStream.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {
constexpr uint32_t kGrowStep = 65536;
}

CMemoryStream::CMemoryStream(uint8_t* buffer, uint32_t size)
    : m_buffer(buffer), m_size(0), m_freeOnClose(buffer == nullptr), m_position(0), m_capacity(0) {
  if (buffer) {
    // Positions are signed 32-bit; a larger block is used only up to 2 GB.
    const uint32_t usable = size > INT32_MAX ? INT32_MAX : size;
    m_size = static_cast<int32_t>(usable);
    m_capacity = usable;
  }
}

CMemoryStream::~CMemoryStream() {
  Close();
}

bool CMemoryStream::Open() {
  if (m_buffer) return false;
  m_buffer = static_cast<uint8_t*>(std::malloc(1));
  m_size = 0;
  m_position = 0;
  m_capacity = 0;
  m_freeOnClose = true;
  return m_buffer != nullptr;
}

uint8_t* CMemoryStream::GetBuffer(bool detach) {
  if (detach) m_freeOnClose = false;
  return m_buffer;
}

bool CMemoryStream::Close() {
  if (m_buffer && m_freeOnClose) {
    std::free(m_buffer);
    m_buffer = nullptr;
    m_size = 0;
    m_position = 0;
    m_capacity = 0;
  }
  return true;
}

bool CMemoryStream::Alloc(uint32_t needed) {
  if (needed <= m_capacity) return m_buffer != nullptr;
  const uint64_t grown = (static_cast<uint64_t>(needed) & ~uint64_t{0xFFFF}) + kGrowStep;
  if (grown > UINT32_MAX || grown > SIZE_MAX) return false;
  const uint32_t capacity = static_cast<uint32_t>(grown);

  uint8_t* block;
  if (m_buffer && m_freeOnClose) {
    block = static_cast<uint8_t*>(std::realloc(m_buffer, capacity));
    if (!block) return false;
  } else {
    // A caller's or detached buffer is not ours to resize: copy out of it.
    block = static_cast<uint8_t*>(std::malloc(capacity));
    if (!block) return false;
    if (m_buffer && m_size > 0) std::memcpy(block, m_buffer, static_cast<size_t>(m_size));
  }
  m_buffer = block;
  m_capacity = capacity;
  m_freeOnClose = true;
  return true;
}

bool CMemoryStream::Store(const uint8_t* data, uint32_t n) {
  const uint64_t end = static_cast<uint64_t>(m_position) + n;
  if (end > INT32_MAX) return false;
  if (!Alloc(static_cast<uint32_t>(end))) return false;
  // Bytes between the old end and a position sought past it become zeros,
  // never whatever the allocation held.
  if (m_position > m_size)
    std::memset(m_buffer + m_size, 0, static_cast<size_t>(m_position - m_size));
  std::memcpy(m_buffer + m_position, data, n);
  m_position = static_cast<int32_t>(end);
  if (m_position > m_size) m_size = m_position;
  return true;
}

size_t CMemoryStream::Read(void* buffer, size_t size, size_t count) {
  if (!buffer || !m_buffer || m_position >= m_size || size == 0 || count == 0) return 0;
  const size_t available = static_cast<size_t>(m_size - m_position);
  const size_t wanted = count > available / size ? available : size * count;
  std::memcpy(buffer, m_buffer + m_position, wanted);
  m_position += static_cast<int32_t>(wanted);
  // A trailing partial element is consumed but not counted, as fread does.
  return wanted / size;
}

size_t CMemoryStream::Write(const void* buffer, size_t size, size_t count) {
  if (!m_buffer || !buffer || size == 0 || count == 0) return 0;
  if (count > INT32_MAX / size) return 0;
  if (!Store(static_cast<const uint8_t*>(buffer), static_cast<uint32_t>(size * count))) return 0;
  return count;
}

bool CMemoryStream::Seek(int32_t offset, int origin) {
  if (!m_buffer) return false;
  int64_t base;
  switch (origin) {
    case kFromStart: base = 0; break;
    case kFromCurrent: base = m_position; break;
    case kFromEnd: base = m_size; break;
    default: return false;
  }
  int64_t target = base + offset;
  if (target < 0) target = 0;
  if (target > INT32_MAX) return false;
  m_position = static_cast<int32_t>(target);
  return true;
}

int32_t CMemoryStream::Tell() {
  return m_buffer ? m_position : -1;
}

int32_t CMemoryStream::Size() {
  return m_buffer ? m_size : -1;
}

bool CMemoryStream::Flush() {
  return m_buffer != nullptr;
}

bool CMemoryStream::Eof() {
  return !m_buffer || m_position >= m_size;
}

int32_t CMemoryStream::Error() {
  if (!m_buffer) return -1;
  return m_position > m_size ? 1 : 0;
}

bool CMemoryStream::PutC(uint8_t c) {
  return m_buffer && Store(&c, 1);
}

int CMemoryStream::GetC() {
  if (Eof()) return -1;
  return m_buffer[m_position++];
}

char* CMemoryStream::GetS(char* buffer, int capacity) {
  if (!m_buffer || !buffer || capacity < 1) return nullptr;
  int stored = 0;
  while (stored < capacity - 1) {
    const int c = GetC();
    if (c < 0) break;
    buffer[stored++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  // Like fgets: end of data with nothing read is a failure; a last line
  // without a line feed is still returned, terminated.
  if (stored == 0 && capacity > 1) return nullptr;
  buffer[stored] = '\0';
  return buffer;
}

int32_t CMemoryStream::Scanf(const char*, void*) {
  return 0;
}
