#include "image/formats/ExifInfo.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>

#include "image/streams/ByteStream.h"

namespace {

const int kSOS = 0xDA;
const int kEOI = 0xD9;
const int kCOM = 0xFE;
const int kAPP0 = 0xE0;
const int kAPP1 = 0xE1;

// Bytes per component of the TIFF field formats 0-12.
const uint32_t kFormatSize[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};

enum : uint16_t {
  kTagMake = 0x010F,
  kTagModel = 0x0110,
  kTagOrientation = 0x0112,
  kTagXResolution = 0x011A,
  kTagYResolution = 0x011B,
  kTagResolutionUnit = 0x0128,
  kTagThumbnailOffset = 0x0201,
  kTagThumbnailLength = 0x0202,
  kTagExposureTime = 0x829A,
  kTagFNumber = 0x829D,
  kTagExifOffset = 0x8769,
  kTagExposureProgram = 0x8822,
  kTagIsoSpeed = 0x8827,
  kTagExifVersion = 0x9000,
  kTagDateTimeOriginal = 0x9003,
  kTagCompressedBpp = 0x9102,
  kTagShutterSpeed = 0x9201,
  kTagAperture = 0x9202,
  kTagBrightness = 0x9203,
  kTagExposureBias = 0x9204,
  kTagMaxAperture = 0x9205,
  kTagSubjectDistance = 0x9206,
  kTagMeteringMode = 0x9207,
  kTagLightSource = 0x9208,
  kTagFlash = 0x9209,
  kTagFocalLength = 0x920A,
  kTagUserComment = 0x9286,
  kTagExifImageWidth = 0xA002,
  kTagExifImageHeight = 0xA003,
  kTagInteropOffset = 0xA005,
  kTagFocalPlaneXRes = 0xA20E,
  kTagFocalPlaneYRes = 0xA20F,
  kTagFocalPlaneUnits = 0xA210,
};

const int kMaxNesting = 4;
const float kLn2 = 0.693147180559945f;

bool IsStartOfFrame(int type) {
  return type >= 0xC0 && type <= 0xCF && type != 0xC4 && type != 0xC8 && type != 0xCC;
}

// File values may be anything; conversions to narrower types saturate.
int32_t ToInt(double value) {
  if (!(value == value)) return 0;
  if (value >= static_cast<double>(INT32_MAX)) return INT32_MAX;
  if (value <= static_cast<double>(INT32_MIN)) return INT32_MIN;
  return static_cast<int32_t>(value);
}

uint32_t ToUint(double value) {
  if (!(value > 0)) return 0;
  if (value >= static_cast<double>(UINT32_MAX)) return UINT32_MAX;
  return static_cast<uint32_t>(value);
}

float ToFloat(double value) {
  if (value > FLT_MAX) return FLT_MAX;
  if (value < -FLT_MAX) return -FLT_MAX;
  return static_cast<float>(value);
}

// Inches per unit of the resolution-unit tags; false leaves the field alone.
bool UnitToInches(int32_t unit, float* inches) {
  switch (unit) {
    case 1:
    case 2: *inches = 1.0f; return true;
    case 3: *inches = 0.3937008f; return true;
    case 4: *inches = 0.03937008f; return true;
    case 5: *inches = 0.00003937008f; return true;
    default: return false;
  }
}

// Text tags: at most `capacity` - 1 characters, never past the value's bytes.
void CopyText(char* out, size_t capacity, const uint8_t* value, uint32_t byteCount) {
  size_t n = 0;
  while (n + 1 < capacity && n < byteCount && value[n]) {
    out[n] = static_cast<char>(value[n]);
    ++n;
  }
  out[n] = '\0';
}

}  // namespace

CExifInfo::CExifInfo(ExifRecord* record) : m_record(record), m_largestWidth(0), m_motorolaOrder(0) {
  if (!m_record) {
    m_ownRecord.reset(new ExifRecord());
    m_record = m_ownRecord.get();
  }
  m_lastError[0] = '\0';
}

CExifInfo::~CExifInfo() = default;

void CExifInfo::SetError(const char* text) {
  std::strncpy(m_lastError, text, kErrorSize - 1);
  m_lastError[kErrorSize - 1] = '\0';
}

int CExifInfo::GetSectionType(int index) const {
  if (index < 0 || index >= GetSectionCount()) return 0;
  return m_sections[static_cast<size_t>(index)].type;
}

// ---- Splitting the stream ----

bool CExifInfo::ReadSections(CByteStream* stream, int mode) {
  try {
    return SplitSections(stream, mode);
  } catch (const std::bad_alloc&) {
    SetError("Could not allocate memory");
    return false;
  }
}

bool CExifInfo::SplitSections(CByteStream* stream, int mode) {
  if (!stream) {
    SetError("null file handler");
    return false;
  }
  if (stream->GetC() != 0xFF || stream->GetC() != 0xD8) {
    SetError("Not a JPEG file");
    return false;
  }

  bool commentKept = false;
  bool exifRead = false;
  for (;;) {
    if (m_sections.size() >= static_cast<size_t>(kMaxSections)) {
      SetError("Too many sections in jpg file");
      return false;
    }

    // Up to six fill bytes 0xFF, the marker's own included, before the type.
    int type = -1;
    for (int i = 0; i < 7; ++i) {
      const int c = stream->GetC();
      if (c < 0) {
        SetError("Premature end of file?");
        return false;
      }
      if (c != 0xFF) {
        type = c;
        break;
      }
    }
    if (type < 0) return false;

    const int high = stream->GetC();
    const int low = stream->GetC();
    if (high < 0 || low < 0) {
      SetError("Premature end of file?");
      return false;
    }
    const size_t length = static_cast<size_t>(high) << 8 | static_cast<size_t>(low);
    if (length < 2) {
      SetError("invalid marker");
      return false;
    }
    Section section;
    section.type = type;
    section.data.resize(length);
    section.data[0] = static_cast<uint8_t>(high);
    section.data[1] = static_cast<uint8_t>(low);
    if (stream->Read(section.data.data() + 2, 1, length - 2) != length - 2) {
      SetError("Premature end of file?");
      return false;
    }
    const uint8_t* body = section.data.data() + 2;
    const size_t bodyLength = length - 2;

    if (type == kSOS) {
      m_sections.push_back(std::move(section));
      if (mode & kReadImage) return ReadImageData(stream);
      return true;
    }
    if (type == kEOI) return false;

    bool keep = true;
    if (type == kCOM) {
      keep = (mode & kReadExif) && !commentKept;
      if (keep) {
        ProcessComment(body, bodyLength);
        commentKept = true;
      }
    } else if (type == kAPP0) {
      keep = false;
    } else if (type == kAPP1) {
      keep = (mode & kReadExif) && bodyLength >= 4 && std::memcmp(body, "Exif", 4) == 0;
      // The record describes the first EXIF section, the one a re-encode keeps.
      if (keep && !exifRead) {
        m_record->isExif = ProcessExif(body, bodyLength);
        exifRead = true;
      }
    } else if (IsStartOfFrame(type)) {
      ProcessFrame(body, bodyLength, type);
    }
    if (keep) m_sections.push_back(std::move(section));
  }
}

bool CExifInfo::ReadImageData(CByteStream* stream) {
  Section data;
  data.type = kImageData;
  const int32_t position = stream->Tell();
  const int32_t size = stream->Size();
  try {
    if (position >= 0 && size > position) data.data.reserve(static_cast<size_t>(size - position));
    uint8_t chunk[4096];
    size_t got;
    while ((got = stream->Read(chunk, 1, sizeof chunk)) > 0) data.data.insert(data.data.end(), chunk, chunk + got);
  } catch (const std::bad_alloc&) {
    SetError("could not allocate data for entire image");
    return false;
  }
  if (stream->Error() != 0) {
    SetError("could not read the rest of the image");
    return false;
  }
  m_sections.push_back(std::move(data));
  return true;
}

void CExifInfo::ProcessComment(const uint8_t* body, size_t length) {
  // At most 1000 bytes together with the two length bytes.
  const size_t n = length + 2 > sizeof m_record->comment ? sizeof m_record->comment - 2 : length;
  size_t out = 0;
  for (size_t i = 0; i < n; ++i) {
    const uint8_t c = body[i];
    if (c == '\r' && i + 1 < n && body[i + 1] == '\n') continue;
    m_record->comment[out++] = (c >= 0x20 && c <= 0x7E) || c == '\n' || c == '\t' ? static_cast<char>(c) : '?';
  }
  m_record->comment[out] = '\0';
}

void CExifInfo::ProcessFrame(const uint8_t* body, size_t length, int marker) {
  if (length < 6) return;
  m_record->height = body[1] << 8 | body[2];
  m_record->width = body[3] << 8 | body[4];
  m_record->isColor = body[5] == 3 ? 1 : 0;
  m_record->frameMarker = marker;
}

// ---- EXIF data ----

uint16_t CExifInfo::Get16(const uint8_t* p) const {
  return m_motorolaOrder ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[1] << 8 | p[0]);
}

uint32_t CExifInfo::Get32(const uint8_t* p) const {
  if (m_motorolaOrder)
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
  return static_cast<uint32_t>(p[3]) << 24 | static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
}

// `value` holds at least kFormatSize[format] bytes.
double CExifInfo::ConvertValue(const uint8_t* value, int format) const {
  switch (format) {
    case 1: return value[0];
    case 3: return Get16(value);
    case 4: return Get32(value);
    case 5: {
      const uint32_t den = Get32(value + 4);
      return den ? static_cast<double>(Get32(value)) / den : 0.0;
    }
    case 6: return static_cast<int8_t>(value[0]);
    case 8: return static_cast<int16_t>(Get16(value));
    case 9: return static_cast<int32_t>(Get32(value));
    case 10: {
      const int32_t den = static_cast<int32_t>(Get32(value + 4));
      return den ? static_cast<double>(static_cast<int32_t>(Get32(value))) / den : 0.0;
    }
    case 11: {
      const uint32_t bits = Get32(value);
      float f;
      std::memcpy(&f, &bits, sizeof f);
      return f;
    }
    case 12: {
      const uint64_t first = Get32(value), second = Get32(value + 4);
      const uint64_t bits = m_motorolaOrder ? first << 32 | second : second << 32 | first;
      double d;
      std::memcpy(&d, &bits, sizeof d);
      return d;
    }
    default: return 0.0;  // 0, 2 (ASCII) and 7 (undefined) have no number
  }
}

bool CExifInfo::ProcessExif(const uint8_t* body, size_t length) {
  m_record->flashUsed = 0;
  m_record->comment[0] = '\0';
  m_largestWidth = 0;

  if (length < 6 || std::memcmp(body, "Exif\0\0", 6) != 0) {
    SetError("Incorrect Exif header");
    return false;
  }
  TiffBlock tiff;
  tiff.data = body + 6;
  tiff.length = static_cast<uint32_t>(length - 6);
  tiff.visited = 0;
  if (tiff.length < 16) {
    SetError("Exif data too short");
    return false;
  }
  if (tiff.data[0] == 'I' && tiff.data[1] == 'I') {
    m_motorolaOrder = 0;
  } else if (tiff.data[0] == 'M' && tiff.data[1] == 'M') {
    m_motorolaOrder = 1;
  } else {
    SetError("Invalid Exif alignment marker.");
    return false;
  }
  if (Get16(tiff.data + 2) != 42) {
    SetError("Invalid Exif start (1)");
    return false;
  }
  const uint32_t first = Get32(tiff.data + 4);
  if (first < 8 || first >= tiff.length) {
    SetError("Invalid Exif first directory offset");
    return false;
  }
  if (!ProcessDirectory(tiff, first, 0, false)) return false;

  if (m_record->focalPlaneXResolution != 0)
    m_record->sensorWidth = ToFloat(static_cast<double>(m_largestWidth) * m_record->focalPlaneUnits /
                                    m_record->focalPlaneXResolution);
  return true;
}

bool CExifInfo::FollowLink(TiffBlock& tiff, uint32_t offset, int level, bool otherImage) {
  if (offset <= 8) return true;
  if (offset >= tiff.length) {
    SetError("Illegal subdirectory link");
    return false;
  }
  // A broken sub-directory leaves its message but does not spoil its parent.
  ProcessDirectory(tiff, offset, level, otherImage);
  return true;
}

bool CExifInfo::ProcessDirectory(TiffBlock& tiff, uint32_t offset, int level, bool otherImage) {
  if (level > kMaxNesting) {
    SetError("Maximum directory nesting exceeded (corrupt exif header)");
    return false;
  }
  // Links may form loops or point many times at one directory; each is read once.
  for (int i = 0; i < tiff.visited; ++i)
    if (tiff.visitedOffsets[i] == offset) return true;
  if (tiff.visited == static_cast<int>(sizeof tiff.visitedOffsets / sizeof tiff.visitedOffsets[0])) {
    SetError("Too many Exif directories");
    return false;
  }
  tiff.visitedOffsets[tiff.visited++] = offset;

  if (static_cast<uint64_t>(offset) + 2 > tiff.length) {
    SetError("Illegally sized directory");
    return false;
  }
  const uint32_t entries = Get16(tiff.data + offset);
  const uint64_t end = static_cast<uint64_t>(offset) + 2 + 12ull * entries;
  if (end > tiff.length) {
    SetError("Illegally sized directory");
    return false;
  }

  bool haveThumbOffset = false, haveThumbLength = false;
  uint32_t thumbOffset = 0, thumbLength = 0;
  for (uint32_t i = 0; i < entries; ++i) {
    const uint8_t* entry = tiff.data + offset + 2 + 12 * i;
    const uint16_t tag = Get16(entry);
    const uint16_t format = Get16(entry + 2);
    const uint32_t components = Get32(entry + 4);
    if (format > 12) {
      SetError("Illegal format code in EXIF dir");
      return false;
    }
    const uint64_t byteCount64 = static_cast<uint64_t>(components) * kFormatSize[format];
    const uint8_t* value = entry + 8;
    if (byteCount64 > 4) {
      const uint32_t valueOffset = Get32(entry + 8);
      if (valueOffset + byteCount64 > tiff.length) {
        SetError("Illegal pointer offset value in EXIF.");
        return false;
      }
      value = tiff.data + valueOffset;
    }
    // Fits in 32 bits now: it lies inside the block.
    const uint32_t byteCount = static_cast<uint32_t>(byteCount64);
    const double number = format != 0 && byteCount >= kFormatSize[format] ? ConvertValue(value, format) : 0.0;

    switch (tag) {
      case kTagMake: CopyText(m_record->cameraMake, sizeof m_record->cameraMake, value, byteCount); break;
      case kTagModel: CopyText(m_record->cameraModel, sizeof m_record->cameraModel, value, byteCount); break;
      case kTagDateTimeOriginal: CopyText(m_record->dateTime, sizeof m_record->dateTime, value, byteCount); break;
      case kTagExifVersion: CopyText(m_record->version, sizeof m_record->version, value, byteCount); break;
      case kTagOrientation: {
        const int32_t orientation = ToInt(number);
        if (orientation < 1 || orientation > 8) {
          SetError("Undefined rotation value");
          m_record->orientation = 0;
        } else {
          m_record->orientation = orientation;
        }
        break;
      }
      case kTagFlash: m_record->flashUsed = (ToInt(number) & 7) != 0 ? 1 : 0; break;
      case kTagFocalLength: m_record->focalLength = ToFloat(number); break;
      case kTagExposureTime: m_record->exposureTime = ToFloat(number); break;
      case kTagShutterSpeed:
        // An APEX value: exposure time = 2^-v.
        if (m_record->exposureTime == 0) {
          const double factor = std::exp(number * kLn2);
          m_record->exposureTime = factor > 0 ? ToFloat(1.0 / factor) : FLT_MAX;
        }
        break;
      case kTagFNumber: m_record->apertureFNumber = ToFloat(number); break;
      case kTagAperture:
      case kTagMaxAperture:
        if (m_record->apertureFNumber == 0) m_record->apertureFNumber = ToFloat(std::exp(number * kLn2 * 0.5));
        break;
      case kTagSubjectDistance: m_record->subjectDistance = ToFloat(number); break;
      case kTagExposureBias: m_record->exposureBias = ToFloat(number); break;
      case kTagLightSource: m_record->lightSource = ToInt(number); break;
      case kTagMeteringMode: m_record->meteringMode = ToInt(number); break;
      case kTagExposureProgram: m_record->exposureProgram = ToInt(number); break;
      case kTagIsoSpeed: {
        int64_t iso = ToInt(number);
        // Some cameras store the ISO as a multiple of 200.
        if (iso < 50) iso *= 200;
        m_record->isoSpeed = iso < INT32_MIN ? INT32_MIN : static_cast<int32_t>(iso);
        break;
      }
      case kTagCompressedBpp: m_record->compressedBitsPerPixel = ToInt(number); break;
      case kTagFocalPlaneXRes: m_record->focalPlaneXResolution = ToFloat(number); break;
      case kTagFocalPlaneYRes: m_record->focalPlaneYResolution = ToFloat(number); break;
      case kTagFocalPlaneUnits: UnitToInches(ToInt(number), &m_record->focalPlaneUnits); break;
      case kTagXResolution:
        if (!otherImage) m_record->xResolution = ToFloat(number);
        break;
      case kTagYResolution:
        if (!otherImage) m_record->yResolution = ToFloat(number);
        break;
      case kTagResolutionUnit:
        if (!otherImage) UnitToInches(ToInt(number), &m_record->resolutionUnit);
        break;
      case kTagBrightness: m_record->brightness = ToFloat(number); break;
      case kTagUserComment: ProcessUserComment(value, byteCount); break;
      case kTagExifImageWidth:
      case kTagExifImageHeight:
        if (ToInt(number) > m_largestWidth) m_largestWidth = ToInt(number);
        break;
      case kTagThumbnailOffset:
        haveThumbOffset = true;
        thumbOffset = ToUint(number);
        break;
      case kTagThumbnailLength:
        haveThumbLength = true;
        thumbLength = ToUint(number);
        break;
      case kTagExifOffset:
      case kTagInteropOffset:
        if (!FollowLink(tiff, Get32(value), level + 1, otherImage)) return false;
        break;
      default: break;
    }
  }

  // The link to the next directory (the thumbnail's), when it is there at all.
  if (end + 4 <= tiff.length) {
    const uint32_t next = Get32(tiff.data + end);
    if (next && !FollowLink(tiff, next, level + 1, true)) return false;
  }

  if (haveThumbOffset && haveThumbLength && thumbLength > 0 &&
      static_cast<uint64_t>(thumbOffset) + thumbLength <= tiff.length) {
    m_record->thumbnailOffset = thumbOffset;
    m_record->thumbnailSize = thumbLength;
  }
  return true;
}

void CExifInfo::ProcessUserComment(const uint8_t* value, uint32_t byteCount) {
  // Trailing spaces go from a copy: the section itself is written back later.
  uint32_t length = byteCount;
  while (length > 0 && value[length - 1] == ' ') --length;

  uint32_t start = 0;
  if (length >= 5 && std::memcmp(value, "ASCII", 5) == 0) {
    start = UINT32_MAX;
    for (uint32_t i = 5; i < 10 && i < length; ++i)
      if (value[i] != 0 && value[i] != ' ') {
        start = i;
        break;
      }
    if (start == UINT32_MAX) return;
  }
  CopyText(m_record->comment, 200, value + start, length - start);
}

// ---- Writing ----

void CExifInfo::KeepExifOnly() {
  int exif = -1, comment = -1;
  for (int i = 0; i < GetSectionCount(); ++i) {
    if (exif < 0 && m_sections[static_cast<size_t>(i)].type == kAPP1) exif = i;
    if (comment < 0 && m_sections[static_cast<size_t>(i)].type == kCOM) comment = i;
  }
  Section exifSection, commentSection;
  if (exif >= 0) exifSection = std::move(m_sections[static_cast<size_t>(exif)]);
  if (comment >= 0) commentSection = std::move(m_sections[static_cast<size_t>(comment)]);
  // The table keeps its capacity, so putting them back allocates nothing.
  m_sections.clear();
  if (exif >= 0) m_sections.push_back(std::move(exifSection));
  if (comment >= 0) m_sections.push_back(std::move(commentSection));
}

bool CExifInfo::WriteSections(CByteStream* stream) {
  bool haveScan = false;
  for (size_t i = 0; i + 1 < m_sections.size(); ++i)
    if (m_sections[i].type == kSOS) haveScan = true;
  if (!stream || !haveScan) {
    SetError("Can't write exif : didn't read all");
    return false;
  }
  const uint8_t start[2] = {0xFF, 0xD8};
  bool written = stream->Write(start, 1, 2) == 2;
  for (size_t i = 0; written && i < m_sections.size(); ++i) {
    const Section& section = m_sections[i];
    if (i + 1 < m_sections.size()) {
      const uint8_t marker[2] = {0xFF, static_cast<uint8_t>(section.type)};
      written = stream->Write(marker, 1, 2) == 2;
    }
    if (written && !section.data.empty())
      written = stream->Write(section.data.data(), 1, section.data.size()) == section.data.size();
  }
  if (!written) SetError("Can't write exif : write error");
  return written;
}

const uint8_t* CExifInfo::GetThumbnail(uint32_t* size) const {
  if (size) *size = 0;
  if (!m_record->thumbnailSize) return nullptr;
  for (const Section& section : m_sections) {
    if (section.type != kAPP1) continue;
    // Length bytes and "Exif" 0 0 come before the TIFF header.
    const uint64_t end = 8ull + m_record->thumbnailOffset + m_record->thumbnailSize;
    if (end > section.data.size()) return nullptr;
    if (size) *size = m_record->thumbnailSize;
    return section.data.data() + 8 + m_record->thumbnailOffset;
  }
  return nullptr;
}
