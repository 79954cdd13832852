#include "image/formats/MetafileHeaders.h"

#include <new>

#include "image/streams/ByteStream.h"

namespace {

WORD Le16(const BYTE* p) {
  return static_cast<WORD>(p[0] | (p[1] << 8));
}
DWORD Le32(const BYTE* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24);
}

// Reads `count` bytes into a new buffer; false when memory or data run short.
bool ReadBytes(CByteStream* stream, uint64_t count, std::vector<BYTE>* bits) {
  try {
    bits->assign(static_cast<size_t>(count), 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (stream->Read(bits->data(), 1, bits->size()) == bits->size()) return true;
  bits->clear();
  return false;
}

// Bytes from the stream's position to its end; -1 when that is unknown.
int64_t Remaining(CByteStream* stream) {
  const int32_t position = stream->Tell();
  const int32_t size = stream->Size();
  if (position < 0 || size < 0) return -1;
  return static_cast<int64_t>(size) - position;
}

}  // namespace

WmfPlaceableHeader WmfParsePlaceableHeader(const BYTE* raw) {
  WmfPlaceableHeader h;
  h.key = Le32(raw);
  h.handle = Le16(raw + 4);
  h.left = static_cast<int16_t>(Le16(raw + 6));
  h.top = static_cast<int16_t>(Le16(raw + 8));
  h.right = static_cast<int16_t>(Le16(raw + 10));
  h.bottom = static_cast<int16_t>(Le16(raw + 12));
  h.unitsPerInch = Le16(raw + 14);
  h.reserved = Le32(raw + 16);
  h.checksum = Le16(raw + 20);
  return h;
}

bool WmfCheckPlaceableHeader(const WmfPlaceableHeader& h) {
  const WORD words[10] = {static_cast<WORD>(h.key),      static_cast<WORD>(h.key >> 16),
                          h.handle,                      static_cast<WORD>(h.left),
                          static_cast<WORD>(h.top),      static_cast<WORD>(h.right),
                          static_cast<WORD>(h.bottom),   h.unitsPerInch,
                          static_cast<WORD>(h.reserved), static_cast<WORD>(h.reserved >> 16)};
  WORD sum = 0;
  for (WORD w : words) sum ^= w;
  return h.key == kWmfPlaceableKey && sum == h.checksum && h.unitsPerInch >= 1 && h.unitsPerInch <= 2540;
}

WmfStandardHeader WmfParseStandardHeader(const BYTE* raw) {
  WmfStandardHeader h;
  h.type = Le16(raw);
  h.headerSize = Le16(raw + 2);
  h.version = Le16(raw + 4);
  h.sizeWords = Le32(raw + 6);
  h.objects = Le16(raw + 10);
  h.largestRecord = Le32(raw + 12);
  h.unused = Le16(raw + 16);
  return h;
}

bool EmfParseHeader(const BYTE* raw, EmfHeader* header) {
  EmfHeader h;
  h.type = Le32(raw);
  h.size = Le32(raw + 4);
  for (int i = 0; i < 4; ++i) {
    h.bounds[i] = static_cast<LONG>(Le32(raw + 8 + 4 * i));
    h.frame[i] = static_cast<LONG>(Le32(raw + 24 + 4 * i));
  }
  h.signature = Le32(raw + 40);
  h.version = Le32(raw + 44);
  h.bytes = Le32(raw + 48);
  h.records = Le32(raw + 52);
  h.paletteEntries = Le32(raw + 68);
  if (h.type != 1 || h.signature != kEmfSignature) return false;
  *header = h;
  return true;
}

bool WmfReadPlaceable(CByteStream* stream, WmfPlaceableHeader* header, std::vector<BYTE>* bits) {
  BYTE raw[kWmfPlaceableHeaderSize + kWmfStandardHeaderSize];
  if (stream->Read(raw, 1, kWmfPlaceableHeaderSize) != kWmfPlaceableHeaderSize) return false;
  const WmfPlaceableHeader placeable = WmfParsePlaceableHeader(raw);
  if (!WmfCheckPlaceableHeader(placeable)) return false;
  // The metafile proper starts here; its size counts from this point.
  const int64_t available = Remaining(stream);
  BYTE* standard = raw + kWmfPlaceableHeaderSize;
  if (stream->Read(standard, 1, kWmfStandardHeaderSize) != kWmfStandardHeaderSize) return false;
  const WmfStandardHeader h = WmfParseStandardHeader(standard);
  if (h.type != 1 && h.type != 2) return false;
  const uint64_t bytes = static_cast<uint64_t>(h.sizeWords) * 2;
  if (bytes < kWmfStandardHeaderSize || available < 0 || bytes > static_cast<uint64_t>(available)) return false;
  if (!stream->Seek(-static_cast<int32_t>(kWmfStandardHeaderSize), CByteStream::kFromCurrent)) return false;
  if (!ReadBytes(stream, bytes, bits)) return false;
  *header = placeable;
  return true;
}

bool EmfReadBits(CByteStream* stream, EmfHeader* header, std::vector<BYTE>* bits) {
  const int64_t available = Remaining(stream);
  BYTE raw[kEmfHeaderSize];
  if (available < static_cast<int64_t>(kEmfHeaderSize)) return false;
  if (stream->Read(raw, 1, sizeof raw) != sizeof raw) return false;
  EmfHeader h;
  if (!EmfParseHeader(raw, &h)) return false;
  if (!stream->Seek(-static_cast<int32_t>(kEmfHeaderSize), CByteStream::kFromCurrent)) return false;
  if (!ReadBytes(stream, static_cast<uint64_t>(available), bits)) return false;
  *header = h;
  return true;
}

bool WmfNaturalSize(const WmfPlaceableHeader& h, int32_t xDpi, int32_t yDpi, int32_t* width, int32_t* height) {
  if (xDpi <= 0 || yDpi <= 0 || h.unitsPerInch == 0) return false;
  const int64_t units = h.unitsPerInch;
  const int64_t w = ((static_cast<int64_t>(h.right) - h.left) * xDpi + units / 2) / units;
  const int64_t ht = ((static_cast<int64_t>(h.bottom) - h.top) * yDpi + units / 2) / units;
  if (w <= 0 || ht <= 0 || w > INT32_MAX || ht > INT32_MAX) return false;
  *width = static_cast<int32_t>(w);
  *height = static_cast<int32_t>(ht);
  return true;
}

bool EmfNaturalSize(const EmfHeader& h, int32_t* width, int32_t* height) {
  const int64_t w = static_cast<int64_t>(h.bounds[2]) - h.bounds[0];
  const int64_t ht = static_cast<int64_t>(h.bounds[3]) - h.bounds[1];
  if (w <= 0 || ht <= 0 || w > INT32_MAX || ht > INT32_MAX) return false;
  *width = static_cast<int32_t>(w);
  *height = static_cast<int32_t>(ht);
  return true;
}

void WmfLimitSize(int32_t* width, int32_t* height) {
  int64_t w = *width, h = *height;
  if (w > kWmfMaxSide) {
    h = h * kWmfMaxSide / w;
    w = kWmfMaxSide;
  }
  if (h > kWmfMaxSide) {
    w = w * kWmfMaxSide / h;
    h = kWmfMaxSide;
  }
  // A sliver keeps one pixel rather than vanish.
  *width = static_cast<int32_t>(w < 1 ? 1 : w);
  *height = static_cast<int32_t>(h < 1 ? 1 : h);
}
