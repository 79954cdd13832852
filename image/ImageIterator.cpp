#include "image/ImageIterator.h"

#include <cstring>

#include "image/DibImage.h"

CImageIterator::CImageIterator(CDibImage* image) : m_image(image) {
  m_row = RowAt(0);
}

BYTE* CImageIterator::RowAt(int32_t y) const {
  if (!m_image || !m_image->GetBits(0)) return nullptr;
  return m_image->GetBits(0) + static_cast<size_t>(y) * m_image->GetEffWidth();
}

bool CImageIterator::OnRow() const {
  return m_row && m_y >= 0 && static_cast<int64_t>(m_y) < static_cast<int64_t>(m_image->GetHeight());
}

void CImageIterator::Upset() {
  m_x = 0;
  m_y = m_image ? static_cast<int32_t>(m_image->GetHeight()) - 1 : -1;
  m_row = m_y >= 0 ? RowAt(m_y) : nullptr;
}

bool CImageIterator::PrevRow() {
  if (m_y < 0) return false;  // already past the bottom
  --m_y;
  if (m_y < 0) return false;
  m_row = RowAt(m_y);
  return true;
}

BYTE* CImageIterator::SetY(int32_t y) {
  if (m_image && y >= 0 && static_cast<int64_t>(y) <= static_cast<int64_t>(m_image->GetHeight())) {
    m_y = y;
    m_row = RowAt(y);
  }
  return m_row;
}

void CImageIterator::SetRow(const BYTE* buffer, int32_t n) {
  if (!buffer || n == 0 || !OnRow()) return;
  const DWORD stride = m_image->GetEffWidth();
  const size_t bytes = (n < 0 || static_cast<DWORD>(n) > stride) ? stride : static_cast<size_t>(n);
  std::memcpy(m_row, buffer, bytes);
}

void CImageIterator::GetRow(BYTE* buffer, int32_t n) const {
  if (!buffer || n <= 0 || !OnRow()) return;
  const DWORD stride = m_image->GetEffWidth();
  std::memcpy(buffer, m_row, static_cast<DWORD>(n) < stride ? static_cast<size_t>(n) : stride);
}
