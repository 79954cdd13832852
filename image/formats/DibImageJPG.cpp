#include "image/formats/DibImageJPG.h"

#include <cmath>
#include <new>

#include "image/formats/JpegLibBridge.h"
#include "image/streams/ByteStream.h"

namespace {

const char kNullStream[] = "null file handler";
const char kWriteError[] = "Output file write error --- out of disk space?";
const int32_t kMaxDpi = 65535;  // JFIF densities are 16-bit

// Quality 0-100, also the palette size of quantised decoding. Whatever a
// caller stored is brought into range before it is converted.
int QualityOf(float quality) {
  if (!(quality == quality)) quality = 90.0f;
  if (quality < 0.0f) quality = 0.0f;
  if (quality > 100.0f) quality = 100.0f;
  return static_cast<int>(quality + 0.5f);
}

// libjpeg scales by 1/1, 1/2, 1/4 or 1/8; 0 (the default) means full size.
int ScaleDenominatorOf(BYTE scale) {
  if (scale >= 8) return 8;
  if (scale >= 4) return 4;
  if (scale >= 2) return 2;
  return 1;
}

// False for a value that says nothing (NaN); others are clamped to 1-65535.
bool DpiOf(double value, int32_t* dpi) {
  if (!(value == value)) return false;
  if (value < 1.0) *dpi = 1;
  else if (value > kMaxDpi) *dpi = kMaxDpi;
  else *dpi = static_cast<int32_t>(value);
  return true;
}

uint16_t DensityOf(int32_t dpi) {
  if (dpi < 1) return 1;
  if (dpi > kMaxDpi) return kMaxDpi;
  return static_cast<uint16_t>(dpi);
}

}  // namespace

// The picture as the libjpeg side fills it.
class CDibImageJPG::ImageTarget : public CJpegDecodeTarget {
 public:
  explicit ImageTarget(CDibImageJPG& image) : m_image(image) {}
  bool CreateImage(uint32_t width, uint32_t height, int bitsPerPixel) override {
    return m_image.Create(static_cast<int32_t>(width), static_cast<int32_t>(height), static_cast<DWORD>(bitsPerPixel),
                          kFormatJpg) != nullptr;
  }
  uint8_t* TopDownRow(uint32_t row) override { return m_image.GetBits(m_image.GetHeight() - 1 - row); }
  void SetGreyPalette() override { m_image.SetGrayPalette(); }
  void SetPalette(int count, const uint8_t* red, const uint8_t* green, const uint8_t* blue) override {
    m_image.SetPalette(static_cast<DWORD>(count), red, green, blue);
    m_image.SetClrImportant(static_cast<DWORD>(count));
  }
  bool Cancelled() override { return m_image.m_info.escape != 0; }

 private:
  CDibImageJPG& m_image;
};

CDibImageJPG::CDibImageJPG() : CDibImage(kFormatJpg), m_exifRecord() {}

CDibImageJPG::~CDibImageJPG() = default;

bool CDibImageJPG::DecodeExif(CByteStream* stream) {
  m_exif.reset();
  m_exifRecord = ExifRecord();
  if (!stream) return false;
  m_exif.reset(new (std::nothrow) CExifInfo(&m_exifRecord));
  if (!m_exif) return false;
  const int32_t position = stream->Tell();
  if (position < 0) return false;
  m_exif->ReadSections(stream, CExifInfo::kReadExif);
  stream->Seek(position, CByteStream::kFromStart);
  return m_exifRecord.isExif;
}

bool CDibImageJPG::Decode(CByteStream* stream) {
  if (!stream) {
    SetLastErrorText(kNullStream);
    return false;
  }
  const bool hasExif = DecodeExif(stream);

  JpegDecodeRequest request;
  // Captures carry format id 0, so the JPEG word is asked for by its own id.
  request.options = GetCodecOption(kFormatJpg);
  request.colours = QualityOf(m_info.jpegQuality);
  request.scaleDenominator = ScaleDenominatorOf(m_info.jpegScale);
  request.dimensionsOnly = m_info.escape == -1;
  ImageTarget target(*this);
  JpegDecodeResult result;
  if (!JpegLibDecode(stream, request, target, result, m_info.lastError, sizeof m_info.lastError)) return false;

  if (request.dimensionsOnly) {
    m_header.biWidth = static_cast<LONG>(result.width);
    m_header.biHeight = static_cast<LONG>(result.height);
    m_info.formatId = kFormatJpg;
    SetLastErrorText("output dimensions returned");
    return true;
  }

  if (hasExif) {
    int32_t dpi;
    const ExifRecord& exif = m_exifRecord;
    if (exif.xResolution != 0 && exif.resolutionUnit != 0 &&
        DpiOf(static_cast<double>(exif.xResolution) / exif.resolutionUnit, &dpi))
      SetXDPI(dpi);
    if (exif.yResolution != 0 && exif.resolutionUnit != 0 &&
        DpiOf(static_cast<double>(exif.yResolution) / exif.resolutionUnit, &dpi))
      SetYDPI(dpi);
  } else {
    ApplyResolution(result.densityUnit, result.xDensity, result.yDensity);
  }
  return true;
}

void CDibImageJPG::ApplyResolution(int densityUnit, int xDensity, int yDensity) {
  int32_t dpi;
  switch (densityUnit) {
    case 0:  // aspect ratio only
      if (xDensity > 0 && yDensity > 0 && DpiOf(GetXDPI() * (static_cast<double>(yDensity) / xDensity), &dpi))
        SetYDPI(dpi);
      break;
    case 2:  // dots per centimetre
      SetXDPI(static_cast<int32_t>(std::floor(xDensity * 2.54 + 0.5)));
      SetYDPI(static_cast<int32_t>(std::floor(yDensity * 2.54 + 0.5)));
      break;
    default:
      SetXDPI(xDensity);
      SetYDPI(yDensity);
      break;
  }
}

bool CDibImageJPG::Encode(CByteStream* stream) {
  if (EncodeSafeCheck(stream)) return false;
  if (IsIndexed() && !IsGrayScale()) {
    SetLastErrorText("JPEG can save only RGB or GreyScale images");
    return false;
  }
  const int32_t start = stream->Tell();

  JpegEncodeRequest request;
  request.options = GetCodecOption(kFormatJpg);
  request.quality = QualityOf(m_info.jpegQuality);
  request.width = GetWidth();
  request.height = GetHeight();
  request.grey = IsIndexed();
  request.bottomRow = GetBits(0);
  request.stride = GetEffWidth();
  request.xDensity = DensityOf(GetXDPI());
  request.yDensity = DensityOf(GetYDPI());
  if (!JpegLibEncode(stream, request, m_info.lastError, sizeof m_info.lastError)) return false;

  if (m_exif && m_exifRecord.isExif) return WriteBackExif(stream, start);
  return true;
}

// Puts the EXIF section of the decoded file into the file just written. A
// stream that cannot be read back keeps what libjpeg wrote.
bool CDibImageJPG::WriteBackExif(CByteStream* stream, int32_t start) {
  const int32_t end = stream->Tell();
  if (start < 0 || end < 0) return true;
  m_exif->KeepExifOnly();
  if (!stream->Seek(start, CByteStream::kFromStart) || !m_exif->ReadSections(stream, CExifInfo::kReadImage)) {
    m_exif->KeepExifOnly();
    stream->Seek(end, CByteStream::kFromStart);
    return true;
  }
  // The new file is never shorter: an EXIF section outweighs the JFIF one it replaces.
  const bool written = stream->Seek(start, CByteStream::kFromStart) && m_exif->WriteSections(stream) && stream->Flush();
  // Only the EXIF and comment sections are worth keeping, not a copy of the picture.
  m_exif->KeepExifOnly();
  if (!written) {
    SetLastErrorText(kWriteError);
    return false;
  }
  return true;
}
