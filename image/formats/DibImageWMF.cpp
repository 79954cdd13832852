#include "image/formats/DibImageWMF.h"

#include <cstring>
#include <vector>

#include "image/formats/MetafileHeaders.h"
#include "image/streams/ByteStream.h"

namespace {

const char kCorrupted[] = "corrupted WMF";

#ifdef _WIN32

// Owners of the GDI objects one decode needs; each releases what it holds.
class ScreenDc {
 public:
  ScreenDc() : m_dc(GetDC(nullptr)) {}
  ~ScreenDc() { Release(); }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC Get() const { return m_dc; }
  void Release() {
    if (m_dc) ReleaseDC(nullptr, m_dc);
    m_dc = nullptr;
  }

 private:
  HDC m_dc;
};

class MemoryDc {
 public:
  explicit MemoryDc(HDC like) : m_dc(like ? CreateCompatibleDC(like) : nullptr) {}
  ~MemoryDc() {
    if (m_dc) DeleteDC(m_dc);
  }
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  HDC Get() const { return m_dc; }

 private:
  HDC m_dc;
};

template <class Handle>
class GdiObject {
 public:
  explicit GdiObject(Handle handle = nullptr) : m_handle(handle) {}
  ~GdiObject() {
    if (m_handle) DeleteObject(m_handle);
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  Handle Get() const { return m_handle; }

 private:
  Handle m_handle;
};

class EnhMetafile {
 public:
  explicit EnhMetafile(HENHMETAFILE handle = nullptr) : m_handle(handle) {}
  ~EnhMetafile() { Reset(); }
  EnhMetafile(const EnhMetafile&) = delete;
  EnhMetafile& operator=(const EnhMetafile&) = delete;
  HENHMETAFILE Get() const { return m_handle; }
  void Reset(HENHMETAFILE handle = nullptr) {
    if (m_handle) DeleteEnhMetaFile(m_handle);
    m_handle = handle;
  }

 private:
  HENHMETAFILE m_handle;
};

// Selects an object into a DC for as long as it lives.
class ScopedSelect {
 public:
  ScopedSelect(HDC dc, HGDIOBJ object) : m_dc(dc), m_old(SelectObject(dc, object)) {}
  ~ScopedSelect() { Restore(); }
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;
  void Restore() {
    if (m_old && m_old != HGDI_ERROR) SelectObject(m_dc, m_old);
    m_old = nullptr;
  }

 private:
  HDC m_dc;
  HGDIOBJ m_old;
};

class ScopedPalette {
 public:
  ScopedPalette(HDC dc, HPALETTE palette) : m_dc(dc), m_old(SelectPalette(dc, palette, FALSE)) {
    RealizePalette(dc);
  }
  ~ScopedPalette() {
    if (m_old) SelectPalette(m_dc, m_old, FALSE);
  }
  ScopedPalette(const ScopedPalette&) = delete;
  ScopedPalette& operator=(const ScopedPalette&) = delete;

 private:
  HDC m_dc;
  HPALETTE m_old;
};

// The metafile's own palette, or null when it has none or it cannot be made.
HPALETTE MetafilePalette(HENHMETAFILE metafile, UINT entries, bool* failed) {
  *failed = false;
  if (!entries) return nullptr;
  const SIZE_T bytes = 4 + 4 * static_cast<SIZE_T>(entries);
  LOGPALETTE* palette = static_cast<LOGPALETTE*>(GlobalAlloc(GPTR, bytes));
  if (!palette) {
    *failed = true;
    return nullptr;
  }
  palette->palVersion = 0x300;
  palette->palNumEntries = static_cast<WORD>(entries);
  GetEnhMetaFilePaletteEntries(metafile, entries, palette->palPalEntry);
  HPALETTE result = CreatePalette(palette);
  GlobalFree(palette);
  return result;
}

#endif  // _WIN32

}  // namespace

#ifdef _WIN32

HENHMETAFILE CDibImageWMF::WmfReadAsEnhanced(CByteStream* stream, WmfPlaceableHeader* header) {
  std::vector<BYTE> bits;
  if (!stream || !WmfReadPlaceable(stream, header, &bits)) return nullptr;
  ScreenDc screen;
  METAFILEPICT picture{};
  picture.mm = MM_ANISOTROPIC;
  picture.xExt = 10000;
  picture.yExt = 10000;
  const UINT size = static_cast<UINT>(bits.size());
  HENHMETAFILE metafile = SetWinMetaFileBits(size, bits.data(), screen.Get(), &picture);
  if (!metafile) {
    picture.mm = MM_TEXT;
    metafile = SetWinMetaFileBits(size, bits.data(), screen.Get(), &picture);
  }
  return metafile;
}

HENHMETAFILE CDibImageWMF::EmfReadEnhanced(CByteStream* stream, ENHMETAHEADER* header) {
  std::vector<BYTE> bits;
  EmfHeader parsed;
  if (!stream || !EmfReadBits(stream, &parsed, &bits)) return nullptr;
  HENHMETAFILE metafile = SetEnhMetaFileBits(static_cast<UINT>(bits.size()), bits.data());
  if (!metafile) return nullptr;
  if (!GetEnhMetaFileHeader(metafile, sizeof *header, header)) {
    DeleteEnhMetaFile(metafile);
    return nullptr;
  }
  return metafile;
}

#endif  // _WIN32

bool CDibImageWMF::Decode(CByteStream* stream, int32_t forcedWidth, int32_t forcedHeight) {
  if (!stream) return false;
  const int32_t start = stream->Tell();
  if (start < 0) {
    SetLastErrorText(kCorrupted);
    return false;
  }

  int32_t width = 0, height = 0;
  bool sized = false;
#ifdef _WIN32
  EnhMetafile metafile;
  UINT paletteEntries = 0;
  WmfPlaceableHeader placeable;
  metafile.Reset(WmfReadAsEnhanced(stream, &placeable));
  if (metafile.Get()) {
    ScreenDc screen;
    const int xDpi = screen.Get() ? GetDeviceCaps(screen.Get(), LOGPIXELSX) : 96;
    const int yDpi = screen.Get() ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
    sized = WmfNaturalSize(placeable, xDpi, yDpi, &width, &height);
  } else {
    ENHMETAHEADER header;
    if (!stream->Seek(start, CByteStream::kFromStart)) {
      SetLastErrorText(kCorrupted);
      return false;
    }
    metafile.Reset(EmfReadEnhanced(stream, &header));
    if (!metafile.Get()) {
      SetLastErrorText(kCorrupted);
      return false;
    }
    EmfHeader bounds{};
    bounds.bounds[0] = header.rclBounds.left;
    bounds.bounds[1] = header.rclBounds.top;
    bounds.bounds[2] = header.rclBounds.right;
    bounds.bounds[3] = header.rclBounds.bottom;
    sized = EmfNaturalSize(bounds, &width, &height);
    paletteEntries = header.nPalEntries;
  }
#else
  // Headers only: the size a 96-DPI screen would give.
  {
    std::vector<BYTE> bits;
    WmfPlaceableHeader placeable;
    EmfHeader emf;
    if (WmfReadPlaceable(stream, &placeable, &bits)) {
      sized = WmfNaturalSize(placeable, 96, 96, &width, &height);
    } else if (stream->Seek(start, CByteStream::kFromStart) && EmfReadBits(stream, &emf, &bits)) {
      sized = EmfNaturalSize(emf, &width, &height);
    } else {
      SetLastErrorText(kCorrupted);
      return false;
    }
  }
#endif

  // A box that is empty or turned inside out has nothing to show.
  if (!sized) {
    SetLastErrorText("empty WMF");
    return false;
  }
  if (m_info.escape == -1) {
    m_header.biWidth = width;
    m_header.biHeight = height;
    m_info.formatId = kFormatWmf;
    SetLastErrorText("output dimensions returned");
    return true;
  }
  if (forcedWidth > 0) width = forcedWidth;
  if (forcedHeight > 0) height = forcedHeight;
  WmfLimitSize(&width, &height);

#ifdef _WIN32
  ScreenDc screen;
  if (!screen.Get()) return false;
  GdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(screen.Get(), width, height));
  MemoryDc dc(screen.Get());
  screen.Release();
  if (!bitmap.Get() || !dc.Get()) return false;
  const int bitsPerPixel = GetDeviceCaps(dc.Get(), BITSPIXEL);
  RECT area{0, 0, width, height};
  {
    ScopedSelect selectBitmap(dc.Get(), bitmap.Get());
    // What the metafile does not paint shows the window colour.
    const COLORREF background = SetBkColor(dc.Get(), GetSysColor(COLOR_WINDOW));
    ExtTextOutW(dc.Get(), 0, 0, ETO_OPAQUE, &area, nullptr, 0, nullptr);
    SetBkColor(dc.Get(), background);

    bool paletteFailed = false;
    GdiObject<HPALETTE> palette(MetafilePalette(metafile.Get(), paletteEntries, &paletteFailed));
    if (paletteFailed) {
      SetLastErrorText("Cancelled");
      return false;
    }
    if (palette.Get()) {
      ScopedPalette selectPalette(dc.Get(), palette.Get());
      PlayEnhMetaFile(dc.Get(), metafile.Get(), &area);
    } else {
      PlayEnhMetaFile(dc.Get(), metafile.Get(), &area);
    }
  }
  metafile.Reset();
  if (m_info.escape) {
    SetLastErrorText("Cancelled");
    return false;
  }

  if (!Create(width, height, static_cast<DWORD>(bitsPerPixel), kFormatWmf)) return false;
  const int rows = GetDIBits(dc.Get(), bitmap.Get(), 0, static_cast<UINT>(height), GetBits(0),
                             reinterpret_cast<BITMAPINFO*>(GetDIB()), DIB_RGB_COLORS);
  // GDI may have rewritten the block's header; the header copy stays the authority.
  std::memcpy(GetDIB(), &m_header, sizeof m_header);
  return rows > 0;
#else
  SetLastErrorText("Load WMF not supported");
  return false;
#endif
}

bool CDibImageWMF::Encode(CByteStream* stream) {
  if (stream) SetLastErrorText("Save WMF not supported");
  return false;
}
