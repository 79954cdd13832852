// Single-precision point and rectangle of the sampling functions. A rectangle
// runs from its bottom-left corner (x1, y1) to its top-right corner (x2, y2).
#pragma once

#include <algorithm>

class CFloatPoint {
 public:
  CFloatPoint() = default;
  CFloatPoint(float px, float py) : x(px), y(py) {}

  float x = 0.0f;
  float y = 0.0f;
};

class CFloatRect {
 public:
  CFloatRect() = default;
  CFloatRect(float left, float bottom, float right, float top)
      : x1(left), y1(bottom), x2(right), y2(top) {}

  float Surface() const { return (y2 - y1) * (x2 - x1); }
  float Width() const { return x2 - x1; }
  float Height() const { return y2 - y1; }
  CFloatPoint Center() const { return CFloatPoint((x1 + x2) / 2, (y1 + y2) / 2); }
  // The overlap of both rectangles; all zero when they do not meet.
  CFloatRect CrossSection(const CFloatRect& other) const {
    CFloatRect cut(std::max(x1, other.x1), std::max(y1, other.y1), std::min(x2, other.x2),
                   std::min(y2, other.y2));
    if (cut.x2 >= cut.x1 && cut.y2 >= cut.y1) return cut;
    return CFloatRect();
  }

  float x1 = 0.0f;
  float y1 = 0.0f;
  float x2 = 0.0f;
  float y2 = 0.0f;
};
