#pragma once
// TKIM, the still-image sprite: copies its picture once into an off-screen surface of its own
// (scaled when asked) and blits that surface onto the engine's back surface every frame, cut at the
// screen edges, optionally with black as the transparent colour. It is a child control of the
// engine, from which it borrows the display object and the primary and back surfaces.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ddraw/DDraw.h"
#include "platform/vcl/ExtCtrls.h"

namespace engine {
class TKss;
}

namespace sprites {

class TKIM : public vcl::TImage {
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
  bool Transparency() const { return FTransparency; }
  void SetTransparency(bool Value);

  std::int32_t ShowX() const { return FShowX; }
  std::int32_t ShowY() const { return FShowY; }
  std::int32_t GetShowX() const { return FShowX; }
  std::int32_t GetShowY() const { return FShowY; }
  // With Stretching on, the design-space value scaled to the engine's screen size.
  void SetShowX(std::int32_t Value);
  void SetShowY(std::int32_t Value);

  bool Stretching() const { return FStretching; }
  void SetStretching(bool Value) { FStretching = Value; }
  std::int32_t StretchWidth() const { return FStretchWidth; }
  std::int32_t StretchHeight() const { return FStretchHeight; }
  void SetStretchWidth(std::int32_t Value) { FStretchWidth = Value; }
  void SetStretchHeight(std::int32_t Value) { FStretchHeight = Value; }

  std::int32_t OriginalWidth() const { return FOriginalWidth; }
  std::int32_t OriginalHeight() const { return FOriginalHeight; }
  // Store the design-space size and derive StretchWidth / StretchHeight from it.
  void SetOriginalWidth(std::int32_t Value);
  void SetOriginalHeight(std::int32_t Value);

  const std::string& ErrorResult() const { return FErrorResult; }
  std::string GetErrorResult() const { return FErrorResult; }
  void SetErrorResult(const std::string& Value) { FErrorResult = Value; }

  vcl::TNotifyEvent OnError;

  // --- what the engine, the gadgets and the tests look at ---
  engine::TKss* Engine() const;  // the parent, when it is an engine
  ddraw::IDirectDrawSurface* Surface() const { return FpSurface; }
  ddraw::HRESULT LastResult() const { return FResult; }
  std::uint32_t BltFlags() const { return FBltFlags; }

 protected:
  // Stores the text (a + b) as ErrorResult, then raises OnError with the sprite as sender.
  void Report(std::string_view a, std::string_view b = {});
  // Draws the picture into a device context of FpSurface, scaled when stretching.
  void DrawPictureInto(ddraw::HDC dc);
  void DropSurface();
  std::int32_t ToScreen(std::int32_t Value, bool Horizontal);

 private:
  engine::TKss* FKss = nullptr;
  ddraw::IDirectDraw* FDD = nullptr;
  ddraw::IDirectDrawSurface* FDDBACK = nullptr;
  ddraw::IDirectDrawSurface* FDDPRIM = nullptr;
  ddraw::HRESULT FResult = ddraw::DD_OK;
  std::string FErrorResult;
  std::int32_t FShowX = 0, FShowY = 0;
  ddraw::RECT FSrcRect{};  // the source extent: left and top always 0
  std::uint32_t FBltFlags = ddraw::DDBLTFAST_NOCOLORKEY;
  bool FTransparency = false;
  std::int32_t FStretchWidth = 100, FStretchHeight = 100;
  bool FStretching = false;
  std::int32_t FOriginalWidth = 100, FOriginalHeight = 100;
  ddraw::IDirectDrawSurface* FpSurface = nullptr;
};

}  // namespace sprites
