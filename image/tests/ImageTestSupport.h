// Helpers shared by the pixel, plane, sampling and transform tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "image/DibImage.h"

namespace imagetest {

// Opens up the settings record and the planes for checks.
class InspectableImage : public CDibImage {
 public:
  using CDibImage::CDibImage;
  CDibImageInfo& Info() { return m_info; }
  const CDibImageInfo& Info() const { return m_info; }
  BITMAPINFOHEADER& Header() { return m_header; }
  RECT& Box() { return m_info.selectionBox; }
};

inline RGBQUAD Quad(int red, int green, int blue, int reserved = 0) {
  RGBQUAD q;
  q.rgbBlue = static_cast<BYTE>(blue);
  q.rgbGreen = static_cast<BYTE>(green);
  q.rgbRed = static_cast<BYTE>(red);
  q.rgbReserved = static_cast<BYTE>(reserved);
  return q;
}

inline bool SameQuad(const RGBQUAD& a, const RGBQUAD& b) {
  return a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen && a.rgbRed == b.rgbRed &&
         a.rgbReserved == b.rgbReserved;
}

inline std::string QuadText(const RGBQUAD& q) {
  return "(r" + std::to_string(q.rgbRed) + " g" + std::to_string(q.rgbGreen) + " b" +
         std::to_string(q.rgbBlue) + " a" + std::to_string(q.rgbReserved) + ")";
}

// Random pixels (and, for indexed images, a random palette), planes included
// when asked. Deterministic for a given seed.
inline void FillRandom(CDibImage& image, uint32_t seed, bool planes = false) {
  std::mt19937 random(seed);
  auto byte = [&random] { return static_cast<BYTE>(random() & 0xFF); };
  if (RGBQUAD* palette = image.GetPalette())
    for (DWORD i = 0; i < image.GetNumColors(); ++i) palette[i] = Quad(byte(), byte(), byte());
  BYTE* bits = image.GetBits();
  for (size_t i = 0; i < static_cast<size_t>(image.GetEffWidth()) * image.GetHeight(); ++i) bits[i] = byte();
  if (planes) {
    image.AlphaCreate();
    image.SelectionCreate();
    for (DWORD y = 0; y < image.GetHeight(); ++y)
      for (DWORD x = 0; x < image.GetWidth(); ++x) {
        image.AlphaSet(static_cast<int32_t>(x), static_cast<int32_t>(y), byte());
        image.SelectionSet(static_cast<int32_t>(x), static_cast<int32_t>(y), (random() & 3) ? 255 : 0);
      }
  }
}

}  // namespace imagetest
