#include "platform/KVX_ExtCtrls.h"

#include <algorithm>
#include <vector>

namespace kvx {

// ---- TPanel ----------------------------------------------------------------------------------

TPanel::TPanel(TComponent* AOwner) : TCustomControl(AOwner) {
  FControlStyle.Include(csAcceptsControls);
  FControlStyle.Exclude(csSetCaption);
}

void TPanel::SetBevelOuter(TBevelCut Value) {
  if (Value == FBevelOuter) return;
  FBevelOuter = Value;
  Invalidate();
}

void TPanel::SetBevelInner(TBevelCut Value) {
  if (Value == FBevelInner) return;
  FBevelInner = Value;
  Invalidate();
}

void TPanel::Paint() {
  // One-pixel bevels: light on the top and left edges of a raised cut, dark on the others.
  TRect R = ClientRect();
  for (TBevelCut Cut : {FBevelOuter, FBevelInner}) {
    if (Cut == bvNone) continue;
    if (Cut != bvSpace) {
      const TColor TopLeft = Cut == bvRaised ? SysColor(COLOR_BTNHIGHLIGHT) : clBtnShadow;
      const TColor BottomRight = Cut == bvRaised ? clBtnShadow : SysColor(COLOR_BTNHIGHLIGHT);
      Canvas().FillRect(TRect{R.Left, R.Top, R.Right, R.Top + 1}, TopLeft);
      Canvas().FillRect(TRect{R.Left, R.Top, R.Left + 1, R.Bottom}, TopLeft);
      Canvas().FillRect(TRect{R.Left, R.Bottom - 1, R.Right, R.Bottom}, BottomRight);
      Canvas().FillRect(TRect{R.Right - 1, R.Top, R.Right, R.Bottom}, BottomRight);
    }
    R = TRect{R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1};
  }
}

bool TPanel::CanAutoSize(int32_t& NewWidth, int32_t& NewHeight) {
  return CanAutoSizeToControls(NewWidth, NewHeight);
}

void TPanel::ControlsChanged() { AdjustSize(); }

// ---- TPicture --------------------------------------------------------------------------------

namespace {

std::vector<TPictureLoader>& Loaders() {
  static std::vector<TPictureLoader> List;
  return List;
}

}  // namespace

void RegisterPictureLoader(TPictureLoader Loader) {
  auto& L = Loaders();
  if (Loader != nullptr && std::find(L.begin(), L.end(), Loader) == L.end()) L.push_back(Loader);
}

void TPicture::Changed() {
  if (OnChange) OnChange(this);
}

void TPicture::SetBitmap(const TBitmap& Value) {
  if (Value.PixelFormat() == pf32bit) {
    FBitmap.Assign(Value);
  } else {
    FBitmap.SetPixelFormat(pf32bit);
    FBitmap.SetSize(Value.Width(), Value.Height());
    FBitmap.Canvas().CopyRect(0, 0, Value.Surface(), TRect{0, 0, Value.Width(), Value.Height()});
  }
  Changed();
}

void TPicture::LoadFromStream(TStream& Stream) {
  const int64_t Start = Stream.Position();
  for (TPictureLoader Loader : Loaders()) {
    Stream.SetPosition(Start);
    TBitmap Decoded;
    if (Loader(Stream, Decoded)) {
      SetBitmap(Decoded);
      return;
    }
  }
  Stream.SetPosition(Start);
  throw EInvalidOperation("Unknown picture format");
}

void TPicture::Assign(const TPersistent& Source) {
  if (const auto* P = dynamic_cast<const TPicture*>(&Source)) {
    if (P != this) SetBitmap(P->FBitmap);
    return;
  }
  if (const auto* B = dynamic_cast<const TBitmap*>(&Source)) {
    SetBitmap(*B);
    return;
  }
  TPersistent::Assign(Source);
}

// ---- TImage ----------------------------------------------------------------------------------

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner) {
  FPicture.OnChange = [this](TObject*) { PictureChanged(); };
  SetBounds(0, 0, 105, 105);
}

void TImage::SetTransparent(bool Value) {
  if (Value == FTransparent) return;
  FTransparent = Value;
  Invalidate();
}

void TImage::SetProportional(bool Value) {
  if (Value == FProportional) return;
  FProportional = Value;
  PictureChanged();
}

void TImage::SetStretch(bool Value) {
  if (Value == FStretch) return;
  FStretch = Value;
  PictureChanged();
}

void TImage::SetCenter(bool Value) {
  if (Value == FCenter) return;
  FCenter = Value;
  Invalidate();
}

void TImage::PictureChanged() {
  FScaledValid = false;
  AdjustSize();
  Invalidate();
}

void TImage::Resize() {
  FScaledValid = false;
  TGraphicControl::Resize();
}

bool TImage::CanAutoSize(int32_t& NewWidth, int32_t& NewHeight) {
  if (FPicture.Width() == 0 || FPicture.Height() == 0) return false;
  NewWidth = FPicture.Width();
  NewHeight = FPicture.Height();
  return true;
}

TRect TImage::DestRect() const {
  const int64_t W = FPicture.Width(), H = FPicture.Height();
  const int64_t CW = ClientWidth(), CH = ClientHeight();
  int64_t DW = W, DH = H;
  if (W > 0 && H > 0) {
    const bool Fit = FStretch || (FProportional && (W > CW || H > CH));
    if (Fit && (FProportional || !FStretch)) {
      // The larger side ratio decides; the other side rounded, at least one pixel.
      if (W * CH > H * CW) {
        DW = CW;
        DH = std::max<int64_t>(1, (H * CW + W / 2) / W);
      } else {
        DH = CH;
        DW = std::max<int64_t>(1, (W * CH + H / 2) / H);
      }
    } else if (Fit) {
      DW = CW;
      DH = CH;
    }
  }
  int64_t X = 0, Y = 0;
  if (FCenter) {
    X = (CW - DW) / 2;
    Y = (CH - DH) / 2;
  }
  return Bounds(static_cast<int32_t>(X), static_cast<int32_t>(Y), static_cast<int32_t>(DW),
                static_cast<int32_t>(DH));
}

const TBitmap& TImage::Scaled() {
  const TRect D = DestRect();
  const TBitmap& Source = FPicture.Bitmap();
  if (D.Width() == Source.Width() && D.Height() == Source.Height()) return Source;
  if (!FScaledValid || FScaled.Width() != D.Width() || FScaled.Height() != D.Height()) {
    FScaled.SetPixelFormat(pf32bit);
    FScaled.SetSize(D.Width(), D.Height());
    ScaleBitmapBox(Source, FScaled);
    FScaledValid = true;
  }
  return FScaled;
}

void TImage::Paint() {
  if (!FTransparent) Canvas().FillRect(ClientRect(), Color());
  if (FPicture.Width() == 0 || FPicture.Height() == 0) return;
  const TBitmap& B = Scaled();
  const TRect D = DestRect();
  Canvas().BlendRect(D.Left, D.Top, B.Surface(), TRect{0, 0, B.Width(), B.Height()});
}

// ---- scaling ---------------------------------------------------------------------------------

namespace {

struct TTap {
  int32_t Index;
  double Weight;
};

// For every destination cell the source cells it covers and by how much.
std::vector<std::vector<TTap>> BoxTaps(int32_t SourceSize, int32_t DestSize) {
  std::vector<std::vector<TTap>> Taps(static_cast<size_t>(DestSize));
  const double Scale = static_cast<double>(SourceSize) / DestSize;
  for (int32_t d = 0; d < DestSize; ++d) {
    const double From = d * Scale, To = (d + 1) * Scale;
    for (int32_t s = static_cast<int32_t>(From); s < SourceSize && s < To; ++s) {
      const double W = std::min<double>(To, s + 1) - std::max<double>(From, s);
      if (W > 0) Taps[static_cast<size_t>(d)].push_back(TTap{s, W});
    }
  }
  return Taps;
}

}  // namespace

void ScaleBitmapBox(const TBitmap& Source, TBitmap& Dest) {
  if (Source.Empty() || Dest.Empty() || Source.PixelFormat() != pf32bit || Dest.PixelFormat() != pf32bit)
    return;
  const auto XTaps = BoxTaps(Source.Width(), Dest.Width());
  const auto YTaps = BoxTaps(Source.Height(), Dest.Height());
  for (int32_t y = 0; y < Dest.Height(); ++y) {
    uint8_t* Out = Dest.ScanLine(y);
    for (int32_t x = 0; x < Dest.Width(); ++x, Out += 4) {
      double A = 0, B = 0, G = 0, R = 0, Area = 0;
      for (const TTap& Ty : YTaps[static_cast<size_t>(y)]) {
        const uint8_t* Row = Source.ScanLine(Ty.Index);
        for (const TTap& Tx : XTaps[static_cast<size_t>(x)]) {
          const uint8_t* P = Row + static_cast<size_t>(Tx.Index) * 4;
          const double W = Tx.Weight * Ty.Weight;
          const double Wa = W * P[3];
          B += Wa * P[0];
          G += Wa * P[1];
          R += Wa * P[2];
          A += Wa;
          Area += W;
        }
      }
      if (A <= 0 || Area <= 0) {
        Out[0] = Out[1] = Out[2] = Out[3] = 0;
        continue;
      }
      auto Byte = [](double v) { return static_cast<uint8_t>(std::clamp(v + 0.5, 0.0, 255.0)); };
      Out[0] = Byte(B / A);
      Out[1] = Byte(G / A);
      Out[2] = Byte(R / A);
      Out[3] = Byte(A / Area);
    }
  }
}

}  // namespace kvx
