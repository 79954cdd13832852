#include "image/streams/FileStream.h"

#include <climits>
#include <cstdint>

#include "image/WinCompat.h"

CFileStream::CFileStream(FILE* file) : m_file(file), m_closeOnDestroy(file == nullptr) {}

CFileStream::~CFileStream() {
  Close();
}

bool CFileStream::Open(const wchar_t* name, const wchar_t* mode) {
  Close();
  m_file = nullptr;
  m_direction = Direction::None;
  if (!name || !mode) return false;
  m_file = _wfopen(name, mode);
  m_closeOnDestroy = true;
  return m_file != nullptr;
}

bool CFileStream::Close() {
  if (!m_file || !m_closeOnDestroy) return true;
  const int result = std::fclose(m_file);
  m_file = nullptr;
  m_direction = Direction::None;
  return result == 0;
}

void CFileStream::SwitchTo(Direction direction) {
  if (m_direction != Direction::None && m_direction != direction) std::fseek(m_file, 0, SEEK_CUR);
  m_direction = direction;
}

size_t CFileStream::Read(void* buffer, size_t size, size_t count) {
  if (!m_file || !buffer) return 0;
  SwitchTo(Direction::Reading);
  return std::fread(buffer, size, count, m_file);
}

size_t CFileStream::Write(const void* buffer, size_t size, size_t count) {
  if (!m_file || !buffer) return 0;
  SwitchTo(Direction::Writing);
  return std::fwrite(buffer, size, count, m_file);
}

bool CFileStream::Seek(int32_t offset, int origin) {
  if (!m_file || origin < kFromStart || origin > kFromEnd) return false;
  static const int kOrigins[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  if (std::fseek(m_file, offset, kOrigins[origin]) != 0) return false;
  m_direction = Direction::None;
  return true;
}

int32_t CFileStream::Tell() {
  if (!m_file) return -1;
  const long position = std::ftell(m_file);
  // Positions past 2 GB cannot be told in 32 bits: an error, not a wrapped value.
  if (position < 0 || position > INT32_MAX) return -1;
  return static_cast<int32_t>(position);
}

int32_t CFileStream::Size() {
  if (!m_file) return -1;
  const long position = std::ftell(m_file);
  if (position < 0) return -1;
  if (std::fseek(m_file, 0, SEEK_END) != 0) return -1;
  const long end = std::ftell(m_file);
  std::fseek(m_file, position, SEEK_SET);
  m_direction = Direction::None;
  if (end < 0 || end > INT32_MAX) return -1;
  return static_cast<int32_t>(end);
}

bool CFileStream::Flush() {
  if (!m_file) return false;
  // fflush on input is undefined; the Windows runtime drops its read-ahead
  // without moving the file position back. Repositioning in place is the
  // defined way to sync a stream that was last read.
  if (m_direction == Direction::Reading) {
    m_direction = Direction::None;
    return std::fseek(m_file, 0, SEEK_CUR) == 0;
  }
  return std::fflush(m_file) == 0;
}

bool CFileStream::Eof() {
  return !m_file || std::feof(m_file) != 0;
}

int32_t CFileStream::Error() {
  if (!m_file) return -1;
  return std::ferror(m_file);
}

bool CFileStream::PutC(uint8_t c) {
  if (!m_file) return false;
  SwitchTo(Direction::Writing);
  return std::fputc(c, m_file) == c;
}

int CFileStream::GetC() {
  if (!m_file) return -1;
  SwitchTo(Direction::Reading);
  return std::getc(m_file);
}

char* CFileStream::GetS(char* buffer, int capacity) {
  if (!m_file || !buffer || capacity < 1) return nullptr;
  // Runtimes disagree on fgets with room for the terminator only.
  if (capacity == 1) {
    buffer[0] = '\0';
    return buffer;
  }
  SwitchTo(Direction::Reading);
  return std::fgets(buffer, capacity, m_file);
}

int32_t CFileStream::Scanf(const char* format, void* output) {
  if (!m_file || !format) return -1;
  SwitchTo(Direction::Reading);
  return std::fscanf(m_file, format, output);
}
