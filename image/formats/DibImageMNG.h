// MNG and JNG through libmng: one frame of an animation is read by letting
// libmng display into our canvas; a true-colour image is written as a
// single-image MNG whose pixel data we deflate ourselves.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "image/DibImage.h"

// libmng's handle type, without its header.
struct mng_data_struct;
typedef struct mng_data_struct* mng_handle;

struct MngBlock;

// The file as libmng pulls it: chunks pass unchanged except LOOP counts,
// which are cut down so that no loop keeps libmng busy for ever.
struct MngInput {
  int phase = 0;  // 0 before the signature, 1 in MNG chunks, 2 passing anything else straight
  std::vector<BYTE> pending;  // a chunk header, or a small chunk looked at whole
  size_t pendingAt = 0;
  uint64_t passThrough = 0;  // bytes to copy straight from the stream
  std::vector<std::pair<BYTE, uint32_t>> loops;  // open LOOP levels and their granted counts
  uint64_t loopIterations = 0;  // granted so far, nested loops multiplied out
  bool hasBackground = false;  // a BACK chunk went by
  RGBQUAD background{};
};

// What libmng's callbacks see of the codec, handed over as libmng's user data.
struct MngRecord {
  CByteStream* stream = nullptr;
  MngInput input;
  // Canvas rows (red, green, blue) and alpha rows, bottom-up like the DIB.
  std::vector<BYTE> canvas;
  std::vector<BYTE> alpha;
  std::vector<BYTE> spare;  // one row for lines outside the canvas
  uint64_t work = 0;        // what libmng has painted and allocated, weighted
  bool budgeted = false;    // whether that work is limited (while decoding)
  MngBlock* blocks = nullptr;  // what libmng holds, freed with the handle
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t rowBytes = 0;
  int16_t bitsPerPixel = 24;
  bool canvasRefused = false;  // the header asked for a canvas we do not allocate
  // libmng waits are not slept through: a virtual clock advances by each
  // requested delay, so the picture never depends on the machine's speed.
  uint32_t clock = 0;
  uint32_t frameDelay = 0;  // milliseconds of the last wait
  bool animation = false;
  char message[DIBIMAGE_ERROR_SIZE] = {};  // libmng's first error text
};

class CDibImageMNG : public CDibImage {
 public:
  CDibImageMNG();
  ~CDibImageMNG() override;

  // Reads the frame numbered by the frame to load; the frame count becomes
  // the number of frames the animation shows.
  bool Decode(CByteStream* stream);
  // True-colour images only.
  bool Encode(CByteStream* stream);

 private:
  bool InstallCallbacks(mng_handle handle);
  // Ends libmng's work, and frees what it left behind.
  void ReleaseHandle();
  bool WriteImageChunks(mng_handle handle);
  // Copies the canvas into a new 24-bit image with its alpha plane.
  void TakeCanvas(const std::vector<BYTE>& canvas, const std::vector<BYTE>& alpha);
  void Fail(const char* fallback);

  mng_handle m_handle = nullptr;
  MngRecord m_record;
};
