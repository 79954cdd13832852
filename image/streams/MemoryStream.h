// CByteStream over a growing memory block. Blocks are malloc'd; a buffer
// handed out with GetBuffer(true) is released by the caller with free().
#pragma once

#include "image/streams/ByteStream.h"

class CMemoryStream : public CByteStream {
 public:
  // Works on a caller's buffer of `size` valid bytes, which the stream never
  // frees or resizes; growing past it moves the data into a block of its own.
  // A null buffer gives an empty stream that Open makes usable.
  explicit CMemoryStream(uint8_t* buffer = nullptr, uint32_t size = 0);
  ~CMemoryStream() override;

  // Only for a stream that holds no buffer yet.
  bool Open();
  // With detach the caller owns the block from then on; the stream keeps
  // using it until it has to grow.
  uint8_t* GetBuffer(bool detach);

  bool Close() override;
  size_t Read(void* buffer, size_t size, size_t count) override;
  size_t Write(const void* buffer, size_t size, size_t count) override;
  // Positions before the start are clamped to 0; past the end is allowed, and
  // a later write zero-fills the gap.
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

 protected:
  // Makes room for `needed` bytes; capacity grows in 64 KB steps. On failure
  // the old buffer and its data are kept.
  bool Alloc(uint32_t needed);
  // Stores n bytes at the position, growing and zero-filling any gap first.
  bool Store(const uint8_t* data, uint32_t n);

  uint8_t* m_buffer;
  int32_t m_size;
  bool m_freeOnClose;
  int32_t m_position;
  uint32_t m_capacity;
};
