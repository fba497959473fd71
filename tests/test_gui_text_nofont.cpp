// A machine without any font: the platform font finds no face, measures 0 x 0 and draws
// nothing, and the oversampled font draws nothing without raising.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "gui/KVX_GuiFont.h"
#include "gui/KVX_GuiPixelMap.h"
#include "platform/KVX_Font.h"

using namespace kvx;

namespace {

// Before any test, and so before fontconfig is first asked: a configuration that names no font
// directory.
const bool GNoFonts = [] {
  const std::string Path = testing::TempDir() + "kvx-no-fonts.conf";
  if (FILE* File = std::fopen(Path.c_str(), "w")) {
    std::fputs("<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n", File);
    std::fclose(File);
  }
  setenv("FONTCONFIG_FILE", Path.c_str(), 1);
  return true;
}();

}  // namespace

TEST(NoFont, NothingIsMeasuredOrDrawn) {
  ASSERT_TRUE(GNoFonts);
  TFont Description;
  Description.SetName("Lucida Console");
  Description.SetHeight(14);
  EXPECT_EQ(FontFaceInUse(Description), "none");
  TPlatformFont Platform(Description);
  EXPECT_FALSE(Platform.HasFace());
  EXPECT_EQ(Platform.TextExtent("by KVX"), (TTextExtent{0, 0}));

  TGuiOversampledGDIFont Font;
  Font.SetFont(Description);
  Font.SetFontOversampling(fo16x);
  Font.Shadow().SetVisible(true);
  EXPECT_EQ(Font.TextExtent("by KVX"), (TTextExtent{0, 0}));
  TGuiPixelMapMemory Map;
  Map.SetSize(20, 20);
  Map.Clear(TPixel32{1, 2, 3, 255});
  EXPECT_NO_THROW(Font.TextOut("by KVX", &Map, 0, 0));
  for (int32_t Y = 0; Y < 20; ++Y)
    for (int32_t X = 0; X < 20; ++X) ASSERT_EQ(Map.Pixel(X, Y), (TPixel32{1, 2, 3, 255}));
}
