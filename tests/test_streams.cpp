#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

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

TEST(Assertion, MessageNamesUnitAndLine) {
  try {
    KVX_ASSERT(false, "KVX_GuiCustomControl");
    FAIL();
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Assertion failure (KVX_GuiCustomControl, line ", 0), 0u);
  }
}
