// CExifInfo: splits a JPEG stream into its marker sections, reads the EXIF
// (APP1) directories into an ExifRecord, and writes a JPEG stream anew from
// the sections it holds. The JPEG codec reads the record before each decode
// and, after an encode, puts the EXIF section it read earlier into the new
// file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class CByteStream;

struct ExifRecord {
  char version[5];          // tag 0x9000
  char cameraMake[32];
  char cameraModel[40];
  char dateTime[20];
  int32_t height;           // from the start-of-frame section
  int32_t width;
  int32_t orientation;      // 1-8, 0 when unknown
  int32_t isColor;          // three components
  int32_t frameMarker;      // 0xC0-0xCF
  int32_t flashUsed;
  float focalLength;
  float exposureTime;
  float apertureFNumber;
  float subjectDistance;
  float sensorWidth;
  float exposureBias;
  int32_t lightSource;
  int32_t meteringMode;
  int32_t exposureProgram;
  int32_t isoSpeed;
  int32_t compressedBitsPerPixel;
  float focalPlaneXResolution;
  float focalPlaneYResolution;
  float focalPlaneUnits;    // inches per unit: resolution / units = per inch
  float xResolution;
  float yResolution;
  float resolutionUnit;     // inches per unit, as focalPlaneUnits
  float brightness;
  char comment[1000];
  // Kept as a position in the EXIF section (counted from its TIFF header),
  // not as a pointer: the section belongs to the reader, which may be gone.
  uint32_t thumbnailOffset;
  uint32_t thumbnailSize;
  bool isExif;
};

class CExifInfo {
 public:
  // Read modes, bit flags.
  enum { kReadExif = 1, kReadImage = 2 };
  // Marker type of the section that holds the compressed data and the rest.
  static constexpr int kImageData = 0x123;
  static constexpr int kMaxSections = 20;
  static constexpr int kErrorSize = 256;

  // Fills `record` (not owned); without one, a record of its own.
  explicit CExifInfo(ExifRecord* record = nullptr);
  ~CExifInfo();
  CExifInfo(const CExifInfo&) = delete;
  CExifInfo& operator=(const CExifInfo&) = delete;

  // Splits the stream from its current position. Mode kReadExif reads the
  // EXIF, comment and other header sections up to the scan; kReadImage also
  // keeps the compressed data and everything after it.
  bool ReadSections(CByteStream* stream, int mode);
  // Writes start-of-image and the held sections; the last one (the image
  // data) is written unchanged.
  bool WriteSections(CByteStream* stream);
  // Keeps the first EXIF section and the first comment section, in that order.
  void KeepExifOnly();

  const ExifRecord& GetRecord() const { return *m_record; }
  const char* GetLastError() const { return m_lastError; }
  int GetSectionCount() const { return static_cast<int>(m_sections.size()); }
  int GetSectionType(int index) const;
  // The thumbnail the record describes, inside the first EXIF section held;
  // null when there is none.
  const uint8_t* GetThumbnail(uint32_t* size) const;

 private:
  struct Section {
    std::vector<uint8_t> data;  // two length bytes, then the body (image data: the raw rest)
    int type = 0;
  };
  // Where a TIFF block is being read and how.
  struct TiffBlock {
    const uint8_t* data;
    uint32_t length;
    int visited;
    uint32_t visitedOffsets[64];
  };

  void SetError(const char* text);
  bool SplitSections(CByteStream* stream, int mode);
  bool ReadImageData(CByteStream* stream);
  void ProcessComment(const uint8_t* body, size_t length);
  void ProcessFrame(const uint8_t* body, size_t length, int marker);
  bool ProcessExif(const uint8_t* body, size_t length);
  // `otherImage`: the directory describes another image than the main one
  // (the thumbnail's IFD1), whose resolution is not the picture's.
  bool ProcessDirectory(TiffBlock& tiff, uint32_t offset, int level, bool otherImage);
  // Reads the directory at a link read from the file, level `level`.
  bool FollowLink(TiffBlock& tiff, uint32_t offset, int level, bool otherImage);
  void ProcessUserComment(const uint8_t* value, uint32_t byteCount);

  uint16_t Get16(const uint8_t* p) const;
  uint32_t Get32(const uint8_t* p) const;
  double ConvertValue(const uint8_t* value, int format) const;

  ExifRecord* m_record;
  std::unique_ptr<ExifRecord> m_ownRecord;
  char m_lastError[kErrorSize];
  int m_largestWidth;
  int m_motorolaOrder;  // 0 Intel "II", 1 Motorola "MM"
  std::vector<Section> m_sections;
};
