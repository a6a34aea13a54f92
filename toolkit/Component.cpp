#include "toolkit/Component.h"

#include <algorithm>

namespace tk {

TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_) owner_->Insert(this);
}

TComponent::~TComponent() {
  // Owned components go first, newest first, so that they can still reach their owner.
  while (!components_.empty()) delete components_.back();
  if (owner_) owner_->Remove(this);
}

TComponent* TComponent::FindComponent(const std::wstring& name) const {
  for (TComponent* c : components_)
    if (c->Name == name) return c;
  return nullptr;
}

bool TComponent::Loading() const {
  return loading_ || (owner_ && owner_->Loading());
}

void TComponent::Remove(TComponent* child) {
  components_.erase(std::remove(components_.begin(), components_.end(), child), components_.end());
}

}  // namespace tk
