#include "image/Quantizer.h"

#include <climits>
#include <cstring>
#include <cstdlib>
#include <new>

struct CQuantizer::Node {
  bool leaf = false;
  // 64 bits: a few full-HD frames of white already overflow 32-bit sums.
  uint64_t pixelCount = 0;
  uint64_t redSum = 0;
  uint64_t greenSum = 0;
  uint64_t blueSum = 0;
  uint64_t alphaSum = 0;
  Node* children[8] = {};
  Node* next = nullptr;  // reducible list of the node's level
};

CQuantizer::CQuantizer(UINT colorBits, UINT maxColors)
    : m_maxColors(maxColors == 0 || maxColors > 256 ? 256 : maxColors),
      m_outputColors(m_maxColors),
      m_colorBits(colorBits < 8 ? colorBits : 8) {}

CQuantizer::~CQuantizer() {
  DeleteTree(m_tree);
}

bool CQuantizer::ProcessImage(const BYTE* dib) {
  if (!dib) return false;
  BITMAPINFOHEADER header;
  std::memcpy(&header, dib, sizeof header);
  const WORD bits = header.biBitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return false;
  if (header.biSize < sizeof header || header.biWidth <= 0 || header.biHeight == 0 ||
      header.biHeight == INT32_MIN)
    return false;
  const int64_t width = header.biWidth;
  const int64_t height = header.biHeight < 0 ? -static_cast<int64_t>(header.biHeight) : header.biHeight;

  // An indexed DIB that states no count has the full palette of its depth.
  DWORD colours = header.biClrUsed;
  if (bits <= 8 && colours == 0) colours = DWORD{1} << bits;
  const RGBQUAD* palette = reinterpret_cast<const RGBQUAD*>(dib + header.biSize);
  const size_t stride = static_cast<size_t>(((bits * width + 31) / 32) * 4);
  const BYTE* rows = dib + header.biSize + static_cast<size_t>(colours) * sizeof(RGBQUAD);

  for (int64_t y = 0; y < height; ++y) {
    const BYTE* row = rows + static_cast<size_t>(y) * stride;
    for (int64_t x = 0; x < width; ++x) {
      if (bits == 24) {
        const BYTE* pixel = row + 3 * x;
        AddColor(pixel[2], pixel[1], pixel[0], 0);
      } else {
        DWORD index;
        if (bits == 8) index = row[x];
        else if (bits == 4) index = (x & 1) ? row[x / 2] & 0x0F : row[x / 2] >> 4;
        else index = (row[x / 8] >> (7 - (x & 7))) & 1;
        // A palette shorter than the depth allows: stray indices take its last entry.
        if (index >= colours) index = colours - 1;
        const RGBQUAD& entry = palette[index];
        AddColor(entry.rgbRed, entry.rgbGreen, entry.rgbBlue, entry.rgbReserved);
      }
      while (m_leafCount > m_maxColors) ReduceTree();
    }
  }
  return true;
}

void CQuantizer::AddColor(BYTE red, BYTE green, BYTE blue, BYTE alpha) {
  Node** slot = &m_tree;
  for (UINT level = 0;; ++level) {
    if (!*slot) {
      Node* node = new (std::nothrow) Node;
      if (!node) return;  // the colour is lost, nothing else
      if (level == m_colorBits) {
        node->leaf = true;
        ++m_leafCount;
      } else {
        node->next = m_reducible[level];
        m_reducible[level] = node;
      }
      *slot = node;
    }
    Node* node = *slot;
    if (node->leaf) {
      ++node->pixelCount;
      node->redSum += red;
      node->greenSum += green;
      node->blueSum += blue;
      node->alphaSum += alpha;
      return;
    }
    const int shift = 7 - static_cast<int>(level);
    const int mask = 0x80 >> level;
    const int index = (((red & mask) >> shift) << 2) | (((green & mask) >> shift) << 1) | ((blue & mask) >> shift);
    slot = &node->children[index];
  }
}

void CQuantizer::ReduceTree() {
  int level = static_cast<int>(m_colorBits) - 1;
  while (level > 0 && !m_reducible[level]) --level;
  if (level < 0 || !m_reducible[level]) return;

  Node* node = m_reducible[level];
  m_reducible[level] = node->next;
  node->next = nullptr;

  uint64_t pixels = 0, red = 0, green = 0, blue = 0, alpha = 0;
  UINT children = 0;
  for (Node*& child : node->children) {
    if (!child) continue;
    pixels += child->pixelCount;
    red += child->redSum;
    green += child->greenSum;
    blue += child->blueSum;
    alpha += child->alphaSum;
    DeleteTree(child);
    ++children;
  }
  node->pixelCount += pixels;
  node->redSum = red;
  node->greenSum = green;
  node->blueSum = blue;
  node->alphaSum = alpha;
  node->leaf = true;
  m_leafCount = m_leafCount - children + 1;
}

void CQuantizer::GetPaletteColors(const Node* node, RGBQUAD* palette, UINT* index, UINT limit) {
  if (!node) return;
  if (node->leaf) {
    if (*index >= limit || node->pixelCount == 0) return;
    auto mean = [node](uint64_t sum) {
      const double value = static_cast<double>(sum) / static_cast<double>(node->pixelCount) + 0.5;
      return static_cast<BYTE>(value > 255.0 ? 255.0 : value);
    };
    palette[*index] = RGBQUAD{mean(node->blueSum), mean(node->greenSum), mean(node->redSum), mean(node->alphaSum)};
    ++*index;
    return;
  }
  for (const Node* child : node->children) GetPaletteColors(child, palette, index, limit);
}

void CQuantizer::SetColorTable(RGBQUAD* palette) const {
  if (!palette) return;
  UINT index = 0;
  GetPaletteColors(m_tree, palette, &index, m_outputColors);
}

void CQuantizer::DeleteTree(Node*& node) {
  if (!node) return;
  for (Node*& child : node->children) DeleteTree(child);
  delete node;
  node = nullptr;
}
