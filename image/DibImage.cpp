#include "image/DibImage.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// Allocation size of a width x height byte plane, 0 when it cannot be addressed.
size_t PlaneBytes(const BITMAPINFOHEADER& header) {
  if (header.biWidth <= 0 || header.biHeight <= 0) return 0;
  const uint64_t bytes = static_cast<uint64_t>(header.biWidth) * static_cast<uint64_t>(header.biHeight);
  return bytes > SIZE_MAX ? 0 : static_cast<size_t>(bytes);
}

BYTE* DuplicatePlane(const BYTE* plane, size_t bytes) {
  if (!plane || bytes == 0) return nullptr;
  BYTE* copy = static_cast<BYTE*>(std::malloc(bytes));
  if (copy) std::memcpy(copy, plane, bytes);
  return copy;
}

LONG PixelsPerMetre(int32_t dpi) {
  // floor(dpi * 10000 / 254 + 0.5) without floating point or overflow.
  const int64_t ppm = (static_cast<int64_t>(dpi) * 20000 + 254) / 508;
  return static_cast<LONG>(std::min<int64_t>(ppm, INT32_MAX));
}

}  // namespace

// ---- Construction and lifetime ----

CDibImage::CDibImage(DWORD formatId) {
  Startup(formatId);
}

CDibImage::CDibImage(int32_t width, int32_t height, DWORD bpp, DWORD formatId) {
  Startup(formatId);
  Create(width, height, bpp, formatId);
}

CDibImage::CDibImage(const CDibImage& source, bool copyPixels, bool copySelection, bool copyAlpha) {
  Startup(source.GetType());
  Copy(source, copyPixels, copySelection, copyAlpha);
}

CDibImage::~CDibImage() {
  DestroyFrames();
  Destroy();
}

void CDibImage::Startup(DWORD formatId) {
  Forget();
  m_header = BITMAPINFOHEADER{};
  m_info = CDibImageInfo{};
  m_info.formatId = formatId;
  m_info.transIndex = -1;
  m_info.jpegQuality = 90.0f;
  m_info.alphaMax = 255;
  m_info.enabled = true;
  m_info.littleEndianHost = true;
  SetXDPI(96);
  SetYDPI(96);
}

void CDibImage::Forget() {
  m_dib = nullptr;
  m_selection = nullptr;
  m_alpha = nullptr;
  m_layers = nullptr;
  m_frames = nullptr;
}

BYTE* CDibImage::Create(int32_t width, int32_t height, DWORD bpp, DWORD formatId) {
  if (!Destroy()) return nullptr;

  if (width <= 0 || height <= 0) {
    SetLastErrorText("CDibImage::Create : width and height must be greater than zero");
    return nullptr;
  }

  if (bpp <= 1) bpp = 1;
  else if (bpp <= 4) bpp = 4;
  else if (bpp <= 8) bpp = 8;
  else bpp = 24;

  // 64-bit, and on the padded rows actually allocated: a 32-bit product wraps
  // for large images, and padding alone can quadruple a narrow 1-bit image.
  const uint64_t stride = ((static_cast<uint64_t>(width) * bpp + 31) >> 5) * 4;
  const uint64_t imageSize = stride * static_cast<uint64_t>(height);
  if (imageSize > DIBIMAGE_MAX_MEMORY) {
    SetLastErrorText("DIBIMAGE_MAX_MEMORY exceeded");
    return nullptr;
  }

  DWORD colours = 0;
  if (bpp == 1) colours = 2;
  else if (bpp == 4) colours = 16;
  else if (bpp == 8) colours = 256;

  m_header.biSize = sizeof(BITMAPINFOHEADER);
  m_header.biWidth = width;
  m_header.biHeight = height;
  m_header.biPlanes = 1;
  m_header.biBitCount = static_cast<WORD>(bpp);
  m_header.biCompression = BI_RGB;
  m_header.biSizeImage = static_cast<DWORD>(imageSize);
  m_header.biClrUsed = colours;
  // A count left over from an earlier, larger palette would send the nearest
  // colour search past the end of this one.
  if (m_header.biClrImportant > colours) m_header.biClrImportant = 0;
  m_info.rowStride = static_cast<DWORD>(stride);
  m_info.formatId = formatId;
  m_info.nearestValid = false;

  // Zeroed: rows that a short read or a failed GDI call leaves unwritten must
  // not carry old heap contents into a saved file.
  m_dib = static_cast<BYTE*>(std::calloc(1, GetSize()));
  if (!m_dib) {
    SetLastErrorText("CDibImage::Create can't allocate memory");
    return nullptr;
  }
  std::memcpy(m_dib, &m_header, sizeof(BITMAPINFOHEADER));
  m_info.pixels = m_dib + sizeof(BITMAPINFOHEADER) + PaletteBytes();
  return m_dib;
}

bool CDibImage::Destroy() {
  if (IsGhost()) return false;
  if (m_layers) {
    for (int32_t i = 0; i < m_info.layerCount; ++i) delete m_layers[i];
    std::free(m_layers);
    m_layers = nullptr;
  }
  m_info.layerCount = 0;
  std::free(m_selection);
  m_selection = nullptr;
  std::free(m_alpha);
  m_alpha = nullptr;
  std::free(m_dib);
  m_dib = nullptr;
  m_info.pixels = nullptr;
  return true;
}

bool CDibImage::DestroyFrames() {
  if (IsGhost()) return false;
  if (m_frames) {
    for (int32_t i = 0; i < m_info.frameCount; ++i) delete m_frames[i];
    std::free(m_frames);
    m_frames = nullptr;
  }
  m_info.frameCount = 0;
  return true;
}

// ---- Copies, ghosts and hand-overs ----

void CDibImage::AdoptSettings(const CDibImageInfo& info) {
  const DWORD rowStride = m_info.rowStride;
  BYTE* pixels = m_info.pixels;
  CDibImage* ghostSource = m_info.ghostSource;
  const int32_t frameCount = m_info.frameCount;
  const int32_t layerCount = m_info.layerCount;
  m_info = info;
  m_info.lastError[DIBIMAGE_ERROR_SIZE - 1] = '\0';
  m_info.rowStride = rowStride;
  m_info.pixels = pixels;
  m_info.ghostSource = ghostSource;
  m_info.frameCount = frameCount;
  m_info.layerCount = layerCount;
  // The cached answer belongs to the other image's palette.
  m_info.nearestValid = false;
}

bool CDibImage::Copy(const CDibImage& source, bool copyPixels, bool copySelection, bool copyAlpha) {
  if (&source == this) return true;
  if (source.IsGhost()) {
    Ghost(source);
    return true;
  }
  // A ghost's header must keep describing the block it views.
  if (IsGhost()) return false;

  AdoptSettings(source.m_info);
  m_header = source.m_header;
  if (!Create(source.m_header.biWidth, source.m_header.biHeight, source.m_header.biBitCount,
              source.m_info.formatId))
    return false;

  if (source.m_dib) {
    const BITMAPINFOHEADER& from = source.m_header;
    const bool sameLayout = from.biClrUsed == m_header.biClrUsed && source.GetSize() == GetSize();
    if (copyPixels && sameLayout) {
      std::memcpy(m_dib, source.m_dib, GetSize());
      std::memcpy(m_dib, &m_header, sizeof(BITMAPINFOHEADER));
    } else {
      const DWORD entries = std::min<DWORD>({from.biClrUsed, m_header.biClrUsed, 256});
      std::memcpy(m_dib + sizeof(BITMAPINFOHEADER), source.m_dib + sizeof(BITMAPINFOHEADER),
                  entries * sizeof(RGBQUAD));
      if (copyPixels && source.m_info.pixels) {
        const uint64_t ours = static_cast<uint64_t>(m_info.rowStride) * m_header.biHeight;
        const uint64_t theirs = static_cast<uint64_t>(source.m_info.rowStride) * from.biHeight;
        std::memcpy(m_info.pixels, source.m_info.pixels, static_cast<size_t>(std::min(ours, theirs)));
      }
    }
  }

  const size_t planeBytes = PlaneBytes(m_header);
  if (copySelection && source.m_selection) {
    m_selection = DuplicatePlane(source.m_selection, planeBytes);
    if (!m_selection) {
      SetLastErrorText("CDibImage::Copy can't allocate memory");
      return false;
    }
  }
  if (copyAlpha && source.m_alpha) {
    m_alpha = DuplicatePlane(source.m_alpha, planeBytes);
    if (!m_alpha) {
      SetLastErrorText("CDibImage::Copy can't allocate memory");
      return false;
    }
  }
  return true;
}

bool CDibImage::Transfer(CDibImage& source, bool transferFrames) {
  if (&source == this) return true;
  // Taking over a ghost's pointers would free its source's memory twice.
  if (source.IsGhost()) return false;
  if (!Destroy()) return false;
  if (transferFrames) DestroyFrames();

  CDibImage** keptFrames = m_frames;
  const int32_t keptFrameCount = m_info.frameCount;

  m_header = source.m_header;
  m_info = source.m_info;
  m_info.nearestValid = false;
  m_dib = source.m_dib;
  m_selection = source.m_selection;
  m_alpha = source.m_alpha;
  m_layers = source.m_layers;

  CDibImage** sourceFrames = source.m_frames;
  const int32_t sourceFrameCount = source.m_info.frameCount;
  if (transferFrames) {
    m_frames = sourceFrames;
    sourceFrames = nullptr;
  } else {
    // Each image keeps its own frames, with the count that goes with them.
    m_frames = keptFrames;
    m_info.frameCount = keptFrameCount;
  }

  source.Forget();
  source.m_header = BITMAPINFOHEADER{};
  source.m_info = CDibImageInfo{};
  source.m_frames = sourceFrames;
  source.m_info.frameCount = sourceFrames ? sourceFrameCount : 0;
  return true;
}

void CDibImage::Ghost(const CDibImage& source) {
  if (&source == this) return;
  if (!IsGhost()) {
    DestroyFrames();
    Destroy();
  }
  m_header = source.m_header;
  m_info = source.m_info;
  m_dib = source.m_dib;
  m_selection = source.m_selection;
  m_alpha = source.m_alpha;
  m_layers = source.m_layers;
  m_frames = source.m_frames;
  m_info.ghostSource = const_cast<CDibImage*>(&source);
  // The source may change the shared palette without telling this view.
  m_info.nearestValid = false;
}

void CDibImage::CopyInfo(const CDibImage& source) {
  if (m_dib || &source == this) return;
  AdoptSettings(source.m_info);
}

void CDibImage::Clear(BYTE value) {
  if (!m_dib) return;
  BYTE fill = value;
  if (m_header.biBitCount == 1) fill = value ? 255 : 0;
  else if (m_header.biBitCount == 4) fill = static_cast<BYTE>((value & 15) * 17);
  std::memset(m_info.pixels, fill, static_cast<size_t>(m_info.rowStride) * GetHeight());
}

// ---- Rows and geometry ----

BYTE* CDibImage::GetBits(DWORD row) const {
  if (!m_dib) return nullptr;
  if (row == 0) return m_info.pixels;
  if (row >= GetHeight()) return nullptr;
  return m_info.pixels + static_cast<size_t>(row) * m_info.rowStride;
}

DWORD CDibImage::GetSize() const {
  return m_header.biSize + PaletteBytes() + m_header.biSizeImage;
}

bool CDibImage::IsInside(int32_t x, int32_t y) const {
  return x >= 0 && y >= 0 && x < m_header.biWidth && y < m_header.biHeight;
}

// ---- Resolution ----

void CDibImage::SetXDPI(int32_t dpi) {
  if (dpi < 1) dpi = 96;
  m_info.xDpi = dpi;
  m_header.biXPelsPerMeter = PixelsPerMetre(dpi);
  if (m_dib) DibHeader()->biXPelsPerMeter = m_header.biXPelsPerMeter;
}

void CDibImage::SetYDPI(int32_t dpi) {
  if (dpi < 1) dpi = 96;
  m_info.yDpi = dpi;
  m_header.biYPelsPerMeter = PixelsPerMetre(dpi);
  if (m_dib) DibHeader()->biYPelsPerMeter = m_header.biYPelsPerMeter;
}

// ---- Errors ----

void CDibImage::SetLastErrorText(const char* text) {
  if (!text) {
    m_info.lastError[0] = '\0';
    return;
  }
  size_t length = 0;
  while (length < DIBIMAGE_ERROR_SIZE - 1 && text[length]) ++length;
  // memmove: callers may hand back a pointer into this very text.
  std::memmove(m_info.lastError, text, length);
  m_info.lastError[length] = '\0';
}
