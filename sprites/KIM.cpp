#include "sprites/KIM.h"

#include "engine/Kss.h"
#include "sprites/Cut.h"

namespace sprites {

using namespace ddraw;

TKIM::TKIM(vcl::TComponent* AOwner) : TSprite(AOwner) {}

TKIM::~TKIM() { DropSurface(); }

void TKIM::DropSurface() {
  if (FpSurface) {
    FpSurface->Release();
    FpSurface = nullptr;
  }
}

// --- scaling setters ----------------------------------------------------------------------------

void TKIM::SetOriginalWidth(std::int32_t Value) {
  FOriginalWidth = Value;
  FStretchWidth = ToScreen(Value, true);
}

void TKIM::SetOriginalHeight(std::int32_t Value) {
  FOriginalHeight = Value;
  FStretchHeight = ToScreen(Value, false);
}

// --- set-up -------------------------------------------------------------------------------------

void TKIM::DrawPictureInto(HDC dc) {
  vcl::TCanvas canvas;
  canvas.SetHandle(dc);
  const vcl::TGraphic* graphic = Picture()->Graphic();
  if (FStretching)
    canvas.StretchDraw(vcl::Rect(0, 0, FStretchWidth, FStretchHeight), graphic);
  else
    canvas.Draw(0, 0, graphic);
}

void TKIM::CreateDXImage() {
  DropSurface();  // made again: the old surface must not leak
  if (!BorrowDisplay()) return;

  const std::int32_t width = FStretching ? FStretchWidth : Picture()->Width();
  const std::int32_t height = FStretching ? FStretchHeight : Picture()->Height();
  // A size no picture may have is refused here, before the display is asked for the memory.
  FResult = SurfaceSizeAllowed(width, height) ? DD_OK : DDERR_INVALIDPARAMS;
  if (FResult == DD_OK) {
    const DDSURFACEDESC desc = OffscreenDesc(width, height);
    FResult = FDD->CreateSurface(&desc, &FpSurface, nullptr);
  }
  if (FResult != DD_OK) {
    DropSurface();
    return Report("eCreateSurfaceKIM");
  }

  HDC dc = nullptr;
  FResult = FpSurface->GetDC(&dc);
  if (FResult != DD_OK) {
    DropSurface();
    return Report("eFpSurface->GetDC (KIM)");
  }
  DrawPictureInto(dc);
  FpSurface->ReleaseDC(dc);
}

void TKIM::SetTransparency(bool Value) {
  if (!FpSurface) return Report("eFpSurface==NULL");
  if (!FDDBACK) return Report("eFDDBACK==NULL");
  if (Value) {
    FBltFlags = DDBLTFAST_SRCCOLORKEY;
    const DDCOLORKEY key{0, 0};  // exactly the pixel value 0: black
    FResult = FpSurface->SetColorKey(DDCKEY_SRCBLT, &key);
    FTransparency = true;
    if (FResult != DD_OK) {
      DropSurface();
      Report("eSetColorKey (KIM)");
    }
  } else {
    FBltFlags = DDBLTFAST_NOCOLORKEY;
    FTransparency = false;
  }
}

// --- frames -------------------------------------------------------------------------------------

void TKIM::DrawImage() {
  if (FDDPRIM && FDDPRIM->IsLost() == DDERR_SURFACELOST) return Report("Lost surface");
  FSrcRect.left = 0;
  FSrcRect.top = 0;
  FSrcRect.right = FStretching ? FStretchWidth : Picture()->Width();
  FSrcRect.bottom = FStretching ? FStretchHeight : Picture()->Height();
  DrawImageFunc();
}

void TKIM::DrawImageFunc() {
  FKss = Engine();
  if (!FKss) return Report("FDD==NULL");
  if (!FpSurface) return Report("eFpSurface==NULL");
  if (!FDDBACK) return Report("eFDDBACK==NULL");
  const CutBlit blit = BlitCut(FDDBACK, FpSurface, FShowX, FShowY, FSrcRect, FBltFlags, FKss->Width(), FKss->Height());
  if (!blit.Drawn) return;
  FResult = blit.Result;
  if (FResult == DD_OK) return;
  if (FResult == DDERR_SURFACELOST) return Report("Lost surface");
  Report("Error FDDBACK->BltFast (BMP) err #", BltErrorName(FResult));
}

// --- restore and close --------------------------------------------------------------------------

void TKIM::RestoreSurface() {
  if (!FpSurface) return;
  FResult = FpSurface->Restore();
  if (FResult != DD_OK) return Report("Can't restore surface TKIM");
  HDC dc = nullptr;
  FResult = FpSurface->GetDC(&dc);
  if (FResult != DD_OK) {
    DropSurface();
    return Report("eFpSurface->GetDC (BMP)");
  }
  DrawPictureInto(dc);
  FpSurface->ReleaseDC(dc);
}

void TKIM::CloseDXImage() {
  DropSurface();
  // The engine releases its objects right after this: the borrowed references must not outlive them.
  FDD = nullptr;
  FDDBACK = nullptr;
  FDDPRIM = nullptr;
}

}  // namespace sprites
