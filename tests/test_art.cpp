// The editor's artwork: the committed PNGs have the sizes, frames and colour type the editor's
// layout expects, decode the same with our codec and with libpng, are the bytes the library
// embeds, and are exactly what rendering their SVG sources again gives.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "editor/KVX_Artwork.h"
#include "gui/KVX_GuiPixelMap.h"
#include "platform/KVX_Streams.h"
#include "png/KVX_GuiPng.h"
#include "support/KVX_ChildProcess.h"
#include "support/png_support.h"

using namespace kvx;
using namespace kvx::test;

namespace {

// What the editor's layout and its stitched image list need of every picture.
struct Expected {
  TArtworkPicture Picture;
  const char* File;
  const char* DisplayName;
  int32_t Width, Height, GlyphCount;
};

const Expected kExpected[] = {
    {apFront, "front.png", "", 254, 353, 1},
    {apBack, "back.png", "", 254, 353, 1},
    {apLEDOn, "led-on.png", "", 256, 256, 1},
    {apLEDOff, "led-off.png", "", 297, 298, 1},
    {apArrowFront, "arrow-front.png", "", 18, 14, 1},
    {apArrowBack, "arrow-back.png", "", 18, 14, 1},
    {apButton, "button.png", "Button", 94, 188, 2},
    {apKnob, "knob.png", "Knob", 59, 5900, 100},
    {apKnob2, "knob2.png", "Knob2", 50, 5000, 100},
    {apSwitch2, "switch2.png", "Switch2", 38, 76, 2},
    {apSwitch3, "switch3.png", "Switch3", 38, 114, 3},
};

std::string ArtPath(const std::string& File) { return std::string(KVX_ART_DIR) + "/" + File; }

void Decode(const TBytes& File, TPortableNetworkGraphicPixel32& Png, TGuiPixelMapMemory& Map) {
  TMemoryStream stream(File);
  Png.LoadFromStream(stream);
  Png.AssignTo(Map);
}

class ArtFiles : public testing::TestWithParam<Expected> {};

TEST_P(ArtFiles, HaveTheLayoutsSizeFramesAndColourType) {
  const Expected& e = GetParam();
  const TArtworkInfo& info = ArtworkInfo(e.Picture);
  EXPECT_STREQ(info.FileName, e.File);
  EXPECT_STREQ(info.DisplayName, e.DisplayName);
  EXPECT_EQ(info.Width, e.Width);
  EXPECT_EQ(info.Height, e.Height);
  EXPECT_EQ(info.GlyphCount, e.GlyphCount);

  TPortableNetworkGraphicPixel32 png;
  TGuiPixelMapMemory map;
  Decode(ReadFileBytes(ArtPath(e.File)), png, map);
  EXPECT_EQ(png.Width(), e.Width);
  EXPECT_EQ(png.Height(), e.Height);
  EXPECT_EQ(png.ColorType(), 6) << "8-bit RGBA";
  EXPECT_EQ(png.BitDepth(), 8);
  EXPECT_EQ(png.InterlaceMethod(), 0);
  EXPECT_EQ(map.Width(), e.Width);
  EXPECT_EQ(map.Height(), e.Height);
}

TEST_P(ArtFiles, DecodeTheSameWithLibpng) {
  if (!HaveLibpng()) GTEST_SKIP() << "libpng not available";
  const Expected& e = GetParam();
  const TBytes file = ReadFileBytes(ArtPath(e.File));
  TPortableNetworkGraphicPixel32 png;
  TGuiPixelMapMemory map;
  Decode(file, png, map);
  uint32_t w = 0, h = 0;
  std::vector<TPixel32> reference;
  std::string error;
  ASSERT_TRUE(DecodeWithLibpng(file, w, h, reference, error)) << error;
  ASSERT_EQ(w, uint32_t(e.Width));
  ASSERT_EQ(h, uint32_t(e.Height));
  size_t differing = 0;
  for (size_t i = 0; i < size_t(w) * h; ++i) differing += !(map.DataPointer()[i] == reference[i]);
  EXPECT_EQ(differing, 0u) << "pixels that differ from libpng's";
}

TEST_P(ArtFiles, AreTheBytesTheLibraryEmbeds) {
  const Expected& e = GetParam();
  const TBytes file = ReadFileBytes(ArtPath(e.File));
  const std::span<const uint8_t> embedded = ArtworkData(e.Picture);
  ASSERT_FALSE(file.empty());
  EXPECT_TRUE(std::equal(embedded.begin(), embedded.end(), file.begin(), file.end()));
}

INSTANTIATE_TEST_SUITE_P(Pictures, ArtFiles, testing::ValuesIn(kExpected),
                         [](const testing::TestParamInfo<Expected>& p) {
                           std::string name = p.param.File;
                           name.resize(name.size() - 4);
                           std::erase(name, '-');
                           return name;
                         });

TEST(ArtworkInfo, RefusesAnIndexOutsideThePictures) {
  EXPECT_THROW(ArtworkInfo(apCount), EAssertionFailed);
  EXPECT_THROW(ArtworkData(TArtworkPicture(-1)), EAssertionFailed);
}

// ---- what the pictures show -------------------------------------------------------------------

class Art : public testing::Test {
 protected:
  static void Load(TArtworkPicture P, TGuiPixelMapMemory& Map) {
    TPortableNetworkGraphicPixel32 png;
    const std::span<const uint8_t> data = ArtworkData(P);
    Decode(TBytes(data.begin(), data.end()), png, Map);
  }
};

TEST_F(Art, FacesAreOpaqueEverywhere) {
  // The faces are the window's background: nothing of the host may show through.
  for (TArtworkPicture face : {apFront, apBack}) {
    TGuiPixelMapMemory map;
    Load(face, map);
    int32_t translucent = 0;
    for (int32_t i = 0; i < map.Width() * map.Height(); ++i) translucent += map.DataPointer()[i].A != 255;
    EXPECT_EQ(translucent, 0) << ArtworkInfo(face).FileName;
  }
}

TEST_F(Art, StitchedFramesAreUncutAndDistinct) {
  // Transparent all round every frame: nothing of the object or its shadow touches a frame edge,
  // so no frame is cut and none bleeds into its neighbour. And no two frames are the same.
  for (TArtworkPicture p : {apButton, apKnob, apKnob2, apSwitch2, apSwitch3}) {
    TGuiPixelMapMemory map;
    Load(p, map);
    const TArtworkInfo& info = ArtworkInfo(p);
    const int32_t w = info.Width, h = info.Height / info.GlyphCount;
    std::vector<std::vector<TPixel32>> frames;
    for (int32_t f = 0; f < info.GlyphCount; ++f) {
      int32_t edge = 0;
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
          if ((x == 0 || y == 0 || x == w - 1 || y == h - 1) && map.Pixel(x, f * h + y).A != 0) ++edge;
      EXPECT_EQ(edge, 0) << info.FileName << " frame " << f;
      const TPixel32* first = map.ScanLine(f * h);
      frames.emplace_back(first, first + w * h);
    }
    for (size_t a = 0; a < frames.size(); ++a)
      for (size_t b = a + 1; b < frames.size(); ++b)
        EXPECT_FALSE(frames[a] == frames[b]) << info.FileName << " frames " << a << " and " << b;
  }
}

// Where the editor puts a control on a face, and the face's dark seat under it.
struct Seat {
  TArtworkPicture Face;
  const char* Control;
  int32_t Left, Top, Width, Height;
};

const Seat kSeats[] = {
    {apFront, "DialLevel", 31, 37, 59, 59},      {apFront, "DialTone", 97, 37, 59, 59},
    {apFront, "DialOutput", 163, 37, 59, 59},    {apFront, "ButtonBypass", 80, 201, 94, 94},
    {apFront, "LEDOff", 207, 103, 9, 9},         {apFront, "ImgRotateFront", 118, 296, 18, 14},
    {apBack, "DialDrive", 43, 62, 50, 50},       {apBack, "SwitchOversampling", 128, 64, 38, 38},
    {apBack, "SwitchMode", 19, 134, 38, 38},     {apBack, "SwitchSymmetric", 128, 134, 38, 38},
    {apBack, "SwitchStereoMono", 19, 197, 38, 38}, {apBack, "ImgRotateBack", 118, 296, 18, 14},
};

TEST_F(Art, SeatsLieCentredUnderTheirControls) {
  // The centre of the dark seat drawn in the control's box must be the box's centre.
  TGuiPixelMapMemory faces[2];
  Load(apFront, faces[0]);
  Load(apBack, faces[1]);
  for (const Seat& s : kSeats) {
    const TGuiCustomPixelMap& face = faces[s.Face == apBack];
    double sx = 0, sy = 0, n = 0;
    for (int32_t y = s.Top; y < s.Top + s.Height; ++y)
      for (int32_t x = s.Left; x < s.Left + s.Width; ++x) {
        const TPixel32 p = face.Pixel(x, y);
        if ((p.R * 3 + p.G * 6 + p.B) / 10 < 32) {
          sx += x + 0.5;
          sy += y + 0.5;
          ++n;
        }
      }
    ASSERT_GT(n, s.Width * s.Height / 3) << s.Control << ": no seat under the control";
    EXPECT_NEAR(sx / n, s.Left + s.Width / 2.0, 1.0) << s.Control;
    EXPECT_NEAR(sy / n, s.Top + s.Height / 2.0, 1.0) << s.Control;
  }
}

TEST_F(Art, CaptionBoxesHoldNoDrawnText) {
  // The editor's labels write white text into these boxes; the face must keep them dark and
  // free of its own letters, or the two would overprint.
  struct Box {
    TArtworkPicture Face;
    const char* Label;
    int32_t Left, Top, Width, Height;
  };
  const Box boxes[] = {{apFront, "LblByKVX", 158, 172, 62, 23},
                       {apFront, "LblInputLevelCaption", 8, 327, 200, 10},
                       {apBack, "LblWebSite", 48, 267, 157, 23}};
  for (const Box& b : boxes) {
    TGuiPixelMapMemory face;
    Load(b.Face, face);
    int brightest = 0;
    for (int32_t y = b.Top; y < b.Top + b.Height; ++y)
      for (int32_t x = b.Left; x < b.Left + b.Width; ++x) {
        const TPixel32 p = face.Pixel(x, y);
        brightest = std::max(brightest, (p.R * 3 + p.G * 6 + p.B) / 10);
      }
    EXPECT_LT(brightest, 140) << b.Label;
  }
}

// The pointer's direction in one knob frame, in degrees clockwise from 12 o'clock: the centroid
// of the bright pixels on the ring between the cap and the skirt's edge (the skirt is dark).
double PointerAngle(const TGuiCustomPixelMap& Map, int32_t Frame, int32_t Size) {
  const double c = Size / 2.0, scale = Size / 59.0;
  double sx = 0, sy = 0;
  for (int32_t y = 0; y < Size; ++y)
    for (int32_t x = 0; x < Size; ++x) {
      const double dx = x + 0.5 - c, dy = y + 0.5 - c, r = std::hypot(dx, dy) / scale;
      const TPixel32 p = Map.Pixel(x, Frame * Size + y);
      const int luma = (p.R * 3 + p.G * 6 + p.B) / 10;
      if (r > 17 && r < 22.5 && luma > 140) {
        sx += dx * luma;
        sy += dy * luma;
      }
    }
  return std::atan2(sx, -sy) * 180 / std::numbers::pi;
}

// One of the two knobs, decoded from the embedded bytes.
class KnobArt : public testing::TestWithParam<TArtworkPicture> {
 protected:
  void SetUp() override {
    const std::span<const uint8_t> data = ArtworkData(GetParam());
    TPortableNetworkGraphicPixel32 png;
    Decode(TBytes(data.begin(), data.end()), png, Map);
  }
  const TArtworkInfo& Info = ArtworkInfo(GetParam());
  const int32_t Size = Info.Width;  // frames are square
  TGuiPixelMapMemory Map;
};

TEST_P(KnobArt, PointerSweepsEvenlyFromSevenToFiveOClock) {
  std::vector<double> angle;
  for (int32_t f = 0; f < Info.GlyphCount; ++f) angle.push_back(PointerAngle(Map, f, Size));
  EXPECT_NEAR(angle.front(), -150, 2);
  EXPECT_NEAR(angle.back(), 150, 2);
  EXPECT_NEAR(angle[Info.GlyphCount / 2], 0, 3);
  for (int32_t f = 1; f < Info.GlyphCount; ++f)
    EXPECT_NEAR(angle[f] - angle[f - 1], 300.0 / 99, 1.2) << "frame " << f;
}

TEST_P(KnobArt, ShadingStaysWhileThePointerTurns) {
  // Outside the pointer's reach (the skirt's rim and the shadow) every frame equals frame 0.
  const double c = Size / 2.0, scale = Size / 59.0;
  int32_t moved = 0;
  for (int32_t f = 1; f < Info.GlyphCount; ++f)
    for (int32_t y = 0; y < Size; ++y)
      for (int32_t x = 0; x < Size; ++x)
        if (std::hypot(x + 0.5 - c, y + 0.5 - c) / scale > 23.5 && !(Map.Pixel(x, f * Size + y) == Map.Pixel(x, y)))
          ++moved;
  EXPECT_EQ(moved, 0);
}

INSTANTIATE_TEST_SUITE_P(Knobs, KnobArt, testing::Values(apKnob, apKnob2),
                         [](const testing::TestParamInfo<TArtworkPicture>& p) {
                           return std::string(ArtworkInfo(p.param).DisplayName);
                         });

// ---- regeneration -----------------------------------------------------------------------------

TEST(ArtRegeneration, RenderingTheSourcesAgainGivesTheCommittedBytes) {
#ifndef KVX_ART_TOOL
  GTEST_SKIP() << "kvx_art is not built (librsvg was not found when the build was configured)";
#else
  std::string pattern = (std::filesystem::temp_directory_path() / "kvx_art_XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path dir = pattern;
  const TChildResult run = RunChild({KVX_ART_TOOL, KVX_ART_DIR, dir.string(), "--sheet", (dir / "sheet.png").string()});
  EXPECT_EQ(run.ExitCode, 0) << run.Stderr;
  for (const Expected& e : kExpected) {
    const TBytes committed = ReadFileBytes(ArtPath(e.File));
    const TBytes fresh = ReadFileBytes((dir / e.File).string());
    EXPECT_FALSE(fresh.empty()) << e.File;
    EXPECT_TRUE(fresh == committed) << e.File << " differs from its regenerated version";
  }
  const TBytes sheet = ReadFileBytes(std::string(KVX_SOURCE_DIR) + "/docs/artwork.png");
  EXPECT_TRUE(ReadFileBytes((dir / "sheet.png").string()) == sheet) << "docs/artwork.png is out of date";
  std::filesystem::remove_all(dir);
#endif
}

}  // namespace
