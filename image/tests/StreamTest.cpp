#include "image/streams/FileStream.h"
#include "image/streams/MemoryStream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "image/WinCompat.h"
#include "image/tests/StreamOps.h"

namespace {

namespace fs = std::filesystem;

// A file of its own in the temporary folder, removed afterwards.
class TempFile {
 public:
  TempFile() {
    std::random_device random;
    m_path = fs::temp_directory_path() /
             ("vesk-stream-" + std::to_string(random()) + std::to_string(random()) + ".bin");
  }
  ~TempFile() {
    std::error_code ignored;
    fs::remove(m_path, ignored);
  }
  FILE* Open(const wchar_t* mode) const { return _wfopen(m_path.wstring().c_str(), mode); }
  std::wstring Name() const { return m_path.wstring(); }

 private:
  fs::path m_path;
};

class TestMemoryStream : public CMemoryStream {
 public:
  using CMemoryStream::CMemoryStream;
  uint32_t Capacity() const { return m_capacity; }
};

TEST(Streams, RandomOperationsAgreeOnMemoryAndFile) {
  TempFile temp;
  std::mt19937 random(20240611);
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> ops(50 + random() % 400);
    for (uint8_t& op : ops) op = static_cast<uint8_t>(random());
    FILE* file = temp.Open(L"w+b");
    ASSERT_NE(file, nullptr);
    std::string failure;
    EXPECT_TRUE(streamops::Run(ops.data(), ops.size(), file, &failure)) << "round " << round << ", " << failure;
    std::fclose(file);
  }
}

TEST(Streams, MemoryCapacityGrowsIn64KSteps) {
  struct Case {
    uint32_t firstWrite, secondWrite;  // second written at the end of the first
    uint32_t capacityAfterFirst, capacityAfterSecond;
  } const cases[] = {
      {1, 0, 65536, 65536},
      {65535, 1, 65536, 65536},   // exactly full: no growth
      {65535, 2, 65536, 131072},
      {65536, 0, 131072, 131072},
      {65537, 65535, 131072, 131072},
      {65537, 65536, 131072, 196608},
      {200000, 1, 262144, 262144},
  };
  std::vector<uint8_t> bytes(300000, 0x5A);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.firstWrite);
    TestMemoryStream stream;
    ASSERT_TRUE(stream.Open());
    EXPECT_EQ(stream.Capacity(), 0u);
    EXPECT_EQ(stream.Write(bytes.data(), 1, c.firstWrite), c.firstWrite);
    EXPECT_EQ(stream.Capacity(), c.capacityAfterFirst);
    if (c.secondWrite) {
      EXPECT_EQ(stream.Write(bytes.data(), 1, c.secondWrite), c.secondWrite);
    }
    EXPECT_EQ(stream.Capacity(), c.capacityAfterSecond);
    EXPECT_EQ(stream.Size(), static_cast<int32_t>(c.firstWrite + c.secondWrite));
  }
}

TEST(Streams, MemoryNeverResizesABufferItDoesNotOwn) {
  // A caller's buffer: written in place while it fits, copied out of once the
  // stream must grow (ASan reports a realloc of this vector's storage).
  std::vector<uint8_t> caller = {'a', 'b', 'c', 'd'};
  {
    TestMemoryStream stream(caller.data(), 4);
    EXPECT_FALSE(stream.Open());
    EXPECT_EQ(stream.Size(), 4);
    EXPECT_TRUE(stream.PutC('X'));
    EXPECT_EQ(caller[0], 'X');
    EXPECT_TRUE(stream.Seek(0, 2));
    EXPECT_EQ(stream.Write("efgh", 1, 4), 4u);
    EXPECT_NE(stream.GetBuffer(false), caller.data());
    EXPECT_EQ(stream.Capacity(), 65536u);
    EXPECT_EQ(std::memcmp(stream.GetBuffer(false), "Xbcdefgh", 8), 0);
  }
  EXPECT_EQ(std::memcmp(caller.data(), "Xbcd", 4), 0);

  // A detached buffer belongs to the caller even while the stream still uses it.
  uint8_t* detached;
  {
    TestMemoryStream stream;
    ASSERT_TRUE(stream.Open());
    EXPECT_EQ(stream.Write("hello", 1, 5), 5u);
    detached = stream.GetBuffer(true);
    std::vector<uint8_t> big(70000, 1);
    EXPECT_EQ(stream.Write(big.data(), 1, big.size()), big.size());
    EXPECT_NE(stream.GetBuffer(false), detached);
    EXPECT_EQ(std::memcmp(stream.GetBuffer(false), "hello", 5), 0);
  }
  EXPECT_EQ(std::memcmp(detached, "hello", 5), 0);
  std::free(detached);
}

TEST(Streams, MemoryLifecycleAndBounds) {
  TestMemoryStream stream;
  EXPECT_EQ(stream.Tell(), -1);
  EXPECT_EQ(stream.Size(), -1);
  EXPECT_EQ(stream.Error(), -1);
  EXPECT_TRUE(stream.Eof());
  EXPECT_FALSE(stream.Flush());
  EXPECT_FALSE(stream.Seek(0, 0));
  EXPECT_FALSE(stream.PutC('a'));
  EXPECT_EQ(stream.Write("a", 1, 1), 0u);

  ASSERT_TRUE(stream.Open());
  EXPECT_FALSE(stream.Open());
  EXPECT_EQ(stream.Tell(), 0);
  EXPECT_EQ(stream.Size(), 0);
  EXPECT_TRUE(stream.Eof());
  EXPECT_TRUE(stream.Flush());
  EXPECT_EQ(stream.Scanf("%d", nullptr), 0);

  // Sizes whose product overflows are refused, not wrapped.
  const char byte = 'z';
  EXPECT_EQ(stream.Write(&byte, SIZE_MAX, 2), 0u);
  EXPECT_EQ(stream.Write(&byte, 1u << 16, 1u << 16), 0u);
  EXPECT_EQ(stream.Write(&byte, 0, 5), 0u);
  EXPECT_EQ(stream.Write(nullptr, 1, 1), 0u);
  EXPECT_EQ(stream.Size(), 0);

  EXPECT_EQ(stream.Write("0123456789", 1, 10), 10u);
  ASSERT_TRUE(stream.Seek(0, 0));
  uint32_t words[3] = {};
  EXPECT_EQ(stream.Read(words, 4, 3), 2u);  // the partial third word is consumed
  EXPECT_EQ(stream.Tell(), 10);
  EXPECT_TRUE(stream.Eof());
  EXPECT_EQ(stream.GetC(), -1);

  ASSERT_TRUE(stream.Seek(0, 0));
  char all[16] = {};
  EXPECT_EQ(stream.Read(all, 1, SIZE_MAX), 10u);
  ASSERT_TRUE(stream.Seek(0, 0));
  EXPECT_EQ(stream.Read(all, SIZE_MAX, 2), 0u);
  EXPECT_EQ(stream.Tell(), 10);

  stream.Close();
  EXPECT_EQ(stream.Tell(), -1);
  EXPECT_TRUE(stream.Open());
}

TEST(Streams, MemorySeekClampsAndZeroFillsGaps) {
  struct Case {
    int32_t offset;
    int origin;
    bool ok;
    int32_t position;
  } const cases[] = {
      {-5, 0, true, 0},  {3, 0, true, 3},   {-100, 1, true, 0}, {2, 1, true, 6},
      {-1, 2, true, 9},  {5, 2, true, 15},  {0, 3, false, 4},   {0, -1, false, 4},
      {INT32_MAX, 2, false, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.offset) + "/" + std::to_string(c.origin));
    CMemoryStream stream;
    ASSERT_TRUE(stream.Open());
    stream.Write("0123456789", 1, 10);
    ASSERT_TRUE(stream.Seek(4, 0));
    EXPECT_EQ(stream.Seek(c.offset, c.origin), c.ok);
    EXPECT_EQ(stream.Tell(), c.position);
    EXPECT_EQ(stream.Size(), 10);
    EXPECT_EQ(stream.Error(), c.position > 10 ? 1 : 0);
  }

  CMemoryStream stream;
  ASSERT_TRUE(stream.Open());
  stream.Write("ab", 1, 2);
  ASSERT_TRUE(stream.Seek(1000, 0));
  EXPECT_TRUE(stream.PutC('z'));
  EXPECT_EQ(stream.Size(), 1001);
  const uint8_t* data = stream.GetBuffer(false);
  for (int i = 2; i < 1000; ++i) ASSERT_EQ(data[i], 0) << i;
  EXPECT_EQ(data[1000], 'z');
}

// fgets semantics, on both kinds of stream.
TEST(Streams, GetSReadsLinesLikeFgets) {
  const char text[] = "ab\ncd";
  struct Step {
    int capacity;
    const char* expected;  // null: GetS fails
    int32_t positionAfter;
  };
  const std::vector<std::vector<Step>> sequences = {
      {{1, "", 0}, {2, "a", 1}, {10, "b\n", 3}, {10, "cd", 5}, {10, nullptr, 5}},
      {{3, "ab", 2}, {3, "\n", 3}, {3, "cd", 5}, {1, "", 5}, {2, nullptr, 5}},
      {{0, nullptr, 0}, {-3, nullptr, 0}, {100, "ab\n", 3}},
  };
  TempFile temp;
  for (int kind = 0; kind < 2; ++kind) {
    for (size_t s = 0; s < sequences.size(); ++s) {
      SCOPED_TRACE((kind ? "file, sequence " : "memory, sequence ") + std::to_string(s));
      FILE* file = nullptr;
      std::unique_ptr<CByteStream> stream;
      if (kind == 0) {
        auto memory = std::make_unique<CMemoryStream>();
        ASSERT_TRUE(memory->Open());
        stream = std::move(memory);
      } else {
        file = temp.Open(L"w+b");
        ASSERT_NE(file, nullptr);
        stream = std::make_unique<CFileStream>(file);
      }
      ASSERT_EQ(stream->Write(text, 1, 5), 5u);
      ASSERT_TRUE(stream->Seek(0, 0));
      for (const Step& step : sequences[s]) {
        char buffer[128];
        std::memset(buffer, '#', sizeof buffer);
        const char* result = stream->GetS(buffer, step.capacity);
        if (step.expected) {
          ASSERT_EQ(result, buffer) << "capacity " << step.capacity;
          EXPECT_STREQ(buffer, step.expected);
        } else {
          EXPECT_EQ(result, nullptr) << "capacity " << step.capacity;
          EXPECT_EQ(buffer[0], '#');  // untouched
        }
        EXPECT_EQ(stream->Tell(), step.positionAfter);
      }
      stream.reset();
      if (file) std::fclose(file);
    }
  }
}

TEST(Streams, FileStreamBorrowsAnOpenFileAndOwnsOneItOpens) {
  TempFile temp;
  FILE* file = temp.Open(L"w+b");
  ASSERT_NE(file, nullptr);
  {
    CFileStream stream(file);
    EXPECT_EQ(stream.Write("abc", 1, 3), 3u);
    EXPECT_TRUE(stream.Close());  // borrowed: not closed
    EXPECT_EQ(stream.GetFile(), file);
  }
  // Still open after the stream is gone.
  EXPECT_EQ(std::fputc('d', file), 'd');
  EXPECT_EQ(std::fclose(file), 0);

  CFileStream owned;
  ASSERT_TRUE(owned.Open(temp.Name().c_str(), L"r+b"));
  EXPECT_EQ(owned.Size(), 4);
  char back[4];
  EXPECT_EQ(owned.Read(back, 1, 4), 4u);
  EXPECT_EQ(std::memcmp(back, "abcd", 4), 0);
  EXPECT_TRUE(owned.Close());
  EXPECT_EQ(owned.GetFile(), nullptr);
  EXPECT_FALSE(owned.Open((temp.Name() + L".missing").c_str(), L"rb"));
  EXPECT_FALSE(owned.Open(nullptr, L"rb"));
}

TEST(Streams, FileStreamWithNothingOpen) {
  CFileStream stream;
  char buffer[8];
  EXPECT_TRUE(stream.Close());
  EXPECT_EQ(stream.Read(buffer, 1, 8), 0u);
  EXPECT_EQ(stream.Write(buffer, 1, 8), 0u);
  EXPECT_FALSE(stream.Seek(0, 0));
  EXPECT_EQ(stream.Tell(), -1);
  EXPECT_EQ(stream.Size(), -1);
  EXPECT_FALSE(stream.Flush());
  EXPECT_TRUE(stream.Eof());
  EXPECT_EQ(stream.Error(), -1);
  EXPECT_FALSE(stream.PutC('x'));
  EXPECT_EQ(stream.GetC(), -1);
  EXPECT_EQ(stream.GetS(buffer, 8), nullptr);
  int value = 0;
  EXPECT_EQ(stream.Scanf("%d", &value), -1);
}

TEST(Streams, FileStreamMixesReadsAndWrites) {
  TempFile temp;
  FILE* file = temp.Open(L"w+b");
  ASSERT_NE(file, nullptr);
  {
    CFileStream stream(file);
    ASSERT_EQ(stream.Write("abcdef", 1, 6), 6u);
    ASSERT_TRUE(stream.Seek(0, 0));
    char two[2];
    ASSERT_EQ(stream.Read(two, 1, 2), 2u);
    EXPECT_EQ(stream.Write("XY", 1, 2), 2u);   // read then write, no seek between
    EXPECT_EQ(stream.GetC(), 'e');             // write then read
    EXPECT_TRUE(stream.PutC('Z'));
    ASSERT_TRUE(stream.Seek(0, 0));
    char all[7] = {};
    EXPECT_EQ(stream.Read(all, 1, 6), 6u);
    EXPECT_STREQ(all, "abXYeZ");

    ASSERT_TRUE(stream.Seek(0, 0));
    ASSERT_EQ(stream.Write("42 rest", 1, 7), 7u);
    ASSERT_TRUE(stream.Seek(0, 0));
    int value = 0;
    EXPECT_EQ(stream.Scanf("%d", &value), 1);
    EXPECT_EQ(value, 42);
  }
  std::fclose(file);
}

}  // namespace
