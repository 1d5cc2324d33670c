#pragma once
// What the still-image sprite TKIM and the film-strip sprite TKMV share: a picture control that is
// a child of the engine, from which it borrows the display object and the primary and back
// surfaces; its place on the screen (scaled from the 1024 × 768 design space when stretching);
// the blit's flags and result; and the error text with its event.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ddraw/DDraw.h"
#include "platform/vcl/ExtCtrls.h"

namespace engine {
class TKss;
}

namespace sprites {

class TSprite : public vcl::TImage {
 public:
  explicit TSprite(vcl::TComponent* AOwner) : vcl::TImage(AOwner) {}

  // --- published properties ---
  bool Transparency() const { return FTransparency; }

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

  const std::string& ErrorResult() const { return FErrorResult; }
  std::string GetErrorResult() const { return FErrorResult; }
  void SetErrorResult(const std::string& Value) { FErrorResult = Value; }

  vcl::TNotifyEvent OnError;

  // --- what the engine, the gadgets and the tests look at ---
  engine::TKss* Engine() const;  // the parent, when it is an engine
  ddraw::HRESULT LastResult() const { return FResult; }
  std::uint32_t BltFlags() const { return FBltFlags; }

 protected:
  // Stores the text (a + b) as ErrorResult, then raises OnError with the sprite as sender.
  void Report(std::string_view a, std::string_view b = {});
  // A design-space value on the engine's screen, along the width or the height. Without an engine
  // the value stays as it is and the missing display is reported.
  std::int32_t ToScreen(std::int32_t Value, bool Horizontal);
  // Takes the engine's display object and surfaces; false (reported) at the first one missing.
  bool BorrowDisplay();

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
};

}  // namespace sprites
