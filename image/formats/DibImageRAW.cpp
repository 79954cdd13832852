#include "image/formats/DibImageRAW.h"

#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "image/streams/ByteStream.h"
#include "rawdec.h"

namespace {

const char kFileName[] = "CDibImageRAW";
const char kNotRaw[] = "CDibImageRAW: not a raw image";
const char kNoLoader[] = "CDibImageRAW: missing raw decoder";

// ---- Stream operations over a CByteStream ----

CDibImageRAW::StreamView* View(void* s) {
  return static_cast<CDibImageRAW::StreamView*>(s);
}

size_t StreamRead(void* s, void* buffer, size_t size, size_t count) {
  return View(s)->stream->Read(buffer, size, count);
}
size_t StreamWrite(void* s, const void* buffer, size_t size, size_t count) {
  return View(s)->stream->Write(buffer, size, count);
}
// Offsets in the file are relative to where it starts in the stream; a
// position before that start or beyond 32 bits fails instead of wrapping.
int StreamSeek(void* s, int64_t offset, int origin) {
  CDibImageRAW::StreamView* view = View(s);
  int64_t base;
  switch (origin) {
    case SEEK_SET: base = view->base; break;
    case SEEK_CUR: base = view->stream->Tell(); break;
    case SEEK_END: base = view->stream->Size(); break;
    default: return 0;
  }
  if (base < 0 || offset > INT32_MAX || offset < INT32_MIN) return 0;
  const int64_t target = base + offset;
  if (target < view->base || target > INT32_MAX) return 0;
  return view->stream->Seek(static_cast<int32_t>(target), CByteStream::kFromStart) ? 1 : 0;
}
// The stream belongs to the caller.
int StreamClose(void*) {
  return 1;
}
char* StreamGets(void* s, char* buffer, int capacity) {
  return View(s)->stream->GetS(buffer, capacity);
}
int StreamEof(void* s) {
  return View(s)->stream->Eof() ? 1 : 0;
}
int64_t StreamTell(void* s) {
  const int32_t position = View(s)->stream->Tell();
  return position < 0 ? -1 : static_cast<int64_t>(position) - View(s)->base;
}
int StreamGetc(void* s) {
  return View(s)->stream->GetC();
}
int StreamScanf(void* s, const char* format, void* out) {
  return View(s)->stream->Scanf(format, out);
}

// ---- Development ----

// The decoder context and the 8-bit table are too large for a thread's stack.
struct Work {
  rawdec_context context;
  rawdec_stream_ops ops;
  uint8_t lut[0x10000];
};

struct Size2 {
  int64_t width, height;
};

// Size of the developed picture: stretched to square pixels as
// rawdec_stretch will, then turned by the flip.
Size2 OutputSize(const rawdec_context* ctx) {
  int64_t width = ctx->width, height = ctx->height;
  const double aspect = ctx->pixel_aspect;
  if (ctx->use_fuji_rotate && aspect != 1 && aspect > 0) {
    const double stretched = aspect < 1 ? height / aspect : width * aspect;
    if (stretched + 0.5 <= 65535) (aspect < 1 ? height : width) = static_cast<int64_t>(stretched + 0.5);
  }
  if (ctx->flip & RAWDEC_FLIP_TRANSPOSE) return Size2{height, width};
  return Size2{width, height};
}

enum class Outcome { kNotRaw, kNoLoader, kTooLarge, kSizeOnly, kDeveloped };

// Everything that may jump back to the context's failure point runs here,
// with nothing in this frame a jump could skip the destruction of.
Outcome Develop(rawdec_context* ctx, uint8_t* lut, bool sizeOnly) {
  rawdec_identify(ctx);
  if (!ctx->is_raw || !ctx->width || !ctx->height) return Outcome::kNotRaw;
  if (!ctx->load_raw) return Outcome::kNoLoader;
  const Size2 output = OutputSize(ctx);
  if (sizeOnly) return Outcome::kSizeOnly;
  // The limit CDibImage::Create applies, checked before the decoder's buffers
  // (8 bytes a pixel) are allocated and filled for nothing.
  if (static_cast<uint64_t>(output.width) * static_cast<uint64_t>(output.height) * 24 > 2147483648u)
    return Outcome::kTooLarge;

  ctx->shrink = static_cast<uint16_t>(ctx->filters && (ctx->half_size || ctx->threshold != 0 ||
                                                       ctx->aber[0] != 1 || ctx->aber[2] != 1));
  ctx->iheight = static_cast<uint16_t>((ctx->height + ctx->shrink) >> ctx->shrink);
  ctx->iwidth = static_cast<uint16_t>((ctx->width + ctx->shrink) >> ctx->shrink);
  if (ctx->use_camera_matrix && ctx->cmatrix[0][0] > 0.25f) {
    std::memcpy(ctx->rgb_cam, ctx->cmatrix, sizeof ctx->cmatrix);
    ctx->raw_color = 0;
  }

  ctx->image = static_cast<uint16_t(*)[4]>(
      std::calloc(static_cast<size_t>(ctx->iheight) * ctx->iwidth, sizeof *ctx->image));
  rawdec_merror(ctx, ctx->image, kFileName);
  if (ctx->meta_length) {
    ctx->meta_data = static_cast<char*>(std::calloc(ctx->meta_length, 1));
    rawdec_merror(ctx, ctx->meta_data, kFileName);
  }
  ctx->ops->seek(ctx->stream, ctx->data_offset, SEEK_SET);
  ctx->load_raw(ctx);

  if (ctx->zero_is_bad) rawdec_remove_zeroes(ctx);
  rawdec_bad_pixels(ctx);
  if (ctx->dark_frame) rawdec_subtract(ctx, ctx->dark_frame);
  ctx->quality = 2 + !ctx->fuji_width;
  if (ctx->user_qual >= 0) ctx->quality = ctx->user_qual;
  if (ctx->user_black >= 0) ctx->black = static_cast<unsigned>(ctx->user_black);
  if (!ctx->is_foveon && ctx->document_mode < 2) rawdec_scale_colors(ctx);
  rawdec_pre_interpolate(ctx);
  if (ctx->filters && !ctx->document_mode) {
    if (ctx->quality == 0) rawdec_lin_interpolate(ctx);
    else if (ctx->quality == 1 || ctx->colors > 3) rawdec_vng_interpolate(ctx);
    else if (ctx->quality == 2) rawdec_ppg_interpolate(ctx);
    else rawdec_ahd_interpolate(ctx);
  }
  if (ctx->mix_green) {
    ctx->colors = 3;
    const size_t pixels = static_cast<size_t>(ctx->iheight) * ctx->iwidth;
    for (size_t i = 0; i < pixels; ++i)
      ctx->image[i][1] = static_cast<uint16_t>((ctx->image[i][1] + ctx->image[i][3]) >> 1);
  }
  if (!ctx->is_foveon) {
    if (ctx->colors == 3) rawdec_median_filter(ctx);
    if (ctx->highlight == 2) rawdec_blend_highlights(ctx);
    if (ctx->highlight > 2) rawdec_recover_highlights(ctx);
  }
  if (ctx->use_fuji_rotate) rawdec_fuji_rotate(ctx);
  rawdec_convert_to_rgb(ctx);
  if (ctx->use_fuji_rotate) rawdec_stretch(ctx);
  rawdec_gamma_lut(ctx, lut);
  return Outcome::kDeveloped;
}

}  // namespace

void CDibImageRAW::InstallStreamOps(rawdec_stream_ops* table, StreamView* view, rawdec_context* context) {
  table->read = StreamRead;
  table->write = StreamWrite;
  table->seek = StreamSeek;
  table->close = StreamClose;
  table->gets = StreamGets;
  table->eof = StreamEof;
  table->tell = StreamTell;
  table->getc = StreamGetc;
  table->scanf = StreamScanf;
  context->stream = view;
  context->ops = table;
}

bool CDibImageRAW::Decode(CByteStream* stream) {
  if (!stream) return false;
  const int32_t start = stream->Tell();
  if (start < 0) {
    SetLastErrorText(kNotRaw);
    return false;
  }
  const std::unique_ptr<Work> work(new (std::nothrow) Work);
  if (!work) {
    SetLastErrorText("CDibImageRAW: Out of memory in CDibImageRAW");
    return false;
  }
  rawdec_context* const ctx = &work->context;
  rawdec_init(ctx);
  ctx->user_qual = static_cast<int>(GetCodecOption(kFormatRaw) & 3);
  ctx->ifname = kFileName;
  ctx->message = m_info.lastError;
  ctx->message_capacity = sizeof m_info.lastError;
  if (rawdec_parse_options(ctx, 0, nullptr, nullptr) != 0) {
    SetLastErrorText("CDibImageRAW: unknown option");
    return false;
  }
  StreamView view{stream, start};
  InstallStreamOps(&work->ops, &view, ctx);
  const bool sizeOnly = m_info.escape == -1;

  // The decoder comes back here when memory runs out, its message already
  // written into the last-error text.
  if (setjmp(ctx->failure) != 0) {
    rawdec_cleanup(ctx);
    return false;
  }
  const Outcome outcome = Develop(ctx, work->lut, sizeOnly);

  bool decoded = false;
  switch (outcome) {
    case Outcome::kNotRaw:
      SetLastErrorText(kNotRaw);
      break;
    case Outcome::kNoLoader:
      SetLastErrorText(kNoLoader);
      break;
    case Outcome::kTooLarge:
      SetLastErrorText("DIBIMAGE_MAX_MEMORY exceeded");
      break;
    case Outcome::kSizeOnly: {
      // The size the decode would deliver, turned and stretched.
      const Size2 output = OutputSize(ctx);
      m_header.biWidth = static_cast<LONG>(output.width);
      m_header.biHeight = static_cast<LONG>(output.height);
      m_info.formatId = kFormatRaw;
      SetLastErrorText("output dimensions returned");
      decoded = true;
      break;
    }
    case Outcome::kDeveloped: {
      // The image buffer holds iheight x iwidth pixels; rows and columns
      // follow the flip, in steps that may be negative.
      const bool transpose = (ctx->flip & RAWDEC_FLIP_TRANSPOSE) != 0;
      const int32_t width = transpose ? ctx->iheight : ctx->iwidth;
      const int32_t height = transpose ? ctx->iwidth : ctx->iheight;
      if (!Create(width, height, 24, kFormatRaw)) break;
      const int64_t first = rawdec_flip_index(ctx, 0, 0);
      const int64_t columnStep = rawdec_flip_index(ctx, 0, 1) - first;
      const int64_t rowStep = rawdec_flip_index(ctx, 1, 0) - rawdec_flip_index(ctx, 0, width);
      const uint8_t* lut = work->lut;
      int64_t at = first;
      for (int32_t row = 0; row < height; ++row, at += rowStep) {
        BYTE* out = GetBits(0) + static_cast<size_t>(height - 1 - row) * GetEffWidth();
        for (int32_t column = 0; column < width; ++column, at += columnStep) {
          const uint16_t* pixel = ctx->image[at];
          out[0] = lut[pixel[2]];
          out[1] = lut[pixel[1]];
          out[2] = lut[pixel[0]];
          out += 3;
        }
      }
      decoded = true;
      break;
    }
  }
  rawdec_cleanup(ctx);
  return decoded;
}

bool CDibImageRAW::Encode(CByteStream* stream) {
  if (stream) SetLastErrorText("Save RAW not supported");
  return false;
}
