// The standard PNG decoder suite as a table: every valid image decodes to the pixels libpng gives
// under the decoding rules; every corrupt image (x*.png) is refused with an exception.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "gui/KVX_GuiPixelMap.h"
#include "png/KVX_GuiPng.h"
#include "support/png_support.h"

using namespace kvx;
using namespace kvx::test;

namespace {

std::vector<std::string> SuiteFiles() {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(KVX_PNGSUITE_DIR))
    if (e.path().extension() == ".png") names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class PngSuite : public ::testing::TestWithParam<std::string> {};

TEST_P(PngSuite, DecodesLikeTheReferenceOrIsRefused) {
  const std::string name = GetParam();
  const TBytes file = ReadFileBytes(std::string(KVX_PNGSUITE_DIR) + "/" + name);
  TMemoryStream stream(file);
  TGuiPixelMapMemory map;
  if (name[0] == 'x') {
    EXPECT_THROW(
        {
          TPortableNetworkGraphicPixel32 png;
          png.LoadFromStream(stream);
          png.AssignTo(map);
        },
        Exception);
    return;
  }
  TPortableNetworkGraphicPixel32 png;
  ASSERT_NO_THROW(png.LoadFromStream(stream));
  ASSERT_NO_THROW(png.AssignTo(map));
  if (!HaveLibpng()) GTEST_SKIP() << "libpng not available";
  uint32_t w = 0, h = 0;
  std::vector<TPixel32> expected;
  std::string error;
  ASSERT_TRUE(DecodeWithLibpng(file, w, h, expected, error)) << error;
  ASSERT_EQ(map.Width(), static_cast<int32_t>(w));
  ASSERT_EQ(map.Height(), static_cast<int32_t>(h));
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      const TPixel32 got = map.Pixel(static_cast<int32_t>(x), static_cast<int32_t>(y));
      const TPixel32 want = expected[size_t{y} * w + x];
      ASSERT_EQ(got.ARGB(), want.ARGB()) << name << " at (" << x << ", " << y << ")";
    }
}

INSTANTIATE_TEST_SUITE_P(Files, PngSuite, ::testing::ValuesIn(SuiteFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string n = info.param.substr(0, info.param.size() - 4);
                           std::replace_if(n.begin(), n.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
                           return n;
                         });

// Loading through a pixel map finds the PNG format in the registry.
TEST(PngSuiteRegistry, PixelMapLoadsPngStreams) {
  const TBytes file = ReadFileBytes(std::string(KVX_PNGSUITE_DIR) + "/basn6a08.png");
  TMemoryStream stream(file);
  TGuiPixelMapMemory map;
  map.LoadFromStream(stream);
  EXPECT_EQ(map.Width(), 32);
  EXPECT_EQ(map.Height(), 32);
  uint32_t w, h;
  std::vector<TPixel32> expected;
  std::string error;
  if (!DecodeWithLibpng(file, w, h, expected, error)) GTEST_SKIP() << error;
  EXPECT_EQ(map.Pixel(31, 31).ARGB(), expected.back().ARGB());
}

}  // namespace
