#include "image/formats/DibImageICO.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include "image/formats/DibImagePNG.h"
#include "image/streams/MemoryStream.h"

namespace {

const char kNotIco[] = "Not an ICO file";
const char kNoEntry[] = "ICO: entry not present";
const char kReadFailed[] = "ICO: file is truncated";
const char kWriteFailed[] = "Error writing ICO file";
const BYTE kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
const DWORD kHeaderSize = 6;
const DWORD kEntrySize = 16;
const DWORD kInfoHeaderSize = 40;

WORD Le16(const BYTE* p) {
  return static_cast<WORD>(p[0] | (p[1] << 8));
}
DWORD Le32(const BYTE* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24);
}
void Put16(std::vector<BYTE>& out, DWORD v) {
  out.push_back(static_cast<BYTE>(v));
  out.push_back(static_cast<BYTE>(v >> 8));
}
void Put32(std::vector<BYTE>& out, DWORD v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// A buffer sized from the file: too large a size is a failure, not a throw.
bool Allocate(std::vector<BYTE>& buffer, uint64_t bytes) {
  if (bytes > SIZE_MAX) return false;
  try {
    buffer.assign(static_cast<size_t>(bytes), 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool ReadAll(CByteStream* stream, void* buffer, size_t bytes) {
  return bytes == 0 || stream->Read(buffer, 1, bytes) == bytes;
}
bool WriteAll(CByteStream* stream, const void* buffer, size_t bytes) {
  return bytes == 0 || stream->Write(buffer, 1, bytes) == bytes;
}

}  // namespace

// What one image becomes in the file: sizes of its parts, or its PNG bytes.
struct CDibImageICO::EntryPlan {
  bool png = false;
  std::vector<BYTE> pngBytes;
  WORD bitCount = 0;
  DWORD paletteEntries = 0;
  uint64_t imageSize = 0;
  uint64_t maskRow = 0;
  uint64_t maskSize = 0;
  uint64_t bytesInResource = 0;
};

// ---- Decoding ----

bool CDibImageICO::Decode(CByteStream* stream) {
  auto fail = [this](const char* message) {
    SetLastErrorText(message);
    return false;
  };
  if (!stream) return fail("null file handler");
  const int32_t base = stream->Tell();
  if (base < 0) return fail(kNotIco);

  BYTE header[kHeaderSize];
  if (!ReadAll(stream, header, sizeof header)) return fail(kNotIco);
  const WORD type = Le16(header + 2);
  const WORD count = Le16(header + 4);
  if (Le16(header) != 0 || (type != 1 && type != 2) || count == 0) return fail(kNotIco);

  std::vector<BYTE> entries(static_cast<size_t>(count) * kEntrySize);
  if (!ReadAll(stream, entries.data(), entries.size())) return fail(kReadFailed);
  const int32_t frame = m_info.frameToLoad;
  if (frame < 0 || frame >= count) return fail(kNoEntry);
  const BYTE* entry = &entries[static_cast<size_t>(frame) * kEntrySize];

  const int64_t position = static_cast<int64_t>(base) + Le32(entry + 12);
  if (position > INT32_MAX || !stream->Seek(static_cast<int32_t>(position), CByteStream::kFromStart))
    return fail(kReadFailed);

  // An entry is PNG by its contents; its directory bytes say nothing reliable
  // (a 256-pixel classic entry has width and height 0 too).
  BYTE signature[sizeof kPngSignature];
  const bool isPng = ReadAll(stream, signature, sizeof signature) &&
                     std::memcmp(signature, kPngSignature, sizeof signature) == 0;
  if (!stream->Seek(static_cast<int32_t>(position), CByteStream::kFromStart)) return fail(kReadFailed);
  if (isPng) {
    CDibImagePNG png;
    png.CopyInfo(*this);
    if (!png.Decode(stream)) return fail(png.GetLastError());
    if (!Transfer(png, true)) return fail(kNotIco);
    m_info.formatId = kFormatIco;
    m_info.frameCount = count;
    return true;
  }

  BYTE info[kInfoHeaderSize];
  if (!ReadAll(stream, info, sizeof info)) return fail(kReadFailed);
  const DWORD headerSize = Le32(info);
  const int32_t width = static_cast<int32_t>(Le32(info + 4));
  const int32_t doubleHeight = static_cast<int32_t>(Le32(info + 8));
  const WORD bits = Le16(info + 14);
  const DWORD compression = Le32(info + 16);
  const DWORD clrUsed = Le32(info + 32);
  if (headerSize < kInfoHeaderSize || headerSize > 4096) return fail("ICO: bad bitmap header");
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return fail("ICO: unsupported bit count");
  if (compression != BI_RGB) return fail("ICO: unsupported compression");
  // The height covers the colour rows and the mask rows.
  if (width <= 0 || doubleHeight < 2) return fail("ICO: bad image size");
  const int32_t height = doubleHeight / 2;
  if (headerSize > kInfoHeaderSize &&
      !stream->Seek(static_cast<int32_t>(headerSize - kInfoHeaderSize), CByteStream::kFromCurrent))
    return fail(kReadFailed);

  // Transparency comes from this entry only, never from the image before.
  m_info.transIndex = -1;
  m_info.alphaPalette = false;
  if (m_info.escape == -1) {
    m_header.biWidth = width;
    m_header.biHeight = height;
    m_info.formatId = kFormatIco;
    m_info.frameCount = count;
    return true;
  }

  const DWORD colours = clrUsed ? clrUsed : (bits <= 8 ? 1u << bits : 0);
  if (colours > 256) return fail("ICO: too many colours");
  if (!Create(width, height, bits, kFormatIco)) return false;
  m_info.frameCount = count;

  BYTE palette[256 * 4];
  if (!ReadAll(stream, palette, colours * 4)) return fail(kReadFailed);
  const DWORD entriesUsed = std::min(colours, GetNumColors());
  for (DWORD i = 0; i < entriesUsed; ++i)
    SetPaletteColor(i, palette[4 * i + 2], palette[4 * i + 1], palette[4 * i], 0);
  if (m_info.escape) return fail("Cancelled");

  const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (bits <= 24) {
    if (!ReadAll(stream, GetBits(0), static_cast<size_t>(GetEffWidth()) * height)) return fail(kReadFailed);
  } else {
    std::vector<BYTE> bgra;
    if (!Allocate(bgra, 4ull * pixels)) return fail("ICO: can't allocate memory");
    if (!ReadAll(stream, bgra.data(), bgra.size())) return fail(kReadFailed);
    if (!AlphaCreate()) return fail("ICO: can't allocate memory");
    BYTE* plane = AlphaGetPointer();
    bool anyAlpha = false;
    for (int32_t y = 0; y < height; ++y) {
      BYTE* row = GetBits(static_cast<DWORD>(y));
      const BYTE* source = &bgra[static_cast<size_t>(y) * width * 4];
      for (int32_t x = 0; x < width; ++x) {
        std::memcpy(row + 3 * x, source + 4 * x, 3);
        plane[static_cast<size_t>(y) * width + x] = source[4 * x + 3];
        anyAlpha = anyAlpha || source[4 * x + 3] != 0;
      }
    }
    // Old 32-bit entries leave the fourth byte 0 and rely on the mask; an
    // entry with real alpha keeps it whole, whatever the mask says.
    if (anyAlpha) return true;
    AlphaDelete();
  }

  const uint64_t maskRow = ((static_cast<uint64_t>(width) + 31) / 32) * 4;
  std::vector<BYTE> mask;
  if (!Allocate(mask, maskRow * height)) return fail("ICO: can't allocate memory");
  if (!ReadAll(stream, mask.data(), mask.size())) return fail(kReadFailed);
  if (!ApplyMask(mask.data(), static_cast<DWORD>(maskRow))) return fail("ICO: can't allocate memory");
  return true;
}

bool CDibImageICO::ApplyMask(const BYTE* mask, DWORD maskRow) {
  const int32_t width = static_cast<int32_t>(GetWidth());
  const int32_t height = static_cast<int32_t>(GetHeight());
  const size_t maskSize = static_cast<size_t>(maskRow) * height;
  if (std::all_of(mask, mask + maskSize, [](BYTE b) { return b == 0xFF; })) {
    // Every pixel XORs the screen: shown as the inverse, with entry 0 clear.
    SetTransIndex(0);
    Negative();
    return true;
  }
  auto masked = [&](int32_t x, int32_t y) {
    return (mask[static_cast<size_t>(y) * maskRow + x / 8] & (0x80 >> (x % 8))) != 0;
  };
  bool anyMasked = false;
  for (int32_t y = 0; y < height && !anyMasked; ++y)
    for (int32_t x = 0; x < width && !anyMasked; ++x) anyMasked = masked(x, y);
  if (!anyMasked) return true;

  const bool indexed = IsIndexed();
  if (indexed) {
    bool used[256] = {};
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) used[BlindGetPixelIndex(x, y)] = true;
    for (int32_t index = static_cast<int32_t>(GetNumColors()) - 1; index >= 0; --index) {
      if (used[index]) continue;
      for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
          if (masked(x, y)) BlindSetPixelIndex(x, y, static_cast<BYTE>(index));
      SetTransIndex(index);
      return true;
    }
  }

  // One colour that only masked pixels have can stand for the mask; a colour
  // that also shows elsewhere would make visible pixels transparent.
  auto key = [&](int32_t x, int32_t y) -> DWORD {
    if (indexed) return BlindGetPixelIndex(x, y);
    const BYTE* p = BlindGetPixelPointer(x, y);
    return p[0] | (p[1] << 8) | (static_cast<DWORD>(p[2]) << 16);
  };
  bool found = false, single = true;
  DWORD candidate = 0;
  for (int32_t y = 0; y < height && single; ++y)
    for (int32_t x = 0; x < width && single; ++x) {
      if (!masked(x, y)) continue;
      if (!found) {
        candidate = key(x, y);
        found = true;
      } else if (key(x, y) != candidate) {
        single = false;
      }
    }
  for (int32_t y = 0; y < height && single; ++y)
    for (int32_t x = 0; x < width && single; ++x)
      if (!masked(x, y) && key(x, y) == candidate) single = false;
  if (single) {
    if (!indexed) {
      RGBQUAD colour;
      colour.rgbBlue = static_cast<BYTE>(candidate);
      colour.rgbGreen = static_cast<BYTE>(candidate >> 8);
      colour.rgbRed = static_cast<BYTE>(candidate >> 16);
      colour.rgbReserved = 0;
      SetTransColor(colour);
    }
    SetTransIndex(indexed ? static_cast<int32_t>(candidate) : 0);
    return true;
  }

  if (!AlphaCreate()) return false;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      if (masked(x, y)) AlphaSet(x, y, 0);
  return true;
}

// ---- Encoding ----

bool CDibImageICO::Encode(CByteStream* stream, bool append, int pageCount) {
  if (EncodeSafeCheck(stream)) return false;
  if (GetBpp() <= 8 && !IsIndexed()) return false;

  if (!append && pageCount > 0) {
    std::vector<BYTE> header;
    Put16(header, 0);
    Put16(header, 1);
    Put16(header, static_cast<DWORD>(std::min(pageCount, 0xFFFF)));
    m_nextImageOffset = kHeaderSize + kEntrySize * static_cast<DWORD>(std::min(pageCount, 0xFFFF));
    if (!WriteAll(stream, header.data(), header.size())) {
      SetLastErrorText(kWriteFailed);
      return false;
    }
    return true;
  }
  if (append && pageCount > m_info.frameCount) return true;

  EntryPlan plan;
  if (!PlanEntry(plan)) return false;
  if (append) return pageCount == m_info.frameCount ? WriteEntry(stream, plan) : WriteData(stream, plan);

  std::vector<BYTE> header;
  Put16(header, 0);
  Put16(header, 1);  // icon, also under a cursor's name
  Put16(header, 1);
  m_nextImageOffset = kHeaderSize + kEntrySize;
  if (!WriteAll(stream, header.data(), header.size())) {
    SetLastErrorText(kWriteFailed);
    return false;
  }
  return WriteEntry(stream, plan) && WriteData(stream, plan);
}

bool CDibImageICO::PlanEntry(EntryPlan& plan) {
  const uint64_t width = GetWidth();
  const uint64_t height = GetHeight();
  plan.maskRow = ((width + 31) / 32) * 4;
  plan.maskSize = plan.maskRow * height;
  // Alpha needs the 32-bit form, also for a palette image: a mask keeps
  // only fully clear pixels.
  if (AlphaIsValid()) {
    plan.bitCount = 32;
    plan.imageSize = 4 * width * height;
  } else {
    plan.bitCount = GetBpp();
    plan.paletteEntries = GetNumColors();
    plan.imageSize = static_cast<uint64_t>(GetEffWidth()) * height;
  }
  plan.bytesInResource = kInfoHeaderSize + 4ull * plan.paletteEntries + plan.imageSize + plan.maskSize;

  if (width > 255 || height > 255) {
    CDibImagePNG png;
    png.Ghost(*this);
    CMemoryStream encoded;
    if (!encoded.Open()) {
      SetLastErrorText("ICO: can't allocate memory");
      return false;
    }
    if (!png.Encode(&encoded)) {
      SetLastErrorText(png.GetLastError());
      return false;
    }
    if (!Allocate(plan.pngBytes, static_cast<uint64_t>(encoded.Size()))) {
      SetLastErrorText("ICO: can't allocate memory");
      return false;
    }
    if (!plan.pngBytes.empty()) std::memcpy(plan.pngBytes.data(), encoded.GetBuffer(false), plan.pngBytes.size());
    plan.png = true;
    plan.bytesInResource = plan.pngBytes.size();
  }
  if (plan.bytesInResource > UINT32_MAX - m_nextImageOffset) {
    SetLastErrorText("ICO: image too large");
    return false;
  }
  return true;
}

bool CDibImageICO::WriteEntry(CByteStream* stream, const EntryPlan& plan) {
  std::vector<BYTE> entry;
  entry.push_back(plan.png ? 0 : static_cast<BYTE>(GetWidth()));
  entry.push_back(plan.png ? 0 : static_cast<BYTE>(GetHeight()));
  entry.push_back(static_cast<BYTE>(plan.paletteEntries));
  entry.push_back(0);
  Put16(entry, 0);  // planes; a cursor's hotspot x
  Put16(entry, plan.bitCount);
  Put32(entry, static_cast<DWORD>(plan.bytesInResource));
  Put32(entry, m_nextImageOffset);
  m_nextImageOffset += static_cast<DWORD>(plan.bytesInResource);
  if (!WriteAll(stream, entry.data(), entry.size())) {
    SetLastErrorText(kWriteFailed);
    return false;
  }
  return true;
}

bool CDibImageICO::WriteData(CByteStream* stream, const EntryPlan& plan) {
  auto failed = [this] {
    SetLastErrorText(kWriteFailed);
    return false;
  };
  if (plan.png) return WriteAll(stream, plan.pngBytes.data(), plan.pngBytes.size()) || failed();

  const int32_t width = static_cast<int32_t>(GetWidth());
  const int32_t height = static_cast<int32_t>(GetHeight());
  const bool indexed = IsIndexed();
  const bool paletteAlpha = AlphaPaletteIsValid();
  const int32_t trans = m_info.transIndex;
  const RGBQUAD* palette = static_cast<const CDibImage*>(this)->GetPalette();
  auto masked = [&](int32_t x, int32_t y) {
    if (AlphaIsValid() && BlindAlphaGet(x, y) == 0) return true;
    if (indexed) {
      const BYTE index = BlindGetPixelIndex(x, y);
      return (paletteAlpha && palette[index].rgbReserved == 0) || (trans >= 0 && index == trans);
    }
    if (trans < 0) return false;
    const BYTE* p = BlindGetPixelPointer(x, y);
    return p[0] == m_info.transColor.rgbBlue && p[1] == m_info.transColor.rgbGreen &&
           p[2] == m_info.transColor.rgbRed;
  };

  std::vector<BYTE> header;
  Put32(header, kInfoHeaderSize);
  Put32(header, static_cast<DWORD>(width));
  Put32(header, static_cast<DWORD>(height) * 2);
  Put16(header, 1);
  Put16(header, plan.bitCount);
  Put32(header, BI_RGB);
  Put32(header, static_cast<DWORD>(plan.imageSize));
  for (int i = 0; i < 4; ++i) Put32(header, 0);
  for (DWORD i = 0; i < plan.paletteEntries; ++i) {
    // The transparent entry is black in the file, so the XOR leaves the
    // screen as it is; the image's own entry stays as it was.
    const bool clear = static_cast<int32_t>(i) == trans;
    header.push_back(clear ? 0 : palette[i].rgbBlue);
    header.push_back(clear ? 0 : palette[i].rgbGreen);
    header.push_back(clear ? 0 : palette[i].rgbRed);
    header.push_back(0);
  }
  if (!WriteAll(stream, header.data(), header.size())) return failed();

  if (plan.bitCount == 32) {
    std::vector<BYTE> row;
    if (!Allocate(row, 4ull * width)) return failed();
    for (int32_t y = 0; y < height; ++y) {
      for (int32_t x = 0; x < width; ++x) {
        const RGBQUAD c = GetPixelColor(x, y, false);
        DWORD a = AlphaIsValid() ? BlindAlphaGet(x, y) : 255;
        if (indexed && paletteAlpha) a = a * c.rgbReserved / 255;
        if (masked(x, y)) a = 0;
        BYTE* p = &row[static_cast<size_t>(x) * 4];
        p[0] = c.rgbBlue;
        p[1] = c.rgbGreen;
        p[2] = c.rgbRed;
        p[3] = static_cast<BYTE>(a);
      }
      if (!WriteAll(stream, row.data(), row.size())) return failed();
    }
  } else if (!WriteAll(stream, GetBits(0), static_cast<size_t>(plan.imageSize))) {
    return failed();
  }

  std::vector<BYTE> mask;
  if (!Allocate(mask, plan.maskSize)) return failed();
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      if (masked(x, y)) mask[static_cast<size_t>(y) * plan.maskRow + x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
  return WriteAll(stream, mask.data(), mask.size()) || failed();
}
