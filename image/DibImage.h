// CDibImage: the in-memory image. One DIB block (BITMAPINFOHEADER, palette,
// bottom-up rows padded to 4 bytes) that GDI takes unchanged, a header copy
// that is the authority for the geometry, the per-image settings in
// CDibImageInfo, and optional selection/alpha planes, layers and frames.
//
// Every block and plane is malloc'd and released with free(); layer and frame
// images are new'd, in malloc'd arrays of pointers. A ghost is a shallow view
// of another image: it owns nothing and its source must outlive it.
#pragma once

#include <cstdint>

#include "image/WinCompat.h"

class CDibImage;

// Largest pixel block Create accepts, in bytes (2^31 bits).
constexpr uint32_t DIBIMAGE_MAX_MEMORY = 268435456;
// Codec-option words, one per format index.
constexpr int DIBIMAGE_CODEC_OPTION_COUNT = 19;
constexpr int DIBIMAGE_ERROR_SIZE = 256;

struct CDibImageInfo {
  DWORD rowStride;          // bytes per pixel row, padded to 4
  BYTE* pixels;             // row 0 inside the DIB block
  CDibImage* ghostSource;   // set when this image is a view of another
  DWORD formatId;
  char lastError[DIBIMAGE_ERROR_SIZE];
  int32_t progress;         // 0-100 while long operations run
  int32_t escape;           // non-zero stops a running loop; -1 asks decoders for dimensions only
  int32_t transIndex;       // palette index shown as transparent, negative = none
  RGBQUAD transColor;       // true-colour transparency; background when alpha is stripped
  float jpegQuality;
  BYTE jpegScale;
  int32_t frameToLoad;
  int32_t frameCount;       // also the length of the frame array
  DWORD frameDelay;
  int32_t xDpi;
  int32_t yDpi;
  RECT selectionBox;
  BYTE alphaMax;            // global opacity multiplier
  bool alphaPalette;        // palette reserved bytes are alpha values
  bool enabled;             // painting does nothing when false
  int32_t xOffset;
  int32_t yOffset;
  DWORD codecOptions[DIBIMAGE_CODEC_OPTION_COUNT];
  RGBQUAD nearestColor;     // one-entry cache of the nearest-palette-index search
  BYTE nearestIndex;
  bool nearestValid;
  int32_t layerCount;
  BYTE disposalMethod;
  bool retrieveAllFrames;
  bool littleEndianHost;
};

class CDibImage {
 public:
  // ---- Construction and lifetime ----
  explicit CDibImage(DWORD formatId = 0);
  CDibImage(int32_t width, int32_t height, DWORD bpp, DWORD formatId = 0);
  // A copy (or, of a ghost, another ghost) of `source`.
  CDibImage(const CDibImage& source, bool copyPixels = true, bool copySelection = true,
            bool copyAlpha = true);
  CDibImage& operator=(const CDibImage&) = delete;
  virtual ~CDibImage();

  // Returns the DIB block, or null with the reason in GetLastError. bpp is
  // rounded up to 1, 4, 8 or 24; the pixel rows start zeroed.
  BYTE* Create(int32_t width, int32_t height, DWORD bpp, DWORD formatId);
  // Frees pixels, planes and layers; false (nothing freed) for a ghost. The
  // header copy and the settings survive, for the next decode.
  bool Destroy();
  bool DestroyFrames();
  // Settings, geometry and (optionally) pixels and planes of `source`; never
  // its frames or layers. False when this image is a ghost or creation fails.
  bool Copy(const CDibImage& source, bool copyPixels = true, bool copySelection = true,
            bool copyAlpha = true);
  // Moves everything of `source` into this image and leaves `source` empty;
  // frames move only when asked. False when either image is a ghost.
  bool Transfer(CDibImage& source, bool transferFrames = true);
  // Makes this image a view of `source`, releasing what it owned before.
  void Ghost(const CDibImage& source);
  // Takes over the settings of `source` (not its geometry); only while this
  // image holds no DIB block.
  void CopyInfo(const CDibImage& source);
  void Clear(BYTE value = 0);

  // ---- Rows and geometry ----
  BYTE* GetBits(DWORD row = 0) const;
  DWORD GetSize() const;
  bool IsInside(int32_t x, int32_t y) const;
  bool IsValid() const { return m_dib != nullptr; }
  BYTE* GetDIB() const { return m_dib; }
  DWORD GetWidth() const { return static_cast<DWORD>(m_header.biWidth); }
  DWORD GetHeight() const { return static_cast<DWORD>(m_header.biHeight); }
  WORD GetBpp() const { return m_header.biBitCount; }
  DWORD GetEffWidth() const { return m_info.rowStride; }
  DWORD GetType() const { return m_info.formatId; }

  // ---- Resolution ----
  int32_t GetXDPI() const { return m_info.xDpi; }
  int32_t GetYDPI() const { return m_info.yDpi; }
  void SetXDPI(int32_t dpi);
  void SetYDPI(int32_t dpi);

  // ---- Errors ----
  const char* GetLastError() const { return m_info.lastError; }
  // Copies at most 255 characters and always terminates; null clears.
  void SetLastErrorText(const char* text);

 protected:
  void Startup(DWORD formatId);
  bool IsGhost() const { return m_info.ghostSource != nullptr; }
  BITMAPINFOHEADER* DibHeader() const { return reinterpret_cast<BITMAPINFOHEADER*>(m_dib); }
  DWORD PaletteBytes() const { return m_header.biClrUsed * static_cast<DWORD>(sizeof(RGBQUAD)); }
  // Copies the settings of `info` but keeps what describes this image's own
  // memory: pixel pointer, row stride, ghost source, frame and layer counts.
  void AdoptSettings(const CDibImageInfo& info);
  // Forgets every pointer without freeing (after a hand-over).
  void Forget();

  BYTE* m_dib;                // owned DIB block, null when empty
  BITMAPINFOHEADER m_header;  // authority for width, height and depth
  CDibImageInfo m_info;
  BYTE* m_selection;          // width x height bytes, or null
  BYTE* m_alpha;              // width x height bytes, 255 = opaque, or null
  CDibImage** m_layers;       // m_info.layerCount owned images
  CDibImage** m_frames;       // m_info.frameCount owned images
};
