// Format ids, codec options and the dispatch that hands an image to the codec
// of a format: encode and decode over a stream or FILE, save and load by name.
#include "image/DibImage.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>

#include "image/formats/DibImageBMP.h"
#include "image/formats/DibImageGIF.h"
#include "image/formats/DibImageICO.h"
#include "image/formats/DibImageJAS.h"
#include "image/formats/DibImageJPG.h"
#include "image/formats/DibImageMNG.h"
#include "image/formats/DibImagePCX.h"
#include "image/formats/DibImagePNG.h"
#include "image/formats/DibImageRAW.h"
#include "image/formats/DibImageSKA.h"
#include "image/formats/DibImageTGA.h"
#include "image/formats/DibImageTIF.h"
#include "image/formats/DibImageWBMP.h"
#include "image/formats/DibImageWMF.h"
#include "image/streams/FileStream.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

const char kUnknownEncode[] = "Encode: Unknown format";
const char kUnknownDecode[] = "Decode: Unknown or wrong format";
const char kNullStream[] = "null file handler";
const char kWriteFailed[] = "Encode: write failed";

// ---- Codec registry ----

// Encoders work on a ghost of the image, so they see its pixels, planes and
// settings without copying them; their message is all that comes back.
// A class that carries several formats (the JPEG 2000 family) takes the id
// beside the stream; the others take the stream alone.
template <class Codec, class = void>
struct EncodeTakesId : std::false_type {};
template <class Codec>
struct EncodeTakesId<Codec, std::void_t<decltype(std::declval<Codec&>().Encode(
                                std::declval<CByteStream*>(), DWORD{}))>> : std::true_type {};
template <class Codec, class = void>
struct DecodeTakesId : std::false_type {};
template <class Codec>
struct DecodeTakesId<Codec, std::void_t<decltype(std::declval<Codec&>().Decode(
                                std::declval<CByteStream*>(), DWORD{}))>> : std::true_type {};

template <class Codec>
bool EncodeWith(CDibImage& image, CByteStream* stream, DWORD formatId) {
  Codec codec;
  codec.Ghost(image);
  bool encoded;
  if constexpr (EncodeTakesId<Codec>::value) encoded = codec.Encode(stream, formatId);
  else encoded = codec.Encode(stream);
  (void)formatId;
  if (encoded) return true;
  image.SetLastErrorText(codec.GetLastError());
  return false;
}

// Decoders start from the caller's settings (escape, frame to load, codec
// options) and hand their finished picture over whole.
template <class Codec>
bool DecodeWith(CDibImage& image, CByteStream* stream, DWORD formatId) {
  Codec codec;
  codec.CopyInfo(image);
  bool decoded;
  if constexpr (DecodeTakesId<Codec>::value) decoded = codec.Decode(stream, formatId);
  else decoded = codec.Decode(stream);
  (void)formatId;
  if (decoded) return image.Transfer(codec, true);
  image.SetLastErrorText(codec.GetLastError());
  return false;
}

struct CodecEntry {
  DWORD id;
  bool (*encode)(CDibImage& image, CByteStream* stream, DWORD formatId);
  bool (*decode)(CDibImage& image, CByteStream* stream, DWORD formatId);
};

// One line per format class. Ids of the table below without a line here fail
// as unknown formats until their codec exists.
const CodecEntry kCodecs[] = {
    {CDibImage::kFormatBmp, &EncodeWith<CDibImageBMP>, &DecodeWith<CDibImageBMP>},
    {CDibImage::kFormatGif, &EncodeWith<CDibImageGIF>, &DecodeWith<CDibImageGIF>},
    {CDibImage::kFormatJpg, &EncodeWith<CDibImageJPG>, &DecodeWith<CDibImageJPG>},
    {CDibImage::kFormatPng, &EncodeWith<CDibImagePNG>, &DecodeWith<CDibImagePNG>},
    {CDibImage::kFormatIco, &EncodeWith<CDibImageICO>, &DecodeWith<CDibImageICO>},
    {CDibImage::kFormatTif, &EncodeWith<CDibImageTIF>, &DecodeWith<CDibImageTIF>},
    {CDibImage::kFormatTga, &EncodeWith<CDibImageTGA>, &DecodeWith<CDibImageTGA>},
    {CDibImage::kFormatPcx, &EncodeWith<CDibImagePCX>, &DecodeWith<CDibImagePCX>},
    {CDibImage::kFormatWbmp, &EncodeWith<CDibImageWBMP>, &DecodeWith<CDibImageWBMP>},
    {CDibImage::kFormatWmf, &EncodeWith<CDibImageWMF>, &DecodeWith<CDibImageWMF>},
    {CDibImage::kFormatJp2, &EncodeWith<CDibImageJAS>, &DecodeWith<CDibImageJAS>},
    {CDibImage::kFormatJpc, &EncodeWith<CDibImageJAS>, &DecodeWith<CDibImageJAS>},
    {CDibImage::kFormatPgx, &EncodeWith<CDibImageJAS>, &DecodeWith<CDibImageJAS>},
    {CDibImage::kFormatPnm, &EncodeWith<CDibImageJAS>, &DecodeWith<CDibImageJAS>},
    {CDibImage::kFormatRas, &EncodeWith<CDibImageJAS>, &DecodeWith<CDibImageJAS>},
    {CDibImage::kFormatMng, &EncodeWith<CDibImageMNG>, &DecodeWith<CDibImageMNG>},
    {CDibImage::kFormatSka, &EncodeWith<CDibImageSKA>, &DecodeWith<CDibImageSKA>},
    {CDibImage::kFormatRaw, &EncodeWith<CDibImageRAW>, &DecodeWith<CDibImageRAW>},
};

const CodecEntry* FindCodec(DWORD formatId) {
  for (const CodecEntry& entry : kCodecs)
    if (entry.id == formatId) return &entry;
  return nullptr;
}

// Order in which an unknown format is probed, with the id each decoder gets
// (the JPEG 2000 family gets 0 and detects the kind itself).
struct Probe {
  DWORD codecId;
  DWORD passedId;
};
const Probe kProbeOrder[] = {
    {CDibImage::kFormatBmp, CDibImage::kFormatBmp},   {CDibImage::kFormatJpg, CDibImage::kFormatJpg},
    {CDibImage::kFormatIco, CDibImage::kFormatIco},   {CDibImage::kFormatGif, CDibImage::kFormatGif},
    {CDibImage::kFormatPng, CDibImage::kFormatPng},   {CDibImage::kFormatTif, CDibImage::kFormatTif},
    {CDibImage::kFormatMng, CDibImage::kFormatMng},   {CDibImage::kFormatTga, CDibImage::kFormatTga},
    {CDibImage::kFormatPcx, CDibImage::kFormatPcx},   {CDibImage::kFormatWbmp, CDibImage::kFormatWbmp},
    {CDibImage::kFormatWmf, CDibImage::kFormatWmf},   {CDibImage::kFormatJp2, CDibImage::kFormatUnknown},
    {CDibImage::kFormatSka, CDibImage::kFormatSka},   {CDibImage::kFormatRaw, CDibImage::kFormatRaw},
};

// ---- Extensions ----

struct Extension {
  const wchar_t* text;
  DWORD id;
};
// Compared in this order on the first three characters.
const Extension kExtensions[] = {
    {L"bmp", CDibImage::kFormatBmp}, {L"jpg", CDibImage::kFormatJpg}, {L"jpe", CDibImage::kFormatJpg},
    {L"jfi", CDibImage::kFormatJpg}, {L"gif", CDibImage::kFormatGif}, {L"png", CDibImage::kFormatPng},
    {L"ico", CDibImage::kFormatIco}, {L"cur", CDibImage::kFormatIco}, {L"tif", CDibImage::kFormatTif},
    {L"tga", CDibImage::kFormatTga}, {L"pcx", CDibImage::kFormatPcx}, {L"wbm", CDibImage::kFormatWbmp},
    {L"wmf", CDibImage::kFormatWmf}, {L"emf", CDibImage::kFormatWmf}, {L"jp2", CDibImage::kFormatJp2},
    {L"j2k", CDibImage::kFormatJp2}, {L"jpc", CDibImage::kFormatJpc}, {L"j2c", CDibImage::kFormatJpc},
    {L"pgx", CDibImage::kFormatPgx}, {L"ras", CDibImage::kFormatRas}, {L"pnm", CDibImage::kFormatPnm},
    {L"pgm", CDibImage::kFormatPnm}, {L"ppm", CDibImage::kFormatPnm}, {L"mng", CDibImage::kFormatMng},
    {L"jng", CDibImage::kFormatMng}, {L"ska", CDibImage::kFormatSka}, {L"nef", CDibImage::kFormatRaw},
    {L"crw", CDibImage::kFormatRaw}, {L"cr2", CDibImage::kFormatRaw}, {L"dng", CDibImage::kFormatRaw},
    {L"arw", CDibImage::kFormatRaw}, {L"erf", CDibImage::kFormatRaw}, {L"3fr", CDibImage::kFormatRaw},
    {L"dcr", CDibImage::kFormatRaw}, {L"raw", CDibImage::kFormatRaw}, {L"x3f", CDibImage::kFormatRaw},
    {L"mef", CDibImage::kFormatRaw}, {L"raf", CDibImage::kFormatRaw}, {L"mrw", CDibImage::kFormatRaw},
    {L"pef", CDibImage::kFormatRaw}, {L"sr2", CDibImage::kFormatRaw}, {L"orf", CDibImage::kFormatRaw},
};

wchar_t AsciiLower(wchar_t c) {
  return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// ---- Files ----

// Opens a new, exclusively created file for writing; null when it exists.
// On Windows the system deletes it when it is closed, also when the process
// is ended half way, unless KeepWhenClosed was called: a killed save leaves
// no part-written file.
FILE* CreateNewFile(const std::wstring& name) {
#ifdef _WIN32
  const HANDLE handle =
      CreateFileW(name.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  FILE_DISPOSITION_INFO disposition = {TRUE};
  SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition);
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  FILE* file = _fdopen(fd, "wb");
  if (!file) _close(fd);
  return file;
#else
  std::string utf8;
  if (!VeskWideToUtf8(name.c_str(), utf8)) return nullptr;
  const int fd = open(utf8.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  FILE* file = fdopen(fd, "wb");
  if (!file) close(fd);
  return file;
#endif
}

void KeepWhenClosed(FILE* file) {
#ifdef _WIN32
  // Should this fail, the file goes at closing and the replacing says so.
  FILE_DISPOSITION_INFO disposition = {FALSE};
  SetFileInformationByHandle(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))), FileDispositionInfo,
                             &disposition, sizeof disposition);
#else
  (void)file;
#endif
}

// A temporary name beside `fileName`, as long as it or shorter, so that a
// name the file system takes has a temporary one it takes too: the end of the
// file part becomes "~<number>.tmp" (only a file part shorter than that mark
// gives a longer name, far from any limit). Numbers are never reused in one
// run, so saves running at once never try each other's names.
std::wstring TemporaryName(const wchar_t* fileName) {
  static std::atomic<unsigned> next{0};
  const std::wstring name(fileName);
  const size_t slash = name.find_last_of(L"\\/");
  const size_t part = slash == std::wstring::npos ? 0 : slash + 1;
  const std::wstring mark = L"~" + std::to_wstring(next++) + L".tmp";
  size_t keep = name.size() - part > mark.size() ? name.size() - mark.size() : part;
  if (keep > part && name[keep - 1] >= 0xD800 && name[keep - 1] <= 0xDBFF) --keep;  // not half a character
  return name.substr(0, keep) + mark;
}

void RemoveFile(const std::wstring& name) {
#ifdef _WIN32
  _wremove(name.c_str());
#else
  std::string utf8;
  if (VeskWideToUtf8(name.c_str(), utf8)) std::remove(utf8.c_str());
#endif
}

bool ReplaceFile(const std::wstring& from, const wchar_t* to) {
#ifdef _WIN32
  // A file that a reader holds open (a virus scanner, a thumbnailer, a
  // program waiting for it) cannot be replaced; such holds last moments.
  for (int round = 0; round < 200; ++round) {
    if (MoveFileExW(from.c_str(), to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    const DWORD error = GetLastError();
    if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) return false;
    const DWORD attributes = GetFileAttributesW(to);  // refused for good, not held
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
      return false;
    Sleep(10);
  }
  return false;
#else
  std::string fromUtf8, toUtf8;
  if (!VeskWideToUtf8(from.c_str(), fromUtf8) || !VeskWideToUtf8(to, toUtf8)) return false;
  return std::rename(fromUtf8.c_str(), toUtf8.c_str()) == 0;
#endif
}

}  // namespace

// ---- Format ids ----

CDibImage::CDibImage(const wchar_t* fileName, DWORD formatId) {
  Startup(formatId);
  Load(fileName, formatId);
}

DWORD CDibImage::GetTypeIdFromName(const wchar_t* extension) {
  if (!extension) return kFormatUnknown;
  for (const Extension& entry : kExtensions) {
    int i = 0;
    while (i < 3 && extension[i] && AsciiLower(extension[i]) == entry.text[i]) ++i;
    if (i == 3) return entry.id;
  }
  return kFormatUnknown;
}

DWORD CDibImage::GetTypeIndexFromId(DWORD formatId) {
  if (formatId <= 15) return formatId;
  if (formatId >= kFormatMng && formatId <= kFormatRaw) return formatId - 1;
  return 0;
}

bool CDibImage::SetType(DWORD formatId) {
  if (GetTypeIndexFromId(formatId) != 0) {
    m_info.formatId = formatId;
    return true;
  }
  m_info.formatId = kFormatUnknown;
  return false;
}

DWORD CDibImage::GetCodecOption(DWORD formatId) const {
  DWORD index = GetTypeIndexFromId(formatId);
  if (index == 0) index = GetTypeIndexFromId(m_info.formatId);
  return m_info.codecOptions[index];
}

bool CDibImage::SetCodecOption(DWORD option, DWORD formatId) {
  DWORD index = GetTypeIndexFromId(formatId);
  if (index == 0) index = GetTypeIndexFromId(m_info.formatId);
  m_info.codecOptions[index] = option;
  return true;
}

// ---- Encode and decode ----

bool CDibImage::EncodeSafeCheck(CByteStream* stream) {
  if (!stream) {
    SetLastErrorText(kNullStream);
    return true;
  }
  if (!m_dib) {
    SetLastErrorText("null image!!!");
    return true;
  }
  return false;
}

bool CDibImage::Encode(CByteStream* stream, DWORD formatId) {
  const CodecEntry* codec = GetTypeIndexFromId(formatId) ? FindCodec(formatId) : nullptr;
  if (!codec) {
    SetLastErrorText(kUnknownEncode);
    return false;
  }
  if (!codec->encode(*this, stream, formatId)) return false;
  // Buffered data that cannot reach the disk is a failed save, not a success.
  if (!stream->Flush()) {
    SetLastErrorText(kWriteFailed);
    return false;
  }
  return true;
}

bool CDibImage::Encode(FILE* file, DWORD formatId) {
  CFileStream stream(file);
  return Encode(file ? &stream : nullptr, formatId);
}

bool CDibImage::Decode(CByteStream* stream, DWORD formatId) {
  if (!stream) {
    SetLastErrorText(kNullStream);
    return false;
  }
  if (formatId != kFormatUnknown) {
    const CodecEntry* codec = GetTypeIndexFromId(formatId) ? FindCodec(formatId) : nullptr;
    if (!codec) {
      SetLastErrorText(kUnknownDecode);
      return false;
    }
    return codec->decode(*this, stream, formatId);
  }

  const int32_t start = stream->Tell();
  if (start >= 0) {
    // The failed decoders' messages are of no use to the caller.
    char kept[DIBIMAGE_ERROR_SIZE];
    std::memcpy(kept, m_info.lastError, sizeof kept);
    for (const Probe& probe : kProbeOrder) {
      const CodecEntry* codec = FindCodec(probe.codecId);
      if (!codec) continue;
      if (codec->decode(*this, stream, probe.passedId)) return true;
      SetLastErrorText(kept);
      if (!stream->Seek(start, CByteStream::kFromStart)) break;
    }
  }
  SetLastErrorText(kUnknownDecode);
  return false;
}

bool CDibImage::Decode(FILE* file, DWORD formatId) {
  CFileStream stream(file);
  return Decode(file ? &stream : nullptr, formatId);
}

// ---- Files ----

bool CDibImage::Save(const wchar_t* fileName, DWORD formatId) {
  return SaveWith(fileName, [&](CByteStream* stream) { return Encode(stream, formatId); });
}

bool CDibImage::SaveWith(const wchar_t* fileName, const std::function<bool(CByteStream*)>& encode) {
  if (!fileName || !*fileName) return false;

  std::wstring tempName;
  FILE* file = nullptr;
  for (int attempt = 0; attempt < 100 && !file; ++attempt) {
    tempName = TemporaryName(fileName);
    file = CreateNewFile(tempName);
  }
  if (!file) return false;

  bool saved;
  {
    CFileStream stream(file);
    saved = encode(&stream);
  }
  if (saved) KeepWhenClosed(file);
  if (std::fclose(file) != 0 && saved) {
    SetLastErrorText(kWriteFailed);
    saved = false;
  }
  // A file that cannot be put in place, like one that cannot be made, leaves
  // the text alone: the system's reason is the caller's to word, and it stays
  // the thread's last error (errno off Windows) past the clean-up.
  if (saved && !ReplaceFile(tempName, fileName)) saved = false;
  if (!saved) {
#ifdef _WIN32
    const DWORD error = ::GetLastError();
    RemoveFile(tempName);
    ::SetLastError(error);
#else
    const int error = errno;
    RemoveFile(tempName);
    errno = error;
#endif
  }
  return saved;
}

bool CDibImage::Load(const wchar_t* fileName, DWORD formatId) {
  if (!fileName) return false;
  if (GetTypeIndexFromId(formatId) != 0) {
    FILE* file = _wfopen(fileName, L"rb");
    if (!file) return false;
    const bool loaded = Decode(file, formatId);
    std::fclose(file);
    if (loaded) return true;
  }

  char kept[DIBIMAGE_ERROR_SIZE];
  std::memcpy(kept, m_info.lastError, sizeof kept);
  FILE* file = _wfopen(fileName, L"rb");
  if (!file) return false;
  const bool loaded = Decode(file, kFormatUnknown);
  std::fclose(file);
  if (!loaded && formatId != kFormatUnknown) SetLastErrorText(kept);
  return loaded;
}
