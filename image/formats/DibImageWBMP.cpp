#include "image/formats/DibImageWBMP.h"

#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include "image/streams/ByteStream.h"

namespace {

const char kWriteFailed[] = "Error writing WBMP file";
const int kMaxIntegerBytes = 5;

int Brightness(const RGBQUAD& c) {
  return (306 * c.rgbRed + 601 * c.rgbGreen + 117 * c.rgbBlue) / 1024;
}

}  // namespace

bool CDibImageWBMP::WbmpReadInteger(CByteStream* stream, DWORD* value) {
  uint64_t result = 0;
  for (int i = 0; i < kMaxIntegerBytes; ++i) {
    const int c = stream->GetC();
    if (c < 0) return false;
    result = (result << 7) | static_cast<uint64_t>(c & 0x7F);
    if (!(c & 0x80)) {
      if (result > UINT32_MAX) return false;
      *value = static_cast<DWORD>(result);
      return true;
    }
  }
  return false;
}

bool CDibImageWBMP::WbmpWriteInteger(CByteStream* stream, DWORD value) {
  BYTE groups[kMaxIntegerBytes];
  int count = 0;
  do {
    groups[count++] = static_cast<BYTE>(value & 0x7F);
    value >>= 7;
  } while (value);
  for (int i = count - 1; i > 0; --i)
    if (!stream->PutC(static_cast<uint8_t>(groups[i] | 0x80))) return false;
  return stream->PutC(groups[0]);
}

bool CDibImageWBMP::Decode(CByteStream* stream) {
  if (!stream) return false;
  try {
    DWORD type, fixedHeader, width, height;
    if (!WbmpReadInteger(stream, &type) || !WbmpReadInteger(stream, &fixedHeader) ||
        !WbmpReadInteger(stream, &width) || !WbmpReadInteger(stream, &height))
      throw "Not a WBMP";
    if (type != 0) throw "Unsupported WBMP type";
    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) throw "Corrupted WBMP";
    m_header.biWidth = static_cast<LONG>(width);
    m_header.biHeight = static_cast<LONG>(height);
    if (m_info.escape == -1) {
      m_info.formatId = kFormatWbmp;
      return true;
    }

    if (!Create(static_cast<int32_t>(width), static_cast<int32_t>(height), 1, kFormatWbmp))
      throw "WBMP Create failed";
    SetGrayPalette();
    // Rows a short file does not have stay as Create left them: black.
    const size_t rowBytes = (static_cast<size_t>(width) + 7) / 8;
    for (DWORD y = height; y-- > 0;) {
      if (stream->Read(GetBits(0) + static_cast<size_t>(y) * GetEffWidth(), 1, rowBytes) != rowBytes) break;
    }
    return true;
  } catch (const char* message) {
    SetLastErrorText(message);
    return false;
  }
}

bool CDibImageWBMP::Encode(CByteStream* stream) {
  if (EncodeSafeCheck(stream)) return false;
  if (GetBpp() != 1) {
    SetLastErrorText("Can't save this image as WBMP");
    return false;
  }
  const bool invert = Brightness(GetPaletteColor(0)) > Brightness(GetPaletteColor(1));
  const size_t rowBytes = (static_cast<size_t>(GetWidth()) + 7) / 8;
  std::vector<BYTE> row;
  try {
    row.resize(rowBytes);
  } catch (const std::bad_alloc&) {
    SetLastErrorText("can't allocate memory");
    return false;
  }
  if (!stream->PutC(0) || !stream->PutC(0) || !WbmpWriteInteger(stream, GetWidth()) ||
      !WbmpWriteInteger(stream, GetHeight())) {
    SetLastErrorText(kWriteFailed);
    return false;
  }
  for (DWORD y = GetHeight(); y-- > 0;) {
    std::memcpy(row.data(), GetBits(0) + static_cast<size_t>(y) * GetEffWidth(), rowBytes);
    if (invert)
      for (BYTE& b : row) b = static_cast<BYTE>(~b);
    if (stream->Write(row.data(), 1, rowBytes) != rowBytes) {
      SetLastErrorText(kWriteFailed);
      return false;
    }
  }
  return true;
}
