// The EXIF reader and writer on hand-built EXIF blocks in both byte orders.
// Runs natively and under Wine.
#include "image/formats/ExifInfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "image/formats/DibImageJPG.h"
#include "image/streams/MemoryStream.h"
#include "image/tests/JpegTestSupport.h"

using namespace jpegtest;

namespace {

const Bytes& PlainJpeg() {
  static const Bytes jpeg = [] {
    auto picture = MakePicture(24, 16);
    picture->SetXDPI(200);
    picture->SetYDPI(200);
    Bytes out;
    Encode(*picture, out);
    return out;
  }();
  return jpeg;
}

Bytes WithExif(const Bytes& exif) {
  return InsertAfterSoi(PlainJpeg(), Section(0xE1, exif));
}

// Reads `jpeg` the way a decode does; the stream goes back to the start.
struct ExifRead {
  bool decoded = false;
  bool isExif = false;
  ExifRecord record{};
  std::string error;
  int32_t xDpi = 0, yDpi = 0;
};

ExifRead ReadExif(const Bytes& jpeg) {
  ExifRead out;
  CDibImageJPG image;
  out.decoded = Decode(image, jpeg);
  out.record = image.GetExifRecord();
  out.isExif = out.record.isExif;
  out.error = image.GetExifReader() ? image.GetExifReader()->GetLastError() : "";
  out.xDpi = image.GetXDPI();
  out.yDpi = image.GetYDPI();
  return out;
}

Bytes Ascii(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

std::vector<int> SectionTypes(const CExifInfo& info) {
  std::vector<int> types;
  for (int i = 0; i < info.GetSectionCount(); ++i) types.push_back(info.GetSectionType(i));
  return types;
}

TEST(Exif, CameraFieldsInBothByteOrders) {
  const Bytes thumbnail = {0xFF, 0xD8, 'T', 'H', 'U', 'M', 'B', 0x5A, 0xFF, 0xD9};
  for (bool motorola : {false, true}) {
    SCOPED_TRACE(motorola ? "Motorola" : "Intel");
    TiffWriter w(motorola);
    auto exifDir = std::make_shared<Directory>();
    Bytes comment = Ascii("ASCII");
    comment.insert(comment.end(), {0, 0, 0});
    for (char c : std::string("Hello Vesk   ")) comment.push_back(uint8_t(c));
    exifDir->fields = {
        w.Rational(0x829A, 1, 250),      w.Rational(0x829D, 28, 10),
        w.Ascii(0x9003, "2024:05:06 07:08:09"), w.Undefined(0x9000, Ascii("0230")),
        w.Short(0x8827, 400),            w.Rational(0x9102, 4, 1),
        w.Rational(0x9203, uint32_t(-3), 2, 10), w.Rational(0x9204, uint32_t(-1), 3, 10),
        w.Rational(0x9206, 5, 2),        w.Short(0x9207, 5),
        w.Short(0x9208, 4),              w.Short(0x8822, 2),
        w.Short(0x9209, 0x19),           w.Float(0x920A, 35.5f),
        w.Double(0xA20E, 1000.0),        w.Rational(0xA20F, 1000, 1),
        w.Short(0xA210, 3),              w.Long(0xA002, 3000),
        w.Long(0xA003, 2000),            w.Undefined(0x9286, comment),
    };
    auto ifd1 = std::make_shared<Directory>();
    // The thumbnail's own resolution is not the picture's.
    ifd1->fields = {w.Long(0x0201, 0), w.Long(0x0202, uint32_t(thumbnail.size())), w.Undefined(0xC0DE, thumbnail),
                    w.Rational(0x011A, 72, 1), w.Rational(0x011B, 72, 1), w.Short(0x0128, 3)};
    Directory root;
    root.fields = {w.Ascii(0x010F, "Vesk Camera"), w.Ascii(0x0110, "VX-1"), w.Short(0x0112, 6),
                   w.Rational(0x011A, 300, 1), w.Rational(0x011B, 150, 1), w.Short(0x0128, 2)};
    root.links = {{0x8769, exifDir}};
    root.next = ifd1;
    Bytes exif = w.Exif(root);
    // Point the thumbnail offset at the thumbnail's bytes.
    const auto found = std::search(exif.begin(), exif.end(), thumbnail.begin(), thumbnail.end());
    const uint32_t thumbOffset = uint32_t(found - exif.begin() - 6);
    Bytes entry = w.U16(0x0201);
    for (const Bytes& part : {w.U16(4), w.U32(1)}) entry.insert(entry.end(), part.begin(), part.end());
    const auto at = std::search(exif.begin(), exif.end(), entry.begin(), entry.end());
    ASSERT_NE(at, exif.end());
    w.Patch(exif, uint32_t(at - exif.begin() - 6 + 8), w.U32(thumbOffset));

    // A comment section before the EXIF data: the EXIF comment replaces it.
    Bytes sections = Section(0xFE, Ascii("replaced"));
    const Bytes app1 = Section(0xE1, exif);
    sections.insert(sections.end(), app1.begin(), app1.end());
    const ExifRead r = ReadExif(InsertAfterSoi(PlainJpeg(), sections));
    ASSERT_TRUE(r.decoded);
    ASSERT_TRUE(r.isExif) << r.error;
    const ExifRecord& e = r.record;
    EXPECT_STREQ(e.cameraMake, "Vesk Camera");
    EXPECT_STREQ(e.cameraModel, "VX-1");
    EXPECT_STREQ(e.dateTime, "2024:05:06 07:08:09");
    EXPECT_STREQ(e.version, "0230");
    EXPECT_EQ(e.orientation, 6);
    EXPECT_FLOAT_EQ(e.exposureTime, 0.004f);
    EXPECT_FLOAT_EQ(e.apertureFNumber, 2.8f);
    EXPECT_EQ(e.isoSpeed, 400);
    EXPECT_EQ(e.compressedBitsPerPixel, 4);
    EXPECT_FLOAT_EQ(e.brightness, -1.5f);
    EXPECT_FLOAT_EQ(e.exposureBias, -1.0f / 3);
    EXPECT_FLOAT_EQ(e.subjectDistance, 2.5f);
    EXPECT_EQ(e.meteringMode, 5);
    EXPECT_EQ(e.lightSource, 4);
    EXPECT_EQ(e.exposureProgram, 2);
    EXPECT_EQ(e.flashUsed, 1);
    EXPECT_FLOAT_EQ(e.focalLength, 35.5f);
    EXPECT_FLOAT_EQ(e.focalPlaneXResolution, 1000.0f);
    EXPECT_FLOAT_EQ(e.focalPlaneUnits, 0.3937008f);
    EXPECT_NEAR(e.sensorWidth, 3000 * 0.3937008 / 1000, 1e-5);
    EXPECT_FLOAT_EQ(e.xResolution, 300.0f);
    EXPECT_FLOAT_EQ(e.resolutionUnit, 1.0f);
    EXPECT_STREQ(e.comment, "Hello Vesk");
    EXPECT_EQ(e.width, 24);
    EXPECT_EQ(e.height, 16);
    EXPECT_EQ(e.isColor, 1);
    EXPECT_EQ(e.frameMarker, 0xC0);
    EXPECT_EQ(r.xDpi, 300);
    EXPECT_EQ(r.yDpi, 150);

    EXPECT_EQ(e.thumbnailOffset, thumbOffset);
    EXPECT_EQ(e.thumbnailSize, thumbnail.size());
    CDibImageJPG image;
    ASSERT_TRUE(Decode(image, WithExif(exif)));
    uint32_t size = 0;
    const uint8_t* data = image.GetExifReader()->GetThumbnail(&size);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(Bytes(data, data + size), thumbnail);
  }
}

TEST(Exif, ResolutionGivesDotsPerInch) {
  TiffWriter w(false);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    const char* name;
    std::vector<Field> fields;
    int32_t dpi;
  } cases[] = {
      {"inch", {w.Rational(0x011A, 72, 1), w.Short(0x0128, 2)}, 72},
      {"centimetre", {w.Rational(0x011A, 2835, 100), w.Short(0x0128, 3)}, 72},
      {"millimetre", {w.Rational(0x011A, 1182, 100), w.Short(0x0128, 4)}, 300},
      {"no unit: neither EXIF nor JFIF", {w.Rational(0x011A, 72, 1)}, 96},
      {"unknown unit", {w.Rational(0x011A, 72, 1), w.Short(0x0128, 9)}, 96},
      {"huge", {w.Rational(0x011A, 4000000000u, 1), w.Short(0x0128, 2)}, 65535},
      {"negative", {w.Rational(0x011A, uint32_t(-300), 1, 10), w.Short(0x0128, 2)}, 1},
      {"not a number", {w.Float(0x011A, nan), w.Short(0x0128, 2)}, 96},
      {"zero denominator", {w.Rational(0x011A, 72, 0), w.Short(0x0128, 2)}, 96},
  };
  for (const auto& c : cases) {
    Directory root;
    root.fields = c.fields;
    const ExifRead r = ReadExif(WithExif(w.Exif(root)));
    ASSERT_TRUE(r.decoded) << c.name;
    EXPECT_TRUE(r.isExif) << c.name;
    EXPECT_EQ(r.xDpi, c.dpi) << c.name;
  }
  // Without EXIF the JFIF density counts.
  EXPECT_EQ(ReadExif(PlainJpeg()).xDpi, 200);
}

TEST(Exif, ValueConversions) {
  for (bool motorola : {false, true}) {
    TiffWriter w(motorola);
    const struct {
      const char* name;
      std::vector<Field> fields;
      bool (*check)(const ExifRecord&);
      const char* error;
    } cases[] = {
        {"ISO below 50 counts in 200s", {w.Short(0x8827, 4)}, [](const ExifRecord& e) { return e.isoSpeed == 800; }, ""},
        {"ISO 100", {w.Short(0x8827, 100)}, [](const ExifRecord& e) { return e.isoSpeed == 100; }, ""},
        {"orientation out of range", {w.Short(0x0112, 9)}, [](const ExifRecord& e) { return e.orientation == 0; },
         "Undefined rotation value"},
        {"shutter speed in APEX", {w.Rational(0x9201, 8, 1, 10)},
         [](const ExifRecord& e) { return std::fabs(e.exposureTime - 1.0f / 256) < 1e-6f; }, ""},
        {"exposure time wins over shutter speed", {w.Rational(0x829A, 1, 50), w.Rational(0x9201, 8, 1, 10)},
         [](const ExifRecord& e) { return std::fabs(e.exposureTime - 0.02f) < 1e-6f; }, ""},
        {"aperture in APEX", {w.Rational(0x9202, 4, 1)},
         [](const ExifRecord& e) { return std::fabs(e.apertureFNumber - 4.0f) < 1e-4f; }, ""},
        {"INT_MIN / -1", {w.Rational(0x9203, 0x80000000u, uint32_t(-1), 10)},
         [](const ExifRecord& e) { return e.brightness == 2147483648.0f; }, ""},
        {"unsigned rational above INT_MAX", {w.Rational(0x011A, 3000000000u, 1)},
         [](const ExifRecord& e) { return e.xResolution == 3e9f; }, ""},
        {"double", {w.Double(0x920A, 12.25)}, [](const ExifRecord& e) { return e.focalLength == 12.25f; }, ""},
        {"huge double", {w.Double(0x920A, 1e300), w.Double(0x8827, -1e300)},
         [](const ExifRecord& e) { return e.focalLength > 1e38f && e.isoSpeed == INT_MIN; }, ""},
        {"text without NUL ends at its byte count", {Field{0x010F, 2, 3, {'C', 'a', 'n', 0}}},
         [](const ExifRecord& e) { return std::string(e.cameraMake) == "Can"; }, ""},
        {"long make is cut", {w.Ascii(0x010F, std::string(60, 'M'))},
         [](const ExifRecord& e) { return std::string(e.cameraMake) == std::string(31, 'M'); }, ""},
        {"comment without ASCII prefix", {w.Undefined(0x9286, Ascii("plain  "))},
         [](const ExifRecord& e) { return std::string(e.comment) == "plain"; }, ""},
        {"ASCII comment of spaces only", {w.Undefined(0x9286, Ascii("ASCII          "))},
         [](const ExifRecord& e) { return std::string(e.comment).empty(); }, ""},
        {"comment is cut at 199", {w.Undefined(0x9286, Bytes(300, 'c'))},
         [](const ExifRecord& e) { return std::string(e.comment) == std::string(199, 'c'); }, ""},
        {"flash not fired", {w.Short(0x9209, 0x10)}, [](const ExifRecord& e) { return e.flashUsed == 0; }, ""},
        {"format 0 counts nothing", {Field{0x8827, 0, 1000000000, {}}},
         [](const ExifRecord& e) { return e.isoSpeed == 0; }, ""},
    };
    for (const auto& c : cases) {
      Directory root;
      root.fields = c.fields;
      const ExifRead r = ReadExif(WithExif(w.Exif(root)));
      EXPECT_TRUE(r.isExif) << c.name;
      EXPECT_TRUE(c.check(r.record)) << c.name << (motorola ? " (Motorola)" : " (Intel)");
      EXPECT_EQ(r.error, c.error) << c.name;
    }
  }
}

TEST(Exif, DirectoryNesting) {
  TiffWriter w(true);
  for (int depth : {4, 5}) {
    auto deepest = std::make_shared<Directory>();
    deepest->fields = {w.Ascii(0x0110, "deep")};
    std::shared_ptr<Directory> dir = deepest;
    for (int level = depth - 1; level >= 0; --level) {
      auto parent = std::make_shared<Directory>();
      parent->links = {{level % 2 ? 0xA005 : 0x8769, dir}};
      dir = parent;
    }
    const ExifRead r = ReadExif(WithExif(w.Exif(*dir)));
    // A broken sub-directory does not spoil the EXIF data around it.
    EXPECT_TRUE(r.isExif) << depth;
    EXPECT_STREQ(r.record.cameraModel, depth == 4 ? "deep" : "") << depth;
    EXPECT_EQ(r.error, depth == 4 ? "" : "Maximum directory nesting exceeded (corrupt exif header)") << depth;
  }
}

TEST(Exif, LinksAreFollowedOnce) {
  TiffWriter w(false);
  // A directory whose 2000 entries all link back to itself.
  auto loop = std::make_shared<Directory>();
  for (int i = 0; i < 2000; ++i) loop->fields.push_back(w.Long(0x8769, 0));
  loop->fields.push_back(w.Ascii(0x0110, "loop"));
  Directory root;
  root.links = {{0x8769, loop}};
  Bytes exif = w.Exif(root);
  const uint32_t loopOffset = 8 + 2 + 12 + 4;
  for (int i = 0; i < 2000; ++i) w.Patch(exif, loopOffset + 2 + 12 * i + 8, w.U32(loopOffset));
  const ExifRead r = ReadExif(WithExif(exif));
  EXPECT_TRUE(r.isExif);
  EXPECT_STREQ(r.record.cameraModel, "loop");
}

TEST(Exif, CorruptBlocksAreRefused) {
  TiffWriter w(false);
  Directory root;
  root.fields = {w.Ascii(0x010F, "Make of a long name"), w.Short(0x0112, 3)};
  const Bytes good = w.Exif(root);
  // IFD0 at TIFF offset 8: count, then entries of 12 bytes.
  const struct {
    const char* name;
    uint32_t at;  // TIFF offset to patch
    Bytes bytes;
    const char* error;
  } cases[] = {
      {"alignment", 0, {'I', 'M'}, "Invalid Exif alignment marker."},
      {"start", 2, {43, 0}, "Invalid Exif start (1)"},
      {"first directory beyond", 4, {0xFF, 0xFF, 0, 0}, "Invalid Exif first directory offset"},
      {"first directory in the header", 4, {4, 0, 0, 0}, "Invalid Exif first directory offset"},
      {"directory too long", 8, {0xFF, 0x00}, "Illegally sized directory"},
      {"format", 8 + 2 + 2, {13, 0}, "Illegal format code in EXIF dir"},
      {"value offset", 8 + 2 + 8, {0xF0, 0xFF, 0, 0}, "Illegal pointer offset value in EXIF."},
      {"value offset that wraps", 8 + 2 + 8, {0xFF, 0xFF, 0xFF, 0xFF}, "Illegal pointer offset value in EXIF."},
      {"huge count", 8 + 2 + 4, {0, 0, 0, 0x80}, "Illegal pointer offset value in EXIF."},
  };
  for (const auto& c : cases) {
    Bytes exif = good;
    w.Patch(exif, c.at, c.bytes);
    const ExifRead r = ReadExif(WithExif(exif));
    EXPECT_TRUE(r.decoded) << c.name;
    EXPECT_FALSE(r.isExif) << c.name;
    EXPECT_EQ(r.error, c.error) << c.name;
  }

  Directory linked;
  linked.fields = {w.Long(0x8769, 0x7000)};
  const ExifRead badLink = ReadExif(WithExif(w.Exif(linked)));
  EXPECT_FALSE(badLink.isExif);
  EXPECT_EQ(badLink.error, "Illegal subdirectory link");

  const struct {
    const char* name;
    Bytes body;
    const char* error;
  } headers[] = {
      {"no zero bytes", Ascii("ExifXXII*\0\x08\0\0\0\0\0\0\0\0\0\0\0"), "Incorrect Exif header"},
      {"too short", Bytes(good.begin(), good.begin() + 20), "Exif data too short"},
      {"bare", Ascii("Exif"), "Incorrect Exif header"},
  };
  for (const auto& h : headers) {
    const ExifRead r = ReadExif(WithExif(h.body));
    EXPECT_TRUE(r.decoded) << h.name;
    EXPECT_FALSE(r.isExif) << h.name;
    EXPECT_EQ(r.error, h.error) << h.name;
  }
}

TEST(JpegSections, MarkersCommentsAndLimits) {
  TiffWriter w(false);
  Directory root;
  root.fields = {w.Ascii(0x0110, "M")};
  const Bytes exifSection = Section(0xE1, w.Exif(root));

  const auto split = [](const Bytes& jpeg, CExifInfo& info) {
    Bytes copy = jpeg;
    CMemoryStream stream(copy.data(), uint32_t(copy.size()));
    return info.ReadSections(&stream, CExifInfo::kReadExif);
  };

  // Fill bytes before a marker.
  Bytes filled = {0xFF, 0xFF};
  filled.insert(filled.end(), exifSection.begin(), exifSection.end());
  {
    CExifInfo info;
    EXPECT_TRUE(split(InsertAfterSoi(PlainJpeg(), filled), info)) << info.GetLastError();
    EXPECT_TRUE(info.GetRecord().isExif);
  }
  Bytes seven(6, 0xFF);
  seven.insert(seven.end(), exifSection.begin(), exifSection.end());
  {
    CExifInfo info;
    EXPECT_FALSE(split(InsertAfterSoi(PlainJpeg(), seven), info));
  }

  // 21 held sections before the scan.
  Bytes many;
  for (int i = 0; i < 21; ++i) {
    const Bytes s = Section(0xE2, Ascii("ICC"));
    many.insert(many.end(), s.begin(), s.end());
  }
  {
    CExifInfo info;
    EXPECT_FALSE(split(InsertAfterSoi(PlainJpeg(), many), info));
    EXPECT_STREQ(info.GetLastError(), "Too many sections in jpg file");
  }

  // Comments: the first is kept and read, printable bytes only; XMP is dropped.
  Bytes extra = Section(0xE1, Ascii("http://ns.adobe.com/xap/1.0/\0<x/>"));
  for (const Bytes& s : {Section(0xFE, Ascii("a\r\nb\x01" "c\td\re")), Section(0xFE, Ascii("second"))})
    extra.insert(extra.end(), s.begin(), s.end());
  {
    CExifInfo info;
    ASSERT_TRUE(split(InsertAfterSoi(PlainJpeg(), extra), info));
    EXPECT_STREQ(info.GetRecord().comment, "a\nb?c\td?e");
    const std::vector<int> types = SectionTypes(info);
    EXPECT_EQ(std::count(types.begin(), types.end(), 0xFE), 1);
    EXPECT_EQ(std::count(types.begin(), types.end(), 0xE1), 0);
    EXPECT_EQ(std::count(types.begin(), types.end(), 0xE0), 0);
    EXPECT_EQ(types.back(), 0xDA);
  }
  {
    CExifInfo info;
    ASSERT_TRUE(split(InsertAfterSoi(PlainJpeg(), Section(0xFE, Bytes(5000, 'z'))), info));
    EXPECT_EQ(std::string(info.GetRecord().comment), std::string(998, 'z'));
  }

  // Broken section lengths.
  for (const Bytes& bad : {Bytes{0xFF, 0xE3, 0x00, 0x01}, Bytes{0xFF, 0xE3, 0x40, 0x00, 1, 2, 3}}) {
    CExifInfo info;
    Bytes jpeg = {0xFF, 0xD8};
    jpeg.insert(jpeg.end(), bad.begin(), bad.end());
    EXPECT_FALSE(split(jpeg, info));
    EXPECT_NE(std::string(info.GetLastError()), "");
  }
}

TEST(JpegSections, RecordIsClearedForEachFile) {
  TiffWriter w(false);
  Directory root;
  root.fields = {w.Ascii(0x010F, "First"), w.Short(0x0112, 8)};
  CDibImageJPG image;
  ASSERT_TRUE(Decode(image, WithExif(w.Exif(root))));
  EXPECT_TRUE(image.GetExifRecord().isExif);
  ASSERT_TRUE(Decode(image, PlainJpeg()));
  EXPECT_FALSE(image.GetExifRecord().isExif);
  EXPECT_STREQ(image.GetExifRecord().cameraMake, "");
  EXPECT_EQ(image.GetExifRecord().orientation, 0);
}

// A stream that can be written but not read back, like a file opened "wb".
class WriteOnlyStream : public CMemoryStream {
 public:
  WriteOnlyStream() { Open(); }
  size_t Read(void*, size_t, size_t) override { return 0; }
  int GetC() override { return -1; }
};

TEST(JpegSections, ReencodingWritesTheExifBack) {
  TiffWriter w(true);
  Directory root;
  Bytes comment = Ascii("ASCII");
  comment.insert(comment.end(), {0, 0, 0});
  for (char c : std::string("kept as written    ")) comment.push_back(uint8_t(c));
  root.fields = {w.Ascii(0x010F, "Writer"), w.Undefined(0x9286, comment)};
  const Bytes exifSection = Section(0xE1, w.Exif(root));
  const Bytes commentSection = Section(0xFE, Ascii("a comment"));
  Bytes sections = exifSection;
  sections.insert(sections.end(), commentSection.begin(), commentSection.end());
  const Bytes original = InsertAfterSoi(PlainJpeg(), sections);

  CDibImageJPG image;
  ASSERT_TRUE(Decode(image, original));
  ASSERT_TRUE(image.GetExifRecord().isExif);
  CMemoryStream out;
  out.Open();
  ASSERT_TRUE(image.Encode(&out)) << image.GetLastError();
  const Bytes written = StreamBytes(out);

  // Start of image, the EXIF section as it was read (trailing spaces and
  // all), the comment, then libjpeg's tables; no JFIF section.
  ASSERT_GT(written.size(), 2 + sections.size());
  EXPECT_EQ(Bytes(written.begin() + 2, written.begin() + 2 + long(sections.size())), sections);
  EXPECT_EQ(FindMarker(written, 0xE0), std::string::npos);
  EXPECT_EQ(written[2 + sections.size()], 0xFF);
  EXPECT_EQ(written[3 + sections.size()], 0xDB);

  CDibImageJPG again;
  ASSERT_TRUE(Decode(again, written)) << again.GetLastError();
  EXPECT_STREQ(again.GetExifRecord().cameraMake, "Writer");
  // The comment section comes after the EXIF one, so its text is the comment.
  EXPECT_STREQ(again.GetExifRecord().comment, "a comment");
  EXPECT_EQ(again.GetWidth(), 24u);

  // Read back impossible: the file stays as libjpeg wrote it.
  WriteOnlyStream writeOnly;
  ASSERT_TRUE(image.Encode(&writeOnly));
  const Bytes plain = StreamBytes(writeOnly);
  ASSERT_GT(plain.size(), 4u);
  EXPECT_EQ(plain[3], 0xE0);
  // The reader still holds the EXIF data for the next try.
  CMemoryStream second;
  second.Open();
  ASSERT_TRUE(image.Encode(&second));
  EXPECT_EQ(StreamBytes(second), written);
}

}  // namespace
