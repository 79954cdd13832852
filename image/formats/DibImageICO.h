// Windows icons and cursors: one entry of a file is read (classic DIB with
// its AND mask, 32-bit with alpha, or PNG-compressed); single-image icons
// are written, PNG-compressed above 255 pixels. ".cur" names get the same
// icon-type file.
#pragma once

#include "image/DibImage.h"

class CDibImageICO : public CDibImage {
 public:
  CDibImageICO() : CDibImage(kFormatIco) {}
  ~CDibImageICO() override = default;

  // Reads the entry numbered by the frame to load; the frame count becomes
  // the file's entry count.
  bool Decode(CByteStream* stream);
  // append false, pageCount 0: a complete one-image file. A writer of
  // multi-image files calls it once with append false and the entry count
  // (header only), then per image with append true and pageCount equal to
  // the image's frame count (its directory entry), then per image with
  // pageCount below the frame count (its data).
  bool Encode(CByteStream* stream, bool append = false, int pageCount = 0);
  // A format id must never pass for the append flag.
  bool Encode(CByteStream* stream, DWORD formatId) = delete;

 private:
  struct EntryPlan;
  bool PlanEntry(EntryPlan& plan);
  bool WriteEntry(CByteStream* stream, const EntryPlan& plan);
  bool WriteData(CByteStream* stream, const EntryPlan& plan);
  // Classic entries: turns the AND mask into transparency; false when the
  // alpha plane it needs cannot be made.
  bool ApplyMask(const BYTE* mask, DWORD maskRow);

  DWORD m_nextImageOffset = 0;  // running data offset of a multi-image write
};
