// TIFF through libtiff, over the image library's streams: one page is read
// (grey, palette, RGB, CMYK, YCbCr, LogLuv and CIE L*a*b*, strips or tiles);
// single pages, or several pages in one file, are written.
#pragma once

#include <memory>

#include "image/DibImage.h"

typedef struct tiff TIFF;
struct TiffClient;

class CDibImageTIF : public CDibImage {
 public:
  CDibImageTIF();
  // Finishes a multi-page file that is still open.
  ~CDibImageTIF() override;

  // Reads the page numbered by the frame to load; the frame count becomes the
  // number of pages.
  bool Decode(CByteStream* stream);
  // append false writes this image and ends the file. append true adds it as
  // the next page and keeps the file open; the last page is written with
  // append false. All pages go to the stream of the first call, which must be
  // readable as well as writable for a second page to be linked in.
  bool Encode(CByteStream* stream, bool append = false);
  // A format id must never pass for the append flag.
  bool Encode(CByteStream* stream, DWORD formatId) = delete;
  // Tags and rows of one directory.
  bool EncodeBody(TIFF* tif, bool multiPage, int page, int pageCount);

 private:
  bool DecodeRgba(TIFF* tif);
  bool DecodeSamples(TIFF* tif);
  // Ends a failed write without flushing half a directory.
  void AbandonWriter();

  TIFF* m_writer = nullptr;  // open between the calls of a multi-page write
  std::unique_ptr<TiffClient> m_writerClient;
  bool m_multiPage = false;
  int m_page = 0;
};
