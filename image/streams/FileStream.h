// CByteStream over a C runtime FILE.
#pragma once

#include <cstdio>

#include "image/streams/ByteStream.h"

class CFileStream : public CByteStream {
 public:
  // Borrows an open file: the caller that opened it closes it. A null file
  // gives a stream with nothing open.
  explicit CFileStream(FILE* file = nullptr);
  ~CFileStream() override;

  // Opens a file this stream owns and closes; whatever was open before is
  // closed (when owned) or let go (when borrowed) first.
  bool Open(const wchar_t* name, const wchar_t* mode);
  FILE* GetFile() const { return m_file; }

  bool Close() override;
  size_t Read(void* buffer, size_t size, size_t count) override;
  size_t Write(const void* buffer, size_t size, size_t count) override;
  bool Seek(int32_t offset, int origin) override;
  int32_t Tell() override;
  int32_t Size() override;
  bool Flush() override;
  bool Eof() override;
  int32_t Error() override;
  bool PutC(uint8_t c) override;
  int GetC() override;
  char* GetS(char* buffer, int capacity) override;
  int32_t Scanf(const char* format, void* output) override;

 private:
  enum class Direction { None, Reading, Writing };
  // C streams need a positioning call between output and input (either way
  // round); codecs freely mix Read and Write, so the switch is made here.
  void SwitchTo(Direction direction);

  FILE* m_file;
  bool m_closeOnDestroy;
  Direction m_direction = Direction::None;
};
