// libjpeg error handling jumps back here with longjmp. The rules that keep
// that sound: the libjpeg objects live in a heap context made before setjmp
// (nothing local to the setjmp frame changes after it), buffers come from the
// context or libjpeg's own pools, and no frame between setjmp and a libjpeg
// call owns an object with a destructor.
#include "image/formats/JpegLibBridge.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include <jpeglib.h>
#include <jerror.h>

#include "image/streams/ByteStream.h"

namespace {

const size_t kBufferSize = 4096;
// Progressive files can repeat scans without end, each one a pass over the
// whole picture; no encoder needs more than a few dozen.
const int kMaxScans = 1000;
// Whole-image buffers (progressive coefficients, two-pass quantisation) above
// this fail instead of exhausting a 32-bit address space.
const long kMaxLibjpegMemory = 512L * 1024 * 1024;
// Smoothing factor (1-100) of option 0x40.
const int kSmoothingFactor = 10;

void CopyText(char* out, size_t size, const char* text) {
  if (!out || size == 0) return;
  std::strncpy(out, text, size - 1);
  out[size - 1] = '\0';
}

// One object is both destination and source manager.
struct CJpegStreamMgr {
  jpeg_destination_mgr dest;
  jpeg_source_mgr src;
  CByteStream* stream;
  JOCTET buffer[kBufferSize];
  bool startOfFile;
};

struct JpegErrorMgr {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char* text;
  size_t textSize;
};

struct DecodeContext {
  jpeg_decompress_struct cinfo;
  JpegErrorMgr err;
  jpeg_progress_mgr progress;
  CJpegStreamMgr io;
};

struct EncodeContext {
  jpeg_compress_struct cinfo;
  JpegErrorMgr err;
  CJpegStreamMgr io;
};

// ---- Errors ----

[[noreturn]] void Fail(j_common_ptr cinfo, const char* text) {
  JpegErrorMgr* err = reinterpret_cast<JpegErrorMgr*>(cinfo->err);
  CopyText(err->text, err->textSize, text);
  std::longjmp(err->jump, 1);
}

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  char message[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, message);
  Fail(cinfo, message);
}

// Warnings (a truncated file among them) are not shown anywhere.
void SilentOutput(j_common_ptr) {}

void InstallErrors(JpegErrorMgr& err, char* text, size_t textSize) {
  jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.output_message = SilentOutput;
  err.text = text;
  err.textSize = textSize;
}

void ScanLimit(j_common_ptr cinfo) {
  if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
    Fail(cinfo, "Too many scans in JPEG file");
}

// ---- Source manager ----

CJpegStreamMgr& Io(j_decompress_ptr cinfo) {
  return *static_cast<CJpegStreamMgr*>(cinfo->client_data);
}
CJpegStreamMgr& Io(j_compress_ptr cinfo) {
  return *static_cast<CJpegStreamMgr*>(cinfo->client_data);
}

void InitSource(j_decompress_ptr cinfo) {
  Io(cinfo).startOfFile = true;
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  CJpegStreamMgr& io = Io(cinfo);
  size_t got = io.stream->Read(io.buffer, 1, kBufferSize);
  if (got == 0) {
    if (io.startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    // A cut-off file ends here: what was decoded so far is kept.
    WARNMS(cinfo, JWRN_JPEG_EOF);
    io.buffer[0] = 0xFF;
    io.buffer[1] = JPEG_EOI;
    got = 2;
  }
  io.src.next_input_byte = io.buffer;
  io.src.bytes_in_buffer = got;
  io.startOfFile = false;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  CJpegStreamMgr& io = Io(cinfo);
  size_t n = static_cast<size_t>(count);
  while (n > io.src.bytes_in_buffer) {
    n -= io.src.bytes_in_buffer;
    FillInputBuffer(cinfo);
  }
  io.src.next_input_byte += n;
  io.src.bytes_in_buffer -= n;
}

void TermSource(j_decompress_ptr) {}

// ---- Destination manager ----

void InitDestination(j_compress_ptr cinfo) {
  CJpegStreamMgr& io = Io(cinfo);
  io.dest.next_output_byte = io.buffer;
  io.dest.free_in_buffer = kBufferSize;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  CJpegStreamMgr& io = Io(cinfo);
  if (io.stream->Write(io.buffer, 1, kBufferSize) != kBufferSize) ERREXIT(cinfo, JERR_FILE_WRITE);
  io.dest.next_output_byte = io.buffer;
  io.dest.free_in_buffer = kBufferSize;
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  CJpegStreamMgr& io = Io(cinfo);
  const size_t used = kBufferSize - io.dest.free_in_buffer;
  if (used > 0 && io.stream->Write(io.buffer, 1, used) != used) ERREXIT(cinfo, JERR_FILE_WRITE);
  if (!io.stream->Flush() || io.stream->Error() != 0) ERREXIT(cinfo, JERR_FILE_WRITE);
}

// ---- Decode ----

// Everything that may jump back to JpegLibDecode; it owns nothing.
bool RunDecode(DecodeContext& c, CByteStream* stream, const JpegDecodeRequest& request,
               CJpegDecodeTarget& target, JpegDecodeResult& result) {
  j_decompress_ptr cinfo = &c.cinfo;
  jpeg_create_decompress(cinfo);
  cinfo->client_data = &c.io;
  cinfo->mem->max_memory_to_use = kMaxLibjpegMemory;
  c.io.stream = stream;
  c.io.src.next_input_byte = nullptr;
  c.io.src.bytes_in_buffer = 0;
  c.io.src.init_source = InitSource;
  c.io.src.fill_input_buffer = FillInputBuffer;
  c.io.src.skip_input_data = SkipInputData;
  c.io.src.resync_to_restart = jpeg_resync_to_restart;
  c.io.src.term_source = TermSource;
  cinfo->src = &c.io.src;

  jpeg_read_header(cinfo, TRUE);

  const uint32_t options = request.options;
  if (options & jpegoption::kGreyDecode) cinfo->out_color_space = JCS_GRAYSCALE;
  if (options & jpegoption::kQuantise) {
    cinfo->quantize_colors = TRUE;
    cinfo->desired_number_of_colors = request.colours;
  }
  if (options & jpegoption::kDither) cinfo->dither_mode = JDITHER_ORDERED;
  if (options & jpegoption::kOnePass) cinfo->two_pass_quantize = FALSE;
  if (options & jpegoption::kNoSmoothing) cinfo->do_fancy_upsampling = FALSE;
  cinfo->scale_num = 1;
  cinfo->scale_denom = static_cast<unsigned int>(request.scaleDenominator);
  // libjpeg has no CMYK colour map to give; such files stay true colour.
  if (cinfo->quantize_colors && cinfo->out_color_space == JCS_CMYK) cinfo->quantize_colors = FALSE;
  // True-colour rows are stored blue, green, red: libjpeg writes them so.
  if (!cinfo->quantize_colors && cinfo->out_color_space == JCS_RGB) cinfo->out_color_space = JCS_EXT_BGR;

  jpeg_calc_output_dimensions(cinfo);
  result.width = cinfo->output_width;
  result.height = cinfo->output_height;
  result.densityUnit = cinfo->density_unit;
  result.xDensity = cinfo->X_density;
  result.yDensity = cinfo->Y_density;
  if (request.dimensionsOnly) return true;

  const int components = cinfo->output_components;
  if (components != 1 && components != 3 && components != 4)
    Fail(reinterpret_cast<j_common_ptr>(cinfo), "Unsupported number of JPEG colour components");
  // Made before decompression starts, so a picture over the size limit
  // costs nothing but its header.
  if (!target.CreateImage(cinfo->output_width, cinfo->output_height, components == 1 ? 8 : 24)) return false;

  c.progress.progress_monitor = ScanLimit;
  cinfo->progress = &c.progress;
  jpeg_start_decompress(cinfo);

  if (cinfo->quantize_colors) {
    const int tables = cinfo->out_color_components;
    target.SetPalette(cinfo->actual_number_of_colors, cinfo->colormap[0], tables > 1 ? cinfo->colormap[1] : nullptr,
                      tables > 2 ? cinfo->colormap[2] : nullptr);
  } else if (components == 1) {
    // One channel is grey whether or not grey output was asked for.
    target.SetGreyPalette();
  }

  JSAMPROW cmyk = nullptr;
  if (components == 4)
    cmyk = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                       cinfo->output_width * 4, 1)[0];
  while (cinfo->output_scanline < cinfo->output_height) {
    if (target.Cancelled()) Fail(reinterpret_cast<j_common_ptr>(cinfo), "Cancelled");
    uint8_t* row = target.TopDownRow(cinfo->output_scanline);
    JSAMPROW line = cmyk ? cmyk : row;
    if (jpeg_read_scanlines(cinfo, &line, 1) != 1)
      Fail(reinterpret_cast<j_common_ptr>(cinfo), "Premature end of JPEG file");
    if (cmyk) {
      // Inverted CMYK as Adobe writes it: each channel scaled by K.
      const JSAMPLE* in = cmyk;
      for (JDIMENSION x = 0; x < cinfo->output_width; ++x, in += 4, row += 3) {
        const unsigned k = in[3];
        row[0] = static_cast<uint8_t>(k * in[2] / 255);
        row[1] = static_cast<uint8_t>(k * in[1] / 255);
        row[2] = static_cast<uint8_t>(k * in[0] / 255);
      }
    }
  }
  jpeg_finish_decompress(cinfo);
  return true;
}

// ---- Encode ----

void RunEncode(EncodeContext& c, CByteStream* stream, const JpegEncodeRequest& request) {
  j_compress_ptr cinfo = &c.cinfo;
  jpeg_create_compress(cinfo);
  cinfo->client_data = &c.io;
  c.io.stream = stream;
  c.io.dest.init_destination = InitDestination;
  c.io.dest.empty_output_buffer = EmptyOutputBuffer;
  c.io.dest.term_destination = TermDestination;
  cinfo->dest = &c.io.dest;

  cinfo->image_width = request.width;
  cinfo->image_height = request.height;
  cinfo->input_components = request.grey ? 1 : 3;
  cinfo->in_color_space = request.grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
  jpeg_set_defaults(cinfo);

  const uint32_t options = request.options;
  if (options & jpegoption::kArithmetic) cinfo->arith_code = TRUE;
  // Arithmetic coding adapts its own statistics; libjpeg refuses optimised
  // Huffman tables beside it.
  if ((options & jpegoption::kOptimise) && !cinfo->arith_code) cinfo->optimize_coding = TRUE;
  if (options & jpegoption::kGreyEncode) jpeg_set_colorspace(cinfo, JCS_GRAYSCALE);
  if (options & jpegoption::kSmoothing) cinfo->smoothing_factor = kSmoothingFactor;
  jpeg_set_quality(cinfo, request.quality, (options & jpegoption::kBaseline) ? TRUE : FALSE);
  if (options & jpegoption::kProgressive) jpeg_simple_progression(cinfo);

  // Chroma subsampling; a grey file has nothing to subsample.
  if (cinfo->num_components == 3) {
    int h = 2, v = 2;
    if (options & jpegoption::kSampling444) h = v = 1;
    else if (options & jpegoption::kSampling422) v = 1;
    cinfo->comp_info[0].h_samp_factor = h;
    cinfo->comp_info[0].v_samp_factor = v;
    for (int i = 1; i < 3; ++i) cinfo->comp_info[i].h_samp_factor = cinfo->comp_info[i].v_samp_factor = 1;
  }

  cinfo->density_unit = 1;
  cinfo->X_density = request.xDensity;
  cinfo->Y_density = request.yDensity;

  jpeg_start_compress(cinfo, TRUE);
  while (cinfo->next_scanline < cinfo->image_height) {
    const size_t fromBottom = request.height - 1 - cinfo->next_scanline;
    // libjpeg only reads the rows it is given.
    JSAMPROW row = const_cast<JSAMPROW>(request.bottomRow + fromBottom * request.stride);
    jpeg_write_scanlines(cinfo, &row, 1);
  }
  jpeg_finish_compress(cinfo);
}

}  // namespace

bool JpegLibDecode(CByteStream* stream, const JpegDecodeRequest& request, CJpegDecodeTarget& target,
                   JpegDecodeResult& result, char* error, size_t errorSize) {
  std::unique_ptr<DecodeContext> context(new (std::nothrow) DecodeContext());
  if (!context) {
    CopyText(error, errorSize, "Insufficient memory");
    return false;
  }
  DecodeContext* const c = context.get();
  c->cinfo.err = &c->err.pub;
  InstallErrors(c->err, error, errorSize);
  if (setjmp(c->err.jump)) {
    jpeg_destroy_decompress(&c->cinfo);
    return false;
  }
  const bool decoded = RunDecode(*c, stream, request, target, result);
  jpeg_destroy_decompress(&c->cinfo);
  return decoded;
}

bool JpegLibEncode(CByteStream* stream, const JpegEncodeRequest& request, char* error, size_t errorSize) {
  std::unique_ptr<EncodeContext> context(new (std::nothrow) EncodeContext());
  if (!context) {
    CopyText(error, errorSize, "Insufficient memory");
    return false;
  }
  EncodeContext* const c = context.get();
  c->cinfo.err = &c->err.pub;
  InstallErrors(c->err, error, errorSize);
  if (setjmp(c->err.jump)) {
    jpeg_destroy_compress(&c->cinfo);
    return false;
  }
  RunEncode(*c, stream, request);
  jpeg_destroy_compress(&c->cinfo);
  return true;
}
