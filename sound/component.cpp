#include "sound/component.h"

#include <algorithm>

namespace kestu {

TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_ != nullptr) {
    owner_->components_.push_back(this);
    designing_ = owner_->designing_;
  }
}

TComponent::~TComponent() {
  // The last created goes first; each one leaves the list as it is destroyed.
  while (!components_.empty()) delete components_.back();
  if (owner_ != nullptr) owner_->Remove(this);
}

void TComponent::SetDesigning(bool designing) {
  designing_ = designing;
  for (TComponent* component : components_) component->SetDesigning(designing);
}

void TComponent::Remove(TComponent* component) {
  const auto it = std::find(components_.begin(), components_.end(), component);
  if (it != components_.end()) components_.erase(it);
}

}  // namespace kestu
