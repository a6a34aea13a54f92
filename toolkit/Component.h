// Component model: an owner frees the components it owns; events are callbacks with a sender.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tk {

class TObject {
 public:
  virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(index); }
  TComponent* FindComponent(const std::wstring& name) const;

  std::wstring Name;

  // True while the owning form streams its stored properties in (setters then store as given).
  bool Loading() const;
  void SetLoading(bool loading) { loading_ = loading; }

 private:
  void Insert(TComponent* child) { components_.push_back(child); }
  void Remove(TComponent* child);

  TComponent* owner_ = nullptr;
  std::vector<TComponent*> components_;
  bool loading_ = false;
};

}  // namespace tk
