// Reading the headers of placeable Windows metafiles and enhanced metafiles,
// and the size a metafile is rendered at. Plain functions without GDI, so the
// checks run (and are tested) on every platform; playing the metafile is
// CDibImageWMF's business.
#pragma once

#include <cstdint>
#include <vector>

#include "image/WinCompat.h"

class CByteStream;

constexpr size_t kWmfPlaceableHeaderSize = 22;
constexpr size_t kWmfStandardHeaderSize = 18;
constexpr size_t kEmfHeaderSize = 108;
constexpr DWORD kWmfPlaceableKey = 0x9AC6CDD7;
constexpr DWORD kEmfSignature = 0x464D4520;  // " EMF"
// Neither side of a rendered metafile exceeds this many pixels.
constexpr int32_t kWmfMaxSide = 4000;

struct WmfPlaceableHeader {
  DWORD key;
  WORD handle;
  int16_t left, top, right, bottom;  // bounding box in metafile units
  WORD unitsPerInch;
  DWORD reserved;
  WORD checksum;
};

struct WmfStandardHeader {
  WORD type;  // 1 in memory, 2 on disk
  WORD headerSize;
  WORD version;
  DWORD sizeWords;  // of the whole metafile, this header included
  WORD objects;
  DWORD largestRecord;
  WORD unused;
};

// The fields of the first EMF record that decoding needs.
struct EmfHeader {
  DWORD type;
  DWORD size;
  LONG bounds[4];  // left, top, right, bottom in device units
  LONG frame[4];   // in 0.01 mm
  DWORD signature;
  DWORD version;
  DWORD bytes;
  DWORD records;
  DWORD paletteEntries;
};

WmfPlaceableHeader WmfParsePlaceableHeader(const BYTE* raw);
// The key, the checksum (XOR of the first ten 16-bit words) and 1 to 2540 units per inch.
bool WmfCheckPlaceableHeader(const WmfPlaceableHeader& header);
WmfStandardHeader WmfParseStandardHeader(const BYTE* raw);
// True for record type 1 with the " EMF" signature.
bool EmfParseHeader(const BYTE* raw, EmfHeader* header);

// A placeable WMF from the stream's position: checks both headers and returns
// the metafile's bytes (from its standard header on, size-words x 2 of them).
bool WmfReadPlaceable(CByteStream* stream, WmfPlaceableHeader* header, std::vector<BYTE>* bits);
// An EMF from the stream's position: checks its header and returns every
// byte from there to the end of the stream.
bool EmfReadBits(CByteStream* stream, EmfHeader* header, std::vector<BYTE>* bits);

// Pixels of the bounding box at the given resolution, rounded; false when a
// side is not positive or a resolution is not.
bool WmfNaturalSize(const WmfPlaceableHeader& header, int32_t xDpi, int32_t yDpi, int32_t* width, int32_t* height);
// The bounds' width and height; false when a side is not positive.
bool EmfNaturalSize(const EmfHeader& header, int32_t* width, int32_t* height);
// Scales a size down, aspect kept, until neither side exceeds kWmfMaxSide;
// no side drops below one pixel.
void WmfLimitSize(int32_t* width, int32_t* height);
