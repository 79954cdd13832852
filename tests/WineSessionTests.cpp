// Checks that the Wine session gives our programs what the GUI tests and users
// rely on: a real 24-bit screen, Hangul glyphs through the dialog fonts, and
// the symbol face Wine draws caption buttons with.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Renders one string in the given face into a monochrome-ish DIB and returns the
// pixels, so two strings can be compared glyph for glyph.
std::vector<DWORD> RenderText(const wchar_t* face, const std::wstring& text) {
  const int w = 64, h = 32;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HFONT font = CreateFontW(-24, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                           NONANTIALIASED_QUALITY, 0, face);
  HGDIOBJ oldBmp = SelectObject(dc, bmp);
  HGDIOBJ oldFont = SelectObject(dc, font);
  RECT rc{0, 0, w, h};
  FillRect(dc, &rc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkMode(dc, TRANSPARENT);
  TextOutW(dc, 2, 2, text.c_str(), static_cast<int>(text.size()));
  GdiFlush();
  std::vector<DWORD> pixels(static_cast<const DWORD*>(bits), static_cast<const DWORD*>(bits) + w * h);
  SelectObject(dc, oldFont);
  SelectObject(dc, oldBmp);
  DeleteObject(font);
  DeleteObject(bmp);
  DeleteDC(dc);
  return pixels;
}

size_t InkCount(const std::vector<DWORD>& pixels) {
  size_t n = 0;
  for (DWORD p : pixels) n += (p & 0xFFFFFF) != 0xFFFFFF;
  return n;
}

TEST(WineSession, ScreenIsTrueColourAndLargeEnough) {
  HDC screen = GetDC(nullptr);
  EXPECT_GE(GetDeviceCaps(screen, BITSPIXEL), 24);
  EXPECT_GE(GetSystemMetrics(SM_CXSCREEN), 1280);
  EXPECT_GE(GetSystemMetrics(SM_CYSCREEN), 1024);
  ReleaseDC(nullptr, screen);
}

// Without font linking every syllable renders as the same missing-glyph box.
TEST(WineSession, HangulRendersAsDistinctGlyphsInDialogFonts) {
  for (const wchar_t* face : {L"Tahoma", L"MS Shell Dlg", L"Microsoft Sans Serif", L"굴림", L"맑은 고딕"}) {
    SCOPED_TRACE(testing::Message() << "face index " << face[0]);
    auto ga = RenderText(face, L"가");
    auto na = RenderText(face, L"나");
    EXPECT_GT(InkCount(ga), 10u);
    EXPECT_NE(ga, na);
  }
}

int CALLBACK TakeFaceName(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<std::wstring*>(found) = font->lfFaceName;
  return 0;
}

// Wine draws the minimise, maximise and close buttons as Marlett characters;
// without the face the captions show "0 1 r".
TEST(WineSession, CaptionButtonFaceIsInstalled) {
  LOGFONTW query{};
  query.lfCharSet = DEFAULT_CHARSET;
  wcscpy_s(query.lfFaceName, L"Marlett");
  std::wstring found;
  HDC screen = GetDC(nullptr);
  EnumFontFamiliesExW(screen, &query, TakeFaceName, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(found, L"Marlett");
}

}  // namespace
