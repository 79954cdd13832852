#include "image/formats/DibImageMNG.h"

#include <libmng.h>
#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "image/streams/ByteStream.h"

namespace {

const char kInitFailed[] = "could not initialize libmng";
const char kBadFile[] = "Error in MNG file";
const char kNoFrame[] = "Error: frame not present in MNG file";
const char kCantCreate[] = "CDibImageMNG::Decode cannot create image";
const char kOnlyRgb[] = "MNG encoder can save only RGB images";
const char kNoMemory[] = "could not allocate memory for MNG";
const char kCompressFailed[] = "could not compress MNG image data";
const char kWriteFailed[] = "could not write MNG file";
const char kTooLong[] = "MNG animation too long to display";

// Display stops an animation may make before we stop looking: a loop that
// never ends while the file is still being read must not hold the caller.
const uint32_t kMaxDisplayStops = 100000;
// Work libmng may do in one decode, counted in canvas pixels painted plus a
// charge for every row and every allocation. A loop without delays never
// comes back from libmng; past this budget its allocations fail, which ends it.
const uint64_t kMaxWork = uint64_t{1} << 28;
const uint64_t kRowCharge = 256;
const uint64_t kAllocationCharge = 4096;
const uint64_t kRepeatCharge = 65536;  // each repeat of a TERM loop
// LOOP iterations granted in one file, nested loops multiplied out.
const uint64_t kMaxLoopIterations = 100000;

const uint8_t kMngSignature[8] = {0x8A, 'M', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

MngRecord& RecordOf(mng_handle handle) {
  return *static_cast<MngRecord*>(mng_get_userdata(handle));
}

bool OverBudget(const MngRecord& record) {
  return record.work > kMaxWork;
}

// ---- Memory ----

// The record libmng works for on this thread: its allocator gets no handle.
thread_local MngRecord* t_current = nullptr;

class CLibmngScope {
 public:
  explicit CLibmngScope(MngRecord& record) : m_previous(t_current) { t_current = &record; }
  ~CLibmngScope() { t_current = m_previous; }
  CLibmngScope(const CLibmngScope&) = delete;
  CLibmngScope& operator=(const CLibmngScope&) = delete;

 private:
  MngRecord* m_previous;
};

}  // namespace

// Every block libmng takes is linked to the record it works for, so what its
// error paths forget is freed together with the handle.
struct alignas(std::max_align_t) MngBlock {
  MngBlock* previous;
  MngBlock* next;
  MngRecord* owner;
};

namespace {

mng_ptr MNG_DECL Allocate(mng_size_t length) {
  MngRecord* owner = t_current;
  if (owner && owner->budgeted) {
    if (OverBudget(*owner)) return MNG_NULL;
    owner->work += kAllocationCharge;
  }
  if (length > SIZE_MAX - sizeof(MngBlock)) return MNG_NULL;
  auto* block = static_cast<MngBlock*>(std::calloc(1, sizeof(MngBlock) + length));
  if (!block) return MNG_NULL;
  block->owner = owner;
  if (owner) {
    block->next = owner->blocks;
    if (owner->blocks) owner->blocks->previous = block;
    owner->blocks = block;
  }
  return block + 1;
}

void MNG_DECL Release(mng_ptr pointer, mng_size_t) {
  if (!pointer) return;
  MngBlock* block = static_cast<MngBlock*>(pointer) - 1;
  if (MngRecord* owner = block->owner) {
    if (block->previous) block->previous->next = block->next;
    else owner->blocks = block->next;
    if (block->next) block->next->previous = block->previous;
  }
  std::free(block);
}

// Only notes the text: libmng cleans up after itself, and the handle stays
// ours until the destructor.
mng_bool MNG_DECL OnError(mng_handle handle, mng_int32, mng_int8, mng_chunkid, mng_uint32, mng_int32, mng_int32,
                          mng_pchar text) {
  MngRecord& record = RecordOf(handle);
  if (!record.message[0] && text && *text) std::snprintf(record.message, sizeof record.message, "%s", text);
  return MNG_FALSE;
}

mng_bool MNG_DECL OpenStream(mng_handle) {
  return MNG_TRUE;
}

mng_bool MNG_DECL CloseStream(mng_handle) {
  return MNG_TRUE;
}

uint32_t Be32(const BYTE* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

void PutBe32(BYTE* p, uint32_t v) {
  p[0] = BYTE(v >> 24);
  p[1] = BYTE(v >> 16);
  p[2] = BYTE(v >> 8);
  p[3] = BYTE(v);
}

// A LOOP chunk gets at most what is left of the file's iterations, shared
// out over the loops it sits in.
void LimitLoop(MngInput& input, BYTE* data, uint32_t length) {
  const BYTE level = data[0];
  const uint32_t count = Be32(data + 1);
  while (!input.loops.empty() && input.loops.back().first >= level) input.loops.pop_back();
  uint64_t enclosing = 1;
  for (const auto& loop : input.loops) enclosing *= loop.second;
  const uint64_t left = input.loopIterations < kMaxLoopIterations ? kMaxLoopIterations - input.loopIterations : 0;
  uint64_t granted = count;
  if (granted > left / enclosing) granted = left / enclosing > 0 ? left / enclosing : 1;
  input.loopIterations += enclosing * granted;
  input.loops.emplace_back(level, granted > 0 ? static_cast<uint32_t>(granted) : 1);
  if (granted == count) return;
  PutBe32(data + 1, static_cast<uint32_t>(granted));
  // The bounds of an open-ended loop, when given, are cut the same way.
  for (uint32_t at : {6u, 10u})
    if (length >= at + 4 && Be32(data + at) > granted) PutBe32(data + at, static_cast<uint32_t>(granted));
}

// Looks at a small chunk before libmng does: notes the background, follows
// the loop nesting, cuts LOOP counts. A chunk whose CRC fails is left for
// libmng to reject.
void InspectChunk(MngInput& input, BYTE* chunk, uint32_t length) {
  BYTE* data = chunk + 8;
  const uint32_t crc = static_cast<uint32_t>(crc32(0, chunk + 4, 4 + length));
  if (crc != Be32(data + length)) return;
  if (std::memcmp(chunk + 4, "BACK", 4) == 0 && length >= 6) {
    input.hasBackground = true;
    input.background = RGBQUAD{data[4], data[2], data[0], 0};  // the high bytes of the 16-bit samples
  } else if (std::memcmp(chunk + 4, "ENDL", 4) == 0 && length >= 1) {
    while (!input.loops.empty() && input.loops.back().first >= data[0]) input.loops.pop_back();
  } else if (std::memcmp(chunk + 4, "LOOP", 4) == 0 && length >= 5) {
    LimitLoop(input, data, length);
    PutBe32(data + length, static_cast<uint32_t>(crc32(0, chunk + 4, 4 + length)));
  }
}

// Brings in the next piece of the file: the signature, a chunk header
// whose body then passes straight through, or a small chunk to look at.
// False at the end of the stream.
bool FetchInput(MngRecord& record) {
  MngInput& input = record.input;
  CByteStream& stream = *record.stream;
  input.pending.assign(8, 0);
  input.pendingAt = 0;
  const size_t got = stream.Read(input.pending.data(), 1, 8);
  input.pending.resize(got);
  if (input.phase == 0) {
    input.phase = got == 8 && std::memcmp(input.pending.data(), kMngSignature, 8) == 0 ? 1 : 2;
    return got > 0;
  }
  if (got < 8) return got > 0;
  const uint32_t length = Be32(input.pending.data());
  const char* type = reinterpret_cast<const char*>(&input.pending[4]);
  const bool small = length <= 1024;
  if (!small || (std::memcmp(type, "LOOP", 4) != 0 && std::memcmp(type, "ENDL", 4) != 0 &&
                 std::memcmp(type, "BACK", 4) != 0)) {
    input.passThrough = uint64_t{length} + 4;
    return true;
  }
  input.pending.resize(8 + length + 4);
  const size_t body = stream.Read(&input.pending[8], 1, length + 4);
  input.pending.resize(8 + body);
  if (body == length + 4) InspectChunk(input, input.pending.data(), length);
  return true;
}

mng_bool MNG_DECL ReadData(mng_handle handle, mng_ptr buffer, mng_uint32 length, mng_uint32p read) {
  MngRecord& record = RecordOf(handle);
  MngInput& input = record.input;
  BYTE* out = static_cast<BYTE*>(buffer);
  mng_uint32 done = 0;
  while (done < length) {
    if (input.pendingAt < input.pending.size()) {
      const size_t n = std::min<size_t>(input.pending.size() - input.pendingAt, length - done);
      std::memcpy(out + done, &input.pending[input.pendingAt], n);
      input.pendingAt += n;
      done += static_cast<mng_uint32>(n);
      continue;
    }
    if (input.phase == 2 || input.passThrough > 0) {
      uint64_t want = length - done;
      if (input.phase != 2 && want > input.passThrough) want = input.passThrough;
      const size_t got = record.stream->Read(out + done, 1, static_cast<size_t>(want));
      done += static_cast<mng_uint32>(got);
      if (input.phase != 2) input.passThrough -= got;
      if (got < want) break;
      continue;
    }
    if (!FetchInput(record)) break;
  }
  *read = done;
  return MNG_TRUE;
}

// Each repeat of a TERM loop is charged; past the budget libmng is told to stop.
mng_bool MNG_DECL ProcessMend(mng_handle handle, mng_uint32, mng_uint32) {
  MngRecord& record = RecordOf(handle);
  record.work += kRepeatCharge;
  return OverBudget(record) ? MNG_FALSE : MNG_TRUE;
}

mng_bool MNG_DECL WriteData(mng_handle handle, mng_ptr buffer, mng_uint32 length, mng_uint32p written) {
  *written = static_cast<mng_uint32>(RecordOf(handle).stream->Write(buffer, 1, length));
  return *written == length ? MNG_TRUE : MNG_FALSE;
}

// May come more than once (an embedded image after the MNG header): the
// canvas is made again each time.
mng_bool MNG_DECL ProcessHeader(mng_handle handle, mng_uint32 width, mng_uint32 height) {
  MngRecord& record = RecordOf(handle);
  const uint64_t rowBytes = ((static_cast<uint64_t>(width) * 24 + 31) / 32) * 4;
  if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX ||
      rowBytes * height > DIBIMAGE_MAX_MEMORY) {
    record.canvasRefused = true;
    return MNG_FALSE;
  }
  try {
    record.canvas.assign(static_cast<size_t>(rowBytes * height), 0);
    record.alpha.assign(static_cast<size_t>(width) * height, 0);
    record.spare.assign(static_cast<size_t>(rowBytes), 0);
  } catch (const std::bad_alloc&) {
    record.canvas.clear();
    record.alpha.clear();
    record.spare.clear();
    record.canvasRefused = true;
    return MNG_FALSE;
  }
  record.width = width;
  record.height = height;
  record.rowBytes = static_cast<uint32_t>(rowBytes);
  record.bitsPerPixel = 24;
  mng_set_canvasstyle(handle, MNG_CANVAS_RGB8_A8);
  return MNG_TRUE;
}

// libmng writes through the line it gets without checking it, and keeps to
// the canvas of its own header; a line outside ours lands in a spare row.
mng_ptr MNG_DECL GetCanvasLine(mng_handle handle, mng_uint32 line) {
  MngRecord& record = RecordOf(handle);
  record.work += record.width + kRowCharge;
  if (line >= record.height) return record.spare.data();
  return &record.canvas[static_cast<size_t>(record.height - 1 - line) * record.rowBytes];
}

mng_ptr MNG_DECL GetAlphaLine(mng_handle handle, mng_uint32 line) {
  MngRecord& record = RecordOf(handle);
  if (line >= record.height) return record.spare.data();
  return &record.alpha[static_cast<size_t>(record.height - 1 - line) * record.width];
}

mng_bool MNG_DECL Refresh(mng_handle, mng_uint32, mng_uint32, mng_uint32, mng_uint32) {
  return MNG_TRUE;
}

mng_uint32 MNG_DECL TickCount(mng_handle handle) {
  return RecordOf(handle).clock;
}

mng_bool MNG_DECL StartTimer(mng_handle handle, mng_uint32 milliseconds) {
  MngRecord& record = RecordOf(handle);
  record.frameDelay = milliseconds;
  record.clock += milliseconds;
  return MNG_TRUE;
}

}  // namespace

CDibImageMNG::CDibImageMNG() : CDibImage(kFormatMng) {}

CDibImageMNG::~CDibImageMNG() {
  ReleaseHandle();
}

void CDibImageMNG::ReleaseHandle() {
  if (m_handle) {
    const CLibmngScope scope(m_record);
    m_record.budgeted = false;
    mng_cleanup(&m_handle);
    m_handle = nullptr;
  }
  while (MngBlock* block = m_record.blocks) {
    m_record.blocks = block->next;
    std::free(block);
  }
}

bool CDibImageMNG::InstallCallbacks(mng_handle handle) {
  return mng_setcb_errorproc(handle, OnError) == MNG_NOERROR &&
         mng_setcb_openstream(handle, OpenStream) == MNG_NOERROR &&
         mng_setcb_closestream(handle, CloseStream) == MNG_NOERROR &&
         mng_setcb_readdata(handle, ReadData) == MNG_NOERROR &&
         mng_setcb_processmend(handle, ProcessMend) == MNG_NOERROR &&
         mng_setcb_processheader(handle, ProcessHeader) == MNG_NOERROR &&
         mng_setcb_getcanvasline(handle, GetCanvasLine) == MNG_NOERROR &&
         mng_setcb_refresh(handle, Refresh) == MNG_NOERROR &&
         mng_setcb_gettickcount(handle, TickCount) == MNG_NOERROR &&
         mng_setcb_settimer(handle, StartTimer) == MNG_NOERROR &&
         mng_setcb_getalphaline(handle, GetAlphaLine) == MNG_NOERROR;
}

void CDibImageMNG::Fail(const char* fallback) {
  SetLastErrorText(m_record.message[0] ? m_record.message : fallback);
}

void CDibImageMNG::TakeCanvas(const std::vector<BYTE>& canvas, const std::vector<BYTE>& alpha) {
  if (!Create(static_cast<int32_t>(m_record.width), static_cast<int32_t>(m_record.height), 24, kFormatMng))
    throw kCantCreate;
  // Same geometry as the DIB, so the rows copy straight; the canvas holds
  // red, green, blue.
  std::memcpy(GetBits(0), canvas.data(), static_cast<size_t>(m_record.rowBytes) * m_record.height);
  for (uint32_t y = 0; y < m_record.height; ++y) RGBtoBGR(GetBits(y), static_cast<int32_t>(m_record.rowBytes));
  if (!AlphaCreate()) throw kNoMemory;
  std::memcpy(AlphaGetPointer(0, 0), alpha.data(), static_cast<size_t>(m_record.width) * m_record.height);
}

// ---- Decoding ----

bool CDibImageMNG::Decode(CByteStream* stream) {
  if (!stream) return false;
  try {
    ReleaseHandle();
    m_record = MngRecord();
    m_record.stream = stream;
    m_record.budgeted = true;

    const CLibmngScope scope(m_record);
    m_handle = mng_initialize(&m_record, Allocate, Release, MNG_NULL);
    if (!m_handle) throw kInitFailed;
    mng_set_srgb(m_handle, MNG_TRUE);
    mng_set_bgcolor(m_handle, 65535, 65535, 65535);
    mng_set_usebkgd(m_handle, MNG_TRUE);
    mng_set_storechunks(m_handle, MNG_FALSE);
    mng_set_suspensionmode(m_handle, MNG_FALSE);
    if (!InstallCallbacks(m_handle)) throw kInitFailed;

    mng_retcode result = mng_readdisplay(m_handle);
    if ((result != MNG_NOERROR && result != MNG_NEEDTIMERWAIT) || m_record.canvas.empty()) {
      if (OverBudget(m_record)) throw kTooLong;
      Fail(kBadFile);
      return false;
    }

    if (m_info.escape == -1) {
      m_header.biWidth = static_cast<LONG>(m_record.width);
      m_header.biHeight = static_cast<LONG>(m_record.height);
      m_info.formatId = kFormatMng;
      SetLastErrorText("output dimensions returned");
      return true;
    }

    // Each stop at a timer wait shows one frame; the wanted one is copied
    // as it goes by. Reading the rest counts the frames.
    const int32_t wanted = m_info.frameToLoad;
    std::vector<BYTE> canvas, alpha;
    int32_t shown = 0;
    if (wanted == 0) {
      canvas = m_record.canvas;
      alpha = m_record.alpha;
    }
    uint32_t stops = 0;
    while (result == MNG_NEEDTIMERWAIT && mng_status_reading(m_handle) && stops < kMaxDisplayStops &&
           !OverBudget(m_record)) {
      if (m_info.escape) throw "Cancelled";
      result = mng_display_resume(m_handle);
      ++stops;
      if (result != MNG_NOERROR && result != MNG_NEEDTIMERWAIT) {
        // Cut short by the budget: the frames seen so far stand.
        if (OverBudget(m_record)) {
          if (canvas.empty()) throw kTooLong;
          break;
        }
        Fail(kBadFile);
        return false;
      }
      if (result == MNG_NEEDTIMERWAIT && shown < INT32_MAX) {
        ++shown;
        if (shown == wanted) {
          canvas = m_record.canvas;
          alpha = m_record.alpha;
        }
      }
    }
    m_record.animation = result == MNG_NEEDTIMERWAIT;
    const int32_t frames = shown + 1;
    m_info.frameCount = frames;
    if (wanted < 0 || wanted >= frames || canvas.size() != m_record.canvas.size()) throw kNoFrame;

    TakeCanvas(canvas, alpha);
    m_info.frameCount = frames;
    // The alpha plane carries the transparency; a colour key would also hide
    // opaque pixels of that colour. The background the file asks for (white,
    // libmng's, otherwise) is what a caller blends onto when dropping alpha.
    m_info.transIndex = -1;
    m_info.transColor = m_record.input.hasBackground ? m_record.input.background : RGBQUAD{255, 255, 255, 0};
    return true;
  } catch (const char* message) {
    if (*message) SetLastErrorText(message);
    return false;
  } catch (const std::bad_alloc&) {
    SetLastErrorText(kNoMemory);
    return false;
  }
}

// ---- Encoding ----

bool CDibImageMNG::WriteImageChunks(mng_handle handle) {
  const uint32_t width = GetWidth(), height = GetHeight();
  // PNG rows top first, each behind filter byte 0, red before blue.
  const size_t rowBytes = static_cast<size_t>(width) * 3 + 1;
  std::vector<BYTE> raw(rowBytes * height);
  for (uint32_t r = 0; r < height; ++r) {
    BYTE* out = &raw[r * rowBytes];
    const BYTE* in = GetBits(height - 1 - r);
    out[0] = 0;
    for (uint32_t x = 0; x < width; ++x) {
      out[1 + 3 * x] = in[3 * x + 2];
      out[2 + 3 * x] = in[3 * x + 1];
      out[3 + 3 * x] = in[3 * x];
    }
  }
  if (raw.size() > UINT32_MAX / 2) throw kCompressFailed;
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<BYTE> packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK)
    throw kCompressFailed;

  // MHDR must come first: libmng refuses DEFI ahead of it and writes a PNG
  // signature when IHDR leads.
  return mng_putchunk_mhdr(handle, width, height, 1000, 0, 0, 0, 0) == MNG_NOERROR &&
         mng_putchunk_defi(handle, 0, 0, 0, MNG_TRUE, 0, 0, MNG_FALSE, 0, 0, 0, 0) == MNG_NOERROR &&
         mng_putchunk_ihdr(handle, width, height, 8, 2, 0, 0, 0) == MNG_NOERROR &&
         mng_putchunk_idat(handle, static_cast<mng_uint32>(packedSize), packed.data()) == MNG_NOERROR &&
         mng_putchunk_iend(handle) == MNG_NOERROR && mng_putchunk_mend(handle) == MNG_NOERROR;
}

bool CDibImageMNG::Encode(CByteStream* stream) {
  if (EncodeSafeCheck(stream)) return false;
  if (IsIndexed()) {
    SetLastErrorText(kOnlyRgb);
    return false;
  }
  try {
    ReleaseHandle();
    m_record = MngRecord();
    m_record.stream = stream;
    m_record.width = GetWidth();
    m_record.height = GetHeight();
    m_record.rowBytes = GetEffWidth();

    const CLibmngScope scope(m_record);
    m_handle = mng_initialize(&m_record, Allocate, Release, MNG_NULL);
    if (!m_handle) throw kInitFailed;
    if (mng_setcb_errorproc(m_handle, OnError) != MNG_NOERROR ||
        mng_setcb_openstream(m_handle, OpenStream) != MNG_NOERROR ||
        mng_setcb_closestream(m_handle, CloseStream) != MNG_NOERROR ||
        mng_setcb_writedata(m_handle, WriteData) != MNG_NOERROR)
      throw kInitFailed;
    if (mng_create(m_handle) != MNG_NOERROR || !WriteImageChunks(m_handle) || mng_write(m_handle) != MNG_NOERROR) {
      Fail(kWriteFailed);
      return false;
    }
    return true;
  } catch (const char* message) {
    SetLastErrorText(message);
    return false;
  } catch (const std::bad_alloc&) {
    SetLastErrorText(kNoMemory);
    return false;
  }
}
