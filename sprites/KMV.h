#pragma once
// TKMV, the film-strip sprite: a picture of equal-height frames stacked top to bottom, cut once
// into one off-screen surface per frame; each frame the caller picks one by NumberFrame and the
// sprite blits it onto the engine's back surface with the still-image sprite's placing and cutting.
#include <array>
#include <cstdint>
#include <memory>

#include "platform/ddraw/DDraw.h"
#include "platform/vcl/Graphics.h"
#include "sprites/Sprite.h"

namespace sprites {

class TKMV : public TSprite {
 public:
  static constexpr int kMaxFrames = 200;

  explicit TKMV(vcl::TComponent* AOwner);
  ~TKMV() override;  // releases the frame surfaces
  const char* ClassName() const override { return "TKMV"; }

  // Set-up, on the main thread, with the engine's display open: cuts the strip into frame surfaces.
  void CreateDXMovie();
  // Builds and fills frame `Index`'s surface of Width × Height; a failure leaves only it empty.
  void Create1Surface(std::int32_t Index, std::int32_t Width, std::int32_t Height);
  // Sets one frame's source colour key to the surface's value for `Color` (CLR_INVALID: the frame's
  // own top-left pixel).
  void DDSetColorKey(ddraw::IDirectDrawSurface* Surface, std::uint32_t Color, std::int32_t Index);
  // The raw pixel value `Color` has on `Surface` (CLR_INVALID: the top-left pixel as it is);
  // 0xFFFFFFFF when the surface cannot be read.
  std::uint32_t DDColorMatch(ddraw::IDirectDrawSurface* Surface, std::uint32_t Color);
  // One frame: the lost test, the source extent, then DrawImageFunc.
  void DrawMovie();
  // The cut and the blit of frame NumberFrame. Only frames 0 … CountFrame − 1 are ever read: a
  // NumberFrame outside them, or one whose surface is missing, draws nothing and is reported as a
  // refused blit, "Error FDDBACK->BltFast (MOV) err #DERR_INVALIDPARAMS" (when its place is on the
  // screen at all). Before the strip is cut, and after CloseDXMovie, it draws and reports nothing.
  void DrawImageFunc();
  // Refills the frame surfaces after a display loss (the engine calls it).
  void RestoreSurfaces();
  // Releases every frame surface (the engine calls it when it closes the display).
  void CloseDXMovie();

  // --- published properties ---
  void SetTransparency(bool Value);

  std::int32_t NumberFrame() const { return FNumberFrame; }
  std::int32_t GetNumberFrame() const { return FNumberFrame; }
  void SetNumberFrame(std::int32_t Value) { FNumberFrame = Value; }

  // OriginalHeight: the height of one frame in the strip.
  std::int32_t OriginalHeight() const { return FYOffsetFrame; }
  std::int32_t GetYOffsetFrame() const { return FYOffsetFrame; }
  void SetYOffsetFrame(std::int32_t Value);
  void SetOriginalHeight(std::int32_t Value) { SetYOffsetFrame(Value); }

  // A device-independent copy of a JPEG strip, which CreateDXMovie cuts instead of the picture.
  vcl::TBitmap* DibBitmap() { return FDibBitmap.get(); }
  const vcl::TBitmap* DibBitmap() const { return FDibBitmap.get(); }
  void SetFDibBitmap(const vcl::TBitmap* Value);
  bool DibLoaded() const { return FDibLoaded; }

  // --- what the engine, the weather gadget and the tests look at ---
  std::int32_t CountFrame() const { return FCountFrame; }
  ddraw::IDirectDrawSurface* Surface(std::int32_t Index) const;
  std::int32_t FrameWidth() const { return FFrameWidth; }
  std::int32_t FrameHeight() const { return FFrameHeight; }

 private:
  // Copies band `Index` of the strip into `scratch` and stretch-draws it into the surface's `dc`.
  void FillFrame(ddraw::HDC dc, std::int32_t Index, vcl::TBitmap& scratch);
  const vcl::TGraphic* StripSource() const;
  void DropFrame(std::int32_t Index);

  std::int32_t FCountFrame = 0;
  std::array<ddraw::IDirectDrawSurface*, kMaxFrames> FpSurface{};
  std::int32_t FNumberFrame = 0;
  std::int32_t FYOffsetFrame = 0;
  std::int32_t FFrameWidth = 0, FFrameHeight = 0;
  std::unique_ptr<vcl::TBitmap> FScratchBitmap;  // only while CreateDXMovie runs
  bool FJpeg = false;
  std::unique_ptr<vcl::TCanvas> FScratchCanvas;  // only while CreateDXMovie runs
  vcl::TRect FBandRect, FScratchRect, FSurfaceRect;
  std::unique_ptr<vcl::TBitmap> FDibBitmap;
  bool FDibLoaded = false;
};

}  // namespace sprites
