// The stack blur against the weighted average it stands for, its working memory, the saturation
// table, and the shadow settings with their notifications.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <random>
#include <vector>

#include "gui/KVX_GuiByteMap.h"
#include "gui/KVX_GuiFilters.h"
#include "gui/KVX_GuiFiltersBlur.h"
#include "gui/KVX_GuiPixelMap.h"
#include "gui/KVX_GuiShadow.h"

// Every operator new of the process is counted (calls and bytes) while counting is on. The
// sanitizers own the allocator, so the counts are taken in the plain build only.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KVX_COUNT_ALLOCATIONS 0
#else
#define KVX_COUNT_ALLOCATIONS 1
#endif

#if KVX_COUNT_ALLOCATIONS
namespace {
bool gCounting = false;
long gAllocations = 0;
size_t gAllocatedBytes = 0;
}  // namespace

// The replacement pairs malloc with free throughout; the compiler cannot see that.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t n) {
  if (gCounting) ++gAllocations, gAllocatedBytes += n;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t n) { return operator new(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
#endif

using namespace kvx;

namespace {

std::vector<uint8_t> Bytes(const TGuiCustomByteMap& Map) {
  return std::vector<uint8_t>(Map.DataPointer(), Map.DataPointer() + Map.DataSize());
}

void SetBytes(TGuiCustomByteMap& Map, int32_t Width, int32_t Height, const std::vector<uint8_t>& Values) {
  Map.SetSize(Width, Height);
  std::copy(Values.begin(), Values.end(), Map.DataPointer());
}

// The blur written out directly: for each value, the weighted sum over offsets -r..r of the
// edge-clamped neighbours with weights r + 1 - |offset|, divided by (r + 1)^2 and truncated;
// rows first, then columns over the result.
std::vector<uint8_t> ReferenceBlur(std::vector<uint8_t> V, int W, int H, int RH, int RV) {
  auto Pass = [&](int Lines, int Count, int R, auto Index) {
    std::vector<uint8_t> Out(V.size());
    const long DivSum = long(R + 1) * (R + 1);
    for (int l = 0; l < Lines; ++l)
      for (int i = 0; i < Count; ++i) {
        long Sum = 0;
        for (int o = -R; o <= R; ++o)
          Sum += long(V[Index(l, std::clamp(i + o, 0, Count - 1))]) * (R + 1 - std::abs(o));
        Out[Index(l, i)] = static_cast<uint8_t>(Sum / DivSum);
      }
    V = Out;
  };
  Pass(H, W, RH, [&](int y, int x) { return y * W + x; });
  Pass(W, H, RV, [&](int x, int y) { return y * W + x; });
  return V;
}

std::vector<uint8_t> RandomBytes(size_t Count, unsigned Seed) {
  std::mt19937 Rng(Seed);
  std::vector<uint8_t> V(Count);
  for (auto& b : V) b = static_cast<uint8_t>(Rng());
  return V;
}

}  // namespace

TEST(GuiStackBlur, SinglePixelSpreadsIntoTheTriangle) {
  TGuiStackBlurFilter Blur;
  TGuiByteMapMemory Row;
  SetBytes(Row, 5, 1, {0, 0, 255, 0, 0});
  Blur.Filter(Row);
  EXPECT_EQ(Bytes(Row), (std::vector<uint8_t>{0, 63, 127, 63, 0})) << "255 x (1, 2, 1) / 4, truncated";

  TGuiByteMapMemory Square;
  std::vector<uint8_t> V(25, 0);
  V[12] = 255;
  SetBytes(Square, 5, 5, V);
  Blur.Filter(Square);
  EXPECT_EQ(Bytes(Square), (std::vector<uint8_t>{0, 0,  0,  0,  0,
                                                 0, 15, 31, 15, 0,
                                                 0, 31, 63, 31, 0,
                                                 0, 15, 31, 15, 0,
                                                 0, 0,  0,  0,  0}));
}

TEST(GuiStackBlur, MatchesTheWeightedAverage) {
  // 64 x 60 holds radius 50 in both directions; the others test the running sums at small radii.
  for (int R : {1, 2, 7, 50}) {
    SCOPED_TRACE(R);
    const auto V = RandomBytes(64 * 60, 7 + R);
    TGuiByteMapMemory Map;
    SetBytes(Map, 64, 60, V);
    TGuiStackBlurFilter Blur;
    Blur.SetRadius(static_cast<float>(R));
    Blur.Filter(Map);
    EXPECT_EQ(Bytes(Map), ReferenceBlur(V, 64, 60, R, R));
  }
}

TEST(GuiStackBlur, PixelMapBlursAlphaOnly) {
  TGuiPixelMapMemory Map;
  Map.SetSize(5, 1);
  for (int x = 0; x < 5; ++x) Map.DataPointer()[x] = TPixel32{10, 20, 30, uint8_t(x == 2 ? 255 : 0)};
  TGuiStackBlurFilter Blur;
  Blur.Filter(Map);
  const uint8_t Alpha[] = {0, 63, 127, 63, 0};
  for (int x = 0; x < 5; ++x) EXPECT_EQ(Map.Pixel(x, 0), (TPixel32{10, 20, 30, Alpha[x]})) << x;
}

TEST(GuiStackBlur, DegenerateMapsAndRadii) {
  TGuiStackBlurFilter Blur;
  // A single value and a constant map stay as they are for every radius.
  for (float R : {1.0f, 5.0f, 1000.0f, 1e30f}) {
    SCOPED_TRACE(R);
    Blur.SetRadius(R);
    TGuiByteMapMemory One;
    SetBytes(One, 1, 1, {77});
    Blur.Filter(One);
    EXPECT_EQ(One.Value(0, 0), 77);
    TGuiByteMapMemory Flat;
    SetBytes(Flat, 13, 7, std::vector<uint8_t>(91, 200));
    Blur.Filter(Flat);
    EXPECT_EQ(Bytes(Flat), std::vector<uint8_t>(91, 200));
  }
  // An empty map is left alone; a radius that rounds to 0 changes nothing.
  TGuiByteMapMemory Empty;
  Blur.Filter(Empty);
  EXPECT_EQ(Empty.DataPointer(), nullptr);
  Blur.SetRadius(0.4f);
  EXPECT_EQ(Blur.KernelSize(), 0);
  TGuiByteMapMemory Row;
  SetBytes(Row, 3, 1, {0, 255, 0});
  Blur.Filter(Row);
  EXPECT_EQ(Bytes(Row), (std::vector<uint8_t>{0, 255, 0}));
}

TEST(GuiStackBlur, RadiusFarBeyondTheMapIsLimitedToItsLines) {
  // Beyond a line's length a radius only adds weight to the repeated ends: each pass uses the
  // length of its lines.
  const auto V = RandomBytes(9 * 5, 3);
  TGuiByteMapMemory Map;
  SetBytes(Map, 9, 5, V);
  TGuiStackBlurFilter Blur;
  Blur.SetRadius(100000.0f);
  EXPECT_EQ(Blur.KernelSize(), TGuiStackBlurFilter::CMaxKernelSize);
  Blur.Filter(Map);
  EXPECT_EQ(Bytes(Map), ReferenceBlur(V, 9, 5, 9, 5));
}

TEST(GuiStackBlur, LargeRadiiSumBeyond32Bits) {
  // 255 x 3001^2 is above 2^31: 32-bit running sums would wrap.
  const auto V = RandomBytes(6001, 11);
  TGuiByteMapMemory Line;
  SetBytes(Line, 6001, 1, V);
  TGuiStackBlurFilter Blur;
  Blur.SetRadius(3000.0f);
  Blur.Filter(Line);
  EXPECT_EQ(Bytes(Line), ReferenceBlur(V, 6001, 1, 3000, 1));
}

TEST(GuiStackBlur, WorkingMemoryIsKeptPerRadius) {
#if !KVX_COUNT_ALLOCATIONS
  GTEST_SKIP() << "the sanitizers own the allocator; counted in the plain build";
#else
  TGuiByteMapMemory Map;
  SetBytes(Map, 256, 64, RandomBytes(256 * 64, 1));
  TGuiStackBlurFilter Blur;
  for (float R : {1.0f, 8.0f, 50.0f, 1000.0f}) {
    SCOPED_TRACE(R);
    Blur.SetRadius(R);
    gAllocations = 0, gAllocatedBytes = 0, gCounting = true;
    Blur.Filter(Map);
    gCounting = false;
    // Radius 1000 is cut to the lines (256 and 64) and divides without a table: no table of
    // 256 x 1001^2 entries.
    EXPECT_LE(gAllocatedBytes, size_t{3} << 20);
    gAllocations = 0, gCounting = true;
    Blur.Filter(Map);
    Blur.Filter(Map);
    gCounting = false;
    EXPECT_EQ(gAllocations, 0) << "a second blur at the same radius allocates nothing";
  }
#endif
}

TEST(GuiStackBlur, RadiusSetterRefusesValuesNotAboveZero) {
  TGuiStackBlurFilter Blur;
  Blur.SetRadius(2.5f);
  EXPECT_EQ(Blur.KernelSize(), 2) << "2.5 rounds to the even neighbour";
  EXPECT_FLOAT_EQ(Blur.RadiusReciprocal(), 0.4f);
  for (float Bad : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN()}) {
    try {
      Blur.SetRadius(Bad);
      ADD_FAILURE() << "accepted " << Bad;
    } catch (const EArgumentError& E) {
      EXPECT_STREQ(E.what(), "Radius must be larger than zero!");
    }
    EXPECT_EQ(Blur.Radius(), 2.5f);
    EXPECT_EQ(Blur.KernelSize(), 2);
  }
}

TEST(GuiSaturation, LookupTable) {
  TGuiSaturationFilter Filter;
  for (int i = 0; i < 256; ++i) ASSERT_EQ(Filter.LookUpTable()[i], i) << "Value 0 is the identity";
  Filter.SetValue(1.0f);
  EXPECT_EQ(Filter.LookUpTable()[64], 128);
  EXPECT_EQ(Filter.LookUpTable()[128], 192);
  Filter.SetValue(-1.0f);
  EXPECT_LT(Filter.LookUpTable()[128], 128) << "a negative Value lowers the mid intensities";
  // The ends stay fixed whatever the Value, up to the extremes where t rounds to 0 or overflows.
  for (float V : {-1e30f, -5.0f, 0.5f, 2.0f, std::ldexp(1.0f, 52), std::ldexp(1.0f, 60),
                  std::ldexp(1.0f, -126), 1e30f}) {
    SCOPED_TRACE(V);
    Filter.SetValue(V);
    EXPECT_EQ(Filter.LookUpTable()[0], 0);
    EXPECT_EQ(Filter.LookUpTable()[255], 255);
    for (int i = 1; i < 256; ++i) EXPECT_GE(Filter.LookUpTable()[i], Filter.LookUpTable()[i - 1]);
  }
  // A value without a table is the identity.
  Filter.SetValue(std::numeric_limits<float>::infinity());
  EXPECT_EQ(Filter.Value(), 0.0f);
  EXPECT_EQ(Filter.LookUpTable()[100], 100);
}

TEST(GuiSaturation, FiltersEveryByte) {
  TGuiSaturationFilter Filter;
  Filter.SetValue(1.0f);
  TGuiByteMapMemory Bytes;
  SetBytes(Bytes, 2, 1, {64, 128});
  Filter.Filter(Bytes);
  EXPECT_EQ(Bytes.Value(0, 0), 128);
  EXPECT_EQ(Bytes.Value(1, 0), 192);
  TGuiPixelMapMemory Pixels;
  Pixels.SetSize(1, 1);
  Pixels.DataPointer()[0] = TPixel32{64, 128, 0, 255};
  Filter.Filter(Pixels);
  EXPECT_EQ(Pixels.Pixel(0, 0), (TPixel32{128, 192, 0, 255}));
}

TEST(GuiShadow, SettersNotifyOnlyOnChange) {
  TGuiShadow Shadow;
  EXPECT_EQ(Shadow.Offset(), (TPoint{1, 1}));
  EXPECT_EQ(Shadow.Opacity(), 255);
  EXPECT_FALSE(Shadow.Visible());
  int Changes = 0;
  Shadow.SetOnChange([&](TObject* Sender) {
    EXPECT_EQ(Sender, &Shadow);
    ++Changes;
  });
  Shadow.SetBlur(0.0f);
  Shadow.SetOffset(TPoint{1, 1});
  Shadow.SetOpacity(255);
  EXPECT_EQ(Changes, 0);
  Shadow.SetBlur(2.0f);
  Shadow.SetColor(0x123456);
  Shadow.SetOffset(TPoint{3, 4});
  Shadow.SetOffsetX(3);
  Shadow.SetOffsetY(5);
  Shadow.SetOpacity(7);
  Shadow.SetVisible(true);
  Shadow.SetSaturation(1.0f);
  EXPECT_EQ(Changes, 7);
  EXPECT_EQ(Shadow.Offset(), (TPoint{3, 5}));
}

TEST(GuiShadow, BlurRefusesNegativeAndNonFiniteValues) {
  TGuiShadow Shadow;
  Shadow.SetBlur(1.5f);
  const float Inf = std::numeric_limits<float>::infinity();
  const struct {
    float Value;
    const char* Message;
  } Cases[] = {{-1.0f, "Must be positive!"},
               {-0.5f, "Must be positive!"},
               {std::numeric_limits<float>::quiet_NaN(), "Must be finite!"},
               {Inf, "Must be finite!"},
               {-Inf, "Must be finite!"}};
  for (const auto& Case : Cases) {
    try {
      Shadow.SetBlur(Case.Value);
      ADD_FAILURE() << "accepted " << Case.Value;
    } catch (const EArgumentError& E) {
      EXPECT_STREQ(E.what(), Case.Message);
    }
    EXPECT_EQ(Shadow.Blur(), 1.5f);
  }
  Shadow.SetBlur(0.0f);
  EXPECT_EQ(Shadow.Blur(), 0.0f);
}

TEST(GuiShadow, AssignCopiesSettingsAndKeepsTheHandler) {
  int SourceChanges = 0, DestinationChanges = 0;
  TGuiShadow Source, Destination;
  Source.SetBlur(3.0f);
  Source.SetColor(0x00FF00);
  Source.SetOffset(TPoint{-2, 5});
  Source.SetOpacity(99);
  Source.SetVisible(true);
  Source.SetSaturation(-2.0f);
  Source.SetOnChange([&](TObject*) { ++SourceChanges; });
  Destination.SetOnChange([&](TObject*) { ++DestinationChanges; });

  Destination.Assign(Source);
  EXPECT_TRUE(Destination.Equals(Source));
  EXPECT_EQ(DestinationChanges, 1);
  Destination.Assign(Source);
  EXPECT_EQ(DestinationChanges, 1) << "equal settings notify nothing";
  // The destination still reports to its own owner, never to the source's.
  Destination.SetOpacity(1);
  EXPECT_EQ(DestinationChanges, 2);
  EXPECT_EQ(SourceChanges, 0);

  TGuiByteMapMemory NotAShadow;
  EXPECT_THROW(Destination.Assign(NotAShadow), EConvertError);
}
