// TKss: the walk over the owner form's components that finds the still-image and film-strip
// sprites (the gadgets are still-image sprites) to release or refill their surfaces.
#include "engine/Kss.h"

#include "sprites/KIM.h"
#include "sprites/KMV.h"

namespace engine {

void TKss::ReleaseSprites() {
  if (FOwnerForm == nullptr) return;
  for (int i = 0; i < FOwnerForm->ComponentCount(); ++i) {
    vcl::TComponent* component = FOwnerForm->Components(i);
    if (auto* image = dynamic_cast<sprites::TKIM*>(component)) {
      image->CloseDXImage();
    } else if (auto* movie = dynamic_cast<sprites::TKMV*>(component)) {
      movie->CloseDXMovie();
    }
  }
}

void TKss::RefillSprites() {
  if (FOwnerForm == nullptr) return;
  for (int i = 0; i < FOwnerForm->ComponentCount(); ++i) {
    vcl::TComponent* component = FOwnerForm->Components(i);
    if (auto* image = dynamic_cast<sprites::TKIM*>(component)) {
      image->RestoreSurface();
    } else if (auto* movie = dynamic_cast<sprites::TKMV*>(component)) {
      movie->RestoreSurfaces();
    }
  }
}

}  // namespace engine
