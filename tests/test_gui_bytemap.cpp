// Byte maps: size protocol, access, Multiply, shapes, the gradient, copying with clipping,
// Resize and Turn.
#include <gtest/gtest.h>

#include <vector>

#include "gui/KVX_GuiByteMap.h"

using namespace kvx;

namespace {

std::vector<uint8_t> Bytes(const TGuiCustomByteMap& Map) {
  return std::vector<uint8_t>(Map.DataPointer(), Map.DataPointer() + Map.DataSize());
}

void FillNumbered(TGuiCustomByteMap& Map) {
  for (int32_t Y = 0; Y < Map.Height(); ++Y)
    for (int32_t X = 0; X < Map.Width(); ++X)
      Map.SetValue(X, Y, static_cast<uint8_t>(1 + X + 10 * Y));
}

}  // namespace

TEST(GuiByteMap, InfoBlockAndSizeProtocol) {
  TGuiByteMapMemory Map;
  const TBitmapInfo8& Info = Map.BitmapInfo();
  EXPECT_EQ(Info.bmiHeader.biBitCount, 8);
  EXPECT_EQ(Info.bmiColors[0], 0u);
  EXPECT_EQ(Info.bmiColors[0x5A], 0x5A5A5Au) << "a grey colour table";
  EXPECT_EQ(Info.bmiColors[255], 0xFFFFFFu);

  std::string Events;
  Map.SetOnResize([&](TGuiCustomMap*) { Events += "R"; });
  Map.SetOnChange([&](TGuiCustomMap*) { Events += "C"; });
  Map.SetSize(5, 3);
  Map.SetSize(5, 3);
  EXPECT_EQ(Events, "RC");
  EXPECT_EQ(Map.DataSize(), 15);
  EXPECT_EQ(Info.bmiHeader.biWidth, 5);
  EXPECT_EQ(Info.bmiHeader.biHeight, -3);
  EXPECT_EQ(Bytes(Map), std::vector<uint8_t>(15, 0));
  EXPECT_THROW(Map.SetSize(2, -1), EArgumentError);
  EXPECT_THROW(Map.SetWidth(-1), EArgumentError);
  EXPECT_EQ(Map.Width(), 5);
  Map.SetSize(0, 0);
  EXPECT_EQ(Map.DataPointer(), nullptr);
  EXPECT_THROW(Map.Value(0, 0), EAssertionFailed);
}

TEST(GuiByteMap, AccessClearAndMultiply) {
  TGuiByteMapMemory Map;
  Map.SetSize(3, 2);
  Map.SetValue(2, 1, 7);
  EXPECT_EQ(Map.DataPointer()[5], 7);
  EXPECT_EQ(Map.ScanLine(1), Map.DataPointer() + 3);
  EXPECT_EQ(Map.ValuePointer(1, 1), Map.DataPointer() + 4);
  EXPECT_THROW(Map.SetValue(3, 0, 1), EAssertionFailed);
  EXPECT_THROW(Map.ScanLine(2), EAssertionFailed);

  Map.Clear(200);
  EXPECT_EQ(Bytes(Map), std::vector<uint8_t>(6, 200));
  Map.Clear();
  EXPECT_EQ(Bytes(Map), std::vector<uint8_t>(6, 0));

  struct TCase {
    uint8_t Factor, Before, After;
  };
  const TCase Cases[] = {{255, 255, 254}, {255, 1, 1}, {128, 255, 128}, {0, 255, 0}, {128, 1, 1}};
  for (const TCase& Case : Cases) {
    Map.Clear(Case.Before);
    Map.Multiply(Case.Factor);
    EXPECT_EQ(Map.Value(1, 1), Case.After) << int(Case.Factor) << " x " << int(Case.Before);
  }
}

TEST(GuiByteMap, ShapesSetBytesInsideTheMap) {
  TGuiByteMapMemory Map;
  Map.SetSize(6, 4);
  Map.FillRect(Rect(1, 1, 3, 3), 9);
  Map.HorizontalLine(6, 3, 0, 5);  // swapped: 3..5
  Map.VerticalLine(0, 4, 1, 4);    // rows 1..3
  const std::vector<uint8_t> Expected = {0, 0, 0, 5, 5, 5,   //
                                         4, 9, 9, 0, 0, 0,   //
                                         4, 9, 9, 0, 0, 0,   //
                                         4, 0, 0, 0, 0, 0};
  EXPECT_EQ(Bytes(Map), Expected);

  Map.Clear();
  Map.FrameRect(Rect(0, 0, 4, 3), 1);
  EXPECT_EQ(Bytes(Map), (std::vector<uint8_t>{1, 1, 1, 1, 0, 0,  //
                                              1, 0, 0, 1, 0, 0,  //
                                              1, 1, 1, 1, 0, 0,  //
                                              0, 0, 0, 0, 0, 0}));

  Map.Clear();
  Map.Line(0, 0, 3, 1, 8);
  EXPECT_EQ(Map.Value(0, 0), 8);
  EXPECT_EQ(Map.Value(1, 0), 8);
  EXPECT_EQ(Map.Value(2, 1), 8);
  EXPECT_EQ(Map.Value(3, 1), 0) << "the end point is not set";

  // Outside parts are left out.
  Map.Clear();
  Map.FillRect(Rect(-3, -3, 1, 1), 2);
  Map.FillRect(Rect(5, 3, 50, 50), 2);
  Map.HorizontalLine(-10, 100, 9, 2);
  Map.VerticalLine(-1, -5, 5, 2);
  Map.Line(-5, -5, 20, 7, 0);
  Map.HorizontalLine(-5, 20, 1, 0, 255);
  EXPECT_EQ(Map.Value(0, 0), 2);
  EXPECT_EQ(Map.Value(5, 3), 2);
}

TEST(GuiByteMap, GradientLine) {
  TGuiByteMapMemory Map;
  Map.SetSize(5, 2);
  Map.HorizontalLine(0, 4, 0, 0, 255);
  Map.HorizontalLine(4, 0, 1, 255, 0);  // positions swap, data do not
  EXPECT_EQ(Bytes(Map), (std::vector<uint8_t>{0, 63, 127, 191, 0,  //
                                              255, 191, 127, 63, 0}));
}

TEST(GuiByteMap, DrawCopiesTheClippedArea) {
  TGuiByteMapMemory Source;
  Source.SetSize(4, 2);
  FillNumbered(Source);  // rows 1 2 3 4 / 11 12 13 14
  TGuiByteMapMemory Map;
  Map.SetSize(3, 5);
  Map.Draw(Source, -2, 3);  // source column 2 onwards lands in row 3
  EXPECT_EQ(Bytes(Map), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0,  //
                                              3, 4, 0,                    //
                                              13, 14, 0}));
  Map.Clear();
  Map.Draw(Source, 1, -1, 77);  // the weight does not change a copy
  EXPECT_EQ(Bytes(Map), (std::vector<uint8_t>{0, 11, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  Map.Clear();
  for (auto [X, Y] : {std::pair{3, 0}, {0, 5}, {-4, 0}, {0, -2}, {INT32_MIN, 0}, {0, INT32_MAX}})
    Map.DrawTransparent(Source, X, Y);
  EXPECT_EQ(Bytes(Map), std::vector<uint8_t>(15, 0));
  Map.DrawTransparent(Source);
  EXPECT_EQ(Map.Value(2, 1), 13);
}

TEST(GuiByteMap, ResizeTurnAssignEquals) {
  TGuiByteMapMemory Map;
  Map.SetSize(3, 2);
  FillNumbered(Map);  // 1 2 3 / 11 12 13
  int Events = 0;
  Map.SetOnChange([&](TGuiCustomMap*) { ++Events; });

  TGuiByteMapMemory Original;
  Original.Assign(Map);
  EXPECT_TRUE(Original.Equals(Map));
  ASSERT_TRUE(static_cast<bool>(Original.OnChange()));

  Map.Turn(true);
  EXPECT_EQ(Map.Width(), 2);
  EXPECT_EQ(Map.BitmapInfo().bmiHeader.biWidth, 2);
  EXPECT_EQ(Bytes(Map), (std::vector<uint8_t>{3, 13, 2, 12, 1, 11}));
  Map.Turn(false);
  EXPECT_TRUE(Map.Equals(Original));
  Map.Turn(false);
  EXPECT_EQ(Bytes(Map), (std::vector<uint8_t>{11, 1, 12, 2, 13, 3}));
  Map.Turn(true);
  EXPECT_TRUE(Map.Equals(Original));

  Map.Resize(2, 3);
  EXPECT_EQ(Bytes(Map), (std::vector<uint8_t>{1, 2, 11, 12, 0, 0}));
  EXPECT_FALSE(Map.Equals(Original));
  EXPECT_EQ(Events, 0) << "Turn and Resize fire no events";
}
