// CImageIterator: the row cursor the codecs use to fill or read an image one
// row at a time. Rows are counted from the bottom, as stored.
#pragma once

#include <cstdint>

#include "image/WinCompat.h"

class CDibImage;

class CImageIterator {
 public:
  explicit CImageIterator(CDibImage* image);

  // To the top row (height - 1), x 0.
  void Upset();
  // One row down the picture; false once below row 0.
  bool PrevRow();
  // 0 <= y <= height; y = height is an end position only. Other values
  // change nothing.
  BYTE* SetY(int32_t y);
  // Copies n bytes into the current row; n < 0 or beyond the stride means
  // the whole stride. Nothing unless the cursor is on a row of the image.
  void SetRow(const BYTE* buffer, int32_t n);
  // Copies min(n, stride) bytes of the current row out; nothing for n <= 0
  // or off the image.
  void GetRow(BYTE* buffer, int32_t n) const;

 private:
  BYTE* RowAt(int32_t y) const;
  bool OnRow() const;

  int32_t m_x = 0;
  int32_t m_y = 0;
  BYTE* m_row = nullptr;
  CDibImage* m_image;
};
