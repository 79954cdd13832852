// GIF files: GIF89a writing of single paletted images, true-colour images
// (as tiles that each carry their own palette) and animations; GIF87a/89a
// reading of one frame, composited over the frames before it.
#pragma once

#include "image/DibImage.h"

class CDibImageGIF : public CDibImage {
 public:
  // GIF codec-option words (SetCodecOption with kFormatGif).
  enum Compression : DWORD { kCompressLzw = 0, kCompressNone = 1, kCompressRle = 2 };

  CDibImageGIF();
  ~CDibImageGIF() override = default;

  // Loop count of the animated writer: 0 (or less) repeats forever, 1 plays
  // once, n plays n times. The reader reports the value stored in the file.
  void SetLoops(int loops) { m_loops = loops; }
  int GetLoops() const { return m_loops; }
  // At most 255 characters are kept; null is ignored.
  void SetComment(const char* text);
  const char* GetComment() const { return m_comment; }

  // Writes this image: a paletted image as is, a true-colour one as tiles.
  bool Encode(CByteStream* stream);
  // Writes `count` paletted frames as one animation. With `localColourMap`
  // every frame after the first carries its own colour table (a frame whose
  // palette differs from the first frame's always does); with
  // `localDisposal` each frame's own disposal method is written instead of
  // this object's.
  bool Encode(CByteStream* stream, CDibImage* const* frames, int count, bool localColourMap = false,
              bool localDisposal = false);

  // Reads the frame chosen by the frame-to-load setting, drawn over the
  // frames before it, as an image of the file's logical screen size.
  bool Decode(CByteStream* stream);

 private:
  // The four payload bytes of a graphic control block.
  struct GraphicControl {
    BYTE flags;
    WORD delay;
    BYTE transIndex;
  };

  // Where and how a frame is shown; read through a view of the frame, since
  // the settings record of another image is not open to this class.
  struct FrameSettings {
    int32_t left;
    int32_t top;
    DWORD delay;
    BYTE disposal;
  };
  static FrameSettings SettingsOf(const CDibImage& frame);

  class Reader;
  friend class Reader;

  bool EncodeTrueColour(CByteStream* stream);
  bool DecodeFile(CByteStream* stream);

  GraphicControl m_control;
  char m_comment[256];
  int m_loops;
};
