// The byte stream every codec reads and writes through, so one decoder serves
// files on disk and blocks in memory alike. The calls mirror the C runtime's
// stream functions, which lets codec libraries with read/write/seek/tell
// callbacks be bridged to it one to one.
#pragma once

#include <cstddef>
#include <cstdint>

class CByteStream {
 public:
  // Origins of Seek, the same values as SEEK_SET, SEEK_CUR and SEEK_END.
  enum { kFromStart = 0, kFromCurrent = 1, kFromEnd = 2 };

  virtual ~CByteStream();

  virtual bool Close() = 0;
  // Elements fully transferred.
  virtual size_t Read(void* buffer, size_t size, size_t count) = 0;
  virtual size_t Write(const void* buffer, size_t size, size_t count) = 0;
  virtual bool Seek(int32_t offset, int origin) = 0;
  // -1 when nothing is open.
  virtual int32_t Tell() = 0;
  virtual int32_t Size() = 0;
  virtual bool Flush() = 0;
  virtual bool Eof() = 0;
  // -1 when nothing is open, 0 when the stream is healthy.
  virtual int32_t Error() = 0;
  virtual bool PutC(uint8_t c);
  // The next byte as 0-255, -1 at the end.
  virtual int GetC() = 0;
  // Like fgets: reads up to capacity - 1 characters, stopping after a line
  // feed; returns the terminated buffer, or null when nothing could be read.
  virtual char* GetS(char* buffer, int capacity) = 0;
  virtual int32_t Scanf(const char* format, void* output) = 0;

 protected:
  CByteStream() = default;
  CByteStream(const CByteStream&) = delete;
  CByteStream& operator=(const CByteStream&) = delete;
};
