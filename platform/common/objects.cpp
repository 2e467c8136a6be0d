#include "platform/objects.h"

#include <algorithm>

#include "platform/ansi_strings.h"

namespace platform {

// ---- TPersistent -------------------------------------------------------------------------
void TPersistent::Assign(const TPersistent* source) {
  if (source) {
    source->AssignTo(this);
    return;
  }
  AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* dest) const { dest->AssignError(this); }

void TPersistent::AssignError(const TPersistent* source) const {
  throw EConvertError(
      Format("Cannot assign a %s to a %s", source ? source->ClassName() : "nil", ClassName()));
}

// ---- TComponent --------------------------------------------------------------------------
TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_) {
    owner_->components_.push_back(this);
    owner_->Notification(this, opInsert);
  }
}

TComponent::~TComponent() {
  state_ |= csDestroying;
  DestroyComponents();
  std::vector<TComponent*> notify;
  notify.swap(freeNotifies_);
  for (TComponent* c : notify) {
    auto& list = c->freeNotifies_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    c->Notification(this, opRemove);
  }
  if (owner_) {
    auto& list = owner_->components_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    owner_->Notification(this, opRemove);
  }
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) delete components_.back();  // each takes itself off the list
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  for (TComponent* c : components_)
    if (c->Name == name) return c;
  return nullptr;
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove) {
    freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), component),
                        freeNotifies_.end());
  }
  if (state_ & csDestroying) return;
  // Copy: a receiver may free components while it is told.
  const std::vector<TComponent*> owned = components_;
  for (TComponent* c : owned)
    if (c != component) c->Notification(component, operation);
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), component) == freeNotifies_.end())
    freeNotifies_.push_back(component);
  if (std::find(component->freeNotifies_.begin(), component->freeNotifies_.end(), this) ==
      component->freeNotifies_.end())
    component->freeNotifies_.push_back(this);
}

}  // namespace platform
