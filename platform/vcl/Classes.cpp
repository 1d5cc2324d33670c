#include "platform/vcl/Classes.h"

#include <algorithm>

namespace vcl {

TComponent::TComponent(TComponent* AOwner) : FOwner(AOwner) {
  if (FOwner) FOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  while (!FComponents.empty()) delete FComponents.back();  // each removes itself from the list
  if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::RemoveComponent(TComponent* c) {
  auto it = std::find(FComponents.begin(), FComponents.end(), c);
  if (it != FComponents.end()) FComponents.erase(it);
}

TControl::~TControl() {
  for (TControl* child : FControls) child->FParent = nullptr;
  SetParent(nullptr);
}

void TControl::SetParent(TControl* parent) {
  if (FParent == parent) return;
  if (FParent) {
    auto& siblings = FParent->FControls;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
  FParent = parent;
  if (FParent) FParent->FControls.push_back(this);
}

}  // namespace vcl
