#include "image/streams/ByteStream.h"

CByteStream::~CByteStream() = default;

bool CByteStream::PutC(uint8_t c) {
  return Write(&c, 1, 1) == 1;
}
