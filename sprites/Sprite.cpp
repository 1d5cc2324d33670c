#include "sprites/Sprite.h"

#include "engine/Kss.h"
#include "sprites/Cut.h"

namespace sprites {

engine::TKss* TSprite::Engine() const { return dynamic_cast<engine::TKss*>(Parent()); }

void TSprite::Report(std::string_view a, std::string_view b) {
  // assign/append reuse the text's storage: a sprite that fails every frame does not allocate anew.
  FErrorResult.assign(a).append(b);
  if (OnError) OnError(this);
}

std::int32_t TSprite::ToScreen(std::int32_t Value, bool Horizontal) {
  FKss = Engine();
  if (!FKss) {
    Report("FDD==NULL");
    return Value;
  }
  return Horizontal ? Scaled(Value, FKss->WidthScreen(), kDesignWidth)
                    : Scaled(Value, FKss->HeightScreen(), kDesignHeight);
}

void TSprite::SetShowX(std::int32_t Value) { FShowX = FStretching ? ToScreen(Value, true) : Value; }

void TSprite::SetShowY(std::int32_t Value) { FShowY = FStretching ? ToScreen(Value, false) : Value; }

bool TSprite::BorrowDisplay() {
  FKss = Engine();
  FDD = FKss ? FKss->FDD : nullptr;
  if (!FDD) {
    Report("FDD==NULL");
    return false;
  }
  FDDBACK = FKss->FDDBACK;
  if (!FDDBACK) {
    Report("FDDBACK==NULL");
    return false;
  }
  FDDPRIM = FKss->FDDPRIM;
  if (!FDDPRIM) {
    Report("FDDPRIM==NULL");
    return false;
  }
  return true;
}

}  // namespace sprites
