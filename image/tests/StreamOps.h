// Differential driver for the stream layer: interprets bytes as a sequence of
// stream operations, runs each on a CMemoryStream and on a CFileStream over a
// real file, and reports the first result on which they disagree. Shared by
// the unit tests (random sequences) and the libFuzzer target.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "image/streams/FileStream.h"
#include "image/streams/MemoryStream.h"

namespace streamops {

class Input {
 public:
  Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  bool Done() const { return m_pos >= m_size; }
  uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
  uint16_t Word() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_pos = 0;
};

// Keeps the data small enough that every position fits easily in 32 bits.
constexpr int32_t kMaxPosition = 1 << 20;

inline std::vector<uint8_t> Pattern(size_t length, uint8_t seed) {
  std::vector<uint8_t> bytes(length);
  for (size_t i = 0; i < length; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
  return bytes;
}

// `file` must be an empty file opened for update ("w+b"); it is left open.
// Returns false with a description in `failure` on the first disagreement.
inline bool Run(const uint8_t* data, size_t size, FILE* file, std::string* failure) {
  Input in(data, size);
  int step = 0;
  auto fail = [&](const char* what) {
    if (failure) *failure = "step " + std::to_string(step) + ": " + what;
    return false;
  };

  // The memory stream starts either opened empty or over a caller's buffer
  // (which it must copy out of, never resize, when it grows).
  std::vector<uint8_t> callerBuffer;
  const uint8_t start = in.Byte();
  if (start & 1) {
    callerBuffer = Pattern(start >> 1, in.Byte());
    if (!callerBuffer.empty() &&
        std::fwrite(callerBuffer.data(), 1, callerBuffer.size(), file) != callerBuffer.size())
      return fail("preparing the file");
    std::fseek(file, 0, SEEK_SET);
  }
  CMemoryStream memory(callerBuffer.empty() ? nullptr : callerBuffer.data(),
                       static_cast<uint32_t>(callerBuffer.size()));
  if (callerBuffer.empty() && !memory.Open()) return fail("Open");
  CFileStream disk(file);

  while (!in.Done()) {
    ++step;
    switch (in.Byte() % 11) {
      case 0: {  // Write
        const size_t element = 1 + in.Byte() % 4;
        const size_t count = in.Byte();
        const std::vector<uint8_t> bytes = Pattern(element * count, in.Byte());
        if (memory.Tell() + static_cast<int64_t>(bytes.size()) > kMaxPosition) break;
        if (memory.Write(bytes.data(), element, count) != disk.Write(bytes.data(), element, count))
          return fail("Write result");
        break;
      }
      case 1: {  // Large write, across 64 KB growth steps
        const size_t length = static_cast<size_t>(in.Word()) + in.Byte() * 256u;
        const std::vector<uint8_t> bytes = Pattern(length, in.Byte());
        if (memory.Tell() + static_cast<int64_t>(length) > kMaxPosition) break;
        if (memory.Write(bytes.data(), 1, length) != disk.Write(bytes.data(), 1, length))
          return fail("large Write result");
        break;
      }
      case 2: {  // Read
        const size_t element = 1 + in.Byte() % 4;
        const size_t count = in.Byte();
        std::vector<uint8_t> a(element * count + 1, 0xCD), b(element * count + 1, 0xCD);
        if (memory.Read(a.data(), element, count) != disk.Read(b.data(), element, count))
          return fail("Read result");
        if (a != b) return fail("Read bytes");
        break;
      }
      case 3: {  // Seek
        const int origin = in.Byte() % 3;
        const int32_t offset = static_cast<int16_t>(in.Word());
        const int64_t base = origin == 0 ? 0 : origin == 1 ? memory.Tell() : memory.Size();
        const int64_t target = base + offset;
        if (target > kMaxPosition) break;
        if (!memory.Seek(offset, origin)) return fail("memory Seek");
        // The file refuses a position before the start; memory clamps it to 0.
        const bool moved = target < 0 ? disk.Seek(0, 0) : disk.Seek(offset, origin);
        if (!moved) return fail("file Seek");
        break;
      }
      case 4:
        if (memory.Tell() != disk.Tell()) return fail("Tell");
        break;
      case 5:
        if (memory.Size() != disk.Size()) return fail("Size");
        break;
      case 6: {  // PutC
        if (memory.Tell() >= kMaxPosition) break;
        const uint8_t c = in.Byte();
        if (memory.PutC(c) != disk.PutC(c)) return fail("PutC");
        break;
      }
      case 7:
        if (memory.GetC() != disk.GetC()) return fail("GetC");
        break;
      case 8: {  // GetS, with line feeds likely in the patterns above
        const int capacity = in.Byte() % 40;
        char a[40], b[40];
        std::memset(a, '#', sizeof a);
        std::memset(b, '#', sizeof b);
        const char* ra = memory.GetS(a, capacity);
        const char* rb = disk.GetS(b, capacity);
        if ((ra == nullptr) != (rb == nullptr)) return fail("GetS result");
        if (std::memcmp(a, b, sizeof a) != 0) return fail("GetS text");
        break;
      }
      case 9:
        if (!memory.Flush() || !disk.Flush()) return fail("Flush");
        break;
      default:  // The memory stream's own bookkeeping
        if (memory.Eof() != (memory.Tell() >= memory.Size())) return fail("memory Eof");
        if (memory.Error() != (memory.Tell() > memory.Size() ? 1 : 0)) return fail("memory Error");
        break;
    }
  }

  ++step;
  const int32_t length = memory.Size();
  if (length != disk.Size()) return fail("final Size");
  std::vector<uint8_t> a(static_cast<size_t>(length)), b(static_cast<size_t>(length));
  if (!memory.Seek(0, 0) || !disk.Seek(0, 0)) return fail("final Seek");
  if (memory.Read(a.data(), 1, a.size()) != a.size() || disk.Read(b.data(), 1, b.size()) != b.size())
    return fail("final Read");
  if (a != b) return fail("final contents");
  return true;
}

}  // namespace streamops
