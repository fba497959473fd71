// kvx_art: renders the editor's artwork from its SVG sources and writes the PNGs the plug-in
// embeds, plus a contact sheet for looking at all of it at once.
//
//   kvx_art <svg-dir> <png-dir> [--sheet <contact-sheet.png>]
//
// librsvg draws every picture and every frame; the frames are stacked, the sheet is assembled
// and everything is encoded with the library's own pixel maps and PNG encoder (8-bit RGBA), so
// the same sources give the same bytes on every run.
#include <cairo.h>
#include <librsvg/rsvg.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "editor/KVX_Artwork.h"
#include "gui/KVX_GuiPixelMap.h"
#include "platform/KVX_Streams.h"
#include "png/KVX_GuiPng.h"

using namespace kvx;

namespace {

struct ArtError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The knob's pointer travels 300 degrees, from 7 o'clock at frame 0 to 5 o'clock at the last.
constexpr double CSweepStart = -150.0;
constexpr double CSweep = 300.0;

double FrameAngle(int32_t Frame, int32_t Count) {
  return CSweepStart + CSweep * Frame / std::max(1, Count - 1);
}

class TSvg {
 public:
  explicit TSvg(const std::string& FileName) {
    GError* error = nullptr;
    // Loading from the file gives librsvg the base for the shared definitions it includes.
    FHandle = rsvg_handle_new_from_file(FileName.c_str(), &error);
    if (!FHandle) Fail("cannot load " + FileName, error);
  }
  static TSvg FromText(const std::string& Text) { return TSvg(Text, 0); }
  TSvg(TSvg&& Other) noexcept : FHandle(Other.FHandle) { Other.FHandle = nullptr; }
  ~TSvg() {
    if (FHandle) g_object_unref(FHandle);
  }

  bool Has(const std::string& Id) const { return rsvg_handle_has_sub(FHandle, ("#" + Id).c_str()); }

  // Renders the element Id (everything when empty) into a Width x Height premultiplied image,
  // turned by Degrees clockwise about the image's centre.
  void Render(cairo_t* Cr, int32_t Width, int32_t Height, const std::string& Id, double Degrees = 0) const {
    cairo_save(Cr);
    if (Degrees != 0) {
      cairo_translate(Cr, Width / 2.0, Height / 2.0);
      cairo_rotate(Cr, Degrees * std::numbers::pi / 180.0);
      cairo_translate(Cr, -Width / 2.0, -Height / 2.0);
    }
    const RsvgRectangle viewport{0, 0, double(Width), double(Height)};
    GError* error = nullptr;
    const gboolean done = Id.empty() ? rsvg_handle_render_document(FHandle, Cr, &viewport, &error)
                                     : rsvg_handle_render_layer(FHandle, Cr, ("#" + Id).c_str(), &viewport, &error);
    cairo_restore(Cr);
    if (!done) Fail("cannot render " + (Id.empty() ? std::string("the document") : "#" + Id), error);
  }

 private:
  TSvg(const std::string& Text, int) {
    GError* error = nullptr;
    FHandle = rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(Text.data()), Text.size(), &error);
    if (!FHandle) Fail("cannot parse generated SVG", error);
  }
  [[noreturn]] static void Fail(const std::string& What, GError* Error) {
    std::string message = What;
    if (Error) {
      message += ": " + std::string(Error->message);
      g_error_free(Error);
    }
    throw ArtError(message);
  }
  RsvgHandle* FHandle = nullptr;
};

// A cairo image surface to draw one picture or frame into.
class TCanvas {
 public:
  TCanvas(int32_t Width, int32_t Height)
      : FWidth(Width), FHeight(Height),
        FSurface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, Width, Height)),
        FCr(cairo_create(FSurface)) {
    if (cairo_status(FCr) != CAIRO_STATUS_SUCCESS) throw ArtError("cannot create a drawing surface");
  }
  ~TCanvas() {
    cairo_destroy(FCr);
    cairo_surface_destroy(FSurface);
  }
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  cairo_t* Cr() { return FCr; }

  // Cairo keeps premultiplied colour; our maps keep straight colour, rounded to the nearest.
  void CopyTo(TGuiCustomPixelMap& Map, int32_t Top) {
    cairo_surface_flush(FSurface);
    const uint8_t* data = cairo_image_surface_get_data(FSurface);
    const int stride = cairo_image_surface_get_stride(FSurface);
    for (int32_t y = 0; y < FHeight; ++y) {
      const uint32_t* src = reinterpret_cast<const uint32_t*>(data + size_t(y) * stride);
      TPixel32* dst = Map.ScanLine(Top + y);
      for (int32_t x = 0; x < FWidth; ++x) {
        const uint32_t p = src[x];
        const uint32_t a = p >> 24;
        if (a == 0) {
          dst[x] = TPixel32{};
          continue;
        }
        auto straight = [a](uint32_t c) { return uint8_t(std::min<uint32_t>(255, (c * 255 + a / 2) / a)); };
        dst[x] = TPixel32{straight(p & 0xFF), straight((p >> 8) & 0xFF), straight((p >> 16) & 0xFF), uint8_t(a)};
      }
    }
  }

 private:
  int32_t FWidth, FHeight;
  cairo_surface_t* FSurface;
  cairo_t* FCr;
};

// One picture: the whole document, or its frames stacked top to bottom. A frame is "base"
// (when present) under "glyph<i>"; a knob is "body" under "turning" turned to the frame's angle.
void RenderPicture(const TSvg& Svg, const TArtworkInfo& Info, TGuiPixelMapMemory& Map) {
  const int32_t frameHeight = Info.Height / Info.GlyphCount;
  Map.SetSize(Info.Width, Info.Height);
  Map.Clear();
  for (int32_t frame = 0; frame < Info.GlyphCount; ++frame) {
    TCanvas canvas(Info.Width, frameHeight);
    if (Info.GlyphCount == 1) {
      Svg.Render(canvas.Cr(), Info.Width, frameHeight, "");
    } else if (Svg.Has("turning")) {
      Svg.Render(canvas.Cr(), Info.Width, frameHeight, "body");
      Svg.Render(canvas.Cr(), Info.Width, frameHeight, "turning", FrameAngle(frame, Info.GlyphCount));
    } else {
      const std::string glyph = "glyph" + std::to_string(frame);
      if (!Svg.Has(glyph)) throw ArtError(std::string(Info.FileName) + ": no #" + glyph);
      if (Svg.Has("base")) Svg.Render(canvas.Cr(), Info.Width, frameHeight, "base");
      Svg.Render(canvas.Cr(), Info.Width, frameHeight, glyph);
    }
    canvas.CopyTo(Map, frame * frameHeight);
  }
}

// The artwork is always 8-bit RGBA, whatever its pixels would allow; the opaque contact sheet
// is stored without alpha.
void SavePng(const TGuiCustomPixelMap& Map, const std::string& FileName, TPngStorageFormat Format = psfRGBA) {
  TPortableNetworkGraphicPixel32 png;
  png.SetStorageFormat(Format);
  png.Assign(Map);
  TMemoryStream stream;
  png.SaveToStream(stream);
  const std::vector<uint8_t>& bytes = stream.Data();
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(FileName.c_str(), "wb"), &std::fclose);
  if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
    throw ArtError("cannot write " + FileName);
}

// ---- the contact sheet ------------------------------------------------------------------------

// One frame of a stitched picture as a map of its own.
void Glyph(const TGuiCustomPixelMap& Strip, const TArtworkInfo& Info, int32_t Index, TGuiPixelMapMemory& Out) {
  const int32_t h = Info.Height / Info.GlyphCount;
  Out.SetSize(Info.Width, h);
  for (int32_t y = 0; y < h; ++y)
    std::memcpy(Out.ScanLine(y), Strip.ScanLine(Index * h + y), sizeof(TPixel32) * Info.Width);
}

// Whole-pixel enlargement, so the sheet shows the actual pixels.
void Enlarge(const TGuiCustomPixelMap& Source, int32_t Factor, TGuiPixelMapMemory& Out) {
  Out.SetSize(Source.Width() * Factor, Source.Height() * Factor);
  for (int32_t y = 0; y < Out.Height(); ++y)
    for (int32_t x = 0; x < Out.Width(); ++x) Out.ScanLine(y)[x] = Source.ScanLine(y / Factor)[x / Factor];
}

// Proportional scale-down into a Width x Height box by area averaging (in premultiplied
// colour), the way a picture that is larger than its box is shown.
void ScaleToFit(const TGuiCustomPixelMap& Source, int32_t Width, int32_t Height, TGuiPixelMapMemory& Out) {
  const double scale = std::min(double(Width) / Source.Width(), double(Height) / Source.Height());
  const int32_t w = std::max(1, int32_t(std::lround(Source.Width() * scale)));
  const int32_t h = std::max(1, int32_t(std::lround(Source.Height() * scale)));
  const double sx = double(Source.Width()) / w, sy = double(Source.Height()) / h;
  Out.SetSize(w, h);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      double acc[4] = {0, 0, 0, 0}, area = 0;
      const double x0 = x * sx, x1 = (x + 1) * sx, y0 = y * sy, y1 = (y + 1) * sy;
      for (int32_t yy = int32_t(y0); yy < std::min<int32_t>(Source.Height(), int32_t(std::ceil(y1))); ++yy) {
        const double wy = std::min<double>(yy + 1, y1) - std::max<double>(yy, y0);
        for (int32_t xx = int32_t(x0); xx < std::min<int32_t>(Source.Width(), int32_t(std::ceil(x1))); ++xx) {
          const double wgt = wy * (std::min<double>(xx + 1, x1) - std::max<double>(xx, x0));
          const TPixel32 p = Source.ScanLine(yy)[xx];
          const double a = p.A / 255.0;
          acc[0] += wgt * p.B * a;
          acc[1] += wgt * p.G * a;
          acc[2] += wgt * p.R * a;
          acc[3] += wgt * a;
          area += wgt;
        }
      }
      TPixel32& d = Out.ScanLine(y)[x];
      const double alpha = acc[3] / area;
      d.A = uint8_t(std::lround(alpha * 255));
      if (d.A == 0) {
        d = TPixel32{};
        continue;
      }
      d.B = uint8_t(std::min(255L, std::lround(acc[0] / acc[3])));
      d.G = uint8_t(std::min(255L, std::lround(acc[1] / acc[3])));
      d.R = uint8_t(std::min(255L, std::lround(acc[2] / acc[3])));
    }
  }
}

// Renders a snippet of SVG (sheet captions, the editor's own texts) into a map.
void RenderSnippet(const std::string& Body, int32_t Width, int32_t Height, TGuiPixelMapMemory& Out) {
  const std::string text = "<svg xmlns='http://www.w3.org/2000/svg' width='" + std::to_string(Width) +
                           "' height='" + std::to_string(Height) + "'>" + Body + "</svg>";
  const TSvg svg = TSvg::FromText(text);
  TCanvas canvas(Width, Height);
  svg.Render(canvas.Cr(), Width, Height, "");
  Out.SetSize(Width, Height);
  canvas.CopyTo(Out, 0);
}

std::string Escape(const std::string& Text) {
  std::string out;
  for (char c : Text) {
    if (c == '<') out += "&lt;";
    else if (c == '&') out += "&amp;";
    else out += c;
  }
  return out;
}

class TSheet {
 public:
  TSheet(int32_t Width, int32_t Height) {
    FMap.SetSize(Width, Height);
    FMap.Clear(TPixel32{0x2A, 0x27, 0x26, 0xFF});
  }
  TGuiPixelMapMemory& Map() { return FMap; }

  void Caption(int32_t X, int32_t Y, const std::string& Text, int32_t Size = 13) {
    TGuiPixelMapMemory text;
    const int32_t width = int32_t(Text.size()) * Size + 8;
    RenderSnippet("<text x='0' y='" + std::to_string(Size) + "' font-family='DejaVu Sans' font-size='" +
                      std::to_string(Size) + "' fill='#D8D4CC'>" + Escape(Text) + "</text>",
                  width, Size + 5, text);
    FMap.Draw(text, X, Y);
  }
  // A checkerboard under a transparent picture, so its edges and shadows show.
  void Checker(int32_t X, int32_t Y, int32_t Width, int32_t Height) {
    for (int32_t y = std::max(0, -Y); y < std::min(Height, FMap.Height() - Y); ++y)
      for (int32_t x = std::max(0, -X); x < std::min(Width, FMap.Width() - X); ++x)
        FMap.ScanLine(Y + y)[X + x] = ((x / 6 + y / 6) & 1) ? TPixel32{0x5A, 0x5A, 0x5A, 0xFF}
                                                             : TPixel32{0x78, 0x78, 0x78, 0xFF};
  }
  void Picture(const TGuiCustomPixelMap& Map, int32_t X, int32_t Y, bool Checkered) {
    if (Checkered) Checker(X, Y, Map.Width(), Map.Height());
    FMap.Draw(Map, X, Y);
  }

 private:
  TGuiPixelMapMemory FMap;
};

struct TPictures {
  TGuiPixelMapMemory Maps[apCount];
  const TGuiCustomPixelMap& operator[](TArtworkPicture P) const { return Maps[P]; }
};

// A face with its controls at the glyphs the editor shows for the parameters' defaults, laid
// over at their positions in the editor window, with stand-ins for the texts and the slider
// the editor draws itself.
void Composite(const TPictures& Pics, bool Front, TGuiPixelMapMemory& Out) {
  Out.Assign(Pics[Front ? apFront : apBack]);
  auto place = [&](TArtworkPicture P, int32_t Index, int32_t X, int32_t Y) {
    TGuiPixelMapMemory g;
    Glyph(Pics[P], ArtworkInfo(P), Index, g);
    Out.Draw(g, X, Y);
  };
  TGuiPixelMapMemory scaled, texts;
  if (Front) {
    place(apKnob, 0, 31, 37);    // Level 0 of 0..100
    place(apKnob, 50, 163, 37);  // Output 0 of -100..100
    place(apKnob, 50, 97, 37);   // Tone 0 of -15..15
    place(apButton, 0, 80, 201);
    ScaleToFit(Pics[apLEDOn], 35, 35, scaled);
    Out.Draw(scaled, 194, 89);
    Out.Draw(Pics[apArrowFront], 118, 296);
    RenderSnippet(
        "<g font-family='DejaVu Sans Mono' fill='#FFFFFF'>"
        "<text x='189' y='188' text-anchor='middle' font-size='13' font-weight='bold'>by KVX</text>"
        "<text x='8' y='335' font-size='8.5'>INPUT LEVEL 0dB</text></g>"
        "<rect x='9' y='338' width='235' height='7' rx='3.5' fill='#FFFFFF'/>"
        "<rect x='9' y='338' width='117.5' height='7' rx='3.5' fill='#6A9B72'/>",
        254, 353, texts);
  } else {
    place(apSwitch2, 0, 19, 197);   // Stereo 0: mono
    place(apKnob2, 99, 43, 62);     // Drive 100 of 0..100
    place(apSwitch2, 0, 128, 134);  // Symmetric 1: glyph 0
    place(apSwitch3, 0, 128, 64);   // Oversampling 1x
    place(apSwitch2, 0, 19, 134);   // Mode 0
    Out.Draw(Pics[apArrowBack], 118, 296);
    RenderSnippet(
        "<text x='126.5' y='283' text-anchor='middle' font-family='DejaVu Sans Mono' font-size='13' "
        "font-weight='bold' fill='#FFFFFF'>www.kvx.example</text>",
        254, 353, texts);
  }
  Out.Draw(texts, 0, 0);
}

void BuildSheet(const TPictures& Pics, const std::string& FileName) {
  const int32_t pad = 16, capH = 22;
  TSheet sheet(4 * 254 + 5 * pad, 1844);
  int32_t y = pad;
  const char* faceCaptions[4] = {"front face", "back face", "front with controls", "back with controls"};
  TGuiPixelMapMemory comp[2];
  Composite(Pics, true, comp[0]);
  Composite(Pics, false, comp[1]);
  const TGuiCustomPixelMap* faces[4] = {&Pics[apFront], &Pics[apBack], &comp[0], &comp[1]};
  for (int i = 0; i < 4; ++i) {
    sheet.Caption(pad + i * (254 + pad), y, faceCaptions[i]);
    sheet.Picture(*faces[i], pad + i * (254 + pad), y + capH, false);
  }
  y += capH + 353 + pad;

  TGuiPixelMapMemory big;
  for (int i = 0; i < 2; ++i) {
    Enlarge(*faces[i], 2, big);
    sheet.Caption(pad + i * (508 + pad), y, std::string(faceCaptions[i]) + ", 2x");
    sheet.Picture(big, pad + i * (508 + pad), y + capH, false);
  }
  y += capH + 706 + pad;

  // Every 10th frame of both knobs and the last one.
  for (TArtworkPicture knob : {apKnob, apKnob2}) {
    const TArtworkInfo& info = ArtworkInfo(knob);
    sheet.Caption(pad, y, std::string(info.DisplayName) + ": frames 0, 10, ... 90, 99");
    int32_t x = pad;
    TGuiPixelMapMemory g;
    for (int32_t f = 0; f < info.GlyphCount; f += 10) {
      Glyph(Pics[knob], info, f, g);
      sheet.Picture(g, x, y + capH, true);
      x += g.Width() + 8;
    }
    Glyph(Pics[knob], info, info.GlyphCount - 1, g);
    sheet.Picture(g, x, y + capH, true);
    y += capH + info.Height / info.GlyphCount + pad;
  }

  // Button, switches, the LEDs as the editor shows them, and the arrows.
  sheet.Caption(pad, y, "Button 0, 1  |  Switch2 0, 1  |  Switch3 0, 1, 2  |  LEDs at 35 and 9  |  arrows 1:1 and 2x");
  int32_t x = pad;
  const int32_t rowTop = y + capH;
  TGuiPixelMapMemory g;
  for (TArtworkPicture p : {apButton, apSwitch2, apSwitch3}) {
    const TArtworkInfo& info = ArtworkInfo(p);
    for (int32_t f = 0; f < info.GlyphCount; ++f) {
      Glyph(Pics[p], info, f, g);
      sheet.Picture(g, x, rowTop, true);
      x += g.Width() + 8;
    }
    x += pad;
  }
  ScaleToFit(Pics[apLEDOn], 35, 35, g);
  sheet.Picture(g, x, rowTop, true);
  ScaleToFit(Pics[apLEDOff], 9, 9, g);
  sheet.Picture(g, x + 13, rowTop + 45, true);
  x += 35 + 2 * pad;
  for (TArtworkPicture p : {apArrowFront, apArrowBack}) {
    sheet.Picture(Pics[p], x, rowTop, true);
    Enlarge(Pics[p], 2, g);
    sheet.Picture(g, x, rowTop + 24, true);
    x += 36 + pad;
  }
  y = rowTop + 94 + pad;

  sheet.Caption(pad, y, "LEDs 1:1: lit 256 x 256, unlit 297 x 298");
  sheet.Picture(Pics[apLEDOn], pad, y + capH, true);
  sheet.Picture(Pics[apLEDOff], pad + 256 + pad, y + capH, true);
  SavePng(sheet.Map(), FileName, psfRGB);
}

int Run(int argc, char** argv) {
  if (argc != 3 && !(argc == 5 && std::strcmp(argv[3], "--sheet") == 0)) {
    std::fprintf(stderr, "usage: %s <svg-dir> <png-dir> [--sheet <contact-sheet.png>]\n", argv[0]);
    return 2;
  }
  const std::string svgDir = argv[1], pngDir = argv[2];
  TPictures pics;
  for (int32_t i = 0; i < apCount; ++i) {
    const TArtworkInfo& info = ArtworkInfo(TArtworkPicture(i));
    std::string stem = info.FileName;
    stem.resize(stem.size() - 4);
    const TSvg svg(svgDir + "/" + stem + ".svg");
    RenderPicture(svg, info, pics.Maps[i]);
    SavePng(pics.Maps[i], pngDir + "/" + info.FileName);
  }
  if (argc == 5) BuildSheet(pics, argv[4]);
  return 0;
}

}  // namespace

// fontconfig, which librsvg reaches through Pango for the label text, keeps its configuration
// until the process ends; a leak-checking build is told so, and checks everything else.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kvx_art: %s\n", e.what());
    return 1;
  }
}
