#pragma once
// TKIM, the still-image sprite: copies its picture once into an off-screen surface of its own
// (scaled when asked) and blits that surface onto the engine's back surface every frame, cut at the
// screen edges, optionally with black as the transparent colour. It is a child control of the
// engine, from which it borrows the display object and the primary and back surfaces.
#include <cstdint>

#include "platform/ddraw/DDraw.h"
#include "sprites/Sprite.h"

namespace sprites {

class TKIM : public TSprite {
 public:
  explicit TKIM(vcl::TComponent* AOwner);
  ~TKIM() override;  // releases the sprite's own surface
  const char* ClassName() const override { return "TKIM"; }

  // Set-up, on the main thread, with the engine's display open: builds FpSurface from the picture.
  void CreateDXImage();
  // One frame: the lost test, the source extent, then DrawImageFunc.
  void DrawImage();
  // The cut and the blit onto the back surface (the rules of sprites/Cut.h: the last column and
  // row of the screen are never drawn on; a picture overhanging both edges is cut on both sides).
  void DrawImageFunc();
  // Refills FpSurface after the display lost its surfaces (the engine calls it).
  void RestoreSurface();
  // Releases FpSurface (the engine calls it when it closes the display).
  void CloseDXImage();

  // --- published properties ---
  void SetTransparency(bool Value);

  std::int32_t OriginalWidth() const { return FOriginalWidth; }
  std::int32_t OriginalHeight() const { return FOriginalHeight; }
  // Store the design-space size and derive StretchWidth / StretchHeight from it.
  void SetOriginalWidth(std::int32_t Value);
  void SetOriginalHeight(std::int32_t Value);

  // --- what the engine, the gadgets and the tests look at ---
  ddraw::IDirectDrawSurface* Surface() const { return FpSurface; }

 protected:
  // Draws the picture into a device context of FpSurface, scaled when stretching.
  void DrawPictureInto(ddraw::HDC dc);
  void DropSurface();

 private:
  std::int32_t FOriginalWidth = 100, FOriginalHeight = 100;
  ddraw::IDirectDrawSurface* FpSurface = nullptr;
};

}  // namespace sprites
