#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/KVX_Streams.h"

using namespace kvx;

TEST(MemoryStream, WritesGrowReadsStopAtEnd) {
  TMemoryStream s;
  const char text[] = "abcdef";
  s.WriteBuffer(text, 6);
  EXPECT_EQ(s.Size(), 6);
  s.SetPosition(4);
  char out[8] = {};
  EXPECT_EQ(s.Read(out, 8), 2);
  EXPECT_STREQ(out, "ef");
  s.SetPosition(2);
  EXPECT_THROW(s.ReadBuffer(out, 5), EStreamError);
  EXPECT_EQ(s.Seek(-100, soCurrent), 0);
}

TEST(FileStream, RoundTripAndMissingFile) {
  const auto path = std::filesystem::temp_directory_path() / "kvx_stream_test.bin";
  TMemoryStream s;
  s.WriteBuffer("\x01\x02\x03", 3);
  s.SaveToFile(path.string());
  TMemoryStream t;
  t.LoadFromFile(path.string());
  ASSERT_EQ(t.Size(), 3);
  EXPECT_EQ(std::memcmp(t.Memory(), "\x01\x02\x03", 3), 0);
  std::filesystem::remove(path);
  EXPECT_THROW(TFileStream("/nonexistent/dir/x", fmOpenRead), EStreamError);
}

// Names are UTF-8 on every system: the file made is the one the name says.
TEST(FileStream, NamesOutsideAscii) {
  const auto path = std::filesystem::temp_directory_path() / u8"kvx_stream_\u00efn-\u00fc\u65e5.bin";
  const std::u8string name = path.u8string();
  const std::string utf8(name.begin(), name.end());
  TMemoryStream s;
  s.WriteBuffer("abc", 3);
  s.SaveToFile(utf8);
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(TFileStream(utf8, fmOpenRead).Size(), 3);
  std::filesystem::remove(path);
}

// The read buffer must never show stale bytes or lose the position: small reads across its
// edge, a read larger than the buffer, seeks back and forth, writes into buffered bytes and a
// shortened file all read back what a plain file holds.
TEST(FileStream, BufferedReadsStayCoherentWithSeeksWritesAndSize) {
  const auto path = std::filesystem::temp_directory_path() / "kvx_stream_buffer.bin";
  std::vector<uint8_t> expected(200000);
  for (size_t i = 0; i < expected.size(); ++i) expected[i] = static_cast<uint8_t>(i * 31 + (i >> 9));
  {
    TFileStream f(path.string(), fmCreate);
    f.WriteBuffer(expected.data(), static_cast<int64_t>(expected.size()));
  }
  auto stream = std::make_unique<TFileStream>(path.string(), fmOpenReadWrite);
  TFileStream& f = *stream;
  EXPECT_EQ(f.Size(), 200000);
  auto check = [&](int64_t At, int64_t Count) {
    std::vector<uint8_t> got(static_cast<size_t>(Count));
    f.SetPosition(At);
    const int64_t n = f.Read(got.data(), Count);
    const int64_t want = std::max<int64_t>(0, std::min<int64_t>(Count, static_cast<int64_t>(expected.size()) - At));
    ASSERT_EQ(n, want) << "at " << At << " count " << Count;
    EXPECT_EQ(f.Position(), At + n);
    EXPECT_EQ(std::memcmp(got.data(), expected.data() + At, static_cast<size_t>(n)), 0) << "at " << At;
  };
  // Field-sized reads that walk over the buffer's edge, then one read larger than the buffer.
  for (int64_t at = 65530; at < 65545; at += 3) check(at, 4);
  check(10, 150000);
  check(3, 8);
  check(199990, 100);  // stops at the end
  check(250000, 4);    // past the end: nothing
  // A write into bytes the buffer holds is seen by the next read.
  check(100, 16);
  const uint8_t patch[4] = {0xDE, 0xAD, 0xBE, 0xEF};
  f.SetPosition(104);
  f.WriteBuffer(patch, 4);
  std::memcpy(expected.data() + 104, patch, 4);
  EXPECT_EQ(f.Position(), 108);
  check(100, 16);
  // Writing past the end grows the size; shortening drops the buffered tail.
  f.Seek(0, soEnd);
  f.WriteBuffer(patch, 4);
  expected.insert(expected.end(), patch, patch + 4);
  EXPECT_EQ(f.Size(), 200004);
  check(199996, 8);
  f.SetSize(1000);
  expected.resize(1000);
  EXPECT_EQ(f.Size(), 1000);
  check(990, 20);
  stream.reset();  // an open file cannot be removed everywhere
  std::filesystem::remove(path);
  EXPECT_THROW(TFileStream(std::filesystem::temp_directory_path().string(), fmOpenRead), EStreamError);
}

TEST(Assertion, MessageNamesUnitAndLine) {
  try {
    KVX_ASSERT(false, "KVX_GuiCustomControl");
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Assertion failure (KVX_GuiCustomControl, line ", 0), 0u);
  }
}
