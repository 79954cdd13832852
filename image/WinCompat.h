// The Windows types the image library is written against. On Windows they come
// from the SDK; elsewhere (native unit tests, fuzzing, benchmarks) they are
// defined here with the same sizes and layouts, so files read and written by
// the library are byte-identical on both.
#pragma once

#ifdef _WIN32

// GDI+ needs the OLE headers, so the full <windows.h> is kept; only the
// min/max macros go, they break std::min and std::max.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <cstdio>

#else  // !_WIN32

#include <cstdint>
#include <cstdio>
#include <cerrno>
#include <string>

// DWORD and LONG are exactly 32 bits, as on Windows; `long` is 64 bits here.
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef int BOOL;
typedef unsigned int UINT;
typedef DWORD COLORREF;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define RGB(r, g, b) \
  ((COLORREF)(((BYTE)(r)) | ((WORD)((BYTE)(g)) << 8) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(rgb) ((BYTE)(rgb))
#define GetGValue(rgb) ((BYTE)(((WORD)(rgb)) >> 8))
#define GetBValue(rgb) ((BYTE)((rgb) >> 16))

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

struct POINT {
  LONG x;
  LONG y;
};

#pragma pack(push, 2)
struct BITMAPFILEHEADER {
  WORD bfType;
  DWORD bfSize;
  WORD bfReserved1;
  WORD bfReserved2;
  DWORD bfOffBits;
};
#pragma pack(pop)

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

#define BI_RGB 0L
#define BI_RLE8 1L
#define BI_RLE4 2L
#define BI_BITFIELDS 3L

// wchar_t is UTF-32 here; file names go to fopen as UTF-8. A name that is not
// valid Unicode opens nothing.
inline bool VeskWideToUtf8(const wchar_t* text, std::string& out) {
  out.clear();
  for (; *text; ++text) {
    uint32_t c = static_cast<uint32_t>(*text);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return true;
}

inline FILE* _wfopen(const wchar_t* name, const wchar_t* mode) {
  std::string utf8Name, utf8Mode;
  if (!name || !mode || !VeskWideToUtf8(name, utf8Name) || !VeskWideToUtf8(mode, utf8Mode)) {
    errno = EINVAL;
    return nullptr;
  }
  return std::fopen(utf8Name.c_str(), utf8Mode.c_str());
}

#endif  // _WIN32

static_assert(sizeof(BYTE) == 1 && sizeof(WORD) == 2, "BYTE/WORD sizes");
static_assert(sizeof(DWORD) == 4 && sizeof(LONG) == 4, "DWORD and LONG must be 32-bit");
static_assert(sizeof(RGBQUAD) == 4, "RGBQUAD is 4 bytes");
static_assert(sizeof(BITMAPFILEHEADER) == 14, "BITMAPFILEHEADER is 14 bytes on disk");
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER is 40 bytes");
static_assert(sizeof(RECT) == 16 && sizeof(POINT) == 8, "RECT/POINT sizes");
