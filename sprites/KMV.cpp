#include "sprites/KMV.h"

#include <cstring>

#include "engine/Kss.h"
#include "platform/gdi/Gdi.h"
#include "sprites/Cut.h"

namespace sprites {

using namespace ddraw;

TKMV::TKMV(vcl::TComponent* AOwner) : TSprite(AOwner), FDibBitmap(std::make_unique<vcl::TBitmap>()) {}

TKMV::~TKMV() {
  for (std::int32_t i = 0; i < kMaxFrames; ++i) DropFrame(i);
}

IDirectDrawSurface* TKMV::Surface(std::int32_t Index) const {
  return Index >= 0 && Index < kMaxFrames ? FpSurface[static_cast<std::size_t>(Index)] : nullptr;
}

void TKMV::DropFrame(std::int32_t Index) {
  if (Index < 0 || Index >= kMaxFrames) return;
  IDirectDrawSurface*& entry = FpSurface[static_cast<std::size_t>(Index)];
  if (entry) {
    entry->Release();
    entry = nullptr;
  }
}

// --- scaling setters ----------------------------------------------------------------------------

void TKMV::SetYOffsetFrame(std::int32_t Value) {
  FYOffsetFrame = Value;
  if (!FStretching) return;
  FKss = Engine();
  if (!FKss) {
    FStretchWidth = Picture()->Width();
    FStretchHeight = Value;
    Report("FDD==NULL");
    return;
  }
  FStretchWidth = Scaled(Picture()->Width(), FKss->WidthScreen(), kDesignWidth);
  FStretchHeight = Scaled(Value, FKss->HeightScreen(), kDesignHeight);
}

void TKMV::SetFDibBitmap(const vcl::TBitmap* Value) {
  if (!Value) return;
  *FDibBitmap = *Value;  // the pixels are shared until one side writes
  FDibLoaded = true;
}

// --- set-up -------------------------------------------------------------------------------------

const vcl::TGraphic* TKMV::StripSource() const {
  if (FJpeg) return FDibBitmap.get();
  return Picture()->Graphic();
}

void TKMV::FillFrame(HDC dc, std::int32_t Index, vcl::TBitmap& scratch) {
  const vcl::TGraphic* source = StripSource();
  if (!source) return;
  const std::int64_t top = std::int64_t{Index} * FYOffsetFrame, bottom = top + FYOffsetFrame;
  if (bottom > INT32_MAX) return;
  FBandRect = vcl::Rect(0, static_cast<std::int32_t>(top), Picture()->Width(), static_cast<std::int32_t>(bottom));
  const vcl::TRect scratchRect = vcl::Rect(0, 0, scratch.Width(), scratch.Height());
  vcl::TCanvas* scratchCanvas = scratch.Canvas();
  if (source->Width() < FBandRect.Right || source->Height() < FBandRect.Bottom) {
    // A band the source does not wholly cover shows black where it has no pixels.
    for (std::int32_t y = 0; y < scratch.Height(); ++y)
      std::memset(scratch.ScanLine(y), 0, static_cast<std::size_t>(scratch.Width()) * 4);
  }
  scratchCanvas->CopyRect(scratchRect, *source, FBandRect);
  if (FScratchCanvas && FScratchCanvas->Handle() == dc) {
    FScratchCanvas->StretchDraw(FSurfaceRect, &scratch);
  } else {
    vcl::TCanvas surfaceCanvas;
    surfaceCanvas.SetHandle(dc);
    surfaceCanvas.StretchDraw(FSurfaceRect, &scratch);
  }
}

void TKMV::CreateDXMovie() {
  for (std::int32_t i = 0; i < kMaxFrames; ++i) DropFrame(i);  // cut again: old frames must not leak
  if (!BorrowDisplay()) return;

  // A negative height defines no frames either.
  if (FYOffsetFrame <= 0) return Report("Not defined OriginalHeight");
  const std::int32_t pictureWidth = Picture()->Width(), pictureHeight = Picture()->Height();
  FCountFrame = pictureHeight / FYOffsetFrame;
  if (FCountFrame > kMaxFrames) {
    FCountFrame = 0;
    return Report("TOO match sprites");
  }
  FFrameWidth = FStretching ? FStretchWidth : pictureWidth;
  FFrameHeight = FStretching ? FStretchHeight : FYOffsetFrame;

  const vcl::TGraphic* graphic = Picture()->Graphic();
  FJpeg = graphic && std::strcmp(graphic->ClassName(), "TJPEGImage") == 0;
  if (FJpeg && !FDibLoaded) return Report("not loaded DIB BMP");
  if (FCountFrame <= 0) return;

  // Both fit: a frame lies inside a picture, and pictures are bounded.
  FScratchBitmap = std::make_unique<vcl::TBitmap>(pictureWidth, FYOffsetFrame);
  FScratchCanvas = std::make_unique<vcl::TCanvas>();
  FScratchRect = vcl::Rect(0, 0, pictureWidth, FYOffsetFrame);
  FSurfaceRect = vcl::Rect(0, 0, FFrameWidth, FFrameHeight);
  for (std::int32_t i = 0; i < FCountFrame; ++i) Create1Surface(i, FFrameWidth, FFrameHeight);
  FScratchCanvas.reset();
  FScratchBitmap.reset();
}

void TKMV::Create1Surface(std::int32_t Index, std::int32_t Width, std::int32_t Height) {
  if (Index < 0 || Index >= kMaxFrames) return;  // there is no such entry
  DropFrame(Index);
  IDirectDrawSurface*& entry = FpSurface[static_cast<std::size_t>(Index)];
  FResult = FDD && SurfaceSizeAllowed(Width, Height) ? DD_OK : DDERR_INVALIDPARAMS;
  if (FResult == DD_OK) {
    const DDSURFACEDESC desc = OffscreenDesc(Width, Height);
    FResult = FDD->CreateSurface(&desc, &entry, nullptr);
  }
  if (FResult != DD_OK) {
    DropFrame(Index);
    return Report("Error CreateSurfaceMOV");
  }
  HDC dc = nullptr;
  FResult = entry->GetDC(&dc);
  if (FResult != DD_OK) {
    DropFrame(Index);
    return Report("Error FpSurface->GetDC (MOV)");
  }
  if (FScratchCanvas) FScratchCanvas->SetHandle(dc);
  FSurfaceRect = vcl::Rect(0, 0, Width, Height);
  if (FScratchBitmap) {
    FillFrame(dc, Index, *FScratchBitmap);
  } else if (vcl::PictureSizeAllowed(Picture()->Width(), FYOffsetFrame)) {
    vcl::TBitmap scratch(Picture()->Width(), FYOffsetFrame);  // called on its own, outside a cut
    FillFrame(dc, Index, scratch);
  }
  entry->ReleaseDC(dc);
}

// --- colour keys --------------------------------------------------------------------------------

void TKMV::SetTransparency(bool Value) {
  if (FCountFrame <= 0) return;
  if (Value) {
    FBltFlags = DDBLTFAST_SRCCOLORKEY;
    const std::int32_t count = FCountFrame < kMaxFrames ? FCountFrame : kMaxFrames;
    for (std::int32_t i = 0; i < count; ++i) DDSetColorKey(FpSurface[static_cast<std::size_t>(i)], gdi::CLR_INVALID, i);
    FTransparency = true;
  } else {
    FBltFlags = DDBLTFAST_NOCOLORKEY;
    FTransparency = false;
  }
}

void TKMV::DDSetColorKey(IDirectDrawSurface* Surface, std::uint32_t Color, std::int32_t Index) {
  if (!Surface) return;
  const std::uint32_t key = DDColorMatch(Surface, Color);
  const DDCOLORKEY colorKey{key, key};
  FResult = Surface->SetColorKey(DDCKEY_SRCBLT, &colorKey);
  if (FResult != DD_OK) {
    if (this->Surface(Index) == Surface) DropFrame(Index);  // that frame is gone for good
    Report("Error SetColorKey (ANI)");
  }
}

std::uint32_t TKMV::DDColorMatch(IDirectDrawSurface* Surface, std::uint32_t Color) {
  if (!Surface) return 0xFFFFFFFFu;
  gdi::COLORREF saved = 0;
  bool written = false;
  HDC dc = nullptr;
  if (Color != gdi::CLR_INVALID && Surface->GetDC(&dc) == DD_OK) {
    saved = gdi::GetPixel(dc, 0, 0);
    gdi::SetPixel(dc, 0, 0, Color);
    written = true;
    Surface->ReleaseDC(dc);
  }

  std::uint32_t value = 0xFFFFFFFFu;
  DDSURFACEDESC desc{};
  HRESULT result = Surface->Lock(nullptr, &desc, 0, nullptr);
  for (int i = 0; result == DDERR_WASSTILLDRAWING && i < kStillDrawingRetries; ++i)
    result = Surface->Lock(nullptr, &desc, 0, nullptr);
  if (result == DD_OK) {
    if (desc.lpSurface) {
      std::memcpy(&value, desc.lpSurface, sizeof value);
      const std::uint32_t bits = desc.ddpfPixelFormat.dwRGBBitCount;
      if (bits > 0 && bits < 32) value &= (1u << bits) - 1u;
    }
    Surface->Unlock(nullptr);
  }

  if (written && Surface->GetDC(&dc) == DD_OK) {
    gdi::SetPixel(dc, 0, 0, saved);
    Surface->ReleaseDC(dc);
  }
  return value;
}

// --- frames -------------------------------------------------------------------------------------

void TKMV::DrawMovie() {
  if (FDDPRIM && FDDPRIM->IsLost() == DDERR_SURFACELOST) return Report("Lost surface");
  FSrcRect.left = 0;
  FSrcRect.top = 0;
  FSrcRect.right = FStretching ? FStretchWidth : Picture()->Width();
  FSrcRect.bottom = FStretching ? FStretchHeight : FYOffsetFrame;
  DrawImageFunc();
}

void TKMV::DrawImageFunc() {
  if (!FDDBACK) return;  // never cut, or closed: nothing to draw and nothing to report
  FKss = Engine();
  if (!FKss) return Report("FDD==NULL");
  // Only entries of the cut strip are ever read; any other NumberFrame names no surface.
  IDirectDrawSurface* source = FNumberFrame >= 0 && FNumberFrame < FCountFrame ? Surface(FNumberFrame) : nullptr;
  const CutBlit blit = BlitCut(FDDBACK, source, FShowX, FShowY, FSrcRect, FBltFlags, FKss->Width(), FKss->Height());
  if (!blit.Drawn) return;
  FResult = blit.Result;
  if (FResult == DD_OK) return;
  if (FResult == DDERR_SURFACELOST) return Report("Lost surface");
  Report("Error FDDBACK->BltFast (MOV) err #", BltErrorName(FResult));
}

// --- restore and close --------------------------------------------------------------------------

void TKMV::RestoreSurfaces() {
  const std::int32_t count = FCountFrame < kMaxFrames ? FCountFrame : kMaxFrames;
  std::unique_ptr<vcl::TBitmap> scratch;
  FSurfaceRect = vcl::Rect(0, 0, FFrameWidth, FFrameHeight);
  for (std::int32_t i = 0; i < count; ++i) {
    IDirectDrawSurface* entry = FpSurface[static_cast<std::size_t>(i)];
    if (!entry) continue;
    FResult = entry->Restore();
    if (FResult != DD_OK) return Report("Can't restore surface TKMV");
    HDC dc = nullptr;
    FResult = entry->GetDC(&dc);
    if (FResult != DD_OK) {
      DropFrame(i);
      Report("Error FpSurface->GetDC (RestoreSurfaces)");
      continue;
    }
    if (!scratch && vcl::PictureSizeAllowed(Picture()->Width(), FYOffsetFrame))
      scratch = std::make_unique<vcl::TBitmap>(Picture()->Width(), FYOffsetFrame);
    if (scratch) FillFrame(dc, i, *scratch);
    entry->ReleaseDC(dc);
  }
}

void TKMV::CloseDXMovie() {
  for (std::int32_t i = 0; i < kMaxFrames; ++i) DropFrame(i);
  // The engine releases its objects right after this: the borrowed references must not outlive them.
  FDD = nullptr;
  FDDBACK = nullptr;
  FDDPRIM = nullptr;
}

}  // namespace sprites
