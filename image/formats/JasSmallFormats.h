// The component picture that the JPEG 2000 family codec works on, and the
// three small formats it reads and writes itself: PGX, PNM (P1-P6) and Sun
// raster. The JPEG 2000 formats themselves go through OpenJPEG.
#pragma once

#include <cstdint>
#include <vector>

class CByteStream;

// One plane of samples, top row first. The samples may live in the
// picture's own storage or in a codec library's image.
struct JasComponent {
  uint32_t width = 0;
  uint32_t height = 0;
  // Sampling distances on the reference grid and the plane's origin on it
  // (subsampled JPEG 2000 chroma).
  uint32_t dx = 1;
  uint32_t dy = 1;
  uint32_t x0 = 0;
  uint32_t y0 = 0;
  int precision = 8;  // bits, 1 to 31
  bool isSigned = false;
  int32_t* samples = nullptr;  // width x height, null after a header-only read
};

enum class JasColourSpace { kUnknown, kRgb, kGrey, kYcc };

struct JasPicture {
  std::vector<JasComponent> components;
  JasColourSpace colourSpace = JasColourSpace::kUnknown;
  uint32_t x0 = 0;  // reference grid origin
  uint32_t y0 = 0;
  // Planes read by our own codecs.
  std::vector<std::vector<int32_t>> storage;

  // Adds a plane with storage of its own; throws on a size beyond the limit.
  JasComponent& AddComponent(uint32_t width, uint32_t height, int precision, bool isSigned, bool withSamples);
};

// Most samples one picture may hold over all its planes (4 bytes each).
constexpr uint64_t kJasMaxSamples = uint64_t{1} << 26;

// Readers and writers of the small formats. Readers start at the stream's
// position; with headerOnly they stop after the header (geometry only).
// Failures throw a message text (const char*).
void JasReadPgx(CByteStream& stream, JasPicture& picture, bool headerOnly);
void JasReadPnm(CByteStream& stream, JasPicture& picture, bool headerOnly);
void JasReadRas(CByteStream& stream, JasPicture& picture, bool headerOnly);
// Writers take 8-bit planes of equal size: one (grey) or three (red, green,
// blue); PGX takes grey only. False when the stream refuses the bytes.
bool JasWritePgx(CByteStream& stream, const JasPicture& picture);
bool JasWritePnm(CByteStream& stream, const JasPicture& picture);
bool JasWriteRas(CByteStream& stream, const JasPicture& picture);
