// imgtool: the image library on the command line.
//   imgtool info FILE                     format id, size, depth, frames, transparency
//   imgtool topam FILE OUT.pam [--frame N] decoded pixels as a PAM (RGB, or RGB_ALPHA
//                                         when the image has any transparency)
//   imgtool convert IN OUT [--type EXT] [--option N]
// Exit status 0 on success, 1 on failure (the library's message on stderr), 2 on bad usage.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "image/DibImage.h"

#ifdef _WIN32
#include <shellapi.h>
#endif

namespace {

// Reaches the two settings the tool needs that have no public setter/getter.
class ToolImage : public CDibImage {
 public:
  void SetFrameToLoad(int32_t frame) { m_info.frameToLoad = frame; }
  bool AlphaPaletteFlag() const { return m_info.alphaPalette; }
};

std::vector<std::wstring> WideArguments(int argc, char** argv) {
  std::vector<std::wstring> args;
#ifdef _WIN32
  (void)argc;
  (void)argv;
  int count = 0;
  LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 0; list && i < count; ++i) args.emplace_back(list[i]);
  LocalFree(list);
#else
  for (int i = 0; i < argc; ++i) {
    // UTF-8 to UTF-32; bytes that do not decode pass through as themselves.
    std::wstring text;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(argv[i]);
    while (*p) {
      uint32_t c = *p++;
      int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
      if (more) c &= 0x3F >> more;
      while (more-- > 0 && (*p & 0xC0) == 0x80) c = (c << 6) | (*p++ & 0x3F);
      text += static_cast<wchar_t>(c);
    }
    args.push_back(text);
  }
#endif
  return args;
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
  return out;
}

DWORD IdFromFileName(const std::wstring& name) {
  const size_t dot = name.find_last_of(L'.');
  const size_t slash = name.find_last_of(L"/\\");
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return 0;
  return CDibImage::GetTypeIdFromName(name.c_str() + dot + 1);
}

int Fail(const CDibImage& image, const char* what) {
  std::fprintf(stderr, "imgtool: %s failed: %s\n", what, image.GetLastError());
  return 1;
}

int Usage() {
  std::fprintf(stderr,
               "usage: imgtool info FILE\n"
               "       imgtool topam FILE OUT.pam [--frame N]\n"
               "       imgtool convert IN OUT [--type EXT] [--option N]\n");
  return 2;
}

int Info(const std::wstring& file) {
  ToolImage image;
  if (!image.Load(file.c_str(), IdFromFileName(file))) return Fail(image, "load");
  const RGBQUAD trans = image.GetTransColor();
  std::printf("format %u\nwidth %u\nheight %u\nbpp %u\nframes %d\ntransparent-index %d\n"
              "transparent-colour %u %u %u\nalpha %s\n",
              static_cast<unsigned>(image.GetType()), static_cast<unsigned>(image.GetWidth()),
              static_cast<unsigned>(image.GetHeight()), static_cast<unsigned>(image.GetBpp()),
              static_cast<int>(image.GetNumFrames()), static_cast<int>(image.GetTransIndex()),
              trans.rgbRed, trans.rgbGreen, trans.rgbBlue, image.AlphaIsValid() ? "plane" : "none");
  return 0;
}

int ToPam(const std::wstring& file, const std::wstring& out, int32_t frame) {
  ToolImage image;
  image.SetFrameToLoad(frame);
  if (!image.Load(file.c_str(), IdFromFileName(file))) return Fail(image, "load");

  const bool transparent = image.IsTransparent();
  const bool alphaPalette = image.IsIndexed() && image.AlphaPaletteFlag();
  const bool withAlpha = image.AlphaIsValid() || transparent || alphaPalette;
  const RGBQUAD trans = image.GetTransColor();
  const int32_t width = static_cast<int32_t>(image.GetWidth());
  const int32_t height = static_cast<int32_t>(image.GetHeight());

  std::vector<unsigned char> data;
  data.reserve(static_cast<size_t>(width) * height * 4);
  for (int32_t row = height - 1; row >= 0; --row) {
    for (int32_t x = 0; x < width; ++x) {
      const RGBQUAD c = image.GetPixelColor(x, row, false);
      data.push_back(c.rgbRed);
      data.push_back(c.rgbGreen);
      data.push_back(c.rgbBlue);
      if (!withAlpha) continue;
      int alpha = image.AlphaIsValid() ? image.AlphaGet(x, row) : 255;
      if (alphaPalette) alpha = alpha * c.rgbReserved / 255;
      if (transparent) {
        const bool hidden = image.IsIndexed()
                                ? image.GetPixelIndex(x, row) == image.GetTransIndex()
                                : (c.rgbRed == trans.rgbRed && c.rgbGreen == trans.rgbGreen && c.rgbBlue == trans.rgbBlue);
        if (hidden) alpha = 0;
      }
      data.push_back(static_cast<unsigned char>(alpha));
    }
  }

  FILE* target = _wfopen(out.c_str(), L"wb");
  if (!target) {
    std::fprintf(stderr, "imgtool: cannot create %s\n", Narrow(out).c_str());
    return 1;
  }
  std::fprintf(target, "P7\nWIDTH %d\nHEIGHT %d\nDEPTH %d\nMAXVAL 255\nTUPLTYPE %s\nENDHDR\n", width, height,
               withAlpha ? 4 : 3, withAlpha ? "RGB_ALPHA" : "RGB");
  const bool written = std::fwrite(data.data(), 1, data.size(), target) == data.size();
  if (std::fclose(target) != 0 || !written) {
    std::fprintf(stderr, "imgtool: cannot write %s\n", Narrow(out).c_str());
    return 1;
  }
  return 0;
}

int Convert(const std::wstring& in, const std::wstring& out, const std::wstring& type, bool hasOption,
            DWORD option) {
  CDibImage image;
  if (!image.Load(in.c_str(), IdFromFileName(in))) return Fail(image, "load");
  const DWORD id = type.empty() ? IdFromFileName(out) : CDibImage::GetTypeIdFromName(type.c_str());
  if (id == 0) {
    std::fprintf(stderr, "imgtool: unknown output type\n");
    return 2;
  }
  if (hasOption) image.SetCodecOption(option, id);
  if (!image.Save(out.c_str(), id)) return Fail(image, "save");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::wstring> args = WideArguments(argc, argv);
  if (args.size() < 3) return Usage();
  const std::wstring& command = args[1];

  std::vector<std::wstring> positional;
  int32_t frame = 0;
  std::wstring type;
  bool hasOption = false;
  DWORD option = 0;
  for (size_t i = 2; i < args.size(); ++i) {
    if (args[i] == L"--frame" && i + 1 < args.size()) {
      frame = static_cast<int32_t>(std::wcstol(args[++i].c_str(), nullptr, 10));
    } else if (args[i] == L"--type" && i + 1 < args.size()) {
      type = args[++i];
    } else if (args[i] == L"--option" && i + 1 < args.size()) {
      hasOption = true;
      option = static_cast<DWORD>(std::wcstoul(args[++i].c_str(), nullptr, 0));
    } else if (args[i].compare(0, 2, L"--") == 0) {
      return Usage();
    } else {
      positional.push_back(args[i]);
    }
  }

  if (command == L"info" && positional.size() == 1) return Info(positional[0]);
  if (command == L"topam" && positional.size() == 2) return ToPam(positional[0], positional[1], frame);
  if (command == L"convert" && positional.size() == 2)
    return Convert(positional[0], positional[1], type, hasOption, option);
  return Usage();
}
