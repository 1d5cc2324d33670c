// TKss: the walk over the owner form's components that finds the still-image and film-strip
// sprites (the gadgets are still-image sprites) to release or refill their surfaces.
#include "engine/Kss.h"

#if __has_include("sprites/KIM.h") && __has_include("sprites/KMV.h")
#include "sprites/KIM.h"
#include "sprites/KMV.h"
#define SORVANTA_ENGINE_HAS_SPRITES 1
#endif

namespace engine {

void TKss::ReleaseSprites() {
  if (FOwnerForm == nullptr) return;
#ifdef SORVANTA_ENGINE_HAS_SPRITES
  for (int i = 0; i < FOwnerForm->ComponentCount(); ++i) {
    vcl::TComponent* component = FOwnerForm->Components(i);
    if (auto* image = dynamic_cast<sprites::TKIM*>(component)) {
      image->CloseDXImage();
    } else if (auto* movie = dynamic_cast<sprites::TKMV*>(component)) {
      movie->CloseDXMovie();
    }
  }
#endif
}

void TKss::RefillSprites() {
  if (FOwnerForm == nullptr) return;
#ifdef SORVANTA_ENGINE_HAS_SPRITES
  for (int i = 0; i < FOwnerForm->ComponentCount(); ++i) {
    vcl::TComponent* component = FOwnerForm->Components(i);
    if (auto* image = dynamic_cast<sprites::TKIM*>(component)) {
      image->RestoreSurface();
    } else if (auto* movie = dynamic_cast<sprites::TKMV*>(component)) {
      movie->RestoreSurfaces();
    }
  }
#endif
}

}  // namespace engine
