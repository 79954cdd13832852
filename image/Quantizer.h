// CQuantizer: an octree colour quantizer that builds one palette of at most
// 256 colours for a picture (or several pictures fed in turn), so it can be
// reduced to the 8-bit image GIF files need. It reads DIB blocks only.
#pragma once

#include <cstdint>

#include "image/WinCompat.h"

class CQuantizer {
 public:
  // Leaves are `colorBits` deep (at most 8); callers use 7. The palette holds
  // at most `maxColors` entries (at most 256): fewer leave room for a colour
  // the caller adds, such as a GIF's transparent one.
  explicit CQuantizer(UINT colorBits, UINT maxColors = 256);
  virtual ~CQuantizer();
  CQuantizer(const CQuantizer&) = delete;
  CQuantizer& operator=(const CQuantizer&) = delete;

  // Adds every pixel of a DIB block (header, palette, rows) of 1, 4, 8 or 24
  // bits; false, with the tree unchanged, for any other layout.
  bool ProcessImage(const BYTE* dib);
  // Writes one entry per leaf, in tree order, into a palette of at least 256
  // entries; the entries beyond GetLeafCount() are left alone.
  void SetColorTable(RGBQUAD* palette) const;
  UINT GetLeafCount() const { return m_leafCount; }

 private:
  struct Node;
  static const int kLevels = 9;

  void AddColor(BYTE red, BYTE green, BYTE blue, BYTE alpha);
  void ReduceTree();
  static void GetPaletteColors(const Node* node, RGBQUAD* palette, UINT* index, UINT limit);
  static void DeleteTree(Node*& node);

  Node* m_tree = nullptr;
  UINT m_leafCount = 0;
  Node* m_reducible[kLevels] = {};
  UINT m_maxColors = 256;
  UINT m_outputColors = 256;
  UINT m_colorBits;
};
