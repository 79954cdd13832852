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
#include <functional>

#include "image/FloatGeometry.h"
#include "image/WinCompat.h"

class CDibImage;
class CByteStream;

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

  // ---- Palette (DibImagePixels.cpp) ----
  // Everything here does nothing, or answers 0/null/false, without a DIB
  // block or without a palette. Any change to the palette, and handing out a
  // writable pointer to it, drops the nearest-colour cache.
  DWORD GetPaletteSize() const { return m_dib ? PaletteBytes() : 0; }
  RGBQUAD* GetPalette();
  const RGBQUAD* GetPalette() const;
  DWORD GetNumColors() const { return m_dib ? m_header.biClrUsed : 0; }
  bool IsIndexed() const { return GetNumColors() != 0; }
  // All zero when the index is not below the colour count.
  RGBQUAD GetPaletteColor(DWORD index) const;
  bool GetPaletteColor(DWORD index, BYTE* red, BYTE* green, BYTE* blue) const;
  void SetPaletteColor(DWORD index, BYTE red, BYTE green, BYTE blue, BYTE alpha = 0);
  void SetPaletteColor(DWORD index, RGBQUAD colour);
  void SetPalette(const RGBQUAD* palette, DWORD count);
  // `count` red, green, blue byte triples; reserved bytes are left alone.
  void SetPalette(const BYTE* triples, DWORD count);
  // A missing green array means the red one, a missing blue array the green one.
  void SetPalette(DWORD count, const BYTE* red, const BYTE* green = nullptr,
                  const BYTE* blue = nullptr);
  void SetGrayPalette();
  // Only a full 256-entry identity ramp counts as grey.
  bool IsGrayScale() const;
  void SwapIndex(BYTE a, BYTE b);
  void SwapRGB2BGR();
  // True-colour images only: swaps bytes 0 and 2 of each pixel over
  // min(length, row stride, width * 3) bytes.
  void RGBtoBGR(BYTE* buffer, int32_t length) const;
  DWORD GetClrImportant() const { return m_header.biClrImportant; }
  void SetClrImportant(DWORD count);
  void SetStdPalette();
  // Nearest entry among the first colours-important (else colours-used)
  // entries by squared RGB distance; the first of equal entries wins.
  BYTE GetNearestIndex(RGBQUAD colour);
  // Luminance of `a` minus that of `b`, for sorting palettes.
  static int CompareColors(const RGBQUAD* a, const RGBQUAD* b);
  static RGBQUAD RGBtoRGBQUAD(COLORREF colour);

  // ---- Pixels (DibImagePixels.cpp) ----
  // Checked accessors test the block, the palette (for indices) and the
  // bounds; Blind ones must only be given points inside an image that has
  // what they read.
  BYTE GetPixelIndex(int32_t x, int32_t y) const;
  BYTE BlindGetPixelIndex(int32_t x, int32_t y) const;
  void SetPixelIndex(int32_t x, int32_t y, BYTE index);
  void BlindSetPixelIndex(int32_t x, int32_t y, BYTE index);
  RGBQUAD GetPixelColor(int32_t x, int32_t y, bool withAlpha = true) const;
  RGBQUAD BlindGetPixelColor(int32_t x, int32_t y, bool withAlpha = true) const;
  void SetPixelColor(int32_t x, int32_t y, RGBQUAD colour, bool setAlpha = false);
  void SetPixelColor(int32_t x, int32_t y, COLORREF colour);
  void BlindSetPixelColor(int32_t x, int32_t y, RGBQUAD colour, bool setAlpha = false);
  // Null for indexed images.
  BYTE* BlindGetPixelPointer(int32_t x, int32_t y) const;

  // ---- Attributes (DibImagePixels.cpp) ----
  int32_t GetTransIndex() const { return m_info.transIndex; }
  // Stores `index` when it is below the colour count (so -1 switches
  // transparency off), else 0.
  void SetTransIndex(int32_t index);
  bool IsTransparent() const { return m_info.transIndex >= 0; }
  RGBQUAD GetTransColor() const;
  void SetTransColor(RGBQUAD colour);
  void SetFrameDelay(DWORD delay) { m_info.frameDelay = delay; }
  DWORD GetFrameDelay() const { return m_info.frameDelay; }
  int32_t GetNumFrames() const { return m_info.frameCount; }
  // The frame of an animated file that the next decode delivers.
  void SetFrame(int32_t index) { m_info.frameToLoad = index; }
  void SetDisposalMethod(BYTE method) { m_info.disposalMethod = method; }
  BYTE GetDisposalMethod() const { return m_info.disposalMethod; }
  void SetRetrieveAllFrames(bool flag) { m_info.retrieveAllFrames = flag; }
  void SetOffset(int32_t x, int32_t y);
  void SetEscape(int32_t escape) { m_info.escape = escape; }
  BYTE GetJpegScale() const { return m_info.jpegScale; }
  BYTE GetJpegQuality() const;

  // ---- Byte order of file fields (DibImagePixels.cpp) ----
  WORD ntohs(WORD value) const;
  DWORD ntohl(DWORD value) const;
  void bihtoh(BITMAPINFOHEADER* header) const;

  // ---- Alpha plane (DibImagePlanes.cpp) ----
  // A ghost never allocates, frees or replaces a plane: it owns none.
  bool AlphaCreate();
  void AlphaDelete();
  bool AlphaIsValid() const { return m_alpha != nullptr; }
  void AlphaSet(BYTE level);
  void AlphaSet(int32_t x, int32_t y, BYTE level);
  // Copies the rows of a same-sized grey-scale image into the plane.
  bool AlphaSet(const CDibImage& grey);
  BYTE AlphaGet(int32_t x, int32_t y) const;
  BYTE BlindAlphaGet(int32_t x, int32_t y) const;
  BYTE* AlphaGetPointer(int32_t x = 0, int32_t y = 0) const;
  void AlphaSetMax(BYTE value) { m_info.alphaMax = value; }
  void AlphaInvert();
  bool AlphaCopy(const CDibImage& source);
  bool AlphaPaletteIsValid() const;
  bool AlphaFlip();
  bool AlphaMirror();
  // Blends the picture onto the stored transparent colour and drops alpha;
  // an indexed image becomes 24-bit. False (image unchanged) when the
  // 24-bit image cannot be made.
  bool AlphaStrip();

  // ---- Selection plane (DibImagePlanes.cpp) ----
  bool SelectionCreate();
  bool SelectionDelete();
  bool SelectionIsValid() const { return m_selection != nullptr; }
  // True everywhere without a plane; false outside the image with one.
  bool SelectionIsInside(int32_t x, int32_t y) const;
  void SelectionSet(int32_t x, int32_t y, BYTE level);
  BYTE BlindSelectionGet(int32_t x, int32_t y) const;
  BYTE* SelectionGetPointer(int32_t x = 0, int32_t y = 0) const;
  bool SelectionCopy(const CDibImage& source);
  bool SelectionFlip();
  bool SelectionMirror();

  // ---- Sampling at non-integer positions (DibImageSampling.cpp) ----
  // Pixel centres lie at integer coordinates. Codes outside 1-18 mean bilinear.
  enum InterpolationMethod {
    IM_NEAREST_NEIGHBOUR = 1, IM_BILINEAR = 2, IM_BSPLINE = 3, IM_BICUBIC = 4,
    IM_BICUBIC2 = 5, IM_LANCZOS = 6, IM_BOX = 7, IM_HERMITE = 8, IM_HAMMING = 9,
    IM_SINC = 10, IM_BLACKMAN = 11, IM_BESSEL = 12, IM_GAUSSIAN = 13,
    IM_QUADRATIC = 14, IM_MITCHELL = 15, IM_CATROM = 16, IM_HANNING = 17, IM_POWER = 18
  };
  // What a position outside the image yields.
  enum OverflowMethod {
    OM_COLOR = 1, OM_BACKGROUND = 2, OM_TRANSPARENT = 3, OM_WRAP = 4, OM_REPEAT = 5,
    OM_MIRROR = 6
  };
  // Moves outside positions inside for wrap, repeat and mirror.
  void FoldCoordinates(int32_t& x, int32_t& y, int overflow) const;
  void FoldCoordinates(float& x, float& y, int overflow) const;
  // `replacement` null means white with alpha 0.
  RGBQUAD PixelWithOverflow(int32_t x, int32_t y, int overflow,
                            const RGBQUAD* replacement = nullptr) const;
  RGBQUAD SampleInterpolated(float x, float y, int interpolation, int overflow,
                             const RGBQUAD* replacement = nullptr) const;
  // Average over a width x height area centred at (x, y), for reductions.
  RGBQUAD SampleArea(float x, float y, float width, float height, int interpolation,
                     int overflow, const RGBQUAD* replacement = nullptr) const;

  // Resampling kernels of a signed distance.
  static float KernelBSpline(float x);
  static float KernelCubic(float x);
  static float KernelGenCubic(float x, float p);
  static float KernelLanczosSinc(float x, float radius);
  static float KernelBox(float x);
  static float KernelHermite(float x);
  static float KernelHamming(float x);
  static float KernelSinc(float x);
  static float KernelBlackman(float x);
  static float KernelBessel(float x);
  static float KernelGaussian(float x);
  static float KernelQuadratic(float x);
  static float KernelMitchell(float x);
  static float KernelCatrom(float x);
  static float KernelHanning(float x);
  static float KernelPower(float x, float exponent);
  // Bessel function of the first kind, order one.
  static double BesselJ1(double x);

  // ---- Transforms and bit depth (DibImageTransform.cpp) ----
  // All but Flip build the result in a new image and hand it over with
  // Transfer; all fail at once without a DIB block. y = 0 is the bottom row.
  bool Flip(bool flipSelection = true, bool flipAlpha = true);
  bool Mirror(bool mirrorSelection = true, bool mirrorAlpha = true);
  // A quarter turn counter-clockwise / clockwise, into `output` when given.
  bool RotateLeft(CDibImage* output = nullptr);
  bool RotateRight(CDibImage* output = nullptr);
  bool Negative();
  // Mode 1 nearest, 2 bicubic B-spline; otherwise a box filter for 24-bit
  // reductions and bilinear for the rest.
  bool Resample(int32_t newWidth, int32_t newHeight, int mode = 1, CDibImage* output = nullptr);
  // Adds borders in the canvas colour; the top border goes above the picture.
  bool Expand(int32_t left, int32_t top, int32_t right, int32_t bottom, RGBQUAD canvas,
              CDibImage* output = nullptr);
  // Maps the image onto `palette` (the standard palette when null) at the
  // target depth, optionally with error diffusion; `colourCount` limits the
  // entries used.
  bool DecreaseBpp(DWORD bits, bool errorDiffusion, const RGBQUAD* palette = nullptr,
                   DWORD colourCount = 0);
  bool IncreaseBpp(DWORD bits);

  // ---- Formats and codec dispatch ----
  // Format ids select a codec; 0 means "unknown, try every decoder". 16 is unused.
  enum FormatId : DWORD {
    kFormatUnknown = 0,
    kFormatBmp = 1,
    kFormatGif = 2,
    kFormatJpg = 3,
    kFormatPng = 4,
    kFormatIco = 5,
    kFormatTif = 6,
    kFormatTga = 7,
    kFormatPcx = 8,
    kFormatWbmp = 9,
    kFormatWmf = 10,
    kFormatJp2 = 11,
    kFormatJpc = 12,
    kFormatPgx = 13,
    kFormatPnm = 14,
    kFormatRas = 15,
    kFormatMng = 17,
    kFormatSka = 18,
    kFormatRaw = 19,
  };
  // Loads `fileName` (see Load); the caller tests IsValid afterwards.
  CDibImage(const wchar_t* fileName, DWORD formatId);
  // Extension without the dot; only its first three characters count. 0 when unknown.
  static DWORD GetTypeIdFromName(const wchar_t* extension);
  // Slot of the codec-option words; 0 for ids without a codec.
  static DWORD GetTypeIndexFromId(DWORD formatId);
  bool SetType(DWORD formatId);
  // Codecs pass their own id; 0 falls back on this image's format id.
  DWORD GetCodecOption(DWORD formatId = 0) const;
  bool SetCodecOption(DWORD option, DWORD formatId = 0);
  // True when encoding must not start (no stream, no image); sets the reason.
  bool EncodeSafeCheck(CByteStream* stream);
  bool Encode(CByteStream* stream, DWORD formatId);
  bool Encode(FILE* file, DWORD formatId);
  // Id 0 tries every decoder from the stream's current position.
  bool Decode(CByteStream* stream, DWORD formatId);
  bool Decode(FILE* file, DWORD formatId);
  // Writes a temporary file beside `fileName` and only then replaces it, so a
  // failed save leaves any existing file as it was. A file that cannot be made
  // or put in place sets no text: the system's reason is the thread's last
  // error (errno off Windows) on return.
  bool Save(const wchar_t* fileName, DWORD formatId);
  // The same for any writer (several frames, say): `encode` fills the
  // temporary file. A failure of the disk or of the replacing becomes this
  // image's last-error text; a temporary file that cannot be made leaves it.
  bool SaveWith(const wchar_t* fileName, const std::function<bool(CByteStream*)>& encode);
  // A file whose contents do not match `formatId` is retried with every
  // decoder; when that fails too, the asked-for decoder's message is kept.
  bool Load(const wchar_t* fileName, DWORD formatId);

#ifdef _WIN32
  // ---- GDI interop (Windows) ----
  // Converts any bitmap into an image of its depth (16 and 32 bits become 24).
  bool CreateFromHBITMAP(HBITMAP bitmap, HPALETTE palette = nullptr);
  // A new DIB section holding a copy of the image, owned by the caller; null
  // on failure.
  HBITMAP MakeBitmap(HDC dc = nullptr) const;
  // Paints the image over what the DC shows, honouring the transparent index
  // or colour, the alpha plane, an alpha palette and the alpha maximum. cx or
  // cy below 0 mean the image's own size. Only the visible part is built.
  bool Draw(HDC dc, int32_t x = 0, int32_t y = 0, int32_t cx = -1, int32_t cy = -1,
            const RECT* clip = nullptr, bool smooth = false) const;
  bool Draw(HDC dc, const RECT& destination, const RECT* clip = nullptr, bool smooth = false) const;
  // Plain StretchDIBits: no transparency, no alpha.
  bool Stretch(HDC dc, int32_t x, int32_t y, int32_t cx, int32_t cy, DWORD rop = SRCCOPY) const;
  bool Stretch(HDC dc, const RECT& destination, DWORD rop = SRCCOPY) const;
#endif

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
  void InvalidateNearest() { m_info.nearestValid = false; }
  bool IsPaletteIndex(DWORD index) const { return m_dib && index < m_header.biClrUsed; }
  RGBQUAD* PaletteEntries() const {
    return m_dib && m_header.biClrUsed ? reinterpret_cast<RGBQUAD*>(m_dib + sizeof(BITMAPINFOHEADER))
                                       : nullptr;
  }
  // Finishes a transform: hands `result` to `output` (or to this image) with
  // Transfer; false when the receiver cannot take it (a ghost).
  bool HandOver(CDibImage& result, CDibImage* output);
  // Colour of the sampling functions for a position outside the image.
  RGBQUAD OverflowColor(int overflow, const RGBQUAD* replacement) const;
  RGBQUAD SampleKernel(float x, float y, int interpolation, int overflow,
                       const RGBQUAD* replacement) const;
  RGBQUAD SampleBilinear(float x, float y, int overflow, const RGBQUAD* replacement) const;
  // The box filter of Resample for 24-bit reductions, into `result`.
  void ResampleBox(CDibImage& result);

  BYTE* m_dib;                // owned DIB block, null when empty
  BITMAPINFOHEADER m_header;  // authority for width, height and depth
  CDibImageInfo m_info;
  BYTE* m_selection;          // width x height bytes, or null
  BYTE* m_alpha;              // width x height bytes, 255 = opaque, or null
  CDibImage** m_layers;       // m_info.layerCount owned images
  CDibImage** m_frames;       // m_info.frameCount owned images
};
